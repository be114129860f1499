// Memory workstation: the X11 pixmap's pixel model drawn by the kernel in this process.
//
// A surface is a picture of the window's size, one 0x00RRGGBB value per pixel, top row
// first. The backing picture, the frames and the zoom's saved picture are all surfaces,
// named by small non-zero ids the way X11 names pixmaps, so the loop and the zoom drive
// them through GFrameHost exactly as they drive server pixmaps.
//
// The rasteriser follows the server's rules closely enough that a picture drawn here and
// one drawn on an X server differ by at most a pixel along edges: a pixel is inside a
// filled polygon when its centre is (even-odd rule), a polygon also gets its outline drawn
// with the fill's colour and stipple, thin lines are Bresenham lines that include both
// ends, wide lines are the rectangles around their segments (butt ends), dashes count
// pixels along a thin line and length along a wide one, and run on across the segments
// of one polyline. Stipples are the kernel's 8 by 8 fill patterns, least significant bit
// leftmost, anchored at the surface's origin.
#include "gks/gks_mem.h"

#include "base/pixel_buffer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <span>
#include <strings.h>

#include "base/image.h"
#include "base/mess.h"
#include "gks/codec.h"
#include "gks/colors.h"
#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_state.h"
#include "gks/gks_x11.h"

using namespace gks::detail;

namespace {

constexpr int kDefaultWidth = 640, kDefaultHeight = 512;
constexpr int kMaxSide = 16384;
constexpr uint32_t kBlack = 0, kWhite = 0xFFFFFF;

using Surface = PixelVector<uint32_t>;

// The pixel of a colour as a TrueColor server makes it: 16-bit intensities (truncated),
// their high bytes.
uint32_t pixel_of_rgb(float r, float g, float b) {
    auto c = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 65535.0f) >> 8; };
    return c(r) << 16 | c(g) << 8 | c(b);
}

// Device coordinates are 16-bit, as in the X11 protocol; far-away points are pinned there.
int round_px(float v) {
    if (!(v == v))
        return 0;
    return int(std::clamp(std::floor(v + 0.5f), -32768.0f, 32767.0f));
}

// On / off lengths of the dashed line types, as the X11 window uses them.
std::span<const int> dash_list(int type) {
    static const int d2[] = {6, 6}, d3[] = {3, 6}, d4[] = {6, 6, 3, 6}, d5[] = {2, 2};
    switch (type) {
    case 2:
        return d2;
    case 3:
        return d3;
    case 4:
        return d4;
    case 5:
        return d5;
    default:
        return {};
    }
}

// The position within a dash list, carried along a polyline.
struct Dasher {
    std::span<const int> list;
    int at = 0;        // entry of the list
    float used = 0.0f; // length of that entry used up
    bool on() const { return list.empty() || at % 2 == 0; }
    // Moves on by len; the length left in the current entry before that.
    void advance(float len) {
        if (list.empty())
            return;
        used += len;
        while (used >= float(list[size_t(at)]) - 1e-3f) {
            used -= float(list[size_t(at)]);
            at = (at + 1) % int(list.size());
        }
    }
    float left() const { return list.empty() ? 1e30f : float(list[size_t(at)]) - used; }
};

struct Pen {
    uint32_t colour = kWhite;
    int width = 0;
    std::span<const int> dashes;
    bool xor_mode = false;
    const unsigned char *stipple = nullptr; // 8 bytes, or null for solid
};

class MemDevice final : public GksDevice, public GFrameHost {
  public:
    MemDevice(int width, int height, std::string background)
        : w_(width), h_(height), background_(std::move(background)) {
        caps_.pixels = caps_.allocated_colors = caps_.shadows = true;
        caps_.clears_window = true;
        surface_ = GSurface{width, height, 0, 0};
        clip_ = {0, 0, width, height};
        base_ = create();
        target_ = base_;
    }
    bool made() const { return base_ != 0; }

    int ws_type() const override { return GWS_MEM; }
    int device_class() const override { return GCLASS_X11; }
    int depth() const override { return 24; }

