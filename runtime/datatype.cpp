#include "runtime/datatype.h"
#include <cstdio>
#include <cstring>
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/stack.h"
#include "runtime/stdout.h"

namespace zel::datatype {

ActionFn* action_entries = nullptr;

namespace {
// The tables live for the process and start out zeroed, so the first
// start-up has nothing to clear (clearing them cost more than all the rest
// of the type registration); a later runtime start clears what the previous
// one filled.
TypeEntry type_rows[TYPE_TABLE_ROWS];
ActionFn action_rows[TYPE_TABLE_ROWS * ACTION_ROW];
bool rows_filled = false;
TypeEntry* types = type_rows;
ActionFn*& actions = action_entries;
uint32_t parents[TYPE_TABLE_ROWS];
uint32_t highest = 0;
}  // namespace

void inherit_marker() {}

void init_tables() {
    if (rows_filled) {
        std::memset(type_rows, 0, sizeof type_rows);
        std::memset(action_rows, 0, sizeof action_rows);
    }
    rows_filled = true;
    actions = action_rows;
    std::memset(parents, 0, sizeof parents);
    highest = 0;
}

void register_type(uint32_t id, uint32_t parent, const char* name, std::initializer_list<ActionFn> entries) {
    register_type(id, parent, name, entries.begin(), static_cast<int>(entries.size()));
}

void register_type(uint32_t id, uint32_t parent, const char* name, const ActionFn* entries, int count) {
    if (id >= TYPE_TABLE_ROWS || parent >= TYPE_TABLE_ROWS) sys::runtime_error(101, ZEL_HERE());
    if (id > highest) highest = id;
    types[id].name = name;
    types[id].name_len = static_cast<uint32_t>(std::strlen(name)) - 1;
    parents[id] = parent;
    if (count != ACTION_SLOTS) {
        char msg[200];
        std::snprintf(msg, sizeof msg,
                      "*** Datatype Error: invalid actions count for type: %u\n*** Found: %d\n*** Expected: %d\n",
                      id, count, ACTION_SLOTS);
        std_out::print_c_string(msg);
        // A wrong table is a broken build, not a successful run.
        sys::quit(1);
    }
    ActionFn* row = actions + id * ACTION_ROW;
    const ActionFn* prow = actions + parent * ACTION_ROW;
    for (int s = 0; s < ACTION_SLOTS; ++s) {
        ActionFn fn = entries[s];
        row[s] = (parent && fn == INHERIT) ? prow[s] : (fn == INHERIT ? nullptr : fn);
    }
}

void make_names(MakeNameWord make) {
    for (uint32_t id = 1; id <= highest; ++id)
        if (types[id].name) make(id, types[id].name);
}

uint32_t highest_id() { return highest; }
const TypeEntry& entry(uint32_t id) { return types[id]; }
const char* name_of(uint32_t id) { return id < TYPE_TABLE_ROWS && types[id].name ? types[id].name : nullptr; }
uint32_t parent_of(uint32_t id) { return id < TYPE_TABLE_ROWS ? parents[id] : 0; }
void set_action(uint32_t type_id, int slot, ActionFn fn) { actions[type_id * ACTION_ROW + slot - 1] = fn; }
ActionFn* action_table() { return actions; }

Cell* push(uint32_t type_id) {
    Cell* c = stack::push_new();
    return set_datatype(c, type_id);
}

}  // namespace zel::datatype
