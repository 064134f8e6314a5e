// Scanners of the structure tokens: input end, error token, brackets,
// braces, map and path openers, construction syntax, comments and commas.
#include <cstring>
#include "runtime/datatype.h"
#include "runtime/datatypes/map.h"
#include "runtime/memory.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

bool same_letters(const uint8_t* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = a[i], y = static_cast<uint8_t>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<uint8_t>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<uint8_t>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The value of a construction name: the four keywords, else the first
// registered datatype whose name begins with it. False when none fits.
bool construct_value(const uint8_t* name, size_t n, Cell* out, bool* malformed) {
    static constexpr const char* KEYWORDS[4] = {"true", "false", "none", "unset"};
    for (int i = 0; i < 4; ++i) {
        size_t k = std::strlen(KEYWORDS[i]);
        if (n < k || !same_letters(name, KEYWORDS[i], k)) continue;
        if (n != k) {
            *malformed = true;
            return false;
        }
        if (i < 2) set_logic(out, i == 0);
        else if (i == 2) set_none(out);
        else set_unset(out);
        return true;
    }
    for (uint32_t id = 1; id <= datatype::highest_id(); ++id) {
        const char* type_name = datatype::name_of(id);
        if (type_name && std::strlen(type_name) >= n && same_letters(name, type_name, n)) {
            set_datatype(out, id);
            return true;
        }
    }
    return false;
}

// Checks a map literal's block and turns it into a map! in place.
void finish_map(State& s, const uint8_t* opening, const uint8_t* end) {
    Cell* blk = top_cell(s);
    const SeriesBuffer* buf = series::buffer_of(blk);
    uint32_t n = (buf->tail - buf->head) / sizeof(Cell);
    const Cell* items = reinterpret_cast<const Cell*>(buf->data() + buf->head);
    bool ok = n % 2 == 0;
    for (uint32_t i = 0; ok && i < n; i += 2) ok = map::key_type_q(cell::type(items + i));
    if (!ok) {
        --s.tail;
        fail(s, opening, end, TYPE_MAP);
    }
    map::make_at(blk, blk, n / 2);
}

}  // namespace

void scan_end(State& s, const uint8_t*, const uint8_t*, uint32_t, bool) { s.pos = s.in_end; }

void scan_error(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    int32_t type = DATATYPES[s.exit];
    const uint8_t* from = start;
    if (s.exit == S_PATH) {
        const Cell* m = open_marker(s);
        from = m ? s.input + m->w3 : s.input;
    } else if (s.brace_depth > 0) {
        from = s.in_series;
    }
    // A braced string or point literal cannot go on after an error inside it.
    if (s.entry == S_POINT) s.entry = entry_after_point(s);
    if (s.entry == S_BRACED) {
        s.entry = S_START;
        s.brace_depth = 0;
        s.brace_flags = 0;
    }
    fail(s, from, end, type ? type : ERR_BAD_CHAR);
}

void scan_open(State& s, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    if (*start == '(') {
        if (point_q(s, start)) {
            s.entry = S_POINT;
            s.point_lines = s.nlines;
            return;
        }
        open_series(s, start, start + 1, TYPE_PAREN);
    } else {
        open_series(s, start, start + 1, TYPE_BLOCK);
    }
}

void scan_block_close(State& s, const uint8_t* start, const uint8_t*, uint32_t, bool load) {
    const Cell* m = open_marker(s);
    bool map = m && marker_type(m) == TYPE_MAP;
    const uint8_t* opening = m ? s.input + m->w3 : start;
    close_series(s, start, start + 1, TYPE_BLOCK, false);
    if (map && s.tok_type == TYPE_BLOCK) {
        s.tok_type = TYPE_MAP;
        if (load) finish_map(s, opening, start + 1);
    }
}

void scan_paren_close(State& s, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    close_series(s, start, start + 1, TYPE_PAREN, false);
}

void scan_brace_open(State& s, const uint8_t*, const uint8_t* brace, uint32_t flags, bool) {
    if (s.brace_depth == 0) {
        if (has_callback(s)) fire_event(s, EVENT_OPEN, TYPE_STRING, nullptr, brace, brace + 1);
        s.in_series = brace;
        s.brace_flags = s.nlines > 0 ? F_BRACE_LINE : 0;
    }
    ++s.brace_depth;
    s.brace_flags |= flags;
    s.entry = S_BRACED;
}

