// Image geometry: domain completion, remap (against GDAL, the satellite navigation and a
// model of the segment interpolation), zoom and the displayed domain.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <numeric>
#include <random>
#include <tuple>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "map/maptran.h"
#include "sat/sat_geom.h"
#include "sat/sat_kernel.h"
#include "sat/sat_navgrid.h"
#include "sat/sat_tool.h"
#include "satformats/gvar.h"
#include "satformats/sat_read.h"
#include "satformats/sat_tran.h"
#include "support/test_support.h"

namespace {

constexpr float kMiss = -9999.0f;
constexpr double kD2R = M_PI / 180.0;

class SatGeom : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        gks_reset_state();
        RES_reset_state();
        MESS_reset_state();
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR | MESS_PRINT));
        MAP_reset_state();
        AREA_reset_state();
        GVAR_reset_state();
        SAT_read_reset_state();
        SAT_reset_state();
        SAT_geom_reset_state();
    }
};

DOMAIN ll_domain(float clat, float clon, float dx, float dy, int nx, int ny) {
    return DOMAIN{.proj = 2, .clat = clat, .clon = clon, .dx = dx, .dy = dy, .nx = nx, .ny = ny};
}

// Northern polar stereographic true at 60 N about lon0 from the textbook formulas (sphere of
// 6371.22 km, 100 km units): its domain and the position of grid point (m, r).
struct Stereo {
    double lon0, clat, dx;
    int nx, ny;
    double k = 63.7122 * (1 + std::sin(60 * kD2R));
    DOMAIN domain() const {
        return DOMAIN{.proj = 1,
                      .param = {90, float(lon0), 60, kMiss, kMiss, kMiss, kMiss},
                      .clat = float(clat),
                      .clon = float(lon0),
                      .dx = float(dx),
                      .dy = float(dx),
                      .nx = nx,
                      .ny = ny};
    }
    double xmin() const { return -(nx - 1) * 0.5 * dx; }
    double ymax() const { return -k * std::tan((45 - clat / 2) * kD2R) + (ny - 1) * 0.5 * dx; }
    void grid_latlon(double m, double r, double *lat, double *lon) const {
        const double x = xmin() + m * dx, y = ymax() - r * dx;
        *lat = 90 - 2 * std::atan(std::hypot(x, y) / k) / kD2R;
        *lon = lon0 + std::atan2(x, -y) / kD2R;
    }
};

// Neighbouring pixels always differ, so a shift by one pixel shows everywhere.
uint8_t pattern(int r, int c) {
    return uint8_t((r * 31 + c * 17) % 255 + 1);
}

IMAGE image_of(int nx, int ny, const DOMAIN &dom, uint8_t (*value)(int, int) = pattern) {
    IMAGE im;
    im.source = SAT_IN_IMG;
    im.nx = im.bytes_per_line = nx;
    im.ny = ny;
    im.depth = 8;
    im.domain = dom;
    for (int k = 0; k < nx * ny; ++k)
        im.data.push_back(value(k / nx, k % nx));
    return im;
}

// The image remapped with the given sampling and segment step (black when refused).
IMAGE remap(IMAGE im, const DOMAIN &out, int step, int pix_ave = 0) {
    SAT_params().pix_ave = pix_ave;
    SAT_params().remap_inc = step;
    if (SAT_remap_image(&im, &out) != 1) {
        ADD_FAILURE() << "remap refused";
        im.data.assign(size_t(out.nx) * out.ny, 0);
    }
    return im;
}

// Nearest pixel of a position: a fraction of exactly one half goes to the first.
int nearest(double v) {
    return int(std::floor(v)) + (v - std::floor(v) > 0.5);
}

