// Encoding text out as UTF-8 and UTF-16LE, loading UTF-16LE, and widening.
#include "runtime/errors.h"
#include "runtime/unicode.h"
#include "tests/runtime/test_support.h"
#include "tests/runtime/unicode_test_support.h"

namespace zel {
namespace {

using test::Bytes;
using test::CodePoints;
using test::code_points;

class UnicodeEncodeTest : public test::RuntimeTest {};

Bytes utf16_bytes(const uint8_t* p, int32_t units) { return Bytes(p, p + 2 * units); }

TEST_F(UnicodeEncodeTest, SingleCodePoints) {
    uint8_t out[4];
    struct Case {
        uint32_t cp;
        Bytes utf8;
        Bytes utf16;
    } cases[] = {
        {0x41, {0x41}, {0x41, 0x00}},
        {0xE9, {0xC3, 0xA9}, {0xE9, 0x00}},
        {0x20AC, {0xE2, 0x82, 0xAC}, {0xAC, 0x20}},
        {0x10000, {0xF0, 0x90, 0x80, 0x80}, {0x00, 0xD8, 0x00, 0xDC}},
        {0x10FFFF, {0xF4, 0x8F, 0xBF, 0xBF}, {0xFF, 0xDB, 0xFF, 0xDF}},
    };
    for (const Case& c : cases) {
        int n = unicode::encode_utf8(c.cp, out);
        EXPECT_EQ(Bytes(out, out + n), c.utf8);
        EXPECT_EQ(unicode::utf8_size(c.cp), n);
        n = unicode::encode_utf16(c.cp, out);
        EXPECT_EQ(Bytes(out, out + 2 * n), c.utf16);
    }
    EXPECT_EQ(unicode::encode_utf16(0x110000, out), 0);
    // The bounded form cuts the sequence at the room.
    std::fill(out, out + 4, 0xEE);
    EXPECT_EQ(unicode::encode_utf8_bounded(0x1F600, out, 2), 2);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xF0, 0x9F, 0xEE, 0xEE}));
    EXPECT_EQ(unicode::encode_utf8_bounded(0x41, out, 0), 0);
}

TEST_F(UnicodeEncodeTest, CodePointsAboveTheRangeAreRefused) {
    uint8_t out[4];
    EXPECT_EQ(test::raised_id([&] { unicode::encode_utf8(0x110000, out); }), "invalid-char");
    EXPECT_EQ(test::raised_id([&] { unicode::utf8_size(0xFFFFFFFF); }), "invalid-char");
    EXPECT_EQ(test::raised_id([&] { unicode::encode_utf8_bounded(0x110000, out, 4); }), "invalid-char");
    uint32_t wide[] = {0x41, 0x200000};
    auto* p = reinterpret_cast<const uint8_t*>(wide);
    EXPECT_EQ(test::raised_id([&] { unicode::utf8_size_range(p, p + 8, 4); }), "invalid-char");
    Cell text = test::make_text({0x41, 0x110000}, 4);
    int32_t length = -1;
    EXPECT_EQ(unicode::to_utf16_part(&text, &length, false), nullptr);
}

TEST_F(UnicodeEncodeTest, SizesOfRunsInEachUnit) {
    CodePoints cps = {0x41, 0x0A, 0xE9, 0x20AC, 0x1F600};
    Cell t4 = test::make_text(cps, 4);
    SeriesBuffer* b = series::buffer_of(&t4);
    EXPECT_EQ(unicode::utf8_size_range(b->head_ptr(), b->tail_ptr(), 4), 1u + 1 + 2 + 3 + 4);
    // 2 for the LF's CR, 2 for the second unit of the pair.
    EXPECT_EQ(unicode::utf16_extra_size(b->head_ptr(), b->tail_ptr(), 4), 4u);
    Cell t1 = test::make_text({0x41, 0xFF, 0x0A}, 1);
    b = series::buffer_of(&t1);
    EXPECT_EQ(unicode::utf8_size_range(b->head_ptr(), b->tail_ptr(), 1), 4u);
}

