// Helpers of the AREA reader and navigation tests.
#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../../tools/area_fixture_lib.h"
#include "base/mess.h"
#include "map/maptran.h"
#include "satformats/area.h"
#include "satformats/area_domain.h"
#include "satformats/gvar.h"
#include "satformats/sat_read.h"
#include "satformats/sat_tran.h"
#include "satformats/satnav.h"
#include "support/test_support.h"

namespace areatest {

struct FileCloser {
    void operator()(FILE *f) const {
        if (f)
            std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// An unnamed temporary file holding bytes, positioned anywhere (the reader rewinds).
inline File file_of(const std::vector<uint8_t> &bytes) {
    File f(std::tmpfile());
    if (f && !bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f.get());
    return f;
}

inline int read_bytes(const std::vector<uint8_t> &bytes, AREA *area) {
    File f = file_of(bytes);
    return SAT_read_AREA(f.get(), area);
}

inline int read_path(const std::string &path, AREA *area) {
    File f(std::fopen(path.c_str(), "rb"));
    return SAT_read_AREA(f.get(), area);
}

// Collects every message printed while alive (all levels switched on).
class MessageCapture {
  public:
    MessageCapture() : path_(dir_.file("messages.txt")), old_mask_(MESS_get()) {
        MESS_set(1, 0xFFFFFFFFu);
        MESS_file(path_.c_str(), "w");
    }
    ~MessageCapture() {
        MESS_file_close();
        MESS_set(-1, ~old_mask_);
    }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;
    std::string text() {
        MESS_file_close();
        std::ifstream in(path_);
        std::stringstream ss;
        ss << in.rdbuf();
        MESS_file(path_.c_str(), "a");
        return ss.str();
    }

  private:
    testsupport::TempDir dir_;
    std::string path_;
    uint32_t old_mask_;
};

// Resets every module the AREA code touches.
inline void reset_all() {
    SAT_read_reset_state();
    AREA_reset_state();
    GVAR_reset_state();
    MAP_reset_state();
}

} // namespace areatest
