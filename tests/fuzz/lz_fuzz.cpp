// Fuzzes the LZ decompressor with arbitrary images: it must raise
// `invalid-data` or return exactly the size it promised, never crash, read
// outside the input or allocate beyond what the input could encode.
#include <cstdlib>
#include <vector>
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/lz.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace {

void ignore_uncaught(const zel::Cell*) {}

void start() {
    static bool started = false;
    if (started) return;
    zel::cycles::init();
    zel::runtime::init();
    zel::stack::set_uncaught_handler(ignore_uncaught);
    started = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    start();
    // A copy of exactly `size` bytes, so any read past the input is caught.
    std::vector<uint8_t> image(data, data + size);
    try {
        uint32_t n = 0;
        uint8_t* out = zel::compress::decompress(image.data(), image.size(), &n);
        // The densest code gives 566 bytes for 22 bits.
        if (uint64_t{n} * 22 > uint64_t{size} * 8 * zel::compress::MAX_MATCH) std::abort();
        zel::compress::free_buffer(out);
    } catch (const zel::Thrown&) {
    }
    return 0;
}
