// GINI benchmark: reading the largest compressed product of the shared sample
// data (a series of zlib streams) against Python's zlib inflating the same
// streams, in the same run. The peer runs in one python3 process per
// repetition and times itself, so its start-up is not counted; both sides read
// the file from disk each time and keep the pixels in one buffer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../tools/gini_fixture_lib.h"
#include "base/mess.h"
#include "bench_ratio.h"
#include "satformats/gini.h"

namespace fs = std::filesystem;

namespace {

// The peer: stream boundaries are found once, then each run reads the file and
// inflates every stream into one joined buffer. Prints seconds per run.
constexpr const char *kPeer = R"(import sys, time, zlib
path, runs = sys.argv[1], int(sys.argv[2])
data = open(path, 'rb').read()
pos = data.index(b'\n') + 1 if data[:1] != b'x' else 0
bounds = []
while pos < len(data):
    d = zlib.decompressobj()
    try:
        d.decompress(memoryview(data)[pos:])
    except zlib.error:
        break
    if not d.eof:
        break
    end = len(data) - len(d.unused_data)
    bounds.append((pos, end))
    pos = end
def run():
    mv = memoryview(open(path, 'rb').read())
    return b''.join([zlib.decompress(mv[a:b]) for a, b in bounds])
run()
t = time.perf_counter()
for _ in range(runs):
    run()
print((time.perf_counter() - t) / runs)
)";

fs::path shared_dir() {
    if (const char *e = std::getenv("XSAT_SHARED"))
        return e;
    return fs::path(__FILE__).parent_path().parent_path().parent_path() / "shared";
}

// The largest compressed product of the samples; without them, a written
// product of the same size (1100 x 1280, four rows per stream).
const std::string &product() {
    static const std::string path = [] {
        std::string best;
        uintmax_t size = 0;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(shared_dir() / "data" / "gini", ec)) {
            const std::string name = e.path().filename().string();
            if (e.path().extension() == ".gini" && name.find("uncompressed") == std::string::npos &&
                e.file_size() > size) {
                size = e.file_size();
                best = e.path().string();
            }
        }
        if (!best.empty())
            return best;
        gini_fixture::Product p;
        p.nx = 1100;
        p.ny = 1280;
        p.pixels.resize(size_t{1100} * 1280);
        for (size_t i = 0; i < p.pixels.size(); ++i)
            p.pixels[i] = static_cast<uint8_t>((i % 1100) / 7 + (i / 1100) / 5 + (i * 31 % 17));
        const auto bytes = gini_fixture::write_compressed(p, 4);
        const std::string out = (fs::temp_directory_path() / "bench_gini.gini").string();
        FILE *f = std::fopen(out.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return out;
    }();
    return path;
}

void BM_GiniReadCompressed(benchmark::State &state) {
    const std::string &path = product();
    for (auto _ : state) {
        IMAGE im;
        if (SAT_read_gini(path.c_str(), &im, true) != 0)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(im.data.data());
    }
    state.SetLabel(fs::path(path).filename().string());
}

void BM_PythonZlib(benchmark::State &state) {
    const std::string script = (fs::temp_directory_path() / "bench_gini_peer.py").string();
    if (FILE *f = std::fopen(script.c_str(), "w")) {
        std::fputs(kPeer, f);
        std::fclose(f);
    }
    const std::string cmd = "python3 '" + script + "' '" + product() + "' 50";
    for (auto _ : state) {
        FILE *p = popen(cmd.c_str(), "r");
        double secs = -1;
        if (!p || std::fscanf(p, "%lf", &secs) != 1 || secs <= 0) {
            if (p)
                pclose(p);
            state.SkipWithError("python3 with zlib is not available");
            break;
        }
        pclose(p);
        state.SetIterationTime(secs);
    }
    std::remove(script.c_str());
}

BENCHMARK(BM_GiniReadCompressed)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PythonZlib)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    MESS_set(-1, 0xFFFFFFFFu);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double ours = 0, peer = 0;
    for (const auto &[name, t] : reporter.times) {
        if (name.rfind("BM_GiniReadCompressed", 0) == 0)
            ours = t;
        if (name.rfind("BM_PythonZlib", 0) == 0)
            peer = t;
    }
    if (ours > 0 && peer > 0)
        std::printf("GINI read / Python zlib on the same streams: %.2f (goal: at most 1)\n",
                    ours / peer);
    benchmark::Shutdown();
    return 0;
}
