// Text tokens: escapes, quoted and braced strings, raw strings, and the
// string-family literals (char!, file!, tag!, url!, email!, ref!).
#include <cstring>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/memory.h"
#include "runtime/unicode.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

constexpr uint32_t INVALID = UINT32_MAX;

struct EscapeName {
    const char* name;
    uint32_t code;
};
constexpr EscapeName ESCAPE_NAMES[] = {
    {"null", 0}, {"back", 8}, {"tab", 9}, {"line", 10}, {"page", 12}, {"esc", 27}, {"del", 127},
};

bool name_at(const uint8_t* p, const uint8_t* end, const char* name) {
    size_t n = std::strlen(name);
    if (static_cast<size_t>(end - p) <= n || p[n] != ')') return false;
    for (size_t i = 0; i < n; ++i)
        if ((p[i] | 0x20) != static_cast<uint8_t>(name[i])) return false;
    return true;
}

// The unit a text needs: from the UTF-8 lead bytes it holds, widened by the
// ^( ) escapes made of more than 2 (unit 2) or 4 (unit 4) hex digits.
uint32_t text_unit(const uint8_t* p, const uint8_t* end, uint32_t flags, bool escapes) {
    uint32_t unit = 1u << (flags >> 30);
    if (unit > 4) unit = 4;
    if (!escapes || !(flags & F_CARET) || unit == 4) return unit;
    while (p < end) {
        if (*p++ != '^' || p >= end) continue;
        if (*p != '(') {
            ++p;  // the escaped character
            continue;
        }
        const uint8_t* q = ++p;
        while (q < end && HEX_VALUES[*q] != 0xFF) ++q;
        if (q < end && *q == ')') {
            if (q - p > 4) return 4;
            if (q - p > 2) unit = 2;
        }
    }
    return unit;
}

// Decodes a text into `out` (null: only checks) in the unit. Returns the
// number of characters, -1 for an undecodable one, -2 for a character too
// wide for the unit.
int64_t decode_text(const uint8_t* p, const uint8_t* end, bool escapes, uint32_t unit, uint8_t* out) {
    int64_t n = 0;
    const uint32_t limit = unit == 1 ? 0xFF : unit == 2 ? 0xFFFF : 0x10FFFF;
    while (p < end) {
        uint32_t cp = *p;
        if (escapes && cp == '^') {
            cp = decode_escape(p + 1, end, &p);
        } else if (cp < 0x80) {
            ++p;
        } else {
            p = unicode::fast_decode_utf8_char(p, end, &cp);
        }
        if (cp == INVALID) return -1;
        if (cp > limit) return -2;
        if (out) unicode::put_char(out + n * unit, unit, cp);
        ++n;
    }
    return n;
}

bool has_percent_escape(const uint8_t* p, const uint8_t* end) { return std::memchr(p, '%', static_cast<size_t>(end - p)); }

}  // namespace

uint32_t decode_escape(const uint8_t* p, const uint8_t* end, const uint8_t** next) {
    *next = p + 1;
    if (p >= end) return INVALID;
    uint8_t b = *p;
    if (b == '(') {
        const uint8_t* q = p + 1;
        uint32_t digits = 0, value = 0;
        while (q + digits < end && digits < 6 && HEX_VALUES[q[digits]] != 0xFF)
            value = value << 4 | HEX_VALUES[q[digits++]];
        bool closed = q + digits < end && q[digits] == ')';
        if (closed && digits >= 1 && digits <= 2) {
            *next = q + digits + 1;
            return value;
        }
        for (const EscapeName& e : ESCAPE_NAMES) {
            if (name_at(q, end, e.name)) {
                *next = q + std::strlen(e.name) + 1;
                return e.code;
            }
        }
        if (closed && digits >= 1 && value <= unicode::MAX_CODE_POINT) {
            *next = q + digits + 1;
            return value;
        }
        return INVALID;
    }
    switch (b) {
        case '"': return '"';
        case '-': return '\t';
        case '/': return '\n';
        case '@': return 0;
        case '^': return '^';
        case '{': return '{';
        case '}': return '}';
        case '~': return 0x7F;
        default: break;
    }
    if (b >= 'a' && b <= 'z') return b - 'a' + 1u;
    if (b >= 0x41 && b <= 0x5F) return b - 64u;
    if (b < 0x80) return b;
    uint32_t cp;
    *next = unicode::fast_decode_utf8_char(p, end, &cp);
    return cp;
}

// Makes a text value of `type` from the bytes into `out`; false when a
// character cannot be decoded.
bool make_text(Cell* out, const uint8_t* start, const uint8_t* end, uint32_t flags, bool escapes, uint32_t type) {
    uint32_t unit = text_unit(start, end, flags, escapes);
    uint64_t room = static_cast<uint64_t>(end - start);
    if (unit == 1 && !(escapes && (flags & F_CARET)) && ascii_only(start, end)) {
        string::make_in(out, static_cast<uint32_t>(room ? room : 1), 1);
        SeriesBuffer* buf = series::buffer_of(out);
        if (room) std::memcpy(buf->data() + buf->head, start, room);
        buf->tail = buf->head + static_cast<uint32_t>(room);
        cell::set_type(out, type);
        return true;
    }
    for (;;) {
        string::make_in(out, static_cast<uint32_t>(room ? room : 1), unit);
        SeriesBuffer* buf = series::buffer_of(out);
        int64_t n = decode_text(start, end, escapes, unit, buf->data() + buf->head);
        if (n == -1) return false;
        if (n >= 0) {
            buf->tail = buf->head + static_cast<uint32_t>(n) * unit;
            cell::set_type(out, type);
            return true;
        }
        unit = 4;  // a character the unit cannot hold: never expected, but stay exact
    }
}

