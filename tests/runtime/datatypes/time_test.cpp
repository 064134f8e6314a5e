// percent! and time!: forms, arithmetic, rounding, make, and the time
// fields read and written by path and pick, negative times included.
#include <bit>
#include <cmath>
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/percent.h"
#include "runtime/datatypes/time.h"
#include "tests/runtime/datatypes/number_test_support.h"

namespace zel {
namespace {

using namespace test;

class PercentTest : public RuntimeTest {};
class TimeTest : public RuntimeTest {};

TEST_F(PercentTest, FormAndMold) {
    struct Case {
        double fraction;
        const char* text;
    };
    const Case cases[] = {
        {0.125, "12.5%"}, {0.0, "0%"}, {1.0, "100%"}, {1e-20, "0%"}, {-0.5, "-50%"}, {0.1 + 0.2, "30%"},
        {1e20, "1e22%"}, {0.0123456789012345, "1.234567890123%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(form(P(c.fraction)), c.text);
        EXPECT_EQ(mold(P(c.fraction)), c.text);
    }
}

TEST_F(PercentTest, ArithmeticAndRound) {
    Cell r = add(P(0.1), I(1));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_PERCENT});
    EXPECT_EQ(form(r), "110%");
    EXPECT_EQ(form(mul(P(0.1), P(0.1))), "1%");
    EXPECT_EQ(type_of(add(I(1), P(0.1))), uint32_t{TYPE_FLOAT});
    EXPECT_EQ(form(round(P(0.125))), "13%");
    Cell tenth = F(0.1), one = I(1), hundredth = P(0.01);
    r = round(P(0.12345), &tenth);
    EXPECT_EQ(type_of(r), uint32_t{TYPE_PERCENT});
    EXPECT_EQ(form(r), "12.3%");
    r = round(P(0.12345), &one);
    EXPECT_EQ(type_of(r), uint32_t{TYPE_PERCENT});
    EXPECT_EQ(form(r), "12%");
    EXPECT_EQ(form(round(P(0.12344), &hundredth)), "12.34%");
}

TEST_F(TimeTest, Form) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {5400, "1:30:00"},           {5.5, "0:00:05.5"},      {-5400, "-1:30:00"},
        {360000, "100:00:00"},       {3723.25, "1:02:03.25"}, {12.3456789, "0:00:12.3457"},
        {0.25, "0:00:00.25"},        {-0.0, "0:00:00"},       {59.0, "0:00:59"},
        {3.6e9, "1000000:00:00"},    {1e-7, "0:00:00"},       {-5415.5, "-1:30:15.5"},
        {INFINITY, "1.#INF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(form(T(c.seconds)), c.text);
        EXPECT_EQ(mold(T(c.seconds)), c.text);
    }
}

// Reads field f of t by path.
Cell get_field(Cell t, Cell element) {
    return *actions::eval_path(&t, &element, nullptr, nullptr, nullptr, nullptr, -1, false, true, false, false);
}
// Writes field f of t by path and returns the changed time.
Cell set_field(Cell t, Cell element, Cell value) {
    actions::eval_path(&t, &element, &value, nullptr, nullptr, nullptr, -1, false, false, false, false);
    return t;
}

TEST_F(TimeTest, FieldsRead) {
    Cell t = T(5415.5);
    EXPECT_EQ(int_of(get_field(t, I(1))), 1);
    EXPECT_EQ(int_of(get_field(t, I(2))), 30);
    EXPECT_EQ(float_of(get_field(t, I(3))), 15.5);
    Cell n = T(-5415);
    EXPECT_EQ(int_of(get_field(n, I(1))), -1);
    EXPECT_EQ(int_of(get_field(n, I(2))), 30);
    EXPECT_EQ(float_of(get_field(n, I(3))), -15.0);
    EXPECT_EQ(type_of(*actions::pick(&t, 3, &(n = I(3)))), uint32_t{TYPE_FLOAT});
    Cell four = I(4);
    EXPECT_EQ(raised_id([&] { actions::pick(&t, 4, &four); }), "out-of-range");
    EXPECT_EQ(raised_id([&] { get_field(t, I(4)); }), "invalid-path");
    EXPECT_EQ(raised_id([&] { get_field(t, I(0)); }), "invalid-path");
    EXPECT_EQ(raised_id([&] { get_field(t, S("hour")); }), "invalid-path");
    EXPECT_EQ(raised_id([&] { get_field(T(1e20), I(1)); }), "overflow");
}

