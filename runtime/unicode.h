// Text encodings at the runtime's edges.
//
// Text lives in series buffers of 1, 2 or 4 bytes per code point (Latin-1,
// UCS-2, UCS-4; the unit is in flags bits 0-4) and meets encoded text at the
// edges: UTF-8 from files, the console and the boot payload, UTF-16LE for
// some platform boundaries. This module has the single-character codecs,
// the whole-text converters both ways, the in-place widening of a text
// buffer, and the display width of a code point.
//
// Every decoder takes the end of its input and never reads past it.
// Text values are cells whose word 1 is the head index (in units) and word 2
// the node. The outward converters keep a byte series for their result in
// word 3 of the text cell they are given (made on first use, grown when too
// small); a result is valid until the next conversion through that cell.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zel {

// Flags bit set on a text buffer loaded from UTF-16LE.
constexpr uint32_t SERIES_FROM_UTF16 = 1u << 18;

namespace unicode {

// The code point a decoder reports for bytes that are not UTF-8.
constexpr uint32_t UTF8_INVALID = 0xFFFFFFFFu;
constexpr uint32_t REPLACEMENT_CHAR = 0xFFFDu;
constexpr uint32_t MAX_CODE_POINT = 0x10FFFFu;

// ---- single characters ----

// Decodes one character at p (p < end). Returns the position after it and
// the code point in *cp, or UTF8_INVALID for a byte that cannot start a
// character (one byte consumed), a sequence broken by an unexpected byte
// (consumed up to that byte, which is left for the next call) or a sequence
// cut off by the end (consumed to the end). Overlong forms, surrogates and
// code points above 10FFFFh are invalid.
const uint8_t* decode_utf8_sequence(const uint8_t* p, const uint8_t* end, uint32_t* cp);
inline const uint8_t* fast_decode_utf8_char(const uint8_t* p, const uint8_t* end, uint32_t* cp) {
    if (p < end && *p < 0x80) {  // inline: ASCII is most of every text
        *cp = *p;
        return p + 1;
    }
    return decode_utf8_sequence(p, end, cp);
}

// Decodes one character of at most *count bytes and sets *count to the bytes
// used. Returns -1 when the bytes are the valid beginning of a longer
// character; raises access error invalid-utf8 (with a binary! of up to four
// bytes from the sequence start) when they are not UTF-8.
int32_t load_utf8_char(const uint8_t* p, uint32_t* count);

// The length of the sequence a lead byte announces (0 for a byte that is not
// a lead byte of that shape).
int utf8_length(uint8_t lead);
// UTF-8 bytes of a code point; above 10FFFFh raises script error invalid-char.
int utf8_size(uint32_t cp);
// Writes the UTF-8 form of a code point (1-4 bytes; invalid-char above 10FFFFh).
int encode_utf8(uint32_t cp, uint8_t* dst);
// Writes only the first bytes that fit in `room` (a sequence may be cut).
int encode_utf8_bounded(uint32_t cp, uint8_t* dst, int room);
// Writes the UTF-16LE form (bytes, little-endian): 1 unit below 10000h, a
// surrogate pair up to 10FFFFh, nothing (0) above.
int encode_utf16(uint32_t cp, uint8_t* dst);

// ---- runs of text ----

// Characters (decoder steps) in [start, end).
uint32_t count_utf8(const uint8_t* start, const uint8_t* end);
// The position after n characters, never past end.
const uint8_t* skip_utf8(const uint8_t* p, const uint8_t* end, uint32_t n);
// UTF-8 bytes needed for the code points of a run in a unit of 1, 2 or 4.
uint64_t utf8_size_range(const uint8_t* start, const uint8_t* end, uint32_t unit);
// Extra bytes a UTF-16 copy of a run needs beyond 2 per code point: 2 for
// each LF (room for a CR) and 2 for each code point from 10000h.
uint64_t utf16_extra_size(const uint8_t* start, const uint8_t* end, uint32_t unit);
// The unit a text of `units` UTF-16LE units needs: 1 when every high byte is
// 0, 2 when one is not, 4 when one lies in D8h-DFh (a surrogate).
uint32_t utf16_unit(const uint8_t* p, uint32_t units);

// Writes the code points from the head of a text value (at most `part`;
// -1 for all) as UTF-8, then a zero byte when `zero` is set. Returns the
// bytes written, zero excluded. The caller sizes dst (utf8_size_range).
uint32_t encode_string_utf8(const Cell* text, uint8_t* dst, int32_t part, bool zero);
// The same with at most `room` bytes (the last character may be cut); part
// below 1 means all. The caller reserves one byte beyond room for the zero.
uint32_t encode_string_utf8_bounded(const Cell* text, uint8_t* dst, uint32_t room, int32_t part, bool zero);

// The data of the text cell's conversion buffer, made or grown to `size` bytes.
uint8_t* cache_buffer(Cell* text, uint64_t size);
// Converts the text from its head (*length code points, -1 for all) to
// UTF-8 with a zero byte in the cell's conversion buffer, each LF written as
// CR LF when `crlf` is set. Sets *length to the bytes (zero excluded) and
// returns the buffer's node.
Node to_utf8_buffer(Cell* text, int32_t* length, bool crlf);
// The converted bytes' address (valid until the next conversion or allocation).
const uint8_t* to_utf8(Cell* text, int32_t* length);
const uint8_t* to_utf8_crlf(Cell* text, int32_t* length, bool crlf);
// Converts to UTF-16LE with a zero unit; *length in code points (-1 for all),
// out in units. Null when a code point lies above 10FFFFh.
const uint8_t* to_utf16_part(Cell* text, int32_t* length, bool crlf);
// The whole text from its head, LF as CR LF: the form platform calls take.
const uint8_t* to_utf16(Cell* text);
// Widens a zero-terminated byte string to UTF-16LE with a zero unit; returns dst.
uint8_t* latin1_to_utf16(const char* s, uint8_t* dst);

// ---- widening ----

// Rewrites a text buffer's code points in a wider unit (growing the buffer
// first when needed) and returns the buffer, which may have moved.
SeriesBuffer* widen_latin1_ucs2(SeriesBuffer* buf);
SeriesBuffer* widen_latin1_ucs4(SeriesBuffer* buf);
SeriesBuffer* widen_ucs2_ucs4(SeriesBuffer* buf);
// Widens to the unit `to` (2 or 4) when the buffer's unit is narrower.
SeriesBuffer* widen(SeriesBuffer* buf, uint32_t to);
// The unit of a text buffer; any unit but 1, 2 or 4 is runtime error 101.
uint32_t text_unit(const SeriesBuffer* buf);

// ---- loading ----

// Decodes `count` bytes of UTF-8 and appends the code points to the target
// text series (node 0: a new series of unit 1), widening it as needed.
// A leading byte-order mark is skipped. With `crlf`, CR LF becomes LF and a
// lone CR becomes LF. When the input ends inside a character: with
// bytes_left, *bytes_left gets the bytes of that cut-off character and
// decoding stops before it; without, it is an error. Bytes that are not
// UTF-8 raise access error invalid-utf8. Returns the text node.
Node load_utf8(const uint8_t* bytes, uint32_t count, Node target, uint32_t* bytes_left, bool crlf);
// load_utf8 into a new series, no options.
Node load_utf8_simple(const uint8_t* bytes, uint32_t count);
// load_utf8 into the text cell's buffer (null bytes: read the cell's
// conversion buffer).
Node load_utf8_binary(const uint8_t* bytes, uint32_t count, Cell* text, uint32_t* bytes_left);
// Loads `units` UTF-16LE units (null src: the target cell's conversion
// buffer) into the target cell's buffer (null: a new series), replacing its
// text. With `drop_cr` every CR is dropped. A surrogate without its partner
// becomes U+FFFD. Returns the text node.
Node load_utf16le(const uint8_t* src, uint32_t units, Cell* target, bool drop_cr);

// Raises access error invalid-utf8 with a binary! of the n bytes at p.
[[noreturn]] void fire_invalid_utf8(const uint8_t* p, uint32_t n);

// ---- display width ----

// Whether cp lies in one of `words / 2` sorted inclusive ranges (start, end).
bool in_ranges(uint32_t cp, const uint32_t* ranges, uint32_t words);
// Columns a code point takes in a terminal: 0, 1 or 2.
int char_width(uint32_t cp);
// The same, with the East Asian ambiguous characters counted as wide.
int char_width_cjk(uint32_t cp);

// ---- code points in a unit ----

inline uint32_t get_char(const uint8_t* p, uint32_t unit) {
    switch (unit) {
        case 1: return p[0];
        case 2: return uint32_t{p[0]} | uint32_t{p[1]} << 8;
        default: return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
}

inline void put_char(uint8_t* p, uint32_t unit, uint32_t cp) {
    p[0] = static_cast<uint8_t>(cp);
    if (unit == 1) return;
    p[1] = static_cast<uint8_t>(cp >> 8);
    if (unit == 2) return;
    p[2] = static_cast<uint8_t>(cp >> 16);
    p[3] = static_cast<uint8_t>(cp >> 24);
}

}  // namespace unicode
}  // namespace zel
