#include "boot/start.h"
#include <pthread.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include "runtime/collector.h"
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/runtime.h"
#include "boot/library.h"
#include "boot/report.h"
#include "runtime/stdout.h"

namespace zel::boot {

namespace {

// Reserved address space, committed by the kernel page by page as used.
// AddressSanitizer cannot clean up the stack after an exception on a stack
// above 64 MiB (it then reports errors that are not there), so sanitized
// builds run on a smaller one.
#ifdef ZEL_SANITIZED
constexpr size_t RUNTIME_STACK_SIZE = size_t{60} << 20;
#else
constexpr size_t RUNTIME_STACK_SIZE = size_t{512} << 20;
#endif

struct ThreadArgs {
    int (*fn)(int, char**);
    int argc;
    char** argv;
    int status;
};

void* thread_main(void* p) {
    auto* a = static_cast<ThreadArgs*>(p);
    a->status = a->fn(a->argc, a->argv);
    return nullptr;
}

}  // namespace

int run_on_runtime_stack(int (*fn)(int, char**), int argc, char** argv) {
    ThreadArgs args{fn, argc, argv, 0};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, RUNTIME_STACK_SIZE);
    pthread_t thread;
    if (pthread_create(&thread, &attr, thread_main, &args) != 0) {
        thread_main(&args);  // no big stack to be had: run here rather than not at all
    } else {
        pthread_join(thread, nullptr);
    }
    pthread_attr_destroy(&attr);
    return args.status;
}

int main(int argc, char** argv) {
    sys::install_exception_filter();
    cycles::init();
    const char* stress = std::getenv("ZEL_GC_STRESS");
    collector::stress = stress && std::strcmp(stress, "1") == 0;
    try {
        runtime::init();
        install_error_report();
        load_library();
        collector::active = true;
        runtime::collect_words = false;
        if (argc > 1 && !run_file(argv[1])) {
            std::string msg = std::string("*** Access Error: cannot open: ") + argv[1] + "\n";
            std_out::print_c_string(msg.c_str());
            sys::quit(1);
        }
    } catch (const Thrown& t) {
        if (t.code == THROWN_QUIT) sys::quit(0);
        sys::runtime_error(95, ZEL_HERE());
    }
    sys::quit(0);
}

}  // namespace zel::boot
