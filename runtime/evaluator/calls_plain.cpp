// The common calls, untraced and with no apply mode: a callable named by a
// word, or by a path of refinement words. Their arguments are fetched by the
// summary of the callable's descriptor list.
#include <algorithm>
#include <array>
#include <cstring>
#include "runtime/actions_stack.h"
#include "runtime/cells.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/function.h"
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

// Pushes the leading arguments the summary describes, from the one at
// `from` (0-based; those before it are pushed already) up to `count` of
// them; returns the cursor after them. `stop`, PIN and `list` as for
// fetch_leading.
template <bool PIN = false, class L = SeriesBuffer*>
[[gnu::always_inline]] inline Cell* fetch_fixed(const Cell* fn, const Cell* descs, Cell* cursor, Cell*& end,
                                                const Cell* code, const Cell* name, bool infix, bool& stop,
                                                int from = 0, int count = 255, L list = nullptr) {
    const Cell* first = descs + plan_first(descs);
    uint32_t n = plan_count(descs);
    if (static_cast<uint32_t>(count) < n) n = static_cast<uint32_t>(count);
    return fetch_leading<PIN>(fn, first, first + from, first + n, cursor, end, code, name, infix, stop, list);
}

// The leading arguments of a function flagged FLAG_PLAIN_CALL, whose list
// (built, its summary simple) starts at `descs` in buffer `lb`. One leading
// argument, the first descriptor (the commonest case), is fetched by code
// made for it: no loop, and no check of the stack's room for it: its cell
// is the frame's result cell, which marking the frame made sure of. PIN
// and `stop` as for fetch_leading.
template <bool PIN, class L = SeriesBuffer*>
[[gnu::always_inline]] inline Cell* fetch_flagged(const Cell* fn, const Cell* descs, L lb, Cell* cursor, Cell*& end,
                                                  const Cell* code, const Cell* name, bool& stop) {
    // (Its descriptor mostly takes any value, an argument with no types.)
    if ((descs->w1 & (0xFFFF | PLAN_ANY_FIRST)) == (1u | 1u << 8 | PLAN_ANY_FIRST)) [[likely]]
        return fetch_leading<PIN, true>(fn, descs + 1, descs + 1, descs + 2, cursor, end, code, name, false, stop, lb,
                                        true);
    if ((descs->w1 & 0xFFFF) == (1u | 1u << 8))
        return fetch_leading<PIN>(fn, descs + 1, descs + 1, descs + 2, cursor, end, code, name, false, stop, lb, true);
    return fetch_fixed<PIN>(fn, descs, cursor, end, code, name, false, stop, 0, 255, lb);
}

// Four slots in a row after a function's leading arguments, by the bits
// of the index (bit k set: slot k is a refinement's flag): a flag off is a
// logic false, any other slot a none.
struct RestRun {
    alignas(64) Cell cells[4];
};
constexpr auto REST_RUNS = [] {
    std::array<RestRun, 16> runs{};
    for (uint32_t i = 0; i < 16; ++i)
        for (uint32_t k = 0; k < 4; ++k) runs[i].cells[k] = Cell{(i >> k & 1) ? TYPE_LOGIC : TYPE_NONE, 0, 0, 0};
    return runs;
}();

// A function's slots after its leading arguments: refinements off, their
// arguments none, then the locals. A few are pushed by the summary's
// pattern when the stack has room for them all; else one by one from the
// descriptors, so that a full stack is met where it always was.
inline void push_rest(const Cell* descs, const Cell* tail) {
    // The pattern's slots are written four at a time, whole cells copied
    // from REST_RUNS: the room asked for covers the cells written past the
    // new top (up to three, dead ones). (No pattern, a count of 0, wraps to
    // the largest count: never room.)
    uint32_t n = descs->w1 >> PLAN_REST_SHIFT;
    if (uint64_t{n - 1} + 4 <= static_cast<uint64_t>(stack::args_end - stack::top)) [[likely]] {
        uint32_t flags = descs->w3;
        Cell* c = stack::top;
        Cell* last = c + n;
        stack::top = last;
        do {
            const Cell* run = REST_RUNS[flags & 15].cells;
            flags >>= 4;
            c[0] = run[0];
            c[1] = run[1];
            c[2] = run[2];
            c[3] = run[3];
        } while ((c += 4) < last);
        return;
    }
    for (const Cell* d = descs + descs->w2; d < tail; ++d) {
        switch (cell::type(d)) {
            case TYPE_TYPESET:
                if (kind_of(d) != ARG_RETURN) set_none(stack::push_new());
                break;
            case TYPE_REFINEMENT: set_logic(stack::push_new(), false); break;
            case TYPE_INTEGER: function::push_refinement_off(cell::get_int(d)); break;
            default: break;
        }
    }
}

