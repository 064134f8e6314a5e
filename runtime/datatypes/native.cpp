// native!, action! and op!: making, reflection, form, mold and compare.
#include "runtime/datatypes/native.h"
#include <string>
#include "runtime/actions.h"
#include "runtime/actions_stack.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::native {

namespace {

inline bool same(uint32_t a, uint32_t b) { return symbol::resolve(a) == symbol::resolve(b); }

int32_t literal(Cell* buffer, const char* text, int32_t part) {
    string::concatenate_literal(buffer, text);
    return part - static_cast<int32_t>(std::char_traits<char>::length(text));
}

bool has_entry(uint32_t type, int32_t slot) {
    if (type == TYPE_NATIVE) return slot >= 1 && slot <= natives::TABLE_SIZE && natives::entry(slot);
    // The generic compare's slot holds no stack entry: a call through it
    // would hand the comparison the wrong arguments.
    if (slot == ACT_COMPARE) return false;
    return slot >= 1 && slot <= ACTION_SLOTS && actions::stack_entry(static_cast<uint32_t>(slot));
}

}  // namespace

Cell* make_value(Cell* out, const Cell* spec, int32_t slot, uint32_t type) {
    Cell s = *spec;
    collector::Root keep(&s);
    Cell more;
    set_series(&more, TYPE_BLOCK, series::alloc_cells(2));
    collector::Root keep_more(&more);
    Node ctx = context::make_from_words(&s, true, false, context::KIND_FUNCTION);
    Cell* m = series::alloc_tail_cell(more.w2);
    *m = *context::context_cell(ctx);
    m->w3 = ctx;
    set_none(series::alloc_tail_cell(more.w2));
    cell::set(out, type, static_cast<uint32_t>(slot), s.w2, more.w2);
    *context::owner_cell(ctx) = *out;
    interpreter::build_arg_list(out);
    return out;
}

namespace {
// The refinements of a spec, /local and what follows it aside.
int refinement_count(const Cell* spec) {
    int n = 0;
    // From the series' head, whatever the spec value's position: the
    // argument list is built from there.
    SeriesBuffer* b = series::buffer_of(spec);
    for (const Cell* p = b->head_cell(); p < b->tail_cell(); ++p) {
        if (cell::type(p) != TYPE_REFINEMENT) continue;
        if (same(p->w2, words::_local_ref.w2)) break;
        ++n;
    }
    return n;
}
}  // namespace

Node spec_context(const Cell* value) { return series::buffer_of(value->w3)->head_cell()->w3; }

Cell* make(Cell*, Cell* spec, uint32_t type) {
    Cell arg = *spec;
    Cell dt;
    set_datatype(&dt, type);
    if (cell::type(&arg) != TYPE_BLOCK || block::rs_length_q(&arg) != 2) fire(ERR_SCRIPT, "bad-make-arg", &dt, &arg);
    Cell* h = block::rs_head(&arg);
    if (cell::type(h) != TYPE_BLOCK || cell::type(h + 1) != TYPE_INTEGER) fire(ERR_SCRIPT, "bad-make-arg", &dt, &arg);
    int32_t slot = cell::get_int(h + 1);
    // A slot without an entry would be called through nothing.
    if (!has_entry(type, slot)) fire(ERR_SCRIPT, "bad-make-arg", &dt, &arg);
    Cell s = h[0];
    // Nor may a spec name more refinements than a call can hand over.
    if (refinement_count(&s) > natives::MAX_REFINEMENTS) fire(ERR_SCRIPT, "bad-make-arg", &dt, &arg);
    Cell* out = stack::push_new();
    set_unset(out);
    make_value(out, &s, slot, type);
    // Nor may it name fewer arguments than the entry reads.
    if (!interpreter::note_native_spec(out)) fire(ERR_SCRIPT, "bad-make-arg", &dt, &arg);
    return out;
}

Cell* reflect(Cell* value, uint32_t field) {
    Cell* result = stack::arguments;
    if (same(field, words::spec)) {
        set_series(result, TYPE_BLOCK, value->w2);
        return result;
    }
    if (same(field, words::body)) {
        uint32_t src = cell::type(value) == TYPE_OP ? (value->header >> 16) & 0xFF : cell::type(value);
        if (src == TYPE_FUNCTION || src == TYPE_ROUTINE) {
            *result = series::buffer_of(value->w3)->head_cell()[0];
        } else {
            set_integer(result, static_cast<int32_t>(value->w1));
        }
        return result;
    }
    fire(ERR_INTERNAL, "not-done");
}

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    switch (cell::type(value)) {
        case TYPE_ACTION: return literal(buffer, "?action?", part);
        case TYPE_OP: return literal(buffer, "?op?", part);
        default: return literal(buffer, "?native?", part);
    }
}

