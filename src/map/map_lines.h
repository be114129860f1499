// Latitude-longitude lines of the map overlay (MAP_lines draws through this).
#pragma once

namespace map_detail {

// Lines at latint / lonint degrees in the current projection through the selected
// transformation, labelled at the left and bottom edges of the plot area; extra > 0
// repeats the labels along the lines every extra degrees, dot > 0 draws crosses at every
// dot degrees. On graph domains: grid lines at those spacings in data units. Line and
// text attributes are reset at the end. 0, or -1 when a spacing is missing, not positive
// or too small to draw.
int draw_lat_lon_lines(float latint, float lonint, int dot, int extra);

} // namespace map_detail
