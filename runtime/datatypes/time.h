// time!: a duration or time of day as a number of seconds in a double, a
// child of float!. Its fields are hour, minute and second; a negative time
// has a negative hour and second and a non-negative minute, and writing a
// field recomposes the time from the fields by that same rule.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::time {

enum Field : int { FIELD_HOUR = 1, FIELD_MINUTE = 2, FIELD_SECOND = 3 };

// Sets the cell's type to time! (flags kept) and its seconds.
Cell* make_in(double seconds, Cell* c);
Cell* push(double seconds);
// Appends a time! made from the double's high and low words at a block's tail.
Cell* make_at_tail(const Cell* block, uint32_t high, uint32_t low);
// The hour field (toward zero; beyond 32 bits raises math/overflow) and the
// minute field (0..59) of a number of seconds.
int32_t get_hours(double seconds);
int32_t get_minutes(double seconds);
// The seconds with one field replaced (the value already checked).
double set_field(double seconds, int field, double value);
// 1, 2 or 3 for the words hour, minute and second. Another word raises
// cannot-use when `value` is a time!, else gives -1.
int field_index(const Cell* word, const Cell* value);
// Pushes the value of a field: integer! for hour and minute, float! for second.
Cell* push_field(const Cell* time, int field);
// Appends the text form and returns the part budget less its length.
int32_t form_into(double seconds, Cell* buffer, int32_t part);

Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t index,
                bool case_, bool get, bool tail, bool evt);
Cell* pick(Cell* time, int32_t index, Cell* index_cell);

void init();

}  // namespace zel::time
