// Calls: fetching a callable's arguments by its spec, calling natives and
// actions, and running function bodies.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include "runtime/actions.h"
#include "runtime/actions_stack.h"
#include "runtime/cells.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::interpreter {

namespace {

// Whether a native on the slot of if, unless or either has their usual
// spec: a condition and one branch (two for either) taking block!, no more
// leading arguments; `args` are its leading argument descriptors.
bool control_shape(const Cell* fn, const Cell* args, uint32_t count) {
    if (cell::type(fn) != TYPE_NATIVE || fn->w1 < natives::NATIVE_IF || fn->w1 > natives::NATIVE_EITHER) return false;
    uint32_t branches = fn->w1 == natives::NATIVE_EITHER ? 2 : 1;
    if (count != branches + 1) return false;
    for (uint32_t k = 1; k <= branches; ++k)
        if (!typeset::contains(args + k, TYPE_BLOCK)) return false;
    return true;
}

// Whether an argument's descriptor accepts every datatype of `types`.
bool takes_all(const Cell* d, uint64_t types) {
    for (uint32_t t = 0; t < 64; ++t)
        if ((types >> t & 1) && !typeset::contains(d, t)) return false;
    return true;
}

void summarise(const Cell* fn, Node list) {
    SeriesBuffer* lb = series::buffer_of(list);
    Cell* d = lb->head_cell();
    uint32_t n = lb->length();
    uint32_t i = 1;
    while (i < n && cell::type(d + i) == TYPE_TYPESET && kind_of(d + i) == ARG_RETURN) ++i;
    uint32_t first = i;
    bool simple = first < 256;
    for (; i < n && cell::type(d + i) == TYPE_TYPESET && kind_of(d + i) != ARG_RETURN; ++i)
        if (kind_of(d + i) != ARG_EVAL) simple = false;
    uint32_t count = i - first;
    if (count > 255) simple = false;
    // A return type after the arguments is no slot; an argument after it
    // would not be one of the leading run.
    for (uint32_t k = i; k < n && cell::type(d + k) == TYPE_TYPESET; ++k)
        if (kind_of(d + k) != ARG_RETURN) simple = false;
    uint32_t refinements = 0;
    if (is_native_like(cell::type(fn)) && n > 1 && cell::type(d + n - 1) == TYPE_INTEGER)
        refinements = static_cast<uint32_t>(cell::get_int(d + n - 1));
    if (refinements > MAX_REFS) simple = false;
    uint32_t control = control_shape(fn, d + first, count) ? PLAN_CONTROL : 0;
    if (control && takes_all(d + first, VALUE_TYPES)) control |= PLAN_ANY_CONDITION;
    uint32_t any = count && takes_all(d + first, ARG_TYPES) ? PLAN_ANY_FIRST : 0;
    uint32_t rest = 0;
    if (!is_native_like(cell::type(fn))) {
        // The slots push_rest pushes, as it pushes them: most functions
        // have none and their calls skip it; a few are pushed by pattern.
        uint64_t slots = 0, flags = 0;
        auto add = [&](bool flag) {
            if (slots < PLAN_REST_MAX && flag) flags |= uint64_t{1} << slots;
            ++slots;
        };
        for (uint32_t k = i; k < n; ++k) {
            uint32_t t = cell::type(d + k);
            if (t == TYPE_TYPESET && kind_of(d + k) != ARG_RETURN) {
                add(false);
            } else if (t == TYPE_REFINEMENT) {
                add(true);
            } else if (t == TYPE_INTEGER) {
                add(true);
                for (int32_t m = 1; m < cell::get_int(d + k) && slots <= PLAN_REST_MAX; ++m) add(false);
            }
        }
        if (slots) rest = PLAN_REST;
        if (slots && slots <= PLAN_REST_MAX) {
            rest |= static_cast<uint32_t>(slots) << PLAN_REST_SHIFT;
            refinements = static_cast<uint32_t>(flags);
        }
    }
    cell::set(d, TYPE_NONE,
              (first & 0xFF) | (count & 0xFF) << 8 | (simple ? PLAN_SIMPLE : 0) | control | any | rest, i,
              refinements);
}

// Whether native or action `fn`, whose list's summary has flags `plan`,
// takes FLAG_PLAIN_NATIVE (see there).
bool plain_native(const Cell* fn, uint32_t plan) {
    uint32_t t = cell::type(fn);
    if (!is_native_like(t) || (fn->header & native::FLAG_FOREIGN_SPEC)) return false;
    if (t == TYPE_NATIVE && fn->w1 >= natives::NATIVE_IF && fn->w1 <= natives::NATIVE_EITHER) return false;
    uint32_t slots = t == TYPE_NATIVE ? natives::TABLE_SIZE : ACTION_SLOTS;
    uint32_t count = (plan >> 8) & 0xFF;
    return fn->w1 - 1 < slots && (plan & PLAN_SIMPLE) && (plan & 0xFF) == 1 && count >= 1 &&
           count <= PLAIN_NATIVE_ARGS;
}

}  // namespace

