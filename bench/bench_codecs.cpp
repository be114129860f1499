// Picture-file writers: a 1920 x 1080 8-bit frame of the GOES-8 GVAR water vapour image of
// the shared sample data (its 10-bit counts shifted to 8 bits, 75 grey levels), remapped
// onto a polar stereographic domain and shown through a 256-entry grey table, written as
// GIF and as PNG. The peer is ImageMagick writing the same
// indexed picture in the same run: its time is the processor time of `convert in.gif
// out.gif` (or out.png) less that of `convert in.gif null:`, so that start-up and reading
// cancel out; it is compared with our processor time (the machines we run on are shared),
// except for the GIF coder on every processor, whose wall time counts (the time a user
// waits; the peer codes on one processor).
// The PNG file is also compared with what `optipng -o2` makes of it.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/mess.h"
#include "gks/gif.h"
#include "gks/png.h"
#include "sat/sat_geom.h"
#include "sat/sat_tool.h"
#include "satformats/area.h"
#include "satformats/sat_tran.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

const std::string kFile =
    (fs::path(__FILE__).parent_path() / "../../shared/data/area/cmx3g8_wv_1998.260_0745_mcidas.ara")
        .lexically_normal()
        .string();
const char *kMagick = "/usr/bin/convert";

std::string scratch(const char *name) {
    static const fs::path dir = [] {
        fs::path d = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        d /= "xsat_bench_codecs." + std::to_string(getpid());
        fs::create_directories(d);
        return d;
    }();
    return (dir / name).string();
}

// The frame, made once: remapped counts as indices of a grey table.
const IMAGE *frame() {
    static IMAGE image;
    static bool tried = false;
    if (tried)
        return image.nx == 1920 ? &image : nullptr;
    tried = true;
    SAT_set_bit_shift(1); // counts x 32 in 16 bits: bits 7-14 are the top 8 of 10
    FilePtr f = FILE_open(kFile.c_str(), "rb");
    AREA area;
    if (!f || SAT_read_AREA(f.get(), &area) != 0)
        return nullptr;
    SAT_fill_AREA_image(&image, &area);
    AREA_init(&area);
    AREA_calc_domain(&image, &area);
    DOMAIN d;
    d.proj = 1;
    d.param[0] = 90;
    d.param[1] = -80;
    d.param[2] = 60;
    d.clat = 28;
    d.clon = -78;
    d.dx = d.dy = 0.02f;
    d.nx = 1920;
    d.ny = 1080;
    SAT_params().tran_sat = 1;
    SAT_params().remap_inc = 20;
    if (SAT_remap_image(&image, &d) != 1 || image.nx != 1920 || image.ny != 1080)
        return nullptr;
    image.color_type = 1;
    image.num_colors = 256;
    auto grey = std::make_shared<std::vector<float>>();
    for (int i = 0; i < 256; ++i)
        grey->insert(grey->end(), 3, i / 255.0f);
    image.colors = grey;
    return &image;
}