    void after_open() override;
    void init_plot(int cls) override {
        if (cls == GCLASS_X11)
            ginit_loop();
        int x, y, w, h;
        gget_clip(&x, &y, &w, &h);
        clip_ = {x, y, w, h};
    }
    int close() override {
        gdelete_all_frames();
        greset_zoom();
        gloop_reset_state();
        surfaces_.clear();
        base_ = target_ = 0;
        return 0;
    }
    void clear() override { clear(base_); }

    int alloc_color(int index, const float *rgb) override {
        uint32_t p = pixel_of_rgb(rgb[0], rgb[1], rgb[2]);
        if (index < 0)
            back_ = p;
        return int(p);
    }
    void clip(const GClip &c) override { clip_ = {c.x, c.y, c.width, c.height}; }

    int polyline(std::span<const GPoint> pts) override {
        Pen pen;
        pen.colour = pixel_of(gget_line_colr());
        pen.width = int(gget_linewidth());
        if (gget_linetype() != 1)
            pen.dashes = dash_list(gget_linetype());
        pen.xor_mode = gget_line_gc_func() == 6;
        draw_lines(to_pixels(pts), pen);
        return 0;
    }
    int fill_area(std::span<const GPoint> pts) override;
    void marker_stroke(std::span<const DPoint> pts) override {
        Pen pen;
        pen.colour = shadow_ ? kBlack : pixel_of(gget_marker_colr());
        pen.width = int(gget_marker_width());
        std::vector<std::array<int, 2>> p(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            p[i] = {round_px(pts[i].x), round_px(pts[i].y)};
        if (p.size() == 1)
            plot(p[0][0], p[0][1], pen);
        else
            draw_lines(p, pen);
    }
    void text_polyline(std::span<const GPoint> pts) override {
        Pen pen;
        pen.colour = shadow_ ? kBlack : pixel_of(gget_text_colr());
        pen.width = int(gget_text_width());
        draw_lines(to_pixels(pts), pen);
    }
    void shadow(bool on) override { shadow_ = on; }
    int clear_region(const float *r) override {
        int x0 = round_px(xW_p(r[0])), x1 = round_px(xW_p(r[1]));
        int y0 = round_px(yW_p(r[3])), y1 = round_px(yW_p(r[2]));
        // Not clipped to the viewport, like images: the X11 window clears with its root GC.
        fill_rect(target_, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1),
                  back_);
        return 0;
    }
    int image(const IMAGE &im, int x, int y, int transparent) override {
        float rgb[3];
        bool see_through =
            transparent >= 0 && gget_color_rgb(transparent, &rgb[0], &rgb[1], &rgb[2]) == 0;
        return put_image(see_through ? "goverlay_image" : "gload_image", im, x, y,
                         see_through ? rgb : nullptr);
    }
    int put_image(const char *who, const IMAGE &im, int x, int y, const float *transparent);
    int grab(IMAGE *image) const;

    // Frames.
    bool open() const override { return made(); }
    bool ready() const override { return target_ != 0; }
    bool zoomable() const override { return true; }
    unsigned long base() const override { return base_; }
    void set_base(unsigned long id) override { base_ = id; }
    unsigned long target() const override { return target_; }
    void set_target(unsigned long id) override { target_ = id ? id : base_; }
    unsigned long create() override {
        try {
            surfaces_[next_id_].assign(size_t(w_) * size_t(h_), back_);
        } catch (const std::bad_alloc &) {
            surfaces_.erase(next_id_);
            return 0;
        }
        return next_id_++;
    }
    void release(unsigned long id) override { surfaces_.erase(id); }
    void clear(unsigned long id) override {
        if (Surface *s = find(id))
            std::fill(s->begin(), s->end(), back_);
    }
    void copy(unsigned long from, unsigned long to, int x, int y, int w, int h) override;
    bool zoom_into_base(unsigned long from, int left, int top, int zoom) override;
    int pixel_bytes() const override { return 4; }
    bool on_server() const override { return false; }

