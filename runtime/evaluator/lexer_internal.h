// The lexer's inner parts, shared by its files: the scan state, the token
// stack, error and event reporting, and the scanners and loaders of every
// token type. Not for use outside the lexer.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/lexer_tables.h"

namespace zel::lexer {

// One running scan. A callback may start a nested scan; the states form a
// chain that the collector walks. Token-stack positions are indexes, so a
// nested scan that grows the stack leaves them valid.
struct State {
    State* next;              // next state in the chain
    State* parent;            // the state this scan runs inside, or null
    uint32_t base;            // first token-stack cell of this scan
    uint32_t head;            // start of the innermost open series (the cell after its marker)
    uint32_t tail;            // next free cell
    const uint8_t* input;     // the UTF-8 text
    const uint8_t* in_end;
    const uint8_t* pos;       // current position
    const uint8_t* tok_end;   // end of the current token
    int32_t line;             // line number, from 1
    int32_t nlines;           // line feeds crossed by the current token, leading ones included
    int32_t type;             // type override for string-family loads, -1 for string!
    int32_t tok_type;         // datatype of the current token, or 0
    uint32_t entry;           // start state of the next token
    uint32_t exit;            // last state before the token type
    int32_t err_type;         // error type override, or -1
    int32_t prev_type;        // datatype of the previous token
    const uint8_t* in_series; // opening brace of the current braced string
    int32_t brace_depth;
    uint32_t brace_flags;     // flags gathered over the braced string
    int32_t point_lines;      // line feeds before the ( of the current point literal
    Cell callback;            // none! when there is none
    uint32_t mask;            // event mask
    Cell input_value;         // the string! or binary! scanned, or none!
    bool load;                // values are made
    const uint8_t* cached_pos;  // last position turned into a character index
    int32_t cached_index;
    // Beyond the record proper:
    bool one;                 // stop after the first complete value
    bool prescan;             // prescan mode
    bool chars;               // positions count characters (string! input), not bytes
    bool stopped;             // an error ended the scan without raising
    const Cell* into;         // the block receiving the values, or null
    const uint8_t* resume;    // where a callback moved the input, or null
    const uint8_t* err_start; // the pending error of a refused error event
    const uint8_t* err_end;
    int32_t err_code;
    int32_t missing_type;     // the series type a missing error names
};

// Error codes other than a datatype id.
constexpr int32_t ERR_BAD_CHAR = -1;
constexpr int32_t ERR_MALCONSTRUCT = -2;
constexpr int32_t ERR_MISSING = -3;      // at a closing character
constexpr int32_t ERR_MISSING_END = -4;  // at the input end

// Thrown (within the lexer only) when an error ends the scan quietly, and
// when the callback refused an error: the failing token is then dropped.
struct ScanStopped {};
struct TokenRefused {};

// ---- token stack (lexer_entry.cpp) ----
// One stack shared by the running scans; cells are named by index, since
// growing it moves them.
extern Cell* stack_cells;
extern uint32_t stack_capacity;
void grow_stack();
inline Cell* stack_cell(uint32_t index) { return stack_cells + index; }
// A new cell at the scan's top; zeroed. Valid until the next push.
inline Cell* push_cell(State& s) {
    if (s.tail >= stack_capacity) grow_stack();
    Cell* c = stack_cells + s.tail++;
    *c = Cell{};
    return c;
}
inline Cell* top_cell(State& s) { return stack_cell(s.tail - 1); }
inline bool has_callback(const State& s) { return cell::type(&s.callback) != TYPE_NONE; }
// Sets the new-line flag on a cell when the current token crossed a line feed.
void mark_new_line(State& s, Cell* c);
// Appends n cells to the tail of a block value.
void append_values(const Cell* block, const Cell* from, uint32_t n);

// ---- the scan loop (lexer_scan.cpp) ----
// Scans tokens until the input ends or a one-value scan is complete.
void scan_tokens(State& s);

// ---- series on the token stack (lexer_series.cpp) ----
// Opens a block-family series (the open event may refuse: false).
bool open_series(State& s, const uint8_t* start, const uint8_t* end, uint32_t type);
// Closes the innermost series with a closing type (-1: whatever is open).
void close_series(State& s, const uint8_t* start, const uint8_t* end, int32_t type, bool no_event);
// The innermost open marker, or null when nothing is open.
Cell* open_marker(State& s);
inline uint32_t marker_type(const Cell* m) { return m->w2 & 0xFFFF; }
// Closes every open block and paren and drops open path markers.
void close_all(State& s);
// The end of a path item: closes the path or steps past its /.
void path_item_end(State& s);
// Whether a byte ends a path: blanks, line feed, [ ] ( ) { } " : < ;, an
// invalid lead byte, NUL.
bool is_path_delimiter(uint8_t b);
// The start state after a point literal: inside a path or not.
uint32_t entry_after_point(State& s);
// Whether a ( starts a point literal.
bool point_q(const State& s, const uint8_t* paren);
// A new block-family value of `type` holding copies of `n` cells.
void make_series(Cell* out, const Cell* cells, uint32_t n, uint32_t type);

// ---- events and errors (lexer_events.cpp) ----
// Fires an event when its bit is in the mask; its result (true otherwise).
bool fire_event(State& s, Event event, int32_t type, const Cell* value, const uint8_t* start,
                const uint8_t* end);
// Reports a syntax error; never returns (raises, or throws ScanStopped or
// TokenRefused).
[[noreturn]] void fail(State& s, const uint8_t* start, const uint8_t* end, int32_t code);
// Raises the syntax error without asking the callback (steps past the event).
[[noreturn]] void raise_error(State& s, const uint8_t* start, const uint8_t* end, int32_t code);
// Characters (string! input) or bytes from the input start to p.
int32_t char_index(State& s, const uint8_t* p);
// The position of a character (or byte) index from the input start, clamped.
const uint8_t* position_of(State& s, int32_t index);
uint32_t event_mask(const Cell* callback);
// Drops the symbols of the event words (a new runtime start renumbers them).
void forget_event_words();

// ---- scanners and loaders ----
// Every one takes the token's start and end, its flag word and the load flag.
using Handler = void (*)(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
extern const Handler SCANNERS[TOKEN_LAST - TOKEN_FIRST + 1];
extern const Handler LOADERS[TOKEN_LAST - TOKEN_FIRST + 1];
inline Handler scanner_of(uint32_t token) { return SCANNERS[token - TOKEN_FIRST]; }
inline Handler loader_of(uint32_t token) { return LOADERS[token - TOKEN_FIRST]; }

// Structure (lexer_structure.cpp).
void scan_end(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_error(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_open(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_block_close(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_paren_close(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_brace_open(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_brace_close(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_map_open(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_path(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_construct(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comment(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comma(State&, const uint8_t*, const uint8_t*, uint32_t, bool);

// Text (lexer_text.cpp).
void scan_string(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_string_token(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_char(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_file(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_tag(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_url(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_email(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_raw_string(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_ref(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
// Makes a text value of the state's override type (string! when -1) from
// the bytes between start and end, escapes decoded when `escapes` is set,
// on a new token-stack cell. With load false only checks the text.
void load_text(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool escapes, bool load);
// Decodes the escape after a ^ at p (p < end): the code point and the
// position after the escape, or UINT32_MAX when it is not valid.
uint32_t decode_escape(const uint8_t* p, const uint8_t* end, const uint8_t** next);

// Words (lexer_words.cpp).
void scan_word(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_issue(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_word(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_refinement(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
// Empties the cache of recently loaded words (a new runtime start).
void forget_words();
// Loads a word of the given type from its bare name.
void push_word(State& s, const uint8_t* name, const uint8_t* end, uint32_t type);
// The byte length of the Unicode space at p (p < end), or 0.
int unicode_space_at(const uint8_t* p, const uint8_t* end);
// The position of the first Unicode space in [p, end), or end.
const uint8_t* find_unicode_space(const uint8_t* p, const uint8_t* end);
// The position after the leading Unicode spaces of [p, end).
const uint8_t* skip_unicode_spaces(const uint8_t* p, const uint8_t* end);
// Whether every byte is below 80h.
bool ascii_only(const uint8_t* p, const uint8_t* end);
// Whether the bytes are well-formed UTF-8.
bool valid_utf8(const uint8_t* p, const uint8_t* end);

// Numbers (lexer_numbers.cpp).
void load_integer(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_float(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_percent(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_special_float(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_tuple(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_pair(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_point(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_time(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_hex(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_money(State&, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_date(State&, const uint8_t*, const uint8_t*, uint32_t, bool);   // lexer_date.cpp
void load_binary(State&, const uint8_t*, const uint8_t*, uint32_t, bool); // lexer_binary.cpp
// Reads a float text (with ' separators); false when the syntax or the
// conversion fails. `extra_exponent` -2 reads percents.
bool read_float(const uint8_t* start, const uint8_t* end, int extra_exponent, double* out);
// Reads an unsigned decimal run [start, end) of digits only; false on
// anything else or on overflow beyond `limit`.
bool read_digits(const uint8_t* start, const uint8_t* end, int64_t limit, int64_t* out);

}  // namespace zel::lexer
