// Image record and native image files. Compressed files are checked against Python's zlib
// (an independent inflater and deflater); headers are written by hand from the format.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "base/mess.h"
#include "gks/gif.h"
#include "gks/png.h"
#include "gks/xdump.h"
#include "sat/img_tool.h"
#include "support/test_support.h"

namespace {

using namespace std::string_literals;
using testsupport::Capture;
using testsupport::TempDir;

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>((i * 7 + (i / 100) * 13) ^ (i >> 5));
    return v;
}
// The same pixels, as Python source.
const char *PY_PATTERN = "bytes((((i*7+(i//100)*13)^(i>>5))&255) for i in range(N))";

template <class Bytes> std::string bytes_str(const Bytes &v) {
    return std::string(v.begin(), v.end());
}

IMAGE gray(int nx, int ny) {
    IMAGE im;
    IMG_init(&im);
    im.nx = im.bytes_per_line = nx;
    im.ny = ny;
    im.depth = 8;
    const std::vector<uint8_t> p = pattern(static_cast<size_t>(nx) * ny);
    im.data.assign(p.begin(), p.end());
    return im;
}

// Runs a Python script with arguments and returns its standard output.
std::string run_python(const std::string &script, const std::vector<std::string> &args) {
    std::vector<std::string> argv = {"-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    const testsupport::RunResult r = testsupport::run_program("python3", argv);
    EXPECT_EQ(r.status, 0) << "python failed: " << r.err;
    return r.out;
}

class ImgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        IMG_reset_state();
        IMG_READ_LIMITS lim;
        lim.waits = 2;
        lim.wait_ms = 1;
        IMG_set_read_limits(lim);
    }
    void TearDown() override {
        IMG_reset_state();
        MESS_reset_state();
    }
    // Writes the image (compressed when z) and reads it back.
    IMAGE round_trip(const IMAGE &a, int z) {
        IMAGE b;
        EXPECT_EQ(IMG_write(dir.file("rt.zor").c_str(), &a, z), 1);
        EXPECT_EQ(IMG_read_zor(dir.file("rt.zor").c_str(), &b, 0), 1);
        return b;
    }
    TempDir dir;
};

TEST_F(ImgTest, RecordInitCopyAndTextCuts) {
    IMAGE a = gray(4, 3);
    a.colors = std::make_shared<std::vector<float>>(6, 0.5f);
    a.num_colors = 2;
    IMG_set_label(&a, std::string(60, 'L'));
    IMG_set_info(&a, std::string(90, 'I'));
    EXPECT_EQ(a.label.size(), 51u);
    EXPECT_EQ(a.info.size(), 75u);
    IMAGE b;
    IMG_copy(&b, &a);
    b.data[0] ^= 0xFF;
    EXPECT_NE(a.data[0], b.data[0]) << "copy must own its pixels";
    EXPECT_EQ(a.colors.get(), b.colors.get()) << "colour table is shared";
    EXPECT_EQ(b.label, a.label);
    IMG_free(&b);
    EXPECT_TRUE(b.data.empty());
    EXPECT_EQ(b.num_colors, 0);
    EXPECT_EQ(a.colors.use_count(), 1);
}

TEST_F(ImgTest, RoundTripWithoutDomain) {
    for (int z : {0, 1}) {
        IMAGE a = gray(7, 5);
        a.label = "0630Z  4 DEC 26";
        a.info = "test image";
        const IMAGE b = round_trip(a, z);
        if (!z) {
            EXPECT_EQ(testsupport::read_file(dir.file("rt.zor")),
                      "ZORIMG\n0630Z  4 DEC 26\ntest image\n7 5\n" + bytes_str(a.data));
        }
        EXPECT_EQ(b.data, a.data);
        EXPECT_EQ(b.info, "test image");
        EXPECT_EQ(std::tuple(b.source, b.domain.proj, b.bytes_per_line, b.depth),
                  std::tuple(50, -9999, 7, 8));
        EXPECT_EQ(std::tuple(b.date.year, b.date.month, b.date.hour, b.date.minute),
                  std::tuple(2026, 12, 6, 30));
    }
}

