// datatype! values: a type id in word 1, shown by the registered name.
#include "runtime/actions.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"

namespace zel::datatype {

namespace {

// The name without its final "!".
int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    const char* name = name_of(value->w1);
    if (!name) return part;
    return emit::bytes(buffer, name, entry(value->w1).name_len, part);
}

// The whole name; with /all enclosed in "#(" and ")".
int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool, Cell*, int32_t part, int32_t) {
    const char* name = name_of(value->w1);
    if (!name) return part;
    if (all) part = emit::literal(buffer, "#(", part);
    part = emit::literal(buffer, name, part);
    if (all) part = emit::literal(buffer, ")", part);
    return part;
}

// Only equality is defined: the same type id or not.
int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL:
        case COMP_STRICT_EQUAL:
        case COMP_SAME:
        case COMP_FIND:
            return cell::type(value2) == TYPE_DATATYPE && value2->w1 == value1->w1 ? 0 : 1;
        default:
            return NOT_COMPARABLE;
    }
}

}  // namespace

void init() {
    datatypes::empty_row()
        .set(ACT_FORM, form)
        .set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare)
        .register_as(TYPE_DATATYPE, 0, "datatype!");
}

}  // namespace zel::datatype
