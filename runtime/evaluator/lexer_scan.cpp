// The scan loop: the walk through the transition table for each token,
// then the token's steps (scanner, events, loader), the end of a path item,
// and whether a one-value scan is complete.
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

// Whether the byte that ended a token belongs to it (a closing bracket,
// quote, brace, %, > or )): the position then goes past it.
struct OwnEnd {
    bool t[TOKEN_LAST + 1];
};
constexpr OwnEnd OWN_END = [] {
    OwnEnd o{};
    for (uint32_t tok : {T_BLOCK_OPEN, T_BLOCK_CLOSE, T_PAREN_OPEN, T_PAREN_CLOSE, T_BRACE_OPEN, T_BRACE_CLOSE,
                         T_MAP_OPEN, T_PATH, T_CONSTRUCT, T_COMMA, T_STRING, T_CHAR, T_BINARY, T_PERCENT, T_POINT,
                         T_TAG})
        o.t[tok] = true;
    return o;
}();

// Where the position stands after a token by default.
const uint8_t* default_end(uint32_t tok, const uint8_t* start, const uint8_t* end) {
    if (OWN_END.t[tok]) return end + 1;
    if (tok == T_FILE && end - start > 1 && start[1] == '"') return end + 1;  // %"quoted"
    return end;
}

// The position after the character at p.
const uint8_t* next_char(const State& s, const uint8_t* p) {
    if (p >= s.in_end) return s.in_end;
    do ++p;
    while (p < s.in_end && (*p & 0xC0) == 0x80);
    return p;
}

enum class Next { TOKEN, RETURN };

// Steps 5 to 9 without a callback or prescan: the scanner, then the loader.
void quiet_steps(State& s, uint32_t tok, const uint8_t* ts, const uint8_t* te, uint32_t flags) {
    if (s.load && (tok == T_WORD || tok == T_INTEGER)) {
        // The two commonest tokens, called directly.
        uint32_t before = s.tail;
        if (tok == T_WORD) {
            scan_word(s, ts, te, flags, false);
            load_word(s, ts, te, flags, true);
        } else {
            load_integer(s, ts, te, flags, true);
        }
        if (s.tail > before) mark_new_line(s, stack_cell(before));
        return;
    }
    Handler scanner = scanner_of(tok);
    if (tok <= T_COMMA) {
        scanner(s, ts, te, flags, s.load);
        return;
    }
    Handler loader = loader_of(tok);
    if (scanner) scanner(s, ts, te, flags, false);
    if (!s.load) {
        if (!scanner) loader(s, ts, te, flags, false);
        return;
    }
    uint32_t before = s.tail;
    loader(s, ts, te, flags, true);
    if (s.tail > before) mark_new_line(s, stack_cell(before));
}

// Steps 5 to 9 in prescan mode or with a callback and its events.
void traced_steps(State& s, uint32_t tok, const uint8_t* ts, const uint8_t* te, uint32_t flags, uint32_t entry) {
    Handler scanner = scanner_of(tok);
    Handler loader = loader_of(tok);
    bool scanned = false;
    if (s.prescan && tok <= T_STRING) {
        scanner(s, ts, te, flags, s.load);
        scanned = true;
    }
    if (!has_callback(s)) return;  // prescan mode classifies only
    // Events see the token with the byte that ended it when that byte is its
    // own (a bracket, a closing quote); a point's token starts at its (.
    const uint8_t* es = tok == T_POINT ? ts - 1 : ts;
    const uint8_t* ee = default_end(tok, ts, te);
    if (entry != S_BRACED && !(tok == T_PAREN_OPEN && point_q(s, ts))) {
        int32_t type = s.tok_type ? s.tok_type : -static_cast<int32_t>(tok - TOKEN_FIRST + 1);
        if (!fire_event(s, EVENT_PRESCAN, type, nullptr, es, ee)) return;
    }
    if (tok <= T_COMMA) {
        if (!scanned) scanner(s, ts, te, flags, s.load);
        return;
    }
    bool scan_wanted = s.mask & EVENT_SCAN;
    if (!scanned && !(s.load && !scanner && !scan_wanted)) {
        if (scanner) scanner(s, ts, te, flags, false);
        else loader(s, ts, te, flags, false);
    }
    if (!fire_event(s, EVENT_SCAN, s.tok_type, nullptr, es, ee) || !s.load) return;
    uint32_t before = s.tail;
    loader(s, ts, te, flags, true);
    if (s.tail > before) {
        mark_new_line(s, stack_cell(before));
        if (!fire_event(s, EVENT_LOAD, s.tok_type, stack_cell(before), es, ee)) s.tail = before;
    }
}

