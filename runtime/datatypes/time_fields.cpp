// time! fields: reading and writing hour, minute and second, by path and by
// pick. Both directions use one decomposition: seconds = hour x 3600 +
// sign x minute x 60 + second, with the sign of the time, the hour and the
// second signed and the minute a magnitude; so writing back a field just
// read leaves the time unchanged, negative or not.
#include <cmath>
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/words.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/time.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel::time {

namespace {

double hours_of(double s) { return std::trunc(s / 3600.0); }
double minutes_of(double s) { return std::floor(std::fmod(std::fabs(s), 3600.0) / 60.0); }
double seconds_of(double s) { return std::fmod(s, 60.0); }

// 1, 2 or 3 for the words hour, minute and second, else 0.
int field_of_word(const Cell* word) {
    uint32_t s = symbol::resolve(word->w2);
    if (s == symbol::resolve(words::hour)) return FIELD_HOUR;
    if (s == symbol::resolve(words::minute)) return FIELD_MINUTE;
    if (s == symbol::resolve(words::second)) return FIELD_SECOND;
    return 0;
}

// The field a path element or pick index names, or 0.
int field_of(const Cell* element) {
    switch (cell::type(element)) {
        case TYPE_INTEGER: {
            int32_t i = integer::get(element);
            return i >= FIELD_HOUR && i <= FIELD_SECOND ? i : 0;
        }
        case TYPE_WORD: return field_of_word(element);
        default: return 0;
    }
}

// The new value of a field; the hour and minute need an integer!.
double field_value(int field, const Cell* value) {
    uint32_t t = cell::type(value);
    if (t == TYPE_INTEGER) return integer::get(value);
    if (t == TYPE_FLOAT && field == FIELD_SECOND) return float_::get(value);
    fire(ERR_SCRIPT, "invalid-arg", value);
}

}  // namespace

int32_t get_hours(double seconds) {
    double h = hours_of(seconds);
    if (!integer::fits(h)) fire(ERR_MATH, "overflow");
    return static_cast<int32_t>(h);
}

int32_t get_minutes(double seconds) {
    double m = minutes_of(seconds);
    return std::isnan(m) ? 0 : static_cast<int32_t>(m);
}

double set_field(double seconds, int field, double value) {
    double sign = seconds < 0 ? -1.0 : 1.0;
    double h = hours_of(seconds), m = minutes_of(seconds), s = seconds_of(seconds);
    switch (field) {
        case FIELD_HOUR: h = value; break;
        case FIELD_MINUTE: m = value; break;
        default: s = value; break;
    }
    return h * 3600.0 + sign * m * 60.0 + s;
}

int field_index(const Cell* word, const Cell* value) {
    int f = field_of_word(word);
    if (f) return f;
    if (cell::type(value) == TYPE_TIME) fire(ERR_SCRIPT, "cannot-use", word, value);
    return -1;
}

Cell* push_field(const Cell* time, int field) {
    double s = float_::get(time);
    switch (field) {
        case FIELD_HOUR: return integer::push(get_hours(s));
        case FIELD_MINUTE: return integer::push(get_minutes(s));
        default: return float_::push(seconds_of(s));
    }
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t,
                bool, bool, bool, bool evt) {
    int field = field_of(element);
    if (!field) fire(ERR_SCRIPT, "invalid-path", path, element);
    if (!value) return push_field(parent, field);
    double v = field_value(field, value);
    Cell* old = evt ? stack::push(parent) : nullptr;
    make_in(set_field(float_::get(parent), field, v), parent);
    if (evt) {
        if (gparent && cell::type(gparent) == TYPE_OBJECT) handover::object_fire_on_change(gparent, p_item, old, parent);
        else handover::ownership_check(gparent, "set-path", value, field);
        stack::pop(1);
    }
    return value;
}

Cell* pick(Cell* time, int32_t index, Cell* index_cell) {
    if (cell::type(index_cell) == TYPE_WORD) index = field_index(index_cell, time);
    if (index < FIELD_HOUR || index > FIELD_SECOND) fire(ERR_SCRIPT, "out-of-range", index_cell);
    return push_field(time, index);
}

}  // namespace zel::time
