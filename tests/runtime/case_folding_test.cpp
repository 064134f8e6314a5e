// Case mapping of code points and text values, and display widths.
#include "runtime/case_folding.h"
#include "runtime/unicode.h"
#include "tests/runtime/test_support.h"
#include "tests/runtime/unicode_test_support.h"

namespace zel {
namespace {

using test::CodePoints;
using test::code_points;

class CaseFoldingTest : public test::RuntimeTest {};

TEST_F(CaseFoldingTest, SingleCodePoints) {
    struct Case {
        uint32_t cp, upper, lower;
    } cases[] = {
        {'a', 'A', 'a'},
        {'A', 'A', 'a'},
        {'1', '1', '1'},
        {0xDF, 0x53, 0xDF},  // sharp s upper-cases to S
        {0xFF, 0x178, 0xFF},
        {0xB5, 0x39C, 0xB5},  // micro sign
        {0x1C5, 0x1C4, 0x1C6},  // title case Dz
        {0x10D0, 0x1C90, 0x10D0},
        {0xFF5A, 0xFF3A, 0xFF5A},
        {0x1E922, 0x1E900, 0x1E922},
        {0x1E900, 0x1E900, 0x1E922},
        {0x1E943, 0x1E921, 0x1E943},
        {0x10428, 0x10400, 0x10428},
        {0x10400, 0x10400, 0x10428},
        {0x1E944, 0x1E944, 0x1E944},  // past the last pair
        {0x103FF, 0x103FF, 0x103FF},  // before the first pair
        {0x10FFFF, 0x10FFFF, 0x10FFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(casefold::change_char(c.cp, true), c.upper) << std::hex << c.cp;
        EXPECT_EQ(casefold::change_char(c.cp, false), c.lower) << std::hex << c.cp;
    }
    EXPECT_EQ(casefold::toggle_case('a'), uint32_t{'A'});
    EXPECT_EQ(casefold::toggle_case('A'), uint32_t{'a'});
    EXPECT_EQ(casefold::toggle_case('-'), uint32_t{'-'});
    EXPECT_EQ(casefold::to_upper(0xE9), 0xC9u);
}

TEST_F(CaseFoldingTest, CharValueChangesInPlace) {
    Cell c;
    cell::set(&c, TYPE_CHAR, 0, 0x1E922);
    casefold::change_case(&c, nullptr, true);
    EXPECT_EQ(c.w2, 0x1E900u);
    casefold::change_case(&c, nullptr, false);
    EXPECT_EQ(c.w2, 0x1E922u);
}

TEST_F(CaseFoldingTest, TextFromTheHeadWidensWhenNeeded) {
    Cell text = test::make_text({'a', 0xDF, 0xFF, 'z'}, 1, 1);
    casefold::change_case(&text, nullptr, true);
    EXPECT_EQ(series::buffer_of(&text)->unit(), 2u);
    EXPECT_EQ(code_points(text.w2), (CodePoints{'a', 'S', 0x178, 'Z'}));

    Cell deseret = test::make_text({'A', 0x10400, 0xC9}, 4);
    casefold::change_case(&deseret, nullptr, false);
    EXPECT_EQ(code_points(deseret.w2), (CodePoints{'a', 0x10428, 0xE9}));
}

TEST_F(CaseFoldingTest, PartLimitsTheChange) {
    Cell count;
    struct Case {
        int32_t part;
        CodePoints expected;
    } cases[] = {
        {2, {'A', 'B', 'c', 'd'}},
        {0, {'a', 'b', 'c', 'd'}},
        {-3, {'a', 'b', 'c', 'd'}},
        {100, {'A', 'B', 'C', 'D'}},
    };
    for (const Case& c : cases) {
        Cell text = test::make_text({'a', 'b', 'c', 'd'}, 1);
        set_integer(&count, c.part);
        casefold::change_case(&text, &count, true);
        EXPECT_EQ(code_points(text.w2), c.expected) << c.part;
    }
    // A position in the same series ends the range; before the head, nothing.
    Cell text = test::make_text({'a', 'b', 'c', 'd'}, 1, 1);
    Cell until = text;
    until.w1 = 3;
    casefold::change_case(&text, &until, true);
    EXPECT_EQ(code_points(text.w2), (CodePoints{'a', 'B', 'C', 'd'}));
    until.w1 = 0;
    casefold::change_case(&text, &until, true);
    EXPECT_EQ(code_points(text.w2), (CodePoints{'a', 'B', 'C', 'd'}));
}

TEST_F(CaseFoldingTest, WrongPartIsAnError) {
    Cell text = test::make_text({'a'}, 1);
    Cell other = test::make_text({'a'}, 1);  // another series
    Cell as_file = text;
    cell::set_type(&as_file, TYPE_FILE);  // same series, another type
    Cell none;
    set_none(&none);
    for (const Cell* part : {&other, &as_file, &none}) {
        EXPECT_EQ(test::raised_id([&] { casefold::change_case(&text, part, true); }), "invalid-refine-arg");
    }
    EXPECT_EQ(code_points(text.w2), (CodePoints{'a'}));
}

TEST_F(CaseFoldingTest, HeadPastTheTailChangesNothing) {
    Cell text = test::make_text({'a', 'b'}, 1, 7);
    casefold::change_case(&text, nullptr, true);
    EXPECT_EQ(code_points(text.w2), (CodePoints{'a', 'b'}));
}

TEST_F(CaseFoldingTest, DisplayWidths) {
    struct Case {
        uint32_t cp;
        int width, cjk;
    } cases[] = {
        {0, 0, 0},       {7, 1, 1},         {0x41, 1, 1},      {0x7F, 1, 1},     {0x9F, 1, 1},
        {0x301, 0, 0},   {0x4E00, 2, 2},    {0x1F600, 2, 2},   {0x1100, 2, 2},   {0x1160, 0, 0},
        {0x11FF, 0, 0},  {0xAD, 1, 1},      {0x200B, 1, 1},    {0x200D, 1, 1},   {0xFEFF, 1, 1},
        {0xA1, 1, 2},    {0xE000, 1, 2},    {0x10FFFD, 1, 2},  {0xE0100, 0, 0},  {0x3FFFD, 2, 2},
        {0xFF01, 2, 2},  {0x10FFFF, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode::char_width(c.cp), c.width) << std::hex << c.cp;
        EXPECT_EQ(unicode::char_width_cjk(c.cp), c.cjk) << std::hex << c.cp;
    }
    const uint32_t ranges[] = {10, 20, 30, 30, 40, 50};
    for (uint32_t cp : {10u, 15u, 20u, 30u, 40u, 50u}) EXPECT_TRUE(unicode::in_ranges(cp, ranges, 6)) << cp;
    for (uint32_t cp : {0u, 9u, 21u, 29u, 31u, 39u, 51u}) EXPECT_FALSE(unicode::in_ranges(cp, ranges, 6)) << cp;
    EXPECT_FALSE(unicode::in_ranges(10, ranges, 0));
}

}  // namespace
}  // namespace zel
