#include "plot/plt_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/file_io.h"
#include "base/file_name.h"
#include "base/flag.h"
#include "base/image.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "base/system.h"
#include "gks/colors.h"
#include "gks/gif.h"
#include "gks/gks.h"
#include "gks/gks_dump.h"
#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_mem.h"
#include "gks/gks_x11.h"
#include "gks/gph.h"
#include "gks/png.h"
#include "gks/xdump.h"
#include "map/cty_tool.h"
#include "map/maptran.h"
#include "map/region.h"
#include "plot/plt_labl.h"
#include "plot/plt_param.h"

namespace {

constexpr float kLabelMargin = 0.05f;
constexpr size_t kMaxStatus = 300;
constexpr int kNoDevice = 99;
constexpr int kBusyCursor = 8;
constexpr int kAllFrames = -4;

struct PltState {
    int work_id = 0;
    int wk_type = 0;
    float view_off[4] = {0, 0, kLabelMargin, kLabelMargin}; // left, right, bottom, top
    float view_offset = kLabelMargin;
    float dis_view[4] = {0, 0, 0, 0}; // viewport in use
    int dump = 0;
    std::string dump_file;
    int zoom = 0;
    DOMAIN unzoomed;
    float anchor_x = 0, anchor_y = 0;
    bool band = false;
    PLT_EVENT_FUNC callback = nullptr;
    PLT_DOMAIN_FUNC zoom_func = nullptr;
    PLT_DOMAIN_FUNC resize_func = nullptr;
    PLT_DOMAIN_FUNC refresh_func = nullptr;
    PLT_DETACH_FUNC detach = ZOR_back_proc;
    PLT_IMAGE_WRITER img_writer = nullptr;
    bool file_output = false;
};

PltState &st() {
    static PltState s;
    return s;
}

bool is_map_proj(int proj) {
    return proj >= 1 && proj <= 9;
}

// Plotting is off when every draw flag is off or the device is "none".
bool plotting_off() {
    return FLAG_getplot(12) == 0 || FLAG_get(FLAG_DEVICE) == kNoDevice;
}

bool wants_window() {
    const int dev = FLAG_get(FLAG_DEVICE);
    return dev < 1 || dev == GWS_WIN;
}

// ---- memory workstation fallback ------------------------------------------------------
// A batch run that writes dumps or files of its own needs no screen: when no display can be opened
// the picture is drawn in memory, at the size the window would have had ("geometry"), with the plot
// set up as for the window. One line says so. False when that fails too.
bool open_memory_workstation(float aspect) {
    PltState &s = st();
    GPH_set_win_title();
    CLR_read_table(nullptr);
    RES_getval("draw", nullptr, RES_DRAW_LIST);
    if (GPH_begin(s.work_id, "", GWS_MEM) != 0)
        return false;
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    MESS_print(MESS_MESS, "No display: drawing in memory (%dx%d)\n", w, h);
    GPH_reset(s.work_id, GWS_MEM, s.dis_view, aspect);
    return true;
}

bool no_display() {
    const char *d = std::getenv("DISPLAY");
    return !d || !*d;
}

// The kernel's event callback: the program's function gets the event name and position.
int event_trampoline(int /*kind*/, const char *text, float x, float y) {
    if (st().callback)
        return st().callback(text, x, y);
    return 0;
}

// Runs a drawing function the way the window's callbacks do: transformation 0 while it
// draws, the busy cursor, then the plot panel's transformation and the window updated.
int redraw_with(PLT_DOMAIN_FUNC func, const DOMAIN &domain) {
    gsel_norm_tran(0);
    const int old = gset_cursor(kBusyCursor);
    int r = 0;
    if (func)
        r = func(&domain);
    gsel_norm_tran(2);
    gupdate_window();
    gset_cursor(old);
    return r;
}

DOMAIN current_domain() {
    DOMAIN d;
    MAP_get_domain(&d);
    return d;
}

// ---- dumps ----------------------------------------------------------------------------

struct DumpKind {
    const char *what; // as the messages name it
    int (*write)(const char *name, IMAGE &image);
};

int write_xwd(const char *name, IMAGE &im) {
    return XWD_write(name, &im);
}
int write_gif(const char *name, IMAGE &im) {
    return GIF_write(name, &im);
}
int write_img(const char *name, IMAGE &im) {
    return st().img_writer ? st().img_writer(name, &im) : 0;
}
int write_png(const char *name, IMAGE &im) {
    return PNG_write(name, &im);
}

const DumpKind *dump_kind(int type) {
    static constexpr DumpKind kKinds[] = {
        {"xdump", write_xwd}, {"GIF", write_gif}, {"IMG", write_img}, {"PNG", write_png}};
    if (type < PLT_DUMP_XWD || type > PLT_DUMP_PNG)
        return nullptr;
    return &kKinds[type - 1];
}

// The template expanded for the date, in the "image_path" folder.
std::string dump_name(const DATE &date) {
    std::string name;
    FILE_set_date(&date, &name);
    const char *dir = RES_get("image_path");
    if (dir && *dir && !str_equal_nocase(dir, "none")) {
        std::string joined;
        if (FILE_add_path(dir, name.c_str(), &joined))
            name = joined;
    }
    return name;
}

void write_dump(const DumpKind &kind, const DATE &date) {
    const std::string name = dump_name(date);
    IMAGE image;
    const bool ok = gget_image(&image) == 0 && kind.write(name.c_str(), image) == 1;
    if (ok)
        MESS_print(MESS_MESS, "Wrote %s file: %s\n", kind.what, name.c_str());
    else
        MESS_print(MESS_WARN, "PLT_dump: Unable to write %s file: %s\n", kind.what, name.c_str());
}

std::string frame_key(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%2.2d", n);
    return text;
}

} // namespace

