// Entry tables (kinds 3 and 4): the table owns a series of entries, each a
// key cell (header unset! while live, 0 once removed; word 1 the 32-bit key)
// followed by its value cells. A bucket holds the entry's byte offset.
// Also the collector's marking and sweeping of every kind.
#include <cstring>
#include "runtime/array.h"
#include "runtime/hash.h"
#include "runtime/hashtable.h"
#include "runtime/hashtable_internal.h"

namespace zel::hashtable {

using namespace detail;

namespace {

inline uint8_t* entry_base(const Record* r) { return series::buffer_of(r->data)->head_ptr(); }
inline Cell* entry_at(const Record* r, uint32_t offset) { return reinterpret_cast<Cell*>(entry_base(r) + offset); }

Probe probe_key(Node table, uint32_t key) {
    return probe(table, hash_int(key), [&](uint32_t b) {
        const Record* r = record(table);
        return entry_at(r, key_words(r)[b])->w1 == key;
    });
}

// Stores a key in a free bucket: a fresh entry at the tail for an empty
// bucket, the entry the bucket still names for a deleted one.
uint32_t add_entry(Node table, uint32_t bucket) {
    Record* r = record(table);
    uint32_t offset;
    if (is_empty(flag_bytes(r), bucket)) {
        uint32_t width = r->indexes;
        SeriesBuffer* d = series::buffer_of(r->data);
        offset = d->tail - d->head;
        series::grow_tail(r->data, width);
    } else {
        offset = key_words(r)[bucket];
    }
    occupy(table, bucket, offset);
    return offset;
}

// Every cell of the entry unset!, the key in word 1 of the key cell.
Cell* reset_entry(Node table, uint32_t offset, uint32_t key) {
    const Record* r = record(table);
    Cell* e = entry_at(r, offset);
    uint32_t cells = r->indexes / sizeof(Cell);
    for (uint32_t i = 0; i < cells; ++i) e[i].header = TYPE_UNSET;
    e->w1 = key;
    return e + 1;
}

// Finds or adds the key's entry in a table that has room; its value cells.
Cell* insert_entry(Node table, uint32_t key) {
    Probe p = probe_key(table, key);
    uint32_t offset = p.hit ? key_words(record(table))[p.bucket] : add_entry(table, p.bucket);
    return reset_entry(table, offset, key);
}

}  // namespace

Cell* put_ptr(Node table, uint32_t key) {
    check_moved(table);
    Record* r = record(table);
    if (r->occupied >= r->upper) {
        uint64_t request = r->buckets > 2 * r->size ? r->buckets - 1 : uint64_t{r->buckets} + 1;
        CollectorOff off;
        resize_entries(table, request);
    }
    return insert_entry(table, key);
}

Cell* get_ptr(Node table, uint32_t key) {
    check_moved(table);
    Probe p = probe_key(table, key);
    if (!p.hit) return nullptr;
    const Record* r = record(table);
    return entry_at(r, key_words(r)[p.bucket]) + 1;
}

Cell* remove_ptr(Node table, uint32_t key) {
    check_moved(table);
    Probe p = probe_key(table, key);
    if (!p.hit) return nullptr;
    Record* r = record(table);
    set_deleted(flag_bytes(r), p.bucket);
    --r->size;
    Cell* e = entry_at(r, key_words(r)[p.bucket]);
    e->header = 0;
    return e + 1;
}

namespace detail {

void resize_entries(Node table, uint64_t request) {
    uint32_t n = round_buckets(request);
    uint32_t new_upper = static_cast<uint32_t>((uint64_t{n} * 77 + 50) / 100);
    Record* r = record(table);
    if (r->size >= new_upper) return;
    uint32_t width = r->indexes;
    Node old_data = r->data;
    Node flags = new_flags(n);
    Node keys = new_keys(n);
    Node data = series::alloc_cells(uint64_t{r->size} * (width / sizeof(Cell)) + 1);
    r = record(table);
    r->flags = flags;
    r->keys = keys;
    r->data = data;
    r->buckets = n;
    r->upper = new_upper;
    r->size = r->occupied = 0;
    renew_stamp(r);
    SeriesBuffer* old = series::buffer_of(old_data);
    uint32_t used = old->tail - old->head;
    for (uint32_t off = 0; off + width <= used; off += width) {
        const Cell* e = reinterpret_cast<const Cell*>(series::buffer_of(old_data)->head_ptr() + off);
        if (e->header != TYPE_UNSET) continue;
        uint32_t key = e->w1;
        Cell* values = insert_entry(table, key);
        const Cell* src = reinterpret_cast<const Cell*>(series::buffer_of(old_data)->head_ptr() + off) + 1;
        std::memcpy(values, src, width - sizeof(Cell));
    }
}

void rehash_entries(Node table) {
    Record* r = record(table);
    std::memset(flag_bytes(r), FLAGS_EMPTY_BYTE, r->buckets / 4);
    r->size = r->occupied = 0;
    uint32_t width = r->indexes;
    SeriesBuffer* d = series::buffer_of(r->data);
    uint32_t used = d->tail - d->head;
    uint32_t mask = r->buckets - 1;
    for (uint32_t off = 0; off + width <= used; off += width) {
        const Cell* e = entry_at(r, off);
        if (e->header != TYPE_UNSET) continue;
        uint8_t* f = flag_bytes(r);
        uint32_t i = hash_int(e->w1) & mask;
        uint32_t step = 0;
        while (!is_empty(f, i)) i = (i + ++step) & mask;
        occupy(table, i, off);
    }
    renew_stamp(r);
}

}  // namespace detail

void mark(Node* table, const Marker& m) {
    m.keep(table);
    Record* r = record(*table);
    if (r->kind == KIND_HASH) {
        m.keep(&r->indexes);
        m.keep(&r->chains);
        uint32_t n = array::length(r->chains);
        auto* chains = reinterpret_cast<Node*>(array::data(r->chains));
        for (uint32_t i = 0; i < n; ++i)
            if (chains[i]) m.keep(&chains[i]);
    }
    m.keep(&r->flags);
    m.keep(&r->keys);
    if (r->kind == KIND_OWNER) {
        // Entry keys are series nodes: kept (and renamed when nodes move),
        // their cells marked when they hold cells.
        uint32_t width = r->indexes;
        SeriesBuffer* d = series::buffer_of(r->data);
        uint32_t used = d->tail - d->head;
        for (uint32_t off = 0; off + width <= used; off += width) {
            Cell* e = entry_at(r, off);
            if (e->header != TYPE_UNSET || !e->w1) continue;
            if (series::buffer_of(e->w1)->unit() == sizeof(Cell)) m.mark_block(&e->w1); else m.keep(&e->w1);
        }
    }
    m.mark_block(&r->data);
}

void sweep(Node table, bool (*is_marked)(Node node)) {
    Record* r = record(table);
    if (r->kind != KIND_INTEGER && r->kind != KIND_OWNER) return;
    for (uint32_t b = 0; b < r->buckets; ++b) {
        if (!is_live(flag_bytes(r), b)) continue;
        Cell* e = entry_at(r, key_words(r)[b]);
        bool dead = !is_marked(e->w1);
        if (r->kind == KIND_OWNER && r->indexes >= 3 * sizeof(Cell)) dead = dead || !is_marked(e[2].w1);
        if (!dead) continue;
        set_deleted(flag_bytes(r), b);
        --r->size;
        e->header = 0;
        e->w1 = 0;
    }
}

}  // namespace zel::hashtable
