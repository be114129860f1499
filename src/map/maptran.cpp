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

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#ifdef __FAST_MATH__
#error "the projection kernels rely on IEEE rounding (kRoundMagic); build without -ffast-math"
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

// The same as v == -9999.0, compared as bits (one integer comparison).
bool missing(double v) {
    return std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(-9999.0);
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
// them cheaper than the library's functions, above all on scattered points. A
// transformation is a chain of them, so their latency counts as much as their
// instructions: polynomials in Estrin's form, one division per arc tangent,
// square roots only where no other form exists.
// Sine, cosine, arc tangent and arc sine are Chebyshev fits on reduced ranges;
// exp and log use tables of 2^(j/32) and of log c at 64 points c of
// [0.6875, 1.375), built at compile time, and the Taylor series of the small
// remainders; powers with a fixed exponent use tables made per domain (PowTable).
// Only values outside the ranges (zero, huge, infinite, NaN) go to the library.

namespace fast {

constexpr double kPio2Hi = 1.5707963267948966, kPio2Lo = 6.123233995736766e-17;
constexpr double kRoundMagic = 6755399441055744.0; // 1.5 * 2^52
constexpr double kAtanEighths[9] = {0,
                                    0.12435499454676144,
                                    0.24497866312686414,
                                    0.35877067027057225,
                                    0.46364760900080609,
                                    0.55859931534356244,
                                    0.64350110879328437,
                                    0.71882999962162453,
                                    0.78539816339744828};

// ln 2, and split so that k * kLn2Hi is exact for |k| < 2^20.
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;

[[gnu::always_inline]] inline uint64_t bits(double v) {
    return std::bit_cast<uint64_t>(v);
}
[[gnu::always_inline]] inline double from_bits(uint64_t b) {
    return std::bit_cast<double>(b);
}

// Pairs of doubles, and masks (pairs whose lanes have all bits set or clear).
// With SSE2 the comparisons and selections are the machine's own instructions:
// GCC turns those of generic vectors into scalar code and branches.
#if defined(__SSE2__)
using v2d = __m128d;
[[gnu::always_inline]] inline v2d gt(v2d a, v2d b) {
    return _mm_cmpgt_pd(a, b);
}
[[gnu::always_inline]] inline v2d le(v2d a, v2d b) {
    return _mm_cmple_pd(a, b);
}
[[gnu::always_inline]] inline v2d bit_and(v2d a, v2d b) {
    return _mm_and_pd(a, b);
}
[[gnu::always_inline]] inline v2d and_not(v2d mask, v2d b) { // ~mask & b
    return _mm_andnot_pd(mask, b);
}
[[gnu::always_inline]] inline v2d bit_or(v2d a, v2d b) {
    return _mm_or_pd(a, b);
}
[[gnu::always_inline]] inline v2d bit_xor(v2d a, v2d b) {
    return _mm_xor_pd(a, b);
}
[[gnu::always_inline]] inline v2d vmin(v2d a, v2d b) {
    return _mm_min_pd(a, b);
}
[[gnu::always_inline]] inline v2d vmax(v2d a, v2d b) {
    return _mm_max_pd(a, b);
}
[[gnu::always_inline]] inline bool all(v2d mask) {
    return _mm_movemask_pd(mask) == 3;
}
// The quadrant of n + kRoundMagic: n odd (all bits), and the sign bits of n & 2
// and (n + 1) & 2.
[[gnu::always_inline]] inline void quadrant(v2d qm, v2d &odd, v2d &sign2, v2d &sign21) {
    const __m128i n = _mm_castpd_si128(qm), one = _mm_set1_epi64x(1), two = _mm_set1_epi64x(2);
    odd = _mm_castsi128_pd(_mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(n, one)));
    sign2 = _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(n, two), 62));
    sign21 = _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(_mm_add_epi64(n, one), two), 62));
}
#else
using v2d = double __attribute__((vector_size(16)));
using v2i = int64_t __attribute__((vector_size(16)));
inline v2d gt(v2d a, v2d b) {
    return (v2d)(a > b);
}
inline v2d le(v2d a, v2d b) {
    return (v2d)(a <= b);
}
inline v2d bit_and(v2d a, v2d b) {
    return (v2d)((v2i)a & (v2i)b);
}
inline v2d and_not(v2d mask, v2d b) {
    return (v2d)(~(v2i)mask & (v2i)b);
}
inline v2d bit_or(v2d a, v2d b) {
    return (v2d)((v2i)a | (v2i)b);
}
inline v2d bit_xor(v2d a, v2d b) {
    return (v2d)((v2i)a ^ (v2i)b);
}
inline v2d vmin(v2d a, v2d b) {
    return v2d{a[0] < b[0] ? a[0] : b[0], a[1] < b[1] ? a[1] : b[1]};
}
inline v2d vmax(v2d a, v2d b) {
    return v2d{a[0] > b[0] ? a[0] : b[0], a[1] > b[1] ? a[1] : b[1]};
}
inline bool all(v2d mask) {
    return ((v2i)mask)[0] != 0 && ((v2i)mask)[1] != 0;
}
inline void quadrant(v2d qm, v2d &odd, v2d &sign2, v2d &sign21) {
    const v2i n = (v2i)qm;
    odd = (v2d)(-(n & 1));
    sign2 = (v2d)((n & 2) << 62);
    sign21 = (v2d)(((n + 1) & 2) << 62);
}
#endif

