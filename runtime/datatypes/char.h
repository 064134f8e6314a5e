// char!: one Unicode code point (0 to 10FFFFh). It shares integer!'s
// arithmetic kernel, keeping every result inside the code-point range, and
// molds with the caret escapes of strings.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::char_ {

constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;

// Pushes a char! on the argument stack.
Cell* push(uint32_t cp);
// Appends a char! at the block's tail and returns it.
Cell* make_in(const Cell* block, uint32_t cp);
// Arithmetic of the two operands at the arguments base (left char!); the
// result replaces the left cell and stays a char!.
void do_math(int32_t op);
// make and to char! (one routine serves both).
Cell* make(Cell* proto, Cell* spec, uint32_t type);
int32_t compare(Cell* a, Cell* b, int32_t op);

void init();

}  // namespace zel::char_
