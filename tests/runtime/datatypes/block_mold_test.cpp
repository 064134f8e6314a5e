// Forming and molding blocks, parens and paths: blanks, new-line markers and
// indentation, /only, /flat, and the part budget.
#include "runtime/datatypes/path.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockMold : public RuntimeTest {};

TEST_F(BlockMold, NewLineMarkersAndIndentation) {
    struct Case {
        Cell value;
        const char* molded;
    };
    const Case cases[] = {
        {B({}), "[]"},
        {B({I(1), I(2)}), "[1 2]"},
        {B({I(1), nl(I(2))}), "[1\n2]"},
        {B({nl(I(1)), I(2)}), "[\n    1 2\n]"},
        {B({nl(I(1)), nl(I(2))}), "[\n    1\n    2\n]"},
        {B({nl(I(1)), nl(B({nl(I(2)), I(3)}))}), "[\n    1\n    [\n        2 3\n    ]\n]"},
        {B({I(1), nl(B({nl(I(2))}))}), "[1\n[\n    2\n]]"},
        {B({nl(B({nl(I(2))}))}), "[\n    [\n        2\n    ]\n]"},
        {B({B({}), N(), T(true), DT(TYPE_BLOCK)}), "[[] none true block!]"},
        {B({I(1), nl(I(2))}, TYPE_PAREN), "(1\n2)"},
        {B({nl(I(1)), B({I(2)}, TYPE_PAREN)}, TYPE_PAREN), "(\n    1 (2)\n)"},
    };
    for (const Case& c : cases) EXPECT_EQ(mold(c.value), c.molded);
}

TEST_F(BlockMold, OnlyAndFlat) {
    Cell b = B({nl(I(1)), I(2), nl(B({nl(I(3))}))});
    EXPECT_EQ(mold(b, true), "1 2\n[\n    3\n]");
    EXPECT_EQ(mold(b, false, false, true), "[1 2 [3]]");
    EXPECT_EQ(mold(B({I(1), I(2)}, TYPE_PAREN), true), "1 2");
    EXPECT_EQ(mold(B({N(), T(false)}), false, true), "[#(none) #(false)]");
}

TEST_F(BlockMold, FormPutsBlanksBetweenValues) {
    EXPECT_EQ(form(B({I(1), B({I(2), I(3)}), N()})), "1 2 3 none");
    EXPECT_EQ(form(B({})), "");
    EXPECT_EQ(form(B({S("a\n"), S("b"), S("c\t"), S("d")})), "a\nb c\td");
    EXPECT_EQ(form(B({U(), I(1)})), " 1");  // an empty output gets its blank too
    EXPECT_EQ(form(B({I(1), B({}), I(2)})), "1  2");
}

TEST_F(BlockMold, Paths) {
    Cell p = B({I(1), I(2), B({I(3)}, TYPE_PAREN)}, TYPE_PATH);
    EXPECT_EQ(mold(p), "1/2/(3)");
    EXPECT_EQ(form(p), "1/2/3");
    struct Case {
        uint32_t type;
        const char* molded;
    };
    const Case cases[] = {
        {TYPE_PATH, "1/2"}, {TYPE_LIT_PATH, "'1/2"}, {TYPE_SET_PATH, "1/2:"}, {TYPE_GET_PATH, ":1/2"},
    };
    for (const Case& c : cases) EXPECT_EQ(mold(B({I(1), I(2)}, c.type)), c.molded);
    EXPECT_EQ(mold(B({I(1), B({I(2), I(3)}, TYPE_PATH)})), "[1 2/3]");
}

TEST_F(BlockMold, MoldAndFormPart) {
    Cell b = B({I(10), I(20), B({I(30), I(40)})});
    struct Case {
        int32_t limit;
        const char* molded;
        const char* formed;
    };
    const Case cases[] = {
        {0, "", ""}, {-5, "", ""}, {1, "[", "1"}, {3, "[10", "10 "}, {8, "[10 20 [", "10 20 30"},
        {100, "[10 20 [30 40]]", "10 20 30 40"},
    };
    for (const Case& c : cases) {
        Cell m = call(actions::mold_stack, {b, I(c.limit)}, {-1, -1, -1, 1});
        EXPECT_EQ(text_of(m), c.molded) << c.limit;
        Cell f = call(actions::form_stack, {b, I(c.limit)}, {1});
        EXPECT_EQ(text_of(f), c.formed) << c.limit;
    }
    // The budget is in code points.
    Cell s = call(actions::form_stack, {B({S("\xE2\x82\xAC\xE2\x82\xAC"), I(5)}), I(3)}, {1});
    EXPECT_EQ(text_of(s), "\xE2\x82\xAC\xE2\x82\xAC ");
}

TEST_F(BlockMold, StackEntryFlags) {
    Cell b = B({nl(N()), I(2)});
    EXPECT_EQ(text_of(call(actions::mold_stack, {b}, {})), "[\n    none 2\n]");
    EXPECT_EQ(text_of(call(actions::mold_stack, {b}, {1})), "none 2");           // /only
    EXPECT_EQ(text_of(call(actions::mold_stack, {b}, {-1, 1, 2})), "[#(none) 2]");  // /all /flat
    EXPECT_EQ(text_of(call(actions::form_stack, {b}, {})), "none 2");
}

}  // namespace
}  // namespace zel::test
