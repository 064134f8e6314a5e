// Hash functions of the runtime: MurmurHash3 (x86, 32-bit) with the process
// seed, its finaliser on single words, and the per-type hash of a value that
// the hash tables key on.
//
// Text hashes over code points folded to upper case, one 32-bit block per
// code point, so a text hashes the same whatever its storage unit and
// whatever its letter case. Hashes are never stored outside the process.
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/cell.h"

namespace zel::hash {

// The seed of every MurmurHash3 computation: 0 at load, set once at runtime
// start and fixed for the life of the process.
extern uint32_t seed;
// Sets the seed from the address of its own storage (runtime start).
void init_seed();

// MurmurHash3_x86_32 of `len` bytes with an explicit seed.
uint32_t murmur3_seeded(const void* data, size_t len, uint32_t seed);
// MurmurHash3_x86_32 with the process seed.
inline uint32_t murmur3(const void* data, size_t len) { return murmur3_seeded(data, len, seed); }

// MurmurHash3 over bytes with ASCII A-Z lowered (symbol names), with the
// process seed; no copy of the name is made.
uint32_t murmur3_ascii_lower(const uint8_t* data, size_t len);
// MurmurHash3 over `n` code points stored in a unit of 1, 2 or 4 bytes,
// each one a 32-bit block, folded to upper case unless `case_sensitive`.
uint32_t murmur3_text(const uint8_t* p, uint32_t n, uint32_t unit, bool case_sensitive);

}  // namespace zel::hash

namespace zel::hashtable {

// MurmurHash3's 32-bit finaliser (no seed): the hash of one integer key.
inline uint32_t hash_int(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The hash of a text value's code points from its head to its tail, each
// mapped to upper case unless `case_sensitive`.
uint32_t hash_string(const Cell* text, bool case_sensitive);
// The hash of a symbol cell's UTF-8 name with ASCII A-Z lowered.
uint32_t hash_symbol(const Cell* symbol);
// The hash of any value, by its type.
uint32_t hash_value(const Cell* value, bool case_sensitive);
// True for the types whose hash depends on a node id or a context: a table
// holding such keys must be rehashed after the collector moved nodes.
bool node_keyed(uint32_t type);

}  // namespace zel::hashtable
