// Shared set-up for the unit tests: one runtime per test binary, started
// once, with the stacks emptied around every test.
#pragma once
#include <gtest/gtest.h>
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace zel::test {

// Starts the runtime the first time it is called.
void ensure_runtime();

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Runs `fn` and returns the id of the language error it raised ("" when none).
template <typename Fn>
std::string raised_id(Fn fn);

}  // namespace zel::test

#include "runtime/errors.h"
namespace zel::test {
// A try frame is marked around the call, as the `try` native would.
template <typename Fn>
std::string raised_id(Fn fn) {
    Cell name{TYPE_WORD, 0, 0, 0};
    CallFrame* depth = stack::call_top;
    stack::mark_try(&name);
    try {
        fn();
    } catch (const Thrown& t) {
        if (t.code != THROWN_ERROR) return "thrown code";
        return errors::id_of(stack::top_cell());
    }
    if (stack::call_top > depth) stack::unwind();
    return "";
}
}  // namespace zel::test
