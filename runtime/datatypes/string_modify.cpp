// append, insert and change on text. Each builds the new content once at the
// tail (widening the unit as its code points need), repeats it for /dup by
// doubling copies, and then rotates it into place: one growth of the buffer
// and one exchange of regions, whatever the value.
#include <algorithm>
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"

namespace zel::string {

namespace {

using support::is_any_block;
using support::SIZE_LIMIT;

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
    uint64_t total = (uint64_t{count} * static_cast<uint64_t>(dup) + start) * unit;
    if (total > SIZE_LIMIT) fire(ERR_INTERNAL, "no-memory");
    buf = reserve(buf, unit, total);
    buffer::repeat(buf->head_ptr() + uint64_t{start} * unit, static_cast<size_t>(dup), size_t{count} * unit);
    buf->tail = static_cast<uint32_t>(buf->head + total);
}

// Builds the content (and its repetitions) at the tail; answers its length.
uint32_t build(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    uint32_t len0 = abs_len(series);
    repeat_run(series, len0, add_content(series, value, part, only), dup);
    return abs_len(series) - len0;
}

// Moves the run built at the tail (from `len0` on) to index h.
void rotate_into_place(Cell* series, uint32_t h, uint32_t len0) {
    SeriesBuffer* buf = series::buffer_of(series);
    uint32_t unit = unit_of(buf);
    uint32_t added = abs_len(series) - len0;
    swap_regions(buf->head_ptr() + uint64_t{h} * unit, (len0 - h) * unit, added * unit);
}

}  // namespace

Cell* append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append_) {
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
