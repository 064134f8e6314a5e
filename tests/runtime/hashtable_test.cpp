// The hash table: sizing, the hash! chains of equal keys, finding with skip
// and direction, removal, index upkeep when cells move, growth, entry
// tables, the map! kind and rehashing after the collector renamed nodes.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashtable.h"
#include "runtime/hashtable_internal.h"
#include "runtime/ptrmap.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel {
namespace {

using hashtable::record;

class HashTableTest : public test::RuntimeTest {
protected:
    Cell word(const char* name, uint32_t type = TYPE_WORD) {
        return Cell{type, 0, symbol::make(name), 0xFFFFFFFFu};
    }
    Cell integer(int32_t i) {
        Cell c;
        set_integer(&c, i);
        return c;
    }
    Cell text(const char* s) { return test::text::make(s); }
    Cell block(const std::vector<Cell>& cells) {
        Node n = series::alloc_cells(cells.size() + 1);
        for (const Cell& c : cells) *series::alloc_tail_cell(n) = c;
        Cell b;
        set_series(&b, TYPE_BLOCK, n);
        return b;
    }
    Cell* at(const Cell& blk, uint32_t i) { return series::buffer_of(blk.w2)->head_cell() + i; }
    // The index of a found cell, or -1.
    int64_t index_of(const Cell& blk, const Cell* found) {
        return found ? found - series::buffer_of(blk.w2)->head_cell() : -1;
    }
    int64_t find(Node t, const Cell& blk, Cell key, int32_t head = 0, int32_t skip = 1, int32_t op = COMP_EQUAL,
                 bool last = false, bool reverse = false) {
        return index_of(blk, hashtable::find(t, &key, head, skip, op, last, reverse));
    }
};

TEST_F(HashTableTest, CapacityToBuckets) {
    Node t = hashtable::make(0, nullptr, hashtable::KIND_INTEGER, 0);
    EXPECT_EQ(record(t)->buckets, 8u);
    EXPECT_EQ(record(t)->upper, 6u);
    // The symbol kind doubles large capacities: 8000 keys want 16384 buckets.
    Node s = hashtable::make(4000, nullptr, hashtable::KIND_SYMBOL, 0);
    EXPECT_EQ(record(s)->buckets, 16384u);
    Node h = hashtable::make(100, nullptr, hashtable::KIND_HASH, 0);
    EXPECT_EQ(record(h)->buckets, 256u);  // 100 / 0.77 = 129 -> 256
    EXPECT_EQ(record(h)->upper, 197u);
}

TEST_F(HashTableTest, EqualKeysChainAndStrictFindPicksTheRightCase) {
    Cell blk = block({word("ht-abc"), word("HT-ABC"), word("ht-other")});
    Node t = hashtable::make(3, &blk, hashtable::KIND_HASH, 0);
    EXPECT_EQ(record(t)->size, 2u);  // two distinct keys, the case variants chained
    EXPECT_EQ(find(t, blk, word("HT-ABC")), 0);
    EXPECT_EQ(find(t, blk, word("HT-ABC"), 0, 1, COMP_STRICT_EQUAL), 1);
    EXPECT_EQ(find(t, blk, word("ht-abc"), 0, 1, COMP_STRICT_EQUAL), 0);
    EXPECT_EQ(find(t, blk, word("ht-other")), 2);
    EXPECT_EQ(find(t, blk, word("ht-missing")), -1);
    // A set-word has another type byte: not in the chain, but equal under op 0.
    EXPECT_EQ(find(t, blk, word("ht-abc", TYPE_SET_WORD)), 0);
}

TEST_F(HashTableTest, FindWithSkipLastAndReverse) {
    // [a 1 a 2]
    Cell blk = block({word("ht-a"), text("1"), word("ht-a"), text("2")});
    Node t = hashtable::make(4, &blk, hashtable::KIND_HASH, 0);
    EXPECT_EQ(find(t, blk, word("ht-a"), 0, 2), 0);
    EXPECT_EQ(find(t, blk, word("ht-a"), 0, 2, COMP_EQUAL, true), 2);
    EXPECT_EQ(find(t, blk, word("ht-a"), 3, 2, COMP_EQUAL, false, true), 2);
    EXPECT_EQ(find(t, blk, word("ht-a"), 1, 2), -1);   // index 2 is at distance 1 from head 1
    EXPECT_EQ(find(t, blk, word("ht-a"), 1, 1), 2);
    EXPECT_EQ(find(t, blk, text("2"), 0, 1), 3);
    EXPECT_EQ(find(t, blk, text("2"), 0, 2), -1);      // at an odd distance
}

TEST_F(HashTableTest, RemovingEqualKeys) {
    Cell blk = block({word("ht-r"), word("ht-r"), word("ht-s")});
    Node t = hashtable::make(3, &blk, hashtable::KIND_HASH, 0);
    hashtable::remove_at(t, at(blk, 0));
    EXPECT_EQ(find(t, blk, word("ht-r")), 1);  // the other one stays findable
    EXPECT_EQ(record(t)->size, 2u);
    hashtable::remove_at(t, at(blk, 1));
    EXPECT_EQ(find(t, blk, word("ht-r")), -1);
    EXPECT_EQ(record(t)->size, 1u);  // the last one freed the bucket
    hashtable::remove_at(t, at(blk, 1));  // removing twice changes nothing
    EXPECT_EQ(record(t)->size, 1u);
    EXPECT_EQ(find(t, blk, word("ht-s")), 2);
    hashtable::remove_range(t, 0, 3);
    EXPECT_EQ(record(t)->size, 0u);
    EXPECT_EQ(find(t, blk, word("ht-s")), -1);
}

TEST_F(HashTableTest, GrowthKeepsEveryKey) {
    Cell blk = block({});
    Node t = hashtable::make(0, &blk, hashtable::KIND_HASH, 0);
    for (int i = 0; i < 2000; ++i) {
        Cell w = word(("ht-grow-" + std::to_string(i)).c_str());
        Cell* c = series::alloc_tail_cell(blk.w2);
        *c = w;
        hashtable::put(t, c);
    }
    EXPECT_EQ(record(t)->size, 2000u);
    EXPECT_LT(record(t)->occupied, record(t)->upper);
    for (int i = 0; i < 2000; i += 37) EXPECT_EQ(find(t, blk, word(("ht-grow-" + std::to_string(i)).c_str())), i);
}

TEST_F(HashTableTest, ShiftKeysFollowsAnInsertion) {
    // [a x a y]: insert z at 1, as the series insert action does.
    Cell blk = block({word("ht-sa"), word("ht-sx"), word("ht-sa"), word("ht-sy")});
    Node t = hashtable::make(4, &blk, hashtable::KIND_HASH, 0);
    EXPECT_EQ(hashtable::shift_keys(t, 1, 1, 3, true), 0);
    Cell* c = series::alloc_tail_cell(blk.w2);
    (void)c;
    Cell* cells = series::buffer_of(blk.w2)->head_cell();
    std::memmove(cells + 2, cells + 1, 3 * sizeof(Cell));
    cells[1] = word("ht-sz");
    hashtable::put(t, at(blk, 1));
    EXPECT_EQ(find(t, blk, word("ht-sz")), 1);
    EXPECT_EQ(find(t, blk, word("ht-sx")), 2);
    EXPECT_EQ(find(t, blk, word("ht-sa"), 1), 3);  // the chain moved once, not twice
    EXPECT_EQ(find(t, blk, word("ht-sa")), 0);
    EXPECT_EQ(find(t, blk, word("ht-sy")), 4);
    // Then remove the cell at 1 again.
    hashtable::shift_keys(t, -1, 2, 3, true);
    cells = series::buffer_of(blk.w2)->head_cell();
    std::memmove(cells + 1, cells + 2, 3 * sizeof(Cell));
    series::buffer_of(blk.w2)->tail -= sizeof(Cell);
    EXPECT_EQ(find(t, blk, word("ht-sz")), -1);
    EXPECT_EQ(find(t, blk, word("ht-sx")), 1);
    EXPECT_EQ(find(t, blk, word("ht-sa"), 1), 2);
    EXPECT_EQ(find(t, blk, word("ht-sy")), 3);
    EXPECT_EQ(hashtable::shift_keys(t, 1, 0, 30001, true), 1);  // too many: the caller rebuilds
}

TEST_F(HashTableTest, MoveKeepsIndexesRight) {
    // [a b c d e]: move a (0) to 3 gives [b c d a e].
    Cell blk = block({word("ht-ma"), word("ht-mb"), word("ht-mc"), word("ht-md"), word("ht-me")});
    Node t = hashtable::make(5, &blk, hashtable::KIND_HASH, 0);
    hashtable::move(t, 3, 0, 1);
    Cell* cells = series::buffer_of(blk.w2)->head_cell();
    Cell a = cells[0];
    std::memmove(cells, cells + 1, 3 * sizeof(Cell));
    cells[3] = a;
    const char* order[] = {"ht-mb", "ht-mc", "ht-md", "ht-ma", "ht-me"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(find(t, blk, word(order[i])), i) << order[i];
    // And back: d-a ... move a (3) to 0.
    hashtable::move(t, 0, 3, 1);
    a = cells[3];
    std::memmove(cells + 1, cells, 3 * sizeof(Cell));
    cells[0] = a;
    const char* back[] = {"ht-ma", "ht-mb", "ht-mc", "ht-md", "ht-me"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(find(t, blk, word(back[i])), i) << back[i];
}

TEST_F(HashTableTest, RehashAfterTheCollectorRenamedNodes) {
    Cell inner1 = block({integer(1)}), inner2 = block({integer(2)});
    Cell blk = block({inner1, inner2});
    Node t = hashtable::make(2, &blk, hashtable::KIND_HASH, 0);
    EXPECT_NE(record(t)->stamp, 0u);
    EXPECT_EQ(find(t, blk, inner2), 1);
    // Rename inner2's node as a node evacuation would: same buffer, new id.
    Node moved = memory::alloc_node();
    node_table[moved] = node_table[inner2.w2];
    node_table[moved]->node = moved;
    at(blk, 1)->w2 = moved;
    ++hashtable::nodes_cycles;
    Cell renamed = inner2;
    renamed.w2 = moved;
    EXPECT_EQ(find(t, blk, renamed), 1);
    EXPECT_EQ(record(t)->stamp, hashtable::nodes_cycles + 1);
}

TEST_F(HashTableTest, EntryTables) {
    Node t = hashtable::make(4, nullptr, hashtable::KIND_INTEGER, 1);
    for (uint32_t k = 1; k <= 100; ++k) set_integer(hashtable::put_ptr(t, k * 7919), static_cast<int32_t>(k));
    EXPECT_EQ(record(t)->size, 100u);
    for (uint32_t k = 1; k <= 100; ++k) {
        Cell* v = hashtable::get_ptr(t, k * 7919);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(cell::get_int(v), static_cast<int32_t>(k));
    }
    EXPECT_EQ(hashtable::get_ptr(t, 5), nullptr);
    EXPECT_NE(hashtable::remove_ptr(t, 7919), nullptr);
    EXPECT_EQ(hashtable::get_ptr(t, 7919), nullptr);
    EXPECT_EQ(hashtable::remove_ptr(t, 7919), nullptr);
    EXPECT_EQ(record(t)->size, 99u);
    // A re-put key gets fresh (unset) value cells.
    Cell* v = hashtable::put_ptr(t, 2 * 7919);
    EXPECT_EQ(cell::type(v), uint32_t{TYPE_UNSET});
}

TEST_F(HashTableTest, ChurnRehashesAtTheSameSize) {
    // Keys come and go with few alive: deleted buckets are recycled by a
    // rehash at the same size instead of growing the table forever.
    Node t = hashtable::make(8, nullptr, hashtable::KIND_INTEGER, 0);
    uint32_t buckets = record(t)->buckets;
    for (uint32_t k = 1; k <= 20000; ++k) {
        hashtable::put_ptr(t, k);
        if (k > 4) hashtable::remove_ptr(t, k - 4);
    }
    EXPECT_EQ(record(t)->size, 4u);
    EXPECT_EQ(record(t)->buckets, buckets);
    for (uint32_t k = 19997; k <= 20000; ++k) EXPECT_NE(hashtable::get_ptr(t, k), nullptr);
}

TEST_F(HashTableTest, MapBlocksKeepOneEntryPerKey) {
    // [a: 1 b: 2 a: 3]: the later value wins and the duplicate pair leaves.
    Cell blk = block({word("ht-ka", TYPE_SET_WORD), integer(1), word("ht-kb", TYPE_SET_WORD), integer(2),
                      word("ht-ka", TYPE_SET_WORD), integer(3)});
    Node t = hashtable::make(3, &blk, hashtable::KIND_MAP, 0);
    EXPECT_EQ(series::buffer_of(blk.w2)->length(), 4u);
    EXPECT_EQ(cell::get_int(at(blk, 1)), 3);
    // Word keys are looked up as set-words.
    EXPECT_EQ(find(t, blk, word("ht-ka"), 0, 1, COMP_EQUAL), 0);
    EXPECT_EQ(find(t, blk, word("HT-KB"), 0, 1, COMP_EQUAL), 2);
    hashtable::remove_at(t, at(blk, 2));
    EXPECT_EQ(at(blk, 3)->header, 0u);  // the value cell marks the key absent
    // find_next walks the stored keys of the key's type equal to it, once each.
    hashtable::Cursor cur;
    Cell key = word("HT-KA", TYPE_SET_WORD);
    EXPECT_EQ(index_of(blk, hashtable::find_next(t, &key, &cur)), 0);
    EXPECT_EQ(hashtable::find_next(t, &key, &cur), nullptr);
    hashtable::Cursor other;
    Cell plain = word("ht-ka");
    EXPECT_EQ(hashtable::find_next(t, &plain, &other), nullptr);  // a word! is another type
}

TEST_F(HashTableTest, CopyIsIndependent) {
    Cell blk = block({word("ht-c1"), word("ht-c1"), word("ht-c2")});
    Node t = hashtable::make(3, &blk, hashtable::KIND_HASH, 0);
    Node copy = hashtable::copy(t, blk.w2);
    hashtable::remove_at(copy, at(blk, 0));
    hashtable::remove_at(copy, at(blk, 1));
    EXPECT_EQ(find(copy, blk, word("ht-c1")), -1);
    EXPECT_EQ(find(t, blk, word("ht-c1")), 0);
}

TEST_F(HashTableTest, CollectorMarksAndSweeps) {
    // An ownership table: entries keyed on series nodes, owner in cell 3.
    Node t = hashtable::make(4, nullptr, hashtable::KIND_OWNER, 3);
    Node live = series::alloc_cells(1), dead = series::alloc_bytes(4), owner = series::alloc_cells(1);
    hashtable::put_ptr(t, live)[1].w1 = owner;
    hashtable::put_ptr(t, dead)[1].w1 = owner;
    static std::vector<Node> kept, blocks;
    kept.clear();
    blocks.clear();
    hashtable::Marker m{[](Node* slot) { kept.push_back(*slot); }, [](Node* slot) { blocks.push_back(*slot); }};
    Node slot = t;
    hashtable::mark(&slot, m);
    auto has = [](const std::vector<Node>& v, Node n) { return std::find(v.begin(), v.end(), n) != v.end(); };
    EXPECT_TRUE(has(kept, t));
    EXPECT_TRUE(has(kept, record(t)->flags));
    EXPECT_TRUE(has(kept, record(t)->keys));
    EXPECT_TRUE(has(blocks, live));  // a key series of cells is marked as a block
    EXPECT_TRUE(has(kept, dead));
    EXPECT_TRUE(has(blocks, record(t)->data));
    static Node unmarked;
    unmarked = dead;
    hashtable::sweep(t, [](Node n) { return n != unmarked; });
    EXPECT_EQ(hashtable::get_ptr(t, dead), nullptr);
    EXPECT_NE(hashtable::get_ptr(t, live), nullptr);
    unmarked = owner;  // a dead owner drops the entry too
    hashtable::sweep(t, [](Node n) { return n != unmarked; });
    EXPECT_EQ(hashtable::get_ptr(t, live), nullptr);
    EXPECT_EQ(record(t)->size, 0u);
}

TEST(PtrMap, PutGetReplaceRemoveAndWalk) {
    ptrmap::Map* m = ptrmap::make(4);
    std::map<uint32_t, uint32_t> model;
    for (uint32_t k = 1; k <= 5000; ++k) {
        EXPECT_EQ(ptrmap::put(m, k * 2654435761u, k), 0);
        model[k * 2654435761u] = k;
    }
    EXPECT_EQ(ptrmap::put(m, 2654435761u, 99), 1);  // replaced
    model[2654435761u] = 99;
    for (uint32_t k = 2; k <= 5000; k += 2) {
        ptrmap::remove(m, k * 2654435761u);
        model.erase(k * 2654435761u);
    }
    EXPECT_EQ(ptrmap::count(m), model.size());
    EXPECT_EQ(ptrmap::get(m, 4 * 2654435761u), nullptr);
    EXPECT_EQ(ptrmap::find(m, 4 * 2654435761u), -1);
    ASSERT_NE(ptrmap::get(m, 2654435761u), nullptr);
    EXPECT_EQ(*ptrmap::get(m, 2654435761u), 99u);
    std::map<uint32_t, uint32_t> walked;
    for (ptrmap::Pair* p = ptrmap::next(m, nullptr); p; p = ptrmap::next(m, p)) walked[p->key] = p->value;
    EXPECT_EQ(walked, model);
    ptrmap::clear(m);
    EXPECT_EQ(ptrmap::count(m), 0u);
    EXPECT_EQ(ptrmap::next(m, nullptr), nullptr);
    ptrmap::destroy(m);
}

}  // namespace
}  // namespace zel
