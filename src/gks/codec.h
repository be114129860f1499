// What the GIF, PNG and XWD codecs share: the pixel values of an image record in each of
// its storages (8-bit indexed, 16-, 24- and 32-bit true colour with masks, either byte
// order), the colour of a value, the palette of at most 256 values the GIF and PNG writers
// build, the size cap the readers apply before allocating, and the "** " line that may
// stand before a picture file's signature.
#pragma once

#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "base/image.h"

class ByteCursor;

// How a record stores its pixels.
struct CodecLayout {
    int bits = 0;      // storage bits per pixel: 32, 24, 16, 8, 4 or 1
    int per_row = 0;   // pixels a row holds (the first nx are picture, the rest surplus)
    bool msb = true;   // byte_order 1
    int64_t bytes = 0; // bytes_per_line * ny
};
// The layout, or nothing (with a message naming the writer) when the record's storage is
// not one of the above, its rows are shorter than nx pixels or its buffer is short.
std::optional<CodecLayout> CODEC_layout(const IMAGE &image, const char *who);

// Value of pixel x of a row under a layout.
inline uint32_t CODEC_pixel(const CodecLayout &l, const uint8_t *row, int x) {
    const uint8_t *p;
    switch (l.bits) {
    case 32:
        p = row + 4 * x;
        return l.msb ? uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                     : uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case 24:
        p = row + 3 * x;
        return l.msb ? uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]
                     : uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case 16:
        p = row + 2 * x;
        return l.msb ? uint32_t(p[0]) << 8 | p[1] : uint32_t(p[1]) << 8 | p[0];
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? row[x / 2] & 0x0Fu : row[x / 2] >> 4;
    default:
        return (row[x / 8] >> (x % 8)) & 1u;
    }
}

// Turns pixel values into 8-bit red, green, blue: through the colour table of an indexed
// record (values past the table are black), through the masks of a true-colour one.
class CodecColours {
  public:
    explicit CodecColours(const IMAGE &image);
    std::array<uint8_t, 3> rgb(uint32_t value) const;
    // "mask: %d-%d %d-%d %d-%d\n" (shift and 8 - width per channel) at the debug level.
    void print_masks() const;

  private:
    struct Channel {
        uint32_t mask = 0;
        int shift = 0; // zero bits below the mask
        int width = 0; // one bits of the mask
    };
    const IMAGE &image_;
    bool indexed_;
    Channel ch_[3];
};

// At most 256 distinct pixel values in the order met, row by row; the surplus pixels of a
// row count as value 0. A value met when the table is full gets index 0.
struct CodecPalette {
    int count = 0;
    std::array<uint32_t, 256> value{};
    std::array<std::array<uint8_t, 3>, 256> rgb{};
    // Palette index of a value in the table, or -1.
    int find(uint32_t v) const;
};
// Builds the palette and the nx x ny palette indices of the picture. False (with a message)
// when the storage is not supported or the index buffer cannot be had.
bool CODEC_build_palette(const IMAGE &image, CodecPalette &palette, std::vector<uint8_t> &index,
                         const char *who);
// The same, replacing each pixel of the record (surplus ones too) by its index in its first
// byte: the other bytes of the pixel become 0, 4- and 1-bit pixels hold the index itself.
// The separate indices are made only when index is given (8-bit records need none: their
// bytes are the indices afterwards).
bool CODEC_build_palette(IMAGE &image, CodecPalette &palette, std::vector<uint8_t> *index,
                         const char *who);

// Largest width x height a reader allocates (tests and fuzzing lower it).
inline constexpr int64_t CODEC_MAX_PIXELS = int64_t{1} << 28;
void CODEC_set_max_pixels(int64_t n);
int64_t CODEC_max_pixels();
void CODEC_reset_state();

// Pixel buffer of n bytes, zeroed; false (and empty) when it cannot be allocated.
template <class Bytes> bool CODEC_alloc(Bytes &buf, size_t n) {
    try {
        Bytes(n, 0).swap(buf);
        return true;
    } catch (const std::bad_alloc &) {
    } catch (const std::length_error &) {
    }
    Bytes().swap(buf);
    return false;
}

// A file may begin with a "** " line before its signature: skips it. The cursor stands at
// the start of the file; afterwards at the signature.
void CODEC_skip_star_line(ByteCursor &in);
