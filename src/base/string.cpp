// Text helpers: separator splitting for option values and lists, and the
// case-insensitive comparisons every keyword table uses.
#include "base/string.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>

int parse_string(const char *text, char separator, int *count, std::vector<std::string> *list) {
    if (count)
        *count = 0;
    if (list)
        list->clear();
    if (!text)
        return -1;
    std::string copy(text);
    // Trailing separators carry no field: "a,b,," is two fields.
    size_t end = copy.find_last_not_of(separator);
    if (end == std::string::npos)
        return -1;
    copy.resize(end + 1);

    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t pos = copy.find(separator, start);
        if (pos == std::string::npos) {
            fields.push_back(copy.substr(start));
            break;
        }
        fields.push_back(copy.substr(start, pos - start));
        start = pos + 1;
    }
    if (count)
        *count = static_cast<int>(fields.size());
    if (list)
        *list = std::move(fields);
    return 0;
}

void free_parsed_array(std::vector<std::string> *list) {
    if (list) {
        list->clear();
        list->shrink_to_fit();
    }
}

namespace {
char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

bool str_equal_nocase(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool str_prefix_nocase(const std::string &text, const std::string &key, size_t n) {
    if (text.size() < n || key.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(text[i]) != lower(key[i]))
            return false;
    return true;
}

std::string str_lower(std::string s) {
    for (char &c : s)
        c = lower(c);
    return s;
}

std::string str_trim(const std::string &s) {
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string str_printf(const char *format, ...) {
    if (!format)
        return {};
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

std::vector<std::string> str_split_words(const std::string &line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        size_t b = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > b)
            words.push_back(line.substr(b, i - b));
    }
    return words;
}

bool str_read_line(FILE *f, std::string &line, size_t max_keep, bool strip_cr, bool *cut) {
    line.clear();
    if (cut)
        *cut = false;
    int c;
    bool any = false;
    size_t length = 0;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (++length > STR_LINE_HARD_MAX) {
            if (cut)
                *cut = true;
            return false;
        }
        if (line.size() < max_keep)
            line.push_back(static_cast<char>(c));
        else if (cut)
            *cut = true;
    }
    if (strip_cr && !line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}
