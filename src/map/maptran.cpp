// Map projections and the current plot domain.
//
// Each projection is a pair of pure functions over one parameter block: the
// forward one takes the latitude and the longitude offset from the reference
// meridian (degrees) and gives plot coordinates, the inverse one the reverse.
// The wrappers MAP_tran / MAP_untran do what every projection needs: missing and
// non-finite values, longitude wrapping, the lazy set-up of cached constants and
// the -9999.0 results for points off the map or off the earth. A projection is
// one row of the table at the end of the math section.
//
// The map projections work on a sphere of radius 63.7122 plot units (6371.22 km
// in units of 100 km). The satellite view can also use the ellipsoid of
// equatorial radius 63.78137 and polar radius 63.56752; its inverse on the sphere
// intersects the scan ray with a sphere of the equatorial radius, so it is not
// the exact inverse of the forward transformation.
//
// The diagram coordinate systems (codes 20-44, 99) share the same wrappers; their
// constants come from the domain's limits and the viewport.

#include "map/maptran.h"

#include "base/mess.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __FAST_MATH__
#error "the projection kernels rely on IEEE rounding (round_near); build without -ffast-math"
#endif

namespace {

constexpr double kR = 63.7122; // earth radius
constexpr double kR2 = kR * kR;
constexpr double kPolarR = 63.56752;       // polar radius of the ellipsoid
constexpr double kAxisRatio2 = 0.99330556; // (b/a)^2 of the ellipsoid
constexpr double kEquatorR2 = 4068.063;    // a^2 of the ellipsoid
constexpr double kGeoDistance = 421.61;    // geostationary orbit radius
constexpr double kPi = 3.14159265358979323846;
constexpr double kD2R = kPi / 180.0;
constexpr double kR2D = 180.0 / kPi;
// Reciprocals, so that the transformations multiply instead of divide.
constexpr double kInvR = 1.0 / kR;
constexpr double kUnitsPerDegree = kR * kD2R; // 1.1119877
constexpr double kKmPerDegree = 111.195;
constexpr double kKappaInv = 3.5; // cp / R of dry air
constexpr double kCelsiusToKelvin = 273.15;
constexpr float kMiss = -9999.0f;
constexpr double kMaxPlot = 1.0e7;   // plot units: beyond any map of the earth
constexpr double kMaxLon = 1.0e5;    // degrees: larger longitudes are garbage
constexpr double kMaxFloat = 3.0e38; // results must fit a float
constexpr int64_t kMaxGridCells = int64_t{1} << 26;

bool missing(double v) {
    return v == -9999.0;
}
// False for NaN too.
bool fits(double v) {
    return std::fabs(v) <= kMaxFloat;
}
float to_float(double v) {
    return fits(v) ? static_cast<float>(v) : -9999.0f;
}
// Branch-free clamps (std::fmin and std::fmax are library calls).
double at_least(double v, double lo) {
    return v < lo ? lo : v;
}
double clamp(double v, double lo, double hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}
double clamp1(double v) {
    return clamp(v, -1.0, 1.0);
}

// One step of 360 degrees towards -180..180.
double wrap_once(double lon) {
    if (lon > 180.0)
        return lon - 360.0;
    if (lon < -180.0)
        return lon + 360.0;
    return lon;
}

// Into -180..180 as repeated steps of 360 would bring it, without the loop.
double wrap_full(double lon) {
    if (lon > 180.0)
        return lon - 360.0 * std::ceil((lon - 180.0) / 360.0);
    if (lon < -180.0)
        return lon + 360.0 * std::ceil((-180.0 - lon) / 360.0);
    return lon;
}

// ---------------------------------------------------------------------------
// Elementary functions for the transformations. Results go out as floats (24-bit
// mantissa), so these inline kernels aim at about 1e-13 instead of the last bit.
// They have no data-dependent branches and work on two lanes at once (most
// transformations need two sines and cosines, or two arc tangents), which makes
// them cheaper than the library's functions, above all on scattered points.
// The sine and cosine polynomials are Chebyshev fits on [-pi/4, pi/4]; atan
// uses a table of atan(k/8) and the Taylor series of the small remainder.

namespace fast {

using v2d = double __attribute__((vector_size(16)));
using v2i = int64_t __attribute__((vector_size(16)));

constexpr double kPio2Hi = 1.5707963267948966, kPio2Lo = 6.123233995736766e-17;
constexpr double kRoundMagic = 6755399441055744.0; // 1.5 * 2^52
constexpr int64_t kSignBit = INT64_MIN;
constexpr double kAtanEighths[9] = {0,
                                    0.12435499454676144,
                                    0.24497866312686414,
                                    0.35877067027057225,
                                    0.46364760900080609,
                                    0.55859931534356244,
                                    0.64350110879328437,
                                    0.71882999962162453,
                                    0.78539816339744828};

// Nearest integers of |v| < 2^51, as doubles.
template <class T> [[gnu::always_inline]] inline T round_near(T v) {
    return (v + kRoundMagic) - kRoundMagic;
}

// mask ? a : b, lane by lane (mask lanes all ones or all zeros).
[[gnu::always_inline]] inline v2d select(v2i mask, v2d a, v2d b) {
    return (v2d)(((v2i)a & mask) | ((v2i)b & ~mask));
}

// sin and cos of x, |x| <= pi/4 (errors 4e-12 and 1e-13), for doubles and for
// pairs. Estrin's form keeps the dependency chains short.
template <class T> [[gnu::always_inline]] inline void sincos_poly(T x, T &sp, T &cp) {
    const T z = x * x, z2 = z * z, z4 = z2 * z2;
    sp = x *
         ((0.99999999999567313 + z * -0.16666666631591165) +
          z2 * (0.0083333287824588799 + z * -0.00019839202212231099) + z4 * 2.7173456841089953e-06);
    cp = (1.0 + z * -0.49999999999351113) +
         z2 * (0.041666666543911192 + z * -0.0013888880393776424) +
         z4 * (2.4798928755323667e-05 + z * -2.7173429841022821e-07);
}

// sin and cos of q quarter turns plus x, both lanes.
[[gnu::always_inline]] inline void sincos_quarters(v2d q, v2d x, v2d &s, v2d &c) {
    v2d sp, cp;
    sincos_poly(x, sp, cp);
    // Quadrant m = q mod 4 as 0/1 flags, in floating point (no ties in the roundings).
    const v2d m = q - 4.0 * round_near((q - 1.5) * 0.25);
    const v2d sin_neg = round_near((m - 0.75) * 0.5);          // m = 2, 3
    const v2d swap = m - 2.0 * sin_neg;                        // m = 1, 3
    const v2d cos_neg = swap + sin_neg - 2.0 * swap * sin_neg; // m = 1, 2
    s = (sp + swap * (cp - sp)) * (1.0 - 2.0 * sin_neg);
    c = (cp + swap * (sp - cp)) * (1.0 - 2.0 * cos_neg);
}

// The same for one angle, picking the quadrant from tables.
[[gnu::always_inline]] inline void sincos_quarters(double q, double x, double &s, double &c) {
    constexpr double kSign[2] = {1.0, -1.0};
    double v[2];
    sincos_poly(x, v[0], v[1]);
    const int64_t n = static_cast<int64_t>(q), odd = n & 1;
    s = v[odd] * kSign[(n >> 1) & 1];
    c = v[odd ^ 1] * kSign[((n + 1) >> 1) & 1];
}

// sin and cos of two angles in degrees.
[[gnu::always_inline]] inline void sincos_deg2(double d0, double d1, double &s0, double &c0,
                                               double &s1, double &c1) {
    if (!(std::fabs(d0) < 1.0e9 && std::fabs(d1) < 1.0e9)) {
        s0 = std::sin(d0 * kD2R), c0 = std::cos(d0 * kD2R);
        s1 = std::sin(d1 * kD2R), c1 = std::cos(d1 * kD2R);
        return;
    }
    const v2d d = {d0, d1};
    const v2d q = round_near(d * (1.0 / 90.0));
    v2d s, c;
    sincos_quarters(q, (d - q * 90.0) * kD2R, s, c);
    s0 = s[0], c0 = c[0], s1 = s[1], c1 = c[1];
}

[[gnu::always_inline]] inline void sincos_deg(double d, double &s, double &c) {
    if (!(std::fabs(d) < 1.0e9)) {
        s = std::sin(d * kD2R), c = std::cos(d * kD2R);
        return;
    }
    const double q = round_near(d * (1.0 / 90.0));
    sincos_quarters(q, (d - q * 90.0) * kD2R, s, c);
}

// sin and cos of two angles in radians.
[[gnu::always_inline]] inline void sincos2(double x0, double x1, double &s0, double &c0, double &s1,
                                           double &c1) {
    if (!(std::fabs(x0) < 1.0e6 && std::fabs(x1) < 1.0e6)) {
        s0 = std::sin(x0), c0 = std::cos(x0);
        s1 = std::sin(x1), c1 = std::cos(x1);
        return;
    }
    const v2d x = {x0, x1};
    const v2d q = round_near(x * (1.0 / kPio2Hi));
    v2d s, c;
    sincos_quarters(q, (x - q * kPio2Hi) - q * kPio2Lo, s, c);
    s0 = s[0], c0 = c[0], s1 = s[1], c1 = c[1];
}

[[gnu::always_inline]] inline void sincos(double x, double &s, double &c) {
    if (!(std::fabs(x) < 1.0e6)) {
        s = std::sin(x), c = std::cos(x);
        return;
    }
    const double q = round_near(x * (1.0 / kPio2Hi));
    sincos_quarters(q, (x - q * kPio2Hi) - q * kPio2Lo, s, c);
}

// atan2 of two pairs, same quadrants as std::atan2 (atan2(0, 0) is 0). With
// lo/hi the smaller and larger of |x| and |y|: atan(lo/hi) = atan(k/8) + atan(u)
// with k/8 the nearest eighth and u = (lo/hi - k/8) / (1 + k/8 lo/hi).
[[gnu::always_inline]] inline void atan2_2(double y0, double x0, double y1, double x1, double &r0,
                                           double &r1) {
    const v2d y = {y0, y1}, x = {x0, x1};
    const v2d ax = (v2d)((v2i)x & ~kSignBit), ay = (v2d)((v2i)y & ~kSignBit);
    const v2i steep = (v2i)(ay > ax);
    const v2d lo = select(steep, ax, ay), hi = select(steep, ay, ax);
    if (!(hi[0] > 1.0e-30 && hi[0] <= 1.0e30 && hi[1] > 1.0e-30 && hi[1] <= 1.0e30)) {
        r0 = std::atan2(y0, x0); // zero, tiny, huge, infinite or NaN
        r1 = std::atan2(y1, x1);
        return;
    }
    const v2d a = lo / hi;
    const v2d k = round_near(a * 8.0), ck = k * 0.125;
    const v2d u = (a - ck) / (1.0 + a * ck), z = u * u, z2 = z * z; // |u| <= 1/16
    v2d r = {kAtanEighths[static_cast<int>(k[0])], kAtanEighths[static_cast<int>(k[1])]};
    r += u * ((1.0 - z * (1.0 / 3.0)) + z2 * (1.0 / 5.0 - z * (1.0 / 7.0)) +
              z2 * z2 * (1.0 / 9.0 - z * (1.0 / 11.0)));
    r = select(steep, kPi / 2.0 - r, r);
    r = select((v2i)(x < 0.0), kPi - r, r);
    r = (v2d)(((v2i)r & ~kSignBit) | ((v2i)y & kSignBit));
    r0 = r[0], r1 = r[1];
}

// sqrt(1 - x^2): the cosine of the angle whose sine is x.
[[gnu::always_inline]] inline double cos_of_sin(double x) {
    return std::sqrt((1.0 - x) * (1.0 + x));
}

// asin for |x| <= 1: y P(y^2) for |x| <= 1/2 (P a Chebyshev fit, error 7e-14), and
// asin|x| = pi/2 - 2 asin(y) with y = sqrt((1 - |x|) / 2) above.
[[gnu::always_inline]] inline double asin(double x) {
    const double ax = std::fabs(x);
    if (!(ax <= 1.0))
        return std::asin(x);
    const v2i big = {ax > 0.5 ? -1 : 0, 0};
    const double zs = 0.5 * (1.0 - ax);
    const v2d z = select(big, v2d{zs, 0.0}, v2d{ax * ax, 0.0});
    const v2d y = select(big, v2d{std::sqrt(zs), 0.0}, v2d{ax, 0.0});
    const v2d z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    v2d r = y * (((0.99999999999994926 + z * 0.16666666670723188) +
                  z2 * (0.074999994675315609 + z * 0.044643126897073435)) +
                 z4 * ((0.030375046838709736 + z * 0.022472629272259407) +
                       z2 * (0.016472738109361944 + z * 0.018638508213446328)) +
                 z8 * (-0.0028563505336838967 + z * 0.031943996384108428));
    r = select(big, kPi / 2.0 - 2.0 * r, r);
    return std::copysign(r[0], x);
}

// x^n for x >= 0.
double pow(double x, double n) {
    return x > 0.0 ? std::exp(n * std::log(x)) : std::pow(x, n);
}

} // namespace fast

// ---------------------------------------------------------------------------
// Parameter block: everything a transformation needs, computed once per domain.

struct Params {
    double lat0 = 0.0, lon0 = 0.0; // reference point (degrees)
    double h = 1.0;                // +1 northern domain, -1 southern
    double sin0 = 0.0, cos0 = 1.0; // of lat0
    double tlat1 = 60.0, tlat2 = 60.0;
    double k = 0.0;                   // polar stereographic: R (1 + h sin tlat1)
    double n = 1.0, f = 1.0;          // Lambert conformal cone constant and scale (mult)
    double inv_n = 1.0, inv_rf = 1.0; // 1 / n and 1 / (R f)
    double lcc_factor = -9999.0;      // Lambert conformal: stored scale factor param[4]
    double H = kGeoDistance;          // satellite distance from the earth's centre
    double H2 = 0.0, H4 = 0.0, H2e = 0.0, earth_ratio = 0.0, inv_H = 0.0;
    bool ellipsoid = false;
    bool scan = false; // satellite coordinates are scan angles
    // Diagrams.
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double xfactor = 0.0, yfactor = 0.0;
    double skew = 0.0; // skew-T: x shift per unit of y; tephigram: y-to-x scale
    bool valid = true; // false: the domain's parameters define no projection
};

enum class Res { ok, off, raw }; // raw: result 0 but the outputs are kept

using FwdFn = Res (*)(const Params &, double a, double b, double &x, double &y);
using InvFn = Res (*)(const Params &, double x, double y, double &a, double &b);
using SetupFn = void (*)(Params &, const DOMAIN &);

struct Row {
    int code;
    bool map; // map projection: latitude-longitude in, longitude wrapped
    SetupFn setup;
    FwdFn fwd;
    InvFn inv;
};

// ---------------------------------------------------------------------------
// Polar stereographic, projection plane at true scale at tlat1.

// tan(45 - psi/2) from the sine and cosine of psi (psi above -89.9).
double half_colat_tan(double s, double c) {
    return c / (1.0 + s);
}

void ps_setup(Params &p, const DOMAIN &d) {
    p.tlat1 = missing(d.param[2]) ? 60.0 * p.h : d.param[2];
    p.k = kR * (1.0 + p.h * std::sin(p.tlat1 * kD2R));
    p.valid = p.k > 1.0e-6; // NaN too
}

Res ps_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    // The far hemisphere is cut at 75 degrees so that its points stay finite.
    const double psi = at_least(p.h * lat, -75.0);
    double s, c, sl, cl;
    fast::sincos_deg2(psi, dlon, s, c, sl, cl);
    const double rho = p.k * half_colat_tan(s, c);
    x = rho * sl;
    y = -p.h * rho * cl;
    return Res::ok;
}

