// AREA navigation.
//
// Two jobs. Map-projection navigation blocks become a plot domain of the image,
// after which the projection module transforms its points. Satellite blocks are
// navigated point by point: the GOES spin-scan navigation below (a Kepler orbit,
// a spin axis fixed in inertial space and a scan of one line per spin and
// sensor) and the GVAR navigation of gvar.cpp.
//
// Navigation words are signed 32-bit integers; "packed" values are +-DDDMMSS
// degrees or HHMMSS hours. Traps: the spin-scan line count carries the number
// of sensors in its upper digits; the line coordinate of a "GOES" image counts
// from the actual start scan (directory word 47).
#include "satformats/sat_tran.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/mess.h"
#include "base/resrc.h"
#include "map/maptran.h"
#include "map/region.h"
#include "sat/sat_tool.h"
#include "satformats/gvar.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kRad = kPi / 180;
constexpr double kMissing = -9999.0;

} // namespace

// ===========================================================================
// Date and angle helpers
// ===========================================================================

namespace satnav {

namespace {

// Full year of a two- or three-digit year part.
int full_year(int yy) {
    return yy < 50 ? yy + 2000 : (yy < 200 ? yy + 1900 : yy);
}

bool leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days before 1 January of a (proleptic Gregorian) year, counted from year 1.
int64_t days_before(int64_t y) {
    --y;
    return 365 * y + y / 4 - y / 100 + y / 400;
}

constexpr int kCum[2][12] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                             {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};

// Day number of the 1950-based minute counts (integer steps as published).
int64_t day_number(int64_t year, int64_t day) {
    return ((year + 4799) * 1461) / 4 + day - ((year + 4899) / 100 * 3) / 4 - 2465022;
}

int bcd(uint32_t word, int digit) { // digit 0 is the most significant of eight
    return static_cast<int>(word >> (28 - 4 * digit) & 0xF);
}

} // namespace

int numyr(int yy) {
    return leap(full_year(yy)) ? 366 : 365;
}

int numdy(int d1, int d2) {
    auto absolute = [](int d) {
        int y = d / 1000;
        if (d < 50000)
            y += 2000;
        if (y < 200)
            y += 1900;
        return days_before(y) + d % 1000;
    };
    return static_cast<int>(absolute(d2) - absolute(d1));
}

double timdif(int d1, int d2, double h1, double h2) {
    return numdy(d1, d2) * 1440.0 + (h2 - h1) * 60.0;
}

int mdcon(int mode, int value) {
    if (mode == 1) {
        const int yy = value / 10000;
        const int mm = std::clamp(value / 100 % 100, 1, 12);
        const int dd = value % 100;
        return yy * 1000 + kCum[leap(full_year(yy)) ? 1 : 0][mm - 1] + dd;
    }
    const int yy = value / 1000;
    const int lp = leap(full_year(yy)) ? 1 : 0;
    const int ddd = std::clamp(value % 1000, 1, 365 + lp);
    int mm = 12;
    while (mm > 1 && ddd <= kCum[lp][mm - 1])
        --mm;
    return yy * 10000 + mm * 100 + (ddd - kCum[lp][mm - 1]);
}

double int2deg(int packed) {
    const int64_t a = std::llabs(static_cast<int64_t>(packed));
    const double v = static_cast<double>(a / 10000) + static_cast<double>(a / 100 % 100) / 60.0 +
                     static_cast<double>(a % 100) / 3600.0;
    return packed < 0 ? -v : v;
}

int deg2int(double deg) {
    double a = std::fabs(deg) + 0.000138888;
    if (!(a < 200000.0))
        return 0;
    const int d = static_cast<int>(a);
    const double m = (a - d) * 60.0;
    const int mi = static_cast<int>(m);
    const int s = static_cast<int>((m - mi) * 60.0);
    const int v = d * 10000 + mi * 100 + s;
    return deg < 0 ? -v : v;
}

double geolat(int mode, double lat) {
    constexpr double kRatio = 0.9932773468128505; // (polar / equatorial radius)^2
    const double t = std::tan(lat * kRad);
    return std::atan(mode == 1 ? t * kRatio : t / kRatio) / kRad;
}

void sphere_cvt(const double xyz[3], double *lat, double *lon, double *radius) {
    *lat = std::atan2(xyz[2], std::hypot(xyz[0], xyz[1])) / kRad;
    *lon = std::atan2(xyz[1], xyz[0]) / kRad;
    *radius = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]);
}

int rnd(double x) {
    if (!(std::fabs(x) < 2.0e9))
        return 0;
    return static_cast<int>(std::round(x));
}

