// Lexer callbacks: the events and their arguments, the event mask, what a
// false answer does to each event, a callback that moves the input, changes
// a binary being scanned or starts a scan of its own. The callback is a C++
// function behind the lexer's callback hook, as the interpreter installs it.
#include <functional>
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test::lex {
namespace {

struct Seen {
    std::string event;
    uint32_t index;  // the input's index
    int32_t type;    // datatype id, -n for token name n, 0 for none
    int32_t line;
    int32_t x, y;    // the token's start and end (1-based), when no value was given
    uint32_t value_type;
};

std::vector<Seen> seen;
std::function<bool(const Seen&, Cell* args)> answer;
Cell spec;

std::string name_of_word(const Cell& w) {
    uint32_t n = 0;
    const uint8_t* p = symbol::name_bytes(w.w2, &n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

bool call(const Cell*, Cell* args) {
    Seen s{};
    s.event = name_of_word(args[0]);
    s.index = args[1].w1;
    s.type = cell::type(&args[2]) == TYPE_DATATYPE ? static_cast<int32_t>(args[2].w1)
             : cell::type(&args[2]) == TYPE_INTEGER ? -cell::get_int(&args[2])
                                                     : 0;
    s.line = cell::get_int(&args[3]);
    if (cell::type(&args[4]) == TYPE_PAIR) {
        s.x = static_cast<int32_t>(args[4].w2);
        s.y = static_cast<int32_t>(args[4].w3);
    } else {
        s.value_type = cell::type(&args[4]);
    }
    seen.push_back(s);
    return answer ? answer(s, args) : true;
}

void spec_of(const Cell*, Cell* out) { *out = spec; }

// Token names stand in as integers here, so a test can read the number.
void token_name(int32_t n, Cell* out) { set_integer(out, n); }

Cell word_cell(const char* name) {
    Cell w;
    return *word::make_at(symbol::make(name), &w);
}

class LexerEvents : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        lexer::set_callback_hook({call, spec_of, token_name});
        seen.clear();
        answer = nullptr;
        set_none(&spec);
        set_integer(&callback, 1);  // any value but none! names a callback
    }
    void TearDown() override {
        lexer::set_callback_hook({});
        answer = nullptr;
        RuntimeTest::TearDown();
    }
    // Loads a string with the callback; the result block (or none!).
    Cell trace(const std::string& source, int32_t* type = nullptr) {
        Cell src = text::make(source);
        Cell out;
        int32_t t = lexer::load_string(&out, &src, -1, false, true, true, false, nullptr, &callback, nullptr);
        if (type) *type = t;
        return out;
    }
    // The same over bytes, the input being a binary! of them.
    Cell trace_bytes(const std::string& bytes) {
        Cell bin = binary_of(bytes);
        Cell out;
        lexer::scan(&out, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()), false,
                    true, true, false, nullptr, &callback, &bin, nullptr);
        return out;
    }
    std::string events() {
        std::string s;
        for (const Seen& e : seen) s += e.event + " ";
        return s;
    }
    Cell callback;
};

TEST_F(LexerEvents, EventsAndTheirArguments) {
    Cell out = trace("a\n[b]");
    EXPECT_EQ(blocks::mold(out), "[a\n[b]]");
    EXPECT_EQ(events(), "prescan scan load prescan open prescan scan load prescan close ");
    const Seen expected[] = {
        {"prescan", 1, TYPE_WORD, 1, 1, 2, 0},  {"scan", 1, TYPE_WORD, 1, 1, 2, 0},
        {"load", 1, TYPE_WORD, 1, 0, 0, TYPE_WORD},
        {"prescan", 2, -3, 2, 3, 4, 0},  // a typeless token: its start; token name 3 ([)
        {"open", 2, TYPE_BLOCK, 2, 3, 4, 0}, {"prescan", 4, TYPE_WORD, 2, 4, 5, 0},
        {"scan", 4, TYPE_WORD, 2, 4, 5, 0},  {"load", 4, TYPE_WORD, 2, 0, 0, TYPE_WORD},
        {"prescan", 4, -4, 2, 5, 6, 0},      {"close", 5, TYPE_BLOCK, 2, 5, 6, 0},
    };
    ASSERT_EQ(seen.size(), std::size(expected));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].event, expected[i].event) << i;
        EXPECT_EQ(seen[i].index, expected[i].index) << i;
        EXPECT_EQ(seen[i].type, expected[i].type) << i;
        EXPECT_EQ(seen[i].line, expected[i].line) << i;
        EXPECT_EQ(seen[i].x, expected[i].x) << i;
        EXPECT_EQ(seen[i].y, expected[i].y) << i;
        EXPECT_EQ(seen[i].value_type, expected[i].value_type) << i;
    }
}

