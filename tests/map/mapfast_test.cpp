// The elementary functions behind the projections against the C library: about
// 1e-13 (relative for exp, log and powers) over their ranges, the library's own
// answers outside them.
#include "map/mapfast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

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
