// Memory workstation (type 7): the pixel model of the X11 pixmap, 24-bit TrueColor pixels
// with y growing downwards, drawn in this process by the kernel itself. Pictures, frames,
// zoom and dumps work as on the X11 window, so products can be made where no X server runs.
// It is not interactive: no events, cursors or hold.
//
// The plot front end chooses it in a batch run that writes dumps when no display can be
// opened: instead of ending with status 4 it prints one info line saying so (for instance
// "No display: drawing in memory (640x512)" at the message level) and calls gopen_mem_ws
// with the size the window would have had (or 0, 0 for the kernel's window size), then
// sets up its plot and dumps as on the X11 window. GPH_begin(ws, "", GWS_MEM) and
// gopen_ws(ws, "", GWS_MEM) open it through the device table as well, the "geometry"
// resource giving its size there.
#pragma once

#include <memory>

#include "gks/gks_device.h"

struct IMAGE;

inline constexpr int GWS_MEM = 7;

// Opens workstation ws_id as a memory picture of width by height pixels (the kernel's
// window size when either is below 1, 640 by 512 when that is unset), after closing an open
// one; opens the kernel's error stream on standard error when none is open. 0, or -1 after
// a message.
int gopen_mem_ws(int ws_id, int width, int height);
// True while the open workstation is the memory one.
bool gtype_is_MEM();

// Device table row. The size comes from args.geometry ("WxH"; a position is ignored), else
// the kernel's window size, else 640 by 512. args.background names the background as on
// the X11 window: a colour-table name, or "none", "def", "over" for the default (black,
// white with "zorinverse" or gset_inverse).
std::unique_ptr<GksDevice> gmem_open_device(const GksOpenArgs &args);

// The X11 module's image calls on the memory workstation: gget_image (the drawing target,
// as a 32-bit TrueColor grab) and goverlay_image_color (the transparent colour as red,
// green, blue 0..1). -1 when the memory workstation is not open.
int gmem_get_image(IMAGE *image);
int gmem_overlay_image(const IMAGE *image, const float *rgb, int x, int y);