int PLT_open(float aspect) {
    PltState &s = st();
    PLT_param_decode();
    std::copy(s.view_off, s.view_off + 4, s.dis_view);
    if (plotting_off())
        return -1;
    s.work_id = 1;
    const bool memory_ok = FLAG_batch() && (s.dump != 0 || s.file_output) && wants_window();
    if (memory_ok && no_display() && open_memory_workstation(aspect)) {
        s.wk_type = GPH_get_ws_type();
        return 0;
    }
    if (GPH_setup(s.work_id, 0, s.dis_view, aspect) != 0) {
        if (!(memory_ok && open_memory_workstation(aspect)))
            PLT_exit(4);
    }
    s.wk_type = GPH_get_ws_type();
    return 0;
}

int PLT_reset(float aspect) {
    PltState &s = st();
    std::copy(s.view_off, s.view_off + 4, s.dis_view);
    const int type = PLT_get_label_type();
    PLT_set_label_type(type < 0 ? -1 : type > 0 ? 1 : 0);
    if (plotting_off())
        return -1;
    return GPH_reset(s.work_id, s.wk_type, s.dis_view, aspect);
}

int PLT_close() {
    PltState &s = st();
    if (FLAG_batch() && s.detach && s.detach() != 0) {
        MESS_print(MESS_ERROR, "PLT_close: Unable to run in the background\n");
        ZOR_exit(1);
    }
    if (FLAG_get(FLAG_DEVICE) == kNoDevice)
        return -1;
    if (gchk_graphics()) {
        gsel_norm_tran(2);
        if (s.dump == 0)
            GPH_hold(0);
        gclear_ws(s.work_id, 1);
        GPH_end(s.work_id);
    }
    PLT_init_labels();
    return 0;
}

void PLT_exit(int status) {
    if (gchk_graphics())
        GPH_end(st().work_id);
    ZOR_exit(status);
}

int PLT_set_callback(PLT_EVENT_FUNC func) {
    if (!func)
        return 0;
    st().callback = func;
    gset_mouse_callback(event_trampoline);
    return 0;
}

int PLT_set_zoom_func(PLT_DOMAIN_FUNC func) {
    st().zoom_func = func;
    return 0;
}

int PLT_set_resize_func(PLT_DOMAIN_FUNC func) {
    st().resize_func = func;
    return 0;
}

int PLT_set_refresh_func(float interval, PLT_DOMAIN_FUNC func) {
    st().refresh_func = func;
    gset_refresh_callback(interval, PLT_plot_refresh);
    return 0;
}

