// Number tokens: integers (float! when too large), floats, percents,
// 1.#NaN and 1.#INF, tuples, pairs, points, times, hex integers and money.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/dtoa.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

constexpr uint32_t FLOAT_TEXT_LIMIT = 312;

bool is_digit(uint8_t b) { return b >= '0' && b <= '9'; }

// The float syntax machine: classes 0 other, 1 sign, 2 digit, 3 e or E,
// 4 point, 5 ', 6 the end; -1 rejects, 99 accepts.
constexpr int8_t FLOAT_SYNTAX[9][7] = {
    /* 0 start           */ {-1, 0, 1, -1, 4, -1, -1},
    /* 1 integer digits  */ {-1, -1, 1, 6, 5, 2, 99},
    /* 2 after '         */ {-1, -1, 1, -1, -1, -1, 99},
    /* 3 fraction digits */ {-1, -1, 3, 6, -1, 4, 99},
    /* 4 point or '      */ {-1, -1, 3, -1, -1, -1, 99},
    /* 5 digits, point   */ {-1, -1, 3, -1, -1, -1, 99},
    /* 6 after e         */ {-1, 7, 8, -1, -1, -1, -1},
    /* 7 exponent sign   */ {-1, -1, 8, -1, -1, -1, -1},
    /* 8 exponent digits */ {-1, -1, 8, -1, -1, -1, 99},
};

int float_class(char c) {
    switch (c) {
        case '+': case '-': return 1;
        case 'e': case 'E': return 3;
        case '.': return 4;
        case '\'': return 5;
        default: return c >= '0' && c <= '9' ? 2 : 0;
    }
}

// A float into 32 bits without undefined behaviour: beyond the range it
// becomes an infinity of its sign.
float to_float32(double d) {
    if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

// 1.#NaN or 1.#INF with an optional sign; false for anything else.
bool read_special(const uint8_t* p, const uint8_t* end, double* out) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (end - p != 6 || std::memcmp(p, "1.#", 3) != 0) return false;
    auto is = [&](const char* word) {
        for (int i = 0; i < 3; ++i)
            if ((p[3 + i] | 0x20) != word[i]) return false;
        return true;
    };
    if (is("nan")) *out = std::numeric_limits<double>::quiet_NaN();
    else if (is("inf")) *out = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    else return false;
    return true;
}

// An integer with an optional sign and ' separators; false on an empty or
// doubled separator, another byte, or an overflow (-2147483648 fits).
bool read_signed(const uint8_t* p, const uint8_t* end, int32_t* out) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int64_t value = 0;
    bool digits = false, quote = false;
    const int64_t limit = negative ? int64_t{1} << 31 : INT32_MAX;
    for (; p < end; ++p) {
        if (*p == '\'') {
            if (quote || !digits) return false;
            quote = true;
            continue;
        }
        if (!is_digit(*p)) return false;
        value = value * 10 + (*p - '0');
        if (value > limit) return false;
        digits = true;
        quote = false;
    }
    if (!digits) return false;
    *out = static_cast<int32_t>(negative ? -value : value);
    return true;
}

void push_float(State& s, uint32_t type, double d) {
    Cell* c = push_cell(s);
    set_float(c, d);
    cell::set_type(c, type);
}

}  // namespace

bool float_syntax_q(const char* text, uint32_t n) {
    if (n > FLOAT_TEXT_LIMIT) return false;
    int state = 0;
    for (uint32_t i = 0; i < n; ++i) {
        state = FLOAT_SYNTAX[state][float_class(text[i])];
        if (state < 0) return false;
    }
    return FLOAT_SYNTAX[state][6] == 99;
}

bool read_float(const uint8_t* start, const uint8_t* end, int extra_exponent, double* out) {
    uint32_t n = static_cast<uint32_t>(end - start);
    const char* text = reinterpret_cast<const char*>(start);
    if (!float_syntax_q(text, n)) return false;
    char digits[FLOAT_TEXT_LIMIT];
    uint32_t k = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (text[i] != '\'') digits[k++] = text[i];
    size_t left = 0;
    double d = dtoa::strtod(digits, digits + k, extra_exponent, &left);
    if (left != 0 || std::isinf(d)) return false;  // an overflow is no number
    *out = d;
    return true;
}

