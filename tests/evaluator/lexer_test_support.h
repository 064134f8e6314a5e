// Helpers for the lexer tests: loading text, reading the produced cells,
// capturing syntax errors with their arguments.
#pragma once
#include <cstring>
#include <string>
#include <vector>
#include "runtime/datatypes/binary.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/memory.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test::lex {

// Loads every value of the text into a block.
inline Cell load(const std::string& text) {
    Cell out;
    lexer::scan(&out, reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), false,
                true, true, false, nullptr, nullptr, nullptr, nullptr);
    return out;
}

// The cells of a block.
inline std::vector<Cell> cells(const Cell& blk) {
    const SeriesBuffer* buf = series::buffer_of(&blk);
    const Cell* first = reinterpret_cast<const Cell*>(buf->data() + buf->head) + blk.w1;
    const Cell* last = reinterpret_cast<const Cell*>(buf->data() + buf->tail);
    return std::vector<Cell>(first, last);
}

// The single value the text loads as (the first one).
inline Cell one(const std::string& text) {
    std::vector<Cell> v = cells(load(text));
    return v.empty() ? Cell{} : v[0];
}

// The molded block of everything the text loads as, without its brackets.
inline std::string molded(const std::string& text) { return blocks::mold(load(text), true); }

// A binary! holding the bytes.
inline Cell binary_of(const std::string& bytes) {
    Cell b;
    binary::load_in(&b, static_cast<uint32_t>(bytes.size()));
    SeriesBuffer* buf = series::buffer_of(&b);
    std::memcpy(buf->data() + buf->head, bytes.data(), bytes.size());
    buf->tail = buf->head + static_cast<uint32_t>(bytes.size());
    return b;
}

// The error id and arguments loading the text raises.
inline text::Raised error_of(const std::string& source) {
    return text::raised([&] { load(source); });
}

}  // namespace zel::test::lex
