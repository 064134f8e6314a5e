// Evaluation of blocks and expressions.
#include "runtime/evaluator/interpreter.h"
#include <algorithm>
#include "runtime/actions.h"
#include "runtime/actions_stack.h"
#include "runtime/evaluator/block_front.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/natives.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::interpreter {

CodeFrame* code_frame = nullptr;
Assigning* assignments = nullptr;
bool tracing = false;
bool trace_run = false;

Cell current_code() {
    Cell c = {TYPE_UNSET, 0, 0, 0};
    if (code_frame) {
        c = code_frame->code;
        c.w1 += static_cast<uint32_t>(code_frame->cursor - code_frame->head);
    }
    return c;
}

const Assigning* assignment_in(const CodeFrame* cf) {
    for (const Assigning* a = assignments; a; a = a->prev)
        if (a->frame == cf) return a;
    return nullptr;
}

void set_word_slow(Cell* w, const Cell* v) { context::set_in(w, v, w->w1, true); }

void init() {
    install_callbacks();
    errors::set_near_namer([](Cell* out) { *out = current_code(); });
    pending = 0;
    code_frame = nullptr;
    assignments = nullptr;
    tracing = false;
    trace_run = false;
}

namespace {

// The safe point after each expression: collects when asked and honours an
// interrupt. The word is cleared before the switches are read, so that an
// interrupt arriving meanwhile sets it again and is seen at the next one.
[[gnu::noinline, gnu::cold]] void serve_safe_point() {
    collector::attention = collector::stress;
    collector::safe_point();
    if (sys::interrupt_pending) sys::honour_interrupt();
}
inline void safe_point() {
    if (collector::attention) serve_safe_point();
}
// After an expression of a block, once signalled() told that an exit is
// pending or a safe point has work: true when an exit is pending (the
// block returns at once), else the safe point is served. It is served with
// the stack and the code frame as the expression left them, as it is after
// a block's last expression: nothing it does depends on the next one.
inline bool exit_or_safe_point() {
    if (pending) return true;
    serve_safe_point();
    return false;
}

// Stores a value as sub says: pushed, or made the current result.
inline void emit(const Cell* v, bool sub) {
    if (sub) stack::push(v); else stack::set_last_keep(v);
}

// Turns a copy of an op! value into the function it applies: the type and
// flags it had before the op! took it over.
inline void op_function(Cell* fn) {
    fn->header = ((fn->header >> 16) & 0xFF) | (fn->header & native::FLAG_FOREIGN_SPEC);
}

// Applies the operators (if any) that follow the left operand at `slot`,
// the value left pushed. Kept out of line: eval_block's common case, a value
// with no operator after it, stays small.
[[gnu::noinline]] Cell* operators_after(Cell* cursor, Cell* end, const Cell* code, Cell* slot) {
    if (const Cell* op = infix_follows(cursor, end)) return infix_from_plain(cursor, end, code, slot, true, op);
    return cursor;
}

// A value taken as it is (a literal, or the plain value of a word) as an
// expression (untraced): pushed at `slot`, then the operators that follow
// apply to it. `next` is after the value's cell.
inline Cell* simple_operand(const Cell* value, Cell* next, Cell* end, const Cell* code, Cell* slot) {
    stack::push(value);
    // Only a word can be an operator.
    if (next >= end || cell::type(next) != TYPE_WORD) return next;
    return operators_after(next, end, code, slot);
}

// A set-word with no value to assign. No frame is marked for an assignment
// itself: one is marked only when it fails, so the report names the set-word.
[[noreturn]] void need_value(const Cell* set_word) {
    Cell sw = *set_word;
    stack::mark_interp_native(&sw);
    fire(ERR_SCRIPT, "need-value", &sw);
}

// Sets the word of the set-word `sw` to the value pushed last, at `slot`,
// and leaves the value pushed. Kept out of line: the assignments in line
// take a global word's slot themselves.
[[gnu::noinline]] void set_pushed(Cell* sw, Cell* slot) {
    // The value is not on the stack while the word is set (a word of a
    // function's frame is then read below it).
    stack::top = slot;
    if (Cell* target = slot_to_set(sw)) {
        // Stored in place, the value stays pushed where it is.
        *target = *slot;
        stack::top = slot + 1;
    } else {
        // The general path may use the stack above: the value is set from a copy.
        Cell v = *slot;
        set_word_slow(sw, &v);
        stack::push(&v);
    }
}

// Sets the word of the set-word at `at` to the value pushed last, at `slot`,
// when no code ran since the set-word was read: its cell is as it was.
// `quiet` is set when the word is set in place (no code ran).
[[gnu::always_inline]] inline void set_unchanged(const Cell* at, Cell* slot, bool& quiet) {
    // A global word's value, or one of the function running innermost
    // (below the value), is written in place, the value left pushed.
    if (Cell* target = in_place_target(at, slot)) {
        // (In halves, as combined integers are written: a loop that sets a
        // word from itself, `n: n + 1`, then reads back each store whole.)
        copy_halves(slot, target);
        quiet = true;
        return;
    }
    // Setting may run code (an object's field): the set-word is copied.
    Cell sw = *at;
    set_pushed(&sw, slot);
}

// push_simple with a word tested first (the value of an assignment is more
// often a word's than a literal), the value written at `slot`, the top, and
// the top left there: the caller moves it when it needs the value pushed.
// With `room`, the caller knows that the stack has room at `slot`.
template <bool room = false>
[[gnu::always_inline]] inline bool put_operand(const Cell* cursor, Cell* slot) {
    uint32_t t = cell::type(cursor);
    const Cell* v = cursor;
    if (t == TYPE_WORD) {
        v = bound_value(cursor);
        if (!v) return false;
        // An integer, the commonest, is tested first.
        uint32_t vt = cell::type(v);
        if (vt != TYPE_INTEGER && !is_plain_value(vt)) return false;
    } else if (!is_literal(t)) {
        return false;
    }
    if (!room && slot >= stack::args_end) stack::overflow(5);
    // (In halves, as set_unchanged writes a word and a counted loop its
    // counter: the value is read back as it was stored.)
    copy_halves(v, slot);
    return true;
}

// Evaluates the expression after the set-word at `cursor` and assigns its
// value (untraced); the value is left in the cell that is the top, `slot`.
// Returns the cursor after it. The top is then `slot + 1`, or `slot` when
// the value was written to the word in place (no code ran: it is an integer
// or a value the word keeps alive), which saves a store: the callers take
// the value from `slot`. `quiet` is then set (left alone otherwise).
// `room` as for put_operand.
template <bool room = false>
[[gnu::always_inline]] inline Cell* assign(Cell* cursor, Cell* end, const Cell* code, Cell* slot, bool& quiet) {
    const Cell* at = cursor++;
    if (cursor >= end) need_value(at);
    // The set-word is copied before code runs for its value: that code may
    // change the cell. A value taken as it is, with integer operators
    // combined in place, runs none.
    Cell sw;
    if (put_operand<room>(cursor, slot)) {
        const Cell* op = infix_follows(++cursor, end);
        if (!op) {
            // A literal may be an unset value (reported as set_pushed's
            // callers report it, the value off the stack).
            if (cell::type(slot) == TYPE_UNSET) {
                stack::top = slot;
                need_value(at);
            }
            set_unchanged(at, slot, quiet);
            return cursor;
        }
        // (The first operator is taken before the loop: GCC then keeps the
        // loop's end test out of the commonest case, one operator.)
        if (Cell* next = integer_infix(cursor, end, slot, op)) {
            for (;;) {
                cursor = next;
                if (!(op = infix_follows(cursor, end))) {
                    // Combined integers: never unset.
                    set_unchanged(at, slot, quiet);
                    return cursor;
                }
                if (!(next = integer_infix(cursor, end, slot, op))) break;
            }
        }
        sw = *at;
        stack::top = slot + 1;
        cursor = apply_infix(cursor, end, code, slot, true, op);
    } else {
        sw = *at;
        Cell* after = call_word(cursor, end, code, false);
        cursor = after ? after : eval_expression(cursor, end, code, false, true, false);
    }
    if (pending) return cursor;
    stack::top = slot;
    if (cell::type(slot) == TYPE_UNSET) need_value(&sw);
    set_pushed(&sw, slot);
    return cursor;
}

// A paren or a path as an expression (untraced), as eval_expression takes
// them: the value is left pushed, then, unless `prefix`, the operators that
// follow apply to it. With FRONT (a paren starting an expression of a
// block's walk), a paren's first call is made in line (eval_block_front):
// the operators' right operands and loops' bodies do without, whose callers
// would save more registers for it than it saves. PATH: the value is a
// path, as the caller found.
template <bool FRONT = false, bool PATH = false>
[[gnu::always_inline]] inline Cell* nested(Cell* cursor, Cell* end, const Cell* code, bool prefix) {
    // They nest with no frame marked: the machine stack bounds their depth.
    stack::check_machine_stack();
    Cell* slot = stack::top;
    if (!PATH && cell::type(cursor) == TYPE_PAREN) {
        if (FRONT) {
            // (A front that met the paren's end with no exit pending says so.)
            if (eval_block_front<true>(cursor) && pending) return cursor;
        } else {
            SeriesBuffer* buf = node_table[cursor->w2];
            eval_block_other<true>(cursor, buf, buf->head_cell() + cursor->w1, buf->tail_cell());
            if (pending) return cursor;
        }
        ++cursor;
    } else {
        // eval_path's own way for a path neither set nor get, untraced
        // (it copies the path itself).
        cursor = call_sub_path(cursor, cursor + 1, end, code);
        if (pending) return cursor;
    }
    if (prefix) return cursor;
    if (const Cell* op = infix_after_eval(code, cursor, end)) {
        // A literal integer after an integer is combined here in place, as
        // infix_from_plain would; apply_infix takes the rest. (It combines
        // integers in place as well, a word's value among them, once their
        // right operand is pushed: a stack with no room left for it goes
        // the way that needs none. A word is not looked up here: when it
        // names a function, the commoner case, apply_infix reads it anyway.)
        Cell* rc = cursor + 1;
        int kind = fast_op_kind(op);
        if (rc < end && cell::type(rc) == TYPE_INTEGER && cell::type(slot) == TYPE_INTEGER && kind) {
            combine_integers(kind, slot, cell::get_int(rc));
            stack::top = slot + 1;
            cursor = rc + 1;
            if (infix_follows(cursor, end)) cursor = operators_after(cursor, end, code, slot);
        } else {
            cursor = slot + 1 < stack::args_end ? apply_infix(cursor, end, code, slot, true, op)
                                                : operators_after(cursor, end, code, slot);
        }
    }
    return cursor;
}
// The same out of line (eval_block takes its commoner parens in line).
[[gnu::noinline]] Cell* eval_nested(Cell* cursor, Cell* end, const Cell* code, bool prefix) {
    return nested(cursor, end, code, prefix);
}

}  // namespace

