// Widening a text buffer in place: Latin-1 to UCS-2 or UCS-4, UCS-2 to UCS-4.
#include "runtime/errors.h"
#include "runtime/unicode.h"

namespace zel::unicode {

uint32_t text_unit(const SeriesBuffer* buf) {
    uint32_t unit = buf->unit();
    if (unit != 1 && unit != 2 && unit != 4) sys::runtime_error(101, ZEL_HERE());
    return unit;
}

// Grows the buffer when the wider text (plus one wider unit) would not fit,
// then rewrites the code points from the last to the first, so that no code
// point is overwritten before it is read.
static SeriesBuffer* widen_from_to(SeriesBuffer* buf, uint32_t from, uint32_t to) {
    uint64_t used = buf->tail - buf->head;
    uint64_t wide = used / from * to;
    if (buf->size < uint64_t{buf->head} + wide + to) buf = series::expand_copy(buf, wide + to);
    uint64_t n = used / from;
    uint8_t* base = buf->head_ptr();
    for (uint64_t i = n; i-- > 0;) put_char(base + i * to, to, get_char(base + i * from, from));
    buf->tail = static_cast<uint32_t>(buf->head + wide);
    buf->flags = (buf->flags & ~SERIES_UNIT_MASK) | to;
    return buf;
}

SeriesBuffer* widen_latin1_ucs2(SeriesBuffer* buf) { return widen_from_to(buf, 1, 2); }
SeriesBuffer* widen_latin1_ucs4(SeriesBuffer* buf) { return widen_from_to(buf, 1, 4); }
SeriesBuffer* widen_ucs2_ucs4(SeriesBuffer* buf) { return widen_from_to(buf, 2, 4); }

SeriesBuffer* widen(SeriesBuffer* buf, uint32_t to) {
    uint32_t from = text_unit(buf);
    return from < to ? widen_from_to(buf, from, to) : buf;
}

}  // namespace zel::unicode
