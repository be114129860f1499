// Turns a whole-earth picture in JPEG on an equirectangular grid (longitudes -180..180
// from left to right, latitudes 90..-90 from top to bottom, any size) into a native
// grey image on a latitude-longitude domain, dated as asked, for the demonstration.
//
//   earth2img EARTH.jpg OUT.img YYYYMMDDhhmm
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it uses FILE and size_t

#include "base/date.h"
#include "base/image.h"
#include "map/region.h"
#include "sat/img_tool.h"

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// The picture as 8-bit luminance, top row first; empty when it cannot be read.
std::vector<uint8_t> read_grey(const char *name, int &width, int &height) {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(name, "rb"));
    if (!f)
        return {};
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr); // a damaged file ends the tool with a message
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f.get());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    std::vector<uint8_t> grey;
    if (width > 0 && height > 0 && width <= IMG_MAX_SIDE && height <= IMG_MAX_SIDE) {
        grey.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = grey.data() + static_cast<size_t>(cinfo.output_scanline) * width;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return grey;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4 || std::string(argv[3]).size() != 12) {
        std::fprintf(stderr, "usage: %s EARTH.jpg OUT.img YYYYMMDDhhmm\n", argv[0]);
        return 2;
    }
    int nx = 0, ny = 0;
    std::vector<uint8_t> grey = read_grey(argv[1], nx, ny);
    if (grey.empty() || nx < 2 || ny < 2) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::string when = argv[3];
    IMAGE img;
    IMG_init(&img);
    DATE date;
    date.year = std::atoi(when.substr(0, 4).c_str());
    date.month = std::atoi(when.substr(4, 2).c_str());
    date.day = std::atoi(when.substr(6, 2).c_str());
    date.hour = std::atoi(when.substr(8, 2).c_str());
    date.minute = std::atoi(when.substr(10, 2).c_str());
    date.second = 0;
    const int64_t t = DATE_num_sec(&date);
    DATE_get_gmdate(&t, &img.date);
    std::string label;
    DATE_make_label(&img.date, label);
    IMG_set_label(&img, label);
    IMG_set_info(&img, "NASA Blue Marble earth");
    img.source = 50;
    // One more column on each side, taken from the other edge, and one more row at the
    // top and the bottom, repeating the edge row: every longitude of -180..180 and every
    // latitude of -90..90 then lies between pixel centres, with no seam at the date line
    // or hole at the poles.
    const int wx = nx + 2, wy = ny + 2;
    PixelVector<uint8_t> wide(static_cast<size_t>(wx) * static_cast<size_t>(wy));
    for (int y = 0; y < wy; ++y) {
        const uint8_t *src = grey.data() + static_cast<size_t>(std::clamp(y - 1, 0, ny - 1)) * nx;
        uint8_t *dst = wide.data() + static_cast<size_t>(y) * wx;
        dst[0] = src[nx - 1];
        std::copy(src, src + nx, dst + 1);
        dst[wx - 1] = src[0];
    }
    img.nx = wx;
    img.ny = wy;
    img.depth = 8;
    img.bits_per_pixel = 8;
    img.bytes_per_line = wx;
    // Latitude-longitude grid: pixel centres every 360/nx degrees of longitude and
    // 180/ny of latitude, centred on the equator and the prime meridian.
    DOM_init(&img.domain);
    img.domain.proj = 2;
    img.domain.param[0] = 0.0f;
    img.domain.param[1] = 0.0f;
    img.domain.clat = 0.0f;
    img.domain.clon = 0.0f;
    img.domain.nx = wx;
    img.domain.ny = wy;
    img.domain.dx = 360.0f / static_cast<float>(nx);
    img.domain.dy = 180.0f / static_cast<float>(ny);
    img.data = std::move(wide);
    if (IMG_write(argv[2], &img, 1) != 1) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
