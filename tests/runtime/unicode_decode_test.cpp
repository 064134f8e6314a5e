// UTF-8 decoding: single characters, runs, and loading into text series.
#include <sys/mman.h>
#include <unistd.h>
#include "runtime/errors.h"
#include "runtime/unicode.h"
#include "tests/runtime/test_support.h"
#include "tests/runtime/unicode_test_support.h"

namespace zel {
namespace {

using test::Bytes;
using test::CodePoints;
using test::code_points;

class UnicodeDecodeTest : public test::RuntimeTest {};

constexpr uint32_t X = unicode::UTF8_INVALID;

// Decodes all of `in` step by step: the code points and the step lengths.
void decode_all(const Bytes& in, CodePoints* cps, std::vector<int>* lengths) {
    const uint8_t* p = in.data();
    const uint8_t* end = p + in.size();
    while (p < end) {
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, end, &cp);
        cps->push_back(cp);
        lengths->push_back(static_cast<int>(next - p));
        p = next;
    }
}

TEST_F(UnicodeDecodeTest, FastDecoderStepsOverValidAndBrokenInput) {
    struct Case {
        Bytes in;
        CodePoints cps;
        std::vector<int> lengths;
    } cases[] = {
        {{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}, {0x41, 0xE9, 0x20AC, 0x1F600}, {1, 2, 3, 4}},
        {{0xF4, 0x8F, 0xBF, 0xBF}, {0x10FFFF}, {4}},
        // A stray continuation byte or a byte that never starts a character: one byte.
        {{0x80, 0xBF, 0xF8, 0xFF}, {X, X, X, X}, {1, 1, 1, 1}},
        // Overlong forms, surrogates and code points above 10FFFFh are refused.
        {{0xC0, 0x80}, {X, X}, {1, 1}},
        {{0xE0, 0x80, 0x80}, {X, X, X}, {1, 1, 1}},
        {{0xED, 0xA0, 0x80}, {X, X, X}, {1, 1, 1}},
        {{0xF4, 0x90, 0x80, 0x80}, {X, X, X, X}, {1, 1, 1, 1}},
        // A broken sequence stops before the byte that broke it: the A survives.
        {{0xC3, 0x41}, {X, 0x41}, {1, 1}},
        {{0xF0, 0x9F, 0x98, 0x41}, {X, 0x41}, {3, 1}},
        // Cut off by the end: one invalid step to the end.
        {{0x41, 0xE2, 0x82}, {0x41, X}, {1, 2}},
    };
    for (const Case& c : cases) {
        CodePoints cps;
        std::vector<int> lengths;
        decode_all(c.in, &cps, &lengths);
        EXPECT_EQ(cps, c.cps);
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_EQ(unicode::count_utf8(c.in.data(), c.in.data() + c.in.size()), c.cps.size());
    }
}

// Bytes placed right before an unreadable page: any read past the end faults.
class GuardedBytes {
public:
    explicit GuardedBytes(const Bytes& b) {
        long page = sysconf(_SC_PAGESIZE);
        base_ = static_cast<uint8_t*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + page, page, PROT_NONE);
        page_ = page;
        data_ = base_ + page - b.size();
        std::copy(b.begin(), b.end(), data_);
    }
    ~GuardedBytes() { munmap(base_, 2 * page_); }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return base_ + page_; }

private:
    uint8_t* base_;
    uint8_t* data_;
    long page_;
};

TEST_F(UnicodeDecodeTest, DecodersStopAtTheEnd) {
    for (const Bytes& b : {Bytes{0xF0}, Bytes{0xF0, 0x9F}, Bytes{0xF0, 0x9F, 0x98}, Bytes{0xE2, 0x82}, Bytes{0xC3},
                           Bytes{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0xF0, 0x9F}}) {
        GuardedBytes g(b);
        EXPECT_EQ(unicode::skip_utf8(g.begin(), g.end(), 100), g.end());
        EXPECT_GE(unicode::count_utf8(g.begin(), g.end()), 1u);
        uint32_t count = static_cast<uint32_t>(b.size());
        if (b[0] >= 0x80) {
            EXPECT_EQ(unicode::load_utf8_char(g.begin(), &count), -1);
        }
        uint32_t left = 99;
        unicode::load_utf8(g.begin(), static_cast<uint32_t>(b.size()), 0, &left, true);
        EXPECT_GT(left, 0u);
    }
}

