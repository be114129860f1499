// File-name conventions of the suite. A data type ("sat_vis") selects a line of the
// naming-convention file: a template such as "%S/%Y%m%d_%h%n_%e.ara" that turns an
// observation time into a path. From it follow the step between consecutive files ("late
// offset") and the reverse match that reads the date back out of a typed name.
//
// Traps: the late offset only exists once a template was expanded (it comes from the %d/%h
// codes and "every K units" fixed fields), so callers go through FILE_get_late_off(), which
// expands a template when needed and never answers less than one second (templates without
// a day or hour code step by an hour). A template is a path pattern: a convention line whose
// template would start a command ('|') is refused like any other bad line.
#include "base/file_name.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <vector>

#include "base/file_io.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"

using namespace file_detail;

namespace {

// Step used when a template has no day, hour or "every K" field.
constexpr int64_t DEFAULT_LATE_OFF = HOUR;
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
    int64_t late_off = MISSING;
};

struct NameState {
    Convention cv;
    // Substitution keys ("grid:L=500", the domain text as 'r'): they outlive a convention,
    // as other modules set them before the type is chosen.
    std::vector<std::pair<char, std::string>> keys;
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
};

NameState &st() {
    static NameState s;
    return s;
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

int64_t round_down(int64_t t, int64_t step) {
    if (step <= 0)
        return t;
    return floor_div(t, step) * step;
}

// Fills day of the year and day of the week when year, month and day are known.
void complete_date(DATE &d) {
    if (d.year == MISSING || d.month == MISSING || d.day == MISSING)
        return;
    DATE full = from_sec(to_sec(d));
    d.julian = full.julian;
    d.wday = full.wday;
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
    for (const auto &kv : st().keys)
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
    const NameState &s = st();
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
    NameState &s = st();
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

} // namespace

int file_detail::build_name(const DATE *date, std::string *out) {
    NameState &s = st();
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

namespace {

// ----------------------------------------------------------- convention file

void clear_convention(const char *type) {
    NameState &s = st();
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

// "%s %s %s %d": type, template, header template ("-" = none), minimum size. A template
// read from the file is a path pattern: one that would start a command is refused.
bool parse_conv_line(const std::string &line, ConvLine &out) {
    std::vector<std::string> words = str_split_words(line);
    if (words.size() < 4 || words[1][0] == '|' || words[2][0] == '|')
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

} // namespace

// ====================================================================== detail

int64_t file_detail::floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Counted from the fixed hour and minute, so that a file fixed at 18 UTC once a day stays
// at 18 UTC.
int64_t file_detail::align(int64_t t, int64_t late) {
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

int64_t file_detail::to_sec(const DATE &date) {
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

DATE file_detail::from_sec(int64_t t) {
    DATE d;
    DATE_get_gmdate(&t, &d);
    return d;
}

bool file_detail::read_number(const std::string &s, size_t &pos, int64_t &value) {
    size_t start = pos;
    value = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
        if (value < 100000000)
            value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    return pos > start;
}

bool file_detail::read_span(const std::string &s, size_t &pos, int64_t &seconds) {
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

const FILE_TIME &file_detail::fixed_time() {
    return st().fixed;
}

int file_detail::resolve_typed(const std::string &name, std::string &path) {
    NameState &s = st();
    s.typed_dir.clear();
    s.date = DATE{};
    auto finish = [&](const std::string &p, int result) {
        s.name = p;
        s.name_type = 1;
        s.typed_name = p;
        path = p;
        return result;
    };
    if (!name.empty() && name[0] == '@')
        return finish(name.substr(1), 0);
    if (FILE_is_std_name(name) || str_equal_nocase(name, "none"))
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
        std::string dir = dir_name(expand(tmpl, &d, nullptr));
        std::string joined = name;
        if (!dir.empty())
            FILE_add_path(dir.c_str(), name.c_str(), &joined);
        return finish(joined, 1);
    }
    if (tmpl.size() >= 2 && tmpl[0] == '%' && path_resource(tmpl[1])) {
        std::string joined;
        FILE_add_path(resource_dir(tmpl[1]).c_str(), name.c_str(), &joined);
        if (FILE_exist(joined.c_str()))
            return finish(joined, 0);
    }
    return finish(name, 0);
}

std::vector<std::string> file_detail::available_files() {
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

void file_detail::clear_typed() {
    st().typed_name.clear();
    st().typed_dir.clear();
}

void file_detail::set_current(const std::string &name, int type, const DATE &date) {
    NameState &s = st();
    s.name = name;
    s.name_type = type;
    s.date = date;
}

const DATE &file_detail::current_date() {
    return st().date;
}

// ====================================================================== API

void FILE_reset_name_state() {
    st() = NameState{};
}

int FILE_set_key(char key, const char *value) {
    auto &keys = st().keys;
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
    // The template is the type text until a line is found.
    st().cv.conv = base;

    const char *conv_name = RES_get("name_conv");
    std::string path = FILE_find_on_path(conv_name && *conv_name ? conv_name : "name_conv");
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

int64_t FILE_date_seconds(const DATE *date) {
    if (!date)
        return 0;
    return align(to_sec(*date), FILE_get_late_off());
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
    NameState &s = st();
    s.saved.push_back({s.cv, s.typed_name, s.typed_dir});
    return 1;
}

int FILE_restore_name_conv() {
    NameState &s = st();
    if (s.saved.empty())
        return 0;
    s.cv = s.saved.back().cv;
    s.typed_name = s.saved.back().typed_name;
    s.typed_dir = s.saved.back().typed_dir;
    s.saved.pop_back();
    return 1;
}
