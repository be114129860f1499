// Graphics kernel: open and close, workstation dispatch, messages, plain accessors and
// segments. The device of the open workstation is reached through GksDevice
// (gks_device.h); the table of devices is in gks_devtab.cpp.
#include <cstring>

#include "base/mess.h"
#include "base/string.h"
#include "gks/gks_meta.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

namespace gks::detail {

namespace {
// Stands in while no workstation is open, so that dev() is always usable.
class NullDevice final : public GksDevice {
  public:
    int ws_type() const override { return 0; }
    int device_class() const override { return -1; }
};
} // namespace

KernelState &kernel() {
    static KernelState s;
    return s;
}

KernelResources &kres() {
    static KernelResources r;
    return r;
}

GksDevice &dev() {
    static NullDevice none;
    auto &r = kres();
    return r.device ? *r.device : none;
}

int colr_slot(int index) {
    if (index == -1)
        return 256;
    if (index >= 0 && index <= 256)
        return index;
    return -1;
}

std::vector<GPoint> as_points(int n, const float *pts) {
    std::vector<GPoint> out(static_cast<size_t>(n > 0 ? n : 0));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = {pts[2 * i], pts[2 * i + 1]};
    return out;
}

bool require_open(const char *function) {
    if (kernel().open_graphics)
        return true;
    gerr_printf(function, "GKS not opened\n");
    return false;
}

int check_colr(const char *function, int index) {
    if (!gis_valid_colr(index)) {
        gerr_printf(function, "invalid color index: %d\n", index);
        return -9999;
    }
    if (caps().allocated_colors) {
        if (index >= GCOLR_PRINT_FIRST)
            index = 1;
        if (kernel().color_ind[colr_slot(index)] == -1) {
            gerr_printf(function, "color index not initialized\n");
            return -9999;
        }
    }
    return index;
}

} // namespace gks::detail

using namespace gks::detail;

void gerr_printf(const char *function, const char *format, ...) {
    if (!kres().err_file)
        return;
    va_list ap;
    va_start(ap, format);
    std::string text = std::string(function ? function : "GKS") + ": ";
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::string body(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(body.data(), body.size(), format, ap);
        body.resize(static_cast<size_t>(n));
        text += body;
    }
    va_end(ap);
    MESS_print(MESS_WARN, "%s", text.c_str());
}

int gopen_gks(const char *name) {
    auto &r = kres();
    r.err_owned.reset();
    r.err_file = nullptr;
    if (!name) {
        r.err_file = stderr;
        return 0;
    }
    r.err_owned = FILE_open(name, "w");
    if (!r.err_owned)
        return 1;
    r.err_file = r.err_owned.get();
    return 0;
}

int gclose_gks() {
    auto &r = kres();
    r.err_owned.reset();
    r.err_file = nullptr;
    return 0;
}

int gemergency_close_gks() {
    return 0;
}
int gactivate_ws() {
    return 0;
}
int gdeactivate_ws() {
    return 0;
}
int gget_ws_id() {
    return 1;
}

GksDevice *gget_device() {
    return kres().device.get();
}

std::unique_ptr<GksDevice> gswap_device(std::unique_ptr<GksDevice> device) {
    std::swap(kres().device, device);
    if (kres().device)
        kernel().win_type = kres().device->ws_type();
    return device;
}

int gopen_ws_device(std::unique_ptr<GksDevice> device) {
    if (!device)
        return -1;
    auto &k = kernel();
    if (k.open_graphics)
        gclose_ws(1);
    if (const auto &s = device->surface()) {
        k.win_x = s->x;
        k.win_y = s->y;
        k.win_width = s->width;
        k.win_height = s->height;
    }
    int cls = device->device_class();
    // The store records only for a device that keeps it; ginit_objs may still switch
    // recording off.
    int store = device->caps().keeps_store ? 1 : 0;
    gset_redraw(store);
    gset_cache(store);
    kres().device = std::move(device);
    k.win_type = kres().device->ws_type();
    k.open_graphics = 1;
    ginit_objs();
    ginit_plot(cls);
    gsetup_fonts();
    dev().after_open();
    return 0;
}

int gopen_ws_args(const GksOpenArgs &args) {
    GksDeviceFactory open = gks_find_device(args.type);
    if (!open) {
        gerr_printf(args.reporter.c_str(), "workstation type %d is not available\n", args.type);
        return -1;
    }
    auto device = open(args);
    if (!device)
        return -1;
    return gopen_ws_device(std::move(device));
}

int gopen_ws(int ws_id, const char *connection, int type) {
    GksOpenArgs args;
    args.ws_id = ws_id;
    args.type = type;
    args.connection = connection ? connection : "";
    return gopen_ws_args(args);
}

int gclose_ws(int /*ws_id*/) {
    auto &k = kernel();
    if (!k.open_graphics)
        return -1;
    if (kres().device)
        kres().device->close();
    kres().device.reset();
    gclear_objs();
    k.win_width = 0;
    k.win_height = 0;
    k.open_graphics = 0;
    return 0;
}

int gclear_ws(int /*ws_id*/, int /*flag*/) {
    if (!kernel().open_graphics || !caps().clears_window)
        return 0;
    dev().clear();
    gclear_objs();
    return 0;
}

int ginit_plot(int device_class) {
    if (device_class == -1)
        return 0;
    greset_line();
    greset_marker();
    greset_fill();
    greset_text();
    ginit_tran(device_class);
    if (kernel().open_graphics)
        font_sync();
    dev().init_plot(device_class);
    return 0;
}

