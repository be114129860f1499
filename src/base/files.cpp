// File names of the suite. A data type ("sat_vis") selects a line of the
// naming-convention file: a template such as "%S/%Y%m%d_%h%n_%e.ara" that turns
// an observation time into a path. From it follow the latest-file search, the
// step between consecutive files ("late offset"), the reverse match that reads
// the date back out of a typed name, and file sequences for animation loops.
//
// Traps: the late offset only exists once a template was expanded (it comes
// from the %d/%h codes and "every K units" fixed fields), so callers go through
// FILE_get_late_off(), which expands a template when needed and never answers
// less than one second (templates without a day or hour code step by an hour).
#include "base/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "base/system.h"

namespace {

constexpr int MISSING = -9999;
constexpr int64_t HOUR = 3600;
constexpr int64_t DAY = 86400;
// Step used when a template has no day, hour or "every K" field.
constexpr int64_t DEFAULT_LATE_OFF = HOUR;
constexpr int DEFAULT_LATE_TRIES = 500;
// Longest convention line read; longer lines are reported and skipped.
constexpr size_t MAX_CONV_LINE = 4096;
// Longest template or name the reverse match looks at.
constexpr size_t MAX_MATCH_TEXT = 4096;
// Work limit of the reverse match (its '*' and directory choices backtrack).
constexpr long MATCH_BUDGET = 200000;

// One selected naming convention.
struct Convention {
    std::string conv;     // conversion template ("" = none)
    std::string header;   // header template ("" = none)
    int64_t min_size = 0; // minimum size of a usable file
    std::string ext;      // extension for %e
    std::vector<std::pair<char, std::string>> keys;
    int64_t late_off = MISSING;
};

enum class SeqMode { List, Single, Span };

struct FileState {
    Convention cv;
    struct Saved {
        Convention cv;
        std::string typed_name, typed_dir;
    };
    std::vector<Saved> saved;
    std::string name;       // current file name
    int name_type = 0;      // 1 typed by the user, 0 built from a date
    std::string typed_name; // last name resolved from user input
    std::string typed_dir;  // its directory when it carried one
    FILE_TIME fixed;
    DATE date;            // date of the current file
    int64_t min_size = 0; // explicit minimum for the latest-file search
    bool header_mode = false;
    // File sequence.
    std::vector<std::string> list;
    SeqMode mode = SeqMode::Span;
    DATE first;
    std::string first_name; // the chosen file, standing for the first date
    int first_type = 0;
    DATE first_file_date;
    // The input file chosen last (typed or "current"), kept across conventions.
    std::string chosen_name;
    int chosen_type = 0;
    DATE chosen_date;
    int64_t num_sec = 0;
    int64_t step = 0;
    int num_files = 0;
    int next_index = 0;
};

FileState &st() {
    static FileState s;
    return s;
}

// Streams FILE_open got from popen; the closer must pclose them.
std::set<FILE *> &pipes() {
    static std::set<FILE *> p;
    return p;
}

bool is_std_name(const std::string &name) {
    return name.empty() || name == "-" || str_equal_nocase(name, "std") ||
           str_equal_nocase(name, "stdn");
}

bool is_full_path(const std::string &name) {
    return !name.empty() && (name[0] == '.' || name[0] == '/' || name[0] == '~');
}

bool starts_nocase(const std::string &text, const char *key) {
    size_t n = std::strlen(key);
    return text.size() >= n && str_prefix_nocase(text, key, n);
}

std::string dir_name(const std::string &path) {
    size_t p = path.rfind('/');
    if (p == std::string::npos)
        return "";
    if (p == 0)
        return "/";
    return path.substr(0, p);
}

std::string strip_slash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

// ---------------------------------------------------------------- time helpers

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int64_t round_down(int64_t t, int64_t step) {
    if (step <= 0)
        return t;
    return floor_div(t, step) * step;
}

// Rounds down to a multiple of the late offset, counted from the fixed hour and
// minute so that a file fixed at 18 UTC once a day stays at 18 UTC.
int64_t align(int64_t t, int64_t late) {
    const FILE_TIME &f = st().fixed;
    int64_t anchor = 0;
    if (f.hour != MISSING && f.hour >= 0 && f.hour < 24)
        anchor += f.hour * HOUR;
    if (f.minute != MISSING && f.minute >= 0 && f.minute < 60)
        anchor += f.minute * 60;
    if (late <= 0)
        return t;
    anchor %= late;
    return round_down(t - anchor, late) + anchor;
}

// Seconds of a record whose missing fields take their first value.
int64_t to_sec(const DATE &date) {
    DATE d = date;
    if (d.year == MISSING) {
        DATE now;
        DATE_get_gmdate(nullptr, &now);
        d.year = now.year;
    }
    if (d.month == MISSING) {
        if (d.julian != MISSING && d.julian >= 1 && d.julian <= 366) {
            int m = 1, dd = 1;
            DATE_monday_julian(d.year, d.julian, &m, &dd);
            d.month = m;
            d.day = dd;
        } else {
            d.month = 1;
        }
    }
    if (d.day == MISSING)
        d.day = 1;
    if (d.hour == MISSING)
        d.hour = 0;
    if (d.minute == MISSING)
        d.minute = 0;
    if (d.second == MISSING)
        d.second = 0;
    return DATE_num_sec(&d);
}

DATE from_sec(int64_t t) {
    DATE d;
    DATE_get_gmdate(&t, &d);
    return d;
}

bool same_time(const DATE &a, const DATE &b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute;
}

// Fills day of the year and day of the week when year, month and day are known.
void complete_date(DATE &d) {
    if (d.year == MISSING || d.month == MISSING || d.day == MISSING)
        return;
    DATE full = from_sec(to_sec(d));
    d.julian = full.julian;
    d.wday = full.wday;
}

// "#YYYYMMDDhhmm" (any leading part of it) into a record; returns characters read.
size_t parse_stamp(const std::string &text, size_t pos, DATE &d) {
    static const int widths[] = {4, 2, 2, 2, 2};
    int32_t *fields[] = {&d.year, &d.month, &d.day, &d.hour, &d.minute};
    size_t p = pos;
    for (int i = 0; i < 5; ++i) {
        int w = widths[i];
        if (p + w > text.size())
            break;
        bool digits = true;
        for (int k = 0; k < w; ++k)
            digits = digits && std::isdigit(static_cast<unsigned char>(text[p + k]));
        if (!digits)
            break;
        *fields[i] = std::atoi(text.substr(p, w).c_str());
        p += w;
    }
    return p - pos;
}

// Reads an unsigned decimal number, capped so that it cannot overflow.
bool read_number(const std::string &s, size_t &pos, int64_t &value) {
    size_t start = pos;
    value = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
        if (value < 100000000)
            value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    return pos > start;
}

// "%dd%d:%d", "%d:%d", "%d" hours or ":%d" minutes, without sign; seconds.
bool read_span(const std::string &s, size_t &pos, int64_t &seconds) {
    size_t start = pos;
    int64_t a = 0, b = 0, c = 0;
    seconds = 0;
    bool have_a = read_number(s, pos, a);
    if (have_a && pos < s.size() && (s[pos] == 'd' || s[pos] == 'D')) {
        ++pos;
        seconds = a * DAY;
        if (read_number(s, pos, b)) {
            seconds += b * HOUR;
            if (pos < s.size() && s[pos] == ':') {
                ++pos;
                read_number(s, pos, c);
                seconds += c * 60;
            }
        }
        return true;
    }
    if (have_a)
        seconds = a * HOUR;
    if (pos < s.size() && s[pos] == ':') {
        size_t save = pos++;
        if (read_number(s, pos, b))
            seconds += b * 60;
        else if (!have_a)
            pos = save;
    }
    return pos > start;
}

// ------------------------------------------------------------ template expansion

const char *path_resource(char code) {
    switch (code) {
    case 'C':
        return "con_path";
    case 'D':
        return "data_path";
    case 'F':
        return "file_path";
    case 'G':
        return "grid_path";
    case 'I':
        return "image_path";
    case 'M':
        return "model_path";
    case 'R':
        return "raw_path";
    case 'S':
        return "sat_path";
    case 'T':
        return "text_path";
    case 'W':
        return "watch_path";
    default:
        return nullptr;
    }
}

std::string resource_dir(char code) {
    const char *v = RES_get(path_resource(code));
    if (!v || !*v || str_equal_nocase(v, "none"))
        return ".";
    return strip_slash(v);
}

std::string path_value(char code) {
    if (!st().typed_dir.empty())
        return st().typed_dir;
    return resource_dir(code);
}

const std::string *key_value(char key) {
    for (const auto &kv : st().cv.keys)
        if (kv.first == key)
            return &kv.second;
    return nullptr;
}

// A date field after the fixed "hour" fields: a fixed value replaces it, a
// fixed -K rounds it down to a multiple of K and makes the file step K units.
struct Field {
    int value = MISSING;
    int every = 0; // K of a fixed -K, 0 otherwise
    bool fixed = false;
};

Field effective(int date_value, int fixed) {
    Field f;
    if (fixed != MISSING && fixed >= 0) {
        f.value = fixed;
        f.fixed = true;
    } else if (fixed != MISSING && fixed < 0) {
        f.every = -fixed;
        if (date_value != MISSING && date_value >= 0)
            f.value = date_value / f.every * f.every;
    } else {
        f.value = date_value;
    }
    return f;
}

void lower_late(int64_t &late, int64_t candidate) {
    if (candidate > 0 && (late <= 0 || candidate < late))
        late = candidate;
}

void put_field(std::string &out, int value, int width) {
    if (value == MISSING || value < 0) {
        out += "00";
        return;
    }
    out += str_printf("%0*d", width, value);
}

// Expands a template for a date (null: no date). late receives the step
// between files of the template (MISSING when nothing in it sets one).
std::string expand(const std::string &tmpl, const DATE *date, int64_t *late_out) {
    const FileState &s = st();
    DATE none;
    const DATE &d = date ? *date : none;
    Field year = effective(d.year, s.fixed.year);
    Field month = effective(d.month, s.fixed.month);
    Field day = effective(d.day, s.fixed.day);
    Field hour = effective(d.hour, s.fixed.hour);
    Field minute = effective(d.minute, s.fixed.minute);
    int julian = d.julian;
    if (year.value != MISSING && month.value >= 1 && month.value <= 12 && day.value >= 1 &&
        day.value <= 31)
        julian = DATE_julian_monday(year.value, month.value, day.value);

    int64_t late = MISSING;
    std::string out;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        char c = tmpl[i];
        if (c == '{' || c == '}')
            continue;
        if (c == ' ') {
            out += '_';
            continue;
        }
        if (c != '%' || i + 1 >= tmpl.size()) {
            out += c;
            continue;
        }
        size_t p = i + 1;
        int64_t n = 1;
        bool explicit_n = read_number(tmpl, p, n);
        if (n < 1)
            n = 1;
        if (p >= tmpl.size()) {
            out += tmpl.substr(i);
            break;
        }
        char code = tmpl[p];
        i = p;
        auto rounded = [n](int v) { return v == MISSING ? v : static_cast<int>(v / n * n); };
        switch (code) {
        case 'Y':
            put_field(out, rounded(year.value), 4);
            if (year.every)
                lower_late(late, year.every * 365 * DAY);
            break;
        case 'y':
            put_field(out, year.value == MISSING ? MISSING : rounded(year.value % 100), 2);
            if (year.every)
                lower_late(late, year.every * 365 * DAY);
            break;
        case 'm':
            put_field(out, rounded(month.value), 2);
            if (month.every)
                lower_late(late, month.every * 30 * DAY);
            break;
        case 'b':
            if (month.value >= 1 && month.value <= 12)
                out += DATE_month_lower(month.value);
            else
                out += "00";
            break;
        case 'd':
            put_field(out, day.value, 2);
            if (day.every)
                lower_late(late, day.every * DAY);
            else if (!day.fixed)
                lower_late(late, n * DAY);
            break;
        case 'j':
            put_field(out, julian, 3);
            break;
        case 'h':
            put_field(out, rounded(hour.value), 2);
            if (hour.every)
                lower_late(late, std::max<int64_t>(hour.every, n) * HOUR);
            else if (!hour.fixed)
                lower_late(late, n * HOUR);
            break;
        case 'n':
            put_field(out, rounded(minute.value), 2);
            // Files every N minutes when the template says so ("%15n").
            if (minute.every)
                lower_late(late, std::max<int64_t>(minute.every, n) * 60);
            else if (explicit_n && n > 1 && !minute.fixed)
                lower_late(late, n * 60);
            break;
        case 'e':
            out += s.cv.ext;
            break;
        case '%':
            out += '%';
            break;
        default:
            if (path_resource(code)) {
                out += path_value(code);
            } else if (const std::string *k = key_value(code)) {
                out += *k;
            } else {
                out += '%';
                out += code;
            }
            break;
        }
    }
    if (late_out)
        *late_out = late;
    return out;
}

