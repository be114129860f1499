// AREA navigation: date and angle helpers, GOES spin-scan and GVAR navigation
// against PROJ's geostationary projection, and the plot domains of the
// projection blocks against PROJ and published values.
#include <gtest/gtest.h>

#include <cmath>

#include "area_test_util.h"
#include "base/resrc.h"
#include "map/region.h"

using namespace areatest;
namespace fx = area_fixture;

namespace {

constexpr double kRadPerDeg = 0.017453292519943295;

class AreaNav : public ::testing::Test {
  protected:
    void SetUp() override { reset_all(); }
    void TearDown() override {
        RES_put("grid_domain", nullptr);
        reset_all();
    }
};

// Reads a fixture and installs its navigation.
AREA install(const fx::Image &im) {
    AREA a;
    EXPECT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    AREA_init(&a);
    return a;
}

struct LatLon {
    float lat, lon;
};

LatLon to_earth(float line, float elem, int *rc = nullptr) {
    float lat = 0, lon = 0;
    int r = AREA_tran(1, &lat, &lon, &line, &elem);
    if (rc)
        *rc = r;
    return {lat, lon};
}

void to_image(float lat, float lon, float *line, float *elem, int *rc = nullptr) {
    int r = AREA_tran(2, &lat, &lon, line, elem);
    if (rc)
        *rc = r;
}

} // namespace

// ---------------------------------------------------------------------------
// Date and angle helpers
// ---------------------------------------------------------------------------

TEST(SatNavHelpers, DaysAndYears) {
    using namespace satnav;
    EXPECT_EQ(numdy(99365, 100001), 1);
    EXPECT_EQ(numdy(100001, 99365), -1);
    EXPECT_EQ(numdy(99365, 1), 1) << "year 0 is 2000";
    EXPECT_EQ(numdy(0, 1000), 366) << "2000 is a leap year (Gregorian)";
    EXPECT_EQ(numdy(4001, 104001), 0) << "4 and 104 both mean 2004";
    EXPECT_EQ(numdy(99001, 100001), 365);
    EXPECT_EQ(numdy(90001, 98260), 3181); // 1990-01-01 .. 1998-09-17
    EXPECT_EQ(numyr(0), 366);
    EXPECT_EQ(numyr(99), 365);
    EXPECT_EQ(numyr(96), 366);
    EXPECT_EQ(numyr(1), 365);
    EXPECT_DOUBLE_EQ(timdif(98260, 98261, 23.5, 0.5), 60.0);
}

TEST(SatNavHelpers, MonthDayConversion) {
    using namespace satnav;
    struct Row {
        int yymmdd, yyddd;
    } rows[] = {{980917, 98260}, {960301, 96061}, {970301, 97060},
                {41231, 4366},   {1231, 366},     {990101, 99001}};
    for (const auto &r : rows) {
        EXPECT_EQ(mdcon(1, r.yymmdd), r.yyddd) << r.yymmdd;
        EXPECT_EQ(mdcon(2, r.yyddd), r.yymmdd) << r.yyddd;
    }
    EXPECT_EQ(mdcon(2, 97366), 971231) << "a day beyond the year is clamped";
    EXPECT_EQ(mdcon(1, 981517), mdcon(1, 981217)) << "month capped at 12";
}

