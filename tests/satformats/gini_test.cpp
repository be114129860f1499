// GINI reader: the real products against PROJ, their published corners and
// independent decodes of their pixels; the header forms, the domain rules and
// damaged products on written fixtures; the reader table's GINI rows.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../../tools/gini_fixture_lib.h"
#include "area_test_util.h"
#include "base/flag.h"
#include "sat/sat_tool.h"
#include "satformats/gini.h"

namespace {

using namespace areatest;
namespace gx = gini_fixture;
using Bytes = std::vector<uint8_t>;

std::string as_text(const Bytes &b) {
    return std::string(b.begin(), b.end());
}

Bytes ramp(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + i / 13);
    return b;
}

// A compressed product; the zero bytes behind the streams (no zlib stream) make
// it longer than the 512 bytes a compressed product has at least.
Bytes z_file(const gx::Product &p, const std::string &lines = "",
             const Bytes &tail = Bytes(600, 0)) {
    return gx::write_compressed(p, 1, lines, tail);
}

class Gini : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_all();
        SAT_reset_state();
    }
    void TearDown() override {
        unsetenv("SAT_FUDGE");
        SAT_reset_state();
        FLAG_set(FLAG_INPUT, SAT_IN_AREA);
    }
    // Reads bytes as a product of the given form; the result and the messages.
    std::pair<int, std::string> read(const Bytes &bytes, bool compressed, IMAGE *image) {
        const std::string path = dir.write("product.gini", as_text(bytes));
        MessageCapture cap;
        const int rc = SAT_read_gini(path.c_str(), image, compressed);
        std::string text = cap.text();
        // Only the failures, not the diagnostics of every inflate call.
        std::string warn;
        std::istringstream lines(text);
        for (std::string l; std::getline(lines, l);)
            if (l.rfind("SAT_read_AWIP", 0) == 0)
                warn += l + "\n";
        return {rc, warn};
    }
    testsupport::TempDir dir;
};

std::pair<float, float> grid_point(const DOMAIN &d, float i, float j) {
    const MapProjection m(d);
    float x = 0, y = 0, lat = 0, lon = 0;
    m.grid_tran(&x, &y, i, j);
    m.untran(&lat, &lon, x, y);
    return {lat, lon};
}

TEST_F(Gini, SamplesAgreeWithProjAndTheirPublishedCorners) {
    std::ifstream table(std::string(XSAT_SOURCE_DIR) + "/tests/satformats/gini_samples.txt");
    ASSERT_TRUE(table) << "gini_samples.txt missing";
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t bar1 = line.find('|'), bar2 = line.find('|', bar1 + 1);
        std::istringstream head(line.substr(0, bar1)), tail(line.substr(bar2 + 1));
        std::string file, form, ll, ur;
        int nx = 0, ny = 0;
        head >> file >> form >> nx >> ny;
        std::string label;
        std::getline(head >> std::ws, label);
        float clat = 0, clon = 0, dx = 0, dy = 0;
        tail >> clat >> clon >> dx >> dy >> ll >> ur;
        ++rows;
        XSAT_REQUIRE_SHARED(path, "data/gini/" + file);
        const std::string start = testsupport::read_file(path).substr(0, SAT_HEAD_BYTES);
        const SAT_READER *row = SAT_recognise_reader(
            std::span(reinterpret_cast<const uint8_t *>(start.data()), start.size()));
        EXPECT_EQ(row ? row->type : 0, form == "z" ? 54 : 53) << file;
        IMAGE im;
        ASSERT_EQ(SAT_read_gini(path.c_str(), &im, form == "z"), 0) << file;
        EXPECT_EQ(std::tuple(im.nx, im.ny, im.source, im.data.size()),
                  std::tuple(nx, ny, 53, size_t(nx) * size_t(ny)))
            << file;
        EXPECT_EQ(im.label, label) << file;
        EXPECT_EQ(im.info, line.substr(bar1 + 1, bar2 - bar1 - 1)) << file;
        const DOMAIN &d = im.domain;
        EXPECT_NEAR(d.clat, clat, 2e-4) << file;
        EXPECT_NEAR(d.clon, clon, 2e-4) << file;
        EXPECT_NEAR(d.dx, dx, 1e-6) << file;
        EXPECT_NEAR(d.dy, dy, 1e-6) << file;
        for (const auto &[corner, i, j] : {std::tuple{ll, 0, ny - 1}, {ur, nx - 1, 0}}) {
            if (corner == "-")
                continue;
            const auto [lat, lon] = grid_point(d, float(i), float(j));
            EXPECT_NEAR(lat, std::stof(corner), 2e-4) << file;
            EXPECT_NEAR(std::remainder(lon - std::stof(corner.substr(corner.find(',') + 1)), 360.f),
                        0, 2e-4)
                << file;
        }
    }
    EXPECT_EQ(rows, 8);
}

