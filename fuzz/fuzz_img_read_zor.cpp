// Fuzz target for the native image reader: the input becomes a file that IMG_read_zor reads
// without waiting for it to grow and with a smaller size cap, so runs stay fast. Names in the
// header (the separate data file, "fi:" and "id:" domains) are read as the program reads
// them: they must never start a command (the tripwire) nor open a device.

#include <cstdint>
#include <cstdio>

#include "base/flag.h"
#include "base/mess.h"
#include "fuzz_input.h"
#include "fuzz_no_commands.h"
#include "sat/img_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        IMG_READ_LIMITS lim;
        lim.waits = 0;
        lim.max_pixels = int64_t(1) << 22;
        IMG_set_read_limits(lim);
        MESS_set(0, 0);          // silence
        FLAG_set(FLAG_BATCH, 1); // no prompts
        return true;
    }();
    (void)ready;

    FuzzInputFile input("fuzz_img_read_zor", data, size);
    if (!input.ok())
        return 0;
    IMAGE image;
    IMG_read_zor(input.path(), &image, 0);
    return 0;
}
