// Plain calls of the control natives if, unless and either, whose branches
// are mostly literal blocks: those are run straight from the code, neither
// pushed nor checked. Apart from the other plain calls, so that this code
// and theirs do not compete for GCC's inlining budget.
#include "runtime/cell.h"
#include "runtime/collector.h"
#include "runtime/evaluator/block_front.h"
#include "runtime/evaluator/calls_fetch.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

namespace {

// The branch taken: the block at `taken`, or none (the branch not given of
// an if or unless). BRANCHES as for run_control.
template <int BRANCHES>
[[gnu::always_inline]] inline const Cell* branch_of(const Cell* fn, bool yes, const Cell* branches) {
    if (BRANCHES == 1 && fn->w1 == natives::NATIVE_UNLESS) yes = !yes;
    return yes ? branches : BRANCHES == 2 ? branches + 1 : nullptr;
}
// The same for the condition's value.
template <int BRANCHES>
[[gnu::always_inline]] inline const Cell* branch_taken(const Cell* fn, const Cell* condition, const Cell* branches) {
    return branch_of<BRANCHES>(fn, natives::truthy(condition), branches);
}

// True when the literal blocks of the branches start at `cursor`, nothing
// after them taking them as an operand. The value of the word after them,
// read to see that, is left in `seen` (as infix_op leaves it).
// (literal_branches_after: the same once the first is known to be a block.)
template <int BRANCHES>
[[gnu::always_inline]] inline bool literal_branches_after(const Cell* cursor, const Cell* end, const Cell*& seen) {
    const Cell* after = cursor + BRANCHES;
    return (BRANCHES == 1 || (after <= end && cell::type(cursor + 1) == TYPE_BLOCK)) &&
           !(after < end ? infix_op(after, seen) : nullptr);
}
template <int BRANCHES>
[[gnu::always_inline]] inline bool literal_branches(const Cell* cursor, const Cell* end, const Cell*& seen) {
    return cursor + BRANCHES <= end && cell::type(cursor) == TYPE_BLOCK &&
           literal_branches_after<BRANCHES>(cursor, end, seen);
}
template <int BRANCHES>
[[gnu::always_inline]] inline bool literal_branches(const Cell* cursor, const Cell* end) {
    const Cell* seen;
    return literal_branches<BRANCHES>(cursor, end, seen);
}

// if, unless and either whose branches are literal blocks: once the
// condition is fetched (any value will do), the branch taken is evaluated
// straight into the frame's result, the blocks neither pushed nor checked.
// Any other shape is finished the general way. BRANCHES is 2 for either, 1
// for the others (compiled apart). Returns the cursor.
template <int BRANCHES>
[[gnu::always_inline]] inline Cell* run_control(const Cell* fn, const Cell* descs, Cell* cursor, Cell* end,
                                                const Cell* code, const Cell* name) {
    const Cell* first = descs + plan_first(descs);
    if (cursor >= end || !(descs->w1 & PLAN_CONTROL)) return finish_control(fn, descs, 0, cursor, end, code, name);
    bool stop = false;
    cursor = fetch_leading(fn, first, first, first + 1, cursor, end, code, name, false, stop);
    if (stop) return cursor;
    if (!literal_branches<BRANCHES>(cursor, end)) return finish_control(fn, descs, 1, cursor, end, code, name);
    if (const Cell* taken = branch_taken<BRANCHES>(fn, stack::arguments, cursor)) {
        Cell blk = *taken;
        eval_block(&blk, true);
    } else {
        set_none(stack::arguments);
        stack::keep();
    }
    return cursor + BRANCHES;
}

// The taken branch of a control call, a block of more than one value (or
// met where the stack or the collector asks for care), run in the native's
// frame, marked now at the frame's base-to-be `base`, the stack's top,
// where the condition lies. Both stacks were found with room for the frame
// when the call began, and are as they were: the frame needs no checks.
// `buf`, `head` and (either's only) `tail` are the branch's buffer, first
// value and buffer end as the caller found them (nothing has run since).
// In line in either's call_control_plain, which saves the registers it
// needs anyway: left out of line, it cost a tail call's moves and its own
// saves. (An if's is out of line: run_if_branch_framed.)
// (The general way pins the native's descriptors while it reads them by
// address; nothing reads them here.)
template <int CONTROL>
[[gnu::always_inline]] inline Cell* run_branch_framed(const Cell* taken, SeriesBuffer* buf, Cell* head, Cell* base,
                                                      Cell* after, bool sub, const Cell* name,
                                                      Cell* tail = nullptr) {
    CallFrame* f = stack::open_frame_at(base, name->w2, name->w1, FRAME_INTERP_NATIVE);
    f->fctx = 0;
    stack::top = base + 1;
    // The branch's value is left as the top cell, then taken from there.
    // (Its cell is read in place: eval_block_at copies it before any code
    // runs, as it does a paren's.) Either's branch that starts with a paren
    // (`[(f n - 1) + f n - 2]`) goes to eval_branch_paren, which takes
    // eval_block_at's steps for it with the paren's and the operators' in
    // line. (Not an if's: its code grew for nothing.)
    if (CONTROL == 2 && head + 1 < tail && cell::type(head) == TYPE_PAREN) {
        eval_branch_paren(taken, buf, head, tail);
    } else {
        eval_block_at(taken, buf, head);
    }
    if (pending) return after;
    stack::unwind_top(!sub);
    return after;
}

// run_branch_framed for the one branch of an if or unless, out of line: in
// line, its call made call_control_plain<1> save more values on the machine
// stack for every if, most of whose branches (none, a value, an
// assignment) run no code. A branch that does pays this call instead.
[[gnu::noinline]] Cell* run_if_branch_framed(const Cell* taken, Cell* base, bool sub, const Cell* name) {
    SeriesBuffer* buf = node_table[taken->w2];
    return run_branch_framed<1>(taken, buf, buf->head_cell() + taken->w1, base, const_cast<Cell*>(taken) + 1, sub,
                                name);
}

// As call_native_plain (calls_plain.cpp) for a control native, the frame
// marked first: nothing keeps it alive on the stack, and the result lands
// where it would have been pushed.
// (Its arguments as call_control_plain's, so that it is reached by a jump.)
template <int CONTROL>
[[gnu::noipa]] Cell* call_control_framed(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                         const Cell* name) {
    Cell fn = *fn_in;
    stack::mark_interp_native(name);
    SeriesBuffer* lb = series::buffer_of(arg_list(&fn));
    const Cell* descs = lb->head_cell();
    if (!(descs->w1 & PLAN_SIMPLE)) {
        cursor = eval_arguments_plain(&fn, cursor, end, code, name, false);
    } else {
        // Descriptors are read by address while arguments are evaluated.
        Pin pin_list(lb);
        cursor = run_control<CONTROL>(&fn, descs, cursor, end, code, name);
    }
    if (pending) return cursor;
    if (sub) stack::unwind(); else stack::unwind_last();
    return cursor;
}

// Whether the list of control native `fn` has that shape, flagging the
// cell when it has. The list is taken only when built: building it is left
// to the general way, in the frame. (Once per native cell: out of line.)
[[gnu::noinline]] bool plain_control_ready(const Cell* fn) {
    const Cell* more = more_of(fn);
    if (cell::type(more + 1) != TYPE_BLOCK) return false;
    const Cell* descs = series::buffer_of(more[1].w2)->head_cell();
    constexpr uint32_t shape = PLAN_SIMPLE | PLAN_CONTROL | PLAN_ANY_CONDITION;
    if ((descs->w1 & shape) != shape) return false;
    // The cell the word holds: marking it changes no value's meaning.
    const_cast<Cell*>(fn)->header |= FLAG_PLAIN_CONTROL | (control_of(fn) == 1 ? FLAG_PLAIN_IF : 0);
    return true;
}

// bound_value of a condition's or a branch's word, which is mostly one of
// the function running: its slot is looked for first, below `top` (the
// stack's top, kept in a register). Any other word is looked up as usual.
[[gnu::always_inline]] inline const Cell* operand_value(const Cell* w, const Cell* top) {
    if (w->w1 == stack::running_ctx) return running_slot(w, top);
    return bound_value(w);
}

// An assignment that makes up the code from the set-word at `at` to `end`
// (more than one cell past `at`, as the caller made sure), whose value is
// an operand taken as it is (plain_operand's, a word first, and looked up
// as the running function's first) with only integer operators after it,
// combined in place (integer_infix): the value is left at `slot`, which
// lies above every value, and returned is the cell the set-word's word is
// set through in place (in_place_target), the value not stored there yet.
// Null for any other code or any other word, with nothing changed but
// `slot`. Nothing here can fail, nor run code.
[[gnu::always_inline]] inline Cell* simple_assignment(const Cell* at, Cell* end, Cell* slot) {
    Cell* cursor = const_cast<Cell*>(at) + 1;
    // (A word, the commoner operand, is tested first.)
    const Cell* v = cursor;
    uint32_t t = cell::type(cursor);
    if (t == TYPE_WORD) {
        v = operand_value(cursor, slot);
        if (!v) return nullptr;
    } else if (!is_literal(t) || t == TYPE_UNSET) {
        // (A literal may be an unset value, which the general way reports.)
        return nullptr;
    }
    uint32_t vt = cell::type(v);
    if (++cursor < end) {
        // Operators follow, which combine an integer only. The first reads
        // its left operand where it lies, not copied to `slot` first;
        // integer_infix returns the cell after its right operand.
        if (vt != TYPE_INTEGER) return nullptr;
        const Cell* op = infix_op(cursor);
        if (!op || !(cursor = integer_infix(cursor, end, slot, op, v))) return nullptr;
        while (cursor < end) {
            if (!(op = infix_op(cursor)) || !(cursor = integer_infix(cursor, end, slot, op))) return nullptr;
        }
    } else {
        // (A word's value is taken as it is only when plain.)
        if (t == TYPE_WORD && !is_plain_value(vt)) return nullptr;
        *slot = *v;
    }
    // (The set-word too is mostly the running function's.)
    if (at->w1 == stack::running_ctx) return running_slot(at, slot);
    return in_place_target(at, slot);
}

// A condition's operand taken as it is, as plain_operand takes it: the
// cell itself when it is a literal a condition accepts without a check
// (is_value_type: the two type tests made as one), else a word's value,
// its type not tested yet: an integer operator after it tests it, and
// condition_truth the value alone. Null for any other operand.
constexpr uint64_t LITERAL_CONDITIONS = VALUE_TYPES & ~ACTIVE_TYPES;
constexpr uint64_t WORD_CONDITIONS = VALUE_TYPES & ~NOT_PLAIN_TYPES;
[[gnu::always_inline]] inline const Cell* condition_operand(const Cell* cursor, const Cell* top) {
    uint32_t t = cell::type(cursor);
    if (t == TYPE_WORD) [[likely]] return operand_value(cursor, top);
    return t < 64 && ((LITERAL_CONDITIONS >> t) & 1) ? cursor : nullptr;
}

// The truth of the value `v` of a condition with no operator after it, in
// `yes`; false (a value a word's condition may not take as it is) when
// the condition must go the general way. A logic, the commonest, is tested
// first: its truth is its check. (A literal condition is tested again: one
// of the rare types only a literal gives goes the general way.)
[[gnu::always_inline]] inline bool condition_truth(const Cell* v, bool& yes) {
    uint32_t t = cell::type(v);
    if (t == TYPE_LOGIC) [[likely]] {
        yes = v->w1 != 0;
        return true;
    }
    yes = t != TYPE_NONE;
    return t < 64 && ((WORD_CONDITIONS >> t) & 1);
}

// A branch's one value taken as it is, as plain_operand takes it, a word
// (the commoner) tested first.
[[gnu::always_inline]] inline const Cell* branch_operand(const Cell* c, const Cell* top) {
    uint32_t t = cell::type(c);
    if (t == TYPE_WORD) {
        const Cell* v = operand_value(c, top);
        return v && is_plain_value(cell::type(v)) ? v : nullptr;
    }
    return is_literal(t) ? c : nullptr;
}

// integer_infix for a condition's operators, whose commonest are the
// comparisons: tested before the others, and their truth written at once.
[[gnu::always_inline]] inline Cell* condition_infix(Cell* cursor, Cell* end, Cell* left, const Cell* op) {
    const Cell* r = integer_right_operand(cursor, end, left);
    if (!r) return nullptr;
    int kind = fast_op_kind(op);
    if (kind >= FAST_COMPARE) {
        compare_integers(kind, left, cell::get_int(left), cell::get_int(r));
    } else {
        if (!kind) return nullptr;
        combine_integers(kind, left, cell::get_int(r));
    }
    return cursor + 2;
}

// The commonest control call: its condition a value taken as it is, with
// only the integer operators combined in place after it (`n < 2`, `flag`),
// its branches literal blocks. Nothing in the condition can fail nor run
// code, so it is tried with no frame marked: the condition lands at the
// frame's base-to-be (either's single comparison, its truth read from the
// operands, only when the frame is marked). The native's frame is marked
// only when a branch runs code (run_branch_framed); a branch of one value
// taken as it is (`[n]`), as eval_block takes it, needs none, nor does an
// if's (or unless's) branch that is one assignment of such a value with
// integer operators after it (`[n: n + 1]`), nor the branch not given of an
// if. Any other shape goes the general way (call_control_framed), which
// starts over: nothing was changed but the cell above the stack's top. The
// frame is then marked where and with the checks it would have been marked
// first: whatever reports, or counts the stack's room, sees what it would
// have seen. `fn` is read in place: nothing here runs code, and the cell the
// condition lands in lies above every value. (Flattened: a word's lookup
// left out of line would cost a call, and the registers saved for it.)
// With HAND, a branch that runs no code (none, a value, an assignment)
// leaves in `handed` the value of the word after the call, read to make
// sure that no operator follows (see literal_branches), when that word has
// one: nothing ran since it was read. (Left alone otherwise.)
template <int CONTROL, bool HAND>
[[gnu::always_inline]] inline Cell* control_fast(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                                 const Cell* name, const Cell*& handed) {
    Cell* base = stack::top;
    if (cursor >= end || base >= stack::args_end || stack::call_top >= stack::call_end)
        return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
    // (The integer operators leave an integer, a float or a logic: values
    // the condition accepts as its first operand was.)
    const Cell* v = condition_operand(cursor, base);
    if (!v) return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
    Cell* at = cursor + 1;
    // (An if's condition is mostly one value, its branch right after it:
    // no operator then follows, and the branch need not be tested again.)
    bool block_at = CONTROL == 1 && at < end && cell::type(at) == TYPE_BLOCK;
    const Cell* op = block_at ? nullptr : infix_follows(at, end);
    const Cell* r;
    int kind;
    bool yes;
    // The value of the word after the branches, once read.
    const Cell* next = nullptr;
    // Whether the condition's value lies at `base`.
    bool in_place = false;
    if (CONTROL == 2 && op && (kind = fast_op_kind(op)) >= FAST_COMPARE &&
        literal_branches<CONTROL>(at + 2, end, next) && (r = integer_right_operand(at, end, v))) {
        // One comparison of integers, the commonest condition (`n < 2`),
        // the branches after it (no other operator, then): its truth is
        // read from the operands, and written at `base` only where a frame
        // is marked there.
        yes = comparison_holds(kind, cell::get_int(v), cell::get_int(r));
        at += 2;
    } else if (!op) {
        // One value, the commonest condition of an if (`flag`).
        if (!condition_truth(v, yes) ||
            !(block_at ? literal_branches_after<CONTROL>(at, end, next)
                       : literal_branches<CONTROL>(at, end, next)))
            return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
        *base = *v;
        in_place = true;
    } else {
        // (Copied without copy_cell's test: the value is a code cell or a
        // word's slot, below the top, never the cell at `base`. The first
        // operator takes only an integer: a value a condition accepts.)
        *base = *v;
        for (; op; op = infix_follows(at, end)) {
            at = condition_infix(at, end, base, op);
            if (!at) return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
        }
        if (!literal_branches<CONTROL>(at, end, next))
            return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
        yes = natives::truthy(base);
        in_place = true;
    }
    Cell* after = at + CONTROL;
    const Cell* taken = branch_of<CONTROL>(fn, yes, at);
    if (!taken) {
        set_none(base);
    } else {
        SeriesBuffer* buf = node_table[taken->w2];
        Cell* head = buf->head_cell() + taken->w1;
        Cell* tail = buf->tail_cell();
        // (The block's first value is pushed above the condition by
        // eval_block: the stack must have room for it.)
        if (head + 1 == tail) {
            v = base + 1 < stack::args_end && !collector::attention ? branch_operand(head, base) : nullptr;
            if (!v) {
                if (!in_place) set_logic(base, yes);
                if (CONTROL == 1) return run_if_branch_framed(taken, base, sub, name);
                return run_branch_framed<CONTROL>(taken, buf, head, base, after, sub, name, tail);
            }
            *base = *v;
        } else if (Cell* target = CONTROL == 1 && head + 1 < tail && cell::type(head) == TYPE_SET_WORD &&
                                          base + 1 < stack::args_end && !collector::attention
                                      ? simple_assignment(head, tail, base)
                                      : nullptr) {
            // The branch of an if or unless that assigns, such as
            // `[n: n + 1]`: the value lands at the frame's base-to-be, the
            // word is set in place; nothing in it can fail either. (Not
            // looked for in either's branches, mostly values of their own:
            // the test would cost each of them.)
            *target = *base;
        } else {
            if (!in_place) set_logic(base, yes);
            if (CONTROL == 1) return run_if_branch_framed(taken, base, sub, name);
            return run_branch_framed<CONTROL>(taken, buf, head, base, after, sub, name, tail);
        }
    }
    if (sub) stack::top = base + 1; else stack::set_last_keep(base);
    if (HAND) handed = next;
    return after;
}

}  // namespace