  private:
    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
    };
    Surface *find(unsigned long id) {
        auto it = surfaces_.find(id);
        return it == surfaces_.end() ? nullptr : &it->second;
    }
    const Surface *find(unsigned long id) const {
        auto it = surfaces_.find(id);
        return it == surfaces_.end() ? nullptr : &it->second;
    }
    uint32_t pixel_of(int index) const {
        int p = gget_color_ind(index);
        return p < 0 ? fore_ : uint32_t(p) & kWhite;
    }
    static std::vector<std::array<int, 2>> to_pixels(std::span<const GPoint> pts) {
        std::vector<std::array<int, 2>> p(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            p[i] = {round_px(xW_p(pts[i].x)), round_px(yW_p(pts[i].y))};
        return p;
    }
    bool inside_clip(int x, int y) const {
        return x >= clip_.x && y >= clip_.y && x < clip_.x + clip_.w && y < clip_.y + clip_.h &&
               x >= 0 && y >= 0 && x < w_ && y < h_;
    }
    void plot(int x, int y, const Pen &pen) {
        Surface *s = find(target_);
        if (!s || !inside_clip(x, y))
            return;
        if (pen.stipple && !((pen.stipple[y & 7] >> (x & 7)) & 1))
            return;
        uint32_t &p = (*s)[size_t(y) * size_t(w_) + size_t(x)];
        p = pen.xor_mode ? (p ^ pen.colour) & kWhite : pen.colour;
    }
    void fill_rect(unsigned long id, int x0, int y0, int x1, int y1, uint32_t colour) {
        Surface *s = find(id);
        if (!s)
            return;
        for (int y = std::max(y0, 0); y <= std::min(y1, h_ - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, w_ - 1); ++x)
                (*s)[size_t(y) * size_t(w_) + size_t(x)] = colour;
    }
    void thin_segment(int x0, int y0, int x1, int y1, const Pen &pen, Dasher &dash, bool last);
    void wide_segment(float x0, float y0, float x1, float y1, const Pen &pen, Dasher &dash);
    void draw_lines(const std::vector<std::array<int, 2>> &p, const Pen &pen);
    // Scan-converts a polygon (even-odd rule, pixel centres).
    void fill_polygon(const std::vector<std::array<float, 2>> &p, const Pen &pen);

    int w_, h_;
    std::string background_;
    std::map<unsigned long, Surface> surfaces_;
    unsigned long next_id_ = 1;
    unsigned long base_ = 0, target_ = 0;
    uint32_t back_ = kBlack, fore_ = kWhite;
    Rect clip_{0, 0, 0, 0};
    bool shadow_ = false;
};

void MemDevice::after_open() {
    // Black on white with gset_inverse or "zorinverse", as on the X11 window.
    bool inverse = gget_inverse() != 0 || std::getenv("zorinverse") != nullptr;
    back_ = inverse ? kWhite : kBlack;
    fore_ = inverse ? kBlack : kWhite;
    const std::string &v = background_;
    bool over = strcasecmp(v.c_str(), "none") == 0 || strcasecmp(v.c_str(), "def") == 0 ||
                strcasecmp(v.c_str(), "over") == 0;
    float rgb[3] = {inverse ? 1.0f : 0.0f, inverse ? 1.0f : 0.0f, inverse ? 1.0f : 0.0f};
    if (!v.empty() && !over) {
        int index = CLR_get_ind(v.c_str());
        float r, g, b;
        if (index >= 0 && index < CLR_get_num() && CLR_get_rgb(index, &r, &g, &b) == 0) {
            rgb[0] = r, rgb[1] = g, rgb[2] = b;
            back_ = pixel_of_rgb(r, g, b);
        } else {
            MESS_print(MESS_WARN, "gopen_mem_ws: unknown background colour: %s\n", v.c_str());
        }
    }
    kernel().rgb[256] = {rgb[0], rgb[1], rgb[2]};
    gset_color_ind(-1, int(back_));
    clear(base_);
}

void MemDevice::thin_segment(int x0, int y0, int x1, int y1, const Pen &pen, Dasher &dash,
                             bool last) {
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        bool end = x0 == x1 && y0 == y1;
        // The joint pixel belongs to the next segment; the last segment keeps its end.
        if (end && !last)
            return;
        if (dash.on())
            plot(x0, y0, pen);
        dash.advance(1.0f);
        if (end)
            return;
        int e2 = 2 * err;
        if (e2 >= dy)
            err += dy, x0 += sx;
        if (e2 <= dx)
            err += dx, y0 += sy;
    }
}

