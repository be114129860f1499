// Font list and stroke-font files.
//
// A font file is whitespace-separated decimal numbers. An optional header (a number other
// than 255 and one word) means every 255 in the stroke data is followed by a glyph label
// word. Stroke bytes come in (x, y) pairs: x >= 128 starts a stroke at (x - 128, y),
// smaller x draws to (x, y), a single 255 ends a glyph; 254 ends the table (stored as
// 255). Then 256 numbers give each character code's first stroke byte, -1 for none.
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <strings.h>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

constexpr size_t kMaxStrokes = 15000;
constexpr size_t kMaxFonts = 40;
constexpr size_t kMaxListFileFonts = 10;
constexpr size_t kMaxNameLen = 9;
constexpr size_t kMaxFileLen = 105;
constexpr int64_t kMaxFontFileSize = 1 << 20;

struct FontEntry {
    std::string name;
    std::string file;
};

struct FontState {
    std::vector<FontEntry> list;
    bool given = false;          // a list was set with gset_font_list
    bool list_from_file = false; // the list was read from a font list file
    std::string given_value;
    std::vector<unsigned char> strokes;
    std::array<int, 256> start{};
    std::array<int, 256> width{};
    int font_type = 1;
    int loaded = 0; // list entry whose font is loaded (0 none or not from the list)
    FontState() {
        start.fill(-1);
        width.fill(0);
    }
};

FontState &fst() {
    static FontState s;
    return s;
}

void add_entry(std::string name, std::string file) {
    auto &s = fst();
    if (s.list.size() >= kMaxFonts)
        return;
    if (name.size() > kMaxNameLen)
        name.resize(kMaxNameLen);
    if (file.size() > kMaxFileLen)
        file.resize(kMaxFileLen);
    s.list.push_back({std::move(name), std::move(file)});
}

// The text of a configured file found on "file_path" (a leading '~' is a home directory).
std::optional<std::string> read_configured(const std::string &name) {
    return FILE_read_whole(FILE_expand_home(FILE_find_on_path(name)), kMaxFontFileSize);
}

// Font list file of "name file" pairs.
bool read_list_file(const std::string &name) {
    std::optional<std::string> text = read_configured(name);
    if (!text)
        return false;
    fst().list_from_file = true;
    auto w = str_split_words(*text);
    for (size_t i = 0; i + 1 < w.size() && fst().list.size() < kMaxListFileFonts; i += 2)
        add_entry(w[i], w[i + 1]);
    return true;
}

// "zor.fnl": lines of a font name and the rest of the line as the file name.
void read_default_list() {
    std::optional<std::string> read = read_configured("zor.fnl");
    if (!read)
        return;
    fst().list_from_file = true;
    const std::string &text = *read;
    size_t pos = 0;
    while (pos < text.size() && fst().list.size() < kMaxFonts) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = str_trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        size_t sp = line.find_first_of(" \t");
        if (sp == std::string::npos)
            continue;
        add_entry(line.substr(0, sp), str_trim(line.substr(sp + 1)));
    }
}

// A font file named inside a font list file is a data name: it is taken as it is, and
// read only when it is a bounded regular file. Other names are configured.
std::string font_path(const std::string &file) {
    const auto &s = fst();
    bool data_name =
        s.list_from_file && std::any_of(s.list.begin(), s.list.end(),
                                        [&](const FontEntry &e) { return e.file == file; });
    std::string path = FILE_find_on_path(file);
    return data_name ? path : FILE_expand_home(path);
}