void load_text(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool escapes, bool load) {
    uint32_t type = s.type > 0 ? static_cast<uint32_t>(s.type) : TYPE_STRING;
    if (!load) {
        // ASCII without escapes always decodes; only other text needs the
        // character-by-character check.
        size_t n = end > start ? static_cast<size_t>(end - start) : 0;
        if (ascii_only(start, end) && !(escapes && n && std::memchr(start, '^', n))) return;
        if (decode_text(start, end, escapes, 4, nullptr) < 0) fail(s, start, end, static_cast<int32_t>(type));
        return;
    }
    Cell text;
    if (!make_text(&text, start, end, flags, escapes, type)) fail(s, start, end, static_cast<int32_t>(type));
    *push_cell(s) = text;
}

void scan_string(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    load_text(s, start + 1, end, flags, true, false);
}

// A text of the state's override type with its %XX escapes decoded.
void load_decoded(State& s, const uint8_t* token, const uint8_t* start, const uint8_t* end, uint32_t flags,
                  bool load) {
    Cell raw;
    if (!make_text(&raw, start, end, flags, false, TYPE_STRING)) fail(s, token, end, s.type);
    if (!load) return;
    Cell decoded;
    string::make_in(&decoded, static_cast<uint32_t>(end - start), 1);
    url::decode(&raw, &decoded);
    cell::set_type(&decoded, static_cast<uint32_t>(s.type));
    *push_cell(s) = decoded;
}

void load_string_token(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    load_text(s, start + 1, end, flags, true, load);
}

void load_char(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* p = start + 2;  // past #"
    uint32_t cp = INVALID;
    const uint8_t* next = p;
    if (p < end) {
        if (*p == '^') cp = decode_escape(p + 1, end, &next);
        else next = unicode::fast_decode_utf8_char(p, end, &cp);
    }
    if (cp == INVALID || next != end) fail(s, start, end + 1, TYPE_CHAR);
    if (load) cell::set(push_cell(s), TYPE_CHAR, 0, cp);
}

void load_file(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    s.type = TYPE_FILE;
    if (end - start > 1 && start[1] == '"') {
        load_text(s, start + 2, end, flags, true, load);
        return;
    }
    const uint8_t* name = start + 1;
    if (has_percent_escape(name, end)) load_decoded(s, start, name, end, flags, load);
    else load_text(s, name, end, flags, false, load);
}

void load_tag(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    s.type = TYPE_TAG;
    load_text(s, start + 1, end, flags, false, load);
}

void load_url(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    if (*start == ':') fail(s, start, end, TYPE_GET_WORD);
    if (*start == '\'') fail(s, start, end, TYPE_LIT_WORD);
    s.type = TYPE_URL;
    if (flags & F_PERCENT) load_decoded(s, start, start, end, flags, load);
    else load_text(s, start, end, flags, false, load);
}

void load_email(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    s.type = TYPE_EMAIL;
    load_text(s, start, end, flags, false, load);
}

void load_ref(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    s.type = TYPE_REF;
    load_text(s, start + 1, end, flags, false, load);
}

void load_raw_string(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    const uint8_t* p = start;
    while (*p == '%') ++p;
    uint32_t opened = static_cast<uint32_t>(p - start);
    const uint8_t* text = p + 1;  // past the {
    uint32_t closed = 0;
    while (closed < opened + 1 && end - closed - 1 > text && end[-1 - static_cast<int64_t>(closed)] == '%') ++closed;
    if (closed > opened) fail(s, start, end, TYPE_STRING);
    const uint8_t* text_end = end - closed - 1;  // the }
    if (closed < opened) {
        // The closing run was short: look on for } and the full run.
        const uint8_t* q = end;
        for (;; ++q) {
            if (static_cast<uint64_t>(s.in_end - q) < uint64_t{opened} + 1) fail(s, start, s.in_end, TYPE_STRING);
            if (*q != '}') continue;
            uint32_t k = 0;
            while (k < opened && q[1 + k] == '%') ++k;
            if (k == opened) break;
        }
        for (const uint8_t* c = end; c < q; ++c) {
            flags |= CLASSES[*c];
            s.line += *c == '\n';
        }
        text_end = q;
        s.pos = q + 1 + opened;
    }
    if (!load && has_callback(s)) {
        fire_event(s, EVENT_OPEN, TYPE_STRING, nullptr, start, start + opened + 1);
        fire_event(s, EVENT_CLOSE, TYPE_STRING, nullptr, text_end, s.pos);
    }
    s.type = TYPE_STRING;
    load_text(s, text, text_end, flags, false, load);
}

}  // namespace zel::lexer
