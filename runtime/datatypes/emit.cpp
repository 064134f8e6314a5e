// Form and mold output through the string! storage routines.
#include "runtime/datatypes/emit.h"
#include <cstring>
#include "runtime/datatypes/string.h"
#include "runtime/memory.h"
#include "runtime/unicode.h"

namespace zel::emit {

Cell* make_buffer(Cell* cell, uint32_t n) { return string::rs_make_at(cell, n); }

int32_t bytes(Cell* buffer, const char* text, uint32_t n, int32_t part) {
    string::concatenate_bytes(buffer, reinterpret_cast<const uint8_t*>(text), n);
    return part - static_cast<int32_t>(n);
}

int32_t literal(Cell* buffer, const char* text, int32_t part) {
    return bytes(buffer, text, static_cast<uint32_t>(std::strlen(text)), part);
}

int32_t character(Cell* buffer, uint32_t cp, int32_t part) {
    string::append_char(series::buffer_of(buffer), cp);
    return part - 1;
}

uint32_t last_char(const Cell* buffer) {
    SeriesBuffer* buf = series::buffer_of(buffer);
    if (buf->tail == buf->head) return 0;
    uint32_t unit = buf->unit();
    return unicode::get_char(buf->tail_ptr() - unit, unit);
}

void truncate(Cell* buffer, uint32_t n) { string::truncate(series::buffer_of(buffer), buffer->w1 + n); }

}  // namespace zel::emit
