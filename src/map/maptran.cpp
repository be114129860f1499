// Map projections, the projection of one domain as a value and the current
// plot domain.
//
// Each projection is a pair of pure functions over one parameter block: the
// forward one takes the latitude and the longitude offset from the reference
// meridian (degrees) and gives plot coordinates, the inverse one the reverse.
// The wrappers (project / unproject) do what every projection needs: missing and
// non-finite values, longitude wrapping and the -9999.0 results for points off
// the map or off the earth. A projection is one row of the table at the end of
// the math section. A MapProjection computes its parameter block and limits
// once, when it is made from a domain.
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
#include "map/mapfast.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace map_detail {

// The power tables of a Lambert conformal cone. Making them takes over a hundred
// exponentials, so projections of the same cone share them (through the
// module's cache of the last cone); they never change once made.
struct LccTables {
    double n = 0.0, f = 0.0;
    map_fast::PowTable fwd, inv; // R f t^n and (rho^2)^(1/2n) / (R f)^(1/n)
};

using SetupFn = void (*)(Params &, const DOMAIN &);
// A transformation with the wrapper's checks: 1, or 0 (-9999.0 outputs when off).
using CheckedFn = int (*)(const Params &, double in0, double in1, double &out0, double &out1);
using FloatFn = int (*)(const Params &, double in0, double in1, float *out0, float *out1);

// One projection: its set-up and its transformations, each wrapped by project /
// unproject (make_row), in double precision and for the float interface.
struct Row {
    int code;
    SetupFn setup;
    CheckedFn fwd, inv;
    FloatFn fwd_float, inv_float;
};

} // namespace map_detail

namespace {

using map_detail::CheckedFn;
using map_detail::FloatFn;
using map_detail::LccTables;
using map_detail::Params;
using map_detail::Row;
using map_detail::SetupFn;

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
constexpr double kMaxPlot = 1.0e7;   // plot units: beyond any map of the earth
constexpr double kMaxLon = 1.0e5;    // degrees: larger longitudes are garbage
constexpr double kMaxFloat = 3.0e38; // results must fit a float
constexpr int64_t kMaxGridCells = int64_t{1} << 26;

// is_missing(v) compared as bits (one integer comparison).
bool missing(double v) {
    return std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(MISSING_D);
}
// False for NaN too.
bool fits(double v) {
    return std::fabs(v) <= kMaxFloat;
}
float to_float(double v) {
    return fits(v) ? static_cast<float>(v) : MISSING_F;
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

enum class Res { ok, off, raw }; // raw: result 0 but the outputs are kept

using FwdFn = Res (*)(const Params &, double a, double b, double &x, double &y);
using InvFn = Res (*)(const Params &, double x, double y, double &a, double &b);

int off(double &x, double &y) {
    x = MISSING_F;
    y = MISSING_F;
    return 0;
}

// Forward transformation through a projection: 1, or 0 (x, y -9999.0 when off
// the map). Map projections (Map) take latitude and longitude: the longitude is
// wrapped and made relative to the reference meridian.
template <bool Map, FwdFn F>
[[gnu::always_inline]] inline int project(const Params &p, double a, double b, double &x,
                                          double &y) {
    if constexpr (Map) {
        // Also rejects NaN, infinities and a missing latitude.
        if (!(std::fabs(a) <= 90.001 && std::fabs(b) <= kMaxLon) || missing(b) || !p.valid)
            return off(x, y);
        if (std::fabs(a) > 90.0) [[unlikely]] // a branch: no latency for the usual case
            a = std::copysign(90.0, a);
        b = wrap_full(b) - p.lon0;
    } else if (!std::isfinite(a) || !std::isfinite(b) || !p.valid) {
        return off(x, y);
    }
    const Res r = F(p, a, b, x, y);
    if (r == Res::off || !fits(x) || !fits(y))
        return off(x, y);
    return r == Res::ok ? 1 : 0;
}

template <bool Map, InvFn F>
[[gnu::always_inline]] inline int unproject(const Params &p, double x, double y, double &a,
                                            double &b) {
    if constexpr (Map) {
        if (!(std::fabs(x) <= kMaxPlot && std::fabs(y) <= kMaxPlot) || missing(x) || missing(y) ||
            !p.valid)
            return off(a, b);
    } else if (!std::isfinite(x) || !std::isfinite(y) || !p.valid) {
        return off(a, b);
    }
    const Res r = F(p, x, y, a, b);
    if (r == Res::off || !fits(a) || !fits(b))
        return off(a, b);
    return r == Res::ok ? 1 : 0;
}

template <bool Map, FwdFn F>
int project_checked(const Params &p, double a, double b, double &x, double &y) {
    return project<Map, F>(p, a, b, x, y);
}
template <bool Map, InvFn F>
int unproject_checked(const Params &p, double x, double y, double &a, double &b) {
    return unproject<Map, F>(p, x, y, a, b);
}

// The float versions have the transformation inlined: its results stay in
// registers instead of going through memory.
template <bool Map, FwdFn F>
[[gnu::flatten]] int project_float(const Params &p, double a, double b, float *x, float *y) {
    double ox = 0.0, oy = 0.0;
    const int r = project<Map, F>(p, a, b, ox, oy);
    *x = static_cast<float>(ox);
    *y = static_cast<float>(oy);
    return r;
}
template <bool Map, InvFn F>
[[gnu::flatten]] int unproject_float(const Params &p, double x, double y, float *a, float *b) {
    double oa = 0.0, ob = 0.0;
    const int r = unproject<Map, F>(p, x, y, oa, ob);
    *a = static_cast<float>(oa);
    *b = static_cast<float>(ob);
    return r;
}

// Map: map projection (latitude-longitude in, longitude wrapped).
template <bool Map, FwdFn F, InvFn I> constexpr Row make_row(int code, SetupFn setup) {
    return {code,
            setup,
            project_checked<Map, F>,
            unproject_checked<Map, I>,
            project_float<Map, F>,
            unproject_float<Map, I>};
}

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
    map_fast::sincos_deg2(psi, dlon, s, c, sl, cl);
    const double rho = p.k * half_colat_tan(s, c);
    x = rho * sl;
    y = -p.h * rho * cl;
    return Res::ok;
}

Res ps_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho = map_fast::sqrt(x * x + y * y);
    // The pole itself lies on the reference meridian (atan2(0, -0) would be 180).
    if (rho == 0.0) {
        lat = p.h * 90.0;
        lon = p.lon0;
        return Res::ok;
    }
    // lat from atan(rho / k), lon from the azimuth (0 towards the pole).
    map_fast::atan2_2(rho, p.k, x, -p.h * y, lat, lon, -2.0 * p.h * kR2D, p.h * 90.0, kR2D, p.lon0);
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
    // y = -R ln tan(45 - lat/2), tan(45 - lat/2) = (c - s) / (c + s) with c and s
    // the cosine and sine of lat/2 (at most 45 degrees).
    lat = clamp(lat, -89.9, 89.9);
    double s, c;
    map_fast::sincos_small(lat * (kD2R / 2.0), s, c);
    y = -kR * map_fast::log((c - s) / (c + s));
    return Res::ok;
}

