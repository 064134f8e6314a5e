// Encoding code points and whole text values as UTF-8 and UTF-16LE.
#include <cstring>
#include "runtime/errors.h"
#include "runtime/unicode.h"
#include "runtime/utf8.h"

namespace zel::unicode {

namespace {

[[noreturn]] void fire_invalid_char(uint32_t cp) {
    Cell c;
    set_integer(&c, static_cast<int32_t>(cp));
    fire(ERR_SCRIPT, "invalid-char", &c);
}

// The code points of a text value from its head, at most `part` of them
// (all when part is negative). The pointers are valid until the next
// allocation.
struct Run {
    const uint8_t* p;
    const uint8_t* end;
    uint32_t unit;
};

Run text_run(const Cell* text, int64_t part) {
    SeriesBuffer* buf = series::buffer_of(text);
    uint32_t unit = text_unit(buf);
    uint64_t length = (buf->tail - buf->head) / unit;
    uint64_t head = static_cast<int32_t>(text->w1) < 0 ? 0 : text->w1;
    if (head > length) head = length;
    uint64_t n = length - head;
    if (part >= 0 && static_cast<uint64_t>(part) < n) n = static_cast<uint64_t>(part);
    const uint8_t* p = buf->head_ptr() + head * unit;
    return {p, p + n * unit, unit};
}

// A converted length must fit the signed 32-bit length it is reported in.
void check_reportable(uint64_t size) {
    if (size > INT32_MAX) fire(ERR_INTERNAL, "no-memory");
}

}  // namespace

int utf8_size(uint32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    if (cp < 0x10000) return 3;
    if (cp <= MAX_CODE_POINT) return 4;
    fire_invalid_char(cp);
}

int encode_utf8(uint32_t cp, uint8_t* dst) {
    if (cp > MAX_CODE_POINT) fire_invalid_char(cp);
    return utf8::encode(cp, dst);
}

int encode_utf8_bounded(uint32_t cp, uint8_t* dst, int room) {
    uint8_t bytes[4];
    int n = encode_utf8(cp, bytes);
    if (room < 0) room = 0;
    if (n > room) n = room;
    std::memcpy(dst, bytes, static_cast<size_t>(n));
    return n;
}

int encode_utf16(uint32_t cp, uint8_t* dst) {
    if (cp < 0x10000) {
        put_char(dst, 2, cp);
        return 1;
    }
    if (cp > MAX_CODE_POINT) return 0;
    cp -= 0x10000;
    put_char(dst, 2, 0xD800 | (cp >> 10));
    put_char(dst + 2, 2, 0xDC00 | (cp & 0x3FF));
    return 2;
}

uint64_t utf8_size_range(const uint8_t* p, const uint8_t* end, uint32_t unit) {
    uint64_t n = 0;
    for (; p < end; p += unit) n += static_cast<uint64_t>(utf8_size(get_char(p, unit)));
    return n;
}

uint64_t utf16_extra_size(const uint8_t* p, const uint8_t* end, uint32_t unit) {
    uint64_t n = 0;
    for (; p < end; p += unit) {
        uint32_t cp = get_char(p, unit);
        if (cp == '\n' || cp >= 0x10000) n += 2;
    }
    return n;
}

uint32_t encode_string_utf8(const Cell* text, uint8_t* dst, int32_t part, bool zero) {
    Run r = text_run(text, part);
    uint8_t* o = dst;
    for (const uint8_t* p = r.p; p < r.end; p += r.unit) o += encode_utf8(get_char(p, r.unit), o);
    if (zero) *o = 0;
    return static_cast<uint32_t>(o - dst);
}

uint32_t encode_string_utf8_bounded(const Cell* text, uint8_t* dst, uint32_t room, int32_t part, bool zero) {
    Run r = text_run(text, part < 1 ? -1 : part);
    uint32_t written = 0;
    for (const uint8_t* p = r.p; p < r.end && written < room; p += r.unit)
        written += static_cast<uint32_t>(encode_utf8_bounded(get_char(p, r.unit), dst + written, static_cast<int>(room - written)));
    if (zero) dst[written] = 0;
    return written;
}

uint8_t* cache_buffer(Cell* text, uint64_t size) {
    if (text->w3 == 0) {
        text->w3 = series::alloc_bytes(size);
        return series::buffer_of(text->w3)->data();
    }
    SeriesBuffer* buf = series::buffer_of(text->w3);
    if (buf->size < size) buf = series::expand(buf, size);
    buf->head = buf->tail = 0;
    return buf->data();
}

// Records the converted length in the conversion buffer so that users of
// the node see the bytes as its content.
static void set_converted(Cell* text, uint64_t bytes) {
    SeriesBuffer* buf = series::buffer_of(text->w3);
    buf->head = 0;
    buf->tail = static_cast<uint32_t>(bytes);
}

Node to_utf8_buffer(Cell* text, int32_t* length, bool crlf) {
    Run r = text_run(text, *length);
    uint64_t n = (r.end - r.p) / r.unit;
    uint64_t size = (r.unit < 4 ? r.unit + 1 : 4) * (n + 1);
    check_reportable(size);
    uint8_t* o = cache_buffer(text, size);
    uint8_t* start = o;
    r = text_run(text, static_cast<int64_t>(n));  // the cache may have been allocated
    for (const uint8_t* p = r.p; p < r.end; p += r.unit) {
        uint32_t cp = get_char(p, r.unit);
        if (cp == '\n' && crlf) *o++ = '\r';
        o += encode_utf8(cp, o);
    }
    *o = 0;
    set_converted(text, static_cast<uint64_t>(o - start));
    *length = static_cast<int32_t>(o - start);
    return text->w3;
}

const uint8_t* to_utf8_crlf(Cell* text, int32_t* length, bool crlf) {
    Node node = to_utf8_buffer(text, length, crlf);
    return series::buffer_of(node)->data();
}

const uint8_t* to_utf8(Cell* text, int32_t* length) { return to_utf8_crlf(text, length, false); }

const uint8_t* to_utf16_part(Cell* text, int32_t* length, bool crlf) {
    Run r = text_run(text, *length);
    uint64_t n = (r.end - r.p) / r.unit;
    uint64_t size = 2 * n + 2 + utf16_extra_size(r.p, r.end, r.unit);
    check_reportable(size);
    uint8_t* o = cache_buffer(text, size);
    uint8_t* start = o;
    r = text_run(text, static_cast<int64_t>(n));
    for (const uint8_t* p = r.p; p < r.end; p += r.unit) {
        uint32_t cp = get_char(p, r.unit);
        if (cp > MAX_CODE_POINT) return nullptr;
        if (cp == '\n' && crlf) {
            put_char(o, 2, '\r');
            o += 2;
        }
        o += 2 * encode_utf16(cp, o);
    }
    put_char(o, 2, 0);
    set_converted(text, static_cast<uint64_t>(o - start));
    *length = static_cast<int32_t>((o - start) / 2);
    return start;
}

const uint8_t* to_utf16(Cell* text) {
    int32_t length = -1;
    return to_utf16_part(text, &length, true);
}

uint8_t* latin1_to_utf16(const char* s, uint8_t* dst) {
    uint8_t* o = dst;
    for (; *s; ++s, o += 2) put_char(o, 2, static_cast<uint8_t>(*s));
    put_char(o, 2, 0);
    return dst;
}

}  // namespace zel::unicode
