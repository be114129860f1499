// Map projections against PROJ 9.1 (`proj`, sphere of radius 6371220 m; plot
// units are 100 km; the tables are tests/map/proj/*.txt, each naming the proj
// command that made it) and closed forms; projection values against the
// current domain.
#include "map/maptran.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kR = 63.7122;
constexpr float kMiss = MISSING_F;

using Conv = std::function<double(double)>; // PROJ metres to plot units
double metres(double m) {
    return m / 1.0e5;
}

DOMAIN make(int proj, float p0, float p1, float p2 = kMiss, float p3 = kMiss, int ell = 0) {
    DOMAIN d;
    d.proj = proj;
    d.param[0] = p0;
    d.param[1] = p1;
    d.param[2] = p2;
    d.param[3] = p3;
    d.clat = p0;
    d.clon = p1;
    d.nx = 25;
    d.ny = 17;
    d.dx = d.dy = 1.0f;
    d.ellipsoid = ell;
    return d;
}

void set(const DOMAIN &d) {
    ASSERT_EQ(MAP_domain(&d), 0);
}

// Absolute tolerance plus the float resolution of large values.
double tol(double v, double abs) {
    return abs + 2.0e-7 * std::fabs(v);
}

double lon_diff(double a, double b) {
    return std::remainder(a - b, 360.0);
}

// One row of a PROJ table: "fwd lat lon x y" or "inv x y lat lon", metres; "*"
// outputs (NaN here) for a point not on the map.
struct ProjRow {
    bool fwd;
    double in0, in1, out0, out1;
    std::string text;
};

std::vector<ProjRow> proj_table(const std::string &name) {
    std::ifstream f(std::string(XSAT_SOURCE_DIR) + "/tests/map/proj/" + name + ".txt");
    std::vector<ProjRow> rows;
    std::string line;
    auto num = [](const std::string &w) {
        return w == "*" ? std::numeric_limits<double>::quiet_NaN() : std::stod(w);
    };
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::string kind, w[4];
        if (line.empty() || line[0] == '#' || !(in >> kind >> w[0] >> w[1] >> w[2] >> w[3]))
            continue;
        rows.push_back({kind == "fwd", num(w[0]), num(w[1]), num(w[2]), num(w[3]), line});
    }
    EXPECT_FALSE(rows.empty()) << "no rows in " << name;
    return rows;
}

// Every row of a table through the current domain: plot units within abs_tol
// (and the float resolution) forward, degrees within abs_tol inverse.
void check(const std::string &name, double abs_tol, const Conv &conv = metres) {
    for (const ProjRow &r : proj_table(name)) {
        SCOPED_TRACE(name + ": " + r.text);
        float a = 0, b = 0;
        const int res = r.fwd
                            ? MAP_tran(&a, &b, static_cast<float>(r.in0), static_cast<float>(r.in1))
                            : MAP_untran(&a, &b, static_cast<float>(conv(r.in0)),
                                         static_cast<float>(conv(r.in1)));
        if (std::isnan(r.out0)) {
            EXPECT_EQ(res, 0);
            EXPECT_EQ(a, kMiss);
            EXPECT_EQ(b, kMiss);
            continue;
        }
        ASSERT_EQ(res, 1);
        if (r.fwd) {
            const double ex = conv(r.out0), ey = conv(r.out1);
            EXPECT_NEAR(a, ex, tol(ex, abs_tol));
            EXPECT_NEAR(b, ey, tol(ey, abs_tol));
        } else {
            EXPECT_NEAR(a, r.out0, abs_tol);
            // At a pole the longitude is PROJ's choice, except at the plot origin: the
            // reference meridian.
            if (std::fabs(r.out0) < 89.99 || (r.in0 == 0 && r.in1 == 0)) {
                EXPECT_NEAR(lon_diff(b, r.out1), 0.0, abs_tol);
            }
        }
    }
}

