// Fuzz target of the AREA reader (satformats/area.cpp), its recogniser, the
// navigation it installs (sat_tran.cpp, spinscan.cpp, gvar.cpp) and the domain
// made from it (area_domain.cpp): any input must be read or refused without
// touching memory outside the reader's buffers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "base/mess.h"
#include "satformats/area.h"
#include "satformats/area_domain.h"
#include "satformats/sat_tran.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        SAT_area_set_max_pixels(int64_t{1} << 22);
        return true;
    }();
    (void)quiet;
    if (size == 0)
        return 0;
    (void)SAT_area_recognise(std::span<const uint8_t>(data, size));
    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!f)
        return 0;
    AREA area;
    if (SAT_read_AREA(f, &area) == 0) {
        AREA_init(&area);
        float lat = 0, lon = 0, line = 0, elem = 0;
        AREA_tran(3, &lat, &lon, &line, &elem);
        for (int i = 0; i < 4; ++i) {
            // In double: the directory words may be anything up to INT_MAX.
            line = static_cast<float>(double(area.dir[AREA_W_LINE]) + i * 997);
            elem = static_cast<float>(double(area.dir[AREA_W_ELEM]) + i * 1511);
            AREA_tran(1, &lat, &lon, &line, &elem);
            lat = static_cast<float>(i * 20 - 30);
            lon = static_cast<float>(i * 40 - 100);
            AREA_tran(2, &lat, &lon, &line, &elem);
        }
        IMAGE image;
        SAT_fill_AREA_image(&image, &area);
        bool own_domain = false;
        AREA_calc_domain(&image, &area, &own_domain);
    }
    std::fclose(f);
    return 0;
}
