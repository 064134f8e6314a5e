// date!: the calendar kernel and the constructors (the datatype's actions
// join this file). Divisions truncate, as the day-number formulas expect;
// weekdays use a floored remainder so that dates before year 0 work too.
#include "runtime/datatypes/date.h"
#include <cmath>
#include <cstdlib>

namespace zel::date {

namespace {

constexpr double HOUR = 3600.0;
constexpr double DAY = 86400.0;

int32_t floor_mod(int32_t a, int32_t m) {
    int32_t r = a % m;
    return r < 0 ? r + m : r;
}

// The zone offset in hours (quarter hours included), with its sign.
double zone_hours_of(uint32_t zone) {
    double h = static_cast<double>((zone >> 2) & 0xF) + static_cast<double>(zone & 3) * 15.0 / 60.0;
    return (zone & 0x40) ? -h : h;
}

int32_t days_of_year_start(uint32_t packed) {
    return date_to_days((static_cast<uint32_t>(year_of(packed)) << 17) | (1u << 12) | (1u << 7));
}

// Rebuilds the cell's packed word from a day number, keeping zone and flag.
void set_days(Cell* c, int32_t days) {
    c->w1 = days_to_date(days, c->w1 & ZONE_MASK, (c->w1 & TIME_FLAG) != 0);
}

}  // namespace

bool leap_year_q(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int32_t date_to_days(uint32_t packed) {
    int32_t y = year_of(packed);
    int32_t m = static_cast<int32_t>(month_of(packed));
    int32_t d = static_cast<int32_t>(day_of(packed));
    int32_t mm = (m + 9) % 12;
    int32_t yy = y - mm / 10;
    return 365 * yy + yy / 4 - yy / 100 + yy / 400 + (306 * mm + 5) / 10 + (d - 1);
}

uint32_t days_to_date(int32_t g, uint32_t zone_bits, bool time_flag) {
    auto year_days = [](int64_t y) { return 365 * y + y / 4 - y / 100 + y / 400; };
    int64_t y = static_cast<int64_t>((10000.0 * g + 14780.0) / 3652425.0);
    int64_t r = g - year_days(y);
    if (r < 0) {
        --y;
        r = g - year_days(y);
    }
    int64_t mi = (100 * r + 52) / 3060;
    int64_t month = (mi + 2) % 12 + 1;
    int64_t year = y + (mi + 2) / 12;
    int64_t day = r - (306 * mi + 5) / 10 + 1;
    uint32_t word = (static_cast<uint32_t>(year) & 0x7FFF) << 17 | static_cast<uint32_t>(month) << 12 |
                    static_cast<uint32_t>(day) << 7 | (zone_bits & ZONE_MASK);
    return time_flag ? word | TIME_FLAG : word;
}

Cell* make_in(Cell* c, int32_t year, int32_t month, int32_t day, double seconds, int32_t zone_hours,
              int32_t zone_minutes, bool has_time) {
    uint32_t zone = 0;
    if (has_time) {
        zone = static_cast<uint32_t>(std::abs(zone_hours) & 0xF) << 2 |
               static_cast<uint32_t>((std::abs(zone_minutes) / 15) & 3);
        if (zone_hours < 0 || (zone_hours == 0 && zone_minutes < 0)) zone |= 0x40;
    }
    uint32_t packed = (static_cast<uint32_t>(year) & 0x7FFF) << 17 | static_cast<uint32_t>(month & 0xF) << 12 |
                      static_cast<uint32_t>(day & 0x1F) << 7 | zone;
    int32_t days = date_to_days(packed);
    double time = 0.0;
    if (has_time) {
        double z = zone_hours_of(zone);
        time = seconds - z * HOUR;  // local time to UTC
        // Whole local days carried into the day number, then a negative
        // local time of day borrows one day.
        double k = std::trunc(std::trunc(time / HOUR + z) / 24.0);
        if (!(std::fabs(k) <= 1e8)) k = 0;  // no calendar reaches that far
        days += static_cast<int32_t>(k);
        time -= DAY * k;
        if (z * HOUR + time < 0) {
            time += DAY;
            --days;
        }
    }
    cell::set(c, TYPE_DATE, days_to_date(days, zone, has_time));
    cell::set_float_payload(c, time);
    return c;
}

void set_isoweek(Cell* c, int32_t week) {
    int32_t j = days_of_year_start(c->w1);
    int32_t w = floor_mod(j + 2, 7);
    int32_t monday = w < 4 ? j - w : j - w + 7;
    set_days(c, monday + 7 * week - 7);
}

void set_weekday(Cell* c, int32_t day) {
    int32_t g = date_to_days(c->w1);
    set_days(c, g + (day - 1) - floor_mod(g + 2, 7));
}

void set_yearday(Cell* c, int32_t day) { set_days(c, days_of_year_start(c->w1) + day - 1); }

}  // namespace zel::date
