// Image record: one picture with its size, depth, colour table, date, labels, the domain
// that places it and its owned pixel buffer. Readers fill it, the geometry and colour
// stages transform it and the graphics devices draw it. The native image format and the
// generic image-file reader are in sat/img_tool.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/domain.h"
#include "base/pixel_buffer.h"

struct IMAGE {
    int32_t source = 0;  // 50 native/remapped, 51 AREA, 53 GINI, 55 raster, 59 GeoTIFF, 60 LRIT
    int32_t type = 0;    // image type of the source format
    int32_t version = 0; // format version of the source
    std::string label;   // date label, at most 51 characters
    DATE date;
    std::string info; // description, at most 75 characters
    int32_t nx = 0, ny = 0;
    int32_t depth = 0;
    float res_x = 0, res_y = 0;
    float off_x = 0, off_y = 0;
    int32_t bits_per_pixel = 0;
    int32_t bytes_per_line = 0;
    int32_t byte_order = 1; // 1: most significant byte first
    int32_t color_type = 0; // 0 true colour, 1 indexed
    int32_t num_colors = 0;
    uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
    // Colour table, num_colors x (r, g, b) in 0..1; shared between copies.
    std::shared_ptr<std::vector<float>> colors;
    int32_t transparent = -1;
    DOMAIN domain;
    PixelVector<uint8_t> data; // bytes_per_line x ny bytes, top row first
};

inline constexpr size_t IMG_LABEL_MAX = 51;
inline constexpr size_t IMG_INFO_MAX = 75;
inline constexpr int32_t IMG_MAX_SIDE = 100000; // largest nx or ny accepted from a header

int IMG_init(IMAGE *image);
// Releases the pixels and the colour table.
int IMG_free(IMAGE *image);
// Copies every field; the copy owns its pixels, the colour table is shared. 1, or 0 when
// the pixel buffer cannot be allocated (the copy then has no pixels).
int IMG_copy(IMAGE *to, const IMAGE *from);
// Sets the label / info texts, cut to their documented length.
void IMG_set_label(IMAGE *image, const std::string &text);
void IMG_set_info(IMAGE *image, const std::string &text);
