// The stable merge sort and the unstable quicksort, checked against
// std::stable_sort on tagged records of several widths and input shapes, and
// the series entry with callbacks that raise errors or move the series.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>
#include "runtime/collector.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/sort.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

// A record: a key (compared), a tag (its input position, never compared),
// and filler up to the record width. Widths of 3 hold a 2-byte key and a
// 1-byte tag, so every byte of the record is checked to move.
struct Shape {
    const char* name;
    std::vector<int32_t> (*keys)(size_t n, std::mt19937& rng);
};

std::vector<int32_t> random_keys(size_t n, std::mt19937& rng) {
    std::vector<int32_t> k(n);
    for (auto& x : k) x = static_cast<int32_t>(rng() % 1000);  // many ties
    return k;
}
std::vector<int32_t> sorted_keys(size_t n, std::mt19937&) {
    std::vector<int32_t> k(n);
    for (size_t i = 0; i < n; ++i) k[i] = static_cast<int32_t>(i / 3);
    return k;
}
std::vector<int32_t> reversed_keys(size_t n, std::mt19937& rng) {
    auto k = sorted_keys(n, rng);
    std::reverse(k.begin(), k.end());
    return k;
}
std::vector<int32_t> equal_keys(size_t n, std::mt19937&) { return std::vector<int32_t>(n, 7); }
std::vector<int32_t> mostly_sorted_keys(size_t n, std::mt19937& rng) {
    std::vector<int32_t> k(n);
    for (size_t i = 0; i < n; ++i) k[i] = static_cast<int32_t>(i);
    for (size_t i = 0; i < n / 50 + 1 && n > 1; ++i) std::swap(k[rng() % n], k[rng() % n]);
    return k;
}
std::vector<int32_t> sorted_then_random_keys(size_t n, std::mt19937& rng) {
    std::vector<int32_t> k(n);
    for (size_t i = 0; i < n; ++i) k[i] = i < n * 9 / 10 ? static_cast<int32_t>(i) : static_cast<int32_t>(rng() % (n + 1));
    return k;
}
std::vector<int32_t> organ_pipe_keys(size_t n, std::mt19937&) {
    std::vector<int32_t> k(n);
    for (size_t i = 0; i < n; ++i) k[i] = static_cast<int32_t>(i < n / 2 ? i : n - i);
    return k;
}
std::vector<int32_t> sawtooth_keys(size_t n, std::mt19937&) {
    std::vector<int32_t> k(n);
    for (size_t i = 0; i < n; ++i) k[i] = static_cast<int32_t>(i % 37);
    return k;
}
std::vector<int32_t> mostly_descending_keys(size_t n, std::mt19937& rng) {
    auto k = mostly_sorted_keys(n, rng);
    std::reverse(k.begin(), k.end());
    return k;
}

const Shape SHAPES[] = {
    {"random", random_keys},         {"sorted", sorted_keys},
    {"reversed", reversed_keys},     {"equal", equal_keys},
    {"mostly-sorted", mostly_sorted_keys}, {"sorted-then-random", sorted_then_random_keys},
    {"organ-pipe", organ_pipe_keys}, {"sawtooth", sawtooth_keys},
    {"mostly-descending", mostly_descending_keys},
};

struct Layout {
    size_t width;
    size_t key_bytes;  // 4, or 2 for 3-byte records
    size_t tag_bytes;  // 4, or 1 for 3-byte records
};

int32_t key_of(const uint8_t* r, const Layout& l) {
    if (l.key_bytes == 2) return r[0] | r[1] << 8;
    int32_t k;
    std::memcpy(&k, r, 4);
    return k;
}

struct Counter {
    Layout layout;
    uint64_t calls = 0;
};

int compare_keys(const void* a, const void* b, void* u, void*) {
    auto* c = static_cast<Counter*>(u);
    ++c->calls;
    int32_t x = key_of(static_cast<const uint8_t*>(a), c->layout);
    int32_t y = key_of(static_cast<const uint8_t*>(b), c->layout);
    return x < y ? -1 : x > y ? 1 : 0;
}

