// Display width of a code point in a text terminal: 0, 1 or 2 columns.
#include "runtime/unicode.h"
#include "runtime/unicode_tables.h"

namespace zel::unicode {

bool in_ranges(uint32_t cp, const uint32_t* ranges, uint32_t words) {
    uint32_t count = words / 2;
    if (count == 0 || cp < ranges[0] || cp > ranges[2 * count - 1]) return false;
    // The last range starting at or before cp is the only candidate.
    uint32_t lo = 0, hi = count;
    while (hi - lo > 1) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (ranges[2 * mid] <= cp) lo = mid; else hi = mid;
    }
    return cp <= ranges[2 * lo + 1];
}

int char_width(uint32_t cp) {
    using namespace unicode_tables;
    if (cp == 0) return 0;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return 1;  // controls take one column
    if (in_ranges(cp, ZERO_WIDTH_RANGES, ZERO_WIDTH_RANGE_COUNT * 2)) return 0;
    if (in_ranges(cp, WIDE_RANGES, WIDE_RANGE_COUNT * 2)) return 2;
    return 1;
}

int char_width_cjk(uint32_t cp) {
    using namespace unicode_tables;
    if (in_ranges(cp, AMBIGUOUS_RANGES, AMBIGUOUS_RANGE_COUNT * 2)) return 2;
    return char_width(cp);
}

}  // namespace zel::unicode
