// append, insert and change on text. Each builds the new content once at the
// tail (widening the unit as its code points need), repeats it for /dup by
// doubling copies, and then rotates it into place: one growth of the buffer
// and one exchange of regions, whatever the value. The frequent plain cases
// (a text copied into another text, a char at the tail) skip the building
// and are written straight into place.
#include <algorithm>
#include <cstring>
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"

namespace zel::string {

namespace {

using support::is_any_block;

uint32_t abs_len(const Cell* s) { return static_cast<uint32_t>(rs_abs_length_q(s)); }

// Cuts what a shared budget of `part` code points overran.
void cut_to_budget(Cell* series, uint32_t len0, int32_t part) {
    if (part >= 0 && abs_len(series) - len0 > static_cast<uint32_t>(part))
        truncate(series::buffer_of(series), len0 + static_cast<uint32_t>(part));
}

// Forms the elements of a block from its head: without `only`, `part`
// counts elements; with it, `part` is a budget of code points for them all.
void add_block(Cell* series, const Cell* block, int32_t part, bool only) {
    uint32_t len0 = abs_len(series);
    Node node = block->w2;
    SeriesBuffer* buf = series::buffer_of(node);
    uint64_t n = (buf->tail - buf->head) / sizeof(Cell);
    uint64_t head = block->w1;
    if (!only && part >= 0) n = std::min<uint64_t>(n, head + static_cast<uint64_t>(part));
    for (uint64_t i = head; i < n; ++i) {
        Cell element = series::buffer_of(node)->head_cell()[i];
        form_into(series, &element);
        if (only && part >= 0 && abs_len(series) - len0 >= static_cast<uint32_t>(part)) break;
        n = std::min<uint64_t>(n, (series::buffer_of(node)->tail - series::buffer_of(node)->head) / sizeof(Cell));
    }
    if (only) cut_to_budget(series, len0, part);
}

// Adds the value's content at the tail once; answers the code points added.
uint32_t add_content(Cell* series, Cell* value, int32_t part, bool only) {
    uint32_t len0 = abs_len(series);
    uint32_t type = cell::type(value);
    if (type == TYPE_TAG) {
        // "<" and ">" count against the part like the text between them.
        int32_t budget = part < 0 ? NO_LIMIT : part;
        if (budget > 0) {
            append_char(series::buffer_of(series), '<');
            --budget;
        }
        if (budget > 0) concatenate(series, value, budget, 0, true, 0);
        budget -= std::min(budget, rs_length_q(value));
        if (budget > 0) append_char(series::buffer_of(series), '>');
    } else if (is_family(type)) {
        concatenate(series, value, part, 0, true, 0);
    } else if (type == TYPE_CHAR) {
        append_char(series::buffer_of(series), value->w2);
    } else if (is_any_block(type)) {
        add_block(series, value, part, only);
    } else {
        form_into(series, value);
        if (only) cut_to_budget(series, len0, part);
    }
    return abs_len(series) - len0;
}

// Repeats the run of `count` code points at `start` until it stands `dup`
// times, doubling the copied stretch each time.
void repeat_run(Cell* series, uint32_t start, uint32_t count, int32_t dup) {
    if (dup <= 1 || count == 0) return;
    SeriesBuffer* buf = series::buffer_of(series);
    uint32_t unit = unit_of(buf);
    // (No overflow: count and dup are below 2^31, unit at most 4. reserve
    // refuses a total beyond the largest data area.)
    uint64_t total = (uint64_t{count} * static_cast<uint64_t>(dup) + start) * unit;
    buf = reserve(buf, unit, total);
    buffer::repeat(buf->head_ptr() + uint64_t{start} * unit, static_cast<size_t>(dup), size_t{count} * unit);
    buf->tail = static_cast<uint32_t>(buf->head + total);
}

// Builds the content (and its repetitions) at the tail; answers its length.
// When forming the value or repeating it fails midway, what was built is
// taken off before the error goes on: the text stays as it was, with nothing
// half-added at its tail.
uint32_t build(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    uint32_t len0 = abs_len(series);
    try {
        repeat_run(series, len0, add_content(series, value, part, only), dup);
    } catch (...) {
        truncate(series::buffer_of(series), len0);
        throw;
    }
    return abs_len(series) - len0;
}

// Moves the run built at the tail (from `len0` on) to index h.
void rotate_into_place(Cell* series, uint32_t h, uint32_t len0) {
    SeriesBuffer* buf = series::buffer_of(series);
    uint32_t unit = unit_of(buf);
    uint32_t added = abs_len(series) - len0;
    swap_regions(buf->head_ptr() + uint64_t{h} * unit, (len0 - h) * unit, added * unit);
}

// Copies n bytes, from one to two words long, as a first and a last word
// that overlap when n is short of two words.
template <typename Word>
inline void copy_two_words(uint8_t* dst, const uint8_t* src, size_t n) {
    Word first, last;
    std::memcpy(&first, src, sizeof(Word));
    std::memcpy(&last, src + n - sizeof(Word), sizeof(Word));
    std::memcpy(dst, &first, sizeof(Word));
    std::memcpy(dst + n - sizeof(Word), &last, sizeof(Word));
}

// Copies n bytes between distinct buffers; runs of up to 16 bytes (the
// usual short text) without a library call.
inline void copy_bytes(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n > 16) {
        std::memcpy(dst, src, n);
    } else if (n >= 8) {
        copy_two_words<uint64_t>(dst, src, n);
    } else if (n >= 4) {
        copy_two_words<uint32_t>(dst, src, n);
    } else if (n > 0) {
        uint8_t a = src[0], b = src[n / 2], c = src[n - 1];
        dst[0] = a;
        dst[n / 2] = b;
        dst[n - 1] = c;
    }
}

// A text run to copy into another text: the source is not a tag! and lives
// in another buffer, its unit is no wider than the target's, and the target
// has no owner to tell. `from` is the byte offset of the source's head,
// `bytes` the length of the run in the source (at most `part` code points
// when part >= 0).
struct Run {
    SeriesBuffer* tbuf;
    SeriesBuffer* sbuf;
    uint32_t tu, su;
    uint64_t from, bytes;
};

// log2 of a text unit of 1, 2 or 4.
inline uint32_t unit_shift(uint32_t unit) { return unit >> 1; }

inline bool plain_run(const Cell* target, const Cell* source, int32_t part, Run* run) {
    constexpr uint64_t PLAIN_TEXTS = (1ull << TYPE_STRING) | (1ull << TYPE_FILE) | (1ull << TYPE_URL) |
                                     (1ull << TYPE_EMAIL) | (1ull << TYPE_REF);
    // A unit other than 1, 2 or 4 is left to the general path, which reports it.
    constexpr uint32_t TEXT_UNITS = (1u << 1) | (1u << 2) | (1u << 4);
    uint32_t stype = cell::type(source);
    if (stype >= 64 || !((PLAIN_TEXTS >> stype) & 1) || target->w2 == source->w2) return false;
    SeriesBuffer* tbuf = series::buffer_of(target);
    SeriesBuffer* sbuf = series::buffer_of(source);
    uint32_t tflags = tbuf->flags;
    uint32_t tu = tflags & SERIES_UNIT_MASK;
    uint32_t su = sbuf->unit();
    if ((tflags & SERIES_OWNED) || su > tu || !((TEXT_UNITS >> tu) & 1) || !((TEXT_UNITS >> su) & 1)) return false;
    uint32_t shift = unit_shift(su);
    uint64_t size = sbuf->tail - sbuf->head;
    int32_t head = static_cast<int32_t>(source->w1);
    uint64_t from = head <= 0 ? 0 : std::min<uint64_t>(uint64_t{static_cast<uint32_t>(head)} << shift, size);
    uint64_t bytes = size - from;
    if (part >= 0) bytes = std::min<uint64_t>(bytes, uint64_t{static_cast<uint32_t>(part)} << shift);
    *run = {tbuf, sbuf, tu, su, from, bytes};
    return true;
}

// The commonest append of all, kept small: a plain run of the target's own
// unit that fits the room left. False, having changed nothing, otherwise.
inline bool append_in_room(Cell* target, const Cell* source, int32_t part) {
    Run run;
    if (!plain_run(target, source, part, &run) || run.su != run.tu) return false;
    if (uint64_t{run.tbuf->tail} + run.bytes > run.tbuf->size) return false;
    copy_bytes(run.tbuf->tail_ptr(), run.sbuf->head_ptr() + run.from, static_cast<size_t>(run.bytes));
    run.tbuf->tail += static_cast<uint32_t>(run.bytes);
    return true;
}

// Any plain run, at the tail or (without at_tail) at the target's head index
// clamped to the tail, growing the target as needed. Answers the index just
// past the added code points, or -1, having changed nothing, when the run is
// not plain.
int64_t splice_text(Cell* target, const Cell* source, int32_t part, bool at_tail) {
    Run run;
    if (!plain_run(target, source, part, &run)) return -1;
    Node snode = source->w2;
    uint32_t ts = unit_shift(run.tu);
    SeriesBuffer* tbuf = run.tbuf;
    uint64_t used = tbuf->tail - tbuf->head;
    uint64_t len = used >> ts;
    uint64_t pos = len;
    if (!at_tail) {
        int32_t head = static_cast<int32_t>(target->w1);
        pos = head <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(head), len);
    }
    uint64_t count = run.bytes >> unit_shift(run.su);
    uint64_t bytes = count << ts;
    if (bytes == 0) return static_cast<int64_t>(pos);
    // reserve at least doubles the data area, so appending costs amortised O(1) per unit.
    if (uint64_t{tbuf->tail} + bytes > tbuf->size) tbuf = reserve(tbuf, run.tu, used + bytes);
    uint8_t* at = tbuf->head_ptr() + (pos << ts);
    if (pos < len) std::memmove(at + bytes, at, static_cast<size_t>(used - (pos << ts)));
    // Growing the target left the source's buffer where it was.
    const uint8_t* src = series::buffer_of(snode)->head_ptr() + run.from;
    if (run.su == run.tu) copy_bytes(at, src, static_cast<size_t>(bytes));
    else copy_units(at, run.tu, src, run.su, count);
    tbuf->tail += static_cast<uint32_t>(bytes);
    return static_cast<int64_t>(pos + count);
}