bool read_digits(const uint8_t* p, const uint8_t* end, int64_t limit, int64_t* out) {
    if (p >= end) return false;
    int64_t value = 0;
    for (; p < end; ++p) {
        if (!is_digit(*p)) return false;
        value = value * 10 + (*p - '0');
        if (value > limit) return false;
    }
    *out = value;
    return true;
}

void load_integer(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    const uint8_t* p = start;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    uint32_t digits = 0;
    if (end - p == 1) {
        value = *p - '0';
        digits = 1;
    } else if (flags & F_QUOTE) {
        for (const uint8_t* q = p; q < end; ++q) {
            if (*q == '\'') {
                if (q + 1 < end && q[1] == '\'') fail(s, start, end, TYPE_INTEGER);
                continue;
            }
            if (++digits <= 10) value = value * 10 + (*q - '0');
        }
    } else {
        digits = static_cast<uint32_t>(end - p);
        if (digits == 10 && negative && std::memcmp(p, "2147483648", 10) == 0) {
            if (load) set_integer(push_cell(s), INT32_MIN);
            return;
        }
        if (digits <= 10)
            for (const uint8_t* q = p; q < end; ++q) value = value * 10 + (*q - '0');
    }
    if (digits > 10 || value > INT32_MAX) {
        load_float(s, start, end, flags, load);  // too large for 32 bits
        return;
    }
    if (load) set_integer(push_cell(s), static_cast<int32_t>(negative ? -value : value));
}

void load_float(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    double d;
    if (!read_float(start, end, 0, &d)) fail(s, start, end, TYPE_FLOAT);
    if (load) push_float(s, TYPE_FLOAT, d);
}

void load_percent(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    double d;
    if (!read_float(start, end, -2, &d)) fail(s, start, end + 1, TYPE_PERCENT);
    if (load) push_float(s, TYPE_PERCENT, d);
}

void load_special_float(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    double d;
    if (!read_special(start, end, &d)) fail(s, start, end, TYPE_FLOAT);
    if (load) push_float(s, TYPE_FLOAT, d);
}

void load_tuple(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    uint8_t bytes[tuple::MAX_LENGTH];
    uint32_t count = 0;
    int32_t number = -1;  // -1: no digit since the last point
    for (const uint8_t* p = start; p <= end; ++p) {
        if (p < end && is_digit(*p)) {
            number = (number < 0 ? 0 : number * 10) + (*p - '0');
            if (number > 255) fail(s, start, end, TYPE_TUPLE);
            continue;
        }
        // a point, or the end: a number must stand before it
        if (number < 0 || count == tuple::MAX_LENGTH) fail(s, start, end, TYPE_TUPLE);
        bytes[count++] = static_cast<uint8_t>(number);
        number = -1;
    }
    if (load) tuple::make_in(push_cell(s), bytes, count);
}

void load_pair(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* x = start;
    while (x < end && *x != 'x' && *x != 'X') ++x;
    int32_t a, b;
    if (std::memchr(start, '.', static_cast<size_t>(end - start)) || x == end || !read_signed(start, x, &a) ||
        !read_signed(x + 1, end, &b))
        fail(s, start, end, TYPE_PAIR);
    if (load) pair::make_in(push_cell(s), a, b);
}

void load_point(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    auto blank = [](uint8_t b) { return b == ' ' || b == '\t'; };
    float coords[3];
    uint32_t n = 0;
    const uint8_t* p = start;
    for (;;) {
        while (p < end && blank(*p)) ++p;
        const uint8_t* q = p;
        while (q < end && *q != ',' && !blank(*q)) ++q;
        if (q == p) fail(s, start - 1, end + 1, TYPE_POINT2D);  // an empty coordinate
        double d;
        bool ok = std::memchr(p, '#', static_cast<size_t>(q - p)) ? read_special(p, q, &d) : read_float(p, q, 0, &d);
        if (!ok) fail(s, start - 1, end + 1, TYPE_FLOAT);
        if (n == 3) fail(s, start - 1, end + 1, TYPE_POINT3D);
        coords[n++] = to_float32(d);
        p = q;
        while (p < end && blank(*p)) ++p;
        if (p == end) break;
        if (*p != ',') fail(s, start - 1, end + 1, n < 3 ? TYPE_POINT2D : TYPE_POINT3D);
        ++p;
    }
    if (n < 2) fail(s, start - 1, end + 1, TYPE_POINT2D);
    if (!load) return;
    s.nlines = s.point_lines;
    Cell* c = push_cell(s);
    if (n == 2) point2D::make_in(c, coords[0], coords[1]);
    else point3D::make_in(c, coords[0], coords[1], coords[2]);
}

