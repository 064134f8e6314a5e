// none!: the value of "no value here". Result routines used across the runtime.
#pragma once
#include "runtime/cell.h"

namespace zel::none {

// The static none! cell.
Cell* value();
// The call's result cell becomes none (the most used result routine).
Cell* set_last();
// Appends none to a block and returns the new cell.
Cell* make_in(const Cell* parent);
// Pushes none on the argument stack.
Cell* push();

void init();

}  // namespace zel::none
