// What the satellite navigations share: the earth models and rates they work
// with, and their date and angle helpers. Pure functions and constants.
//
// Several constants look alike but are not the same number: each belongs to
// one earth model or one block format and keeps the value it was published
// with. The projection module (map/maptran.cpp) has its own sphere of radius
// 63.7122 plot units (6371.22 km) and its own default satellite distance of
// 421.61 plot units; none of the values below is meant to equal those.
#pragma once

#include <cstdint>

namespace satnav {

// ---------------------------------------------------------------------------
// Earth models (km unless told)
// ---------------------------------------------------------------------------

// International (Hayford 1924) ellipsoid: the earth of the GOES spin-scan
// navigation. Its equatorial radius is also the unit in which the GVAR
// navigation holds the satellite position, and the spin-scan orbit model's
// earth radius.
inline constexpr double kIntlEquatorialKm = 6378.388;
inline constexpr double kIntlPolarKm = 6356.912;
// (kIntlPolarKm / kIntlEquatorialKm)^2: geodetic <-> geocentric latitude of
// the spin-scan navigation (geolat).
inline constexpr double kIntlAxisRatio2 = 0.9932773468128505;
// Mean earth radius of the spin-scan visibility test: a surface point is hidden
// when the cosine of its angle to the satellite's direction is below this radius
// over the satellite's distance.
inline constexpr double kSpinMeanKm = 6371.221;

// GVAR earth location: (equatorial / polar radius)^2 of its own ellipsoid
// (6378.137 by 6356.7533 km). Not the inverse of kIntlAxisRatio2, which would
// be 1.0067681...
inline constexpr double kGvarAxisRatio2 = 1.0067391845079678;
// kGvarAxisRatio2 - 1, and 1 / kGvarAxisRatio2^2 - 1, as the GVAR point-to-angle
// series uses them.
inline constexpr double kGvarAxisRatio2m1 = 0.006739184507967844;
inline constexpr double kGvarAxisRatio4m1 = -0.01334333324545034;
// Nominal radius of the GVAR satellites' orbit.
inline constexpr double kGvarOrbitKm = 42164.365;

// ---------------------------------------------------------------------------
// Rates
// ---------------------------------------------------------------------------

// The earth's sidereal rotation, rad per hour (spin-scan: the earth turning
// under the spin axis during a picture) and the same rate per minute (spin-scan:
// the earth's orientation since the reference time).
inline constexpr double kEarthRotPerHour = 0.26251617076855077;
inline constexpr double kEarthRotPerMinute = 0.004375269512809179;
// Angular rate of the GVAR orbit and attitude series, rad per minute, as
// published with their coefficients; not the earth's rotation rate above.
inline constexpr double kGvarOrbitRate = 0.00437469;
// Spin-scan orbit model: square root of the earth's gravitational constant in
// earth radii (kIntlEquatorialKm)^1.5 per minute.
inline constexpr double kSpinGravity = 0.07436574;

// ---------------------------------------------------------------------------
// Plot units (100 km) of the domains made from navigation blocks
// ---------------------------------------------------------------------------

// Earth radius that scales the AREA projection blocks: 63.71 for "PS", 63.713
// for "MERC" and "LAMB", as those blocks were written.
inline constexpr double kPsRadius = 63.71;
inline constexpr double kMercLambRadius = 63.713;
// Satellite distance from the earth's centre of the satellite-view domains:
// "MSAT" full-disc images take the geostationary radius 42164 km; GVAR images
// take kGvarOrbitKm cut to three decimals.
inline constexpr float kMsatDistance = 421.64f;
inline constexpr double kGvarDistance = 421.643;

// ---------------------------------------------------------------------------
// Date and angle helpers
// ---------------------------------------------------------------------------
//
// Dates are year * 1000 + day of year with two- or three-digit years (below 50:
// 20yy; a year below 200 gains 1900).

int numyr(int yy);                                   // days in the year
int numdy(int d1, int d2);                           // days from d1 to d2
double timdif(int d1, int d2, double h1, double h2); // minutes from (d1, h1) to (d2, h2)
int mdcon(int mode, int value);                      // 1: yymmdd -> yyddd; other: yyddd -> yymmdd
double int2deg(int packed);                          // +-DDDMMSS -> degrees (or HHMMSS -> hours)
int deg2int(double deg);                             // degrees -> +-DDDMMSS
double geolat(int mode, double lat); // 1: geodetic -> geocentric; 2: the reverse (degrees)
// Latitude, longitude (degrees) and radius of a point.
void sphere_cvt(const double xyz[3], double *lat, double *lon, double *radius);
int rnd(double x); // nearest integer, halves away from zero
// Two-word binary-coded-decimal time (yyyydddh hmmsstth) to minutes since 1950.
double time50(int32_t w0, int32_t w1);
// Minutes since 1950-01-01 00:00 of a day of year and time.
double timex(int year, int day, int hour, int minute, double seconds);

} // namespace satnav
