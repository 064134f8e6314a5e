// Sorting of records of any width with a comparison callback: a stable
// natural merge sort and an adaptive unstable quicksort.
//
// Two ways in. `merge_sort` and `sort` work in place on plain memory and are
// for callers whose comparison never allocates a series nor evaluates code.
// `sort_series` serves every other caller: it sorts a private copy of the
// records and writes it back when done, so a callback that runs the
// collector (which may move the series) or raises an error never sees a
// stale address and never leaves the series half sorted.
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/cell.h"

namespace zel::sort {

// Negative when a sorts before b, 0 when equal, positive when after; u and v
// are the caller's own arguments, passed through unchanged.
using Compare = int (*)(const void* a, const void* b, void* u, void* v);

// Records shorter than this are extended to it by insertion in the merge sort.
constexpr size_t MIN_RUN = 24;
// Parts of this many records or fewer are finished by insertion in the quicksort.
constexpr size_t INSERTION_LIMIT = 7;
// The presort check samples one neighbouring pair in this many.
constexpr size_t SAMPLE_STRIDE = 97;

// Exchanges two areas of `bytes` bytes, as 32-bit words unless `bytewise`.
void swap(void* a, void* b, size_t bytes, bool bytewise);

// Stable sort of n records of w bytes at base; equal records keep their order.
void merge_sort(void* base, size_t n, size_t w, void* u, void* v, Compare cmp);

// Unstable sort of n records of w bytes at base; no allocation.
void sort(void* base, size_t n, size_t w, void* u, void* v, Compare cmp);

// Sorts n records of w bytes that start `offset` bytes after the head of the
// series `node` (stable when asked). The callback sees records in a private
// copy that the collector marks and never moves; the series is written only
// after the last comparison. Raises script error `past-end` when the callback
// shortened the series so that the records no longer fit.
// `store`, when given, writes the sorted records back instead of a copy of
// their bytes (text whose width the callback changed needs its characters
// stored again at the new width); it gets the same `u` as the callback.
using Store = void (*)(Node node, uint64_t offset, const uint8_t* records, uint64_t bytes, void* u);
void sort_series(Node node, uint64_t offset, uint64_t n, uint64_t w, void* u, void* v, Compare cmp,
                 bool stable, Store store = nullptr);

}  // namespace zel::sort
