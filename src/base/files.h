// File names: naming conventions, current and latest files, file lists over
// hour spans, the existing-output-file policy and the suite's file opener.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/date.h"

// Closes what FILE_open opened (pclose for pipes, nothing for standard streams).
struct FILE_closer {
    void operator()(FILE *f) const;
};
using FilePtr = std::unique_ptr<FILE, FILE_closer>;

// Fixed time fields from the "hour" option; -9999 = not fixed, -K = every K units.
struct FILE_TIME {
    int year = -9999;
    int month = -9999;
    int day = -9999;
    int hour = -9999;
    int minute = -9999;
};

// Selects a data type ("sat_ir", "grid:L=500", "@template", "none"); 1 when a
// line of the naming-convention file was found, 0 otherwise.
int FILE_set_name(const char *type);
int FILE_set_key(char key, const char *value);
const char *FILE_get_key(char key);
int FILE_get_file(const char *prompt, std::string *out);
int FILE_get_file_only(const char *prompt, std::string *out);
// Resolves a typed name; 1 when it matched the template (its date is known).
int FILE_set_file(const char *name, std::string *out);
// "[#YYYYMMDDhhmm][[+|-]offset][la[#tries]][offset]"; null or empty: the newest
// file. Returns the time rounded down to the late offset (counted from a
// fixed hour/minute of the "hour" option).
int64_t FILE_set_current(const char *spec, std::string *out);
int FILE_set_date(const DATE *date, std::string *out);
int FILE_set_date_off(const DATE *date, int64_t seconds, std::string *out);
int FILE_set_header(int on); // header-template naming
// Starts the file sequence; returns the number of names it will try.
int FILE_first(const DATE *date);
// Next existing file of the sequence; 0 at the end.
int FILE_get_next(std::string *out);
// Frames to loop: 0 for a single file.
int FILE_get_num_file();
int FILE_set_min_size(int64_t bytes);
int64_t FILE_get_min_size();
int FILE_get_date(DATE *date);
// Seconds between files of the type; 3600 when the template gives no step.
int64_t FILE_get_late_off();
int FILE_set_time(const FILE_TIME *fields);
int FILE_save_name_conv();
int FILE_restore_name_conv();
const char *FILE_get_name(); // current file name
int FILE_overwrite(const char *name, int mode);
// Opens a name the user typed or configured (options, resources, environment, prompts):
// "|command" reads or writes a pipe, "", "-", "std" and "stdn" are the standard streams, a
// leading '~' is a home directory, and writing creates missing directories.
FilePtr FILE_open(const char *name, const char *mode);
// Opens a name read from inside a data file, for reading only. Such a name never starts a
// command, never means a standard stream and is never expanded with '~': it must name a
// regular file (no FIFO, device or directory) of at most max_bytes bytes. Null otherwise.
inline constexpr int64_t FILE_DATA_MAX_BYTES = int64_t{1} << 31;
FilePtr FILE_open_data(const char *name, int64_t max_bytes = FILE_DATA_MAX_BYTES);
// A name joined to the "file_path" directory (the name itself when it is a full path or
// no file path is set). A name starting with '|' is joined like any other name.
std::string FILE_find_on_path(const std::string &name);
int FILE_add_path(const char *dir, const char *name, std::string *out);
std::string FILE_add_path_delim(const std::string &path);
std::string FILE_expand_home(const std::string &name);
bool FILE_exist(const char *name);
bool FILE_is_dir(const char *name);
bool FILE_is_file(const char *name);
bool FILE_is_fifo(const char *name);
bool FILE_is_device(const char *name);
int64_t FILE_size(const char *name);
int64_t FILE_modtime(const char *name);
int FILE_delete(const char *name);
int FILE_make_dir(const char *name);
int FILE_type(const char *name);
void FILE_reset_state();
