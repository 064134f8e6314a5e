// The word family and issue!: mold and form texts, comparison under each
// op, index?, conversions with their errors, and reading values.
#include <string>
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/stack.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

class WordTest : public test::RuntimeTest {
protected:
    Cell word(const char* name, uint32_t type = TYPE_WORD) {
        Cell w;
        word::make_at(symbol::make(name), &w);
        cell::set_type(&w, type);
        return w;
    }
    Cell datatype(uint32_t t) {
        Cell c;
        return *set_datatype(&c, t);
    }
    std::string to(uint32_t type, Cell spec) {
        Cell proto = datatype(type);
        Cell* r = actions::to(&proto, &spec);
        return test::text::mold(*r);
    }
    std::string to_error(uint32_t type, Cell spec) {
        Cell proto = datatype(type);
        return test::raised_id([&] { actions::to(&proto, &spec); });
    }
};

TEST_F(WordTest, MoldAndFormTexts) {
    struct Case {
        uint32_t type;
        const char* mold;
    } cases[] = {
        {TYPE_WORD, "w-name"},       {TYPE_SET_WORD, "w-name:"},     {TYPE_LIT_WORD, "'w-name"},
        {TYPE_GET_WORD, ":w-name"},  {TYPE_REFINEMENT, "/w-name"},   {TYPE_ISSUE, "#w-name"},
    };
    for (const Case& c : cases) {
        Cell w = word("w-name", c.type);
        EXPECT_EQ(test::text::mold(w), c.mold);
        EXPECT_EQ(test::text::form(w), "w-name");
    }
    // Case variants show their own spelling; non-ASCII names survive.
    EXPECT_EQ(test::text::mold(word("W-Name", TYPE_SET_WORD)), "W-Name:");
    EXPECT_EQ(test::text::mold(word("w-\xC3\xA9t\xC3\xA9")), "w-\xC3\xA9t\xC3\xA9");
}

TEST_F(WordTest, MoldBudget) {
    Cell r = word("abc", TYPE_REFINEMENT);
    Cell out;
    string::rs_make_at(&out, 16);
    Cell limit = test::text::integer(1);
    int32_t left = actions::mold(&r, &out, false, false, false, &limit, 1, 0);
    EXPECT_EQ(left, -3);  // one for the slash, three for the name
    string::truncate(series::buffer_of(&out), 1);  // as mold/part does
    EXPECT_EQ(test::text::utf8(out), "/");
}

TEST_F(WordTest, FormingLeavesTheSymbolTableAlone) {
    symbol::make("w-form-variant");
    Cell w = word("W-Form-Variant");
    int32_t alias = symbol::get_alias(w.w2);
    ASSERT_GT(alias, 0) << "needs a case variant";
    EXPECT_EQ(test::text::form(w), "W-Form-Variant");
    EXPECT_EQ(symbol::get_alias(w.w2), alias);
}

