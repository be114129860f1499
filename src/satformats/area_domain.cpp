// Plot domains of AREA images.
//
// Projection blocks: the block's projection and origin are installed in the
// projection module, the image centre (in AREA coordinates through the image's
// mapping) is placed on that map and untransformed into the domain's centre.
// Traps: the blocks' earth radii differ ("PS" 63.71, "MERC" and "LAMB" 63.713
// plot units); "TANC" gives its pole position in ten-thousandths of a pixel and
// prints its dump instead of the domain; "MSAT" counts pixels of a 2500-pixel
// full disc at half the AREA resolution.
#include "satformats/area_domain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/mess.h"
#include "base/missing.h"
#include "base/resrc.h"
#include "map/maptran.h"
#include "map/region.h"
#include "satformats/sat_tran.h"
#include "satformats/satnav.h"

namespace {

using satnav::kGvarDistance;
using satnav::kMercLambRadius;
using satnav::kMsatDistance;
using satnav::kPsRadius;

// "MSAT" full disc: 18 degrees of scan over 2500 pixels, at kMsatDistance,
// are 0.0529848 plot units per pixel (truncated), half of that per AREA step.
// The element term multiplies by the float value widened to double, the line
// term by the decimal value; the two differ from the seventh digit on.
constexpr double kMsatStep = 0.0529848;
constexpr float kMsatStepF = 0.0529848f;
constexpr float kMsatHalfStep = 0.0264924f;
static_assert(double{kMsatStepF} == 0.052984800189733505);
static_assert(static_cast<float>(kGvarDistance) == 421.643f);

// The "grid_domain" resource replaces the navigation's domain; the image is then
// placed through it.
bool grid_domain(IMAGE *image, bool &own_domain) {
    const char *text = RES_get("grid_domain");
    if (!text || !*text)
        return false;
    DOM_decode(text, &image->domain);
    own_domain = true;
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &image->domain);
    return true;
}

// AREA line/element of the image pixel (x across, y down).
void area_point(const AREA_NAVIGATION &nav, float x, float y, float *line, float *elem) {
    nav.line_elem(1, line, elem, &y, &x);
}

// A block word with its sign turned, as a float: the blocks store west longitudes, and
// INT_MIN has no negative as an integer.
float negated(int32_t word) {
    return -static_cast<float>(word);
}

double pow10i(int32_t p) {
    return std::pow(10.0, p == 0 ? 4 : std::clamp(p, -30, 30));
}

float safe_div(double a, double b) {
    return b != 0 ? static_cast<float>(a / b) : MISSING_F;
}

void block_text(const std::vector<int32_t> &w, char out[5]) {
    std::memcpy(out, w.data(), 4);
    out[4] = '\0';
}

// Projection blocks whose centre is a point of a flat map: install the
// projection and origin, the grid size and further parameters, then untransform
// the centre.
void map_centre(DOMAIN &dom, float x, float y) {
    MAP_domain(&dom);
    float clat = MISSING_F, clon = MISSING_F;
    MAP_untran(&clat, &clon, x, y);
    dom.clat = clat;
    dom.clon = clon;
}

// "GOES": the satellite view from the sub-satellite point, its grid steps
// measured 10 pixels left of and below the centre.
void satellite_domain_goes(const AREA_NAVIGATION &nav, IMAGE *image, int W, int H, float L,
                           float E) {
    DOMAIN &dom = image->domain;
    dom.proj = 9;
    float slat = 0, slon = 0, wl = 0, we = 0;
    nav.tran(3, &slat, &slon, &wl, &we);
    dom.param[0] = slat;
    dom.param[1] = slon;
    MAP_proj(9);
    MAP_coord(dom.param[0], dom.param[1]);
    float clat = MISSING_F, clon = MISSING_F;
    nav.tran(1, &clat, &clon, &L, &E);
    dom.clat = clat;
    dom.clon = clon;
    float xc = MISSING_F, yc = MISSING_F;
    MAP_tran(&xc, &yc, clat, clon);
    auto projected = [&nav](float px, float py, float *mx, float *my) {
        float l = 0, e = 0, la = MISSING_F, lo = MISSING_F;
        area_point(nav, px, py, &l, &e);
        nav.tran(1, &la, &lo, &l, &e);
        MAP_tran(mx, my, la, lo);
    };
    float x10 = MISSING_F, y10 = MISSING_F, xd = MISSING_F, yd = MISSING_F;
    projected(W * 0.5f - 10, H * 0.5f, &x10, &y10);
    projected(W * 0.5f, H * 0.5f + 10, &xd, &yd);
    dom.dx = (xc - x10) / 10;
    dom.dy = (yc - yd) / 10;
    dom.nx = W;
    dom.ny = H;
}

