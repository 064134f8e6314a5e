// The series! copy: a new series of the same type holding a range of units.
#include <cstring>
#include "runtime/datatypes/series.h"

namespace zel::series {

namespace {
inline int64_t index_of(const Cell* s) {
    int32_t i = static_cast<int32_t>(s->w1);
    return i < 0 ? 0 : i;
}
}  // namespace

// The range runs from the head to the tail; /part gives a count, a series
// position, or a pair x×y (units x up to y, x counted as pick counts).
// /deep and /types belong to the block family's own copy.
Cell* copy(Cell* s, Cell* result, Cell* part, bool, Cell*) {
    Cell src = *s;
    int64_t len = length_of_buffer(&src);
    int64_t idx = index_of(&src);
    int64_t start = idx;
    int64_t count = len - idx;
    if (part) {
        if (cell::type(part) == TYPE_PAIR) {
            int64_t x = static_cast<int32_t>(part->w2), y = static_cast<int32_t>(part->w3);
            start = x > 0 ? idx + x - 1 : idx + x;
            count = y < x ? 0 : y - x;
        } else {
            count = part_count(&src, part);
        }
        if (count < 0) {
            int64_t from = start + count < 0 ? 0 : start + count;
            count = start - from;
            start = from;
        }
    }
    if (start < 0) start = 0;
    if (start > len) start = len;
    if (count > len - start) count = len - start;
    if (count < 0) count = 0;
    make_like(&src, static_cast<uint64_t>(count), result);
    result->header |= src.header & FLAG_NEW_LINE;
    SeriesBuffer* out = buffer_of(result);
    uint32_t u = out->unit();
    std::memcpy(out->head_ptr(), unit_at(&src, start), static_cast<size_t>(count * u));
    out->tail = out->head + static_cast<uint32_t>(count * u);
    return result;
}

}  // namespace zel::series