bool parse_int(const std::string &w, long *v) {
    if (w.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    *v = std::strtol(w.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

void clear_tables() {
    auto &s = fst();
    s.strokes.clear();
    s.start.fill(-1);
    s.width.fill(0);
    s.font_type = 1;
}

// Parses font file text into the tables; false with a message when it is malformed.
bool parse_font(const std::string &text, const std::string &path) {
    auto &s = fst();
    auto w = str_split_words(text);
    size_t i = 0;
    long v = 0;
    auto bad = [&](const char *why) {
        MESS_print(MESS_WARN, "read_font: bad font file %s: %s\n", path.c_str(), why);
        clear_tables();
        return false;
    };
    if (w.empty())
        return bad("empty");
    if (!parse_int(w[0], &v))
        return bad("not a number");
    bool header = v != 255;
    if (header)
        i = 2;
    std::vector<unsigned char> strokes;
    bool ended = false;
    while (i < w.size()) {
        if (!parse_int(w[i], &v) || v < 0 || v > 255)
            return bad("stroke byte out of range");
        ++i;
        if (v == 254) {
            strokes.push_back(255);
            ended = true;
            break;
        }
        if (strokes.size() >= kMaxStrokes)
            return bad("too many stroke bytes");
        strokes.push_back(static_cast<unsigned char>(v));
        if (v == 255 && header)
            ++i; // glyph label
    }
    if (!ended)
        return bad("no end of the stroke table");
    std::array<int, 256> start;
    for (int c = 0; c < 256; ++c, ++i) {
        if (i >= w.size() || !parse_int(w[i], &v))
            return bad("glyph table too short");
        if (v < -1 || v >= static_cast<long>(strokes.size()))
            return bad("glyph start out of range");
        start[static_cast<size_t>(c)] = static_cast<int>(v);
    }
    s.strokes = std::move(strokes);
    s.start = start;
    for (int c = 0; c < 256; ++c) {
        int wmax = 0;
        int st = s.start[static_cast<size_t>(c)];
        if (st >= 0)
            for (size_t k = static_cast<size_t>(st);
                 k + 1 < s.strokes.size() && s.strokes[k] != 255; k += 2) {
                int x = s.strokes[k];
                wmax = std::max(wmax, x >= 128 ? x - 128 : x);
            }
        s.width[static_cast<size_t>(c)] = wmax;
    }
    s.width[' '] = 40;
    s.font_type = 1;
    return true;
}

} // namespace

int read_font(const char *file) {
    if (!kernel().open_graphics || !file)
        return -1;
    clear_tables();
    auto &s = fst();
    s.loaded = 0;
    if (file[0] == '#') {
        if (!caps().server_fonts || !dev().load_server_font(file + 1)) {
            MESS_print(MESS_WARN, "read_font: unable to load font: %s\n", file + 1);
            return -1;
        }
        s.font_type = 2;
        return 0;
    }
    std::string path = font_path(file);
    std::optional<std::string> text = FILE_read_whole(path, kMaxFontFileSize);
    if (!text) {
        MESS_print(MESS_WARN, "read_font: unable to load font file: %s\n", path.c_str());
        return -1;
    }
    return parse_font(*text, path) ? 0 : -1;
}

int gsetup_fonts() {
    auto &s = fst();
    s.list.clear();
    s.list_from_file = false;
    std::string value;
    bool have = false;
    if (s.given) {
        value = s.given_value;
        have = true;
    } else if (const char *r = RES_get("font_list"); r && *r) {
        value = r;
        have = true;
    } else if (GksInteractive *w = window_services()) {
        value = w->x_resource("font_list");
        have = !value.empty();
    }
    bool list_failed = false;
    if (have) {
        if (value.compare(0, 3, "fi:") == 0) {
            if (!read_list_file(value.substr(3))) {
                MESS_print(MESS_WARN, "gsetup_fonts: unable to load font list file: %s\n",
                           value.substr(3).c_str());
                list_failed = true;
            }
        } else {
            int count = 0;
            std::vector<std::string> files;
            parse_string(value.c_str(), ',', &count, &files);
            for (auto &f : files)
                add_entry("", str_trim(f));
        }
    } else {
        read_default_list();
    }
    if (s.list.empty() || list_failed) {
        int rc = read_font("modern.fnt");
        return rc;
    }
    int n = kernel().font;
    if (n < 1 || n > static_cast<int>(s.list.size()))
        n = 1;
    int rc = read_font(s.list[static_cast<size_t>(n - 1)].file.c_str());
    if (rc == 0)
        s.loaded = n;
    return rc;
}

int gget_font_index(const char *name) {
    if (!name || !*name)
        return 1;
    if (std::isdigit(static_cast<unsigned char>(name[0])))
        return std::atoi(name);
    const auto &list = fst().list;
    for (size_t i = 0; i < list.size(); ++i)
        if (strcasecmp(list[i].name.c_str(), name) == 0)
            return static_cast<int>(i) + 1;
    return 1;
}

int gset_font_list(const char *list) {
    auto &s = fst();
    s.given = list != nullptr;
    s.given_value = list ? list : "";
    return 0;
}

int gget_num_fonts() {
    return static_cast<int>(fst().list.size());
}

bool gget_font_entry(int n, std::string *name, std::string *file) {
    const auto &list = fst().list;
    if (n < 1 || n > static_cast<int>(list.size()))
        return false;
    *name = list[static_cast<size_t>(n - 1)].name;
    *file = list[static_cast<size_t>(n - 1)].file;
    return true;
}

int gget_font_type() {
    return fst().font_type;
}

int gget_glyph_start(int c) {
    if (c < 0 || c > 255)
        return -1;
    return fst().start[static_cast<size_t>(c)];
}

int gget_glyph_width(int c) {
    if (c < 0 || c > 255)
        return 0;
    return fst().width[static_cast<size_t>(c)];
}

const std::vector<unsigned char> &gget_stroke_table() {
    return fst().strokes;
}

namespace gks::detail {

void font_sync() {
    auto &s = fst();
    int n = kernel().font;
    if (s.list.empty() || s.loaded == n || n < 1 || n > static_cast<int>(s.list.size()))
        return;
    if (read_font(s.list[static_cast<size_t>(n - 1)].file.c_str()) == 0)
        s.loaded = n;
}

void font_loaded(int n) {
    fst().loaded = n;
}

void font_reset_state() {
    fst() = FontState{};
}

} // namespace gks::detail
