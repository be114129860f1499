// Colour indices: validity, colour representation and allocation. The kernel keeps per
// index (0..256, slot 256 for the background index -1) the intensities and the device
// pixel; the device turns intensities into pixels (GksDevice::alloc_color).
#include <cmath>

#include "base/mess.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

bool near(const std::array<float, 3> &c, float r, float g, float b) {
    return std::fabs(c[0] - r) + std::fabs(c[1] - g) + std::fabs(c[2] - b) < 0.01f;
}

float clamp01(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
} // NaN -> 0

// Stores the intensities of a slot and asks the device for its pixel.
int store_color(int index, float r, float g, float b) {
    auto &k = kernel();
    int slot = colr_slot(index);
    float rgb[3] = {clamp01(r), clamp01(g), clamp01(b)};
    k.rgb[static_cast<size_t>(slot)] = {rgb[0], rgb[1], rgb[2]};
    int pixel = k.open_graphics ? dev().alloc_color(index, rgb) : -2;
    if (pixel != -2 || k.color_ind[static_cast<size_t>(slot)] == -1)
        k.color_ind[static_cast<size_t>(slot)] = pixel;
    return pixel;
}

// Graphics contexts of primitives using the index get the new pixel.
void refresh_users(int index) {
    const auto &k = kernel();
    if (k.line_colr == index)
        dev().attribute(GAttr::LineColr);
    if (k.mark_colr == index)
        dev().attribute(GAttr::MarkColr);
    if (k.fill_colr == index)
        dev().attribute(GAttr::FillColr);
    if (k.text_colr == index)
        dev().attribute(GAttr::TextColr);
}

} // namespace

bool gis_valid_colr(int index) {
    return index == -1 || (index >= 0 && index <= 256) ||
           (index >= GCOLR_PRINT_FIRST && index <= GCOLR_PRINT_LAST);
}

int gset_colr_rep(int ws, int index, const float *rgb) {
    if (!gis_valid_colr(index)) {
        gerr_printf("gset_colr_rep", "invalid color index: %d\n", index);
        return -1;
    }
    if (index >= GCOLR_PRINT_FIRST)
        return 0;
    auto &k = kernel();
    if (k.open_graphics && caps().writes_calls) {
        k.rgb[static_cast<size_t>(colr_slot(index))] = {clamp01(rgb[0]), clamp01(rgb[1]),
                                                        clamp01(rgb[2])};
        dev().color_rep(ws, index, rgb);
        return 0;
    }
    gnew_obj(GOBJ_COLR_REP, index, 3 * sizeof(float), rgb);
    if (index == -1)
        store_color(-1, rgb[0], rgb[1], rgb[2]);
    else
        galloc_colr(index, rgb[0], rgb[1], rgb[2]);
    if (k.open_graphics) {
        dev().color_rep(ws, index, rgb);
        refresh_users(index);
    }
    return 0;
}

int galloc_colr(int index, float r, float g, float b) {
    auto &k = kernel();
    if (index > 256)
        return -1;
    if (index > k.max_color_ind)
        k.max_color_ind = index;
    if (index < 0) {
        int found = -1;
        // Only indices that have a pixel: an unset slot reads as black.
        for (int i = 0; i < k.max_color_ind; ++i)
            if (k.color_ind[static_cast<size_t>(i)] != -1 &&
                near(k.rgb[static_cast<size_t>(i)], r, g, b))
                found = i;
        if (found >= 0) {
            MESS_print(0x40000000u, "Used existing ind: %d (%.2f %.2f %.2f)\n", found, r, g, b);
            return k.color_ind[static_cast<size_t>(found)];
        }
        if (k.max_color_ind >= 255) {
            // The table is full: the closest colour stands in.
            float best = 1e9f;
            for (int i = 0; i <= k.max_color_ind; ++i) {
                const auto &c = k.rgb[static_cast<size_t>(i)];
                float d = std::fabs(c[0] - r) + std::fabs(c[1] - g) + std::fabs(c[2] - b);
                if (d < best) {
                    best = d;
                    found = i;
                }
            }
            return k.color_ind[static_cast<size_t>(found)];
        }
        index = ++k.max_color_ind;
        MESS_print(0x40000000u, "Allocated new ind: %d (%.2f %.2f %.2f)\n", index, r, g, b);
    }
    return store_color(index, r, g, b);
}

int gget_color_ind(int index) {
    int slot = colr_slot(index);
    return slot < 0 ? -1 : kernel().color_ind[static_cast<size_t>(slot)];
}

int gset_color_ind(int index, int pixel) {
    int slot = colr_slot(index);
    if (slot < 0)
        return -1;
    kernel().color_ind[static_cast<size_t>(slot)] = pixel;
    return 0;
}

int gget_color_rgb(int index, float *r, float *g, float *b) {
    int slot = colr_slot(index);
    if (slot < 0)
        return -1;
    const auto &c = kernel().rgb[static_cast<size_t>(slot)];
    *r = c[0];
    *g = c[1];
    *b = c[2];
    return 0;
}

int gget_color_rgb256(int index, int *r, int *g, int *b) {
    float fr, fg, fb;
    if (gget_color_rgb(index, &fr, &fg, &fb) < 0)
        return -1;
    *r = static_cast<int>(fr * 255.0f);
    *g = static_cast<int>(fg * 255.0f);
    *b = static_cast<int>(fb * 255.0f);
    return 0;
}

int gget_max_color_ind() {
    return kernel().max_color_ind;
}

void gclear_color_inds() {
    kernel().color_ind.fill(-1);
}
