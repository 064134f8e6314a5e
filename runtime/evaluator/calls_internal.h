// What the call paths share: argument descriptors, their list and its
// summary, and the errors of argument fetching.
#pragma once
#include <array>
#include <cassert>
#include <cstdint>
#include "runtime/actions_stack.h"
#include "runtime/cell.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/call_flags.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/trace.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// Kinds of argument descriptors, in header bits 20-21 of their typeset.
constexpr uint32_t KIND_SHIFT = 20;
enum ArgKind : uint32_t { ARG_EVAL = 0, ARG_GET = 1, ARG_QUOTE = 2, ARG_RETURN = 3 };
inline uint32_t kind_of(const Cell* d) { return (d->header >> KIND_SHIFT) & 3; }
// At most this many refinements per native or action.
constexpr int MAX_REFS = natives::MAX_REFINEMENTS;
// The refinements of a call that gives none: every slot absent. All the
// slots, not just those its spec names: a native made with a spec of its
// own still reads those of its entry. Entries only read them, so calls
// without refinements share this one.
inline constexpr std::array<int32_t, MAX_REFS> NO_REFS = [] {
    std::array<int32_t, MAX_REFS> r{};
    r.fill(-1);
    return r;
}();
// Modes of `apply`: every argument in order with refinements as logic values
// (/all); refinements from the path only; one value per argument (/safer).
enum Mode { MODE_ALL = 1, MODE_REFINEMENTS = 2, MODE_SAFER = 4 };

inline bool is_native_like(uint32_t t) { return t == TYPE_NATIVE || t == TYPE_ACTION; }

// The summary of a descriptor list kept in its first cell, read by the
// fast call path: where the leading arguments start and how many there are,
// whether they can be fetched the simple way, and what follows them.
//   w1: bits 0-7 the first leading argument's index, bits 8-15 their count,
//       bit 16 simple (all evaluated, nothing else between them)
//   w2: index of the first descriptor after them
//   w3: a native's refinement count; a function's pattern of its other
//       slots (below)
constexpr uint32_t PLAN_SIMPLE = 1u << 16;
//       bit 17 for if, unless and either: the spec has the usual shape (a
//       condition, then one or two branches that accept block!, nothing
//       more), so literal blocks after the condition are its branches
constexpr uint32_t PLAN_CONTROL = 1u << 17;
//       bit 18 a function's frame has slots after its leading arguments
//       (refinements, their arguments, locals), which a call pushes
//       bits 24-31 a function's count of those slots when they are at
//       most 32: each is then a refinement's flag, off, or a none, and w3
//       holds their pattern (bit k set: slot k is a flag); 0 otherwise
constexpr uint32_t PLAN_REST = 1u << 18;
constexpr uint32_t PLAN_REST_SHIFT = 24;
constexpr uint32_t PLAN_REST_MAX = 32;
//       bit 19 with bit 17: the condition accepts every datatype of
//       VALUE_TYPES, whose values then need no check
constexpr uint32_t PLAN_ANY_CONDITION = 1u << 19;
//       bit 20 the first leading argument accepts every datatype of
//       ARG_TYPES (an argument with no types does)
constexpr uint32_t PLAN_ANY_FIRST = 1u << 20;
// The datatypes of values (any-type!): all those registered but the
// runtime's own.
constexpr uint64_t VALUE_TYPES = ((uint64_t{1} << (TYPE_EVENT + 1)) - 2) &
                                 ~(uint64_t{1} << TYPE_SYMBOL | uint64_t{1} << TYPE_CONTEXT |
                                   uint64_t{1} << TYPE_TRIPLE | uint64_t{1} << TYPE_SERIES);
inline bool is_value_type(uint32_t t) { return t < 64 && ((VALUE_TYPES >> t) & 1); }
// The same but unset!, which an argument with no types does not take.
constexpr uint64_t ARG_TYPES = VALUE_TYPES & ~(uint64_t{1} << TYPE_UNSET);
constexpr uint32_t PLAIN_NATIVE_ARGS = 4;
inline uint32_t plan_first(const Cell* s) { return s->w1 & 0xFF; }
inline uint32_t plan_count(const Cell* s) { return (s->w1 >> 8) & 0xFF; }