// The GOES-8 GVAR sample image, navigated; false when the sample data are missing.
bool read_gvar(IMAGE *im) {
    std::string path = testsupport::shared_path("data/area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    FilePtr f = path.empty() ? nullptr : FILE_open(path.c_str(), "rb");
    AREA area;
    if (!f || SAT_read_AREA(f.get(), &area) != 0)
        return false;
    SAT_fill_AREA_image(im, &area);
    AREA_init(&area);
    AREA_calc_domain(im, &area);
    return im->nx == 1800 && im->ny == 400;
}

class PixelDevice : public GksDevice {
  public:
    PixelDevice() { caps_.pixels = true; }
    int ws_type() const override { return GWS_WIN; }
    int device_class() const override { return GCLASS_X11; }
};

TEST_F(SatGeom, DomainCompletedToTheWindow) {
    // LL domain of 40 x 20 degrees: dx = 40 / (w - 1), dy = 20 / (h - 1).
    auto complete = [](float dx = 0.5f) {
        DOMAIN d = ll_domain(40, -100, dx, 0.5f, 81, 41);
        SAT_domain_image(&d);
        return d;
    };
    DOMAIN d = complete();
    EXPECT_EQ(std::pair(d.nx, d.ny), std::pair(640, 427)) << "no kernel, no geometry";
    EXPECT_NEAR(d.dx, 40.0 / 639, 1e-6);
    EXPECT_NEAR(d.dy, 20.0 / 426, 1e-6);
    RES_put("geometry", "800x600+10+20");
    d = complete();
    EXPECT_EQ(d.nx, 800);
    EXPECT_NEAR(d.dy, 20.0 / 599, 1e-6);
    RES_put("geometry", "junk");
    EXPECT_EQ(complete().nx, 640);
    EXPECT_EQ(complete(kMiss).nx, 81) << "no grid spacing: left alone";
    DOMAIN none;
    SAT_domain_image(&none);
    EXPECT_EQ(none.nx, -9999);

    // Kernel open: transformation 2's viewport in pixels, both edges included (NDC
    // 0.25..0.75 of a 641-pixel square is pixels 160..480).
    gopen_gks(nullptr);
    gset_win_size(641, 641);
    ASSERT_EQ(gopen_ws_device(std::make_unique<PixelDevice>()), 0);
    const float vp[4] = {0.25f, 0.75f, 0.25f, 0.75f};
    gset_vp(2, vp);
    d = complete();
    EXPECT_EQ(std::pair(d.nx, d.ny), std::pair(321, 321));
    gclose_ws(1);
}

// A global 0.5 degree latitude-longitude image onto polar stereographic, nearest
// neighbour, against gdalwarp.
TEST_F(SatGeom, RemapMatchesGdalNearest) {
    using testsupport::run_program;
    if (!testsupport::have_program("gdal_translate") || !testsupport::have_program("gdalwarp"))
        GTEST_SKIP() << "gdal-bin not installed";
    testsupport::TempDir dir;
    const IMAGE src = image_of(720, 360, ll_domain(0, 0, 0.5f, 0.5f, 720, 360));
    dir.write("src.pgm", "P5\n720 360\n255\n" + std::string(src.data.begin(), src.data.end()));
    const Stereo ps{-105, 60, 0.25, 400, 300};
    const double h = ps.dx / 2, x0 = ps.xmin() - h, y1 = ps.ymax() + h;
    auto metres = [](double v) { return std::to_string(v * 1e5); };
    testsupport::RunOptions opt;
    opt.env["GDAL_PAM_ENABLED"] = "NO";
    auto r = run_program("gdal_translate",
                         {"-q", "-a_srs", "+proj=longlat +R=6371220 +no_defs", "-a_ullr", "-180",
                          "90", "180", "-90", dir.file("src.pgm"), dir.file("src.tif")},
                         opt);
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_program("gdalwarp",
                    {"-q", "-of", "ENVI", "-et", "0", "-r", "near", "-t_srs",
                     "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105 +R=6371220 +no_defs", "-te",
                     metres(x0), metres(y1 - 300 * ps.dx), metres(-x0), metres(y1), "-ts", "400",
                     "300", dir.file("src.tif"), dir.file("out.raw")},
                    opt);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string want = testsupport::read_file(dir.file("out.raw"));
    ASSERT_EQ(want.size(), 400u * 300u);

    // Step 1 makes every pixel a segment end and must agree with the exact mode.
    for (int step : {0, 1}) {
        const IMAGE im = remap(src, ps.domain(), step);
        int differ = 0, compared = 0;
        for (int k = 0; k < 400 * 300; ++k) {
            double lat, lon;
            ps.grid_latlon(k % 400, k / 400, &lat, &lon);
            // Within half a pixel of the +-180 seam we show black (past the last pixel
            // centre) where GDAL repeats the edge pixel: left out.
            if (std::fabs(std::remainder(lon, 360.0)) > 179.7)
                continue;
            ++compared;
            differ += im.data[k] != uint8_t(want[k]);
        }
        // Only points within float rounding of a cell boundary may differ (7 of 119775).
        EXPECT_GT(compared, 110000);
        EXPECT_LE(differ, compared / 2000) << "step " << step;
    }
}

// Interpolated mode: exact navigation at columns 0, N, 2N ... and xmax, linear in
// between. A polar domain makes the image position strongly non-linear along rows.
TEST_F(SatGeom, RemapInterpolatesBetweenSegmentEnds) {
    const IMAGE src = image_of(3600, 400, ll_domain(70, 0, 0.1f, 0.1f, 3600, 400));
    const Stereo ps{-105, 85, 0.05, 640, 40};
    auto position = [&](double m, double r, double *row, double *col) {
        double lat, lon;
        ps.grid_latlon(m, r, &lat, &lon);
        *col = (std::remainder(lon, 360.0) + 179.95) / 0.1;
        *row = (89.95 - lat) / 0.1;
    };
    // Any positive step: the largest makes one segment of the whole row.
    for (int step : {20, 7, INT_MAX}) {
        const IMAGE im = remap(src, ps.domain(), step);
        int differ = 0, not_exact = 0;
        for (int k = 0; k < 640 * 40; ++k) {
            const int r = k / 640, m = k % 640, m0 = m - m % step, m1 = std::min(m0 + step, 639);
            double r0, c0, r1, c1, er, ec;
            position(m0, r, &r0, &c0);
            position(m1, r, &r1, &c1);
            position(m, r, &er, &ec);
            const double t = m1 > m0 ? double(m - m0) / (m1 - m0) : 0;
            const double row = r0 + t * (r1 - r0), col = c0 + t * (c1 - c0);
            differ +=
                im.data[k] != pattern(std::min(nearest(row), 399), std::min(nearest(col), 3599));
            not_exact += nearest(er) != nearest(row) || nearest(ec) != nearest(col);
        }
        EXPECT_LE(differ, 640 * 40 / 200) << "step " << step;
        EXPECT_GT(not_exact, 640 * 40 / 20) << "the model must differ from exact navigation";
    }
}

// Through the GVAR navigation: each output pixel shows the image pixel that AREA_tran gives
// for its latitude and longitude (pixel i at AREA line lcor + i lres); zoom moves the mapping.
TEST_F(SatGeom, RemapAndZoomThroughTheAreaNavigation) {
    IMAGE im;
    if (!read_gvar(&im))
        GTEST_SKIP() << "shared GVAR sample missing";
    for (int k = 0; k < 400 * 1800; ++k)
        im.data[k] = pattern(k / 1800, k % 1800);
    for (int step : {1, 20}) {
        const IMAGE out = remap(im, ll_domain(25, -80, 0.05f, 0.05f, 300, 200), step);
        EXPECT_EQ(out.source, SAT_IN_IMG);
        int checked = 0, differ = 0;
        for (int r = 0; r < 200; r += 7) {
            for (int m = 0; m < 300; m += 5) {
                float lat = float(25 + 99.5 * 0.05 - r * 0.05),
                      lon = float(-80 - 149.5 * 0.05 + m * 0.05), line = 0, elem = 0;
                if (AREA_tran(2, &lat, &lon, &line, &elem) != 0 || line == kMiss)
                    continue;
                const double row = (line - im.off_y) / im.res_y, col = (elem - im.off_x) / im.res_x;
                auto near_half = [](double v) { return std::fabs(v - std::floor(v) - 0.5) < 0.01; };
                if (row < 0 || col < 0 || row > 399 || col > 1799 || near_half(row) ||
                    near_half(col))
                    continue;
                ++checked;
                differ += out.data[r * 300 + m] != pattern(nearest(row), nearest(col));
            }
        }
        EXPECT_GT(checked, 1000);
        EXPECT_LE(differ, step == 1 ? 0 : checked / 20) << "step " << step;
    }

    // Zooming about 27 N 78 W moves the navigation of the (unremapped) image.
    const float off_y = im.off_y, off_x = im.off_x, res_y = im.res_y, res_x = im.res_x;
    float lat = 27, lon = -78, line = 0, elem = 0, res[4], res2[4];
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &line, &elem), 0);
    const double row = (line - off_y) / res_y, col = (elem - off_x) / res_x;
    SAT_zoom_image(&im, 27, -78, 2);
    ASSERT_EQ(im.nx, 640);
    AREA_get_res(res);
    EXPECT_NEAR(res[0], (row - 106.5) * res_y + off_y, 1e-2);
    EXPECT_NEAR(res[1], (col - 159.75) * res_x + off_x, 1e-2);
    EXPECT_FLOAT_EQ(res[2], res_y / 2);
    EXPECT_FLOAT_EQ(res[3], res_x / 2);
    // The centre now navigates to the middle of the 640 x 427 output.
    AREA_tran(2, &lat, &lon, &line, &elem);
    EXPECT_NEAR((line - res[0]) / res[2], 213, 1e-2);
    EXPECT_NEAR((elem - res[1]) / res[3], 319.5, 1e-2);
    EXPECT_FLOAT_EQ(im.domain.clat, 27);
    // A second zoom starts from the zoomed mapping.
    SAT_zoom_image(&im, kMiss, kMiss, 2);
    AREA_get_res(res2);
    EXPECT_NEAR(res2[0], res[0], 1e-3);
    EXPECT_FLOAT_EQ(res2[2], res_y / 4);
}

