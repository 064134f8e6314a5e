// pair!: two 32-bit integers written XxY. Word 2 holds x, word 3 y.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::pair {

// Writes a pair! into the cell.
Cell* make_in(Cell* c, int32_t x, int32_t y);
// Pushes a new pair! on the argument stack.
Cell* push(int32_t x, int32_t y);

}  // namespace zel::pair
