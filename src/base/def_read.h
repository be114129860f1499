// Resource files: line reader with DEF/UNDEF/IF/ELIF/ELSE/END blocks and the
// name patterns that select a program's resources.
#pragma once

#include <cstdio>
#include <string>

struct DEF_FILE; // an open resource file with its conditional-block state

// Opens a resource file entry (empty: ".zordef"; a directory: its "zor.cfg",
// ".zordef" or "Zor.res"); nullptr when it cannot be opened.
DEF_FILE *DEF_open(const char *entry);
void DEF_close(DEF_FILE *file);
// Next delivered line as name (lower-cased, trailing ':' removed) and value;
// returns 1, or 0 at end of file.
int DEF_get(DEF_FILE *file, std::string &name, std::string &value);
// Conditional-block tags: add (DEF), remove (UNDEF), test.
int DEF_tag(const char *tag);
int DEF_untag(const char *tag);
bool DEF_is_tag(const char *tag);
// Title used for matching (set from the "name" option).
void DEF_name(const char *title);
// True when the pattern selects resource name of program prog.
bool DEF_cmp(const char *pattern, const char *prog, const char *name);
bool DEF_valid(const char *pattern, const char *prog);
std::string DEF_parse_name(const char *pattern);
// First set of "zor<prog>.<name>", env, "zor<name>"; nullptr when none.
const char *DEF_env(const char *prog, const char *name, const char *env);
void DEF_reset_state();