// A two-pixel image [a, b] remapped onto one latitude-longitude point at column t: bilinear,
// nearest (a half goes to the first pixel), and with "cutoff" 0:100 making classes [0, 100)
// and [100, 256): across classes nearest, 0 averaged as the bound 100, a result equal to the
// bound taken as the base 0. A pixel of 100 is in the upper class only, and a result of 100
// without a base pixel stays 100.
TEST_F(SatGeom, SamplingAndCutoffClasses) {
    const struct {
        int pix_ave, numcut, a, b;
        float t;
        int want;
    } rows[] = {
        {1, 0, 50, 150, 0.25f, 75},   {1, 0, 0, 150, 0.5f, 75},    {0, 0, 50, 150, 0.5f, 50},
        {0, 0, 50, 150, 0.625f, 150}, {1, 1, 50, 150, 0.25f, 50},  {1, 1, 50, 150, 0.625f, 150},
        {1, 1, 0, 150, 0.5f, 125},    {1, 1, 0, 150, 0.125f, 106}, {1, 1, 0, 150, 0.0f, 0},
        {1, 1, 20, 60, 0.5f, 40},     {1, 1, 20, 100, 0.25f, 20},  {1, 1, 20, 100, 0.75f, 100},
        {1, 1, 100, 150, 0.5f, 125},  {1, 1, 100, 150, 0.0f, 100},
    };
    SAT_params().cutoff[1] = 100;
    SAT_params().cutoff[2] = 256;
    for (const auto &r : rows) {
        SAT_params().numcut = r.numcut;
        IMAGE im = image_of(2, 1, ll_domain(0, 0, 1, 1, 2, 1));
        im.data = {uint8_t(r.a), uint8_t(r.b)};
        EXPECT_EQ(remap(im, ll_domain(0, r.t - 0.5f, 1, 1, 1, 1), 0, r.pix_ave).data[0], r.want)
            << r.a << " " << r.b << " " << r.t;
    }
}

