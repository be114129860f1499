// Events of the own window and the hold loop.
//
// Exposures copy the backing pixmap (only the first of a run), a size change re-initialises
// the kernel for the new size and tells the program, NOTICE client messages from the loop
// program end the hold (9) or ask for a new frame (2), keys and buttons step and time the
// loop, zoom, dump and end the hold, and every user event reaches the program's callback
// in world coordinates. Pointer motion only drives the rubber band, drawn in exclusive-or
// on the window itself so that an exposure restores what it crossed.
#include "gks/gks_evnt.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "base/file_io.h"
#include "base/image.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"
#include "gks/gks_x11_state.h"

using namespace gks::x11;

namespace {

constexpr int kXwdType = 57; // any save type other than GIF (56) and PNG (58) is XWD
constexpr int kGifType = 56;

struct EventState {
    int input_mode = GINPUT_IDLE;
    int user_event = 0;
    int mapped = 0;
    int expose_cnt = 0;
    GMouseCallback mouse_cb = nullptr;
    float refresh = 0.0f;
    GRefreshCallback refresh_cb = nullptr;
    // Rubber band, in pixels of the window.
    int rubber_band = 0;
    int rb_con = 0;
    int rb_num = 0;
    std::array<XPoint, 2> rb_pts{}; // anchor, then the second fixed point of mode 3
    bool rb_anchor = false;
    std::array<int, 4> rb_lim{-9999, 0, 0, 0}; // xmin, xmax, ymin, ymax
    bool rb_drawn = false;
    XPoint rb_end{};
    GC xor_gc = nullptr;
};

EventState &est() {
    static EventState s;
    return s;
}

// Cursor n, without a request when it is already shown.
void cursor(int n) {
    if (gget_cursor_type() != n)
        gset_cursor(n);
}

void call_back(int kind, const std::string &text, float x, float y) {
    auto &s = est();
    if (!s.mouse_cb)
        return;
    int old = gset_cursor(1);
    s.mouse_cb(kind, text.c_str(), x, y);
    gset_cursor(old);
}

std::string modifier_suffix(unsigned state) {
    std::string out;
    if (state & Mod1Mask)
        out += "-Alt";
    if (state & ShiftMask)
        out += "-Shft";
    if (state & ControlMask)
        out += "-Cntrl";
    return out;
}

// "B1-P", "B3-R-Shft", ...
std::string button_text(unsigned button, char what, unsigned state) {
    std::string t = "B";
    t += char('0' + button);
    t += '-';
    t += what;
    t += modifier_suffix(state);
    return t;
}

float world_x(int px) {
    return xp_W(xZ_p(float(px)));
}
float world_y(int py) {
    return yp_W(yZ_p(float(py)));
}

// ---- rubber band

XPoint clamp_end(XPoint p) {
    auto &s = est();
    if (s.rb_con == 1)
        p.y = s.rb_pts[0].y;
    else if (s.rb_con == 2)
        p.x = s.rb_pts[0].x;
    if (s.rb_lim[0] != -9999) {
        p.x = short(std::clamp(int(p.x), s.rb_lim[0], s.rb_lim[1]));
        p.y = short(std::clamp(int(p.y), s.rb_lim[2], s.rb_lim[3]));
    }
    return p;
}

void draw_figure(GC gc, XPoint end) {
    auto &s = est();
    Display *d = display();
    Window w = xs().root_window;
    XPoint a = s.rb_pts[0];
    if (s.rubber_band == 1) {
        XDrawLine(d, w, gc, a.x, a.y, end.x, end.y);
    } else if (s.rubber_band == 3) {
        XPoint b = s.rb_num >= 2 ? s.rb_pts[1] : a;
        XPoint pts[3] = {a, end, b};
        XDrawLines(d, w, gc, pts, 3, CoordModeOrigin);
    } else {
        XDrawRectangle(d, w, gc, std::min(a.x, end.x), std::min(a.y, end.y),
                       unsigned(std::abs(end.x - a.x)), unsigned(std::abs(end.y - a.y)));
    }
}

GC xor_gc() {
    auto &s = est();
    if (!s.xor_gc) {
        XGCValues v;
        v.function = GXxor;
        v.foreground = xs().fore_colr ^ xs().back_colr;
        v.subwindow_mode = IncludeInferiors;
        s.xor_gc =
            XCreateGC(display(), xs().root_window, GCFunction | GCForeground | GCSubwindowMode, &v);
    }
    return s.xor_gc;
}

void erase_figure() {
    auto &s = est();
    if (s.rb_drawn)
        draw_figure(xor_gc(), s.rb_end);
    s.rb_drawn = false;
}

void move_band(int x, int y) {
    auto &s = est();
    if (!s.rubber_band || !s.rb_anchor)
        return;
    erase_figure();
    s.rb_end = clamp_end({short(x), short(y)});
    draw_figure(xor_gc(), s.rb_end);
    s.rb_drawn = true;
}

void finish_band(int x, int y) {
    auto &s = est();
    if (!s.rubber_band || !s.rb_anchor)
        return;
    erase_figure();
    draw_figure(xs().root_gc, clamp_end({short(x), short(y)}));
    s.rubber_band = 0;
    s.rb_lim = {-9999, 0, 0, 0};
}

// ---- dumps

std::string dump_name(const char *ext, int frame) {
    std::string title = std::string(gget_win_title()).substr(0, 5);
    std::replace(title.begin(), title.end(), ' ', '_');
    char name[64];
    if (frame < 0)
        std::snprintf(name, sizeof name, "%s.%s", title.c_str(), ext);
    else
        std::snprintf(name, sizeof name, "%s-%2.2d.%s", title.c_str(), frame, ext);
    std::string out;
    const char *path = RES_get("image_path");
    FILE_add_path(path ? path : "", name, &out);
    return out;
}

bool write_dump(const std::string &file, int type) {
    IMAGE im;
    GImageWriter writer = gget_image_writer();
    return gget_image(&im) == 0 && writer(file.c_str(), &im, type) == 1;
}

void dump(bool gif) {
    const char *kind = gif ? "GIF" : "XWD";
    const char *ext = gif ? "gif" : "xwd";
    int type = gif ? kGifType : kXwdType;
    if (!gget_image_writer()) {
        MESS_print(MESS_WARN, "gprocess_x11_event: no %s writer in this program\n", kind);
        return;
    }
    int old = gset_cursor(8);
    int n = gget_num_images();
    if (n <= 1) {
        std::string file = dump_name(ext, -1);
        if (write_dump(file, type))
            MESS_print(MESS_MESS, "Created %s file: %s\n", kind, file.c_str());
        else
            MESS_print(MESS_WARN, "gprocess_x11_event: Unable to write %s file: %s\n", kind,
                       file.c_str());
    } else {
        int first = 0, last = n - 1;
        if (gget_looping())
            MESS_print(MESS_MESS, "Creating %s files:\n", kind);
        else
            first = last = std::max(0, gget_cur_frame());
        for (int i = first; i <= last; ++i) {
            gselect_frame(i);
            std::string file = dump_name(ext, i);
            if (write_dump(file, type))
                MESS_print(MESS_MESS, gget_looping() ? "%s\n" : "Created %s file: %s\n",
                           gget_looping() ? file.c_str() : kind, file.c_str());
            else
                MESS_print(MESS_WARN, "gprocess_x11_event: Unable to write %s file: %s\n", kind,
                           file.c_str());
        }
        gselect_frame(GFRAME_BASE);
    }
    gset_cursor(old);
}

// ---- the events

bool waiting() {
    int m = est().input_mode;
    return m == GINPUT_WAIT || m == GINPUT_KEY;
}

void slower() {
    float d = gget_loop_delay();
    ginc_loop_delay(d < 0.09f - 1e-4f ? 0.05f : 0.1f);
}

void faster() {
    float d = gget_loop_delay();
    ginc_loop_delay(d <= 0.11f + 1e-4f ? -0.05f : -0.1f);
}

void key_press(XKeyEvent &e) {
    auto &s = est();
    if (!waiting())
        return;
    s.user_event = 1;
    if (s.input_mode == GINPUT_WAIT)
        s.input_mode = GINPUT_KEY;
    char buf[81];
    KeySym ks = 0;
    int n = XLookupString(&e, buf, 80, &ks, nullptr);
    std::string text(buf, size_t(std::clamp(n, 0, 80)));
    if (IsModifierKey(ks))
        return;
    bool alt = e.state & Mod1Mask;
    bool call = true;
    if (ks == XK_Return || ks == XK_KP_Enter) {
        s.input_mode = GINPUT_DONE;
        text = "Ret";
    } else if (alt) {
        switch (ks) {
        case XK_q:
            s.input_mode = GINPUT_DONE;
            break;
        case XK_d:
            gdelete_frame(GFRAME_CURRENT);
            break;
        case XK_z:
            gzoom(GFRAME_CURRENT, e.x, e.y, -2, 0);
            break;
        case XK_u:
            call = gget_zoom() < 2;
            gunzoom();
            break;
        case XK_m: {
            int old = gset_cursor(8);
            gobj_print_meta();
            gset_cursor(old);
            break;
        }
        case XK_g:
            dump(true);
            break;
        case XK_x:
            dump(false);
            break;
        case XK_l:
            gtoggle_loop(2);
            break;
        case XK_bracketright:
            if (gget_looping())
                faster();
            else
                gdisplay_frame(ginc_frame(1));
            break;
        case XK_bracketleft:
            if (gget_looping())
                slower();
            else
                gdisplay_frame(ginc_frame(-1));
            break;
        default:
            break;
        }
    }
    if (!call || !is_open())
        return;
    Window root, child;
    int rx, ry, x = e.x, y = e.y;
    unsigned mask;
    XQueryPointer(display(), xs().root_window, &root, &child, &rx, &ry, &x, &y, &mask);
    call_back(2, text + modifier_suffix(e.state), world_x(x), world_y(y));
}

void button_press(XButtonEvent &e) {
    auto &s = est();
    if (!(e.state & Mod1Mask)) {
        if (e.button == Button1) {
            if (gget_looping())
                slower();
            else
                gdisplay_frame(ginc_frame(-1));
        } else if (e.button == Button2) {
            gtoggle_loop(2);
        } else if (e.button == Button3) {
            if (gget_looping())
                faster();
            else
                gdisplay_frame(ginc_frame(1));
        }
    }
    s.rb_pts[0] = {short(e.x), short(e.y)};
    s.rb_anchor = true;
    s.rb_drawn = false;
    if (e.button >= Button1 && e.button <= Button3)
        call_back(3, button_text(e.button, 'P', e.state), world_x(e.x), world_y(e.y));
}

void button_release(XButtonEvent &e) {
    est().user_event = 1;
    finish_band(e.x, e.y);
    if (e.button >= Button1 && e.button <= Button3)
        call_back(3, button_text(e.button, 'R', e.state), world_x(e.x), world_y(e.y));
}

void motion(XMotionEvent &e) {
    XEvent later;
    while (XCheckTypedWindowEvent(display(), xs().root_window, MotionNotify, &later))
        e = later.xmotion;
    move_band(e.x, e.y);
}

void client_message(XClientMessageEvent &e) {
    if (e.format != 8)
        return;
    if (e.data.b[0] == 9) {
        est().input_mode = GINPUT_DONE;
    } else if (e.data.b[0] == 2) {
        gset_win_title_extra("+");
        int n = gget_num_images();
        if (n > 0) {
            int f = gcreate_frame(-1);
            if (f >= 0) {
                gcopy_frame(f, f - 1);
                gselect_frame(f);
                gclear_frame(f);
            }
        } else {
            gcreate_frame(0);
            gset_looping(1);
            gselect_frame(0);
        }
        gset_win_title_extra("");
    }
}

void configure() {
    if (gresize_window(-1, -1) != 1)
        return;
    ginit_plot(GCLASS_X11_RESIZED);
    if (est().mouse_cb)
        call_back(2, "size", float(root_width()), float(root_height()));
    else
        gobj_redraw_plot();
    gupdate_window();
}

// Processes the pending events; how many there were, and in *user how many the user made.
int pending(int *user) {
    int total = 0;
    *user = 0;
    while (is_open() && XPending(display())) {
        XEvent ev;
        XNextEvent(display(), &ev);
        *user += gprocess_x11_event(ev);
        ++total;
    }
    return total;
}

} // namespace

