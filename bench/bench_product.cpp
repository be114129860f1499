// One complete product, end to end: the GVAR AREA water-vapour image of the shared sample
// data made into a 1920 x 1080 Lambert conformal picture (read, remap, colour through an
// enhancement, coastlines, borders and states, latitude-longitude lines with labels, the
// date label, the colour bar, PNG dump) by a fresh `xsat` batch run, against GDAL doing
// less in the same run: `gdalwarp` to the same grid (bilinear) and `gdal_translate -of PNG`,
// two fresh processes, no overlays. GDAL gets the same 8-bit counts as a GeoTIFF on a
// geostationary grid fitted to the navigation. Medians and spread of several runs.
//
//   bench_product [xsat binary] [runs]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/image.h"
#include "base/mess.h"
#include "bench_proc.h"
#include "map/maptran.h"
#include "map/region.h"
#include "satformats/area.h"
#include "satformats/sat_tran.h"

namespace fs = std::filesystem;

namespace {

constexpr int kNx = 1920, kNy = 1080;
const char *kDomain = "lamb:25:-80:25:25,25,-80,1920,1080,0.035,0.035";
const char *kGeos = "+proj=geos +h=35785977 +lon_0=-75 +sweep=x +ellps=intl +units=m +no_defs";
const char *kEarth = "+proj=longlat +ellps=intl +no_defs";

std::string num(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.6f", v);
    return b;
}

} // namespace

