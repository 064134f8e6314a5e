// The two words the interpreter looks at after each expression: the
// pending exit code (interpreter::pending) and the collector's attention
// word (collector::attention). They share one doubleword, so that the
// common case, neither set, is told by one load.
#pragma once
#include <csignal>
#include <cstdint>

namespace zel {

union Signals {
    struct Words {
        // 0, or the thrown code of a non-local exit in progress.
        uint32_t pending;
        // Nonzero when a safe point may have work (see collector.h); set
        // by the interrupt handler too, hence volatile sig_atomic_t.
        volatile std::sig_atomic_t attention;
    } each;
    // Both words, read whole (an aligned doubleword is: the interrupt
    // handler may set the attention word at any time). Read as a member,
    // not through a pointer, so that GCC addresses it directly rather than
    // keep its address in a register across the evaluator's loops.
    volatile uint64_t both;
};
static_assert(sizeof(Signals) == 8, "both words fit one doubleword");
inline Signals signals{.each = {0, 1}};

// Whether an exit is pending or a safe point has work. (On x86-64 the
// doubleword is compared with zero where it lies, the flag tested at once:
// GCC loads a volatile into a register before it tests it. The asm is
// volatile, so that each test reads the doubleword again.)
inline bool signalled() {
#if defined(__x86_64__) && defined(__GCC_ASM_FLAG_OUTPUTS__)
    bool set;
    asm volatile("cmpq $0, %1" : "=@ccne"(set) : "m"(signals.both));
    return set;
#else
    return signals.both != 0;
#endif
}

}  // namespace zel
