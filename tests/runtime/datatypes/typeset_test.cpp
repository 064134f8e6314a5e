// typeset!: the 96-bit payload, construction, membership, the set
// operations and the molded text.
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/stack.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

class TypesetTest : public test::RuntimeTest {
protected:
    Cell dt(uint32_t t) {
        Cell c;
        return *set_datatype(&c, t);
    }
    Cell make(const std::vector<Cell>& spec) {
        Cell proto = dt(TYPE_TYPESET);
        Cell blk = test::text::block_of(spec);
        return *actions::make(&proto, &blk);
    }
    // Runs a two-argument stack action on a and b; the result cell.
    Cell binary(int slot, const Cell& a, const Cell& b) {
        Cell* base = stack::top;
        stack::arguments = base;
        stack::push(&a);
        stack::push(&b);
        actions::typed<actions::StackFn>(actions::get_action_by_value(&a, slot))();
        Cell r = *base;
        stack::top = base;
        return r;
    }
};

TEST_F(TypesetTest, PayloadBitsAreMostSignificantFirst) {
    Cell ts;
    typeset::clear(&ts);
    typeset::set_bit(&ts, TYPE_DATATYPE);  // id 1: byte 0, bit 40h
    typeset::set_bit(&ts, TYPE_WORD);      // id 15: byte 1, bit 01h
    uint8_t bytes[12];
    std::memcpy(bytes, &ts.w1, 12);
    EXPECT_EQ(bytes[0], 0x40);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_TRUE(typeset::contains(&ts, TYPE_WORD));
    EXPECT_FALSE(typeset::contains(&ts, TYPE_SET_WORD));
    EXPECT_EQ(typeset::count(&ts), 2u);
}

TEST_F(TypesetTest, MoldTexts) {
    EXPECT_EQ(test::text::mold(make({})), "make typeset! []");
    Cell ts = make({dt(TYPE_FLOAT), dt(TYPE_INTEGER)});
    EXPECT_EQ(test::text::mold(ts), "make typeset! [integer! float!]");  // id order
    EXPECT_EQ(test::text::form(ts), "make typeset! [integer! float!]");
    Cell out;
    string::rs_make_at(&out, 16);
    actions::mold(&ts, &out, true, false, false, nullptr, NO_LIMIT, 0);
    EXPECT_EQ(test::text::utf8(out), "integer! float!");
}

TEST_F(TypesetTest, EqualWhateverTheSourceOrder) {
    Cell a = make({dt(TYPE_FLOAT), dt(TYPE_INTEGER), dt(TYPE_BLOCK)});
    Cell b = make({dt(TYPE_BLOCK), dt(TYPE_INTEGER), dt(TYPE_FLOAT)});
    EXPECT_TRUE(actions::compare(&a, &b, COMP_EQUAL));
    Cell c = make({dt(TYPE_BLOCK)});
    EXPECT_FALSE(actions::compare(&a, &c, COMP_EQUAL));
    EXPECT_EQ(actions::compare_int(&c, &a, COMP_SORT), -1);  // ordered by size
    Cell i = test::text::integer(1);
    EXPECT_TRUE(actions::compare(&a, &i, COMP_NOT_EQUAL));
}

TEST_F(TypesetTest, MakeErrors) {
    Cell proto = dt(TYPE_TYPESET);
    Cell one = test::text::integer(1);
    Cell blk = test::text::block_of({one});
    EXPECT_EQ(test::raised_id([&] { actions::make(&proto, &blk); }), "invalid-arg");
    EXPECT_EQ(test::raised_id([&] { actions::make(&proto, &one); }), "bad-to-arg");
    Cell spec = test::text::block_of({test::text::make("x")});
    Cell target = test::text::block_of({});
    EXPECT_EQ(test::raised_id([&] { typeset::make_from_block(&target, &spec); }), "invalid-type-spec");
}

