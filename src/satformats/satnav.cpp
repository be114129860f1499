// Date and angle helpers of the satellite navigations.
#include "satformats/satnav.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/date.h"

namespace satnav {

namespace {

constexpr double kRad = 3.14159265358979323846 / 180;

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
    return DATE_is_leap(DATE_full_year(yy)) ? 366 : 365;
}

int numdy(int d1, int d2) {
    auto absolute = [](int d) { return days_before(DATE_full_year(d / 1000)) + d % 1000; };
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
        return yy * 1000 + kCum[DATE_is_leap(DATE_full_year(yy)) ? 1 : 0][mm - 1] + dd;
    }
    const int yy = value / 1000;
    const int lp = DATE_is_leap(DATE_full_year(yy)) ? 1 : 0;
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
    const double t = std::tan(lat * kRad);
    return std::atan(mode == 1 ? t * kIntlAxisRatio2 : t / kIntlAxisRatio2) / kRad;
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