// mask ? a : b, lane by lane.
[[gnu::always_inline]] inline v2d select(v2d mask, v2d a, v2d b) {
    return bit_or(bit_and(mask, a), and_not(mask, b));
}

constexpr v2d splat(double v) {
    return v2d{v, v};
}

// The constants of the two-lane kernels. GCC builds a constant pair from an
// 8-byte load and a shuffle at every use; read through a pointer it cannot see
// through (opaque), each pair is one 16-byte load that folds into the arithmetic.
struct alignas(16) VecConsts {
    v2d magic, inv90, deg90, d2r, inv_pio2, pio2_hi, pio2_lo;
    // sin x = x S(x^2), cos x = C(x^2) for |x| <= pi/4: Chebyshev fits, errors
    // 5e-15 (relative) and 1e-16; sc holds both, S in the first lane.
    v2d sin[6], cos[7], sc[7];
    // atan u = u + u^3 A(u^2) for |u| <= tan(pi/8): Chebyshev fit, relative error 1.4e-16.
    v2d atan[10];
    // asin y = y P(y^2) for |y| <= 1/2: Chebyshev fit, error 7e-14.
    v2d asin[10];
    v2d tan_pi8, pi4, pi2, pi, tiny, huge, sign, half;
};
constexpr VecConsts kVec = {
    splat(kRoundMagic),
    splat(1.0 / 90.0),
    splat(90.0),
    splat(kD2R),
    splat(1.0 / kPio2Hi),
    splat(kPio2Hi),
    splat(kPio2Lo),
    {splat(0.9999999999999957), splat(-0.16666666666616686), splat(0.00833333332387815),
     splat(-0.0001984126329839051), splat(2.7555271893389817e-06), splat(-2.475655877198039e-08)},
    {splat(1.0), splat(-0.4999999999999925), splat(0.041666666666472306),
     splat(-0.0013888888869978658), splat(2.4801578538562985e-05), splat(-2.755523388484742e-07),
     splat(2.0630454379662294e-09)},
    {v2d{0.9999999999999957, 1.0}, v2d{-0.16666666666616686, -0.4999999999999925},
     v2d{0.00833333332387815, 0.041666666666472306},
     v2d{-0.0001984126329839051, -0.0013888888869978658},
     v2d{2.7555271893389817e-06, 2.4801578538562985e-05},
     v2d{-2.475655877198039e-08, -2.755523388484742e-07}, v2d{0.0, 2.0630454379662294e-09}},
    {splat(-0.3333333333333325), splat(0.19999999999898407), splat(-0.1428571426609662),
     splat(0.11111109636534361), splat(-0.09090852557176049), splat(0.0769105515839315),
     splat(-0.06649613695291669), splat(0.05736332165907643), splat(-0.04483334622272886),
     splat(0.02275052699336167)},
    {splat(0.99999999999994926), splat(0.16666666670723188), splat(0.074999994675315609),
     splat(0.044643126897073435), splat(0.030375046838709736), splat(0.022472629272259407),
     splat(0.016472738109361944), splat(0.018638508213446328), splat(-0.0028563505336838967),
     splat(0.031943996384108428)},
    splat(0.41421356237309503),
    splat(kPi / 4.0),
    splat(kPi / 2.0),
    splat(kPi),
    splat(1.0e-30),
    splat(1.0e30),
    splat(-0.0),
    splat(0.5),
};

template <class T> [[gnu::always_inline]] inline const T &opaque(const T &v) {
    const T *p = &v;
    asm("" : "+r"(p));
    return *p;
}

// sin and cos of a pair |x| <= pi/4 (Estrin's form). The sine of -0 is +0, as
// the quadrant arithmetic of earlier versions made it.
[[gnu::always_inline]] inline void sincos_pair(const VecConsts &k, v2d x, v2d &sp, v2d &cp) {
    const v2d z = x * x, z2 = z * z, z4 = z2 * z2;
    sp = (x + v2d{0.0, 0.0}) * (((k.sin[0] + z * k.sin[1]) + z2 * (k.sin[2] + z * k.sin[3])) +
                                z4 * (k.sin[4] + z * k.sin[5]));
    cp = ((k.cos[0] + z * k.cos[1]) + z2 * (k.cos[2] + z * k.cos[3])) +
         z4 * ((k.cos[4] + z * k.cos[5]) + z2 * k.cos[6]);
}