int gchk_graphics() {
    return kernel().open_graphics;
}

bool ginq_ws_pixels() {
    return kernel().open_graphics && caps().pixels;
}

int ginq_ws_color() {
    return kernel().open_graphics ? caps().color : GWS_COLOR_INDEXED;
}

bool gtype_is_WIN() {
    return kernel().win_type == GWS_WIN;
}
bool gtype_is_PIX() {
    return kernel().win_type == GWS_PIX;
}
bool gtype_is_WIN_PIX() {
    return gtype_is_WIN() || gtype_is_PIX();
}
bool gtype_is_META() {
    return kernel().win_type == GWS_META;
}
bool gtype_is_PS() {
    return kernel().win_type == GWS_PS;
}
bool gtype_is_HPGL() {
    return kernel().win_type == GWS_HPGL;
}

int gget_win_type() {
    return kernel().win_type;
}
int gset_win_type(int type) {
    kernel().win_type = type;
    return 0;
}
int gset_pix_mode(int mode) {
    kernel().pix_mode = mode;
    return 0;
}
int gget_pix_mode() {
    return kernel().pix_mode;
}

void gget_win_size(int *width, int *height) {
    if (width)
        *width = kernel().win_width;
    if (height)
        *height = kernel().win_height;
}

int gset_win_size(int width, int height) {
    auto &k = kernel();
    k.win_width = width;
    k.win_height = height;
    ginit_tran(GCLASS_RESIZE);
    return 0;
}

void gget_win_offset(int *x, int *y) {
    if (x)
        *x = kernel().win_x;
    if (y)
        *y = kernel().win_y;
}

void gset_win_offset(int x, int y) {
    kernel().win_x = x;
    kernel().win_y = y;
}

void gget_root_size(int *width, int *height) {
    if (width)
        *width = kernel().root_width;
    if (height)
        *height = kernel().root_height;
}

void gset_root_size(int width, int height) {
    kernel().root_width = width;
    kernel().root_height = height;
}

int gget_win_depth() {
    return kernel().open_graphics ? dev().depth() : 0;
}

int gset_prog_name(const char *name) {
    kernel().prog_name = std::string(name ? name : "").substr(0, 19);
    return 0;
}
const char *gget_prog_name() {
    return kernel().prog_name.c_str();
}

int gset_win_title(const char *title) {
    kernel().win_title = std::string(title ? title : "").substr(0, 59);
    if (kernel().open_graphics)
        if (GksInteractive *w = window_services())
            w->title_changed();
    return 0;
}
const char *gget_win_title() {
    return kernel().win_title.c_str();
}

int gset_font_drop(int count) {
    kernel().drop_shadow = count < 0 ? 0 : count;
    return 0;
}
int gget_font_drop() {
    return kernel().drop_shadow;
}

int gset_line_print_bold(int factor) {
    auto &k = kernel();
    if (factor == k.line_print_bold)
        return 0;
    k.line_print_bold = factor;
    gnew_obj(GOBJ_LINE_PRINT_BOLD, factor, 0, nullptr);
    dev().attribute(GAttr::LinePrintBold);
    return 0;
}
int gget_line_print_bold() {
    return kernel().line_print_bold;
}

int gset_fill_print_solid(int flag) {
    auto &k = kernel();
    if (flag == k.fill_print_solid)
        return 0;
    k.fill_print_solid = flag;
    gnew_obj(GOBJ_FILL_PRINT_SOLID, flag, 0, nullptr);
    dev().attribute(GAttr::FillPrintSolid);
    return 0;
}
int gget_fill_print_solid() {
    return kernel().fill_print_solid;
}

int gget_line_gc_func() {
    return kernel().line_gc_func;
}
int gset_line_gc_func(int function) {
    kernel().line_gc_func = function;
    dev().attribute(GAttr::LineGcFunc);
    return 0;
}

int gset_text_path(int) {
    return 0;
}
int gset_font_drop_color(int) {
    return 0;
}
int gset_tran_mult(int) {
    return 0;
}
int greset_clip() {
    return 0;
}

int gmessage(int ws, const char *text) {
    if (!require_open("gmessage"))
        return -1;
    std::string s = text ? text : "";
    gnew_obj(GOBJ_MESSAGE, ws, s.size() + 1, s.c_str());
    dev().message(ws, s);
    return 0;
}

namespace {
int segment_call(const char *function, GSegOp op, int n) {
    if (!require_open(function))
        return -1;
    if (caps().writes_calls) {
        dev().segment(op, n);
        return -1;
    }
    switch (op) {
    case GSegOp::Create:
        gnew_obj(GOBJ_SEG_OPEN, n, 0, nullptr);
        break;
    case GSegOp::Close:
        gnew_obj(GOBJ_SEG_CLOSE, n, 0, nullptr);
        break;
    case GSegOp::Delete:
        gdel_seg_objs(n);
        break;
    }
    dev().segment(op, n);
    return 0;
}
} // namespace

int gcreate_seg(int n) {
    return segment_call("gcreate_seg", GSegOp::Create, n);
}
int gclose_seg(int n) {
    return segment_call("gclose_seg", GSegOp::Close, n);
}
int gdel_seg(int n) {
    return segment_call("gdel_seg", GSegOp::Delete, n);
}

void gks_reset_state() {
    kres().device.reset();
    kres().err_owned.reset();
    kres().err_file = nullptr;
    kernel() = KernelState{};
    gobj_reset_state();
    font_reset_state();
    gmeta_reset_state();
}
