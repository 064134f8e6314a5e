// tuple!: 3 to 12 bytes. The length sits in header bits 19-22; the bytes
// fill words 1-3 in memory order, the first at byte 4 of the cell, and the
// bytes past the length are 0.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::tuple {

constexpr uint32_t LENGTH_SHIFT = 19;
constexpr uint32_t LENGTH_MASK = 0xFu << LENGTH_SHIFT;
constexpr uint32_t MAX_LENGTH = 12;

// Writes a tuple! of n bytes (3 to 12; fewer are padded with 0 to 3).
Cell* make_in(Cell* c, const uint8_t* bytes, uint32_t n);
inline uint32_t length_of(const Cell* c) { return (c->header & LENGTH_MASK) >> LENGTH_SHIFT; }
// The bytes of a tuple (12 of them, those past the length 0).
inline const uint8_t* bytes_of(const Cell* c) { return reinterpret_cast<const uint8_t*>(&c->w1); }

}  // namespace zel::tuple
