// map!: key/value pairs in a block of cells (key, value, ...) in insertion
// order, indexed by a hash table. Word 2 the pairs block's node, word 3 the
// hash table's node.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::map {

// Whether a value of the type may be a key: the string family and binary!,
// char!, integer!, float!, percent!, pair!, tuple!, time!, date!, money!,
// point2D!, point3D! and the word family (type ids 7-12, 15-20, 37-39, 41,
// 43-45, 47, 49-52).
bool key_type_q(uint32_t type);

// Turns the block of key/value cells into a map! in the same cell, building
// its hash table for `count` keys.
Cell* make_at(Cell* c, const Cell* block, uint32_t count);

}  // namespace zel::map
