// Making, copying and clearing hash tables; in-place rehashing of the
// symbol-kind and map! tables.
#include "runtime/hashtable.h"
#include <cstring>
#include "runtime/array.h"
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/hash.h"
#include "runtime/hashtable_internal.h"

namespace zel::hashtable {

uint32_t nodes_cycles = 0;
bool collecting = false;

namespace detail {

uint32_t round_buckets(uint64_t n) {
    // Past 2^30 buckets the key array alone would exceed a series' 32-bit size.
    if (n > (uint64_t{1} << 30)) fire(ERR_INTERNAL, "no-memory");
    uint32_t b = 4;
    while (b < n) b <<= 1;
    return b;
}

Node new_flags(uint32_t buckets) {
    Node n = series::alloc_bytes_filled(buckets / 4, FLAGS_EMPTY_BYTE);
    SeriesBuffer* buf = series::buffer_of(n);
    buf->tail = buf->head + buckets / 4;
    return n;
}

Node new_keys(uint32_t buckets) {
    Node n = series::alloc_bytes_filled(uint64_t{buckets} * 4, 0);
    SeriesBuffer* buf = series::buffer_of(n);
    buf->tail = buf->head + buckets * 4;
    return n;
}

void occupy(Node table, uint32_t bucket, uint32_t ref) {
    Record* r = record(table);
    uint8_t* f = flag_bytes(r);
    if (is_empty(f, bucket)) ++r->occupied;
    set_live(f, bucket);
    key_words(r)[bucket] = ref;
    ++r->size;
}

uint32_t block_length(const Record* r) {
    SeriesBuffer* buf = series::buffer_of(r->data);
    return (buf->tail - buf->head) / sizeof(Cell);
}

uint32_t hash_ref(const Record* r, uint32_t ref) {
    const Cell* c = series::buffer_of(r->data)->head_cell() + ref;
    return hash_value(c, false);
}

void resize_block_keys(Node table, uint64_t request) {
    uint32_t n = round_buckets(request);
    uint32_t new_upper = static_cast<uint32_t>((uint64_t{n} * 77 + 50) / 100);
    Record* r = record(table);
    if (r->size >= new_upper) return;
    Node new_flag_node = new_flags(n);
    r = record(table);
    uint32_t old_buckets = r->buckets;
    if (n > old_buckets) {
        SeriesBuffer* kb = series::buffer_of(r->keys);
        kb = series::expand_filled(kb, uint64_t{n} * 4, 0);
        kb->tail = kb->head + n * 4;
        r = record(table);
    }
    uint8_t* old_f = flag_bytes(r);
    uint8_t* new_f = series::buffer_of(new_flag_node)->data();
    uint32_t* keys = key_words(r);
    uint32_t mask = n - 1;
    // Each live reference is carried to its new bucket; a reference found
    // there that has not moved yet is carried on in its turn.
    for (uint32_t j = 0; j < old_buckets; ++j) {
        if (!is_live(old_f, j)) continue;
        uint32_t ref = keys[j];
        set_deleted(old_f, j);
        for (;;) {
            uint32_t i = hash_ref(r, ref) & mask;
            uint32_t step = 0;
            while (!is_empty(new_f, i)) i = (i + ++step) & mask;
            set_live(new_f, i);
            if (i < old_buckets && is_live(old_f, i)) {
                uint32_t carried = keys[i];
                keys[i] = ref;
                ref = carried;
                set_deleted(old_f, i);
                continue;
            }
            keys[i] = ref;
            break;
        }
    }
    r->flags = new_flag_node;
    r->buckets = n;
    r->upper = new_upper;
    if (r->kind != KIND_MAP) r->occupied = r->size;
}

void reserve_indexes(Node table, uint64_t need) {
    SeriesBuffer* b = series::buffer_of(record(table)->indexes);
    if (need * 4 <= b->size) return;
    b->tail = b->head + b->size;
    b = series::expand_filled(b, need * 2 * 4, 0xFF);
    b->tail = b->head + b->size;
}

CollectorOff::CollectorOff() : saved(collector::active) { collector::active = false; }
CollectorOff::~CollectorOff() { collector::active = saved; }

}  // namespace detail

using namespace detail;

Node make(int64_t capacity, const Cell* block, Kind kind, uint32_t value_cells) {
    if (kind == KIND_SYMBOL && capacity >= 4000) capacity *= 2;
    if (capacity < 4) capacity = 4;
    if (capacity > (int64_t{1} << 29)) fire(ERR_INTERNAL, "no-memory");
    uint32_t buckets = round_buckets(static_cast<uint64_t>(static_cast<double>(capacity) / 0.77));
    Cell blk{};
    if (block) blk = *block;  // the caller's cell may live in a series that moves

    Node table = series::alloc_bytes(sizeof(Record));
    {
        SeriesBuffer* tb = series::buffer_of(table);
        tb->tail = tb->head + sizeof(Record);
        std::memset(tb->data(), 0, sizeof(Record));
        Record* r = record(table);
        r->buckets = buckets;
        r->upper = upper_of(buckets);
        r->kind = kind;
    }
    Node flags = new_flags(buckets);
    record(table)->flags = flags;
    Node keys = new_keys(buckets);
    record(table)->keys = keys;

    bool entries = kind == KIND_INTEGER || kind == KIND_OWNER;
    if (kind == KIND_HASH) {
        Node idx = series::alloc_bytes_filled(static_cast<uint64_t>(capacity) * 4, 0xFF);
        SeriesBuffer* ib = series::buffer_of(idx);
        ib->tail = ib->head + ib->size;
        record(table)->indexes = idx;
        Node chains = array::make(4, 4);
        record(table)->chains = chains;
    }
    if (entries) {
        Record* r = record(table);
        r->indexes = sizeof(Cell) * (value_cells + 1);
        renew_stamp(r);
    }
    if (entries || !block) {
        Node data = series::alloc_cells(static_cast<uint64_t>(capacity));
        record(table)->data = data;
        return table;
    }
    record(table)->data = blk.w2;
    if (kind == KIND_HASH) {
        // The table is held as a hash! value while the block fills it.
        collector::RootedCell held(Cell{TYPE_HASH, 0, blk.w2, table});
        rehash_block(table, blk.w1, 1);
    } else {
        rehash_block(table, blk.w1, kind == KIND_MAP ? 2 : 1);
    }
    return table;
}

namespace {

// A copy of a series' whole data area (flags, keys and the index series
// are used up to their size, not their tail).
Node copy_bytes(Node n) {
    if (!n) return 0;
    Node c = series::alloc_bytes(series::buffer_of(n)->size);
    SeriesBuffer* from = series::buffer_of(n);
    SeriesBuffer* to = series::buffer_of(c);
    to->flags = (to->flags & ~SERIES_UNIT_MASK) | from->unit();
    to->head = from->head;
    to->tail = from->tail;
    std::memcpy(to->data(), from->data(), from->size);
    return c;
}

Node copy_with(Node table, Node data) {
    Node t = copy_bytes(table);
    Node flags = copy_bytes(record(table)->flags);
    record(t)->flags = flags;
    Node keys = copy_bytes(record(table)->keys);
    record(t)->keys = keys;
    record(t)->data = data;
    if (record(table)->kind == KIND_HASH) {
        Node idx = copy_bytes(record(table)->indexes);
        record(t)->indexes = idx;
        Node chains = array::copy(record(table)->chains);
        record(t)->chains = chains;
        uint32_t n = array::length(chains);
        for (uint32_t i = 1; i <= n; ++i) {
            Node c = array::pick_ptr(chains, i);
            if (c) array::poke_ptr(chains, i, array::copy(c));
        }
    }
    return t;
}

}  // namespace

Node copy(Node table, Node data) { return copy_with(table, data); }

Node clone(Node table) {
    Node data = copy_bytes(record(table)->data);
    return copy_with(table, data);
}

void clear(Node table) {
    Record* r = record(table);
    r->size = 0;
    r->occupied = 0;
    SeriesBuffer* d = series::buffer_of(r->data);
    d->tail = d->head;
    SeriesBuffer* f = series::buffer_of(r->flags);
    std::memset(f->data(), FLAGS_EMPTY_BYTE, r->buckets / 4);
    if (r->kind == KIND_HASH) {
        SeriesBuffer* idx = series::buffer_of(r->indexes);
        std::memset(idx->data(), 0xFF, idx->size);
        array::clear(r->chains);
        r->stamp = 0;
    }
}

}  // namespace zel::hashtable
