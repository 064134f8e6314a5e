// Word and symbol lookups by name (see names.h).
#include "runtime/names.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"

namespace zel::names {

Cell* word(const char* name, Cell* out) { return zel::word::load(name, out); }
uint32_t symbol(const char* name) { return zel::symbol::make(name); }
uint32_t alias(uint32_t sym) { return zel::symbol::resolve(sym); }

}  // namespace zel::names