Node build_arg_list(const Cell* fn) {
    Node list = function::build_arg_list(fn);
    summarise(fn, list);
    Cell* more = series::buffer_of(fn->w3)->head_cell();
    set_series(more + 1, TYPE_BLOCK, list);
    uint32_t plan = series::buffer_of(list)->head_cell()->w1;
    if (cell::type(fn) == TYPE_FUNCTION && !(fn->header & (function::FLAG_NO_TRACE | function::FLAG_TRACE)) &&
        (plan & PLAN_SIMPLE) && cell::type(more) == TYPE_BLOCK) {
        // The cell its maker is making.
        const_cast<Cell*>(fn)->header |= FLAG_PLAIN_CALL | (plan & PLAN_REST ? FLAG_PLAIN_REST : 0);
    } else if (plain_native(fn, plan)) {
        const_cast<Cell*>(fn)->header |= FLAG_PLAIN_NATIVE;
    }
    return list;
}

bool takes_integers(const Cell* fn) {
    const Cell* descs = series::buffer_of(arg_list(fn))->head_cell();
    const Cell* first = descs + plan_first(descs);
    return plan_count(descs) >= 2 && typeset::contains(first, TYPE_INTEGER) &&
           typeset::contains(first + 1, TYPE_INTEGER);
}

void expect_arg(const Cell* name, const Cell* fn, const Cell* value, int argn) {
    Cell type_cell, word;
    set_datatype(&type_cell, cell::type(value));
    function::arg_word(fn, argn, &word);
    fire(ERR_SCRIPT, "expect-arg", name, &type_cell, &word);
}

int spec_position(const Cell* descs, int32_t k) {
    int n = 0;
    for (int32_t i = 1; i <= k; ++i) {
        uint32_t t = cell::type(descs + i);
        if (t == TYPE_REFINEMENT || (t == TYPE_TYPESET && kind_of(descs + i) != ARG_RETURN)) ++n;
    }
    return n;
}

// The descriptor of a refinement is found by its symbol, resolved. The
// search starts after the leading arguments the summary counts: no
// refinement stands among them. A refinement is mostly written as in the
// spec, so the same id matches at once; only differing ids are resolved.
int32_t find_refinement(const Cell* descs, int32_t count, uint32_t sym) {
    uint32_t r = symbol::resolve(sym);
    for (int32_t i = static_cast<int32_t>(descs->w2); i < count; ++i) {
        if (cell::type(descs + i) != TYPE_REFINEMENT) continue;
        uint32_t s = descs[i].w2;
        if (s == sym || symbol::resolve(s) == r) return i;
    }
    return -1;
}

