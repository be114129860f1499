// Metafile workstation and text-metafile replay.
//
// Text metafile: a first line "ZORMETA", three "#" header lines, then one record per kernel
// call, a keyword and blank-separated values ("%f" floats, "%d" integers). Point lists are
// "%f,%f " pairs with a continuation "\n   " after every fourth point; a polyline always
// ends with "\n", markers and fills only when the count is not a multiple of four (their
// continuation follows the last point too). The reader skips blanks before every point, so
// both layouts read back the same.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

#include "base/mess.h"
#include "base/string.h"
#include "gks/gks_meta.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace gks::detail {
GksSink &meta_sink();
void cgm_begin();
void cgm_end();
void cgm_polyline(std::span<const GPoint> pts);
void cgm_clip(const GClip &c);
} // namespace gks::detail

namespace {

struct MetaState {
    int type = GMETA_TEXT;
    GksSink sink;
    bool append = false;
};

MetaState &mst() {
    static MetaState s;
    return s;
}

bool text_out() {
    return mst().type == GMETA_TEXT && mst().sink.is_open();
}

void write_points(GksSink &out, std::span<const GPoint> pts, bool always_newline) {
    size_t n = pts.size();
    for (size_t i = 0; i < n; ++i) {
        out.printf("%f,%f ", static_cast<double>(pts[i].x), static_cast<double>(pts[i].y));
        bool fourth = (i + 1) % 4 == 0;
        if (fourth && (i + 1 < n || !always_newline))
            out.printf("\n   ");
    }
    if (always_newline || n % 4 != 0)
        out.printf("\n");
}

// The metafile device: every call of the text type is a record; the CGM type writes only
// clip rectangles and polylines.
class MetaDevice final : public GksDevice {
  public:
    explicit MetaDevice(std::optional<GSurface> surface = std::nullopt) {
        caps_.writes_calls = true;
        surface_ = surface;
    }
    int ws_type() const override { return GWS_META; }
    int device_class() const override { return GCLASS_META; }
    int close() override { return gmeta_close_file(); }

    void attribute(GAttr a) override {
        if (!text_out())
            return;
        const auto &k = kernel();
        GksSink &o = meta_sink();
        switch (a) {
        case GAttr::LineColr:
            o.printf("PL_CLR %d\n", k.line_colr);
            break;
        case GAttr::LineWidth:
            o.printf("PL_LW %f\n", static_cast<double>(k.line_width));
            break;
        case GAttr::LineType:
            o.printf("PL_TYPE %d\n", k.line_type);
            break;
        case GAttr::MarkColr:
            o.printf("PM_CLR %d\n", k.mark_colr);
            break;
        case GAttr::MarkSize:
            o.printf("PM_SIZE %f\n", static_cast<double>(k.mark_size));
            break;
        case GAttr::MarkWidth:
            o.printf("PM_WDTH %f\n", static_cast<double>(k.mark_width));
            break;
        case GAttr::MarkType:
            o.printf("PM_TYPE %d\n", k.mark_type);
            break;
        case GAttr::FillColr:
            o.printf("FA_CLR %d\n", k.fill_colr);
            break;
        case GAttr::FillInt:
            o.printf("FA_INT %d\n", k.fill_int);
            break;
        case GAttr::FillStyle:
            o.printf("FA_ST %d\n", k.fill_style);
            break;
        case GAttr::TextColr:
            o.printf("TE_CLR %d\n", k.text_colr);
            break;
        case GAttr::CharHt:
            o.printf("TE_HGHT %f\n", static_cast<double>(k.char_ht));
            break;
        case GAttr::Expan:
            o.printf("TE_EXP %f\n", static_cast<double>(k.expan));
            break;
        case GAttr::TextWidth:
            o.printf("TE_WDTH %f\n", static_cast<double>(k.text_width));
            break;
        case GAttr::Space:
            o.printf("TE_SPC %f\n", static_cast<double>(k.space));
            break;
        case GAttr::CharSpace:
            o.printf("TE_CSPC %f\n", static_cast<double>(k.char_space));
            break;
        case GAttr::CharUp:
            o.printf("TE_UP %f,%f\n", static_cast<double>(k.up_x), static_cast<double>(k.up_y));
            break;
        case GAttr::TextAlign:
            o.printf("TE_ALGN %d %d\n", k.align_h, k.align_v);
            break;
        case GAttr::FontPrec:
            o.printf("TE_FNT %d %d\n", k.font, k.prec);
            break;
        default:
            break;
        }
    }