double time50(int32_t w0, int32_t w1) {
    const auto a = static_cast<uint32_t>(w0), b = static_cast<uint32_t>(w1);
    const int year = bcd(a, 0) * 1000 + bcd(a, 1) * 100 + bcd(a, 2) * 10 + bcd(a, 3);
    const int day = bcd(a, 4) * 100 + bcd(a, 5) * 10 + bcd(a, 6);
    const int hour = bcd(a, 7) * 10 + bcd(b, 0);
    const int minute = bcd(b, 1) * 10 + bcd(b, 2);
    const double seconds =
        bcd(b, 3) * 10 + bcd(b, 4) + bcd(b, 5) * 0.1 + bcd(b, 6) * 0.01 + bcd(b, 7) * 0.001;
    return timex(year, day, hour, minute, seconds);
}

double timex(int year, int day, int hour, int minute, double seconds) {
    return static_cast<double>(day_number(year, day)) * 1440.0 + hour * 60.0 + minute +
           seconds / 60.0;
}

} // namespace satnav

// ===========================================================================
// GOES spin-scan navigation (pure math)
// ===========================================================================

namespace spinscan {

namespace {

constexpr double kEqRadius = 6378.388; // km
constexpr double kPolRadius = 6356.912;
constexpr double kMeanRadius = 6371.221;
constexpr double kGravity = 0.07436574;            // earth radii^1.5 per minute
constexpr double kSidereal = 0.26251617076855077;  // rad per hour
constexpr double kEarthRot = 0.004375269512809179; // rad per minute
constexpr int kRefDate = 90001;
constexpr double kRefHours = 17.0 + 15.0 / 60 + 37.0 / 3600;

} // namespace

struct Orbit {
    int sat_type = 1, anom_type = 0, sec_ord = 0;
    int epoch_date = 0, epoch_time = 0; // yymmdd, hhmmss
    double semi_maj = 0, eccent = 0, inclin = 0, anomaly = 0, perigee = 0, asc_node = 0;
};

struct Scan {
    double declin = 0, right_asc = 0;
    int center_line = 0;
    double spin_rate = 0, deg_line = 0;
    int num_lines = 0;
    double deg_elem = 0;
    int num_elem = 0;
    double pitch = 0, yaw = 0, roll = 0, prec_rate = 0, prec_dir = 0;
};

struct Nav {
    int date = 0;     // picture date, yyddd
    double start = 0; // picture start time, hours
    Orbit orb;
    Scan nav;
    double gamma_init = 0, gamma_dot = 0, atms_hght = 0, prec_veq = 0;