// The vector samplers (AVX2, AVX-512, where the processor has them) give the plain code's
// pixels: noise with flat blocks (four equal neighbours), a domain reaching past the
// image's edges (groups with pixels off the image), exact and segment positions.
TEST_F(SatGeom, VectorSamplersGiveThePlainCodesPixels) {
    const IMAGE src =
        image_of(1200, 300, ll_domain(60, -100, 0.1f, 0.1f, 1200, 300), [](int r, int c) {
            return (r / 9 + c / 13) % 3 == 0 ? uint8_t(77) : uint8_t((r * 7919 + c * 104729) >> 3);
        });
    const Stereo ps{-100, 62, 0.12, 517, 301};
    SAT_params().pix_ave = 1;
    for (int step : {0, 20}) {
        SAT_remap_isa_limit(0);
        const IMAGE plain = remap(src, ps.domain(), step, 1);
        EXPECT_GT(std::count(plain.data.begin(), plain.data.end(), 0), 5000) << "off the image";
        for (int isa : {1, 2}) {
            SAT_remap_isa_limit(isa);
            EXPECT_EQ(remap(src, ps.domain(), step, 1).data, plain.data)
                << "step " << step << " isa " << isa;
        }
    }
}

TEST_F(SatGeom, LongitudeLimits) {
    const IMAGE src = image_of(720, 360, ll_domain(0, 0, 0.5f, 0.5f, 720, 360),
                               [](int, int) { return uint8_t(200); });
    const Stereo ps{-105, 55, 0.5, 200, 150};
    SAT_params().min_lon = -110;
    SAT_params().max_lon = -80;
    for (int step : {0, 20}) {
        const IMAGE im = remap(src, ps.domain(), step, 1);
        int inside = 0, wrong = 0;
        for (int k = 0; k < 200 * 150; ++k) {
            double lat, lon;
            ps.grid_latlon(k % 200, k / 200, &lat, &lon);
            if (std::fabs(lon + 110) < 0.3 || std::fabs(lon + 80) < 0.3)
                continue;
            const bool in = lon > -110 && lon < -80;
            inside += in;
            wrong += im.data[k] != (in ? 200 : 0);
        }
        EXPECT_GT(inside, 1000);
        EXPECT_EQ(wrong, 0) << "step " << step;
    }
}

