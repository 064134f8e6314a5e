// Helpers for the block and series tests: building values, calling stack
// entries the way the interpreter does, and reading molded text back.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>
#include "runtime/actions.h"
#include "runtime/actions_stack.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/emit.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "tests/runtime/datatypes/string_test_support.h"
#include "tests/runtime/test_support.h"

namespace zel::test::blocks {

inline Cell I(int32_t v) {
    Cell c;
    return *set_integer(&c, v);
}
inline Cell N() {
    Cell c;
    return *set_none(&c);
}
inline Cell U() {
    Cell c;
    return *set_unset(&c);
}
inline Cell T(bool b) {
    Cell c;
    return *set_logic(&c, b);
}
inline Cell DT(uint32_t type) {
    Cell c;
    return *set_datatype(&c, type);
}
inline Cell S(const std::string& s) { return text::make(s); }
// The value with a new-line marker.
inline Cell nl(Cell c) {
    c.header |= FLAG_NEW_LINE;
    return c;
}

// A block-family value holding copies of the cells.
inline Cell B(std::initializer_list<Cell> cells, uint32_t type = TYPE_BLOCK) {
    Cell b;
    block::make_at(&b, static_cast<int32_t>(cells.size()));
    for (const Cell& c : cells) block::append_copy(&b, &c);
    cell::set_type(&b, type);
    return b;
}
// A block of integers, and the block of 1 ... n.
inline Cell ints(std::initializer_list<int32_t> values) {
    Cell b = B({});
    for (int32_t i : values) {
        Cell c = I(i);
        block::append_copy(&b, &c);
    }
    return b;
}
inline Cell one_to(int32_t n) {
    Cell b = B({});
    for (int32_t i = 1; i <= n; ++i) {
        Cell c = I(i);
        block::append_copy(&b, &c);
    }
    return b;
}

// The same value at another head index.
inline Cell at(Cell s, uint32_t index) {
    s.w1 = index;
    return s;
}

// Calls a stack entry as the interpreter would: the cells pushed from a new
// arguments base (arguments, then refinement flags and arguments), the
// refinement positions given; returns the result cell.
inline Cell call(actions::StackEntry entry, std::vector<Cell> cells, std::vector<int32_t> refs) {
    Cell* saved_args = stack::arguments;
    Cell* base = stack::top;
    stack::arguments = base;
    for (const Cell& c : cells) stack::push(&c);
    refs.resize(12, -1);
    entry(refs.data());
    Cell r = *base;
    stack::top = base;
    stack::arguments = saved_args;
    return r;
}

inline std::string text_of(const Cell& str) { return text::utf8(str); }

inline std::string mold(Cell v, bool only = false, bool all = false, bool flat = false) {
    Cell out;
    emit::make_buffer(&out, 16);
    actions::mold(&v, &out, only, all, flat, nullptr, NO_LIMIT, 0);
    return text_of(out);
}

using text::form;

// The cells of a block from its head, molded one by one.
inline std::vector<std::string> items(const Cell& b) {
    std::vector<std::string> out;
    Cell c = b;
    for (int32_t i = 0; i < block::rs_length_q(&c); ++i) out.push_back(mold(*block::rs_abs_at(&c, c.w1 + i)));
    return out;
}

}  // namespace zel::test::blocks
