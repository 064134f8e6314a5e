// Adding and replacing cells: append, insert, change, swap and trim.
#include <cstring>
#include <vector>
#include "runtime/cells.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"

namespace zel::block {

namespace {

// The cells a value contributes: a block-family value without /only spreads
// its values from its head; any other value is one cell. Spread values are
// read in place when they live in another block and the target has no owner
// (nothing can run code or move them before they are written); otherwise
// they are copied out, so that a value living in the changed block, or one an
// owner's handler changes, is taken as it stood.
struct Source {
    std::vector<Cell> spread;
    Cell single;
    int64_t count;
    int64_t first = 0;
    bool in_place = false;

    Source(const Cell* value, bool only, const Cell* target) : single(*value) {
        if (!only && any_block(cell::type(value))) {
            count = length_from_head(value);
            first = index_of(value);
            if (value->w2 != target->w2 && !ownership::owned(target)) {
                in_place = true;
            } else {
                const Cell* from = cell_ptr(value, first);
                spread.assign(from, from + count);
            }
        } else {
            count = 1;
        }
    }
    // Valid until the next allocation.
    const Cell* cells() const {
        if (in_place) return cell_ptr(&single, first);
        return spread.empty() ? &single : spread.data();
    }
};

// Checks a cell count against the 32-bit size fields.
int64_t checked_cells(int64_t per_copy, int64_t dup) {
    int64_t n = per_copy * dup;
    if (n > static_cast<int64_t>(UINT32_MAX / sizeof(Cell))) fire(ERR_INTERNAL, "no-memory");
    return n;
}

// Writes `count` cells of the source at dst, then repeats them dup - 1 times.
void fill_cells(Cell* dst, const Cell* src, int64_t count, int64_t dup) {
    std::memcpy(dst, src, static_cast<size_t>(count) * sizeof(Cell));
    if (dup > 1) buffer::repeat(reinterpret_cast<uint8_t*>(dst), static_cast<size_t>(dup), size_t(count) * sizeof(Cell));
}

// One value at the tail when the buffer is full or has an owner to tell.
[[gnu::noinline]] Cell* append_one(Cell* blk, const Cell* value) {
    Cell v = *value;
    int64_t len = cell_count(blk);
    if (static_cast<int64_t>(blk->w1) > len) blk->w1 = static_cast<uint32_t>(len);
    int32_t at32 = static_cast<int32_t>(len);
    bool told = ownership::before(blk, ownership::EV_APPEND, &v, at32, 1);
    *alloc_tail(blk) = v;
    ownership::after_if(told, blk, ownership::EV_APPEND, &v, at32, 1);
    blk->w1 = 0;
    return blk;
}

// The values of another block spread at the tail, when they fit the room
// left and no owner is to be told: one copy. False, having changed nothing,
// otherwise.
bool spread_in_room(Cell* blk, const Cell* value, int32_t part) {
    SeriesBuffer* buf = series::buffer_of(blk);
    if (value->w2 == blk->w2 || (buf->flags & SERIES_OWNED)) return false;
    int64_t count = length_from_head(value);
    if (part >= 0 && part < count) count = part;
    uint64_t bytes = static_cast<uint64_t>(count) * sizeof(Cell);
    if (uint64_t{buf->tail} + bytes > buf->size) return false;
    // Nothing to add leaves even the head index alone.
    if (count == 0) return true;
    std::memcpy(buf->tail_ptr(), cell_ptr(value, index_of(value)), static_cast<size_t>(bytes));
    buf->tail += static_cast<uint32_t>(bytes);
    blk->w1 = 0;
    return true;
}

// Spread values, repetitions and insertion: a gap opened and filled.
[[gnu::noinline]] Cell* add_cells(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool at_tail) {
    Source src(value, only, blk);
    if (src.count == 0) return blk;
    int64_t p = (part < 0 || part > src.count) ? src.count : part;
    series::get_length(blk, false);
    int64_t n = checked_cells(p, dup);
    int64_t at = at_tail ? cell_count(blk) : index_of(blk);
    ownership::Event ev = at_tail ? ownership::EV_APPEND : ownership::EV_INSERT;
    int32_t at32 = static_cast<int32_t>(at), n32 = static_cast<int32_t>(n);
    bool told = ownership::before(blk, ev, &src.single, at32, n32);
    auto* gap = reinterpret_cast<Cell*>(series::open_gap(blk->w2, at, n, dup < 5));
    fill_cells(gap, src.cells(), p, dup);
    ownership::after_if(told, blk, ev, &src.single, at32, n32);
    if (at_tail) {
        blk->w1 = 0;
    } else {
        int64_t past = at + n, len = cell_count(blk);
        blk->w1 = static_cast<uint32_t>(past < len ? past : len);
    }
    return blk;
}

// Spread values at the tail: in place when they fit, else through a gap.
[[gnu::noinline]] Cell* add_spread(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool at_tail) {
    if (spread_in_room(blk, value, part)) return blk;
    return add_cells(blk, value, part, only, dup, at_tail);
}

// A value added once at the tail, `part` not 0 (negative: all of it).
[[gnu::always_inline]] inline Cell* add_at_tail(Cell* blk, Cell* value, int32_t part, bool only) {
    if (!only && any_block(cell::type(value))) return add_spread(blk, value, part, only, 1, true);
    // One value at the tail, the interpreter's most frequent append: with
    // room left and no owner to tell, one cell written in place.
    if (append_in_room(blk, value)) return blk;
    return append_one(blk, value);
}

}  // namespace

Cell* append(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool at_tail) {
    if (dup < 1) return blk;
    if (at_tail && dup == 1 && part != 0) return add_at_tail(blk, value, part, only);
    return add_cells(blk, value, part, only, dup, at_tail);
}

Cell* append_whole(Cell* blk, Cell* value, bool only) { return add_at_tail(blk, value, -1, only); }

Cell* change(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup) {
    if (dup < 1) return blk;
    Source src(value, only, blk);
    int64_t rest = series::get_length(blk, false);
    int64_t idx = index_of(blk);
    int64_t n = checked_cells(src.count, dup);
    int64_t replaced = part >= 0 ? (part < rest ? part : rest) : (n < rest ? n : rest);
    int32_t idx32 = static_cast<int32_t>(idx), n32 = static_cast<int32_t>(n);
    bool told = ownership::before(blk, ownership::EV_CHANGE, &src.single, idx32, n32);
    if (n > replaced) series::open_gap(blk->w2, idx + replaced, n - replaced, false);
    else if (n < replaced) series::remove_units(blk->w2, idx + n, replaced - n);
    if (n > 0) fill_cells(cell_ptr(blk, idx), src.cells(), src.count, dup);
    ownership::after_if(told, blk, ownership::EV_CHANGE, &src.single, idx32, n32);
    int64_t past = idx + n, len = cell_count(blk);
    blk->w1 = static_cast<uint32_t>(past < len ? past : len);
    return blk;
}

Cell* swap(Cell* blk1, Cell* blk2) {
    if (!any_block(cell::type(blk2))) fire(ERR_SCRIPT, "invalid-arg", blk2);
    if (length_from_head(blk1) < 1 || length_from_head(blk2) < 1) return blk1;
    int32_t i1 = static_cast<int32_t>(index_of(blk1)), i2 = static_cast<int32_t>(index_of(blk2));
    bool told1 = ownership::before(blk1, ownership::EV_SWAP, blk2, i1, 1);
    bool told2 = ownership::before(blk2, ownership::EV_SWAP, blk1, i2, 1);
    Cell* a = cell_ptr(blk1, i1);
    Cell* b = cell_ptr(blk2, i2);
    Cell t = *a;
    *a = *b;
    *b = t;
    ownership::after_if(told2, blk2, ownership::EV_SWAP, blk1, i2, 1);
    ownership::after_if(told1, blk1, ownership::EV_SWAP, blk2, i1, 1);
    return blk1;
}

// Removes every none from the head on; the other values keep their order.
// The refinements belong to string! trimming and are ignored here.
Cell* trim(Cell* blk, bool, bool, bool, bool, bool, Cell*) {
    int64_t rest = series::get_length(blk, false);
    int64_t idx = index_of(blk);
    int32_t idx32 = static_cast<int32_t>(idx);
    bool told = ownership::before(blk, ownership::EV_TRIM, nullptr, idx32, static_cast<int32_t>(rest));
    Cell* cells = cell_ptr(blk, 0);
    int64_t kept = idx;
    for (int64_t i = idx; i < idx + rest; ++i)
        if (cell::type(cells + i) != TYPE_NONE) cells[kept++] = cells[i];
    block::set_tail_at(blk, static_cast<uint32_t>(kept));
    ownership::after_if(told, blk, ownership::EV_TRIM, nullptr, idx32, static_cast<int32_t>(rest));
    return blk;
}

}  // namespace zel::block
