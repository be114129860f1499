// JPEG image data of LRIT files, decoded through the standard libjpeg
// decompression interface. Two builds of the library live side by side: the
// system's libjpeg-turbo for 8-bit samples (lrit_jpeg.cpp) and an IJG build with
// 12-bit samples for 10-bit satellite data (lrit_jpeg12.cpp), each in its own
// translation unit because their headers declare the same names differently.
//
// A damaged stream never ends the program: each decoder installs an error
// manager that returns control to it, prints the library's message and fails.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

// Where decoded lines go: an nx x ny byte array, top line first. With a
// direction of -1 lines (columns) are stored from the bottom (right) up.
struct LRIT_JPEG_TARGET {
    uint8_t *pixels = nullptr;
    int nx = 0, ny = 0;
    int col_dir = 1, line_dir = 1;
    bool trace = false; // raise the library's trace level by one
};

// Sample precision of the stream's frame header (8, 12, ...), 0 when no frame
// header is found before the first scan.
int LRIT_jpeg_precision(std::span<const uint8_t> stream);

// Decode a whole stream into the target: 0, or -1 after a message at level 192.
// A stream larger than the target in either direction is refused before any
// sample is decoded, so the library's buffers stay bounded by the image.
int LRIT_jpeg8_decode(std::span<const uint8_t> stream, const LRIT_JPEG_TARGET &target);
int LRIT_jpeg12_decode(std::span<const uint8_t> stream, const LRIT_JPEG_TARGET &target);

namespace lrit_detail {

// Stores one decoded line (width samples, step apart) as the low 8 bits of
// each sample, honouring the directions. The line number counts from 0.
template <class Sample>
void store_line(const LRIT_JPEG_TARGET &t, int line, int height, const Sample *row, int width,
                int step) {
    const int target = t.line_dir > 0 ? line : height - line - 1;
    if (target < 0 || target >= t.ny)
        return;
    uint8_t *dst = t.pixels + static_cast<size_t>(target) * static_cast<size_t>(t.nx);
    const int n = std::min(width, t.nx);
    if (t.col_dir > 0) {
        for (int k = 0; k < n; ++k)
            dst[k] = static_cast<uint8_t>(row[static_cast<size_t>(k) * step]);
    } else {
        // Sample k goes to column width - 1 - k; columns past the image are dropped.
        for (int c = 0; c < n; ++c)
            dst[c] = static_cast<uint8_t>(row[static_cast<size_t>(width - 1 - c) * step]);
    }
}

} // namespace lrit_detail
