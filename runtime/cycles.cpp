#include "runtime/cycles.h"
#include "runtime/datatypes/emit.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace zel::cycles {

namespace {
Node* entries = nullptr;
uint32_t used = 0;
}  // namespace

void init() {
    if (!entries) entries = static_cast<Node*>(sys::alloc(CAPACITY * sizeof(Node)));
    used = 0;
}

void push(Node node) {
    if (!entries) init();
    entries[used++] = node;
    if (used == CAPACITY) {
        // Emptied first so that the error report can mold values again.
        used = 0;
        fire(ERR_INTERNAL, "too-deep");
    }
}

void pop() {
    if (used > 0) --used;
}

void drop(uint32_t n) { used = n > used ? 0 : used - n; }
void reset() { used = 0; }

bool find(Node node) {
    for (uint32_t i = 0; i < used; ++i)
        if (entries[i] == node) return true;
    return false;
}

uint32_t depth() { return used; }

bool mold_placeholder(const Cell* value, Cell* buffer, int32_t* part, bool mold) {
    if (!find(node_of(value))) return false;
    const char* text = "...";
    if (mold) {
        switch (cell::type(value)) {
            case TYPE_BLOCK:
            case TYPE_HASH: text = "[...]"; break;
            case TYPE_PAREN: text = "(...)"; break;
            case TYPE_MAP: text = "#[...]"; break;
            case TYPE_OBJECT: text = "make object! [...]"; break;
            default: break;  // paths, and values molded through object code
        }
    }
    *part = emit::literal(buffer, text, *part);
    return true;
}

}  // namespace zel::cycles
