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
    stack::open_frame_at(base, name->w2, name->w1, FRAME_INTERP_NATIVE);
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
    const Cell* descs = own_cells(lb);
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
    const Cell* descs = own_cells(node_table[more[1].w2]);
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

// The value of word `w` when it is the running function's (tested first
// with RUNNING) or a global one, as bound_value finds it (null when it has
// none); false for any other word, whose lookup is left to the general way.
template <bool RUNNING>
[[gnu::always_inline]] inline bool near_value(const Cell* w, const Cell* top, const Cell*& v) {
    Node ctx = w->w1;
    if (RUNNING && ctx == stack::running_ctx) v = running_slot(w, top);
    else if (context::reads_global_slot(ctx)) v = context::global_slot(w->w3);
    else if (!RUNNING && ctx == stack::running_ctx) v = running_slot(w, top);
    else return false;
    return true;
}

// The value of a word of a branch's code: operand_value's (RUNNING: the
// running function's first) or bound_value's. With NEAR, only the running
// function's and global words are looked up (near_value); any other sets
// `far` and gives null, its lookup left to the general way.
template <bool NEAR, bool RUNNING>
[[gnu::always_inline]] inline const Cell* branch_word(const Cell* w, const Cell* top, bool& far) {
    if (!NEAR) return RUNNING ? operand_value(w, top) : bound_value(w);
    const Cell* v = nullptr;
    if (!near_value<RUNNING>(w, top, v)) far = true;
    return v;
}

// integer_infix with branch_word's lookups (the operator's, `op`, made by
// the caller).
template <bool NEAR>
[[gnu::always_inline]] inline Cell* branch_infix(Cell* cursor, Cell* end, Cell* left, const Cell* op,
                                                 const Cell* from, bool& far) {
    if (!NEAR) return integer_infix(cursor, end, left, op, from);
    // (integer_right_operand's tests.)
    if (cell::type(from) != TYPE_INTEGER) return nullptr;
    const Cell* r = cursor + 1;
    if (r >= end) return nullptr;
    if (cell::type(r) != TYPE_INTEGER) {
        if (cell::type(r) != TYPE_WORD) return nullptr;
        r = branch_word<NEAR, false>(r, left, far);
        if (!r || cell::type(r) != TYPE_INTEGER) return nullptr;
    }
    int kind = fast_op_kind(op);
    if (!kind) return nullptr;
    combine_integers(kind, left, cell::get_int(from), cell::get_int(r));
    return cursor + 2;
}
// infix_op with branch_word's lookup.
template <bool NEAR>
[[gnu::always_inline]] inline const Cell* branch_op(const Cell* cursor, const Cell* top, bool& far) {
    if (!NEAR) return infix_op(cursor);
    if (cell::type(cursor) != TYPE_WORD) return nullptr;
    const Cell* v = branch_word<NEAR, false>(cursor, top, far);
    return v && cell::type(v) == TYPE_OP ? v : nullptr;
}

