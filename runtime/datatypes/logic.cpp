// logic! actions and the truth tests.
#include "runtime/datatypes/logic.h"
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/unset.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/random_hook.h"
#include "runtime/stack.h"

namespace zel::logic {

namespace {

Cell true_cell = {TYPE_LOGIC, 1, 0, 0};
Cell false_cell = {TYPE_LOGIC, 0, 0, 0};

inline bool falsy(const Cell* c) {
    uint32_t t = cell::type(c);
    return t == TYPE_NONE || (t == TYPE_LOGIC && c->w1 == 0);
}

Cell* constant(bool b) { return b ? true_value() : false_value(); }

// Only none and false convert to false.
Cell* to(Cell*, Cell* spec, uint32_t) {
    if (cell::type(spec) == TYPE_LOGIC) return spec;
    return constant(!falsy(spec));
}

// Numbers are false when zero (NaN is not zero); anything else as `to`.
Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    switch (cell::type(spec)) {
        case TYPE_INTEGER: return constant(cell::get_int(spec) != 0);
        case TYPE_FLOAT:
        case TYPE_PERCENT: return constant(!(cell::get_float(spec) == 0.0));
        default: return to(proto, spec, type);
    }
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random_hook::seed(get(value) ? 1 : 0);
        return unset::value();
    }
    return constant(random_hook::next(secure) > 0x3FFFFFFF);
}

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    return emit::literal(buffer, get(value) ? "true" : "false", part);
}

int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool, Cell*, int32_t part, int32_t) {
    if (all) return emit::literal(buffer, get(value) ? "#(true)" : "#(false)", part);
    return form(value, buffer, nullptr, part);
}

// Equal or not; true and false have no order.
int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    if (cell::type(value2) != TYPE_LOGIC || !equality_or_sort_op(op)) return NOT_COMPARABLE;
    return static_cast<int32_t>(value1->w1 != 0) - static_cast<int32_t>(value2->w1 != 0);
}

Cell* complement(Cell* value) {
    value->w1 = get(value) ? 0 : 1;
    return value;
}

// and~, or~ and xor~ on the two arguments; the result replaces the first.
void bitwise(int32_t op) {
    Cell* a = stack::arguments;
    Cell* b = a + 1;
    if (cell::type(b) != TYPE_LOGIC) {
        Cell fn_word, type_cell, arg_word;
        errors::caller_word(&fn_word);
        set_datatype(&type_cell, cell::type(b));
        errors::caller_arg_word(2, &arg_word);
        fire(ERR_SCRIPT, "expect-arg", &fn_word, &type_cell, &arg_word);
    }
    bool x = get(a), y = get(b);
    bool r = op == OP_AND ? (x && y) : op == OP_OR ? (x || y) : (x != y);
    set_logic(a, r);
}

void and_t() { bitwise(OP_AND); }
void or_t() { bitwise(OP_OR); }
void xor_t() { bitwise(OP_XOR); }

}  // namespace

Cell* true_value() { return set_logic(&true_cell, true); }
Cell* false_value() { return set_logic(&false_cell, false); }

Cell* box(bool b) { return set_logic(stack::arguments, b); }
Cell* push(bool b) { return set_logic(stack::push_new(), b); }
Cell* make_in(const Cell* parent, bool b) { return set_logic(block::alloc_tail(parent), b); }

bool value_true(const Cell* value, bool check, const Cell* word) {
    if (check && cell::type(value) == TYPE_UNSET) fire(ERR_SCRIPT, "no-value", word);
    return !falsy(value);
}

bool true_q() {
    if (cell::type(stack::arguments) == TYPE_UNSET) fire(ERR_SCRIPT, "no-return");
    return !falsy(stack::arguments);
}

bool false_q() { return falsy(stack::arguments); }

bool top_false_q() {
    const Cell* last = stack::top > stack::arguments ? stack::top - 1 : stack::arguments;
    return falsy(last);
}

void init() {
    datatypes::empty_row()
        .set(ACT_MAKE, make)
        .set(ACT_RANDOM, random)
        .set(ACT_TO, to)
        .set(ACT_FORM, form)
        .set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare)
        .set(ACT_AND_T, and_t)
        .set(ACT_COMPLEMENT, complement)
        .set(ACT_OR_T, or_t)
        .set(ACT_XOR_T, xor_t)
        .register_as(TYPE_LOGIC, 0, "logic!");
}

}  // namespace zel::logic
