// X11 workstations: type 1, our own top-level window with a backing pixmap, and type 6,
// pixmap mode, drawing into a drawable that the loop program owns.
//
// Everything is drawn into a drawing target (the backing pixmap or a frame pixmap, see
// gks_loop.cpp) and copied to the window on exposure and on update, so the window never
// needs redrawing from the kernel. Traps: X errors arrive asynchronously, long after the
// request that caused them, so probes (creating the window, checking a handed-over
// drawable) sync and look at a flag instead of the return value; Xlib's fatal I/O handler
// must never return; static visuals (TrueColor) refuse read-write colour cells with a
// protocol error, so they are not even asked for.
#include "gks/gks_x11.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <strings.h>
#include <unordered_map>

#include "base/file_io.h"
#include "base/image.h"
#include "base/mess.h"
#include "base/string.h"
#include "base/system.h"
#include "gks/colors.h"
#include "gks/gks_mem.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"
#include "gks/gks_x11_state.h"
#include "gks/gph.h"

using namespace gks::detail;

namespace gks::x11 {

namespace {

constexpr uint32_t kDebug = 0x40000000u;
constexpr int kMaxErrors = 25;
constexpr int kMaxSide = 16384; // largest window side a geometry may ask for
constexpr int kDefaultWidth = 640, kDefaultHeight = 512;
constexpr int kBorder = 5;
// Cursor font shapes of cursors 0..8.
constexpr std::array<unsigned, 9> kCursorShapes = {0, 68, 52, 50, 38, 86, 130, 152, 150};

// The built-in icon: a globe (circle, equator and meridian) on white.
std::array<unsigned char, 288> default_icon() {
    std::array<unsigned char, 288> bits{};
    auto set = [&](int x, int y) {
        if (x >= 0 && x < 48 && y >= 0 && y < 48)
            bits[static_cast<size_t>(y * 6 + x / 8)] |= static_cast<unsigned char>(1 << (x % 8));
    };
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            double r = std::hypot(x - 23.5, y - 23.5);
            if ((r > 19 && r < 21.5) || (r < 20 && (y == 23 || y == 24 || x == 23 || x == 24)))
                set(x, y);
        }
    return bits;
}

X11State fresh_state() {
    X11State s;
    s.icon_bits = default_icon();
    return s;
}

int error_handler(Display *d, XErrorEvent *e) {
    auto &s = xs();
    s.xerror = true;
    if (!s.xerror_print)
        return 0;
    char text[81] = "";
    XGetErrorText(d, e->error_code, text, sizeof text);
    char code[16];
    std::snprintf(code, sizeof code, "%d", e->request_code);
    char request[61] = "";
    XGetErrorDatabaseText(d, "XRequest", code, "", request, sizeof request);
    MESS_print(MESS_WARN, "X11 error: %s in %s\n", text, request);
    if (++s.num_error >= kMaxErrors) {
        MESS_print(MESS_ERROR, "X11 error: too many errors\n");
        // No requests from inside the handler: the server frees the frame pixmaps with
        // the connection.
        forget_frames();
        ZOR_exit(4);
    }
    return 0;
}

[[noreturn]] int io_error_handler(Display *) {
    forget_frames();
    MESS_print(MESS_ERROR, "Fatal X11 Error\n");
    ZOR_exit(4);
}

std::vector<std::string> fields_of(const std::string &connection) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t comma = connection.find(',', start);
        out.push_back(connection.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

// Unsigned number in base 10 or 16 at p, at most max; advances p. False without digits.
bool parse_number(const char *&p, int base, unsigned long max, unsigned long *out) {
    unsigned long v = 0;
    const char *q = p;
    while (true) {
        int d;
        if (*q >= '0' && *q <= '9')
            d = *q - '0';
        else if (base == 16 && *q >= 'a' && *q <= 'f')
            d = *q - 'a' + 10;
        else if (base == 16 && *q >= 'A' && *q <= 'F')
            d = *q - 'A' + 10;
        else
            break;
        v = v * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
        if (v > max)
            return false;
        ++q;
    }
    if (q == p)
        return false;
    p = q;
    *out = v;
    return true;
}

bool expect(const char *&p, char c) {
    if (*p != c)
        return false;
    ++p;
    return true;
}

} // namespace

// Window specification of pixmap mode: "+win:draw:WxH:cmap", "0xdraw:WxH:cmap" (hex
// drawable) or "draw:WxH:cmap"; trailing fields may be missing. The colormap counts
// only in the five-field form.
struct WindowSpec {
    unsigned long visible = 0, drawable = 0, cmap = 0;
    int width = 0, height = 0;
};

std::optional<WindowSpec> parse_window_spec(const std::string &text) {
    constexpr unsigned long kMaxId = 0x1fffffffUL; // X IDs are 29 bits
    WindowSpec w;
    const char *p = text.c_str();
    bool five = false;
    unsigned long v = 0;
    if (*p == '+') {
        ++p;
        five = true;
        if (!parse_number(p, 10, kMaxId, &w.visible) || !expect(p, ':'))
            return std::nullopt;
    }
    int base = 10;
    if (!five && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
        base = 16;
    }
    if (!parse_number(p, base, kMaxId, &w.drawable) || w.drawable == 0)
        return std::nullopt;
    if (expect(p, ':') && parse_number(p, 10, kMaxSide, &v)) {
        w.width = static_cast<int>(v);
        if (expect(p, 'x') && parse_number(p, 10, kMaxSide, &v)) {
            w.height = static_cast<int>(v);
            if (expect(p, ':') && parse_number(p, 10, kMaxId, &v) && five)
                w.cmap = v;
        }
    }
    if (w.visible == 0)
        w.visible = w.drawable;
    return w;
}

X11State &xs() {
    static X11State s = fresh_state();
    return s;
}

ErrorTrap::ErrorTrap() : old_(xs().xerror_print) {
    if (xs().dpy)
        XSync(xs().dpy, False);
    xs().xerror_print = false;
    xs().xerror = false;
}

ErrorTrap::~ErrorTrap() {
    xs().xerror_print = old_;
}

bool ErrorTrap::failed() {
    if (xs().dpy)
        XSync(xs().dpy, False);
    return xs().xerror;
}

bool is_open() {
    return xs().dpy && xs().type != 0;
}
bool own_window() {
    return is_open() && xs().type == GWS_WIN;
}
Display *display() {
    return xs().dpy;
}
int root_width() {
    int w = 0;
    gget_root_size(&w, nullptr);
    return w;
}
int root_height() {
    int h = 0;
    gget_root_size(nullptr, &h);
    return h;
}

namespace {

unsigned long pixel_of(int index) {
    int p = gget_color_ind(index);
    return p < 0 ? xs().fore_colr : static_cast<unsigned long>(p);
}

Colormap colormap() {
    return xs().user_cmap ? xs().user_cmap : xs().def_cmap;
}

void set_line_style(GC gc, int width, int style) {
    XGCValues v;
    v.line_width = width;
    v.line_style = style;
    XChangeGC(xs().dpy, gc, GCLineWidth | GCLineStyle, &v);
}

void apply_line_type() {
    auto &s = xs();
    int type = gget_linetype();
    int width = static_cast<int>(gget_linewidth());
    if (type == 1) {
        set_line_style(s.gcs[GC_LINE], width, LineSolid);
        return;
    }
    static const char d2[] = {6, 6}, d3[] = {3, 6}, d4[] = {6, 6, 3, 6}, d5[] = {2, 2};
    const char *dash = nullptr;
    int n = 0;
    switch (type) {
    case 2:
        dash = d2, n = 2;
        break;
    case 3:
        dash = d3, n = 2;
        break;
    case 4:
        dash = d4, n = 4;
        break;
    case 5:
        dash = d5, n = 2;
        break;
    default: // other types keep the last dash list
        break;
    }
    if (dash)
        XSetDashes(s.dpy, s.gcs[GC_LINE], 0, dash, n);
    set_line_style(s.gcs[GC_LINE], width, LineOnOffDash);
}

void apply_fill_style() {
    auto &s = xs();
    GC gc = s.gcs[GC_FILL];
    int style = gget_fill_style_ind();
    if (gget_fill_int_style() == 2 && style >= 0 && style < 20 && s.stipples[style]) {
        XSetStipple(s.dpy, gc, s.stipples[static_cast<size_t>(style)]);
        XSetFillStyle(s.dpy, gc, FillStippled);
    } else {
        XSetFillStyle(s.dpy, gc, FillSolid);
    }
}

void apply(GAttr a) {
    auto &s = xs();
    if (!s.dpy || !s.gcs[0])
        return;
    switch (a) {
    case GAttr::LineColr:
        XSetForeground(s.dpy, s.gcs[GC_LINE], pixel_of(gget_line_colr()));
        break;
    case GAttr::LineWidth:
    case GAttr::LineType:
        apply_line_type();
        break;
    case GAttr::LineGcFunc:
        XSetFunction(s.dpy, s.gcs[GC_LINE], gget_line_gc_func());
        break;
    case GAttr::MarkColr:
        XSetForeground(s.dpy, s.gcs[GC_MARKER], pixel_of(gget_marker_colr()));
        break;
    case GAttr::MarkWidth:
        set_line_style(s.gcs[GC_MARKER], static_cast<int>(gget_marker_width()), LineSolid);
        break;
    case GAttr::FillColr:
        XSetForeground(s.dpy, s.gcs[GC_FILL], pixel_of(gget_fill_colr()));
        break;
    case GAttr::FillInt:
    case GAttr::FillStyle:
        apply_fill_style();
        break;
    case GAttr::TextColr:
        XSetForeground(s.dpy, s.gcs[GC_TEXT], pixel_of(gget_text_colr()));
        break;
    case GAttr::TextWidth:
        set_line_style(s.gcs[GC_TEXT], static_cast<int>(gget_text_width()), LineSolid);
        break;
    default:
        break;
    }
}

void set_clip(int x, int y, int w, int h) {
    auto &s = xs();
    if (!s.gcs[0])
        return;
    XRectangle r{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(w),
                 static_cast<unsigned short>(h)};
    for (GC gc : s.gcs)
        XSetClipRectangles(s.dpy, gc, 0, 0, &r, 1, Unsorted);
}

void make_gcs() {
    auto &s = xs();
    if (s.gcs[0])
        return;
    for (auto &gc : s.gcs) {
        XGCValues v;
        v.foreground = s.fore_colr;
        v.background = s.back_colr;
        v.join_style = JoinBevel;
        gc = XCreateGC(s.dpy, s.root_window, GCForeground | GCBackground | GCJoinStyle, &v);
    }
    XSetLineAttributes(s.dpy, s.gcs[GC_TEXT], 1, LineSolid, CapProjecting, JoinBevel);
    for (size_t i = 0; i < s.stipples.size(); ++i)
        s.stipples[i] = XCreateBitmapFromData(
            s.dpy, s.root_window, reinterpret_cast<const char *>(gget_fill_pattern(int(i))), 8, 8);
}

void free_gcs() {
    auto &s = xs();
    for (auto &gc : s.gcs)
        if (gc) {
            XFreeGC(s.dpy, gc);
            gc = nullptr;
        }
    for (auto &p : s.stipples)
        if (p) {
            XFreePixmap(s.dpy, p);
            p = 0;
        }
}

std::string title_shown() {
    std::string t = gget_win_title();
    std::replace(t.begin(), t.end(), '_', ' ');
    return t;
}

// Geometry of the own window: position, size and the hints that say who chose them.
struct WindowGeometry {
    int x = 100, y = 100;
    unsigned width = kDefaultWidth, height = kDefaultHeight;
    long flags = PPosition | PSize;
};

WindowGeometry window_geometry(const std::string &text, int screen_w, int screen_h,
                               const char *reporter) {
    WindowGeometry g;
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    if (w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide) {
        g.width = static_cast<unsigned>(w);
        g.height = static_cast<unsigned>(h);
    }
    if (text.empty())
        return g;
    int x = 0, y = 0;
    unsigned gw = 0, gh = 0;
    int m = XParseGeometry(text.c_str(), &x, &y, &gw, &gh);
    if ((m & (WidthValue | HeightValue)) && ((m & WidthValue && (gw < 1 || gw > kMaxSide)) ||
                                             (m & HeightValue && (gh < 1 || gh > kMaxSide)))) {
        gerr_printf(reporter, "geometry out of range: %s\n", text.c_str());
        m &= ~(WidthValue | HeightValue);
    }
    if (m & WidthValue)
        g.width = gw;
    if (m & HeightValue)
        g.height = gh;
    if (m & (WidthValue | HeightValue))
        g.flags = (g.flags & ~PSize) | USSize;
    if (m & (XValue | YValue)) {
        if (m & XValue)
            g.x = m & XNegative ? x - static_cast<int>(g.width) + screen_w : x;
        if (m & YValue)
            g.y = m & YNegative ? y - static_cast<int>(g.height) + screen_h : y;
        g.x = std::clamp(g.x, -32767, 32767);
        g.y = std::clamp(g.y, -32767, 32767);
        g.flags = (g.flags & ~PPosition) | USPosition;
    }
    return g;
}

void close_display() {
    auto &s = xs();
    if (s.font) {
        XFreeFont(s.dpy, s.font);
        s.font = nullptr;
    }
    if (s.dpy)
        XCloseDisplay(s.dpy);
    s.dpy = nullptr;
    s.type = 0;
    s.root_window = s.base_window = 0;
    s.draw_window = 0;
    s.root_gc = nullptr;
    s.gcs.fill(nullptr);
    s.stipples.fill(0);
    s.cursors.fill(0);
    s.user_cmap = 0;
    s.own_cmap = false;
    s.num_error = 0;
}

bool open_display(const std::string &name, const char *reporter) {
    auto &s = xs();
    if (is_open())
        gclose_ws(1);
    if (s.dpy)
        close_display();
    XSetErrorHandler(error_handler);
    XSetIOErrorHandler(io_error_handler);
    s.dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!s.dpy) {
        gerr_printf(reporter, "unable to connect to display\n");
        return false;
    }
    s.screen = DefaultScreen(s.dpy);
    s.visual = DefaultVisual(s.dpy, s.screen);
    s.depth = DefaultDepth(s.dpy, s.screen);
    s.def_cmap = DefaultColormap(s.dpy, s.screen);
    XVisualInfo tmpl;
    tmpl.visualid = XVisualIDFromVisual(s.visual);
    int n = 0;
    if (XVisualInfo *vi = XGetVisualInfo(s.dpy, VisualIDMask, &tmpl, &n)) {
        s.visual_class = vi->c_class;
        s.map_entries = vi->colormap_size;
        s.red_mask = vi->red_mask;
        s.green_mask = vi->green_mask;
        s.blue_mask = vi->blue_mask;
        XFree(vi);
    }
    s.num_error = 0;
    s.xerror = false;
    s.xerror_print = true;
    return true;
}

bool dynamic_visual() {
    int c = xs().visual_class;
    return c == PseudoColor || c == GrayScale || c == DirectColor;
}

void set_colors_from_inverse() {
    auto &s = xs();
    unsigned long black = BlackPixel(s.dpy, s.screen), white = WhitePixel(s.dpy, s.screen);
    s.back_colr = s.inverse ? white : black;
    s.fore_colr = s.inverse ? black : white;
}

void make_cursors() {
    auto &s = xs();
    for (size_t i = 0; i < s.cursors.size(); ++i)
        s.cursors[i] = XCreateFontCursor(s.dpy, kCursorShapes[i]);
}

// Waits (at most a few seconds: a window manager may keep an iconic window unmapped) for
// the window's first exposure or structure event, and leaves it queued.
void wait_for_map() {
    auto &s = xs();
    for (int i = 0; i < 250; ++i) {
        XEvent ev;
        if (XCheckWindowEvent(s.dpy, s.root_window, ExposureMask | StructureNotifyMask, &ev)) {
            XPutBackEvent(s.dpy, &ev);
            return;
        }
        ZOR_sleep(0.02f);
    }
}

// The device: a thin adapter from the kernel's interface onto the module state.
class X11Device final : public GksDevice, public GksInteractive {
  public:
    explicit X11Device(int type, GSurface surface) : type_(type) {
        caps_.pixels = caps_.allocated_colors = caps_.server_fonts = caps_.shadows = true;
        caps_.keeps_store = caps_.clears_window = type == GWS_WIN;
        surface_ = surface;
    }
    int ws_type() const override { return type_; }
    int device_class() const override { return GCLASS_X11; }
    GksInteractive *interactive() override { return this; }
    int depth() const override { return xs().depth; }

