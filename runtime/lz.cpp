// The LZ compressor (hash heads for 3- and 4-byte prefixes, one chain of
// earlier positions, a cost rule for far matches) and its decompressor,
// which trusts nothing in the image it reads.
#include "runtime/lz.h"
#include <algorithm>
#include <cstring>
#include <memory>
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace zel::compress {

namespace {

struct HeapFree {
    void operator()(void* p) const { sys::free(p); }
};
template <typename T>
using HeapArray = std::unique_ptr<T[], HeapFree>;

template <typename T>
HeapArray<T> heap_array(size_t count) {
    return HeapArray<T>(static_cast<T*>(sys::alloc(count * sizeof(T))));
}

uint32_t load32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

[[noreturn]] void invalid() { fire(ERR_SCRIPT, "invalid-data"); }

// Length classes of m = L - 3: class c (0-4) is c zero bits and a one bit,
// class 5 is five zero bits; then m - base in `extra` bits.
struct LengthClass {
    uint32_t base, extra;
};
constexpr LengthClass LENGTH_CLASSES[6] = {{0, 2}, {4, 2}, {8, 2}, {12, 3}, {20, 5}, {52, 9}};

void put_length(Stream& s, uint32_t m) {
    int c = 5;
    while (c > 0 && m < LENGTH_CLASSES[c].base) --c;
    if (c < 5)
        put_bits(s, c + 1, 1u << c);
    else
        put_bits(s, 5, 0);
    put_bits(s, LENGTH_CLASSES[c].extra, m - LENGTH_CLASSES[c].base);
}

uint32_t get_length(Stream& s) {
    int c = 0;
    while (c < 5 && get_bits(s, 1) == 0) ++c;
    return LENGTH_CLASSES[c].base + get_bits(s, LENGTH_CLASSES[c].extra);
}

// e = distance - 1; k is the smallest number from 2 up with e < 2^(k+1).
void put_distance(Stream& s, uint32_t e) {
    uint32_t k = 2;
    while (e >= (1u << (k + 1))) ++k;
    put_bits(s, 4, k - 2);
    if (k == 2)
        put_bits(s, 3, e);
    else
        put_bits(s, k, e - (1u << k));
}

uint32_t get_distance(Stream& s) {
    uint32_t k = get_bits(s, 4) + 2;
    return k == 2 ? get_bits(s, 3) : (1u << k) + get_bits(s, k);
}

// Matching bytes of a and b, at most `limit`.
uint32_t match_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t l = 0;
    for (; l + 8 <= limit; l += 8) {  // eight bytes at a time; the first difference ends it
        uint64_t x, y;
        std::memcpy(&x, a + l, 8);
        std::memcpy(&y, b + l, 8);
        if (x != y) return l + static_cast<uint32_t>(__builtin_ctzll(x ^ y) / 8);
    }
    while (l < limit && a[l] == b[l]) ++l;
    return l;
}

// The compressor's work areas, fixed in size whatever the input.
struct Tables {
    HeapArray<int32_t> heads = heap_array<int32_t>(HEAD3_COUNT + HEAD4_COUNT);
    HeapArray<int32_t> chain = heap_array<int32_t>(WINDOW);
    HeapArray<uint8_t> block = heap_array<uint8_t>(BLOCK_SIZE + MAX_MATCH);
    int32_t* head3() { return heads.get(); }
    int32_t* head4() { return heads.get() + HEAD3_COUNT; }
};

// Compresses one block already copied into t.block; returns false on overflow.
bool compress_block(Tables& t, uint32_t len, Stream& s) {
    const uint8_t* block = t.block.get();
    int32_t* head3 = t.head3();
    int32_t* head4 = t.head4();
    int32_t* chain = t.chain.get();
    std::memset(t.heads.get(), 0xFF, (HEAD3_COUNT + HEAD4_COUNT) * sizeof(int32_t));
    uint32_t h3 = 0, h4 = 0;
    for (int i = 0; i < 3; ++i) h3 = hash3(h3, block[i]);
    for (int i = 0; i < 4; ++i) h4 = hash4(h4, block[i]);
    s.bits = s.count = 0;

    for (uint32_t p = 0; p < len;) {
        uint32_t best = 2, best_dist = WINDOW;
        uint32_t limit = std::min(MAX_MATCH, len - p);
        int64_t window = static_cast<int64_t>(p) - WINDOW;
        int32_t c = head3[h3];
        if (c >= 0 && c >= window && block[c] == block[p]) {
            uint32_t l = match_length(block + c, block + p, limit);
            if (l > 2) {
                best = l;
                best_dist = p - c;
            }
        }
        // Past `limit` no candidate can do better, so the chain is skipped.
        if (best < limit) {
            int32_t cand = head4[h4];
            for (uint32_t tries = 0; tries < MAX_CANDIDATES && cand >= 0 && cand >= window;
                 ++tries, cand = chain[cand & CHAIN_MASK]) {
                if (block[cand + best] != block[p + best] || block[cand] != block[p]) continue;
                uint32_t l = match_length(block + cand, block + p, limit);
                if (l > best + extra_cost((p - cand) / 16, best_dist)) {
                    best = l;
                    best_dist = p - cand;
                }
                if (l >= limit) break;
            }
        }
        if (best == MIN_MATCH && best_dist > FAR_MATCH3) best = 2;
        uint32_t advance = 1;
        if (best < MIN_MATCH) {
            put_bits(s, 9, uint32_t{block[p]} << 1);
        } else {
            put_bits(s, 1, 1);
            put_length(s, best - MIN_MATCH);
            put_distance(s, best_dist - 1);
            advance = best;
        }
        if (s.overflow) return false;
        for (uint32_t q = p + advance; p < q; ++p) {
            head3[h3] = static_cast<int32_t>(p);
            chain[p & CHAIN_MASK] = head4[h4];
            head4[h4] = static_cast<int32_t>(p);
            h3 = hash3(h3, block[p + 3]);  // the slack after the block reads as zeros
            h4 = hash4(h4, block[p + 4]);
        }
        // The heads are too big for the cache: ask for the next ones early.
        __builtin_prefetch(&head3[h3]);
        __builtin_prefetch(&head4[h4]);
    }
    put_bits(s, 7, 0);  // pushes out the last partial byte
    return !s.overflow;
}

}  // namespace

