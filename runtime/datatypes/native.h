// native!, action! and op!: the built-in functions of the native table, the
// datatype operations of the action entry table, and infix operators.
//
// native! and action! cells: word 1 the entry's slot (1-120 in the native
// table, 1-62 in the action entry table), word 2 the spec block's node,
// word 3 the node of a two-cell more block: cell 0 a copy of the context
// cell of the spec's context (its word 3 holds the context's node), cell 1
// the argument descriptor list once built (none before). op! is a copy of
// its source (native!, action!, function! or routine!) with type 23 and the
// source's type id in header bits 16-23.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::native {
// Makes a native! (type 21) or action! (22) from a spec block and a slot
// into `out`, checking the slot's range and that the table has an entry.
Cell* make_value(Cell* out, const Cell* spec, int32_t slot, uint32_t type);
// The context node of a native's or action's spec.
Node spec_context(const Cell* value);
Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* reflect(Cell* value, uint32_t field);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
// Compares two callables of the same type by an identity word (the entry
// slot, the context node or the more block): -1, 0, 1, or -2 for another
// type or an ordering op.
int32_t compare_identity(const Cell* value1, const Cell* value2, int32_t op, uint32_t a, uint32_t b);
void init();
}  // namespace zel::native

namespace zel::native {
// Header flag of a native! or action! (and of an op! made from one) whose
// argument block names other types than its slot's own: its arguments are
// checked against the own types before its entry runs.
constexpr uint32_t FLAG_FOREIGN_SPEC = 1u << 11;
}  // namespace zel::native

namespace zel::action {
void init();
}

namespace zel::op {
// Header flag of an op! whose source is a native or an action with both
// arguments accepting integer!: only such an operator may combine two
// integers in place, without calling its source and checking its spec.
constexpr uint32_t FLAG_INTEGER_OPERANDS = 1u << 24;
// Header bits 25-28 of such an op!: how it combines two integers (the
// interpreter's code for it, 0 when it does not).
constexpr uint32_t FAST_SHIFT = 25;
constexpr uint32_t FAST_MASK = 15u << FAST_SHIFT;
// Whether a spec suits an operator: exactly two arguments, the first a plain word.
bool valid_spec(Node spec);
Cell* make(Cell* proto, Cell* spec, uint32_t type);
void init();
}  // namespace zel::op