// sin and cos of n quarter turns plus x, |x| <= pi/4, both lanes; qm holds n in
// the low bits of its mantissa (n + kRoundMagic): odd quarters swap sine and
// cosine, quarters 2 and 3 negate the sine, 1 and 2 the cosine.
[[gnu::always_inline]] inline void sincos_quarters(const VecConsts &k, v2d qm, v2d x, v2d &s,
                                                   v2d &c) {
    v2d sp, cp;
    sincos_pair(k, x, sp, cp);
    v2d swap, sin_neg, cos_neg;
    quadrant(qm, swap, sin_neg, cos_neg);
    s = bit_xor(select(swap, cp, sp), sin_neg);
    c = bit_xor(select(swap, sp, cp), cos_neg);
}

// sin and cos of two angles in degrees.
[[gnu::always_inline]] inline void sincos_deg2(double d0, double d1, double &s0, double &c0,
                                               double &s1, double &c1) {
    if (!(std::fabs(d0) < 1.0e9 && std::fabs(d1) < 1.0e9)) [[unlikely]] {
        s0 = std::sin(d0 * kD2R), c0 = std::cos(d0 * kD2R);
        s1 = std::sin(d1 * kD2R), c1 = std::cos(d1 * kD2R);
        return;
    }
    const VecConsts &k = opaque(kVec);
    const v2d d = {d0, d1};
    const v2d qm = d * k.inv90 + k.magic, q = qm - k.magic;
    v2d s, c;
    sincos_quarters(k, qm, (d - q * k.deg90) * k.d2r, s, c);
    s0 = s[0], c0 = c[0], s1 = s[1], c1 = c[1];
}

// sin and cos of one angle |x| <= pi/4 (radians), in the two lanes of one
// polynomial.
[[gnu::always_inline]] inline void sincos_small(double x, double &s, double &c) {
    const VecConsts &k = opaque(kVec);
    const v2d z = {x * x, x * x}, z2 = z * z, z4 = z2 * z2;
    const v2d *a = k.sc;
    const v2d p =
        ((a[0] + z * a[1]) + z2 * (a[2] + z * a[3])) + z4 * ((a[4] + z * a[5]) + z2 * a[6]);
    s = x * p[0];
    c = p[1];
}

// One angle in degrees: the second lane costs nothing.
[[gnu::always_inline]] inline void sincos_deg(double d, double &s, double &c) {
    double s1, c1;
    sincos_deg2(d, d, s, c, s1, c1);
}

// sin and cos of two angles in radians.
[[gnu::always_inline]] inline void sincos2(double x0, double x1, double &s0, double &c0, double &s1,
                                           double &c1) {
    if (!(std::fabs(x0) < 1.0e6 && std::fabs(x1) < 1.0e6)) [[unlikely]] {
        s0 = std::sin(x0), c0 = std::cos(x0);
        s1 = std::sin(x1), c1 = std::cos(x1);
        return;
    }
    const VecConsts &k = opaque(kVec);
    const v2d x = {x0, x1};
    v2d s, c;
    if (all(le(and_not(k.sign, x), k.pi4))) { // no reduction (scan angles)
        sincos_pair(k, x, s, c);
    } else {
        const v2d qm = x * k.inv_pio2 + k.magic, q = qm - k.magic;
        sincos_quarters(k, qm, (x - q * k.pio2_hi) - q * k.pio2_lo, s, c);
    }
    s0 = s[0], c0 = c[0], s1 = s[1], c1 = c[1];
}

[[gnu::always_inline]] inline void sincos(double x, double &s, double &c) {
    double s1, c1;
    sincos2(x, x, s, c, s1, c1);
}