// Decodes a PNG file with libpng's simplified interface into 8-bit grey.
Bytes png_grey(const std::string &bytes) {
    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&im, bytes.data(), bytes.size()))
        return {};
    im.format = PNG_FORMAT_GRAY;
    Bytes out(PNG_IMAGE_SIZE(im));
    if (!png_image_finish_read(&im, nullptr, out.data(), 0, nullptr))
        return {};
    return out;
}

TEST_F(Gini, PixelsAgreeWithIndependentDecodes) {
    // The plain products are every stream of the compressed ones inflated: the
    // pixels are the file's bytes behind the 21-byte header and the block.
    for (std::string name :
         {"WEST-CONUS_4km_3.9_20050912_2130", "HI-REGIONAL_4km_IR_20050919_1315"}) {
        XSAT_REQUIRE_SHARED(z, "data/gini/" + name + ".gini");
        XSAT_REQUIRE_SHARED(plain, "data/gini/" + name + ".uncompressed.gini");
        IMAGE a, b;
        ASSERT_EQ(SAT_read_gini(z.c_str(), &a, true), 0);
        ASSERT_EQ(SAT_read_gini(plain.c_str(), &b, false), 0);
        const std::string raw = testsupport::read_file(plain).substr(21 + 512, a.data.size());
        EXPECT_TRUE(a.data == Bytes(raw.begin(), raw.end())) << name << " inflated";
        EXPECT_TRUE(b.data == a.data) << name << " plain";
    }
    // PNG blocks: libpng's simplified decoder on the block behind the header;
    // the trailer row of pnggini is dropped.
    for (std::string name : {"pnggini", "n1p_20041206_2140"}) {
        XSAT_REQUIRE_SHARED(path, "data/gini/" + name);
        IMAGE im;
        ASSERT_EQ(SAT_read_gini(path.c_str(), &im, false), 0) << name;
        const Bytes want = png_grey(testsupport::read_file(path).substr(21 + 512));
        ASSERT_GE(want.size(), im.data.size()) << name;
        EXPECT_TRUE(std::equal(im.data.begin(), im.data.end(), want.begin())) << name;
    }
}

TEST_F(Gini, EveryHeaderFormInBothForms) {
    gx::Product p;
    p.pixels = ramp(12);
    const std::string tig = "TIGE01 KNES 121200\r\r\n";
    struct Form {
        std::string header; // in front of the block
        std::string lines;  // compressed form: the lines in front of the streams
    };
    const Form forms[] = {
        {tig, tig},
        {"** " + tig, "** " + tig},
        {"\x01\r\r\n123 \r\r\n" + tig, "\x01\r\r\n123 \r\r\n" + tig},
        {"\n\nX", "\r\r\n" + tig}, // line feeds, then one byte ends the header
        {"", ""},                  // no header at all
    };
    for (const auto &f : forms) {
        p.wmo = f.header;
        for (bool z : {false, true}) {
            IMAGE im;
            const Bytes file = z ? z_file(p, f.lines) : gx::write_plain(p);
            EXPECT_EQ(read(file, z, &im).first, 0) << testing::PrintToString(f.header) << z;
            EXPECT_EQ(std::pair(im.nx, im.ny), std::pair(4, 3));
            EXPECT_EQ(im.data, p.pixels) << testing::PrintToString(f.header) << z;
        }
    }
}

