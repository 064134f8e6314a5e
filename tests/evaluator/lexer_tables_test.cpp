// The lexer's tables checked against their description: every row of the
// transition table as "the usual target, then the exceptions" (the notation
// the tables were designed in), the byte classes and their flags, and the
// datatype of every token type and of every state's error. A slip in one
// cell of the 65 x 40 table shows up here as the row and class it is in.
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include "runtime/cell.h"
#include "runtime/evaluator/lexer_tables.h"

namespace zel::lexer {
namespace {

const char* const LABELS[CLASS_COUNT] = {
    "blank", "LF", "1-9", "0", "[", "]", "(", ")", "{", "}", "\"", "#", "'", ":", "x", "T", "h", "e", "E", "hexl",
    "hexu", "/", "\\", "<", ">", "=", "%", ",", ";", "@", ".", "$", "+", "-", "^", "control", "cont", "other",
    "badlead", "NUL",
};

struct Row {
    int state;
    int usual;
    const char* exceptions;  // "labels → target · labels → target ..."
};

const Row ROWS[STATE_COUNT] = {
    {0, 52, "blank LF control → 0 · ; → 1 · \" → 2 · % → 6 · / → 13 · # → 16 · 1-9 0 → 23 · $ → 36 · E hexu → 40 · < → 43 · + - → 47 · . → 49 · ' : → 51 · @ → 57 · = → 58 · NUL → 66 · } \\ cont badlead → 67 · [ → 68 · ] → 69 · ( → 70 · ) → 71 · { → 72 · , → 78"},
    {1, 1, "badlead → 67 · LF NUL → 77"},
    {2, 2, "^ → 3 · LF badlead NUL → 67 · \" → 79"},
    {3, 2, "badlead NUL → 67"},
    {4, 4, "^ → 5 · badlead NUL → 67 · { → 72 · } → 73"},
    {5, 4, "badlead NUL → 67"},
    {6, 7, "\" → 8 · % → 9 · { → 10 · : → 54 · badlead → 67 · blank LF [ ] ( ) } ; @ control NUL → 80"},
    {7, 7, "\" badlead → 67 · blank LF [ ] ( ) { } : ; @ NUL → 85"},
    {8, 8, "LF badlead NUL → 67 · \" → 85"},
    {9, 7, "% → 9 · { → 10 · badlead → 67 · blank LF [ ] ( ) } \" \\ ; control NUL → 80"},
    {10, 10, "} → 11 · badlead NUL → 67"},
    {11, 10, "} → 11 · % → 12 · badlead NUL → 67"},
    {12, 67, "% → 12 · blank LF [ ] ( ) { \" < ; control NUL → 100"},
    {13, 14, "/ → 15 · : → 53 · , badlead → 67 · blank LF [ ] ( ) { } \" # ; @ control NUL → 80"},
    {14, 14, ": , badlead → 67 · blank LF [ ] ( ) { } \" / ; @ control NUL → 83"},
    {15, 52, "/ → 15 · % , $ badlead → 67 · blank LF [ ] ( ) { } \" # ; @ control NUL → 80"},
    {16, 22, "{ → 17 · \" → 19 · ( → 21 · blank LF ] ) } : < > , badlead → 67 · [ → 74 · ; @ control NUL → 81"},
    {17, 67, "blank LF 1-9 0 x T h e E hexl hexu / = + other → 17 · ; → 18 · } → 86"},
    {18, 18, "LF → 17 · badlead NUL → 67"},
    {19, 19, "^ → 20 · badlead NUL → 67 · \" → 84"},
    {20, 19, "badlead NUL → 67"},
    {21, 21, "badlead NUL → 67 · ) → 76"},
    {22, 22, ": / badlead → 67 · blank LF [ ] ( ) { } \" ; @ control NUL → 81"},
    {23, 82, "# → 16 · 1-9 0 ' → 23 · . → 24 · e → 26 · E → 27 · T / - → 30 · : → 31 · x → 33 · hexu → 39 · h → 42 · @ → 56 · hexl \\ > = $ + ^ cont other badlead → 67 · % → 87"},
    {24, 67, "1-9 0 ' → 25 · e E → 26 · # → 28 · x → 33 · % → 87 · blank LF [ ] ( ) { } \" / < , ; control NUL → 88"},
    {25, 88, "1-9 0 ' → 25 · e E → 26 · . → 29 · x → 33 · @ → 56 · # T h hexl hexu \\ > = $ + - ^ cont other badlead → 67 · % → 87"},
    {26, 67, "1-9 0 + - → 26 · @ → 56 · blank LF [ ] ( ) { } \" : / < , ; control NUL → 88"},
    {27, 88, "+ - → 26 · 1-9 0 → 27 · . → 29 · E hexu → 40 · h → 42 · @ → 56 · # ' x T e hexl \\ > = ; $ ^ cont other badlead → 67 · % → 87"},
    {28, 89, "x T h e E hexl hexu > = . + - cont other → 28 · # ' : % @ $ ^ badlead → 67 · 1-9 → 88"},
    {29, 67, "1-9 0 . → 29 · blank LF [ ] ( ) { } \" : / < ; control NUL → 90"},
    {30, 30, "% , @ ^ cont badlead → 67 · blank LF [ ] ( ) { } \" < ; $ control NUL → 91"},
    {31, 67, "1-9 0 → 32"},
    {32, 67, "1-9 0 : . → 32 · blank LF [ ] ( ) { } \" / < ; control NUL → 94"},
    {33, 67, "1-9 0 + - → 34 · @ → 56"},
    {34, 67, "1-9 0 e E . → 34 · @ → 56 · blank LF [ ] ( ) { } \" : / < ; control NUL → 92"},
    {35, 67, "blank 1-9 0 ] # e E hexl hexu , . + - other → 35 · ) → 93"},
    {36, 67, "1-9 0 → 37"},
    {37, 67, "1-9 0 ' → 37 · . → 38 · blank LF [ ] ( ) { } \" # : / < ; control NUL → 95"},
    {38, 67, "1-9 0 ' → 38 · blank LF [ ] ( ) { } \" # : / < ; control NUL → 95"},
    {39, 67, "1-9 0 E hexu → 39 · h → 41 · @ → 56"},
    {40, 80, "$ → 37 · 1-9 0 E hexu → 40 · h → 41 · ' x T e hexl < > = . + - ^ cont other → 52 · : → 53 · @ → 56 · % , badlead → 67 · / → 75"},
    {41, 52, "$ → 37 · : → 53 · @ → 56 · # % , badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" \\ ; control NUL → 99"},
    {42, 67, "$ → 37 · @ → 56 · / → 75 · blank LF [ ] ( ) { } \" \\ < ; control NUL → 99"},
    {43, 44, "< → 43 · ' → 46 · > = - → 52 · : → 53 · badlead → 67 · blank LF [ ] ( ) { } \" ; control NUL → 80"},
    {44, 44, "\" → 45 · ' → 46 · badlead NUL → 67 · > → 96"},
    {45, 45, "\" → 44 · badlead NUL → 67"},
    {46, 46, "' → 44 · badlead NUL → 67"},
    {47, 52, "1-9 0 → 23 · $ → 37 · . → 49 · ' % ^ badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" # \\ ; control NUL → 80"},
    {48, 52, "' % $ ^ badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" # \\ ; control NUL → 80"},
    {49, 52, "1-9 0 + - → 50 · : → 53 · @ → 56 · % , $ badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" # \\ ; control NUL → 80"},
    {50, 67, "x → 33 · 1-9 0 e E + - → 50 · @ → 56 · % → 87 · blank LF [ ] ( ) { } \" : / < control NUL → 88"},
    {51, 67, "/ → 13 · < → 43 · + - → 48 · x T h e E hexl hexu > . ^ cont other → 52 · % → 54 · = → 58"},
    {52, 52, "$ → 36 · : → 53 · @ → 56 · % , badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" # \\ < ; control NUL → 80"},
    {53, 55, "< badlead → 67 · blank LF [ ] ( ) { } \" \\ ; control NUL → 80"},
    {54, 67, "% → 54 · blank LF [ ] ( ) { } \\ ; control NUL → 80"},
    {55, 55, "> ^ badlead → 67 · blank LF [ ] ( ) { } \" \\ < ; control NUL → 97"},
    {56, 98, "1-9 0 x T h e E hexl hexu % . + - cont other → 56 · # ' : > = , @ $ ^ badlead → 67"},
    {57, 57, "# ' \\ > = , @ $ ^ badlead → 67 · blank LF [ ] ( ) { } \" < ; control NUL → 101"},
    {58, 52, "# % , @ $ badlead → 67 · / → 75 · blank LF [ ] ( ) { } \" : \\ ; control NUL → 80"},
    {59, 67, "\" → 2 · $ → 36 · < → 43 · @ → 57 · 1-9 0 → 60 · ' : → 61 · x T h e E hexl hexu > = . cont other → 62 · # → 63 · + - → 64 · ( → 70 · ) → 71"},
    {60, 67, ". → 24 · e E → 26 · x → 33 · @ → 56 · 1-9 0 ' → 60 · blank LF [ ] ( ) { } \" : / < ; control NUL → 82 · % → 87"},
    {61, 67, "x T h e E hexl hexu < > = . + - cont other → 62"},
    {62, 62, "$ → 36 · @ → 56 · # % , badlead → 67 · blank LF [ ] ( ) { } \" : / \\ ; control NUL → 80"},
    {63, 22, "\" → 19 · [ → 21 · blank LF ] ( ) { } : / < > = , ; @ control badlead NUL → 67"},
    {64, 80, "$ → 36 · @ → 56 · 1-9 0 → 60 · x T h e E hexl hexu > = . cont other → 62 · + - → 64 · # ' < % , ^ badlead → 67"},
};

// Splits on a multi-byte separator.
std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = s.find(sep, from)) != std::string::npos; from = at + sep.size())
        parts.push_back(s.substr(from, at - from));
    parts.push_back(s.substr(from));
    return parts;
}

// The row as the description gives it: 40 targets.
std::vector<int> described_row(const Row& r) {
    std::map<std::string, int> column;
    for (int c = 0; c < CLASS_COUNT; ++c) column[LABELS[c]] = c;
    std::vector<int> row(CLASS_COUNT, r.usual);
    std::vector<bool> seen(CLASS_COUNT, false);
    for (const std::string& item : split(r.exceptions, " · ")) {
        std::vector<std::string> sides = split(item, " → ");
        EXPECT_EQ(sides.size(), 2u) << "state " << r.state << ": " << item;
        int target = std::stoi(sides[1]);
        std::istringstream labels(sides[0]);
        for (std::string label; labels >> label;) {
            auto it = column.find(label);
            EXPECT_NE(it, column.end()) << "state " << r.state << ": unknown class " << label;
            if (it == column.end()) continue;
            EXPECT_FALSE(seen[it->second]) << "state " << r.state << ": class " << label << " given twice";
            seen[it->second] = true;
            row[it->second] = target;
        }
    }
    return row;
}

TEST(LexerTables, TransitionsMatchTheirDescriptionRowByRow) {
    for (const Row& r : ROWS) {
        ASSERT_GE(r.state, 0);
        ASSERT_LT(r.state, STATE_COUNT);
        std::vector<int> row = described_row(r);
        for (int c = 0; c < CLASS_COUNT; ++c)
            EXPECT_EQ(TRANSITIONS[r.state][c], row[c]) << "state " << r.state << ", class " << LABELS[c];
    }
}

// Termination: the input end (class NUL) ends a token from every state, and
// no transition leads to 65 or beyond 101.
TEST(LexerTables, EveryStateEndsATokenAtTheInputEnd) {
    for (int st = 0; st < STATE_COUNT; ++st) {
        EXPECT_GE(TRANSITIONS[st][C_NUL], TOKEN_FIRST) << "state " << st;
        for (int c = 0; c < CLASS_COUNT; ++c) {
            EXPECT_NE(TRANSITIONS[st][c], 65) << st << "," << c;
            EXPECT_LE(TRANSITIONS[st][c], TOKEN_LAST) << st << "," << c;
        }
    }
}

// The byte classes: a byte list per class, and the flag a class carries.
TEST(LexerTables, ByteClassesAndFlags) {
    std::vector<int> expected(256, -1);
    auto set = [&](int from, int to, int cls) {
        for (int b = from; b <= to; ++b) expected[b] = cls;
    };
    set('\t', '\t', C_BLANK), set('\r', '\r', C_BLANK), set(' ', ' ', C_BLANK), set('\n', '\n', C_LF);
    set('1', '9', C_DIGIT), set('0', '0', C_ZERO);
    const char* single = "[](){}\"#':";
    const Class singles[] = {C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN, C_BRACE_CLOSE,
                             C_DQUOTE, C_SHARP, C_QUOTE, C_COLON};
    for (int i = 0; single[i]; ++i) set(single[i], single[i], singles[i]);
    set('x', 'x', C_X), set('X', 'X', C_X), set('T', 'T', C_T), set('h', 'h', C_H), set('e', 'e', C_E_LOW);
    set('E', 'E', C_E_UP), set('a', 'd', C_HEX_LOW), set('f', 'f', C_HEX_LOW), set('A', 'D', C_HEX_UP);
    set('F', 'F', C_HEX_UP);
    const char* more = "/\\<>=%,;@.$+-^";
    const Class mores[] = {C_SLASH, C_BACKSLASH, C_LESSER, C_GREATER, C_EQUAL, C_PERCENT, C_COMMA, C_SEMICOLON,
                           C_AT, C_POINT, C_DOLLAR, C_PLUS, C_MINUS, C_CARET};
    for (int i = 0; more[i]; ++i) set(more[i], more[i], mores[i]);
    set(0x01, 0x08, C_CONTROL), set(0x0B, 0x0C, C_CONTROL), set(0x0E, 0x1F, C_CONTROL);
    set(0x7F, 0xBF, C_CONT);
    for (const char* o = "!&*?_~`|"; *o; ++o) set(*o, *o, C_OTHER);
    set('G', 'S', C_OTHER), set('U', 'W', C_OTHER), set('Y', 'Z', C_OTHER), set('g', 'g', C_OTHER);
    set('i', 'w', C_OTHER), set('y', 'z', C_OTHER), set(0xC2, 0xF7, C_OTHER);
    set(0xC0, 0xC1, C_BADLEAD), set(0xF8, 0xFF, C_BADLEAD), set(0, 0, C_NUL);
    for (int b = 0; b < 256; ++b) {
        ASSERT_NE(expected[b], -1) << "byte " << b << " has no class in the description";
        EXPECT_EQ(static_cast<int>(class_of(static_cast<uint8_t>(b))), expected[b]) << "byte " << b;
    }
    std::map<int, uint32_t> flags = {
        {'#', 0x800000}, {'\'', 0x2000000}, {':', 0x4000000}, {'e', 0x1000000}, {'E', 0x1000000}, {'<', 0x100000},
        {'>', 0x80000}, {'%', 0x40000}, {',', 0x8000000}, {'.', 0x10000000}, {'+', 0x200000}, {'-', 0x200000},
        {'^', 0x20000000}, {0, 0x400000},
    };
    for (int b = 0xC2; b <= 0xEF; ++b) flags[b] = 0x40000000;
    for (int b = 0xF0; b <= 0xF7; ++b) flags[b] = 0x80000000;
    for (int b = 0; b < 256; ++b) EXPECT_EQ(CLASSES[b] & ~0xFFu, flags.count(b) ? flags[b] : 0u) << "byte " << b;
}

TEST(LexerTables, SkipAndLineCounts) {
    for (uint32_t st = 0; st <= TOKEN_LAST; ++st) EXPECT_EQ(SKIP[st], st == 0 ? 1 : 0) << st;
    for (int c = 0; c < CLASS_COUNT; ++c) EXPECT_EQ(LINES[c], c == C_LF ? 1 : 0) << LABELS[c];
}

TEST(LexerTables, DatatypesOfTokensAndOfErrorsByState) {
    std::map<uint32_t, uint32_t> tokens = {
        {67, TYPE_ERROR}, {73, TYPE_STRING}, {79, TYPE_STRING}, {80, TYPE_WORD}, {81, TYPE_ISSUE},
        {82, TYPE_INTEGER}, {83, TYPE_REFINEMENT}, {84, TYPE_CHAR}, {85, TYPE_FILE}, {86, TYPE_BINARY},
        {87, TYPE_PERCENT}, {88, TYPE_FLOAT}, {89, TYPE_FLOAT}, {90, TYPE_TUPLE}, {91, TYPE_DATE}, {92, TYPE_PAIR},
        {93, TYPE_POINT2D}, {94, TYPE_TIME}, {95, TYPE_MONEY}, {96, TYPE_TAG}, {97, TYPE_URL}, {98, TYPE_EMAIL},
        {99, TYPE_INTEGER}, {100, TYPE_STRING}, {101, TYPE_REF},
    };
    for (uint32_t t = TOKEN_FIRST; t <= TOKEN_LAST; ++t) EXPECT_EQ(DATATYPES[t], tokens.count(t) ? tokens[t] : 0) << t;
    // The type an error in each state names.
    struct Group {
        uint32_t type;
        std::vector<int> states;
    };
    const Group groups[] = {
        {TYPE_STRING, {2, 3, 4, 5, 10, 11, 12}}, {TYPE_FILE, {6, 7, 8, 9}},
        {TYPE_WORD, {13, 15, 41, 47, 48, 49, 51, 52, 54, 58, 61, 62, 64}}, {TYPE_REFINEMENT, {14}},
        {TYPE_ISSUE, {16, 22, 63}}, {TYPE_BINARY, {17}}, {TYPE_CHAR, {19, 20}}, {TYPE_INTEGER, {23, 40, 42, 60}},
        {TYPE_FLOAT, {24, 25, 26, 27, 28, 50}}, {TYPE_TUPLE, {29}}, {TYPE_DATE, {30}}, {TYPE_TIME, {31, 32}},
        {TYPE_PAIR, {33, 34}}, {TYPE_POINT2D, {35}}, {TYPE_MONEY, {36, 37, 38}}, {TYPE_TAG, {43, 44, 45, 46}},
        {TYPE_SET_WORD, {53}}, {TYPE_URL, {55}}, {TYPE_EMAIL, {56}}, {TYPE_REF, {57}}, {TYPE_PATH, {59}},
        {0, {0, 1, 18, 21, 39}},
    };
    int covered = 0;
    for (const Group& g : groups) {
        for (int st : g.states) {
            EXPECT_EQ(DATATYPES[st], g.type) << "state " << st;
            ++covered;
        }
    }
    EXPECT_EQ(covered, STATE_COUNT);
}

TEST(LexerTables, HexDigits) {
    for (int b = 0; b < 256; ++b) {
        int v = b >= '0' && b <= '9' ? b - '0' : b >= 'A' && b <= 'F' ? b - 'A' + 10 : b >= 'a' && b <= 'f' ? b - 'a' + 10 : 0xFF;
        EXPECT_EQ(HEX_VALUES[b], v) << b;
    }
}

}  // namespace
}  // namespace zel::lexer
