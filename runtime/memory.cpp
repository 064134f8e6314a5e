// Frames, nodes and series buffers.
#include "runtime/memory.h"
#include <sys/mman.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "platform/os.h"

namespace zel {

MemoryRecord memory_record;
SeriesBuffer** node_table = nullptr;

namespace {

// The node table is reserved once for this many nodes and committed by the
// kernel page by page as node frames touch it. 2^27 nodes (1 GiB of address
// space) is far beyond what the machine's memory can fill with series.
constexpr uint64_t NODE_TABLE_CAPACITY = 1ull << 27;
constexpr uint32_t MAX_NODE_FRAMES = static_cast<uint32_t>((NODE_TABLE_CAPACITY - 1) / NODES_PER_FRAME);

// Which ranges of the node table belong to a live node frame.
NodeFrame** frame_of_range = nullptr;  // index: (node - 1) / NODES_PER_FRAME
uint32_t ranges_in_use = 0;            // high-water mark of range indices
uint32_t ranges_ever = 0;              // ranges from here on are still as the kernel gave them

// A free node's table entry holds the distance from the node after it to the
// next free node: zero when that is the very next node. A range of the table
// fresh from the kernel, all zero, is thus already chained in address order,
// and its pages are committed only as its nodes are taken.
SeriesBuffer* free_link(Node node, Node next) {
    return reinterpret_cast<SeriesBuffer*>(static_cast<uintptr_t>(static_cast<Node>(next - node - 1)));
}
Node next_free(Node node, const SeriesBuffer* link) {
    return node + 1 + static_cast<Node>(reinterpret_cast<uintptr_t>(link));
}

[[noreturn]] void no_memory() { fire(ERR_INTERNAL, "no-memory"); }

uint32_t take_range() {
    for (uint32_t i = 0; i < ranges_in_use; ++i)
        if (!frame_of_range[i]) return i;
    if (ranges_in_use == MAX_NODE_FRAMES) no_memory();
    return ranges_in_use++;
}

// Inserts a series frame into the address-sorted list.
void link_series_frame(SeriesFrame* f) {
    MemoryRecord& m = memory_record;
    if (!m.series_first) {
        f->next = f->prev = nullptr;
        m.series_first = m.series_last = f;
        return;
    }
    if (f < m.series_first) {
        f->prev = nullptr;
        f->next = m.series_first;
        m.series_first->prev = f;
        m.series_first = f;
        return;
    }
    SeriesFrame* after = m.series_first;
    while (after->next && after->next < f) after = after->next;
    f->prev = after;
    f->next = after->next;
    if (after->next) after->next->prev = f; else m.series_last = f;
    after->next = f;
}

}  // namespace

namespace memory {

void init() {
    MemoryRecord& m = memory_record;
    m = MemoryRecord{};
    m.series_default = SERIES_FRAME_DEFAULT;
    m.series_next = SERIES_FRAME_DEFAULT;
    m.big_threshold = BIG_THRESHOLD;
    if (!node_table) {
        void* p = mmap(nullptr, NODE_TABLE_CAPACITY * sizeof(SeriesBuffer*), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) sys::runtime_error(94, ZEL_HERE());
        node_table = static_cast<SeriesBuffer**>(p);
    }
    // Kept for the life of the process, outside the runtime's heap list, so
    // that the list's free-all at clean-up cannot leave it dangling. A fresh
    // table comes zeroed, its pages committed only as they are used; later
    // only the entries below the high-water mark can be set, so only those
    // need clearing.
    if (!frame_of_range) {
        void* p = mmap(nullptr, MAX_NODE_FRAMES * sizeof(NodeFrame*), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) sys::runtime_error(94, ZEL_HERE());
        frame_of_range = static_cast<NodeFrame**>(p);
    } else {
        std::memset(frame_of_range, 0, ranges_in_use * sizeof(NodeFrame*));
    }
    ranges_in_use = 0;
    watch(0, 0);
}

// Frames carry their rounded size in a 16-byte prefix so that giving them
// back needs nothing else; 16 keeps the frame itself 16-byte aligned.
constexpr uint64_t FRAME_PREFIX = 16;

void* alloc_frame(uint64_t size) {
    uint64_t rounded = round_up(size + FRAME_PREFIX, PAGE_SIZE);
    auto* block = static_cast<uint8_t*>(platform::alloc_virtual(rounded));
    if (!block) no_memory();
    std::memcpy(block, &rounded, sizeof rounded);
    memory_record.total += rounded;
    return block + FRAME_PREFIX;
}

void free_frame(void* frame) {
    uint8_t* block = static_cast<uint8_t*>(frame) - FRAME_PREFIX;
    uint64_t rounded;
    std::memcpy(&rounded, block, sizeof rounded);
    memory_record.total -= rounded;
    if (!platform::free_virtual(block, rounded)) fire(ERR_INTERNAL, "wrong-mem");
}

NodeFrame* new_node_frame() {
    uint32_t range = take_range();
    auto* f = static_cast<NodeFrame*>(alloc_frame(sizeof(NodeFrame) + NODES_PER_FRAME * sizeof(SeriesBuffer*)));
    f->count = NODES_PER_FRAME;
    f->base = range * NODES_PER_FRAME + 1;
    f->used = 0;
    f->cycle = collector::cycles;
    f->prev_used = 0;
    f->history = 0;
    f->release = 0;
    // Chain the free nodes in address order, 0 after the last. A range used
    // before (by a released frame or an earlier runtime) is cleared first.
    SeriesBuffer** entries = node_table + f->base;
    if (range < ranges_ever) std::memset(entries, 0, NODES_PER_FRAME * sizeof(SeriesBuffer*));
    else ranges_ever = range + 1;
    entries[NODES_PER_FRAME - 1] = free_link(f->base + NODES_PER_FRAME - 1, 0);
    f->free_head = f->base;
    frame_of_range[range] = f;
    MemoryRecord& m = memory_record;
    f->next = nullptr;
    f->prev = m.node_last;
    if (m.node_last) m.node_last->next = f; else m.node_first = f;
    m.node_last = f;
    return f;
}

NodeFrame* node_frame_of(Node node) {
    if (node == 0) return nullptr;
    uint32_t range = (node - 1) / NODES_PER_FRAME;
    return range < ranges_in_use ? frame_of_range[range] : nullptr;
}

Node alloc_node() {
    MemoryRecord& m = memory_record;
    NodeFrame* f = m.node_current;
    if (!f || !f->free_head || f->release) {
        f = m.node_first;
        while (f && (!f->free_head || f->release)) f = f->next;
        if (!f) f = new_node_frame();
        m.node_current = f;
    }
    Node n = f->free_head;
    f->free_head = next_free(n, node_table[n]);
    node_table[n] = nullptr;
    ++f->used;
    return n;
}

void free_node(Node node) {
    NodeFrame* f = node_frame_of(node);
    if (!f) return;
    if (node == watched_node) watch(0, 0);  // its readers must not keep the freed buffer
    node_table[node] = free_link(node, f->free_head);
    f->free_head = node;
    --f->used;
}

SeriesFrame* new_series_frame(uint64_t request) {
    MemoryRecord& m = memory_record;
    if (request >= m.series_next) m.series_next = m.big_threshold;
    uint64_t size = m.series_next;
    if (m.series_next < m.big_threshold) m.series_next *= 2;
    auto* f = static_cast<SeriesFrame*>(alloc_frame(size + sizeof(SeriesFrame)));
    f->size = size + sizeof(SeriesFrame);
    f->heap = f->arena();
    f->end = f->arena() + size;
    link_series_frame(f);
    return f;
}

SeriesBuffer* alloc_buffer(uint64_t count, uint32_t unit, int64_t offset) {
    MemoryRecord& m = memory_record;
    // Sizes are computed in 64 bits and must fit the 32-bit size field.
    if (count > max_count(unit)) no_memory();
    uint64_t size = round_up(count * unit, 16);
    uint64_t total = size + BUFFER_OVERHEAD;
    if (size > UINT32_MAX - 16) no_memory();

    SeriesBuffer* buf;
    uint32_t extra = 0;
    if (total >= m.big_threshold) {
        collector::request();
        auto* bf = static_cast<BigFrame*>(alloc_frame(total + sizeof(BigFrame)));
        bf->next = nullptr;
        bf->link2 = 0;
        bf->space = total;
        if (!m.big_first) {
            m.big_first = bf;
        } else {
            BigFrame* last = m.big_first;
            while (last->next) last = last->next;
            last->next = bf;
        }
        buf = bf->buffer();
        extra = SERIES_BIG;
    } else {
        SeriesFrame* f = m.series_current;
        if (!f || f->heap + total >= f->end) {
            f = m.series_first;
            while (f && f->heap + total >= f->end) f = f->next;
            if (!f || static_cast<uint64_t>(f->end - f->heap) < FRAME_FLOOR) {
                // Out of room: a collection may run at the next safe point,
                // never here, since the caller may hold buffer pointers.
                collector::request();
                f = new_series_frame(total);
            }
            m.series_current = f;
        }
        buf = reinterpret_cast<SeriesBuffer*>(f->heap);
        f->heap += total;
    }
    buf->size = static_cast<uint32_t>(size);
    buf->flags = unit | SERIES_USED | SERIES_NEW | extra;
    buf->node = 0;
    buf->pins = 0;
    uint32_t off;
    if (offset < 0) {
        off = static_cast<uint32_t>(size / 2);
        buf->flags |= SERIES_CENTRED;
    } else {
        off = offset > static_cast<int64_t>(size) ? static_cast<uint32_t>(size) : static_cast<uint32_t>(offset);
    }
    buf->head = buf->tail = off;
    return buf;
}

void fill(uint8_t* start, uint8_t* end, uint8_t byte) {
    if (end > start) std::memset(start, byte, static_cast<size_t>(end - start));
}

void node_frame_pass() {
    MemoryRecord& m = memory_record;
    m.node_current = nullptr;
    NodeFrame* f = m.node_first;
    while (f) {
        NodeFrame* next = f->next;
        if (f->used == 0 || f->release) {
            if (f->prev) f->prev->next = f->next; else m.node_first = f->next;
            if (f->next) f->next->prev = f->prev; else m.node_last = f->prev;
            uint32_t range = (f->base - 1) / NODES_PER_FRAME;
            frame_of_range[range] = nullptr;
            // Give the committed pages of its table range back to the kernel.
            uintptr_t lo = memory::round_up(reinterpret_cast<uintptr_t>(node_table + f->base), PAGE_SIZE);
            uintptr_t hi = reinterpret_cast<uintptr_t>(node_table + f->base + NODES_PER_FRAME) & ~uintptr_t{PAGE_SIZE - 1};
            if (hi > lo) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_DONTNEED);
            free_frame(f);
        } else {
            if (!m.node_current && f->free_head) m.node_current = f;
            f->history = (f->history << 1) | (f->used == f->prev_used ? 1u : 0u);
            f->prev_used = f->used;
        }
        f = next;
    }
}

void free_all() {
    MemoryRecord& m = memory_record;
    for (NodeFrame* f = m.node_first; f;) {
        NodeFrame* next = f->next;
        free_frame(f);
        f = next;
    }
    for (SeriesFrame* f = m.series_first; f;) {
        SeriesFrame* next = f->next;
        free_frame(f);
        f = next;
    }
    for (BigFrame* f = m.big_first; f;) {
        BigFrame* next = f->next;
        free_frame(f);
        f = next;
    }
    m.node_first = m.node_last = m.node_current = nullptr;
    m.series_first = m.series_last = m.series_current = nullptr;
    m.big_first = nullptr;
    if (frame_of_range) std::memset(frame_of_range, 0, ranges_in_use * sizeof(NodeFrame*));
    ranges_in_use = 0;
    watch(0, 0);
}

Node watched_key = 0;
Cell* watched_cells = nullptr;
Cell* watched_tail = nullptr;
uint32_t watched_count = 0;
Node watched_node = 0;

void watch(Node key, Node node) {
    watched_key = node ? key : 0;
    watched_node = node;
    refresh_watched();
}

void refresh_watched() {
    if (!watched_node) {
        watched_count = 0;
        watched_cells = watched_tail = nullptr;
        return;
    }
    SeriesBuffer* b = node_table[watched_node];
    watched_cells = b->head_cell();
    watched_count = b->length();
    watched_tail = b->tail_cell();
}

void check_watched() {
    if (!watched_node) return;
    SeriesBuffer* b = node_table[watched_node];
    if (watched_cells != b->head_cell() || watched_count != b->length() || watched_tail != b->tail_cell())
        sys::runtime_error(98, ZEL_HERE());
}

Counts counts() {
    Counts c{};
    const MemoryRecord& m = memory_record;
    for (NodeFrame* f = m.node_first; f; f = f->next) {
        ++c.node_frames;
        c.nodes_used += f->used;
    }
    for (SeriesFrame* f = m.series_first; f; f = f->next) {
        ++c.series_frames;
        c.series_bytes_used += static_cast<uint64_t>(f->heap - f->arena());
    }
    for (BigFrame* f = m.big_first; f; f = f->next) ++c.big_frames;
    return c;
}

}  // namespace memory

