// Remap against gdalwarp, end to end and the remap alone: a 5424 x 5424 GVAR full
// disc at 75 W (nominal imager, written with the AREA fixture writer) remapped onto a
// 1920 x 1080 Lambert conformal domain over North America, bilinear, step 20.
//
// End to end: fresh processes of `xsat` (batch run writing the remapped native image)
// and of `gdalwarp -r bilinear -wo NUM_THREADS=1` with its defaults and like for like
// (`-wo XSCALE=1 -wo YSCALE=1`), on the same pixels as a `+proj=geos +sweep=x`
// GeoTIFF on the navigation's own earth (the international ellipsoid; the fit of the
// GeoTIFF's grid to the navigation is printed). Each is run several times; medians,
// spread and peak memory are printed. The remap alone runs in this process on the
// image read once: rows of segments (the default) and the navigation grid, on one
// thread and on all, without and with the kept table.
//
//   bench_remap_e2e [xsat binary] [runs]
#include <fcntl.h>
#include <proj.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "../tools/area_fixture_lib.h"
#include "base/files.h"
#include "base/mess.h"
#include "bench_proc.h"
#include "map/maptran.h"
#include "map/region.h"
#include "sat/sat_geom.h"
#include "sat/sat_navgrid.h"
#include "sat/sat_pool.h"
#include "sat/sat_tool.h"
#include "satformats/sat_read.h"
#include "satformats/sat_tran.h"

namespace fs = std::filesystem;
namespace fx = area_fixture;
using Clock = std::chrono::steady_clock;

