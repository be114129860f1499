// City database file: one station per line with name, state, country,
// identifier, plotting priority, position, elevation and WMO number; single
// look-ups by identifier, name or WMO number.
#pragma once

#include <memory>
#include <string>

#include "base/file_io.h"
#include "base/missing.h"

// One station of the city file (full form). Texts are cut to the lengths the
// file format allows.
struct CTY_REC {
    std::string name;    // at most 20 characters, underscores for blanks
    std::string state;   // 2 characters
    std::string country; // 2 characters; "B_" marks a buoy
    std::string id;      // at most 9 characters; "-" as second character: none
    int prior = MISSING; // plotting priority, one digit
    char mark1 = ' ';    // '*' before the priority digit, else blank
    char mark2 = ' ';    // '*' after the priority digit, else blank
    float lat = MISSING_F;
    float lon = MISSING_F;  // west negative
    float elev = MISSING_F; // metres; missing when the file says more than 9000
    int wmo = 99999;        // 99999 when none
    int last = 0;           // last field of the line, kept as read
    void *data = nullptr;   // extra data attached while loading (not owned)
};

inline constexpr int CTY_LINE_SIZE = 59;      // typical bytes per station line
inline constexpr int CTY_MAX_EXPECTED = 4000; // cap of the expected station count

// An open city file, read station by station.
struct CTY_FILE {
    FilePtr fp;
    std::string path;
    long line = 0; // lines read so far
    int bad = 0;   // lines that did not read as stations
};
using CtyFile = std::unique_ptr<CTY_FILE>;

// Opens the city file: the "city_file" resource when set ("none" disables the
// database), else name, else "sao.cty", relative names under "file_path".
// count receives the expected number of stations (file size / 59, 1..4000).
// Returns an empty pointer (the -1 of the procedural interface) on failure.
// name_from_data: name was read from inside a data file, so it must name a
// regular file (FILE_open_data), never a command or a device.
CtyFile CTY_open_file(const char *name, int *count, bool name_from_data = false);
// Opens the city file at path as it is (no search, no resources); info receives the
// expected number of stations. Empty on failure, without a message.
CtyFile CTY_open(const char *path, const char *mode, int *info, bool from_data = false);
// Reads the next station; 1, or 0 at the end of the file. Empty lines and lines
// beginning with '#' are skipped; other lines that do not read as stations are
// skipped with a warning naming the file and line (the first few of each file).
int CTY_read(CTY_FILE *file, CTY_REC *rec);
int CTY_rewind(CTY_FILE *file);
int CTY_close(CtyFile &file);
// Reads one station line; 1 when it holds all ten fields, else 0.
int CTY_parse_line(const std::string &line, CTY_REC *rec);
// True when the station carries an identifier.
bool CTY_has_id(const CTY_REC &rec);
// Searches the city file from its start for a station whose identifier or name
// equals id (case-insensitive) or whose WMO number "%05d" equals id; 1 found.
int CTY_get(const char *file, const char *id, CTY_REC *rec, bool file_from_data = false);
// Latitude and longitude of station id; 1, or 0 when not found.
int CTY_get_loc(const char *file, const char *id, float *lat, float *lon,
                bool file_from_data = false);
