// The lexer: UTF-8 source text to values.
//
// One table-driven scanner classifies every byte, walks a transition table
// until a token type comes out, then hands the token to its scanner (checks,
// nesting) and its loader (makes the value). Values are built in place on a
// shared token stack; a block is made once, at its closing bracket.
//
// Entry points: `scan` over UTF-8 bytes, `load_string` over a string!, the
// one-value loaders used by the to and make conversions, and `transcode`,
// the core of the native of that name.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::lexer {

// Event codes and their bits in a callback's event mask.
enum Event : uint32_t {
    EVENT_PRESCAN = 1, EVENT_SCAN = 2, EVENT_LOAD = 4, EVENT_OPEN = 8, EVENT_CLOSE = 16, EVENT_ERROR = 32,
};
constexpr uint32_t EVENT_ALL = 63;

// Calling user code back. The interpreter installs this once it exists;
// until then a scan given a callback raises internal/not-done.
struct CallbackHook {
    // Calls the callback (a function! or routine!, as a lexer callback)
    // with the five event arguments: event word, input, type, line, token.
    // Returns the result taken as a condition. On return args[1] must hold
    // the callback's `input` argument as the callback left it, so that a
    // callback that moved the input's index is followed.
    bool (*call)(const Cell* callback, Cell* args);
    // The callback's spec block into `out` (none! when it has none).
    void (*spec_of)(const Cell* callback, Cell* out);
    // Item n (1-based) of the boot library's lexer token names, or none!.
    void (*token_name)(int32_t n, Cell* out);
};
void set_callback_hook(const CallbackHook& hook);

// Allocates the token stack and the shared UTF-8 buffer and installs the
// word-name scanner. Runtime start calls it; every entry point also makes
// sure it ran.
void init();

// Scans `length` bytes of UTF-8 text. `one` stops after the first complete
// value; `not_prescan` false asks for prescan mode (tokens only classified);
// values are made when both `not_prescan` and `load` are set;
// `block_always` keeps even one value inside a block; `into`, when given,
// receives the values at its tail instead of `out`. `*consumed` (may be
// null) receives how far the scan went: characters from the input value's
// head for a string! input, else bytes. `callback` (null or none: no
// callback) is called for the events of its mask; `input` is the value
// passed to it (a string! or binary!, or null). The text is copied first
// when a callback is given, so a callback may change or move its source.
// `out` must not lie in a series buffer when a callback is given.
// Returns the datatype of the last token (0 for none).
int32_t scan(Cell* out, const uint8_t* text, uint32_t length, bool one, bool not_prescan, bool load,
             bool block_always, int32_t* consumed, const Cell* callback, const Cell* input, const Cell* into);

// Scans the characters of a string! from its index (`length` code points, or
// -1 for all), encoded as UTF-8 first; the other arguments as for `scan`.
int32_t load_string(Cell* out, const Cell* str, int32_t length, bool one, bool not_prescan, bool load,
                    bool block_always, int32_t* consumed, const Cell* callback, const Cell* into);

// Loads the whole text of a string-family value (a syntax error is raised).
// Returns null when the scan stopped before the end of the text; when
// nothing was loaded the slot becomes unset! and is returned; otherwise the
// slot holds the first value and is returned.
Cell* load_value(const Cell* str, Cell* slot);
// load_value into the current call's arguments base cell.
Cell* load_single(const Cell* str);

// The transcode native's work on its arguments.
struct TranscodeArgs {
    const Cell* source = nullptr;  // binary! or string!
    bool next = false, one = false, prescan = false, scan = false;
    const Cell* part = nullptr;    // integer!, or a binary! or string! position; null when absent
    const Cell* into = nullptr;    // block! to append to; null when absent
    const Cell* trace = nullptr;   // the callback; null when absent
};
// Leaves the native's result in `result`.
void transcode(Cell* result, const TranscodeArgs& args);

// The word-family type of a name on its own (word!, set-word!, get-word!,
// lit-word!, refinement!, issue!) or 0; *start and *length give the bare
// name. Installed as the word module's name scanner.
uint32_t scan_word_name(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length);

// Whether a text is a float by the lexer's float syntax: sign, digits with '
// separators, one point, exponent. Texts longer than 312 bytes are refused.
bool float_syntax_q(const char* text, uint32_t n);

// Calls `visit` on every cell the running scans hold: their token-stack
// cells, input values and callbacks. The collector marks through it.
void mark(void (*visit)(Cell*));

}  // namespace zel::lexer
