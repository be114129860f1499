#include "gks/gks_sink.h"

#include <cstdio>
#include <vector>

#include "base/mess.h"

GksSink::~GksSink() {
    close();
}

GksSink GksSink::to_file(FilePtr file, std::string name) {
    GksSink s;
    s.file_ = std::move(file);
    s.name_ = std::move(name);
    s.pipe_ = s.file_ && s.file_.get_deleter().pipe;
    if (s.pipe_) {
        // Set after the command started, so that it keeps the default action itself.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &s.old_pipe_action_);
    }
    return s;
}

GksSink GksSink::to_string(std::string *text) {
    GksSink s;
    s.text_ = text;
    s.name_ = "string";
    return s;
}

void GksSink::vprintf(const char *format, va_list ap) {
    if (!is_open() || failed_)
        return;
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        fail();
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, ap);
    write(buf.data(), static_cast<size_t>(n));
}

void GksSink::printf(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
}

void GksSink::write(const void *data, size_t size) {
    if (!is_open() || failed_ || size == 0)
        return;
    if (text_) {
        text_->append(static_cast<const char *>(data), size);
        return;
    }
    if (std::fwrite(data, 1, size, file_.get()) != size)
        fail();
}

void GksSink::put_byte(unsigned value) {
    unsigned char b = static_cast<unsigned char>(value & 0xFF);
    write(&b, 1);
}

void GksSink::put_u16(unsigned value) {
    unsigned char b[2] = {static_cast<unsigned char>((value >> 8) & 0xFF),
                          static_cast<unsigned char>(value & 0xFF)};
    write(b, 2);
}

int GksSink::close() {
    if (!is_open())
        return -1;
    int status = 0;
    if (file_) {
        if (std::fflush(file_.get()) != 0 || std::ferror(file_.get()))
            fail();
        if (pipe_) {
            status = pclose(file_.release());
            sigaction(SIGPIPE, &old_pipe_action_, nullptr);
        }
        file_.reset();
    }
    text_ = nullptr;
    if (failed_)
        MESS_print(MESS_WARN, "write error on %s: output is incomplete\n", name_.c_str());
    else if (status != 0)
        MESS_print(MESS_WARN, "command %s failed: output is incomplete\n", name_.c_str());
    return failed_ || status != 0 ? -1 : 0;
}