// add + scale atan2(y, x) for two pairs, with the quadrants and signed zeros of
// std::atan2 (atan2(0, 0) is 0; add -0.0 adds nothing, even to -0.0); scale and
// add give callers degrees and offsets without more steps after the division.
// With lo/hi the smaller and larger of |x| and |y|: atan(lo/hi) is atan(u) with
// u = lo/hi up to tan(pi/8), and pi/4 + atan(u) with u = (lo - hi) / (lo + hi)
// above (|u| <= tan(pi/8) again). The octant makes the angle off + s atan(lo/hi)
// (s = +-1): all but the series is known before the division ends.
[[gnu::always_inline]] inline void atan2_2(double y0, double x0, double y1, double x1, double &r0,
                                           double &r1, double scale0 = 1.0, double add0 = -0.0,
                                           double scale1 = 1.0, double add1 = -0.0) {
    const VecConsts &k = opaque(kVec);
    const v2d y = {y0, y1}, x = {x0, x1};
    const v2d ax = and_not(k.sign, x), ay = and_not(k.sign, y);
    const v2d lo = vmin(ax, ay), hi = vmax(ax, ay);
    if (!all(bit_and(gt(hi, k.tiny), le(hi, k.huge)))) [[unlikely]] {
        r0 = add0 + scale0 * std::atan2(y0, x0); // zero, tiny, huge, infinite or NaN
        r1 = add1 + scale1 * std::atan2(y1, x1);
        return;
    }
    const v2d big = bit_and(gt(ay, ax * k.tan_pi8), gt(ax, ay * k.tan_pi8));
    const v2d u = select(big, lo - hi, lo) / select(big, lo + hi, hi);
    // Octants: steep (|y| > |x|) and x < 0 give off = 0, pi/2, pi, pi/2 and
    // s = +1, -1, -1, +1 for (no, no), (yes, no), (no, yes), (yes, yes); then
    // the sign of y.
    const v2d steep = gt(ay, ax), neg = gt(v2d{0.0, 0.0}, x);
    const v2d flip = bit_and(bit_xor(steep, neg), k.sign), ysign = bit_and(y, k.sign);
    const v2d off = bit_or(bit_and(k.pi2, steep), bit_and(and_not(steep, neg), k.pi));
    const v2d sc = {scale0, scale1}, ad = {add0, add1};
    const v2d base = bit_xor(off + bit_xor(bit_and(k.pi4, big), flip), ysign) * sc + ad;
    const v2d z = u * u, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const v2d *a = k.atan;
    const v2d p = ((a[0] + z * a[1]) + z2 * (a[2] + z * a[3])) +
                  z4 * ((a[4] + z * a[5]) + z2 * (a[6] + z * a[7])) + z8 * (a[8] + z * a[9]);
    const v2d su = u * sc;
    const v2d r = base + bit_xor(su + su * z * p, bit_xor(flip, ysign));
    r0 = r[0], r1 = r[1];
}

// atan(u) - u for |u| <= 0.063 (error 2e-17).
[[gnu::always_inline]] inline double atan_tail(double u) {
    const double z = u * u, z2 = z * z;
    return u * (z * (-1.0 / 3.0 + z * (1.0 / 5.0)) + z2 * z * (-1.0 / 7.0 + z * (1.0 / 9.0)) +
                z2 * z2 * z * (-1.0 / 11.0));
}

// atan(a) for 0 <= a <= 1: atan(k/8) from a table plus atan(u) with
// u = (a - k/8) / (1 + a k/8), k/8 the nearest eighth.
[[gnu::always_inline]] inline double atan01(double a) {
    const double km = a * 8.0 + kRoundMagic;
    const double ck = (km - kRoundMagic) * 0.125;
    const double u = (a - ck) / (1.0 + a * ck);
    return kAtanEighths[bits(km) & 15] + (u + atan_tail(u));
}

