// Frame composition: the corridor every picture runs through, in a fixed order:
//   1 colour tables          2 remap onto a map domain    3 zoom window
//   4 extra zoom             5 native image output        6 displayed domain, pixel offset
//   7 colouring              8 map layers under the data  9 the image into the frame
//   10 colour bar            11 pixels released          12 map layers over the data
//   13 labels
// The native output (5) is the fitted image before colouring, with its domain. Steps 9
// and 10 need an open workstation. Both map steps (8, 12) make the displayed domain the
// map window first, so that the layers under the data fall on the same pixels as those
// over it.
#include "sat/sat_frame.h"

#include "base/file_io.h"
#include "base/file_name.h"
#include "base/flag.h"
#include "base/mess.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "map/map.h"
#include "plot/plt_labl.h"
#include "sat/img_tool.h"
#include "sat/sat_color.h"
#include "satformats/sat_tran.h"

namespace {

bool is_map_proj(int proj) {
    return proj >= 1 && proj <= 9;
}

constexpr int kZoomWindow = 50; // domain code of a zoom of the image itself

// Step 5: writes the fitted image as a native image file when "out_file" asks for one.
void native_output(const SAT_FRAME &f) {
    FILE_save_name_conv();
    const int kind = SAT_out_file();
    if (kind != 0 && f.filename) {
        FILE_set_date(&f.file_date, f.filename);
        if (FILE_overwrite(f.filename->c_str(), 1) == 1) {
            MESS_print(MESS_PRINT, "Writing image file: %s\n", f.filename->c_str());
            if (IMG_write(f.filename->c_str(), f.image, kind == 2 ? 1 : 0) != 1)
                MESS_print(MESS_WARN, "SAT_plot_frame: Unable to write image file: %s\n",
                           f.filename->c_str());
        }
    }
    FILE_restore_name_conv();
}

} // namespace

int SAT_compose_frame(const SAT_FRAME &f) {
    if (!f.image || !f.plot_domain || !f.geom.params)
        return 0;
    IMAGE *image = f.image;
    const SAT_PARAMS &p = *f.geom.params;

    SAT_color_setup(); // 1

    if (is_map_proj(f.user_domain.proj)) { // 2
        DOMAIN target = f.user_domain;
        SAT_domain_image(f.geom, &target);
        SAT_remap_image(f.geom, image, &target);
    }
    if (f.user_domain.proj == kZoomWindow) // 3
        SAT_zoom_image(f.geom, image, f.user_domain.clat, f.user_domain.clon, f.user_domain.dx);
    if (p.zoom != 1.0f) // 4
        SAT_zoom_image(f.geom, image, MISSING_F, MISSING_F, p.zoom);

    native_output(f);                              // 5
    SAT_image_setup(f.geom, image, f.plot_domain); // 6
    SAT_color_image(image);                        // 7
    MAP_setup(f.plot_domain);                      // 8
    MAP_draw(1);
    if (FLAG_getplot(7) && gchk_graphics()) { // 9
        gsel_norm_tran(2);
        if (p.over)
            goverlay_image(image, CLR_get_ind("black"), 0, 0);
        else
            gload_image(image, 0, 0);
    }
    if (p.bar && gchk_graphics()) // 10
        SAT_color_bar(p.bar == 2);
    IMG_free(image);          // 11
    MAP_setup(f.plot_domain); // 12
    MAP_draw(6);
    PLT_labels(); // 13
    return 0;
}

int SAT_plot_frame() {
    SAT_FRAME f;
    f.image = &SAT_image();
    f.user_domain = SAT_tmp_domain();
    f.plot_domain = &SAT_plot_domain();
    f.geom = SAT_geom_context();
    f.file_date = SAT_file_date();
    f.filename = &SAT_filename();
    return SAT_compose_frame(f);
}
