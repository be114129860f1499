// PostScript workstation.
//
// The page: a landscape picture is turned by 90 degrees and moved down by the page height,
// so that x runs along the long side of the paper; plain PostScript keeps a quarter inch of
// margin, Encapsulated PostScript none (its bounding box is the drawing surface). Path
// commands use the short names the prolog defines (mv, ln, lw, np, cp), and line widths are
// in "dots" of a third of a point. The state written so far (grey level or RGB colour,
// line width, dash pattern) is remembered, so that a setting that changes nothing writes
// nothing. Text from the program only ever appears inside comments; control characters
// are blanked there, since a line end would end the comment and turn the rest into code.
#include "gks/gks_ps.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "base/image.h"
#include "base/mess.h"
#include "base/string.h"
#include "gks/gks_sink.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

class PsDevice;

struct PsState {
    GksSink sink;
    bool append = false;
    int eps = 0, port = 0, color = 0, rev = 0;
    float scale = 1.0f, base_width = 1.0f;
    float sx = 11.0f, sy = 8.5f; // paper in inches
    float grey = 0.0f;           // -1: an RGB colour is in effect
    int rgb_index = -1;          // the index whose RGB colour is in effect
    float width = 1.0f, type = 1.0f;
    std::array<float, 257> gray{};
    PsDevice *device = nullptr; // the open device, whose colour capability follows `color`
};

PsState &pst() {
    static PsState s;
    return s;
}

constexpr float kMaxPaperInches = 1000.0f;

