// Messages: one printing function for every line the program shows. A 32-bit
// mask (eight groups of four sub-levels) filters by level; the same settings
// choose the destinations (terminal, log file, a log file reopened for every
// message, a secondary copy file) and hold the screen after a page of lines.
//
// Levels with an error or warning bit (0xF0) go to standard error, everything
// else to standard output; both are flushed after each message so that output
// interleaves correctly with prompts.
#include "base/mess.h"

#include "base/date.h"
#include "base/file_io.h"
#include "base/flag.h"
#include "base/string.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDefaultMask = 0x000FFFFFu;
constexpr int kDefaultLines = 22;

struct MessState {
    uint32_t mask = kDefaultMask;
    int explicit_sets = 0;
    int out_mode = 1; // 1 terminal (+log), 0 log only, -1 stamped log + terminal, 2 reopened log
    FilePtr log;
    std::string log_name; // mode 2
    FilePtr copy;         // secondary output file
    int paging = 1;       // 0 off, 1 prompting only, 2 counting lines
    int max_lines = kDefaultLines;
    int lines = 0;
};

MessState &st() {
    static MessState s;
    return s;
}

struct LevelName {
    const char *name;
    uint32_t mask;
};

constexpr std::array<LevelName, 10> kLevels = {{{"none", 0x00000000u},
                                                {"print", MESS_PRINT},
                                                {"error", MESS_ERROR},
                                                {"warn", MESS_WARN},
                                                {"mess", MESS_MESS},
                                                {"out1", MESS_OUT1},
                                                {"out2", MESS_OUT2},
                                                {"out3", MESS_OUT3},
                                                {"out4", MESS_OUT4},
                                                {"debug", MESS_DEBUG}}};

// Every bit from the highest set bit of mask down to bit 0.
uint32_t cumulative(uint32_t mask) {
    if (mask == 0)
        return 0;
    uint32_t r = mask;
    for (int s = 1; s < 32; s <<= 1)
        r |= r >> s;
    return r;
}

std::string vformat(const char *format, va_list ap) {
    if (!format)
        return {};
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap2);
    va_end(ap2);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, ap);
        out.resize(static_cast<size_t>(n));
    }
    return out;
}

void put(std::FILE *f, const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
}

// Opens a log file through the suite's opener ('~', missing folders made, '|' a command:
// the name comes from the user's own settings); on failure the handle stays empty and
// messages go only to the terminal.
bool open_log(const std::string &name, const char *mode) {
    st().log = FILE_open(name.c_str(), mode);
    return st().log != nullptr;
}

// "fi=name": the separator is the one character after the keyword.
bool file_item(const std::string &item, size_t keyword_len, std::string &name) {
    if (item.size() <= keyword_len + 1)
        return false;
    name = item.substr(keyword_len + 1);
    return true;
}

bool level_item(const std::string &item) {
    std::string rest = item;
    char prefix = 0;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        prefix = rest[0];
        rest.erase(0, 1);
    }
    // A name is compared over its own length ("warning" is "warn"); a word longer than the
    // name that ends in a, b, c or d picks that sub-level.
    for (const LevelName &lv : kLevels) {
        size_t len = std::char_traits<char>::length(lv.name);
        if (!str_prefix_nocase(rest, lv.name, len))
            continue;
        uint32_t mask = lv.mask;
        if (rest.size() > len) {
            char sub = static_cast<char>(std::tolower(static_cast<unsigned char>(rest.back())));
            if (sub >= 'a' && sub <= 'd')
                mask &= 0x11111111u << (sub - 'a');
        }
        if (prefix == '+')
            st().mask |= mask;
        else if (prefix == '-')
            st().mask &= ~mask;
        else
            st().mask = cumulative(mask);
        return true;
    }
    return false;
}

bool apply_item(const std::string &item) {
    MessState &s = st();
    std::string low = str_lower(item);
    std::string name;
    auto starts = [&](const char *key) { return low.rfind(key, 0) == 0; };
    if (starts("@fi") || starts("+fi") || starts("-fi")) {
        if (!file_item(item, 3, name))
            return false;
        if (open_log(name, item[0] == '-' ? "w" : "a"))
            s.out_mode = item[0] == '@' ? -1 : 1;
        else
            MESS_print(MESS_WARN, "Unable to open message file %s\n", name.c_str());
        return true;
    }
    if (starts("dfi")) {
        if (!file_item(item, 3, name))
            return false;
        s.log.reset();
        s.log_name = name;
        s.out_mode = 2;
        return true;
    }
    if (starts("fi")) {
        if (!file_item(item, 2, name))
            return false;
        if (open_log(name, "a"))
            s.out_mode = 0;
        else
            MESS_print(MESS_WARN, "Unable to open message file %s\n", name.c_str());
        return true;
    }
    if (low == "nopage") {
        s.paging = 0;
        return true;
    }
    if (low == "page") {
        s.paging = 2;
        return true;
    }
    if (starts("line")) {
        if (low.size() <= 5)
            return false;
        long n = std::strtol(low.c_str() + 5, nullptr, 10);
        s.max_lines = n < 1 || n > 1000000 ? kDefaultLines : static_cast<int>(n);
        return true;
    }
    return level_item(item);
}

} // namespace