Res merc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    lon = wrap_once(x * (1.0 / kUnitsPerDegree) + p.lon0);
    // lat = 90 - 2 atan(exp(-y / R)), on |y| so that the exponential is at most 1.
    const double e = map_fast::exp(-kInvR * std::fabs(y));
    lat = std::copysign(kPi / 2.0 - 2.0 * map_fast::atan01(e), y) * kR2D;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Lambert conformal conic with its apex at the pole of the domain's hemisphere.
// A southern domain takes its true latitudes as magnitudes (30 and 60 by
// default in both hemispheres), so -30/-60 and 30/60 give the same cone: the one
// PROJ makes for +lat_0=-90 +lat_1=-30 +lat_2=-60. The cone formulas fed with
// signed southern latitudes, or the tangent cone taken as cos(90 - h t), give a
// negative cone constant instead (a cone opening towards the wrong pole); the
// magnitudes keep what PROJ does.

std::shared_ptr<const LccTables> lcc_tables(double n, double f);

void make_lcc_tables(LccTables &t, double n, double f) {
    t.n = n;
    t.f = f;
    map_fast::make_pow_table(t.fwd, n, kR * f);
    // (rho / (R F))^(1/n) = (rho^2)^(1/2n) (R F)^(-1/n): only for a positive scale
    // (else pow has no real result).
    t.inv = map_fast::PowTable{};
    if (f > 0.0)
        map_fast::make_pow_table(t.inv, 0.5 / n, std::pow(kR * f, -1.0 / n));
}

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
        p.lcc = lcc_tables(p.n, p.f);
    }
}

Res lcc_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const double psi = at_least(p.h * lat, -89.0);
    double s, c, st, ct;
    map_fast::sincos_deg2(psi, p.n * wrap_once(dlon), s, c, st, ct);
    const double t = half_colat_tan(s, c);
    double rho;
    if (!map_fast::pow_table(p.lcc->fwd, t, rho))
        rho = kR * p.f * map_fast::pow_any(t, p.n); // at the pole, or a flat cone
    x = rho * st;
    y = -p.h * rho * ct;
    return Res::ok;
}

