// GOES spin-scan navigation (the spinning GOES satellites before GOES-8): a
// Kepler orbit, a spin axis fixed in inertial space and a scan of one line per
// spin and sensor, on the International ellipsoid. Pure math over a decoded
// parameter set; the AREA navigation (sat_tran.h) installs one per image.
//
// Traps: the line count of the block carries the number of sensors in its upper
// digits; packed angles are +-DDDMMSS degrees and packed times HHMMSS hours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace spinscan {

inline constexpr int kNavWords = 128;

// Orbit record (names as the navigation dump prints them).
struct Orbit {
    int sat_type = 1, anom_type = 0, sec_ord = 0;
    int epoch_date = 0, epoch_time = 0; // yymmdd, hhmmss
    double semi_maj = 0, eccent = 0, inclin = 0, anomaly = 0, perigee = 0, asc_node = 0;
};

// Scan record.
struct Scan {
    double declin = 0, right_asc = 0;
    int center_line = 0;
    double spin_rate = 0, deg_line = 0;
    int num_lines = 0;
    double deg_elem = 0;
    int num_elem = 0;
    double pitch = 0, yaw = 0, roll = 0, prec_rate = 0, prec_dir = 0;
};

struct Nav {
    int date = 0;     // picture date, yyddd
    double start = 0; // picture start time, hours
    Orbit orb;
    Scan nav;
    double gamma_init = 0, gamma_dot = 0, atms_hght = 0, prec_veq = 0;

    // Derived by setup().
    bool valid = false; // a scan and an orbit that can be navigated
    int sensors = 1, lines = 0;
    double ce = 0, rl = 0, re = 0;
    double spin[3] = {};
    double r[6] = {};
    double mean_motion = 0;
    int peri_date = 0;
    double peri_hours = 0;
    double P[3] = {}, Q[3] = {};
};

// Decodes a 128-word "GOES" block (host-order words, word 0 the type text) and
// sets up the derived values. False when fewer words are given.
bool decode(const int32_t *words, size_t n, Nav *out);
// Derived values of the scan and of the orbit.
void setup(Nav &n);
// Satellite position (km) at a date (yyddd) and time (hours); inertial axes when
// celestial, else earth-fixed.
void position(const Nav &n, int date, double hours, bool celestial, double x[3]);
// Line/element to geodetic latitude/longitude (degrees): 0, or -1 with -9999.0
// outputs off the earth.
int to_earth(const Nav &n, double line, double elem, double *lat, double *lon);
// Latitude/longitude to line/element, or with sub the sub-satellite point into
// lat/lon. 0 (-9999.0 outside the picture), or -1 with -9999.0 outputs when the
// point is hidden from the satellite.
int to_image(const Nav &n, bool sub, double *lat, double *lon, double *line, double *elem);

} // namespace spinscan
