// The stack entries of the actions and the action entry table.
//
// The interpreter calls an action! value through the entry table by its
// slot, after pushing the arguments: the arguments base holds the first
// argument, the others follow, then in spec order one cell per refinement
// flag and one per refinement argument. A stack entry takes one integer per
// refinement: -1 when the refinement is not used, otherwise the position
// (counted in cells from the arguments base) of its flag cell, or of its
// argument cell for a refinement with an argument. It normalises what it
// must, calls the typed entry and leaves the result in the arguments base.
#pragma once
#include <cstdint>
#include "runtime/actions.h"

namespace zel::actions {

using StackEntry = void (*)(const int32_t* refs);

// 62 entries, entry k - 1 for slot k: the stack entries, slot 8 empty and
// slot 9 the generic compare (`actions::compare`, a different signature).
extern ActionFn* entry_table;
// Allocates and fills the entry table.
void init();
// Copies count entries into the table, list item k into slot k + 1.
void table_fill(int count, const ActionFn* list);
// The stack entry of a slot (1-62), null for an empty slot (the table is
// filled on first use). Slot 9 holds the generic compare, which is not a
// stack entry. In line: every call of an action looks its entry up here.
inline StackEntry stack_entry(uint32_t slot) {
    if (!entry_table) [[unlikely]] init();
    if (slot - 1 >= static_cast<uint32_t>(ACTION_SLOTS)) return nullptr;  // slot 0 wraps around
    return reinterpret_cast<StackEntry>(entry_table[slot - 1]);
}

// The entries for calls that give no refinements, entry k - 1 for slot k:
// the stack entry, or one that skips reading the refinements (all absent)
// where a frequent call would pay for it. Kept in step with the entry table
// by table_fill; empty until then.
extern StackEntry plain_table[ACTION_SLOTS];
// The entry of a slot for a call that gives no refinements (the refinements
// passed are then all -1); otherwise as stack_entry.
inline StackEntry plain_entry(uint32_t slot) {
    if (slot - 1 < static_cast<uint32_t>(ACTION_SLOTS)) [[likely]] {
        if (StackEntry e = plain_table[slot - 1]) [[likely]] return e;
    }
    return stack_entry(slot);
}

void make_stack(const int32_t* refs);
void random_stack(const int32_t* refs);
void reflect_stack(const int32_t* refs);
void to_stack(const int32_t* refs);
void form_stack(const int32_t* refs);
void mold_stack(const int32_t* refs);
// Setting when refs[0] is not -1: the value to set is the third argument.
void eval_path_stack(const int32_t* refs);
void absolute_stack(const int32_t* refs);
void add_stack(const int32_t* refs);
void divide_stack(const int32_t* refs);
void multiply_stack(const int32_t* refs);
void negate_stack(const int32_t* refs);
void power_stack(const int32_t* refs);
void remainder_stack(const int32_t* refs);
void round_stack(const int32_t* refs);
void subtract_stack(const int32_t* refs);
void even_q_stack(const int32_t* refs);
void odd_q_stack(const int32_t* refs);
void and_t_stack(const int32_t* refs);
void complement_stack(const int32_t* refs);
void or_t_stack(const int32_t* refs);
void xor_t_stack(const int32_t* refs);
void append_stack(const int32_t* refs);
// append_stack for a call without refinements.
void append_plain(const int32_t* refs);
void at_stack(const int32_t* refs);
void back_stack(const int32_t* refs);
void change_stack(const int32_t* refs);
void clear_stack(const int32_t* refs);
void copy_stack(const int32_t* refs);
void find_stack(const int32_t* refs);
void head_stack(const int32_t* refs);
void head_q_stack(const int32_t* refs);
void index_q_stack(const int32_t* refs);
void insert_stack(const int32_t* refs);
void length_q_stack(const int32_t* refs);
void move_stack(const int32_t* refs);
void next_stack(const int32_t* refs);
void pick_stack(const int32_t* refs);
void poke_stack(const int32_t* refs);
void put_stack(const int32_t* refs);
void remove_stack(const int32_t* refs);
void reverse_stack(const int32_t* refs);
void select_stack(const int32_t* refs);
void sort_stack(const int32_t* refs);
void skip_stack(const int32_t* refs);
void swap_stack(const int32_t* refs);
void tail_stack(const int32_t* refs);
void tail_q_stack(const int32_t* refs);
void take_stack(const int32_t* refs);
void trim_stack(const int32_t* refs);
void create_stack(const int32_t* refs);
void close_stack(const int32_t* refs);
void delete_stack(const int32_t* refs);
void modify_stack(const int32_t* refs);
void open_stack(const int32_t* refs);
void open_q_stack(const int32_t* refs);
void query_stack(const int32_t* refs);
void read_stack(const int32_t* refs);
void rename_stack(const int32_t* refs);
void update_stack(const int32_t* refs);
void write_stack(const int32_t* refs);

// The generic comparison of the first two arguments; the result cell
// becomes a logic!. The comparison natives call it.
void compare_to_logic(int32_t op);

// ---- fast paths for compiled code ----
// Each takes an operation code and the word naming the call; the word names
// a native call frame when the operation falls back to the generic entries.

// add (0), subtract (1), multiply (2), or (5), and (6), xor (7). Two
// integers combine inline (an overflowing add, subtract or multiply gives
// the exact float result), two floats for ops 0-2; the result is pushed.
void math_fast(int32_t op, const Cell* word, const Cell* value1, const Cell* value2);
void math_fast2(int32_t op, const Cell* word, const Cell* value, int32_t constant);
// Combine the last stacked value with the operand, in that value's cell.
void math_fast_top(int32_t op, const Cell* word, const Cell* value2);
void math_fast_top_int(int32_t op, const Cell* word, int32_t constant);
// Pushes the logic! outcome of a comparison (ops 0-6 inline for integers).
void compare_fast(int32_t op, const Cell* word, const Cell* value1, const Cell* value2);
void compare_int_fast(int32_t op, const Cell* word, const Cell* value1, int32_t constant);
// 1 when the outcome differs from the expected truth value.
int32_t compare_test(int32_t op, const Cell* word, const Cell* value1, const Cell* value2, bool expected);
int32_t compare_int_test(int32_t op, const Cell* word, const Cell* value1, int32_t constant, bool expected);
// Writes the logic! outcome into the call's result cell and returns it.
bool compare_to_result(int32_t op, const Cell* word, const Cell* value1, const Cell* value2);
bool compare_int_to_result(int32_t op, const Cell* word, const Cell* value1, int32_t constant);
// Compares the last stacked value with the operand; the logic! replaces it.
void compare_fast_top(int32_t op, const Cell* word, const Cell* value2);
void compare_fast_top_int(int32_t op, const Cell* word, int32_t constant);
// Pushes value/index: for a block! and an integer! the n-th value from the
// head (none out of range), otherwise through eval-path.
void path_pick_fast(const Cell* value, const Cell* index, const Cell* word);
// Series queries answered inline for block!: 1 length?, 2 index?, 3 head?,
// 4 tail?, 5 next, 6 back, 7 head, 8 tail; the result is pushed.
void series_query_fast(const Cell* value, int32_t query, const Cell* word);

}  // namespace zel::actions
