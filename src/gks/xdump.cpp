// XWD writer and reader.
//
// File: a header of 25 big-endian 32-bit words (its first word is the header's size, which
// includes the window name that follows the words), the window name with its terminating
// zero, one entry per colour, then bytes_per_line x height bytes of pixels as the server
// stored them. Traps: the colour entries we write are 16 bytes (pixel, four zero bytes,
// red, green, blue, flags, pad), while the X11 tools write 12 (pixel, red, green, blue,
// flags, pad); the reader tells the two apart by the file's size and takes 16 when it
// cannot know. The header's sizes are untrusted: they are checked against each other and
// against the file before anything is allocated.
#include "gks/xdump.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/mess.h"
#include "gks/codec.h"

namespace {

constexpr uint32_t LEVEL_INFO = 0xf0000000u;
constexpr int kHeaderWords = 25;
constexpr int kHeaderBytes = 4 * kHeaderWords;
constexpr size_t kEntry = 16;        // colour entry we write
constexpr size_t kEntryX11 = 12;     // colour entry of the X11 tools
constexpr int kMaxColours = 1 << 16; // a colormap of a 16-bit visual at most
constexpr int kVersion = 7;
constexpr int kTrueColor = 4, kPseudoColor = 3;

void put32(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
void put16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

uint16_t to_x11(float c) {
    if (!(c > 0.0f))
        return 0;
    if (c >= 1.0f)
        return 65535;
    return static_cast<uint16_t>(c * 65535.0f);
}

bool write_all(FILE *f, const std::vector<uint8_t> &b) {
    return std::fwrite(b.data(), 1, b.size(), f) == b.size();
}

int fail(const char *message) {
    MESS_print(MESS_WARN, "%s", message);
    return 0;
}

uint32_t word(const uint8_t *h, int i) {
    const uint8_t *p = h + 4 * i;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

int XWD_write(const char *name, const IMAGE *image) {
    const IMAGE &im = *image;
    FilePtr fp = FILE_open(name, "wb");
    if (!fp)
        return fail("Unable to open dump file\n");
    FILE *f = fp.get();
    int bpp = im.bits_per_pixel;
    if (bpp <= 0)
        bpp = im.depth == 24 ? 24 : im.depth == 15 ? 16 : im.depth;
    const int ncolors = std::max(im.num_colors, 0);
    const int64_t data_bytes = int64_t{im.bytes_per_line} * im.ny;
    if (im.nx < 1 || im.ny < 1 || im.bytes_per_line < 1 ||
        static_cast<int64_t>(im.data.size()) < data_bytes)
        return fail("Unable to write to XWD file.\n");

    std::vector<uint8_t> h;
    const uint32_t words[kHeaderWords] = {
        static_cast<uint32_t>(kHeaderBytes + im.info.size() + 1),
        kVersion,
        2, // Z pixmap
        static_cast<uint32_t>(im.depth),
        static_cast<uint32_t>(im.nx),
        static_cast<uint32_t>(im.ny),
        0,
        static_cast<uint32_t>(im.byte_order),
        32,
        static_cast<uint32_t>(im.byte_order),
        32,
        static_cast<uint32_t>(bpp),
        static_cast<uint32_t>(im.bytes_per_line),
        static_cast<uint32_t>(im.color_type == 0 ? kTrueColor : kPseudoColor),
        im.red_mask,
        im.green_mask,
        im.blue_mask,
        8,
        static_cast<uint32_t>(ncolors),
        static_cast<uint32_t>(ncolors),
        static_cast<uint32_t>(im.nx),
        static_cast<uint32_t>(im.ny),
        0,
        0,
        0};
    for (uint32_t w : words)
        put32(h, w);
    if (!write_all(f, h))
        return fail("Unable to write dump file header\n");
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "byte_order: %d\n", im.byte_order);
    MESS_print(LEVEL_INFO, "bits_pixel: %d\n", bpp);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
    MESS_print(LEVEL_INFO, "num colors: %d\n", ncolors);

    if (std::fwrite(im.info.c_str(), 1, im.info.size() + 1, f) != im.info.size() + 1)
        return fail("Unable to write window name to dump file.\n");

    std::vector<uint8_t> cmap;
    cmap.reserve(static_cast<size_t>(ncolors) * kEntry);
    const std::vector<float> *t = im.colors.get();
    for (int i = 0; i < ncolors; ++i) {
        put32(cmap, static_cast<uint32_t>(i));
        put32(cmap, 0);
        for (size_t k = 0; k < 3; ++k) {
            const size_t at = 3 * static_cast<size_t>(i) + k;
            put16(cmap, t && at < t->size() ? to_x11((*t)[at]) : 0);
        }
        cmap.push_back(7); // red, green and blue valid
        cmap.push_back(0);
    }
    if (!write_all(f, cmap))
        return fail("Unable to write color map to dump file.\n");

    if (std::fwrite(im.data.data(), 1, static_cast<size_t>(data_bytes), f) !=
            static_cast<size_t>(data_bytes) ||
        std::fflush(f) != 0 || std::ferror(f))
        return fail("Unable to write to XWD file.\n");
    return 1;
}

namespace {

int read_xwd(const char *name, IMAGE *image) {
    FilePtr fp = FILE_open(name, "rb");
    if (!fp)
        return fail("Unable to open dump file\n");
    ByteCursor in(fp.get());
    CODEC_skip_star_line(in);
    uint8_t h[kHeaderBytes];
    if (in.read(h, kHeaderBytes) != kHeaderBytes)
        return fail("Unable to read dump file header\n");
    const uint32_t header_size = word(h, 0);
    if (word(h, 1) != kVersion)
        return fail("XWD file format version mismatch\n");
    if (header_size < kHeaderBytes)
        return fail("XWD header size is too small.\n");
    const auto depth = static_cast<int32_t>(word(h, 3));
    if (depth > image->depth) {
        MESS_print(MESS_WARN, "Incorrect depth: %d > %d\n", depth, image->depth);
        return 0;
    }

    const int64_t size = in.size(); // -1 for pipes
    const int64_t name_len = int64_t{header_size} - kHeaderBytes;
    if (size >= 0 && in.pos() + name_len > size)
        return fail("Unable to read window name from dump file.\n");
    std::string wname;
    bool name_ended = false;
    for (int64_t i = 0; i < name_len; ++i) {
        const int c = in.get_byte();
        if (c < 0)
            return fail("Unable to read window name from dump file.\n");
        name_ended = name_ended || c == 0;
        if (!name_ended && wname.size() < IMG_INFO_MAX)
            wname.push_back(static_cast<char>(c));
    }

    IMG_init(image);
    IMAGE &im = *image;
    im.info = wname;
    im.depth = depth;
    im.nx = static_cast<int32_t>(word(h, 4));
    im.ny = static_cast<int32_t>(word(h, 5));
    im.byte_order = static_cast<int32_t>(word(h, 7));
    im.bits_per_pixel = static_cast<int32_t>(word(h, 11));
    im.bytes_per_line = static_cast<int32_t>(word(h, 12));
    if (word(h, 13) == kTrueColor) {
        im.color_type = 0;
        im.red_mask = word(h, 14);
        im.green_mask = word(h, 15);
        im.blue_mask = word(h, 16);
    } else {
        im.color_type = 1;
    }
    im.num_colors = static_cast<int32_t>(word(h, 19));
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "byte_order: %d\n", im.byte_order);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
    MESS_print(LEVEL_INFO, "bits_per_pixel: %d\n", im.bits_per_pixel);
    MESS_print(LEVEL_INFO, "color type: %d\n", im.color_type);
    MESS_print(LEVEL_INFO, "num_colors: %d\n", im.num_colors);

    // The sizes must agree with each other before anything is allocated.
    const int bpp = im.bits_per_pixel;
    const bool bpp_ok = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    const int64_t row_need = bpp_ok ? (int64_t{im.nx} * bpp + 7) / 8 : 0;
    const int64_t data_bytes = int64_t{im.bytes_per_line} * im.ny;
    if (!bpp_ok || depth < 1 || im.nx < 1 || im.ny < 1 || im.bytes_per_line < row_need ||
        im.num_colors < 0 || im.num_colors > kMaxColours ||
        int64_t{im.nx} * im.ny > CODEC_max_pixels() || data_bytes > 4 * CODEC_max_pixels()) {
        MESS_print(MESS_WARN,
                   "XWD_read: %s: header sizes do not agree (%dx%d, %d bits per pixel, "
                   "%d bytes per line, %d colours)\n",
                   name, im.nx, im.ny, bpp, im.bytes_per_line, im.num_colors);
        return 0;
    }
    size_t entry = kEntry;
    if (size >= 0) {
        const int64_t rest = size - in.pos();
        if (rest == int64_t{im.num_colors} * int64_t{kEntryX11} + data_bytes)
            entry = kEntryX11;
        if (rest < int64_t{im.num_colors} * static_cast<int64_t>(entry)) {
            return fail("Unable to read color map from dump file.\n");
        }
        if (rest < int64_t{im.num_colors} * static_cast<int64_t>(entry) + data_bytes) {
            return fail("Unable to read pixmap from dump file.\n");
        }
    }

    if (im.num_colors > 0) {
        auto table =
            std::make_shared<std::vector<float>>(3 * static_cast<size_t>(im.num_colors), 0.0f);
        std::array<uint8_t, kEntry> e{};
        const size_t rgb_at = entry == kEntry ? 8 : 4;
        for (int i = 0; i < im.num_colors; ++i) {
            if (in.read(e.data(), entry) != entry) {
                return fail("Unable to read color map from dump file.\n");
            }
            const uint32_t pixel = word(e.data(), 0);
            if (pixel >= static_cast<uint32_t>(im.num_colors))
                continue;
            for (size_t k = 0; k < 3; ++k) {
                const uint8_t *c = e.data() + rgb_at + 2 * k;
                (*table)[3 * pixel + k] = static_cast<float>(c[0] << 8 | c[1]) / 65535.0f;
            }
        }
        im.colors = std::move(table);
    }

    if (!CODEC_alloc(im.data, static_cast<size_t>(data_bytes))) {
        return fail("Unable to allocate data buffer.\n");
    }
    if (in.read(im.data.data(), im.data.size()) != im.data.size()) {
        return fail("Unable to read pixmap from dump file.\n");
    }
    return 1;
}

} // namespace

int XWD_read(const char *name, IMAGE *image, int /*mode*/) {
    const int rc = read_xwd(name, image);
    if (rc == 0)
        IMG_free(image);
    return rc;
}
