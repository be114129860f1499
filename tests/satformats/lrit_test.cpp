// LRIT reader: the MTSAT-1R segments against their published extent and PROJ,
// JPEG data from independent encoders against their own decoders, header
// records, damaged files and the reader's row of the dispatcher.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "../../tools/lrit_fixture_lib.h"
#include "base/flag.h"
#include "sat/sat_tool.h"
#include "satformats/area_test_util.h"
#include "satformats/lrit.h"

namespace {

using areatest::MessageCapture;
using Bytes = std::vector<uint8_t>;
namespace fx = lrit_fixture;

class Lrit : public ::testing::Test {
  protected:
    void SetUp() override { areatest::reset_all(); }
    void TearDown() override { areatest::reset_all(); }

    // Writes an LRIT file and reads it; the result and the messages printed.
    std::pair<int, std::string> read(const fx::Header &h, const Bytes &data, IMAGE *image) {
        const Bytes bytes = fx::write(h, data);
        const std::string path = dir.write("x.lrit", std::string(bytes.begin(), bytes.end()));
        MessageCapture cap;
        const int rc = SAT_read_LRIT(path.c_str(), image);
        return {rc, cap.text()};
    }
    testsupport::TempDir dir;
};

// Lines of a table under tests/satformats: four numbers a row, '#' comments.
std::vector<std::array<double, 4>> table(const std::string &name) {
    std::ifstream f(std::string(XSAT_SOURCE_DIR) + "/tests/satformats/" + name);
    std::vector<std::array<double, 4>> rows;
    for (std::string line; std::getline(f, line);) {
        std::array<double, 4> r{};
        std::istringstream in(line);
        if (line.empty() || line[0] == '#' || !(in >> r[0] >> r[1] >> r[2] >> r[3]))
            continue;
        rows.push_back(r);
    }
    return rows;
}

double lon_diff(double a, double b) {
    return std::abs(std::remainder(a - b, 360.0));
}

TEST_F(Lrit, MtsatSegmentsAgreeWithThePublishedExtentAndProj) {
    XSAT_REQUIRE_SHARED(lrit, "data/lrit");
    constexpr double kOrbit = 421.61;    // the domain's plot units per radian of scan angle
    constexpr double kHeight = 35785831; // published height of the orbit above the earth (m)
    const auto proj = table("lrit_mtsat_proj.txt");
    ASSERT_EQ(proj.size(), 11u);
    for (int seg : {3, 4}) {
        const std::string name = "L-000-MSG2__-MTSAT1R_____-10_8_140E-00000" + std::to_string(seg) +
                                 "___-200912210900-__";
        const std::string path = lrit + "/" + name;
        IMAGE im;
        ASSERT_EQ(SAT_read_LRIT(path.c_str(), &im), 0) << name;
        EXPECT_EQ(std::tuple(im.source, im.nx, im.ny, im.bytes_per_line),
                  std::tuple(60, 2752, 464, 2752));
        EXPECT_EQ(im.label, "0915Z 21 DEC 09") << "time stamp 2009-12-21 09:15:53";
        EXPECT_EQ(im.date.second, 53);
        EXPECT_EQ(im.info, name) << "the annotation";
        EXPECT_EQ(std::tuple(im.domain.proj, im.domain.param[1], im.domain.nx),
                  std::tuple(9, 140.0f, 2752));
        // 8-bit counts, uncompressed: the data field is the file's last 2752 x 464 bytes.
        const std::string raw = testsupport::read_file(path);
        ASSERT_EQ(im.data.size(), size_t{2752} * 464);
        EXPECT_TRUE(std::equal(im.data.begin(), im.data.end(), raw.end() - 2752 * 464,
                               [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));

        // Segment row r is full-disc row first + r. The published extent of rows and
        // columns 1276..1475 is [-398000, -402000, 402000, 398000] m; its pixels count
        // from 1 while the domain is centred on the image's middle, so the published
        // corner of pixel k lies on grid point k.
        const int first = 928 + 464 * (seg - 3);
        const MapProjection p(im.domain);
        const float k = seg == 3 ? 1276 : 1476;
        float x = 0, y = 0;
        p.grid_tran(&x, &y, k, k - static_cast<float>(first));
        EXPECT_NEAR(x / kOrbit * kHeight, seg == 3 ? -398000 : 402000, 2) << seg;
        EXPECT_NEAR(y / kOrbit * kHeight, seg == 3 ? 398000 : -402000, 2) << seg;
        // Pixel centres against PROJ on the published parameters; the difference is
        // the earth model (ellipsoid and orbit radius), at most 0.006 degree at the limb.
        for (const auto &[col, row, lat, lon] : proj) {
            if (row < first || row >= first + 464)
                continue;
            float la = 0, lo = 0;
            p.grid_tran(&x, &y, static_cast<float>(col + 0.5),
                        static_cast<float>(row - first + 0.5));
            ASSERT_EQ(p.untran(&la, &lo, x, y), 1) << col << " " << row;
            EXPECT_NEAR(la, lat, 0.01) << col << " " << row;
            EXPECT_LT(lon_diff(lo, lon), 0.01) << col << " " << row << ": " << lo;
        }
    }
}

// --- JPEG data from independent encoders -------------------------------------

struct JpegCase {
    const char *name;
    int bits;                        // 8: decoded by djpeg, 12: by GDAL
    std::vector<std::string> encode; // IN and OUT stand for the files
};

// A PGM with sides that are no multiple of 8 and counts that vary in every
// direction: 8-bit, or 10-bit counts in a 12-bit file.
std::string pgm_image(int w, int h, int bits) {
    std::ostringstream out;
    out << "P5\n" << w << " " << h << "\n" << (bits == 8 ? 255 : 4095) << "\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (bits == 8) {
                out.put(static_cast<char>((x * 3 + y * 2 + (x * y % 17) * 4) % 256));
            } else {
                const int v = (x * 13 + y * 7 + (x * y % 23) * 9) % 1024;
                out.put(static_cast<char>(v >> 8)).put(static_cast<char>(v & 0xFF));
            }
        }
    return out.str();
}

