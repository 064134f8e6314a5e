// char!: arithmetic within the code-point range, to char! (text, numbers and
// UTF-8 that must not be read past the binary's tail), mold escapes, compare.
#include <limits>
#include "runtime/datatypes/char.h"
#include "tests/runtime/datatypes/number_test_support.h"

namespace zel {
namespace {

using namespace test;

class CharTest : public RuntimeTest {};

TEST_F(CharTest, ArithmeticStaysInRange) {
    struct Case {
        int slot;
        uint32_t cp;
        Cell right;
        uint32_t want;
    };
    const Case cases[] = {
        {ACT_ADD, 'a', I(1), 'b'},        {ACT_SUBTRACT, 'b', C('a'), 1},  {ACT_DIVIDE, 'a', I(2), 48},
        {ACT_MULTIPLY, 'a', F(1.9), 'a'}, {ACT_MULTIPLY, 2, F(-0.9), 0},   {ACT_REMAINDER, 'a', I(10), 7},
        {ACT_ADD, 0x10FFFE, I(1), 0x10FFFF}, {ACT_OR_T, 'A', I(0x20), 'a'}, {ACT_AND_T, 'a', I(0x5F), 'A'},
        {ACT_XOR_T, 'a', C(0x20), 'A'},
    };
    for (const Case& c : cases) {
        Cell r = call(c.slot, C(c.cp), c.right);
        SCOPED_TRACE(actions::slot_name(c.slot));
        EXPECT_EQ(type_of(r), uint32_t{TYPE_CHAR});
        EXPECT_EQ(r.w2, c.want);
    }
    EXPECT_EQ(raised_id([] { add(C(0x10FFFF), I(1)); }), "overflow");
    EXPECT_EQ(raised_id([] { sub(C(0), I(1)); }), "overflow");
    EXPECT_EQ(raised_id([] { mul(C(0x10FFFF), I(2147483647)); }), "overflow");
    EXPECT_EQ(raised_id([] { add(C('a'), F(1e10)); }), "overflow");
    EXPECT_EQ(raised_id([] { add(C('a'), F(std::numeric_limits<double>::quiet_NaN())); }), "overflow");
    EXPECT_EQ(raised_id([] { div(C('a'), I(0)); }), "zero-divide");
    EXPECT_EQ(raised_id([] { add(C('a'), P(0.5)); }), "invalid-type");
    EXPECT_EQ(raised_id([] { add(C('a'), Of(TYPE_VECTOR)); }), "not-done");
}

TEST_F(CharTest, ToChar) {
    struct Case {
        Cell spec;
        uint32_t want;
    };
    const Case cases[] = {
        {I(1114111), 0x10FFFF}, {I(0), 0}, {C('x'), 'x'}, {F(65.7), 'A'}, {F(-0.5), 0}, {P(0.5), 0},
        {S("abc"), 'a'}, {S("\xC3\xA9t\xC3\xA9"), 0xE9}, {S("\xF0\x9F\x98\x80"), 0x1F600}, {S("x", 4), 'x'},
        {B({0x41}), 'A'}, {B({0xC3, 0xA9}), 0xE9}, {B({0xF0, 0x9F, 0x98, 0x80, 0x41}), 0x1F600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(mold(c.spec));
        Cell r = to(TYPE_CHAR, c.spec);
        EXPECT_EQ(type_of(r), uint32_t{TYPE_CHAR});
        EXPECT_EQ(r.w2, c.want);
        EXPECT_EQ(make(TYPE_CHAR, c.spec).w2, c.want);
    }
}

TEST_F(CharTest, ToCharRefusals) {
    struct Case {
        Cell spec;
        const char* id;
    };
    const Case cases[] = {
        {I(1114112), "out-of-range"}, {I(-1), "out-of-range"}, {F(1114112.0), "out-of-range"},
        {F(-1.0), "out-of-range"}, {F(std::numeric_limits<double>::quiet_NaN()), "out-of-range"},
        {S(""), "bad-to-arg"}, {B({}), "bad-to-arg"}, {B({0xC3}), "bad-to-arg"}, {B({0xE2, 0x82}), "bad-to-arg"},
        {B({0xFF}), "invalid-utf8"}, {B({0xC3, 0x41}), "invalid-utf8"}, {L(true), "bad-to-arg"},
    };
    for (const Case& c : cases) {
        Cell spec = c.spec;
        EXPECT_EQ(raised_id([&] { to(TYPE_CHAR, spec); }), c.id) << mold(spec);
    }
}

// The bytes after a binary's tail are never read: a lead byte at the tail
// with its continuation byte just past it is a cut-off sequence.
TEST_F(CharTest, BinaryTailIsNeverReadPast) {
    Cell bin = B({0x41, 0xC3, 0xA9});
    series::buffer_of(&bin)->tail -= 1;
    bin.w1 = 1;  // the head at the lead byte
    EXPECT_EQ(raised_id([&] { to(TYPE_CHAR, bin); }), "bad-to-arg");
    bin.w1 = 2;  // the head at the tail
    EXPECT_EQ(raised_id([&] { to(TYPE_CHAR, bin); }), "bad-to-arg");
}

TEST_F(CharTest, MoldEscapesFormDoesNot) {
    struct Case {
        uint32_t cp;
        bool all;
        const char* molded;
    };
    const Case cases[] = {
        {'a', false, "#\"a\""},          {'\n', false, "#\"^/\""},     {'\t', false, "#\"^-\""},
        {'"', false, "#\"^\"\""},        {'^', false, "#\"^^\""},      {0, false, "#\"^@\""},
        {0x1B, false, "#\"^[\""},        {0x7F, false, "#\"^~\""},     {0x1E, false, "#\"^(1E)\""},
        {0x85, false, "#\"^(85)\""},     {0xE9, false, "#\"\xC3\xA9\""}, {0xE9, true, "#\"^(E9)\""},
        {0x10FFFF, true, "#\"^(10FFFF)\""},
    };
    for (const Case& c : cases) EXPECT_EQ(mold(C(c.cp), c.all), c.molded) << c.cp;
    EXPECT_EQ(form(C('\n')), "\n");
    EXPECT_EQ(form(C(0x1F600)), "\xF0\x9F\x98\x80");
}

TEST_F(CharTest, CompareAndInheritedActions) {
    Cell a = C('a'), n = I('a'), b = C('b'), s = S("a");
    EXPECT_TRUE(actions::compare(&a, &n, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&a, &n, COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(&a, &b, COMP_LESSER));
    EXPECT_EQ(actions::compare_int(&a, &s, COMP_EQUAL), NOT_COMPARABLE);
    EXPECT_TRUE(actions::odd_q(&a));
    EXPECT_EQ(raised_id([&] { actions::negate(&a); }), "expect-arg");
    Cell scale = I(2);
    EXPECT_EQ(raised_id([&] { round(a, &scale); }), "expect-arg");
}

}  // namespace
}  // namespace zel
