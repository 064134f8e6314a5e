// The code-point engine under every text value: reading and writing single
// code points in a buffer of unit 1, 2 or 4, widening the unit as wider code
// points arrive (it never narrows while the buffer holds text), and growing
// the buffer. Positions are computed in 64 bits and checked against the
// 32-bit size fields before anything is written.
#include <algorithm>
#include <cstring>
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::string {

using support::shift_of;

namespace {

[[noreturn]] void no_memory() { fire(ERR_INTERNAL, "no-memory"); }

// The wider unit a code point asks for when the current one cannot hold it.
inline uint32_t wider_unit(uint32_t cp) { return cp <= 0xFFFF ? 2 : 4; }

// Grows the data area so that `bytes` bytes fit from the start, asking for
// twice the old size unless more is needed.
SeriesBuffer* ensure_room(SeriesBuffer* buf, uint64_t bytes) {
    if (uint64_t{buf->head} + bytes <= buf->size) return buf;
    uint64_t limit = memory::max_bytes(buf->unit());
    if (bytes > limit) no_memory();
    uint64_t want = std::min(std::max<uint64_t>(bytes, uint64_t{buf->size} * 2), limit);
    return series::expand_copy(buf, want);
}

}  // namespace

uint32_t unit_of(const SeriesBuffer* buf) { return unicode::text_unit(buf); }

uint32_t get_char(const uint8_t* p, uint32_t unit) {
    switch (unit) {
        case 1: return p[0];
        case 2: return unicode::get_char(p, 2);
        case 4: return unicode::get_char(p, 4);
        default: sys::runtime_error(101, ZEL_HERE());
    }
}

uint32_t get_char_at(const Cell* str, uint32_t n) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unit_of(buf);
    return get_char(buf->head_ptr() + (uint64_t{n} << shift_of(unit)), unit);
}

uint32_t append_unit(uint32_t cp) { return cp < 0x80 ? 1 : (cp <= 0xFFFF ? 2 : 4); }
uint32_t write_unit(uint32_t cp) { return cp <= 0xFF ? 1 : (cp <= 0xFFFF ? 2 : 4); }

SeriesBuffer* widen(SeriesBuffer* buf, uint32_t from, uint32_t to) {
    if (from >= to) return buf;
    return unicode::widen(buf, to);
}

SeriesBuffer* reserve(SeriesBuffer* buf, uint32_t unit, uint64_t bytes) {
    uint32_t from = unit_of(buf);
    uint32_t to = std::max(from, unit);
    uint64_t limit = memory::max_bytes(to);
    if (bytes > limit) no_memory();
    if (uint64_t{buf->head} + bytes <= buf->size) return widen(buf, from, to);
    if (from == to || (buf->flags & SERIES_FIXED)) return ensure_room(widen(buf, from, to), bytes);
    // Widen while copying into the larger buffer: the abandoned buffer keeps
    // its bytes until the collector runs, and nothing here lets it run.
    SeriesBuffer* old = buf;
    uint64_t n = (old->tail - old->head) / from;
    uint64_t want = std::min(std::max<uint64_t>(bytes, uint64_t{buf->size} * 2), limit);
    want = std::max(want, n * to);
    SeriesBuffer* nb = series::expand(buf, want);
    const uint8_t* src = old->head_ptr();
    uint8_t* dst = nb->head_ptr();
    for (uint64_t i = 0; i < n; ++i) unicode::put_char(dst + i * to, to, unicode::get_char(src + i * from, from));
    nb->tail = static_cast<uint32_t>(nb->head + n * to);
    nb->flags = (nb->flags & ~SERIES_UNIT_MASK) | to;
    return nb;
}

SeriesBuffer* append_char(SeriesBuffer* buf, uint32_t cp) {
    uint32_t unit = unit_of(buf);
    if (append_unit(cp) <= unit && uint64_t{buf->tail} + unit <= buf->size) {
        // The common case: the code point fits the unit and the room is there.
        unicode::put_char(buf->tail_ptr(), unit, cp);
        buf->tail += unit;
        return buf;
    }
    if (append_unit(cp) > unit) {
        buf = widen(buf, unit, wider_unit(cp));
        unit = buf->unit();
    }
    Node node = buf->node;
    unicode::put_char(series::grow_tail(node, unit), unit, cp);
    return series::buffer_of(node);
}

SeriesBuffer* overwrite_char(SeriesBuffer* buf, uint32_t index, uint32_t cp) {
    uint32_t unit = unit_of(buf);
    if (write_unit(cp) > unit) {
        buf = widen(buf, unit, wider_unit(cp));
        unit = buf->unit();
    }
    uint64_t pos = uint64_t{index} << shift_of(unit);
    // Grow as often as it takes for the index to fit (not a fixed number of
    // doublings: a far index must never be written past the data area).
    buf = ensure_room(buf, pos + unit);
    uint8_t* p = buf->head_ptr() + pos;
    if (p >= buf->tail_ptr()) {
        // Units skipped over by a write past the tail hold code point 0, not
        // whatever the buffer held before.
        std::memset(buf->tail_ptr(), 0, static_cast<size_t>(p - buf->tail_ptr()));
        buf->tail = static_cast<uint32_t>(buf->head + pos + unit);
    }
    unicode::put_char(p, unit, cp);
    return buf;
}

