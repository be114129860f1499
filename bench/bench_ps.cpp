// PostScript writing against reading: a 1920 x 1080 colour image and a polyline of 10,000
// points written by the PostScript workstation, and Ghostscript interpreting that same file
// without output (`gs -sDEVICE=nullpage`) in the same run. Writing should not be the slow
// side.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/image.h"
#include "base/mess.h"
#include "bench_ratio.h"
#include "gks/gks.h"
#include "gks/gks_ps.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kPoints = 10000;

const std::string &ps_file() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / "bench_ps_1920x1080.ps").string();
    return path;
}

IMAGE make_image() {
    IMAGE im;
    im.nx = im.bytes_per_line = kWidth;
    im.ny = kHeight;
    im.depth = 8;
    im.data.resize(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < im.data.size(); ++i)
        im.data[i] = static_cast<uint8_t>(i * 7 + i / kWidth);
    im.colors = std::make_shared<std::vector<float>>();
    for (int v = 0; v < 256; ++v) {
        float f = static_cast<float>(v) / 255.0f;
        im.colors->insert(im.colors->end(), {f, 1.0f - f, f * f});
    }
    im.num_colors = 256;
    return im;
}

// One page: the image over the whole 1920 x 1080 point surface (a 27.17 x 15.5 inch
// paper less its margins), then the polyline. Returns the file's size, 0 on failure.
int64_t write_page(const IMAGE &im, const std::vector<float> &line) {
    std::string connection = ps_file() + ",color,sz=27.17x15.5";
    if (gopen_ws(1, connection.c_str(), GWS_PS) != 0)
        return 0;
    float ws_win[4] = {0, 1, 0, static_cast<float>(kHeight) / kWidth};
    float ws_vp[4] = {0, kWidth, 0, kHeight};
    gset_ws_win(1, ws_win);
    gset_ws_vp(1, ws_vp);
    gset_vp(1, ws_win);
    gset_win(1, ws_win);
    gsel_norm_tran(1);
    gload_image(&im, 0, 0);
    gpolyline(kPoints, line.data());
    gclose_ws(1);
    return static_cast<int64_t>(std::filesystem::file_size(ps_file()));
}

void BM_WritePostScript(benchmark::State &state) {
    const IMAGE im = make_image();
    std::vector<float> line;
    for (int i = 0; i < kPoints; ++i) {
        line.push_back(static_cast<float>(i) / kPoints);
        line.push_back(0.28f + 0.25f * static_cast<float>((i * 37) % 101) / 101.0f);
    }
    gopen_gks(nullptr);
    int64_t bytes = 0;
    for (auto _ : state) {
        bytes = write_page(im, line);
        if (bytes == 0)
            state.SkipWithError("writing failed");
    }
    gclose_gks();
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_GhostscriptReads(benchmark::State &state) {
    const std::string cmd =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + ps_file() + "' >/dev/null 2>&1";
    if (!std::filesystem::exists(ps_file())) {
        state.SkipWithError("no PostScript file written");
        return;
    }
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(ps_file()));
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("gs failed (not installed, or the file is not PostScript)");
    state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_WritePostScript)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GhostscriptReads)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    MESS_set(-1, 0xFFFFFFFFu);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto write = reporter.times.find("BM_WritePostScript/real_time");
    const auto read = reporter.times.find("BM_GhostscriptReads/real_time");
    if (write != reporter.times.end() && read != reporter.times.end() && read->second > 0)
        std::printf("PostScript write / Ghostscript read: %.2f (goal: below 1)\n",
                    write->second / read->second);
    std::remove(ps_file().c_str());
    benchmark::Shutdown();
    return 0;
}
