// The code-point engine: units that widen and never narrow, growth, removal,
// concatenation across units, comparison and loading encoded text.
#include <gtest/gtest.h>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel::test {
namespace {

using text::make;
using text::of_units;
using text::unit;
using text::utf8;

class StringStorage : public RuntimeTest {};

// Which unit a buffer holds after one write, by operation and code point:
// appending widens unit 1 from 80h on, writing in place only above FFh.
TEST_F(StringStorage, WideningThresholdsOfAppendAndWrite) {
    struct Case {
        uint32_t cp;
        uint32_t after_append, after_overwrite, after_insert;
    };
    const Case cases[] = {
        {0x41, 1, 1, 1},      {0x7F, 1, 1, 1},      {0x80, 2, 1, 1},       {0xE9, 2, 1, 1},
        {0xFF, 2, 1, 1},      {0x100, 2, 2, 2},     {0xFFFF, 2, 2, 2},     {0x10000, 4, 4, 4},
        {0x10FFFF, 4, 4, 4},
    };
    for (const Case& c : cases) {
        Cell a = make("ab"), o = make("ab"), i = make("ab");
        string::append_char(series::buffer_of(&a), c.cp);
        string::overwrite_char(series::buffer_of(&o), 1, c.cp);
        string::insert_char(series::buffer_of(&i), 1, c.cp);
        EXPECT_EQ(unit(a), c.after_append) << std::hex << c.cp;
        EXPECT_EQ(unit(o), c.after_overwrite) << std::hex << c.cp;
        EXPECT_EQ(unit(i), c.after_insert) << std::hex << c.cp;
        EXPECT_EQ(string::get_char_at(&a, 2), c.cp);
        EXPECT_EQ(string::get_char_at(&o, 1), c.cp);
        EXPECT_EQ(string::get_char_at(&i, 1), c.cp);
        EXPECT_EQ(string::get_char_at(&i, 2), uint32_t{'b'});
    }
}

TEST_F(StringStorage, WidenedTextKeepsItsCodePointsAndNeverNarrows) {
    Cell s = make("h\xC3\xA9llo");  // unit 2 already: é arrived by appending
    ASSERT_EQ(unit(s), 2u);
    string::append_char(series::buffer_of(&s), 0x1F600);
    EXPECT_EQ(unit(s), 4u);
    EXPECT_EQ(utf8(s), "h\xC3\xA9llo\xF0\x9F\x98\x80");
    // Removing the wide code point leaves the unit as it is.
    string::remove_part(&s, 5, 1);
    EXPECT_EQ(unit(s), 4u);
    EXPECT_EQ(utf8(s), "h\xC3\xA9llo");
    // Only emptying the string returns it to unit 1.
    string::rs_reset(&s);
    EXPECT_EQ(unit(s), 1u);
    EXPECT_EQ(string::rs_length_q(&s), 0);
}

TEST_F(StringStorage, AppendingManyCodePointsGrowsTheBuffer) {
    Cell s;
    string::rs_make_at(&s, 0);
    EXPECT_GE(series::buffer_of(&s)->size, 1u);
    for (uint32_t i = 0; i < 5000; ++i) string::append_char(series::buffer_of(&s), 'a' + i % 26);
    ASSERT_EQ(string::rs_length_q(&s), 5000);
    for (uint32_t i = 0; i < 5000; i += 997) EXPECT_EQ(string::get_char_at(&s, i), 'a' + i % 26);
}

// A write far past the tail grows the buffer as often as it takes and the
// units skipped over read as code point 0.
TEST_F(StringStorage, OverwriteFarPastTheTailGrowsUntilTheIndexFits) {
    Cell s = make("ab");
    uint32_t far = series::buffer_of(&s)->size * 16 + 3;
    string::overwrite_char(series::buffer_of(&s), far, 0x263A);
    ASSERT_EQ(string::rs_length_q(&s), static_cast<int32_t>(far + 1));
    EXPECT_EQ(unit(s), 2u);
    EXPECT_EQ(string::get_char_at(&s, 0), uint32_t{'a'});
    EXPECT_EQ(string::get_char_at(&s, 1), uint32_t{'b'});
    for (uint32_t i = 2; i < far; ++i) ASSERT_EQ(string::get_char_at(&s, i), 0u) << i;
    EXPECT_EQ(string::get_char_at(&s, far), 0x263Au);
}

TEST_F(StringStorage, RemovePartAndTruncate) {
    Cell s = make("abcdef");
    string::remove_part(&s, 1, 2);
    EXPECT_EQ(utf8(s), "adef");
    string::remove_part(&s, 2, 100);  // a run reaching the tail cuts it
    EXPECT_EQ(utf8(s), "ad");
    string::remove_part(&s, 5, 1);  // past the tail: nothing
    string::remove_char(&s, 0);
    EXPECT_EQ(utf8(s), "d");
    Cell t = make("abcdef");
    string::truncate(series::buffer_of(&t), 4);
    string::truncate(series::buffer_of(&t), 40);
    EXPECT_EQ(utf8(t), "abcd");
}

TEST_F(StringStorage, HeadPastTheTailReadsAsTheTailAndIsStoredBack) {
    Cell s = make("abcdef");
    Cell other = s;
    other.w1 = 5;
    string::truncate(series::buffer_of(&s), 2);
    EXPECT_EQ(string::rs_length_q(&other), 0);
    EXPECT_TRUE(string::rs_tail_q(&other));
    EXPECT_EQ(string::rs_head(&other), string::rs_tail(&other));
    EXPECT_EQ(other.w1, 2u);
}

TEST_F(StringStorage, ConcatenateModesAcrossUnits) {
    struct Case {
        std::vector<uint32_t> target;
        uint32_t target_unit;
        std::vector<uint32_t> source;
        uint32_t source_unit;
        int32_t part, offset;
        int mode;
        std::vector<uint32_t> expected;
        uint32_t expected_unit;
    };
    const std::vector<Case> cases = {
        {{'a', 'b'}, 1, {'c', 'd'}, 1, -1, 0, 0, {'a', 'b', 'c', 'd'}, 1},
        {{'a', 'b'}, 1, {0x3B1, 'd'}, 2, -1, 0, 0, {'a', 'b', 0x3B1, 'd'}, 2},
        {{0x1F600}, 4, {'x', 'y'}, 1, 1, 0, 0, {0x1F600, 'x'}, 4},
        {{'a', 'b', 'c'}, 1, {0x10400, 'y'}, 4, -1, 1, 1, {'a', 0x10400, 'y', 'b', 'c'}, 4},
        {{'a', 'b', 'c'}, 1, {'X', 'Y'}, 1, -1, 2, 2, {'a', 'b', 'X', 'Y'}, 1},
        {{'a', 'b', 'c', 'd'}, 2, {'X'}, 1, -1, 1, 2, {'a', 'X', 'c', 'd'}, 2},
        {{'a'}, 1, {}, 1, -1, 0, 0, {'a'}, 1},
    };
    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        Cell t = of_units(c.target, c.target_unit);
        Cell s = of_units(c.source, c.source_unit);
        string::concatenate(&t, &s, c.part, c.offset, true, c.mode);
        EXPECT_EQ(unit(t), c.expected_unit) << k;
        ASSERT_EQ(string::rs_length_q(&t), static_cast<int32_t>(c.expected.size())) << k;
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(string::get_char_at(&t, static_cast<uint32_t>(i)), c.expected[i]) << k << " at " << i;
        // The source is read, never changed.
        EXPECT_EQ(unit(s), c.source_unit) << k;
    }
}