    // Derived by setup().
    bool ready = false, valid = false;
    int sensors = 1, lines = 0;
    double ce = 0, rl = 0, re = 0;
    double spin[3] = {};
    double r[6] = {};
    double mean_motion = 0;
    int peri_date = 0;
    double peri_hours = 0;
    double P[3] = {}, Q[3] = {};
};

// Derived values of the scan and of the orbit.
void setup(Nav &n) {
    n.ready = true;
    int sensors = (n.nav.num_lines / 100000) % 100;
    n.sensors = std::max(1, sensors);
    n.lines = n.sensors * (n.nav.num_lines % 100000);
    n.valid = n.lines > 1 && n.nav.num_elem > 1 && n.orb.semi_maj > 0 && n.nav.spin_rate > 0;
    if (!n.valid)
        return;
    n.ce = (n.nav.num_elem + 1) / 2.0;
    n.rl = n.nav.deg_line * kRad / (n.lines - 1);
    n.re = n.nav.deg_elem * kRad / (n.nav.num_elem - 1);

    // Spin axis in earth-fixed axes at 0 h of the picture date.
    const double theta0 = (kEarthRot - n.prec_veq) * satnav::timdif(kRefDate, n.date, kRefHours, 0);
    double alpha = std::fmod(n.nav.right_asc * kRad - theta0, kTwoPi);
    if (alpha < 0)
        alpha += kTwoPi;
    const double dec = n.nav.declin * kRad;
    n.spin[0] = std::cos(dec) * std::cos(alpha);
    n.spin[1] = std::cos(dec) * std::sin(alpha);
    n.spin[2] = std::sin(dec);

    const double p = n.nav.pitch * kRad, y = n.nav.yaw * kRad, r = n.nav.roll * kRad;
    n.r[0] = std::cos(p) * std::cos(r);
    n.r[1] = std::cos(p) * std::sin(y) * std::sin(r) + std::sin(p) * std::cos(y);
    n.r[2] = -std::sin(r);
    n.r[3] = std::sin(y) * std::cos(r);
    n.r[4] = -std::cos(r) * std::sin(p);
    n.r[5] = std::cos(p) * std::cos(y) - std::sin(p) * std::sin(y) * std::sin(r);

    // Orbit: time of perigee passage and the orbit-plane axes.
    const int epoch = satnav::mdcon(1, n.orb.epoch_date);
    const double epoch_hours = satnav::int2deg(n.orb.epoch_time);
    double m0 = std::fmod(n.orb.anomaly, 360.0);
    if (m0 < 0)
        m0 += 360.0;
    n.mean_motion = kGravity * std::pow(kEqRadius / n.orb.semi_maj, 1.5);
    double h = epoch_hours - m0 * kRad / (n.mean_motion * 60.0);
    const double k = std::floor(h / 24.0);
    int yy = epoch / 1000, day = epoch % 1000 + static_cast<int>(std::clamp(k, -1e6, 1e6));
    while (day < 1) {
        --yy;
        day += satnav::numyr(yy);
    }
    while (day > satnav::numyr(yy)) {
        day -= satnav::numyr(yy);
        ++yy;
    }
    n.peri_date = yy * 1000 + day;
    n.peri_hours = satnav::int2deg(satnav::deg2int(h - 24.0 * k));

    const double w = n.orb.perigee * kRad, o = n.orb.asc_node * kRad, i = n.orb.inclin * kRad;
    const double cw = std::cos(w), sw = std::sin(w), co = std::cos(o), so = std::sin(o);
    const double ci = std::cos(i), si = std::sin(i);
    n.P[0] = cw * co - sw * so * ci;
    n.P[1] = cw * so + sw * co * ci;
    n.P[2] = sw * si;
    n.Q[0] = -sw * co - cw * so * ci;
    n.Q[1] = -sw * so + cw * co * ci;
    n.Q[2] = cw * si;
}

// Satellite position (km) at a date and time.
void position(const Nav &n, int date, double hours, bool celestial, double x[3]) {
    const double dt = satnav::timdif(n.peri_date, date, n.peri_hours, hours);
    const double m = std::fmod(dt * n.mean_motion, kTwoPi);
    const double e = n.orb.eccent;
    double ea = m;
    for (int i = 0; i < 20; ++i) {
        const double next = m + e * std::sin(ea);
        const bool done = std::fabs(next - ea) < 1e-8;
        ea = next;
        if (done)
            break;
    }
    const double a = n.orb.semi_maj;
    const double c1 = a * (std::cos(ea) - e),
                 c2 = a * std::sqrt(std::max(0.0, 1 - e * e)) * std::sin(ea);
    for (int i = 0; i < 3; ++i)
        x[i] = c1 * n.P[i] + c2 * n.Q[i];
    if (celestial)
        return;
    double th = std::fmod(
        (kEarthRot - n.prec_veq) * satnav::timdif(kRefDate, date, kRefHours, hours), kTwoPi);
    if (th < 0)
        th += kTwoPi;
    const double c = std::cos(th), s = std::sin(th);
    const double xx = x[0] * c + x[1] * s, yy = x[1] * c - x[0] * s;
    x[0] = xx;
    x[1] = yy;
}

namespace {

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

int spin_of(const Nav &n, double line) {
    const int l = satnav::rnd(line) - 1;
    return l >= 0 ? l / n.sensors : -((-l + n.sensors - 1) / n.sensors);
}

// The scan frame at the time of a pixel: satellite position X, the earth-pointing
// axis w, the axis k across it and the spin axis s.
struct Frame {
    double x[3], w[3], k[3], s[3];
    double sat_lat, sat_lon, dist;
};

bool frame_at(const Nav &n, double line, double elem, Frame &f) {
    const double hours =
        ((elem - 1) / (n.nav.num_elem - 1) * n.nav.deg_elem / 360.0 + spin_of(n, line)) *
            n.nav.spin_rate +
        n.start;
    const double g = (hours * n.gamma_dot + n.gamma_init) * n.re;
    const double psi = hours * kSidereal;
    position(n, n.date, hours, false, f.x);
    satnav::sphere_cvt(f.x, &f.sat_lat, &f.sat_lon, &f.dist);
    if (!(f.dist > 0))
        return false;
    double u[3];
    for (int i = 0; i < 3; ++i)
        u[i] = f.x[i] / f.dist;
    const double cp = std::cos(psi), sp = std::sin(psi);
    f.s[0] = cp * n.spin[0] + sp * n.spin[1];
    f.s[1] = cp * n.spin[1] - sp * n.spin[0];
    f.s[2] = n.spin[2];
    const double us = dot(u, f.s);
    double v[3] = {u[0] - us * f.s[0], u[1] - us * f.s[1], u[2] - us * f.s[2]};
    const double vn = std::sqrt(dot(v, v));
    if (!(vn > 0))
        return false;
    double w[3] = {-v[0] / vn, -v[1] / vn, -v[2] / vn};
    double k[3] = {f.s[1] * w[2] - f.s[2] * w[1], f.s[2] * w[0] - f.s[0] * w[2],
                   f.s[0] * w[1] - f.s[1] * w[0]};
    const double cg = std::cos(g), sg = std::sin(g);
    for (int i = 0; i < 3; ++i) {
        f.w[i] = w[i] * cg - k[i] * sg;
        f.k[i] = w[i] * sg + k[i] * cg;
    }
    return true;
}

} // namespace

// Line/element to geodetic latitude/longitude (degrees): 0, or -1 off the earth.
int to_earth(const Nav &n, double line, double elem, double *lat, double *lon) {
    Frame f;
    if (!n.valid || !frame_at(n, line, elem, f)) {
        *lat = *lon = kMissing;
        return -1;
    }
    const double lam = (line - n.nav.center_line) * n.rl;
    const double eps = (elem - n.ce) * n.re;
    const double cl = std::cos(lam), sl = std::sin(lam);
    const double a = cl * n.r[0] - sl * n.r[1];
    const double b = cl * n.r[2] - sl * n.r[3];
    const double z = cl * n.r[4] - sl * n.r[5];
    const double ce = std::cos(eps), se = std::sin(eps);
    double d[3];
    for (int i = 0; i < 3; ++i)
        d[i] = (a * ce + b * se) * f.w[i] + (b * ce - a * se) * f.k[i] + z * f.s[i];

    const double eq = kEqRadius + n.atms_hght, po = kPolRadius + n.atms_hght;
    const double q = (po * po) / (eq * eq);
    const double A = q + (1 - q) * d[2] * d[2];
    const double B = 2 * (q * (d[0] * f.x[0] + d[1] * f.x[1]) + d[2] * f.x[2]);
    const double C = q * (f.x[0] * f.x[0] + f.x[1] * f.x[1]) + f.x[2] * f.x[2] - po * po;
    const double disc = B * B - 4 * A * C;
    if (!(disc >= 1.0)) {
        *lat = *lon = kMissing;
        return -1;
    }
    const double t = (-B - std::sqrt(disc)) / (2 * A);
    const double p[3] = {f.x[0] + t * d[0], f.x[1] + t * d[1], f.x[2] + t * d[2]};
    *lat = satnav::geolat(2, std::atan2(p[2], std::hypot(p[0], p[1])) / kRad);
    *lon = std::atan2(p[1], p[0]) / kRad;
    return 0;
}

// Latitude/longitude to line/element (mode 2), or the sub-satellite point (mode 3,
// sub == true, into lat/lon). Mode 2: 0 with -9999.0 outside the picture, -1
// hidden from the satellite.
int to_image(const Nav &n, bool sub, double *lat, double *lon, double *line, double *elem) {
    if (!n.valid || (!sub && !(std::fabs(*lat) <= 90 && std::fabs(*lon) <= 360))) {
        if (sub)
            *lat = *lon = kMissing;
        else
            *line = *elem = kMissing;
        return -1;
    }
    double l = n.nav.center_line, e = n.ce;
    double target[3] = {0, 0, 0};
    Frame f;
    for (int pass = 0; pass < 20; ++pass) {
        if (!frame_at(n, l, e, f)) {
            *line = *elem = kMissing;
            return -1;
        }
        if (pass == 0 && !sub) {
            const double phi = satnav::geolat(1, *lat) * kRad, lam = *lon * kRad;
            const double g[3] = {std::cos(phi) * std::cos(lam), std::cos(phi) * std::sin(lam),
                                 std::sin(phi)};
            const double u[3] = {f.x[0] / f.dist, f.x[1] / f.dist, f.x[2] / f.dist};
            if (dot(g, u) < kMeanRadius / f.dist) {
                *line = *elem = kMissing;
                return -1;
            }
            const double a = kEqRadius, b = kPolRadius, s = std::sin(phi), c = std::cos(phi);
            const double r = a * b / std::sqrt(a * a * s * s + b * b * c * c) + n.atms_hght;
            for (int i = 0; i < 3; ++i)
                target[i] = g[i] * r;
        }
        double d[3] = {target[0] - f.x[0], target[1] - f.x[1], target[2] - f.x[2]};
        const double dn = std::sqrt(dot(d, d));
        for (double &v : d)
            v /= dn;
        const double d1 = dot(f.w, d), d2 = dot(f.k, d), d3 = dot(f.s, d);
        const double rr = std::max(0.0, n.r[4] * n.r[4] + n.r[5] * n.r[5] - d3 * d3);
        const double lam = std::atan2(d3, std::sqrt(rr)) - std::atan2(n.r[4], n.r[5]);
        const double t1 = std::cos(lam) * n.r[0] + std::sin(lam) * n.r[1];
        const double t2 = std::cos(lam) * n.r[2] + std::sin(lam) * n.r[3];
        const double eps = std::atan2(d2, d1) - std::atan2(t2, t1);
        const double nl = n.nav.center_line - lam / n.rl;
        const double ne = n.ce - eps / n.re;
        const bool same_spin = spin_of(n, nl) == spin_of(n, l);
        l = nl;
        e = ne;
        if (same_spin)
            break;
    }
    if (sub) {
        *lat = f.sat_lat;
        *lon = f.sat_lon;
        return 0;
    }
    if (l >= 1 && l <= n.lines && e >= 1 && e <= n.nav.num_elem) {
        *line = l;
        *elem = e;
    } else {
        *line = *elem = kMissing;
    }
    return 0;
}

} // namespace spinscan

