// HP-GL/2 workstation.
//
// Coordinates are absolute plotter units (PA), written as whole numbers. Lines are drawn
// with pen 1; white and grey lines use screened vectors (SV) and fills use shading fill
// types (FT10 with a percentage, 100 being black). Fill areas are built in polygon mode
// (PM0 after the first point, PM2 to close) and filled with FP. The PCL wrapper resets the
// printer, enters HP-GL/2 and selects a landscape page; the page end returns to PCL.
#include "gks/gks_hpgl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "base/mess.h"
#include "base/string.h"
#include "gks/gks_ps.h"
#include "gks/gks_sink.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

struct HpState {
    GksSink sink;
    bool append = false;
    int pcl = 1;
    int rot = 0;
    float base_width = 0.2f; // millimetres
    float line_level = 0.0f, fill_level = 0.0f;
    float width = 1.0f, type = 1.0f;
    int color = 0, rev = 0;
    bool device_open = false; // a device writes into the sink
};

HpState &hst() {
    static HpState s;
    return s;
}

constexpr float kUnitsPerInch = 1015.0f;
constexpr float kMaxPaperInches = 1000.0f;

void put(const char *text) {
    hst().sink.write(text, std::strlen(text));
}

class HpglDevice final : public GksDevice {
  public:
    explicit HpglDevice(std::optional<GSurface> surface) {
        caps_.marker_scale = 101.5f; // 10 plotter units per marker size unit at 1015 per inch
        caps_.color = GWS_COLOR_GREY;
        surface_ = surface;
        hst().device_open = true;
    }
    ~HpglDevice() override {
        if (hst().device_open) {
            hst().device_open = false;
            hst().sink.close();
        }
    }
    int ws_type() const override { return GWS_HPGL; }
    int device_class() const override { return GCLASS_HPGL; }
    int close() override {
        hst().device_open = false;
        return ghpgl_close_file();
    }

    // Fill shading comes from the PostScript grey table, which follows every colour.
    void init_plot(int) override {
        const auto &k = kernel();
        for (int i = 0; i < 256; ++i) {
            const auto &c = k.rgb[static_cast<size_t>(i)];
            gps_set_color_rep(i, c[0], c[1], c[2]);
        }
    }
    void color_rep(int, int index, const float *rgb) override {
        gps_set_color_rep(index, rgb[0], rgb[1], rgb[2]);
    }
    void clip(const GClip &c) override {
        ghpgl_printf("IW %.0f,%.0f,%.0f,%.0f;\n", static_cast<double>(c.xmin - 0.1f),
                     static_cast<double>(c.ymin - 0.1f), static_cast<double>(c.xmax + 0.1f),
                     static_cast<double>(c.ymax + 0.1f));
    }

    int polyline(std::span<const GPoint> pts) override {
        const auto &k = kernel();
        ghpgl_set_width(k.line_colr, k.line_width);
        ghpgl_set_color(k.line_colr);
        ghpgl_set_type(k.line_type);
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i == 0)
                ghpgl_move(pts[i].x, pts[i].y);
            else
                ghpgl_line(pts[i].x, pts[i].y);
            if ((i + 1) % 10 == 0 && i + 1 < pts.size())
                put("\n");
        }
        put("\n");
        return 0;
    }
    int fill_area(std::span<const GPoint> pts) override {
        ghpgl_set_fill_color(kernel().fill_colr);
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i == 0) {
                ghpgl_move(pts[i].x, pts[i].y);
                put("PM0;");
            } else {
                ghpgl_line(pts[i].x, pts[i].y);
            }
        }
        put("PM1;PM2;FP;\n");
        return 0;
    }

    void marker_begin(int) override {
        const auto &k = kernel();
        ghpgl_set_width(k.mark_colr, k.mark_width);
        ghpgl_set_color(k.mark_colr);
        ghpgl_set_type(1);
    }
    void marker_stroke(std::span<const DPoint> pts) override {
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i == 0)
                ghpgl_move_abs(pts[i].x, pts[i].y);
            else
                ghpgl_line_abs(pts[i].x, pts[i].y);
        }
        put("\n");
    }

    int text(GPoint pos, const std::string &s) override {
        int rc = GksDevice::text(pos, s);
        if (points_ % 30 != 0)
            put("\n");
        return rc;
    }
    void text_begin(GPoint, const std::string &) override {
        const auto &k = kernel();
        ghpgl_set_width(k.text_colr, k.text_width);
        ghpgl_set_color(k.text_colr);
        ghpgl_set_type(1);
        points_ = 0;
    }
    void glyph_begin() override { stroke_ = false; }
    void text_move(float x, float y) override {
        ghpgl_move(x, y);
        stroke_ = true;
        count_point();
    }
    void text_draw(float x, float y) override {
        // A glyph that draws before it moves starts its stroke at that point.
        if (!stroke_)
            return text_move(x, y);
        ghpgl_line(x, y);
        count_point();
    }
    void glyph_end() override {}

  private:
    void count_point() {
        if (++points_ % 30 == 0)
            put("\n");
    }
    bool stroke_ = false;
    int points_ = 0;
};