TEST_F(StringStorage, ConcatenateAStringWithItself) {
    Cell s = make("abc");
    Cell from_b = s;
    from_b.w1 = 1;
    string::concatenate(&s, &from_b, -1, 0, true, 0);
    EXPECT_EQ(utf8(s), "abcbc");
    string::concatenate(&s, &s, 2, 1, true, 1);
    EXPECT_EQ(utf8(s), "aabbcbc");
}

TEST_F(StringStorage, ConcatenateBytesWidensForHighBytesLikeAppending) {
    Cell s = make("a");
    const uint8_t bytes[] = {'b', 0xE9};
    string::concatenate_bytes(&s, bytes, 2);
    EXPECT_EQ(unit(s), 2u);
    EXPECT_EQ(utf8(s), "ab\xC3\xA9");
    string::concatenate_literal(&s, "cd");
    EXPECT_EQ(utf8(s), "ab\xC3\xA9" "cd");
}

TEST_F(StringStorage, CompareText) {
    struct Case {
        const char* a;
        const char* b;
        int32_t op;
        bool match;
        int32_t expected;
    };
    const Case cases[] = {
        {"abc", "ABC", COMP_EQUAL, false, 0},
        {"abc", "ABC", COMP_STRICT_EQUAL, false, 1},
        {"ab", "abc", COMP_LESSER, false, -1},
        {"abd", "abc", COMP_LESSER, false, 1},
        {"abc", "ab", COMP_SORT, false, 1},
        {"B", "a", COMP_SORT, false, 1},
        {"B", "a", COMP_CASE_SORT, false, -1},
        {"", "", COMP_EQUAL, false, 0},
        {"abc", "", COMP_LESSER, false, 1},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", COMP_EQUAL, false, 0},  // folding beyond ASCII
        {"abcdef", "ABC", COMP_EQUAL, true, 0},
        {"ab", "abc", COMP_EQUAL, true, 1},
        {"abc", "", COMP_FIND, true, 1},
        {"abc", "", COMP_EQUAL, true, 0},
    };
    for (const Case& c : cases) {
        Cell a = make(c.a), b = make(c.b);
        EXPECT_EQ(string::compare_text(&a, &b, c.op, c.match), c.expected) << c.a << " / " << c.b << " op " << c.op;
    }
    // Units do not matter, only code points.
    Cell wide = of_units({'a', 'b'}, 4), narrow = make("ab");
    EXPECT_EQ(string::compare_text(&wide, &narrow, COMP_STRICT_EQUAL, false), 0);
    // Sameness asks for the same buffer and head.
    Cell a = make("x"), b = make("x"), a2 = a;
    EXPECT_EQ(string::compare_text(&a, &b, COMP_SAME, false), -1);
    EXPECT_EQ(string::compare_text(&a, &a2, COMP_SAME, false), 0);
}