// An assignment that makes up the code from the set-word at `at` to `end`
// (more than one cell past `at`, as the caller made sure), whose value is
// an operand taken as it is (plain_operand's, a word first, and looked up
// as the running function's first) with only integer operators after it,
// combined in place (integer_infix): the value is left at `slot`, which
// lies above every value, and returned is the cell the set-word's word is
// set through in place (in_place_target), the value not stored there yet.
// Null for any other code or any other word, with nothing changed but
// `slot`. Nothing here can fail, nor run code. NEAR and `far` as for
// branch_word.
template <bool NEAR = false>
[[gnu::always_inline]] inline Cell* simple_assignment(const Cell* at, Cell* end, Cell* slot, bool& far) {
    Cell* cursor = const_cast<Cell*>(at) + 1;
    // (A word, the commoner operand, is tested first.)
    const Cell* v = cursor;
    uint32_t t = cell::type(cursor);
    if (t == TYPE_WORD) {
        v = branch_word<NEAR, true>(cursor, slot, far);
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
        const Cell* op = branch_op<NEAR>(cursor, slot, far);
        if (!op || !(cursor = branch_infix<NEAR>(cursor, end, slot, op, v, far))) return nullptr;
        while (cursor < end) {
            if (!(op = branch_op<NEAR>(cursor, slot, far)) ||
                !(cursor = branch_infix<NEAR>(cursor, end, slot, op, slot, far)))
                return nullptr;
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
[[gnu::always_inline]] inline Cell* simple_assignment(const Cell* at, Cell* end, Cell* slot) {
    bool far;
    return simple_assignment(at, end, slot, far);
}

// A condition's operand taken as it is, as plain_operand takes it: the
// cell itself when it is a literal a condition accepts without a check
// (is_value_type: the two type tests made as one), else a word's value,
// its type not tested yet: an integer operator after it tests it, and
// condition_truth the value alone. Null for any other operand. With NEAR,
// a word is looked up only where it is the running function's or global
// (near_value): null for any other, whose call must go the general way.
constexpr uint64_t LITERAL_CONDITIONS = VALUE_TYPES & ~ACTIVE_TYPES;
constexpr uint64_t WORD_CONDITIONS = VALUE_TYPES & ~NOT_PLAIN_TYPES;
template <bool NEAR = false>
[[gnu::always_inline]] inline const Cell* condition_operand(const Cell* cursor, const Cell* top) {
    uint32_t t = cell::type(cursor);
    if (t == TYPE_WORD) [[likely]] {
        if (!NEAR) return operand_value(cursor, top);
        const Cell* v = nullptr;
        near_value<true>(cursor, top, v);
        return v;
    }
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
// (the commoner) tested first. NEAR and `far` as for branch_word.
template <bool NEAR = false>
[[gnu::always_inline]] inline const Cell* branch_operand(const Cell* c, const Cell* top, bool& far) {
    uint32_t t = cell::type(c);
    if (t == TYPE_WORD) {
        const Cell* v = branch_word<NEAR, true>(c, top, far);
        return v && is_plain_value(cell::type(v)) ? v : nullptr;
    }
    return is_literal(t) ? c : nullptr;
}
[[gnu::always_inline]] inline const Cell* branch_operand(const Cell* c, const Cell* top) {
    bool far;
    return branch_operand(c, top, far);
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

namespace {

// What if_front found.
enum class IfFront { GENERAL, CHAIN, NOT_TAKEN, TAKEN };

// literal_branches_after for the branch before `after`: the value of the
// word there, read to make sure that no operator follows, left in `next`
// (null when it is no word or has no value); false when the call must go
// the general way (an operator follows, or the word is looked up there).
[[gnu::always_inline]] inline bool front_after(const Cell* after, const Cell* end, const Cell* base,
                                               const Cell*& next) {
    next = nullptr;
    if (after < end && cell::type(after) == TYPE_WORD) {
        if (!near_value<false>(after, base, next)) return false;
        if (next && cell::type(next) == TYPE_OP) return false;
    }
    return true;
}

// The commonest if or unless (`fn`), its condition one value at `c`
// (`if flag [...]`), its branch a literal block right after it, told from
// its own shape before anything is done, its words looked up only where
// they are the running function's or global (as bound_value would find
// them). The condition is left at `base`, the stack's top, and `next` is
// the value of the word after the branch (front_after). CHAIN when the
// condition has more after it (if_chain's), GENERAL when the call must go
// the general way (control_fast's), which starts over: nothing was changed
// but the cell at `base`. Nothing here makes a call, so that its callers,
// which leave only by tail calls, need no register saved: the if not taken
// then costs no more than these tests.
[[gnu::always_inline]] inline IfFront if_front(const Cell* fn, Cell* c, Cell* end, Cell* base,
                                               const Cell*& next) {
    Cell* at = c + 1;
    if (at >= end) [[unlikely]] return IfFront::GENERAL;
    if (cell::type(at) != TYPE_BLOCK) return IfFront::CHAIN;
    if (base >= stack::args_end || stack::call_top >= stack::call_end) [[unlikely]] return IfFront::GENERAL;
    const Cell* v = condition_operand<true>(c, base);
    bool yes;
    if (!v || !condition_truth(v, yes)) return IfFront::GENERAL;
    if (fn->w1 == natives::NATIVE_UNLESS) yes = !yes;
    // (Where control_fast leaves it, and where a taken branch needs it. Set
    // now, whatever the branch, so that no register holds it longer.)
    *base = *v;
    if (!front_after(at + 1, end, base, next)) return IfFront::GENERAL;
    return yes ? IfFront::TAKEN : IfFront::NOT_TAKEN;
}

// if_front's CHAIN: the condition at `c` is a value with integer operators
// after it (`n > 3`), combined in place at `base` as control_fast combines
// them (condition_infix), then its branch a literal block, left in
// `branch`, once if_front has found something after the condition. The
// words are looked up as if_front looks them up; every other case goes the
// general way.
[[gnu::always_inline]] inline IfFront if_chain(const Cell* fn, Cell* c, Cell* end, Cell* base, const Cell*& next,
                                               Cell*& branch) {
    if (base >= stack::args_end || stack::call_top >= stack::call_end) [[unlikely]] return IfFront::GENERAL;
    const Cell* v = condition_operand<true>(c, base);
    if (!v) return IfFront::GENERAL;
    Cell* at = c + 1;
    const Cell* op = nullptr;
    if (cell::type(at) != TYPE_WORD || !near_value<false>(at, base, op) || !op || cell::type(op) != TYPE_OP)
        return IfFront::GENERAL;
    // (The first operator takes only an integer: a value a condition
    // accepts.)
    *base = *v;
    for (;;) {
        // condition_infix, its right operand looked up as `op` is: the
        // comparisons, the commonest, tested before the others.
        if (cell::type(base) != TYPE_INTEGER) return IfFront::GENERAL;
        const Cell* r = at + 1;
        if (r >= end) return IfFront::GENERAL;
        if (cell::type(r) != TYPE_INTEGER) {
            if (cell::type(r) != TYPE_WORD || !near_value<false>(r, base, r) || !r ||
                cell::type(r) != TYPE_INTEGER)
                return IfFront::GENERAL;
        }
        int kind = fast_op_kind(op);
        if (kind >= FAST_COMPARE) {
            compare_integers(kind, base, cell::get_int(base), cell::get_int(r));
        } else {
            if (!kind) return IfFront::GENERAL;
            combine_integers(kind, base, cell::get_int(r));
        }
        at += 2;
        if (at >= end) return IfFront::GENERAL;
        if (cell::type(at) == TYPE_BLOCK) break;
        if (cell::type(at) != TYPE_WORD || !near_value<false>(at, base, op) || !op || cell::type(op) != TYPE_OP)
            return IfFront::GENERAL;
    }
    bool yes = natives::truthy(base);
    if (fn->w1 == natives::NATIVE_UNLESS) yes = !yes;
    branch = at;
    if (!front_after(at + 1, end, base, next)) return IfFront::GENERAL;
    return yes ? IfFront::TAKEN : IfFront::NOT_TAKEN;
}

// The taken branch `taken` of an if whose condition lies at `base`, the
// stack's top, when it runs no code, as control_fast takes it: one value
// taken as it is, or one assignment (simple_assignment), its value left at
// `base`. False (nothing changed but the cell at `base`) for any other
// branch, to be run in the native's frame, or, when `far` is set, one whose
// words are not all the running function's or global (NEAR lookups), left
// to the general way.
[[gnu::always_inline]] inline bool simple_branch(const Cell* taken, Cell* base, bool& far) {
    if (base + 1 >= stack::args_end || collector::attention) [[unlikely]] return false;
    SeriesBuffer* buf = node_table[taken->w2];
    Cell* head = buf->head_cell() + taken->w1;
    Cell* tail = buf->tail_cell();
    if (head + 1 == tail) {
        const Cell* v = branch_operand<true>(head, base, far);
        if (!v) return false;
        *base = *v;
        return true;
    }
    if (head + 1 < tail && cell::type(head) == TYPE_SET_WORD) {
        Cell* target = simple_assignment<true>(head, tail, base, far);
        if (!target) return false;
        *target = *base;
        return true;
    }
    return false;
}

// An integer operand of a taken branch's one operator, as simple_assignment
// takes it: a literal integer, or the value of a word, the running
// function's or global, when it is one; else null.
[[gnu::always_inline]] inline const Cell* integer_operand(const Cell* c, const Cell* top) {
    if (cell::type(c) == TYPE_WORD) {
        const Cell* v = nullptr;
        if (!near_value<true>(c, top, v) || !v) return nullptr;
        c = v;
    }
    return cell::type(c) == TYPE_INTEGER ? c : nullptr;
}

// The cell a taken branch's set-word at `head` sets in place (mostly the
// running function's), or null; `base` is the stack's top.
[[gnu::always_inline]] inline Cell* branch_target(const Cell* head, Cell* base) {
    return head->w1 == stack::running_ctx ? running_slot(head, base) : in_place_target(head, base);
}

// simple_branch for the taken branch `taken` of an if whose condition lies
// at `base`, the stack's top, in its commonest shapes: one value (`[n]`),
// one assignment of a value (`[n: 0]`) or of one operator's result (`[x: x
// * 2]`, `[x: x + n]`), told by their count of cells, so that no register
// holds the branch's end, nor a loop's: with the few values they need at
// once, the caller saves none. The value is left at `base` and the word
// set. False, with nothing changed but `base`, for any other branch, or
// one whose words are not all the running function's or global:
// simple_branch then looks at it afresh. (The collector's attention is not
// looked at: nothing here allocates or runs code, and the walk serves its
// safe point right after the call, with nothing run in between; a caller
// not sure of that looks at it first.)
[[gnu::always_inline]] inline bool quick_branch(const Cell* taken, Cell* base) {
    // (The general way pushes the branch's first value above `base`.)
    if (base >= stack::args_end - 1) [[unlikely]] return false;
    SeriesBuffer* buf = node_table[taken->w2];
    uint64_t at = buf->head + uint64_t{taken->w1} * sizeof(Cell);
    // (A head past the tail makes a size past any below.)
    uint64_t size = buf->tail - at;
    Cell* head = reinterpret_cast<Cell*>(buf->data() + at);
    // (The operator's shape, the target's, is tested first.)
    if (size == 4 * sizeof(Cell)) {
        const Cell* op = nullptr;
        if (cell::type(head) != TYPE_SET_WORD || cell::type(head + 2) != TYPE_WORD ||
            !near_value<false>(head + 2, base, op) || !op || cell::type(op) != TYPE_OP)
            return false;
        int kind = fast_op_kind(op);
        if (!kind) return false;
        const Cell* a = integer_operand(head + 1, base);
        if (!a) return false;
        const Cell* b = integer_operand(head + 3, base);
        if (!b) return false;
        int32_t r;
        if (integer_result(kind, cell::get_int(a), cell::get_int(b), r)) [[likely]] {
            // (Both written whole: the word's value is mostly read whole next.)
            __m128i v = whole_integer(r);
            store_whole(base, v);
            Cell* target = branch_target(head, base);
            if (!target) return false;
            store_whole(target, v);
            return true;
        }
        combine_integers(kind, base, cell::get_int(a), cell::get_int(b));
    } else {
        // One value, or one assignment of a value, as simple_branch takes
        // them (a word not near leaves the branch to it, whatever `far`).
        bool far;
        if (size == sizeof(Cell)) {
            const Cell* v = branch_operand<true>(head, base, far);
            if (!v) return false;
            *base = *v;
            return true;
        }
        const Cell* v = nullptr;
        if (size != 2 * sizeof(Cell) || cell::type(head) != TYPE_SET_WORD ||
            !(v = branch_operand<true>(head + 1, base, far)) || cell::type(v) == TYPE_UNSET)
            return false;
        *base = *v;
    }
    Cell* target = branch_target(head, base);
    if (!target) return false;
    *target = *base;
    return true;
}

// call_control_named's way for every shape but its front's: control_fast's,
// the call's name made here. (Flattened as call_control_plain is.)
[[gnu::noinline, gnu::flatten]] WalkStep control_named_general(const Cell* fn, Cell* cursor, Cell* end,
                                                               const Cell* code) {
    Cell* start = stack::top;
    Cell w = *cursor;
    cell::clear_new_line(&w);
    const Cell* seen = nullptr;
    cursor = control_fast<1, true>(fn, cursor + 1, end, code, true, &w, seen);
    if (!seen) cursor = operators_after_call(start, cursor, end, code, seen);
    return {cursor, seen};
}

// The branch `branch` of the if or unless named by the word at `cursor`,
// run in the native's frame (run_if_branch_framed), the condition at the
// stack's top; then the operators after it.
[[gnu::always_inline]] inline WalkStep named_framed(Cell* cursor, Cell* end, const Cell* code, Cell* branch) {
    Cell* start = stack::top;
    Cell w = *cursor;
    cell::clear_new_line(&w);
    const Cell* seen = nullptr;
    Cell* after = run_if_branch_framed(branch, start, true, &w);
    return {operators_after_call(start, after, end, code, seen), seen};
}
// named_framed for if_front's branch, two cells after the call's word, and
// for if_chain's. (Their arguments as control_named_taken's and
// control_chain_taken's, in the same registers for their jumps here: noipa
// keeps GCC from dropping those unused.)
[[gnu::noipa]] WalkStep control_named_framed([[maybe_unused]] const Cell* fn, Cell* cursor, Cell* end,
                                             const Cell* code) {
    return named_framed(cursor, end, code, cursor + 2);
}
[[gnu::noipa]] WalkStep control_chain_framed([[maybe_unused]] const Cell* fn, Cell* cursor, Cell* end,
                                             const Cell* code, [[maybe_unused]] const Cell* next, Cell* branch) {
    return named_framed(cursor, end, code, branch);
}

// The branch of the if or unless named by the word at `cursor`, two cells
// after it, once if_front has found it taken and quick_branch has left it,
// `next` as the front left it: simple_branch's, else run in the frame
// (control_named_framed), or gone the general way when simple_branch
// leaves its words to it. (The arguments are the front's, in the same
// registers: noipa keeps GCC from reordering them. The calls out are
// jumps: written out here, not in a function in line that both takers
// share, through whose value GCC makes them calls.)
[[gnu::noipa, gnu::flatten]] WalkStep control_named_branch(const Cell* fn, Cell* cursor, Cell* end,
                                                           const Cell* code, const Cell* next) {
    Cell* base = stack::top;
    bool far = false;
    if (!simple_branch(cursor + 2, base, far)) [[unlikely]] {
        if (far) return control_named_general(fn, cursor, end, code);
        return control_named_framed(fn, cursor, end, code);
    }
    stack::top = base + 1;
    return {cursor + 3, next};
}
// The branch of the if or unless named by the word at `cursor` once
// if_front has found it taken: quick_branch's, else
// control_named_branch's. (noipa as control_named_branch; apart from it,
// so that its shape alone sets the registers this one uses.)
[[gnu::noipa, gnu::flatten]] WalkStep control_named_taken(const Cell* fn, Cell* cursor, Cell* end,
                                                          const Cell* code, const Cell* next) {
    Cell* base = stack::top;
    if (quick_branch(cursor + 2, base)) [[likely]] {
        stack::top = base + 1;
        return {cursor + 3, next};
    }
    return control_named_branch(fn, cursor, end, code, next);
}
// The same for if_chain's branch, at `branch`.
[[gnu::noipa, gnu::flatten]] WalkStep control_chain_taken(const Cell* fn, Cell* cursor, Cell* end, const Cell* code,
                                                          const Cell* next, Cell* branch) {
    Cell* base = stack::top;
    bool far = false;
    if (!simple_branch(branch, base, far)) [[unlikely]] {
        if (far) return control_named_general(fn, cursor, end, code);
        return control_chain_framed(fn, cursor, end, code, next, branch);
    }
    stack::top = base + 1;
    return {branch + 1, next};
}

// call_control_named's if_chain: the if or unless whose condition has
// operators after it. (Apart from its front, whose if not taken would
// otherwise save registers for this code.)
[[gnu::noinline]] WalkStep control_named_chain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code) {
    Cell* base = stack::top;
    const Cell* next;
    Cell* branch;
    IfFront front = if_chain(fn, cursor + 1, end, base, next, branch);
    if (front == IfFront::GENERAL) [[unlikely]] return control_named_general(fn, cursor, end, code);
    if (front == IfFront::TAKEN) return control_chain_taken(fn, cursor, end, code, next, branch);
    set_none(base);
    stack::top = base + 1;
    return {branch + 1, next};
}

// call_if_plain's taken branch once quick_branch has left it, as
// control_named_branch's, the condition at `cursor`. (noipa as
// control_named_branch.)
[[gnu::noipa, gnu::flatten]] Cell* control_plain_branch(const Cell* fn, Cell* cursor, Cell* end, const Cell* code,
                                                        bool sub, const Cell* name) {
    Cell* base = stack::top;
    bool far = false;
    if (!simple_branch(cursor + 1, base, far)) [[unlikely]] {
        if (far) return call_control_plain<1>(fn, cursor, end, code, sub, name);
        return run_if_branch_framed(cursor + 1, base, sub, name);
    }
    if (sub) stack::top = base + 1; else stack::set_last_keep(base);
    return cursor + 2;
}
// call_if_plain's taken branch, the condition at `cursor`: quick_branch's,
// else control_plain_branch's. (The collector's attention is looked at
// first, as simple_branch looks at it: not every caller serves its safe
// point right after the call. noipa as control_named_taken.)
[[gnu::noipa, gnu::flatten]] Cell* control_plain_taken(const Cell* fn, Cell* cursor, Cell* end, const Cell* code,
                                                       bool sub, const Cell* name) {
    Cell* base = stack::top;
    if (!collector::attention && quick_branch(cursor + 1, base)) [[likely]] {
        if (sub) stack::top = base + 1; else stack::set_last_keep(base);
        return cursor + 2;
    }
    return control_plain_branch(fn, cursor, end, code, sub, name);
}

}  // namespace

// An if or unless met in a walk: if_front's shape here, the branch not
// taken ending the call, with no register saved (only tail calls leave it).
// A taken branch goes on in control_named_taken, any other shape in
// control_named_general.
WalkStep call_control_named(const Cell* fn, Cell* cursor, Cell* end, const Cell* code) {
    Cell* base = stack::top;
    const Cell* next;
    IfFront front = if_front(fn, cursor + 1, end, base, next);
    if (front == IfFront::TAKEN) return control_named_taken(fn, cursor, end, code, next);
    if (front == IfFront::CHAIN) return control_named_chain(fn, cursor, end, code);
    if (front == IfFront::GENERAL) [[unlikely]] return control_named_general(fn, cursor, end, code);
    // No code ran: the operators after were looked for already.
    set_none(base);
    stack::top = base + 1;
    return {cursor + 3, next};
}

// The same for a plain call of an if or unless, its condition at `cursor`.
Cell* call_if_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name) {
    Cell* base = stack::top;
    const Cell* next;
    IfFront front = if_front(fn, cursor, end, base, next);
    if (front == IfFront::TAKEN) return control_plain_taken(fn, cursor, end, code, sub, name);
    // (A condition with operators after it goes the general way.)
    if (front != IfFront::NOT_TAKEN) return call_control_plain<1>(fn, cursor, end, code, sub, name);
    set_none(base);
    if (sub) stack::top = base + 1; else stack::set_last_keep(base);
    return cursor + 2;
}

}  // namespace zel::interpreter
