// Fuzz target of the GeoTIFF reader (satformats/geotiff.cpp): any file must be
// read or refused without touching memory outside the reader's buffers; the
// domain made from any georeference must stay finite or missing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "base/mess.h"
#include "fuzz_input.h"
#include "satformats/geotiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        // The reader's "compress" line goes to the standard output.
        std::freopen("/dev/null", "w", stdout);
        return true;
    }();
    (void)quiet;
    (void)SAT_tiff_recognise(std::span<const uint8_t>(data, size));
    FuzzInputFile file("fuzz_geotiff", data, size);
    if (!file.ok())
        return 0;
    IMAGE image;
    (void)SAT_read_TIFF(file.path(), &image);
    return 0;
}
