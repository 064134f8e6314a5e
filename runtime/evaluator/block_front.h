// The front of a block's evaluation, in line in its callers: a function's
// body and a paren mostly start with a call, which is then made without
// eval_block_at's own call and register saves.
#pragma once
#include "runtime/cell.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/signals.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// A block's walk after its first expression, made before it (by a front):
// the walk goes on from `cursor` when the block has more, its code frame
// `frame` and its pinned buffer `buf` as eval_block_at makes them, `slot`
// where each value lands and `seen` as walk_rest takes it; else the block's
// end is met as the walk meets it.
[[gnu::always_inline]] inline void walk_on(CodeFrame& frame, SeriesBuffer* buf, Cell* cursor, Cell* tail, Cell* slot,
                                           const Cell* seen) {
    if (cursor >= tail) [[likely]] {
        if (__builtin_expect(signalled(), 0)) serve_block_end();
        return;
    }
    walk_rest(frame, buf, cursor, tail, slot, seen);
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
// paren), one whose first value is a path to eval_paren_path.
template <bool PATHS>
[[gnu::always_inline]] inline void eval_block_front(const Cell* code) {
    SeriesBuffer* buf = node_table[code->w2];
    Cell* head = buf->head_cell() + code->w1;
    Cell* tail = buf->tail_cell();
    const Cell* v;
    if (head < tail && cell::type(head) == TYPE_WORD && (v = bound_value(head))) [[likely]] {
        uint32_t vt = cell::type(v);
        if (!is_callable(vt)) [[unlikely]] {
            eval_block_word<PATHS>(code, buf, head, tail, v);
            return;
        }
        Cell* slot = stack::top;
        Pin pin(buf);
        CodeScope scope(*code, head);
        const Cell* seen = nullptr;
        Cell* cursor = call_named(head, v, tail, &scope.frame.code, false, seen);
        walk_on(scope.frame, buf, cursor, tail, slot, seen);
        return;
    }
    eval_block_other<PATHS>(code, buf, head, tail);
}

}  // namespace zel::interpreter