int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    Cell spec;
    set_series(&spec, TYPE_BLOCK, value->w2);
    uint32_t t = cell::type(value);
    if (t == TYPE_OP) {
        part = literal(buffer, "make op! ", part);
        uint32_t src = (value->header >> 16) & 0xFF;
        if (src == TYPE_FUNCTION) return function::mold_with_prefix("func ", value, buffer, all, flat, arg, part, indent);
    } else {
        part = literal(buffer, t == TYPE_ACTION ? "make action! " : "make native! ", part);
    }
    part = literal(buffer, "[", part);
    part = actions::mold(&spec, buffer, false, all, flat, arg, part, indent);
    return literal(buffer, "]", part);
}

int32_t compare_identity(const Cell* value1, const Cell* value2, int32_t op, uint32_t a, uint32_t b) {
    if (cell::type(value1) != cell::type(value2)) return NOT_COMPARABLE;
    switch (op) {
        case COMP_EQUAL: case COMP_NOT_EQUAL: case COMP_STRICT_EQUAL: case COMP_SORT: case COMP_CASE_SORT:
        case COMP_SAME: case COMP_FIND: {
            int32_t x = static_cast<int32_t>(a), y = static_cast<int32_t>(b);
            return x == y ? 0 : (x < y ? -1 : 1);
        }
        default: return NOT_COMPARABLE;
    }
}

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    return compare_identity(value1, value2, op, value1->w1, value2->w1);
}

void init() {
    datatypes::register_row(TYPE_NATIVE, 0, "native!", nullptr,
                            {{ACT_MAKE, actions::entry(make)}, {ACT_REFLECT, actions::entry(reflect)},
                             {ACT_FORM, actions::entry(form)}, {ACT_MOLD, actions::entry(mold)},
                             {ACT_COMPARE, actions::entry(compare)}});
}

}  // namespace zel::native

namespace zel::action {
void init() {
    datatypes::register_row(TYPE_ACTION, TYPE_NATIVE, "action!", nullptr,
                            {{ACT_MAKE, actions::entry(native::make)}, {ACT_REFLECT, datatype::INHERIT},
                             {ACT_FORM, actions::entry(native::form)}, {ACT_MOLD, actions::entry(native::mold)},
                             {ACT_COMPARE, actions::entry(native::compare)}});
}
}  // namespace zel::action

namespace zel::op {

bool valid_spec(Node spec) {
    SeriesBuffer* b = series::buffer_of(spec);
    int args = 0;
    bool word_seen = false;
    for (Cell* p = b->head_cell(); p < b->tail_cell(); ++p) {
        switch (cell::type(p)) {
            case TYPE_WORD:
                ++args;
                word_seen = true;
                break;
            case TYPE_LIT_WORD:
            case TYPE_GET_WORD:
                if (!word_seen) return false;
                ++args;
                break;
            case TYPE_REFINEMENT: {
                uint32_t s = symbol::resolve(p->w2);
                if (s == symbol::resolve(words::_local_ref.w2) || s == symbol::resolve(words::_extern_ref.w2))
                    return args == 2;
                return false;
            }
            case TYPE_SET_WORD: return args == 2;
            default: break;
        }
    }
    return args == 2;
}

Cell* make(Cell*, Cell* spec, uint32_t) {
    Cell src = *spec;
    uint32_t t = cell::type(&src);
    if (t != TYPE_ACTION && t != TYPE_NATIVE && t != TYPE_FUNCTION && t != TYPE_ROUTINE) {
        Cell dt;
        set_datatype(&dt, t);
        fire(ERR_SCRIPT, "invalid-type", &dt);
    }
    if (!valid_spec(src.w2)) fire(ERR_SCRIPT, "bad-op-spec");
    if (t == TYPE_FUNCTION || t == TYPE_ROUTINE) series::buffer_of(src.w3)->head_cell()[3] = src;
    bool integers = (t == TYPE_NATIVE || t == TYPE_ACTION) && interpreter::takes_integers(&src);
    uint32_t fast = integers ? static_cast<uint32_t>(interpreter::fast_op_kind(t, src.w1)) : 0;
    Cell* result = stack::arguments;
    *result = src;
    result->header = TYPE_OP | t << 16 | (integers ? FLAG_INTEGER_OPERANDS : 0) | fast << FAST_SHIFT |
                     (src.header & native::FLAG_FOREIGN_SPEC);
    return result;
}

void init() {
    datatypes::register_row(TYPE_OP, TYPE_NATIVE, "op!", nullptr,
                            {{ACT_MAKE, actions::entry(make)}, {ACT_REFLECT, datatype::INHERIT},
                             {ACT_FORM, actions::entry(native::form)}, {ACT_MOLD, actions::entry(native::mold)},
                             {ACT_COMPARE, actions::entry(native::compare)}});
}

}  // namespace zel::op
