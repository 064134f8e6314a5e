// Hash tables against std::unordered_map: interning and looking up 1M
// distinct names in a symbol-kind table, and indexing and finding 1M word
// cells in a hash! table.
#include <benchmark/benchmark.h>
#include "bench/bench_support.h"
#include <string>
#include <unordered_map>
#include <vector>
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hash.h"
#include "runtime/hashtable.h"
#include "runtime/runtime.h"

namespace {

using namespace zel;

constexpr int N = 1'000'000;

void ensure_started() { bench::start_runtime(); }

const std::vector<std::string>& names() {
    static std::vector<std::string> v = [] {
        std::vector<std::string> out;
        out.reserve(N);
        for (int i = 0; i < N; ++i) out.push_back("word-" + std::to_string(i * 2654435761u));
        return out;
    }();
    return v;
}

// A fresh symbol-kind table over a fresh block.
Node new_symbol_table() {
    Cell blk;
    set_series(&blk, TYPE_BLOCK, series::alloc_cells(4000));
    return hashtable::make(4000, &blk, hashtable::KIND_SYMBOL, 0);
}

uint32_t intern(Node t, const std::string& s) {
    return hashtable::put_symbol(t, reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()), false);
}

void BM_SymbolTableInsert(benchmark::State& state) {
    ensure_started();
    const auto& v = names();
    for (auto _ : state) {
        Node t = new_symbol_table();
        for (const std::string& s : v) benchmark::DoNotOptimize(intern(t, s));
    }
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_SymbolTableInsert)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapInsertNames(benchmark::State& state) {
    const auto& v = names();
    for (auto _ : state) {
        std::unordered_map<std::string, uint32_t> m;
        uint32_t id = 0;
        for (const std::string& s : v) benchmark::DoNotOptimize(m.emplace(s, ++id));
    }
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_UnorderedMapInsertNames)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SymbolTableLookup(benchmark::State& state) {
    ensure_started();
    const auto& v = names();
    static Node t = 0;
    if (!t) {
        t = new_symbol_table();
        for (const std::string& s : v) intern(t, s);
    }
    for (auto _ : state)
        for (const std::string& s : v) benchmark::DoNotOptimize(intern(t, s));
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_SymbolTableLookup)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapLookupNames(benchmark::State& state) {
    const auto& v = names();
    std::unordered_map<std::string, uint32_t> m;
    uint32_t id = 0;
    for (const std::string& s : v) m.emplace(s, ++id);
    for (auto _ : state)
        for (const std::string& s : v) benchmark::DoNotOptimize(m.find(s)->second);
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_UnorderedMapLookupNames)->Unit(benchmark::kMillisecond);

// Symbol ids are dense: std::hash would place them in order, which no real
// key set does. The baseline scatters them with the same finaliser.
struct ScatterHash {
    size_t operator()(uint32_t k) const { return hashtable::hash_int(k); }
};
using IdMap = std::unordered_map<uint32_t, uint32_t, ScatterHash>;

// A block of N word! cells with distinct symbols (interned once).
Cell word_block() {
    static Node node = 0;
    if (!node) {
        node = series::alloc_cells(N);
        for (const std::string& s : names()) {
            uint32_t sym = symbol::make(s.c_str());
            *series::alloc_tail_cell(node) = Cell{TYPE_WORD, 0, sym, 0xFFFFFFFFu};
        }
    }
    Cell blk;
    set_series(&blk, TYPE_BLOCK, node);
    return blk;
}

void BM_HashBlockInsertWords(benchmark::State& state) {
    ensure_started();
    Cell blk = word_block();
    for (auto _ : state) benchmark::DoNotOptimize(hashtable::make(N, &blk, hashtable::KIND_HASH, 0));
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_HashBlockInsertWords)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapInsertIds(benchmark::State& state) {
    ensure_started();
    Cell blk = word_block();
    const Cell* cells = series::buffer_of(&blk)->head_cell();
    for (auto _ : state) {
        IdMap m;
        m.reserve(N);
        for (uint32_t i = 0; i < N; ++i) m.emplace(cells[i].w2, i);
        benchmark::DoNotOptimize(m.size());
    }
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_UnorderedMapInsertIds)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_HashBlockFindWords(benchmark::State& state) {
    ensure_started();
    Cell blk = word_block();
    static Node t = hashtable::make(N, &blk, hashtable::KIND_HASH, 0);
    for (auto _ : state) {
        for (uint32_t i = 0; i < N; ++i) {
            Cell key = series::buffer_of(&blk)->head_cell()[i];
            benchmark::DoNotOptimize(hashtable::find(t, &key, 0, 1, COMP_EQUAL, false, false));
        }
    }
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_HashBlockFindWords)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapFindIds(benchmark::State& state) {
    ensure_started();
    Cell blk = word_block();
    const Cell* cells = series::buffer_of(&blk)->head_cell();
    IdMap m;
    m.reserve(N);
    for (uint32_t i = 0; i < N; ++i) m.emplace(cells[i].w2, i);
    for (auto _ : state)
        for (uint32_t i = 0; i < N; ++i) benchmark::DoNotOptimize(m.find(cells[i].w2)->second);
    state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_UnorderedMapFindIds)->Unit(benchmark::kMillisecond);

}  // namespace
