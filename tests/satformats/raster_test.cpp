// Raster reader: the header's keywords and defaults, the header as zero pixels,
// the scan mapping, "grid_domain", damaged headers and the reader table's row.
#include <gtest/gtest.h>

#include "area_test_util.h"
#include "base/flag.h"
#include "base/resrc.h"
#include "sat/sat_tool.h"
#include "satformats/raster.h"

namespace {

using namespace areatest;

class Raster : public ::testing::Test {
  protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        reset_all();
        SAT_reset_state();
        RES_put("grid_domain", nullptr);
        FLAG_set(FLAG_INPUT, SAT_IN_AREA);
    }
    // A raster file: the header text, then bytes 0, 1, 2... up to size bytes.
    std::string write(const std::string &header, size_t size) {
        std::string bytes = header;
        for (size_t i = bytes.size(); i < size; ++i)
            bytes.push_back(static_cast<char>(i % 251));
        return dir.write("image.raster", bytes);
    }
    std::pair<int, std::string> read(const std::string &path, IMAGE *image) {
        MessageCapture cap;
        const int rc = SAT_read_raster(path.c_str(), image);
        return {rc, cap.text()};
    }
    testsupport::TempDir dir;
};

TEST_F(Raster, HeaderKeywordsAndTheHeaderAsZeroPixels) {
    const std::string header = "x640 y480 idGOES-E ftm1104537600 end";
    const std::string path = write(header + "\n", 640 * 480);
    IMAGE im;
    ASSERT_EQ(read(path, &im).first, 0);
    EXPECT_EQ(std::tuple(im.nx, im.ny, im.bytes_per_line, im.depth, im.source, im.info),
              std::tuple(640, 480, 640, 8, 55, std::string("GOES-E")));
    EXPECT_EQ(im.label, "0000Z  1 JAN 05") << "2005-01-01 00:00 UTC is 1104537600 s";
    const DOMAIN &d = im.domain;
    EXPECT_EQ(std::tuple(d.proj, d.clat, d.clon, d.dx, d.dy, d.nx, d.ny),
              std::tuple(99, 0.f, 0.f, 1.f, 1.f, 640, 480));
    const std::string file = testsupport::read_file(path);
    ASSERT_EQ(im.data.size(), file.size());
    const size_t p = header.size() + 1; // the header and the blank behind "end"
    EXPECT_TRUE(
        std::all_of(im.data.begin(), im.data.begin() + p, [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::equal(im.data.begin() + p, im.data.end(), file.begin() + p,
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));

    // Without "end" three keywords do; a Lambert grid centred as given.
    ASSERT_EQ(read(write("x8 y4 pl lat40 lon-100", 32), &im).first, 0);
    EXPECT_EQ(
        std::tuple(im.domain.proj, im.domain.clat, im.domain.clon, im.domain.dx, im.domain.dy),
        std::tuple(4, 40.f, -100.f, 0.08f, 0.08f));
    const auto [rc, text] = read(write("x8 y4", 32), &im);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(text, "SAT_read_raster: Unable to determine image parameters\n");
    // A short file leaves the rest zero.
    ASSERT_EQ(read(write("x8 y4 end ", 20), &im).first, 0);
    EXPECT_EQ(im.data,
              (std::vector<uint8_t>{0,  0,  0,  0,  0, 0, 0, 0, 0, 0, 10, 11, 12, 13, 14, 15,
                                    16, 17, 18, 19, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0}));
}

TEST_F(Raster, ScanMappingAndGridDomain) {
    // lres = (2 lr (eln - 1) - lcor) / height, eres = ((esn + 20) sr - ecor) / width.
    IMAGE im;
    AREA_set_res(1, 1, 1, 1);
    ASSERT_EQ(read(write("x100 y50 ssn1000 sln2001 esn1400 eln2201 sr4 lr2 end", 5000), &im).first,
              0);
    float res[4];
    AREA_get_res(res);
    EXPECT_EQ(std::vector<float>(res, res + 4), (std::vector<float>{8000, 4080, 16, 16}));
    // "lrx" is a line resolution of 0: no mapping.
    AREA_set_res(1, 1, 1, 1);
    ASSERT_EQ(read(write("x100 y50 ssn1000 sln2001 lrx end", 5000), &im).first, 0);
    AREA_get_res(res);
    EXPECT_EQ(std::vector<float>(res, res + 4), (std::vector<float>{1, 1, 1, 1}));

    RES_put("grid_domain", "lc:90:-95:25:25,40,-95,100,50,0.04,0.04");
    ASSERT_EQ(read(write("x100 y50 pl lat10 lon10 end", 5000), &im).first, 0);
    EXPECT_EQ(std::tuple(im.domain.proj, im.domain.clat, im.domain.nx, im.nx),
              std::tuple(4, 40.f, 100, 100));
}

TEST_F(Raster, DamagedHeadersFailWithAMessage) {
    IMAGE im;
    for (const std::string header :
         {"x0 y10 end", "x100001 y1 end", "y10 idX lat3 end", "x100000 y100000 end"}) {
        const auto [rc, text] = read(write(header + " ", 64), &im);
        EXPECT_EQ(rc, -1) << header;
        EXPECT_NE(text.find("SAT_read_raster: "), std::string::npos) << header;
        EXPECT_TRUE(im.data.empty());
    }
    // Thirty words at most, none longer than 500 characters: an "end" behind
    // them is pixels.
    std::string words = "x64 y64 idA " + std::string(1000, 'q');
    for (int i = 0; i < 25; ++i)
        words += " w";
    ASSERT_EQ(read(write(words + " end", 4096), &im).first, 0);
    EXPECT_EQ(std::tuple(im.nx, im.ny, im.data[words.size()], im.data[words.size() + 1]),
              std::tuple(64, 64, uint8_t{0}, uint8_t{'e'}));
    const std::string missing = dir.file("absent");
    EXPECT_EQ(read(missing, &im),
              std::pair(-1, "SAT_read_raster: Unable to open file:" + missing + "\n"));
}

TEST_F(Raster, ReaderTableRow) {
    const std::string path = write("x100 y50 idTEST end ", 5000);
    const std::string head = testsupport::read_file(path).substr(0, SAT_HEAD_BYTES);
    const SAT_READER *row = SAT_recognise_reader(
        std::span(reinterpret_cast<const uint8_t *>(head.data()), head.size()));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->type, SAT_IN_RASTER);

    FLAG_set(FLAG_INPUT, SAT_IN_RASTER);
    for (auto [grid, place, proj] :
         {std::tuple{"", 0, 99}, {"sat:0:-75,30,-80,100,50,5,5", 1, 9}}) {
        RES_put("grid_domain", *grid ? grid : nullptr);
        SAT_params().tran_sat = 1 - place;
        SAT_params().imager_source = 0;
        IMAGE im;
        MessageCapture cap;
        EXPECT_EQ(SAT_read_file(path.c_str(), &im), 1);
        EXPECT_EQ(std::tuple(SAT_params().tran_sat, SAT_params().imager_source, im.domain.proj),
                  std::tuple(place, 55, proj))
            << grid;
        EXPECT_NE(cap.text().find("Info: TEST\nImage domain: "), std::string::npos) << cap.text();
    }
}

} // namespace
