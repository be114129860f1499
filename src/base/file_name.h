// File-name conventions: the data type selects a line of the naming-convention file, whose
// template turns an observation time into a path; the current file's name and date.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/missing.h"

// Fixed time fields from the "hour" option; -9999 = not fixed, -K = every K units.
struct FILE_TIME {
    int year = MISSING;
    int month = MISSING;
    int day = MISSING;
    int hour = MISSING;
    int minute = MISSING;
};

// Selects a data type ("sat_ir", "grid:L=500", "@template", "none"); 1 when a
// line of the naming-convention file was found, 0 otherwise.
int FILE_set_name(const char *type);
int FILE_set_key(char key, const char *value);
const char *FILE_get_key(char key);
int FILE_set_date(const DATE *date, std::string *out);
int FILE_set_date_off(const DATE *date, int64_t seconds, std::string *out);
int FILE_set_header(int on); // header-template naming
int FILE_set_min_size(int64_t bytes);
int64_t FILE_get_min_size();
int FILE_get_date(DATE *date);
// Seconds between files of the type; 3600 when the template gives no step.
int64_t FILE_get_late_off();
// The time of a file date as FILE_set_current returns it: seconds rounded down to a
// multiple of the late offset (counted from a fixed hour and minute of the "hour" option).
// Missing fields count as their first value (month, day 1, hour, minute 0), a missing year
// as the present one, so dates read back from names without minutes compare with it.
int64_t FILE_date_seconds(const DATE *date);
int FILE_set_time(const FILE_TIME *fields);
int FILE_save_name_conv();
int FILE_restore_name_conv();
const char *FILE_get_name(); // current file name
// Forgets the convention, the fixed fields and the current file (init paths and tests).
void FILE_reset_name_state();

// What the file sequences (file_seq.cpp) build on; not for other callers.
namespace file_detail {

inline constexpr int64_t HOUR = 3600;
inline constexpr int64_t DAY = 86400;

int64_t floor_div(int64_t a, int64_t b);
// Seconds of a record whose missing fields take their first value (the present year).
int64_t to_sec(const DATE &date);
DATE from_sec(int64_t t);
// An unsigned decimal number, capped so that it cannot overflow.
bool read_number(const std::string &s, size_t &pos, int64_t &value);
// "%dd%d:%d", "%d:%d", "%d" hours or ":%d" minutes, without sign; seconds.
bool read_span(const std::string &s, size_t &pos, int64_t &seconds);

const FILE_TIME &fixed_time();
// Rounds down to a multiple of the late offset, counted from the fixed hour and minute.
int64_t align(int64_t t, int64_t late);

// The current file becomes the name of the template for a date (null: the fixed fields, or
// the name the user typed); 0 when there is no template.
int build_name(const DATE *date, std::string *out);
// The current file becomes a name the user typed, matched against the template: its date
// and its folder then stand for the following files. A bare name of the type goes into the
// template's folder. 1 when it matched the template.
int resolve_typed(const std::string &name, std::string &path);
// The files of the type's folder whose names match the template, sorted.
std::vector<std::string> available_files();

// The current file itself.
void clear_typed();
void set_current(const std::string &name, int type, const DATE &date);
const DATE &current_date();

} // namespace file_detail
