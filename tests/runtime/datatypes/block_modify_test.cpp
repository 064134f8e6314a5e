// append, insert and change through their stack entries (with the /part and
// /dup normalisation), swap, trim, and the ownership events of every
// modifying action.
#include <string>
#include <vector>
#include "runtime/datatypes/block.h"
#include "runtime/ownership.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockModify : public RuntimeTest {};

// Calls append, insert or change with /part (when given), /only and /dup.
Cell modify(actions::StackEntry entry, Cell series, Cell value, const Cell* part, bool only, const Cell* dup) {
    std::vector<Cell> cells = {series, value};
    std::vector<int32_t> refs = {-1, only ? 0 : -1, -1};
    if (part) {
        refs[0] = static_cast<int32_t>(cells.size());
        cells.push_back(*part);
    }
    if (dup) {
        refs[2] = static_cast<int32_t>(cells.size());
        cells.push_back(*dup);
    }
    return call(entry, cells, refs);
}

TEST_F(BlockModify, AppendAndInsert) {
    struct Case {
        actions::StackEntry entry;
        uint32_t index;
        Cell value;
        std::vector<Cell> part, dup;
        bool only;
        const char* result;   // the returned series, molded from its position
        const char* whole;    // the block afterwards
    };
    const Cell abc = ints({7, 8, 9});
    const Case cases[] = {
        {actions::append_stack, 1, abc, {}, {}, false, "[1 2 7 8 9]", "[1 2 7 8 9]"},
        {actions::append_stack, 1, abc, {}, {}, true, "[1 2 [7 8 9]]", "[1 2 [7 8 9]]"},
        {actions::append_stack, 0, abc, {I(2)}, {}, false, "[1 2 7 8]", "[1 2 7 8]"},
        {actions::append_stack, 0, abc, {I(0)}, {}, false, "[1 2]", "[1 2]"},
        {actions::append_stack, 0, abc, {}, {I(0)}, false, "[1 2]", "[1 2]"},
        {actions::append_stack, 0, I(5), {}, {I(3)}, false, "[1 2 5 5 5]", "[1 2 5 5 5]"},
        {actions::append_stack, 0, ints({}), {}, {}, false, "[1 2]", "[1 2]"},
        {actions::append_stack, 0, at(abc, 2), {I(-1)}, {}, false, "[1 2 8]", "[1 2 8]"},
        {actions::append_stack, 0, abc, {I(-1)}, {}, false, "[1 2]", "[1 2]"},  // at its head already
        {actions::insert_stack, 0, abc, {}, {}, false, "[1 2]", "[7 8 9 1 2]"},
        {actions::insert_stack, 1, I(5), {}, {I(2)}, false, "[2]", "[1 5 5 2]"},
        {actions::insert_stack, 9, I(5), {}, {}, false, "[]", "[1 2 5]"},      // a head past the tail
        {actions::insert_stack, 0, abc, {I(2)}, {I(2)}, false, "[1 2]", "[7 8 7 8 1 2]"},
    };
    for (const Case& c : cases) {
        Cell b = ints({1, 2});
        Cell r = modify(c.entry, at(b, c.index), c.value, c.part.empty() ? nullptr : &c.part[0], c.only,
                        c.dup.empty() ? nullptr : &c.dup[0]);
        EXPECT_EQ(mold(r), c.result) << c.whole;
        EXPECT_EQ(mold(b), c.whole);
    }
}

TEST_F(BlockModify, PartErrors) {
    Cell b = ints({1, 2}), one = I(1);
    EXPECT_EQ(raised_id([&] { modify(actions::append_stack, b, I(4), &one, false, nullptr); }), "invalid-part");
    Cell v = ints({5, 6});
    Cell elsewhere = ints({7});
    EXPECT_EQ(raised_id([&] { modify(actions::append_stack, b, v, &elsewhere, false, nullptr); }),
              "invalid-refine-arg");
    Cell same_node_other_type = at(v, 1);
    cell::set_type(&same_node_other_type, TYPE_PAREN);
    EXPECT_EQ(raised_id([&] { modify(actions::append_stack, b, v, &same_node_other_type, false, nullptr); }),
              "invalid-refine-arg");
    Cell pos = at(v, 1);
    modify(actions::append_stack, b, v, &pos, false, nullptr);  // a position of the value itself
    EXPECT_EQ(mold(b), "[1 2 5]");
}

TEST_F(BlockModify, AppendToItself) {
    Cell b = ints({1, 2});
    modify(actions::append_stack, b, b, nullptr, false, nullptr);
    EXPECT_EQ(mold(b), "[1 2 1 2]");
    modify(actions::insert_stack, at(b, 1), b, nullptr, false, nullptr);
    EXPECT_EQ(mold(b), "[1 1 2 1 2 2 1 2]");
}