    void after_open() override {
        ginit_background();
        if (gget_pix_mode() == 1)
            clear_drawable(xs().base_window);
        gsync();
        gcheck_event();
        gset_cursor(8);
    }

    void init_plot(int cls) override {
        auto &s = xs();
        if (!s.dpy)
            return;
        if (cls == GCLASS_X11) {
            make_gcs();
            s.xerror_print = true;
            if (type_ == GWS_PIX)
                s.rw_colors = false;
            ginit_loop();
        }
        if (cls != GCLASS_X11 && cls != GCLASS_X11_RESIZED)
            return;
        int x, y, w, h;
        gget_clip(&x, &y, &w, &h);
        set_clip(x, y, w, h);
        ginit_event(cls == GCLASS_X11 ? 0 : -1);
        for (GC gc : s.gcs) {
            XSetLineAttributes(s.dpy, gc, 0, LineSolid,
                               gc == s.gcs[GC_TEXT] ? CapProjecting : CapButt, JoinBevel);
            XSetFunction(s.dpy, gc, GXcopy);
        }
        XSetFillStyle(s.dpy, s.gcs[GC_FILL], FillSolid);
        apply_colors();
    }

    int close() override;

    void clear() override {
        auto &s = xs();
        clear_drawable(s.base_window);
    }

