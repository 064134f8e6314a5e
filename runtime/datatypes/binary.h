// binary!: a series of bytes (unit 1); word 1 the head index, word 2 the node.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::binary {

// Makes an empty binary! with room for `capacity` bytes in the cell.
Cell* load_in(Cell* c, uint32_t capacity);

}  // namespace zel::binary
