// make and to integer!: from every number type, text, the hexadecimal name
// of an issue!, the bytes of a binary!, and through money! and date!.
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/errors.h"
#include "runtime/evaluator/text_number.h"

namespace zel::integer {

namespace {

// A double truncated toward zero; outside 32 bits (or NaN) is type-limit.
int32_t from_double(double d) {
    if (!fits(d)) number::fire_type_limit(TYPE_INTEGER);
    return static_cast<int32_t>(d);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// The issue's name as at most eight hexadecimal digits.
int32_t from_issue(const Cell* issue) {
    uint32_t length;
    const char* name = reinterpret_cast<const char*>(symbol::name_bytes(issue->w2, &length));
    if (length > 8) fire(ERR_SCRIPT, "invalid-data", issue);
    uint32_t v = 0;
    for (uint32_t i = 0; i < length; ++i) {
        int d = hex_digit(name[i]);
        if (d < 0) fire(ERR_SCRIPT, "invalid-data", issue);
        v = v << 4 | static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(v);
}

// The first up to 4 bytes, big-endian.
int32_t from_binary(const Cell* binary) {
    number::TextSpan b = number::bytes_of(binary);
    uint32_t v = 0;
    for (uint32_t i = 0; i < b.count && i < 4; ++i) v = v << 8 | b.start[i];
    return static_cast<int32_t>(v);
}

int32_t from_text(const Cell* spec) {
    number::TextSpan t = number::text_of(spec);
    int32_t error = 0;
    int32_t v = lexer::string_to_integer(t.start, static_cast<int32_t>(t.count), t.unit, &error);
    if (error == lexer::TEXT_OVERFLOW) number::fire_type_limit(TYPE_INTEGER);
    if (error) number::fire_bad_to_arg(TYPE_INTEGER, spec);
    return v;
}

}  // namespace

Cell* to(Cell* proto, Cell* spec, uint32_t) {
    int32_t v;
    switch (uint32_t ts = cell::type(spec)) {
        case TYPE_INTEGER: case TYPE_CHAR: v = get(spec); break;
        case TYPE_FLOAT: case TYPE_PERCENT: v = from_double(float_::get(spec)); break;
        case TYPE_TIME: v = from_double(float_::get(spec) + 0.5); break;
        case TYPE_ISSUE: v = from_issue(spec); break;
        case TYPE_BINARY: v = from_binary(spec); break;
        case TYPE_DATE: v = handover::date_to_epoch(spec); break;
        case TYPE_MONEY: v = handover::money_to_integer(spec); break;
        default:
            if (!number::is_text_type(ts)) number::fire_bad_to_arg(TYPE_INTEGER, spec);
            v = from_text(spec);
    }
    return set_integer(proto, v);
}

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    if (cell::type(spec) == TYPE_LOGIC) return set_integer(proto, spec->w1 ? 1 : 0);
    return to(proto, spec, type);
}

}  // namespace zel::integer
