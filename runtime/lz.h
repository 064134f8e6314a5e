// The runtime's own LZ77 byte compressor and its image format.
//
// An image is an 8-byte header (compressed size: the bytes after the header;
// uncompressed size), then blocks of at most 1 MiB of input each: a 32-bit
// block size and a bit stream of literals and matches that ends on a byte
// boundary. Integers are little-endian; bits go least significant first.
// Literal: bit 0, then the byte. Match: bit 1, a length code (3 to 566), a
// distance code (1 to 262,144). Matches never reach into an earlier block.
#pragma once
#include <cstdint>

namespace zel::compress {

constexpr uint32_t HEADER_SIZE = 8;
constexpr uint32_t BLOCK_SIZE = 0x100000;   // input bytes per block at most
constexpr uint32_t MIN_INPUT = 128;         // shorter inputs are not worth compressing
constexpr uint32_t MIN_MATCH = 3;
constexpr uint32_t MAX_MATCH = 566;
constexpr uint32_t WINDOW = 262144;         // farthest match distance
constexpr uint32_t MAX_CANDIDATES = 256;    // chain entries tried per position
constexpr uint32_t FAR_MATCH3 = 65536;      // a 3-byte match farther than this is not worth its code
constexpr uint32_t HEAD3_COUNT = 524288;    // heads of 3-byte hashes
constexpr uint32_t HEAD4_COUNT = 1048576;   // heads of 4-byte hashes
constexpr uint32_t CHAIN_MASK = WINDOW - 1; // the chain table is indexed by position & CHAIN_MASK

// Bit-level reader and writer over byte buffers.
struct Stream {
    uint32_t bits;        // accumulator: pending bits, least significant first
    uint32_t count;       // number of pending bits
    const uint8_t* in;    // next input byte (reading)
    const uint8_t* in_end;
    uint8_t* out;         // output buffer (writing)
    uint64_t capacity;    // bytes the output may take
    uint64_t pos;         // bytes written
    bool overflow;        // set when writing went past the capacity
};

// A writer over `capacity` bytes at out, or a reader over [in, in_end).
void stream_init(Stream& s, uint8_t* out, uint64_t capacity, const uint8_t* in, const uint8_t* in_end);
// True when n more bytes fit the output; otherwise sets the overflow flag.
bool reserve(Stream& s, uint64_t n);
// Appends the n low bits of value (n <= 24).
void put_bits(Stream& s, uint32_t n, uint32_t value);
// Takes the next n bits (n <= 24); reading past the input raises `invalid-data`.
uint32_t get_bits(Stream& s, uint32_t n);

inline uint32_t hash3(uint32_t h, uint8_t byte) { return (h * 128 + byte) & (HEAD3_COUNT - 1); }
inline uint32_t hash4(uint32_t h, uint8_t byte) { return (h * 32 + byte) & (HEAD4_COUNT - 1); }
// How many times `far` (a candidate's distance / 16) must be divided by 8 to
// be at most `best` (the best match's distance): the extra length a farther
// match must bring.
uint32_t extra_cost(uint32_t far, uint32_t best);

// Compresses n bytes into dest, which has room for n bytes. Returns the
// image size, or -1 when n is below MIN_INPUT or above 32 bits, or when the
// image would take more than n bytes (dest then holds nothing usable).
int64_t compress(const uint8_t* src, uint64_t n, uint8_t* dest);

// Decompresses an image of `length` bytes into a new heap block of the
// uncompressed size + 8 bytes (free it with free_buffer) and sets *size.
// Malformed input, or a header that no image of this length could carry,
// raises script error `invalid-data`.
uint8_t* decompress(const uint8_t* image, uint64_t length, uint32_t* size);
void free_buffer(uint8_t* block);

}  // namespace zel::compress
