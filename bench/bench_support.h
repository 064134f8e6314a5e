// Shared set-up of the benchmark programs: one runtime, started on first use,
// and calls made the way the interpreter makes them.
#pragma once
#include <cstdint>
#include "runtime/actions_stack.h"
#include "runtime/cycles.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace zel::bench {

inline void start_runtime() {
    static bool started = false;
    if (started) return;
    cycles::init();
    runtime::init();
    started = true;
}

// One `append series value` as an interpreted call makes it: both pushed
// from a fresh arguments base, then the stack entry with no refinement used.
inline void append_through_stack(const Cell* series, const Cell* value) {
    static constexpr int32_t refs[3] = {-1, -1, -1};
    stack::arguments = stack::top = stack::bottom;
    stack::push(series);
    stack::push(value);
    actions::append_stack(refs);
}

}  // namespace zel::bench
