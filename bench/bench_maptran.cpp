// Throughput of MAP_tran + MAP_untran against PROJ's proj_trans_generic (forward
// then inverse) on the same million points, one pair of runs per projection,
// followed by a table of points per second and the ratio ours / PROJ.
#include "map/maptran.h"

#include <benchmark/benchmark.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr size_t kN = 1000000;
constexpr double kD2R = 3.14159265358979323846 / 180.0;

struct Case {
    const char *name;
    DOMAIN dom;
    std::string proj; // the same projection for PROJ (sphere of radius 6371220 m)
};

DOMAIN domain(int proj, float lat0, float lon0, float p2 = -9999.0f, float p3 = -9999.0f,
              int ell = 0) {
    DOMAIN d;
    d.proj = proj;
    d.param[0] = d.clat = lat0;
    d.param[1] = d.clon = lon0;
    d.param[2] = p2;
    d.param[3] = p3;
    d.nx = d.ny = 100;
    d.dx = d.dy = 1.0f;
    d.ellipsoid = ell;
    return d;
}

std::vector<Case> cases() {
    const std::string R = " +R=6371220";
    return {
        {"pstereo", domain(1, 60, -105), "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + R},
        {"latlon", domain(2, 0, -100), "+proj=eqc +lon_0=-100" + R},
        {"merc", domain(3, 0, -100), "+proj=merc +lon_0=-100" + R},
        {"lamb", domain(4, 40, -95), "+proj=lcc +lat_0=90 +lat_1=30 +lat_2=60 +lon_0=-95" + R},
        {"ortho", domain(5, 40, -100), "+proj=ortho +lat_0=40 +lon_0=-100" + R},
        {"gnom", domain(6, 40, -100), "+proj=gnom +lat_0=40 +lon_0=-100" + R},
        {"moll", domain(7, 0, -100), "+proj=moll +lon_0=-100 +R=4505132.866431355"},
        {"lambaz", domain(8, 40, -100), "+proj=laea +lat_0=40 +lon_0=-100" + R},
        {"sat", domain(9, 0, -75), "+proj=geos +h=35789780 +lon_0=-75 +sweep=y" + R},
        {"sat:e scan", domain(9, 0, -75, 421.61f, 1.0f, 1),
         "+proj=geos +h=35782863 +lon_0=-75 +sweep=y +a=6378137 +b=6356752"},
    };
}

// Points within 45 degrees of latitude and 60 of longitude of the centre.
struct Points {
    std::vector<float> lat, lon;
};

Points make_points(const DOMAIN &d) {
    Points p;
    p.lat.resize(kN);
    p.lon.resize(kN);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    auto uniform = [&s]() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(s >> 11) / 9007199254740992.0;
    };
    for (size_t i = 0; i < kN; ++i) {
        p.lat[i] =
            static_cast<float>(std::fmin(std::fmax(d.clat + (uniform() - 0.5) * 90, -85), 85));
        p.lon[i] = static_cast<float>(d.clon + (uniform() - 0.5) * 120);
    }
    return p;
}

void bench_ours(benchmark::State &state, const Case &c, const Points &p) {
    MAP_domain(&c.dom);
    std::vector<float> x(kN), y(kN), lat(kN), lon(kN);
    for (auto _ : state) {
        for (size_t i = 0; i < kN; ++i)
            MAP_tran(&x[i], &y[i], p.lat[i], p.lon[i]);
        for (size_t i = 0; i < kN; ++i)
            MAP_untran(&lat[i], &lon[i], x[i], y[i]);
        benchmark::DoNotOptimize(lat.data());
        benchmark::DoNotOptimize(lon.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kN));
}

void bench_proj(benchmark::State &state, const Case &c, const Points &p) {
    PJ_CONTEXT *ctx = proj_context_create();
    PJ *pj = proj_create(ctx, c.proj.c_str());
    if (!pj) {
        state.SkipWithError("proj_create failed");
        proj_context_destroy(ctx);
        return;
    }
    // PROJ works in place on radians; forward then inverse brings the points back.
    std::vector<double> x(kN), y(kN);
    for (size_t i = 0; i < kN; ++i) {
        x[i] = p.lon[i] * kD2R;
        y[i] = p.lat[i] * kD2R;
    }
    const size_t sz = sizeof(double);
    for (auto _ : state) {
        proj_trans_generic(pj, PJ_FWD, x.data(), sz, kN, y.data(), sz, kN, nullptr, 0, 0, nullptr,
                           0, 0);
        proj_trans_generic(pj, PJ_INV, x.data(), sz, kN, y.data(), sz, kN, nullptr, 0, 0, nullptr,
                           0, 0);
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kN));
    proj_destroy(pj);
    proj_context_destroy(ctx);
}

// Console output as usual, plus the points per CPU second of each repetition
// of each benchmark (the machines running this are shared, so wall time and
// single runs are noisy).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, std::vector<double>> rates;
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs) {
            if (r.run_type != Run::RT_Iteration || r.cpu_accumulated_time <= 0)
                continue;
            const double v = static_cast<double>(r.iterations) * kN / r.cpu_accumulated_time;
            rates[r.run_name.function_name].push_back(v);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double best(const std::string &name) {
        const std::vector<double> &v = rates[name];
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    }
    double median(const std::string &name) {
        std::vector<double> v = rates[name];
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
    }
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    const std::vector<Case> all = cases();
    std::vector<Points> points;
    points.reserve(all.size());
    for (const Case &c : all)
        points.push_back(make_points(c.dom));
    for (size_t i = 0; i < all.size(); ++i) {
        const Case *c = &all[i];
        const Points *p = &points[i];
        benchmark::RegisterBenchmark((std::string("ours/") + c->name).c_str(),
                                     [c, p](benchmark::State &s) { bench_ours(s, *c, *p); })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5);
        benchmark::RegisterBenchmark((std::string("proj/") + c->name).c_str(),
                                     [c, p](benchmark::State &s) { bench_proj(s, *c, *p); })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nForward + inverse, points per CPU second (median of the runs of 1e6 points;\n"
                "ratio of the medians, and of the best runs)\n");
    std::printf("%-12s %14s %14s %8s %8s\n", "projection", "ours", "PROJ", "ratio", "best");
    for (const Case &c : all) {
        const std::string ours = std::string("ours/") + c.name,
                          peer = std::string("proj/") + c.name;
        const double m_ours = reporter.median(ours), m_peer = reporter.median(peer);
        if (m_ours > 0 && m_peer > 0)
            std::printf("%-12s %14.4g %14.4g %8.2f %8.2f\n", c.name, m_ours, m_peer,
                        m_ours / m_peer, reporter.best(ours) / reporter.best(peer));
    }
    benchmark::Shutdown();
    return 0;
}
