// The stable natural merge sort, the entry points of both sorts, and the
// series entry that sorts a private copy (see sort.h for why).
#include "runtime/sort.h"
#include <algorithm>
#include <memory>
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/sort_records.h"

namespace zel::sort {

void swap(void* a, void* b, size_t bytes, bool bytewise) {
    auto* p = static_cast<uint8_t*>(a);
    auto* q = static_cast<uint8_t*>(b);
    if (!bytewise) {
        for (; bytes >= 4; bytes -= 4, p += 4, q += 4) {
            uint32_t x, y;
            std::memcpy(&x, p, 4);
            std::memcpy(&y, q, 4);
            std::memcpy(p, &y, 4);
            std::memcpy(q, &x, 4);
        }
    }
    for (; bytes > 0; --bytes, ++p, ++q) std::swap(*p, *q);
}

namespace detail {
namespace {

// One stable sort: natural runs (descending ones reversed), short runs
// extended by insertion, and runs merged in the order their node powers give
// (powersort), which keeps merges balanced on any mix of run lengths.
template <typename R>
struct Merger {
    R rec;
    const Callback cmp;  // by value: stays in registers across the calls
    uint8_t* base;
    size_t n;
    uint8_t* work;

    uint8_t* at(size_t i) const { return base + i * rec.w(); }

    void reverse(size_t lo, size_t hi) {
        while (hi > lo + 1) rec.swap(at(lo++), at(--hi));
    }

    // Inserts records [from, to) one by one into the sorted run [start, from);
    // a record moves back only past records that compare greater. The work
    // area is free while runs are found, so it holds the moving record.
    void insertion(size_t start, size_t from, size_t to) {
        const size_t w = rec.w();
        for (size_t i = from; i < to; ++i) {
            size_t j = i;
            while (j > start && cmp(at(j - 1), at(i)) > 0) --j;
            if (j == i) continue;
            rec.copy(work, at(i));
            std::memmove(at(j + 1), at(j), (i - j) * w);
            rec.copy(at(j), work);
        }
    }

    // The end of the natural run at `start`, at least MIN_RUN records long
    // (or to the end). A strictly descending run is reversed, which keeps
    // stability since it holds no equal neighbours.
    size_t find_run(size_t start) {
        size_t end = start + 1;
        if (end < n) {
            if (cmp(at(start), at(end)) <= 0) {
                for (++end; end < n && cmp(at(end - 1), at(end)) <= 0;) ++end;
            } else {
                for (++end; end < n && cmp(at(end - 1), at(end)) > 0;) ++end;
                reverse(start, end);
            }
        }
        size_t want = std::min(n, start + MIN_RUN);
        if (end < want) {
            insertion(start, end, want);
            end = want;
        }
        return end;
    }

    // The node power of the boundary between runs [s1, e1) and [s2, e2): the
    // first binary digit at which their midpoints, as fractions of n, differ.
    int node_power(size_t s1, size_t e1, size_t s2, size_t e2) const {
        uint64_t a = s1 + e1, b = s2 + e2;  // twice the midpoints, below 2n
        int power = 0;
        for (;;) {
            bool high_a = n <= a, high_b = n <= b;
            if (high_a != high_b) break;
            ++power;
            if (high_a) {
                a -= n;
                b -= n;
            }
            a *= 2;
            b *= 2;
        }
        return power + 1;
    }

    // Merges the sorted runs [s, m) and [m, e) through the work area, which
    // takes the shorter run. Ties take the left record, so equal records keep
    // their input order.
    void merge(size_t s, size_t m, size_t e) {
        const size_t w = rec.w();
        if (m - s <= e - m) {
            size_t len = (m - s) * w;
            std::memcpy(work, at(s), len);
            uint8_t *b = work, *bend = work + len, *right = at(m), *rend = at(e), *out = at(s);
            while (b < bend && right < rend) {
                if (cmp(b, right) <= 0) {
                    rec.copy(out, b);
                    b += w;
                } else {
                    rec.copy(out, right);
                    right += w;
                }
                out += w;
            }
            std::memcpy(out, b, static_cast<size_t>(bend - b));
        } else {
            size_t len = (e - m) * w;
            std::memcpy(work, at(m), len);
            uint8_t *b = work + len, *left = at(m), *lstart = at(s), *out = at(e);
            while (b > work && left > lstart) {
                out -= w;
                if (cmp(left - w, b - w) > 0) {
                    left -= w;
                    rec.copy(out, left);
                } else {
                    b -= w;
                    rec.copy(out, b);
                }
            }
            std::memcpy(lstart, work, static_cast<size_t>(b - work));
        }
    }