void MemDevice::wide_segment(float x0, float y0, float x1, float y1, const Pen &pen, Dasher &dash) {
    float len = std::hypot(x1 - x0, y1 - y0);
    if (len <= 0)
        return;
    float ux = (x1 - x0) / len, uy = (y1 - y0) / len;
    float nx = -uy * float(pen.width) / 2, ny = ux * float(pen.width) / 2;
    float t = 0;
    while (t < len) {
        float step = std::min(len - t, dash.left());
        if (dash.on()) {
            float ax = x0 + ux * t, ay = y0 + uy * t;
            float bx = x0 + ux * (t + step), by = y0 + uy * (t + step);
            fill_polygon(
                {{ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}},
                pen);
        }
        dash.advance(step);
        t += step;
    }
}

// A single point draws nothing, as on the server.
void MemDevice::draw_lines(const std::vector<std::array<int, 2>> &p, const Pen &pen) {
    Dasher dash;
    dash.list = pen.dashes;
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        if (pen.width <= 1)
            thin_segment(p[i][0], p[i][1], p[i + 1][0], p[i + 1][1], pen, dash, i + 2 == p.size());
        else
            wide_segment(float(p[i][0]) + 0.5f, float(p[i][1]) + 0.5f, float(p[i + 1][0]) + 0.5f,
                         float(p[i + 1][1]) + 0.5f, pen, dash);
    }
}

void MemDevice::fill_polygon(const std::vector<std::array<float, 2>> &p, const Pen &pen) {
    if (p.size() < 3)
        return;
    float top = p[0][1], bottom = p[0][1];
    for (const auto &q : p)
        top = std::min(top, q[1]), bottom = std::max(bottom, q[1]);
    int y0 = std::max({int(std::ceil(top - 0.5f)), 0, clip_.y});
    int y1 = std::min({int(std::ceil(bottom - 0.5f)) - 1, h_ - 1, clip_.y + clip_.h - 1});
    std::vector<float> xs;
    for (int y = y0; y <= y1; ++y) {
        float yc = float(y) + 0.5f;
        xs.clear();
        for (size_t i = 0; i < p.size(); ++i) {
            const auto &a = p[i], &b = p[(i + 1) % p.size()];
            // Half-open in y so that a vertex on the scan line counts once.
            if ((a[1] <= yc) != (b[1] <= yc))
                xs.push_back(a[0] + (yc - a[1]) * (b[0] - a[0]) / (b[1] - a[1]));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            int xa = int(std::ceil(xs[i] - 0.5f)), xb = int(std::ceil(xs[i + 1] - 0.5f)) - 1;
            for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x)
                plot(x, y, pen);
        }
    }
}

int MemDevice::fill_area(std::span<const GPoint> pts) {
    if (pts.empty())
        return 0;
    Pen pen;
    pen.colour = pixel_of(gget_fill_colr());
    int style = gget_fill_style_ind();
    if (gget_fill_int_style() == 2 && style >= 0 && style < 20)
        pen.stipple = gget_fill_pattern(style);
    auto px = to_pixels(pts);
    std::vector<std::array<float, 2>> poly(px.size());
    for (size_t i = 0; i < px.size(); ++i)
        poly[i] = {float(px[i][0]), float(px[i][1])};
    fill_polygon(poly, pen);
    px.push_back(px.front());
    draw_lines(px, pen);
    return 0;
}

void MemDevice::copy(unsigned long from, unsigned long to, int x, int y, int w, int h) {
    const Surface *a = find(from);
    Surface *b = find(to);
    if (!a || !b || a == b)
        return;
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min(x + w, w_), y1 = std::min(y + h, h_);
    for (int j = y0; j < y1; ++j)
        std::copy_n(a->begin() + ptrdiff_t(j) * w_ + x0, std::max(0, x1 - x0),
                    b->begin() + ptrdiff_t(j) * w_ + x0);
}