const std::string &active_template() {
    return st().header_mode && !st().cv.header.empty() ? st().cv.header : st().cv.conv;
}

// Current file becomes a name built from a date.
void set_built(const std::string &name, const DATE &date) {
    FileState &s = st();
    s.name = name;
    s.name_type = 0;
    s.date = date;
    complete_date(s.date);
}

// The date a record turns into once the fixed fields are put in.
DATE with_fixed(const DATE &d) {
    const FILE_TIME &f = st().fixed;
    DATE r = d;
    auto apply = [](int32_t &v, int fixed) {
        if (fixed != MISSING && fixed >= 0)
            v = fixed;
    };
    apply(r.year, f.year);
    apply(r.month, f.month);
    apply(r.day, f.day);
    apply(r.hour, f.hour);
    apply(r.minute, f.minute);
    return r;
}

int build_name(const DATE *date, std::string *out) {
    FileState &s = st();
    const std::string &tmpl = active_template();
    const FILE_TIME &f = s.fixed;
    bool any_fixed = f.year != MISSING || f.month != MISSING || f.day != MISSING ||
                     f.hour != MISSING || f.minute != MISSING;
    if (!date && !any_fixed && !s.typed_name.empty()) {
        s.name = s.typed_name;
        s.name_type = 1;
        if (out)
            *out = s.name;
        return 1;
    }
    if (tmpl.empty()) {
        if (out)
            out->clear();
        return 0;
    }
    DATE use;
    if (date)
        use = *date;
    else
        use = with_fixed(DATE{});
    int64_t late = MISSING;
    std::string name = expand(tmpl, date ? date : &use, &late);
    if (&tmpl == &s.cv.conv)
        s.cv.late_off = late;
    set_built(name, with_fixed(use));
    if (out)
        *out = name;
    return 1;
}

