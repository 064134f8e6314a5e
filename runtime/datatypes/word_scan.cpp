// Which word-family token a text is on its own: used when text is converted
// to a word and when an issue's or refinement's name is checked. The lexer
// installs its own scanner when it starts; until then these rules, which
// follow the lexer's word syntax, decide.
#include <cstring>
#include "runtime/datatypes/word.h"

namespace zel::word {

namespace {

ScanFn scanner = nullptr;

inline bool blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes that end a word or make it another type (path, url, email, money,
// file, tag, string, block ...).
inline bool breaks_word(uint8_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    return std::strchr(" []{}()\"#\\;:/@$%,", c) != nullptr;
}

inline bool digit(uint8_t c) { return c >= '0' && c <= '9'; }

// Words made only of signs: "/", "//", "<", "<=", "<>", "<<", ">" ...
bool sign_word(const uint8_t* p, uint32_t n) {
    bool slashes = true, angles = true;
    for (uint32_t i = 0; i < n; ++i) {
        slashes = slashes && p[i] == '/';
        angles = angles && (p[i] == '<' || p[i] == '>' || p[i] == '=' || p[i] == '-');
    }
    return (slashes && n <= 2) || (angles && n <= 2 && (p[0] == '<' || p[0] == '>'));
}

// Whether the bytes form a plain word name.
bool plain_name(const uint8_t* p, uint32_t n) {
    if (n == 0) return false;
    if (sign_word(p, n)) return true;
    if (n == 1 && p[0] == '%') return true;
    if (digit(p[0]) || p[0] == '<' || p[0] == '\'') return false;
    if ((p[0] == '+' || p[0] == '-' || p[0] == '.') && n > 1 && digit(p[1])) return false;
    for (uint32_t i = 0; i < n; ++i)
        if (breaks_word(p[i]) || p[i] == '<') return false;
    return true;
}

uint32_t builtin_scan(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length) {
    uint32_t b = 0, e = n;
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    const uint8_t* p = text + b;
    uint32_t len = e - b;
    if (len == 0) return 0;
    uint32_t type = TYPE_WORD;
    uint32_t skip = 0;
    if (sign_word(p, len)) {
        // "/" and "//" are words, not refinements.
    } else if (p[0] == '\'') {
        type = TYPE_LIT_WORD, skip = 1;
    } else if (p[0] == ':') {
        type = TYPE_GET_WORD, skip = 1;
    } else if (p[0] == '/') {
        type = TYPE_REFINEMENT, skip = 1;
    } else if (p[0] == '#') {
        type = TYPE_ISSUE, skip = 1;
    }
    uint32_t name_len = len - skip;
    if (type == TYPE_WORD && name_len > 1 && p[len - 1] == ':') {
        type = TYPE_SET_WORD;
        --name_len;
    }
    const uint8_t* name = p + skip;
    if (type == TYPE_ISSUE) {
        // Issue names take digits and most signs; they only end at delimiters.
        if (name_len == 0) return 0;
        for (uint32_t i = 0; i < name_len; ++i)
            if (name[i] < 0x20 || std::strchr(" []{}()\";", name[i])) return 0;
    } else if (!plain_name(name, name_len)) {
        return 0;
    }
    *start = b + skip;
    *length = name_len;
    return type;
}

}  // namespace

void set_scanner(ScanFn fn) { scanner = fn; }

uint32_t scan_text(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length) {
    return (scanner ? scanner : builtin_scan)(text, n, start, length);
}

uint32_t scan_name(uint32_t symbol) {
    uint32_t n, start, length;
    const uint8_t* name = symbol::name_bytes(symbol, &n);
    return scan_text(name, n, &start, &length);
}

}  // namespace zel::word