// Text for a comment: everything that could end the comment becomes a blank.
std::string comment_text(const std::string &s) {
    std::string out = s;
    for (char &c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return out;
}

void put(const char *text) {
    pst().sink.write(text, std::strlen(text));
}

void set_gray_level(float level, const char *text) {
    auto &s = pst();
    if (s.grey == level)
        return;
    s.grey = level;
    s.rgb_index = -1;
    put(text);
}

const char *print_gray_text(int index) {
    if (index <= 502)
        return "0 setgray\n";
    if (index <= 505)
        return "1 setgray\n";
    return ".7 setgray\n";
}

void set_rgb(int index) {
    auto &s = pst();
    if (s.grey == -1.0f && s.rgb_index == index)
        return;
    float r = 0, g = 0, b = 0;
    gget_color_rgb(index, &r, &g, &b);
    s.grey = -1.0f;
    s.rgb_index = index;
    s.sink.printf("%4.2f %4.2f %4.2f setrgbcolor\n", static_cast<double>(r), static_cast<double>(g),
                  static_cast<double>(b));
}

// An intensity limited to 0..1; NaN is 0.
float unit(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

int gray_slot(int index) {
    return index == -1 ? 256 : (index >= 0 && index <= 256 ? index : -1);
}

// The table keeps the plain grey level; reversing applies when a level is looked up, so
// that the switch may come before or after the colours.
float gray_of(float r, float g, float b) {
    return (0.9f * r + g + 0.8f * b) / 2.7f;
}

class PsDevice final : public GksDevice {
  public:
    explicit PsDevice(std::optional<GSurface> surface) {
        caps_.zero_width_thinnest = false;
        caps_.marker_scale = 7.2f; // 10 points per marker size unit at 72 %
        surface_ = surface;
        pst().device = this;
        sync_caps();
    }
    ~PsDevice() override {
        if (pst().device == this) {
            pst().device = nullptr;
            pst().sink.close();
        }
    }
    void sync_caps() { caps_.color = pst().color ? GWS_COLOR_RGB : GWS_COLOR_GREY; }

    int ws_type() const override { return GWS_PS; }
    int device_class() const override { return GCLASS_PS; }
    int close() override { return gps_close_file(); }

    void init_plot(int) override {
        // Paper is white; every colour the kernel knows gets its grey level.
        auto &k = kernel();
        k.rgb[256] = {1.0f, 1.0f, 1.0f};
        for (int i = 0; i <= 256; ++i) {
            const auto &c = k.rgb[static_cast<size_t>(i)];
            pst().gray[static_cast<size_t>(i)] = gray_of(c[0], c[1], c[2]);
        }
    }
    void color_rep(int, int index, const float *rgb) override {
        gps_set_color_rep(index, rgb[0], rgb[1], rgb[2]);
        if (pst().rgb_index == index)
            pst().rgb_index = -1;
    }
    void clip(const GClip &c) override {
        float x0 = c.xmin - 0.1f, x1 = c.xmax + 0.1f, y0 = c.ymin - 0.1f, y1 = c.ymax + 0.1f;
        put("initclip\nnp\n");
        gps_move_abs(x0, y0);
        gps_line_abs(x0, y1);
        gps_line_abs(x1, y1);
        gps_line_abs(x1, y0);
        put("cp\nclip\n");
    }

    int polyline(std::span<const GPoint> pts) override {
        const auto &k = kernel();
        gps_printf("%%%%PL:%d\n", static_cast<int>(pts.size()));
        gps_set_width(k.line_colr, k.line_width);
        gps_set_color(k.line_colr);
        gps_set_type(k.line_type);
        put("np\n");
        path(pts);
        put("stroke\n");
        return 0;
    }
    int fill_area(std::span<const GPoint> pts) override {
        const auto &k = kernel();
        if (k.fill_int != 1)
            return 0;
        gps_printf("%%%%FA:%d\n", static_cast<int>(pts.size()));
        put("np\n");
        path(pts);
        put("cp\n");
        gps_set_fill_color(k.fill_colr);
        put("fill\n");
        return 0;
    }
    int clear_region(const float *r) override {
        put("%%CLR\nnp\n");
        gps_move(r[0], r[2]);
        gps_line(r[0], r[3]);
        gps_line(r[1], r[3]);
        gps_line(r[1], r[2]);
        put("cp\n");
        gps_set_fill_color(-1);
        put("fill\n");
        return 0;
    }
    void message(int, const std::string &s) override {
        gps_printf("%%%%Message: %s\n", comment_text(s).c_str());
    }
    int image(const IMAGE &im, int x, int y, int) override { return gps_image(&im, x, y); }

    void marker_begin(int n) override {
        const auto &k = kernel();
        gps_printf("%%%%PM:%d\n", n);
        gps_set_width(k.mark_colr, k.mark_width);
        gps_set_color(k.mark_colr);
        gps_set_type(1);
    }
    void marker_stroke(std::span<const DPoint> pts) override {
        put("np\n");
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i == 0)
                gps_move_abs(pts[i].x, pts[i].y);
            else
                gps_line_abs(pts[i].x, pts[i].y);
        }
        put("stroke\n");
    }

    void text_begin(GPoint pos, const std::string &s) override {
        const auto &k = kernel();
        gps_printf("%%%%TE:%f %f %s\n", static_cast<double>(pos.x), static_cast<double>(pos.y),
                   comment_text(s).c_str());
        gps_set_width(k.text_colr, k.text_width);
        gps_set_color(k.text_colr);
        gps_set_type(1);
    }
    void glyph_begin() override {
        put("np\n");
        stroke_ = false;
    }
    void text_move(float x, float y) override {
        if (stroke_)
            put("stroke\nnp\n");
        gps_move(x, y);
        stroke_ = true;
    }
    void text_draw(float x, float y) override {
        // A glyph that draws before it moves starts its stroke at that point.
        if (!stroke_)
            return text_move(x, y);
        gps_line(x, y);
    }
    void glyph_end() override { put("stroke\n"); }

  private:
    static void path(std::span<const GPoint> pts) {
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i == 0)
                gps_move(pts[i].x, pts[i].y);
            else
                gps_line(pts[i].x, pts[i].y);
        }
    }
    bool stroke_ = false;
};

// Geometry of the page in hundredths of an inch: "WxH+X+Y", "WxH", "+X+Y", or a panel.
bool apply_geometry(const std::string &g, GSurface *s) {
    if (g.empty())
        return true;
    if (g[0] == 'P' || g[0] == 'p')
        return gks_panel_geometry(g.c_str() + 1, &s->width, &s->height, &s->x, &s->y) != 0;
    int a = 0, b = 0, c = 0, d = 0;
    // 72 points to the inch, in whole numbers so that 100 hundredths are 72 points.
    auto pts = [](int v) { return static_cast<int>(static_cast<int64_t>(v) * 72 / 100); };
    int n = std::sscanf(g.c_str(), "%dx%d%d%d", &a, &b, &c, &d);
    if (n >= 2) {
        s->width = pts(a);
        s->height = pts(b);
        if (n == 4) {
            s->x = pts(c);
            s->y = pts(d);
        }
        return true;
    }
    if (std::sscanf(g.c_str(), "%d%d", &c, &d) == 2) {
        s->x = pts(c);
        s->y = pts(d);
        return true;
    }
    return false;
}