// ----------------------------------------------------------- convention file

void clear_convention(const char *type) {
    FileState &s = st();
    s.cv = Convention{};
    if (type)
        s.cv.conv = type;
    s.typed_name.clear();
    s.typed_dir.clear();
    s.name_type = 0;
}

struct ConvLine {
    std::string type, conv, header;
    int64_t min_size = 0;
};

// "%s %s %s %d": type, template, header template ("-" = none), minimum size.
bool parse_conv_line(const std::string &line, ConvLine &out) {
    std::vector<std::string> words;
    size_t p = 0;
    while (words.size() < 4) {
        while (p < line.size() && std::isspace(static_cast<unsigned char>(line[p])))
            ++p;
        if (p >= line.size())
            break;
        size_t start = p;
        while (p < line.size() && !std::isspace(static_cast<unsigned char>(line[p])))
            ++p;
        words.push_back(line.substr(start, p - start));
    }
    if (words.size() < 4)
        return false;
    const std::string &num = words[3];
    size_t k = 0;
    if (num[0] == '+' || num[0] == '-')
        k = 1;
    if (k >= num.size() || !std::isdigit(static_cast<unsigned char>(num[k])))
        return false;
    errno = 0;
    long long v = std::strtoll(num.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return false;
    out.type = words[0];
    out.conv = words[1];
    out.header = words[2] == "-" ? "" : words[2];
    out.min_size = v;
    return true;
}

std::string ext_of(const std::string &type) {
    size_t p = type.rfind('_');
    return p == std::string::npos ? "" : type.substr(p + 1);
}

// ------------------------------------------------------------- reverse match

enum class Tok { Lit, Star, Path, Digits, MonthName, Ext, Key };

struct Token {
    Tok kind;
    char c = 0;     // literal, path code, date code or key
    int digits = 0; // for Digits
};

std::vector<Token> tokenize(const std::string &tmpl) {
    std::vector<Token> toks;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        char c = tmpl[i];
        if (c == '{' || c == '}')
            continue;
        if (c == ' ') {
            toks.push_back({Tok::Lit, '_'});
            continue;
        }
        if (c == '*') {
            toks.push_back({Tok::Star, 0});
            continue;
        }
        if (c != '%' || i + 1 >= tmpl.size()) {
            toks.push_back({Tok::Lit, c});
            continue;
        }
        size_t p = i + 1;
        while (p < tmpl.size() && std::isdigit(static_cast<unsigned char>(tmpl[p])))
            ++p;
        if (p >= tmpl.size()) {
            for (size_t k = i; k < tmpl.size(); ++k)
                toks.push_back({Tok::Lit, tmpl[k]});
            break;
        }
        char code = tmpl[p];
        i = p;
        switch (code) {
        case 'Y':
            toks.push_back({Tok::Digits, code, 4});
            break;
        case 'j':
            toks.push_back({Tok::Digits, code, 3});
            break;
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 'n':
            toks.push_back({Tok::Digits, code, 2});
            break;
        case 'b':
            toks.push_back({Tok::MonthName, code});
            break;
        case 'e':
            toks.push_back({Tok::Ext, code});
            break;
        case '%':
            toks.push_back({Tok::Lit, '%'});
            break;
        default:
            if (path_resource(code)) {
                toks.push_back({Tok::Path, code});
            } else if (key_value(code)) {
                toks.push_back({Tok::Key, code});
            } else {
                toks.push_back({Tok::Lit, '%'});
                toks.push_back({Tok::Lit, code});
            }
            break;
        }
    }
    return toks;
}

struct MatchResult {
    int year = MISSING, yy = MISSING, month = MISSING, day = MISSING, julian = MISSING;
    int hour = MISSING, minute = MISSING;
    std::string dir; // what the first path code matched
    bool have_dir = false;
};

class Matcher {
  public:
    Matcher(const std::vector<Token> &toks, const std::string &name) : toks_(toks), name_(name) {}
    bool run(MatchResult &r) { return step(0, 0, r); }

  private:
    const std::vector<Token> &toks_;
    const std::string &name_;
    long budget_ = MATCH_BUDGET;

    bool set_field(int &field, int v) {
        if (field != MISSING && field != v)
            return false;
        field = v;
        return true;
    }

    bool has_slash_from(size_t ni) const { return name_.find('/', ni) != std::string::npos; }