// ===========================================================================
// Navigation state and the AREA interface
// ===========================================================================

namespace {

struct TranState {
    int image_type = AREA_NAV_NONE;
    float lcor = 1, ecor = 1, lres = 1, eres = 1;
    spinscan::Nav goes;
};

TranState &st() {
    static TranState s;
    return s;
}

spinscan::Nav &goes_nav() {
    auto &n = st().goes;
    if (!n.ready)
        spinscan::setup(n);
    return n;
}

void print_goes(const spinscan::Nav &n) {
    const auto &o = n.orb;
    const auto &v = n.nav;
    constexpr uint32_t L = MESS_DEBUG;
    MESS_print(L, "date            = %ld\n", static_cast<long>(n.date));
    MESS_print(L, "pict_time       = %f\n", n.start);
    MESS_print(L, "orb.sat_type    = %d\n", o.sat_type);
    MESS_print(L, "orb.sec_ord     = %d\n", o.sec_ord);
    MESS_print(L, "orb.anom_type   = %d\n", o.anom_type);
    MESS_print(L, "orb.epoch_date  = %ld\n", static_cast<long>(o.epoch_date));
    MESS_print(L, "orb.epoch_time  = %ld\n", static_cast<long>(o.epoch_time));
    MESS_print(L, "orb.semi_maj    = %f\n", o.semi_maj);
    MESS_print(L, "orb.eccent      = %f\n", o.eccent);
    MESS_print(L, "orb.inclin      = %f\n", o.inclin);
    MESS_print(L, "orb.anomaly     = %f\n", o.anomaly);
    MESS_print(L, "orb.perigee     = %f\n", o.perigee);
    MESS_print(L, "orb.asc_node    = %f\n", o.asc_node);
    MESS_print(L, "nav.declin      = %f\n", v.declin);
    MESS_print(L, "nav.right_asc   = %f\n", v.right_asc);
    MESS_print(L, "nav.center_line = %ld\n", static_cast<long>(v.center_line));
    MESS_print(L, "nav.spin_rate   = %f\n", v.spin_rate);
    MESS_print(L, "nav.deg_line    = %f\n", v.deg_line);
    MESS_print(L, "nav.num_lines   = %ld\n", static_cast<long>(v.num_lines));
    MESS_print(L, "nav.deg_elem    = %f\n", v.deg_elem);
    MESS_print(L, "nav.num_elem    = %ld\n", static_cast<long>(v.num_elem));
    MESS_print(L, "nav.pitch       = %f\n", v.pitch);
    MESS_print(L, "nav.yaw         = %f\n", v.yaw);
    MESS_print(L, "nav.roll        = %f\n", v.roll);
    MESS_print(L, "nav.prec_rate   = %f\n", v.prec_rate);
    MESS_print(L, "nav.prec_dir    = %f\n", v.prec_dir);
    MESS_print(L, "gamma_init      = %f\n", n.gamma_init);
    MESS_print(L, "gamma_dot       = %f\n", n.gamma_dot);
    MESS_print(L, "atms_hght       = %f\n", n.atms_hght);
}

spinscan::Nav decode_goes(const std::vector<int32_t> &w) {
    using satnav::int2deg;
    spinscan::Nav n;
    n.date = w[1] % 100000;
    n.start = int2deg(w[2]);
    n.orb.epoch_date = w[4];
    n.orb.epoch_time = w[5];
    n.orb.semi_maj = w[6] / 100.0;
    n.orb.eccent = w[7] / 1000000.0;
    n.orb.inclin = w[8] / 1000.0;
    n.orb.anomaly = w[9] / 1000.0;
    n.orb.perigee = w[10] / 1000.0;
    n.orb.asc_node = w[11] / 1000.0;
    n.nav.declin = int2deg(w[12]);
    n.nav.right_asc = int2deg(w[13]);
    n.nav.center_line = w[14];
    n.nav.spin_rate = w[15] / 3.6e9;
    n.nav.deg_line = int2deg(w[16]);
    n.nav.num_lines = w[17];
    n.nav.deg_elem = int2deg(w[18]);
    n.nav.num_elem = w[19];
    n.nav.pitch = int2deg(w[20]);
    n.nav.yaw = int2deg(w[21]);
    n.nav.roll = int2deg(w[22]);
    n.gamma_init = w[38] / 100.0;
    n.gamma_dot = w[39] / 100.0;
    return n;
}

} // namespace

