// Fuzz target for the GIF reader: the input becomes a file that GIF_read reads under a
// lowered size cap, so that runs stay fast.

#include <cstdint>

#include "base/mess.h"
#include "fuzz_input.h"
#include "gks/codec.h"
#include "gks/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        CODEC_set_max_pixels(int64_t(1) << 22);
        MESS_set(0, 0); // silence
        return true;
    }();
    (void)ready;
    FuzzInputFile input("fuzz_gif_read", data, size);
    if (!input.ok())
        return 0;
    IMAGE image;
    GIF_read(input.path(), &image, 0);
    return 0;
}