TEST_F(TypesetTest, WordsStandForTheirValues) {
    // number!: a word whose value is a typeset of integer! and float!.
    Cell number;
    word::load("ts-number!", &number);
    Cell nums = make({dt(TYPE_INTEGER), dt(TYPE_FLOAT)});
    context::set_in(&number, &nums, context::global, false);
    Cell ts = make({number});
    Cell integer = dt(TYPE_INTEGER), str = dt(TYPE_STRING);
    Cell* found = actions::find(&ts, &integer, nullptr, false, false, false, false, nullptr, nullptr, false, false,
                                false, false);
    EXPECT_TRUE(found->w1);
    found = actions::find(&ts, &str, nullptr, false, false, false, false, nullptr, nullptr, false, false, false, false);
    EXPECT_FALSE(found->w1);
    Cell one = test::text::integer(1);
    EXPECT_EQ(test::raised_id([&] {
                  actions::find(&ts, &one, nullptr, false, false, false, false, nullptr, nullptr, false, false, false,
                                false);
              }),
              "invalid-arg");
    // In a spec block, a word whose value is a word stands for object!.
    Cell alias;
    word::load("ts-alias", &alias);
    context::set_in(&alias, &number, context::global, false);
    Cell target = test::text::block_of({});
    Cell spec = test::text::block_of({alias, test::text::block_of({}), dt(TYPE_NONE)});
    Cell* made = typeset::make_from_block(&target, &spec);
    EXPECT_TRUE(typeset::contains(made, TYPE_OBJECT));
    EXPECT_TRUE(typeset::contains(made, TYPE_NONE));
    EXPECT_EQ(typeset::count(made), 2u);
}

TEST_F(TypesetTest, SetOperations) {
    Cell a = make({dt(TYPE_INTEGER), dt(TYPE_FLOAT)});
    Cell b = make({dt(TYPE_FLOAT), dt(TYPE_STRING)});
    EXPECT_EQ(test::text::mold(binary(ACT_OR_T, a, b)), "make typeset! [string! integer! float!]");
    EXPECT_EQ(test::text::mold(binary(ACT_AND_T, a, b)), "make typeset! [float!]");
    EXPECT_EQ(test::text::mold(binary(ACT_XOR_T, a, b)), "make typeset! [string! integer!]");
    EXPECT_EQ(test::text::mold(binary(ACT_OR_T, a, dt(TYPE_BLOCK))), "make typeset! [block! integer! float!]");
    Cell* base = stack::top;
    stack::arguments = base;
    stack::push(&a);
    stack::push(&b);
    typeset::set_op(11);  // difference
    EXPECT_EQ(test::text::mold(*base), "make typeset! [integer!]");
    stack::top = base;
    EXPECT_EQ(test::raised_id([&] { binary(ACT_AND_T, a, test::text::integer(1)); }), "invalid-arg");
}

TEST_F(TypesetTest, ComplementTwiceGivesItBack) {
    Cell a = make({dt(TYPE_INTEGER)});
    Cell c = *actions::complement(&a);
    EXPECT_FALSE(typeset::contains(&c, TYPE_INTEGER));
    EXPECT_TRUE(typeset::contains(&c, TYPE_STRING));
    Cell back = *actions::complement(&c);
    EXPECT_TRUE(actions::compare(&back, &a, COMP_STRICT_EQUAL));
    // Every type but unset!, and the block of a typeset's types.
    Cell blk = test::text::block_of({});
    Cell* all = typeset::push(&blk);
    EXPECT_FALSE(typeset::contains(all, TYPE_UNSET));
    EXPECT_TRUE(typeset::contains(all, TYPE_IMAGE));
    Cell types;
    typeset::to_block(&a, &types);
    EXPECT_EQ(series::buffer_of(&types)->length(), 1u);
    EXPECT_EQ(series::buffer_of(&types)->head_cell()->w1, uint32_t{TYPE_INTEGER});
}

}  // namespace
}  // namespace zel
