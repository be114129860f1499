// Redraw store: recording kernel calls, deleting segments, replaying and printing.
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <strings.h>

#include "base/mess.h"
#include "gks/gks_meta.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

constexpr int kPollRecord = 500; // events polled every 500 recorded objects
constexpr int kPollReplay = 200; // and every 200 replayed ones

struct ObjState {
    std::vector<GksObject> objects;
    bool ready = false; // the list exists (after ginit_objs)
    int redraw = 1;
    int cache = 0;
    int redrawn = 0;
    int num_objects = 0;
};

ObjState &ost() {
    static ObjState s;
    return s;
}

template <typename T> bool get(const GksObject &o, size_t index, T *out) {
    if (o.data.size() < (index + 1) * sizeof(T))
        return false;
    std::memcpy(out, o.data.data() + index * sizeof(T), sizeof(T));
    return true;
}

bool floats(const GksObject &o, size_t n, float *out) {
    if (o.data.size() < n * sizeof(float))
        return false;
    std::memcpy(out, o.data.data(), n * sizeof(float));
    return true;
}

// Point list of a primitive object, checked against its count.
bool points(const GksObject &o, std::vector<float> *out) {
    if (o.value < 1 || o.data.size() < 2 * sizeof(float) * static_cast<size_t>(o.value))
        return false;
    out->resize(2 * static_cast<size_t>(o.value));
    std::memcpy(out->data(), o.data.data(), out->size() * sizeof(float));
    return true;
}

void poll_window() {
    if (GksInteractive *w = window_services())
        w->poll_events();
}

// Replays every object onto the open device; stops when another replay finished meanwhile.
void replay_all(bool poll) {
    auto &s = ost();
    s.redrawn = 0;
    for (size_t i = 0; i < s.objects.size(); ++i) {
        GksObject o = s.objects[i];
        gobj_redraw_funcs(o);
        if (poll && (i + 1) % kPollReplay == 0) {
            poll_window();
            if (s.redrawn)
                break;
        }
    }
}

// How the store is printed: the device, the name it reports under, its output file (empty:
// the device's default) and, when the page has a fixed size, the surface replayed onto;
// with device_page the surface the device asks for.
struct PrintJob {
    const char *who;
    const char *empty_message;
    int type;
    GksDeviceFactory opener;
    std::string file;
    std::optional<GSurface> page;
    bool device_page = false;
};

// Prints the store through a freshly opened device, then puts the window back.
int print_store(const PrintJob &job) {
    if (!job.opener) {
        gerr_printf(job.who, "no device of type %d to print to\n", job.type);
        return -1;
    }
    GksOpenArgs args;
    args.type = job.type;
    args.output = job.file;
    args.reporter = job.who;
    auto &s = ost();
    int old_redraw = s.redraw, old_cache = s.cache;
    s.redraw = 0;
    s.cache = 0;
    auto printer = job.opener(args);
    if (!printer) {
        s.redraw = old_redraw;
        s.cache = old_cache;
        return -1;
    }
    int device_class = printer->device_class();
    std::optional<GSurface> page = job.device_page ? printer->surface() : job.page;
    KernelState saved = kernel();
    GksInteractive *w = window_services();
    int cursor = w ? w->set_cursor(8) : 0;
    auto window = gswap_device(std::move(printer));
    auto &k = kernel();
    k.open_graphics = 1;
    if (page) {
        k.win_width = page->width;
        k.win_height = page->height;
        k.win_x = page->x;
        k.win_y = page->y;
    }
    ginit_plot(device_class);
    if (s.objects.empty())
        MESS_print(MESS_WARN, "%s", job.empty_message);
    replay_all(false);
    auto done = gswap_device(std::move(window));
    if (done)
        done->close();
    kernel() = saved;
    font_sync();
    s.redraw = old_redraw;
    s.cache = old_cache;
    if (w) {
        w->set_cursor(cursor);
        w->poll_events();
    }
    s.redrawn = 1;
    return 0;
}

} // namespace

int ginit_objs() {
    auto &s = ost();
    s.objects.clear();
    s.num_objects = 0;
    s.ready = true;
    std::string value;
    if (const char *env = std::getenv("zorredraw"))
        value = env;
    else if (GksInteractive *w = window_services())
        value = w->x_resource("redraw");
    if (strcasecmp(value.c_str(), "no") == 0)
        s.redraw = 0;
    return 0;
}