namespace {
// apply_infix's loop for values pushed in code that is a block, untraced,
// the stack with room above the left operand (defined with it, below).
[[gnu::always_inline]] inline Cell* infix_chain(Cell* cursor, Cell* end, const Cell* code, Cell* left,
                                                const Cell* op);

// The paren `paren` as nested runs one that starts an expression of a
// block's walk (its value pushed, no operator after it applied), its buffer
// `buf`, `head` and `tail` as the caller read them: for eval_branch_paren's
// rarer parens and the operators' paren operands, out of line, so that
// their own code keeps fewer values live across its calls.
[[gnu::noinline]] void eval_paren_other(const Cell* paren, SeriesBuffer* buf, Cell* head, Cell* tail) {
    stack::check_machine_stack();
    eval_block_front_at<true>(paren, buf, head, tail);
}
}  // namespace

void eval_branch_paren(const Cell* code, SeriesBuffer* buf, Cell* head, Cell* tail) {
    Cell* slot = stack::top;
    Pin pin(buf);
    // (Copied before any code runs, as a code frame copies it.)
    Cell block = *code;
    // The paren's step, as block_step takes it (nested) with its first call
    // made in line (eval_block_front); the paren is known to be one, and
    // the code never traced. When that call is the commonest one, a word
    // naming a callable, with the machine stack clear of its limit (so that
    // nothing can fail before the call), the paren is run in the code frame
    // the block then takes over: while the paren runs, the block's own
    // frame would have its cursor at the paren, which is no set-word, with
    // no assignment recorded in it, so reports find the same code and the
    // same name without it. Any other paren is run the way nested runs it,
    // in its own frame inner to the block's.
    SeriesBuffer* pbuf = node_table[head->w2];
    Cell* phead = pbuf->head_cell() + head->w1;
    Cell* ptail = pbuf->tail_cell();
    const Cell* v = nullptr;
    bool called = phead < ptail && cell::type(phead) == TYPE_WORD && (v = bound_value(phead)) &&
                  is_callable(cell::type(v)) && stack::machine_stack_left();
    CodeScope scope(called ? *head : block, called ? phead : head);
    if (called) [[likely]] {
        Pin paren_pin(pbuf);
        const Cell* seen = nullptr;
        Cell* cursor = call_named<call_plain, true>(phead, v, ptail, &scope.frame.code, false, seen);
        // (The end tested first, and the pending exit only once on the
        // commonest way: walk_on's steps, taken apart.)
        if (cursor < ptail) {
            walk_rest(scope.frame, pbuf, cursor, ptail, slot, seen);
            if (pending) return;
        } else if (__builtin_expect(signalled(), 0)) {
            if (pending) return;
            serve_block_end();
            if (pending) return;
        }
        scope.frame.code = block;
        scope.frame.head = head;
        scope.frame.cursor = head;
    } else {
        eval_paren_other(head, pbuf, phead, ptail);
        if (pending) return;
    }
    const Cell* block_code = &scope.frame.code;
    Cell* cursor = head + 1;
    Cell* end = tail;
    if (const Cell* op = infix_after_eval<true>(block_code, cursor, end)) {
        // (A stack with no room above the value goes the way that needs
        // none, as nested's does.)
        cursor = slot + 1 < stack::args_end ? infix_chain(cursor, end, block_code, slot, op)
                                            : operators_after(cursor, end, block_code, slot);
    }
    walk_on(scope.frame, buf, cursor, tail, slot, nullptr);
}

