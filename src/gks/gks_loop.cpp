// Frames and looping: the frame table, the selectors, creating, drawing into, showing,
// copying, swapping and deleting frames, and the stepping and dwell rules of the loop.
//
// A frame is a surface of the open workstation (gks_loop.h, GFrameHost): on the X11 window
// normally a server pixmap of the window's size, so showing it is one copy on the server;
// on the memory workstation a picture in this process. With the compact store a finished frame
// whose picture uses at most 256 pixel values is read back once and kept here as one byte per pixel
// plus a palette; showing it expands the bytes into a window-sized image that goes to the server
// through shared memory when the server offers the extension (a plain image request otherwise). Any
// call that needs the frame's pixmap (drawing into it, copying, clearing, its id) makes it a pixmap
// again first.
#include "gks/gks_loop.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "base/mess.h"
#include "base/system.h"
#include "gks/gks_device.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"
#include "gks/gks_x11_state.h"

using namespace gks::x11;

namespace {

constexpr uint32_t kDebug = 0x10000000u;
// Compact frames are read back in strips of 64 rows and shown in strips of 256 rows (one
// shared-memory segment of that size, refilled once the server has read it).
constexpr int kStripRows = 64;
constexpr int kShowRows = 256;
constexpr int kNativeOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

struct Frame {
    std::string text; // the record's text field; the kernel does not use it
    std::vector<unsigned char> data;
    Pixmap pixmap = 0; // the frame's surface (a server pixmap on the X11 window), 0 none
    float dwell = 0.5f;
    int flag = 1;
    // Compact picture: one byte per pixel and the pixel value of each byte.
    std::vector<uint8_t> indices;
    std::vector<unsigned long> palette;
    int width = 0, height = 0;
    bool compact() const { return !indices.empty(); }
    void drop_picture() {
        pixmap = 0;
        indices = {};
        palette = {};
    }
};

// A window-sized image in a shared-memory segment the server reads directly.
struct ShmImage {
    XImage *image = nullptr;
    XShmSegmentInfo info{};
    ClientImage plain; // without the extension
    int width = 0, height = 0;
};

struct LoopState {
    std::array<Frame, GLOOP_MAX_FRAMES> frames;
    int num_images = 0;
    int cur_image = -1;
    int looping = 0;
    float loop_delay = 0.5f;
    int loop_direct = 1;
    int loop_title = 1;
    int store = 0;
    int drawing = -1;      // frame that is the drawing target, -1 none
    bool in_frame = false; // the redraw store was switched off by a frame selection
    int saved_redraw = 1;  // and its flag before
    bool shm_checked = false, have_shm = false;
    ShmImage shm;
};

LoopState &lst() {
    static LoopState s;
    return s;
}

// Frames of the X11 workstations: server pixmaps.
class X11FrameHost final : public GFrameHost {
  public:
    bool open() const override { return is_open(); }
    bool ready() const override { return is_open() && xs().draw_window != 0; }
    bool zoomable() const override { return own_window(); }
    unsigned long base() const override { return xs().base_window; }
    void set_base(unsigned long id) override { xs().base_window = id; }
    unsigned long target() const override { return xs().draw_window; }
    void set_target(unsigned long id) override { xs().draw_window = id; }
    unsigned long create() override { return new_pixmap(root_width(), root_height()); }
    void release(unsigned long id) override { free_pixmap(id); }
    void clear(unsigned long id) override { clear_drawable(id); }
    void copy(unsigned long from, unsigned long to, int x, int y, int w, int h) override {
        XCopyArea(display(), from, to, xs().root_gc, x, y, unsigned(w), unsigned(h), x, y);
    }
    bool zoom_into_base(unsigned long from, int left, int top, int zoom) override;
    int pixel_bytes() const override { return xs().depth > 16 ? 4 : xs().depth > 8 ? 2 : 1; }
    bool on_server() const override { return true; }
};

bool X11FrameHost::zoom_into_base(unsigned long from, int left, int top, int zoom) {
    auto &s = xs();
    int W = root_width(), H = root_height();
    ServerImage got = get_image(from, 0, 0, W, H);
    ClientImage out = make_image(W, H);
    if (!got.image || !out.image)
        return false;
    GPixelRows dst = rows_of(out.image);
    gzoom_replicate(rows_of(got.image), left, top, zoom, dst);
    XPutImage(s.dpy, s.base_window, s.root_gc, out.image, 0, 0, 0, 0, unsigned(W), unsigned(H));
    // Blocks whose source lies past the picture's edge show the background.
    long long cw = 1LL * (W - left) * zoom, ch = 1LL * (H - top) * zoom;
    XSetForeground(s.dpy, s.root_gc, s.back_colr);
    if (cw < W)
        XFillRectangle(s.dpy, s.base_window, s.root_gc, int(cw), 0, unsigned(W - cw), unsigned(H));
    if (ch < H)
        XFillRectangle(s.dpy, s.base_window, s.root_gc, 0, int(ch), unsigned(W), unsigned(H - ch));
    XSetForeground(s.dpy, s.root_gc, s.fore_colr);
    return true;
}

bool ready() {
    return gframe_host().ready();
}

void release_shm(bool with_display) {
    auto &sh = lst().shm;
    if (sh.image) {
        if (with_display && xs().dpy)
            XShmDetach(xs().dpy, &sh.info);
        shmdt(sh.info.shmaddr);
        sh.image->data = nullptr;
        XDestroyImage(sh.image);
        sh.image = nullptr;
    }
    sh.plain = ClientImage{};
    sh.width = sh.height = 0;
}

// The image compact frames are expanded into, of the window's size.
XImage *display_image(int w, int h) {
    auto &s = lst();
    auto &sh = s.shm;
    if (sh.width == w && sh.height == h && (sh.image || sh.plain.image))
        return sh.image ? sh.image : sh.plain.image;
    release_shm(true);
    Display *d = display();
    if (!s.shm_checked) {
        s.shm_checked = true;
        s.have_shm = XShmQueryExtension(d);
    }
    if (s.have_shm) {
        XImage *im = XShmCreateImage(d, xs().visual, unsigned(xs().depth), ZPixmap, nullptr,
                                     &sh.info, unsigned(w), unsigned(h));
        int id =
            im ? shmget(IPC_PRIVATE, size_t(im->bytes_per_line) * size_t(h), IPC_CREAT | 0600) : -1;
        void *addr = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void *>(-1);
        bool ok = addr != reinterpret_cast<void *>(-1);
        if (ok) {
            sh.info.shmid = id;
            sh.info.shmaddr = im->data = static_cast<char *>(addr);
            sh.info.readOnly = False;
            ErrorTrap trap;
            XShmAttach(d, &sh.info);
            ok = !trap.failed();
        }
        if (id >= 0)
            shmctl(id, IPC_RMID, nullptr); // gone once both sides detach
        if (ok) {
            sh.image = im;
            sh.width = w;
            sh.height = h;
            return im;
        }
        if (addr != reinterpret_cast<void *>(-1))
            shmdt(addr);
        if (im) {
            im->data = nullptr;
            XDestroyImage(im);
        }
        s.have_shm = false; // a remote display: plain requests from now on
    }
    sh.plain = make_image(w, h);
    if (!sh.plain.image)
        return nullptr;
    sh.width = w;
    sh.height = h;
    return sh.plain.image;
}

// Expands a compact frame into a drawable, a strip of rows at a time.
bool put_compact(const Frame &f, Drawable to) {
    int strip = std::min(f.height, kShowRows);
    XImage *im = display_image(f.width, strip);
    if (!im)
        return false;
    std::array<unsigned long, 256> lut{};
    std::copy(f.palette.begin(), f.palette.end(), lut.begin());
    std::array<uint32_t, 256> px32;
    for (size_t i = 0; i < 256; ++i)
        px32[i] = static_cast<uint32_t>(lut[i]);
    bool native = im->byte_order == kNativeOrder;
    Display *d = display();
    bool shm = im == lst().shm.image;
    for (int y0 = 0; y0 < f.height; y0 += strip) {
        int rows = std::min(strip, f.height - y0);
        for (int j = 0; j < rows; ++j) {
            const uint8_t *src = f.indices.data() + size_t(y0 + j) * size_t(f.width);
            char *row = im->data + size_t(j) * size_t(im->bytes_per_line);
            if (im->bits_per_pixel == 32 && native) {
                auto *out = reinterpret_cast<uint32_t *>(row);
                for (int x = 0; x < f.width; ++x)
                    out[x] = px32[src[x]];
            } else if (im->bits_per_pixel == 8) {
                auto *out = reinterpret_cast<uint8_t *>(row);
                for (int x = 0; x < f.width; ++x)
                    out[x] = static_cast<uint8_t>(lut[src[x]]);
            } else {
                for (int x = 0; x < f.width; ++x)
                    store_pixel(im, x, j, lut[src[x]]);
            }
        }
        if (shm) {
            XShmPutImage(d, to, xs().root_gc, im, 0, 0, 0, y0, unsigned(f.width), unsigned(rows),
                         False);
            // The segment is refilled for the next strip: the server must have read it.
            XSync(d, False);
        } else {
            XPutImage(d, to, xs().root_gc, im, 0, 0, 0, y0, unsigned(f.width), unsigned(rows));
        }
    }
    return true;
}

// A compact frame becomes a pixmap again.
Pixmap materialize(int n) {
    Frame &f = lst().frames[size_t(n)];
    if (!f.compact())
        return f.pixmap;
    Pixmap p = new_pixmap(f.width, f.height);
    if (!p)
        return 0;
    if (!put_compact(f, p)) {
        free_pixmap(p);
        return 0;
    }
    f.indices = {};
    f.palette = {};
    f.pixmap = p;
    return p;
}

// Keeps a finished frame compact when the store asks for it and its picture allows it.
void compact(int n) {
    auto &s = lst();
    if (s.store != 1 || n < 0 || n >= GLOOP_MAX_FRAMES || !gframe_host().on_server())
        return;
    Frame &f = s.frames[size_t(n)];
    if (!f.pixmap)
        return;
    int w = root_width(), h = root_height();
    std::vector<uint8_t> indices(size_t(w) * size_t(h));
    std::vector<unsigned long> palette;
    std::unordered_map<unsigned long, uint8_t> seen;
    unsigned long last = 0;
    uint8_t last_index = 0;
    bool have_last = false;
    // A strip of rows at a time, so that no window-sized buffer is ever held here.
    for (int y0 = 0; y0 < h; y0 += kStripRows) {
        int rows = std::min(kStripRows, h - y0);
        ServerImage got = get_image(f.pixmap, 0, y0, w, rows);
        XImage *im = got.image;
        if (!im)
            return;
        bool native32 = im->bits_per_pixel == 32 && im->byte_order == kNativeOrder;
        for (int j = 0; j < rows; ++j) {
            const char *row = im->data + size_t(j) * size_t(im->bytes_per_line);
            uint8_t *out = indices.data() + size_t(y0 + j) * size_t(w);
            for (int x = 0; x < w; ++x) {
                unsigned long p;
                if (native32) {
                    uint32_t v;
                    std::memcpy(&v, row + 4 * x, 4);
                    p = v;
                } else if (im->bits_per_pixel == 8) {
                    p = static_cast<uint8_t>(row[x]);
                } else {
                    p = XGetPixel(im, x, j);
                }
                if (!have_last || p != last) {
                    auto it = seen.find(p);
                    if (it == seen.end()) {
                        if (palette.size() == 256)
                            return; // too many colours: stays a pixmap
                        it = seen.emplace(p, uint8_t(palette.size())).first;
                        palette.push_back(p);
                    }
                    last = p;
                    last_index = it->second;
                    have_last = true;
                }
                out[x] = last_index;
            }
        }
    }
    free_pixmap(f.pixmap);
    f.pixmap = 0;
    f.indices = std::move(indices);
    f.palette = std::move(palette);
    f.width = w;
    f.height = h;
}

// Frame number of a selector, GFRAME_BASE for the backing pixmap, -9 when there is none.
int frame_of(int sel) {
    const auto &s = lst();
    if (sel >= 0)
        return sel < GLOOP_MAX_FRAMES ? sel : -9;
    switch (sel) {
    case GFRAME_LAST:
        return s.num_images > 0 ? s.num_images - 1 : -9;
    case GFRAME_CURRENT:
        return s.cur_image >= 0 ? s.cur_image : -9;
    case GFRAME_BASE:
        return GFRAME_BASE;
    default:
        return -9;
    }
}

Drawable drawable_of(int n) {
    if (n == GFRAME_BASE)
        return gframe_host().base();
    if (n < 0)
        return 0;
    return materialize(n);
}

void free_frame(Frame &f) {
    if (f.pixmap) {
        GFrameHost &h = gframe_host();
        if (h.target() == f.pixmap)
            h.set_target(h.base());
        h.release(f.pixmap);
    }
    f.drop_picture();
}

void swap_pictures(Frame &a, Frame &b) {
    std::swap(a.pixmap, b.pixmap);
    std::swap(a.indices, b.indices);
    std::swap(a.palette, b.palette);
    std::swap(a.width, b.width);
    std::swap(a.height, b.height);
}

void show_into_base(int n) {
    Frame &f = lst().frames[size_t(n)];
    GFrameHost &h = gframe_host();
    if (f.compact())
        put_compact(f, h.base());
    else if (f.pixmap)
        h.copy(f.pixmap, h.base(), 0, 0, root_width(), root_height());
}

} // namespace

