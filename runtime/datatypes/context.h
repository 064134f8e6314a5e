// Contexts map words to values: the global context, each object's context
// and each function's context (whose values live on the argument stack while
// a call runs). A word cell carries the node of the context it is bound to
// and its index there, so reading or setting a bound word never searches.
//
// A context is one series of two cells. Cell 0, the context cell (type 14):
// header bits 11-12 the kind, bit 22 values on the argument stack, bit 24
// made with the self flag; word 1 the node of its word table (a symbol-kind
// hash table whose block holds one word! cell per word: symbol in word 2,
// index in word 3); word 2 the values: a node of a block of value cells, or
// for stack-held values a reference to the first value on the argument stack
// (index + 1), 0 while no call of the function runs. Cell 1, the owner cell:
// a copy of the object or function that owns the context.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel::context {

enum Kind : uint32_t { KIND_GLOBAL = 0, KIND_FUNCTION = 1, KIND_OBJECT = 2 };
constexpr uint32_t KIND_SHIFT = 11;
constexpr uint32_t FLAG_SELF = 1u << 24;
// Set on a word entry of an object context when its value was set.
constexpr uint32_t WORD_SET_MARK = 1u << 13;

// The global context (made at runtime start with 4000 slots).
extern Node global;
// The node of the global context's values block (it keeps its node when it grows).
extern Node global_values;

// The value cell `index` of the global context, or null past its values.
// The memory manager keeps the head and tail of those values current (its
// watched series), so no table is walked. Null for every index while no
// global context exists.
inline Cell* global_slot(uint32_t index) {
#ifdef ZEL_SANITIZED
    memory::check_watched();
#endif
    // One compare with the tail covers every index past the values: a word
    // added before its value cell, a `self` word's 2^32 - 1, and any index
    // while head and tail are null. (Counted as an address: no pointer is
    // made beyond the values.)
    uintptr_t slot = reinterpret_cast<uintptr_t>(memory::watched_cells) + uint64_t{index} * sizeof(Cell);
    if (slot >= reinterpret_cast<uintptr_t>(memory::watched_tail)) return nullptr;
    // Cells are present below the tail: callers need not test the slot again.
    if (!slot) __builtin_unreachable();
    return reinterpret_cast<Cell*>(slot);
}
// Whether a word bound to `ctx` reads global_slot(); also true for an unbound
// word (context 0) while no global context exists, which global_slot()
// answers with null.
inline bool reads_global_slot(Node ctx) { return ctx == memory::watched_key; }

inline Cell* context_cell(Node ctx) { return series::buffer_of(ctx)->head_cell(); }
inline Cell* owner_cell(Node ctx) { return series::buffer_of(ctx)->head_cell() + 1; }
inline uint32_t kind_of(const Cell* cc) { return (cc->header >> KIND_SHIFT) & 3; }
inline bool stack_held(const Cell* cc) { return (cc->header & FLAG_STACK_VALUES) != 0; }
inline Node word_table(Node ctx) { return context_cell(ctx)->w1; }
// Number of words, and the word entries (valid until the next allocation).
uint32_t word_count(Node ctx);
Cell* word_entries(Node ctx);

// A new context with room for n words (0 taken as 1); a source context
// cell (or null) gives a copy of its word table.
Node make(uint32_t slots, bool stack_values, bool self, const Cell* source, Kind kind);
// A context of every word!, lit-word!, get-word! and refinement! of the
// spec block's whole buffer, in order.
Node make_from_words(const Cell* spec, bool stack_values, bool self, Kind kind);
// A new context of the same words as the owner's (object or function, word
// 1 its context); the owner's context field is set to it.
Node clone(Cell* owner, Kind kind);
// Makes the global context and registers nothing (runtime start).
void make_global();

// The index of a symbol's word, or -1; `ci` matches resolved ids.
int32_t find_word(Node ctx, uint32_t symbol, bool ci);
// The index when present; else adds a word entry, sets *index and returns -1.
int32_t find_or_add_word(Node ctx, uint32_t symbol, bool ci, int32_t* index);
// The index of the word's symbol, added (with an unset value for heap
// values) when absent.
int32_t add_word(Node ctx, const Cell* word);
// Adds the word with a copy of the value when absent; else changes nothing.
void add_value(Node ctx, const Cell* word, const Cell* value);
// Adds the word with a copy of the value when absent; else overwrites it.
void put_value(Node ctx, const Cell* word, const Cell* value);
// Adds every top-level set-word! of the block from its index; true when
// the word count grew.
bool collect_set_words(Node ctx, const Cell* block);

// Binds one word cell to the context when the context has its symbol: the
// index, or -1 (the word unchanged).
int32_t bind_word(Node ctx, Cell* word);
// Binds the words of a block deeply (blocks, parens, paths and hash! inside
// too); with `self`, the word `self` gets the context and index -1.
Cell* bind(Cell* block, Node ctx, bool self);

// The address of a word's value cell in a context. A context whose
// function is not running raises not-in-context; an unbound word other than
// `self` raises no-value.
Cell* get_value_in(const Cell* word, Node ctx);
inline Cell* get(const Cell* word) { return get_value_in(word, word->w1); }
// Sets the word's value in a context (adding the word when it is unbound
// there); returns the value cell. Raises not-defined when the context has
// no values. With `fire_events`, an object's change handler is called.
Cell* set_in(Cell* word, const Cell* value, Node ctx, bool fire_events);
// Stores an integer in a word's slot (found by exact symbol when unbound).
void set_integer(Node ctx, Cell* word, int32_t value);
// The value cell of a symbol in a context (the global context stands in
// for a function context); the symbol must be present.
Cell* get_in_symbol(uint32_t symbol, Node ctx);
Cell* get_global_value(uint32_t symbol);
// Copies the symbol's global value into the target (the word is made
// global first when absent).
void get_global(uint32_t symbol, Cell* target);
// The global word entry of a symbol (see the source for the case rules).
Cell* add_global_word(uint32_t symbol, bool ci, bool variant_copy, Cell* out);

// The change handler of objects: told of a field set with its old value.
using ChangeHandler = void (*)(Cell* owner, Cell* word, Cell* old_value, Cell* slot);
void set_change_handler(ChangeHandler h);

// The address of value cell `index` of a context (heap or stack values).
Cell* local(Node ctx, uint32_t index);

}  // namespace zel::context