bool grecording() {
    return ost().redraw && ost().ready;
}

void *gnew_obj(int type, int value, size_t size, const void *data) {
    auto &s = ost();
    ++s.num_objects;
    if (s.cache && s.num_objects % kPollRecord == 0)
        poll_window();
    if (!grecording())
        return nullptr;
    GksObject o;
    o.type = type;
    o.value = value;
    if (size > 0) {
        o.data.assign(size, 0);
        if (data)
            std::memcpy(o.data.data(), data, size);
    }
    s.objects.push_back(std::move(o));
    auto &back = s.objects.back();
    return back.data.empty() ? nullptr : back.data.data();
}

int gset_redraw(int flag) {
    int old = ost().redraw;
    ost().redraw = flag;
    return old;
}
int gget_redraw() {
    return ost().redraw;
}

int gset_cache(int flag) {
    int old = ost().cache;
    ost().cache = flag;
    return old;
}
int gget_cache() {
    return ost().cache;
}

int gset_redraw_func(GRedrawFunc func, void *arg) {
    if (!grecording())
        return -1;
    gnew_obj(GOBJ_CALLBACK, 1, 0, nullptr);
    ost().objects.back().func = func;
    ost().objects.back().arg = arg;
    return 0;
}

int gclear_objs() {
    ost().objects.clear();
    return 0;
}

int gdel_seg_objs(int segment) {
    auto &s = ost();
    if (!s.redraw)
        return -1;
    auto &v = s.objects;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i].type != GOBJ_SEG_OPEN || v[i].value != segment)
            continue;
        size_t j = i + 1;
        while (j < v.size() && !(v[j].type == GOBJ_SEG_CLOSE && v[j].value == segment))
            ++j;
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(i),
                v.begin() + static_cast<std::ptrdiff_t>(std::min(j + 1, v.size())));
        break;
    }
    s.redraw = 1;
    s.cache = 1;
    return 0;
}

int gobj_redraw_funcs(const GksObject &o) {
    float f[4];
    int iv[2];
    std::vector<float> pts;
    switch (o.type) {
    case GOBJ_MESSAGE:
        if (!o.data.empty() && o.data.back() == '\0')
            return gmessage(o.value, reinterpret_cast<const char *>(o.data.data()));
        return -1;
    case GOBJ_WS_VP:
        return floats(o, 4, f) ? gset_ws_vp(o.value, f) : -1;
    case GOBJ_WS_WIN:
        return floats(o, 4, f) ? gset_ws_win(o.value, f) : -1;
    case GOBJ_SEL_TRAN:
        return gsel_norm_tran(o.value);
    case GOBJ_VP:
        return floats(o, 4, f) ? gset_vp(o.value, f) : -1;
    case GOBJ_WIN:
        return floats(o, 4, f) ? gset_win(o.value, f) : -1;
    case GOBJ_COLR_REP:
        return floats(o, 3, f) ? gset_colr_rep(1, o.value, f) : -1;
    case GOBJ_CLEAR_REGION:
        return floats(o, 4, f) ? gclear_region(f) : -1;
    case GOBJ_POLYLINE:
        return points(o, &pts) ? gpolyline(o.value, pts.data()) : -1;
    case GOBJ_LINETYPE:
        return gset_linetype(o.value);
    case GOBJ_LINEWIDTH:
        return get(o, 0, &f[0]) ? gset_linewidth(f[0]) : -1;
    case GOBJ_LINE_COLR:
        return gset_line_colr_ind(o.value);
    case GOBJ_LINE_PRINT_BOLD:
        return gset_line_print_bold(o.value);
    case GOBJ_POLYMARKER:
        return points(o, &pts) ? gpolymarker(o.value, pts.data()) : -1;
    case GOBJ_MARKER_TYPE:
        return gset_marker_type(o.value);
    case GOBJ_MARKER_SIZE:
        return get(o, 0, &f[0]) ? gset_marker_size(f[0]) : -1;
    case GOBJ_MARKER_COLR:
        return gset_marker_colr_ind(o.value);
    case GOBJ_MARKER_WIDTH:
        return get(o, 0, &f[0]) ? gset_marker_width(f[0]) : -1;
    case GOBJ_TEXT:
        if (o.data.size() > 2 * sizeof(float) && o.data.back() == '\0' && floats(o, 2, f))
            return gtext(f, reinterpret_cast<const char *>(o.data.data() + 2 * sizeof(float)));
        return -1;
    case GOBJ_SPACE:
        return get(o, 0, &f[0]) ? gset_space(f[0]) : -1;
    case GOBJ_CHAR_SPACE:
        return get(o, 0, &f[0]) ? gset_char_space(f[0]) : -1;
    case GOBJ_EXPAN:
        return get(o, 0, &f[0]) ? gset_expan(f[0]) : -1;
    case GOBJ_TEXT_COLR:
        return gset_text_colr_ind(o.value);
    case GOBJ_CHAR_HT:
        return get(o, 0, &f[0]) ? gset_char_ht(f[0]) : -1;
    case GOBJ_CHAR_UP:
        return floats(o, 2, f) ? gset_char_up_vec(f) : -1;
    case GOBJ_FONTPREC:
        return get(o, 0, &iv[0]) && get(o, 1, &iv[1]) ? gset_fontprec(iv) : -1;
    case GOBJ_TEXT_ALIGN:
        return get(o, 0, &iv[0]) && get(o, 1, &iv[1]) ? gset_text_align(iv) : -1;
    case GOBJ_TEXT_WIDTH:
        return get(o, 0, &f[0]) ? gset_text_width(f[0]) : -1;
    case GOBJ_FILL_AREA:
        return points(o, &pts) ? gfill_area(o.value, pts.data()) : -1;
    case GOBJ_FILL_INT:
        return gset_fill_int_style(o.value);
    case GOBJ_FILL_STYLE:
        return gset_fill_style_ind(o.value);
    case GOBJ_FILL_COLR:
        return gset_fill_colr_ind(o.value);
    case GOBJ_FILL_PRINT_SOLID:
        return gset_fill_print_solid(o.value);
    case GOBJ_SEG_OPEN:
        return gcreate_seg(o.value);
    case GOBJ_SEG_CLOSE:
        return gclose_seg(o.value);
    case GOBJ_CALLBACK:
        if (o.func)
            o.func(o.arg);
        return 0;
    default:
        return -1;
    }
}