template <int CONTROL>
[[gnu::flatten]] Cell* call_control_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                          const Cell* name) {
    const Cell* handed;
    return control_fast<CONTROL, false>(fn, cursor, end, code, sub, name, handed);
}

// (The flag is tested by call_plain, which comes here only without it.)
template <int CONTROL>
Cell* call_control_first(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name) {
    if (plain_control_ready(fn)) return call_control_plain<CONTROL>(fn, cursor, end, code, sub, name);
    return call_control_framed<CONTROL>(fn, cursor, end, code, sub, name);
}

Cell* fetch_control(int control, const Cell* fn, const Cell* descs, Cell* cursor, Cell* end, const Cell* code,
                    const Cell* name) {
    return control == 2 ? run_control<2>(fn, descs, cursor, end, code, name)
                        : run_control<1>(fn, descs, cursor, end, code, name);
}

template Cell* call_control_plain<1>(const Cell*, Cell*, Cell*, const Cell*, bool, const Cell*);
template Cell* call_control_plain<2>(const Cell*, Cell*, Cell*, const Cell*, bool, const Cell*);
template Cell* call_control_first<1>(const Cell*, Cell*, Cell*, const Cell*, bool, const Cell*);
template Cell* call_control_first<2>(const Cell*, Cell*, Cell*, const Cell*, bool, const Cell*);

// (Flattened as call_control_plain is.)
[[gnu::flatten]] WalkStep call_control_named(const Cell* fn, Cell* cursor, Cell* end, const Cell* code) {
    Cell* start = stack::top;
    Cell w = *cursor;
    w.header &= ~FLAG_NEW_LINE;
    const Cell* seen = nullptr;
    cursor = control_fast<1, true>(fn, cursor + 1, end, code, true, &w, seen);
    if (!seen) cursor = operators_after_call(start, cursor, end, code, seen);
    return {cursor, seen};
}

}  // namespace zel::interpreter
