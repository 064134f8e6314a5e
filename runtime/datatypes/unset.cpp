// unset! actions: make and to give unset whatever the spec; form is empty.
#include "runtime/datatypes/unset.h"
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/row.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::unset {

namespace {

Cell unset_cell = {TYPE_UNSET, 0, 0, 0};

Cell* make(Cell*, Cell*, uint32_t) { return set_unset(&unset_cell); }

int32_t form(Cell*, Cell*, Cell*, int32_t part) { return part; }

int32_t mold(Cell*, Cell* buffer, bool, bool all, bool, Cell*, int32_t part, int32_t) {
    return emit::literal(buffer, all ? "#(unset)" : "unset", part);
}

// unset equals unset; it has no order.
int32_t compare(Cell*, Cell* value2, int32_t op) { return logic::compare_singleton(value2, TYPE_UNSET, op); }

}  // namespace

Cell* value() { return set_unset(&unset_cell); }
Cell* set_last() { return set_unset(stack::arguments); }
Cell* make_in(const Cell* parent) { return set_unset(block::alloc_tail(parent)); }
Cell* push() { return set_unset(stack::push_new()); }

void init() {
    datatypes::empty_row()
        .set(ACT_MAKE, make)
        .set(ACT_TO, make)
        .set(ACT_FORM, form)
        .set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare)
        .register_as(TYPE_UNSET, 0, "unset!");
}

}  // namespace zel::unset
