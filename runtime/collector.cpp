// Collector switches, the safe-point entry and the shadow root stack.
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace zel::collector {

bool active = false;
bool requested = false;
bool stress = false;
uint32_t cycles = 0;

namespace {
CollectFn collect_fn = nullptr;
Cell** roots = nullptr;
uint32_t roots_used = 0;
uint32_t roots_capacity = 0;
}  // namespace

void set_collect(CollectFn fn) { collect_fn = fn; }

void init() {
    if (!roots) {
        roots_capacity = 256;
        roots = static_cast<Cell**>(sys::alloc(roots_capacity * sizeof(Cell*)));
    }
    roots_used = 0;
}

void collect_now() {
    requested = false;
    if (!active || !collect_fn) return;
    collect_fn();
    ++cycles;
}

void push_root(Cell* c) {
    if (roots_used == roots_capacity) {
        roots_capacity = roots_capacity ? roots_capacity * 2 : 256;
        roots = static_cast<Cell**>(sys::realloc(roots, roots_capacity * sizeof(Cell*)));
    }
    roots[roots_used++] = c;
}

// Roots are scoped, so they leave in reverse order; an out-of-order pop
// would mean a guard outlived its scope.
void pop_root(Cell* c) {
    if (roots_used > 0 && roots[roots_used - 1] == c) {
        --roots_used;
        return;
    }
    for (uint32_t i = roots_used; i-- > 0;) {
        if (roots[i] == c) {
            for (uint32_t j = i; j + 1 < roots_used; ++j) roots[j] = roots[j + 1];
            --roots_used;
            return;
        }
    }
}

uint32_t root_count() { return roots_used; }
Cell* root_at(uint32_t i) { return roots[i]; }

}  // namespace zel::collector