Res lcc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho2 = x * x + y * y;
    // The apex is the pole, on the reference meridian (atan2(0, -0) would put it 180 / n off).
    if (rho2 == 0.0) {
        lat = p.h * 90.0;
        lon = p.lon0;
        return Res::ok;
    }
    double t; // tan of half the colatitude: (rho / (R F))^(1/n)
    if (!map_fast::pow_table(p.lcc->inv, rho2, t))
        t = map_fast::pow_any(map_fast::sqrt(rho2) * p.inv_rf, p.inv_n);
    // lon from the cone angle (0 at the apex), lat from half the colatitude.
    map_fast::atan2_2(x, -p.h * y, t, 1.0, lon, lat, kR2D * p.inv_n, p.lon0, -2.0 * p.h * kR2D,
                      p.h * 90.0);
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
    map_fast::sincos_deg2(lat, dlon, a.sinp, a.cosp, a.sinl, a.cosl);
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
    const double w = map_fast::sqrt(w2);
    // The point in the earth's frame: R sin lat = Z, R cos lat (cos dlon, sin dlon) = (X, x).
    const double Z = p.sin0 * w + p.cos0 * y, X = p.cos0 * w - p.sin0 * y;
    map_fast::atan2_2(Z, map_fast::sqrt(x * x + X * X), x, X, lat, lon, kR2D, -0.0, kR2D, p.lon0);
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
    const double q = 1.0 / map_fast::sqrt(kR2 + rho2); // cos c = R q, sin c = rho q
    const double sinp = clamp1(kR * q * p.sin0 + y * q * p.cos0);
    map_fast::atan2_2(sinp, map_fast::cos_of_sin(sinp), x, kR * p.cos0 - y * p.sin0, lat, lon, kR2D,
                      -0.0, kR2D, p.lon0);
    return Res::ok;
}

Res laea_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const Aux a = azimuthal(p, lat, dlon);
    if (1.0 + a.cos_arc <= 1.0e-12)
        return Res::off; // antipode
    const double k = kR * map_fast::sqrt(2.0 / (1.0 + a.cos_arc));
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
    const double sg_rho = map_fast::sqrt(1.0 - u2) * kInvR, cg = 1.0 - 2.0 * u2;
    const double sinp = clamp1(cg * p.sin0 + y * sg_rho * p.cos0);
    // atan2(x sin g cos0, rho (cos g - sin0 sin lat)), both divided by rho.
    double ay = x * sg_rho * p.cos0, ax = cg - p.sin0 * sinp, sign = 1.0;
    if (std::fabs(std::fabs(p.lat0) - 90.0) < 1.0e-10) { // polar aspect
        ay = p.lat0 > 0.0 ? x : -x;
        ax = p.lat0 > 0.0 ? -y : y;
        sign = p.lat0 > 0.0 ? 1.0 : -1.0;
    }
    map_fast::atan2_2(sinp, map_fast::cos_of_sin(sinp), ay, ax, lat, lon, kR2D, -0.0, sign * kR2D,
                      p.lon0);
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
        map_fast::sincos_deg2(lat, u * kR2D, sp, cp, sh, ch);
        const double target = kPi * sp;
        const double step = -(2.0 * u + 2.0 * sh * ch - target) / (4.0 * ch * ch);
        const double s1 = sh + ch * step;
        ch -= sh * step;
        sh = s1;
    } else {
        // Near the poles the root is flat: iterate from theta = lat, at most 15 steps.
        map_fast::sincos_deg(lat, sp, cp);
        const double target = kPi * sp;
        double theta = lat * kD2R;
        for (int i = 0; i < 15; ++i) {
            double s, c;
            map_fast::sincos(theta, s, c);
            const double den = 1.0 + c;
            if (den == 0.0)
                break;
            const double step = -(theta + s - target) / den;
            theta += step;
            if (std::fabs(step) < 1.0e-10)
                break;
        }
        map_fast::sincos(theta * 0.5, sh, ch);
    }
    y = kR * sh;
    x = std::fabs(lat) <= 89.99 ? kR * wrap_once(dlon) * (1.0 / 90.0) * ch : 0.0;
    return Res::ok;
}

Res moll_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double a = y * kInvR;
    if (std::fabs(a) > 1.0)
        return Res::off;
    const double t = map_fast::asin(a);
    const double c = map_fast::sqrt((1.0 - a) * (1.0 + a)); // cos t
    double dlon = 0.0;
    if (c > 0.0) {
        dlon = x * 90.0 / (kR * c);
        // Outside the ellipse, although a and b are within -1..1: no point of the earth, as
        // in PROJ (which answers "*"), rather than a longitude beyond the date line.
        if (std::fabs(dlon) > 180.0 + 1.0e-9)
            return Res::off;
    }
    const double b = (2.0 * a * c + 2.0 * t) / kPi; // (sin 2t + 2t) / pi
    if (std::fabs(b) > 1.0)
        return Res::off;
    lat = map_fast::asin(b) * kR2D;
    lon = dlon + p.lon0;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Satellite view: the earth seen from distance H above the equator at lon0.
