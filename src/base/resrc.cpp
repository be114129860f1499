// Resources: named option strings filled, in rising precedence, from resource
// files, environment variables and the command line, and read afterwards by
// name. Also the option catalogue with its help texts, the start-up conversions
// (message level, batch, help, draw list, hour, device, ...) and the terminal
// prompts with their "set" command.
//
// Traps: an option value in the next argument is taken unless that argument is
// itself an option ("-5" is a value); boolean, batch and help options never
// swallow the next argument; "name" and "default" are handled before the
// resource files are read and skipped on the second pass.
#include "base/resrc.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <new>
#include <optional>

#include "base/date.h"
#include "base/def_read.h"
#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/missing.h"
#include "base/mqueue.h"
#include "base/string.h"
#include "base/system.h"

namespace {

constexpr int kFree = MISSING;     // option index of a free resource
constexpr size_t kMaxOptName = 49; // option names are cut to this length
constexpr size_t kMaxAnswer = 80;  // characters kept of a prompt answer
constexpr uint32_t kDebugLevel = 0x80000000u;
constexpr const char *kDefaultPath = ".:/home/zor/etc:/usr/local/zor/etc";

// The defaults list when neither "zordefault" nor -df names one. An installed program
// reads first the configuration its installation ships (a folder relative to the
// folder of the running executable, so that the installed tree may be moved), then
// the usual folders, which override it.
std::string default_list() {
    std::string list = kDefaultPath;
#ifdef XSAT_ETC_FROM_BIN
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path())
        list = (exe.parent_path() / XSAT_ETC_FROM_BIN).lexically_normal().string() + ":" + list;
#endif
    return list;
}

// ---------------------------------------------------------------------------
// Option catalogue

constexpr std::array<const char *, 2> kMessHelp = {
    "Message level to be displayed:",
    "             none,print,error,warn,mess,out1,*out2,out3,out4,debug"};

constexpr std::array<const char *, 6> kPlotDomainHelp = {
    "",
    "             Output plot domain",
    "               region=predefined region:",
    "                  us,ne,at,se,mw,sp,nw,sw,etc",
    "               proj=projection, clat=central latitude, clon=central longitude,",
    "               nx,ny=number of gridpoints and dx,dy=grid spacing"};

constexpr std::array<const char *, 6> kGridDomainHelp = {
    "",
    "             Grid domain",
    "               region=predefined region:",
    "                  us,ne,at,se,mw,sp,nw,sw,etc",
    "               proj=projection, clat=central latitude, clon=central longitude,",
    "               nx,ny=number of gridpoints and dx,dy=grid spacing"};

constexpr std::array<const char *, 7> kRegionHelp = {
    "",
    "             Region to be used for plotting and gridding",
    "               region=predefined region:",
    "                  us,ne,at,se,mw,sp,nw,sw,etc",
    "               proj=projection, clat=central latitude, clon=central longitude,",
    "               nx,ny=number of gridpoints and dx,dy=grid spacing",
    "               us,ne,at,se,mw,sp,nw,sw,var"};

constexpr const char *kDomainArg = "region or [proj],clat,clon[,nx,ny][,dx,dy]";

struct CatEntry {
    int code;
    const char *name;
    const char *env;
    const char *abbrev;
    int position; // positional slot: 1 first argument, 10 all; 0 keyed
    int kind;
    const char *arg; // option text after the abbreviation (help listing)
    const char *help;
    const char *const *more = nullptr; // multi-line help (replaces help)
    size_t nmore = 0;
};

