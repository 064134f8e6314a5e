// make and to for float! and percent!: from numbers, text, the bit pattern
// in a binary!, and a [mantissa exponent] block.
#include <cmath>
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/text_number.h"

namespace zel::float_ {

namespace {

// The number a text holds. For percent! the text is loaded as one value:
// an integer!, float! or percent! gives the number (10% is 0.1, 5 is 5.0).
bool text_number(const Cell* spec, uint32_t type, double* out) {
    if (type == TYPE_PERCENT) {
        Cell loaded;
        const Cell* v = lexer::load_value(spec, &loaded);
        if (!v) return false;
        switch (cell::type(v)) {
            case TYPE_INTEGER: *out = integer::get(v); return true;
            case TYPE_FLOAT: case TYPE_PERCENT: *out = get(v); return true;
            default: return false;
        }
    }
    number::TextSpan t = number::text_of(spec);
    int32_t error = 0;
    *out = lexer::string_to_float(t.start, static_cast<int32_t>(t.count), t.unit, &error);
    return error == 0;
}

// The first up to 8 bytes, big-endian and right-aligned, as the bit pattern.
double from_bits(const Cell* spec) {
    number::TextSpan b = number::bytes_of(spec);
    uint64_t bits = 0;
    for (uint32_t i = 0; i < b.count && i < 8; ++i) bits = bits << 8 | b.start[i];
    return std::bit_cast<double>(bits);
}

// A number element of a [mantissa exponent] block.
double element(const Cell* e, uint32_t type) {
    if (cell::type(e) == TYPE_INTEGER) return integer::get(e);
    if (cell::type(e) == TYPE_FLOAT) return get(e);
    number::fire_bad_to_arg(type, e);
}

// mantissa x 10^exponent, the exponent truncated to 32 bits (a larger one
// saturates, which gives the same infinity or zero).
double from_block(const Cell* spec, uint32_t type) {
    uint32_t count;
    const Cell* cells = number::cells_of(spec, &count);
    if (count != 2) number::fire_bad_to_arg(type, spec);
    double mantissa = element(cells, type);
    double exponent = element(cells + 1, type);
    if (std::isnan(exponent)) number::fire_bad_to_arg(type, cells + 1);
    double e = integer::fits(exponent) ? std::trunc(exponent) : exponent > 0 ? 2147483647.0 : -2147483648.0;
    return mantissa * std::pow(10.0, e);
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    uint32_t ts = cell::type(spec);
    double d;
    switch (ts) {
        case TYPE_INTEGER: case TYPE_CHAR: d = integer::get(spec); break;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: d = get(spec); break;
        case TYPE_MONEY: d = handover::money_to_float(spec); break;
        case TYPE_BINARY: d = from_bits(spec); break;
        default:
            if (number::is_block_type(ts)) {
                d = from_block(spec, type);
            } else if (!number::is_text_type(ts) || !text_number(spec, type, &d)) {
                number::fire_bad_to_arg(type, spec);
            }
    }
    return make_as(cell::set(proto, type), type, d);
}

}  // namespace zel::float_
