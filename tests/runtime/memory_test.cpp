// Frames, nodes and series buffers; the watched cell series.
#include <cstring>
#include "runtime/collector.h"
#include "runtime/datatypes/context.h"
#include "runtime/memory.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class MemoryTest : public test::RuntimeTest {};

TEST_F(MemoryTest, ZeroUnitRequestsGiveEmptyBuffers) {
    SeriesBuffer* cells = series::buffer_of(series::alloc_cells(0));
    EXPECT_EQ(cells->size, 0u);
    EXPECT_EQ(cells->head, cells->tail);
    // Byte and text series of 0 still get 16 bytes.
    EXPECT_EQ(series::buffer_of(series::alloc_bytes(0))->size, 16u);
    EXPECT_EQ(series::buffer_of(series::alloc_text(0, 4))->size, 16u);
    EXPECT_EQ(series::buffer_of(series::alloc_text(0, 4))->unit(), 4u);
}

TEST_F(MemoryTest, FlagsAndNodeBackPointer) {
    Node n = series::alloc_cells(3);
    SeriesBuffer* b = series::buffer_of(n);
    EXPECT_EQ(b->node, n);
    EXPECT_EQ(b->unit(), 16u);
    EXPECT_TRUE(b->flags & SERIES_USED);
    EXPECT_TRUE(b->flags & SERIES_NEW);
    EXPECT_FALSE(b->flags & (SERIES_BIG | SERIES_FIXED | SERIES_CENTRED));
    EXPECT_EQ(b->size, 48u);
    series::set_flag(n, SERIES_OWNED);
    EXPECT_TRUE(series::buffer_of(n)->flags & SERIES_OWNED);
}

TEST_F(MemoryTest, CentredHeadStartsInTheMiddle) {
    SeriesBuffer* b = memory::alloc_buffer(10, 16, -1);
    EXPECT_EQ(b->head, 80u);
    EXPECT_EQ(b->tail, 80u);
    EXPECT_TRUE(b->flags & SERIES_CENTRED);
}

TEST_F(MemoryTest, UnsetCellsFillTheWholeDataArea) {
    SeriesBuffer* b = series::buffer_of(series::alloc_unset_cells(4));
    auto* c = reinterpret_cast<Cell*>(b->data());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c[i].header, uint32_t{TYPE_UNSET});
    EXPECT_EQ(b->head, b->tail);
}

TEST_F(MemoryTest, BytesFilled) {
    SeriesBuffer* b = series::buffer_of(series::alloc_bytes_filled(20, 0xAB));
    EXPECT_EQ(b->size, 32u);
    for (uint32_t i = 0; i < b->size; ++i) ASSERT_EQ(b->data()[i], 0xAB);
}

TEST_F(MemoryTest, BigThresholdIsExact) {
    // total = size + 24; exactly 2 MiB goes to a big frame, 16 bytes less does not.
    uint64_t big_size = BIG_THRESHOLD - BUFFER_OVERHEAD;
    SeriesBuffer* big = memory::alloc_buffer(big_size, 1, 0);
    EXPECT_TRUE(big->flags & SERIES_BIG);
    SeriesBuffer* small = memory::alloc_buffer(big_size - 16, 1, 0);
    EXPECT_FALSE(small->flags & SERIES_BIG);
}

TEST_F(MemoryTest, SeriesFramesGrowOneThenTwoMiB) {
    // A fresh record: the sizes follow 1 MiB, 2 MiB, 2 MiB.
    MemoryRecord saved = memory_record;
    memory_record.series_next = SERIES_FRAME_DEFAULT;
    SeriesFrame* a = memory::new_series_frame(0);
    SeriesFrame* b = memory::new_series_frame(0);
    SeriesFrame* c = memory::new_series_frame(0);
    EXPECT_EQ(a->end - a->arena(), 1 << 20);
    EXPECT_EQ(b->end - b->arena(), 2 << 20);
    EXPECT_EQ(c->end - c->arena(), 2 << 20);
    // The list stays sorted by address.
    for (SeriesFrame* f = memory_record.series_first; f && f->next; f = f->next) EXPECT_LT(f, f->next);
    memory_record.series_next = saved.series_next;
}

