// The common call: no path, no apply mode, untraced. Its arguments are
// fetched by the summary of the callable's descriptor list.
#include "runtime/actions_stack.h"
#include "runtime/cells.h"
#include "runtime/datatypes/function.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// Fetches the arguments of an untraced call with no path and no apply mode
// by the summary of the callable's list (natives and actions are called
// too); a list the summary cannot serve goes the general way.
namespace {
[[gnu::always_inline]] inline Cell* fetch(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name,
                                          bool infix) {
    Node list = arg_list(fn);
    SeriesBuffer* lb = series::buffer_of(list);
    const Cell* descs = lb->head_cell();
    if (!(descs->w1 & PLAN_SIMPLE))
        return eval_arguments_plain(fn, cursor, end, code, name, infix);
    // Descriptors are read by address while arguments are evaluated.
    Pin pin_list(lb);
    const Cell* first = descs + plan_first(descs);
    const Cell* fixed_end = first + plan_count(descs);
    const Cell* d = first;
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
            cursor = eval_expression(cursor, end, code, infix, true, false);
            if (pending) return cursor;
        }
        const Cell* v = stack::top_cell();
        if (!typeset::contains(d, cell::type(v))) expect_arg(name, fn, v, argn);
    }
    if (is_native_like(cell::type(fn))) {
        // Every refinement absent.
        int32_t refs[MAX_REFS];
        for (uint32_t i = 0; i < descs->w3; ++i) refs[i] = -1;
        natives::NativeFn entry = cell::type(fn) == TYPE_NATIVE ? natives::entry(fn->w1) : actions::stack_entry(fn->w1);
        if (!entry) fire(ERR_INTERNAL, "not-done");
        entry(refs);
        return cursor;
    }
    // A function's other slots: refinements off, their arguments none, then the locals.
    const Cell* tail = lb->tail_cell();
    for (d = descs + descs->w2; d < tail; ++d) {
        switch (cell::type(d)) {
            case TYPE_TYPESET:
                if (kind_of(d) != ARG_RETURN) set_none(stack::push_new());
                break;
            case TYPE_REFINEMENT: set_logic(stack::push_new(), false); break;
            case TYPE_INTEGER: function::push_refinement_off(cell::get_int(d)); break;
            default: break;
        }
    }
    return cursor;
}

}  // namespace

Cell* fetch_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix) {
    return fetch(fn, cursor, end, code, name, infix);
}

Cell* call_plain(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name) {
    Cell fn = *fn_in;
    stack::push(&fn);
    uint32_t t = cell::type(&fn);
    if (t == TYPE_FUNCTION) {
        stack::mark_interp_func(name, fn.w1);
        cursor = fetch(&fn, cursor, end, code, name, false);
        if (pending) return cursor;
        if (fn.header & (function::FLAG_NO_TRACE | function::FLAG_TRACE)) call_function(&fn, fn.w1, name, 0);
        else call_body(&fn, name);
        if (pending) return cursor;
    } else {
        stack::mark_interp_native(name);
        cursor = fetch(&fn, cursor, end, code, name, false);
        if (pending) return cursor;
        if (t == TYPE_ROUTINE) exec_routine(&fn);
    }
    if (sub) {
        // The result replaces the callable pushed below the frame.
        stack::unwind();
        Cell r = *(stack::top - 1);
        --stack::top;
        *(stack::top - 1) = r;
    } else {
        stack::unwind_last();
    }
    return cursor;
}

}  // namespace zel::interpreter
