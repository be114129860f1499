// Zoom by pixel replication, and resizing the own window.
//
// The zoomed view is computed from an unzoomed source: the frame shown, or for a single
// picture a copy of the backing picture taken at the first zoom (the backing picture itself
// then holds the zoomed view). The surfaces are the open workstation's (GFrameHost): X11
// pixmaps, or the memory workstation's pictures. Replication works on the image rows
// directly, one pass per row: a destination row repeats the previous one whenever both come
// from the same source row.
#include <algorithm>
#include <cstring>

#include "base/mess.h"
#include "gks/gks_state.h"
#include "gks/gks_x11_state.h"

using namespace gks::x11;

namespace {

constexpr int kMaxZoom = 1024;

struct ZoomRec {
    int zoom = 1;
    int zoom_x = 0, zoom_y = 0;
    unsigned long base_image = 0; // surface of the open workstation
};

ZoomRec &zst() {
    static ZoomRec s;
    return s;
}

uint32_t sub_byte_get(const uint8_t *row, int x, int bpp, bool lsb) {
    int per = 8 / bpp;
    int slot = x % per;
    int shift = lsb ? slot * bpp : 8 - bpp - slot * bpp;
    return (row[x / per] >> shift) & ((1u << bpp) - 1);
}

void sub_byte_put(uint8_t *row, int x, int bpp, bool lsb, uint32_t v) {
    int per = 8 / bpp;
    int slot = x % per;
    int shift = lsb ? slot * bpp : 8 - bpp - slot * bpp;
    uint8_t mask = uint8_t(((1u << bpp) - 1) << shift);
    row[x / per] = uint8_t((row[x / per] & ~mask) | ((v << shift) & mask));
}

// One destination row from one source row, for whole-byte pixels of B bytes.
template <int B>
void replicate_row(const uint8_t *src, int src_width, int x0, int zoom, uint8_t *dst,
                   int dst_width) {
    int i = 0;
    for (int sx = x0; i < dst_width; ++sx) {
        int n = std::min(zoom, dst_width - i);
        if (sx >= 0 && sx < src_width) {
            const uint8_t *p = src + size_t(sx) * B;
            for (int k = 0; k < n; ++k)
                std::memcpy(dst + size_t(i + k) * B, p, B);
        }
        i += n;
    }
}

} // namespace

void gzoom_replicate(const GPixelRows &src, int x0, int y0, int zoom, GPixelRows &dst) {
    if (zoom < 1 || src.bits_per_pixel != dst.bits_per_pixel)
        return;
    int bpp = src.bits_per_pixel;
    int prev_sy = -1;
    for (int j = 0; j < dst.height; ++j) {
        int sy = y0 + j / zoom;
        uint8_t *drow = dst.data.data() + size_t(j) * size_t(dst.bytes_per_line);
        if (sy < 0 || sy >= src.height) {
            prev_sy = -1;
            continue;
        }
        if (sy == prev_sy) {
            std::memcpy(drow, drow - dst.bytes_per_line, size_t(dst.bytes_per_line));
            continue;
        }
        prev_sy = sy;
        const uint8_t *srow = src.data.data() + size_t(sy) * size_t(src.bytes_per_line);
        switch (bpp) {
        case 8:
            replicate_row<1>(srow, src.width, x0, zoom, drow, dst.width);
            break;
        case 16:
            replicate_row<2>(srow, src.width, x0, zoom, drow, dst.width);
            break;
        case 24:
            replicate_row<3>(srow, src.width, x0, zoom, drow, dst.width);
            break;
        case 32:
            replicate_row<4>(srow, src.width, x0, zoom, drow, dst.width);
            break;
        case 1:
        case 4:
            for (int i = 0; i < dst.width; ++i) {
                int sx = x0 + i / zoom;
                if (sx >= 0 && sx < src.width)
                    sub_byte_put(drow, i, bpp, dst.lsb_first,
                                 sub_byte_get(srow, sx, bpp, src.lsb_first));
            }
            break;
        default:
            break;
        }
    }
}

