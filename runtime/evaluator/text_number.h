// Reading a number out of the characters of a text value, for to and make:
// integers, floats and money. The characters are code points of a string in
// its unit (1, 2 or 4 bytes); each counts by its whole code point, so a
// character outside ASCII is never taken for a digit. Failures are reported
// through `error` (-1 bad text, -2 integer overflow), never raised.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::lexer {

constexpr int32_t TEXT_INVALID = -1;
constexpr int32_t TEXT_OVERFLOW = -2;
// Float texts this long or longer are refused.
constexpr int32_t FLOAT_TEXT_MAX = 313;

// Optional sign, digits with ' anywhere; *error is set on failure (0 kept on
// success). An empty text or a lone sign is invalid.
int32_t string_to_integer(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error);

// Sign, digits, ' separators, one point (a comma counts as one), exponent;
// correctly rounded. A text that is no number, or whose value overflows to
// infinity, sets *error to -1 and gives the quiet NaN.
double string_to_float(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error);
// The same with a decimal exponent added (-2 reads a number of percents).
double string_to_float_scaled(const uint8_t* start, int32_t count, uint32_t unit, int extra_exponent,
                              int32_t* error);

// [sign][code$ or $]amount: the money! constructor makes the value in
// `result`; a text it refuses, or that breaks the amount rules, sets -1.
void string_to_money(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error, Cell* result);

}  // namespace zel::lexer