int PLT_plot_refresh() {
    return redraw_with(st().refresh_func, current_domain());
}

int PLT_plot_resize(const char *event) {
    if (event && std::string_view(event) == "size")
        redraw_with(st().resize_func, current_domain());
    return 0;
}

int PLT_plot_zoom(const char *event, float x, float y) {
    PltState &s = st();
    const std::string_view ev = event ? event : "";
    if (ev == "B1-P-Shft") {
        s.anchor_x = x;
        s.anchor_y = y;
        s.band = true;
        gset_rubber_band(2);
        return 0;
    }
    if (ev.starts_with("B1-R") && s.band) {
        s.band = false;
        if (x == s.anchor_x || y == s.anchor_y)
            return -1;
        const DOMAIN cur = current_domain();
        DOMAIN next = cur;
        if (is_map_proj(cur.proj)) {
            if (cur.nx < 2 || cur.ny < 2)
                return -1;
            const float w = std::fabs(x - s.anchor_x), h = std::fabs(y - s.anchor_y);
            float lat, lon;
            MAP_untran(&lat, &lon, (x + s.anchor_x) / 2, (y + s.anchor_y) / 2);
            next.clat = lat;
            next.clon = lon;
            next.dx = next.dy = std::max(w / float(cur.nx - 1), h / float(cur.ny - 1));
            DOM_set_base_prior(h);
        } else {
            // Corners in data units: the lower-left one is the new origin.
            float lat1, lon1, lat2, lon2;
            MAP_untran(&lat1, &lon1, std::min(x, s.anchor_x), std::min(y, s.anchor_y));
            MAP_untran(&lat2, &lon2, std::max(x, s.anchor_x), std::max(y, s.anchor_y));
            next.clat = lat1;
            next.clon = lon1;
            next.dx = lon2 - lon1;
            next.dy = lat2 - lat1;
            if (cur.proj == 23 || cur.proj == 40)
                next.dx = std::fabs(x - s.anchor_x);
            if (cur.proj == 23)
                next.dy = std::fabs(y - s.anchor_y);
        }
        if (s.zoom == 0)
            s.unzoomed = cur;
        ++s.zoom;
        MESS_print(MESS_MESS, "New domain: ");
        DOM_print(MESS_MESS, &next);
        redraw_with(s.zoom_func, next);
        return 1;
    }
    if (ev == "u-Alt") {
        s.band = false;
        if (s.zoom == 0)
            return -1;
        MESS_print(MESS_MESS, "Original domain: ");
        DOM_print(MESS_MESS, &s.unzoomed);
        if (is_map_proj(s.unzoomed.proj) && s.unzoomed.ny > 1 && s.unzoomed.dy != MISSING_F)
            DOM_set_base_prior(float(s.unzoomed.ny - 1) * s.unzoomed.dy);
        const DOMAIN back = s.unzoomed;
        s.zoom = 0;
        redraw_with(s.zoom_func, back);
        return 1;
    }
    if (ev == "r-Alt") {
        s.band = false;
        redraw_with(s.zoom_func, current_domain());
        return 1;
    }
    s.band = false;
    return 0;
}

int PLT_print_location(const char *event, float x, float y) {
    if (!event || std::string_view(event) != "v-Alt")
        return 0;
    float lat, lon;
    MAP_untran(&lat, &lon, x, y);
    MESS_print(MESS_PRINT, "Lat: %6.2f Lon: %7.2f XY: %6.2f %6.2f Pixel: %6.2f %6.2f\n", lat, lon,
               x, y, xW_p(x), yW_p(y));
    return 1;
}

int PLT_print_values(const char *event, float x, float y) {
    if (PLT_print_location(event, x, y) != 1)
        return 0;
    float lat, lon;
    if (MAP_untran(&lat, &lon, x, y) != 1)
        return 1;
    const DOMAIN dom = current_domain();
    const CTY_STATION *near = nullptr;
    if (CTY_store(nullptr, CTY_MODE_POSITION, &dom, MISSING) &&
        CTY_search_loc(&near, lat, lon) == 1 && near) {
        MESS_print(MESS_PRINT, "Id: %s Lat: %6.2f Lon: %7.2f ", near->plot.id.c_str(),
                   near->rec.lat, near->rec.lon);
        MESS_print(MESS_PRINT, "\n");
    }
    return 1;
}

