// Reading word values on the interpreter's hot paths.
#pragma once
#include <iterator>
#include <emmintrin.h>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/evaluator/call_flags.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// The value cell of word `w` of the function whose body runs innermost
// (stack::running_ctx), or null when its index lies at or past `top`.
inline Cell* running_slot(const Cell* w, const Cell* top) {
    Cell* slot = stack::running_values + uint64_t{w->w3};
    if (slot >= top) return nullptr;
    // A cell of the stack: callers need not test the slot again.
    if (!slot) __builtin_unreachable();
    return slot;
}

// The value cell of a bound word whose context has its values present, or
// null (no error is raised here).
inline Cell* bound_value(const Cell* w) {
    Node ctx = w->w1;
    // Most words read are global: their values are found without a lookup.
    if (context::reads_global_slot(ctx)) return context::global_slot(w->w3);
    // Next come the words of the function whose body runs innermost, found
    // from where its values start (no body running: past the top for all).
    if (ctx == stack::running_ctx) return running_slot(w, stack::top);
    if (!ctx) return nullptr;
    const Cell* cc = node_table[ctx]->head_cell();
    uint32_t values = cc->w2;
    uint64_t idx = w->w3;
    if (cc->header & FLAG_STACK_VALUES) {
        // `values` is the offset in bytes of the cell after the first value,
        // 0 while no call runs: the offset then wraps to 2^32 - 16, past any
        // stack, as does an unbound word's index (2^32 - 1). One bound test
        // covers the three cases.
        Cell* slot = stack::bottom + idx;
        slot = reinterpret_cast<Cell*>(reinterpret_cast<char*>(slot) + uint64_t{values - uint32_t{sizeof(Cell)}});
        if (slot >= stack::top) return nullptr;
        if (!slot) __builtin_unreachable();
        return slot;
    }
    if (!values) return nullptr;
    SeriesBuffer* b = node_table[values];
    return idx * sizeof(Cell) < b->tail - b->head ? b->head_cell() + idx : nullptr;
}

// The value cell of a word; the general lookup (with its errors) when the
// word is not bound to a context with values.
inline Cell* word_value(const Cell* w) {
    Cell* v = bound_value(w);
    return v ? v : context::get(w);
}

// The op! value a word refers to, or null. Raises nothing. (Always in
// line: it is read after every value, and GCC's budget would otherwise
// leave it out of line in the larger callers.)
// With `seen`, the value read is also given there when it is no operator
// (`seen` is left alone when the cell is no word): a caller that evaluates
// the word next, with no code run meanwhile, need not look it up again.
[[gnu::always_inline]] inline const Cell* infix_op(const Cell* w, const Cell*& seen) {
    if (cell::type(w) != TYPE_WORD) return nullptr;
    const Cell* v = bound_value(w);
    if (v && cell::type(v) == TYPE_OP) return v;
    seen = v;
    return nullptr;
}
[[gnu::always_inline]] inline const Cell* infix_op(const Cell* w) {
    const Cell* seen;
    return infix_op(w, seen);
}

// The op! value of the operator word at `cursor` (before `end`), or null.
[[gnu::always_inline]] inline const Cell* infix_follows(const Cell* cursor, const Cell* end) {
    return cursor < end ? infix_op(cursor) : nullptr;
}