namespace gks::x11 {
void forget_frames() {
    for (auto &f : lst().frames)
        f.drop_picture();
    lst().shm.image = nullptr; // the segment goes with the process
}
} // namespace gks::x11

GFrameHost &gframe_host() {
    static X11FrameHost x11;
    if (auto *h = dynamic_cast<GFrameHost *>(gget_device()))
        return *h;
    return x11;
}

int ginit_loop() {
    auto &s = lst();
    if (ready())
        gdelete_all_frames();
    int store = s.store, direct = s.loop_direct, title = s.loop_title;
    float delay = s.loop_delay;
    bool checked = s.shm_checked, have = s.have_shm;
    release_shm(true);
    s.frames = {};
    s.num_images = 0;
    s.cur_image = -1;
    s.looping = 0;
    s.drawing = -1;
    s.in_frame = false;
    s.store = store;
    s.loop_direct = direct;
    s.loop_title = title;
    s.loop_delay = delay;
    s.shm_checked = checked;
    s.have_shm = have;
    return 0;
}

int gcreate_frame(int sel) {
    auto &s = lst();
    if (!ready())
        return 0;
    int n = sel >= 0 ? sel : s.num_images;
    if (n >= GLOOP_MAX_FRAMES)
        return -1;
    Frame &f = s.frames[size_t(n)];
    if (f.compact())
        f.drop_picture();
    GFrameHost &h = gframe_host();
    if (!f.pixmap) {
        f.pixmap = h.create();
        if (!f.pixmap) {
            MESS_print(MESS_WARN, "gcreate_frame: unable to create frame %d\n", n);
            return -1;
        }
    }
    h.clear(f.pixmap);
    if (n >= 1)
        s.frames[size_t(n - 1)].dwell = s.loop_delay;
    if (s.num_images < GLOOP_MAX_FRAMES)
        s.frames[size_t(s.num_images)].dwell = 1.0f;
    MESS_print(MESS_OUT4, "Created frame: %d-%ld\n", s.num_images, long(f.pixmap));
    if (n == s.num_images)
        ++s.num_images;
    return n;
}