    void attribute(GAttr a) override { apply(a); }

    int alloc_color(int index, const float *rgb) override;

    void clip(const GClip &c) override { set_clip(c.x, c.y, c.width, c.height); }

    int polyline(std::span<const GPoint> pts) override {
        auto xp = to_pixels(pts);
        XDrawLines(xs().dpy, xs().draw_window, xs().gcs[GC_LINE], xp.data(), int(xp.size()),
                   CoordModeOrigin);
        return 0;
    }

    int fill_area(std::span<const GPoint> pts) override {
        auto xp = to_pixels(pts);
        auto &s = xs();
        XFillPolygon(s.dpy, s.draw_window, s.gcs[GC_FILL], xp.data(), int(xp.size()), Complex,
                     CoordModeOrigin);
        xp.push_back(xp.front());
        XDrawLines(s.dpy, s.draw_window, s.gcs[GC_FILL], xp.data(), int(xp.size()),
                   CoordModeOrigin);
        return 0;
    }

    void marker_stroke(std::span<const DPoint> pts) override {
        auto &s = xs();
        std::vector<XPoint> xp(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            xp[i] = {round_px(pts[i].x), round_px(pts[i].y)};
        if (xp.size() == 1)
            XDrawPoint(s.dpy, s.draw_window, s.gcs[GC_MARKER], xp[0].x, xp[0].y);
        else
            XDrawLines(s.dpy, s.draw_window, s.gcs[GC_MARKER], xp.data(), int(xp.size()),
                       CoordModeOrigin);
    }

    void text_polyline(std::span<const GPoint> pts) override {
        auto xp = to_pixels(pts);
        XDrawLines(xs().dpy, xs().draw_window, xs().gcs[GC_TEXT], xp.data(), int(xp.size()),
                   CoordModeOrigin);
    }

    void shadow(bool on) override {
        auto &s = xs();
        unsigned long black = BlackPixel(s.dpy, s.screen);
        XSetForeground(s.dpy, s.gcs[GC_MARKER], on ? black : pixel_of(gget_marker_colr()));
        XSetForeground(s.dpy, s.gcs[GC_TEXT], on ? black : pixel_of(gget_text_colr()));
    }

    int clear_region(const float *r) override {
        auto &s = xs();
        int x0 = round_px(xW_p(r[0])), x1 = round_px(xW_p(r[1]));
        int y0 = round_px(yW_p(r[3])), y1 = round_px(yW_p(r[2]));
        XSetForeground(s.dpy, s.root_gc, s.back_colr);
        XFillRectangle(s.dpy, s.draw_window, s.root_gc, std::min(x0, x1), std::min(y0, y1),
                       static_cast<unsigned>(std::abs(x1 - x0) + 1),
                       static_cast<unsigned>(std::abs(y1 - y0) + 1));
        XSetForeground(s.dpy, s.root_gc, s.fore_colr);
        return 0;
    }

    int image(const IMAGE &im, int x, int y, int transparent) override;

    bool load_server_font(const std::string &name) override {
        auto &s = xs();
        XFontStruct *f = XLoadQueryFont(s.dpy, name.c_str());
        if (!f)
            return false;
        if (s.font)
            XFreeFont(s.dpy, s.font);
        s.font = f;
        XSetFont(s.dpy, s.gcs[GC_TEXT], f->fid);
        return true;
    }

    int server_text(GPoint pos, const std::string &str) override;

    // Interactive services.
    void poll_events() override { gcheck_event(); }
    int set_cursor(int n) override { return gset_cursor(n); }
    void bell(int volume) override { gbell(volume); }
    std::string x_resource(const std::string &name) override {
        const char *v = XGetDefault(xs().dpy, gget_prog_name(), name.c_str());
        return v ? v : "";
    }
    void resize_to_window() override { gresize_window(0, 0); }
    void title_changed() override { set_window_name(title_shown()); }

  private:
    static short round_px(float v) { return static_cast<short>(static_cast<int>(v + 0.5f)); }
    static std::vector<XPoint> to_pixels(std::span<const GPoint> pts) {
        std::vector<XPoint> xp(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            xp[i] = {round_px(xW_p(pts[i].x)), round_px(yW_p(pts[i].y))};
        return xp;
    }
    int type_;
};

int X11Device::close() {
    auto &s = xs();
    if (!s.dpy)
        return -1;
    if (type_ == GWS_WIN) {
        gdelete_all_frames();
        greset_zoom();
        XUnmapWindow(s.dpy, s.root_window);
        XDestroyWindow(s.dpy, s.root_window);
        if (s.base_window)
            XFreePixmap(s.dpy, s.base_window);
    } else if (gget_pix_mode() == 9) {
        XClientMessageEvent ev{};
        ev.type = ClientMessage;
        ev.window = s.root_window;
        ev.message_type = XA_NOTICE;
        ev.format = 8;
        ev.data.b[0] = 9;
        XSendEvent(s.dpy, s.root_window, False, NoEventMask, reinterpret_cast<XEvent *>(&ev));
    }
    free_gcs();
    if (s.own_cmap && type_ == GWS_WIN)
        XFreeColormap(s.dpy, s.user_cmap);
    for (Cursor c : s.cursors)
        if (c)
            XFreeCursor(s.dpy, c);
    if (s.root_gc)
        XFreeGC(s.dpy, s.root_gc);
    XSync(s.dpy, False);
    gloop_reset_state();
    gevnt_reset_state();
    close_display();
    GPH_set_hold_func(nullptr);
    return 0;
}

int X11Device::alloc_color(int index, const float *rgb) {
    auto &s = xs();
    if (!s.dpy)
        return -2;
    XColor c{};
    c.red = static_cast<unsigned short>(rgb[0] * 65535.0f);
    c.green = static_cast<unsigned short>(rgb[1] * 65535.0f);
    c.blue = static_cast<unsigned short>(rgb[2] * 65535.0f);
    c.flags = DoRed | DoGreen | DoBlue;
    double r = rgb[0], g = rgb[1], b = rgb[2];
    Colormap cmap = colormap();
    int old = gget_color_ind(index);
    if (index < 0) {
        // The background is never a read-write cell: drawing relies on its pixel.
        if (!XAllocColor(s.dpy, cmap, &c))
            c.pixel = s.back_colr;
        s.back_colr = c.pixel;
        if (s.root_gc)
            for (GC gc : s.gcs)
                XSetBackground(s.dpy, gc, c.pixel);
        return static_cast<int>(c.pixel);
    }
    if (old != -1 && s.rw_colors) {
        c.pixel = static_cast<unsigned long>(old);
        XStoreColor(s.dpy, cmap, &c);
        MESS_print(kDebug, "Stored RW Cells: %d %d (%.2f %.2f %.2f) (%5d %5d %5d)\n", index, old, r,
                   g, b, c.red, c.green, c.blue);
        return old;
    }
    if (old == -1 && s.rw_colors) {
        unsigned long pixel = 0;
        Status ok = dynamic_visual() ? XAllocColorCells(s.dpy, cmap, False, nullptr, 0, &pixel, 1)
                                     : Status(0);
        MESS_print(kDebug, "Allocated RW Cells: %d\n", int(ok));
        if (ok) {
            c.pixel = pixel;
            XStoreColor(s.dpy, cmap, &c);
            XQueryColor(s.dpy, cmap, &c);
            MESS_print(kDebug, "Stored new RW Cells: %d %lu (%.2f %.2f %.2f) (%5d %5d %5d)\n",
                       index, pixel, r, g, b, c.red, c.green, c.blue);
            return static_cast<int>(pixel);
        }
        s.rw_colors = false;
    }
    if (!XAllocColor(s.dpy, cmap, &c)) {
        // A full colormap: the closest cell it holds stands in.
        int n = std::clamp(s.map_entries, 1, 4096);
        std::vector<XColor> cells(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            cells[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(i);
        XQueryColors(s.dpy, cmap, cells.data(), n);
        double best = 1e30;
        for (const XColor &x : cells) {
            double d = std::pow(x.red - double(c.red), 2) + std::pow(x.green - double(c.green), 2) +
                       std::pow(x.blue - double(c.blue), 2);
            if (d < best) {
                best = d;
                c.pixel = x.pixel;
            }
        }
    }
    XQueryColor(s.dpy, cmap, &c);
    MESS_print(kDebug,
               old == -1 ? "Allocated new RW Cells: %d %lu (%.2f %.2f %.2f) (%5d %5d %5d)\n"
                         : "Allocated RW Cells: %d %lu (%.2f %.2f %.2f) (%5d %5d %5d)\n",
               index, c.pixel, r, g, b, c.red, c.green, c.blue);
    return static_cast<int>(c.pixel);
}

int X11Device::server_text(GPoint pos, const std::string &str) {
    auto &s = xs();
    if (!s.font)
        return 0;
    int x = static_cast<int>(xW_p(pos.x) + 0.5f), y = static_cast<int>(yW_p(pos.y) + 0.5f);
    int width = XTextWidth(s.font, str.c_str(), static_cast<int>(str.size()));
    int align[2];
    ginq_text_align(nullptr, align);
    if (align[0] == 2)
        x -= width / 2;
    else if (align[0] == 3)
        x -= width;
    switch (align[1]) {
    case 1:
    case 2:
        y += s.font->ascent;
        break;
    case 3:
        y += s.font->ascent / 2;
        break;
    case 5:
        y -= s.font->descent;
        break;
    default:
        break;
    }
    for (int k = 0; k < gget_font_drop(); ++k) {
        shadow(true);
        XDrawString(s.dpy, s.draw_window, s.gcs[GC_TEXT], x + k, y + k, str.c_str(),
                    static_cast<int>(str.size()));
        shadow(false);
    }
    XDrawString(s.dpy, s.draw_window, s.gcs[GC_TEXT], x, y, str.c_str(),
                static_cast<int>(str.size()));
    return 0;
}

} // namespace

void apply_colors() {
    for (GAttr a : {GAttr::LineColr, GAttr::MarkColr, GAttr::FillColr, GAttr::TextColr})
        apply(a);
}

void clear_drawable(Drawable d) {
    auto &s = xs();
    if (!s.dpy || !d)
        return;
    XSetForeground(s.dpy, s.root_gc, s.back_colr);
    XFillRectangle(s.dpy, d, s.root_gc, 0, 0, static_cast<unsigned>(std::max(1, root_width())),
                   static_cast<unsigned>(std::max(1, root_height())));
    XSetForeground(s.dpy, s.root_gc, s.fore_colr);
}

Pixmap new_pixmap(int width, int height) {
    auto &s = xs();
    if (!s.dpy || width < 1 || height < 1)
        return 0;
    ErrorTrap trap;
    Pixmap p = XCreatePixmap(s.dpy, s.root_window, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), static_cast<unsigned>(s.depth));
    if (trap.failed())
        return 0;
    return p;
}

void free_pixmap(Pixmap p) {
    auto &s = xs();
    if (!s.dpy || !p)
        return;
    ErrorTrap trap;
    XFreePixmap(s.dpy, p);
    trap.failed();
}

std::string window_name() {
    auto &s = xs();
    char *name = nullptr;
    std::string out;
    if (s.dpy && s.root_window) {
        ErrorTrap trap;
        if (XFetchName(s.dpy, s.root_window, &name) && name) {
            out = name;
            XFree(name);
        }
        trap.failed();
    }
    return out;
}

void set_window_name(const std::string &name) {
    auto &s = xs();
    if (!is_open())
        return;
    XStoreName(s.dpy, s.root_window, name.c_str());
    if (s.type == GWS_WIN)
        XSetIconName(s.dpy, s.root_window, name.c_str());
    XFlush(s.dpy);
}

} // namespace gks::x11

using namespace gks::x11;

// ---------------------------------------------------------------- opening

std::unique_ptr<GksDevice> gx11_open_window(const GksOpenArgs &args) {
    const char *who = args.reporter.c_str();
    auto fields = fields_of(args.connection);
    if (!open_display(fields[0], who))
        return nullptr;
    auto &s = xs();
    std::string geometry = !s.geometry.empty() ? s.geometry : args.geometry;
    if (geometry.empty())
        if (const char *g = XGetDefault(s.dpy, gget_prog_name(), "geometry"))
            geometry = g;
    WindowGeometry g = window_geometry(geometry, DisplayWidth(s.dpy, s.screen),
                                       DisplayHeight(s.dpy, s.screen), who);
    s.inverse = s.inverse || std::getenv("zorinverse") != nullptr;
    set_colors_from_inverse();

    XSetWindowAttributes attr{};
    attr.background_pixel = s.back_colr;
    attr.border_pixel = s.fore_colr;
    attr.backing_store = Always;
    attr.colormap = s.def_cmap;
    attr.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                      EnterWindowMask | LeaveWindowMask | ButtonMotionMask | ExposureMask |
                      StructureNotifyMask | FocusChangeMask;
    {
        ErrorTrap trap;
        s.root_window = XCreateWindow(
            s.dpy, RootWindow(s.dpy, s.screen), g.x, g.y, g.width, g.height, kBorder, s.depth,
            InputOutput, s.visual,
            CWBackPixel | CWBorderPixel | CWBackingStore | CWColormap | CWEventMask, &attr);
        if (trap.failed() || !s.root_window) {
            gerr_printf(who, "unable to open window\n");
            close_display();
            return nullptr;
        }
    }
    s.type = GWS_WIN;

    XSizeHints hints{};
    hints.flags = g.flags;
    hints.x = g.x;
    hints.y = g.y;
    hints.width = static_cast<int>(g.width);
    hints.height = static_cast<int>(g.height);
    if (s.fixed_size) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = hints.width;
        hints.min_height = hints.max_height = hints.height;
    }
    Pixmap icon = XCreatePixmapFromBitmapData(
        s.dpy, s.root_window, reinterpret_cast<char *>(s.icon_bits.data()), 48, 48,
        BlackPixel(s.dpy, s.screen), WhitePixel(s.dpy, s.screen), 1);
    std::string title = title_shown();
    XSetStandardProperties(s.dpy, s.root_window, title.c_str(), title.c_str(), icon, nullptr, 0,
                           &hints);
    bool iconic = s.iconic == 1;
    if (s.iconic == -1)
        if (const char *v = XGetDefault(s.dpy, gget_prog_name(), "iconic"))
            iconic = strcasecmp(v, "on") == 0;
    if (args.iconic != -1)
        iconic = args.iconic == 1;
    XWMHints wm{};
    wm.flags = InputHint | StateHint | IconPixmapHint;
    wm.input = True;
    wm.initial_state = iconic ? IconicState : NormalState;
    wm.icon_pixmap = icon;
    XSetWMHints(s.dpy, s.root_window, &wm);
    std::string prog = gget_prog_name();
    std::string zor_class = "Zor";
    XClassHint cls{prog.data(), zor_class.data()};
    XSetClassHint(s.dpy, s.root_window, &cls);