namespace {

struct Fetch {
    const Cell* fn;
    const Cell* name;
    const Cell* code;
    Cell* end;
    bool infix;
    int argn;   // spec position of the argument being fetched (for reports)
    bool one;   // each argument is exactly one value (apply/safer)
};

// Pushes one argument of the given kind from the cursor.
Cell* fetch_arg(Fetch& f, Cell* cursor, uint32_t kind) {
    if (cursor >= f.end) {
        Cell word;
        function::arg_word(f.fn, f.argn, &word);
        fire(ERR_SCRIPT, "no-arg", f.name, &word);
    }
    if (kind == ARG_EVAL) {
        // A literal or a plain word's value is pushed as is; operators
        // that follow it are applied to it there.
        if (!tracing && push_simple(cursor)) {
            Cell* next = cursor + 1;
            const Cell* op = f.infix || f.one ? nullptr : infix_follows(next, f.end);
            return op ? infix_from(next, f.end, f.code, stack::top - 1, true, op) : next;
        }
        return eval_expression(cursor, f.one ? cursor + 1 : f.end, f.code, f.infix, true, false);
    }
    if (tracing) trace::event(trace::EV_FETCH, f.code, cursor, nullptr, cursor);
    Cell v = *cursor;
    if (kind == ARG_QUOTE) {
        switch (cell::type(&v)) {
            case TYPE_PAREN:
            case TYPE_GET_PATH:
                // Evaluated where it stands; the tracer hears of the value
                // pushed, as for any other quoted argument.
                if (cell::type(&v) == TYPE_PAREN) eval_block(&v, false);
                else eval_path(&v, cursor + 1, f.end, f.code, false, true, true, false);
                if (pending) return cursor;
                if (tracing) trace::event(trace::EV_PUSH, f.code, cursor, nullptr, stack::top_cell());
                return cursor + 1;
            case TYPE_GET_WORD: v = *context::get(&v); break;
            default: break;
        }
    }
    cell::clear_new_line(&v);
    stack::push(&v);
    if (tracing) trace::event(trace::EV_PUSH, f.code, cursor, nullptr, &v);
    return cursor + 1;
}

inline void check(Fetch& f, const Cell* desc, const Cell* value) {
    if (!typeset::contains(desc, cell::type(value))) expect_arg(f.name, f.fn, value, f.argn);
}

}  // namespace

Cell* fetch_arg_of(const Cell* fn, const Cell* name, const Cell* code, Cell* cursor, Cell* end, ArgAt at) {
    Fetch f{fn, name, code, end, false, at.argn, false};
    return fetch_arg(f, cursor, at.kind);
}

void check_operands(const Cell* fn, const Cell* name, int count) {
    Node list = arg_list(fn);
    const Cell* d = series::buffer_of(list)->head_cell();
    int argn = 0;
    for (const Cell* v = stack::arguments; v < stack::arguments + count; ++d) {
        if (cell::type(d) != TYPE_TYPESET || kind_of(d) == ARG_RETURN) continue;
        ++argn;
        if (!typeset::contains(d, cell::type(v))) expect_arg(name, fn, v, argn);
        ++v;
    }
}

// Calls a routine's registered body on the frame's arguments.
void exec_routine(const Cell* r) {
    Cell* more = series::buffer_of(r->w3)->head_cell();
    routine::Body body = routine::body_at(static_cast<uint32_t>(cell::get_int(more + 2)));
    if (!body) fire(ERR_INTERNAL, "routines");
    Cell* base = stack::arguments;
    int count = static_cast<int>(stack::top - base);
    body(base, count);
    stack::top = base + 1;
}