int gselect_frame(int sel) {
    auto &s = lst();
    if (!ready())
        return 0;
    int n = frame_of(sel);
    if (n == -9)
        return 0;
    GFrameHost &h = gframe_host();
    if (s.drawing >= 0 && s.drawing != n) {
        int done = s.drawing;
        s.drawing = -1;
        h.set_target(h.base());
        compact(done);
    }
    Drawable d = drawable_of(n);
    if (!d)
        return 0;
    h.set_target(d);
    if (n == GFRAME_BASE) {
        s.drawing = -1;
        if (s.in_frame)
            gset_redraw(s.saved_redraw);
        s.in_frame = false;
    } else {
        s.drawing = n;
        if (!s.in_frame)
            s.saved_redraw = gset_redraw(0);
        s.in_frame = true;
    }
    MESS_print(kDebug, "Selected frame: %d\n", n);
    return 0;
}

int gget_draw_frame() {
    return lst().drawing >= 0 ? lst().drawing : GFRAME_BASE;
}

int gclear_frame(int sel) {
    if (!ready())
        return 0;
    GFrameHost &h = gframe_host();
    int n = frame_of(sel);
    if (n >= 0 && lst().frames[size_t(n)].compact()) {
        lst().frames[size_t(n)].drop_picture();
        lst().frames[size_t(n)].pixmap = h.create();
    }
    Drawable d = n == -9 ? 0 : drawable_of(n);
    if (d)
        h.clear(d);
    return 0;
}

