// Image geometry: fits a satellite image to the window. The user's plot domain is
// completed to one grid point per window pixel, the image is resampled onto it
// (remap) or enlarged and reduced (zoom), and the domain of the picture as
// displayed is derived for the map layers drawn over it. Remap and zoom work on
// 8-bit images and place the result at the window's upper-left corner.
#pragma once

#include "base/image.h"
#include "map/region.h"
#include "sat/sat_tool.h"

struct AREA_NAVIGATION;

// What the geometry works with: the plot parameters, the window size in device units and
// the navigation of the image (a zoom moves its image-to-scan mapping). The functions
// without a context use the driver's (SAT_geom_context).
struct SAT_GEOM {
    const SAT_PARAMS *params = nullptr;
    int width = 0, height = 0;
    AREA_NAVIGATION *nav = nullptr; // null: no satellite navigation
};
// The driver's plot parameters, SAT_window_size and the process-wide navigation.
SAT_GEOM SAT_geom_context();

// Completes a domain with a map projection (codes 1-9) to the window size: the
// same plot area with nx x ny = the window's pixels. Other domains are left alone.
// Returns 0.
int SAT_domain_image(DOMAIN *domain);
int SAT_domain_image(const SAT_GEOM &geom, DOMAIN *domain);

// Resamples the image onto the domain (one output pixel per grid point). 1, or 0
// with the image unchanged when the domain has no map projection or the image or
// domain cannot be remapped (then with a message at level 192).
int SAT_remap_image(IMAGE *image, const DOMAIN *domain);
int SAT_remap_image(const SAT_GEOM &geom, IMAGE *image, const DOMAIN *domain);

// Zooms the image by factor about (clat, clon), or from its upper-left corner when
// clat is -9999.0; the result is at most the window size. Returns 0.
int SAT_zoom_image(IMAGE *image, float clat, float clon, float factor);
int SAT_zoom_image(const SAT_GEOM &geom, IMAGE *image, float clat, float clon, float factor);

// Fills plot_domain with the domain of the picture as displayed (one grid point
// per window pixel, anchored at the image's upper-left pixel) and adds the "pixoff"
// plot parameter to every pixel. Returns 0.
int SAT_image_setup(IMAGE *image, DOMAIN *plot_domain);
int SAT_image_setup(const SAT_GEOM &geom, IMAGE *image, DOMAIN *plot_domain);

// Window size in pixels: the viewport of normalization transformation 2 while the
// graphics kernel is open; before that the option "geometry" ("WxH"), else 640 x 427.
void SAT_window_size(int *width, int *height);