    void color_rep(int ws, int index, const float *rgb) override {
        gmeta_printf("CLR %d %d %f %f %f\n", ws, index, static_cast<double>(rgb[0]),
                     static_cast<double>(rgb[1]), static_cast<double>(rgb[2]));
    }
    void ws_window(int ws, const float *r) override { rect_record("WS_WIN", ws, r); }
    void ws_viewport(int ws, const float *r) override { rect_record("WS_VP", ws, r); }
    void window(int n, const float *r) override { rect_record("WIN", n, r); }
    void viewport(int n, const float *r) override { rect_record("VP", n, r); }
    void select_tran(int n) override { gmeta_printf("TR %d\n", n); }
    void clip(const GClip &c) override {
        if (mst().type == GMETA_CGM)
            cgm_clip(c);
    }

    int polyline(std::span<const GPoint> pts) override {
        if (mst().type == GMETA_CGM) {
            cgm_polyline(pts);
        } else if (text_out()) {
            meta_sink().printf("PL %d ", static_cast<int>(pts.size()));
            write_points(meta_sink(), pts, true);
        }
        return 0;
    }
    int polymarker(std::span<const GPoint> pts) override { return point_record("PM", pts); }
    int fill_area(std::span<const GPoint> pts) override { return point_record("FA", pts); }
    int text(GPoint pos, const std::string &s) override {
        gmeta_printf("TE %f,%f %s\n", static_cast<double>(pos.x), static_cast<double>(pos.y),
                     s.c_str());
        return 0;
    }
    int clear_region(const float *r) override {
        gmeta_printf("CLR_REG %f %f %f %f\n", static_cast<double>(r[0]), static_cast<double>(r[2]),
                     static_cast<double>(r[1]), static_cast<double>(r[3]));
        return 0;
    }
    void message(int, const std::string &s) override { gmeta_printf("ME %s\n", s.c_str()); }
    void segment(GSegOp op, int n) override {
        static const char *const names[] = {"SEG_CR", "SEG_CL", "SEG_DE"};
        gmeta_printf("%s %d\n", names[static_cast<int>(op)], n);
    }

  private:
    static void rect_record(const char *key, int n, const float *r) {
        gmeta_printf("%s %d %f %f %f %f\n", key, n, static_cast<double>(r[0]),
                     static_cast<double>(r[2]), static_cast<double>(r[1]),
                     static_cast<double>(r[3]));
    }
    static int point_record(const char *key, std::span<const GPoint> pts) {
        if (!text_out())
            return 0;
        meta_sink().printf("%s %d ", key, static_cast<int>(pts.size()));
        write_points(meta_sink(), pts, false);
        return 0;
    }
};

// Geometry of the metafile: "WxH+X+Y" in hundredths, or a panel specification.
void apply_geometry(const char *g, int *w, int *h, int *x, int *y) {
    if (!*g)
        return;
    if (g[0] == 'P' || g[0] == 'p') {
        gks_panel_geometry(g + 1, w, h, x, y);
        return;
    }
    int a = 0, b = 0, c = 0, d = 0;
    int n = std::sscanf(g, "%dx%d%d%d", &a, &b, &c, &d);
    if (n == 4) {
        *w = a * 100;
        *h = b * 100;
        *x = c * 100;
        *y = d * 100;
    } else if (n >= 2) {
        *w = a * 100;
        *h = b * 100;
    } else if (std::sscanf(g, "%d%d", &c, &d) == 2) {
        *x = c * 100;
        *y = d * 100;
    }
}

} // namespace

