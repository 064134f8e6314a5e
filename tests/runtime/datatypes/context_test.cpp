// Contexts: word tables, deep binding, self, reading and setting values, the
// global word entries of case variants, and the errors for words whose
// context has no values; the global values read without a lookup while the
// global context grows.
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/values.h"
#include "runtime/stack.h"
#include "runtime/words.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

class ContextTest : public test::RuntimeTest {
protected:
    Cell word(const char* name, uint32_t type = TYPE_WORD) {
        return Cell{type, 0, symbol::make(name), 0xFFFFFFFFu};
    }
    Cell series_of(uint32_t type, const std::vector<Cell>& cells) {
        Cell b = test::text::block_of(cells);
        cell::set_type(&b, type);
        return b;
    }
    Cell* at(const Cell& blk, uint32_t i) { return series::buffer_of(blk.w2)->head_cell() + i; }
    Node context_of(std::initializer_list<const char*> names, bool stack_values = false, bool self = false,
                    context::Kind kind = context::KIND_OBJECT) {
        Node ctx = context::make(0, stack_values, self, nullptr, kind);
        for (const char* n : names) {
            Cell w = word(n);
            context::add_word(ctx, &w);
        }
        return ctx;
    }
};

TEST_F(ContextTest, MakeWithNoSlotsHasRoom) {
    Node ctx = context::make(0, false, false, nullptr, context::KIND_OBJECT);
    EXPECT_EQ(context::word_count(ctx), 0u);
    Cell w = word("ctx-one");
    EXPECT_EQ(context::add_word(ctx, &w), 0);
    EXPECT_EQ(context::add_word(ctx, &w), 0);
    EXPECT_EQ(context::word_count(ctx), 1u);
    EXPECT_EQ(series::buffer_of(context::context_cell(ctx)->w2)->length(), 1u);  // one value per word
}

TEST_F(ContextTest, DeepBindingReachesBlocksParensAndPaths) {
    Node ctx = context_of({"ctx-a", "ctx-b", "ctx-c", "ctx-d"});
    Cell inner = test::text::block_of({word("ctx-b")});
    Cell paren = series_of(TYPE_PAREN, {word("ctx-c")});
    Cell path = series_of(TYPE_PATH, {word("ctx-d"), word("ctx-e")});
    Cell blk = test::text::block_of({word("ctx-a"), inner, paren, path, word("ctx-A", TYPE_SET_WORD)});
    context::bind(&blk, ctx, false);
    EXPECT_EQ(at(blk, 0)->w1, ctx);
    EXPECT_EQ(at(blk, 0)->w3, 0u);
    EXPECT_EQ(at(inner, 0)->w1, ctx);
    EXPECT_EQ(at(inner, 0)->w3, 1u);
    EXPECT_EQ(at(paren, 0)->w3, 2u);
    EXPECT_EQ(at(path, 0)->w3, 3u);
    EXPECT_EQ(at(path, 1)->w1, 0u);  // e: not in the context, left alone
    EXPECT_EQ(at(blk, 4)->w3, 0u);   // case variants bind to the same word
}

TEST_F(ContextTest, SelfContainingBlockIsBoundOnce) {
    Node ctx = context_of({"ctx-a"});
    Cell blk = test::text::block_of({word("ctx-a")});
    *series::alloc_tail_cell(blk.w2) = blk;  // the block holds itself
    context::bind(&blk, ctx, false);
    EXPECT_EQ(at(blk, 0)->w1, ctx);
}

TEST_F(ContextTest, SelfReadsTheOwner) {
    Node ctx = context_of({"ctx-a"}, false, true);
    *context::owner_cell(ctx) = Cell{TYPE_OBJECT, ctx, 0, 0};
    Cell blk = test::text::block_of({word("self"), word("Self")});
    context::bind(&blk, ctx, true);
    EXPECT_EQ(at(blk, 0)->w1, ctx);
    EXPECT_EQ(static_cast<int32_t>(at(blk, 0)->w3), -1);
    Cell* v = context::get(at(blk, 0));
    EXPECT_EQ(cell::type(v), uint32_t{TYPE_OBJECT});
    EXPECT_EQ(v->w1, ctx);
    // Self is looked up as an ordinary word: the context lacks it.
    EXPECT_EQ(at(blk, 1)->w1, 0u);
}

