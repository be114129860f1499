// AREA navigation: date and angle helpers, GOES spin-scan and GVAR navigation
// against PROJ's geostationary projection, and the plot domains of the
// projection blocks against PROJ and published values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <tuple>

#include "area_test_util.h"
#include "base/resrc.h"
#include "map/region.h"

using namespace areatest;
namespace fx = area_fixture;

namespace {

constexpr double kRadPerDeg = 0.017453292519943295;
constexpr float kMiss = -9999.0f;

class AreaNav : public ::testing::Test {
  protected:
    void SetUp() override { reset_all(); }
    void TearDown() override {
        RES_put("grid_domain", nullptr);
        reset_all();
    }
};

fx::Image image_of(const char *type, std::vector<int32_t> nav, int lines, int elems, int ul_line,
                   int ul_elem, int line_res, int elem_res) {
    fx::Image im;
    im.lines = lines;
    im.elems = elems;
    im.ul_line = ul_line;
    im.ul_elem = ul_elem;
    im.line_res = line_res;
    im.elem_res = elem_res;
    im.nav_type = type;
    im.nav = std::move(nav);
    return im;
}

AREA read_fixture(const fx::Image &im) {
    AREA a;
    EXPECT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    return a;
}
// Reads a fixture and installs its navigation.
void install(const fx::Image &im) {
    const AREA a = read_fixture(im);
    AREA_init(&a);
}

// AREA_tran outputs (lat/lon or line/element) and its return code.
struct Pt {
    float a, b;
    int rc;
};
Pt to_earth(float line, float elem) {
    float lat = 0, lon = 0;
    const int rc = AREA_tran(1, &lat, &lon, &line, &elem);
    return {lat, lon, rc};
}
Pt to_image(float lat, float lon) {
    float line = 0, elem = 0;
    const int rc = AREA_tran(2, &lat, &lon, &line, &elem);
    return {line, elem, rc};
}
void expect_missing(const Pt &p, const char *what) {
    EXPECT_EQ(p.rc, -1) << what;
    EXPECT_EQ(p.a, kMiss) << what;
    EXPECT_EQ(p.b, kMiss) << what;
}

// A point of PROJ's geos plane (metres) and its longitude/latitude.
struct GeosPoint {
    double lon, lat, x, y;
};

// Both directions of the installed navigation against PROJ points; plane_to_pixel
// gives the line/element of a plane point.
template <class F>
void expect_geos_points(std::span<const GeosPoint> points, F plane_to_pixel, double tol_px,
                        double tol_deg) {
    for (const auto &p : points) {
        double wl = 0, we = 0;
        plane_to_pixel(p.x, p.y, &wl, &we);
        const Pt px = to_image(static_cast<float>(p.lat), static_cast<float>(p.lon));
        const Pt ll = to_earth(static_cast<float>(wl), static_cast<float>(we));
        SCOPED_TRACE(testing::Message() << p.lat << " " << p.lon);
        EXPECT_EQ(px.rc, 0);
        EXPECT_NEAR(px.a, wl, tol_px);
        EXPECT_NEAR(px.b, we, tol_px);
        EXPECT_EQ(ll.rc, 0);
        EXPECT_NEAR(ll.a, p.lat, tol_deg);
        EXPECT_NEAR(ll.b, p.lon, tol_deg);
    }
}

// Image -> earth -> image over an inner (n-1)^2 grid of a lines x elems scan:
// the points on the earth and the largest error in units of step.
std::pair<int, double> round_trip(double lines, double elems, int n, double step = 1) {
    int on_earth = 0;
    double worst = 0;
    for (int i = 1; i < n; ++i)
        for (int j = 1; j < n; ++j) {
            const float l = static_cast<float>(lines * i / n),
                        e = static_cast<float>(elems * j / n);
            const Pt ll = to_earth(l, e);
            if (ll.rc != 0)
                continue;
            ++on_earth;
            const Pt back = to_image(ll.a, ll.b);
            EXPECT_EQ(back.rc, 0) << l << " " << e;
            worst = std::max({worst, std::fabs(double{back.a} - l) / step,
                              std::fabs(double{back.b} - e) / step});
        }
    return {on_earth, worst};
}

// Geostationary spin-scan satellite: circular equatorial orbit of 42165.41 km
// (the orbit model's synchronous radius), spin axis at the pole, node placed so
// the sub-satellite longitude at the picture time is -74.999852196 (node 183.95
// deg minus the earth's turn since 1990-001 17:15:37). 20 degrees over 18213
// lines (or 8 sensors x 1821: word 17 = 800000 + 1821) and 15229 elements.
fx::Goes geostationary(int sensors = 1) {
    fx::Goes g;
    g.epoch_time = 173000;
    g.semi_maj_km = 42165.41;
    g.asc_node_deg = 183.95;
    if (sensors == 8) {
        g.sensors = 8;
        g.num_lines = 1821;
        g.center_line = 7284;
    }
    return g;
}
constexpr double kSubLon = -74.999852196;

fx::Image goes_image(const fx::Goes &g) {
    return image_of("GOES", fx::goes_block(g), 500, 800, 7001, 4001, 4, 4);
}

// Line/element of a PROJ geos (sweep y, h = 35787022 m) plane point in metres.
auto spin_line_elem(const fx::Goes &g) {
    return [g](double x, double y, double *line, double *elem) {
        const double h = 35787022.0, lines = g.num_lines * std::max(1, g.sensors);
        *line = g.center_line - (y / h) / (g.deg_line * kRadPerDeg / (lines - 1));
        *elem = (g.num_elem + 1) / 2.0 + (x / h) / (g.deg_elem * kRadPerDeg / (g.num_elem - 1));
    };
}

// echo "lon lat" | proj -f %.4f +proj=geos +sweep=y +h=35787022 +a=6378388
//     +b=6356912 +lon_0=-74.999852196
const GeosPoint kSpinPoints[] = {
    {-75, 0, -16.4541, 0.0000},
    {-90, 30, -1389850.5159, 3071145.7870},
    {-50, -40, 1959335.6719, -3847268.0948},
    {-75, 55, -8.7928, 4806025.1846},
    {-130, 10, -4747639.7950, 1011838.8643},
    {-20, -60, 2320672.3925, -4840795.0665},
    {-100, 70, -823416.3519, 5278010.3140},
    {-60.5, 20.25, 1474058.5960, 2154139.2870},
};

// Imager line/element of a PROJ geos (sweep x, h = 35785977 m) plane point, for
// the published imager constants (2.8e-5 rad per line, 1.6e-5 per pixel, line
// offset 4.5) and bounds from the nadir cycles and increments (8e-6 and 1.6e-5
// rad per increment, 6136 increments per cycle).
void imager_line_elem(double x, double y, double *line, double *elem) {
    constexpr double h = 35785977.0;
    *line = ((4 * 6136 + 3487) * 8e-6 - y / h) / 2.8e-5 + 4.5;
    *elem = (x / h + (2 * 6136 + 3068) * 1.6e-5) / 1.6e-5 + 1;
}
const float kImagerNadirLine = static_cast<float>((4 * 6136 + 3487) * 8e-6 / 2.8e-5 + 4.5);

// echo "lon lat" | proj -f %.4f +proj=geos +sweep=x +h=35785977 +a=6378388
//     +b=6357003.458 +lon_0=-75       (b = a / sqrt(1.0067391845079678))
const GeosPoint kGvarPoints[] = {
    {-75, 0, 0.0, 0.0},
    {-80, 25, -494228.4719, 2629091.4256},
    {-90, 30, -1384712.6757, 3073524.7777},
    {-50, -40, 1948006.5704, -3853074.5717},
    {-75, 55, 0.0, 4806100.2741},
    {-130, 10, -4745710.2971, 1020830.8665},
    {-20, -60, 2299412.9921, -4850932.2626},
    {-100, 70, -814457.1068, 5279449.4097},
};

// Pixels of the GOES-8 water-vapour sample; lat/lon from
// proj -I -f %.6f +proj=geos +sweep=x +h=35785977 +a=6378388 +b=6357003.458 +lon_0=-75
// of the pixel's scan and elevation angles times h.
struct GvarPixel {
    float line, elem;
    double lat, lon;
};
const GvarPixel kGvarPixels[] = {
    {5396, 14480, 24.931574, -79.984126}, {3797, 10881, 46.405029, -114.282004},
    {3797, 18077, 45.233226, -53.134357}, {6989, 10881, 9.496413, -99.466270},
    {6989, 18077, 9.400457, -60.452323},  {5000, 15341, 29.214918, -75.000000},
};

// The sample's geometry: 400 x 1800 two-byte pixels from (3797, 10881), 8 x 4.
fx::Image gvar_image(const fx::Gvar &g) {
    fx::Image im = image_of("GVAR", fx::gvar_block(g), 400, 1800, 3797, 10881, 8, 4);
    im.bytes_per_elem = 2;
    return im;
}

fx::Gvar imc_on() {
    fx::Gvar g;
    g.imc = true;
    return g;
}

// The sample pixels both ways (only to the earth when lon_shift moves the view).
void expect_gvar_pixels(double tol_deg, double tol_px, double lon_shift = 0) {
    for (const auto &p : kGvarPixels) {
        SCOPED_TRACE(testing::Message() << p.line << " " << p.elem);
        const Pt ll = to_earth(p.line, p.elem);
        EXPECT_EQ(ll.rc, 0);
        EXPECT_NEAR(ll.a, p.lat, tol_deg);
        EXPECT_NEAR(ll.b, p.lon + lon_shift, tol_deg);
        if (lon_shift != 0)
            continue;
        const Pt px = to_image(static_cast<float>(p.lat), static_cast<float>(p.lon));
        EXPECT_EQ(px.rc, 0);
        EXPECT_NEAR(px.a, p.line, tol_px);
        EXPECT_NEAR(px.b, p.elem, tol_px);
    }
}

fx::Image proj_image(const char *type, std::vector<int32_t> nav, int lines, int elems,
                     int ul_line = 1, int ul_elem = 1, int res = 1) {
    return image_of(type, std::move(nav), lines, elems, ul_line, ul_elem, res, res);
}

fx::Image ps_image() {
    return proj_image("PS", fx::ps_block(-1530, 830, 60, 2381, 105, 6378388), 10, 10);
}

// The plot domain of a record, with the messages printed on the way and whether
// the image is to be placed through it rather than through the navigation.
DOMAIN domain_of(AREA a, std::string *messages = nullptr, bool *own_domain = nullptr) {
    MessageCapture cap;
    AREA_init(&a);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    bool own = false;
    AREA_calc_domain(&img, &a, &own);
    if (messages)
        *messages = cap.text();
    if (own_domain)
        *own_domain = own;
    return img.domain;
}
DOMAIN domain_of(const fx::Image &im, std::string *messages = nullptr, bool *own_domain = nullptr) {
    return domain_of(read_fixture(im), messages, own_domain);
}

} // namespace