TEST_F(UnicodeDecodeTest, SkipCountsCharactersNotBytes) {
    Bytes in = test::bytes_of("ab\xC3\xA9\xE2\x82\xAC" "cdefghijkl");
    const uint8_t* p = in.data();
    const uint8_t* end = p + in.size();
    EXPECT_EQ(unicode::skip_utf8(p, end, 0), p);
    EXPECT_EQ(unicode::skip_utf8(p, end, 3), p + 4);
    EXPECT_EQ(unicode::skip_utf8(p, end, 4), p + 7);
    EXPECT_EQ(unicode::skip_utf8(p, end, 12), p + 15);
    EXPECT_EQ(unicode::skip_utf8(p, end, 1000), end);
    EXPECT_EQ(unicode::count_utf8(p, end), 14u);
}

TEST_F(UnicodeDecodeTest, ValidatingDecoderReportsBytesUsedOrMissing) {
    struct Case {
        Bytes in;
        int32_t cp;
        uint32_t used;
    } cases[] = {
        {{0x41, 0x42}, 0x41, 1},
        {{0xC3, 0xA9, 0x41}, 0xE9, 2},
        {{0xE2, 0x82, 0xAC}, 0x20AC, 3},
        {{0xF0, 0x9F, 0x98, 0x80}, 0x1F600, 4},
        {{0xE2, 0x82}, -1, 2},  // needs one more byte: the count is left alone
        {{0xF0}, -1, 1},
    };
    for (const Case& c : cases) {
        uint32_t count = static_cast<uint32_t>(c.in.size());
        EXPECT_EQ(unicode::load_utf8_char(c.in.data(), &count), c.cp);
        EXPECT_EQ(count, c.used);
    }
}

TEST_F(UnicodeDecodeTest, InvalidBytesRaiseAnAccessError) {
    for (const Bytes& b : {Bytes{0x80}, Bytes{0xC0, 0xAF}, Bytes{0xE0, 0x80}, Bytes{0xED, 0xB0, 0x80},
                           Bytes{0xF5, 0x80, 0x80, 0x80}, Bytes{0xC3, 0x41}}) {
        uint32_t count = static_cast<uint32_t>(b.size());
        EXPECT_EQ(test::raised_id([&] { unicode::load_utf8_char(b.data(), &count); }), "invalid-utf8");
        EXPECT_EQ(errors::class_of(stack::top_cell()), ERR_ACCESS);
        EXPECT_EQ(test::raised_id([&] { unicode::load_utf8_simple(b.data(), static_cast<uint32_t>(b.size())); }),
                  "invalid-utf8");
    }
}

TEST_F(UnicodeDecodeTest, LoadingWidensTheUnitAsWiderCodePointsArrive) {
    Bytes latin = {0x41, 0xC3, 0xA9};
    Node n = unicode::load_utf8_simple(latin.data(), 3);
    EXPECT_EQ(series::buffer_of(n)->unit(), 1u);
    EXPECT_EQ(code_points(n), (CodePoints{0x41, 0xE9}));

    Bytes euro = {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC};
    n = unicode::load_utf8_simple(euro.data(), 6);
    EXPECT_EQ(series::buffer_of(n)->unit(), 2u);
    EXPECT_EQ(code_points(n), (CodePoints{0x41, 0xE9, 0x20AC}));

    // Latin-1 straight to UCS-4, then more text after the widening.
    Bytes emoji = test::bytes_of("x\xC3\xA9\xF0\x9F\x98\x80yz\xE2\x82\xAC" "0123456789");
    n = unicode::load_utf8_simple(emoji.data(), static_cast<uint32_t>(emoji.size()));
    EXPECT_EQ(series::buffer_of(n)->unit(), 4u);
    EXPECT_EQ(code_points(n), (CodePoints{'x', 0xE9, 0x1F600, 'y', 'z', 0x20AC, '0', '1', '2', '3', '4', '5', '6',
                                          '7', '8', '9'}));
}

