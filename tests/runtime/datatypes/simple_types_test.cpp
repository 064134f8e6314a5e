// datatype!, unset!, none! and logic!: their text, comparison, conversion,
// logic operations and the truth tests.
#include <cmath>
#include <limits>
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/unset.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class SimpleTypes : public RuntimeTest {};

TEST_F(SimpleTypes, FormMoldAndMoldAll) {
    struct Case {
        Cell value;
        const char* formed;
        const char* molded;
        const char* molded_all;
    };
    const Case cases[] = {
        {DT(TYPE_INTEGER), "integer", "integer!", "#(integer!)"},
        {DT(TYPE_SET_PATH), "set-path", "set-path!", "#(set-path!)"},
        {U(), "", "unset", "#(unset)"},
        {N(), "none", "none", "#(none)"},
        {T(true), "true", "true", "#(true)"},
        {T(false), "false", "false", "#(false)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(form(c.value), c.formed);
        EXPECT_EQ(mold(c.value), c.molded);
        EXPECT_EQ(mold(c.value, false, true), c.molded_all);
    }
}

TEST_F(SimpleTypes, CompareImplementations) {
    struct Case {
        Cell a, b;
        int32_t op;
        int32_t expected;
    };
    const Case cases[] = {
        {DT(TYPE_BLOCK), DT(TYPE_BLOCK), COMP_EQUAL, 0},
        {DT(TYPE_BLOCK), DT(TYPE_PAREN), COMP_EQUAL, 1},
        {DT(TYPE_BLOCK), I(5), COMP_FIND, 1},
        {DT(TYPE_BLOCK), DT(TYPE_BLOCK), COMP_LESSER, NOT_COMPARABLE},
        {DT(TYPE_BLOCK), DT(TYPE_BLOCK), COMP_SORT, NOT_COMPARABLE},
        {U(), U(), COMP_SORT, 0},
        {U(), U(), COMP_LESSER, NOT_COMPARABLE},
        {U(), N(), COMP_EQUAL, NOT_COMPARABLE},
        {N(), N(), COMP_SAME, 0},
        {N(), N(), COMP_GREATER, NOT_COMPARABLE},
        {N(), T(false), COMP_EQUAL, NOT_COMPARABLE},
        {T(true), T(false), COMP_SORT, 1},
        {T(false), T(true), COMP_CASE_SORT, -1},
        {T(true), T(true), COMP_STRICT_EQUAL, 0},
        {T(true), T(false), COMP_LESSER, NOT_COMPARABLE},
        {T(true), I(1), COMP_EQUAL, NOT_COMPARABLE},
    };
    for (const Case& c : cases) {
        Cell a = c.a, b = c.b;
        auto impl = actions::typed<actions::CompareFn>(actions::get_action_by_value(&a, ACT_COMPARE));
        EXPECT_EQ(impl(&a, &b, c.op), c.expected) << mold(a) << " op " << c.op << " " << mold(b);
    }
}

TEST_F(SimpleTypes, GenericCompareOfUncomparableValues) {
    Cell n1 = N(), n2 = N(), t = T(true), f = T(false), dt = DT(TYPE_INTEGER), i = I(1);
    EXPECT_TRUE(actions::compare(&n1, &n2, COMP_EQUAL));
    EXPECT_EQ(raised_id([&] { actions::compare(&n1, &n2, COMP_LESSER); }), "invalid-compare");
    EXPECT_EQ(raised_id([&] { actions::compare(&t, &f, COMP_GREATER); }), "invalid-compare");
    // -2 is "not equal" and never "equal".
    EXPECT_TRUE(actions::compare(&t, &i, COMP_NOT_EQUAL));
    EXPECT_FALSE(actions::compare(&t, &i, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&dt, &i, COMP_EQUAL));
    EXPECT_TRUE(actions::compare(&dt, &i, COMP_NOT_EQUAL));
}

TEST_F(SimpleTypes, MakeAndToLogic) {
    struct Case {
        Cell spec;
        bool made, converted;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Cell f0, fnan, f1;
    set_float(&f0, 0.0);
    set_float(&fnan, nan);
    set_float(&f1, -0.5);
    const Case cases[] = {
        {I(0), false, true}, {I(-3), true, true}, {f0, false, true}, {fnan, true, true}, {f1, true, true},
        {N(), false, false}, {T(false), false, false}, {T(true), true, true}, {U(), true, true},
    };
    for (const Case& c : cases) {
        Cell dt = DT(TYPE_LOGIC), spec = c.spec;
        EXPECT_EQ(logic::get(actions::make(&dt, &spec)), c.made) << mold(spec);
        dt = DT(TYPE_LOGIC);
        EXPECT_EQ(logic::get(actions::to(&dt, &spec)), c.converted) << mold(spec);
    }
}

TEST_F(SimpleTypes, MakeAndToUnsetAndNoneIgnoreTheSpec) {
    for (uint32_t type : {TYPE_UNSET, TYPE_NONE}) {
        Cell dt = DT(type), spec = I(42);
        EXPECT_EQ(cell::type(actions::make(&dt, &spec)), type);
        dt = DT(type);
        EXPECT_EQ(cell::type(actions::to(&dt, &spec)), type);
    }
}

TEST_F(SimpleTypes, NoneAnswersTheSeriesActions) {
    Cell r = call(actions::length_q_stack, {N()}, {});
    EXPECT_EQ(cell::type(&r), uint32_t{TYPE_NONE});
    r = call(actions::find_stack, {N(), I(1)}, {});
    EXPECT_EQ(cell::type(&r), uint32_t{TYPE_NONE});
    r = call(actions::take_stack, {N()}, {});
    EXPECT_EQ(cell::type(&r), uint32_t{TYPE_NONE});
    r = call(actions::select_stack, {N(), I(1)}, {});
    EXPECT_EQ(cell::type(&r), uint32_t{TYPE_NONE});
}

TEST_F(SimpleTypes, LogicOperations) {
    struct Case {
        actions::StackEntry entry;
        bool a, b, expected;
    };
    const Case cases[] = {
        {actions::and_t_stack, true, false, false}, {actions::and_t_stack, true, true, true},
        {actions::or_t_stack, false, false, false}, {actions::or_t_stack, false, true, true},
        {actions::xor_t_stack, true, true, false},  {actions::xor_t_stack, true, false, true},
    };
    for (const Case& c : cases) {
        Cell r = call(c.entry, {T(c.a), T(c.b)}, {});
        EXPECT_EQ(cell::type(&r), uint32_t{TYPE_LOGIC});
        EXPECT_EQ(logic::get(&r), c.expected);
    }
    Cell r = call(actions::complement_stack, {T(true)}, {});
    EXPECT_FALSE(logic::get(&r));
    EXPECT_EQ(raised_id([&] { call(actions::and_t_stack, {T(true), I(1)}, {}); }), "expect-arg");
}

TEST_F(SimpleTypes, RandomOfLogic) {
    Cell r = call(actions::random_stack, {T(true)}, {1});  // /seed
    EXPECT_EQ(cell::type(&r), uint32_t{TYPE_UNSET});
    int trues = 0;
    for (int i = 0; i < 200; ++i) {
        Cell x = call(actions::random_stack, {T(true)}, {});
        ASSERT_EQ(cell::type(&x), uint32_t{TYPE_LOGIC});
        trues += logic::get(&x);
    }
    EXPECT_GT(trues, 50);
    EXPECT_LT(trues, 150);
}

TEST_F(SimpleTypes, TruthTests) {
    Cell word = N(), u = U(), n = N(), f = T(false), zero = I(0), blk = B({});
    EXPECT_FALSE(logic::value_true(&n, false, &word));
    EXPECT_FALSE(logic::value_true(&f, true, &word));
    EXPECT_TRUE(logic::value_true(&zero, true, &word));
    EXPECT_TRUE(logic::value_true(&blk, true, &word));
    EXPECT_TRUE(logic::value_true(&u, false, &word));
    EXPECT_EQ(raised_id([&] { logic::value_true(&u, true, &word); }), "no-value");

    EXPECT_EQ(raised_id([&] {
                  stack::push(&u);
                  logic::true_q();
              }),
              "no-return");
    stack::arguments = stack::top = stack::bottom;
    stack::push(&f);
    EXPECT_TRUE(logic::false_q());
    EXPECT_TRUE(logic::top_false_q());  // nothing above the base: the base itself
    stack::push(&zero);
    EXPECT_TRUE(logic::top_true_q());
    EXPECT_TRUE(logic::false_q());
}

TEST_F(SimpleTypes, ResultRoutines) {
    Cell b = B({});
    none::make_in(&b);
    unset::make_in(&b);
    logic::make_in(&b, true);
    EXPECT_EQ(mold(b), "[none unset true]");
    stack::push(&b);
    none::set_last();
    EXPECT_EQ(cell::type(stack::arguments), uint32_t{TYPE_NONE});
    logic::box(false);
    EXPECT_EQ(mold(*stack::arguments), "false");
}

}  // namespace
}  // namespace zel::test