void AREA_reset_state() {
    st() = TranState{};
}

int AREA_get_image_type() {
    return st().image_type;
}

void AREA_get_res(float out[4]) {
    out[0] = st().lcor;
    out[1] = st().ecor;
    out[2] = st().lres;
    out[3] = st().eres;
}

int AREA_init(const AREA *area) {
    auto &s = st();
    s = TranState{};
    if (!area)
        return 0;
    const auto &d = area->dir;
    s.lcor = static_cast<float>(d[AREA_W_LINE]);
    s.ecor = static_cast<float>(d[AREA_W_ELEM]);
    s.lres = static_cast<float>(d[AREA_W_LRES]);
    s.eres = static_cast<float>(d[AREA_W_ERES]);
    if (area->nav_type == "GOES" && area->goes_nav.size() >= AREA_NAV_WORDS) {
        s.image_type = AREA_NAV_GOES;
        s.lcor = static_cast<float>(int64_t{d[AREA_W_LINE]} - d[AREA_W_START_SCAN]);
        s.goes = decode_goes(area->goes_nav);
        print_goes(s.goes);
    } else if (area->nav_type == "GVAR" &&
               GVAR_set_nav(area->gvar_nav.data(), area->gvar_nav.size()) == 0) {
        s.image_type = AREA_NAV_GVAR;
    }
    return 0;
}

