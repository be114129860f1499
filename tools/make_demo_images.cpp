// Writes a short sequence of dated native images for the demonstration run:
// a drifting synthetic cloud field on a polar stereographic domain over North
// America, one image every 15 minutes, named by the "sat_img" convention.
//
//   make_demo_images DIR YYYYMMDDhhmm COUNT
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/date.h"
#include "base/mess.h"
#include "map/region.h"
#include "sat/img_tool.h"

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR YYYYMMDDhhmm COUNT\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string when = argv[2];
    const int count = std::atoi(argv[3]);
    if (when.size() != 12 || count < 1 || count > 96) {
        std::fprintf(stderr, "%s: bad time or count\n", argv[0]);
        return 2;
    }
    DATE last;
    last.year = std::atoi(when.substr(0, 4).c_str());
    last.month = std::atoi(when.substr(4, 2).c_str());
    last.day = std::atoi(when.substr(6, 2).c_str());
    last.hour = std::atoi(when.substr(8, 2).c_str());
    last.minute = std::atoi(when.substr(10, 2).c_str());
    last.second = 0;
    const int64_t t_last = DATE_num_sec(&last);

    const int nx = 640, ny = 427;
    for (int k = 0; k < count; ++k) {
        const int64_t t = t_last - static_cast<int64_t>(count - 1 - k) * 900;
        IMAGE img;
        IMG_init(&img);
        DATE_get_gmdate(&t, &img.date);
        std::string label;
        DATE_make_label(&img.date, label);
        IMG_set_label(&img, label);
        IMG_set_info(&img, "DEMO synthetic infrared");
        img.source = 50;
        img.nx = nx;
        img.ny = ny;
        img.depth = 8;
        img.bits_per_pixel = 8;
        img.bytes_per_line = nx;
        DOM_init(&img.domain);
        img.domain.proj = 1;
        img.domain.param[1] = -100.0f;
        img.domain.clat = 40.0f;
        img.domain.clon = -100.0f;
        img.domain.nx = nx;
        img.domain.ny = ny;
        img.domain.dx = img.domain.dy = 0.125f;
        img.data.resize(static_cast<size_t>(nx) * ny);
        const double drift = 6.0 * k;
        for (int y = 0; y < ny; ++y) {
            for (int x = 0; x < nx; ++x) {
                double u = (x + drift) / 37.0, v = (y - 0.3 * drift) / 29.0;
                double c = std::sin(u) * std::cos(v) + 0.6 * std::sin(0.47 * u + 1.3 * v) +
                           0.35 * std::cos(1.9 * u - 0.7 * v);
                double val = 90.0 + 70.0 * c;
                img.data[static_cast<size_t>(y) * nx + x] =
                    static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, val))));
            }
        }
        char name[64];
        std::snprintf(name, sizeof name, "/%04d%02d%02d_%02d%02d.img", img.date.year,
                      img.date.month, img.date.day, img.date.hour, img.date.minute);
        if (IMG_write((dir + name).c_str(), &img, 1) != 1) {
            std::fprintf(stderr, "%s: cannot write %s%s\n", argv[0], dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