namespace {

using bench::Child;
using bench::run;
using bench::stats;
using bench::Stats;

constexpr int kSide = 5424, kNx = 1920, kNy = 1080;
constexpr int kLres = 2, kEres = 4, kLine0 = 2587, kElem0 = 4493;
const char *kDomain = "lamb:25:-95:30:60,45,-97,1920,1080,0.03,0.03";
const char *kGeos = "+proj=geos +h=35785977 +lon_0=-75 +sweep=x +ellps=intl +units=m +no_defs";

uint8_t pixel(size_t i, size_t j) {
    const double v = 128 + 70 * std::sin(double(i) / 41.0) * std::cos(double(j) / 67.0) +
                     20 * std::sin(double(i + 2 * j) / 7.3);
    return uint8_t(std::clamp(v, 1.0, 255.0));
}

bool write_file(const fs::path &p, const std::vector<uint8_t> &bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::vector<uint8_t> read_tail(const fs::path &p, size_t n) {
    std::ifstream f(p, std::ios::binary | std::ios::ate);
    const auto size = size_t(f.tellg());
    std::vector<uint8_t> v;
    if (!f || size < n)
        return v;
    v.resize(n);
    f.seekg(std::streamoff(size - n));
    f.read(reinterpret_cast<char *>(v.data()), std::streamsize(n));
    return v;
}

// Exact navigation of an output pixel through the GVAR navigation, as the remap does it.
class Exact final : public remap::Locator {
  public:
    explicit Exact(const DOMAIN &d) : d_(d), proj_(d) { proj_.limits(lim_); }
    void locate(int m, int r, double *row, double *col) const override {
        *row = *col = std::numeric_limits<double>::quiet_NaN();
        const float x = m == d_.nx - 1 ? lim_[1] : lim_[0] + float(m) * d_.dx;
        float lat = -9999.0f, lon = -9999.0f, line = 0, elem = 0;
        proj_.untran(&lat, &lon, x, lim_[3] - float(r) * d_.dy);
        if (lat == -9999.0f || AREA_navigation().tran(2, &lat, &lon, &line, &elem) != 0 ||
            line == -9999.0f)
            return;
        AREA_navigation().line_elem(2, &line, &elem, &line, &elem);
        *row = line - 1.0;
        *col = elem - 1.0;
    }

  private:
    DOMAIN d_;
    MapProjection proj_;
    float lim_[4] = {};
};

// Mean difference (ours - theirs) and share of equal pixels where both show the disc.
void compare(const char *what, const std::vector<uint8_t> &ours, const std::vector<uint8_t> &gdal) {
    if (ours.size() != gdal.size() || ours.empty()) {
        std::printf("%-34s no comparison (sizes %zu, %zu)\n", what, ours.size(), gdal.size());
        return;
    }
    long n = 0, equal = 0, within1 = 0;
    double sum = 0;
    for (size_t k = 0; k < ours.size(); ++k) {
        if (ours[k] == 0 || gdal[k] == 0)
            continue;
        ++n;
        const int d = int(ours[k]) - int(gdal[k]);
        sum += d;
        equal += d == 0;
        within1 += std::abs(d) <= 1;
    }
    std::printf("%-34s mean %+.3f counts, %.1f%% equal, %.1f%% within 1 (%ld pixels)\n", what,
                n ? sum / double(n) : 0.0, n ? 100.0 * double(equal) / double(n) : 0.0,
                n ? 100.0 * double(within1) / double(n) : 0.0, n);
}

} // namespace

int main(int argc, char **argv) {
    const std::string xsat = argc > 1 ? fs::absolute(argv[1]).string() : "xsat";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    MESS_set(-1, 0xFFFFFFFFu);
    const fs::path dir =
        fs::temp_directory_path() / ("bench_remap_e2e." + std::to_string(getpid()));
    fs::create_directories(dir);

    // The full disc.
    fx::Image im;
    im.lines = im.elems = kSide;
    im.ul_line = kLine0;
    im.ul_elem = kElem0;
    im.line_res = kLres;
    im.elem_res = kEres;
    im.nav_type = "GVAR";
    im.nav = fx::gvar_block(fx::Gvar{});
    im.pixels.resize(size_t(kSide) * kSide);
    for (size_t i = 0; i < size_t(kSide); ++i)
        for (size_t j = 0; j < size_t(kSide); ++j)
            im.pixels[i * kSide + j] = pixel(i, j);
    const fs::path area = dir / "disc.area";
    write_file(area, fx::write_plain(im, fx::Order::big));
    write_file(dir / "disc.raw", im.pixels);
    {
        std::ofstream h(dir / "disc.hdr");
        h << "ENVI\nsamples = " << kSide << "\nlines = " << kSide
          << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 1\n"
             "interleave = bsq\nbyte order = 0\n";
    }

    // Read once in this process: the navigation for the fit and the remap alone.
    IMAGE src;
    {
        FilePtr f = FILE_open(area.string().c_str(), "rb");
        AREA a;
        if (!f || SAT_read_AREA(f.get(), &a) != 0) {
            std::fprintf(stderr, "cannot read %s\n", area.string().c_str());
            return 1;
        }
        SAT_fill_AREA_image(&src, &a);
        AREA_init(&a);
        AREA_calc_domain(&src, &a);
    }
    bench::GeosGrid gg;
    if (!bench::fit_geos(kGeos, "+proj=longlat +ellps=intl +no_defs", -60, 60, -135, -15, 5, &gg)) {
        std::fprintf(stderr, "no geos fit\n");
        return 1;
    }
    std::printf("GeoTIFF grid fitted to the navigation: %.3f x %.3f m, worst residual %.4f px\n",
                gg.dx, gg.dy, gg.worst);
    auto num = [](double v) {
        char b[64];
        std::snprintf(b, sizeof b, "%.6f", v);
        return std::string(b);
    };
    const std::string tif = (dir / "disc.tif").string();
    Child t = run({"gdal_translate", "-q", "-a_srs", kGeos, "-a_ullr", num(gg.x0 - gg.dx / 2),
                   num(gg.y0 - gg.dy / 2), num(gg.x0 + (kSide - 0.5) * gg.dx),
                   num(gg.y0 + (kSide - 0.5) * gg.dy), (dir / "disc.raw").string(), tif});
    if (t.status != 0) {
        std::fprintf(stderr, "gdal_translate failed\n");
        return 1;
    }

    // The output grid: the domain completed as xsat does it, in metres for gdalwarp.
    DOMAIN dom;
    DOM_init(&dom);
    DOM_decode(kDomain, &dom);
    const MapProjection proj(dom);
    float lim[4];
    proj.limits(lim);
    const double hx = dom.dx * 0.5, hy = dom.dy * 0.5;
    const std::string lcc = "+proj=lcc +lat_0=90 +lat_1=" + num(dom.param[2]) +
                            " +lat_2=" + num(dom.param[3]) + " +lon_0=" + num(dom.param[1]) +
                            " +R=6371220 +units=m +no_defs";
    const std::vector<std::string> te = {"-te", num((lim[0] - hx) * 1e5), num((lim[2] - hy) * 1e5),
                                         num((lim[1] + hx) * 1e5), num((lim[3] + hy) * 1e5)};

    // End to end.
    auto gdal_args = [&](bool like, const std::string &out) {
        std::vector<std::string> a = {"gdalwarp", "-q",  "-overwrite",    "-of",    "ENVI", "-r",
                                      "bilinear", "-wo", "NUM_THREADS=1", "-t_srs", lcc};
        a.insert(a.end(), te.begin(), te.end());
        for (const char *s : {"-ts", "1920", "1080"})
            a.push_back(s);
        if (like)
            for (const char *s : {"-wo", "XSCALE=1", "-wo", "YSCALE=1"})
                a.push_back(s);
        a.push_back(tif);
        a.push_back(out);
        return a;
    };
    const std::string data = (fs::path(__FILE__).parent_path() / "../data").lexically_normal();
    // The plot fills the picture ("full"), so the remap makes the whole grid as gdalwarp does.
    const std::vector<std::string> xargs = {xsat,   "-ba",   "-fp", data,        "-inp",
                                            "area", "-of",   "img", "-pp",       "full",
                                            "-pd",  kDomain, "-ge", "1920x1080", area.string()};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> a = xargs;
        a.insert(a.begin() + 1, extra.begin(), extra.end());
        return a;
    };
    struct Row {
        const char *what;
        std::vector<std::string> args;
        fs::path out; // xsat: its folder, emptied before each run
        std::vector<double> t;
        long rss = 0;
    } rows[] = {{"xsat, threads 1", with({"-th", "1"}), dir / "x1", {}, 0},
                {"xsat, all threads", xargs, dir / "xa", {}, 0},
                {"xsat grid, threads 1", with({"-th", "1", "-rme", "0.125"}), dir / "g1", {}, 0},
                {"xsat grid, all threads", with({"-rme", "0.125"}), dir / "ga", {}, 0},
                {"gdalwarp defaults", gdal_args(false, (dir / "gd.raw").string()), {}, {}, 0},
                {"gdalwarp like for like", gdal_args(true, (dir / "gl.raw").string()), {}, {}, 0}};
    const Row &x1row = rows[0], &g1row = rows[2], &gd = rows[4], &gl_row = rows[5];
    const fs::path cwd = fs::current_path();
    constexpr size_t kRows = std::size(rows);
    for (int k = 0; k < runs; ++k) {
        // Each round starts at another row, so that no program always runs right after
        // another's (a neighbour's freed memory or written file costs the next one).
        for (size_t i = 0; i < kRows; ++i) {
            Row &r = rows[(i + size_t(k)) % kRows];
            if (!r.out.empty()) {
                fs::remove_all(r.out);
                fs::create_directories(r.out);
                fs::current_path(r.out);
            }
            // All read their input from the page cache (written just before).
            const Child c = run(r.args, dir / "rss");
            fs::current_path(cwd);
            if (c.status != 0)
                std::fprintf(stderr, "%s: status %d\n", r.what, c.status);
            r.t.push_back(c.seconds);
            r.rss = std::max(r.rss, c.max_rss_kb);
        }
    }
    std::printf("\nEnd to end, %d runs each (median [min, max] s, peak memory):\n", runs);
    for (const Row &r : rows) {
        const Stats s = stats(r.t);
        std::printf("  %-24s %.3f [%.3f, %.3f] s  %6.1f Mpx/s  %ld MB\n", r.what, s.median, s.lo,
                    s.hi, kNx * kNy / s.median / 1e6, r.rss / 1024);
    }
    for (const Row *x : {&x1row, &g1row}) {
        const double m = stats(x->t).median;
        std::printf("  gdalwarp / %s: defaults %.2f, like for like %.2f [%.2f, %.2f]\n", x->what,
                    stats(gd.t).median / m, stats(gl_row.t).median / m,
                    stats(gl_row.t).lo / stats(x->t).hi, stats(gl_row.t).hi / stats(x->t).lo);
    }