TEST_F(ContextTest, SetAddsUnboundWordsAndKeepsTheBinding) {
    Node ctx = context_of({});
    Cell w = word("ctx-new");
    w.w1 = ctx;
    EXPECT_EQ(test::raised_id([&] { context::get(&w); }), "no-value");
    Cell v = test::text::integer(5);
    Cell unbound = word("ctx-new");
    context::set_in(&unbound, &v, ctx, true);
    EXPECT_EQ(unbound.w1, ctx);  // the context is stored with the index
    EXPECT_EQ(unbound.w3, 0u);
    EXPECT_EQ(cell::get_int(context::get(&unbound)), 5);
    EXPECT_NE(context::word_entries(ctx)[0].header & context::WORD_SET_MARK, 0u);
}

TEST_F(ContextTest, FunctionContextWithoutARunningCall) {
    Node fctx = context_of({"ctx-arg"}, true, false, context::KIND_FUNCTION);
    Cell w = word("ctx-arg");
    ASSERT_EQ(context::bind_word(fctx, &w), 0);
    Cell v = test::text::integer(7);
    EXPECT_EQ(test::raised_id([&] { context::get(&w); }), "not-in-context");
    EXPECT_EQ(test::raised_id([&] { context::set_in(&w, &v, fctx, false); }), "not-defined");
    EXPECT_EQ(interpreter::bound_value(&w), nullptr);

    // During a call the argument is read from the stack.
    Cell name = word("ctx-fn");
    stack::mark_func(&name, fctx);
    stack::push(&v);
    stack::mark_func_body(&name, fctx);
    EXPECT_EQ(cell::get_int(context::get(&w)), 7);
    EXPECT_EQ(interpreter::bound_value(&w), context::get(&w));
    Cell unbound = w;  // bound to the context, at no index
    unbound.w3 = 0xFFFFFFFFu;
    EXPECT_EQ(interpreter::bound_value(&unbound), nullptr);
    stack::unwind_restore();
    stack::unwind_restore();
    // After it returned: an error, not a read of dead stack cells.
    EXPECT_EQ(test::raised_id([&] { context::get(&w); }), "not-in-context");
    EXPECT_EQ(interpreter::bound_value(&w), nullptr);
    // A stale values reference above the stack top is refused the same way.
    context::context_cell(fctx)->w2 = stack::values_ref(stack::top + 3);
    EXPECT_EQ(test::raised_id([&] { context::get(&w); }), "not-in-context");
    EXPECT_EQ(interpreter::bound_value(&w), nullptr);
    context::context_cell(fctx)->w2 = 0;
}

TEST_F(ContextTest, GlobalEntriesOfCaseVariantsShareTheValue) {
    Cell canonical, variant, exact;
    word::load("ctx-glob", &canonical);
    word::load("CTX-Glob", &variant);
    EXPECT_EQ(variant.w2, symbol::make("CTX-Glob"));  // keeps its own spelling
    EXPECT_EQ(variant.w3, canonical.w3);
    word::make_global(symbol::make("CTX-GLOB"), &exact);  // exact: an entry of its own
    EXPECT_EQ(exact.w3, canonical.w3);                   // whose index is the canonical one's
    Cell v = test::text::integer(11);
    context::set_in(&canonical, &v, context::global, true);
    EXPECT_EQ(cell::get_int(context::get(&exact)), 11);
    Cell copy;
    context::get_global(symbol::make("ctx-glob"), &copy);
    EXPECT_EQ(cell::get_int(&copy), 11);
}

