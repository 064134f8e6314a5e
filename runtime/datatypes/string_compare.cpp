// Comparing and matching texts code point by code point (each side in its
// own unit), with or without case, and the small number-to-text helpers.
#include <algorithm>
#include "runtime/actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/dtoa.h"
#include "runtime/errors.h"

namespace zel::string {

namespace {

// An internal cell type that views part of a text: word 3, when not
// negative, is its own length.
constexpr uint32_t TYPE_TEXT_VIEW = 56;

// Byte address of the head code point (clamped) of a text value.
const uint8_t* head_address(const Cell* str, uint32_t* unit) {
    SeriesBuffer* buf = series::buffer_of(str);
    *unit = unit_of(buf);
    return buf->head_ptr() + uint64_t{head_index(str)} * *unit;
}

}  // namespace

int32_t compare_text(const Cell* a, const Cell* b, int32_t op, bool match) {
    // Symbols compare through their names.
    Cell name_a, name_b;
    a = support::as_text(a, &name_a);
    b = support::as_text(b, &name_b);
    bool shared = a->w2 == b->w2 && head_index(a) == head_index(b);
    if (op == COMP_SAME) return shared ? 0 : -1;
    bool equality = op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
    if (equality && shared) return 0;
    uint32_t len_a = static_cast<uint32_t>(rs_length_q(a));
    uint32_t len_b = static_cast<uint32_t>(rs_length_q(b));
    if (cell::type(b) == TYPE_TEXT_VIEW && static_cast<int32_t>(b->w3) >= 0) len_b = std::min(len_b, b->w3);
    uint32_t n;
    if (match) {
        if (len_b == 0) return op == COMP_FIND ? 1 : 0;
        if (len_b > len_a) return 1;
        n = len_b;
    } else {
        if (len_a != len_b) {
            if (equality || len_b == 0) return 1;
        }
        n = std::min(len_a, len_b);
        if (n == 0) return len_a == len_b ? 0 : (len_a < len_b ? -1 : 1);
    }
    bool fold_case = op != COMP_STRICT_EQUAL && op != COMP_CASE_SORT;
    uint32_t ua, ub;
    const uint8_t* pa = head_address(a, &ua);
    const uint8_t* pb = head_address(b, &ub);
    uint32_t ca = 0, cb = 0;
    for (uint32_t i = 0; i < n; ++i) {
        ca = get_char(pa + uint64_t{i} * ua, ua);
        cb = get_char(pb + uint64_t{i} * ub, ub);
        if (fold_case) {
            ca = fold(ca);
            cb = fold(cb);
        }
        if (ca != cb) break;
    }
    if (ca == cb && !match) return len_a == len_b ? 0 : (len_a < len_b ? -1 : 1);
    return ca < cb ? -1 : (ca > cb ? 1 : 0);
}

bool head_in_bitset(const Cell* str, const Cell* bitset) {
    if (rs_length_q(str) <= 0) return false;
    uint32_t c = get_char_at(str, head_index(str));
    SeriesBuffer* bits = series::buffer_of(bitset);
    uint32_t bytes = bits->tail - bits->head;
    if (c >> 3 >= bytes) return (bits->flags & (1u << 19)) != 0;  // beyond the bits: the negation flag
    return (bits->data()[bits->head + (c >> 3)] & (0x80u >> (c & 7))) != 0;
}

bool match_tag(const Cell* str, const Cell* tag) {
    uint32_t len = static_cast<uint32_t>(rs_length_q(str));
    uint32_t tag_len = static_cast<uint32_t>(rs_length_q(tag));
    if (len < tag_len + 2) return false;
    uint32_t head = head_index(str);
    return get_char_at(str, head) == '<' && get_char_at(str, head + tag_len + 1) == '>';
}

bool match_head(const Cell* str, const Cell* pattern, int32_t op) {
    uint32_t type = cell::type(pattern);
    if (type == TYPE_CHAR) {
        if (rs_length_q(str) <= 0) return false;
        uint32_t c = get_char_at(str, head_index(str));
        uint32_t p = pattern->w2;
        if (op != COMP_STRICT_EQUAL) {
            c = fold(c);
            p = fold(p);
        }
        return c == p;
    }
    if (type == TYPE_TAG) {
        if (!match_tag(str, pattern)) return false;
        Cell inner = *str;
        inner.w1 = head_index(str) + 1;
        return compare_text(&inner, pattern, op, true) == 0;
    }
    if (is_family(type)) return compare_text(str, pattern, op, true) == 0;
    return false;
}

const char* to_hex(int32_t value, bool short_form) {
    static char hex[9] = "00000000";
    static const char digits[] = "0123456789ABCDEF";
    int32_t fill = value < 0 ? -1 : 0;
    int pos = 8;
    while (value != fill && pos > 0) {
        hex[--pos] = digits[value & 15];
        value >>= 4;  // arithmetic: C++20 defines the shift of a negative value
    }
    if (short_form) {
        if (pos == 8) return fill ? "FF" : "00";
        return hex + pos;
    }
    while (pos > 0) hex[--pos] = fill ? 'F' : '0';
    return hex;
}

const char* byte_to_hex(uint8_t byte) {
    static char text[3];
    static const char digits[] = "0123456789ABCDEF";
    text[0] = digits[byte >> 4];
    text[1] = digits[byte & 15];
    text[2] = 0;
    return text;
}

double to_float(const uint8_t* p, uint32_t n) {
    const char* s = reinterpret_cast<const char*>(p);
    return dtoa::strtod(s, s + n, 0, nullptr);
}

}  // namespace zel::string
