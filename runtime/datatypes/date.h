// date!: a date of the proleptic Gregorian calendar with an optional time
// of day and zone. Word 1 is the packed date: bits 17-31 the year (signed),
// bit 16 the time flag, 12-15 the month, 7-11 the day, bit 6 the zone sign
// (set: west of UTC), 2-5 the zone hours, 0-1 the zone quarter hours. Words
// 2-3 hold the time of day at UTC in seconds (a double), 0 without a time.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::date {

constexpr uint32_t TIME_FLAG = 1u << 16;
constexpr uint32_t ZONE_MASK = 0x7Fu;

bool leap_year_q(int32_t year);
// Day number of a packed date (day 0 is 1-Mar-0000) and back.
int32_t date_to_days(uint32_t packed);
uint32_t days_to_date(int32_t days, uint32_t zone_bits, bool time_flag);
inline int32_t year_of(uint32_t packed) { return static_cast<int32_t>(packed) >> 17; }
inline uint32_t month_of(uint32_t packed) { return (packed >> 12) & 0xF; }
inline uint32_t day_of(uint32_t packed) { return (packed >> 7) & 0x1F; }

// Writes a date! from its local fields. The zone is given as signed hours
// and minutes; a zone west of UTC has negative hours, or negative minutes
// when its hours are 0 (-0:30). With `has_time` the local time in seconds
// is converted to UTC; without it the time is 0 and the zone ignored.
Cell* make_in(Cell* c, int32_t year, int32_t month, int32_t day, double seconds, int32_t zone_hours,
              int32_t zone_minutes, bool has_time);
// Moves the date to the Monday of ISO week n of its year, to day n (1 is
// Monday) of its week, or to day n of its year; zone, time flag and time kept.
void set_isoweek(Cell* c, int32_t week);
void set_weekday(Cell* c, int32_t day);
void set_yearday(Cell* c, int32_t day);

}  // namespace zel::date
