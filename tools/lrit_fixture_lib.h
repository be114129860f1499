// LRIT file writer for test fixtures and benchmarks: the header records of an
// image file around data made elsewhere (raw counts, or a JPEG stream written
// by an independent encoder). Header-only so tests and benchmarks share it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace lrit_fixture {

struct Header {
    int file_type = 0;
    // Image structure (record 1): bits per pixel, size, 0 none / 2 JPEG.
    int bits = 8, columns = 0, lines = 0, compression = 0;
    // Navigation (record 2); an empty projection writes no record.
    std::string projection = "GEOS(+140.0)";
    int32_t cfac = 10233128, lfac = 10233128, coff = 0, loff = 0;
    std::string data_function; // record 3 when not empty
    std::string annotation;    // record 4 when not empty
    // Time stamp (record 5) when days >= 0: days since 1958-01-01, ms of the day.
    int days = -1;
    uint32_t ms = 0;
    // Segment (record 128) when segment > 0: the 4-byte form (segment, count,
    // first line) or, with long_segment, the 10-byte form (spacecraft 0x520B,
    // channel, segment, planned start 1, planned end = count).
    int segment = 0, segments = 0, first_line = 0;
    bool long_segment = false;
    // Further records, written as given: type and data bytes.
    std::vector<std::pair<int, std::vector<uint8_t>>> extra;
};

namespace detail {

inline void put(std::vector<uint8_t> &out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void record(std::vector<uint8_t> &out, int type, const std::vector<uint8_t> &data) {
    out.push_back(static_cast<uint8_t>(type));
    put(out, data.size() + 3, 2);
    out.insert(out.end(), data.begin(), data.end());
}

inline std::vector<uint8_t> text(const std::string &s) {
    return {s.begin(), s.end()};
}

} // namespace detail

// The header records of h followed by the data field.
inline std::vector<uint8_t> write(const Header &h, std::span<const uint8_t> data) {
    using detail::put;
    std::vector<uint8_t> rec;
    {
        std::vector<uint8_t> d;
        put(d, static_cast<uint64_t>(h.bits), 1);
        put(d, static_cast<uint64_t>(h.columns), 2);
        put(d, static_cast<uint64_t>(h.lines), 2);
        put(d, static_cast<uint64_t>(h.compression), 1);
        detail::record(rec, 1, d);
    }
    if (!h.projection.empty()) {
        std::vector<uint8_t> d(32, ' ');
        for (size_t i = 0; i < h.projection.size() && i < 32; ++i)
            d[i] = static_cast<uint8_t>(h.projection[i]);
        for (int32_t v : {h.cfac, h.lfac, h.coff, h.loff})
            put(d, static_cast<uint32_t>(v), 4);
        detail::record(rec, 2, d);
    }
    if (!h.data_function.empty())
        detail::record(rec, 3, detail::text(h.data_function));
    if (!h.annotation.empty())
        detail::record(rec, 4, detail::text(h.annotation));
    if (h.days >= 0) {
        std::vector<uint8_t> d{0x40};
        put(d, static_cast<uint64_t>(h.days), 2);
        put(d, h.ms, 4);
        detail::record(rec, 5, d);
    }
    if (h.segment > 0) {
        std::vector<uint8_t> d;
        if (h.long_segment) {
            put(d, 0x520B, 2);
            put(d, 4, 1);
            put(d, static_cast<uint64_t>(h.segment), 2);
            put(d, 1, 2);
            put(d, static_cast<uint64_t>(h.segments), 2);
            put(d, 0, 1);
        } else {
            put(d, static_cast<uint64_t>(h.segment), 1);
            put(d, static_cast<uint64_t>(h.segments), 1);
            put(d, static_cast<uint64_t>(h.first_line), 2);
        }
        detail::record(rec, 128, d);
    }
    for (const auto &[type, d] : h.extra)
        detail::record(rec, type, d);

    std::vector<uint8_t> out;
    out.push_back(0);
    put(out, 16, 2);
    put(out, static_cast<uint64_t>(h.file_type), 1);
    put(out, rec.size() + 16, 4);
    put(out, uint64_t{data.size()} * 8, 8);
    out.insert(out.end(), rec.begin(), rec.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Width and height from a JPEG stream's frame header; {0, 0} when none is found.
inline std::pair<int, int> jpeg_size(std::span<const uint8_t> s) {
    size_t p = 2;
    while (p + 9 < s.size() && s[p] == 0xFF) {
        const int code = s[p + 1];
        const size_t length = size_t{s[p + 2]} << 8 | s[p + 3];
        if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC)
            return {s[p + 7] << 8 | s[p + 8], s[p + 5] << 8 | s[p + 6]};
        p += 2 + length;
    }
    return {0, 0};
}

// A binary PGM ("P5"): width, height, maxval and the samples (one byte each
// for maxval < 256, else two bytes, most significant first). False when the
// bytes are no such file.
struct Pgm {
    int width = 0, height = 0, maxval = 0;
    std::vector<uint8_t> samples;
};

inline bool parse_pgm(std::span<const uint8_t> b, Pgm &pgm) {
    size_t p = 0;
    auto skip_space = [&] {
        while (p < b.size() &&
               (b[p] == ' ' || b[p] == '\n' || b[p] == '\r' || b[p] == '\t' || b[p] == '#')) {
            if (b[p] == '#')
                while (p < b.size() && b[p] != '\n')
                    ++p;
            else
                ++p;
        }
    };
    auto number = [&](int &v) {
        skip_space();
        v = 0;
        const size_t start = p;
        while (p < b.size() && b[p] >= '0' && b[p] <= '9' && v < 1000000)
            v = v * 10 + (b[p++] - '0');
        return p > start;
    };
    if (b.size() < 2 || b[0] != 'P' || b[1] != '5')
        return false;
    p = 2;
    if (!number(pgm.width) || !number(pgm.height) || !number(pgm.maxval) || p >= b.size())
        return false;
    ++p; // the single whitespace before the samples
    const size_t bytes = static_cast<size_t>(pgm.width) * static_cast<size_t>(pgm.height) *
                         (pgm.maxval > 255 ? 2 : 1);
    if (pgm.maxval < 1 || b.size() - p < bytes)
        return false;
    pgm.samples.assign(b.begin() + static_cast<std::ptrdiff_t>(p),
                       b.begin() + static_cast<std::ptrdiff_t>(p + bytes));
    return true;
}

} // namespace lrit_fixture
