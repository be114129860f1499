// GINI and PNG fixture writer for tests and benchmarks, written from the GINI
// layout alone (it shares no code with the reader): a WMO header, the 512-byte
// product definition block and the pixels, plain or as independent zlib
// streams (the first holding the header and the block again), and grey or
// colour PNG files made by libpng's writer.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace gini_fixture {

using Bytes = std::vector<uint8_t>;

struct Product {
    std::string wmo = "TIGE01 KNES 121200\r\r\n"; // "" for none
    int entity = 13, sector = 1, channel = 4;
    int year = 105, month = 9, day = 12, hour = 6, minute = 30, second = 0;
    int projection = 3; // 1 Mercator, 3 Lambert conformal, 5 polar stereographic
    int nx = 4, ny = 3;
    double la1 = 20, lo1 = -100;
    double la2_lov = -95;            // Mercator La2, else Lov
    double lo2 = 0;                  // Mercator only
    uint32_t dx = 40635, dy = 40635; // tenths of a metre (Lambert and polar)
    bool south = false;
    double latin = 25;
    Bytes pixels; // as stored behind the block (may hold a trailer row or a PNG file)
};

// Sign and magnitude in 1/10000 degree, 24 bits big-endian.
inline void put_angle(Bytes &b, size_t at, double deg) {
    const auto mag = static_cast<uint32_t>(std::lround(std::fabs(deg) * 10000)) & 0x7FFFFF;
    const uint32_t v = mag | (deg < 0 ? 0x800000u : 0u);
    b[at] = static_cast<uint8_t>(v >> 16);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    b[at + 2] = static_cast<uint8_t>(v);
}

inline void put_u24(Bytes &b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 16);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    b[at + 2] = static_cast<uint8_t>(v);
}

// The product definition block; field offsets are the block's byte numbers - 1.
inline Bytes pdb(const Product &p) {
    Bytes b(512, 0);
    b[0] = 1;
    b[1] = static_cast<uint8_t>(p.entity);
    b[2] = static_cast<uint8_t>(p.sector);
    b[3] = static_cast<uint8_t>(p.channel);
    const int date[] = {p.year, p.month, p.day, p.hour, p.minute, p.second};
    for (int i = 0; i < 6; ++i)
        b[8 + i] = static_cast<uint8_t>(date[i]);
    b[15] = static_cast<uint8_t>(p.projection);
    b[16] = static_cast<uint8_t>(p.nx >> 8);
    b[17] = static_cast<uint8_t>(p.nx);
    b[18] = static_cast<uint8_t>(p.ny >> 8);
    b[19] = static_cast<uint8_t>(p.ny);
    put_angle(b, 20, p.la1);
    put_angle(b, 23, p.lo1);
    put_angle(b, 27, p.la2_lov);
    if (p.projection == 1) {
        put_angle(b, 30, p.lo2);
    } else {
        put_u24(b, 30, p.dx);
        put_u24(b, 33, p.dy);
    }
    b[36] = p.south && p.projection == 5 ? 1 : 0;
    b[37] = p.south && p.projection == 3 ? 1 : 0;
    put_angle(b, 38, p.latin);
    return b;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes text(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes write_plain(const Product &p) {
    return cat({text(p.wmo), pdb(p), p.pixels});
}

inline Bytes deflate(const Bytes &in) {
    uLongf n = compressBound(static_cast<uLong>(in.size()));
    Bytes out(n);
    compress2(out.data(), &n, in.data(), static_cast<uLong>(in.size()), Z_DEFAULT_COMPRESSION);
    out.resize(n);
    return out;
}

// The header line(s), then one stream of the header and block and one stream
// per `rows` pixel rows; `tail` goes behind the last stream uncompressed.
inline Bytes write_compressed(const Product &p, int rows = 1, const std::string &lines = "",
                              const Bytes &tail = {}) {
    Bytes out = text(lines.empty() ? p.wmo : lines);
    const Bytes first = deflate(cat({text(p.wmo), pdb(p)}));
    out.insert(out.end(), first.begin(), first.end());
    const size_t step = static_cast<size_t>(p.nx) * static_cast<size_t>(rows);
    for (size_t at = 0; at < p.pixels.size(); at += step) {
        const Bytes part(p.pixels.begin() + static_cast<ptrdiff_t>(at),
                         p.pixels.begin() +
                             static_cast<ptrdiff_t>(std::min(at + step, p.pixels.size())));
        const Bytes z = deflate(part);
        out.insert(out.end(), z.begin(), z.end());
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// A PNG file of w x h samples (colour type 0 grey or 2 RGB, 8 bits).
inline Bytes png(int w, int h, const Bytes &samples, int colour = PNG_COLOR_TYPE_GRAY,
                 bool interlace = false) {
    Bytes out;
    const size_t row = static_cast<size_t>(w) * (colour == PNG_COLOR_TYPE_RGB ? 3 : 1);
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r] = const_cast<png_bytep>(samples.data() + r * row);
    png_structp s = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(s);
    if (setjmp(png_jmpbuf(s))) {
        png_destroy_write_struct(&s, &info);
        return {};
    }
    png_set_write_fn(
        s, &out,
        [](png_structp ps, png_bytep d, size_t n) {
            auto *o = static_cast<Bytes *>(png_get_io_ptr(ps));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(s, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, colour,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s, info);
    png_write_image(s, rows.data());
    png_write_end(s, info);
    png_destroy_write_struct(&s, &info);
    return out;
}

} // namespace gini_fixture
