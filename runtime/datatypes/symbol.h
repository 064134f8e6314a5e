// Symbols: every word name of the language, interned once.
//
// A symbol id is the 1-based position of the symbol's cell in the symbol
// block, so ids are numbered in interning order and never change. Names
// match case-insensitively (ASCII letters only): a name that differs from an
// earlier one only in letter case gets a symbol of its own whose alias field
// names the earlier (canonical) symbol; code that compares or binds words
// compares resolved ids.
//
// Symbol cell (type 13): word 1 the alias (-1 for a canonical symbol, else
// the canonical id), word 2 the node of the name as a string! (0 until
// first needed), word 3 the node of a byte series holding the UTF-8 name
// followed by a zero byte (the tail stands before the zero byte).
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"
#include "runtime/runtime.h"

namespace zel::symbol {

// The symbol hash table (kind 2, over runtime::symbol_block); 0 before start.
extern Node table;

// Makes the symbol hash table over the symbol block (runtime start).
void make_table();

// Interns a name in the normal mode (exact match first, else a case variant
// gets its own aliased symbol) and returns its id.
uint32_t make_from_bytes(const uint8_t* name, uint32_t length);
uint32_t make(const char* name);
// Interns in the fold mode: any case variant of a known name gives that id.
uint32_t make_flagged(const char* name);
// Interns the text of a string-family value (converted to UTF-8).
uint32_t make_from_string(const Cell* str);

// The number of symbols interned.
uint32_t count();
// The symbol cell of an id, its string cache filled first.
Cell* get(uint32_t id);
// The symbol cell without touching the cache (no allocation).
Cell* cell_of(uint32_t id);
// Fills word 2 of the symbol cell from its UTF-8 bytes when it is 0.
void cache_string(Cell* symbol);
// A string! cell (head 0) that shares the symbol's cached name.
Cell* name_string(uint32_t id, Cell* out);
// The UTF-8 name and its byte length (valid until the next allocation).
const uint8_t* name_bytes(uint32_t id, uint32_t* length);
// The cached name string's first unit, after a zero unit written at its tail.
const uint8_t* get_c_string(uint32_t id);

// The canonical id of a symbol (its alias target, or itself).
inline uint32_t resolve(uint32_t id) {
    const Cell* c = series::buffer_of(runtime::symbol_block)->head_cell() + (id - 1);
    int32_t alias = static_cast<int32_t>(c->w1);
    return alias > 0 ? static_cast<uint32_t>(alias) : id;
}
// The raw alias field (-1 or the canonical id).
int32_t get_alias(uint32_t id);
// True when a word's symbol resolves to the symbol of `any-type!`.
bool any_type_q(const Cell* word);
// The names of two symbol ids compared as text: case-insensitive unless the
// op is strict (2) or case-sorting (8); -1, 0 or 1.
int32_t compare_ids(uint32_t a, uint32_t b, int32_t op);
// The compare action of symbol! (two symbol cells).
int32_t compare(Cell* a, Cell* b, int32_t op);

// Registers symbol! (compare only).
void init();

}  // namespace zel::symbol

namespace zel::word {
// Interns a NUL-terminated UTF-8 name in the normal mode.
inline uint32_t make_symbol(const char* name) { return symbol::make(name); }
}  // namespace zel::word
