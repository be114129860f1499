// Fuzz target of the LRIT reader (satformats/lrit.cpp) and its two JPEG
// decoders (lrit_jpeg.cpp, lrit_jpeg12.cpp): any file must be read or refused
// without touching memory outside the reader's buffers, and any JPEG stream
// decoded or refused by either library without ending the process.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/mess.h"
#include "fuzz_input.h"
#include "satformats/lrit.h"
#include "satformats/lrit_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        return true;
    }();
    (void)quiet;
    const std::span<const uint8_t> bytes(data, size);
    (void)SAT_lrit_recognise(bytes);
    if (size > 2 && data[0] == 0xFF && data[1] == 0xD8) {
        // A bare JPEG stream: straight to the decoder its precision picks.
        std::vector<uint8_t> pixels(size_t{96} * 96);
        LRIT_JPEG_TARGET t;
        t.pixels = pixels.data();
        t.nx = t.ny = 96;
        t.col_dir = size % 2 ? 1 : -1;
        t.line_dir = size % 3 ? 1 : -1;
        (void)(LRIT_jpeg_precision(bytes) > 8 ? LRIT_jpeg12_decode(bytes, t)
                                              : LRIT_jpeg8_decode(bytes, t));
        return 0;
    }
    FuzzInputFile file("fuzz_lrit", data, size);
    if (!file.ok())
        return 0;
    IMAGE image;
    (void)SAT_read_LRIT(file.path(), &image);
    return 0;
}
