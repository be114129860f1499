// Map overlay: the geography drawn under and over a plot. What is drawn is a map
// specification, a comma-separated list of entries: map files (coastlines, borders),
// latitude-longitude lines, image files, metafiles and raw data files, each with optional
// drawing attributes, a draw-mode prefix ("-" under the data, "+" over it), conditions on
// the plot's height and region blocks that draw their entries only for plots centred in
// a latitude-longitude box.
//
// Drawing goes through normalization transformation 2, whose window MAP_setup makes the
// plot area of the current domain in plot units.
#pragma once

#include <cstdio>

#include "base/domain.h"

// Makes dom the current domain, sets the window of transformation 2 to its limits and
// selects it. Returns 0.
int MAP_setup(const DOMAIN *dom);

// Draws the map specification and the latitude-longitude lines. mode is a bit set:
// 1 entries prefixed "-", 2 entries prefixed "+", 4 entries without prefix. Nothing is
// drawn while the map draw flag (8) is off or no workstation is open. Returns 0.
int MAP_draw(int mode);

// Draws one entry of a specification under the mode of the last MAP_draw: 0 when it was
// handled, -1 when it was skipped (mode, region block, size condition, no body) or its
// map file was not found.
int MAP_process(const char *entry);

// Draws one map file, read from the stream, in the current projection: 0 at the end of
// the file, -1 when a header cannot be read, 1 when the current projection is not a map
// projection (nothing drawn). Filled or stroked as the last map entry said.
int MAP_map(FILE *stream);

// Latitude-longitude lines at the given spacings (degrees; data units on graph domains)
// with labels at the left and bottom edges, repeated labels and crosses as MAP_latlon
// set them. 0, or -1 when a spacing is missing or too small to draw.
int MAP_lines(float latint, float lonint);

// Line settings used by MAP_draw: spacing of crosses at line intersections and of repeated
// labels along the lines (whole degrees, 0 none), latitude and longitude spacing (0 or
// less: no lines).
int MAP_latlon(int dot, int extra, float latint, float lonint);
int MAP_get_latlon(float *latint, float *lonint);

// The map specification (null or empty: the resource "map_file" or the default rule
// decide at the next MAP_draw).
int MAP_file(const char *name);
// The current map specification ("" until one is set or chosen).
const char *MAP_get_file();
// Default attribute string for map files without one of their own (null or "" unsets).
int MAP_set_format(const char *attr);
// When on, map files without attributes take "color_cmap" (default black) instead of
// "color_map" (default red).
int MAP_fill_cont(int on);

// Height, width and rectangle (xmin, xmax, ymin, ymax) of the window of transformation 2.
float MAP_get_vert();
float MAP_get_hor();
int MAP_get_window(float out[4]);

// Back to the start-up state: no specification, format or lines; fill_cont off.
void MAP_overlay_reset_state();
