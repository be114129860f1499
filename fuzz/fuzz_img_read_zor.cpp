// Fuzz target for the native image reader: the input becomes a file that IMG_read_zor reads
// without waiting for it to grow and with a smaller size cap, so runs stay fast.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "base/mess.h"
#include "fuzz_input.h"
#include "sat/img_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        IMG_READ_LIMITS lim;
        lim.waits = 0;
        lim.max_pixels = int64_t(1) << 22;
        IMG_set_read_limits(lim);
        MESS_set(0, 0); // silence
        return true;
    }();
    (void)ready;

    // The magic line's flags: a separate data file ('*') names any path or a command, and a
    // version-4 domain may name a region file or a command: keep those away from the host.
    const uint8_t *nl = static_cast<const uint8_t *>(std::memchr(data, '\n', size));
    size_t first = nl ? static_cast<size_t>(nl - data) : size;
    if (std::memchr(data, '*', first))
        return 0;
    if (std::memchr(data, '4', first) && std::memchr(data, '|', size))
        return 0;

    FuzzInputFile input("fuzz_img_read_zor", data, size);
    if (!input.ok())
        return 0;
    IMAGE image;
    IMG_read_zor(input.path(), &image, 0);
    return 0;
}