// --- Date and angle helpers ---

TEST(SatNavHelpers, DatesAndTimes) {
    using namespace satnav;
    // Year 0 is 2000 (a leap year); 4 and 104 both mean 2004; 90001 .. 98260 is
    // 1990-01-01 .. 1998-09-17.
    const int days[][3] = {{99365, 100001, 1},  {100001, 99365, -1}, {99365, 1, 1},
                           {0, 1000, 366},      {4001, 104001, 0},   {99001, 100001, 365},
                           {90001, 98260, 3181}};
    for (const auto &d : days)
        EXPECT_EQ(numdy(d[0], d[1]), d[2]) << d[0] << " " << d[1];
    for (auto [yy, n] : {std::pair{0, 366}, {99, 365}, {96, 366}, {1, 365}})
        EXPECT_EQ(numyr(yy), n) << yy;
    EXPECT_DOUBLE_EQ(timdif(98260, 98261, 23.5, 0.5), 60.0);
    const int md[][2] = {{980917, 98260}, {960301, 96061}, {970301, 97060},
                         {41231, 4366},   {1231, 366},     {990101, 99001}};
    for (const auto [yymmdd, yyddd] : md) {
        EXPECT_EQ(mdcon(1, yymmdd), yyddd) << yymmdd;
        EXPECT_EQ(mdcon(2, yyddd), yymmdd) << yyddd;
    }
    EXPECT_EQ(mdcon(2, 97366), 971231) << "a day beyond the year is clamped";
    EXPECT_EQ(mdcon(1, 981517), mdcon(1, 981217)) << "month capped at 12";
    // Minutes since 1950-01-01 00:00 (Python datetime differences).
    EXPECT_DOUBLE_EQ(time50(0x19500010, 0x00000000), 0.0);
    EXPECT_DOUBLE_EQ(time50(0x19982601, 0x00000000), 25619640.0);
    EXPECT_NEAR(time50(0x20040602, 0x35959999), 28487519.999983, 1e-5);
    EXPECT_NEAR(satnav::timex(1998, 260, 7, 45, 14.372), 25619505.239533, 1e-5);
}