// Steps 5 to 12 of one token: scanner, events, loader, the end of a path
// item, and whether a one-value scan is complete.
Next process(State& s, uint32_t tok, const uint8_t* ts, const uint8_t* te, uint32_t flags, uint32_t entry) {
    if (!s.prescan && !has_callback(s)) quiet_steps(s, tok, ts, te, flags);
    else traced_steps(s, tok, ts, te, flags, entry);
    bool moved = s.resume != nullptr;
    if (moved) {
        s.pos = s.resume;
        s.resume = nullptr;
    }
    // A token skipped at its first byte (a refused prescan of a stray byte)
    // would be read again forever: step past one character.
    if (!moved && s.pos <= ts) s.pos = next_char(s, ts);
    if (s.entry == S_PATH && tok != T_PATH && tok != T_ERROR) path_item_end(s);
    if ((s.one || s.prescan) && s.tok_type != 0 && s.entry != S_PATH && s.entry != S_BRACED && tok != T_PATH) {
        uint32_t n = s.tail - s.base;
        if (n == 0 || (n == 1 && cell::type(stack_cell(s.base)) != TYPE_TRIPLE)) return Next::RETURN;
    }
    s.prev_type = s.tok_type;
    return Next::TOKEN;
}

// The transition table with each next state premultiplied by the row
// length, and token types marked, so that the walk adds instead of
// multiplying on its critical path.
constexpr uint32_t TOKEN_MARK = 0x8000;
struct ScaledTable {
    uint16_t t[STATE_COUNT * CLASS_COUNT];
};
const ScaledTable SCALED = [] {
    ScaledTable s{};
    for (int st = 0; st < STATE_COUNT; ++st)
        for (int c = 0; c < CLASS_COUNT; ++c) {
            uint32_t next = TRANSITIONS[st][c];
            s.t[st * CLASS_COUNT + c] =
                static_cast<uint16_t>(next >= TOKEN_FIRST ? TOKEN_MARK | next : next * CLASS_COUNT);
        }
    return s;
}();

// One token's walk through the transition table.
struct Walk {
    const uint8_t* start;  // the token's first byte, past the skipped ones
    const uint8_t* end;    // the byte that ended it
    uint32_t tok;
    uint32_t last;         // the state before the token type
    uint32_t flags;
    uint32_t lines;
};

Walk walk(const uint8_t* p, const uint8_t* const end, uint32_t st) {
    Walk w{};
    // Before a token, the bytes that lead from state 0 back to it (blanks,
    // line feeds, control bytes) are skipped. No other state leads to 0.
    if (st == S_START) {
        for (; p < end; ++p) {
            uint32_t c = CLASSES[*p] & 0xFF;
            if (TRANSITIONS[S_START][c] != S_START) break;
            w.lines += LINES[c];
        }
    }
    w.start = p;
    uint32_t row = st * CLASS_COUNT;
    uint32_t flags = 0;
    while (p < end) {
        uint32_t c = CLASSES[*p];
        flags |= c;
        uint32_t next = SCALED.t[row + (c & 0xFF)];
        if (next & TOKEN_MARK) {
            w.tok = next & ~TOKEN_MARK;
            break;
        }
        w.lines += LINES[c & 0xFF];
        ++p;
        if (next == row) {
            // A state that keeps itself over a run of bytes (the letters of a
            // word, the digits of a number, the text of a string) is walked
            // without the state on the critical path.
            const uint16_t* r = SCALED.t + row;
            if (r[C_LF] == row) {  // line feeds keep it (braced strings, comments in binaries)
                for (; p < end && r[(c = CLASSES[*p]) & 0xFF] == row; ++p) {
                    flags |= c;
                    w.lines += LINES[c & 0xFF];
                }
            } else {
                for (; p < end && r[(c = CLASSES[*p]) & 0xFF] == row; ++p) flags |= c;
            }
        }
        row = next;
    }
    if (!w.tok) {
        // The end of the input acts as a NUL byte.
        flags |= CLASSES[0];
        w.tok = TRANSITIONS[row / CLASS_COUNT][C_NUL];
    }
    w.end = p;
    w.last = row / CLASS_COUNT;
    w.flags = flags;
    return w;
}

}  // namespace

void scan_tokens(State& s) {
    while (s.pos < s.in_end) {
        Walk w = walk(s.pos, s.in_end, s.entry);
        uint32_t tok = w.tok;
        uint32_t flags = w.flags;
        uint32_t lines = w.lines;
        uint32_t st = w.last;
        const uint8_t* p = w.end;
        const uint8_t* ts = w.start;
        const uint8_t* te = p;
        uint32_t entry = s.entry;
        s.line += static_cast<int32_t>(lines);
        s.nlines = static_cast<int32_t>(lines);
        s.exit = st;
        s.type = -1;
        s.err_type = -1;
        s.tok_type = DATATYPES[tok];
        s.tok_end = te;
        s.pos = tok == T_EOF ? s.in_end : default_end(tok, ts, te);
        if (tok == T_POINT) s.entry = entry_after_point(s);
        if (tok == T_WORD && (flags & F_UTF8_2)) {
            ts = skip_unicode_spaces(ts, te);
            if (ts == te) {  // only Unicode spaces: no token
                s.tok_type = 0;
                continue;
            }
        }
        try {
            if (process(s, tok, ts, te, flags, entry) == Next::RETURN) return;
        } catch (const TokenRefused&) {
            if (s.prescan || (tok <= T_COMMA && !s.load)) return;
            const uint8_t* at = s.resume ? s.resume : s.pos;
            // A refusal that would scan the same bytes again would never end:
            // the error is raised instead.
            if (!s.resume && at <= ts) raise_error(s, s.err_start, s.err_end, s.err_code);
            s.resume = nullptr;
            s.pos = at;
        }
    }
}

}  // namespace zel::lexer
