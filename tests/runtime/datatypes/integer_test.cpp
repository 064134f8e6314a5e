// integer!: the kernel's overflow rules, the math errors, conversions, form,
// round with its refinements, power and compare.
#include <limits>
#include "runtime/datatypes/integer.h"
#include "tests/runtime/datatypes/number_test_support.h"

namespace zel {
namespace {

using namespace test;
constexpr int32_t MIN = integer::MIN, MAX = integer::MAX;

class IntegerTest : public RuntimeTest {};

struct MathCase {
    int slot;
    int32_t a, b;
    uint32_t type;  // of the result
    double value;
};

TEST_F(IntegerTest, ArithmeticOverflowsIntoExactFloats) {
    const MathCase cases[] = {
        {ACT_ADD, MAX, 1, TYPE_FLOAT, 2147483648.0},
        {ACT_ADD, MIN, -1, TYPE_FLOAT, -2147483649.0},
        {ACT_ADD, MAX, MAX, TYPE_FLOAT, 4294967294.0},
        {ACT_ADD, -5, 3, TYPE_INTEGER, -2},
        {ACT_SUBTRACT, MIN, 1, TYPE_FLOAT, -2147483649.0},
        {ACT_SUBTRACT, 0, MIN, TYPE_FLOAT, 2147483648.0},
        {ACT_SUBTRACT, -1, MIN, TYPE_INTEGER, MAX},
        {ACT_MULTIPLY, 65536, 65536, TYPE_FLOAT, 4294967296.0},
        {ACT_MULTIPLY, MIN, -1, TYPE_FLOAT, 2147483648.0},
        {ACT_MULTIPLY, MIN, MIN, TYPE_FLOAT, 4611686018427387904.0},
        {ACT_MULTIPLY, 46341, -46340, TYPE_INTEGER, -2147441940},
        {ACT_DIVIDE, 7, 2, TYPE_FLOAT, 3.5},
        {ACT_DIVIDE, -7, 2, TYPE_FLOAT, -3.5},
        {ACT_DIVIDE, 6, 2, TYPE_INTEGER, 3},
        {ACT_DIVIDE, MIN, 1, TYPE_INTEGER, MIN},
        {ACT_DIVIDE, 1, 3, TYPE_FLOAT, 1.0 / 3.0},
        {ACT_REMAINDER, 7, 2, TYPE_INTEGER, 1},
        {ACT_REMAINDER, -7, 2, TYPE_INTEGER, -1},
        {ACT_REMAINDER, 7, -2, TYPE_INTEGER, 1},
        {ACT_OR_T, 12, 3, TYPE_INTEGER, 15},
        {ACT_AND_T, 12, 6, TYPE_INTEGER, 4},
        {ACT_XOR_T, 12, 6, TYPE_INTEGER, 10},
    };
    for (const MathCase& c : cases) {
        Cell r = call(c.slot, I(c.a), I(c.b));
        SCOPED_TRACE(std::string(actions::slot_name(c.slot)) + " " + std::to_string(c.a) + " " + std::to_string(c.b));
        ASSERT_EQ(type_of(r), c.type);
        if (c.type == TYPE_FLOAT) EXPECT_EQ(float_of(r), c.value);
        else EXPECT_EQ(int_of(r), static_cast<int32_t>(c.value));
    }
}

TEST_F(IntegerTest, MathErrors) {
    EXPECT_EQ(raised_id([] { div(I(MIN), I(-1)); }), "overflow");
    EXPECT_EQ(raised_id([] { rem(I(MIN), I(-1)); }), "overflow");
    EXPECT_EQ(raised_id([] { div(I(5), I(0)); }), "zero-divide");
    EXPECT_EQ(raised_id([] { rem(I(0), I(0)); }), "zero-divide");
    EXPECT_EQ(raised_id([] { Cell v = I(MIN); actions::negate(&v); }), "overflow");
    EXPECT_EQ(raised_id([] { call(ACT_ABSOLUTE, I(MIN)); }), "overflow");
    Cell v = I(-MAX);
    EXPECT_EQ(int_of(*actions::negate(&v)), MAX);
    EXPECT_EQ(int_of(call(ACT_ABSOLUTE, I(-7))), 7);
}

TEST_F(IntegerTest, RightOperandTypeDecidesTheKernel) {
    Cell r = add(I(1), P(0.1));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_FLOAT});
    EXPECT_DOUBLE_EQ(float_of(r), 1.1);
    r = mul(I(2), T(10));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_TIME});
    EXPECT_EQ(float_of(r), 20.0);
    EXPECT_EQ(int_of(add(I(1), C('a'))), 98);
    EXPECT_EQ(type_of(add(I(1), C('a'))), uint32_t{TYPE_INTEGER});
    // Hand-overs to types that do not exist yet, and the refusals before them.
    EXPECT_EQ(raised_id([] { add(I(1), Of(TYPE_PAIR)); }), "not-done");
    EXPECT_EQ(raised_id([] { sub(I(1), Of(TYPE_PAIR)); }), "not-done");
    EXPECT_EQ(raised_id([] { div(I(1), Of(TYPE_PAIR)); }), "not-related");
    EXPECT_EQ(raised_id([] { sub(I(1), Of(TYPE_TUPLE)); }), "not-related");
    EXPECT_EQ(raised_id([] { add(I(1), Of(TYPE_MONEY)); }), "not-done");
    EXPECT_EQ(raised_id([] { add(I(1), Of(TYPE_DATE)); }), "not-done");
    EXPECT_EQ(raised_id([] { mul(I(1), Of(TYPE_DATE)); }), "not-related");
    EXPECT_EQ(raised_id([] { add(I(1), S("1")); }), "invalid-type");
    EXPECT_EQ(raised_id([] { add(I(1), L(true)); }), "invalid-type");
}

