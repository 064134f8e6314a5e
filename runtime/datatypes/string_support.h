// Small helpers shared by the string! action files: the shared none result,
// word cells for error reports, and reading /part and /skip arguments.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::string::support {

// log2 of a text unit of 1, 2 or 4 bytes.
inline uint32_t shift_of(uint32_t unit) { return unit == 1 ? 0 : (unit == 2 ? 1 : 2); }

// The blocks whose elements append, insert and to form one by one.
inline bool is_any_block(uint32_t type) { return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH; }

// The shared none! result cell (rewritten on every call).
Cell* none_result();
// A word! cell naming `name` (for error arguments such as `part`).
Cell* word_cell(Cell* out, const char* name);
// Raises script error invalid-refine-arg with the named word and the value.
[[noreturn]] void refine_error(const char* name, const Cell* value);
// A /part argument as a count of units from the series' head: an integer!
// (or float!, truncated), or a position in the same series (same type and
// node). Anything else raises invalid-refine-arg with `part`.
int32_t part_count(const Cell* series, const Cell* part);
// A string! cell (head 0) holding a symbol's name: its cached name string.
Cell* symbol_text(const Cell* symbol, Cell* out);
// The value itself, or for a symbol! its name as symbol_text gives it.
const Cell* as_text(const Cell* value, Cell* scratch);
// Announces a change to the series' owner (before), and the after-event when
// the owner was told; `index` and `count` describe the changed range.
bool announce(Cell* series, uint32_t before_event, const Cell* value, int32_t index, int32_t count);
void announce_after(bool told, Cell* series, uint32_t before_event, const Cell* value, int32_t index,
                    int32_t count);

}  // namespace zel::string::support