// The decoder's samples, low 8 bits kept.
Bytes reference_decode(const JpegCase &c, const testsupport::TempDir &dir, const std::string &jpg) {
    testsupport::RunOptions opt;
    opt.env["GDAL_PAM_ENABLED"] = "NO";
    const std::string out = dir.file(c.bits == 8 ? "ref.pgm" : "ref.raw");
    const auto r =
        c.bits == 8 ? testsupport::run_program("djpeg", {"-pnm", "-outfile", out, jpg})
                    : testsupport::run_program(
                          "gdal_translate", {"-q", "-of", "ENVI", "-ot", "UInt16", jpg, out}, opt);
    if (r.status != 0)
        return {};
    const std::string bytes = testsupport::read_file(out);
    if (c.bits == 8) {
        fx::Pgm pgm;
        if (!fx::parse_pgm(Bytes(bytes.begin(), bytes.end()), pgm))
            return {};
        return pgm.samples;
    }
    Bytes low(bytes.size() / 2);
    for (size_t i = 0; i < low.size(); ++i)
        low[i] = static_cast<uint8_t>(bytes[2 * i]); // ENVI UInt16, little-endian here
    return low;
}

TEST_F(Lrit, JpegDataDecodeAsTheirEncodersOwnDecoders) {
    const std::vector<JpegCase> cases = {
        {"cjpeg baseline", 8, {"cjpeg", "-quality", "90", "-outfile", "OUT", "IN"}},
        {"cjpeg progressive, restart every row",
         8,
         {"cjpeg", "-progressive", "-restart", "1", "-quality", "75", "-outfile", "OUT", "IN"}},
        {"jpeg 12-bit", 12, {"jpeg", "-q", "95", "IN", "OUT"}},
        {"jpeg 12-bit progressive", 12, {"jpeg", "-q", "95", "-v", "IN", "OUT"}},
        {"jpeg 12-bit restart markers", 12, {"jpeg", "-q", "95", "-z", "2", "IN", "OUT"}},
        {"gdal 12-bit",
         12,
         {"gdal_translate", "-q", "-of", "JPEG", "-ot", "UInt16", "-co", "QUALITY=95", "IN",
          "OUT"}},
    };
    constexpr int W = 83, H = 61;
    int ran = 0;
    for (const auto &c : cases) {
        const std::string decoder = c.bits == 8 ? "djpeg" : "gdal_translate";
        if (!testsupport::have_program(c.encode[0]) || !testsupport::have_program(decoder))
            continue;
        const std::string in = dir.write("in.pgm", pgm_image(W, H, c.bits));
        const std::string jpg = dir.file("out.jpg");
        std::vector<std::string> args(c.encode.begin() + 1, c.encode.end());
        for (auto &a : args)
            a = a == "IN" ? in : a == "OUT" ? jpg : a;
        testsupport::RunOptions opt;
        opt.env["GDAL_PAM_ENABLED"] = "NO";
        ASSERT_EQ(testsupport::run_program(c.encode[0], args, opt).status, 0) << c.name;
        const std::string stream = testsupport::read_file(jpg);
        const Bytes want = reference_decode(c, dir, jpg);
        ASSERT_EQ(want.size(), size_t{W} * H) << c.name;
        ++ran;

        fx::Header h;
        h.columns = W;
        h.lines = H;
        h.bits = c.bits == 8 ? 8 : 10;
        h.compression = 2;
        IMAGE im;
        auto [rc, text] = read(h, Bytes(stream.begin(), stream.end()), &im);
        ASSERT_EQ(rc, 0) << c.name << "\n" << text;
        EXPECT_EQ(im.data, want) << c.name;
        EXPECT_NE(text.find("JPEG Compression\n"), std::string::npos);

        // Negative scaling factors: columns and lines run the other way, the
        // domain's steps stay positive.
        h.cfac = -40932549;
        h.lfac = -40932549;
        std::tie(rc, text) = read(h, Bytes(stream.begin(), stream.end()), &im);
        ASSERT_EQ(rc, 0) << c.name;
        Bytes turned(want.rbegin(), want.rend());
        EXPECT_EQ(im.data, turned) << c.name << ": written right to left, bottom to top";
        EXPECT_GT(im.domain.dx, 0);
        EXPECT_GT(im.domain.dy, 0);

        // A stream larger than the image its header declares is refused; one cut
        // short decodes with a warning.
        h.columns = W - 1;
        std::tie(rc, text) = read(h, Bytes(stream.begin(), stream.end()), &im);
        EXPECT_EQ(rc, -1) << c.name;
        EXPECT_NE(text.find("SAT_read_LRIT: JPEG image of 83x61 is larger than the 82x61 image"),
                  std::string::npos)
            << text;
        h.columns = W;
        std::tie(rc, text) =
            read(h, Bytes(stream.begin(), stream.begin() + stream.size() / 2), &im);
        EXPECT_EQ(rc, 0) << c.name;
        EXPECT_NE(text.find("SAT_read_LRIT: JPEG data: Premature end of JPEG file"),
                  std::string::npos)
            << c.name << "\n"
            << text;
    }
    if (ran == 0)
        GTEST_SKIP() << "no JPEG encoder and decoder pair installed";
}

