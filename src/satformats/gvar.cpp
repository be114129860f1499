// GVAR navigation (GOES I-M earth-location algorithm).
//
// Units: angles in radians, times in minutes since 1950-01-01, the satellite
// position in earth equatorial radii. Traps: the block's attitude records start
// at fixed words (62, 129, 184, 257, 312) with gaps between them; the sounder
// works in detector coordinates, ten AREA lines or elements per detector step;
// counts taken from the block (sinusoids, monomials) are clamped to the record's
// room so a damaged block cannot reach outside it.
#include "satformats/gvar.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/missing.h"
#include "satformats/satnav.h"

namespace gvar {
namespace {

// The satellite position is held in International equatorial radii; the
// earth's shape is GVAR's own (satnav.h).
constexpr double kNomRadius = satnav::kGvarOrbitKm;
constexpr double kEarthRadius = satnav::kIntlEquatorialKm;
constexpr double kAeBe2 = satnav::kGvarAxisRatio2;
constexpr double kAeBe2m1 = satnav::kGvarAxisRatio2m1;
constexpr double kAeBe4m1 = satnav::kGvarAxisRatio4m1;
constexpr double kOrbitRate = satnav::kGvarOrbitRate;
constexpr double kHarm1 = 0.927, kHarm2 = 1.9268; // harmonics of the orbit series
constexpr double kDeg = 57.29577951308232;

constexpr int kAttStart[5] = {62, 129, 184, 257, 312};

double scaled(int32_t w) {
    return w / 1.0e7;
}

Attitude decode_attitude(const int32_t *w) {
    Attitude a;
    a.exp_mag = scaled(w[0]);
    a.exp_tc = w[1] / 100.0;
    a.mean = scaled(w[2]);
    a.n_sin = std::clamp(w[3], 0, kMaxSinusoids);
    for (int k = 0; k < kMaxSinusoids; ++k) {
        a.sin_mag[k] = scaled(w[4 + 2 * k]);
        a.sin_phase[k] = scaled(w[5 + 2 * k]);
    }
    a.n_mono = std::clamp(w[34], 0, kMaxMonomials);
    for (int k = 0; k < kMaxMonomials; ++k) {
        const int32_t *g = w + 35 + 5 * k;
        a.mono[k].sin_order = g[0];
        a.mono[k].mono_order = std::clamp(g[1], 0, 32);
        a.mono[k].mag = scaled(g[2]);
        a.mono[k].phase = scaled(g[3]);
        a.mono[k].epoch = scaled(g[4]);
    }
    return a;
}

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

bool decode(const int32_t *w, size_t n, Params *out) {
    if (!w || !out || n < static_cast<size_t>(kNavWords))
        return false;
    Params p;
    p.imc = (w[2] & 0x80) == 0;
    p.ref_lon = scaled(w[5]);
    p.ref_rad = scaled(w[6]);
    p.ref_lat = scaled(w[7]);
    p.ref_yaw = scaled(w[8]);
    for (int i = 0; i < 3; ++i) {
        p.ref_att[i] = scaled(w[9 + i]);
        p.imc_corr[i] = scaled(w[15 + i]);
    }
    p.epoch = satnav::time50(w[12], w[13]);
    p.imc_offset = w[14] / 100.0;
    for (int i = 0; i < 13; ++i)
        p.lon_terms[i] = scaled(w[18 + i]);
    for (int i = 0; i < 11; ++i)
        p.rad_terms[i] = scaled(w[31 + i]);
    for (int i = 0; i < 9; ++i) {
        p.lat_terms[i] = scaled(w[42 + i]);
        p.yaw_terms[i] = scaled(w[51 + i]);
    }
    p.solar_rate = scaled(w[60]);
    p.exp_offset = w[61] / 100.0;
    for (int i = 0; i < 5; ++i)
        p.att[i] = decode_attitude(w + kAttStart[i]);
    p.img_date = w[367];
    p.img_time = w[368];
    p.instr = w[369] == 2 ? 1 : 0;
    p.ns_cycles = w[379];
    p.ew_cycles = w[380];
    p.ns_incr = w[381];
    p.ew_incr = w[382];
    const int year = p.img_date / 1000 + 1900;
    const int day = p.img_date % 1000;
    const int hour = p.img_time / 10000000;
    const int minute = p.img_time / 100000 % 100;
    const double seconds = (p.img_time % 100000) / 1000.0;
    p.image_time = satnav::timex(year, day, hour, minute, seconds);
    *out = p;
    return true;
}

bool from_block(const int32_t *words, size_t n, Nav *out) {
    Params p;
    if (!out || !decode(words, n, &p))
        return false;
    Nav nav;
    nav.p = p;
    nav.p.instr = p.instr == 1 ? 1 : 0;
    nav.ins = instrument(nav.p.instr, p.ns_cycles, p.ns_incr, p.ew_cycles, p.ew_incr);
    init(&nav);
    *out = nav;
    return true;
}

Instrument instrument(int instr, int ns_cycles, int ns_incr, int ew_cycles, int ew_incr) {
    Instrument s;
    if (instr == 1) {
        s = {2805, 1.75e-5, 3.5e-5, 0.00028, 0.00028, 0.2208938, 0.2454375, 2.5};
    } else {
        s = {6136, 8.0e-6, 1.6e-5, 2.8e-5, 1.6e-5, 0.220896, 0.24544, 4.5};
    }
    if (ns_cycles != 0 && ns_incr != 0 && ew_cycles != 0 && ew_incr != 0) {
        const double ns = instr == 1 ? (9.0 - ns_cycles) * s.incr_per_cycle - ns_incr
                                     : static_cast<double>(ns_cycles) * s.incr_per_cycle + ns_incr;
        s.elev_bound = ns * s.elev_incr;
        s.scan_bound = (static_cast<double>(ew_cycles) * s.incr_per_cycle + ew_incr) * s.scan_incr;
    }
    return s;
}

double gatt(const Attitude &a, double wa, double te) {
    double att = a.mean;
    if (te >= 0 && a.exp_tc > 0)
        att += a.exp_mag * std::exp(-te / a.exp_tc);
    for (int k = 0; k < std::clamp(a.n_sin, 0, kMaxSinusoids); ++k)
        att += a.sin_mag[k] * std::cos(k * wa + a.sin_phase[k]);
    for (int k = 0; k < std::clamp(a.n_mono, 0, kMaxMonomials); ++k) {
        const auto &m = a.mono[k];
        att += m.mag * std::pow(wa - m.epoch, m.mono_order) * std::cos(m.sin_order * wa + m.phase);
    }
    return att;
}

void inst2e(const double b[3][3], double bp[3][3], double r, double p, double y) {
    const double m[3][3] = {{1 - (p * p + y * y) / 2, -y, p},
                            {p * r + y, 1 - (y * y + r * r) / 2, -r},
                            {y * r - p, p * y + r, 1 - (p * p + r * r) / 2}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            bp[i][j] = b[i][0] * m[0][j] + b[i][1] * m[1][j] + b[i][2] * m[2][j];
}

void init(Nav *nav) {
    const Params &p = nav->p;
    const double t = p.image_time - p.epoch;
    double lon = p.ref_lon, dr = p.ref_rad, lat = p.ref_lat, yaw = p.ref_yaw;
    double roll = p.ref_att[0], pitch = p.ref_att[1], ayaw = p.ref_att[2];
    nav->roll_mis = nav->pitch_mis = 0;

    if (p.imc) {
        const double wa = kOrbitRate * t;
        const double s1 = std::sin(wa), c1 = std::cos(wa);
        const double s2 = std::sin(2 * wa), c2 = std::cos(2 * wa);
        const double sa = std::sin(kHarm1 * wa), ca = std::cos(kHarm1 * wa);
        const double sb = std::sin(kHarm2 * wa), cb = std::cos(kHarm2 * wa);
        const double *L = p.lon_terms;
        const double *R = p.rad_terms;
        const double *T = p.lat_terms;
        const double *Y = p.yaw_terms;
        lon = p.ref_lon + L[0] + (L[1] + L[2] * t) * t +
              2 * (L[9] * sa + L[10] * ca + L[3] * s1 + L[4] * c1 + L[5] * s2 + L[6] * c2 +
                   L[7] * sb + L[8] * cb + (L[11] * s1 + L[12] * c1) * t);
        dr = R[0] + R[1] * c1 + R[2] * s1 + R[3] * c2 + R[4] * s2 + R[5] * cb + R[6] * sb +
             R[7] * ca + R[8] * sa + (R[9] * c1 + R[10] * s1) * t;
        double u = T[0] + T[1] * c1 + T[2] * s1 + T[3] * c2 + T[4] * s2 +
                   (T[5] * c1 + T[6] * s1) * t + T[7] * ca + T[8] * sa;
        lat = u * (1 + u * u / 6);
        u = Y[0] + Y[1] * s1 + Y[2] * c1 + Y[3] * s2 + Y[4] * c2 + (Y[5] * s1 + Y[6] * c1) * t +
            Y[7] * sa + Y[8] * ca;
        yaw = u * (1 + u * u / 6);
    }

    const double sl = std::sin(lat), sy = std::sin(yaw);
    const double w = sl * sl + sy * sy;
    const double s = std::sqrt(w);
    const double k = std::sqrt(std::max(0.0, 1 - w));
    const double alpha = (sl == 0 && sy == 0) ? 0.0 : std::atan2(sl, sy);
    const double lonp = lon - alpha;
    const double sa = std::sin(alpha), ca = std::cos(alpha);
    const double slp = std::sin(lonp), clp = std::cos(lonp);
    nav->sub_lat = std::atan(std::tan(lat) * kAeBe2);
    nav->sub_lon = std::atan2(sa * k, ca) + lonp;
    double(&b)[3][3] = nav->b;
    b[0][0] = -slp * ca * k - clp * sa;
    b[0][1] = -slp * s;
    b[0][2] = k * slp * sa - clp * ca;
    b[1][0] = clp * ca * k - slp * sa;
    b[1][1] = clp * s;
    b[1][2] = -slp * ca - k * clp * sa;
    b[2][0] = ca * s;
    b[2][1] = -k;
    b[2][2] = -sl;
    const double r = (kNomRadius + dr) / kEarthRadius;
    for (int i = 0; i < 3; ++i)
        nav->pos[i] = -r * b[i][2];
    nav->q3 = nav->pos[0] * nav->pos[0] + nav->pos[1] * nav->pos[1] +
              kAeBe2 * nav->pos[2] * nav->pos[2] - 1;

    if (p.imc) {
        const double wa = p.solar_rate * t;
        const double te = t - p.exp_offset;
        roll += gatt(p.att[kRoll], wa, te);
        pitch += gatt(p.att[kPitch], wa, te);
        ayaw += gatt(p.att[kYaw], wa, te);
        nav->roll_mis = gatt(p.att[kRollMis], wa, te);
        nav->pitch_mis = gatt(p.att[kPitchMis], wa, te);
        roll += p.imc_corr[0];
        pitch += p.imc_corr[1];
        ayaw += p.imc_corr[2];
    }
    inst2e(nav->b, nav->bp, roll, pitch, ayaw);
}

double elev_line(const Instrument &ins, double line) {
    return ins.elev_bound - (line - ins.line_offset) * ins.elev_ln;
}

double scan_angle(const Instrument &ins, double pixel) {
    return (pixel - 1) * ins.scan_px - ins.scan_bound;
}

void elev_scan2line_pix(const Instrument &ins, double elev, double scan, double *line,
                        double *pixel) {
    *line = (ins.elev_bound - elev) / ins.elev_ln + ins.line_offset;
    *pixel = (scan + ins.scan_bound) / ins.scan_px + 1;
}

int lpoint(const Nav &nav, double elev, double scan, double *lat, double *lon) {
    const double ce = std::cos(elev), se = std::sin(elev);
    const double cs = std::cos(scan), ts = std::tan(scan);
    const double e2 = elev - (1 / cs + ts) * nav.pitch_mis * se - (1 - ce / cs) * nav.roll_mis;
    const double s2 = scan + nav.roll_mis * se;
    const double g[3] = {std::sin(s2), -std::cos(s2) * std::sin(e2), std::cos(s2) * std::cos(e2)};
    double u[3];
    for (int i = 0; i < 3; ++i)
        u[i] = nav.bp[i][0] * g[0] + nav.bp[i][1] * g[1] + nav.bp[i][2] * g[2];
    const double *x = nav.pos;
    const double q1 = u[0] * u[0] + u[1] * u[1] + kAeBe2 * u[2] * u[2];
    const double q2 = x[0] * u[0] + x[1] * u[1] + kAeBe2 * x[2] * u[2];
    double d = q2 * q2 - q1 * nav.q3;
    if (std::fabs(d) < 1e-9)
        d = 0;
    if (!(d >= 0) || q1 <= 0) {
        *lat = *lon = MISSING_D;
        return 1;
    }
    const double h = -(q2 + std::sqrt(d)) / q1;
    const double pt[3] = {x[0] + h * u[0], x[1] + h * u[1], x[2] + h * u[2]};
    const double zr = pt[2] / std::sqrt(dot(pt, pt));
    *lat = std::atan(kAeBe2 * zr / std::sqrt(std::max(1e-300, 1 - zr * zr)));
    *lon = std::atan2(pt[1], pt[0]);
    return 0;
}

int gpoint(const Nav &nav, double lat, double lon, double *elev, double *scan) {
    const double sl = std::sin(lat);
    const double f = kAeBe4m1 * sl * sl;
    const double t = ((0.375 * f - 0.5) * f + 1) * sl / kAeBe2;
    const double e = kAeBe2m1 * t * t;
    const double r = (0.375 * e - 0.5) * e + 1;
    const double ct = std::sqrt(std::max(0.0, 1 - t * t));
    const double pt[3] = {r * ct * std::cos(lon), r * ct * std::sin(lon), r * t};
    const double d[3] = {pt[0] - nav.pos[0], pt[1] - nav.pos[1], pt[2] - nav.pos[2]};
    if (pt[0] * d[0] + pt[1] * d[1] + kAeBe2 * pt[2] * d[2] > 0) {
        *elev = *scan = MISSING_D;
        return 1;
    }
    double a = 0, b = 0, c = 0;
    for (int i = 0; i < 3; ++i) {
        a += nav.bp[i][0] * d[i];
        b += nav.bp[i][1] * d[i];
        c += nav.bp[i][2] * d[i];
    }
    // The cosines, sine and tangent of the two angles follow from the arguments of their
    // arc tangents (cos atan u = 1 / sqrt(1 + u^2)), without evaluating them again.
    const double u = a / std::sqrt(b * b + c * c), q = b / c;
    const double s = std::atan(u);
    const double el = -std::atan(q);
    const double ce = 1 / std::sqrt(1 + q * q), cs = 1 / std::sqrt(1 + u * u);
    const double se = std::isfinite(q) ? -q * ce : -std::copysign(1.0, q);
    *elev = el + (1 - ce / cs) * nav.roll_mis + nav.pitch_mis * se * (1 / cs + u);
    *scan = s - nav.roll_mis * se;
    return 0;
}

int sat2earth(const Nav &nav, double line, double elem, double *lat, double *lon) {
    if (nav.p.instr == 1) {
        line = (line + 9) / 10;
        elem = (elem + 9) / 10;
    }
    double la = 0, lo = 0;
    if (lpoint(nav, elev_line(nav.ins, line), scan_angle(nav.ins, elem), &la, &lo) != 0 ||
        !std::isfinite(la) || !std::isfinite(lo)) {
        *lat = *lon = MISSING_D;
        return -1;
    }
    *lat = la * kDeg;
    *lon = lo * kDeg;
    return 0;
}

int earth2sat(const Nav &nav, double lat, double lon, double *line, double *elem) {
    double el = 0, sc = 0;
    if (!(lat >= -90 && lat <= 90) || gpoint(nav, lat / kDeg, lon / kDeg, &el, &sc) != 0) {
        *line = *elem = MISSING_D;
        return -1;
    }
    double l = 0, e = 0;
    elev_scan2line_pix(nav.ins, el, sc, &l, &e);
    if (nav.p.instr == 1) {
        l = 10 * l - 9;
        e = 10 * e - 9;
    }
    if (!std::isfinite(l) || !std::isfinite(e)) {
        *line = *elem = MISSING_D;
        return -1;
    }
    *line = l;
    *elem = e;
    return 0;
}

// Earth to scan for many points: eight at a time with AVX-512 where the processor has it
// and the C library's vector sines, cosines and arc tangents are linked (they agree
// with the scalar functions to a few units in the last place, a millionth of a pixel
// here), the rest one by one through earth2sat.
#if defined(XSAT_HAVE_MVEC) && defined(__x86_64__)
namespace {

using V8 = double __attribute__((vector_size(64)));
using V8m = int64_t __attribute__((vector_size(64)));

extern "C" {
[[gnu::target("avx512f")]] V8 _ZGVeN8v_sin(V8);
[[gnu::target("avx512f")]] V8 _ZGVeN8v_cos(V8);
[[gnu::target("avx512f")]] V8 _ZGVeN8v_atan(V8);
}

[[gnu::target("avx512f,avx512dq")]] inline V8 vsqrt(V8 v) {
    return V8(_mm512_maskz_sqrt_pd(0xff, __m512d(v))); // the masked form: no undefined source
}

// Eight points; the same steps as gpoint, elev_scan2line_pix and earth2sat, lane by lane.
[[gnu::target("avx512f,avx512dq")]] void earth2sat_8(const Nav &nav, const double *lat_deg,
                                                     const double *lon_deg, double *line,
                                                     double *elem) {
    V8 lat, lon;
    std::memcpy(&lat, lat_deg, sizeof lat);
    std::memcpy(&lon, lon_deg, sizeof lon);
    const V8m on_earth = (lat >= -90.0) & (lat <= 90.0);
    lat = lat / kDeg;
    lon = lon / kDeg;
    const V8 sl = _ZGVeN8v_sin(lat), cos_lon = _ZGVeN8v_cos(lon), sin_lon = _ZGVeN8v_sin(lon);
    const V8 f = kAeBe4m1 * sl * sl;
    const V8 t = ((0.375 * f - 0.5) * f + 1) * sl / kAeBe2;
    const V8 e = kAeBe2m1 * t * t;
    const V8 r = (0.375 * e - 0.5) * e + 1;
    const V8 one_t = 1 - t * t;
    const V8 ct = vsqrt(one_t > 0.0 ? one_t : 0.0);
    const V8 pt0 = r * ct * cos_lon, pt1 = r * ct * sin_lon, pt2 = r * t;
    const V8 d0 = pt0 - nav.pos[0], d1 = pt1 - nav.pos[1], d2 = pt2 - nav.pos[2];
    const V8m hidden = pt0 * d0 + pt1 * d1 + kAeBe2 * pt2 * d2 > 0.0;
    const V8 a = nav.bp[0][0] * d0 + nav.bp[1][0] * d1 + nav.bp[2][0] * d2;
    const V8 b = nav.bp[0][1] * d0 + nav.bp[1][1] * d1 + nav.bp[2][1] * d2;
    const V8 c = nav.bp[0][2] * d0 + nav.bp[1][2] * d1 + nav.bp[2][2] * d2;
    const V8 u = a / vsqrt(b * b + c * c), q = b / c;
    const V8 s = _ZGVeN8v_atan(u);
    const V8 el = -_ZGVeN8v_atan(q);
    const V8 ce = 1 / vsqrt(1 + q * q), cs = 1 / vsqrt(1 + u * u);
    const V8m q_finite = (q - q) == 0.0;
    const V8 se = q_finite ? -q * ce : (q > 0.0 ? V8{} - 1.0 : V8{} + 1.0);
    const V8 elev = el + (1 - ce / cs) * nav.roll_mis + nav.pitch_mis * se * (1 / cs + u);
    const V8 scan = s - nav.roll_mis * se;
    const Instrument &ins = nav.ins;
    V8 l = (ins.elev_bound - elev) / ins.elev_ln + ins.line_offset;
    V8 p = (scan + ins.scan_bound) / ins.scan_px + 1;
    if (nav.p.instr == 1) {
        l = 10 * l - 9;
        p = 10 * p - 9;
    }
    const V8m ok = on_earth & ~hidden & ((l - l) == 0.0) & ((p - p) == 0.0);
    l = ok ? l : V8{} + MISSING_D;
    p = ok ? p : V8{} + MISSING_D;
    std::memcpy(line, &l, sizeof l);
    std::memcpy(elem, &p, sizeof p);
}

bool has_avx512() {
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    return yes;
}

} // namespace
#endif

void earth2sat_n(const Nav &nav, size_t n, const double *lat, const double *lon, double *line,
                 double *elem) {
    size_t k = 0;
#if defined(XSAT_HAVE_MVEC) && defined(__x86_64__)
    if (has_avx512())
        for (; k + 8 <= n; k += 8)
            earth2sat_8(nav, lat + k, lon + k, line + k, elem + k);
#endif
    for (; k < n; ++k)
        earth2sat(nav, lat[k], lon[k], line + k, elem + k);
}

} // namespace gvar
