// The LZ compressor: images checked bit by bit against hand-built ones,
// round trips of many kinds of input, and malformed images that must be
// refused without a crash or a leak.
#include <random>
#include <string>
#include <vector>
#include "runtime/heap.h"
#include "runtime/lz.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

using Bytes = std::vector<uint8_t>;

// Writes bits least significant first, for building images by hand.
struct BitWriter {
    Bytes out;
    uint32_t count = 0;
    void bit(uint32_t b) {
        if (count % 8 == 0) out.push_back(0);
        out.back() |= static_cast<uint8_t>((b & 1) << (count % 8));
        ++count;
    }
    void field(uint32_t n, uint32_t v) {
        for (uint32_t i = 0; i < n; ++i) bit(v >> i);
    }
    void literal(uint8_t c) {
        bit(0);
        field(8, c);
    }
    // A match, with its length and distance written out by the code tables.
    void match(uint32_t len, uint32_t dist) {
        bit(1);
        uint32_t m = len - 3;
        struct { uint32_t zeros, base, extra; } classes[] = {{0, 0, 2}, {1, 4, 2}, {2, 8, 2}, {3, 12, 3}, {4, 20, 5}, {5, 52, 9}};
        int c = 5;
        while (m < classes[c].base) --c;
        for (uint32_t i = 0; i < classes[c].zeros; ++i) bit(0);
        if (c < 5) bit(1);
        field(classes[c].extra, m - classes[c].base);
        uint32_t e = dist - 1, k = 2;
        while (e >= (1u << (k + 1))) ++k;
        field(4, k - 2);
        field(k == 2 ? 3 : k, k == 2 ? e : e - (1u << k));
    }
};

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// An image of blocks given as (block size, bit stream) pairs.
Bytes image_of(uint32_t unpacked, const std::vector<std::pair<uint32_t, Bytes>>& blocks) {
    Bytes body;
    for (auto& [size, bits] : blocks) {
        put32(body, size);
        body.insert(body.end(), bits.begin(), bits.end());
    }
    Bytes img;
    put32(img, static_cast<uint32_t>(body.size()));
    put32(img, unpacked);
    img.insert(img.end(), body.begin(), body.end());
    return img;
}

class LzTest : public test::RuntimeTest {};

// Decompresses through the runtime, freeing its block.
Bytes unpack(const Bytes& img) {
    uint32_t size = 0;
    uint8_t* out = compress::decompress(img.data(), img.size(), &size);
    Bytes result(out, out + size);
    compress::free_buffer(out);
    return result;
}

// Compresses, or returns an empty vector when the compressor declines.
Bytes pack(const Bytes& in) {
    Bytes dest(in.size() + 1);
    int64_t n = compress::compress(in.data(), in.size(), dest.data());
    if (n < 0) return {};
    dest.resize(static_cast<size_t>(n));
    return dest;
}

TEST_F(LzTest, RepeatedByteIsOneLiteralAndOneMatch) {
    Bytes in(128, 'A');
    // Literal 'A', then a match of 127 at distance 1, worked out by hand.
    Bytes expected = {8, 0, 0, 0, 128, 0, 0, 0, 128, 0, 0, 0, 0x82, 0x02, 0x24, 0x00};
    EXPECT_EQ(pack(in), expected);
    EXPECT_EQ(unpack(expected), in);
    // The same through the test's own bit writer.
    BitWriter w;
    w.literal('A');
    w.match(127, 1);
    EXPECT_EQ(image_of(128, {{128, w.out}}), expected);
}

TEST_F(LzTest, LongestMatchAtDistanceOneRepeatsAByte) {
    Bytes in(567, 'z');
    BitWriter w;
    w.literal('z');
    w.match(566, 1);
    Bytes img = image_of(567, {{567, w.out}});
    EXPECT_EQ(pack(in), img);
    EXPECT_EQ(unpack(img), in);
}

TEST_F(LzTest, DistanceCodesAroundTheirBoundaries) {
    // Distances 1-8 take k = 2 (3 bits), 9 takes k = 3 with e - 8 = 0 in 3 bits.
    for (uint32_t dist : {1u, 8u, 9u, 16u, 17u, 1000u}) {
        Bytes expected;
        BitWriter w;
        for (uint32_t i = 0; i < dist; ++i) {
            uint8_t c = static_cast<uint8_t>('a' + i % 26 + (i / 26) % 3);
            w.literal(c);
            expected.push_back(c);
        }
        w.match(5, dist);
        for (int i = 0; i < 5; ++i) expected.push_back(expected[expected.size() - dist]);
        uint32_t n = static_cast<uint32_t>(expected.size());
        EXPECT_EQ(unpack(image_of(n, {{n, w.out}})), expected) << dist;
    }
    BitWriter nine;
    nine.match(3, 9);
    // flag 1, length class 0 ("1" then 00), then k - 2 = 1 in 4 bits and 0 in 3 bits.
    EXPECT_EQ(nine.out, (Bytes{0x13, 0x00}));
}

TEST_F(LzTest, ShortInputsAreRefused) {
    Bytes dest(200);
    EXPECT_EQ(compress::compress(nullptr, 0, dest.data()), -1);
    Bytes small(127, 'x');
    EXPECT_EQ(compress::compress(small.data(), small.size(), dest.data()), -1);
    // The empty image itself is well formed.
    EXPECT_TRUE(unpack(image_of(0, {})).empty());
}

