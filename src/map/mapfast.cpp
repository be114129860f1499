// Elementary functions for the map projections: the out-of-line parts (power
// tables) and plain-call wrappers of the inline kernels for the accuracy tests.
#include "map/mapfast.h"

namespace map_fast {

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

} // namespace map_fast

namespace map_detail {

double exp(double x) {
    return map_fast::exp(x);
}
double log(double x) {
    return map_fast::log(x);
}
bool pow_table(double x, double e, double &out) {
    map_fast::PowTable t;
    map_fast::make_pow_table(t, e, 1.0);
    return map_fast::pow_table(t, x, out);
}
double atan2(double y, double x) {
    double r0 = 0.0, r1 = 0.0;
    map_fast::atan2_2(y, x, x, y, r0, r1);
    return r0;
}
double asin(double x) {
    return map_fast::asin(x);
}
void sincos_deg(double degrees, double &s, double &c) {
    map_fast::sincos_deg(degrees, s, c);
}
void sincos(double radians, double &s, double &c) {
    map_fast::sincos(radians, s, c);
}

} // namespace map_detail
