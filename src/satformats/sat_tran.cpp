// AREA navigation state.
//
// A navigation value holds what one image needs: its type, the mapping from
// image pixels to AREA coordinates and the satellite geometry, GOES spin-scan
// (spinscan.cpp) or GVAR (gvar.cpp). The program keeps one process-wide value;
// AREA_init replaces it for each image read. Trap: the line coordinate of a
// "GOES" image counts from the actual start scan (directory word 47), and a
// GVAR parameter set outlives the images read after it, because raster images
// borrow the last one.
#include "satformats/sat_tran.h"

#include <algorithm>

#include "base/mess.h"
#include "base/missing.h"

namespace {

constexpr double kDeg = 57.29577951308232; // degrees per radian

} // namespace

// ===========================================================================
// The navigation value
// ===========================================================================

void AREA_NAVIGATION::install(const AREA &area) {
    const auto &d = area.dir;
    type = AREA_NAV_NONE;
    goes = spinscan::Nav{};
    lcor = static_cast<float>(d[AREA_W_LINE]);
    ecor = static_cast<float>(d[AREA_W_ELEM]);
    lres = static_cast<float>(d[AREA_W_LRES]);
    eres = static_cast<float>(d[AREA_W_ERES]);
    if (area.nav_type == "GOES" &&
        spinscan::decode(area.goes_nav.data(), area.goes_nav.size(), &goes)) {
        type = AREA_NAV_GOES;
        lcor = static_cast<float>(int64_t{d[AREA_W_LINE]} - d[AREA_W_START_SCAN]);
    } else if (area.nav_type == "GVAR" &&
               gvar::from_block(area.gvar_nav.data(), area.gvar_nav.size(), &gvar)) {
        type = AREA_NAV_GVAR;
    }
}

int AREA_NAVIGATION::to_earth(double line, double elem, double *lat, double *lon) const {
    if (type == AREA_NAV_GOES)
        return spinscan::to_earth(goes, line, elem, lat, lon);
    if (type == AREA_NAV_GVAR)
        return gvar::sat2earth(gvar, line, elem, lat, lon);
    return 0;
}

int AREA_NAVIGATION::to_image(double lat, double lon, double *line, double *elem) const {
    if (type == AREA_NAV_GOES)
        return spinscan::to_image(goes, false, &lat, &lon, line, elem);
    if (type == AREA_NAV_GVAR)
        return gvar::earth2sat(gvar, lat, lon, line, elem);
    return 0;
}

int AREA_NAVIGATION::subpoint(double *lat, double *lon) const {
    if (type == AREA_NAV_GOES) {
        double line = 0, elem = 0; // work values
        return spinscan::to_image(goes, true, lat, lon, &line, &elem);
    }
    if (type == AREA_NAV_GVAR) {
        *lat = gvar.sub_lat * kDeg;
        *lon = gvar.sub_lon * kDeg;
    }
    return 0;
}

int AREA_NAVIGATION::tran(int mode, float *lat, float *lon, float *line, float *elem) const {
    if (type == AREA_NAV_NONE)
        return 0;
    double la = *lat, lo = *lon, li = *line, el = *elem;
    int rc = 0;
    if (mode == 1)
        rc = to_earth(li, el, &la, &lo);
    else if (mode == 2)
        rc = to_image(la, lo, &li, &el);
    else if (mode == 3)
        rc = subpoint(&la, &lo);
    if (mode == 1 || mode == 3) {
        *lat = static_cast<float>(la);
        *lon = static_cast<float>(lo);
    } else if (mode == 2) {
        *line = static_cast<float>(li);
        *elem = static_cast<float>(el);
    }
    return rc;
}

void AREA_NAVIGATION::to_image_n(size_t n, const float *lat, const float *lon, float *line,
                                 float *elem) const {
    if (type == AREA_NAV_GVAR) {
        // In pieces through double buffers of a fixed size.
        constexpr size_t kPiece = 64;
        double la[kPiece], lo[kPiece], li[kPiece], el[kPiece];
        for (size_t at = 0; at < n; at += kPiece) {
            const size_t m = std::min(kPiece, n - at);
            for (size_t k = 0; k < m; ++k) {
                la[k] = lat[at + k];
                lo[k] = lon[at + k];
            }
            gvar::earth2sat_n(gvar, m, la, lo, li, el);
            for (size_t k = 0; k < m; ++k) {
                line[at + k] = static_cast<float>(li[k]);
                elem[at + k] = static_cast<float>(el[k]);
            }
        }
        return;
    }
    for (size_t k = 0; k < n; ++k) {
        double li = MISSING_D, el = MISSING_D;
        if (type == AREA_NAV_NONE || is_missing(lat[k]) ||
            to_image(lat[k], lon[k], &li, &el) != 0) {
            li = el = MISSING_D;
        }
        line[k] = static_cast<float>(li);
        elem[k] = static_cast<float>(el);
    }
}

void AREA_NAVIGATION::line_elem(int mode, float *line, float *elem, const float *y,
                                const float *x) const {
    const float yy = *y, xx = *x;
    if (mode == 1) {
        *elem = ecor - 1 + xx * eres;
        *line = lcor - 1 + yy * lres;
    } else {
        *elem = (xx - ecor) / eres + 1;
        *line = (yy - lcor) / lres + 1;
    }
}

int AREA_NAVIGATION::pos(int date, double hours, int celestial, double xyz[3]) const {
    if (type != AREA_NAV_GOES || !goes.valid)
        return -1;
    spinscan::position(goes, date, hours, celestial != 0, xyz);
    return 0;
}