TEST_F(ContextTest, ValuesAndSetWordCollection) {
    Node ctx = context_of({"ctx-x"});
    Cell x = word("ctx-x"), y = word("ctx-y");
    Cell one = test::text::integer(1), two = test::text::integer(2);
    context::add_value(ctx, &y, &one);
    context::add_value(ctx, &y, &two);  // present: unchanged
    EXPECT_EQ(cell::get_int(context::get_in_symbol(y.w2, ctx)), 1);
    context::put_value(ctx, &y, &two);
    EXPECT_EQ(cell::get_int(context::get_in_symbol(y.w2, ctx)), 2);
    Cell body = test::text::block_of({word("ctx-z", TYPE_SET_WORD), x, word("ctx-x", TYPE_SET_WORD)});
    EXPECT_TRUE(context::collect_set_words(ctx, &body));
    EXPECT_FALSE(context::collect_set_words(ctx, &body));
    EXPECT_EQ(context::find_word(ctx, symbol::make("ctx-z"), false), 2);
    EXPECT_EQ(context::find_word(ctx, symbol::make("CTX-Z"), false), -1);
    EXPECT_EQ(context::find_word(ctx, symbol::make("CTX-Z"), true), 2);
}

TEST_F(ContextTest, CloneGivesTheOwnerItsOwnWords) {
    Node ctx = context_of({"ctx-p", "ctx-q"});
    Cell owner{TYPE_OBJECT, ctx, 0, 0};
    Node copy = context::clone(&owner, context::KIND_OBJECT);
    EXPECT_NE(copy, ctx);
    EXPECT_EQ(owner.w1, copy);
    EXPECT_EQ(context::word_count(copy), 2u);
    EXPECT_EQ(context::word_entries(copy)[1].w1, copy);
    Cell r = word("ctx-r");
    context::add_word(copy, &r);
    EXPECT_EQ(context::word_count(ctx), 2u);  // the original is untouched
}

TEST_F(ContextTest, ObjectChangeHandlerSeesOldAndNewValues) {
    static int32_t seen_old = 0, seen_new = 0;
    context::set_change_handler([](Cell*, Cell*, Cell* old_value, Cell* slot) {
        seen_old = cell::get_int(old_value);
        seen_new = cell::get_int(slot);
    });
    Node ctx = context_of({"ctx-field"}, false, true);
    *context::owner_cell(ctx) = Cell{TYPE_OBJECT, ctx, 1, 99};  // has events
    Cell w = word("ctx-field");
    Cell one = test::text::integer(1), two = test::text::integer(2);
    context::set_in(&w, &one, ctx, false);
    Cell* top = stack::top;
    context::set_in(&w, &two, ctx, true);
    EXPECT_EQ(stack::top, top);
    EXPECT_EQ(seen_old, 1);
    EXPECT_EQ(seen_new, 2);
    context::set_change_handler(nullptr);
}

// Global words are read and set through the memory manager's record of the
// global values, so that record must follow the values to every larger
// buffer: checked against the general lookup while thousands of new words
// move them again and again.
TEST_F(ContextTest, GlobalSlotsFollowTheGrowingGlobalValues) {
    Cell probe;
    word::load("ctx-global-probe", &probe);
    Cell* general = nullptr;
    for (int32_t i = 0; i < 20000; ++i) {
        Cell grown;
        word::load(("ctx-grown-" + std::to_string(i)).c_str(), &grown);
        // Every value cell of a word, new or old, is the one the general lookup finds.
        Cell v = test::text::integer(i);
        interpreter::set_word(&grown, &v);
        ASSERT_EQ(context::global_slot(grown.w3), context::get(&grown)) << i;
        ASSERT_EQ(interpreter::bound_value(&probe), context::get(&probe)) << i;
        uint32_t count = series::buffer_of(context::global_values)->length();
        ASSERT_NE(context::global_slot(count - 1), nullptr) << i;
        ASSERT_EQ(context::global_slot(count), nullptr) << i;  // past the values
        Cell p = test::text::integer(-i);
        interpreter::set_word(&probe, &p);
        ASSERT_EQ(cell::get_int(context::get(&probe)), -i) << i;
        general = context::get(&grown);
    }
    EXPECT_EQ(cell::get_int(general), 19999);
    Cell first;
    word::load("ctx-grown-0", &first);
    EXPECT_EQ(cell::get_int(interpreter::bound_value(&first)), 0);
    // Unbound words are not read as global ones.
    Cell unbound = word("ctx-global-probe");
    unbound.w1 = 0;
    unbound.w3 = 0;
    EXPECT_EQ(interpreter::bound_value(&unbound), nullptr);
}

}  // namespace
}  // namespace zel