bool MemDevice::zoom_into_base(unsigned long from, int left, int top, int zoom) {
    Surface *src = find(from);
    Surface *dst = find(base_);
    if (!src || !dst || src == dst)
        return false;
    auto rows = [this](Surface &s) {
        GPixelRows r;
        r.data = std::span<uint8_t>(reinterpret_cast<uint8_t *>(s.data()), s.size() * 4);
        r.width = w_;
        r.height = h_;
        r.bits_per_pixel = 32;
        r.bytes_per_line = 4 * w_;
        r.lsb_first = std::endian::native == std::endian::little;
        return r;
    };
    std::fill(dst->begin(), dst->end(), back_);
    GPixelRows out = rows(*dst);
    gzoom_replicate(rows(*src), left, top, zoom, out);
    // Blocks whose source lies past the picture's edge show the background.
    long long cw = 1LL * (w_ - left) * zoom, ch = 1LL * (h_ - top) * zoom;
    if (cw < w_)
        fill_rect(base_, int(cw), 0, w_ - 1, h_ - 1, back_);
    if (ch < h_)
        fill_rect(base_, 0, int(ch), w_ - 1, h_ - 1, back_);
    return true;
}

int MemDevice::put_image(const char *who, const IMAGE &im, int x, int y, const float *transparent) {
    std::optional<CodecLayout> layout = CODEC_layout(im, who);
    if (!layout)
        return -1;
    Surface *s = find(target_);
    if (!s)
        return -1;
    int vp[4];
    gget_xviewport(vp);
    int px = x >= 0 ? vp[0] + x : vp[0] + vp[2] - im.nx + x;
    int py = y >= 0 ? vp[1] + y : vp[1] + vp[3] - im.ny + y;
    // Colour of a pixel value: the record's table (a grey ramp without one) for indexed
    // storage up to 8 bits, the channel masks for true colour.
    const int bits = layout->bits;
    uint32_t masks[3] = {im.red_mask, im.green_mask, im.blue_mask};
    if (bits > 8 && !masks[0] && !masks[1] && !masks[2]) {
        if (bits == 16)
            masks[0] = 0xf800, masks[1] = 0x07e0, masks[2] = 0x001f;
        else
            masks[0] = 0xff0000, masks[1] = 0x00ff00, masks[2] = 0x0000ff;
    }
    const std::vector<float> *table = im.colors.get();
    auto rgb_of = [&](uint32_t v, float *rgb) {
        if (bits <= 8) {
            if (table && int(v) < im.num_colors && size_t(3 * v + 2) < table->size()) {
                for (int k = 0; k < 3; ++k)
                    rgb[k] = (*table)[size_t(3 * v) + size_t(k)];
            } else {
                rgb[0] = rgb[1] = rgb[2] = float(v) / float((1u << bits) - 1);
            }
            return;
        }
        for (int k = 0; k < 3; ++k) {
            uint32_t m = masks[k];
            rgb[k] = m ? float((v & m) >> __builtin_ctz(m)) / float(m >> __builtin_ctz(m)) : 0;
        }
    };
    auto hidden = [&](const float *rgb) {
        return transparent && std::fabs(transparent[0] - rgb[0]) +
                                      std::fabs(transparent[1] - rgb[1]) +
                                      std::fabs(transparent[2] - rgb[2]) <
                                  0.01f;
    };
    const int64_t bpl = im.bytes_per_line;
    // Columns of the picture that land on the surface.
    const int i0 = std::max(0, -px), i1 = std::min(im.nx, w_ - px);
    if (bits <= 8) {
        // Indexed storage: every value's pixel once, then a look-up per pixel.
        std::array<uint32_t, 256> lut{};
        std::array<bool, 256> skip{};
        for (uint32_t v = 0; v < (1u << bits); ++v) {
            float rgb[3];
            rgb_of(v, rgb);
            skip[v] = hidden(rgb);
            lut[v] = pixel_of_rgb(rgb[0], rgb[1], rgb[2]);
        }
        const bool any_skip = std::find(skip.begin(), skip.end(), true) != skip.end();
        for (int j = 0; j < im.ny; ++j) {
            const int yy = py + j;
            if (yy < 0 || yy >= h_)
                continue;
            const uint8_t *row = im.data.data() + bpl * j;
            uint32_t *line = s->data() + size_t(yy) * size_t(w_);
            if (bits == 8 && !any_skip) {
                for (int i = i0; i < i1; ++i)
                    line[px + i] = lut[row[i]];
                continue;
            }
            for (int i = i0; i < i1; ++i) {
                const uint32_t v = CODEC_pixel(*layout, row, i);
                if (!skip[v])
                    line[px + i] = lut[v];
            }
        }
        return 0;
    }
    for (int j = 0; j < im.ny; ++j) {
        const int yy = py + j;
        if (yy < 0 || yy >= h_)
            continue;
        const uint8_t *row = im.data.data() + bpl * j;
        for (int i = i0; i < i1; ++i) {
            float rgb[3];
            rgb_of(CODEC_pixel(*layout, row, i), rgb);
            if (!hidden(rgb))
                (*s)[size_t(yy) * size_t(w_) + size_t(px + i)] =
                    pixel_of_rgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return 0;
}

int MemDevice::grab(IMAGE *image) const {
    const Surface *s = find(target_);
    if (!s)
        return -1;
    const int w = w_, h = h_;
    IMG_init(image);
    image->nx = w;
    image->ny = h;
    const char *title = gget_win_title();
    IMG_set_info(image, title && *title ? title : "xwdump");
    image->bits_per_pixel = 32;
    image->bytes_per_line = 4 * w;
    image->byte_order = 0;
    image->depth = 24;
    image->red_mask = 0xff0000;
    image->green_mask = 0x00ff00;
    image->blue_mask = 0x0000ff;
    image->color_type = 0;
    image->num_colors = 0;
    try {
        image->data.resize(size_t(4) * size_t(w) * size_t(h));
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "gget_image: Unable to allocate data buffer.\n");
        return -1;
    }
    uint8_t *out = image->data.data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = (*s)[size_t(y) * size_t(w_) + size_t(x)];
            *out++ = uint8_t(v);
            *out++ = uint8_t(v >> 8);
            *out++ = uint8_t(v >> 16);
            *out++ = 0;
        }
    return 0;
}

