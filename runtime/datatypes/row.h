// Building a datatype's registration row: every slot starts empty (or
// inherited), the type names the slots it implements, then registers.
#pragma once
#include <cstdint>
#include <initializer_list>
#include "runtime/actions.h"
#include "runtime/datatype.h"

namespace zel::datatypes {

struct Row {
    ActionFn slots[ACTION_SLOTS];

    explicit Row(ActionFn fill) {
        for (auto& s : slots) s = fill;
    }
    // Stores a typed implementation (or nullptr, or datatype::INHERIT) at a slot.
    template <typename Fn>
    Row& set(int slot, Fn fn) {
        slots[slot - 1] = reinterpret_cast<ActionFn>(fn);
        return *this;
    }
    Row& empty(int slot) {
        slots[slot - 1] = nullptr;
        return *this;
    }
    void register_as(uint32_t id, uint32_t parent, const char* name) const {
        datatype::register_type(id, parent, name, slots, ACTION_SLOTS);
    }
};

// A row whose slots are all empty, or all inherited from the parent.
inline Row empty_row() { return Row(nullptr); }
inline Row inherited_row() { return Row(datatype::INHERIT); }

// Registers a type by naming only the slots it fills: every other slot gets
// `rest` (null for none, datatype::INHERIT to copy the parent's).
struct SlotEntry {
    int slot;
    ActionFn fn;
};
inline void register_row(uint32_t id, uint32_t parent, const char* name, ActionFn rest,
                         std::initializer_list<SlotEntry> own) {
    Row row(rest);
    for (const SlotEntry& s : own) row.slots[s.slot - 1] = s.fn;
    row.register_as(id, parent, name);
}

}  // namespace zel::datatypes
