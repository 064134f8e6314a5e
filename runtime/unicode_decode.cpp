// UTF-8 decoding of single characters and runs: the bounded fast decoder,
// the validating decoder, counting and skipping.
#include <cstring>
#include <vector>
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"
#include "runtime/utf8_dfa.h"

namespace zel::unicode {

// The fast decoder's path for anything but an ASCII byte.
const uint8_t* decode_utf8_sequence(const uint8_t* p, const uint8_t* end, uint32_t* cp) {
    if (p >= end) {
        *cp = UTF8_INVALID;
        return end;
    }
    const uint8_t* next;
    if (dfa::decode_sequence(p, end, cp, &next) != dfa::DECODED) *cp = UTF8_INVALID;
    return next;
}

void fire_invalid_utf8(const uint8_t* p, uint32_t n) {
    // Copy first: the bytes may lie in a series, and the rule is that an
    // allocation may move it.
    std::vector<uint8_t> bytes(p, p + n);
    Node node = series::alloc_bytes(n);
    SeriesBuffer* buf = series::buffer_of(node);
    if (n) std::memcpy(buf->head_ptr(), bytes.data(), n);
    buf->tail = buf->head + n;
    Cell bin;
    set_series(&bin, TYPE_BINARY, node);
    const Cell* arg = stack::push(&bin);
    fire(ERR_ACCESS, "invalid-utf8", arg);
}

int32_t load_utf8_char(const uint8_t* p, uint32_t* count) {
    if (*count == 0) return -1;
    if (*p < 0x80) {
        *count = 1;
        return *p;
    }
    const uint8_t* end = p + *count;
    const uint8_t* next;
    uint32_t cp = 0;
    switch (dfa::decode_sequence(p, end, &cp, &next)) {
        case dfa::DECODED:
            *count = static_cast<uint32_t>(next - p);
            return static_cast<int32_t>(cp);
        case dfa::CUT_OFF:
            return -1;
        default:
            fire_invalid_utf8(p, static_cast<uint32_t>(end - p < 4 ? end - p : 4));
    }
}

int utf8_length(uint8_t lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 0;
}

// Whether none of eight bytes has its top bit set.
static inline bool ascii8(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & 0x8080808080808080ull) == 0;
}

uint32_t count_utf8(const uint8_t* p, const uint8_t* end) {
    uint32_t n = 0;
    uint32_t cp;
    while (p < end) {
        if (end - p >= 8 && ascii8(p)) {
            p += 8;
            n += 8;
            continue;
        }
        p = fast_decode_utf8_char(p, end, &cp);
        ++n;
    }
    return n;
}

const uint8_t* skip_utf8(const uint8_t* p, const uint8_t* end, uint32_t n) {
    uint32_t cp;
    while (n > 0 && p < end) {
        if (n >= 8 && end - p >= 8 && ascii8(p)) {
            p += 8;
            n -= 8;
            continue;
        }
        p = fast_decode_utf8_char(p, end, &cp);
        --n;
    }
    return p;
}

}  // namespace zel::unicode
