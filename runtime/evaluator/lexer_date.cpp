// Date tokens: the general day-month-year and year-month-day forms (month
// as a number or a name), the compact ISO form, ISO weeks and ordinal
// days, each with an optional time and zone.
#include <cstring>
#include "runtime/datatypes/date.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

constexpr const char* MONTHS[12] = {"january", "february", "march",     "april",   "may",      "june",
                                    "july",    "august",   "september", "october", "november", "december"};
constexpr int32_t MONTH_DAYS[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool is_digit(uint8_t b) { return b >= '0' && b <= '9'; }

struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    bool at(char c) const { return p < end && *p == c; }
    bool take(char c) {
        if (!at(c)) return false;
        ++p;
        return true;
    }
    // Up to `max` digits; the number read, the count in *n.
    int32_t digits(int max, int* n) {
        int32_t v = 0;
        *n = 0;
        while (*n < max && p < end && is_digit(*p)) {
            v = v * 10 + (*p++ - '0');
            ++*n;
        }
        return v;
    }
    // Exactly `count` digits, or -1.
    int32_t fixed(int count) {
        int n;
        const uint8_t* from = p;
        int32_t v = digits(count, &n);
        if (n != count) {
            p = from;
            return -1;
        }
        return v;
    }
    // Seconds: digits and a point.
    bool seconds(double* out) {
        const uint8_t* from = p;
        while (p < end && (is_digit(*p) || *p == '.')) ++p;
        return p > from && read_float(from, p, 0, out);
    }
};

struct Fields {
    int32_t year = 0, month = 0, day = 0;
    int32_t hours = 0, minutes = 0;
    double seconds = 0;
    int32_t zone_hours = 0, zone_minutes = 0;
    bool time = false;
};

// A month given by its name: 3 to 9 letters that begin a month's name.
int32_t month_by_name(Reader& r) {
    const uint8_t* from = r.p;
    while (r.p < r.end && ((*r.p | 0x20) >= 'a' && (*r.p | 0x20) <= 'z')) ++r.p;
    size_t n = static_cast<size_t>(r.p - from);
    if (n < 3 || n > 9) return 0;
    for (int m = 0; m < 12; ++m) {
        if (std::strlen(MONTHS[m]) < n) continue;
        size_t i = 0;
        while (i < n && (from[i] | 0x20) == MONTHS[m][i]) ++i;
        if (i == n) return m + 1;
    }
    return 0;
}

// An optional zone: Z, or a sign, up to 2 digits of hours, an optional :
// and up to 2 digits of minutes.
bool zone(Reader& r, Fields& f) {
    if (r.take('Z')) return true;
    if (!r.at('+') && !r.at('-')) return true;
    bool west = *r.p++ == '-';
    int n;
    int32_t h = r.digits(2, &n);
    if (n == 0) return false;
    r.take(':');
    int32_t m = r.digits(2, &n);
    f.zone_hours = west ? -h : h;
    f.zone_minutes = west && h == 0 ? -m : m;
    return true;
}

// hours:minutes[:seconds] and an optional zone.
bool time_part(Reader& r, Fields& f) {
    int n;
    f.hours = r.digits(9, &n);
    if (n == 0 || !r.take(':')) return false;
    f.minutes = r.digits(9, &n);
    if (n == 0) return false;
    if (r.take(':') && !r.seconds(&f.seconds)) return false;
    f.time = true;
    return zone(r, f);
}

bool optional_time(Reader& r, Fields& f) {
    if (r.p == r.end) return true;
    if (!r.take('/') && !r.take('T')) return false;
    return time_part(r, f);
}

// The compact form: yyyymmddThhmm, then Z or seconds with an optional zone.
bool compact(Reader& r, Fields& f) {
    f.month = r.fixed(2);
    f.day = r.fixed(2);
    if (f.month < 0 || f.day < 0 || !r.take('T')) return false;
    f.hours = r.fixed(2);
    f.minutes = r.fixed(2);
    if (f.hours < 0 || f.minutes < 0) return false;
    f.time = true;
    if (r.take('Z')) return true;
    if (!r.seconds(&f.seconds)) return false;
    if (r.take('Z') || (!r.at('+') && !r.at('-'))) return true;
    bool west = *r.p++ == '-';
    int32_t h = r.fixed(2), m = r.fixed(2);
    if (h < 0 || m < 0) return false;
    f.zone_hours = west ? -h : h;
    f.zone_minutes = west && h == 0 ? -m : m;
    return true;
}

