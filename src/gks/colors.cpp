// Colour table, attribute strings and their keywords.
#include "gks/colors.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <strings.h>
#include <vector>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/gks.h"
#include "gks/gph.h"

namespace {

struct ColorEntry {
    std::string name;
    float r = 0, g = 0, b = 0;
};

struct ClrState {
    std::array<ColorEntry, CLR_MAX> table;
    int num_colors = 0;
    int num_fill = 0;
};

ClrState &cst() {
    static ClrState s;
    return s;
}

// Print colours for paper output, indices 500..508.
constexpr const char *kPrintNames[] = {"pblk",  "pbblk", "ptblk", "pwht", "pbwht",
                                       "ptwht", "pgry",  "pbgry", "ptgry"};

constexpr size_t kMaxLine = 100;
constexpr int64_t kMaxTableFile = 1 << 20;

// One colour line after its optional slot number: "name r g b" or "name #RRGGBB".
bool parse_colour(const std::string &text, ColorEntry *e, bool *long_name) {
    char name[256] = {0};
    float r = 0, g = 0, b = 0;
    unsigned hr = 0, hg = 0, hb = 0;
    // The name is cut to its documented length below; %255s cannot overflow the buffer.
    if (std::sscanf(text.c_str(), "%255s %f %f %f", name, &r, &g, &b) == 4) {
        // Intensities outside 0..1 (or not numbers at all) are clamped.
        auto unit = [](float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; };
        e->r = unit(r);
        e->g = unit(g);
        e->b = unit(b);
    } else if (std::sscanf(text.c_str(), "%255s #%2X%2X%2X", name, &hr, &hg, &hb) == 4) {
        e->r = static_cast<float>(hr) / 255.0f;
        e->g = static_cast<float>(hg) / 255.0f;
        e->b = static_cast<float>(hb) / 255.0f;
    } else {
        return false;
    }
    e->name = name;
    *long_name = e->name.size() > CLR_NAME_MAX;
    if (*long_name)
        e->name.resize(CLR_NAME_MAX);
    return true;
}

// Reads one table file into the table from slot `base`; returns the highest slot used
// (base - 1 when none). `end_pos` receives the count before an "END" line.
int read_table_file(const std::string &path, int base, int *end_pos) {
    auto &s = cst();
    std::optional<std::string> read = FILE_read_whole(path, kMaxTableFile);
    if (!read) {
        // A table that cannot be opened is skipped without a word; one that is too big is not.
        if (FILE_size(path.c_str()) > kMaxTableFile)
            MESS_print(MESS_WARN, "CLR_read_table: colour table too large: %s\n", path.c_str());
        return base - 1;
    }
    const std::string &text = *read;
    int running = base, highest = base - 1, line_no = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, std::min(end - pos, kMaxLine));
        pos = end + 1;
        ++line_no;
        line = str_trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line == "END") {
            if (end_pos && *end_pos < 0)
                *end_pos = running;
            continue;
        }
        std::string rest = line;
        int slot = running;
        if (std::isdigit(static_cast<unsigned char>(line[0]))) {
            char *after = nullptr;
            long v = std::strtol(line.c_str(), &after, 10);
            slot = v > CLR_MAX ? CLR_MAX : base + static_cast<int>(v);
            rest = after ? after : "";
        }
        if (slot >= CLR_MAX)
            continue;
        ColorEntry e;
        bool long_name = false;
        if (!parse_colour(rest, &e, &long_name)) {
            MESS_print(MESS_WARN, "CLR_read_table: bad colour line %d in %s\n", line_no,
                       path.c_str());
            continue;
        }
        if (long_name)
            MESS_print(MESS_WARN, "CLR_read_table: colour name cut to %zu characters: %s\n",
                       CLR_NAME_MAX, e.name.c_str());
        s.table[static_cast<size_t>(slot)] = e;
        if (slot > highest)
            highest = slot;
        running = slot + 1;
    }
    return highest;
}

struct Keyword {
    const char *word;
    int value;
};

// Fill patterns: exact words; several patterns have a picture-like alias.
constexpr Keyword kFillWords[] = {
    {"sol", 0}, {"st", 1},   {"ost", 2}, {"rst", 3}, {"lst", 4}, {"vln", 5}, {"||", 5},
    {"dlr", 6}, {"\\\\", 6}, {"drl", 7}, {"//", 7},  {"hln", 8}, {"--", 8},  {"hat", 9},
    {"XX", 9},  {"clr", 10}, {"0%", 10}, {"1%", 11}, {"2%", 12}, {"3%", 13}, {"4%", 14},
    {"5%", 15}, {"6%", 16},  {"7%", 17}, {"8%", 18}, {"9%", 19},
};

