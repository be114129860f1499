// File sequences: the input file (positional names, the "current" option, the prompt),
// current and latest files, and the list or hour span of files an animation loop walks.
#pragma once

#include <cstdint>
#include <string>

#include "base/date.h"

// FILE_get_file, FILE_get_file_only and FILE_set_file: the user asked to end the program
// ("exit" as the name, or "list" as the first file name, which lists the files first). The
// program then ends with status 0; FILE_get_file's 0 (no file) ends it with status 10.
inline constexpr int FILE_QUIT = -2;

// The input file: 1 when it exists, 0 when not (after four answers at the prompt), or
// FILE_QUIT. out receives the path.
int FILE_get_file(const char *prompt, std::string *out);
// The same with a single answer.
int FILE_get_file_only(const char *prompt, std::string *out);
// Resolves a typed name; 1 when it matched the template (its date is known), 0 when not,
// FILE_QUIT for "exit".
int FILE_set_file(const char *name, std::string *out);
// "[#YYYYMMDDhhmm][[+|-]offset][la[#tries]][offset]"; null or empty: the newest
// file. The name is built from the exact resulting time; the time returned is the
// named file's, rounded down to the late offset (FILE_date_seconds).
int64_t FILE_set_current(const char *spec, std::string *out);
// Starts the file sequence; returns the number of names it will try.
int FILE_first(const DATE *date);
// Next existing file of the sequence; 0 at the end (also at a listed name "exit").
int FILE_get_next(std::string *out);
// Frames to loop: 0 for a single file.
int FILE_get_num_file();
// Forgets the sequence and the chosen input file (init paths and tests).
void FILE_reset_seq_state();
// Resets the conventions and the sequences both.
void FILE_reset_state();
