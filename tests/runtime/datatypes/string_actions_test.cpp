// string! actions through the action table: make, to, compare, append,
// insert, change, find, select, sort, swap, take, trim, the set operations
// and paths.
#include <gtest/gtest.h>
#include <cstring>
#include "runtime/datatypes/string_actions.h"
#include "runtime/ownership.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel::test {
namespace {

using text::make;
using text::unit;
using text::utf8;
using text::integer;
using text::block_of;

Cell chr(uint32_t cp) { return Cell{TYPE_CHAR, 0, cp, 0}; }
// The text of the whole buffer, whatever the head.
std::string whole(Cell s) {
    s.w1 = 0;
    return utf8(s);
}

class StringActions : public RuntimeTest {};

TEST_F(StringActions, AppendAddsAtTheTailAndAnswersTheHead) {
    Cell s = make("xy");
    s.w1 = 1;
    Cell ab = make("ab");
    Cell* r = actions::append(&s, &ab, -1, false, 3);
    EXPECT_EQ(r->w1, 0u);
    EXPECT_EQ(utf8(*r), "xyababab");
    Cell e9 = chr(0xE9);
    actions::append(&s, &e9, -1, false, 1);
    EXPECT_EQ(unit(s), 2u);
    EXPECT_EQ(utf8(s), "xyababab\xC3\xA9");
    Cell part_of = make("12345");
    actions::append(&s, &part_of, 2, false, 1);
    EXPECT_EQ(utf8(s), "xyababab\xC3\xA9" "12");
    actions::append(&s, &s, -1, false, 1);  // a string appended to itself
    EXPECT_EQ(utf8(s), "xyababab\xC3\xA9" "12xyababab\xC3\xA9" "12");
}

TEST_F(StringActions, AppendFormsOtherValues) {
    Cell s = make("");
    Cell blk = block_of({make("ab"), chr('c'), make("de")});
    actions::append(&s, &blk, -1, false, 1);
    EXPECT_EQ(utf8(s), "abcde");
    Cell t = make("");
    actions::append(&t, &blk, 2, false, 1);  // /part counts elements
    EXPECT_EQ(utf8(t), "abc");
    Cell u = make("");
    actions::append(&u, &blk, 4, true, 1);  // /only: one budget of code points
    EXPECT_EQ(utf8(u), "abcd");
    Cell tag = make("b", TYPE_TAG);
    Cell v = make("");
    actions::append(&v, &tag, -1, false, 2);
    EXPECT_EQ(utf8(v), "<b><b>");
    Cell w = make("");
    actions::append(&w, &tag, 2, false, 1);  // "<" and ">" count against the part
    EXPECT_EQ(utf8(w), "<b");
}

TEST_F(StringActions, InsertAnswersJustPastTheInsertedText) {
    Cell s = make("abc");
    Cell xy = make("xy");
    Cell* r = actions::insert(&s, &xy, -1, false, 1);
    EXPECT_EQ(r->w1, 2u);
    EXPECT_EQ(whole(s), "xyabc");
    s.w1 = 3;
    actions::insert(&s, &xy, -1, false, 2);
    EXPECT_EQ(s.w1, 7u);
    EXPECT_EQ(whole(s), "xyaxyxybc");
    Cell wide = chr(0x1F600);
    s.w1 = 1;
    actions::insert(&s, &wide, -1, false, 1);
    EXPECT_EQ(unit(s), 4u);
    EXPECT_EQ(whole(s), "x\xF0\x9F\x98\x80yaxyxybc");
    // At the tail insert appends and answers the tail.
    s.w1 = static_cast<uint32_t>(string::rs_abs_length_q(&s));
    actions::insert(&s, &xy, -1, false, 1);
    EXPECT_EQ(s.w1, static_cast<uint32_t>(string::rs_abs_length_q(&s)));
    EXPECT_EQ(whole(s), "x\xF0\x9F\x98\x80yaxyxybcxy");
}

// Every code point of the buffer, whatever the head.
std::vector<uint32_t> code_points(const Cell& s) {
    std::vector<uint32_t> out;
    for (int32_t i = 0; i < string::rs_abs_length_q(&s); ++i)
        out.push_back(string::get_char_at(&s, static_cast<uint32_t>(i)));
    return out;
}

// A text of a unit holding the code points, its buffer either filled to the
// last byte (so that anything added must grow it) or with room to spare.
Cell text_of(std::vector<uint32_t> cps, uint32_t unit, bool full) {
    Cell c = text::of_units(cps, unit);
    if (!full) {
        series::expand_copy(series::buffer_of(&c), 256);
        return c;
    }
    SeriesBuffer* buf = series::buffer_of(&c);
    while (buf->tail + unit <= buf->size) {
        unicode::put_char(buf->tail_ptr(), unit, 'k');
        buf->tail += unit;
    }
    return c;
}

// One text added to another: the target's unit, head and room, the value's
// code points, unit and head, the /part count, and append or insert.
struct TextAdd {
    uint32_t tu;
    int32_t th;
    bool full;
    std::vector<uint32_t> cps;
    uint32_t su;
    int32_t sh, part;
    bool at_tail;

