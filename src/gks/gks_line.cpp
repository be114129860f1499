// Polyline and the line attributes.
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

int gpolyline(int n, const float *pts) {
    if (!require_open("gpolyline"))
        return -1;
    if (n < 2 || !pts) {
        gerr_printf("gpolyline", "invalid number of points: %d\n", n);
        return -1;
    }
    if (!gpts_in_win(n, pts))
        return 0;
    gnew_obj(GOBJ_POLYLINE, n, sizeof(float) * 2 * static_cast<size_t>(n), pts);
    return dev().polyline(as_points(n, pts));
}

int gset_line_colr_ind(int index) {
    auto &k = kernel();
    if (index == k.line_colr)
        return 0;
    if (!require_open("gset_line_colr_ind"))
        return -1;
    int c = check_colr("gset_line_colr_ind", index);
    if (c == -9999)
        return -1;
    k.line_colr = c;
    gnew_obj(GOBJ_LINE_COLR, c, 0, nullptr);
    dev().attribute(GAttr::LineColr);
    return 0;
}

int gset_linewidth(float width) {
    auto &k = kernel();
    if (width == k.line_width)
        return 0;
    if (!require_open("gset_linewidth"))
        return -1;
    if (!(width >= 0)) {
        gerr_printf("gset_linewidth", "invalid line width: %f\n", width);
        return -1;
    }
    if (width == 0 && !caps().zero_width_thinnest)
        width = 1.0f;
    k.line_width = width;
    gnew_obj(GOBJ_LINEWIDTH, 1, sizeof(float), &width);
    dev().attribute(GAttr::LineWidth);
    return 0;
}

int gset_linetype(int type) {
    auto &k = kernel();
    if (type == k.line_type)
        return 0;
    if (!require_open("gset_linetype"))
        return -1;
    if (type < 0) {
        gerr_printf("gset_linetype", "invalid line type: %d\n", type);
        return -1;
    }
    k.line_type = type;
    gnew_obj(GOBJ_LINETYPE, type, 0, nullptr);
    dev().attribute(GAttr::LineType);
    return 0;
}

int gget_line_colr() {
    return kernel().line_colr;
}
float gget_linewidth() {
    return kernel().line_width;
}
int gget_linetype() {
    return kernel().line_type;
}

int greset_line() {
    auto &k = kernel();
    k.line_colr = 1;
    k.line_type = 1;
    k.line_width = 1.0f;
    return 0;
}
