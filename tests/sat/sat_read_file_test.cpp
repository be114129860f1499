// File dispatch through the reader table: a type without a reader, the AREA
// row's placement and messages, the date lister and the native format's row.
#include <gtest/gtest.h>

#include "base/flag.h"
#include "base/resrc.h"
#include "plot/plt_labl.h"
#include "sat/sat_tool.h"
#include "satformats/area_test_util.h"

namespace {

using namespace areatest;
namespace fx = area_fixture;

// An AREA file of 1998 day 260 (17 September) 07:45 with the given block.
std::string area_file(const testsupport::TempDir &dir, const std::string &type) {
    fx::Image im;
    im.lines = 20;
    im.elems = 30;
    im.pixels.assign(600, 7);
    im.nav_type = type;
    if (type == "PS") {
        im.nav = fx::ps_block(-1530, 830, 60, 2381, 105, 6378388);
    } else {
        fx::Goes g;
        std::tie(g.semi_maj_km, g.epoch_time, g.asc_node_deg) =
            std::tuple{42165.41, 173000, 183.95};
        std::tie(im.ul_line, im.ul_elem, im.line_res, im.elem_res) = std::tuple{9000, 7600, 4, 4};
        im.nav = fx::goes_block(g);
    }
    const auto bytes = fx::write_plain(im, fx::Order::big);
    return dir.write(type + ".area", std::string(bytes.begin(), bytes.end()));
}

class ReadFile : public ::testing::Test {
  protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        reset_all();
        SAT_reset_state();
        PLT_reset_label_state();
        RES_put("output", nullptr);
        RES_put("grid_domain", nullptr);
        FLAG_set(FLAG_INPUT, SAT_IN_AREA);
    }
    // Reads with every message level on; the result and what was printed.
    static std::pair<int, std::string> read(int type, const std::string &name, IMAGE *image) {
        FLAG_set(FLAG_INPUT, type);
        MessageCapture cap;
        const int rc = SAT_read_file(name.c_str(), image);
        return {rc, cap.text()};
    }
    testsupport::TempDir dir;
};

TEST_F(ReadFile, UnknownTypeChangesNothing) {
    SAT_params().tran_sat = 1;
    IMAGE image;
    const auto [rc, text] = read(99, area_file(dir, "PS"), &image);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(text, "SAT_read_file: no reader for input type 99\n");
    EXPECT_EQ(SAT_params().tran_sat, 1);
}

TEST_F(ReadFile, AreaRowPlacesTheImageAndReportsFailures) {
    // A projection block: the image goes through its own domain.
    SAT_params().imager_source = 0;
    IMAGE image;
    auto [rc, text] = read(SAT_IN_AREA, area_file(dir, "PS"), &image);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(std::tuple(image.source, image.domain.proj, image.data.size()),
              std::tuple(51, 1, size_t{600}));
    EXPECT_EQ(std::pair(SAT_params().tran_sat, SAT_params().imager_source), std::pair(0, 51));
    EXPECT_EQ(text.find("Reading image file"), std::string::npos);
    EXPECT_NE(text.find("Date: 0745Z 17 SEP 98\nSize: 30x20\n"), std::string::npos) << text;
    EXPECT_EQ(std::string(PLT_get_label(PLT_UP_RIGHT, 0)), "0745Z 17 SEP 98");
    EXPECT_EQ(PLT_get_label(PLT_UP_LEFT, 0), image.info);
    // A satellite block leaves the transformation as it is.
    SAT_params().tran_sat = 1;
    std::tie(rc, text) = read(SAT_IN_AREA, area_file(dir, "GOES"), &image);
    EXPECT_EQ(std::tuple(rc, image.domain.proj, SAT_params().tran_sat), std::tuple(1, 9, 1));
    EXPECT_EQ(AREA_get_image_type(), AREA_NAV_GOES);
    // Failures are the dispatcher's to report for this row.
    const std::string absent = dir.file("absent.area");
    std::tie(rc, text) = read(SAT_IN_AREA, absent, &image);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(text, "SAT_read_file: Unable to open file:" + absent + "\n");
    std::tie(rc, text) = read(SAT_IN_AREA, dir.write("junk.area", "not an AREA file"), &image);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(text, "SAT_read_file: Unable to read image file\n");
}

TEST_F(ReadFile, DateListerPrintsInsteadOfNavigating) {
    const std::string path = area_file(dir, "GOES");
    for (auto [what, want] : {std::pair{"date", "0745Z 17 SEP 98\n"}, {"seq", "199809170745\n"}}) {
        RES_put("output", what);
        SAT_params().imager_source = 0;
        IMAGE image;
        const auto [rc, text] = read(SAT_IN_AREA, path, &image);
        EXPECT_EQ(rc, 0) << what;
        EXPECT_EQ(text, want) << what;
        EXPECT_TRUE(image.data.empty()) << "the listed image is released";
        EXPECT_EQ(SAT_params().imager_source, 51);
        EXPECT_EQ(AREA_get_image_type(), AREA_NAV_NONE) << "no navigation for a listed date";
    }
    RES_put("output", "plot"); // any other value plots
    IMAGE image;
    EXPECT_EQ(read(SAT_IN_AREA, path, &image).first, 1);
}

TEST_F(ReadFile, NativeFormatIsARowOfTheTable) {
    IMAGE image;
    IMG_init(&image);
    image.nx = image.bytes_per_line = 4;
    image.ny = 2;
    image.depth = 8;
    image.data.assign(8, 3);
    image.label = "old label";
    image.info = "a picture";
    const std::string path = dir.file("x.img");
    ASSERT_EQ(IMG_write(path.c_str(), &image, 0), 1);
    const std::string head = testsupport::read_file(path).substr(0, 16);
    const SAT_READER *row =
        SAT_recognise_reader(std::span(reinterpret_cast<const uint8_t *>(head.data()), head.size()),
                             SAT_native_readers());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->type, SAT_IN_IMG);

    SAT_params().tran_sat = 1;
    IMAGE back;
    const auto [rc, text] = read(SAT_IN_IMG, path, &back);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(SAT_params().tran_sat, 0);
    EXPECT_EQ(back.data, image.data);
    EXPECT_EQ(text.rfind("Reading image file: " + path + "\n", 0), 0u) << text;
    EXPECT_NE(text.find("Date: old label\nInfo: a picture\nImage domain: "), std::string::npos)
        << text;
    EXPECT_EQ(std::pair(std::string(PLT_get_label(PLT_UP_LEFT, 0)),
                        std::string(PLT_get_label(PLT_UP_RIGHT, 0))),
              std::pair(std::string("a picture"), std::string("old label")));
}

} // namespace
