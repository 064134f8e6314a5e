// The front of a block's evaluation, in line in its callers: a function's
// body and a paren mostly start with a call, which is then made without
// eval_block_at's own call and register saves.
#pragma once
#include "runtime/cell.h"
#include "runtime/evaluator/call_flags.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/signals.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// call_plain's way for a control native flagged FLAG_PLAIN_CONTROL (see
// calls_fetch.h), CONTROL 2 for either, 1 for if and unless.
template <int CONTROL>
Cell* call_control_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// The same for an if or unless, whose branch not taken ends it at once
// (see calls_fetch.h).
Cell* call_if_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);

// A block's walk after its first expression, made before it (by a front):
// the walk goes on from `cursor` when the block has more, its code frame
// `frame` and its pinned buffer `buf` as eval_block_at makes them, `slot`
// where each value lands and `seen` as walk_rest takes it; else the block's
// end is met as the walk meets it. False when the end was met with
// signalled() clear (no exit pending), as eval_block_front tells it.
[[gnu::always_inline]] inline bool walk_on(CodeFrame& frame, SeriesBuffer* buf, Cell* cursor, Cell* tail, Cell* slot,
                                           const Cell* seen) {
    if (cursor >= tail) [[likely]] {
        if (!__builtin_expect(signalled(), 0)) return false;
        serve_block_end();
        return true;
    }
    walk_rest(frame, buf, cursor, tail, slot, seen);
    return true;
}

// eval_block_at(code, buf, head), `tail` the end of the block's buffer; with
// PATHS (a paren), a block whose first value is a path goes to eval_paren_path.
template <bool PATHS>
[[gnu::always_inline]] inline void eval_block_other(const Cell* code, SeriesBuffer* buf, Cell* head, Cell* tail) {
    if (PATHS && head < tail && cell::type(head) == TYPE_PATH) eval_paren_path(code, buf, head);
    else eval_block_at(code, buf, head);
}

// eval_block_at(code, buf, head) for a block whose first value, at `head`,
// is a word whose value `v` is no callable. A block of that word alone
// whose value is taken as it is (`[x]`) pushes `v`, as eval_block_at would
// push it (nothing can fail: the stack has room). Out of line: the
// callers' own code stays as it was for their commoner blocks.
template <bool PATHS>
[[gnu::noinline]] void eval_block_word(const Cell* code, SeriesBuffer* buf, Cell* head, Cell* tail, const Cell* v) {
    if (head + 1 != tail || !is_plain_value(cell::type(v)) || stack::top >= stack::args_end) [[unlikely]]
        return eval_block_other<PATHS>(code, buf, head, tail);
    *stack::top++ = *v;
    if (__builtin_expect(signalled(), 0)) serve_block_end();
}

// eval_block_plain(code). A block whose first value is a word naming a
// callable (no value taken as it is, so it needs the code frame and the
// pin) has that call made here, as eval_block_at's walk would make it; the
// expressions after it, when there are any, are walked by walk_rest. One
// whose first value is another word goes to eval_block_word, with the
// word's value. Any other block goes to eval_block_at; with PATHS (a
// paren), one whose first value is a path to eval_paren_path. A function's
// body (not PATHS) mostly starts with if, unless or either, and a paren
// with a function's call: flagged for their plain ways, they are called by
// them here, with no call_plain between. `head` and `tail` are the block's
// in `buf`, as the caller read them.
template <bool PATHS>
[[gnu::always_inline]] inline bool eval_block_front_at(const Cell* code, SeriesBuffer* buf, Cell* head, Cell* tail) {
    const Cell* v;
    if (head < tail && cell::type(head) == TYPE_WORD && (v = bound_value(head))) [[likely]] {
        uint32_t vt = cell::type(v);
        if (!is_callable(vt)) [[unlikely]] {
            eval_block_word<PATHS>(code, buf, head, tail, v);
            return true;
        }
        // (Either is the one flagged without FLAG_PLAIN_IF. The header is
        // read before the pin's and the code frame's stores.)
        constexpr uint32_t either = TYPE_NATIVE | FLAG_PLAIN_CONTROL;
        constexpr uint32_t function = TYPE_FUNCTION | FLAG_PLAIN_CALL;
        uint32_t shape = v->header & (CELL_TYPE_MASK | FLAG_PLAIN_CONTROL | FLAG_PLAIN_IF);
        Cell* slot = stack::top;
        Pin pin(buf);
        CodeScope scope(*code, head);
        const Cell* seen = nullptr;
        Cell* cursor;
        if (!PATHS && shape == either)
            cursor = call_named<call_control_plain<2>>(head, v, tail, &scope.frame.code, false, seen);
        else if (!PATHS && shape == (either | FLAG_PLAIN_IF))
            cursor = call_named<call_if_plain>(head, v, tail, &scope.frame.code, false, seen);
        else if (PATHS && (shape & ~FLAG_PLAIN_REST) == function)
            cursor = call_named<call_function_flagged>(head, v, tail, &scope.frame.code, false, seen);
        else
            cursor = call_named(head, v, tail, &scope.frame.code, false, seen);
        return walk_on(scope.frame, buf, cursor, tail, slot, seen);
    }
    eval_block_other<PATHS>(code, buf, head, tail);
    return true;
}
template <bool PATHS>
[[gnu::always_inline]] inline bool eval_block_front(const Cell* code, SeriesBuffer* buf) {
    return eval_block_front_at<PATHS>(code, buf, buf->head_cell() + code->w1, buf->tail_cell());
}
template <bool PATHS>
[[gnu::always_inline]] inline bool eval_block_front(const Cell* code) {
    return eval_block_front<PATHS>(code, node_table[code->w2]);
}

}  // namespace zel::interpreter
