// Binary tokens: #{...} in base 16 (the default), 2#{...} and 64#{...}.
// Blanks are skipped and ; starts a comment up to the end of the line.
#include "runtime/datatypes/binary.h"
#include "runtime/memory.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

constexpr int32_t BAD = -1;

bool is_blank(uint8_t b) { return b == ' ' || b == '\t' || b == '\n' || b == '\r'; }

// The next byte that carries data: blanks and ; comments (to the end of
// the line) are skipped, in base 64 also FF, BS and '.
const uint8_t* next_data(const uint8_t* p, const uint8_t* end, bool base64) {
    while (p < end) {
        uint8_t b = *p;
        if (b == ';') {
            while (p < end && *p != '\n') ++p;
        } else if (is_blank(b) || (base64 && (b == '\f' || b == '\b' || b == '\''))) {
            ++p;
        } else {
            break;
        }
    }
    return p;
}

int8_t base64_value(uint8_t b) {
    if (b >= 'A' && b <= 'Z') return static_cast<int8_t>(b - 'A');
    if (b >= 'a' && b <= 'z') return static_cast<int8_t>(b - 'a' + 26);
    if (b >= '0' && b <= '9') return static_cast<int8_t>(b - '0' + 52);
    if (b == '+') return 62;
    if (b == '/') return 63;
    return -1;
}

// Each decoder writes to `out` (which has room) and returns the byte
// count, or BAD.

// Base 16 (4 bits a digit) and base 2 (1 bit): whole bytes only.
int32_t decode_bits(const uint8_t* p, const uint8_t* end, uint8_t* out, uint32_t bits) {
    int32_t n = 0;
    uint32_t filled = 0, acc = 0;
    for (p = next_data(p, end, false); p < end; p = next_data(p + 1, end, false)) {
        uint32_t v = bits == 4 ? HEX_VALUES[*p] : *p == '0' || *p == '1' ? *p - '0' : 0xFFu;
        if (v == 0xFF) return BAD;
        acc = acc << bits | v;
        filled += bits;
        if (filled == 8) {
            out[n++] = static_cast<uint8_t>(acc);
            filled = acc = 0;
        }
    }
    return filled ? BAD : n;
}

int32_t decode64(const uint8_t* p, const uint8_t* end, uint8_t* out) {
    int32_t n = 0;
    uint32_t count = 0, acc = 0;
    for (p = next_data(p, end, true); p < end; p = next_data(p + 1, end, true)) {
        if (*p == '=') {
            // The padding ends the data: two characters give one byte, three give two.
            if (count == 2) {
                out[n++] = static_cast<uint8_t>(acc >> 4);
            } else if (count == 3) {
                out[n++] = static_cast<uint8_t>(acc >> 10);
                out[n++] = static_cast<uint8_t>(acc >> 2);
            } else {
                return BAD;
            }
            return n;
        }
        int8_t v = base64_value(*p);
        if (v < 0) return BAD;
        acc = acc << 6 | static_cast<uint32_t>(v);
        if (++count == 4) {
            out[n++] = static_cast<uint8_t>(acc >> 16);
            out[n++] = static_cast<uint8_t>(acc >> 8);
            out[n++] = static_cast<uint8_t>(acc);
            count = acc = 0;
        }
    }
    return count ? BAD : n;
}

}  // namespace

void load_binary(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* p = start;
    int64_t base = 16;
    if (*p != '#') {
        const uint8_t* sharp = p;
        while (*sharp != '#') ++sharp;
        if (!read_digits(p, sharp, 64, &base) || (base != 2 && base != 16 && base != 64))
            fail(s, start, end + 1, TYPE_BINARY);
        p = sharp;
    }
    const uint8_t* text = p + 2;  // past #{
    uint64_t length = static_cast<uint64_t>(end - text);
    uint64_t room = base == 16 ? length / 2 + 1 : base == 64 ? length * 3 / 4 + 3 : length / 8 + 1;
    Cell bin;
    binary::load_in(&bin, static_cast<uint32_t>(room));
    SeriesBuffer* buf = series::buffer_of(&bin);
    uint8_t* out = buf->data() + buf->head;
    int32_t n = base == 64 ? decode64(text, end, out) : decode_bits(text, end, out, base == 16 ? 4 : 1);
    if (n == BAD) fail(s, start, end + 1, TYPE_BINARY);
    if (!load) return;
    buf->tail = buf->head + static_cast<uint32_t>(n);
    *push_cell(s) = bin;
}

}  // namespace zel::lexer
