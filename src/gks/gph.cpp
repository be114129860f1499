// Plotting layer: opens and closes the kernel, lays out the plot panel, applies attribute
// records and draws simple shapes in world coordinates.
#include "gks/gph.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <span>
#include <strings.h>
#include <vector>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "gks/gks.h"
#include "gks/gks_device.h"

namespace {

struct GphState {
    float xvp = 1, yvp = 1;
    float sizex = 1, sizey = 1, offx = 0, offy = 0;
    std::string def_font;
    int req_type = 0;
    int act_type = 0;
    bool open = false;
    GPH_hold_func hold = nullptr;
};

GphState &gst() {
    static GphState s;
    return s;
}

bool given(float v) {
    return v != static_cast<float>(ATTRIB_MISSING);
}
bool given(int v) {
    return v != ATTRIB_MISSING;
}

std::string format_text(const char *format, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(s.data(), s.size(), format, ap);
    s.resize(static_cast<size_t>(n));
    return s;
}

std::vector<float> circle_points(float x, float y, float r) {
    std::vector<float> pts;
    pts.reserve(74);
    for (int i = 0; i <= 36; ++i) {
        double a = i * 10.0 * std::numbers::pi / 180.0;
        pts.push_back(x + r * static_cast<float>(std::cos(a)));
        pts.push_back(y + r * static_cast<float>(std::sin(a)));
    }
    return pts;
}

std::vector<float> rect_points(float x1, float y1, float x2, float y2) {
    return {x1, y1, x2, y1, x2, y2, x1, y2, x1, y1};
}

const char *first_set(std::span<const char *const> names) {
    for (const char *n : names) {
        if (!n)
            break;
        if (const char *v = std::getenv(n); v && *v)
            return v;
    }
    return nullptr;
}

// What a device may not look up itself: the device asked for ("zorprint" turns PostScript
// into HP-GL), the "geometry" resource or the device's geometry variable, and the output
// name from the device's environment variable.
GksOpenArgs open_args(const char *connection, int type) {
    GksOpenArgs args;
    if (type == GWS_PS) {
        const char *p = std::getenv("zorprint");
        if (p && strcasecmp(p, "hpgl") == 0)
            type = GWS_HPGL;
    }
    args.type = type;
    args.connection = connection ? connection : "";
    const GksDeviceEntry *e = gks_find_entry(type);
    const char *g = RES_get("geometry");
    if ((!g || !*g) && e)
        g = first_set(e->geometry_env);
    args.geometry = g ? g : "";
    if (const char *o = e ? first_set(e->output_env) : nullptr)
        args.output = o;
    if (const char *b = RES_get("background"))
        args.background = b;
    int icon = 0;
    if (RES_getval("icon", &icon, RES_BOOL))
        args.iconic = icon ? 1 : 0;
    return args;
}

} // namespace

int gdevice_setup(const char *text, std::string *rest) {
    std::string s = text ? text : "";
    size_t comma = s.find(',');
    std::string device = s.substr(0, comma);
    if (rest)
        *rest = comma == std::string::npos ? std::string() : s.substr(comma + 1);
    return RES_set_device(device.c_str());
}

int GPH_device_prompt(int type) {
    if (type != 0)
        return type;
    std::string answer;
    ZOR_prompts("Display (D) or Postscript (P): ", answer, 10);
    return (!answer.empty() && (answer[0] == 'P' || answer[0] == 'p')) ? GWS_PS : GWS_WIN;
}

int GPH_set_win_title() {
    const char *name = RES_get("name");
    std::string prog = RES_get_progname();
    gset_prog_name(name && *name ? name : prog.c_str());
    const char *title = RES_get("title");
    if (title && *title)
        gset_win_title(title);
    else if (name && *name)
        gset_win_title(name[0] == '+' ? name + 1 : name);
    else
        gset_win_title(prog.c_str());
    return 0;
}

int GPH_setup(int ws_id, int type, float *panel, float aspect) {
    std::string connection;
    const char *device = RES_get("device");
    if (device && *device)
        gdevice_setup(device, &connection);
    int ws_type = FLAG_get(FLAG_DEVICE);
    if (ws_type < 1)
        ws_type = FLAG_batch() ? GWS_WIN : 0;
    GPH_set_win_title();
    CLR_read_table(nullptr);
    RES_getval("draw", nullptr, RES_DRAW_LIST); // sets the draw flags
    if (GPH_begin(ws_id, connection.c_str(), ws_type) != 0)
        return -1;
    return GPH_reset(ws_id, type, panel, aspect);
}

