// The scan loop and the entry points: the token stack, the chain of running
// scans, the walk through the transition table, the per-token steps
// (scanner, events, loader), and how a scan's values are handed back.
#include <cstring>
#include <memory>
#include <vector>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/evaluator/lexer_internal.h"
#include "runtime/utf8.h"

namespace zel::lexer {

namespace {

constexpr uint32_t STACK_START = 1000;
// Beyond 2^26 cells (1 GiB) the token stack refuses to grow: no-memory.
constexpr uint32_t STACK_LIMIT = 1u << 26;
constexpr uint32_t TEXT_BUFFER_SIZE = 100000;

std::vector<State*> chain;  // the running scans, outermost first
uint8_t* text_buffer = nullptr;
uint32_t text_used = 0;

// Links a state at the end of the chain for its lifetime, whatever way the
// scan ends (a raised error unwinds through here and drops its cells).
class Link {
public:
    explicit Link(State& s) {
        s.parent = chain.empty() ? nullptr : chain.back();
        s.next = nullptr;
        if (s.parent) s.parent->next = &s;
        chain.push_back(&s);
    }
    ~Link() {
        chain.pop_back();
        if (!chain.empty()) chain.back()->next = nullptr;
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
};

// A private copy of the text being scanned: in the shared buffer above the
// texts of the scans already running, or in a buffer of its own.
class TextCopy {
public:
    explicit TextCopy(uint64_t size) : size_(size) {
        if (size > UINT32_MAX) fire(ERR_INTERNAL, "no-memory");
        if (text_used + size <= TEXT_BUFFER_SIZE) {
            data_ = text_buffer + text_used;
            text_used += static_cast<uint32_t>(size);
            shared_ = true;
        } else {
            own_.reset(new uint8_t[size]);
            data_ = own_.get();
        }
    }
    ~TextCopy() {
        if (shared_) text_used -= static_cast<uint32_t>(size_);
    }
    TextCopy(const TextCopy&) = delete;
    TextCopy& operator=(const TextCopy&) = delete;
    uint8_t* data() { return data_; }

private:
    uint64_t size_;
    uint8_t* data_ = nullptr;
    bool shared_ = false;
    std::unique_ptr<uint8_t[]> own_;
};

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

// The scan loop: one walk through the transition table per token.
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
            while (p < end) {
                c = CLASSES[*p];
                if (r[c & 0xFF] != row) break;
                flags |= c;
                w.lines += LINES[c & 0xFF];
                ++p;
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

// The scan loop: one walk through the transition table per token.
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

// Appends n cells to the tail of a block value.
void append_cells(const Cell* block, const Cell* from, uint32_t n) {
    if (n == 0) return;
    uint8_t* at = series::grow_tail(block->w2, uint64_t{n} * sizeof(Cell));
    std::memcpy(at, from, size_t{n} * sizeof(Cell));
}

// The values of a finished scan: the first one itself, or all of them in a
// block (or at the tail of `into`).
void hand_back(State& s, Cell* out, bool block_always, const Cell* into) {
    uint32_t n = s.tail - s.base;
    if (s.one && !block_always && n >= 1) {
        *out = *stack_cell(s.base);
    } else if (into) {
        append_cells(into, stack_cell(s.base), n);
    } else {
        make_series(out, stack_cell(s.base), n, TYPE_BLOCK);
    }
}

int32_t run_scan(Cell* out, const uint8_t* text, uint32_t length, bool one, bool not_prescan, bool load,
                 bool block_always, int32_t* consumed, const Cell* callback, const Cell* input, const Cell* into,
                 bool chars) {
    State s{};
    Link link(s);
    s.base = s.head = s.tail = s.parent ? s.parent->tail : 0;
    s.input = s.pos = s.cached_pos = text;
    s.in_end = text + length;
    s.line = 1;
    s.type = s.err_type = -1;
    s.entry = S_START;
    set_none(&s.callback);
    if (callback && cell::type(callback) != TYPE_NONE) {
        s.callback = *callback;
        s.mask = event_mask(callback);
    }
    if (input) s.input_value = *input; else set_none(&s.input_value);
    s.load = not_prescan && load;
    s.one = one;
    s.prescan = !not_prescan;
    s.chars = chars;
    s.into = into;
    bool refused_end = false;
    try {
        scan_tokens(s);
        if (s.pos >= s.in_end && s.entry == S_BRACED && s.tok_type == 0)
            fail(s, s.in_series, s.in_end, TYPE_STRING);
    } catch (const ScanStopped&) {
        s.stopped = true;
    } catch (const TokenRefused&) {
        // refused at the input end: nothing is left to scan
    }
    int32_t result = s.tok_type;
    if (!s.stopped) {
        if (const Cell* m = open_marker(s)) {
            uint32_t type = marker_type(m);
            if (s.prescan && type >= TYPE_PATH && type <= TYPE_GET_PATH) {
                result = static_cast<int32_t>(type);
            } else {
                s.missing_type = s.err_type = static_cast<int32_t>(type);
                try {
                    fail(s, s.input + m->w3, s.in_end, ERR_MISSING_END);
                } catch (const ScanStopped&) {
                    s.stopped = true;
                } catch (const TokenRefused&) {
                    refused_end = true;
                }
            }
        }
    }
    if (s.stopped) {
        result = TYPE_ERROR;
        set_none(out);
    } else if (refused_end) {
        set_none(out);
    } else if (s.load) {
        hand_back(s, out, block_always, into);
    }
    if (consumed) *consumed = char_index(s, s.pos);
    return result;
}

bool is_text_type(uint32_t t) {
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL || t == TYPE_REF;
}

}  // namespace

Cell* stack_cells = nullptr;
uint32_t stack_capacity = 0;

void grow_stack() {
    if (stack_capacity >= STACK_LIMIT) fire(ERR_INTERNAL, "no-memory");
    uint32_t bigger = stack_capacity * 2;
    stack_cells = static_cast<Cell*>(sys::realloc(stack_cells, size_t{bigger} * sizeof(Cell)));
    stack_capacity = bigger;
}

void mark_new_line(State& s, Cell* c) {
    if (s.nlines > 0) c->header |= FLAG_NEW_LINE;
}

void append_values(const Cell* block, const Cell* from, uint32_t n) { append_cells(block, from, n); }

void init() {
    // A new runtime start: whatever the previous one held was freed with it.
    stack_cells = static_cast<Cell*>(sys::alloc(STACK_START * sizeof(Cell)));
    stack_capacity = STACK_START;
    text_buffer = static_cast<uint8_t*>(sys::alloc(TEXT_BUFFER_SIZE));
    text_used = 0;
    chain.clear();
    forget_event_words();
    forget_words();
    word::set_scanner(scan_word_name);
}

int32_t scan(Cell* out, const uint8_t* text, uint32_t length, bool one, bool not_prescan, bool load,
             bool block_always, int32_t* consumed, const Cell* callback, const Cell* input, const Cell* into) {
    if (!stack_cells) init();
    bool chars = input && is_text_type(cell::type(input));
    if (callback && cell::type(callback) != TYPE_NONE) {
        // A callback may change or move the source: scan a copy.
        TextCopy copy(length);
        if (length) std::memcpy(copy.data(), text, length);
        return run_scan(out, copy.data(), length, one, not_prescan, load, block_always, consumed, callback, input,
                        into, chars);
    }
    return run_scan(out, text, length, one, not_prescan, load, block_always, consumed, callback, input, into, chars);
}

int32_t load_string(Cell* out, const Cell* str, int32_t length, bool one, bool not_prescan, bool load,
                    bool block_always, int32_t* consumed, const Cell* callback, const Cell* into) {
    if (!stack_cells) init();
    const SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = buf->unit();
    uint32_t total = buf->length();
    uint32_t head = str->w1 < total ? str->w1 : total;
    uint32_t n = total - head;
    if (length >= 0 && static_cast<uint32_t>(length) < n) n = static_cast<uint32_t>(length);
    const uint8_t* p = buf->data() + buf->head + uint64_t{head} * unit;
    uint64_t size = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t cp = string::get_char(p + uint64_t{i} * unit, unit);
        size += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    }
    TextCopy copy(size);
    uint8_t* dst = copy.data();
    buf = series::buffer_of(str);  // no allocation since, but stay honest
    p = buf->data() + buf->head + uint64_t{head} * unit;
    for (uint32_t i = 0; i < n; ++i) dst += utf8::encode(string::get_char(p + uint64_t{i} * unit, unit), dst);
    Cell input = *str;
    input.w1 = head;
    return run_scan(out, copy.data(), static_cast<uint32_t>(size), one, not_prescan, load, block_always, consumed,
                    callback, &input, into, true);
}

Cell* load_value(const Cell* str, Cell* slot) {
    const SeriesBuffer* buf = series::buffer_of(str);
    uint32_t total = buf->length();
    int32_t length = static_cast<int32_t>(total - (str->w1 < total ? str->w1 : total));
    int32_t consumed = 0;
    load_string(slot, str, -1, false, true, true, true, &consumed, nullptr, nullptr);
    if (consumed < length) return nullptr;
    const SeriesBuffer* blk = series::buffer_of(slot);
    if (blk->tail == blk->head) return set_unset(slot);
    *slot = *reinterpret_cast<const Cell*>(blk->data() + blk->head);
    return slot;
}

Cell* load_single(const Cell* str) { return load_value(str, stack::arguments); }

void mark(void (*visit)(Cell*)) {
    for (State* s : chain) {
        for (uint32_t i = s->base; i < s->tail; ++i) visit(stack_cells + i);
        visit(&s->input_value);
        visit(&s->callback);
    }
}

}  // namespace zel::lexer
