// Block operations at scale, per operation: appending integers one at a
// time, appending a small block's values, deep copies of a nested block, and
// sorting integers.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <cstdint>
#include "runtime/actions.h"
#include "runtime/actions_stack.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace {

using namespace zel;

void start() { bench::start_runtime(); }

// Nanoseconds per item, next to the items per second.
void per_item(benchmark::State& state, int64_t items) {
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["ns/item"] =
        benchmark::Counter(static_cast<double>(state.iterations() * items), benchmark::Counter::kIsRate |
                                                                                 benchmark::Counter::kInvert);
}

// 10M integers appended one by one through the append stack entry, as an
// interpreted `append b i` does.
void BM_AppendIntegers(benchmark::State& state) {
    start();
    constexpr int32_t N = 10'000'000;
    for (auto _ : state) {
        Cell b, v;
        block::make_at(&b, 1);
        for (int32_t i = 0; i < N; ++i) bench::append_through_stack(&b, set_integer(&v, i));
        benchmark::DoNotOptimize(block::rs_length_q(&b));
    }
    per_item(state, N);
}
BENCHMARK(BM_AppendIntegers)->Unit(benchmark::kMillisecond)->Iterations(3);

// 2M appends of a three-integer block (its values spread) through the
// append stack entry, as an interpreted `append b [1 2 3]` does.
void BM_AppendBlocks(benchmark::State& state) {
    start();
    constexpr int32_t N = 2'000'000;
    Cell three, v;
    block::make_at(&three, 3);
    for (int32_t i = 1; i <= 3; ++i) block::append_copy(&three, set_integer(&v, i));
    for (auto _ : state) {
        Cell b;
        block::make_at(&b, 1);
        for (int32_t i = 0; i < N; ++i) bench::append_through_stack(&b, &three);
        benchmark::DoNotOptimize(block::rs_length_q(&b));
    }
    per_item(state, N);
}
BENCHMARK(BM_AppendBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

// copy/deep of 1,000 blocks of 1,000 integers (1M cells).
void BM_CopyDeepNested(benchmark::State& state) {
    start();
    constexpr int32_t OUTER = 1000, INNER = 1000;
    Cell b;
    block::make_at(&b, OUTER);
    for (int32_t i = 0; i < OUTER; ++i) {
        Cell inner;
        block::make_at(&inner, INNER);
        for (int32_t j = 0; j < INNER; ++j) {
            Cell v;
            block::append_copy(&inner, set_integer(&v, j));
        }
        block::append_copy(&b, &inner);
    }
    for (auto _ : state) {
        Cell out;
        actions::copy(&b, &out, nullptr, true, nullptr);
        benchmark::DoNotOptimize(out.w2);
    }
    per_item(state, int64_t{OUTER} * INNER);
}
BENCHMARK(BM_CopyDeepNested)->Unit(benchmark::kMillisecond)->Iterations(5);

// sort of 1M pseudo-random integers.
void BM_SortIntegers(benchmark::State& state) {
    start();
    constexpr int32_t N = 1'000'000;
    Cell source;
    block::make_at(&source, N);
    uint32_t x = 12345;
    for (int32_t i = 0; i < N; ++i) {
        x = x * 1103515245u + 12345u;
        Cell v;
        block::append_copy(&source, set_integer(&v, static_cast<int32_t>(x >> 1)));
    }
    for (auto _ : state) {
        state.PauseTiming();
        Cell b;
        actions::copy(&source, &b, nullptr, false, nullptr);
        state.ResumeTiming();
        actions::sort(&b, false, nullptr, nullptr, nullptr, false, false, state.range(0) != 0);
        benchmark::DoNotOptimize(b.w2);
    }
    per_item(state, N);
}
BENCHMARK(BM_SortIntegers)->Arg(0)->Arg(1)->ArgName("stable")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
