// The lexer's entry points: the token stack, the chain of running scans,
// the private copy of the text, and how a scan's values are handed back.
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

// The values of a finished scan: the first one itself, or all of them in a
// block (or at the tail of `into`).
void hand_back(State& s, Cell* out, bool block_always, const Cell* into) {
    uint32_t n = s.tail - s.base;
    if (s.one && !block_always && n >= 1) {
        *out = *stack_cell(s.base);
    } else if (into) {
        append_values(into, stack_cell(s.base), n);
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

void append_values(const Cell* block, const Cell* from, uint32_t n) {
    if (n == 0) return;
    uint8_t* at = series::grow_tail(block->w2, uint64_t{n} * sizeof(Cell));
    std::memcpy(at, from, size_t{n} * sizeof(Cell));
}

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