int AREA_pos(int date, double hours, int celestial, double xyz[3]) {
    if (st().image_type != AREA_NAV_GOES)
        return -1;
    const auto &n = goes_nav();
    if (!n.valid)
        return -1;
    spinscan::position(n, date, hours, celestial != 0, xyz);
    return 0;
}

int AREA_tran(int mode, float *lat, float *lon, float *line, float *elem) {
    const int type = st().image_type;
    if (type == AREA_NAV_NONE)
        return 0;
    double la = *lat, lo = *lon, li = *line, el = *elem;
    int rc = 0;
    if (type == AREA_NAV_GOES) {
        const auto &n = goes_nav();
        if (mode == 1)
            rc = spinscan::to_earth(n, li, el, &la, &lo);
        else if (mode == 2)
            rc = spinscan::to_image(n, false, &la, &lo, &li, &el);
        else if (mode == 3)
            rc = spinscan::to_image(n, true, &la, &lo, &li, &el);
    } else {
        if (mode == 1)
            rc = sat2earth(&la, &lo, li, el);
        else if (mode == 2)
            rc = earth2sat(&li, &el, la, lo);
        else if (mode == 3)
            GVAR_subpoint(&la, &lo);
    }
    if (mode == 1 || mode == 3) {
        *lat = static_cast<float>(la);
        *lon = static_cast<float>(lo);
    } else if (mode == 2) {
        *line = static_cast<float>(li);
        *elem = static_cast<float>(el);
    }
    return rc;
}

int AREA_line_elem(int mode, float *line, float *elem, float *y, float *x) {
    const auto &s = st();
    if (mode == 1) {
        const float yy = *y, xx = *x;
        *elem = s.ecor - 1 + xx * s.eres;
        *line = s.lcor - 1 + yy * s.lres;
    } else {
        const float yy = *y, xx = *x;
        *elem = (xx - s.ecor) / s.eres + 1;
        *line = (yy - s.lcor) / s.lres + 1;
    }
    return 0;
}

int AREA_set_res(float lcor, float ecor, float lres, float eres) {
    auto &s = st();
    s.lcor = lcor;
    s.ecor = ecor;
    s.lres = lres;
    s.eres = eres;
    return 0;
}

// ===========================================================================
// Plot domain of an AREA image
// ===========================================================================

namespace {

constexpr float kMiss = -9999.0f;

bool grid_domain(IMAGE *image) {
    const char *text = RES_get("grid_domain");
    if (!text || !*text)
        return false;
    DOM_decode(text, &image->domain);
    SAT_params().tran_sat = 0;
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &image->domain);
    return true;
}

// AREA line/element of the image pixel (x across, y down).
void area_point(float x, float y, float *line, float *elem) {
    AREA_line_elem(1, line, elem, &y, &x);
}

double pow10i(int32_t p) {
    return std::pow(10.0, p == 0 ? 4 : std::clamp(p, -30, 30));
}

float safe_div(double a, double b) {
    return b != 0 ? static_cast<float>(a / b) : kMiss;
}

void block_text(const std::vector<int32_t> &w, char out[5]) {
    std::memcpy(out, w.data(), 4);
    out[4] = '\0';
}

