// PNG writer and reader through libpng.
//
// libpng reports errors by longjmp back to the setjmp of the caller. A longjmp must never
// cross a C++ frame that owns something, so every call into libpng that may fail runs in a
// small function below that holds only plain pointers and sets its own jump point; buffers
// and the libpng structures belong to the callers, which release them on every path.
//
// Choices on reading: samples of 16 bits keep their high byte, alpha is dropped, grey and
// palette samples of 1, 2 and 4 bits become one byte each (the record's 1-bit storage runs
// least significant bit first, PNG's the other way). Grey files get a grey colour table.
#include "gks/png.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/mess.h"
#include "gks/codec.h"
#include "gks/gks.h"

namespace {

constexpr uint32_t LEVEL_INFO = 0xf0000000u;

// What the error handler needs to name the file.
struct PngContext {
    const char *who;
    const char *name;
};

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    const auto *ctx = static_cast<const PngContext *>(png_get_error_ptr(png));
    MESS_print(MESS_WARN, "%s: %s: %s\n", ctx->who, ctx->name, message);
    png_longjmp(png, 1);
}

void on_warning(png_structp png, png_const_charp message) {
    const auto *ctx = static_cast<const PngContext *>(png_get_error_ptr(png));
    MESS_print(0x40000000u, "%s: %s: %s\n", ctx->who, ctx->name, message);
}

void read_bytes(png_structp png, png_bytep data, size_t n) {
    auto *in = static_cast<ByteCursor *>(png_get_io_ptr(png));
    if (in->read(data, n) != n)
        png_error(png, "file ends early");
}

// ---- writing ----

struct PngOut {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngOut() { png_destroy_write_struct(&png, &info); }
};

// Everything the libpng write calls need, prepared by the caller.
struct PngPicture {
    FILE *file;
    int width, height;
    const png_color *palette; // 256 entries
    png_text *text;
    int num_text;
    png_bytep *rows;
};

bool write_png(png_structp png, png_infop info, const PngPicture &p) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, p.file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height),
                 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, p.palette, 256);
    png_set_text(png, info, p.text, p.num_text);
    // Satellite pictures change little from row to row: the "up" filter with run-length
    // matching at the default level is fast and within a few percent of the smallest file.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    png_write_image(png, p.rows);
    png_write_end(png, info);
    return true;
}

std::string creation_time() {
    std::time_t t = std::time(nullptr);
    if (const char *e = std::getenv("SOURCE_DATE_EPOCH"); e && *e) {
        char *end = nullptr;
        const long long v = std::strtoll(e, &end, 10);
        if (end && *end == '\0' && v >= 0)
            t = static_cast<std::time_t>(v);
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    if (std::strftime(buf, sizeof buf, "%d %b %Y %H:%M:%S GMT", &tm) == 0)
        return "";
    return buf;
}

// ---- reading ----

struct PngIn {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngIn() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct PngHeader {
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0, interlace = 0, compression = 0, filter = 0;
    size_t rowbytes = 0; // after the transformations
    int channels = 0;    // after the transformations
    png_colorp palette = nullptr;
    int num_palette = 0;
};

bool read_header(png_structp png, png_infop info, ByteCursor *in, PngHeader &h) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, in, read_bytes);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 1u << 24, 1u << 24);
    // libpng buffers an ancillary chunk whole, at the length the file claims, before
    // reading it. None of them is used here, so all are skipped unread.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h.width, &h.height, &h.bit_depth, &h.color_type, &h.interlace,
                 &h.compression, &h.filter);
    if (h.bit_depth == 16)
        png_set_strip_16(png);
    if (h.color_type & PNG_COLOR_MASK_ALPHA) {
        if (h.color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_strip_alpha(png);
    }
    if (h.bit_depth < 8)
        png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    h.rowbytes = png_get_rowbytes(png, info);
    h.channels = png_get_channels(png, info);
    if (h.color_type == PNG_COLOR_TYPE_PALETTE)
        png_get_PLTE(png, info, &h.palette, &h.num_palette);
    return true;
}

bool read_rows(png_structp png, png_bytep *rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

} // namespace