int main(int argc, char **argv) {
    const std::string xsat = argc > 1 ? fs::absolute(argv[1]).string() : "xsat";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const fs::path src_dir = fs::path(__FILE__).parent_path().parent_path();
    const fs::path area = src_dir / "../shared/data/area/cmx3g8_wv_1998.260_0745_mcidas.ara";
    if (!fs::exists(area)) {
        std::printf("skipped: the shared sample %s is absent\n", area.string().c_str());
        return 0;
    }
    MESS_set(-1, 0xFFFFFFFFu);
    const fs::path dir = fs::temp_directory_path() / ("bench_product." + std::to_string(getpid()));
    fs::create_directories(dir);

    // The counts and navigation as xsat reads them, for GDAL.
    IMAGE im;
    {
        FilePtr f = FILE_open(area.string().c_str(), "rb");
        AREA a;
        if (!f || SAT_read_AREA(f.get(), &a) != 0) {
            std::fprintf(stderr, "cannot read %s\n", area.string().c_str());
            return 1;
        }
        SAT_fill_AREA_image(&im, &a);
        AREA_init(&a);
    }
    {
        std::ofstream raw(dir / "wv.raw", std::ios::binary);
        raw.write(reinterpret_cast<const char *>(im.data.data()), std::streamsize(im.data.size()));
        std::ofstream h(dir / "wv.hdr");
        h << "ENVI\nsamples = " << im.nx << "\nlines = " << im.ny
          << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 1\n"
             "interleave = bsq\nbyte order = 0\n";
    }
    bench::GeosGrid gg;
    if (!bench::fit_geos(kGeos, kEarth, 10, 45, -110, -50, 1, &gg)) {
        std::fprintf(stderr, "no geos fit\n");
        return 1;
    }
    std::printf("GeoTIFF grid fitted to the navigation: %.1f x %.1f m, worst residual %.3f px\n",
                gg.dx, gg.dy, gg.worst);
    const std::string tif = (dir / "wv.tif").string();
    if (bench::run({"gdal_translate", "-q", "-a_srs", kGeos, "-a_ullr", num(gg.x0 - gg.dx / 2),
                    num(gg.y0 - gg.dy / 2), num(gg.x0 + (im.nx - 0.5) * gg.dx),
                    num(gg.y0 + (im.ny - 0.5) * gg.dy), (dir / "wv.raw").string(), tif})
            .status != 0) {
        std::fprintf(stderr, "gdal_translate failed\n");
        return 1;
    }

    // The output grid in metres, as xsat completes the domain.
    DOMAIN dom;
    DOM_init(&dom);
    DOM_decode(kDomain, &dom);
    float lim[4];
    MapProjection(dom).limits(lim);
    const double hx = dom.dx * 0.5, hy = dom.dy * 0.5;
    const std::string lcc = "+proj=lcc +lat_0=90 +lat_1=" + num(dom.param[2]) +
                            " +lat_2=" + num(dom.param[3]) + " +lon_0=" + num(dom.param[1]) +
                            " +R=6371220 +units=m +no_defs";
    const std::string warped = (dir / "warp.tif").string(), png = (dir / "gdal.png").string();
    const std::vector<std::string> warp = {"gdalwarp",
                                           "-q",
                                           "-overwrite",
                                           "-r",
                                           "bilinear",
                                           "-wo",
                                           "NUM_THREADS=1",
                                           "-t_srs",
                                           lcc,
                                           "-te",
                                           num((lim[0] - hx) * 1e5),
                                           num((lim[2] - hy) * 1e5),
                                           num((lim[1] + hx) * 1e5),
                                           num((lim[3] + hy) * 1e5),
                                           "-ts",
                                           "1920",
                                           "1080",
                                           tif,
                                           warped};
    const std::vector<std::string> translate = {"gdal_translate", "-q", "-of", "PNG", warped, png};

    const std::string data = (src_dir / "data").lexically_normal().string();
    const fs::path out = dir / "xsat";
    fs::create_directories(out);
    auto xsat_args = [&](const char *threads) {
        return std::vector<std::string>{xsat,   "-ba",        "-th",        threads,
                                        "-fp",  data,         "-inp",       "area",
                                        "-ge",  "1920x1080",  "-ip",        out.string(),
                                        "-of",  "png=wv.png", "-pp",        "bar",
                                        "-cof", "grey.enh",   "-mf",        "zor.map,lalo=10",
                                        "-pd",  kDomain,      area.string()};
    };
    const auto x1 = xsat_args("1"), x2 = xsat_args("2");

    std::vector<double> t_x1, t_x2, t_gdal;
    long rss_x = 0, rss_g = 0;
    for (int k = 0; k < runs; ++k) {
        fs::remove(out / "wv.png");
        const bench::Child a = bench::run(x1, dir / "rss");
        rss_x = std::max(rss_x, a.max_rss_kb);
        if (a.status != 0 || !fs::exists(out / "wv.png"))
            std::fprintf(stderr, "xsat: status %d, no PNG written\n", a.status);
        t_x1.push_back(a.seconds);
        t_x2.push_back(bench::run(x2).seconds);
        fs::remove(warped);
        fs::remove(png);
        const bench::Child w = bench::run(warp, dir / "rss");
        rss_g = std::max(rss_g, w.max_rss_kb);
        const bench::Child p = bench::run(translate);
        if (w.status != 0 || p.status != 0 || !fs::exists(png))
            std::fprintf(stderr, "gdal chain: status %d, %d\n", w.status, p.status);
        t_gdal.push_back(w.seconds + p.seconds);
    }
    const bench::Stats s1 = bench::stats(t_x1), s2 = bench::stats(t_x2), g = bench::stats(t_gdal);
    std::printf("One %dx%d product, %d runs (median [min, max] ms):\n", kNx, kNy, runs);
    std::printf("  xsat, 1 thread:   %6.1f [%.1f, %.1f]  peak %ld MB\n", s1.median * 1e3,
                s1.lo * 1e3, s1.hi * 1e3, rss_x / 1024);
    std::printf("  xsat, 2 threads:  %6.1f [%.1f, %.1f]\n", s2.median * 1e3, s2.lo * 1e3,
                s2.hi * 1e3);
    std::printf("  gdalwarp + gdal_translate -of PNG (no overlays): %6.1f [%.1f, %.1f]  peak %ld "
                "MB\n",
                g.median * 1e3, g.lo * 1e3, g.hi * 1e3, rss_g / 1024);
    std::printf("GDAL / xsat (1 thread): %.2f [%.2f, %.2f] (goal: at least 3; xsat under 150 ms)\n",
                g.median / s1.median, g.lo / s1.hi, g.hi / s1.lo);
    fs::remove_all(dir);
    return 0;
}