    // Fixed-width tokens are matched in a loop; only the tokens that offer a
    // choice recurse, so the depth stays at the number of such tokens.
    bool step(size_t ti, size_t ni, MatchResult r) {
        if (--budget_ <= 0)
            return false;
        for (; ti < toks_.size(); ++ti) {
            const Token &t = toks_[ti];
            switch (t.kind) {
            case Tok::Lit:
                if (ni >= name_.size() || name_[ni] != t.c)
                    return false;
                ++ni;
                continue;
            case Tok::Digits: {
                if (ni + t.digits > name_.size())
                    return false;
                int v = 0;
                for (int k = 0; k < t.digits; ++k) {
                    char ch = name_[ni + k];
                    if (!std::isdigit(static_cast<unsigned char>(ch)))
                        return false;
                    v = v * 10 + (ch - '0');
                }
                if (!set_field(date_field(r, t.c), v))
                    return false;
                ni += t.digits;
                continue;
            }
            case Tok::MonthName: {
                if (ni + 3 > name_.size())
                    return false;
                int m = DATE_decode_month(name_.substr(ni, 3).c_str());
                if (m <= 0 || !set_field(r.month, m))
                    return false;
                ni += 3;
                continue;
            }
            case Tok::Star:
                for (size_t k = ni; k <= name_.size(); ++k)
                    if (step(ti + 1, k, r))
                        return true;
                return false;
            case Tok::Path:
                return match_path(ti, ni, r);
            case Tok::Ext:
            case Tok::Key: {
                const std::string &lit = t.kind == Tok::Ext ? st().cv.ext : *key_value(t.c);
                if (!lit.empty() && name_.compare(ni, lit.size(), lit) == 0 &&
                    step(ti + 1, ni + lit.size(), r))
                    return true;
                // Any other word (a typed file of a sibling type still gives its date).
                for (size_t k = ni + 1; k <= name_.size() && name_[k - 1] != '/'; ++k)
                    if (step(ti + 1, k, r))
                        return true;
                return false;
            }
            }
        }
        if (ni != name_.size())
            return false;
        done_ = r;
        return true;
    }

    static int &date_field(MatchResult &r, char code) {
        switch (code) {
        case 'Y':
            return r.year;
        case 'y':
            return r.yy;
        case 'm':
            return r.month;
        case 'd':
            return r.day;
        case 'j':
            return r.julian;
        case 'h':
            return r.hour;
        default:
            return r.minute;
        }
    }

    // The resource directory itself, any directory part of the typed name, or
    // nothing at all when the name carries no directory.
    bool match_path(size_t ti, size_t ni, MatchResult r) {
        const Token &t = toks_[ti];
        auto with_dir = [&](size_t end) {
            MatchResult m = r;
            if (!m.have_dir) {
                m.dir = name_.substr(ni, end - ni);
                m.have_dir = true;
            }
            return step(ti + 1, end, m);
        };
        std::string dir = resource_dir(t.c);
        if (name_.compare(ni, dir.size(), dir) == 0 && with_dir(ni + dir.size()))
            return true;
        for (size_t p = ni; p < name_.size(); ++p)
            if (name_[p] == '/' && with_dir(p))
                return true;
        bool slash_next =
            ti + 1 < toks_.size() && toks_[ti + 1].kind == Tok::Lit && toks_[ti + 1].c == '/';
        if (slash_next && !has_slash_from(ni))
            return step(ti + 2, ni, r);
        return false;
    }

  public:
    MatchResult done_;
};

bool match_name(const std::string &tmpl, const std::string &name, MatchResult &out) {
    if (tmpl.empty() || tmpl.size() > MAX_MATCH_TEXT || name.size() > MAX_MATCH_TEXT)
        return false;
    std::vector<Token> toks = tokenize(tmpl);
    Matcher m(toks, name);
    MatchResult r;
    if (!m.run(r))
        return false;
    out = m.done_;
    return true;
}

DATE date_of_match(const MatchResult &r) {
    DATE d;
    d.year = r.year;
    if (d.year == MISSING && r.yy != MISSING)
        d.year = r.yy < 50 ? 2000 + r.yy : 1900 + r.yy;
    d.month = r.month;
    d.day = r.day;
    d.hour = r.hour;
    d.minute = r.minute;
    if (r.julian != MISSING && d.year != MISSING && (d.month == MISSING || d.day == MISSING) &&
        r.julian >= 1 && r.julian <= 366) {
        int m = 1, dd = 1;
        DATE_monday_julian(d.year, r.julian, &m, &dd);
        d.month = m;
        d.day = dd;
    }
    d.julian = r.julian;
    // Fields the name does not carry come from the fixed "hour" fields.
    d = with_fixed(d);
    complete_date(d);
    return d;
}

// -------------------------------------------------------------- listing

std::vector<std::string> available_files() {
    std::vector<std::string> names;
    const std::string &tmpl = st().cv.conv;
    std::string dir = ".";
    std::string base_tmpl = tmpl;
    if (!tmpl.empty()) {
        DATE now = from_sec(DATE_get_time());
        std::string built = expand(tmpl, &now, nullptr);
        std::string d = dir_name(built);
        if (!d.empty())
            dir = d;
        size_t slash = tmpl.rfind('/');
        if (slash != std::string::npos)
            base_tmpl = tmpl.substr(slash + 1);
    }
    std::string open_dir = FILE_expand_home(dir);
    DIR *dp = opendir(open_dir.c_str());
    if (!dp)
        return names;
    while (dirent *e = readdir(dp)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        MatchResult r;
        if (!base_tmpl.empty() && !match_name(base_tmpl, n, r))
            continue;
        std::string full = dir == "." ? n : dir + "/" + n;
        if (FILE_is_file(full.c_str()))
            names.push_back(full);
    }
    closedir(dp);
    std::sort(names.begin(), names.end());
    return names;
}

void list_files() {
    std::vector<std::string> names = available_files();
    for (const auto &n : names)
        MESS_print(MESS_PRINT, "  %s\n", n.c_str());
    MESS_print(MESS_PRINT, "%d files\n", static_cast<int>(names.size()));
}

// ------------------------------------------------------- input file helpers

std::vector<std::string> positional_names() {
    std::vector<std::string> list;
    const char *v = RES_get("filename");
    if (!v || !*v)
        return list;
    int count = 0;
    if (parse_string(v, '\n', &count, &list) != 0)
        list.clear();
    list.erase(std::remove(list.begin(), list.end(), std::string()), list.end());
    return list;
}

bool is_current_spec(const std::string &name) {
    return !name.empty() &&
           (name[0] == '#' || starts_nocase(name, "cu") || starts_nocase(name, "la"));
}

bool usable(const std::string &name) {
    return is_std_name(name) || FILE_exist(name.c_str());
}

// A typed answer or positional name: a current specification or a file name.
void resolve_answer(const std::string &answer, std::string &path) {
    if (is_current_spec(answer) && !FILE_exist(answer.c_str()))
        FILE_set_current(answer.c_str(), &path);
    else
        FILE_set_file(answer.c_str(), &path);
}

// Non-interactive sources: positional names, the "current" option, batch.
// Returns false when none applies.
bool automatic_file(std::string &path) {
    std::vector<std::string> names = positional_names();
    if (!names.empty()) {
        if (str_equal_nocase(names[0], "list")) {
            list_files();
            ZOR_exit(0);
        }
        resolve_answer(names[0], path);
        return true;
    }
    if (const char *cur = RES_get("current")) {
        FILE_set_current(cur, &path);
        return true;
    }
    if (FLAG_batch()) {
        FILE_set_current("la", &path);
        return true;
    }
    return false;
}