// Where the code ends now, after an evaluation that may have changed it:
// never beyond `end`, the end it had when read. Values removed meanwhile
// are not read (the cells past the tail are stale copies); values added
// wait for the next run. Code whose series has moved to a new buffer goes
// on reading the old one, which keeps its values, up to `end`.
// block_end_now is for code known to be a block (code_block): its type
// cannot change meanwhile, `code` being a copy (see apply_infix).
inline Cell* block_end_now(const Cell* code, Cell* end) {
    SeriesBuffer* b = node_table[code->w2];
    Cell* tail = b->tail_cell();
    if (tail >= end || end > reinterpret_cast<Cell*>(b->end_ptr())) return end;
    return tail;
}
inline bool code_block(const Cell* code) { return code && series::any_block(cell::type(code)); }
inline Cell* end_now(const Cell* code, Cell* end) { return code_block(code) ? block_end_now(code, end) : end; }
// The operator after a value just evaluated: the evaluation may have
// removed it from the code. (The cell is read before the end is: it stays
// in the pinned buffer either way, and a word that is no operator ends the
// expression whether or not it was removed.)
// `seen` as for infix_op. With BLOCK, `code` is known to be a block.
template <bool BLOCK = false>
[[gnu::always_inline]] inline const Cell* infix_after_eval(const Cell* code, const Cell* cursor, Cell*& end,
                                                           const Cell*& seen) {
    const Cell* op = cursor < end ? infix_op(cursor, seen) : nullptr;
    if (!op) return nullptr;
    end = BLOCK ? block_end_now(code, end) : end_now(code, end);
    return cursor < end ? op : nullptr;
}
template <bool BLOCK = false>
inline const Cell* infix_after_eval(const Cell* code, const Cell* cursor, Cell*& end) {
    const Cell* seen;
    return infix_after_eval<BLOCK>(code, cursor, end, seen);
}

constexpr uint64_t type_bit(uint32_t t) { return uint64_t{1} << t; }
// The datatypes whose values are called when code meets them.
constexpr uint64_t CALLABLE_TYPES =
    type_bit(TYPE_NATIVE) | type_bit(TYPE_ACTION) | type_bit(TYPE_FUNCTION) | type_bit(TYPE_ROUTINE);
// The datatypes whose values evaluate to something else than themselves.
constexpr uint64_t ACTIVE_TYPES = CALLABLE_TYPES | type_bit(TYPE_PAREN) | type_bit(TYPE_SET_WORD) |
                                  type_bit(TYPE_SET_PATH) | type_bit(TYPE_GET_WORD) | type_bit(TYPE_LIT_WORD) |
                                  type_bit(TYPE_WORD) | type_bit(TYPE_PATH) | type_bit(TYPE_GET_PATH) |
                                  type_bit(TYPE_LIT_PATH) | type_bit(TYPE_OP) | type_bit(TYPE_ISSUE);
// A word's values that are simply taken: not unset, not a function, not an operator.
constexpr uint64_t NOT_PLAIN_TYPES = CALLABLE_TYPES | type_bit(TYPE_NULL) | type_bit(TYPE_DATATYPE) |
                                     type_bit(TYPE_UNSET) | type_bit(TYPE_OP);
static_assert(TYPE_EVENT < 64, "the type masks hold every datatype");

// Values that evaluate to themselves.
inline bool is_literal(uint32_t t) { return t >= 64 || !((ACTIVE_TYPES >> t) & 1); }

// Sets a word's value. A word of a function or the global context is
// written in place; objects (whose fields may be watched) and unbound words
// take the general path.
void set_word_slow(Cell* w, const Cell* v);
// The cell set_word writes a word's value to in place, or null when the
// word takes the general path.
inline Cell* slot_to_set(const Cell* w) {
    Cell* slot = bound_value(w);
    if (slot && (context::reads_global_slot(w->w1) ||
                 context::kind_of(node_table[w->w1]->head_cell()) != context::KIND_OBJECT))
        return slot;
    return nullptr;
}
inline void set_word(Cell* w, const Cell* v) {
    if (Cell* slot = slot_to_set(w)) *slot = *v; else set_word_slow(w, v);
}

// The values a word or path calls when it meets them.
inline bool is_callable(uint32_t t) { return t < 64 && ((CALLABLE_TYPES >> t) & 1); }

// A word's value that is simply taken: not unset, not a function, not an operator.
inline bool is_plain_value(uint32_t t) { return t >= 64 || !((NOT_PLAIN_TYPES >> t) & 1); }