// Markers: prefix match in this order.
constexpr Keyword kMarkerWords[] = {
    {"pnt", 1},  {".", 1},      {"plus", 2}, {"+", 2},    {"star", 3}, {"*", 3},
    {"crcl", 4}, {"circle", 4}, {"o", 4},    {"x", 5},    {"sqr", 6},  {"square", 6},
    {"#", 6},    {"tri", 7},    {"^", 7},    {"itri", 9}, {"v", 9},    {"dot", 8},
};

} // namespace

int CLR_read_table(const char *names) {
    auto &s = cst();
    std::string list = names ? names : "";
    bool from_resource = false;
    if (list.empty()) {
        const char *r = RES_get("color_table");
        if (r && *r) {
            list = r;
            from_resource = true;
        } else {
            list = "zor.clr";
        }
    }
    for (auto &e : s.table)
        e = ColorEntry{};
    int count = 0;
    std::vector<std::string> files;
    parse_string(list.c_str(), ',', &count, &files);
    int base = 0, end_pos = -1, highest = -1;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string name = str_trim(files[i]);
        if (name.empty())
            continue;
        // Table names are configured: a leading '~' is a home directory.
        std::string path = FILE_expand_home(FILE_find_on_path(name));
        int h = read_table_file(path, base, i == 0 ? &end_pos : nullptr);
        if (h > highest)
            highest = h;
        base = highest + 1;
    }
    s.num_colors = highest + 1;
    if (from_resource)
        s.num_fill = end_pos >= 0 ? end_pos : highest;
    return s.num_colors;
}

int CLR_get_ind(const char *name) {
    if (!name || !*name)
        return -1;
    auto &s = cst();
    if (strcasecmp(name, "end") == 0)
        return -2;
    if (strcasecmp(name, "none") == 0 || strcasecmp(name, "off") == 0 ||
        strcasecmp(name, "back") == 0)
        return -1;
    for (int i = 0; i < 9; ++i)
        if (strcasecmp(name, kPrintNames[i]) == 0)
            return 500 + i;
    for (int i = 0; i < s.num_colors; ++i)
        if (!s.table[static_cast<size_t>(i)].name.empty() &&
            strcasecmp(name, s.table[static_cast<size_t>(i)].name.c_str()) == 0)
            return i;
    size_t len = std::strlen(name);
    if (name[0] == '#' && len == 7) {
        unsigned r, g, b;
        if (std::sscanf(name + 1, "%2x%2x%2x", &r, &g, &b) == 3)
            return CLR_add(name, static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                           static_cast<float>(b) / 255.0f);
    }
    if (name[0] == '#' && len == 10) {
        int r, g, b;
        if (std::sscanf(name + 1, "%3d%3d%3d", &r, &g, &b) == 3 && r >= 0 && r <= 255 && g >= 0 &&
            g <= 255 && b >= 0 && b <= 255)
            return CLR_add(name, static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                           static_cast<float>(b) / 255.0f);
    }
    if (std::isdigit(static_cast<unsigned char>(name[0])))
        return std::atoi(name);
    return -1;
}

int CLR_add(const char *name, float r, float g, float b) {
    auto &s = cst();
    if (s.num_colors >= CLR_MAX)
        return -1;
    int index = s.num_colors++;
    auto &e = s.table[static_cast<size_t>(index)];
    e.name = std::string(name ? name : "").substr(0, CLR_NAME_MAX);
    e.r = r;
    e.g = g;
    e.b = b;
    GPH_set_color(index, r, g, b);
    return index;
}

int CLR_get_rgb(int index, float *r, float *g, float *b) {
    const auto &s = cst();
    if (index < 0 || s.num_colors == 0)
        return -1;
    if (index >= s.num_colors)
        index = s.num_colors - 1;
    const auto &e = s.table[static_cast<size_t>(index)];
    *r = e.r;
    *g = e.g;
    *b = e.b;
    return 0;
}

const char *CLR_get_name(int index) {
    const auto &s = cst();
    if (s.num_colors == 0)
        return "";
    if (index < 0)
        index = 0;
    if (index >= s.num_colors)
        index = s.num_colors - 1;
    return s.table[static_cast<size_t>(index)].name.c_str();
}

int CLR_get_num() {
    return cst().num_colors;
}
int CLR_get_num_fill() {
    return cst().num_fill;
}

int CLR_clear_table() {
    cst().num_colors = 0;
    return 0;
}

void CLR_reset_state() {
    cst() = ClrState{};
}

// ---- attribute strings ----

int ATTRIB_init(ATTRIB *rec) {
    if (rec)
        *rec = ATTRIB{};
    return 0;
}