const std::array<CatEntry, 52> kCatalogue = {{
    {RES_HELP, "help", "zorhelp", "h", 0, RES_HELP_KIND, "", "Print this help"},
    {RES_BATCH, "batch", "zorbatch", "ba", 0, RES_BATCH_KIND, "", "Run program in batch mode"},
    {RES_MESSAGE, "message", "zormess", "me", 0, RES_MESS, "level", nullptr, kMessHelp.data(),
     kMessHelp.size()},
    {RES_FILE_PATH, "file_path", "zorfile", "fp", 0, RES_PATH, "path", "File path"},
    {RES_DATA_PATH, "data_path", "zordata", "dp", 0, RES_PATH, "path", "Raw data path"},
    {RES_CON_PATH, "con_path", "zorcon", "cp", 0, RES_PATH, "path", "Converted data path"},
    {RES_GRID_PATH, "grid_path", "zorgrid", "gp", 0, RES_PATH, "path", "Gridded data path"},
    {RES_RAW_PATH, "raw_path", "zorraw", "rp", 0, RES_PATH, "path", "Raw files path"},
    {RES_IMAGE_PATH, "image_path", "zorimage", "ip", 0, RES_STRING, "path", "Image file path"},
    {RES_WATCH_PATH, "watch_path", "zorwatch", "wp", 0, RES_PATH, "path", "Watch file data path"},
    {RES_TEXT_PATH, "text_path", "zortext", "tp", 0, RES_PATH, "path", "Text file path"},
    {RES_MODEL_PATH, "model_path", "zormpath", "mp", 0, RES_PATH, "path", "Model file path"},
    {RES_SAT_PATH, "sat_path", "zorsat", "sp", 0, RES_PATH, "path", "Satellite file path"},
    {RES_CITY_FILE, "city_file", "zorcity", "cf", 0, RES_STRING, "file", "City database file name"},
    {RES_MAP_FILE, "map_file", "zormap", "mf", 0, RES_STRING, "file[,file]", "Map database files"},
    {RES_INPUT, "input", "zorin", "inp", 0, RES_STRING, "type", "Type of input"},
    {RES_OUTPUT, "output", "zorout", "ou", 0, RES_STRING, "type", "Type of output"},
    {RES_NAME_CONV, "name_conv", "zornameconv", "nc", 0, RES_NAME_CONV_KIND, "type",
     "Naming convention file name"},
    {RES_IN_FILE, "in_file", "zorinfile", "if", 0, RES_STRING, "type", "Input data file type"},
    {RES_OUT_FILE, "out_file", "zoroutfile", "of", 0, RES_STRING, "type", "Output file type"},
    {RES_FILE_PARAM, "file_param", "zorfileparam", "pf", 0, RES_FILE_PARAM_KIND, "param",
     "File parameters: use,calc,over,app"},
    {RES_CURRENT, "current", "zorcurrent", "cu", 0, RES_CURRENT_REQ, "[hour]",
     "Use current data file"},
    {RES_HOUR, "hour", "zorhour", "ho", 0, RES_HOUR_SPEC, "hour", "Actual hour of the file"},
    {RES_NUM_HOUR, "num_hour", "zornumhour", "nh", 0, RES_STRING, "hour[,step]",
     "Number of hours to view"},
    {RES_PLOT_DOMAIN, "plot_domain", "zordomain", "pd", 0, RES_DOMAIN_KIND, kDomainArg, nullptr,
     kPlotDomainHelp.data(), kPlotDomainHelp.size()},
    {RES_GRID_DOMAIN, "grid_domain", "zorgrddomain", "gd", 0, RES_DOMAIN_KIND, kDomainArg, nullptr,
     kGridDomainHelp.data(), kGridDomainHelp.size()},
    {RES_REGION, "region", "zorregion", "re", 0, RES_REGION_KIND, kDomainArg, nullptr,
     kRegionHelp.data(), kRegionHelp.size()},
    {RES_STAT_PRIOR, "stat_prior", "zorprior", "pr", 0, RES_INT, "prior",
     "Priority of stations used in the plot"},
    {RES_PLOT_TYPE, "plot_type", "zorplot", "pl", 0, RES_PLOT_TYPE_KIND, "type",
     "Plot type: cf,lcf,ln,dln,ndln,value,none"},
    {RES_PLOT_SCALE, "plot_scale", "zorscale", "sc", 0, RES_FLOAT, "scale",
     "Text and wind vector scale factor"},
    {RES_PLOT_FORMAT, "plot_format", "zorformat", "fm", 0, RES_STRING, "format", "Numeric format"},
    {RES_PLOT_PARAM, "plot_param", "zorpltparam", "pp", 0, RES_STRING, "param", "Plot parameters"},
    {RES_DRAW, "draw", "zordraw", "dr", 0, RES_DRAW_LIST, "param[,...]",
     "Draw components: text,data,sum,map,none"},
    {RES_LABEL, "label", "zorlabel", "la", 0, RES_STRING, "label", "Plot labels"},
    {RES_CON_INTERVAL, "con_interval", "zorconint", "in", 0, RES_FLOAT, "intrvl",
     "Contour interval"},
    {RES_CON_BASE, "con_base", "zorconbase", "cb", 0, RES_FLOAT, "base",
     "Color fill contour/vector base value"},
    {RES_FONT_LIST, "font_list", "zorfontlist", "fl", 0, RES_STRING, "list",
     "List of fonts to use"},
    {RES_COLOR_TABLE, "color_table", "zorclrtbl", "ct", 0, RES_STRING, "file",
     "Color table file name"},
    {RES_COLOR_TEXT, "color_text", "zorclrtext", "cot", 0, RES_STRING, "clr", "Text color"},
    {RES_COLOR_DATA, "color_data", "zorclrdata", "cod", 0, RES_STRING, "clr",
     "Data plotting color"},
    {RES_COLOR_MAP, "color_map", "zorclrmap", "com", 0, RES_STRING, "clr", "line map color"},
    {RES_COLOR_GRID, "color_grid", "zorclrgrid", "cogr", 0, RES_STRING, "clr", "grid color"},
    {RES_COLOR_LINE, "color_line", "zorclrln", "coln", 0, RES_STRING, "clr", "Lat-lon line color"},
    {RES_COLOR_FILL, "color_fill", "zorclrfill", "cof", 0, RES_STRING, "clr[,...]",
     "Fill contour colors"},
    {RES_DEVICE, "device", "zordevice", "de", 0, RES_DEVICE_KIND, "dev[,name]",
     "Output device: d,p,q,w,m"},
    {RES_TITLE, "title", "zortitle", "ti", 0, RES_STRING, "title", "Window title"},
    {RES_ICON, "icon", "zoricon", "ic", 0, RES_BOOL, "", "Open window iconified"},
    {RES_BACKGROUND, "background", "zorback", "bg", 0, RES_STRING, "clr", "Background color"},
    {RES_GEOMETRY, "geometry", "zorgeometry", "ge", 0, RES_STRING, "wxh+x+y", "Window geometry"},
    {RES_FILENAME, "filename", "zorfilename", "", 10, RES_LIST, "", "Input file names"},
    {RES_THREADS, "threads", "zorthreads", "th", 0, RES_INT, "count",
     "Threads of the remap and the GIF coder (1: none; default one per processor)"},
    {RES_REMAP_ERROR, "remap_error", "zorremaperror", "rme", 0, RES_FLOAT, "pixels",
     "Remap through a grid within this error (source pixels; 0: row segments)"},
}};

