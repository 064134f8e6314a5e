// Forming and molding text: mold chooses "..." or {...} and writes the caret
// escapes, so that the molded text loads back to the same string.
#include <algorithm>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"

namespace zel::string {

namespace {

// The caret escape of each code point below 5Fh (0: none).
constexpr char ESCAPES[0x5F] = {
    '@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '-', '/', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '[', '\\', ']', '^', '_',
    0,   0,   '"', 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   '^',
};

// A string whose whole text is at least this long molds in braces.
constexpr uint32_t BRACES_LENGTH = 50;
// ... as does one whose molded range holds this many line feeds.
constexpr uint32_t BRACES_LINE_FEEDS = 3;

inline void put(Cell* buffer, uint32_t cp) { append_char(series::buffer_of(buffer), cp); }

// The code points of a value's range, read once: molding appends to a
// buffer that may be the value's own, so the range is taken aside first.
std::vector<uint32_t> range_of(const Cell* value, Cell* arg) {
    uint32_t len = static_cast<uint32_t>(rs_length_q(value));
    if (arg) {
        int32_t part = cell::type(arg) == TYPE_INTEGER ? cell::get_int(arg) : static_cast<int32_t>(len);
        len = part < 0 ? 0 : std::min(len, static_cast<uint32_t>(part));
    }
    std::vector<uint32_t> cps(len);
    uint32_t head = head_index(value);
    for (uint32_t i = 0; i < len; ++i) cps[i] = get_char_at(value, head + i);
    return cps;
}

// Index of the first opening brace that no later closing brace closes (the
// size when all close): the bottom of what a bracket-matching stack keeps.
size_t first_unclosed_brace(const std::vector<uint32_t>& cps) {
    std::vector<size_t> open;
    for (size_t i = 0; i < cps.size(); ++i) {
        if (cps[i] == '{') open.push_back(i);
        else if (cps[i] == '}' && !open.empty()) open.pop_back();
    }
    return open.empty() ? cps.size() : open.front();
}

void mold_braced(Cell* buffer, const std::vector<uint32_t>& cps, bool all) {
    size_t unclosed = first_unclosed_brace(cps);
    uint32_t open = 0;
    put(buffer, '{');
    for (size_t i = 0; i < cps.size(); ++i) {
        uint32_t c = cps[i];
        switch (c) {
            case '{':
                if (i < unclosed) {
                    put(buffer, '{');
                    ++open;
                } else {
                    concatenate_literal(buffer, "^{");
                }
                break;
            case '}':
                if (open == 0) {
                    concatenate_literal(buffer, "^}");
                } else {
                    put(buffer, '}');
                    --open;
                }
                break;
            case '"':
            case '\n': put(buffer, c); break;
            case '^': concatenate_literal(buffer, "^^"); break;
            default: append_escaped_char(buffer, c, ESCAPE_MODE, all);
        }
    }
    put(buffer, '}');
}

}  // namespace

void append_escaped_char(Cell* buffer, uint32_t cp, int mode, bool all) {
    if (cp == 0x1E || (cp >= 0x80 && cp <= 0x9F) || (all && cp > 0x7F)) {
        concatenate_literal(buffer, "^(");
        concatenate_literal(buffer, to_hex(static_cast<int32_t>(cp), true));
        put(buffer, ')');
    } else if (mode == ESCAPE_MODE && cp < 0x5F && ESCAPES[cp]) {
        put(buffer, '^');
        put(buffer, static_cast<uint8_t>(ESCAPES[cp]));
    } else if (mode == ESCAPE_MODE && cp == 0x7F) {
        concatenate_literal(buffer, "^~");
    } else {
        put(buffer, cp);
    }
}

int32_t form(Cell* value, Cell* buffer, Cell* /*arg*/, int32_t part) {
    int32_t len = rs_length_q(value);
    concatenate(buffer, value, part >= 0 ? part : -1, 0, true, 0);
    return part - len;
}

void form_into(Cell* buffer, Cell* value) {
    uint32_t type = cell::type(value);
    if (is_family(type) && type != TYPE_TAG) {
        concatenate(buffer, value, -1, 0, true, 0);
        return;
    }
    if (type == TYPE_CHAR) {
        put(buffer, value->w2);
        return;
    }
    Cell copy = *value;  // the value may lie in a buffer that forming moves
    actions::form(&copy, buffer, nullptr, NO_LIMIT);
}

int32_t mold(Cell* value, Cell* buffer, bool /*only*/, bool all, bool /*flat*/, Cell* arg, int32_t part,
             int32_t /*indent*/) {
    std::vector<uint32_t> cps = range_of(value, arg);
    uint32_t quotes = 0, line_feeds = 0;
    for (uint32_t c : cps) {
        quotes += c == '"';
        line_feeds += c == '\n';
    }
    bool braces = line_feeds >= BRACES_LINE_FEEDS || quotes > 0 ||
                  static_cast<uint32_t>(rs_length_q(value)) >= BRACES_LENGTH;
    if (braces) {
        mold_braced(buffer, cps, all);
    } else {
        put(buffer, '"');
        for (uint32_t c : cps) append_escaped_char(buffer, c, ESCAPE_MODE, all);
        put(buffer, '"');
    }
    return part - static_cast<int32_t>(cps.size()) - 2;
}

}  // namespace zel::string
