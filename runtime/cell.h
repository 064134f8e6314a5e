// The value cell: every value of the language is four 32-bit words.
// Word 0 is the header (type id in bits 0-7, flags above), words 1-3 the
// payload whose layout each datatype fixes. A cell never holds a machine
// pointer: series are named by 32-bit node ids, everything else by table
// indices, so cells keep their meaning when the collector moves buffers.
#pragma once
#include <cstdint>
#include <cstring>
#include <bit>

namespace zel {

struct Cell {
    uint32_t header;
    uint32_t w1;
    uint32_t w2;
    uint32_t w3;
};
static_assert(sizeof(Cell) == 16, "a cell is four 32-bit words");

using Node = uint32_t;  // 0 is the null node

enum TypeId : uint32_t {
    TYPE_NULL = 0,
    TYPE_DATATYPE = 1, TYPE_UNSET, TYPE_NONE, TYPE_LOGIC, TYPE_BLOCK, TYPE_PAREN,
    TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_CHAR, TYPE_INTEGER, TYPE_FLOAT,
    TYPE_SYMBOL, TYPE_CONTEXT, TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD,
    TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE, TYPE_NATIVE, TYPE_ACTION,
    TYPE_OP, TYPE_FUNCTION, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH,
    TYPE_GET_PATH, TYPE_ROUTINE, TYPE_BITSET, TYPE_TRIPLE, TYPE_OBJECT,
    TYPE_TYPESET, TYPE_ERROR, TYPE_VECTOR, TYPE_HASH, TYPE_PAIR, TYPE_PERCENT,
    TYPE_TUPLE, TYPE_MAP, TYPE_BINARY, TYPE_SERIES, TYPE_TIME, TYPE_TAG,
    TYPE_EMAIL, TYPE_HANDLE, TYPE_DATE, TYPE_PORT, TYPE_MONEY, TYPE_REF,
    TYPE_POINT2D, TYPE_POINT3D, TYPE_IMAGE, TYPE_EVENT,
};
static_assert(TYPE_EVENT == 54 && TYPE_SERIES == 42 && TYPE_IMAGE == 53);

// The type and action tables have this many rows (ids 0-56).
constexpr int TYPE_TABLE_ROWS = 57;

// Header flags shared by all types.
constexpr uint32_t CELL_TYPE_MASK = 0xFFu;
constexpr uint32_t FLAG_STACK_VALUES = 1u << 22;  // context! values live on the argument stack
constexpr uint32_t FLAG_NEW_LINE = 1u << 30;      // a line break precedes the value in its block

namespace cell {

inline uint32_t type(const Cell* c) { return c->header & CELL_TYPE_MASK; }

// Replaces the type id, keeping the flag bits.
inline void set_type(Cell* c, uint32_t t) { c->header = (c->header & ~CELL_TYPE_MASK) | t; }

inline void clear_new_line(Cell* c) { c->header &= ~FLAG_NEW_LINE; }
inline bool new_line(const Cell* c) { return (c->header & FLAG_NEW_LINE) != 0; }

// Writes a fresh cell of a type with an empty payload.
inline Cell* set(Cell* c, uint32_t t, uint32_t w1 = 0, uint32_t w2 = 0, uint32_t w3 = 0) {
    c->header = t; c->w1 = w1; c->w2 = w2; c->w3 = w3;
    return c;
}

// Doubles sit in words 2-3; memcpy keeps the compiler from assuming alignment
// or type punning through the cell.
inline double get_float(const Cell* c) {
    double d;
    std::memcpy(&d, &c->w2, sizeof d);
    return d;
}
inline void set_float_payload(Cell* c, double d) { std::memcpy(&c->w2, &d, sizeof d); }

inline int32_t get_int(const Cell* c) { return static_cast<int32_t>(c->w2); }

}  // namespace cell

// Copies the four words unless source and target are the same cell.
inline Cell* copy_cell(const Cell* src, Cell* dst) {
    if (src != dst) *dst = *src;
    return dst;
}

// Copies a cell as two doublewords. A cell written so (an integer, a copy
// made by this) and soon read again is then read as it was stored: one
// load of the whole cell from two recent stores waits until they reach the
// cache, which a loop that reads back its own writes pays at every run.
inline void copy_halves(const Cell* src, Cell* dst) {
    uint64_t low, high;
    std::memcpy(&low, src, sizeof low);
    std::memcpy(&high, reinterpret_cast<const char*>(src) + 8, sizeof high);
    // (Kept in general registers: GCC would otherwise join the halves into
    // one 16-byte copy again.)
    asm("" : "+r"(low), "+r"(high));
    std::memcpy(dst, &low, sizeof low);
    std::memcpy(reinterpret_cast<char*>(dst) + 8, &high, sizeof high);
}

// One static cell of four zero words: "no value was produced".
extern const Cell null_cell;
inline bool is_null_cell(const Cell* c) { return c->header == 0; }

// Constructors of the simplest values.
inline Cell* set_unset(Cell* c) { return cell::set(c, TYPE_UNSET); }
inline Cell* set_none(Cell* c) { return cell::set(c, TYPE_NONE); }
inline Cell* set_logic(Cell* c, bool b) { return cell::set(c, TYPE_LOGIC, b ? 1u : 0u); }
// An integer whose payload, words 2-3, is `payload`: a value's 32 bits
// zero-extended. (Written as two doublewords: GCC then stores the header as
// an immediate, where it would load it from memory, and the payload with one
// store.)
inline Cell* set_integer_payload(Cell* c, uint64_t payload) {
    uint64_t low = TYPE_INTEGER;
    std::memcpy(&c->header, &low, sizeof low);
    std::memcpy(&c->w2, &payload, sizeof payload);
    return c;
}
inline Cell* set_integer(Cell* c, int32_t i) { return set_integer_payload(c, static_cast<uint32_t>(i)); }
inline Cell* set_float(Cell* c, double d) {
    cell::set(c, TYPE_FLOAT);
    cell::set_float_payload(c, d);
    return c;
}
inline Cell* set_datatype(Cell* c, uint32_t type_id) { return cell::set(c, TYPE_DATATYPE, type_id); }
// Series cells: word 1 the head index in units, word 2 the node.
inline Cell* set_series(Cell* c, uint32_t type_id, Node node, uint32_t head = 0) {
    return cell::set(c, type_id, head, node);
}

}  // namespace zel