int get_file(const char *prompt, std::string *out, int max_tries) {
    std::string path;
    if (automatic_file(path)) {
        MESS_print(MESS_MESS, "Current filename: %s\n", path.c_str());
        if (out)
            *out = path;
        if (usable(path))
            return 1;
        MESS_print(MESS_WARN, "File not found: %s\n", path.c_str());
        if (max_tries > 1)
            ZOR_exit(10);
        return 0;
    }
    MESS_print(MESS_PRINT, "List of available files:\n");
    list_files();
    const char *text = prompt && *prompt ? prompt : "Enter file name (list, la, cu, exit): ";
    int missing = 0;
    while (true) {
        std::string answer;
        int got = ZOR_prompts(text, answer, 80);
        answer = str_trim(answer);
        if (got > 0 && str_equal_nocase(answer, "exit"))
            ZOR_exit(0);
        if (got > 0 && str_equal_nocase(answer, "list")) {
            list_files();
            continue;
        }
        if (got > 0 && !answer.empty()) {
            resolve_answer(answer, path);
            if (out)
                *out = path;
            if (usable(path))
                return 1;
        } else {
            path = answer;
        }
        MESS_print(MESS_WARN, "File not found: %s\n", path.c_str());
        if (++missing >= max_tries) {
            if (max_tries > 1)
                ZOR_exit(10);
            return 0;
        }
    }
}

// ------------------------------------------------------------ current files

// The most recent time not after base whose fixed fields equal the fixed values.
int64_t apply_fixed(int64_t base) {
    const FILE_TIME &f = st().fixed;
    auto is_set = [](int v) { return v != MISSING && v >= 0; };
    int32_t DATE::*members[] = {&DATE::year, &DATE::month, &DATE::day, &DATE::hour, &DATE::minute};
    const int fixed[] = {f.year, f.month, f.day, f.hour, f.minute};
    int finest = -1;
    bool any = false;
    for (int i = 0; i < 5; ++i)
        if (is_set(fixed[i])) {
            finest = i;
            any = true;
        }
    if (!any)
        return base;
    DATE b = from_sec(base);
    auto candidate = [&](DATE d, int64_t &t) {
        for (int i = 0; i < 5; ++i)
            if (is_set(fixed[i]))
                d.*members[i] = fixed[i];
        d.second = 0;
        if (d.month < 1 || d.month > 12 || d.day < 1 || d.hour > 23 || d.minute > 59)
            return false;
        int dim = DATE_julian_monday(d.year, d.month, 1);
        int next = d.month == 12 ? (DATE_is_leap(d.year) ? 367 : 366)
                                 : DATE_julian_monday(d.year, d.month + 1, 1);
        if (d.day > next - dim)
            return false;
        t = to_sec(d);
        return t <= base;
    };
    int64_t t = 0;
    if (candidate(b, t))
        return t;
    // Go back one unit of a coarser free field, finest first; months may need
    // several steps when a fixed day does not exist in them.
    for (int i = finest - 1; i >= 0; --i) {
        if (is_set(fixed[i]))
            continue;
        DATE d = b;
        for (int k = 1; k <= 24; ++k) {
            if (i == 0) {
                d.year = b.year - k;
            } else if (i == 1) {
                int m = b.month - k;
                d.year = b.year + static_cast<int>(floor_div(m - 1, 12));
                d.month = static_cast<int>(m - 1 - floor_div(m - 1, 12) * 12) + 1;
            } else {
                int64_t unit = i == 2 ? DAY : HOUR;
                DATE back = from_sec(base - k * unit);
                d = back;
            }
            if (candidate(d, t))
                return t;
            if (i >= 2)
                break;
        }
    }
    return base;
}

struct Cursor {
    const std::string &s;
    size_t pos = 0;
    void skip_blanks() {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
    }
    bool at(char c) const { return pos < s.size() && s[pos] == c; }
    bool at_letter(char c) const {
        return pos < s.size() && std::tolower(static_cast<unsigned char>(s[pos])) == c;
    }
};

// [+|-]span; none given: false. A sign directly before 'l' is left for it.
bool read_offset(Cursor &c, int64_t &seconds) {
    size_t save = c.pos;
    int sign = -1;
    if (c.at('+') || c.at('-')) {
        sign = c.at('+') ? 1 : -1;
        ++c.pos;
    }
    int64_t span = 0;
    if (!read_span(c.s, c.pos, span)) {
        c.pos = save;
        return false;
    }
    seconds = sign * span;
    return true;
}

bool qualifies(const std::string &name, int64_t min) {
    int64_t size = FILE_size(name.c_str());
    return size >= 0 && size > min;
}

} // namespace

// ====================================================================== API

void FILE_closer::operator()(FILE *f) const {
    if (!f)
        return;
    if (f == stdin || f == stdout || f == stderr) {
        std::fflush(f);
        return;
    }
    auto it = pipes().find(f);
    if (it != pipes().end()) {
        pipes().erase(it);
        pclose(f);
        return;
    }
    std::fclose(f);
}

void FILE_reset_state() {
    st() = FileState{};
}

int FILE_set_key(char key, const char *value) {
    auto &keys = st().cv.keys;
    std::string v = value ? value : "";
    for (auto &kv : keys)
        if (kv.first == key) {
            kv.second = v;
            return 1;
        }
    keys.emplace_back(key, v);
    return 1;
}

const char *FILE_get_key(char key) {
    const std::string *v = key_value(key);
    return v ? v->c_str() : nullptr;
}

