// Fuzz target of the raster reader (satformats/raster.cpp), its recogniser and
// the scan mapping it installs: any input must be read or refused without
// touching memory outside the reader's buffers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/mess.h"
#include "fuzz_input.h"
#include "satformats/raster.h"
#include "satformats/sat_tran.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        return true;
    }();
    (void)quiet;
    (void)SAT_raster_recognise(std::span<const uint8_t>(data, size));
    FuzzInputFile file("fuzz_raster", data, size);
    if (!file.ok())
        return 0;
    IMAGE image;
    if (SAT_read_raster(file.path(), &image) == 0) {
        float line = 0, elem = 0, y = 1, x = 1;
        AREA_line_elem(1, &line, &elem, &y, &x);
    }
    AREA_set_res(1, 1, 1, 1);
    return 0;
}
