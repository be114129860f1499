// File sequences of the suite: the input file the program starts with (positional names,
// the "current" option, batch mode or the prompt), "current" and latest-file specifications
// counted from the present time or "zorcurtime", and the files an animation loop walks: the
// listed names, or the names of a span of hours in steps of the late offset.
//
// Trap: the file chosen first (typed, or found by a latest-file search) stands for the first
// date of a span itself, so a name that the template cannot rebuild still plays.
#include "base/file_seq.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/file_io.h"
#include "base/file_name.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"

using namespace file_detail;

namespace {

constexpr int DEFAULT_LATE_TRIES = 500;

enum class SeqMode { List, Single, Span };

struct SeqState {
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

SeqState &st() {
    static SeqState s;
    return s;
}

bool starts_nocase(const std::string &text, const char *key) {
    size_t n = std::strlen(key);
    return text.size() >= n && str_prefix_nocase(text, key, n);
}

bool same_time(const DATE &a, const DATE &b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute;
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

// ------------------------------------------------------- input file helpers

void list_files() {
    std::vector<std::string> names = available_files();
    for (const auto &n : names)
        MESS_print(MESS_PRINT, "  %s\n", n.c_str());
    MESS_print(MESS_PRINT, "%d files\n", static_cast<int>(names.size()));
}

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
    return FILE_is_std_name(name) || FILE_exist(name.c_str());
}

// A typed answer or positional name: a current specification or a file name. FILE_QUIT
// for "exit".
int resolve_answer(const std::string &answer, std::string &path) {
    if (is_current_spec(answer) && !FILE_exist(answer.c_str())) {
        FILE_set_current(answer.c_str(), &path);
        return 1;
    }
    return FILE_set_file(answer.c_str(), &path) == FILE_QUIT ? FILE_QUIT : 1;
}

// Non-interactive sources: positional names, the "current" option, batch. 0 when none
// applies, 1 when one gave a path, FILE_QUIT when the program is to end.
int automatic_file(std::string &path) {
    std::vector<std::string> names = positional_names();
    if (!names.empty()) {
        if (str_equal_nocase(names[0], "list")) {
            list_files();
            return FILE_QUIT;
        }
        return resolve_answer(names[0], path);
    }
    if (const char *cur = RES_get("current")) {
        FILE_set_current(cur, &path);
        return 1;
    }
    if (FLAG_batch()) {
        FILE_set_current("la", &path);
        return 1;
    }
    return 0;
}

int get_file(const char *prompt, std::string *out, int max_tries) {
    std::string path;
    if (int got = automatic_file(path); got != 0) {
        if (got == FILE_QUIT)
            return FILE_QUIT;
        MESS_print(MESS_MESS, "Current filename: %s\n", path.c_str());
        if (out)
            *out = path;
        if (usable(path))
            return 1;
        MESS_print(MESS_WARN, "File not found: %s\n", path.c_str());
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
            return FILE_QUIT;
        if (got > 0 && str_equal_nocase(answer, "list")) {
            list_files();
            continue;
        }
        if (got > 0 && !answer.empty()) {
            if (resolve_answer(answer, path) == FILE_QUIT)
                return FILE_QUIT;
            if (out)
                *out = path;
            if (usable(path))
                return 1;
        } else {
            path = answer;
        }
        MESS_print(MESS_WARN, "File not found: %s\n", path.c_str());
        if (++missing >= max_tries)
            return 0;
    }
}

// ------------------------------------------------------------ current files

// The most recent time not after base whose fixed fields equal the fixed values.
int64_t apply_fixed(int64_t base) {
    const FILE_TIME &f = fixed_time();
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

void FILE_reset_seq_state() {
    st() = SeqState{};
}

void FILE_reset_state() {
    FILE_reset_name_state();
    FILE_reset_seq_state();
}

int64_t FILE_set_current(const char *spec_in, std::string *out) {
    SeqState &s = st();
    std::string spec = str_trim(spec_in ? spec_in : "");
    Cursor c{spec};
    if (starts_nocase(spec, "cu")) {
        while (c.pos < spec.size() && std::isalpha(static_cast<unsigned char>(spec[c.pos])))
            ++c.pos;
        c.skip_blanks();
    }
    clear_typed();
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

    // 6. The name for that very time (its template rounds what it shows, %n by its own N);
    // only the seconds returned are rounded, those of the file named.
    DATE d = from_sec(t);
    build_name(&d, out);
    s.chosen_name = FILE_get_name();
    s.chosen_type = 0;
    s.chosen_date = current_date();
    return FILE_date_seconds(&s.chosen_date);
}

int FILE_set_file(const char *name_in, std::string *out) {
    std::string name = str_trim(name_in ? name_in : "");
    if (str_equal_nocase(name, "exit"))
        return FILE_QUIT;
    std::string path;
    int result = resolve_typed(name, path);
    SeqState &s = st();
    s.chosen_name = path;
    s.chosen_type = 1;
    s.chosen_date = current_date();
    if (out)
        *out = path;
    return result;
}

int FILE_get_file(const char *prompt, std::string *out) {
    return get_file(prompt, out, 4);
}

int FILE_get_file_only(const char *prompt, std::string *out) {
    return get_file(prompt, out, 1);
}

int FILE_first(const DATE *date) {
    SeqState &s = st();
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

    s.first = date ? *date : s.chosen_name.empty() ? current_date() : s.chosen_date;
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
    SeqState &s = st();
    auto give_first = [&]() {
        set_current(s.first_name, s.first_type, s.first_file_date);
        if (out)
            *out = s.first_name;
        return 1;
    };
    while (s.next_index < s.num_files) {
        int k = s.next_index++;
        std::string name;
        if (s.mode == SeqMode::Single)
            return give_first();
        if (s.mode == SeqMode::List) {
            if (FILE_set_file(s.list[static_cast<size_t>(k)].c_str(), &name) == FILE_QUIT) {
                s.next_index = s.num_files;
                return 0;
            }
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
