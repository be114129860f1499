// Normalization transformations, the device mapping and clipping.
//
// World -> NDC through the selected transformation's window and viewport; NDC -> device
// through the workstation window and the device rectangle, which keeps the workstation
// window's aspect ratio inside the workstation viewport. Pixels count y downwards and are
// clamped to the 16-bit coordinate range of X11; paper units count y upwards.
#include <algorithm>
#include <cmath>

#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

constexpr float kPixelLimit = 30000.0f;
constexpr float kPaperLimit = 100000.0f;

float ratio(float a, float b) {
    return b != 0.0f ? a / b : 0.0f;
}

float clamp_to(float v, float limit) {
    if (std::isnan(v))
        return 0.0f;
    return std::clamp(v, -limit, limit);
}

// Rounds a clamped device value the way drawing does: add 0.5 and truncate.
int round_px(float v) {
    return static_cast<int>(clamp_to(v, kPaperLimit) + 0.5f);
}

bool valid_tran(int n) {
    return n >= 0 && n < 6;
}

void update_scales() {
    auto &k = kernel();
    k.sx = ratio(k.cur_vp.dx, k.cur_win.dx);
    k.sy = ratio(k.cur_vp.dy, k.cur_win.dy);
}

void compute_device() {
    auto &k = kernel();
    float rx = ratio(k.ws_vp.dx, k.ws_win.dx);
    float ry = ratio(k.ws_vp.dy, k.ws_win.dy);
    float w, h;
    if (rx > ry) {
        h = k.ws_vp.dy;
        w = ratio(k.ws_win.dx * k.ws_vp.dy, k.ws_win.dy);
    } else {
        w = k.ws_vp.dx;
        h = ratio(k.ws_win.dy * k.ws_vp.dx, k.ws_win.dx);
    }
    float x0 = k.ws_vp.xmin + static_cast<float>(k.win_x);
    float y0 = k.ws_vp.ymin + static_cast<float>(k.win_y);
    k.dev.set(x0, x0 + w, y0, y0 + h);
    k.dsx = ratio(w, k.ws_win.dx);
    k.dsy = ratio(h, k.ws_win.dy);
}

void select(int n) {
    auto &k = kernel();
    k.cur_trans = n;
    k.cur_win = k.win[n];
    k.cur_vp = k.vp[n];
    update_scales();
    update_clip();
}

} // namespace

namespace gks::detail {

DPoint to_device(float x, float y) {
    if (caps().pixels)
        return {xW_p(x), yW_p(y)};
    return {xW_ps(x), yW_ps(y)};
}

void update_clip() {
    auto &k = kernel();
    GClip c;
    c.x = round_px(xNDC_p(k.cur_vp.xmin));
    c.y = round_px(yNDC_p(k.cur_vp.ymax));
    c.width = round_px(xNDC_p(k.cur_vp.xmax) - static_cast<float>(c.x) + 1.0f);
    c.height = round_px(yNDC_p(k.cur_vp.ymin) - static_cast<float>(c.y) + 1.0f);
    // The X11 rectangle is 16-bit: signed origin, unsigned size.
    c.x = std::clamp(c.x, -32768, 32767);
    c.y = std::clamp(c.y, -32768, 32767);
    c.width = std::clamp(c.width, 0, 65535);
    c.height = std::clamp(c.height, 0, 65535);
    c.xmin = xNDC_ps(k.cur_vp.xmin);
    c.xmax = xNDC_ps(k.cur_vp.xmax);
    c.ymin = yNDC_ps(k.cur_vp.ymin);
    c.ymax = yNDC_ps(k.cur_vp.ymax);
    k.clip_x = c.x;
    k.clip_y = c.y;
    k.clip_w = c.width;
    k.clip_h = c.height;
    if (k.open_graphics)
        dev().clip(c);
}

} // namespace gks::detail

int ginit_tran(int device_class) {
    auto &k = kernel();
    float w1 = static_cast<float>(k.win_width - 1);
    float h1 = static_cast<float>(k.win_height - 1);
    if (device_class == GCLASS_RESIZE) {
        k.ws_vp.set(0, w1, 0, h1);
        compute_device();
        update_clip();
        return 0;
    }
    for (int n = 0; n < 6; ++n) {
        k.win[n].set(0, 1, 0, 1);
        k.vp[n].set(0, 1, 0, 1);
    }
    k.ws_win.set(0, 1, 0, 1);
    k.ws_vp.set(0, w1, 0, h1);
    compute_device();
    select(0);
    return 0;
}

int gset_win(int n, const float *r) {
    if (!valid_tran(n)) {
        gerr_printf("gset_win", "invalid transformation number: %d\n", n);
        return -1;
    }
    auto &k = kernel();
    k.win[n].set(r[0], r[1], r[2], r[3]);
    gnew_obj(GOBJ_WIN, n, 4 * sizeof(float), r);
    if (k.open_graphics)
        dev().window(n, r);
    if (n == k.cur_trans)
        select(n);
    return 0;
}

