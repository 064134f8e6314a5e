// Reporting the call stack: the innermost named call, the list of calls
// with their argument positions, and the traces shown by error reports.
// Frames named <body> or <anon> are left out; a frame's name is a word of
// its caller's context (or of the global context when that lacks it).
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/stack.h"

namespace zel::stack {

// The word of the innermost named call, from the frame saved by a throw
// (used once, then cleared) or from the top; `<not-found>` when none.
Cell* get_call(Cell* out);
// Appends, from the top frame down to the second, each named frame's word
// (looked up in its function's context) and the position of the arguments
// base before it.
void collect_calls(const Cell* block);
// The named frames from the first up to `end` (exclusive): all of them
// when level > 1, else those whose word names a function!. Appended to a
// block as words, or formed into a string separated by blanks, the width
// counted down; the width left is returned.
void trace_to_block(int level, const Cell* block, const CallFrame* end);
int32_t trace_to_string(int level, Cell* str, const CallFrame* end, int32_t width);
// Installs the call namers of error reports (runtime start).
void init_call_namers();

}  // namespace zel::stack