// inverse(forward(p)) == p over a spread of points the forward accepts.
void check_round_trip(double deg_tol, float lat_lo = -80, float lat_hi = 80, float dl_max = 160) {
    const float lon0 = MAP_get_domain()->param[1];
    int n = 0;
    for (int a = 0; a <= 8; ++a)
        for (int b = -4; b <= 4; ++b) {
            const float lat = lat_lo + (lat_hi - lat_lo) * a / 8, dl = dl_max * b / 4;
            float x, y, la, lo;
            if (MAP_tran(&x, &y, lat, lon0 + dl) != 1)
                continue;
            ++n;
            ASSERT_EQ(MAP_untran(&la, &lo, x, y), 1) << lat << " " << dl;
            EXPECT_NEAR(la, lat, deg_tol) << lat << " " << dl;
            EXPECT_NEAR(lon_diff(lo, lon0 + dl), 0.0, deg_tol) << lat << " " << dl;
        }
    EXPECT_GT(n, 10);
}

class MapTranTest : public ::testing::Test {
  protected:
    void SetUp() override { MAP_reset_state(); }
    void TearDown() override { MAP_reset_state(); }
};

// --- Polar stereographic --------------------------------------------------

TEST_F(MapTranTest, PolarStereographicMatchesProj) {
    set(make(1, 60, -105));
    check("stere_north", 1e-4);
    check_round_trip(1e-3, -75, 85);
    set(make(1, -60, 140));
    check("stere_south", 1e-4);
    check_round_trip(1e-3, -85, 75);
    set(make(1, 60, 10, 45));
    check("stere_ts45", 1e-4);

    // Closed form: (60, -105) lies at y = -R (1 + sin 60) tan 15 below the pole.
    set(make(1, 60, -105));
    float x, y;
    ASSERT_EQ(MAP_tran(&x, &y, 60, -105), 1);
    EXPECT_NEAR(y, -kR * (1 + std::sqrt(3.0) / 2) * std::tan(M_PI / 12), 1e-4);
}

// --- Latitude-longitude and Mercator --------------------------------------

TEST_F(MapTranTest, LatLonWrapsOnce) {
    set(make(2, 0, 0));
    float x, y, lat, lon;
    ASSERT_EQ(MAP_tran(&x, &y, 45, 190), 1);
    EXPECT_FLOAT_EQ(x, -170);
    EXPECT_FLOAT_EQ(y, 45);
    set(make(2, 0, 170));
    ASSERT_EQ(MAP_tran(&x, &y, 10, -175), 1); // 15 degrees east across the date line
    EXPECT_FLOAT_EQ(x, 15);
    ASSERT_EQ(MAP_untran(&lat, &lon, 20, -30), 1);
    EXPECT_FLOAT_EQ(lon, -170);
    EXPECT_FLOAT_EQ(lat, -30);
}

TEST_F(MapTranTest, MercatorMatchesProj) {
    set(make(3, 0, 170));
    check("merc", 1e-4);
    check_round_trip(1e-3);
}

// --- Lambert conformal ------------------------------------------------------

TEST_F(MapTranTest, LambertConformalMatchesProj) {
    set(make(4, 40, -95));
    check("lcc_north", 1e-4);
    check_round_trip(1e-3);
    set(make(4, 30, -95, 25, 45));
    check("lcc_25_45", 1e-4);
    set(make(4, 45, 10, 45, 45));
    check("lcc_tangent", 1e-4);
    // A southern cone: default true latitudes, the same given as southern
    // latitudes, and given as magnitudes.
    for (const DOMAIN &d :
         {make(4, -35, 135), make(4, -35, 135, -30, -60), make(4, -35, 135, 30, 60)}) {
        set(d);
        check("lcc_south", 1e-4);
        check_round_trip(1e-3);
    }
}

TEST_F(MapTranTest, LambertFlatConeMatchesProj) {
    set(make(4, 30, 0, 5, 5));
    check("lcc_flat", 1e-4);
    check_round_trip(1e-3);
}

TEST_F(MapTranTest, LambertTrueLatitudesCanBeReplaced) {
    set(make(4, 30, -95));
    const float t[2] = {25, 45};
    ASSERT_EQ(MAP_proj_coord(t), 0);
    check("lcc_25_45", 1e-4);
    set(make(1, 60, -105));
    EXPECT_EQ(MAP_proj_coord(t), -1); // Lambert conformal only
}