int gcopy_frame(int to, int from) {
    if (!ready())
        return 0;
    int a = frame_of(to), b = frame_of(from);
    if (a == -9 || b == -9)
        return 0;
    Drawable src = drawable_of(b), dst = drawable_of(a);
    if (!src || !dst)
        return 0;
    int w, h, x, y;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    if (w > 0 && h > 0)
        gframe_host().copy(src, dst, x, y, w, h);
    MESS_print(kDebug, "Copy frame: %d->%d\n", b, a);
    return 0;
}

int gswitch_frame(int sel_a, int sel_b) {
    auto &s = lst();
    if (!ready())
        return 0;
    int a = frame_of(sel_a), b = frame_of(sel_b);
    if (a == -9 || b == -9 || a == b)
        return 0;
    auto swap_with_base = [&](int n) {
        Pixmap p = materialize(n);
        if (!p)
            return;
        s.frames[size_t(n)].pixmap = gframe_host().base();
        gframe_host().set_base(p);
    };
    if (a == GFRAME_BASE)
        swap_with_base(b);
    else if (b == GFRAME_BASE)
        swap_with_base(a);
    else
        swap_pictures(s.frames[size_t(a)], s.frames[size_t(b)]);
    // The drawing target stays on its drawable, which now sits at the other selector.
    if (s.drawing == a && a >= 0)
        s.drawing = b >= 0 ? b : -1;
    else if (s.drawing == b && b >= 0)
        s.drawing = a >= 0 ? a : -1;
    return 0;
}

