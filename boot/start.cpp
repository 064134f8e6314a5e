#include "boot/start.h"
#include "runtime/collector.h"
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/runtime.h"
#include <cstdlib>
#include <cstring>

namespace zel::boot {

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    sys::install_exception_filter();
    cycles::init();
    const char* stress = std::getenv("ZEL_GC_STRESS");
    collector::stress = stress && std::strcmp(stress, "1") == 0;
    try {
        runtime::init();
        collector::active = true;
        runtime::collect_words = false;
        // The boot library and the console run here once they exist.
    } catch (const Thrown& t) {
        if (t.code == THROWN_QUIT) sys::quit(0);
        sys::runtime_error(95, ZEL_HERE());
    }
    sys::quit(0);
}

}  // namespace zel::boot