TEST_F(IntegerTest, FormAndMold) {
    for (int32_t v : {0, 7, -7, MAX, MIN}) {
        EXPECT_EQ(form(I(v)), std::to_string(v));
        EXPECT_EQ(mold(I(v)), std::to_string(v));
    }
}

TEST_F(IntegerTest, ToInteger) {
    struct Case {
        Cell spec;
        int32_t want;
    };
    const Case cases[] = {
        {F(2.9), 2}, {F(-2.9), -2}, {F(2147483647.9), MAX}, {F(-2147483648.9), MIN}, {P(0.5), 0},
        {T(1.5), 2}, {T(-1.7), -1}, {C(0x10FFFF), 0x10FFFF}, {I(-3), -3},
        {B({0x01, 0x02}), 258}, {B({0xFF, 0xFF, 0xFF, 0xFE, 0x55}), -2}, {B({}), 0},
        {S("1'000"), 1000}, {S("-2147483648"), MIN}, {S("+12"), 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(mold(c.spec));
        Cell r = to(TYPE_INTEGER, c.spec);
        EXPECT_EQ(type_of(r), uint32_t{TYPE_INTEGER});
        EXPECT_EQ(int_of(r), c.want);
    }
    EXPECT_EQ(int_of(make(TYPE_INTEGER, L(true))), 1);
    EXPECT_EQ(int_of(make(TYPE_INTEGER, L(false))), 0);
    EXPECT_EQ(int_of(make(TYPE_INTEGER, S("42"))), 42);
}

TEST_F(IntegerTest, ToIntegerRefusals) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        Cell spec;
        const char* id;
    };
    const Case cases[] = {
        {F(3e9), "type-limit"}, {F(-2147483649.0), "type-limit"}, {F(nan), "type-limit"},
        {F(std::numeric_limits<double>::infinity()), "type-limit"}, {P(1e10), "type-limit"},
        {T(2147483647.5), "type-limit"}, {S("99999999999"), "type-limit"}, {S("12a"), "bad-to-arg"},
        {S(""), "bad-to-arg"}, {S("-"), "bad-to-arg"}, {S("1.5"), "bad-to-arg"}, {L(true), "bad-to-arg"},
        {Blk({}), "bad-to-arg"}, {Of(TYPE_MONEY), "not-done"}, {Of(TYPE_DATE), "not-done"},
    };
    for (const Case& c : cases) {
        Cell spec = c.spec;
        EXPECT_EQ(raised_id([&] { to(TYPE_INTEGER, spec); }), c.id) << mold(spec);
    }
}

struct RoundCase {
    int32_t value, scale;
    Round mode;
    int32_t want;  // ignored when `error` is set
    const char* error;
};

TEST_F(IntegerTest, RoundTo) {
    const RoundCase cases[] = {
        {15, 10, {}, 20, nullptr},
        {25, 10, {}, 30, nullptr},
        {-25, 10, {}, -30, nullptr},
        {24, 10, {}, 20, nullptr},
        {25, 10, {.even = true}, 20, nullptr},
        {35, 10, {.even = true}, 40, nullptr},
        {25, 10, {.half_down = true}, 20, nullptr},
        {-25, 10, {.half_ceiling = true}, -20, nullptr},
        {25, 10, {.half_ceiling = true}, 30, nullptr},
        {-17, 10, {.down = true}, -10, nullptr},
        {-11, 10, {.floor = true}, -20, nullptr},
        {11, 10, {.floor = true}, 10, nullptr},
        {-19, 10, {.ceiling = true}, -10, nullptr},
        {11, -10, {.ceiling = true}, 20, nullptr},
        {7, 0, {}, 7, nullptr},
        {40, 10, {}, 40, nullptr},
        // The negative end: only a result outside 32 bits overflows.
        {MIN, 1, {}, MIN, nullptr},
        {MIN, 10, {.down = true}, -2147483640, nullptr},
        {MIN, 10, {}, 0, "overflow"},
        {-2147483647, 2, {}, MIN, nullptr},
        {-2147483647, 2, {.ceiling = true}, -2147483646, nullptr},
        {-2147483647, 10, {.down = true}, -2147483640, nullptr},
        {-2147483647, 10, {.half_down = true}, 0, "overflow"},
        {MAX, 2, {}, 0, "overflow"},
        {MAX, 2, {.down = true}, 2147483646, nullptr},
        {5, MIN, {}, 0, nullptr},
        {MIN, MIN, {}, MIN, nullptr},
    };
    for (const RoundCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " to " + std::to_string(c.scale));
        Cell scale = I(c.scale);
        if (c.error) {
            EXPECT_EQ(raised_id([&] { round(I(c.value), &scale, c.mode); }), c.error);
            continue;
        }
        Cell r = round(I(c.value), &scale, c.mode);
        EXPECT_EQ(type_of(r), uint32_t{TYPE_INTEGER});
        EXPECT_EQ(int_of(r), c.want);
    }
}