// --- Azimuthal projections --------------------------------------------------

TEST_F(MapTranTest, OrthographicMatchesProj) {
    set(make(5, 40, -100));
    check("ortho", 1e-4);
    check_round_trip(2e-3);
}

TEST_F(MapTranTest, GnomonicMatchesProj) {
    set(make(6, 40, -100));
    check("gnom", 1e-4);
    check_round_trip(1e-3);
    set(make(6, 90, 0));
    check("gnom_polar", 1e-4);
}

TEST_F(MapTranTest, LambertAzimuthalMatchesProj) {
    set(make(8, 40, -100));
    check("laea", 1e-4);
    check_round_trip(1e-3);
    float lat, lon;
    ASSERT_EQ(MAP_untran(&lat, &lon, 0, 0), 1);
    EXPECT_FLOAT_EQ(lat, 40);
    EXPECT_FLOAT_EQ(lon, -100);
    set(make(8, 0, 20));
    check("laea_equator", 1e-4);
    set(make(8, 90, -100));
    check("laea_north", 1e-4);
    set(make(8, -90, 30));
    check("laea_south", 1e-4);
}

// --- Mollweide --------------------------------------------------------------

TEST_F(MapTranTest, MollweideMatchesProj) {
    set(make(7, 0, -100));
    check("moll", 1e-4);
    check_round_trip(1e-3);
    // The pole is a point at the top of the ellipse.
    float x, y;
    ASSERT_EQ(MAP_tran(&x, &y, 90, 30), 1);
    EXPECT_EQ(x, 0.0f);
    EXPECT_NEAR(y, kR, 1e-3);
}

// --- Satellite view ---------------------------------------------------------

constexpr double kH = 421.61;           // default satellite distance (plot units)
constexpr double kHSphere = 35789780.0; // proj +h: height above the sphere (m)
constexpr double kHEll = 35782863.0;    // height above the equator of the ellipsoid

// proj gives the scan angle times +h; plot units are H tan(angle), or H angle.
Conv tan_conv(double h) {
    return [h](double m) { return kH * std::tan(m / h); };
}
Conv angle_conv(double h) {
    return [h](double m) { return kH * m / h; };
}

TEST_F(MapTranTest, SatelliteViewMatchesProj) {
    set(make(9, 0, -75));
    check("geos_sphere", 1e-4, tan_conv(kHSphere));
    set(make(9, 0, -75, kMiss, 1.0f));
    check("geos_sphere", 1e-4, angle_conv(kHSphere));
    set(make(9, 0, -75, 421.61f, kMiss, 1));
    check("geos_ellipsoid", 1e-4, tan_conv(kHEll));
    check_round_trip(1e-3);
    set(make(9, 0, -75, 421.61f, 1.0f, 1));
    check("geos_ellipsoid", 1e-4, angle_conv(kHEll));
    check_round_trip(1e-3);
    // param[3] = 2: the angles of an instrument sweeping the other way (GVAR).
    set(make(9, 0, -75, 421.61f, 2.0f, 1));
    check("geos_ellipsoid_sweep_x", 1e-4, angle_conv(kHEll));
    check_round_trip(1e-3);
}

TEST_F(MapTranTest, SatelliteViewLimb) {
    set(make(9, 0, -75));
    float x, y;
    ASSERT_EQ(MAP_tran(&x, &y, 0, -75), 1);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    // Visible only where cos(lat) cos(dlon) >= R / H (0.15112).
    EXPECT_EQ(MAP_tran(&x, &y, 0, 10), 0); // 85 degrees of longitude
    EXPECT_EQ(x, kMiss);
    EXPECT_EQ(MAP_tran(&x, &y, 82, -75), 0);
    EXPECT_EQ(MAP_tran(&x, &y, 81, -75), 1);
    EXPECT_EQ(MAP_tran(&x, &y, 0, 105), 0); // far side
}