namespace gks::detail {
std::string creation_date() {
    std::time_t t = std::time(nullptr);
    if (const char *e = std::getenv("SOURCE_DATE_EPOCH"); e && *e) {
        char *end = nullptr;
        long long v = std::strtoll(e, &end, 10);
        if (end && *end == '\0' && v >= 0)
            t = static_cast<std::time_t>(v);
    }
    char buf[64];
    std::tm tm{};
    if (std::getenv("SOURCE_DATE_EPOCH"))
        gmtime_r(&t, &tm);
    else
        localtime_r(&t, &tm);
    // The 24-character ctime form and a newline.
    if (std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &tm) == 0)
        return "\n";
    return buf;
}

GksSink &meta_sink() {
    return mst().sink;
}
bool meta_appending() {
    return mst().append;
}
} // namespace gks::detail

int gks_panel_geometry(const char *spec, int *w, int *h, int *x, int *y) {
    float a = 1, b = 1, c = 0, d = 0;
    if (std::sscanf(spec, "%fx%f+%f+%f", &a, &b, &c, &d) < 1)
        return 0;
    float W = static_cast<float>(*w), H = static_cast<float>(*h);
    float fw, fh, fx, fy;
    if (a > 1) {
        int cols = std::clamp(static_cast<int>(a), 1, 8);
        int rows = std::clamp(static_cast<int>(b), 1, 8);
        fw = 1.0f / static_cast<float>(cols);
        fh = 1.0f / static_cast<float>(rows);
        fx = c / static_cast<float>(cols);
        fy = 1.0f - (1.0f + d) / static_cast<float>(rows);
    } else {
        fw = a;
        fh = b;
        fx = c;
        fy = d;
    }
    if (!std::isfinite(fw + fh + fx + fy))
        return 0;
    *w = static_cast<int>(std::clamp(W * fw, 1.0f, 1e6f));
    *h = static_cast<int>(std::clamp(H * fh, 1.0f, 1e6f));
    *x = static_cast<int>(std::clamp(W * fx, -1e6f, 1e6f));
    *y = static_cast<int>(std::clamp(H * fy, -1e6f, 1e6f));
    return 1;
}

int gmeta_set_type(int type) {
    int old = mst().type;
    mst().type = type == GMETA_CGM ? GMETA_CGM : GMETA_TEXT;
    return old;
}

int gmeta_get_type() {
    return mst().type;
}

int gmeta_open_file(const char *name) {
    auto &s = mst();
    s.sink.close();
    s.append = false;
    if (!name || !*name)
        return -1;
    MESS_print(MESS_MESS, "Creating metafile: %s\n", name);
    bool binary = s.type == GMETA_CGM;
    FilePtr f;
    std::string shown = name;
    if (name[0] == '+') {
        s.append = true;
        f = FILE_open(name + 1, binary ? "ab" : "a");
        shown = name + 1;
    } else {
        f = FILE_open(name, binary ? "wb" : "w");
    }
    if (!f)
        return -1;
    s.sink = GksSink::to_file(std::move(f), shown);
    return 0;
}

int gmeta_open_string(std::string *text) {
    auto &s = mst();
    s.sink.close();
    s.append = false;
    s.sink = GksSink::to_string(text);
    return 0;
}

bool gmeta_is_open() {
    return mst().sink.is_open();
}

int gmeta_init_file() {
    auto &s = mst();
    if (!s.sink.is_open())
        return -1;
    if (s.type == GMETA_CGM) {
        cgm_begin();
        return 0;
    }
    if (s.append)
        return 0;
    s.sink.printf("ZORMETA\n");
    s.sink.printf("#Title: ZOR Graphics Display: %s\n", gget_win_title());
    s.sink.printf("#Creator: ZOR Metafile Processor-1.0\n");
    s.sink.printf("#CreationDate: %s", creation_date().c_str());
    return 0;
}

int gmeta_printf(const char *format, ...) {
    if (!text_out())
        return 0;
    va_list ap;
    va_start(ap, format);
    mst().sink.vprintf(format, ap);
    va_end(ap);
    return 0;
}

int gmeta_close_file() {
    auto &s = mst();
    if (!s.sink.is_open())
        return -1;
    if (s.type == GMETA_CGM && !s.append)
        cgm_end();
    int rc = s.sink.close();
    MESS_print(MESS_MESS, "Created metafile\n");
    return rc;
}

void gmeta_reset_state() {
    mst().sink.close();
    mst() = MetaState{};
}