// The satellite view of the installed GVAR navigation.
int gvar_domain(const AREA_NAVIGATION &nav, IMAGE *image, bool &own_domain) {
    if (!image)
        return -1;
    if (grid_domain(image, own_domain))
        return 0;
    DOMAIN &dom = image->domain;
    DOM_init(&dom);
    dom.proj = 9;
    // The navigation's own sub-satellite point is the origin also when the
    // satellite transformation is off.
    float slat = 0, slon = 0, wl = 0, we = 0;
    if (nav.type != AREA_NAV_NONE)
        nav.tran(3, &slat, &slon, &wl, &we);
    dom.param[0] = slat;
    dom.param[1] = slon;
    dom.param[2] = static_cast<float>(kGvarDistance);
    // Scan angles of the GVAR instruments, whose mirror sweeps east-west along a line of
    // fixed elevation: the x-sweeping satellite view (the y-sweeping one puts the corners
    // of a GOES-8 image of 1800 x 400 pixels six pixels away from the navigation).
    dom.param[3] = 2.0f;
    dom.ellipsoid = 1;
    MAP_proj(9);
    MAP_coord(dom.param[0], dom.param[1]);

    float x = image->nx * 0.5f, y = image->ny * 0.5f, line = 0, elem = 0;
    nav.line_elem(1, &line, &elem, &y, &x);
    MESS_print(0x80000000u, "%f %f %f %f\n", y, x, line, elem);
    float lat = MISSING_F, lon = MISSING_F;
    nav.tran(1, &lat, &lon, &line, &elem);
    dom.clat = lat;
    dom.clon = lon;
    dom.nx = image->nx;
    dom.ny = image->ny;
    const auto &ins = nav.gvar.ins;
    dom.dx = static_cast<float>(image->res_x * ins.scan_px * kGvarDistance);
    dom.dy = static_cast<float>(image->res_y * ins.elev_ln * kGvarDistance);
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &dom);
    return 0;
}

