// block! accessors, constructors, the services installed by later layers,
// and the block! registration.
#include "runtime/datatypes/block.h"
#include <cstring>
#include "runtime/actions.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/series.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/names.h"
#include "runtime/stack.h"

namespace zel::block {

namespace {

// Scratch cells for blocks made without a parent.
Cell scratch_block;
Cell scratch_fixed;

inline SeriesBuffer* buf_of(const Cell* blk) { return series::buffer_of(blk); }
inline int64_t cells_of(const SeriesBuffer* b) { return (b->tail - b->head) / sizeof(Cell); }

Cell* make_cells_at(Cell* cell, int32_t n, bool fixed, bool unset_cells) {
    uint64_t room = n < 1 ? 1 : static_cast<uint64_t>(n);
    Node node = fixed ? series::alloc_fixed(room, sizeof(Cell), 0)
                      : unset_cells ? series::alloc_unset_cells(room) : series::alloc_cells(room);
    return set_series(cell, TYPE_BLOCK, node);
}

}  // namespace

// ---- accessors ----

int32_t rs_length_q(const Cell* blk) {
    return static_cast<int32_t>(cells_of(buf_of(blk)) - static_cast<int32_t>(blk->w1));
}

Cell* rs_head(Cell* blk) {
    SeriesBuffer* b = buf_of(blk);
    int64_t len = cells_of(b);
    if (static_cast<int64_t>(blk->w1) > len) blk->w1 = static_cast<uint32_t>(len);
    return b->head_cell() + blk->w1;
}

Cell* rs_tail(const Cell* blk) { return buf_of(blk)->tail_cell(); }
bool rs_tail_q(const Cell* blk) { return rs_length_q(blk) <= 0; }

bool rs_next(Cell* blk) {
    if (rs_length_q(blk) > 0) ++blk->w1;
    return rs_length_q(blk) <= 0;
}

Cell* rs_abs_at(const Cell* blk, uint32_t n) { return buf_of(blk)->head_cell() + n; }

void rs_clear(Cell* blk) {
    SeriesBuffer* b = buf_of(blk);
    int64_t idx = blk->w1 > cells_of(b) ? cells_of(b) : blk->w1;
    b->tail = b->head + static_cast<uint32_t>(idx * sizeof(Cell));
}

void set_tail_at(const Cell* blk, uint32_t n) {
    SeriesBuffer* b = buf_of(blk);
    b->tail = b->head + n * static_cast<uint32_t>(sizeof(Cell));
}

void remove_last(Cell* blk) {
    SeriesBuffer* b = buf_of(blk);
    if (b->tail == b->head) return;
    b->tail -= sizeof(Cell);
    if (blk->w1 > cells_of(b)) blk->w1 = static_cast<uint32_t>(cells_of(b));
}

Cell* append_copy(const Cell* blk, const Cell* value) {
    Cell v = *value;  // the value may lie in the buffer that grows
    Cell* c = alloc_tail(blk);
    *c = v;
    return c;
}

Cell* rs_append_block(Cell* target, const Cell* source) {
    int32_t n = rs_length_q(source);
    if (n <= 0) return target;
    Cell src = *source;
    uint8_t* gap = series::grow_tail(target->w2, uint64_t(n) * sizeof(Cell));
    // The grow may have moved the source when both are the same series.
    std::memmove(gap, buf_of(&src)->head_cell() + src.w1, size_t(n) * sizeof(Cell));
    return target;
}

void insert_value(Cell* blk, const Cell* value, bool advance, bool from_start) {
    Cell v = *value;
    int64_t len = series::length_of_buffer(blk);
    int64_t at = from_start ? 0 : (blk->w1 > len ? len : blk->w1);
    Cell* gap = reinterpret_cast<Cell*>(series::open_gap(blk->w2, at, 1, true));
    *gap = v;
    if (advance) ++blk->w1;
}

void insert_block(Cell* target, const Cell* source) {
    Cell src = *source;
    int32_t n = rs_length_q(&src);
    for (int32_t i = 0; i < n; ++i) {
        Cell v = buf_of(&src)->head_cell()[src.w1 + i];
        insert_value(target, &v, true, false);
    }
}

void insert_top() { insert_value(stack::arguments - 1, stack::arguments, false, false); }
void append_second_arg() { append_copy(stack::arguments, stack::arguments + 1); }
void append_top() { append_copy(stack::top - 2, stack::top - 1); }

// ---- constructors ----

Cell* make_at(Cell* cell, int32_t n) { return make_cells_at(cell, n, false, false); }
Cell* make_fixed_at(Cell* cell, int32_t n, bool fixed) { return make_cells_at(cell, n, fixed, !fixed); }

Cell* make_in(const Cell* parent, int32_t n) {
    if (!parent) return make_at(&scratch_block, n);
    Cell blk;
    make_at(&blk, n);
    Cell* c = alloc_tail(parent);
    *c = blk;
    return c;
}

Cell* make_fixed_in(const Cell* parent, int32_t n) {
    if (!parent) return make_fixed_at(&scratch_fixed, n, true);
    Cell blk;
    make_fixed_at(&blk, n, true);
    Cell* c = alloc_tail(parent);
    *c = blk;
    return c;
}

Cell* push(const Cell* blk) { return stack::push(blk); }

Cell* push_only(int32_t n) {
    Cell* c = stack::push_new();
    return make_at(c, n == 0 ? 1 : n);
}

// ---- the user comparator ----

namespace {

// The callback kind of a sort comparator (tracing follows its switch).
constexpr uint32_t SORT_CALLBACK = 4;

const Cell* interpreter_call(const Cell* fn, const Cell* a, const Cell* b) {
    Cell args[2] = {*a, *b};
    return interpreter::call_with(fn, args, 2, names::symbol("<compare-callback>"), SORT_CALLBACK);
}

ComparatorCall comparator_call = interpreter_call;

}  // namespace

void set_comparator_call(ComparatorCall call) { comparator_call = call ? call : interpreter_call; }

const Cell* call_comparator(const Cell* fn, const Cell* a, const Cell* b) { return comparator_call(fn, a, b); }

void init() {
    datatypes::inherited_row()
        .set(ACT_MAKE, make)
        .set(ACT_TO, to)
        .set(ACT_FORM, form)
        .set(ACT_MOLD, mold)
        .set(ACT_EVAL_PATH, eval_path)
        .empty(ACT_SET_PATH)
        .set(ACT_COMPARE, compare)
        .set(ACT_APPEND, append)
        .set(ACT_INSERT, append)
        .set(ACT_CHANGE, change)
        .set(ACT_COPY, copy)
        .set(ACT_FIND, find)
        .set(ACT_PUT, put)
        .set(ACT_SELECT, select)
        .set(ACT_SORT, sort)
        .set(ACT_SWAP, swap)
        .set(ACT_TAKE, take)
        .set(ACT_TRIM, trim)
        .register_as(TYPE_BLOCK, TYPE_SERIES, "block!");
}

}  // namespace zel::block
