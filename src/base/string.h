// Text helpers shared by the whole program.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Splits text at every separator after removing trailing separators;
// consecutive separators give empty fields. Returns 0, or -1 (list empty)
// for empty or absent text.
int parse_string(const char *text, char separator, int *count, std::vector<std::string> *list);
// Releases a parsed list (kept for the procedural interface; clears it).
void free_parsed_array(std::vector<std::string> *list);

// Case-insensitive comparisons used by keyword matching.
bool str_equal_nocase(const std::string &a, const std::string &b);
// True when text begins with the first n characters of key (case-insensitive);
// text must be at least n characters long.
bool str_prefix_nocase(const std::string &text, const std::string &key, size_t n);
std::string str_lower(std::string s);
std::string str_trim(const std::string &s);
// printf into a std::string.
std::string str_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Splits a line into its blank-separated words.
std::vector<std::string> str_split_words(const std::string &line);

// Reads one line of a text file without its newline, keeping at most max_keep characters and
// dropping the rest of the line (*cut tells whether any were dropped). With strip_cr a carriage
// return before the newline goes too. False at end of file before any character, and false
// (with *cut set) when a line runs on past STR_LINE_HARD_MAX characters: no text file of the
// suite has such lines, and a device like /dev/zero would otherwise keep the reader busy for
// ever.
inline constexpr size_t STR_LINE_HARD_MAX = size_t{1} << 20;
bool str_read_line(FILE *f, std::string &line, size_t max_keep, bool strip_cr = true,
                   bool *cut = nullptr);