TEST_F(TimeTest, FieldsWrite) {
    Cell t = T(5400);
    EXPECT_EQ(form(set_field(t, I(2), I(45))), "1:45:00");
    EXPECT_EQ(form(set_field(t, I(1), I(3))), "3:30:00");
    EXPECT_EQ(form(set_field(t, I(3), F(1.5))), "1:30:01.5");
    EXPECT_EQ(form(set_field(t, I(3), I(7))), "1:30:07");
    EXPECT_EQ(form(set_field(T(-5400), I(2), I(45))), "-1:45:00");
    EXPECT_EQ(form(set_field(T(-5400), I(1), I(-2))), "-2:30:00");
    EXPECT_EQ(raised_id([&] { set_field(t, I(2), F(1.5)); }), "invalid-arg");
    EXPECT_EQ(raised_id([&] { set_field(t, I(1), S("1")); }), "invalid-arg");
    Cell field = I(2), v = I(5);
    Cell* r = actions::eval_path(&t, &field, &v, nullptr, nullptr, nullptr, -1, false, false, false, false);
    EXPECT_EQ(r, &v);  // a write answers the value written
}

// Writing back any field just read leaves the time as it was.
TEST_F(TimeTest, FieldRoundTripKeepsTheTime) {
    for (double s : {-5400.0, -5415.5, -1800.0, -15.0, -0.5, -3600.0, -86399.75, 0.0, 59.5, 5415.5, 360000.0}) {
        for (int f = 1; f <= 3; ++f) {
            Cell t = T(s);
            Cell back = set_field(t, I(f), get_field(t, I(f)));
            EXPECT_EQ(float_of(back), s) << s << " field " << f;
            EXPECT_EQ(type_of(back), uint32_t{TYPE_TIME});
        }
    }
}

TEST_F(TimeTest, Arithmetic) {
    Cell r = mul(T(3600), I(2));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_TIME});
    EXPECT_EQ(form(r), "2:00:00");
    EXPECT_EQ(raised_id([] { mul(T(3600), T(3600)); }), "not-related");
    r = div(T(3600), T(1800));
    EXPECT_EQ(type_of(r), uint32_t{TYPE_FLOAT});
    EXPECT_EQ(float_of(r), 2.0);
    EXPECT_EQ(type_of(div(T(3600), I(2))), uint32_t{TYPE_TIME});
    EXPECT_EQ(form(add(T(3600), F(1.5))), "1:00:01.5");
    EXPECT_EQ(form(mul(P(0.1), T(3600))), "0:06:00");
    EXPECT_EQ(form(mul(I(2), T(10))), "0:00:20");
    EXPECT_EQ(form(sub(T(60), T(90))), "-0:00:30");
    EXPECT_EQ(form(rem(T(3700), T(3600))), "0:01:40");
    EXPECT_EQ(raised_id([] { sub(T(1), Of(TYPE_DATE)); }), "not-related");
    EXPECT_EQ(raised_id([] { add(T(1), Of(TYPE_DATE)); }), "not-done");
    Cell v = T(-60);
    EXPECT_EQ(form(*actions::negate(&v)), "0:01:00");
    EXPECT_EQ(raised_id([] { call(ACT_POWER, T(60), I(2)); }), "expect-arg");
}

