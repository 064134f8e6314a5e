// paren!: a block in every respect but its evaluation and its brackets.
#include "runtime/actions.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"
#include "runtime/stack.h"

namespace zel::paren {

namespace {
// Elements as a block molds them, between "(" and ")" unless /only.
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    return block::mold_between(value, buffer, "(", ")", only, all, flat, arg, part, indent);
}
}  // namespace

// Turns a block-family cell into a paren! and pushes a copy.
Cell* push(Cell* blk) {
    cell::set_type(blk, TYPE_PAREN);
    return stack::push(blk);
}

void init() {
    datatypes::inherited_row()
        .set(ACT_MOLD, mold)
        .empty(ACT_TRIM)
        .register_as(TYPE_PAREN, TYPE_BLOCK, "paren!");
}

}  // namespace zel::paren