int gdisplay_frame(int sel) {
    auto &s = lst();
    if (!ready())
        return 0;
    if (sel < 0) {
        if (s.cur_image == -1)
            s.cur_image = 0;
        sel = s.cur_image;
    }
    if (sel >= GLOOP_MAX_FRAMES)
        return 0;
    const Frame &f = s.frames[size_t(sel)];
    if (!f.pixmap && !f.compact())
        return 0;
    if (gget_zoom() < 2)
        show_into_base(sel);
    else
        gzoom(sel, -1, -1, -1, 0);
    gupdate_window();
    if (s.loop_title && s.num_images >= 1) {
        char extra[16];
        std::snprintf(extra, sizeof extra, "[%d]", sel);
        gset_win_title_extra(extra);
    }
    MESS_print(kDebug, "Display frame: %d\n", sel);
    s.cur_image = sel;
    return 0;
}

int gdelete_frame(int sel) {
    auto &s = lst();
    if (!ready())
        return 0;
    int n = sel == GFRAME_LAST ? s.num_images - 1 : sel == GFRAME_CURRENT ? s.cur_image : sel;
    if (n < 0 || n >= GLOOP_MAX_FRAMES)
        return 0;
    if (n >= s.num_images) {
        free_frame(s.frames[size_t(n)]);
        return 1;
    }
    if (s.drawing == n)
        s.drawing = -1;
    else if (s.drawing > n)
        --s.drawing;
    free_frame(s.frames[size_t(n)]);
    for (int i = n; i + 1 < s.num_images; ++i)
        s.frames[size_t(i)] = std::move(s.frames[size_t(i + 1)]);
    --s.num_images;
    s.frames[size_t(s.num_images)].drop_picture();
    if (n == s.num_images && s.num_images >= 1) {
        s.frames[size_t(s.num_images - 1)].dwell = 1.0f;
        s.frames[size_t(s.num_images)].dwell = s.loop_delay;
    }
    if (s.num_images == 0) {
        gframe_host().clear(gframe_host().base());
        gupdate_window();
        s.cur_image = -1;
        return 1;
    }
    bool was_current = s.cur_image == n;
    if (s.cur_image > s.num_images - 1)
        s.cur_image = s.num_images - 1;
    if (was_current)
        gdisplay_frame(s.cur_image);
    return 1;
}

