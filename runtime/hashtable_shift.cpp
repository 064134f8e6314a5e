// Keeping a hash! table's stored indexes right while the block's cells move
// (insert, remove, take, move): the buckets and chains of the moved cells
// get their new indexes, and the index series follows the cells.
#include <algorithm>
#include <cstring>
#include <vector>
#include "runtime/array.h"
#include "runtime/hashtable.h"
#include "runtime/hashtable_internal.h"

namespace zel::hashtable {

using namespace detail;

namespace {

constexpr uint32_t SHIFT_LIMIT = 30000;

// Applies `perm` to the stored indexes of every bucket that holds one of
// the cells [lo, hi): a plain bucket once, a chain once per call (all of
// its indexes). The chains done are remembered for this call only.
template <typename Perm>
void renumber(Node table, uint32_t lo, uint32_t hi, Perm perm) {
    Record* r = record(table);
    std::vector<bool> chain_done(array::length(r->chains) + 1, false);
    uint32_t entries = series::buffer_of(r->indexes)->size / 4;
    hi = std::min(hi, entries);
    for (uint32_t i = lo; i < hi; ++i) {
        r = record(table);
        uint32_t entry = reinterpret_cast<const uint32_t*>(series::buffer_of(r->indexes)->data())[i];
        if (entry == CHAIN_MARK_NONE || entry == 0 || entry > r->buckets) continue;
        uint32_t bucket = entry - 1;
        if (!is_live(flag_bytes(r), bucket)) continue;
        uint32_t* keys = key_words(r);
        int32_t ref = static_cast<int32_t>(keys[bucket]);
        if (ref >= 0) {
            if (static_cast<uint32_t>(ref) == i) keys[bucket] = perm(i);
            continue;
        }
        uint32_t n = 0u - static_cast<uint32_t>(ref);
        if (n >= chain_done.size() || chain_done[n]) continue;
        chain_done[n] = true;
        Node chain = array::pick_ptr(r->chains, n);
        if (!chain) continue;
        auto* items = reinterpret_cast<uint32_t*>(array::data(chain));
        uint32_t count = array::length(chain);
        for (uint32_t k = 0; k < count; ++k) items[k] = perm(items[k]);
    }
}

// Moves the index series entries of [from, from + count) by `offset`,
// marking the entries left behind as having no bucket.
void move_index_entries(Node table, uint32_t from, uint32_t count, int64_t offset) {
    int64_t to = int64_t{from} + offset;
    if (to < 0 || count == 0) return;
    reserve_indexes(table, static_cast<uint64_t>(std::max<int64_t>(to + count, int64_t{from} + count)));
    auto* e = reinterpret_cast<uint32_t*>(series::buffer_of(record(table)->indexes)->data());
    std::vector<uint32_t> moved(e + from, e + from + count);
    std::fill(e + from, e + from + count, CHAIN_MARK_NONE);
    std::copy(moved.begin(), moved.end(), e + to);
}

}  // namespace

int shift_keys(Node table, int32_t offset, uint32_t start, uint32_t count, bool move_index) {
    if (count > SHIFT_LIMIT) return 1;
    if (move_index && offset < 0) {
        uint32_t gone = static_cast<uint32_t>(-static_cast<int64_t>(offset));
        uint32_t from = start > gone ? start - gone : 0;
        for (uint32_t i = from; i < start; ++i) remove_hash_cell(table, i);
    }
    uint64_t end = uint64_t{start} + count;
    renumber(table, start, static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX)), [&](uint32_t e) {
        return e >= start && e < end ? static_cast<uint32_t>(int64_t{e} + offset) : e;
    });
    if (move_index) move_index_entries(table, start, count, offset);
    return 0;
}

void move(Node table, uint32_t target, uint32_t start, uint32_t count) {
    if (count == 0 || (target >= start && target < start + count)) return;
    int64_t d = int64_t{target} - start;
    if (d > 0) d -= count - 1;
    if (d == 0) return;
    int64_t s = start, c = count;
    // The moved run goes by d; the cells it passes over go the other way.
    auto perm = [=](uint32_t e) -> uint32_t {
        int64_t x = e;
        if (x >= s && x < s + c) return static_cast<uint32_t>(x + d);
        if (d > 0 && x >= s + c && x < s + c + d) return static_cast<uint32_t>(x - c);
        if (d < 0 && x >= s + d && x < s) return static_cast<uint32_t>(x + c);
        return e;
    };
    int64_t lo = std::min(s, s + d), hi = std::max(s + c, s + c + d);
    if (lo < 0) return;
    renumber(table, static_cast<uint32_t>(lo), static_cast<uint32_t>(hi), perm);
    // Rotate the index series entries of the affected range the same way.
    reserve_indexes(table, static_cast<uint64_t>(hi));
    auto* e = reinterpret_cast<uint32_t*>(series::buffer_of(record(table)->indexes)->data());
    std::vector<uint32_t> old(e + lo, e + hi);
    for (int64_t x = lo; x < hi; ++x) e[perm(static_cast<uint32_t>(x))] = old[x - lo];
}

}  // namespace zel::hashtable
