// Upper- and lower-case mapping of code points and text values.
//
// The basic plane maps through two direct tables of 65,536 entries (0: no
// mapping), so the case-insensitive comparisons and hashes pay one indexed
// read per code point. The compiler builds them: read-only data mapped from
// the program file as it is read, nothing to fill (and no page to commit)
// at start-up. The supplementary planes look up short sorted pair
// tables. The mappings are the Unicode simple case mappings, plus sharp s
// (DFh) to S (53h) when upper-casing.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/unicode_tables.h"

namespace zel::casefold {

// Mapping above FFFFh (the code point itself when it has none).
uint32_t change_supplementary(uint32_t cp, bool upper);

// The mapped code point (upper-case when `upper`), or cp when it has none.
inline uint32_t change_char(uint32_t cp, bool upper) {
    if (cp < 0x10000) {
        uint32_t m = (upper ? unicode_tables::TO_UPPER_DIRECT : unicode_tables::TO_LOWER_DIRECT).to[cp];
        return m ? m : cp;
    }
    return change_supplementary(cp, upper);
}

inline uint32_t to_upper(uint32_t cp) { return change_char(cp, true); }
inline uint32_t to_lower(uint32_t cp) { return change_char(cp, false); }
// The upper-case mapping when it differs, else the lower-case one.
inline uint32_t toggle_case(uint32_t cp) {
    uint32_t up = to_upper(cp);
    return up != cp ? up : to_lower(cp);
}

// Changes a char! value or the text of a string-family value in place
// (widening its unit when a mapping needs it). `part` (null when absent)
// limits the text: an integer! count, or a position in the same series.
void change_case(Cell* value, const Cell* part, bool upper);

}  // namespace zel::casefold
