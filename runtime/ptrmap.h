// A small map from 32-bit keys to 32-bit values in plain heap blocks, with
// the hash tables' probing scheme. The collector uses it while it moves
// nodes (old id to new id), when series may not be allocated.
#pragma once
#include <cstdint>

namespace zel::ptrmap {

struct Pair {
    uint32_t key;
    uint32_t value;
};

struct Map {
    uint32_t size;      // live keys
    uint8_t* flags;     // two bits per bucket: 2 empty, 1 deleted, 0 live
    Pair* pairs;        // one pair per bucket
    uint32_t occupied;  // live and deleted buckets
    uint32_t buckets;   // a power of two, at least 4
    uint32_t upper;     // fill count at which the map grows
};

Map* make(uint32_t capacity);
// Sets the key's value; 1 when the key was there (its value replaced), else 0.
int put(Map* m, uint32_t key, uint32_t value);
// The key's value cell, or null.
uint32_t* get(Map* m, uint32_t key);
// The key's bucket, or -1.
int64_t find(const Map* m, uint32_t key);
void remove(Map* m, uint32_t key);
void clear(Map* m);
inline uint32_t count(const Map* m) { return m->size; }
// The live pair after `prev` (null: the first), or null at the end.
Pair* next(Map* m, Pair* prev);
// Rehashes into `request` buckets (rounded up to a power of two); 0 when
// done or when the live keys would not fit, so nothing was changed.
int resize(Map* m, uint64_t request);
void destroy(Map* m);

}  // namespace zel::ptrmap