    s.root_gc = XCreateGC(s.dpy, s.root_window, 0, nullptr);
    {
        ErrorTrap trap;
        s.base_window =
            XCreatePixmap(s.dpy, s.root_window, g.width, g.height, static_cast<unsigned>(s.depth));
        if (trap.failed()) {
            gerr_printf(who, "unable to open window\n");
            close_display();
            return nullptr;
        }
    }
    s.draw_window = s.base_window;
    XMapWindow(s.dpy, s.root_window);
    wait_for_map();
    ginit_xcolr();

    XWindowAttributes wa;
    XGetWindowAttributes(s.dpy, s.root_window, &wa);
    gset_root_size(wa.width, wa.height);
    XClearWindow(s.dpy, s.root_window);
    clear_drawable(s.base_window);
    XSetForeground(s.dpy, s.root_gc, s.fore_colr);
    make_cursors();
    s.background_arg = args.background;
    GPH_set_hold_func([](int flag) {
        gupdate_window();
        return own_window() ? ghold(flag) : 0;
    });
    return std::make_unique<X11Device>(GWS_WIN, GSurface{wa.width, wa.height, 0, 0});
}

namespace {

// The window specification: the connection's second field, the output variables, or an id
// file named by it. Empty after a message.
std::optional<std::string> window_spec_text(const GksOpenArgs &args, bool *from_file) {
    const char *who = args.reporter.c_str();
    auto fields = fields_of(args.connection);
    std::string spec = fields.size() > 1 ? fields[1] : "";
    if (spec.empty())
        spec = args.output;
    if (spec.empty()) {
        gerr_printf(who, "window parameters not specified\n");
        return std::nullopt;
    }
    *from_file = false;
    if (std::isdigit(static_cast<unsigned char>(spec[0])) || spec[0] == '+')
        return spec;
    std::string file = spec;
    if (spec[0] == 'W' || spec[0] == 'w') {
        const char *p = spec.c_str() + 1;
        unsigned long n = 0;
        if (*p == '\0')
            file = "zorloop.win";
        else if (parse_number(p, 10, 999999, &n) && *p == '\0')
            file = "zorloop." + std::to_string(n);
    }
    auto text = FILE_read_whole(FILE_find_on_path(file), 4096);
    if (!text) {
        gerr_printf(who, "unable to open window id file\n");
        return std::nullopt;
    }
    *from_file = true;
    std::string word;
    for (char c : *text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty())
                break;
        } else {
            word += c;
        }
    }
    return word;
}