    // Accuracy against gdalwarp like for like.
    auto written = [&](const fs::path &folder) {
        std::vector<uint8_t> v;
        for (const auto &e : fs::directory_iterator(folder))
            if (e.path().extension() == ".img")
                v = read_tail(e.path(), size_t(kNx) * kNy);
        return v;
    };
    const std::vector<uint8_t> gl = read_tail(dir / "gl.raw", size_t(kNx) * kNy);
    std::printf("\nAgainst gdalwarp like for like:\n");
    compare("  xsat (rows of segments, step 20)", written(x1row.out), gl);
    compare("  xsat (grid, bound 1/8 px)", written(g1row.out), gl);

    // The remap alone.
    // The domain as given: completing it to a 1920 x 1080 window leaves it as it is.
    SAT_params().remap_inc = 20;
    SAT_params().pix_ave = 1;
    SAT_params().tran_sat = 1;
    // One thread and all threads take turns within each round, so that a change in the
    // machine's speed during the run (it is shared) weighs on both alike; the scaling is
    // the median of the rounds' ratios.
    const int all = SAT_thread_count(), rounds = std::max(runs, 9);
    std::printf("\nRemap alone, %dx%d, median [min, max] of %d, fresh output memory each:\n", kNx,
                kNy, rounds);
    std::vector<uint8_t> grid_out;
    for (float bound : {0.0f, SAT_REMAP_MAX_ERROR}) {
        for (bool cached : {false, true}) {
            SAT_geom_reset_state();
            SAT_GEOM g = SAT_geom_context();
            g.max_error = bound;
            g.cache = cached ? SAT_remap_cache() : nullptr;
            auto once = [&](int threads) {
                g.threads = threads;
                IMAGE work = src;
                const auto t0 = Clock::now();
                SAT_remap_image(g, &work, &dom);
                const double s = std::chrono::duration<double>(Clock::now() - t0).count();
                if (bound > 0 && threads == 1 && !cached && grid_out.empty())
                    grid_out.assign(work.data.begin(), work.data.end());
                return kNx * kNy / s / 1e6;
            };
            // Cached: the first remaps make the table (the row table is kept from the
            // second on) and are left out; so is the workers' start.
            for (int k = 0; k < (cached ? 2 : 0); ++k)
                once(1);
            once(all);
            std::vector<double> one, many, ratio;
            for (int k = 0; k < rounds; ++k) {
                one.push_back(once(1));
                many.push_back(once(all));
                ratio.push_back(many.back() / one.back());
            }
            const char *what = bound > 0 ? "navigation grid" : "rows of segments";
            for (const auto &[threads, rate] : {std::pair{1, &one}, std::pair{all, &many}}) {
                const Stats s = stats(*rate);
                std::printf("  %-20s threads %d %-7s %7.1f [%.1f, %.1f] Mpx/s\n", what, threads,
                            cached ? "cached" : "", s.median, s.lo, s.hi);
            }
            const Stats r = stats(ratio);
            std::printf("  %-20s threads %d / 1 %-7s %5.2f [%.2f, %.2f]\n", what, all,
                        cached ? "cached" : "", r.median, r.lo, r.hi);
        }
    }
    compare("  remap alone, grid (bound 1/8 px)", grid_out, gl);
    const Exact exact(dom);
    const remap::Table table =
        remap::build_table(exact, kNx, kNy, 20, SAT_REMAP_MAX_ERROR, SAT_thread_count());
    const remap::TableCheck check = remap::check_table(table, exact);
    std::printf("Navigation grid: largest position error %.4f px, %ld pixels on the disc in one "
                "only, %ld points navigated (%.2f%% of the pixels), table %zu KB\n",
                check.max_error, check.disagree, table.navigations,
                100.0 * double(table.navigations) / (double(kNx) * kNy), table.bytes() / 1024);
    if (!std::getenv("BENCH_KEEP"))
        fs::remove_all(dir);
    return 0;
}
