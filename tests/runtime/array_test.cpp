// Typed buffers: growth through the memory manager, 1-based picks, byte
// offsets from the find operations, and positions outside the used part.
#include <vector>
#include "runtime/array.h"
#include "runtime/memory.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class ArrayTest : public test::RuntimeTest {};

std::vector<uint32_t> ints(Node buf) {
    std::vector<uint32_t> out;
    for (uint32_t i = 1; i <= array::length(buf); ++i) out.push_back(array::pick_int(buf, i));
    return out;
}

TEST_F(ArrayTest, MakeSetsTheUnitAndStartsEmpty) {
    Node ints4 = array::make(10, 4);
    EXPECT_EQ(series::buffer_of(ints4)->unit(), 4u);
    EXPECT_GE(series::buffer_of(ints4)->size, 40u);
    EXPECT_EQ(array::length(ints4), 0u);
    Node bytes = array::make(0, 1);
    EXPECT_EQ(series::buffer_of(bytes)->unit(), 1u);
    EXPECT_EQ(array::length(bytes), 0u);
    EXPECT_EQ(test::raised_id([] { array::make(uint64_t{1} << 31, 4); }), "no-memory");
}

TEST_F(ArrayTest, AppendingGrowsAndMovesTheBuffer) {
    Node buf = array::make(1, 4);
    SeriesBuffer* first = series::buffer_of(buf);
    for (uint32_t i = 0; i < 1000; ++i) array::append_int(buf, i * 3);
    EXPECT_NE(series::buffer_of(buf), first);
    EXPECT_EQ(array::length(buf), 1000u);
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(array::pick_int(buf, i + 1), i * 3);
    Node bytes = array::make(2, 1);
    for (int i = 0; i < 300; ++i) array::append_byte(bytes, static_cast<uint8_t>(i));
    EXPECT_EQ(array::length(bytes), 300u);
    EXPECT_EQ(array::pick_byte(bytes, 1), 0);
    EXPECT_EQ(array::pick_byte(bytes, 300), 299 & 0xFF);
}

TEST_F(ArrayTest, FindAndRemovePointers) {
    Node buf = array::make(4, 4);
    EXPECT_EQ(array::find_ptr(buf, 7), -1);
    for (uint32_t v : {7u, 8u, 7u}) array::append_ptr(buf, v);
    EXPECT_EQ(array::find_ptr(buf, 7), 0);
    EXPECT_EQ(array::find_ptr(buf, 8), 4);  // a byte offset
    EXPECT_EQ(array::find_int(buf, 9), -1);
    array::remove_ptr(buf, 7);
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{8, 7}));
    array::remove_ptr(buf, 42);  // absent: nothing changes
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{8, 7}));
    array::poke_ptr(buf, 2, 99);
    EXPECT_EQ(array::pick_ptr(buf, 2), 99u);
}

TEST_F(ArrayTest, InsertIntoAFullBufferDoublesItAndKeepsOrder) {
    Node buf = array::make(4, 4);
    uint32_t size = series::buffer_of(buf)->size;
    for (uint32_t i = 1; i <= size / 4; ++i) array::append_ptr(buf, i);
    array::insert_ptr(buf, 100, 0);
    EXPECT_EQ(series::buffer_of(buf)->size, 2 * size);
    std::vector<uint32_t> expected{100};
    for (uint32_t i = 1; i <= size / 4; ++i) expected.push_back(i);
    EXPECT_EQ(ints(buf), expected);
    array::insert_ptr(buf, 200, array::length(buf));  // at the end
    EXPECT_EQ(array::pick_ptr(buf, array::length(buf)), 200u);
    array::insert_ptr(buf, 300, 2);
    EXPECT_EQ(array::pick_ptr(buf, 3), 300u);
    EXPECT_EQ(array::pick_ptr(buf, 4), 2u);
}

TEST_F(ArrayTest, SetTailClearAndRemoveAt) {
    Node buf = array::make(8, 4);
    for (uint32_t i = 1; i <= 5; ++i) array::append_int(buf, i);
    array::set_tail(buf, 4);  // three remain
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{1, 2, 3}));
    array::set_tail(buf, 10);  // never uncovers old elements
    EXPECT_EQ(array::length(buf), 3u);
    array::set_tail(buf, 1);
    EXPECT_EQ(array::length(buf), 0u);
    for (uint32_t i = 1; i <= 5; ++i) array::append_int(buf, i);
    array::remove_at(buf, 4, 8);  // elements 2 and 3
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{1, 4, 5}));
    array::remove_at(buf, 8, 100);  // a count past the tail stops at it
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{1, 4}));
    array::clear(buf);
    EXPECT_EQ(array::length(buf), 0u);
}

TEST_F(ArrayTest, CopyAndAppendBytes) {
    Node buf = array::make(4, 1);
    const uint8_t text[] = "hello";
    uint8_t* at = array::append_bytes(buf, text, 5);
    EXPECT_EQ(at, array::data(buf));
    Node twin = array::copy(buf);
    EXPECT_NE(twin, buf);
    EXPECT_EQ(series::buffer_of(twin)->unit(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(array::data(twin)), array::length(twin)), "hello");
    // Appending a buffer to itself, across a growth that moves it.
    for (int i = 0; i < 6; ++i) array::append_bytes(buf, array::data(buf), array::length(buf));
    EXPECT_EQ(array::length(buf), 5u * 64);
    std::string all(reinterpret_cast<char*>(array::data(buf)), array::length(buf));
    for (size_t i = 0; i < all.size(); i += 5) ASSERT_EQ(all.substr(i, 5), "hello");
    EXPECT_EQ(array::length(twin), 5u);  // the copy is its own
}

TEST_F(ArrayTest, PositionsOutsideTheUsedPartRaiseOutOfRange) {
    Node buf = array::make(4, 4);
    array::append_int(buf, 1);
    array::append_int(buf, 2);
    Node bytes = array::make(4, 1);
    array::append_byte(bytes, 9);
    struct Case {
        const char* what;
        void (*fn)(Node, Node);
    } cases[] = {
        {"pick 0", [](Node b, Node) { array::pick_int(b, 0); }},
        {"pick past", [](Node b, Node) { array::pick_int(b, 3); }},
        {"poke past", [](Node b, Node) { array::poke_ptr(b, 3, 1); }},
        {"insert past", [](Node b, Node) { array::insert_ptr(b, 1, 3); }},
        {"insert negative", [](Node b, Node) { array::insert_ptr(b, 1, -1); }},
        {"remove-at past", [](Node b, Node) { array::remove_at(b, 9, 4); }},
        {"pick-byte past", [](Node, Node y) { array::pick_byte(y, 2); }},
    };
    for (const Case& c : cases) EXPECT_EQ(test::raised_id([&] { c.fn(buf, bytes); }), "out-of-range") << c.what;
    EXPECT_EQ(ints(buf), (std::vector<uint32_t>{1, 2}));
}

}  // namespace
}  // namespace zel
