// Colour table, attribute strings and their keywords.
//
// The colour table maps up to 256 colour names to intensities; colour names and numbers
// in resources and attribute strings resolve to colour indices through CLR_get_ind.
// Attribute strings such as "magenta:s4" or ":st=dsh:wi=2" describe how a line, marker,
// fill or text is drawn; -9999 in a record field means "not given".
#pragma once

#include <string>

#include "base/missing.h"

inline constexpr int CLR_MAX = 256;
inline constexpr size_t CLR_NAME_MAX = 19;

// Loads the colour table from a comma-separated list of files (null or empty: the
// "color_table" resource, else "zor.clr"), each found on "file_path". Returns the count.
int CLR_read_table(const char *names);
// Colour name or number to colour index: -1 none/background, -2 "end", 500..508 print
// colours, table names ignoring case, "#rrggbb" and "#RRRGGGBBB" add a colour, digits a
// number; -1 for anything else.
int CLR_get_ind(const char *name);
// Appends a colour, registers it with the device; its index, or -1 when the table is full.
int CLR_add(const char *name, float r, float g, float b);
int CLR_get_rgb(int index, float *r, float *g, float *b);
const char *CLR_get_name(int index);
int CLR_get_num();
int CLR_get_num_fill();
int CLR_clear_table();
void CLR_reset_state();

struct ATTRIB {
    int color = -9999;
    float width = -9999.0f;
    float height = -9999.0f;
    float expan = -9999.0f;
    int style = -9999;
    int fill = -9999;
    int font = -9999;
};

inline constexpr int ATTRIB_MISSING = MISSING;

int ATTRIB_init(ATTRIB *rec);
int ATTRIB_parse(const char *text, ATTRIB *rec);
// Parses the default, then the resource over it; 1 when the resource has a value.
int ATTRIB_get(const char *resource, const char *default_text, ATTRIB *rec);
int ATTRIB_update(ATTRIB *rec, const ATTRIB *from);
int ATTRIB_print(const ATTRIB *rec);

// Fill-pattern keyword to pattern number ("sol" 0 ... "9%" 19); other text is read as a number.
int ATTR_parse_fill_pat(const char *text);
// Marker keyword to marker number (prefix match, first in order wins); other text is a number.
int ATTR_parse_marker(const char *text);