// Plot coordinates are H times the tangents of the scan angles (x east-west,
// then y north-south), or H times the angles themselves when param[3] is 1.
// param[3] = 2 gives the angles of an instrument whose mirror sweeps the other
// way round (GOES imagers and sounders, as their GVAR navigation has it): the
// north-south angle y is taken first, in the plane of the view and the pole, and
// x east-west from that plane (PROJ's geos with +sweep=x; 1 is +sweep=y).

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
    p.earth_ratio2 = p.earth_ratio * p.earth_ratio;
    p.sat_ratio = p.H / kR;
    p.H_over_a = p.H / kPolarR * std::sqrt(kAxisRatio2);
    p.inv_H = 1.0 / p.H;
    p.ellipsoid = d.ellipsoid == 1;
    p.scan = d.param[3] == 1.0f || d.param[3] == 2.0f;
    p.sweep_x = d.param[3] == 2.0f;
}

// sqrt(1 - e^2 z) for the ellipsoid's e^2 = 1 - (b/a)^2 and 0 <= z <= 1: its
// binomial series to z^6 (error below 1e-17, as e^2 z <= 0.0067).
constexpr double kE2 = 1.0 - kAxisRatio2;
double sqrt_one_minus_e2(double z) {
    constexpr double d1 = -kE2 / 2.0, d2 = -kE2 * kE2 / 8.0, d3 = d2 * kE2 / 2.0;
    constexpr double d4 = d3 * kE2 * 5.0 / 8.0, d5 = d4 * kE2 * 7.0 / 10.0;
    constexpr double d6 = d5 * kE2 * 3.0 / 4.0;
    const double z2 = z * z, z4 = z2 * z2;
    return ((1.0 + z * d1) + z2 * (d2 + z * d3)) + z4 * ((d4 + z * d5) + z2 * d6);
}

Res sat_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    double sp, cp, sl, cl;
    map_fast::sincos_deg2(lat, dlon, sp, cp, sl, cl);
    const double cc = cp * cl;
    // The point's distances from the axis and from the equator plane are (cp, rs)
    // times a length m, the satellite's distance hm times m; the results below
    // are ratios, so m itself is not needed.
    double rs = sp, hm = p.sat_ratio; // sphere: m = R
    if (p.ellipsoid) {
        // Geocentric latitude lat': tan lat' = (b/a)^2 tan lat, so cos lat' = cp / n with
        // n = sqrt(cp^2 + t^2), t = (b/a)^2 sp; the radius there is
        // r = b / sqrt(1 - (1 - (b/a)^2) cos^2 lat'), hence m = b / sqrt(t^2 + (b/a)^2 cp^2)
        // = b / (b/a sqrt(1 - e^2 sp^2)), e^2 = 1 - (b/a)^2: a short series in sp^2.
        const double t = kAxisRatio2 * sp;
        // Beyond the limb unless cos lat' cos dlon >= R / H (compared squared).
        if (!(cc >= 0.0 && cc * cc >= p.earth_ratio2 * (cp * cp + t * t)))
            return Res::off;
        rs = t;
        hm = p.H_over_a * sqrt_one_minus_e2(sp * sp);
    } else if (cc < p.earth_ratio) {
        return Res::off;
    }
    const double d = hm - cc, e = cp * sl;
    const double f = map_fast::sqrt(e * e + d * d);
    if (p.sweep_x) {
        const double g = map_fast::sqrt(rs * rs + d * d);
        map_fast::atan2_2(e, g, rs, d, x, y, p.H, -0.0, p.H, -0.0);
    } else if (p.scan) {
        map_fast::atan2_2(e, d, rs, f, x, y, p.H, -0.0, p.H, -0.0);
    } else {
        const map_fast::v2d q = map_fast::v2d{e, rs} / map_fast::v2d{d, f};
        x = q[0] * p.H;
        y = q[1] * p.H;
    }
    return Res::ok;
}

// Sines and cosines of the scan angles of plot point (x, y), as the y-sweeping
// instrument has them (an x-sweeping one's angles are turned into those).
void scan_angles(const Params &p, double x, double y, double &sa, double &ca, double &sb,
                 double &cb) {
    if (p.sweep_x) {
        // The view direction (towards the earth, east, north) is (ca cb, sa, ca sb) for
        // the x-sweeping angles; the y-sweeping ones of the same direction follow.
        double s1, c1, s2, c2;
        map_fast::sincos2(x * p.inv_H, y * p.inv_H, s1, c1, s2, c2);
        const double dn = c1 * c2, h = map_fast::sqrt(s1 * s1 + dn * dn);
        sb = c1 * s2;
        cb = h;
        sa = h > 0.0 ? s1 / h : 0.0;
        ca = h > 0.0 ? dn / h : 1.0;
    } else if (p.scan) {
        map_fast::sincos2(x * p.inv_H, y * p.inv_H, sa, ca, sb, cb);
    } else {
        const double qa = 1.0 / map_fast::sqrt(p.H2 + x * x),
                     qb = 1.0 / map_fast::sqrt(p.H2 + y * y);
        sa = x * qa, ca = p.H * qa;
        sb = y * qb, cb = p.H * qb;
    }
}