// Geometry lines the writer must produce, and what they read back as.
TEST_F(ImgTest, GeometryTokensWriteAndReadBack) {
    const std::string nums = "40.000000 -100.000000 2.500000 2.500000 4 3\n";
    struct Row {
        int proj;
        std::vector<float> params; // param[0..] (-9999 = missing)
        std::string line;
        int read_proj;
    } rows[] = {
        {1, {-9999, -100}, "PS " + nums, 1},
        {1, {-9999, -105}, "PS:-105.000000 " + nums, 1},
        {2, {}, "LL " + nums, 2},
        {3, {}, "ME " + nums, 3},
        {4, {}, "LC " + nums, 4},
        {4, {-9999, -95}, "LC:-95.000000 " + nums, 4},
        {4,
         {25, -95, 25, 30, 1},
         "LC:25.000000:-95.000000:25.000000:30.000000:1.000000 " + nums,
         4},
        {9, {0, -75}, "SAT:0.000000:-75.000000 " + nums, 9},
        {9, {0, -75, 6.6f}, "SAT:0.000000:-75.000000:6.600000 " + nums, 9},
        {5, {}, nums, -9999}, // no token for orthographic
    };
    for (const Row &r : rows) {
        IMAGE a = gray(4, 3);
        a.domain = {
            .proj = r.proj, .clat = 40, .clon = -100, .dx = 2.5f, .dy = 2.5f, .nx = 4, .ny = 3};
        for (size_t i = 0; i < r.params.size(); ++i)
            a.domain.param[i] = r.params[i];
        const IMAGE b = round_trip(a, 0);
        EXPECT_EQ(testsupport::read_file(dir.file("rt.zor")),
                  "ZORIMG\n\n\n" + r.line + bytes_str(a.data));
        EXPECT_EQ(b.domain.proj, r.read_proj) << r.line;
        EXPECT_EQ(b.data, a.data);
        EXPECT_FLOAT_EQ(b.domain.clon, -100.0f);
        EXPECT_EQ(b.nx, 4);
        if (r.read_proj != -9999 && !(r.proj == 1 && r.params[1] == -100)) {
            for (int i = 0; i < 5; ++i)
                EXPECT_FLOAT_EQ(b.domain.param[i], a.domain.param[i]) << r.line << " " << i;
        }
    }
}

TEST_F(ImgTest, HandWrittenHeaders) {
    std::string px(6, 'x');
    struct Row {
        std::string head;
        int proj;
        float p0, p1, p2;
    } rows[] = {
        {"ZORIMG\nlabel\ninfo\nPS:60.5 45 -90 1 1 3 2\n", 1, -9999, 60.5f, -9999},
        {"ZORIMG\nlabel\ninfo\nLC:33:-97:33:45:0 45 -90 1 1 3 2\n", 4, 33, -97, 33},
        {"ZORIMG\nlabel\ninfo\nLC:33:-97:33 45 -90 1 1 3 2\n", 4, -9999, 33, -9999}, // fallback
        {"ZORIMG\nlabel\ninfo\nSAT:1:-75:42164 45 -90 1 1 3 2\n", 9, 1, -75, 42164},
        {"ZORIMG\nlabel\ninfo\nXY 45 -90 1 1 3 2\n", -9999, -9999, -9999, -9999},
        {"ZORIMG4\nlabel\ninfo\nps:-105,45,-90,3,2,100,100\n", 1, -9999, -105, -9999},
        {"ZORIMGV\nlabel\ninfo\n3 2\n" + std::string(1024, 'v'), -9999, -9999, -9999, -9999},
        {"ZORIMGC\nlabel\ninfo\n3 2\nab\x00\x02"
         "cccc"s,
         -9999, -9999, -9999, -9999},
        {"ZORIMGCV\nl\ni\n3 2\n"s + std::string(1024, 'v') + "ab\x00\xfe"s, -9999, -9999, -9999,
         -9999},
    };
    for (const Row &r : rows) {
        std::string f = dir.write("h.zor", r.head + px);
        IMAGE b;
        ASSERT_EQ(IMG_read_zor(f.c_str(), &b, 0), 1) << r.head;
        EXPECT_EQ(b.domain.proj, r.proj) << r.head;
        EXPECT_EQ(std::vector<float>(b.domain.param, b.domain.param + 3),
                  (std::vector<float>{r.p0, r.p1, r.p2}))
            << r.head;
        EXPECT_EQ(std::pair(b.nx, b.ny), std::pair(3, 2));
        EXPECT_EQ(std::pair(b.depth, b.bits_per_pixel), std::pair(8, 8)) << "the window needs both";
        EXPECT_EQ(bytes_str(b.data), px) << r.head;
        if (r.proj != -9999) {
            EXPECT_FLOAT_EQ(b.domain.clon, -90.0f) << r.head;
        }
    }
}