TEST(SatNavHelpers, PackedAnglesAndRounding) {
    using namespace satnav;
    EXPECT_NEAR(int2deg(-1234530), -(123 + 45 / 60.0 + 30 / 3600.0), 1e-12);
    EXPECT_EQ(deg2int(int2deg(-1234530)), -1234530);
    EXPECT_NEAR(int2deg(173000), 17.5, 1e-12);
    EXPECT_EQ(deg2int(17.5), 173000);
    EXPECT_EQ(deg2int(10.0 + 59 / 60.0 + 59.9999 / 3600.0), 110000);
    EXPECT_EQ(rnd(-2.5), -3);
    EXPECT_EQ(rnd(2.5), 3);
    EXPECT_EQ(rnd(0.0), 0);
    EXPECT_EQ(rnd(-0.4), 0);
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

TEST(SatNavHelpers, BinaryCodedTimes) {
    using namespace satnav;
    // Minutes since 1950-01-01 00:00 (Python datetime differences).
    EXPECT_DOUBLE_EQ(time50(0x19500010, 0x00000000), 0.0);
    EXPECT_DOUBLE_EQ(time50(0x19982601, 0x00000000), 25619640.0);
    EXPECT_NEAR(time50(0x20040602, 0x35959999), 28487519.999983, 1e-5);
    EXPECT_NEAR(satnav::timex(1998, 260, 7, 45, 14.372), 25619505.239533, 1e-5);
}

// ---------------------------------------------------------------------------
// Image to AREA coordinates
// ---------------------------------------------------------------------------

TEST_F(AreaNav, LineElementMapping) {
    AREA_set_res(1, 1, 2, 2);
    float line = 0, elem = 0, y = 1, x = 1;
    AREA_line_elem(1, &line, &elem, &y, &x);
    EXPECT_EQ(elem, 2);
    EXPECT_EQ(line, 2);
    // The inverse, in place.
    AREA_line_elem(2, &line, &elem, &line, &elem);
    EXPECT_EQ(elem, 1.5f);
    EXPECT_EQ(line, 1.5f);

    fx::Image im;
    im.lines = im.elems = 4;
    im.ul_line = 3797;
    im.ul_elem = 10881;
    im.line_res = 8;
    im.elem_res = 4;
    im.nav_type = "MERC";
    im.nav.assign(128, 0);
    install(im);
    x = 900;
    y = 200;
    AREA_line_elem(1, &line, &elem, &y, &x);
    EXPECT_EQ(line, 5396);
    EXPECT_EQ(elem, 14480);
    EXPECT_EQ(AREA_get_image_type(), AREA_NAV_NONE);
    float lat = 1, lon = 2, l = 3, e = 4;
    EXPECT_EQ(AREA_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_EQ(lat, 1) << "no satellite navigation: nothing changes";
}

// ---------------------------------------------------------------------------
// GOES spin-scan
// ---------------------------------------------------------------------------

namespace {

// A geostationary spin-scan satellite: semi-major axis 42165.41 km (the orbit
// model's synchronous radius), circular, equatorial, spin axis at the pole,
// node placed so that the sub-satellite longitude at the picture time is
// -74.999852196 (orbit node 183.95 deg minus the earth's turn since the
// reference time 1990-001 17:15:37). 20 degrees over 18213 lines and 15229
// elements.
fx::Goes geostationary() {
    fx::Goes g;
    g.date = 98260;
    g.start_hours = 17.5;
    g.epoch_date = 980917;
    g.epoch_time = 173000;
    g.semi_maj_km = 42165.41;
    g.asc_node_deg = 183.95;
    return g;
}

constexpr double kSubLon = -74.999852196;
constexpr double kGoesH = 35787022.0; // m above the equator

fx::Image goes_image(const fx::Goes &g) {
    fx::Image im;
    im.lines = 500;
    im.elems = 800;
    im.ul_line = 7001;
    im.ul_elem = 4001;
    im.line_res = 4;
    im.elem_res = 4;
    im.nav_type = "GOES";
    im.nav = fx::goes_block(g);
    return im;
}

// Line/element of a PROJ geos (sweep y) plane point in metres.
void spin_line_elem(const fx::Goes &g, double x, double y, double *line, double *elem) {
    const int lines = g.num_lines * std::max(1, g.sensors);
    const double rl = g.deg_line * kRadPerDeg / (lines - 1);
    const double re = g.deg_elem * kRadPerDeg / (g.num_elem - 1);
    *line = g.center_line - (y / kGoesH) / rl;
    *elem = (g.num_elem + 1) / 2.0 + (x / kGoesH) / re;
}

// echo "lon lat" | proj -f %.4f +proj=geos +sweep=y +h=35787022 +a=6378388
//     +b=6356912 +lon_0=-74.999852196
struct GeosPoint {
    double lon, lat, x, y;
};
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

} // namespace

TEST_F(AreaNav, SpinScanMatchesTheGeostationaryView) {
    const fx::Goes g = geostationary();
    install(goes_image(g));
    ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GOES);
    for (const auto &p : kSpinPoints) {
        double wl = 0, we = 0;
        spin_line_elem(g, p.x, p.y, &wl, &we);
        float line = 0, elem = 0;
        int rc = -2;
        to_image(static_cast<float>(p.lat), static_cast<float>(p.lon), &line, &elem, &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(line, wl, 0.01) << p.lat << " " << p.lon;
        EXPECT_NEAR(elem, we, 0.01) << p.lat << " " << p.lon;
        const LatLon ll = to_earth(static_cast<float>(wl), static_cast<float>(we), &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(ll.lat, p.lat, 2e-4);
        EXPECT_NEAR(ll.lon, p.lon, 2e-4);
    }
}

TEST_F(AreaNav, SpinScanSubSatellitePointAndLimb) {
    const fx::Goes g = geostationary();
    install(goes_image(g));
    float lat = 1, lon = 1, line = 0, elem = 0;
    EXPECT_EQ(AREA_tran(3, &lat, &lon, &line, &elem), 0);
    EXPECT_NEAR(lat, 0, 1e-6);
    EXPECT_NEAR(lon, kSubLon, 1e-4);
    double pos[3];
    ASSERT_EQ(AREA_pos(98260, 17.5, 0, pos), 0);
    EXPECT_NEAR(std::hypot(pos[0], pos[1]), 42165.41, 1e-6);
    EXPECT_NEAR(std::atan2(pos[1], pos[0]) / kRadPerDeg, kSubLon, 1e-6);

    // Space beyond the limb, in every corner of the scan.
    for (auto [l, e] : {std::pair{1.f, 1.f}, {1.f, 15229.f}, {18213.f, 1.f}, {9107.f, 200.f}}) {
        int rc = 0;
        LatLon ll = to_earth(l, e, &rc);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(ll.lat, -9999.0f);
        EXPECT_EQ(ll.lon, -9999.0f);
    }
    // The far side of the earth is hidden; a missing point stays missing.
    for (auto [la, lo] : {std::pair{0.f, 105.f}, {-9999.f, -9999.f}, {91.f, -75.f}}) {
        int rc = 0;
        to_image(la, lo, &line, &elem, &rc);
        EXPECT_EQ(rc, -1) << la;
        EXPECT_EQ(line, -9999.0f) << la;
        EXPECT_EQ(elem, -9999.0f) << la;
    }
}

TEST_F(AreaNav, SpinScanPointOutsideAnarrowScanIsMissingButVisible) {
    fx::Goes g = geostationary();
    g.deg_elem = 6; // +-3 degrees: the limb is outside the scan
    install(goes_image(g));
    float line = 0, elem = 0;
    int rc = -2;
    to_image(10, -130, &line, &elem, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(line, -9999.0f);
    EXPECT_EQ(elem, -9999.0f);
}

TEST_F(AreaNav, SpinScanSensorsMultiplyTheLines) {
    // Word 17 = 800000 + 1821: 8 sensors, 14568 lines over the same 20 degrees.
    fx::Goes g = geostationary();
    g.sensors = 8;
    g.num_lines = 1821;
    g.center_line = 7284;
    install(goes_image(g));
    for (const auto &p : kSpinPoints) {
        double wl = 0, we = 0;
        spin_line_elem(g, p.x, p.y, &wl, &we);
        float line = 0, elem = 0;
        to_image(static_cast<float>(p.lat), static_cast<float>(p.lon), &line, &elem);
        EXPECT_NEAR(line, wl, 0.01) << p.lat;
        EXPECT_NEAR(elem, we, 0.01) << p.lat;
    }
}

TEST_F(AreaNav, SpinScanRoundTripsAcrossTheDisc) {
    // A less ideal satellite: eccentric inclined orbit, tilted spin axis, attitude
    // angles and a gamma offset.
    fx::Goes g = geostationary();
    g.eccent = 0.0004;
    g.inclin_deg = 0.7;
    g.perigee_deg = 40;
    g.asc_node_deg = 143.95;
    g.anomaly_deg = 12.5;
    g.declin_deg = 89.9;
    g.right_asc_deg = 120;
    g.pitch_deg = 0.05;
    g.yaw_deg = -0.03;
    g.roll_deg = 0.02;
    g.gamma = 3.5;
    for (int sensors : {1, 8}) {
        g.sensors = sensors;
        g.num_lines = sensors == 1 ? 18213 : 1821;
        g.center_line = sensors == 1 ? 9107 : 7284;
        install(goes_image(g));
        const int lines = sensors == 1 ? 18213 : 14568;
        int on_earth = 0;
        double worst = 0;
        for (int i = 1; i < 40; ++i) {
            for (int j = 1; j < 40; ++j) {
                const float l = static_cast<float>(lines * i / 40.0);
                const float e = static_cast<float>(15229 * j / 40.0);
                int rc = 0;
                LatLon ll = to_earth(l, e, &rc);
                if (rc != 0)
                    continue;
                ++on_earth;
                float l2 = 0, e2 = 0;
                to_image(ll.lat, ll.lon, &l2, &e2, &rc);
                ASSERT_EQ(rc, 0) << l << " " << e;
                worst = std::max({worst, std::fabs(double{l2} - l), std::fabs(double{e2} - e)});
            }
        }
        EXPECT_GT(on_earth, 600);
        EXPECT_LT(worst, 0.05) << "largest round-trip error in pixels, sensors " << sensors;
    }
}

// ---------------------------------------------------------------------------
// GVAR
// ---------------------------------------------------------------------------

namespace {

// Imager line/element of a PROJ geos (sweep x) plane point in metres, for the
// published imager constants (2.8e-5 rad per line, 1.6e-5 per pixel, line offset
// 4.5) and bounds from the nadir cycles and increments (8e-6 and 1.6e-5 rad per
// increment, 6136 increments per cycle).
void imager_line_elem(double x, double y, double *line, double *elem, double h = 35785977.0) {
    const double ebound = (4 * 6136 + 3487) * 8e-6;
    const double sbound = (2 * 6136 + 3068) * 1.6e-5;
    *line = (ebound - y / h) / 2.8e-5 + 4.5;
    *elem = (x / h + sbound) / 1.6e-5 + 1;
}

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

fx::Image gvar_image(const fx::Gvar &g) {
    fx::Image im;
    im.lines = 400;
    im.elems = 1800;
    im.ul_line = 3797;
    im.ul_elem = 10881;
    im.line_res = 8;
    im.elem_res = 4;
    im.bytes_per_elem = 2;
    im.nav_type = "GVAR";
    im.nav = fx::gvar_block(g);
    return im;
}

void expect_gvar_pixels(double tol_deg, double tol_px) {
    for (const auto &p : kGvarPixels) {
        int rc = -2;
        LatLon ll = to_earth(p.line, p.elem, &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(ll.lat, p.lat, tol_deg) << p.line << " " << p.elem;
        EXPECT_NEAR(ll.lon, p.lon, tol_deg) << p.line << " " << p.elem;
        float l = 0, e = 0;
        to_image(static_cast<float>(p.lat), static_cast<float>(p.lon), &l, &e, &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(l, p.line, tol_px);
        EXPECT_NEAR(e, p.elem, tol_px);
    }
}

} // namespace

TEST_F(AreaNav, GvarMatchesTheGeostationaryView) {
    install(gvar_image(fx::Gvar{}));
    ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GVAR);
    for (const auto &p : kGvarPoints) {
        double wl = 0, we = 0;
        imager_line_elem(p.x, p.y, &wl, &we);
        float line = 0, elem = 0;
        int rc = -2;
        to_image(static_cast<float>(p.lat), static_cast<float>(p.lon), &line, &elem, &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(line, wl, 0.02) << p.lat << " " << p.lon;
        EXPECT_NEAR(elem, we, 0.02) << p.lat << " " << p.lon;
        LatLon ll = to_earth(static_cast<float>(wl), static_cast<float>(we), &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_NEAR(ll.lat, p.lat, 1e-4);
        EXPECT_NEAR(ll.lon, p.lon, 1e-4);
    }
    expect_gvar_pixels(1e-4, 0.02);
}

TEST_F(AreaNav, GvarRealFileNavigation) {
    XSAT_REQUIRE_SHARED(path, "data/area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    File f(std::fopen(path.c_str(), "rb"));
    AREA a;
    ASSERT_EQ(SAT_read_AREA(f.get(), &a), 0);
    AREA_init(&a);
    ASSERT_EQ(AREA_get_image_type(), AREA_NAV_GVAR);
    // The block's reference longitude is -1.3089962 rad (-74.99996 deg).
    expect_gvar_pixels(1e-4, 0.05);
    // The comment cards say the image was cut around 25 N, 80 W.
    float y = 200, x = 900, line = 0, elem = 0;
    AREA_line_elem(1, &line, &elem, &y, &x);
    LatLon c = to_earth(line, elem);
    EXPECT_NEAR(c.lat, 25, 0.2);
    EXPECT_NEAR(c.lon, -80, 0.2);
    float slat = 9, slon = 9, wl = 0, we = 0;
    EXPECT_EQ(AREA_tran(3, &slat, &slon, &wl, &we), 0);
    EXPECT_NEAR(slat, 0, 1e-9);
    EXPECT_NEAR(slon, -1.3089962 / kRadPerDeg, 1e-4);
}

TEST_F(AreaNav, GvarPublishedInstrumentConstants) {
    // Nadir of the imager with the default bounds 0.220896 (elevation) and
    // 0.24544 (scan): line 0.220896 / 2.8e-5 + 4.5, element 0.24544 / 1.6e-5 + 1.
    fx::Gvar g;
    g.ns_cycles = g.ew_cycles = g.ns_incr = g.ew_incr = 0;
    install(gvar_image(g));
    float line = 0, elem = 0;
    to_image(0, -75, &line, &elem);
    EXPECT_NEAR(line, 0.220896 / 2.8e-5 + 4.5, 0.01);
    EXPECT_NEAR(elem, 0.24544 / 1.6e-5 + 1, 0.01);
    // With cycles and increments: (4 * 6136 + 3487) * 8e-6 rad.
    install(gvar_image(fx::Gvar{}));
    to_image(0, -75, &line, &elem);
    EXPECT_NEAR(line, (4 * 6136 + 3487) * 8e-6 / 2.8e-5 + 4.5, 0.01);
    EXPECT_NEAR(elem, (2 * 6136 + 3068) * 1.6e-5 / 1.6e-5 + 1, 0.01);

    // Sounder: bounds 0.2208938 and 0.2454375, 2.8e-4 rad per detector line and
    // pixel, line offset 2.5, ten AREA coordinates per detector step.
    g.instrument = 2;
    install(gvar_image(g));
    to_image(0, -75, &line, &elem);
    EXPECT_NEAR(line, 10 * (0.2208938 / 0.00028 + 2.5) - 9, 0.05);
    EXPECT_NEAR(elem, 10 * (0.2454375 / 0.00028 + 1) - 9, 0.05);
    // Sounder bounds from cycles: ((9 - ns_cycles) * 2805 - ns_incr) * 1.75e-5.
    g.ns_cycles = 4;
    g.ns_incr = 1000;
    g.ew_cycles = 2;
    g.ew_incr = 500;
    install(gvar_image(g));
    to_image(0, -75, &line, &elem);
    EXPECT_NEAR(line, 10 * ((5 * 2805 - 1000) * 1.75e-5 / 0.00028 + 2.5) - 9, 0.05);
    EXPECT_NEAR(elem, 10 * ((2 * 2805 + 500) * 3.5e-5 / 0.00028 + 1) - 9, 0.05);
    // Element 11 is detector element 2 and maps back to 11 (a narrow scan bound,
    // 2806 * 3.5e-5 rad, brings the first detector elements onto the earth).
    g.ew_cycles = 1;
    g.ew_incr = 1;
    install(gvar_image(g));
    const float nadir = static_cast<float>(10 * ((5 * 2805 - 1000) * 1.75e-5 / 0.00028 + 2.5) - 9);
    int rc = 0;
    LatLon ll = to_earth(nadir, 11, &rc);
    ASSERT_EQ(rc, 0);
    to_image(ll.lat, ll.lon, &line, &elem);
    EXPECT_NEAR(elem, 11, 0.01);
    EXPECT_NEAR(line, nadir, 0.01);
    // Elements 2 to 10 lie between detector elements 1 and 2.
    LatLon first = to_earth(nadir, 1), mid = to_earth(nadir, 6);
    EXPECT_LT(first.lon, mid.lon);
    EXPECT_LT(mid.lon, ll.lon);
}

TEST_F(AreaNav, GvarLimbAndHiddenPoints) {
    install(gvar_image(fx::Gvar{}));
    const gvar::Nav &nav = GVAR_nav();
    // A line of sight grazing the equator: tangent point at acos(1/r) from the
    // sub-satellite longitude, r = 42164.365 / 6378.388 earth radii.
    const double r = 42164.365 / 6378.388;
    double lat = 0, lon = 0;
    EXPECT_EQ(gvar::lpoint(nav, 0, std::asin(1 / r), &lat, &lon), 0);
    EXPECT_NEAR(lat, 0, 1e-6);
    EXPECT_NEAR(lon / kRadPerDeg, -75 + std::acos(1 / r) / kRadPerDeg, 1e-3);
    EXPECT_EQ(gvar::lpoint(nav, 0, std::asin(1 / r) + 1e-4, &lat, &lon), 1);
    EXPECT_EQ(lat, -9999.0);
    int rc = 0;
    LatLon ll = to_earth(1, 1, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(ll.lat, -9999.0f);
    float line = 0, elem = 0;
    to_image(0, 105, &line, &elem, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(line, -9999.0f);
    to_image(91, 0, &line, &elem, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(elem, -9999.0f);
}

TEST_F(AreaNav, GvarImcOrbitTerms) {
    // IMC on with every term zero is the reference navigation.
    fx::Gvar g;
    g.imc = true;
    install(gvar_image(g));
    expect_gvar_pixels(1e-4, 0.02);
    // A longitude term moves the whole view east by it.
    g.lon_terms[0] = 0.01;
    install(gvar_image(g));
    for (const auto &p : kGvarPixels) {
        LatLon ll = to_earth(p.line, p.elem);
        EXPECT_NEAR(ll.lat, p.lat, 1e-4);
        EXPECT_NEAR(ll.lon, p.lon + 0.01 / kRadPerDeg, 1e-4);
    }
    // ... but only with IMC on.
    g.imc = false;
    install(gvar_image(g));
    expect_gvar_pixels(1e-4, 0.02);
    // A radial term of 100 km: the view from h + 100 km
    // (echo "-494365.2192 2629939.7104" | proj -I ... +h=35885977 ...).
    g = fx::Gvar{};
    g.imc = true;
    g.rad_terms[0] = 100;
    install(gvar_image(g));
    LatLon ll = to_earth(5396, 14480);
    EXPECT_NEAR(ll.lat, 25.007375, 1e-4);
    EXPECT_NEAR(ll.lon, -80.001430, 1e-4);
}

TEST_F(AreaNav, GvarAttitudeRecords) {
    // A roll of ten lines' elevation (10 * 2.8e-5 rad) makes line L see what
    // line L - 10 sees without it; a pitch of ten pixels' scan angle on the nadir
    // row makes element E see what E + 10 sees.
    const double roll = 10 * 2.8e-5, pitch = 10 * 1.6e-5;
    const float nadir = static_cast<float>((4 * 6136 + 3487) * 8e-6 / 2.8e-5 + 4.5);
    install(gvar_image(fx::Gvar{}));
    const LatLon ref_roll = to_earth(5386, 14480);
    const LatLon ref_pitch = to_earth(nadir, 14490);

    // Built as a mean angle, an IMC correction, sinusoids and a monomial (with a
    // solar rate of 0 every cosine argument is its phase), and an exponential.
    const double t = 25619505.239533 - 25619640.0; // image minus epoch, minutes
    std::vector<std::pair<const char *, fx::Gvar>> cases;
    fx::Gvar g;
    g.imc = true;
    g.att[gvar::kRoll].mean = roll;
    cases.push_back({"mean", g});
    g = fx::Gvar{};
    g.imc = true;
    g.imc_roll = roll;
    cases.push_back({"IMC correction", g});
    g = fx::Gvar{};
    g.imc = true;
    g.att[gvar::kRoll].sinusoids = {{roll / 2, 0}, {roll, 1.0471976}};
    cases.push_back({"sinusoids", g});
    g = fx::Gvar{};
    g.imc = true;
    g.att[gvar::kRoll].monomials = {{3, 2, roll / 4, 0, -2}};
    cases.push_back({"monomial", g});
    g = fx::Gvar{};
    g.imc = true;
    g.exp_offset_min = -200;
    g.att[gvar::kRoll].exp_tc_min = 100;
    g.att[gvar::kRoll].exp_mag = roll / std::exp(-(t + 200) / 100);
    cases.push_back({"exponential", g});
    for (auto &[what, gc] : cases) {
        install(gvar_image(gc));
        LatLon ll = to_earth(5396, 14480);
        EXPECT_NEAR(ll.lat, ref_roll.lat, 3e-4) << what;
        EXPECT_NEAR(ll.lon, ref_roll.lon, 3e-4) << what;
    }
    g = fx::Gvar{};
    g.imc = true;
    g.att[gvar::kPitch].mean = pitch;
    install(gvar_image(g));
    LatLon ll = to_earth(nadir, 14480);
    EXPECT_NEAR(ll.lat, ref_pitch.lat, 1e-4);
    EXPECT_NEAR(ll.lon, ref_pitch.lon, 1e-4);
    // Attitude records are not used with IMC off.
    g.imc = false;
    install(gvar_image(g));
    ll = to_earth(nadir, 14490);
    EXPECT_NEAR(ll.lon, ref_pitch.lon, 1e-5);
}

TEST_F(AreaNav, GvarRoundTripsWithMisalignmentAndOrbitTerms) {
    fx::Gvar g;
    g.imc = true;
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
        double worst = 0;
        int on_earth = 0;
        for (int i = 1; i < 30; ++i)
            for (int j = 1; j < 30; ++j) {
                // The full scans: 15800 x 30680 imager, 15780 x 17530 sounder coordinates.
                const float l = static_cast<float>(15800.0 * i / 30);
                const float e = static_cast<float>((instrument == 1 ? 30680.0 : 17530.0) * j / 30);
                int rc = 0;
                LatLon ll = to_earth(l, e, &rc);
                if (rc != 0)
                    continue;
                ++on_earth;
                float l2 = 0, e2 = 0;
                to_image(ll.lat, ll.lon, &l2, &e2, &rc);
                ASSERT_EQ(rc, 0);
                const double step = instrument == 2 ? 10 : 1;
                worst = std::max(
                    {worst, std::fabs(double{l2} - l) / step, std::fabs(double{e2} - e) / step});
            }
        EXPECT_GT(on_earth, 250);
        EXPECT_LT(worst, 0.05) << "instrument " << instrument;
    }
}

TEST_F(AreaNav, DamagedGvarBlockStaysFinite) {
    // Counts far beyond the record's room must not reach outside the block.
    fx::Gvar g;
    g.imc = true;
    auto words = fx::gvar_block(g);
    words[62 + 3] = 1000000;      // sinusoids
    words[62 + 34] = -50;         // monomials
    words[129 + 34] = 999999;     // monomials
    words[129 + 36] = 2000000000; // monomial order
    fx::Image im = gvar_image(g);
    im.nav = words;
    install(im);
    int rc = 0;
    LatLon ll = to_earth(5396, 14480, &rc);
    if (rc == 0) {
        EXPECT_TRUE(std::isfinite(ll.lat));
        EXPECT_TRUE(std::isfinite(ll.lon));
    } else {
        EXPECT_EQ(ll.lat, -9999.0f);
    }
}

// ---------------------------------------------------------------------------
// Plot domains
// ---------------------------------------------------------------------------

namespace {

DOMAIN domain_of(const fx::Image &im, std::string *messages = nullptr) {
    MessageCapture cap;
    AREA a = install(im);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    AREA_calc_domain(&img, &a);
    if (messages)
        *messages = cap.text();
    return img.domain;
}

fx::Image proj_image(const char *type, std::vector<int32_t> nav, int lines, int elems,
                     int ul_line = 1, int ul_elem = 1, int res = 1) {
    fx::Image im;
    im.lines = lines;
    im.elems = elems;
    im.ul_line = ul_line;
    im.ul_elem = ul_elem;
    im.line_res = im.elem_res = res;
    im.nav_type = type;
    im.nav = std::move(nav);
    return im;
}

} // namespace

TEST_F(AreaNav, RealPolarStereographicDomain) {
    XSAT_REQUIRE_SHARED(path, "data/area/pngarea.decoded.area");
    File f(std::fopen(path.c_str(), "rb"));
    AREA a;
    ASSERT_EQ(SAT_read_AREA(f.get(), &a), 0);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    AREA_init(&a);
    AREA_calc_domain(&img, &a);
    const DOMAIN &d = img.domain;
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.param[0], 60);
    EXPECT_FLOAT_EQ(d.param[1], -105) << "NRMLON 1050000 is 105 W";
    EXPECT_FLOAT_EQ(d.param[2], 60);
    EXPECT_EQ(d.nx, 640);
    EXPECT_EQ(d.ny, 350);
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
    EXPECT_EQ(SAT_params().tran_sat, 0);
}

TEST_F(AreaNav, ProjectionBlockDomainsMatchProj) {
    struct Row {
        const char *what;
        fx::Image image;
        int proj;
        double clat, clon;
        double dx; // plot units (100 km)
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
    };
    for (const auto &r : rows) {
        const DOMAIN d = domain_of(r.image);
        EXPECT_EQ(d.proj, r.proj) << r.what;
        EXPECT_NEAR(d.clat, r.clat, 2e-3) << r.what;
        EXPECT_NEAR(d.clon, r.clon, 2e-3) << r.what;
        EXPECT_NEAR(d.dx, r.dx, 1e-6) << r.what;
        EXPECT_NEAR(d.dy, r.dx, 1e-6) << r.what;
        EXPECT_EQ(d.nx, r.image.elems) << r.what;
        EXPECT_EQ(d.ny, r.image.lines) << r.what;
        EXPECT_EQ(SAT_params().tran_sat, 0) << r.what;
        SAT_params().tran_sat = 1;
    }
}

TEST_F(AreaNav, LatLonAndFullDiscDomains) {
    // RECT: element step 0.1, line step 0.1, reference line 1 on the equator,
    // element 1 at 130 W: the centre pixel (line 100, element 150) is at 9.9 S,
    // 115.1 W.
    DOMAIN d = domain_of(proj_image("RECT", fx::rect_block(1, 0, 1, 130, 0.1, 0.1), 200, 300));
    EXPECT_EQ(d.proj, 2);
    EXPECT_NEAR(d.clat, -9.9, 1e-4);
    EXPECT_NEAR(d.clon, -115.1, 1e-4);
    EXPECT_NEAR(d.param[1], -115.1, 1e-4);
    EXPECT_NEAR(d.dx, 0.1, 1e-6);

    // MSAT: x = (1250.5 - (600 * 0.5 * 2 + 1000) * 0.5) * 0.0529848 plot units of
    // scan angle times 421.64, y = 500 * 0.0529848:
    // echo "2025889.6540 2248490.1739" | proj -I -f %.6f +proj=geos +sweep=y
    //     +h=35785863 +a=6378137 +b=6356752 +lon_0=-10
    fx::Image ms = proj_image("MSAT", fx::msat_block(0, 0, 1250, 10), 500, 600, 1001, 1001, 2);
    d = domain_of(ms);
    EXPECT_EQ(d.proj, 9);
    EXPECT_FLOAT_EQ(d.param[1], -10);
    EXPECT_FLOAT_EQ(d.param[2], 421.64f);
    EXPECT_EQ(d.ellipsoid, 1);
    EXPECT_NEAR(d.clat, 21.335000, 2e-3);
    EXPECT_NEAR(d.clon, 10.421085, 2e-3);
    EXPECT_NEAR(d.dx, 2 * 0.0264924, 1e-6);
    EXPECT_EQ(SAT_params().tran_sat, 0);

    // MOLL scale rules: "KMPP" in word 14 scales by w6 * 0.7071 / 1000 / (w3 * 380.344).
    d = domain_of(proj_image("MOLL", fx::moll_block(500, 1000, 2, 0, true, 5000), 20, 30));
    EXPECT_NEAR(d.dx, 5000 * 0.7071 / 1000 / (2 * 380.344), 1e-6);
    d = domain_of(proj_image("MOLL", fx::moll_block(500, 1000, 2, 0), 20, 30));
    EXPECT_NEAR(d.dx, 2 * 0.62 / 1000, 1e-7);
}

TEST_F(AreaNav, SatelliteDomains) {
    // GOES: centre line 8000, element 5600 of the geostationary view:
    // proj -I -f %.6f +proj=geos +sweep=y +h=35787022 +a=6378388 +b=6356912
    //     +lon_0=-74.999852196 of (-1652970.5112, 759316.6146)
    const fx::Goes g = geostationary();
    std::string messages;
    DOMAIN d = domain_of(goes_image(g), &messages);
    EXPECT_EQ(d.proj, 9);
    EXPECT_NEAR(d.param[0], 0, 1e-5);
    EXPECT_NEAR(d.param[1], kSubLon, 1e-4);
    EXPECT_NEAR(d.clat, 6.943784, 1e-3);
    EXPECT_NEAR(d.clon, -90.260392, 1e-3);
    EXPECT_EQ(d.nx, 800);
    EXPECT_EQ(d.ny, 500);
    // About four scan steps of 2.29e-5 rad at the geostationary distance.
    EXPECT_NEAR(d.dx, 4 * 20 * kRadPerDeg / 15228 * 421.61, 0.003);
    EXPECT_NEAR(d.dy, 4 * 20 * kRadPerDeg / 18212 * 421.61, 0.003);
    EXPECT_EQ(SAT_params().tran_sat, 1);
    EXPECT_NE(messages.find("Image domain: "), std::string::npos);
    EXPECT_NE(messages.find("orb.semi_maj"), std::string::npos) << "the GOES dump is printed";

    // GVAR sample geometry: centre pixel (5396, 14480).
    d = domain_of(gvar_image(fx::Gvar{}));
    EXPECT_EQ(d.proj, 9);
    EXPECT_NEAR(d.param[1], -75, 1e-4);
    EXPECT_FLOAT_EQ(d.param[2], 421.643f);
    EXPECT_FLOAT_EQ(d.param[3], 1.0f);
    EXPECT_EQ(d.ellipsoid, 1);
    EXPECT_NEAR(d.clat, 24.931574, 1e-4);
    EXPECT_NEAR(d.clon, -79.984126, 1e-4);
    EXPECT_NEAR(d.dx, 4 * 1.6e-5 * 421.643, 1e-6);
    EXPECT_NEAR(d.dy, 8 * 2.8e-5 * 421.643, 1e-6);
}

TEST_F(AreaNav, GridDomainResourceOverrides) {
    const char *text = "ps:60:-105:60,45,-100,100,80,30,30";
    RES_put("grid_domain", text);
    for (const char *type : {"PS", "GVAR"}) {
        fx::Image im =
            type == std::string("PS")
                ? proj_image("PS", fx::ps_block(-1530, 830, 60, 2381, 105, 6378388), 10, 10)
                : gvar_image(fx::Gvar{});
        std::string messages;
        DOMAIN d = domain_of(im, &messages);
        DOMAIN want;
        DOM_decode(text, &want);
        EXPECT_EQ(DOM_comp(&d, &want), 1) << type;
        EXPECT_EQ(d.nx, want.nx);
        EXPECT_EQ(SAT_params().tran_sat, 0) << type;
        EXPECT_NE(messages.find("Image domain: "), std::string::npos) << messages;
        SAT_params().tran_sat = 1;
    }
}

TEST_F(AreaNav, DomainMessagesByType) {
    std::string messages;
    domain_of(proj_image("PS", fx::ps_block(-1530, 830, 60, 2381, 105, 6378388), 10, 10),
              &messages);
    EXPECT_NE(messages.find("PS: PS  \nNPLINE: -1530\nNPELEM: 830\nSTDLAT: 600000\nSPACE: "
                            "2381\nNRMLON: 1050000\nEQURAD: 6378388\nECCENT: 8199\nImage domain: "),
              std::string::npos)
        << messages;
    domain_of(proj_image("TANC", fx::tanc_block(-1300.5, 600.25, 4.0, 40, 95), 10, 10), &messages);
    EXPECT_EQ(messages.find("Image domain"), std::string::npos) << "TANC stops after its lines";
    EXPECT_NE(messages.find("TANC: TANC\nNPLINE: -13005000\nNPELEM: 6002500\nSTDLAT: 400000\n"
                            "SPACE: 40000\nNRMLON: 950000\n"),
              std::string::npos)
        << messages;
}