namespace gks::x11 {

int gprocess_x11_event(XEvent &ev) {
    auto &s = est();
    s.user_event = 0;
    if (!own_window() || !gget_cache())
        return 0;
    if (ev.type != Expose)
        s.expose_cnt = 0;
    switch (ev.type) {
    case Expose:
        if (s.expose_cnt++ == 0)
            gupdate_window();
        break;
    case MapNotify:
        s.mapped = 1;
        break;
    case UnmapNotify:
        s.mapped = 0;
        break;
    case ConfigureNotify:
        if (ev.xconfigure.window == xs().root_window)
            configure();
        break;
    case ClientMessage:
        client_message(ev.xclient);
        break;
    case KeyPress:
        key_press(ev.xkey);
        break;
    case ButtonPress:
        button_press(ev.xbutton);
        break;
    case ButtonRelease:
        button_release(ev.xbutton);
        break;
    case MotionNotify:
        motion(ev.xmotion);
        break;
    default:
        break;
    }
    return s.user_event;
}

} // namespace gks::x11

int gcheck_event() {
    int user = 0;
    pending(&user);
    return user;
}

int gwait_event() {
    if (!is_open())
        return 0;
    XEvent ev;
    XNextEvent(display(), &ev);
    int user = gprocess_x11_event(ev);
    return user + gcheck_event();
}