void eval_paren_path(const Cell* code, SeriesBuffer* buf, Cell* head) {
    Cell* tail = buf->tail_cell();
    Cell* slot = stack::top;
    // As eval_block_at: the pin keeps the buffer alive and in place, the
    // code frame names the paren; the path is its walk's first step.
    Pin pin(buf);
    CodeScope scope(*code, head);
    walk_on(scope.frame, buf, nested<false, true>(head, tail, &scope.frame.code, false), tail, slot, nullptr);
}

namespace {
// eval_block under do/trace: the same steps with their events. Kept out of
// line, so that eval_block itself stays small.
[[gnu::noinline]] void eval_block_traced(const Cell* code_in, bool chain) {
    Cell code = *code_in;
    SeriesBuffer* buf = node_table[code.w2];
    Pin pin(buf);
    stack::mark_interp_eval(&words::_body_tag);
    Cell* tail = buf->tail_cell();
    Cell* head = buf->head_cell() + code.w1;
    if (head > tail) head = tail;
    trace::event(trace::EV_ENTER, &code, head, nullptr, nullptr);
    if (head == tail) {
        set_unset(stack::arguments);
        stack::keep();
    } else {
        CodeScope scope(code, head);
        Cell* cursor = head;
        while (cursor < tail) {
            scope.frame.cursor = cursor;
            cursor = eval_expression(cursor, tail, &code, false, false, false);
            if (pending) return;
            tail = pin.end_within(tail);
            if (cursor < tail) stack::reset();
            safe_point();
        }
    }
    if (tracing) trace::event(trace::EV_EXIT, &code, tail, nullptr, stack::arguments);
    if (chain) stack::unwind_last(); else stack::unwind();
}
}  // namespace

namespace {
// walk_body's step after a last expression that was an assignment that ran
// no code, for callers that do not use it: nothing (no exit pending).
struct NoQuiet {
    bool operator()() const { return false; }
};

// The step of block_step for the word at `cursor` whose value is `v` (null
// when it has none), read with no code run since. `seen` as for block_step.
template <bool loose_top>
[[gnu::always_inline]] inline Cell* word_step(Cell* cursor, const Cell* v, Cell* tail, const Cell* code, Cell* slot,
                                              const Cell*& seen) {
    // (A plain if, the commonest control met in a walk, is told by one test
    // of its header before the type is looked at. A loop's body takes it
    // as any call, handing on no `seen`.)
    if (!loose_top && v && is_plain_if(v)) {
        WalkStep step = call_control_named(v, cursor, tail, code);
        seen = step.seen;
        return step.cursor;
    }
    uint32_t vt = v ? cell::type(v) : TYPE_NULL;
    if (is_callable(vt)) {
        // (A loop's body does without: see walk_body.)
        if constexpr (loose_top) return call_named(cursor, v, tail, code, false);
        return call_named(cursor, v, tail, code, false, seen);
    }
    if (is_plain_value(vt) && v) return simple_operand(v, cursor + 1, tail, code, slot);
    return eval_expression(cursor, tail, code, false, true, false);
}
// Evaluates the expression at `cursor`, before `tail`, of a block under
// evaluation (untraced): its value is pushed at `slot`. Returns the cursor
// after it. The commonest expressions are taken directly: an assignment, a
// call, a value taken as it is, a paren, a path. With `loose_top`, the
// caller takes the value from `slot` whatever the top (a loop's body): an
// assignment may then leave the top at `slot`. A call sets `seen` to the
// value of the word after it when it looked for an operator there and found
// none (and leaves it alone otherwise): the next step may take it (word_step).
// An assignment that ran no code sets `quiet` (left alone otherwise). With
// `room`, the stack has room at `slot`.
template <bool loose_top, bool room>
[[gnu::always_inline]] inline Cell* block_step(Cell* cursor, Cell* tail, const Cell* code, Cell* slot,
                                               const Cell*& seen, bool& quiet) {
    uint32_t t = cell::type(cursor);
    if (t == TYPE_WORD) {
        cursor = word_step<loose_top>(cursor, bound_value(cursor), tail, code, slot, seen);
    } else if (t == TYPE_SET_WORD) {
        cursor = assign<room>(cursor, tail, code, slot, quiet);
        if (!loose_top) stack::top = slot + 1;
    } else if (t == TYPE_PAREN) {
        cursor = nested<!loose_top>(cursor, tail, code, false);
    } else if (is_literal(t)) {
        cursor = simple_operand(cursor, cursor + 1, tail, code, slot);
    } else if (t == TYPE_PATH) {
        cursor = eval_nested(cursor, tail, code, false);
    } else {
        cursor = eval_expression(cursor, tail, code, false, true, false);
    }
    return cursor;
}
// Walks the expressions of a block (eval_block's, or a loop's body) from
// `cursor`, its head (the frame linked, its cursor there), up to `tail`,
// its buffer `buf` pinned; each value is pushed at `slot`. Returns whether
// an exit is pending. With LOOSE (a loop's body, whose callers take the
// last value from `slot`, whatever the top), an assignment leaves the top
// alone (block_step). (`buf` is read where the caller keeps it: a counted
// loop's pin then holds it in one register for its runs and their walks,
// rather than a copy of its own.) With STEPPED, the first expression has
// been evaluated (eval_block_front): the walk goes on from `cursor` after
// it, `seen` as that step left it. With LOOSE, when the last expression was
// an assignment that ran no code, the walk ends with `on_quiet()`, which
// returns whether an exit is pending: when that expression was the only
// one (the frame's cursor still at the head), nothing can have changed the
// block, its buffer, the frame or the stack's top, and a counted loop runs
// it again as it is (run_quiet). With ROOM, the caller made room at `slot`.
template <bool LOOSE, bool STEPPED = false, bool ROOM = false, class Quiet = NoQuiet>
[[gnu::always_inline]] inline bool walk_body(CodeFrame& frame, SeriesBuffer* const& buf, Cell* cursor, Cell* tail,
                                             Cell* slot, const Cell* seen_in = nullptr, Quiet on_quiet = {}) {
    // `seen`: the value of the word at `cursor` when the step before read
    // it, after its call, looking for an operator: no code has run since, so
    // the word is not looked up again (null otherwise). Not kept in a loop's
    // body (LOOSE), mostly one expression: the counted loops paid an
    // instruction at each run for it (its null set where the steps join).
    // (Null unless STEPPED, rather than the argument's default: GCC then
    // lays out the loops' walks as before.)
    const Cell* seen = STEPPED ? seen_in : nullptr;
    bool quiet;
    if constexpr (STEPPED) goto stepped;
    for (;;) {
        quiet = false;
        cursor = block_step<LOOSE, ROOM>(cursor, tail, &frame.code, slot, seen, quiet);
        // (Tested at once, where the step's ways have not joined yet.)
        if (LOOSE && quiet && cursor >= tail) {
            if (__builtin_expect(signalled(), 0) && exit_or_safe_point()) return true;
            return on_quiet();
        }
    stepped: __attribute__((unused));
        for (;;) {
            // The end the walk began with is tested first: the buffer's own
            // end is read only when the walk is short of it. (Before the
            // exit's test: the step's own test of the end, when it looked
            // for an operator there, then leads here directly.)
            if (cursor >= tail) return __builtin_expect(signalled(), 0) && exit_or_safe_point();
            if (__builtin_expect(signalled(), 0)) {
                if (exit_or_safe_point()) return true;
                // A safe point may run code or move values: the word is read again.
                seen = nullptr;
            }
            // (Pin::end_within, with the walk short of its end already: the
            // buffer's end is taken only when it has moved below that.)
            if (Cell* now = buf->tail_cell(); now < tail) [[unlikely]] {
                tail = now;
                if (cursor >= tail) return false;
            }
            stack::top = slot;
            frame.cursor = cursor;
            if (__builtin_expect(!seen, 1)) break;
            const Cell* v = seen;
            seen = nullptr;
            cursor = word_step<LOOSE>(cursor, v, tail, &frame.code, slot, seen);
        }
    }
}
}  // namespace

