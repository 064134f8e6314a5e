// Writing form and mold text into a string! buffer. Every writer takes the
// remaining part budget and returns it reduced by the characters written;
// the budget only cuts the output where a caller asked for /part.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::emit {

// Makes an empty string! with room for n code points in the cell.
Cell* make_buffer(Cell* cell, uint32_t n);
// Appends a text of single-byte characters.
int32_t literal(Cell* buffer, const char* text, int32_t part);
// Appends n single-byte characters.
int32_t bytes(Cell* buffer, const char* text, uint32_t n, int32_t part);
// Appends one code point.
int32_t character(Cell* buffer, uint32_t cp, int32_t part);
// The last code point of the buffer, or 0 when it is empty.
uint32_t last_char(const Cell* buffer);
// Cuts the buffer to its first n code points.
void truncate(Cell* buffer, uint32_t n);

}  // namespace zel::emit