SeriesBuffer* poke_char(SeriesBuffer* buf, uint8_t* p, uint32_t cp) {
    uint32_t unit = unit_of(buf);
    if (write_unit(cp) <= unit) {
        unicode::put_char(p, unit, cp);
        return buf;
    }
    uint64_t index = static_cast<uint64_t>(p - buf->head_ptr()) >> shift_of(unit);
    buf = widen(buf, unit, wider_unit(cp));
    unit = buf->unit();
    unicode::put_char(buf->head_ptr() + (index << shift_of(unit)), unit, cp);
    return buf;
}

SeriesBuffer* insert_char(SeriesBuffer* buf, uint32_t index, uint32_t cp) {
    uint32_t unit = unit_of(buf);
    if (write_unit(cp) > unit) {
        buf = widen(buf, unit, wider_unit(cp));
        unit = buf->unit();
    }
    uint64_t used = buf->tail - buf->head;
    buf = ensure_room(buf, used + unit);
    uint64_t pos = std::min<uint64_t>(uint64_t{index} << shift_of(unit), used);
    uint8_t* p = buf->head_ptr() + pos;
    std::memmove(p + unit, p, static_cast<size_t>(used - pos));
    buf->tail += unit;
    unicode::put_char(p, unit, cp);
    return buf;
}

void remove_part(const Cell* str, uint32_t index, uint32_t n) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t shift = shift_of(unit_of(buf));
    uint64_t used = buf->tail - buf->head;
    uint64_t pos = uint64_t{index} << shift;
    if (pos >= used || n == 0) return;
    uint64_t end = pos + (uint64_t{n} << shift);
    if (end < used) std::memmove(buf->head_ptr() + pos, buf->head_ptr() + end, static_cast<size_t>(used - end));
    else end = used;
    buf->tail -= static_cast<uint32_t>(end - pos);
}

void remove_char(const Cell* str, uint32_t index) { remove_part(str, index, 1); }

SeriesBuffer* truncate(SeriesBuffer* buf, uint32_t n) {
    uint64_t end = uint64_t{buf->head} + (uint64_t{n} << shift_of(unit_of(buf)));
    if (end < buf->tail) buf->tail = static_cast<uint32_t>(end);
    return buf;
}

// ---- string values ----

bool is_family(uint32_t type) { return any_string(type); }

Cell* make_in(Cell* cell, uint32_t n, uint32_t unit) {
    uint64_t room = std::max<uint64_t>(n, 1);
    if (room * unit > memory::max_bytes(unit)) no_memory();
    return set_series(cell, TYPE_STRING, series::alloc_text(room, unit));
}

Cell* rs_make_at(Cell* cell, uint32_t n) { return make_in(cell, n, 1); }

Cell* push(const Cell* str) { return stack::push(str); }

Cell* push_new(uint32_t n) {
    Cell c;
    rs_make_at(&c, n);
    return stack::push(&c);
}

uint32_t head_index(const Cell* str) {
    SeriesBuffer* buf = series::buffer_of(str);
    int32_t idx = static_cast<int32_t>(str->w1);
    if (idx <= 0) return 0;
    uint32_t len = (buf->tail - buf->head) >> shift_of(unit_of(buf));
    return std::min(static_cast<uint32_t>(idx), len);
}

uint8_t* rs_head(Cell* str) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t idx = head_index(str);
    if (static_cast<int32_t>(str->w1) > 0 && idx != str->w1) str->w1 = idx;
    return buf->head_ptr() + (uint64_t{idx} << shift_of(unit_of(buf)));
}

uint8_t* rs_tail(const Cell* str) { return series::buffer_of(str)->tail_ptr(); }

bool rs_tail_q(const Cell* str) { return rs_length_q(str) == 0; }

int32_t rs_abs_length_q(const Cell* str) {
    SeriesBuffer* buf = series::buffer_of(str);
    return static_cast<int32_t>((buf->tail - buf->head) >> shift_of(unit_of(buf)));
}

int32_t rs_length_q(const Cell* str) { return rs_abs_length_q(str) - static_cast<int32_t>(head_index(str)); }

void rs_reset(Cell* str) {
    SeriesBuffer* buf = series::buffer_of(str);
    buf->flags = (buf->flags & ~SERIES_UNIT_MASK) | 1u;
    buf->tail = buf->head;
    str->w1 = 0;
}

// ---- searching single code points ----

int32_t find_char(const Cell* str, uint32_t cp) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unit_of(buf);
    uint32_t head = head_index(str);
    uint32_t len = (buf->tail - buf->head) >> shift_of(unit);
    const uint8_t* p = buf->head_ptr();
    for (uint32_t i = head; i < len; ++i)
        if (get_char(p + (uint64_t{i} << shift_of(unit)), unit) == cp) return static_cast<int32_t>(i - head);
    return -1;
}

bool contains_char(const Cell* str, uint32_t cp, uint32_t step, bool case_) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unit_of(buf);
    uint32_t len = (buf->tail - buf->head) >> shift_of(unit);
    if (step == 0) step = 1;
    if (!case_) cp = fold(cp);
    for (uint64_t i = head_index(str); i < len; i += step) {
        uint32_t c = get_char(buf->head_ptr() + (i << shift_of(unit)), unit);
        if ((case_ ? c : fold(c)) == cp) return true;
    }
    return false;
}

bool begins_with(const Cell* str, const char* text) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unit_of(buf);
    size_t n = std::strlen(text);
    if (static_cast<size_t>(rs_length_q(str)) < n) return false;
    const uint8_t* p = buf->head_ptr() + (uint64_t{head_index(str)} << shift_of(unit));
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = get_char(p + i * unit, unit);
        if (c > 0xFF || c != static_cast<uint8_t>(text[i])) return false;
    }
    return true;
}

}  // namespace zel::string
