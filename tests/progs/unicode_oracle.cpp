// Runs the runtime's text codecs on cases read from standard input, one
// result line per case, for the Python oracle tests (which compare them with
// Python's own codecs and the Unicode data files).
//
// Input: records of a mode byte, a 32-bit little-endian length and that many
// payload bytes. Modes:
//   F  fast decoder steps              "cp:len ..." (X for an invalid step)
//   L  load with bytes-left            "OK unit left cps..." or "ERR bytes"
//   l  load without bytes-left         the same
//   R  load with bytes-left, CR LF folding
//   C  validating decoder, char by char "OK - left cps..." or "ERR bytes"
//   U  load UTF-16LE                   "OK unit cps..."
//   E  payload is UTF-32LE code points: "OK utf8 utf16-crlf utf8-size"
//   T  no payload: every code point whose mappings or widths are not trivial,
//      "cp upper lower width cjk-width" (hexadecimal code points)
#include <cstdio>
#include <string>
#include <vector>
#include "runtime/case_folding.h"
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"
#include "tests/runtime/unicode_test_support.h"

using namespace zel;

namespace {

std::string raised_bytes;  // the binary! argument of the last error, in hex

std::string hex_bytes(const uint8_t* p, size_t n) {
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s.empty() ? "-" : s;
}

void capture_error(Cell* out, ErrClass cls, const char* id, const Cell* args[3]) {
    raised_bytes = std::string(id) + (cls == ERR_ACCESS ? "" : "(wrong class)");
    if (args[0] && cell::type(args[0]) == TYPE_BINARY) {
        SeriesBuffer* b = series::buffer_of(args[0]);
        raised_bytes += " " + hex_bytes(b->head_ptr(), b->tail - b->head);
    }
    cell::set(out, TYPE_ERROR, static_cast<uint32_t>(cls));
}

void ignore_uncaught(const Cell*) {}

std::string code_points(Node node) {
    std::string s;
    char b[16];
    for (uint32_t cp : test::code_points(node)) {
        std::snprintf(b, sizeof b, " %x", cp);
        s += b;
    }
    return s;
}

std::string fast_steps(const uint8_t* p, const uint8_t* end) {
    const uint8_t* start = p;
    std::string s;
    char b[32];
    uint32_t steps = 0;
    while (p < end) {
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, end, &cp);
        if (cp == unicode::UTF8_INVALID) std::snprintf(b, sizeof b, "X:%d ", static_cast<int>(next - p));
        else std::snprintf(b, sizeof b, "%x:%d ", cp, static_cast<int>(next - p));
        s += b;
        ++steps;
        // Skipping the same number of characters lands on the same byte.
        if (unicode::skip_utf8(start, end, steps) != next) s += "SKIP-MISMATCH ";
        p = next;
    }
    if (unicode::count_utf8(start, end) != steps) s += "COUNT-MISMATCH ";
    return s;
}

std::string load(const uint8_t* p, uint32_t n, char mode) {
    uint32_t left = 12345;
    bool with_left = mode != 'l';
    try {
        Node node = unicode::load_utf8(p, n, 0, with_left ? &left : nullptr, mode == 'R');
        return "OK " + std::to_string(series::buffer_of(node)->unit()) + " " +
               std::to_string(with_left ? left : 0) + code_points(node);
    } catch (const Thrown&) {
        return "ERR " + raised_bytes;
    }
}

std::string char_by_char(const uint8_t* p, uint32_t n) {
    std::string s;
    char b[16];
    try {
        while (n > 0) {
            uint32_t count = n;
            int32_t cp = unicode::load_utf8_char(p, &count);
            if (cp < 0) break;
            std::snprintf(b, sizeof b, " %x", static_cast<uint32_t>(cp));
            s += b;
            p += count;
            n -= count;
        }
    } catch (const Thrown&) {
        return "ERR " + raised_bytes;
    }
    return "OK - " + std::to_string(n) + s;
}

std::string encode(const uint8_t* p, uint32_t n) {
    std::vector<uint32_t> cps;
    uint32_t widest = 0;
    for (uint32_t i = 0; i + 4 <= n; i += 4) {
        cps.push_back(unicode::get_char(p + i, 4));
        widest = std::max(widest, cps.back());
    }
    uint32_t unit = widest <= 0xFF ? 1 : widest <= 0xFFFF ? 2 : 4;
    Cell text = test::make_text(cps, unit);
    int32_t length = -1;
    const uint8_t* utf8 = unicode::to_utf8(&text, &length);
    std::string out = "OK " + hex_bytes(utf8, static_cast<size_t>(length));
    int32_t units = -1;
    const uint8_t* utf16 = unicode::to_utf16_part(&text, &units, true);
    out += " " + hex_bytes(utf16, 2 * static_cast<size_t>(units));
    SeriesBuffer* buf = series::buffer_of(&text);
    out += " " + std::to_string(unicode::utf8_size_range(buf->head_ptr(), buf->tail_ptr(), unit));
    return out;
}

void dump_tables() {
    for (uint32_t cp = 0; cp <= unicode::MAX_CODE_POINT; ++cp) {
        uint32_t up = casefold::change_char(cp, true), low = casefold::change_char(cp, false);
        int w = unicode::char_width(cp), cjk = unicode::char_width_cjk(cp);
        if (up != cp || low != cp || w != 1 || cjk != 1) std::printf("%x %x %x %d %d\n", cp, up, low, w, cjk);
    }
}

bool read_exact(void* p, size_t n) { return std::fread(p, 1, n, stdin) == n; }

}  // namespace

int main() {
    cycles::init();
    runtime::init();
    stack::set_uncaught_handler(ignore_uncaught);
    errors::set_builder(capture_error);
    unsigned char mode;
    std::vector<uint8_t> data;
    while (read_exact(&mode, 1)) {
        uint8_t len[4];
        if (!read_exact(len, 4)) return 2;
        uint32_t n = unicode::get_char(len, 4);
        data.resize(n + 1);
        if (n && !read_exact(data.data(), n)) return 2;
        // A private copy of exactly n bytes, so the sanitizers see any overread.
        std::vector<uint8_t> exact(data.begin(), data.begin() + n);
        const uint8_t* p = exact.data();
        std::string line;
        switch (mode) {
            case 'F': line = fast_steps(p, p + n); break;
            case 'L': case 'l': case 'R': line = load(p, n, static_cast<char>(mode)); break;
            case 'C': line = char_by_char(p, n); break;
            case 'U': {
                Node node = unicode::load_utf16le(p, n / 2, nullptr, false);
                line = "OK " + std::to_string(series::buffer_of(node)->unit()) + code_points(node);
                break;
            }
            case 'E': line = encode(p, n); break;
            case 'T': dump_tables(); continue;
            default: return 2;
        }
        std::printf("%s\n", line.c_str());
        // Each case starts from an empty stack and may leave garbage behind.
        stack::arguments = stack::top = stack::bottom;
    }
    return 0;
}
