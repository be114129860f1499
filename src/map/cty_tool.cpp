// City database in memory. The bulk load keeps the stations of the city file that
// pass the priority limit, the selection list and the plot domain in one hash table.
// Three keys serve the look-ups: the identifier (or display identifier), the WMO key
// ("%05d", "b%05d" for buoys) and, in mode 3, a position key of the 0.1 degree cell.
//
// Traps: the position key of a cell just south of the equator or west of Greenwich
// must not print as "-0" (it would never meet the "0" of its neighbour); cells are
// therefore rounded to integers before they are printed, and longitudes wrap at the
// date line so that a ring search finds stations on the other side of it.
#include "map/cty_tool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <optional>

#include "base/file_io.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "map/maptran.h"
#include "map/table.h"

namespace {

constexpr int kNoWmo = 99999;
constexpr int kRings = 50;               // rings 0..49 of the position search
constexpr size_t kMaxStations = 1000000; // a city file is a few ten thousand lines
constexpr double kEarthRadiusKm = 6371.22;

// What the last load was made from; a load from the same inputs keeps the table.
struct LoadKey {
    std::string path;
    int64_t size = -1, mtime = -1;
    int mode = 0, prior = 0, id_type = 0;
    DOMAIN domain;
    std::vector<std::string> selection;
};

struct CtyState {
    TAB<CTY_STATION> table;
    int mode = 0; // 0: nothing loaded
    int id_type = 0;
    size_t data_size = 0;
    CTY_ENTER_FUNC enter = nullptr;
    std::optional<LoadKey> last;
};

CtyState &st() {
    static CtyState s;
    return s;
}

// ---------------------------------------------------------------------------
// WMO number ranges and their letter prefixes
// ---------------------------------------------------------------------------
//
// Rows follow the WMO station-number blocks (two leading digits: a country or a group
// of countries) and the index sub-ranges inside shared blocks. Each range takes the
// two-letter aviation prefix of its country, so that a coded identifier reads like the
// country's airport codes (01492 -> "EN492", Norway); a one-letter prefix and four
// digits serve ranges larger than one thousand (72493 -> "K2493", USA). Where a country
// holds several thousands under one aviation prefix, its other thousands take a free
// pair ("UP" for 32xxx). The first row that holds a number gives its identifier, so
// sub-ranges stand before the block they are cut from. 99xxx (ships and buoys) has no
// row: buoys are keyed "b%05d".
struct WmoRange {
    int first, last;
    const char *prefix;
};

constexpr WmoRange kWmoRanges[] = {
    // Europe
    {1000, 1499, "EN"},
    {2000, 2699, "ES"},
    {2700, 2999, "EF"},
    {3000, 3949, "EG"},
    {3950, 3999, "EI"},
    {4000, 4199, "BI"},
    {4200, 4399, "BG"},
    {6000, 6199, "EK"},
    {6200, 6399, "EH"},
    {6400, 6499, "EB"},
    {6500, 6599, "EL"},
    {6600, 6999, "LS"},
    {7000, 7999, "LF"},
    {8000, 8499, "LE"},
    {8500, 8599, "LP"},
    {10000, 10999, "ED"},
    {11000, 11399, "LO"},
    {11400, 11799, "LK"},
    {11800, 11999, "LZ"},
    {12000, 12699, "EP"},
    {12700, 12999, "LH"},
    {13000, 13499, "LY"},
    {13500, 13599, "LW"},
    {13600, 13699, "LA"},
    {14000, 14199, "LJ"},
    {14200, 14499, "LD"},
    {14500, 14699, "LQ"},
    {15000, 15499, "LR"},
    {15500, 15999, "LB"},
    {16000, 16589, "LI"},
    {16590, 16599, "LM"},
    {16600, 16999, "LG"},
    {17000, 17599, "LT"},
    {17600, 17699, "LC"},
    {17700, 17999, "LT"},
    // Former Soviet Union: Baltic states and Belarus first, then the Russian block.
    {26000, 26299, "EE"},
    {26300, 26499, "EV"},
    {26500, 26799, "EY"},
    {26800, 26999, "UM"},
    {20000, 29999, "U"},
    {30000, 30999, "UI"},
    {31000, 31999, "UH"},
    {32000, 32999, "UP"},
    {33000, 33799, "UK"},
    {33800, 33899, "LU"},
    {33900, 33999, "UK"},
    {34000, 34999, "UR"},
    {35000, 35999, "UA"},
    {36000, 36999, "UN"},
    {37000, 37599, "UG"},
    {37600, 37699, "UD"},
    {37700, 37999, "UB"},
    {38000, 38999, "UT"},
    // Middle East and southern Asia
    {40000, 40099, "OS"},
    {40100, 40149, "OL"},
    {40150, 40199, "LL"},
    {40200, 40349, "OJ"},
    {40350, 40499, "OE"},
    {40500, 40599, "OK"},
    {40600, 40699, "OR"},
    {40700, 40899, "OI"},
    {40900, 40999, "OA"},
    {41000, 41149, "OE"},
    {41150, 41159, "OB"},
    {41160, 41179, "OT"},
    {41180, 41239, "OM"},
    {41240, 41399, "OO"},
    {41400, 41499, "OY"},
    {41500, 41799, "OP"},
    {41800, 41999, "VG"},
    {42000, 43399, "V"},
    {43400, 43499, "VC"},
    {43500, 43599, "VR"},
    {44000, 44399, "ZM"},
    {44400, 44499, "VN"},
    {45000, 45009, "VH"},
    {45010, 45099, "VM"},
    // Eastern and south-eastern Asia
    {46000, 46999, "RC"},
    {47000, 47089, "ZK"},
    {47090, 47199, "RK"},
    {47400, 47899, "RJ"},
    {47900, 47999, "RO"},
    {48000, 48199, "VY"},
    {48300, 48599, "VT"},
    {48600, 48689, "WM"},
    {48690, 48699, "WS"},
    {48800, 48919, "VV"},
    {48920, 48979, "VL"},
    {48980, 48999, "VD"},
    {50000, 59999, "Z"},
    // Africa
    {60000, 60099, "GC"},
    {60100, 60299, "GM"},
    {60300, 60699, "DA"},
    {60700, 60799, "DT"},
    {61000, 61099, "DR"},
    {61200, 61299, "GA"},
    {61400, 61499, "GQ"},
    {61600, 61699, "GO"},
    {61700, 61799, "GG"},
    {61800, 61899, "GU"},
    {61900, 61999, "FI"},
    {62000, 62199, "HL"},
    {62300, 62499, "HE"},
    {62600, 62799, "HS"},
    {63100, 63199, "HD"},
    {63200, 63299, "HC"},
    {63300, 63499, "HA"},
    {63600, 63799, "HK"},
    {63800, 63999, "HT"},
    {64000, 64399, "FZ"},
    {64400, 64499, "FC"},
    {64500, 64599, "FO"},
    {64600, 64699, "FE"},
    {64700, 64799, "FT"},
    {64800, 64999, "FK"},
    {65000, 65299, "DN"},
    {65300, 65399, "DX"},
    {65400, 65499, "DG"},
    {65500, 65599, "DI"},
    {65600, 65699, "GL"},
    {66000, 66999, "FN"},
    {67000, 67199, "FM"},
    {67200, 67499, "FQ"},
    {67500, 67699, "FW"},
    {67700, 67999, "FV"},
    {68000, 68199, "FY"},
    {68200, 68999, "FA"},
    // North and Central America
    {70000, 70999, "PA"},
    {71000, 71999, "C"},
    {72000, 72999, "K"},
    {74000, 74999, "K"},
    {76000, 76999, "MM"},
    {78000, 78099, "MY"},
    {78100, 78199, "MB"},
    {78200, 78389, "MU"},
    {78390, 78399, "MK"},
    {78400, 78499, "MD"},
    {78500, 78599, "TJ"},
    {78600, 78699, "MG"},
    {78700, 78799, "MH"},
    {78800, 78899, "MP"},
    {78900, 78999, "TT"},
    // South America and Antarctica
    {80000, 80399, "SK"},
    {80400, 80499, "SV"},
    {81000, 81199, "SY"},
    {81200, 81399, "SM"},
    {81400, 81499, "SO"},
    {82000, 83999, "S"},
    {84000, 84299, "SE"},
    {84300, 84799, "SP"},
    {85000, 85399, "SL"},
    {85400, 85999, "SC"},
    {86000, 86299, "SG"},
    {86300, 86599, "SU"},
    {86800, 86999, "SB"},
    {87000, 87999, "SA"},
    {88800, 88999, "SF"},
    {89000, 89999, "A"},
    // Pacific, Australia and the islands of south-eastern Asia
    {91000, 91099, "PM"},
    {91100, 91199, "PH"},
    {91200, 91299, "PG"},
    {91300, 91499, "PT"},
    {91500, 91599, "NV"},
    {91600, 91799, "NF"},
    {91800, 91899, "NC"},
    {91900, 91999, "NT"},
    {92000, 92999, "AY"},
    {93000, 93999, "NZ"},
    {94000, 95999, "Y"},
    {96000, 96299, "WI"},
    {96300, 96499, "WB"},
    {96500, 96699, "WA"},
    {96700, 96799, "WI"},
    {96800, 96999, "WA"},
    {97000, 97999, "W"},
    {98000, 98999, "RP"},
};

// A two-letter row stays inside one thousand and a one-letter row inside one ten
// thousand, so that the digits of an identifier and its prefix give the number back.
consteval bool ranges_fit() {
    for (const WmoRange &r : kWmoRanges) {
        const int unit = r.prefix[1] == '\0' ? 10000 : 1000;
        if (r.first > r.last || r.first / unit != r.last / unit)
            return false;
    }
    return true;
}
static_assert(ranges_fit(), "a WMO range crosses its prefix's digit span");

int range_unit(const WmoRange &r) {
    return r.prefix[1] == '\0' ? 10000 : 1000;
}

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

bool all_digits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

bool read_number(std::string_view s, double *v) {
    const char *b = s.data(), *e = s.data() + s.size();
    if (b != e && *b == '+')
        ++b;
    auto r = std::from_chars(b, e, *v);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(*v);
}

bool is_buoy(const CTY_REC &r) {
    return r.country == "B_";
}

std::string wmo_key(const CTY_REC &r) {
    return str_printf(is_buoy(r) ? "b%05d" : "%05d", r.wmo);
}

std::string display_id(const CTY_REC &r, int type) {
    const bool has_id = CTY_has_id(r);
    switch (type) {
    case 1:
        return r.wmo == kNoWmo ? r.id : wmo_key(r);
    case 2: {
        if (has_id)
            return r.id;
        if (is_buoy(r))
            return str_printf("b%05d", r.wmo);
        std::string out;
        wmo_to_id(&out, r.wmo);
        return out;
    }
    default:
        return has_id ? r.id : wmo_key(r);
    }
}

// Cell of a position in tenths of a degree, the longitude wrapped into [-1800, 1800).
int cell(float degrees) {
    return static_cast<int>(std::nearbyint(10.0 * degrees));
}
int wrap_lon_cell(long c) {
    c %= 3600;
    if (c < -1800)
        c += 3600;
    else if (c >= 1800)
        c -= 3600;
    return static_cast<int>(c);
}
std::string position_key(int lat10, int lon10) {
    return str_printf("%5d%6d", lat10, wrap_lon_cell(lon10));
}

double earth_distance_km(double lat1, double lon1, double lat2, double lon2) {
    const double d2r = M_PI / 180.0;
    const double a = std::sin((lat2 - lat1) * d2r / 2), b = std::sin((lon2 - lon1) * d2r / 2);
    const double h = a * a + std::cos(lat1 * d2r) * std::cos(lat2 * d2r) * b * b;
    return 2.0 * kEarthRadiusKm * std::asin(std::sqrt(std::min(1.0, h)));
}

// "<", ">" (both inclusive) or "=" of a value against a limit.
bool compare(double value, char op, double limit) {
    return op == '<' ? value <= limit : op == '>' ? value >= limit : value == limit;
}

// The terms of one selection element; all must hold. Terms that take their value
// from the following terms consume them.
bool terms_hold(const std::vector<std::string> &terms, const CTY_REC &r) {
    for (size_t i = 0; i < terms.size(); ++i) {
        const std::string &t = terms[i];
        const size_t op_at = t.find_first_of("=<>");
        std::string key = str_lower(t.substr(0, op_at));
        char op = '=';
        std::string value;
        if (op_at != std::string::npos) {
            op = t[op_at];
            value = t.substr(op_at + 1);
        } else if ((key == "st" || key == "cn") && i + 1 < terms.size()) {
            value = terms[++i];
        } else {
            return false;
        }
        double v = 0;
        if (key == "st") {
            const size_t u = value.find('_');
            if (u == std::string::npos) {
                if (!str_equal_nocase(r.state, value))
                    return false;
            } else if (!str_equal_nocase(r.state, value.substr(0, u)) ||
                       !str_equal_nocase(r.country, value.substr(u + 1))) {
                return false;
            }
        } else if (key == "cn") {
            if (!str_equal_nocase(r.country, value))
                return false;
        } else if (key == "id") {
            if (!str_equal_nocase(r.id, value))
                return false;
        } else if (key == "name") {
            if (value.empty() || !str_prefix_nocase(r.name, value, value.size()))
                return false;
        } else if (key == "ra") {
            double lat = 0, lon = 0;
            if (i + 2 >= terms.size() || !read_number(value, &v) ||
                !read_number(terms[i + 1], &lat) || !read_number(terms[i + 2], &lon))
                return false;
            i += 2;
            if (earth_distance_km(r.lat, r.lon, lat, lon) > v)
                return false;
        } else if (key == "p" || key == "lat" || key == "lon" || key == "elev" || key == "wmo") {
            if (!read_number(value, &v))
                return false;
            const double have = key == "p"      ? r.prior
                                : key == "lat"  ? r.lat
                                : key == "lon"  ? r.lon
                                : key == "elev" ? r.elev
                                                : r.wmo;
            if (!compare(have, op, v))
                return false;
        } else {
            return false;
        }
    }
    return !terms.empty();
}

bool element_matches(const std::string &e, const CTY_REC &r) {
    if (e.empty())
        return false;
    if (e == str_printf("%5.5d", r.wmo) || str_equal_nocase(e, r.id) ||
        (e.size() > 4 && str_prefix_nocase(r.name, e, e.size())))
        return true;
    std::vector<std::string> terms;
    int n = 0;
    parse_string(e.c_str(), ':', &n, &terms);
    return terms_hold(terms, r);
}

std::vector<std::string> selection_list() {
    std::vector<std::string> list;
    int n = 0;
    if (RES_getvals("identifier", &n, &list) <= 0)
        list.clear();
    if (list.size() == 1 && str_equal_nocase(list[0], "all"))
        list.clear();
    return list;
}

} // namespace