// Fetches the arguments of a callable; for natives and actions also calls it.
// PLAIN is the common call, with no path and no apply mode, compiled apart.
template <bool PLAIN>
Cell* eval_arguments(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* path,
                     const Cell* name_pos, const Cell* path_tail, const Cell* name, bool infix, int mode) {
    if constexpr (PLAIN) {
        path = nullptr;
        mode = 0;
    }
    bool native = is_native_like(cell::type(fn));
    Node list = arg_list(fn);
    SeriesBuffer* lb = series::buffer_of(list);
    // Descriptors are read by address below; the pin also keeps the list
    // alive should the function be redefined while its arguments are fetched.
    Pin pin_list(lb);
    const Cell* descs = lb->head_cell();
    int32_t count = static_cast<int32_t>((lb->tail - lb->head) / sizeof(Cell));
    int32_t refs[MAX_REFS];
    int32_t nrefs = 0;
    // Every refinement starts absent: all the slots, since a native made with
    // a spec of its own still reads those of its entry.
    if (native) std::fill(std::begin(refs), std::end(refs), -1);
    Cell* base = stack::arguments;
    if (infix) ++stack::top;  // the left operand already sits in the frame's first cell

    Fetch f{fn, name, code, end, infix, 0, (mode & MODE_SAFER) != 0};
    bool active = true;
    bool first = true;
    int32_t locals = 0;
    int32_t argc = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Cell* d = descs + i;
        switch (cell::type(d)) {
            case TYPE_TYPESET: {
                uint32_t kind = kind_of(d);
                if (kind == ARG_RETURN) break;
                ++f.argn;
                if (!active) {
                    if (!native) set_none(stack::push_new());
                    if ((mode & MODE_ALL) && !path && cursor < end) {
                        // apply/all gives every argument: this one is
                        // dropped (with /safer, skipped unevaluated).
                        if (mode & MODE_SAFER) {
                            ++cursor;
                            break;
                        }
                        Cell* before = stack::top;
                        cursor = fetch_arg(f, cursor, kind);
                        if (pending) return cursor;
                        end = f.end = end_now(code, end);
                        stack::top = before;
                    }
                    break;
                }
                if (mode > 0 && cursor >= end) {
                    set_none(stack::push_new());
                    // A native trusts its arguments' types: a none it does
                    // not take is refused like one given.
                    if (native) check(f, d, stack::top_cell());
                    ++argc;
                    break;
                }
                if (cursor >= end && kind == ARG_QUOTE && typeset::contains(d, TYPE_UNSET)) {
                    set_unset(stack::push_new());
                } else if (infix && first) {
                    // the left operand, in place
                } else {
                    if (kind == ARG_EVAL && cursor < end && !tracing && push_simple(cursor)) {
                        // A plain operand, inline; the operators that follow apply to it.
                        ++cursor;
                        const Cell* op = infix || f.one ? nullptr : infix_follows(cursor, end);
                        if (op) {
                            cursor = apply_infix(cursor, end, code, stack::top - 1, true, op);
                            if (pending) return cursor;
                            end = f.end = end_now(code, end);
                        }
                    } else {
                        cursor = fetch_arg(f, cursor, kind);
                        if (pending) return cursor;
                        end = f.end = end_now(code, end);
                    }
                    check(f, d, stack::top_cell());
                    first = false;
                    ++argc;
                    break;
                }
                check(f, d, stack::top_cell());
                first = false;
                ++argc;
                break;
            }
            case TYPE_REFINEMENT:
                // A plain native call has all it needs: its refinements
                // stay -1 and their arguments are not fetched.
                if (PLAIN && native) goto fetched;
                ++f.argn;
                if (mode > 0 && !path && cursor < end && !(mode & MODE_REFINEMENTS)) {
                    // apply/all: the refinement's state is the next value, a logic!.
                    cursor = fetch_arg(f, cursor, ARG_EVAL);
                    if (pending) return cursor;
                    end = f.end = end_now(code, end);
                    Cell* state = stack::top_cell();
                    if (cell::type(state) != TYPE_LOGIC) expect_arg(name, fn, state, f.argn);
                    active = logic::get(state);
                    if (native) {
                        if (active && nrefs < MAX_REFS) refs[nrefs] = argc;
                        --stack::top;
                    }
                } else {
                    if (!native) set_logic(stack::push_new(), false);
                    active = false;
                }
                if (native) ++nrefs;
                break;
            case TYPE_INTEGER:
                if (!native) locals = cell::get_int(d);
                break;
            default: break;
        }
    }
