// Fill area, clear region, the fill attributes and the 20 fill patterns.
#include <array>

#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

// 8x8 patterns: first byte top row, bit 0 the leftmost pixel. 10..19 are densities 0..90 %.
constexpr std::array<std::array<unsigned char, 8>, 20> kPatterns = {{
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
    {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55},
    {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00},
    {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84},
    {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00},
    {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33},
    {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81},
    {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03},
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00},
    {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02},
    {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44},
    {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8},
    {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc},
    {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e},
    {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5},
    {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb},
    {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf},
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
}};

int mod8(int v) {
    return ((v % 8) + 8) % 8;
}

} // namespace

bool gfill_test(int pattern, int x, int y) {
    if (pattern < 0 || pattern >= static_cast<int>(kPatterns.size()))
        return false;
    return (kPatterns[static_cast<size_t>(pattern)][static_cast<size_t>(mod8(y))] >> mod8(x)) & 1;
}

const unsigned char *gget_fill_pattern(int pattern) {
    if (pattern < 0 || pattern >= static_cast<int>(kPatterns.size()))
        return nullptr;
    return kPatterns[static_cast<size_t>(pattern)].data();
}

// The stipples themselves belong to the X11 device; nothing is held here.
int gdel_fill_pat() {
    return 0;
}

int gfill_area(int n, const float *pts) {
    if (!require_open("gfill_area"))
        return -1;
    if (n < 3 || !pts) {
        gerr_printf("gfill_area", "invalid number of points: %d\n", n);
        return -1;
    }
    if (!gpts_in_win(n, pts))
        return 0;
    gnew_obj(GOBJ_FILL_AREA, n, sizeof(float) * 2 * static_cast<size_t>(n), pts);
    return dev().fill_area(as_points(n, pts));
}

int gclear_region(const float *r) {
    if (!require_open("gclear_region"))
        return -1;
    gnew_obj(GOBJ_CLEAR_REGION, 1, 4 * sizeof(float), r);
    return dev().clear_region(r);
}

int gset_fill_colr_ind(int index) {
    auto &k = kernel();
    if (index == k.fill_colr)
        return 0;
    if (!require_open("gset_fill_colr_ind"))
        return -1;
    int c = check_colr("gset_fill_colr_ind", index);
    if (c == -9999)
        return -1;
    k.fill_colr = c;
    gnew_obj(GOBJ_FILL_COLR, c, 0, nullptr);
    dev().attribute(GAttr::FillColr);
    return 0;
}

int gset_fill_int_style(int style) {
    auto &k = kernel();
    if (style == k.fill_int)
        return 0;
    if (!require_open("gset_fill_int_style"))
        return -1;
    k.fill_int = style;
    gnew_obj(GOBJ_FILL_INT, style, 0, nullptr);
    dev().attribute(GAttr::FillInt);
    return 0;
}

int gset_fill_style_ind(int index) {
    auto &k = kernel();
    if (index == k.fill_style)
        return 0;
    if (!require_open("gset_fill_style_ind"))
        return -1;
    if (index < 0 || index > 19) {
        gerr_printf("gset_fill_style_ind", "invalid style index: %d\n", index);
        return -1;
    }
    k.fill_style = index;
    gnew_obj(GOBJ_FILL_STYLE, index, 0, nullptr);
    dev().attribute(GAttr::FillStyle);
    return 0;
}

int gget_fill_colr() {
    return kernel().fill_colr;
}
int gget_fill_int_style() {
    return kernel().fill_int;
}
int gget_fill_style_ind() {
    return kernel().fill_style;
}

int greset_fill() {
    auto &k = kernel();
    k.fill_int = 1;
    k.fill_style = 1;
    k.fill_colr = 1;
    return 0;
}
