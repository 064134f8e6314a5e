// Series allocation and expansion, per operation.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include "runtime/cycles.h"
#include "runtime/memory.h"
#include "runtime/runtime.h"

namespace {

void start() { zel::bench::start_runtime(); }

// 1M small series per iteration batch: bump allocation plus a node.
void BM_AllocSmallSeries(benchmark::State& state) {
    start();
    for (auto _ : state) {
        for (int i = 0; i < 1000000; ++i) benchmark::DoNotOptimize(zel::series::alloc_cells(2));
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_AllocSmallSeries)->Unit(benchmark::kMillisecond)->Iterations(3);

// 10k expansions: 1,000 buffers each doubled ten times (16 bytes to 16 KiB).
void BM_Expand(benchmark::State& state) {
    start();
    for (auto _ : state) {
        for (int k = 0; k < 1000; ++k) {
            zel::Node n = zel::series::alloc_bytes(16);
            for (int i = 0; i < 10; ++i) zel::series::expand_copy(zel::series::buffer_of(n), 0);
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Expand)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
