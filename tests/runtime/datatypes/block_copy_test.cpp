// Making, converting and copying blocks: make and to, copy/deep and
// copy/types, clone, take/deep, and the set operations.
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/path.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockCopy : public RuntimeTest {};

Cell typeset_of(std::initializer_list<uint32_t> types) {
    Cell ts;
    cell::set(&ts, TYPE_TYPESET);
    uint8_t bytes[12] = {};
    for (uint32_t t : types) bytes[t >> 3] |= static_cast<uint8_t>(0x80u >> (t & 7));
    std::memcpy(&ts.w1, bytes, 12);
    return ts;
}

TEST_F(BlockCopy, MakeAndTo) {
    Cell f;
    set_float(&f, 2.7);
    struct Case {
        actions::StackEntry entry;
        uint32_t type;
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {actions::make_stack, TYPE_BLOCK, B({I(1), I(2)}, TYPE_PAREN), "[1 2]"},
        {actions::make_stack, TYPE_PAREN, B({I(1), I(2)}), "(1 2)"},
        {actions::make_stack, TYPE_BLOCK, I(10), "[]"},
        {actions::make_stack, TYPE_PATH, f, ""},
        {actions::make_stack, TYPE_PATH, B({I(1), I(2)}), "1/2"},
        {actions::to_stack, TYPE_BLOCK, I(3), "[3]"},
        {actions::to_stack, TYPE_BLOCK, at(B({I(1), I(2)}), 1), "[2]"},
        {actions::to_stack, TYPE_SET_PATH, B({I(1), I(2)}), "1/2:"},
        {actions::to_stack, TYPE_BLOCK, typeset_of({TYPE_NONE, TYPE_BLOCK}), "[none! block!]"},
        {actions::to_stack, TYPE_PAREN, S("1 [2] x"), "(1 [2] x)"},  // text is loaded
        {actions::to_stack, TYPE_BLOCK, S(""), "[]"},
    };
    for (const Case& c : cases) {
        Cell r = call(c.entry, {DT(c.type), c.spec}, {});
        EXPECT_EQ(cell::type(&r), c.type);
        EXPECT_EQ(mold(r), c.result);
    }
    Cell p = call(actions::make_stack, {DT(TYPE_PATH), f}, {});
    EXPECT_GE(series::buffer_of(&p)->size, 2u * sizeof(Cell));
    EXPECT_EQ(raised_id([] { call(actions::make_stack, {DT(TYPE_BLOCK), N()}, {}); }), "bad-make-arg");
    EXPECT_EQ(raised_id([] { call(actions::make_stack, {DT(TYPE_PATH), S("a")}, {}); }), "bad-make-arg");
}

TEST_F(BlockCopy, CopyDeepCopiesNestedSeries) {
    Cell inner = B({I(1)});
    Cell text = S("ab");
    Cell b = B({inner, text, B({inner}, TYPE_PAREN)});
    Cell shallow = call(actions::copy_stack, {b}, {});
    Cell deep = call(actions::copy_stack, {b}, {-1, 0});
    block::append_copy(&inner, &inner);  // inner now holds itself
    EXPECT_EQ(mold(shallow), "[[1 [...]] \"ab\" ([1 [...]])]");
    EXPECT_EQ(mold(deep), "[[1] \"ab\" ([1])]");
    EXPECT_NE(block::rs_abs_at(&deep, 1)->w2, text.w2);
    // A block that holds itself cannot be copied deep.
    EXPECT_EQ(raised_id([&] { call(actions::copy_stack, {inner}, {-1, 0}); }), "no-cycle");
    EXPECT_EQ(cycles::depth(), 0u);
}

TEST_F(BlockCopy, CopyTypesCopiesOnlyThatKind) {
    Cell inner = B({I(1)});
    Cell text = S("ab");
    Cell b = B({inner, text});
    Cell kind = DT(TYPE_STRING);
    Cell r = call(actions::copy_stack, {b, kind}, {-1, -1, 1});
    EXPECT_EQ(block::rs_abs_at(&r, 0)->w2, inner.w2);
    EXPECT_NE(block::rs_abs_at(&r, 1)->w2, text.w2);
    Cell ts = typeset_of({TYPE_BLOCK});
    r = call(actions::copy_stack, {b, ts}, {-1, -1, 1});
    EXPECT_NE(block::rs_abs_at(&r, 0)->w2, inner.w2);
    EXPECT_EQ(block::rs_abs_at(&r, 1)->w2, text.w2);
    EXPECT_EQ(raised_id([&] { call(actions::copy_stack, {b, I(1)}, {-1, -1, 1}); }), "expect-arg");
}

TEST_F(BlockCopy, CloneAndTakeDeep) {
    Cell inner = B({I(1)});
    Cell b = B({inner, B({inner}, TYPE_PAREN)});
    Cell* c = block::clone(&b, true, false);
    EXPECT_NE(block::rs_abs_at(c, 0)->w2, inner.w2);
    EXPECT_EQ(block::rs_abs_at(block::rs_abs_at(c, 1), 0)->w2, inner.w2);  // parens stay shared
    c = block::clone(&b, true, true);
    EXPECT_NE(block::rs_abs_at(block::rs_abs_at(c, 1), 0)->w2, inner.w2);
    Cell t = call(actions::take_stack, {b}, {-1, 0});  // take/deep
    EXPECT_EQ(mold(t), "[1]");
    EXPECT_NE(t.w2, inner.w2);
}

TEST_F(BlockCopy, SetOperations) {
    auto run = [](int32_t op, Cell a, Cell b, bool case_ = false, int32_t skip = 0) {
        stack::arguments = stack::top = stack::bottom;
        stack::push(&a);
        stack::push(&b);
        Cell size = I(skip);
        block::do_set_op(case_, skip ? &size : nullptr, op);
        return mold(*stack::arguments);
    };
    Cell a = ints({1, 2, 2, 3, 1}), b = ints({3, 4, 4});
    EXPECT_EQ(run(block::SET_UNIQUE, a, b), "[1 2 3]");
    EXPECT_EQ(run(block::SET_UNION, a, b), "[1 2 3 4]");
    EXPECT_EQ(run(block::SET_INTERSECT, a, b), "[3]");
    EXPECT_EQ(run(block::SET_EXCLUDE, a, b), "[1 2]");
    EXPECT_EQ(run(block::SET_DIFFERENCE, a, b), "[1 2 4]");
    EXPECT_EQ(run(block::SET_UNIQUE, B({S("a"), S("A"), S("b")}), b), "[\"a\" \"b\"]");
    EXPECT_EQ(run(block::SET_UNIQUE, B({S("a"), S("A"), S("b")}), b, true), "[\"a\" \"A\" \"b\"]");
    EXPECT_EQ(run(block::SET_UNIQUE, ints({1, 10, 2, 20, 1, 30}), b, false, 2), "[1 10 2 20]");
    Cell one = B({I(1)});
    EXPECT_EQ(run(block::SET_UNIQUE, B({one, one, I(1)}), b), "[[1] 1]");  // blocks are keyed as themselves
    EXPECT_EQ(run(block::SET_UNIQUE, at(a, 3), b), "[3 1]");
    EXPECT_EQ(raised_id([&] { run(block::SET_UNIQUE, a, b, false, -1); }), "invalid-refine-arg");
}

}  // namespace
}  // namespace zel::test
