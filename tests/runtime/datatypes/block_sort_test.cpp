// sort on blocks: the ordering ops, records, /compare with an offset or a
// function, /all, /reverse, /stable, /part, and a comparator that changes
// the block it sorts.
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/logic.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockSort : public RuntimeTest {
protected:
    void TearDown() override {
        block::set_comparator_call(nullptr);
        RuntimeTest::TearDown();
    }
};

// Refinement positions of sort: case, skip, compare, part, all, reverse, stable.
enum : int { S_CASE, S_SKIP, S_COMPARE, S_PART, S_ALL, S_REVERSE, S_STABLE };

Cell sort(Cell series, std::vector<int> flags, std::vector<std::pair<int, Cell>> args = {}) {
    std::vector<Cell> cells = {series};
    std::vector<int32_t> refs(7, -1);
    for (int f : flags) refs[f] = 0;
    for (auto& [r, a] : args) {
        refs[r] = static_cast<int32_t>(cells.size());
        cells.push_back(a);
    }
    return call(actions::sort_stack, cells, refs);
}

TEST_F(BlockSort, Orderings) {
    struct Case {
        Cell block;
        std::vector<int> flags;
        std::vector<std::pair<int, Cell>> args;
        const char* sorted;
    };
    const Case cases[] = {
        {ints({3, 1, 2}), {}, {}, "[1 2 3]"},
        {ints({3, 1, 2}), {S_REVERSE}, {}, "[3 2 1]"},
        {B({S("b"), S("B"), S("a")}), {S_STABLE}, {}, "[\"a\" \"b\" \"B\"]"},
        {B({S("b"), S("B"), S("a")}), {S_CASE, S_STABLE}, {}, "[\"B\" \"a\" \"b\"]"},
        {B({I(2), S("x"), N(), I(1), T(true)}), {}, {}, "[none true \"x\" 1 2]"},  // by type id
        {ints({4, 9, 1, 8, 2, 7}), {}, {{S_SKIP, I(2)}}, "[1 8 2 7 4 9]"},
        {ints({1, 9, 2, 8, 3, 7}), {}, {{S_SKIP, I(2)}, {S_COMPARE, I(2)}}, "[3 7 2 8 1 9]"},
        {ints({1, 2, 1, 1}), {S_ALL}, {{S_SKIP, I(2)}}, "[1 1 1 2]"},
        {ints({5, 4, 3, 2, 1}), {}, {{S_PART, I(3)}}, "[3 4 5 2 1]"},
        {ints({}), {}, {}, "[]"},
    };
    for (const Case& c : cases) {
        Cell b = c.block;
        Cell r = sort(b, c.flags, c.args);
        EXPECT_EQ(mold(b), c.sorted);
        EXPECT_EQ(r.w2, b.w2);
    }
}

TEST_F(BlockSort, PartsAndPositions) {
    Cell b = ints({9, 8, 7, 6, 5});
    Cell r = sort(at(b, 3), {}, {{S_PART, I(-2)}});  // the two values before the head
    EXPECT_EQ(mold(b), "[9 7 8 6 5]");
    EXPECT_EQ(r.w1, 1u);
    b = ints({9, 8, 7, 6, 5});
    sort(at(b, 1), {}, {{S_PART, at(b, 4)}});
    EXPECT_EQ(mold(b), "[9 6 7 8 5]");
}

TEST_F(BlockSort, StableKeepsTheOrderOfEqualRecords) {
    Cell b = B({});
    for (int i = 0; i < 200; ++i) {
        Cell key = I(i % 3), tag = I(i);
        block::append_copy(&b, &key);
        block::append_copy(&b, &tag);
    }
    sort(b, {S_STABLE}, {{S_SKIP, I(2)}});
    Cell* c = block::rs_head(&b);
    for (int i = 2; i < 400; i += 2) {
        if (cell::get_int(c + i) == cell::get_int(c + i - 2)) EXPECT_LT(cell::get_int(c + i - 1), cell::get_int(c + i + 1));
        else EXPECT_LT(cell::get_int(c + i - 2), cell::get_int(c + i));
    }
}

