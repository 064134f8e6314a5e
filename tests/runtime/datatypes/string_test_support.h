// Helpers for the text datatype tests: making text values from UTF-8,
// reading them back, molding, and capturing a raised error's arguments.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"
#include "tests/runtime/test_support.h"

namespace zel::test::text {

// A value of the string family from UTF-8 text (unit 1 unless it needs more).
inline Cell make(const std::string& utf8, uint32_t type = TYPE_STRING) {
    Cell c;
    string::rs_make_at(&c, static_cast<uint32_t>(utf8.size()));
    string::concatenate_utf8(&c, utf8.data(), static_cast<uint32_t>(utf8.size()));
    cell::set_type(&c, type);
    return c;
}

// A string of exactly these code points in the given unit.
inline Cell of_units(const std::vector<uint32_t>& cps, uint32_t unit) {
    Cell c;
    string::make_in(&c, static_cast<uint32_t>(cps.size()), unit);
    for (uint32_t cp : cps) unicode::put_char(series::grow_tail(c.w2, unit), unit, cp);
    return c;
}

// The code points from the head to the tail as UTF-8.
inline std::string utf8(const Cell& c) {
    std::string out;
    uint32_t head = string::head_index(&c);
    int32_t n = string::rs_length_q(&c);
    uint8_t bytes[4];
    for (int32_t i = 0; i < n; ++i) {
        int k = unicode::encode_utf8(string::get_char_at(&c, head + static_cast<uint32_t>(i)), bytes);
        out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(k));
    }
    return out;
}

inline Cell integer(int32_t i) {
    Cell c;
    return *set_integer(&c, i);
}

inline Cell block_of(const std::vector<Cell>& cells) {
    Node node = series::alloc_cells(cells.size() + 1);
    for (const Cell& c : cells) *series::alloc_tail_cell(node) = c;
    Cell b;
    return *set_series(&b, TYPE_BLOCK, node);
}

inline uint32_t unit(const Cell& c) { return series::buffer_of(&c)->unit(); }

inline std::string mold(Cell v, bool all = false) {
    Cell out;
    string::rs_make_at(&out, 16);
    actions::mold(&v, &out, false, all, false, nullptr, NO_LIMIT, 0);
    return utf8(out);
}

inline std::string form(Cell v) {
    Cell out;
    string::rs_make_at(&out, 16);
    actions::form(&v, &out, nullptr, NO_LIMIT);
    return utf8(out);
}

// The id and arguments of the error a call raised.
struct Raised {
    std::string id;
    std::vector<Cell> args;
};

namespace detail {
inline std::vector<Cell>& captured() {
    static std::vector<Cell> args;
    return args;
}
inline void capture(Cell* out, ErrClass cls, const char* id, const Cell* args[3]) {
    captured().clear();
    for (int i = 0; i < 3; ++i)
        if (args[i]) captured().push_back(*args[i]);
    errors::set_builder(nullptr);
    errors::build(out, cls, id, args[0], args[1], args[2]);
    errors::set_builder(capture);
}
}  // namespace detail

inline Raised raised(const std::function<void()>& fn) {
    detail::captured().clear();
    errors::set_builder(detail::capture);
    std::string id = raised_id(fn);
    errors::set_builder(nullptr);
    return {id, id.empty() ? std::vector<Cell>{} : detail::captured()};
}

// The bytes of a binary! from its head.
inline std::vector<uint8_t> bytes(const Cell& bin) {
    SeriesBuffer* buf = series::buffer_of(&bin);
    return std::vector<uint8_t>(buf->head_ptr() + bin.w1, buf->tail_ptr());
}

}  // namespace zel::test::text
