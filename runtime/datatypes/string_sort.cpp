// sort, swap and take on text.
#include <algorithm>
#include <cstring>
#include <utility>
#include "runtime/actions.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/ownership.h"
#include "runtime/sort.h"
#include "runtime/stack.h"

namespace zel::string {

namespace {

// The callback kind of a comparison function called by sort.
constexpr uint32_t CALLBACK_SORT = 4;

// How two records compare: the code point at `offset` of each, or with
// `whole` every code point of the record in turn.
struct Order {
    uint32_t unit;
    uint32_t record;  // code points per record
    uint32_t offset;
    bool whole;
    bool case_;
    bool reverse;
};

// Unit 1 folds only the ASCII letters; wider texts fold through the full
// upper-case mapping.
inline uint32_t sort_key(uint32_t c, const Order& o) {
    if (o.case_) return c;
    if (o.unit == 1) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return fold(c);
}

int compare_records(const void* a, const void* b, void* u, void* /*v*/) {
    const Order& o = *static_cast<const Order*>(u);
    auto pa = static_cast<const uint8_t*>(a);
    auto pb = static_cast<const uint8_t*>(b);
    uint32_t from = o.whole ? 0 : o.offset;
    uint32_t to = o.whole ? o.record : o.offset + 1;
    int r = 0;
    for (uint32_t i = from; i < to && r == 0; ++i) {
        uint32_t ca = sort_key(get_char(pa + i * o.unit, o.unit), o);
        uint32_t cb = sort_key(get_char(pb + i * o.unit, o.unit), o);
        r = ca < cb ? -1 : (ca > cb ? 1 : 0);
    }
    return o.reverse ? -r : r;
}

[[noreturn]] void bad_refines() { fire(ERR_SCRIPT, "bad-refines"); }

// A user comparison function: called with two char! values, or with /all
// and /skip with two strings holding the records.
struct CallOrder {
    const Cell* fn;  // on the argument stack, which keeps it alive
    uint32_t unit;
    uint32_t record;
    bool whole;
    bool reverse;
};

Cell record_value(const uint8_t* p, const CallOrder& o) {
    Cell v;
    if (!o.whole) return *cell::set(&v, TYPE_CHAR, 0, get_char(p, o.unit));
    make_in(&v, o.record, o.unit);
    SeriesBuffer* buf = series::buffer_of(&v);
    std::memcpy(buf->head_ptr(), p, size_t{o.record} * o.unit);
    buf->tail = buf->head + o.record * o.unit;
    return v;
}

// The function's answer in the sort's terms (negative: a goes first). The
// function answers true, a negative number or a positive float when its
// first argument goes first.
int call_compare(const void* a, const void* b, void* u, void* /*v*/) {
    const CallOrder& o = *static_cast<const CallOrder*>(u);
    if (o.reverse) std::swap(a, b);
    Cell args[2] = {record_value(static_cast<const uint8_t*>(a), o), record_value(static_cast<const uint8_t*>(b), o)};
    static const uint32_t sort_word = symbol::make("sort");
    const Cell* r = interpreter::call_with(o.fn, args, 2, sort_word, CALLBACK_SORT);
    switch (cell::type(r)) {
        case TYPE_LOGIC: return r->w1 ? -1 : 1;
        case TYPE_INTEGER: return integer::sign(cell::get_int(r));
        case TYPE_FLOAT: {
            double f = cell::get_float(r);
            return f > 0.0 ? 1 : (f < 0.0 ? -1 : 0);
        }
        case TYPE_NONE: return 1;
        default: return -1;
    }
}

// Writes the sorted characters back one by one at the text's width now: the
// function may have widened the text (appending a wider character) since
// the characters were copied at the old width.
void store_chars(Node node, uint64_t offset, const uint8_t* records, uint64_t bytes, void* u) {
    const CallOrder& o = *static_cast<const CallOrder*>(u);
    SeriesBuffer* buf = series::buffer_of(node);
    uint64_t first = offset / o.unit, count = bytes / o.unit;
    uint64_t length = (buf->tail - buf->head) / unit_of(buf);
    if (first + count > length) fire(ERR_SCRIPT, "past-end");
    if (unit_of(buf) == o.unit) {
        std::memcpy(buf->head_ptr() + offset, records, bytes);
        return;
    }
    for (uint64_t i = 0; i < count; ++i)
        buf = overwrite_char(buf, static_cast<uint32_t>(first + i), get_char(records + i * o.unit, o.unit));
}

}  // namespace

Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable) {
    uint32_t h = head_index(series);
    int64_t len = rs_length_q(series);
    if (part) {
        int32_t count = support::part_count(series, part);
        if (count < 0) {
            if (-static_cast<int64_t>(count) > h) {
                series->w1 = 0;
                return series;
            }
            h -= static_cast<uint32_t>(-count);
            series->w1 = h;
            len = -static_cast<int64_t>(count);
        } else {
            len = std::min<int64_t>(len, count);
        }
    }
    Order o{unit_of(series::buffer_of(series)), 1, 0, false, case_, reverse};
    if (skip) {
        int32_t n = cell::get_int(skip);
        if (n < 1 || len % n != 0 || len < n) support::refine_error("skip", skip);
        o.record = static_cast<uint32_t>(n);
        o.whole = all;
    } else if (all) {
        bad_refines();
    }
    bool by_function = comparator && cell::type(comparator) == TYPE_FUNCTION;
    if (comparator && !by_function) {
        if (cell::type(comparator) != TYPE_INTEGER) support::refine_error("compare", comparator);
        if (!skip || all) bad_refines();
        int32_t k = cell::get_int(comparator);
        if (k < 1 || static_cast<uint32_t>(k) > o.record) fire(ERR_SCRIPT, "out-of-range", comparator);
        o.offset = static_cast<uint32_t>(k - 1);
    }
    if (len <= 0) return series;
    bool told = support::announce(series, ownership::EV_SORT, nullptr, static_cast<int32_t>(h),
                                  static_cast<int32_t>(len));
    size_t n = static_cast<size_t>(len) / o.record;
    size_t width = size_t{o.unit} * o.record;
    if (by_function) {
        // The function may run the collector or raise: the records are
        // sorted in a private copy and written back at the end.
        CallOrder call{comparator, o.unit, o.record, o.whole, reverse};
        sort::sort_series(series->w2, uint64_t{h} * o.unit, n, width, &call, nullptr, call_compare, stable,
                          store_chars);
    } else {
        uint8_t* base = series::buffer_of(series)->head_ptr() + uint64_t{h} * o.unit;
        // Stable whenever asked, with or without /case: records that compare
        // equal on their key may still differ elsewhere.
        if (stable) sort::merge_sort(base, n, width, &o, nullptr, compare_records);
        else sort::sort(base, n, width, &o, nullptr, compare_records);
    }
    support::announce_after(told, series, ownership::EV_SORT, nullptr, static_cast<int32_t>(h),
                            static_cast<int32_t>(len));
    return series;
}

