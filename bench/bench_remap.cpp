// Remap benchmarks: the 1800 x 400 GOES-8 GVAR water vapour image of the shared
// sample data remapped onto a 1024 x 768 polar stereographic domain (3 km grid
// around 25 N 80 W), in the exact mode (every pixel through the image's satellite
// view domain) and with segments of 20 pixels through the GVAR navigation. The peer
// is the bare navigation of every output pixel (inverse projection, GVAR
// earth-to-scan and scan-to-pixel), which is what the interpolated mode avoids.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/files.h"
#include "base/mess.h"
#include "map/maptran.h"
#include "sat/sat_geom.h"
#include "sat/sat_tool.h"
#include "satformats/sat_read.h"
#include "satformats/sat_tran.h"

namespace {

const std::string kFile = (std::filesystem::path(__FILE__).parent_path() /
                           "../../shared/data/area/cmx3g8_wv_1998.260_0745_mcidas.ara")
                              .lexically_normal()
                              .string();

// The navigated image, read once.
const IMAGE *gvar_image() {
    static IMAGE image;
    static bool tried = false;
    if (!tried) {
        tried = true;
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR));
        FilePtr f = FILE_open(kFile.c_str(), "rb");
        AREA area;
        if (!f || SAT_read_AREA(f.get(), &area) != 0)
            return nullptr;
        SAT_fill_AREA_image(&image, &area);
        AREA_init(&area);
        AREA_calc_domain(&image, &area);
    }
    return image.nx == 1800 ? &image : nullptr;
}

DOMAIN ps_domain() {
    DOMAIN d;
    d.proj = 1;
    d.param[0] = 90;
    d.param[1] = -80;
    d.param[2] = 60;
    d.clat = 25;
    d.clon = -80;
    d.dx = d.dy = 0.03f;
    d.nx = 1024;
    d.ny = 768;
    return d;
}

void remap(benchmark::State &state, int step) {
    const IMAGE *src = gvar_image();
    if (!src) {
        state.SkipWithError(("sample file missing: " + kFile).c_str());
        return;
    }
    SAT_params().tran_sat = 1;
    SAT_params().remap_inc = step;
    const DOMAIN dom = ps_domain();
    size_t covered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        IMAGE im = *src;
        state.ResumeTiming();
        benchmark::DoNotOptimize(SAT_remap_image(&im, &dom));
        state.PauseTiming();
        covered = im.data.size() - size_t(std::count(im.data.begin(), im.data.end(), 0));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(dom.nx) * dom.ny);
    // Share of the output that shows image pixels (not black).
    state.counters["covered"] = double(covered) / (double(dom.nx) * dom.ny);
}

void BM_RemapExact(benchmark::State &state) {
    remap(state, 0);
}
void BM_RemapStep20(benchmark::State &state) {
    remap(state, 20);
}

// Peer: navigation of every output pixel without sampling.
void BM_NavigateEveryPixel(benchmark::State &state) {
    if (!gvar_image()) {
        state.SkipWithError(("sample file missing: " + kFile).c_str());
        return;
    }
    const DOMAIN dom = ps_domain();
    for (auto _ : state) {
        MAP_domain(&dom);
        float lim[4];
        MAP_get_limits(lim);
        double sum = 0;
        for (int r = 0; r < dom.ny; ++r) {
            for (int m = 0; m < dom.nx; ++m) {
                float lat = -9999.0f, lon = -9999.0f, line = 0, elem = 0;
                MAP_untran(&lat, &lon, lim[0] + m * dom.dx, lim[3] - r * dom.dy);
                if (AREA_tran(2, &lat, &lon, &line, &elem) == 0 && line != -9999.0f) {
                    AREA_line_elem(2, &line, &elem, &line, &elem);
                    sum += line + elem;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(dom.nx) * dom.ny);
}

} // namespace

BENCHMARK(BM_RemapExact)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemapStep20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NavigateEveryPixel)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