Res sat_inv(const Params &p, double x, double y, double &lat, double &lon) {
    double sa, ca, sb, cb;
    if (!p.ellipsoid) {
        if (p.scan) {
            scan_angles(p, x, y, sa, ca, sb, cb);
            const map_fast::v2d q = map_fast::v2d{sa, sb} / map_fast::v2d{ca, cb};
            x = p.H * q[0];
            y = p.H * q[1];
        }
        // The scan ray meets the sphere at t (x, y) across and t y up with
        // t = T / D, T = H^2 - sqrt(disc); then sin lat = t y / R and sin dlon =
        // t x / (R cos lat). As arc tangents, all times R D: lat = atan2(T y,
        // sqrt(R^2 D^2 - T^2 y^2)), dlon = atan2(T x, sqrt(R^2 D^2 - T^2 (x^2 + y^2))).
        const double D = x * x + y * y + p.H2;
        const double disc = p.H4 - D * p.H2e;
        if (disc < 0.0)
            return Res::off;
        const double T = p.H2 - map_fast::sqrt(disc), RD = kR * D;
        const double Ty = T * y, Tx = T * x, ty = std::fabs(Ty);
        const double cos_lat = (RD - ty) * (RD + ty); // times R^2 D^2
        if (!(cos_lat > 0.0)) { // at a pole (the ray meets the sphere of radius a)
            lat = std::copysign(90.0, y);
            lon = p.lon0;
            return Res::ok;
        }
        const map_fast::v2d c =
            map_fast::vsqrt(map_fast::v2d{cos_lat, at_least(cos_lat - Tx * Tx, 0.0)});
        map_fast::atan2_2(Ty, c[0], Tx, c[1], lat, lon, kR2D, -0.0, kR2D, p.lon0);
        return Res::ok;
    }
    scan_angles(p, x, y, sa, ca, sb, cb);
    const double cc = ca * cb, q = p.H * cc;
    const double s = sb * sb * (1.0 / kAxisRatio2) + cb * cb;
    const double disc = q * q - s * p.H2e;
    if (disc < 0.0)
        return Res::off;
    // The surface is at distance t = (q - sqrt(disc)) / s along the ray. The angles
    // need the point (X, Y, t sb) only up to a positive factor: take it times s.
    const double ts = q - map_fast::sqrt(disc);
    const double X = p.H * s - ts * cc;
    const double Y = ts * sa * cb;
    map_fast::atan2_2(ts * sb, kAxisRatio2 * map_fast::sqrt(X * X + Y * Y), Y, X, lat, lon, kR2D,
                      -0.0, kR2D, p.lon0);
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
    make_row<true, ps_fwd, ps_inv>(1, ps_setup),
    make_row<true, ll_fwd, ll_inv>(2, no_setup),
    make_row<true, merc_fwd, merc_inv>(3, no_setup),
    make_row<true, lcc_fwd, lcc_inv>(4, lcc_setup),
    make_row<true, ortho_fwd, ortho_inv>(5, no_setup),
    make_row<true, gnom_fwd, gnom_inv>(6, no_setup),
    make_row<true, moll_fwd, moll_inv>(7, no_setup),
    make_row<true, laea_fwd, laea_inv>(8, no_setup),
    make_row<true, sat_fwd, sat_inv>(9, sat_setup),
    make_row<false, lin_fwd, lin_inv>(20, no_setup),
    make_row<false, logp_fwd, logp_inv>(22, no_setup),
    make_row<false, polar_fwd, polar_inv>(23, no_setup),
    make_row<false, lin_fwd, lin_inv>(24, no_setup),
    make_row<false, down_fwd, down_inv>(25, no_setup),
    make_row<false, skewt_fwd, skewt_inv>(40, no_setup),
    make_row<false, stuve_fwd, stuve_inv>(41, no_setup),
    make_row<false, logp_fwd, logp_inv>(42, no_setup),
    make_row<false, teph_fwd, teph_inv>(43, no_setup),
    make_row<false, rteph_fwd, rteph_inv>(44, no_setup),
    make_row<false, pixel_fwd, pixel_inv>(99, no_setup),
};

