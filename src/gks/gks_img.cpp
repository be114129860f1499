// Images into the drawing target: placement is the device's (X11 pixels, PostScript
// image operators); a device without images says so once per workstation type.
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

int put_image(const char *function, const IMAGE *image, int transparent, int x, int y) {
    if (!require_open(function))
        return -1;
    if (!image)
        return -1;
    int rc = dev().image(*image, x, y, transparent);
    if (rc < 0) {
        int &reported_type = kernel().image_refused_type;
        if (reported_type != dev().ws_type()) {
            reported_type = dev().ws_type();
            gerr_printf(function, "images are not supported on workstation type %d\n",
                        reported_type);
        }
    }
    return rc;
}

} // namespace

int gload_image(const IMAGE *image, int x, int y) {
    return put_image("gload_image", image, -1, x, y);
}

int goverlay_image(const IMAGE *image, int transparent_index, int x, int y) {
    return put_image("goverlay_image", image, transparent_index, x, y);
}
