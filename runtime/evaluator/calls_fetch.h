// What the plain call route (calls_plain.cpp) and the route of the control
// natives (calls_control.cpp) share: the fetch of leading arguments by a
// list's summary, and the ways between the two files. The control route
// lives apart so that its code does not compete with the function calls'
// for GCC's inlining budget.
#pragma once
#include <bit>
#include <cstddef>
#include <cstring>
#include "runtime/cell.h"
#include "runtime/collector.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// What a call by a path keeps while an argument's code runs, and only
// then (nothing else can move or free a buffer): the descriptors of the
// callable, and the buffer the path had when the call began, both read by
// address; the path's cell rooted as well (the code may drop the path from
// the block it was read from).
struct PathKeep {
    SeriesBuffer* list;
    SeriesBuffer* path_buf;
    Cell* path;
};
// Keeps what a PathKeep holds for a scope, when ON. (In line from the
// start: the budget GCC leaves for its own choices in the callers' files
// then stays as it was.)
template <bool ON>
class PathKept {
public:
    [[gnu::always_inline]] explicit PathKept(const PathKeep&) {}
};
template <>
class PathKept<true> {
public:
    [[gnu::always_inline]] explicit PathKept(const PathKeep& k)
        : list_(k.list), path_buf_(k.path_buf), path_(k.path) {
        ++list_->pins;
        ++path_buf_->pins;
        collector::push_root(path_);
    }
    [[gnu::always_inline]] ~PathKept() {
        collector::pop_root(path_);
        --path_buf_->pins;
        --list_->pins;
    }
    PathKept(const PathKept&) = delete;
    PathKept& operator=(const PathKept&) = delete;

private:
    SeriesBuffer* list_;
    SeriesBuffer* path_buf_;
    Cell* path_;
};
// What pins `list` for a scope when ON: PinIf for a descriptors' buffer,
// PathKept for a PathKeep.
template <bool ON, class L>
struct KeepOf {
    using type = PinIf<ON>;
};
template <bool ON>
struct KeepOf<ON, PathKeep> {
    using type = PathKept<ON>;
};
template <bool ON, class L>
using KeepIf = typename KeepOf<ON, L>::type;

// Where operators_rest stopped, and the code's end as an operator applied
// the general way left it (null when all were integer ones).
struct AfterOperators {
    Cell* cursor;
    Cell* end;
};
// operators_on's work past its first integer operator, out of line: the
// operators after it, or one it could not combine.
[[gnu::noinline]] inline AfterOperators operators_rest(Cell* cursor, Cell* end, const Cell* code, Cell* slot,
                                                       const Cell* op) {
    while (Cell* next = integer_infix(cursor, end, slot, op)) {
        cursor = next;
        if (!(op = infix_follows(cursor, end))) return {cursor, nullptr};
    }
    cursor = apply_infix(cursor, end, code, slot, true, op);
    return {cursor, end_now(code, end)};
}
// The same with the buffer `list` pinned meanwhile, or what a PathKeep
// holds kept (out of line, as is the pin's way out on an error).
[[gnu::noinline]] inline AfterOperators operators_rest_pinned(SeriesBuffer* list, Cell* cursor, Cell* end,
                                                              const Cell* code, Cell* slot, const Cell* op) {
    Pin pin(list);
    return operators_rest(cursor, end, code, slot, op);
}
[[gnu::noinline]] inline AfterOperators operators_rest_pinned(const PathKeep& keep, Cell* cursor, Cell* end,
                                                              const Cell* code, Cell* slot, const Cell* op) {
    PathKept<true> kept(keep);
    return operators_rest(cursor, end, code, slot, op);
}

