// integer!: the signed 32-bit whole number. Its arithmetic never wraps: add,
// subtract and multiply that overflow give the exact float!, an inexact
// division gives a float!, and what cannot be represented raises a math error.
// char! shares the arithmetic kernel.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::integer {

constexpr int32_t MIN = INT32_MIN;
constexpr int32_t MAX = INT32_MAX;

// Writes an integer! into the call's result slot (the arguments base).
Cell* box(int32_t value);
// Pushes an integer! on the argument stack.
Cell* push(int32_t value);
// Makes the cell an integer! (keeping its flag bits).
Cell* make_in(Cell* c, int32_t value);
// Appends an integer! at the block's tail (the Zelbin decoders).
Cell* make_at_tail(const Cell* block, int32_t value);
inline int32_t get(const Cell* c) { return static_cast<int32_t>(c->w2); }
// The value in the call's result slot, 0 when that is not an integer!.
int32_t get_result();
inline int32_t sign(int32_t v) { return (v > 0) - (v < 0); }
// Absolute value; MIN raises math/overflow.
int32_t abs(int32_t v);
// Whether the double lies outside the 32-bit range (NaN included).
bool overflow_q(double d);
// Whether a double truncated toward zero fits in 32 bits (NaN does not).
inline bool fits(double d) { return d > -2147483649.0 && d < 2147483648.0; }

// The decimal text of a value in a static buffer (valid until the next
// call); *length gets its length.
const char* form_buffer(int32_t value, int* length);

// The arithmetic kernel: op on two 32-bit values. An add, subtract or
// multiply that overflows turns `result` into the exact float! and returns 0;
// an inexact divide does the same with the double quotient, unless `result`
// is null (then the quotient is truncated). Otherwise the integer is
// returned and also stored in word 2 of `result` (its type is kept).
int32_t do_math_op(int32_t left, int32_t right, int32_t op, Cell* result);
// Arithmetic of the two operands at the arguments base (left integer! or
// char!), by the right operand's type; the result replaces the left cell.
void do_math(int32_t op);

// Actions (also called directly by the other number types).
Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* to(Cell* proto, Cell* spec, uint32_t type);
int32_t compare(Cell* a, Cell* b, int32_t op);
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling);
void power();

void init();

}  // namespace zel::integer
