// Shared set-up of the benchmark programs: one runtime, started on first use.
#pragma once
#include "runtime/cycles.h"
#include "runtime/runtime.h"

namespace zel::bench {

inline void start_runtime() {
    static bool started = false;
    if (started) return;
    cycles::init();
    runtime::init();
    started = true;
}

}  // namespace zel::bench