[[gnu::always_inline]] inline v2d vsqrt(v2d v) {
#if defined(__SSE2__)
    return _mm_sqrt_pd(v);
#else
    return v2d{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

// Square root without the library's error handling (NaN below zero).
[[gnu::always_inline]] inline double sqrt(double x) {
#if defined(__SSE2__)
    const __m128d v = _mm_set_sd(x);
    return _mm_cvtsd_f64(_mm_sqrt_sd(v, v));
#else
    return std::sqrt(x);
#endif
}

// sqrt(1 - x^2): the cosine of the angle whose sine is x.
[[gnu::always_inline]] inline double cos_of_sin(double x) {
    return sqrt((1.0 - x) * (1.0 + x));
}

// asin for |x| <= 1: x P(x^2) for |x| <= 1/2, and asin|x| = pi/2 - 2 asin(y)
// with y = sqrt((1 - |x|) / 2) above.
[[gnu::always_inline]] inline double asin(double x) {
    const double ax = std::fabs(x);
    if (!(ax <= 1.0)) [[unlikely]]
        return std::asin(x);
    const VecConsts &k = opaque(kVec);
    const double zs = 0.5 * (1.0 - ax);
    const v2d a = {ax, ax}, big = gt(a, k.half);
    const v2d z = select(big, v2d{zs, zs}, a * a);
    const v2d y = select(big, v2d{sqrt(zs), 0.0}, a);
    const v2d z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const v2d *c = k.asin;
    const v2d p = ((c[0] + z * c[1]) + z2 * (c[2] + z * c[3])) +
                  z4 * ((c[4] + z * c[5]) + z2 * (c[6] + z * c[7])) + z8 * (c[8] + z * c[9]);
    const v2d r = select(big, k.pi2 - (y + y) * p, y * p);
    return std::copysign(r[0], x);
}

// 2^(j/32), j = 0..31, from the Taylor series of exp (Horner's form from the
// smallest term, good to an ulp or two).
struct Exp2Table {
    double v[32];
};
constexpr Exp2Table make_exp2_table() {
    Exp2Table t{};
    for (int j = 0; j < 32; ++j) {
        const double r = j * (kLn2 / 32.0);
        double p = 1.0;
        for (int i = 24; i >= 1; --i)
            p = 1.0 + p * r / i;
        t.v[j] = p;
    }
    return t;
}
constexpr Exp2Table kExp2 = make_exp2_table();

// exp(x): x = (32 m + j) ln2 / 32 + r with |r| <= ln2 / 64, exp(x) = 2^m 2^(j/32)
// exp(r); relative error below 1e-15.
[[gnu::always_inline]] inline double exp(double x) {
    if (!(std::fabs(x) < 708.0)) [[unlikely]]
        return std::exp(x); // overflow, underflow, infinite or NaN
    const double km = x * (32.0 / kLn2) + kRoundMagic;
    const double kd = km - kRoundMagic;
    const double r = (x - kd * (kLn2Hi / 32.0)) - kd * (kLn2Lo / 32.0);
    const uint64_t n = bits(km), j = n & 31;
    // 2^m added to the exponent field; the bits of kRoundMagic shift out.
    const double scale = from_bits(bits(kExp2.v[j]) + ((n - j) << 47));
    const double r2 = r * r, r4 = r2 * r2;
    const double p = (1.0 + r) + r2 * (0.5 + r * (1.0 / 6.0)) +
                     r4 * ((1.0 / 24.0 + r * (1.0 / 120.0)) + r2 * (1.0 / 720.0));
    return scale * p;
}

// log of c_i, i = 0..63, the doubles whose bits are those of 0.6875 plus i
// steps of 2^46: the centres of 64 equal pieces of [0.6875, 1.375) in the
// layout of doubles; c_40 is 1. log c from its atanh series, and 1 / c.
constexpr uint64_t kLogBase = 0x3fe6000000000000; // 0.6875
constexpr uint64_t kLogStep = uint64_t{1} << 46;
struct LogEntry {
    double inv_c, log_c;
};
struct LogTable {
    LogEntry e[64];
};
constexpr LogTable make_log_table() {
    LogTable t{};
    for (uint64_t i = 0; i < 64; ++i) {
        const double c = std::bit_cast<double>(kLogBase + i * kLogStep);
        const double s = (c - 1.0) / (c + 1.0), s2 = s * s;
        double p = 0.0;
        for (int j = 30; j >= 0; --j)
            p = p * s2 + 1.0 / (2 * j + 1);
        t.e[i] = {1.0 / c, 2.0 * s * p};
    }
    return t;
}
constexpr LogTable kLogC = make_log_table();

// log(x) for x > 0: x = 2^k z with z in [c_0 - step/2, c_63 + step/2), z within
// half a step of its centre c; log x = k ln2 + log c + log1p((z - c) / c), where
// z - c is exact and |(z - c) / c| <= 1/128. Relative error below 1e-15, also
// near x = 1 (there c = 1).
[[gnu::always_inline]] inline double log(double x) {
    const uint64_t ix = bits(x);
    if (ix - 0x0010000000000000 >= 0x7fe0000000000000) [[unlikely]]
        return std::log(x); // zero, negative, subnormal, infinite or NaN
    const uint64_t t = ix - (kLogBase - kLogStep / 2);
    const int64_t k = static_cast<int64_t>(t) >> 52;
    const LogEntry &e = kLogC.e[(t >> 46) & 63];
    const uint64_t iz = ix - (t & 0xfff0000000000000);
    const double z = from_bits(iz), c = from_bits((iz + kLogStep / 2) & ~(kLogStep - 1));
    const double r = (z - c) * e.inv_c, r2 = r * r, r4 = r2 * r2;
    const double p = r + r2 * (-0.5 + r * (1.0 / 3.0)) +
                     r4 * ((-0.25 + r * 0.2) + r2 * (-1.0 / 6.0 + r * (1.0 / 7.0)));
    const double kd = static_cast<double>(k);
    return (kd * kLn2Hi + e.log_c) + (p + kd * kLn2Lo);
}

// A power x^e for a fixed exponent, from tables made once per domain: with x =
// 2^k c (1 + r) split as in log, x^e = (2^e)^k c^e (1 + r)^e, the first two
// factors from the tables (k from -32 to 31: x from 1.6e-10 to 2.9e9) and the
// last a binomial series (|r| <= 1/128, |e| <= 4: error below 1e-16). No exp or
// log on the way, so its latency is about that of one of them. Making the tables
// takes 64 products and 64 exponentials of the tabulated log c.
struct PowTable {
    bool ok = false;       // |e| small enough for the series
    double two_k[64] = {}; // scale 2^(e k), k = -32..31
    double c_e[64] = {};   // c_i^e
    double binom[8] = {};  // e choose j
};

void make_pow_table(PowTable &t, double e, double scale) {
    t.ok = std::fabs(e) <= 4.0 && std::isfinite(scale);
    if (!t.ok)
        return;
    // Powers of 2^e outwards from k = 0 (at most 32 roundings: 4e-15).
    const double up = std::exp2(e), down = std::exp2(-e);
    t.two_k[32] = scale;
    for (int k = 33; k < 64; ++k)
        t.two_k[k] = t.two_k[k - 1] * up;
    for (int k = 31; k >= 0; --k)
        t.two_k[k] = t.two_k[k + 1] * down;
    for (int i = 0; i < 64; ++i)
        t.c_e[i] = exp(e * kLogC.e[i].log_c);
    t.binom[0] = 1.0;
    for (int j = 1; j < 8; ++j)
        t.binom[j] = t.binom[j - 1] * (e - (j - 1)) / j;
}

// scale x^e into out; false when x is outside the tables (x <= 0, tiny, huge,
// infinite, NaN) or the table is not usable.
[[gnu::always_inline]] inline bool pow_table(const PowTable &t, double x, double &out) {
    const uint64_t ix = bits(x);
    const uint64_t u = ix - (kLogBase - kLogStep / 2);
    const uint64_t k = static_cast<uint64_t>(static_cast<int64_t>(u) >> 52) + 32;
    if (k >= 64 || !t.ok) [[unlikely]]
        return false;
    const uint64_t i = (u >> 46) & 63;
    const uint64_t iz = ix - (u & 0xfff0000000000000);
    const double z = from_bits(iz), c = from_bits((iz + kLogStep / 2) & ~(kLogStep - 1));
    const double r = (z - c) * kLogC.e[i].inv_c, r2 = r * r, r4 = r2 * r2;
    const double *b = t.binom;
    const double series = ((1.0 + r * b[1]) + r2 * (b[2] + r * b[3])) +
                          r4 * ((b[4] + r * b[5]) + r2 * (b[6] + r * b[7]));
    out = t.two_k[k] * t.c_e[i] * series;
    return true;
}

// x^n for x >= 0 the general way.
double pow_any(double x, double n) {
    return x > 0.0 ? exp(n * log(x)) : std::pow(x, n);
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
    fast::PowTable lcc_fwd, lcc_inv;  // see LccTables
    double lcc_factor = -9999.0;      // Lambert conformal: stored scale factor param[4]
    double H = kGeoDistance;          // satellite distance from the earth's centre
    double H2 = 0.0, H4 = 0.0, H2e = 0.0, earth_ratio = 0.0, inv_H = 0.0;
    double earth_ratio2 = 0.0, sat_ratio = 0.0, H_over_a = 0.0; // (R / H)^2, H / R, H / a
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

int off(double &x, double &y) {
    x = kMiss;
    y = kMiss;
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
    fast::sincos_deg2(psi, dlon, s, c, sl, cl);
    const double rho = p.k * half_colat_tan(s, c);
    x = rho * sl;
    y = -p.h * rho * cl;
    return Res::ok;
}

Res ps_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho = fast::sqrt(x * x + y * y);
    // lat from atan(rho / k), lon from the azimuth (0 towards the pole).
    fast::atan2_2(rho, p.k, x, -p.h * y, lat, lon, -2.0 * p.h * kR2D, p.h * 90.0, kR2D, p.lon0);
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
    fast::sincos_small(lat * (kD2R / 2.0), s, c);
    y = -kR * fast::log((c - s) / (c + s));
    return Res::ok;
}

Res merc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    lon = wrap_once(x * (1.0 / kUnitsPerDegree) + p.lon0);
    // lat = 90 - 2 atan(exp(-y / R)), on |y| so that the exponential is at most 1.
    const double e = fast::exp(-kInvR * std::fabs(y));
    lat = std::copysign(kPi / 2.0 - 2.0 * fast::atan01(e), y) * kR2D;
    return Res::ok;
}

// ---------------------------------------------------------------------------
// Lambert conformal conic with its apex at the pole of the domain's hemisphere.
// A southern domain takes its true latitudes as magnitudes (30 and 60 by
// default in both hemispheres), so -30/-60 and 30/60 give the same cone.

// The power tables of a cone. Callers that switch between domains set them up
// again and again, so the last ones are kept in the module state.
struct LccTables {
    double n = 0.0, f = 0.0;
    fast::PowTable fwd, inv; // R f t^n and (rho^2)^(1/2n) / (R f)^(1/n)
};
const LccTables &lcc_tables(double n, double f);

void make_lcc_tables(LccTables &t, double n, double f) {
    t.n = n;
    t.f = f;
    fast::make_pow_table(t.fwd, n, kR * f);
    // (rho / (R F))^(1/n) = (rho^2)^(1/2n) (R F)^(-1/n): only for a positive scale
    // (else pow has no real result).
    t.inv = fast::PowTable{};
    if (f > 0.0)
        fast::make_pow_table(t.inv, 0.5 / n, std::pow(kR * f, -1.0 / n));
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
        const LccTables &t = lcc_tables(p.n, p.f);
        p.lcc_fwd = t.fwd;
        p.lcc_inv = t.inv;
    }
}