// The value of an operand that needs no evaluation step (a literal, or a
// bound word whose value is plain), or null when the operand must go
// through eval_expression. Untraced only.
[[gnu::always_inline]] inline const Cell* plain_operand(const Cell* cursor) {
    uint32_t t = cell::type(cursor);
    if (is_literal(t)) return cursor;
    if (t != TYPE_WORD) return nullptr;
    const Cell* v = bound_value(cursor);
    return v && is_plain_value(cell::type(v)) ? v : nullptr;
}

// Pushes the value of such an operand and returns true; false (nothing
// pushed) when the operand must go through eval_expression.
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

// Operators whose two integer operands are combined in place, without a
// call: add, subtract, multiply and the comparisons, each with its own code
// so that one switch combines them. FAST_NONE for any other function.
// A comparison's code is FAST_COMPARE with, in bits 0 to 2, the outcomes of
// comparing a with b (less, equal, greater) that make it true: its truth is
// read from its code itself, with no table to decode it by.
enum FastOp {
    FAST_NONE,
    FAST_ADD,
    FAST_SUB,
    FAST_MUL,
    FAST_COMPARE = 8,
};
// The outcomes that make each comparison native true, in the order of their
// slots (equal, not-equal, strict-equal, lesser, greater, lesser-or-equal,
// greater-or-equal).
constexpr uint32_t COMPARISON_TRUTHS[] = {0b010, 0b101, 0b010, 0b001, 0b100, 0b011, 0b110};
static_assert(natives::NATIVE_GREATER_EQUAL - natives::NATIVE_EQUAL + 1 == std::size(COMPARISON_TRUTHS),
              "a comparison's truths follow its native's slot");
// The fast code of an operator's function: `fn_type` its type (restored),
// `slot` its native or action slot.
inline int fast_op_kind(uint32_t fn_type, uint32_t slot) {
    if (fn_type == TYPE_NATIVE) {
        uint32_t k = slot - natives::NATIVE_EQUAL;
        return k < std::size(COMPARISON_TRUTHS) ? FAST_COMPARE | static_cast<int>(COMPARISON_TRUTHS[k]) : FAST_NONE;
    }
    if (fn_type != TYPE_ACTION) return FAST_NONE;
    switch (slot) {
        case ACT_ADD: return FAST_ADD;
        case ACT_SUBTRACT: return FAST_SUB;
        case ACT_MULTIPLY: return FAST_MUL;
        default: return FAST_NONE;
    }
}
// The same for an op! value, which keeps it in its header when made: none
// unless its source's spec takes integers for both operands.
inline int fast_op_kind(const Cell* op) { return static_cast<int>((op->header & op::FAST_MASK) >> op::FAST_SHIFT); }
static_assert((FAST_COMPARE | 7) <= 15, "a fast code fits the op! header");

// The truth of comparison `kind` (FAST_COMPARE and after) between a and b;
// compare_integers sets `left` to it.
inline bool comparison_holds(int kind, int64_t a, int64_t b) {
    // The outcome's bit, made without a shift by a register (which would
    // tie the code's register down): 1, 2 or 4.
    uint32_t outcome = 1 + static_cast<uint32_t>(a >= b) + 2 * static_cast<uint32_t>(a > b);
    return (static_cast<uint32_t>(kind) & outcome) != 0;
}
inline void compare_integers(int kind, Cell* left, int64_t a, int64_t b) {
    set_logic(left, comparison_holds(kind, a, b));
}