TEST_F(BlockSort, RefinementErrors) {
    struct Case {
        std::vector<int> flags;
        std::vector<std::pair<int, Cell>> args;
        const char* id;
    };
    const Case cases[] = {
        {{}, {{S_SKIP, I(4)}}, "invalid-refine-arg"},   // does not divide 6
        {{}, {{S_SKIP, I(0)}}, "invalid-refine-arg"},
        {{}, {{S_SKIP, I(7)}}, "invalid-refine-arg"},
        {{S_ALL}, {}, "bad-refines"},
        {{}, {{S_COMPARE, I(1)}}, "bad-refines"},          // an offset needs /skip
        {{S_ALL}, {{S_SKIP, I(2)}, {S_COMPARE, I(1)}}, "bad-refines"},
        {{}, {{S_SKIP, I(2)}, {S_COMPARE, I(3)}}, "out-of-range"},
        {{}, {{S_COMPARE, S("x")}}, "invalid-refine-arg"},
        {{}, {{S_PART, ints({1})}}, "invalid-refine-arg"},
    };
    for (const Case& c : cases) {
        Cell b = ints({6, 5, 4, 3, 2, 1});
        EXPECT_EQ(raised_id([&] { sort(b, c.flags, c.args); }), c.id);
        EXPECT_EQ(mold(b), "[6 5 4 3 2 1]");
    }
}

// A stand-in for the interpreter: "functions" here are integer! cells
// naming a behaviour.
Cell comparator_result;
Cell* sorted_block = nullptr;

const Cell* stand_in(const Cell* fn, const Cell* a, const Cell* b) {
    switch (fn->w2) {
        case 1:  // a < b, called with the second record first: ascending
            set_logic(&comparator_result, cell::get_int(a) < cell::get_int(b));
            break;
        case 2: {  // compares, then grows and shortens the block being sorted
            set_logic(&comparator_result, cell::get_int(a) < cell::get_int(b));
            for (int i = 0; i < 64; ++i) {
                Cell junk = I(-1);
                block::append_copy(sorted_block, &junk);
            }
            block::set_tail_at(sorted_block, 6);
            break;
        }
        case 3:  // records as blocks: compares their second values
            set_logic(&comparator_result,
                      cell::get_int(block::rs_abs_at(a, 1)) < cell::get_int(block::rs_abs_at(b, 1)));
            break;
        default: set_none(&comparator_result);
    }
    return &comparator_result;
}

Cell function_cell(uint32_t behaviour) {
    Cell f;
    cell::set(&f, TYPE_FUNCTION, 0, behaviour, 0);
    return f;
}

TEST_F(BlockSort, FunctionComparator) {
    block::set_comparator_call(stand_in);
    Cell b = ints({3, 1, 2, 5, 4});
    sort(b, {}, {{S_COMPARE, function_cell(1)}});
    EXPECT_EQ(mold(b), "[1 2 3 4 5]");
    sort(b, {S_REVERSE}, {{S_COMPARE, function_cell(1)}});
    EXPECT_EQ(mold(b), "[5 4 3 2 1]");
    Cell r = ints({1, 9, 2, 8, 3, 7});
    sort(r, {S_ALL}, {{S_SKIP, I(2)}, {S_COMPARE, function_cell(3)}});
    EXPECT_EQ(mold(r), "[3 7 2 8 1 9]");
}

TEST_F(BlockSort, ComparatorThatChangesTheBlock) {
    block::set_comparator_call(stand_in);
    Cell b = ints({6, 5, 4, 3, 2, 1});
    sorted_block = &b;
    sort(b, {}, {{S_COMPARE, function_cell(2)}});
    sorted_block = nullptr;
    EXPECT_EQ(mold(b), "[1 2 3 4 5 6]");
    // Shortened below the sorted records: refused rather than written past the tail.
    block::set_comparator_call([](const Cell*, const Cell*, const Cell*) -> const Cell* {
        block::set_tail_at(sorted_block, 1);
        return logic::true_value();
    });
    Cell c = ints({3, 2, 1});
    sorted_block = &c;
    EXPECT_EQ(raised_id([&] { sort(c, {}, {{S_COMPARE, function_cell(1)}}); }), "past-end");
    sorted_block = nullptr;
    EXPECT_EQ(mold(c), "[3]");
}

}  // namespace
}  // namespace zel::test
