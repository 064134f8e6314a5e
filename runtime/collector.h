// The collector's interface to the rest of the runtime.
//
// Collections run only at safe points: the allocator never collects under a
// caller's feet. When it runs out of room it takes a fresh frame and sets
// `requested`; the interpreter's steps, calls and loops call `safe_point()`,
// which collects when asked to. C++ code that keeps series alive across a
// safe point roots their cells with `Root` (see docs/DESIGN.md).
#pragma once
#include <csignal>
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/signals.h"

namespace zel::collector {

// The collector runs only when active (off through runtime start).
extern bool active;
// A collection was asked for by the allocator; the next safe point runs it.
extern bool requested;
// Collect at every safe point and move every live buffer (ZEL_GC_STRESS=1).
extern bool stress;
// Completed collections.
extern uint32_t cycles;
// Nonzero when a safe point may have work: a requested collection, stress
// mode or an interrupt. One word, so that the interpreter's check between
// expressions is a single load (together with the pending exit code: see
// signals.h); volatile sig_atomic_t because the interrupt handler sets it.
// It starts set, so that the first safe point reads the switches (stress
// keeps it set from then on); spurious sets cost one look.
inline constexpr volatile std::sig_atomic_t& attention = signals.each.attention;

// Makes the shadow root stack (runtime start).
void init();

// The collection itself; installed by the collector module when it exists.
using CollectFn = void (*)();
void set_collect(CollectFn fn);

inline void request() {
    if (active) {
        requested = true;
        attention = 1;
    }
}
// Runs a pending (or, under stress, an unconditional) collection.
void collect_now();
inline void safe_point() {
    if (requested || stress) collect_now();
}

// The shadow root stack: cells held by C++ code across safe points.
extern Cell** roots;
extern uint32_t roots_used;
extern uint32_t roots_capacity;
void grow_roots();
void pop_root_out_of_order(Cell* c);
inline void push_root(Cell* c) {
    if (roots_used == roots_capacity) grow_roots();
    roots[roots_used++] = c;
}
// Roots are scoped, so they leave in reverse order.
inline void pop_root(Cell* c) {
    if (roots_used > 0 && roots[roots_used - 1] == c) --roots_used;
    else pop_root_out_of_order(c);
}
uint32_t root_count();
Cell* root_at(uint32_t i);

// Keeps one cell alive (and visible to the collector) for a C++ scope.
class Root {
public:
    explicit Root(Cell* c) : cell_(c) { push_root(c); }
    ~Root() { pop_root(cell_); }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

private:
    Cell* cell_;
};

// A cell owned by a C++ scope and rooted for its lifetime.
class RootedCell {
public:
    RootedCell() : cell_{} { push_root(&cell_); }
    explicit RootedCell(const Cell& c) : cell_(c) { push_root(&cell_); }
    ~RootedCell() { pop_root(&cell_); }
    RootedCell(const RootedCell&) = delete;
    RootedCell& operator=(const RootedCell&) = delete;
    Cell* get() { return &cell_; }
    Cell* operator->() { return &cell_; }

private:
    Cell cell_;
};

}  // namespace zel::collector
