// Output sink of the paper and metafile devices: a file, a pipe or (for tests) a string.
// The first write error sticks: later writes are dropped, the error is reported once at
// level 192 when the sink is closed, and close() returns -1. A pipe also fails when its
// command ends with a non-zero status; while a pipe is open SIGPIPE is ignored, so that a
// command that stops reading early gives a write error instead of ending the program.
#pragma once

#include <csignal>
#include <cstdarg>
#include <cstddef>
#include <string>

#include "base/files.h"

class GksSink {
  public:
    GksSink() = default;
    GksSink(GksSink &&) = default;
    GksSink &operator=(GksSink &&) = default;
    GksSink(const GksSink &) = delete;
    GksSink &operator=(const GksSink &) = delete;
    ~GksSink();

    // Writes into an open stream (owned) named `name` in messages; a pipe when the stream
    // came from FILE_open with a "|command" name.
    static GksSink to_file(FilePtr file, std::string name);
    // Appends to a string the caller keeps alive while the sink is open.
    static GksSink to_string(std::string *text);

    bool is_open() const { return file_ != nullptr || text_ != nullptr; }
    bool failed() const { return failed_; }

    void printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void vprintf(const char *format, va_list ap);
    void write(const void *data, size_t size);
    void put_byte(unsigned value);
    void put_u16(unsigned value); // big-endian

    // Flushes and closes; 0 on success, -1 when nothing was open or a write failed.
    int close();

  private:
    void fail() { failed_ = true; }
    FilePtr file_;
    std::string *text_ = nullptr;
    std::string name_;
    bool failed_ = false;
    bool pipe_ = false;
    struct sigaction old_pipe_action_ {};
};