TEST_F(WordTest, CompareUnderEachOp) {
    Cell abc = word("w-abc"), ABC = word("W-ABC"), set = word("w-abc", TYPE_SET_WORD);
    Cell lit = word("w-abc", TYPE_LIT_WORD), issue = word("w-abc", TYPE_ISSUE), abd = word("w-abd");
    EXPECT_TRUE(actions::compare(&abc, &ABC, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&abc, &ABC, COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(&abc, &set, COMP_EQUAL));           // types ignored
    EXPECT_FALSE(actions::compare(&abc, &set, COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(&abc, &issue, COMP_EQUAL));        // an issue never equals a word
    EXPECT_FALSE(actions::compare(&issue, &abc, COMP_EQUAL));
    EXPECT_TRUE(actions::compare(&abc, &issue, COMP_NOT_EQUAL));
    EXPECT_TRUE(actions::compare(&abc, &lit, COMP_EQUAL_WORD));      // word and lit-word count as one
    EXPECT_FALSE(actions::compare(&abc, &set, COMP_EQUAL_WORD));
    EXPECT_FALSE(actions::compare(&ABC, &lit, COMP_EQUAL_WORD));     // op 10: exact symbols
    EXPECT_TRUE(actions::compare(&ABC, &lit, COMP_NOT_EQUAL_WORD));  // op 11: resolved symbols
    EXPECT_TRUE(actions::compare(&abc, &abc, COMP_SAME));
    Cell unbound = abc;
    unbound.w1 = 0;
    EXPECT_FALSE(actions::compare(&abc, &unbound, COMP_SAME));
    EXPECT_TRUE(actions::compare(&abc, &abd, COMP_LESSER));
    EXPECT_TRUE(actions::compare(&ABC, &abd, COMP_LESSER));          // ordering folds case
    Cell i = test::text::integer(1);
    EXPECT_EQ(test::raised_id([&] { actions::compare(&abc, &i, COMP_LESSER); }), "invalid-compare");
}

TEST_F(WordTest, IndexOfWords) {
    auto index = [](Cell w) {
        Cell* base = stack::top;
        stack::arguments = base;
        stack::push(&w);
        actions::typed<actions::StackFn>(actions::get_action_by_value(&w, ACT_INDEX_Q))();
        Cell r = *base;
        stack::top = base;
        return r;
    };
    Cell unbound{TYPE_WORD, 0, symbol::make("w-free"), 0xFFFFFFFFu};
    Cell none = index(unbound);
    EXPECT_EQ(cell::type(&none), uint32_t{TYPE_NONE});
    Node ctx = context::make(3, false, false, nullptr, context::KIND_OBJECT);
    Cell a{TYPE_WORD, 0, symbol::make("w-i1"), 0}, b{TYPE_WORD, 0, symbol::make("w-i2"), 0};
    context::add_word(ctx, &a);
    context::add_word(ctx, &b);
    context::bind_word(ctx, &b);
    Cell r = index(b);
    EXPECT_EQ(cell::get_int(&r), 2);
}

TEST_F(WordTest, ConversionsToWords) {
    EXPECT_EQ(to(TYPE_WORD, test::text::make("w-foo:")), "w-foo");
    EXPECT_EQ(to(TYPE_SET_WORD, test::text::make("w-foo")), "w-foo:");
    EXPECT_EQ(to_error(TYPE_WORD, test::text::make("a:b")), "invalid-chars");
    EXPECT_EQ(to_error(TYPE_WORD, test::text::make("12")), "invalid-chars");
    EXPECT_EQ(to_error(TYPE_WORD, test::text::make("a b")), "invalid-chars");
    EXPECT_EQ(to_error(TYPE_WORD, test::text::make("")), "invalid-chars");
    Cell ch;
    cell::set(&ch, TYPE_CHAR, 0, 'x');
    EXPECT_EQ(to(TYPE_WORD, ch), "x");
    EXPECT_EQ(to(TYPE_WORD, word("w-abc", TYPE_ISSUE)), "w-abc");
    EXPECT_EQ(to_error(TYPE_WORD, word("123", TYPE_ISSUE)), "bad-to-arg");
    Cell t;
    EXPECT_EQ(to(TYPE_WORD, *set_logic(&t, true)), "true");
    EXPECT_EQ(to(TYPE_LIT_WORD, datatype(TYPE_INTEGER)), "'integer!");
    EXPECT_EQ(to_error(TYPE_WORD, test::text::integer(3)), "bad-to-arg");
    EXPECT_EQ(to(TYPE_REFINEMENT, word("w-r")), "/w-r");
}

TEST_F(WordTest, IssueConversionsKeepTheText) {
    EXPECT_EQ(to(TYPE_ISSUE, test::text::make("a b")), "#a b");
    EXPECT_EQ(to(TYPE_ISSUE, word("w-x", TYPE_GET_WORD)), "#w-x");
    Cell proto = datatype(TYPE_ISSUE);
    Cell s = test::text::make("w-iss");
    Cell* r = actions::to(&proto, &s);
    EXPECT_EQ(r->w1, context::global);
    EXPECT_EQ(static_cast<int32_t>(r->w3), -1);
}

TEST_F(WordTest, ReadingValues) {
    // A word never set before in this process, however often the test runs.
    static int run = 0;
    std::string name = "w-value-" + std::to_string(run++);
    Cell w = word(name.c_str());
    EXPECT_EQ(test::raised_id([&] { word::get(&w); }), "no-value");
    Cell* any = word::get_any(&w);
    EXPECT_EQ(cell::type(any), uint32_t{TYPE_UNSET});
    Cell v = test::text::integer(4);
    word::set(&w, &v);
    EXPECT_EQ(cell::get_int(word::get(&w)), 4);
    // set from arguments: an unset value is refused.
    Cell u;
    set_unset(&u);
    EXPECT_EQ(test::raised_id([&] {
                  stack::arguments = stack::top;
                  stack::push(&w);
                  stack::push(&u);
                  word::set_from_arg(true);
              }),
              "need-value");
}

}  // namespace
}  // namespace zel
