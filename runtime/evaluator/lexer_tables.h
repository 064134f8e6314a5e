// The lexer's constant tables: byte classes with their flags, the
// transition table (65 states by 40 classes), the per-state skip and
// per-class line counts, the datatype of each token type (and, for the
// states, the type an error names), hex digit values.
#pragma once
#include <array>
#include <cstdint>

namespace zel::lexer {

constexpr int CLASS_COUNT = 40;
constexpr int STATE_COUNT = 65;
constexpr uint32_t TOKEN_FIRST = 66;
constexpr uint32_t TOKEN_LAST = 101;

// Byte classes, in table column order.
enum Class : uint8_t {
    C_BLANK, C_LF, C_DIGIT, C_ZERO, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
    C_BRACE_CLOSE, C_DQUOTE, C_SHARP, C_QUOTE, C_COLON, C_X, C_T, C_H, C_E_LOW, C_E_UP, C_HEX_LOW, C_HEX_UP,
    C_SLASH, C_BACKSLASH, C_LESSER, C_GREATER, C_EQUAL, C_PERCENT, C_COMMA, C_SEMICOLON, C_AT, C_POINT,
    C_DOLLAR, C_PLUS, C_MINUS, C_CARET, C_CONTROL, C_CONT, C_OTHER, C_BADLEAD, C_NUL,
};

// Token types: a transition value above 65 ends a token and names it.
enum Token : uint32_t {
    T_EOF = 66, T_ERROR, T_BLOCK_OPEN, T_BLOCK_CLOSE, T_PAREN_OPEN, T_PAREN_CLOSE, T_BRACE_OPEN, T_BRACE_CLOSE,
    T_MAP_OPEN, T_PATH, T_CONSTRUCT, T_COMMENT, T_COMMA, T_STRING, T_WORD, T_ISSUE, T_INTEGER, T_REFINEMENT,
    T_CHAR, T_FILE, T_BINARY, T_PERCENT, T_FLOAT, T_FLOAT_SPECIAL, T_TUPLE, T_DATE, T_PAIR, T_POINT, T_TIME,
    T_MONEY, T_TAG, T_URL, T_EMAIL, T_HEX, T_RAW_STRING, T_REF,
};
static_assert(T_REF == TOKEN_LAST);

// Start states with a meaning of their own.
constexpr uint32_t S_START = 0;
constexpr uint32_t S_BRACED = 4;
constexpr uint32_t S_POINT = 35;
constexpr uint32_t S_PATH = 59;

// Flag bits a token gathers from its bytes (a class entry's bits above 8).
constexpr uint32_t F_BRACE_LINE = 0x20000;  // a braced string opened after a line feed
constexpr uint32_t F_PERCENT = 0x40000;
constexpr uint32_t F_GREATER = 0x80000;
constexpr uint32_t F_LESSER = 0x100000;
constexpr uint32_t F_SIGN = 0x200000;
constexpr uint32_t F_NUL = 0x400000;
constexpr uint32_t F_SHARP = 0x800000;
constexpr uint32_t F_EXP = 0x1000000;
constexpr uint32_t F_QUOTE = 0x2000000;
constexpr uint32_t F_COLON = 0x4000000;
constexpr uint32_t F_COMMA = 0x8000000;
constexpr uint32_t F_POINT = 0x10000000;
constexpr uint32_t F_CARET = 0x20000000;
constexpr uint32_t F_UTF8_2 = 0x40000000;  // lead bytes of two- or three-byte sequences
constexpr uint32_t F_UTF8_4 = 0x80000000;  // lead bytes of four-byte sequences

// Per byte: the class in the low 8 bits, its flag above.
extern const std::array<uint32_t, 256> CLASSES;
// Next state (0-64) or token type (66-101), by state and class.
extern const uint8_t TRANSITIONS[STATE_COUNT][CLASS_COUNT];
// Bytes skipped before a token, by next state (1 for state 0 only).
extern const uint8_t SKIP[TOKEN_LAST + 1];
// Line feeds counted, by class.
extern const uint8_t LINES[CLASS_COUNT];
// Datatype by token type (0: no value of its own); by state, the type an
// error in that state names (0: the bad-char error).
extern const uint8_t DATATYPES[TOKEN_LAST + 1];
// Hex digit values; 0xFF for bytes that are not hex digits.
extern const std::array<uint8_t, 256> HEX_VALUES;

inline uint32_t class_of(uint8_t b) { return CLASSES[b] & 0xFF; }

}  // namespace zel::lexer
