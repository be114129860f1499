// LRIT benchmarks: reading a 5424 x 5424 JPEG LRIT image, 8-bit (made by
// cjpeg) and 12-bit (10-bit counts, made by GDAL), against GDAL decoding the
// same JPEG stream (`gdal_translate -of ENVI`) in the same run.
//
// Every image buffer comes fresh from the kernel (a fixed mmap threshold), as
// it does in the peer's new process, so the reader is not timed on memory the
// allocator hands back warm from the previous iteration.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../tools/lrit_fixture_lib.h"
#include "base/mess.h"
#include "bench_ratio.h"
#include "satformats/lrit.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSide = 5424;

const fs::path &work_dir() {
    static const fs::path dir = [] {
        // In memory when /dev/shm is there, so that GDAL's output costs no disk writes.
        const fs::path base =
            access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path d = base / ("bench_lrit." + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// A full disc: a smooth field with a ripple of cloud-like texture inside a
// circle, space (0) outside; counts up to 255 or 1023.
void write_pgm(const fs::path &path, int maxcount) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kSide << " " << kSide << "\n" << (maxcount > 255 ? 4095 : 255) << "\n";
    std::vector<char> row(static_cast<size_t>(kSide) * (maxcount > 255 ? 2 : 1));
    const double c = kSide / 2.0, r2 = 2700.0 * 2700.0;
    uint32_t seed = 12345;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double dx = x - c, dy = y - c;
            int v = 0;
            if (dx * dx + dy * dy < r2) {
                seed = seed * 1103515245u + 12345u;
                const double f = 0.5 + 0.25 * std::sin(x / 97.0) * std::cos(y / 131.0) +
                                 0.15 * std::sin((x + y) / 23.0) + (seed >> 24) / 2550.0;
                v = std::clamp(static_cast<int>(f * maxcount), 0, maxcount);
            }
            if (maxcount > 255) {
                row[2 * static_cast<size_t>(x)] = static_cast<char>(v >> 8);
                row[2 * static_cast<size_t>(x) + 1] = static_cast<char>(v & 0xFF);
            } else {
                row[static_cast<size_t>(x)] = static_cast<char>(v);
            }
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

struct Fixture {
    std::string jpeg, lrit; // empty when the encoder is missing
};

// The JPEG stream made by the encoder and the same stream wrapped in LRIT headers.
Fixture make_fixture(int bits) {
    const fs::path pgm = work_dir() / ("in" + std::to_string(bits) + ".pgm");
    const fs::path jpg = work_dir() / ("in" + std::to_string(bits) + ".jpg");
    write_pgm(pgm, bits == 8 ? 255 : 1023);
    const std::string cmd =
        bits == 8 ? "cjpeg -quality 90 -outfile '" + jpg.string() + "' '" + pgm.string() + "'"
                  : "gdal_translate -q -of JPEG -ot UInt16 -co QUALITY=90 '" + pgm.string() +
                        "' '" + jpg.string() + "'";
    if (std::system(cmd.c_str()) != 0)
        return {};
    fs::remove(pgm);
    std::ifstream in(jpg, std::ios::binary);
    const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    lrit_fixture::Header h;
    h.columns = h.lines = kSide;
    h.bits = bits == 8 ? 8 : 10;
    h.compression = 2;
    h.coff = h.loff = kSide / 2;
    h.cfac = h.lfac = -40932549;
    const auto bytes = lrit_fixture::write(h, stream);
    const fs::path lrit = work_dir() / ("in" + std::to_string(bits) + ".lrit");
    std::ofstream(lrit, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return {jpg.string(), lrit.string()};
}

const Fixture &fixture(int bits) {
    static std::map<int, Fixture> made;
    auto it = made.find(bits);
    if (it == made.end())
        it = made.emplace(bits, make_fixture(bits)).first;
    return it->second;
}

void BM_ReadLrit(benchmark::State &state) {
    const Fixture &f = fixture(static_cast<int>(state.range(0)));
    if (f.lrit.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    for (auto _ : state) {
        IMAGE image;
        if (SAT_read_LRIT(f.lrit.c_str(), &image) != 0)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(image.data.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Gdal(benchmark::State &state) {
    const Fixture &f = fixture(static_cast<int>(state.range(0)));
    if (f.jpeg.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    const std::string out = (work_dir() / "gdal.img").string();
    const std::string type = state.range(0) == 8 ? "Byte" : "UInt16";
    const std::string cmd =
        "gdal_translate -q -of ENVI -ot " + type + " '" + f.jpeg + "' '" + out + "'";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("gdal_translate failed");
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

BENCHMARK(BM_ReadLrit)->Arg(8)->Arg(12)->MinTime(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gdal)->Arg(8)->Arg(12)->MinTime(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    MESS_set(-1, 0xFFFFFFFFu);
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    setenv("GDAL_PAM_ENABLED", "NO", 1);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto time_of = [&](const std::string &prefix) {
        for (const auto &[name, t] : reporter.times)
            if (name.rfind(prefix, 0) == 0)
                return t;
        return 0.0;
    };
    for (int bits : {8, 12}) {
        const double ours = time_of("BM_ReadLrit/" + std::to_string(bits) + "/");
        const double gdal = time_of("BM_Gdal/" + std::to_string(bits) + "/");
        if (ours > 0 && gdal > 0)
            std::printf("LRIT %d-bit JPEG %dx%d / gdal_translate: %.2f (goal: at most 1)\n", bits,
                        kSide, kSide, ours / gdal);
    }
    fs::remove_all(work_dir());
    benchmark::Shutdown();
    return 0;
}
