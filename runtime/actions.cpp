// Action lookup, generic comparison and the typed entries.
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/datatypes/series.h"
#include "runtime/stack.h"

namespace zel::actions {

namespace {

[[noreturn]] void raise_no_action(uint32_t type) {
    Cell fn_word, type_cell, arg_word;
    errors::caller_word(&fn_word);
    set_datatype(&type_cell, type);
    errors::caller_arg_word(1, &arg_word);
    fire(ERR_SCRIPT, "expect-arg", &fn_word, &type_cell, &arg_word);
}

// A port whose actor is a handle! takes append and later slots from the
// handle's table. Ports arrive with their datatype; until then no port
// value exists and the lookup goes straight to the table.
using PortActorLookup = ActionFn (*)(const Cell* port, int slot, bool* handled);
PortActorLookup port_actor_lookup = nullptr;

}  // namespace

ActionFn get_action(uint32_t type, const Cell* value, int slot) {
    if (type == TYPE_PORT && slot >= ACT_APPEND && port_actor_lookup) {
        bool handled = false;
        ActionFn fn = port_actor_lookup(value, slot, &handled);
        if (handled) {
            if (!fn) fire(ERR_ACCESS, "no-port-action");
            return fn;
        }
    }
    ActionFn fn = type < TYPE_TABLE_ROWS ? datatype::action(type, slot) : nullptr;
    if (!fn) raise_no_action(type);
    return fn;
}

ActionFn get_action_first_arg(int slot) { return get_action_by_value(stack::arguments, slot); }

ActionFn get_action_for_path(const Cell* parent, int slot, const Cell* path, const Cell* element, int32_t index) {
    uint32_t type = cell::type(parent);
    ActionFn fn = datatype::action(type, slot);
    if (fn) return fn;
    Cell type_cell;
    set_datatype(&type_cell, type);
    if (!path) fire(ERR_SCRIPT, "bad-path-type2", element, &type_cell);
    // The report also shows the part of the path that gave the value: a
    // copy of it that keeps its first index + 1 cells.
    Cell from = *path;
    from.w1 = 0;
    Cell part;
    set_integer(&part, index + 1);
    Cell cut;
    series::copy(&from, &cut, &part, false, nullptr);
    cut.w1 = path->w1;
    collector::Root keep_cut(&cut);
    fire(ERR_SCRIPT, "bad-path-type", path, &type_cell, &cut);
}

int32_t index_arg() {
    const Cell* idx = stack::arguments + 1;
    switch (cell::type(idx)) {
        case TYPE_INTEGER:
        case TYPE_CHAR: return static_cast<int32_t>(idx->w2);
        case TYPE_LOGIC: return idx->w1 ? 1 : 2;
        default: return 0;
    }
}

int32_t compare_int(Cell* value1, Cell* value2, int32_t op) {
    switch (cell::type(value1)) {
        case TYPE_LOGIC:
            return static_cast<int32_t>(value1->w1) - static_cast<int32_t>(value2->w1);
        case TYPE_NATIVE:
        case TYPE_ACTION:
        case TYPE_OP:
            return value1->w1 == value2->w1 ? 0 : (value1->w1 < value2->w1 ? -1 : 1);
        case TYPE_FUNCTION:
        case TYPE_ROUTINE:
            return value1->w3 == value2->w3 ? 0 : (value1->w3 < value2->w3 ? -1 : 1);
        default:
            return typed<CompareFn>(get_action_by_value(value1, ACT_COMPARE))(value1, value2, op);
    }
}

bool compare(Cell* value1, Cell* value2, int32_t op) {
    int32_t r = typed<CompareFn>(get_action_by_value(value1, ACT_COMPARE))(value1, value2, op);
    if (r == NOT_COMPARABLE && !(op <= COMP_STRICT_EQUAL || op >= COMP_SAME))
        fire(ERR_SCRIPT, "invalid-compare", value1, value2);
    switch (op) {
        case COMP_EQUAL:
        case COMP_STRICT_EQUAL:
        case COMP_SAME:
        case COMP_EQUAL_WORD:
        case COMP_NOT_EQUAL_WORD:
        case COMP_FIND: return r == 0;
        case COMP_NOT_EQUAL: return r != 0;
        case COMP_LESSER: return r < 0;
        case COMP_LESSER_EQUAL: return r <= 0;
        case COMP_GREATER: return r > 0;
        case COMP_GREATER_EQUAL: return r >= 0;
        default: sys::runtime_error(101, ZEL_HERE());
    }
}

// Typed entries -------------------------------------------------------------

static uint32_t target_type(const Cell* proto) {
    return cell::type(proto) == TYPE_DATATYPE ? proto->w1 : cell::type(proto);
}

Cell* make(Cell* proto, Cell* spec) {
    uint32_t t = target_type(proto);
    return typed<MakeFn>(get_action(t, proto, ACT_MAKE))(proto, spec, t);
}
Cell* to(Cell* proto, Cell* spec) {
    uint32_t t = target_type(proto);
    return typed<MakeFn>(get_action(t, proto, ACT_TO))(proto, spec, t);
}
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part) {
    return typed<FormFn>(get_action_by_value(value, ACT_FORM))(value, buffer, arg, part);
}
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    return typed<MoldFn>(get_action_by_value(value, ACT_MOLD))(value, buffer, only, all, flat, arg, part, indent);
}
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t index,
                bool case_, bool get, bool tail, bool evt) {
    ActionFn fn = get_action_for_path(parent, ACT_EVAL_PATH, path, element, index);
    return typed<EvalPathFn>(fn)(parent, element, value, path, gparent, p_item, index, case_, get, tail, evt);
}
Cell* random(Cell* value, bool seed, bool secure, bool only) {
    return typed<RandomFn>(get_action_by_value(value, ACT_RANDOM))(value, seed, secure, only);
}
Cell* reflect(Cell* value, uint32_t field) {
    return typed<ReflectFn>(get_action_by_value(value, ACT_REFLECT))(value, field);
}
Cell* negate(Cell* value) { return typed<UnaryFn>(get_action_by_value(value, ACT_NEGATE))(value); }
Cell* complement(Cell* value) { return typed<UnaryFn>(get_action_by_value(value, ACT_COMPLEMENT))(value); }
Cell* clear(Cell* value) { return typed<UnaryFn>(get_action_by_value(value, ACT_CLEAR))(value); }
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    return typed<RoundFn>(get_action_by_value(value, ACT_ROUND))(value, scale, even, down, half_down, floor,
                                                                   ceiling, half_ceiling);
}
bool even_q(Cell* value) { return typed<PredicateFn>(get_action_by_value(value, ACT_EVEN_Q))(value); }
bool odd_q(Cell* value) { return typed<PredicateFn>(get_action_by_value(value, ACT_ODD_Q))(value); }
// append and insert run in the tightest loops: the filled slot of a type
// other than port! is called straight away; the general lookup (which may
// raise) stays out of line, so that neither call needs saved registers.
[[gnu::noinline]] static Cell* append_looked_up(Cell* series, Cell* value, int32_t part, bool only, int32_t dup,
                                                bool at_tail) {
    ActionFn fn = get_action_by_value(series, at_tail ? ACT_APPEND : ACT_INSERT);
    return typed<AppendFn>(fn)(series, value, part, only, dup, at_tail);
}
static inline Cell* append_entry(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool at_tail) {
    uint32_t t = cell::type(series);
    int slot = at_tail ? ACT_APPEND : ACT_INSERT;
    ActionFn fn = t != TYPE_PORT && t < TYPE_TABLE_ROWS ? datatype::action(t, slot) : nullptr;
    if (fn) return typed<AppendFn>(fn)(series, value, part, only, dup, at_tail);
    return append_looked_up(series, value, part, only, dup, at_tail);
}
Cell* append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    return append_entry(series, value, part, only, dup, true);
}
Cell* insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    return append_entry(series, value, part, only, dup, false);
}
Cell* change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    return typed<ChangeFn>(get_action_by_value(series, ACT_CHANGE))(series, value, part, only, dup);
}
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types) {
    return typed<CopyFn>(get_action_by_value(value, ACT_COPY))(value, result, part, deep, types);
}
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match) {
    return typed<FindFn>(get_action_by_value(series, ACT_FIND))(series, value, part, only, case_, same, any, with,
                                                                 skip, last, reverse, tail, match);
}
int32_t length_q(Cell* value) { return typed<LengthFn>(get_action_by_value(value, ACT_LENGTH_Q))(value); }
Cell* move(Cell* origin, Cell* target, Cell* part) {
    return typed<MoveFn>(get_action_by_value(origin, ACT_MOVE))(origin, target, part);
}
Cell* pick(Cell* series, int32_t index, Cell* index_cell) {
    return typed<PickFn>(get_action_by_value(series, ACT_PICK))(series, index, index_cell);
}
Cell* poke(Cell* series, int32_t index, Cell* value, Cell* index_cell) {
    return typed<PokeFn>(get_action_by_value(series, ACT_POKE))(series, index, value, index_cell);
}
Cell* put(Cell* series, Cell* key, Cell* value, bool case_) {
    return typed<PutFn>(get_action_by_value(series, ACT_PUT))(series, key, value, case_);
}
Cell* remove(Cell* series, Cell* part, Cell* key) {
    return typed<RemoveFn>(get_action_by_value(series, ACT_REMOVE))(series, part, key);
}
Cell* reverse(Cell* series, Cell* part, Cell* skip) {
    return typed<ReverseFn>(get_action_by_value(series, ACT_REVERSE))(series, part, skip);
}
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse) {
    return typed<SelectFn>(get_action_by_value(series, ACT_SELECT))(series, value, part, only, case_, same, any,
                                                                     with, skip, last, reverse);
}
Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable) {
    return typed<SortFn>(get_action_by_value(series, ACT_SORT))(series, case_, skip, comparator, part, all,
                                                                 reverse, stable);
}
Cell* swap(Cell* series1, Cell* series2) {
    return typed<SwapFn>(get_action_by_value(series1, ACT_SWAP))(series1, series2);
}
Cell* take(Cell* series, Cell* part, bool deep, bool last) {
    return typed<TakeFn>(get_action_by_value(series, ACT_TAKE))(series, part, deep, last);
}
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
    return typed<TrimFn>(get_action_by_value(series, ACT_TRIM))(series, head, tail, auto_, lines, all, with);
}
Cell* modify(Cell* target, Cell* field, Cell* value, bool case_) {
    return typed<ModifyFn>(get_action_by_value(target, ACT_MODIFY))(target, field, value, case_);
}

const char* slot_name(int slot) {
    static const char* const names[] = {
        nullptr, "make", "random", "reflect", "to", "form", "mold", "eval-path", "set-path", "compare",
        "absolute", "add", "divide", "multiply", "negate", "power", "remainder", "round", "subtract",
        "even?", "odd?", "and~", "complement", "or~", "xor~", "append", "at", "back", "change", "clear",
        "copy", "find", "head", "head?", "index?", "insert", "length?", "move", "next", "pick", "poke",
        "put", "remove", "reverse", "select", "sort", "skip", "swap", "tail", "tail?", "take", "trim",
        "create", "close", "delete", "modify", "open", "open?", "query", "read", "rename", "update",
        "write",
    };
    return slot >= 1 && slot <= ACTION_SLOTS ? names[slot] : nullptr;
}

}  // namespace zel::actions
