// Dates: the UTC date record, its conversion to and from seconds since 1970
// (proleptic Gregorian calendar, 64-bit seconds), the plot labels built from
// it and the display time zone that shifts labels to local time.
//
// Trap: records arrive with missing fields (-9999) and two-digit years; every
// conversion normalises a copy first so that such records still give a date.
#include "base/date.h"

#include "base/mess.h"
#include "base/missing.h"
#include "base/string.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr size_t kLabelMax = 51;
// About 1.9e9 years either side of 1970: the year still fits 32 bits.
constexpr int64_t kSecondsLimit = 60'000'000'000'000'000LL;

constexpr std::array<const char *, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<const char *, 12> kMonthsLower = {"jan", "feb", "mar", "apr", "may", "jun",
                                                       "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<int, 13> kCumDays = {0,   31,  59,  90,  120, 151, 181,
                                          212, 243, 273, 304, 334, 365};

struct DateState {
    std::string zone = "Z"; // shown after times; a set zone carries a leading blank
    int64_t offset = 0;     // seconds added before formatting
    int clock = 0;          // 0 = 24-hour, 1 = 12-hour, -1 = 12-hour with UTC in brackets
};

DateState &st() {
    static DateState s;
    return s;
}

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Days since 1970-01-01 of a Gregorian date; the year is shifted to start in
// March so that the leap day falls at the end of the shifted year.
int64_t days_from_civil(int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    int64_t era = floor_div(y, 400);
    int64_t yoe = y - era * 400;                         // 0..399
    int64_t mp = m > 2 ? m - 3 : m + 9;                  // March = 0
    int64_t doy = (153 * mp + 2) / 5 + d - 1;            // 0..365
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy; // 0..146096
    return era * 146097 + doe - 719468;                  // 719468 days 0000-03-01..1970-01-01
}

void civil_from_days(int64_t z, int64_t &y, int &m, int &d) {
    z += 719468;
    int64_t era = floor_div(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

int32_t weekday(int64_t days) { // 1970-01-01 was a Thursday
    return static_cast<int32_t>(days + 4 - floor_div(days + 4, 7) * 7);
}

int32_t century_year(int32_t y) {
    return y < 0 ? 1980 : DATE_full_year(y);
}

// Only too-large days and clock fields are reset: zero or negative values
// count back (day 0 is the last day of the month before), which callers use
// for date arithmetic.
void normalise(DATE &d) {
    d.year = century_year(d.year);
    if (d.month < 1 || d.month > 12)
        d.month = 1;
    if (d.day > 31)
        d.day = 1;
    if (d.hour > 23)
        d.hour = 0;
    if (d.minute > 59)
        d.minute = 0;
    if (d.second > 59)
        d.second = 0;
}

// Labels show an impossible (or missing) day as 1 and clock fields as 0.
void normalise_for_label(DATE &d) {
    normalise(d);
    if (d.day < 1)
        d.day = 1;
    if (d.hour < 0)
        d.hour = 0;
    if (d.minute < 0)
        d.minute = 0;
    if (d.second < 0)
        d.second = 0;
}

int64_t seconds_of(const DATE &d) {
    return days_from_civil(d.year, d.month, d.day) * 86400 + d.hour * 3600 + d.minute * 60 +
           d.second;
}

std::string twelve_hour(int hour, const char *minutes, const std::string &zone) {
    const char *half = hour < 12 ? "AM" : "PM";
    int h = hour % 12 == 0 ? 12 : hour % 12;
    return str_printf("%d%s %s%s", h, minutes, half, zone.c_str());
}

// Month name decoded, two-digit year expanded and clock fields range-checked.
bool fill_decoded(DATE *out, int year, int month, int day, int hour, int minute, int second) {
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23)
        return false;
    if (minute != MISSING && (minute < 0 || minute > 59))
        return false;
    if (second != MISSING && (second < 0 || second > 59))
        return false;
    if (year < 0)
        return false;
    DATE d;
    d.year = DATE_full_year(year);
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    d.julian = DATE_julian_monday(d.year, d.month, d.day);
    d.wday = weekday(days_from_civil(d.year, d.month, d.day));
    *out = d;
    return true;
}

const char *tail(const char *text, size_t n) {
    size_t len = std::strlen(text);
    return len > n ? text + (len - n) : text;
}

} // namespace

void DATE_reset_state() {
    st() = DateState{};
}

int DATE_init(DATE *date) {
    if (!date)
        return -1;
    *date = DATE{};
    return 1;
}