TEST_F(SatGeom, BadInputRemapAndZoom) {
    IMAGE im = image_of(4, 4, ll_domain(0, 0, 1, 1, 4, 4));
    const std::vector<uint8_t> before(im.data.begin(), im.data.end());
    const DOMAIN refused[] = {DOMAIN{}, DOMAIN{.proj = 50},
                              ll_domain(0, 0, 0.001f, 0.001f, 100000, 100000),
                              ll_domain(0, 0, 1, 1, -5, 3), ll_domain(0, 0, NAN, 1, 3, 3)};
    for (const DOMAIN &d : refused)
        EXPECT_EQ(SAT_remap_image(&im, &d), 0);
    EXPECT_EQ(im.data, before);
    const DOMAIN ok = ll_domain(0, 0, 1, 1, 3, 3);
    IMAGE truncated = im;
    truncated.data.erase(truncated.data.begin() + 5, truncated.data.end());
    EXPECT_EQ(SAT_remap_image(&truncated, &ok), 0);
    // An empty image, one without a domain and one whose domain has dx 0 give black.
    IMAGE empty, nodomain = im, flat = im;
    nodomain.domain.proj = -9999;
    flat.domain.dx = 0;
    for (const IMAGE &src : {empty, nodomain, flat})
        for (int step : {0, 20})
            EXPECT_EQ(remap(src, ok, step).data, std::vector<uint8_t>(9, 0));
    // Zoom: bad factors change nothing; huge and tiny ones stay bounded.
    const IMAGE small = image_of(50, 40, ll_domain(0, 0, 1, 1, 50, 40));
    for (float f : {0.0f, -2.0f, NAN, INFINITY}) {
        IMAGE z = small;
        SAT_zoom_image(&z, kMiss, kMiss, f);
        EXPECT_EQ(z.data, small.data) << f;
    }
    SAT_params().pix_ave = 0;
    IMAGE z = small;
    SAT_zoom_image(&z, 0.5f, 0.5f, 1e30f); // every pixel shows grid point (25, 19)
    EXPECT_EQ(std::tuple(z.nx, z.data.front(), z.data.back()),
              std::tuple(640, pattern(19, 25), pattern(19, 25)));
    z = small;
    SAT_zoom_image(&z, kMiss, kMiss, 1e-30f);
    EXPECT_EQ(std::pair(z.nx, z.data.size()), std::pair(0, size_t(0)));
    z = empty;
    SAT_zoom_image(&z, 10, 10, 2);
    EXPECT_EQ(z.nx, 0);
}

uint8_t ramp(int r, int c) {
    return uint8_t(2 * c + r);
}

