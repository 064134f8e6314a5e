// Text to number for to and make: integers, floats and money amounts read
// from text of every unit, each character counted by its whole code point.
#include <cmath>
#include "runtime/datatypes/number_common.h"
#include "runtime/evaluator/text_number.h"
#include "tests/runtime/datatypes/number_test_support.h"

namespace zel {
namespace {

using namespace test;

class TextNumberTest : public RuntimeTest {};

// U+0131 (dotless i): its low byte is the digit "1".
const char* const DOTLESS_I = "\xC4\xB1";

int32_t read_integer(const std::string& text, uint32_t unit, int32_t* error) {
    Cell s = S(text, unit);
    number::TextSpan t = number::text_of(&s);
    *error = 0;
    return lexer::string_to_integer(t.start, static_cast<int32_t>(t.count), t.unit, error);
}

double read_float(const std::string& text, uint32_t unit, int32_t* error, int extra = 0) {
    Cell s = S(text, unit);
    number::TextSpan t = number::text_of(&s);
    *error = 0;
    return lexer::string_to_float_scaled(t.start, static_cast<int32_t>(t.count), t.unit, extra, error);
}

int32_t read_money(const std::string& text, Cell* out = nullptr) {
    Cell s = S(text), money;
    number::TextSpan t = number::text_of(&s);
    int32_t error = 0;
    lexer::string_to_money(t.start, static_cast<int32_t>(t.count), t.unit, &error, out ? out : &money);
    return error;
}

TEST_F(TextNumberTest, Integers) {
    struct Case {
        std::string text;
        int32_t want, error;
    };
    const Case cases[] = {
        {"1'000", 1000, 0}, {"'1'''2'", 12, 0}, {"+7", 7, 0}, {"-0", 0, 0},
        {"2147483647", 2147483647, 0}, {"-2147483648", INT32_MIN, 0}, {"007", 7, 0},
        {"12a", 0, -1}, {"a", 0, -1}, {"", 0, -1}, {"-", 0, -1}, {"+", 0, -1}, {"'", 0, -1}, {"1 ", 0, -1},
        {"--1", 0, -1}, {"99999999999", 0, -2}, {"2147483648", 0, -2}, {"-21474836480", 0, -2},
        {"-2147483649", 0, -2}, {std::string("1") + DOTLESS_I, 0, -1},
    };
    for (const Case& c : cases) {
        for (uint32_t unit : {1u, 2u, 4u}) {
            if (unit == 1 && c.text.find('\xC4') != std::string::npos) continue;
            int32_t error;
            int32_t v = read_integer(c.text, unit, &error);
            SCOPED_TRACE(c.text + " unit " + std::to_string(unit));
            EXPECT_EQ(error, c.error);
            if (!c.error) {
                EXPECT_EQ(v, c.want);
            }
        }
    }
}

TEST_F(TextNumberTest, Floats) {
    struct Case {
        std::string text;
        double want;
    };
    const Case good[] = {
        {"1,5", 1.5}, {"1.5", 1.5}, {"-1.5e3", -1500.0}, {"1E-2", 0.01}, {".5", 0.5}, {"-.5", -0.5},
        {"1'000.25", 1000.25}, {"1.", 1.0}, {"12", 12.0}, {"0.1", 0.1}, {"1.2'5", 1.25}, {"1e+308", 1e308},
        {"2.2250738585072011e-308", 2.2250738585072011e-308},
    };
    for (const Case& c : good) {
        for (uint32_t unit : {1u, 2u, 4u}) {
            int32_t error;
            double d = read_float(c.text, unit, &error);
            EXPECT_EQ(error, 0) << c.text;
            EXPECT_EQ(d, c.want) << c.text;
        }
    }
    const std::string bad[] = {
        "", "+", "e5", "1e", "1.e5", "1e400", "1.5.5", "1..5", "+-1", "1.#INF", "1.5 ", "0x10", "1,5,5", "'1",
        std::string("1.5") + DOTLESS_I, std::string(DOTLESS_I) + "5",
    };
    for (const std::string& text : bad) {
        int32_t error;
        double d = read_float(text, text.find('\xC4') != std::string::npos ? 2 : 1, &error);
        EXPECT_EQ(error, -1) << text;
        EXPECT_TRUE(std::isnan(d)) << text;
    }
    int32_t error;
    EXPECT_EQ(read_float("12.5", 1, &error, -2), 0.125);
    // Length limit: 312 characters are read, 313 refused.
    std::string text = "0." + std::string(309, '0') + "1";
    ASSERT_EQ(text.size(), 312u);
    EXPECT_EQ(read_float(text, 1, &error), 1e-310);
    EXPECT_EQ(error, 0);
    read_float(text + "1", 1, &error);
    EXPECT_EQ(error, -1);
}

TEST_F(TextNumberTest, MoneyAmounts) {
    for (const char* text : {"EUR$1.50", "$1.50", "1.50", "-$5", "+usd$1'000.5", "1'000", "$0.00001"}) {
        Cell out;
        EXPECT_EQ(read_money(text, &out), 0) << text;
        EXPECT_EQ(type_of(out), uint32_t{TYPE_MONEY}) << text;
    }
    // The constructor refuses an unknown currency.
    EXPECT_EQ(read_money("XQZ$1"), -1);
    for (const char* text : {"EU$1", "EURO$1", "EUR1", "EUR$", "E1R$5", "$1.", "$'1", "$1,50", "$", "", "-", "1''0",
                             "1'", "1.'5", "1.5'0", "1.5.5", ".5", "$.5", "1a", "$$1"})
        EXPECT_EQ(read_money(text), -1) << text;
    EXPECT_EQ(read_money(std::string("$1") + DOTLESS_I), -1);
}

}  // namespace
}  // namespace zel
