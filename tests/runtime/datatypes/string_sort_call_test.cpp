// sort/compare with a user function, called back through the interpreter.
#include <gtest/gtest.h>
#include "runtime/evaluator/interpreter.h"
#include "runtime/datatypes/string_actions.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test {
namespace {

class StringSortCall : public RuntimeTest {};

// The value of the last expression of the source text.
Cell evaluate(const std::string& source) {
    Cell code = lex::load(source);
    stack::push(&code);
    interpreter::eval_block(&code, false);
    return *stack::top_cell();
}

TEST_F(StringSortCall, FunctionDecidesTheOrder) {
    struct Case {
        const char* fn;
        bool all;
        int32_t skip;
        bool reverse;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"func [a b] [a > b]", false, 0, false, "bdac", "dcba"},
        {"func [a b] [a < b]", false, 0, false, "bdac", "abcd"},
        {"func [a b] [a < b]", false, 0, true, "bdac", "dcba"},
        {"func [a b] [(to integer! a) - (to integer! b)]", false, 0, false, "bdac", "abcd"},
        {"func [a b] [none]", false, 0, false, "ab", "ba"},
        {"func [a b] [b/2 < a/2]", true, 2, false, "a1b3c2", "b3c2a1"},
    };
    for (const Case& c : cases) {
        Cell fn{};
        std::string id = text::raised([&] { fn = evaluate(c.fn); }).id;
        // Runs once the function-making natives are bound to their words.
        if (id == "no-value") GTEST_SKIP() << "func is not defined yet";
        ASSERT_EQ(id, "") << c.fn;
        ASSERT_EQ(cell::type(&fn), uint32_t{TYPE_FUNCTION}) << c.fn;
        Cell* fn_slot = stack::push(&fn);
        Cell s = text::make(c.text), skip = text::integer(c.skip);
        string::sort(&s, false, c.skip ? &skip : nullptr, fn_slot, nullptr, c.all, c.reverse, true);
        EXPECT_EQ(text::utf8(s), c.expected) << c.fn;
    }
}

}  // namespace
}  // namespace zel::test