int gdelete_all_frames() {
    auto &s = lst();
    if (!gframe_host().open())
        return 0;
    for (auto &f : s.frames)
        free_frame(f);
    s.drawing = -1;
    return 0;
}

int gset_looping(int flag) {
    auto &s = lst();
    s.looping = flag == 1 ? 1 : flag == 0 ? 0 : !s.looping;
    if (s.looping) {
        gset_cursor(3);
        MESS_print(MESS_OUT4, "Looping initiated\n");
    } else {
        gset_cursor(4);
        MESS_print(MESS_OUT4, "Looping stopped\n");
    }
    return 0;
}

int gget_looping() {
    return lst().looping;
}

int gtoggle_loop(int flag) {
    gset_looping(flag);
    gsync();
    return 0;
}

int gset_loop_delay(int sel, float seconds) {
    auto &s = lst();
    if (sel == GFRAME_ALL_BUT_LAST) {
        for (int i = 0; i + 1 < s.num_images; ++i)
            s.frames[size_t(i)].dwell = seconds;
        return 0;
    }
    int n = sel == GFRAME_LAST ? s.num_images - 1 : sel == GFRAME_CURRENT ? s.cur_image : sel;
    if (n >= 0 && n < GLOOP_MAX_FRAMES)
        s.frames[size_t(n)].dwell = seconds;
    return 0;
}

int ginc_loop_delay(float step) {
    auto &s = lst();
    s.loop_delay = std::max(0.0f, s.loop_delay + step);
    for (int i = 0; i + 1 < s.num_images; ++i)
        s.frames[size_t(i)].dwell = s.loop_delay;
    MESS_print(MESS_OUT4,
               step > 0 ? "Loop delay incremented to: %2.2f\n"
                        : "Loop delay decremented to: %2.2f\n",
               double(s.loop_delay));
    return 0;
}

float gget_loop_delay() {
    return lst().loop_delay;
}

float gget_frame_delay(int sel) {
    int n = frame_of(sel);
    return n >= 0 ? lst().frames[size_t(n)].dwell : 0.0f;
}

int gset_loop_direct(int mode) {
    lst().loop_direct = mode;
    return 0;
}
int gget_loop_direct() {
    return lst().loop_direct;
}

