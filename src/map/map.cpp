// Map overlay: the map specification, its entries and their dispatch.
//
// An entry reads, in this order: an optional draw-mode prefix ("-" or "+"), optional size
// conditions on the plot height H ("s+N:", ">A:", ">A<B:", "s-N:", "<A:", "<A>B:", then
// "s+N:" and ">A:" once more), then a body: "im:"/"if:" image, "mf:" metafile, "rf:" raw
// data file, "lalo" lines, "[lat1,lat2,lon1,lon2,maxheight]" region block header, or a map
// file name with an optional ":" attribute string. "fi:" names a map list file whose words
// are entries ('#' starts a comment line there).
//
// Traps: the region state carries over between entries, and the header right after a
// matching block only closes it (it is never tested itself); a header's numbers are
// separated by commas like the entries, so the split of a specification leaves them
// together; H is the height of the plot area of the current domain, not of the window.
#include "map/map.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_meta.h"
#include "gks/gph.h"
#include "map/map_file.h"
#include "map/map_lines.h"
#include "map/maptran.h"

namespace {

constexpr int kMapDrawFlag = 8;
constexpr size_t kMaxStatus = 300;        // characters of a status line
constexpr int64_t kMaxListFile = 1 << 20; // bytes of a map list file
constexpr size_t kMaxListWord = 1000;     // characters of one entry in a map list
constexpr float kDefaultSpacing = 5.0f;   // degrees, "lalo" without numbers

// Region block state.
constexpr int kNoBlock = 1;     // no block header seen yet
constexpr int kInMatch = 2;     // inside a block that matches the plot
constexpr int kNoMatch = 0;     // inside a block that does not
constexpr int kAfterMatch = -1; // in the block after a matching one

struct MapState {
    std::string name; // the map specification
    int mode = 0;     // draw-mode bits of the last MAP_draw
    int region = kNoBlock;
    bool fill = false;  // the map file being drawn is filled
    std::string format; // default attribute of map files
    bool fill_cont = false;
    float latln = 0.0f, lonln = 0.0f;
    int dot = 0, extra = 0;
};

MapState &st() {
    static MapState s;
    return s;
}

// Where an entry comes from: the map option itself, or a line of a map list file. The
// file names of a list entry open regular files only.
struct Origin {
    const std::string *list = nullptr;
    int line = 0;
};

bool is_map_proj(int proj) {
    return proj >= 1 && proj <= 9;
}

// Height of the plot area of the current domain in plot units.
float plot_height() {
    float lim[4];
    MAP_get_limits(lim);
    return lim[3] - lim[2];
}

void status(const char *format, ...) __attribute__((format(printf, 1, 2)));
void status(const char *format, ...) {
    if (!gchk_graphics())
        return;
    char buf[kMaxStatus + 1];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    gmessage(gget_ws_id(), buf);
}

void where(const Origin &o) {
    if (o.list)
        MESS_print(MESS_WARN, "MAP_draw: (entry of map list %s, line %d)\n", o.list->c_str(),
                   o.line);
}

// Overlay of an image file by the X11 workstation: goverlay_image_file(path, colour, x, y).
// STUB until the workstation's image-file calls are in the kernel: reports and draws
// nothing.
int overlay_image_file(const std::string &path, const char * /*colour*/, int /*x*/, int /*y*/) {
    MESS_print(MESS_WARN, "MAP_process: image overlays are not available: %s\n", path.c_str());
    return -1;
}

// Raw station-data overlay: RAW_plot_file(path, 0).
// STUB until the raw-data overlay is in the library: reports and draws nothing.
int plot_raw_file(const std::string &path) {
    MESS_print(MESS_WARN, "MAP_process: raw data overlays are not available: %s\n", path.c_str());
    return -1;
}

// A cursor over the text of an entry.
class Scan {
  public:
    explicit Scan(std::string text) : s_(std::move(text)) {}
    // Consumes key when the text continues with it (ignoring case).
    bool lit(const char *key) {
        const size_t n = std::char_traits<char>::length(key);
        if (s_.size() - at_ < n || !str_equal_nocase(s_.substr(at_, n), key))
            return false;
        at_ += n;
        return true;
    }
    // Consumes a number written where the cursor stands.
    bool num(float *v) {
        const char *b = s_.c_str() + at_;
        if (*b == '\0' || std::isspace(static_cast<unsigned char>(*b)))
            return false;
        char *e = nullptr;
        const float f = std::strtof(b, &e);
        if (e == b || !std::isfinite(f))
            return false;
        *v = f;
        at_ += static_cast<size_t>(e - b);
        return true;
    }
    size_t pos() const { return at_; }
    void set_pos(size_t p) { at_ = p; }
    bool done() const { return at_ >= s_.size(); }
    char peek() const { return done() ? '\0' : s_[at_]; }
    void skip(size_t n = 1) { at_ = std::min(s_.size(), at_ + n); }
    std::string rest() const { return s_.substr(std::min(at_, s_.size())); }

