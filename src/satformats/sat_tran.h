// AREA navigation: relates the lines and elements of an AREA image to latitude
// and longitude. Map-projection blocks ("PS", "MERC", "LAMB", "TANC", "RECT",
// "MOLL") and the fixed full-disc view ("MSAT") become a plot domain of the
// image; satellite blocks ("GOES" spin-scan, "GVAR") are navigated point by point
// through AREA_tran.
#pragma once

#include <cstdint>

#include "base/image.h"
#include "satformats/sat_read.h"

// Image types of the installed navigation.
inline constexpr int AREA_NAV_NONE = 0;
inline constexpr int AREA_NAV_GOES = 1;
inline constexpr int AREA_NAV_GVAR = 2;

// Installs the navigation of an AREA record (replacing the previous one). 0.
int AREA_init(const AREA *area);
// Line/element <-> latitude/longitude. Line and element are AREA coordinates;
// latitudes geodetic degrees north, longitudes degrees east. Mode 1 line/element
// to lat/lon, mode 2 lat/lon to line/element, mode 3 the sub-satellite point into
// lat/lon. 0, or -1 with -9999.0 outputs when the point is off the earth (mode 1)
// or hidden from the satellite (mode 2). Without a satellite navigation: 0 and
// nothing changed.
int AREA_tran(int mode, float *lat, float *lon, float *line, float *elem);
// Mode 1: image pixel (x across, y down, from 1) to AREA line/element. Other modes:
// AREA line in *y and element in *x to image pixel line/element (in place allowed).
int AREA_line_elem(int mode, float *line, float *elem, float *y, float *x);
// Sets the image-to-AREA mapping directly (zoom, raster images). 0.
int AREA_set_res(float lcor, float ecor, float lres, float eres);
// Fills image->domain from the AREA record's navigation (or the "grid_domain"
// resource). 0.
int AREA_calc_domain(IMAGE *image, const AREA *area);
// Satellite-view domain of an image under the installed GVAR navigation. 0.
int GVAR_calc_domain(IMAGE *image);
// Satellite position (km) of the spin-scan orbit at a date (yyddd) and time
// (hours); celestial != 0 inertial axes, 0 earth-fixed. 0, -1 without a "GOES"
// navigation.
int AREA_pos(int date, double hours, int celestial, double xyz[3]);

int AREA_get_image_type();
// Current image-to-AREA mapping: lcor, ecor, lres, eres.
void AREA_get_res(float out[4]);
void AREA_reset_state();

// Date and angle helpers of the navigations. Dates are year * 1000 + day of year
// with two- or three-digit years (below 50: 20yy; a year below 200 gains 1900).
namespace satnav {
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