// Geometry in hundredths of an inch: "WxH+X+Y", "WxH", "+X+Y", or a panel. Offsets keep
// the plotter's own margin of 10 units.
bool apply_geometry(const std::string &g, GSurface *s) {
    if (g.empty())
        return true;
    // 1015 units to the inch, in whole numbers so that 100 hundredths are 1015 units.
    auto units = [](int v) { return static_cast<int>(static_cast<int64_t>(v) * 1015 / 100); };
    if (g[0] == 'P' || g[0] == 'p') {
        if (!gks_panel_geometry(g.c_str() + 1, &s->width, &s->height, &s->x, &s->y))
            return false;
        s->x += 10;
        s->y += 10;
        return true;
    }
    int a = 0, b = 0, c = 0, d = 0;
    int n = std::sscanf(g.c_str(), "%dx%d+%d+%d", &a, &b, &c, &d);
    if (n >= 2) {
        s->width = units(a);
        s->height = units(b);
        if (n == 4) {
            s->x = units(c) + 10;
            s->y = units(d) + 10;
        }
        return true;
    }
    if (std::sscanf(g.c_str(), "+%d+%d", &c, &d) == 2) {
        s->x = units(c) + 10;
        s->y = units(d) + 10;
        return true;
    }
    return false;
}

} // namespace

int ghpgl_open_file(const char *name) {
    auto &s = hst();
    s.sink.close();
    s.append = false;
    if (!name || !*name)
        return -1;
    FilePtr f;
    std::string shown = name;
    if (name[0] == '|') {
        MESS_print(MESS_MESS, "Spooling to: %s\n", name + 1);
        f = FILE_open(name, "w");
        shown = name + 1;
    } else if (name[0] == '+') {
        MESS_print(MESS_MESS, "Appending to: %s\n", name + 1);
        s.append = true;
        f = FILE_open(name + 1, "a");
        shown = name + 1;
    } else {
        MESS_print(MESS_MESS, "Creating: %s\n", name);
        f = FILE_open(name, "w");
    }
    if (!f)
        return -1;
    s.sink = GksSink::to_file(std::move(f), shown);
    return 0;
}

int ghpgl_open_string(std::string *text) {
    auto &s = hst();
    s.sink.close();
    s.append = false;
    s.sink = GksSink::to_string(text);
    return 0;
}

bool ghpgl_is_open() {
    return hst().sink.is_open();
}

int ghpgl_init() {
    auto &s = hst();
    s.pcl = 1;
    s.rot = 0;
    s.base_width = 0.2f;
    s.line_level = 0.0f;
    s.fill_level = 0.0f;
    s.width = 1.0f;
    s.type = 1.0f;
    return 0;
}

int ghpgl_init_file() {
    auto &s = hst();
    if (!s.sink.is_open())
        return -1;
    if (!s.append) {
        if (s.pcl)
            put("\x1b"
                "E\x1b%1B\x1b&l1O\n");
        put("IN;SP1;PA;\n");
        if (s.pcl == 2)
            put("RO90;\n");
        if (s.rot == 90 || s.rot == 180 || s.rot == 270)
            s.sink.printf("RO%d;\n", s.rot);
    }
    s.sink.printf("PW%.1f;SV;LT;\n", static_cast<double>(s.base_width));
    return 0;
}

