// money!: an exact decimal amount with an optional currency. Header bit 14
// is the sign; byte 4 of the cell the currency index (0 none, else the
// 1-based position in the currency list); bytes 5-15 hold 22 packed BCD
// digits, most significant first: 17 integer digits, then 5 of fraction.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::money {

constexpr uint32_t SIGN_FLAG = 1u << 14;
constexpr int DIGITS = 22;
constexpr int INTEGER_DIGITS = 17;
constexpr int SCALE = 5;

// The 1-based index of a three-letter currency code (letter case ignored)
// in the currency list, or -1.
int32_t currency_index(const char* code, uint32_t length);

// Builds a money! from checked amount text: digits with ' separators in
// [start, end), `point` the decimal point or null, `code` the three-letter
// currency code or null. Integer digits beyond 17 and fraction digits beyond
// 5 are dropped. False when the currency is unknown.
bool make_at(Cell* c, bool negative, const char* code, const char* start, const char* point, const char* end);

// Digit p (1-based) of a money! cell.
uint32_t digit(const Cell* c, int p);

}  // namespace zel::money