// The general form after the first number: separator, month, separator,
// third number, then the order and the two-digit years.
bool general(Reader& r, Fields& f, int32_t first, int first_digits) {
    char sep = static_cast<char>(*r.p);
    if (sep != '-' && sep != '/') return false;
    ++r.p;
    int n;
    if (r.p < r.end && is_digit(*r.p)) f.month = r.digits(2, &n);
    else f.month = month_by_name(r);
    if (!r.take(sep)) return false;
    bool third_negative = r.take('-');
    int third_digits;
    int32_t third = r.digits(4, &third_digits);
    if (third_digits == 0) return false;
    if (third_negative) third = -third;
    int year_digits;
    if (third_negative || third > 31 || first <= 99) {
        f.day = first;
        f.year = third;
        year_digits = third_digits;
    } else {
        f.year = first;
        f.day = third;
        year_digits = first_digits;
    }
    if (year_digits <= 2 && f.year >= 0 && f.year <= 99) f.year += f.year > 49 ? 1900 : 2000;
    return optional_time(r, f);
}

bool valid(const Fields& f) {
    if (f.month < 1 || f.month > 12 || f.year < -9999 || f.year > 9999 || f.day < 1) return false;
    if (f.day > MONTH_DAYS[f.month - 1] || (f.month == 2 && f.day == 29 && !date::leap_year_q(f.year))) return false;
    return f.zone_hours >= -15 && f.zone_hours <= 15 && f.hours >= 0 && f.hours <= 23 && f.minutes >= 0 &&
           f.minutes <= 59 && f.seconds < 60;
}

void make(Cell* c, const Fields& f) {
    double seconds = f.hours * 3600.0 + f.minutes * 60.0 + f.seconds;
    date::make_in(c, f.year, f.month, f.day, seconds, f.zone_hours, f.zone_minutes, f.time);
}

}  // namespace

void load_date(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Reader r{start, end};
    Fields f;
    bool negative = r.take('-');
    int year_digits;
    int32_t first = r.digits(4, &year_digits);
    if (negative) first = -first;
    int year_chars = static_cast<int>(r.p - start);
    int32_t week = -1, weekday = 0, yearday = 0;
    bool ok = year_digits > 0;
    if (ok && r.p < end && is_digit(*r.p)) {
        f.year = first;
        ok = compact(r, f);
    } else if (ok && year_chars == 4 && r.end - r.p >= 2 && r.p[0] == '-' && r.p[1] == 'W') {
        r.p += 2;
        f.year = first;
        f.month = f.day = 1;
        week = r.fixed(2);
        if (r.take('-')) {
            weekday = r.fixed(1);
            ok = weekday >= 1 && weekday <= 7;
        }
        ok = ok && week >= 0 && optional_time(r, f);
    } else if (ok && r.at('-') && r.end - r.p >= 4 && is_digit(r.p[1]) && is_digit(r.p[2]) && is_digit(r.p[3]) &&
               (r.end - r.p == 4 || !is_digit(r.p[4]))) {
        ++r.p;
        f.year = first;
        f.month = f.day = 1;
        yearday = r.fixed(3);
        ok = yearday > 0 && optional_time(r, f);
    } else if (ok) {
        ok = r.p < end && general(r, f, first, year_digits);
    }
    if (!ok || r.p != end || !valid(f)) fail(s, start, end, TYPE_DATE);
    if (!load) return;
    Cell value;
    make(&value, f);
    if (week >= 0) date::set_isoweek(&value, week);
    if (weekday) date::set_weekday(&value, weekday);
    if (yearday) date::set_yearday(&value, yearday);
    *push_cell(s) = value;
}

}  // namespace zel::lexer