void load_time(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* colon = static_cast<const uint8_t*>(std::memchr(start, ':', static_cast<size_t>(end - start)));
    int32_t hours;
    if (!colon || !read_signed(start, colon, &hours)) fail(s, start, end, TYPE_TIME);
    bool negative = *start == '-' || hours < 0;
    double h = std::fabs(static_cast<double>(hours));
    const uint8_t* m = colon + 1;
    const uint8_t* q = m;
    while (q < end && is_digit(*q)) ++q;
    int64_t minutes = 0;
    double seconds = 0;
    if (!read_digits(m, q, INT32_MAX, &minutes)) fail(s, start, end, TYPE_TIME);
    if (q < end) {
        if (*q == ':') {
            // h:m:s.fraction; nothing may follow but the seconds
            if (q + 1 == end || !read_float(q + 1, end, 0, &seconds)) fail(s, start, end, TYPE_TIME);
        } else if (*q == '.' || *q == ',') {
            // m:s.fraction
            if (!read_float(m, end, 0, &seconds)) fail(s, start, end, TYPE_TIME);
            minutes = static_cast<int64_t>(h);
            h = 0;
        } else {
            fail(s, start, end, TYPE_TIME);
        }
        if (seconds < 0) fail(s, start, end, TYPE_TIME);
    }
    double value = h * 3600.0 + static_cast<double>(minutes) * 60.0 + seconds;
    if (load) time::make_in(negative ? -value : value, push_cell(s));
}

void load_hex(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* last = end - 1;  // the h
    ptrdiff_t n = last - start;
    if (n == 1 && !is_digit(*start)) fail(s, start, end, TYPE_WORD);
    if (n < 2 || n > 8) fail(s, start, end, TYPE_INTEGER);
    uint32_t value = 0;
    for (const uint8_t* p = start; p < last; ++p) {
        uint8_t v = HEX_VALUES[*p];
        if (v == 0xFF || (*p >= 'a' && *p <= 'f')) fail(s, start, end, TYPE_INTEGER);
        value = value << 4 | v;
    }
    if (load) set_integer(push_cell(s), static_cast<int32_t>(value));
}

void load_money(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* p = start;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const uint8_t* dollar = static_cast<const uint8_t*>(std::memchr(p, '$', static_cast<size_t>(end - p)));
    if (!dollar || (dollar - p != 0 && dollar - p != 3)) fail(s, start, end, TYPE_MONEY);
    const uint8_t* digits = dollar + 1;
    if (digits == end || *digits == '.' || *digits == ',' || *digits == '\'') fail(s, start, end, TYPE_MONEY);
    const uint8_t* point = nullptr;
    uint32_t int_digits = 0, frac_digits = 0;
    bool leading = true;
    for (const uint8_t* q = digits; q < end; ++q) {
        uint8_t b = *q;
        if (b == '.' || b == ',') {
            if (point || q[-1] == '\'' || q + 1 == end) fail(s, start, end, TYPE_MONEY);
            point = q;
        } else if (b == '\'') {
            if (point || q[-1] == '\'' || q + 1 == end) fail(s, start, end, TYPE_MONEY);
        } else if (is_digit(b)) {
            if (point) {
                ++frac_digits;
            } else if (!(leading && b == '0')) {
                leading = false;
                ++int_digits;
            }
        } else {
            fail(s, start, end, TYPE_MONEY);
        }
    }
    if (int_digits > 17 || frac_digits > 5) fail(s, start, end, TYPE_MONEY);
    Cell value;
    const char* code = dollar - p == 3 ? reinterpret_cast<const char*>(p) : nullptr;
    if (!money::make_at(&value, negative, code, reinterpret_cast<const char*>(digits),
                        reinterpret_cast<const char*>(point), reinterpret_cast<const char*>(end)))
        fail(s, start, end, TYPE_MONEY);
    if (load) *push_cell(s) = value;
}

}  // namespace zel::lexer
