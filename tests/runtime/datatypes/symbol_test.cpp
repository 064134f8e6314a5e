// The symbol table: interning, case aliases, the fold mode, the string
// cache, sixteenfold growth and the symbol compare.
#include <string>
#include "runtime/datatypes/symbol.h"
#include "runtime/hashtable.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

class SymbolTest : public test::RuntimeTest {};

TEST_F(SymbolTest, CaseVariantsAliasTheCanonicalSymbol) {
    uint32_t foo = symbol::make("sym-foo");
    EXPECT_EQ(symbol::make("sym-foo"), foo);
    uint32_t Foo = symbol::make("sym-Foo");
    EXPECT_NE(Foo, foo);
    EXPECT_EQ(symbol::resolve(Foo), foo);
    uint32_t FOO = symbol::make("SYM-FOO");
    EXPECT_NE(FOO, Foo);
    EXPECT_EQ(symbol::resolve(FOO), foo);  // the canonical one, not Foo
    EXPECT_EQ(symbol::get_alias(foo), -1);
    EXPECT_EQ(symbol::get_alias(FOO), static_cast<int32_t>(foo));
    // Interning a variant again gives the same id: ids never change.
    EXPECT_EQ(symbol::make("sym-Foo"), Foo);
}

TEST_F(SymbolTest, FoldModeReturnsTheKnownSymbol) {
    uint32_t top = symbol::make_flagged("sym-top");
    uint32_t before = symbol::count();
    EXPECT_EQ(symbol::make_flagged("Sym-Top"), top);
    EXPECT_EQ(symbol::count(), before);
}

TEST_F(SymbolTest, NamesMatchByLengthAndAsciiCaseOnly) {
    uint32_t ab = symbol::make("sym-ab");
    uint32_t abc = symbol::make("sym-abc");
    EXPECT_NE(ab, abc);
    EXPECT_EQ(symbol::resolve(symbol::make("SYM-AB")), ab);
    // e acute and E acute are not folded: two canonical symbols.
    uint32_t lower = symbol::make("sym-\xC3\xA9");
    uint32_t upper = symbol::make("sym-\xC3\x89");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(symbol::get_alias(upper), -1);
    // An empty name is a symbol like any other.
    EXPECT_EQ(symbol::make(""), symbol::make(""));
}

TEST_F(SymbolTest, StringCacheIsFilledOnDemand) {
    // A name never made before in this process, however often the test runs.
    static int run = 0;
    std::string name = "sym-cached-\xC3\xA9-" + std::to_string(run++);
    uint32_t id = symbol::make(name.c_str());
    EXPECT_EQ(symbol::cell_of(id)->w2, 0u);
    Cell* c = symbol::get(id);
    ASSERT_NE(c->w2, 0u);
    Cell s;
    symbol::name_string(id, &s);
    EXPECT_EQ(test::text::utf8(s), name);
    EXPECT_STREQ(reinterpret_cast<const char*>(symbol::get_c_string(symbol::make("sym-c"))), "sym-c");
}

TEST_F(SymbolTest, FromStringInternsItsUtf8) {
    Cell s = test::text::make("sym-h\xC3\xA9llo");
    EXPECT_EQ(symbol::make_from_string(&s), symbol::make("sym-h\xC3\xA9llo"));
    s.w1 = 4;  // from the head only
    EXPECT_EQ(symbol::make_from_string(&s), symbol::make("h\xC3\xA9llo"));
}

TEST_F(SymbolTest, TableGrowsSixteenfold) {
    Node blk = series::alloc_cells(4);
    Cell b;
    set_series(&b, TYPE_BLOCK, blk);
    Node t = hashtable::make(0, &b, hashtable::KIND_SYMBOL, 0);
    EXPECT_EQ(hashtable::record(t)->buckets, 8u);
    uint32_t ids[7];
    for (int i = 0; i < 7; ++i) {
        std::string name = "grow" + std::to_string(i);
        ids[i] = hashtable::put_symbol(t, reinterpret_cast<const uint8_t*>(name.data()),
                                       static_cast<uint32_t>(name.size()), false);
    }
    // The seventh name met a full table: 16 x (8 + 1) = 144 -> 256 buckets.
    EXPECT_EQ(hashtable::record(t)->buckets, 256u);
    for (int i = 0; i < 7; ++i) {
        std::string name = "grow" + std::to_string(i);
        EXPECT_EQ(hashtable::put_symbol(t, reinterpret_cast<const uint8_t*>(name.data()),
                                        static_cast<uint32_t>(name.size()), false),
                  ids[i]);
    }
}

TEST_F(SymbolTest, CompareByName) {
    uint32_t a = symbol::make("sym-abc"), b = symbol::make("SYM-ABC"), c = symbol::make("sym-abd");
    EXPECT_EQ(symbol::compare_ids(a, b, COMP_EQUAL), 0);
    EXPECT_NE(symbol::compare_ids(a, b, COMP_STRICT_EQUAL), 0);
    EXPECT_EQ(symbol::compare_ids(a, c, COMP_LESSER), -1);
    EXPECT_EQ(symbol::compare(symbol::cell_of(c), symbol::cell_of(a), COMP_SORT), 1);
}

}  // namespace
}  // namespace zel