// Every refinement of a native absent, in slots a path then fills (see
// NO_REFS).
inline void no_refinements(int32_t* refs) { std::fill_n(refs, MAX_REFS, -1); }

// Fetches a native's (or an action's) leading arguments from the one at
// `from` (those before it are pushed already), then calls it. PIN and
// `list` as for fetch_leading.
template <bool PIN = false>
[[gnu::always_inline]] inline Cell* call_native_from(const Cell* fn, const Cell* descs, int from, Cell* cursor,
                                                     Cell* end, const Cell* code, const Cell* name, bool infix,
                                                     SeriesBuffer* list = nullptr) {
    bool stop = false;
    cursor = fetch_fixed<PIN>(fn, descs, cursor, end, code, name, infix, stop, from, 255, list);
    if (stop) return cursor;
    call_native_unrefined(fn);
    return cursor;
}

// Fetches the arguments of a native or an action by its list's summary and
// calls it; a list the summary cannot serve goes the general way.
[[gnu::always_inline]] inline Cell* fetch_native(const Cell* fn, Cell* cursor, Cell* end, const Cell* code,
                                                 const Cell* name, bool infix) {
    SeriesBuffer* lb = series::buffer_of(arg_list(fn));
    const Cell* descs = own_cells(lb);
    if (!(descs->w1 & PLAN_SIMPLE)) return eval_arguments_plain(fn, cursor, end, code, name, infix);
    if (int control = infix ? 0 : control_of(fn)) {
        // Descriptors are read by address while arguments are evaluated.
        Pin pin_list(lb);
        return fetch_control(control, fn, descs, cursor, end, code, name);
    }
    // (Nothing reads the descriptors once the native is called.)
    return call_native_from<true>(fn, descs, 0, cursor, end, code, name, infix, lb);
}

// Fills the frame of a function or a routine whose more block is `more`:
// the arguments fetched by its list's summary, then its other slots; a list
// the summary cannot serve goes the general way. `stop` is set when an exit
// is left pending (the frame then unfilled).
[[gnu::always_inline]] inline Cell* fetch_slots(const Cell* fn, const Cell* more, Cell* cursor, Cell* end,
                                                const Cell* code, const Cell* name, bool infix, bool& stop) {
    SeriesBuffer* lb = series::buffer_of(arg_list(fn, more));
    const Cell* descs = own_cells(lb);
    if (!(descs->w1 & PLAN_SIMPLE)) {
        cursor = eval_arguments_plain(fn, cursor, end, code, name, infix);
        stop = pending != 0;
        return cursor;
    }
    // Descriptors are read by address while arguments are evaluated.
    Pin pin_list(lb);
    cursor = fetch_fixed(fn, descs, cursor, end, code, name, infix, stop);
    if (stop) return cursor;
    if (descs->w1 & PLAN_REST) push_rest(descs, lb->tail_cell());
    return cursor;
}

// Runs a function (a copy, not a pointer into a series) whose frame holds
// its arguments; `body` is a copy of its body cell.
inline void run_function(const Cell* fn, const Cell* name, const Cell* body) {
    if (fn->header & (function::FLAG_NO_TRACE | function::FLAG_TRACE)) call_function(fn, fn->w1, name, 0);
    else run_body(fn, body, name);
}

// Ends a call: its frame is unwound and its result replaces the callable
// pushed below the frame (sub), or becomes the current result.
inline void finish(bool sub) {
    if (sub) {
        stack::unwind();
        Cell r = *(stack::top - 1);
        --stack::top;
        *(stack::top - 1) = r;
    } else {
        stack::unwind_last();
    }
}

// The same for a call whose result is the top cell.
inline void finish_from_top(bool sub) { stack::unwind_top(!sub, 1); }

