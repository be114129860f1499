// Map projections: the process-wide current plot domain, the transformations
// between latitude-longitude and plot coordinates (units of 100 km for the map
// projections, degrees for latitude-longitude), the diagram coordinate systems,
// the grid of the domain and the declutter grid of station plots.
#pragma once

#include "map/region.h"

// Back to the start-up state: no current domain, no declutter grid.
void MAP_reset_state();

// Makes a copy of dom the current domain and computes its limits; 0, or -1 when
// dom is absent (the current domain then becomes "none").
int MAP_domain(const DOMAIN *dom);
// Replace only the projection code / the reference point / the Lambert true
// latitudes (t[0], t[1]) of the current domain; limits are left as they are.
int MAP_proj(int code);
int MAP_coord(float lat, float lon);
int MAP_proj_coord(const float t[2]);

// Copies the current domain into out (when given); returns the current domain.
const DOMAIN *MAP_get_domain(DOMAIN *out = nullptr);
int MAP_get_proj();
float MAP_get_clat();
float MAP_get_clon();
void MAP_print_domain();
// Projection code of a keyword ("ps", "lambert", "sat"...), -9999 for "miss", -1 unknown.
int MAP_proj_str(const char *text);

// Latitude-longitude to plot coordinates: 1, or 0 with -9999.0 in both outputs
// when the point is not on the map.
int MAP_tran(float *x, float *y, float lat, float lon);
// Plot coordinates to latitude-longitude: 1, or 0 with -9999.0 in both outputs
// when the point is not on the earth.
int MAP_untran(float *lat, float *lon, float x, float y);
int MAP_tran_center(float *x, float *y);

// Grid column i (from the left) and row j (from the top) to plot coordinates and
// back; a missing input gives -9999.0 in both outputs and -1.
int MAP_grid_tran(float *x, float *y, float i, float j);
int MAP_grid_untran(float *i, float *j, float x, float y);

// Moves a plot point of domain from to domain to; the current domain is kept.
int MAP_domain_tran(const DOMAIN *from, const DOMAIN *to, float *x, float *y, float xin, float yin);

// xmin, xmax, ymin, ymax of the plot area.
int MAP_get_limits(float out[4]);
int MAP_get_up_left(float *x, float *y);
// Viewport x1, x2, y1, y2 (used by the thermodynamic diagrams only).
int MAP_set_view(const float v[4]);
int MAP_in_domain(float x, float y);
int MAP_in_grid_domain(float x, float y);

// Map scale factor at a latitude.
float MAP_factor(float lat);
// Meteorological direction (degrees from true north) turned into the plot frame at
// plot point (x, y); -9999.0 when it cannot be found.
float MAP_dir_adj(float dir, float x, float y);

// Declutter grid: one plotted item per cell.
int MAP_set_plot_limit(int n);
int MAP_plot_grid_init();
int MAP_plot_grid(float x, float y);

// The elementary functions behind the transformations, exposed for accuracy
// tests: they aim at about 1e-13 (relative for exp, log and powers), not at the
// last bit.
namespace map_detail {
double exp(double x);
double log(double x);
// x^e through the tables a Lambert conformal domain makes for its exponents;
// false when x or e is outside them (the transformations then use exp and log).
bool pow_table(double x, double e, double &out);
double atan2(double y, double x);
double asin(double x);
void sincos_deg(double degrees, double &s, double &c);
void sincos(double radians, double &s, double &c);
} // namespace map_detail