TEST(SatNavHelpers, PackedAnglesAndRounding) {
    using namespace satnav;
    EXPECT_NEAR(int2deg(-1234530), -(123 + 45 / 60.0 + 30 / 3600.0), 1e-12);
    EXPECT_EQ(deg2int(int2deg(-1234530)), -1234530);
    EXPECT_NEAR(int2deg(173000), 17.5, 1e-12);
    EXPECT_EQ(deg2int(17.5), 173000);
    EXPECT_EQ(deg2int(10.0 + 59 / 60.0 + 59.9999 / 3600.0), 110000);
    for (auto [x, n] : {std::pair{-2.5, -3}, {2.5, 3}, {0.0, 0}, {-0.4, 0}})
        EXPECT_EQ(rnd(x), n) << x;
    // Geocentric latitude of the 6378.388 / 6356.912 km ellipsoid.
    const double ratio = std::pow(6356.912 / 6378.388, 2);
    for (double lat : {-80.0, -30.0, 0.0, 45.0, 89.0}) {
        const double gc = std::atan(std::tan(lat * kRadPerDeg) * ratio) / kRadPerDeg;
        EXPECT_NEAR(geolat(1, lat), gc, 1e-7) << lat;
        EXPECT_NEAR(geolat(2, gc), lat, 1e-9) << lat;
    }
    const double xyz[3] = {1, 1, std::sqrt(2.0)};
    double la = 0, lo = 0, r = 0;
    sphere_cvt(xyz, &la, &lo, &r);
    EXPECT_NEAR(la, 45, 1e-12);
    EXPECT_NEAR(lo, 45, 1e-12);
    EXPECT_NEAR(r, 2, 1e-12);
}

TEST_F(AreaNav, LineElementMapping) {
    AREA_set_res(1, 1, 2, 2);
    float line = 0, elem = 0, y = 1, x = 1;
    AREA_line_elem(1, &line, &elem, &y, &x);
    EXPECT_EQ(std::pair(line, elem), std::pair(2.0f, 2.0f));
    AREA_line_elem(2, &line, &elem, &line, &elem); // the inverse, in place
    EXPECT_EQ(std::pair(line, elem), std::pair(1.5f, 1.5f));
    fx::Image im = gvar_image(fx::Gvar{});
    im.nav_type = "MERC";
    im.nav.assign(128, 0);
    install(im);
    x = 900;
    y = 200;
    AREA_line_elem(1, &line, &elem, &y, &x);
    EXPECT_EQ(std::pair(line, elem), std::pair(5396.0f, 14480.0f));
    EXPECT_EQ(AREA_get_image_type(), AREA_NAV_NONE);
    float lat = 1, lon = 2, l = 3, e = 4;
    EXPECT_EQ(AREA_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_EQ(lat, 1) << "no satellite navigation: nothing changes";
}

// --- GOES spin-scan ---

TEST_F(AreaNav, SpinScanMatchesTheGeostationaryView) {
    for (int sensors : {1, 8}) {
        SCOPED_TRACE(sensors);
        const fx::Goes g = geostationary(sensors);
        install(goes_image(g));
        ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GOES);
        expect_geos_points(kSpinPoints, spin_line_elem(g), 0.01, 2e-4);
    }
}

TEST_F(AreaNav, SpinScanSubSatellitePointLimbAndHiddenPoints) {
    install(goes_image(geostationary()));
    float lat = 1, lon = 1, line = 0, elem = 0;
    EXPECT_EQ(AREA_tran(3, &lat, &lon, &line, &elem), 0);
    EXPECT_NEAR(lat, 0, 1e-6);
    EXPECT_NEAR(lon, kSubLon, 1e-4);
    double pos[3];
    ASSERT_EQ(AREA_pos(98260, 17.5, 0, pos), 0);
    EXPECT_NEAR(std::hypot(pos[0], pos[1]), 42165.41, 1e-6);
    EXPECT_NEAR(std::atan2(pos[1], pos[0]) / kRadPerDeg, kSubLon, 1e-6);
    // Space beyond the limb in every corner of the scan; the far side of the earth
    // is hidden; a missing point stays missing.
    for (auto [l, e] : {std::pair{1.f, 1.f}, {1.f, 15229.f}, {18213.f, 1.f}, {9107.f, 200.f}})
        expect_missing(to_earth(l, e), "limb");
    for (auto [la, lo] : {std::pair{0.f, 105.f}, {kMiss, kMiss}, {91.f, -75.f}})
        expect_missing(to_image(la, lo), "hidden");
    // A visible point outside a narrow (+-3 degree) scan is missing but not an error.
    fx::Goes narrow = geostationary();
    narrow.deg_elem = 6;
    install(goes_image(narrow));
    const Pt p = to_image(10, -130);
    EXPECT_EQ(p.rc, 0);
    EXPECT_EQ(p.a, kMiss);
    EXPECT_EQ(p.b, kMiss);
}