// Drawing area of pixmap mode inside a drawable of w by h: "WxH+X+Y" (the size at most the
// drawable's), "WxH", or a panel "Pcols x rows + col + row" (a grid when the first value is
// above 1, else fractions of the drawable measured from its top-left corner).
GSurface pixmap_area(const std::string &g, int w, int h) {
    GSurface a{w, h, 0, 0};
    if (g.empty())
        return a;
    if (g[0] == 'P' || g[0] == 'p') {
        float c = 1, r = 1, x = 0, y = 0;
        if (std::sscanf(g.c_str() + 1, "%fx%f+%f+%f", &c, &r, &x, &y) < 1 ||
            !std::isfinite(c + r + x + y))
            return a;
        float fw = c, fh = r, fx = x, fy = y;
        if (c > 1) {
            int cols = std::clamp(static_cast<int>(c), 1, 8);
            int rows = std::clamp(static_cast<int>(std::min(r, 8.0f)), 1, 8);
            fw = 1.0f / float(cols);
            fh = 1.0f / float(rows);
            fx = std::clamp(x, 0.0f, 8.0f) / float(cols);
            fy = std::clamp(y, 0.0f, 8.0f) / float(rows);
        }
        fw = std::clamp(fw, 0.0f, 1.0f);
        fh = std::clamp(fh, 0.0f, 1.0f);
        a.width = std::max(1, static_cast<int>(float(w) * fw));
        a.height = std::max(1, static_cast<int>(float(h) * fh));
        a.x = static_cast<int>(float(w) * std::clamp(fx, -1.0f, 1.0f));
        a.y = static_cast<int>(float(h) * std::clamp(fy, -1.0f, 1.0f));
        return a;
    }
    int gw = 0, gh = 0, gx = 0, gy = 0;
    int n = std::sscanf(g.c_str(), "%dx%d+%d+%d", &gw, &gh, &gx, &gy);
    if (n >= 2) {
        if (gw >= 1)
            a.width = std::min(gw, w);
        if (gh >= 1)
            a.height = std::min(gh, h);
    }
    if (n == 4) {
        a.x = std::clamp(gx, 0, w - 1);
        a.y = std::clamp(gy, 0, h - 1);
    }
    return a;
}

// The new-frame handshake: NOTICE with data byte 2, then wait (0.2 s polls, at most half a
// minute) until the loop program takes the "+" off its window name.
void frame_handshake() {
    auto &s = xs();
    XClientMessageEvent ev{};
    ev.type = ClientMessage;
    ev.window = s.root_window;
    ev.message_type = XA_NOTICE;
    ev.format = 8;
    ev.data.b[0] = 2;
    XSendEvent(s.dpy, s.root_window, False, NoEventMask, reinterpret_cast<XEvent *>(&ev));
    XFlush(s.dpy);
    for (int i = 0; i < 150; ++i) {
        ZOR_sleep(0.2f);
        std::string extra;
        gget_win_title_extra(&extra);
        if (extra.empty() || extra[0] != '+')
            return;
    }
    MESS_print(MESS_WARN, "gopen_ws: no answer from the loop window\n");
}

} // namespace

std::unique_ptr<GksDevice> gx11_open_pixmap(const GksOpenArgs &args) {
    const char *who = args.reporter.c_str();
    auto fields = fields_of(args.connection);
    bool from_file = false;
    auto text = window_spec_text(args, &from_file);
    if (!text)
        return nullptr;
    auto spec = parse_window_spec(*text);
    if (!spec) {
        gerr_printf(who, "window id not specified\n");
        return nullptr;
    }
    if (!open_display(fields[0], who))
        return nullptr;
    auto &s = xs();
    Window root = 0;
    int gx = 0, gy = 0;
    unsigned gw = 0, gh = 0, bw = 0, depth = 0;
    {
        ErrorTrap trap;
        Status ok = XGetGeometry(s.dpy, spec->drawable, &root, &gx, &gy, &gw, &gh, &bw, &depth);
        XWindowAttributes wa;
        if (spec->visible != spec->drawable)
            ok = ok && XGetWindowAttributes(s.dpy, spec->visible, &wa);
        if (trap.failed() || !ok || int(depth) != s.depth) {
            gerr_printf(who, "no drawable of the screen's depth: %s\n", text->c_str());
            close_display();
            return nullptr;
        }
    }
    s.type = GWS_PIX;
    s.root_window = spec->visible;
    s.base_window = s.draw_window = spec->drawable;
    if (spec->cmap)
        s.user_cmap = spec->cmap;
    int w = spec->width > 0 ? spec->width : (from_file ? kDefaultWidth : int(gw));
    int h = spec->height > 0 ? spec->height : (from_file ? kDefaultHeight : int(gh));
    w = std::min(w, int(gw));
    h = std::min(h, int(gh));
    gset_root_size(w, h);
    std::string name = window_name();
    if (size_t cut = name.find(" ["); cut != std::string::npos)
        name.resize(cut);
    if (!name.empty())
        gset_win_title(name.c_str());
    s.inverse = s.inverse || std::getenv("zorinverse") != nullptr;
    set_colors_from_inverse();
    s.root_gc = XCreateGC(s.dpy, s.base_window, 0, nullptr);
    XSetForeground(s.dpy, s.root_gc, s.fore_colr);
    if (gget_pix_mode() == 2)
        frame_handshake();
    ginit_xcolr();
    GSurface area = pixmap_area(!s.geometry.empty() ? s.geometry : args.geometry, w, h);
    make_cursors();
    s.background_arg = args.background;
    GPH_set_hold_func([](int) { return gupdate_window(); });
    return std::make_unique<X11Device>(GWS_PIX, area);
}

void gx11_reset_state() {
    auto &s = xs();
    if (s.dpy) {
        if (gchk_graphics() && is_open())
            gclose_ws(1);
        else
            close_display();
    }
    gloop_reset_state();
    gevnt_reset_state();
    gzoom_reset_state();
    s = fresh_state();
}

// ---------------------------------------------------------------- set-up

int gset_geometry(const char *geometry) {
    xs().geometry = std::string(geometry ? geometry : "").substr(0, 39);
    return 0;
}
int gset_iconic(int flag) {
    xs().iconic = flag ? 1 : 0;
    return 0;
}
int gset_fixed_size() {
    xs().fixed_size = true;
    return 0;
}
int gset_inverse(int flag) {
    xs().inverse = flag != 0;
    return 0;
}
int gset_local_colormap(int flag) {
    xs().local_cmap = flag != 0;
    return 0;
}
int gset_rw_colors(int flag) {
    xs().rw_colors = flag != 0;
    return 0;
}
int gset_background(const char *name) {
    xs().background = name ? name : "";
    xs().background_given = name != nullptr;
    return 0;
}
int gset_icon_bitmap(const unsigned char *bits) {
    if (!bits)
        return -1;
    std::copy(bits, bits + 288, xs().icon_bits.begin());
    return 0;
}

// ---------------------------------------------------------------- window calls

int gset_win_title_extra(const char *extra) {
    if (!is_open())
        return 0;
    std::string name = title_shown();
    if (extra && *extra)
        name += std::string(" ") + extra;
    set_window_name(name);
    return 0;
}

int gget_win_title_extra(std::string *out) {
    out->clear();
    std::string name = window_name();
    std::string title = title_shown();
    if (name.size() > title.size() && name.compare(0, title.size(), title) == 0 &&
        name[title.size()] == ' ')
        *out = name.substr(title.size() + 1);
    return 0;
}

