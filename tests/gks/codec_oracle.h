// Independent decoders for the codec tests: ImageMagick, giflib and netpbm programs turn
// picture files into RGB bytes; a test skips when the program is missing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

#define XSAT_REQUIRE_PROGRAM(prog)                                                                 \
    if (!::testsupport::have_program(prog))                                                        \
    GTEST_SKIP() << (prog) << " not installed (tools/setup.sh installs it)"

namespace oracle {

struct Rgb {
    int w = 0, h = 0;
    std::vector<uint8_t> px; // w * h * 3, top row first
    uint8_t at(int x, int y, int c) const { return px[3 * (size_t(y) * w + x) + c]; }
};

// A binary PPM (P6); samples above 255 keep their high byte.
inline std::optional<Rgb> parse_ppm(const std::string &s) {
    size_t p = 0;
    auto token = [&]() -> long {
        while (p < s.size() && (isspace(static_cast<unsigned char>(s[p])) || s[p] == '#')) {
            if (s[p] == '#')
                while (p < s.size() && s[p] != '\n')
                    ++p;
            else
                ++p;
        }
        size_t q = p;
        while (p < s.size() && isdigit(static_cast<unsigned char>(s[p])))
            ++p;
        return q == p ? -1 : std::stol(s.substr(q, p - q));
    };
    if (s.compare(0, 2, "P6") != 0)
        return std::nullopt;
    p = 2;
    Rgb r;
    r.w = static_cast<int>(token());
    r.h = static_cast<int>(token());
    const long maxval = token();
    ++p;
    const size_t bytes = maxval > 255 ? 2 : 1;
    const size_t n = size_t(r.w) * r.h * 3;
    if (r.w <= 0 || r.h <= 0 || s.size() < p + n * bytes)
        return std::nullopt;
    r.px.resize(n);
    for (size_t i = 0; i < n; ++i)
        r.px[i] = static_cast<uint8_t>(s[p + i * bytes]);
    return r;
}

inline std::optional<Rgb> run_to_ppm(const std::string &prog,
                                     const std::vector<std::string> &args) {
    const testsupport::RunResult r = testsupport::run_program(prog, args);
    if (r.status != 0)
        return std::nullopt;
    return parse_ppm(r.out);
}

// A picture of a file (the first by default) as ImageMagick decodes it, never through a
// stand-in on PATH.
inline std::optional<Rgb> magick(const std::string &file, int frame = 0) {
    return run_to_ppm("/usr/bin/convert",
                      {file + "[" + std::to_string(frame) + "]", "-depth", "8", "ppm:-"});
}

// giflib's decoder: raw RGB of the first picture.
inline std::optional<std::vector<uint8_t>> gif2rgb(const std::string &file,
                                                   const std::string &out) {
    const testsupport::RunResult r = testsupport::run_program("gif2rgb", {"-1", "-o", out, file});
    if (r.status != 0)
        return std::nullopt;
    const std::string s = testsupport::read_file(out);
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline std::optional<Rgb> xwdtopnm(const std::string &file) {
    return run_to_ppm("xwdtopnm", {file});
}

} // namespace oracle