int DATE_full_year(int year) {
    if (year < 50)
        return year + 2000;
    return year < 200 ? year + 1900 : year;
}

bool DATE_is_leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int64_t DATE_num_sec(DATE *date) {
    if (!date)
        return 0;
    normalise(*date);
    return seconds_of(*date);
}

int DATE_get_gmdate(const int64_t *seconds, DATE *date) {
    if (!date)
        return -1;
    int64_t t = seconds ? *seconds : DATE_get_time();
    if (t > kSecondsLimit || t < -kSecondsLimit) {
        DATE_init(date);
        return -1;
    }
    int64_t days = floor_div(t, 86400);
    int64_t secs = t - days * 86400;
    int64_t y = 0;
    int m = 0, d = 0;
    civil_from_days(days, y, m, d);
    date->year = static_cast<int32_t>(y);
    date->month = m;
    date->day = d;
    date->julian = DATE_julian_monday(date->year, m, d);
    date->wday = weekday(days);
    date->hour = static_cast<int32_t>(secs / 3600);
    date->minute = static_cast<int32_t>(secs % 3600 / 60);
    date->second = static_cast<int32_t>(secs % 60);
    return 1;
}

int64_t DATE_get_time() {
    return static_cast<int64_t>(std::time(nullptr));
}

int DATE_days_date(int64_t days, int *year, int *month, int *day) {
    if (days > kSecondsLimit / 86400 || days < -kSecondsLimit / 86400)
        return -1;
    int64_t y = 0;
    int m = 0, d = 0;
    civil_from_days(days, y, m, d);
    if (year)
        *year = static_cast<int>(y);
    if (month)
        *month = m;
    if (day)
        *day = d;
    return 1;
}

int DATE_time_date(int64_t seconds, int *hour, int *minute, int *second) {
    int64_t s = seconds - floor_div(seconds, 86400) * 86400;
    if (hour)
        *hour = static_cast<int>(s / 3600);
    if (minute)
        *minute = static_cast<int>(s % 3600 / 60);
    if (second)
        *second = static_cast<int>(s % 60);
    return 1;
}

int DATE_julian_monday(int year, int month, int day) {
    if (month < 1 || month > 12)
        return -1;
    return kCumDays[month - 1] + (month > 2 && DATE_is_leap(year) ? 1 : 0) + day;
}

int DATE_monday_julian(int year, int julian, int *month, int *day) {
    int leap = DATE_is_leap(year) ? 1 : 0;
    if (julian < 1 || julian > 365 + leap)
        return -1;
    int m = 12;
    while (m > 1 && julian <= kCumDays[m - 1] + (m > 2 ? leap : 0))
        --m;
    if (month)
        *month = m;
    if (day)
        *day = julian - kCumDays[m - 1] - (m > 2 ? leap : 0);
    return 1;
}

const char *DATE_month(int n) {
    return n >= 1 && n <= 12 ? kMonths[n - 1] : "";
}

const char *DATE_month_lower(int n) {
    return n >= 1 && n <= 12 ? kMonthsLower[n - 1] : "";
}

int DATE_decode_month(const char *text) {
    if (!text || std::strlen(text) < 3)
        return 0;
    std::string name(text, 3);
    for (int i = 0; i < 12; ++i)
        if (str_equal_nocase(name, kMonths[i]))
            return i + 1;
    return 0;
}

int DATE_set_TZ(const char *text) {
    if (!text || !*text) {
        st() = DateState{};
        return 0;
    }
    DateState s;
    const char *p = text;
    if (*p == '+') {
        s.clock = 1;
        ++p;
    } else if (*p == '-') {
        s.clock = -1;
        ++p;
    }
    const char *colon = std::strchr(p, ':');
    std::string name = colon ? std::string(p, colon) : std::string(p);
    if (name.size() > 4)
        name.resize(4);
    s.zone = name.empty() ? "Z" : " " + name;
    if (colon) {
        char *end = nullptr;
        double hours = std::strtod(colon + 1, &end);
        if (end == colon + 1 || !std::isfinite(hours) || std::fabs(hours) > 168.0)
            return -1;
        s.offset = std::llround(hours * 3600.0);
    }
    st() = s;
    return 1;
}

