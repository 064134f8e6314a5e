// Comparing blocks: equality and order cell by cell, lengths, the empty
// block's place, sameness, and the path/lit-path equality variants.
#include "runtime/cycles.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockCompare : public RuntimeTest {};

bool cmp(Cell a, Cell b, int32_t op) { return actions::compare(&a, &b, op); }

TEST_F(BlockCompare, OrderAndEquality) {
    Cell f;
    set_float(&f, 2.0);
    struct Case {
        Cell a, b;
        int32_t op;
        bool expected;
    };
    const Case cases[] = {
        {B({I(1), I(2)}), B({I(1), I(2)}), COMP_EQUAL, true},
        {B({I(1), I(2)}), B({I(1), f}), COMP_EQUAL, true},         // numbers compare across types
        {B({I(1), I(2)}), B({I(1), f}), COMP_STRICT_EQUAL, false},
        {B({I(1), I(2)}), B({I(1)}), COMP_EQUAL, false},
        {B({I(1), I(2)}), B({I(1)}), COMP_NOT_EQUAL, true},
        {B({I(1), I(2)}), B({I(1), I(3)}), COMP_LESSER, true},
        {B({I(1)}), B({I(1), I(0)}), COMP_LESSER, true},             // a prefix orders first
        {B({I(2)}), B({I(1), I(9)}), COMP_GREATER, true},
        {B({}), B({I(1)}), COMP_LESSER, true},                      // the empty block first
        {B({}), B({I(1)}), COMP_GREATER_EQUAL, false},
        {B({I(1)}), B({}), COMP_GREATER, true},
        {B({}), B({}), COMP_LESSER_EQUAL, true},
        {B({}), B({}), COMP_EQUAL, true},
        {B({S("a")}), B({S("A")}), COMP_EQUAL, true},
        {B({S("a")}), B({S("A")}), COMP_STRICT_EQUAL, false},
        {B({N()}), B({I(1)}), COMP_LESSER, true},                   // different types: by type id
        {B({I(1)}), B({I(1)}, TYPE_PAREN), COMP_EQUAL, false},
        {B({I(1)}, TYPE_PATH), B({I(1)}, TYPE_LIT_PATH), COMP_EQUAL, false},
        {B({I(1)}, TYPE_PATH), B({I(1)}, TYPE_LIT_PATH), COMP_EQUAL_WORD, true},
        {B({I(1)}, TYPE_LIT_PATH), B({I(1)}, TYPE_PATH), COMP_NOT_EQUAL_WORD, true},
    };
    for (const Case& c : cases) EXPECT_EQ(cmp(c.a, c.b, c.op), c.expected) << mold(c.a) << " " << c.op << " " << mold(c.b);
}

TEST_F(BlockCompare, SamenessAndOrderingErrors) {
    Cell a = B({I(1)}), b = B({I(1)});
    EXPECT_TRUE(cmp(a, a, COMP_SAME));
    EXPECT_FALSE(cmp(a, b, COMP_SAME));
    EXPECT_FALSE(cmp(a, at(a, 1), COMP_SAME));
    EXPECT_EQ(raised_id([&] { cmp(B({I(1)}), B({I(1)}, TYPE_PAREN), COMP_LESSER); }), "invalid-compare");
    EXPECT_EQ(raised_id([&] { cmp(B({N()}), B({N()}), COMP_LESSER); }), "invalid-compare");
    EXPECT_EQ(cycles::depth(), 0u);
}

TEST_F(BlockCompare, BlocksInsideThemselves) {
    Cell a = B({I(1)}), b = B({I(1)});
    block::append_copy(&a, &a);
    block::append_copy(&b, &b);
    EXPECT_TRUE(cmp(a, b, COMP_EQUAL));
    EXPECT_EQ(cycles::depth(), 0u);
}

}  // namespace
}  // namespace zel::test
