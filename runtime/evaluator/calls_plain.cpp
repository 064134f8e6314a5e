// The common calls, untraced and with no apply mode: a callable named by a
// word, or by a path of refinement words. Their arguments are fetched by the
// summary of the callable's descriptor list.
#include "runtime/actions_stack.h"
#include "runtime/cells.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

namespace {

// Pushes the leading arguments the summary describes, from the one at
// `from` (0-based; those before it are pushed already) up to `count` of
// them; returns the cursor after them.
[[gnu::always_inline]] inline Cell* fetch_fixed(const Cell* fn, const Cell* descs, Cell* cursor, Cell* end,
                                                const Cell* code, const Cell* name, bool infix, int from = 0,
                                                int count = 255) {
    const Cell* first = descs + plan_first(descs);
    const Cell* fixed_end = first + (plan_count(descs) < static_cast<uint32_t>(count) ? plan_count(descs) : count);
    const Cell* d = first + from;
    if (infix) {
        // The left operand already sits in the frame's first cell.
        ++stack::top;
        if (d < fixed_end) {
            if (!typeset::contains(d, cell::type(stack::arguments))) expect_arg(name, fn, stack::arguments, 1);
            ++d;
        }
    }
    for (; d < fixed_end; ++d) {
        int argn = static_cast<int>(d - first) + 1;
        if (cursor >= end) {
            Cell word;
            function::arg_word(fn, argn, &word);
            fire(ERR_SCRIPT, "no-arg", name, &word);
        }
        if (push_simple(cursor)) {
            // A plain operand, inline; the operators that follow apply to it.
            ++cursor;
            if (const Cell* op = infix ? nullptr : infix_follows(cursor, end)) {
                cursor = infix_from(cursor, end, code, stack::top - 1, true, op);
                if (pending) return cursor;
            }
        } else {
            Cell* after = call_word(cursor, end, code, infix);
            cursor = after ? after : eval_expression(cursor, end, code, infix, true, false);
            if (pending) return cursor;
        }
        const Cell* v = stack::top_cell();
        if (!typeset::contains(d, cell::type(v))) expect_arg(name, fn, v, argn);
    }
    return cursor;
}

// A function's slots after its leading arguments: refinements off, their
// arguments none, then the locals.
inline void push_rest(const Cell* descs, const Cell* tail) {
    for (const Cell* d = descs + descs->w2; d < tail; ++d) {
        switch (cell::type(d)) {
            case TYPE_TYPESET:
                if (kind_of(d) != ARG_RETURN) set_none(stack::push_new());
                break;
            case TYPE_REFINEMENT: set_logic(stack::push_new(), false); break;
            case TYPE_INTEGER: function::push_refinement_off(cell::get_int(d)); break;
            default: break;
        }
    }
}

// Every refinement of a native absent.
inline void no_refinements(const Cell* descs, int32_t* refs) {
    for (uint32_t i = 0; i < descs->w3; ++i) refs[i] = -1;
}

// if, unless and either whose branches are literal blocks: once the
// condition is fetched (any value will do), the branch taken is evaluated
// straight into the frame's result, the blocks neither pushed nor checked.
// Any other shape is finished the general way. Returns the cursor.
Cell* run_control(const Cell* fn, const Cell* descs, Cell* cursor, Cell* end, const Cell* code, const Cell* name) {
    int branches = fn->w1 == natives::NATIVE_EITHER ? 2 : 1;
    if (cursor < end) {
        cursor = fetch_fixed(fn, descs, cursor, end, code, name, false, 0, 1);
        if (pending) return cursor;
        Cell* after = cursor + branches;
        bool literal = after <= end && cell::type(cursor) == TYPE_BLOCK &&
                       (branches == 1 || cell::type(cursor + 1) == TYPE_BLOCK) && !infix_follows(after, end);
        if (literal) {
            bool yes = natives::truthy(stack::arguments);
            if (fn->w1 == natives::NATIVE_UNLESS) yes = !yes;
            const Cell* taken = yes ? cursor : branches == 2 ? cursor + 1 : nullptr;
            if (taken) {
                Cell blk = *taken;
                eval_block(&blk, true);
            } else {
                set_none(stack::arguments);
                stack::keep();
            }
            return after;
        }
        cursor = fetch_fixed(fn, descs, cursor, end, code, name, false, 1);
    } else {
        cursor = fetch_fixed(fn, descs, cursor, end, code, name, false);
    }
    if (pending) return cursor;
    int32_t refs[MAX_REFS];
    no_refinements(descs, refs);
    call_native(fn, refs);
    return cursor;
}

// Fetches the arguments of a plain call (natives and actions are called
// too); a list the summary cannot serve goes the general way.
[[gnu::always_inline]] inline Cell* fetch(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name,
                                          bool infix) {
    SeriesBuffer* lb = series::buffer_of(arg_list(fn));
    const Cell* descs = lb->head_cell();
    if (!(descs->w1 & PLAN_SIMPLE)) return eval_arguments_plain(fn, cursor, end, code, name, infix);
    // Descriptors are read by address while arguments are evaluated.
    Pin pin_list(lb);
    if (cell::type(fn) == TYPE_NATIVE && fn->w1 >= natives::NATIVE_IF && fn->w1 <= natives::NATIVE_EITHER && !infix)
        return run_control(fn, descs, cursor, end, code, name);
    cursor = fetch_fixed(fn, descs, cursor, end, code, name, infix);
    if (pending) return cursor;
    if (is_native_like(cell::type(fn))) {
        int32_t refs[MAX_REFS];
        no_refinements(descs, refs);
        call_native(fn, refs);
    } else {
        push_rest(descs, lb->tail_cell());
    }
    return cursor;
}

// Runs a function whose frame holds its arguments.
inline void run_function(const Cell* fn, const Cell* name) {
    if (fn->header & (function::FLAG_NO_TRACE | function::FLAG_TRACE)) call_function(fn, fn->w1, name, 0);
    else call_body(fn, name);
}

// Ends a call: its frame is unwound and its result replaces the callable
// pushed below the frame (sub), or becomes the current result.
inline void finish(bool sub) {
    if (sub) {
        stack::unwind();
        Cell r = *(stack::top - 1);
        --stack::top;
        *(stack::top - 1) = r;
    } else {
        stack::unwind_last();
    }
}

}  // namespace

