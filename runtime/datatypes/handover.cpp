// The hand-overs that still wait for their owners: each raises
// internal/not-done with the datatype it needs.
#include "runtime/datatypes/handover.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel::handover {

namespace {
[[noreturn]] void waiting_for(uint32_t type) {
    Cell t;
    fire(ERR_INTERNAL, "not-done", set_datatype(&t, type));
}

// The compound operand of a mixed operation (result cell or the next one).
uint32_t compound_type() {
    uint32_t t = cell::type(stack::arguments);
    return t == TYPE_PAIR || t == TYPE_POINT2D || t == TYPE_POINT3D || t == TYPE_TUPLE ? t
                                                                                       : cell::type(stack::arguments + 1);
}
}  // namespace

void money_math(int32_t) { waiting_for(TYPE_MONEY); }
int32_t money_to_integer(const Cell*) { waiting_for(TYPE_MONEY); }
double money_to_float(const Cell*) { waiting_for(TYPE_MONEY); }
void money_from_float(Cell*, double) { waiting_for(TYPE_MONEY); }
int32_t money_compare(Cell*, Cell*, int32_t) { waiting_for(TYPE_MONEY); }

int32_t date_to_epoch(const Cell*) { waiting_for(TYPE_DATE); }
void date_add() { waiting_for(TYPE_DATE); }

void compound_negate(Cell* value) { waiting_for(cell::type(value)); }
void compound_math(int32_t) { waiting_for(compound_type()); }

void vector_math(int32_t, Cell*, Cell*) { waiting_for(TYPE_VECTOR); }

void object_fire_on_change(Cell*, Cell*, Cell*, Cell*) { waiting_for(TYPE_OBJECT); }
void ownership_check(Cell*, const char*, Cell*, int32_t) { waiting_for(TYPE_OBJECT); }

}  // namespace zel::handover
