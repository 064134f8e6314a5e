// integer! and float! arithmetic through the action table, and the text
// forms of floats. Items are single operations, so the reported rate is the
// per-operation cost.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <cmath>
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/string.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace {

using namespace zel;

void start() { bench::start_runtime(); }

// 10M additions or multiplications: operands pushed at the arguments base,
// the implementation looked up by the first operand's type and called, as
// the generic entry does.
template <typename Make>
void arithmetic(benchmark::State& state, int slot, Make make) {
    start();
    constexpr int N = 10'000'000;
    for (auto _ : state) {
        stack::arguments = stack::top = stack::bottom;
        for (int i = 0; i < N; ++i) {
            stack::top = stack::arguments;
            make(stack::push_new(), i);
            make(stack::push_new(), 7);
            actions::typed<actions::StackFn>(actions::get_action_first_arg(slot))();
        }
        benchmark::DoNotOptimize(*stack::arguments);
    }
    state.SetItemsProcessed(state.iterations() * N);
}

void BM_IntegerAdd(benchmark::State& state) {
    arithmetic(state, ACT_ADD, [](Cell* c, int i) { set_integer(c, i); });
}
BENCHMARK(BM_IntegerAdd)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FloatMultiply(benchmark::State& state) {
    arithmetic(state, ACT_MULTIPLY, [](Cell* c, int i) { set_float(c, i * 0.37); });
}
BENCHMARK(BM_FloatMultiply)->Unit(benchmark::kMillisecond)->Iterations(3);

// 1M floats of every size formed or molded into one buffer, cleared now and then.
void texts(benchmark::State& state, bool molded) {
    start();
    constexpr int N = 1'000'000;
    for (auto _ : state) {
        stack::arguments = stack::top = stack::bottom;
        Cell* buffer = stack::push_new();
        emit::make_buffer(buffer, 4096);
        for (int i = 0; i < N; ++i) {
            Cell value;
            set_float(&value, std::ldexp(1.0 + i * 0.000123, i % 120 - 60));
            if (molded) actions::mold(&value, buffer, false, false, false, nullptr, NO_LIMIT, 0);
            else actions::form(&value, buffer, nullptr, NO_LIMIT);
            if ((i & 1023) == 1023) string::rs_reset(buffer);
        }
        benchmark::DoNotOptimize(buffer->w2);
    }
    state.SetItemsProcessed(state.iterations() * N);
}

void BM_FloatForm(benchmark::State& state) { texts(state, false); }
BENCHMARK(BM_FloatForm)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FloatMold(benchmark::State& state) { texts(state, true); }
BENCHMARK(BM_FloatMold)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
