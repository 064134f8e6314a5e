// Reporting the call stack: the innermost named call, the call list, the
// traces, and the call and argument words that error reports carry.
#include "runtime/actions.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/stack_calls.h"
#include "runtime/words.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

class StackCallsTest : public test::RuntimeTest {
protected:
    Cell global(const char* name) {
        Cell w;
        return *word::load(name, &w);
    }
    std::string name_of(const Cell& w) { return test::text::form(w); }
    // Gives a global word a value of a function type whose spec is `spec`.
    void define(const char* name, uint32_t type, const std::vector<Cell>& spec) {
        Cell w = global(name);
        Cell blk = test::text::block_of(spec);
        Cell fn{type, 0, blk.w2, 0};
        context::set_in(&w, &fn, context::global, false);
    }
};

TEST_F(StackCallsTest, InnermostNamedCall) {
    Cell out;
    EXPECT_EQ(name_of(*stack::get_call(&out)), "<not-found>");
    Cell outer = global("sc-outer");
    stack::mark_native(&outer);
    stack::mark_native(&words::_body_tag);  // skipped
    EXPECT_EQ(name_of(*stack::get_call(&out)), "sc-outer");
    EXPECT_EQ(out.w1, context::global);
    Cell inner = global("sc-inner");
    stack::mark_native(&inner);
    EXPECT_EQ(name_of(*stack::get_call(&out)), "sc-inner");
    // A throw's saved frame is read once.
    stack::error_frame = stack::call_top - 1;
    EXPECT_EQ(name_of(*stack::get_call(&out)), "sc-outer");
    EXPECT_EQ(name_of(*stack::get_call(&out)), "sc-inner");
}

TEST_F(StackCallsTest, CallListAndTraces) {
    define("sc-f1", TYPE_FUNCTION, {});
    Cell first = global("sc-first"), f1 = global("sc-f1"), plain = global("sc-plain");
    stack::mark_native(&first);  // the first frame is not listed by collect-calls
    Cell filler = test::text::integer(0);
    stack::push(&filler);
    stack::mark_native(&f1);
    stack::push(&filler);
    stack::mark_native(&words::_anon_tag);
    stack::mark_native(&plain);
    Cell calls = test::text::block_of({});
    stack::collect_calls(&calls);
    EXPECT_EQ(test::text::mold(calls), "[sc-plain 2 sc-f1 0]");
    Cell all = test::text::block_of({});
    stack::trace_to_block(2, &all, stack::call_top);
    EXPECT_EQ(test::text::mold(all), "[sc-first sc-f1 sc-plain]");
    Cell functions = test::text::block_of({});
    stack::trace_to_block(1, &functions, stack::call_top);
    EXPECT_EQ(test::text::mold(functions), "[sc-f1]");
    Cell s = test::text::make("");
    EXPECT_EQ(stack::trace_to_string(2, &s, stack::call_top - 1, 100), 100 - 14);
    EXPECT_EQ(test::text::utf8(s), "sc-first sc-f1");
}

TEST_F(StackCallsTest, ErrorReportsNameTheCallAndItsArgument) {
    define("sc-act", TYPE_ACTION, {global("value"), global("other")});
    Cell act = global("sc-act");
    stack::mark_native(&act);
    Cell out;
    errors::caller_word(&out);
    EXPECT_EQ(name_of(out), "sc-act");
    errors::caller_arg_word(2, &out);
    EXPECT_EQ(name_of(out), "other");
    // An action with no implementation for the type names all three.
    Cell t;
    set_logic(&t, true);
    EXPECT_EQ(test::raised_id([&] { actions::get_action_by_value(&t, ACT_REFLECT); }), "expect-arg");
    const Cell* err = stack::top_cell();
    EXPECT_EQ(name_of(*errors::arg_of(err, 1)), "sc-act");
    EXPECT_EQ(test::text::mold(*errors::arg_of(err, 2)), "logic!");
    EXPECT_EQ(name_of(*errors::arg_of(err, 3)), "value");
}

}  // namespace
}  // namespace zel
