// Plot domains of AREA images: the image's own map projection from a projection
// block ("PS", "MERC", "LAMB", "TANC", "RECT", "MOLL"), the fixed full-disc view
// ("MSAT"), or the satellite view (projection 9) of a "GOES" or "GVAR" image
// under the installed navigation. The "grid_domain" resource, when set, replaces
// any of them.
//
// Each computation also tells how the image must be placed on the plot: through
// its own domain (own_domain true: the satellite transformation is to be
// switched off) or as before (false). The caller applies it.
#pragma once

#include "base/image.h"
#include "satformats/area.h"

// Fills image->domain from the AREA record's navigation block and the
// installed navigation. 0.
int AREA_calc_domain(IMAGE *image, const AREA *area, bool *own_domain = nullptr);
// Satellite-view domain of an image under the installed GVAR navigation (also
// for raster images in satellite projection). 0, -1 without an image.
int GVAR_calc_domain(IMAGE *image, bool *own_domain = nullptr);
