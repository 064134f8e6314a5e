// The ownership check that modifying series actions call before and after a
// change. An object that owns a series (through one of its fields) is told
// of every change; the owner table and the binding of value trees live in
// the ownership module, which installs its check here. Until it does, no
// series has an owner and the check answers false.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel::ownership {

// The events sent to an owner: each action's word before the change and its
// past-tense word after it.
enum Event : uint32_t {
    EV_CLEAR, EV_CLEARED, EV_POKE, EV_POKED, EV_REMOVE, EV_REMOVED, EV_TAKE, EV_TAKEN,
    EV_MOVE, EV_MOVED, EV_REVERSE, EV_REVERSED, EV_RANDOM, EV_RANDOMIZED, EV_APPEND, EV_APPENDED,
    EV_INSERT, EV_INSERTED, EV_CHANGE, EV_CHANGED, EV_PUT, EV_PUT_ED, EV_SORT, EV_SORTED,
    EV_SWAP, EV_SWAPED, EV_TRIM, EV_TRIMMED,
};

// The event word's spelling ("put-ed" and "swaped" are the words owners receive).
const char* event_name(Event e);
// The after-event of a before-event (EV_CLEAR -> EV_CLEARED).
inline Event after(Event before) { return static_cast<Event>(before | 1u); }

// Tells the owner of `value` (a series) of a change at `index` covering
// `part` units; true when the value has an owner that was told.
using CheckFn = bool (*)(Cell* value, Event action, const Cell* new_value, int32_t index, int32_t part);
bool check(Cell* value, Event action, const Cell* new_value, int32_t index, int32_t part);

// The owner record of a series node, or null when it has none.
Cell* owner_of(Node node);
// Binds a value tree to an owner object and the word of its field; unbinds it.
void bind(Cell* value, Cell* owner, Cell* word);
void unbind(Cell* value);

// What the ownership module installs (null members keep "no owner").
struct Hooks {
    CheckFn check;
    Cell* (*owner_of)(Node node);
    void (*bind)(Cell* value, Cell* owner, Cell* word);
    void (*unbind)(Cell* value);
};
void install(const Hooks& h);

// Only a series whose buffer carries the owned mark can have an owner, so
// the hot paths test the mark before calling the check.
inline bool owned(const Cell* series) { return (series::buffer_of(series)->flags & SERIES_OWNED) != 0; }

// The before-check of a modifying action: true when an owner was told, and
// then the action sends the after-event too.
inline bool before(Cell* series, Event e, const Cell* new_value, int32_t index, int32_t part) {
    return owned(series) && check(series, e, new_value, index, part);
}
inline void after_if(bool told, Cell* series, Event e, const Cell* new_value, int32_t index, int32_t part) {
    if (told) check(series, after(e), new_value, index, part);
}

}  // namespace zel::ownership
