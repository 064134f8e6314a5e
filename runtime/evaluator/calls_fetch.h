// What the plain call route (calls_plain.cpp) and the route of the control
// natives (calls_control.cpp) share: the fetch of leading arguments by a
// list's summary, and the ways between the two files. The control route
// lives apart so that its code does not compete with the function calls'
// for GCC's inlining budget.
#pragma once
#include "runtime/cell.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/values.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// The operators that follow an argument pushed at `slot` (as infix_from);
// `stop` is set when one applied the general way leaves an exit pending.
// The integer ones, combined here, never do: their callers then need not
// look at the pending code again.
[[gnu::always_inline]] inline Cell* operators_on(Cell* cursor, Cell*& end, const Cell* code, Cell* slot,
                                                 const Cell* op, bool& stop) {
    if (!tracing) {
        while (Cell* next = integer_infix(cursor, end, slot, op)) {
            cursor = next;
            stack::top = slot + 1;
            if (!(op = infix_follows(cursor, end))) return cursor;
        }
    }
    cursor = apply_infix(cursor, end, code, slot, true, op);
    end = end_now(code, end);
    stop = pending != 0;
    return cursor;
}

// Pushes the leading arguments from descriptor `d` (those before it are
// pushed already) up to `fixed_end`; `first` is the first leading
// descriptor, from which reports count positions. Returns the cursor after
// them; `end` becomes the code's end as the arguments' evaluation left it.
// `stop` is set when an argument's evaluation leaves an exit pending (the
// cursor is then where it stopped); it is left alone otherwise, for the
// pending code can only be set where an argument is evaluated.
[[gnu::always_inline]] inline Cell* fetch_leading(const Cell* fn, const Cell* first, const Cell* d,
                                                  const Cell* fixed_end, Cell* cursor, Cell*& end, const Cell* code,
                                                  const Cell* name, bool infix, bool& stop) {
    if (infix) {
        // The left operand already sits in the frame's first cell.
        ++stack::top;
        if (d < fixed_end) {
            if (!typeset::contains(d, cell::type(stack::arguments))) expect_arg(name, fn, stack::arguments, 1);
            ++d;
        }
    }
    for (; d < fixed_end; ++d) {
        if (cursor >= end) {
            Cell word;
            function::arg_word(fn, static_cast<int>(d - first) + 1, &word);
            fire(ERR_SCRIPT, "no-arg", name, &word);
        }
        const Cell* v;
        if (push_simple(cursor)) {
            // A plain operand, inline; the operators that follow apply to
            // it where it was pushed, and leave their result there.
            Cell* slot = stack::top - 1;
            ++cursor;
            if (const Cell* op = infix ? nullptr : infix_follows(cursor, end)) {
                cursor = operators_on(cursor, end, code, slot, op, stop);
                if (stop) return cursor;
            }
            v = slot;
        } else {
            Cell* after = call_word(cursor, end, code, infix);
            cursor = after ? after : eval_expression(cursor, end, code, infix, true, false);
            if (pending) {
                stop = true;
                return cursor;
            }
            end = end_now(code, end);
            v = stack::top_cell();
        }
        if (!typeset::contains(d, cell::type(v))) expect_arg(name, fn, v, static_cast<int>(d - first) + 1);
    }
    return cursor;
}

// The control natives a plain call knows ahead: 2 either, 1 if or unless,
// 0 none.
inline int control_of(const Cell* fn) {
    if (cell::type(fn) != TYPE_NATIVE) return 0;
    if (fn->w1 == natives::NATIVE_EITHER) return 2;
    return fn->w1 == natives::NATIVE_IF || fn->w1 == natives::NATIVE_UNLESS ? 1 : 0;
}

// A plain call (as call_plain's) of a control native, CONTROL its
// control_of (1 or 2).
template <int CONTROL>
Cell* call_control_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// Fetches the arguments of control native `fn` (`control` its control_of)
// by its list's summary `descs` (pinned by the caller), in its marked
// frame, and calls it. Returns the cursor.
Cell* fetch_control(int control, const Cell* fn, const Cell* descs, Cell* cursor, Cell* end, const Cell* code,
                    const Cell* name);
// The general way for a native whose leading arguments before the one at
// `from` (0-based) are pushed: the others fetched, then the native called.
Cell* finish_control(const Cell* fn, const Cell* descs, int from, Cell* cursor, Cell* end, const Cell* code,
                     const Cell* name);

}  // namespace zel::interpreter