int area_domain(const AREA_NAVIGATION &nav, IMAGE *image, const AREA *area, bool &own_domain) {
    if (!image || !area)
        return -1;
    if (grid_domain(image, own_domain))
        return 0;
    DOMAIN &dom = image->domain;
    DOM_init(&dom);
    const auto &D = area->dir;
    const int W = D[AREA_W_ELEMS], H = D[AREA_W_LINES];
    const std::string &type = area->nav_type;
    if (type == "GVAR")
        return gvar_domain(nav, image, own_domain);

    const std::vector<int32_t> *block = AREA_nav_block(area);
    if (type != "GOES")
        own_domain = true;
    if (!block || block->size() < AREA_NAV_WORDS) {
        MESS_print(MESS_OUT2, "Image domain: ");
        DOM_print(MESS_OUT2, &dom);
        return 0;
    }
    const auto &w = *block;
    float L = 0, E = 0;
    area_point(nav, W * 0.5f, H * 0.5f, &L, &E);
    const std::string t2 = type.substr(0, 2);
    const float lres = static_cast<float>(D[AREA_W_LRES]);
    const float eres = static_cast<float>(D[AREA_W_ERES]);

    auto install = [&](int proj, float p0, float p1) {
        dom.proj = proj;
        dom.param[0] = p0;
        dom.param[1] = p1;
        MAP_proj(proj);
        MAP_coord(p0, p1);
        dom.nx = W;
        dom.ny = H;
    };

    if (type == "GOES") {
        satellite_domain_goes(nav, image, W, H, L, E);
    } else if (t2 == "PS") {
        install(1, w[3] / 10000.0f, negated(w[5]) / 10000.0f);
        dom.param[2] = w[3] / 10000.0f;
        const float s = safe_div(w[4] * kPsRadius, w[6]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "ME") {
        install(3, 0.0f, negated(w[5]) / 10000.0f);
        const float s = safe_div(w[4] * kMercLambRadius, w[6]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "LA") {
        install(4, w[11] / 10000.0f, negated(w[6]) / 10000.0f);
        dom.param[2] = w[3] / 10000.0f;
        dom.param[3] = w[4] / 10000.0f;
        const float s = safe_div(w[5] * kMercLambRadius, w[7]);
        map_centre(dom, (E - w[2]) * s, -(L - w[1]) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "TA") {
        install(4, w[4] / 10000.0f, negated(w[5]) / 10000.0f);
        dom.param[2] = dom.param[3] = w[4] / 10000.0f;
        const float s = static_cast<float>(w[3] / 1000000.0);
        map_centre(dom, (E - w[2] / 10000.0f) * s, -(L - w[1] / 10000.0f) * s);
        dom.dx = eres * s;
        dom.dy = lres * s;
    } else if (t2 == "RE") {
        install(2, 0.0f, 0.0f);
        const double a = w[5] / pow10i(w[13]);
        const double b = w[6] / pow10i(w[14]);
        const double lat0 = w[2] / pow10i(w[11]);
        const double lon0 = -static_cast<double>(w[4]) / pow10i(w[12]);
        map_centre(dom, static_cast<float>((E - w[3]) * a + lon0),
                   static_cast<float>(-((L - w[1]) * b + lat0)));
        dom.dx = static_cast<float>(eres * a);
        dom.dy = static_cast<float>(lres * b);
        dom.param[1] = dom.clon;
    } else if (t2 == "MO") {
        install(7, 0.0f, negated(w[4]) / 10000.0f);
        const double s = w[14] == 0x4B4D5050
                             ? (w[3] != 0 ? w[6] * 0.7071 / 1000 / (w[3] * 380.344) : 0.0)
                             : w[3] * 0.62 / 1000;
        dom.dx = static_cast<float>(eres * s);
        dom.dy = static_cast<float>(lres * s);
        map_centre(dom, (E - w[2]) * dom.dx, -(L - w[1]) * dom.dy);
    } else if (t2 == "MS") {
        dom.proj = 9;
        dom.param[0] = 0.0f;
        dom.param[1] = negated(w[6]) / 10000.0f;
        dom.param[2] = kMsatDistance;
        dom.param[3] = 1.0f;
        dom.ellipsoid = 1;
        dom.nx = W;
        dom.ny = H;
        MAP_domain(&dom);
        const double L0 = D[AREA_W_LINE] - 1.0, E0 = D[AREA_W_ELEM] - 1.0;
        const double x = (1250.5 - (W * 0.5 * eres + E0) * 0.5) * double{kMsatStepF};
        const double y = (w[5] - (w[4] + (L0 + H * 0.5 * lres) * 0.5 - w[3])) * kMsatStep;
        float clat = MISSING_F, clon = MISSING_F;
        MAP_untran(&clat, &clon, static_cast<float>(x), static_cast<float>(y));
        dom.clat = clat;
        dom.clon = clon;
        dom.dx = eres * kMsatHalfStep;
        dom.dy = lres * kMsatHalfStep;
        MESS_print(MESS_OUT2, "Image domain: ");
        DOM_print(MESS_OUT2, &dom);
        return 0;
    }

    char text[5];
    block_text(w, text);
    constexpr uint32_t kDbg = 0x10000000u;
    if (t2 == "PS") {
        MESS_print(kDbg, "PS: %s\n", text);
        MESS_print(kDbg, "NPLINE: %d\n", w[1]);
        MESS_print(kDbg, "NPELEM: %d\n", w[2]);
        MESS_print(kDbg, "STDLAT: %d\n", w[3]);
        MESS_print(kDbg, "SPACE: %d\n", w[4]);
        MESS_print(kDbg, "NRMLON: %d\n", w[5]);
        MESS_print(kDbg, "EQURAD: %d\n", w[6]);
        MESS_print(kDbg, "ECCENT: %d\n", w[7]);
    } else if (t2 == "TA") {
        MESS_print(kDbg, "TANC: %s\n", text);
        MESS_print(kDbg, "NPLINE: %d\n", w[1]);
        MESS_print(kDbg, "NPELEM: %d\n", w[2]);
        MESS_print(kDbg, "STDLAT: %d\n", w[4]);
        MESS_print(kDbg, "SPACE: %d\n", w[3]);
        MESS_print(kDbg, "NRMLON: %d\n", w[5]);
        return 0;
    }
    MESS_print(MESS_OUT2, "Image domain: ");
    DOM_print(MESS_OUT2, &dom);
    return 0;
}

} // namespace

int AREA_calc_domain(IMAGE *image, const AREA *area, bool *own_domain) {
    bool own = false;
    const int rc = area_domain(AREA_navigation(), image, area, own);
    if (own_domain)
        *own_domain = own;
    return rc;
}

int GVAR_calc_domain(IMAGE *image, bool *own_domain) {
    bool own = false;
    const int rc = gvar_domain(AREA_navigation(), image, own);
    if (own_domain)
        *own_domain = own;
    return rc;
}