void walk_rest(CodeFrame& frame, SeriesBuffer* buf, Cell* cursor, Cell* tail, Cell* slot, const Cell* seen) {
    walk_body<false, true>(frame, buf, cursor, tail, slot, seen);
}

void serve_block_end() { exit_or_safe_point(); }

void eval_block_at(const Cell* code_in, SeriesBuffer* buf, Cell* cursor) {
    Cell* tail = buf->tail_cell();
    Cell* slot = stack::top;
    // (One test keeps blocks of more values, the commoner, clear of both
    // short cases below.)
    if (cursor + 1 >= tail) {
        if (cursor + 1 == tail && slot < stack::args_end && push_simple(cursor)) {
            // A block of one value taken as it is, such as `[n]`: nothing in
            // it can fail (the stack has room), so it needs no code frame nor pin.
            safe_point();
            return;
        }
        if (cursor >= tail) {
            set_unset(stack::push_new());
            // A loop of an empty body still stops on an interrupt.
            safe_point();
            return;
        }
    }
    // No frame is marked: each expression pushes its value at `slot`, above
    // everything below, and the next one replaces it. Exits unroll to frames
    // that the natives and functions marked, whose bases this leaves alone.
    // The pin keeps the buffer alive and in place: cursors below point into it.
    Pin pin(buf);
    CodeScope scope(*code_in, cursor);
    walk_body<false>(scope.frame, buf, cursor, tail, slot);
}

void eval_block(const Cell* code_in, bool chain) {
    if (tracing) {
        eval_block_traced(code_in, chain);
        return;
    }
    if (!chain) return eval_block_plain(code_in);
    // The value is left at the top, where the stack's top was; an exit
    // leaves the stacks as it unrolled them.
    Cell* slot = stack::top;
    eval_block_plain(code_in);
    if (!pending) stack::set_last_keep(slot);
}

