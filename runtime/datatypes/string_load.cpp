// Turning encoded text (UTF-8, UTF-16LE) into string! values.
#include <cstring>
#include "runtime/datatypes/string.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/stdout.h"
#include "runtime/unicode.h"

namespace zel::string {

namespace {

// Offset of the first byte that does not begin a whole UTF-8 character, or n.
uint32_t first_invalid_utf8(const uint8_t* p, uint32_t n) {
    const uint8_t* start = p;
    const uint8_t* end = p + n;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, end, &cp);
        if (cp == unicode::UTF8_INVALID) return static_cast<uint32_t>(p - start);
        p = next;
    }
    return n;
}

// Pushes a binary! holding a copy of n bytes (which must not lie in a series).
Cell* push_binary(const uint8_t* p, uint32_t n) {
    Node node = series::alloc_bytes(n);
    SeriesBuffer* buf = series::buffer_of(node);
    if (n) std::memcpy(buf->head_ptr(), p, n);
    buf->tail = buf->head + n;
    Cell bin;
    set_series(&bin, TYPE_BINARY, node);
    return stack::push(&bin);
}

}  // namespace

Cell* load(const uint8_t* text, uint32_t size, Cell* target, int encoding) {
    Cell* cell = target ? target : stack::push_new();
    cell::set(cell, TYPE_UNSET);
    Node node;
    switch (encoding) {
        case ENCODING_UTF8: node = unicode::load_utf8(text, size, 0, nullptr, false); break;
        case ENCODING_UTF16LE: node = unicode::load_utf16le(text, size / 2, nullptr, false); break;
        default: {
            static const char msg[] = "*** Loading Error: input encoding unsupported";
            std_out::write(msg, sizeof msg - 1, 1, true);
            sys::quit(0);
        }
    }
    cell->w2 = node;
    cell::set_type(cell, TYPE_STRING);
    return cell;
}

Cell* load_in(const uint8_t* text, uint32_t size, const Cell* block, int encoding) {
    Cell loaded;
    load(text, size, &loaded, encoding);
    return copy_cell(&loaded, block::alloc_tail(block));
}

Cell* load_push(const uint8_t* text, uint32_t size, int encoding) { return load(text, size, nullptr, encoding); }

Cell* load_utf8_bytes(const uint8_t* p, uint32_t n) {
    uint32_t bad = first_invalid_utf8(p, n);
    if (bad < n) {
        // The error carries everything from the failing byte on.
        const Cell* rest = push_binary(p + bad, n - bad);
        fire(ERR_ACCESS, "invalid-utf8", rest);
    }
    Cell* str = push_new(n);
    unicode::load_utf8(p, n, str->w2, nullptr, false);
    return str;
}

}  // namespace zel::string