int gset_vp(int n, const float *r) {
    if (!valid_tran(n)) {
        gerr_printf("gset_vp", "invalid transformation number: %d\n", n);
        return -1;
    }
    auto &k = kernel();
    k.vp[n].set(r[0], r[1], r[2], r[3]);
    gnew_obj(GOBJ_VP, n, 4 * sizeof(float), r);
    if (k.open_graphics)
        dev().viewport(n, r);
    if (n == k.cur_trans)
        select(n);
    return 0;
}

int gset_ws_win(int ws, const float *r) {
    auto &k = kernel();
    k.ws_win.set(r[0], r[1], r[2], r[3]);
    gnew_obj(GOBJ_WS_WIN, ws, 4 * sizeof(float), r);
    if (k.open_graphics)
        dev().ws_window(ws, r);
    compute_device();
    update_clip();
    return 0;
}

int gset_ws_vp(int ws, const float *r) {
    auto &k = kernel();
    k.ws_vp.set(r[0], r[1], r[2], r[3]);
    gnew_obj(GOBJ_WS_VP, ws, 4 * sizeof(float), r);
    if (k.open_graphics)
        dev().ws_viewport(ws, r);
    compute_device();
    update_clip();
    return 0;
}

int gsel_norm_tran(int n) {
    if (!valid_tran(n)) {
        gerr_printf("gsel_norm_tran", "invalid transformation number: %d\n", n);
        return -1;
    }
    auto &k = kernel();
    if (n == k.cur_trans)
        return 0;
    select(n);
    gnew_obj(GOBJ_SEL_TRAN, n, 0, nullptr);
    if (k.open_graphics)
        dev().select_tran(n);
    return 0;
}

int ginq_norm_tran(int n, int *err, float *out) {
    if (!valid_tran(n)) {
        if (err)
            *err = 1;
        return -1;
    }
    const auto &k = kernel();
    const Rect6 &w = k.win[n];
    const Rect6 &v = k.vp[n];
    float vals[8] = {w.xmin, w.xmax, w.ymin, w.ymax, v.xmin, v.xmax, v.ymin, v.ymax};
    std::copy(vals, vals + 8, out);
    if (err)
        *err = 0;
    return 0;
}

int ginq_cur_norm_tran_num(int *err, int *n) {
    if (err)
        *err = 0;
    if (n)
        *n = kernel().cur_trans;
    return 0;
}

int ginq_disp_space_size(int, int *err, GDispSpace *out) {
    const auto &k = kernel();
    if (err)
        *err = 0;
    if (out) {
        out->units = 1;
        out->width = static_cast<float>(k.win_width - 1);
        out->height = static_cast<float>(k.win_height - 1);
        out->raster_width = k.win_width;
        out->raster_height = k.win_height;
    }
    return 0;
}

int ginq_maxview(int, float *xmax, float *ymax) {
    const auto &k = kernel();
    float w = static_cast<float>(k.win_width), h = static_cast<float>(k.win_height);
    float x = 1.0f, y = 1.0f;
    if (w > 0 && h > 0) {
        if (w >= h)
            y = h / w;
        else
            x = w / h;
    }
    if (xmax)
        *xmax = x;
    if (ymax)
        *ymax = y;
    return 0;
}

float xW_NDC(float x) {
    const auto &k = kernel();
    return (x - k.cur_win.xmin) * k.sx + k.cur_vp.xmin;
}

float yW_NDC(float y) {
    const auto &k = kernel();
    return (y - k.cur_win.ymin) * k.sy + k.cur_vp.ymin;
}

float xNDC_p(float x) {
    const auto &k = kernel();
    return clamp_to((x - k.ws_win.xmin) * k.dsx + k.dev.xmin, kPixelLimit);
}

float yNDC_p(float y) {
    const auto &k = kernel();
    return clamp_to((k.ws_win.ymax - y) * k.dsy + k.dev.ymin, kPixelLimit);
}

float xW_p(float x) {
    return xNDC_p(xW_NDC(x));
}
float yW_p(float y) {
    return yNDC_p(yW_NDC(y));
}

float xp_W(float x) {
    const auto &k = kernel();
    float ndc = ratio(x - k.dev.xmin, k.dsx) + k.ws_win.xmin;
    return ratio(ndc - k.cur_vp.xmin, k.sx) + k.cur_win.xmin;
}

float yp_W(float y) {
    const auto &k = kernel();
    float ndc = k.ws_win.ymax - ratio(y - k.dev.ymin, k.dsy);
    return ratio(ndc - k.cur_vp.ymin, k.sy) + k.cur_win.ymin;
}

