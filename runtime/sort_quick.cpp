// The unstable sort: a presort scan that recognises sorted, reversed and
// mostly sorted input in about one pass, then a quicksort that draws its
// pivots from a sorted sample it grows as it goes. No allocation.
#include <algorithm>
#include "runtime/sort_records.h"

namespace zel::sort::detail {
namespace {

// Parts of more than this many records draw a strided sample before the
// first partition instead of taking a median of three.
constexpr size_t SMALL_PART = 511;
// The first sample drawn from a large part.
constexpr size_t FIRST_SAMPLE = 63;

template <typename R>
struct Quick {
    R rec;
    const Callback cmp;  // by value: stays in registers across the calls

    size_t w() const { return rec.w(); }
    uint8_t* at(uint8_t* base, size_t i) const { return base + i * rec.w(); }

    void reverse(uint8_t* base, size_t lo, size_t hi) const {
        while (hi > lo + 1) rec.swap(at(base, lo++), at(base, --hi));
    }

    // Exchanges `count` records at a with `count` records at b (the areas do not overlap).
    void swap_blocks(uint8_t* a, uint8_t* b, size_t count) const {
        for (size_t i = 0; i < count; ++i) rec.swap(at(a, i), at(b, i));
    }

    // [lo, mid) [mid, hi) becomes [mid, hi) [lo, mid), each keeping its order.
    void rotate(uint8_t* base, size_t lo, size_t mid, size_t hi) const {
        reverse(base, lo, mid);
        reverse(base, mid, hi);
        reverse(base, lo, hi);
    }

    // Insertion by swaps: parts this small are not worth a partition.
    void insertion(uint8_t* base, size_t n) const {
        for (size_t i = 1; i < n; ++i)
            for (size_t j = i; j > 0 && cmp(at(base, j - 1), at(base, j)) > 0; --j) rec.swap(at(base, j - 1), at(base, j));
    }

    void sift_down(uint8_t* base, size_t root, size_t n) const {
        for (size_t child; (child = 2 * root + 1) < n; root = child) {
            if (child + 1 < n && cmp(at(base, child), at(base, child + 1)) < 0) ++child;
            if (cmp(at(base, root), at(base, child)) >= 0) return;
            rec.swap(at(base, root), at(base, child));
        }
    }

    // The fallback when partitions keep coming out lopsided: n log n whatever the input.
    void heap_sort(uint8_t* base, size_t n) const {
        for (size_t i = n / 2; i-- > 0;) sift_down(base, i, n);
        for (size_t end = n; end-- > 1;) {
            rec.swap(at(base, 0), at(base, end));
            sift_down(base, 0, end);
        }
    }

    // Brings records spread through [from, n) at an even stride into [from, to),
    // so that a sample region represents the whole part, not just its start.
    void gather(uint8_t* base, size_t from, size_t to, size_t n) const {
        size_t stride = (n - from) / (to - from);
        if (stride < 2) return;
        for (size_t i = 0; i < to - from; ++i) rec.swap(at(base, from + i), at(base, from + i * stride));
    }

    // Orders three records (a median of three).
    void sort3(uint8_t* a, uint8_t* b, uint8_t* c) const {
        if (cmp(a, b) > 0) rec.swap(a, b);
        if (cmp(b, c) > 0) {
            rec.swap(b, c);
            if (cmp(a, b) > 0) rec.swap(a, b);
        }
    }

    // Three-way partition of [lo, hi) around the pivot record at lo - 1.
    // Equal records gather at the left end as they are met and then move,
    // with the pivot, between the lesser and the greater ones. Returns the
    // number of lesser records and of equal ones (the pivot included); the
    // lesser ones end at lo - 1, the equal ones follow, then the greater.
    std::pair<size_t, size_t> partition(uint8_t* base, size_t lo, size_t hi) const {
        const uint8_t* pivot = at(base, lo - 1);
        size_t eq = lo, i = lo, j = hi;
        for (;;) {
            while (i < j) {
                int c = cmp(at(base, i), pivot);
                if (c > 0) break;
                if (c == 0) {
                    if (i != eq) rec.swap(at(base, i), at(base, eq));
                    ++eq;
                }
                ++i;
            }
            bool j_equal = false;
            while (i < j) {
                int c = cmp(at(base, j - 1), pivot);
                if (c <= 0) {
                    j_equal = c == 0;
                    break;
                }
                --j;
            }
            if (i >= j) break;
            rec.swap(at(base, i), at(base, --j));
            if (j_equal) {
                if (i != eq) rec.swap(at(base, i), at(base, eq));
                ++eq;
            }
            ++i;
        }
        // [lo - 1, eq) equal, [eq, i) lesser: swap the shorter end over.
        size_t equal = eq - (lo - 1), lesser = i - eq;
        size_t m = std::min(equal, lesser);
        swap_blocks(at(base, lo - 1), at(base, i - m), m);
        return {lesser, equal};
    }

