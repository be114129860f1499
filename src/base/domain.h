// Plot domain record: projection code, seven projection parameters, centre, grid spacing
// and grid size, ellipsoid flag. A plain value copied freely by every layer; its text
// syntax, regions and printing are in map/region.h.
#pragma once

#include <cstdint>

#include "base/missing.h"

struct DOMAIN {
    int32_t proj = MISSING;
    float param[7] = {MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    float clat = MISSING_F;
    float clon = MISSING_F;
    float dx = MISSING_F;
    float dy = MISSING_F;
    int32_t nx = MISSING;
    int32_t ny = MISSING;
    int32_t ellipsoid = 0;
};
