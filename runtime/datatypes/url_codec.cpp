// Percent encoding and decoding of text (the enhex and dehex natives, url!
// mold and the lexer's reading of escaped URLs and files).
#include <vector>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/unicode.h"

namespace zel::url {

namespace {

bool in_strict_set(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// The value of an ASCII hexadecimal digit, or -1.
int hex_digit(uint8_t b) {
    if (b >= '0' && b <= '9') return b - '0';
    if (b >= 'A' && b <= 'F') return b - 'A' + 10;
    if (b >= 'a' && b <= 'f') return b - 'a' + 10;
    return -1;
}

// The UTF-8 bytes of a text from its head.
std::vector<uint8_t> utf8_of(const Cell* text) {
    std::vector<uint8_t> out;
    uint32_t head = string::head_index(text);
    uint32_t n = static_cast<uint32_t>(string::rs_length_q(text));
    uint8_t bytes[4];
    for (uint32_t i = 0; i < n; ++i) {
        int k = unicode::encode_utf8(string::get_char_at(text, head + i), bytes);
        out.insert(out.end(), bytes, bytes + k);
    }
    return out;
}

// The byte of a %XX escape at b[i], or -1 when there is none.
int escape_at(const std::vector<uint8_t>& b, size_t i) {
    if (i + 2 >= b.size() || b[i] != '%') return -1;
    int hi = hex_digit(b[i + 1]), lo = hex_digit(b[i + 2]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// Decodes the escapes of one UTF-8 sequence led by `lead` at b[i]; the code
// point, or UTF8_INVALID when its continuation escapes are missing or the
// bytes are not one UTF-8 character.
uint32_t escaped_sequence(const std::vector<uint8_t>& b, size_t i, int lead, size_t* used) {
    int len = unicode::utf8_length(static_cast<uint8_t>(lead));
    if (len < 2) return unicode::UTF8_INVALID;
    uint8_t seq[4] = {static_cast<uint8_t>(lead)};
    for (int k = 1; k < len; ++k) {
        int byte = escape_at(b, i + 3 * static_cast<size_t>(k));
        if (byte < 0) return unicode::UTF8_INVALID;
        seq[k] = static_cast<uint8_t>(byte);
    }
    uint32_t cp;
    const uint8_t* next = unicode::fast_decode_utf8_char(seq, seq + len, &cp);
    if (next != seq + len) return unicode::UTF8_INVALID;
    *used = 3 * static_cast<size_t>(len);
    return cp;
}

}  // namespace

bool in_url_set(uint32_t c) {
    if (in_strict_set(c)) return true;
    switch (c) {
        case '!': case '#': case '$': case '&': case '\'': case '(': case ')': case '*': case '+': case ',':
        case '/': case ':': case '=': case '?': case '@': return true;
        default: return false;
    }
}

void encode(const Cell* text, Cell* target, int mode) {
    for (uint8_t b : utf8_of(text)) {
        bool keep = b < 0x80 && (mode == ENCODE_STRICT ? in_strict_set(b) : in_url_set(b));
        if (keep) {
            string::append_char(series::buffer_of(target), b);
        } else {
            string::append_char(series::buffer_of(target), '%');
            string::concatenate_literal(target, string::byte_to_hex(b));
        }
    }
}

void decode(const Cell* text, Cell* target) {
    std::vector<uint8_t> b = utf8_of(text);
    size_t i = 0;
    while (i < b.size()) {
        int byte = escape_at(b, i);
        if (byte >= 0 && byte < 0xC0) {
            string::append_char(series::buffer_of(target), static_cast<uint32_t>(byte));
            i += 3;
            continue;
        }
        if (byte >= 0) {
            size_t used = 0;
            uint32_t cp = escaped_sequence(b, i, byte, &used);
            if (cp != unicode::UTF8_INVALID) {
                string::append_char(series::buffer_of(target), cp);
                i += used;
                continue;
            }
        }
        // Plain text (an invalid escape's "%" included): one whole character.
        uint32_t cp;
        const uint8_t* p = b.data() + i;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, b.data() + b.size(), &cp);
        string::append_char(series::buffer_of(target), cp == unicode::UTF8_INVALID ? *p : cp);
        i += static_cast<size_t>(next - p);
    }
}

}  // namespace zel::url
