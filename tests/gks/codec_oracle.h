// Independent decoders for the codec tests: ImageMagick, giflib and netpbm programs turn
// picture files into RGB bytes; a test skips when the program is missing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/image.h"
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

// The picture of a record as 8-bit RGB, read the way the X11 server lays out pixels:
// indexed records through their colour table (components rounded to 8 bits), true-colour
// ones through masks of up to 8 bits (a w-bit field f gives f << (8 - w)).
inline std::vector<uint8_t> record_rgb(const IMAGE &im) {
    std::vector<uint8_t> v;
    const int bytes = im.bits_per_pixel / 8;
    for (int y = 0; y < im.ny; ++y)
        for (int x = 0; x < im.nx; ++x) {
            const uint8_t *p = im.data.data() + size_t(y) * im.bytes_per_line + size_t(x) * bytes;
            uint32_t value = 0;
            for (int k = 0; k < bytes; ++k)
                value |= uint32_t(p[k]) << (8 * (im.byte_order ? bytes - 1 - k : k));
            if (im.color_type == 1) {
                for (size_t k = 0; k < 3; ++k) {
                    const size_t at = 3 * size_t(value) + k;
                    const float c = at < im.colors->size() ? (*im.colors)[at] : 0.0f;
                    v.push_back(static_cast<uint8_t>(c * 255.0f + 0.5f));
                }
                continue;
            }
            for (uint32_t mask : {im.red_mask, im.green_mask, im.blue_mask}) {
                int shift = 0, width = 0;
                while (mask && !((mask >> shift) & 1))
                    ++shift;
                while ((mask >> (shift + width)) & 1)
                    ++width;
                v.push_back(static_cast<uint8_t>(((value & mask) >> shift) << (8 - width)));
            }
        }
    return v;
}

inline std::optional<Rgb> xwdtopnm(const std::string &file) {
    return run_to_ppm("xwdtopnm", {file});
}

} // namespace oracle