// The sphere's inverse meets the scan ray with a sphere of squared radius
// 4068.063 and divides by R = 63.7122. Expected values evaluated with Python
// from D = x^2 + y^2 + H^2, t = (H^2 - sqrt(H^4 - D (H^2 - 4068.063))) / D,
// lat = asin(t y / R), lon = asin(t x / (R cos lat)) - 75.
TEST_F(MapTranTest, SatelliteSphereInverse) {
    struct Row {
        float x, y;
        double lat, lon;
        bool on;
    };
    const Row tan_rows[] = {{0, 0, 0.0, -75.0, true},
                            {20, -30, -24.1296984, -57.6247111, true},
                            {-40, 45, 40.8840960, -125.3133116, true},
                            {50, 0, 0.0, -30.5814801, true},
                            {0, 60, 60.6539433, -75.0, true},
                            {30, 50, 46.0683770, -36.4788198, true},
                            {64.5, 0, 0.0, 5.1079644, true},
                            {70, 0, 0, 0, false}};
    const Row scan_rows[] = {{20, -30, -24.1749361, -57.6036217, true},
                             {-40, 45, 41.1345433, -125.8730772, true},
                             {63, 0, 0.0, -3.6160907, true}};
    for (int scan = 0; scan < 2; ++scan) {
        set(make(9, 0, -75, kMiss, scan ? 1.0f : kMiss));
        for (const Row &r : scan ? std::vector<Row>(std::begin(scan_rows), std::end(scan_rows))
                                 : std::vector<Row>(std::begin(tan_rows), std::end(tan_rows))) {
            float lat, lon;
            const int res = MAP_untran(&lat, &lon, r.x, r.y);
            SCOPED_TRACE(testing::Message() << scan << ": " << r.x << " " << r.y);
            ASSERT_EQ(res, r.on ? 1 : 0);
            EXPECT_NEAR(lat, r.on ? r.lat : kMiss, 1e-3);
            EXPECT_NEAR(lon, r.on ? r.lon : kMiss, 1e-3);
        }
    }
    // Not the exact inverse, but within 0.05 degrees of it near the
    // sub-satellite point.
    set(make(9, 0, -75));
    check_round_trip(0.05, -20, 20, 20);
}

// --- Domain, limits and grid ------------------------------------------------

TEST_F(MapTranTest, DomainLimitsAndGrid) {
    DOMAIN d = make(1, 60, -105);
    d.param[0] = d.param[1] = kMiss; // default to the centre
    d.clat = 60;
    d.clon = -105;
    d.nx = 25;
    d.ny = 17;
    d.dx = 2.0f;
    d.dy = 1.5f;
    set(d);
    EXPECT_EQ(MAP_get_domain()->param[0], 60.0f);
    EXPECT_EQ(MAP_get_domain()->param[1], -105.0f);
    EXPECT_EQ(MAP_get_proj(), 1);
    const double cy = -kR * (1 + std::sqrt(3.0) / 2) * std::tan(M_PI / 12);
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_NEAR(lim[0], -24.0, 1e-4);
    EXPECT_NEAR(lim[1], 24.0, 1e-4);
    EXPECT_NEAR(lim[2], cy - 12.0, 1e-4);
    EXPECT_NEAR(lim[3], cy + 12.0, 1e-4);
    float x, y, i, j;
    ASSERT_EQ(MAP_grid_tran(&x, &y, 0, 0), 1);
    EXPECT_FLOAT_EQ(x, lim[0]);
    EXPECT_FLOAT_EQ(y, lim[3]);
    ASSERT_EQ(MAP_grid_tran(&x, &y, 24, 16), 1);
    EXPECT_NEAR(x, lim[1], 1e-5);
    EXPECT_NEAR(y, lim[2], 1e-5);
    ASSERT_EQ(MAP_grid_untran(&i, &j, x, y), 1);
    EXPECT_NEAR(i, 24, 1e-5);
    EXPECT_NEAR(j, 16, 1e-5);
    EXPECT_EQ(MAP_grid_tran(&x, &y, kMiss, 3), -1);
    EXPECT_EQ(x, kMiss);
    EXPECT_EQ(MAP_grid_untran(&i, &j, kMiss, 3), -1);
    EXPECT_EQ(j, kMiss);
    MAP_tran_center(&x, &y);
    EXPECT_NEAR(y, cy, 1e-4);
    MAP_get_up_left(&x, &y);
    EXPECT_FLOAT_EQ(x, lim[0]);
    EXPECT_FLOAT_EQ(y, lim[3]);
    EXPECT_EQ(MAP_in_domain(0, static_cast<float>(cy)), 1);
    EXPECT_EQ(MAP_in_domain(25, static_cast<float>(cy)), 0);
    EXPECT_EQ(MAP_in_grid_domain(29.9f, static_cast<float>(cy)), 1); // within 3 dx
    EXPECT_EQ(MAP_in_grid_domain(30.1f, static_cast<float>(cy)), 0);
}

