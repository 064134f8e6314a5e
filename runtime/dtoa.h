// Number to text and text to number: correctly rounded conversions between
// doubles and decimal text, in the forms float!, percent!, time!, money! and
// the lexer read and write ("1.0", "1.0e17", "0.0000001", "1.#INF").
#pragma once
#include <cstddef>

namespace zel::dtoa {

// Decimal-point positions that mark the values without digits.
constexpr int POINT_SPECIAL = 9999;  // infinity and NaN
constexpr int POINT_ZERO = 9998;     // +0.0 and -0.0

// The most significant digits a precision may ask for: every form of that many
// digits (the longest is "0.000000" and the digits) fits the result buffer.
constexpr int DIGITS_MAX = 24;
// Size of a buffer that holds any formed text: a sign, 32 characters, a NUL.
constexpr std::size_t FORM_MAX = 34;

// The digits of a double: value = 0.d1d2... x 10^point. For zero and the
// special values, text is the whole text ("0.0", "-1.#INF", "1.#NaN"...).
struct Digits {
    const char* text;  // NUL-terminated, no trailing zeros
    int point;         // decimal-point position, or POINT_ZERO / POINT_SPECIAL
    int count;         // characters in text
    bool negative;     // sign bit set (also for -0.0 and a negative NaN)
};

// Digits of `value`: precision <= 0 gives the shortest digits that read back to
// the same double, n > 0 at most n significant digits rounded to nearest, ties
// to even (n above DIGITS_MAX counts as DIGITS_MAX). `fraction` chooses "0.0"
// over "0" for zero. The text lives in the shared result buffer.
Digits digits(double value, int precision, bool fraction);

// Forms `value` into `out` (FORM_MAX bytes), NUL-terminated; returns the length.
// Plain notation for decimal-point positions -6..17, else "d.ddde-x"; `fraction`
// keeps a ".0" where the number would have no fraction ("1.0", "1.0e17").
std::size_t form_into(char* out, double value, int precision, bool fraction);

// The same text in the shared result buffer, valid until the next conversion.
const char* form_float(double value, int precision, bool fraction);

// Reads the decimal number at [start, end): sign, digits, ".", fraction digits,
// exponent, or the forms "1.#INF" and "1.#NaN". `extra_exponent` is added to
// the decimal exponent (-2 reads percent text). The result is correctly
// rounded; a leading "-" never yields -0.0. `left` (may be null) receives the
// count of characters after the number; a text with no digits consumes nothing.
double strtod(const char* start, const char* end, int extra_exponent, std::size_t* left);

}  // namespace zel::dtoa
