// Number conversion probe for the outside checks: reads commands from standard
// input, one a line, and writes one result line for each.
//   F <bits as 16 hex digits> <precision>  ->  "<form with .0 flag> <form without>"
//   R <extra exponent> <text>              ->  "<bits of the double as 16 hex digits> <characters left>"
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/dtoa.h"

namespace {

// The whole of standard input.
std::string read_all() {
    std::string in;
    char chunk[1 << 16];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) in.append(chunk, n);
    return in;
}

// Answers one command line (without its line feed) into `out`.
void answer(const char* line, const char* end, std::string& out) {
    char text[2 * zel::dtoa::FORM_MAX + 40];
    if (end - line >= 2 && line[0] == 'F') {
        char* after = nullptr;
        std::uint64_t bits = std::strtoull(line + 2, &after, 16);
        int precision = static_cast<int>(std::strtol(after, nullptr, 10));
        double value;
        std::memcpy(&value, &bits, sizeof value);
        std::size_t n = zel::dtoa::form_into(text, value, precision, true);
        text[n++] = ' ';
        n += zel::dtoa::form_into(text + n, value, precision, false);
        out.append(text, n).push_back('\n');
    } else if (end - line >= 2 && line[0] == 'R') {
        char* after = nullptr;
        int extra = static_cast<int>(std::strtol(line + 2, &after, 10));
        const char* start = after < end ? after + 1 : end;
        // An exact-size copy, so that a read past the text's end is caught
        // under AddressSanitizer instead of landing in the next line.
        std::size_t length = static_cast<std::size_t>(end - start);
        std::unique_ptr<char[]> copy(new char[length]);
        std::memcpy(copy.get(), start, length);
        std::size_t left = 0;
        double value = zel::dtoa::strtod(copy.get(), copy.get() + length, extra, &left);
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        int n = std::snprintf(text, sizeof text, "%016" PRIx64 " %zu\n", bits, left);
        out.append(text, static_cast<std::size_t>(n));
    } else {
        out.append("?\n");
    }
}

}  // namespace

int main() {
    std::string in = read_all();
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    const char* p = in.data();
    const char* end = p + in.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* line_end = nl ? nl : end;
        answer(p, line_end, out);
        p = nl ? nl + 1 : end;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