// Records with the given keys; tags count up, filler bytes derive from the tag.
std::vector<uint8_t> make_records(const std::vector<int32_t>& keys, const Layout& l) {
    std::vector<uint8_t> out(keys.size() * l.width);
    for (size_t i = 0; i < keys.size(); ++i) {
        uint8_t* r = &out[i * l.width];
        uint32_t k = static_cast<uint32_t>(keys[i]);
        std::memcpy(r, &k, l.key_bytes);
        uint32_t tag = static_cast<uint32_t>(i);
        std::memcpy(r + l.key_bytes, &tag, l.tag_bytes);
        for (size_t j = l.key_bytes + l.tag_bytes; j < l.width; ++j) r[j] = static_cast<uint8_t>(i * 31 + j);
    }
    return out;
}

// The oracle: std::stable_sort of the record positions by key alone.
std::vector<uint8_t> stable_oracle(const std::vector<uint8_t>& input, const Layout& l) {
    size_t n = input.size() / l.width;
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return key_of(&input[a * l.width], l) < key_of(&input[b * l.width], l);
    });
    std::vector<uint8_t> out;
    for (size_t i : order) out.insert(out.end(), input.begin() + i * l.width, input.begin() + (i + 1) * l.width);
    return out;
}

const Layout LAYOUTS[] = {{4, 2, 1}, {8, 4, 4}, {16, 4, 4}, {32, 4, 4}, {3, 2, 1}};
// 17000 records are enough for the quicksort's sample to grow past its first 63.
const size_t SIZES[] = {0, 1, 2, 3, 7, 8, 23, 24, 25, 100, 511, 512, 1000, 4097, 17000};

// The records of `bytes`, whole, in byte order: equal multisets compare equal.
std::vector<uint8_t> canonical(const std::vector<uint8_t>& bytes, size_t w) {
    size_t n = bytes.size() / w;
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return std::memcmp(&bytes[a * w], &bytes[b * w], w) < 0; });
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (size_t i : order) out.insert(out.end(), bytes.begin() + i * w, bytes.begin() + (i + 1) * w);
    return out;
}

class SortTest : public test::RuntimeTest {};

// Calls fn with fresh records of every width, shape and size; stops at the
// first fatal failure.
template <typename Fn>
void for_each_case(uint32_t seed, Fn fn) {
    std::mt19937 rng(seed);
    for (const Layout& l : LAYOUTS)
        for (const Shape& shape : SHAPES)
            for (size_t n : SIZES) {
                auto data = make_records(shape.keys(n, rng), l);
                SCOPED_TRACE(testing::Message() << shape.name << " n=" << n << " w=" << l.width);
                fn(l, n, data);
                if (testing::Test::HasFatalFailure()) return;
            }
}

TEST_F(SortTest, MergeSortMatchesStableSortOnEveryShapeAndWidth) {
    for_each_case(12345, [](const Layout& l, size_t n, std::vector<uint8_t>& data) {
        auto expected = stable_oracle(data, l);
        Counter c{l};
        sort::merge_sort(data.data(), n, l.width, &c, nullptr, compare_keys);
        ASSERT_EQ(data, expected);
    });
}

TEST_F(SortTest, QuicksortSortsEveryShapeAndWidth) {
    for_each_case(999, [](const Layout& l, size_t n, std::vector<uint8_t>& data) {
        auto before = canonical(data, l.width);
        Counter c{l};
        sort::sort(data.data(), n, l.width, &c, nullptr, compare_keys);
        for (size_t i = 1; i < n; ++i)
            ASSERT_LE(key_of(&data[(i - 1) * l.width], l), key_of(&data[i * l.width], l)) << "at " << i;
        // Same records, none lost or torn.
        ASSERT_EQ(canonical(data, l.width), before);
        // No shape drives the comparisons anywhere near quadratic.
        if (n > 1) {
            EXPECT_LE(c.calls, 3.0 * n * std::log2(static_cast<double>(n)) + 3.0 * n);
        }
    });
}

TEST_F(SortTest, SortedAndReversedInputCostOnePass) {
    const Layout l{4, 2, 1};
    std::mt19937 rng(1);
    for (auto keys_of : {sorted_keys, reversed_keys, equal_keys}) {
        auto data = make_records(keys_of(10000, rng), l);
        Counter c{l};
        sort::sort(data.data(), 10000, 4, &c, nullptr, compare_keys);
        EXPECT_EQ(c.calls, 9999u);
    }
    // A strictly descending input is one run, reversed, with no merge.
    std::vector<int32_t> down(100);
    for (int i = 0; i < 100; ++i) down[i] = 100 - i;
    auto data = make_records(down, l);
    Counter c{l};
    sort::merge_sort(data.data(), 100, 4, &c, nullptr, compare_keys);
    EXPECT_EQ(c.calls, 99u);
    EXPECT_EQ(key_of(data.data(), l), 1);
}

