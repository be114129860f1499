// Raw station-data overlay. The file is read line by line into station plots; stations
// named by key are found in a load of the city database for the current domain, which
// happens once, at the first such key. Bad lines are reported with file and line (the
// first few) and skipped; the rest of the file is still drawn.
#include "map/raw.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gph.h"
#include "map/cty_tool.h"
#include "map/maptran.h"

namespace {

constexpr size_t kMaxLine = 500;
constexpr size_t kMaxValue = 8;
constexpr int kMaxReported = 5;
constexpr float kHeightShare = 0.012f; // text height as a share of the window height

struct RawReader {
    std::string path;
    long line = 0;
    int bad = 0;
    bool cities_loaded = false;

    void report(const char *what) {
        if (++bad <= kMaxReported)
            MESS_print(MESS_WARN, "RAW_plot_file: %s line %ld: %s\n", path.c_str(), line, what);
    }
};

bool read_float(const std::string &w, float *v) {
    const char *b = w.data(), *e = w.data() + w.size();
    if (b != e && *b == '+')
        ++b;
    auto r = std::from_chars(b, e, *v);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(*v);
}

// Position of a station key: "lat/lon", or a station of the city database.
bool station_position(RawReader &rd, const std::string &key, float *lat, float *lon) {
    const size_t slash = key.find('/');
    if (slash != std::string::npos) {
        if (!read_float(key.substr(0, slash), lat) || !read_float(key.substr(slash + 1), lon) ||
            std::fabs(*lat) > 90.0f || std::fabs(*lon) > 360.0f) {
            rd.report("bad position");
            return false;
        }
        return true;
    }
    if (!rd.cities_loaded) {
        rd.cities_loaded = true;
        CTY_store(nullptr, CTY_MODE_FULL, nullptr, DOM_get_prior());
    }
    const CTY_STATION *s = nullptr;
    if (!CTY_search(key.c_str(), &s)) {
        MESS_print(MESS_DEBUG, "RAW_plot_file: station %s not loaded\n", key.c_str());
        return false;
    }
    *lat = s->rec.lat;
    *lon = s->rec.lon;
    return true;
}

// One station: a circle and up to four values around it.
void draw_station(float x, float y, float height, const std::vector<std::string> &words) {
    const float r = 0.3f * height, gap = 0.3f * height, lift = 0.15f * height;
    GPH_circle(x, y, r);
    struct Place {
        float dx, dy;
        int h, v;
    };
    static constexpr int kLeft = 1, kRight = 3, kTop = 1, kBottom = 5;
    const Place places[4] = {{-(r + gap), lift, kRight, kBottom},
                             {-(r + gap), -lift, kRight, kTop},
                             {r + gap, lift, kLeft, kBottom},
                             {r + gap, -lift, kLeft, kTop}};
    for (size_t i = 1; i < words.size() && i <= 4; ++i) {
        std::string v = words[i].substr(0, kMaxValue);
        if (v == "M")
            continue;
        const Place &p = places[i - 1];
        GPH_text_align(p.h, p.v);
        const float pos[2] = {x + p.dx, y + p.dy};
        GPH_pprint(pos, v.c_str());
    }
}

} // namespace

int RAW_plot_file(const char *path, int /*option*/) {
    if (!path || !*path)
        return -1;
    FilePtr f = FILE_open_data(path);
    if (!f) {
        MESS_print(MESS_WARN, "RAW_plot_file: Unable to open raw file: %s\n", path);
        return -1;
    }
    RawReader rd;
    rd.path = path;
    std::string line;
    if (!str_read_line(f.get(), line, kMaxLine) || line.compare(0, 6, "ZORRAW") != 0) {
        MESS_print(MESS_WARN, "RAW_plot_file: %s is no raw station file\n", path);
        return -1;
    }
    rd.line = 1;

    int tran = 2, err = 0;
    ginq_cur_norm_tran_num(&err, &tran);
    float win[4] = {0, 1, 0, 1};
    GPH_get_win(tran, win);
    const float base = kHeightShare * std::fabs(win[3] - win[2]);
    int old_h = 0, old_v = 0;
    GPH_get_text_align(&old_h, &old_v);

    ATTRIB attr;
    ATTRIB_init(&attr);
    if (const char *c = RES_get("color_data"); c && *c)
        ATTRIB_parse(c, &attr);
    float height = base;
    auto apply = [&] {
        GPH_text_attr(&attr, base);
        GPH_line_attr(&attr);
        height = attr.height != ATTRIB_MISSING ? attr.height * base : base;
    };
    apply();
    MAP_plot_grid_init();

    int drawn = 0;
    while (str_read_line(f.get(), line, kMaxLine)) {
        ++rd.line;
        std::vector<std::string> words = str_split_words(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        if (words[0] == "attr") {
            const size_t at = line.find("attr") + 4;
            ATTRIB_parse(str_trim(line.substr(at)).c_str(), &attr);
            apply();
            continue;
        }
        if (words.size() > 5)
            rd.report("more than four values");
        float lat = 0, lon = 0, x = 0, y = 0;
        if (!station_position(rd, words[0], &lat, &lon) || MAP_tran(&x, &y, lat, lon) != 1 ||
            !MAP_in_domain(x, y) || !MAP_plot_grid(x, y))
            continue;
        draw_station(x, y, height, words);
        ++drawn;
    }
    if (rd.bad > kMaxReported)
        MESS_print(MESS_WARN, "RAW_plot_file: %s: %d bad lines in all\n", path, rd.bad);
    GPH_text_align(old_h, old_v);
    return drawn;
}
