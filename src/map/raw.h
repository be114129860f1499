// Raw station-data overlay: values of a station file drawn as text around small circles
// at the stations' positions in the current map window.
//
// File format (text; lines of at most 500 characters, longer ones are cut):
//
//   ZORRAW [any text]                 first line; the rest of it is free
//   # comment                         ignored, as are empty lines
//   attr ATTRIBUTE                    attribute string (colour, h height factor, t font,
//                                     w width...) for the stations that follow
//   KEY [V1 [V2 [V3 [V4]]]]           one station
//
// KEY is a station of the city database (identifier, five-digit WMO number, coded WMO
// identifier such as "K2493", buoy key "b41001") or a position "lat/lon" in degrees
// ("39.87/-104.67"). The values are words of at most 8 characters, drawn upper left,
// lower left, upper right and lower right of the station circle (the places of
// temperature, dew point, pressure and tendency in a station plot); "M" marks a value
// that is not drawn. Text height is 1.2% of the window's height (times the attribute's
// height factor); the colour is the "color_data" resource when set, else the current
// text colour. Stations come from a load of the city database for the current domain
// with the station priority of the plot (DOM_get_prior); the declutter grid
// (MAP_set_plot_limit) keeps one station per cell.
#pragma once

// Draws the raw file at path (option 0 is the only form). The number of stations drawn,
// or -1 when the file cannot be opened or is no raw station file (nothing is drawn).
int RAW_plot_file(const char *path, int option);