// Projection blocks whose centre is a point of a flat map: install the
// projection and origin, the grid size and further parameters, then untransform
// the centre.
void map_centre(DOMAIN &dom, float x, float y) {
    MAP_domain(&dom);
    float clat = kMiss, clon = kMiss;
    MAP_untran(&clat, &clon, x, y);
    dom.clat = clat;
    dom.clon = clon;
}

void satellite_domain_goes(IMAGE *image, int W, int H, float L, float E) {
    DOMAIN &dom = image->domain;
    dom.proj = 9;
    float slat = 0, slon = 0, wl = 0, we = 0;
    AREA_tran(3, &slat, &slon, &wl, &we);
    dom.param[0] = slat;
    dom.param[1] = slon;
    MAP_proj(9);
    MAP_coord(dom.param[0], dom.param[1]);
    float clat = kMiss, clon = kMiss;
    AREA_tran(1, &clat, &clon, &L, &E);
    dom.clat = clat;
    dom.clon = clon;
    float xc = kMiss, yc = kMiss;
    MAP_tran(&xc, &yc, clat, clon);
    auto projected = [](float px, float py, float *mx, float *my) {
        float l = 0, e = 0, la = kMiss, lo = kMiss;
        area_point(px, py, &l, &e);
        AREA_tran(1, &la, &lo, &l, &e);
        MAP_tran(mx, my, la, lo);
    };
    float x10 = kMiss, y10 = kMiss, xd = kMiss, yd = kMiss;
    projected(W * 0.5f - 10, H * 0.5f, &x10, &y10);
    projected(W * 0.5f, H * 0.5f + 10, &xd, &yd);
    dom.dx = (xc - x10) / 10;
    dom.dy = (yc - yd) / 10;
    dom.nx = W;
    dom.ny = H;
}

} // namespace

int GVAR_calc_domain(IMAGE *image) {
    if (!image)
        return -1;
    if (grid_domain(image))
        return 0;
    DOMAIN &dom = image->domain;
    DOM_init(&dom);
    dom.proj = 9;
    // The navigation's own sub-satellite point is the origin also when the
    // satellite transformation is off.
    float slat = 0, slon = 0, wl = 0, we = 0;
    if (AREA_get_image_type() != AREA_NAV_NONE)
        AREA_tran(3, &slat, &slon, &wl, &we);
    dom.param[0] = slat;
    dom.param[1] = slon;
    dom.param[2] = 421.643f;
    dom.param[3] = 1.0f;
    dom.ellipsoid = 1;
    MAP_proj(9);
    MAP_coord(dom.param[0], dom.param[1]);

    float x = image->nx * 0.5f, y = image->ny * 0.5f, line = 0, elem = 0;
    AREA_line_elem(1, &line, &elem, &y, &x);
    MESS_print(0x80000000u, "%f %f %f %f\n", y, x, line, elem);
    float lat = kMiss, lon = kMiss, px = kMiss, py = kMiss;
    AREA_tran(1, &lat, &lon, &line, &elem);
    MAP_tran(&px, &py, lat, lon);
    MESS_print(0x80000000u, "1: %f %f %f %f\n", lat, lon, px, py);
    dom.clat = lat;
    dom.clon = lon;
    dom.nx = image->nx;
    dom.ny = image->ny;
    const auto &ins = GVAR_nav().ins;
    dom.dx = static_cast<float>(image->res_x * ins.scan_px * 421.643);
    dom.dy = static_cast<float>(image->res_y * ins.elev_ln * 421.643);
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &dom);
    return 0;
}

