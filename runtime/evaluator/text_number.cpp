// Text to number for to and make (see text_number.h).
#include "runtime/evaluator/text_number.h"
#include <cmath>
#include <limits>
#include <string>
#include "runtime/datatypes/money.h"
#include "runtime/dtoa.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/unicode.h"

namespace zel::lexer {

namespace {

// The code point at index i of a run in a unit.
inline uint32_t char_at(const uint8_t* start, uint32_t unit, int32_t i) {
    return unicode::get_char(start + static_cast<size_t>(i) * unit, unit);
}

inline bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }
inline bool is_letter(uint32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

}  // namespace

int32_t string_to_integer(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error) {
    int32_t i = 0;
    bool negative = false;
    if (count > 0) {
        uint32_t c = char_at(start, unit, 0);
        if (c == '+' || c == '-') {
            negative = c == '-';
            i = 1;
        }
    }
    // The magnitude may reach 2147483648 only for a negative number.
    const int64_t limit = negative ? int64_t{1} << 31 : INT32_MAX;
    int64_t value = 0;
    bool digits = false;
    for (; i < count; ++i) {
        uint32_t c = char_at(start, unit, i);
        if (c == '\'') continue;
        if (!is_digit(c)) {
            *error = TEXT_INVALID;
            return 0;
        }
        value = value * 10 + (c - '0');
        if (value > limit) {
            *error = TEXT_OVERFLOW;
            return 0;
        }
        digits = true;
    }
    if (!digits) {
        *error = TEXT_INVALID;
        return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

double string_to_float_scaled(const uint8_t* start, int32_t count, uint32_t unit, int extra_exponent,
                              int32_t* error) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (count <= 0 || count >= FLOAT_TEXT_MAX) {
        *error = TEXT_INVALID;
        return nan;
    }
    char text[FLOAT_TEXT_MAX];
    for (int32_t i = 0; i < count; ++i) {
        uint32_t c = char_at(start, unit, i);
        // Only ASCII can be part of a number: a wider code point is never
        // cut down to its low byte.
        if (c > 0x7F) {
            *error = TEXT_INVALID;
            return nan;
        }
        text[i] = c == ',' ? '.' : static_cast<char>(c);
    }
    if (!float_syntax_q(text, static_cast<uint32_t>(count))) {
        *error = TEXT_INVALID;
        return nan;
    }
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i)
        if (text[i] != '\'') text[n++] = text[i];
    size_t left = 0;
    double d = dtoa::strtod(text, text + n, extra_exponent, &left);
    if (left != 0 || std::isinf(d)) {  // an overflow is no number, as in source text
        *error = TEXT_INVALID;
        return nan;
    }
    return d;
}

double string_to_float(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error) {
    return string_to_float_scaled(start, count, unit, 0, error);
}

void string_to_money(const uint8_t* start, int32_t count, uint32_t unit, int32_t* error, Cell* result) {
    int32_t i = 0;
    bool negative = false;
    auto fail = [&] { *error = TEXT_INVALID; };
    if (i < count && (char_at(start, unit, i) == '+' || char_at(start, unit, i) == '-')) {
        negative = char_at(start, unit, i) == '-';
        ++i;
    }
    char code[4] = {};
    bool has_code = false;
    if (i < count && is_letter(char_at(start, unit, i))) {
        // A code: three letters, "$" and at least one more character.
        if (count - i < 5) return fail();
        for (int k = 0; k < 3; ++k) {
            uint32_t c = char_at(start, unit, i + k);
            if (!is_letter(c)) return fail();
            code[k] = static_cast<char>(c);
        }
        if (char_at(start, unit, i + 3) != '$') return fail();
        has_code = true;
        i += 4;
    } else if (i < count && char_at(start, unit, i) == '$') {
        ++i;
    }
    if (i >= count) return fail();
    // The amount: digits, ' between digits of the whole part, one point.
    std::string amount;
    int32_t point = -1;
    for (; i < count; ++i) {
        uint32_t c = char_at(start, unit, i);
        char prev = amount.empty() ? '\0' : amount.back();
        if (c == '\'') {
            if (amount.empty() || prev == '\'' || point >= 0 || i == count - 1) return fail();
        } else if (c == '.') {
            if (amount.empty() || prev == '\'' || point >= 0 || i == count - 1) return fail();
            point = static_cast<int32_t>(amount.size());
        } else if (!is_digit(c)) {
            return fail();
        }
        amount.push_back(static_cast<char>(c));
    }
    const char* a = amount.data();
    if (!money::make_at(result, negative, has_code ? code : nullptr, a, point >= 0 ? a + point : nullptr,
                                 a + amount.size()))
        fail();
}

}  // namespace zel::lexer
