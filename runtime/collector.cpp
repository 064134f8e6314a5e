// Collector switches, the safe-point entry and the shadow root stack.
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace zel::collector {

bool active = false;
bool requested = false;
bool stress = false;
uint32_t cycles = 0;

Cell** roots = nullptr;
uint32_t roots_used = 0;
uint32_t roots_capacity = 0;

namespace {
CollectFn collect_fn = nullptr;
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

void grow_roots() {
    roots_capacity = roots_capacity ? roots_capacity * 2 : 256;
    roots = static_cast<Cell**>(sys::realloc(roots, roots_capacity * sizeof(Cell*)));
}

// An out-of-order pop would mean a guard outlived its scope; kept sound anyway.
void pop_root_out_of_order(Cell* c) {
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
