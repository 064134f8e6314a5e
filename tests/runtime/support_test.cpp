// The shared runtime fixture (compiled into the unit test binary).
#include "tests/runtime/test_support.h"
#include "runtime/cycles.h"
#include "boot/library.h"
#include "runtime/stack.h"

namespace zel::test {

namespace {
bool started = false;
void uncaught_for_tests(const Cell*) {}
}  // namespace

void ensure_runtime() {
    if (started) return;
    cycles::init();
    runtime::init();
    boot::load_library();  // the natives, actions and operators, for tests that evaluate
    // An error with no try frame must not end the test binary.
    stack::set_uncaught_handler(uncaught_for_tests);
    started = true;
}

void RuntimeTest::SetUp() {
    ensure_runtime();
    stack::call_top = stack::call_begin;
    stack::arguments = stack::top = stack::bottom;
    cycles::reset();
}

void RuntimeTest::TearDown() {
    stack::call_top = stack::call_begin;
    stack::arguments = stack::top = stack::bottom;
}

}  // namespace zel::test