  private:
    std::string s_;
    size_t at_ = 0;
};

// The size conditions in front of a body: 1 all hold (the cursor stands on the body), 0
// one fails, -1 a condition without its colon.
int size_conditions(Scan &sc, float h) {
    enum Kind { AtLeast, AtMost };
    struct Cond {
        const char *key;
        Kind kind;
        const char *other; // the bound of the other side, or null
    };
    static constexpr Cond kOrder[] = {{"s+", AtLeast, nullptr}, {">", AtLeast, "<"},
                                      {"s-", AtMost, nullptr},  {"<", AtMost, ">"},
                                      {"s+", AtLeast, nullptr}, {">", AtLeast, nullptr}};
    for (const Cond &c : kOrder) {
        const size_t at = sc.pos();
        float a = 0, b = 0;
        if (!sc.lit(c.key) || !sc.num(&a)) {
            sc.set_pos(at);
            continue;
        }
        bool ok = c.kind == AtLeast ? h >= a : h <= a;
        if (c.other && sc.lit(c.other)) {
            if (!sc.num(&b))
                return -1;
            ok = ok && (c.kind == AtLeast ? h <= b : h >= b);
        }
        if (!sc.lit(":"))
            return -1;
        if (!ok)
            return 0;
    }
    return 1;
}

// A region block header "[lat1,lat2,lon1,lon2,maxheight]" (after the '[').
void region_header(Scan &sc) {
    MapState &s = st();
    if (s.region == kInMatch) {
        s.region = kAfterMatch;
        return;
    }
    float v[5] = {0, 0, 0, 0, 1000.0f};
    int n = 0;
    while (n < 5 && sc.num(&v[n])) {
        ++n;
        if (sc.peek() != ',')
            break;
        sc.skip();
    }
    bool match = true;
    if (n >= 4) {
        const float lat1 = std::min(v[0], v[1]), lat2 = std::max(v[0], v[1]);
        const float lon1 = std::min(v[2], v[3]), lon2 = std::max(v[2], v[3]);
        const float clat = MAP_get_clat(), clon = MAP_get_clon();
        match =
            clat >= lat1 && clat <= lat2 && clon >= lon1 && clon <= lon2 && plot_height() <= v[4];
    }
    if (match)
        s.region = kInMatch;
    else if (s.region == kNoBlock)
        s.region = kNoMatch;
}

// Latitude-longitude lines with their attribute (null: the resource "color_line").
void draw_lines(float latint, float lonint, const char *attr) {
    const bool map = is_map_proj(MAP_get_proj());
    ATTRIB rec;
    ATTRIB_init(&rec);
    if (map)
        rec.style = 4;
    if (attr && *attr)
        ATTRIB_parse(attr, &rec);
    else
        ATTRIB_get("color_line", map ? "magenta:s4" : "red", &rec);
    GPH_line_attr(&rec);
    GPH_text_attr(&rec, (map ? 0.018f : 0.015f) * plot_height());
    if (rec.color != -1)
        MAP_lines(latint, lonint);
}

// "lalo", a separator, then [latint[:lonint]][:attribute].
void lalo_entry(Scan &sc) {
    sc.skip(); // the separator
    float lat = kDefaultSpacing, lon = 0;
    bool have_lon = false;
    if (sc.num(&lat)) {
        const size_t at = sc.pos();
        if (sc.lit(":") && sc.num(&lon))
            have_lon = true;
        else
            sc.set_pos(at);
    }
    if (!have_lon)
        lon = lat;
    if (sc.peek() == ':')
        sc.skip();
    const std::string attr = sc.rest();
    status("Map-lalo: %.1f,%.1f", lat, lon);
    draw_lines(lat, lon, attr.empty() ? nullptr : attr.c_str());
}

// "im:" / "if:" name[:colour[:x[:y]]].
void image_entry(const std::string &body, bool whole_view) {
    std::vector<std::string> f;
    int count = 0;
    parse_string(body.c_str(), ':', &count, &f);
    if (f.empty() || f[0].empty())
        return;
    std::string path;
    FILE_add_path(RES_get("image_path"), f[0].c_str(), &path);
    const char *colour = f.size() > 1 && !f[1].empty() ? f[1].c_str() : nullptr;
    const int x = f.size() > 2 ? std::atoi(f[2].c_str()) : 0;
    const int y = f.size() > 3 ? std::atoi(f[3].c_str()) : 0;
    status("Map-image: %s", path.c_str());
    if (whole_view)
        GPH_trans(1);
    overlay_image_file(path, colour, x, y);
    if (whole_view)
        GPH_trans(2);
}

FilePtr open_map_file(const std::string &path, const Origin &o) {
    if (path.empty() || FILE_is_std_name(path))
        return nullptr;
    return o.list ? FILE_open_data(path.c_str()) : FILE_open(path.c_str(), "r");
}

int map_file_entry(const std::string &body, const Origin &o) {
    MapState &s = st();
    GPH_line_attr(nullptr);
    GPH_fill_attr(nullptr);
    status("Map: %s", body.c_str());
    const size_t colon = body.find(':');
    const std::string name = body.substr(0, colon);
    ATTRIB rec;
    ATTRIB_init(&rec);
    if (colon != std::string::npos)
        ATTRIB_parse(body.c_str() + colon + 1, &rec);
    else if (!s.format.empty())
        ATTRIB_parse(s.format.c_str(), &rec);
    else if (s.fill_cont)
        ATTRIB_get("color_cmap", "black", &rec);
    else
        ATTRIB_get("color_map", "red", &rec);
    s.fill = rec.fill != ATTRIB_MISSING;
    if (s.fill)
        GPH_fill_attr(&rec);
    GPH_line_attr(&rec);

    const std::string path = FILE_find_on_path(name);
    FilePtr f = open_map_file(path, o);
    if (!f) {
        MESS_print(MESS_WARN, "MAP_process: Map file not found: %s\n", path.c_str());
        where(o);
        return -1;
    }
    if (rec.color != -1) {
        ByteCursor in(f.get());
        MAP_draw_file(in, path.c_str(), s.fill);
    }
    return 0;
}

int process(const char *entry, const Origin &o) {
    MapState &s = st();
    if (!entry || !*entry)
        return -1;
    Scan sc(entry);
    const int need = sc.lit("-") ? 1 : sc.lit("+") ? 2 : 4;
    if (!(s.mode & need))
        return -1;
    if (sc.lit("[")) {
        region_header(sc);
        return -1;
    }
    if (s.region < kNoBlock)
        return -1;
    const int cond = size_conditions(sc, plot_height());
    if (cond <= 0 || sc.done())
        return -1;

    const std::string body = sc.rest();
    if (sc.lit("im:") || sc.lit("if:")) {
        image_entry(sc.rest(), str_prefix_nocase(body, "if:", 3));
    } else if (sc.lit("mf:")) {
        const std::string name = sc.rest();
        status("Map-metafile: %s", name.c_str());
        gread_metafile(name.c_str());
        GPH_trans(2);
    } else if (sc.lit("rf:")) {
        const std::string path = FILE_find_on_path(sc.rest());
        status("Map-rawfile: %s", path.c_str());
        plot_raw_file(path);
    } else if (sc.lit("lalo")) {
        lalo_entry(sc);
    } else {
        return map_file_entry(body, o);
    }
    return 0;
}

// The entries of a specification: split at commas, except inside a region block header,
// whose numbers are separated by commas too. Empty entries are dropped.
std::vector<std::string> split_spec(const std::string &spec) {
    std::vector<std::string> out;
    std::string cur;
    bool in_header = false;
    for (const char c : spec) {
        if (c == ',' && !in_header) {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
            continue;
        }
        if (c == '[' && cur.find_first_not_of("+-") == std::string::npos)
            in_header = true;
        else if (c == ']')
            in_header = false;
        cur += c;
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

// The entries of a map list file, one word at a time.
void process_list(const std::string &name) {
    const std::string path = FILE_expand_home(FILE_find_on_path(name));
    std::optional<std::string> text = FILE_read_whole(path, kMaxListFile);
    if (!text) {
        MESS_print(MESS_WARN, "MAP_draw: Unable to open map list file: %s\n", path.c_str());
        return;
    }
    Origin o{&path, 0};
    size_t at = 0;
    while (at < text->size()) {
        size_t end = text->find('\n', at);
        if (end == std::string::npos)
            end = text->size();
        const std::string line = text->substr(at, end - at);
        at = end + 1;
        ++o.line;
        if (!line.empty() && line[0] == '#')
            continue;
        for (const std::string &w : str_split_words(line)) {
            if (w.size() > kMaxListWord) {
                MESS_print(MESS_WARN, "MAP_draw: %s, line %d: entry too long\n", path.c_str(),
                           o.line);
                continue;
            }
            process(w.c_str(), o);
        }
    }
}

} // namespace

int MAP_setup(const DOMAIN *dom) {
    MAP_domain(dom);
    float lim[4];
    MAP_get_limits(lim);
    if (lim[1] > lim[0] && lim[3] > lim[2])
        GPH_win(2, lim);
    GPH_trans(2);
    return 0;
}

int MAP_draw(int mode) {
    MapState &s = st();
    if (!FLAG_getplot(kMapDrawFlag) || !gchk_graphics())
        return 0;
    s.mode = mode;
    GPH_trans(2);
    GPH_line_attr(nullptr);
    GPH_text_font(nullptr);

    const char *res = RES_get("map_file");
    if (res && *res) {
        s.name = res;
    } else if (s.name.empty()) {
        const float clat = MAP_get_clat(), clon = MAP_get_clon();
        const bool america = clat > 25 && clat < 80 && clon > -160 && clon < -65;
        s.name = america && plot_height() < 75 ? "zor.map" : "cont.map,country.map";
    }

    s.region = kNoBlock;
    const std::string spec = s.name; // an entry may not change the list being walked
    for (const std::string &item : split_spec(spec)) {
        if (str_prefix_nocase(item, "fi:", 3))
            process_list(item.substr(3));
        else
            process(item.c_str(), Origin{});
    }

    if (s.latln > 0)
        draw_lines(s.latln, s.lonln, nullptr);
    return 0;
}

int MAP_process(const char *entry) {
    return process(entry, Origin{});
}

int MAP_map(FILE *stream) {
    if (!stream)
        return -1;
    ByteCursor in(stream);
    return MAP_draw_file(in, "", st().fill);
}

int MAP_lines(float latint, float lonint) {
    return map_detail::draw_lat_lon_lines(latint, lonint, st().dot, st().extra);
}

int MAP_latlon(int dot, int extra, float latint, float lonint) {
    MapState &s = st();
    s.dot = dot;
    s.extra = extra;
    s.latln = latint;
    s.lonln = lonint;
    return 0;
}

int MAP_get_latlon(float *latint, float *lonint) {
    if (latint)
        *latint = st().latln;
    if (lonint)
        *lonint = st().lonln;
    return 0;
}

int MAP_file(const char *name) {
    st().name = name ? name : "";
    return 0;
}

const char *MAP_get_file() {
    return st().name.c_str();
}

int MAP_set_format(const char *attr) {
    st().format = attr ? attr : "";
    return 0;
}

int MAP_fill_cont(int on) {
    st().fill_cont = on != 0;
    return 0;
}

int MAP_get_window(float out[4]) {
    if (!out)
        return -1;
    return GPH_get_win(2, out);
}

float MAP_get_vert() {
    float w[4];
    return MAP_get_window(w) == 0 ? w[3] - w[2] : 0.0f;
}

float MAP_get_hor() {
    float w[4];
    return MAP_get_window(w) == 0 ? w[1] - w[0] : 0.0f;
}

void MAP_overlay_reset_state() {
    st() = MapState{};
}