namespace {
// A loop's body's runs: eval_block's steps, in the code frame the loop keeps
// for its body, each run's value chained into the current frame's result
// slot. Its block is read again at each run (the runs before may have
// changed it). The frame is linked only while the body runs, so that the
// loop's own steps between runs are reported at the loop's code.

// A run of a body with no values (its value unset). With `kept`, the loop
// keeps the frame linked: it is unlinked meanwhile.
template <bool kept>
[[gnu::noinline]] void run_empty(CodeFrame& frame, Cell* slot) {
    if constexpr (kept) code_frame = frame.prev;
    set_unset(stack::push_new());
    stack::set_last_keep(slot);
    safe_point();
    if constexpr (kept) code_frame = &frame;
}

// Links a code frame kept across evaluations (a loop's body's) for one
// evaluation, and unlinks it on every way out.
struct CodeLink {
    CodeFrame& frame;
    explicit CodeLink(CodeFrame& f) : frame(f) {
        frame.prev = code_frame;
        frame.entry_top = stack::call_top;
        code_frame = &frame;
    }
    ~CodeLink() { code_frame = frame.prev; }
    CodeLink(const CodeLink&) = delete;
    CodeLink& operator=(const CodeLink&) = delete;
};

// The pin a counted loop keeps on its body's buffer from run to run, moved
// to the buffer the body's series has when a run finds the pinned one
// abandoned (after an expansion, which clears the node of the buffer it
// leaves: a buffer is its node's as long as its node is set). A buffer
// keeps its head offset while it is the series' one, and a pinned buffer
// its address: the same buffer at a run's start means the same head as the
// run before. (Fixed buffers, freed at once by an expansion, never hold code.)
class KeptPin {
public:
    KeptPin() = default;
    ~KeptPin() {
        if (buf_) --buf_->pins;
    }
    KeptPin(const KeptPin&) = delete;
    KeptPin& operator=(const KeptPin&) = delete;
    SeriesBuffer* buffer() const { return buf_; }
    SeriesBuffer* const& buffer_ref() const { return buf_; }
    // Whether the series has left the pinned buffer (one is pinned).
    bool abandoned() const { return buf_->node == 0; }
    // Pins `b`, the body's buffer now; returns its cell `index`, the head.
    Cell* move_to(SeriesBuffer* b, uint32_t index) {
        ++b->pins;
        if (buf_) --buf_->pins;
        buf_ = b;
        return b->head_cell() + index;
    }

private:
    SeriesBuffer* buf_ = nullptr;
};

// The runs of a counted loop up to `last` set a global counter's value cell
// in place: the cell `cell` bytes past the global values' head (see
// run_counted_in).
struct QuickRuns {
    uint64_t last;
    uint64_t cell;
    // Sets the counter to the run's number `i` (below 2^31, its own payload).
    void set(uint64_t i) const {
        set_integer_payload(reinterpret_cast<Cell*>(reinterpret_cast<char*>(memory::watched.cells) + cell), i);
    }
};

// A counted loop's code frame, where its runs set their counter in place,
// and run_quiet's run number: run_quiet reads them through one register
// (rather than keeping them in registers that each run saves). The number
// is never above the loop's own but while run_quiet runs.
struct CountedFrame {
    CodeFrame frame;
    QuickRuns quick;
    uint64_t run;
};

// The runs of a counted loop's body after one that was a single assignment
// that ran no code (walk_body's on_quiet): it changed nothing but its word,
// so the block, its buffer and tail, the frame's cursor and the stack's top
// are as that run found them (`buf` is the block's, pinned). The runs
// after it whose counter is set in place (`counted.quick`) are run here at
// once, while they stay so; `counted.run` is then the last one's number
// (an exit may be pending). (Out of line, with a walk of its own: the loop
// keeps its registers. The block's tail is the one that run found.)
[[gnu::noinline]] void run_quiet(CountedFrame& counted, SeriesBuffer* buf, Cell* slot) {
    CodeFrame& frame = counted.frame;
    uint64_t& run = counted.run;
    Cell* tail = buf->tail_cell();
    for (;;) {
        // (The frame's cursor past the head: a block of more expressions.)
        Cell* cursor = const_cast<Cell*>(frame.head);
        if (run >= counted.quick.last || frame.cursor != cursor) return;
        counted.quick.set(++run);
        bool quiet = false;
        walk_body<true, false, true>(frame, buf, cursor, tail, slot, nullptr, [&quiet] {
            quiet = true;
            return false;
        });
        if (!quiet) return;
    }
}

// One run of a counted loop's body, whose frame the loop links, with its
// `prev` and `entry_top` set, for all its runs, and unlinks around any step
// of its own that can report; `pin` holds the body's buffer, in which the
// frame's head is kept from run to run. Returns whether an exit is pending.
// A run that was a single assignment that ran no code, run `i`, is
// followed by run_quiet, and `i` is then the last run's.
template <bool traced>
[[gnu::always_inline]] inline bool run_kept(CountedFrame& counted, KeptPin& pin, Cell* slot, uint64_t& i) {
    CodeFrame& frame = counted.frame;
    if constexpr (traced) {
        code_frame = frame.prev;
        eval_block(&frame.code, true);
        code_frame = &frame;
        return pending != 0;
    }
    SeriesBuffer* buf = pin.buffer();
    if (__builtin_expect(pin.abandoned(), 0)) {
        buf = node_table[frame.code.w2];
        frame.head = pin.move_to(buf, frame.code.w1);
    }
    // (A cell of the pinned buffer, read where the frame keeps it.)
    Cell* cursor = const_cast<Cell*>(frame.head);
    Cell* tail = buf->tail_cell();
    if (cursor >= tail) {
        run_empty<true>(frame, slot);
        return false;
    }
    frame.cursor = cursor;
    // The value is at the frame's base: the loop resets the stack before
    // the next run and takes the last run's value from the base
    // (stack::unwind_last), whatever the top.
    // (The loop's frame has room for the value: LoopBody::run_counted.)
    return walk_body<true, false, true>(frame, pin.buffer_ref(), cursor, tail, slot, nullptr, [&] {
        counted.run = i;
        run_quiet(counted, pin.buffer(), slot);
        i = counted.run;
        return pending != 0;
    });
}

// Puts back the code frame a counted loop found, on every way out.
struct CodeRestore {
    CodeFrame* outer;
    ~CodeRestore() { code_frame = outer; }
};

// Sets a counted loop's counter word to the run's number, the general way,
// reported at the loop's code if it fails. True when the word is global:
// `cell` is then its value cell's offset in bytes from the global values'
// head. (Out of line: the runs set a global counter in place.)
[[gnu::noinline]] bool set_counter(CodeFrame& frame, Cell* word, int32_t number, uint64_t& cell) {
    code_frame = frame.prev;
    Cell value;
    set_integer(&value, number);
    set_word(word, &value);
    code_frame = &frame;
    if (!context::reads_global_slot(word->w1) || !context::global_slot(word->w3)) return false;
    cell = uint64_t{word->w3} * sizeof(Cell);
    return true;
}

// A counted loop's runs (LoopBody::run_counted), traced or not: tracing
// cannot begin or end meanwhile (a traced run, and a function's own switch
// of it, begin and end within one call).
template <bool traced>
void run_counted_in(const CodeFrame& body, int64_t n, const Cell* counter) {
    Cell word;
    if (counter) word = *counter;
    // The runs up to `last`, and those up to `quick.last` set a global
    // counter's value cell in place, found by the first run's set_word. The
    // values only grow (and live as long as the global context), so the
    // cell stays where set_word would find it. (The body cannot rebind
    // `word`, a copy.) Other words take set_word at each run, no counter
    // nothing: their `quick.last` is 0. One test of the run's number thus
    // serves the counter and the loop's end.
    uint64_t last = n < 0 ? UINT64_MAX : static_cast<uint64_t>(n);
    CountedFrame counted{body, {0, 0}, 0};
    CodeFrame& frame = counted.frame;
    QuickRuns& quick = counted.quick;
    // Every run starts with the call stack, the arguments base and the code
    // frames as the loop found them: a run that ends normally leaves them
    // so, and a continue unwinds to them. A run that ends otherwise is
    // followed by linking the frame again.
    frame.prev = code_frame;
    frame.entry_top = stack::call_top;
    CodeRestore restore{code_frame};
    code_frame = &frame;
    Cell* base = stack::arguments;
    KeptPin pin;
    if constexpr (!traced) frame.head = pin.move_to(node_table[frame.code.w2], frame.code.w1);
    for (uint64_t i = 1;; ++i) {
        if (__builtin_expect(i <= quick.last, 1)) {
            quick.set(i);
        } else {
            if (i > last) return;
            if (counter && set_counter(frame, &word, static_cast<int32_t>(i), quick.cell)) quick.last = last;
        }
        stack::top = base;
        bool exit;
        try {
            exit = run_kept<traced>(counted, pin, base, i);
        } catch (const Thrown& t) {
            // (From run_quiet's runs, its number is the run's.)
            if (counted.run > i) i = counted.run;
            take_loop_exit(t);
            exit = true;
        }
        if (__builtin_expect(exit, 0)) {
            if (pending != THROWN_CONTINUE) return;
            pending = 0;
            frame.entry_top = stack::call_top;
            code_frame = &frame;
        }
    }
}
}  // namespace

