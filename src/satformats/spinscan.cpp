// GOES spin-scan navigation.
//
// Image to earth: the look direction of a pixel is built in the scan frame at
// the pixel's time (satellite position from the orbit, spin axis turned with
// the earth, the frame turned by the gamma drift) and intersected with the
// ellipsoid. Earth to image: the inverse angles, repeated until the line found
// falls in the spin of the line assumed for its time (at most 20 passes).
#include "satformats/spinscan.h"

#include <algorithm>
#include <cmath>

#include "base/missing.h"
#include "satformats/satnav.h"

namespace spinscan {

namespace {

using satnav::kEarthRotPerHour;
using satnav::kEarthRotPerMinute;
using satnav::kIntlEquatorialKm;
using satnav::kIntlPolarKm;
using satnav::kSpinGravity;
using satnav::kSpinMeanKm;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kRad = kPi / 180;
// Reference time of the earth's orientation: 1990, day 1, 17:15:37.
constexpr int kRefDate = 90001;
constexpr double kRefHours = 17.0 + 15.0 / 60 + 37.0 / 3600;

} // namespace

bool decode(const int32_t *w, size_t count, Nav *out) {
    if (!w || !out || count < static_cast<size_t>(kNavWords))
        return false;
    using satnav::int2deg;
    Nav n;
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
    setup(n);
    *out = n;
    return true;
}

// Derived values of the scan and of the orbit.
void setup(Nav &n) {
    int sensors = (n.nav.num_lines / 100000) % 100;
    n.sensors = std::max(1, sensors);
    n.lines = n.sensors * (n.nav.num_lines % 100000);
    n.valid = n.lines > 1 && n.nav.num_elem > 1 && n.orb.semi_maj > 0 && n.nav.spin_rate > 0;
    if (!n.valid)
        return;
    n.ce = (n.nav.num_elem + 1.0) / 2.0; // in double: the word may be INT_MAX
    n.rl = n.nav.deg_line * kRad / (n.lines - 1);
    n.re = n.nav.deg_elem * kRad / (n.nav.num_elem - 1);

    // Spin axis in earth-fixed axes at 0 h of the picture date.
    const double theta0 =
        (kEarthRotPerMinute - n.prec_veq) * satnav::timdif(kRefDate, n.date, kRefHours, 0);
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
    n.mean_motion = kSpinGravity * std::pow(kIntlEquatorialKm / n.orb.semi_maj, 1.5);
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
    double th = std::fmod((kEarthRotPerMinute - n.prec_veq) *
                              satnav::timdif(kRefDate, date, kRefHours, hours),
                          kTwoPi);
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
    const double psi = hours * kEarthRotPerHour;
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
        *lat = *lon = MISSING_D;
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

    const double eq = kIntlEquatorialKm + n.atms_hght, po = kIntlPolarKm + n.atms_hght;
    const double q = (po * po) / (eq * eq);
    const double A = q + (1 - q) * d[2] * d[2];
    const double B = 2 * (q * (d[0] * f.x[0] + d[1] * f.x[1]) + d[2] * f.x[2]);
    const double C = q * (f.x[0] * f.x[0] + f.x[1] * f.x[1]) + f.x[2] * f.x[2] - po * po;
    const double disc = B * B - 4 * A * C;
    if (!(disc >= 1.0)) {
        *lat = *lon = MISSING_D;
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
            *lat = *lon = MISSING_D;
        else
            *line = *elem = MISSING_D;
        return -1;
    }
    double l = n.nav.center_line, e = n.ce;
    double target[3] = {0, 0, 0};
    Frame f;
    for (int pass = 0; pass < 20; ++pass) {
        if (!frame_at(n, l, e, f)) {
            *line = *elem = MISSING_D;
            return -1;
        }
        if (pass == 0 && !sub) {
            const double phi = satnav::geolat(1, *lat) * kRad, lam = *lon * kRad;
            const double g[3] = {std::cos(phi) * std::cos(lam), std::cos(phi) * std::sin(lam),
                                 std::sin(phi)};
            const double u[3] = {f.x[0] / f.dist, f.x[1] / f.dist, f.x[2] / f.dist};
            if (dot(g, u) < kSpinMeanKm / f.dist) {
                *line = *elem = MISSING_D;
                return -1;
            }
            const double a = kIntlEquatorialKm, b = kIntlPolarKm, s = std::sin(phi),
                         c = std::cos(phi);
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
        *line = *elem = MISSING_D;
    }
    return 0;
}

} // namespace spinscan
