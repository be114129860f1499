// Image geometry: fits a satellite image to the window. The user's plot domain is
// completed to one grid point per window pixel, the image is resampled onto it
// (remap) or enlarged and reduced (zoom), and the domain of the picture as
// displayed is derived for the map layers drawn over it. Remap and zoom work on
// 8-bit images and place the result at the window's upper-left corner.
#pragma once

#include <cstddef>

#include "base/image.h"
#include "map/region.h"
#include "sat/sat_tool.h"

struct AREA_NAVIGATION;
struct SAT_REMAP_CACHE;

// Error bound, in source pixels, to give the navigation grid: the largest distance
// between the position it interpolates for a pixel and the exact navigation of that
// pixel (1/8 pixel, a usual bound of resampling tools).
inline constexpr float SAT_REMAP_MAX_ERROR = 0.125f;

// What the geometry works with: the plot parameters, the window size in device units and
// the navigation of the image (a zoom moves its image-to-scan mapping); for the remap
// also the threads it may use, its error bound and the table kept between pictures.
// The functions without a context use the driver's (SAT_geom_context).
struct SAT_GEOM {
    const SAT_PARAMS *params = nullptr;
    int width = 0, height = 0;
    AREA_NAVIGATION *nav = nullptr;   // null: no satellite navigation
    int threads = 1;                  // 1: the calling thread alone
    float max_error = 0.0f;           // > 0: navigation grid with this bound
    SAT_REMAP_CACHE *cache = nullptr; // null: nothing kept between remaps
};
// The driver's plot parameters, SAT_window_size, the process-wide navigation, the
// "threads" resource (SAT_thread_count), the "remap_error" resource (SAT_remap_error)
// and the process-wide remap table.
SAT_GEOM SAT_geom_context();
// The "remap_error" resource: a number above 0 (at most 16) asks for the navigation
// grid with that bound; anything else gives 0, the row segments.
float SAT_remap_error();

// The remap table kept between the pictures of a loop: the positions in the source
// image of every output pixel, used again while the output domain, the navigation (or
// the image's own domain) and the plot parameters that place pixels (step, satellite
// transformation, longitude limits) stay those it was made for; anything else drops
// it. The table of row segments (the ends of every row's segments, from which the
// positions are made again as they were, and the pixels navigated on their own; every
// pixel's position with a step of 0) is kept from the second remap onto the same output
// on, the navigation grid's from the first. Tables above SAT_REMAP_CACHE_MAX bytes are
// not kept.
inline constexpr size_t SAT_REMAP_CACHE_MAX = size_t{64} << 20;
SAT_REMAP_CACHE *SAT_remap_cache();
struct SAT_REMAP_STATS {
    long made = 0, reused = 0; // tables kept and tables used again, since the reset
    long navigations = 0;      // points navigated for the last grid made
    size_t bytes = 0;          // size of the table kept (0: none)
};
SAT_REMAP_STATS SAT_remap_cache_stats(const SAT_REMAP_CACHE *cache);
// The widest vector code the remap's float sampler may use where the processor has it:
// 0 plain code, 1 AVX2, 2 AVX-512 (the default). All give the same pixels; for tests.
void SAT_remap_isa_limit(int level);
// Drops the process-wide table, stops the remap's worker threads and lets the sampler
// use the widest code again.
void SAT_geom_reset_state();

// Completes a domain with a map projection (codes 1-9) to the window size: the
// same plot area with nx x ny = the window's pixels. Other domains are left alone.
// Returns 0.
int SAT_domain_image(DOMAIN *domain);
int SAT_domain_image(const SAT_GEOM &geom, DOMAIN *domain);

// Resamples the image onto the domain (one output pixel per grid point). 1, or 0
// with the image unchanged when the domain has no map projection or the image or
// domain cannot be remapped (then with a message at level 192).
//
// With a step ("remap" plot parameter) N > 0 each output row is navigated at columns
// 0, N, 2N ... and its last column and interpolated linearly in between; with a
// context's error bound above 0 the positions come instead from a grid of cells of at
// most N pixels, interpolated within that bound (sat_navgrid.h). With 0 every pixel
// is navigated through the image's own domain.
// The output rows are shared among the context's threads; the result is the same for
// any number of them.
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
