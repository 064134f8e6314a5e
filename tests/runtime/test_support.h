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
template <typename Fn>
std::string raised_id(Fn fn) {
    try {
        fn();
    } catch (const Thrown& t) {
        if (t.code != THROWN_ERROR) return "thrown code";
        return errors::id_of(stack::top_cell());
    }
    return "";
}
}  // namespace zel::test
