// Cell helpers and the datatype registry.
#include <cmath>
#include <cstring>
#include <limits>
#include "runtime/cells.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatype.h"
#include "runtime/memory.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class CellsTest : public test::RuntimeTest {};

TEST_F(CellsTest, TypeAndFlags) {
    Cell c;
    set_integer(&c, 5);
    c.header |= FLAG_NEW_LINE;
    cell::set_type(&c, TYPE_CHAR);
    EXPECT_EQ(cell::type(&c), uint32_t{TYPE_CHAR});
    EXPECT_TRUE(cell::new_line(&c));
    cell::clear_new_line(&c);
    EXPECT_FALSE(cell::new_line(&c));
    EXPECT_EQ(copy_cell(&c, &c), &c);
    EXPECT_TRUE(is_null_cell(&null_cell));
}

TEST_F(CellsTest, FloatPayloadRoundTrips) {
    for (double d : {0.0, -0.0, 1.5, -1e308, std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::infinity()}) {
        Cell c;
        set_float(&c, d);
        EXPECT_EQ(std::memcmp(&d, &c.w2, 8), 0);
        double back = cell::get_float(&c);
        EXPECT_EQ(std::memcmp(&d, &back, 8), 0);
    }
    Cell n;
    set_float(&n, std::nan(""));
    EXPECT_TRUE(std::isnan(cell::get_float(&n)));
}

TEST_F(CellsTest, TypesetMembershipUsesBytesFromWordOne) {
    Cell ts{TYPE_TYPESET, 0, 0, 0};
    auto* bytes = reinterpret_cast<uint8_t*>(&ts.w1);
    bytes[0] = 0x80;
    EXPECT_TRUE(typeset::contains(&ts, 0));
    for (uint32_t t = 1; t < 96; ++t) EXPECT_FALSE(typeset::contains(&ts, t));
    bytes[0] = 0;
    bytes[1] = 0x40;  // type id 9
    EXPECT_TRUE(typeset::contains(&ts, 9));
    EXPECT_FALSE(typeset::contains(&ts, 8));
}

TEST_F(CellsTest, CheckArgRaisesExpectArg) {
    Cell ts{TYPE_TYPESET, 0, 0, 0};
    reinterpret_cast<uint8_t*>(&ts.w1)[TYPE_INTEGER >> 3] |= 0x80 >> (TYPE_INTEGER & 7);
    Cell i, s{TYPE_STRING, 0, 0, 0}, u;
    set_integer(&i, 3);
    set_unset(&u);
    EXPECT_EQ(typeset::check_arg(&ts, 1, &i), &i);
    EXPECT_EQ(test::raised_id([&] { typeset::check_arg(&ts, 1, &s); }), "expect-arg");
    Cell off{TYPE_REFINEMENT, 0, 0, 0};
    EXPECT_EQ(typeset::check_optional(&off, &ts, 1, &s), &s);  // refinement not used: no check
    EXPECT_EQ(test::raised_id([&] { typeset::check_set(1, &u); }), "expect-arg");
}

TEST_F(CellsTest, NumberToInteger) {
    struct {
        double in;
        int32_t out;
        bool raises;
    } cases[] = {
        {2147483647.0, 2147483647, false}, {-2147483648.0, INT32_MIN, false}, {-2.7, -2, false},
        {2.9, 2, false},  {2147483648.0, 0, true}, {-2147483649.0, 0, true},
        {std::nan(""), 0, true}, {INFINITY, 0, true},
    };
    for (const auto& k : cases) {
        Cell c;
        set_float(&c, k.in);
        if (k.raises) {
            EXPECT_EQ(test::raised_id([&] { number::to_integer(&c); }), "out-of-range") << k.in;
        } else {
            EXPECT_EQ(number::to_integer(&c), k.out) << k.in;
        }
    }
    Cell i;
    set_integer(&i, -9);
    EXPECT_EQ(number::to_integer(&i), -9);
}

TEST_F(CellsTest, LocalValuesOfAContext) {
    Node values = series::alloc_cells(3);
    for (int i = 0; i < 3; ++i) set_integer(series::alloc_tail_cell(values), i * 10);
    Node ctx = series::alloc_cells(2);
    cell::set(series::alloc_tail_cell(ctx), TYPE_CONTEXT, 0, values);
    EXPECT_EQ(cell::get_int(context::local(ctx, 2)), 20);
    series::buffer_of(ctx)->head_cell()->w2 = 0;  // a function that is not running
    EXPECT_EQ(test::raised_id([&] { context::local(ctx, 0); }), "not-defined");
}

TEST_F(CellsTest, MoldIndentAppendsSpacesInTheUnit) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s;
        set_series(&s, TYPE_STRING, series::alloc_text(4, unit));
        EXPECT_EQ(mold::indent(&s, 2, 100), 92);
        SeriesBuffer* b = series::buffer_of(&s);
        ASSERT_EQ(b->length(), 8u);
        for (uint32_t i = 0; i < 8; ++i) {
            uint32_t ch = 0;
            std::memcpy(&ch, b->head_ptr() + i * unit, unit);
            EXPECT_EQ(ch, uint32_t{' '});
        }
    }
}

TEST_F(CellsTest, BufferRepeat) {
    for (size_t count : {1u, 2u, 3u, 7u, 8u, 33u}) {
        std::vector<uint8_t> buf(count * 3, 0);
        buf[0] = 'a';
        buf[1] = 'b';
        buf[2] = 'c';
        EXPECT_EQ(buffer::repeat(buf.data(), count, 3), buf.data() + count * 3);
        for (size_t i = 0; i < count * 3; ++i) ASSERT_EQ(buf[i], "abc"[i % 3]) << count;
    }
}

// The registry ------------------------------------------------------------

void fake_a() {}
void fake_b() {}

TEST_F(CellsTest, RegistryInheritsFromTheParentAtRegistration) {
    ActionFn parent_row[ACTION_SLOTS];
    ActionFn child_row[ACTION_SLOTS];
    for (int i = 0; i < ACTION_SLOTS; ++i) {
        parent_row[i] = i % 2 ? fake_a : nullptr;
        child_row[i] = datatype::INHERIT;
    }
    child_row[4] = fake_b;
    datatype::register_type(55, 0, "test-parent!", parent_row, ACTION_SLOTS);
    datatype::register_type(56, 55, "test-child!", child_row, ACTION_SLOTS);
    for (int s = 1; s <= ACTION_SLOTS; ++s) {
        if (s == 5) EXPECT_EQ(datatype::action(56, s), fake_b);
        else EXPECT_EQ(datatype::action(56, s), datatype::action(55, s)) << s;
    }
    EXPECT_EQ(datatype::entry(56).name_len, 10u);  // "test-child" without the "!"
    EXPECT_STREQ(datatype::name_of(56), "test-child!");
}

TEST_F(CellsTest, RegisteredTypesAfterStart) {
    // 55 and 56 are registered by the test above when run in order; the
    // runtime's own highest is image!.
    EXPECT_GE(datatype::highest_id(), uint32_t{TYPE_IMAGE});
    EXPECT_STREQ(datatype::name_of(TYPE_POINT2D), "point2D!");
    EXPECT_EQ(datatype::parent_of(TYPE_FILE), uint32_t{TYPE_URL});
    EXPECT_EQ(datatype::parent_of(TYPE_ERROR), uint32_t{TYPE_OBJECT});
    EXPECT_EQ(datatype::entry(TYPE_BLOCK).name_len, 5u);
}

}  // namespace
}  // namespace zel