Res ps_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho = std::sqrt(x * x + y * y);
    double colat, az; // atan(rho / k) and the azimuth, 0 at the pole
    fast::atan2_2(rho, p.k, x, -p.h * y, colat, az);
    lat = p.h * (90.0 - 2.0 * colat * kR2D);
    lon = p.lon0 + az * kR2D;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Latitude-longitude: plot units are degrees.

void no_setup(Params &, const DOMAIN &) {}

Res ll_fwd(const Params &, double lat, double dlon, double &x, double &y) {
    x = wrap_once(dlon);
    y = lat;
    return Res::ok;
}

Res ll_inv(const Params &p, double x, double y, double &lat, double &lon) {
    lon = wrap_once(x + p.lon0);
    lat = y;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Mercator, true scale at the equator.

Res merc_fwd(const Params &, double lat, double dlon, double &x, double &y) {
    x = dlon * kR * kD2R;
    if (x > kPi * kR)
        x -= 2.0 * kPi * kR;
    else if (x < -kPi * kR)
        x += 2.0 * kPi * kR;
    lat = clamp(lat, -89.9, 89.9);
    double s, c;
    fast::sincos_deg(lat, s, c);
    y = -kR * std::log(half_colat_tan(s, c));
    return Res::ok;
}

Res merc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    lon = wrap_once(x * (1.0 / kUnitsPerDegree) + p.lon0);
    // lat = 90 - 2 atan(exp(-y / R)), as asin(tanh(y / R)).
    const double e2 = std::exp(-2.0 * kInvR * std::fabs(y));
    lat = std::copysign(fast::asin((1.0 - e2) / (1.0 + e2)), y) * kR2D;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Lambert conformal conic with its apex at the pole of the domain's hemisphere.
// A southern domain takes its true latitudes as magnitudes (30 and 60 by
// default in both hemispheres), so -30/-60 and 30/60 give the same cone.

void lcc_setup(Params &p, const DOMAIN &d) {
    if (missing(d.param[2])) {
        p.tlat1 = 30.0;
        p.tlat2 = 60.0;
    } else {
        p.tlat1 = d.param[2];
        p.tlat2 = missing(d.param[3]) ? d.param[2] : d.param[3];
    }
    double t1 = p.tlat1, t2 = p.tlat2;
    if (p.h < 0.0) {
        t1 = std::fabs(t1);
        t2 = std::fabs(t2);
    }
    const double q1 = std::tan((45.0 - t1 * 0.5) * kD2R);
    const double q2 = std::tan((45.0 - t2 * 0.5) * kD2R);
    if (t1 == t2)
        p.n = std::sin(t1 * kD2R);
    else if (q1 > 0.0 && q2 > 0.0 && q1 != q2)
        p.n = (std::log(std::cos(t1 * kD2R)) - std::log(std::cos(t2 * kD2R))) /
              (std::log(q1) - std::log(q2));
    else
        p.n = 0.0;
    p.lcc_factor = d.param[4];
    // Parallels on both sides of the equator or at a pole give no cone.
    p.valid = std::fabs(p.n) > 1.0e-10 && std::fabs(p.n) <= 1.0 && q1 > 0.0;
    if (p.valid) {
        p.f = std::cos(t1 * kD2R) / (p.n * std::pow(q1, p.n));
        p.valid = std::isfinite(p.f) && p.f != 0.0;
        p.inv_n = 1.0 / p.n;
        p.inv_rf = 1.0 / (kR * p.f);
    }
}

Res lcc_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const double psi = at_least(p.h * lat, -89.0);
    double s, c, st, ct;
    fast::sincos_deg2(psi, p.n * wrap_once(dlon), s, c, st, ct);
    const double rho = kR * p.f * fast::pow(half_colat_tan(s, c), p.n);
    x = rho * st;
    y = -p.h * rho * ct;
    return Res::ok;
}