TEST_F(MemoryTest, ExpandCopyKeepsNodeAndLength) {
    Node n = series::alloc_bytes(16);
    SeriesBuffer* old = series::buffer_of(n);
    std::memcpy(series::grow_tail(n, 5), "hello", 5);
    old = series::buffer_of(n);
    SeriesBuffer* nb = series::expand_copy(old, 0);
    EXPECT_EQ(series::buffer_of(n), nb);
    EXPECT_EQ(nb->size, 32u);
    EXPECT_EQ(nb->length(), 5u);
    EXPECT_EQ(std::memcmp(nb->head_ptr(), "hello", 5), 0);
    // The old buffer is abandoned: node 0, used bit clear.
    EXPECT_EQ(old->node, 0u);
    EXPECT_FALSE(old->flags & SERIES_USED);
}

TEST_F(MemoryTest, ExpandFilledFillsTheNewPart) {
    Node n = series::alloc_bytes(16);
    SeriesBuffer* nb = series::expand_filled(series::buffer_of(n), 64, 7);
    EXPECT_EQ(nb->size, 64u);
    for (uint32_t i = 16; i < 64; ++i) ASSERT_EQ(nb->data()[i], 7);
}

TEST_F(MemoryTest, AllocTailCellDoublesAFullBlock) {
    Node n = series::alloc_cells(2);
    for (int i = 0; i < 2; ++i) set_integer(series::alloc_tail_cell(n), i);
    EXPECT_EQ(series::buffer_of(n)->size, 32u);
    Cell* c = series::alloc_tail_cell(n);
    EXPECT_EQ(c->header, uint32_t{TYPE_UNSET});
    SeriesBuffer* b = series::buffer_of(n);
    EXPECT_EQ(b->size, 64u);
    EXPECT_EQ(b->length(), 3u);
    EXPECT_EQ(cell::get_int(b->head_cell() + 1), 1);
}

TEST_F(MemoryTest, GrowTailSizesToTheRequest) {
    Node n = series::alloc_bytes(16);
    series::grow_tail(n, 100);  // size below n: grows to 2 x n
    EXPECT_EQ(series::buffer_of(n)->size, 208u);
    EXPECT_EQ(series::buffer_of(n)->tail, 100u);
}

TEST_F(MemoryTest, CopyBufferCopiesFlagsAndContent) {
    Node n = series::alloc_text(8, 2);
    uint16_t text[3] = {'a', 0x100, 'c'};
    std::memcpy(series::grow_tail(n, 6), text, 6);
    Node c = series::copy_buffer(series::buffer_of(n));
    SeriesBuffer* b = series::buffer_of(c);
    EXPECT_NE(c, n);
    EXPECT_EQ(b->unit(), 2u);
    EXPECT_EQ(b->node, c);
    EXPECT_EQ(b->length(), 3u);
    EXPECT_EQ(std::memcmp(b->head_ptr(), text, 6), 0);
}

TEST_F(MemoryTest, FixedBuffersComeFromTheHeapAndMayStillGrow) {
    Node n = series::alloc_fixed(4, 16, 0);
    EXPECT_TRUE(series::buffer_of(n)->flags & SERIES_FIXED);
    set_integer(series::alloc_tail_cell(n), 42);
    for (int i = 0; i < 4; ++i) series::alloc_tail_cell(n);
    SeriesBuffer* b = series::buffer_of(n);
    EXPECT_FALSE(b->flags & SERIES_FIXED);
    EXPECT_EQ(cell::get_int(b->head_cell()), 42);
}

TEST_F(MemoryTest, OversizedRequestsRaiseNoMemory) {
    // 2^28 cells of 16 bytes overflow the 32-bit size field: an error, never a wrap.
    EXPECT_EQ(test::raised_id([] { series::alloc_cells(uint64_t{1} << 28); }), "no-memory");
    EXPECT_EQ(test::raised_id([] { series::alloc_text(uint64_t{3} << 30, 4); }), "no-memory");
    EXPECT_EQ(test::raised_id([] { series::alloc_fixed(uint64_t{1} << 32, 1, 0); }), "no-memory");
    // Byte and text buffers stop where an integer! can no longer count their
    // elements, though the size field would hold more.
    EXPECT_EQ(test::raised_id([] { series::alloc_bytes(memory::MAX_ELEMENTS + 1); }), "no-memory");
    EXPECT_EQ(test::raised_id([] { series::alloc_text(memory::MAX_ELEMENTS + 1, 2); }), "no-memory");
    EXPECT_EQ(test::raised_id([] { series::alloc_fixed(memory::MAX_ELEMENTS + 1, 1, 0); }), "no-memory");
}

