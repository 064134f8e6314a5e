// Typed buffers: growable arrays of bytes or 32-bit values (integers, node
// ids, table indexes) kept in a byte series, for the runtime's internal
// lists. The series' unit bits hold the element size. Appending may move
// the buffer, so callers keep the node and never a data address across an
// append.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::array {

// A new empty buffer with room for `count` elements of `unit` bytes.
Node make(uint64_t count, uint32_t unit);
// Elements between the data start and the tail.
uint32_t length(Node buf);
// Empties the buffer.
void clear(Node buf);
// Moves the tail so that n - 1 elements remain (n = 1 empties the buffer).
void set_tail(Node buf, int64_t n);
// A new buffer holding a copy of the elements.
Node copy(Node buf);
// Address of the data start (valid until the next allocation).
uint8_t* data(Node buf);

void append_byte(Node buf, uint8_t byte);
// Byte n, counted from 1.
uint8_t pick_byte(Node buf, int64_t n);
// Copies `count` bytes to the tail; returns where they were put.
uint8_t* append_bytes(Node buf, const uint8_t* bytes, uint64_t count);

void append_int(Node buf, uint32_t value);
void append_ptr(Node buf, uint32_t value);
// 32-bit element n, counted from 1.
uint32_t pick_int(Node buf, int64_t n);
uint32_t pick_ptr(Node buf, int64_t n);
void poke_ptr(Node buf, int64_t n, uint32_t value);
// Inserts a 32-bit value before element `index` (0-based; the length appends).
void insert_ptr(Node buf, uint32_t value, int64_t index);
// Byte offset of the first equal 32-bit element, or -1.
int64_t find_int(Node buf, uint32_t value);
int64_t find_ptr(Node buf, uint32_t value);
// Removes the first equal 32-bit element, if any.
void remove_ptr(Node buf, uint32_t value);
// Removes `count` bytes at byte `offset`, moving the rest down.
void remove_at(Node buf, int64_t offset, int64_t count);

}  // namespace zel::array
