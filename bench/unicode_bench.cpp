// UTF-8 decoding speed on 10 MB of text: mixed scripts (mostly ASCII, some
// Latin-1, CJK and emoji, as in real source and data files) and pure ASCII.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <random>
#include <string>
#include "runtime/cycles.h"
#include "runtime/runtime.h"
#include "runtime/unicode.h"

using namespace zel;

namespace {

constexpr size_t TEXT_BYTES = 10u << 20;

// Deterministic text of about TEXT_BYTES: words of ASCII with some accented
// letters, CJK ideographs and emoji, and line ends.
std::string mixed_text(bool ascii_only) {
    std::mt19937 rng(42);
    std::string s;
    s.reserve(TEXT_BYTES + 16);
    const char* pieces[] = {"\xC3\xA9", "\xC3\xBC", "\xE4\xB8\xAD", "\xE6\x96\x87", "\xF0\x9F\x98\x80", "\xE2\x82\xAC"};
    while (s.size() < TEXT_BYTES) {
        uint32_t r = rng() % 100;
        if (ascii_only || r < 85) {
            s += static_cast<char>('a' + rng() % 26);
            if (r % 7 == 0) s += ' ';
            if (r == 3) s += '\n';
        } else {
            s += pieces[r % 6];
        }
    }
    return s;
}

void start_runtime() { bench::start_runtime(); }

void load_benchmark(benchmark::State& state, bool ascii_only, bool crlf) {
    start_runtime();
    std::string text = mixed_text(ascii_only);
    Node target = series::alloc_text(text.size(), 1);
    for (auto _ : state) {
        SeriesBuffer* buf = series::buffer_of(target);
        buf->flags = (buf->flags & ~SERIES_UNIT_MASK) | 1;
        buf->tail = buf->head;
        unicode::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), target,
                           nullptr, crlf);
        benchmark::DoNotOptimize(series::buffer_of(target)->tail);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_LoadUtf8Mixed(benchmark::State& state) { load_benchmark(state, false, false); }
void BM_LoadUtf8MixedCrLf(benchmark::State& state) { load_benchmark(state, false, true); }
void BM_LoadUtf8Ascii(benchmark::State& state) { load_benchmark(state, true, false); }

// The lexer's way: one character at a time through the fast decoder.
void BM_FastDecodeMixed(benchmark::State& state) {
    std::string text = mixed_text(false);
    const auto* begin = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* end = begin + text.size();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (const uint8_t* p = begin; p < end;) {
            uint32_t cp;
            p = unicode::fast_decode_utf8_char(p, end, &cp);
            sum += cp;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CountUtf8Mixed(benchmark::State& state) {
    std::string text = mixed_text(false);
    const auto* begin = reinterpret_cast<const uint8_t*>(text.data());
    for (auto _ : state) benchmark::DoNotOptimize(unicode::count_utf8(begin, begin + text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_LoadUtf8Mixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUtf8MixedCrLf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUtf8Ascii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastDecodeMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountUtf8Mixed)->Unit(benchmark::kMillisecond);