int gset_xsize(int width, int height) {
    if (!own_window() || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return 0;
    XResizeWindow(xs().dpy, xs().root_window, unsigned(width), unsigned(height));
    XFlush(xs().dpy);
    return 0;
}

int gset_xoff(int x, int y) {
    if (!own_window())
        return 0;
    XMoveWindow(xs().dpy, xs().root_window, x, y);
    XFlush(xs().dpy);
    return 0;
}

int gupdate_window() {
    auto &s = xs();
    if (!is_open())
        return 0;
    if (s.root_window != s.base_window)
        XCopyArea(s.dpy, s.base_window, s.root_window, s.root_gc, 0, 0, unsigned(root_width()),
                  unsigned(root_height()), 0, 0);
    XFlush(s.dpy);
    return 0;
}

int gbell(int volume) {
    if (!is_open())
        return 0;
    XBell(xs().dpy, volume == 0 ? 50 : std::clamp(volume, -100, 100));
    XFlush(xs().dpy);
    return 0;
}

int gsync() {
    if (xs().dpy)
        XSync(xs().dpy, False);
    return 0;
}

int gset_cursor(int n) {
    auto &s = xs();
    int old = s.cursor_type;
    if (!is_open() || n < 0 || n >= int(s.cursors.size()) || !s.cursors[size_t(n)])
        return old;
    XDefineCursor(s.dpy, s.root_window, s.cursors[size_t(n)]);
    s.cursor_type = n;
    return old;
}

int gget_cursor_type() {
    return xs().cursor_type;
}
unsigned long gget_root_window() {
    return xs().root_window;
}
unsigned long gget_base_window() {
    return xs().base_window;
}
int gset_base_window(unsigned long pixmap) {
    xs().base_window = pixmap;
    return 0;
}
unsigned long gget_draw_window() {
    return xs().draw_window;
}
int gset_draw_window(unsigned long drawable) {
    xs().draw_window = drawable ? drawable : xs().base_window;
    return 0;
}
unsigned long gget_red_mask() {
    return xs().red_mask;
}
unsigned long gget_grn_mask() {
    return xs().green_mask;
}
unsigned long gget_blu_mask() {
    return xs().blue_mask;
}
int gget_window_width() {
    return root_width();
}
int gget_window_height() {
    return root_height();
}
unsigned long gget_def_cmap() {
    return xs().def_cmap;
}
int gset_def_cmap(unsigned long cmap) {
    xs().def_cmap = cmap;
    return 0;
}
unsigned long gget_user_cmap() {
    return xs().user_cmap;
}
int gset_user_cmap(unsigned long cmap) {
    xs().user_cmap = cmap;
    return 0;
}
int gget_inverse() {
    return xs().inverse ? 1 : 0;
}
unsigned long gget_back_color() {
    return xs().back_colr;
}
Display *gget_display() {
    return xs().dpy;
}
int gget_screen() {
    return xs().screen;
}
Visual *gget_visual() {
    return xs().visual;
}
Colormap gget_colormap() {
    return xs().user_cmap ? xs().user_cmap : xs().def_cmap;
}
GC gget_root_gc() {
    return xs().root_gc;
}

// ---------------------------------------------------------------- colours

int ginit_xcolr() {
    auto &s = xs();
    if (!s.dpy)
        return 0;
    bool local = s.local_cmap || std::getenv("LOCAL_CMAP") || std::getenv("zorlocal_cmap");
    if (local && s.type == GWS_WIN) {
        s.user_cmap = XCreateColormap(s.dpy, s.root_window, s.visual, AllocNone);
        s.own_cmap = true;
        XSetWindowColormap(s.dpy, s.root_window, s.user_cmap);
    }
    gclear_color_inds();
    return 0;
}

int ginit_background() {
    auto &s = xs();
    if (!is_open())
        return 0;
    std::string value = s.background_given ? s.background : s.background_arg;
    if (value.empty())
        if (const char *v = XGetDefault(s.dpy, gget_prog_name(), "background"))
            value = v;
    bool over = strcasecmp(value.c_str(), "none") == 0 || strcasecmp(value.c_str(), "def") == 0 ||
                strcasecmp(value.c_str(), "over") == 0;
    set_colors_from_inverse();
    float rgb[3] = {s.inverse ? 1.0f : 0.0f, s.inverse ? 1.0f : 0.0f, s.inverse ? 1.0f : 0.0f};
    XColor c{};
    c.pixel = s.back_colr;
    if (!value.empty() && !over) {
        int index = CLR_get_ind(value.c_str());
        float r, g, b;
        bool found = false;
        if (index >= 0 && index < CLR_get_num() && CLR_get_rgb(index, &r, &g, &b) == 0) {
            c.red = static_cast<unsigned short>(r * 65535.0f);
            c.green = static_cast<unsigned short>(g * 65535.0f);
            c.blue = static_cast<unsigned short>(b * 65535.0f);
            found = true;
        } else {
            found = XParseColor(s.dpy, colormap(), value.c_str(), &c) != 0;
        }
        if (found) {
            c.flags = DoRed | DoGreen | DoBlue;
            if (XAllocColor(s.dpy, colormap(), &c)) {
                MESS_print(kDebug, "Allocated BG Color: %lu (%5d %5d %5d)\n", c.pixel, c.red,
                           c.green, c.blue);
                s.back_colr = c.pixel;
                rgb[0] = c.red / 65535.0f;
                rgb[1] = c.green / 65535.0f;
                rgb[2] = c.blue / 65535.0f;
            }
        }
    }
    XQueryColor(s.dpy, colormap(), &c);
    MESS_print(kDebug, "Queried BG Color: %lu (%5d %5d %5d)\n", s.back_colr, c.red, c.green,
               c.blue);
    auto &k = kernel();
    k.rgb[256] = {rgb[0], rgb[1], rgb[2]};
    gset_color_ind(-1, static_cast<int>(s.back_colr));
    for (GC gc : s.gcs)
        if (gc)
            XSetBackground(s.dpy, gc, s.back_colr);
    if (!over && s.type == GWS_WIN)
        clear_drawable(s.base_window);
    return 0;
}

bool gis_color_near(long index_or_pixel, int by_pixel, float r, float g, float b) {
    float cr, cg, cb;
    if (by_pixel) {
        auto &s = xs();
        if (!s.dpy)
            return false;
        XColor c{};
        c.pixel = static_cast<unsigned long>(index_or_pixel);
        XQueryColor(s.dpy, colormap(), &c);
        cr = c.red / 65535.0f;
        cg = c.green / 65535.0f;
        cb = c.blue / 65535.0f;
    } else if (gget_color_rgb(static_cast<int>(index_or_pixel), &cr, &cg, &cb) < 0) {
        return false;
    }
    return std::fabs(cr - r) + std::fabs(cg - g) + std::fabs(cb - b) < 0.01f;
}

int gquery_xcolor(int index) {
    auto &s = xs();
    int p = gget_color_ind(index);
    if (!s.dpy || p < 0)
        return -1;
    XColor c{};
    c.pixel = static_cast<unsigned long>(p);
    XQueryColor(s.dpy, colormap(), &c);
    MESS_print(kDebug, "Color %d: pixel %d (%5d %5d %5d)\n", index, p, c.red, c.green, c.blue);
    return 0;
}

unsigned long gcolor_from_masks(unsigned r, unsigned g, unsigned b, unsigned long red_mask,
                                unsigned long green_mask, unsigned long blue_mask) {
    auto channel = [](unsigned v, unsigned long mask) -> unsigned long {
        if (!mask)
            return 0;
        int shift = __builtin_ctzl(mask);
        int width = 0;
        while (width + shift < 64 && (mask >> (shift + width)) & 1)
            ++width;
        width = std::min(width, 16);
        return (static_cast<unsigned long>(std::min(v, 65535u)) >> (16 - width)) << shift;
    };
    return channel(r, red_mask) + channel(g, green_mask) + channel(b, blue_mask);
}

unsigned long gget_color_rgb_Xval(unsigned r, unsigned g, unsigned b) {
    auto &s = xs();
    return gcolor_from_masks(r, g, b, s.red_mask, s.green_mask, s.blue_mask);
}

// ---------------------------------------------------------------- images

namespace gks::x11 {

ClientImage::~ClientImage() {
    if (image) {
        image->data = nullptr; // the buffer is ours
        XDestroyImage(image);
    }
}

ClientImage make_image(int width, int height) {
    ClientImage out;
    auto &s = xs();
    if (!s.dpy || width < 1 || height < 1)
        return out;
    out.image = XCreateImage(s.dpy, s.visual, static_cast<unsigned>(s.depth), ZPixmap, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!out.image)
        return out;
    try {
        out.buf.assign(static_cast<size_t>(out.image->bytes_per_line) * size_t(height), 0);
    } catch (const std::bad_alloc &) {
        XDestroyImage(out.image);
        out.image = nullptr;
        return out;
    }
    out.image->data = out.buf.data();
    return out;
}

void store_pixel(XImage *im, int x, int y, unsigned long p) {
    auto *row = reinterpret_cast<uint8_t *>(im->data) + size_t(y) * size_t(im->bytes_per_line);
    bool msb = im->byte_order == MSBFirst;
    switch (im->bits_per_pixel) {
    case 8:
        row[x] = static_cast<uint8_t>(p);
        return;
    case 16: {
        uint8_t *q = row + 2 * x;
        q[msb ? 0 : 1] = static_cast<uint8_t>(p >> 8);
        q[msb ? 1 : 0] = static_cast<uint8_t>(p);
        return;
    }
    case 32: {
        uint8_t *q = row + 4 * x;
        for (int i = 0; i < 4; ++i)
            q[msb ? 3 - i : i] = static_cast<uint8_t>(p >> (8 * i));
        return;
    }
    default:
        XPutPixel(im, x, y, p);
    }
}

} // namespace gks::x11

namespace {

bool record_ok(const IMAGE &im, int *bpl) {
    int bpp = im.bits_per_pixel;
    if (im.nx < 1 || im.ny < 1 || im.nx > IMG_MAX_SIDE || im.ny > IMG_MAX_SIDE)
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;
    long long need = (static_cast<long long>(im.nx) * bpp + 7) / 8;
    long long line = im.bytes_per_line > 0 ? im.bytes_per_line : need;
    if (line < need)
        return false;
    if (static_cast<long long>(im.data.size()) < line * im.ny)
        return false;
    *bpl = static_cast<int>(line);
    return true;
}

uint32_t value_at(const uint8_t *row, int x, int bpp, bool msb) {
    switch (bpp) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return x & 1 ? row[x >> 1] & 15u : row[x >> 1] >> 4;
    case 8:
        return row[x];
    case 16: {
        const uint8_t *q = row + 2 * x;
        return msb ? uint32_t(q[0]) << 8 | q[1] : uint32_t(q[1]) << 8 | q[0];
    }
    case 24: {
        const uint8_t *q = row + 3 * x;
        return msb ? uint32_t(q[0]) << 16 | uint32_t(q[1]) << 8 | q[2]
                   : uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
    }
    default: {
        const uint8_t *q = row + 4 * x;
        return msb ? uint32_t(q[0]) << 24 | uint32_t(q[1]) << 16 | uint32_t(q[2]) << 8 | q[3]
                   : uint32_t(q[3]) << 24 | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
    }
    }
}

float channel(uint32_t v, uint32_t mask) {
    if (!mask)
        return 0.0f;
    int shift = __builtin_ctz(mask);
    return static_cast<float>((v & mask) >> shift) / static_cast<float>(mask >> shift);
}

bool near_rgb(const float *a, float r, float g, float b) {
    return std::fabs(a[0] - r) + std::fabs(a[1] - g) + std::fabs(a[2] - b) < 0.01f;
}

// The device pixel of a colour: computed from the channel masks on a TrueColor visual,
// allocated through the kernel's colour indices otherwise.
unsigned long device_pixel(float r, float g, float b) {
    auto &s = xs();
    if (s.visual_class == TrueColor)
        return gget_color_rgb_Xval(unsigned(r * 65535.0f), unsigned(g * 65535.0f),
                                   unsigned(b * 65535.0f));
    int p = galloc_colr(-1, r, g, b);
    return p < 0 ? s.fore_colr : static_cast<unsigned long>(p);
}

constexpr int kStripRows = 64; // images go to the server in strips of rows

// Turns the rows of an image record into server pixels of the window's format. Every
// colour the record uses gets its device pixel once; `clear` marks the pixels that match
// the transparent colour.
class Converter {
  public:
    Converter(const IMAGE &im, int bpl, const float *transparent)
        : im_(im), bpl_(bpl), transparent_(transparent) {
        int bpp = im.bits_per_pixel;
        msb_ = im.byte_order == 1;
        if (bpp <= 8) {
            prepare_lut();
            return;
        }
        rm_ = im.red_mask, gm_ = im.green_mask, bm_ = im.blue_mask;
        if (!rm_ && !gm_ && !bm_) {
            if (bpp == 16)
                rm_ = 0xf800, gm_ = 0x07e0, bm_ = 0x001f;
            else
                rm_ = 0xff0000, gm_ = 0x00ff00, bm_ = 0x0000ff;
        }
    }

    // Rows y0 .. y0 + rows - 1 of the record into rows 0 .. of out.
    void rows(int y0, int rows, XImage *out, std::vector<uint8_t> *clear) {
        int bpp = im_.bits_per_pixel;
        for (int j = 0; j < rows; ++j) {
            int y = y0 + j;
            const uint8_t *row = im_.data.data() + size_t(y) * size_t(bpl_);
            uint8_t *see = clear ? clear->data() + size_t(y) * size_t(im_.nx) : nullptr;
            for (int x = 0; x < im_.nx; ++x) {
                uint32_t v = value_at(row, x, bpp, msb_);
                bool through;
                unsigned long p =
                    bpp <= 8 ? pixel_of_value(v, &through) : pixel_of_rgb(v, &through);
                if (through) {
                    if (see)
                        see[x] = 1;
                    continue;
                }
                store_pixel(out, x, j, p);
            }
        }
    }

  private:
    void prepare_lut() {
        int bpp = im_.bits_per_pixel;
        std::array<bool, 256> used{};
        for (int y = 0; y < im_.ny; ++y) {
            const uint8_t *row = im_.data.data() + size_t(y) * size_t(bpl_);
            for (int x = 0; x < im_.nx; ++x)
                used[value_at(row, x, bpp, msb_)] = true;
        }
        int top = (1 << bpp) - 1;
        const std::vector<float> *table = im_.colors.get();
        for (int v = 0; v <= top; ++v) {
            if (!used[size_t(v)])
                continue;
            float r, g, b;
            if (table && v < im_.num_colors && size_t(3 * v + 2) < table->size()) {
                r = (*table)[size_t(3 * v)];
                g = (*table)[size_t(3 * v + 1)];
                b = (*table)[size_t(3 * v + 2)];
            } else {
                r = g = b = static_cast<float>(v) / static_cast<float>(top);
            }
            if (transparent_ && near_rgb(transparent_, r, g, b))
                see_through_[size_t(v)] = true;
            else
                lut_[size_t(v)] = device_pixel(r, g, b);
        }
    }
    unsigned long pixel_of_value(uint32_t v, bool *through) const {
        *through = see_through_[v];
        return lut_[v];
    }
    unsigned long pixel_of_rgb(uint32_t v, bool *through) {
        v &= rm_ | gm_ | bm_;
        auto it = cache_.find(v);
        if (it == cache_.end()) {
            float r = channel(v, rm_), g = channel(v, gm_), b = channel(v, bm_);
            bool t = transparent_ && near_rgb(transparent_, r, g, b);
            it = cache_.emplace(v, std::make_pair(t ? 0UL : device_pixel(r, g, b), t)).first;
        }
        *through = it->second.second;
        return it->second.first;
    }

    const IMAGE &im_;
    int bpl_;
    const float *transparent_;
    bool msb_ = true;
    std::array<unsigned long, 256> lut_{};
    std::array<bool, 256> see_through_{};
    uint32_t rm_ = 0, gm_ = 0, bm_ = 0;
    std::unordered_map<uint32_t, std::pair<unsigned long, bool>> cache_;
};

int put_image(const char *who, const IMAGE &im, int x, int y, const float *transparent) {
    auto &s = xs();
    if (!is_open())
        return -1;
    int bpl = 0;
    if (!record_ok(im, &bpl)) {
        MESS_print(MESS_WARN, "%s: unusable image record (%dx%d, %d bits per pixel)\n", who, im.nx,
                   im.ny, im.bits_per_pixel);
        return -1;
    }
    int vp[4];
    gget_xviewport(vp);
    int px = x >= 0 ? vp[0] + x : vp[0] + vp[2] - im.nx + x;
    int py = y >= 0 ? vp[1] + y : vp[1] + vp[3] - im.ny + y;
    Converter convert(im, bpl, transparent);
    std::vector<uint8_t> clear;
    ClientImage strip = make_image(im.nx, std::min(im.ny, kStripRows));
    try {
        if (transparent)
            clear.assign(size_t(im.nx) * size_t(im.ny), 0);
    } catch (const std::bad_alloc &) {
        strip = ClientImage{};
    }
    if (!strip.image) {
        MESS_print(MESS_WARN, "%s: Unable to allocate image of %dx%d\n", who, im.nx, im.ny);
        return -1;
    }
    // With a transparent colour the pixels are converted first and put through a mask.
    Pixmap mask = 0;
    if (transparent) {
        for (int y0 = 0; y0 < im.ny; y0 += kStripRows)
            convert.rows(y0, std::min(kStripRows, im.ny - y0), strip.image, &clear);
        int row = (im.nx + 7) / 8;
        std::vector<char> bits(size_t(row) * size_t(im.ny), 0);
        for (int j = 0; j < im.ny; ++j)
            for (int i = 0; i < im.nx; ++i)
                if (!clear[size_t(j) * size_t(im.nx) + size_t(i)])
                    bits[size_t(j) * size_t(row) + size_t(i / 8)] |= char(1 << (i % 8));
        mask = XCreateBitmapFromData(s.dpy, s.root_window, bits.data(), unsigned(im.nx),
                                     unsigned(im.ny));
        XSetClipMask(s.dpy, s.root_gc, mask);
        XSetClipOrigin(s.dpy, s.root_gc, px, py);
    }
    for (int y0 = 0; y0 < im.ny; y0 += kStripRows) {
        int rows = std::min(kStripRows, im.ny - y0);
        convert.rows(y0, rows, strip.image, nullptr);
        XPutImage(s.dpy, s.draw_window, s.root_gc, strip.image, 0, 0, px, py + y0, unsigned(im.nx),
                  unsigned(rows));
    }
    if (mask) {
        XSetClipMask(s.dpy, s.root_gc, None);
        XFreePixmap(s.dpy, mask);
    }
    XFlush(s.dpy);
    return 0;
}

// Red, green and blue of a colour name: a colour-table name, an X11 colour name, or the
// background when empty.
bool color_rgb(const char *colour, float *rgb) {
    if (!colour || !*colour)
        return gget_color_rgb(-1, &rgb[0], &rgb[1], &rgb[2]) == 0;
    int index = CLR_get_ind(colour);
    if (index >= 0 && index < CLR_get_num() && CLR_get_rgb(index, &rgb[0], &rgb[1], &rgb[2]) == 0)
        return true;
    XColor c{};
    if (!xs().dpy || !XParseColor(xs().dpy, colormap(), colour, &c))
        return false;
    rgb[0] = c.red / 65535.0f;
    rgb[1] = c.green / 65535.0f;
    rgb[2] = c.blue / 65535.0f;
    return true;
}

int read_image(const char *who, const char *name, IMAGE *image, int mode) {
    if (!xs().reader) {
        MESS_print(MESS_WARN, "%s: %s: no image file reader in this program\n", who,
                   name ? name : "");
        return 0;
    }
    return xs().reader(name, image, mode) == 1 ? 1 : 0;
}

} // namespace

