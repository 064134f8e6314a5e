// Bjoern Hoehrmann's UTF-8 automaton: the byte classes, the transitions and
// one bounded decoding step shared by every UTF-8 decoder of the runtime.
// The automaton accepts exactly well-formed UTF-8: no overlong forms, no
// surrogates, nothing above 10FFFFh.
#pragma once
#include <cstdint>

namespace zel::unicode::dfa {

constexpr uint32_t ACCEPT = 0;
constexpr uint32_t REJECT = 12;

// 256 byte classes, then the transitions indexed by state + class (states
// are multiples of 12: 0 accept, 12 reject, 24-96 inside a sequence).
inline constexpr uint8_t TABLE[256 + 108] = {
    // 00-7F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 80-8F, 90-9F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9,
    // A0-BF
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    // C0-C1, C2-DF
    8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    // E0, E1-EC, ED, EE-EF, F0, F1-F3, F4, F5-FF
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3, 11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
    // transitions
    0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 0, 12, 12, 12, 12, 12, 0, 12, 0, 12, 12, 12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12, 12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
};

inline uint32_t byte_class(uint8_t b) { return TABLE[b]; }
inline uint32_t next_state(uint32_t state, uint32_t cls) { return TABLE[256 + state + cls]; }

enum Outcome { DECODED, BROKEN, CUT_OFF };

// Decodes the sequence that starts at p with a byte of 80h or more (p < end).
// DECODED: *cp is the code point, *next the position after it. BROKEN: the
// bytes are not UTF-8; *next is past the lead byte when the lead itself is
// bad, else at the first byte that broke the sequence. CUT_OFF: the bytes up
// to end begin a valid sequence that end cuts; *next is end.
inline Outcome decode_sequence(const uint8_t* p, const uint8_t* end, uint32_t* cp, const uint8_t** next) {
    uint32_t cls = byte_class(*p);
    uint32_t code = (0xFFu >> cls) & *p;
    uint32_t state = next_state(ACCEPT, cls);
    const uint8_t* q = p + 1;
    if (state == REJECT) {
        *next = q;
        return BROKEN;
    }
    while (state != ACCEPT) {
        if (q == end) {
            *next = end;
            return CUT_OFF;
        }
        state = next_state(state, byte_class(*q));
        if (state == REJECT) {
            *next = q;
            return BROKEN;
        }
        code = (code << 6) | (*q & 0x3Fu);
        ++q;
    }
    *cp = code;
    *next = q;
    return DECODED;
}

}  // namespace zel::unicode::dfa