int AREA_calc_domain(IMAGE *image, const AREA *area) {
    if (!image || !area)
        return -1;
    if (grid_domain(image))
        return 0;
    DOMAIN &dom = image->domain;
    DOM_init(&dom);
    const auto &D = area->dir;
    const int W = D[AREA_W_ELEMS], H = D[AREA_W_LINES];
    const std::string &type = area->nav_type;
    if (type == "GVAR")
        return GVAR_calc_domain(image);

    const std::vector<int32_t> *block = AREA_nav_block(area);
    if (type != "GOES")
        SAT_params().tran_sat = 0;
    if (!block || block->size() < AREA_NAV_WORDS) {
        MESS_print(MESS_OUT2, "Image domain: ");
        DOM_print(MESS_OUT2, &dom);
        return 0;
    }
    const auto &w = *block;
    float L = 0, E = 0;
    area_point(W * 0.5f, H * 0.5f, &L, &E);
    const std::string t2 = type.substr(0, 2);
    const float lres = static_cast<float>(D[AREA_W_LRES]);
    const float eres = static_cast<float>(D[AREA_W_ERES]);

    auto install = [&](int proj, float p0, float p1) {
        dom.proj = proj;
        dom.param[0] = p0;
        dom.param[1] = p1;
        MAP_proj(proj);
        MAP_coord(p0, p1);
        dom.nx = W;
        dom.ny = H;
    };

    if (type == "GOES") {
        satellite_domain_goes(image, W, H, L, E);
    } else if (t2 == "PS") {
        install(1, w[3] / 10000.0f, -w[5] / 10000.0f);
        dom.param[2] = w[3] / 10000.0f;
        const float s = safe_div(w[4] * 63.71, w[6]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "ME") {
        install(3, 0.0f, -w[5] / 10000.0f);
        const float s = safe_div(w[4] * 63.713, w[6]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "LA") {
        install(4, w[11] / 10000.0f, -w[6] / 10000.0f);
        dom.param[2] = w[3] / 10000.0f;
        dom.param[3] = w[4] / 10000.0f;
        const float s = safe_div(w[5] * 63.713, w[7]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "TA") {
        install(4, w[4] / 10000.0f, -w[5] / 10000.0f);
        dom.param[2] = dom.param[3] = w[4] / 10000.0f;
        const float s = static_cast<float>(w[3] / 1000000.0);
        map_centre(dom, (E - w[2] / 10000.0f) * s, -(L - w[1] / 10000.0f) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "RE") {
        install(2, 0.0f, 0.0f);
        const double a = w[5] / pow10i(w[13]);
        const double b = w[6] / pow10i(w[14]);
        const double lat0 = w[2] / pow10i(w[11]);
        const double lon0 = -w[4] / pow10i(w[12]);
        map_centre(dom, static_cast<float>((E - w[3]) * a + lon0),
                   static_cast<float>(-((L - w[1]) * b + lat0)));
        dom.dx = static_cast<float>(eres * a);
        dom.dy = static_cast<float>(lres * b);
        dom.param[1] = dom.clon;
    } else if (t2 == "MO") {
        install(7, 0.0f, -w[4] / 10000.0f);
        const double s = w[14] == 0x4B4D5050
                             ? (w[3] != 0 ? w[6] * 0.7071 / 1000 / (w[3] * 380.344) : 0.0)
                             : w[3] * 0.62 / 1000;
        dom.dx = static_cast<float>(eres * s);
        dom.dy = static_cast<float>(lres * s);
        map_centre(dom, (E - w[2]) * dom.dx, -(L - w[1]) * dom.dy);
    } else if (t2 == "MS") {
        dom.proj = 9;
        dom.param[0] = 0.0f;
        dom.param[1] = -w[6] / 10000.0f;
        dom.param[2] = 421.64f;
        dom.param[3] = 1.0f;
        dom.ellipsoid = 1;
        dom.nx = W;
        dom.ny = H;
        MAP_domain(&dom);
        const double L0 = D[AREA_W_LINE] - 1.0, E0 = D[AREA_W_ELEM] - 1.0;
        const double x = (1250.5 - (W * 0.5 * eres + E0) * 0.5) * 0.052984800189733505;
        const double y = (w[5] - (w[4] + (L0 + H * 0.5 * lres) * 0.5 - w[3])) * 0.0529848;
        float clat = kMiss, clon = kMiss;
        MAP_untran(&clat, &clon, static_cast<float>(x), static_cast<float>(y));
        dom.clat = clat;
        dom.clon = clon;
        dom.dx = eres * 0.0264924f;
        dom.dy = lres * 0.0264924f;
        MESS_print(MESS_OUT2, "Image domain: ");
        DOM_print(MESS_OUT2, &dom);
        return 0;
    }

    char text[5];
    block_text(w, text);
    constexpr uint32_t kDbg = 0x10000000u;
    if (t2 == "PS") {
        MESS_print(kDbg, "PS: %s\n", text);
        MESS_print(kDbg, "NPLINE: %d\n", w[1]);
        MESS_print(kDbg, "NPELEM: %d\n", w[2]);
        MESS_print(kDbg, "STDLAT: %d\n", w[3]);
        MESS_print(kDbg, "SPACE: %d\n", w[4]);
        MESS_print(kDbg, "NRMLON: %d\n", w[5]);
        MESS_print(kDbg, "EQURAD: %d\n", w[6]);
        MESS_print(kDbg, "ECCENT: %d\n", w[7]);
    } else if (t2 == "TA") {
        MESS_print(kDbg, "TANC: %s\n", text);
        MESS_print(kDbg, "NPLINE: %d\n", w[1]);
        MESS_print(kDbg, "NPELEM: %d\n", w[2]);
        MESS_print(kDbg, "STDLAT: %d\n", w[4]);
        MESS_print(kDbg, "SPACE: %d\n", w[3]);
        MESS_print(kDbg, "NRMLON: %d\n", w[5]);
        return 0;
    }
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &dom);
    return 0;
}
