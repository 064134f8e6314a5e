// Fuzz target for number text: reading arbitrary bytes stays within them and
// consumes no more than it was given; the form of any 8-byte double fits its
// buffer and reads back to the same double.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/dtoa.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text to number, from an exact-size copy so any read past the end is seen.
    if (size > 0) {
        int extra = static_cast<std::int8_t>(data[0]);
        std::size_t n = size - 1;
        std::unique_ptr<char[]> text(new char[n]);
        std::memcpy(text.get(), data + 1, n);
        std::size_t left = n + 1;
        double v = zel::dtoa::strtod(text.get(), text.get() + n, extra, &left);
        if (left > n) std::abort();
        if (v == 0.0 && std::signbit(v)) std::abort();
    }
    // Number to text and back.
    if (size >= 9) {
        double value;
        std::memcpy(&value, data, sizeof value);
        int precision = data[8] % 32;
        char out[zel::dtoa::FORM_MAX];
        std::size_t n = zel::dtoa::form_into(out, value, precision, data[8] & 0x80);
        if (n >= zel::dtoa::FORM_MAX || std::strlen(out) != n) std::abort();
        std::size_t left = 0;
        double back = zel::dtoa::strtod(out, out + n, 0, &left);
        if (left != 0) std::abort();
        if (precision == 0 && !(back == value || (std::isnan(back) && std::isnan(value)))) std::abort();
    }
    return 0;
}
