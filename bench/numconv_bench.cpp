// Number to text and back, against the C library: form_into (shortest digits,
// ".0" flag) beside snprintf("%.17g"), and dtoa::strtod beside strtod.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/dtoa.h"

namespace {

// Doubles of every exponent and doubles of everyday size, as benchmarks see them.
std::vector<double> sample(bool everyday) {
    std::mt19937_64 rng(42);
    std::vector<double> out;
    while (out.size() < 4096) {
        double v;
        if (everyday) {
            v = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
        } else {
            std::uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            if (v != v || v - v != 0.0) continue;  // finite only
        }
        out.push_back(v);
    }
    return out;
}

// The texts of the sample in our form (the library reads them too).
std::vector<std::string> texts_of(const std::vector<double>& values) {
    std::vector<std::string> out;
    char buffer[zel::dtoa::FORM_MAX];
    for (double v : values) out.emplace_back(buffer, zel::dtoa::form_into(buffer, v, 0, true));
    return out;
}

void BM_FormOurs(benchmark::State& state) {
    std::vector<double> values = sample(state.range(0) != 0);
    char buffer[zel::dtoa::FORM_MAX];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zel::dtoa::form_into(buffer, values[i++ & 4095], 0, true));
        benchmark::ClobberMemory();
    }
}

void BM_FormSnprintf(benchmark::State& state) {
    std::vector<double> values = sample(state.range(0) != 0);
    char buffer[40];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%.17g", values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
}

void BM_ReadOurs(benchmark::State& state) {
    std::vector<std::string> texts = texts_of(sample(state.range(0) != 0));
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& t = texts[i++ & 4095];
        benchmark::DoNotOptimize(zel::dtoa::strtod(t.data(), t.data() + t.size(), 0, nullptr));
    }
}

void BM_ReadStrtod(benchmark::State& state) {
    std::vector<std::string> texts = texts_of(sample(state.range(0) != 0));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::strtod(texts[i++ & 4095].c_str(), nullptr));
    }
}

// Argument 0: random bit patterns (every exponent); 1: values of everyday size.
BENCHMARK(BM_FormOurs)->Arg(0)->Arg(1);
BENCHMARK(BM_FormSnprintf)->Arg(0)->Arg(1);
BENCHMARK(BM_ReadOurs)->Arg(0)->Arg(1);
BENCHMARK(BM_ReadStrtod)->Arg(0)->Arg(1);

}  // namespace
