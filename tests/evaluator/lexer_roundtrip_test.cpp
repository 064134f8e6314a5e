// Property: for random values, molding them and loading the text back gives
// an equal value (same type, same mold, strict equality). Covers the types
// whose mold exists: integers, floats, strings of every width, chars, files,
// the word family, blocks, parens and paths, nested, with new-line markers
// (compared flat: see below).
#include <cmath>
#include <cstring>
#include <random>
#include "runtime/actions.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "tests/evaluator/lexer_test_support.h"

namespace zel::test::lex {
namespace {

class LexerRoundTrip : public RuntimeTest {};

struct Gen {
    std::mt19937 rng{2024};

    uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng() % n); }

    std::string name() {
        static const char* first = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        static const char* rest = "abcdefghijklmnopqrstuvwxyz0123456789-?!*_~&=";
        std::string n(1, first[below(52)]);
        for (uint32_t i = below(8); i > 0; --i) n += rest[below(static_cast<uint32_t>(std::strlen(rest)))];
        return n;
    }

    uint32_t code_point() {
        switch (below(5)) {
            case 0: return below(0x20);                  // controls
            case 1: return 0x20 + below(0x5F);           // printable ASCII
            case 2: return 0x80 + below(0x780);          // Latin-1 and beyond
            case 3: return 0xE000 + below(0x1000);       // BMP, past the surrogates
            default: return 0x10000 + below(0xF0000);    // astral
        }
    }

    Cell text(uint32_t type) {
        Cell t;
        string::rs_make_at(&t, 8);
        for (uint32_t i = below(12); i > 0; --i) string::append_char(series::buffer_of(&t), code_point());
        cell::set_type(&t, type);
        return t;
    }

    Cell scalar() {
        Cell c;
        switch (below(7)) {
            case 0: {
                static const int32_t edges[] = {0, 1, -1, INT32_MAX, INT32_MIN, 1000000};
                return *set_integer(&c, below(3) ? static_cast<int32_t>(rng()) : edges[below(6)]);
            }
            case 1: {
                double d;
                do {
                    uint64_t bits = (uint64_t{rng()} << 32) | rng();
                    std::memcpy(&d, &bits, sizeof d);
                } while (!std::isfinite(d) || d == 0);
                return *set_float(&c, below(4) ? d : std::ldexp(static_cast<double>(below(1000)), -static_cast<int>(below(6))));
            }
            case 2: return text(TYPE_STRING);
            case 3: {
                uint32_t cp = code_point();
                return *cell::set(&c, TYPE_CHAR, 0, cp);
            }
            case 4: {
                Cell f;
                string::rs_make_at(&f, 8);
                std::string n = name() + "/" + name() + ".txt";
                string::concatenate_literal(&f, n.c_str());
                cell::set_type(&f, TYPE_FILE);
                return f;
            }
            default: {
                static const uint32_t kinds[] = {TYPE_WORD, TYPE_SET_WORD, TYPE_GET_WORD, TYPE_LIT_WORD,
                                                 TYPE_REFINEMENT, TYPE_ISSUE};
                std::string n = name();
                word::make_at(symbol::make(n.c_str()), &c);
                cell::set_type(&c, kinds[below(6)]);
                return c;
            }
        }
    }

    Cell path() {
        static const uint32_t kinds[] = {TYPE_PATH, TYPE_LIT_PATH, TYPE_GET_PATH, TYPE_SET_PATH};
        Cell p;
        block::make_at(&p, 4);
        for (uint32_t i = 0, n = 2 + below(3); i < n; ++i) {
            Cell w;
            if (i > 0 && below(4) == 0) set_integer(&w, static_cast<int32_t>(below(100)));
            else word::make_at(symbol::make(name().c_str()), &w);
            block::append_copy(&p, &w);
        }
        cell::set_type(&p, kinds[below(4)]);
        return p;
    }

    Cell value(int depth) {
        uint32_t r = below(10);
        if (depth > 0 && r < 2) {
            Cell b;
            block::make_at(&b, 4);
            for (uint32_t i = below(6); i > 0; --i) {
                Cell v = value(depth - 1);
                if (below(4) == 0) v.header |= FLAG_NEW_LINE;
                block::append_copy(&b, &v);
            }
            if (r == 1) cell::set_type(&b, TYPE_PAREN);
            return b;
        }
        if (r == 2) return path();
        return scalar();
    }
};

TEST_F(LexerRoundTrip, MoldThenLoadGivesAnEqualValue) {
    Gen gen;
    for (int i = 0; i < 3000; ++i) {
        Cell v = gen.value(3);
        v.header &= ~FLAG_NEW_LINE;
        std::string text = blocks::mold(v);
        std::vector<Cell> loaded;
        std::string error = raised_id([&] { loaded = cells(load(text)); });
        ASSERT_EQ(error, "") << text;
        ASSERT_EQ(loaded.size(), 1u) << text;
        Cell back = loaded[0];
        back.header &= ~FLAG_NEW_LINE;
        EXPECT_EQ(cell::type(&back), cell::type(&v)) << text;
        // A multi-line string gets a new-line marker when loaded (the line
        // feeds its token crosses), so line breaks are left out here.
        EXPECT_EQ(blocks::mold(back, false, false, true), blocks::mold(v, false, false, true)) << text;
        EXPECT_TRUE(actions::compare(&v, &back, COMP_STRICT_EQUAL)) << text;
    }
}

}  // namespace
}  // namespace zel::test::lex
