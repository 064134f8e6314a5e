// The interpreter: evaluates blocks of values, one expression at a time.
//
// Every expression leaves its value either pushed on the argument stack
// (sub: an argument being fetched) or stored in the current frame's result
// slot. Non-local exits that need no C++ frame between their origin and
// their target (break in a loop body, return in a function body) travel as
// a pending code: the native that asks for the exit unrolls the stacks to
// the target frame and sets `pending`; every evaluating routine returns at
// once when it sees a pending code, touching neither stack; the target
// (a loop native, a function call) takes it. Where C++ code that cannot
// handle a pending code calls the evaluator, `throw_pending()` turns it into
// a `Thrown` exception, which the same targets also take.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/errors.h"
#include "runtime/signals.h"
#include "runtime/stack.h"

namespace zel::interpreter {

// 0, or the thrown code of a non-local exit in progress (next to the
// collector's attention word: see signals.h).
inline constexpr uint32_t& pending = signals.each.pending;
// The blocks under evaluation, innermost first: each block evaluation keeps
// one of these on the machine stack and moves its cursor as it goes.
struct CodeFrame {
    Cell code;
    const Cell* head;
    const Cell* cursor;
    CodeFrame* prev;
    // The call stack's top when the block began. An expression of the block
    // that is an assignment is reported as a call named by its set-word,
    // inner to the frames marked before the block began; assignments mark
    // no frame of their own, for speed. (Every expression starts with the
    // call stack as the block found it.)
    const CallFrame* entry_top;
};
extern CodeFrame* code_frame;
// Links a block's code frame for its evaluation and unlinks it on every way out.
struct CodeScope {
    CodeFrame frame;
    CodeScope(const Cell& code, const Cell* head) : frame{code, head, head, code_frame, stack::call_top} {
        code_frame = &frame;
    }
    ~CodeScope() { code_frame = frame.prev; }
    CodeScope(const CodeScope&) = delete;
    CodeScope& operator=(const CodeScope&) = delete;
};
// An assignment that does not start an expression of the block evaluated
// innermost (one run by do/next, any, all...), recorded while it runs: its
// set-word, the call stack's top when it began, and that block's code
// frame. The records chain, innermost first, apart from the code frames:
// a block's evaluation then has fewer fields to fill when it begins.
struct Assigning;
extern Assigning* assignments;
struct Assigning {
    const Cell* set_word;
    const CallFrame* top;
    const CodeFrame* frame;
    Assigning* prev;
    explicit Assigning(const Cell* sw)
        : set_word(sw), top(stack::call_top), frame(code_frame), prev(assignments) {
        assignments = this;
    }
    ~Assigning() { assignments = prev; }
    Assigning(const Assigning&) = delete;
    Assigning& operator=(const Assigning&) = delete;
};
// The innermost assignment recorded in code frame `cf`, or null.
const Assigning* assignment_in(const CodeFrame* cf);
// The innermost block under evaluation, positioned at the expression being
// evaluated (error reports); unset when nothing is evaluated.
Cell current_code();
// Tracing switches (do/trace).
extern bool tracing;
extern bool trace_run;

void init();
// Installs the calls into user code that other modules make (the lexer's
// callbacks).
void install_callbacks();

// Evaluates a block or paren from its head to its tail, each expression's
// value pushed above the cells already there (untraced, no frame is marked;
// traced, an eval frame); with `chain` the result lands in the current
// frame's result slot, else it is left as the top cell of the argument stack.
void eval_block(const Cell* code, bool chain);
// eval_block_plain(code) (below) for a caller that has found the block's
// buffer, `buf`, and its first value there, `head`.
void eval_block_at(const Cell* code, SeriesBuffer* buf, Cell* head);
// eval_block(code, false) for a caller that evaluates untraced (tracing
// cannot begin meanwhile: a traced run, and a function's own switch of it,
// begin and end within one call).
inline void eval_block_plain(const Cell* code) {
    SeriesBuffer* buf = node_table[code->w2];
    eval_block_at(code, buf, buf->head_cell() + code->w1);
}
// eval_block_plain(code) for a caller that includes block_front.h, where
// it is defined: the call that starts the block, the commonest first
// expression, is made in line. False when the block's end was met right
// after that call with signalled() clear (no exit pending); true
// otherwise, the pending code then to be looked at.
template <bool PATHS = false>
inline bool eval_block_front(const Cell* code);
// The same for a caller that has looked up the block's buffer, `buf`.
template <bool PATHS = false>
inline bool eval_block_front(const Cell* code, SeriesBuffer* buf);
// eval_block_at(code, buf, head) for a paren whose first value, at `head`,
// is a path: its call is made with one call level less (eval_block_at's
// walk would reach it through eval_nested).
void eval_paren_path(const Cell* code, SeriesBuffer* buf, Cell* head);
// eval_block_at(code, buf, head) for a block whose first value, at `head`,
// is a paren, `tail` the end of its buffer: the paren's first call is made
// in line, and the operators after it are applied with no call of their
// own. Either's branch that starts with one (`[(f n - 1) + f n - 2]`) is
// run so.
void eval_branch_paren(const Cell* code, SeriesBuffer* buf, Cell* head, Cell* tail);
// The walk of a block under evaluation (untraced) on from `cursor`, before
// `tail`, after its first expression, evaluated by eval_block_front: `frame`
// is its code frame, `buf` its pinned buffer, `slot` where each value lands;
// `seen` is the value of the word at `cursor` when that expression's call
// read it, looking for an operator (null otherwise).
void walk_rest(CodeFrame& frame, SeriesBuffer* buf, Cell* cursor, Cell* tail, Cell* slot, const Cell* seen);
// After the last expression of a block, once signalled() told that an exit
// is pending or a safe point has work: serves the safe point unless an exit
// is pending.
[[gnu::cold]] void serve_block_end();
// A loop's body, run again and again in the loop's frame (the current
// frame): each run is eval_block(body, true), its code frame made once for
// the loop rather than once per run. The body's cell is copied; its block
// is read as it is at each run.
class LoopBody {
public:
    explicit LoopBody(const Cell* body);
    // One run; returns at once when an exit is pending.
    void run();
    // Runs the body `n` times (without end when n < 0), first setting the
    // word `counter`, when given, to the run's number from 1. A continue,
    // pending or thrown, ends its run only; any other exit ends the runs
    // and is left pending (a thrown break too). The current frame has room
    // for a value at its base (each run's value lands there).
    void run_counted(int64_t n, const Cell* counter);
    LoopBody(const LoopBody&) = delete;
    LoopBody& operator=(const LoopBody&) = delete;

private:
    CodeFrame frame_;
};
// Evaluates one expression from `cursor` (then applies infix operators
// unless `prefix`); returns the cursor after it.
Cell* eval_expression(Cell* cursor, Cell* end, const Cell* code, bool prefix, bool sub, bool passive);
// Applies the infix operators that follow a left operand sitting at `left`
// (the top cell), the first being `op`, the op! value of the word at
// `cursor`; returns the cursor after the last one.
Cell* apply_infix(Cell* cursor, Cell* end, const Cell* code, Cell* left, bool sub, const Cell* op);
// One expression with infix look-ahead in a frame of its own.
Cell* eval_next(const Cell* code, Cell* cursor, Cell* end, bool sub);
// One expression from a block value's position; the new index.
int32_t eval_next_index(Cell* block);
// Calls a callable value met in code (or reached through a path).
Cell* eval_code(const Cell* value, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* path,
                const Cell* name, const Cell* owner, int mode, bool infix);
// Calls a callable met in code, untraced, with no path and no apply mode;
// `name` is the word that named it (no new-line flag).
Cell* call_plain(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// call_plain's way for a function with FLAG_PLAIN_CALL, for a caller that
// has tested the flag.
Cell* call_function_flagged(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, bool sub, const Cell* name);
// Calls a callable named by the first word of a path whose other items are
// refinement words, untraced, its result pushed; null (nothing done) when
// the call is not that simple.
Cell* call_path(const Cell* fn, Cell* cursor, Cell* end, const Cell* code, const Cell* path, const Cell* name_pos);
// eval_path of a path neither set nor get, untraced, whose head word holds
// a callable: the call, its refinements the path's other items, the result
// pushed (sub) or made the current result. Any other path goes to walk_path.
// `path` is a copy the caller keeps, unchanged, through the call (no cell of
// a series, which the call's code could change): the call roots it while
// code runs.
Cell* call_named_path(const Cell* path, Cell* cursor, Cell* end, const Cell* code, bool sub, bool case_);
// call_named_path(path, cursor, end, code, true, false), but `at` may be
// the path's cell in its series: it is copied before any code runs.
Cell* call_sub_path(const Cell* at, Cell* cursor, Cell* end, const Cell* code);
// Evaluates a path, a get-path (get) or a set-path's assignment (set). A
// path neither set nor get is a copy the caller keeps (as call_named_path).
Cell* eval_path(const Cell* path, Cell* cursor, Cell* end, const Cell* code, bool set, bool get, bool sub,
                bool case_);
// eval_path the general way, for any path.
Cell* walk_path(const Cell* path, Cell* cursor, Cell* end, const Cell* code, bool set, bool get, bool sub,
                bool case_);

// Builds, summarises and keeps a callable's argument descriptor list (in
// cell 1 of its more block). Callables are given theirs when they are made:
// the list must describe the frame their context was made for, whatever
// later happens to the spec block they share.
Node build_arg_list(const Cell* fn);
// Records a native or action just made: while the boot library loads, its
// argument list becomes its slot's own; later, false when the list names
// fewer arguments than the own one (the entry would read past the call's
// frame), and the value is flagged when the list's types differ.
bool note_native_spec(Cell* fn);
// The boot library is loaded: the slots' own argument lists are final.
void freeze_native_specs();
// Whether a callable's first two arguments both accept integer!: an
// operator made from it may then combine two integers in place.
bool takes_integers(const Cell* fn);

// Checks the first `count` operands at the arguments base against an
// operator's argument types (expect-arg on a miss).
void check_operands(const Cell* fn, const Cell* name, int count = 2);

// Runs a function's body (the frame is marked and the arguments pushed);
// `kind` is the callback kind bit (0 for none).
void call_function(const Cell* fn, Node ctx, const Cell* name, uint32_t kind);

// Calls a user function with the given arguments (any that the spec does
// not take are dropped, missing ones are none) in a frame named `name_sym`;
// the result is left at the frame's base and returned (valid until the next
// call). Throws a pending exit as an exception. `taken`, when given, gets
// how many of the arguments the spec took.
Cell* call_with(const Cell* fn, const Cell* args, int count, uint32_t name_sym, uint32_t kind,
                int* taken = nullptr);

// In a loop's handler of a Thrown exception: a break or continue (thrown by
// C++ code that could not return it) becomes the pending code, as if it had
// not been thrown; any other goes on.
inline void take_loop_exit(const Thrown& t) {
    if (t.code != THROWN_BREAK && t.code != THROWN_CONTINUE) throw;
    pending = t.code;
}

// Turns a pending code into a Thrown exception (for C++ callers of the
// evaluator that cannot return it).
inline void throw_pending() {
    if (pending) {
        uint32_t c = pending;
        pending = 0;
        throw Thrown{c};
    }
}

}  // namespace zel::interpreter
