// The header flags that let a call take its short way, read where the
// calls are made: apart from calls_internal.h, so that block_front.h can
// test them without that header's own in-line code coming first.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::interpreter {

// A function cell's header flag, set on the cell its list is built for
// (the one that function makes) when the summary is simple, the function
// has no trace attribute and its body is a block: what a plain call would
// test one by one. Its list and body cell never change once made, and a
// copy of the cell keeps the same more block.
constexpr uint32_t FLAG_PLAIN_CALL = 1u << 15;
// With it: the summary's PLAN_REST, read with the other flags.
constexpr uint32_t FLAG_PLAIN_REST = 1u << 14;
// Whether `v` is a function flagged FLAG_PLAIN_CALL (one test of type and
// flag together).
inline bool is_flagged_function(const Cell* v) {
    return (v->header & (CELL_TYPE_MASK | FLAG_PLAIN_CALL)) == (TYPE_FUNCTION | FLAG_PLAIN_CALL);
}
// A native's or an action's header flag (a bit no function, routine or
// op! takes), set on the cell its list is built for when its slot lies
// within its table, it is none of the control natives a plain call knows
// (if, unless, either) and the summary is simple, with one to
// PLAIN_NATIVE_ARGS leading arguments right after it (no return type
// before them); taken off when the spec turns out foreign. What a plain
// call would test one by one: as with FLAG_PLAIN_CALL, the list never
// changes once built and every copy of the cell keeps the same more block.
constexpr uint32_t FLAG_PLAIN_NATIVE = 1u << 12;
// A control native's header flag (the bit a function's FLAG_PLAIN_CALL
// takes, unused on natives): its list is built with the shape the frameless
// way serves (simple, PLAN_CONTROL, PLAN_ANY_CONDITION), so that a call
// reads it with the native's header instead of looking the list up. The
// list never changes once built, and a copy of the cell keeps the same more
// block, so the flag holds for every copy. Only if, unless and either take
// it (see plain_control_ready).
constexpr uint32_t FLAG_PLAIN_CONTROL = FLAG_PLAIN_CALL;
// With it, on an if or unless (not an either): the bit a function's
// FLAG_PLAIN_REST takes, so that a walk tells such a call with one test.
constexpr uint32_t FLAG_PLAIN_IF = FLAG_PLAIN_REST;
// Whether `v` is an if or unless flagged FLAG_PLAIN_CONTROL.
inline bool is_plain_if(const Cell* v) {
    constexpr uint32_t flags = FLAG_PLAIN_CONTROL | FLAG_PLAIN_IF;
    return (v->header & (CELL_TYPE_MASK | flags)) == (TYPE_NATIVE | flags);
}
// What a step of a block's walk leaves: the cursor after it, and the value
// of the word there when the step read it, looking for an operator, and
// found none (null otherwise; see walk_body).
struct WalkStep {
    Cell* cursor;
    const Cell* seen;
};
// call_named (untraced, not prefix) of the flagged if or unless `fn` (see
// is_plain_if) named by the word at `cursor`: a step of a block's walk. A
// branch that runs no code hands on the value of the word after it, which
// the call read to make sure no operator follows, rather than have it
// looked up again. (Not either's: its branches mostly end their block, and
// its own route cost fib more than it saved.)
WalkStep call_control_named(const Cell* fn, Cell* cursor, Cell* end, const Cell* code);

}  // namespace zel::interpreter
