// The runtime word table interned at start: symbols, global words,
// refinements and the issue, with the exact spellings the runtime tests.
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/words.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class WordsTableTest : public test::RuntimeTest {};

TEST_F(WordsTableTest, SymbolsAreInternedInOrder) {
    struct Case {
        uint32_t id;
        const char* name;
    } cases[] = {
        {words::spec, "spec"},      {words::self, "self"},        {words::any_type_x, "any-type!"},
        {words::linux_, "Linux"},   {words::bar, "|"},            {words::dash, "-"},
        {words::away_q, "away?"},   {words::code, "code"},        {words::amount, "amount"},
        {words::no_trace, "no-trace"}, {words::system_global, "system-global"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.id, symbol::make(c.name)) << c.name;
    // Names interned first here get ids in list order.
    EXPECT_LT(words::spec, words::body);
    EXPECT_LT(words::body, words::words_);
    EXPECT_LT(words::self, words::exit_);
    EXPECT_LT(words::trace, words::no_trace);
    // "Linux" keeps its case: the symbol is canonical, not an alias of "linux".
    EXPECT_EQ(symbol::get_alias(words::linux_), -1);
}

TEST_F(WordsTableTest, GlobalWordsAreBoundInTheGlobalContext) {
    const Cell* cases[] = {&words::_at, &words::_put_ed, &words::_swaped, &words::_anon_tag, &words::_on_change_s,
                           &words::_throw, &words::_applied_tag};
    const char* names[] = {"at", "put-ed", "swaped", "<anon>", "on-change*", "throw", "<applied>"};
    for (int i = 0; i < 7; ++i) {
        const Cell* w = cases[i];
        EXPECT_EQ(cell::type(w), uint32_t{TYPE_WORD}) << names[i];
        EXPECT_EQ(w->w1, context::global) << names[i];
        EXPECT_EQ(w->w2, symbol::make(names[i])) << names[i];
        EXPECT_EQ(static_cast<int32_t>(w->w3), context::find_word(context::global, w->w2, false)) << names[i];
    }
}

TEST_F(WordsTableTest, RefinementsAndIssue) {
    const Cell* refs[] = {&words::_local_ref, &words::_extern_ref, &words::_compare_ref,
                          &words::_part_ref,  &words::_skip_ref,   &words::_with_ref};
    const char* names[] = {"local", "extern", "compare", "part", "skip", "with"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(cell::type(refs[i]), uint32_t{TYPE_REFINEMENT});
        EXPECT_EQ(refs[i]->w1, 0u);  // unbound
        EXPECT_EQ(refs[i]->w2, symbol::make(names[i]));
    }
    EXPECT_EQ(cell::type(&words::_ooo), uint32_t{TYPE_ISSUE});
    EXPECT_EQ(words::_ooo.w2, symbol::make("ooo"));
}

}  // namespace
}  // namespace zel
