// The series engine on blocks, strings and binaries: positions, pick and
// poke, remove, take, reverse, move, copy/part, random and clear.
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class Series : public RuntimeTest {};

Cell binary(std::initializer_list<uint8_t> bytes) {
    Cell b;
    set_series(&b, TYPE_BINARY, series::alloc_bytes(bytes.size()));
    for (uint8_t x : bytes) *series::grow_tail(b.w2, 1) = x;
    return b;
}

TEST_F(Series, AtAndSkipClampToTheBuffer) {
    struct Case {
        actions::StackEntry entry;
        int32_t offset;
        uint32_t index;
    };
    const Case cases[] = {
        {actions::at_stack, 0, 2},   {actions::at_stack, 1, 2},    {actions::at_stack, 2, 3},
        {actions::at_stack, -1, 1},  {actions::at_stack, 10, 5},   {actions::at_stack, -10, 0},
        {actions::skip_stack, 2, 4}, {actions::skip_stack, -5, 0}, {actions::skip_stack, 0, 2},
    };
    for (const Case& c : cases) {
        Cell r = call(c.entry, {at(one_to(5), 2), I(c.offset)}, {});
        EXPECT_EQ(r.w1, c.index) << c.offset;
        Cell s = call(c.entry, {at(S("abcde"), 2), I(c.offset)}, {});
        EXPECT_EQ(s.w1, c.index) << c.offset;
    }
    EXPECT_EQ(raised_id([] { call(actions::at_stack, {one_to(3), S("x")}, {}); }), "invalid-arg");
}

TEST_F(Series, NavigationAndQueries) {
    Cell b = at(one_to(3), 1);
    EXPECT_EQ(call(actions::next_stack, {b}, {}).w1, 2u);
    EXPECT_EQ(call(actions::next_stack, {at(b, 3)}, {}).w1, 3u);  // no move at the tail
    EXPECT_EQ(call(actions::back_stack, {b}, {}).w1, 0u);
    EXPECT_EQ(call(actions::back_stack, {at(b, 0)}, {}).w1, 0u);
    EXPECT_EQ(call(actions::head_stack, {b}, {}).w1, 0u);
    EXPECT_EQ(call(actions::tail_stack, {b}, {}).w1, 3u);
    EXPECT_EQ(mold(call(actions::head_q_stack, {b}, {})), "false");
    EXPECT_EQ(mold(call(actions::tail_q_stack, {at(b, 3)}, {})), "true");
    EXPECT_EQ(mold(call(actions::index_q_stack, {b}, {})), "2");
    EXPECT_EQ(mold(call(actions::length_q_stack, {b}, {})), "2");
    EXPECT_EQ(mold(call(actions::length_q_stack, {S("abc")}, {})), "3");
}

TEST_F(Series, HeadPastTheTailIsClamped) {
    Cell b = one_to(5);
    Cell far = at(b, 4);
    block::set_tail_at(&b, 2);  // shortened through another reference
    EXPECT_EQ(series::get_length(&far, false), 0);
    EXPECT_EQ(far.w1, 2u);
    EXPECT_EQ(mold(call(actions::length_q_stack, {at(b, 4)}, {})), "0");
    EXPECT_EQ(mold(call(actions::tail_q_stack, {at(b, 4)}, {})), "true");
    EXPECT_EQ(mold(call(actions::pick_stack, {at(b, 4), I(1)}, {})), "none");
}

