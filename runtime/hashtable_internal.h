// Bucket flags, probing and sizing shared by the hash table's source files.
// Bucket i's two bits lie in byte i >> 2 at bit (i & 3) x 2, which is the same
// layout as 32-bit flag words (word i >> 4, bit (i & 15) x 2) on a
// little-endian machine.
#pragma once
#include <cstdint>
#include "runtime/hashtable.h"

namespace zel::hashtable::detail {

constexpr uint8_t FLAGS_EMPTY_BYTE = 0xAA;  // four empty buckets
constexpr uint32_t FLAG_EMPTY = 2;
constexpr uint32_t FLAG_DELETED = 1;
constexpr uint32_t CHAIN_MARK_NONE = 0xFFFFFFFFu;  // hash! index series: no bucket

inline uint8_t* flag_bytes(const Record* r) { return series::buffer_of(r->flags)->data(); }
inline uint32_t* key_words(const Record* r) { return reinterpret_cast<uint32_t*>(series::buffer_of(r->keys)->data()); }

inline uint32_t flag_of(const uint8_t* f, uint32_t i) { return (f[i >> 2] >> ((i & 3) * 2)) & 3; }
inline bool is_empty(const uint8_t* f, uint32_t i) { return (flag_of(f, i) & FLAG_EMPTY) != 0; }
inline bool is_deleted(const uint8_t* f, uint32_t i) { return (flag_of(f, i) & FLAG_DELETED) != 0; }
inline bool is_live(const uint8_t* f, uint32_t i) { return flag_of(f, i) == 0; }
inline void set_flag(uint8_t* f, uint32_t i, uint32_t v) {
    uint32_t s = (i & 3) * 2;
    f[i >> 2] = static_cast<uint8_t>((f[i >> 2] & ~(3u << s)) | (v << s));
}
inline void set_live(uint8_t* f, uint32_t i) { set_flag(f, i, 0); }
inline void set_deleted(uint8_t* f, uint32_t i) { set_flag(f, i, FLAG_DELETED); }

// The smallest power of two at or above n, at least 4 (n is at most 2^31).
uint32_t round_buckets(uint64_t n);
// A flag series of `buckets` buckets, all empty.
Node new_flags(uint32_t buckets);
// A key series of `buckets` zero words.
Node new_keys(uint32_t buckets);

// The outcome of a probe: the bucket hit, or where an insertion goes.
struct Probe {
    bool hit;
    uint32_t bucket;  // the hit, else the insertion bucket
};

// Probes from `hash`; `match(bucket)` is asked at each live bucket. Without
// a hit, the insertion bucket is the last deleted bucket met, else the empty
// bucket that ended the search. `match` may allocate: the flags are looked
// up again after each call.
template <typename Match>
Probe probe(Node table, uint32_t hash, Match match) {
    Record* r = record(table);
    uint32_t mask = r->buckets - 1;
    uint32_t i = hash & mask;
    uint32_t first = i;
    uint32_t step = 0;
    int64_t deleted = -1;
    for (;;) {
        const uint8_t* f = flag_bytes(record(table));
        uint32_t flag = flag_of(f, i);
        if (flag & FLAG_EMPTY) return {false, deleted >= 0 ? static_cast<uint32_t>(deleted) : i};
        if (flag & FLAG_DELETED) {
            deleted = i;
        } else if (match(i)) {
            return {true, i};
        }
        ++step;
        i = (i + step) & mask;
        if (i == first) return {false, static_cast<uint32_t>(deleted >= 0 ? deleted : first)};
    }
}

// Stores a reference in a bucket that is empty or deleted and counts it.
void occupy(Node table, uint32_t bucket, uint32_t ref);

// The hash of the block cell a reference names (kinds 0-2).
uint32_t hash_ref(const Record* r, uint32_t ref);
// Rehashes kinds 1 and 2 in place into `request` buckets (rounded up):
// every live reference moves to its bucket under the new count.
void resize_block_keys(Node table, uint64_t request);
// The upper bound of a bucket count: trunc(0.77 x buckets).
inline uint32_t upper_of(uint32_t buckets) { return static_cast<uint32_t>(uint64_t{buckets} * 77 / 100); }
// Renews the stamp of a table keyed on node ids.
inline void renew_stamp(Record* r) { r->stamp = nodes_cycles + 1; }
// Rehashes a table whose node-keyed hashes went stale after the collector
// moved nodes (hash!: full rebuild; entry tables: in place).
void check_moved(Node table);
// The number of cells of the block a table indexes (kinds 0, 1).
uint32_t block_length(const Record* r);
// Makes the hash! index series hold at least `need` entries (twice that
// when it must grow), the new ones marked as having no bucket. The series'
// tail stays at the end of its data area, so growth copies every entry.
void reserve_indexes(Node table, uint64_t need);
// Takes block cell `index` out of its hash! bucket or chain.
void remove_hash_cell(Node table, uint32_t index);
// Re-inserts every live entry of an entry table into emptied buckets.
void rehash_entries(Node table);
// Rebuilds an entry table into fresh structures of `request` buckets.
void resize_entries(Node table, uint64_t request);
// Keeps the collector off for a scope (growth must not be interrupted).
struct CollectorOff {
    bool saved;
    CollectorOff();
    ~CollectorOff();
};

}  // namespace zel::hashtable::detail
