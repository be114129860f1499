// Independent readers of the paper devices' output: Ghostscript for PostScript (syntax,
// rendering at 72 dpi on a fixed letter page, bounding box) and hp2xx for HP-GL (rendering
// to a bitmap at 72 dpi, count of commands it ignored).
#pragma once

#include <gtest/gtest.h>

#include <png.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace paper {

// A rendered page; (col, row) from the top-left corner.
struct Raster {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::array<int, 3> at(int col, int row) const {
        if (col < 0 || row < 0 || col >= width || row >= height)
            return {-1, -1, -1};
        size_t i = (static_cast<size_t>(row) * static_cast<size_t>(width) + col) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // Bounding box {col0, row0, col1, row1} of the pixels inside the box `within` for
    // which pred(r, g, b) holds; all -1 when none.
    template <class P> std::array<int, 4> extent(P pred, std::array<int, 4> within) const {
        std::array<int, 4> e{-1, -1, -1, -1};
        for (int r = std::max(within[1], 0); r <= std::min(within[3], height - 1); ++r)
            for (int c = std::max(within[0], 0); c <= std::min(within[2], width - 1); ++c) {
                auto p = at(c, r);
                if (!pred(p[0], p[1], p[2]))
                    continue;
                if (e[0] < 0 || c < e[0])
                    e[0] = c;
                if (e[1] < 0)
                    e[1] = r;
                e[2] = std::max(e[2], c);
                e[3] = r;
            }
        return e;
    }
};

inline bool have_gs() {
    return testsupport::have_program("gs");
}
inline bool have_hp2xx() {
    return testsupport::have_program("hp2xx");
}

inline testsupport::RunResult gs(const std::vector<std::string> &device_args,
                                 const std::string &file) {
    std::vector<std::string> args = {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE"};
    args.insert(args.end(), device_args.begin(), device_args.end());
    args.push_back(file);
    return testsupport::run_program("gs", args);
}

// Exit status of Ghostscript reading the file without output (1 on a PostScript error).
inline int gs_status(const std::string &file) {
    return gs({"-sDEVICE=nullpage"}, file).status;
}

// The first page rendered at 72 dpi on a letter page (612 x 792 points, portrait).
inline Raster gs_render(const std::string &file, const std::string &png) {
    Raster r;
    auto run = gs({"-sDEVICE=png16m", "-r72", "-dDEVICEWIDTHPOINTS=612", "-dDEVICEHEIGHTPOINTS=792",
                   "-dFIXEDMEDIA", "-sOutputFile=" + png},
                  file);
    EXPECT_EQ(run.status, 0) << run.err;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, png.c_str()))
        return r;
    image.format = PNG_FORMAT_RGB;
    r.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, r.rgb.data(), 0, nullptr)) {
        r.rgb.clear();
        return r;
    }
    r.width = static_cast<int>(image.width);
    r.height = static_cast<int>(image.height);
    return r;
}

// The bounding box Ghostscript measures: {llx, lly, urx, ury}, or all -1.
inline std::array<int, 4> gs_bbox(const std::string &file) {
    auto run = gs({"-sDEVICE=bbox"}, file);
    std::smatch m;
    static const std::regex re("%%BoundingBox: (-?\\d+) (-?\\d+) (-?\\d+) (-?\\d+)");
    if (!std::regex_search(run.err, m, re))
        return {-1, -1, -1, -1};
    return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
}

// hp2xx output: the count of commands it ignored and the plot as a bitmap at 72 dpi where
// plotter unit (u, v) is pixel (u * 72 / 1016, height - 1 - v * 72 / 1016), lit pixels
// black (hp2xx counts 40 units to the millimetre).
struct Hp2xx {
    int ignored = -1;
    std::string err;
    Raster bits;
};

inline Hp2xx hp2xx(const std::string &file, const std::string &pbm, int xmax = 10668,
                   int ymax = 8128) {
    Hp2xx h;
    auto run = testsupport::run_program(
        "hp2xx", {"-m", "pbm", "-d", "72", "-x", "0", "-X", std::to_string(xmax), "-y", "0", "-Y",
                  std::to_string(ymax), "-w", std::to_string(xmax / 40.0), "-h",
                  std::to_string(ymax / 40.0), "-f", pbm, file});
    h.err = run.err;
    std::smatch m;
    static const std::regex re("HPGL command\\(s\\) ignored: (\\d+)");
    if (std::regex_search(run.err, m, re))
        h.ignored = std::stoi(m[1]);
    std::string d = testsupport::read_file(pbm);
    int w = 0, ht = 0, used = 0;
    if (std::sscanf(d.c_str(), "P4 %d %d%n", &w, &ht, &used) != 2 || w <= 0 || ht <= 0)
        return h;
    size_t at = static_cast<size_t>(used) + 1, row_bytes = (static_cast<size_t>(w) + 7) / 8;
    if (d.size() < at + row_bytes * static_cast<size_t>(ht))
        return h;
    h.bits.width = w;
    h.bits.height = ht;
    h.bits.rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(ht) * 3, 255);
    for (int r = 0; r < ht; ++r)
        for (int c = 0; c < w; ++c)
            if ((static_cast<unsigned char>(d[at + static_cast<size_t>(r) * row_bytes + c / 8]) >>
                 (7 - c % 8)) &
                1)
                for (size_t k = 0; k < 3; ++k)
                    h.bits.rgb[(static_cast<size_t>(r) * static_cast<size_t>(w) + c) * 3 + k] = 0;
    return h;
}

} // namespace paper