TEST_F(ImgTest, LongHeaderLinesAreCut) {
    std::string label = "0630Z  4 DEC 26" + std::string(300, 'l');
    std::string info(300, 'i');
    std::string geom = "3 2" + std::string(200, ' ') + "junk beyond the cut";
    std::string f = dir.write("l.zor", "ZORIMG\n" + label + "\n" + info + "\n" + geom + "\nABCDEF");
    IMAGE b;
    ASSERT_EQ(IMG_read_zor(f.c_str(), &b, 0), 1);
    EXPECT_EQ(b.label.size(), 51u);
    EXPECT_EQ(b.info, std::string(75, 'i'));
    EXPECT_EQ(bytes_str(b.data), "ABCDEF");
}

TEST_F(ImgTest, BadFilesFailCleanly) {
    const std::string h = "ZORIMG\nl\ni\n";
    const std::string bad[] = {
        "",
        "GIF89a",
        "ZORIMG\n",
        "ZORIMG\nlabel\n",
        h,
        h + "abc def\n",
        h + "0 5\n",
        h + "-3 4\n",
        h + "100001 1\n",
        h + "40000 40000\n", // absurd sizes
        h + "3 2\nABCDE",    // truncated plain data
        "ZORIMG4\nl\ni\nnot a domain at all,,\nABCDEF",
        "ZORIMGV\nl\ni\n3 2\n" + std::string(100, 'v'),
        "ZORIMG*\nl\ni\n3 2\n" + dir.file("no_such_data") + "\n",
        "ZORIMG*\nl\ni\n3 2\n",
        // Compressed data absent or all garbage: nothing decoded, even for a huge claim.
        "ZORIMGZ\nl\ni\n3 2\n",
        "ZORIMGZ\nl\ni\n3 2\nnot zlib at all",
        "ZORIMGZ\nl\ni\n32768 32768\n\x78\x9c\xff\xff\xff\xff",
    };
    for (const std::string &content : bad) {
        std::string f = dir.write("bad.zor", content);
        IMAGE b = gray(2, 2);
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(IMG_read_zor(f.c_str(), &b, 0), -1) << content.substr(0, 40);
        EXPECT_TRUE(b.data.empty());
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    }
    IMAGE b;
    EXPECT_EQ(IMG_read_zor(dir.file("missing.zor").c_str(), &b, 0), -1);
    Capture said(2);
    IMG_read_zor(dir.write("z.zor", "ZORIMGZ\nl\ni\n3 2\nxyz").c_str(), &b, 0);
    EXPECT_NE(said.text().find("compressed data is corrupt; nothing could be decoded"),
              std::string::npos);
}

TEST_F(ImgTest, SeparateDataFile) {
    std::string data = dir.write("px.bin", "ABCDEF");
    std::string f = dir.write("s.zor", "ZORIMG*\nl\ni\n3 2\n  " + data + "\n");
    IMAGE b;
    ASSERT_EQ(IMG_read_zor(f.c_str(), &b, 0), 1);
    EXPECT_EQ(bytes_str(b.data), "ABCDEF");
    dir.write("px.bin", "ABC");
    EXPECT_EQ(IMG_read_zor(f.c_str(), &b, 0), -1);
    // The name comes from the file: it runs no command.
    std::string ran = dir.file("ran");
    f = dir.write("s.zor", "ZORIMG*\nl\ni\n3 2\n|touch${IFS}" + ran + "\n");
    EXPECT_EQ(IMG_read_zor(f.c_str(), &b, 0), -1);
    EXPECT_FALSE(std::filesystem::exists(ran)) << "the data-file name ran a command";
}

