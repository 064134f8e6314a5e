// Lexer speed on 10 MB of generated source: plain blocks of words and
// integers, and a mix of every common literal (strings, floats, paths,
// set-words, blocks, chars, files, urls, dates, times, pairs, tuples,
// binaries, comments). Reports MB/s. Words repeat from a vocabulary of a
// few thousand names with the skew of real code; no collector runs, so each
// iteration's values stay allocated.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <cmath>
#include <random>
#include <string>
#include "runtime/cycles.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/runtime.h"

using namespace zel;

namespace {

constexpr size_t SOURCE_BYTES = 10u << 20;

void start_runtime() { bench::start_runtime(); }

// A word from a vocabulary of 3000 names, drawn with the skew of real code
// (a few names very often, most rarely): the rank is 3000^u - 1 for a
// uniform u, so rank r is drawn about as often as 1/(r + 1).
std::string word(std::mt19937& rng) {
    static const char* stems[] = {"value", "count", "item", "block", "name", "do-it", "x", "size", "append", "find"};
    double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    uint32_t rank = static_cast<uint32_t>(std::pow(3000.0, u)) - 1;
    std::string w = stems[rank % 10];
    w += std::to_string(rank / 10);
    return w;
}

// Blocks of words and integers, one block per line.
std::string plain_source() {
    std::mt19937 rng(7);
    std::string s;
    s.reserve(SOURCE_BYTES + 128);
    while (s.size() < SOURCE_BYTES) {
        s += "[";
        for (int i = 0; i < 12; ++i) {
            s += rng() % 2 ? word(rng) : std::to_string(rng() % 100000);
            s += ' ';
        }
        s += "]\n";
    }
    return s;
}

std::string mixed_source() {
    std::mt19937 rng(11);
    std::string s;
    s.reserve(SOURCE_BYTES + 256);
    const char* literals[] = {
        "\"a string with ^/ an escape\"", "{braced {nested} text}", "3.14159", "1.5e-3", "42%", "#\"c\"",
        "%path/to/file.txt", "http://example.com/a/b?q=1", "5-Jan-2024/10:30:00+02:00", "12:30:45", "10x20",
        "1.2.3", "#{DEADBEEF}", "64#{SGVsbG8=}", "$12.50", "<tag attr=\"v\">", "user@example.com", "#issue",
        "/refine", "'lit", ":get", "(1, 2)", "#[k 1]", "#(none)", "; a comment\n", "-2147483648", "ABCDh",
    };
    while (s.size() < SOURCE_BYTES) {
        s += word(rng);
        s += ": ";
        for (int i = 0; i < 8; ++i) {
            uint32_t r = rng() % 40;
            if (r < std::size(literals)) s += literals[r];
            else if (r < 34) {
                s += word(rng);
                s += '/';
                s += word(rng);
            } else {
                s += '[';
                s += word(rng);
                s += ' ';
                s += std::to_string(rng() % 1000);
                s += ']';
            }
            s += ' ';
        }
        s += '\n';
    }
    return s;
}

void lex(benchmark::State& state, const std::string& source) {
    start_runtime();
    for (auto _ : state) {
        Cell out;
        lexer::scan(&out, reinterpret_cast<const uint8_t*>(source.data()), static_cast<uint32_t>(source.size()), false,
                    true, true, false, nullptr, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_LexWordsAndIntegers(benchmark::State& state) {
    static const std::string source = plain_source();
    lex(state, source);
}

void BM_LexMixedLiterals(benchmark::State& state) {
    static const std::string source = mixed_source();
    lex(state, source);
}

// Classifying only (prescan of the whole text), which every load pays too.
void BM_PrescanOneTokenAtATime(benchmark::State& state) {
    static const std::string source = mixed_source();
    start_runtime();
    for (auto _ : state) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(source.data());
        uint32_t left = static_cast<uint32_t>(source.size());
        while (left > 0) {
            Cell out;
            int32_t used = 0;
            lexer::scan(&out, p, left, true, true, false, false, &used, nullptr, nullptr, nullptr);
            if (used <= 0) break;
            p += used;
            left -= static_cast<uint32_t>(used);
        }
        benchmark::DoNotOptimize(p);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

}  // namespace

BENCHMARK(BM_LexWordsAndIntegers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LexMixedLiterals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrescanOneTokenAtATime)->Unit(benchmark::kMillisecond);