    std::string name() const {
        return "units " + std::to_string(tu) + "/" + std::to_string(su) + " heads " + std::to_string(th) + "/" +
               std::to_string(sh) + " part " + std::to_string(part) + " length " + std::to_string(cps.size()) +
               (at_tail ? " append" : " insert") + (full ? " full" : "");
    }

    // Runs the action and checks it against the same edit on code point lists.
    void check() const {
        Cell t = text_of({'a', 'b', 'c'}, tu, full);
        Cell v = text_of(cps, su, false);
        cell::set_type(&v, part == 3 ? TYPE_FILE : TYPE_STRING);
        t.w1 = static_cast<uint32_t>(th);
        v.w1 = static_cast<uint32_t>(sh);
        std::vector<uint32_t> expect = code_points(t);
        size_t from = std::min<size_t>(static_cast<size_t>(std::max(sh, 0)), cps.size());
        size_t n = part < 0 ? cps.size() - from : std::min<size_t>(cps.size() - from, static_cast<size_t>(part));
        size_t pos = at_tail ? expect.size() : std::min<size_t>(static_cast<size_t>(std::max(th, 0)), expect.size());
        auto first = cps.begin() + static_cast<std::ptrdiff_t>(from);
        expect.insert(expect.begin() + static_cast<std::ptrdiff_t>(pos), first, first + static_cast<std::ptrdiff_t>(n));
        Cell* r = at_tail ? actions::append(&t, &v, part, false, 1) : actions::insert(&t, &v, part, false, 1);
        EXPECT_EQ(code_points(t), expect) << name();
        EXPECT_EQ(r->w1, at_tail ? 0u : static_cast<uint32_t>(pos + n)) << name();
        // The target takes the value's unit when that is wider, even for an empty run.
        EXPECT_EQ(unit(t), std::max(tu, su)) << name();
        EXPECT_EQ(code_points(v), cps) << name();
    }
};

// Text added to text against a model on code point lists: every unit of
// target and value, heads before, inside and past the tail on both sides,
// /part counts, insert as well as append, and a target with and without room.
TEST_F(StringActions, TextAddedToTextFollowsTheModel) {
    std::vector<uint32_t> long_run = {'x', 'y', 0x1F600};
    for (uint32_t cp = 'a'; cp <= 'p'; ++cp) long_run.push_back(cp);
    const std::vector<uint32_t> values[] = {{}, {'x', 'y', 'z', 'w'}, {'x', 0x3B1, 'z', 'w'}, long_run};
    for (const auto& cps : values) {
        uint32_t needs = 1;
        for (uint32_t cp : cps) needs = std::max(needs, string::write_unit(cp));
        for (uint32_t tu : {1u, 2u, 4u})
            for (uint32_t su : {1u, 2u, 4u})
                for (int32_t sh : {-1, 0, 2, 30})
                    for (int32_t part : {-1, 0, 1, 3, 50})
                        for (int32_t th : {-2, 0, 1, 3, 1000})
                            for (int k = 0; k < 4 && su >= needs; ++k)
                                TextAdd{tu, th, (k & 1) != 0, cps, su, sh, part, k < 2}.check();
    }
}

TEST_F(StringActions, TextAddedFromItsOwnBuffer) {
    // The value is another position in the same buffer.
    Cell s = make("abcd");
    Cell tail_part = s;
    tail_part.w1 = 2;
    actions::append(&s, &tail_part, -1, false, 1);
    EXPECT_EQ(whole(s), "abcdcd");
    s.w1 = 1;
    actions::insert(&s, &tail_part, 3, false, 1);
    EXPECT_EQ(whole(s), "acdcbcdcd");
    EXPECT_EQ(s.w1, 4u);
}

TEST_F(StringActions, ManyShortAppendsGrowTheBufferByDoubling) {
    Cell s = make("");
    Cell ab = make("ab");
    Cell c = chr('c');
    uint32_t growths = 0;
    SeriesBuffer* last = series::buffer_of(&s);
    for (int i = 0; i < 3000; ++i) {
        actions::append(&s, &ab, -1, false, 1);
        actions::append(&s, &c, -1, false, 1);
        if (series::buffer_of(&s) != last) {
            ++growths;
            last = series::buffer_of(&s);
        }
    }
    std::string expect;
    for (int i = 0; i < 3000; ++i) expect += "abc";
    EXPECT_EQ(whole(s), expect);
    EXPECT_LE(growths, 12u);
}

// An owned text is told of every addition, before and after, whatever the
// value and however little room the change takes.
TEST_F(StringActions, OwnedTextsHearOfEveryAddition) {
    static std::vector<std::string> heard;
    heard.clear();
    struct Listening {
        Listening() {
            ownership::install({[](Cell*, ownership::Event e, const Cell*, int32_t index, int32_t part) {
                                    heard.push_back(std::string(ownership::event_name(e)) + " " +
                                                    std::to_string(index) + " " + std::to_string(part));
                                    return true;
                                },
                                nullptr, nullptr, nullptr});
        }
        ~Listening() { ownership::install({nullptr, nullptr, nullptr, nullptr}); }
    } listening;
    Cell s = make("abc");
    series::expand_copy(series::buffer_of(&s), 256);
    series::set_flag(s.w2, SERIES_OWNED);
    Cell xy = make("xy");
    Cell d = chr('d');
    actions::append(&s, &xy, -1, false, 1);
    actions::append(&s, &d, -1, false, 1);
    s.w1 = 1;
    actions::insert(&s, &xy, -1, false, 1);
    EXPECT_EQ(heard, (std::vector<std::string>{"append 3 0", "appended 3 2", "append 5 0", "appended 5 1",
                                               "insert 1 0", "inserted 1 2"}));
    EXPECT_EQ(whole(s), "axybcxyd");
}

TEST_F(StringActions, ChangeOverwritesAndMovesTheRest) {
    struct Case {
        const char* text;
        uint32_t head;
        const char* value;
        int32_t part, dup;
        const char* expected;
        uint32_t result_head;
    };
    const Case cases[] = {
        {"abcdef", 1, "XY", -1, 1, "aXYdef", 3},
        {"abcdef", 1, "X", 3, 1, "aXef", 2},
        {"abcdef", 1, "X", 0, 1, "aXbcdef", 2},
        {"abcdef", 4, "XYZ", -1, 1, "abcdXYZ", 7},   // replaces only what follows
        {"abcdef", 1, "XY", -1, 2, "aXYXYf", 5},
        {"abcdef", 1, "XY", 100, 1, "aXY", 3},
        {"abc", 3, "XY", -1, 1, "abcXY", 5},         // at the tail: appended
    };
    for (const Case& c : cases) {
        Cell s = make(c.text);
        s.w1 = c.head;
        Cell v = make(c.value);
        Cell* r = actions::change(&s, &v, c.part, false, c.dup);
        EXPECT_EQ(whole(*r), c.expected) << c.text << " " << c.value;
        EXPECT_EQ(r->w1, c.result_head) << c.text << " " << c.value;
    }
}

// One find: `flags` holds c (case), l (last), r (reverse), t (tail), m (match);
// `found` is the result's index, -1 for none.
struct FindCase {
    const char* text;
    uint32_t head;
    Cell value;
    const char* flags;
    int32_t part, skip, found;
};

TEST_F(StringActions, FindTable) {
    const std::vector<FindCase> cases = {
        {"abcABC", 0, make("bc"), "", -1, 0, 1},
        {"abcABC", 0, make("BC"), "c", -1, 0, 4},
        {"abcABC", 2, make("bc"), "", -1, 0, 4},
        {"abcABC", 0, chr('C'), "", -1, 0, 2},
        {"abcABC", 0, chr('C'), "c", -1, 0, 5},
        {"abcABC", 0, make("bc"), "l", -1, 0, 4},
        {"abcABC", 0, make("bc"), "t", -1, 0, 3},
        {"abcABC", 6, make("bc"), "r", -1, 0, 4},  // from the tail backward
        {"abcABC", 4, make("bc"), "r", -1, 0, 1},
        {"abcABC", 0, make("ab"), "m", -1, 0, 0},
        {"abcABC", 0, make("bc"), "m", -1, 0, -1},
        {"abcABC", 0, make("bc"), "rm", -1, 0, -1},
        {"abcABC", 0, make("C"), "", 3, 0, 2},
        {"abcABC", 0, make("C"), "c", 3, 0, -1},
        {"abcABC", 0, make("bc"), "", 2, 0, -1},  // the pattern would run past the limit
        {"abcABC", 0, make("A"), "c", -1, 2, -1}, // records start at a, c, B
        {"abcABC", 0, make("b"), "", -1, 2, 4},
        {"", 0, make("a"), "", -1, 0, -1},
        {"abc", 3, make("a"), "", -1, 0, -1},
        {"abc", 0, make(""), "", -1, 0, -1},
        {"h\xC3\xA9llo", 0, make("\xC3\x89L"), "", -1, 0, 1},  // folding beyond ASCII
        {"\xF0\x9F\x98\x80x", 0, chr('x'), "", -1, 0, 1},
        {"a12b", 0, integer(12), "t", -1, 0, 3},  // other values: their form
    };
    for (size_t k = 0; k < cases.size(); ++k) {
        const FindCase& c = cases[k];
        auto has = [&c](char f) { return std::strchr(c.flags, f) != nullptr; };
        Cell s = make(c.text);
        s.w1 = c.head;
        Cell value = c.value, part = integer(c.part), skip = integer(c.skip);
        Cell* r = actions::find(&s, &value, c.part >= 0 ? &part : nullptr, false, has('c'), false, false, nullptr,
                                c.skip ? &skip : nullptr, has('l'), has('r'), has('t'), has('m'));
        if (c.found < 0) {
            EXPECT_EQ(cell::type(r), uint32_t{TYPE_NONE}) << k;
            continue;
        }
        ASSERT_EQ(cell::type(r), uint32_t{TYPE_STRING}) << k;
        EXPECT_EQ(r->w1, static_cast<uint32_t>(c.found)) << k;
    }
}

TEST_F(StringActions, FindErrors) {
    Cell s = make("abc"), v = make("b"), zero = integer(0), other = make("abc");
    EXPECT_EQ(text::raised([&] { actions::find(&s, &v, nullptr, false, false, false, false, nullptr, &zero, false,
                                               false, false, false); }).id, "out-of-range");
    EXPECT_EQ(text::raised([&] { actions::find(&s, &v, &other, false, false, false, false, nullptr, nullptr, false,
                                               false, false, false); }).id, "invalid-refine-arg");
    EXPECT_EQ(text::raised([&] { actions::find(&s, &v, nullptr, false, false, false, true, nullptr, nullptr, false,
                                               false, false, false); }).id, "not-done");
    Cell bin{TYPE_BINARY, 0, series::alloc_bytes(4), 0};
    EXPECT_EQ(text::raised([&] { actions::find(&s, &bin, nullptr, false, false, false, false, nullptr, nullptr,
                                               false, false, false, false); }).id, "invalid-arg");
}

TEST_F(StringActions, SelectAnswersTheCodePointPastTheWholeKey) {
    Cell s = make("a=1;bb=2");
    Cell key = make("BB="), ch = chr('a'), last_key = make("2");
    EXPECT_EQ(actions::select(&s, &key, nullptr, false, false, false, false, nullptr, nullptr, false, false)->w2,
              uint32_t{'2'});
    EXPECT_EQ(actions::select(&s, &ch, nullptr, false, false, false, false, nullptr, nullptr, false, false)->w2,
              uint32_t{'='});
    EXPECT_EQ(cell::type(actions::select(&s, &key, nullptr, false, true, false, false, nullptr, nullptr, false,
                                         false)), uint32_t{TYPE_NONE});
    EXPECT_EQ(cell::type(actions::select(&s, &last_key, nullptr, false, false, false, false, nullptr, nullptr, false,
                                         false)), uint32_t{TYPE_NONE});
    EXPECT_EQ(s.w1, 0u);  // select leaves the series where it was
}

TEST_F(StringActions, SortTable) {
    struct Case {
        const char* text;
        bool case_, reverse, all;
        int32_t skip, compare;
        const char* expected;
    };
    const Case cases[] = {
        {"dCbA", false, false, false, 0, 0, "AbCd"},
        {"dCbA", true, false, false, 0, 0, "ACbd"},
        {"dCbA", false, true, false, 0, 0, "dCbA"},
        {"\xC3\xA9\xC3\x89" "a", false, false, false, 0, 0, "a\xC3\xA9\xC3\x89"},  // unit 2 folds É and é
        {"b2a1c0", false, false, false, 2, 0, "a1b2c0"},
        {"b2a1c0", false, false, false, 2, 2, "c0a1b2"},
        {"a2a1", false, false, true, 2, 0, "a1a2"},
        {"a2a1", false, false, false, 2, 0, "a2a1"},  // stable: equal keys keep their order
    };
    for (const Case& c : cases) {
        Cell s = make(c.text);
        Cell skip = integer(c.skip), cmp = integer(c.compare);
        actions::sort(&s, c.case_, c.skip ? &skip : nullptr, c.compare ? &cmp : nullptr, nullptr, c.all, c.reverse,
                      true);
        EXPECT_EQ(utf8(s), c.expected) << c.text;
    }
}

TEST_F(StringActions, SortPartAndErrors) {
    Cell s = make("zyxcba");
    Cell three = integer(3);
    actions::sort(&s, false, nullptr, nullptr, &three, false, false, false);
    EXPECT_EQ(utf8(s), "xyzcba");
    s.w1 = 5;
    Cell back = integer(-2);
    actions::sort(&s, false, nullptr, nullptr, &back, false, false, false);
    EXPECT_EQ(s.w1, 3u);
    EXPECT_EQ(whole(s), "xyzbca");
    Cell t = make("abcde"), two = integer(2), zero = integer(0), nine = integer(9);
    auto r = text::raised([&] { actions::sort(&t, false, &two, nullptr, nullptr, false, false, false); });
    EXPECT_EQ(r.id, "invalid-refine-arg");
    EXPECT_EQ(text::raised([&] { actions::sort(&t, false, nullptr, nullptr, nullptr, true, false, false); }).id,
              "bad-refines");
    Cell u = make("abcd");
    EXPECT_EQ(text::raised([&] { actions::sort(&u, false, &two, &nine, nullptr, false, false, false); }).id,
              "out-of-range");
    EXPECT_EQ(text::raised([&] { actions::sort(&u, false, &two, &zero, nullptr, false, false, false); }).id,
              "out-of-range");
    EXPECT_EQ(text::raised([&] { actions::sort(&u, false, nullptr, &two, nullptr, false, false, false); }).id,
              "bad-refines");
}

TEST_F(StringActions, TrimTable) {
    struct Case {
        const char* text;
        bool head, tail, lines, all;
        const char* expected;
    };
    const Case cases[] = {
        {"  a  b  ", false, false, false, false, "a  b"},
        {"  a \n  b  \n\n", false, false, false, false, "a\nb\n"},
        {"text  \n", false, false, false, false, "text\n"},
        {"\n\n a\n", true, false, false, false, "a\n"},
        {" a \n", false, true, false, false, " a"},
        {"  one   two \t\n three  ", false, false, true, false, "one two three"},
        {" a\tb\nc\rd ", false, false, false, true, "abcd"},
        {"\xE3\x80\x80 a\xC2\xA0", false, false, true, false, "a"},  // wide white space counts
    };
    for (const Case& c : cases) {
        Cell s = make(c.text);
        actions::trim(&s, c.head, c.tail, false, c.lines, c.all, nullptr);
        EXPECT_EQ(utf8(s), c.expected) << c.text;
    }
    Cell s = make("a-b_c-"), with = make("-_"), ch = chr('a'), empty = make("");
    actions::trim(&s, false, false, false, false, false, &with);
    EXPECT_EQ(utf8(s), "abc");
    actions::trim(&s, false, false, false, false, false, &ch);
    EXPECT_EQ(utf8(s), "bc");
    actions::trim(&s, false, false, false, false, false, &empty);
    EXPECT_EQ(utf8(s), "bc");
    EXPECT_EQ(text::raised([&] { actions::trim(&s, false, false, true, false, false, nullptr); }).id, "not-done");
}

TEST_F(StringActions, SwapExchangesTheHeadCodePoints) {
    Cell a = make("abc"), b = make("\xE2\x82\xAC!");
    a.w1 = 1;
    EXPECT_EQ(actions::swap(&a, &b), &a);
    EXPECT_EQ(whole(a), "a\xE2\x82\xAC" "c");
    EXPECT_EQ(unit(a), 2u);
    EXPECT_EQ(utf8(b), "b!");
    Cell i = integer(1);
    EXPECT_EQ(text::raised([&] { actions::swap(&a, &i); }).id, "invalid-arg");
}

TEST_F(StringActions, TakeWithoutPartAnswersAChar) {
    Cell s = make("abc"), arg = s;
    Cell* r = actions::take(&arg, nullptr, false, false);
    EXPECT_EQ(cell::type(r), uint32_t{TYPE_CHAR});
    EXPECT_EQ(r->w2, uint32_t{'a'});
    EXPECT_EQ(utf8(s), "bc");
    Cell one = integer(1);
    arg = s;
    r = actions::take(&arg, &one, false, false);
    EXPECT_EQ(cell::type(r), uint32_t{TYPE_STRING});
    EXPECT_EQ(utf8(*r), "b");
}

TEST_F(StringActions, SetOperations) {
    struct Case {
        int op;
        const char* a;
        const char* b;
        bool case_;
        const char* expected;
    };
    const Case cases[] = {
        {8, "abcabA", "", false, "abc"},
        {8, "abcabA", "", true, "abcA"},
        {9, "abc", "cdB", false, "abcd"},
        {10, "abcd", "dBx", false, "bd"},
        {11, "abcd", "dBx", false, "ac"},
        {12, "abcd", "dBx", false, "acx"},
    };
    for (const Case& c : cases) {
        Cell* saved = stack::arguments;
        stack::arguments = stack::top;
        Cell a = make(c.a), b = make(c.b);
        stack::push(&a);
        stack::push(&b);
        string::do_set_op(c.case_, nullptr, c.op);
        EXPECT_EQ(utf8(*stack::arguments), c.expected) << c.op << " " << c.a;
        stack::top = stack::arguments;
        stack::arguments = saved;
    }
}

TEST_F(StringActions, MakeToAndCompare) {
    Cell type_cell{TYPE_DATATYPE, TYPE_STRING, 0, 0};
    Cell forty = integer(40), minus = integer(-1), none{TYPE_NONE, 0, 0, 0};
    Cell* made = actions::make(&type_cell, &forty);
    EXPECT_EQ(string::rs_length_q(made), 0);
    EXPECT_GE(series::buffer_of(made)->size, 40u);
    EXPECT_EQ(text::raised([&] { actions::make(&type_cell, &minus); }).id, "out-of-range");
    EXPECT_EQ(text::raised([&] { actions::to(&type_cell, &none); }).id, "bad-to-arg");
    Cell blk = block_of({make("ab"), chr('c')});
    EXPECT_EQ(utf8(*actions::to(&type_cell, &blk)), "abc");
    Cell file = make("dir/f", TYPE_FILE);
    Cell* copied = actions::to(&type_cell, &file);
    EXPECT_EQ(cell::type(copied), uint32_t{TYPE_STRING});
    EXPECT_EQ(utf8(*copied), "dir/f");
    EXPECT_NE(copied->w2, file.w2);
    Cell bad{TYPE_BINARY, 0, series::alloc_bytes(4), 0};
    uint8_t* p = series::grow_tail(bad.w2, 2);
    p[0] = 'a';
    p[1] = 0xFF;
    auto r = text::raised([&] { actions::to(&type_cell, &bad); });
    EXPECT_EQ(r.id, "invalid-utf8");
    Cell s = make("Dir/F");
    EXPECT_EQ(string::compare(&s, &file, COMP_EQUAL), 0);
    EXPECT_EQ(string::compare(&s, &file, COMP_STRICT_EQUAL), NOT_COMPARABLE);
    EXPECT_EQ(string::compare(&s, &file, COMP_LESSER), NOT_COMPARABLE);
    Cell t = make("dir/g");
    EXPECT_TRUE(actions::compare(&s, &t, COMP_LESSER));
}

TEST_F(StringActions, PathsReadAndWriteAtTheSamePlace) {
    Cell s = make("name=bob;age=7");
    Cell key = make("name="), two = integer(2), ch = chr('X');
    Cell* got = actions::eval_path(&s, &key, nullptr, nullptr, nullptr, nullptr, -1, false, true, false, false);
    EXPECT_EQ(got->w2, uint32_t{'b'});
    actions::eval_path(&s, &key, &ch, nullptr, nullptr, nullptr, -1, false, false, false, false);
    EXPECT_EQ(utf8(s), "name=Xob;age=7");
    EXPECT_EQ(actions::eval_path(&s, &two, nullptr, nullptr, nullptr, nullptr, -1, false, true, false, false)->w2,
              uint32_t{'a'});
    actions::eval_path(&s, &two, &ch, nullptr, nullptr, nullptr, -1, false, false, false, false);
    EXPECT_EQ(utf8(s), "nXme=Xob;age=7");
    Cell missing = make("zz"), word{TYPE_WORD, 0, 0, 0xFFFFFFFFu};
    EXPECT_EQ(text::raised([&] { actions::eval_path(&s, &missing, &ch, &s, nullptr, nullptr, -1, false, false, false,
                                                    false); }).id, "bad-path-set");
    EXPECT_EQ(text::raised([&] { actions::eval_path(&s, &word, nullptr, &s, nullptr, nullptr, -1, false, true, false,
                                                    false); }).id, "invalid-path");
}

}  // namespace
}  // namespace zel::test
