// The string family's storage: code points in units of 1, 2 or 4 bytes that
// widen as wider code points arrive, and the string! actions.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel::string {

// Makes an empty string! in the cell with room for n code points (at least 1), unit 1.
Cell* rs_make_at(Cell* cell, uint32_t n);
// Appends one code point; the buffer may move: use the returned one.
SeriesBuffer* append_char(SeriesBuffer* buf, uint32_t cp);
// Appends each byte of a zero-terminated text as a code point.
void concatenate_literal(Cell* str, const char* text);
// Appends n bytes as code points.
void concatenate_bytes(Cell* str, const uint8_t* bytes, uint32_t n);
// Appends (mode 0), inserts at offset (1) or overwrites at offset (2) the
// source's code points from its head, at most `part` of them when part >= 0.
void concatenate(Cell* target, Cell* source, int32_t part, int32_t offset, bool keep_unit, int mode);
// The code point stored at an address in a unit.
uint32_t get_char(const uint8_t* p, uint32_t unit);
// Code points from the head to the tail (a head past the tail counts 0).
int32_t rs_length_q(const Cell* str);
// Moves the tail back to start + n units when that lies before the tail.
SeriesBuffer* truncate(SeriesBuffer* buf, uint32_t n);

}  // namespace zel::string
