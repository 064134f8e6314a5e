// Sorting 1M 32-bit integers, as 4-byte records and as 16-byte cells, with
// the runtime's sorts against std::sort and std::stable_sort. The runtime
// always compares through a callback, so the standard sorts run twice: with
// an inlined comparison and through the same callback.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>
#include "runtime/cell.h"
#include "runtime/cycles.h"
#include "runtime/memory.h"
#include "runtime/runtime.h"
#include "runtime/sort.h"

namespace {

using zel::Cell;
constexpr size_t COUNT = 1000000;

enum Shape { RANDOM = 0, SORTED = 1, MOSTLY_SORTED = 2 };

std::vector<int32_t> keys(Shape shape) {
    std::mt19937 rng(42);
    std::vector<int32_t> k(COUNT);
    for (size_t i = 0; i < COUNT; ++i) k[i] = shape == RANDOM ? static_cast<int32_t>(rng()) : static_cast<int32_t>(i);
    if (shape == MOSTLY_SORTED)
        for (size_t i = 0; i < COUNT / 100; ++i) std::swap(k[rng() % COUNT], k[rng() % COUNT]);
    return k;
}

std::vector<Cell> cells(Shape shape) {
    std::vector<Cell> c(COUNT);
    auto k = keys(shape);
    for (size_t i = 0; i < COUNT; ++i) zel::set_integer(&c[i], k[i]);
    return c;
}

int compare_int(const void* a, const void* b, void*, void*) {
    int32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

int compare_cell(const void* a, const void* b, void*, void*) {
    int32_t x = zel::cell::get_int(static_cast<const Cell*>(a)), y = zel::cell::get_int(static_cast<const Cell*>(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

// Runs `sort` on a fresh copy of `input` each iteration (the copy untimed).
template <typename T, typename Fn>
void run(benchmark::State& state, const std::vector<T>& input, Fn sort) {
    std::vector<T> data;
    for (auto _ : state) {
        state.PauseTiming();
        data = input;
        state.ResumeTiming();
        sort(data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

// The callbacks are reached through pointers the compiler cannot see
// through, as the runtime's sorts reach theirs.
zel::sort::Compare volatile int_fn = compare_int;
zel::sort::Compare volatile cell_fn = compare_cell;

struct IntLess {
    bool operator()(int32_t a, int32_t b) const { return a < b; }
};
struct IntCallback {
    bool operator()(const int32_t& a, const int32_t& b) const { return int_fn(&a, &b, nullptr, nullptr) < 0; }
};
struct CellLess {
    bool operator()(const Cell& a, const Cell& b) const { return zel::cell::get_int(&a) < zel::cell::get_int(&b); }
};
struct CellCallback {
    bool operator()(const Cell& a, const Cell& b) const { return cell_fn(&a, &b, nullptr, nullptr) < 0; }
};

using IntSorter = void (*)(std::vector<int32_t>&);
using CellSorter = void (*)(std::vector<Cell>&);
void BM_Int(benchmark::State& s, IntSorter sorter) { run(s, keys(Shape(s.range(0))), sorter); }
void BM_Cell(benchmark::State& s, CellSorter sorter) { run(s, cells(Shape(s.range(0))), sorter); }

template <typename T, zel::sort::Compare cmp>
void zel_sort(std::vector<T>& d) { zel::sort::sort(d.data(), d.size(), sizeof(T), nullptr, nullptr, cmp); }
template <typename T, zel::sort::Compare cmp>
void zel_merge_sort(std::vector<T>& d) { zel::sort::merge_sort(d.data(), d.size(), sizeof(T), nullptr, nullptr, cmp); }
template <typename T, typename Less>
void std_sort(std::vector<T>& d) { std::sort(d.begin(), d.end(), Less{}); }
template <typename T, typename Less>
void std_stable_sort(std::vector<T>& d) { std::stable_sort(d.begin(), d.end(), Less{}); }

// The series entry: the same cells in a block, sorted through a private copy.
void BM_Cell_ZelSeriesSort(benchmark::State& s) {
    zel::bench::start_runtime();
    auto input = cells(Shape(s.range(0)));
    zel::Node node = zel::series::alloc_cells(COUNT);
    bool stable = s.range(1) != 0;
    for (auto _ : s) {
        s.PauseTiming();
        zel::SeriesBuffer* b = zel::series::buffer_of(node);
        std::memcpy(b->head_ptr(), input.data(), COUNT * sizeof(Cell));
        b->tail = b->head + COUNT * sizeof(Cell);
        s.ResumeTiming();
        zel::sort::sort_series(node, 0, COUNT, 16, nullptr, nullptr, compare_cell, stable);
    }
    s.SetItemsProcessed(s.iterations() * COUNT);
}

#define SHAPES ->Arg(RANDOM)->Arg(SORTED)->Arg(MOSTLY_SORTED)->Unit(benchmark::kMillisecond)
// The runtime's two sorts and the standard ones, inlined and through the callback.
#define ALL_SORTS(BM, T, CMP, LESS, CALLBACK)                                       \
    BENCHMARK_CAPTURE(BM, ZelSort, zel_sort<T, CMP>) SHAPES;                        \
    BENCHMARK_CAPTURE(BM, StdSort, std_sort<T, LESS>) SHAPES;                       \
    BENCHMARK_CAPTURE(BM, StdSortCallback, std_sort<T, CALLBACK>) SHAPES;           \
    BENCHMARK_CAPTURE(BM, ZelMergeSort, zel_merge_sort<T, CMP>) SHAPES;             \
    BENCHMARK_CAPTURE(BM, StdStableSort, std_stable_sort<T, LESS>) SHAPES;          \
    BENCHMARK_CAPTURE(BM, StdStableSortCallback, std_stable_sort<T, CALLBACK>) SHAPES
ALL_SORTS(BM_Int, int32_t, compare_int, IntLess, IntCallback);
ALL_SORTS(BM_Cell, Cell, compare_cell, CellLess, CellCallback);
BENCHMARK(BM_Cell_ZelSeriesSort)->Args({RANDOM, 0})->Args({RANDOM, 1})->Unit(benchmark::kMillisecond);

}  // namespace