// Python inflates our file stream by stream: a 25000-byte image is three streams.
TEST_F(ImgTest, CompressedStreamsMatchPythonZlib) {
    if (!testsupport::have_program("python3"))
        GTEST_SKIP() << "python3 not found";
    IMAGE a = gray(250, 100);
    std::string f = dir.file("c.zor"), out = dir.file("c.raw");
    MESS_set(1, 0x40000000u);
    Capture written(1);
    ASSERT_EQ(IMG_write(f.c_str(), &a, 1), 1);
    std::string dbg = written.text();
    EXPECT_NE(dbg.find("Deflate+ 1 = 0 10000 = "), std::string::npos) << dbg;
    EXPECT_NE(dbg.find("Deflate+ 1 = 0 5000 = "), std::string::npos) << dbg;
    EXPECT_EQ(run_python(R"(import sys, zlib
d = open(sys.argv[1], 'rb').read()
assert d.startswith(b'ZORIMGZ\n')
d = d.split(b'\n', 4)[4]
raw, sizes = b'', []
while d:
    o = zlib.decompressobj()
    p = o.decompress(d)
    assert o.eof
    raw += p; sizes.append(len(p)); d = o.unused_data
open(sys.argv[2], 'wb').write(raw)
print(*sizes))",
                         {f, out}),
              "10000 10000 5000\n");
    EXPECT_EQ(testsupport::read_file(out), bytes_str(a.data));
    IMAGE b;
    Capture read(1);
    ASSERT_EQ(IMG_read_zor(f.c_str(), &b, 0), 1);
    dbg = read.text();
    EXPECT_NE(dbg.find("- 25000 25000\n"), std::string::npos) << dbg;
    EXPECT_EQ(b.data, a.data);
}

// Files deflated by Python: complete, cut short, corrupt in the second stream, and still
// being written while we read.
TEST_F(ImgTest, ReadsPythonCompressedFiles) {
    if (!testsupport::have_program("python3"))
        GTEST_SKIP() << "python3 not found";
    const std::vector<uint8_t> px = pattern(25000);
    std::string base = dir.file("p");
    run_python(std::string("import sys, zlib\nN = 25000\npx = ") + PY_PATTERN + R"(
h = b'ZORIMGZ\n\n\n250 100\n'
s = [zlib.compress(px[i:i+10000], 9) for i in range(0, N, 10000)]
for ext, d in (('.full', h + b''.join(s)), ('.short', h + s[0] + s[1]),
               ('.bad', h + s[0] + b'\x78\x9c\xff' * 50), ('.head', h + s[0]),
               ('.tail', s[1] + s[2])):
    open(sys.argv[1] + ext, 'wb').write(d))",
               {base});
    const struct {
        const char *ext;
        size_t good;
    } rows[] = {{".full", 25000}, {".short", 20000}, {".bad", 10000}};
    for (const auto &r : rows) {
        IMAGE b;
        ASSERT_EQ(IMG_read_zor((base + r.ext).c_str(), &b, 0), 1) << r.ext;
        ASSERT_EQ(b.data.size(), 25000u);
        EXPECT_TRUE(std::equal(px.begin(), px.begin() + r.good, b.data.begin())) << r.ext;
        EXPECT_TRUE(std::all_of(b.data.begin() + r.good, b.data.end(), [](uint8_t v) {
            return v == 0;
        })) << r.ext;
    }
    // Growing file: the rest arrives while the reader waits.
    IMG_READ_LIMITS lim;
    lim.waits = 40;
    lim.wait_ms = 50;
    IMG_set_read_limits(lim);
    std::string grow = dir.write("grow.zor", testsupport::read_file(base + ".head"));
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::ofstream(grow, std::ios::binary | std::ios::app)
            << testsupport::read_file(base + ".tail");
    });
    IMAGE b;
    int rc = IMG_read_zor(grow.c_str(), &b, 0);
    writer.join();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(b.data, px);
}