const CatEntry *find_code(int code) {
    for (const auto &c : kCatalogue)
        if (c.code == code)
            return &c;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Module state

struct Entry {
    int index = kFree;
    std::string name;
    std::optional<std::string> value;
    int kind = RES_STRING;
};

struct ResState {
    std::deque<Entry> entries; // a deque keeps value pointers stable while appending
    std::vector<RES_OPTION> desc;
    std::string prog;     // argv[0]
    std::string progname; // base name used for resource matching
};

ResState &st() {
    static ResState s;
    return s;
}

Entry *find_entry(const char *name) {
    if (!name)
        return nullptr;
    for (auto &e : st().entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::string base_name(const std::string &path) {
    size_t pos = path.rfind('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool is_alpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// '-' or "--" followed by a letter.
bool is_option(const char *a) {
    if (!a || a[0] != '-')
        return false;
    return is_alpha(a[1]) || (a[1] == '-' && is_alpha(a[2]));
}

struct OptArg {
    std::string name;
    std::optional<std::string> value;
    bool from_next = false; // the value is the next argument
};

OptArg split_option(int i, int argc, char **argv) {
    OptArg o;
    const char *a = argv[i] + (argv[i][1] == '-' ? 2 : 1);
    const char *eq = std::strchr(a, '=');
    o.name = eq ? std::string(a, eq) : std::string(a);
    if (o.name.size() > kMaxOptName)
        o.name.resize(kMaxOptName);
    if (eq) {
        o.value = std::string(eq + 1);
    } else if (i + 1 < argc && argv[i + 1] && !is_option(argv[i + 1]) &&
               std::strcmp(argv[i + 1], "--") != 0) {
        o.value = std::string(argv[i + 1]);
        o.from_next = true;
    }
    return o;
}

bool is_default_opt(const std::string &n) {
    return str_equal_nocase(n, "default") || str_prefix_nocase(n, "df", 2);
}

// A prefix of "name", compared over at most five characters.
bool is_name_opt(const std::string &n) {
    return !n.empty() && n.size() <= 4 && str_prefix_nocase("name", n, n.size());
}

int find_keyed(const std::string &n) {
    const auto &d = st().desc;
    for (size_t i = 0; i < d.size(); ++i)
        if (d[i].position == 0 && !d[i].abbrev.empty() && str_equal_nocase(d[i].abbrev, n))
            return static_cast<int>(i);
    for (size_t i = 0; i < d.size(); ++i)
        if (d[i].position == 0 && !d[i].name.empty() && str_equal_nocase(d[i].name, n))
            return static_cast<int>(i);
    for (size_t i = 0; i < d.size(); ++i)
        if (d[i].position == 0 && !d[i].name.empty() && str_prefix_nocase(d[i].name, n, n.size()))
            return static_cast<int>(i);
    return -1;
}

int find_positional(int n) {
    const auto &d = st().desc;
    for (size_t i = 0; i < d.size(); ++i)
        if (!d[i].name.empty() && d[i].position == n)
            return static_cast<int>(i);
    for (size_t i = 0; i < d.size(); ++i)
        if (!d[i].name.empty() && d[i].position == 10)
            return static_cast<int>(i);
    return -1;
}

int store(int index, const std::string &name, const std::optional<std::string> &value, int kind) {
    return RES_new(index, name.c_str(), value ? value->c_str() : nullptr, kind);
}

// ---------------------------------------------------------------------------
// Loop window

// The link to a loop window named in the defaults list, held open until the end of
// decoding so that the command-line options reach the window too.
struct LoopLink {
    bool used = false; // the queue module holds a socket or an alarm for us
    int queue = -1;
    int channel = -1;
    std::vector<std::pair<std::string, std::string>> options; // from the command line
    LoopLink() = default;
    LoopLink(const LoopLink &) = delete;
    LoopLink &operator=(const LoopLink &) = delete;
    ~LoopLink() {
        if (used)
            MQ_close();
    }
    void note(const std::string &name, const std::optional<std::string> &value) {
        if (channel >= 0)
            options.emplace_back(name, value.value_or(""));
    }
    void drop() {
        MQ_close();
        used = false;
        channel = -1;
        options.clear();
    }
};

// Sends the command-line options, then "quit", and lets the window go.
void loop_finish(LoopLink &link) {
    if (link.channel < 0)
        return;
    for (const auto &[name, value] : link.options) {
        if (MQ_set_res(link.queue, link.channel, name, value) != 1) {
            MESS_print(192, "ZORloop not running!\n");
            link.drop();
            return;
        }
    }
    MQ_put(link.queue, link.channel, "quit");
    link.drop();
}

// Entry "#window[,param...]": the window's values replace ours, and our values the
// window lacks are sent to it.
void loop_connect(LoopLink &link, const std::string &entry) {
    loop_finish(link);
    size_t comma = entry.find(',');
    std::string window = entry.substr(1, comma == std::string::npos ? comma : comma - 1);
    if (comma != std::string::npos)
        MQ_set_param(entry.c_str() + comma + 1);
    if (window.empty() || window.size() > 9 ||
        window.find_first_not_of("0123456789") != std::string::npos) {
        MESS_print(192, "ZORloop not running!\n");
        return;
    }
    link.used = true;
    link.queue = MQ_open(std::atoi(window.c_str()));
    if (link.queue == -1) {
        MESS_print(192, "ZORloop window: %s not running or no message queue exists\n",
                   window.c_str());
        link.drop();
        return;
    }
    link.channel = MQ_connect(link.queue);
    if (link.channel < 0) {
        MESS_print(192, "ZORloop window: %s unable to connect\n", window.c_str());
        link.drop();
        return;
    }
    const auto &desc = st().desc;
    std::vector<std::string> names;
    std::vector<int> index;
    for (size_t d = 0; d < desc.size(); ++d) {
        if (!desc[d].name.empty()) {
            names.push_back(desc[d].name);
            index.push_back(static_cast<int>(d));
        }
    }
    std::vector<std::optional<std::string>> values;
    bool up = MQ_query_res(link.queue, link.channel, names, values) == 1;
    for (size_t i = 0; i < values.size(); ++i) {
        const RES_OPTION &opt = desc[static_cast<size_t>(index[i])];
        const Entry *own = find_entry(opt.name.c_str());
        if (values[i])
            RES_new(index[i], opt.name.c_str(), values[i]->c_str(), opt.kind);
        else if (up && own && own->value)
            up = MQ_set_res(link.queue, link.channel, opt.name, *own->value) == 1;
    }
    if (!up) {
        MESS_print(192, "ZORloop not running!\n");
        link.drop();
    }
}

// ---------------------------------------------------------------------------
// Conversions

// Whole-number text: at least one digit parsed, in range of the type.
bool parse_ll(const char *s, int base, long long lo, long long hi, long long &out) {
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(s, &end, base);
    if (end == s || errno == ERANGE || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

int set_bool(const char *value, int *dest) {
    if (!value) {
        *dest = 1;
        return 1;
    }
    std::string v = value;
    if (str_equal_nocase(v, "true") || str_equal_nocase(v, "on") || str_equal_nocase(v, "yes"))
        *dest = 1;
    else if (str_equal_nocase(v, "false") || str_equal_nocase(v, "off") ||
             str_equal_nocase(v, "no"))
        *dest = 0;
    return 1;
}

void set_int(const char *v, int *dest) {
    if (!(is_digit(v[0]) || v[0] == '+' || v[0] == '-'))
        return;
    long long x;
    if (v[0] != '\0' && (v[1] == 'x' || v[1] == 'X')) {
        if (parse_ll(v, 16, INT32_MIN, UINT32_MAX, x))
            *dest = static_cast<int>(static_cast<uint32_t>(x));
    } else if (parse_ll(v, 10, INT32_MIN, INT32_MAX, x)) {
        *dest = static_cast<int>(x);
    }
}

void set_file_param(const std::string &v) {
    static constexpr std::array<std::pair<const char *, int>, 6> kTable = {
        {{"use", 3}, {"over", 1}, {"calc", 1}, {"reuse", 3}, {"recalc", 1}, {"app", 2}}};
    for (const auto &[key, code] : kTable)
        if (str_equal_nocase(v, key)) {
            FLAG_set(FLAG_FILE_PARAM, code);
            return;
        }
}

void set_plot_type(const std::string &v) {
    static constexpr std::array<std::pair<const char *, int>, 22> kTable = {
        {{"raw", 0},     {"none", 99},  {"value", 17},  {"gvalue", 17}, {"cf", 15},    {"lcf", 16},
         {"ln", 12},     {"dln", 13},   {"ndln", 14},   {"vect", 21},   {"barb", 22},  {"strm", 23},
         {"stream", 23}, {"an", 54},    {"number", 54}, {"pm", 55},     {"skewt", 62}, {"ema", 63},
         {"teph", 64},   {"rteph", 65}, {"stuve", 61},  {"hodo", 69}}};
    for (const auto &[key, code] : kTable)
        if (str_equal_nocase(v, key)) {
            FLAG_set(FLAG_PLOT_TYPE, code);
            return;
        }
}

// Draw list: "+item" on, "-item" off; a plain first item clears every flag first.
void set_draw(const char *value) {
    std::vector<std::string> items;
    int n = 0;
    if (parse_string(value, ',', &n, &items) != 0)
        return;
    static constexpr std::array<std::pair<const char *, int>, 10> kSlots = {{{"text_ul", 1},
                                                                             {"text_uc", 2},
                                                                             {"text_ur", 3},
                                                                             {"text_ll", 4},
                                                                             {"text_lc", 5},
                                                                             {"text_lr", 6},
                                                                             {"sum", 10},
                                                                             {"data", 7},
                                                                             {"grid", 9},
                                                                             {"map", 8}}};
    for (size_t k = 0; k < items.size(); ++k) {
        std::string item = str_trim(items[k]);
        int on = 1;
        if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
            on = item[0] == '+' ? 1 : 0;
            item.erase(0, 1);
        } else if (k == 0) {
            FLAG_resetplot(0);
        }
        if (str_equal_nocase(item, "none")) {
            FLAG_setplot(12, on ? 0 : 1);
        } else if (str_equal_nocase(item, "all")) {
            FLAG_setplot(12, on);
        } else if (str_equal_nocase(item, "text")) {
            FLAG_setplot(0, on);
            FLAG_setplot(11, on);
        } else if (str_prefix_nocase(item, "bord", 4)) {
            FLAG_setplot(11, on);
        } else {
            for (const auto &[key, slot] : kSlots)
                if (str_equal_nocase(item, key)) {
                    FLAG_setplot(slot, on);
                    break;
                }
        }
    }
}

// Fixed-width digit field of a "#yyyymmddhhmm" hour; false when missing.
bool hour_field(const std::string &s, size_t pos, size_t width, int &out) {
    if (pos >= s.size() || !is_digit(s[pos]))
        return false;
    int v = 0;
    for (size_t i = pos; i < s.size() && i < pos + width && is_digit(s[i]); ++i)
        v = v * 10 + (s[i] - '0');
    out = v;
    return true;
}

} // namespace

int RES_parse_hour(const char *value, FILE_TIME *fields) {
    if (!value || !fields)
        return 0;
    FILE_TIME t;
    std::string s = value;
    bool colon = s.find(':') != std::string::npos;
    if (!s.empty() && s[0] == '#') {
        static constexpr std::array<std::pair<size_t, size_t>, 5> kFields = {
            {{1, 4}, {5, 2}, {7, 2}, {9, 2}, {11, 2}}};
        std::array<int *, 5> dst = {&t.year, &t.month, &t.day, &t.hour, &t.minute};
        for (size_t k = 0; k < kFields.size(); ++k)
            if (!hour_field(s, kFields[k].first, kFields[k].second, *dst[k]))
                break;
    } else if (s.size() == 6 && !colon) {
        std::sscanf(value, "%2d%2d%2d", &t.month, &t.day, &t.hour);
    } else if (s.size() == 4 && is_digit(s[0]) && !colon) {
        std::sscanf(value, "%2d%2d", &t.day, &t.hour);
    } else if (s.size() == 3 && is_digit(s[0]) && !colon) {
        std::sscanf(value, "%1d%2d", &t.day, &t.hour);
    } else if (s.find('d') != std::string::npos) {
        std::sscanf(value, "%dd%d:%d", &t.day, &t.hour, &t.minute);
    } else if (!s.empty() && s[0] == ':') {
        std::sscanf(value + 1, "%d", &t.minute);
    } else if (s.size() >= 2 && s[0] == '-' && s[1] == ':') {
        if (std::sscanf(value + 2, "%d", &t.minute) == 1)
            t.minute = -t.minute;
    } else {
        std::sscanf(value, "%d:%d", &t.hour, &t.minute);
        if (!s.empty() && s[0] == '-' && t.hour == 0) {
            t.hour = MISSING;
            if (t.minute != MISSING)
                t.minute = -t.minute;
        }
    }
    *fields = t;
    return 1;
}

namespace {

// ---------------------------------------------------------------------------
// Prompts

// One answer line of at most kMaxAnswer characters; false at end of input.
bool read_answer(std::string &line) {
    std::array<char, kMaxAnswer + 2> buf{};
    if (!std::fgets(buf.data(), static_cast<int>(buf.size()), stdin))
        return false;
    line = buf.data();
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
    } else {
        int c;
        while ((c = std::getc(stdin)) != EOF && c != '\n') {
        }
    }
    if (line.size() > kMaxAnswer)
        line.resize(kMaxAnswer);
    return true;
}

// Prompts until a non-empty answer that is not a "set" command; end of input exits.
std::string prompt_line(const char *prompt) {
    for (;;) {
        MESS_print(15, "%s", prompt ? prompt : "");
        std::fflush(stdout);
        std::string line;
        if (!read_answer(line))
            ZOR_exit(0);
        line = str_trim(line);
        if (ZOR_set_command(line.c_str()) || line.empty())
            continue;
        return line;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Catalogue and start-up

void RES_reset_state() {
    st() = ResState{};
}

int RES_enter(RES_OPTION *descriptor, int code) {
    if (!descriptor)
        return 0;
    *descriptor = RES_OPTION{};
    const CatEntry *c = find_code(code);
    if (!c) {
        std::printf("%d\n", code);
        return 0;
    }
    descriptor->name = c->name;
    descriptor->env = c->env;
    descriptor->abbrev = c->abbrev;
    descriptor->position = c->position;
    descriptor->kind = c->kind;
    if (c->position == 0) {
        descriptor->arg_text = std::string("-") + c->abbrev;
        if (*c->arg)
            descriptor->arg_text += std::string(" ") + c->arg;
    } else {
        descriptor->arg_text = "file [file...]";
    }
    if (c->more) {
        descriptor->help.assign(c->more, c->more + c->nmore);
    } else {
        descriptor->help.emplace_back(c->help);
    }
    return 1;
}

int RES_init(int argc, char **argv, const int *keyed_codes, const int *positional_codes) {
    RES_reset_state();
    DEF_reset_state();
    FLAG_reset();
    auto &s = st();
    s.prog = (argc > 0 && argv && argv[0]) ? argv[0] : "";
    s.progname = base_name(s.prog);
    for (const int *c = keyed_codes; c && *c != RES_END; ++c) {
        RES_OPTION d;
        RES_enter(&d, *c);
        s.desc.push_back(std::move(d));
    }
    for (const int *c = positional_codes; c && *c != RES_END; ++c) {
        RES_OPTION d;
        if (RES_enter(&d, *c) && d.position == 0)
            d.position = 1;
        s.desc.push_back(std::move(d));
    }
    RES_decode(argc, argv);
    if (const char *tz = std::getenv("zortz"))
        DATE_set_TZ(tz);
    return 1;
}

int RES_decode(int argc, char **argv) {
    auto &s = st();
    if (argc > 0 && argv && argv[0]) {
        s.prog = argv[0];
        s.progname = base_name(s.prog);
    }
    const std::string prog = s.progname;

    // 1. Defaults list and program title.
    if (const char *def = std::getenv("zordefault"))
        RES_new(kFree, "default", def, RES_STRING);
    for (int i = 1; i < argc; ++i) {
        if (!argv[i] || !is_option(argv[i]))
            continue;
        OptArg o = split_option(i, argc, argv);
        if (is_default_opt(o.name)) {
            store(kFree, "default", o.value, RES_STRING);
        } else if (is_name_opt(o.name)) {
            store(kFree, "name", o.value, RES_STRING);
            DEF_name(o.value ? o.value->c_str() : "");
        }
        if (o.from_next)
            ++i;
    }

    // 2. Resource files along the defaults list.
    LoopLink link;
    std::vector<std::string> entries;
    int n = 0;
    const char *list = RES_get("default");
    const std::string chosen = list ? std::string(list) : default_list();
    parse_string(chosen.c_str(), ':', &n, &entries);
    if (entries.empty())
        entries.emplace_back();
    for (const auto &entry : entries) {
        if (!entry.empty() && entry[0] == '+') {
            DEF_tag(entry.c_str() + 1);
            continue;
        }
        if (!entry.empty() && entry[0] == '#') {
            loop_connect(link, entry);
            continue;
        }
        DEF_FILE *f = DEF_open(entry.c_str());
        if (!f)
            continue;
        std::string name, value;
        while (DEF_get(f, name, value)) {
            bool matched = false;
            for (size_t d = 0; d < s.desc.size(); ++d) {
                const RES_OPTION &opt = s.desc[d];
                if (opt.name.empty() || !DEF_cmp(name.c_str(), prog.c_str(), opt.name.c_str()))
                    continue;
                RES_new(static_cast<int>(d), opt.name.c_str(), value.c_str(), opt.kind);
                MESS_print(kDebugLevel, "RESRC: %s=%s\n", opt.name.c_str(), value.c_str());
                matched = true;
            }
            if (!matched && DEF_valid(name.c_str(), prog.c_str()))
                RES_new(kFree, DEF_parse_name(name.c_str()).c_str(), value.c_str(), RES_STRING);
        }
        DEF_close(f);
    }

    // 3. Environment.
    for (size_t d = 0; d < s.desc.size(); ++d) {
        const RES_OPTION &opt = s.desc[d];
        if (opt.name.empty())
            continue;
        if (const char *v = DEF_env(prog.c_str(), opt.name.c_str(), opt.env.c_str()))
            RES_new(static_cast<int>(d), opt.name.c_str(), v, opt.kind);
    }

    // 4. Command line.
    int npos = 0;
    std::vector<int> list_count(s.desc.size(), 0);
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (!a || std::strcmp(a, "--") == 0)
            continue;
        if (is_option(a)) {
            OptArg o = split_option(i, argc, argv);
            if (is_default_opt(o.name) || is_name_opt(o.name)) {
                if (o.from_next)
                    ++i;
                continue;
            }
            int d = find_keyed(o.name);
            if (d < 0) {
                store(kFree, o.name, o.value, RES_STRING);
                link.note(o.name, o.value);
                if (o.from_next)
                    ++i;
                continue;
            }
            const RES_OPTION &opt = s.desc[static_cast<size_t>(d)];
            if (o.from_next &&
                (opt.kind == RES_BATCH_KIND || opt.kind == RES_HELP_KIND || opt.kind == RES_BOOL)) {
                o.value.reset();
                o.from_next = false;
            }
            store(d, opt.name, o.value, opt.kind);
            link.note(opt.name, o.value);
            if (o.from_next)
                ++i;
            continue;
        }
        int d = find_positional(++npos);
        if (d < 0)
            continue;
        const RES_OPTION &opt = s.desc[static_cast<size_t>(d)];
        if (opt.kind == RES_LIST && list_count[static_cast<size_t>(d)] > 0)
            RES_append(d, opt.name.c_str(), a, opt.kind);
        else
            RES_new(d, opt.name.c_str(), a, opt.kind);
        ++list_count[static_cast<size_t>(d)];
    }

    // 5. Conversions with side effects (no destinations in this program).
    for (size_t k = 0; k < s.entries.size(); ++k) {
        Entry e = s.entries[k];
        if (e.index < 0 || static_cast<size_t>(e.index) >= s.desc.size() || e.kind == RES_LIST)
            continue;
        RES_conv_data(e.value ? e.value->c_str() : nullptr, nullptr, e.kind);
    }
    loop_finish(link);
    return 1;
}

// ---------------------------------------------------------------------------
// Resource list

const char *RES_get(const char *name) {
    const Entry *e = find_entry(name);
    if (!e)
        return nullptr;
    return e->value ? e->value->c_str() : "";
}

int RES_getval(const char *name, void *dest, int kind) {
    const Entry *e = find_entry(name);
    if (!e)
        return 0;
    std::optional<std::string> value = e->value;
    return RES_conv_data(value ? value->c_str() : nullptr, dest, kind);
}

int RES_getvals(const char *name, int *count, std::vector<std::string> *list) {
    if (count)
        *count = 0;
    if (list)
        list->clear();
    const Entry *e = find_entry(name);
    if (!e || !e->value)
        return 0;
    int n = 0;
    std::vector<std::string> fields;
    if (parse_string(e->value->c_str(), e->kind == RES_LIST ? '\n' : ',', &n, &fields) != 0)
        return 0;
    if (count)
        *count = n;
    if (list)
        *list = std::move(fields);
    return n;
}

int RES_put(const char *name, const char *value) {
    return RES_new(kFree, name, value, RES_STRING);
}

int RES_new(int index, const char *name, const char *value, int kind) {
    if (!name)
        return -1;
    try {
        if (Entry *e = find_entry(name)) {
            e->value = value ? std::optional<std::string>(value) : std::nullopt;
            e->index = index;
            e->kind = kind;
            return 1;
        }
        Entry e;
        e.index = index;
        e.name = name;
        if (value)
            e.value = std::string(value);
        e.kind = kind;
        st().entries.push_back(std::move(e));
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 1;
}

int RES_append(int index, const char *name, const char *value, int kind) {
    if (!name)
        return -1;
    Entry *e = find_entry(name);
    if (!e)
        return RES_new(index, name, value, kind);
    try {
        if (value) {
            if (e->value) {
                *e->value += '\n';
                *e->value += value;
            } else {
                e->value = std::string(value);
            }
        }
        e->index = index;
        e->kind = kind;
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 1;
}

int RES_list() {
    for (const auto &e : st().entries) {
        if (e.value)
            MESS_print(8, "%s: %s\n", e.name.c_str(), e.value->c_str());
        else
            MESS_print(8, "%s:\n", e.name.c_str());
    }
    return 1;
}

const char *RES_get_prog() {
    return st().prog.c_str();
}

std::string RES_get_progname() {
    const std::string &p = st().progname;
    return p.empty() ? std::string("ZOR") : p;
}

// ---------------------------------------------------------------------------
// Conversions

int RES_set_device(const char *value) {
    if (!value)
        return 1;
    for (const char *p = value; *p && *p != ','; ++p) {
        if (!is_alpha(*p))
            continue;
        switch (*p) {
        case 'P':
        case 'p':
            return 4;
        case 'H':
        case 'h':
        case 'Q':
        case 'q':
            return 5;
        case 'M':
        case 'm':
            return 3;
        case 'W':
        case 'w':
            return 6;
        default:
            return 1;
        }
    }
    return 1;
}

int RES_conv_data(const char *value, void *dest, int kind) {
    switch (kind) {
    case RES_MESS:
        if (value)
            MESS_set_str(value);
        return 1;
    case RES_DRAW_LIST:
        if (value)
            set_draw(value);
        return 1;
    case RES_HOUR_SPEC:
        if (value) {
            FILE_TIME t;
            RES_parse_hour(value, &t);
            FILE_set_time(&t);
        }
        return 1;
    case RES_FILE_PARAM_KIND:
        if (value)
            set_file_param(value);
        return 1;
    case RES_PLOT_TYPE_KIND:
        if (value)
            set_plot_type(value);
        return 1;
    case RES_BATCH_KIND:
        FLAG_set(FLAG_BATCH, 1);
        if (MESS_check_set() == 0)
            MESS_set(0, MESS_PRINT | MESS_ERROR | MESS_WARN);
        return 1;
    case RES_HELP_KIND:
        FLAG_set(FLAG_HELP, 1);
        return 1;
    case RES_DEVICE_KIND:
        // The device code is needed by the graphics start-up even when no
        // destination asks for the device name.
        if (value) {
            FLAG_set(FLAG_DEVICE, RES_set_device(value));
            if (dest) {
                if (const char *comma = std::strchr(value, ','))
                    *static_cast<std::string *>(dest) = comma + 1;
            }
        }
        return 1;
    case RES_CURRENT_REQ:
    case RES_NAME_CONV_KIND:
    case RES_INGESTOR:
        return 1;
    default:
        break;
    }
    if (!dest)
        return 1;
    switch (kind) {
    case RES_BOOL:
        return set_bool(value, static_cast<int *>(dest));
    case RES_INT:
        if (value)
            set_int(value, static_cast<int *>(dest));
        return 1;
    case RES_SHORT: {
        long long x;
        if (value && is_digit(value[0]) && parse_ll(value, 10, INT16_MIN, INT16_MAX, x))
            *static_cast<int16_t *>(dest) = static_cast<int16_t>(x);
        return 1;
    }
    case RES_INT_DEC: {
        long long x;
        if (value && is_digit(value[0]) && parse_ll(value, 10, INT32_MIN, INT32_MAX, x))
            *static_cast<int *>(dest) = static_cast<int>(x);
        return 1;
    }
    case RES_INT32: {
        long long x;
        if (value && parse_ll(value, 10, INT32_MIN, INT32_MAX, x))
            *static_cast<int *>(dest) = static_cast<int>(x);
        return 1;
    }
    case RES_FLOAT:
        if (value) {
            char *end = nullptr;
            float f = std::strtof(value, &end);
            if (end != value)
                *static_cast<float *>(dest) = f;
        }
        return 1;
    case RES_STRING:
    case RES_COPY:
        *static_cast<std::string *>(dest) = value ? value : "";
        return 1;
    case RES_PATH:
        if (value)
            *static_cast<std::string *>(dest) =
                str_equal_nocase(value, "none") ? std::string() : FILE_add_path_delim(value);
        return 1;
    case RES_REGION_KIND:
    case RES_DOMAIN_KIND:
        return 0; // domains are decoded above this layer (DOM_decode_option)
    case RES_LIST: {
        auto *out = static_cast<std::vector<std::string> *>(dest);
        int n = 0;
        if (!value || parse_string(value, '\n', &n, out) != 0)
            out->clear();
        return 1;
    }
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Help listing

int RES_help_item(int code) {
    RES_OPTION d;
    if (!RES_enter(&d, code))
        return 0;
    for (size_t k = 0; k < d.help.size(); ++k) {
        if (k == 0)
            MESS_print(15, " %-10s  %s\n", d.arg_text.c_str(), d.help[k].c_str());
        else
            MESS_print(15, "%s\n", d.help[k].c_str());
    }
    return 1;
}

int RES_help_print(const char *progname, const int *keyed_codes, const int *positional_codes) {
    const char *prog = progname ? progname : "";
    MESS_print(15, "%s syntax (version:%s)\n", prog, ZOR_version());
    MESS_print(15, "   %s [options...]\n", prog);
    MESS_print(15, "Keyed options...\n");
    MESS_print(15, " %-10s  Resource/defaults file name\n", "-df file");
    MESS_print(15, " %-10s  Program name\n", "-na name");
    for (const int *c = keyed_codes; c && *c != RES_END; ++c)
        RES_help_item(*c);
    MESS_print(15, "Positional options...\n");
    for (const int *c = positional_codes; c && *c != RES_END; ++c)
        RES_help_item(*c);
    return 1;
}

// ---------------------------------------------------------------------------
// Prompts and the "set" command

bool ZOR_set_command(const char *line) {
    if (!line)
        return false;
    std::string t = str_trim(line);
    if (str_prefix_nocase(t, "exit", 4))
        ZOR_exit(0);
    if (!str_prefix_nocase(t, "set", 3) ||
        (t.size() > 3 && !std::isspace(static_cast<unsigned char>(t[3]))))
        return false;
    std::string rest = str_trim(t.substr(3));
    if (rest.empty()) {
        MESS_print(2048, "Set resources\n");
        RES_list();
        MESS_print(2048, "\n");
        return true;
    }
    size_t end = rest.find_first_of(" \t=");
    std::string name = rest.substr(0, end);
    std::string value;
    if (end != std::string::npos) {
        value = str_trim(rest.substr(end));
        if (!value.empty() && value[0] == '=')
            value = str_trim(value.substr(1));
    }
    RES_put(name.c_str(), value.empty() ? nullptr : value.c_str());
    return true;
}

int ZOR_prompts(const char *prompt, std::string &buf, int width) {
    std::string line = prompt_line(prompt);
    size_t max = width > 1 ? static_cast<size_t>(width - 1) : 0;
    buf = line.substr(0, std::min(line.size(), max));
    return 1;
}

int ZOR_promptl(const char *prompt, std::string &buf) {
    return ZOR_prompts(prompt, buf, 20);
}

int ZOR_promptf(const char *prompt, float *value) {
    for (;;) {
        std::string line = prompt_line(prompt);
        char *end = nullptr;
        float f = std::strtof(line.c_str(), &end);
        if (end != line.c_str()) {
            if (value)
                *value = f;
            return 1;
        }
    }
}

int ZOR_promptd(const char *prompt, int *value) {
    for (;;) {
        std::string line = prompt_line(prompt);
        long long x;
        if (parse_ll(line.c_str(), 10, INT32_MIN, INT32_MAX, x)) {
            if (value)
                *value = static_cast<int>(x);
            return 1;
        }
    }
}
