// Number to text and text to number: the text forms, the special values and
// the edges of reading (signs, zeros, overflow, characters left).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "runtime/dtoa.h"

namespace zel {
namespace {

const double INF = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

std::string form(double value, int precision, bool fraction) {
    char out[dtoa::FORM_MAX];
    std::size_t n = dtoa::form_into(out, value, precision, fraction);
    EXPECT_EQ(n, std::strlen(out));
    return std::string(out, n);
}

// Reads `text` from an exact-size copy, so a read past its end is caught
// under AddressSanitizer.
double read(const std::string& text, int extra = 0, std::size_t* left = nullptr) {
    std::unique_ptr<char[]> copy(new char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    return dtoa::strtod(copy.get(), copy.get() + text.size(), extra, left);
}

struct FormCase {
    double value;
    int precision;
    const char* with_fraction;
    const char* without;
};

TEST(DtoaForm, Table) {
    const FormCase cases[] = {
        {0.1, 0, "0.1", "0.1"},
        {1.0, 0, "1.0", "1"},
        {100.0, 0, "100.0", "100"},
        {123000.0, 0, "123000.0", "123000"},
        {-2.5, 0, "-2.5", "-2.5"},
        {0.001, 0, "0.001", "0.001"},
        // Plain notation reaches 17 digits before the point and 6 zeros after it.
        {1e16, 0, "10000000000000000.0", "10000000000000000"},
        {9.999999999999998e16, 0, "99999999999999980.0", "99999999999999980"},
        {1e17, 0, "1.0e17", "1e17"},
        {1.2345678901234568e20, 0, "1.2345678901234568e20", "1.2345678901234568e20"},
        {1e-6, 0, "0.000001", "0.000001"},
        {1e-7, 0, "0.0000001", "0.0000001"},
        {1.2345e-7, 0, "0.00000012345", "0.00000012345"},
        {1e-8, 0, "1.0e-8", "1e-8"},
        {1.5e-8, 0, "1.5e-8", "1.5e-8"},
        {-1.5e-300, 0, "-1.5e-300", "-1.5e-300"},
        {5e-324, 0, "5.0e-324", "5e-324"},
        {1.7976931348623157e308, 0, "1.7976931348623157e308", "1.7976931348623157e308"},
        {0.1 + 0.2, 0, "0.30000000000000004", "0.30000000000000004"},
        // Zeros and the special values.
        {0.0, 0, "0.0", "0"},
        {-0.0, 0, "-0.0", "-0"},
        {INF, 0, "1.#INF", "1.#INF"},
        {-INF, 0, "-1.#INF", "-1.#INF"},
        {NaN, 0, "1.#NaN", "1.#NaN"},
        {-NaN, 0, "1.#NaN", "1.#NaN"},
        {INF, 6, "1.#INF", "1.#INF"},
        {-0.0, 6, "-0.0", "-0"},
        // n significant digits, ties to even, no trailing zeros.
        {0.125, 2, "0.12", "0.12"},
        {0.375, 2, "0.38", "0.38"},
        {2.5, 1, "2.0", "2"},
        {9.5, 1, "10.0", "10"},
        {1.0 / 3.0, 6, "0.333333", "0.333333"},
        {static_cast<double>(3.14159f), 6, "3.14159", "3.14159"},
        {123456.0, 3, "123000.0", "123000"},
        {1e23, 15, "1.0e23", "1e23"},
        {1e23, 17, "9.9999999999999992e22", "9.9999999999999992e22"},
        {0.1, 20, "0.10000000000000000555", "0.10000000000000000555"},
        // A precision past the most digits counts as the most.
        {0.1, 99, "0.100000000000000005551115", "0.100000000000000005551115"},
        {-1.2345678901234567e-5, 99, "-0.0000123456789012345678074618", "-0.0000123456789012345678074618"},
    };
    for (const FormCase& c : cases) {
        EXPECT_EQ(form(c.value, c.precision, true), c.with_fraction) << c.value << " p" << c.precision;
        EXPECT_EQ(form(c.value, c.precision, false), c.without) << c.value << " p" << c.precision;
    }
}

// The longest texts fill the buffer exactly and still end in a NUL.
TEST(DtoaForm, LongestTextsFitTheBuffer) {
    const double longest[] = {-1.2345678901234567e-7, -1.2345678901234567e-300,
                              -1.2345678901234567e16, -4.9406564584124654e-324};
    for (double v : longest) {
        char out[dtoa::FORM_MAX + 8];
        std::memset(out, 'x', sizeof out);
        std::size_t n = dtoa::form_into(out, v, dtoa::DIGITS_MAX, true);
        EXPECT_LT(n, dtoa::FORM_MAX) << v;
        EXPECT_EQ(out[n], '\0');
        EXPECT_EQ(out[dtoa::FORM_MAX], 'x');
    }
    EXPECT_EQ(form(-1.2345678901234567e-7, dtoa::DIGITS_MAX, true).size(), dtoa::FORM_MAX - 1);
}

TEST(DtoaForm, SharedResultBuffer) {
    const char* a = dtoa::form_float(1e17, 0, true);
    EXPECT_STREQ(a, "1.0e17");
    const char* b = dtoa::form_float(-0.5, 0, false);
    EXPECT_EQ(a, b);  // one buffer: the next conversion replaces the text
    EXPECT_STREQ(b, "-0.5");
}

struct DigitsCase {
    double value;
    int precision;
    bool fraction;
    const char* text;
    int point;
    bool negative;
};

TEST(DtoaDigits, Table) {
    const DigitsCase cases[] = {
        {1.0, 0, true, "1", 1, false},
        {-123.45, 0, true, "12345", 3, true},
        {0.001, 0, true, "1", -2, false},
        {1e100, 0, true, "1", 101, false},
        {2.0 / 3.0, 3, true, "667", 0, false},
        {0.0, 0, true, "0.0", dtoa::POINT_ZERO, false},
        {-0.0, 0, false, "-0", dtoa::POINT_ZERO, true},
        {-INF, 0, true, "-1.#INF", dtoa::POINT_SPECIAL, true},
        {-NaN, 0, true, "1.#NaN", dtoa::POINT_SPECIAL, true},
    };
    for (const DigitsCase& c : cases) {
        dtoa::Digits d = dtoa::digits(c.value, c.precision, c.fraction);
        EXPECT_STREQ(d.text, c.text) << c.value;
        EXPECT_EQ(d.count, static_cast<int>(std::strlen(c.text))) << c.value;
        EXPECT_EQ(d.point, c.point) << c.value;
        EXPECT_EQ(d.negative, c.negative) << c.value;
    }
}

struct ReadCase {
    const char* text;
    int extra;
    double value;
    std::size_t left;
};

TEST(DtoaRead, Table) {
    const ReadCase cases[] = {
        {"0.1", 0, 0.1, 0},
        {"+1.5", 0, 1.5, 0},
        {"-2.5", 0, -2.5, 0},
        {".5", 0, 0.5, 0},
        {"5.", 0, 5.0, 0},
        {"007.2500", 0, 7.25, 0},
        {"0.000123", 0, 0.000123, 0},
        {"1E5", 0, 1e5, 0},
        {"1e+05", 0, 1e5, 0},
        {"1.5e-8", 0, 1.5e-8, 0},
        {"1.0e17", 0, 1e17, 0},
        // The extra exponent reads percent text.
        {"12.5", -2, 0.125, 0},
        {"1.5e3", -2, 15.0, 0},
        {"50", -2, 0.5, 0},
        // Specials, any case; the sign only matters to infinity.
        {"1.#INF", 0, INF, 0},
        {"-1.#INF", 0, -INF, 0},
        {"+1.#inf", 0, INF, 0},
        {"1.#I", 0, INF, 0},
        {"1.#INFxyz", 0, INF, 3},
        // Overflow and underflow round to infinity and zero.
        {"1.7976931348623157e308", 0, 1.7976931348623157e308, 0},
        {"1.7976931348623158e308", 0, 1.7976931348623157e308, 0},
        {"1.7976931348623159e308", 0, INF, 0},
        {"1e309", 0, INF, 0},
        {"-1e400", 0, -INF, 0},
        {"1e-400", 0, 0.0, 0},
        {"5e-324", 0, 5e-324, 0},
        {"2.4703282292062328e-324", 0, 5e-324, 0},
        {"2.4703282292062327e-324", 0, 0.0, 0},
        {"2.2250738585072011e-308", 0, 2.2250738585072009e-308, 0},
        // A long exponent saturates instead of overflowing.
        {"1e99999999999999999999999999", 0, INF, 0},
        {"1e-99999999999999999999999999", 0, 0.0, 0},
        {"0e99999999999999999999999999", 0, 0.0, 0},
        {"1e2147483647", -2, INF, 0},
        {"1e-2147483648", 0, 0.0, 0},
        // What follows the number is left.
        {"1.5abc", 0, 1.5, 3},
        {"1e", 0, 1.0, 1},
        {"1e+", 0, 1.0, 2},
        {"1e-x", 0, 1.0, 3},
        {"1e5x", 0, 1e5, 1},
        {"12.#INF", 0, 12.0, 4},
        {"1.#x", 0, 1.0, 2},
        // No digits: nothing is consumed.
        {"", 0, 0.0, 0},
        {"-", 0, 0.0, 1},
        {".", 0, 0.0, 1},
        {"+.e5", 0, 0.0, 4},
        {"abc", 0, 0.0, 3},
    };
    for (const ReadCase& c : cases) {
        std::size_t left = 99;
        double v = read(c.text, c.extra, &left);
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(std::signbit(v), std::signbit(c.value)) << c.text;
        EXPECT_EQ(left, c.left) << c.text;
    }
}

TEST(DtoaRead, NaNTexts) {
    for (const char* text : {"1.#NaN", "1.#nan", "-1.#NaN", "1.#N"}) {
        std::size_t left = 99;
        double v = read(text, 0, &left);
        EXPECT_TRUE(std::isnan(v)) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
        EXPECT_EQ(left, 0u) << text;
    }
}

// A leading "-" never makes -0.0, whether the text is zero or underflows.
TEST(DtoaRead, NeverNegativeZero) {
    for (const char* text : {"-0.0", "-0", "-000", "-0e5", "-.0", "-1e-400", "-2e-324", "-0.0e-0"}) {
        double v = read(text);
        EXPECT_EQ(v, 0.0) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
}

// Hundreds of digits: trailing zeros drop, a non-zero digit far past the
// kept ones still rounds up from a halfway point.
TEST(DtoaRead, LongDigitStrings) {
    EXPECT_EQ(read("1" + std::string(1000, '0') + "e-1000"), 1.0);
    EXPECT_EQ(read("0." + std::string(1000, '0') + "1e1001"), 1.0);
    EXPECT_EQ(read(std::string(400, '9')), INF);
    // 1 + 2^-53 is halfway between 1.0 and the next double: ties go to even.
    std::string half = "1.00000000000000011102230246251565404236316680908203125";
    EXPECT_EQ(read(half), 1.0);
    EXPECT_EQ(read(half + std::string(900, '0') + "1"), std::nextafter(1.0, 2.0));
    EXPECT_EQ(read(half + std::string(900, '0')), 1.0);
}

// Every form reads back to the value it came from.
TEST(DtoaRoundTrip, FormsReadBack) {
    const double values[] = {0.1, 1.0 / 3.0, 1e17, 1e-7, 1e-8, 5e-324, 1.7976931348623157e308,
                             123000.0, -2.5, 9.999999999999998e16, 2.2250738585072014e-308};
    for (double v : values) {
        for (bool fraction : {true, false}) {
            std::size_t left = 99;
            EXPECT_EQ(read(form(v, 0, fraction), 0, &left), v) << v;
            EXPECT_EQ(left, 0u);
        }
    }
    EXPECT_EQ(form(read("0.1"), 0, true), "0.1");
    EXPECT_EQ(read(form(INF, 0, true)), INF);
    EXPECT_EQ(read(form(-INF, 0, true)), -INF);
    EXPECT_TRUE(std::isnan(read(form(NaN, 0, true))));
}

}  // namespace
}  // namespace zel
