// The modifying series actions: remove, take, reverse, move and random.
// Each tells the series' owner before and after the change.
#include <algorithm>
#include <cstring>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/unset.h"
#include "runtime/errors.h"
#include "runtime/hash.h"
#include "runtime/ownership.h"
#include "runtime/random_hook.h"

namespace zel::series {

namespace {

inline int64_t index_of(const Cell* s) {
    int32_t i = static_cast<int32_t>(s->w1);
    return i < 0 ? 0 : i;
}

inline int32_t i32(int64_t v) { return static_cast<int32_t>(v); }

// Exchanges two areas of n bytes.
inline void swap_bytes(uint8_t* a, uint8_t* b, size_t n) { std::swap_ranges(a, a + n, b); }

[[noreturn]] void move_bad(uint32_t from, uint32_t to) {
    Cell a, b;
    set_datatype(&a, from);
    set_datatype(&b, to);
    fire(ERR_SCRIPT, "move-bad", &a, &b);
}

// Moves `count` units from the origin's head to the target's head, the two
// series living in different buffers.
void move_between(Cell* origin, Cell* target, int64_t count) {
    uint32_t ot = cell::type(origin), tt = cell::type(target);
    uint32_t uo = unit_of(origin), ut = unit_of(target);
    bool text = any_string(ot) && any_string(tt);
    // Cells never mix with code units; units of other sizes mix only as text.
    if (any_block(ot) != any_block(tt) || (uo != ut && !text)) move_bad(ot, tt);
    int64_t oi = index_of(origin);
    get_length(target, false);
    int64_t ti = index_of(target);
    bool told_target = ownership::before(target, ownership::EV_MOVE, origin, i32(ti), i32(count));
    bool told_origin = ownership::before(origin, ownership::EV_MOVE, target, i32(oi), i32(count));
    if (text && uo != ut) {
        // Code point by code point, widening the target when needed.
        string::move_chars(origin, target, static_cast<uint32_t>(count * uo));
    } else {
        uint8_t* gap = open_gap(target->w2, ti, count, true);
        std::memcpy(gap, unit_at(origin, oi), static_cast<size_t>(count * uo));
        remove_units(origin->w2, oi, count);
    }
    ownership::after_if(told_origin, origin, ownership::EV_MOVE, target, i32(oi), i32(count));
    ownership::after_if(told_target, target, ownership::EV_MOVE, origin, i32(ti), i32(count));
}

// Moves `count` units within one buffer, from the origin's head to the
// target's head; false when the move is refused.
bool move_within(Cell* origin, Cell* target, int64_t count) {
    int64_t oi = index_of(origin);
    get_length(target, false);
    int64_t ti = index_of(target);
    int64_t len = length_of_buffer(origin);
    if (ti == oi) return true;
    // Forward into a stretch too short to receive the units, or into the
    // moved units themselves: nothing moves.
    if (ti > oi && ((ti < len && len - ti < count) || ti < oi + count)) return false;
    int64_t placed = ti > oi ? ti - count : ti;
    bool told = ownership::before(target, ownership::EV_MOVE, origin, i32(placed), i32(count));
    uint32_t u = unit_of(origin);
    std::vector<uint8_t> moved(unit_at(origin, oi), unit_at(origin, oi + count));
    if (ti > oi) {
        std::memmove(unit_at(origin, oi), unit_at(origin, oi + count), static_cast<size_t>((ti - oi - count) * u));
    } else {
        std::memmove(unit_at(origin, ti + count), unit_at(origin, ti), static_cast<size_t>((oi - ti) * u));
    }
    std::memcpy(unit_at(origin, placed), moved.data(), moved.size());
    ownership::after_if(told, target, ownership::EV_MOVE, origin, i32(placed), i32(count));
    return true;
}

}  // namespace

Cell* remove(Cell* s, Cell* part, Cell* key) {
    int64_t count = 1;
    if (part) {
        count = part_count(s, part);
        if (count < 1) return s;
    }
    get_length(s, false);
    int64_t start = index_of(s);
    if (key) {
        // From the key's position: the key and the values after it.
        Cell probe = *s;
        Cell* found = actions::find(&probe, key, nullptr, false, true, false, false, nullptr, nullptr, false, false,
                                    false, false);
        if (cell::type(found) == TYPE_NONE) return s;
        start = index_of(found);
        ++count;
    }
    int64_t len = length_of_buffer(s);
    if (start >= len) return s;
    if (count > len - start) count = len - start;
    bool told = ownership::before(s, ownership::EV_REMOVE, nullptr, i32(start), i32(count));
    remove_units(s->w2, start, count);
    ownership::after_if(told, s, ownership::EV_REMOVE, nullptr, i32(start), i32(count));
    return s;
}

// The taken units always go to a series of their own, so a result stays
// valid whatever is taken next; /part 0 takes nothing. The result cell is
// valid until the next take.
Cell* take(Cell* s, Cell* part, bool, bool last) {
    static Cell taken;
    int64_t len = get_length(s, false);
    if (len < 1) return none::value();
    int64_t idx = index_of(s);
    int64_t count = 1;
    bool before_head = false;
    if (part) {
        int64_t d;
        if (cell::type(part) == TYPE_INTEGER) {
            d = cell::get_int(part);
        } else {
            if (cell::type(part) != cell::type(s) || part->w2 != s->w2) bad_refine("part", part);
            int64_t p = index_of(part);
            d = p < idx ? 0 : last ? idx + len - p : p - idx;
        }
        int64_t available = len;
        if (d < 0) {
            before_head = true;
            available = idx;
            count = last ? 1 : -d;
        } else {
            count = d;
        }
        if (count > available) count = available;
        if (before_head && last) count = 0;
    }
    Cell src = *s;
    make_like(&src, static_cast<uint64_t>(count), &taken);
    if (count == 0) return &taken;
    int64_t pos = before_head ? idx - count : last ? length_of_buffer(&src) - count : idx;
    bool told = ownership::before(s, ownership::EV_TAKE, nullptr, i32(pos), i32(count));
    SeriesBuffer* out = buffer_of(&taken);
    uint32_t u = out->unit();
    std::memcpy(out->head_ptr(), unit_at(&src, pos), static_cast<size_t>(count * u));
    out->tail = out->head + static_cast<uint32_t>(count * u);
    remove_units(src.w2, pos, count);
    ownership::after_if(told, s, ownership::EV_TAKE, nullptr, i32(pos), i32(count));
    return &taken;
}

Cell* reverse(Cell* s, Cell* part, Cell* skip) {
    if (rs_tail_q(s)) return s;
    int64_t len = get_length(s, false);
    int64_t count = len;
    if (part) {
        count = part_count(s, part);
        if (count < 1) return s;
        if (count > len) count = len;
    }
    int64_t size = 1;
    if (skip) {
        if (cell::type(skip) != TYPE_INTEGER) bad_refine("skip", skip);
        size = cell::get_int(skip);
        if (size == count) return s;
        if (size < 1) fire(ERR_SCRIPT, "out-of-range", skip);
        if (count < size || count % size != 0) bad_refine("skip", skip);
    }
    int64_t idx = index_of(s);
    bool told = ownership::before(s, ownership::EV_REVERSE, nullptr, i32(idx), i32(count));
    size_t width = static_cast<size_t>(size) * unit_of(s);
    uint8_t* lo = unit_at(s, idx);
    uint8_t* hi = lo + (count / size - 1) * width;
    for (; lo < hi; lo += width, hi -= width) swap_bytes(lo, hi, width);
    ownership::after_if(told, s, ownership::EV_REVERSE, nullptr, i32(idx), i32(count));
    return s;
}

Cell* move(Cell* origin, Cell* target, Cell* part) {
    uint32_t tt = cell::type(target);
    if (!any_series(tt)) {
        Cell fn_word, type_cell, arg_word;
        errors::caller_word(&fn_word);
        set_datatype(&type_cell, tt);
        errors::caller_arg_word(2, &arg_word);
        fire(ERR_SCRIPT, "expect-arg", &fn_word, &type_cell, &arg_word);
    }
    int64_t count = 1;
    if (part) {
        count = part_count(origin, part);
        if (count < 1) return target;
    }
    int64_t left = get_length(origin, false);
    if (left < 1) return target;
    if (count > left) count = left;
    if (origin->w2 != target->w2) {
        move_between(origin, target, count);
    } else if (!move_within(origin, target, count)) {
        return origin;
    }
    return target;
}

Cell* random(Cell* s, bool seed, bool secure, bool only) {
    int64_t len = get_length(s, false);
    int64_t idx = index_of(s);
    if (seed) {
        uint8_t* p = unit_at(s, idx);
        random_hook::seed(static_cast<int32_t>(hash::murmur3(p, static_cast<size_t>(len * unit_of(s)))));
        return unset::value();
    }
    if (only) {
        if (len < 1) return none::value();
        ownership::before(s, ownership::EV_RANDOM, nullptr, i32(idx), i32(len));
        int32_t r = random_hook::bounded(secure, i32(len));
        return value_at(s, idx + r - 1);
    }
    bool told = ownership::before(s, ownership::EV_RANDOM, nullptr, i32(idx), i32(len));
    uint32_t u = unit_of(s);
    for (int64_t c = len, p = idx; c >= 1; --c, ++p) {
        int64_t q = p + random_hook::bounded(secure, i32(c)) - 1;
        if (q != p) swap_bytes(unit_at(s, p), unit_at(s, q), u);
    }
    ownership::after_if(told, s, ownership::EV_RANDOM, nullptr, i32(idx), i32(len));
    return s;
}

}  // namespace zel::series