const Row *find_row(int code) {
    for (const Row &r : kRows)
        if (r.code == code)
            return &r;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Module state: the current domain, the view it was made with, the declutter
// grid and the tables of the last Lambert conformal cone.

struct MapState {
    MapProjection cur;
    float view[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int grid_limit = 0;
    std::vector<uint8_t> grid; // declutter cells, empty: no grid
    std::shared_ptr<const LccTables> lcc;
};

MapState &st() {
    static MapState s;
    return s;
}

// Callers that switch between domains set up the same cone again and again: the
// last tables are kept and shared.
std::shared_ptr<const LccTables> lcc_tables(double n, double f) {
    std::shared_ptr<const LccTables> &t = st().lcc;
    if (!t || t->n != n || t->f != f) {
        auto made = std::make_shared<LccTables>();
        make_lcc_tables(*made, n, f);
        t = std::move(made);
    }
    return t;
}

void order(double &lo, double &hi) {
    if (lo > hi) {
        const double t = lo;
        lo = hi;
        hi = t;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The projection of one domain.

MapProjection::MapProjection(const DOMAIN &dom, const float *view) : dom_(dom) {
    if (view)
        for (int i = 0; i < 4; ++i)
            view_[i] = view[i];
    if (missing(dom_.param[0]))
        dom_.param[0] = dom_.clat;
    if (missing(dom_.param[1]))
        dom_.param[1] = dom_.clon;
    compute_limits();
}

// The constants of the transformations from the domain, the limits and the view.
void MapProjection::prepare() {
    const DOMAIN &d = dom_;
    Params p;
    p.lat0 = missing(d.param[0]) ? 0.0 : d.param[0];
    p.lon0 = missing(d.param[1]) ? 0.0 : d.param[1];
    p.h = p.lat0 < 0.0 ? -1.0 : 1.0;
    p.sin0 = std::sin(p.lat0 * kD2R);
    p.cos0 = std::cos(p.lat0 * kD2R);
    p.xmin = xmin_;
    p.xmax = xmax_;
    p.ymin = ymin_;
    p.ymax = ymax_;
    p.xfactor = xfactor_;
    p.yfactor = yfactor_;
    const double vw = view_[1] - view_[0], vh = view_[3] - view_[2];
    const double xr = xmax_ - xmin_, yr = ymax_ - ymin_;
    if (d.proj == 40 && vw != 0.0 && yr != 0.0)
        p.skew = (vh / vw) * xr / yr;
    if (d.proj == 43 && vw != 0.0 && yr != 0.0)
        p.skew = (xr / yr) * (vh / vw);
    if (!std::isfinite(p.skew))
        p.skew = 0.0;
    row_ = find_row(d.proj);
    if (row_)
        row_->setup(p, d);
    p_ = std::move(p);
}

// Forward transformation in double precision with the conventions of MAP_tran:
// -1 when the outputs stay as they are (no transformation for the code), 2 when
// the inputs pass through (no domain).
int MapProjection::tran_double(double a, double b, double &x, double &y) const {
    if (dom_.proj == MISSING) {
        x = a;
        y = b;
        return 2;
    }
    if (!row_)
        return -1;
    return row_->fwd(p_, a, b, x, y);
}

// Limits of the domain (and the factors of the linear diagrams), then the
// constants that depend on them.
void MapProjection::compute_limits() {
    const DOMAIN &d = dom_;
    xmin_ = xmax_ = ymin_ = ymax_ = 0.0;
    xfactor_ = yfactor_ = 0.0;
    prepare();
    const double clat = d.clat, clon = d.clon, dx = d.dx, dy = d.dy;
    const double nx = d.nx, ny = d.ny;
    auto proj_point = [this](double a, double b, double &x, double &y) {
        if (tran_double(a, b, x, y) < 0)
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
        xmin_ = cx - (nx - 1.0) * 0.5 * dx;
        xmax_ = cx + (nx - 1.0) * 0.5 * dx;
        ymin_ = cy - (ny - 1.0) * 0.5 * dy;
        ymax_ = cy + (ny - 1.0) * 0.5 * dy;
        break;
    }
    case 20:
    case 24:
    case 25:
        xmin_ = clat;
        xmax_ = clat + nx;
        xfactor_ = dx != 0.0 ? nx / dx : 1.0;
        ymin_ = d.proj == 25 ? -clon : clon;
        ymax_ = d.proj == 25 ? ny - clon : clon + ny;
        yfactor_ = dy != 0.0 ? ny / dy : 1.0;
        break;
    case 23:
        xmin_ = clat;
        xmax_ = clat + dx;
        ymin_ = clon;
        ymax_ = clon + dy;
        break;
    case 22:
    case 41:
    case 42:
    case 99:
        proj_point(clat, clon, xmin_, ymin_);
        proj_point(clat + dx, clon + dy, xmax_, ymax_);
        break;
    case 40:
    case 43:
    case 44: {
        // Corner, end of the x axis and end of the y axis, unskewed / unturned.
        MapProjection flat = *this;
        flat.dom_.proj = d.proj == 43 ? 44 : d.proj;
        flat.prepare();
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        flat.tran_double(clat, clon, x0, y0);
        flat.tran_double(clat + dx, clon, x1, y1);
        flat.tran_double(clat, clon + dy, x2, y2);
        xmin_ = x0;
        xmax_ = x1;
        ymin_ = y0;
        ymax_ = y2;
        break;
    }
    default:
        break;
    }
    if (d.proj >= 20) {
        order(xmin_, xmax_);
        order(ymin_, ymax_);
    }
    prepare();
}

void MapProjection::set_proj(int code) {
    dom_.proj = code;
    prepare();
}

void MapProjection::set_coord(float lat, float lon) {
    dom_.param[0] = lat;
    dom_.param[1] = lon;
    prepare();
}

bool MapProjection::set_true_lats(const float t[2]) {
    if (!t || dom_.proj != 4)
        return false;
    dom_.param[2] = t[0];
    dom_.param[3] = t[1];
    prepare();
    return true;
}

void MapProjection::set_view(const float v[4]) {
    for (int i = 0; i < 4; ++i)
        view_[i] = v[i];
    prepare(); // the diagram skew depends on the view
}

// The common case (a projection with its row) goes straight to the row; the
// rest is out of line so that the fast path needs no stack frame.
int MapProjection::tran(float *x, float *y, float lat, float lon) const {
    if (row_ && x && y) [[likely]]
        return row_->fwd_float(p_, lat, lon, x, y);
    return tran_other(x, y, lat, lon);
}

int MapProjection::untran(float *lat, float *lon, float x, float y) const {
    if (row_ && lat && lon) [[likely]]
        return row_->inv_float(p_, x, y, lat, lon);
    return untran_other(lat, lon, x, y);
}

[[gnu::noinline]] int MapProjection::tran_other(float *x, float *y, float lat, float lon) const {
    if (!x || !y)
        return 0;
    if (dom_.proj == MISSING) {
        *x = lat;
        *y = lon;
    }
    return 1;
}

[[gnu::noinline]] int MapProjection::untran_other(float *lat, float *lon, float, float) const {
    return lat && lon ? 1 : 0;
}

int MapProjection::tran_center(float *x, float *y) const {
    return tran(x, y, dom_.clat, dom_.clon);
}

int MapProjection::grid_tran(float *x, float *y, float i, float j) const {
    if (!x || !y)
        return -1;
    const double gx = i * double{dom_.dx} + xmin_, gy = ymax_ - j * double{dom_.dy};
    if (missing(i) || missing(j) || !fits(gx) || !fits(gy)) {
        *x = *y = MISSING_F;
        return -1;
    }
    *x = static_cast<float>(gx);
    *y = static_cast<float>(gy);
    return 1;
}

int MapProjection::grid_untran(float *i, float *j, float x, float y) const {
    if (!i || !j)
        return -1;
    const double dx = dom_.dx, dy = dom_.dy;
    const double gi = dx != 0.0 ? (x - xmin_) / dx : HUGE_VAL;
    const double gj = dy != 0.0 ? (ymax_ - y) / dy : HUGE_VAL;
    if (missing(x) || missing(y) || !fits(gi) || !fits(gj)) {
        *i = *j = MISSING_F;
        return -1;
    }
    *i = static_cast<float>(gi);
    *j = static_cast<float>(gj);
    return 1;
}

void MapProjection::limits(float out[4]) const {
    out[0] = to_float(xmin_);
    out[1] = to_float(xmax_);
    out[2] = to_float(ymin_);
    out[3] = to_float(ymax_);
}

void MapProjection::up_left(float *x, float *y) const {
    *x = to_float(xmin_);
    *y = to_float(ymax_);
}

int MapProjection::in_domain(float x, float y) const {
    if (dom_.proj == MISSING)
        return 1;
    return x >= xmin_ && x <= xmax_ && y >= ymin_ && y <= ymax_ ? 1 : 0;
}

int MapProjection::in_grid_domain(float x, float y) const {
    if (dom_.proj == MISSING)
        return 1;
    const double mx = 3.0 * dom_.dx, my = 3.0 * dom_.dy;
    return x >= xmin_ - mx && x <= xmax_ + mx && y >= ymin_ - my && y <= ymax_ + my ? 1 : 0;
}

float MapProjection::factor(float lat) const {
    if (dom_.proj != 1 && dom_.proj != 4)
        return 1.0f;
    if (!std::isfinite(lat) || missing(lat))
        return MISSING_F;
    const Params &p = p_;
    double k = MISSING_D;
    if (dom_.proj == 1) {
        // Ratio of the scale at the true latitude to the scale at lat, PROJ's k for the
        // projection: (1 + h sin tlat1) / (1 + h sin lat). The short form 1.866 / (1 + sin lat)
        // holds only for a northern map true at 60 degrees; in the south it would grow
        // towards the pole instead of shrinking.
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
    return fits(k) ? static_cast<float>(k) : MISSING_F;
}

float MapProjection::dir_adj(float dir, float x, float y) const {
    if (!std::isfinite(dir) || missing(dir) || missing(x) || missing(y) ||
        std::fabs(dir) > kMaxLon || !(std::fabs(x) <= kMaxPlot) || !(std::fabs(y) <= kMaxPlot))
        return MISSING_F;
    const int code = dom_.proj;
    if (code != 1 && code != 4 && code != 9)
        return dir;
    const Params &p = p_;
    double out = dir;
    if (code == 1) {
        if (x == 0.0f && y == 0.0f)
            out = p.h > 0.0 ? dir - p.lon0 : dir + p.lon0;
        else
            out = p.h > 0.0 ? dir - std::atan2(x, -y) * kR2D : dir + std::atan2(x, y) * kR2D;
    } else if (code == 4) {
        // As on the polar stereographic map: the meridians meet at the apex, above the map in
        // the north and below it in the south, so the turn changes sign with the hemisphere
        // (dir - atan2(x, -h y) in both would turn southern directions the wrong way). The
        // result is the direction less PROJ's meridian convergence for the cone.
        out = p.h > 0.0 ? dir - std::atan2(x, -y) * kR2D : dir + std::atan2(x, y) * kR2D;
    } else {
        float lat = 0.0f, lon = 0.0f, x2 = 0.0f, y2 = 0.0f;
        if (untran(&lat, &lon, x, y) != 1)
            return MISSING_F;
        const double lat2 = lat + std::cos(dir * kD2R) / kKmPerDegree;
        const double lon2 = lon + std::sin(dir * kD2R) / (kKmPerDegree * std::cos(lat * kD2R));
        if (tran(&x2, &y2, static_cast<float>(lat2), static_cast<float>(lon2)) != 1)
            return MISSING_F;
        out = std::atan2(double{x2} - x, double{y2} - y) * kR2D;
    }
    return fits(out) ? static_cast<float>(out) : MISSING_F;
}

// ---------------------------------------------------------------------------
// The current domain.

void MAP_reset_state() {
    st() = MapState{};
}

int MAP_domain(const DOMAIN *dom) {
    MapState &s = st();
    if (!dom) {
        s.cur.set_proj(MISSING);
        return -1;
    }
    s.cur = MapProjection(*dom, s.view);
    return 0;
}

int MAP_proj(int code) {
    st().cur.set_proj(code);
    return 0;
}

int MAP_coord(float lat, float lon) {
    st().cur.set_coord(lat, lon);
    return 0;
}

int MAP_proj_coord(const float t[2]) {
    return st().cur.set_true_lats(t) ? 0 : -1;
}

const MapProjection &MAP_current() {
    return st().cur;
}

const DOMAIN *MAP_get_domain(DOMAIN *out) {
    const DOMAIN &d = st().cur.domain();
    if (out)
        *out = d;
    return &d;
}

int MAP_get_proj() {
    return st().cur.domain().proj;
}
float MAP_get_clat() {
    return st().cur.domain().clat;
}
float MAP_get_clon() {
    return st().cur.domain().clon;
}

void MAP_print_domain() {
    DOM_print(MESS_PRINT, &st().cur.domain());
}

int MAP_proj_str(const char *text) {
    return DOM_proj_str(text);
}

int MAP_tran(float *x, float *y, float lat, float lon) {
    return st().cur.tran(x, y, lat, lon);
}

int MAP_untran(float *lat, float *lon, float x, float y) {
    return st().cur.untran(lat, lon, x, y);
}

int MAP_tran_center(float *x, float *y) {
    return st().cur.tran_center(x, y);
}

int MAP_grid_tran(float *x, float *y, float i, float j) {
    return st().cur.grid_tran(x, y, i, j);
}

int MAP_grid_untran(float *i, float *j, float x, float y) {
    return st().cur.grid_untran(i, j, x, y);
}

int MAP_domain_tran(const DOMAIN *from, const DOMAIN *to, float *x, float *y, float xin,
                    float yin) {
    if (!x || !y)
        return -1;
    if (!from || !to) {
        *x = *y = MISSING_F;
        return -1;
    }
    if (DOM_comp(from, to)) {
        *x = xin;
        *y = yin;
        return 0;
    }
    const MapProjection a(*from, st().view), b(*to, st().view);
    float lat = MISSING_F, lon = MISSING_F;
    a.untran(&lat, &lon, xin, yin);
    b.tran(x, y, lat, lon);
    return 0;
}

int MAP_get_limits(float out[4]) {
    if (!out)
        return -1;
    st().cur.limits(out);
    return 0;
}

int MAP_get_up_left(float *x, float *y) {
    if (!x || !y)
        return -1;
    st().cur.up_left(x, y);
    return 0;
}

int MAP_set_view(const float v[4]) {
    if (!v)
        return -1;
    MapState &s = st();
    for (int i = 0; i < 4; ++i)
        s.view[i] = v[i];
    s.cur.set_view(v);
    return 0;
}

int MAP_in_domain(float x, float y) {
    return st().cur.in_domain(x, y);
}

int MAP_in_grid_domain(float x, float y) {
    return st().cur.in_grid_domain(x, y);
}

float MAP_factor(float lat) {
    return st().cur.factor(lat);
}

float MAP_dir_adj(float dir, float x, float y) {
    return st().cur.dir_adj(dir, x, y);
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
    const DOMAIN &d = s.cur.domain();
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
    if (s.cur.grid_untran(&fi, &fj, x, y) != 1)
        return 0;
    const DOMAIN &d = s.cur.domain();
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