int FILE_set_name(const char *type_in) {
    std::string type = type_in ? type_in : "";
    if (type.empty() || str_equal_nocase(type, "none")) {
        clear_convention(nullptr);
        return 0;
    }
    if (type[0] == '@') {
        clear_convention(type.c_str() + 1);
        return 0;
    }
    clear_convention(nullptr);
    size_t colon = type.find(':');
    std::string base = type.substr(0, colon);
    while (colon != std::string::npos) {
        size_t next = type.find(':', colon + 1);
        std::string def = type.substr(colon + 1, next == std::string::npos ? std::string::npos
                                                                           : next - colon - 1);
        if (def.size() >= 2 && def[1] == '=') {
            FILE_set_key(def[0], def.c_str() + 2);
            MESS_print(MESS_DEBUG, "KEY: %c = %s\n", def[0], def.c_str() + 2);
        }
        colon = next;
    }
    // The keys survive; the template is the type text until a line is found.
    st().cv.conv = base;

    const char *conv_name = RES_get("name_conv");
    std::string file = conv_name && *conv_name ? conv_name : "name_conv";
    std::string path;
    const char *fp = RES_get("file_path");
    FILE_add_path(fp ? fp : "", file.c_str(), &path);
    FilePtr f = FILE_open(path.c_str(), "r");
    if (!f || f.get() == stdin) {
        MESS_print(MESS_WARN, "FILE_set_name: No file name convention file: %s\n", path.c_str());
        return 0;
    }
    std::string line;
    bool too_long = false;
    int lineno = 0;
    ConvLine exact, partial;
    bool have_exact = false, have_partial = false;
    while (!have_exact && str_read_line(f.get(), line, MAX_CONV_LINE, true, &too_long)) {
        ++lineno;
        std::string t = str_trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        ConvLine cl;
        if (too_long || !parse_conv_line(t, cl)) {
            MESS_print(MESS_WARN, "FILE_set_name: bad line %d in %s\n", lineno, path.c_str());
            continue;
        }
        if (str_equal_nocase(cl.type, base)) {
            exact = cl;
            have_exact = true;
        } else if (!have_partial && cl.type.size() < base.size() &&
                   str_prefix_nocase(base, cl.type, cl.type.size())) {
            partial = cl;
            have_partial = true;
        }
    }
    Convention &cv = st().cv;
    if (have_exact) {
        MESS_print(MESS_DEBUG, "File name match for: %s\n", base.c_str());
        cv.conv = exact.conv;
        cv.header = exact.header;
        cv.min_size = exact.min_size;
        cv.ext = ext_of(base);
        return 1;
    }
    if (have_partial) {
        cv.conv = partial.conv;
        cv.header = partial.header;
        cv.min_size = partial.min_size;
        cv.ext = ext_of(base);
        MESS_print(MESS_DEBUG, "File name partial match for: %s-%s ext: %s\n", partial.type.c_str(),
                   base.c_str(), cv.ext.c_str());
        return 1;
    }
    MESS_print(MESS_DEBUG, "No file name conversion for: %s\n", base.c_str());
    return 0;
}

int FILE_set_header(int on) {
    int was = st().header_mode ? 1 : 0;
    st().header_mode = on != 0;
    return was;
}

int FILE_set_date(const DATE *date, std::string *out) {
    return build_name(date, out);
}

int FILE_set_date_off(const DATE *date, int64_t seconds, std::string *out) {
    DATE base;
    if (date)
        base = *date;
    else if (st().date.year != MISSING)
        base = st().date;
    else
        base = from_sec(DATE_get_time());
    DATE shifted = from_sec(to_sec(base) + seconds);
    return build_name(&shifted, out);
}

int64_t FILE_get_late_off() {
    Convention &cv = st().cv;
    if (cv.late_off == MISSING && !cv.conv.empty()) {
        DATE now = from_sec(DATE_get_time());
        int64_t late = MISSING;
        expand(cv.conv, &now, &late);
        cv.late_off = late;
    }
    return cv.late_off > 0 ? cv.late_off : DEFAULT_LATE_OFF;
}

int FILE_set_time(const FILE_TIME *fields) {
    st().fixed = fields ? *fields : FILE_TIME{};
    st().cv.late_off = MISSING;
    return 1;
}

int FILE_set_min_size(int64_t bytes) {
    st().min_size = bytes > 0 ? bytes : 0;
    return 1;
}

int64_t FILE_get_min_size() {
    return st().min_size > 0 ? st().min_size : st().cv.min_size;
}

int FILE_get_date(DATE *date) {
    if (!date)
        return 0;
    *date = st().date;
    return st().date.year != MISSING ? 1 : 0;
}

const char *FILE_get_name() {
    return st().name.c_str();
}

int FILE_save_name_conv() {
    FileState &s = st();
    s.saved.push_back({s.cv, s.typed_name, s.typed_dir});
    return 1;
}

int FILE_restore_name_conv() {
    FileState &s = st();
    if (s.saved.empty())
        return 0;
    s.cv = s.saved.back().cv;
    s.typed_name = s.saved.back().typed_name;
    s.typed_dir = s.saved.back().typed_dir;
    s.saved.pop_back();
    return 1;
}

int64_t FILE_set_current(const char *spec_in, std::string *out) {
    FileState &s = st();
    std::string spec = str_trim(spec_in ? spec_in : "");
    Cursor c{spec};
    if (starts_nocase(spec, "cu")) {
        while (c.pos < spec.size() && std::isalpha(static_cast<unsigned char>(spec[c.pos])))
            ++c.pos;
        c.skip_blanks();
    }
    s.typed_name.clear();
    s.typed_dir.clear();
    // Nothing more than "current": the newest file.
    if (c.pos >= spec.size()) {
        spec = "la";
        c.pos = 0;
    }

    // 1. Base time.
    int64_t t = 0;
    DATE stamp;
    if (c.at('#') && c.pos + 1 < spec.size() &&
        std::isdigit(static_cast<unsigned char>(spec[c.pos + 1]))) {
        c.pos += 1 + parse_stamp(spec, c.pos + 1, stamp);
        t = to_sec(stamp);
    } else if (const char *env = std::getenv("zorcurtime"); env && *env) {
        std::string e = str_trim(env);
        size_t p = !e.empty() && e[0] == '#' ? 1 : 0;
        if (parse_stamp(e, p, stamp) > 0)
            t = to_sec(stamp);
        else
            t = DATE_get_time();
    } else {
        t = DATE_get_time();
    }
    c.skip_blanks();

    // 2. Fixed fields of the "hour" option.
    t = apply_fixed(t);

    // 3. Offset.
    int64_t off = 0;
    if (read_offset(c, off))
        t += off;
    c.skip_blanks();

    // 4. Latest file.
    int64_t late = FILE_get_late_off();
    bool forward = false;
    if ((c.at('+') || c.at('-')) && c.pos + 1 < spec.size() &&
        std::tolower(static_cast<unsigned char>(spec[c.pos + 1])) == 'l') {
        forward = c.at('+');
        ++c.pos;
    }
    if (c.at_letter('l')) {
        while (c.pos < spec.size() && std::isalpha(static_cast<unsigned char>(spec[c.pos])))
            ++c.pos;
        int64_t tries = DEFAULT_LATE_TRIES;
        if (c.at('#')) {
            ++c.pos;
            int64_t n = 0;
            if (read_number(spec, c.pos, n) && n > 0)
                tries = n;
        }
        int64_t min = FILE_get_min_size();
        int64_t start = align(t, late);
        bool found = false;
        for (int64_t k = 0; k < tries; ++k) {
            int64_t when = start + (forward ? k : -k) * late;
            DATE d = from_sec(when);
            std::string name;
            build_name(&d, &name);
            if (qualifies(name, min)) {
                t = when;
                found = true;
                break;
            }
        }
        if (!found) {
            MESS_print(MESS_DEBUG, "FILE_set_current: no file in %lld tries from %s\n",
                       static_cast<long long>(tries), spec.c_str());
            t = start;
        }
        c.skip_blanks();
        // 5. Second offset.
        if (read_offset(c, off))
            t += off;
        c.skip_blanks();
    }
    if (c.pos < spec.size())
        MESS_print(MESS_WARN, "FILE_set_current: ignoring \"%s\" in %s\n", spec.c_str() + c.pos,
                   spec.c_str());

    // 6. The name for that time.
    int64_t result = align(t, late);
    DATE d = from_sec(result);
    build_name(&d, out);
    s.chosen_name = s.name;
    s.chosen_type = 0;
    s.chosen_date = s.date;
    return result;
}

