// The word family: word!, set-word!, lit-word!, get-word!, refinement! and
// issue! share one cell: word 1 the node of the context the word is bound
// to (0 for an unbound refinement), word 2 the symbol id as interned (never
// resolved in the cell), word 3 its index in that context or -1 (unbound,
// or `self`). The types differ only in how the interpreter treats them and
// in how they are molded.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/datatypes/symbol.h"

namespace zel::word {

inline bool any_word_q(uint32_t type) { return type >= TYPE_WORD && type <= TYPE_ISSUE; }

// ---- making words ----

// The global word entry of a name (found case-insensitively, a case
// variant keeping its own spelling); at start-up a copy is also kept in the
// root block. Written to `out`, which is returned.
Cell* load(const char* name, Cell* out);
// The global word entry of a symbol (exact), made with an unset value when
// absent.
Cell* make_global(uint32_t symbol, Cell* out);
// A word! bound to the global context (added there when absent).
Cell* make_at(uint32_t symbol, Cell* target);
// make_at on a new cell at the block's tail; the new cell (valid until the
// next allocation).
Cell* make_in(uint32_t symbol, const Cell* block);
Cell* load_in(const char* name, const Cell* block);
// make_at into the current call's result cell, or a new argument-stack cell.
Cell* make_result(uint32_t symbol);
Cell* push_global(uint32_t symbol);
Cell* push(const Cell* word);
// Word entry n of a context, and a pushed copy of it.
Cell* cell_at(Node ctx, uint32_t n);
Cell* push_word_at(Node ctx, uint32_t n);
// A copy of any cell appended to the runtime root block.
Cell* save_in_root(const Cell* c);

// The family makers: the word! operation, then the member's type.
Cell* load_in_as(const char* name, const Cell* block, uint32_t type);
Cell* load_as(const char* name, uint32_t type, Cell* out);
Cell* push_as(const Cell* word, uint32_t type);
Cell* push_word_at_as(Node ctx, uint32_t n, uint32_t type);

// ---- values ----

// Pushes a copy of the word's value; an unset value raises no-value.
Cell* get(const Cell* word);
// Pushes a copy of the word's value, unset allowed (get-word evaluation too).
Cell* get_any(const Cell* word);
// Value n of a heap-held context.
Cell* get_in(Node ctx, uint32_t n);
// Pushes a copy of value n (not-defined when the context has no values).
Cell* push_local(Node ctx, uint32_t n);
// Sets the word's value in its own context, events on.
Cell* set(Cell* word, const Cell* value);
// Sets the word in argument 1 to argument 2 and makes argument 2 the
// result; with `check_unset`, an unset argument 2 raises need-value.
void set_from_arg(bool check_unset);
// Makes the value of the word in argument 1 the call's result (unset allowed).
void get_from_arg();
// Copies the argument stack's top cell into value n.
void set_local(Node ctx, uint32_t n);
// Pushes value n's old content, then stores the cell that was on top before.
void set_local_push(Node ctx, uint32_t n);
// Copies the call's result cell into value n; returns the result cell.
Cell* set_local_result(Node ctx, uint32_t n);
// Copies the call's result into the target; unset raises need-value.
void store_result(Cell* target);

// Pushes a string! sharing the symbol's cached name (head 0).
Cell* push_string(uint32_t symbol);
// The symbol cell of a word, its cache filled.
Cell* get_symbol(const Cell* word);

// The type a name would load as on its own (word!, set-word!, get-word!,
// lit-word!, refinement!, issue!), or 0 when it is not one word-family
// token; *start and *length give the bare name. The lexer replaces the
// built-in rules when it starts.
using ScanFn = uint32_t (*)(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length);
void set_scanner(ScanFn fn);
uint32_t scan_text(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length);
// The token type of a symbol's name.
uint32_t scan_name(uint32_t symbol);

// ---- actions ----

Cell* make(Cell* proto, Cell* spec, uint32_t type);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
void index_q();

}  // namespace zel::word

namespace zel::refinement {
// A refinement! with context 0, appended to the root block.
Cell* load(const char* name, Cell* out);
}  // namespace zel::refinement

namespace zel::issue {
// An issue! of the name: global context, index -1.
Cell* make_at(Cell* target, const char* name);
Cell* load_in(const char* name, const Cell* block);
// At start-up into the root block; otherwise on a new argument-stack cell.
Cell* load(const char* name, Cell* out);
Cell* make(Cell* proto, Cell* spec, uint32_t type);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
}  // namespace zel::issue
