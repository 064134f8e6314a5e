// Text to number: reads decimal text into the correctly rounded double. The
// text is scanned here (sign, digits, point, exponent, "1.#INF"/"1.#NaN", the
// caller's extra exponent) and reduced to "digits e exponent", which the
// standard library's from_chars rounds; overflow and underflow are ours.
#include "runtime/dtoa.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zel::dtoa {

namespace {

// Significant digits kept: a point halfway between two doubles has at most
// 767 significant digits, so the digits past these only tell whether the
// tail is zero, and one sticky "1" after the kept digits says so.
constexpr int SIGNIFICANT_MAX = 780;
// An exponent beyond this gives the same infinity or zero; saturating it keeps
// a long run of exponent digits from overflowing.
constexpr std::int64_t EXPONENT_SATURATE = 100000000;
// Point positions beyond these give infinity or zero whatever the digits.
constexpr std::int64_t POINT_CLAMP = 1000;

// The significant digits of the text (first one non-zero), as far as kept,
// with room after them for "e" and the exponent.
struct Significand {
    char digits[SIGNIFICANT_MAX + 16];
    int count = 0;
    bool sticky = false;  // a non-zero digit past SIGNIFICANT_MAX was dropped
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Keeps one significant digit, or notes a dropped non-zero one.
void take(Significand& sig, char c) {
    if (sig.count < SIGNIFICANT_MAX)
        sig.digits[sig.count++] = c;
    else if (c != '0')
        sig.sticky = true;
}

// Consumes as much of `rest` (lower case) as follows at s, any case.
const char* match_rest(const char* s, const char* end, const char* rest) {
    for (; *rest && s < end && (*s | 0x20) == *rest; ++s, ++rest) {
    }
    return s;
}

// Sets the count of characters after the number, when asked for.
void set_left(std::size_t* left, const char* s, const char* end) {
    if (left) *left = static_cast<std::size_t>(end - s);
}

// Reads an exponent at s ("e" or "E", an optional sign, digits); returns the
// position after it, or s itself when there is no exponent there.
const char* read_exponent(const char* s, const char* end, std::int64_t* exponent) {
    if (end - s < 2 || (*s != 'e' && *s != 'E')) return s;
    const char* e = s + 1;
    bool negative = *e == '-';
    if (*e == '+' || *e == '-') ++e;
    if (e == end || !is_digit(*e)) return s;
    std::int64_t x = 0;
    for (; e < end && is_digit(*e); ++e)
        if (x < EXPONENT_SATURATE) x = x * 10 + (*e - '0');
    *exponent = negative ? -x : x;
    return e;
}

// The double nearest to 0.digits x 10^point (digits non-empty, first non-zero).
double round_significand(Significand& sig, std::int64_t point) {
    if (sig.sticky) {
        sig.digits[sig.count++] = '1';
    } else {
        while (sig.digits[sig.count - 1] == '0') --sig.count;
    }
    point = std::clamp(point, -POINT_CLAMP, POINT_CLAMP);
    char* w = sig.digits + sig.count;
    *w++ = 'e';
    w = std::to_chars(w, sig.digits + sizeof sig.digits, point - sig.count).ptr;
    double magnitude = 0.0;
    std::from_chars_result r = std::from_chars(sig.digits, w, magnitude);
    if (r.ec == std::errc::result_out_of_range)
        magnitude = point > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return magnitude;
}

}  // namespace

double strtod(const char* start, const char* end, int extra_exponent, std::size_t* left) {
    const char* s = start;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) negative = *s++ == '-';
    const char* digits_begin = s;
    while (s < end && *s == '0') ++s;
    Significand sig;
    std::int64_t point = 0;  // value = 0.digits x 10^point
    for (; s < end && is_digit(*s); ++s, ++point) take(sig, *s);
    bool seen_digit = s > digits_begin;

    // "1.#INF" and "1.#NaN": one digit, ".#", then I or N.
    if (s - digits_begin == 1 && end - s >= 3 && s[0] == '.' && s[1] == '#') {
        char c = static_cast<char>(s[2] | 0x20);
        if (c == 'i') {
            set_left(left, match_rest(s + 3, end, "nf"), end);
            double inf = std::numeric_limits<double>::infinity();
            return negative ? -inf : inf;
        }
        if (c == 'n') {
            set_left(left, match_rest(s + 3, end, "an"), end);
            return std::numeric_limits<double>::quiet_NaN();
        }
    }

    if (s < end && *s == '.') {
        const char* f = s + 1;
        // Zeros before the first significant digit only move the point.
        if (sig.count == 0)
            for (; f < end && *f == '0'; ++f) --point;
        for (; f < end && is_digit(*f); ++f) take(sig, *f);
        if (seen_digit || f > s + 1) {  // a lone "." is no number
            seen_digit = true;
            s = f;
        }
    }
    if (!seen_digit) {
        set_left(left, start, end);
        return 0.0;
    }
    std::int64_t exponent = 0;
    s = read_exponent(s, end, &exponent);
    set_left(left, s, end);
    if (sig.count == 0) return 0.0;  // zeros only: positive whatever the sign

    double magnitude = round_significand(sig, point + exponent + extra_exponent);
    // Subtracting from 0.0 applies the sign without ever making -0.0.
    return negative ? 0.0 - magnitude : magnitude;
}

}  // namespace zel::dtoa
