// Callback events and syntax errors: the event mask of a callback, the
// five arguments an event passes, following a callback that moved the
// input, character positions, and the error report with its texts.
#include <cstdio>
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/unicode.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

CallbackHook hook{};

constexpr const char* EVENT_NAMES[6] = {"prescan", "scan", "load", "open", "close", "error"};
uint32_t event_symbols[6] = {};

uint32_t event_symbol(int i) {
    if (!event_symbols[i]) event_symbols[i] = symbol::make(EVENT_NAMES[i]);
    return event_symbols[i];
}

int event_number(Event e) {
    int i = 0;
    for (uint32_t bit = e; bit > 1; bit >>= 1) ++i;
    return i;
}

bool is_series_type(uint32_t t) { return t == TYPE_BINARY || string::is_family(t); }

// Characters (or bytes) in [from, to): lead and ASCII bytes each start one.
int32_t count_chars(const uint8_t* from, const uint8_t* to) {
    int32_t n = 0;
    for (; from < to; ++from) n += (*from & 0xC0) != 0x80;
    return n;
}

// The near text of an error: whole characters from the start until the
// input end, a line feed, or 30 bytes on.
void near_text(State& s, const uint8_t* start, Cell* out) {
    string::make_in(out, 30, 1);
    Node node = out->w2;
    const uint8_t* limit = s.in_end - start > 30 ? start + 30 : s.in_end;
    const uint8_t* p = start;
    while (p < limit && *p != '\n') {
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, s.in_end, &cp);
        string::append_char(series::buffer_of(node), cp == unicode::UTF8_INVALID ? unicode::REPLACEMENT_CHAR : cp);
        p = next;
    }
}

// The character a missing error expects.
uint32_t expected_char(State& s, const uint8_t* at, int32_t code) {
    bool closing_there = code == ERR_MISSING && at < s.in_end;
    switch (s.missing_type) {
        case TYPE_PAREN: case TYPE_POINT2D:
            return closing_there && *at == ')' ? '(' : ')';
        default:
            return closing_there && *at == ']' ? '[' : ']';
    }
}

}  // namespace

void set_callback_hook(const CallbackHook& h) { hook = h; }

void forget_event_words() {
    for (uint32_t& id : event_symbols) id = 0;
}

int32_t char_index(State& s, const uint8_t* p) {
    if (!s.chars) return static_cast<int32_t>(p - s.input);
    if (p < s.cached_pos) {
        s.cached_pos = s.input;
        s.cached_index = 0;
    }
    s.cached_index += count_chars(s.cached_pos, p);
    s.cached_pos = p;
    return s.cached_index;
}

const uint8_t* position_of(State& s, int32_t index) {
    if (index <= 0) return s.input;
    if (!s.chars) return index < s.in_end - s.input ? s.input + index : s.in_end;
    const uint8_t* p = s.input;
    for (int32_t n = 0; p < s.in_end; ++p) {
        if ((*p & 0xC0) != 0x80 && n++ == index) return p;
    }
    return s.in_end;
}

uint32_t event_mask(const Cell* callback) {
    if (!hook.spec_of) return EVENT_ALL;
    Cell spec;
    hook.spec_of(callback, &spec);
    if (cell::type(&spec) != TYPE_BLOCK) return EVENT_ALL;
    const SeriesBuffer* buf = series::buffer_of(&spec);
    const Cell* first = reinterpret_cast<const Cell*>(buf->data() + buf->head) + spec.w1;
    if (first >= reinterpret_cast<const Cell*>(buf->data() + buf->tail) || cell::type(first) != TYPE_BLOCK)
        return EVENT_ALL;
    uint32_t ids[6];
    for (int i = 0; i < 6; ++i) ids[i] = symbol::resolve(event_symbol(i));
    buf = series::buffer_of(first);
    const Cell* w = reinterpret_cast<const Cell*>(buf->data() + buf->head) + first->w1;
    const Cell* end = reinterpret_cast<const Cell*>(buf->data() + buf->tail);
    uint32_t mask = 0;
    for (; w < end; ++w) {
        if (!word::any_word_q(cell::type(w))) continue;
        uint32_t id = symbol::resolve(w->w2);
        for (int i = 0; i < 6; ++i)
            if (id == ids[i]) mask |= 1u << i;
    }
    return mask;
}