// The operators that follow an argument pushed at `slot`, the top cell
// (as infix_from); `stop` is set when one applied the general way leaves an
// exit pending. The integer ones, combined here, never do: their callers
// then need not look at the pending code again. They leave the result in
// the top cell, as they found it. One integer operator, the commonest
// case, is combined in line. `list` as for fetch_leading. `general` is set
// when an operator was applied the general way. Untraced, as fetch_leading
// is: tracing cannot begin meanwhile (a traced run, and a function's own
// switch of it, begin and end within one call).
template <bool PIN, class L>
[[gnu::always_inline]] inline Cell* operators_on(Cell* cursor, Cell*& end, const Cell* code, Cell* slot,
                                                 const Cell* op, bool& stop, L list, bool& general) {
    if (Cell* next = integer_infix(cursor, end, slot, op)) {
        cursor = next;
        if (!(op = infix_follows(cursor, end))) [[likely]] return cursor;
    }
    AfterOperators after = PIN ? operators_rest_pinned(list, cursor, end, code, slot, op)
                               : operators_rest(cursor, end, code, slot, op);
    if (after.end) {
        end = after.end;
        stop = pending != 0;
        general = true;
    }
    return after.cursor;
}

// The operands taken as they are whose datatypes are among ARG_TYPES, which
// an argument flagged PLAN_ANY_FIRST takes with no check: literals, and
// words' plain values. Integer operators after them leave values of
// ARG_TYPES too. (One test for both the operand's shape and its type.)
constexpr uint64_t LITERAL_ARGS = ARG_TYPES & ~ACTIVE_TYPES;
constexpr uint64_t WORD_ARGS = ARG_TYPES & ~NOT_PLAIN_TYPES;
static_assert((ARG_TYPES >> TYPE_INTEGER & 1) && (ARG_TYPES >> TYPE_FLOAT & 1) && (ARG_TYPES >> TYPE_LOGIC & 1),
              "integer operators make integers, floats and logic values");
[[gnu::always_inline]] inline bool in_types(uint64_t types, uint32_t t) { return t < 64 && ((types >> t) & 1); }

// Raises expect-arg unless typeset `ts` takes datatype `t`: the slow way,
// for types above 63 and for the error.
[[gnu::cold, gnu::noinline]] inline void check_wide(const Cell* ts, const Cell* name, const Cell* fn, const Cell* v,
                                                    int argn) {
    if (!typeset::contains(ts, cell::type(v))) expect_arg(name, fn, v, argn);
}
// Whether the argument typeset `ts` takes datatype `t` below 64 (as
// typeset::contains): the set's first eight bytes, read at once most
// significant first, hold it as bit 63 - t (t ^ 63, t being below 64).
[[gnu::always_inline]] inline bool takes_narrow(const Cell* ts, uint32_t t) {
    static_assert(std::endian::native == std::endian::little, "the set's bytes are swapped to be read in order");
    uint64_t bits;
    std::memcpy(&bits, reinterpret_cast<const unsigned char*>(ts) + offsetof(Cell, w1), sizeof bits);
    return (__builtin_bswap64(bits) >> (t ^ 63)) & 1u;
}
// Raises expect-arg, naming argument `argn` (from 1), unless `ts` takes `v`.
// ANY: `ts` takes every datatype of ARG_TYPES (PLAN_ANY_FIRST), which are
// then told from a constant, not from the set.
template <bool ANY = false>
[[gnu::always_inline]] inline void check_type(const Cell* ts, const Cell* v, const Cell* name, const Cell* fn,
                                              int argn) {
    // (The header's low byte, the type id, read alone: the machine is
    // little-endian, as takes_narrow asserts.)
    uint8_t t;
    std::memcpy(&t, v, sizeof t);
    bool taken = ANY ? in_types(ARG_TYPES, t) : t < 64 && takes_narrow(ts, t);
    if (!taken) [[unlikely]] check_wide(ts, name, fn, v, argn);
}

