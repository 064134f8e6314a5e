// percent!: a float! holding a fraction that prints as percents (0.5 is 50%).
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::percent {

// Writes a percent! holding the fraction into the cell.
Cell* make_in(Cell* c, double fraction);
Cell* push(double fraction);
// Appends a percent! made from the double's high and low words at a block's tail.
Cell* make_at(const Cell* block, uint32_t high, uint32_t low);

void init();

}  // namespace zel::percent