TEST_F(AreaNav, SpinScanRoundTripsAcrossTheDisc) {
    // Eccentric inclined orbit, tilted spin axis, attitude angles, gamma offset.
    for (int sensors : {1, 8}) {
        fx::Goes g = geostationary(sensors);
        std::tie(g.eccent, g.inclin_deg, g.perigee_deg, g.asc_node_deg, g.anomaly_deg) =
            std::tuple{0.0004, 0.7, 40.0, 143.95, 12.5};
        std::tie(g.declin_deg, g.right_asc_deg) = std::tuple{89.9, 120.0};
        std::tie(g.pitch_deg, g.yaw_deg, g.roll_deg, g.gamma) = std::tuple{0.05, -0.03, 0.02, 3.5};
        install(goes_image(g));
        const auto [on_earth, worst] = round_trip(sensors == 1 ? 18213 : 14568, 15229, 40);
        EXPECT_GT(on_earth, 600);
        EXPECT_LT(worst, 0.05) << "largest round-trip error in pixels, sensors " << sensors;
    }
}

// --- GVAR ---

TEST_F(AreaNav, GvarMatchesTheGeostationaryView) {
    install(gvar_image(fx::Gvar{}));
    ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GVAR);
    expect_geos_points(kGvarPoints, imager_line_elem, 0.02, 1e-4);
    expect_gvar_pixels(1e-4, 0.02);
}

TEST_F(AreaNav, GvarRealFileNavigation) {
    XSAT_REQUIRE_SHARED(path, "data/area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    AREA a;
    ASSERT_EQ(read_path(path, &a), 0);
    AREA_init(&a);
    ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GVAR);
    // The block's reference longitude is -1.3089962 rad (-74.99996 deg).
    expect_gvar_pixels(1e-4, 0.05);
    // The comment cards say the image was cut around 25 N, 80 W.
    float y = 200, x = 900, line = 0, elem = 0;
    AREA_line_elem(1, &line, &elem, &y, &x);
    const Pt c = to_earth(line, elem);
    EXPECT_NEAR(c.a, 25, 0.2);
    EXPECT_NEAR(c.b, -80, 0.2);
    float slat = 9, slon = 9, wl = 0, we = 0;
    EXPECT_EQ(AREA_tran(3, &slat, &slon, &wl, &we), 0);
    EXPECT_NEAR(slat, 0, 1e-9);
    EXPECT_NEAR(slon, -1.3089962 / kRadPerDeg, 1e-4);
}