TEST_F(MapTranTest, NoDomainPassesThrough) {
    float x = 1, y = 2, lat = 3, lon = 4;
    EXPECT_EQ(MAP_tran(&x, &y, 45, -100), 1);
    EXPECT_EQ(x, 45.0f);
    EXPECT_EQ(y, -100.0f);
    EXPECT_EQ(MAP_untran(&lat, &lon, 10, 20), 1);
    EXPECT_EQ(lat, 3.0f);
    EXPECT_EQ(lon, 4.0f);
    EXPECT_EQ(MAP_in_domain(1e6f, 1e6f), 1);
    set(make(1, 60, -105));
    EXPECT_EQ(MAP_domain(nullptr), -1);
    EXPECT_EQ(MAP_get_proj(), -9999);
    EXPECT_EQ(MAP_tran(&x, &y, 45, -100), 1);
    EXPECT_EQ(x, 45.0f);
}

TEST_F(MapTranTest, ProjectionAndOriginCanBeReplaced) {
    set(make(1, 60, -105));
    MAP_proj(8);
    MAP_coord(40, -100);
    check("laea", 1e-4); // constants recomputed for the new projection
    MAP_proj(3);
    MAP_coord(0, 170);
    check("merc", 1e-4);
}

TEST_F(MapTranTest, ProjectionKeywordsAreTheDomainKeywords) {
    for (const char *text : {"lambert", "lambaz", "laz", "MISS", "missing", "", "xp"})
        EXPECT_EQ(MAP_proj_str(text), DOM_proj_str(text)) << text;
}

// --- Diagrams -----------------------------------------------------------------