Res lcc_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const double psi = at_least(p.h * lat, -89.0);
    double s, c, st, ct;
    fast::sincos_deg2(psi, p.n * wrap_once(dlon), s, c, st, ct);
    const double t = half_colat_tan(s, c);
    double rho;
    if (!fast::pow_table(p.lcc_fwd, t, rho))
        rho = kR * p.f * fast::pow_any(t, p.n); // at the pole, or a flat cone
    x = rho * st;
    y = -p.h * rho * ct;
    return Res::ok;
}

Res lcc_inv(const Params &p, double x, double y, double &lat, double &lon) {
    const double rho2 = x * x + y * y;
    double t; // tan of half the colatitude: (rho / (R F))^(1/n)
    if (!fast::pow_table(p.lcc_inv, rho2, t))
        t = fast::pow_any(fast::sqrt(rho2) * p.inv_rf, p.inv_n);
    // lon from the cone angle (0 at the apex), lat from half the colatitude.
    fast::atan2_2(x, -p.h * y, t, 1.0, lon, lat, kR2D * p.inv_n, p.lon0, -2.0 * p.h * kR2D,
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
    const double w = fast::sqrt(w2);
    // The point in the earth's frame: R sin lat = Z, R cos lat (cos dlon, sin dlon) = (X, x).
    const double Z = p.sin0 * w + p.cos0 * y, X = p.cos0 * w - p.sin0 * y;
    fast::atan2_2(Z, fast::sqrt(x * x + X * X), x, X, lat, lon, kR2D, -0.0, kR2D, p.lon0);
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
    const double q = 1.0 / fast::sqrt(kR2 + rho2); // cos c = R q, sin c = rho q
    const double sinp = clamp1(kR * q * p.sin0 + y * q * p.cos0);
    fast::atan2_2(sinp, fast::cos_of_sin(sinp), x, kR * p.cos0 - y * p.sin0, lat, lon, kR2D, -0.0,
                  kR2D, p.lon0);
    return Res::ok;
}

Res laea_fwd(const Params &p, double lat, double dlon, double &x, double &y) {
    const Aux a = azimuthal(p, lat, dlon);
    if (1.0 + a.cos_arc <= 1.0e-12)
        return Res::off; // antipode
    const double k = kR * fast::sqrt(2.0 / (1.0 + a.cos_arc));
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
    const double sg_rho = fast::sqrt(1.0 - u2) * kInvR, cg = 1.0 - 2.0 * u2;
    const double sinp = clamp1(cg * p.sin0 + y * sg_rho * p.cos0);
    // atan2(x sin g cos0, rho (cos g - sin0 sin lat)), both divided by rho.
    double ay = x * sg_rho * p.cos0, ax = cg - p.sin0 * sinp, sign = 1.0;
    if (std::fabs(std::fabs(p.lat0) - 90.0) < 1.0e-10) { // polar aspect
        ay = p.lat0 > 0.0 ? x : -x;
        ax = p.lat0 > 0.0 ? -y : y;
        sign = p.lat0 > 0.0 ? 1.0 : -1.0;
    }
    fast::atan2_2(sinp, fast::cos_of_sin(sinp), ay, ax, lat, lon, kR2D, -0.0, sign * kR2D, p.lon0);
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
    const double c = fast::sqrt((1.0 - a) * (1.0 + a)); // cos t
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
    p.earth_ratio2 = p.earth_ratio * p.earth_ratio;
    p.sat_ratio = p.H / kR;
    p.H_over_a = p.H / kPolarR * std::sqrt(kAxisRatio2);
    p.inv_H = 1.0 / p.H;
    p.ellipsoid = d.ellipsoid == 1;
    p.scan = d.param[3] == 1.0f;
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
    fast::sincos_deg2(lat, dlon, sp, cp, sl, cl);
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
    const double f = fast::sqrt(e * e + d * d);
    if (p.scan) {
        fast::atan2_2(e, d, rs, f, x, y, p.H, -0.0, p.H, -0.0);
    } else {
        const fast::v2d q = fast::v2d{e, rs} / fast::v2d{d, f};
        x = q[0] * p.H;
        y = q[1] * p.H;
    }
    return Res::ok;
}

// Sines and cosines of the scan angles of plot point (x, y).
void scan_angles(const Params &p, double x, double y, double &sa, double &ca, double &sb,
                 double &cb) {
    if (p.scan) {
        fast::sincos2(x * p.inv_H, y * p.inv_H, sa, ca, sb, cb);
    } else {
        const double qa = 1.0 / fast::sqrt(p.H2 + x * x), qb = 1.0 / fast::sqrt(p.H2 + y * y);
        sa = x * qa, ca = p.H * qa;
        sb = y * qb, cb = p.H * qb;
    }
}

Res sat_inv(const Params &p, double x, double y, double &lat, double &lon) {
    double sa, ca, sb, cb;
    if (!p.ellipsoid) {
        if (p.scan) {
            scan_angles(p, x, y, sa, ca, sb, cb);
            const fast::v2d q = fast::v2d{sa, sb} / fast::v2d{ca, cb};
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
        const double T = p.H2 - fast::sqrt(disc), RD = kR * D;
        const double Ty = T * y, Tx = T * x, ty = std::fabs(Ty);
        const double cos_lat = (RD - ty) * (RD + ty); // times R^2 D^2
        if (!(cos_lat > 0.0)) { // at a pole (the ray meets the sphere of radius a)
            lat = std::copysign(90.0, y);
            lon = p.lon0;
            return Res::ok;
        }
        const fast::v2d c = fast::vsqrt(fast::v2d{cos_lat, at_least(cos_lat - Tx * Tx, 0.0)});
        fast::atan2_2(Ty, c[0], Tx, c[1], lat, lon, kR2D, -0.0, kR2D, p.lon0);
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
    const double ts = q - fast::sqrt(disc);
    const double X = p.H * s - ts * cc;
    const double Y = ts * sa * cb;
    fast::atan2_2(ts * sb, kAxisRatio2 * fast::sqrt(X * X + Y * Y), Y, X, lat, lon, kR2D, -0.0,
                  kR2D, p.lon0);
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
    LccTables lcc;             // of the last Lambert conformal set-up
};

MapState &st() {
    static MapState s;
    return s;
}

const LccTables &lcc_tables(double n, double f) {
    LccTables &t = st().lcc;
    if (t.n != n || t.f != f)
        make_lcc_tables(t, n, f);
    return t;
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
    return row->fwd(c.p, a, b, x, y);
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

namespace {

// The common case (a projection with its constants ready) goes straight to the
// row; the rest is out of line so that the fast path needs no stack frame.
[[gnu::noinline]] int tran_slow(float *x, float *y, float lat, float lon) {
    if (!x || !y)
        return 0;
    Current &c = st().cur;
    if (c.dom.proj == -9999) {
        *x = lat;
        *y = lon;
        return 1;
    }
    const Row *row = ensure_ready(c);
    if (!row)
        return 1;
    return row->fwd_float(c.p, lat, lon, x, y);
}

[[gnu::noinline]] int untran_slow(float *lat, float *lon, float x, float y) {
    if (!lat || !lon)
        return 0;
    Current &c = st().cur;
    if (c.dom.proj == -9999)
        return 1;
    const Row *row = ensure_ready(c);
    if (!row)
        return 1;
    return row->inv_float(c.p, x, y, lat, lon);
}

} // namespace

int MAP_tran(float *x, float *y, float lat, float lon) {
    const Current &c = st().cur;
    if (c.ready && c.row && x && y) [[likely]] // a row means a projection, not "none"
        return c.row->fwd_float(c.p, lat, lon, x, y);
    return tran_slow(x, y, lat, lon);
}

int MAP_untran(float *lat, float *lon, float x, float y) {
    const Current &c = st().cur;
    if (c.ready && c.row && lat && lon) [[likely]]
        return c.row->inv_float(c.p, x, y, lat, lon);
    return untran_slow(lat, lon, x, y);
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

// ---------------------------------------------------------------------------
// The elementary functions, for tests.

namespace map_detail {

double exp(double x) {
    return fast::exp(x);
}
double log(double x) {
    return fast::log(x);
}
bool pow_table(double x, double e, double &out) {
    fast::PowTable t;
    fast::make_pow_table(t, e, 1.0);
    return fast::pow_table(t, x, out);
}
double atan2(double y, double x) {
    double r0 = 0.0, r1 = 0.0;
    fast::atan2_2(y, x, x, y, r0, r1);
    return r0;
}
double asin(double x) {
    return fast::asin(x);
}
void sincos_deg(double degrees, double &s, double &c) {
    fast::sincos_deg(degrees, s, c);
}
void sincos(double radians, double &s, double &c) {
    fast::sincos(radians, s, c);
}

} // namespace map_detail
