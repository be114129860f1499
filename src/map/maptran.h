// Map projections: the transformations between latitude-longitude and plot
// coordinates (units of 100 km for the map projections, degrees for
// latitude-longitude), the diagram coordinate systems, the grid of a domain and
// the declutter grid of station plots.
//
// A projection is a value (MapProjection) built from a plot domain: its
// constants, its tables and its limits, computed once, so that a caller may hold
// several side by side. The MAP_* functions work on one process-wide instance,
// the current domain.
#pragma once

#include <memory>

#include "base/missing.h"
#include "map/region.h"

namespace map_detail {

struct LccTables; // power tables of a Lambert conformal cone, shared by its projections
struct Row;       // one projection of the table: set-up and transformations

// Everything a transformation needs, computed once per domain.
struct Params {
    double lat0 = 0.0, lon0 = 0.0; // reference point (degrees)
    double h = 1.0;                // +1 northern domain, -1 southern
    double sin0 = 0.0, cos0 = 1.0; // of lat0
    double tlat1 = 60.0, tlat2 = 60.0;
    double k = 0.0;                       // polar stereographic: R (1 + h sin tlat1)
    double n = 1.0, f = 1.0;              // Lambert conformal cone constant and scale (mult)
    double inv_n = 1.0, inv_rf = 1.0;     // 1 / n and 1 / (R f)
    std::shared_ptr<const LccTables> lcc; // Lambert conformal: set whenever valid
    double lcc_factor = MISSING_D;        // Lambert conformal: stored scale factor param[4]
    double H = 421.61;                    // satellite distance from the earth's centre
    double H2 = 0.0, H4 = 0.0, H2e = 0.0, earth_ratio = 0.0, inv_H = 0.0;
    double earth_ratio2 = 0.0, sat_ratio = 0.0, H_over_a = 0.0; // (R / H)^2, H / R, H / a
    bool ellipsoid = false;
    bool scan = false;    // satellite coordinates are scan angles
    bool sweep_x = false; // scan angles of an instrument sweeping north-south (GVAR)
    // Diagrams.
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double xfactor = 0.0, yfactor = 0.0;
    double skew = 0.0; // skew-T: x shift per unit of y; tephigram: y-to-x scale
    bool valid = true; // false: the domain's parameters define no projection
};

} // namespace map_detail

// The projection of one plot domain. The default value has no domain: forward
// transformations pass their inputs through, inverse ones leave their outputs.
// Copies are independent; the Lambert tables they share are read-only.
class MapProjection {
  public:
    MapProjection() = default;
    // As MAP_domain: a missing param[0] / param[1] becomes the centre. The view
    // (x1, x2, y1, y2) matters to the thermodynamic diagrams only.
    explicit MapProjection(const DOMAIN &dom, const float *view = nullptr);

    const DOMAIN &domain() const { return dom_; }

    // The transformations of MAP_tran, MAP_untran, MAP_tran_center,
    // MAP_grid_tran and MAP_grid_untran.
    int tran(float *x, float *y, float lat, float lon) const;
    int untran(float *lat, float *lon, float x, float y) const;
    int tran_center(float *x, float *y) const;
    int grid_tran(float *x, float *y, float i, float j) const;
    int grid_untran(float *i, float *j, float x, float y) const;

    // xmin, xmax, ymin, ymax of the plot area.
    void limits(float out[4]) const;
    void up_left(float *x, float *y) const;
    int in_domain(float x, float y) const;
    int in_grid_domain(float x, float y) const;
    float factor(float lat) const;
    float dir_adj(float dir, float x, float y) const;

    // Replace a part of the domain and recompute the constants; the limits stay.
    void set_proj(int code);
    void set_coord(float lat, float lon);
    // Lambert conformal true latitudes; false (nothing changed) for other projections.
    bool set_true_lats(const float t[2]);
    void set_view(const float v[4]);

  private:
    int tran_other(float *x, float *y, float lat, float lon) const;
    int untran_other(float *lat, float *lon, float x, float y) const;
    int tran_double(double a, double b, double &x, double &y) const;
    void compute_limits();
    void prepare();

    DOMAIN dom_; // proj MISSING: no domain
    double xmin_ = 0.0, xmax_ = 0.0, ymin_ = 0.0, ymax_ = 0.0;
    double xfactor_ = 0.0, yfactor_ = 0.0; // linear diagrams
    double view_[4] = {0.0, 0.0, 0.0, 0.0};
    map_detail::Params p_;
    const map_detail::Row *row_ = nullptr; // null: no transformation for the code
};

// Back to the start-up state: no current domain, no view, no declutter grid.
void MAP_reset_state();

// Makes a copy of dom the current domain and computes its limits; 0, or -1 when
// dom is absent (the current domain then becomes "none").
int MAP_domain(const DOMAIN *dom);
// Replace only the projection code / the reference point / the Lambert true
// latitudes (t[0], t[1]) of the current domain; limits are left as they are.
int MAP_proj(int code);
int MAP_coord(float lat, float lon);
int MAP_proj_coord(const float t[2]);
// The current domain as a value.
const MapProjection &MAP_current();

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