TEST_F(MapTranTest, DiagramCoordinates) {
    DOMAIN d;
    d.proj = 20; // x: 10 .. 10+nx carrying 0..dx; y likewise
    d.clat = 10;
    d.clon = 5;
    d.nx = 100;
    d.ny = 50;
    d.dx = 20;
    d.dy = 10;
    set(d);
    float x, y, a, b;
    ASSERT_EQ(MAP_tran(&x, &y, 12, 6), 1);
    EXPECT_FLOAT_EQ(x, 10 + 2 * 5.0f);
    EXPECT_FLOAT_EQ(y, 5 + 1 * 5.0f);
    ASSERT_EQ(MAP_untran(&a, &b, x, y), 1);
    EXPECT_FLOAT_EQ(a, 12);
    EXPECT_FLOAT_EQ(b, 6);

    d.proj = 22; // log-pressure: corners (10, 1000) and (30, 100)
    d.clon = 1000;
    d.dy = -900;
    set(d);
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_FLOAT_EQ(lim[0], 10);
    EXPECT_FLOAT_EQ(lim[1], 30);
    EXPECT_NEAR(lim[2], -std::log(1000.0), 1e-5);
    EXPECT_NEAR(lim[3], -std::log(100.0), 1e-5);
    ASSERT_EQ(MAP_untran(&a, &b, 0, -std::log(500.0f)), 1);
    EXPECT_NEAR(b, 500, 1e-2);

    d.proj = 23; // polar: angle (degrees) and radius
    set(d);
    ASSERT_EQ(MAP_tran(&x, &y, 90, 2), 1);
    EXPECT_NEAR(x, 2, 1e-6);
    EXPECT_NEAR(y, 0, 1e-6);

    d.proj = 99; // pixels, y upward
    set(d);
    ASSERT_EQ(MAP_tran(&x, &y, 3, 4), 1);
    EXPECT_EQ(y, -4.0f);

    d.proj = 40; // skew-T: 45 degrees on a square view
    d.clat = -40;
    d.clon = 1050;
    d.dx = 80;
    d.dy = -950;
    const float view[4] = {0.1f, 0.9f, 0.1f, 0.9f};
    MAP_set_view(view);
    set(d);
    MAP_get_limits(lim);
    float x1, y1, x2, y2;
    MAP_tran(&x1, &y1, 0, 1000);
    MAP_tran(&x2, &y2, 0, 300); // an isotherm
    const double dxv = (x2 - x1) / (lim[1] - lim[0]), dyv = (y2 - y1) / (lim[3] - lim[2]);
    EXPECT_NEAR(dxv, dyv, 1e-5);
    ASSERT_EQ(MAP_untran(&a, &b, x2, y2), 1);
    EXPECT_NEAR(a, 0, 1e-4);
    EXPECT_NEAR(b, 300, 1e-2);

    // Potential temperature of 20 C at 850 hPa is 307.09 K.
    d.proj = 44;
    set(d);
    ASSERT_EQ(MAP_tran(&x, &y, 20, 850), 1);
    EXPECT_NEAR(std::exp(y), 307.09, 0.01);
    ASSERT_EQ(MAP_untran(&a, &b, x, y), 1);
    EXPECT_NEAR(b, 850, 1e-2);

    d.proj = 43; // tephigram: exact inverse once the view is known
    set(d);
    ASSERT_EQ(MAP_tran(&x, &y, 20, 850), 1);
    ASSERT_EQ(MAP_untran(&a, &b, x, y), 1);
    EXPECT_NEAR(a, 20, 1e-3);
    EXPECT_NEAR(b, 850, 0.05);

    for (int code : {0, 21, 50, 51, 150}) { // no transformation: outputs untouched
        d.proj = code;
        set(d);
        x = y = 7;
        EXPECT_EQ(MAP_tran(&x, &y, 1, 2), 1);
        EXPECT_EQ(MAP_untran(&x, &y, 1, 2), 1);
        EXPECT_EQ(x, 7.0f);
    }
}

// --- Direction, scale factor, declutter grid -----------------------------------

// MAP_dir_adj turns a direction from true north into one from the plot's y axis: it
// subtracts PROJ's meridian convergence. MAP_factor is PROJ's scale factor k.
TEST_F(MapTranTest, DirectionAndScaleFactorMatchProjInBothHemispheres) {
    std::ifstream f(std::string(XSAT_SOURCE_DIR) + "/tests/map/proj/convergence.txt");
    int rows = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string kind;
        int code;
        float lat0, lon0, lat, lon;
        double conv, k;
        if (!(in >> kind >> code >> lat0 >> lon0 >> lat >> lon >> conv >> k) || kind != "dir")
            continue;
        SCOPED_TRACE(line);
        ++rows;
        set(make(code, lat0, lon0));
        float x, y;
        ASSERT_EQ(MAP_tran(&x, &y, lat, lon), 1);
        for (float dir : {0.0f, 75.0f, -130.0f})
            EXPECT_NEAR(lon_diff(MAP_dir_adj(dir, x, y), dir - conv), 0.0, 1e-3) << dir;
        EXPECT_NEAR(MAP_factor(lat), k, 1e-5);
    }
    EXPECT_EQ(rows, 20);

    // At the pole of a polar stereographic map the reference meridian stands for north.
    set(make(1, 60, -105));
    EXPECT_FLOAT_EQ(MAP_dir_adj(30, 0, 0), 135);
    set(make(1, -60, 140));
    EXPECT_FLOAT_EQ(MAP_dir_adj(30, 0, 0), 170);
    // A Lambert conformal domain with a stored scale factor gives that factor.
    DOMAIN d = make(4, 40, -95);
    d.param[4] = 0.75f;
    set(d);
    EXPECT_FLOAT_EQ(MAP_factor(45), 0.75f);
    // Satellite view: a 1 km step along the direction, seen from the satellite.
    set(make(9, 0, -75));
    EXPECT_NEAR(MAP_dir_adj(0, 0, 0), 0, 1e-2);
    EXPECT_NEAR(MAP_dir_adj(90, 0, 0), 90, 1e-2);
    EXPECT_EQ(MAP_dir_adj(90, 100, 0), kMiss); // off the earth
    // Other projections: north is up, the scale is 1.
    set(make(3, 0, 0));
    EXPECT_EQ(MAP_dir_adj(42, 1, 1), 42.0f);
    EXPECT_EQ(MAP_factor(45), 1.0f);
}