Res lcc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho = std::sqrt(x * x + y * y);
    double theta, half; // cone angle (0 at the apex) and half the colatitude
    fast::atan2_2(x, -p.h * y, fast::pow(rho * p.inv_rf, p.inv_n), 1.0, theta, half);
    lat = p.h * 90.0 - 2.0 * p.h * half * kR2D;
    lon = theta * kR2D * p.inv_n + p.lon0;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Orthographic, gnomonic and Lambert azimuthal equal-area: azimuthal
// projections about (lat0, lon0). cos_arc is the cosine of the angular distance
// from the centre.

struct Aux {
    double cosp, sinp, cosl, sinl, cos_arc;
};

Aux azimuthal(const Params &p, double lat, double dlon) {
    Aux a{};
    fast::sincos_deg2(lat, dlon, a.sinp, a.cosp, a.sinl, a.cosl);
    a.cos_arc = p.sin0 * a.sinp + p.cos0 * a.cosp * a.cosl;
    return a;
}

Res ortho_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const Aux a = azimuthal(p, lat, dlon);
    if (a.cos_arc < 0.0)
        return Res::off; // far side
    x = kR * a.cosp * a.sinl;
    y = kR * (p.cos0 * a.sinp - p.sin0 * a.cosp * a.cosl);
    return Res::ok;
}

Res ortho_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double w2 = kR2 - x * x - y * y;
    if (w2 < 0.0)
        return Res::off;
    const double w = std::sqrt(w2);
    const double sinp = clamp1((p.sin0 * w + p.cos0 * y) * kInvR);
    fast::atan2_2(sinp, fast::cos_of_sin(sinp), x, p.cos0 * w - p.sin0 * y, lat, lon);
    lat *= kR2D;
    lon = lon * kR2D + p.lon0;
    return Res::ok;
}