TEST_F(LexerEvents, IndexesCountCharactersOfAStringAndBytesOfABinary) {
    spec = blocks::B({blocks::B({word_cell("load")})});
    trace("\xC3\xA9 x");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].index, 3u);
    seen.clear();
    Cell bin = binary_of("\xC3\xA9 x");
    lexer::TranscodeArgs a{.source = &bin, .trace = &callback};
    Cell result;
    lexer::transcode(&result, a);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].index, 4u);
}

TEST_F(LexerEvents, TheMaskComesFromTheFirstBlockOfTheSpec) {
    spec = blocks::B({blocks::B({word_cell("load"), word_cell("open"), word_cell("other")}), word_cell("event")});
    trace("a [b]");
    EXPECT_EQ(events(), "load open load ");
    seen.clear();
    spec = blocks::B({word_cell("event"), blocks::B({word_cell("load")})});  // not first: every event
    trace("a");
    EXPECT_EQ(events(), "prescan scan load ");
}

TEST_F(LexerEvents, FalseAnswers) {
    // load: the value is dropped
    answer = [](const Seen& s, Cell*) { return !(s.event == "load" && s.index == 3); };
    EXPECT_EQ(blocks::mold(trace("a b c")), "[a c]");
    // scan: the value is not loaded
    answer = [](const Seen& s, Cell*) { return !(s.event == "scan" && s.type == TYPE_INTEGER); };
    EXPECT_EQ(blocks::mold(trace("a 1 b 2")), "[a b]");
    // prescan: the token is skipped
    answer = [](const Seen& s, Cell*) { return !(s.event == "prescan" && s.type == TYPE_STRING); };
    EXPECT_EQ(blocks::mold(trace("a \"x\" b")), "[a b]");
    // error: the failing token is dropped and nothing is raised
    answer = [](const Seen& s, Cell*) { return s.event != "error"; };
    EXPECT_EQ(blocks::mold(trace("1 1''2 3 [x 1.2.3.]")), "[1 3 [x]]");
    // open: the block is not opened, its values join the enclosing one
    answer = [](const Seen& s, Cell*) { return s.event != "open"; };
    EXPECT_EQ(text::raised([&] { trace("a [b] c"); }).id, "missing");
}

TEST_F(LexerEvents, ATrueAnswerToAnErrorRaisesIt) {
    answer = [](const Seen&, Cell*) { return true; };
    EXPECT_EQ(text::raised([&] { trace("a 1''2"); }).id, "invalid");
    EXPECT_EQ(seen.back().event, "error");
    EXPECT_EQ(seen.back().type, TYPE_INTEGER);
}

// Refusing an error without moving the input would scan the same bytes
// forever: the error is raised instead.
TEST_F(LexerEvents, RefusingAStrayByteWithoutMovingOnRaises) {
    answer = [](const Seen& s, Cell*) { return s.event != "error"; };
    EXPECT_EQ(text::raised([&] { trace("a } b"); }).id, "bad-char");
    EXPECT_EQ(text::raised([&] { trace("a/ b"); }).id, "invalid");
    // A callback that moves past the byte goes on.
    answer = [](const Seen& s, Cell* args) {
        if (s.event != "error") return true;
        ++args[1].w1;
        return false;
    };
    EXPECT_EQ(blocks::mold(trace("a } b")), "[a b]");
    EXPECT_EQ(blocks::mold(trace_bytes("a \xC0 b \x80\x80 c")), "[a b c]");
}

