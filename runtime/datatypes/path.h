// The path family (path!, lit-path!, set-path!, get-path!) and paren!:
// blocks that differ from block! only in type id, evaluation and text form.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel {

namespace path {
// Turns a block-family cell into a path! (in place) and pushes a copy.
Cell* push(Cell* blk);
// An empty path! with room for n elements in the cell.
Cell* make_at(Cell* cell, int32_t n);
}  // namespace path

namespace lit_path { Cell* push(Cell* blk); }
namespace set_path { Cell* push(Cell* blk); }
namespace get_path { Cell* push(Cell* blk); }
namespace paren { Cell* push(Cell* blk); }

}  // namespace zel
