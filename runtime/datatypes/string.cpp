// string!: registration of its action row, and its make, to, compare and
// path actions. The other actions live in the string_*.cpp files beside it.
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel {

namespace string {

namespace {

using support::is_any_block;

// A new empty string of the requested type, pushed.
Cell* push_empty(uint32_t room, uint32_t type) {
    Cell* c = push_new(room);
    cell::set_type(c, type);
    return c;
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    switch (cell::type(spec)) {
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            int32_t room = number::to_integer(spec);
            if (room < 0) fire(ERR_SCRIPT, "out-of-range", spec);
            return push_empty(static_cast<uint32_t>(room), type);
        }
        default: break;
    }
    if (type == TYPE_BINARY) {
        Cell t;
        set_datatype(&t, TYPE_BINARY);
        if (cell::type(spec) == TYPE_MONEY) fire(ERR_SCRIPT, "bad-make-arg", &t, spec);
        ActionFn binary_to = datatype::action(TYPE_BINARY, ACT_TO);
        // binary! supplies its own conversion; until it does, its row still
        // holds string!'s, which would make text typed as bytes.
        if (binary_to == actions::entry(&string::to)) fire(ERR_INTERNAL, "not-done", &t);
        return actions::typed<actions::MakeFn>(binary_to)(proto, spec, type);
    }
    return to(proto, spec, type);
}

Cell* to(Cell* /*proto*/, Cell* spec, uint32_t type) {
    uint32_t from = cell::type(spec);
    Cell* result;
    if (from == TYPE_NONE) {
        Cell t;
        fire(ERR_SCRIPT, "bad-to-arg", set_datatype(&t, type), spec);
    } else if (is_any_block(from)) {
        result = push_empty(16, type);
        append(result, spec, -1, false, 1, true);
    } else if (is_family(from)) {
        result = push_empty(static_cast<uint32_t>(rs_length_q(spec)), type);
        concatenate(result, spec, -1, 0, true, 0);
    } else if (from == TYPE_REFINEMENT) {
        result = push_empty(16, type);
        Cell copy = *spec;
        if (type == TYPE_STRING) actions::form(&copy, result, nullptr, NO_LIMIT);
        else actions::mold(&copy, result, false, false, false, nullptr, NO_LIMIT, 0);
    } else if (from == TYPE_BINARY) {
        SeriesBuffer* buf = series::buffer_of(spec);
        uint32_t head = head_index(spec);
        result = load_utf8_bytes(buf->head_ptr() + head, (buf->tail - buf->head) - head);
    } else {
        result = push_empty(16, type);
        form_into(result, spec);
    }
    cell::set_type(result, type);
    return result;
}

int32_t compare(Cell* a, Cell* b, int32_t op) {
    if (cell::type(a) != cell::type(b) && !(is_family(cell::type(b)) && (op == COMP_EQUAL || op == COMP_NOT_EQUAL)))
        return NOT_COMPARABLE;
    return compare_text(a, b, op, false);
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* /*gparent*/, Cell* /*p_item*/,
                int32_t /*index*/, bool case_, bool /*get*/, bool /*tail*/, bool /*evt*/) {
    switch (cell::type(element)) {
        case TYPE_INTEGER: {
            int32_t n = cell::get_int(element);
            if (value) return actions::poke(parent, n, value, element);
            return actions::pick(parent, n, element);
        }
        case TYPE_WORD: fire(ERR_SCRIPT, "invalid-path", path, element);
        default: break;
    }
    Cell series = *parent;  // find moves the head of the cell it is given
    if (!value) return select(&series, element, nullptr, false, case_, false, false, nullptr, nullptr, false, false);
    Cell* found = find(&series, element, nullptr, false, case_, false, false, nullptr, nullptr, false, false,
                       true, false);
    if (cell::type(found) == TYPE_NONE) fire(ERR_SCRIPT, "bad-path-set", path, element);
    // Write where the matching read looks: just past the whole key.
    return actions::poke(found, 1, value, element);
}

}  // namespace string

namespace string {

void init() {
    datatypes::inherited_row()
        .set(ACT_MAKE, &make)
        .set(ACT_TO, &to)
        .set(ACT_FORM, &form)
        .set(ACT_MOLD, &mold)
        .set(ACT_EVAL_PATH, &eval_path)
        .set(ACT_COMPARE, &compare)
        .set(ACT_APPEND, &append)
        .set(ACT_INSERT, &append)
        .set(ACT_CHANGE, &change)
        .set(ACT_FIND, &find)
        .set(ACT_SELECT, &select)
        .set(ACT_SORT, &sort)
        .set(ACT_SWAP, &swap)
        .set(ACT_TAKE, &take)
        .set(ACT_TRIM, &trim)
        .register_as(TYPE_STRING, TYPE_SERIES, "string!");
}

}  // namespace string
}  // namespace zel