LoopBody::LoopBody(const Cell* body) : frame_{*body, nullptr, nullptr, nullptr, nullptr} {}

void LoopBody::run() {
    if (tracing) {
        eval_block(&frame_.code, true);
        return;
    }
    SeriesBuffer* buf = node_table[frame_.code.w2];
    Cell* tail = buf->tail_cell();
    Cell* cursor = buf->head_cell() + frame_.code.w1;
    Cell* slot = stack::top;
    if (cursor >= tail) {
        run_empty<false>(frame_, slot);
        return;
    }
    Pin pin(buf);
    {
        CodeLink link(frame_);
        frame_.head = cursor;
        frame_.cursor = cursor;
        if (walk_body<true>(frame_, buf, cursor, tail, slot)) return;
    }
    stack::set_last_keep(slot);
}

void LoopBody::run_counted(int64_t n, const Cell* counter) {
    if (tracing) run_counted_in<true>(frame_, n, counter);
    else run_counted_in<false>(frame_, n, counter);
}

Cell* eval_next(const Cell* code, Cell* cursor, Cell* end, bool sub) {
    stack::mark_interp_native(&words::_body_tag);
    Cell* next = eval_expression(cursor, end, code, false, false, false);
    if (pending) return next;
    if (sub) stack::unwind(); else stack::unwind_last();
    return next;
}

int32_t eval_next_index(Cell* blk) {
    Cell code = *blk;
    Pin pin(&code);  // the cursors below point into the block across the evaluation
    Cell* head = block::rs_head(&code);
    Cell* tail = block::rs_tail(&code);
    if (head >= tail) {
        set_unset(stack::arguments);
        return static_cast<int32_t>(code.w1);
    }
    Cell* next = eval_next(&code, head, tail, false);
    return static_cast<int32_t>(code.w1 + (next - head));
}

Cell* eval_expression(Cell* cursor, Cell* end, const Cell* code, bool prefix, bool sub, bool passive) {
    // Every nesting that marks no frame (parens, assignments, blocks run in
    // a native's frame) passes here: the machine stack bounds it.
    stack::check_machine_stack();
    Cell* start_top = stack::top;
    const Cell* value = cursor;
    if (tracing) trace::event(trace::EV_FETCH, code, cursor, nullptr, value);
    switch (cell::type(value)) {
        case TYPE_PAREN: {
            // Chained, the paren's value lands in the current result slot;
            // unchained it is left pushed, which is what sub asks for.
            eval_block(value, !sub);
            if (pending) return cursor;
            ++cursor;
            break;
        }
        case TYPE_SET_WORD: {
            if (!tracing) {
                // Not necessarily at the start of an expression of the
                // innermost block (do/next, any, all): recorded there.
                Cell sw = *value;
                Assigning assigning(&sw);
                bool quiet;
                cursor = assign(cursor, end, code, stack::top, quiet);
                if (pending) return cursor;
                // The value is at the top the assignment began with.
                if (sub) {
                    stack::top = start_top + 1;
                } else {
                    Cell v = *start_top;
                    stack::top = start_top;
                    stack::set_last_keep(&v);
                }
                break;
            }
            Cell sw = *value;
            trace::event(trace::EV_PUSH, code, cursor, nullptr, &sw);
            ++cursor;
            Cell* slot = stack::top;
            if (cursor >= end) need_value(&sw);
            Assigning assigning(&sw);
            cursor = eval_expression(cursor, end, code, false, true, false);
            if (pending) return cursor;
            Cell v = *slot;
            trace::event(trace::EV_SET, code, cursor, &sw, &v);
            stack::top = slot;
            if (cell::type(&v) == TYPE_UNSET) need_value(&sw);
            set_word(&sw, &v);
            emit(&v, sub);
            break;
        }
        case TYPE_SET_PATH: {
            Cell sp = *value;
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &sp);
            ++cursor;
            if (cursor >= end) fire(ERR_SCRIPT, "need-value", &sp);
            stack::mark_interp_native(&words::_set_path);
            cursor = eval_expression(cursor, end, code, false, true, false);
            if (pending) return cursor;
            if (tracing) trace::event(trace::EV_SET, code, cursor, &sp, stack::arguments);
            eval_path(&sp, cursor, end, code, true, false, true, false);
            if (pending) return cursor;
            if (sub) stack::unwind(); else stack::unwind_last();
            break;
        }
        case TYPE_GET_WORD: {
            Cell v = *word_value(value);
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &v);
            emit(&v, sub);
            ++cursor;
            break;
        }
        case TYPE_LIT_WORD: {
            Cell v = *value;
            cell::set_type(&v, TYPE_WORD);
            cell::clear_new_line(&v);
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &v);
            emit(&v, sub);
            ++cursor;
            break;
        }
        case TYPE_WORD: {
            Cell w = *value;
            ++cursor;
            const Cell* v = word_value(&w);
            switch (cell::type(v)) {
                case TYPE_UNSET: fire(ERR_SCRIPT, "no-value", &w);
                case TYPE_NATIVE:
                case TYPE_ACTION:
                case TYPE_FUNCTION:
                case TYPE_ROUTINE: {
                    Cell fn = *v;
                    cell::clear_new_line(&w);
                    cursor = tracing ? eval_code(&fn, cursor, end, code, sub, nullptr, &w, nullptr, 0, false)
                                     : call_plain(&fn, cursor, end, code, sub, &w);
                    if (pending) return cursor;
                    break;
                }
                case TYPE_OP: fire(ERR_SCRIPT, "no-op-arg", &w);
                default: {
                    Cell copy = *v;
                    if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &copy);
                    emit(&copy, sub);
                }
            }
            break;
        }
        case TYPE_PATH:
        case TYPE_GET_PATH: {
            Cell p = *value;
            cursor = eval_path(&p, cursor + 1, end, code, false, cell::type(&p) == TYPE_GET_PATH, sub, false);
            if (pending) return cursor;
            break;
        }
        case TYPE_LIT_PATH: {
            Cell v = *value;
            cell::set_type(&v, TYPE_PATH);
            cell::clear_new_line(&v);
            v.w3 = 0;
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &v);
            emit(&v, sub);
            ++cursor;
            break;
        }
        case TYPE_OP: fire(ERR_INTERNAL, "not-done");
        case TYPE_NATIVE:
        case TYPE_ACTION:
        case TYPE_FUNCTION:
        case TYPE_ROUTINE: {
            Cell fn = *value;
            if (passive) {
                if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &fn);
                emit(&fn, sub);
                ++cursor;
                break;
            }
            ++cursor;
            cursor = eval_code(&fn, cursor < end ? cursor : end, end, code, sub, nullptr, nullptr, nullptr, 0, false);
            if (pending) return cursor;
            break;
        }
        case TYPE_ISSUE: {
            if (cursor + 1 < end && cell::type(cursor + 1) == TYPE_BLOCK) {
                uint32_t sym = symbol::resolve(value->w2);
                if (sym == words::system_ || sym == words::system_global) fire(ERR_INTERNAL, "zel-system");
            }
            Cell v = *value;
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &v);
            emit(&v, sub);
            ++cursor;
            break;
        }
        default: {
            Cell v = *value;
            if (tracing) trace::event(trace::EV_PUSH, code, cursor, nullptr, &v);
            emit(&v, sub);
            ++cursor;
        }
    }

    if (const Cell* op = prefix ? nullptr : infix_after_eval(code, cursor, end)) {
        cursor = infix_from(cursor, end, code, start_top, sub, op);
        if (pending) return cursor;
    }
    if (tracing && !sub) trace::event(trace::EV_EXPR, code, cursor, nullptr, stack::arguments);
    return cursor;
}

