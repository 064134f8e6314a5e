// The argument stack, the call stack, unwinding and non-local exits.
#include "runtime/stack.h"
#include "runtime/cycles.h"
#include "runtime/memory.h"
#include "platform/os.h"

namespace zel::stack {

Cell* arguments = nullptr;
Cell* bottom = nullptr;
Cell* top = nullptr;
Cell* args_end = nullptr;
CallFrame* call_begin = nullptr;
CallFrame* call_top = nullptr;
CallFrame* call_end = nullptr;
CallFrame* error_frame = nullptr;
Node running_ctx = 0;
Cell* running_values = nullptr;

namespace {

uint32_t body_sym = 0;
uint32_t anon_sym = 0;

void default_uncaught(const Cell* error) {
    errors::print(error);
    sys::quit(-2);
}
UncaughtHandler uncaught = default_uncaught;

// The first cell of a context's own series is the context cell; its word 2
// holds the values (a node, or an argument-stack index with FLAG_STACK_VALUES).
Cell* context_cell(Node ctx) { return series::buffer_of(ctx)->head_cell(); }

void restore(const CallFrame* f) {
    if (!f->fctx) return;
    context_cell(f->fctx)->w2 = f->saved;
    note_values(f->fctx, f->saved);
}

inline bool is_func_frame(const CallFrame* f) { return (frame_type(f) & 0x7F) == FRAME_FUNC; }

// The state before a non-local exit, so that an error raised because the
// exit has no target is raised from where the exit was asked for.
struct Saved {
    Cell* arguments;
    Cell* top;
    CallFrame* call_top;
    void restore() const {
        stack::arguments = arguments;
        stack::top = top;
        stack::call_top = call_top;
    }
};
Saved save() { return {arguments, top, call_top}; }

}  // namespace

void init(Node argument_block, Node call_block) {
    SeriesBuffer* a = series::buffer_of(argument_block);
    bottom = arguments = top = a->head_cell();
    args_end = reinterpret_cast<Cell*>(a->end_ptr());
    SeriesBuffer* c = series::buffer_of(call_block);
    call_begin = call_top = reinterpret_cast<CallFrame*>(c->head_ptr());
    call_end = call_begin + CALL_STACK_FRAMES;
    error_frame = nullptr;
    running_ctx = 0;
    running_values = args_end;
}

void set_hidden_symbols(uint32_t body_symbol, uint32_t anon_symbol) {
    body_sym = body_symbol;
    anon_sym = anon_symbol;
}

void set_uncaught_handler(UncaughtHandler h) { uncaught = h ? h : default_uncaught; }

void overflow(int cells_back) {
    top = static_cast<uint32_t>(top - bottom) > static_cast<uint32_t>(cells_back) ? top - cells_back : bottom;
    if (arguments > top) arguments = top;
    cycles::reset();
    fire(ERR_INTERNAL, "stack-overflow");
}

uintptr_t machine_stack_limit = 0;

void limit_machine_stack() {
    uintptr_t low = 0;
    size_t size = 0;
    if (!platform::thread_stack_bounds(&low, &size)) return;
    // Room kept for raising and reporting the error: a quarter of the stack,
    // at most 8 MiB.
    size_t reserve = size / 4 < (8u << 20) ? size / 4 : (8u << 20);
    machine_stack_limit = low + reserve;
}

void machine_stack_overflow() {
    cycles::reset();
    fire(ERR_INTERNAL, "stack-overflow");
}

void set_last_top() {
    Cell* last = top_cell();
    if (top > bottom && cell::type(last) == TYPE_ERROR) copy_cell(last, arguments);
    top = arguments + 1;
}

void mark_func(const Cell* word, Node fctx) {
    mark_frame(word, FRAME_FUNC);
    CallFrame* f = call_top - 1;
    f->fctx = fctx;
    f->saved = fctx ? context_cell(fctx)->w2 : 0;
}

void mark_func_body(const Cell* word, Node fctx) {
    // The arguments just pushed become the function's local values.
    uint32_t saved = 0;
    if (fctx) {
        Cell* cc = context_cell(fctx);
        saved = cc->w2;
        cc->w2 = values_ref(arguments);
        note_values(fctx, cc->w2);
    }
    mark_frame(word, FRAME_FUNC_BODY);
    CallFrame* f = call_top - 1;
    f->header |= FRAME_BODY_FLAG;
    f->fctx = fctx;
    f->saved = saved;
}

void set_body_flag(bool flag) {
    CallFrame* f = top_frame();
    if (flag) f->header |= FRAME_BODY_FLAG; else f->header &= ~FRAME_BODY_FLAG;
}

void set_interp_flag() { top_frame()->header |= FRAME_INTERP_FLAG; }

uint32_t set_caller_body_flag() {
    CallFrame* f = call_top - 2;
    if (f < call_begin || (f->header & FRAME_BODY_FLAG)) return 0;
    f->header |= FRAME_BODY_FLAG;
    return 1;
}

bool is_eval(CallFrame* from, bool just_one) {
    CallFrame* f = from ? from : top_frame();
    if (just_one) {
        --f;
        return f >= call_begin && (f->header & FRAME_INTERP_FLAG);
    }
    for (; f >= call_begin; --f)
        if (f->header & FRAME_INTERP_FLAG) return true;
    return false;
}

Cell* base_of(const CallFrame* f) {
    return f + 1 < call_top ? prev_base(f + 1) : arguments;
}

uint32_t depth() { return static_cast<uint32_t>(call_top - call_begin); }

// Popping frames -------------------------------------------------------

void pop_frame() {
    if (call_top <= call_begin) return;
    CallFrame* f = --call_top;
    if (is_func_frame(f)) restore(f);
    Cell* old_base = arguments;
    if (call_top == call_begin) {
        arguments = bottom;
        top = bottom;
    } else {
        arguments = prev_base(f);
        top = old_base;
    }
}

namespace {
// The common shape of the unwinds: pop one frame, base back to the caller's.
inline Cell* unwind_one(bool restore_ctx) {
    CallFrame* f = --call_top;
    if (restore_ctx) restore(f);
    Cell* old_base = arguments;
    arguments = prev_base(f);
    return old_base;
}
}  // namespace

void unwind_restore() { top = unwind_one(true) + 1; }
void unwind_restore_reset() {
    unwind_one(true);
    top = arguments;
}
void unwind_restore_last() {
    Cell* old = unwind_one(true);
    copy_cell(old, arguments);
    top = arguments + 1;
}
void unwind_reset() {
    unwind_one(false);
    top = arguments;
}

// Unrolling ---------------------------------------------------------------

void unroll(uint32_t type, bool keep) {
    Cell* old_base = arguments;
    CallFrame* f = call_top - 1;
    while (f >= call_begin) {
        uint32_t t = frame_type(f);
        if (t == type || t == FRAME_TRY_ALL) break;
        if (is_func_frame(f)) restore(f);
        --f;
    }
    if (f < call_begin) {
        call_top = call_begin;
        arguments = top = bottom;
        return;
    }
    Cell* own_base = base_of(f);
    call_top = f + 1;
    top = old_base + 1;
    arguments = keep ? own_base : prev_base(f);
    if (top < arguments) top = arguments;
}

void unroll_last(uint32_t type) {
    Cell* result = arguments;
    Cell saved = *result;
    unroll(type, false);
    copy_cell(&saved, arguments);
    top = arguments + 1;
}

// Finds the nearest frame of a type below the top, restoring the function
// contexts of the frames passed. Returns null at a barrier or the begin.
static CallFrame* find_exit_target(uint32_t type, bool by_body_flag) {
    for (CallFrame* f = call_top - 1; f >= call_begin; --f) {
        uint32_t t = frame_type(f);
        if (t == FRAME_TRY_ALL) return nullptr;
        if (by_body_flag ? (f->header & FRAME_BODY_FLAG) != 0 : t == type) return f;
    }
    return nullptr;
}

static void restore_down_to(CallFrame* target) {
    for (CallFrame* f = call_top - 1; f > target; --f)
        if (is_func_frame(f)) restore(f);
}

void throw_error(const Cell* error) {
    Cell err = *error;
    Saved s = save();
    CallFrame* f = nullptr;
    for (CallFrame* g = call_top - 1; g >= call_begin; --g) {
        uint32_t t = frame_type(g);
        if (t == FRAME_TRY || t == FRAME_TRY_ALL) {
            f = g;
            break;
        }
    }
    if (!f) {
        // No handler: the error is the result, printed, and the run ends.
        s.restore();
        uncaught(&err);
        // A test handler may return: leave the stacks empty and unwind C++.
        call_top = call_begin;
        arguments = top = bottom;
        throw Thrown{THROWN_ERROR};
    }
    restore_down_to(f);
    call_top = f;  // the try frame itself is popped
    arguments = prev_base(f);
    top = s.top > arguments ? s.top : arguments;
    // Keep the error above everything the interrupted code left behind.
    if (top >= args_end) top = args_end - 1;
    *top++ = err;
    throw Thrown{THROWN_ERROR};
}

void unroll_loop_exit(bool keep_value, int kind) { throw Thrown{exit_loop(keep_value, kind)}; }
void unroll_func_exit(bool with_value) { throw Thrown{exit_func(with_value)}; }
void unroll_throw(uint32_t code) { throw Thrown{exit_throw(code)}; }

uint32_t exit_loop(bool keep_value, int kind) {
    Saved s = save();
    Cell value = *arguments;
    CallFrame* f = find_exit_target(FRAME_LOOP, false);
    if (!f) {
        s.restore();
        fire(ERR_THROW, kind == 0 ? "break" : "continue");
    }
    restore_down_to(f);
    Cell* base = base_of(f);
    call_top = f + 1;
    arguments = base;
    if (keep_value && kind == 0) copy_cell(&value, base); else set_unset(base);
    top = base + 1;
    return kind == 0 ? THROWN_BREAK : THROWN_CONTINUE;
}

uint32_t exit_func(bool with_value) {
    Saved s = save();
    Cell value = *arguments;
    CallFrame* f = find_exit_target(0, true);
    if (!f) {
        s.restore();
        fire(ERR_THROW, "return");
    }
    restore_down_to(f);
    Cell* base = base_of(f);
    call_top = f + 1;
    arguments = base;
    if (with_value) copy_cell(&value, base); else set_unset(base);
    top = base + 1;
    return with_value ? THROWN_RETURN : THROWN_EXIT;
}

uint32_t exit_throw(uint32_t code) {
    Saved s = save();
    // The thrown value and its name are the two cells at the base.
    Cell value = *arguments;
    Cell name = arguments + 1 < top ? arguments[1] : Cell{TYPE_NONE, 0, 0, 0};
    error_frame = call_top;
    CallFrame* f = find_exit_target(FRAME_CATCH, false);
    if (!f) {
        // The stacks are back as the throw found them: the running call is
        // the throw's own again, and a later error must not take it for
        // the call that is running then.
        s.restore();
        error_frame = nullptr;
        fire(ERR_THROW, "throw", &value);
    }
    restore_down_to(f);
    Cell* base = base_of(f);
    call_top = f + 1;
    arguments = base;
    top = base;
    *top++ = value;
    *top++ = name;
    return code;
}

}  // namespace zel::stack
