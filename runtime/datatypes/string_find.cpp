// find and select on text: a code point, a bitset's members, or a text
// (any other value is formed first), forward, backward from the head or from
// the limit, stepping by a record size, with or without case.
#include <algorithm>
#include <cstring>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::string {

namespace {

// What is searched for: the code points of a text (folded when the search
// ignores case), or the members of a bitset.
struct Pattern {
    std::vector<uint32_t> cps;
    const Cell* bitset = nullptr;
    bool fold_case = false;
    uint32_t length() const { return bitset ? 1 : static_cast<uint32_t>(cps.size()); }
};

bool in_bitset(uint32_t c, const Cell* bitset) {
    SeriesBuffer* bits = series::buffer_of(bitset);
    uint32_t bytes = bits->tail - bits->head;
    if (c >> 3 >= bytes) return (bits->flags & (1u << 19)) != 0;
    return (bits->head_ptr()[c >> 3] & (0x80u >> (c & 7))) != 0;
}

Pattern pattern_of(Cell* value, bool fold_case) {
    Pattern p;
    p.fold_case = fold_case;
    uint32_t type = cell::type(value);
    if (type == TYPE_BITSET) {
        p.bitset = value;
        p.fold_case = false;  // membership is exact
        return p;
    }
    if (type == TYPE_BINARY) fire(ERR_SCRIPT, "invalid-arg", value);
    if (type == TYPE_CHAR) {
        p.cps.push_back(value->w2);
    } else {
        Cell text;
        const Cell* src = value;
        if (!is_family(type) || type == TYPE_TAG) {
            // Any other value is searched as the text it forms.
            rs_make_at(&text, 16);
            form_into(&text, value);
            src = &text;
        }
        uint32_t n = static_cast<uint32_t>(rs_length_q(src));
        uint32_t head = head_index(src);
        p.cps.resize(n);
        for (uint32_t i = 0; i < n; ++i) p.cps[i] = get_char_at(src, head + i);
    }
    if (p.fold_case)
        for (uint32_t& c : p.cps) c = fold(c);
    return p;
}

// Whether the pattern stands at position pos of the text.
bool matches_at(const uint8_t* base, uint32_t unit, uint64_t pos, const Pattern& p) {
    if (p.bitset) return in_bitset(get_char(base + pos * unit, unit), p.bitset);
    for (size_t i = 0; i < p.cps.size(); ++i) {
        uint32_t c = get_char(base + (pos + i) * unit, unit);
        if ((p.fold_case ? fold(c) : c) != p.cps[i]) return false;
    }
    return true;
}

// A forward search of an exact byte pattern in a unit-1 text.
int64_t search_bytes(const uint8_t* base, uint64_t from, uint64_t limit, const Pattern& p) {
    std::vector<uint8_t> needle(p.cps.begin(), p.cps.end());
    const uint8_t* end = base + limit;
    const uint8_t* hit = std::search(base + from, end, needle.begin(), needle.end());
    return hit == end ? -1 : hit - base;
}

// A forward search in a text of unit U: the first code point is tested
// inline, the rest only where it matched.
template <uint32_t U>
int64_t scan_forward(const uint8_t* base, uint64_t from, uint64_t limit, uint64_t step, const Pattern& p) {
    uint64_t plen = p.cps.size();
    uint32_t first = p.cps[0];
    for (uint64_t pos = from; pos + plen <= limit; pos += step) {
        uint32_t c = unicode::get_char(base + pos * U, U);
        if ((p.fold_case ? fold(c) : c) == first && matches_at(base, U, pos, p)) return static_cast<int64_t>(pos);
    }
    return -1;
}

bool all_bytes(const Pattern& p) {
    return !p.bitset && !p.fold_case && std::all_of(p.cps.begin(), p.cps.end(), [](uint32_t c) { return c <= 0xFF; });
}

struct Where {
    bool last, reverse, match;
};

// The position of the first match, or -1.
int64_t locate(Cell* series, Cell* value, Cell* part, bool case_, Cell* skip, Where w, uint32_t* key_length) {
    uint64_t len = static_cast<uint64_t>(rs_abs_length_q(series));
    uint64_t h = head_index(series);
    if (len == 0 || (h >= len && !w.reverse)) return -1;
    int64_t step = 1;
    if (skip) {
        step = cell::get_int(skip);
        if (step < 1) fire(ERR_SCRIPT, "out-of-range", skip);
    }
    uint64_t limit = len, lower = 0;
    if (part) {
        int32_t count = support::part_count(series, part);
        if (count < 1) return -1;
        limit = std::min<uint64_t>(len, h + static_cast<uint64_t>(count));
        lower = h > static_cast<uint64_t>(count) ? h - static_cast<uint64_t>(count) : 0;
    }
    Pattern p = pattern_of(value, !case_);
    uint64_t plen = p.length();
    *key_length = static_cast<uint32_t>(plen);
    if (plen == 0) return -1;
    SeriesBuffer* buf = series::buffer_of(series);  // no allocation below this point
    uint32_t unit = unit_of(buf);
    const uint8_t* base = buf->head_ptr();
    if (w.match) {
        if (w.reverse || h + plen > limit) return -1;
        return matches_at(base, unit, h, p) ? static_cast<int64_t>(h) : -1;
    }
    if (w.reverse || w.last) {
        // Positions h - step, h - 2 step ... (or, for /last, the last
        // record-aligned position before the limit down to the head).
        uint64_t floor = w.reverse ? lower : h;
        uint64_t top = w.reverse ? len : limit;
        int64_t pos;
        if (w.reverse) {
            pos = static_cast<int64_t>(h) - step;
        } else {
            if (h + plen > limit) return -1;
            pos = static_cast<int64_t>(h + (limit - plen - h) / static_cast<uint64_t>(step) * static_cast<uint64_t>(step));
        }
        for (; pos >= static_cast<int64_t>(floor); pos -= step) {
            if (static_cast<uint64_t>(pos) + plen > top) continue;
            if (matches_at(base, unit, static_cast<uint64_t>(pos), p)) return pos;
        }
        return -1;
    }
    if (h + plen > limit) return -1;
    if (unit == 1 && step == 1 && all_bytes(p)) return search_bytes(base, h, limit, p);
    if (p.bitset) {
        for (uint64_t pos = h; pos < limit; pos += static_cast<uint64_t>(step))
            if (matches_at(base, unit, pos, p)) return static_cast<int64_t>(pos);
        return -1;
    }
    auto s = static_cast<uint64_t>(step);
    switch (unit) {
        case 1: return scan_forward<1>(base, h, limit, s, p);
        case 2: return scan_forward<2>(base, h, limit, s, p);
        default: return scan_forward<4>(base, h, limit, s, p);
    }
}

}  // namespace

Cell* find(Cell* series, Cell* value, Cell* part, bool /*only*/, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match) {
    if (any || with) fire(ERR_INTERNAL, "not-done");
    uint32_t key_length = 0;
    int64_t pos = locate(series, value, part, case_ || same, skip, Where{last, reverse, match}, &key_length);
    if (pos < 0) return support::none_result();
    series->w1 = static_cast<uint32_t>(pos) + (tail ? key_length : 0);
    return series;
}

Cell* select(Cell* series, Cell* value, Cell* part, bool /*only*/, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse) {
    if (any || with) fire(ERR_INTERNAL, "not-done");
    uint32_t key_length = 0;
    Cell s = *series;
    int64_t pos = locate(&s, value, part, case_ || same, skip, Where{last, reverse, false}, &key_length);
    // The value just past the whole key, the same place find/tail gives.
    uint64_t at = static_cast<uint64_t>(pos) + key_length;
    if (pos < 0 || at >= static_cast<uint64_t>(rs_abs_length_q(&s))) return support::none_result();
    Cell c;
    return stack::push(cell::set(&c, TYPE_CHAR, 0, get_char_at(&s, static_cast<uint32_t>(at))));
}

}  // namespace zel::string
