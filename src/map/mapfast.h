// Elementary functions for the map projections. Results go out as floats (24-bit
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
// remainders; powers with a fixed exponent use tables made once per exponent
// (PowTable). Only values outside the ranges (zero, huge, infinite, NaN) go to
// the library.
//
// The kernels live in this header so that the transformations inline them.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#ifdef __FAST_MATH__
#error "the projection kernels rely on IEEE rounding (kRoundMagic); build without -ffast-math"
#endif

namespace map_fast {

constexpr double kPi = 3.14159265358979323846;
constexpr double kD2R = kPi / 180.0;

constexpr double kPio2Hi = 1.5707963267948966, kPio2Lo = 6.123233995736766e-17;
constexpr double kRoundMagic = 6755399441055744.0; // 1.5 * 2^52
inline constexpr double kAtanEighths[9] = {0,
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
inline constexpr VecConsts kVec = {
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
inline constexpr Exp2Table kExp2 = make_exp2_table();

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
inline constexpr LogTable kLogC = make_log_table();

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

// A power x^e for a fixed exponent, from tables made once per exponent: with x =
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

void make_pow_table(PowTable &t, double e, double scale);

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
inline double pow_any(double x, double n) {
    return x > 0.0 ? exp(n * log(x)) : std::pow(x, n);
}

} // namespace map_fast

// The elementary functions as plain calls, for accuracy tests.
namespace map_detail {
double exp(double x);
double log(double x);
// x^e through the tables a Lambert conformal domain makes for its exponents;
// false when x or e is outside them (the transformations then use exp and log).
bool pow_table(double x, double e, double &out);
double atan2(double y, double x);
double asin(double x);
void sincos_deg(double degrees, double &s, double &c);
void sincos(double radians, double &s, double &c);
} // namespace map_detail
