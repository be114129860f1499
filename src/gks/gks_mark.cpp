// Polymarker: the marker attributes and the nine marker shapes, drawn as strokes in
// device units around each point (with drop shadows on devices that have them).
#include <array>

#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

// Cosine and sine of multiples of 30 degrees, with the rounded values markers use.
constexpr std::array<float, 12> kCos = {1.0f,  0.866f,  0.5f,  0.0f, -0.5f, -0.866f,
                                        -1.0f, -0.866f, -0.5f, 0.0f, 0.5f,  0.866f};
constexpr std::array<float, 12> kSin = {0.0f, 0.5f,  0.866f,  1.0f,  0.866f,  0.5f,
                                        0.0f, -0.5f, -0.866f, -1.0f, -0.866f, -0.5f};

void stroke(GksDevice &d, std::initializer_list<DPoint> pts) {
    d.marker_stroke(std::span<const DPoint>(pts.begin(), pts.size()));
}

void draw_marker(GksDevice &d, int type, float x, float y, float h) {
    switch (type) {
    case 1:
        stroke(d, {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}, {x, y}});
        break;
    case 2:
        stroke(d, {{x - h, y}, {x + h, y}});
        stroke(d, {{x, y + h}, {x, y - h}});
        break;
    case 3:
        stroke(d, {{x - h, y}, {x + h, y}});
        stroke(d, {{x - h, y - h}, {x + h, y + h}});
        stroke(d, {{x, y + h}, {x, y - h}});
        stroke(d, {{x + h, y - h}, {x - h, y + h}});
        break;
    case 4: {
        std::array<DPoint, 13> c;
        for (size_t i = 0; i < c.size(); ++i) {
            size_t a = (6 + i) % 12; // start at 180 degrees: (x - h, y)
            c[i] = {x + h * kCos[a], y + h * kSin[a]};
        }
        d.marker_stroke(c);
        break;
    }
    case 5:
        stroke(d, {{x - h, y - h}, {x + h, y + h}});
        stroke(d, {{x + h, y - h}, {x - h, y + h}});
        break;
    case 6:
        stroke(d, {{x - h, y + h}, {x + h, y + h}, {x + h, y - h}, {x - h, y - h}, {x - h, y + h}});
        break;
    case 7:
        stroke(d, {{x - h, y + h}, {x + h, y + h}, {x, y - h}, {x - h, y + h}});
        break;
    case 8:
        stroke(d, {{x, y}});
        break;
    case 9:
        stroke(d, {{x - h, y - h}, {x + h, y - h}, {x, y + h}, {x - h, y - h}});
        break;
    default:
        break;
    }
}

} // namespace

int GksDevice::polymarker(std::span<const GPoint> pts) {
    const auto &k = kernel();
    float s = k.mark_size * caps_.marker_scale;
    float h = static_cast<float>(static_cast<int>(s * 0.5f));
    int shadows = caps_.shadows ? k.drop_shadow : 0;
    marker_begin(static_cast<int>(pts.size()));
    for (const GPoint &p : pts) {
        DPoint d = to_device(p.x, p.y);
        for (int i = 0; i < shadows; ++i) {
            shadow(true);
            draw_marker(*this, k.mark_type, d.x + static_cast<float>(i),
                        d.y + static_cast<float>(i), h);
            shadow(false);
        }
        draw_marker(*this, k.mark_type, d.x, d.y, h);
    }
    return 0;
}

int gpolymarker(int n, const float *pts) {
    if (!require_open("gpolymarker"))
        return -1;
    if (n < 1 || !pts) {
        gerr_printf("gpolymarker", "invalid number of points: %d\n", n);
        return -1;
    }
    gnew_obj(GOBJ_POLYMARKER, n, sizeof(float) * 2 * static_cast<size_t>(n), pts);
    return dev().polymarker(as_points(n, pts));
}

int gset_marker_colr_ind(int index) {
    auto &k = kernel();
    if (index == k.mark_colr)
        return 0;
    if (!require_open("gset_marker_colr_ind"))
        return -1;
    int c = check_colr("gset_marker_colr_ind", index);
    if (c == -9999)
        return -1;
    k.mark_colr = c;
    gnew_obj(GOBJ_MARKER_COLR, c, 0, nullptr);
    dev().attribute(GAttr::MarkColr);
    return 0;
}

int gset_marker_size(float size) {
    auto &k = kernel();
    if (size == k.mark_size)
        return 0;
    if (!require_open("gset_marker_size"))
        return -1;
    if (!(size >= 0)) {
        gerr_printf("gset_marker_size", "invalid marker size: %f\n", size);
        return -1;
    }
    k.mark_size = size;
    gnew_obj(GOBJ_MARKER_SIZE, 1, sizeof(float), &size);
    dev().attribute(GAttr::MarkSize);
    return 0;
}

int gset_marker_width(float width) {
    auto &k = kernel();
    if (width == k.mark_width)
        return 0;
    if (!require_open("gset_marker_width"))
        return -1;
    if (!(width >= 0)) {
        gerr_printf("gset_marker_width", "invalid marker width: %f\n", width);
        return -1;
    }
    if (width == 0 && !caps().zero_width_thinnest)
        width = 1.0f;
    k.mark_width = width;
    gnew_obj(GOBJ_MARKER_WIDTH, 1, sizeof(float), &width);
    dev().attribute(GAttr::MarkWidth);
    return 0;
}

int gset_marker_type(int type) {
    auto &k = kernel();
    if (type == k.mark_type)
        return 0;
    if (!require_open("gset_marker_type"))
        return -1;
    k.mark_type = type;
    gnew_obj(GOBJ_MARKER_TYPE, type, 0, nullptr);
    dev().attribute(GAttr::MarkType);
    return 0;
}

int gget_marker_colr() {
    return kernel().mark_colr;
}
float gget_marker_size() {
    return kernel().mark_size;
}
float gget_marker_width() {
    return kernel().mark_width;
}
int gget_marker_type() {
    return kernel().mark_type;
}

int greset_marker() {
    auto &k = kernel();
    k.mark_colr = 1;
    k.mark_type = 1;
    k.mark_width = 1.0f;
    k.mark_size = 10.0f;
    return 0;
}