int GPH_begin(int /*ws_id*/, const char *connection, int type) {
    auto &s = gst();
    FILE_delete("zorgks.err");
    s.req_type = type;
    if (type == 0) {
        std::string answer;
        ZOR_prompts("Display (D) or Postscript (P): ", answer, 10);
        type = RES_set_device(answer.c_str());
        FLAG_set(FLAG_DEVICE, type);
    }
    GksOpenArgs args = open_args(connection, type);
    if (!s.open) {
        if (gopen_gks(nullptr) != 0) {
            MESS_print(MESS_ERROR, "GPH_begin: Error opening Kernel System\n");
            return -1;
        }
        if (gopen_ws_args(args) != 0) {
            MESS_print(MESS_ERROR, "GPH_begin: Error opening workstation\n");
            gclose_gks();
            return -1;
        }
    }
    s.open = true;
    s.act_type = args.type;
    return 0;
}

int GPH_end(int /*ws_id*/) {
    auto &s = gst();
    gclose_ws(1);
    gclose_gks();
    s.open = false;
    FLAG_set(FLAG_DEVICE, s.req_type);
    return 0;
}

int GPH_reset(int ws_id, int type, float *panel, float aspect) {
    auto &s = gst();
    gclear_ws(ws_id, 1);
    ginq_maxview(ws_id, &s.xvp, &s.yvp);
    float r[4] = {0, s.xvp, 0, s.yvp};
    gset_ws_win(ws_id, r);
    gset_vp(1, r);
    gset_win(1, r);
    GPH_panel(ws_id, type, panel, aspect);
    for (int i = 0; i < CLR_get_num(); ++i) {
        float rgb[3];
        if (CLR_get_rgb(i, &rgb[0], &rgb[1], &rgb[2]) == 0)
            gset_colr_rep(ws_id, i, rgb);
    }
    GPH_text_font(nullptr);
    return 0;
}

int GPH_panel(int /*ws_id*/, int /*type*/, float *panel, float aspect) {
    const auto &s = gst();
    float p[4] = {0, 0, 0, 0};
    if (panel)
        for (int i = 0; i < 4; ++i)
            p[i] = panel[i];
    float in[4] = {(s.sizex * p[0] + s.offx) * s.xvp, (s.offx + s.sizex - s.sizex * p[1]) * s.xvp,
                   (s.sizey * p[2] + s.offy) * s.yvp, (s.offy + s.sizey - s.sizey * p[3]) * s.yvp};
    float a = aspect;
    if (a == 0)
        a = s.sizey * s.yvp != 0 ? (s.sizex * s.xvp) / (s.sizey * s.yvp) : 1.0f;
    float out[4];
    gset_aspect(in, out, 2, 2, a);
    gset_vp(2, out);
    gset_win(2, out);
    gset_vp(3, out);
    gset_win(3, out);
    GPH_line_attr(nullptr);
    gset_fill_int_style(1);
    gset_marker_width(0);
    GPH_text_attr(nullptr, 1);
    if (panel)
        for (int i = 0; i < 4; ++i)
            panel[i] = out[i];
    return 0;
}

int GPH_get_view_size(float *out) {
    const auto &s = gst();
    out[0] = s.offx * s.xvp;
    out[1] = (s.offx + s.sizex) * s.xvp;
    out[2] = s.yvp * s.offy;
    out[3] = (s.offy + s.sizey) * s.yvp;
    return 0;
}

float GPH_get_vert_win_size() {
    return gst().yvp;
}

int GPH_set_view_size(float sizex, float sizey, float offx, float offy) {
    auto &s = gst();
    s.sizex = sizex;
    s.sizey = sizey;
    s.offx = offx;
    s.offy = offy;
    return 0;
}

int GPH_line_attr(const ATTRIB *rec) {
    if (!rec) {
        gset_linetype(1);
        gset_linewidth(0);
        return 0;
    }
    if (given(rec->color) && rec->color >= 0)
        gset_line_colr_ind(rec->color);
    if (given(rec->style))
        gset_linetype(rec->style);
    if (given(rec->width))
        gset_linewidth(rec->width);
    return 0;
}

int GPH_fill_attr(const ATTRIB *rec) {
    if (!rec) {
        gset_fill_int_style(1);
        return 0;
    }
    if (given(rec->color) && rec->color >= 0)
        gset_fill_colr_ind(rec->color);
    if (given(rec->fill)) {
        if (rec->fill == 0) {
            gset_fill_int_style(1);
        } else {
            gset_fill_int_style(2);
            gset_fill_style_ind(rec->fill);
        }
    }
    return 0;
}

int GPH_mark_attr(const ATTRIB *rec, float scale) {
    if (!rec) {
        gset_marker_width(0);
        return 0;
    }
    if (given(rec->color) && rec->color >= 0)
        gset_marker_colr_ind(rec->color);
    if (given(rec->style))
        gset_marker_type(rec->style);
    if (given(rec->height))
        gset_marker_size(rec->height * scale);
    else if (scale > 0)
        gset_marker_size(scale);
    if (given(rec->width))
        gset_marker_width(rec->width);
    return 0;
}

