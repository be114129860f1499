// Window dumps through the codecs. A grab is the drawing target at the window's size, at
// the workstation's own pixel storage; the codecs take every storage a grab can have.
#include "gks/gks_dump.h"

#include <cmath>

#include "base/mess.h"
#include "gks/gif.h"
#include "gks/gks_loop.h"
#include "gks/gks_x11.h"
#include "gks/png.h"
#include "gks/xdump.h"

namespace {

template <typename Write> int dump(const char *name, Write write) {
    IMAGE im;
    if (gget_image(&im) != 0)
        return 0;
    return write(name, &im) == 1 ? 1 : 0;
}

// Dwell in seconds as a GIF delay in hundredths, within the field's 16 bits.
int delay_of(float seconds) {
    if (!(seconds > 0))
        return 0;
    return int(std::lround(std::fmin(seconds * 100.0f, 65535.0f)));
}

} // namespace

int GIF_dump(const char *name) {
    return dump(name, [](const char *n, IMAGE *im) { return GIF_write(n, im); });
}

int PNG_dump(const char *name) {
    return dump(name, [](const char *n, IMAGE *im) { return PNG_write(n, im); });
}

int XWD_dump(const char *name) {
    return dump(name, [](const char *n, IMAGE *im) { return XWD_write(n, im); });
}

int GIF_dump_frames(const char *name) {
    GifWriter::Options opt;
    opt.loops = 0;
    opt.always_control = true;
    GifWriter w;
    const int n = gget_num_images();
    if (n <= 0) {
        IMAGE im;
        if (gget_image(&im) != 0 || !w.open(name, opt))
            return 0;
        const bool ok = w.add(im, delay_of(gget_loop_delay()));
        return w.finish() && ok ? 1 : 0;
    }
    const int drawing = gget_draw_frame();
    bool ok = w.open(name, opt);
    for (int i = 0; ok && i < n; ++i) {
        IMAGE im;
        gselect_frame(i);
        ok = gget_image(&im) == 0 && w.add(im, delay_of(gget_frame_delay(i)));
    }
    gselect_frame(drawing);
    if (!w.finish())
        ok = false;
    if (ok)
        MESS_print(0x10000000u, "GIF_dump_frames: %s: %d frames\n", name, w.frames());
    return ok ? 1 : 0;
}

int gwrite_image_file(const char *name, const IMAGE *image, int type) {
    if (!image)
        return 0;
    if (type == GDUMP_PNG)
        return PNG_write(name, image);
    if (type != GDUMP_GIF)
        return XWD_write(name, image);
    IMAGE copy;
    if (!IMG_copy(&copy, image)) {
        MESS_print(MESS_WARN, "gwrite_image_file: %s: no memory for the picture\n", name);
        return 0;
    }
    return GIF_write(name, &copy);
}
