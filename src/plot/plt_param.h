// Plot parameters: the words of the "plot_param" resource that switch display, output
// and labelling options of the other modules, the dump words of "out_file", and the
// viewport-size option.
#pragma once

#include <string>

#include "base/missing.h"

// What the plot parameters set for other modules: the latitude-longitude lines of the
// map overlay and the switches of the X11 window, the loop and the GIF writer (handed to
// them when the plot is opened), and the settings of the suite's gridded-data, contour
// and GRIB code, which this program carries but never runs. Fields not given stay
// missing.
struct PLT_PARAMS {
    // "lalo": line spacings, cross spacing and label repeat spacing (degrees).
    bool latlon = false;
    float lat_int = 0, lon_int = 0;
    int dot = 0, extra = 0;
    // X11 window and loop: "inv"/"pscolor", "lcmap"/"nolcmap", "rwclr"/"norwclr",
    // "nolooptitle".
    int inverse = 0;
    int local_colormap = MISSING;
    int rw_colors = MISSING;
    int loop_title = 1;
    // GIF writer: "gif_inter"/"gif_norm", "gif_trans"; "gif_anim": a loop's GIF dump is
    // one animated GIF written once the loop is made.
    int gif_interlace = MISSING;
    int gif_transparent = MISSING;
    bool gif_anim = false;
    // Gridded data, contours and GRIB.
    int grid_factor = MISSING;                  // "gridx"
    int skip_x = MISSING, skip_y = MISSING;     // "plt_skip"
    float off_x = MISSING_F, off_y = MISSING_F; // "plt_off"
    int cont_bar = 0;                           // "bar" 2, "nobar" -2
    float bar_low = MISSING_F, bar_high = MISSING_F;
    int use_hdr_file = 1; // "nohdr" 0
    int max_bad = MISSING;
    std::string grid_format; // "grdfmt"
};

// Applies the words of "plot_param", then the dump words of "out_file". Returns 0.
int PLT_param_decode();
const PLT_PARAMS &PLT_get_params();
// Viewport size "WxH+X+Y" (defaults 1, 1, 0, 0): W > 1 counts panels (W and H limited
// to 1..8; panel X of W across, Y of H from the top), else fractions of the window.
// Handed to the plotting layer only when all four numbers are given. Returns 0.
int PLT_panel_decode(const char *text);
// Back to the start-up state.
void PLT_reset_param_state();