TEST_F(UnicodeEncodeTest, TextToUtf8FromTheHeadWithPartAndLineEnds) {
    Cell text = test::make_text({'x', 'a', '\n', 0xE9, 0x20AC, 0x1F600}, 4, 1);
    int32_t length = -1;
    const uint8_t* p = unicode::to_utf8(&text, &length);
    EXPECT_EQ(Bytes(p, p + length + 1), test::bytes_of(std::string("a\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80") + '\0'));
    length = -1;
    p = unicode::to_utf8_crlf(&text, &length, true);
    EXPECT_EQ(Bytes(p, p + length), test::bytes_of("a\r\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    length = 3;
    Node node = unicode::to_utf8_buffer(&text, &length, false);
    EXPECT_EQ(node, text.w3);  // the buffer is kept in the cell and reused
    EXPECT_EQ(length, 4);
    SeriesBuffer* conv = series::buffer_of(node);
    EXPECT_EQ(Bytes(conv->head_ptr(), conv->tail_ptr()), test::bytes_of("a\n\xC3\xA9"));
    // A head past the tail converts nothing.
    text.w1 = 50;
    length = -1;
    unicode::to_utf8(&text, &length);
    EXPECT_EQ(length, 0);
}

TEST_F(UnicodeEncodeTest, ConversionBufferGrowsForLongerText) {
    Cell small = test::make_text({'a'}, 1);
    int32_t length = -1;
    unicode::to_utf8(&small, &length);
    Node cache = small.w3;
    CodePoints many(5000, 0xE9);
    Cell big = test::make_text(many, 1);
    big.w3 = cache;
    length = -1;
    const uint8_t* p = unicode::to_utf8(&big, &length);
    ASSERT_EQ(length, 10000);
    EXPECT_EQ(p[9998], 0xC3);
    EXPECT_EQ(p[9999], 0xA9);
    EXPECT_EQ(p[10000], 0);
}

TEST_F(UnicodeEncodeTest, EncodeStringIntoCallerBuffers) {
    Cell text = test::make_text({'a', 0xE9, 0x20AC, 'b'}, 2);
    uint8_t out[16];
    std::fill(out, out + 16, 0xEE);
    EXPECT_EQ(unicode::encode_string_utf8(&text, out, -1, true), 7u);
    EXPECT_EQ(Bytes(out, out + 8), test::bytes_of(std::string("a\xC3\xA9\xE2\x82\xAC" "b") + '\0'));
    EXPECT_EQ(unicode::encode_string_utf8(&text, out, 2, false), 3u);
    // Bounded: the euro sign is cut after its first byte, then the zero.
    std::fill(out, out + 16, 0xEE);
    EXPECT_EQ(unicode::encode_string_utf8_bounded(&text, out, 4, 0, true), 4u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{'a', 0xC3, 0xA9, 0xE2, 0x00, 0xEE}));
    EXPECT_EQ(unicode::encode_string_utf8_bounded(&text, out, 100, 1, false), 1u);
}

TEST_F(UnicodeEncodeTest, TextToUtf16WithSurrogatesAndLineEnds) {
    Cell text = test::make_text({'a', '\n', 0x10000, 0xE9}, 4);
    int32_t length = -1;
    const uint8_t* p = unicode::to_utf16_part(&text, &length, false);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(utf16_bytes(p, length + 1), (Bytes{'a', 0, '\n', 0, 0x00, 0xD8, 0x00, 0xDC, 0xE9, 0, 0, 0}));
    p = unicode::to_utf16(&text);
    EXPECT_EQ(utf16_bytes(p, 7), (Bytes{'a', 0, '\r', 0, '\n', 0, 0x00, 0xD8, 0x00, 0xDC, 0xE9, 0, 0, 0}));
    length = 1;
    p = unicode::to_utf16_part(&text, &length, true);
    EXPECT_EQ(length, 1);

    uint8_t out[8];
    EXPECT_EQ(unicode::latin1_to_utf16("A\xE9", out), out);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{'A', 0, 0xE9, 0, 0, 0}));
}

