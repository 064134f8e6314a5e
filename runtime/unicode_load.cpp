// Loading encoded text into text series: UTF-8 (validated, widening the
// unit as wider code points arrive) and UTF-16LE.
#include <bit>
#include <cstring>
#include "runtime/errors.h"
#include "runtime/unicode.h"
#include "runtime/utf8_dfa.h"

namespace zel::unicode {

// The eight-byte scan below finds the first byte in memory by the lowest bit.
static_assert(std::endian::native == std::endian::little);

namespace {

// Room for `cps` more code points of the buffer's unit after its tail.
SeriesBuffer* ensure_room(SeriesBuffer* buf, uint64_t cps) {
    uint64_t used = buf->tail - buf->head;
    uint64_t need = used + cps * buf->unit();
    if (uint64_t{buf->head} + need > buf->size) buf = series::expand_copy(buf, need);
    return buf;
}

// A mask with the top bit set in each of eight bytes that needs more than a
// plain copy: a byte of 80h or more, or (when CRs are folded) a CR. The
// lowest set bit is exact, which is all the callers use.
inline uint64_t special8(const uint8_t* p, bool crlf) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    uint64_t mask = w & 0x8080808080808080ull;
    if (crlf) {
        uint64_t v = w ^ 0x0D0D0D0D0D0D0D0Dull;  // a zero byte where a CR was
        mask |= (v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull;
    }
    return mask;
}

enum Status { DONE, WIDEN, CUT, BAD };

struct Input {
    const uint8_t* p;
    const uint8_t* end;
    bool crlf;
    uint32_t pending;  // a decoded code point too wide for the unit (WIDEN)
};

// Decodes into a buffer of unit U at `out` (which has room for every code
// point left) until the input ends, a code point needs a wider unit, or the
// input is cut off or broken; in the last two cases in.p stays at the
// sequence's first byte.
template <uint32_t U>
Status decode_run(Input& in, uint8_t*& out) {
    constexpr uint32_t MAX = U == 1 ? 0xFFu : U == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const uint8_t* p = in.p;
    const uint8_t* end = in.end;
    uint8_t* o = out;
    Status status = DONE;
    while (p < end) {
        if (end - p >= 8) {
            // Copy the plain bytes before the first special one in one go.
            uint64_t mask = special8(p, in.crlf);
            if (mask == 0) {
                for (int i = 0; i < 8; ++i) put_char(o + i * U, U, p[i]);
                p += 8;
                o += 8 * U;
                continue;
            }
            int plain = std::countr_zero(mask) / 8;
            for (int i = 0; i < plain; ++i) put_char(o + i * U, U, p[i]);
            p += plain;
            o += plain * U;
        }
        uint32_t cp = *p;
        if (cp < 0x80) {
            ++p;
            if (cp == '\r' && in.crlf) {
                if (p < end && *p == '\n') continue;  // the LF is stored next
                cp = '\n';
            }
        } else {
            const uint8_t* next;
            dfa::Outcome outcome = dfa::decode_sequence(p, end, &cp, &next);
            if (outcome != dfa::DECODED) {
                status = outcome == dfa::CUT_OFF ? CUT : BAD;
                break;
            }
            p = next;
            if (cp > MAX) {
                in.pending = cp;
                status = WIDEN;
                break;
            }
        }
        put_char(o, U, cp);
        o += U;
    }
    in.p = p;
    out = o;
    return status;
}

Status decode_unit(uint32_t unit, Input& in, uint8_t*& out) {
    switch (unit) {
        case 1: return decode_run<1>(in, out);
        case 2: return decode_run<2>(in, out);
        default: return decode_run<4>(in, out);
    }
}

}  // namespace

Node load_utf8(const uint8_t* bytes, uint32_t count, Node target, uint32_t* bytes_left, bool crlf) {
    if (bytes_left) *bytes_left = 0;
    Node node = target ? target : series::alloc_text(count ? count : 1, 1);
    SeriesBuffer* buf = series::buffer_of(node);
    uint32_t unit = text_unit(buf);
    // Every code point takes at least one byte, so `count` code points of
    // the current unit always suffice until the unit widens.
    buf = ensure_room(buf, count);
    Input in{bytes, bytes + count, crlf, 0};
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) in.p += 3;
    uint8_t* out = buf->tail_ptr();
    for (;;) {
        Status status = decode_unit(unit, in, out);
        buf->tail = static_cast<uint32_t>(out - buf->data());
        if (status == DONE) break;
        if (status == WIDEN) {
            unit = in.pending <= 0xFFFF ? 2 : 4;
            buf = widen(buf, unit);
            buf = ensure_room(buf, uint64_t(in.end - in.p) + 1);
            out = buf->tail_ptr();
            put_char(out, unit, in.pending);
            out += unit;
            continue;
        }
        uint64_t rest = static_cast<uint64_t>(in.end - in.p);
        if (status == CUT && bytes_left) {
            *bytes_left = static_cast<uint32_t>(rest);
            break;
        }
        fire_invalid_utf8(in.p, static_cast<uint32_t>(rest < 4 ? rest : 4));
    }
    return node;
}