int ginit_event(int mode) {
    auto &s = est();
    if (mode >= 0)
        s.input_mode = mode;
    s.user_event = 0;
    s.expose_cnt = 0;
    s.rubber_band = 0;
    s.rb_num = 0;
    s.rb_anchor = false;
    s.rb_drawn = false;
    s.rb_lim = {-9999, 0, 0, 0};
    return 0;
}

int gis_mapped() {
    return est().mapped;
}

int gset_input_mode(int flag) {
    est().input_mode = flag;
    return 0;
}

int gget_input_mode() {
    return est().input_mode != GINPUT_DONE;
}

int gset_mouse_callback(GMouseCallback fn) {
    est().mouse_cb = fn;
    return 0;
}

int gset_refresh_callback(float seconds, GRefreshCallback fn) {
    est().refresh = seconds;
    est().refresh_cb = fn;
    return 0;
}

int gset_rubber_band(int mode) {
    auto &s = est();
    if (is_open() && s.rb_drawn)
        erase_figure();
    s.rubber_band = mode;
    return 0;
}

int gset_rubber_band_points(const float *points, int n, int constraint) {
    auto &s = est();
    s.rb_con = constraint;
    s.rb_num = std::clamp(n, 0, 2);
    for (int i = 0; i < s.rb_num; ++i)
        s.rb_pts[size_t(i)] = {short(xW_p(points[2 * i]) + 0.5f),
                               short(yW_p(points[2 * i + 1]) + 0.5f)};
    s.rb_anchor = s.rb_num > 0;
    return 0;
}

