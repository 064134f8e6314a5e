// The datatype registry: each datatype registers its id, its parent, its
// name and one entry per action slot; every operation on a value is then
// dispatched through the action table by the value's type id.
#pragma once
#include <cstdint>
#include <initializer_list>
#include "runtime/cell.h"

namespace zel {

constexpr int ACTION_SLOTS = 62;
// Entries per row; slots 63-64 stay empty. No wider: every row is written at
// start-up, and each page the rows span costs a page fault.
constexpr int ACTION_ROW = 64;

// An action entry, type-erased: each slot has its own signature, fixed by the
// action dispatch; the table only stores and copies entries.
using ActionFn = void (*)();

namespace datatype {

// The marker for "inherit this slot from the parent" in a registration list.
void inherit_marker();
inline ActionFn INHERIT = &inherit_marker;

struct TypeEntry {
    const char* name;    // "block!"
    uint32_t name_len;   // length without the "!"
    Node word;           // the global word naming the type (0 until words exist)
    uint32_t word_index; // its index in the global context
};

// Allocates the type table and the action table.
void init_tables();
// Registers a type. A list that does not hold exactly 62 entries is a fatal
// error of the build: the report is printed and the process ends with 1.
void register_type(uint32_t id, uint32_t parent, const char* name, std::initializer_list<ActionFn> entries);
void register_type(uint32_t id, uint32_t parent, const char* name, const ActionFn* entries, int count);

// Makes the global word of every registered name (once words exist).
using MakeNameWord = void (*)(uint32_t type_id, const char* name);
void make_names(MakeNameWord make);

uint32_t highest_id();
const TypeEntry& entry(uint32_t id);
const char* name_of(uint32_t id);
uint32_t parent_of(uint32_t id);
extern ActionFn* action_entries;  // the action table, row by type id
inline ActionFn action(uint32_t type_id, int slot) { return action_entries[type_id * ACTION_ROW + slot - 1]; }  // slot 1-62
void set_action(uint32_t type_id, int slot, ActionFn fn);
ActionFn* action_table();

// Pushes a datatype! cell on the argument stack and returns it.
Cell* push(uint32_t type_id);

}  // namespace datatype
}  // namespace zel