// The token runs from the text after the previous brace to this }.
void scan_brace_close(State& s, const uint8_t*, const uint8_t* brace, uint32_t flags, bool load) {
    if (--s.brace_depth > 0) {
        s.brace_flags |= flags;
        if (brace + 1 >= s.in_end) fail(s, s.in_series, brace + 1, TYPE_STRING);
        return;
    }
    const uint8_t* open = s.in_series;
    uint32_t all = s.brace_flags | flags;
    bool line = (s.brace_flags & F_BRACE_LINE) || s.nlines > 0;
    s.entry = S_START;
    s.brace_depth = 0;
    s.brace_flags = 0;
    bool callback = has_callback(s);
    if (callback) fire_event(s, EVENT_CLOSE, TYPE_STRING, nullptr, brace, brace + 1);
    if (!load) {
        load_text(s, open + 1, brace, all, true, false);
        if (callback) fire_event(s, EVENT_SCAN, TYPE_STRING, nullptr, open, brace + 1);
        return;
    }
    if (callback && !fire_event(s, EVENT_SCAN, TYPE_STRING, nullptr, open, brace + 1)) return;
    uint32_t before = s.tail;
    load_text(s, open + 1, brace, all, true, true);
    if (line) stack_cell(before)->header |= FLAG_NEW_LINE;
    if (callback && !fire_event(s, EVENT_LOAD, TYPE_STRING, stack_cell(before), open, brace + 1)) s.tail = before;
}

void scan_map_open(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    if (*start != '#') fail(s, start, end + 1, TYPE_MAP);
    open_series(s, start, end + 1, TYPE_MAP);
}

void scan_path(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    uint32_t type = *start == '\'' ? TYPE_LIT_PATH : *start == ':' ? TYPE_GET_PATH : TYPE_PATH;
    if (!open_series(s, start, end, type)) return;
    s.entry = S_PATH;
    if (!load) return;
    bool callback = has_callback(s);
    if (callback && !fire_event(s, EVENT_SCAN, TYPE_WORD, nullptr, start, end)) return;
    uint32_t before = s.tail;
    push_word(s, type == TYPE_PATH ? start : start + 1, end, TYPE_WORD);
    if (callback && !fire_event(s, EVENT_LOAD, TYPE_WORD, stack_cell(before), start, end)) s.tail = before;
}

void scan_construct(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Cell value;
    bool malformed = false;
    if (!construct_value(start + 2, static_cast<size_t>(end - start - 2), &value, &malformed))
        fail(s, start, end + 1, ERR_MALCONSTRUCT);
    s.tok_type = static_cast<int32_t>(cell::type(&value));
    if (!load) return;
    Cell* c = push_cell(s);
    *c = value;
    mark_new_line(s, c);
}

void scan_comment(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    if (has_callback(s)) fire_event(s, EVENT_SCAN, -12, nullptr, start, end);
}

void scan_comma(State& s, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    Cell* m = open_marker(s);
    if (m && marker_type(m) == TYPE_POINT2D) {
        m->w2 += 1u << 16;
    } else if (m && marker_type(m) == TYPE_PAREN) {
        m->w2 = TYPE_POINT2D | 1u << 16;
    } else {
        fail(s, start, start + 1, TYPE_POINT2D);
    }
}

const Handler SCANNERS[TOKEN_LAST - TOKEN_FIRST + 1] = {
    scan_end, scan_error, scan_open, scan_block_close, scan_open, scan_paren_close, scan_brace_open,
    scan_brace_close, scan_map_open, scan_path, scan_construct, scan_comment, scan_comma,
    scan_string, scan_word, scan_issue,
    // 82-101: checked by their loaders
};

const Handler LOADERS[TOKEN_LAST - TOKEN_FIRST + 1] = {
    // 66-78: structure tokens load nothing of their own
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr,
    load_string_token, load_word, load_word, load_integer, load_refinement, load_char, load_file, load_binary,
    load_percent, load_float, load_special_float, load_tuple, load_date, load_pair, load_point, load_time,
    load_money, load_tag, load_url, load_email, load_hex, load_raw_string, load_ref,
};

}  // namespace zel::lexer
