// GeoTIFF reader: the sample files against their published georeference, PROJ
// and GDAL's decoding, the debug lines, a big-endian copy with a date, damaged
// directories and the reader's row of the dispatcher.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/flag.h"
#include "sat/sat_tool.h"
#include "satformats/area_test_util.h"
#include "satformats/geotiff.h"

namespace {

using areatest::MessageCapture;
using Bytes = std::vector<uint8_t>;

class GeoTiff : public ::testing::Test {
  protected:
    void SetUp() override { areatest::reset_all(); }
    void TearDown() override { areatest::reset_all(); }
    testsupport::TempDir dir;
};

// GDAL's decoding of a file's pixels; empty when GDAL is not installed.
Bytes gdal_pixels(const testsupport::TempDir &dir, const std::string &tif) {
    if (!testsupport::have_program("gdal_translate"))
        return {};
    testsupport::RunOptions opt;
    opt.env["GDAL_PAM_ENABLED"] = "NO";
    const std::string out = dir.file("gdal.raw");
    if (testsupport::run_program("gdal_translate", {"-q", "-of", "ENVI", tif, out}, opt).status !=
        0)
        return {};
    const std::string s = testsupport::read_file(out);
    return Bytes(s.begin(), s.end());
}

int read_quiet(const std::string &path, IMAGE *image) {
    testsupport::Capture out(1); // the "compress" line
    return SAT_read_TIFF(path.c_str(), image);
}

TEST_F(GeoTiff, SamplesAgreeWithTheirGeoreferenceAndGdal) {
    XSAT_REQUIRE_SHARED(base, "data/geotiff");
    constexpr double kScale = 8.983152839305986e-05; // published pixel scale of example_4326
    struct Row {
        const char *file;
        int proj;
        double clat, clon, step;
    } rows[] = {
        // Geographic: the centre lies width/2 and height/2 pixels from the tie point.
        {"example_4326.tif", 2, 0.0031441034928338944 - 15 * kScale,
         0.000898315284119522 + 20 * kScale, kScale},
        {"example_4326_packbits.tif", 2, 0.0031441034928338944 - 15 * kScale,
         0.000898315284119522 + 20 * kScale, kScale},
        {"world.byte_packbits_strips.tif", 2, 75 - 600 * 0.125, -180 + 1440 * 0.125, 0.125},
        {"merc.tif", 3, 0, 0, 0},
        {"merc_packbits.tif", 3, 0, 0, 0},
    };
    for (const auto &r : rows) {
        const std::string path = base + "/" + r.file;
        IMAGE im;
        ASSERT_EQ(read_quiet(path, &im), 0) << r.file;
        EXPECT_EQ(std::tuple(im.source, im.depth, im.bytes_per_line), std::tuple(59, 8, im.nx));
        EXPECT_EQ(im.domain.proj, r.proj) << r.file;
        if (r.proj == 2) {
            EXPECT_NEAR(im.domain.clat, r.clat, 1e-6) << r.file;
            EXPECT_NEAR(im.domain.clon, r.clon, 1e-6) << r.file;
            EXPECT_NEAR(im.domain.dx, r.step, 1e-9) << r.file;
            EXPECT_NEAR(im.domain.dy, r.step, 1e-9) << r.file;
        }
        const Bytes gdal = gdal_pixels(dir, path);
        if (!gdal.empty()) {
            EXPECT_EQ(im.data, gdal) << r.file;
        }
    }
    IMAGE im;
    ASSERT_EQ(read_quiet(base + "/example_4326.tif", &im), 0);
    EXPECT_EQ(*std::min_element(im.data.begin(), im.data.end()), 74) << "published minimum";
    EXPECT_EQ(*std::max_element(im.data.begin(), im.data.end()), 255) << "published maximum";
}

TEST_F(GeoTiff, MercatorDomainAgreesWithProj) {
    XSAT_REQUIRE_SHARED(merc, "data/geotiff/merc.tif");
    IMAGE im;
    ASSERT_EQ(read_quiet(merc, &im), 0);
    EXPECT_EQ(std::tuple(im.domain.proj, im.domain.param[1], im.domain.nx, im.domain.ny),
              std::tuple(3, -90.0f, 200, 200));
    const MapProjection p(im.domain);
    std::ifstream f(std::string(XSAT_SOURCE_DIR) + "/tests/satformats/geotiff_merc_proj.txt");
    int rows = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        float i = 0, j = 0;
        double lat = 0, lon = 0;
        if (line.empty() || line[0] == '#' || !(in >> i >> j >> lat >> lon))
            continue;
        ++rows;
        float x = 0, y = 0, la = 0, lo = 0;
        p.grid_tran(&x, &y, i, j);
        ASSERT_EQ(p.untran(&la, &lo, x, y), 1);
        // A pixel is 0.0014 degree wide; float plot coordinates hold about 1e-6.
        EXPECT_NEAR(la, lat, 1e-5) << i << " " << j;
        EXPECT_NEAR(lo, lon, 1e-5) << i << " " << j;
    }
    EXPECT_EQ(rows, 6);
}