// A function: pushed (its value keeps its body and lists alive), its frame
// marked, its arguments fetched, its body run. The more block is visited
// once, for the body cell and the list. GENERAL: the function may lack
// FLAG_PLAIN_CALL, whose tests are then made one by one.
template <bool GENERAL>
[[gnu::always_inline]] inline Cell* function_call(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code,
                                                  bool sub, const Cell* name) {
    Cell fn = *fn_in;
    // (The more block is found from the caller's cell, not the copy: a load
    // of one field of a copy just stored waits for the store.)
    const Cell* more = more_of(fn_in);
    // With room for the function's cell and for the frame's result cell
    // above it, push and mark need no checks of their own (GCC drops the
    // mark's); else they meet the full stack one after the other, as they
    // always did.
    if (stack::call_top < stack::call_end && stack::top + 1 < stack::args_end) [[likely]] {
        // The top is written last: the argument fetch reads it next, which
        // the frame's stores before it would make GCC read again.
        Cell* at = stack::top;
        *at = fn;
        stack::open_frame_at(at + 1, name->w2, name->w1, FRAME_INTERP_FUNC);
        stack::top = at + 1;
    } else {
        stack::push(&fn);
        stack::mark_interp_func(name);
    }
    Cell body = more[0];
    bool stop = false;
    if (GENERAL) {
        cursor = fetch_slots(&fn, more, cursor, end, code, name, false, stop);
        if (stop) return cursor;
        run_function(&fn, name, &body);
    } else {
        // The list is built, its summary simple. Its buffer is pinned only
        // while an argument's code runs: nothing else here can move it.
        SeriesBuffer* lb = series::buffer_of(more[1].w2);
        const Cell* descs = own_cells(lb);
        cursor = fetch_flagged<true>(&fn, descs, lb, cursor, end, code, name, stop);
        if (stop) return cursor;
        if (fn.header & FLAG_PLAIN_REST) push_rest(descs, lb->tail_cell());
        if (run_block_body<true, true>(&fn, &body, name)) return cursor;
        // (Only a call whose result is pushed comes here: see
        // call_function_plain.)
        finish_from_top(true);
        return cursor;
    }
    if (pending) return cursor;
    finish(sub);
    return cursor;
}

// The kinds of plain calls, each on its own so that call_plain, which picks
// one, passes its arguments on without a frame of its own: a plain jump, as
// long as their signatures stay as they are (GCC would pass the callable by
// value, unless told not to change them; clang keeps them anyway).
#if defined(__clang__)
#define PLAIN_CALL [[gnu::noinline]]
#else
#define PLAIN_CALL [[gnu::noipa]]
#endif

// A function without FLAG_PLAIN_CALL.
PLAIN_CALL Cell* call_function_general(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                       const Cell* name) {
    return function_call<true>(fn_in, cursor, end, code, sub, name);
}

}  // namespace

// A function with FLAG_PLAIN_CALL whose result is pushed (`sub` is true:
// every caller's call is an argument's, an operand's or a paren's; the
// rare other one goes the general way). Its ending, not `sub`, is then
// kept through the body's run.
PLAIN_CALL Cell* call_function_flagged(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                       const Cell* name) {
    return function_call<false>(fn_in, cursor, end, code, sub, name);
}

