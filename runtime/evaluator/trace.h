// Trace events of the interpreter: do/trace reports every step of the
// evaluation to a user callback.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::trace {

enum Event : uint32_t {
    EV_INIT = 1, EV_END = 2, EV_PROLOG = 4, EV_EPILOG = 8, EV_ENTER = 16, EV_EXIT = 32, EV_OPEN = 64,
    EV_RETURN = 128, EV_FETCH = 256, EV_PUSH = 512, EV_SET = 1024, EV_CALL = 2048, EV_ERROR = 4096,
    EV_THROW = 8192, EV_CATCH = 16384, EV_EXPR = 32768,
};
constexpr uint32_t DEFAULT_EVENTS = 0x1FFFF;

// Reserves the callback's cell (runtime start).
void init();
// Starts a do/trace run with the callback (false when one is already active).
bool start_run(const Cell* callback);
// Ends the run: end is reported, the callback dropped, a pending exit kept.
void end_run();
// The same while an error leaves the run (its try already chosen and the
// stacks unwound to it): an error the callback raises replaces it.
void end_run_after_error();
// Reports the epilog of a function body that an error leaves (as
// end_run_after_error, an error the callback raises replaces it).
void epilog_after_error(const Cell* body, const Cell* name, const Cell* fn);

// Calls the callback when the event is in its mask (only while tracing).
void event(uint32_t ev, const Cell* code, const Cell* cursor, const Cell* ref, const Cell* value);

}  // namespace zel::trace