TEST_F(GeoTiff, DebugLinesNameEveryTag) {
    XSAT_REQUIRE_SHARED(base, "data/geotiff");
    IMAGE im;
    MessageCapture cap;
    testsupport::Capture out(1);
    ASSERT_EQ(SAT_read_TIFF((base + "/example_4326.tif").c_str(), &im), 0);
    ASSERT_EQ(SAT_read_TIFF((base + "/merc_packbits.tif").c_str(), &im), 0);
    const std::string printed = out.text();
    EXPECT_NE(printed.find("compress 1\n"), std::string::npos);
    EXPECT_NE(printed.find("compress 32773\n"), std::string::npos);
    const std::string text = cap.text();
    for (const char *line : {
             "TIFF little endian\nNum tags: 16\nTag: 256 SHORT 1 40\nTag: 257 SHORT 1 30\n",
             "Tag: 33550 DOUBLE 3:  0.000090,0.000090,0.000000,\n",
             "Tag: GeoKeyDir SHORT 32:\n   1024,0,1,2\n",
             "  Data: WGS 84|\n",
             "Height: 30\nWidth: 40\nDepth: 8\nProj: 2\n",
             "Tag: 256 LONG 1 200\n",
             "Tag: 282 RATIONAL 1:  ",
             "   3075,0,1,7\n",
             "Proj: 7\nplon: -90.000000\nUL: 1871033 693359\nLR: 1901983 662409\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(GeoTiff, BigEndianCopyWithADateReadsTheSame) {
    XSAT_REQUIRE_SHARED(src, "data/geotiff/example_4326.tif");
    if (!testsupport::have_program("gdal_translate"))
        GTEST_SKIP() << "gdal_translate not installed";
    const std::string big = dir.file("big.tif");
    testsupport::RunOptions opt;
    opt.env["GDAL_PAM_ENABLED"] = "NO";
    ASSERT_EQ(testsupport::run_program("gdal_translate",
                                       {"-q", "-co", "ENDIANNESS=BIG", "-co", "COMPRESS=PACKBITS",
                                        "-mo", "TIFFTAG_DATETIME=2004:07:15 18:45:00", src, big},
                                       opt)
                  .status,
              0);
    IMAGE little, image;
    ASSERT_EQ(read_quiet(src, &little), 0);
    MessageCapture cap;
    ASSERT_EQ(read_quiet(big, &image), 0);
    EXPECT_NE(cap.text().find("TIFF big endian\n"), std::string::npos);
    EXPECT_EQ(image.data, little.data);
    EXPECT_EQ(std::tuple(image.domain.proj, image.domain.clat, image.domain.clon),
              std::tuple(2, little.domain.clat, little.domain.clon));
    EXPECT_EQ(image.label, "1845Z 15 JUL 04");
}

// --- Damaged directories ----------------------------------------------------

// Offset of the directory entry of a tag in a little-endian file, 0 when absent.
size_t entry_of(const Bytes &b, int tag) {
    auto u16 = [&](size_t p) { return static_cast<int>(b[p] | b[p + 1] << 8); };
    const size_t ifd = b[4] | b[5] << 8 | b[6] << 16 | static_cast<size_t>(b[7]) << 24;
    for (int i = 0, n = u16(ifd); i < n; ++i)
        if (u16(ifd + 2 + 12 * static_cast<size_t>(i)) == tag)
            return ifd + 2 + 12 * static_cast<size_t>(i);
    return 0;
}

void put32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(GeoTiff, DamagedDirectoriesFailOrReadWhatIsThere) {
    XSAT_REQUIRE_SHARED(src, "data/geotiff/example_4326.tif");
    const std::string s = testsupport::read_file(src);
    const Bytes good(s.begin(), s.end());
    struct Case {
        const char *name;
        std::function<void(Bytes &)> change;
        int rc;
        const char *message;
    };
    constexpr int kAnyResult = 1; // read or refused, but never a crash
    const std::vector<Case> cases = {
        {"no TIFF header", [](Bytes &b) { b[0] = 'X'; }, -1, "Not a TIFF file\n"},
        {"directory past the end", [](Bytes &b) { put32(b, 4, 0xFFFFFF00u); }, -1,
         "SAT_read_TIFF: Directory offset 4294967040 outside the file\n"},
        {"entry count past the end",
         [](Bytes &b) { b[entry_of(b, 256) - 2] = b[entry_of(b, 256) - 1] = 0xFF; }, kAnyResult,
         "Num tags: 65535\n"},
        {"image larger than the file",
         [](Bytes &b) {
             b[entry_of(b, 256) + 8] = b[entry_of(b, 257) + 8] = 0xFF;
             b[entry_of(b, 256) + 9] = b[entry_of(b, 257) + 9] = 0x7F;
         },
         -1, "SAT_read_TIFF: Image of 32767x32767 is larger than the file can hold\n"},
        {"value count that overflows", [](Bytes &b) { put32(b, entry_of(b, 33550) + 4, ~0u); }, 0,
         "Tag: 33550: 4294967295 values at "},
        {"strip past the end", [](Bytes &b) { put32(b, entry_of(b, 273) + 8, 0xFFFFFF00u); }, 0,
         ""},
        // Found by fuzzing: a SHORT tag with no values was read at its first value.
        {"BitsPerSample without values", [](Bytes &b) { put32(b, entry_of(b, 258) + 4, 0); }, -1,
         "SAT_read_TIFF: Only strips of 8-bit grey pixels are read (0 bits"},
        {"16-bit pixels", [](Bytes &b) { b[entry_of(b, 258) + 8] = 16; }, -1,
         "SAT_read_TIFF: Only strips of 8-bit grey pixels are read (16 bits, 1 samples, 1 "
         "strips)\n"},
    };
    for (const auto &c : cases) {
        Bytes b = good;
        c.change(b);
        const std::string path = dir.write("bad.tif", std::string(b.begin(), b.end()));
        IMAGE im;
        MessageCapture cap;
        const int rc = read_quiet(path, &im);
        if (c.rc != kAnyResult) {
            EXPECT_EQ(rc, c.rc) << c.name;
        }
        EXPECT_NE(cap.text().find(c.message), std::string::npos) << c.name << "\n" << cap.text();
        if (std::strcmp(c.name, "strip past the end") == 0) {
            EXPECT_EQ(im.data, Bytes(1200, 0)) << "a short file leaves the pixels 0";
        }
        if (std::strcmp(c.name, "value count that overflows") == 0) {
            EXPECT_EQ(im.domain.proj, MISSING) << "no pixel scale, no georeference";
        }
    }
    IMAGE im;
    EXPECT_EQ(SAT_read_TIFF(dir.file("absent.tif").c_str(), &im), -1);
}

TEST_F(GeoTiff, DispatcherRowPlacesTheImageByItsDomain) {
    XSAT_REQUIRE_SHARED(src, "data/geotiff/example_4326.tif");
    SAT_reset_state();
    FLAG_set(FLAG_INPUT, SAT_IN_TIFF);
    SAT_params().tran_sat = 1;
    IMAGE im;
    MessageCapture cap;
    testsupport::Capture out(1);
    EXPECT_EQ(SAT_read_file(src.c_str(), &im), 1);
    EXPECT_NE(cap.text().find("Processing image file: " + src + "\n"), std::string::npos);
    EXPECT_EQ(std::pair(SAT_params().tran_sat, im.domain.proj), std::pair(0, 2));
    const std::string head = testsupport::read_file(src).substr(0, 8);
    EXPECT_EQ(SAT_recognise_reader(Bytes(head.begin(), head.end()))->type, SAT_IN_TIFF);
    FLAG_set(FLAG_INPUT, SAT_IN_AREA);
    SAT_reset_state();
}

} // namespace
