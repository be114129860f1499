// Resource files: one "name value" pair per line, '#' comments, quoted values,
// and conditional blocks driven by tags (DEF/UNDEF/IF/ELIF/ELSE/END). Names are
// patterns such as "*plot_domain" or "xsat.plot_domain" matched against the
// program name (or the title given with the "name" option) and a resource.
#include "base/def_read.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/mess.h"
#include "base/string.h"

#include <sys/stat.h>

namespace {

constexpr size_t kMaxLine = 249; // characters kept of one line
constexpr size_t kMaxTags = 10;

struct DefState {
    std::vector<std::string> tags;
    std::string title; // "name" option; "" when not given
};

DefState &st() {
    static DefState s;
    return s;
}

struct FileCloser {
    void operator()(FILE *f) const {
        if (f)
            std::fclose(f);
    }
};

// One open conditional block.
struct Block {
    bool outer_active; // every enclosing block is in an active branch
    bool active;       // the current branch is active
    bool taken;        // some branch of this block was already active
};

bool is_dir(const std::string &path) {
    struct stat sb {};
    return ::stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

bool is_file(const std::string &path) {
    struct stat sb {};
    return ::stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

std::string join(const std::string &dir, const char *name) {
    if (!dir.empty() && dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

// Splits the line into its first word and the value that follows (a quoted value runs to
// the closing quote, blanks included, or to the end of the line without one); the number of
// parts found.
int split_words(const std::string &line, std::string &first, std::string &second) {
    std::vector<std::string> words = str_split_words(line);
    if (words.empty())
        return 0;
    first = words[0];
    if (words.size() < 2)
        return 1;
    if (words[1][0] != '"') {
        second = words[1];
        return 2;
    }
    const char *blanks = " \t\n\v\f\r"; // what str_split_words splits at
    size_t open = line.find_first_not_of(blanks, line.find_first_not_of(blanks) + first.size());
    size_t close = line.find('"', open + 1);
    second =
        line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    return 2;
}

// The "program.resource" text a name pattern is matched against.
std::string target_name(const char *prog, const char *name) {
    const std::string &title = st().title;
    std::string p = prog ? prog : "";
    std::string r = name ? name : "";
    if (title.empty())
        return p + "." + r;
    if (title[0] == '+')
        return p + "." + title.substr(1) + "." + r;
    return title + "." + r;
}

// Pattern match: plain characters in sequence; '*' skips to the next
// occurrence of the literal text that follows it (a trailing '*' takes the rest).
bool match(const std::string &pat, const std::string &text) {
    size_t p = 0, t = 0;
    while (p < pat.size()) {
        if (pat[p] == '*') {
            while (p < pat.size() && pat[p] == '*')
                ++p;
            if (p == pat.size())
                return true;
            size_t q = pat.find('*', p);
            std::string lit = pat.substr(p, q == std::string::npos ? std::string::npos : q - p);
            size_t at = text.find(lit, t);
            if (at == std::string::npos)
                return false;
            t = at + lit.size();
            p += lit.size();
        } else {
            if (t >= text.size() || text[t] != pat[p])
                return false;
            ++p;
            ++t;
        }
    }
    return t == text.size();
}

} // namespace

struct DEF_FILE {
    std::unique_ptr<FILE, FileCloser> fp;
    std::vector<Block> blocks;
};

void DEF_reset_state() {
    st() = DefState{};
}

DEF_FILE *DEF_open(const char *entry) {
    std::string path = entry ? entry : "";
    if (path.empty()) {
        path = ".zordef";
    } else if (is_dir(path)) {
        if (is_file(join(path, "zor.cfg")))
            path = join(path, "zor.cfg");
        else if (is_file(join(path, ".zordef")))
            path = join(path, ".zordef");
        else
            path = join(path, "Zor.res");
    }
    if (is_dir(path))
        return nullptr;
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        return nullptr;
    auto *d = new DEF_FILE;
    d->fp.reset(f);
    return d;
}

void DEF_close(DEF_FILE *file) {
    delete file;
}

int DEF_get(DEF_FILE *file, std::string &name, std::string &value) {
    if (!file || !file->fp)
        return 0;
    std::string line, first, second;
    auto &blocks = file->blocks;
    auto active = [&blocks]() {
        return blocks.empty() || (blocks.back().outer_active && blocks.back().active);
    };
    while (str_read_line(file->fp.get(), line, kMaxLine, false)) {
        if (!line.empty() && line[0] == '#')
            continue;
        first.clear();
        second.clear();
        int words = split_words(line, first, second);
        if (words == 0)
            continue;
        if (first == "IF") {
            bool outer = active();
            bool on = DEF_is_tag(second.c_str());
            blocks.push_back({outer, on, on});
            continue;
        }
        if (first == "ELIF") {
            if (blocks.empty()) {
                MESS_print(192, "DEF_get: elif without an if\n");
                continue;
            }
            Block &b = blocks.back();
            b.active = !b.taken && DEF_is_tag(second.c_str());
            b.taken = b.taken || b.active;
            continue;
        }
        if (first == "ELSE") {
            if (blocks.empty()) {
                MESS_print(192, "DEF_get: else without an if\n");
                continue;
            }
            Block &b = blocks.back();
            b.active = !b.taken;
            b.taken = true;
            continue;
        }
        if (first == "END") {
            if (blocks.empty()) {
                MESS_print(192, "DEF_get: end without an if\n");
                continue;
            }
            blocks.pop_back();
            continue;
        }
        if (!active())
            continue;
        if (first == "DEF" && words == 2) {
            DEF_tag(second.c_str());
            continue;
        }
        if (first == "UNDEF" && words == 2) {
            DEF_untag(second.c_str());
            continue;
        }
        if (words < 2)
            continue;
        name = str_lower(first);
        if (!name.empty() && name.back() == ':')
            name.pop_back();
        value = second;
        return 1;
    }
    return 0;
}

int DEF_tag(const char *tag) {
    if (!tag || !*tag)
        return -1;
    auto &tags = st().tags;
    if (std::find(tags.begin(), tags.end(), tag) != tags.end())
        return 1;
    if (tags.size() >= kMaxTags) {
        MESS_print(192, "DEF_tag: at most %zu tags, \"%s\" ignored\n", kMaxTags, tag);
        return -1;
    }
    tags.emplace_back(tag);
    return 1;
}

int DEF_untag(const char *tag) {
    if (!tag)
        return 0;
    auto &tags = st().tags;
    auto it = std::find(tags.begin(), tags.end(), tag);
    if (it == tags.end())
        return 0;
    tags.erase(it);
    return 1;
}

bool DEF_is_tag(const char *tag) {
    if (!tag)
        return false;
    const auto &tags = st().tags;
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

void DEF_name(const char *title) {
    st().title = title ? title : "";
}

bool DEF_cmp(const char *pattern, const char *prog, const char *name) {
    if (!pattern || !name)
        return false;
    return match(pattern, target_name(prog, name));
}

bool DEF_valid(const char *pattern, const char *prog) {
    if (!pattern)
        return false;
    std::string last = DEF_parse_name(pattern);
    if (last.empty())
        return false;
    return DEF_cmp(pattern, prog, last.c_str());
}

std::string DEF_parse_name(const char *pattern) {
    if (!pattern)
        return {};
    std::string p = pattern;
    size_t pos = p.find_last_of("*.");
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

const char *DEF_env(const char *prog, const char *name, const char *env) {
    if (!name || !*name)
        return nullptr;
    const std::string &title = st().title;
    std::string p = prog ? prog : "";
    std::string first;
    if (title.empty())
        first = "zor" + p + "." + name;
    else if (title[0] == '+')
        first = "zor" + p + "." + title.substr(1) + "." + name;
    else
        first = "zor" + title + "." + name;
    if (const char *v = std::getenv(first.c_str()))
        return v;
    if (env && *env)
        if (const char *v = std::getenv(env))
            return v;
    std::string last = std::string("zor") + name;
    return std::getenv(last.c_str());
}
