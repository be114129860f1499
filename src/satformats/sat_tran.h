// AREA navigation: relates the lines and elements of an AREA image to latitude
// and longitude. Map-projection blocks ("PS", "MERC", "LAMB", "TANC", "RECT",
// "MOLL") and the fixed full-disc view ("MSAT") become a plot domain of the
// image (area_domain.h); satellite blocks ("GOES" spin-scan, "GVAR") are
// navigated point by point.
//
// AREA_NAVIGATION is one installed navigation as a value; the AREA_* and
// GVAR_* functions below work on the program's one process-wide instance.
#pragma once

#include <cstddef>
#include <cstdint>

#include "satformats/area.h"
#include "satformats/area_domain.h"
#include "satformats/gvar.h"
#include "satformats/spinscan.h"

// Image types of an installed navigation.
inline constexpr int AREA_NAV_NONE = 0;
inline constexpr int AREA_NAV_GOES = 1;
inline constexpr int AREA_NAV_GVAR = 2;

// One navigation: the image type, the image-to-AREA coordinate mapping and the
// satellite geometry. Line and element are AREA coordinates (full-resolution
// scan coordinates); latitudes are geodetic degrees north, longitudes degrees
// east.
struct AREA_NAVIGATION {
    int type = AREA_NAV_NONE;
    // Image-to-AREA mapping: AREA line and element of the first image line and
    // element, AREA lines and elements per image line and element.
    float lcor = 1, ecor = 1, lres = 1, eres = 1;
    spinscan::Nav goes; // type AREA_NAV_GOES
    // The last "GVAR" block installed. Other blocks leave it: raster images are
    // navigated with the GVAR navigation in force.
    gvar::Nav gvar;

    // Replaces the navigation by that of an AREA record (mapping from directory
    // words 5, 6, 11 and 12; the line counted from the start scan, word 47, for
    // "GOES").
    void install(const AREA &area);

    // Line/element to lat/lon; lat/lon to line/element (a spin-scan point outside
    // the picture gives -9999.0 and 0); the sub-satellite point. 0, or -1 with
    // -9999.0 outputs for a point off the earth or hidden from the satellite.
    // Without a satellite navigation: 0 and the outputs untouched.
    int to_earth(double line, double elem, double *lat, double *lon) const;
    int to_image(double lat, double lon, double *line, double *elem) const;
    int subpoint(double *lat, double *lon) const;
    // The same through one entry, as AREA_tran: mode 1 to_earth, 2 to_image, 3
    // subpoint (line and element are then work values).
    int tran(int mode, float *lat, float *lon, float *line, float *elem) const;
    // to_image for n points at once (GVAR eight at a time where the processor allows);
    // a point it cannot place, or with a missing latitude, gets -9999.0 in both, and so
    // does every point without a satellite navigation.
    void to_image_n(size_t n, const float *lat, const float *lon, float *line, float *elem) const;
    // Mode 1: image pixel (x across, y down, from 1) to AREA line/element. Other
    // modes: AREA line in *y and element in *x to image pixel line/element (in
    // place allowed).
    void line_elem(int mode, float *line, float *elem, const float *y, const float *x) const;
    // Satellite position (km) of the spin-scan orbit at a date (yyddd) and time
    // (hours); celestial != 0 inertial axes, 0 earth-fixed. 0, -1 without a
    // "GOES" navigation.
    int pos(int date, double hours, int celestial, double xyz[3]) const;
};

// The process-wide navigation (the AREA_* functions below work on it).
AREA_NAVIGATION &AREA_navigation();

// Installs the navigation of an AREA record (replacing the previous one) and,
// for "GOES", prints its dump. 0.
int AREA_init(const AREA *area);
int AREA_tran(int mode, float *lat, float *lon, float *line, float *elem);
int AREA_line_elem(int mode, float *line, float *elem, float *y, float *x);
// Sets the image-to-AREA mapping directly (zoom, raster images). 0.
int AREA_set_res(float lcor, float ecor, float lres, float eres);
int AREA_pos(int date, double hours, int celestial, double xyz[3]);
int AREA_get_image_type();
// Current image-to-AREA mapping: lcor, ecor, lres, eres.
void AREA_get_res(float out[4]);
// Back to no navigation; the GVAR navigation stays (GVAR_reset_state clears it).
void AREA_reset_state();

// The process-wide GVAR navigation (the instance's gvar member).
// Decodes a block, sets the instrument constants and the derived state; -1 when
// the block is too short.
int GVAR_set_nav(const int32_t *words, size_t n);
// Derived state from the installed parameter set. 0.
int GVAR_init();
// Resets the instrument constants of the installed navigation. 0.
int set_gvar_con(int instr, int ns_cycles, int ns_incr, int ew_cycles, int ew_incr);
int sat2earth(double *lat, double *lon, double line, double elem);
int earth2sat(double *line, double *elem, double lat, double lon);
// Sub-satellite latitude and longitude in degrees.
void GVAR_subpoint(double *lat, double *lon);
const gvar::Nav &GVAR_nav();
void GVAR_reset_state();
