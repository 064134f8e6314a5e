// Number to text: the shortest (or n-digit) decimal digits of a double and the
// runtime's text form of them. The standard library's to_chars finds the
// digits; the forms, the zero and special texts are ours.
#include "runtime/dtoa.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zel::dtoa {

namespace {

// The one result buffer of `digits` and `form_float`.
char result[FORM_MAX];

// Positions beyond which the plain notation gives way to the exponent form.
constexpr int PLAIN_POINT_MAX = 17;
constexpr int PLAIN_POINT_MIN = -6;

// Copies a whole text (zero or a special value) into `out` as a Digits record.
Digits whole_text(char* out, const char* text, int point, bool negative) {
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n + 1);
    return {out, point, static_cast<int>(n), negative};
}

// Digits of a finite non-zero magnitude, written to `out` (FORM_MAX bytes).
// to_chars in scientific form gives "d[.ddd]e(+|-)xx"; we keep the digits
// without trailing zeros and turn the exponent into the point position.
Digits finite_digits(char* out, double magnitude, int precision, bool negative) {
    char sci[48];
    std::to_chars_result r =
        precision <= 0
            ? std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific)
            : std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific,
                            std::min(precision, DIGITS_MAX) - 1);
    const char* p = sci;
    int count = 0;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') out[count++] = *p;
    while (count > 1 && out[count - 1] == '0') --count;
    out[count] = '\0';
    // The exponent: 'e', its sign, then at most three digits.
    bool negative_exponent = p + 1 < r.ptr && p[1] == '-';
    int exponent = 0;
    for (p += 2; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    return {out, (negative_exponent ? -exponent : exponent) + 1, count, negative};
}

// The digits of `value` written to `out` (FORM_MAX bytes).
Digits digits_into(char* out, double value, int precision, bool fraction) {
    bool negative = std::signbit(value);
    if (std::isnan(value)) return whole_text(out, "1.#NaN", POINT_SPECIAL, negative);
    if (std::isinf(value))
        return whole_text(out, negative ? "-1.#INF" : "1.#INF", POINT_SPECIAL, negative);
    if (value == 0.0) {
        const char* zero = fraction ? (negative ? "-0.0" : "0.0") : (negative ? "-0" : "0");
        return whole_text(out, zero, POINT_ZERO, negative);
    }
    return finite_digits(out, std::fabs(value), precision, negative);
}

// Appends n characters from `text`, then returns the new write position.
char* put(char* w, const char* text, int n) {
    std::memcpy(w, text, static_cast<std::size_t>(n));
    return w + n;
}

// Appends n zeros.
char* put_zeros(char* w, int n) {
    std::memset(w, '0', static_cast<std::size_t>(n));
    return w + n;
}

}  // namespace

Digits digits(double value, int precision, bool fraction) {
    return digits_into(result, value, precision, fraction);
}

std::size_t form_into(char* out, double value, int precision, bool fraction) {
    char buffer[FORM_MAX];
    Digits d = digits_into(buffer, value, precision, fraction);
    if (d.point >= POINT_ZERO) {
        std::memcpy(out, d.text, static_cast<std::size_t>(d.count) + 1);
        return static_cast<std::size_t>(d.count);
    }
    char* w = out;
    if (d.negative) *w++ = '-';
    int p = d.point, n = d.count;
    if (p > PLAIN_POINT_MAX || p < PLAIN_POINT_MIN) {
        // d.ddd e exponent; a single digit keeps ".0" only under the flag.
        *w++ = d.text[0];
        if (n > 1) {
            *w++ = '.';
            w = put(w, d.text + 1, n - 1);
        } else if (fraction) {
            w = put(w, ".0", 2);
        }
        *w++ = 'e';
        w = std::to_chars(w, out + FORM_MAX, p - 1).ptr;
    } else if (p <= 0) {
        w = put(w, "0.", 2);
        w = put_zeros(w, -p);
        w = put(w, d.text, n);
    } else if (n <= p) {
        // A whole number: the digits, zeros up to the point, ".0" under the flag.
        w = put(w, d.text, n);
        w = put_zeros(w, p - n);
        if (fraction) w = put(w, ".0", 2);
    } else {
        w = put(w, d.text, p);
        *w++ = '.';
        w = put(w, d.text + p, n - p);
    }
    *w = '\0';
    return static_cast<std::size_t>(w - out);
}

const char* form_float(double value, int precision, bool fraction) {
    form_into(result, value, precision, fraction);
    return result;
}

}  // namespace zel::dtoa
