// Tables over the cells of a block: hash! (kind 0, equal keys share a
// bucket through a chain of block indexes) and map! (kind 1, key/value
// pairs). A bucket holds a key's index from the first cell of the block's
// buffer; for hash! a negative reference -n names chain n, and an index
// series maps each cell of the block to its bucket + 1.
#include <cstring>
#include "runtime/actions.h"
#include "runtime/array.h"
#include "runtime/errors.h"
#include "runtime/hash.h"
#include "runtime/hashtable.h"
#include "runtime/hashtable_internal.h"

namespace zel::hashtable {

using namespace detail;

namespace {

MapKeyNormalizer map_normalizer = nullptr;

inline Cell* block_cell(const Record* r, uint32_t index) { return series::buffer_of(r->data)->head_cell() + index; }
inline bool is_chain(uint32_t ref) { return static_cast<int32_t>(ref) < 0; }
inline uint32_t chain_number(uint32_t ref) { return 0u - ref; }
inline uint32_t chain_ref(uint32_t n) { return 0u - n; }

// Chain n's node (0 once emptied).
inline Node chain_node(const Record* r, uint32_t n) { return array::pick_ptr(r->chains, n); }
// The indexes of a chain, and their count (valid until the next allocation).
inline const uint32_t* chain_items(Node chain, uint32_t* count) {
    *count = array::length(chain);
    return reinterpret_cast<const uint32_t*>(array::data(chain));
}
// The first index of a bucket's plain reference or chain.
uint32_t representative(const Record* r, uint32_t ref) {
    if (!is_chain(ref)) return ref;
    uint32_t n;
    return chain_items(chain_node(r, chain_number(ref)), &n)[0];
}

// The index series entry of a cell: its bucket + 1, or CHAIN_MARK_NONE.
uint32_t* index_entries(const Record* r, uint32_t* count) {
    SeriesBuffer* b = series::buffer_of(r->indexes);
    *count = b->size / 4;
    return reinterpret_cast<uint32_t*>(b->data());
}

void set_index_entry(Node table, uint32_t index, uint32_t value) {
    reserve_indexes(table, uint64_t{index} + 1);
    uint32_t count;
    index_entries(record(table), &count)[index] = value;
}

uint32_t index_entry(const Record* r, uint32_t index) {
    uint32_t count;
    const uint32_t* e = index_entries(r, &count);
    return index < count ? e[index] : CHAIN_MARK_NONE;
}

// Equality of two block cells as hash! keys: same type byte and equal (op 0).
bool equal_keys(Node table, uint32_t a, uint32_t b) {
    Cell ca = *block_cell(record(table), a);
    Cell cb = *block_cell(record(table), b);
    if (cell::type(&ca) != cell::type(&cb)) return false;
    return actions::compare(&ca, &cb, COMP_EQUAL);
}

// Turns a bucket's plain reference into a chain and adds `index` to it.
void add_to_chain(Node table, uint32_t bucket, uint32_t index) {
    uint32_t ref = key_words(record(table))[bucket];
    Node chain;
    if (is_chain(ref)) {
        chain = chain_node(record(table), chain_number(ref));
    } else {
        chain = array::make(4, 4);
        array::append_int(chain, ref);
        array::append_ptr(record(table)->chains, chain);
        uint32_t n = array::length(record(table)->chains);
        key_words(record(table))[bucket] = chain_ref(n);
    }
    array::append_int(chain, index);
}

// Inserts block cell `index` into a hash! table that has room.
void insert_hash_cell(Node table, uint32_t index) {
    uint32_t hash = hash_value(block_cell(record(table), index), false);
    Probe p = probe(table, hash, [&](uint32_t b) {
        uint32_t ref = key_words(record(table))[b];
        return equal_keys(table, representative(record(table), ref), index);
    });
    if (p.hit) {
        add_to_chain(table, p.bucket, index);
    } else {
        occupy(table, p.bucket, index);
    }
    set_index_entry(table, index, p.bucket + 1);
    Record* r = record(table);
    if (r->stamp == 0 && node_keyed(cell::type(block_cell(r, index)))) renew_stamp(r);
}

// Equality of a stored key and a key for re-insertion into a map! or
// symbol-kind table: the same cell content.
bool same_key(Node table, uint32_t stored, const Cell* key) {
    Cell a = *block_cell(record(table), stored);
    Cell b = *key;
    if (cell::type(&a) != cell::type(&b)) return false;
    switch (cell::type(&a)) {
        case TYPE_SYMBOL: {
            SeriesBuffer* na = series::buffer_of(a.w3);
            SeriesBuffer* nb = series::buffer_of(b.w3);
            uint32_t la = na->tail - na->head;
            return la == nb->tail - nb->head && std::memcmp(na->head_ptr(), nb->head_ptr(), la) == 0;
        }
        case TYPE_WORD: return a.w2 == b.w2;
        default: return actions::compare(&a, &b, COMP_STRICT_EQUAL);
    }
}

// Whether a candidate index lies at a multiple of skip from the head.
bool at_skip(int64_t index, int64_t head, int64_t skip, bool reverse) {
    int64_t dist = reverse ? head - 1 - index : index - head;
    if (dist < 0) return false;
    return dist % skip == 0;
}

}  // namespace

void set_map_normalizer(MapKeyNormalizer fn) { map_normalizer = fn; }

void resize(Node table, int64_t capacity) {
    if (capacity < 0) capacity = 0;
    uint32_t buckets = round_buckets(static_cast<uint64_t>(static_cast<double>(capacity) * 1.5));
    uint32_t stamp_base = nodes_cycles;
    Node flags = new_flags(buckets);
    Node keys = new_keys(buckets);
    Record* r = record(table);
    r->flags = flags;
    r->keys = keys;
    r->buckets = buckets;
    r->upper = upper_of(buckets);
    r->size = r->occupied = r->stamp = 0;
    array::clear(r->chains);
    uint32_t n = block_length(r);
    reserve_indexes(table, n);
    SeriesBuffer* idx = series::buffer_of(record(table)->indexes);
    std::memset(idx->data(), 0xFF, idx->size);
    for (uint32_t i = 0; i < n; ++i) insert_hash_cell(table, i);
    r = record(table);
    if (r->stamp) r->stamp = stamp_base + 1;
}

Cell* put_key(Node table, Cell* key, int* status) {
    Record* r = record(table);
    uint32_t index = static_cast<uint32_t>(key - series::buffer_of(r->data)->head_cell());
    Cell k = *key;
    if (r->occupied >= r->upper) {
        if (r->kind == KIND_HASH) {
            {
                CollectorOff off;
                resize(table, block_length(r));
            }
            *status = 2;
            return block_cell(record(table), index);
        }
        uint64_t request = r->kind == KIND_MAP || r->buckets <= 2 * r->size ? uint64_t{r->buckets} + 1 : r->buckets - 1;
        resize_block_keys(table, request);
    }
    if (record(table)->kind == KIND_HASH) {
        insert_hash_cell(table, index);
        return block_cell(record(table), index);
    }
    uint32_t hash = hash_value(&k, false);
    Probe p = probe(table, hash, [&](uint32_t b) { return same_key(table, key_words(record(table))[b], &k); });
    if (!p.hit) occupy(table, p.bucket, index);
    return block_cell(record(table), index);
}

void rehash_block(Node table, uint32_t index, uint32_t skip) {
    if (skip == 0) skip = 1;
    if (record(table)->kind != KIND_MAP || skip != 2) {
        for (uint32_t i = index; i < block_length(record(table)); i += skip) {
            int status = 0;
            put_key(table, block_cell(record(table), i), &status);
            if (status == 2) return;
        }
        return;
    }
    // map!: a key met again takes the later value; the duplicate pair leaves
    // the block, so a map! block never holds the same key twice.
    uint32_t i = index;
    while (i < block_length(record(table))) {
        Cell key = *block_cell(record(table), i);
        Cell* found = find(table, &key, 0, 1, COMP_STRICT_EQUAL, false, false);
        if (found) {
            uint32_t at = static_cast<uint32_t>(found - series::buffer_of(record(table)->data)->head_cell());
            SeriesBuffer* b = series::buffer_of(record(table)->data);
            Cell* cells = b->head_cell();
            uint32_t len = (b->tail - b->head) / sizeof(Cell);
            if (i + 1 < len) cells[at + 1] = cells[i + 1];
            uint32_t drop = i + 2 <= len ? 2 : 1;
            std::memmove(cells + i, cells + i + drop, (len - i - drop) * sizeof(Cell));
            b->tail -= drop * sizeof(Cell);
            continue;
        }
        put(table, block_cell(record(table), i));
        if (map_normalizer) map_normalizer(block_cell(record(table), i));
        i += 2;
    }
}

Cell* find(Node table, Cell* key, int32_t head, int32_t skip, int32_t op, bool last, bool reverse) {
    check_moved(table);
    Cell k = *key;
    uint32_t kind = record(table)->kind;
    if (kind == KIND_MAP) {
        uint32_t t = cell::type(&k);
        if (t == TYPE_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD) cell::set_type(&k, TYPE_SET_WORD);
        uint32_t hash = hash_value(&k, false);
        Probe p = probe(table, hash, [&](uint32_t b) {
            Cell stored = *block_cell(record(table), key_words(record(table))[b]);
            return cell::type(&stored) == cell::type(&k) && actions::compare(&stored, &k, op);
        });
        return p.hit ? block_cell(record(table), key_words(record(table))[p.bucket]) : nullptr;
    }
    if (kind != KIND_HASH) return nullptr;
    if (reverse) last = true;
    int64_t step = skip < 1 ? 1 : skip;
    int64_t found = -1;
    uint32_t hash = hash_value(&k, false);
    probe(table, hash, [&](uint32_t b) {
        uint32_t ref = key_words(record(table))[b];
        Cell rep = *block_cell(record(table), representative(record(table), ref));
        if (!actions::compare(&rep, &k, COMP_EQUAL)) return false;
        // Candidates: the plain index, or every index of the chain in order.
        // The chain is read again after each comparison, which may allocate.
        uint32_t count = 1;
        if (is_chain(ref)) chain_items(chain_node(record(table), chain_number(ref)), &count);
        for (uint32_t j = 0; j < count; ++j) {
            uint32_t c = ref;
            if (is_chain(ref)) {
                uint32_t n;
                const uint32_t* items = chain_items(chain_node(record(table), chain_number(ref)), &n);
                if (j >= n) break;
                c = items[j];
            }
            int64_t i = c;
            bool in_range = reverse ? i < head : i >= head;
            if (!in_range || !at_skip(i, head, step, reverse)) continue;
            if (found >= 0 && (last ? i < found : i > found)) continue;
            // The representative already passed the equality test.
            bool same_test = op == COMP_EQUAL && c == representative(record(table), ref);
            Cell cand = *block_cell(record(table), c);
            if (same_test || actions::compare(&cand, &k, op)) found = i;
        }
        return found >= 0;
    });
    return found >= 0 ? block_cell(record(table), static_cast<uint32_t>(found)) : nullptr;
}

Cell* find_next(Node table, Cell* key, Cursor* cursor) {
    Cell k = *key;
    Record* r = record(table);
    uint32_t mask = r->buckets - 1;
    uint32_t i;
    if (cursor->bucket < 0) {
        i = hash_value(&k, false) & mask;
        cursor->first = i;
        cursor->step = 0;
    } else {
        i = (static_cast<uint32_t>(cursor->bucket) + ++cursor->step) & mask;
        if (i == cursor->first) return nullptr;
    }
    for (;;) {
        const uint8_t* f = flag_bytes(record(table));
        if (is_empty(f, i)) break;
        if (is_live(f, i)) {
            uint32_t ref = key_words(record(table))[i];
            if (!is_chain(ref)) {
                Cell stored = *block_cell(record(table), ref);
                if (cell::type(&stored) == cell::type(&k) && actions::compare(&stored, &k, COMP_EQUAL)) {
                    cursor->bucket = static_cast<int32_t>(i);
                    return block_cell(record(table), ref);
                }
            }
        }
        i = (i + ++cursor->step) & mask;
        if (i == cursor->first) break;
    }
    cursor->bucket = static_cast<int32_t>(cursor->first);
    return nullptr;
}

namespace detail {

void remove_hash_cell(Node table, uint32_t index) {
    Record* r = record(table);
    uint32_t entry = index_entry(r, index);
    if (entry == CHAIN_MARK_NONE || entry == 0 || entry > r->buckets) return;
    uint32_t bucket = entry - 1;
    uint8_t* f = flag_bytes(r);
    if (!is_live(f, bucket)) return;
    uint32_t ref = key_words(r)[bucket];
    if (is_chain(ref)) {
        Node chain = chain_node(r, chain_number(ref));
        int64_t at = array::find_int(chain, index);
        if (at < 0) return;
        array::remove_at(chain, at, 4);
        set_index_entry(table, index, CHAIN_MARK_NONE);
        if (array::length(chain) > 0) return;
        // Chain numbers are never reused: the emptied slot stays null.
        array::poke_ptr(record(table)->chains, chain_number(ref), 0);
    } else {
        if (ref != index) return;
        set_index_entry(table, index, CHAIN_MARK_NONE);
    }
    r = record(table);
    set_deleted(flag_bytes(r), bucket);
    --r->size;
}

}  // namespace detail

void remove_at(Node table, Cell* key) {
    Record* r = record(table);
    Cell* first = series::buffer_of(r->data)->head_cell();
    uint32_t index = static_cast<uint32_t>(key - first);
    if (r->kind == KIND_MAP) {
        if (index + 1 < block_length(r)) first[index + 1].header = 0;
        if (r->size) --r->size;
        return;
    }
    if (r->kind == KIND_HASH) remove_hash_cell(table, index);
}

void remove_range(Node table, uint32_t index, uint32_t count) {
    Record* r = record(table);
    uint32_t len = block_length(r);
    if (index >= len) return;
    if (count > len - index) count = len - index;
    if (index == 0 && count == len) {
        r->size = r->occupied = 0;
        std::memset(flag_bytes(r), FLAGS_EMPTY_BYTE, r->buckets / 4);
        SeriesBuffer* idx = series::buffer_of(r->indexes);
        std::memset(idx->data(), 0xFF, idx->size);
        array::clear(r->chains);
        return;
    }
    for (uint32_t i = index; i < index + count; ++i) remove_hash_cell(table, i);
}

namespace detail {

void check_moved(Node table) {
    Record* r = record(table);
    if (r->stamp == 0 || r->stamp == nodes_cycles + 1 || collecting) return;
    if (r->kind == KIND_HASH) {
        CollectorOff off;
        resize(table, block_length(r));
        return;
    }
    if (r->kind == KIND_INTEGER || r->kind == KIND_OWNER) rehash_entries(table);
}

}  // namespace detail

}  // namespace zel::hashtable
