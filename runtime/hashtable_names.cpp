// Symbol-kind tables (kind 2): interning names into the symbol block, and
// the word tables of contexts (word! cells keyed on resolved symbol ids).
// Both grow sixteenfold, since they only ever grow.
#include <cstring>
#include "runtime/datatypes/symbol.h"
#include "runtime/hash.h"
#include "runtime/hashtable.h"
#include "runtime/hashtable_internal.h"

namespace zel::hashtable {

using namespace detail;

namespace {

void grow_names(Node table) {
    Record* r = record(table);
    if (r->occupied < r->upper) return;
    uint64_t base = r->buckets > 2 * r->size ? r->buckets - 1 : uint64_t{r->buckets} + 1;
    resize_block_keys(table, base * 16);
}

inline Cell* data_cell(const Record* r, uint32_t ref) { return series::buffer_of(r->data)->head_cell() + ref; }

inline uint8_t fold_ascii(uint8_t b) { return (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b; }

bool same_name_folded(const uint8_t* a, const uint8_t* b, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (a[i] != b[i] && fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    return true;
}

// Appends a symbol cell for the name to the symbol block; its position.
uint32_t add_symbol(Node table, const uint8_t* name, uint32_t length, int32_t alias) {
    Node bytes = series::alloc_bytes(uint64_t{length} + 1);
    SeriesBuffer* nb = series::buffer_of(bytes);
    if (length) std::memcpy(nb->head_ptr(), name, length);
    nb->head_ptr()[length] = 0;
    nb->tail = nb->head + length;
    Node block = record(table)->data;
    Cell* c = series::alloc_tail_cell(block);
    c->w3 = bytes;
    c->w2 = 0;
    c->w1 = static_cast<uint32_t>(alias);
    c->header = TYPE_SYMBOL;
    SeriesBuffer* b = series::buffer_of(block);
    return static_cast<uint32_t>(c - b->head_cell());
}

}  // namespace

uint32_t put_symbol(Node table, const uint8_t* name, uint32_t length, bool fold) {
    grow_names(table);
    uint32_t hash = hash::murmur3_ascii_lower(name, length);
    // Case variants share the probe sequence and the canonical form was
    // interned before its variants, so one pass finds the exact name if it
    // is there and meets the canonical form first among the variants.
    int64_t variant = -1;
    Probe p = probe(table, hash, [&](uint32_t b) {
        const Record* r = record(table);
        uint32_t ref = key_words(r)[b];
        SeriesBuffer* nb = series::buffer_of(data_cell(r, ref)->w3);
        if (nb->tail - nb->head != length) return false;
        const uint8_t* stored = nb->head_ptr();
        if (fold) return same_name_folded(stored, name, length);
        if (std::memcmp(stored, name, length) == 0) return true;
        if (variant < 0 && same_name_folded(stored, name, length)) variant = ref;
        return false;
    });
    if (p.hit) return key_words(record(table))[p.bucket] + 1;
    int32_t alias = -1;
    if (variant >= 0) {
        // The match is canonical; its own alias field is -1.
        alias = static_cast<int32_t>(variant + 1);
    }
    uint32_t pos = add_symbol(table, name, length, alias);
    occupy(table, p.bucket, pos);
    return pos + 1;
}

int32_t put_word(Node table, uint32_t sym, bool ci, Node ctx, int32_t* index, int32_t* position) {
    if (ctx) grow_names(table);
    uint32_t key = symbol::resolve(sym);
    Probe p = probe(table, hash_int(key), [&](uint32_t b) {
        const Record* r = record(table);
        uint32_t stored = data_cell(r, key_words(r)[b])->w2;
        return ci ? symbol::resolve(stored) == key : stored == sym;
    });
    if (p.hit) {
        const Record* r = record(table);
        uint32_t pos = key_words(r)[p.bucket];
        if (position) *position = static_cast<int32_t>(pos);
        *index = static_cast<int32_t>(data_cell(r, pos)->w3);
        return *index;
    }
    if (!ctx) {
        *index = -1;
        if (position) *position = -1;
        return -1;
    }
    Node words = record(table)->data;
    Cell* c = series::alloc_tail_cell(words);
    uint32_t pos = static_cast<uint32_t>(c - series::buffer_of(words)->head_cell());
    cell::set(c, TYPE_WORD, ctx, sym, pos);
    occupy(table, p.bucket, pos);
    *index = static_cast<int32_t>(pos);
    if (position) *position = static_cast<int32_t>(pos);
    return -1;
}

}  // namespace zel::hashtable