int ghpgl_close_file() {
    auto &s = hst();
    if (!s.sink.is_open())
        return -1;
    if (!s.append) {
        put("SP;PG;\n");
        if (s.pcl)
            put("\x1b%0A\x1b"
                "E");
    }
    int rc = s.sink.close();
    if (rc == 0)
        MESS_print(MESS_MESS, "Created HPGL file\n");
    return rc;
}

int ghpgl_set_pcl(int mode) {
    hst().pcl = mode;
    return 0;
}
int ghpgl_set_rotate(int degrees) {
    hst().rot = degrees;
    return 0;
}
int ghpgl_set_base_width(float mm) {
    hst().base_width = mm;
    return 0;
}
int ghpgl_set_scale(float) {
    return 0;
}
int ghpgl_set_colorPS(int flag) {
    hst().color = flag;
    return 0;
}
int ghpgl_get_colorPS() {
    return hst().color;
}
int ghpgl_set_reverse(int flag) {
    hst().rev = flag;
    return 0;
}
int ghpgl_set_color_rep(int, float, float, float) {
    return 0;
}

int ghpgl_printf(const char *format, ...) {
    auto &s = hst();
    if (!s.sink.is_open())
        return 0;
    va_list ap;
    va_start(ap, format);
    s.sink.vprintf(format, ap);
    va_end(ap);
    return 0;
}

