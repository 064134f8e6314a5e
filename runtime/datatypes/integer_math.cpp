// integer! power (by repeated squaring, falling back to floating point on
// overflow) and round to a multiple of a scale with the direction rules.
#include <cstdlib>
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel::integer {

namespace {
bool in_range(int64_t v) { return v >= MIN && v <= MAX; }
}  // namespace

void power() {
    Cell* base = stack::arguments;
    Cell* exponent = base + 1;
    uint32_t te = cell::type(exponent);
    // A float! or negative exponent, or a product beyond 32 bits: the
    // floating-point power (which also checks the exponent's type).
    if (te == TYPE_INTEGER && get(exponent) >= 0) {
        int64_t b = get(base), result = 1;
        uint32_t e = static_cast<uint32_t>(get(exponent));
        bool fits = true;
        while (fits) {
            if (e & 1) fits = in_range(result *= b);
            e >>= 1;
            if (!e) break;
            fits = fits && in_range(b *= b);
        }
        if (fits) {
            base->w2 = static_cast<uint32_t>(result);
            return;
        }
    }
    float_::make_in(base, get(base));
    float_::power();
}

Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    if (!scale) return value;
    uint32_t ts = cell::type(scale);
    if (ts == TYPE_MONEY) number::fire_not_related_call(TYPE_MONEY);
    if (ts != TYPE_INTEGER) {
        float_::make_in(value, get(value));
        return float_::round(value, scale, even, down, half_down, floor, ceiling, half_ceiling);
    }
    // In 64 bits, so that only a result outside 32 bits overflows (the
    // magnitude of MIN and of a rounded-up value may exceed MAX).
    int64_t s = std::llabs(int64_t{get(scale)});
    int64_t n = get(value);
    if (s == 0) return value;
    int64_t v = std::llabs(n), r = v % s;
    if (r == 0) return value;
    bool negative = n < 0;
    int64_t lower = v - r, upper = v + (s - r), m;
    if (down) m = lower;
    else if (floor) m = negative ? upper : lower;
    else if (ceiling) m = negative ? lower : upper;
    else if (r < s - r) m = lower;
    else if (r > s - r) m = upper;
    else if (even) m = (v / s) & 1 ? upper : lower;
    else if (half_down) m = lower;
    else if (half_ceiling) m = negative ? lower : upper;
    else m = upper;
    int64_t result = negative ? -m : m;
    if (!in_range(result)) fire(ERR_MATH, "overflow");
    value->w2 = static_cast<uint32_t>(result);
    return value;
}

}  // namespace zel::integer