int FILE_set_file(const char *name_in, std::string *out) {
    FileState &s = st();
    std::string name = str_trim(name_in ? name_in : "");
    if (str_equal_nocase(name, "exit"))
        ZOR_exit(0);
    s.typed_dir.clear();
    s.date = DATE{};
    auto finish = [&](const std::string &path, int result) {
        s.name = path;
        s.name_type = 1;
        s.typed_name = path;
        s.chosen_name = path;
        s.chosen_type = 1;
        s.chosen_date = s.date;
        if (out)
            *out = path;
        return result;
    };
    if (!name.empty() && name[0] == '@')
        return finish(name.substr(1), 0);
    if (is_std_name(name) || str_equal_nocase(name, "none"))
        return finish(name, 0);

    const std::string &tmpl = s.cv.conv;
    MatchResult r;
    bool matched = match_name(tmpl, name, r);
    if (matched) {
        s.date = date_of_match(r);
        if (r.have_dir && !r.dir.empty())
            s.typed_dir = strip_slash(r.dir);
    }
    bool has_dir = name.find('/') != std::string::npos;
    if (has_dir && s.typed_dir.empty())
        s.typed_dir = dir_name(name);
    if (has_dir || FILE_exist(name.c_str()))
        return finish(name, matched ? 1 : 0);
    if (matched) {
        // A bare file name of the type: it lives in the template's directory.
        DATE d = s.date;
        std::string built = expand(tmpl, &d, nullptr);
        std::string dir = dir_name(built);
        std::string path = name;
        if (!dir.empty())
            FILE_add_path(dir.c_str(), name.c_str(), &path);
        return finish(path, 1);
    }
    if (tmpl.size() >= 2 && tmpl[0] == '%' && path_resource(tmpl[1])) {
        std::string path;
        FILE_add_path(resource_dir(tmpl[1]).c_str(), name.c_str(), &path);
        if (FILE_exist(path.c_str()))
            return finish(path, 0);
    }
    return finish(name, 0);
}

int FILE_get_file(const char *prompt, std::string *out) {
    return get_file(prompt, out, 4);
}

int FILE_get_file_only(const char *prompt, std::string *out) {
    return get_file(prompt, out, 1);
}

int FILE_first(const DATE *date) {
    FileState &s = st();
    s.list = positional_names();
    if (!s.list.empty() && is_current_spec(s.list[0]) && !FILE_exist(s.list[0].c_str()))
        s.list.clear();
    s.next_index = 0;
    s.num_sec = 0;
    int64_t late = FILE_get_late_off();
    s.step = late;
    if (const char *nh = RES_get("num_hour"); nh && *nh) {
        std::string text = str_trim(nh);
        size_t comma = text.find(',');
        std::string span = text.substr(0, comma);
        size_t p = 0;
        int sign = 1;
        if (!span.empty() && (span[0] == '-' || span[0] == '+')) {
            sign = span[0] == '-' ? -1 : 1;
            p = 1;
        }
        int64_t sec = 0;
        if (read_span(span, p, sec))
            s.num_sec = sign * sec;
        if (comma != std::string::npos) {
            std::string step_text = text.substr(comma + 1);
            size_t q = 0;
            int64_t step = 0;
            if (read_span(step_text, q, step) && step > 0)
                s.step = step;
        }
    }
    if (s.step > late)
        s.step = s.step / late * late;
    if (s.step <= 0)
        s.step = late;

    s.first = date ? *date : s.chosen_name.empty() ? s.date : s.chosen_date;
    // The file already chosen (FILE_get_file) stands for the first date itself,
    // so a name that the template cannot rebuild ('*', a foreign name) still works.
    s.first_name.clear();
    if (!s.chosen_name.empty() && (!date || same_time(*date, s.chosen_date))) {
        s.first_name = s.chosen_name;
        s.first_type = s.chosen_type;
        s.first_file_date = s.chosen_date;
    }
    if (s.list.size() > 1 || (s.list.size() == 1 && s.num_sec == 0)) {
        s.mode = SeqMode::List;
        s.num_files = static_cast<int>(std::min<size_t>(s.list.size(), INT_MAX));
    } else if (s.first.year == MISSING && !s.first_name.empty()) {
        s.mode = SeqMode::Single;
        s.num_files = 1;
    } else if (s.first.year == MISSING && s.list.size() == 1) {
        s.mode = SeqMode::List;
        s.num_files = 1;
    } else {
        s.mode = SeqMode::Span;
        if (s.first.year == MISSING)
            s.first = from_sec(align(DATE_get_time(), late));
        int64_t n = (s.num_sec < 0 ? -s.num_sec : s.num_sec) / s.step + 1;
        s.num_files = static_cast<int>(std::min<int64_t>(n, INT_MAX));
    }
    return s.num_files;
}

int FILE_get_next(std::string *out) {
    FileState &s = st();
    auto give_first = [&]() {
        s.name = s.first_name;
        s.name_type = s.first_type;
        s.date = s.first_file_date;
        if (out)
            *out = s.name;
        return 1;
    };
    while (s.next_index < s.num_files) {
        int k = s.next_index++;
        std::string name;
        if (s.mode == SeqMode::Single)
            return give_first();
        if (s.mode == SeqMode::List) {
            FILE_set_file(s.list[static_cast<size_t>(k)].c_str(), &name);
            if (s.num_files == 1 || usable(name)) {
                if (out)
                    *out = name;
                return 1;
            }
            MESS_print(MESS_WARN, "File not found: %s\n", name.c_str());
            continue;
        }
        // Time order: a negative span ends at the first date.
        int64_t index = s.num_sec < 0 ? k - (s.num_files - 1) : k;
        if (index == 0 && !s.first_name.empty())
            return give_first();
        DATE first = s.first;
        FILE_set_date_off(&first, index * s.step, &name);
        if (s.num_files == 1 || usable(name)) {
            if (out)
                *out = name;
            return 1;
        }
        MESS_print(MESS_DEBUG, "FILE_get_next: no file %s\n", name.c_str());
    }
    return 0;
}

