// Window dumps under a real server: the picture written by each codec and decoded by an
// independent program shows what was drawn; the registered reader and writer serve the
// kernel's image-file calls; all frames make one animated GIF.
#include "gks/x11_support.h"
#undef XSAT_REQUIRE_PROGRAM
#include "gks/codec_oracle.h"

#include "gks/gks_dump.h"
#include "sat/img_io.h"

using namespace x11test;

namespace {

constexpr int W = 64, H = 48;
const RGB kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

RGB at(const oracle::Rgb &p, int x, int y) {
    return {p.at(x, y, 0), p.at(x, y, 1), p.at(x, y, 2)};
}

class Dump : public X11Test {
  protected:
    // Left half red, right half green above blue.
    void draw() {
        colour(2, 1, 0, 0);
        colour(3, 0, 1, 0);
        colour(4, 0, 0, 1);
        fill_pixels(2, 0, 0, W / 2 - 1, H - 1, H);
        fill_pixels(3, W / 2, 0, W - 1, H / 2 - 1, H);
        fill_pixels(4, W / 2, H / 2, W - 1, H - 1, H);
    }
    void expect_drawing(const std::optional<oracle::Rgb> &p, const char *what) {
        ASSERT_TRUE(p) << what << " not decoded";
        ASSERT_EQ(p->w, W) << what;
        ASSERT_EQ(p->h, H) << what;
        EXPECT_TRUE(same_colour(at(*p, 3, 40), kRed)) << what;
        EXPECT_TRUE(same_colour(at(*p, 60, 2), kGreen)) << what;
        EXPECT_TRUE(same_colour(at(*p, 33, 47), kBlue)) << what;
    }
    testsupport::TempDir dir;
};

TEST_F(Dump, EachFormatHoldsTheWindowsPicture) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xwdtopnm");
    ASSERT_EQ(open_window(W, H), 0);
    draw();
    const std::string gif = dir.file("w.gif"), png = dir.file("w.png"), xwd = dir.file("w.xwd");
    ASSERT_EQ(GIF_dump(gif.c_str()), 1);
    ASSERT_EQ(PNG_dump(png.c_str()), 1);
    ASSERT_EQ(XWD_dump(xwd.c_str()), 1);
    expect_drawing(oracle::magick(gif), "GIF");
    expect_drawing(oracle::magick(png), "PNG");
    // xwdtopnm reads our indexed dumps (8-bit PseudoColor servers) differently from the
    // window; only true-colour dumps are checked through it.
    if (gget_win_depth() > 8)
        expect_drawing(oracle::xwdtopnm(xwd), "XWD");
    testsupport::Capture quiet(2);
    const std::string not_dir = dir.write("plain", "x");
    EXPECT_EQ(GIF_dump((not_dir + "/w.gif").c_str()), 0);
}

// After registration the kernel saves in the chosen type and loads any picture file back.
TEST_F(Dump, RegisteredImageFilesSaveAndLoad) {
    XSAT_REQUIRE_DISPLAY();
    IMG_register_io();
    ASSERT_EQ(open_window(W, H), 0);
    draw();
    const std::string png = dir.file("s.png");
    gset_save_image_type(GDUMP_PNG);
    ASSERT_EQ(gsave_image_file(png.c_str()), 1);
    gset_save_image_type(GDUMP_GIF);
    expect_drawing(oracle::magick(png), "saved PNG");
    gclear_ws(1, 1);
    ASSERT_EQ(gload_image_file(png.c_str(), 0, 0), 0);
    IMAGE im;
    ASSERT_EQ(gget_image(&im), 0);
    EXPECT_TRUE(same_colour(rgb_at(im, 3, 40), kRed));
    EXPECT_TRUE(same_colour(rgb_at(im, 33, 47), kBlue));
    gset_image_io(nullptr, nullptr);
}

TEST_F(Dump, FramesMakeOneAnimatedGif) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("/usr/bin/identify");
    ASSERT_EQ(open_window(W, H), 0);
    colour(2, 1, 0, 0);
    colour(3, 0, 1, 0);
    colour(4, 0, 0, 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(gcreate_frame(-1), i);
        gselect_frame(i);
        fill_pixels(2 + i, 0, 0, W - 1, H - 1, H);
    }
    gselect_frame(GFRAME_BASE);
    gset_loop_delay(0, 0.25f);
    const std::string gif = dir.file("anim.gif");
    ASSERT_EQ(GIF_dump_frames(gif.c_str()), 1);
    EXPECT_EQ(gget_draw_frame(), GFRAME_BASE);
    // Delays in hundredths: frame 0 as set, the others at the loop's defaults.
    auto r = testsupport::run_program("/usr/bin/identify", {"-format", "%T %s,", gif});
    EXPECT_EQ(r.out, "25 0,50 1,100 2,");
    const RGB want[3] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        auto p = oracle::magick(gif, i);
        ASSERT_TRUE(p) << i;
        EXPECT_TRUE(same_colour(at(*p, W / 2, H / 2), want[i])) << "frame " << i;
    }
    if (testsupport::have_program("gifbuild")) {
        auto dump = testsupport::run_program("gifbuild", {"-d", gif});
        EXPECT_NE(dump.out.find("netscape loop 0\n"), std::string::npos) << "loops for ever";
    }
}

} // namespace
