// Map projections against PROJ 9.1 (`proj`, sphere of radius 6371220 m; plot
// units are 100 km) and closed forms. Each table states the proj command line
// that produced it; "*" answers from proj (not on the map) are rows with on=false.
#include "map/maptran.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr double kR = 63.7122;
constexpr float kMiss = -9999.0f;

// Rows of PROJ results; kOff marks a point proj reports as not on the map ("*").
constexpr double kOff = std::numeric_limits<double>::quiet_NaN();
struct Fwd {
    double lat, lon, xm, ym; // input, PROJ output in metres
};
struct Inv {
    double xm, ym, lat, lon; // PROJ input in metres, output
};

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

void check_fwd(const std::vector<Fwd> &rows, double abs_tol, const Conv &conv = metres) {
    for (const Fwd &r : rows) {
        float x = 0, y = 0;
        const int res = MAP_tran(&x, &y, static_cast<float>(r.lat), static_cast<float>(r.lon));
        SCOPED_TRACE(testing::Message() << "lat " << r.lat << " lon " << r.lon);
        if (std::isnan(r.xm)) {
            EXPECT_EQ(res, 0);
            EXPECT_EQ(x, kMiss);
            EXPECT_EQ(y, kMiss);
            continue;
        }
        ASSERT_EQ(res, 1);
        const double ex = conv(r.xm), ey = conv(r.ym);
        EXPECT_NEAR(x, ex, tol(ex, abs_tol));
        EXPECT_NEAR(y, ey, tol(ey, abs_tol));
    }
}

