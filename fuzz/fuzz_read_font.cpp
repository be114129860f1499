// Fuzz target: stroke-font files, loaded and then drawn onto a metafile workstation.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "base/mess.h"
#include "fuzz_input.h"
#include "gks/gks.h"
#include "gks/gks_device.h"

namespace {

// A paper device that takes the kernel's stroke rendering and keeps nothing.
class NullPaper final : public GksDevice {
  public:
    int ws_type() const override { return GWS_PS; }
    int device_class() const override { return GCLASS_PS; }
};

void open_once() {
    static bool opened = false;
    if (opened)
        return;
    opened = true;
    MESS_set(0, 0); // quiet
    gopen_gks(nullptr);
    gset_win_size(757, 577);
    gopen_ws_device(std::make_unique<NullPaper>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    open_once();
    FuzzInputFile input("fuzz_read_font", data, size);
    if (!input.ok())
        return 0;
    if (read_font(input.path()) == 0) {
        std::string all;
        for (int c = 1; c < 256; ++c)
            all.push_back(static_cast<char>(c));
        float pos[2] = {0.5f, 0.5f};
        int align[2] = {2, 3};
        gset_text_align(align);
        gtext(pos, all.c_str());
    }
    return 0;
}
