// The scan modes (load all, one value, scan one token, prescan), how far a
// scan goes, the one-value loaders, the word-name scanner, deep nesting,
// and the transcode native's work.
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test::lex {
namespace {

class LexerModes : public RuntimeTest {};

struct Result {
    int32_t type;
    int32_t consumed;
    Cell out;
};

// A scan of UTF-8 text in the given mode.
Result run(const std::string& text, bool one, bool not_prescan, bool load) {
    Result r{};
    set_unset(&r.out);
    r.type = lexer::scan(&r.out, reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), one,
                         not_prescan, load, false, &r.consumed, nullptr, nullptr, nullptr);
    return r;
}

TEST_F(LexerModes, OneValue) {
    struct Case {
        const char* text;
        const char* molded;
        int32_t consumed;
    } cases[] = {
        {"1 2 3", "1", 1},        {"  [1 2] 3", "[1 2]", 7}, {"a/b c", "a/b", 3},   {"a/b: 1", "a/b:", 4},
        {"{abc} 1", "\"abc\"", 5}, {"(1, 2) x", "", 6},       {"#[a 1] b", "", 6},    {"#(true) 1", "true", 7},
        {"\n  x y", "x", 4},
        {"'a/(b)/c d", "'a/(b)/c", 8},
    };
    for (const Case& c : cases) {
        Result r = run(c.text, true, true, true);
        EXPECT_EQ(r.consumed, c.consumed) << c.text;
        if (*c.molded) {
            EXPECT_EQ(blocks::mold(r.out), c.molded) << c.text;
        }
    }
    // Nothing to load: an empty block.
    for (const char* text : {"", "   ", "; only a comment"}) {
        Result r = run(text, true, true, true);
        EXPECT_EQ(r.type, 0) << text;
        EXPECT_EQ(blocks::mold(r.out), "[]") << text;
    }
}

TEST_F(LexerModes, ScanOneToken) {
    struct Case {
        const char* text;
        uint32_t type;
        int32_t consumed;
    } cases[] = {
        {"1 2", TYPE_INTEGER, 1},   {"[1 2] x", TYPE_BLOCK, 5}, {"a/b", TYPE_PATH, 3},      {"%a", TYPE_FILE, 2},
        {"a: 1", TYPE_SET_WORD, 2}, {"#[a 1]", TYPE_MAP, 6},    {"1''2", TYPE_ERROR, 4},    {"[1 2", TYPE_ERROR, 4},
        {"\"abc", TYPE_ERROR, 4},   {"{a} b", TYPE_STRING, 3},  {"(1, 2)", TYPE_POINT2D, 6}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        Result r = run(c.text, true, true, false);
        EXPECT_EQ(r.type, static_cast<int32_t>(c.type)) << c.text;
        EXPECT_EQ(r.consumed, c.consumed) << c.text;
    }
    // A failed scan leaves none! in the output and raises nothing.
    Result r = run("[1 2", true, true, false);
    EXPECT_EQ(cell::type(&r.out), TYPE_NONE);
}

TEST_F(LexerModes, Prescan) {
    struct Case {
        const char* text;
        uint32_t type;
    } cases[] = {
        {"1''2 x", TYPE_INTEGER},  // values are only classified
        {"[1 2] 3", TYPE_BLOCK},   {"[1 \"a]\" 2]", TYPE_BLOCK}, {"{a [b} c", TYPE_STRING},
        {"[1 2", TYPE_ERROR},      {"\"abc", TYPE_ERROR},        {"a/b c", TYPE_PATH},
    };
    for (const Case& c : cases) {
        Result r = run(c.text, true, false, true);
        EXPECT_EQ(r.type, static_cast<int32_t>(c.type)) << c.text;
    }
    Result r = run("[1 2", true, false, true);
    EXPECT_EQ(cell::type(&r.out), TYPE_NONE);
}

TEST_F(LexerModes, LoadValue) {
    Cell slot;
    Cell two = text::make("12 34");
    Cell* v = lexer::load_value(&two, &slot);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(blocks::mold(*v), "12");
    Cell empty = text::make("  ");
    v = lexer::load_value(&empty, &slot);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(cell::type(v), TYPE_UNSET);
    // From the string's index, wide units included.
    Cell wide = text::make("x \xE2\x82\xAC 5");
    wide.w1 = 2;
    v = lexer::load_value(&wide, &slot);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(cell::type(v), TYPE_WORD);
    EXPECT_EQ(blocks::mold(*v), "\xE2\x82\xAC");
    Cell bad = text::make("[a");
    EXPECT_EQ(text::raised([&] { lexer::load_value(&bad, &slot); }).id, "missing");
}

TEST_F(LexerModes, WordNames) {
    struct Case {
        const char* name;
        uint32_t type;
        uint32_t start, length;
    } cases[] = {
        {"abc", TYPE_WORD, 0, 3},       {"abc:", TYPE_SET_WORD, 0, 3}, {":abc", TYPE_GET_WORD, 1, 3},
        {"'a", TYPE_LIT_WORD, 1, 1},    {"/ref", TYPE_REFINEMENT, 1, 3}, {"#iss", TYPE_ISSUE, 1, 3},
        {"+", TYPE_WORD, 0, 1},         {"a b", 0, 0, 0},              {"12", 0, 0, 0},
        {"a/b", 0, 0, 0},               {"", 0, 0, 0},                 {" a", 0, 0, 0},
        {"\xC2\xA0" "a", 0, 0, 0},      {"a:b", 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t start = 99, length = 99;
        uint32_t type = lexer::scan_word_name(reinterpret_cast<const uint8_t*>(c.name),
                                              static_cast<uint32_t>(std::strlen(c.name)), &start, &length);
        EXPECT_EQ(type, c.type) << c.name;
        if (c.type) {
            EXPECT_EQ(start, c.start) << c.name;
            EXPECT_EQ(length, c.length) << c.name;
        }
    }
}

TEST_F(LexerModes, DeepNestingAndManyValues) {
    // The scanner does not recurse: deep nesting costs no machine stack.
    const int depth = 200000;
    std::string open(depth, '[');
    EXPECT_EQ(error_of(open).id, "missing");
    Cell b = load(open + std::string(depth, ']'));
    int levels = 0;
    for (Cell c = b; cell::type(&c) == TYPE_BLOCK && !cells(c).empty(); c = cells(c)[0]) ++levels;
    EXPECT_EQ(levels, depth);
    std::string many;
    for (int i = 0; i < 5000; ++i) many += std::to_string(i) + " ";
    std::vector<Cell> v = cells(load(many));
    ASSERT_EQ(v.size(), 5000u);
    EXPECT_EQ(cell::get_int(&v[4999]), 4999);
}

// A string input larger than the shared UTF-8 buffer gets its own.
TEST_F(LexerModes, LongStringInput) {
    std::string big;
    for (int i = 0; i < 30000; ++i) big += "\xE2\x82\xAC ";
    Cell str = text::make(big);
    Cell out;
    int32_t consumed = 0;
    lexer::load_string(&out, &str, -1, false, true, true, false, &consumed, nullptr, nullptr);
    EXPECT_EQ(cells(out).size(), 30000u);
    EXPECT_EQ(consumed, 60000);
}

// ---- transcode ----

Cell run_transcode(lexer::TranscodeArgs a) {
    Cell result;
    lexer::transcode(&result, a);
    return result;
}

TEST_F(LexerModes, TranscodeStringAndBinary) {
    Cell src = text::make("1 [a] \"x\"");
    EXPECT_EQ(blocks::mold(run_transcode({.source = &src})), "[1 [a] \"x\"]");
    Cell bin = binary_of("\xEF\xBB\xBF" "a b");  // the byte-order mark is skipped
    EXPECT_EQ(blocks::mold(run_transcode({.source = &bin})), "[a b]");
    Cell at_tail = text::make("a");
    at_tail.w1 = 7;  // an index past the tail is clamped
    EXPECT_EQ(blocks::mold(run_transcode({.source = &at_tail})), "[]");
}

TEST_F(LexerModes, TranscodeNextAndOne) {
    Cell src = text::make("1 2");
    Cell r = run_transcode({.source = &src, .next = true});
    std::vector<Cell> v = cells(r);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(cell::get_int(&v[0]), 1);
    EXPECT_EQ(text::utf8(v[1]), " 2");
    Cell first = run_transcode({.source = &src, .one = true});
    EXPECT_EQ(cell::get_int(&first), 1);
    // The rest of a text counts characters; of a binary, bytes.
    Cell wide = text::make("\xC3\xA9t\xC3\xA9 x");
    v = cells(run_transcode({.source = &wide, .next = true}));
    EXPECT_EQ(v[1].w1, 3u);
    Cell bin = binary_of("\xC3\xA9t\xC3\xA9 x");
    v = cells(run_transcode({.source = &bin, .next = true}));
    EXPECT_EQ(v[1].w1, 5u);
}

TEST_F(LexerModes, TranscodePart) {
    Cell src = text::make("123 456");
    Cell n;
    set_integer(&n, 3);
    EXPECT_EQ(blocks::mold(run_transcode({.source = &src, .part = &n})), "[123]");
    set_integer(&n, -5);
    EXPECT_EQ(blocks::mold(run_transcode({.source = &src, .part = &n})), "[]");
    set_integer(&n, 1000);  // clamped to the input
    EXPECT_EQ(blocks::mold(run_transcode({.source = &src, .part = &n})), "[123 456]");
    Cell pos = src;
    pos.w1 = 5;
    EXPECT_EQ(blocks::mold(run_transcode({.source = &src, .part = &pos})), "[123 4]");
    Cell bin = binary_of("9 8 7");
    set_integer(&n, 3);
    EXPECT_EQ(blocks::mold(run_transcode({.source = &bin, .part = &n})), "[9 8]");
    Cell wrong;
    set_none(&wrong);
    EXPECT_EQ(text::raised([&] { run_transcode({.source = &src, .part = &wrong}); }).id, "not-same-type");
    EXPECT_EQ(text::raised([&] { run_transcode({.source = &bin, .part = &pos}); }).id, "not-same-type");
}

TEST_F(LexerModes, TranscodeScanPrescanAndInto) {
    Cell src = text::make("12 x");
    Cell r = run_transcode({.source = &src, .scan = true});
    EXPECT_EQ(cell::type(&r), TYPE_DATATYPE);
    EXPECT_EQ(r.w1, static_cast<uint32_t>(TYPE_INTEGER));
    Cell empty = text::make("");
    r = run_transcode({.source = &empty, .scan = true});
    EXPECT_EQ(cell::type(&r), TYPE_NONE);
    Cell bad = text::make("[1");
    r = run_transcode({.source = &bad, .prescan = true});
    EXPECT_EQ(r.w1, static_cast<uint32_t>(TYPE_ERROR));
    r = run_transcode({.source = &bad, .scan = true});
    EXPECT_EQ(r.w1, static_cast<uint32_t>(TYPE_ERROR));
    std::vector<Cell> v = cells(run_transcode({.source = &src, .next = true, .scan = true}));
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].w1, static_cast<uint32_t>(TYPE_INTEGER));
    EXPECT_EQ(v[1].w1, 2u);
    Cell into = blocks::B({blocks::I(0)});
    r = run_transcode({.source = &src, .into = &into});
    EXPECT_EQ(blocks::mold(r), "[0 12 x]");
}

// An error raised while loading into a block leaves the values made before
// it there, open blocks closed, so that they can be looked at.
TEST_F(LexerModes, IntoKeepsTheValuesBeforeAnError) {
    Cell src = text::make("a b [c (d 1''2 e]");
    Cell into = blocks::B({});
    EXPECT_EQ(text::raised([&] { run_transcode({.source = &src, .into = &into}); }).id, "invalid");
    EXPECT_EQ(blocks::mold(into), "[a b [c (d)]]");
}

}  // namespace
}  // namespace zel::test::lex