const char *ZOR_version() {
    return "1.0.0-LINUX-X11";
}

void MESS_reset_state() {
    st() = MessState{};
}

int MESS_print(uint32_t level, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    int r = MESS_vprint(level, format, ap);
    va_end(ap);
    return r;
}

int MESS_vprint(uint32_t level, const char *format, va_list ap) {
    MessState &s = st();
    if (!(level & s.mask) || !format)
        return 0;
    std::string text = vformat(format, ap);

    if (s.copy)
        put(s.copy.get(), text);
    if (s.out_mode == 2) {
        FilePtr f = FILE_open(s.log_name.c_str(), "a");
        if (f)
            put(f.get(), text);
    } else if (s.log) {
        if (s.out_mode == -1) {
            std::string stamp;
            DATE_get_current_str(stamp);
            stamp += " -- ";
            std::fwrite(stamp.data(), 1, stamp.size(), s.log.get());
        }
        put(s.log.get(), text);
    }
    if (s.out_mode == 0)
        return 0;

    put((level & 0xF0u) ? stderr : stdout, text);

    if (s.paging == 2) {
        for (const char *p = format; *p; ++p)
            if (*p == '\n')
                ++s.lines;
        if (s.lines > s.max_lines)
            MESS_hold(level, "Press return to continue\n");
    }
    return 1;
}

void MESS_print_prog(const char *title) {
    MESS_print(MESS_MESS, "      %s (Ver %s)\n\n", title ? title : "", ZOR_version());
}

int MESS_set_str(const char *text) {
    ++st().explicit_sets;
    int count = 0;
    std::vector<std::string> items;
    if (parse_string(text, ',', &count, &items) != 0)
        return 0;
    int result = 1;
    for (const std::string &raw : items) {
        std::string item = str_trim(raw);
        if (item.empty())
            continue;
        if (!apply_item(item)) {
            MESS_print(MESS_WARN, "Unknown message setting: %s\n", item.c_str());
            result = -1;
        }
    }
    return result;
}

int MESS_set(int code, uint32_t mask) {
    MessState &s = st();
    if (code >= 16 && s.explicit_sets > 0)
        return 0;
    switch (code) {
    case 0:
    case 10:
    case 20:
        s.mask = cumulative(mask);
        break;
    case -1:
    case 9:
    case 19:
        s.mask &= ~mask;
        break;
    case 1:
    case 11:
    case 21:
        s.mask |= mask;
        break;
    default:
        return 0;
    }
    if (code < 5)
        ++s.explicit_sets;
    return 1;
}

uint32_t MESS_get() {
    return st().mask;
}

bool MESS_check(uint32_t level) {
    return (level & st().mask) != 0;
}

int MESS_check_set() {
    return st().explicit_sets;
}

int MESS_get_max_lines() {
    return st().max_lines;
}

int MESS_file(const char *name, const char *mode) {
    MessState &s = st();
    s.copy.reset();
    if (!name || !*name)
        return -1;
    s.copy = FILE_open(name, mode && *mode ? mode : "w");
    return s.copy ? 1 : -1;
}

void MESS_file_close() {
    st().copy.reset();
}

void MESS_set_out(int mode) {
    if (mode >= -1 && mode <= 2)
        st().out_mode = mode;
}

void MESS_set_page(int paging) {
    if (paging >= 0 && paging <= 2)
        st().paging = paging;
}

int MESS_hold(uint32_t level, const char *text) {
    MessState &s = st();
    if (!(level & s.mask) || s.out_mode == 0 || FLAG_batch() || s.paging == 0)
        return 0;
    if (text && *text)
        put(((level & MESS_ERROR) && (level & MESS_WARN)) ? stderr : stdout, text);
    std::getchar();
    s.lines = 0;
    return 1;
}
