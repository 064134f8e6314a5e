// The memory manager: nodes, series buffers and the frames that hold them.
//
// Every series lives in a SeriesBuffer reached through a Node, a 32-bit id
// that indexes one flat node table. Cells hold node ids, never addresses, so
// the collector can move a buffer by rewriting one table entry (and, for the
// one watched series below, refreshing its record). Buffers are
// bump-allocated in series frames (arenas the collector compacts); a buffer
// of 2 MiB or more gets a big frame of its own; fixed buffers come from the
// runtime heap and never move.
//
// Rule for C++ code: a SeriesBuffer* or a pointer into series data is valid
// only until the next call that may allocate a series or evaluate code.
// Keep the cell (or node) and look the buffer up again.
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/cell.h"

namespace zel {

// Flags word of a series buffer.
constexpr uint32_t SERIES_UNIT_MASK = 0x1Fu;       // bytes per element: 1, 2, 4 or 16
constexpr uint32_t SERIES_OWNED = 1u << 17;        // owned by an object told of changes
constexpr uint32_t SERIES_FIXED = 1u << 20;        // taken from the runtime heap; never moves
constexpr uint32_t SERIES_BIG = 1u << 24;          // lives in its own big frame
constexpr uint32_t SERIES_MARK = 1u << 27;         // collector's mark
constexpr uint32_t SERIES_CENTRED = 1u << 28;      // head placed in the middle at allocation
constexpr uint32_t SERIES_NEW = 1u << 29;          // set on every buffer at allocation
constexpr uint32_t SERIES_USED = 1u << 31;         // live (cleared when abandoned by an expansion)

// A series buffer: a header, then the data area. Head and tail are byte
// offsets from the start of the data area, so moving a buffer never
// rewrites them. The header plus the data area take size + 24 bytes.
struct SeriesBuffer {
    uint32_t flags;
    Node node;       // the node that refers to this buffer; 0 once abandoned
    uint32_t size;   // bytes of the data area, a multiple of 16
    uint32_t head;   // offset of the first value
    uint32_t tail;   // offset past the last value
    uint32_t pins;   // while above 0 the collector neither moves nor frees the buffer

    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    uint8_t* head_ptr() { return data() + head; }
    uint8_t* tail_ptr() { return data() + tail; }
    uint8_t* end_ptr() { return data() + size; }
    Cell* head_cell() { return reinterpret_cast<Cell*>(data() + head); }
    Cell* tail_cell() { return reinterpret_cast<Cell*>(data() + tail); }
    uint32_t unit() const { return flags & SERIES_UNIT_MASK; }
    // Number of units between head and tail.
    uint32_t length() const { return (tail - head) / unit(); }
};
static_assert(sizeof(SeriesBuffer) == 24, "header plus spare word is 24 bytes");

// Per-buffer overhead counted against a frame: the header and the spare word.
constexpr uint32_t BUFFER_OVERHEAD = sizeof(SeriesBuffer);
constexpr uint32_t NODES_PER_FRAME = 10000;
constexpr uint32_t PAGE_SIZE = 4096;
constexpr uint32_t SERIES_FRAME_DEFAULT = 1u << 20;     // 1 MiB
constexpr uint32_t BIG_THRESHOLD = 2u << 20;            // 2 MiB
constexpr uint32_t FRAME_FLOOR = 0xCCCC;                // a found frame needs this much room

// A pool of NODES_PER_FRAME nodes: a contiguous range of the node table.
struct NodeFrame {
    NodeFrame* next;
    NodeFrame* prev;
    uint32_t count;        // nodes in the frame
    Node free_head;        // first free node, 0 when full
    uint32_t used;         // nodes in use
    uint32_t cycle;        // the collector's cycle count when the frame was made
    uint32_t prev_used;    // used count seen at the previous collection
    uint32_t history;      // bit 0: used count did not change since the previous collection
    uint32_t release;      // set by node evacuation: no new nodes, released at the end of the collection
    Node base;             // id of the frame's first node
};

// An arena of series buffers; frames form one list sorted by address.
struct SeriesFrame {
    SeriesFrame* next;
    SeriesFrame* prev;
    uint64_t size;   // header included
    uint8_t* heap;   // first free byte
    uint8_t* end;    // past the arena
    uint8_t* arena() { return reinterpret_cast<uint8_t*>(this + 1); }
};

// A frame holding exactly one big buffer.
struct BigFrame {
    BigFrame* next;
    uint64_t link2;    // second link word, always 0
    uint64_t space;    // the buffer's data size + 24
    SeriesBuffer* buffer() { return reinterpret_cast<SeriesBuffer*>(this + 1); }
};

struct MemoryRecord {
    uint64_t total;            // bytes obtained from the platform for frames
    NodeFrame* node_first;
    NodeFrame* node_last;
    NodeFrame* node_current;
    SeriesFrame* series_first;
    SeriesFrame* series_current;
    SeriesFrame* series_last;
    uint32_t series_default;
    uint32_t series_next;
    uint32_t big_threshold;
    BigFrame* big_first;
};

extern MemoryRecord memory_record;
// The node table: node id -> buffer. Entry 0 is the null node.
extern SeriesBuffer** node_table;

namespace memory {

// The most elements a buffer may hold: every position of a series, up to
// its tail's (one past its length), must be an integer!.
constexpr uint64_t MAX_ELEMENTS = 0x7FFFFF00;
// The largest data area a buffer of `unit`-byte elements may have: what the
// 32-bit size field holds, or MAX_ELEMENTS elements.
constexpr uint64_t max_bytes(uint32_t unit) {
    uint64_t bytes = MAX_ELEMENTS * (unit ? unit : 1);
    return bytes < 0xFFFFFF00 ? bytes : 0xFFFFFF00;
}
// The most units of `unit` bytes a buffer may be made with.
constexpr uint64_t max_count(uint32_t unit) { return max_bytes(unit) / (unit ? unit : 1); }

void init();
// Gives every frame back to the platform (clean-up).
void free_all();
inline uint64_t round_up(uint64_t n, uint64_t alignment) { return (n + alignment - 1) & ~(alignment - 1); }
// A platform block of round-up(size + 16, 4096) bytes; the frame starts after its size prefix.
void* alloc_frame(uint64_t size);
void free_frame(void* frame);

NodeFrame* new_node_frame();
SeriesFrame* new_series_frame(uint64_t request);
Node alloc_node();
void free_node(Node node);
// The frame a node belongs to.
NodeFrame* node_frame_of(Node node);

// A new buffer of `count` units of `unit` bytes; `offset` is the head's byte
// offset into the data area, or -1 for the middle.
SeriesBuffer* alloc_buffer(uint64_t count, uint32_t unit, int64_t offset);

void fill(uint8_t* start, uint8_t* end, uint8_t byte);

// Frees empty node frames and those marked for release; picks node_current.
void node_frame_pass();

// Counters for statistics: live nodes, node frames, series frames, big frames.
struct Counts {
    uint64_t nodes_used, node_frames, series_frames, big_frames, series_bytes_used;
};
Counts counts();

// One cell series whose head and tail are kept here for readers too hot
// to walk the node table: the global context's values, read by every global
// word the evaluator meets. The record must be exact at all times, or a
// reader writes into an abandoned buffer. So the memory manager refreshes
// it wherever it gives a series a new buffer or moves a tail:
// `series::expand` (all growth goes through it), `series::alloc_tail_cell`
// (how the global context adds a value) and `series::grow_tail`; freeing
// the node stops the watch. Any other code that moves the watched series'
// tail, and a collector that moves or compacts buffers, must call
// `refresh_watched()` afterwards. Sanitized builds check the record at
// every read.
//
// Each field is a variable of its own: given one record, GCC keeps its
// address in a register across the evaluator's loops and spills it, which
// costs each read two instructions more. Readers compare a cell's address
// with the tail rather than an index with the count: one copy of the index
// fewer.
extern Node watched_key;      // the node a reader compares with (the global context); 0 when none
extern Cell* watched_cells;   // the head cell; null when none is watched
extern Cell* watched_tail;    // past the last cell; null when none is watched
extern uint32_t watched_count;  // cells between head and tail
extern Node watched_node;     // the series' node
// The record as one view, for code that inspects it rather than reads values.
struct WatchedCells {
    Node& key;
    uint32_t& count;
    Cell*& cells;
    Cell*& tail;
    Node& node;
};
inline constexpr WatchedCells watched{watched_key, watched_count, watched_cells, watched_tail, watched_node};

// Watches the cell series `node` for readers that know it by `key`; (0, 0)
// stops watching. Memory start and clean-up stop it too.
void watch(Node key, Node node);
// Reads the watched series' head and tail again.
void refresh_watched();
// Refreshes the record when the buffer is the watched series' one.
inline void note_changed(const SeriesBuffer* b) {
    if (b->node == watched_node) refresh_watched();
}
// Ends the process when the record is stale (checked by sanitized builds).
void check_watched();

}  // namespace memory

namespace series {

inline SeriesBuffer* buffer_of(Node n) { return node_table[n]; }
inline SeriesBuffer* buffer_of(const Cell* c) { return node_table[c->w2]; }

Node alloc(uint64_t count, uint32_t unit, int64_t offset);
Node alloc_cells(uint64_t n);
Node alloc_unset_cells(uint64_t n);
Node alloc_bytes(uint64_t n);
Node alloc_text(uint64_t n, uint32_t unit);
Node alloc_bytes_filled(uint64_t n, uint8_t byte);
// A buffer from the runtime heap that never moves (no -1 offset form).
Node alloc_fixed(uint64_t count, uint32_t unit, uint64_t offset);

// Gives the series a new buffer of `new_size` bytes (0: twice the old size).
// `expand` leaves the data uncopied; `expand_copy` copies the used part;
// `expand_filled` also fills the new bytes past the old size.
SeriesBuffer* expand(SeriesBuffer* buf, uint64_t new_size);
SeriesBuffer* expand_copy(SeriesBuffer* buf, uint64_t new_size);
SeriesBuffer* expand_filled(SeriesBuffer* buf, uint64_t new_size, uint8_t byte);
// A new series with the same size, flags and used part.
Node copy_buffer(SeriesBuffer* buf);
void set_flag(Node node, uint32_t bits);

// Makes room for one cell at the tail (doubling when full); the new cell is
// unset!, the tail moves on. Returns the cell; the buffer may have moved.
Cell* alloc_tail_cell(Node node);
// Moves the tail on by n bytes, growing the buffer when needed; returns the
// old tail (in the possibly new buffer).
uint8_t* grow_tail(Node node, uint64_t n);

}  // namespace series

// Keeps a buffer in place for a scope: the evaluator walks code blocks with
// cell pointers, so the block being evaluated must not move under it. A
// buffer abandoned by an expansion while pinned stays alive until unpinned.
class Pin {
public:
    // (Always in line, on the ways out of an exception too: called there,
    // the destructor would need the pin kept in memory on the way in.)
    [[gnu::always_inline]] explicit Pin(SeriesBuffer* b) : buf_(b) { ++buf_->pins; }
    explicit Pin(const Cell* series) : Pin(series::buffer_of(series)) {}
    [[gnu::always_inline]] ~Pin() { --buf_->pins; }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    // The pinned buffer's end now, but not past `end`. Code walked through
    // cursors into the buffer runs up to the end it had when the walk
    // began; values removed since are not run (their cells may hold stale
    // copies), values added since wait for the next walk.
    Cell* end_within(Cell* end) const { return end_within(buf_, end); }
    // The same for a buffer pinned otherwise.
    static Cell* end_within(SeriesBuffer* b, Cell* end) {
        Cell* now = b->tail_cell();
        return now < end ? now : end;
    }

private:
    SeriesBuffer* buf_;
};

// A Pin taken only when ON: for code compiled both for callers that hold
// one already and for callers that do not.
template <bool ON>
class PinIf : public Pin {
public:
    using Pin::Pin;
};
template <>
class PinIf<false> {
public:
    explicit PinIf(SeriesBuffer*) {}
};

namespace block {
// alloc_tail_cell on a block cell's buffer.
inline Cell* alloc_tail(const Cell* blk) { return series::alloc_tail_cell(blk->w2); }
}

}  // namespace zel