namespace {

// Picks one of the two, with a jump: in one function, the general one's
// calls would pay the other's prologue too (GCC does not put it off past
// the test).
PLAIN_CALL Cell* call_function_plain(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                     const Cell* name) {
    if ((fn_in->header & FLAG_PLAIN_CALL) && sub) return call_function_flagged(fn_in, cursor, end, code, true, name);
    return call_function_general(fn_in, cursor, end, code, sub, name);
}

// A native or an action, no control native. Natives live in tables, not
// series: nothing keeps them alive on the stack, and the result lands where
// it would have been pushed. FLAGGED: it has FLAG_PLAIN_NATIVE, as the
// caller found. Each kind is compiled apart: the flagged one's way does not
// test the flag again, and the other one holds none of that way.
template <bool FLAGGED>
PLAIN_CALL Cell* call_native_plain(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                   const Cell* name) {
    Cell fn = *fn_in;
    // A flagged native, with room on the call stack for its frame and on the
    // argument stack for as many leading arguments as a flagged native can
    // have (the first takes the frame's base cell): the frame is marked and
    // the arguments pushed with no checks of their own, its list and its
    // entry taken with none of the tests the flag stands for.
    if (FLAGGED && stack::call_top < stack::call_end && stack::top + PLAIN_NATIVE_ARGS <= stack::args_end)
        [[likely]] {
        stack::mark_frame_unchecked(name->w2, name->w1, FRAME_INTERP_NATIVE);
        SeriesBuffer* lb = series::buffer_of(more_of(&fn)[1].w2);
        const Cell* descs = own_cells(lb);
        // The flag's list has its leading arguments right after the summary.
        const Cell* first = descs + 1;
        uint32_t n = plan_count(descs);
        // The list is pinned while an argument's code runs; nothing reads
        // it once the native is called.
        bool stop = false;
        cursor = fetch_leading<true>(&fn, first, first, first + n, cursor, end, code, name, false, stop, lb, true);
        if (stop) return cursor;
        call_plain_native(&fn);
        if (pending) return cursor;
        if (sub) stack::unwind(); else stack::unwind_last();
        return cursor;
    }
    // Else (no flag, or a stack near its end) the general way, which meets
    // a full stack where it always did.
    stack::mark_interp_native(name);
    cursor = eval_arguments_plain(&fn, cursor, end, code, name, false);
    if (pending) return cursor;
    if (sub) stack::unwind(); else stack::unwind_last();
    return cursor;
}

// A routine: its arguments fetched like a function's, then its registered
// body run on them.
PLAIN_CALL Cell* call_routine_plain(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, bool sub,
                                    const Cell* name) {
    Cell fn = *fn_in;
    stack::push(&fn);
    stack::mark_interp_native(name);
    bool stop = false;
    cursor = fetch_slots(&fn, more_of(&fn), cursor, end, code, name, false, stop);
    if (stop) return cursor;
    if (cell::type(&fn) == TYPE_ROUTINE) exec_routine(&fn);
    finish(sub);
    return cursor;
}

#undef PLAIN_CALL

}  // namespace

// Kept out of line (the control route's general way), so that the code of
// the literal shape stays small.
Cell* finish_control(const Cell* fn, const Cell* descs, int from, Cell* cursor, Cell* end, const Cell* code,
                     const Cell* name) {
    return call_native_from(fn, descs, from, cursor, end, code, name, false);
}

Cell* fetch_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix) {
    if (is_native_like(cell::type(fn))) return fetch_native(fn, cursor, end, code, name, infix);
    bool stop = false;
    return fetch_slots(fn, more_of(fn), cursor, end, code, name, infix, stop);
}

Cell* call_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name) {
    uint32_t t = cell::type(fn);
    if (t == TYPE_FUNCTION) return call_function_plain(fn, cursor, end, code, sub, name);
    // Natives and actions flagged for their routes (no function takes
    // these flags: it was taken above) need no tests of their type or slot.
    if (fn->header & FLAG_PLAIN_NATIVE) return call_native_plain<true>(fn, cursor, end, code, sub, name);
    if (fn->header & FLAG_PLAIN_CONTROL) {
        if (fn->w1 == natives::NATIVE_EITHER) return call_control_plain<2>(fn, cursor, end, code, sub, name);
        return call_if_plain(fn, cursor, end, code, sub, name);
    }
    if (is_native_like(t)) {
        switch (control_of(fn)) {
            case 2: return call_control_first<2>(fn, cursor, end, code, sub, name);
            case 1: return call_control_first<1>(fn, cursor, end, code, sub, name);
            default: return call_native_plain<false>(fn, cursor, end, code, sub, name);
        }
    }
    return call_routine_plain(fn, cursor, end, code, sub, name);
}

