// Every literal syntax loaded into its value: molded back where the type's
// mold exists, else checked cell by cell (type and payload).
#include <cmath>
#include <cstring>
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test::lex {
namespace {

class LexerValues : public RuntimeTest {};

struct Case {
    const char* source;
    const char* molded;
};

TEST_F(LexerValues, MoldedBack) {
    const Case cases[] = {
        // integers, with their overflow to float!
        {"1 2 3", "1 2 3"},
        {"+7 -0 0", "7 0 0"},
        {"-2147483648 2147483647 2147483648 -2147483649", "-2147483648 2147483647 2147483648.0 -2147483649.0"},
        {"00000000001 0000000001", "1.0 1"},
        {"1'000 1'000'000'000'000", "1000 1000000000000.0"},
        {"ABh FFFFFFFFh 00h 7FFFFFFFh", "171 -1 0 2147483647"},
        // floats and percents
        {"1.5 1e3 .5 -2.5 1. 1.5e-3 1'000.5", "1.5 1000.0 0.5 -2.5 1.0 0.0015 1000.5"},
        {"1.#INF -1.#INF +1.#inf 1.#nan 1.#NaN", "1.#INF -1.#INF 1.#INF 1.#NaN 1.#NaN"},
        {"1% 12.5% -3%", "1% 12.5% -3%"},
        // words of every kind
        {"a a: :a 'a /a #a", "a a: :a 'a /a #a"},
        {"+ - / // < > <= >= <> <- << >> = % .", "+ - / // < > <= >= <> <- << >> = % ."},
        {"a1 a-b a.b a? a! a_b a~b a*b a&b", "a1 a-b a.b a? a! a_b a~b a*b a&b"},
        {"#1abc #a.b", "#1abc #a.b"},
        // paths of every kind
        {"a/b/c 'a/b :a/b a/b: 1", "a/b/c 'a/b :a/b a/b: 1"},
        {"a/1 a/(b c)/d a/\"s\" a/:b a/'b +/a", "a/1 a/(b c)/d a/\"s\" a/:b a/'b +/a"},
        // blocks and parens
        {"[a [b] (c)] () []", "[a [b] (c)] () []"},
        // strings and their escapes
        {"\"a^\"b\" \"^(41)^(tab)^(line)\" \"^-^/^^^@\"", "{a\"b} \"A^-^/\" \"^-^/^^^@\""},
        {"\"^(esc)^(del)^(back)^(null)^(page)\"", "\"^[^~^H^@^L\""},
        {"\"^a^Z^[^_^{^}^~\"", "\"^A^Z^[^_{}^~\""},
        {"{a {b} c} {^{} {}", "\"a {b} c\" \"{\" \"\""},
        {"%{raw ^/}% %%{a}% b}%% %%{}%%", "\"raw ^^/\" \"a}% b\" \"\""},
        // chars
        {"#\"a\" #\"^(41)\" #\"^/\" #\"^(tab)\" #\"\xC3\xA9\"", "#\"a\" #\"A\" #\"^/\" #\"^-\" #\"\xC3\xA9\""},
        // files and urls
        {"%a.txt %\"a b\" %a%20b %dir/", "%a.txt %\"a b\" %\"a b\" %dir/"},
        {"http://a.b/c%20d ftp://x a:b", "http://a.b/c%20d ftp://x a:b"},
        // construction syntax
        {"#(true) #(FALSE) #(none) #(unset) #(int) #(integer) #(integer!) #(Block)",
         "true false none unset integer! integer! integer! block!"},
        // Unicode spaces end words; words of them alone are skipped
        {"a\xE3\x80\x80" "b x\xC2\xA0y \xC2\xA0\xC2\xA0 z", "a b x y z"},
        {"a/b\xC2\xA0" "c", "a/b c"},
        // comments, NUL as the end of the input
        {"a ; comment\nb", "a\nb"},
    };
    for (const Case& c : cases) EXPECT_EQ(molded(c.source), c.molded) << c.source;
}

// Each of the 21 Unicode spaces ends a word; U+2060 (a joiner) does not.
TEST_F(LexerValues, UnicodeSpaces) {
    std::vector<uint32_t> spaces = {0x85, 0xA0, 0x1680, 0x180E, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (uint32_t cp = 0x2000; cp <= 0x200B; ++cp) spaces.push_back(cp);
    ASSERT_EQ(spaces.size(), 21u);
    auto utf8 = [](uint32_t cp) {
        uint8_t b[4];
        return std::string(reinterpret_cast<char*>(b), static_cast<size_t>(unicode::encode_utf8(cp, b)));
    };
    for (uint32_t cp : spaces) EXPECT_EQ(molded("ab" + utf8(cp) + "cd"), "ab cd") << std::hex << cp;
    EXPECT_EQ(cells(load("ab" + utf8(0x2060) + "cd")).size(), 1u);
}

TEST_F(LexerValues, NulEndsTheScan) {
    EXPECT_EQ(molded(std::string("a b\0 c", 6)), "a b");
    EXPECT_EQ(molded(std::string("abc\0def", 7)), "abc");
}

TEST_F(LexerValues, EscapesWidenTheString) {
    struct Width {
        const char* source;
        uint32_t unit;
        uint32_t last;  // the last code point
    } cases[] = {
        {"\"abc\"", 1, 'c'},          {"\"^(FF)\"", 1, 0xFF},        {"\"^(100)\"", 2, 0x100},
        {"\"^(0041)\"", 2, 0x41},     {"\"^(1F600)\"", 4, 0x1F600},  {"\"\xC3\xA9\"", 2, 0xE9},
        {"\"\xF0\x9F\x98\x80\"", 4, 0x1F600}, {"{x^(10FFFF)}", 4, 0x10FFFF},
    };
    for (const Width& w : cases) {
        Cell s = one(w.source);
        ASSERT_EQ(cell::type(&s), TYPE_STRING) << w.source;
        EXPECT_EQ(text::unit(s), w.unit) << w.source;
        std::string t = text::utf8(s);
        uint32_t cp = 0;
        unicode::fast_decode_utf8_char(reinterpret_cast<const uint8_t*>(t.data()) + t.size() - (w.last < 0x80 ? 1 : w.last < 0x800 ? 2 : w.last < 0x10000 ? 3 : 4),
                                       reinterpret_cast<const uint8_t*>(t.data()) + t.size(), &cp);
        EXPECT_EQ(cp, w.last) << w.source;
    }
}

TEST_F(LexerValues, StringFamilyTypes) {
    struct Text {
        const char* source;
        uint32_t type;
        const char* text;
    } cases[] = {
        {"<a href=\"x>y\">", TYPE_TAG, "a href=\"x>y\""}, {"<a 'b>c'>", TYPE_TAG, "a 'b>c'"},
        {"a@b.c", TYPE_EMAIL, "a@b.c"},                   {"123@x.org", TYPE_EMAIL, "123@x.org"},
        {"@abc", TYPE_REF, "abc"},                         {"@", TYPE_REF, ""},
        {"%a%41", TYPE_FILE, "aA"},                        {"%\"a^(41)^-\"", TYPE_FILE, "aA\t"},
        {"http://x/%C3%A9", TYPE_URL, "http://x/\xC3\xA9"},
    };
    for (const Text& t : cases) {
        Cell v = one(t.source);
        EXPECT_EQ(cell::type(&v), t.type) << t.source;
        EXPECT_EQ(text::utf8(v), t.text) << t.source;
    }
}

TEST_F(LexerValues, Tuples) {
    Cell t = one("1.2.3");
    ASSERT_EQ(cell::type(&t), TYPE_TUPLE);
    EXPECT_EQ(tuple::length_of(&t), 3u);
    EXPECT_EQ(std::vector<uint8_t>(tuple::bytes_of(&t), tuple::bytes_of(&t) + 12),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    t = one("255.0.1.2.3.4.5.6.7.8.9.10");
    EXPECT_EQ(tuple::length_of(&t), 12u);
    EXPECT_EQ(tuple::bytes_of(&t)[0], 255);
    EXPECT_EQ(tuple::bytes_of(&t)[11], 10);
}

TEST_F(LexerValues, PairsAndPoints) {
    Cell p = one("1x2");
    EXPECT_EQ(cell::type(&p), TYPE_PAIR);
    EXPECT_EQ(static_cast<int32_t>(p.w2), 1);
    EXPECT_EQ(static_cast<int32_t>(p.w3), 2);
    p = one("-30X-4");
    EXPECT_EQ(static_cast<int32_t>(p.w2), -30);
    EXPECT_EQ(static_cast<int32_t>(p.w3), -4);
    p = one("-2147483648x2147483647");
    EXPECT_EQ(static_cast<int32_t>(p.w2), INT32_MIN);
    EXPECT_EQ(static_cast<int32_t>(p.w3), INT32_MAX);

    auto f = [](uint32_t w) { return std::bit_cast<float>(w); };
    Cell q = one("(1, 2)");
    ASSERT_EQ(cell::type(&q), TYPE_POINT2D);
    EXPECT_EQ(f(q.w1), 1.0f);
    EXPECT_EQ(f(q.w2), 2.0f);
    EXPECT_EQ(q.w3, 0u);
    q = one("( 1.5 ,-2e1,\t3 )");
    ASSERT_EQ(cell::type(&q), TYPE_POINT3D);
    EXPECT_EQ(f(q.w1), 1.5f);
    EXPECT_EQ(f(q.w2), -20.0f);
    EXPECT_EQ(f(q.w3), 3.0f);
    q = one("(1.#INF, -1.#INF)");
    EXPECT_TRUE(std::isinf(f(q.w1)) && f(q.w1) > 0);
    EXPECT_TRUE(std::isinf(f(q.w2)) && f(q.w2) < 0);
    q = one("(1e300, 0)");  // beyond 32 bits: infinity, no undefined conversion
    EXPECT_TRUE(std::isinf(f(q.w1)));
    // A point as a path item, and inside a block.
    EXPECT_EQ(cells(load("[(1, 2) a]")).size(), 1u);
    std::vector<Cell> in_path = cells(one("a/(1, 2)/b"));
    ASSERT_EQ(in_path.size(), 3u);
    EXPECT_EQ(cell::type(&in_path[1]), TYPE_POINT2D);
}

TEST_F(LexerValues, Times) {
    struct T {
        const char* source;
        double seconds;
    } cases[] = {
        {"12:30", 45000}, {"12:30:45.5", 45045.5}, {"-1:30", -5400}, {"-0:30", -1800}, {"1:30.5", 90.5},
        {"100:00", 360000}, {"1'000:00", 3600000}, {"0:0:0", 0},
    };
    for (const T& t : cases) {
        Cell v = one(t.source);
        EXPECT_EQ(cell::type(&v), TYPE_TIME) << t.source;
        EXPECT_EQ(cell::get_float(&v), t.seconds) << t.source;
    }
}

TEST_F(LexerValues, Dates) {
    struct D {
        const char* source;
        int32_t year, month, day;
        bool time;
        double seconds;  // UTC
        uint32_t zone;   // packed zone bits
    } cases[] = {
        {"5-Jan-99", 1999, 1, 5, false, 0, 0},
        {"5-Jan-49", 2049, 1, 5, false, 0, 0},
        {"5-January-2024", 2024, 1, 5, false, 0, 0},
        {"5-jan-2024", 2024, 1, 5, false, 0, 0},
        {"1-Mar-2024", 2024, 3, 1, false, 0, 0},
        {"1-May-2024", 2024, 5, 1, false, 0, 0},
        {"29-Feb-2024", 2024, 2, 29, false, 0, 0},
        {"2024-02-29", 2024, 2, 29, false, 0, 0},
        {"1/2/2003", 2003, 2, 1, false, 0, 0},
        {"2003/2/1", 2003, 2, 1, false, 0, 0},
        {"1-1--500", -500, 1, 1, false, 0, 0},
        {"2024-01-15T10:30:00Z", 2024, 1, 15, true, 37800, 0},
        {"2024-01-15/10:30", 2024, 1, 15, true, 37800, 0},
        {"5-Jan-2024/10:30+02:00", 2024, 1, 5, true, 30600, 2 << 2},
        {"5-Jan-2024/10:30-0530", 2024, 1, 5, true, 57600, 0x40 | 5 << 2 | 2},
        {"5-Jan-2024/10:30-00:30", 2024, 1, 5, true, 39600, 0x40 | 2},
        {"5-Jan-2024/10:30:15.5", 2024, 1, 5, true, 37815.5, 0},
        {"20240115T1030Z", 2024, 1, 15, true, 37800, 0},
        {"20240115T103000+0530", 2024, 1, 15, true, 18000, 5 << 2 | 2},
        {"2024-W05-3", 2024, 1, 31, false, 0, 0},
        {"2024-W01", 2024, 1, 1, false, 0, 0},
        {"2021-W01-1", 2021, 1, 4, false, 0, 0},
        {"2024-032", 2024, 2, 1, false, 0, 0},
        {"2024-366", 2024, 12, 31, false, 0, 0},
        {"1-Jan-2000/1:00+02:00", 2000, 1, 1, true, -3600, 2 << 2},
    };
    for (const D& d : cases) {
        Cell v = one(d.source);
        ASSERT_EQ(cell::type(&v), TYPE_DATE) << d.source;
        EXPECT_EQ(date::year_of(v.w1), d.year) << d.source;
        EXPECT_EQ(date::month_of(v.w1), static_cast<uint32_t>(d.month)) << d.source;
        EXPECT_EQ(date::day_of(v.w1), static_cast<uint32_t>(d.day)) << d.source;
        EXPECT_EQ((v.w1 & date::TIME_FLAG) != 0, d.time) << d.source;
        EXPECT_EQ(cell::get_float(&v), d.seconds) << d.source;
        EXPECT_EQ(v.w1 & date::ZONE_MASK, d.zone) << d.source;
    }
}

// Digits of a money! value as text: sign, integer digits without leading
// zeros, the five fraction digits, and the currency index.
std::string money_text(const Cell& m) {
    std::string s = (m.header & money::SIGN_FLAG) ? "-" : "";
    std::string digits;
    for (int p = 1; p <= money::INTEGER_DIGITS; ++p) digits += static_cast<char>('0' + money::digit(&m, p));
    size_t first = digits.find_first_not_of('0');
    s += first == std::string::npos ? "0" : digits.substr(first);
    s += ".";
    for (int p = money::INTEGER_DIGITS + 1; p <= money::DIGITS; ++p) s += static_cast<char>('0' + money::digit(&m, p));
    s += " #" + std::to_string(reinterpret_cast<const uint8_t*>(&m)[4]);
    return s;
}

TEST_F(LexerValues, Money) {
    struct M {
        const char* source;
        const char* value;
    } cases[] = {
        {"$1.50", "1.50000 #0"},
        {"-$1", "-1.00000 #0"},
        {"+$0.00001", "0.00001 #0"},
        {"EUR$1'000.5", "1000.50000 #47"},
        {"eur$2", "2.00000 #47"},
        {"-USD$12.25", "-12.25000 #155"},
        {"$00000000000000000012345678901234567", "12345678901234567.00000 #0"},
        {"AED$1 ZMW$1", "1.00000 #1"},
    };
    for (const M& m : cases) {
        Cell v = one(m.source);
        ASSERT_EQ(cell::type(&v), TYPE_MONEY) << m.source;
        EXPECT_EQ(money_text(v), m.value) << m.source;
    }
    EXPECT_EQ(money_text(cells(load("AED$1 ZMW$1"))[1]), "1.00000 #170");
}

TEST_F(LexerValues, Binaries) {
    struct B {
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"#{}", {}},
        {"#{0102ff}", {1, 2, 0xFF}},
        {"#{01 02\n\tFF ; a comment\n 03}", {1, 2, 0xFF, 3}},
        {"16#{0A}", {10}},
        {"2#{00000001 11111111}", {1, 0xFF}},
        {"64#{AQID}", {1, 2, 3}},
        {"64#{YQ==}", {'a'}},
        {"64#{YWI=}", {'a', 'b'}},
        {"64#{YWJj ZGVm}", {'a', 'b', 'c', 'd', 'e', 'f'}},
        {"64#{YQ== ignored}", {'a'}},
        {"64#{+/+/}", {0xFB, 0xFF, 0xBF}},
    };
    for (const B& b : cases) {
        Cell v = one(b.source);
        ASSERT_EQ(cell::type(&v), TYPE_BINARY) << b.source;
        EXPECT_EQ(text::bytes(v), b.bytes) << b.source;
    }
}

TEST_F(LexerValues, Maps) {
    Cell m = one("#[a 1 \"b\" [2] 3 c]");
    ASSERT_EQ(cell::type(&m), TYPE_MAP);
    EXPECT_NE(m.w3, 0u);  // its hash table
    Cell pairs;
    set_series(&pairs, TYPE_BLOCK, m.w2);
    EXPECT_EQ(cells(pairs).size(), 6u);
    Cell empty = one("#[]");
    EXPECT_EQ(cell::type(&empty), TYPE_MAP);
}

TEST_F(LexerValues, NewLineMarkers) {
    std::vector<Cell> v = cells(load("a\nb c\n\n[d\ne]\n{x}\n(1, 2) {y\n}"));
    ASSERT_EQ(v.size(), 7u);
    bool expected[] = {false, true, false, true, true, true, true};
    for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(cell::new_line(&v[i]), expected[i]) << i;
    std::vector<Cell> inner = cells(v[3]);
    EXPECT_FALSE(cell::new_line(&inner[0]));
    EXPECT_TRUE(cell::new_line(&inner[1]));
}

}  // namespace
}  // namespace zel::test::lex