Cell* swap(Cell* a, Cell* b) {
    uint32_t tb = cell::type(b);
    if (!is_family(tb) && tb != TYPE_BINARY) fire(ERR_SCRIPT, "invalid-arg", b);
    if (rs_length_q(a) <= 0 || rs_length_q(b) <= 0) return a;
    uint32_t ha = head_index(a), hb = head_index(b);
    uint32_t ca = get_char_at(a, ha), cb = get_char_at(b, hb);
    // A byte series holds bytes only: a wider code point cannot go there.
    if (tb == TYPE_BINARY && ca > 0xFF) fire(ERR_SCRIPT, "invalid-arg", a);
    bool told_a = support::announce(a, ownership::EV_SWAP, b, static_cast<int32_t>(ha), 1);
    bool told_b = support::announce(b, ownership::EV_SWAP, a, static_cast<int32_t>(hb), 1);
    overwrite_char(series::buffer_of(a), ha, cb);
    overwrite_char(series::buffer_of(b), hb, ca);
    support::announce_after(told_a, a, ownership::EV_SWAP, b, static_cast<int32_t>(ha), 1);
    support::announce_after(told_b, b, ownership::EV_SWAP, a, static_cast<int32_t>(hb), 1);
    return a;
}

Cell* take(Cell* series, Cell* part, bool deep, bool last) {
    ActionFn series_take = datatype::action(TYPE_SERIES, ACT_TAKE);
    if (!series_take) fire(ERR_INTERNAL, "not-done");
    Cell* taken = actions::typed<actions::TakeFn>(series_take)(series, part, deep, last);
    if (part || !is_family(cell::type(taken)) || rs_length_q(taken) != 1) return taken;
    Cell c;
    return stack::push(cell::set(&c, TYPE_CHAR, 0, get_char_at(taken, head_index(taken))));
}

}  // namespace zel::string
