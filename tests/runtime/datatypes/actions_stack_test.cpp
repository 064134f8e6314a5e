// The action entry table and the fast paths of compiled code.
#include <cmath>
#include "runtime/actions_stack.h"
#include "runtime/datatypes/logic.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class ActionEntries : public RuntimeTest {
protected:
    Cell word{TYPE_WORD, 0, 0, 0};
    // The value pushed by a fast path, taken off the stack.
    Cell popped() {
        Cell c = stack::top[-1];
        stack::pop(1);
        return c;
    }
};

TEST_F(ActionEntries, EntryTable) {
    actions::init();
    for (uint32_t slot = 1; slot <= ACTION_SLOTS; ++slot) {
        if (slot == ACT_SET_PATH) EXPECT_EQ(actions::stack_entry(slot), nullptr);
        else EXPECT_NE(actions::stack_entry(slot), nullptr) << slot;
    }
    EXPECT_EQ(actions::entry_table[ACT_COMPARE - 1], actions::entry(actions::compare));
    EXPECT_EQ(actions::stack_entry(ACT_APPEND), &actions::append_stack);
    EXPECT_EQ(actions::stack_entry(0), nullptr);
    EXPECT_EQ(actions::stack_entry(63), nullptr);
}

// Calls without refinements take append's own entry for them and every other
// slot's stack entry; a table filled anew replaces both.
TEST_F(ActionEntries, PlainEntriesFollowTheTable) {
    actions::init();
    for (uint32_t slot = 0; slot <= ACTION_SLOTS + 1; ++slot) {
        if (slot == ACT_APPEND) EXPECT_EQ(actions::plain_entry(slot), &actions::append_plain);
        else EXPECT_EQ(actions::plain_entry(slot), actions::stack_entry(slot)) << slot;
    }
    ActionFn list[ACTION_SLOTS];
    for (int k = 0; k < ACTION_SLOTS; ++k) list[k] = actions::entry_table[k];
    list[ACT_APPEND - 1] = actions::entry(actions::insert_stack);
    list[ACT_INSERT - 1] = actions::entry(actions::append_stack);
    actions::table_fill(ACTION_SLOTS, list);
    EXPECT_EQ(actions::plain_entry(ACT_APPEND), &actions::insert_stack);
    EXPECT_EQ(actions::plain_entry(ACT_INSERT), &actions::append_plain);
    actions::init();
    EXPECT_EQ(actions::plain_entry(ACT_APPEND), &actions::append_plain);
}

TEST_F(ActionEntries, IntegerMathInlineWithExactOverflow) {
    struct Case {
        int32_t op, a, b;
        double expected;
        bool is_float;
    };
    const Case cases[] = {
        {OP_ADD, 2, 3, 5, false},
        {OP_ADD, INT32_MAX, 1, 2147483648.0, true},
        {OP_SUB, INT32_MIN, 1, -2147483649.0, true},
        {OP_MUL, 65536, 65536, 4294967296.0, true},
        {OP_MUL, -46341, 46341, -2147488281.0, true},
        {OP_MUL, -7, 6, -42, false},
        {OP_OR, 5, 2, 7, false},
        {OP_AND, 6, 3, 2, false},
        {OP_XOR, 6, 3, 5, false},
    };
    for (const Case& c : cases) {
        Cell a = I(c.a), b = I(c.b);
        actions::math_fast(c.op, &word, &a, &b);
        Cell r = popped();
        if (c.is_float) {
            ASSERT_EQ(cell::type(&r), uint32_t{TYPE_FLOAT});
            EXPECT_EQ(cell::get_float(&r), c.expected);
        } else {
            ASSERT_EQ(cell::type(&r), uint32_t{TYPE_INTEGER});
            EXPECT_EQ(cell::get_int(&r), static_cast<int32_t>(c.expected));
        }
    }
    Cell x = I(40);
    actions::math_fast2(OP_ADD, &word, &x, 2);
    EXPECT_EQ(cell::get_int(&stack::top[-1]), 42);
    actions::math_fast_top_int(OP_MUL, &word, 2);  // the top value in place
    EXPECT_EQ(cell::get_int(&stack::top[-1]), 84);
    popped();
    Cell f1, f2;
    set_float(&f1, 0.5);
    set_float(&f2, 0.25);
    actions::math_fast(OP_SUB, &word, &f1, &f2);
    EXPECT_EQ(cell::get_float(&stack::top[-1]), 0.25);
    popped();
}