Node load_utf8_simple(const uint8_t* bytes, uint32_t count) { return load_utf8(bytes, count, 0, nullptr, false); }

// The data of a text cell's conversion buffer and how many bytes it holds
// (none when the cell has no such buffer yet).
static const uint8_t* conversion_bytes(const Cell* text, uint64_t* size) {
    if (!text || text->w3 == 0) {
        *size = 0;
        return nullptr;
    }
    SeriesBuffer* buf = series::buffer_of(text->w3);
    *size = buf->size;
    return buf->data();
}

Node load_utf8_binary(const uint8_t* bytes, uint32_t count, Cell* text, uint32_t* bytes_left) {
    if (!bytes) {
        uint64_t size;
        bytes = conversion_bytes(text, &size);
        if (count > size) count = static_cast<uint32_t>(size);
    }
    return load_utf8(bytes, count, text->w2, bytes_left, false);
}

uint32_t utf16_unit(const uint8_t* p, uint32_t units) {
    uint32_t unit = 1;
    for (uint32_t i = 0; i < units; ++i) {
        uint8_t high = p[2 * i + 1];
        if (high >= 0xD8 && high <= 0xDF) return 4;
        if (high) unit = 2;
    }
    return unit;
}

Node load_utf16le(const uint8_t* src, uint32_t units, Cell* target, bool drop_cr) {
    if (!src) {
        uint64_t size;
        src = conversion_bytes(target, &size);
        if (units > size / 2) units = static_cast<uint32_t>(size / 2);
    }
    uint32_t unit = utf16_unit(src, units);
    uint64_t bytes = uint64_t{units} * unit;
    Node node;
    SeriesBuffer* buf;
    if (target) {
        node = target->w2;
        buf = series::buffer_of(node);
        if (uint64_t{buf->head} + bytes > buf->size) buf = series::expand(buf, bytes ? bytes : unit);
    } else {
        node = series::alloc_text(units ? units : 1, unit);
        buf = series::buffer_of(node);
    }
    buf->flags = (buf->flags & ~SERIES_UNIT_MASK) | unit | SERIES_FROM_UTF16;
    uint8_t* o = buf->head_ptr();
    for (uint32_t i = 0; i < units; ++i) {
        uint32_t u = uint32_t{src[2 * i]} | uint32_t{src[2 * i + 1]} << 8;
        if (drop_cr && u == '\r') continue;
        if (u >= 0xD800 && u <= 0xDFFF) {
            uint32_t low = i + 1 < units ? uint32_t{src[2 * i + 2]} | uint32_t{src[2 * i + 3]} << 8 : 0;
            if (u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                u = (((u & 0x3FF) << 10) | (low & 0x3FF)) + 0x10000;
                ++i;
            } else {
                u = REPLACEMENT_CHAR;
            }
        }
        put_char(o, unit, u);
        o += unit;
    }
    buf->tail = static_cast<uint32_t>(o - buf->data());
    return node;
}

}  // namespace zel::unicode
