// A small program that fails on purpose, one way per argument, so that the
// tests can watch the report and the exit status from outside.
#include <signal.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "boot/start.h"
#include "runtime/cycles.h"
#include "runtime/datatype.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/stdout.h"

using namespace zel;

namespace {

volatile int zero = 0;
volatile int* volatile null_ptr = nullptr;

// Marks one frame per level with a kilobyte of machine stack in use, so that
// the call stack's limit comes long after a default 8 MB thread stack would.
int deep(int n) {
    char pad[1024];
    std::memset(pad, n & 0xFF, sizeof pad);
    Cell w{TYPE_WORD, 0, 1, 0};
    stack::mark_native(&w);
    if (n > (1 << 30)) return 0;  // never reached: the call stack ends it first
    return deep(n + 1) + pad[n % 1024];
}

// The faults below are the point of this program; the sanitizers must let
// them reach the runtime's own handlers.
__attribute__((no_sanitize("undefined"))) int run(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string mode = argv[1];
    sys::install_exception_filter();
    cycles::init();
    runtime::init();
    for (int i = 0; i < 10; ++i) sys::alloc(100 + i);  // listed blocks the quit must free
    if (mode == "segv") return *null_ptr;
    if (mode == "fpe") return 10 / zero;
    if (mode == "ill") __builtin_trap();
    if (mode == "bus") raise(SIGBUS);
    if (mode == "runtime-error") sys::runtime_error(94, 0x1234);
    if (mode == "unknown-error") sys::runtime_error(77, 0xABCDEF01);
    if (mode == "quit") sys::runtime_error(0, 0);
    if (mode == "uncaught") fire(ERR_MATH, "zero-divide");
    if (mode == "bad-registration") {
        datatype::register_type(55, 0, "broken!", {nullptr, nullptr, nullptr});
        return 0;
    }
    if (mode == "deep") {
        Cell w{TYPE_WORD, 0, 1, 0};
        stack::mark_try(&w);
        try {
            deep(0);
        } catch (const Thrown& t) {
            std_out::print_c_string(errors::id_of(stack::top_cell()));
            std_out::print_c_string("\n");
            sys::quit(0);
        }
    }
    if (mode == "interrupt") {
        std_out::print_c_string("ready\n");
        for (;;) {
            sys::honour_interrupt();
            usleep(1000);
        }
    }
    if (mode == "pipe") {
        // Keeps printing after the reader has gone: must end normally.
        for (int i = 0; i < 20000; ++i) std_out::print_c_string("some output that nobody reads\n");
        sys::quit(0);
    }
    return 3;
}

}  // namespace

int main(int argc, char** argv) { return boot::run_on_runtime_stack(run, argc, argv); }
