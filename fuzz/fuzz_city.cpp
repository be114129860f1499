// Fuzz target: city database files, loaded into the station table with every look-up
// form, and raw station files drawn with that table onto a metafile-less paper device.
// The first byte picks the table mode and the id type.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/mess.h"
#include "base/resrc.h"
#include "fuzz_input.h"
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "map/cty_tool.h"
#include "map/raw.h"

namespace {

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
    gopen_ws_device(std::make_unique<NullPaper>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    open_once();
    if (size < 1)
        return 0;
    FuzzInputFile input("fuzz_city", data + 1, size - 1);
    if (!input.ok())
        return 0;
    CTY_reset_state();
    RES_put("city_file", input.path());
    CTY_set_id_type(data[0] % 3);
    if (CTY_store(nullptr, 1 + data[0] / 3 % 3, nullptr, 9)) {
        const CTY_STATION *s = nullptr;
        for (const char *key : {"KDEN", "72469", "K2469", "b41001", "EN492", ""})
            CTY_search(key, &s);
        CTY_search_loc(&s, 39.9f, -104.7f);
        CTY_search_loc(&s, -0.04f, 179.96f);
    }
    RAW_plot_file(input.path(), 0);
    return 0;
}