std::unique_ptr<GksDevice> gmeta_make_device() {
    return std::make_unique<MetaDevice>();
}

std::unique_ptr<GksDevice> gmeta_open_device(const GksOpenArgs &args) {
    int count = 0;
    std::vector<std::string> fields;
    parse_string(args.connection.c_str(), ',', &count, &fields);
    for (size_t i = 1; i < fields.size(); ++i) {
        std::string f = str_trim(fields[i]);
        if (strcasecmp(f.c_str(), "cgm") == 0)
            gmeta_set_type(GMETA_CGM);
        else if (strcasecmp(f.c_str(), "zor") == 0)
            gmeta_set_type(GMETA_TEXT);
    }
    // 10 by 8 units of 100.
    GSurface surface{1000, 800, 0, 0};
    apply_geometry(args.geometry.c_str(), &surface.width, &surface.height, &surface.x, &surface.y);
    std::string name = fields.empty() ? std::string() : str_trim(fields[0]);
    if (name.empty())
        name = args.output;
    if (name.empty())
        name = gmeta_get_type() == GMETA_CGM ? "zor.cgm" : "zor.meta";
    if (gmeta_open_file(name.c_str()) != 0) {
        gerr_printf(args.reporter.c_str(), "unable to open metafile\n");
        return nullptr;
    }
    gmeta_init_file();
    return std::make_unique<MetaDevice>(surface);
}

// ---- replay ----

namespace {

// Cursor over the metafile text; getters fail at the end instead of running past it.
class Reader {
  public:
    explicit Reader(const std::string &t) : t_(t) {}
    bool at_end() const { return p_ >= t_.size(); }
    void skip_blanks() {
        while (p_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[p_])))
            ++p_;
    }
    std::string word() {
        skip_blanks();
        size_t s = p_;
        while (p_ < t_.size() && !std::isspace(static_cast<unsigned char>(t_[p_])))
            ++p_;
        return t_.substr(s, p_ - s);
    }
    bool integer(int *v) {
        skip_blanks();
        const char *s = t_.c_str() + p_;
        char *end = nullptr;
        errno = 0;
        long x = std::strtol(s, &end, 10);
        if (end == s || errno != 0 || x < -2147483647L || x > 2147483647L)
            return false;
        p_ += static_cast<size_t>(end - s);
        *v = static_cast<int>(x);
        return true;
    }
    bool real(float *v) {
        skip_blanks();
        const char *s = t_.c_str() + p_;
        char *end = nullptr;
        float x = std::strtof(s, &end);
        if (end == s)
            return false;
        p_ += static_cast<size_t>(end - s);
        *v = x;
        return true;
    }
    bool pair(float *x, float *y) {
        if (!real(x))
            return false;
        if (p_ >= t_.size() || t_[p_] != ',')
            return false;
        ++p_;
        return real(y);
    }
    void skip_line() {
        while (p_ < t_.size() && t_[p_] != '\n')
            ++p_;
        if (p_ < t_.size())
            ++p_;
    }
    std::string rest_of_line() {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t'))
            ++p_;
        size_t s = p_;
        while (p_ < t_.size() && t_[p_] != '\n')
            ++p_;
        return t_.substr(s, p_ - s);
    }
    size_t remaining() const { return t_.size() - p_; }

  private:
    const std::string &t_;
    size_t p_ = 0;
};

constexpr long kMaxMetafileSize = 1L << 30;

bool read_points(Reader &r, int n, std::vector<float> *pts) {
    // Every point takes at least four characters ("0,0 "); larger counts are lies.
    if (n < 0 || static_cast<size_t>(n) > r.remaining() / 3 + 1)
        return false;
    pts->resize(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        if (!r.pair(&(*pts)[2 * static_cast<size_t>(i)], &(*pts)[2 * static_cast<size_t>(i) + 1]))
            return false;
    return true;
}

} // namespace