TEST_F(SatGeom, ZoomClosedForms) {
    // Window 640 x 427: a 1000 x 800 image doubled fills it, halved is 500 x 400.
    for (auto [f, nx, ny] : {std::tuple{2.0f, 640, 427}, std::tuple{0.5f, 500, 400}}) {
        IMAGE im = image_of(1000, 800, DOMAIN{});
        SAT_zoom_image(&im, kMiss, kMiss, f);
        EXPECT_EQ(std::tuple(im.nx, im.ny, im.data.size()), std::tuple(nx, ny, size_t(nx) * ny));
    }

    // From the corner, bilinear: a linear ramp 2c + r comes back exactly at (r/4, m/4);
    // past the last row and column the last one repeats.
    IMAGE im = image_of(100, 50, ll_domain(40, -100, 0.2f, 0.1f, 100, 50), ramp);
    SAT_zoom_image(&im, kMiss, kMiss, 4);
    ASSERT_EQ(std::pair(im.nx, im.ny), std::pair(400, 200));
    for (int r : {0, 1, 3, 57, 195})
        for (int m : {0, 1, 3, 101, 390})
            EXPECT_EQ(im.data[r * 400 + m], int(m / 2.0 + r / 4.0)) << r << " " << m;
    EXPECT_EQ(im.data[199 * 400 + 399], ramp(49, 99));
    EXPECT_FLOAT_EQ(im.domain.dx, 0.05f);
    EXPECT_EQ(im.domain.nx, 400);
    // The upper-left grid point stays: centre = corner + (n - 1) / 2 new steps.
    EXPECT_NEAR(im.domain.clon, -100 - 49.5 * 0.2 + 199.5 * 0.05, 1e-4);
    EXPECT_NEAR(im.domain.clat, 40 + 24.5 * 0.1 - 99.5 * 0.025, 1e-4);

    // About a centre at source grid (700, 250), factor 3: output (r, m) shows source
    // (250 + (r - 213) / 3, 700 + (m - 319.5) / 3).
    SAT_params().pix_ave = 0;
    const IMAGE ll = image_of(1000, 800, ll_domain(40, -100, 0.02f, 0.02f, 1000, 800));
    im = ll;
    const float lon = -100 + 200.5f * 0.02f, lat = 40 + 149.5f * 0.02f;
    SAT_zoom_image(&im, lat, lon, 3);
    EXPECT_FLOAT_EQ(im.domain.clat, lat);
    EXPECT_FLOAT_EQ(im.domain.clon, lon);
    EXPECT_NEAR(im.domain.dx, 0.02 / 3, 1e-7);
    for (int r : {0, 100, 213, 426})
        for (int m : {1, 319, 320, 638})
            EXPECT_EQ(im.data[r * 640 + m],
                      pattern(nearest(250 + (r - 213) / 3.0), nearest(700 + (m - 319.5) / 3.0)));
    // About the upper-left pixel: the outside is black.
    im = ll;
    SAT_zoom_image(&im, 40 + 399.5f * 0.02f, -100 - 499.5f * 0.02f, 2);
    EXPECT_EQ(im.data[0], 0);
    EXPECT_EQ(im.data[425 * 640 + 638], pattern(106, 159));
}

TEST_F(SatGeom, ImageSetupDomainParametersAndOffset) {
    // An image of the window's size: the displayed domain is the image's.
    IMAGE im = image_of(640, 427, Stereo{-105, 50, 0.1, 640, 427}.domain());
    DOMAIN pd;
    SAT_image_setup(&im, &pd);
    EXPECT_EQ(std::tuple(pd.proj, pd.nx, pd.ny), std::tuple(1, 640, 427));
    EXPECT_NEAR(pd.clat, 50, 1e-4);
    EXPECT_NEAR(pd.clon, -105, 1e-4);

    // Which parameters and ellipsoid flag the displayed domain keeps, by source and projection.
    struct Case {
        int source, proj, tran_sat, params;
        bool ellipsoid;
    };
    const Case cases[] = {
        {SAT_IN_IMG, 1, 1, 5, true},     {SAT_IN_AWIP, 4, 0, 5, true},
        {SAT_IN_AREA, 9, 1, 5, true},    {SAT_IN_AREA, 9, 0, 4, true},
        {SAT_IN_AREA, 1, 1, 3, false},   {SAT_IN_AREA, 2, 0, 3, false},
        {SAT_IN_RASTER, 3, 1, 4, false}, {SAT_IN_AREA, 4, 0, 4, false},
        {SAT_IN_AREA, 7, 0, 2, false},   {SAT_IN_RASTER, 9, 1, 4, true},
        {SAT_IN_IMG, 9, 1, 4, true},     {SAT_IN_RASTER, 5, 1, 0, false},
    };
    for (const Case &c : cases) {
        SAT_params().tran_sat = c.tran_sat;
        IMAGE x = image_of(8, 8, ll_domain(10, 20, 1, 1, 8, 8));
        x.source = c.source;
        x.domain.proj = c.proj;
        std::iota(x.domain.param, x.domain.param + 7, 1.0f);
        x.domain.ellipsoid = 1;
        SAT_image_setup(&x, &pd);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(pd.param[i], i < c.params ? float(i + 1) : kMiss)
                << "source " << c.source << " proj " << c.proj << " param " << i;
        EXPECT_EQ(pd.ellipsoid, c.ellipsoid ? 1 : 0) << c.source << " " << c.proj;
    }

    // Pixel offset -10 turns values below 10 into 0; +300 saturates.
    im = image_of(16, 16, DOMAIN{}, [](int r, int c) { return uint8_t(r * 16 + c); });
    SAT_params().pix_off = -10;
    SAT_image_setup(&im, &pd);
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(im.data[v], std::max(v - 10, 0));
    SAT_params().pix_off = 300;
    im.ny = 1000; // more rows than the buffer holds
    SAT_image_setup(&im, &pd);
    EXPECT_EQ(im.data[0], 255);
}

} // namespace