TEST_F(IntegerTest, RoundOtherScales) {
    EXPECT_EQ(int_of(round(I(MIN))), MIN);  // without /to: unchanged
    Cell half = F(0.5), two = F(2.0), money = Of(TYPE_MONEY), pair = Of(TYPE_PAIR);
    Cell r = round(I(7), &two);
    EXPECT_EQ(type_of(r), uint32_t{TYPE_FLOAT});
    EXPECT_EQ(float_of(r), 8.0);
    EXPECT_EQ(float_of(round(I(7), &half)), 7.0);
    EXPECT_EQ(raised_id([&] { round(I(7), &money); }), "not-related");
    EXPECT_EQ(raised_id([&] { round(I(7), &pair); }), "not-related");
}

TEST_F(IntegerTest, PowerBySquaring) {
    struct Case {
        int32_t base;
        Cell exponent;
        uint32_t type;
        double want;
    };
    const Case cases[] = {
        {2, I(30), TYPE_INTEGER, 1073741824}, {2, I(31), TYPE_FLOAT, 2147483648.0},
        {-2, I(31), TYPE_INTEGER, MIN},       {-2, I(32), TYPE_FLOAT, 4294967296.0},
        {3, I(19), TYPE_INTEGER, 1162261467}, {3, I(20), TYPE_FLOAT, 3486784401.0},
        {0, I(0), TYPE_INTEGER, 1},           {7, I(1), TYPE_INTEGER, 7},
        {-1, I(MAX), TYPE_INTEGER, -1},       {46341, I(2), TYPE_FLOAT, 2147488281.0},
        {2, I(-1), TYPE_FLOAT, 0.5},          {4, F(0.5), TYPE_FLOAT, 2.0},
    };
    for (const Case& c : cases) {
        Cell r = call(ACT_POWER, I(c.base), c.exponent);
        SCOPED_TRACE(std::to_string(c.base) + " ** " + mold(c.exponent));
        ASSERT_EQ(type_of(r), c.type);
        if (c.type == TYPE_FLOAT) EXPECT_EQ(float_of(r), c.want);
        else EXPECT_EQ(int_of(r), static_cast<int32_t>(c.want));
    }
    EXPECT_EQ(raised_id([] { call(ACT_POWER, I(2), P(0.5)); }), "expect-arg");
}

TEST_F(IntegerTest, CompareAcrossTypes) {
    Cell one = I(1), f1 = F(1.0), c1 = C(1), s = S("1"), two = I(2);
    EXPECT_EQ(actions::compare_int(&one, &f1, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_int(&one, &f1, COMP_STRICT_EQUAL), 1);
    EXPECT_EQ(actions::compare_int(&one, &c1, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_int(&one, &c1, COMP_SAME), 1);
    EXPECT_EQ(actions::compare_int(&one, &two, COMP_LESSER), -1);
    EXPECT_TRUE(actions::compare(&two, &one, COMP_GREATER));
    EXPECT_EQ(actions::compare_int(&one, &s, COMP_EQUAL), NOT_COMPARABLE);
    EXPECT_EQ(raised_id([&] { actions::compare(&one, &s, COMP_LESSER); }), "invalid-compare");
    Cell min = I(MIN), max = I(MAX);
    EXPECT_TRUE(actions::compare(&min, &max, COMP_LESSER));
}

TEST_F(IntegerTest, SmallActions) {
    Cell v = I(5);
    EXPECT_EQ(int_of(*actions::complement(&v)), ~5);
    Cell e = I(-4), o = I(MIN + 1);
    EXPECT_TRUE(actions::even_q(&e));
    EXPECT_TRUE(actions::odd_q(&o));
    Cell zero = I(0);
    EXPECT_EQ(int_of(*actions::random(&zero, false, false, false)), 0);
    for (int i = 0; i < 200; ++i) {
        Cell n = I(-6);
        int32_t r = int_of(*actions::random(&n, false, false, false));
        EXPECT_TRUE(r >= -6 && r <= -1) << r;
    }
    Cell seed = I(9);
    EXPECT_EQ(type_of(*actions::random(&seed, true, false, false)), uint32_t{TYPE_UNSET});
}

}  // namespace
}  // namespace zel