struct Paper {
    const char *name;
    float width, height;
};

constexpr Paper kPapers[] = {
    {"letter", 11.0f, 8.5f}, {"legal", 14.0f, 8.5f}, {"11x17", 17.0f, 11.0f},
    {"a4", 11.69f, 8.26f},   {"a3", 16.54f, 11.69f}, {"a2", 23.39f, 16.54f},
    {"a1", 33.11f, 23.39f},  {"b4", 14.33f, 10.12f}, {"b3", 20.27f, 14.33f},
    {"b2", 28.66f, 20.27f},  {"b1", 40.55f, 28.66f}, {"ansid", 34.0f, 22.0f},
};

std::vector<std::string> option_words(const char *env, const std::string &connection) {
    std::vector<std::string> words, fields;
    int count = 0;
    if (const char *e = std::getenv(env))
        parse_string(e, ',', &count, &words);
    parse_string(connection.c_str(), ',', &count, &fields);
    for (size_t i = 1; i < fields.size(); ++i)
        words.push_back(fields[i]);
    for (auto &w : words)
        w = str_trim(w);
    return words;
}

} // namespace

namespace gks::detail {

std::optional<std::string> paper_option(const std::string &word, const char *key) {
    size_t n = std::strlen(key);
    if (word.size() < n + 2 || strncasecmp(word.c_str(), key, n) != 0 ||
        std::isalnum(static_cast<unsigned char>(word[n])))
        return std::nullopt;
    return word.substr(n + 1);
}

std::optional<float> positive_number(const std::string &text, float max) {
    const char *s = text.c_str();
    char *end = nullptr;
    float v = std::strtof(s, &end);
    if (end == s || *end != '\0' || !(v > 0.0f) || !(v <= max))
        return std::nullopt;
    return v;
}

bool paper_dimensions(const std::string &text, float max, float *width, float *height) {
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    auto w = positive_number(text.substr(0, x), max);
    auto h = positive_number(text.substr(x + 1), max);
    if (!w || !h)
        return false;
    *width = *w;
    *height = *h;
    return true;
}

std::optional<float> print_gray(int index) {
    if (index < GCOLR_PRINT_FIRST || index > GCOLR_PRINT_LAST)
        return std::nullopt;
    if (index <= 502)
        return 0.0f;
    if (index <= 505)
        return 1.0f;
    return 0.7f;
}

} // namespace gks::detail

bool gps_paper_size(const std::string &name, float *width, float *height) {
    for (const Paper &p : kPapers) {
        if (strcasecmp(name.c_str(), p.name) == 0) {
            *width = p.width;
            *height = p.height;
            return true;
        }
    }
    return false;
}

int gps_open_file(const char *name) {
    auto &s = pst();
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
    if (const char *c = std::getenv("PSCOLOR"); c && *c)
        gps_set_colorPS(1);
    if (!f)
        return -1;
    s.sink = GksSink::to_file(std::move(f), shown);
    return 0;
}

int gps_open_string(std::string *text) {
    auto &s = pst();
    s.sink.close();
    s.append = false;
    s.sink = GksSink::to_string(text);
    return 0;
}

bool gps_is_open() {
    return pst().sink.is_open();
}

int gps_init() {
    auto &s = pst();
    s.eps = s.port = s.color = s.rev = 0;
    s.scale = 1.0f;
    s.base_width = 1.0f;
    s.grey = 0.0f;
    s.rgb_index = -1;
    s.width = 1.0f;
    s.type = 1.0f;
    s.gray.fill(0.0f);
    if (s.device)
        s.device->sync_caps();
    return 0;
}