    // Sorts n records of which the first a (a > 0) or the last -a (a < 0)
    // are already sorted; that sorted sample supplies the pivots. `budget`
    // counts the lopsided partitions still allowed before heap sort takes over.
    void quicksort(uint8_t* base, size_t n, int64_t a, int budget) const {
        while (n > INSERTION_LIMIT) {
            size_t k = static_cast<size_t>(a < 0 ? -a : a);
            if (k >= n) return;
            if (a < 0 && k >= 3) {  // bring the sample to the front, in order
                if (n - k >= k)
                    swap_blocks(base, at(base, n - k), k);
                else
                    rotate(base, 0, n - k, n);
            }
            size_t region, pivot, high;  // high: sample records kept at the region's end
            if (k < 3) {
                region = n <= SMALL_PART ? n : FIRST_SAMPLE;
                if (region < n) gather(base, 0, region, n);
                rec.swap(at(base, 1), at(base, region / 2));
                sort3(at(base, 0), at(base, 1), at(base, region - 1));
                pivot = 1;
                high = 1;
            } else {
                region = k <= n / 256 ? 16 * k - 1 : n;
                if (region < n) gather(base, k, region, n);
                pivot = k / 2;
                high = k - pivot - 1;
                // The sample's upper half goes to the region's end, still in order.
                size_t unsorted = region - k;
                if (unsorted >= high)
                    swap_blocks(at(base, pivot + 1), at(base, region - high), high);
                else
                    rotate(base, pivot + 1, k, region);
            }
            auto [lesser, equal] = partition(base, pivot + 1, region - high);
            size_t left_n = pivot + lesser;
            size_t right_start = left_n + equal;
            size_t right_n = region - right_start;
            int64_t left_a = static_cast<int64_t>(pivot), right_a = -static_cast<int64_t>(high);
            if (region < n) {
                // A sample region: sorted now, it is the sample of the next pass.
                quicksort(base, left_n, left_a, budget);
                quicksort(at(base, right_start), right_n, right_a, budget);
                a = static_cast<int64_t>(region);
                continue;
            }
            // Lopsided: one side kept nearly everything (equal records
            // taken out in the middle do not count against the pivot).
            if (std::max(left_n, right_n) > n - n / 8 && --budget <= 0) {
                heap_sort(base, n);
                return;
            }
            // Recurse into the smaller side so the depth stays logarithmic.
            if (left_n <= right_n) {
                quicksort(base, left_n, left_a, budget);
                base = at(base, right_start);
                n = right_n;
                a = right_a;
            } else {
                quicksort(at(base, right_start), right_n, right_a, budget);
                n = left_n;
                a = left_a;
            }
        }
        insertion(base, n);
    }

    // Mostly sorted input (ascending after orientation): keep the records that
    // extend the ascending sequence at the front and collect the others after
    // it. A record that breaks the sequence while its predecessor's
    // predecessor would accept it marks that predecessor as the stray one.
    // After MAX_DROPS records in a row fell out, the last kept ones are the
    // likelier strays: when at most MAX_DROPS of them stand above the record,
    // they go out and the record stays. Returns the length of the sorted front.
    size_t split_sorted(uint8_t* base, size_t n) const {
        constexpr size_t MAX_DROPS = 8;
        size_t k = 1, drops = 0;
        for (size_t i = 1; i < n; ++i) {
            uint8_t* x = at(base, i);
            if (cmp(at(base, k - 1), x) <= 0) {
                if (k != i) rec.swap(at(base, k), x);
                ++k;
                drops = 0;
            } else if (k >= 2 && cmp(at(base, k - 2), x) <= 0) {
                rec.swap(at(base, k - 1), x);
                drops = 0;
            } else if (++drops > MAX_DROPS) {
                drops = 0;
                if (k > MAX_DROPS && cmp(at(base, k - MAX_DROPS - 1), x) <= 0) {
                    // The kept records above x join the strays, which start at k.
                    while (cmp(at(base, k - 1), x) > 0) --k;
                    rec.swap(at(base, k), x);
                    ++k;
                }
            }
        }
        return k;
    }

    void run(uint8_t* base, size_t n) const {
        if (n <= INSERTION_LIMIT) {
            insertion(base, n);
            return;
        }
        int budget = 2;
        for (size_t m = n; m > 1; m /= 2) ++budget;
        // Presort scan: the run at the start, in the direction its first
        // unequal pair sets.
        int dir = 0;
        size_t walked = 1;
        for (; walked < n; ++walked) {
            int c = cmp(at(base, walked - 1), at(base, walked));
            if (c == 0) continue;
            int d = c < 0 ? 1 : -1;
            if (dir == 0)
                dir = d;
            else if (d != dir)
                break;
        }
        if (walked == n) {
            if (dir < 0) reverse(base, 0, n);
            return;
        }
        // Sampling: one neighbouring pair in SAMPLE_STRIDE votes for a direction.
        int64_t score = dir * static_cast<int64_t>(walked);
        for (size_t j = walked; j + 1 < n; j += SAMPLE_STRIDE) {
            int c = cmp(at(base, j), at(base, j + 1));
            score += c < 0 ? 1 : c > 0 ? -1 : 0;
        }
        if (static_cast<uint64_t>(score < 0 ? -score : score) <= n / 512) {
            if (dir < 0) reverse(base, 0, walked);
            quicksort(base, n, static_cast<int64_t>(walked), budget);
            return;
        }
        // Mostly sorted one way: orient it ascending, pull the sorted
        // sequence to the front and let the quicksort place the rest.
        if (score < 0) reverse(base, 0, n);
        quicksort(base, n, static_cast<int64_t>(split_sorted(base, n)), budget);
    }
};

}  // namespace

void quick_sort_in(uint8_t* base, size_t n, size_t w, const Callback& cmp) {
    if (n < 2) return;
    with_width(w, [&](auto rec) { Quick<decltype(rec)>{rec, cmp}.run(base, n); });
}

}  // namespace zel::sort::detail
