// The runtime's one hash table: open addressing over 2-bit bucket flags,
// triangular probing, power-of-two bucket counts and a load factor of 0.77.
//
// A table indexes values that live elsewhere (the cells of a hash! or map!
// block, the symbol block, a context's word list) or entries it owns (the
// integer-keyed and ownership tables); its buckets hold 32-bit references
// only. Everything lives in series, so the collector may move any part: every
// operation takes the table's node and looks its parts up again after any
// allocation. Addresses returned are valid until the next allocation.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel::hashtable {

enum Kind : uint32_t {
    KIND_HASH = 0,     // hash! values: every cell of the block; equal keys chain in one bucket
    KIND_MAP = 1,      // map!: every second cell (key, value)
    KIND_SYMBOL = 2,   // the symbol table and the word tables of contexts
    KIND_INTEGER = 3,  // entries keyed on a 32-bit integer or node
    KIND_OWNER = 4,    // the ownership table: entries keyed on a series node
};

// The table record, kept in the data area of a 44-byte series.
struct Record {
    uint32_t size;      // live keys
    uint32_t indexes;   // hash!: node of the index series; entry tables: entry width in bytes
    Node chains;        // hash!: node of the chain list (32-bit chain nodes, 0 once emptied)
    Node flags;         // two bits per bucket: 2 empty, 1 deleted, 0 live
    Node keys;          // one 32-bit reference per bucket
    Node data;          // the series holding the keyed values (or the entries)
    uint32_t occupied;  // live and deleted buckets (the fill count)
    uint32_t buckets;   // a power of two, at least 4
    uint32_t upper;     // fill count at which the table grows
    uint32_t kind;
    uint32_t stamp;     // 0, or nodes_cycles + 1 when keys hashed on node ids were last hashed
};
static_assert(sizeof(Record) == 44);

inline Record* record(Node table) { return reinterpret_cast<Record*>(series::buffer_of(table)->data()); }

// Collections that moved nodes to other ids. The collector adds one after
// each such collection, so tables keyed on node ids know to rehash.
extern uint32_t nodes_cycles;
// Set by the collector while it runs: tables are then not rehashed.
extern bool collecting;

// ---- making and copying ----

// A new table for `capacity` keys. `block` (null when none) is the series
// the keys live in (kinds 0-2); its cells are inserted from its head (every
// second cell for map!). Entry tables (kinds 3, 4), or any kind made without
// a block, get a fresh cell series. `value_cells` is the number of value
// cells of each entry of an entry table.
Node make(int64_t capacity, const Cell* block, Kind kind, uint32_t value_cells);
// A copy of the table whose data field names `data` (a copy of the keyed series).
Node copy(Node table, Node data);
// A full copy: record, flags, keys and the data series itself.
Node clone(Node table);
// Size and fill count 0, data series emptied, all buckets empty.
void clear(Node table);
// Tables are reclaimed by the collector.
inline void destroy(Node) {}

// ---- block tables (kinds 0 and 1) ----

// map! puts each new key of a block in its normal form (word keys become
// set-words and the like); installed by the map! datatype.
using MapKeyNormalizer = void (*)(Cell* key);
void set_map_normalizer(MapKeyNormalizer fn);
// Inserts the block's cells from `index`, every `skip`-th one (map! rules
// for skip 2: a key met again takes the later value and the duplicate pair
// leaves the block).
void rehash_block(Node table, uint32_t index, uint32_t skip);
// Inserts a cell of the block. *status becomes 2 when the insertion rebuilt
// the whole table (the cell is then in it). Returns the key cell.
Cell* put_key(Node table, Cell* key, int* status);
inline Cell* put(Node table, Cell* key) {
    int status = 0;
    return put_key(table, key, &status);
}
// The matching cell of the block, or null. map!: the first key of the same
// type (word-family keys as set-word!) that compares true under `op`.
// hash!: among keys equal to `key`, the first at or after `head` whose
// distance from `head` is a multiple of `skip` (the last one with `last`;
// with `reverse`, the last one before `head`), compared under `op`.
Cell* find(Node table, Cell* key, int32_t head, int32_t skip, int32_t op, bool last, bool reverse);
// The probing state of `find_next`; `bucket` -1 starts a new search.
struct Cursor {
    int32_t bucket = -1;
    uint32_t first = 0;
    uint32_t step = 0;
};
// The next stored cell of the key's type equal to it (op 0), or null; the
// cursor lets the caller resume after each hit.
Cell* find_next(Node table, Cell* key, Cursor* cursor);
// Removes a cell's key: map! clears the value cell after it (the key stays
// hashed as absent); hash! takes it out of its bucket or chain.
void remove_at(Node table, Cell* key);
// Removes the keys of `count` cells of the block from `index` (hash!).
void remove_range(Node table, uint32_t index, uint32_t count);
// Adds `offset` to the stored indexes of `count` cells from `start`
// (hash!; with `move_index` the index series entries move too). Returns 1,
// doing nothing, when count exceeds 30000: the caller rebuilds instead.
int shift_keys(Node table, int32_t offset, uint32_t start, uint32_t count, bool move_index);
// Index upkeep for moving `count` cells from `start` to `target` (hash!).
void move(Node table, uint32_t target, uint32_t start, uint32_t count);
// Rebuilds a hash! table from its whole block for `capacity` keys.
void resize(Node table, int64_t capacity);

// ---- entry tables (kinds 3 and 4) ----

// The first value cell of the key's entry, added (all cells unset!) when absent.
Cell* put_ptr(Node table, uint32_t key);
// The first value cell of the key's entry, or null.
Cell* get_ptr(Node table, uint32_t key);
// Removes the key's entry; its first value cell, or null when absent.
Cell* remove_ptr(Node table, uint32_t key);

// ---- symbol and word tables (kind 2) ----

// Interns a name: the symbol id (see the symbol module for the rules);
// `fold` makes any case variant of a known name answer that name's id.
uint32_t put_symbol(Node table, const uint8_t* name, uint32_t length, bool fold);
// Looks up (ctx 0) or adds the word of a symbol in a word table. Lookup:
// the word's index or -1. Add: -1 when a word was added, else the index
// found; *index gets the index either way (an entry's index, which for a
// case variant in the global context is its canonical word's). `ci`
// compares resolved ids. *position (when given) gets the entry's position
// in the word list, or -1.
int32_t put_word(Node table, uint32_t symbol, bool ci, Node ctx, int32_t* index, int32_t* position = nullptr);

// ---- collector support ----

// Keeps every series of the table (its node slot first): `keep` receives the address of each
// node field (it may rewrite it), `mark_block` each series of cells.
struct Marker {
    void (*keep)(Node* slot);
    void (*mark_block)(Node* slot);
};
void mark(Node* table, const Marker& marker);
// Drops the entries whose key series (or, in the ownership kind, whose
// owner series: word 1 of the entry's third cell) the collector left unmarked.
void sweep(Node table, bool (*is_marked)(Node node));

}  // namespace zel::hashtable