// ---------------------------------------------------------------------------
// Bulk load and look-ups
// ---------------------------------------------------------------------------

int CTY_store(const char *file, int mode, const DOMAIN *domain, int prior) {
    CtyState &s = st();
    if (mode < CTY_MODE_FULL || mode > CTY_MODE_POSITION)
        return 0;
    int expected = 0;
    CtyFile f = CTY_open_file(file, &expected);
    if (!f)
        return 0;
    if (domain)
        MAP_domain(domain);

    LoadKey key;
    key.path = f->path;
    key.size = FILE_size(f->path.c_str());
    key.mtime = FILE_modtime(f->path.c_str());
    key.mode = mode;
    key.prior = prior == MISSING ? CTY_get_prior() : prior;
    key.id_type = s.id_type;
    MAP_get_domain(&key.domain);
    key.selection = selection_list();
    if (s.last && s.mode == mode && s.data_size == 0 && !s.enter && s.last->path == key.path &&
        s.last->size == key.size && s.last->mtime == key.mtime && s.last->mode == key.mode &&
        s.last->prior == key.prior && s.last->id_type == key.id_type &&
        DOM_comp(&s.last->domain, &key.domain) && s.last->selection == key.selection)
        return 1;

    MESS_print(MESS_MESS, "Reading the city database file...\n");
    s.mode = 0;
    s.last.reset();
    if (TAB_create(&s.table, expected, mode == CTY_MODE_POSITION ? 3 : 2) != 0) {
        MESS_print(MESS_WARN, "CTY_store: no memory for the station table\n");
        return 0;
    }
    const int n_sel = static_cast<int>(key.selection.size());
    CTY_REC rec;
    while (CTY_read(f.get(), &rec)) {
        if (rec.prior > key.prior || CTY_data_cmp(n_sel, key.selection, &rec) < 0)
            continue;
        if (std::fabs(rec.lat) > 90.0f || std::fabs(rec.lon) > 360.0f)
            continue;
        float x = MISSING_F, y = MISSING_F;
        MAP_tran(&x, &y, rec.lat, rec.lon);
        if (!MAP_in_grid_domain(x, y))
            continue;
        if (s.table.items.size() >= kMaxStations) {
            MESS_print(MESS_WARN, "CTY_store: %s: more than %zu stations; the rest are left out\n",
                       f->path.c_str(), kMaxStations);
            break;
        }
        CTY_STATION sta;
        const std::string wkey = wmo_key(rec);
        sta.plot.id = display_id(rec, s.id_type);
        sta.plot.wmo = rec.wmo;
        sta.plot.x = x;
        sta.plot.y = y;
        sta.plot.elev = rec.elev;
        sta.plot.prior = rec.prior;
        const std::string key1 = mode == CTY_MODE_FULL ? rec.id : sta.plot.id;
        const std::string pkey = position_key(cell(rec.lat), cell(rec.lon));
        sta.rec = rec;
        int entered = -1;
        try {
            sta.extra.assign(s.data_size, 0);
            entered = TAB_enter(&s.table, std::move(sta), key1, wkey, pkey);
        } catch (const std::bad_alloc &) {
        }
        if (entered != 0) {
            MESS_print(MESS_WARN, "CTY_store: no memory for more stations of %s\n",
                       f->path.c_str());
            break;
        }
        CTY_STATION &stored = s.table.items.back();
        void *data = stored.extra.empty() ? nullptr : stored.extra.data();
        stored.rec.data = stored.plot.data = data;
        if (s.enter)
            s.enter(&stored.rec, data);
    }
    MESS_print(MESS_DEBUG, "CTY_store: %zu stations loaded from %s\n", s.table.items.size(),
               f->path.c_str());
    s.mode = mode;
    s.last = std::move(key);
    return 1;
}