float xNDC_ps(float x) {
    const auto &k = kernel();
    return clamp_to((x - k.ws_win.xmin) * k.dsx + k.dev.xmin, kPaperLimit);
}

float yNDC_ps(float y) {
    const auto &k = kernel();
    return clamp_to((y - k.ws_win.ymin) * k.dsy + k.dev.ymin, kPaperLimit);
}

float xW_ps(float x) {
    return xNDC_ps(xW_NDC(x));
}
float yW_ps(float y) {
    return yNDC_ps(yW_NDC(y));
}

float xW_trans(int from, int to, float x) {
    if (!valid_tran(from) || !valid_tran(to))
        return x;
    const auto &k = kernel();
    const Rect6 &wf = k.win[from], &vf = k.vp[from], &wt = k.win[to], &vt = k.vp[to];
    float ndc = (x - wf.xmin) * ratio(vf.dx, wf.dx) + vf.xmin;
    return (ndc - vt.xmin) * ratio(wt.dx, vt.dx) + wt.xmin;
}

float yW_trans(int from, int to, float y) {
    if (!valid_tran(from) || !valid_tran(to))
        return y;
    const auto &k = kernel();
    const Rect6 &wf = k.win[from], &vf = k.vp[from], &wt = k.win[to], &vt = k.vp[to];
    float ndc = (y - wf.ymin) * ratio(vf.dy, wf.dy) + vf.ymin;
    return (ndc - vt.ymin) * ratio(wt.dy, vt.dy) + wt.ymin;
}

int gpts_in_win(int n, const float *pts) {
    if (n < 1 || !pts)
        return 0;
    const auto &k = kernel();
    float x0 = pts[0], x1 = pts[0], y0 = pts[1], y1 = pts[1];
    for (int i = 1; i < n; ++i) {
        x0 = std::min(x0, pts[2 * i]);
        x1 = std::max(x1, pts[2 * i]);
        y0 = std::min(y0, pts[2 * i + 1]);
        y1 = std::max(y1, pts[2 * i + 1]);
    }
    float wx0 = std::min(k.cur_win.xmin, k.cur_win.xmax);
    float wx1 = std::max(k.cur_win.xmin, k.cur_win.xmax);
    float wy0 = std::min(k.cur_win.ymin, k.cur_win.ymax);
    float wy1 = std::max(k.cur_win.ymin, k.cur_win.ymax);
    return (x0 <= wx1 && x1 >= wx0 && y0 <= wy1 && y1 >= wy0) ? 1 : 0;
}

int gget_xviewport(int *rect) {
    const auto &k = kernel();
    if (caps().pixels) {
        rect[0] = k.clip_x;
        rect[1] = k.clip_y;
        rect[2] = k.clip_w;
        rect[3] = k.clip_h;
        return 0;
    }
    float r[4];
    gget_gviewport(r);
    for (int i = 0; i < 4; ++i)
        rect[i] = round_px(r[i]);
    return 0;
}

int gget_gviewport(float *rect) {
    const auto &k = kernel();
    if (caps().pixels) {
        float x = xNDC_p(k.cur_vp.xmin), y = yNDC_p(k.cur_vp.ymax);
        rect[0] = x;
        rect[1] = y;
        rect[2] = xNDC_p(k.cur_vp.xmax) - x;
        rect[3] = yNDC_p(k.cur_vp.ymin) - y;
        return 0;
    }
    float x = xNDC_ps(k.cur_vp.xmin), y = yNDC_ps(k.cur_vp.ymin);
    rect[0] = x;
    rect[1] = y;
    rect[2] = xNDC_ps(k.cur_vp.xmax) - x;
    rect[3] = yNDC_ps(k.cur_vp.ymax) - y;
    return 0;
}

int gset_aspect(const float *in, float *out, int halign, int valign, float aspect) {
    float w = in[1] - in[0], h = in[3] - in[2];
    float nw = w, nh = h;
    if (aspect > 0 && h != 0) {
        if (w / h > aspect)
            nw = h * aspect;
        else
            nh = w / aspect;
    }
    float x0 = in[0], y0 = in[2];
    if (halign == 2)
        x0 += (w - nw) / 2;
    else if (halign == 3)
        x0 = in[1] - nw;
    if (valign == 2)
        y0 += (h - nh) / 2;
    else if (valign == 3)
        y0 = in[3] - nh;
    out[0] = x0;
    out[1] = x0 + nw;
    out[2] = y0;
    out[3] = y0 + nh;
    return 0;
}

void gget_clip(int *x, int *y, int *width, int *height) {
    const auto &k = kernel();
    *x = k.clip_x;
    *y = k.clip_y;
    *width = k.clip_w;
    *height = k.clip_h;
}
