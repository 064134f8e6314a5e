// The heap-held 32-bit map: the hash tables' bucket flags and triangular
// probing over plain heap blocks.
#include "runtime/ptrmap.h"
#include <cstring>
#include "runtime/hash.h"
#include "runtime/hashtable_internal.h"
#include "runtime/heap.h"

namespace zel::ptrmap {

using namespace hashtable::detail;

namespace {

uint32_t buckets_for(uint64_t n) {
    uint32_t b = 4;
    while (b < n && b < (1u << 30)) b <<= 1;
    return b;
}

// Fresh, empty flags and pairs for `buckets` buckets.
void allocate(Map* m, uint32_t buckets) {
    m->flags = static_cast<uint8_t*>(sys::alloc(buckets / 4));
    std::memset(m->flags, FLAGS_EMPTY_BYTE, buckets / 4);
    m->pairs = static_cast<Pair*>(sys::alloc_zero(sizeof(Pair) * buckets));
    m->buckets = buckets;
    m->upper = upper_of(buckets);
    m->size = m->occupied = 0;
}

// The key's bucket (hit) or where it would go: the last deleted bucket
// met, else the empty one that ended the search.
Probe locate(const Map* m, uint32_t key) {
    uint32_t mask = m->buckets - 1;
    uint32_t i = hashtable::hash_int(key) & mask;
    uint32_t first = i, step = 0;
    int64_t deleted = -1;
    for (;;) {
        uint32_t flag = flag_of(m->flags, i);
        if (flag & FLAG_EMPTY) return {false, deleted >= 0 ? static_cast<uint32_t>(deleted) : i};
        if (flag & FLAG_DELETED) {
            deleted = i;
        } else if (m->pairs[i].key == key) {
            return {true, i};
        }
        i = (i + ++step) & mask;
        if (i == first) return {false, static_cast<uint32_t>(deleted >= 0 ? deleted : first)};
    }
}

void store(Map* m, uint32_t bucket, uint32_t key, uint32_t value) {
    if (is_empty(m->flags, bucket)) ++m->occupied;
    set_live(m->flags, bucket);
    m->pairs[bucket] = {key, value};
    ++m->size;
}

}  // namespace

Map* make(uint32_t capacity) {
    auto* m = static_cast<Map*>(sys::alloc_zero(sizeof(Map)));
    if (capacity < 4) capacity = 4;
    allocate(m, buckets_for(static_cast<uint64_t>(capacity / 0.77)));
    return m;
}

int put(Map* m, uint32_t key, uint32_t value) {
    if (m->occupied >= m->upper) resize(m, m->buckets > 2 * m->size ? m->buckets - 1 : uint64_t{m->buckets} + 1);
    Probe p = locate(m, key);
    if (p.hit) {
        m->pairs[p.bucket].value = value;
        return 1;
    }
    store(m, p.bucket, key, value);
    return 0;
}

uint32_t* get(Map* m, uint32_t key) {
    Probe p = locate(m, key);
    return p.hit ? &m->pairs[p.bucket].value : nullptr;
}

int64_t find(const Map* m, uint32_t key) {
    Probe p = locate(m, key);
    return p.hit ? int64_t{p.bucket} : -1;
}

void remove(Map* m, uint32_t key) {
    Probe p = locate(m, key);
    if (!p.hit) return;
    set_deleted(m->flags, p.bucket);
    --m->size;
}

void clear(Map* m) {
    std::memset(m->flags, FLAGS_EMPTY_BYTE, m->buckets / 4);
    m->size = m->occupied = 0;
}

Pair* next(Map* m, Pair* prev) {
    uint32_t i = prev ? static_cast<uint32_t>(prev - m->pairs) + 1 : 0;
    for (; i < m->buckets; ++i)
        if (is_live(m->flags, i)) return &m->pairs[i];
    return nullptr;
}

int resize(Map* m, uint64_t request) {
    uint32_t n = buckets_for(request);
    uint32_t new_upper = static_cast<uint32_t>((uint64_t{n} * 77 + 50) / 100);
    if (m->size >= new_upper) return 0;
    Map old = *m;
    allocate(m, n);
    for (uint32_t i = 0; i < old.buckets; ++i) {
        if (!is_live(old.flags, i)) continue;
        store(m, locate(m, old.pairs[i].key).bucket, old.pairs[i].key, old.pairs[i].value);
    }
    m->upper = new_upper;
    sys::free(old.flags);
    sys::free(old.pairs);
    return 0;
}

void destroy(Map* m) {
    if (!m) return;
    sys::free(m->flags);
    sys::free(m->pairs);
    sys::free(m);
}

}  // namespace zel::ptrmap
