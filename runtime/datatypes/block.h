// block!: the sequence of values and the carrier of code. Accessors and
// constructors used across the runtime (names with rs_ work on a block value
// directly and return plain results) and the block! actions. paren!, the
// paths and hash! reuse these through their rows.
//
// Cell addresses returned here point into the block's buffer: they are
// valid until the next call that may allocate a series.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory.h"

namespace zel::block {

// ---- accessors ----

// Cells from the head to the tail (negative when the head lies past the tail).
int32_t rs_length_q(const Cell* blk);
// The head cell; a head index past the tail is first clamped and stored back.
Cell* rs_head(Cell* blk);
// One past the last cell.
Cell* rs_tail(const Cell* blk);
bool rs_tail_q(const Cell* blk);
// Moves the head one cell on when a cell remains; true when now at the tail.
bool rs_next(Cell* blk);
// Cell n counted from the buffer's head (0-based).
Cell* rs_abs_at(const Cell* blk, uint32_t n);
void rs_clear(Cell* blk);
// The tail is set to cell n counted from the buffer's head.
void set_tail_at(const Cell* blk, uint32_t n);
// Drops the last cell and clamps the head index to the new length.
void remove_last(Cell* blk);
// Adds a copy of the value at the tail; returns the new cell.
Cell* append_copy(const Cell* blk, const Cell* value);
// Copies the source's cells (head to tail) onto the target's tail.
Cell* rs_append_block(Cell* target, const Cell* source);
// The cell after the first one equal to the value (find equality), or none.
Cell* select_value(Cell* blk, const Cell* value);
// The cell after the first word-family cell with the word's symbol (compared
// through case folding unless strict), or none.
Cell* select_word(Cell* blk, const Cell* word, bool strict);
// Removes the first cell equal to the value (from the head, or from the
// buffer start); 1 when the removed cell lay at or before the head index.
int32_t remove_value(Cell* blk, const Cell* value, bool from_start);
// Inserts a copy of the value at the head (or the buffer start); with
// advance the head moves past it.
void insert_value(Cell* blk, const Cell* value, bool advance, bool from_start);
// Inserts each value of the source at the head, keeping their order.
void insert_block(Cell* target, const Cell* source);
// Inserts the value at the arguments base into the block in the cell below it.
void insert_top();
// Appends a copy of the second argument to the block at the arguments base.
void append_second_arg();
// Appends the top value to the block just below it.
void append_top();
// A new block pushed on the argument stack: a copy of the cells from the
// head (nested blocks cloned too with deep; parens and paths as well with
// any_block). The result takes the source's type.
Cell* clone(const Cell* blk, bool deep, bool any_block);
// Replaces each cell of [from, to) (every step-th) whose type is in the
// kind (a typeset or a datatype) and that holds a series, object, error,
// map or bitset by its copy (deep and restricted to the same kind with deep).
void copy_deep_types(Cell* blk, uint32_t from, uint32_t to, uint32_t step, bool deep, const Cell* kind);

// ---- constructors ----

// An empty block! with room for n cells (n < 0 counts as 1) in the cell.
Cell* make_at(Cell* cell, int32_t n);
// The same; fixed: the buffer comes from the heap and never moves, else
// its cells are unset.
Cell* make_fixed_at(Cell* cell, int32_t n, bool fixed);
// An empty block at the tail of a parent (or in a scratch cell when null).
Cell* make_in(const Cell* parent, int32_t n);
Cell* make_fixed_in(const Cell* parent, int32_t n);
// Pushes a copy of the block cell.
Cell* push(const Cell* blk);
// Pushes a new empty block with room for n cells (0 counts as 1).
Cell* push_only(int32_t n);

// ---- actions ----

Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* to(Cell* proto, Cell* spec, uint32_t type);
int32_t form(Cell* blk, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* blk, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
// The mold of a block-like value between the given brackets ("[" "]", "(" ")").
int32_t mold_between(Cell* blk, Cell* buffer, const char* open, const char* close, bool only, bool all, bool flat,
                     Cell* arg, int32_t part, int32_t indent);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t index,
                bool case_, bool get, bool tail, bool evt);
// find and select leave their result in the series cell and return it.
Cell* find(Cell* blk, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with, Cell* skip,
           bool last, bool reverse, bool tail, bool match);
Cell* select(Cell* blk, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);
Cell* put(Cell* blk, Cell* key, Cell* value, bool case_);
Cell* sort(Cell* blk, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse, bool stable);
// append and insert (append set: at the tail).
Cell* append(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool append);
// append without /part and /dup: the same as append(blk, value, -1, only, 1,
// true), without the checks those make. Like it, returns `blk`.
Cell* append_whole(Cell* blk, Cell* value, bool only);
// append_whole's commonest case, in line: one value (the caller knows it is
// not to be spread) written at the tail of a block that has room for it and
// no owner to tell. False, having changed nothing, otherwise.
inline bool append_in_room(Cell* blk, const Cell* value) {
    SeriesBuffer* buf = series::buffer_of(blk);
    if ((buf->flags & SERIES_OWNED) || uint64_t{buf->tail} + sizeof(Cell) > buf->size) return false;
    *buf->tail_cell() = *value;
    buf->tail += sizeof(Cell);
    blk->w1 = 0;
    return true;
}
Cell* change(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup);
Cell* copy(Cell* blk, Cell* result, Cell* part, bool deep, Cell* types);
Cell* swap(Cell* blk1, Cell* blk2);
// take answers a cell valid until the next take.
Cell* take(Cell* blk, Cell* part, bool deep, bool last);
Cell* trim(Cell* blk, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

// The set operations on the first (and second) argument on the stack; the
// result replaces the first. Ops: 8 unique, 9 union, 10 intersect,
// 11 exclude, 12 difference. `skip` is the record size cell or null.
void do_set_op(bool case_, Cell* skip, int32_t op);
enum SetOp : int32_t { SET_UNIQUE = 8, SET_UNION, SET_INTERSECT, SET_EXCLUDE, SET_DIFFERENCE };

// ---- the user comparator of sort/compare ----

// Calls a comparison function with two arguments in a call frame named
// <compare-callback> and returns its result (valid until the next call).
// The interpreter does this by default; a replacement can be installed
// (null restores the interpreter).
using ComparatorCall = const Cell* (*)(const Cell* fn, const Cell* a, const Cell* b);
void set_comparator_call(ComparatorCall call);

void init();

}  // namespace zel::block
