// float!: the text forms, the arithmetic kernel and its result types, the
// tolerant comparison, rounding with its refinements, make and to, and the
// small actions.
#include <cmath>
#include <bit>
#include <cstdio>
#include <limits>
#include <random>
#include "runtime/datatypes/float.h"
#include "tests/runtime/datatypes/number_test_support.h"

namespace zel {
namespace {

using namespace test;
const double INF = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

class FloatTest : public RuntimeTest {
protected:
    void TearDown() override {
        float_::pretty_print_q = true;
        RuntimeTest::TearDown();
    }
};

TEST_F(FloatTest, FormTidiesMoldKeepsEveryDigit) {
    struct Case {
        double value;
        const char* formed;
        const char* molded;
    };
    const Case cases[] = {
        {1.0, "1.0", "1.0"},
        {-2.5, "-2.5", "-2.5"},
        {100.0, "100.0", "100.0"},
        {1e20, "1.0e20", "1.0e20"},
        {1e16, "1.0e16", "10000000000000000.0"},
        {1.5e-7, "1.5e-7", "0.00000015"},
        {1.5e-17, "0.0", "1.5e-17"},
        {1e-17, "0.0", "1.0e-17"},
        {0.1 + 0.2, "0.3", "0.30000000000000004"},
        {434.99999999999994, "435.0", "434.99999999999994"},
        {0.7999999999999999, "0.8", "0.7999999999999999"},
        {1.0 / 3.0, "0.3333333333333333", "0.3333333333333333"},
        {123456789012345680000.0, "1.234567890123457e20", "1.2345678901234568e20"},
        {5e-324, "0.0", "5.0e-324"},
        {-0.0, "0.0", "-0.0"},
        {INF, "1.#INF", "1.#INF"},
        {-INF, "-1.#INF", "-1.#INF"},
        {NaN, "1.#NaN", "1.#NaN"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(form(F(c.value)), c.formed);
        EXPECT_EQ(mold(F(c.value)), c.molded);
    }
    float_::pretty_print_q = false;
    EXPECT_EQ(form(F(-0.0)), "-0.0");
    EXPECT_EQ(form(F(1e-17)), "1.0e-17");
    EXPECT_EQ(form(F(434.99999999999994)), "434.9999999999999");
    EXPECT_EQ(form(F(5e-324)), "4.940656458412465e-324");
}

TEST_F(FloatTest, FormBufferKinds) {
    EXPECT_STREQ(float_::form_buffer(12.5, float_::FORM_PERCENT), "12.5%");
    EXPECT_STREQ(float_::form_buffer(1e-20, float_::FORM_PERCENT), "0%");
    EXPECT_STREQ(float_::form_buffer(0.1f, float_::FORM_FLOAT32), "0.1");
    EXPECT_STREQ(float_::form_buffer(2.0, float_::FORM_POINT), "2");
    EXPECT_STREQ(float_::form_buffer(1e-20, float_::FORM_POINT), "0");
    EXPECT_STREQ(float_::form_buffer(30.0, float_::FORM_SECONDS), "30");
    EXPECT_STREQ(float_::form_buffer(12.3456789, float_::FORM_SECONDS), "12.3457");
}

// The form's digits come from our own correctly rounded conversion; the C
// library's printf is the reference for the "%.<n>g" text they stand for.
TEST_F(FloatTest, FormatGMatchesPrintf) {
    std::mt19937_64 rng(20240611);
    char want[64];
    for (int i = 0; i < 200000; ++i) {
        double d = std::bit_cast<double>(rng());
        if (i % 4 == 1) d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 60);
        if (i % 4 == 2) d = static_cast<double>(static_cast<int64_t>(rng() % 2000001) - 1000000) / 8.0;
        if (!std::isfinite(d)) continue;
        for (int precision : {5, 7, 13, 14, 16}) {
            std::snprintf(want, sizeof want, "%.*g", precision, d);
            ASSERT_STREQ(float_::format_g(d, precision), want) << precision;
        }
    }
    for (double d : {0.0, -0.0, 1e-5, 9.9999999999999995e-5, 1e16, 9999999999999998.0, 5e-324}) {
        std::snprintf(want, sizeof want, "%.16g", d);
        EXPECT_STREQ(float_::format_g(d, 16), want);
    }
}

struct MathCase {
    int slot;
    Cell left, right;
    uint32_t type;
    double want;
};

TEST_F(FloatTest, ArithmeticResultTypes) {
    const MathCase cases[] = {
        {ACT_ADD, P(0.1), I(1), TYPE_PERCENT, 1.1},
        {ACT_ADD, F(1.0), P(0.1), TYPE_FLOAT, 1.1},
        {ACT_MULTIPLY, P(0.1), P(0.1), TYPE_PERCENT, 0.01},
        {ACT_ADD, T(10), F(1.5), TYPE_TIME, 11.5},
        {ACT_MULTIPLY, P(0.1), T(3600), TYPE_TIME, 360},
        {ACT_ADD, T(10), T(20), TYPE_TIME, 30},
        {ACT_ADD, F(1.5), C('a'), TYPE_FLOAT, 98.5},
        {ACT_SUBTRACT, F(1.5), I(2), TYPE_FLOAT, -0.5},
        {ACT_DIVIDE, F(1.0), F(0.0), TYPE_FLOAT, INF},
        {ACT_DIVIDE, F(-1.0), F(0.0), TYPE_FLOAT, -INF},
        {ACT_REMAINDER, F(5.5), F(2.0), TYPE_FLOAT, 1.5},
        {ACT_REMAINDER, F(-5.5), F(2.0), TYPE_FLOAT, -1.5},
        {ACT_REMAINDER, F(5.0), F(INF), TYPE_FLOAT, 5.0},
    };
    for (const MathCase& c : cases) {
        Cell r = call(c.slot, c.left, c.right);
        SCOPED_TRACE(mold(c.left) + " " + actions::slot_name(c.slot) + " " + mold(c.right));
        EXPECT_EQ(type_of(r), c.type);
        EXPECT_DOUBLE_EQ(float_of(r), c.want);
    }
    EXPECT_TRUE(std::isnan(float_of(rem(F(INF), F(2.0)))));
    EXPECT_TRUE(std::isnan(float_of(rem(F(1.0), F(NaN)))));
    EXPECT_TRUE(std::isnan(float_of(div(F(0.0), F(0.0)))));
    EXPECT_EQ(raised_id([] { add(P(0.1), C('a')); }), "invalid-type");
    EXPECT_EQ(raised_id([] { add(T(1), C('a')); }), "invalid-type");
    EXPECT_EQ(raised_id([] { add(F(1), S("1")); }), "invalid-type");
    EXPECT_EQ(raised_id([] { sub(F(1.5), Of(TYPE_PAIR)); }), "not-related");
    EXPECT_EQ(raised_id([] { div(F(1.5), Of(TYPE_POINT2D)); }), "not-related");
    EXPECT_EQ(raised_id([] { add(F(1.5), Of(TYPE_PAIR)); }), "not-done");
    EXPECT_EQ(raised_id([] { add(T(1.5), Of(TYPE_PAIR)); }), "invalid-type");
    EXPECT_EQ(raised_id([] { mul(F(1.5), Of(TYPE_MONEY)); }), "not-done");
    EXPECT_EQ(raised_id([] { float_::do_math_op(1.0, 2.0, OP_AND); }), "cannot-use");
}

TEST_F(FloatTest, TolerantEquality) {
    double one = 1.0, up = 1.0;
    for (int i = 0; i < 10; ++i) up = std::nextafter(up, 2.0);
    EXPECT_TRUE(float_::almost_equal(one, up));
    EXPECT_FALSE(float_::almost_equal(one, std::nextafter(up, 2.0)));
    EXPECT_TRUE(float_::almost_equal(1e-300, -1e-300));
    EXPECT_TRUE(float_::almost_equal(0.0, -0.0));
    EXPECT_FALSE(float_::almost_equal(NaN, NaN));
    EXPECT_FALSE(float_::almost_equal(INF, -INF));
    EXPECT_TRUE(float_::almost_equal(INF, INF));
    double big = 1e300, near_big = big;
    for (int i = 0; i < 10; ++i) near_big = std::nextafter(near_big, INF);
    EXPECT_TRUE(float_::almost_equal(big, near_big));
    EXPECT_FALSE(float_::almost_equal(big, std::nextafter(near_big, INF)));

    float f = 1.0f, f10 = f;
    for (int i = 0; i < 10; ++i) f10 = std::nextafter(f10, 2.0f);
    EXPECT_TRUE(float_::almost_equal32(f, f10));
    EXPECT_FALSE(float_::almost_equal32(f, std::nextafter(f10, 2.0f)));
    EXPECT_TRUE(float_::almost_equal32(-1.0f, std::nextafter(-1.0f, -2.0f)));
    EXPECT_TRUE(float_::almost_equal32(0.0f, -0.0f));
    EXPECT_FALSE(float_::almost_equal32(std::numeric_limits<float>::quiet_NaN(), 1.0f));
    EXPECT_TRUE(float_::almost_equal32(3.4028235e38f, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(float_::almost_equal32(-3.4028235e38f, std::numeric_limits<float>::infinity()));
}

TEST_F(FloatTest, Compare) {
    Cell sum = F(0.1 + 0.2), third = F(0.3), zero = F(0.0), neg_zero = F(-0.0), nan = F(NaN), one = F(1.0);
    Cell i1 = I(1), s = S("1"), money = Of(TYPE_MONEY);
    EXPECT_TRUE(actions::compare(&sum, &third, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&sum, &third, COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(&zero, &neg_zero, COMP_SAME));
    EXPECT_TRUE(actions::compare(&zero, &neg_zero, COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(&nan, &nan, COMP_EQUAL));
    EXPECT_TRUE(actions::compare(&nan, &nan, COMP_NOT_EQUAL));
    for (int op : {COMP_LESSER, COMP_LESSER_EQUAL, COMP_GREATER, COMP_GREATER_EQUAL}) {
        EXPECT_FALSE(actions::compare(&nan, &one, op)) << op;
        EXPECT_FALSE(actions::compare(&one, &nan, op)) << op;
        EXPECT_FALSE(actions::compare(&nan, &nan, op)) << op;
    }
    EXPECT_TRUE(actions::compare(&one, &i1, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&one, &i1, COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(&zero, &one, COMP_LESSER));
    EXPECT_EQ(actions::compare_int(&one, &s, COMP_EQUAL), NOT_COMPARABLE);
    EXPECT_EQ(raised_id([&] { actions::compare(&one, &money, COMP_EQUAL); }), "not-done");
    Cell tiny = F(1e-6), huge = F(1e17);
    EXPECT_EQ(actions::compare_int(&tiny, &money, COMP_EQUAL), -1);
    EXPECT_EQ(actions::compare_int(&huge, &money, COMP_EQUAL), 1);
}

struct RoundCase {
    double value;
    Cell scale;  // unset!: no /to
    Round mode;
    uint32_t type;
    double want;
};

TEST_F(FloatTest, RoundWithRefinements) {
    const Cell none = Of(TYPE_UNSET);
    const RoundCase cases[] = {
        {2.5, none, {}, TYPE_FLOAT, 3.0},
        {-2.5, none, {}, TYPE_FLOAT, -3.0},
        {2.4999999999999996, none, {}, TYPE_FLOAT, 2.0},
        {2.5, none, {.even = true}, TYPE_FLOAT, 2.0},
        {3.5, none, {.even = true}, TYPE_FLOAT, 4.0},
        {2.5, none, {.half_down = true}, TYPE_FLOAT, 2.0},
        {-2.5, none, {.half_ceiling = true}, TYPE_FLOAT, -2.0},
        {2.5, none, {.half_ceiling = true}, TYPE_FLOAT, 3.0},
        {-2.7, none, {.down = true}, TYPE_FLOAT, -2.0},
        {-2.2, none, {.floor = true}, TYPE_FLOAT, -3.0},
        {-2.7, none, {.ceiling = true}, TYPE_FLOAT, -2.0},
        {-2.2, none, {.down = true, .floor = true}, TYPE_FLOAT, -2.0},
        {1234.5, I(100), {}, TYPE_INTEGER, 1200},
        {1234.5, I(-100), {.ceiling = true}, TYPE_INTEGER, 1300},
        {0.123456, F(0.001), {}, TYPE_FLOAT, 0.123},
        {1.26, F(0.1), {}, TYPE_FLOAT, 1.3},
        {1.5, P(0.1), {}, TYPE_PERCENT, 1.5},
        {1.26, T(1), {}, TYPE_TIME, 1.0},
        {2.5, F(0.0), {}, TYPE_FLOAT, 2.5},
        {0.0, I(0), {}, TYPE_INTEGER, 0},
        {5e-309, F(1e-309), {}, TYPE_FLOAT, 5e-309},
        {7.4e-309, F(2e-309), {.floor = true}, TYPE_FLOAT, 6e-309},
        {1e300, F(1.0), {}, TYPE_FLOAT, 1e300},
    };
    for (const RoundCase& c : cases) {
        SCOPED_TRACE(mold(F(c.value)) + " to " + mold(c.scale));
        bool to = type_of(c.scale) != TYPE_UNSET;
        Cell r = round(F(c.value), to ? &c.scale : nullptr, c.mode);
        ASSERT_EQ(type_of(r), c.type);
        if (c.type == TYPE_INTEGER) EXPECT_EQ(int_of(r), static_cast<int32_t>(c.want));
        else EXPECT_DOUBLE_EQ(float_of(r), c.want);
    }
    Cell one = I(1), money = Of(TYPE_MONEY), pair = Of(TYPE_PAIR);
    EXPECT_EQ(raised_id([&] { round(F(1e20), &one); }), "overflow");
    EXPECT_EQ(raised_id([&] { round(F(NaN), &one); }), "overflow");
    EXPECT_EQ(raised_id([&] { round(F(1.5), &money); }), "not-related");
    EXPECT_EQ(raised_id([&] { round(F(1.5), &pair); }), "not-related");
    EXPECT_TRUE(std::isnan(float_of(round(F(NaN)))));
    EXPECT_EQ(float_of(round(F(INF))), INF);
}

TEST_F(FloatTest, MakeAndTo) {
    struct Case {
        uint32_t type;
        Cell spec;
        double want;
    };
    const Case cases[] = {
        {TYPE_FLOAT, I(-3), -3.0},
        {TYPE_FLOAT, C('a'), 97.0},
        {TYPE_FLOAT, T(3600), 3600.0},
        {TYPE_FLOAT, P(0.5), 0.5},
        {TYPE_FLOAT, Blk({I(1), I(3)}), 1000.0},
        {TYPE_FLOAT, Blk({F(2.5), I(-1)}), 0.25},
        {TYPE_FLOAT, Blk({I(1), F(2.9)}, TYPE_PAREN), 100.0},
        {TYPE_FLOAT, Blk({I(1), F(1e10)}), INF},
        {TYPE_FLOAT, B({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}), 1.0},
        {TYPE_FLOAT, B({0x01}), 5e-324},
        {TYPE_FLOAT, S("1,5"), 1.5},
        {TYPE_FLOAT, S("-1'000.5e-1"), -100.05},
        {TYPE_PERCENT, P(0.1), 0.1},
        {TYPE_PERCENT, F(0.25), 0.25},
        {TYPE_PERCENT, I(2), 2.0},
        {TYPE_PERCENT, S("10%"), 0.1},
        {TYPE_PERCENT, S("5"), 5.0},
        {TYPE_PERCENT, S(" 12.5% "), 0.125},
        {TYPE_PERCENT, S("1.5"), 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(mold(c.spec));
        for (Cell r : {make(c.type, c.spec), to(c.type, c.spec)}) {
            EXPECT_EQ(type_of(r), c.type);
            EXPECT_DOUBLE_EQ(float_of(r), c.want);
        }
    }
    struct Bad {
        uint32_t type;
        Cell spec;
        const char* id;
    };
    const Bad bad[] = {
        {TYPE_FLOAT, Blk({I(1), I(2), I(3)}), "bad-to-arg"}, {TYPE_FLOAT, Blk({I(1), S("2")}), "bad-to-arg"},
        {TYPE_FLOAT, Blk({I(1), F(NaN)}), "bad-to-arg"},     {TYPE_FLOAT, S(""), "bad-to-arg"},
        {TYPE_FLOAT, S("abc"), "bad-to-arg"},                {TYPE_FLOAT, S("10%"), "bad-to-arg"},
        {TYPE_FLOAT, L(true), "bad-to-arg"},                 {TYPE_PERCENT, S("%"), "bad-to-arg"},
        {TYPE_PERCENT, S("abc"), "bad-to-arg"},
        {TYPE_PERCENT, S("ten%"), "invalid"},  // the loader's own syntax error             {TYPE_FLOAT, Of(TYPE_MONEY), "not-done"},
    };
    for (const Bad& b : bad) {
        Cell spec = b.spec;
        EXPECT_EQ(raised_id([&] { make(b.type, spec); }), b.id) << mold(spec);
    }
}

TEST_F(FloatTest, SmallActions) {
    Cell z = F(-0.0);
    EXPECT_FALSE(std::signbit(float_of(*actions::negate(&z))));
    Cell p = F(0.0);
    EXPECT_FALSE(std::signbit(float_of(*actions::negate(&p))));
    Cell v = P(0.25);
    Cell n = *actions::negate(&v);
    EXPECT_EQ(type_of(n), uint32_t{TYPE_PERCENT});
    EXPECT_EQ(float_of(n), -0.25);
    EXPECT_EQ(float_of(call(ACT_ABSOLUTE, F(-2.5))), 2.5);
    for (auto [d, even] : {std::pair{2.9, true}, {-3.5, false}, {1e20, true}, {NaN, true}, {-2147483648.5, true}}) {
        Cell c = F(d);
        EXPECT_EQ(actions::even_q(&c), even) << d;
        EXPECT_EQ(actions::odd_q(&c), !even) << d;
    }
    Cell r = call(ACT_POWER, P(0.5), I(2));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_PERCENT});
    EXPECT_EQ(float_of(r), 0.25);
    EXPECT_EQ(float_of(call(ACT_POWER, F(2.0), F(0.5))), std::sqrt(2.0));
    EXPECT_EQ(raised_id([] { call(ACT_POWER, F(2.0), S("2")); }), "expect-arg");
    for (int i = 0; i < 100; ++i) {
        Cell b = F(10.0);
        double x = float_of(*actions::random(&b, false, false, false));
        EXPECT_TRUE(x >= 0.0 && x <= 10.0) << x;
    }
    Cell seed = F(1.5);
    EXPECT_EQ(type_of(*actions::random(&seed, true, false, false)), uint32_t{TYPE_UNSET});
}

}  // namespace
}  // namespace zel
