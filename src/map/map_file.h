// Map files: outlines (coastlines, borders) as line records of latitude-longitude points,
// in a text or a big-endian binary form, and their drawing in the current projection.
#pragma once

#include <functional>
#include <span>

#include "base/bytes.h"

// Called with each record's points as latitude, longitude pairs (degrees, west negative).
using MapRecordFunc = std::function<void(std::span<const float> latlon)>;

// Reads a map file from the cursor's position to its end record or its end. The first
// header decides the form: six text fields make a text file, anything else a binary one
// (read from the starting position again). Returns 0 at the end, -1 when a header or a
// record cannot be read (a message names the file and the line or byte).
int MAP_read_file(ByteCursor &in, const char *name, const MapRecordFunc &record);

// Draws a map file in the current projection through the selected transformation: runs
// of points on the map as polylines (filled areas when fill is set); a line that jumps
// across the map's seam is closed at one edge and continued at the other. 0 at the end,
// -1 as MAP_read_file, 1 when the current projection is no map projection (nothing read).
int MAP_draw_file(ByteCursor &in, const char *name, bool fill);