namespace {

// The refinement descriptor written with the same id as `sym` (the usual
// case), else the one find_refinement resolves, or -1.
inline int32_t refinement_at(const Cell* descs, int32_t count, uint32_t sym) {
    for (int32_t i = static_cast<int32_t>(descs->w2); i < count; ++i)
        if (cell::type(descs + i) == TYPE_REFINEMENT && descs[i].w2 == sym) return i;
    return find_refinement(descs, count, sym);
}

// The refinement descriptor named by the path's word `item`, when the word
// is bound to the context `ctx` of the function whose list is `descs`
// (`count` cells) at the slot of a refinement of the same id, as a call of
// that function leaves it (bind_refinement_word); null otherwise. A
// function's descriptors follow the summary in the order of its context's
// words (its return type, which has none, comes after its refinements).
inline const Cell* bound_refinement(const Cell* item, Node ctx, const Cell* descs, uint32_t count) {
    if (item->w1 != ctx || item->w3 >= count - 1) return nullptr;
    const Cell* r = descs + 1 + item->w3;
    return cell::type(r) == TYPE_REFINEMENT && r->w2 == item->w2 ? r : nullptr;
}

// Whether the path's items from `p` up to `path_tail` are all words, as
// call_refined takes them.
inline bool words_from(const Cell* p, const Cell* path_tail) {
    for (; p < path_tail; ++p)
        if (cell::type(p) != TYPE_WORD) return false;
    return true;
}

// call_path's work, for the two ways in: a function and the path's items
// the caller has read, all words (words_from), the path's buffer `pb`
// ending at `path_tail`.
// PLAIN: the callable is a function flagged FLAG_PLAIN_CALL, whose list is
// built, its summary simple, and which is called as a plain call calls it;
// the list and the path are then kept only while an argument's code runs
// (PathKeep), the caller holding neither. Else any callable, the caller
// keeping the path rooted and pinned through the call.
template <bool PLAIN>
[[gnu::always_inline]] inline Cell* call_refined(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code,
                                                 const Cell* path, const Cell* name_pos, SeriesBuffer* pb,
                                                 const Cell* path_tail) {
    Cell fn = *fn_in;
    uint32_t t = cell::type(&fn);
    if (!PLAIN && t == TYPE_ROUTINE) return nullptr;
    // (A flagged function's list is built: it is pushed with its frame.)
    if (!PLAIN) stack::push(&fn);  // kept alive while its list may be built
    const Cell* more = more_of(fn_in);  // (not the copy: see function_call)
    Cell body = more[0];  // a function's, read before the list may be built
    SeriesBuffer* lb = series::buffer_of(PLAIN ? more[1].w2 : arg_list(&fn, more));
    const Cell* descs = own_cells(lb);
    if (!PLAIN && !(descs->w1 & PLAN_SIMPLE)) {
        --stack::top;
        return nullptr;
    }
    PinIf<!PLAIN> pin_list(lb);
    const PathKeep keep{lb, pb, const_cast<Cell*>(path)};
    Cell name = *name_pos;
    cell::clear_new_line(&name);
    bool native = !PLAIN && is_native_like(t);
    if (PLAIN) {
        // As function_call: with room for the function's cell and the
        // frame's result cell, neither needs a check of its own; else they
        // meet the full stack one after the other.
        if (stack::call_top < stack::call_end && stack::top + 1 < stack::args_end) [[likely]] {
            Cell* at = stack::top;
            *at = fn;
            stack::open_frame_at(at + 1, name.w2, name.w1, FRAME_INTERP_FUNC);
            stack::top = at + 1;
        } else {
            stack::push(&fn);
            stack::mark_interp_func(&name);
        }
    } else if (native) {
        stack::mark_interp_native(&name);
    } else {
        stack::mark_interp_func(&name);
    }
    bool stop = false;
    cursor = PLAIN ? fetch_flagged<true>(&fn, descs, keep, cursor, end, code, &name, stop)
                   : fetch_fixed(&fn, descs, cursor, end, code, &name, false, stop);
    if (stop) return cursor;
    Cell* base = stack::arguments;
    const Cell* descs_tail = lb->tail_cell();
    int32_t refs[MAX_REFS];
    if (native) no_refinements(refs);
    else if (!PLAIN || (fn.header & FLAG_PLAIN_REST)) push_rest(descs, descs_tail);
    int32_t argc = static_cast<int32_t>(stack::top - base);
    // The refinements in the order the path gives them, each followed by its
    // arguments. They mostly come in the order the function declares them,
    // written as there: the descriptor after the previous refinement's
    // arguments is tried first (a function's names are distinct, so an
    // equal id is the only match).
    // While they do, no refinement can come twice, and its slot is not read
    // back for the test: a load of part of a cell just written whole (by
    // push_rest) waits for the write.
    const Cell* guess = descs + descs->w2;
    bool ordered = true;
    for (const Cell* item = name_pos + 1; item < path_tail; ++item) {
        // The arguments' code may have changed the path's items since they
        // were checked.
        if (cell::type(item) != TYPE_WORD) {
            Cell el = *item;
            fire(ERR_SCRIPT, "bad-refine", &el);
        }
        uint32_t sym = item->w2;
        const Cell* r = guess;
        if (r >= descs_tail || cell::type(r) != TYPE_REFINEMENT || r->w2 != sym) [[unlikely]] {
            // Out of the declared order: the word's binding from an earlier
            // call names it, else it is looked for.
            ordered = false;
            r = native ? nullptr : bound_refinement(item, fn.w1, descs, static_cast<uint32_t>(descs_tail - descs));
            if (!r) {
                int32_t at = refinement_at(descs, static_cast<int32_t>(descs_tail - descs), sym);
                if (at < 0) {
                    Cell el = *item;
                    fire(ERR_SCRIPT, "no-refine", &name, &el);
                }
                r = descs + at;
            }
        }
        uint32_t slot = r->w3;
        if (PLAIN) bind_refinement_word(item, fn.w1, slot);
        else if (!native) bind_refinement(item, &fn, slot);
        Cell* dst = base + slot;
        if (ordered && !native) set_logic(dst, true);
        else record_refinement(native, slot, true, refs, argc, base, path);
        // The refinement's flag, then its arguments (a function's).
        for (guess = r + 1; guess < descs_tail; ++guess) {
            const Cell* d = guess;
            if (cell::type(d) != TYPE_TYPESET || kind_of(d) == ARG_RETURN) break;
            Cell* before = stack::top;
            const Cell* v = kind_of(d) == ARG_EVAL && cursor < end ? plain_operand(cursor) : nullptr;
            if (v) {
                // A plain operand is taken in place, with the operators after it.
                const Cell* op = infix_follows(++cursor, end);
                if (native || op) {
                    stack::push(v);
                    if (op) {
                        {
                            PathKept<PLAIN> kept(keep);
                            cursor = infix_from(cursor, end, code, before, true, op);
                        }
                        if (pending) return cursor;
                    }
                    v = stack::top_cell();
                } else if (before >= stack::args_end) {
                    stack::overflow(5);  // where its push would have met a full stack
                }
            } else {
                {
                    PathKept<PLAIN> kept(keep);
                    cursor = fetch_arg_of(&fn, &name, code, cursor, end,
                                          {kind_of(d), spec_position(descs, static_cast<int32_t>(d - descs))});
                }
                end = end_now(code, end);
                if (pending) return cursor;
                v = stack::top_cell();
            }
            if (!typeset::contains(d, cell::type(v))) {
                if (stack::top == before) v = stack::push(v);  // reported from where it would have been pushed
                expect_arg(&name, &fn, v, spec_position(descs, static_cast<int32_t>(d - descs)));
            }
            if (native) {
                ++argc;
            } else {
                *++dst = *v;
                stack::top = before;
            }
        }
    }
    // As run_function, in line. A function's value is the top cell then
    // (call_function leaves it in the frame's result cell, the top one).
    if (native) call_native(&fn, refs);
    else if (PLAIN) run_block_body<true>(&fn, &body, &name);
    else if (fn.header & (function::FLAG_NO_TRACE | function::FLAG_TRACE)) call_function(&fn, fn.w1, &name, 0);
    else run_body<true>(&fn, &body, &name);
    if (pending) return cursor;
    if (native) finish(true); else finish_from_top(true);
    return cursor;
}

}  // namespace

