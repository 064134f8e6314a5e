#include "tests/evaluator/lexer_test_support.h"
#include "runtime/datatypes/symbol.h"
#include <chrono>
#include <cstdio>
#include <random>
#include <cmath>
namespace zel::lexer { extern int dbg_hits, dbg_misses; }
namespace zel::test::lex {
class LexDbg : public RuntimeTest {};
TEST_F(LexDbg, Count) {
  std::mt19937 rng(7); std::string s;
  static const char* stems[] = {"value", "count", "item", "block", "name", "do-it", "x", "size", "append", "find"};
  for (int i = 0; i < 300000; ++i) { double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    uint32_t rank = static_cast<uint32_t>(std::pow(3000.0, u)) - 1; s += stems[rank % 10]; s += std::to_string(rank/10); s += ' '; }
  uint32_t before = symbol::count();
  auto t0 = std::chrono::steady_clock::now();
  load(s);
  auto t1 = std::chrono::steady_clock::now();
  load(s);
  auto t2 = std::chrono::steady_clock::now();
  printf("hits %d misses %d\n", lexer::dbg_hits, lexer::dbg_misses); printf("symbols %u -> %u; %zu bytes; first %.1f ms second %.1f ms\n", before, symbol::count(), s.size(),
    std::chrono::duration<double, std::milli>(t1-t0).count(), std::chrono::duration<double, std::milli>(t2-t1).count());
}
}
