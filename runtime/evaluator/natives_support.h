// Small helpers shared by the natives: their arguments, evaluating blocks
// into their frame, running loop bodies, and exits in progress.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::natives {

// Argument n of the current call (0-based from the frame's base).
inline Cell* arg(int n) { return stack::arguments + n; }

// The current call's result.
inline void result(const Cell* v) { stack::set_last_keep(v); }
inline void result_none() {
    set_none(stack::arguments);
    stack::keep();
}
inline void result_unset() {
    set_unset(stack::arguments);
    stack::keep();
}
inline void result_logic(bool b) {
    set_logic(stack::arguments, b);
    stack::keep();
}

// Evaluates a block with its last value chained into the current call's
// result slot; false when an exit is now pending (the caller must return at
// once, touching neither stack).
inline bool run(const Cell* blk) {
    Cell b = *blk;
    interpreter::eval_block(&b, true);
    return interpreter::pending == 0;
}

// Marks a loop's frame and makes its result unset. A full stack raises
// stack-overflow here rather than taking the cell past its end.
inline void mark_loop_unset() {
    stack::mark_loop(&words::_body_tag);
    set_unset(stack::push_new());
    stack::top = stack::arguments;
}

// Evaluates a block chained into the current frame; a break or continue
// that arrives as an exception becomes the pending code, like one that did not.
inline void eval_loop_block(const Cell* blk) {
    Cell b = *blk;
    try {
        interpreter::eval_block(&b, true);
    } catch (const Thrown& t) {
        interpreter::take_loop_exit(t);
    }
}

// The same for a loop's body run by a LoopBody.
inline void eval_loop_block(interpreter::LoopBody& body) {
    try {
        body.run();
    } catch (const Thrown& t) {
        interpreter::take_loop_exit(t);
    }
}

enum Iteration { ITER_NEXT, ITER_CONTINUE, ITER_BREAK, ITER_EXIT };
// Runs one iteration of a loop body (the loop frame is the current frame):
// ITER_BREAK when a break ended the loop (the loop frame's result set),
// ITER_EXIT when another exit is pending, ITER_CONTINUE after a continue,
// ITER_NEXT otherwise.
inline Iteration run_body(interpreter::LoopBody& body) {
    eval_loop_block(body);
    if (!interpreter::pending) return ITER_NEXT;
    switch (interpreter::pending) {
        case THROWN_BREAK: interpreter::pending = 0; return ITER_BREAK;
        case THROWN_CONTINUE: interpreter::pending = 0; return ITER_CONTINUE;
        default: return ITER_EXIT;
    }
}

// The truth of a value: only none and false are false.
inline bool truthy(const Cell* v) {
    uint32_t t = cell::type(v);
    return !(t == TYPE_NONE || (t == TYPE_LOGIC && v->w1 == 0));
}
// The truth of a condition that must have a value (while, until, case).
bool truthy_checked(const Cell* v);

// Forms a value into a new string! written to `out`.
void form_into(const Cell* value, Cell* out);
// Evaluates every expression of a block, pushing the values, and makes them
// a new block in `out`; false when an exit is pending.
bool reduce_into(const Cell* blk, Cell* out);
// The same into `target` (rooted by the caller), each value appended as it
// is made, or with `insert` inserted at the target's position, which moves
// past it. A value goes in without its new-line flag.
bool reduce_to(const Cell* blk, Cell* target, bool insert);
void add_reduced(Cell* target, const Cell* value, bool insert);

}  // namespace zel::natives
