// The native table and the native calling convention.
//
// A native is called after its frame is marked and its arguments pushed
// (required arguments from the frame's base, then the arguments of the
// refinements used, in the order given). It receives one integer per
// refinement of its spec, in spec order: -1 when the refinement is absent,
// else the index (in cells from the frame's base) of its first argument (for
// a refinement without arguments, the index it would have had). It leaves
// its result in the frame's base cell. Actions' stack entries share the
// same shape.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::natives {

using NativeFn = void (*)(const int32_t* refs);

constexpr int TABLE_SIZE = 120;
constexpr int NATIVE_COUNT = 107;
// A call hands a native or an action at most this many refinements.
constexpr int MAX_REFINEMENTS = 32;
// Positions the interpreter knows: if, unless and either; the comparison
// natives, equal? to greater-or-equal?.
constexpr uint32_t NATIVE_IF = 1;
constexpr uint32_t NATIVE_UNLESS = 2;
constexpr uint32_t NATIVE_EITHER = 3;
constexpr uint32_t NATIVE_EQUAL = 25;
constexpr uint32_t NATIVE_GREATER_EQUAL = 31;

extern NativeFn table[TABLE_SIZE];
// The entry at a 1-based position, or null.
inline NativeFn entry(uint32_t position) {
    return position >= 1 && position <= TABLE_SIZE ? table[position - 1] : nullptr;
}
// Fills the table in position order (runtime start).
void init();
// The word of a native's position ("if" ... "apply").
const char* name_of(uint32_t position);
// The position of a native by its word, or 0.
uint32_t position_of(const char* name);

// A refinement given to the current call, and its first argument.
inline bool ref(const int32_t* refs, int n) { return refs[n] >= 0; }

}  // namespace zel::natives
