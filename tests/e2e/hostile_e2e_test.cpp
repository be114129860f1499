// Whole-program runs on hostile inputs: names that are files, configuration that names a
// device, images that claim more than memory holds, and every shared sample cut short. The
// program must answer with a message and a status, never hang, run a command or die of a
// signal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <zlib.h>

#include "support/test_support.h"

using testsupport::run_program;
using testsupport::run_xsat;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAsan = true;
#else
constexpr bool kAsan = false;
#endif
#else
constexpr bool kAsan = false;
#endif

RunOptions isolated(const TempDir &dir, int timeout_s = 60) {
    RunOptions o;
    o.cwd = dir.path().string();
    o.env["HOME"] = dir.path().string();
    o.env["zordefault"] = dir.path().string();
    o.timeout_s = timeout_s;
    return o;
}

// xsat under a limit of its address space (none in the AddressSanitizer build, whose
// shadow memory needs more than any limit would leave).
RunResult run_limited(const std::vector<std::string> &args, const RunOptions &opt, long kib) {
    if (kAsan)
        return run_xsat(args, opt);
    std::vector<std::string> sh = {"-c", "ulimit -v " + std::to_string(kib) + "; exec \"$@\"",
                                   "xsat", XSAT_BINARY};
    sh.insert(sh.end(), args.begin(), args.end());
    return run_program("/bin/sh", sh, opt);
}

const std::string kImage = "ZORIMG\nl\nhostile test\n2 2\n" + std::string("\x01\x02\x03\x04", 4);

} // namespace

TEST(HostileE2E, GlobbedNamesAreFilesNotCommands) {
    TempDir dir;
    dir.write("|touch x.img", kImage);
    auto r = run_xsat(
        {"-ba", "-me", "mess", "-inp", "img", "-de", "p," + dir.file("out.ps"), "|touch x.img"},
        isolated(dir));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.img"))) << "the name ran a command";
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Reading image file: |touch x.img\n"), std::string::npos) << r.out;
}

// Configuration and images naming a device that never ends a line: each run ends.
TEST(HostileE2E, EndlessDevicesEndEveryLineReader) {
    TempDir dir;
    const std::string img = dir.write("e.img", kImage);
    const std::vector<std::vector<std::string>> runs = {
        {"-inp", "img", "/dev/zero"},
        {"-df", "/dev/zero", "-inp", "img", img},
        {"-nc", "/dev/zero", "-inp", "img", img},
        {"-cf", "/dev/zero", "-pd", "ps,id:KDEN,10,10,1,1", "-inp", "img", img},
        {"-re", "fi:/dev/zero", "-inp", "img", img},
        {"-pd", "fi:/dev/zero", "-inp", "img", img},
    };
    for (auto args : runs) {
        args.insert(args.begin(), {"-ba", "-de", "p," + dir.file("out.ps")});
        auto r = run_xsat(args, isolated(dir, 30));
        EXPECT_LT(r.status, 128) << args[3] << " " << args[4] << ": " << r.err;
    }
}

// A compressed native image that claims 32768 x 32768 pixels and holds them (zlib streams
// of zeros): decoding it needs 1 GiB, more than the limit leaves. The read fails, status 10.
TEST(HostileE2E, ImageLargerThanMemoryFailsTheRead) {
    if (kAsan)
        GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    TempDir dir;
    std::string file = "ZORIMGZ\nl\ni\n32768 32768\n";
    const std::vector<uint8_t> zeros(10000, 0);
    std::vector<uint8_t> z(compressBound(zeros.size()));
    uLongf n = z.size();
    ASSERT_EQ(compress2(z.data(), &n, zeros.data(), zeros.size(), 9), Z_OK);
    const std::string stream(z.begin(), z.begin() + static_cast<long>(n));
    const size_t streams = (size_t{32768} * 32768 + 9999) / 10000;
    file.reserve(file.size() + streams * stream.size());
    for (size_t k = 0; k < streams; ++k)
        file += stream;
    const std::string img = dir.write("big.img", file);
    auto r = run_limited({"-ba", "-inp", "img", "-de", "p," + dir.file("out.ps"), img},
                         isolated(dir), 300 * 1024);
    EXPECT_EQ(r.status, 10) << r.err;
    EXPECT_NE(r.err.find("no memory for the image"), std::string::npos) << r.err;
}

// Every shared sample cut at many places, read by the reader of its folder under a memory
// limit: a message and a status, never a signal.
TEST(HostileE2E, TruncatedSamplesNeverKillTheProgram) {
    const std::string root = testsupport::shared_path("data");
    if (root.empty())
        GTEST_SKIP() << "shared sample data not found";
    const std::vector<std::pair<std::string, std::string>> folders = {
        {"area", "area"}, {"gini", "awipz"}, {"lrit", "lrit"}, {"geotiff", "tiff"}};
    TempDir dir;
    int runs = 0;
    for (const auto &[folder, input] : folders) {
        for (const auto &entry : std::filesystem::directory_iterator(root + "/" + folder)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string whole((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            const std::string type =
                entry.path().filename().string().find("uncompressed") != std::string::npos ? "awip"
                                                                                           : input;
            const size_t n = whole.size();
            for (size_t cut : {size_t{0}, size_t{21}, size_t{256}, size_t{300}, size_t{533},
                               size_t{1100}, size_t{3000}, n / 3, n / 2, n - 1}) {
                if (cut >= n)
                    continue;
                const std::string part = dir.write("cut", whole.substr(0, cut));
                auto r = run_limited({"-ba", "-inp", type, "-de", "p," + dir.file("out.ps"), part},
                                     isolated(dir), 1024 * 1024);
                ++runs;
                const std::string what = entry.path().filename().string() + " cut at " +
                                         std::to_string(cut) + ": status " +
                                         std::to_string(r.status) + "\n" + r.err;
                EXPECT_LT(r.status, 128) << what;
                if (r.status != 0) {
                    EXPECT_FALSE(r.err.empty()) << what;
                }
            }
        }
    }
    EXPECT_GT(runs, 100);
}