int GPH_text_attr(const ATTRIB *rec, float scale) {
    if (!rec) {
        gset_text_width(0);
        gset_expan(1);
        gset_space(0.25f);
        return -1;
    }
    if (given(rec->color) && rec->color >= 0)
        gset_text_colr_ind(rec->color);
    if (given(rec->height))
        gset_char_ht(rec->height * scale);
    else if (scale > 0)
        gset_char_ht(scale);
    if (given(rec->width))
        gset_text_width(rec->width);
    if (given(rec->expan))
        gset_expan(rec->expan);
    if (given(rec->font)) {
        int fp[2] = {rec->font, 2};
        gset_fontprec(fp);
    }
    gset_space(0.25f);
    return 0;
}

int GPH_text_font(const char *name) {
    int fp[2] = {gget_font_index(name ? name : gst().def_font.c_str()), 2};
    return gset_fontprec(fp);
}

int GPH_set_def_font(const char *name) {
    gst().def_font = name ? name : "";
    return 0;
}

int GPH_text_align(int h, int v) {
    int a[2] = {h, v};
    return gset_text_align(a);
}

int GPH_get_text_align(int *h, int *v) {
    int a[2];
    ginq_text_align(nullptr, a);
    *h = a[0];
    *v = a[1];
    return 0;
}

int GPH_text_rotate(float degrees) {
    double a = degrees * std::numbers::pi / 180.0;
    float up[2] = {static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a))};
    return gset_char_up_vec(up);
}

int GPH_line(float x1, float y1, float x2, float y2) {
    float p[4] = {x1, y1, x2, y2};
    return gpolyline(2, p);
}

int GPH_mark(float x, float y) {
    float p[2] = {x, y};
    return gpolymarker(1, p);
}

int GPH_border(const float *r) {
    return GPH_rect(r[0], r[2], r[1], r[3]);
}

int GPH_rect(float x1, float y1, float x2, float y2) {
    auto p = rect_points(x1, y1, x2, y2);
    return gpolyline(5, p.data());
}

int GPH_frect(float x1, float y1, float x2, float y2) {
    auto p = rect_points(x1, y1, x2, y2);
    return gfill_area(5, p.data());
}

int GPH_circle(float x, float y, float r) {
    auto p = circle_points(x, y, r);
    return gpolyline(37, p.data());
}

int GPH_fcircle(float x, float y, float r) {
    auto p = circle_points(x, y, r);
    return gfill_area(37, p.data());
}

int GPH_pprint(const float *pos, const char *text) {
    return gtext(pos, text);
}

int GPH_pprintf(const float *pos, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string s = format_text(format, ap);
    va_end(ap);
    return gtext(pos, s.c_str());
}

int GPH_printf(const char *format, double x, double y, ...) {
    va_list ap;
    va_start(ap, y);
    std::string s = format_text(format, ap);
    va_end(ap);
    float pos[2] = {static_cast<float>(x), static_cast<float>(y)};
    return gtext(pos, s.c_str());
}

int GPH_set_color(int index, float r, float g, float b) {
    float rgb[3] = {r, g, b};
    return gset_colr_rep(1, index, rgb);
}

int GPH_trans(int n) {
    return gsel_norm_tran(n);
}
int GPH_view(int n, const float *r) {
    return gset_vp(n, r);
}
int GPH_win(int n, const float *r) {
    return gset_win(n, r);
}

int GPH_get_view(int n, float *out) {
    float t[8];
    int err = 0;
    if (ginq_norm_tran(n, &err, t) != 0)
        return -1;
    for (int i = 0; i < 4; ++i)
        out[i] = t[4 + i];
    return 0;
}

int GPH_get_win(int n, float *out) {
    float t[8];
    int err = 0;
    if (ginq_norm_tran(n, &err, t) != 0)
        return -1;
    for (int i = 0; i < 4; ++i)
        out[i] = t[i];
    return 0;
}

int GPH_print_view(const float *r) {
    MESS_print(MESS_PRINT, "%5.2f %5.2f %5.2f %5.2f\n", static_cast<double>(r[0]),
               static_cast<double>(r[1]), static_cast<double>(r[2]), static_cast<double>(r[3]));
    return 0;
}

int GPH_hold(int flag) {
    if (gst().hold)
        return gst().hold(flag);
    return 0;
}

void GPH_set_hold_func(GPH_hold_func func) {
    gst().hold = func;
}

int GPH_get_ws_type() {
    return gst().act_type;
}
bool GPH_is_open() {
    return gst().open;
}

void GPH_reset_state() {
    gst() = GphState{};
}