    void run() {
        // Powers on the stack strictly increase and stay below 66 for any n
        // that fits 64 bits.
        struct Entry {
            size_t start;
            int power;
        } stack[80];
        int top = 0;
        size_t s1 = 0, e1 = find_run(0);
        while (e1 < n) {
            size_t s2 = e1, e2 = find_run(s2);
            int power = node_power(s1, e1, s2, e2);
            while (top > 0 && stack[top - 1].power > power) {
                --top;
                merge(stack[top].start, s1, e1);
                s1 = stack[top].start;
            }
            stack[top++] = {s1, power};
            s1 = s2;
            e1 = e2;
        }
        while (top > 0) {
            --top;
            merge(stack[top].start, s1, n);
            s1 = stack[top].start;
        }
    }
};

}  // namespace

void merge_sort_in(uint8_t* base, size_t n, size_t w, uint8_t* work, const Callback& cmp) {
    if (n < 2) return;
    with_width(w, [&](auto rec) { Merger<decltype(rec)>{rec, cmp, base, n, work}.run(); });
}

}  // namespace detail

namespace {

// Heap blocks owned by a C++ scope: freed even when a callback raises an error.
struct HeapFree {
    void operator()(uint8_t* p) const { sys::free(p); }
};
using HeapBlock = std::unique_ptr<uint8_t, HeapFree>;

// Bytes of n records of w bytes, refused with `too-long` beyond 32 bits.
uint64_t records_bytes(uint64_t n, uint64_t w) {
    if (w != 0 && n > UINT32_MAX / w) fire(ERR_SCRIPT, "too-long");
    return n * w;
}

}  // namespace

void merge_sort(void* base, size_t n, size_t w, void* u, void* v, Compare cmp) {
    if (n < 2 || w == 0) return;
    HeapBlock work(static_cast<uint8_t*>(sys::alloc(records_bytes(n / 2, w))));
    detail::merge_sort_in(static_cast<uint8_t*>(base), n, w, work.get(), detail::Callback{cmp, u, v});
}

void sort(void* base, size_t n, size_t w, void* u, void* v, Compare cmp) {
    if (n < 2 || w == 0) return;
    detail::quick_sort_in(static_cast<uint8_t*>(base), n, w, detail::Callback{cmp, u, v});
}

namespace {

// The private copy of a series sort: a fixed series (never moved by the
// collector) holding the records and the merge sort's work area, rooted so
// that the values it holds stay alive whatever the callback does to the
// series being sorted. Freed when the scope ends, normally or by an error.
struct SortCopy {
    Node node;
    explicit SortCopy(uint64_t bytes, uint32_t unit) {
        node = series::alloc_fixed(bytes / unit, unit, 0);
        SeriesBuffer* b = series::buffer_of(node);
        std::memset(b->data(), 0, b->size);  // null cells until the records arrive
        b->tail = static_cast<uint32_t>(bytes);
    }
    ~SortCopy() {
        sys::free(series::buffer_of(node));
        memory::free_node(node);
    }
    SortCopy(const SortCopy&) = delete;
    SortCopy& operator=(const SortCopy&) = delete;
    uint8_t* data() const { return series::buffer_of(node)->data(); }
};

// The address of the records in the series, or past-end when they no longer fit.
uint8_t* series_records(Node node, uint64_t offset, uint64_t bytes) {
    SeriesBuffer* b = series::buffer_of(node);
    uint64_t used = b->tail > b->head ? b->tail - b->head : 0;
    if (offset > used || bytes > used - offset) fire(ERR_SCRIPT, "past-end");
    return b->head_ptr() + offset;
}

}  // namespace

void sort_series(Node node, uint64_t offset, uint64_t n, uint64_t w, void* u, void* v, Compare cmp,
                 bool stable, Store store) {
    if (n < 2 || w == 0) return;
    uint64_t bytes = records_bytes(n, w);
    uint64_t work = stable ? records_bytes(n / 2, w) : 0;
    series_records(node, offset, bytes);
    if (bytes + work > UINT32_MAX - 16) fire(ERR_SCRIPT, "too-long");
    uint32_t unit = series::buffer_of(node)->unit();
    if (unit == 0 || (bytes + work) % unit != 0) unit = 1;

    SortCopy copy(bytes + work, unit);
    collector::RootedCell root;
    set_series(root.get(), unit == sizeof(Cell) ? TYPE_BLOCK : TYPE_BINARY, copy.node);
    uint8_t* records = copy.data();
    std::memcpy(records, series_records(node, offset, bytes), bytes);

    detail::Callback callback{cmp, u, v};
    if (stable)
        detail::merge_sort_in(records, n, w, records + bytes, callback);
    else
        detail::quick_sort_in(records, n, w, callback);

    if (store) {
        store(node, offset, records, bytes, u);
        return;
    }
    // The callback may have moved or shortened the series: look it up again.
    std::memcpy(series_records(node, offset, bytes), records, bytes);
}

}  // namespace zel::sort