TEST_F(ActionEntries, MathOpWithoutAnActionEndsTheProcess) {
    Cell a = I(1), b = I(2);
    EXPECT_EXIT(actions::math_fast(OP_DIV, &word, &a, &b), ::testing::ExitedWithCode(101), "");
}

TEST_F(ActionEntries, Comparisons) {
    Cell two = I(2), three = I(3), n1 = N(), n2 = N();
    actions::compare_fast(COMP_LESSER, &word, &two, &three);
    EXPECT_TRUE(logic::get(&stack::top[-1]));
    popped();
    actions::compare_int_fast(COMP_STRICT_EQUAL, &word, &two, 2);
    EXPECT_TRUE(logic::get(&stack::top[-1]));
    popped();
    actions::compare_fast(COMP_EQUAL, &word, &n1, &n2);  // through the generic compare
    EXPECT_TRUE(logic::get(&stack::top[-1]));
    popped();
    EXPECT_EQ(actions::compare_test(COMP_GREATER, &word, &two, &three, true), 1);
    EXPECT_EQ(actions::compare_int_test(COMP_GREATER_EQUAL, &word, &three, 3, true), 0);
    EXPECT_EQ(raised_id([&] { actions::compare_test(COMP_LESSER, &word, &n1, &n2, true); }), "invalid-compare");
    stack::arguments = stack::top = stack::bottom;
    stack::push(&two);
    EXPECT_FALSE(actions::compare_to_result(COMP_EQUAL, &word, &two, &three));
    EXPECT_EQ(mold(*stack::arguments), "false");
    EXPECT_TRUE(actions::compare_int_to_result(COMP_NOT_EQUAL, &word, &two, 9));
    stack::push(&three);
    actions::compare_fast_top_int(COMP_GREATER, &word, 1);
    EXPECT_EQ(mold(stack::top[-1]), "true");
    EXPECT_EQ(stack::top - stack::arguments, 2);
}

TEST_F(ActionEntries, PathPickFast) {
    Cell b = B({I(10), I(20), I(30)});
    struct Case {
        uint32_t head;
        int32_t n;
        const char* picked;
    };
    const Case cases[] = {{0, 1, "10"}, {0, 3, "30"}, {1, 1, "20"}, {0, 0, "none"}, {0, 4, "none"}, {2, 2, "none"}};
    for (const Case& c : cases) {
        Cell v = at(b, c.head), i = I(c.n);
        actions::path_pick_fast(&v, &i, &word);
        EXPECT_EQ(mold(popped()), c.picked);
    }
    Cell p = B({I(10), I(20)}, TYPE_PAREN), two = I(2);  // not a block!: through eval-path
    actions::path_pick_fast(&p, &two, &word);
    EXPECT_EQ(mold(popped()), "20");
    EXPECT_EQ(stack::call_top, stack::call_begin);
}

TEST_F(ActionEntries, SeriesQueryFast) {
    const char* expected[] = {"", "2", "2", "false", "false", "[30]", "[10 20 30]", "[10 20 30]", "[]"};
    for (int32_t q = 1; q <= 8; ++q) {
        Cell v = at(B({I(10), I(20), I(30)}), 1);
        actions::series_query_fast(&v, q, &word);
        EXPECT_EQ(mold(popped()), expected[q]) << q;
        Cell p = at(B({I(10), I(20), I(30)}, TYPE_PAREN), 1);  // through the generic entries
        actions::series_query_fast(&p, q, &word);
        Cell r = popped();
        if (any_block(cell::type(&r))) cell::set_type(&r, TYPE_BLOCK);
        EXPECT_EQ(mold(r), expected[q]) << q;
    }
}

}  // namespace
}  // namespace zel::test
