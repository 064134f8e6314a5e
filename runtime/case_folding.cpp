// Case mapping of code points and of text values.
#include "runtime/case_folding.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/unicode.h"
#include "runtime/unicode_tables.h"

namespace zel::casefold {

namespace {

// The value of the pair whose first member is cp, in pairs sorted by it.
uint32_t find_pair(uint32_t cp, const uint32_t* pairs, uint32_t count) {
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (pairs[2 * mid] < cp) lo = mid + 1; else hi = mid;
    }
    return lo < count && pairs[2 * lo] == cp ? pairs[2 * lo + 1] : cp;
}

bool is_text_type(uint32_t t) {
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL ||
           t == TYPE_REF;
}

// Number of code points to change: to the tail, or as `part` says.
uint32_t part_count(const Cell* value, const Cell* part, uint32_t head, uint32_t length) {
    int64_t count = int64_t{length} - head;
    if (!part) return static_cast<uint32_t>(count);
    int64_t asked;
    if (cell::type(part) == TYPE_INTEGER) {
        asked = cell::get_int(part);
    } else if (cell::type(part) == cell::type(value) && part->w2 == value->w2) {
        asked = int64_t{static_cast<int32_t>(part->w1)} - head;
    } else {
        // The error's first argument is the refinement word `part` once
        // words exist; until then only the offending value is given.
        fire(ERR_SCRIPT, "invalid-refine-arg", nullptr, part);
    }
    if (asked < 0) asked = 0;
    return static_cast<uint32_t>(asked < count ? asked : count);
}

}  // namespace

uint32_t change_supplementary(uint32_t cp, bool upper) {
    using namespace unicode_tables;
    return upper ? find_pair(cp, TO_UPPER_RANGES, TO_UPPER_RANGE_COUNT)
                 : find_pair(cp, TO_LOWER_RANGES, TO_LOWER_RANGE_COUNT);
}

void change_case(Cell* value, const Cell* part, bool upper) {
    uint32_t type = cell::type(value);
    if (type == TYPE_CHAR) {
        value->w2 = change_char(value->w2, upper);
        return;
    }
    if (!is_text_type(type)) fire(ERR_SCRIPT, "invalid-arg", value);
    Node node = value->w2;
    SeriesBuffer* buf = series::buffer_of(node);
    uint32_t unit = unicode::text_unit(buf);
    uint32_t length = (buf->tail - buf->head) / unit;
    int32_t index = static_cast<int32_t>(value->w1);
    uint32_t head = index < 0 ? 0 : static_cast<uint32_t>(index) > length ? length : static_cast<uint32_t>(index);
    uint32_t end = head + part_count(value, part, head, length);
    for (uint32_t i = head; i < end; ++i) {
        uint32_t cp = unicode::get_char(buf->head_ptr() + uint64_t{i} * unit, unit);
        uint32_t mapped = change_char(cp, upper);
        if (mapped == cp) continue;
        uint32_t need = mapped <= 0xFF ? 1 : mapped <= 0xFFFF ? 2 : 4;
        if (need > unit) {
            buf = unicode::widen(buf, need);
            unit = need;
        }
        unicode::put_char(buf->head_ptr() + uint64_t{i} * unit, unit, mapped);
    }
}

}  // namespace zel::casefold
