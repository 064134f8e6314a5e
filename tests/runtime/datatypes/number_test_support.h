// Helpers for the number datatype tests: value constructors, calling the
// arithmetic actions through the action table the way the interpreter does
// (operands at the arguments base), forming and molding into a string.
#pragma once
#include <cmath>
#include <cstring>
#include <string>
#include <vector>
#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/datatypes/emit.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/utf8.h"
#include "tests/runtime/test_support.h"
#include "tests/runtime/unicode_test_support.h"

namespace zel::test {

inline Cell I(int32_t v) { Cell c; return *set_integer(&c, v); }
inline Cell F(double d) { Cell c; return *set_float(&c, d); }
inline Cell P(double d) { Cell c = F(d); cell::set_type(&c, TYPE_PERCENT); return c; }
inline Cell T(double seconds) { Cell c = F(seconds); cell::set_type(&c, TYPE_TIME); return c; }
inline Cell C(uint32_t cp) { Cell c; return *cell::set(&c, TYPE_CHAR, 0, cp); }
inline Cell L(bool b) { Cell c; return *set_logic(&c, b); }
inline Cell D(uint32_t type) { Cell c; return *set_datatype(&c, type); }
inline Cell Of(uint32_t type) { Cell c; return *cell::set(&c, type); }

// A string! from UTF-8 text, in the narrowest unit that holds it (or a wider one).
inline Cell S(const std::string& utf8, uint32_t unit = 0) {
    CodePoints cps;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const uint8_t* end = p + utf8.size();
    uint32_t widest = 1;
    while (p < end) {
        uint32_t cp;
        p = unicode::fast_decode_utf8_char(p, end, &cp);
        cps.push_back(cp);
        if (cp > 0xFF) widest = cp > 0xFFFF ? 4 : 2;
    }
    return make_text(cps, unit ? unit : widest);
}

// A binary! holding the bytes.
inline Cell B(const std::vector<uint8_t>& bytes) {
    Node node = series::alloc_bytes(bytes.size());
    SeriesBuffer* buf = series::buffer_of(node);
    if (!bytes.empty()) std::memcpy(buf->tail_ptr(), bytes.data(), bytes.size());
    buf->tail += static_cast<uint32_t>(bytes.size());
    Cell c;
    return *set_series(&c, TYPE_BINARY, node);
}

// A block! of the cells.
inline Cell Blk(const std::vector<Cell>& cells, uint32_t type = TYPE_BLOCK) {
    Node node = series::alloc_cells(cells.size() + 1);
    for (const Cell& c : cells) *series::alloc_tail_cell(node) = c;
    Cell b;
    return *set_series(&b, type, node);
}

// Calls a stack-form action (add, power, absolute...) on operands placed at
// a fresh arguments base and returns the result cell.
inline Cell call(int slot, Cell a, Cell b = Cell{TYPE_UNSET, 0, 0, 0}) {
    Cell* saved = stack::arguments;
    stack::arguments = stack::top;
    stack::push(&a);
    stack::push(&b);
    actions::typed<actions::StackFn>(actions::get_action_first_arg(slot))();
    Cell r = *stack::arguments;
    stack::top = stack::arguments;
    stack::arguments = saved;
    return r;
}
inline Cell add(Cell a, Cell b) { return call(ACT_ADD, a, b); }
inline Cell sub(Cell a, Cell b) { return call(ACT_SUBTRACT, a, b); }
inline Cell mul(Cell a, Cell b) { return call(ACT_MULTIPLY, a, b); }
inline Cell div(Cell a, Cell b) { return call(ACT_DIVIDE, a, b); }
inline Cell rem(Cell a, Cell b) { return call(ACT_REMAINDER, a, b); }

// round through the typed entry; flags in the order even, down, half-down,
// floor, ceiling, half-ceiling.
struct Round {
    bool even = false, down = false, half_down = false, floor = false, ceiling = false, half_ceiling = false;
};
inline Cell round(Cell v, const Cell* scale = nullptr, Round r = {}) {
    Cell s = scale ? *scale : Cell{};
    return *actions::round(&v, scale ? &s : nullptr, r.even, r.down, r.half_down, r.floor, r.ceiling,
                           r.half_ceiling);
}

inline Cell to(uint32_t type, Cell spec) {
    Cell d = D(type);
    return *actions::to(&d, &spec);
}
inline Cell make(uint32_t type, Cell spec) {
    Cell d = D(type);
    return *actions::make(&d, &spec);
}

// The text of a string buffer as UTF-8.
inline std::string text_of(const Cell& str) {
    std::string out;
    SeriesBuffer* buf = series::buffer_of(&str);
    uint32_t unit = buf->unit();
    for (uint32_t off = buf->head + str.w1 * unit; off < buf->tail; off += unit) {
        uint8_t bytes[4];
        int n = utf8::encode(unicode::get_char(buf->data() + off, unit), bytes);
        out.append(reinterpret_cast<char*>(bytes), static_cast<size_t>(n));
    }
    return out;
}

inline std::string form(Cell v) {
    Cell buffer;
    emit::make_buffer(&buffer, 16);
    actions::form(&v, &buffer, nullptr, NO_LIMIT);
    return text_of(buffer);
}
inline std::string mold(Cell v, bool all = false) {
    Cell buffer;
    emit::make_buffer(&buffer, 16);
    actions::mold(&v, &buffer, false, all, false, nullptr, NO_LIMIT, 0);
    return text_of(buffer);
}

inline uint32_t type_of(const Cell& c) { return cell::type(&c); }
inline int32_t int_of(const Cell& c) { return static_cast<int32_t>(c.w2); }
inline double float_of(const Cell& c) { return cell::get_float(&c); }

}  // namespace zel::test