// The cells of a block the runtime keeps for itself (a callable's more
// block and descriptor list, a function's context): made at offset 0, grown
// only at the tail and never cut at the head, so that they start right
// after the buffer's header. A call reads them so, one load sooner than by
// the buffer's head, on the chain of loads every call waits for.
inline Cell* own_cells(SeriesBuffer* b) {
    assert(b->head == 0);
    return reinterpret_cast<Cell*>(b->data());
}
// A callable's more block: a function's body, then the descriptor list once
// built.
inline const Cell* more_of(const Cell* fn) { return own_cells(node_table[fn->w3]); }
// The argument descriptor list of a callable whose more block is `more`,
// built on first use.
inline Node arg_list(const Cell* fn, const Cell* more) {
    return cell::type(more + 1) == TYPE_BLOCK ? more[1].w2 : build_arg_list(fn);
}
inline Node arg_list(const Cell* fn) { return arg_list(fn, more_of(fn)); }
// Checks the arguments of a call of a native or action made with a foreign
// argument block against the types its entry trusts (expect-arg).
void check_own_arguments(const Cell* fn, const int32_t* refs);
// Calls a native's or an action's entry on the current frame's arguments.
inline void call_native(const Cell* fn, const int32_t* refs) {
    natives::NativeFn entry = cell::type(fn) == TYPE_NATIVE ? natives::entry(fn->w1) : actions::stack_entry(fn->w1);
    if (!entry) fire(ERR_INTERNAL, "not-done");
    if (fn->header & native::FLAG_FOREIGN_SPEC) check_own_arguments(fn, refs);
    entry(refs);
}
// The same for a call that gives no refinements (NO_REFS): an action's
// entry for such calls, which need not read them.
inline void call_native_unrefined(const Cell* fn) {
    natives::NativeFn entry = cell::type(fn) == TYPE_NATIVE ? natives::entry(fn->w1) : actions::plain_entry(fn->w1);
    if (!entry) fire(ERR_INTERNAL, "not-done");
    if (fn->header & native::FLAG_FOREIGN_SPEC) check_own_arguments(fn, NO_REFS.data());
    entry(NO_REFS.data());
}
// The same for a native flagged FLAG_PLAIN_NATIVE: its spec is its own and
// its slot lies within its table, whose entry is taken there (one not
// filled in goes the way above).
inline void call_plain_native(const Cell* fn) {
    uint32_t k = fn->w1 - 1;
    natives::NativeFn entry = cell::type(fn) == TYPE_NATIVE ? natives::table[k] : actions::plain_table[k];
    if (!entry) [[unlikely]] return call_native_unrefined(fn);
    entry(NO_REFS.data());
}
// Records a refinement given in a path (or an apply block) whose
// descriptor holds `slot`: a native's refinement number, taking the position
// `argc` of its first argument when `state` is on; a function's flag slot
// from `base`, taking `state`. Given twice, it is dup-refine (the path).
inline void record_refinement(bool native, uint32_t slot, bool state, int32_t* refs, int32_t argc, Cell* base,
                              const Cell* path) {
    if (native) {
        if (!state) return;
        int32_t& r = refs[slot - 1];
        if (r != -1) fire(ERR_SCRIPT, "dup-refine", path);
        r = argc;
    } else {
        Cell* flag = base + slot;
        if (logic::get(flag)) fire(ERR_SCRIPT, "dup-refine", path);
        set_logic(flag, state);
    }
}
// A path's refinement word, once used, stays bound to the called function's
// context, at the refinement's slot (a function's frame slots are its
// context's indexes): here the word `item` of a call of the function whose
// context is `ctx`.
inline void bind_refinement_word(const Cell* item, Node ctx, uint32_t slot) {
    Cell* w = const_cast<Cell*>(item);  // a cell of the path's (pinned) series
    w->w1 = ctx;
    w->w3 = slot;
}
// The same for any callable's call and path item: natives and routines have
// no such context, and only a word is bound.
inline void bind_refinement(const Cell* item, const Cell* fn, uint32_t slot) {
    if (cell::type(fn) != TYPE_FUNCTION || cell::type(item) != TYPE_WORD) return;
    bind_refinement_word(item, fn->w1, slot);
}
// Ends the call a path made: its result, pushed above `saved_top`, stays
// there (sub) or becomes the current result; then the path's exit event.
inline Cell* end_path_call(Cell* cursor, const Cell* path, Cell* saved_top, bool sub) {
    if (pending) return cursor;
    if (!sub) {
        Cell r = *stack::top_cell();
        stack::top = saved_top;
        stack::set_last_keep(&r);
    }
    if (tracing) trace::event(trace::EV_EXIT, path, block::rs_tail(path), nullptr, stack::top_cell());
    return cursor;
}
// Raises expect-arg for the argument at spec position `argn` (from 1).
[[noreturn]] void expect_arg(const Cell* name, const Cell* fn, const Cell* value, int argn);
// Calls a routine's registered body on the frame's arguments.
void exec_routine(const Cell* r);
// The general argument fetch of a plain call (no path, no apply mode); for
// natives and actions it also calls them.
Cell* eval_arguments_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix);
// Fetches the arguments of an untraced plain call by the list's summary
// (natives and actions are called too).
Cell* fetch_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* name, bool infix);
// The position in the spec (from 1) of the argument or refinement whose
// descriptor is at index `k`: what errors name it by. Argument words and
// refinements count; a return type does not.
int spec_position(const Cell* descs, int32_t k);
// The refinement descriptor of a symbol (resolved) in a list, or -1.
int32_t find_refinement(const Cell* descs, int32_t count, uint32_t sym);
// An argument's descriptor kind and its spec position (from 1), which names
// it in a missing-argument error. (One register's worth: callers with six
// arguments more than that would pass one on the machine stack, which makes
// GCC keep a frame pointer in the whole caller.)
struct ArgAt {
    uint32_t kind;
    int argn;
};
// Pushes one argument of the kind `at` gives from the cursor (an evaluated
// one with the operators that follow it). Returns the cursor after it.
Cell* fetch_arg_of(const Cell* fn, const Cell* name, const Cell* code, Cell* cursor, Cell* end, ArgAt at);
// Runs a function's body in its marked frame, the arguments pushed.
void call_body(const Cell* fn_in, const Cell* name);

