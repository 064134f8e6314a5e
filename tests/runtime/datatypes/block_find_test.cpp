// find and select on blocks with their refinements, path access and put.
#include "runtime/datatypes/block.h"
#include "runtime/names.h"
#include "tests/runtime/datatypes/block_test_support.h"

namespace zel::test {
namespace {

using namespace blocks;

class BlockFind : public RuntimeTest {};

// Refinement positions of find: part, only, case, same, any, with, skip,
// last, reverse, tail, match. Flags point at any cell; arguments follow the
// two arguments in the order given.
enum : int { F_PART, F_ONLY, F_CASE, F_SAME, F_ANY, F_WITH, F_SKIP, F_LAST, F_REVERSE, F_TAIL, F_MATCH };

struct Query {
    std::vector<int> flags;
    std::vector<std::pair<int, Cell>> args;  // refinement, argument
};

Cell run_find(actions::StackEntry entry, Cell series, Cell value, const Query& q) {
    std::vector<Cell> cells = {series, value};
    std::vector<int32_t> refs(11, -1);
    for (int f : q.flags) refs[f] = 0;
    for (auto& [r, a] : q.args) {
        refs[r] = static_cast<int32_t>(cells.size());
        cells.push_back(a);
    }
    return call(entry, cells, refs);
}

// The index found (1-based from the buffer start), or 0 for none.
int32_t found_at(const Cell& r) { return cell::type(&r) == TYPE_NONE ? 0 : static_cast<int32_t>(r.w1) + 1; }

TEST_F(BlockFind, FindTable) {
    // [1 2 3 1 2 3 "a" "A"]
    Cell b = B({I(1), I(2), I(3), I(1), I(2), I(3), S("a"), S("A")});
    Cell run = B({I(2), I(3)});
    struct Case {
        uint32_t index;
        Cell value;
        Query q;
        int32_t expected;
    };
    const Case cases[] = {
        {0, I(2), {}, 2},
        {2, I(2), {}, 5},
        {0, I(9), {}, 0},
        {0, run, {}, 2},
        {0, run, {{F_TAIL}, {}}, 4},
        {0, run, {{F_ONLY}, {}}, 0},
        {0, B({}), {}, 0},                              // an empty block is one value
        {0, run, {{F_MATCH}, {}}, 0},
        {1, run, {{F_MATCH}, {}}, 2},
        {1, run, {{F_MATCH, F_TAIL}, {}}, 4},
        {0, I(1), {{F_LAST}, {}}, 4},
        {0, run, {{F_LAST}, {}}, 5},
        {0, I(1), {{F_REVERSE}, {}}, 0},               // nothing before the head
        {5, I(2), {{F_REVERSE}, {}}, 5},
        {5, run, {{F_REVERSE}, {}}, 2},                // a run ends before the head
        {0, S("A"), {}, 7},
        {0, S("A"), {{F_CASE}, {}}, 8},
        {0, I(3), {{}, {{F_PART, I(2)}}}, 0},
        {0, I(3), {{}, {{F_PART, I(3)}}}, 3},
        {0, I(3), {{}, {{F_PART, I(0)}}}, 0},
        {0, I(1), {{}, {{F_SKIP, I(3)}}}, 1},
        {1, I(3), {{}, {{F_SKIP, I(3)}}}, 0},
        {1, I(2), {{}, {{F_SKIP, I(3)}}}, 2},
        {0, I(3), {{F_TAIL}, {{F_SKIP, I(2)}}}, 5},    // forward tail: the match plus the step
        {0, DT(TYPE_STRING), {}, 7},
        {0, DT(TYPE_STRING), {{F_ONLY}, {}}, 0},
        {8, I(1), {}, 0},                              // from the tail
    };
    for (const Case& c : cases) {
        Cell r = run_find(actions::find_stack, at(b, c.index), c.value, c.q);
        EXPECT_EQ(found_at(r), c.expected) << "index " << c.index << " value " << mold(c.value);
    }
}

TEST_F(BlockFind, SeriesPartStopsBeforeItsPosition) {
    Cell b = B({I(1), I(2), I(3)});
    Query q{{}, {{F_PART, at(b, 2)}}};
    EXPECT_EQ(found_at(run_find(actions::find_stack, b, I(2), q)), 2);
    EXPECT_EQ(found_at(run_find(actions::find_stack, b, I(3), q)), 0);
}

TEST_F(BlockFind, SameMatchesTheSameSeriesOnly) {
    Cell inner = B({I(1)});
    Cell b = B({B({I(1)}), inner});
    EXPECT_EQ(found_at(run_find(actions::find_stack, b, inner, {{F_ONLY}, {}})), 1);
    EXPECT_EQ(found_at(run_find(actions::find_stack, b, inner, {{F_ONLY, F_SAME}, {}})), 2);
}

TEST_F(BlockFind, RefinementErrors) {
    Cell b = B({I(1)});
    EXPECT_EQ(raised_id([&] { run_find(actions::find_stack, b, I(1), {{}, {{F_SKIP, I(0)}}}); }), "out-of-range");
    EXPECT_EQ(raised_id([&] { run_find(actions::find_stack, b, I(1), {{}, {{F_SKIP, S("x")}}}); }),
              "invalid-refine-arg");
    EXPECT_EQ(raised_id([&] { run_find(actions::find_stack, b, I(1), {{}, {{F_PART, B({})}}}); }),
              "invalid-refine-arg");
}

TEST_F(BlockFind, Select) {
    Cell b = B({I(1), S("one"), I(2), S("two"), I(3)});
    EXPECT_EQ(mold(run_find(actions::select_stack, b, I(2), {})), "\"two\"");
    EXPECT_EQ(mold(run_find(actions::select_stack, b, I(3), {})), "none");  // the last value
    EXPECT_EQ(mold(run_find(actions::select_stack, b, I(9), {})), "none");
    EXPECT_EQ(mold(run_find(actions::select_stack, b, B({S("one"), I(2)}), {})), "\"two\"");
    EXPECT_EQ(mold(run_find(actions::select_stack, b, I(1), {{F_LAST}, {}})), "\"one\"");
    EXPECT_EQ(mold(run_find(actions::select_stack, b, S("ONE"), {{F_CASE}, {}})), "none");
}

TEST_F(BlockFind, SmallSelectAndRemoveRoutines) {
    Cell b = B({I(1), I(2), I(3), I(2)});
    Cell one = I(1), nine = I(9), last = I(2);
    EXPECT_EQ(mold(*block::select_value(&b, &one)), "2");
    EXPECT_EQ(mold(*block::select_value(&b, &nine)), "none");
    Cell from_last = at(b, 3);
    EXPECT_EQ(mold(*block::select_value(&from_last, &last)), "none");
    Cell three = I(3);
    EXPECT_EQ(mold(*block::select_value(&b, &three)), "2");
    Cell two = I(2);
    Cell moved = at(b, 2);
    EXPECT_EQ(block::remove_value(&moved, &two, true), 1);  // removed at index 1, before the head
    EXPECT_EQ(mold(b), "[1 3 2]");
    EXPECT_EQ(block::remove_value(&b, &two, false), 0);
    EXPECT_EQ(mold(b), "[1 3]");
}

TEST_F(BlockFind, EvalPath) {
    Cell b = B({S("a"), I(1), S("b"), I(2)});
    Cell two = I(2), key = S("b"), missing = S("z"), value = I(20);
    EXPECT_EQ(mold(*actions::eval_path(&b, &two, nullptr, nullptr, nullptr, nullptr, 0, false, true, false, false)),
              "1");
    EXPECT_EQ(mold(*actions::eval_path(&b, &key, nullptr, nullptr, nullptr, nullptr, 0, false, true, false, false)),
              "2");
    actions::eval_path(&b, &key, &value, &b, nullptr, nullptr, 0, false, false, true, false);
    EXPECT_EQ(mold(b), "[\"a\" 1 \"b\" 20]");
    EXPECT_EQ(raised_id([&] {
                  actions::eval_path(&b, &missing, &value, &b, nullptr, nullptr, 0, false, false, true, false);
              }),
              "bad-path-set");
}

TEST_F(BlockFind, Put) {
    Cell b = B({S("a"), I(1), S("b")});
    Cell r = call(actions::put_stack, {b, S("a"), I(10)}, {});
    EXPECT_EQ(mold(r), "10");
    EXPECT_EQ(mold(b), "[\"a\" 10 \"b\"]");
    call(actions::put_stack, {b, S("b"), I(20)}, {});  // the key is the last value
    EXPECT_EQ(mold(b), "[\"a\" 10 \"b\" 20]");
    call(actions::put_stack, {b, S("c"), I(30)}, {});
    EXPECT_EQ(mold(b), "[\"a\" 10 \"b\" 20 \"c\" 30]");
    call(actions::put_stack, {b, S("C"), I(40)}, {0});  // /case: a new key
    EXPECT_EQ(mold(b), "[\"a\" 10 \"b\" 20 \"c\" 30 \"C\" 40]");
}

}  // namespace
}  // namespace zel::test