namespace {

// Exact navigation of output grid point (m, r) of a polar stereographic domain: through
// the GVAR navigation (pixel coordinates from 1) or the image's own domain.
class ExactLocator final : public remap::Locator {
  public:
    ExactLocator(const DOMAIN &out, const DOMAIN *image) : out_(out), proj_(out) {
        if (image)
            img_ = MapProjection(*image);
        use_nav_ = image == nullptr;
        proj_.limits(lim_);
    }
    void locate(int m, int r, double *row, double *col) const override {
        *row = *col = NAN;
        const float x = m == out_.nx - 1 ? lim_[1] : lim_[0] + float(m) * out_.dx;
        float lat = kMiss, lon = kMiss, a = kMiss, b = kMiss;
        proj_.untran(&lat, &lon, x, lim_[3] - float(r) * out_.dy);
        if (lat == kMiss)
            return;
        if (use_nav_) {
            if (AREA_navigation().tran(2, &lat, &lon, &a, &b) != 0 || a == kMiss)
                return;
            AREA_navigation().line_elem(2, &a, &b, &a, &b);
            *row = a - 1.0;
            *col = b - 1.0;
        } else if (img_.tran(&a, &b, lat, lon), a != kMiss) {
            float gx = kMiss, gy = kMiss;
            img_.grid_untran(&gx, &gy, a, b);
            if (gx != kMiss) {
                *row = gy;
                *col = gx;
            }
        }
    }

  private:
    DOMAIN out_;
    MapProjection proj_, img_;
    bool use_nav_ = false;
    float lim_[4] = {};
};

} // namespace

// The navigation grid against exact navigation of every output pixel: a polar domain
// over a latitude-longitude image (strongly curved rows near the pole) and the GVAR
// sector seen from a polar domain whose corners lie off the earth disc.
TEST_F(SatGeom, NavigationGridWithinItsBound) {
    const DOMAIN ll = ll_domain(70, 0, 0.1f, 0.1f, 3600, 400);
    const Stereo polar{-105, 85, 0.05, 640, 400};
    struct Case {
        const char *what;
        DOMAIN out;
        const DOMAIN *image;
    } cases[] = {{"latitude-longitude", polar.domain(), &ll}};
    std::vector<Case> all(std::begin(cases), std::end(cases));
    IMAGE gvar;
    // 60 N 80 W at 40 km spacing: the disc's limb crosses the output.
    const Stereo disc{-75, 45, 0.4, 700, 500};
    if (read_gvar(&gvar))
        all.push_back({"GVAR", disc.domain(), nullptr});
    for (const Case &c : all) {
        const ExactLocator loc(c.out, c.image);
        for (int step : {20, 64}) {
            const remap::Table t =
                remap::build_table(loc, c.out.nx, c.out.ny, step, SAT_REMAP_MAX_ERROR, 2);
            const remap::TableCheck check = remap::check_table(t, loc);
            EXPECT_LE(check.max_error, SAT_REMAP_MAX_ERROR) << c.what << " step " << step;
            EXPECT_EQ(check.disagree, 0) << c.what << " step " << step;
            EXPECT_GT(check.shown, c.out.nx * c.out.ny / 4) << c.what;
        }
    }
}

// The fixed-point kernel gives the floating-point formula truncated, at any position it
// can hold (fractions of 1/65536), including neighbours past the last row and column.
TEST_F(SatGeom, FixedPointKernelTruncatesLikeTheFormula) {
    std::mt19937 gen(7);
    std::vector<uint8_t> px(37 * 23);
    for (auto &v : px)
        v = uint8_t(gen());
    const remap::Sampler s(remap::Source{px.data(), 37, 23, 37}, true, remap::Cutoffs{});
    std::uniform_int_distribution<int64_t> pos(-1000, 37 * 65536 + 1000);
    for (int k = 0; k < 20000; ++k) {
        const int64_t fr = pos(gen) % (23 * 65536), fc = pos(gen);
        const double row = double(fr) / 65536, col = double(fc) / 65536;
        int want = 0;
        if (row >= 0 && col >= 0 && row <= 22 && col <= 36) {
            const int i = int(row), j = int(col), i1 = std::min(i + 1, 22),
                      j1 = std::min(j + 1, 36);
            const double a = row - i, b = col - j;
            want = int((1 - a) * (1 - b) * px[i * 37 + j] + (1 - a) * b * px[i * 37 + j1] +
                       a * (1 - b) * px[i1 * 37 + j] + a * b * px[i1 * 37 + j1]);
        }
        ASSERT_EQ(s.at(fr, fc), want) << row << " " << col;
    }
}

