// The text forms of a double: form tidies the printf digits, mold keeps the
// shortest digits that read back to the same double.
#include <cmath>
#include <cstdio>
#include <cstring>
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/float.h"
#include "runtime/dtoa.h"

namespace zel::float_ {

namespace {

constexpr double EPSILON = 2.220446049250313e-16;
// Room for any printf text of a double ("%.16g" needs 24) and the additions.
char text[64];

}  // namespace

const char* format_g(double value, int precision) {
    dtoa::Digits d = dtoa::digits(value, precision, false);
    char* w = text;
    if (d.negative) *w++ = '-';
    if (d.point == dtoa::POINT_ZERO) {
        std::strcpy(w, "0");
        return text;
    }
    int exponent = d.point - 1, n = d.count;
    if (exponent < -4 || exponent >= precision) {
        *w++ = d.text[0];
        if (n > 1) {
            *w++ = '.';
            std::memcpy(w, d.text + 1, static_cast<size_t>(n - 1));
            w += n - 1;
        }
        std::snprintf(w, sizeof text - static_cast<size_t>(w - text), "e%c%02d", exponent < 0 ? '-' : '+',
                      exponent < 0 ? -exponent : exponent);
        return text;
    }
    if (exponent < 0) {
        std::memcpy(w, "0.", 2);
        w += 2;
        std::memset(w, '0', static_cast<size_t>(-exponent - 1));
        w += -exponent - 1;
        std::memcpy(w, d.text, static_cast<size_t>(n));
        w += n;
    } else {
        int whole = exponent + 1;
        for (int i = 0; i < whole; ++i) *w++ = i < n ? d.text[i] : '0';
        if (n > whole) {
            *w++ = '.';
            std::memcpy(w, d.text + whole, static_cast<size_t>(n - whole));
            w += n - whole;
        }
    }
    *w = '\0';
    return text;
}

namespace {

// Writes the digits of the kind with its precision (or the shortest former
// for the seconds of a time!).
void print(double value, int kind, bool short_form) {
    if (kind == FORM_SECONDS && !short_form) {
        dtoa::form_into(text, value, 6, false);
        return;
    }
    int precision;
    if (short_form) precision = kind == FORM_FLOAT32 || kind == FORM_SECONDS || kind == FORM_POINT ? 5 : 14;
    else precision = kind == FORM_FLOAT ? 16 : kind == FORM_PERCENT ? 13 : 7;
    format_g(value, precision);
}

// Positions of the point and the "e" in the text (-1 when absent).
struct Scan {
    int point = -1, exponent = -1, length = 0;
};
Scan scan() {
    Scan s;
    s.length = static_cast<int>(std::strlen(text));
    for (int i = 0; i < s.length; ++i) {
        if (text[i] == '.') s.point = i;
        if (text[i] == 'e') {
            s.exponent = i;
            break;
        }
    }
    return s;
}

// A 16-digit text whose last two digits are 01 or 99 is a rounding artefact.
bool artefact(const Scan& s) {
    const char* digits = text[0] == '-' ? text + 1 : text;
    bool is_long = s.exponent < 0 ? s.length > 16 && (digits[0] != '0' || s.length > 17) : s.exponent > 16;
    if (!is_long) return false;
    int end = s.exponent < 0 ? s.length : s.exponent;
    return (text[end - 2] == '0' && text[end - 1] == '1') || (text[end - 2] == '9' && text[end - 1] == '9');
}

// "e+020" becomes "e20", "e-007" becomes "e-7".
void tidy_exponent(Scan& s) {
    if (s.exponent < 0) return;
    int r = s.exponent + 1, w = r;
    if (text[r] == '+') ++r;
    else if (text[r] == '-') text[w++] = text[r++];
    while (text[r] == '0' && text[r + 1] != '\0') ++r;
    std::memmove(text + w, text + r, std::strlen(text + r) + 1);
    s.length = static_cast<int>(std::strlen(text));
}

}  // namespace

const char* form_buffer(double value, int kind) {
    if (std::isnan(value)) return "1.#NaN";
    if (std::isinf(value)) return value > 0 ? "1.#INF" : "-1.#INF";
    if (pretty_print_q && std::fabs(value) < EPSILON)
        return kind == FORM_PERCENT32 || kind == FORM_PERCENT ? "0%" : kind == FORM_POINT ? "0" : "0.0";
    print(value, kind, false);
    Scan s = scan();
    if (pretty_print_q && artefact(s)) {
        print(value, kind, true);
        s = scan();
    }
    tidy_exponent(s);
    if (kind == FORM_PERCENT32 || kind == FORM_PERCENT) {
        std::strcat(text, "%");
    } else if (kind != FORM_SECONDS && kind != FORM_POINT && s.point < 0) {
        int at = s.exponent < 0 ? s.length : s.exponent;
        std::memmove(text + at + 2, text + at, static_cast<size_t>(s.length - at) + 1);
        std::memcpy(text + at, ".0", 2);
    }
    return text;
}

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    return emit::literal(buffer, form_buffer(get(value), FORM_FLOAT), part);
}

int32_t mold(Cell* value, Cell* buffer, bool, bool, bool, Cell*, int32_t part, int32_t) {
    char shortest[dtoa::FORM_MAX];
    dtoa::form_into(shortest, get(value), 0, true);
    return emit::literal(buffer, shortest, part);
}

}  // namespace zel::float_
