// MurmurHash3 (x86, 32-bit) and the per-type hash of values.
#include "runtime/hash.h"
#include <cstring>
#include "runtime/case_folding.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/errors.h"
#include "runtime/memory.h"

namespace zel::hash {

uint32_t seed = 0;

void init_seed() { seed = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&seed)); }

namespace {

constexpr uint32_t C1 = 0xCC9E2D51u;
constexpr uint32_t C2 = 0x1B873593u;

inline uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

inline uint32_t mix_block(uint32_t h, uint32_t k) {
    k *= C1;
    k = rotl(k, 15);
    k *= C2;
    h ^= k;
    h = rotl(h, 13);
    return h * 5 + 0xE6546B64u;
}

inline uint32_t mix_tail(uint32_t h, uint32_t k) {
    k *= C1;
    k = rotl(k, 15);
    k *= C2;
    return h ^ k;
}

inline uint32_t finish(uint32_t h, uint32_t len) { return hashtable::hash_int(h ^ len); }

inline uint8_t lower_ascii(uint8_t b) { return (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b; }

// The one body of both byte hashes; `Map` transforms each byte.
template <typename Map>
inline uint32_t murmur3_bytes(const uint8_t* p, size_t len, uint32_t h, Map map) {
    size_t blocks = len / 4;
    for (size_t i = 0; i < blocks; ++i, p += 4) {
        uint32_t k = uint32_t{map(p[0])} | uint32_t{map(p[1])} << 8 | uint32_t{map(p[2])} << 16 |
                     uint32_t{map(p[3])} << 24;
        h = mix_block(h, k);
    }
    uint32_t k = 0;
    switch (len & 3) {
        case 3: k ^= uint32_t{map(p[2])} << 16; [[fallthrough]];
        case 2: k ^= uint32_t{map(p[1])} << 8; [[fallthrough]];
        case 1:
            k ^= map(p[0]);
            h = mix_tail(h, k);
            break;
        default: break;
    }
    return finish(h, static_cast<uint32_t>(len));
}

}  // namespace

uint32_t murmur3_seeded(const void* data, size_t len, uint32_t s) {
    return murmur3_bytes(static_cast<const uint8_t*>(data), len, s, [](uint8_t b) { return b; });
}

uint32_t murmur3_ascii_lower(const uint8_t* data, size_t len) { return murmur3_bytes(data, len, seed, lower_ascii); }

// Code points as 32-bit blocks; the length term counts 4 bytes per code point.
template <bool Fold>
static uint32_t murmur3_code_points(const uint8_t* p, uint32_t n, uint32_t unit) {
    uint32_t h = seed;
    for (uint32_t i = 0; i < n; ++i, p += unit) {
        uint32_t cp;
        switch (unit) {
            case 1: cp = p[0]; break;
            case 2: cp = uint32_t{p[0]} | uint32_t{p[1]} << 8; break;
            default: std::memcpy(&cp, p, 4); break;
        }
        if constexpr (Fold) cp = casefold::change_char(cp, true);
        h = mix_block(h, cp);
    }
    return finish(h, n * 4);
}

uint32_t murmur3_text(const uint8_t* p, uint32_t n, uint32_t unit, bool case_sensitive) {
    if (unit != 1 && unit != 2 && unit != 4) sys::runtime_error(101, ZEL_HERE());
    return case_sensitive ? murmur3_code_points<false>(p, n, unit) : murmur3_code_points<true>(p, n, unit);
}

}  // namespace zel::hash

namespace zel::hashtable {

uint32_t hash_string(const Cell* text, bool case_sensitive) {
    SeriesBuffer* buf = series::buffer_of(text);
    uint32_t unit = buf->unit();
    uint32_t length = unit ? buf->length() : 0;
    uint32_t head = text->w1 > length ? length : text->w1;
    const uint8_t* p = buf->head_ptr() + uint64_t{head} * unit;
    return hash::murmur3_text(p, length - head, unit, case_sensitive);
}

uint32_t hash_symbol(const Cell* symbol) {
    SeriesBuffer* name = series::buffer_of(symbol->w3);
    return hash::murmur3_ascii_lower(name->head_ptr(), name->tail - name->head);
}

namespace {

uint32_t murmur_words(const Cell* c, int first, size_t bytes) {
    const uint32_t* words = &c->header;
    return hash::murmur3(words + first, bytes);
}

}  // namespace

uint32_t hash_value(const Cell* value, bool case_sensitive) {
    uint32_t t = cell::type(value);
    if (t >= TYPE_WORD && t <= TYPE_ISSUE) return hash_int(symbol::resolve(value->w2));
    if (any_string(t)) return hash_string(value, case_sensitive);
    // Series of cells hash on head index and node: identity and position.
    if (any_block(t) || t == TYPE_IMAGE) return murmur_words(value, 1, 8);
    switch (t) {
        case TYPE_INTEGER:
        case TYPE_CHAR: return hash_int(value->w2);
        case TYPE_SYMBOL: return hash_symbol(value);
        case TYPE_FLOAT:
        case TYPE_PAIR:
        case TYPE_PERCENT:
        case TYPE_TIME: return murmur_words(value, 2, 8);
        case TYPE_POINT2D: return murmur_words(value, 1, 8);
        case TYPE_POINT3D:
        case TYPE_OP:
        case TYPE_FUNCTION:
        case TYPE_TRIPLE:
        case TYPE_TYPESET:
        case TYPE_DATE: return murmur_words(value, 1, 12);
        case TYPE_TUPLE: {
            uint32_t n = (value->header >> 19) & 0xF;
            return murmur_words(value, 1, n > 12 ? 12 : n);
        }
        case TYPE_BINARY: {
            SeriesBuffer* buf = series::buffer_of(value);
            uint32_t length = buf->tail - buf->head;
            uint32_t head = value->w1 > length ? length : value->w1;
            return hash::murmur3(buf->head_ptr() + head, length - head);
        }
        case TYPE_MONEY: {
            // The flag bits of the header do not take part, the sign does.
            constexpr uint32_t MONEY_SIGN = 1u << 14;
            Cell copy = *value;
            copy.header = TYPE_MONEY | (value->header & MONEY_SIGN);
            return hash::murmur3(&copy, sizeof copy);
        }
        case TYPE_OBJECT:
        case TYPE_ERROR:
        case TYPE_PORT:
        case TYPE_LOGIC:
        case TYPE_DATATYPE: return hash_int(value->w1);
        case TYPE_NATIVE:
        case TYPE_ACTION: return hash_int(value->w3);
        case TYPE_MAP:
        case TYPE_HANDLE:
        case TYPE_EVENT: return hash_int(value->w2);
        case TYPE_NONE: return 0xFFFFFFFFu;
        case TYPE_UNSET: return 0xFFFFFFFEu;
        default: return 0;
    }
}

bool node_keyed(uint32_t type) {
    if (any_block(type)) return true;
    switch (type) {
        case TYPE_NATIVE:
        case TYPE_ACTION:
        case TYPE_OP:
        case TYPE_FUNCTION:
        case TYPE_OBJECT:
        case TYPE_ERROR:
        case TYPE_MAP:
        case TYPE_PORT:
        case TYPE_IMAGE:
        case TYPE_EVENT: return true;
        default: return false;
    }
}

}  // namespace zel::hashtable
