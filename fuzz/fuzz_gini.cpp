// Fuzz target of the GINI reader (satformats/gini.cpp) in both forms, its
// recognisers and the domain it makes: any input must be read or refused
// without touching memory outside the reader's buffers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/mess.h"
#include "fuzz_input.h"
#include "map/maptran.h"
#include "satformats/gini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        return true;
    }();
    (void)quiet;
    const std::span<const uint8_t> bytes(data, size);
    (void)SAT_gini_recognise(bytes);
    (void)SAT_giniz_recognise(bytes);
    FuzzInputFile file("fuzz_gini", data, size);
    if (!file.ok())
        return 0;
    for (bool compressed : {false, true}) {
        IMAGE image;
        if (SAT_read_gini(file.path(), &image, compressed) != 0)
            continue;
        const MapProjection m(image.domain);
        float x = 0, y = 0, lat = 0, lon = 0;
        m.grid_tran(&x, &y, 0, static_cast<float>(image.ny - 1));
        m.untran(&lat, &lon, x, y);
    }
    return 0;
}
