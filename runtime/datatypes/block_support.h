// Internal to the block! actions: shared helpers of their files.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/datatypes/series.h"

namespace zel::block {

inline int64_t index_of(const Cell* b) {
    int32_t i = static_cast<int32_t>(b->w1);
    return i < 0 ? 0 : i;
}
inline int64_t cell_count(const Cell* b) { return series::length_of_buffer(b); }
// Cell i counted from the buffer's head (valid until the next allocation).
inline Cell* cell_ptr(const Cell* b, int64_t i) { return reinterpret_cast<Cell*>(series::unit_at(b, 0)) + i; }
// Cells from the head to the tail, 0 for a head past the tail.
inline int64_t length_from_head(const Cell* b) {
    int64_t n = cell_count(b) - static_cast<int32_t>(b->w1);
    return n < 0 ? 0 : n;
}

// Calls the user comparator of sort/compare (see set_comparator_call).
const Cell* call_comparator(const Cell* fn, const Cell* a, const Cell* b);

// Where find found its value: the position and the length of the matched
// run (1 for a single value); position -1 when nothing matched.
struct Found {
    int64_t pos;
    int64_t run;
    bool run_match;  // the value was matched as a run of cells
};
Found find_in(const Cell* blk, const Cell* value, const Cell* part, bool only, bool case_, bool same,
              const Cell* skip, bool last, bool reverse, bool match, int64_t* step);

}  // namespace zel::block
