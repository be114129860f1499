// AREA fixture writer: builds AREA files from parameters for tests, benchmarks
// and experiments. Written from the AREA layout alone (it shares no code with the
// reader): a 64-word directory, a navigation block behind it and the pixel block
// at the data offset, in either byte order, or as a sync-framed stream whose
// directory, navigation block and nibble-coded lines each follow the pattern
// 00 FF 00 FF 00 FF 00 FF (big-endian words).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace area_fixture {

enum class Order { big, little };

// Header and pixels of one AREA image.
struct Image {
    int lines = 1, elems = 1;
    int bytes_per_elem = 1;
    int prefix = 0; // line prefix bytes (filled with 0xA5)
    int ul_line = 1, ul_elem = 1;
    int line_res = 1, elem_res = 1;
    int date = 98260; // yyddd (or yyyddd)
    int time = 74500; // hhmmss
    int band_map = 1;
    int start_scan = 0;   // directory word 47
    int data_offset = -1; // -1: directly behind the navigation block
    std::string source = "VISR", calib = "BRIT";
    std::string comment;         // up to 32 characters
    std::string nav_type;        // "GOES", "GVAR", "PS", ... ("" for no block)
    std::vector<int32_t> nav;    // words of the block; word 0 is replaced by the type text
    std::vector<uint8_t> pixels; // lines x elems x bytes_per_elem, as stored
};

inline void put_word(std::vector<uint8_t> &out, int32_t v, Order o) {
    const auto u = static_cast<uint32_t>(v);
    uint8_t b[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                    static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
    if (o == Order::little)
        std::swap(b[0], b[3]), std::swap(b[1], b[2]);
    out.insert(out.end(), b, b + 4);
}

inline void put_text(std::vector<uint8_t> &out, const std::string &s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : ' ');
}

// Word count of the navigation block of a type.
inline size_t nav_words(const std::string &type) {
    return type.empty() ? 0 : (type == "GVAR" ? 640 : 128);
}

inline int data_offset(const Image &im) {
    return im.data_offset >= 0 ? im.data_offset
                               : 256 + static_cast<int>(4 * nav_words(im.nav_type));
}

// The 256-byte directory. Words 24-31 (comment) and the type words 51, 52 are
// text and written as characters.
inline std::vector<uint8_t> directory(const Image &im, Order o) {
    std::vector<int32_t> w(64, 0);
    w[1] = 4;
    w[2] = 70;
    w[3] = im.date;
    w[4] = im.time;
    w[5] = im.ul_line;
    w[6] = im.ul_elem;
    w[8] = im.lines;
    w[9] = im.elems;
    w[10] = im.bytes_per_elem;
    w[11] = im.line_res;
    w[12] = im.elem_res;
    w[13] = 1;
    w[14] = im.prefix;
    w[18] = im.band_map;
    w[33] = data_offset(im);
    w[34] = im.nav_type.empty() ? 0 : 256;
    w[47] = im.start_scan;
    std::vector<uint8_t> out;
    for (int i = 0; i < 64; ++i) {
        if (i == 24) {
            put_text(out, im.comment, 32);
            i = 31;
        } else if (i == 51 || i == 52) {
            // Text words: characters in the order of the file's integer bytes.
            const std::string &s = i == 51 ? im.source : im.calib;
            int32_t v = 0;
            for (int k = 0; k < 4; ++k)
                v = static_cast<int32_t>(static_cast<uint32_t>(v) << 8 |
                                         static_cast<uint8_t>(k < static_cast<int>(s.size())
                                                                  ? s[static_cast<size_t>(k)]
                                                                  : ' '));
            put_word(out, v, Order::big);
        } else {
            put_word(out, w[static_cast<size_t>(i)], o);
        }
    }
    return out;
}

// The navigation block: the type text, then the words; words 120-127 of a
// 128-word block are text continuation and written as zero bytes.
inline std::vector<uint8_t> nav_block(const Image &im, Order o) {
    std::vector<uint8_t> out;
    const size_t n = nav_words(im.nav_type);
    if (n == 0)
        return out;
    put_text(out, im.nav_type, 4);
    for (size_t i = 1; i < n; ++i) {
        int32_t v = i < im.nav.size() ? im.nav[i] : 0;
        if (n == 128 && i >= 120)
            v = 0;
        put_word(out, v, o);
    }
    return out;
}

