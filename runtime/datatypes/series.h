// The series engine: positions and the actions that work alike on every
// series whatever its unit (16-byte cells of the block family, 1-, 2- or
// 4-byte code units of the string family, bytes of binary!, vector!
// elements). series! (id 42) is a pseudo-type that no value carries; block!,
// string! and image! inherit these actions from its row.
//
// A series value holds its head index (in units, from the buffer's head) in
// word 1 and its node in word 2. A head index may lie past the tail when the
// series was shortened through another reference; the routines say where
// such an index is clamped.
#pragma once
#include <bit>
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel {

// The block family: block!, paren!, the four paths and hash!.
inline bool any_block(uint32_t t) {
    return t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_HASH || (t >= TYPE_PATH && t <= TYPE_GET_PATH);
}
inline bool any_path(uint32_t t) { return t >= TYPE_PATH && t <= TYPE_GET_PATH; }
// The string family: string!, file!, url!, tag!, email!, ref!.
inline bool any_string(uint32_t t) {
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL || t == TYPE_REF;
}
// Every type whose values are series.
inline bool any_series(uint32_t t) {
    return any_block(t) || any_string(t) || t == TYPE_BINARY || t == TYPE_VECTOR || t == TYPE_IMAGE;
}

namespace series {

using zel::any_block;
using zel::any_path;
using zel::any_series;
using zel::any_string;

// ---- positions ----

inline uint32_t unit_of(const Cell* s) { return buffer_of(s)->unit(); }
// Units are powers of two (1, 2, 4, 8 or 16 bytes): positions convert by shifts.
inline uint32_t unit_shift(const SeriesBuffer* b) { return static_cast<uint32_t>(std::countr_zero(b->unit())); }
// Units between the buffer's head and tail, ignoring the head index.
inline int64_t length_of_buffer(const Cell* s) {
    const SeriesBuffer* b = buffer_of(s);
    return (b->tail - b->head) >> unit_shift(b);
}
// The address of unit i counted from the buffer's head.
inline uint8_t* unit_at(const Cell* s, int64_t i) {
    SeriesBuffer* b = buffer_of(s);
    return b->head_ptr() + (i << unit_shift(b));
}

// True when the head index is at or past the tail.
bool rs_tail_q(const Cell* s);
// The buffer length in units.
int32_t get_buffer_length(const Cell* s);
// Moves the head index on by n unless that reaches or passes the tail;
// returns whether the new position would be at or past the tail.
bool move_head(Cell* s, int32_t n);
// Units from the head index to the tail (from_start: the buffer length). A
// head index past the tail is rewritten to the tail and 0 returned.
int32_t get_length(Cell* s, bool from_start);
// The new head index for at (at set) and skip, from the series at the
// arguments base and the offset after it; clamped to the buffer.
uint32_t compute_position(bool at);

// ---- helpers of the series actions ----

// The count a /part argument stands for: an integer!, or a series of the
// same type on the same node (its index less the series' index). Anything
// else raises invalid-refine-arg with the word `part`.
int64_t part_count(const Cell* s, const Cell* part);
// Raises invalid-refine-arg with the refinement's word and the argument.
[[noreturn]] void bad_refine(const char* refinement, const Cell* arg);
// A new empty series of the source's type, unit and flags (but not its
// owned mark), with room for `count` units, at index 0, written to `out`.
// vector! and hash! keep word 3.
Cell* make_like(const Cell* src, uint64_t count, Cell* out);
// Removes `count` units at unit position `pos` (from the buffer head),
// moving the rest down.
void remove_units(Node node, int64_t pos, int64_t count);
// Opens a gap of `count` units at unit position `pos`, growing the buffer
// (to twice the need when `doubling`); returns the gap's address.
uint8_t* open_gap(Node node, int64_t pos, int64_t count, bool doubling);
// The value at unit position `pos` as pick gives it (a pointer into the
// block, or a scratch cell valid until the next call).
Cell* value_at(Cell* s, int64_t pos);

// ---- the series! actions ----

Cell* random(Cell* s, bool seed, bool secure, bool only);
Cell* reflect(Cell* s, uint32_t field);
void at();
void back();
Cell* clear(Cell* s);
Cell* copy(Cell* s, Cell* result, Cell* part, bool deep, Cell* types);
void head();
void head_q();
void index_q();
int32_t length_q(Cell* s);
Cell* move(Cell* origin, Cell* target, Cell* part);
void next();
Cell* pick(Cell* s, int32_t index, Cell* index_cell);
Cell* poke(Cell* s, int32_t index, Cell* value, Cell* index_cell);
Cell* remove(Cell* s, Cell* part, Cell* key);
Cell* reverse(Cell* s, Cell* part, Cell* skip);
void skip();
void tail();
void tail_q();
// The taken units as a new series (or none), in a cell valid until the next take.
Cell* take(Cell* s, Cell* part, bool deep, bool last);
Cell* modify(Cell* target, Cell* field, Cell* value, bool case_);

void init();

}  // namespace series
}  // namespace zel