TEST_F(SortTest, MostlySortedInputStaysNearOnePass) {
    const Layout l{4, 2, 1};
    std::vector<int32_t> keys(100000);
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int32_t>(i / 4);
    std::mt19937 rng(5);
    for (int i = 0; i < 20; ++i) std::swap(keys[rng() % keys.size()], keys[rng() % keys.size()]);
    auto data = make_records(keys, l);
    Counter c{l};
    sort::sort(data.data(), keys.size(), 4, &c, nullptr, compare_keys);
    for (size_t i = 1; i < keys.size(); ++i) ASSERT_LE(key_of(&data[(i - 1) * 4], l), key_of(&data[i * 4], l));
    EXPECT_LT(c.calls, 3 * keys.size());
}

TEST_F(SortTest, SwapMovesWordsOrBytes) {
    uint8_t a[7] = {1, 2, 3, 4, 5, 6, 7}, b[7] = {9, 8, 7, 6, 5, 4, 3};
    sort::swap(a, b, 7, false);  // one word, then the 3 bytes left over
    EXPECT_EQ(std::vector<uint8_t>(a, a + 7), (std::vector<uint8_t>{9, 8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(std::vector<uint8_t>(b, b + 7), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
    sort::swap(a, b, 7, true);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(b[6], 3);
}

// Series entry ---------------------------------------------------------------

// A series of cells whose integer payloads are the keys, with tags in word 3.
Node integer_block(const std::vector<int32_t>& keys) {
    Node node = series::alloc_cells(keys.size());
    SeriesBuffer* b = series::buffer_of(node);
    Cell* c = b->head_cell();
    for (size_t i = 0; i < keys.size(); ++i) {
        set_integer(c + i, keys[i]);
        c[i].w3 = static_cast<uint32_t>(i);
    }
    b->tail = b->head + static_cast<uint32_t>(keys.size() * sizeof(Cell));
    return node;
}

std::vector<Cell> cells_of(Node node) {
    SeriesBuffer* b = series::buffer_of(node);
    return std::vector<Cell>(b->head_cell(), b->tail_cell());
}

struct SeriesProbe {
    Node node = 0;
    uint64_t calls = 0;
    uint64_t raise_at = 0;   // raise an error on this call (0: never)
    bool move_series = false; // move the sorted series on every call
    bool shorten_at_end = false;
    uint64_t total_calls = 0;
};

int compare_cells(const void* a, const void* b, void* u, void*) {
    auto* p = static_cast<SeriesProbe*>(u);
    ++p->calls;
    if (p->raise_at && p->calls == p->raise_at) fire(ERR_SCRIPT, "invalid-arg");
    if (p->move_series) {  // as a moving collector would: same size, new place
        SeriesBuffer* old = series::buffer_of(p->node);
        series::expand_copy(old, old->size);
    }
    if (p->shorten_at_end && p->calls == p->total_calls) series::buffer_of(p->node)->tail -= sizeof(Cell);
    int32_t x = cell::get_int(static_cast<const Cell*>(a)), y = cell::get_int(static_cast<const Cell*>(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

bool cells_equal(const std::vector<Cell>& a, const std::vector<Cell>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Cell)) == 0;
}

TEST_F(SortTest, SeriesSortIsStableAndHonoursTheOffset) {
    std::mt19937 rng(77);
    std::vector<int32_t> keys(3000);
    for (auto& k : keys) k = static_cast<int32_t>(rng() % 50);
    Node node = integer_block(keys);
    SeriesProbe probe{node};
    // Sort all but the first 10 cells.
    sort::sort_series(node, 10 * sizeof(Cell), keys.size() - 10, sizeof(Cell), &probe, nullptr, compare_cells, true);
    auto cells = cells_of(node);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(cells[i].w3, i);
    for (size_t i = 11; i < cells.size(); ++i) {
        int32_t a = cell::get_int(&cells[i - 1]), b = cell::get_int(&cells[i]);
        ASSERT_TRUE(a < b || (a == b && cells[i - 1].w3 < cells[i].w3)) << i;
    }
}

TEST_F(SortTest, SeriesSortSurvivesTheSeriesMovingUnderIt) {
    for (bool stable : {false, true}) {
        std::vector<int32_t> keys(300);
        for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int32_t>((i * 7919) % 300);
        Node node = integer_block(keys);
        SeriesProbe probe{node};
        probe.move_series = true;
        sort::sort_series(node, 0, keys.size(), sizeof(Cell), &probe, nullptr, compare_cells, stable);
        auto cells = cells_of(node);
        ASSERT_EQ(cells.size(), keys.size());
        for (size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cell::get_int(&cells[i]), static_cast<int32_t>(i));
    }
}

TEST_F(SortTest, ErrorInTheCallbackLeavesTheSeriesIntactAndFreesTheCopy) {
    for (bool stable : {false, true}) {
        std::mt19937 rng(3);
        std::vector<int32_t> keys(5000);
        for (auto& k : keys) k = static_cast<int32_t>(rng() % 100000);
        Node node = integer_block(keys);
        auto before = cells_of(node);
        // Raising the first error may set up tables for its report: do that
        // before counting heap blocks.
        test::raised_id([] { fire(ERR_SCRIPT, "invalid-arg"); });
        size_t blocks = sys::heap_block_count();
        uint32_t roots = collector::root_count();
        SeriesProbe probe{node};
        probe.raise_at = 20000;  // midway through the sort
        std::string id = test::raised_id([&] {
            sort::sort_series(node, 0, keys.size(), sizeof(Cell), &probe, nullptr, compare_cells, stable);
        });
        EXPECT_EQ(id, "invalid-arg");
        EXPECT_EQ(probe.calls, 20000u);
        EXPECT_TRUE(cells_equal(cells_of(node), before));
        EXPECT_EQ(sys::heap_block_count(), blocks);
        EXPECT_EQ(collector::root_count(), roots);
    }
}

TEST_F(SortTest, RawMergeSortFreesItsWorkBufferOnError) {
    const Layout l{16, 4, 4};
    std::mt19937 rng(8);
    auto data = make_records(random_keys(2000, rng), l);
    auto before = data;
    size_t blocks = sys::heap_block_count();
    SeriesProbe probe;
    probe.raise_at = 500;
    auto raising = [](const void* a, const void* b, void* u, void*) -> int {
        auto* p = static_cast<SeriesProbe*>(u);
        if (++p->calls == p->raise_at) fire(ERR_SCRIPT, "invalid-arg");
        return std::memcmp(a, b, 4);
    };
    EXPECT_EQ(test::raised_id([&] { sort::merge_sort(data.data(), 2000, 16, &probe, nullptr, raising); }), "invalid-arg");
    EXPECT_EQ(sys::heap_block_count(), blocks);
    EXPECT_EQ(canonical(data, 16), canonical(before, 16));  // partly sorted, nothing lost
}

TEST_F(SortTest, SeriesShortenedByTheCallbackRaisesPastEnd) {
    std::vector<int32_t> keys = {5, 3, 9, 1, 7, 2, 8, 6, 4, 0};
    // First count the calls, then shorten the series on the last one.
    Node node = integer_block(keys);
    SeriesProbe count{node};
    sort::sort_series(node, 0, keys.size(), sizeof(Cell), &count, nullptr, compare_cells, false);
    Node node2 = integer_block(keys);
    SeriesProbe probe{node2};
    probe.shorten_at_end = true;
    probe.total_calls = count.calls;
    size_t blocks = sys::heap_block_count();
    EXPECT_EQ(test::raised_id([&] {
                  sort::sort_series(node2, 0, keys.size(), sizeof(Cell), &probe, nullptr, compare_cells, false);
              }),
              "past-end");
    EXPECT_EQ(sys::heap_block_count(), blocks);
    // A range that never fitted is refused before any comparison.
    SeriesProbe none{node};
    EXPECT_EQ(test::raised_id([&] {
                  sort::sort_series(node, sizeof(Cell), keys.size(), sizeof(Cell), &none, nullptr, compare_cells, true);
              }),
              "past-end");
    EXPECT_EQ(none.calls, 0u);
}

TEST_F(SortTest, OversizedRecordCountsRaiseTooLong) {
    Node node = integer_block({1, 2});
    SeriesProbe probe{node};
    EXPECT_EQ(test::raised_id([&] {
                  sort::sort_series(node, 0, uint64_t{1} << 30, 64, &probe, nullptr, compare_cells, true);
              }),
              "too-long");
    uint8_t dummy[4] = {};
    EXPECT_EQ(test::raised_id([&] {
                  sort::merge_sort(dummy, size_t{1} << 40, 16, &probe, nullptr, compare_cells);
              }),
              "too-long");
}

}  // namespace
}  // namespace zel