int CTY_search(const char *id, const CTY_STATION **out) {
    CtyState &s = st();
    if (out)
        *out = nullptr;
    if (!id || !*id || s.mode == 0)
        return 0;
    const std::string_view t(id);
    const CTY_STATION *found = nullptr;
    if (t.size() == 5 && all_digits(t)) {
        found = TAB_search(&s.table, 2, t);
    } else if (t.size() == 5 && std::isupper(static_cast<unsigned char>(t[0])) &&
               all_digits(t.substr(2))) {
        int number = kNoWmo;
        if (id_to_wmo(id, &number) == 1)
            found = TAB_search(&s.table, 2, str_printf("%5.5d", number));
    } else if (t.size() == 6 && t[0] == 'b') {
        found = TAB_search(&s.table, 2, t);
    } else {
        found = TAB_search(&s.table, 1, t);
    }
    if (out)
        *out = found;
    return found ? 1 : 0;
}

int CTY_search_loc(const CTY_STATION **out, float lat, float lon) {
    CtyState &s = st();
    if (out)
        *out = nullptr;
    if (s.mode != CTY_MODE_POSITION || !std::isfinite(lat) || !std::isfinite(lon) ||
        std::fabs(lat) > 90.0f || std::fabs(lon) > 360.0f)
        return 0;
    const int cy = cell(lat), cx = cell(lon);
    for (int r = 0; r < kRings; ++r) {
        for (int k = r == 0 ? 0 : -(r - 1); k <= r; ++k) {
            const int cells[4][2] = {
                {cy + r, cx + k}, {cy + k, cx + r}, {cy - r, cx + k}, {cy + k, cx - r}};
            for (const auto &c : cells) {
                if (const CTY_STATION *found = TAB_search(&s.table, 3, position_key(c[0], c[1]))) {
                    if (out)
                        *out = found;
                    return 1;
                }
            }
            if (r == 0)
                break;
        }
    }
    return 0;
}