Cell* fetch_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix) {
    return fetch(fn, cursor, end, code, name, infix);
}

Cell* call_plain(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name) {
    Cell fn = *fn_in;
    uint32_t t = cell::type(&fn);
    if (is_native_like(t)) {
        // Natives live in tables, not series: nothing keeps them alive on the
        // stack, and the result lands where it would have been pushed.
        stack::mark_interp_native(name);
        cursor = fetch(&fn, cursor, end, code, name, false);
        if (pending) return cursor;
        if (sub) stack::unwind(); else stack::unwind_last();
        return cursor;
    }
    stack::push(&fn);
    if (t == TYPE_FUNCTION) {
        stack::mark_interp_func(name, fn.w1);
        cursor = fetch(&fn, cursor, end, code, name, false);
        if (pending) return cursor;
        run_function(&fn, name);
        if (pending) return cursor;
    } else {
        stack::mark_interp_native(name);
        cursor = fetch(&fn, cursor, end, code, name, false);
        if (pending) return cursor;
        if (t == TYPE_ROUTINE) exec_routine(&fn);
    }
    finish(sub);
    return cursor;
}

Cell* call_path(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, const Cell* path, const Cell* name_pos) {
    Cell fn = *fn_in;
    uint32_t t = cell::type(&fn);
    if (t == TYPE_ROUTINE) return nullptr;
    const Cell* path_tail = series::buffer_of(path)->tail_cell();
    for (const Cell* p = name_pos + 1; p < path_tail; ++p)
        if (cell::type(p) != TYPE_WORD) return nullptr;
    stack::push(&fn);  // kept alive while its list may be built
    SeriesBuffer* lb = series::buffer_of(arg_list(&fn));
    const Cell* descs = lb->head_cell();
    if (!(descs->w1 & PLAN_SIMPLE)) {
        --stack::top;
        return nullptr;
    }
    Pin pin_list(lb);
    Cell name = *name_pos;
    name.header &= ~FLAG_NEW_LINE;
    bool native = is_native_like(t);
    if (native) stack::mark_interp_native(&name); else stack::mark_interp_func(&name, fn.w1);
    cursor = fetch_fixed(&fn, descs, cursor, end, code, &name, false);
    if (pending) return cursor;
    Cell* base = stack::arguments;
    int32_t count = static_cast<int32_t>((lb->tail - lb->head) / sizeof(Cell));  // cells: no division by the unit
    int32_t refs[MAX_REFS];
    if (native) no_refinements(descs, refs); else push_rest(descs, lb->tail_cell());
    int32_t argc = static_cast<int32_t>(stack::top - base);
    // The refinements in the order the path gives them, each followed by its arguments.
    for (const Cell* item = name_pos + 1; item < path_tail; ++item) {
        Cell el = *item;
        int32_t at = find_refinement(descs, count, el.w2);
        if (at < 0) fire(ERR_SCRIPT, "no-refine", &name, &el);
        uint32_t slot = descs[at].w3;
        if (native) {
            int32_t n = static_cast<int32_t>(slot) - 1;
            if (refs[n] != -1) fire(ERR_SCRIPT, "dup-refine", path);
            refs[n] = argc;
        } else {
            Cell* flag = base + slot;
            if (logic::get(flag)) fire(ERR_SCRIPT, "dup-refine", path);
            set_logic(flag, true);
        }
        for (int32_t k = at + 1, j = 0; k < count; ++k, ++j) {
            const Cell* d = descs + k;
            if (cell::type(d) != TYPE_TYPESET || kind_of(d) == ARG_RETURN) break;
            Cell* before = stack::top;
            if (kind_of(d) == ARG_EVAL && cursor < end && !tracing && push_simple(cursor)) {
                // A plain operand is taken in place, with the operators after it.
                const Cell* op = infix_follows(++cursor, end);
                if (op) cursor = infix_from(cursor, end, code, before, true, op);
            } else {
                cursor = fetch_arg_of(&fn, &name, code, cursor, end, kind_of(d), spec_position(descs, k));
            }
            if (pending) return cursor;
            const Cell* v = stack::top_cell();
            if (!typeset::contains(d, cell::type(v))) expect_arg(&name, &fn, v, spec_position(descs, k));
            if (native) {
                ++argc;
            } else {
                base[slot + 1 + j] = *v;
                stack::top = before;
            }
        }
    }
    if (native) call_native(&fn, refs); else run_function(&fn, &name);
    if (pending) return cursor;
    finish(true);
    return cursor;
}

}  // namespace zel::interpreter