// Combines two integers into `left` by the operator's fast code. The result
// of an overflow is the exact value as a float!. Add and subtract, the
// commonest, are tested first, and a comparison reads its truth from its
// own code: both cheaper than a jump through a table of cases. `a32` is the
// left operand, which may be read from elsewhere. (Always in line: the
// argument fetch's two one-argument ways would leave it out of line, a call
// per operator.)
[[gnu::always_inline]] inline void combine_integers(int kind, Cell* left, int32_t a32, int32_t b32) {
    int32_t r;
    bool over;
    if (kind == FAST_ADD) {
        over = __builtin_add_overflow(a32, b32, &r);
    } else if (kind == FAST_SUB) {
        over = __builtin_sub_overflow(a32, b32, &r);
    } else if (kind == FAST_MUL) {
        over = __builtin_mul_overflow(a32, b32, &r);
    } else {
        compare_integers(kind, left, a32, b32);
        return;
    }
    if (!over) [[likely]] {
        set_integer(left, r);
        return;
    }
    // The exact result, which 64 bits hold.
    int64_t a = a32, b = b32;
    set_float(left, static_cast<double>(kind == FAST_ADD ? a + b : kind == FAST_SUB ? a - b : a * b));
}
// The integer result of add, subtract or multiply (`kind`) of a and b in
// `r`; false for another operator or an overflow (combine_integers then).
[[gnu::always_inline]] inline bool integer_result(int kind, int32_t a, int32_t b, int32_t& r) {
    if (kind == FAST_ADD) return !__builtin_add_overflow(a, b, &r);
    if (kind == FAST_SUB) return !__builtin_sub_overflow(a, b, &r);
    if (kind == FAST_MUL) return !__builtin_mul_overflow(a, b, &r);
    return false;
}
// An integer cell made in one register, to be stored whole: a cell stored
// in parts and soon copied whole makes the copy's load wait until the parts
// reach the cache.
inline __m128i whole_integer(int32_t i) {
    return _mm_set_epi64x(static_cast<long long>(static_cast<uint32_t>(i)), TYPE_INTEGER);
}
inline void store_whole(Cell* c, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(c), v); }
[[gnu::always_inline]] inline void combine_integers(int kind, Cell* left, int32_t b32) {
    combine_integers(kind, left, cell::get_int(left), b32);
}

// The right operand of the operator at `cursor` when both its operands are
// integers: the cell after the operator, or the value of the word there;
// null otherwise. `left` is the left operand.
[[gnu::always_inline]] inline const Cell* integer_right_operand(const Cell* cursor, const Cell* end,
                                                                const Cell* left) {
    if (cell::type(left) != TYPE_INTEGER) return nullptr;
    const Cell* r = cursor + 1;
    if (r >= end) return nullptr;
    // A literal integer, the commoner, is tested first.
    if (cell::type(r) == TYPE_INTEGER) return r;
    if (cell::type(r) != TYPE_WORD) return nullptr;
    r = bound_value(r);
    return r && cell::type(r) == TYPE_INTEGER ? r : nullptr;
}

// Applies the operator `op` (the op! value of the word at `cursor`) to an
// integer left operand and a right operand that is an integer or a word
// holding one, in place; returns the cursor after the right operand, or
// null (nothing done) when the case is not this simple one. Untraced only.
// With `from`, the left operand is read there and the result written at
// `left` (nothing written when the case is not the simple one).
[[gnu::always_inline]] inline Cell* integer_infix(Cell* cursor, Cell* end, Cell* left, const Cell* op,
                                                  const Cell* from) {
    const Cell* r = integer_right_operand(cursor, end, from);
    if (!r) return nullptr;
    int kind = fast_op_kind(op);
    if (!kind) return nullptr;
    combine_integers(kind, left, cell::get_int(from), cell::get_int(r));
    return cursor + 2;
}
[[gnu::always_inline]] inline Cell* integer_infix(Cell* cursor, Cell* end, Cell* left, const Cell* op) {
    return integer_infix(cursor, end, left, op, left);
}

// The cell the word of the set-word at `at` is set through in place, when
// it is a global word or one of the function running innermost, whose value
// lies below `top` (a function's context is never an object's); null for
// any other word, which is set the general way.
[[gnu::always_inline]] inline Cell* in_place_target(const Cell* at, const Cell* top) {
    Node ctx = at->w1;
    if (context::reads_global_slot(ctx)) return context::global_slot(at->w3);
    return ctx == stack::running_ctx ? running_slot(at, top) : nullptr;
}

