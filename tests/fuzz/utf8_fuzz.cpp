// Fuzzes every text decoder: the fast UTF-8 decoder with counting and
// skipping, the validating decoder, the UTF-8 loader (with and without a
// bytes-left report, with CR LF folding) and the UTF-16LE loader. Beyond
// "no crash, no overread", it checks that the decoders agree with one
// another and that valid text survives a round trip through the encoders.
#include <cstdlib>
#include <cstring>
#include <vector>
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

using namespace zel;

namespace {

void ignore_uncaught(const Cell*) {}

// One text cell reused by every run, so that memory stays bounded while no
// collector runs: emptied and set back to unit 1 before each load.
Cell* reusable_text() {
    static Cell text = [] {
        cycles::init();
        runtime::init();
        stack::set_uncaught_handler(ignore_uncaught);
        Cell c;
        set_series(&c, TYPE_STRING, series::alloc_text(16, 1));
        return c;
    }();
    SeriesBuffer* buf = series::buffer_of(&text);
    buf->flags = (buf->flags & ~SERIES_UNIT_MASK) | 1;
    buf->tail = buf->head;
    stack::arguments = stack::top = stack::bottom;
    return &text;
}

void require(bool ok) {
    if (!ok) std::abort();
}

// Runs the fast decoder over all of it; returns the number of steps.
uint32_t fast_steps(const uint8_t* p, const uint8_t* end) {
    uint32_t steps = 0;
    while (p < end) {
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, end, &cp);
        require(next > p && next <= end);
        require(cp == unicode::UTF8_INVALID || cp <= unicode::MAX_CODE_POINT);
        p = next;
        ++steps;
    }
    return steps;
}

// Decodes char by char; true when all of it decoded (no error, nothing left).
bool char_by_char(const uint8_t* p, uint32_t n) {
    try {
        while (n > 0) {
            uint32_t count = n;
            int32_t cp = unicode::load_utf8_char(p, &count);
            if (cp < 0) return false;
            require(count >= 1 && count <= n);
            p += count;
            n -= count;
        }
        return true;
    } catch (const Thrown&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    Cell* text = reusable_text();
    // A private copy of exactly `size` bytes: any overread is caught.
    std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* p = bytes.data();
    const uint8_t* end = p + size;
    uint32_t n = static_cast<uint32_t>(size);

    uint32_t steps = fast_steps(p, end);
    require(unicode::count_utf8(p, end) == steps);
    require(unicode::skip_utf8(p, end, steps) == end);
    require(unicode::skip_utf8(p, end, steps + 5) == end);
    bool valid = char_by_char(p, n);

    uint32_t left = 0;
    bool loaded = true;
    try {
        unicode::load_utf8(p, n, text->w2, &left, false);
    } catch (const Thrown&) {
        loaded = false;
    }
    uint32_t bom = size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    if (valid) require(loaded && left == 0);
    if (loaded) {
        // Re-encoding what was loaded gives back the bytes that were read.
        int32_t length = -1;
        const uint8_t* out = unicode::to_utf8(text, &length);
        require(static_cast<uint32_t>(length) + bom + left == n || (bom == 0 && left == n));
        require(std::memcmp(out, p + bom, static_cast<size_t>(length)) == 0);
    }

    text = reusable_text();
    try {
        unicode::load_utf8(p, n, text->w2, nullptr, true);
        require(loaded && left == 0);
    } catch (const Thrown&) {
        require(!loaded || left > 0);
    }

    text = reusable_text();
    unicode::load_utf16le(p, n / 2, text, (size & 1) != 0);
    int32_t units = -1;
    require(unicode::to_utf16_part(text, &units, false) != nullptr);
    require(units >= 0 && static_cast<uint32_t>(units) <= n / 2);
    return 0;
}