int gread_metafile(const char *path) {
    std::string text;
    {
        FilePtr f = path ? FILE_open(path, "r") : nullptr;
        if (!f) {
            MESS_print(MESS_WARN, "gread_metafile: Unable to open image file: %s\n",
                       path ? path : "");
            return 0;
        }
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
            text.append(buf, n);
            if (static_cast<long>(text.size()) > kMaxMetafileSize) {
                MESS_print(MESS_WARN, "gread_metafile: file too large: %s\n", path);
                return 0;
            }
        }
    }
    Reader r(text);
    r.skip_line();
    std::vector<float> pts;
    auto bad = [&](const std::string &key) {
        MESS_print(MESS_WARN, "gread_metafile: bad %s record in %s\n", key.c_str(), path);
        return 0;
    };
    while (true) {
        std::string key = r.word();
        if (key.empty())
            break;
        int n = 0, m = 0;
        float f[4];
        if (key == "WS_WIN") {
            r.skip_line();
        } else if (key == "VP" || key == "WIN") {
            if (!r.integer(&n) || !r.real(&f[0]) || !r.real(&f[1]) || !r.real(&f[2]) ||
                !r.real(&f[3]))
                return bad(key);
            float rect[4] = {f[0], f[2], f[1], f[3]};
            if (key == "VP")
                gset_vp(n, rect);
            else
                gset_win(n, rect);
        } else if (key == "TR") {
            if (!r.integer(&n))
                return bad(key);
            gsel_norm_tran(n);
        } else if (key == "PL" || key == "FA" || key == "PM") {
            if (!r.integer(&n) || !read_points(r, n, &pts))
                return bad(key);
            if (key == "PL")
                gpolyline(n, pts.data());
            else if (key == "FA")
                gfill_area(n, pts.data());
            else
                gpolymarker(n, pts.data());
        } else if (key == "TE") {
            if (!r.pair(&f[0], &f[1]))
                return bad(key);
            std::string s = r.rest_of_line().substr(0, 100);
            gtext(f, s.c_str());
        } else if (key == "CLR") {
            if (!r.integer(&m) || !r.integer(&n) || !r.real(&f[0]) || !r.real(&f[1]) ||
                !r.real(&f[2]))
                return bad(key);
            gset_colr_rep(1, n, f);
        } else if (key == "PL_CLR" || key == "PL_TYPE" || key == "PM_CLR" || key == "PM_TYPE" ||
                   key == "FA_CLR" || key == "FA_INT" || key == "FA_ST" || key == "TE_CLR") {
            if (!r.integer(&n))
                return bad(key);
            if (key == "PL_CLR")
                gset_line_colr_ind(n);
            else if (key == "PL_TYPE")
                gset_linetype(n);
            else if (key == "PM_CLR")
                gset_marker_colr_ind(n);
            else if (key == "PM_TYPE")
                gset_marker_type(n);
            else if (key == "FA_CLR")
                gset_fill_colr_ind(n);
            else if (key == "FA_INT")
                gset_fill_int_style(n);
            else if (key == "FA_ST")
                gset_fill_style_ind(n);
            else
                gset_text_colr_ind(n);
        } else if (key == "PL_LW" || key == "PM_SIZE" || key == "PM_WDTH" || key == "TE_HGHT" ||
                   key == "TE_EXP" || key == "TE_WDTH" || key == "TE_SPC" || key == "TE_CSPC") {
            if (!r.real(&f[0]))
                return bad(key);
            if (key == "PL_LW")
                gset_linewidth(f[0]);
            else if (key == "PM_SIZE")
                gset_marker_size(f[0]);
            else if (key == "PM_WDTH")
                gset_marker_width(f[0]);
            else if (key == "TE_HGHT")
                gset_char_ht(f[0]);
            else if (key == "TE_EXP")
                gset_expan(f[0]);
            else if (key == "TE_WDTH")
                gset_text_width(f[0]);
            else if (key == "TE_SPC")
                gset_space(f[0]);
            else
                gset_char_space(f[0]);
        } else if (key == "TE_UP") {
            if (!r.pair(&f[0], &f[1]))
                return bad(key);
            gset_char_up_vec(f);
        } else if (key == "TE_ALGN" || key == "TE_FNT") {
            int v[2];
            if (!r.integer(&v[0]) || !r.integer(&v[1]))
                return bad(key);
            if (key == "TE_ALGN")
                gset_text_align(v);
            else
                gset_fontprec(v);
        } else {
            r.skip_line();
        }
    }
    return 0;
}