TEST_F(StringStorage, MatchingAtTheHead) {
    Cell s = make("<b>bold");
    Cell tag = make("b", TYPE_TAG), ch{TYPE_CHAR, 0, '<', 0}, prefix = make("<B>");
    EXPECT_TRUE(string::match_tag(&s, &tag));
    EXPECT_TRUE(string::match_head(&s, &prefix, COMP_EQUAL));
    EXPECT_FALSE(string::match_head(&s, &prefix, COMP_STRICT_EQUAL));
    EXPECT_TRUE(string::match_head(&s, &ch, COMP_EQUAL));
    EXPECT_TRUE(string::begins_with(&s, "<b>"));
    EXPECT_FALSE(string::begins_with(&s, "<b>bold!"));
    EXPECT_EQ(string::find_char(&s, 'o'), 4);
    EXPECT_EQ(string::find_char(&s, 'z'), -1);
    EXPECT_TRUE(string::contains_char(&s, 'B', 1, false));
    EXPECT_FALSE(string::contains_char(&s, 'B', 1, true));
    EXPECT_FALSE(string::contains_char(&s, 'b', 2, true));  // only at even offsets: <, >, o, d
}

TEST_F(StringStorage, HexText) {
    EXPECT_STREQ(string::to_hex(-1, false), "FFFFFFFF");
    EXPECT_STREQ(string::to_hex(30, true), "1E");
    EXPECT_STREQ(string::to_hex(0, true), "00");
    EXPECT_STREQ(string::to_hex(0, false), "00000000");
    EXPECT_STREQ(string::to_hex(255, false), "000000FF");
    EXPECT_STREQ(string::to_hex(0x10FFFF, true), "10FFFF");
    EXPECT_STREQ(string::to_hex(-16, false), "FFFFFFF0");
    EXPECT_STREQ(string::byte_to_hex(0xA9), "A9");
    EXPECT_DOUBLE_EQ(string::to_float(reinterpret_cast<const uint8_t*>("1.5e3xyz"), 5), 1500.0);
}