TEST_F(MemoryTest, NodeFramesAreReleasedWhenEmpty) {
    // Fill a whole fresh frame, free every node, run the node-frame pass.
    uint32_t frames_before = static_cast<uint32_t>(memory::counts().node_frames);
    NodeFrame* f = memory::new_node_frame();
    std::vector<Node> nodes;
    NodeFrame* saved_current = memory_record.node_current;
    memory_record.node_current = f;
    for (uint32_t i = 0; i < NODES_PER_FRAME; ++i) nodes.push_back(memory::alloc_node());
    EXPECT_EQ(f->used, NODES_PER_FRAME);
    EXPECT_EQ(f->free_head, 0u);
    for (Node n : nodes) {
        ASSERT_EQ(memory::node_frame_of(n), f);
        memory::free_node(n);
    }
    EXPECT_EQ(f->used, 0u);
    memory::node_frame_pass();
    EXPECT_EQ(memory::counts().node_frames, frames_before);
    (void)saved_current;
    // node_current is the first remaining frame with room.
    ASSERT_NE(memory_record.node_current, nullptr);
    EXPECT_NE(memory_record.node_current->free_head, 0u);
    // Allocation keeps working after the pass.
    EXPECT_NE(series::alloc_cells(1), 0u);
}

TEST_F(MemoryTest, TotalCountsPageRoundedFrames) {
    uint64_t before = memory_record.total;
    void* f = memory::alloc_frame(100);
    EXPECT_EQ(memory_record.total - before, PAGE_SIZE);
    memory::free_frame(f);
    EXPECT_EQ(memory_record.total, before);
}

TEST_F(MemoryTest, AllocationRequestsACollectionOnlyWhenActive) {
    collector::requested = false;
    collector::active = false;
    memory::alloc_buffer(BIG_THRESHOLD, 1, 0);
    EXPECT_FALSE(collector::requested);
    collector::active = true;
    memory::alloc_buffer(BIG_THRESHOLD, 1, 0);
    EXPECT_TRUE(collector::requested);
    collector::active = false;
    collector::requested = false;
}

// The watched record is read instead of the node table, so after every
// growth, tail move or release it must describe the series' current buffer.
class WatchedCellsTest : public MemoryTest {
protected:
    // The runtime watches the global values; tests here borrow the record.
    void TearDown() override {
        memory::watch(context::global, context::global_values);
        MemoryTest::TearDown();
    }
    static bool exact(Node n) {
        SeriesBuffer* b = series::buffer_of(n);
        return memory::watched.cells == b->head_cell() && memory::watched.count == b->length();
    }
};

TEST_F(WatchedCellsTest, FollowsEveryGrowthAndTailMove) {
    Node n = series::alloc_cells(2);
    memory::watch(77, n);
    EXPECT_EQ(memory::watched.key, 77u);
    EXPECT_EQ(memory::watched.count, 0u);
    EXPECT_TRUE(exact(n));
    Node other = series::alloc_cells(1);
    for (int i = 0; i < 200; ++i) {
        set_integer(series::alloc_tail_cell(n), i);  // doubles from 2 cells up: several moves
        ASSERT_TRUE(exact(n)) << i;
        series::alloc_tail_cell(other);  // another series: the record stays the watched one's
        ASSERT_TRUE(exact(n)) << i;
    }
    EXPECT_EQ(cell::get_int(memory::watched.cells + 199), 199);
    series::grow_tail(n, 300 * sizeof(Cell));  // beyond the doubled size
    EXPECT_TRUE(exact(n));
    EXPECT_EQ(memory::watched.count, 500u);
    series::expand_copy(series::buffer_of(n), 0);  // a move with the tail unchanged
    EXPECT_TRUE(exact(n));
    EXPECT_EQ(cell::get_int(memory::watched.cells + 199), 199);
}

TEST_F(WatchedCellsTest, StopsWhenTheNodeIsFreedOrAtRequest) {
    Node n = series::alloc_cells(4);
    series::alloc_tail_cell(n);
    memory::watch(5, n);
    EXPECT_EQ(memory::watched.count, 1u);
    memory::free_node(n);
    EXPECT_EQ(memory::watched.key, 0u);
    EXPECT_EQ(memory::watched.count, 0u);
    memory::watch(5, series::alloc_cells(4));
    memory::watch(0, 0);
    EXPECT_EQ(memory::watched.key, 0u);
    EXPECT_EQ(memory::watched.count, 0u);
    EXPECT_EQ(memory::watched.cells, nullptr);
}

}  // namespace
}  // namespace zel
