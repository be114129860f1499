// City database file: one station per line, ten white-space separated fields
// (name, state, country, identifier, priority, latitude, longitude, elevation,
// WMO number, last field). Two traps: a name longer than its 20 characters
// must not spill into the state field, and a priority may carry a '*' on
// either side of its digit.
#include "map/cty_read.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"

namespace {

// A station line is about 60 characters; longer ones are cut, not stored whole.
constexpr size_t kMaxLine = 1000;
// Bad lines reported per opened file; the rest are counted only.
constexpr int kMaxReported = 5;

// Whole word as a finite float / an int; false for anything else.
bool read_float(const std::string &w, float *v) {
    const char *b = w.data();
    const char *e = b + w.size();
    if (b != e && *b == '+')
        ++b;
    auto r = std::from_chars(b, e, *v);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(*v);
}

bool read_int(const std::string &w, int *v) {
    const char *b = w.data();
    const char *e = b + w.size();
    if (b != e && *b == '+')
        ++b;
    auto r = std::from_chars(b, e, *v);
    return r.ec == std::errc() && r.ptr == e;
}

// "3", "*3", "3*" or "*3*".
bool read_prior(const std::string &w, CTY_REC *rec) {
    size_t i = 0;
    rec->mark1 = rec->mark2 = ' ';
    if (i < w.size() && w[i] == '*') {
        rec->mark1 = '*';
        ++i;
    }
    if (i >= w.size() || !std::isdigit(static_cast<unsigned char>(w[i])))
        return false;
    rec->prior = w[i] - '0';
    ++i;
    if (i < w.size() && w[i] == '*') {
        rec->mark2 = '*';
        ++i;
    }
    return i == w.size();
}

std::string cut(const std::string &s, size_t n) {
    return s.size() > n ? s.substr(0, n) : s;
}

} // namespace

CtyFile CTY_open_file(const char *name, int *count, bool name_from_data) {
    if (count)
        *count = 0;
    std::string file;
    bool data = false; // the name came from a data file
    const char *res = RES_get("city_file");
    if (res && *res) {
        if (str_equal_nocase(res, "none"))
            return nullptr;
        file = res;
    } else if (name && *name) {
        file = name;
        data = name_from_data;
    } else {
        file = "sao.cty";
    }
    std::string path = FILE_find_on_path(file);
    CtyFile f = CTY_open(path.c_str(), "r", count, data);
    if (!f)
        MESS_print(MESS_WARN, "CTY_open_file: Database file not found: %s\n", path.c_str());
    return f;
}

CtyFile CTY_open(const char *path, const char *mode, int *info, bool from_data) {
    if (info)
        *info = 0;
    if (!path)
        return nullptr;
    FilePtr fp = from_data ? FILE_open_data(path) : FILE_open(path, mode && *mode ? mode : "r");
    if (!fp)
        return nullptr;
    auto f = std::make_unique<CTY_FILE>();
    f->fp = std::move(fp);
    f->path = path;
    if (info) {
        int64_t size = FILE_size(path);
        int64_t n = size > 0 ? size / CTY_LINE_SIZE : 0;
        if (n > CTY_MAX_EXPECTED)
            n = CTY_MAX_EXPECTED;
        *info = n < 1 ? 1 : static_cast<int>(n);
    }
    return f;
}

int CTY_read(CTY_FILE *file, CTY_REC *rec) {
    if (!file || !file->fp)
        return 0;
    std::string line;
    while (str_read_line(file->fp.get(), line, kMaxLine, true)) {
        ++file->line;
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        if (CTY_parse_line(line, rec))
            return 1;
        if (++file->bad <= kMaxReported)
            MESS_print(MESS_WARN, "CTY_read: %s line %ld: not a station line\n", file->path.c_str(),
                       file->line);
        else if (file->bad == kMaxReported + 1)
            MESS_print(MESS_WARN, "CTY_read: %s: further bad lines not reported\n",
                       file->path.c_str());
    }
    return 0;
}

int CTY_rewind(CTY_FILE *file) {
    if (!file || !file->fp)
        return -1;
    std::rewind(file->fp.get());
    file->line = 0;
    file->bad = 0;
    return 0;
}

int CTY_close(CtyFile &file) {
    file.reset();
    return 0;
}

int CTY_parse_line(const std::string &line, CTY_REC *rec) {
    std::vector<std::string> w = str_split_words(line);
    if (w.size() < 10 || !rec)
        return 0;
    CTY_REC r;
    r.name = cut(w[0], 20);
    r.state = cut(w[1], 2);
    r.country = cut(w[2], 2);
    r.id = cut(w[3], 9);
    if (!read_prior(w[4], &r) || !read_float(w[5], &r.lat) || !read_float(w[6], &r.lon) ||
        !read_float(w[7], &r.elev) || !read_int(w[8], &r.wmo) || !read_int(w[9], &r.last))
        return 0;
    if (r.elev > 9000.0f)
        r.elev = MISSING_F;
    *rec = std::move(r);
    return 1;
}

bool CTY_has_id(const CTY_REC &rec) {
    return !rec.id.empty() && !(rec.id.size() > 1 && rec.id[1] == '-');
}

int CTY_get(const char *file, const char *id, CTY_REC *rec, bool file_from_data) {
    if (!id || !*id)
        return 0;
    CtyFile f = CTY_open_file(file, nullptr, file_from_data);
    if (!f)
        return 0;
    MESS_print(MESS_MESS, "Searching the city database file for: %s ...\n", id);
    const std::string want(id);
    CTY_REC r;
    while (CTY_read(f.get(), &r)) {
        bool hit = (CTY_has_id(r) && str_equal_nocase(r.id, want)) ||
                   str_equal_nocase(r.name, want) ||
                   (r.wmo != 99999 && r.wmo >= 0 && str_printf("%05d", r.wmo) == want);
        if (hit) {
            if (rec)
                *rec = std::move(r);
            return 1;
        }
    }
    return 0;
}

int CTY_get_loc(const char *file, const char *id, float *lat, float *lon, bool file_from_data) {
    CTY_REC r;
    if (!CTY_get(file, id, &r, file_from_data))
        return 0;
    if (lat)
        *lat = r.lat;
    if (lon)
        *lon = r.lon;
    return 1;
}
