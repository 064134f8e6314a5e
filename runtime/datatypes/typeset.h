// typeset!: a set of datatypes, used to type function arguments. Words 1-3
// of the cell are a 96-bit set read as 12 bytes in memory order: type id t
// is bit 80h >> (t & 7) of byte t >> 3. Membership (`typeset::contains`)
// and the argument checks live with the cell helpers (runtime/cells.h).
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/cells.h"

namespace zel::typeset {

// All 96 bits cleared, the cell typed typeset!.
Cell* clear(Cell* ts);
void set_bit(Cell* ts, uint32_t type);
// Appends a typeset with the three payload words to a block.
Cell* make_at(const Cell* block, uint32_t w1, uint32_t w2, uint32_t w3);
// Appends a typeset of every type except unset! to a block.
Cell* push(const Cell* block);
// Appends a typeset built from a spec block: words stand for their values,
// datatypes and typesets add their bits, a word whose value is a word adds
// object!, blocks are skipped; anything else raises invalid-type-spec.
Cell* make_from_block(const Cell* target, const Cell* spec);
// Adds a datatype!'s bit or a typeset!'s bits (a word! through its value);
// anything else raises invalid-arg.
void add(Cell* ts, const Cell* value);
// The registered types in the set.
uint32_t count(const Cell* ts);
// A block of the set's datatypes in id order, written to `out`.
Cell* to_block(const Cell* ts, Cell* out);
// The set operation `op` (5 or, 6 and, 7 xor, 8 none, 9-12 as 5, 6, 11
// and-not, 7) on the call's two arguments; the result in the call's result cell.
void set_op(int32_t op);

// Actions.
Cell* make(Cell* proto, Cell* spec, uint32_t type);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
int32_t compare(Cell* value1, Cell* value2, int32_t op);
void and_();
void or_();
void xor_();
Cell* complement(Cell* value);
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);

}  // namespace zel::typeset