int PNG_write(const char *name, const IMAGE *image) {
    const IMAGE &im = *image;
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
    FilePtr fp = FILE_open(name, "wb");
    if (!fp) {
        MESS_print(MESS_WARN, "Unable to open PNG file\n");
        return 0;
    }
    CodecPalette pal;
    std::vector<uint8_t> index;
    CodecColours(im).print_masks();
    if (!CODEC_build_palette(im, pal, index, "PNG_write"))
        return 0;
    MESS_print(LEVEL_INFO, "num_color: %d\n", pal.count);

    // The file's palette runs from dark to bright, so that neighbouring indices are
    // neighbouring shades and the row filter has something to work on.
    std::array<int, 256> order{};
    for (int i = 0; i < pal.count; ++i)
        order[static_cast<size_t>(i)] = i;
    auto luma = [&pal](int i) {
        const auto &c = pal.rgb[static_cast<size_t>(i)];
        return 299 * c[0] + 587 * c[1] + 114 * c[2];
    };
    std::stable_sort(order.begin(), order.begin() + pal.count,
                     [&luma](int a, int b) { return luma(a) < luma(b); });
    std::array<uint8_t, 256> to_file{};
    std::vector<png_color> palette(256, png_color{0, 0, 0});
    for (int j = 0; j < pal.count; ++j) {
        const auto i = static_cast<size_t>(order[static_cast<size_t>(j)]);
        to_file[i] = static_cast<uint8_t>(j);
        palette[static_cast<size_t>(j)] = png_color{pal.rgb[i][0], pal.rgb[i][1], pal.rgb[i][2]};
    }
    for (uint8_t &v : index)
        v = to_file[v];
    std::string title = gget_win_title();
    std::string software = "ZOR - Zorbase v5.0";
    std::string when = creation_time();
    std::string keys[3] = {"Title", "Software", "Creation Time"};
    png_text text[3];
    std::string *values[3] = {&title, &software, &when};
    for (int i = 0; i < 3; ++i) {
        text[i] = png_text{};
        text[i].compression = PNG_TEXT_COMPRESSION_NONE;
        text[i].key = keys[i].data();
        text[i].text = values[i]->data();
        text[i].text_length = values[i]->size();
    }
    std::vector<png_bytep> rows(static_cast<size_t>(im.ny));
    for (int y = 0; y < im.ny; ++y)
        rows[static_cast<size_t>(y)] = index.data() + static_cast<size_t>(y) * im.nx;

    PngContext ctx{"PNG_write", name};
    PngOut out;
    out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, on_error, on_warning);
    if (out.png)
        out.info = png_create_info_struct(out.png);
    if (!out.png || !out.info) {
        MESS_print(MESS_WARN, "PNG_write: %s: cannot start libpng\n", name);
        return 0;
    }
    const PngPicture pic{fp.get(), im.nx, im.ny, palette.data(), text, 3, rows.data()};
    if (!write_png(out.png, out.info, pic))
        return 0;
    if (std::fflush(fp.get()) != 0 || std::ferror(fp.get())) {
        MESS_print(MESS_WARN, "PNG_write: %s: write failed\n", name);
        return 0;
    }
    return 1;
}

int PNG_read(const char *name, IMAGE *image, int mode) {
    FilePtr fp = FILE_open(name, "rb");
    if (!fp)
        return 0;
    ByteCursor in(fp.get());
    CODEC_skip_star_line(in);
    uint8_t sig[8];
    if (in.read(sig, 8) != 8 || png_sig_cmp(sig, 0, 8) != 0)
        return 0;

    PngContext ctx{"PNG_read", name};
    PngIn png;
    png.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, on_error, on_warning);
    if (png.png)
        png.info = png_create_info_struct(png.png);
    if (!png.png || !png.info) {
        MESS_print(MESS_WARN, "PNG_read: %s: cannot start libpng\n", name);
        return 0;
    }
    PngHeader h;
    if (!read_header(png.png, png.info, &in, h))
        return 0;
    MESS_print(LEVEL_INFO, "%d %d %d - %d %d - %d %d\n", static_cast<int>(h.width),
               static_cast<int>(h.height), h.bit_depth, h.color_type, h.interlace, h.compression,
               h.filter);

    IMG_init(image);
    IMAGE &im = *image;
    im.info = "PNG";
    im.nx = static_cast<int32_t>(h.width);
    im.ny = static_cast<int32_t>(h.height);
    im.bytes_per_line = static_cast<int32_t>(h.rowbytes);
    im.byte_order = 1;
    const bool rgb =
        (h.color_type & PNG_COLOR_MASK_COLOR) && h.color_type != PNG_COLOR_TYPE_PALETTE;
    if (rgb) {
        im.depth = 24;
        im.bits_per_pixel = 8 * h.channels;
        im.color_type = 0;
        im.red_mask = 0xFF0000u;
        im.green_mask = 0x00FF00u;
        im.blue_mask = 0x0000FFu;
    } else {
        im.depth = im.bits_per_pixel = 8;
        im.color_type = 1;
    }
    MESS_print(LEVEL_INFO, "type: %s\n", im.info.c_str());
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
    if (mode == 1)
        return 1;

    if (h.channels != (rgb ? (h.color_type & PNG_COLOR_MASK_ALPHA ? 4 : 3) : 1) ||
        h.rowbytes != static_cast<size_t>(h.channels) * h.width ||
        int64_t{im.nx} * im.ny > CODEC_max_pixels()) {
        MESS_print(MESS_WARN, "PNG_read: %s: image %dx%d refused\n", name, im.nx, im.ny);
        IMG_free(image);
        return 0;
    }
    if (!rgb) {
        auto table = std::make_shared<std::vector<float>>();
        if (h.color_type == PNG_COLOR_TYPE_PALETTE) {
            for (int i = 0; i < h.num_palette; ++i) {
                const png_color &c = h.palette[i];
                table->insert(table->end(), {c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f});
            }
            MESS_print(LEVEL_INFO, "color table size: %d\n", h.num_palette);
        } else {
            const int levels = 1 << std::min(h.bit_depth, 8);
            for (int i = 0; i < levels; ++i)
                table->insert(table->end(), 3, static_cast<float>(i) / (levels - 1));
        }
        im.num_colors = static_cast<int32_t>(table->size() / 3);
        im.colors = std::move(table);
    }
    if (!CODEC_alloc(im.data, h.rowbytes * h.height)) {
        MESS_print(MESS_WARN, "Unable to allocate data buffer.\n");
        IMG_free(image);
        return 0;
    }
    std::vector<png_bytep> rows(h.height);
    for (size_t y = 0; y < h.height; ++y)
        rows[y] = im.data.data() + y * h.rowbytes;
    if (!read_rows(png.png, rows.data())) {
        IMG_free(image);
        return 0;
    }
    if (h.channels == 4) {
        // Red first, then red, green, blue: read big-endian the low three bytes are RGB.
        for (size_t i = 0; i + 3 < im.data.size(); i += 4) {
            uint8_t *p = &im.data[i];
            p[3] = p[2];
            p[2] = p[1];
            p[1] = p[0];
        }
    }
    return 1;
}