int X11Device::image(const IMAGE &im, int x, int y, int transparent) {
    float rgb[3];
    bool see_through =
        transparent >= 0 && gget_color_rgb(transparent, &rgb[0], &rgb[1], &rgb[2]) == 0;
    return put_image(see_through ? "goverlay_image" : "gload_image", im, x, y,
                     see_through ? rgb : nullptr);
}

int goverlay_image_color(const IMAGE *image, const char *colour, int x, int y) {
    if (!image || !(is_open() || gtype_is_MEM()))
        return -1;
    float rgb[3];
    if (!color_rgb(colour, rgb)) {
        MESS_print(MESS_WARN, "goverlay_image: unknown colour: %s\n", colour);
        return -1;
    }
    if (gtype_is_MEM())
        return gmem_overlay_image(image, rgb, x, y);
    return put_image("goverlay_image", *image, x, y, rgb);
}

int gload_image_file(const char *name, int x, int y) {
    IMAGE im;
    if (!read_image("gload_image_file", name, &im, 0))
        return -1;
    return gload_image(&im, x, y);
}

int goverlay_image_file(const char *name, const char *colour, int x, int y) {
    IMAGE im;
    if (!read_image("goverlay_image_file", name, &im, 0))
        return -1;
    return goverlay_image_color(&im, colour, x, y);
}