namespace {
// call_refined for any callable, out of line: call_sub_path, which puts all
// it calls in line, then holds one copy of the refinement walk (the flagged
// functions'), not two.
[[gnu::noinline]] Cell* call_refined_any(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code,
                                         const Cell* path, const Cell* name_pos, SeriesBuffer* pb) {
    return call_refined<false>(fn_in, cursor, end, code, path, name_pos, pb, pb->tail_cell());
}
}  // namespace

Cell* call_path(const Cell* fn_in, Cell* cursor, Cell* end, const Cell* code, const Cell* path, const Cell* name_pos) {
    SeriesBuffer* pb = series::buffer_of(path);
    if (!words_from(name_pos + 1, pb->tail_cell())) return nullptr;
    return call_refined_any(fn_in, cursor, end, code, path, name_pos, pb);
}

namespace {
// call_sub_path's way for any callable but a flagged function, or a path
// with other items than words, the path's head at `head` holding callable
// `fn_value`: the path's cell rooted and its buffer kept in place through
// the call. (It looks at the items itself: a seventh argument would go on
// the machine stack, and GCC would then keep a frame pointer through all
// of call_sub_path.)
[[gnu::noinline]] Cell* call_path_other(const Cell* path, const Cell* head, const Cell* fn_value, Cell* cursor,
                                        Cell* end, const Cell* code) {
    collector::Root keep_path(const_cast<Cell*>(path));
    SeriesBuffer* pb = series::buffer_of(path);
    bool words = words_from(head + 1, pb->tail_cell());
    Pin pin(pb);
    Cell fn = *fn_value;  // called after its list may be built
    Cell* saved_top = stack::top;
    Cell* next = words ? call_refined_any(&fn, cursor, end, code, path, head, pb) : nullptr;
    cursor = next ? next : eval_code(&fn, cursor, end, code, true, path, head, nullptr, 0, false);
    return end_path_call(cursor, path, saved_top, true);
}

// walk_path for call_sub_path, with no more arguments than it has: the way
// there is a jump.
[[gnu::noinline]] Cell* walk_sub_path(const Cell* path, Cell* cursor, Cell* end, const Cell* code) {
    return walk_path(path, cursor, end, code, false, false, true, false);
}
}  // namespace

