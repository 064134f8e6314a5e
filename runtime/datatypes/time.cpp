// time!: cells, the text form, make, the arithmetic rules (a time with a
// date, times divided into plain numbers), round, even?/odd? and the
// registration (parent float!). Field access is in time_fields.cpp.
#include "runtime/datatypes/time.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/row.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/stack.h"

namespace zel::time {

Cell* make_in(double seconds, Cell* c) { return float_::make_as(c, TYPE_TIME, seconds); }
Cell* push(double seconds) { return make_in(seconds, cell::set(stack::push_new(), TYPE_TIME)); }

Cell* make_at_tail(const Cell* block, uint32_t high, uint32_t low) {
    return cell::set(block::alloc_tail(block), TYPE_TIME, 0, low, high);
}

int32_t form_into(double seconds, Cell* buffer, int32_t part) {
    if (!std::isfinite(seconds)) return emit::literal(buffer, float_::form_buffer(seconds, float_::FORM_FLOAT), part);
    // The hours of the largest double take 305 digits.
    char text[340];
    double s = std::fabs(seconds);
    int n = std::snprintf(text, sizeof text, "%s%.0f:%02d:", seconds < 0 ? "-" : "", std::floor(s / 3600.0),
                          get_minutes(s));
    double rest = std::fmod(s, 60.0);
    if (rest < 1e-06) {
        std::strcpy(text + n, "00");
    } else {
        const char* digits = float_::form_buffer(rest, float_::FORM_SECONDS);
        bool pad = digits[1] == '\0' || digits[1] == '.';  // "05", "05.5"
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%s%s", pad ? "0" : "", digits);
    }
    return emit::literal(buffer, text, part);
}

Cell* make(Cell* proto, Cell* spec, uint32_t) {
    uint32_t ts = cell::type(spec);
    double seconds;
    switch (ts) {
        case TYPE_TIME: seconds = float_::get(spec); break;
        case TYPE_INTEGER: seconds = integer::get(spec); break;
        case TYPE_FLOAT: case TYPE_PERCENT: seconds = float_::get(spec); break;
        default:
            if (number::is_block_type(ts)) {
                // [hours minutes seconds]: only the hours may be negative,
                // and its sign applies to the whole.
                uint32_t count;
                const Cell* cells = number::cells_of(spec, &count);
                if (count > 3) number::fire_bad_to_arg(TYPE_TIME, spec);
                double parts[3] = {0, 0, 0};
                for (uint32_t i = 0; i < count; ++i) {
                    uint32_t te = cell::type(cells + i);
                    if (te == TYPE_INTEGER) parts[i] = integer::get(cells + i);
                    else if (te == TYPE_FLOAT && i == 2) parts[i] = float_::get(cells + i);
                    else number::fire_bad_to_arg(TYPE_TIME, spec);
                    if (i > 0 && !(parts[i] >= 0)) number::fire_bad_to_arg(TYPE_TIME, spec);
                }
                seconds = std::fabs(parts[0]) * 3600.0 + parts[1] * 60.0 + parts[2];
                if (parts[0] < 0) seconds = -seconds;
            } else if (number::is_text_type(ts)) {
                Cell loaded;
                Cell* value = lexer::load_value(spec, &loaded);
                if (!value || cell::type(value) != TYPE_TIME) number::fire_bad_to_arg(TYPE_TIME, spec);
                seconds = float_::get(value);
            } else {
                number::fire_bad_to_arg(TYPE_TIME, spec);
            }
    }
    return make_in(seconds, cell::set(proto, TYPE_TIME));
}

namespace {

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) { return form_into(float_::get(value), buffer, part); }
int32_t mold(Cell* value, Cell* buffer, bool, bool, bool, Cell*, int32_t part, int32_t) {
    return form_into(float_::get(value), buffer, part);
}

[[noreturn]] void not_related(const char* word) {
    Cell w, t;
    fire(ERR_SCRIPT, "not-related", number::word_named(word, &w), set_datatype(&t, TYPE_TIME));
}

void add() {
    Cell* left = stack::arguments;
    Cell* right = left + 1;
    if (cell::type(right) != TYPE_DATE) {
        float_::do_math(OP_ADD);
        return;
    }
    // time + date is date + time.
    double seconds = float_::get(left);
    *left = *right;
    make_in(seconds, cell::set(right, TYPE_TIME));
    handover::date_add();
}

void subtract() {
    if (cell::type(stack::arguments + 1) == TYPE_DATE) not_related("subtract");
    float_::do_math(OP_SUB);
}

void multiply() {
    if (cell::type(stack::arguments + 1) == TYPE_TIME) not_related("multiply");
    float_::do_math(OP_MUL);
}

// A time divided by a time is a plain ratio.
void divide() {
    bool ratio = cell::type(stack::arguments + 1) == TYPE_TIME;
    Cell* result = float_::do_math(OP_DIV);
    if (ratio) cell::set_type(result, TYPE_FLOAT);
}

// Rounds the seconds (to whole seconds without /to); the result stays a time!.
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    double s = float_::round_scale(value, scale);
    return make_in(float_::round_double(float_::get(value), s, {even, down, half_down, floor, ceiling, half_ceiling}),
                   value);
}

// The parity of the whole seconds of the seconds field, read a hair away
// from zero so that 2.9999999 seconds counts as 3.
bool odd_seconds(const Cell* value) {
    double s = float_::get(value);
    s += s < 0 ? -1e-06 : 1e-06;
    double whole = std::fmod(s, 60.0);
    return integer::fits(whole) && (static_cast<int32_t>(whole) & 1) != 0;
}
bool even_q(Cell* value) { return !odd_seconds(value); }
bool odd_q(Cell* value) { return odd_seconds(value); }

}  // namespace

void init() {
    datatypes::empty_row()
        .set(ACT_MAKE, make).set(ACT_TO, make).set(ACT_FORM, form).set(ACT_MOLD, mold)
        .set(ACT_EVAL_PATH, eval_path).set(ACT_ADD, add).set(ACT_SUBTRACT, subtract).set(ACT_MULTIPLY, multiply)
        .set(ACT_DIVIDE, divide).set(ACT_ROUND, round).set(ACT_EVEN_Q, even_q).set(ACT_ODD_Q, odd_q)
        .set(ACT_PICK, pick)
        .set(ACT_RANDOM, datatype::INHERIT).set(ACT_COMPARE, datatype::INHERIT).set(ACT_ABSOLUTE, datatype::INHERIT)
        .set(ACT_NEGATE, datatype::INHERIT).set(ACT_REMAINDER, datatype::INHERIT)
        .register_as(TYPE_TIME, TYPE_FLOAT, "time!");
}

}  // namespace zel::time