void *CTY_get_data(const char *id) {
    const CTY_STATION *found = nullptr;
    return CTY_search(id, &found) ? found->rec.data : nullptr;
}

int CTY_count() {
    return st().mode ? static_cast<int>(st().table.items.size()) : 0;
}

int CTY_set_id_type(int type) {
    st().id_type = type;
    return 0;
}

int CTY_get_id_type() {
    return st().id_type;
}

int CTY_get_prior() {
    const char *v = RES_get("stat_prior");
    if (!v || !*v)
        return 10;
    char *end = nullptr;
    long p = std::strtol(v, &end, 10);
    if (end == v || p < -1000 || p > 1000)
        return 10;
    return static_cast<int>(p);
}

int CTY_data_size(int bytes) {
    st().data_size = bytes > 0 ? static_cast<size_t>(bytes) : 0;
    return 0;
}

int CTY_enter_func(CTY_ENTER_FUNC func) {
    st().enter = func;
    return 0;
}

int CTY_data_cmp(int n, const std::vector<std::string> &list, const CTY_REC *rec) {
    const int count = std::min<int>(n, static_cast<int>(list.size()));
    if (count <= 0)
        return 1;
    if (!rec)
        return -1;
    for (int i = 0; i < count; ++i)
        if (element_matches(list[static_cast<size_t>(i)], *rec))
            return i;
    return -1;
}