// Gnomonic: great circles are straight lines; only the hemisphere about the
// tangent point is on the map.
constexpr double kGnomonicHorizon = 1.0e-10;

Res gnom_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const Aux a = azimuthal(p, lat, dlon);
    if (a.cos_arc < kGnomonicHorizon)
        return Res::off;
    const double k = kR / a.cos_arc;
    x = k * a.cosp * a.sinl;
    y = k * (p.cos0 * a.sinp - p.sin0 * a.cosp * a.cosl);
    return Res::ok;
}

Res gnom_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho2 = x * x + y * y;
    if (rho2 < 1.0e-20) {
        lat = p.lat0;
        lon = p.lon0;
        return Res::ok;
    }
    // Angular distance c from the centre: tan c = rho / R.
    const double q = 1.0 / std::sqrt(kR2 + rho2); // cos c = R q, sin c = rho q
    const double sinp = clamp1(kR * q * p.sin0 + y * q * p.cos0);
    fast::atan2_2(sinp, fast::cos_of_sin(sinp), x, kR * p.cos0 - y * p.sin0, lat, lon);
    lat *= kR2D;
    lon = p.lon0 + lon * kR2D;
    return Res::ok;
}

Res laea_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const Aux a = azimuthal(p, lat, dlon);
    if (1.0 + a.cos_arc <= 1.0e-12)
        return Res::off; // antipode
    const double k = kR * std::sqrt(2.0 / (1.0 + a.cos_arc));
    x = k * a.cosp * a.sinl;
    y = k * (p.cos0 * a.sinp - p.sin0 * a.cosp * a.cosl);
    return Res::ok;
}

Res laea_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho2 = x * x + y * y;
    if (rho2 > 4.0 * kR2)
        return Res::off;
    if (rho2 < 1.0e-20) {
        lat = p.lat0;
        lon = p.lon0;
        return Res::ok;
    }
    // Angular distance g from the centre: sin(g/2) = rho / 2R, so that
    // cos g = 1 - rho^2 / 2R^2 and sin g / rho = cos(g/2) / R.
    const double u2 = rho2 * (0.25 * kInvR * kInvR);
    const double sg_rho = std::sqrt(1.0 - u2) * kInvR, cg = 1.0 - 2.0 * u2;
    const double sinp = clamp1(cg * p.sin0 + y * sg_rho * p.cos0);
    // atan2(x sin g cos0, rho (cos g - sin0 sin lat)), both divided by rho.
    double ay = x * sg_rho * p.cos0, ax = cg - p.sin0 * sinp, sign = 1.0;
    if (std::fabs(std::fabs(p.lat0) - 90.0) < 1.0e-10) { // polar aspect
        ay = p.lat0 > 0.0 ? x : -x;
        ax = p.lat0 > 0.0 ? -y : y;
        sign = p.lat0 > 0.0 ? 1.0 : -1.0;
    }
    fast::atan2_2(sinp, fast::cos_of_sin(sinp), ay, ax, lat, lon);
    lat *= kR2D;
    lon = p.lon0 + sign * lon * kR2D;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Mollweide: equal-area, the whole earth in an ellipse of semi-axes 2R and R.

// The auxiliary angle u = theta / 2 for |lat| <= 80 degrees (lat in radians):
// lat * P(lat^2), a Chebyshev fit good to 5e-6, so one Newton step from it
// reaches 1e-10.
double moll_start(double phi) {
    const double z = phi * phi, z2 = z * z, z4 = z2 * z2;
    return phi * ((0.78539711752982233 + z * 0.030659619574078749) +
                  z2 * (0.0047771452559552275 + z * 0.0040339132883138651) +
                  z4 * ((-0.004780826718100979 + z * 0.0049408058433123344) +
                        z2 * (-0.0022792474498242203 + z * 0.00045833472893833566)));
}

Res moll_fwd(const Params &, double lat, double dlon, double &x, double &y) {
    // theta + sin theta = pi sin(lat), by Newton's method.
    double sp, cp, sh, ch; // sin and cos of lat and of theta / 2
    if (std::fabs(lat) <= 80.0) {
        // With u = theta / 2: 2u + sin 2u = target; one step, turning (sh, ch) with it.
        const double u = moll_start(lat * kD2R);
        fast::sincos_deg2(lat, u * kR2D, sp, cp, sh, ch);
        const double target = kPi * sp;
        const double step = -(2.0 * u + 2.0 * sh * ch - target) / (4.0 * ch * ch);
        const double s1 = sh + ch * step;
        ch -= sh * step;
        sh = s1;
    } else {
        // Near the poles the root is flat: iterate from theta = lat, at most 15 steps.
        fast::sincos_deg(lat, sp, cp);
        const double target = kPi * sp;
        double theta = lat * kD2R;
        for (int i = 0; i < 15; ++i) {
            double s, c;
            fast::sincos(theta, s, c);
            const double den = 1.0 + c;
            if (den == 0.0)
                break;
            const double step = -(theta + s - target) / den;
            theta += step;
            if (std::fabs(step) < 1.0e-10)
                break;
        }
        fast::sincos(theta * 0.5, sh, ch);
    }
    y = kR * sh;
    x = std::fabs(lat) <= 89.99 ? kR * wrap_once(dlon) * (1.0 / 90.0) * ch : 0.0;
    return Res::ok;
}

Res moll_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double a = y * kInvR;
    if (std::fabs(a) > 1.0)
        return Res::off;
    const double t = fast::asin(a);
    const double c = std::sqrt((1.0 - a) * (1.0 + a)); // cos t
    double dlon = 0.0;
    if (c > 0.0) {
        dlon = x * 90.0 / (kR * c);
        if (std::fabs(dlon) > 180.0 + 1.0e-9)
            return Res::off; // outside the ellipse
    }
    const double b = (2.0 * a * c + 2.0 * t) / kPi; // (sin 2t + 2t) / pi
    if (std::fabs(b) > 1.0)
        return Res::off;
    lat = fast::asin(b) * kR2D;
    lon = dlon + p.lon0;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Satellite view: the earth seen from distance H above the equator at lon0.
// Plot coordinates are H times the tangents of the scan angles (x east-west,
// then y north-south), or H times the angles themselves when param[3] is 1.

void sat_setup(Params &p, const DOMAIN &d) {
    p.H = missing(d.param[2]) ? kGeoDistance : d.param[2];
    if (!(p.H > kR && p.H < kMaxPlot)) { // not outside the earth
        p.valid = false;
        return;
    }
    p.H2 = p.H * p.H;
    p.H4 = p.H2 * p.H2;
    p.H2e = p.H2 - kEquatorR2;
    p.earth_ratio = kR / p.H;
    p.inv_H = 1.0 / p.H;
    p.ellipsoid = d.ellipsoid == 1;
    p.scan = d.param[3] == 1.0f;
}

