// LZ compressor and decompressor throughput on 4 MiB of word-like text and
// on 4 MiB of random bytes (which the compressor refuses after one pass).
#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>
#include "runtime/lz.h"

namespace {

constexpr size_t SIZE = 4 << 20;

std::vector<uint8_t> text() {
    std::mt19937 rng(7);
    const char* words[] = {"the ",   "runtime ", "compresses ", "blocks ", "of ",     "text ",
                           "with ",  "matches ", "and ",        "literals ", "series ", "cells\n"};
    std::string s;
    while (s.size() < SIZE) {
        s += words[rng() % 12];
        if (rng() % 8 == 0) s += std::to_string(rng() % 100000) + ' ';
    }
    return std::vector<uint8_t>(s.begin(), s.begin() + SIZE);
}

std::vector<uint8_t> random_bytes() {
    std::mt19937 rng(9);
    std::vector<uint8_t> v(SIZE);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

void compress_bench(benchmark::State& state, const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out(in.size());
    int64_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(n = zel::compress::compress(in.data(), in.size(), out.data()));
    state.SetBytesProcessed(state.iterations() * in.size());
    state.counters["ratio"] = n > 0 ? static_cast<double>(n) / in.size() : 1.0;
}

void BM_CompressText(benchmark::State& state) { compress_bench(state, text()); }
void BM_CompressRandom(benchmark::State& state) { compress_bench(state, random_bytes()); }

void BM_DecompressText(benchmark::State& state) {
    auto in = text();
    std::vector<uint8_t> img(in.size());
    int64_t n = zel::compress::compress(in.data(), in.size(), img.data());
    uint32_t size = 0;
    for (auto _ : state) {
        uint8_t* out = zel::compress::decompress(img.data(), static_cast<uint64_t>(n), &size);
        benchmark::DoNotOptimize(out);
        zel::compress::free_buffer(out);
    }
    state.SetBytesProcessed(state.iterations() * in.size());
}

BENCHMARK(BM_CompressText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressText)->Unit(benchmark::kMillisecond);

}  // namespace
