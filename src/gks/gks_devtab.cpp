// Device table: one row per workstation type that can be opened, with the environment
// variables its caller consults for the output name and the geometry. The X11 window and
// pixmap, PostScript, metafile and HP-GL devices and the memory workstation each have a row.
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "gks/gks_hpgl.h"
#include "gks/gks_mem.h"
#include "gks/gks_meta.h"
#include "gks/gks_ps.h"
#include "gks/gks_x11.h"

namespace {

constexpr GksDeviceEntry kDevices[] = {
    {GWS_WIN, gx11_open_window, {}, {}},
    {GWS_META, gmeta_open_device, {"zormeta_out", nullptr}, {}},
    {GWS_PS, gps_open_device, {"zorps_print", "PSPRINT"}, {"zorps_geometry", "PSGEOMETRY"}},
    {GWS_HPGL, ghpgl_open_device, {"zorhp_out", nullptr}, {"zorhp_geometry", nullptr}},
    // Pixmap mode takes its window specification from the output variables.
    {GWS_PIX, gx11_open_pixmap, {"zorwindow", "WINDOW"}, {}},
    {GWS_MEM, gmem_open_device, {}, {}},
};

} // namespace

std::span<const GksDeviceEntry> gks_device_table() {
    return kDevices;
}

const GksDeviceEntry *gks_find_entry(int type) {
    for (const auto &e : gks_device_table())
        if (e.type == type)
            return &e;
    return nullptr;
}

GksDeviceFactory gks_find_device(int type) {
    const GksDeviceEntry *e = gks_find_entry(type);
    return e ? e->open : nullptr;
}
