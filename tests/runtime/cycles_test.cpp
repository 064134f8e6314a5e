// Cycle detection: placeholders for values met again inside themselves, the
// depth limit, and the stack left clean when a walk ends in an error.
#include "runtime/cycles.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class Cycles : public RuntimeTest {};

// A block of the given type whose last value is the block itself.
Cell self_containing(uint32_t type) {
    Cell b = B({I(1)}, type);
    block::append_copy(&b, &b);
    return b;
}

TEST_F(Cycles, ValuesInsideThemselvesMoldAsPlaceholders) {
    EXPECT_EQ(mold(self_containing(TYPE_BLOCK)), "[1 [...]]");
    EXPECT_EQ(form(self_containing(TYPE_BLOCK)), "1 ...");
    EXPECT_EQ(mold(self_containing(TYPE_PAREN)), "(1 (...))");
    EXPECT_EQ(mold(self_containing(TYPE_PATH)), "1/...");
    // The inner set-path keeps its own colon around the placeholder.
    EXPECT_EQ(mold(self_containing(TYPE_SET_PATH)), "1/...::");
    EXPECT_EQ(form(self_containing(TYPE_PATH)), "1/...");
    EXPECT_EQ(cycles::depth(), 0u);
}

TEST_F(Cycles, PlaceholderTextByType) {
    struct Case {
        uint32_t type;
        const char* molded;
    };
    const Case cases[] = {
        {TYPE_BLOCK, "[...]"}, {TYPE_HASH, "[...]"}, {TYPE_PAREN, "(...)"}, {TYPE_MAP, "#[...]"},
        {TYPE_OBJECT, "make object! [...]"}, {TYPE_PATH, "..."}, {TYPE_GET_PATH, "..."}, {TYPE_ERROR, "..."},
    };
    Cell b = B({});
    for (const Case& c : cases) {
        Cell v = b;
        cell::set_type(&v, c.type);
        if (c.type == TYPE_OBJECT) v.w1 = b.w2;  // an object is recorded under its context
        Cell out;
        emit::make_buffer(&out, 8);
        int32_t part = 100;
        EXPECT_FALSE(cycles::mold_placeholder(&v, &out, &part, true));
        cycles::Guard guard(b.w2);
        EXPECT_TRUE(cycles::mold_placeholder(&v, &out, &part, true));
        EXPECT_EQ(text_of(out), c.molded);
        EXPECT_EQ(part, 100 - static_cast<int32_t>(text_of(out).size()));
        emit::make_buffer(&out, 8);
        EXPECT_TRUE(cycles::mold_placeholder(&v, &out, &part, false));
        EXPECT_EQ(text_of(out), "...");
    }
}

TEST_F(Cycles, ThousandthNestedBlockIsTooDeep) {
    // 999 levels mold; one more reaches the 1,000-entry limit.
    Cell inner = B({});
    for (int i = 1; i < 999; ++i) inner = B({inner});
    std::string text = mold(inner);
    EXPECT_EQ(text.size(), 999u * 2);
    Cell deeper = B({inner});
    EXPECT_EQ(raised_id([&] { mold(deeper); }), "too-deep");
    EXPECT_EQ(cycles::depth(), 0u);
    EXPECT_EQ(mold(B({I(1), B({})})), "[1 []]");
}

TEST_F(Cycles, ErrorDuringAWalkLeavesNoEntryBehind) {
    // A value without a mold makes the walk raise half way through.
    Cell odd;
    cell::set(&odd, TYPE_TRIPLE, 1, 2, 3);
    Cell b = B({I(1), odd});
    Cell outer = B({b});
    EXPECT_EQ(raised_id([&] { mold(outer); }), "expect-arg");
    EXPECT_EQ(cycles::depth(), 0u);
    block::remove_last(&b);
    // b is no longer on the stack: a later mold shows it, not "[...]".
    block::append_copy(&b, &outer);
    EXPECT_EQ(mold(outer), "[[1 [...]]]");
    Cell other = B({b});
    EXPECT_EQ(mold(other), "[[1 [[...]]]]");
}

TEST_F(Cycles, GuardPopsWhatItPushed) {
    {
        cycles::Guard a(11);
        cycles::Guard b(12);
        EXPECT_TRUE(cycles::find(12));
        EXPECT_EQ(cycles::depth(), 2u);
    }
    EXPECT_EQ(cycles::depth(), 0u);
    EXPECT_FALSE(cycles::find(11));
}

}  // namespace
}  // namespace zel::test