int PLT_set_zoom(int n) {
    st().zoom = n;
    return 0;
}

int PLT_get_zoom() {
    return st().zoom;
}

const DOMAIN &PLT_get_unzoomed() {
    return st().unzoomed;
}

void PLT_set_detach_func(PLT_DETACH_FUNC func) {
    st().detach = func;
}

void PLT_set_image_writer(PLT_IMAGE_WRITER func) {
    st().img_writer = func;
}

void PLT_set_file_output(bool on) {
    st().file_output = on;
}

int PLT_dump(int frame) {
    const PltState &s = st();
    const DumpKind *kind = dump_kind(s.dump);
    if (!kind)
        return -1;
    FILE_save_name_conv();
    DATE date;
    FILE_get_date(&date);
    FILE_set_name(("@" + s.dump_file).c_str());
    const char *title = gget_win_title();
    FILE_set_key('p', title ? title : "");
    const int frames = gget_num_images();
    if (frame == kAllFrames && frames >= 2 && PLT_dump_animates()) {
        FILE_set_key('i', "all");
        const std::string name = dump_name(date);
        if (GIF_dump_frames(name.c_str()) == 1)
            MESS_print(MESS_MESS, "Wrote %s file: %s\n", kind->what, name.c_str());
        else
            MESS_print(MESS_WARN, "PLT_dump: Unable to write %s file: %s\n", kind->what,
                       name.c_str());
    } else if (frame == kAllFrames && frames >= 2) {
        for (int i = 0; i < frames; ++i) {
            gselect_frame(i);
            FILE_set_key('i', frame_key(i).c_str());
            write_dump(*kind, date);
        }
    } else if (frames > 0) {
        if (frame >= 0)
            gselect_frame(frame);
        FILE_set_key('i', frame_key(frame >= 0 ? frame : gget_cur_frame()).c_str());
        write_dump(*kind, date);
    } else {
        FILE_set_key('i', "win");
        write_dump(*kind, date);
    }
    FILE_restore_name_conv();
    return 0;
}

bool PLT_dump_animates() {
    return st().dump == PLT_DUMP_GIF && PLT_get_params().gif_anim;
}

int PLT_get_view(float out[4]) {
    if (out)
        std::copy(st().dis_view, st().dis_view + 4, out);
    return 0;
}

int PLT_get_work_type() {
    return st().wk_type;
}

int PLT_set_open_state(int work_id, int work_type, const float view[4]) {
    PltState &s = st();
    s.work_id = work_id;
    s.wk_type = work_type;
    if (view)
        std::copy(view, view + 4, s.dis_view);
    return 0;
}

int PLT_set_view_offset(float f) {
    PLT_set_view_offsets(0, 0, f, f);
    st().view_offset = f;
    return 0;
}

int PLT_set_view_offsets(float left, float right, float bottom, float top) {
    float *v = st().view_off;
    v[0] = left;
    v[1] = right;
    v[2] = bottom;
    v[3] = top;
    return 0;
}

float PLT_get_view_offset() {
    return st().view_offset;
}

int PLT_get_view_offsets(float out[4]) {
    if (out)
        std::copy(st().view_off, st().view_off + 4, out);
    return 0;
}

int PLT_set_dump(int type, const char *name) {
    PltState &s = st();
    s.dump = type;
    if (name && *name)
        s.dump_file = name;
    else
        s.dump_file = type == PLT_DUMP_GIF   ? "zor.gif"
                      : type == PLT_DUMP_PNG ? "zor.png"
                      : type == PLT_DUMP_IMG ? "zor.img"
                                             : "zor.xwd";
    return 0;
}

int PLT_get_dump(std::string *name) {
    if (name)
        *name = st().dump_file;
    return st().dump;
}

int PLT_mess(const char *format, ...) {
    if (!format || !gchk_graphics())
        return 0;
    char text[kMaxStatus + 1];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return gmessage(st().work_id, text);
}

void PLT_reset_state() {
    st() = PltState{};
}
