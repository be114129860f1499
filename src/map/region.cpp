// Plot domain: the record that places a plot on the earth, its comma-separated
// text syntax, named regions (a region file and a built-in table), the region
// menu and the station-density priority that follows from the domain's height.
//
// Two traps: the patterns of a domain string are tried in a fixed order and the
// first that reads wins, so "ps,40,-100,25,17,1.2" is proj,plon,clat,clon,dx,dy
// and not proj,clat,clon,nx,ny,dx; and a region's domain string may name another
// region, so a chain of references is followed only to a fixed depth.
#include "map/region.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "map/cty_read.h"

namespace {

constexpr size_t MAX_LINE = 500; // region-file line length
constexpr size_t ABBR_LEN = 5;   // region abbreviation
constexpr size_t DESC_LEN = 20;  // menu description
constexpr int MENU_SIZE = 20;    // menu entries 0..19
constexpr int PROMPT_TRIES = 5;

// Where a domain string comes from: the user, or the inside of a data file. The
// file names in a string from a data file open regular files only.
enum class Origin { user, data };

// One decode, from its outermost string down through region references.
struct DecodeCtx {
    Origin origin = Origin::user;
    const char *no_centre = nullptr; // a built-in region without a centre was used
};

struct BuiltinRegion {
    const char *abbr;
    const char *desc;
    float clat;
    float clon;
    float spacing;
};

// Polar stereographic, 25 x 17 points, reference longitude = centre longitude.
constexpr std::array<BuiltinRegion, 9> BUILTIN = {{
    {"us", "Contiguous US", 39.0f, -97.0f, 2.3f},
    {"ne", "New England", 42.0f, -76.0f, 0.9f},
    {"at", "Atlantic", 37.0f, -82.0f, 0.9f},
    {"se", "Southeastern", 31.0f, -88.0f, 1.1f},
    {"mw", "Midwestern", 43.0f, -93.0f, 1.1f},
    {"sp", "Southern Plains", 32.5f, -100.0f, 1.2f},
    {"nw", "Northwestern", 44.0f, -112.0f, 1.0f},
    {"sw", "Southwestern", 37.0f, -112.0f, 1.0f},
    {"var", "Variable", MISSING_F, MISSING_F, 1.2f},
}};

struct ProjKeyword {
    const char *key;
    size_t letters; // 0: the whole word
    int code;
};

// First match wins: "lambaz" is Lambert conformal, "la" + anything else but
// "mb" or "t" is Lambert azimuthal.
constexpr std::array<ProjKeyword, 29> PROJ_KEYS = {{
    {"ll", 2, 2},     {"lat", 3, 2},    {"polar", 5, 1},  {"ps", 2, 1},         {"sat", 3, 9},
    {"lamb", 4, 4},   {"lc", 2, 4},     {"la", 2, 8},     {"gn", 2, 6},         {"or", 2, 5},
    {"mo", 2, 7},     {"me", 2, 3},     {"pix", 3, 99},   {"xy", 2, 20},        {"xlogy", 5, 22},
    {"xlogp", 5, 22}, {"cat", 3, 24},   {"skewt", 5, 40}, {"ema", 3, 42},       {"teph", 4, 43},
    {"rteph", 5, 44}, {"therm", 5, 40}, {"stuve", 5, 41}, {"hodo", 4, 23},      {"vert", 4, 22},
    {"xp", 2, 25},    {"zoom", 4, 50},  {"size", 4, 51},  {"miss", 0, MISSING},
}};

struct ProjName {
    int code;
    const char *name;
};

constexpr std::array<ProjName, 19> PROJ_NAMES = {{
    {1, "pstereo"}, {2, "latlon"}, {3, "merc"},   {4, "lamb"},   {5, "ortho"},
    {6, "gnom"},    {7, "moll"},   {8, "lambaz"}, {9, "sat"},    {20, "xy"},
    {21, "xz"},     {22, "xlogp"}, {23, "polar"}, {24, "cat"},   {40, "skewt"},
    {41, "stuve"},  {42, "ema"},   {50, "zoom"},  {99, "pixel"},
}};

// The patterns of a domain string in the order they are tried.
struct DecodeTry {
    int len;
    std::array<int, 8> codes;
    const char *label; // debug message after "%2d "
};

constexpr int P = DOM_F_PROJ, PL = DOM_F_PLON, LA = DOM_F_CLAT, LO = DOM_F_CLON, NX = DOM_F_NX,
              NY = DOM_F_NY, DX = DOM_F_DX, DY = DOM_F_DY;

constexpr std::array<DecodeTry, 15> TRIES = {{
    {3, {P, NX, NY}, "proj,nx,ny"},
    {8, {P, PL, LA, LO, NX, NY, DX, DY}, "proj,plon,clat,clon,nx,ny,dx,dy"},
    {7, {P, LA, LO, NX, NY, DX, DY}, "proj,clat,clon,nx,ny,dx,dy"},
    {6, {P, PL, LA, LO, DX, DY}, "proj,plon,clat,clon,dx,dy"},
    {6, {P, LA, LO, NX, NY, DX}, "proj,clat,clon,nx,ny,dx"},
    {6, {LA, LO, NX, NY, DX, DY}, "clat,clon,nx,ny,dx,dy"},
    {5, {P, LA, LO, DX, DY}, "proj,clat,clon,dx,dy"},
    {5, {LA, LO, NX, NY, DX}, "clat,clon,nx,ny,dx"},
    {4, {P, LA, LO, DX}, "proj,clat,clon,dx"},
    {4, {LA, LO, NX, NY}, "clat,clon,nx,ny"},
    {3, {LA, LO, DX}, "clat,clon,dx"},
    {3, {P, LA, LO}, "proj,clat,clon"},
    {2, {LA, LO}, "clat,clon"},
    {1, {DOM_F_ID}, "id:###"},
    {1, {DOM_F_REG}, "reg:REG"},
}};

struct MenuEntry {
    std::string desc; // empty: end marker
    std::string abbr;
    int index = 0;
    int flag = 0;
};

struct DomState {
    int priority = 3;
    int loc_prior = 4;
    std::vector<MenuEntry> menu; // MENU_SIZE entries plus room for the end marker
    int menu_count = 0;
    bool menu_loaded = false; // a region file has been loaded
    bool prompt_on = true;
    int depth = 0; // nesting of DOM_decode through region references
};

void init_menu(DomState &s) {
    s.menu.assign(MENU_SIZE + 1, MenuEntry{});
    s.menu[0] = {"Return to previous menu", "back", 0, 1};
    int i = 1;
    for (const auto &b : BUILTIN) {
        s.menu[i] = {b.desc, b.abbr, i, 1};
        ++i;
    }
    s.menu_count = i;
}

DomState &st() {
    static DomState s = [] {
        DomState d;
        init_menu(d);
        return d;
    }();
    return s;
}

// Keeps the nesting depth right whatever way a decode is left.
struct DepthGuard {
    DepthGuard() { ++st().depth; }
    ~DepthGuard() { --st().depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;
};

// Integer part of a float, missing when it does not fit.
int32_t int_part(float v) {
    double t = std::trunc(static_cast<double>(v));
    return (t > -2147483648.0 && t < 2147483647.0) ? static_cast<int32_t>(t) : MISSING;
}

// Reads a number the way "%f" / "%d" do: leading blanks skipped, the longest
// numeric prefix taken, anything after it ignored. Non-finite values and
// integers out of range do not read.
const char *skip_blanks(const std::string &s) {
    const char *p = s.c_str();
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

bool scan_float(const std::string &s, float *v) {
    const char *b = skip_blanks(s);
    const char *e = s.c_str() + s.size();
    if (b != e && *b == '+')
        ++b;
    float x = 0.0f;
    auto r = std::from_chars(b, e, x);
    if (r.ec != std::errc() || !std::isfinite(x))
        return false;
    *v = x;
    return true;
}

bool scan_int(const std::string &s, int32_t *v) {
    const char *b = skip_blanks(s);
    const char *e = s.c_str() + s.size();
    if (b != e && *b == '+')
        ++b;
    int32_t x = 0;
    auto r = std::from_chars(b, e, x);
    if (r.ec != std::errc())
        return false;
    *v = x;
    return true;
}

// atof: 0 when nothing reads.
float value_or_zero(const std::string &s) {
    float v = 0.0f;
    return scan_float(s, &v) ? v : 0.0f;
}

bool whole_int(const std::string &s) {
    int32_t v = 0;
    const char *b = s.c_str();
    const char *e = b + s.size();
    if (b != e && (*b == '+'))
        ++b;
    auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e && b != e;
}

bool starts_nocase(const std::string &s, const char *key) {
    return str_prefix_nocase(s, key, std::char_traits<char>::length(key));
}

std::string cut(const std::string &s, size_t n) {
    return s.size() > n ? s.substr(0, n) : s;
}

// A region file name resolved against "file_path".
std::string region_path(const char *file) {
    return FILE_find_on_path(file ? file : "");
}

// Opens a region file; an empty name never means standard input here.
FilePtr open_region_file(const std::string &path, Origin origin) {
    if (path.empty())
        return nullptr;
    if (origin == Origin::data)
        return FILE_open_data(path.c_str());
    return FILE_open(path.c_str(), "r");
}

const BuiltinRegion *find_builtin(const char *name) {
    for (const auto &b : BUILTIN)
        if (str_equal_nocase(name, b.abbr))
            return &b;
    return nullptr;
}

int search_file(const char *file, const char *name, std::string &out, Origin origin) {
    std::string path = region_path(file);
    FilePtr f = open_region_file(path, origin);
    if (!f) {
        MESS_print(MESS_DEBUG, "Unable to open region file: %s\n", path.c_str());
        return 0;
    }
    std::string line;
    while (str_read_line(f.get(), line, MAX_LINE)) {
        if (line.empty())
            break;
        if (line[0] == '#')
            continue;
        std::vector<std::string> w = str_split_words(line);
        if (w.empty())
            continue;
        if (w.size() == 1) {
            // A bare domain string: the answer whatever was asked for.
            out = w[0];
            return 1;
        }
        if (w.size() < 4 || !whole_int(w[2]))
            continue;
        if (!name || str_equal_nocase(cut(w[0], ABBR_LEN), name)) {
            out = w[3];
            return 1;
        }
    }
    return 0;
}

// The domain string of a "fi:" file: its first line that is no comment gives the fourth
// field, or the whole first word when the third and fourth fields cannot be read
// ("ps,40,-100,4,2,1,1 saved" is a domain string with a note after it).
int first_line_domain(const char *file, std::string &out, Origin origin) {
    std::string path = region_path(file);
    FilePtr f = open_region_file(path, origin);
    if (!f) {
        MESS_print(MESS_DEBUG, "Unable to open region file: %s\n", path.c_str());
        return 0;
    }
    std::string line;
    while (str_read_line(f.get(), line, MAX_LINE)) {
        if (line.empty())
            return 0; // an empty line ends a region file
        std::vector<std::string> w = str_split_words(line);
        if (line[0] == '#' || w.empty())
            continue;
        out = w.size() >= 4 && whole_int(w[2]) ? w[3] : w[0];
        return 1;
    }
    return 0;
}

int read_menu(const char *file, Origin origin);
int decode(const char *text, DOMAIN *dom, DecodeCtx &ctx);

// proj field: keyword, then optionally "e" and up to six numbers, ':'-separated.
bool set_proj(const std::string &field, DOMAIN *dom) {
    int n = 0;
    std::vector<std::string> sub;
    parse_string(field.c_str(), ':', &n, &sub);
    int code = DOM_proj_str(sub.empty() ? "" : sub[0].c_str());
    if (code == -1) {
        dom->proj = 1;
        return false;
    }
    dom->proj = code;
    if (sub.size() == 2) {
        dom->param[1] = value_or_zero(sub[1]);
    } else if (sub.size() > 2) {
        size_t first = 1;
        if (sub[1] == "e") {
            dom->ellipsoid = 1;
            first = 2;
        }
        for (size_t k = 0; k < 6 && first + k < sub.size(); ++k) {
            const std::string &v = sub[first + k];
            if (k < 2)
                dom->param[k] = value_or_zero(v);
            else if (!v.empty())
                dom->param[k] = value_or_zero(v);
        }
    }
    return true;
}

bool set_float(const std::string &field, float *v) {
    return field.empty() || scan_float(field, v);
}

bool set_int(const std::string &field, int32_t *v) {
    return field.empty() || scan_int(field, v);
}

// "id:station" or "id:file:station".
bool set_id(const std::string &field, DOMAIN *dom, const DecodeCtx &ctx) {
    if (!starts_nocase(field, "id:"))
        return false;
    std::string rest = field.substr(3);
    std::string file = "sao.cty";
    bool named = false; // the string names the city file
    size_t colon = rest.rfind(':');
    if (colon != std::string::npos) {
        file = rest.substr(0, colon);
        rest = rest.substr(colon + 1);
        named = true;
    }
    if (rest.empty() || file.empty())
        return false;
    float lat = MISSING_F, lon = MISSING_F;
    if (!CTY_get_loc(file.c_str(), rest.c_str(), &lat, &lon, named && ctx.origin == Origin::data))
        return false;
    dom->clat = lat;
    dom->clon = lon;
    return true;
}

// Decodes a domain string taken from a region entry into dom, unless the chain
// of references is already too deep (a region that names itself).
void decode_reference(const std::string &text, const std::string &name, DOMAIN *dom,
                      DecodeCtx &ctx) {
    if (st().depth >= DOM_MAX_REGION_DEPTH) {
        MESS_print(MESS_WARN,
                   "DOM_decode: region %s refers to regions more than %d deep (a loop?)\n",
                   name.c_str(), DOM_MAX_REGION_DEPTH);
        DOM_init(dom);
        dom->proj = -1;
        return;
    }
    DOMAIN d;
    decode(text.c_str(), &d, ctx);
    *dom = d;
}

void unresolved(DOMAIN *dom) {
    DOM_init(dom);
    dom->proj = -1;
}

// Region reference; false only for an "id:" field, which is no region.
bool set_region(const std::string &field, DOMAIN *dom, DecodeCtx &ctx) {
    if (starts_nocase(field, "id:"))
        return false;
    std::string out;
    if (starts_nocase(field, "fi:") && field.size() > 3) {
        std::string file = field.substr(3);
        if (first_line_domain(file.c_str(), out, ctx.origin))
            decode_reference(out, field, dom, ctx);
        else
            unresolved(dom);
        return true;
    }
    size_t colon = field.rfind(':');
    if (colon != std::string::npos) {
        std::string file = field.substr(0, colon);
        std::string name = field.substr(colon + 1);
        if (name.empty()) {
            read_menu(file.c_str(), ctx.origin);
        } else if (search_file(file.c_str(), name.c_str(), out, ctx.origin)) {
            decode_reference(out, field, dom, ctx);
        } else {
            unresolved(dom);
        }
        return true;
    }
    if (search_file("zor.reg", field.c_str(), out, Origin::user)) {
        decode_reference(out, field, dom, ctx);
    } else if (const BuiltinRegion *b = find_builtin(field.c_str())) {
        DOM_get_def_region(b->abbr, dom);
        if (is_missing(dom->clat))
            ctx.no_centre = b->abbr;
    } else {
        unresolved(dom);
    }
    return true;
}

int set_params(const std::vector<std::string> &fields, DOMAIN *dom, const int *codes, size_t len,
               DecodeCtx &ctx) {
    if (len > 8)
        return -1;
    // An "id:" field in a clat position stands for clat and clon together.
    std::vector<int> pattern;
    for (size_t i = 0; i < len; ++i) {
        size_t at = pattern.size();
        if (codes[i] == DOM_F_CLAT && at < fields.size() && starts_nocase(fields[at], "id:")) {
            pattern.push_back(DOM_F_ID);
            if (i + 1 < len && codes[i + 1] == DOM_F_CLON)
                ++i;
        } else {
            pattern.push_back(codes[i]);
        }
    }
    if (pattern.size() != fields.size())
        return 1;

    DOM_init(dom);
    if (!fields.empty() &&
        (str_equal_nocase(fields[0], "miss") || str_equal_nocase(fields[0], "none")))
        return 0;

    for (size_t i = 0; i < pattern.size(); ++i) {
        const std::string &f = fields[i];
        bool ok = false;
        switch (pattern[i]) {
        case DOM_F_PROJ:
            ok = set_proj(f, dom);
            break;
        case DOM_F_PLON:
            ok = set_float(f, &dom->param[1]);
            break;
        case DOM_F_CLAT:
            ok = set_float(f, &dom->clat);
            break;
        case DOM_F_CLON:
            ok = set_float(f, &dom->clon);
            break;
        case DOM_F_NX:
            ok = set_int(f, &dom->nx);
            break;
        case DOM_F_NY:
            ok = set_int(f, &dom->ny);
            break;
        case DOM_F_DX:
            ok = set_float(f, &dom->dx);
            break;
        case DOM_F_DY:
            ok = set_float(f, &dom->dy);
            break;
        case DOM_F_ID:
            ok = set_id(f, dom, ctx);
            break;
        case DOM_F_REG:
            ok = set_region(f, dom, ctx);
            break;
        default:
            ok = false;
        }
        if (!ok)
            return 1;
    }
    return 0;
}

// Defaults of try t (1-based) after its pattern matched.
void apply_defaults(int t, DOMAIN *d) {
    auto grid = [d] {
        d->nx = 25;
        d->ny = 17;
    };
    switch (t) {
    case 4:
    case 7:
        grid();
        break;
    case 5:
        d->dy = d->dx;
        break;
    case 6:
        d->proj = 1;
        break;
    case 8:
        d->proj = 1;
        d->dy = d->dx;
        break;
    case 9:
        grid();
        d->dy = d->dx;
        break;
    case 10:
        d->proj = 1;
        d->dx = d->dy = 1.2f;
        break;
    case 11:
        d->proj = 1;
        grid();
        d->dy = d->dx;
        break;
    case 12:
        if (d->proj == 51) {
            // "size,w,h": the two numbers are the grid size, not a centre.
            d->nx = int_part(d->clat);
            d->ny = int_part(d->clon);
            d->clat = d->clon = MISSING_F;
        } else {
            grid();
            d->dx = d->dy = (d->proj == 50) ? 1.0f : 1.2f;
        }
        break;
    case 13:
    case 14:
        d->proj = 1;
        grid();
        d->dx = d->dy = 1.2f;
        break;
    default:
        break;
    }
}

void show_menu() {
    DomState &s = st();
    MESS_print(MESS_PRINT, "\n        Region Menu\n");
    for (int i = 0; i < s.menu_count && i < static_cast<int>(s.menu.size()); ++i)
        MESS_print(MESS_PRINT, "%3d  %-20s (%s)\n", i, s.menu[i].desc.c_str(),
                   s.menu[i].abbr.c_str());
}

bool ensure_menu() {
    if (!st().menu_loaded)
        return DOM_read_menu("zor.reg") != 0;
    return true;
}

// The centre of a built-in region that has none, asked on the terminal.
void ask_centre(const char *abbr, DOMAIN *dom) {
    if (FLAG_batch()) {
        MESS_print(MESS_WARN, "DOM_decode_prompt: no centre for region %s in batch mode\n", abbr);
        return;
    }
    ZOR_promptf("Enter the central latitude: ", &dom->clat);
    ZOR_promptf("Enter the central longitude: ", &dom->clon);
    dom->param[1] = dom->clon;
}

int invalid_domain() {
    MESS_print(MESS_ERROR, "Invalid domain\n");
    return DOM_PROMPT_INVALID;
}

int read_menu(const char *file, Origin origin) {
    std::string path = region_path(file);
    FilePtr f = open_region_file(path, origin);
    if (!f) {
        MESS_print(MESS_DEBUG, "Unable to open region file: %s\n", path.c_str());
        return 0;
    }
    DomState &s = st();
    for (int i = 1; i < static_cast<int>(s.menu.size()); ++i)
        s.menu[i] = MenuEntry{};
    int i = 1;
    std::string line;
    while (i < MENU_SIZE && str_read_line(f.get(), line, MAX_LINE)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> w = str_split_words(line);
        if (w.size() < 3 || !whole_int(w[2]))
            continue;
        int flag = std::atoi(w[2].c_str());
        if (flag == 0)
            continue;
        std::string desc = cut(w[1], DESC_LEN);
        for (char &c : desc)
            if (c == '_')
                c = ' ';
        s.menu[i] = {desc, cut(w[0], ABBR_LEN), i, flag};
        ++i;
    }
    s.menu[i] = MenuEntry{};
    s.menu_count = i;
    s.menu_loaded = true;
    return 1;
}

int decode(const char *text, DOMAIN *dom, DecodeCtx &ctx) {
    DOMAIN scratch;
    if (!dom)
        dom = &scratch;
    DOM_init(dom);
    if (!text || !*text || str_equal_nocase(text, "miss"))
        return MISSING;

    DepthGuard guard;
    int n = 0;
    std::vector<std::string> fields;
    parse_string(text, ',', &n, &fields);
    MESS_print(MESS_DEBUG, "******** PARSING DOMAIN: %d %s\n", n, text);

    int result = -1;
    for (size_t t = 0; t < TRIES.size(); ++t) {
        const DecodeTry &tr = TRIES[t];
        if (t == 0 && (fields.empty() || !starts_nocase(fields[0], "size")))
            continue;
        if (set_params(fields, dom, tr.codes.data(), static_cast<size_t>(tr.len), ctx) == 0) {
            apply_defaults(static_cast<int>(t) + 1, dom);
            MESS_print(MESS_DEBUG, "%2d %s\n", 0, tr.label);
            result = (tr.codes[0] == DOM_F_REG) ? 2 : 1;
            break;
        }
    }
    if (result == -1)
        MESS_print(MESS_WARN, "DOM_decode: Invalid plot domain\n");

    FLAG_set(FLAG_DOMAIN, result);
    FILE_set_key('r', text);
    DOM_set_base_prior(static_cast<float>((static_cast<double>(dom->ny) - 1.0) * dom->dy));
    return result;
}

bool all_digits(const std::string &s) {
    size_t b = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (b >= s.size() || s.size() - b > 6)
        return false;
    for (size_t i = b; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

} // namespace

void DOM_reset_state() {
    DomState &s = st();
    s = DomState{};
    init_menu(s);
}

int DOM_init(DOMAIN *dom) {
    if (dom)
        *dom = DOMAIN{};
    return 0;
}

int DOM_proj_str(const char *text) {
    if (!text || !*text)
        return -1;
    std::string t(text);
    for (const auto &k : PROJ_KEYS) {
        if (k.letters == 0 ? str_equal_nocase(t, k.key) : str_prefix_nocase(t, k.key, k.letters))
            return k.code;
    }
    return -1;
}

const char *DOM_proj_name(int code) {
    for (const auto &n : PROJ_NAMES)
        if (n.code == code)
            return n.name;
    return "";
}

int DOM_set_params(int nfields, const std::vector<std::string> &fields, DOMAIN *dom,
                   std::initializer_list<int> pattern) {
    if (!dom || nfields < 0 || static_cast<size_t>(nfields) > fields.size())
        return -1;
    std::vector<std::string> used(fields.begin(), fields.begin() + nfields);
    DecodeCtx ctx;
    return set_params(used, dom, pattern.begin(), pattern.size(), ctx);
}

int DOM_decode(const char *text, DOMAIN *dom) {
    DecodeCtx ctx;
    return decode(text, dom, ctx);
}

int DOM_decode_data(const char *text, DOMAIN *dom) {
    DecodeCtx ctx{Origin::data};
    return decode(text, dom, ctx);
}

int DOM_decode_prompt(const char *text, DOMAIN *dom) {
    DOMAIN scratch;
    if (!dom)
        dom = &scratch;
    DecodeCtx ctx;
    const int result = decode(text, dom, ctx);
    if (ctx.no_centre)
        ask_centre(ctx.no_centre, dom);
    return result;
}

int DOM_decode_option(const char *name, DOMAIN *dom) {
    const char *text = name ? RES_get(name) : nullptr;
    return text ? DOM_decode_prompt(text, dom) : 0;
}

int DOM_get_def_region(const char *name, DOMAIN *dom) {
    const BuiltinRegion *b = (name && dom) ? find_builtin(name) : nullptr;
    if (!b)
        return 0;
    DOM_init(dom);
    dom->proj = 1;
    dom->nx = 25;
    dom->ny = 17;
    dom->dx = dom->dy = b->spacing;
    dom->clat = b->clat;
    dom->clon = b->clon;
    dom->param[1] = dom->clon;
    return 1;
}

int DOM_search_file(const char *file, const char *name, std::string &out) {
    return search_file(file, name, out, Origin::user);
}

int DOM_read_menu(const char *file) {
    return read_menu(file, Origin::user);
}

int DOM_print_file(const char *file) {
    std::string path = region_path(file);
    FilePtr f = open_region_file(path, Origin::user);
    if (!f) {
        MESS_print(MESS_WARN, "Unable to open region file: %s\n", path.c_str());
        return 0;
    }
    MESS_print(MESS_PRINT, " Abbr    Description\n");
    std::string line;
    while (str_read_line(f.get(), line, MAX_LINE)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> w = str_split_words(line);
        if (w.size() >= 2)
            MESS_print(MESS_PRINT, "%-8s %-50s\n", w[0].c_str(), w[1].c_str());
    }
    return 1;
}

const char *DOM_get_region_name(int i) {
    DomState &s = st();
    if (i < 0 || i >= s.menu_count)
        return nullptr;
    return s.menu[i].desc.c_str();
}

const char *DOM_get_region_abbr(int i) {
    DomState &s = st();
    if (i < 0 || i >= s.menu_count)
        return nullptr;
    return s.menu[i].abbr.c_str();
}

int DOM_get_region_count() {
    return st().menu_count;
}

int DOM_get_region(DOMAIN *dom, int mode) {
    const char *v = nullptr;
    if ((mode == 1 || mode == 3 || mode == 4) && (v = RES_get("plot_domain")))
        return DOM_decode(v, dom);
    if ((v = RES_get("region")))
        return DOM_decode(v, dom);
    if (mode == 4) {
        ensure_menu();
        if (const char *abbr = DOM_get_region_abbr(1))
            return DOM_decode(abbr, dom);
    }
    return 0;
}

int DOM_get_grid_domain(DOMAIN *dom) {
    for (const char *name : {"grid_domain", "region", "plot_domain"})
        if (const char *v = RES_get(name))
            return DOM_decode(v, dom);
    return 0;
}

int DOM_set_prompt_region(int on) {
    int old = st().prompt_on ? 1 : 0;
    st().prompt_on = on != 0;
    return old;
}

int DOM_prompt_region(DOMAIN *dom, int mode) {
    DomState &s = st();
    if (!s.prompt_on)
        return 0;
    const char *names[] = {mode == 1 ? "plot_domain" : nullptr, "region"};
    for (const char *name : names) {
        const char *v = name ? RES_get(name) : nullptr;
        if (!v)
            continue;
        int r = DOM_decode_prompt(v, dom);
        if (r == -1)
            return invalid_domain();
        if (r > 0) {
            s.prompt_on = false;
            return r;
        }
    }
    ensure_menu();
    if (FLAG_batch()) {
        const char *abbr = DOM_get_region_abbr(1);
        int r = DOM_decode_prompt(abbr ? abbr : "", dom);
        return r == -1 ? invalid_domain() : r;
    }
    for (int tries = 0; tries < PROMPT_TRIES; ++tries) {
        show_menu();
        std::string answer;
        ZOR_prompts("Enter the region: ", answer, 80);
        answer = str_trim(answer);
        if (str_equal_nocase(answer, "list")) {
            DOM_print_file("zor.reg");
            continue;
        }
        int r = -1;
        if (all_digits(answer)) {
            int i = std::atoi(answer.c_str());
            if (i == 0)
                return 0;
            if (i == -1)
                return DOM_PROMPT_QUIT;
            if (const char *abbr = (i > 0) ? DOM_get_region_abbr(i) : nullptr)
                r = DOM_decode_prompt(abbr, dom);
        } else {
            r = DOM_decode_prompt(answer.c_str(), dom);
        }
        // A region name that resolves to nothing is as invalid as a bad string.
        if (r == -1 || (r == 2 && dom && dom->proj == -1)) {
            MESS_print(MESS_WARN, "Invalid domain\n");
            continue;
        }
        return r;
    }
    return -1;
}

int DOM_comp_proj(const DOMAIN *a, const DOMAIN *b) {
    if (!a || !b)
        return 0;
    // A missing reference point stands for the centre of its own domain.
    auto ref_match = [](float pa, float pb, float ca, float cb) {
        if (pa == pb)
            return true;
        if (is_missing(pa))
            return pb == ca;
        if (is_missing(pb))
            return pa == cb;
        return false;
    };
    if (a->proj != b->proj || a->ellipsoid != b->ellipsoid)
        return 0;
    if (!ref_match(a->param[0], b->param[0], a->clat, b->clat) ||
        !ref_match(a->param[1], b->param[1], a->clon, b->clon))
        return 0;
    for (int i = 2; i < 7; ++i)
        if (a->param[i] != b->param[i])
            return 0;
    return 1;
}

int DOM_comp(const DOMAIN *a, const DOMAIN *b) {
    if (!a || !b)
        return 0;
    if (a->clat != b->clat || a->clon != b->clon || a->dx != b->dx || a->dy != b->dy ||
        a->nx != b->nx || a->ny != b->ny)
        return 0;
    return DOM_comp_proj(a, b);
}

int DOM_print(uint32_t level, const DOMAIN *dom) {
    if (!dom || !MESS_check(level))
        return 0;
    std::string s = DOM_proj_name(dom->proj);
    if (dom->ellipsoid)
        s += ":e";
    for (int i = 0; i < 5; ++i)
        s += is_missing(dom->param[i]) ? std::string(":") : str_printf(":%3.3f", dom->param[i]);
    s += str_printf(",%3.3f,%3.3f,%d,%d,%4.4f,%4.4f\n", dom->clat, dom->clon, dom->nx, dom->ny,
                    dom->dx, dom->dy);
    MESS_print(level, "%s", s.c_str());
    return 1;
}

float DOM_aspect(const DOMAIN *dom) {
    if (!dom || dom->nx < 2 || dom->ny < 2)
        return 1.0f;
    return static_cast<float>(static_cast<double>(dom->nx - 1) / (dom->ny - 1));
}

int DOM_set_base_prior(float height) {
    int p = 6;
    if (height > 50.0f)
        p = 1;
    else if (height > 25.0f)
        p = 2;
    else if (height > 12.5f)
        p = 3;
    else if (height > 6.25f)
        p = 4;
    else if (height > 3.0f)
        p = 5;
    const char *sp = RES_get("stat_prior");
    if (sp) {
        auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
        if (sp[0] == '+' && digit(sp[1]))
            p += sp[1] - '0';
        else if (sp[0] == '-' && digit(sp[1]))
            p -= sp[1] - '0';
        else if (digit(sp[0]))
            p = sp[0] - '0';
    }
    st().priority = p;
    return p;
}

int DOM_set_prior(int p) {
    st().priority = p;
    return p;
}

int DOM_get_prior() {
    return st().priority;
}

int DOM_set_loc_prior(int p) {
    st().loc_prior = p;
    return p;
}

int DOM_get_loc_prior() {
    return st().loc_prior;
}