// Applies the operators that follow a left operand (as apply_infix), the
// simple integer ones in place here, for a caller that evaluates untraced.
// (Tracing cannot begin meanwhile: a traced run, and a function's own
// switch of it, begin and end within one call.) When an operand was
// evaluated, `end` becomes the code's end as the evaluation left it.
[[gnu::always_inline]] inline Cell* infix_from_plain(Cell* cursor, Cell*& end, const Cell* code, Cell* left, bool sub,
                                                     const Cell* op) {
    while (Cell* next = integer_infix(cursor, end, left, op)) {
        cursor = next;
        if (sub) stack::top = left + 1; else stack::set_last_keep(left);
        if (!(op = infix_follows(cursor, end))) return cursor;
    }
    cursor = apply_infix(cursor, end, code, left, sub, op);
    end = end_now(code, end);
    return cursor;
}
// The same for any caller, traced or not.
[[gnu::always_inline]] inline Cell* infix_from(Cell* cursor, Cell*& end, const Cell* code, Cell* left, bool sub,
                                               const Cell* op) {
    if (!tracing) return infix_from_plain(cursor, end, code, left, sub, op);
    cursor = apply_infix(cursor, end, code, left, sub, op);
    end = end_now(code, end);
    return cursor;
}

// The operators after a call (untraced) whose value lies at `start`, the
// code read on from `cursor`, the cursor the call returned. `seen` as for
// infix_after_eval.
[[gnu::always_inline]] inline Cell* operators_after_call(Cell* start, Cell* cursor, Cell* end, const Cell* code,
                                                         const Cell*& seen) {
    // The end of the code is tested before the pending code: no operator
    // can follow there, and every caller looks at the pending code itself
    // (so that one after the last expression of a block is told once).
    if (cursor >= end || pending) return cursor;
    if (const Cell* op = infix_after_eval(code, cursor, end, seen))
        cursor = infix_from_plain(cursor, end, code, start, true, op);
    return cursor;
}

// Calls the callable `fn` named by the word at `cursor` (untraced), its
// value pushed, then applies the operators that follow unless `prefix`.
// `seen` as for infix_after_eval: the value of the word that follows the
// call when it is no operator (left alone otherwise). CALL is call_plain,
// or the way of it that a caller has picked for `fn`. With DIRECT, a
// function flagged for the plain way (FLAG_PLAIN_CALL, the commonest
// callable a paren starts with) is called with none of CALL's tests.
using PlainCall = Cell* (*)(const Cell*, Cell*, Cell*, const Cell*, bool, const Cell*);
template <PlainCall CALL = call_plain, bool DIRECT = false>
[[gnu::always_inline]] inline Cell* call_named(Cell* cursor, const Cell* fn_value, Cell* end, const Cell* code,
                                               bool prefix, const Cell*& seen) {
    Cell* start = stack::top;
    Cell w = *cursor;
    cell::clear_new_line(&w);
    // call_plain copies the callable before anything can move it.
    if (DIRECT && is_flagged_function(fn_value))
        cursor = call_function_flagged(fn_value, cursor + 1, end, code, true, &w);
    else
        cursor = CALL(fn_value, cursor + 1, end, code, true, &w);
    if (prefix) return cursor;
    return operators_after_call(start, cursor, end, code, seen);
}
[[gnu::always_inline]] inline Cell* call_named(Cell* cursor, const Cell* fn_value, Cell* end, const Cell* code,
                                               bool prefix) {
    const Cell* seen;
    return call_named(cursor, fn_value, end, code, prefix, seen);
}

// The commonest expression: a word naming a callable, called at once
// (untraced). Returns null (nothing done) when the cell is not such a word.
[[gnu::always_inline]] inline Cell* call_word(Cell* cursor, Cell* end, const Cell* code, bool prefix) {
    if (cell::type(cursor) != TYPE_WORD) return nullptr;
    const Cell* v = bound_value(cursor);
    if (!v || !is_callable(cell::type(v))) return nullptr;
    return call_named(cursor, v, end, code, prefix);
}

}  // namespace zel::interpreter
