// Device table: one row per workstation type that can be opened. The X11 window and
// pixmap, PostScript and HP-GL devices add their rows here.
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "gks/gks_meta.h"

namespace {

constexpr GksDeviceEntry kDevices[] = {
    {GWS_META, gmeta_open_device},
};

} // namespace

std::span<const GksDeviceEntry> gks_device_table() {
    return kDevices;
}

GksDeviceFactory gks_find_device(int type) {
    for (const auto &e : gks_device_table())
        if (e.type == type)
            return e.open;
    return nullptr;
}