// The same output whatever the number of threads, in the row-segment, exact and grid
// modes; the kept table is used again while nothing that places pixels changes.
TEST_F(SatGeom, ThreadsAndTheKeptTable) {
    const IMAGE src = image_of(3600, 400, ll_domain(70, 0, 0.1f, 0.1f, 3600, 400));
    const Stereo ps{-105, 85, 0.05, 333, 211};
    DOMAIN out = ps.domain();
    SAT_params().pix_ave = 1;
    auto run = [&](int threads, float bound, SAT_REMAP_CACHE *cache, const DOMAIN &d) {
        SAT_GEOM g = SAT_geom_context();
        g.threads = threads;
        g.max_error = bound;
        g.cache = cache;
        IMAGE im = src;
        EXPECT_EQ(SAT_remap_image(g, &im, &d), 1);
        return im.data;
    };
    for (int step : {0, 20}) {
        SAT_params().remap_inc = step;
        for (float bound : {0.0f, SAT_REMAP_MAX_ERROR}) {
            const auto one = run(1, bound, nullptr, out);
            for (int threads : {2, 4})
                EXPECT_EQ(run(threads, bound, nullptr, out), one)
                    << "step " << step << " bound " << bound << " threads " << threads;
        }
    }

    // The resources: "threads" 1 is the calling thread alone; "remap_error" above 0
    // asks for the grid.
    RES_put("threads", "1");
    RES_put("remap_error", "0.125");
    EXPECT_EQ(std::pair(SAT_geom_context().threads, SAT_geom_context().max_error),
              std::pair(1, 0.125f));
    RES_put("threads", "none");
    RES_put("remap_error", "-1");
    EXPECT_EQ(std::pair(SAT_geom_context().threads >= 1, SAT_geom_context().max_error),
              std::pair(true, 0.0f));

    SAT_geom_reset_state();
    SAT_REMAP_CACHE *cache = SAT_remap_cache();
    SAT_params().remap_inc = 20;
    const auto fresh = run(2, 0, nullptr, out);
    // Kept from the second remap on, used from the third.
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(run(2 - k % 2, 0, cache, out), fresh);
    SAT_REMAP_STATS st = SAT_remap_cache_stats(cache);
    EXPECT_EQ(std::tuple(st.made, st.reused), std::tuple(1, 1));
    EXPECT_GT(st.bytes, 0u);
    // Any change that moves pixels drops it: the domain, the step, the bound.
    DOMAIN moved = out;
    moved.clat += 0.5f;
    EXPECT_EQ(run(1, 0, cache, moved), run(1, 0, nullptr, moved));
    SAT_params().remap_inc = 7;
    EXPECT_EQ(run(1, 0, cache, out), run(1, 0, nullptr, out));
    EXPECT_EQ(run(1, SAT_REMAP_MAX_ERROR, cache, out), run(1, SAT_REMAP_MAX_ERROR, nullptr, out));
    st = SAT_remap_cache_stats(cache);
    EXPECT_EQ(std::tuple(st.made, st.reused), std::tuple(2, 1)); // the grid's

    // A moved navigation (another sector of the scan) too.
    IMAGE gvar;
    if (!read_gvar(&gvar))
        return;
    const DOMAIN d = ll_domain(25, -80, 0.05f, 0.05f, 300, 200);
    auto through_nav = [&](SAT_REMAP_CACHE *c) {
        SAT_GEOM g = SAT_geom_context();
        g.cache = c;
        IMAGE im = gvar;
        EXPECT_EQ(SAT_remap_image(g, &im, &d), 1);
        return im.data;
    };
    through_nav(cache);
    through_nav(cache);
    AREA_navigation().lcor += 3;
    EXPECT_EQ(through_nav(cache), through_nav(nullptr));
    st = SAT_remap_cache_stats(cache);
    EXPECT_EQ(std::tuple(st.made, st.reused), std::tuple(3, 1));
}
