// Small routines on cells used by datatypes, natives and compiled code:
// argument type checks, number conversion for counts, literal cells of the
// boot payload, mold indentation and buffer filling. (`context::local`, also
// defined here, is declared with the contexts.)
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/cell.h"

namespace zel {

namespace typeset {
// True when type id `t` is in the typeset's 96-bit payload: bit 80h >> (t & 7)
// of byte t >> 3, reading words 1-3 as bytes from the start of word 1 (the
// words are little-endian, so byte k is bits 8(k & 3) and up of word k >> 2).
inline bool contains(const Cell* ts, uint32_t t) {
    if (t >= 96) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(ts) + offsetof(Cell, w1);
    return (bytes[t >> 3] >> (7 - (t & 7))) & 1u;
}
// Raises expect-arg (the called function's word, the argument's datatype, the
// argument's name) unless the argument's type is in the typeset.
const Cell* check_arg(const Cell* ts, int position, const Cell* arg);
// Checks the argument at arguments base + slot when slot is 0 or more.
void check_slot(int slot, const Cell* ts, int position);
// Checks only when the refinement cell's word 1 is non-zero.
const Cell* check_optional(const Cell* refinement, const Cell* ts, int position, const Cell* arg);
// An unset! argument raises expect-arg naming unset!.
const Cell* check_set(int position, const Cell* arg);
}  // namespace typeset

namespace number {
// A float! truncated toward zero (out-of-range and NaN raise out-of-range);
// word 2 for integer! and its family.
int32_t to_integer(const Cell* c);
}  // namespace number

namespace zelbin {
// The literal cells of the decoded boot payload.
void set_value_base(Cell* base);
Cell* value_base();
inline Cell* value_at(uint32_t n) { return value_base() + n; }
inline uint32_t value_word1(uint32_t n) { return value_at(n)->w1; }
}  // namespace zelbin

namespace mold {
// Appends four spaces per level to a unit-1/2/4 text series; returns width - 4 x levels.
int32_t indent(const Cell* str, int32_t levels, int32_t width);
}  // namespace mold

namespace buffer {
// Fills count x size bytes with copies of the first `size` bytes, doubling
// the copied stretch each time; returns the address past the last byte.
uint8_t* repeat(uint8_t* buf, size_t count, size_t size);
}  // namespace buffer

}  // namespace zel