// ---------------------------------------------------------------------------
// Identifier conversions
// ---------------------------------------------------------------------------

int wmo_to_id(std::string *out, int number) {
    for (const WmoRange &r : kWmoRanges) {
        if (number >= r.first && number <= r.last) {
            const int unit = range_unit(r);
            if (out)
                *out = str_printf(unit == 1000 ? "%s%3.3d" : "%s%4.4d", r.prefix, number % unit);
            return 1;
        }
    }
    if (out)
        *out = str_printf("%5.5d", number);
    return 0;
}

int id_to_wmo(const char *id, int *number) {
    if (number)
        *number = kNoWmo;
    const std::string_view t = id ? std::string_view(id) : std::string_view();
    if (t.size() != 5)
        return -1;
    if (all_digits(t)) {
        if (number)
            *number = std::atoi(id);
        return 1;
    }
    size_t letters = 0;
    while (letters < 2 && std::isupper(static_cast<unsigned char>(t[letters])))
        ++letters;
    if (letters == 0 || !all_digits(t.substr(letters)))
        return -1;
    const std::string_view prefix = t.substr(0, letters);
    const int digits = std::atoi(id + letters);
    for (const WmoRange &r : kWmoRanges) {
        if (prefix != r.prefix)
            continue;
        const int unit = range_unit(r);
        const int n = r.first / unit * unit + digits;
        if (n >= r.first && n <= r.last) {
            if (number)
                *number = n;
            return 1;
        }
    }
    return -1;
}

void CTY_reset_state() {
    st() = CtyState{};
}