TEST_F(Gini, DescriptionDateAndDomainRules) {
    EXPECT_EQ(SAT_gini_description(13, 1, 4), "GOES 10 Infrared 11um");
    EXPECT_EQ(SAT_gini_description(99, 1, 27),
              "Gempak Base reflectivity (Dbz)Gridded cloud top height");
    EXPECT_EQ(SAT_gini_description(13, 0, 1), "GOES NH Visible");
    EXPECT_EQ(SAT_gini_description(42, 9, 33), "GOES NC 33");

    gx::Product p;
    p.nx = p.ny = 5;
    p.pixels.assign(25, 1);
    p.year = 4; // two digits
    IMAGE im;
    ASSERT_EQ(read(gx::write_plain(p), false, &im).first, 0);
    EXPECT_EQ(std::tuple(im.date.year, im.type, im.label),
              std::tuple(2004, 1304, std::string("0630Z 12 SEP 04")));

    // A longitude above 180 counts west: the first pixel of a polar grid.
    p.projection = 5;
    p.la2_lov = -150;
    std::tie(p.la1, p.lo1) = std::pair(40.0, 200.0);
    ASSERT_EQ(read(gx::write_plain(p), false, &im).first, 0);
    EXPECT_NEAR(grid_point(im.domain, 0, 4).second, -160, 1e-3);
    EXPECT_EQ(MAP_get_proj(), MISSING) << "the plot's projection is left as it was";
    // "SAT_FUDGE" moves the centre.
    const DOMAIN plain = im.domain;
    setenv("SAT_FUDGE", "0.5,-1", 1);
    ASSERT_EQ(read(gx::write_plain(p), false, &im).first, 0);
    EXPECT_NEAR(im.domain.clat - plain.clat, 0.5, 1e-5);
    EXPECT_NEAR(im.domain.clon - plain.clon, -1, 1e-5);
    unsetenv("SAT_FUDGE");

    // Mercator: the middle longitude, across the date line too.
    p.projection = 1;
    for (auto [lo1, lo2, mid] : {std::tuple{170.0, -170.0, -180.0f}, {-100.0, -60.0, -80.0f}}) {
        std::tie(p.lo1, p.lo2, p.la1, p.la2_lov) = std::tuple(lo1, lo2, 10.0, 30.0);
        ASSERT_EQ(read(gx::write_plain(p), false, &im).first, 0);
        EXPECT_FLOAT_EQ(im.domain.param[1], mid) << lo1;
        const auto [lat, lon] = grid_point(im.domain, 4, 0);
        EXPECT_NEAR(lat, 30, 1e-3);
        EXPECT_NEAR(std::remainder(lon - lo2, 360.0), 0, 1e-3);
    }
}