// The image's own domain places every pixel of the sample where the navigation puts it
// (within a pixel): map overlays and exact remaps go through the domain, not the navigation.
TEST_F(AreaNav, GvarDomainFollowsTheNavigationOnTheSample) {
    XSAT_REQUIRE_SHARED(path, "data/area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    AREA a;
    ASSERT_EQ(read_path(path, &a), 0);
    IMAGE im;
    SAT_fill_AREA_image(&im, &a);
    AREA_init(&a);
    AREA_calc_domain(&im, &a);
    MAP_domain(&im.domain);
    double worst = 0;
    for (int j = 0; j < 400; j += 57)
        for (int i = 0; i < 1800; i += 257) {
            // Pixel (i, j) from 0 is pixel (i + 1, j + 1) of the navigation.
            float y = float(j + 1), x = float(i + 1), line = 0, elem = 0;
            AREA_line_elem(1, &line, &elem, &y, &x);
            const Pt p = to_earth(line, elem);
            float px = 0, py = 0, gi = 0, gj = 0;
            ASSERT_EQ(MAP_tran(&px, &py, float(p.a), float(p.b)), 1);
            MAP_grid_untran(&gi, &gj, px, py);
            worst = std::max({worst, std::fabs(double(gi) - i), std::fabs(double(gj) - j)});
        }
    EXPECT_LT(worst, 1.0);
}

TEST_F(AreaNav, GvarPublishedInstrumentConstants) {
    // Nadir line/element. Imager: default bounds 0.220896 (elevation) and 0.24544
    // (scan), or from cycles and increments. Sounder: default bounds 0.2208938 and
    // 0.2454375, or ((9 - ns_cycles) * 2805 - ns_incr) * 1.75e-5 and (ew_cycles *
    // 2805 + ew_incr) * 3.5e-5; 2.8e-4 rad per detector step, line offset 2.5, ten
    // AREA coordinates per step.
    struct Row {
        int instrument, ns_cycles, ns_incr, ew_cycles, ew_incr;
        double line, elem, tol;
    } rows[] = {
        {1, 0, 0, 0, 0, 0.220896 / 2.8e-5 + 4.5, 0.24544 / 1.6e-5 + 1, 0.01},
        {1, 4, 3487, 2, 3068, kImagerNadirLine, (2 * 6136 + 3068) * 1.6e-5 / 1.6e-5 + 1, 0.01},
        {2, 0, 0, 0, 0, 10 * (0.2208938 / 0.00028 + 2.5) - 9, 10 * (0.2454375 / 0.00028 + 1) - 9,
         0.05},
        {2, 4, 1000, 2, 500, 10 * ((5 * 2805 - 1000) * 1.75e-5 / 0.00028 + 2.5) - 9,
         10 * ((2 * 2805 + 500) * 3.5e-5 / 0.00028 + 1) - 9, 0.05},
    };
    fx::Gvar g;
    for (const auto &r : rows) {
        g.instrument = r.instrument;
        std::tie(g.ns_cycles, g.ns_incr, g.ew_cycles, g.ew_incr) =
            std::tuple{r.ns_cycles, r.ns_incr, r.ew_cycles, r.ew_incr};
        install(gvar_image(g));
        const Pt p = to_image(0, -75);
        EXPECT_NEAR(p.a, r.line, r.tol) << r.instrument << " " << r.ns_cycles;
        EXPECT_NEAR(p.b, r.elem, r.tol) << r.instrument << " " << r.ns_cycles;
    }
    // Element 11 is detector element 2 and maps back to 11 (a narrow scan bound,
    // 2806 * 3.5e-5 rad, brings the first detector elements onto the earth);
    // elements 2 to 10 lie between detector elements 1 and 2.
    g.ew_cycles = g.ew_incr = 1;
    install(gvar_image(g));
    const auto nadir = static_cast<float>(rows[3].line);
    const Pt ll = to_earth(nadir, 11);
    ASSERT_EQ(ll.rc, 0);
    const Pt back = to_image(ll.a, ll.b);
    EXPECT_NEAR(back.a, nadir, 0.01);
    EXPECT_NEAR(back.b, 11, 0.01);
    const Pt first = to_earth(nadir, 1), mid = to_earth(nadir, 6);
    EXPECT_LT(first.b, mid.b);
    EXPECT_LT(mid.b, ll.b);
}

TEST_F(AreaNav, GvarLimbAndHiddenPoints) {
    install(gvar_image(fx::Gvar{}));
    // A line of sight grazing the equator: tangent point at acos(1/r) from the
    // sub-satellite longitude, r = 42164.365 / 6378.388 earth radii.
    const double r = 42164.365 / 6378.388;
    double lat = 0, lon = 0;
    EXPECT_EQ(gvar::lpoint(GVAR_nav(), 0, std::asin(1 / r), &lat, &lon), 0);
    EXPECT_NEAR(lat, 0, 1e-6);
    EXPECT_NEAR(lon / kRadPerDeg, -75 + std::acos(1 / r) / kRadPerDeg, 1e-3);
    EXPECT_EQ(gvar::lpoint(GVAR_nav(), 0, std::asin(1 / r) + 1e-4, &lat, &lon), 1);
    EXPECT_EQ(lat, -9999.0);
    expect_missing(to_earth(1, 1), "corner");
    expect_missing(to_image(0, 105), "far side");
    expect_missing(to_image(91, 0), "bad latitude");
}

// Many points at once (eight to a vector where the processor allows) give what the
// points give one by one: over the whole globe, hidden points, bad latitudes and missing.
TEST_F(AreaNav, GvarManyPointsAtOnceAgreeWithOneByOne) {
    fx::Gvar g = imc_on();
    g.lon_terms[0] = 0.01;
    install(gvar_image(g));
    std::vector<float> lat, lon;
    for (float a = -95; a <= 95; a += 0.37f)
        for (float b = -180; b <= 180; b += 1.13f)
            lat.push_back(a), lon.push_back(b);
    lat.insert(lat.end(), {-9999.0f, NAN, 10, 20});
    lon.insert(lon.end(), {-75, -75, NAN, -75});
    std::vector<float> line(lat.size()), elem(lat.size());
    const AREA_NAVIGATION &nav = AREA_navigation();
    nav.to_image_n(lat.size(), lat.data(), lon.data(), line.data(), elem.data());
    int shown = 0;
    for (size_t k = 0; k < lat.size(); ++k) {
        float la = lat[k], lo = lon[k], l1 = -9999, e1 = -9999;
        if (nav.tran(2, &la, &lo, &l1, &e1) != 0)
            l1 = e1 = -9999;
        shown += l1 != -9999;
        EXPECT_FLOAT_EQ(line[k], l1) << lat[k] << " " << lon[k];
        EXPECT_FLOAT_EQ(elem[k], e1) << lat[k] << " " << lon[k];
    }
    EXPECT_GT(shown, 10000);
    EXPECT_LT(shown, int(lat.size()) / 2);
}

TEST_F(AreaNav, GvarImcOrbitTerms) {
    // IMC on with every term zero is the reference navigation.
    fx::Gvar g = imc_on();
    install(gvar_image(g));
    expect_gvar_pixels(1e-4, 0.02);
    // A longitude term moves the whole view east by it, but only with IMC on.
    g.lon_terms[0] = 0.01;
    install(gvar_image(g));
    expect_gvar_pixels(1e-4, 0, 0.01 / kRadPerDeg);
    g.imc = false;
    install(gvar_image(g));
    expect_gvar_pixels(1e-4, 0.02);
    // A radial term of 100 km: the view from h + 100 km
    // (echo "-494365.2192 2629939.7104" | proj -I ... +h=35885977 ...).
    g = imc_on();
    g.rad_terms[0] = 100;
    install(gvar_image(g));
    const Pt ll = to_earth(5396, 14480);
    EXPECT_NEAR(ll.a, 25.007375, 1e-4);
    EXPECT_NEAR(ll.b, -80.001430, 1e-4);
}

TEST_F(AreaNav, GvarAttitudeRecords) {
    // A roll of ten lines' elevation (10 * 2.8e-5 rad) makes line L see what line
    // L - 10 sees without it; a pitch of ten pixels' scan angle on the nadir row
    // makes element E see what E + 10 sees.
    const double roll = 10 * 2.8e-5;
    install(gvar_image(fx::Gvar{}));
    const Pt ref_roll = to_earth(5386, 14480), ref_pitch = to_earth(kImagerNadirLine, 14490);
    // The roll as a mean angle, an IMC correction, sinusoids and a monomial (with a
    // solar rate of 0 every cosine argument is its phase), and an exponential.
    const double t = 25619505.239533 - 25619640.0; // image minus epoch, minutes
    fx::Gvar mean = imc_on(), imc = imc_on(), sines = imc_on(), mono = imc_on(), expo = imc_on();
    mean.att[gvar::kRoll].mean = roll;
    imc.imc_roll = roll;
    sines.att[gvar::kRoll].sinusoids = {{roll / 2, 0}, {roll, 1.0471976}};
    mono.att[gvar::kRoll].monomials = {{3, 2, roll / 4, 0, -2}};
    expo.exp_offset_min = -200;
    expo.att[gvar::kRoll].exp_tc_min = 100;
    expo.att[gvar::kRoll].exp_mag = roll / std::exp(-(t + 200) / 100);
    for (const auto &[what, gc] : {std::pair{"mean", mean},
                                   {"IMC correction", imc},
                                   {"sinusoids", sines},
                                   {"monomial", mono},
                                   {"exponential", expo}}) {
        install(gvar_image(gc));
        const Pt ll = to_earth(5396, 14480);
        EXPECT_NEAR(ll.a, ref_roll.a, 3e-4) << what;
        EXPECT_NEAR(ll.b, ref_roll.b, 3e-4) << what;
    }
    fx::Gvar g = imc_on();
    g.att[gvar::kPitch].mean = 10 * 1.6e-5;
    install(gvar_image(g));
    const Pt ll = to_earth(kImagerNadirLine, 14480);
    EXPECT_NEAR(ll.a, ref_pitch.a, 1e-4);
    EXPECT_NEAR(ll.b, ref_pitch.b, 1e-4);
    g.imc = false; // attitude records are not used with IMC off
    install(gvar_image(g));
    EXPECT_NEAR(to_earth(kImagerNadirLine, 14490).b, ref_pitch.b, 1e-5);
}

TEST_F(AreaNav, GvarRoundTripsWithMisalignmentAndOrbitTerms) {
    fx::Gvar g = imc_on();
    g.lon_terms[1] = 1e-6;
    g.lon_terms[3] = 2e-4;
    g.rad_terms[1] = 3;
    g.lat_terms[0] = 5e-4;
    g.lat_terms[2] = -2e-4;
    g.yaw_terms[0] = 3e-4;
    g.solar_rate = 0.0043;
    g.att[gvar::kRoll].mean = 1e-4;
    g.att[gvar::kPitch].sinusoids = {{1e-4, 0.3}, {5e-5, 1.2}};
    g.att[gvar::kYaw].mean = 2e-4;
    g.att[gvar::kRollMis].mean = 3e-4;
    g.att[gvar::kPitchMis].mean = -2e-4;
    for (int instrument : {1, 2}) {
        g.instrument = instrument;
        install(gvar_image(g));
        // The full scans: 15800 x 30680 imager, 15780 x 17530 sounder coordinates.
        const auto [on_earth, worst] =
            round_trip(15800, instrument == 1 ? 30680 : 17530, 30, instrument == 2 ? 10 : 1);
        EXPECT_GT(on_earth, 250);
        EXPECT_LT(worst, 0.05) << "instrument " << instrument;
    }
}

TEST_F(AreaNav, DamagedGvarBlockStaysFinite) {
    // Counts far beyond the record's room must not reach outside the block.
    fx::Image im = gvar_image(imc_on());
    im.nav[62 + 3] = 1000000;      // sinusoids
    im.nav[62 + 34] = -50;         // monomials
    im.nav[129 + 34] = 999999;     // monomials
    im.nav[129 + 36] = 2000000000; // monomial order
    install(im);
    const Pt ll = to_earth(5396, 14480);
    EXPECT_TRUE(ll.rc == 0 ? std::isfinite(ll.a) && std::isfinite(ll.b) : ll.a == kMiss);
}

// Every block word, and the corner and resolution words, at either end of their range
// (what fuzzing the reader turned up): domains and transformations of every type stay
// defined (the sanitizer build stops at the first signed overflow).
TEST_F(AreaNav, ExtremeWordsStayDefined) {
    for (const char *type : {"GOES", "GVAR", "PS", "MERC", "LAMB", "TANC", "RECT", "MOLL", "MSAT"})
        for (const int32_t v : {INT32_MIN, INT32_MAX, INT32_MAX - 1}) {
            SCOPED_TRACE(testing::Message() << type << " " << v);
            const fx::Image im =
                image_of(type, std::vector<int32_t>(fx::nav_words(type), v), 3, 5, v, v, v, v);
            const DOMAIN d = domain_of(im);
            EXPECT_EQ(d.nx, 5);
            for (float line : {0.0f, 1e9f}) {
                const Pt ll = to_earth(line, line);
                EXPECT_TRUE(ll.rc == 0 || ll.a == kMiss);
                to_image(40, -100);
            }
        }
}

// --- Plot domains ---

TEST_F(AreaNav, RealPolarStereographicDomain) {
    XSAT_REQUIRE_SHARED(path, "data/area/pngarea.decoded.area");
    AREA a;
    ASSERT_EQ(read_path(path, &a), 0);
    bool own = false;
    const DOMAIN d = domain_of(a, nullptr, &own);
    EXPECT_EQ(std::tuple(d.proj, d.nx, d.ny, own), std::tuple(1, 640, 350, true));
    // Standard latitude 60; NRMLON 1050000 is 105 W.
    EXPECT_EQ(std::tuple(d.param[0], d.param[1], d.param[2]), std::tuple(60.0f, -105.0f, 60.0f));
    // Centre (element 1120, line 880; pole at 830, -1530; 2381 m per pixel):
    // echo "690490 -5738210" | proj -I -f %.6f +proj=stere +lat_0=90 +lat_ts=60
    //     +lon_0=-105 +R=6378388
    EXPECT_NEAR(d.clat, 38.198517, 2e-3);
    EXPECT_NEAR(d.clon, -98.138478, 2e-3);
    // Comment card: LATLON=38:16:44 98:11:51 (nearest full-resolution pixel).
    EXPECT_NEAR(d.clat, 38 + 16 / 60.0 + 44 / 3600.0, 0.15);
    EXPECT_NEAR(d.clon, -(98 + 11 / 60.0 + 51 / 3600.0), 0.15);
    const double s = 2381 * 63.71 / 6378388;
    EXPECT_NEAR(d.dx, 4 * s, 1e-6);
    EXPECT_NEAR(d.dy, 5 * s, 1e-6);
}

TEST_F(AreaNav, ProjectionBlockDomainsMatchProj) {
    struct Row {
        const char *what;
        fx::Image image;
        int proj;
        double clat, clon, step; // step in plot units (100 km), across and down
    };
    const Row rows[] = {
        // echo "800000 2800000" | proj -I -f %.6f +proj=merc +lon_0=-100 +R=6378388
        {"MERC",
         proj_image("MERC", fx::merc_block(2000, 500, 4000, 100, 6378388), 300, 400, 1001, 301, 2),
         3, 24.380885, -92.813761, 2 * 4000 * 63.713 / 6378388},
        // echo "-1400000 -12800000" | proj -I -f %.6f +proj=lcc +lat_1=25 +lat_2=25
        //     +lat_0=90 +lon_0=-95 +R=6378388
        {"LAMB tangent",
         proj_image("LAMB", fx::lamb_block(-3000, 600, 25, 25, 4000, 95, 6378388, 25), 400, 500), 4,
         32.186457, -109.769628, 4000 * 63.713 / 6378388},
        // echo "-2000000 -6500000" | proj -I -f %.6f +proj=lcc +lat_1=30 +lat_2=60
        //     +lat_0=90 +lon_0=-100 +R=6378388
        {"LAMB secant",
         proj_image("LAMB", fx::lamb_block(-1000, 700, 30, 60, 5000, 100, 6378388, 45), 300, 300, 1,
                    1, 2),
         4, 38.378902, -123.900952, 2 * 5000 * 63.713 / 6378388},
        // echo "-1401000 -6002000" | proj -I -f %.6f +proj=lcc +lat_1=40 +lat_2=40
        //     +lat_0=90 +lon_0=-95 +R=6371220
        {"TANC", proj_image("TANC", fx::tanc_block(-1300.5, 600.25, 4.0, 40, 95), 400, 500), 4,
         52.743946, -115.440423, 0.04},
        // Plot units of the Mollweide plane are the standard plane over sqrt(2):
        // echo "5699352.6 -5260940.6" | proj -I -f %.6f +proj=moll +lon_0=-30 +R=6371220
        {"MOLL", proj_image("MOLL", fx::moll_block(500, 1000, 100, 30), 200, 300, 1001, 1501), 7,
         -44.322512, 40.121764, 0.062},
        // Steps of 0.1 degree, line 1 on the equator, element 1 at 130 W: the centre
        // pixel (line 100, element 150) is at 9.9 S, 115.1 W.
        {"RECT", proj_image("RECT", fx::rect_block(1, 0, 1, 130, 0.1, 0.1), 200, 300), 2, -9.9,
         -115.1, 0.1},
        // x = (1250.5 - (600 * 0.5 * 2 + 1000) * 0.5) * 0.0529848 plot units of scan
        // angle times 421.64, y = 500 * 0.0529848:
        // echo "2025889.6540 2248490.1739" | proj -I -f %.6f +proj=geos +sweep=y
        //     +h=35785863 +a=6378137 +b=6356752 +lon_0=-10
        {"MSAT", proj_image("MSAT", fx::msat_block(0, 0, 1250, 10), 500, 600, 1001, 1001, 2), 9,
         21.335000, 10.421085, 2 * 0.0264924},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        bool own = false;
        const DOMAIN d = domain_of(r.image, nullptr, &own);
        EXPECT_EQ(std::tuple(d.proj, d.nx, d.ny, own),
                  std::tuple(r.proj, r.image.elems, r.image.lines, true));
        EXPECT_NEAR(d.clat, r.clat, 2e-3);
        EXPECT_NEAR(d.clon, r.clon, 2e-3);
        EXPECT_NEAR(d.dx, r.step, 1e-6);
        EXPECT_NEAR(d.dy, r.step, 1e-6);
        if (r.proj == 2) {
            EXPECT_NEAR(d.param[1], -115.1, 1e-4);
        }
        if (r.proj == 9) {
            EXPECT_FLOAT_EQ(d.param[1], -10);
            EXPECT_FLOAT_EQ(d.param[2], 421.64f);
            EXPECT_EQ(d.ellipsoid, 1);
        }
    }
    // MOLL scale rules: "KMPP" in word 14 scales by w6 * 0.7071 / 1000 / (w3 * 380.344).
    DOMAIN d = domain_of(proj_image("MOLL", fx::moll_block(500, 1000, 2, 0, true, 5000), 20, 30));
    EXPECT_NEAR(d.dx, 5000 * 0.7071 / 1000 / (2 * 380.344), 1e-6);
    d = domain_of(proj_image("MOLL", fx::moll_block(500, 1000, 2, 0), 20, 30));
    EXPECT_NEAR(d.dx, 2 * 0.62 / 1000, 1e-7);
}

TEST_F(AreaNav, SatelliteDomains) {
    // GOES: centre line 8000, element 5600 of the geostationary view:
    // proj -I -f %.6f +proj=geos +sweep=y +h=35787022 +a=6378388 +b=6356912
    //     +lon_0=-74.999852196 of (-1652970.5112, 759316.6146)
    std::string messages;
    bool own = true;
    DOMAIN d = domain_of(goes_image(geostationary()), &messages, &own);
    EXPECT_EQ(std::tuple(d.proj, d.nx, d.ny, own), std::tuple(9, 800, 500, false));
    EXPECT_NEAR(d.param[0], 0, 1e-5);
    EXPECT_NEAR(d.param[1], kSubLon, 1e-4);
    EXPECT_NEAR(d.clat, 6.943784, 1e-3);
    EXPECT_NEAR(d.clon, -90.260392, 1e-3);
    // About four scan steps of 2.29e-5 rad at the geostationary distance.
    EXPECT_NEAR(d.dx, 4 * 20 * kRadPerDeg / 15228 * 421.61, 0.003);
    EXPECT_NEAR(d.dy, 4 * 20 * kRadPerDeg / 18212 * 421.61, 0.003);
    EXPECT_NE(messages.find("Image domain: "), std::string::npos);
    EXPECT_NE(messages.find("orb.semi_maj"), std::string::npos) << "the GOES dump is printed";
    // GVAR sample geometry: centre pixel (5396, 14480).
    d = domain_of(gvar_image(fx::Gvar{}));
    EXPECT_EQ(std::tuple(d.proj, d.ellipsoid), std::tuple(9, 1));
    EXPECT_NEAR(d.param[1], -75, 1e-4);
    EXPECT_FLOAT_EQ(d.param[2], 421.643f);
    EXPECT_FLOAT_EQ(d.param[3], 2.0f) << "GVAR scan angles sweep along x";
    EXPECT_NEAR(d.clat, 24.931574, 1e-4);
    EXPECT_NEAR(d.clon, -79.984126, 1e-4);
    EXPECT_NEAR(d.dx, 4 * 1.6e-5 * 421.643, 1e-6);
    EXPECT_NEAR(d.dy, 8 * 2.8e-5 * 421.643, 1e-6);
}

TEST_F(AreaNav, GridDomainResourceAndDomainMessages) {
    // Debug dumps of the PS and TANC blocks; TANC stops after its lines.
    std::string messages;
    domain_of(ps_image(), &messages);
    EXPECT_NE(messages.find("PS: PS  \nNPLINE: -1530\nNPELEM: 830\nSTDLAT: 600000\nSPACE: "
                            "2381\nNRMLON: 1050000\nEQURAD: 6378388\nECCENT: 8199\nImage domain: "),
              std::string::npos)
        << messages;
    domain_of(proj_image("TANC", fx::tanc_block(-1300.5, 600.25, 4.0, 40, 95), 10, 10), &messages);
    EXPECT_EQ(messages.find("Image domain"), std::string::npos) << messages;
    EXPECT_NE(messages.find("TANC: TANC\nNPLINE: -13005000\nNPELEM: 6002500\nSTDLAT: 400000\n"
                            "SPACE: 40000\nNRMLON: 950000\n"),
              std::string::npos)
        << messages;
    // A "grid_domain" resource replaces the block's domain, satellite or not.
    const char *text = "ps:60:-105:60,45,-100,100,80,30,30";
    RES_put("grid_domain", text);
    DOMAIN want;
    DOM_decode(text, &want);
    for (const fx::Image &im : {ps_image(), gvar_image(fx::Gvar{})}) {
        bool own = false;
        const DOMAIN d = domain_of(im, &messages, &own);
        EXPECT_EQ(DOM_comp(&d, &want), 1) << im.nav_type;
        EXPECT_EQ(d.nx, want.nx);
        EXPECT_TRUE(own) << im.nav_type;
        EXPECT_NE(messages.find("Image domain: "), std::string::npos) << messages;
    }
}

TEST_F(AreaNav, NavigationValuesAgreeWithTheProcessWideOne) {
    // Two values held at once, each checked against the free functions after
    // AREA_init of its own image, both ways and for the sub-satellite point.
    const AREA goes = read_fixture(goes_image(geostationary()));
    const AREA gv = read_fixture(gvar_image(imc_on()));
    AREA_NAVIGATION a, b;
    a.install(goes);
    b.install(gv);
    ASSERT_EQ(std::pair(a.type, b.type), std::pair(AREA_NAV_GOES, AREA_NAV_GVAR));
    for (const auto &[nav, area] : {std::pair{&a, &goes}, {&b, &gv}}) {
        AREA_init(area);
        for (auto [line, elem] : {std::pair{9107.f, 7615.f}, {5396.f, 14480.f}, {1.f, 1.f}}) {
            float la1 = 0, lo1 = 0, la2 = 0, lo2 = 0, l = line, e = elem;
            EXPECT_EQ(nav->tran(1, &la1, &lo1, &l, &e), AREA_tran(1, &la2, &lo2, &l, &e));
            EXPECT_EQ(std::pair(la1, lo1), std::pair(la2, lo2)) << line << " " << elem;
            float l1 = 0, e1 = 0, l2 = 0, e2 = 0, lat = 30, lon = -80;
            EXPECT_EQ(nav->tran(2, &lat, &lon, &l1, &e1), AREA_tran(2, &lat, &lon, &l2, &e2));
            EXPECT_EQ(std::pair(l1, e1), std::pair(l2, e2));
        }
        float s1[2] = {}, s2[2] = {}, wl = 0, we = 0;
        nav->tran(3, &s1[0], &s1[1], &wl, &we);
        AREA_tran(3, &s2[0], &s2[1], &wl, &we);
        EXPECT_EQ(std::pair(s1[0], s1[1]), std::pair(s2[0], s2[1]));
        float y = 100, x = 200, l1 = 0, e1 = 0, l2 = 0, e2 = 0;
        nav->line_elem(1, &l1, &e1, &y, &x);
        AREA_line_elem(1, &l2, &e2, &y, &x);
        EXPECT_EQ(std::pair(l1, e1), std::pair(l2, e2));
    }
    // A projection block replaces the satellite navigation but not the last
    // GVAR parameter set, as in the process-wide instance.
    b.install(read_fixture(ps_image()));
    EXPECT_EQ(b.type, AREA_NAV_NONE);
    EXPECT_EQ(b.gvar.p.epoch, GVAR_nav().p.epoch);
    EXPECT_NE(b.gvar.p.epoch, 0);
}
