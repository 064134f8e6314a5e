// The program's entry: sets up the process, then runs the runtime on a
// thread with a large reserved stack, so that the language's own depth
// limits are reached long before the machine stack runs out.
#include <pthread.h>
#include <cstdio>
#include "boot/start.h"
#include "runtime/errors.h"

namespace {

constexpr size_t RUNTIME_STACK_SIZE = size_t{512} << 20;  // reserved, committed lazily

struct Args {
    int argc;
    char** argv;
    int status;
};

void* run(void* p) {
    auto* a = static_cast<Args*>(p);
    a->status = zel::boot::main(a->argc, a->argv);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    Args args{argc, argv, 0};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, RUNTIME_STACK_SIZE);
    pthread_t thread;
    if (pthread_create(&thread, &attr, run, &args) != 0) {
        // No big stack to be had: run here rather than not at all.
        run(&args);
    } else {
        pthread_join(thread, nullptr);
    }
    pthread_attr_destroy(&attr);
    return args.status;
}
