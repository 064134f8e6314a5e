// percent!: a float! that holds a fraction and prints as a number of
// percents (0.5 is 50%). Only form and mold are its own.
#include "runtime/datatypes/percent.h"
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/row.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::percent {

Cell* make_in(Cell* c, double fraction) { return float_::make_as(cell::set(c, TYPE_PERCENT), TYPE_PERCENT, fraction); }
Cell* push(double fraction) { return make_in(stack::push_new(), fraction); }
Cell* make_at(const Cell* block, uint32_t high, uint32_t low) {
    return cell::set(block::alloc_tail(block), TYPE_PERCENT, 0, low, high);
}

namespace {

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    return emit::literal(buffer, float_::form_buffer(float_::get(value) * 100.0, float_::FORM_PERCENT), part);
}

// The molded text is the formed one.
int32_t mold(Cell* value, Cell* buffer, bool, bool, bool, Cell* arg, int32_t part, int32_t) {
    return form(value, buffer, arg, part);
}

}  // namespace

void init() {
    // Every other slot comes from float!, whose slots beyond these are empty.
    datatypes::inherited_row()
        .set(ACT_FORM, form).set(ACT_MOLD, mold)
        .register_as(TYPE_PERCENT, TYPE_FLOAT, "percent!");
}

}  // namespace zel::percent
