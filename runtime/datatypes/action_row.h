// Registering a datatype by naming only the slots it fills: every other
// slot gets `rest` (null for none, datatype::INHERIT to copy the parent's).
#pragma once
#include <cstdint>
#include <initializer_list>
#include "runtime/actions.h"
#include "runtime/datatype.h"

namespace zel::datatypes {

struct SlotEntry {
    int slot;
    ActionFn fn;
};

inline void register_row(uint32_t id, uint32_t parent, const char* name, ActionFn rest,
                         std::initializer_list<SlotEntry> own) {
    ActionFn row[ACTION_SLOTS];
    for (ActionFn& e : row) e = rest;
    for (const SlotEntry& s : own) row[s.slot - 1] = s.fn;
    datatype::register_type(id, parent, name, row, ACTION_SLOTS);
}

}  // namespace zel::datatypes