// Any value, any count: built at the tail, then rotated into place.
[[gnu::noinline]] Cell* add_general(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append_) {
    uint32_t h = head_index(series);
    uint32_t len0 = abs_len(series);
    if (append_ || h >= len0) {
        bool told = support::announce(series, append_ ? ownership::EV_APPEND : ownership::EV_INSERT, value,
                                      static_cast<int32_t>(len0), 0);
        uint32_t added = build(series, value, part, only, dup);
        support::announce_after(told, series, append_ ? ownership::EV_APPEND : ownership::EV_INSERT, value,
                                static_cast<int32_t>(len0), static_cast<int32_t>(added));
        series->w1 = append_ ? 0 : abs_len(series);
        return series;
    }
    bool told = support::announce(series, ownership::EV_INSERT, value, static_cast<int32_t>(h), 0);
    uint32_t added = build(series, value, part, only, dup);
    rotate_into_place(series, h, len0);
    support::announce_after(told, series, ownership::EV_INSERT, value, static_cast<int32_t>(h),
                            static_cast<int32_t>(added));
    series->w1 = std::min(h + added, abs_len(series));
    return series;
}

// The other plain cases first: a text copied in (growing the target or
// inserting), or one char added at the tail, with no repetition and no owner
// to tell.
[[gnu::noinline]] Cell* add_any(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append_) {
    if (dup <= 1) {
        int64_t past = splice_text(series, value, part, append_);
        if (past >= 0) {
            series->w1 = append_ ? 0 : static_cast<uint32_t>(past);
            return series;
        }
        if (append_ && cell::type(value) == TYPE_CHAR && !ownership::owned(series)) {
            append_char(series::buffer_of(series), value->w2);
            series->w1 = 0;
            return series;
        }
    }
    return add_general(series, value, part, only, dup, append_);
}

}  // namespace

Cell* append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append_) {
    if (dup > 1 || !append_) return add_any(series, value, part, only, dup, append_);
    // The commonest case is kept free of calls: a short text that fits. (Any
    // count up to 1 adds the value once.)
    if (append_in_room(series, value, part)) {
        series->w1 = 0;
        return series;
    }
    return add_any(series, value, part, only, 1, true);
}

Cell* change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    uint32_t h = head_index(series);
    uint32_t len0 = abs_len(series);
    if (h >= len0) {
        append(series, value, -1, only, dup, true);
        series->w1 = abs_len(series);
        return series;
    }
    uint32_t avail = len0 - h;
    bool told = support::announce(series, ownership::EV_CHANGE, value, static_cast<int32_t>(h),
                                  part >= 0 ? part : 0);
    uint32_t added = build(series, value, -1, only, dup);
    uint32_t replaced = part >= 0 ? std::min(static_cast<uint32_t>(part), avail) : std::min(added, avail);
    rotate_into_place(series, h, len0);
    remove_part(series, h + added, replaced);
    support::announce_after(told, series, ownership::EV_CHANGE, value, static_cast<int32_t>(h),
                            static_cast<int32_t>(added));
    series->w1 = h + added;
    return series;
}

}  // namespace zel::string