// Deeper pixels and colour-indexed images are written one byte per pixel.
TEST_F(ImgTest, WritesDeepPixelsAsBytes) {
    struct Row {
        int depth, bpp, order, bpl;
        std::vector<uint8_t> row; // one row of 2 pixels (or more for packed depths)
        std::vector<uint8_t> expect;
    } rows[] = {
        {24, 32, 1, 8, {0, 30, 60, 90, 9, 1, 2, 3}, {60, 2}},
        {24, 32, 0, 8, {30, 60, 90, 0, 1, 2, 3, 9}, {60, 2}},
        {24, 24, 1, 6, {1, 2, 3, 4, 5, 6}, {3, 6}},
        {24, 24, 0, 6, {1, 2, 3, 4, 5, 6}, {1, 4}},
        {16, 16, 1, 4, {1, 2, 3, 4}, {2, 4}},
        {16, 16, 0, 4, {1, 2, 3, 4}, {1, 3}},
        {4, 4, 1, 1, {0xA5}, {0xA, 0x5}},
        {1, 1, 1, 1, {0x02}, {0, 1}},
    };
    for (const Row &r : rows) {
        IMAGE a;
        IMG_init(&a);
        a.nx = a.ny = 2;
        a.depth = r.depth;
        a.bits_per_pixel = r.bpp;
        a.byte_order = r.order;
        a.bytes_per_line = r.bpl;
        a.data.assign(r.row.begin(), r.row.end());
        a.data.insert(a.data.end(), r.row.begin(), r.row.end());
        std::vector<uint8_t> want = r.expect;
        want.insert(want.end(), r.expect.begin(), r.expect.end());
        EXPECT_EQ(round_trip(a, 0).data, want) << "depth " << r.depth << " order " << r.order;
    }
    // A colour-indexed image asked for compression is compressed and reads back.
    IMAGE a = gray(120, 100);
    a.num_colors = 2;
    a.colors = std::make_shared<std::vector<float>>(6, 1.0f);
    EXPECT_EQ(round_trip(a, 1).data, a.data);
}

TEST_F(ImgTest, GenericReaderDispatch) {
    // Every format by its first bytes, also behind a "** " line; mode 1 asks GIF and PNG for
    // the header only and lets an XWD file be 32 bits deep while no window is open.
    IMAGE a = gray(7, 5), b;
    a.color_type = 1;
    a.num_colors = 256;
    a.colors = std::make_shared<std::vector<float>>(3 * 256, 0.5f);
    a.info = "from xwd";
    IMAGE g = a;
    ASSERT_EQ(GIF_write(dir.file("a.gif").c_str(), &g), 1);
    ASSERT_EQ(PNG_write(dir.file("a.png").c_str(), &a), 1);
    ASSERT_EQ(XWD_write(dir.file("a.xwd").c_str(), &a), 1);
    ASSERT_EQ(IMG_write(dir.file("a.zor").c_str(), &a, 1), 1);
    for (const auto &[file, info] : {std::pair{"a.gif", "GIF"},
                                     {"a.png", "PNG"},
                                     {"a.xwd", "from xwd"},
                                     {"a.zor", "from xwd"}}) {
        const std::string body = testsupport::read_file(dir.file(file));
        for (const std::string prefix : {"", "** made by hand\n"}) {
            const std::string f = dir.write("g.img", prefix + body);
            ASSERT_EQ(IMG_read(f.c_str(), &b, 1), 1) << file << " " << prefix;
            EXPECT_EQ(b.info, info);
            EXPECT_EQ(b.nx, 7);
            EXPECT_EQ(b.ny, 5);
        }
    }
    for (const char *content : {"GIF89a\x01\x00", "** made by hand\nGIF89a", "\x89PNG\r\n",
                                "** a\nZORIMG\nl\ni\n2 2\nx"}) {
        std::string f = dir.write("g.img", content);
        Capture quiet(2);
        EXPECT_EQ(IMG_read(f.c_str(), &b, 0), 0) << content;
        EXPECT_TRUE(b.data.empty());
    }
    EXPECT_EQ(IMG_read(dir.file("none").c_str(), &b, 1), 0);
    EXPECT_EQ(IMG_dump(dir.file("dump.zor").c_str()), 0);
}

} // namespace