namespace {
inline bool both_integers(const Cell* left) {
    return cell::type(left) == TYPE_INTEGER && cell::type(left + 1) == TYPE_INTEGER;
}

// Marks the operator's frame, which holds its left operand in its first
// cell (as stack::mark_interp_native would with the top at `left`), and
// sets the top to `top`. The left operand is pushed, so the frame's result
// cell needs no room: only the call stack is checked.
[[gnu::always_inline]] inline void mark_operator(const Cell* name, Cell* left, Cell* top) {
    if (__builtin_expect(stack::call_top >= stack::call_end, 0)) {
        stack::top = left;
        stack::overflow(5);
    }
    stack::open_frame_at(left, name->w2, name->w1, FRAME_INTERP_NATIVE);
    stack::top = top;
}

// Unwinds the operator's frame, the top one, its result in its first cell
// at `left` (as stack::unwind or, unless `sub`, stack::unwind_last). The
// frame is read back rather than kept: across the right operand's call,
// the callers keep fewer values in registers.
[[gnu::always_inline]] inline void unwind_operator(Cell* left, bool sub) {
    CallFrame* f = stack::top_frame();
    Cell* base = stack::prev_base(f);
    stack::call_top = f;
    stack::arguments = base;
    if (sub) {
        stack::top = left + 1;
    } else {
        *base = *left;
        stack::top = base + 1;
    }
}

// The operator's own function called on the two operands in its frame,
// which is then unwound. Kept out of line: integers, the common case, are
// combined in place. False when a pending code is left (read here, so that
// the callers keep no address of it across their own calls).
[[gnu::noinline]] bool call_operator(Cell* fn, const Cell* name, bool sub) {
    op_function(fn);
    check_operands(fn, name);
    int32_t refs[MAX_REFS];
    std::fill_n(refs, MAX_REFS, -1);  // the operator's source may read refinements
    call_native(fn, refs);
    if (sub) stack::unwind(); else stack::unwind_last();
    return !pending;
}

// Evaluates an operator's right operand at `rc`, pushed with no further
// operator: `v`, when given, is the callable value of its word (with
// FLAGGED, a function flagged for the plain way, is_flagged_function's:
// the commonest right operand that is called, it is called with none of
// call_plain's tests). Returns the cursor after it.
template <bool FLAGGED = false>
[[gnu::always_inline]] inline Cell* right_operand(Cell* rc, Cell* end, const Cell* code, const Cell* v) {
    if (v) {
        Cell w = *rc;
        cell::clear_new_line(&w);
        return FLAGGED || is_flagged_function(v) ? call_function_flagged(v, rc + 1, end, code, true, &w)
                                              : call_plain(v, rc + 1, end, code, true, &w);
    }
    uint32_t t = cell::type(rc);
    if (t == TYPE_PAREN || t == TYPE_PATH) return nested(rc, end, code, true);
    return eval_expression(rc, end, code, true, true, false);
}

// An operator's right operand that is a paren, at `rc`, as nested takes it;
// one whose first value is a word has its call made in line, as a paren
// that starts an expression of a block's walk has (eval_paren_other: out of
// line, the operator's own code saves no more registers for it; it reads
// the paren's buffer, head and tail from here). Returns the cursor after
// the paren, or at it when an exit is pending. (The machine stack is
// checked before the paren's code frame is linked, so that its overflow is
// reported at the operator's code: eval_paren_other checks it first itself.)
[[gnu::always_inline]] inline Cell* paren_operand(Cell* rc) {
    SeriesBuffer* buf = node_table[rc->w2];
    Cell* head = buf->head_cell() + rc->w1;
    Cell* tail = buf->tail_cell();
    uint32_t t = head < tail ? cell::type(head) : TYPE_NULL;
    if (t == TYPE_WORD) {
        eval_paren_other(rc, buf, head, tail);
    } else {
        stack::check_machine_stack();
        eval_block_other<true>(rc, buf, head, tail);
    }
    return pending ? rc : rc + 1;
}

// Completes the operator whose frame is the top one once its right operand
// is pushed after the left one: two integers are combined in place and the
// frame unwound; anything else goes to the operator's own function. False
// when that left a pending code. With LEFT_INTEGER, the left operand was
// found an integer before the right one was evaluated: it is not tested
// again (no code changes a cell below the frames it runs in).
template <bool LEFT_INTEGER = false>
[[gnu::always_inline]] inline bool operator_done(Cell* fn, const Cell* name, Cell* left, bool sub, int kind) {
    if (LEFT_INTEGER ? cell::type(left + 1) == TYPE_INTEGER : both_integers(left)) {
        combine_integers(kind, left, cell::get_int(left + 1));
        unwind_operator(left, sub);
        return true;
    }
    return call_operator(fn, name, sub);
}

// Applies the operator named at `cursor` to the left operand at `left`: the
// right operand is evaluated (no further operator inside it); two integers
// are combined here, anything else goes to the operator's own function in a
// frame. `fn` is a copy of the op! value. `cursor` moves past the right
// operand; false when the evaluation left a pending code (the cursor is then
// where it stopped).
[[gnu::always_inline]] inline bool infix_call(Cell* fn, const Cell* name, Cell*& cursor, Cell* end,
                                              const Cell* code, Cell* left, bool sub, int kind) {
    Cell* right = left + 1;
    Cell* rc = cursor + 1;
    stack::top = right;
    // The right operand's word is read once, whether its value is taken or called.
    uint32_t t = cell::type(rc);
    const Cell* v = rc;
    bool plain, call;
    if (t == TYPE_WORD) {
        v = bound_value(rc);
        uint32_t vt = v ? cell::type(v) : TYPE_UNSET;  // (neither plain nor callable)
        plain = is_plain_value(vt);
        call = is_callable(vt);
    } else {
        plain = is_literal(t);
        call = false;
    }
    // (A full stack takes the marked way, so its overflow names the operator.)
    if (right < stack::args_end && plain) {
        *right = *v;
        cursor = rc + 1;
        if (both_integers(left)) {
            // Nothing here can fail or call out: the frame is not needed.
            combine_integers(kind, left, cell::get_int(right));
            if (sub) stack::top = right; else stack::set_last_keep(left);
            return true;
        }
        mark_operator(name, left, right + 1);
        return call_operator(fn, name, sub);
    }
    mark_operator(name, left, right);
    // Each argument is checked as it is fetched: a left operand of the
    // wrong type fails before the right one is evaluated.
    if (cell::type(left) != TYPE_INTEGER) {
        Cell f = *fn;
        op_function(&f);
        check_operands(&f, name, 1);
        // Checking may build the operator's list, which may move the
        // values the word was read from.
        if (call) v = bound_value(rc);
    }
    cursor = right_operand(rc, end, code, call ? v : nullptr);
    if (pending) return false;
    return operator_done(fn, name, left, sub, kind);
}

// One operator applied the general way: untraced with a fast operator, by
// infix_call; else its own function is called as eval_code calls one. As
// apply_infix's step, with the cursor at the operator word.
[[gnu::noinline]] Cell* apply_operator(Cell* cursor, Cell* end, const Cell* code, Cell* left, bool sub,
                                       const Cell* op) {
    Cell opw = *cursor;
    if (tracing) trace::event(trace::EV_FETCH, code, cursor, nullptr, &opw);
    int fast = tracing ? 0 : fast_op_kind(op);
    // The op! value is copied before the right operand can change it;
    // its function is taken from it only where it is called.
    Cell fn = *op;
    if (fast && cursor + 1 < end) {
        infix_call(&fn, &opw, cursor, end, code, left, sub, fast);
        return cursor;
    }
    stack::top = left;  // the left operand sits exactly here
    op_function(&fn);
    return eval_code(&fn, cursor + 1, end, code, sub, nullptr, &opw, nullptr, 0, true);
}

// One operator applied, as apply_infix's step, with the cursor at the
// operator word, moved past its right operand; false when a pending code
// ends the evaluation. With LEAN, the caller evaluates untraced and the
// stack has room above `left`: a literal integer right operand is then
// combined here too, as infix_call would combine it. Without, a paren
// right operand goes by paren_operand (LEAN's callers, either's branches,
// keep nested's way: their code was laid out for it).
template <bool LEAN = false>
[[gnu::always_inline]] inline bool infix_step(Cell*& cursor, Cell* end, const Cell* code, Cell* left, bool sub,
                                              const Cell* op) {
    // The commonest case, a fast operator after an integer whose right
    // operand runs code (a flagged function's word, a paren, a path), is
    // taken here, as infix_call would take it: few values stay live across
    // that code, so few registers are saved. The rest goes to
    // apply_operator.
    Cell* rc = cursor + 1;
    const Cell* v = nullptr;
    if ((LEAN || !tracing) && fast_op_kind(op) && rc < end && cell::type(left) == TYPE_INTEGER) {
        uint32_t rt = cell::type(rc);
        if (rt == TYPE_WORD ? (v = bound_value(rc)) && is_flagged_function(v) : rt == TYPE_PAREN || rt == TYPE_PATH) {
            Cell opw = *cursor;
            Cell fn = *op;
            mark_operator(&opw, left, left + 1);
            // (Without a word's value, the operand is a paren or a path:
            // past paren_operand, a path unless LEAN.)
            if (v) cursor = right_operand<true>(rc, end, code, v);
            else if (!LEAN && rt == TYPE_PAREN) cursor = paren_operand(rc);
            else cursor = nested<false, !LEAN>(rc, end, code, true);
            return !pending && operator_done<true>(&fn, &opw, left, sub, fast_op_kind(&fn));
        }
        if (LEAN && rt == TYPE_INTEGER) {
            // (Nothing here can fail or call out: no frame is needed.)
            combine_integers(fast_op_kind(op), left, cell::get_int(rc));
            stack::top = left + 1;
            cursor = rc + 1;
            return true;
        }
    }
    cursor = apply_operator(cursor, end, code, left, sub, op);
    return !pending;
}
// The loop for the other cases (values not pushed, or null code), rare:
// each operator goes to apply_operator, which takes infix_step's fast case
// as well (infix_call).
[[gnu::noinline]] Cell* infix_loop_other(Cell* cursor, Cell* end, const Cell* code, Cell* left, bool sub,
                                         const Cell* op) {
    do {
        cursor = apply_operator(cursor, end, code, left, sub, op);
        if (pending) return cursor;
    } while ((op = infix_after_eval(code, cursor, end)));
    return cursor;
}
}  // namespace

Cell* apply_infix(Cell* cursor, Cell* end, const Cell* code, Cell* left, bool sub, const Cell* op) {
    // The commonest case, values pushed (sub) in code that is a block, is
    // tested once, not after each operand, and neither takes a register
    // across the operands' calls. (`code` is a copy that no evaluation
    // changes: a code frame's, which nothing assigns, or a native's local
    // copy of its block; or null.)
    if (!sub || !code_block(code)) [[unlikely]] return infix_loop_other(cursor, end, code, left, sub, op);
    // Infix operators apply left to right, with no precedence.
    while (infix_step(cursor, end, code, left, true, op) && (op = infix_after_eval<true>(code, cursor, end))) {
    }
    return cursor;
}

namespace {
// (Its own copy of the loop: one that apply_infix shared, GCC split and
// cloned, at a cost to its other callers.)
[[gnu::always_inline]] inline Cell* infix_chain(Cell* cursor, Cell* end, const Cell* code, Cell* left,
                                                const Cell* op) {
    while (infix_step<true>(cursor, end, code, left, true, op) &&
           (op = infix_after_eval<true>(code, cursor, end))) {
    }
    return cursor;
}
}  // namespace

}  // namespace zel::interpreter
