// GVAR navigation of the three-axis-stabilised GOES imager and sounder (GOES I-M
// earth-location algorithm): a reference orbit and attitude, an orbit and
// attitude model in time when image motion compensation (IMC) is on, instrument
// misalignment and the scan geometry. Pure math over a decoded parameter set; the
// AREA navigation (sat_tran.h) installs one per image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gvar {

inline constexpr int kNavWords = 640;
inline constexpr int kMaxSinusoids = 15;
inline constexpr int kMaxMonomials = 4;

// One attitude angle (55 words of the block).
struct Attitude {
    double exp_mag = 0; // exponential magnitude
    double exp_tc = 0;  // exponential time constant (minutes)
    double mean = 0;    // mean angle
    int n_sin = 0;      // sinusoids used (0..15)
    double sin_mag[kMaxSinusoids] = {};
    double sin_phase[kMaxSinusoids] = {};
    int n_mono = 0; // monomial sinusoids used (0..4)
    struct Monomial {
        int sin_order = 0;
        int mono_order = 0;
        double mag = 0, phase = 0, epoch = 0;
    } mono[kMaxMonomials];
};

enum AttitudeIndex { kRoll = 0, kPitch, kYaw, kRollMis, kPitchMis };

struct Params {
    bool imc = false;        // image motion compensation on
    double ref_lon = 0;      // rad
    double ref_rad = 0;      // km from the nominal orbit
    double ref_lat = 0;      // rad
    double ref_yaw = 0;      // orbit yaw, rad
    double ref_att[3] = {};  // roll, pitch, yaw
    double epoch = 0;        // minutes since 1950
    double imc_offset = 0;   // minutes
    double imc_corr[3] = {}; // roll, pitch, yaw
    double lon_terms[13] = {};
    double rad_terms[11] = {};
    double lat_terms[9] = {};
    double yaw_terms[9] = {};
    double solar_rate = 0; // rad per minute
    double exp_offset = 0; // minutes
    Attitude att[5];       // roll, pitch, yaw, roll and pitch misalignment
    int32_t img_date = 0;  // year since 1900 * 1000 + day
    int32_t img_time = 0;  // hh * 10^7 + mm * 10^5 + seconds * 1000
    int instr = 0;         // 0 imager, 1 sounder
    int ns_cycles = 0, ew_cycles = 0, ns_incr = 0, ew_incr = 0;
    double image_time = 0; // minutes since 1950
};

// Scan geometry constants of one instrument.
struct Instrument {
    int incr_per_cycle = 0;
    double elev_incr = 0;  // rad per increment
    double scan_incr = 0;  // rad per increment
    double elev_ln = 0;    // rad per detector line
    double scan_px = 0;    // rad per pixel
    double elev_bound = 0; // rad
    double scan_bound = 0; // rad
    double line_offset = 0;
};

struct Nav {
    Params p;
    Instrument ins;
    double sub_lat = 0, sub_lon = 0; // rad, geodetic
    double b[3][3] = {};             // orbit to earth
    double bp[3][3] = {};            // instrument to earth
    double pos[3] = {};              // satellite, earth radii
    double q3 = 0;
    double roll_mis = 0, pitch_mis = 0;
};

// Decodes a 640-word block (host-order words, word 0 the type text). False when
// fewer words are given.
bool decode(const int32_t *words, size_t n, Params *out);
// A navigation from a block: decoded, with the instrument constants of its
// instrument and the derived state. False (and *out untouched) when fewer words
// are given.
bool from_block(const int32_t *words, size_t n, Nav *out);
// Instrument constants; bounds from the nadir cycles and increments when all
// four counts are non-zero.
Instrument instrument(int instr, int ns_cycles, int ns_incr, int ew_cycles, int ew_incr);
// Derived state from nav.p and nav.ins.
void init(Nav *nav);

double gatt(const Attitude &a, double wa, double te);
// bp = b * M(roll, pitch, yaw), the small-angle instrument rotation.
void inst2e(const double b[3][3], double bp[3][3], double roll, double pitch, double yaw);

double elev_line(const Instrument &ins, double line);
double scan_angle(const Instrument &ins, double pixel);
void elev_scan2line_pix(const Instrument &ins, double elev, double scan, double *line,
                        double *pixel);
// Instrument angles (rad) to geodetic latitude/longitude (rad): 0, or 1 with
// -9999.0 outputs when the line of sight misses the earth.
int lpoint(const Nav &nav, double elev, double scan, double *lat, double *lon);
// Geodetic latitude/longitude (rad) to instrument angles: 0, or 1 with -9999.0
// outputs when the point faces away from the satellite.
int gpoint(const Nav &nav, double lat, double lon, double *elev, double *scan);
// AREA line/element <-> degrees; 0, or -1 with -9999.0 outputs.
int sat2earth(const Nav &nav, double line, double elem, double *lat, double *lon);
int earth2sat(const Nav &nav, double lat, double lon, double *line, double *elem);
// earth2sat for n points, eight at a time where the processor allows (the same values to
// about a millionth of a pixel); a point it cannot place gets MISSING_D in both.
void earth2sat_n(const Nav &nav, size_t n, const double *lat, const double *lon, double *line,
                 double *elem);

} // namespace gvar