fetched:

    // Refinements given in a path, in the order given; for apply without
    // /all, refinement! values in the block, each followed by its state.
    bool block_refs = !path && (mode & MODE_REFINEMENTS);
    if (path || block_refs) {
        const Cell* item = path ? name_pos + 1 : nullptr;
        bool has_refinements = false;
        for (int32_t k = 0; k < count; ++k)
            if (cell::type(descs + k) == TYPE_REFINEMENT) has_refinements = true;
        for (;;) {
            Cell el;
            if (path) {
                if (item >= path_tail) break;
                el = *item++;
            } else {
                if (cursor >= end) break;
                el = *cursor;
            }
            uint32_t et = cell::type(&el);
            uint32_t expected = path ? TYPE_WORD : TYPE_REFINEMENT;
            if (et != expected && et != TYPE_GET_WORD) {
                if (mode && !has_refinements) break;  // the rest of the block is not for this function
                fire(ERR_SCRIPT, "bad-refine", &el);
            }
            bool state;
            if (path) {
                state = et == TYPE_WORD || logic::value_true(context::get(&el), false, nullptr);
            } else if (et == TYPE_GET_WORD) {
                ++cursor;
                state = logic::value_true(context::get(&el), false, nullptr);
            } else if (++cursor >= end) {
                state = false;
            } else {
                Cell* before = stack::top;
                cursor = eval_expression(cursor, end, code, false, true, false);
                if (pending) return cursor;
                end = f.end = end_now(code, end);
                state = logic::value_true(stack::top_cell(), false, nullptr);
                stack::top = before;
            }
            int32_t at = find_refinement(descs, count, el.w2);
            if (at < 0) fire(ERR_SCRIPT, "no-refine", name, &el);
            uint32_t slot_or_num = descs[at].w3;
            if (path) bind_refinement(item - 1, fn, slot_or_num);
            record_refinement(native, slot_or_num, state, refs, argc, base, path);
            // The refinement's own arguments follow its descriptor.
            int32_t j = 0;
            for (int32_t k = at + 1; k < count; ++k) {
                const Cell* d = descs + k;
                if (cell::type(d) != TYPE_TYPESET || kind_of(d) == ARG_RETURN) break;
                Cell desc = *d;
                f.argn = spec_position(descs, k);
                Cell* top_before = stack::top;
                if (mode > 0 && cursor >= end) {
                    set_none(stack::push_new());  // a missing argument is none under apply
                    if (state) {
                        if (native) {
                            check(f, &desc, stack::top_cell());
                            ++argc;
                        } else {
                            base[slot_or_num + 1 + j] = *stack::top_cell();
                            stack::top = top_before;
                        }
                    } else {
                        stack::top = top_before;
                    }
                    ++j;
                    continue;
                }
                if (!state && (mode & MODE_SAFER) && cursor < end) {
                    // apply/safer skips an inactive refinement's value unevaluated.
                    ++cursor;
                    ++j;
                    continue;
                }
                cursor = fetch_arg(f, cursor, kind_of(&desc));
                if (pending) return cursor;
                end = f.end = end_now(code, end);
                if (state) {
                    check(f, &desc, stack::top_cell());
                    if (native) {
                        ++argc;
                    } else {
                        base[slot_or_num + 1 + j] = *stack::top_cell();
                        stack::top = top_before;
                    }
                } else {
                    stack::top = top_before;
                }
                ++j;
            }
        }
    }

    if (tracing) {
        // An operator is shown as the value of its word, the op! itself; a
        // call made by apply has no position in the code.
        Cell shown = *fn;
        const Cell* op = infix ? infix_op(name) : nullptr;
        if (op) shown = *op;
        trace::event(trace::EV_CALL, code, mode > 0 ? nullptr : cursor, path ? path : name, &shown);
    }
    if (native) {
        call_native(fn, refs);
    } else if (locals > 0) {
        function::push_refinement_off(locals);
    }
    return cursor;
}

// Fetches a call's arguments the way its path, apply mode and tracing ask.
inline Cell* fetch_args(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* path,
                        const Cell* name_pos, const Cell* path_tail, const Cell* name, bool infix, int mode) {
    if (path || mode)
        return eval_arguments<false>(fn, cursor, end, code, path, name_pos, path_tail, name, infix, mode);
    if (tracing) return eval_arguments<true>(fn, cursor, end, code, nullptr, nullptr, nullptr, name, infix, 0);
    return fetch_plain(fn, cursor, end, code, name, infix);
}

Cell* eval_arguments_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix) {
    return eval_arguments<true>(fn, cursor, end, code, nullptr, nullptr, nullptr, name, infix, 0);
}