namespace {

int parse_style(const std::string &w) {
    static constexpr Keyword styles[] = {
        {"sol", 1}, {"dsh", 2}, {"lsdsh", 3}, {"llsdsh", 4}, {"dot", 5}};
    for (const auto &k : styles)
        if (str_equal_nocase(w, k.word))
            return k.value;
    return std::atoi(w.c_str());
}

// Number after a one-letter key; false when nothing numeric follows.
bool number_after(const std::string &f, double *v) {
    const char *s = f.c_str() + 1;
    char *end = nullptr;
    *v = std::strtod(s, &end);
    return end != s;
}

void parse_field(const std::string &f, ATTRIB *rec) {
    if (f.empty())
        return;
    auto key = [&](const char *k) { return f.size() >= 3 && str_prefix_nocase(f, k, 3); };
    std::string value = f.size() > 3 ? f.substr(3) : std::string();
    if (key("co=")) {
        rec->color = CLR_get_ind(value.c_str());
    } else if (key("wi=")) {
        rec->width = static_cast<float>(std::atof(value.c_str()));
    } else if (key("st=")) {
        rec->style = parse_style(value);
    } else if (key("fo=")) {
        rec->font = gget_font_index(value.c_str());
    } else if (key("fi=") || key("fp=")) {
        rec->fill = ATTR_parse_fill_pat(value.c_str());
    } else if (key("sc=") || key("hi=")) {
        rec->height = static_cast<float>(std::atof(value.c_str()));
    } else if (key("te=")) {
        rec->expan = static_cast<float>(std::atof(value.c_str()));
    } else {
        double v = 0;
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[0])));
        if (c == 'f' && f.size() == 2 && (f[1] == 'M' || f[1] == 'm')) {
            rec->fill = ATTRIB_MISSING;
            return;
        }
        if (!number_after(f, &v))
            return;
        switch (c) {
        case 'e':
            rec->expan = static_cast<float>(v);
            break;
        case 'f':
            rec->fill = static_cast<int>(v);
            break;
        case 'h':
            rec->height = static_cast<float>(v);
            break;
        case 's':
            rec->style = static_cast<int>(v);
            break;
        case 't':
            rec->font = static_cast<int>(v);
            break;
        case 'w':
            rec->width = static_cast<float>(v);
            break;
        default:
            break;
        }
    }
}

} // namespace

int ATTRIB_parse(const char *text, ATTRIB *rec) {
    if (!text || !rec)
        return -1;
    std::string s = text;
    size_t pos = 0;
    bool first = true;
    while (true) {
        size_t end = s.find(':', pos);
        std::string f = s.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (first && f.find('=') == std::string::npos) {
            if (!f.empty())
                rec->color = CLR_get_ind(f.c_str());
        } else {
            parse_field(f, rec);
        }
        first = false;
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return 0;
}

int ATTRIB_get(const char *resource, const char *default_text, ATTRIB *rec) {
    if (default_text)
        ATTRIB_parse(default_text, rec);
    const char *v = resource ? RES_get(resource) : nullptr;
    if (v && *v) {
        ATTRIB_parse(v, rec);
        return 1;
    }
    return 0;
}

int ATTRIB_update(ATTRIB *rec, const ATTRIB *from) {
    if (!rec || !from)
        return -1;
    if (from->color != ATTRIB_MISSING)
        rec->color = from->color;
    if (from->width != ATTRIB_MISSING)
        rec->width = from->width;
    if (from->height != ATTRIB_MISSING)
        rec->height = from->height;
    if (from->expan != ATTRIB_MISSING)
        rec->expan = from->expan;
    if (from->style != ATTRIB_MISSING)
        rec->style = from->style;
    if (from->fill != ATTRIB_MISSING)
        rec->fill = from->fill;
    if (from->font != ATTRIB_MISSING)
        rec->font = from->font;
    return 0;
}

int ATTRIB_print(const ATTRIB *rec) {
    if (!rec)
        return -1;
    MESS_print(MESS_PRINT, "Color: %d\n", rec->color);
    MESS_print(MESS_PRINT, "Style: %d\n", rec->style);
    MESS_print(MESS_PRINT, "Height: %5.2f\n", static_cast<double>(rec->height));
    MESS_print(MESS_PRINT, "Width: %5.2f\n", static_cast<double>(rec->width));
    MESS_print(MESS_PRINT, "Expansion: %5.2f\n", static_cast<double>(rec->expan));
    MESS_print(MESS_PRINT, "Fill: %d\n", rec->fill);
    MESS_print(MESS_PRINT, "Font: %d\n", rec->font);
    return 0;
}

int ATTR_parse_fill_pat(const char *text) {
    if (!text)
        return 0;
    std::string t = str_trim(text);
    for (const auto &k : kFillWords)
        if (str_equal_nocase(t, k.word))
            return k.value;
    return std::atoi(t.c_str());
}

int ATTR_parse_marker(const char *text) {
    if (!text)
        return 0;
    std::string t = str_trim(text);
    if (!t.empty()) {
        for (const auto &k : kMarkerWords) {
            // The text begins with the keyword.
            size_t n = std::strlen(k.word);
            if (t.size() >= n && str_prefix_nocase(t, k.word, n))
                return k.value;
        }
    }
    return std::atoi(t.c_str());
}