// ===========================================================================
// The process-wide navigation
// ===========================================================================

namespace {

struct TranState {
    AREA_NAVIGATION nav;
};

TranState &st() {
    static TranState s;
    return s;
}

void print_goes(const spinscan::Nav &n) {
    const auto &o = n.orb;
    const auto &v = n.nav;
    constexpr uint32_t L = MESS_DEBUG;
    MESS_print(L, "date            = %ld\n", static_cast<long>(n.date));
    MESS_print(L, "pict_time       = %f\n", n.start);
    MESS_print(L, "orb.sat_type    = %d\n", o.sat_type);
    MESS_print(L, "orb.sec_ord     = %d\n", o.sec_ord);
    MESS_print(L, "orb.anom_type   = %d\n", o.anom_type);
    MESS_print(L, "orb.epoch_date  = %ld\n", static_cast<long>(o.epoch_date));
    MESS_print(L, "orb.epoch_time  = %ld\n", static_cast<long>(o.epoch_time));
    MESS_print(L, "orb.semi_maj    = %f\n", o.semi_maj);
    MESS_print(L, "orb.eccent      = %f\n", o.eccent);
    MESS_print(L, "orb.inclin      = %f\n", o.inclin);
    MESS_print(L, "orb.anomaly     = %f\n", o.anomaly);
    MESS_print(L, "orb.perigee     = %f\n", o.perigee);
    MESS_print(L, "orb.asc_node    = %f\n", o.asc_node);
    MESS_print(L, "nav.declin      = %f\n", v.declin);
    MESS_print(L, "nav.right_asc   = %f\n", v.right_asc);
    MESS_print(L, "nav.center_line = %ld\n", static_cast<long>(v.center_line));
    MESS_print(L, "nav.spin_rate   = %f\n", v.spin_rate);
    MESS_print(L, "nav.deg_line    = %f\n", v.deg_line);
    MESS_print(L, "nav.num_lines   = %ld\n", static_cast<long>(v.num_lines));
    MESS_print(L, "nav.deg_elem    = %f\n", v.deg_elem);
    MESS_print(L, "nav.num_elem    = %ld\n", static_cast<long>(v.num_elem));
    MESS_print(L, "nav.pitch       = %f\n", v.pitch);
    MESS_print(L, "nav.yaw         = %f\n", v.yaw);
    MESS_print(L, "nav.roll        = %f\n", v.roll);
    MESS_print(L, "nav.prec_rate   = %f\n", v.prec_rate);
    MESS_print(L, "nav.prec_dir    = %f\n", v.prec_dir);
    MESS_print(L, "gamma_init      = %f\n", n.gamma_init);
    MESS_print(L, "gamma_dot       = %f\n", n.gamma_dot);
    MESS_print(L, "atms_hght       = %f\n", n.atms_hght);
}

} // namespace

AREA_NAVIGATION &AREA_navigation() {
    return st().nav;
}

void AREA_reset_state() {
    AREA_NAVIGATION fresh;
    fresh.gvar = st().nav.gvar;
    st().nav = fresh;
}

int AREA_get_image_type() {
    return st().nav.type;
}

void AREA_get_res(float out[4]) {
    const auto &n = st().nav;
    out[0] = n.lcor;
    out[1] = n.ecor;
    out[2] = n.lres;
    out[3] = n.eres;
}

int AREA_init(const AREA *area) {
    AREA_reset_state();
    if (!area)
        return 0;
    auto &n = st().nav;
    n.install(*area);
    if (n.type == AREA_NAV_GOES)
        print_goes(n.goes);
    return 0;
}

int AREA_pos(int date, double hours, int celestial, double xyz[3]) {
    return st().nav.pos(date, hours, celestial, xyz);
}

int AREA_tran(int mode, float *lat, float *lon, float *line, float *elem) {
    return st().nav.tran(mode, lat, lon, line, elem);
}

int AREA_line_elem(int mode, float *line, float *elem, float *y, float *x) {
    st().nav.line_elem(mode, line, elem, y, x);
    return 0;
}

int AREA_set_res(float lcor, float ecor, float lres, float eres) {
    auto &n = st().nav;
    n.lcor = lcor;
    n.ecor = ecor;
    n.lres = lres;
    n.eres = eres;
    return 0;
}

// ---------------------------------------------------------------------------
// GVAR
// ---------------------------------------------------------------------------

void GVAR_reset_state() {
    st().nav.gvar = gvar::Nav{};
}

const gvar::Nav &GVAR_nav() {
    return st().nav.gvar;
}

int GVAR_set_nav(const int32_t *words, size_t n) {
    return gvar::from_block(words, n, &st().nav.gvar) ? 0 : -1;
}

int GVAR_init() {
    gvar::init(&st().nav.gvar);
    return 0;
}

int set_gvar_con(int instr, int ns_cycles, int ns_incr, int ew_cycles, int ew_incr) {
    auto &g = st().nav.gvar;
    g.p.instr = instr == 1 ? 1 : 0;
    g.ins = gvar::instrument(g.p.instr, ns_cycles, ns_incr, ew_cycles, ew_incr);
    return 0;
}

int sat2earth(double *lat, double *lon, double line, double elem) {
    return gvar::sat2earth(st().nav.gvar, line, elem, lat, lon);
}

int earth2sat(double *line, double *elem, double lat, double lon) {
    return gvar::earth2sat(st().nav.gvar, lat, lon, line, elem);
}

void GVAR_subpoint(double *lat, double *lon) {
    *lat = st().nav.gvar.sub_lat * kDeg;
    *lon = st().nav.gvar.sub_lon * kDeg;
}
