// MurmurHash3 against its published test vectors, and the per-type hash of
// values: case folding, storage units, identity of series.
#include <cstring>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hash.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

struct Vector {
    const char* bytes;
    size_t len;
    uint32_t seed;
    uint32_t expected;
};

// The published MurmurHash3_x86_32 verification values. Those made of
// bytes below 80h were also checked against an independent implementation
// (Digest::MurmurHash3::PurePerl, which UTF-8-encodes higher bytes first).
const Vector VECTORS[] = {
    {"", 0, 0, 0x00000000u},
    {"", 0, 1, 0x514E28B7u},
    {"", 0, 0xFFFFFFFFu, 0x81F16F39u},
    {"\xFF\xFF\xFF\xFF", 4, 0, 0x76293B50u},
    {"\x21\x43\x65\x87", 4, 0, 0xF55B516Bu},
    {"\x21\x43\x65\x87", 4, 0x5082EDEEu, 0x2362F9DEu},
    {"\x21\x43\x65", 3, 0, 0x7E4A8634u},
    {"\x21\x43", 2, 0, 0xA0F7B07Au},
    {"\x21", 1, 0, 0x72661CF4u},
    {"\x00\x00\x00\x00", 4, 0, 0x2362F9DEu},
    {"\x00\x00\x00", 3, 0, 0x85F0B427u},
    {"\x00\x00", 2, 0, 0x30F4C306u},
    {"\x00", 1, 0, 0x514E28B7u},
    {"Hello, world!", 13, 1234, 0xFAF6CDB3u},
    {"Hello, world!", 13, 4321, 0xBF505788u},
    {"The quick brown fox jumps over the lazy dog", 43, 0x9747B28Cu, 0x2FA826CDu},
    {"aaaa", 4, 0x9747B28Cu, 0x5A97808Au},
    {"Hello, world!", 13, 0x9747B28Cu, 0x24884CBAu},
};

TEST(HashMurmur3, PublishedVectors) {
    for (const Vector& v : VECTORS)
        EXPECT_EQ(hash::murmur3_seeded(v.bytes, v.len, v.seed), v.expected) << "input of " << v.len << " bytes";
}

TEST(HashMurmur3, FinaliserOfOneWord) {
    // fmix32: 0 stays 0; the avalanche of 1 is a known constant.
    EXPECT_EQ(hashtable::hash_int(0), 0u);
    EXPECT_EQ(hashtable::hash_int(1), 0x514E28B7u);  // murmur3("", seed 1) is fmix32(1)
}

TEST(HashMurmur3, AsciiLoweredNameEqualsHashOfLowerCase) {
    const char* upper = "Hello-WORLD";
    const char* lower = "hello-world";
    EXPECT_EQ(hash::murmur3_ascii_lower(reinterpret_cast<const uint8_t*>(upper), 11),
              hash::murmur3(lower, 11));
}

class HashValueTest : public test::RuntimeTest {
protected:
    // A string! holding the code points, in a buffer of the given unit.
    Cell text(std::initializer_list<uint32_t> cps, uint32_t unit) {
        Cell s;
        string::make_in(&s, static_cast<uint32_t>(cps.size()), unit);
        SeriesBuffer* b = series::buffer_of(&s);
        for (uint32_t cp : cps) b = string::append_char(b, cp);
        return s;
    }
};

TEST_F(HashValueTest, TextHashIgnoresUnitAndCase) {
    Cell narrow = text({'a', 'b', 'c'}, 1);
    Cell wide = text({'a', 'b', 'c'}, 4);
    Cell upper = text({'A', 'B', 'C'}, 2);
    uint32_t h = hashtable::hash_value(&narrow, false);
    EXPECT_EQ(hashtable::hash_value(&wide, false), h);
    EXPECT_EQ(hashtable::hash_value(&upper, false), h);
    // Case-sensitive hashing keeps them apart.
    EXPECT_NE(hashtable::hash_value(&upper, true), hashtable::hash_value(&narrow, true));
    // Non-ASCII letters fold too (e acute and E acute).
    Cell e1 = text({0xE9}, 2), e2 = text({0xC9}, 2);
    EXPECT_EQ(hashtable::hash_value(&e1, false), hashtable::hash_value(&e2, false));
}

TEST_F(HashValueTest, TextHashIsMurmurOverUpperCasedCodePoints) {
    Cell s = text({'a', 0x1E922}, 4);  // Adlam small letter: folds to 1E900h
    uint32_t blocks[2] = {'A', 0x1E900};
    EXPECT_EQ(hashtable::hash_value(&s, false), hash::murmur3(blocks, sizeof blocks));
    // A head index moves the start of the hashed text.
    s.w1 = 1;
    uint32_t tail_only[1] = {0x1E900};
    EXPECT_EQ(hashtable::hash_value(&s, false), hash::murmur3(tail_only, sizeof tail_only));
}

TEST_F(HashValueTest, WordsHashOnResolvedSymbols) {
    uint32_t foo = symbol::make("hv-foo");
    uint32_t Foo = symbol::make("HV-Foo");
    Cell a{TYPE_WORD, 0, foo, 0}, b{TYPE_SET_WORD, 0, Foo, 0};
    EXPECT_EQ(hashtable::hash_value(&a, false), hashtable::hash_value(&b, false));
    EXPECT_EQ(hashtable::hash_value(&a, false), hashtable::hash_int(foo));
}

TEST_F(HashValueTest, FixedValuesAndSeriesIdentity) {
    Cell none, unset;
    set_none(&none);
    set_unset(&unset);
    EXPECT_EQ(hashtable::hash_value(&none, false), 0xFFFFFFFFu);
    EXPECT_EQ(hashtable::hash_value(&unset, false), 0xFFFFFFFEu);
    Cell i;
    set_integer(&i, 42);
    EXPECT_EQ(hashtable::hash_value(&i, false), hashtable::hash_int(42));
    // Blocks hash on head index and node: identity, not content.
    Cell b1{TYPE_BLOCK, 0, 7, 0}, b2{TYPE_BLOCK, 1, 7, 0};
    EXPECT_NE(hashtable::hash_value(&b1, false), hashtable::hash_value(&b2, false));
    EXPECT_TRUE(hashtable::node_keyed(TYPE_BLOCK));
    EXPECT_FALSE(hashtable::node_keyed(TYPE_STRING));
    // Money hashes without its flag bits but with its sign.
    Cell m1{TYPE_MONEY | (1u << 30), 1, 2, 3}, m2{TYPE_MONEY, 1, 2, 3}, m3{TYPE_MONEY | (1u << 14), 1, 2, 3};
    EXPECT_EQ(hashtable::hash_value(&m1, false), hashtable::hash_value(&m2, false));
    EXPECT_NE(hashtable::hash_value(&m3, false), hashtable::hash_value(&m2, false));
}

}  // namespace
}  // namespace zel