TEST_F(Gini, DamagedProductsFailWithTheirMessageOrKeepWhatWasRead) {
    gx::Product p;
    p.pixels = ramp(12);
    IMAGE im;
    // Too short for the block: no message, nothing accepted yet.
    EXPECT_EQ(read(gx::text("TIGE01 KNES\r\r\n"), false, &im), std::pair(-1, std::string()));
    // Sizes: 1..10000 each, and not beyond what the file can hold.
    for (auto [nx, ny, ok] :
         {std::tuple{0, 3, false}, {10001, 1, false}, {10000, 1, true}, {10000, 10000, false}}) {
        std::tie(p.nx, p.ny) = std::pair(nx, ny);
        const auto [rc, text] = read(gx::write_plain(p), false, &im);
        EXPECT_EQ(rc, ok ? 0 : -1) << nx << "x" << ny << text;
        EXPECT_EQ(text.empty(), ok) << text;
        EXPECT_EQ(im.data.size(), ok ? size_t(nx) * size_t(ny) : 0u);
    }
    std::tie(p.nx, p.ny) = std::pair(4, 3);

    // Compressed: a trailer row and uncompressed bytes after the streams are
    // dropped; garbage in the middle ends the pixels; a garbled first stream
    // has no block.
    Bytes with_trailer = p.pixels;
    with_trailer.insert(with_trailer.end(), 4, 0xEE);
    gx::Product t = p;
    t.pixels = with_trailer;
    EXPECT_EQ(
        read(z_file(t, "", gx::text("\r\r\nNNNN\r\r\n" + std::string(600, ' '))), true, &im).first,
        0);
    EXPECT_EQ(im.data, p.pixels);
    const Bytes half(p.pixels.begin(), p.pixels.begin() + 4);
    const Bytes cut =
        gx::cat({gx::text(p.wmo), gx::deflate(gx::cat({gx::text(p.wmo), gx::pdb(p)})),
                 gx::deflate(half), gx::text("garbage that is not a zlib stream"), Bytes(600, 1)});
    EXPECT_EQ(read(cut, true, &im).first, 0);
    EXPECT_EQ(im.data, gx::cat({half, Bytes(8, 0)}));
    Bytes garbled = z_file(p);
    garbled[p.wmo.size()] ^= 0xFF; // the zlib header
    EXPECT_EQ(read(garbled, true, &im),
              std::pair(-1, std::string("SAT_read_AWIP: No product definition block in ") +
                                dir.file("product.gini") + "\n"));

    // PNG blocks: grey, also interlaced, with one row more than the image; not
    // colour, not cut short.
    const Bytes grey = ramp(16);
    for (bool interlace : {false, true}) {
        p.pixels = gx::png(4, 4, grey, PNG_COLOR_TYPE_GRAY, interlace);
        ASSERT_EQ(read(gx::write_plain(p), false, &im).first, 0) << interlace;
        EXPECT_EQ(im.data, Bytes(grey.begin(), grey.begin() + 12)) << interlace;
    }
    p.pixels = gx::png(2, 2, ramp(12), PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(
        read(gx::write_plain(p), false, &im),
        std::pair(-1, std::string("SAT_read_AWIP: PNG pixel block: colour type is not grey\n")));
    EXPECT_TRUE(im.data.empty());
    p.pixels = gx::png(4, 3, ramp(12));
    p.pixels.resize(p.pixels.size() - 20);
    EXPECT_EQ(read(gx::write_plain(p), false, &im).first, -1);
}

TEST_F(Gini, ReaderTableRows) {
    gx::Product p;
    p.pixels = ramp(12);
    const Bytes plain = gx::write_plain(p), z = z_file(p);
    for (auto [bytes, type] : {std::pair{plain, 53}, {z, 54}}) {
        const SAT_READER *row = SAT_recognise_reader(bytes);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->type, type);
        SAT_params().tran_sat = 1;
        SAT_params().imager_source = 0;
        FLAG_set(FLAG_INPUT, type);
        const std::string path = dir.write("row.gini", as_text(bytes));
        IMAGE im;
        MessageCapture cap;
        EXPECT_EQ(SAT_read_file(path.c_str(), &im), 1);
        const std::string text = cap.text();
        EXPECT_EQ(std::tuple(SAT_params().tran_sat, SAT_params().imager_source, im.data),
                  std::tuple(0, 53, p.pixels));
        EXPECT_EQ(text.rfind("Reading image file: " + path + "\n", 0), 0u) << text;
        EXPECT_NE(
            text.find("Date: 0630Z 12 SEP 05\nInfo: GOES 10 Infrared 11um\nImage domain: lamb"),
            std::string::npos)
            << text;
    }
    FLAG_set(FLAG_INPUT, 53);
    IMAGE im;
    EXPECT_EQ(SAT_read_file(dir.file("absent").c_str(), &im), 0);
}

} // namespace
