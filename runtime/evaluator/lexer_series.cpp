// Nesting on the token stack: open markers for blocks, parens, maps, points
// and paths; closing them into block-family values; the end of a path item.
#include <cstring>
#include "runtime/memory.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

bool is_path_type(uint32_t t) { return t >= TYPE_PATH && t <= TYPE_GET_PATH; }

}  // namespace

bool is_path_delimiter(uint8_t b) {
    switch (class_of(b)) {
        case C_BLANK: case C_LF: case C_BLOCK_OPEN: case C_BLOCK_CLOSE: case C_PAREN_OPEN: case C_PAREN_CLOSE:
        case C_BRACE_OPEN: case C_BRACE_CLOSE: case C_DQUOTE: case C_COLON: case C_LESSER: case C_SEMICOLON:
        case C_BADLEAD: case C_NUL:
            return true;
        default:
            return false;
    }
}

namespace {

// Builds the innermost open series into its marker's cell.
void build_innermost(State& s, uint32_t type) {
    uint32_t marker = s.head - 1;
    Cell* m = stack_cell(marker);
    uint32_t back = m->w1;
    uint32_t line = m->header & FLAG_NEW_LINE;
    make_series(m, stack_cell(s.head), s.tail - s.head, type);
    m->header |= line;
    s.tail = marker + 1;
    s.head = marker + 1 - back;
}

}  // namespace

void make_series(Cell* out, const Cell* from, uint32_t n, uint32_t type) {
    Node node = series::alloc_cells(n ? n : 1);
    SeriesBuffer* buf = series::buffer_of(node);
    if (n) std::memcpy(buf->data() + buf->head, from, size_t{n} * sizeof(Cell));
    buf->tail = buf->head + n * static_cast<uint32_t>(sizeof(Cell));
    set_series(out, type, node);
}

Cell* open_marker(State& s) { return s.head > s.base ? stack_cell(s.head - 1) : nullptr; }

bool open_series(State& s, const uint8_t* start, const uint8_t* end, uint32_t type) {
    if (const Cell* m = open_marker(s); m && marker_type(m) == TYPE_POINT2D) fail(s, start, end, TYPE_POINT2D);
    if (has_callback(s) && !fire_event(s, EVENT_OPEN, static_cast<int32_t>(type), nullptr, start, end)) return false;
    Cell* m = push_cell(s);
    cell::set(m, TYPE_TRIPLE, s.tail - s.head, type, static_cast<uint32_t>(start - s.input));
    mark_new_line(s, m);
    s.head = s.tail;
    s.entry = S_START;
    return true;
}

void close_series(State& s, const uint8_t* start, const uint8_t* end, int32_t type, bool no_event) {
    const Cell* m = open_marker(s);
    if (has_callback(s) && !no_event) {
        int32_t reported = m ? static_cast<int32_t>(marker_type(m)) : type;
        if (!fire_event(s, EVENT_CLOSE, reported, nullptr, start, end)) {
            s.entry = S_START;
            return;
        }
        m = open_marker(s);
    }
    if (!m) {
        s.missing_type = s.err_type = type;
        fail(s, start, end, ERR_MISSING);
    }
    uint32_t open = marker_type(m);
    uint32_t built = open;
    if (type >= 0 && static_cast<uint32_t>(type) != open) {
        if (type == TYPE_BLOCK && open == TYPE_MAP) {
            built = TYPE_BLOCK;
        } else if (type == TYPE_SET_PATH && open == TYPE_PATH) {
            built = TYPE_SET_PATH;
        } else {
            s.missing_type = s.err_type = static_cast<int32_t>(open);
            fail(s, start, end, ERR_MISSING);
        }
    }
    build_innermost(s, built);
    s.tok_type = static_cast<int32_t>(built);
    const Cell* outer = open_marker(s);
    s.entry = outer && is_path_type(marker_type(outer)) ? S_PATH : S_START;
}

void close_all(State& s) {
    while (const Cell* m = open_marker(s)) {
        uint32_t type = marker_type(m);
        if (is_path_type(type)) {
            // The marker goes; the items stay in the enclosing series.
            uint32_t marker = s.head - 1;
            uint32_t back = m->w1;
            std::memmove(stack_cell(marker), stack_cell(marker + 1), size_t{s.tail - marker - 1} * sizeof(Cell));
            --s.tail;
            s.head = marker + 1 - back;
        } else {
            build_innermost(s, type == TYPE_PAREN || type == TYPE_POINT2D ? TYPE_PAREN : TYPE_BLOCK);
        }
    }
    s.entry = S_START;
}

void path_item_end(State& s) {
    const uint8_t* p = s.pos;
    // A Unicode space ends a path as a blank does (it ended the item's word).
    if (p >= s.in_end || is_path_delimiter(*p) || unicode_space_at(p, s.in_end)) {
        if (p < s.in_end && *p == ':') {
            if (p + 1 < s.in_end && p[1] == '/') fail(s, p, p + 2, TYPE_PATH);
            s.pos = p + 1;
            close_series(s, p, p + 1, TYPE_SET_PATH, false);
        } else {
            close_series(s, p, p, -1, false);
        }
        return;
    }
    // Only a / goes on to the next item; anything else would be lost.
    if (*p != '/') fail(s, p, p + 1, TYPE_PATH);
    s.pos = p + 1;
    if (s.pos >= s.in_end) fail(s, p, s.pos, TYPE_PATH);
}

uint32_t entry_after_point(State& s) {
    const Cell* m = open_marker(s);
    return m && is_path_type(marker_type(m)) ? S_PATH : S_START;
}

bool point_q(const State& s, const uint8_t* paren) {
    const uint8_t* p = paren + 1;
    if (s.in_end - p < 4) return false;
    for (; p < s.in_end; ++p) {
        switch (*p) {
            case ',':
                return true;
            case '\t': case ' ': case '#': case '+': case '-': case '.': case 'A': case 'E': case 'F': case 'I':
            case 'N': case 'a': case 'e': case 'f': case 'i': case 'n':
                break;
            default:
                if (*p < '0' || *p > '9') return false;
        }
    }
    return true;
}

}  // namespace zel::lexer