// Processor seconds (user and system) a program takes, or a negative value when it fails.
// Processor time, not wall time, so that a busy machine does not count against the peer.
double run_seconds(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    auto sec = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

std::map<std::string, double> &sizes() {
    static std::map<std::string, double> s;
    return s;
}

// state.range(0): coding threads (0: one per processor).
void BM_GifWrite(benchmark::State &state) {
    GIF_threads(static_cast<int>(state.range(0)));
    const IMAGE *src = frame();
    if (!src) {
        state.SkipWithError(("sample file missing or not remapped: " + kFile).c_str());
        return;
    }
    const std::string out = scratch("ours.gif");
    for (auto _ : state) {
        state.PauseTiming();
        IMAGE im = *src; // the writer turns the pixels into palette indices
        state.ResumeTiming();
        if (GIF_write(out.c_str(), &im) != 1)
            state.SkipWithError("GIF_write failed");
    }
    GIF_threads(0);
    sizes()["gif"] = static_cast<double>(fs::file_size(out));
    state.counters["bytes"] = sizes()["gif"];
}

void BM_PngWrite(benchmark::State &state) {
    const IMAGE *src = frame();
    if (!src) {
        state.SkipWithError(("sample file missing or not remapped: " + kFile).c_str());
        return;
    }
    const std::string out = scratch("ours.png");
    for (auto _ : state)
        if (PNG_write(out.c_str(), src) != 1)
            state.SkipWithError("PNG_write failed");
    sizes()["png"] = static_cast<double>(fs::file_size(out));
    state.counters["bytes"] = sizes()["png"];
}

// ImageMagick writing the picture it read from our GIF, less the same run writing nothing.
void magick_write(benchmark::State &state, const char *out_name) {
    const IMAGE *src = frame();
    if (!src || !fs::exists(kMagick)) {
        state.SkipWithError("sample file or /usr/bin/convert missing");
        return;
    }
    const std::string in = scratch("input.gif");
    IMAGE im = *src;
    if (GIF_write(in.c_str(), &im) != 1) {
        state.SkipWithError("GIF_write failed");
        return;
    }
    const std::string out = scratch(out_name);
    // Process times are coarse and noisy next to the difference sought: the difference of
    // the medians of 15 runs each.
    for (auto _ : state) {
        std::vector<double> all, base;
        for (int k = 0; k < 15; ++k) {
            all.push_back(run_seconds({kMagick, in, out}));
            base.push_back(run_seconds({kMagick, in, "null:"}));
            if (all.back() < 0 || base.back() < 0)
                break;
        }
        if (all.back() < 0 || base.back() < 0) {
            state.SkipWithError("convert failed");
            break;
        }
        auto median = [](std::vector<double> v) {
            std::nth_element(v.begin(), v.begin() + ptrdiff_t(v.size() / 2), v.end());
            return v[v.size() / 2];
        };
        state.SetIterationTime(std::max(median(all) - median(base), 0.0));
    }
    if (fs::exists(out))
        state.counters["bytes"] = static_cast<double>(fs::file_size(out));
}

void BM_MagickGifWrite(benchmark::State &state) {
    magick_write(state, "magick.gif");
}
void BM_MagickPngWrite(benchmark::State &state) {
    magick_write(state, "magick.png");
}

BENCHMARK(BM_GifWrite)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifWrite)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickGifWrite)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickPngWrite)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the closing lines.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const auto &r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                times[r.benchmark_name()] = r.benchmark_name().find("_time") != std::string::npos
                                                ? r.GetAdjustedRealTime() // manual_time, real_time
                                                : r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double get(const std::string &prefix) const {
        for (const auto &[name, t] : times)
            if (name.rfind(prefix, 0) == 0)
                return t;
        return -1;
    }
    std::map<std::string, double> times; // milliseconds of processor time
};

} // namespace

int main(int argc, char **argv) {
    MESS_set(-1, 0xFFFFFFFFu);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double gif = reporter.get("BM_GifWrite/0"), im_gif = reporter.get("BM_MagickGifWrite");
    const double gif1 = reporter.get("BM_GifWrite/1");
    const double png = reporter.get("BM_PngWrite"), im_png = reporter.get("BM_MagickPngWrite");
    if (gif > 0 && im_gif > 0)
        std::printf(
            "GIF 1920x1080: %.1f ms, ImageMagick %.1f ms (processor time): %.1f times faster "
            "(goal: at least 3 times and under 20 ms)\n",
            gif, im_gif, im_gif / gif);
    if (gif1 > 0 && im_gif > 0)
        std::printf("GIF on one thread: %.1f ms, %.1f times faster\n", gif1, im_gif / gif1);
    if (png > 0)
        std::printf(
            "PNG 1920x1080: %.1f ms, ImageMagick %.1f ms (processor time; goal: under 25 ms)\n",
            png, im_png);
    // optipng -o2 on a copy of our file: ours may be at most 10% larger.
    const std::string ours = scratch("ours.png"), opt = scratch("optipng.png");
    if (fs::exists(ours) && std::system("command -v optipng >/dev/null 2>&1") == 0) {
        fs::copy_file(ours, opt, fs::copy_options::overwrite_existing);
        if (run_seconds({"/bin/sh", "-c", "optipng -quiet -o2 '" + opt + "'"}) >= 0) {
            const double a = static_cast<double>(fs::file_size(ours));
            const double b = static_cast<double>(fs::file_size(opt));
            std::printf("PNG size: ours %.0f bytes, optipng -o2 %.0f bytes: %+.1f%% "
                        "(goal: at most +10%%)\n",
                        a, b, 100.0 * (a - b) / b);
        }
    }
    std::error_code ec;
    fs::remove_all(fs::path(ours).parent_path(), ec);
    benchmark::Shutdown();
    return 0;
}