// A path whose head word holds a callable is called here, its result
// pushed; the rest goes to walk_path. `at` may be the path's cell in the
// code: its head is looked up from there, then the call goes on with a copy
// of it, which stays as it is through the call: the call walks the path in
// the form it had when it began, that cell rooted and its buffer kept in
// place while code can run. (The lookup reads `at` rather than the copy: a
// load of a field of a copy just stored waits for the store, at the start
// of the chain of loads the call waits for.) Everything it calls in this
// file but call_path_other is put in line (flatten): GCC otherwise leaves
// the body's run and the frame's end out of line in a function this size.
// noipa keeps its arguments as they are, so that the calls to it are plain
// jumps.
[[gnu::flatten, gnu::noipa]] Cell* call_sub_path(const Cell* at, Cell* cursor, Cell* end, const Cell* code) {
    const Cell* head;
    const Cell* fn_value;
    SeriesBuffer* pb;
    {
        // (The index is within the series: no clamping.)
        pb = node_table[at->w2];
        head = pb->head_cell() + at->w1;
    }
    Cell copy = *at;
    const Cell* path = &copy;
    if (head >= pb->tail_cell() || cell::type(head) != TYPE_WORD || !(fn_value = bound_value(head)) ||
        !is_callable(cell::type(fn_value))) [[unlikely]]
        return walk_sub_path(path, cursor, end, code);
    // Flagged functions, the commonest, compiled apart. (Control natives
    // take the same flag bit: the type is tested with it.) Their call ends
    // the way end_path_call would end it: untraced here, it stays so through
    // the call, for tracing only begins and ends within a native's run.
    // A path with other items than words goes the general way.
    const Cell* path_tail = pb->tail_cell();
    if (is_flagged_function(fn_value) && words_from(head + 1, path_tail)) [[likely]]
        return call_refined<true>(fn_value, cursor, end, code, path, head, pb, path_tail);
    return call_path_other(path, head, fn_value, cursor, end, code);
}

Cell* call_named_path(const Cell* path, Cell* cursor, Cell* end, const Cell* code, bool sub, bool case_) {
    if (sub && !case_) [[likely]] return call_sub_path(path, cursor, end, code);
    SeriesBuffer* pb = series::buffer_of(path);
    if (static_cast<int64_t>((pb->tail - pb->head) / sizeof(Cell)) > static_cast<int64_t>(path->w1)) {
        // The index is within the series: no clamping.
        const Cell* head = pb->head_cell() + path->w1;
        const Cell* fn_value = cell::type(head) == TYPE_WORD ? bound_value(head) : nullptr;
        if (fn_value && is_callable(cell::type(fn_value))) {
            // call_sub_path makes the call (its result then made the
            // current result, unless sub).
            Cell* saved_top = stack::top;
            cursor = call_sub_path(path, cursor, end, code);
            if (!sub && !pending) {
                Cell r = *stack::top_cell();
                stack::top = saved_top;
                stack::set_last_keep(&r);
            }
            return cursor;
        }
    }
    return walk_path(path, cursor, end, code, false, false, sub, case_);
}

}  // namespace zel::interpreter