TEST_F(StringStorage, LoadingUtf8AndUtf16) {
    const uint8_t utf8_text[] = {'a', 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80};
    Cell* s = string::load_push(utf8_text, sizeof utf8_text, string::ENCODING_UTF8);
    EXPECT_EQ(cell::type(s), uint32_t{TYPE_STRING});
    EXPECT_EQ(utf8(*s), "a\xC3\xA9\xF0\x9F\x98\x80");
    const uint8_t utf16_text[] = {'h', 0, 'i', 0, 0x3D, 0xD8, 0x00, 0xDE};  // "hi" and U+1F600
    Cell target;
    string::load(utf16_text, sizeof utf16_text, &target, string::ENCODING_UTF16LE);
    EXPECT_EQ(utf8(target), "hi\xF0\x9F\x98\x80");
    EXPECT_EQ(unit(target), 4u);
}

// The error carries every byte from the failing one to the end.
TEST_F(StringStorage, InvalidUtf8ReportsTheRestOfTheInput) {
    const uint8_t bad[] = {'o', 'k', 0xC3, 0x28, 'x', 'y', 'z'};
    auto r = text::raised([&] { string::load_utf8_bytes(bad, sizeof bad); });
    ASSERT_EQ(r.id, "invalid-utf8");
    ASSERT_EQ(r.args.size(), 1u);
    EXPECT_EQ(cell::type(&r.args[0]), uint32_t{TYPE_BINARY});
    EXPECT_EQ(text::bytes(r.args[0]), (std::vector<uint8_t>{0xC3, 0x28, 'x', 'y', 'z'}));
    // A sequence cut off by the end is invalid too.
    const uint8_t cut[] = {'a', 0xE2, 0x82};
    r = text::raised([&] { string::load_utf8_bytes(cut, sizeof cut); });
    ASSERT_EQ(r.id, "invalid-utf8");
    EXPECT_EQ(text::bytes(r.args[0]), (std::vector<uint8_t>{0xE2, 0x82}));
    const uint8_t good[] = {'a', 0xE2, 0x82, 0xAC};
    EXPECT_EQ(utf8(*string::load_utf8_bytes(good, sizeof good)), "a\xE2\x82\xAC");
}

TEST_F(StringStorage, MoveCharsBetweenUnits) {
    Cell from = of_units({0x1F600, 'b', 'c'}, 4);
    Cell to = make("xy");
    to.w1 = 1;
    string::move_chars(&from, &to, 2 * 4);
    EXPECT_EQ(utf8(from), "c");
    to.w1 = 0;
    EXPECT_EQ(utf8(to), "x\xF0\x9F\x98\x80" "by");
    EXPECT_EQ(unit(to), 4u);
}

// Symbols join and compare through their names, whether or not their name
// string is cached yet, and whether given as the table's cell or a copy.
TEST_F(StringStorage, SymbolsJoinAndCompareByName) {
    uint32_t id = symbol::make("caf\xC3\xA9-word");
    Cell copy = *symbol::cell_of(id);
    copy.w2 = 0;  // as if the cache were empty
    Cell s = make("<");
    string::concatenate(&s, &copy, -1, 0, true, 0);
    string::concatenate(&s, symbol::cell_of(id), 3, 0, true, 0);
    EXPECT_EQ(utf8(s), "<caf\xC3\xA9-wordcaf");
    Cell upper = make("CAF\xC3\x89-WORD");
    EXPECT_EQ(string::compare_text(symbol::cell_of(id), &upper, COMP_EQUAL, false), 0);
    EXPECT_EQ(string::compare_text(&upper, symbol::cell_of(id), COMP_STRICT_EQUAL, false), -1);  // C before c
}

}  // namespace
}  // namespace zel::test
