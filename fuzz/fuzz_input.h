// Fuzz inputs for readers that take a file name: the bytes go into one scratch
// file per process (in memory when /dev/shm is there), removed when done.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

class FuzzInputFile {
  public:
    FuzzInputFile(const char *name, const uint8_t *data, size_t size) {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(dir) + "/" + name + "." + std::to_string(getpid());
        FILE *f = std::fopen(path_.c_str(), "wb");
        if (f) {
            ok_ = std::fwrite(data, 1, size, f) == size;
            ok_ = std::fclose(f) == 0 && ok_;
        }
    }
    ~FuzzInputFile() { std::remove(path_.c_str()); }
    FuzzInputFile(const FuzzInputFile &) = delete;
    FuzzInputFile &operator=(const FuzzInputFile &) = delete;
    bool ok() const { return ok_; }
    const char *path() const { return path_.c_str(); }

  private:
    std::string path_;
    bool ok_ = false;
};
