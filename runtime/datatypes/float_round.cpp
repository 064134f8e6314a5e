// The rounding engine of the number types: round a double to a multiple of
// a scale with one of the direction rules, and float!'s round action.
#include <cfloat>
#include <cmath>
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/errors.h"

namespace zel::float_ {

namespace {

// Rounds n to a whole number by the mode.
double round_whole(double n, const RoundMode& m) {
    double a = std::fabs(n), k = std::floor(a);
    auto signed_ = [n](double x) { return n < 0 ? -x : x; };
    if (m.down) return signed_(k);
    if (m.floor) return std::floor(n);
    if (m.ceiling) return std::ceil(n);
    if (a > k + 0.5) return signed_(std::ceil(a));
    if (a < k + 0.5) return signed_(k);
    // Exactly half way (and NaN, which every branch keeps).
    if (m.even) return std::fmod(a, 2.0) < 1.0 ? signed_(k) : signed_(std::ceil(a));
    if (m.half_down) return signed_(k);
    if (m.half_ceiling) return std::ceil(n);
    return signed_(std::ceil(a));
}

}  // namespace

double round_double(double n, double s, const RoundMode& mode) {
    // A scale of zero, or one below the value's precision, changes nothing.
    if (s == 0.0 || s < std::fabs(n) * 0x1p-53) return n;
    if (std::isnan(s)) return s;
    if (s >= 1.0) {
        double r = round_whole(n / s, mode) * s;
        if (std::fabs(r) == DBL_MAX) fire(ERR_MATH, "overflow");
        return r;
    }
    // 1 / s overflows for the smallest scales: those are taken apart into a
    // mantissa and a power of two that is divided out of n first.
    int e = 0;
    double m = std::frexp(s, &e);
    if (e <= -1022) {
        s = m;
        n = std::ldexp(n, -e);
    } else {
        e = 0;
    }
    double r = round_whole(n * (1.0 / s), mode);
    return std::ldexp(r / (1.0 / s), e);
}

double round_scale(const Cell* value, const Cell* scale) {
    uint32_t ts = scale ? cell::type(scale) : 0;
    if (scale && ts != TYPE_INTEGER && ts != TYPE_FLOAT && ts != TYPE_PERCENT && ts != TYPE_TIME)
        number::fire_not_related_call(ts);  // money! and the compound types
    bool percent = cell::type(value) == TYPE_PERCENT;
    if (!scale) return percent ? 0.01 : 1.0;
    double s = std::fabs(ts == TYPE_INTEGER ? double(integer::get(scale)) : get(scale));
    return percent ? s / 100.0 : s;
}

Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    double s = round_scale(value, scale);
    double r = round_double(get(value), s, {even, down, half_down, floor, ceiling, half_ceiling});
    // The type of the result: the value's own without a scale, and a
    // percent! stays a percent! (its scale is read in percents); otherwise
    // the scale's type, and an integer! scale gives an integer!.
    uint32_t tv = cell::type(value), ts = scale ? cell::type(scale) : 0;
    if (!scale || tv == TYPE_PERCENT) return make_as(value, tv, r);
    if (ts == TYPE_INTEGER) {
        if (!integer::fits(r)) fire(ERR_MATH, "overflow");
        return integer::make_in(value, static_cast<int32_t>(r));
    }
    return make_as(value, ts, r);
}

}  // namespace zel::float_