int gps_init_file() {
    auto &s = pst();
    if (!s.sink.is_open())
        return -1;
    std::string title = comment_text(gget_win_title());
    if (!s.append) {
        // The bounding box is that of the letter surface whatever the paper, and a landscape
        // EPS page is moved down by the whole page height, so on letter paper its drawing
        // lies 36 points right of the box. Readers of these files expect exactly these lines.
        if (s.eps)
            put(s.port ? "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 756 576\n"
                       : "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 576 756\n");
        else
            put("%!PS-Adobe-1.0\n");
        s.sink.printf("%%%%Title: ZOR Graphics Display: %s\n", title.c_str());
        put("%%Creator: ZOR Postscript Processor-2.0\n");
        s.sink.printf("%%%%CreationDate: %s", creation_date().c_str());
        put("%%EndComments\n%%Postscript initialization\n");
        if (!s.eps)
            put("30 dict begin\n/saveobj save def\n");
        put("/inch {72 mul} def\n/dot {.33 mul} def\n/mv {moveto} def\n/ln {lineto} def\n"
            "/lw {setlinewidth} def\n/np {newpath} def\n/cp {closepath} def\n");
        if (!s.port) {
            put("90 rotate\n");
            if (s.eps)
                s.sink.printf("0. inch -%.2f inch translate\n", static_cast<double>(s.sy));
            else
                s.sink.printf(".25 inch -%.2f inch translate\n", static_cast<double>(s.sy - 0.25f));
        } else if (!s.eps) {
            put(".25 inch .25 inch translate\n");
        }
        put(s.color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
        put("2 setlinejoin\n1 dot lw\n[] 0 setdash\n");
        if (s.scale != 1.0f)
            s.sink.printf("%.2f %.2f scale\n", static_cast<double>(s.scale),
                          static_cast<double>(s.scale));
        put("%%Begin plot\n");
    } else {
        put(s.color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
        put("1 dot lw\n[] 0 setdash\n");
    }
    s.sink.printf("%%%%ZOR Plot: %s\n", title.c_str());
    return 0;
}

int gps_close_file() {
    auto &s = pst();
    if (!s.sink.is_open())
        return -1;
    put("%%End of plot\n");
    if (!s.append) {
        put(s.eps ? "showpage\n" : "saveobj restore\nshowpage\nend\n");
        put("%%EOF\n");
    }
    int rc = s.sink.close();
    if (rc == 0)
        MESS_print(MESS_MESS, "Created Postscript file\n");
    return rc;
}

int gps_set_size(float width, float height) {
    pst().sx = width;
    pst().sy = height;
    return 0;
}
int gps_set_EPS(int flag) {
    pst().eps = flag;
    return 0;
}
int gps_set_orient(int portrait) {
    pst().port = portrait;
    return 0;
}
int gps_set_scale(float factor) {
    pst().scale = factor;
    return 0;
}
int gps_set_colorPS(int flag) {
    pst().color = flag;
    if (pst().device)
        pst().device->sync_caps();
    return 0;
}
int gps_get_colorPS() {
    return pst().color;
}
int gps_set_reverse(int flag) {
    pst().rev = flag;
    return 0;
}
int gps_set_base_width(int width) {
    pst().base_width = static_cast<float>(width);
    return 0;
}

int gps_printf(const char *format, ...) {
    auto &s = pst();
    if (!s.sink.is_open())
        return 0;
    va_list ap;
    va_start(ap, format);
    s.sink.vprintf(format, ap);
    va_end(ap);
    return 0;
}

int gps_move(float x, float y) {
    return gps_move_abs(xW_ps(x), yW_ps(y));
}
int gps_line(float x, float y) {
    return gps_line_abs(xW_ps(x), yW_ps(y));
}
int gps_move_abs(float x, float y) {
    pst().sink.printf("%3.2f %3.2f mv\n", static_cast<double>(x), static_cast<double>(y));
    return 0;
}
int gps_line_abs(float x, float y) {
    pst().sink.printf("%3.2f %3.2f ln\n", static_cast<double>(x), static_cast<double>(y));
    return 0;
}

int gps_set_color(int index) {
    if (auto g = print_gray(index))
        set_gray_level(*g, print_gray_text(index));
    else if (pst().color)
        set_rgb(index);
    else
        set_gray_level(0.0f, "0 setgray\n");
    return 0;
}

int gps_set_fill_color(int index) {
    auto &s = pst();
    if (auto g = print_gray(index)) {
        set_gray_level(*g, print_gray_text(index));
    } else if (s.color) {
        set_rgb(index);
    } else if (index == -1) {
        set_gray_level(1.0f, "1 setgray\n");
    } else if (gget_fill_print_solid()) {
        set_gray_level(0.0f, "0 setgray\n");
    } else {
        float g = gps_get_gray(index);
        if (s.grey != g) {
            s.grey = g;
            s.rgb_index = -1;
            s.sink.printf("%3.3f setgray\n", static_cast<double>(g));
        }
    }
    return 0;
}

int gps_set_width(int color_index, float width) {
    auto &s = pst();
    float w;
    bool whole = true;
    switch (color_index) {
    case 502:
    case 505:
    case 508:
        w = std::trunc(4.0f * s.base_width * width);
        break;
    case 501:
    case 504:
    case 507:
        w = std::trunc(2.0f * s.base_width * width);
        break;
    default:
        w = static_cast<float>(std::max(gget_line_print_bold(), 1)) * width * s.base_width;
        whole = false;
        break;
    }
    w = std::min(w, 1e6f); // a width beyond any page stays a number PostScript can read
    if (w == s.width)
        return 0;
    s.width = w;
    if (whole)
        s.sink.printf("%d dot lw\n", static_cast<int>(w));
    else
        s.sink.printf("%2.1f dot lw\n", static_cast<double>(w));
    return 0;
}

int gps_set_type(int line_type) {
    auto &s = pst();
    if (static_cast<float>(line_type) == s.type)
        return 0;
    s.type = static_cast<float>(line_type);
    static const char *const kDash[] = {"[] 0 setdash\n", "[6] 0 setdash\n", "[3 6] 0 setdash\n",
                                        "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"};
    if (line_type >= 1 && line_type <= 5)
        put(kDash[line_type - 1]);
    return 0;
}

int gps_set_color_rep(int index, float r, float g, float b) {
    int slot = gray_slot(index);
    if (slot < 0)
        return -1;
    pst().gray[static_cast<size_t>(slot)] = gray_of(r, g, b);
    return 0;
}

float gps_get_gray(int index) {
    if (auto g = print_gray(index))
        return *g;
    int slot = gray_slot(index);
    float g = slot < 0 ? 0.0f : pst().gray[static_cast<size_t>(slot)];
    return pst().rev ? 1.0f - g : g;
}

int gps_image(const IMAGE *image, int x, int y) {
    auto &s = pst();
    if (!image || !s.sink.is_open())
        return -1;
    const IMAGE &im = *image;
    int bits = im.bits_per_pixel ? im.bits_per_pixel : 8;
    if (bits != 8)
        return -1;
    int r[4];
    gget_xviewport(r);
    const int w = r[2], h = r[3];
    if (w <= 0 || h <= 0)
        return 0;
    const bool colour = s.color != 0;
    s.sink.printf("gsave\n%d %d translate\n%d %d scale\n/picstr %d string def\n", r[0], r[1], w, h,
                  w);
    s.sink.printf("%d %d 8 [ %d 0 0 %d 0 %d ]\n", w, h, w, -h, h);
    put("{ currentfile picstr readhexstring pop }\n");
    put(colour ? "false 3 colorimage\n" : "image\n");

    // Hexadecimal text of every pixel value as written: RGB from the image's colour table in
    // colour (grey when the image has none), the value itself in grey.
    static constexpr char kHex[] = "0123456789ABCDEF";
    const size_t per = colour ? 6 : 2;
    std::vector<std::array<char, 6>> text(257);
    const std::vector<float> *table = im.colors.get();
    for (int v = 0; v < 257; ++v) {
        std::array<int, 3> c{255, 255, 255}; // 256: white padding
        if (v < 256) {
            c = {v, v, v};
            size_t at = static_cast<size_t>(v) * 3;
            if (colour && table && at + 2 < table->size())
                for (size_t i = 0; i < 3; ++i)
                    c[i] = static_cast<int>(unit((*table)[at + i]) * 255.0f);
        }
        auto &t = text[static_cast<size_t>(v)];
        for (size_t i = 0; i < 3; ++i) {
            t[2 * i] = kHex[c[i] >> 4];
            t[2 * i + 1] = kHex[c[i] & 15];
        }
    }
    const int64_t nx = im.nx, ny = im.ny;
    const int64_t bpl = im.bytes_per_line > 0 ? im.bytes_per_line : nx;
    const size_t size = im.data.size();
    std::string row;
    row.reserve(static_cast<size_t>(w) * (per + 1) + 2);
    for (int j = 0; j < h; ++j) {
        row.clear();
        const int64_t src_row = static_cast<int64_t>(j) + y;
        const bool in_rows = src_row >= 0 && src_row < ny;
        for (int i = 0; i < w; ++i) {
            const int64_t src_col = static_cast<int64_t>(i) + x;
            int v = 256;
            if (in_rows && src_col >= 0 && src_col < nx) {
                const int64_t at = src_row * bpl + src_col;
                if (at < static_cast<int64_t>(size))
                    v = im.data[static_cast<size_t>(at)];
            }
            row.append(text[static_cast<size_t>(v)].data(), per);
            if ((i + 1) % 80 == 0)
                row.push_back('\n');
        }
        if (row.empty() || row.back() != '\n')
            row.push_back('\n');
        s.sink.write(row.data(), row.size());
    }
    put("grestore\n");
    return 0;
}

std::unique_ptr<GksDevice> gps_make_device() {
    return std::make_unique<PsDevice>(std::nullopt);
}

std::unique_ptr<GksDevice> gps_open_device(const GksOpenArgs &args) {
    const char *who = args.reporter.c_str();
    if (gps_is_open()) {
        gerr_printf(who, "unable to open postscript file\n");
        return nullptr;
    }
    gps_init();
    // Colour when "PSCOLOR" asks for it, unless the options say otherwise.
    int colour = 0;
    if (const char *c = std::getenv("PSCOLOR"); c && *c)
        colour = 1;
    float pw = 11.0f, ph = 8.5f;
    for (const std::string &w : option_words("zorps_param", args.connection)) {
        std::optional<std::string> v;
        if (w.empty())
            continue;
        if (strcasecmp(w.c_str(), "port") == 0) {
            gps_set_orient(1);
        } else if (strcasecmp(w.c_str(), "land") == 0) {
            gps_set_orient(0);
        } else if (strcasecmp(w.c_str(), "eps") == 0) {
            gps_set_EPS(1);
        } else if (strcasecmp(w.c_str(), "noeps") == 0) {
            gps_set_EPS(0);
        } else if (strcasecmp(w.c_str(), "color") == 0) {
            colour = 1;
        } else if (strcasecmp(w.c_str(), "gray") == 0) {
            colour = 0;
        } else if (gps_paper_size(w, &pw, &ph)) {
        } else if ((v = paper_option(w, "scale"))) {
            auto f = positive_number(*v, 100.0f);
            if (!f) {
                gerr_printf(who, "invalid PostScript scale: %s\n", w.c_str());
                return nullptr;
            }
            gps_set_scale(*f);
        } else if ((v = paper_option(w, "lwidth"))) {
            auto f = positive_number(*v, 1000.0f);
            if (!f || *f < 1.0f) {
                gerr_printf(who, "invalid PostScript line width: %s\n", w.c_str());
                return nullptr;
            }
            gps_set_base_width(static_cast<int>(*f));
        } else if ((v = paper_option(w, "sz"))) {
            if (!paper_dimensions(*v, kMaxPaperInches, &pw, &ph)) {
                gerr_printf(who, "invalid paper size: %s\n", w.c_str());
                return nullptr;
            }
        } else {
            gerr_printf(who, "unknown PostScript option: %s\n", w.c_str());
            return nullptr;
        }
    }
    // A quarter inch of margin on every side.
    GSurface surface{static_cast<int>((pw - 0.5f) * 72.0f), static_cast<int>((ph - 0.5f) * 72.0f),
                     0, 0};
    if (surface.width < 1 || surface.height < 1) {
        gerr_printf(who, "invalid paper size: %gx%g\n", static_cast<double>(pw),
                    static_cast<double>(ph));
        return nullptr;
    }
    if (!apply_geometry(args.geometry, &surface) || surface.width < 1 || surface.height < 1) {
        gerr_printf(who, "invalid geometry: %s\n", args.geometry.c_str());
        return nullptr;
    }
    std::vector<std::string> fields;
    int count = 0;
    parse_string(args.connection.c_str(), ',', &count, &fields);
    std::string name = fields.empty() ? std::string() : str_trim(fields[0]);
    if (name.empty())
        name = args.output;
    if (name.empty())
        name = "zor.ps";
    if (gps_open_file(name.c_str()) != 0) {
        gerr_printf(who, "unable to open postscript file\n");
        return nullptr;
    }
    gps_set_colorPS(colour);
    gps_set_size(pw, ph);
    gps_init_file();
    return std::make_unique<PsDevice>(surface);
}

void gps_reset_state() {
    pst().sink.close();
    pst().device = nullptr;
    pst() = PsState{};
}
