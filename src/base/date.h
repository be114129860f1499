// Dates: the date record every file, image and label carries (UTC), its
// conversion to seconds since 1970, plot labels and the display time zone.
#pragma once

#include <cstdint>
#include <string>

#include "base/missing.h"

struct DATE {
    int32_t year = MISSING;
    int32_t month = MISSING;
    int32_t day = MISSING;
    int32_t julian = MISSING; // day of the year, 1..366
    int32_t wday = MISSING;   // day of the week, 0 = Sunday
    int32_t hour = MISSING;
    int32_t minute = MISSING;
    int32_t second = MISSING;
};

int DATE_init(DATE *date);
bool DATE_is_leap(int year);
// The full year of a year field: two digits below 50 are 20yy, other values below 200
// count from 1900 (98 is 1998, 101 is 2001), larger values are full years already.
int DATE_full_year(int year);
// Seconds since 1970-01-01 00:00 UTC after normalising the record (in place).
int64_t DATE_num_sec(DATE *date);
// Fills all fields from seconds; the present time when seconds is null.
// 1, or -1 (record cleared) for seconds beyond a 32-bit year.
int DATE_get_gmdate(const int64_t *seconds, DATE *date);
int64_t DATE_get_time();
// Days since 1970 into a date, seconds into the time of their day; 1.
int DATE_days_date(int64_t days, int *year, int *month, int *day);
int DATE_time_date(int64_t seconds, int *hour, int *minute, int *second);
// Day of the year from year, month, day (-1 for a bad month); and back (1, or -1).
int DATE_julian_monday(int year, int month, int day);
int DATE_monday_julian(int year, int julian, int *month, int *day);
const char *DATE_month(int n);       // "JAN".."DEC" (n = 1..12), "" otherwise
const char *DATE_month_lower(int n); // "jan".."dec"
int DATE_decode_month(const char *text);
// Display time zone "[+|-]name:hours"; 1, 0 (defaults back) for empty text, -1 for bad hours.
int DATE_set_TZ(const char *text);
// Plot label ("0630Z  4 DEC 26"); out receives at most 51 characters. 1, or -1.
int DATE_make_label(const DATE *date, std::string &out);
// "yyyymmddhhmm" after normalising a copy.
int DATE_make_seq(const DATE *date, std::string &out);
// Returns 1 when the label was decoded, 0 otherwise.
int DATE_decode_label(const char *text, DATE *date);
// The present UTC time as "26 DEC 04  06:30:15Z" (log time stamps).
int DATE_get_current_str(std::string &out);
int DATE_print(uint32_t level, const DATE *date);
// Display time zone back to "Z", no offset, 24-hour clock.
void DATE_reset_state();