TEST_F(MapTranTest, DeclutterGrid) {
    DOMAIN d = make(2, 0, 0);
    d.nx = 11;
    d.ny = 11;
    d.dx = d.dy = 1;
    set(d);                            // limits -5..5 in both directions
    EXPECT_EQ(MAP_plot_grid(0, 0), 1); // no grid: always
    MAP_set_plot_limit(1);
    ASSERT_EQ(MAP_plot_grid_init(), 1);
    EXPECT_EQ(MAP_plot_grid(0.2f, 0.2f), 1);
    EXPECT_EQ(MAP_plot_grid(0.1f, 0.1f), 0); // same cell
    EXPECT_EQ(MAP_plot_grid(1.2f, 0.2f), 1);
    EXPECT_EQ(MAP_plot_grid(6, 0), 0); // off the grid
    MAP_set_plot_limit(2);
    ASSERT_EQ(MAP_plot_grid_init(), 1);
    EXPECT_EQ(MAP_plot_grid(0.2f, 0.2f), 1);
    EXPECT_EQ(MAP_plot_grid(0.7f, 0.2f), 1); // half cells
    EXPECT_EQ(MAP_plot_grid(0.8f, 0.1f), 0);
    MAP_set_plot_limit(-3);
    ASSERT_EQ(MAP_plot_grid_init(), 1);
    EXPECT_EQ(MAP_plot_grid(-5, 5), 1);
    EXPECT_EQ(MAP_plot_grid(-3.1f, 3.1f), 0); // 3x3 cells
    EXPECT_EQ(MAP_plot_grid(-1.9f, 5), 1);
    MAP_set_plot_limit(-1);
    EXPECT_EQ(MAP_plot_grid(-5, 5), 1);
    EXPECT_EQ(MAP_plot_grid(-5, 5), 1);
    EXPECT_EQ(MAP_plot_grid(-6, 5), 0);
}

// --- Moving points between domains ----------------------------------------------

TEST_F(MapTranTest, DomainTransform) {
    const DOMAIN ps = make(1, 60, -105), ll = make(2, 0, 0), lc = make(4, 40, -95);
    set(lc);
    float x, y;
    // PS plot point (10, -20) is 68.6963833 N, 78.4349488 W (proj -I, kPsNorthInv).
    ASSERT_EQ(MAP_domain_tran(&ps, &ll, &x, &y, 10, -20), 0);
    EXPECT_NEAR(x, -78.4349488, 1e-3);
    EXPECT_NEAR(y, 68.6963833, 1e-3);
    EXPECT_EQ(MAP_get_proj(), 4); // current domain restored
    check("lcc_north", 1e-4);
    ASSERT_EQ(MAP_domain_tran(&ps, &ps, &x, &y, 1.5f, 2.5f), 0);
    EXPECT_EQ(x, 1.5f);
    EXPECT_EQ(y, 2.5f);
}

// --- Projections as values --------------------------------------------------