MemDevice *mem() {
    return dynamic_cast<MemDevice *>(gget_device());
}

// Size from a "WxH" geometry (a position after it is ignored); false when none is given.
bool parse_size(const std::string &text, int *w, int *h) {
    unsigned a = 0, b = 0;
    char x = 0;
    if (std::sscanf(text.c_str(), "%u%c%u", &a, &x, &b) != 3 || (x != 'x' && x != 'X'))
        return false;
    *w = int(std::min(a, 1u << 30));
    *h = int(std::min(b, 1u << 30));
    return true;
}

std::unique_ptr<GksDevice> make_device(const char *who, int width, int height,
                                       const std::string &background) {
    if (width < 1 || height < 1) {
        gget_win_size(&width, &height);
        if (width < 1 || height < 1)
            width = kDefaultWidth, height = kDefaultHeight;
    }
    if (width > kMaxSide || height > kMaxSide) {
        gerr_printf(who, "memory workstation of %dx%d is too large\n", width, height);
        return nullptr;
    }
    std::unique_ptr<MemDevice> d;
    try {
        d = std::make_unique<MemDevice>(width, height, background);
    } catch (const std::bad_alloc &) {
        d.reset();
    }
    if (!d || !d->made()) {
        gerr_printf(who, "no memory for a picture of %dx%d\n", width, height);
        return nullptr;
    }
    gset_root_size(width, height);
    return d;
}

} // namespace

std::unique_ptr<GksDevice> gmem_open_device(const GksOpenArgs &args) {
    int w = 0, h = 0;
    parse_size(args.geometry, &w, &h);
    return make_device(args.reporter.c_str(), w, h, args.background);
}

int gopen_mem_ws(int ws_id, int width, int height) {
    if (!kres().err_file)
        gopen_gks(nullptr);
    (void)ws_id; // one workstation at a time, as for every type
    auto d = make_device("gopen_mem_ws", width, height, "");
    if (!d)
        return -1;
    return gopen_ws_device(std::move(d));
}

bool gtype_is_MEM() {
    return mem() != nullptr;
}

int gmem_get_image(IMAGE *image) {
    MemDevice *d = mem();
    if (!d || !image)
        return -1;
    return d->grab(image);
}

int gmem_overlay_image(const IMAGE *image, const float *rgb, int x, int y) {
    MemDevice *d = mem();
    if (!d || !image)
        return -1;
    return d->put_image("goverlay_image", *image, x, y, rgb);
}
