// Fuzzes the text routines that take outside data: percent decoding (URLs
// and files read by the lexer), the drive-letter path walks, string and file
// mold, and find. Beyond "no crash, no overread" it checks that percent
// encoding round-trips and that mold never lets a control character through.
#include <cstdlib>
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/url.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

using namespace zel;

namespace {

void ignore_uncaught(const Cell*) {}

void require(bool ok) {
    if (!ok) std::abort();
}

// Text cells reused by every run, so that memory stays bounded while no
// collector runs: each is emptied (and set back to unit 1) before use.
struct Cells {
    Cell input, encoded, decoded, out;
};

Cells& cells() {
    static Cells c = [] {
        cycles::init();
        runtime::init();
        stack::set_uncaught_handler(ignore_uncaught);
        Cells made;
        for (Cell* t : {&made.input, &made.encoded, &made.decoded, &made.out}) string::rs_make_at(t, 64);
        return made;
    }();
    for (Cell* t : {&c.input, &c.encoded, &c.decoded, &c.out}) string::rs_reset(t);
    stack::arguments = stack::top = stack::bottom;
    return c;
}

bool same_text(const Cell* a, const Cell* b) {
    int32_t n = string::rs_length_q(a);
    if (n != string::rs_length_q(b)) return false;
    for (int32_t i = 0; i < n; ++i)
        if (string::get_char_at(a, static_cast<uint32_t>(i)) != string::get_char_at(b, static_cast<uint32_t>(i)))
            return false;
    return true;
}

// The molded text holds no raw control character but the line feeds of a
// braced string.
void check_molded(const Cell* out) {
    int32_t n = string::rs_length_q(out);
    require(n >= 2);
    uint32_t open = string::get_char_at(out, 0);
    for (int32_t i = 1; i < n - 1; ++i) {
        uint32_t c = string::get_char_at(out, static_cast<uint32_t>(i));
        require(!(c < 0x20 && !(c == '\n' && open == '{')) && !(c >= 0x7F && c <= 0x9F));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    Cells& c = cells();
    // The input as raw code points: every byte a code point, as the lexer
    // hands undecoded URL text over.
    string::concatenate_bytes(&c.input, data, static_cast<uint32_t>(size));
    try {
        url::decode(&c.input, &c.decoded);
        // Whatever decoding gives, encoding and decoding it again is stable.
        url::encode(&c.decoded, &c.encoded, 0);
        string::rs_reset(&c.out);
        url::decode(&c.encoded, &c.out);
        require(same_text(&c.out, &c.decoded));
        string::rs_reset(&c.out);
        string::mold(&c.decoded, &c.out, false, size & 1, false, nullptr, NO_LIMIT, 0);
        check_molded(&c.out);
        string::rs_reset(&c.out);
        file::to_zel_file(&c.input, &c.out, file::Platform::WINDOWS);
        string::rs_reset(&c.out);
        file::convert_to_local(&c.input, &c.out, false, file::Platform::WINDOWS);
        string::rs_reset(&c.out);
        cell::set_type(&c.decoded, TYPE_FILE);
        file::mold(&c.decoded, &c.out, false, false, false, nullptr, NO_LIMIT, 0);
        cell::set_type(&c.decoded, TYPE_STRING);
        if (size > 2) {
            Cell needle = c.input;
            needle.w1 = static_cast<uint32_t>(size - 2);
            Cell haystack = c.decoded;
            string::find(&haystack, &needle, nullptr, false, data[0] & 1, false, false, nullptr, nullptr,
                         data[0] & 2, data[0] & 4, data[0] & 8, data[0] & 16);
        }
    } catch (const Thrown&) {
        std::abort();  // none of these raise on any input
    }
    return 0;
}