// Refusing every prescan skips every token, stray bytes and the input end
// included, and the scan still ends.
TEST_F(LexerEvents, RefusingEveryPrescanEnds) {
    answer = [](const Seen& s, Cell*) { return s.event != "prescan"; };
    EXPECT_EQ(blocks::mold(trace("a } [b] \"c\"")), "[]");
    EXPECT_EQ(blocks::mold(trace_bytes(std::string("x \xC0\0 y", 6))), "[]");
}

TEST_F(LexerEvents, MissingAtTheEndRefused) {
    answer = [](const Seen& s, Cell*) { return s.event != "error"; };
    int32_t type = -1;
    Cell out = trace("a [b", &type);
    EXPECT_EQ(cell::type(&out), TYPE_NONE);
    EXPECT_EQ(type, static_cast<int32_t>(TYPE_WORD));
    EXPECT_EQ(seen.back().type, TYPE_BLOCK);
}

TEST_F(LexerEvents, MovingTheInputSkipsText) {
    answer = [](const Seen& s, Cell* args) {
        if (s.event == "load" && s.index == 1) args[1].w1 = 4;  // past "b"
        return true;
    };
    EXPECT_EQ(blocks::mold(trace("a b c")), "[a c]");
}

TEST_F(LexerEvents, CommentsStringsAndPoints) {
    spec = blocks::B({blocks::B({word_cell("scan"), word_cell("open"), word_cell("close")})});
    trace("; note\n{x {y}} (1, 2)");
    EXPECT_EQ(events(), "scan open close scan scan ");
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].type, -12);  // a comment reports the twelfth token name
    EXPECT_EQ(seen[1].type, TYPE_STRING);
    EXPECT_EQ(seen[1].x, 8);
    EXPECT_EQ(seen[3].type, TYPE_STRING);
    EXPECT_EQ(seen[3].line, 2);
    // The point's token starts at its (, though the scanner starts after it.
    EXPECT_EQ(seen[4].type, TYPE_POINT2D);
    EXPECT_EQ(seen[4].x, 16);
    EXPECT_EQ(seen[4].y, 22);
}

// A callback may change and grow the binary being scanned: the scan goes on
// over the text as it was.
TEST_F(LexerEvents, ABinaryChangedByTheCallback) {
    Cell bin = binary_of("aa bb cc");
    answer = [&](const Seen& s, Cell*) {
        if (s.event == "load") {
            SeriesBuffer* b = series::buffer_of(&bin);
            std::memset(b->data() + b->head, '!', b->tail - b->head);
            series::grow_tail(bin.w2, 100000);  // moves the buffer
        }
        return true;
    };
    lexer::TranscodeArgs a{.source = &bin, .trace = &callback};
    Cell result;
    lexer::transcode(&result, a);
    EXPECT_EQ(blocks::mold(result), "[aa bb cc]");
}

// A callback may start a scan of its own.
TEST_F(LexerEvents, NestedScans) {
    std::vector<std::string> inner;
    answer = [&](const Seen& s, Cell*) {
        if (s.event == "load" && inner.size() < 3) {
            lexer::set_callback_hook({});
            inner.push_back(molded("[x y] z"));
            lexer::set_callback_hook({call, spec_of, token_name});
        }
        return true;
    };
    EXPECT_EQ(blocks::mold(trace("a [b c] d")), "[a [b c] d]");
    EXPECT_EQ(inner, (std::vector<std::string>{"[x y] z", "[x y] z", "[x y] z"}));
}

TEST_F(LexerEvents, WithoutAnInterpreterACallbackIsNotDone) {
    lexer::set_callback_hook({});
    EXPECT_EQ(text::raised([&] { trace("a"); }).id, "not-done");
}

}  // namespace
}  // namespace zel::test::lex