bool fire_event(State& s, Event event, int32_t type, const Cell* value, const uint8_t* start, const uint8_t* end) {
    if (!(s.mask & event)) return true;
    if (!hook.call) fire(ERR_INTERNAL, "not-done");
    Cell args[5];
    word::make_at(event_symbol(event_number(event)), &args[0]);
    args[1] = s.input_value;
    bool series_input = is_series_type(cell::type(&s.input_value));
    uint32_t head = s.input_value.w1;
    const uint8_t* at = event == EVENT_OPEN || (event == EVENT_PRESCAN && type < 0) ? start : end;
    uint32_t sent = head + static_cast<uint32_t>(char_index(s, at));
    if (series_input) args[1].w1 = sent;
    if (type > 0) set_datatype(&args[2], static_cast<uint32_t>(type));
    else if (type < 0 && hook.token_name) hook.token_name(-type, &args[2]);
    else set_none(&args[2]);
    set_integer(&args[3], s.line);
    if (value) {
        args[4] = *value;
    } else {
        int32_t x = static_cast<int32_t>(head) + char_index(s, start) + 1;
        int32_t y = static_cast<int32_t>(head) + char_index(s, end) + 1;
        pair::make_in(&args[4], x, y);
    }
    bool result = hook.call(&s.callback, args);
    if (series_input && cell::type(&args[1]) == cell::type(&s.input_value) && args[1].w2 == s.input_value.w2 &&
        args[1].w1 != sent) {
        int32_t index = static_cast<int32_t>(args[1].w1) - static_cast<int32_t>(head);
        s.resume = position_of(s, index);
    }
    return result;
}

void fail(State& s, const uint8_t* start, const uint8_t* end, int32_t code) {
    if (!s.load) {
        s.tok_type = TYPE_ERROR;
        throw ScanStopped{};
    }
    if (has_callback(s)) {
        int32_t type = code > 0 ? code
                       : s.err_type > 0 ? s.err_type
                       : s.tok_type > 0 ? s.tok_type
                       : s.type > 0 ? s.type
                       : static_cast<int32_t>(TYPE_ERROR);
        if (s.entry == S_PATH) {
            const Cell* m = open_marker(s);
            if (m && marker_type(m) >= TYPE_PATH && marker_type(m) <= TYPE_GET_PATH)
                close_series(s, start, start, -1, true);
        }
        if (!fire_event(s, EVENT_ERROR, type, nullptr, start, end)) {
            s.err_start = start;
            s.err_end = end;
            s.err_code = code;
            throw TokenRefused{};
        }
    }
    raise_error(s, start, end, code);
}

void raise_error(State& s, const uint8_t* start, const uint8_t*, int32_t code) {
    Cell near, position, expected;
    near_text(s, start, &near);
    char line[32];
    std::snprintf(line, sizeof line, "(line %d)", s.line);
    string::make_in(&position, 16, 1);
    string::concatenate_literal(&position, line);
    close_all(s);
    if (s.into) {
        append_values(s.into, stack_cell(s.base), s.tail - s.base);
        s.tail = s.base;
    }
    if (code == ERR_MISSING || code == ERR_MISSING_END) {
        if (s.missing_type >= static_cast<int32_t>(TYPE_PATH) && s.missing_type <= static_cast<int32_t>(TYPE_GET_PATH))
            code = ERR_BAD_CHAR;
        else {
            cell::set(&expected, TYPE_CHAR, 0, expected_char(s, start, code));
            fire(ERR_SYNTAX, "missing", &position, &expected, &near);
        }
    }
    switch (code) {
        case ERR_BAD_CHAR: fire(ERR_SYNTAX, "bad-char", &position, &near);
        case ERR_MALCONSTRUCT: fire(ERR_SYNTAX, "malconstruct", &position, &near);
        default:
            set_datatype(&expected, static_cast<uint32_t>(code));
            fire(ERR_SYNTAX, "invalid", &position, &expected, &near);
    }
}

}  // namespace zel::lexer
