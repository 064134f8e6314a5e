// The argument stack and the call stack.
//
// A call marks a frame, which makes the current top its arguments base (its
// result slot); the arguments are pushed from there; the call leaves its
// result in the base cell and unwinding drops everything above it. Both
// stacks live in fixed buffers, so pointers into them stay valid.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "runtime/cell.h"
#include "runtime/errors.h"
#include "runtime/memory.h"

namespace zel {

// A call-stack entry: four 32-bit words and the previous base. The symbol
// sits in the low bits of the header, and the previous base is kept as the
// pointer itself, so that marking and unwinding (a few times per call) copy
// it with no arithmetic. (The header and the word context, which marking
// writes, are kept apart: GCC would store the two as one through a vector
// register, at more instructions than two stores.)
struct CallFrame {
    uint32_t header;     // bits 0-15 symbol, 24-27 type, 28 body flag, 31 interpreter flag
    Node fctx;           // the function's context (function frames), else 0
    Cell* prev_base;     // arguments base in force before the frame was marked
    Node ctx;            // context of the word naming the call (caller's context)
    uint32_t saved;      // the function context's values word saved at marking (read only with fctx)
};
static_assert(sizeof(CallFrame) == 24);
static_assert(offsetof(CallFrame, fctx) == 4);  // marking writes it with the header

// Frame type codes (header bits 24-31 as marked).
enum FrameType : uint32_t {
    FRAME_FUNC = 0x01,
    FRAME_NATIVE = 0x02,
    FRAME_TRY = 0x04,
    FRAME_TRY_ALL = 0x05,  // barrier: every unroll stops here
    FRAME_CATCH = 0x06,
    FRAME_LOOP = 0x08,
    FRAME_FUNC_BODY = 0x12,
    FRAME_INTERP_FUNC = 0x81,
    FRAME_INTERP_NATIVE = 0x82,
    FRAME_INTERP_EVAL = 0x87,
};
constexpr uint32_t FRAME_BODY_FLAG = 1u << 28;
constexpr uint32_t FRAME_INTERP_FLAG = 1u << 31;

constexpr uint32_t ARGUMENT_STACK_CELLS = 20000;
constexpr uint32_t CALL_STACK_CELLS = 18000;
constexpr uint32_t CALL_STACK_FRAMES = 12000;  // 18,000 cells hold 12,000 frames of 24 bytes

namespace stack {

extern Cell* arguments;  // base of the current call (its result slot)
extern Cell* bottom;
extern Cell* top;        // next free cell
extern Cell* args_end;
extern CallFrame* call_begin;
extern CallFrame* call_top;  // next free frame
extern CallFrame* call_end;

// The function whose body runs innermost: its context and its first value,
// from which its words are read without looking the context up. They always
// agree with that context's values word: what changes the word (a body
// starting and ending, a frame's restore) changes them too. With no body
// running, the context is 0 and the values start at the stack's end, so that
// any word bound to 0 is past the top there.
extern Node running_ctx;
extern Cell* running_values;
inline Cell* values_at(uint32_t ref);
// Brings them in step after `ctx`'s values word became `ref`.
inline void note_values(Node ctx, uint32_t ref) {
    if (ctx != running_ctx) return;
    if (ref) {
        running_values = values_at(ref);
    } else {
        running_ctx = 0;
        running_values = args_end;
    }
}

// Sets the bounds from the argument and call stack buffers.
void init(Node argument_block, Node call_block);
// Symbols of the frame names that reports skip (<body>, <anon>).
void set_hidden_symbols(uint32_t body_symbol, uint32_t anon_symbol);

[[noreturn]] void overflow(int cells_back);

// Evaluation that nests without marking frames (blocks in blocks, parens in
// parens) is bounded by the machine stack instead: below this address the
// evaluator reports a stack overflow while there is still room to do so.
// 0 (no check) until `limit_machine_stack` runs on the runtime's thread.
extern uintptr_t machine_stack_limit;
void limit_machine_stack();
[[noreturn]] void machine_stack_overflow();
// Whether the machine stack is above the limit, so that check_machine_stack
// would pass here.
inline bool machine_stack_left() {
    char probe;
    return reinterpret_cast<uintptr_t>(&probe) >= machine_stack_limit;
}
inline void check_machine_stack() {
    if (!machine_stack_left()) machine_stack_overflow();
}

inline Cell* push(const Cell* c) {
    if (top >= args_end) overflow(5);
    *top = *c;
    return top++;
}
inline Cell* push_new() {
    if (top >= args_end) overflow(5);
    return top++;
}
inline void pop(uint32_t n) { top = static_cast<uint32_t>(top - bottom) > n ? top - n : bottom; }
// The last pushed cell (the bottom when the stack is empty).
inline Cell* top_cell() { return top > bottom ? top - 1 : bottom; }
inline uint32_t top_type() { return cell::type(top_cell()); }
inline uint32_t index_of(const Cell* c) { return static_cast<uint32_t>(c - bottom); }
// A position as a frame keeps it (bytes from the bottom), and back.
inline uint32_t offset_of(const Cell* c) {
    return static_cast<uint32_t>(reinterpret_cast<const char*>(c) - reinterpret_cast<const char*>(bottom));
}
inline Cell* at_offset(uint32_t offset) { return reinterpret_cast<Cell*>(reinterpret_cast<char*>(bottom) + offset); }
// A function context whose values live on the argument stack keeps, in word 2
// of its context cell, a reference to the first value: the offset in bytes
// of the cell after it, so that 0 can mean "no call of the function is
// running" (in bytes, as a frame keeps its base: a body's start needs no
// shift).
inline uint32_t values_ref(const Cell* first_value) { return offset_of(first_value + 1); }
inline Cell* values_at(uint32_t ref) { return ref ? at_offset(ref) - 1 : nullptr; }
inline Cell* at(uint32_t index) { return bottom + index; }
inline Cell* arg(uint32_t i) { return arguments + i; }

inline Cell* reset() { return top = arguments; }
inline void keep() { top = arguments + 1; }
inline void set_last(const Cell* c) { copy_cell(c, arguments); }
inline void set_last_keep(const Cell* c) {
    top = arguments + 1;
    copy_cell(c, arguments);
}
void set_last_top();
inline void set_call_top(CallFrame* f) { call_top = f; }

// Marking frames.
// Opens a frame that records no function context (a function's call
// writes its own over it): the current top becomes the new call's
// arguments base. A full call stack, or an argument stack without room for
// the frame's result cell, is checked before anything is written.
inline CallFrame* open_frame_at(Cell* base, uint32_t symbol, Node word_ctx, uint32_t type);
inline CallFrame* open_frame(uint32_t symbol, Node word_ctx, uint32_t type) {
    if (call_top >= call_end || top >= args_end) overflow(5);
    return open_frame_at(top, symbol, word_ctx, type);
}
// The same with `base` as the new call's arguments base, nothing checked:
// for a caller that has checked the call stack and whose base cell is on
// the stack already.
inline CallFrame* open_frame_at(Cell* base, uint32_t symbol, Node word_ctx, uint32_t type) {
    CallFrame* f = call_top++;
    // (The base in force is read before the frame is written: GCC would
    // read it again after the stores.)
    Cell* prev = arguments;
    // The header and the empty context side by side, in one store.
    uint64_t header = (symbol & 0xFFFF) | type << 24;
    if constexpr (std::endian::native == std::endian::big) header <<= 32;
    std::memcpy(f, &header, sizeof header);
    f->prev_base = prev;
    f->ctx = word_ctx;
    arguments = base;
    return f;
}
// Marks a frame that records no function context at the top, nothing
// checked: for a caller that has made sure both stacks have room for it.
inline void mark_frame_unchecked(uint32_t symbol, Node word_ctx, uint32_t type) {
    open_frame_at(top, symbol, word_ctx, type);
}
// Marks a frame that records no function context.
inline void mark_frame(uint32_t symbol, Node word_ctx, uint32_t type) {
    if (call_top >= call_end || top >= args_end) overflow(5);
    mark_frame_unchecked(symbol, word_ctx, type);
}
inline void mark_frame(const Cell* word, uint32_t type) { mark_frame(word->w2, word->w1, type); }
inline void mark_native(const Cell* word) { mark_frame(word, FRAME_NATIVE); }
inline void mark_try(const Cell* word) { mark_frame(word, FRAME_TRY); }
inline void mark_try_all(const Cell* word) { mark_frame(word, FRAME_TRY_ALL); }
inline void mark_catch(const Cell* word) { mark_frame(word, FRAME_CATCH); }
inline void mark_loop(const Cell* word) { mark_frame(word, FRAME_LOOP); }
inline void mark_interp_eval(const Cell* word) { mark_frame(word, FRAME_INTERP_EVAL); }
inline void mark_interp_native(const Cell* word) { mark_frame(word, FRAME_INTERP_NATIVE); }
inline void mark_interp_func(const Cell* word) { mark_frame(word, FRAME_INTERP_FUNC); }
void mark_func(const Cell* word, Node fctx);
void mark_func_body(const Cell* word, Node fctx);

inline uint32_t frame_type(const CallFrame* f) { return f->header >> 24; }
inline uint32_t frame_symbol(const CallFrame* f) { return f->header & 0xFFFF; }
// The arguments base in force before `f` was marked.
inline Cell* prev_base(const CallFrame* f) { return f->prev_base; }
inline CallFrame* top_frame() { return call_top - 1; }
void set_body_flag(bool flag);
void set_interp_flag();
uint32_t set_caller_body_flag();
inline uint32_t clear_body_flag(uint32_t header) { return header & ~FRAME_BODY_FLAG; }
bool is_eval(CallFrame* from, bool just_one);
// The arguments base that was in force while `f` was the top frame.
Cell* base_of(const CallFrame* f);
uint32_t depth();

// Popping frames.
void pop_frame();
// Pops the top frame (no context restore): the result stays in the old base cell.
inline void unwind() {
    CallFrame* f = --call_top;
    Cell* old_base = arguments;
    arguments = prev_base(f);
    top = old_base + 1;
}
void unwind_restore();
void unwind_restore_reset();
void unwind_restore_last();
// Pops the top frame and copies its result into the caller's base cell.
inline void unwind_last() {
    CallFrame* f = --call_top;
    Cell* old_base = arguments;
    arguments = prev_base(f);
    *arguments = *old_base;
    top = arguments + 1;
}
void unwind_reset();
// Pops the top frame whose result is the top cell rather than its base
// cell: the result goes to the base cell (as unwind leaves it), or `below`
// cells under it (a function's call, whose callable sits under its frame),
// or, with `last`, to the caller's base cell (as unwind_last).
inline void unwind_top(bool last, uint32_t below = 0) {
    Cell r = *(top - 1);
    CallFrame* f = --call_top;
    Cell* old_base = arguments;
    arguments = prev_base(f);
    Cell* to = last ? arguments : old_base - below;
    *to = r;
    top = to + 1;
}

// Unrolling to a frame of a type (or a barrier, or the call begin).
void unroll(uint32_t type, bool keep);
void unroll_last(uint32_t type);
inline void unroll_loop(bool keep) { unroll(FRAME_LOOP, keep); }

// Non-local exits, prepared: the stacks are unrolled to the target frame and
// the code is returned for the caller to pass on as a pending code. With no
// target, the matching throw-class error is raised.
uint32_t exit_loop(bool keep_value, int kind);  // kind 0 break, 1 continue
uint32_t exit_func(bool with_value);
uint32_t exit_throw(uint32_t code);
// A function frame marked by the interpreter (81h) that records the
// function's context so that unrolling restores its values.
inline void mark_interp_func(const Cell* word, Node fctx) {
    CallFrame* f = open_frame(word->w2, word->w1, FRAME_INTERP_FUNC);
    f->fctx = fctx;
    f->saved = fctx ? node_table[fctx]->head_cell()->w2 : 0;
}

// Non-local exits. Each ends by throwing its code (or raising the matching
// throw-class error when nothing can take it).
[[noreturn]] void throw_error(const Cell* error);
[[noreturn]] void unroll_loop_exit(bool keep_value, int kind);  // kind 0 break, 1 continue
[[noreturn]] void unroll_func_exit(bool with_value);
[[noreturn]] void unroll_throw(uint32_t code);

// Where an uncaught error goes: printed, then the process ends with -2.
// The console replaces the printer; tests replace the whole exit.
using UncaughtHandler = void (*)(const Cell* error);
void set_uncaught_handler(UncaughtHandler h);

// Frame position saved by a throw, read once by the call reporter.
extern CallFrame* error_frame;

}  // namespace stack
}  // namespace zel
