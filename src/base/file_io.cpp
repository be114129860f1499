// File I/O. Two openers, because names come from two places: a name the user typed or
// configured may be a command ('|'), a standard stream or start with '~'; a name found inside
// a data file is none of these and must be a bounded regular file, so that a hostile file
// cannot run a command, block on a FIFO or stream a device.
#include "base/file_io.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "base/flag.h"
#include "base/resrc.h"
#include "base/string.h"

namespace {

bool is_full_path(const std::string &name) {
    return !name.empty() && (name[0] == '.' || name[0] == '/' || name[0] == '~');
}

bool stat_of(const char *name, struct stat &sb) {
    if (!name)
        return false;
    std::string path = FILE_expand_home(name);
    return stat(path.c_str(), &sb) == 0;
}

// Creates every missing directory above the last '/' of path.
void make_parents(const std::string &path) {
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1)) {
        std::string dir = path.substr(0, p);
        struct stat sb;
        if (stat(dir.c_str(), &sb) != 0)
            mkdir(dir.c_str(), 0755);
    }
}

} // namespace

void FILE_closer::operator()(FILE *f) const {
    if (!f)
        return;
    if (f == stdin || f == stdout || f == stderr) {
        std::fflush(f);
        return;
    }
    if (pipe)
        pclose(f);
    else
        std::fclose(f);
}

bool FILE_is_std_name(const std::string &name) {
    return name.empty() || name == "-" || str_equal_nocase(name, "std") ||
           str_equal_nocase(name, "stdn");
}

FilePtr FILE_open(const char *name_in, const char *mode_in) {
    std::string name = name_in ? name_in : "";
    std::string mode = mode_in && *mode_in ? mode_in : "r";
    bool reading = mode[0] == 'r';
    if (FILE_is_std_name(name))
        return FilePtr(reading ? stdin : stdout);
    // A file that exists under the name as given is that file, whatever its first character
    // (a shell glob hands us "|x.img" as readily as "x.img").
    struct stat sb;
    if ((name[0] == '|' || name[0] == '~') && lstat(name.c_str(), &sb) == 0)
        return FilePtr(std::fopen(name.c_str(), mode.c_str()));
    if (name[0] == '|') {
        std::fflush(nullptr);
        return FilePtr(popen(name.c_str() + 1, reading ? "r" : "w"), FILE_closer{true});
    }
    std::string path = FILE_expand_home(name);
    if (mode[0] == 'w' || mode[0] == 'a')
        make_parents(path);
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

std::optional<std::string> FILE_read_whole(const std::string &name, int64_t max_bytes) {
    FilePtr f = FILE_open_data(name.c_str(), max_bytes);
    if (!f)
        return std::nullopt;
    const auto cap = static_cast<uint64_t>(max_bytes);
    try {
        std::string text;
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
            if (text.size() + n > cap)
                return std::nullopt;
            text.append(buf, n);
        }
        if (std::ferror(f.get()))
            return std::nullopt;
        return text;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

std::string FILE_find_on_path(const std::string &name) {
    const char *dir = RES_get("file_path");
    if (!dir || !*dir || is_full_path(name) || FILE_is_std_name(name))
        return name;
    return FILE_add_path_delim(dir) + name;
}

int FILE_add_path(const char *dir_in, const char *name_in, std::string *out) {
    std::string dir = dir_in ? dir_in : "";
    std::string name = name_in ? name_in : "";
    std::string result;
    int joined = 0;
    if (dir.empty() || FILE_is_std_name(name) || is_full_path(name) || name[0] == '|') {
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
    std::string path = FILE_expand_home(name);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    make_parents(path);
    mkdir(path.c_str(), 0755);
    return FILE_is_dir(path.c_str()) ? 1 : 0;
}

int FILE_type(const char *name_in) {
    std::string name = name_in ? name_in : "";
    if (name.empty())
        return -1;
    FilePtr f(std::fopen(FILE_expand_home(name).c_str(), "rb"));
    if (!f) {
        size_t dash = name.find('-');
        if (dash == std::string::npos || dash == 0)
            return -1;
        f.reset(std::fopen(FILE_expand_home(name.substr(0, dash)).c_str(), "rb"));
        if (!f)
            return -1;
    }
    char buf[10] = {};
    size_t n = std::fread(buf, 1, sizeof buf, f.get());
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

int FILE_overwrite(const char *name_in, int mode) {
    std::string name = name_in ? name_in : "";
    if (FILE_is_std_name(name) || !FILE_exist(name.c_str()))
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
