// none! actions. none also answers the series actions that a missing series
// may meet (clear, find, select, remove, take: none; length?: none).
#include "runtime/datatypes/none.h"
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/row.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::none {

namespace {

Cell none_cell = {TYPE_NONE, 0, 0, 0};

Cell* make(Cell*, Cell*, uint32_t) { return value(); }

int32_t form(Cell*, Cell* buffer, Cell*, int32_t part) { return emit::literal(buffer, "none", part); }

int32_t mold(Cell*, Cell* buffer, bool, bool all, bool, Cell*, int32_t part, int32_t) {
    return emit::literal(buffer, all ? "#(none)" : "none", part);
}

// none equals none; it has no order.
int32_t compare(Cell*, Cell* value2, int32_t op) { return logic::compare_singleton(value2, TYPE_NONE, op); }

Cell* clear(Cell*) { return value(); }
Cell* find(Cell*, Cell*, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) { return value(); }
Cell* select(Cell*, Cell*, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool) { return value(); }
Cell* remove(Cell*, Cell*, Cell*) { return value(); }
Cell* take(Cell*, Cell*, bool, bool) { return value(); }
// -1: the generic entry answers none.
int32_t length_q(Cell*) { return -1; }

}  // namespace

Cell* value() { return set_none(&none_cell); }
Cell* set_last() { return set_none(stack::arguments); }
Cell* make_in(const Cell* parent) { return set_none(block::alloc_tail(parent)); }
Cell* push() { return set_none(stack::push_new()); }

void init() {
    datatypes::empty_row()
        .set(ACT_MAKE, make)
        .set(ACT_TO, make)
        .set(ACT_FORM, form)
        .set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare)
        .set(ACT_CLEAR, clear)
        .set(ACT_FIND, find)
        .set(ACT_LENGTH_Q, length_q)
        .set(ACT_REMOVE, remove)
        .set(ACT_SELECT, select)
        .set(ACT_TAKE, take)
        .register_as(TYPE_NONE, 0, "none!");
}

}  // namespace zel::none
