// Text to number: any bytes, read as text of unit 1, 2 or 4 (the first byte
// chooses), must give a number or a failure code, never a crash, a read past
// the text or an undefined operation.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/evaluator/text_number.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    static bool started = false;
    if (!started) {
        cycles::init();
        runtime::init();
        stack::set_uncaught_handler([](const Cell*) {});
        started = true;
    }
    if (size == 0) return 0;
    uint32_t unit = 1u << (data[0] % 3);
    size_t count = (size - 1) / unit;
    // An exact-size copy, so that reading past the text is caught.
    std::vector<uint8_t> text(data + 1, data + 1 + count * unit);
    const uint8_t* p = text.data();
    int32_t n = static_cast<int32_t>(count), error = 0;
    lexer::string_to_integer(p, n, unit, &error);
    error = 0;
    lexer::string_to_float(p, n, unit, &error);
    error = 0;
    // A well-formed amount reaches the money! constructor, which raises
    // until money! exists.
    stack::call_top = stack::call_begin;
    stack::arguments = stack::top = stack::bottom;
    Cell name{TYPE_WORD, 0, 0, 0}, out;
    stack::mark_try(&name);
    try {
        lexer::string_to_money(p, n, unit, &error, &out);
    } catch (const Thrown&) {
    }
    return 0;
}
