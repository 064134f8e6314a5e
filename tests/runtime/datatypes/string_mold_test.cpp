// string! form and mold: the choice between "..." and {...}, the caret
// escapes, unbalanced braces and the /all escapes.
#include <gtest/gtest.h>
#include <string>
#include "runtime/datatypes/string_actions.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel::test {
namespace {

using text::make;
using text::mold;

class StringMold : public RuntimeTest {};

TEST_F(StringMold, DelimitersAndEscapes) {
    struct Case {
        std::string value;
        std::string molded;
    };
    const std::string x49(49, 'x'), x50(50, 'x');
    const Case cases[] = {
        {"", "\"\""},
        {"abc", "\"abc\""},
        {"a\"b", "{a\"b}"},                        // any double quote: braces
        {"a\nb\nc", "\"a^/b^/c\""},                // two line feeds: quotes, escaped
        {"a\nb\nc\nd", "{a\nb\nc\nd}"},            // three: braces, as they are
        {x49, "\"" + x49 + "\""},
        {x50, "{" + x50 + "}"},                    // 50 code points: braces
        {"a\tb", "\"a^-b\""},
        {"^", "\"^^\""},
        {"q\"^", "{q\"^^}"},
        {std::string("\x00", 1), "\"^@\""},
        {"\x01\x08\x0B\x1A", "\"^A^H^K^Z\""},
        {"\x1B\x1C\x1D\x1F", "\"^[^\\^]^_\""},
        {"\x1E", "\"^(1E)\""},                      // 1Eh takes the hexadecimal form
        {"\x7F", "\"^~\""},
        {"\xC2\x85", "\"^(85)\""},                  // 80h-9Fh always in hexadecimal
        {"\xC2\x9F", "\"^(9F)\""},
        {"\xC3\xA9", "\"\xC3\xA9\""},               // E9h stays without /all
        {"{}", "\"{}\""},                           // braces need no escape in quotes
    };
    for (const Case& c : cases) {
        Cell s = make(c.value);
        EXPECT_EQ(mold(s), c.molded) << c.value;
    }
}

TEST_F(StringMold, AllEscapesEveryCodePointAbove7F) {
    EXPECT_EQ(mold(make("\xC3\xA9"), true), "\"^(E9)\"");
    EXPECT_EQ(mold(make("a\xE2\x82\xAC"), true), "\"a^(20AC)\"");
    EXPECT_EQ(mold(make("\xF0\x9F\x98\x80"), true), "\"^(1F600)\"");
    EXPECT_EQ(mold(make("\x7F"), true), "\"^~\"");
}

TEST_F(StringMold, UnbalancedBracesInBraces) {
    struct Case {
        std::string value;
        std::string molded;
    };
    const Case cases[] = {
        {"a\"{b}c", "{a\"{b}c}"},
        {"a\"{b", "{a\"^{b}"},
        {"a\"}b", "{a\"^}b}"},
        {"a\"{b}}{", "{a\"{b}^}^{}"},
        {"a\"{{}", "{a\"^{^{^}}"},           // the first unclosed brace ends the balance
        {"\"{x}{", "{\"{x}^{}"},
        {"{" + std::string(49, 'x'), "{^{" + std::string(49, 'x') + "}"},
        {"}" + std::string(49, 'x'), "{^}" + std::string(49, 'x') + "}"},
    };
    for (const Case& c : cases) EXPECT_EQ(mold(make(c.value)), c.molded) << c.value;
}

// Undoes the caret escapes of molded text the way the lexer reads them, as
// an independent check that every code point molds to text that reads back.
std::u32string unescape(const std::u32string& in) {
    static const std::u32string letters = U"@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
    std::u32string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != U'^') {
            out += in[i];
            continue;
        }
        char32_t e = in[++i];
        if (e == U'(') {
            size_t close = in.find(U')', i);
            out += static_cast<char32_t>(std::stoul(std::string(in.begin() + static_cast<long>(i) + 1,
                                                                in.begin() + static_cast<long>(close)), nullptr, 16));
            i = close;
        } else if (e == U'/') out += U'\n';
        else if (e == U'-') out += U'\t';
        else if (e == U'~') out += 0x7F;
        else if (e == U'"' || e == U'{' || e == U'}' || e == U'^') out += e;
        else out += static_cast<char32_t>(letters.find(e));
    }
    return out;
}

TEST_F(StringMold, EveryCodePointMoldsToTextThatReadsBack) {
    for (bool all : {false, true}) {
        for (uint32_t cp = 0; cp < 0x300; ++cp) {
            Cell s = text::of_units({'<', cp, '>'}, 2);
            Cell out;
            string::rs_make_at(&out, 16);
            actions::mold(&s, &out, false, all, false, nullptr, NO_LIMIT, 0);
            std::u32string molded;
            for (int32_t i = 0; i < string::rs_length_q(&out); ++i)
                molded += static_cast<char32_t>(string::get_char_at(&out, static_cast<uint32_t>(i)));
            std::u32string body = molded.substr(1, molded.size() - 2);
            EXPECT_EQ(unescape(body), (std::u32string{U'<', static_cast<char32_t>(cp), U'>'})) << std::hex << cp;
            if (cp != '"') {
                EXPECT_EQ(molded.front(), U'"') << std::hex << cp;
            }
            // Nothing below 20h, nor 7Fh-9Fh, reaches the output unescaped
            // (a line feed only in braces, which hold three or more).
            for (char32_t c : body) EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c <= 0x9F)) << std::hex << cp;
        }
    }
}

TEST_F(StringMold, PartLimitsTheRangeAndTheBudget) {
    Cell s = make("abcdef");
    Cell out, limit{TYPE_INTEGER, 0, 3, 0};
    string::rs_make_at(&out, 16);
    int32_t left = actions::mold(&s, &out, false, false, false, &limit, 100, 0);
    EXPECT_EQ(text::utf8(out), "\"abc\"");
    EXPECT_EQ(left, 100 - 3 - 2);
    // The choice of braces looks at the whole string, not the range.
    Cell long_one = make(std::string(60, 'y'));
    string::rs_make_at(&out, 16);
    actions::mold(&long_one, &out, false, false, false, &limit, NO_LIMIT, 0);
    EXPECT_EQ(text::utf8(out), "{yyy}");
}

TEST_F(StringMold, FormAppendsTheTextFromTheHead) {
    Cell s = make("h\xC3\xA9llo");
    s.w1 = 1;
    EXPECT_EQ(text::form(s), "\xC3\xA9llo");
    Cell out = make("x");
    EXPECT_EQ(actions::form(&s, &out, nullptr, 10), 6);
    EXPECT_EQ(text::utf8(out), "x\xC3\xA9llo");
}

TEST_F(StringMold, MoldingIntoItself) {
    Cell s = make("a\"b");
    actions::mold(&s, &s, false, false, false, nullptr, NO_LIMIT, 0);
    EXPECT_EQ(text::utf8(s), "a\"b{a\"b}");
}

}  // namespace
}  // namespace zel::test
