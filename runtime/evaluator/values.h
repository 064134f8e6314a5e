// Reading word values on the interpreter's hot paths.
#pragma once
#include "runtime/cell.h"
#include "runtime/datatypes/context.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// The value cell of a bound word whose context has its values present, or
// null (no error is raised here).
inline Cell* bound_value(const Cell* w) {
    Node ctx = w->w1;
    uint32_t idx = w->w3;
    if (ctx == context::global && ctx) {
        // The global context: its values node is known, one lookup less.
        SeriesBuffer* g = node_table[context::global_values];
        return uint64_t{idx} * sizeof(Cell) < g->tail - g->head ? g->head_cell() + idx : nullptr;
    }
    if (!ctx || idx == 0xFFFFFFFFu) return nullptr;
    const Cell* cc = node_table[ctx]->head_cell();
    uint32_t values = cc->w2;
    if (!values) return nullptr;
    if (cc->header & FLAG_STACK_VALUES) {
        Cell* slot = stack::values_at(values) + idx;
        return slot < stack::top ? slot : nullptr;
    }
    SeriesBuffer* b = node_table[values];
    return uint64_t{idx} * sizeof(Cell) < b->tail - b->head ? b->head_cell() + idx : nullptr;
}

// The value cell of a word; the general lookup (with its errors) when the
// word is not bound to a context with values.
inline Cell* word_value(const Cell* w) {
    Cell* v = bound_value(w);
    return v ? v : context::get(w);
}

// The op! value a word refers to, or null. Raises nothing.
inline const Cell* infix_op(const Cell* w) {
    if (cell::type(w) != TYPE_WORD) return nullptr;
    const Cell* v = bound_value(w);
    return v && cell::type(v) == TYPE_OP ? v : nullptr;
}

// The op! value of the operator word at `cursor` (before `end`), or null.
inline const Cell* infix_follows(const Cell* cursor, const Cell* end) { return cursor < end ? infix_op(cursor) : nullptr; }

// Values that evaluate to themselves.
inline bool is_literal(uint32_t t) {
    switch (t) {
        case TYPE_PAREN: case TYPE_SET_WORD: case TYPE_SET_PATH: case TYPE_GET_WORD: case TYPE_LIT_WORD:
        case TYPE_WORD: case TYPE_PATH: case TYPE_GET_PATH: case TYPE_LIT_PATH: case TYPE_OP: case TYPE_NATIVE:
        case TYPE_ACTION: case TYPE_FUNCTION: case TYPE_ROUTINE: case TYPE_ISSUE:
            return false;
        default:
            return true;
    }
}

// Sets a word's value. A word of a function or the global context is
// written in place; objects (whose fields may be watched) and unbound words
// take the general path.
void set_word_slow(Cell* w, const Cell* v);
inline void set_word(Cell* w, const Cell* v) {
    Cell* slot = bound_value(w);
    if (slot && context::kind_of(node_table[w->w1]->head_cell()) != context::KIND_OBJECT) *slot = *v;
    else set_word_slow(w, v);
}

// The values a word or path calls when it meets them.
inline bool is_callable(uint32_t t) {
    return t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_FUNCTION || t == TYPE_ROUTINE;
}

// A word's value that is simply taken: not unset, not a function, not an operator.
inline bool is_plain_value(uint32_t t) { return t > TYPE_UNSET && t != TYPE_OP && !is_callable(t); }

// Pushes the value of an operand that needs no evaluation step (a literal,
// or a bound word whose value is plain) and returns true; false (nothing
// pushed) when the operand must go through eval_expression. Untraced only.
[[gnu::always_inline]] inline bool push_simple(const Cell* cursor) {
    uint32_t t = cell::type(cursor);
    if (is_literal(t)) {
        stack::push(cursor);
        return true;
    }
    if (t != TYPE_WORD) return false;
    const Cell* v = bound_value(cursor);
    if (!v || !is_plain_value(cell::type(v))) return false;
    stack::push(v);
    return true;
}

}  // namespace zel::interpreter
