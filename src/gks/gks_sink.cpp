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
    return s;
}

GksSink GksSink::to_string(std::string *text) {
    GksSink s;
    s.text_ = text;
    s.name_ = "string";
    return s;
}

void GksSink::fail() {
    if (!failed_)
        MESS_print(MESS_WARN, "write error on %s: output is incomplete\n", name_.c_str());
    failed_ = true;
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
    if (file_) {
        if (std::fflush(file_.get()) != 0 || std::ferror(file_.get()))
            fail();
        file_.reset();
    }
    text_ = nullptr;
    return failed_ ? -1 : 0;
}
