// Words the runtime names by their spelling: the refinement and argument
// words of error reports (`part`, `skip`, `kind`...), the fields that
// reflect and modify test (`owned`, `body`), and the case-folded alias of a
// symbol.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::names {

// The word of a name (bound to the global context), written to `out`.
Cell* word(const char* name, Cell* out);
// The symbol id of a name.
uint32_t symbol(const char* name);
// The symbol a case variant stands for.
uint32_t alias(uint32_t symbol);

}  // namespace zel::names
