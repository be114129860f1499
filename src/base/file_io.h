// File I/O of the suite: the two openers, the capped whole-file reader, path joins, existence
// and type tests, the existing-output-file policy and directory creation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// Closes what the openers opened: pclose for pipes, a flush only for the standard streams.
struct FILE_closer {
    bool pipe = false;
    void operator()(FILE *f) const;
};
using FilePtr = std::unique_ptr<FILE, FILE_closer>;

// Opens a name the user typed or configured (options, resources, environment, prompts):
// "|command" reads or writes a pipe, "", "-", "std" and "stdn" are the standard streams, a
// leading '~' is a home directory, and writing creates missing directories. A name that
// exists as a file is opened as that file, whatever its first character.
FilePtr FILE_open(const char *name, const char *mode);
// Opens a name read from inside a data file, for reading only. Such a name never starts a
// command, never means a standard stream and is never expanded with '~': it must name a
// regular file (no FIFO, device or directory) of at most max_bytes bytes. Null otherwise.
inline constexpr int64_t FILE_DATA_MAX_BYTES = int64_t{1} << 31;
FilePtr FILE_open_data(const char *name, int64_t max_bytes = FILE_DATA_MAX_BYTES);
// The whole of a file opened as FILE_open_data opens it. Nothing when it cannot be opened,
// is no regular file, holds more than max_bytes bytes (also when it grows past them while
// being read), fails to read or does not fit in memory.
std::optional<std::string> FILE_read_whole(const std::string &name, int64_t max_bytes);

// "", "-", "std" and "stdn" (any case): the standard streams.
bool FILE_is_std_name(const std::string &name);
// A name joined to the "file_path" directory (the name itself when it is a full path, a
// standard-stream name or no file path is set). A name starting with '|' is joined like any
// other name, so it names a file, not a command.
std::string FILE_find_on_path(const std::string &name);
// Joins dir and name with a '/' unless the name is a standard-stream name, a full path
// ('.', '/' or '~' first) or a command ('|' first); 1 when joined.
int FILE_add_path(const char *dir, const char *name, std::string *out);
std::string FILE_add_path_delim(const std::string &path);
// "~/x" and "~user/x" with the home directory put in; other names unchanged.
std::string FILE_expand_home(const std::string &name);

// Tests after home expansion.
bool FILE_exist(const char *name);
bool FILE_is_dir(const char *name);
bool FILE_is_file(const char *name);
bool FILE_is_fifo(const char *name);
bool FILE_is_device(const char *name);
int64_t FILE_size(const char *name); // -1 when missing
int64_t FILE_modtime(const char *name);
int FILE_delete(const char *name);
int FILE_make_dir(const char *name);
// Suite file type from the first bytes: 11 ZORSFC, 12 ZORUPA, 5 ZORRAW, 6 ZORGRID,
// 8 ZORMETA, 9 ZORIMG, -1 otherwise.
int FILE_type(const char *name);

// An existing output file: 1 write it, 2 append, 3 use it as it is, 0 for a bad mode.
int FILE_overwrite(const char *name, int mode);
