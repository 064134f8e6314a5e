#include "tests/evaluator/lexer_test_support.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/symbol.h"
#include <cstdio>
namespace zel::test::lex {
class LexDbg : public RuntimeTest {};
static int calls = 0;
static bool call(const Cell*, Cell* args) { uint32_t n; const uint8_t* p = symbol::name_bytes(args[0].w2, &n);
  if (++calls < 30) printf("%.*s idx=%u type=%u\n", (int)n, p, args[1].w1, args[2].w1); if (calls > 100000) throw 1; return false; }
static void spec_of(const Cell*, Cell* out) { set_none(out); }
TEST_F(LexDbg, Hang) {
  std::string s(107, '\xc2'); s += std::string("\x01\x03\0\0\0owe ", 9);
  lexer::set_callback_hook({call, spec_of, nullptr});
  Cell cb; set_integer(&cb, 1); Cell out;
  try { raised_id([&]{ lexer::scan(&out, (const uint8_t*)s.data(), s.size(), false, true, true, false, nullptr, &cb, nullptr, nullptr); }); } catch (int) { printf("LOOP\n"); }
  lexer::set_callback_hook({});
}
}