// A plain AREA file: directory, navigation block, padding up to the data offset,
// then for every line the prefix and the stored pixels.
inline std::vector<uint8_t> write_plain(const Image &im, Order o) {
    std::vector<uint8_t> out = directory(im, o);
    const auto nav = nav_block(im, o);
    out.insert(out.end(), nav.begin(), nav.end());
    out.resize(static_cast<size_t>(data_offset(im)), 0);
    const size_t row = static_cast<size_t>(im.elems) * static_cast<size_t>(im.bytes_per_elem);
    for (int l = 0; l < im.lines; ++l) {
        out.insert(out.end(), static_cast<size_t>(im.prefix), 0xA5);
        for (size_t k = 0; k < row; ++k) {
            size_t at = static_cast<size_t>(l) * row + k;
            out.push_back(at < im.pixels.size() ? im.pixels[at] : 0);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Sync-framed streams
// ---------------------------------------------------------------------------

inline const uint8_t kSync[8] = {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF};

// Nibble code of a line: 0 + two nibbles for a literal byte, 1..12 for a change of
// -6, +6, -5, +5, ..., -1, +1 from the previous value, 13..15 for one to three
// repeats of it. The previous value starts at 0. Odd nibble counts are padded
// with 0xF (never read: the line is full by then).
inline std::vector<uint8_t> encode_line(const std::vector<uint8_t> &values) {
    std::vector<uint8_t> nib;
    uint8_t v = 0;
    for (size_t i = 0; i < values.size();) {
        const uint8_t x = values[i];
        if (x == v) {
            size_t run = 1;
            while (run < 3 && i + run < values.size() && values[i + run] == v)
                ++run;
            nib.push_back(static_cast<uint8_t>(12 + run));
            i += run;
            continue;
        }
        const int d = static_cast<int8_t>(static_cast<uint8_t>(x - v));
        if (d >= -6 && d <= -1)
            nib.push_back(static_cast<uint8_t>(2 * d + 13));
        else if (d >= 1 && d <= 6)
            nib.push_back(static_cast<uint8_t>(14 - 2 * d));
        else {
            nib.push_back(0);
            nib.push_back(static_cast<uint8_t>(x >> 4));
            nib.push_back(static_cast<uint8_t>(x & 15));
        }
        v = x;
        ++i;
    }
    if (nib.size() % 2)
        nib.push_back(0xF);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < nib.size(); i += 2)
        out.push_back(static_cast<uint8_t>(nib[i] << 4 | nib[i + 1]));
    return out;
}

// One framed line: its number, line code (6 for six-bit values) and the coded
// bytes (from encode_line, or hand-made).
struct SyncLine {
    int64_t number = 0;
    int type = 0;
    std::vector<uint8_t> coded;
    int length = -1;            // coded length field; -1: coded.size()
    bool damaged_frame = false; // a frame whose first number byte is not 0, then the real one
};

inline void put_be16(std::vector<uint8_t> &out, int v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

// The stream: sync + directory, sync + navigation block, then (at the data
// offset, counted with the navigation block's first byte as byte 256) the lines.
inline std::vector<uint8_t> write_sync(const Image &im, const std::vector<SyncLine> &lines,
                                       const std::vector<uint8_t> &lead_in = {}) {
    std::vector<uint8_t> out = lead_in;
    out.insert(out.end(), kSync, kSync + 8);
    const auto dir = directory(im, Order::big);
    out.insert(out.end(), dir.begin(), dir.end());
    out.insert(out.end(), kSync, kSync + 8);
    const size_t nav_start = out.size();
    const auto nav = nav_block(im, Order::big);
    out.insert(out.end(), nav.begin(), nav.end());
    out.resize(nav_start + static_cast<size_t>(data_offset(im) - 256), 0x11);
    for (const auto &l : lines) {
        if (l.damaged_frame) {
            out.insert(out.end(), kSync, kSync + 8);
            out.push_back(0x7F);
        }
        out.insert(out.end(), kSync, kSync + 8);
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(static_cast<uint8_t>(l.number >> s));
        out.insert(out.end(), static_cast<size_t>(im.prefix), 0xA5);
        put_be16(out, l.type);
        put_be16(out, l.length >= 0 ? l.length : static_cast<int>(l.coded.size()));
        out.insert(out.end(), l.coded.begin(), l.coded.end());
    }
    return out;
}

// Framed lines numbered 1.. from the image's one-byte pixels, and the end mark
// (number = line count). The line numbered like the line count is the end mark,
// so the last image line is not sent.
inline std::vector<SyncLine> sync_lines(const Image &im) {
    std::vector<SyncLine> out;
    for (int l = 0; l + 1 < im.lines; ++l) {
        std::vector<uint8_t> row(static_cast<size_t>(im.elems), 0);
        for (int e = 0; e < im.elems; ++e) {
            size_t at =
                static_cast<size_t>(l) * static_cast<size_t>(im.elems) + static_cast<size_t>(e);
            row[static_cast<size_t>(e)] = at < im.pixels.size() ? im.pixels[at] : 0;
        }
        out.push_back({l + 1, 0, encode_line(row)});
    }
    out.push_back({im.lines, 0, {}});
    return out;
}

// ---------------------------------------------------------------------------
// Navigation blocks from parameters
// ---------------------------------------------------------------------------

// Degrees (or hours) to +-DDDMMSS, to the nearest second.
inline int32_t packed(double deg) {
    const double a = std::fabs(deg);
    long s = std::lround(a * 3600.0);
    long v = s / 3600 * 10000 + s / 60 % 60 * 100 + s % 60;
    return static_cast<int32_t>(deg < 0 ? -v : v);
}

inline int32_t scaled(double v, double f) {
    return static_cast<int32_t>(std::llround(v * f));
}

// Polar stereographic: pole at (line, element), true at std_lat, spacing in m at
// the true latitude, normal longitude west-positive, earth radius in m.
inline std::vector<int32_t> ps_block(int pole_line, int pole_elem, double std_lat, int spacing_m,
                                     double normal_lon_west, int radius_m) {
    std::vector<int32_t> w(128, 0);
    w[1] = pole_line;
    w[2] = pole_elem;
    w[3] = scaled(std_lat, 1e4);
    w[4] = spacing_m;
    w[5] = scaled(normal_lon_west, 1e4);
    w[6] = radius_m;
    w[7] = 8199;
    return w;
}

// Mercator: equator at line eq_line, the normal longitude at element ref_elem.
inline std::vector<int32_t> merc_block(int eq_line, int ref_elem, int spacing_m,
                                       double normal_lon_west, int radius_m) {
    std::vector<int32_t> w(128, 0);
    w[1] = eq_line;
    w[2] = ref_elem;
    w[4] = spacing_m;
    w[5] = scaled(normal_lon_west, 1e4);
    w[6] = radius_m;
    return w;
}

// Lambert conformal: pole at (line, element), true latitudes lat1, lat2.
inline std::vector<int32_t> lamb_block(int pole_line, int pole_elem, double lat1, double lat2,
                                       int spacing_m, double normal_lon_west, int radius_m,
                                       double ref_lat) {
    std::vector<int32_t> w(128, 0);
    w[1] = pole_line;
    w[2] = pole_elem;
    w[3] = scaled(lat1, 1e4);
    w[4] = scaled(lat2, 1e4);
    w[5] = spacing_m;
    w[6] = scaled(normal_lon_west, 1e4);
    w[7] = radius_m;
    w[11] = scaled(ref_lat, 1e4);
    return w;
}

// Tangent cone: pole at (line, element) in 1/10000 pixel, km per pixel, the
// tangent latitude and the normal longitude (west-positive).
inline std::vector<int32_t> tanc_block(double pole_line, double pole_elem, double km_per_pixel,
                                       double std_lat, double normal_lon_west) {
    std::vector<int32_t> w(128, 0);
    w[1] = scaled(pole_line, 1e4);
    w[2] = scaled(pole_elem, 1e4);
    w[3] = scaled(km_per_pixel, 1e4);
    w[4] = scaled(std_lat, 1e4);
    w[5] = scaled(normal_lon_west, 1e4);
    return w;
}

// Latitude-longitude grid: reference line/element and their latitude and
// (west-positive) longitude, degrees per line and per element, each scaled by
// 10^4.
inline std::vector<int32_t> rect_block(int ref_line, double ref_lat, int ref_elem,
                                       double ref_lon_west, double lat_step, double lon_step) {
    std::vector<int32_t> w(128, 0);
    w[1] = ref_line;
    w[2] = scaled(ref_lat, 1e4);
    w[3] = ref_elem;
    w[4] = scaled(ref_lon_west, 1e4);
    w[5] = scaled(lon_step, 1e4);
    w[6] = scaled(lat_step, 1e4);
    w[7] = 6371;
    w[11] = w[12] = w[13] = w[14] = 4;
    return w;
}

// Mollweide: centre at (line, element), w[3] the scale word, normal longitude.
inline std::vector<int32_t> moll_block(int c_line, int c_elem, int scale, double normal_lon_west,
                                       bool kmpp = false, int km = 0) {
    std::vector<int32_t> w(128, 0);
    w[1] = c_line;
    w[2] = c_elem;
    w[3] = scale;
    w[4] = scaled(normal_lon_west, 1e4);
    w[6] = km;
    if (kmpp)
        w[14] = 0x4B4D5050;
    return w;
}

// Fixed full-disc view.
inline std::vector<int32_t> msat_block(int w3, int w4, int w5, double sub_lon_west) {
    std::vector<int32_t> w(128, 0);
    w[3] = w3;
    w[4] = w4;
    w[5] = w5;
    w[6] = scaled(sub_lon_west, 1e4);
    return w;
}

// GOES spin-scan orbit and scan parameters in natural units.
struct Goes {
    int date = 98260;          // picture date yyddd
    double start_hours = 17.5; // picture start time
    int epoch_date = 980917;   // yymmdd
    int epoch_time = 0;        // hhmmss
    double semi_maj_km = 42164.0;
    double eccent = 0, inclin_deg = 0, anomaly_deg = 0, perigee_deg = 0, asc_node_deg = 0;
    double declin_deg = 90, right_asc_deg = 0;
    int center_line = 9107;
    double spin_seconds = 0.6;
    double deg_line = 20.0;
    int num_lines = 18213;
    int sensors = 1;
    double deg_elem = 20.0;
    int num_elem = 15229;
    double pitch_deg = 0, yaw_deg = 0, roll_deg = 0;
    double gamma = 0, gamma_dot = 0;
};

inline std::vector<int32_t> goes_block(const Goes &g) {
    std::vector<int32_t> w(128, 0);
    w[1] = g.date;
    w[2] = packed(g.start_hours);
    w[4] = g.epoch_date;
    w[5] = g.epoch_time;
    w[6] = scaled(g.semi_maj_km, 100);
    w[7] = scaled(g.eccent, 1e6);
    w[8] = scaled(g.inclin_deg, 1e3);
    w[9] = scaled(g.anomaly_deg, 1e3);
    w[10] = scaled(g.perigee_deg, 1e3);
    w[11] = scaled(g.asc_node_deg, 1e3);
    w[12] = packed(g.declin_deg);
    w[13] = packed(g.right_asc_deg);
    w[14] = g.center_line;
    w[15] = scaled(g.spin_seconds, 1e6);
    w[16] = packed(g.deg_line);
    w[17] = (g.sensors > 1 ? g.sensors * 100000 : 0) + g.num_lines;
    w[18] = packed(g.deg_elem);
    w[19] = g.num_elem;
    w[20] = packed(g.pitch_deg);
    w[21] = packed(g.yaw_deg);
    w[22] = packed(g.roll_deg);
    w[38] = scaled(g.gamma, 100);
    w[39] = scaled(g.gamma_dot, 100);
    return w;
}

// One GVAR attitude record.
struct GvarAttitude {
    double exp_mag = 0, exp_tc_min = 0, mean = 0;
    std::vector<std::pair<double, double>> sinusoids; // magnitude, phase
    struct Mono {
        int sin_order, mono_order;
        double mag, phase, epoch;
    };
    std::vector<Mono> monomials;
};

struct Gvar {
    bool imc = false;
    double ref_lon = -75 * 0.017453292519943295, ref_rad = 0, ref_lat = 0, ref_yaw = 0;
    double ref_roll = 0, ref_pitch = 0, ref_att_yaw = 0;
    int epoch_year = 1998, epoch_day = 260, epoch_hour = 10, epoch_minute = 0;
    double epoch_seconds = 0;
    double imc_offset_min = 0;
    double imc_roll = 0, imc_pitch = 0, imc_yaw = 0;
    double lon_terms[13] = {}, rad_terms[11] = {}, lat_terms[9] = {}, yaw_terms[9] = {};
    double solar_rate = 0, exp_offset_min = 0;
    GvarAttitude att[5]; // roll, pitch, yaw, roll misalignment, pitch misalignment
    int img_year = 1998, img_day = 260, img_hour = 7, img_minute = 45;
    double img_seconds = 14.372;
    int instrument = 1; // 1 imager, 2 sounder
    int ns_cycles = 4, ew_cycles = 2, ns_incr = 3487, ew_incr = 3068;
};

inline int32_t bcd_digits(const std::string &digits) {
    uint32_t v = 0;
    for (char c : digits)
        v = v << 4 | static_cast<uint32_t>(c - '0');
    return static_cast<int32_t>(v);
}

inline std::vector<int32_t> gvar_block(const Gvar &g) {
    std::vector<int32_t> w(640, 0);
    w[2] = g.imc ? 0x03 : 0x83;
    w[5] = scaled(g.ref_lon, 1e7);
    w[6] = scaled(g.ref_rad, 1e7);
    w[7] = scaled(g.ref_lat, 1e7);
    w[8] = scaled(g.ref_yaw, 1e7);
    w[9] = scaled(g.ref_roll, 1e7);
    w[10] = scaled(g.ref_pitch, 1e7);
    w[11] = scaled(g.ref_att_yaw, 1e7);
    char text[80];
    const long ms = std::lround(g.epoch_seconds * 1000);
    std::snprintf(text, sizeof text, "%04d%03d%02d%02d%02ld%03ld", g.epoch_year, g.epoch_day,
                  g.epoch_hour, g.epoch_minute, ms / 1000, ms % 1000);
    const std::string d(text);
    w[12] = bcd_digits(d.substr(0, 8));
    w[13] = bcd_digits(d.substr(8, 8));
    w[14] = scaled(g.imc_offset_min, 100);
    w[15] = scaled(g.imc_roll, 1e7);
    w[16] = scaled(g.imc_pitch, 1e7);
    w[17] = scaled(g.imc_yaw, 1e7);
    for (int i = 0; i < 13; ++i)
        w[static_cast<size_t>(18 + i)] = scaled(g.lon_terms[i], 1e7);
    for (int i = 0; i < 11; ++i)
        w[static_cast<size_t>(31 + i)] = scaled(g.rad_terms[i], 1e7);
    for (int i = 0; i < 9; ++i) {
        w[static_cast<size_t>(42 + i)] = scaled(g.lat_terms[i], 1e7);
        w[static_cast<size_t>(51 + i)] = scaled(g.yaw_terms[i], 1e7);
    }
    w[60] = scaled(g.solar_rate, 1e7);
    w[61] = scaled(g.exp_offset_min, 100);
    const int starts[5] = {62, 129, 184, 257, 312};
    for (int r = 0; r < 5; ++r) {
        const GvarAttitude &a = g.att[r];
        int32_t *p = w.data() + starts[r];
        p[0] = scaled(a.exp_mag, 1e7);
        p[1] = scaled(a.exp_tc_min, 100);
        p[2] = scaled(a.mean, 1e7);
        p[3] = static_cast<int32_t>(a.sinusoids.size());
        for (size_t k = 0; k < a.sinusoids.size() && k < 15; ++k) {
            p[4 + 2 * k] = scaled(a.sinusoids[k].first, 1e7);
            p[5 + 2 * k] = scaled(a.sinusoids[k].second, 1e7);
        }
        p[34] = static_cast<int32_t>(a.monomials.size());
        for (size_t k = 0; k < a.monomials.size() && k < 4; ++k) {
            const auto &m = a.monomials[k];
            int32_t *q = p + 35 + 5 * k;
            q[0] = m.sin_order;
            q[1] = m.mono_order;
            q[2] = scaled(m.mag, 1e7);
            q[3] = scaled(m.phase, 1e7);
            q[4] = scaled(m.epoch, 1e7);
        }
    }
    w[367] = (g.img_year - 1900) * 1000 + g.img_day;
    w[368] = g.img_hour * 10000000 + g.img_minute * 100000 +
             static_cast<int32_t>(std::lround(g.img_seconds * 1000));
    w[369] = g.instrument;
    w[379] = g.ns_cycles;
    w[380] = g.ew_cycles;
    w[381] = g.ns_incr;
    w[382] = g.ew_incr;
    return w;
}

} // namespace area_fixture