void check_inv(const std::vector<Inv> &rows, double deg_tol, const Conv &conv = metres) {
    for (const Inv &r : rows) {
        float lat = 0, lon = 0;
        const int res =
            MAP_untran(&lat, &lon, static_cast<float>(conv(r.xm)), static_cast<float>(conv(r.ym)));
        SCOPED_TRACE(testing::Message() << "x " << r.xm << " y " << r.ym);
        if (std::isnan(r.lat)) {
            EXPECT_EQ(res, 0);
            EXPECT_EQ(lat, kMiss);
            EXPECT_EQ(lon, kMiss);
            continue;
        }
        ASSERT_EQ(res, 1);
        EXPECT_NEAR(lat, r.lat, deg_tol);
        if (std::fabs(r.lat) < 89.99) {
            EXPECT_NEAR(lon_diff(lon, r.lon), 0.0, deg_tol);
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

// clang-format off
// proj -f %.4f +proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105 +R=6371220
// (rows below -75 use proj's answer at -75: the far hemisphere is cut there)
const std::vector<Fwd> kPsNorth = {
    {90, 0, 0.0000, 0.0000}, {60, -105, 0.0000, -3185610.0000},
    {40, -100, 483179.7333, -5522769.6233}, {30, -60, 4853606.1064, -4853606.1064},
    {0, 180, -11483755.3477, -3077062.9715}, {-10, 75, 0.0000, 14168589.6780},
    {45, 179.9, -4758944.4949, -1266257.2229}, {45, -179.9, -4754495.4392, -1282861.3247},
    {20, 255, 0.0000, -8324668.2536}, {-75, 30, 63855168.1908, 63855168.1908},
    {-80, 30, 63855168.1908, 63855168.1908}, {-90, -105, 0.0000, -90304844.8831},
    {89.999, 12, 92.4418, 47.1015}
};
// proj -I -f %.7f, same definition
const std::vector<Inv> kPsNorthInv = {
    {0, -1, 89.9999904, -105.0000000}, {1000000, -2000000, 68.6963833, -78.4349488},
    {-3000000, 500000, 61.3009252, 155.5376778}, {5000000, 5000000, 28.5146634, 30.0000000},
    {0, 12000000, -0.5331272, 75.0000000}, {-20000000, 1, -28.5418664, 164.9999971}
};
// proj -f %.4f +proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=140 +R=6371220 (80 N cut to 75 N)
const std::vector<Fwd> kPsSouth = {
    {-90, 0, 0.0000, 0.0000}, {-70, 140, 0.0000, 2096326.5010},
    {-40, -60, 1896113.7434, -5209529.6946}, {10, 0, -9107393.8917, -10853769.3897},
    {-60, -179.99, 2048096.5221, 2439961.4153}, {80, 20, -78206289.7536, -45152422.4415},
    {-45, 320, -0.0000, -4924526.3793}
};
const std::vector<Inv> kPsSouthInv = {
    {1000000, -2000000, -68.6963833, -66.5650512}, {-3000000, 500000, -61.3009252, 59.4623222},
    {4000000, 4000000, -39.1087254, -175.0000000}
};
// proj -f %.4f +proj=stere +lat_0=90 +lat_ts=45 +lon_0=10 +R=6371220
const std::vector<Fwd> kPsTrue45 = {
    {50, 0, -687415.6059, -3898527.6281}, {10, 100, 9126343.6788, -0.0000},
    {70, -150, -655924.3368, 1802137.3042}
};
// clang-format on

TEST_F(MapTranTest, PolarStereographicMatchesProj) {
    set(make(1, 60, -105));
    check_fwd(kPsNorth, 1e-4);
    check_inv(kPsNorthInv, 1e-4);
    check_round_trip(1e-3, -75, 85);
    set(make(1, -60, 140));
    check_fwd(kPsSouth, 1e-4);
    check_inv(kPsSouthInv, 1e-4);
    check_round_trip(1e-3, -85, 75);
    set(make(1, 60, 10, 45));
    check_fwd(kPsTrue45, 1e-4);

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

// clang-format off
// proj -f %.4f +proj=merc +lon_0=170 +R=6371220 (rows at +-90 use proj at +-89.9)
const std::vector<Fwd> kMerc = {
    {0, 170, 0.0000, 0.0000}, {10, -170, 2223975.3274, 1117676.5544},
    {-20, 160, -1111987.6637, -2270565.8569}, {45, -10.1, 20004658.0698, 5615425.0251},
    {45, -9.9, -20004658.0698, 5615425.0251}, {89.9, 0, -18903790.2827, 44878612.3628},
    {90, 0, -18903790.2827, 44878612.3628}, {-90, 175, 555993.8318, -44878612.3628},
    {-60, 530, 0.0000, -8390628.4920}
};
const std::vector<Inv> kMercInv = {
    {0, 0, 0.0000000, 170.0000000}, {2000000, 3000000, 26.0337126, -172.0141890},
    {-15000000, -5000000, -40.9531131, 35.1064172}, {19000000, 20000000, 85.0388733, -19.1347951}
};
// clang-format on

TEST_F(MapTranTest, MercatorMatchesProj) {
    set(make(3, 0, 170));
    check_fwd(kMerc, 1e-4);
    check_inv(kMercInv, 1e-4);
    check_round_trip(1e-3);
}

// --- Lambert conformal ------------------------------------------------------

// clang-format off
// proj -f %.4f +proj=lcc +lat_0=90 +lat_1=30 +lat_2=60 +lon_0=-95 +R=6371220
// (-89.5 uses proj at -89: the far hemisphere is cut there)
const std::vector<Fwd> kLccNorth = {
    {40, -95, 0.0000, -6617929.8286}, {30, -120, -2368598.1230, -7338062.4672},
    {60, -60, 1884598.2462, -4033290.0629}, {0, -95, 0.0000, -11423760.7285},
    {-30, 0, 15689757.4765, -6345811.4376}, {89.9, 10, 71449.0868, -18965.0460},
    {90, 0, 0.0000, 0.0000}, {-89.5, 20, 336758675.1982, -45590288.8120},
    {45, 84.9, 4743037.0935, 3804033.1130}, {45, -274.9, -4743037.0935, 3804033.1130},
    {10, 170, -9341005.8181, -3778022.8055}
};
const std::vector<Inv> kLccNorthInv = {
    {0, -5000000, 55.0149494, -95.0000000}, {1500000, -4000000, 61.6103700, -66.2730609},
    {-2500000, -9000000, 15.9102189, -116.6948438}, {0, -1, 90.0000000, -95.0000000}
};
// proj -f %.4f +proj=lcc +lat_0=90 +lat_1=25 +lat_2=45 +lon_0=-95 +R=6371220
const std::vector<Fwd> kLcc2545 = {
    {35, -95, 0.0000, -8914652.8431}, {20, -60, 3648287.7053, -9927130.3035},
    {55, -130, -2303123.0696, -6266885.9102}
};
// proj -f %.4f +proj=lcc +lat_0=90 +lat_1=45 +lat_2=45 +lon_0=10 +R=6371220
const std::vector<Fwd> kLccTangent = {
    {45, 10, 0.0000, -6371220.0000}, {30, 40, 2915505.8135, -7511488.1538},
    {70, -30, -1650404.6512, -3067150.8765}
};
// proj -f %.4f +proj=lcc +lat_0=-90 +lat_1=-30 +lat_2=-60 +lon_0=135 +R=6371220
// (89.5 uses proj at 89)
const std::vector<Fwd> kLccSouth = {
    {-35, 135, 0.0000, 7160266.8345}, {-20, 110, -2719235.8237, 8424359.6006},
    {-60, 170, 1884598.2462, 4033290.0629}, {10, 135, 0.0000, 12951665.2237},
    {89.5, 0, -337577486.5922, -39068149.4482}, {-40, -45.1, 5162632.0259, -4140558.6315}
};
const std::vector<Inv> kLccSouthInv = {
    {1000000, 5000000, -54.1045039, 150.8055568}, {-2000000, 7000000, -33.9040841, 112.7164133}
};
// clang-format on

TEST_F(MapTranTest, LambertConformalMatchesProj) {
    set(make(4, 40, -95));
    check_fwd(kLccNorth, 1e-4);
    check_inv(kLccNorthInv, 1e-4);
    check_round_trip(1e-3);
    set(make(4, 30, -95, 25, 45));
    check_fwd(kLcc2545, 1e-4);
    set(make(4, 45, 10, 45, 45));
    check_fwd(kLccTangent, 1e-4);
    // A southern cone: default true latitudes, the same given as southern
    // latitudes, and given as magnitudes.
    for (const DOMAIN &d :
         {make(4, -35, 135), make(4, -35, 135, -30, -60), make(4, -35, 135, 30, 60)}) {
        set(d);
        check_fwd(kLccSouth, 1e-4);
        check_inv(kLccSouthInv, 1e-4);
        check_round_trip(1e-3);
    }
}

// clang-format off
// proj -f %.4f +proj=lcc +lat_0=90 +lat_1=5 +lat_2=5 +lon_0=0 +R=6371220 (a flat cone:
// 1/2n = 5.7, beyond the power tables, so exp and log do the inverse)
const std::vector<Fwd> kLccFlat = {
    {5, 0, 0.0000, -72823377.8324}, {30, 20, 2127759.8589, -69917392.2416},
    {-10, -40, -4530890.9468, -74372746.8497}, {60, 0, 0.0000, -65422879.0190}
};
const std::vector<Inv> kLccFlatInv = {
    {1000000, -60000000, 78.6418461, 10.9555747}, {-3000000, -65000000, 61.7343995, -30.3198069}
};
// clang-format on

TEST_F(MapTranTest, LambertFlatConeMatchesProj) {
    set(make(4, 30, 0, 5, 5));
    check_fwd(kLccFlat, 1e-4);
    check_inv(kLccFlatInv, 1e-4);
    check_round_trip(1e-3);
}

TEST_F(MapTranTest, LambertTrueLatitudesCanBeReplaced) {
    set(make(4, 30, -95));
    const float t[2] = {25, 45};
    ASSERT_EQ(MAP_proj_coord(t), 0);
    check_fwd(kLcc2545, 1e-4);
    set(make(1, 60, -105));
    EXPECT_EQ(MAP_proj_coord(t), -1); // Lambert conformal only
}

// --- Azimuthal projections --------------------------------------------------

// clang-format off
// proj -f %.4f +proj=ortho +lat_0=40 +lon_0=-100 +R=6371220
const std::vector<Fwd> kOrtho = {
    {40, -100, 0.0000, 0.0000}, {90, 0, 0.0000, 4880637.6769},
    {0, -100, 0.0000, -4095341.2746}, {50, -20, 4033123.8384, 3281667.8951},
    {-40, 80, kOff, kOff}, {-60, -100, kOff, kOff},
    {-49, -100, 0.0000, -6370249.6323}, {10, -10, 6274426.8521, 847513.8384},
    {30, 175, -5496642.0933, 2131206.2168}
};
const std::vector<Inv> kOrthoInv = {
    {0, 0, 40.0000000, -100.0000000}, {3000000, -2000000, 16.8271833, -70.5324336},
    {-6000000, 1000000, 18.1471203, 177.6805084}, {0, 6371000, 50.4761447, 80.0000000},
    {5000000, 5000000, kOff, kOff}
};
// clang-format on

TEST_F(MapTranTest, OrthographicMatchesProj) {
    set(make(5, 40, -100));
    check_fwd(kOrtho, 1e-4);
    check_inv(kOrthoInv, 1e-4);
    check_round_trip(2e-3);
}

// clang-format off
// proj -f %.4f +proj=gnom +lat_0=40 +lon_0=-100 +R=6371220
const std::vector<Fwd> kGnom = {
    {40, -100, 0.0000, 0.0000}, {50, -90, 727646.4542, 1172937.3100},
    {0, -100, 0.0000, -5346088.3521}, {-45, -100, 0.0000, -72823377.8324},
    {-55, -100, kOff, kOff}, {10, -10, 56212944.3852, 7592924.3242},
    {-40, 80, kOff, kOff}, {85, 80, 0.0000, 9099045.1435}
};
const std::vector<Inv> kGnomInv = {
    {0, 0, 40.0000000, -100.0000000}, {3000000, -2000000, 20.4957729, -74.0560459},
    {-60000000, 10000000, 11.0819272, 168.5228235}, {0, 300000000, 51.2166305, 80.0000000}
};
// proj -f %.4f +proj=gnom +lat_0=90 +lon_0=0 +R=6371220
const std::vector<Fwd> kGnomPolar = {
    {60, 45, 2601039.6732, -2601039.6732}, {10, -135, -25549878.1204, 25549878.1204},
    {-1, 0, kOff, kOff}
};
// clang-format on

TEST_F(MapTranTest, GnomonicMatchesProj) {
    set(make(6, 40, -100));
    check_fwd(kGnom, 1e-4);
    check_inv(kGnomInv, 1e-4);
    check_round_trip(1e-3);
    set(make(6, 90, 0));
    check_fwd(kGnomPolar, 1e-4);
}

// clang-format off
// proj -f %.4f +proj=laea +lat_0=40 +lon_0=-100 +R=6371220
const std::vector<Fwd> kLaea = {
    {40, -100, 0.0000, 0.0000}, {90, 0, 0.0000, 5385187.8431},
    {-30, 60, 11359165.5553, 5371931.4701}, {-39, 79, 7839955.7966, 10044159.7091},
    {-40, 80, kOff, kOff}, {0, -10, 9010265.7329, -0.0000},
    {10, 175, -8146608.5111, 646463.0124}
};
const std::vector<Inv> kLaeaInv = {
    {3000000, -2000000, 18.0120006, -71.6472680}, {-9000000, 6000000, 5.6108841, 128.6165901},
    {0, -12500000, -62.3889878, 80.0000000}, {12000000, 0, -29.8244014, 33.0940468},
    {12800000, 0, kOff, kOff}
};
// proj -I -f %.7f +proj=laea +lat_0=0 +lon_0=20 +R=6371220 (first row: on the
// equator 90 degrees from the centre)
const std::vector<Inv> kLaeaEquatorInv = {
    {9010277.5635, 0, 0.0000000, 110.0001505}, {-5000000, 3000000, 24.7509885, -30.2085220}
};
// proj [-I] -f %.4f +proj=laea +lat_0=90 +lon_0=-100 +R=6371220, then lat_0=-90 lon_0=30
const std::vector<Fwd> kLaeaNorth = {
    {50, 0, 4291960.7425, 756788.4790}, {-70, 170, -12548853.7043, -0.0000}
};
const std::vector<Inv> kLaeaNorthInv = {
    {3000000, -2000000, 57.1265716, -43.6900675}, {-9000000, 6000000, -26.1775916, 136.3099325}
};
const std::vector<Fwd> kLaeaSouth = {
    {-50, 0, -2179085.5776, 3774286.9344}, {70, -170, 4291960.7425, -11792065.2252}
};
const std::vector<Inv> kLaeaSouthInv = {
    {3000000, -2000000, -57.1265716, 153.6900675}, {-9000000, 6000000, 26.1775916, -26.3099325}
};
// clang-format on

TEST_F(MapTranTest, LambertAzimuthalMatchesProj) {
    set(make(8, 40, -100));
    check_fwd(kLaea, 1e-4);
    check_inv(kLaeaInv, 1e-4);
    check_round_trip(1e-3);
    float lat, lon;
    ASSERT_EQ(MAP_untran(&lat, &lon, 0, 0), 1);
    EXPECT_FLOAT_EQ(lat, 40);
    EXPECT_FLOAT_EQ(lon, -100);
    set(make(8, 0, 20));
    check_inv(kLaeaEquatorInv, 1e-4);
    set(make(8, 90, -100));
    check_fwd(kLaeaNorth, 1e-4);
    check_inv(kLaeaNorthInv, 1e-4);
    set(make(8, -90, 30));
    check_fwd(kLaeaSouth, 1e-4);
    check_inv(kLaeaSouthInv, 1e-4);
}

// --- Mollweide --------------------------------------------------------------

// clang-format off
// proj -f %.4f +proj=moll +lon_0=-100 +R=4505132.866431355 (6371220 / sqrt 2)
const std::vector<Fwd> kMoll = {
    {0, -100, 0.0000, 0.0000}, {45, 0, 5705125.1882, 3772028.2374},
    {-60, 79.9, 8241337.8015, -4857329.4922}, {-60, 80.1, -8241337.8015, -4857329.4922},
    {89.9, 10, 119217.8226, 6370473.2850}, {-30, -280, 11656414.8052, -2573799.2853},
    {0, -280.1, 12735360.8667, 0.0000}, {85, 30, 1903563.3229, 6233434.9784},
    {80, -50, 1153664.8661, 6023303.9263}, {79.99, -50, 1154414.5126, 6022838.5500},
    {-80.5, 0, 2231609.9692, -6046368.9115}, {88, -100, 0.0000, 6330659.4450}
};
const std::vector<Inv> kMollInv = {
    {0, 0, 0.0000000, -100.0000000}, {5000000, 3000000, 35.2096930, -19.9390204},
    {-15000000, -4000000, kOff, kOff}, {0, 6371219, 89.9992999, -100.0000000},
    {0, 6371300, kOff, kOff}
};
// clang-format on

TEST_F(MapTranTest, MollweideMatchesProj) {
    set(make(7, 0, -100));
    check_fwd(kMoll, 1e-4);
    check_inv(kMollInv, 1e-4);
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

// clang-format off
// proj -f %.4f +proj=geos +h=35789780 +lon_0=-75 +sweep=y +R=6371220
const std::vector<Fwd> kSatSphere = {
    {0, -75, 0.0000, 0.0000}, {40, -100, -1954236.8579, 3863095.3330},
    {-30, -40, 3002062.2749, -3011146.9249}, {60, -75, 0.0000, 5033214.1714},
    {0, 5, 5427791.5886, 0.0000}, {-70, -75, 0.0000, -5319722.0770},
    {50, 0, 3434032.3096, 4210852.6224}, {20, -10, 4869882.7446, 1947774.2635}
};
// proj -f %.4f +proj=geos +h=35782863 +lon_0=-75 +sweep=y +a=6378137 +b=6356752
const std::vector<Fwd> kSatEll = {
    {0, -75, 0.0000, 0.0000}, {40, -100, -1959248.3104, 3847181.3305},
    {-30, -40, 3007922.8907, -2996877.1249}, {60, -75, 0.0000, 5018254.8576},
    {-50, -120, -2642871.6724, -4398156.7027}, {20, -10, 4876502.9844, 1937366.1343},
    {0, 0, 5400488.5156, 0.0000}
};
// proj -I -f %.7f, same definition; inputs are scan angles (0,0), (0.05,-0.1),
// (-0.12,0.06), (0.14,0), (0,0.15), (0.16,0), (0.1,0.12) radians times +h
const std::vector<Inv> kSatEllInv = {
    {0, 0, 0.0000000, -75.0000000}, {1789143.15, -3578286.3, -36.2849353, -53.6995174},
    {-4293943.56, 2146971.78, 21.5375206, -126.3734145}, {5009600.82, 0.0, 0.0000000, -15.7399561},
    {0.0, 5367429.45, 73.7661401, -75.0000000}, {5725258.08, 0, kOff, kOff},
    {3578286.3, 4293943.56, kOff, kOff}
};
// clang-format on

TEST_F(MapTranTest, SatelliteViewMatchesProj) {
    set(make(9, 0, -75));
    check_fwd(kSatSphere, 1e-4, tan_conv(kHSphere));
    set(make(9, 0, -75, kMiss, 1.0f));
    check_fwd(kSatSphere, 1e-4, angle_conv(kHSphere));
    set(make(9, 0, -75, 421.61f, kMiss, 1));
    check_fwd(kSatEll, 1e-4, tan_conv(kHEll));
    check_inv(kSatEllInv, 1e-4, tan_conv(kHEll));
    check_round_trip(1e-3);
    set(make(9, 0, -75, 421.61f, 1.0f, 1));
    check_fwd(kSatEll, 1e-4, angle_conv(kHEll));
    check_inv(kSatEllInv, 1e-4, angle_conv(kHEll));
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
    check_fwd(kLaea, 1e-4); // constants recomputed for the new projection
    MAP_proj(3);
    MAP_coord(0, 170);
    check_fwd(kMerc, 1e-4);
}

TEST_F(MapTranTest, ProjectionKeywords) {
    const struct {
        const char *text;
        int code;
    } rows[] = {{"ll", 2},       {"LATLON", 2},   {"polar", 1},  {"PS", 1},     {"sat", 9},
                {"lambert", 4},  {"lambaz", 4},   {"lc", 4},     {"la", 8},     {"laz", 8},
                {"gnomonic", 6}, {"ortho", 5},    {"moll", 7},   {"merc", 3},   {"pixel", 99},
                {"xy", 20},      {"xlogy", 22},   {"xlogp", 22}, {"cat", 24},   {"skewt", 40},
                {"ema", 42},     {"teph", 43},    {"rteph", 44}, {"therm", 40}, {"stuve", 41},
                {"hodo", 23},    {"vert", 22},    {"xp", 25},    {"zoom", 50},  {"size", 51},
                {"MISS", -9999}, {"missing", -1}, {"l", -1},     {"", -1},      {"foo", -1}};
    for (const auto &r : rows)
        EXPECT_EQ(MAP_proj_str(r.text), r.code) << r.text;
    EXPECT_EQ(MAP_proj_str(nullptr), -1);
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

TEST_F(MapTranTest, DirectionAdjustment) {
    set(make(1, 60, -105));
    EXPECT_FLOAT_EQ(MAP_dir_adj(30, 0, 0), 135);
    EXPECT_NEAR(MAP_dir_adj(30, 10, 0), -60, 1e-4); // 90 degrees east of the meridian
    set(make(1, -60, 140));
    EXPECT_NEAR(MAP_dir_adj(30, 10, 0), 120, 1e-4);
    set(make(4, 40, -95));
    float x, y;
    MAP_tran(&x, &y, 40, -65); // 30 degrees east: the meridian turns by n * 30
    const double n = std::log(std::cos(M_PI / 6) / std::cos(M_PI / 3)) /
                     std::log(std::tan(M_PI / 4 + M_PI / 6) / std::tan(M_PI / 4 + M_PI / 12));
    EXPECT_NEAR(MAP_dir_adj(0, x, y), -n * 30, 1e-3);
    set(make(9, 0, -75));
    EXPECT_NEAR(MAP_dir_adj(0, 0, 0), 0, 1e-2);
    EXPECT_NEAR(MAP_dir_adj(90, 0, 0), 90, 1e-2);
    EXPECT_EQ(MAP_dir_adj(90, 100, 0), kMiss); // off the earth
    set(make(3, 0, 0));
    EXPECT_EQ(MAP_dir_adj(42, 1, 1), 42.0f);
}

TEST_F(MapTranTest, ScaleFactor) {
    set(make(1, 60, -105));
    EXPECT_NEAR(MAP_factor(60), 1.0, 1e-6);
    EXPECT_NEAR(MAP_factor(90), (1 + std::sqrt(3.0) / 2) / 2, 1e-6);
    set(make(4, 40, -95)); // a secant cone is true to scale on both parallels
    EXPECT_NEAR(MAP_factor(30), 1.0, 1e-5);
    EXPECT_NEAR(MAP_factor(60), 1.0, 1e-5);
    EXPECT_LT(MAP_factor(45), 1.0);
    DOMAIN d = make(4, 40, -95);
    d.param[4] = 0.75f;
    set(d);
    EXPECT_FLOAT_EQ(MAP_factor(45), 0.75f);
    set(make(3, 0, 0));
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
    check_fwd(kLccNorth, 1e-4);
    ASSERT_EQ(MAP_domain_tran(&ps, &ps, &x, &y, 1.5f, 2.5f), 0);
    EXPECT_EQ(x, 1.5f);
    EXPECT_EQ(y, 2.5f);
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

// --- Elementary functions of the transformations ---------------------------

// Random doubles: uniform in [lo, hi), or with a uniform exponent.
struct Sampler {
    uint64_t s = 0x2545F4914F6CDD1Dull;
    double unit() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(s >> 11) / 9007199254740992.0;
    }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    double log_uniform(double lo, double hi) {
        return std::exp(uniform(std::log(lo), std::log(hi)));
    }
};

double rel_err(double v, double ref) {
    return ref == 0.0 ? std::fabs(v) : std::fabs(v / ref - 1.0);
}

TEST(MapElementary, ExpMatchesLibrary) {
    Sampler r;
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 ? r.uniform(-707.0, 707.0) : r.uniform(-2.0, 2.0);
        worst = std::max(worst, rel_err(map_detail::exp(x), std::exp(x)));
    }
    for (double x : {0.0, -0.0, 1e-300, -1e-17, 0.5 * M_LN2, 700.0, -707.9, 1.0})
        worst = std::max(worst, rel_err(map_detail::exp(x), std::exp(x)));
    EXPECT_LT(worst, 1e-13);
    // Outside the tables: the library's answers.
    EXPECT_EQ(map_detail::exp(-800.0), 0.0);
    EXPECT_EQ(map_detail::exp(710.0), HUGE_VAL);
    EXPECT_EQ(map_detail::exp(-HUGE_VAL), 0.0);
    EXPECT_TRUE(std::isnan(map_detail::exp(std::nan(""))));
}

TEST(MapElementary, LogMatchesLibraryAlsoNearOne) {
    Sampler r;
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 ? r.log_uniform(1e-300, 1e300) : r.uniform(0.5, 2.0);
        worst = std::max(worst, rel_err(map_detail::log(x), std::log(x)));
    }
    // Relative accuracy where log x is small: around 1, on both sides.
    for (double d = 1e-15; d < 0.1; d *= 1.7)
        for (double x : {1.0 + d, 1.0 - d})
            worst = std::max(worst, rel_err(map_detail::log(x), std::log(x)));
    EXPECT_LT(worst, 1e-13);
    EXPECT_EQ(map_detail::log(1.0), 0.0);
    EXPECT_EQ(map_detail::log(0.0), -HUGE_VAL);
    EXPECT_EQ(map_detail::log(1e-310), std::log(1e-310)); // subnormal
    EXPECT_TRUE(std::isnan(map_detail::log(-1.0)));
    EXPECT_EQ(map_detail::log(HUGE_VAL), HUGE_VAL);
}

TEST(MapElementary, PowerTablesMatchLibrary) {
    Sampler r;
    // Lambert exponents: n and 1/2n of usual cones, and the bounds of the tables.
    for (double e : {0.7155668, 0.6987587, 0.5, 1.0, 4.0, -0.8, 2.37}) {
        double worst = 0.0, v = 0.0;
        for (int i = 0; i < 50000; ++i) {
            const double x = r.log_uniform(1.7e-10, 2.9e9); // the tables' range
            ASSERT_TRUE(map_detail::pow_table(x, e, v)) << x;
            worst = std::max(worst, rel_err(v, std::pow(x, e)));
        }
        EXPECT_LT(worst, 1e-13) << "e " << e;
        for (double x : {0.0, -1.0, 1e-11, 1e11, HUGE_VAL, std::nan("")})
            EXPECT_FALSE(map_detail::pow_table(x, e, v)) << x;
    }
    double v = 0.0;
    EXPECT_FALSE(map_detail::pow_table(2.0, 5.7, v)); // too large an exponent
}

TEST(MapElementary, Atan2MatchesLibraryInEveryOctant) {
    Sampler r;
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double scale = r.log_uniform(1e-25, 1e25);
        const double y = r.uniform(-1.0, 1.0) * scale, x = r.uniform(-1.0, 1.0) * scale;
        worst = std::max(worst, std::fabs(map_detail::atan2(y, x) - std::atan2(y, x)));
    }
    EXPECT_LT(worst, 1e-15);
    // Octant borders, zeros, signed zeros and infinities as the library has them.
    const double inf = HUGE_VAL;
    for (double y : {0.0, -0.0, 1.0, -1.0, 1e-40, 3.0, inf, -inf})
        for (double x : {0.0, -0.0, 1.0, -1.0, 3.0, -3.0, 1e40, inf, -inf}) {
            const double v = map_detail::atan2(y, x), ref = std::atan2(y, x);
            EXPECT_NEAR(v, ref, 1e-15) << y << " " << x;
            EXPECT_EQ(std::signbit(v), std::signbit(ref)) << y << " " << x;
        }
}

TEST(MapElementary, AsinAndSinesMatchLibrary) {
    Sampler r;
    double worst_asin = 0.0, worst_deg = 0.0, worst_rad = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double a = r.uniform(-1.0, 1.0);
        worst_asin = std::max(worst_asin, std::fabs(map_detail::asin(a) - std::asin(a)));
        // Degrees reduced exactly first, so that the reference is exact too.
        const double d = r.uniform(-1000.0, 1000.0), dr = std::remainder(d, 360.0) * M_PI / 180;
        double s = 0.0, c = 0.0;
        map_detail::sincos_deg(d, s, c);
        worst_deg = std::max({worst_deg, std::fabs(s - std::sin(dr)), std::fabs(c - std::cos(dr))});
        const double x = r.uniform(-50.0, 50.0);
        map_detail::sincos(x, s, c);
        worst_rad = std::max({worst_rad, std::fabs(s - std::sin(x)), std::fabs(c - std::cos(x))});
    }
    EXPECT_LT(worst_asin, 1e-13);
    EXPECT_LT(worst_deg, 1e-14);
    EXPECT_LT(worst_rad, 1e-14);
    double s = 0.0, c = 0.0;
    map_detail::sincos_deg(90.0, s, c);
    EXPECT_EQ(s, 1.0);
    EXPECT_EQ(c, 0.0);
    map_detail::sincos_deg(-180.0, s, c);
    EXPECT_EQ(c, -1.0);
    EXPECT_EQ(std::fabs(s), 0.0);
    EXPECT_EQ(map_detail::asin(1.0), M_PI / 2);
    EXPECT_TRUE(std::isnan(map_detail::asin(1.5)));
}

} // namespace
