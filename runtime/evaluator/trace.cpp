// Trace events: during a do/trace run every step of the interpreter is
// reported to a user function, the callback, which receives the event word,
// the code and position, a value, a reference and the stack frame.
#include "runtime/evaluator/trace.h"
#include <vector>
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::trace {

namespace {

const char* const EVENT_NAMES[] = {"init", "end", "prolog", "epilog", "enter", "exit", "open", "return",
                                   "fetch", "push", "set", "call", "error", "throw", "catch", "expr"};
constexpr int EVENT_COUNT = 16;

// The callback lives in a cell of the runtime root block, so the collector
// keeps it.
uint32_t callback_index = 0;
uint32_t mask = DEFAULT_EVENTS;
int32_t extra = 0;
// The event values fill the callback's first six slots. A callback that
// declares more parameters before its locals gets these for the rest, so
// that it never reads cells above its frame: false for a refinement, none
// for an argument (one entry per slot).
constexpr int EVENT_VALUES = 6;
std::vector<bool> beyond_events;

// The slots a callback's spec declares before /local from the seventh on:
// true for each refinement, false for each argument word.
std::vector<bool> slots_beyond_events(const Cell* fn) {
    std::vector<bool> kinds;
    SeriesBuffer* b = series::buffer_of(fn->w2);
    int slot = 0;
    for (const Cell* p = b->head_cell(); p < b->tail_cell(); ++p) {
        uint32_t t = cell::type(p);
        bool refinement = t == TYPE_REFINEMENT;
        if (refinement && symbol::resolve(p->w2) == symbol::resolve(words::_local_ref.w2)) break;
        if (!refinement && t != TYPE_WORD && t != TYPE_GET_WORD && t != TYPE_LIT_WORD) continue;
        if (slot++ >= EVENT_VALUES) kinds.push_back(refinement);
    }
    return kinds;
}

Cell* callback_cell() { return series::buffer_of(runtime::root)->head_cell() + callback_index; }

int bit_index(uint32_t ev) {
    for (int i = 0; i < EVENT_COUNT; ++i)
        if (ev == (1u << i)) return i;
    return -1;
}

// The bit of an event word, or 0. Words match as everywhere else: by
// their resolved symbols, whatever their case.
uint32_t bit_of_word(const Cell* w) {
    uint32_t sym = symbol::resolve(w->w2);
    for (int i = 0; i < EVENT_COUNT; ++i)
        if (symbol::resolve(symbol::make(EVENT_NAMES[i])) == sym) return 1u << i;
    return 0;
}

// The events a callback asks for: the words of a block that begins its body.
uint32_t mask_of(const Cell* fn) {
    Cell body = series::buffer_of(fn->w3)->head_cell()[0];
    if (cell::type(&body) != TYPE_BLOCK || block::rs_length_q(&body) <= 0) return DEFAULT_EVENTS;
    Cell first = *block::rs_head(&body);
    if (cell::type(&first) != TYPE_BLOCK) return DEFAULT_EVENTS;
    uint32_t m = 0;
    for (Cell* p = block::rs_head(&first); p < block::rs_tail(&first); ++p)
        if (cell::type(p) == TYPE_WORD) m |= bit_of_word(p);
    return m;
}

inline bool carries_ref(uint32_t ev) {
    return ev == EV_SET || ev == EV_EPILOG || ev == EV_PROLOG || ev == EV_RETURN || ev == EV_CALL;
}

}  // namespace

void event(uint32_t ev, const Cell* code, const Cell* cursor, const Cell* ref, const Cell* value) {
    if (!interpreter::tracing || !(ev & mask) || cell::type(callback_cell()) != TYPE_FUNCTION) return;
    int bit = bit_index(ev);
    if (bit < 0) return;
    // Nothing the callback's call does is traced, from the first step: a
    // full stack raised while its frame is built must not be reported again
    // through this same call.
    interpreter::tracing = false;
    struct Resume {
        ~Resume() { interpreter::tracing = true; }
    } resume;
    Cell* saved_args = stack::arguments;
    Cell* saved_top = stack::top;
    CallFrame* saved_call = stack::call_top;
    uint32_t base_index = stack::index_of(stack::arguments);
    uint32_t top_index = stack::index_of(stack::top);
    ++stack::top;  // the cell at the top stays as it is
    Cell fn = *callback_cell();
    collector::Root keep(&fn);
    Cell name = words::_interp_callback_tag;
    stack::mark_func(&name, fn.w1);
    Cell w;
    word::make_at(symbol::make(EVENT_NAMES[bit]), &w);
    stack::push(&w);
    if (code && cell::type(code) != TYPE_NULL) {
        stack::push(code);
        int32_t offset = -1;
        if (cursor) {
            Cell c = *code;
            const Cell* head = block::rs_head(&c);
            const Cell* tail = block::rs_tail(&c);
            if (cursor >= head && cursor <= tail) offset = static_cast<int32_t>(cursor - head);
        }
        set_integer(stack::push_new(), offset);
    } else {
        set_none(stack::push_new());
        set_integer(stack::push_new(), -1);
    }
    if (value && cell::type(value) != TYPE_NULL) stack::push(value); else set_none(stack::push_new());
    if (carries_ref(ev) && ref) stack::push(ref); else set_none(stack::push_new());
    pair::make_in(stack::push_new(), static_cast<int32_t>(base_index), static_cast<int32_t>(top_index));
    for (bool refinement : beyond_events) {
        if (refinement) set_logic(stack::push_new(), false); else set_none(stack::push_new());
    }
    if (extra > 0) function::push_refinement_off(extra);
    interpreter::call_function(&fn, fn.w1, &name, 0);
    interpreter::throw_pending();
    stack::unwind_restore();
    stack::arguments = saved_args;
    stack::top = saved_top;
    stack::call_top = saved_call;
}

void report_error(const Cell* error) {
    if (interpreter::tracing) event(EV_ERROR, nullptr, nullptr, nullptr, error);
}

void init() {
    errors::set_fire_hook(report_error);
    Cell* c = series::alloc_tail_cell(runtime::root);
    set_none(c);
    callback_index = series::buffer_of(runtime::root)->length() - 1;
}

bool start_run(const Cell* fn) {
    if (interpreter::trace_run) return false;
    *callback_cell() = *fn;
    mask = mask_of(fn);
    extra = function::count_locals(fn->w2, 0, false);
    beyond_events = slots_beyond_events(fn);
    interpreter::tracing = true;
    interpreter::trace_run = true;
    try {
        event(EV_INIT, nullptr, nullptr, nullptr, nullptr);
    } catch (const Thrown& t) {
        // A callback failing at init ends the run there: nothing stays traced.
        if (t.code == THROWN_ERROR) end_run_after_error(); else end_run();
        throw;
    } catch (...) {
        end_run();
        throw;
    }
    return true;
}

namespace {
void clear_run() {
    set_none(callback_cell());
    interpreter::tracing = false;
    interpreter::trace_run = false;
}
}  // namespace

namespace {
// Calls the callback through `step` while an error leaves the code. The
// stacks are already unwound to the try that takes the error, which waits
// on top of the argument stack, and that try's frame is gone: an error the
// callback raises now is caught here, by a frame of our own, and takes the
// first one's place, so that the same try receives it.
template <class Step>
void while_error_leaves(Step step) {
    Cell* top = stack::top;
    Cell* base = stack::arguments;
    CallFrame* depth = stack::call_top;
    stack::mark_try(&words::_try);
    Cell err = *(top - 1);
    try {
        step();
    } catch (const Thrown& t) {
        if (t.code != THROWN_ERROR) throw;
        err = *stack::top_cell();
    }
    stack::call_top = depth;
    stack::arguments = base;
    stack::top = top;
    *(top - 1) = err;
}
}  // namespace

void end_run_after_error() { while_error_leaves([] { end_run(); }); }

void epilog_after_error(const Cell* body, const Cell* name, const Cell* fn) {
    while_error_leaves([&] { event(EV_EPILOG, body, nullptr, name, fn); });
}

void end_run() {
    uint32_t pending = interpreter::pending;
    interpreter::pending = 0;
    try {
        event(EV_END, nullptr, nullptr, nullptr, nullptr);
    } catch (...) {
        clear_run();
        throw;
    }
    clear_run();
    interpreter::pending = pending;
}

}  // namespace zel::trace
