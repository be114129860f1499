// Kernel state shared by the kernel's source files (not for callers outside src/gks).
#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/files.h"
#include "gks/gks.h"
#include "gks/gks_device.h"

namespace gks::detail {

// Rectangle in the kernel's six-float form.
struct Rect6 {
    float xmin = 0, ymin = 0, xmax = 1, ymax = 1, dx = 1, dy = 1;
    void set(float x0, float x1, float y0, float y1) {
        xmin = x0;
        xmax = x1;
        ymin = y0;
        ymax = y1;
        dx = x1 - x0;
        dy = y1 - y0;
    }
};

// Plain values only, so that the whole state can be saved and restored around printing.
struct KernelState {
    int open_graphics = 0;
    int win_type = 0;
    int pix_mode = 0;
    int win_width = 640, win_height = 512, win_x = 0, win_y = 0;
    int root_width = 640, root_height = 512;

    int cur_trans = 0;
    std::array<Rect6, 6> win{}, vp{};
    Rect6 cur_win, cur_vp;
    float sx = 1, sy = 1; // viewport range / window range
    Rect6 ws_win, ws_vp;
    Rect6 dev;              // device rectangle x0, y0, x1, y1, width, height
    float dsx = 1, dsy = 1; // device size / workstation window size
    int clip_x = 0, clip_y = 0, clip_w = 0, clip_h = 0;

    int line_colr = 1, line_type = 1;
    float line_width = 1;
    int mark_colr = 1, mark_type = 1;
    float mark_width = 1, mark_size = 10;
    int fill_int = 1, fill_style = 1, fill_colr = 1;
    int line_print_bold = 1, fill_print_solid = 0;
    int line_gc_func = 3;        // X11 GXcopy
    int image_refused_type = -1; // workstation type already told images are unsupported
    int drop_shadow = 0;

    // Text attributes.
    int text_colr = 1;
    float text_width = 1, char_ht = 0.01f, expan = 1, space = 0.25f, char_space = 0;
    int align_h = 0, align_v = 0;
    float up_x = 0, up_y = 1;
    int font = 1, prec = 0;

    // Colours: per index 0..256 (256 = background, index -1) the pixel and intensities.
    std::array<int, 257> color_ind{};
    std::array<std::array<float, 3>, 257> rgb{};
    int max_color_ind = 0;

    std::string prog_name = "X11_Graph";
    std::string win_title = "X11_Graph";

    KernelState() { color_ind.fill(-1); }
};

// Resources of the kernel that cannot be copied.
struct KernelResources {
    FILE *err_file = nullptr;
    FilePtr err_owned;
    std::unique_ptr<GksDevice> device;
};

KernelState &kernel();
KernelResources &kres();
// The open device; never null (a do-nothing device while none is open).
GksDevice &dev();
// Its capabilities, and its interactive services (null when it has none).
inline const GksCaps &caps() {
    return dev().caps();
}
inline GksInteractive *window_services() {
    return dev().interactive();
}

// Slot of a colour index (-1 is slot 256); -1 when out of range.
int colr_slot(int index);
// Whole points of a primitive as GPoint (pts has 2n floats).
std::vector<GPoint> as_points(int n, const float *pts);
// Device units of a world point for the open device (pixels when it has them).
DPoint to_device(float x, float y);
// Recomputes the clip rectangle and tells the device.
void update_clip();
// Colour setter check shared by all primitives; maps print colours on devices that
// allocate colours. Returns the
// index to store, or -9999 after a refusal message under `function`.
int check_colr(const char *function, int index);
// Common start of a primitive or setter: false (after the message) when not open.
bool require_open(const char *function);
// Loads the font of the current font number when another one is loaded (gks_font.cpp).
void font_sync();
// Marks list entry n as the loaded font.
void font_loaded(int n);
void font_reset_state();
// Creation date of a paper or metafile header: the 24-character ctime form and a newline,
// in local time, or in UTC from SOURCE_DATE_EPOCH when that is set (reproducible output).
std::string creation_date();

} // namespace gks::detail