namespace zel::test {
namespace {

using namespace blocks;

class BlockWords : public RuntimeTest {
protected:
    static Cell W(const char* name, uint32_t type = TYPE_WORD) {
        Cell w;
        names::word(name, &w);
        cell::set_type(&w, type);
        return w;
    }
};

TEST_F(BlockWords, PathAccessByWord) {
    Cell b = B({W("alpha", TYPE_SET_WORD), I(1), W("beta"), I(2)});
    EXPECT_EQ(mold(b), "[alpha: 1 beta 2]");
    Cell key = W("ALPHA"), beta = W("beta");
    EXPECT_EQ(mold(*actions::eval_path(&b, &key, nullptr, nullptr, nullptr, nullptr, 0, false, true, false, false)),
              "1");
    EXPECT_EQ(mold(*actions::eval_path(&b, &key, nullptr, nullptr, nullptr, nullptr, 0, true, true, false, false)),
              "none");  // the case flag compares spellings exactly
    EXPECT_EQ(mold(*block::select_word(&b, &beta, true)), "2");
    EXPECT_EQ(mold(B({W("a"), W("b")}, TYPE_PATH)), "a/b");
    EXPECT_EQ(mold(B({W("a"), W("b")}, TYPE_GET_PATH)), ":a/b");
}

TEST_F(BlockWords, ErrorsNameTheRefinement) {
    text::Raised r = text::raised([] { call(actions::remove_stack, {one_to(3), S("x")}, {1}); });
    EXPECT_EQ(r.id, "invalid-refine-arg");
    ASSERT_EQ(r.args.size(), 2u);
    EXPECT_EQ(mold(r.args[0]), "part");
    r = text::raised([] { call(actions::copy_stack, {one_to(3), I(1)}, {-1, -1, 1}); });
    EXPECT_EQ(r.id, "expect-arg");
    ASSERT_EQ(r.args.size(), 3u);
    EXPECT_EQ(mold(r.args[1]), "integer!");
    EXPECT_EQ(mold(r.args[2]), "kind");
}

TEST_F(BlockWords, OwnedField) {
    Cell b = one_to(2), owned = W("owned"), other = W("spec");
    Cell r = call(actions::reflect_stack, {b, owned}, {});
    EXPECT_EQ(mold(r), "none");
    EXPECT_EQ(raised_id([&] { call(actions::reflect_stack, {b, other}, {}); }), "not-done");
    Cell v = N();
    EXPECT_EQ(mold(call(actions::modify_stack, {b, other, v}, {})), "none");
}

}  // namespace
}  // namespace zel::test
