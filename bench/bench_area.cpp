// AREA benchmarks: navigation throughput (points per second) of the GOES
// spin-scan and GVAR transformations in both directions, and reading a
// 5424 x 5424 one-byte AREA file in a fresh process (this program started again
// with --read FILE) against `cat FILE > /dev/null` in the same run. The file is
// written and synced once and read by cat before the runs, so both read it from
// the page cache and neither pays for writing it back.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../tools/area_fixture_lib.h"
#include "base/files.h"
#include "base/mess.h"
#include "bench_ratio.h"
#include "satformats/area.h"
#include "satformats/sat_tran.h"

namespace fx = area_fixture;

extern char **environ;

namespace {

void install(const fx::Image &im) {
    const auto bytes = fx::write_plain(im, fx::Order::big);
    FILE *f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    AREA a;
    SAT_read_AREA(f, &a);
    std::fclose(f);
    AREA_init(&a);
}

void install_goes() {
    fx::Goes g;
    g.semi_maj_km = 42165.41;
    g.epoch_date = 980917;
    g.epoch_time = 173000;
    g.asc_node_deg = 183.95;
    g.pitch_deg = 0.01;
    fx::Image im;
    im.nav_type = "GOES";
    im.nav = fx::goes_block(g);
    install(im);
}

void install_gvar() {
    fx::Gvar g;
    g.imc = true;
    g.lon_terms[3] = 1e-4;
    g.att[0].mean = 1e-4;
    fx::Image im;
    im.nav_type = "GVAR";
    im.nav = fx::gvar_block(g);
    install(im);
}

// Scan coordinates of a grid over the disc that land on the earth, and their
// latitudes and longitudes.
struct Points {
    std::vector<float> line, elem, lat, lon;
};

Points disc_points(float lines, float elems) {
    Points p;
    for (int i = 1; i < 64; ++i)
        for (int j = 1; j < 64; ++j) {
            float l = lines * static_cast<float>(i) / 64, e = elems * static_cast<float>(j) / 64;
            float la = 0, lo = 0;
            if (AREA_tran(1, &la, &lo, &l, &e) != 0)
                continue;
            p.line.push_back(l);
            p.elem.push_back(e);
            p.lat.push_back(la);
            p.lon.push_back(lo);
        }
    return p;
}

void run_to_earth(benchmark::State &state, const Points &p) {
    size_t n = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < p.line.size(); ++i) {
            float la = 0, lo = 0, l = p.line[i], e = p.elem[i];
            benchmark::DoNotOptimize(AREA_tran(1, &la, &lo, &l, &e));
            benchmark::DoNotOptimize(la);
        }
        n += p.line.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(n));
}

void run_to_image(benchmark::State &state, const Points &p) {
    size_t n = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < p.lat.size(); ++i) {
            float la = p.lat[i], lo = p.lon[i], l = 0, e = 0;
            benchmark::DoNotOptimize(AREA_tran(2, &la, &lo, &l, &e));
            benchmark::DoNotOptimize(l);
        }
        n += p.lat.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(n));
}

void BM_SpinScanMode1(benchmark::State &state) {
    install_goes();
    run_to_earth(state, disc_points(18213, 15229));
}
void BM_SpinScanMode2(benchmark::State &state) {
    install_goes();
    run_to_image(state, disc_points(18213, 15229));
}
void BM_GvarMode1(benchmark::State &state) {
    install_gvar();
    run_to_earth(state, disc_points(15800, 30680));
}
void BM_GvarMode2(benchmark::State &state) {
    install_gvar();
    run_to_image(state, disc_points(15800, 30680));
}

// The 5424 x 5424 one-byte file, written once, synced and read once.
const std::string &big_file() {
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "bench_area_5424.area").string();
        fx::Image im;
        im.lines = im.elems = 5424;
        im.nav_type = "GVAR";
        im.nav = fx::gvar_block(fx::Gvar{});
        im.pixels.resize(size_t{5424} * 5424);
        for (size_t i = 0; i < im.pixels.size(); ++i)
            im.pixels[i] = static_cast<uint8_t>(i * 7 + i / 5424);
        const auto bytes = fx::write_plain(im, fx::Order::big);
        FILE *f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
        return p;
    }();
    return path;
}

// Runs a program and waits for it; its output goes to /dev/null. False when it failed.
bool spawn(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
    return status == 0;
}

std::string self_exe() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

void BM_ReadArea5424(benchmark::State &state) {
    const std::string &path = big_file();
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    spawn({"cat", path});
    for (auto _ : state)
        if (!spawn({self_exe(), "--read", path}))
            state.SkipWithError("read failed");
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Cat5424(benchmark::State &state) {
    const std::string &path = big_file();
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    spawn({"cat", path});
    for (auto _ : state)
        if (!spawn({"cat", path}))
            state.SkipWithError("cat failed");
    state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_SpinScanMode1);
BENCHMARK(BM_SpinScanMode2);
BENCHMARK(BM_GvarMode1);
BENCHMARK(BM_GvarMode2);
BENCHMARK(BM_ReadArea5424)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cat5424)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    MESS_set(-1, 0xFFFFFFFFu);
    if (argc == 3 && std::string(argv[1]) == "--read") {
        // The reader in a fresh process: what a program pays to read the file.
        FilePtr f = FILE_open(argv[2], "rb");
        AREA a;
        return f && SAT_read_AREA(f.get(), &a) == 0 && !a.data.empty() ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto read = reporter.times.find("BM_ReadArea5424/real_time");
    const auto cat = reporter.times.find("BM_Cat5424/real_time");
    if (read != reporter.times.end() && cat != reporter.times.end() && cat->second > 0)
        std::printf("AREA read 5424x5424 / cat: %.2f (goal: at most 2)\n",
                    read->second / cat->second);
    std::remove(big_file().c_str());
    benchmark::Shutdown();
    return 0;
}