int ginc_frame(int step) {
    auto &s = lst();
    if (s.num_images < 1)
        return -1;
    if (s.cur_image < 0)
        return 0;
    int next = s.cur_image + step;
    if (step == 0)
        next = s.cur_image + (s.loop_direct % 2 ? 1 : -1);
    int last = s.num_images - 1;
    bool rocking = s.loop_direct >= 2;
    int result = next;
    if (next < 0) {
        if (rocking) {
            s.loop_direct = 3;
            result = std::min(1, last);
        } else {
            result = last;
        }
    } else if (next > last) {
        if (!rocking) {
            result = 0;
        } else if (s.num_images >= 2) {
            s.loop_direct = 2;
            result = last - 1;
        } else {
            s.loop_direct = 3;
            result = 0;
        }
    }
    MESS_print(kDebug, "INC: %d-%d %d-%d\n", step, s.loop_direct, s.cur_image, result);
    return result;
}

int gloop_sleep() {
    auto &s = lst();
    if (s.cur_image < 0 || s.cur_image >= s.num_images)
        return -1;
    while (true) {
        float left = s.frames[size_t(s.cur_image)].dwell - ZOR_elapse_time();
        if (left <= 0.0f || !s.looping || gget_input_mode() == 0)
            break;
        ZOR_sleep(std::min(left, 0.2f));
        gcheck_event();
        if (s.cur_image < 0 || s.cur_image >= s.num_images)
            return -1;
    }
    return 0;
}

int gget_num_images() {
    return lst().num_images;
}
int gget_cur_frame() {
    return lst().cur_image;
}

unsigned long gget_frame_id(int sel) {
    if (!ready())
        return 0;
    int n = frame_of(sel);
    return n == -9 ? 0 : drawable_of(n);
}

int gset_frame_id(int sel, unsigned long pixmap) {
    int n = frame_of(sel);
    if (n == GFRAME_BASE) {
        gframe_host().set_base(pixmap);
    } else if (n >= 0) {
        lst().frames[size_t(n)].drop_picture();
        lst().frames[size_t(n)].pixmap = pixmap;
    }
    return 0;
}

int gset_image_data(int n, const void *data, int length) {
    if (n < 0 || n >= GLOOP_MAX_FRAMES || length < 0)
        return -1;
    auto &d = lst().frames[size_t(n)].data;
    size_t len = std::min(size_t(length), GLOOP_DATA_MAX);
    const auto *p = static_cast<const unsigned char *>(data);
    d.assign(p, p + (data ? len : 0));
    return 0;
}

int gget_image_data(int n, void *out) {
    if (n < 0 || n >= GLOOP_MAX_FRAMES)
        return -1;
    const auto &d = lst().frames[size_t(n)].data;
    if (!d.empty())
        std::memcpy(out, d.data(), d.size());
    return int(d.size());
}

int gset_loop_title(int flag) {
    lst().loop_title = flag;
    return 0;
}

int gprint_frame_ids() {
    MESS_print(MESS_PRINT, "ROOT: %d\n", int(xs().root_window));
    MESS_print(MESS_PRINT, " WIN: %d\n", int(gframe_host().base()));
    for (int i = 0; i < lst().num_images; ++i)
        MESS_print(MESS_PRINT, "%4d: %d\n", i, int(lst().frames[size_t(i)].pixmap));
    return 0;
}

int gset_frame_store(int mode) {
    lst().store = mode == 1 ? 1 : 0;
    return 0;
}

int gget_frame_store() {
    return lst().store;
}

void gget_frame_bytes(long long *server, long long *client) {
    long long sv = 0, cl = 0;
    const GFrameHost &h = gframe_host();
    int bytes = h.pixel_bytes();
    for (const auto &f : lst().frames) {
        if (f.pixmap)
            (h.on_server() ? sv : cl) +=
                static_cast<long long>(root_width()) * root_height() * bytes;
        cl += static_cast<long long>(f.indices.size() + f.palette.size() * sizeof(unsigned long));
    }
    if (server)
        *server = sv;
    if (client)
        *client = cl;
}

void gloop_reset_state() {
    release_shm(is_open());
    lst() = LoopState{};
}
