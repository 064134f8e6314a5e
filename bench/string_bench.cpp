// Text storage: appending code points one by one (unit 1 and unit 4),
// appending a short text through the append stack entry, and finding a text
// in a large string.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace {

using namespace zel;

constexpr uint32_t TEN_MILLION = 10'000'000;

void start() { bench::start_runtime(); }

// Appends 10M code points to an empty string; `wide` starts the text with a
// code point above FFFFh, so every append writes four bytes.
void append_chars(benchmark::State& state, bool wide) {
    start();
    for (auto _ : state) {
        Cell s;
        string::rs_make_at(&s, 16);
        if (wide) string::append_char(series::buffer_of(&s), 0x1F600);
        for (uint32_t i = 0; i < TEN_MILLION; ++i) string::append_char(series::buffer_of(&s), 'a' + i % 26);
        benchmark::DoNotOptimize(string::rs_length_q(&s));
    }
    state.SetItemsProcessed(state.iterations() * TEN_MILLION);
}

void BM_AppendChars_Unit1(benchmark::State& state) { append_chars(state, false); }
void BM_AppendChars_Unit4(benchmark::State& state) { append_chars(state, true); }
BENCHMARK(BM_AppendChars_Unit1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AppendChars_Unit4)->Unit(benchmark::kMillisecond)->Iterations(3);

// 10M appends of "ab" to one string through the append stack entry, as an
// interpreted `append s "ab"` does; `wide` makes both texts unit 2.
void append_texts(benchmark::State& state, bool wide) {
    start();
    for (auto _ : state) {
        Cell s, ab;
        string::rs_make_at(&s, 16);
        string::rs_make_at(&ab, 2);
        string::concatenate_literal(&ab, "ab");
        if (wide) {
            string::reserve(series::buffer_of(&s), 2, 32);
            string::reserve(series::buffer_of(&ab), 2, 4);
        }
        for (uint32_t i = 0; i < TEN_MILLION; ++i) bench::append_through_stack(&s, &ab);
        benchmark::DoNotOptimize(string::rs_length_q(&s));
    }
    state.SetItemsProcessed(state.iterations() * TEN_MILLION);
}

void BM_AppendText_Unit1(benchmark::State& state) { append_texts(state, false); }
void BM_AppendText_Unit2(benchmark::State& state) { append_texts(state, true); }
BENCHMARK(BM_AppendText_Unit1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AppendText_Unit2)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 10 MB string of repeating letters with the pattern at its very end.
Cell haystack(bool wide) {
    Cell s;
    string::rs_make_at(&s, TEN_MILLION + 16);
    if (wide) string::append_char(series::buffer_of(&s), 0x263A);
    for (uint32_t i = 0; i < TEN_MILLION; ++i) string::append_char(series::buffer_of(&s), 'a' + i % 7);
    string::concatenate_literal(&s, "needle");
    return s;
}

// find/case (the byte search), find (case folding) and find in a unit-2 text.
void find_needle(benchmark::State& state, bool case_, bool wide) {
    start();
    Cell s = haystack(wide);
    Cell needle;
    string::rs_make_at(&needle, 8);
    string::concatenate_literal(&needle, "needle");
    for (auto _ : state) {
        Cell series = s;
        Cell* found = string::find(&series, &needle, nullptr, false, case_, false, false, nullptr, nullptr, false,
                                   false, false, false);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * TEN_MILLION);
}

void BM_Find_Case(benchmark::State& state) { find_needle(state, true, false); }
void BM_Find_Fold(benchmark::State& state) { find_needle(state, false, false); }
void BM_Find_Unit2(benchmark::State& state) { find_needle(state, false, true); }
BENCHMARK(BM_Find_Case)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_Fold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_Unit2)->Unit(benchmark::kMillisecond);

}  // namespace
