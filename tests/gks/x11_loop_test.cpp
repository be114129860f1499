// Frames and looping on a real server, with frames kept as server pixmaps and compact.
#include <cstring>

#include "gks/x11_support.h"

using namespace x11test;

namespace {

const RGB kBlack{0, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

class Loop : public X11Test {
  protected:
    static constexpr int W = 64, H = 48;
    // Opens a window with frames 0, 1, 2 filled red, green and blue.
    void three_frames() {
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
    }
    // The colour the window shows.
    RGB shown() {
        IMAGE im;
        EXPECT_EQ(gget_image(&im), 0);
        return im.data.empty() ? RGB{-1, -1, -1} : rgb_at(im, W / 2, H / 2);
    }
};

TEST_F(Loop, FramesAreCreatedShownCopiedSwitchedAndDeleted) {
    XSAT_REQUIRE_DISPLAY();
    for (int store : {0, 1}) {
        SCOPED_TRACE(store ? "compact store" : "pixmap store");
        gset_frame_store(store);
        three_frames();
        EXPECT_EQ(gget_num_images(), 3);
        EXPECT_FLOAT_EQ(gget_frame_delay(0), 0.5f);
        EXPECT_FLOAT_EQ(gget_frame_delay(1), 0.5f);
        EXPECT_FLOAT_EQ(gget_frame_delay(2), 1.0f) << "the newest frame stays longer";

        gdisplay_frame(1);
        EXPECT_TRUE(same_colour(shown(), kGreen));
        std::string extra;
        gget_win_title_extra(&extra);
        EXPECT_EQ(extra, "[1]");
        EXPECT_EQ(gget_cur_frame(), 1);

        gcopy_frame(0, 2);
        gdisplay_frame(0);
        EXPECT_TRUE(same_colour(shown(), kBlue));
        gswitch_frame(0, 1);
        gdisplay_frame(0);
        EXPECT_TRUE(same_colour(shown(), kGreen));
        gdisplay_frame(1);
        EXPECT_TRUE(same_colour(shown(), kBlue));
        gclear_frame(2);

        // Deleting the current middle frame shows the former third frame in its place.
        EXPECT_EQ(gdelete_frame(GFRAME_CURRENT), 1);
        EXPECT_EQ(gget_num_images(), 2);
        EXPECT_EQ(gget_cur_frame(), 1);
        EXPECT_TRUE(same_colour(shown(), kBlack));
        EXPECT_FLOAT_EQ(gget_frame_delay(1), 1.0f);

        gdelete_frame(0);
        EXPECT_TRUE(same_colour(shown(), kBlack));
        gdelete_frame(0);
        EXPECT_EQ(gget_num_images(), 0);
        EXPECT_EQ(gget_cur_frame(), -1) << "the only frame deleted: no current frame";
        gx11_reset_state();
        reset_graphics();
    }
}

TEST_F(Loop, StepsCycleAndRock) {
    XSAT_REQUIRE_DISPLAY();
    three_frames();
    struct Case {
        int direct, start, step;
        std::vector<int> shows;
    } cases[] = {
        {1, 2, 0, {0, 1, 2, 0}}, {0, 0, 0, {2, 1, 0, 2}}, {3, 0, 0, {1, 2, 1, 0, 1, 2, 1}},
        {2, 2, 0, {1, 0, 1, 2}}, {1, 0, -1, {2, 1}},      {1, 2, 1, {0}},
    };
    for (const auto &c : cases) {
        gset_loop_direct(c.direct);
        gdisplay_frame(c.start);
        std::vector<int> seen;
        for (size_t i = 0; i < c.shows.size(); ++i) {
            int n = ginc_frame(c.step);
            seen.push_back(n);
            gdisplay_frame(n);
        }
        EXPECT_EQ(seen, c.shows) << "direction " << c.direct << " from " << c.start;
    }
}

TEST_F(Loop, DelaysChangeEveryFrameButTheLastAndNeverGoNegative) {
    XSAT_REQUIRE_DISPLAY();
    three_frames();
    ginc_loop_delay(-0.45f);
    EXPECT_NEAR(gget_loop_delay(), 0.05f, 1e-6);
    ginc_loop_delay(-0.1f);
    EXPECT_EQ(gget_loop_delay(), 0.0f);
    EXPECT_EQ(gget_frame_delay(0), 0.0f);
    EXPECT_EQ(gget_frame_delay(1), 0.0f);
    EXPECT_EQ(gget_frame_delay(2), 1.0f);
    gset_loop_delay(GFRAME_ALL_BUT_LAST, 0.3f);
    gset_loop_delay(GFRAME_LAST, 0.7f);
    gset_loop_delay(200, 9.0f);
    EXPECT_FLOAT_EQ(gget_frame_delay(1), 0.3f);
    EXPECT_FLOAT_EQ(gget_frame_delay(GFRAME_LAST), 0.7f);
    EXPECT_EQ(ginc_frame(0), 0) << "no current frame yet: the first";
    char data[60];
    std::memset(data, 7, sizeof data);
    gset_image_data(1, data, 60);
    char back[GLOOP_DATA_MAX];
    EXPECT_EQ(gget_image_data(1, back), int(GLOOP_DATA_MAX)) << "cut to 52 bytes";
}

// Compact frames hold one byte a pixel here and nothing on the server; a frame of more
// than 256 colours stays a pixmap.
TEST_F(Loop, CompactFramesKeepOneBytePerPixel) {
    XSAT_REQUIRE_DISPLAY();
    gset_frame_store(1);
    three_frames();
    gdisplay_frame(2);
    long long server = -1, client = -1;
    gget_frame_bytes(&server, &client);
    EXPECT_EQ(server, 0);
    EXPECT_GE(client, 3LL * W * H);
    EXPECT_LT(client, 3LL * W * H + 3 * 256 * 8);
    EXPECT_TRUE(same_colour(shown(), kBlue));

    Conn c;
    if (c.depth() < 16)
        return; // a PseudoColor server never shows more than 256 pixel values
    IMAGE ramp;
    ramp.nx = W;
    ramp.ny = H;
    ramp.bits_per_pixel = 24;
    ramp.bytes_per_line = 3 * W;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ramp.data.insert(ramp.data.end(), {uint8_t(4 * x), uint8_t(5 * y), 128});
    int n = gcreate_frame(-1);
    gselect_frame(n);
    gload_image(&ramp, 0, 0);
    gselect_frame(GFRAME_BASE);
    gget_frame_bytes(&server, &client);
    EXPECT_GT(server, 0) << "a frame of 3072 colours is kept on the server";
}

} // namespace
