// The set operations on blocks (unique, union, intersect, exclude,
// difference): records of one or more cells keyed on their first cell,
// with hash tables for the result and for membership tests.
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/errors.h"
#include "runtime/hashtable.h"
#include "runtime/stack.h"

namespace zel::block {

namespace {

// A block carrying a hash table in word 3 while the operation runs, so that
// the collector sees the table as part of a hash! value.
struct Indexed {
    collector::RootedCell cell;
    Node table = 0;

    // A table over the block's cells, or the block's own table for a hash!.
    explicit Indexed(const Cell* blk) : cell(*blk) {
        if (cell::type(blk) == TYPE_HASH && blk->w3) {
            table = blk->w3;
        } else {
            table = hashtable::make(length_from_head(blk), blk, hashtable::KIND_HASH, 0);
            cell->header = TYPE_HASH;
            cell->w3 = table;
        }
    }
    // An empty result block with its table, room for `capacity` cells.
    explicit Indexed(int64_t capacity) {
        make_at(cell.get(), static_cast<int32_t>(capacity < 1 ? 1 : capacity));
        table = hashtable::make(capacity, cell.get(), hashtable::KIND_HASH, 0);
        cell->header = TYPE_HASH;
        cell->w3 = table;
    }
    bool has(Cell* key, int64_t head, int64_t step, int32_t op) const {
        return hashtable::find(table, key, static_cast<int32_t>(head), static_cast<int32_t>(step), op, false, false) !=
               nullptr;
    }
};

}  // namespace

void do_set_op(bool case_, Cell* skip, int32_t op) {
    Cell* first = stack::arguments;
    Cell* second = first + 1;
    int64_t size = 1;
    if (skip) {
        if (cell::type(skip) != TYPE_INTEGER || cell::get_int(skip) < 1) series::bad_refine("skip", skip);
        size = cell::get_int(skip);
    }
    bool two = op != SET_UNIQUE;
    series::get_length(first, false);
    if (two) series::get_length(second, false);
    int64_t capacity = length_from_head(first) + (op == SET_UNION ? length_from_head(second) : 0);
    int32_t cmp = case_ ? COMP_STRICT_EQUAL : COMP_FIND;
    bool hashed = cell::type(first) == TYPE_HASH || (two && cell::type(second) == TYPE_HASH);
    uint32_t result_type = hashed ? TYPE_HASH : cell::type(first);

    Indexed result(capacity);
    // Adds the records of `src` whose key passes the membership test.
    auto pass = [&](const Cell* src, const Indexed* other, const Cell* other_series, bool keep_present) {
        Cell s = *src;
        for (int64_t i = index_of(&s); i < cell_count(&s); i += size) {
            Cell key = *cell_ptr(&s, i);
            if (other && other->has(&key, index_of(other_series), size, cmp) != keep_present) continue;
            if (result.has(&key, 0, size, cmp)) continue;
            int64_t at = cell_count(result.cell.get());
            for (int64_t j = 0; j < size && i + j < cell_count(&s); ++j) {
                Cell v = *cell_ptr(&s, i + j);
                append_copy(result.cell.get(), &v);
            }
            hashtable::put(result.table, cell_ptr(result.cell.get(), at));
        }
    };
    switch (op) {
        case SET_UNIQUE: pass(first, nullptr, nullptr, true); break;
        case SET_UNION:
            pass(first, nullptr, nullptr, true);
            pass(second, nullptr, nullptr, true);
            break;
        case SET_INTERSECT:
        case SET_EXCLUDE: {
            Indexed other(second);
            pass(first, &other, second, op == SET_INTERSECT);
            break;
        }
        case SET_DIFFERENCE: {
            Indexed in_second(second);
            pass(first, &in_second, second, false);
            Indexed in_first(first);
            pass(second, &in_first, first, false);
            break;
        }
        default: sys::runtime_error(101, ZEL_HERE());
    }
    Cell out = *result.cell.get();
    out.header = result_type;
    out.w1 = 0;
    if (!hashed) out.w3 = 0;
    copy_cell(&out, first);
}

}  // namespace zel::block