// --- Header records ---------------------------------------------------------

TEST_F(Lrit, HeaderRecordsFillTheImageAndTheDomain) {
    // Segment 3 of 8, 464 lines each, LOFF counted on the full disc (1856): the
    // domain's centre lies (1856 - 2.5 x 464) lines north of the sub-satellite point.
    fx::Header h;
    h.columns = 8;
    h.lines = 464;
    h.coff = 4;
    h.loff = 1856;
    h.cfac = h.lfac = 40932549;
    h.segment = 3;
    h.segments = 8;
    h.annotation = "first line\r\n" + std::string(150, 'a');
    h.data_function = std::string(5000, 'x'); // longer than the record buffer
    h.days = 18982;                           // 2009-12-21 09:15:53
    h.ms = 33353244;
    h.extra = {{130, {1, 2, 3, 4, 5, 6, 7}}}; // unknown: skipped
    Bytes data(8 * 464);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    IMAGE im;
    auto [rc, text] = read(h, data, &im);
    ASSERT_EQ(rc, 0) << text;
    for (const char *line : {"HDR1-Image Struct: bits/pixel: 8 ncol: 8 nrow: 464 compress: 0\n",
                             "HDR5-Time Stamp: 18982 33353244\n",
                             "HDR128-Image Segment: seg: 3 nseg: 8 lseg: 0\n", "HDR: 130 10\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    EXPECT_EQ(im.data, data) << "the data start behind the skipped record";
    // The annotation keeps 99 characters, control characters as blanks; the
    // image's info text its first 75.
    EXPECT_NE(text.find("HDR4-Annotation: first line  " + std::string(87, 'a') + "\n"),
              std::string::npos);
    EXPECT_EQ(im.info, "first line  " + std::string(IMG_INFO_MAX - 12, 'a'));
    EXPECT_EQ(std::tuple(im.date.year, im.date.month, im.date.day, im.date.hour, im.date.minute),
              std::tuple(2009, 12, 21, 9, 15));
    const double step = 65536.0 / 40932549 * M_PI / 180 * 421.61;
    EXPECT_NEAR(im.domain.dx, step, 1e-7);
    float x = 0, y = 0;
    MapProjection(im.domain).tran(&x, &y, im.domain.clat, im.domain.clon);
    EXPECT_NEAR(x, 0, 1e-3);
    EXPECT_NEAR(y, (1856 - 2.5 * 464) * step, 1e-3);

    // 16-bit counts keep bits 2-9.
    fx::Header s;
    s.columns = 2;
    s.lines = 2;
    s.bits = 16;
    std::tie(rc, text) = read(s, {0x03, 0xFF, 0x02, 0x00, 0x00, 0x04, 0x00, 0x03}, &im);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(im.data, (Bytes{255, 128, 1, 0}));
}

TEST_F(Lrit, DamagedFilesFailWithAMessage) {
    fx::Header good;
    good.columns = 4;
    good.lines = 2;
    struct Case {
        const char *name;
        std::function<void(fx::Header &, Bytes &)> change;
        int rc;
        const char *message;
    };
    const std::vector<Case> cases = {
        {"no image structure", [](fx::Header &h, Bytes &) { h.columns = 0; }, -1,
         "SAT_read_LRIT: No image size in the header\n"},
        {"image larger than the file", [](fx::Header &h, Bytes &) { h.columns = h.lines = 30000; },
         -1, "SAT_read_LRIT: Image of 30000x30000 needs 900000000 bytes, the file has 8\n"},
        {"compressed data too short for the image",
         [](fx::Header &h, Bytes &) {
             h.compression = 2;
             h.columns = h.lines = 30000;
         },
         -1, "SAT_read_LRIT: 8 bytes of compressed data cannot hold 30000x30000 pixels\n"},
        {"JPEG garbage",
         [](fx::Header &h, Bytes &d) {
             h.compression = 2;
             d = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x13, 0x37};
         },
         -1, "SAT_read_LRIT: JPEG data: "},
        {"compression that is not decoded", [](fx::Header &h, Bytes &) { h.compression = 1; }, 0,
         "SAT_read_LRIT: Compression 1 is not decoded\n"},
        // Found by fuzzing: a large image of no bits took all the memory it declared.
        {"no bits per pixel",
         [](fx::Header &h, Bytes &) {
             h.bits = 0;
             h.columns = h.lines = 30000;
         },
         -1, "SAT_read_LRIT: Image of 30000x30000 has 0 bits per pixel\n"},
        // Found by fuzzing: offsets at the ends of their range overflowed.
        {"extreme offsets and scaling",
         [](fx::Header &h, Bytes &) {
             h.coff = h.loff = INT32_MIN;
             h.cfac = h.lfac = -1;
         },
         0, ""},
    };
    for (const auto &c : cases) {
        fx::Header h = good;
        Bytes data(8, 9);
        c.change(h, data);
        IMAGE im;
        const auto [rc, text] = read(h, data, &im);
        EXPECT_EQ(rc, c.rc) << c.name;
        EXPECT_NE(text.find(c.message), std::string::npos) << c.name << "\n" << text;
        EXPECT_EQ(im.data.size(), rc == 0 ? 8u : 0u) << c.name;
    }

    // A record whose length is shorter than its own 3-byte header.
    good.extra = {{140, {0, 0, 0}}};
    Bytes bytes = fx::write(good, Bytes(8, 9));
    const size_t at = bytes.size() - 8 - 6; // the last record, in front of the data
    ASSERT_EQ(bytes[at], 140);
    bytes[at + 2] = 0;
    const std::string path = dir.write("bad.lrit", std::string(bytes.begin(), bytes.end()));
    MessageCapture cap;
    IMAGE im;
    EXPECT_EQ(SAT_read_LRIT(path.c_str(), &im), -1);
    EXPECT_NE(cap.text().find("SAT_read_LRIT: Header record of type 140 with length 0\n"),
              std::string::npos);

    const std::string absent = dir.file("absent.lrit");
    EXPECT_EQ(SAT_read_LRIT(absent.c_str(), &im), -1);
    EXPECT_NE(cap.text().find("Unable to open LRIT file: " + absent +
                              "\nSAT_read_LRIT: Unable to open file:" + absent + "\n"),
              std::string::npos);
}

TEST_F(Lrit, DamagedJpegEndsTheProgramAsAnUnreadableFile) {
    // The library's fatal errors come back as a failed read: a single file ends
    // the program with status 10, not through the library's own exit.
    fx::Header h;
    h.columns = h.lines = 8;
    h.compression = 2;
    const Bytes garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x13, 0x37};
    const Bytes bytes = fx::write(h, garbage);
    const std::string path = dir.write("bad.lrit", std::string(bytes.begin(), bytes.end()));
    testsupport::RunOptions opt;
    opt.cwd = dir.path().string();
    opt.env["HOME"] = opt.env["zordefault"] = dir.path().string();
    const auto r = testsupport::run_xsat(
        {"-me", "mess", "-de", "p," + dir.file("out.ps"), "-inp", "lrit", path}, opt);
    EXPECT_EQ(r.status, 10) << r.out << r.err;
    EXPECT_NE(r.err.find("SAT_read_LRIT: JPEG data: "), std::string::npos) << r.err;
}

TEST_F(Lrit, DispatcherRowPlacesTheImageByItsDomain) {
    SAT_reset_state();
    fx::Header h;
    h.columns = h.lines = 2;
    h.days = 18982;
    h.ms = 33353244;
    const Bytes bytes = fx::write(h, Bytes{1, 2, 3, 4});
    EXPECT_EQ(SAT_recognise_reader(bytes)->type, SAT_IN_LRIT);
    const std::string path = dir.write("row.lrit", std::string(bytes.begin(), bytes.end()));
    FLAG_set(FLAG_INPUT, SAT_IN_LRIT);
    SAT_params().tran_sat = 1;
    IMAGE im;
    MessageCapture cap;
    EXPECT_EQ(SAT_read_file(path.c_str(), &im), 1);
    const std::string text = cap.text();
    EXPECT_NE(text.find("Processing image file: " + path + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Date: 0915Z 21 DEC 09\nInfo: \nImage domain: "), std::string::npos);
    EXPECT_EQ(SAT_params().tran_sat, 0);
    EXPECT_EQ(im.data, (Bytes{1, 2, 3, 4}));
    FLAG_set(FLAG_INPUT, SAT_IN_AREA);
    SAT_reset_state();
}

} // namespace