TEST_F(LzTest, IncompressibleInputIsRefused) {
    std::mt19937 rng(4);
    Bytes in(100000);
    for (auto& b : in) b = static_cast<uint8_t>(rng());
    EXPECT_TRUE(pack(in).empty());
}

TEST_F(LzTest, RoundTripsOfManyKinds) {
    std::mt19937 rng(11);
    std::vector<Bytes> inputs;
    // Text with repeated words.
    std::string text;
    const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon\n", "zeta ", "eta "};
    while (text.size() < 200000) text += words[rng() % 7];
    inputs.emplace_back(text.begin(), text.end());
    // Small alphabets, various lengths around the block and match limits.
    for (size_t n : {128u, 129u, 600u, 5000u, 70000u, 300000u}) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>('a' + rng() % 4);
        inputs.push_back(b);
    }
    // Random bytes repeated at the farthest distance a match can reach, with
    // stray differences so that many matches end there.
    Bytes far(600000);
    for (auto& x : far) x = static_cast<uint8_t>(rng());
    for (size_t i = compress::WINDOW; i < far.size(); ++i) far[i] = i % 1000 ? far[i - compress::WINDOW] : 0;
    inputs.push_back(far);
    // A long run, zeros and a sawtooth.
    inputs.push_back(Bytes(100000, 0));
    Bytes saw(100000);
    for (size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<uint8_t>(i % 251);
    inputs.push_back(saw);
    for (const Bytes& in : inputs) {
        Bytes img = pack(in);
        ASSERT_FALSE(img.empty()) << in.size();
        EXPECT_LE(img.size(), in.size());
        EXPECT_EQ(unpack(img), in) << in.size();
    }
}

TEST_F(LzTest, ThreeMegabytesMakeThreeIndependentBlocks) {
    // Three copies of one megabyte: were matches allowed to reach into an
    // earlier block, the copies would cost almost nothing. Each block starts
    // afresh, so the image is the one-megabyte body three times over.
    std::mt19937 rng(21);
    Bytes chunk(compress::BLOCK_SIZE);
    for (auto& x : chunk) x = static_cast<uint8_t>('0' + rng() % 10);
    Bytes in;
    for (int i = 0; i < 3; ++i) in.insert(in.end(), chunk.begin(), chunk.end());
    Bytes one = pack(chunk), img = pack(in);
    ASSERT_FALSE(one.empty());
    ASSERT_EQ(img.size(), compress::HEADER_SIZE + 3 * (one.size() - compress::HEADER_SIZE));
    for (int i = 0; i < 3; ++i) {
        size_t body = one.size() - compress::HEADER_SIZE;
        ASSERT_TRUE(std::equal(one.begin() + compress::HEADER_SIZE, one.end(),
                               img.begin() + compress::HEADER_SIZE + i * body));
    }
    EXPECT_EQ(img[compress::HEADER_SIZE + 2], 0x10);  // the block size 100000h
    EXPECT_EQ(unpack(img), in);
}

TEST_F(LzTest, MalformedImagesRaiseInvalidData) {
    BitWriter lit;
    lit.literal('a');
    BitWriter lit_match;  // "a" then a 4-byte match at distance 1
    lit_match.literal('a');
    lit_match.match(4, 1);
    BitWriter early;  // a match before anything was written
    early.match(3, 1);
    BitWriter far;  // distance 2 with only one byte written
    far.literal('a');
    far.match(3, 2);
    Bytes good = image_of(5, {{5, lit_match.out}});
    Bytes truncated = good;
    truncated.pop_back();
    truncated[0] -= 1;  // the header agrees, the bit stream runs out
    Bytes header_lies = good;
    header_lies[0] += 1;  // claims a byte more than the input holds
    struct Case {
        const char* what;
        Bytes img;
    } cases[] = {
        {"shorter than a header", {1, 0, 0, 0}},
        {"compressed size past the input", header_lies},
        {"huge size from a tiny input", image_of(0x7FFFFFFF, {{1, lit.out}})},
        {"block size 0", image_of(1, {{0, lit.out}})},
        {"block size above 1 MiB", image_of(compress::BLOCK_SIZE + 1, {{compress::BLOCK_SIZE + 1, Bytes(8000, 0)}})},
        {"block larger than the rest of the output", image_of(4, {{5, lit_match.out}})},
        {"match before the block start", image_of(3, {{3, early.out}})},
        {"match source too far back", image_of(4, {{4, far.out}})},
        {"match past the block end", image_of(3, {{3, lit_match.out}})},
        {"bit stream runs out", truncated},
        {"blocks end before the output is full", image_of(9, {{5, lit_match.out}})},
        {"block size field cut short", [] {
             Bytes b = image_of(1, {{1, Bytes{0}}});
             b.resize(10);
             b[0] = 2;
             return b;
         }()},
        {"match into the previous block", [&] {
             BitWriter second;
             second.match(3, 1);
             return image_of(4, {{1, lit.out}, {3, second.out}});
         }()},
    };
    EXPECT_EQ(unpack(good), (Bytes{'a', 'a', 'a', 'a', 'a'}));
    size_t blocks = sys::heap_block_count();
    for (const Case& c : cases) {
        EXPECT_EQ(test::raised_id([&] { unpack(c.img); }), "invalid-data") << c.what;
        EXPECT_EQ(sys::heap_block_count(), blocks) << c.what;
    }
}

}  // namespace
}  // namespace zel