int gread_image_file(const char *name, IMAGE *image) {
    return read_image("gread_image_file", name, image, 0);
}

int gquery_image_file(const char *name, IMAGE *image) {
    return read_image("gquery_image_file", name, image, 1);
}

int gget_image(IMAGE *image) {
    if (gtype_is_MEM())
        return gmem_get_image(image);
    auto &s = xs();
    if (!is_open() || !image)
        return -1;
    int w = root_width(), h = root_height();
    ServerImage got = get_image(s.draw_window, 0, 0, w, h);
    if (!got.image) {
        MESS_print(MESS_WARN, "gget_image: Unable to get image at %dx%d+%d+%d\n", w, h, 0, 0);
        return -1;
    }
    XImage *xi = got.image;
    IMG_init(image);
    image->nx = w;
    image->ny = h;
    std::string name = window_name();
    IMG_set_info(image, name.empty() ? "xwdump" : name);
    image->bits_per_pixel = xi->bits_per_pixel;
    image->bytes_per_line = xi->bytes_per_line;
    image->byte_order = xi->byte_order == MSBFirst ? 1 : 0;
    image->depth = xi->depth;
    try {
        image->data.assign(reinterpret_cast<uint8_t *>(xi->data),
                           reinterpret_cast<uint8_t *>(xi->data) +
                               size_t(xi->bytes_per_line) * size_t(h));
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "gget_image: Unable to allocate data buffer.\n");
        return -1;
    }
    image->red_mask = uint32_t(xi->red_mask ? xi->red_mask : s.red_mask);
    image->green_mask = uint32_t(xi->green_mask ? xi->green_mask : s.green_mask);
    image->blue_mask = uint32_t(xi->blue_mask ? xi->blue_mask : s.blue_mask);
    if (s.visual_class == TrueColor) {
        image->color_type = 0;
        image->num_colors = 0;
    } else {
        int n = std::clamp(s.map_entries, 1, 1 << 16);
        std::vector<XColor> cells(static_cast<size_t>(n));
        unsigned long r = 0, g = 0, b = 0;
        auto step = [](unsigned long v, unsigned long mask) {
            return ((v | ~mask) + (mask & -mask)) & mask;
        };
        for (int i = 0; i < n; ++i) {
            if (s.visual_class == DirectColor) {
                cells[size_t(i)].pixel = r | g | b;
                r = step(r, s.red_mask);
                g = step(g, s.green_mask);
                b = step(b, s.blue_mask);
            } else {
                cells[size_t(i)].pixel = static_cast<unsigned long>(i);
            }
        }
        XQueryColors(s.dpy, colormap(), cells.data(), n);
        auto table = std::make_shared<std::vector<float>>(size_t(3 * n));
        auto frac = [](unsigned short v) {
            float f = v / 65535.0f;
            return f > 0.99f ? 1.0f : f;
        };
        for (int i = 0; i < n; ++i) {
            (*table)[size_t(3 * i)] = frac(cells[size_t(i)].red);
            (*table)[size_t(3 * i + 1)] = frac(cells[size_t(i)].green);
            (*table)[size_t(3 * i + 2)] = frac(cells[size_t(i)].blue);
        }
        image->colors = std::move(table);
        image->num_colors = n;
        image->color_type = 1;
    }
    MESS_print(0x10000000u, "gget_image: %dx%d, %d bits per pixel, %d bytes per line, depth %d\n",
               image->nx, image->ny, image->bits_per_pixel, image->bytes_per_line, image->depth);
    return 0;
}

int gsave_image_file(const char *name) {
    if (!xs().writer) {
        MESS_print(MESS_WARN, "gsave_image_file: %s: no image file writer in this program\n",
                   name ? name : "");
        return 0;
    }
    IMAGE im;
    if (gget_image(&im) != 0)
        return 0;
    return xs().writer(name, &im, xs().save_type) == 1 ? 1 : 0;
}

int gset_save_image_type(int code) {
    xs().save_type = code;
    return 0;
}
int gget_save_image_type() {
    return xs().save_type;
}

void gset_image_io(GImageReader reader, GImageWriter writer) {
    xs().reader = reader;
    xs().writer = writer;
}

GImageWriter gget_image_writer() {
    return xs().writer;
}
