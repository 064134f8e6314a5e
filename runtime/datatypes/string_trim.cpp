// trim on text: white space at either end and at the ends of every line,
// runs of white space folded to one space, or every code point of a set.
#include <algorithm>
#include <vector>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"
#include "runtime/unicode.h"

namespace zel::string {

namespace {

using Text = std::vector<uint32_t>;

bool is_white(uint32_t c) {
    if (c >= 0x01 && c <= 0x20) return true;
    switch (c) {
        case 0x85: case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029: case 0x202F: case 0x205F:
        case 0x3000: return true;
        default: return c >= 0x2000 && c <= 0x200A;
    }
}

// White space that stays inside a line: everything above but the line feed.
bool is_blank(uint32_t c) { return c != '\n' && is_white(c); }

// The code points removed by trim/all or trim/with.
Text removal_set(const Cell* with) {
    if (!with) return {'\t', '\n', '\r', ' '};
    switch (cell::type(with)) {
        case TYPE_CHAR:
        case TYPE_INTEGER: return {with->w2};
        default: break;
    }
    if (!is_family(cell::type(with)) && cell::type(with) != TYPE_BINARY) fire(ERR_SCRIPT, "invalid-arg", with);
    Text set;
    uint32_t head = head_index(with);
    uint32_t n = static_cast<uint32_t>(rs_length_q(with));
    for (uint32_t i = 0; i < n; ++i) set.push_back(get_char_at(with, head + i));
    return set;
}

Text remove_all(const Text& in, const Text& set) {
    Text out;
    for (uint32_t c : in)
        if (std::find(set.begin(), set.end(), c) == set.end()) out.push_back(c);
    return out;
}

Text fold_lines(const Text& in) {
    Text out;
    bool pending = false;
    for (uint32_t c : in) {
        if (is_white(c)) {
            pending = !out.empty();
            continue;
        }
        if (pending) out.push_back(' ');
        pending = false;
        out.push_back(c);
    }
    return out;
}

// Leading and trailing blanks of every line.
Text trim_each_line(const Text& in) {
    Text out;
    size_t start = 0;
    while (start <= in.size()) {
        size_t end = std::find(in.begin() + static_cast<std::ptrdiff_t>(start), in.end(), '\n') - in.begin();
        size_t a = start, b = end;
        while (a < b && is_blank(in[a])) ++a;
        while (b > a && is_blank(in[b - 1])) --b;
        out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(a), in.begin() + static_cast<std::ptrdiff_t>(b));
        if (end < in.size()) out.push_back('\n');
        start = end + 1;
    }
    return out;
}

Text trim_ends(const Text& in, bool head, bool tail) {
    size_t a = 0, b = in.size();
    if (head)
        while (a < b && is_white(in[a])) ++a;
    bool tail_line_feed = false;
    if (tail)
        while (b > a && is_white(in[b - 1])) tail_line_feed |= in[--b] == '\n';
    Text out(in.begin() + static_cast<std::ptrdiff_t>(a), in.begin() + static_cast<std::ptrdiff_t>(b));
    if (head && tail) {
        // Plain trim also trims every line and keeps one final line feed.
        out = trim_each_line(out);
        if (tail_line_feed) out.push_back('\n');
    }
    return out;
}

}  // namespace

Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
    if (auto_) fire(ERR_INTERNAL, "not-done");
    uint32_t h = head_index(series);
    uint32_t n = static_cast<uint32_t>(rs_length_q(series));
    Text text(n);
    for (uint32_t i = 0; i < n; ++i) text[i] = get_char_at(series, h + i);
    Text out;
    if (all || with) out = remove_all(text, removal_set(with));
    else if (lines) out = fold_lines(text);
    else if (!head && !tail) out = trim_ends(text, true, true);
    else out = trim_ends(text, head, tail);
    bool told = support::announce(series, ownership::EV_TRIM, nullptr, static_cast<int32_t>(h),
                                  static_cast<int32_t>(n));
    // The result is never longer and its code points came from this buffer,
    // so they fit its unit and it needs no room.
    SeriesBuffer* buf = series::buffer_of(series);
    uint32_t unit = unit_of(buf);
    uint8_t* p = buf->head_ptr() + uint64_t{h} * unit;
    for (size_t i = 0; i < out.size(); ++i) unicode::put_char(p + i * unit, unit, out[i]);
    buf->tail = static_cast<uint32_t>(buf->head + (uint64_t{h} + out.size()) * unit);
    support::announce_after(told, series, ownership::EV_TRIM, nullptr, static_cast<int32_t>(h),
                            static_cast<int32_t>(out.size()));
    return series;
}

}  // namespace zel::string
