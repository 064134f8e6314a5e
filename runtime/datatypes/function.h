// function! and routine!: functions written in the language (a spec, a body
// bound to the function's own context) and compiled routines with a spec.
//
// Cell: word 1 the context node (function kind, values on the argument
// stack while a call runs), word 2 the spec block's node, word 3 the more
// block's node. The more block holds five cells: 0 the body (or none), 1 the
// argument descriptor list (built on the first call), 2 the compiled entry
// (unused: unset), 3 the source of an op! made from the function, 4 the
// owner context reference (unset when none).
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::function {

constexpr uint32_t FLAG_NO_TRACE = 1u << 9;
constexpr uint32_t FLAG_TRACE = 1u << 10;
constexpr uint32_t MORE_CELLS = 5;

// Validates a spec block; returns the attribute flags (trace, no-trace).
uint32_t check_spec(const Cell* spec);
// Makes a function from a spec and a body (none: no body); with ctx 0 a new
// context is made from the spec's words and the body copy bound to it. The
// function is pushed; returns its context node.
Node make_context(const Cell* spec, const Cell* body, Node ctx, uint32_t flags);
// Completes the spec of `function` with the words the body sets or loops
// over; returns the block of added words (pushed).
Cell* collect_words(Cell* spec, Cell* body);
// Values in the /local part of a spec from `start`: 1 for /local plus one
// per word after it; -1 with `require` when there is no /local.
int32_t count_locals(Node spec, int32_t start, bool require);
// Pushes false, then n-1 none: the slots of an unused refinement or /local.
void push_refinement_off(int32_t n);

// The argument descriptor list of a callable (function, routine, native,
// action): a none! cell first, which the interpreter fills with its summary
// of the list for fast calls (readers of the descriptors skip it), then typesets for arguments (kind in header bits 20-21: 0 evaluated,
// 1 get, 2 quoted, 3 return type), refinement copies (word 3: the frame
// slot of a function, the 1-based number for a native or action), an
// integer! for the /local count, and for natives and actions an integer! of
// their refinement count last.
Node build_arg_list(const Cell* fn);
// The n-th argument or refinement word of a callable's spec (from 1), or
// the word <anon>; error reports name arguments with it.
void arg_word(const Cell* fn, int n, Cell* out);

// Actions.
Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* reflect(Cell* fn, uint32_t field);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
void init();
// The prefix, the spec molded as a block, then the body (molded as a block
// when it is one, else a blank and its own mold).
int32_t mold_with_prefix(const char* prefix, Cell* value, Cell* buffer, bool all, bool flat, Cell* arg, int32_t part,
                         int32_t indent);

}  // namespace zel::function

namespace zel::routine {

// A routine's body: systems code registered by name. It reads its
// arguments from the frame's base (in spec order) and leaves its result
// in the base cell.
using Body = void (*)(Cell* args, int count);
// Registers a body under a name; the same name again replaces it.
void register_body(const char* name, Body body);
// The number of a registered body (1-based), or 0.
uint32_t body_number(const char* name);
Body body_at(uint32_t number);
// Makes a routine! from a spec and the name of a registered body, pushed
// on the argument stack; an unknown name raises invalid-arg.
Cell* push_new(const Cell* spec, const char* body_name);
// Header bits 25-29: the number of word! values in the spec.
inline uint32_t get_arity(const Cell* r) { return (r->header >> 25) & 0x1F; }

int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
void init();
}  // namespace zel::routine
