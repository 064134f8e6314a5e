// Runtime start: brings the whole runtime up in one fixed order.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::runtime {

constexpr uint32_t ROOT_CELLS = 8749;
constexpr uint32_t SYMBOL_CELLS = 4000;
constexpr uint32_t GLOBAL_SLOTS = 4000;

// The runtime root block: fixed, never moved, the collector's first root.
extern Node root;
extern Node argument_block;
extern Node call_block;
extern Node symbol_block;
// While set, words and issues made are also appended to the root block.
extern bool collect_words;

void init();
// Gives every frame and heap block back (nothing calls it on the quit path,
// which frees heap blocks itself).
void cleanup();
bool started();

}  // namespace zel::runtime