int gobj_redraw_plot() {
    auto &s = ost();
    if (!s.redraw)
        return -1;
    GksInteractive *w = window_services();
    if (w)
        w->resize_to_window();
    int cursor = w ? w->set_cursor(8) : 0;
    ginit_plot(GCLASS_X11_RESIZED);
    s.redraw = 0;
    s.cache = 0;
    replay_all(true);
    s.redraw = 1;
    s.cache = 1;
    if (w) {
        w->set_cursor(cursor);
        w->poll_events();
    }
    s.redrawn = 1;
    return 0;
}

int gobj_print_plot() {
    // PostScript on a 756 by 576 point landscape page, or HP-GL on its own page when
    // "zorprint" asks for it. The output is named by the device's variables (device table).
    const char *printer = std::getenv("zorprint");
    bool hpgl = printer && strcasecmp(printer, "hpgl") == 0;
    int type = hpgl ? GWS_HPGL : GWS_PS;
    std::string file;
    if (const GksDeviceEntry *e = gks_find_entry(type))
        for (const char *var : e->output_env)
            if (const char *v = var ? std::getenv(var) : nullptr; v && *v && file.empty())
                file = v;
    PrintJob job{
        "gprint_plot", "gobj_print_plot: No redraw data to make Postscript file from\n",
        type,          gks_find_device(type),
        file,          hpgl ? std::nullopt : std::optional<GSurface>(GSurface{757, 577, 0, 0}),
        hpgl};
    int rc = print_store(job);
    if (rc == 0)
        if (GksInteractive *w = window_services())
            w->bell(50);
    return rc;
}

int gobj_print_meta() {
    const char *name = std::getenv("METAOUT");
    int old_type = gmeta_set_type(GMETA_TEXT);
    PrintJob job{"gprint_meta",
                 "gobj_print_meta: No redraw data to make metafile from\n",
                 GWS_META,
                 gmeta_open_device,
                 name ? name : "zor.meta",
                 std::nullopt};
    int rc = print_store(job);
    gmeta_set_type(old_type);
    return rc;
}

int gget_redrawn() {
    return ost().redrawn;
}
int gget_num_objects() {
    return ost().num_objects;
}
const std::vector<GksObject> &gget_objects() {
    return ost().objects;
}

void gobj_reset_state() {
    ost() = ObjState{};
}