void stream_init(Stream& s, uint8_t* out, uint64_t capacity, const uint8_t* in, const uint8_t* in_end) {
    s = Stream{0, 0, in, in_end, out, capacity, 0, false};
}

bool reserve(Stream& s, uint64_t n) {
    if (n > s.capacity - s.pos) s.overflow = true;
    return !s.overflow;
}

void put_bits(Stream& s, uint32_t n, uint32_t value) {
    s.bits |= value << s.count;
    s.count += n;
    for (; s.count >= 8; s.count -= 8, s.bits >>= 8) {
        if (reserve(s, 1)) s.out[s.pos++] = static_cast<uint8_t>(s.bits);
    }
}

uint32_t get_bits(Stream& s, uint32_t n) {
    while (s.count < n) {
        if (s.in >= s.in_end) invalid();
        s.bits |= uint32_t{*s.in++} << s.count;
        s.count += 8;
    }
    uint32_t v = s.bits & ((1u << n) - 1);
    s.bits >>= n;
    s.count -= n;
    return v;
}

uint32_t extra_cost(uint32_t far, uint32_t best) {
    uint32_t cost = 0;
    for (; far > best; far /= 8) ++cost;
    return cost;
}

int64_t compress(const uint8_t* src, uint64_t n, uint8_t* dest) {
    if (n < MIN_INPUT || n > UINT32_MAX) return -1;
    Tables t;
    Stream s;
    stream_init(s, dest + HEADER_SIZE, n - HEADER_SIZE, nullptr, nullptr);
    for (uint64_t start = 0; start < n; start += BLOCK_SIZE) {
        uint32_t len = static_cast<uint32_t>(std::min<uint64_t>(BLOCK_SIZE, n - start));
        std::memcpy(t.block.get(), src + start, len);
        std::memset(t.block.get() + len, 0, MAX_MATCH);
        if (!reserve(s, 4)) return -1;
        store32(s.out + s.pos, len);
        s.pos += 4;
        if (!compress_block(t, len, s)) return -1;
    }
    store32(dest, static_cast<uint32_t>(s.pos));
    store32(dest + 4, static_cast<uint32_t>(n));
    return static_cast<int64_t>(s.pos + HEADER_SIZE);
}

uint8_t* decompress(const uint8_t* image, uint64_t length, uint32_t* size) {
    if (!image || length < HEADER_SIZE) invalid();
    uint32_t packed = load32(image), unpacked = load32(image + 4);
    if (packed > length - HEADER_SIZE) invalid();
    // The densest code is a 566-byte match in 22 bits; a header promising
    // more output than that from its input is refused before any allocation.
    if (uint64_t{unpacked} * 22 > uint64_t{packed} * 8 * MAX_MATCH) invalid();
    HeapArray<uint8_t> out = heap_array<uint8_t>(uint64_t{unpacked} + HEADER_SIZE);
    std::memset(out.get() + unpacked, 0, HEADER_SIZE);

    Stream s;
    stream_init(s, nullptr, 0, image + HEADER_SIZE, image + HEADER_SIZE + packed);
    uint32_t produced = 0;
    while (s.in < s.in_end) {
        if (s.in_end - s.in < 4) invalid();
        uint32_t block_size = load32(s.in);
        s.in += 4;
        if (block_size == 0 || block_size > BLOCK_SIZE || block_size > unpacked - produced) invalid();
        s.bits = s.count = 0;
        uint8_t* block = out.get() + produced;
        for (uint32_t p = 0; p < block_size;) {
            if (get_bits(s, 1) == 0) {
                block[p++] = static_cast<uint8_t>(get_bits(s, 8));
                continue;
            }
            uint32_t len = get_length(s) + MIN_MATCH;
            uint32_t dist = get_distance(s) + 1;
            if (dist > p || len > block_size - p) invalid();
            // Byte by byte: an overlapping source repeats the pattern.
            for (uint32_t i = 0; i < len; ++i, ++p) block[p] = block[p - dist];
        }
        produced += block_size;
    }
    if (produced != unpacked) invalid();
    *size = unpacked;
    return out.release();
}

void free_buffer(uint8_t* block) { sys::free(block); }

}  // namespace zel::compress
