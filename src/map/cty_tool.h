// City database in memory: the stations of the city file that fall inside the plot
// domain, loaded into one hash table and found by identifier, WMO number, buoy key or
// position; the station selection language; and the conversions between WMO numbers
// and letter identifiers.
#pragma once

#include <string>
#include <vector>

#include "map/cty_read.h"
#include "map/region.h"

// Compact station record (for plotting).
struct CTY_PLOT {
    std::string id; // display identifier, after the id type
    int wmo = 99999;
    float x = MISSING_F, y = MISSING_F; // plot position in the domain of the load
    float elev = MISSING_F;
    int prior = MISSING;
    void *data = nullptr; // extra data, as in the full record
};

// One loaded station: the full record, the compact form and the extra data both point to.
struct CTY_STATION {
    CTY_REC rec;
    CTY_PLOT plot;
    std::vector<unsigned char> extra;
};

// Table modes of CTY_store: full records under identifier and WMO key; compact records
// under display identifier and WMO key; the same with the position key as third key.
inline constexpr int CTY_MODE_FULL = 1;
inline constexpr int CTY_MODE_COMPACT = 2;
inline constexpr int CTY_MODE_POSITION = 3;

// Loads the stations of the city file (CTY_open_file rules for `file`) that have a
// priority of at most `prior` (CTY_get_prior() when -9999), match the "identifier"
// selection list and lie within `domain` widened by three grid spacings; `domain`
// (the current one when null) becomes the current projection. 1, or 0 when the file
// cannot be opened or the mode is not 1..3. A second load of the same file, mode,
// domain, priority, selection and id type keeps the table it already has.
int CTY_store(const char *file, int mode, const DOMAIN *domain, int prior);
// Look-up by text: five digits are a WMO number; a letter and digits ending in three
// digits (five characters) a coded WMO number (id_to_wmo); "b" and five characters a
// buoy key; anything else an identifier (the display identifier in modes 2 and 3).
// 1 and the station, or 0.
int CTY_search(const char *id, const CTY_STATION **out);
// The loaded station nearest to (lat, lon) on rings of 0.1 degree cells, up to 49
// rings out (mode 3 tables only). 1 and the station, or 0.
int CTY_search_loc(const CTY_STATION **out, float lat, float lon);
// Extra data of the station found for id, or null.
void *CTY_get_data(const char *id);
// Number of stations loaded.
int CTY_count();

// Display identifiers of compact records: 0 identifier (WMO key when none), 1 WMO key
// (identifier when none), 2 identifier (coded WMO number when none).
int CTY_set_id_type(int type);
int CTY_get_id_type();
// The "stat_prior" resource as an integer, 10 when unset or unreadable.
int CTY_get_prior();

// Bytes of extra data allocated per loaded station (first byte 0), and a function called
// with each station's record and extra data while it is loaded.
using CTY_ENTER_FUNC = void (*)(const CTY_REC *rec, void *data);
int CTY_data_size(int bytes);
int CTY_enter_func(CTY_ENTER_FUNC func);

// Index of the first element of a selection list that the station matches, -1 when none,
// 1 when the list is empty. An element is a WMO number ("%05d"), an identifier, the
// first five or more letters of a name, or colon-separated terms that must all hold:
// ST=xx, ST=xx_yy, CN=xx (or ST / CN with the value as next term), ID=x, NAME=text
// (name prefix), RA<r:lat:lon (within r km), P, LAT, LON, ELEV and WMO with =, < or >
// (< and > include equality). Keywords and texts compare without regard to case.
int CTY_data_cmp(int n, const std::vector<std::string> &list, const CTY_REC *rec);

// WMO number to letter identifier: the range's two-letter prefix and the number modulo
// 1000 ("%3.3d"), or its one-letter prefix and the number modulo 10000 ("%4.4d");
// "%5.5d" outside every range. 1 with a prefix, 0 without.
int wmo_to_id(std::string *out, int number);
// The inverse for five-character identifiers: digits are the number; a prefix and
// digits give the number of its range. 1, or -1 with 99999 for anything else.
int id_to_wmo(const char *id, int *number);

// Back to the start-up state: no table, id type 0, no extra data.
void CTY_reset_state();