TEST_F(Series, PickCountsFromTheHead) {
    struct Case {
        uint32_t index;
        int32_t n;
        const char* block_value;
        const char* string_value;
    };
    const Case cases[] = {
        {0, 1, "1", "#\"a\""},    {0, 0, "none", "none"}, {0, -1, "none", "none"}, {2, -1, "2", "#\"b\""},
        {2, -2, "1", "#\"a\""},   {2, 1, "3", "#\"c\""},  {2, 3, "none", "none"},  {0, 4, "none", "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mold(call(actions::pick_stack, {at(one_to(3), c.index), I(c.n)}, {})), c.block_value) << c.n;
        EXPECT_EQ(mold(call(actions::pick_stack, {at(S("abc"), c.index), I(c.n)}, {})), c.string_value) << c.n;
    }
    EXPECT_EQ(mold(call(actions::pick_stack, {binary({7, 200}), I(2)}, {})), "200");
    // A logic index: true picks the first value, false the second.
    EXPECT_EQ(mold(call(actions::pick_stack, {one_to(2), T(false)}, {})), "2");
}

TEST_F(Series, PokeWritesInPlace) {
    Cell b = one_to(3);
    Cell r = call(actions::poke_stack, {b, I(2), S("x")}, {});
    EXPECT_EQ(mold(r), "\"x\"");
    EXPECT_EQ(mold(b), "[1 \"x\" 3]");
    // -1 is the value just before the head.
    call(actions::poke_stack, {at(b, 2), I(-1), T(true)}, {});
    EXPECT_EQ(mold(b), "[1 true 3]");
}

TEST_F(Series, PokeErrors) {
    EXPECT_EQ(raised_id([] { call(actions::poke_stack, {one_to(3), I(0), I(9)}, {}); }), "out-of-range");
    EXPECT_EQ(raised_id([] { call(actions::poke_stack, {one_to(3), I(4), I(9)}, {}); }), "out-of-range");
    EXPECT_EQ(raised_id([] { call(actions::poke_stack, {S("abc"), I(1), I(9)}, {}); }), "invalid-arg");
    Cell s = S("abc");
    Cell euro;
    cell::set(&euro, TYPE_CHAR, 0, 0x20AC);
    call(actions::poke_stack, {s, I(2), euro}, {});
    EXPECT_EQ(text_of(s), "a\xE2\x82\xAC" "c");
    EXPECT_EQ(series::unit_of(&s), 2u);
}

TEST_F(Series, Remove) {
    struct Case {
        uint32_t index;
        std::vector<Cell> part;  // empty: no /part
        const char* left;
    };
    const Case cases[] = {
        {0, {}, "[2 3 4 5]"},      {1, {I(2)}, "[1 4 5]"},     {1, {I(0)}, "[1 2 3 4 5]"},
        {1, {I(-2)}, "[1 2 3 4 5]"}, {3, {I(10)}, "[1 2 3]"},  {5, {}, "[1 2 3 4 5]"},
    };
    for (const Case& c : cases) {
        Cell b = one_to(5);
        std::vector<Cell> cells = {at(b, c.index)};
        std::vector<int32_t> refs;
        if (!c.part.empty()) {
            cells.push_back(c.part[0]);
            refs = {1};
        }
        call(actions::remove_stack, cells, refs);
        EXPECT_EQ(mold(b), c.left) << c.index;
    }
    // /part as a position in the same series.
    Cell b = one_to(5);
    call(actions::remove_stack, {at(b, 1), at(b, 3)}, {1});
    EXPECT_EQ(mold(b), "[1 4 5]");
    EXPECT_EQ(raised_id([&] { call(actions::remove_stack, {b, one_to(2)}, {1}); }), "invalid-refine-arg");
    // /key: from the key, the key and the value after it.
    Cell m = B({S("a"), I(1), S("b"), I(2)});
    call(actions::remove_stack, {m, S("b")}, {-1, 1});
    EXPECT_EQ(mold(m), "[\"a\" 1]");
    call(actions::remove_stack, {m, S("zz")}, {-1, 1});
    EXPECT_EQ(mold(m), "[\"a\" 1]");
}

TEST_F(Series, TakeGivesAFreshSeriesEveryTime) {
    // Results of take without /part stay valid whatever is taken next.
    Cell s = S("abc");
    Cell first = *series::take(&s, nullptr, false, false);
    Cell second = *series::take(&s, nullptr, false, false);
    EXPECT_EQ(text_of(first), "a");
    EXPECT_EQ(text_of(second), "b");
    EXPECT_EQ(text_of(s), "c");
    EXPECT_NE(first.w2, second.w2);

    Cell b = one_to(4);
    Cell one = call(actions::take_stack, {b}, {});
    EXPECT_EQ(mold(one), "1");  // the value itself
    Cell two = call(actions::take_stack, {b, I(1)}, {1});
    EXPECT_EQ(mold(two), "[2]");  // /part: always a block
    Cell rest = call(actions::take_stack, {b, I(5)}, {1, -1, 2});
    EXPECT_EQ(mold(rest), "[3 4]");
    EXPECT_EQ(mold(two), "[2]");
    EXPECT_EQ(mold(call(actions::take_stack, {b}, {})), "none");
}

TEST_F(Series, TakeParts) {
    struct Case {
        uint32_t index;
        Cell part;
        bool last;
        const char* taken;
        const char* left;
    };
    const Case cases[] = {
        {0, I(2), false, "[1 2]", "[3 4 5]"}, {0, I(2), true, "[4 5]", "[1 2 3]"},
        {0, I(0), false, "[]", "[1 2 3 4 5]"}, {3, I(-2), false, "[2 3]", "[1 4 5]"},
        {3, I(-2), true, "[]", "[1 2 3 4 5]"}, {0, I(-1), false, "[]", "[1 2 3 4 5]"},
        {1, I(99), false, "[2 3 4 5]", "[1]"},
    };
    for (const Case& c : cases) {
        Cell b = one_to(5);
        std::vector<int32_t> refs = {1, -1, c.last ? 2 : -1};
        Cell r = call(actions::take_stack, {at(b, c.index), c.part}, refs);
        EXPECT_EQ(mold(r), c.taken) << c.index << " " << mold(c.part);
        EXPECT_EQ(mold(b), c.left) << c.index << " " << mold(c.part);
    }
    Cell b = one_to(5);
    Cell r = call(actions::take_stack, {at(b, 1), at(b, 3)}, {1});  // a position as /part
    EXPECT_EQ(mold(r), "[2 3]");
    EXPECT_EQ(mold(b), "[1 4 5]");
}

TEST_F(Series, Reverse) {
    struct Case {
        std::vector<Cell> args;
        std::vector<int32_t> refs;
        const char* result;
    };
    const Case cases[] = {
        {{one_to(5)}, {}, "[5 4 3 2 1]"},
        {{at(one_to(5), 1), I(3)}, {1}, "[1 4 3 2 5]"},
        {{one_to(6), I(2)}, {-1, 1}, "[5 6 3 4 1 2]"},
        {{one_to(4), I(4)}, {-1, 1}, "[1 2 3 4]"},  // record size equal to the count
        {{one_to(4), I(0)}, {1}, "[1 2 3 4]"},
        {{one_to(4), I(9)}, {1}, "[4 3 2 1]"},
    };
    for (const Case& c : cases) {
        Cell b = c.args[0];
        call(actions::reverse_stack, c.args, c.refs);
        EXPECT_EQ(mold(at(b, 0)), c.result);
    }
    EXPECT_EQ(raised_id([] { call(actions::reverse_stack, {one_to(4), I(0)}, {-1, 1}); }), "out-of-range");
    EXPECT_EQ(raised_id([] { call(actions::reverse_stack, {one_to(4), I(3)}, {-1, 1}); }), "invalid-refine-arg");
    Cell s = S("abc\xE2\x82\xAC");
    call(actions::reverse_stack, {s}, {});
    EXPECT_EQ(text_of(s), "\xE2\x82\xAC" "cba");
}

TEST_F(Series, MoveWithinOneSeries) {
    struct Case {
        uint32_t from, to;
        int32_t part;
        const char* result;
    };
    const Case cases[] = {
        {0, 3, 1, "[2 3 1 4 5]"}, {3, 0, 1, "[4 1 2 3 5]"}, {0, 5, 2, "[3 4 5 1 2]"},
        {2, 2, 1, "[1 2 3 4 5]"}, {0, 1, 2, "[1 2 3 4 5]"},  // into the moved values: nothing moves
        {0, 4, 2, "[1 2 3 4 5]"},                             // too few values after the target
    };
    for (const Case& c : cases) {
        Cell b = one_to(5);
        call(actions::move_stack, {at(b, c.from), at(b, c.to), I(c.part)}, {2});
        EXPECT_EQ(mold(b), c.result) << c.from << "->" << c.to;
    }
}

TEST_F(Series, MoveBetweenSeries) {
    Cell a = one_to(3), b = B({S("x")});
    Cell r = call(actions::move_stack, {a, b, I(2)}, {2});
    EXPECT_EQ(mold(a), "[3]");
    EXPECT_EQ(mold(b), "[1 2 \"x\"]");
    EXPECT_EQ(r.w2, b.w2);
    Cell wide = S("\xE2\x82\xAC" "b"), narrow = S("z");
    call(actions::move_stack, {wide, narrow}, {});
    EXPECT_EQ(text_of(narrow), "\xE2\x82\xAC" "z");
    EXPECT_EQ(text_of(wide), "b");
    EXPECT_EQ(raised_id([] { call(actions::move_stack, {one_to(2), S("ab")}, {}); }), "move-bad");
    EXPECT_EQ(raised_id([] { call(actions::move_stack, {S("ab"), one_to(2)}, {}); }), "move-bad");
    EXPECT_EQ(raised_id([] { call(actions::move_stack, {one_to(2), I(1)}, {}); }), "expect-arg");
}

TEST_F(Series, CopyPart) {
    Cell pair;
    cell::set(&pair, TYPE_PAIR, 0, 2, 4);
    struct Case {
        uint32_t index;
        std::vector<Cell> part;
        const char* copied;
    };
    const Case cases[] = {
        {1, {}, "[2 3 4 5]"}, {1, {I(2)}, "[2 3]"}, {3, {I(-2)}, "[2 3]"}, {1, {I(-5)}, "[1]"},
        {0, {pair}, "[2 3]"}, {0, {I(99)}, "[1 2 3 4 5]"}, {5, {}, "[]"},
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells = {at(one_to(5), c.index)};
        std::vector<int32_t> refs;
        if (!c.part.empty()) {
            cells.push_back(c.part[0]);
            refs = {1};
        }
        EXPECT_EQ(mold(call(actions::copy_stack, cells, refs)), c.copied) << c.index;
    }
    Cell s = S("hello");
    EXPECT_EQ(text_of(call(actions::copy_stack, {at(s, 1), at(s, 3)}, {1})), "el");
}

TEST_F(Series, CopyDropsTheOwnedMark) {
    Cell b = one_to(2);
    series::set_flag(b.w2, SERIES_OWNED);
    Cell c = call(actions::copy_stack, {b}, {});
    EXPECT_EQ(series::buffer_of(&c)->flags & SERIES_OWNED, 0u);
    EXPECT_EQ(series::buffer_of(&c)->unit(), 16u);
}

TEST_F(Series, RandomShufflesAndPicks) {
    Cell b = one_to(20);
    call(actions::random_stack, {b}, {});
    Cell sorted = b;
    call(actions::sort_stack, {sorted}, {});
    EXPECT_EQ(mold(sorted), mold(one_to(20)));
    Cell one = call(actions::random_stack, {one_to(3)}, {-1, -1, 1});
    ASSERT_EQ(cell::type(&one), uint32_t{TYPE_INTEGER});
    EXPECT_GE(cell::get_int(&one), 1);
    EXPECT_LE(cell::get_int(&one), 3);
    EXPECT_EQ(mold(call(actions::random_stack, {B({})}, {-1, -1, 1})), "none");
    // Seeding from the same content repeats the shuffle.
    Cell x = one_to(10), y = one_to(10);
    EXPECT_EQ(mold(call(actions::random_stack, {S("seed")}, {1})), "unset");
    call(actions::random_stack, {x}, {});
    call(actions::random_stack, {S("seed")}, {1});
    call(actions::random_stack, {y}, {});
    EXPECT_EQ(mold(x), mold(y));
}

TEST_F(Series, Clear) {
    Cell b = one_to(4);
    call(actions::clear_stack, {at(b, 1)}, {});
    EXPECT_EQ(mold(b), "[1]");
    Cell s = S("abc");
    call(actions::clear_stack, {at(s, 3)}, {});
    EXPECT_EQ(text_of(s), "abc");
}

}  // namespace
}  // namespace zel::test