namespace gks::x11 {

ServerImage::~ServerImage() {
    if (image)
        XDestroyImage(image);
}

ServerImage &ServerImage::operator=(ServerImage &&o) noexcept {
    std::swap(image, o.image);
    return *this;
}

ServerImage get_image(Drawable d, int x, int y, int width, int height) {
    Display *dpy = display();
    if (!dpy || !d || width < 1 || height < 1)
        return ServerImage{};
    ErrorTrap trap;
    XImage *im = XGetImage(dpy, d, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (trap.failed() && im) {
        XDestroyImage(im);
        im = nullptr;
    }
    return ServerImage(im);
}

GPixelRows rows_of(XImage *im) {
    GPixelRows r;
    r.data = std::span<uint8_t>(reinterpret_cast<uint8_t *>(im->data),
                                size_t(im->bytes_per_line) * size_t(im->height));
    r.width = im->width;
    r.height = im->height;
    r.bits_per_pixel = im->bits_per_pixel;
    r.bytes_per_line = im->bytes_per_line;
    r.lsb_first = (im->bits_per_pixel == 1 ? im->bitmap_bit_order : im->byte_order) == LSBFirst;
    return r;
}

} // namespace gks::x11

int gzoom(int frame, int x, int y, int factor, int flag) {
    auto &z = zst();
    GFrameHost &host = gframe_host();
    if (!host.zoomable())
        return 0;
    if (z.zoom == 1 && flag)
        return 0;
    long long wanted = factor == -1 ? z.zoom
                       : factor < 0 ? 1LL * z.zoom * -(long long)factor
                                    : factor;
    if (wanted > kMaxZoom) {
        MESS_print(MESS_WARN, "gzoom: Cannot zoom past 1024x\n");
        return 0;
    }
    int W = root_width(), H = root_height();
    unsigned long src = 0;
    if (gget_num_images() > 0)
        src = gget_frame_id(frame);
    if (!src) {
        if (!z.base_image) {
            z.base_image = host.create();
            if (!z.base_image)
                return 0;
            host.copy(host.base(), z.base_image, 0, 0, W, H);
        }
        src = z.base_image;
    }
    int cx = z.zoom_x, cy = z.zoom_y;
    if (x != -1) {
        cx = int(xZ_p(float(x)));
        cy = int(yZ_p(float(y)));
    }
    int zoom = std::max(1, int(wanted));
    int vw = W / zoom, vh = H / zoom;
    int left = std::max(0, cx - vw / 2), top = std::max(0, cy - vh / 2);
    if (left + vw > W)
        left = W - (W + 1) / zoom;
    if (top + vh > H)
        top = H - (H + 1) / zoom;
    left = std::max(0, left);
    top = std::max(0, top);
    if (!host.zoom_into_base(src, left, top, zoom))
        return 0;
    z.zoom = zoom;
    z.zoom_x = left + vw / 2;
    z.zoom_y = top + vh / 2;
    gupdate_window();
    return 0;
}

int gunzoom() {
    auto &z = zst();
    GFrameHost &host = gframe_host();
    if (!host.zoomable())
        return 0;
    z.zoom = 1;
    z.zoom_x = z.zoom_y = 0;
    if (z.base_image) {
        host.copy(z.base_image, host.base(), 0, 0, root_width(), root_height());
        host.release(z.base_image);
        z.base_image = 0;
        gupdate_window();
    } else if (gget_num_images() > 0) {
        gdisplay_frame(GFRAME_CURRENT);
    }
    return 0;
}

int greset_zoom() {
    auto &z = zst();
    if (z.zoom < 2 && !z.base_image)
        return 0;
    if (z.base_image)
        gframe_host().release(z.base_image);
    z = ZoomRec{};
    return 0;
}

int gget_zoom() {
    return zst().zoom;
}

float xZ_p(float p) {
    const auto &z = zst();
    if (z.zoom < 2)
        return p;
    return (p - float(root_width() / 2)) / float(z.zoom) + float(z.zoom_x);
}

float yZ_p(float p) {
    const auto &z = zst();
    if (z.zoom < 2)
        return p;
    return (p - float(root_height() / 2)) / float(z.zoom) + float(z.zoom_y);
}

int gresize_window(int width, int height) {
    auto &s = xs();
    if (!own_window())
        return 0;
    int old_w = root_width(), old_h = root_height();
    bool keep = width != 0;
    if (width < 1) {
        XWindowAttributes wa;
        if (!XGetWindowAttributes(s.dpy, s.root_window, &wa))
            return 0;
        width = wa.width;
        height = wa.height;
        if (width == old_w && height == old_h)
            return 0;
    } else {
        if (height < 1 || width > 16384 || height > 16384)
            return 0;
        XResizeWindow(s.dpy, s.root_window, unsigned(width), unsigned(height));
    }
    Pixmap fresh = new_pixmap(width, height);
    if (!fresh)
        return 0;
    XClearWindow(s.dpy, s.root_window);
    Pixmap old = s.base_window;
    gset_root_size(width, height);
    clear_drawable(fresh);
    if (keep)
        XCopyArea(s.dpy, old, fresh, s.root_gc, 0, 0, unsigned(std::min(old_w, width)),
                  unsigned(std::min(old_h, height)), 0, 0);
    if (s.draw_window == old)
        s.draw_window = fresh;
    s.base_window = fresh;
    free_pixmap(old);
    gset_win_size(width, height);
    greset_zoom();
    ginit_loop();
    return 1;
}

void gzoom_reset_state() {
    zst() = ZoomRec{};
}