TEST_F(TimeTest, RoundEvenOdd) {
    Cell minute = I(60), tenth = F(0.1), money = Of(TYPE_MONEY);
    Cell r = round(T(5445), &minute);
    EXPECT_EQ(type_of(r), uint32_t{TYPE_TIME});
    EXPECT_EQ(form(r), "1:31:00");
    EXPECT_EQ(form(round(T(1.5))), "0:00:02");
    EXPECT_EQ(form(round(T(1.26), &tenth)), "0:00:01.3");
    EXPECT_EQ(float_of(round(T(1e12 + 29), &minute)), 1e12 + 20);  // far beyond 32 bits: no overflow
    EXPECT_EQ(raised_id([&] { round(T(1), &money); }), "not-related");
    struct Case {
        double seconds;
        bool odd;
    };
    for (const Case& c : {Case{2, false}, Case{61, true}, Case{2.9999999, true}, Case{-3, true}, Case{-4.5, false},
                          Case{NAN, false}}) {
        Cell t = T(c.seconds);
        EXPECT_EQ(actions::odd_q(&t), c.odd) << c.seconds;
        EXPECT_EQ(actions::even_q(&t), !c.odd) << c.seconds;
    }
}

TEST_F(TimeTest, Make) {
    struct Case {
        Cell spec;
        double seconds;
    };
    const Case cases[] = {
        {Blk({I(1), I(30)}), 5400}, {Blk({I(-1), I(30)}), -5400}, {Blk({}), 0}, {Blk({I(1), I(2), F(3.5)}), 3723.5},
        {Blk({I(0), I(0), I(5)}, TYPE_PAREN), 5}, {T(5400), 5400}, {I(90), 90}, {F(1.5), 1.5}, {P(0.5), 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(mold(c.spec));
        for (Cell r : {make(TYPE_TIME, c.spec), to(TYPE_TIME, c.spec)}) {
            EXPECT_EQ(type_of(r), uint32_t{TYPE_TIME});
            EXPECT_EQ(float_of(r), c.seconds);
        }
    }
    const Cell bad[] = {Blk({I(1), I(2), I(3), I(4)}), Blk({I(1), I(-2)}), Blk({F(1.5)}), Blk({I(1), I(2), I(-3)}),
                        Blk({I(1), S("2")}), L(true)};
    for (const Cell& b : bad) {
        Cell spec = b;
        EXPECT_EQ(raised_id([&] { make(TYPE_TIME, spec); }), "bad-to-arg") << mold(spec);
    }
    EXPECT_EQ(float_of(make(TYPE_TIME, S("1:30"))), 5400.0);
    EXPECT_EQ(float_of(to(TYPE_TIME, S("-0:00:05.5"))), -5.5);
    EXPECT_EQ(raised_id([] { make(TYPE_TIME, S("90")); }), "bad-to-arg");
    EXPECT_EQ(raised_id([] { make(TYPE_TIME, S("")); }), "bad-to-arg");
}

// The constructors the binary decoders use: values appended at a block's
// tail from their payload words.
TEST_F(TimeTest, BlockTailConstructors) {
    Cell block = Blk({});
    uint64_t bits = std::bit_cast<uint64_t>(1.5);
    uint32_t low = static_cast<uint32_t>(bits), high = static_cast<uint32_t>(bits >> 32);
    integer::make_at_tail(&block, -7);
    float_::make_at_tail(&block, low, high);
    time::make_at_tail(&block, high, low);
    percent::make_at(&block, high, low);
    char_::make_in(&block, 0xE9);
    uint32_t count;
    const Cell* cells = number::cells_of(&block, &count);
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(mold(cells[0]), "-7");
    EXPECT_EQ(mold(cells[1]), "1.5");
    EXPECT_EQ(mold(cells[2]), "0:00:01.5");
    EXPECT_EQ(mold(cells[3]), "150%");
    EXPECT_EQ(mold(cells[4]), "#\"\xC3\xA9\"");
}

}  // namespace
}  // namespace zel