TEST_F(BlockModify, SpreadValuesFromAnotherBlockWhileTheTargetGrows) {
    Cell b = ints({});
    Cell src = at(ints({1, 2, 3, 4, 5}), 1);
    std::string expect = "[2 3 4 5";
    for (int i = 0; i < 300; ++i) {
        modify(actions::append_stack, b, src, nullptr, false, nullptr);
        if (i > 0) expect += " 2 3 4 5";
    }
    expect += ']';
    EXPECT_EQ(mold(b), expect);
    Cell two = I(2), three = I(3);
    modify(actions::insert_stack, at(b, 1), src, &two, false, &three);
    EXPECT_EQ(mold(b).substr(0, 22), "[2 2 3 2 3 2 3 3 4 5 2");
    modify(actions::change_stack, b, src, nullptr, false, &three);
    EXPECT_EQ(mold(b).substr(0, 34), "[2 3 4 5 2 3 4 5 2 3 4 5 4 5 2 3 4");
    EXPECT_EQ(block::rs_length_q(&b), 1206);
    EXPECT_EQ(mold(src), "[2 3 4 5]");
}

TEST_F(BlockModify, SingleValuesAtTheTailWhileTheBlockGrows) {
    Cell b = ints({});
    Cell marked = nl(I(0));
    for (int32_t i = 1; i <= 1000; ++i) {
        Cell v = i == 500 ? marked : I(i);
        Cell r = modify(actions::append_stack, at(b, 0), v, nullptr, false, nullptr);
        EXPECT_EQ(r.w1, 0u);
    }
    EXPECT_EQ(block::rs_length_q(&b), 1000);
    for (int32_t i = 1; i <= 1000; ++i) {
        const Cell* c = block::rs_abs_at(&b, static_cast<uint32_t>(i - 1));
        EXPECT_EQ(c->w2, i == 500 ? 0u : static_cast<uint32_t>(i));
    }
    EXPECT_EQ(block::rs_abs_at(&b, 499)->header, marked.header);  // the new-line marker travels with the value
}

TEST_F(BlockModify, Change) {
    struct Case {
        uint32_t index;
        Cell value;
        std::vector<Cell> part, dup;
        bool only;
        const char* result;
        const char* whole;
    };
    const Cell xy = B({S("x"), S("y")});
    const Case cases[] = {
        {0, xy, {}, {}, false, "[3 4]", "[\"x\" \"y\" 3 4]"},
        {0, xy, {}, {}, true, "[2 3 4]", "[[\"x\" \"y\"] 2 3 4]"},
        {1, xy, {I(1)}, {}, false, "[3 4]", "[1 \"x\" \"y\" 3 4]"},
        {1, xy, {I(3)}, {}, false, "[]", "[1 \"x\" \"y\"]"},
        {3, xy, {}, {}, false, "[]", "[1 2 3 \"x\" \"y\"]"},
        {0, I(9), {}, {I(2)}, false, "[3 4]", "[9 9 3 4]"},
        {0, I(9), {}, {I(0)}, false, "[1 2 3 4]", "[1 2 3 4]"},
        {2, I(9), {I(-2)}, {}, false, "[3 4]", "[9 3 4]"},     // a negative part moves the head back
        {0, B({}), {I(2)}, {}, false, "[3 4]", "[3 4]"},
    };
    for (const Case& c : cases) {
        Cell b = ints({1, 2, 3, 4});
        Cell r = modify(actions::change_stack, at(b, c.index), c.value, c.part.empty() ? nullptr : &c.part[0],
                        c.only, c.dup.empty() ? nullptr : &c.dup[0]);
        EXPECT_EQ(mold(r), c.result) << c.whole;
        EXPECT_EQ(mold(b), c.whole);
    }
    Cell b = ints({1, 2, 3});
    Cell pos = at(b, 2);
    modify(actions::change_stack, b, I(0), &pos, false, nullptr);  // the part as a position
    EXPECT_EQ(mold(b), "[0 3]");
    EXPECT_EQ(raised_id([&] { modify(actions::change_stack, b, I(0), &xy, false, nullptr); }),
              "invalid-refine-arg");
}

TEST_F(BlockModify, SwapAndTrim) {
    Cell a = ints({1, 2}), b = ints({3, 4});
    Cell r = call(actions::swap_stack, {at(a, 1), b}, {});
    EXPECT_EQ(mold(a), "[1 3]");
    EXPECT_EQ(mold(b), "[2 4]");
    EXPECT_EQ(r.w2, a.w2);
    EXPECT_EQ(raised_id([&] { call(actions::swap_stack, {a, S("x")}, {}); }), "invalid-arg");
    call(actions::swap_stack, {at(a, 2), b}, {});  // at the tail: nothing
    EXPECT_EQ(mold(b), "[2 4]");
    Cell t = B({N(), I(1), N(), N(), T(false), N()});
    call(actions::trim_stack, {t}, {});
    EXPECT_EQ(mold(t), "[1 false]");
}

// ---- the events owners hear of ----

std::vector<std::string>& events() {
    static std::vector<std::string> e;
    return e;
}

bool record(Cell*, ownership::Event action, const Cell*, int32_t index, int32_t part) {
    events().push_back(std::string(ownership::event_name(action)) + " " + std::to_string(index) + " " +
                       std::to_string(part));
    return true;
}