TEST_F(UnicodeEncodeTest, Utf16UnitFollowsTheHighBytes) {
    Bytes latin = {'a', 0, 0xE9, 0};
    Bytes bmp = {'a', 0, 0xAC, 0x20};
    Bytes pair = {'a', 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(unicode::utf16_unit(latin.data(), 2), 1u);
    EXPECT_EQ(unicode::utf16_unit(bmp.data(), 2), 2u);
    EXPECT_EQ(unicode::utf16_unit(pair.data(), 3), 4u);
    EXPECT_EQ(unicode::utf16_unit(pair.data(), 0), 1u);
}

TEST_F(UnicodeEncodeTest, LoadingUtf16) {
    struct Case {
        Bytes in;
        bool drop_cr;
        uint32_t unit;
        CodePoints cps;
    } cases[] = {
        {{'a', 0, 0xE9, 0}, false, 1, {'a', 0xE9}},
        {{'a', 0, '\r', 0, '\n', 0, 0xAC, 0x20}, true, 2, {'a', '\n', 0x20AC}},
        {{'a', 0, '\r', 0, 0xAC, 0x20}, false, 2, {'a', '\r', 0x20AC}},
        {{0x3D, 0xD8, 0x00, 0xDE, '\r', 0}, true, 4, {0x1F600}},
        // A surrogate without its partner becomes U+FFFD; the next unit survives.
        {{0x3D, 0xD8, 0x41, 0x00}, false, 4, {0xFFFD, 'A'}},
        {{0x41, 0x00, 0x3D, 0xD8}, false, 4, {'A', 0xFFFD}},
        {{0x00, 0xDE, 0x41, 0x00}, false, 4, {0xFFFD, 'A'}},
        {{0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}, false, 4, {0xFFFD, 0x1F600}},
    };
    for (const Case& c : cases) {
        Node n = unicode::load_utf16le(c.in.data(), static_cast<uint32_t>(c.in.size() / 2), nullptr, c.drop_cr);
        SeriesBuffer* b = series::buffer_of(n);
        EXPECT_EQ(b->unit(), c.unit);
        EXPECT_TRUE(b->flags & SERIES_FROM_UTF16);
        EXPECT_EQ(code_points(n), c.cps);
    }
}

TEST_F(UnicodeEncodeTest, LoadingUtf16ReplacesTheTargetText) {
    // The target's own buffer is reused (grown), and its text replaced.
    Cell text = test::make_text({'o', 'l', 'd'}, 1);
    Bytes in = {0xAC, 0x20, 'x', 0, 'y', 0, 'z', 0, 'w', 0, 'v', 0, 'u', 0, 't', 0, 's', 0, 'r', 0, 'q', 0, 'p', 0,
                'o', 0, 'n', 0, 'm', 0, 'l', 0, 'k', 0};
    Node n = unicode::load_utf16le(in.data(), static_cast<uint32_t>(in.size() / 2), &text, false);
    EXPECT_EQ(n, text.w2);
    CodePoints cps = code_points(n);
    ASSERT_EQ(cps.size(), 17u);
    EXPECT_EQ(cps[0], 0x20ACu);
    EXPECT_EQ(cps[16], 'k');
    // With no source, the text comes from the cell's conversion buffer.
    uint8_t* cache = unicode::cache_buffer(&text, 4);
    std::memcpy(cache, "h\0i\0", 4);
    unicode::load_utf16le(nullptr, 2, &text, false);
    EXPECT_EQ(code_points(text.w2), (CodePoints{'h', 'i'}));
    // A count beyond the conversion buffer is cut to it.
    Cell fresh = test::make_text({}, 1);
    unicode::load_utf16le(nullptr, 1000, &fresh, false);
    EXPECT_TRUE(code_points(fresh.w2).empty());
}

TEST_F(UnicodeEncodeTest, RoundTripThroughUtf16AndUtf8) {
    CodePoints cps = {'a', 0xE9, 0x20AC, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF, 'z'};
    Cell text = test::make_text(cps, 4);
    int32_t units = -1;
    const uint8_t* p = unicode::to_utf16_part(&text, &units, false);
    Bytes utf16(p, p + 2 * units);
    EXPECT_EQ(code_points(unicode::load_utf16le(utf16.data(), static_cast<uint32_t>(units), nullptr, false)), cps);
    int32_t bytes = -1;
    p = unicode::to_utf8(&text, &bytes);
    Bytes utf8(p, p + bytes);
    EXPECT_EQ(code_points(unicode::load_utf8_simple(utf8.data(), static_cast<uint32_t>(bytes))), cps);
}

TEST_F(UnicodeEncodeTest, WideningKeepsCodePointsAndHeadOffset) {
    struct Case {
        uint32_t from, to;
    } cases[] = {{1, 2}, {1, 4}, {2, 4}};
    for (const Case& c : cases) {
        // A buffer with its head in the middle and no spare room.
        Node node = series::alloc(8, c.from, -1);
        SeriesBuffer* buf = series::buffer_of(node);
        uint32_t head = buf->head;
        CodePoints cps;
        while (buf->tail + c.from <= buf->size) {
            uint32_t cp = 0x41 + static_cast<uint32_t>(cps.size()) + (c.from == 2 ? 0x100 : 0);
            unicode::put_char(buf->tail_ptr(), c.from, cp);
            buf->tail += c.from;
            cps.push_back(cp);
        }
        uint32_t old_size = buf->size;
        buf = unicode::widen(buf, c.to);
        EXPECT_EQ(buf, series::buffer_of(node));
        EXPECT_EQ(buf->unit(), c.to);
        EXPECT_GT(buf->size, old_size);
        EXPECT_EQ(code_points(node), cps);
        // Room enough already: widened in place, head kept.
        Node roomy = series::alloc(64, c.from, -1);
        buf = series::buffer_of(roomy);
        head = buf->head;
        unicode::put_char(buf->tail_ptr(), c.from, 0x42);
        buf->tail += c.from;
        SeriesBuffer* same = unicode::widen(buf, c.to);
        EXPECT_EQ(same, buf);
        EXPECT_EQ(same->head, head);
        EXPECT_EQ(code_points(roomy), (CodePoints{0x42}));
    }
    // Widening to the unit a buffer already has changes nothing.
    Cell t = test::make_text({0x100}, 2);
    SeriesBuffer* b = series::buffer_of(&t);
    EXPECT_EQ(unicode::widen(b, 2), b);
    EXPECT_EQ(b->unit(), 2u);
}

TEST_F(UnicodeEncodeTest, AnyOtherUnitIsARuntimeFailure) {
    Node node = series::alloc(4, 3, 0);
    EXPECT_EXIT(unicode::text_unit(series::buffer_of(node)), ::testing::ExitedWithCode(101), "");
}

}  // namespace
}  // namespace zel
