// unset!: the value of nothing. Result routines used across the runtime.
#pragma once
#include "runtime/cell.h"

namespace zel::unset {

// The static unset! cell.
Cell* value();
// The call's result cell becomes unset.
Cell* set_last();
// Appends unset to a block and returns the new cell.
Cell* make_in(const Cell* parent);
// Pushes unset on the argument stack.
Cell* push();

void init();

}  // namespace zel::unset