int gset_rubber_band_limits(const float *rect) {
    auto &s = est();
    if (!rect) {
        s.rb_lim = {-9999, 0, 0, 0};
        return 0;
    }
    int x0 = int(xW_p(rect[0]) + 0.5f), x1 = int(xW_p(rect[1]) + 0.5f);
    int y0 = int(yW_p(rect[2]) + 0.5f), y1 = int(yW_p(rect[3]) + 0.5f);
    s.rb_lim = {std::min(x0, x1), std::max(x0, x1), std::min(y0, y1), std::max(y0, y1)};
    return 0;
}

int ghold(int) {
    auto &s = est();
    if (!own_window())
        return 0;
    using clock = std::chrono::steady_clock;
    gcheck_event();
    gsync();
    if (gget_looping())
        ZOR_init_time();
    s.input_mode = GINPUT_WAIT;
    int idle = 0;
    auto interval = std::chrono::duration_cast<clock::duration>(
        std::chrono::duration<double>(std::max(0.0f, s.refresh)));
    auto next_refresh = clock::now() + interval;
    while (is_open() && s.input_mode != GINPUT_DONE) {
        bool refreshing = s.refresh > 0 && s.refresh_cb;
        if (refreshing && clock::now() >= next_refresh) {
            s.refresh_cb();
            next_refresh += interval;
            if (next_refresh <= clock::now()) // a late call does not make up the missed ones
                next_refresh = clock::now() + interval;
        }
        int user = 0;
        if (gget_num_images() > 1 && gget_looping()) {
            cursor(3);
            gloop_sleep();
            if (s.input_mode == GINPUT_DONE || !gget_looping())
                continue;
            if (s.mapped)
                gdisplay_frame(ginc_frame(0));
            ZOR_init_time();
            pending(&user);
            continue;
        }
        cursor(gget_num_images() > 1 ? 4 : 6);
        if (!refreshing) {
            gwait_event();
        } else if (pending(&user) > 0) {
            idle = 0;
        } else {
            ZOR_sleep(++idle <= 50 ? 0.1f : 0.5f);
        }
    }
    if (!is_open())
        return 0;
    s.input_mode = GINPUT_IDLE;
    gbell(50);
    gset_cursor(0);
    gsync();
    return 0;
}

void gevnt_reset_state() {
    auto &s = est();
    if (s.xor_gc && display())
        XFreeGC(display(), s.xor_gc);
    s = EventState{};
}