namespace series {

Node alloc(uint64_t count, uint32_t unit, int64_t offset) {
    SeriesBuffer* buf = memory::alloc_buffer(count, unit, offset);
    Node n = memory::alloc_node();
    node_table[n] = buf;
    buf->node = n;
    return n;
}

Node alloc_cells(uint64_t n) { return alloc(n, sizeof(Cell), 0); }

Node alloc_unset_cells(uint64_t n) {
    Node node = alloc(n, sizeof(Cell), 0);
    SeriesBuffer* buf = buffer_of(node);
    auto* c = reinterpret_cast<Cell*>(buf->data());
    for (uint32_t i = 0; i < buf->size / sizeof(Cell); ++i) set_unset(c + i);
    return node;
}

Node alloc_bytes(uint64_t n) { return alloc(n ? n : 16, 1, 0); }

Node alloc_text(uint64_t n, uint32_t unit) { return alloc(n ? n : 16 / unit, unit, 0); }

Node alloc_bytes_filled(uint64_t n, uint8_t byte) {
    Node node = alloc_bytes(n);
    SeriesBuffer* buf = buffer_of(node);
    memory::fill(buf->data(), buf->end_ptr(), byte);
    return node;
}

Node alloc_fixed(uint64_t count, uint32_t unit, uint64_t offset) {
    if (count > memory::max_count(unit)) fire(ERR_INTERNAL, "no-memory");
    uint64_t size = memory::round_up(count * unit, 16);
    if (size > UINT32_MAX - 16) fire(ERR_INTERNAL, "no-memory");
    auto* buf = static_cast<SeriesBuffer*>(sys::alloc(size + sizeof(SeriesBuffer)));
    buf->size = static_cast<uint32_t>(size);
    buf->flags = unit | SERIES_USED | SERIES_FIXED | SERIES_NEW;
    buf->pins = 0;
    buf->head = buf->tail = static_cast<uint32_t>(offset > size ? size : offset);
    Node n = memory::alloc_node();
    node_table[n] = buf;
    buf->node = n;
    return n;
}

SeriesBuffer* expand(SeriesBuffer* buf, uint64_t new_size) {
    uint32_t unit = buf->unit();
    if (new_size == 0) {
        // Doubling stops at the largest data area; a full one cannot grow.
        new_size = std::min(uint64_t{buf->size} * 2, memory::max_bytes(unit));
        if (new_size <= buf->size) fire(ERR_INTERNAL, "no-memory");
    }
    // Round the units up so that the new data area never shrinks below new_size.
    SeriesBuffer* nb = memory::alloc_buffer((new_size + unit - 1) / unit, unit, 0);
    Node node = buf->node;
    uint32_t big = nb->flags & SERIES_BIG;
    nb->flags = (buf->flags & ~(SERIES_BIG | SERIES_FIXED)) | big;
    nb->node = node;
    nb->tail = nb->head + (buf->tail - buf->head);
    node_table[node] = nb;
    if (buf->flags & SERIES_FIXED) {
        sys::free(buf);  // a heap buffer is not in any frame: give it back now
    } else {
        buf->node = 0;
        buf->flags &= ~SERIES_USED;
    }
    memory::note_changed(nb);
    return nb;
}

SeriesBuffer* expand_copy(SeriesBuffer* buf, uint64_t new_size) {
    // Copy before abandoning: a fixed buffer is freed by `expand`.
    uint32_t used = buf->tail - buf->head;
    uint8_t* saved = nullptr;
    const uint8_t* from = buf->head_ptr();
    bool fixed = (buf->flags & SERIES_FIXED) != 0;
    if (fixed && used) {
        saved = static_cast<uint8_t*>(sys::alloc(used));
        std::memcpy(saved, from, used);
        from = saved;
    }
    SeriesBuffer* nb = expand(buf, new_size);
    if (used) std::memcpy(nb->head_ptr(), from, used);
    if (saved) sys::free(saved);
    return nb;
}

SeriesBuffer* expand_filled(SeriesBuffer* buf, uint64_t new_size, uint8_t byte) {
    uint32_t old_size = buf->size;
    SeriesBuffer* nb = expand_copy(buf, new_size);
    if (nb->size > old_size) memory::fill(nb->data() + old_size, nb->end_ptr(), byte);
    return nb;
}

Node copy_buffer(SeriesBuffer* buf) {
    Node src_node = buf->node;
    Node n = alloc_bytes(buf->size);
    buf = buffer_of(src_node);  // allocation may not move it, but stay honest
    SeriesBuffer* nb = buffer_of(n);
    uint32_t big = nb->flags & SERIES_BIG;  // where the copy lives, not where the source did
    nb->flags = (buf->flags & ~(SERIES_FIXED | SERIES_BIG | SERIES_MARK)) | big;
    nb->head = buf->head;
    nb->tail = buf->tail;
    std::memcpy(nb->head_ptr(), buf->head_ptr(), buf->tail - buf->head);
    return n;
}

void set_flag(Node node, uint32_t bits) { buffer_of(node)->flags |= bits; }

Cell* alloc_tail_cell(Node node) {
    SeriesBuffer* buf = buffer_of(node);
    if (buf->tail + sizeof(Cell) > buf->size) buf = expand_copy(buf, buf->size ? 0 : sizeof(Cell) * 2);
    Cell* c = buf->tail_cell();
    c->header = TYPE_UNSET;
    buf->tail += sizeof(Cell);
    memory::note_changed(buf);
    return c;
}

uint8_t* grow_tail(Node node, uint64_t n) {
    SeriesBuffer* buf = buffer_of(node);
    if (buf->tail + n > buf->size) {
        uint64_t need = uint64_t{buf->tail} + n;
        uint64_t limit = memory::max_bytes(buf->unit());
        if (need > limit) fire(ERR_INTERNAL, "no-memory");
        uint64_t new_size = buf->size < n ? 2 * n : uint64_t{buf->size} * 2;
        while (new_size < need) new_size *= 2;
        new_size = std::min(new_size, limit);
        buf = expand_copy(buf, new_size);
    }
    uint8_t* old_tail = buf->tail_ptr();
    buf->tail += static_cast<uint32_t>(n);
    memory::note_changed(buf);
    return old_tail;
}

}  // namespace series
}  // namespace zel