int ghpgl_move(float x, float y) {
    return ghpgl_move_abs(xW_ps(x), yW_ps(y));
}
int ghpgl_line(float x, float y) {
    return ghpgl_line_abs(xW_ps(x), yW_ps(y));
}
int ghpgl_move_abs(float x, float y) {
    hst().sink.printf("PU%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y));
    return 0;
}
int ghpgl_line_abs(float x, float y) {
    hst().sink.printf("PD%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y));
    return 0;
}

int ghpgl_set_color(int index) {
    auto &s = hst();
    float level = print_gray(index).value_or(0.0f);
    if (level == s.line_level)
        return 0;
    s.line_level = level;
    put(level == 0.0f ? "SV;\n" : level == 1.0f ? "SV1,0;\n" : "SV1,30;\n");
    return 0;
}

int ghpgl_set_fill_color(int index) {
    auto &s = hst();
    if (index == -1) {
        if (s.fill_level != 1.0f) {
            s.fill_level = 1.0f;
            put("FT10,0;\n");
        }
        return 0;
    }
    if (gget_fill_print_solid()) {
        s.fill_level = 0.0f;
        put("FT1;\n");
        return 0;
    }
    float g = gps_get_gray(index);
    if (g != s.fill_level) {
        s.fill_level = g;
        s.sink.printf("FT10,%.0f;\n", static_cast<double>(100.0f - 100.0f * g));
    }
    return 0;
}

int ghpgl_set_width(int color_index, float width) {
    auto &s = hst();
    if (width == 0.0f)
        width = 1.0f;
    float factor;
    switch (color_index) {
    case 501:
    case 504:
    case 507:
        factor = 2.0f;
        break;
    case 502:
    case 505:
    case 508:
        factor = 4.0f;
        break;
    default:
        factor = static_cast<float>(std::max(gget_line_print_bold(), 1));
        break;
    }
    float w = std::min(factor * width, 1e6f); // beyond any pen, but still a number
    if (w == s.width)
        return 0;
    s.width = w;
    s.sink.printf("PW%.1f;\n", static_cast<double>(s.base_width * s.width));
    return 0;
}

int ghpgl_set_type(int line_type) {
    auto &s = hst();
    if (static_cast<float>(line_type) == s.type)
        return 0;
    s.type = static_cast<float>(line_type);
    static const char *const kTypes[] = {"LT;\n", "LT2,5,1;\n", "LT5,8,1;\n", "LT6,10,1;\n",
                                         "LT2,1,1;\n"};
    if (line_type >= 1 && line_type <= 5)
        put(kTypes[line_type - 1]);
    return 0;
}

std::unique_ptr<GksDevice> ghpgl_make_device() {
    return std::make_unique<HpglDevice>(std::nullopt);
}

std::unique_ptr<GksDevice> ghpgl_open_device(const GksOpenArgs &args) {
    const char *who = args.reporter.c_str();
    if (ghpgl_is_open()) {
        gerr_printf(who, "unable to open HPGL file\n");
        return nullptr;
    }
    ghpgl_init();
    if (const char *c = std::getenv("PSCOLOR"); c && *c)
        ghpgl_set_colorPS(1);
    float pw = 10.5f, ph = 8.0f;
    std::vector<std::string> words, fields;
    int count = 0;
    if (const char *e = std::getenv("zorhp_param"))
        parse_string(e, ',', &count, &words);
    parse_string(args.connection.c_str(), ',', &count, &fields);
    for (size_t i = 1; i < fields.size(); ++i)
        words.push_back(fields[i]);
    for (std::string w : words) {
        w = str_trim(w);
        std::optional<std::string> v;
        if (w.empty())
            continue;
        if (strcasecmp(w.c_str(), "pcl") == 0) {
            ghpgl_set_pcl(1);
        } else if (strcasecmp(w.c_str(), "nopcl") == 0) {
            ghpgl_set_pcl(0);
        } else if (strcasecmp(w.c_str(), "lj") == 0) {
            ghpgl_set_pcl(2);
        } else if (strcasecmp(w.c_str(), "port") == 0) {
            ghpgl_set_rotate(90);
        } else if (strcasecmp(w.c_str(), "land") == 0) {
            ghpgl_set_rotate(0);
        } else if (gps_paper_size(w, &pw, &ph)) {
        } else if ((v = paper_option(w, "scale"))) {
            // Accepted for the PostScript device's sake; plotter units do not scale.
        } else if ((v = paper_option(w, "lwidth"))) {
            auto f = positive_number(*v, 100.0f);
            if (!f) {
                gerr_printf(who, "invalid HPGL pen width: %s\n", w.c_str());
                return nullptr;
            }
            ghpgl_set_base_width(*f);
        } else if ((v = paper_option(w, "rot"))) {
            auto f = positive_number(*v, 360.0f);
            int deg = f ? static_cast<int>(*f) : (*v == "0" ? 0 : -1);
            if (deg != 0 && deg != 90 && deg != 180 && deg != 270) {
                gerr_printf(who, "invalid HPGL rotation: %s\n", w.c_str());
                return nullptr;
            }
            ghpgl_set_rotate(deg);
        } else if ((v = paper_option(w, "sz"))) {
            if (!paper_dimensions(*v, kMaxPaperInches, &pw, &ph)) {
                gerr_printf(who, "invalid paper size: %s\n", w.c_str());
                return nullptr;
            }
        } else if ((v = paper_option(w, "roll"))) {
            auto f = positive_number(*v, kMaxPaperInches);
            if (!f) {
                gerr_printf(who, "invalid paper size: %s\n", w.c_str());
                return nullptr;
            }
            pw = *f;
            ph = 23.5f;
        } else {
            gerr_printf(who, "unknown HPGL option: %s\n", w.c_str());
            return nullptr;
        }
    }
    // A quarter inch of margin on every side, and the plotter's offset of 10 units.
    GSurface surface{static_cast<int>((pw - 0.5f) * kUnitsPerInch),
                     static_cast<int>((ph - 0.5f) * kUnitsPerInch), 10, 10};
    if (surface.width < 1 || surface.height < 1) {
        gerr_printf(who, "invalid paper size: %gx%g\n", static_cast<double>(pw),
                    static_cast<double>(ph));
        return nullptr;
    }
    if (!apply_geometry(args.geometry, &surface) || surface.width < 1 || surface.height < 1) {
        gerr_printf(who, "invalid geometry: %s\n", args.geometry.c_str());
        return nullptr;
    }
    std::string name = fields.empty() ? std::string() : str_trim(fields[0]);
    if (name.empty())
        name = args.output;
    if (name.empty())
        name = "zor.hpgl";
    if (ghpgl_open_file(name.c_str()) != 0) {
        gerr_printf(who, "unable to open HPGL file\n");
        return nullptr;
    }
    ghpgl_init_file();
    return std::make_unique<HpglDevice>(surface);
}

void ghpgl_reset_state() {
    hst().sink.close();
    hst() = HpState{};
}
