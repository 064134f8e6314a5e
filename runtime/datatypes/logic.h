// logic!: true and false (word 1: 1 or 0), and the truth tests every
// conditional uses: only none and false are false.
#pragma once
#include "runtime/cell.h"

namespace zel::logic {

// The static true and false cells.
Cell* true_value();
Cell* false_value();

inline bool get(const Cell* c) { return c->w1 != 0; }
// The call's result cell becomes a logic! holding b.
Cell* box(bool b);
Cell* push(bool b);
// Appends a logic! to a block and returns the new cell.
Cell* make_in(const Cell* parent, bool b);

// The truth of a value; with `check`, unset raises no-value naming `word`.
bool value_true(const Cell* value, bool check, const Cell* word);
// The truth of the call's result cell; unset raises no-return.
bool true_q();
// The result cell is none or false.
bool false_q();
// The last value on the argument stack (the arguments base when nothing was
// pushed above it) is none or false; top_true_q is its negation.
bool top_false_q();
inline bool top_true_q() { return !top_false_q(); }

void init();

// The ops under which unset, none and logic values compare (equality, sort
// order and sameness); the ordering ops find them not comparable.
inline bool equality_or_sort_op(int32_t op) {
    return op == 0 || op == 1 || op == 2 || op == 7 || op == 8 || op == 9 || op == 12;
}
// The compare of a type with a single value (unset!, none!): equal to a
// value of the same type under those ops, not comparable otherwise.
inline int32_t compare_singleton(const Cell* value2, uint32_t type, int32_t op) {
    return cell::type(value2) == type && equality_or_sort_op(op) ? 0 : -2;
}

}  // namespace zel::logic
