// The string family's storage: code points in units of 1, 2 or 4 bytes that
// widen as wider code points arrive, and the string! actions.
//
// "Start" below is the buffer's first unit (its head offset); an index "from
// start" counts units from there, while a string cell's head index counts
// from the same place to the value's first code point.
//
// Buffer-level operations return the buffer, which may have moved: use the
// returned one (or look it up again through the node).
#pragma once
#include <cstdint>
#include "runtime/case_folding.h"
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel::string {

// ---- code points in a buffer ----

// The code point stored at an address in a unit.
uint32_t get_char(const uint8_t* p, uint32_t unit);
// The code point at index n counted from the buffer start (not the head).
uint32_t get_char_at(const Cell* str, uint32_t n);
// The unit of a text buffer (1, 2 or 4; anything else is runtime error 101).
uint32_t unit_of(const SeriesBuffer* buf);
// The narrowest unit that holds a code point when appended (1 up to 7Fh, 2 up
// to FFFFh, else 4) and when written in place (1 up to FFh).
uint32_t append_unit(uint32_t cp);
uint32_t write_unit(uint32_t cp);

// Appends one code point; a unit-1 buffer widens for 80h and above.
SeriesBuffer* append_char(SeriesBuffer* buf, uint32_t cp);
// Writes at an index from start, widening and growing until the index fits;
// a write at or past the tail moves the tail to just after it (the units
// skipped over become code point 0).
SeriesBuffer* overwrite_char(SeriesBuffer* buf, uint32_t index, uint32_t cp);
// Writes at an address inside the data area; a code point too wide for the
// unit widens the buffer and the write lands at the same index.
SeriesBuffer* poke_char(SeriesBuffer* buf, uint8_t* p, uint32_t cp);
// Inserts at an index from start, moving the rest up one unit.
SeriesBuffer* insert_char(SeriesBuffer* buf, uint32_t index, uint32_t cp);
// Removes one code point at an index from start (nothing at or past the tail).
void remove_char(const Cell* str, uint32_t index);
// Removes n code points at an index from start; a run that reaches the tail
// cuts the tail back.
void remove_part(const Cell* str, uint32_t index, uint32_t n);
// Moves the tail back to start + n units when that lies before the tail.
SeriesBuffer* truncate(SeriesBuffer* buf, uint32_t n);
// Rewrites the text in a wider unit (1 to 2 or 4, 2 to 4), in place.
SeriesBuffer* widen(SeriesBuffer* buf, uint32_t from, uint32_t to);
// Makes sure the buffer's unit is at least `unit` and its data area holds
// `bytes` bytes from start (in that unit), widening and growing in one pass.
SeriesBuffer* reserve(SeriesBuffer* buf, uint32_t unit, uint64_t bytes);

// ---- string values ----

// Makes an empty string! in the cell with room for n code points (at least 1), unit 1.
Cell* rs_make_at(Cell* cell, uint32_t n);
// Makes an empty string! with room for n code points of a unit.
Cell* make_in(Cell* cell, uint32_t n, uint32_t unit);
// Copies the cell onto the argument stack.
Cell* push(const Cell* str);
// Pushes a new empty string! with room for n code points.
Cell* push_new(uint32_t n);
// Address of the head code point; a head past the tail is clamped and stored back.
uint8_t* rs_head(Cell* str);
uint8_t* rs_tail(const Cell* str);
bool rs_tail_q(const Cell* str);
// Code points from the head to the tail (a head past the tail counts 0).
int32_t rs_length_q(const Cell* str);
// Code points from the buffer start to the tail.
int32_t rs_abs_length_q(const Cell* str);
// Empties the string: unit back to 1, tail = start, head 0.
void rs_reset(Cell* str);
// The head index clamped to the tail (not stored back).
uint32_t head_index(const Cell* str);
// Whether a cell's type is of the string family (string, file, url, tag, email, ref).
bool is_family(uint32_t type);

// Index from the head of the first occurrence of cp, or -1.
int32_t find_char(const Cell* str, uint32_t cp);
// Whether cp occurs at head, head + step, ... (folding case unless case_ is set).
bool contains_char(const Cell* str, uint32_t cp, uint32_t step, bool case_);
// Whether the zero-terminated byte text lies at the head (byte by byte).
bool begins_with(const Cell* str, const char* text);

// Appends (mode 0), inserts at offset (1) or overwrites at offset (2) the
// source's code points from its head, at most `part` of them when part >= 0.
// Offsets count from the target's buffer start. With keep_unit a wider target
// takes the source code point by code point instead of widening the source.
void concatenate(Cell* target, const Cell* source, int32_t part, int32_t offset, bool keep_unit, int mode);
// Appends each byte of a zero-terminated text as a code point.
void concatenate_literal(Cell* str, const char* text);
// Appends n bytes as code points.
void concatenate_bytes(Cell* str, const uint8_t* bytes, uint32_t n);
// Appends UTF-8 text, decoded (invalid bytes raise invalid-utf8).
void concatenate_utf8(Cell* str, const char* text, uint32_t n);

// Writes n code points read in unit `from` as unit `to` (one block copy when
// the units agree; the regions may overlap then).
void copy_units(uint8_t* dst, uint32_t to, const uint8_t* src, uint32_t from, uint64_t n);
// Exchanges two adjacent regions: [a, a + len_a) and the len_b bytes after it.
void swap_regions(uint8_t* a, uint32_t len_a, uint32_t len_b);
// Inserts the code points of the source's first n bytes (from its head) into
// the target at its head, one by one, then removes them from the source.
void move_chars(const Cell* source, const Cell* target, uint32_t n_bytes);

// ---- comparison and matching ----

// Upper-case mapping used wherever text compares without case.
inline uint32_t fold(uint32_t cp) { return casefold::to_upper(cp); }
// -1, 0 or 1 (see the comparison op codes; `match` compares B as a prefix of A).
int32_t compare_text(const Cell* a, const Cell* b, int32_t op, bool match);
// Whether the head code point is in the bitset.
bool head_in_bitset(const Cell* str, const Cell* bitset);
// Whether the string has "<" at its head and ">" right after the tag's length.
bool match_tag(const Cell* str, const Cell* tag);
// Whether the string at its head matches a char!, a text or a tag!.
bool match_head(const Cell* str, const Cell* pattern, int32_t op);

// ---- numbers as text ----

// Hexadecimal digits of a 32-bit value, in a static buffer valid until the
// next call: short form only the digits written ("00" for zero), long form
// all eight (F-filled for negatives).
const char* to_hex(int32_t value, bool short_form);
// Two upper-case digits in a static buffer.
const char* byte_to_hex(uint8_t byte);
// The float that n bytes of decimal text denote.
double to_float(const uint8_t* p, uint32_t n);

// ---- loading encoded text ----

constexpr int ENCODING_UTF8 = 0;
constexpr int ENCODING_UTF16LE = -1;

// A string! made from encoded text in the target cell (null: a new cell
// pushed on the argument stack). Returns the cell.
Cell* load(const uint8_t* text, uint32_t size, Cell* target, int encoding);
// The same in a new cell at the tail of a block.
Cell* load_in(const uint8_t* text, uint32_t size, const Cell* block, int encoding);
Cell* load_push(const uint8_t* text, uint32_t size, int encoding);
// A string! pushed on the argument stack from n UTF-8 bytes; invalid bytes
// raise access error invalid-utf8 with a binary! of the bytes from the
// failing one to the end.
Cell* load_utf8_bytes(const uint8_t* p, uint32_t n);

}  // namespace zel::string
