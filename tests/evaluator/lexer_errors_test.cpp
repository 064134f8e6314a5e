// Bad source texts and the exact syntax errors they raise: the error id and
// its arguments (the position text, the datatype or expected character,
// the near text).
#include "runtime/datatype.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test::lex {
namespace {

class LexerErrors : public RuntimeTest {};

// "id|arg|arg|..." with each argument as text.
std::string describe(const text::Raised& r) {
    std::string s = r.id;
    for (const Cell& a : r.args) {
        s += "|";
        switch (cell::type(&a)) {
            case TYPE_DATATYPE: s += datatype::name_of(a.w1); break;
            case TYPE_CHAR: s += static_cast<char>(a.w2); break;
            default: s += text::utf8(a); break;
        }
    }
    return s;
}

struct Case {
    const char* source;
    const char* error;
};

TEST_F(LexerErrors, ExactErrors) {
    const Case cases[] = {
        // missing closers and openers
        {"[1 2", "missing|(line 1)|]|[1 2"},
        {"a [b\n[c", "missing|(line 2)|]|[c"},
        {"]", "missing|(line 1)|[|]"},
        {"[1 2)", "missing|(line 1)|]|)"},
        {"(1 2]", "missing|(line 1)|)|]"},
        {"(1 2", "missing|(line 1)|)|(1 2"},
        {"#[a 1", "missing|(line 1)|]|#[a 1"},
        {"(a, b c)", "invalid|(line 1)|float!|(a, b c)"},
        // numbers
        {"1''000", "invalid|(line 1)|integer!|1''000"},
        {"1.256.3", "invalid|(line 1)|tuple!|1.256.3"},
        {"1.2..3", "invalid|(line 1)|tuple!|1.2..3"},
        {"1.2.3.", "invalid|(line 1)|tuple!|1.2.3."},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", "invalid|(line 1)|tuple!|1.2.3.4.5.6.7.8.9.10.11.12.13"},
        {"1.5x2", "invalid|(line 1)|pair!|1.5x2"},
        {"1x2e3", "invalid|(line 1)|pair!|1x2e3"},
        {"1x99999999999", "invalid|(line 1)|pair!|1x99999999999"},
        {"Ah", "invalid|(line 1)|word!|Ah"},
        {"1h", "invalid|(line 1)|integer!|1h"},
        {"123456789h", "invalid|(line 1)|integer!|123456789h"},
        {"-1Fh", "invalid|(line 1)|integer!|-1Fh"},
        {"1e400", "invalid|(line 1)|float!|1e400"},
        {"1.e5", "invalid|(line 1)|float!|1.e5"},
        {"1.#XYZ", "invalid|(line 1)|float!|1.#XYZ"},
        {"12:30:", "invalid|(line 1)|time!|12:30:"},
        {"1:2:3:4", "invalid|(line 1)|time!|1:2:3:4"},
        {"1:2.3.4", "invalid|(line 1)|time!|1:2.3.4"},
        {"(1, 2, 3, 4)", "invalid|(line 1)|point3D!|(1, 2, 3, 4)"},
        {"(1 2, 3)", "invalid|(line 1)|point2D!|(1 2, 3)"},
        {"(1, )", "invalid|(line 1)|point2D!|(1, )"},
        {"1,2", "invalid|(line 1)|point2D!|,2"},
        // money
        {"$", "invalid|(line 1)|money!|$"},
        {"$1.", "invalid|(line 1)|money!|$1."},
        {"$1''0", "invalid|(line 1)|money!|$1''0"},
        {"$1'", "invalid|(line 1)|money!|$1'"},
        {"$1.0'0", "invalid|(line 1)|money!|$1.0'0"},
        {"AB$1", "invalid|(line 1)|money!|AB$1"},
        {"XYZ$1", "invalid|(line 1)|money!|XYZ$1"},
        {"$1.123456", "invalid|(line 1)|money!|$1.123456"},
        {"$123456789012345678", "invalid|(line 1)|money!|$123456789012345678"},
        // dates
        {"2024-02-30", "invalid|(line 1)|date!|2024-02-30"},
        {"29-Feb-2023", "invalid|(line 1)|date!|29-Feb-2023"},
        {"1-Ju-2024", "invalid|(line 1)|date!|1-Ju-2024"},
        {"1-Jan/2024", "invalid|(line 1)|date!|1-Jan/2024"},
        {"1-Jan-2024/24:00", "invalid|(line 1)|date!|1-Jan-2024/24:00"},
        {"1-Jan-2024/1:00+16:00", "invalid|(line 1)|date!|1-Jan-2024/1:00+16:00"},
        {"2024-W05-8", "invalid|(line 1)|date!|2024-W05-8"},
        {"2024-000", "invalid|(line 1)|date!|2024-000"},
        {"1-", "invalid|(line 1)|date!|1-"},
        // words and paths
        {"a/b/", "invalid|(line 1)|path!|/"},
        {"a/ b", "invalid|(line 1)|path!|a/ b"},
        {"[x a/ b]", "invalid|(line 1)|path!|a/ b]"},
        {"a/\"s\"c", "invalid|(line 1)|path!|c"},
        {"a/1:/c", "invalid|(line 1)|path!|:/c"},
        {"a/b:/c", "invalid|(line 1)|word!|b:/c"},
        {"a/b:c", "invalid|(line 1)|word!|b:c"},
        {":a:", "invalid|(line 1)|word!|:a:"},
        {"'a:", "invalid|(line 1)|lit-word!|'a:"},
        {"'a:b", "invalid|(line 1)|lit-word!|'a:b"},
        {":a:b", "invalid|(line 1)|get-word!|:a:b"},
        {"a,b", "invalid|(line 1)|word!|a,b"},
        {"#", "invalid|(line 1)|issue!|#"},
        {"x\xC0y", "invalid|(line 1)|word!|x\xEF\xBF\xBDy"},
        {"ab\x80", "invalid|(line 1)|word!|ab\xEF\xBF\xBD"},
        // strings, chars and the like
        {"\"abc", "invalid|(line 1)|string!|\"abc"},
        {"\"ab\ncd\"", "invalid|(line 1)|string!|\"ab"},
        {"{abc", "invalid|(line 1)|string!|{abc"},
        {"{a{b}", "invalid|(line 1)|string!|{a{b}"},
        {"\"^(110000)\"", "invalid|(line 1)|string!|^(110000)\""},
        {"\"^(zz)\"", "invalid|(line 1)|string!|^(zz)\""},
        {"\"a\x80\"", "invalid|(line 1)|string!|a\xEF\xBF\xBD\""},
        {"%{abc}%%", "invalid|(line 1)|string!|%{abc}%%"},
        {"%%{abc}% x", "invalid|(line 1)|string!|%%{abc}% x"},
        {"#\"\"", "invalid|(line 1)|char!|#\"\""},
        {"#\"ab\"", "invalid|(line 1)|char!|#\"ab\""},
        {"#\"^(110000)\"", "invalid|(line 1)|char!|#\"^(110000)\""},
        {"<tag", "invalid|(line 1)|tag!|<tag"},
        {"#{123}", "invalid|(line 1)|binary!|#{123}"},
        {"#{12 G3}", "invalid|(line 1)|binary!|#{12 G3}"},
        {"64#{A===}", "invalid|(line 1)|binary!|64#{A===}"},
        {"64#{AB}", "invalid|(line 1)|binary!|64#{AB}"},
        {"2#{0101}", "invalid|(line 1)|binary!|2#{0101}"},
        {"24#{00}", "invalid|(line 1)|binary!|24#{00}"},
        {"#[a 1 b]", "invalid|(line 1)|map!|#[a 1 b]"},
        {"#[[a] 1]", "invalid|(line 1)|map!|#[[a] 1]"},
        {"#(tru)", "malconstruct|(line 1)|#(tru)"},
        {"#(truex)", "malconstruct|(line 1)|#(truex)"},
        {"#(none!)", "malconstruct|(line 1)|#(none!)"},
        // stray bytes, line numbers, near text limits
        {"}", "bad-char|(line 1)|}"},
        {"a \\b", "bad-char|(line 1)|\\b"},
        {"a\nb\r\n\n  }", "bad-char|(line 4)|}"},
        {"1''0 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "invalid|(line 1)|integer!|1''0 aaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"1''0\nnext line", "invalid|(line 1)|integer!|1''0"},
    };
    for (const Case& c : cases) EXPECT_EQ(describe(error_of(c.source)), c.error) << c.source;
}

// The values made before an error are dropped, and the next scan starts clean.
TEST_F(LexerErrors, AScanAfterAnErrorStartsClean) {
    EXPECT_EQ(error_of("[a [b c").id, "missing");
    EXPECT_EQ(molded("[d]"), "[d]");
    EXPECT_EQ(error_of("a/b/").id, "invalid");
    EXPECT_EQ(molded("x/y"), "x/y");
}

}  // namespace
}  // namespace zel::test::lex