TEST_F(UnicodeDecodeTest, LongTextWidensLateWithoutLosingAnything) {
    std::string s(5000, 'a');
    s += "\xE2\x82\xAC";
    s += std::string(3000, 'b');
    s += "\xF0\x9F\x98\x80";
    s += std::string(100, 'c');
    Bytes in = test::bytes_of(s);
    Node n = unicode::load_utf8_simple(in.data(), static_cast<uint32_t>(in.size()));
    CodePoints cps = code_points(n);
    ASSERT_EQ(cps.size(), 8102u);
    EXPECT_EQ(cps[4999], 'a');
    EXPECT_EQ(cps[5000], 0x20ACu);
    EXPECT_EQ(cps[5001], 'b');
    EXPECT_EQ(cps[8001], 0x1F600u);
    EXPECT_EQ(cps[8101], 'c');
}

TEST_F(UnicodeDecodeTest, ByteOrderMarkAndCutOffTail) {
    uint32_t left = 99;
    Bytes bom = {0xEF, 0xBB, 0xBF};
    Node n = unicode::load_utf8(bom.data(), 3, 0, &left, false);
    EXPECT_TRUE(code_points(n).empty());
    EXPECT_EQ(left, 0u);

    Bytes bom_text = {0xEF, 0xBB, 0xBF, 0x41};
    EXPECT_EQ(code_points(unicode::load_utf8_simple(bom_text.data(), 4)), (CodePoints{0x41}));

    Bytes cut = {0x41, 0xE2, 0x82};
    n = unicode::load_utf8(cut.data(), 3, 0, &left, false);
    EXPECT_EQ(code_points(n), (CodePoints{0x41}));
    EXPECT_EQ(left, 2u);
    // Without a place to report the cut-off bytes they are an error, not dropped.
    EXPECT_EQ(test::raised_id([&] { unicode::load_utf8_simple(cut.data(), 3); }), "invalid-utf8");
    // A complete text reports nothing left.
    n = unicode::load_utf8(cut.data(), 1, 0, &left, false);
    EXPECT_EQ(left, 0u);
}

TEST_F(UnicodeDecodeTest, CarriageReturnsFoldToLineFeeds) {
    Bytes in = {0x61, 0x0D, 0x0A, 0x62, 0x0D, 0x63};
    EXPECT_EQ(code_points(unicode::load_utf8(in.data(), 6, 0, nullptr, true)), (CodePoints{0x61, 0x0A, 0x62, 0x0A, 0x63}));
    EXPECT_EQ(code_points(unicode::load_utf8(in.data(), 6, 0, nullptr, false)),
              (CodePoints{0x61, 0x0D, 0x0A, 0x62, 0x0D, 0x63}));
    // The same through the eight-byte path, and a CR at the very end.
    Bytes longer = test::bytes_of("abcdefgh\r\nijklmnop\rqrstuvwx\r");
    EXPECT_EQ(code_points(unicode::load_utf8(longer.data(), static_cast<uint32_t>(longer.size()), 0, nullptr, true)),
              (CodePoints{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', '\n', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', '\n',
                          'q', 'r', 's', 't', 'u', 'v', 'w', 'x', '\n'}));
}

TEST_F(UnicodeDecodeTest, LoadingAppendsToAGivenTextInItsUnit) {
    Cell text = test::make_text({0x100, 0x41}, 2);
    Bytes more = test::bytes_of("b\xC3\xA9");
    unicode::load_utf8(more.data(), 3, text.w2, nullptr, false);
    EXPECT_EQ(series::buffer_of(text.w2)->unit(), 2u);
    EXPECT_EQ(code_points(text.w2), (CodePoints{0x100, 0x41, 'b', 0xE9}));

    // Through the cell: its bytes, or the bytes left in its conversion buffer.
    Cell other = test::make_text({}, 1);
    uint8_t* cache = unicode::cache_buffer(&other, 8);
    std::memcpy(cache, "hi\xC3", 3);
    uint32_t left = 0;
    unicode::load_utf8_binary(nullptr, 3, &other, &left);
    EXPECT_EQ(code_points(other.w2), (CodePoints{'h', 'i'}));
    EXPECT_EQ(left, 1u);
}

}  // namespace
}  // namespace zel