// Puts back what a body's run changed: its context's values word and the
// function running innermost. (A plain function, not a lambda taking them
// by reference, so that they can stay in registers.) The frame's body flag
// stays: the frame ends next, or has ended already on the way out of an
// exit or error.
inline void end_body_run(Node ctx, uint32_t saved, Node outer_ctx, Cell* outer_values) {
    own_cells(node_table[ctx])->w2 = saved;
    stack::running_ctx = outer_ctx;
    stack::running_values = outer_values;
}

// Runs the body of function `fn` in its marked frame, the arguments pushed;
// `body` is a copy of its body cell, a block, which may be taken before the
// arguments are evaluated (a function's body cell never changes). While the
// body runs, the function's context takes its values from the frame, whose
// body flag is set; the values are put back on every way out. The frame
// records the context and the values word it had from here on, so that
// unrolling it puts them back too; while the arguments were fetched, the
// context was left as it was, and the frame may record none. A return or
// exit from the body ends here. `fn` must stay valid through the run (a
// copy, not a pointer into a series). The context's values word is kept
// here, not read back from the frame at the end: an exit that leaves the
// body has unrolled the frame by then, and trace callbacks may have marked
// frames of their own over it. The body's value lands in the frame's
// result cell; with PLAIN, for a run known to be untraced (a plain call of
// a function without a trace attribute: tracing cannot begin meanwhile),
// it is left as the top cell instead (where a return leaves it too: the
// frame's result cell is then the top one), and no event is looked for.
// With FRONT (PLAIN too; the caller includes block_front.h), the body's
// first call is made in line (eval_block_front): only where the caller's
// registers are saved anyway (a function's plain call, not a path's).
// Returns whether an exit is left pending (the pending code then nonzero):
// a front that met the body's end with signalled() clear tells that none
// is, with no second look at the code.
template <bool PLAIN = false, bool FRONT = false>
[[gnu::always_inline]] inline bool run_block_body(const Cell* fn, const Cell* body, const Cell* name) {
    Node ctx = fn->w1;
    // The node table is read once for the context and the body's buffer:
    // the stores to the frame and the context in between could otherwise
    // be taken to change it. (A plain run walks the buffer read here:
    // nothing runs before the walk that could move it.)
    SeriesBuffer* const* nodes = node_table;
    Cell* cc = own_cells(nodes[ctx]);
    SeriesBuffer* body_buf = PLAIN ? nodes[body->w2] : nullptr;
    CallFrame* frame = stack::top_frame();
    uint32_t kept = cc->w2;
    // (The values word's store between the frame's two: GCC would join
    // those into one through a vector register, at twice the instructions.)
    frame->fctx = ctx;
    cc->w2 = stack::values_ref(stack::arguments);
    frame->saved = kept;
    // The function runs innermost now; the one that did before (in step
    // with its context, which nothing below leaves changed) is put back.
    Node outer_ctx = stack::running_ctx;
    Cell* outer_values = stack::running_values;
    stack::running_ctx = ctx;
    stack::running_values = stack::arguments;
    frame->header |= FRAME_BODY_FLAG;
    try {
        // The prolog's callback is covered too: whatever it throws, the
        // context gets its values pointer back.
        if (!PLAIN && tracing) trace::event(trace::EV_PROLOG, body, nullptr, name, fn);
        if constexpr (FRONT) {
            // (Ended here, rather than with a flag tested where the ways
            // join, which the other way would pay for.)
            if (!eval_block_front(body, body_buf)) [[likely]] {
                end_body_run(ctx, kept, outer_ctx, outer_values);
                return false;
            }
        } else if (PLAIN) eval_block_at(body, body_buf, body_buf->head_cell() + body->w1);
        else eval_block(body, true);
    } catch (const Thrown& t) {
        if (t.code != THROWN_RETURN && t.code != THROWN_EXIT) {
            end_body_run(ctx, kept, outer_ctx, outer_values);
            // A body that an error leaves reports its epilog as well; so
            // does one that another exit leaves across a native's C++ frame
            // (as it does when the exit travels as a pending code), the
            // callback running with the exit set aside: an exit or error of
            // its own takes the exit's place.
            if (!PLAIN && tracing) {
                if (t.code == THROWN_ERROR) trace::epilog_after_error(body, name, fn);
                else trace::event(trace::EV_EPILOG, body, nullptr, name, fn);
            }
            throw;
        }
        pending = t.code;
    }
    if (!PLAIN && tracing) {
        // The epilog's callback runs with the exit in progress set aside,
        // which then goes on.
        uint32_t held = pending;
        pending = 0;
        try {
            trace::event(trace::EV_EPILOG, body, nullptr, name, fn);
        } catch (const Thrown&) {
            end_body_run(ctx, kept, outer_ctx, outer_values);
            throw;
        }
        pending = held;
    }
    end_body_run(ctx, kept, outer_ctx, outer_values);
    // (Tested for any code first: the caller's own test of it then folds
    // into this one.)
    if (__builtin_expect(pending != 0, 0) && (pending == THROWN_RETURN || pending == THROWN_EXIT)) pending = 0;
    return pending != 0;
}
// The same for any body cell: one that is no block gives none (in the
// frame's result cell, the top one).
template <bool PLAIN = false>
inline void run_body(const Cell* fn, const Cell* body, const Cell* name) {
    if (cell::type(body) != TYPE_BLOCK) {
        set_none(stack::arguments);
        stack::keep();
        return;
    }
    run_block_body<PLAIN>(fn, body, name);
}

}  // namespace zel::interpreter