int DATE_make_label(const DATE *date, std::string &out) {
    out.clear();
    if (!date)
        return -1;
    int form = 1;
    if (date->minute != MISSING)
        form = 5;
    else if (date->hour != MISSING)
        form = 4;
    else if (date->day != MISSING)
        form = 3;
    else if (date->month != MISSING)
        form = 2;

    DATE utc = *date;
    normalise_for_label(utc);
    DATE d = utc;
    const DateState &tz = st();
    if (form >= 4 && tz.offset != 0) {
        int64_t t = seconds_of(utc) + tz.offset;
        DATE_get_gmdate(&t, &d);
    }
    int yy = d.year % 100;
    const char *mon = DATE_month(d.month);
    switch (form) {
    case 1:
        out = str_printf("%2.2d", yy);
        break;
    case 2:
        out = str_printf("%3s %2.2d", mon, yy);
        break;
    case 3:
        out = str_printf("%2d %3s %2.2d", d.day, mon, yy);
        break;
    default: {
        std::string time;
        if (tz.clock == 0) {
            time = form == 4 ? str_printf("%2.2d%s", d.hour, tz.zone.c_str())
                             : str_printf("%2.2d%2.2d%s", d.hour, d.minute, tz.zone.c_str());
        } else {
            std::string minutes = form == 4 ? "" : str_printf(":%2.2d", d.minute);
            time = twelve_hour(d.hour, minutes.c_str(), tz.zone);
            if (tz.clock < 0)
                time += form == 4 ? str_printf(" [%2.2dZ]", utc.hour)
                                  : str_printf(" [%2.2d%2.2dZ]", utc.hour, utc.minute);
        }
        out = str_printf("%s %2d %3s %2.2d", time.c_str(), d.day, mon, yy);
    }
    }
    if (out.size() > kLabelMax)
        out.resize(kLabelMax);
    return 1;
}

int DATE_make_seq(const DATE *date, std::string &out) {
    out.clear();
    if (!date)
        return -1;
    DATE d = *date;
    normalise_for_label(d);
    out = str_printf("%4.4d%2.2d%2.2d%2.2d%2.2d", d.year, d.month, d.day, d.hour, d.minute);
    return 1;
}

int DATE_decode_label(const char *text, DATE *date) {
    if (!text || !date)
        return 0;
    int h = 0, mi = 0, s = 0, d = 0, y = 0, mo = 0;
    std::array<char, 4> mon{};

    // "0630Z  4 DEC 26", whole text, then its last 15 characters.
    if (std::sscanf(text, "%2d%2dZ %2d %3s %2d", &h, &mi, &d, mon.data(), &y) == 5 &&
        fill_decoded(date, y, DATE_decode_month(mon.data()), d, h, mi, MISSING))
        return 1;
    const char *t = tail(text, 15);
    const char *fmt = t[0] == ' ' ? "%1d%2dZ %2d %3s %2d" : "%2d%2dZ %2d %3s %2d";
    if (std::sscanf(t, fmt, &h, &mi, &d, mon.data(), &y) == 5 &&
        fill_decoded(date, y, DATE_decode_month(mon.data()), d, h, mi, MISSING))
        return 1;
    // "06:30:15Z  4 DEC 26"
    t = tail(text, 19);
    if (std::sscanf(t, "%2d:%2d:%2dZ %2d %3s %2d", &h, &mi, &s, &d, mon.data(), &y) == 6 &&
        fill_decoded(date, y, DATE_decode_month(mon.data()), d, h, mi, s))
        return 1;
    // "06Z  4 DEC 26"
    t = tail(text, 13);
    if (std::sscanf(t, "%2dZ %2d %3s %2d", &h, &d, mon.data(), &y) == 4 &&
        fill_decoded(date, y, DATE_decode_month(mon.data()), d, h, MISSING, MISSING))
        return 1;
    // "26 12 04 06": year, month, day, hour
    if (std::sscanf(text, "%2d %2d %2d %2d", &y, &mo, &d, &h) == 4 &&
        fill_decoded(date, y, mo, d, h, MISSING, MISSING))
        return 1;
    return 0;
}

int DATE_get_current_str(std::string &out) {
    DATE d;
    DATE_get_gmdate(nullptr, &d);
    out = str_printf("%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", d.year % 100, DATE_month(d.month), d.day,
                     d.hour, d.minute, d.second);
    return 1;
}

int DATE_print(uint32_t level, const DATE *date) {
    if (!date)
        return -1;
    MESS_print(level, "Date: %4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d  julian %d  weekday %d\n",
               date->year, date->month, date->day, date->hour, date->minute, date->second,
               date->julian, date->wday);
    return 1;
}
