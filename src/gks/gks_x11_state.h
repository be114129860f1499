// State of the X11 workstation shared by its source files (gks_x11, gks_loop, gks_evnt,
// gks_zoom). The only header besides those files that includes Xlib; not for callers
// outside src/gks.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <string>
#include <vector>

#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_x11.h"

namespace gks::x11 {

enum GcIndex { GC_LINE = 0, GC_MARKER = 1, GC_FILL = 2, GC_TEXT = 3 };

struct X11State {
    // Set-up values, kept across opens.
    std::string geometry;
    int iconic = -1; // -1: not set by gset_iconic
    bool fixed_size = false;
    bool inverse = false;
    bool local_cmap = false;
    bool rw_colors = true;
    std::string background;
    bool background_given = false;
    std::array<unsigned char, 288> icon_bits{};
    int save_type = 56;
    GImageReader reader = nullptr;
    GImageWriter writer = nullptr;

    // The connection and the open workstation.
    Display *dpy = nullptr;
    int screen = 0;
    Visual *visual = nullptr;
    int visual_class = 0;
    int depth = 0;
    int map_entries = 0;
    Colormap def_cmap = 0;
    Colormap user_cmap = 0;
    bool own_cmap = false; // user_cmap was made here and is freed at close
    int type = 0;          // 1 window, 6 pixmap mode, 0 none
    Window root_window = 0;
    Pixmap base_window = 0;
    Drawable draw_window = 0;
    GC root_gc = nullptr;
    std::array<GC, 4> gcs{};
    std::array<Pixmap, 20> stipples{};
    unsigned long back_colr = 0, fore_colr = 1;
    unsigned long red_mask = 0, green_mask = 0, blue_mask = 0;
    XFontStruct *font = nullptr;
    std::array<Cursor, 9> cursors{};
    int cursor_type = 0;
    std::string background_arg; // the "background" resource handed to the open

    // X errors.
    bool xerror = false;
    bool xerror_print = true;
    int num_error = 0;
};

X11State &xs();

// Error reports off while a request is probed; failed() syncs and tells whether the server
// refused anything since the trap was set.
class ErrorTrap {
  public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;
    bool failed();

  private:
    bool old_;
};

// A workstation of type 1 or 6 is open on a display.
bool is_open();
// The own window (type 1) is open.
bool own_window();
Display *display();

// The window's size in pixels (the kernel's root size).
int root_width();
int root_height();

// The graphics contexts take the kernel's current colours.
void apply_colors();
// Fills a drawable's window-sized area with the background pixel.
void clear_drawable(Drawable d);
// Creates a pixmap of the window's size and depth; 0 when the server refuses.
Pixmap new_pixmap(int width, int height);
// Frees a pixmap with error reports off (it may already be gone).
void free_pixmap(Pixmap p);
// The visible window's name.
std::string window_name();
void set_window_name(const std::string &name);

// Frame pixmaps of the loop module without X calls (a lost connection).
void forget_frames();

// Processes one event of the own window; 1 when it came from the user (gks_evnt.cpp).
int gprocess_x11_event(XEvent &event);

// Server images in and out (gks_zoom.cpp): an image of a drawable's area, and the copy of
// an image into a drawable through the shared-memory extension when the server has it.
struct ServerImage {
    XImage *image = nullptr;
    ServerImage() = default;
    explicit ServerImage(XImage *im) : image(im) {}
    ~ServerImage();
    ServerImage(const ServerImage &) = delete;
    ServerImage &operator=(const ServerImage &) = delete;
    ServerImage(ServerImage &&o) noexcept : image(o.image) { o.image = nullptr; }
    ServerImage &operator=(ServerImage &&o) noexcept;
};
ServerImage get_image(Drawable d, int x, int y, int width, int height);
// A client-side image of the window's format whose pixel buffer this process owns.
struct ClientImage {
    XImage *image = nullptr;
    std::vector<char> buf;
    ClientImage() = default;
    ~ClientImage();
    ClientImage(const ClientImage &) = delete;
    ClientImage &operator=(const ClientImage &) = delete;
    ClientImage(ClientImage &&o) noexcept : image(o.image), buf(std::move(o.buf)) {
        o.image = nullptr;
    }
    ClientImage &operator=(ClientImage &&o) noexcept {
        std::swap(image, o.image);
        std::swap(buf, o.buf);
        return *this;
    }
};
ClientImage make_image(int width, int height);
// Writes one pixel in the image's format.
void store_pixel(XImage *image, int x, int y, unsigned long pixel);

// The pixel rows of an XImage, for gzoom_replicate.
GPixelRows rows_of(XImage *image);

} // namespace gks::x11

// The connection of the open X11 workstation, for code that speaks Xlib itself; null and 0
// while none is open.
Display *gget_display();
int gget_screen();
Visual *gget_visual();
Colormap gget_colormap(); // the private colormap when there is one, else the default
GC gget_root_gc();
