// The ownership check's installation point (see ownership.h).
#include "runtime/ownership.h"

namespace zel::ownership {

namespace {
Hooks hooks = {nullptr, nullptr, nullptr, nullptr};
}  // namespace

const char* event_name(Event e) {
    static const char* const names[] = {
        "clear", "cleared", "poke", "poked", "remove", "removed", "take", "taken",
        "move", "moved", "reverse", "reversed", "random", "randomized", "append", "appended",
        "insert", "inserted", "change", "changed", "put", "put-ed", "sort", "sorted",
        "swap", "swaped", "trim", "trimmed",
    };
    return e <= EV_TRIMMED ? names[e] : "?";
}

void install(const Hooks& h) { hooks = h; }

bool check(Cell* value, Event action, const Cell* new_value, int32_t index, int32_t part) {
    return hooks.check && hooks.check(value, action, new_value, index, part);
}

Cell* owner_of(Node node) { return hooks.owner_of ? hooks.owner_of(node) : nullptr; }

void bind(Cell* value, Cell* owner, Cell* word) {
    if (hooks.bind) hooks.bind(value, owner, word);
}

void unbind(Cell* value) {
    if (hooks.unbind) hooks.unbind(value);
}

}  // namespace zel::ownership