class OwnerEvents : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        events().clear();
        ownership::install({record, nullptr, nullptr, nullptr});
    }
    void TearDown() override {
        ownership::install({nullptr, nullptr, nullptr, nullptr});
        RuntimeTest::TearDown();
    }
    static Cell owned(Cell b) {
        series::set_flag(b.w2, SERIES_OWNED);
        return b;
    }
};

TEST_F(OwnerEvents, EveryModifyingActionReportsBeforeAndAfter) {
    struct Case {
        actions::StackEntry entry;
        std::vector<Cell> extra;
        std::vector<int32_t> refs;
        uint32_t index;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {actions::append_stack, {I(9)}, {}, 0, "append 4 1", "appended 4 1"},
        {actions::append_plain, {I(9)}, {}, 0, "append 4 1", "appended 4 1"},
        {actions::insert_stack, {I(9)}, {}, 1, "insert 1 1", "inserted 1 1"},
        {actions::change_stack, {I(9)}, {}, 2, "change 2 1", "changed 2 1"},
        {actions::clear_stack, {}, {}, 1, "clear 1 3", "cleared 1 3"},
        {actions::poke_stack, {I(2), I(0)}, {}, 0, "poke 1 1", "poked 1 1"},
        {actions::remove_stack, {I(2)}, {1}, 1, "remove 1 2", "removed 1 2"},
        {actions::take_stack, {}, {}, 3, "take 3 1", "taken 3 1"},
        {actions::reverse_stack, {}, {}, 0, "reverse 0 4", "reversed 0 4"},
        {actions::sort_stack, {}, {}, 0, "sort 0 4", "sorted 0 4"},
        {actions::trim_stack, {}, {}, 2, "trim 2 2", "trimmed 2 2"},
        {actions::random_stack, {}, {}, 2, "random 2 2", "randomized 2 2"},
        {actions::put_stack, {I(1), I(5)}, {}, 0, "put 0 1", "put-ed 0 1"},
    };
    for (const Case& c : cases) {
        events().clear();
        std::vector<Cell> cells = {at(owned(ints({1, 2, 3, 4})), c.index)};
        cells.insert(cells.end(), c.extra.begin(), c.extra.end());
        call(c.entry, cells, c.refs);
        ASSERT_EQ(events().size(), 2u) << c.before;
        EXPECT_EQ(events()[0], c.before);
        EXPECT_EQ(events()[1], c.after);
    }
}

// Spread values are taken before the owner hears of the change, so a
// handler that changes (even grows) the value's block does not change what
// is added.
TEST_F(OwnerEvents, ValuesAreTakenBeforeTheOwnerHears) {
    static Cell source;
    ownership::install({[](Cell*, ownership::Event e, const Cell*, int32_t, int32_t) {
                            if (e == ownership::EV_APPEND || e == ownership::EV_INSERT || e == ownership::EV_CHANGE) {
                                *block::rs_abs_at(&source, 0) = I(0);
                                for (int i = 0; i < 40; ++i) block::append_copy(&source, block::rs_abs_at(&source, 0));
                            }
                            return true;
                        },
                        nullptr, nullptr, nullptr});
    const actions::StackEntry entries[] = {actions::append_stack, actions::insert_stack, actions::change_stack,
                                           actions::append_plain};
    const char* expected[] = {"[1 2 7 8 9]", "[7 8 9 1 2]", "[7 8 9]", "[1 2 7 8 9]"};
    for (int k = 0; k < 4; ++k) {
        source = ints({7, 8, 9});
        Cell b = owned(ints({1, 2}));
        call(entries[k], {b, source}, {});
        EXPECT_EQ(mold(b), expected[k]);
    }
}

TEST_F(OwnerEvents, MoveAndSwapTellBothSides) {
    Cell a = owned(ints({1, 2})), b = owned(ints({3}));
    call(actions::move_stack, {a, b}, {});
    EXPECT_EQ(events(), (std::vector<std::string>{"move 0 1", "move 0 1", "moved 0 1", "moved 0 1"}));
    events().clear();
    call(actions::swap_stack, {a, b}, {});
    EXPECT_EQ(events(), (std::vector<std::string>{"swap 0 1", "swap 0 1", "swaped 0 1", "swaped 0 1"}));
}

TEST_F(OwnerEvents, UnownedSeriesAreNotReported) {
    Cell b = ints({1, 2});
    call(actions::append_stack, {b, I(3)}, {});
    call(actions::append_plain, {b, I(4)}, {});
    call(actions::clear_stack, {b}, {});
    EXPECT_TRUE(events().empty());
}

TEST_F(OwnerEvents, NoEventWhenAnErrorComesFirst) {
    Cell b = owned(ints({1, 2}));
    EXPECT_EQ(raised_id([&] { call(actions::poke_stack, {b, I(5), I(0)}, {}); }), "out-of-range");
    EXPECT_EQ(raised_id([&] { call(actions::reverse_stack, {b, I(0)}, {-1, 1}); }), "out-of-range");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(mold(b), "[1 2]");
}

}  // namespace
}  // namespace zel::test
