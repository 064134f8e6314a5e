// Sorting blocks in place: records of one or more cells, ordered by the
// compare slot of the values (op 7, or op 8 with /case), by one chosen cell
// of each record, or by a user function.
#include <utility>
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"
#include "runtime/sort.h"

namespace zel::block {

namespace {

struct Options {
    int32_t op;
    bool reverse;
    bool all;        // compare every cell of the records, in order
    int64_t size;    // cells per record
    int64_t offset;  // the compared cell of each record
    Cell fn;         // the comparator function (header 0: none)
    Cell* scratch_a; // blocks that carry whole records to a function
    Cell* scratch_b;
};

// Types whose compare is done in place and assumes two values of one type.
inline bool compared_in_place(uint32_t t) {
    return t == TYPE_LOGIC || t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_OP || t == TYPE_FUNCTION ||
           t == TYPE_ROUTINE;
}

// The ordering of two values; values that cannot be compared order by type.
int compare_values(const Cell* x, const Cell* y, int32_t op) {
    Cell a = *x, b = *y;
    uint32_t ta = cell::type(&a), tb = cell::type(&b);
    if (ta == TYPE_INTEGER && tb == TYPE_INTEGER) {
        // The common case, without a dispatch.
        int32_t i = cell::get_int(&a), j = cell::get_int(&b);
        return (i > j) - (i < j);
    }
    if (ta != tb && (compared_in_place(ta) || compared_in_place(tb))) return ta < tb ? -1 : 1;
    int32_t r = actions::compare_int(&a, &b, op);
    if (r == NOT_COMPARABLE) return ta < tb ? -1 : ta > tb ? 1 : 0;
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int compare_records(const void* pa, const void* pb, void* u, void*) {
    auto* o = static_cast<const Options*>(u);
    const Cell* a = static_cast<const Cell*>(pa);
    const Cell* b = static_cast<const Cell*>(pb);
    if (o->reverse) std::swap(a, b);
    if (!o->all) return compare_values(a + o->offset, b + o->offset, o->op);
    for (int64_t i = 0; i < o->size; ++i)
        if (int r = compare_values(a + i, b + i, o->op)) return r;
    return 0;
}

// Fills a scratch block with a copy of one record.
const Cell* record_block(Cell* scratch, const Cell* record, int64_t size) {
    rs_clear(scratch);
    for (int64_t i = 0; i < size; ++i) append_copy(scratch, record + i);
    return scratch;
}

// A function's answer as an ordering: true after, false before, numbers by sign.
int ordering_of(const Cell* r) {
    switch (cell::type(r)) {
        case TYPE_LOGIC: return r->w1 ? 1 : -1;
        case TYPE_INTEGER: {
            int32_t i = cell::get_int(r);
            return i < 0 ? -1 : i > 0 ? 1 : 0;
        }
        case TYPE_FLOAT: {
            double d = cell::get_float(r);
            return d > 0 ? 1 : d < 0 ? -1 : 0;
        }
        case TYPE_NONE: return -1;
        default: return 1;
    }
}

// The records reach the function from the sort's private copy, which the
// collector never moves; the function may change the block itself freely.
int call_function(const void* pa, const void* pb, void* u, void*) {
    auto* o = static_cast<Options*>(u);
    const Cell* a = static_cast<const Cell*>(pa);
    const Cell* b = static_cast<const Cell*>(pb);
    Cell x, y;
    if (o->all && o->size > 1) {
        x = *record_block(o->scratch_a, a, o->size);
        y = *record_block(o->scratch_b, b, o->size);
    } else {
        x = *a;
        y = *b;
    }
    const Cell* r = o->reverse ? call_comparator(&o->fn, &x, &y) : call_comparator(&o->fn, &y, &x);
    return ordering_of(r);
}

inline bool any_function(uint32_t t) {
    return t == TYPE_FUNCTION || t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_OP || t == TYPE_ROUTINE;
}

}  // namespace

Cell* sort(Cell* blk, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse, bool stable) {
    int64_t n = series::get_length(blk, false);
    int64_t idx = index_of(blk);
    if (part) {
        int64_t c = series::part_count(blk, part);
        if (c < 0) {
            // Sorts the cells before the head and moves the head back to them.
            int64_t from = idx + c < 0 ? 0 : idx + c;
            n = idx - from;
            idx = from;
            blk->w1 = static_cast<uint32_t>(idx);
        } else if (c < n) {
            n = c;
        }
    }
    if (n == 0) return blk;
    int64_t size = 1;
    if (skip) {
        if (cell::type(skip) != TYPE_INTEGER) series::bad_refine("skip", skip);
        size = cell::get_int(skip);
        if (size < 1 || size > n || n % size != 0) series::bad_refine("skip", skip);
    }
    if (all && !skip) fire(ERR_SCRIPT, "bad-refines");
    Options o{case_ ? COMP_CASE_SORT : COMP_SORT, reverse, all, size, 0, {}, nullptr, nullptr};
    sort::Compare cmp = compare_records;
    if (comparator) {
        uint32_t t = cell::type(comparator);
        if (t == TYPE_INTEGER) {
            if (!skip || all) fire(ERR_SCRIPT, "bad-refines");
            int32_t off = cell::get_int(comparator);
            if (off < 1 || off > size) fire(ERR_SCRIPT, "out-of-range", comparator);
            o.offset = off - 1;
        } else if (any_function(t)) {
            o.fn = *comparator;
            cmp = call_function;
        } else {
            series::bad_refine("compare", comparator);
        }
    }
    if (n < 2 || n / size < 2) return blk;
    collector::RootedCell scratch_a, scratch_b;
    if (cmp == call_function && all && size > 1) {
        make_at(scratch_a.get(), static_cast<int32_t>(size));
        make_at(scratch_b.get(), static_cast<int32_t>(size));
        o.scratch_a = scratch_a.get();
        o.scratch_b = scratch_b.get();
    }
    int32_t idx32 = static_cast<int32_t>(idx), n32 = static_cast<int32_t>(n);
    bool told = ownership::before(blk, ownership::EV_SORT, nullptr, idx32, n32);
    sort::sort_series(blk->w2, uint64_t(idx) * sizeof(Cell), uint64_t(n / size), uint64_t(size) * sizeof(Cell), &o,
                      nullptr, cmp, stable);
    ownership::after_if(told, blk, ownership::EV_SORT, nullptr, idx32, n32);
    return blk;
}

}  // namespace zel::block