Cell* eval_code(const Cell* value_in, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* path,
                const Cell* name_pos, const Cell* owner, int mode, bool infix) {
    (void)owner;
    Cell value = *value_in;
    Cell name;
    const Cell* n = name_pos;
    if (!n && !path && cursor && code && cursor > block::rs_head(const_cast<Cell*>(code))) n = cursor - 1;
    if (n && cell::type(n) == TYPE_WORD) name = *n; else name = words::_anon_tag;
    cell::clear_new_line(&name);
    // The path's refinements are walked as the path stands now, up to its
    // present tail, even if the code run meanwhile (tracer, arguments)
    // changes it: the pin keeps this form alive and in place.
    const Cell* path_tail = nullptr;
    std::optional<Pin> pin_path;
    if (path) {
        SeriesBuffer* path_buf = series::buffer_of(path);
        path_tail = path_buf->tail_cell();
        pin_path.emplace(path_buf);
    }
    if (tracing) trace::event(trace::EV_OPEN, code, cursor, nullptr, &name);
    if (!infix) stack::push(&value);
    switch (cell::type(&value)) {
        case TYPE_NATIVE:
        case TYPE_ACTION:
            stack::mark_interp_native(&name);
            cursor = fetch_args(&value, cursor, end, code, path, name_pos, path_tail, &name, infix, mode);
            if (pending) return cursor;
            break;
        case TYPE_ROUTINE: {
            // Arguments are fetched like a function's, then the registered
            // systems code runs on them.
            stack::mark_interp_native(&name);
            cursor = fetch_args(&value, cursor, end, code, path, name_pos, path_tail, &name, infix, mode);
            if (pending) return cursor;
            exec_routine(&value);
            break;
        }
        case TYPE_FUNCTION: {
            stack::mark_interp_func(&name, value.w1);
            cursor = fetch_args(&value, cursor, end, code, path, name_pos, path_tail, &name, infix, mode);
            if (pending) return cursor;
            call_function(&value, value.w1, &name, 0);
            if (pending) return cursor;
            break;
        }
        default:
            fire(ERR_INTERNAL, "not-done");
    }
    if (sub) stack::unwind(); else stack::unwind_last();
    if (tracing) trace::event(trace::EV_RETURN, code, cursor, &name, stack::top_cell());
    if (!infix && sub) {
        Cell r = *(stack::top - 1);
        --stack::top;
        *(stack::top - 1) = r;
    }
    return cursor;
}

void call_function(const Cell* fn_in, Node, const Cell* name, uint32_t kind) {
    if (!tracing && !(fn_in->header & (function::FLAG_NO_TRACE | function::FLAG_TRACE))) {
        call_body(fn_in, name);  // nothing to switch
        return;
    }
    // Callbacks made on behalf of the runtime (sort comparators, change
    // handlers...) run untraced.
    bool was_tracing = tracing;
    if (kind && tracing) tracing = false;
    // A function's own attributes: `trace` follows the run, `no-trace` silences it.
    if (fn_in->header & function::FLAG_NO_TRACE) tracing = false;
    else if (fn_in->header & function::FLAG_TRACE) tracing = trace_run;
    struct Restore {
        bool saved;
        ~Restore() { tracing = saved; }
    } restore_tracing{was_tracing};
    call_body(fn_in, name);
}

void call_body(const Cell* fn_in, const Cell* name) {
    Cell fn = *fn_in;
    Cell body = more_of(&fn)[0];
    run_body(&fn, &body, name);
}

Cell* call_with(const Cell* fn_in, const Cell* args, int count, uint32_t name_sym, uint32_t kind, int* taken) {
    Cell fn = *fn_in;
    collector::Root keep(&fn);
    Cell name = words::_anon_tag;
    name.w2 = name_sym ? name_sym : name.w2;
    if (cell::type(&fn) != TYPE_FUNCTION) fire(ERR_SCRIPT, "invalid-arg", &fn);
    stack::mark_interp_func(&name, fn.w1);
    Cell* base = stack::arguments;
    // Fill the frame by the descriptors: the given arguments in order, none
    // for the rest, refinements off, locals none.
    Node list = arg_list(&fn);
    int32_t n = static_cast<int32_t>(series::buffer_of(list)->length());
    int used = 0;
    bool active = true;
    int32_t locals = 0;
    for (int32_t i = 0; i < n; ++i) {
        const Cell* d = series::buffer_of(list)->head_cell() + i;
        switch (cell::type(d)) {
            case TYPE_TYPESET:
                if (kind_of(d) == ARG_RETURN) break;
                if (active && used < count) stack::push(args + used++);
                else set_none(stack::push_new());
                break;
            case TYPE_REFINEMENT:
                active = false;
                set_logic(stack::push_new(), false);
                break;
            case TYPE_INTEGER: locals = cell::get_int(d); break;
            default: break;
        }
    }
    if (locals > 0) function::push_refinement_off(locals);
    if (taken) *taken = used;
    call_function(&fn, fn.w1, &name, kind);
    throw_pending();
    stack::unwind();
    return base;
}

}  // namespace zel::interpreter