// Pushes the leading arguments of an untraced call from descriptor `d`
// (those before it are pushed already) up to `fixed_end`; `first` is the
// first leading descriptor, from which reports count positions. Returns
// the cursor after them; `end` becomes the code's end as the arguments'
// evaluation left it.
// `stop` is set when an argument's evaluation leaves an exit pending (the
// cursor is then where it stopped); it is left alone otherwise, for the
// pending code can only be set where an argument is evaluated. The
// descriptors are read by address: with PIN, their buffer `list` is pinned
// here while an argument's code runs, the only time it could move (those
// taken as they are, the commonest, run none: no pin then); without, the
// caller keeps it pinned. (`list` may also be a PathKeep, whose buffers
// are kept the same way.) `roomy`: the caller has made sure the stack has
// room for all the arguments (an argument's evaluation leaves the top where
// its push would), so that they are pushed without checks. ANY: the one
// argument fetched is flagged PLAN_ANY_FIRST (check_type).
template <bool PIN = false, bool ANY = false, class L = SeriesBuffer*>
[[gnu::always_inline]] inline Cell* fetch_leading(const Cell* fn, const Cell* first, const Cell* d,
                                                  const Cell* fixed_end, Cell* cursor, Cell*& end, const Cell* code,
                                                  const Cell* name, bool infix, bool& stop, L list = nullptr,
                                                  bool roomy = false) {
    if (infix) {
        // The left operand already sits in the frame's first cell.
        ++stack::top;
        if (d < fixed_end) {
            check_type(d, stack::arguments, name, fn, 1);
            ++d;
        }
    }
    // The value of the word at `cursor`, when the test for an operator
    // after the argument before read it (nothing has run since), else null.
    const Cell* ahead = nullptr;
    for (; d < fixed_end; ++d) {
        // A plain operand (a literal, or a word whose value is plain) is
        // pushed as it is; a word naming a callable calls it.
        uint32_t t;
        const Cell* simple = nullptr;
        const Cell* value = ahead;
        if (value) {
            // The word at `cursor` (so before the end) was read already.
            t = TYPE_WORD;
        } else {
            if (cursor >= end) {
                Cell word;
                function::arg_word(fn, static_cast<int>(d - first) + 1, &word);
                fire(ERR_SCRIPT, "no-arg", name, &word);
            }
            t = cell::type(cursor);
            if (t == TYPE_WORD) value = bound_value(cursor);
        }
        // (With ANY, only those of ARG_TYPES: the others, none of which
        // code mostly holds, are evaluated and checked.)
        if (t == TYPE_WORD) {
            if (value && (ANY ? in_types(WORD_ARGS, cell::type(value)) : is_plain_value(cell::type(value))))
                simple = value;
        } else if (ANY ? in_types(LITERAL_ARGS, t) : is_literal(t)) {
            simple = cursor;
        }
        ahead = nullptr;
        const Cell* v;
        if (simple) {
            // The operators that follow apply to it where it was pushed,
            // and leave their result there.
            Cell* slot = stack::top;
            if (roomy) *stack::top++ = *simple; else stack::push(simple);
            ++cursor;
            bool general = false;
            if (!infix && cursor < end && cell::type(cursor) == TYPE_WORD) {
                const Cell* next = bound_value(cursor);
                if (next && cell::type(next) == TYPE_OP) {
                    cursor = operators_on<PIN>(cursor, end, code, slot, next, stop, list, general);
                    if (stop) return cursor;
                } else {
                    ahead = next;
                }
            }
            // With ANY, a value of ARG_TYPES, or what integer operators
            // made of it, needs no check.
            if (ANY && !general) continue;
            v = slot;
        } else {
            bool named = value && is_callable(cell::type(value));
            {
                KeepIf<PIN, L> pin_list(list);
                cursor = named ? call_named(cursor, value, end, code, infix)
                               : eval_expression(cursor, end, code, infix, true, false);
            }
            if (pending) {
                stop = true;
                return cursor;
            }
            end = end_now(code, end);
            v = stack::top_cell();
        }
        check_type<ANY>(d, v, name, fn, static_cast<int>(d - first) + 1);
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

// A plain call (as call_plain's) of a control native flagged
// FLAG_PLAIN_CONTROL, CONTROL its control_of (1 or 2).
template <int CONTROL>
Cell* call_control_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// The same for a control native not flagged (yet): flagged first when its
// list has the shape.
template <int CONTROL>
Cell* call_control_first(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// call_control_plain<1>, its commonest shape (`if flag [...]`) told first,
// apart from the general way's code and the registers it saves.
Cell* call_if_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
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