// Values of several domains used side by side give, bit for bit, what switching
// the current domain gives. They own their tables: a reset of the module (which
// drops its cache of Lambert tables) and later switches leave them working.
TEST_F(MapTranTest, ValuesSideBySideMatchTheCurrentDomain) {
    const DOMAIN doms[] = {make(4, 40, -95), make(4, -35, 135, 25, 45), make(1, -60, 140),
                           make(9, 0, -75, 421.61f, 1.0f, 1), make(7, 0, -100)};
    std::vector<MapProjection> values;
    for (const DOMAIN &d : doms)
        values.emplace_back(d);
    MAP_reset_state();
    int points = 0;
    for (float lat = -85; lat <= 85; lat += 17)
        for (float lon = -180; lon <= 180; lon += 24)
            for (size_t k = 0; k < values.size(); ++k) {
                SCOPED_TRACE(testing::Message() << "domain " << k << " at " << lat << " " << lon);
                float v[6], c[6];
                const int vr = values[k].tran(&v[0], &v[1], lat, lon);
                set(doms[k]);
                ASSERT_EQ(vr, MAP_tran(&c[0], &c[1], lat, lon));
                EXPECT_EQ(values[k].untran(&v[2], &v[3], v[0], v[1]),
                          MAP_untran(&c[2], &c[3], c[0], c[1]));
                values[k].grid_untran(&v[4], &v[5], v[0], v[1]);
                MAP_grid_untran(&c[4], &c[5], c[0], c[1]);
                for (int i = 0; i < 6; ++i)
                    EXPECT_EQ(v[i], c[i]) << i;
                points += vr;
            }
    EXPECT_GT(points, 150);
    float vl[4], cl[4];
    values[1].limits(vl);
    set(doms[1]);
    MAP_get_limits(cl);
    EXPECT_TRUE(std::equal(vl, vl + 4, cl));
    EXPECT_EQ(MAP_current().domain().param[2], 25.0f);
}

// --- Bad input ------------------------------------------------------------------

TEST_F(MapTranTest, NonFiniteAndHugeInputsAreMissing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float bad[] = {nan, inf, -inf, 1e30f, -1e30f, kMiss};
    const DOMAIN doms[] = {make(1, 60, -105), make(2, 0, 0),
                           make(3, 0, 170),   make(4, 40, -95),
                           make(5, 40, -100), make(6, 40, -100),
                           make(7, 0, -100),  make(8, 40, -100),
                           make(9, 0, -75),   make(9, 0, -75, 421.61f, 1.0f, 1)};
    for (const DOMAIN &d : doms) {
        set(d);
        for (float v : bad) {
            SCOPED_TRACE(testing::Message() << "proj " << d.proj << " value " << v);
            float x = 0, y = 0;
            EXPECT_EQ(MAP_tran(&x, &y, v, 10), 0);
            EXPECT_EQ(x, kMiss);
            EXPECT_EQ(MAP_tran(&x, &y, 10, v), 0);
            EXPECT_EQ(y, kMiss);
            EXPECT_EQ(MAP_untran(&x, &y, v, 1), 0);
            EXPECT_EQ(x, kMiss);
            EXPECT_EQ(MAP_untran(&x, &y, 1, v), 0);
            EXPECT_EQ(y, kMiss);
            EXPECT_EQ(MAP_dir_adj(v, 1, 1), kMiss);
            EXPECT_EQ(MAP_dir_adj(10, v, 1), kMiss);
        }
    }
}

TEST_F(MapTranTest, BrokenDomainsDoNotCrash) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int code = -2; code <= 100; ++code) {
        DOMAIN d = make(code, nan, 1e30f, 0.0f, nan);
        d.dx = (code % 2) ? 0.0f : 3e38f;
        d.dy = (code % 2) ? nan : -3e38f;
        d.nx = 2147483647;
        d.ny = -2147483647;
        set(d);
        float x, y, lim[4];
        MAP_tran(&x, &y, 10, 10);
        MAP_untran(&x, &y, 10, 10);
        MAP_grid_tran(&x, &y, 3, 4);
        MAP_grid_untran(&x, &y, 3, 4);
        MAP_get_limits(lim);
        MAP_factor(45);
        MAP_dir_adj(10, 1, 1);
        MAP_set_plot_limit(1000000);
        EXPECT_EQ(MAP_plot_grid_init(), 0);
        EXPECT_EQ(MAP_plot_grid(1, 1), 1);
    }
    DOMAIN d = make(2, 0, 0);
    d.nx = d.ny = 30000;
    set(d);
    MAP_set_plot_limit(1000);
    EXPECT_EQ(MAP_plot_grid_init(), 0); // 9e14 cells: refused, not allocated
    EXPECT_EQ(MAP_plot_grid(1, 1), 1);
}

} // namespace