int FILE_get_num_file() {
    return st().num_files > 1 ? st().num_files : 0;
}

int FILE_overwrite(const char *name_in, int mode) {
    std::string name = name_in ? name_in : "";
    if (is_std_name(name) || !FILE_exist(name.c_str()))
        return 1;
    if (mode != 1 && mode != 2)
        return 0;
    int64_t param = FLAG_getl(FLAG_FILE_PARAM);
    if (param >= 1 && param <= 3)
        return static_cast<int>(param);
    if (FLAG_batch())
        return 3;
    std::string prompt =
        mode == 1 ? str_printf("%s: exists overwrite (Y,N,Use,Over): ", name.c_str())
                  : str_printf("%s: exists overwrite (Y,N,Use,Over,App): ", name.c_str());
    std::string answer;
    if (ZOR_prompts(prompt.c_str(), answer, 80) <= 0)
        return 3;
    answer = str_trim(answer);
    char a = answer.empty()
                 ? 'N'
                 : static_cast<char>(std::toupper(static_cast<unsigned char>(answer[0])));
    if (a == 'Y' || a == 'O')
        return 1;
    if (mode == 2 && a == 'A')
        return 2;
    return 3;
}

std::string FILE_expand_home(const std::string &name) {
    if (name.empty() || name[0] != '~')
        return name;
    size_t slash = name.find('/');
    std::string user = name.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string rest = slash == std::string::npos ? "" : name.substr(slash);
    std::string home;
    if (user.empty()) {
        const char *h = std::getenv("HOME");
        if (h && *h) {
            home = h;
        } else if (passwd *pw = getpwuid(getuid()); pw && pw->pw_dir) {
            home = pw->pw_dir;
        }
    } else if (passwd *pw = getpwnam(user.c_str()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    if (home.empty())
        return name;
    return home + rest;
}

FilePtr FILE_open(const char *name_in, const char *mode_in) {
    std::string name = name_in ? name_in : "";
    std::string mode = mode_in && *mode_in ? mode_in : "r";
    bool reading = mode[0] == 'r';
    if (is_std_name(name))
        return FilePtr(reading ? stdin : stdout);
    if (name[0] == '|') {
        std::fflush(nullptr);
        FILE *p = popen(name.c_str() + 1, reading ? "r" : "w");
        if (p)
            pipes().insert(p);
        return FilePtr(p);
    }
    std::string path = FILE_expand_home(name);
    if (mode[0] == 'w' || mode[0] == 'a') {
        for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1)) {
            std::string dir = path.substr(0, p);
            struct stat sb;
            if (stat(dir.c_str(), &sb) != 0)
                mkdir(dir.c_str(), 0755);
        }
    }
    return FilePtr(std::fopen(path.c_str(), mode.c_str()));
}

FilePtr FILE_open_data(const char *name, int64_t max_bytes) {
    if (!name || !*name)
        return nullptr;
    // Non-blocking, so that a FIFO cannot stall the open; the type is checked on the open
    // descriptor, so the file cannot be swapped between a check and the open.
    int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat sb;
    if (fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode) || sb.st_size > max_bytes) {
        ::close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    return FilePtr(f);
}

std::string FILE_find_on_path(const std::string &name) {
    const char *dir = RES_get("file_path");
    if (!dir || !*dir || name.empty() || (name[0] != '|' && is_full_path(name)) ||
        (name[0] != '|' && is_std_name(name)))
        return name;
    return FILE_add_path_delim(dir) + name;
}

int FILE_add_path(const char *dir_in, const char *name_in, std::string *out) {
    std::string dir = dir_in ? dir_in : "";
    std::string name = name_in ? name_in : "";
    std::string result;
    int joined = 0;
    if (dir.empty() || is_std_name(name) || is_full_path(name) || name[0] == '|') {
        result = name;
    } else {
        result = FILE_add_path_delim(dir) + name;
        joined = 1;
    }
    if (out)
        *out = result;
    return joined;
}

std::string FILE_add_path_delim(const std::string &path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + "/";
}

namespace {
bool stat_of(const char *name, struct stat &sb) {
    if (!name)
        return false;
    std::string path = FILE_expand_home(name);
    return stat(path.c_str(), &sb) == 0;
}
} // namespace

bool FILE_exist(const char *name) {
    struct stat sb;
    return stat_of(name, sb);
}

bool FILE_is_dir(const char *name) {
    struct stat sb;
    return stat_of(name, sb) && S_ISDIR(sb.st_mode);
}

bool FILE_is_file(const char *name) {
    struct stat sb;
    return stat_of(name, sb) && S_ISREG(sb.st_mode);
}

bool FILE_is_fifo(const char *name) {
    struct stat sb;
    return stat_of(name, sb) && S_ISFIFO(sb.st_mode);
}

bool FILE_is_device(const char *name) {
    struct stat sb;
    return stat_of(name, sb) && (S_ISCHR(sb.st_mode) || S_ISBLK(sb.st_mode));
}

int64_t FILE_size(const char *name) {
    struct stat sb;
    return stat_of(name, sb) ? static_cast<int64_t>(sb.st_size) : -1;
}

int64_t FILE_modtime(const char *name) {
    struct stat sb;
    return stat_of(name, sb) ? static_cast<int64_t>(sb.st_mtime) : -1;
}

int FILE_delete(const char *name) {
    if (!name || !*name)
        return -1;
    return unlink(FILE_expand_home(name).c_str()) == 0 ? 1 : 0;
}

int FILE_make_dir(const char *name) {
    if (!name || !*name)
        return -1;
    std::string path = strip_slash(FILE_expand_home(name));
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
        mkdir(path.substr(0, p).c_str(), 0755);
    mkdir(path.c_str(), 0755);
    return FILE_is_dir(path.c_str()) ? 1 : 0;
}

int FILE_type(const char *name_in) {
    std::string name = name_in ? name_in : "";
    if (name.empty())
        return -1;
    std::string path = FILE_expand_home(name);
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        size_t dash = name.find('-');
        if (dash == std::string::npos || dash == 0)
            return -1;
        path = FILE_expand_home(name.substr(0, dash));
        f = std::fopen(path.c_str(), "rb");
        if (!f)
            return -1;
    }
    char buf[10] = {};
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    std::string head(buf, n);
    static const struct {
        const char *magic;
        int type;
    } kinds[] = {{"ZORSFC", 11}, {"ZORUPA", 12}, {"ZORRAW", 5},
                 {"ZORGRID", 6}, {"ZORMETA", 8}, {"ZORIMG", 9}};
    for (const auto &k : kinds)
        if (head.compare(0, std::strlen(k.magic), k.magic) == 0)
            return k.type;
    return -1;
}
