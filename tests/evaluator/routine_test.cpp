// Routines: systems code registered by name, called like functions.
#include <cstring>
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/lexer.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class RoutineTest : public test::RuntimeTest {
protected:
    // Loads and evaluates source text; the result is the top cell.
    Cell eval(const char* text) {
        Cell code;
        lexer::scan(&code, reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(std::strlen(text)), false,
                    true, true, true, nullptr, nullptr, nullptr, nullptr);
        interpreter::eval_block(&code, false);
        return *stack::top_cell();
    }
};

void sum_body(Cell* args, int count) {
    ASSERT_EQ(count, 2);
    set_integer(args, cell::get_int(args) + cell::get_int(args + 1));
}

TEST_F(RoutineTest, RegisteredBodiesRunOnTheirArguments) {
    routine::register_body("test-sum", sum_body);
    Cell spec = eval("[a [integer!] b [integer!]]");
    Cell* r = routine::push_new(&spec, "test-sum");
    EXPECT_EQ(cell::type(r), uint32_t{TYPE_ROUTINE});
    EXPECT_EQ(routine::get_arity(r), 2u);
    Cell w;
    word::load("test-sum", &w);
    word::set(&w, r);
    Cell result = eval("test-sum 40 2");
    EXPECT_EQ(cell::type(&result), uint32_t{TYPE_INTEGER});
    EXPECT_EQ(cell::get_int(&result), 42);
    // The spec's types are checked like a function's.
    EXPECT_EQ(test::raised_id([&] { eval("test-sum 1 \"x\""); }), "expect-arg");
    Cell bad_spec = eval("[a]");
    EXPECT_EQ(test::raised_id([&] { routine::push_new(&bad_spec, "no-such-body"); }), "invalid-arg");
}

}  // namespace
}  // namespace zel