Res sat_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    double sp, cp, sl, cl;
    fast::sincos_deg2(lat, dlon, sp, cp, sl, cl);
    // rc, rs: the point's distances from the axis and from the equator plane.
    double rc = kR * cp, rs = kR * sp;
    if (p.ellipsoid) {
        // Geocentric latitude lat': tan lat' = (b/a)^2 tan lat, so cos lat' = cp / n with
        // n = sqrt(cp^2 + t^2), t = (b/a)^2 sp; the radius there is
        // r = b / sqrt(1 - (1 - (b/a)^2) cos^2 lat'), hence (rc, rs) = b (cp, t) / m.
        const double t = kAxisRatio2 * sp;
        if (cp * cl < p.earth_ratio * std::sqrt(cp * cp + t * t))
            return Res::off; // beyond the limb
        const double bm = kPolarR / std::sqrt(t * t + kAxisRatio2 * cp * cp);
        rc = cp * bm;
        rs = t * bm;
    } else if (cp * cl < p.earth_ratio) {
        return Res::off;
    }
    const double d = p.H - rc * cl, e = rc * sl;
    const double f = std::sqrt(e * e + d * d);
    if (p.scan) {
        fast::atan2_2(e, d, rs, f, x, y);
    } else {
        x = e / d;
        y = rs / f;
    }
    x *= p.H;
    y *= p.H;
    return Res::ok;
}

// Sines and cosines of the scan angles of plot point (x, y).
void scan_angles(const Params &p, double x, double y, double &sa, double &ca, double &sb,
                 double &cb) {
    if (p.scan) {
        fast::sincos2(x * p.inv_H, y * p.inv_H, sa, ca, sb, cb);
    } else {
        const double qa = 1.0 / std::sqrt(p.H2 + x * x), qb = 1.0 / std::sqrt(p.H2 + y * y);
        sa = x * qa, ca = p.H * qa;
        sb = y * qb, cb = p.H * qb;
    }
}

Res sat_inv(const Params &p, double x, double y, double &lat, double &lon) {
    double sa, ca, sb, cb;
    if (!p.ellipsoid) {
        if (p.scan) {
            scan_angles(p, x, y, sa, ca, sb, cb);
            x = p.H * sa / ca;
            y = p.H * sb / cb;
        }
        const double D = x * x + y * y + p.H2;
        const double disc = p.H4 - D * p.H2e;
        if (disc < 0.0)
            return Res::off;
        const double t = (p.H2 - std::sqrt(disc)) / D;
        const double sp = clamp1(t * y * kInvR);
        const double cp = fast::cos_of_sin(sp);
        const double sl = cp > 0.0 ? clamp1(t * x * kInvR / cp) : 0.0;
        fast::atan2_2(sp, cp, sl, fast::cos_of_sin(sl), lat, lon);
        lat *= kR2D;
        lon = lon * kR2D + p.lon0;
        return Res::ok;
    }
    scan_angles(p, x, y, sa, ca, sb, cb);
    const double q = p.H * ca * cb;
    const double s = sb * sb * (1.0 / kAxisRatio2) + cb * cb;
    const double disc = q * q - s * p.H2e;
    if (disc < 0.0)
        return Res::off;
    const double t = (q - std::sqrt(disc)) / s;
    const double X = p.H - t * ca * cb;
    const double Y = t * sa * cb;
    fast::atan2_2(t * sb, kAxisRatio2 * std::sqrt(X * X + Y * Y), Y, X, lat, lon);
    lat *= kR2D;
    lon = lon * kR2D + p.lon0;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Diagram coordinates (a is the first input, b the second).

// Potential temperature of temperature t (K) at pressure pr (hPa).
double theta_of(double t, double pr) {
    return pr > 0.0 ? t * std::pow(1000.0 / pr, 1.0 / kKappaInv) : std::nan("");
}

Res lin_fwd(const Params &p, double a, double b, double &x, double &y) {
    x = (a - p.xmin) * p.xfactor + p.xmin;
    y = (b - p.ymin) * p.yfactor + p.ymin;
    return Res::ok;
}
Res lin_inv(const Params &p, double x, double y, double &a, double &b) {
    if (p.xfactor == 0.0 || p.yfactor == 0.0)
        return Res::off;
    a = (x - p.xmin) / p.xfactor + p.xmin;
    b = (y - p.ymin) / p.yfactor + p.ymin;
    return Res::ok;
}

Res logp_fwd(const Params &, double a, double b, double &x, double &y) {
    x = a;
    y = -std::log(b);
    return Res::ok;
}
Res logp_inv(const Params &, double x, double y, double &a, double &b) {
    a = x;
    b = std::exp(-y);
    return Res::ok;
}

Res polar_fwd(const Params &, double a, double b, double &x, double &y) {
    x = b * std::sin(a * kD2R);
    y = b * std::cos(a * kD2R);
    return Res::ok;
}
Res polar_inv(const Params &, double x, double y, double &a, double &b) {
    b = std::hypot(x, y);
    a = std::atan2(x, y) * kR2D;
    return Res::ok;
}

Res down_fwd(const Params &p, double a, double b, double &x, double &y) {
    x = (a - p.xmin) * p.xfactor + p.xmin;
    y = (p.ymin - b) * p.yfactor + p.ymin;
    return Res::ok;
}
Res down_inv(const Params &p, double x, double y, double &a, double &b) {
    if (p.xfactor == 0.0 || p.yfactor == 0.0)
        return Res::off;
    a = (x - p.xmin) / p.xfactor + p.xmin;
    b = p.ymin - (y - p.ymin) / p.yfactor;
    return Res::ok;
}

Res skewt_fwd(const Params &p, double a, double b, double &x, double &y) {
    y = -std::log(b);
    x = a + (y - p.ymin) * p.skew;
    return Res::ok;
}
Res skewt_inv(const Params &p, double x, double y, double &a, double &b) {
    a = x - (y - p.ymin) * p.skew;
    b = std::exp(-y);
    return Res::ok;
}

Res stuve_fwd(const Params &, double a, double b, double &x, double &y) {
    x = a;
    y = -std::pow(b, 0.285714);
    return Res::ok;
}
Res stuve_inv(const Params &, double x, double y, double &a, double &b) {
    a = x;
    b = std::pow(-y, kKappaInv);
    return Res::ok;
}

Res rteph_fwd(const Params &, double a, double b, double &x, double &y) {
    x = a;
    y = std::log(theta_of(missing(a) ? a : a + kCelsiusToKelvin, b));
    return Res::ok;
}
Res rteph_inv(const Params &, double x, double y, double &a, double &b) {
    a = x;
    b = 1000.0 * std::pow((a + kCelsiusToKelvin) / std::exp(y), kKappaInv);
    return Res::ok;
}

// Tephigram: the temperature - ln(theta) plane turned by 45 degrees about the
// middle of the limits, with ln(theta) scaled (skew) so that the turn is 45
// degrees on the viewport.
Res teph_fwd(const Params &p, double a, double b, double &x, double &y) {
    double u = 0.0, v = 0.0;
    rteph_fwd(p, a, b, u, v);
    if (p.skew == 0.0) {
        x = a;
        y = std::log(b);
        return Res::raw;
    }
    const double xc = 0.5 * (p.xmin + p.xmax), yc = 0.5 * (p.ymin + p.ymax);
    const double du = u - xc, dv = (v - yc) * p.skew;
    x = xc + (du + dv) / std::sqrt(2.0);
    y = yc + (dv - du) / (std::sqrt(2.0) * p.skew);
    return Res::ok;
}
Res teph_inv(const Params &p, double x, double y, double &a, double &b) {
    if (p.skew == 0.0) {
        a = x;
        b = std::exp(y);
        return Res::raw;
    }
    const double xc = 0.5 * (p.xmin + p.xmax), yc = 0.5 * (p.ymin + p.ymax);
    const double X = x - xc, Y = (y - yc) * p.skew;
    const double du = (X - Y) / std::sqrt(2.0), dv = (X + Y) / std::sqrt(2.0);
    return rteph_inv(p, xc + du, yc + dv / p.skew, a, b);
}

Res pixel_fwd(const Params &, double a, double b, double &x, double &y) {
    x = a;
    y = -b;
    return Res::ok;
}
Res pixel_inv(const Params &, double x, double y, double &a, double &b) {
    a = x;
    b = -y;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// The projection table.

constexpr Row kRows[] = {
    {1, true, ps_setup, ps_fwd, ps_inv},         {2, true, no_setup, ll_fwd, ll_inv},
    {3, true, no_setup, merc_fwd, merc_inv},     {4, true, lcc_setup, lcc_fwd, lcc_inv},
    {5, true, no_setup, ortho_fwd, ortho_inv},   {6, true, no_setup, gnom_fwd, gnom_inv},
    {7, true, no_setup, moll_fwd, moll_inv},     {8, true, no_setup, laea_fwd, laea_inv},
    {9, true, sat_setup, sat_fwd, sat_inv},      {20, false, no_setup, lin_fwd, lin_inv},
    {22, false, no_setup, logp_fwd, logp_inv},   {23, false, no_setup, polar_fwd, polar_inv},
    {24, false, no_setup, lin_fwd, lin_inv},     {25, false, no_setup, down_fwd, down_inv},
    {40, false, no_setup, skewt_fwd, skewt_inv}, {41, false, no_setup, stuve_fwd, stuve_inv},
    {42, false, no_setup, logp_fwd, logp_inv},   {43, false, no_setup, teph_fwd, teph_inv},
    {44, false, no_setup, rteph_fwd, rteph_inv}, {99, false, no_setup, pixel_fwd, pixel_inv},
};

const Row *find_row(int code) {
    for (const Row &r : kRows)
        if (r.code == code)
            return &r;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Module state.

struct Current {
    DOMAIN dom; // proj -9999: no current domain
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double xfactor = 0.0, yfactor = 0.0; // linear diagrams
    bool ready = false;                  // params and row are valid
    const Row *row = nullptr;
    Params p;
};

struct MapState {
    Current cur;
    double view[4] = {0.0, 0.0, 0.0, 0.0};
    int grid_limit = 0;
    std::vector<uint8_t> grid; // declutter cells, empty: no grid
};

MapState &st() {
    static MapState s;
    return s;
}

// Computes the cached constants of the current domain when they are stale.
const Row *ensure_ready(Current &c) {
    if (c.ready)
        return c.row;
    const DOMAIN &d = c.dom;
    Params p;
    p.lat0 = missing(d.param[0]) ? 0.0 : d.param[0];
    p.lon0 = missing(d.param[1]) ? 0.0 : d.param[1];
    p.h = p.lat0 < 0.0 ? -1.0 : 1.0;
    p.sin0 = std::sin(p.lat0 * kD2R);
    p.cos0 = std::cos(p.lat0 * kD2R);
    p.xmin = c.xmin;
    p.xmax = c.xmax;
    p.ymin = c.ymin;
    p.ymax = c.ymax;
    p.xfactor = c.xfactor;
    p.yfactor = c.yfactor;
    const double *v = st().view;
    const double vw = v[1] - v[0], vh = v[3] - v[2];
    const double xr = c.xmax - c.xmin, yr = c.ymax - c.ymin;
    if (d.proj == 40 && vw != 0.0 && yr != 0.0)
        p.skew = (vh / vw) * xr / yr;
    if (d.proj == 43 && vw != 0.0 && yr != 0.0)
        p.skew = (xr / yr) * (vh / vw);
    if (!std::isfinite(p.skew))
        p.skew = 0.0;
    c.row = find_row(d.proj);
    if (c.row)
        c.row->setup(p, d);
    c.p = p;
    c.ready = true;
    return c.row;
}

int off(double &x, double &y) {
    x = kMiss;
    y = kMiss;
    return 0;
}

// Forward transformation through a row: 1, or 0 (x, y -9999.0 when off the map).
int project(const Current &c, const Row &row, double a, double b, double &x, double &y) {
    if (row.map) {
        // Also rejects NaN, infinities and a missing latitude.
        if (!(std::fabs(a) <= 90.001 && std::fabs(b) <= kMaxLon) || missing(b) || !c.p.valid)
            return off(x, y);
        a = clamp(a, -90.0, 90.0);
        b = wrap_full(b) - c.p.lon0;
    } else if (!std::isfinite(a) || !std::isfinite(b) || !c.p.valid) {
        return off(x, y);
    }
    const Res r = row.fwd(c.p, a, b, x, y);
    if (r == Res::off || !fits(x) || !fits(y))
        return off(x, y);
    return r == Res::ok ? 1 : 0;
}

int unproject(const Current &c, const Row &row, double x, double y, double &a, double &b) {
    if (row.map) {
        if (!(std::fabs(x) <= kMaxPlot && std::fabs(y) <= kMaxPlot) || missing(x) || missing(y) ||
            !c.p.valid)
            return off(a, b);
    } else if (!std::isfinite(x) || !std::isfinite(y) || !c.p.valid) {
        return off(a, b);
    }
    const Res r = row.inv(c.p, x, y, a, b);
    if (r == Res::off || !fits(a) || !fits(b))
        return off(a, b);
    return r == Res::ok ? 1 : 0;
}

// Forward transformation in the current domain with the conventions of
// MAP_tran: -1 when the outputs stay as they are (no transformation for the
// code), 2 when the inputs pass through (no current domain).
int tran_current(Current &c, double a, double b, double &x, double &y) {
    if (c.dom.proj == -9999) {
        x = a;
        y = b;
        return 2;
    }
    const Row *row = ensure_ready(c);
    if (!row)
        return -1;
    return project(c, *row, a, b, x, y);
}

void order(double &lo, double &hi) {
    if (lo > hi) {
        const double t = lo;
        lo = hi;
        hi = t;
    }
}

// Limits of the current domain (and the factors of the linear diagrams).
void compute_limits(Current &c) {
    const DOMAIN &d = c.dom;
    c.xmin = c.xmax = c.ymin = c.ymax = 0.0;
    c.xfactor = c.yfactor = 0.0;
    c.ready = false;
    const double clat = d.clat, clon = d.clon, dx = d.dx, dy = d.dy;
    const double nx = d.nx, ny = d.ny;
    auto proj_point = [&](double a, double b, double &x, double &y) {
        if (tran_current(c, a, b, x, y) < 0)
            x = y = 0.0;
    };
    switch (d.proj) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9: {
        double cx = 0.0, cy = 0.0;
        proj_point(clat, clon, cx, cy);
        c.xmin = cx - (nx - 1.0) * 0.5 * dx;
        c.xmax = cx + (nx - 1.0) * 0.5 * dx;
        c.ymin = cy - (ny - 1.0) * 0.5 * dy;
        c.ymax = cy + (ny - 1.0) * 0.5 * dy;
        break;
    }
    case 20:
    case 24:
    case 25:
        c.xmin = clat;
        c.xmax = clat + nx;
        c.xfactor = dx != 0.0 ? nx / dx : 1.0;
        c.ymin = d.proj == 25 ? -clon : clon;
        c.ymax = d.proj == 25 ? ny - clon : clon + ny;
        c.yfactor = dy != 0.0 ? ny / dy : 1.0;
        break;
    case 23:
        c.xmin = clat;
        c.xmax = clat + dx;
        c.ymin = clon;
        c.ymax = clon + dy;
        break;
    case 22:
    case 41:
    case 42:
    case 99:
        proj_point(clat, clon, c.xmin, c.ymin);
        proj_point(clat + dx, clon + dy, c.xmax, c.ymax);
        break;
    case 40:
    case 43:
    case 44: {
        // Corner, end of the x axis and end of the y axis, unskewed / unturned.
        Current flat = c;
        flat.dom.proj = d.proj == 43 ? 44 : d.proj;
        flat.ready = false;
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        tran_current(flat, clat, clon, x0, y0);
        tran_current(flat, clat + dx, clon, x1, y1);
        tran_current(flat, clat, clon + dy, x2, y2);
        c.xmin = x0;
        c.xmax = x1;
        c.ymin = y0;
        c.ymax = y2;
        break;
    }
    default:
        break;
    }
    if (d.proj >= 20) {
        order(c.xmin, c.xmax);
        order(c.ymin, c.ymax);
    }
    c.ready = false;
}

double cur_dx() {
    return st().cur.dom.dx;
}
double cur_dy() {
    return st().cur.dom.dy;
}

// Keyword table of the projection names: prefix, letters compared, code.
struct Keyword {
    const char *prefix;
    int code;
};
constexpr Keyword kKeywords[] = {
    {"ll", 2},    {"lat", 2},   {"polar", 1},  {"ps", 1},     {"sat", 9},    {"lamb", 4},
    {"lc", 4},    {"la", 8},    {"gn", 6},     {"or", 5},     {"mo", 7},     {"me", 3},
    {"pix", 99},  {"xy", 20},   {"xlogy", 22}, {"xlogp", 22}, {"cat", 24},   {"skewt", 40},
    {"ema", 42},  {"teph", 43}, {"rteph", 44}, {"therm", 40}, {"stuve", 41}, {"hodo", 23},
    {"vert", 22}, {"xp", 25},   {"zoom", 50},  {"size", 51},
};

bool has_prefix(const char *text, const char *prefix) {
    for (; *prefix; ++prefix, ++text)
        if (std::tolower(static_cast<unsigned char>(*text)) != *prefix)
            return false; // also stops at the end of text
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Domain.

void MAP_reset_state() {
    st() = MapState{};
}

int MAP_domain(const DOMAIN *dom) {
    Current &c = st().cur;
    if (!dom) {
        c.dom.proj = -9999;
        c.ready = false;
        return -1;
    }
    c.dom = *dom;
    if (missing(c.dom.param[0]))
        c.dom.param[0] = c.dom.clat;
    if (missing(c.dom.param[1]))
        c.dom.param[1] = c.dom.clon;
    compute_limits(c);
    return 0;
}

int MAP_proj(int code) {
    st().cur.dom.proj = code;
    st().cur.ready = false;
    return 0;
}

int MAP_coord(float lat, float lon) {
    st().cur.dom.param[0] = lat;
    st().cur.dom.param[1] = lon;
    st().cur.ready = false;
    return 0;
}

int MAP_proj_coord(const float t[2]) {
    Current &c = st().cur;
    if (!t || c.dom.proj != 4)
        return -1;
    c.dom.param[2] = t[0];
    c.dom.param[3] = t[1];
    c.ready = false;
    return 0;
}

const DOMAIN *MAP_get_domain(DOMAIN *out) {
    if (out)
        *out = st().cur.dom;
    return &st().cur.dom;
}

int MAP_get_proj() {
    return st().cur.dom.proj;
}
float MAP_get_clat() {
    return st().cur.dom.clat;
}
float MAP_get_clon() {
    return st().cur.dom.clon;
}

void MAP_print_domain() {
    DOM_print(MESS_PRINT, &st().cur.dom);
}

int MAP_proj_str(const char *text) {
    if (!text || !*text)
        return -1;
    for (const Keyword &k : kKeywords)
        if (has_prefix(text, k.prefix))
            return k.code;
    if (std::strlen(text) == 4 && has_prefix(text, "miss"))
        return -9999;
    return -1;
}

// ---------------------------------------------------------------------------
// Transformations.

int MAP_tran(float *x, float *y, float lat, float lon) {
    if (!x || !y)
        return 0;
    double ox = 0.0, oy = 0.0;
    const int r = tran_current(st().cur, lat, lon, ox, oy);
    if (r < 0)
        return 1;
    *x = static_cast<float>(ox);
    *y = static_cast<float>(oy);
    return r == 2 ? 1 : r;
}

int MAP_untran(float *lat, float *lon, float x, float y) {
    if (!lat || !lon)
        return 0;
    Current &c = st().cur;
    if (c.dom.proj == -9999)
        return 1;
    const Row *row = ensure_ready(c);
    if (!row)
        return 1;
    double a = 0.0, b = 0.0;
    const int r = unproject(c, *row, x, y, a, b);
    *lat = static_cast<float>(a);
    *lon = static_cast<float>(b);
    return r;
}

int MAP_tran_center(float *x, float *y) {
    const DOMAIN &d = st().cur.dom;
    return MAP_tran(x, y, d.clat, d.clon);
}

int MAP_grid_tran(float *x, float *y, float i, float j) {
    if (!x || !y)
        return -1;
    const Current &c = st().cur;
    const double gx = i * cur_dx() + c.xmin, gy = c.ymax - j * cur_dy();
    if (missing(i) || missing(j) || !fits(gx) || !fits(gy)) {
        *x = *y = kMiss;
        return -1;
    }
    *x = static_cast<float>(gx);
    *y = static_cast<float>(gy);
    return 1;
}

int MAP_grid_untran(float *i, float *j, float x, float y) {
    if (!i || !j)
        return -1;
    const Current &c = st().cur;
    const double dx = cur_dx(), dy = cur_dy();
    const double gi = dx != 0.0 ? (x - c.xmin) / dx : HUGE_VAL;
    const double gj = dy != 0.0 ? (c.ymax - y) / dy : HUGE_VAL;
    if (missing(x) || missing(y) || !fits(gi) || !fits(gj)) {
        *i = *j = kMiss;
        return -1;
    }
    *i = static_cast<float>(gi);
    *j = static_cast<float>(gj);
    return 1;
}

int MAP_domain_tran(const DOMAIN *from, const DOMAIN *to, float *x, float *y, float xin,
                    float yin) {
    if (!x || !y)
        return -1;
    if (!from || !to) {
        *x = *y = kMiss;
        return -1;
    }
    if (DOM_comp(from, to)) {
        *x = xin;
        *y = yin;
        return 0;
    }
    Current &c = st().cur;
    const Current saved = c;
    float lat = kMiss, lon = kMiss;
    MAP_domain(from);
    MAP_untran(&lat, &lon, xin, yin);
    MAP_domain(to);
    MAP_tran(x, y, lat, lon);
    c = saved;
    return 0;
}

// ---------------------------------------------------------------------------
// Limits, view and grid.

int MAP_get_limits(float out[4]) {
    if (!out)
        return -1;
    const Current &c = st().cur;
    out[0] = to_float(c.xmin);
    out[1] = to_float(c.xmax);
    out[2] = to_float(c.ymin);
    out[3] = to_float(c.ymax);
    return 0;
}

int MAP_get_up_left(float *x, float *y) {
    if (!x || !y)
        return -1;
    *x = to_float(st().cur.xmin);
    *y = to_float(st().cur.ymax);
    return 0;
}

int MAP_set_view(const float v[4]) {
    if (!v)
        return -1;
    for (int i = 0; i < 4; ++i)
        st().view[i] = v[i];
    st().cur.ready = false; // the diagram skew depends on the view
    return 0;
}

int MAP_in_domain(float x, float y) {
    const Current &c = st().cur;
    if (c.dom.proj == -9999)
        return 1;
    return x >= c.xmin && x <= c.xmax && y >= c.ymin && y <= c.ymax ? 1 : 0;
}

int MAP_in_grid_domain(float x, float y) {
    const Current &c = st().cur;
    if (c.dom.proj == -9999)
        return 1;
    const double mx = 3.0 * c.dom.dx, my = 3.0 * c.dom.dy;
    return x >= c.xmin - mx && x <= c.xmax + mx && y >= c.ymin - my && y <= c.ymax + my ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Scale factor and direction.

float MAP_factor(float lat) {
    Current &c = st().cur;
    if (c.dom.proj != 1 && c.dom.proj != 4)
        return 1.0f;
    if (!std::isfinite(lat) || missing(lat))
        return kMiss;
    ensure_ready(c);
    const Params &p = c.p;
    double k = -9999.0;
    if (c.dom.proj == 1) {
        // Ratio of the scale at the true latitude to the scale at lat.
        const double l = at_least(p.h * lat, -75.0);
        k = (1.0 + p.h * std::sin(p.tlat1 * kD2R)) / (1.0 + std::sin(l * kD2R));
    } else if (!missing(p.lcc_factor)) {
        k = p.lcc_factor;
    } else {
        const double l = at_least(p.h * lat, -89.0) * kD2R;
        const double cl = std::cos(l);
        if (cl > 1.0e-10)
            k = p.n * p.f * std::pow(std::tan(kPi / 4.0 - l * 0.5), p.n) / cl;
    }
    return fits(k) ? static_cast<float>(k) : kMiss;
}

float MAP_dir_adj(float dir, float x, float y) {
    if (!std::isfinite(dir) || missing(dir) || missing(x) || missing(y) ||
        std::fabs(dir) > kMaxLon || !(std::fabs(x) <= kMaxPlot) || !(std::fabs(y) <= kMaxPlot))
        return kMiss;
    Current &c = st().cur;
    const int code = c.dom.proj;
    if (code != 1 && code != 4 && code != 9)
        return dir;
    ensure_ready(c);
    const Params &p = c.p;
    double out = dir;
    if (code == 1) {
        if (x == 0.0f && y == 0.0f)
            out = p.h > 0.0 ? dir - p.lon0 : dir + p.lon0;
        else
            out = p.h > 0.0 ? dir - std::atan2(x, -y) * kR2D : dir + std::atan2(x, y) * kR2D;
    } else if (code == 4) {
        out = dir - std::atan2(x, -p.h * y) * kR2D;
    } else {
        float lat = 0.0f, lon = 0.0f, x2 = 0.0f, y2 = 0.0f;
        if (MAP_untran(&lat, &lon, x, y) != 1)
            return kMiss;
        const double lat2 = lat + std::cos(dir * kD2R) / kKmPerDegree;
        const double lon2 = lon + std::sin(dir * kD2R) / (kKmPerDegree * std::cos(lat * kD2R));
        if (MAP_tran(&x2, &y2, static_cast<float>(lat2), static_cast<float>(lon2)) != 1)
            return kMiss;
        out = std::atan2(double{x2} - x, double{y2} - y) * kR2D;
    }
    return fits(out) ? static_cast<float>(out) : kMiss;
}

// ---------------------------------------------------------------------------
// Declutter grid.

int MAP_set_plot_limit(int n) {
    st().grid_limit = n;
    return 0;
}

int MAP_plot_grid_init() {
    MapState &s = st();
    s.grid.clear();
    const DOMAIN &d = s.cur.dom;
    const int64_t g = s.grid_limit;
    if (d.nx < 1 || d.ny < 1)
        return 0;
    int64_t cells = int64_t{d.nx} * d.ny;
    if (g > 1) {
        if (g > kMaxGridCells || cells > kMaxGridCells / (g * g))
            cells = kMaxGridCells + 1;
        else
            cells *= g * g;
    }
    if (cells > kMaxGridCells) {
        MESS_print(MESS_WARN,
                   "MAP_plot_grid_init: declutter grid of %dx%d cells (limit %d) "
                   "is too large\n",
                   d.nx, d.ny, s.grid_limit);
        return 0;
    }
    s.grid.assign(static_cast<size_t>(cells), 0);
    return 1;
}

int MAP_plot_grid(float x, float y) {
    MapState &s = st();
    const int g = s.grid_limit;
    if (g == 0 || s.grid.empty())
        return 1;
    float fi = 0.0f, fj = 0.0f;
    if (MAP_grid_untran(&fi, &fj, x, y) != 1)
        return 0;
    const DOMAIN &d = s.cur.dom;
    if (!(fi >= 0.0f && fi <= d.nx - 1.0f && fj >= 0.0f && fj <= d.ny - 1.0f))
        return 0;
    if (g == -1)
        return 1;
    int64_t cell = 0;
    if (g >= 1) {
        cell = static_cast<int64_t>(std::floor(double{fj} * g)) * d.nx * g +
               static_cast<int64_t>(std::floor(double{fi} * g));
    } else {
        const int64_t a = -int64_t{g};
        cell = static_cast<int64_t>(std::floor(fj / static_cast<double>(a))) * d.nx +
               static_cast<int64_t>(std::floor(fi / static_cast<double>(a)));
    }
    if (cell < 0 || cell >= static_cast<int64_t>(s.grid.size()))
        return 1; // grid made for another domain or limit
    if (s.grid[static_cast<size_t>(cell)])
        return 0;
    s.grid[static_cast<size_t>(cell)] = 1;
    return 1;
}
