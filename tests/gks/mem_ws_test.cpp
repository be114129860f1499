// Memory workstation without any X server: what it reports, pixels placed by closed-form
// rules (filled rectangles, dashes, images with a transparent colour), frames and zoom.
#include "gks/recording_device.h"

#include "base/image.h"
#include "gks/gks_dump.h"
#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_mem.h"
#include "gks/gks_x11.h"

namespace {

constexpr int W = 40, H = 30;
using RGB = std::array<int, 3>;

class MemWs : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_graphics();
        ASSERT_EQ(gopen_mem_ws(1, W, H), 0);
        // World coordinates of transformation 1: pixel centres, y upwards.
        float r[4] = {0, 1, 0, float(H - 1) / float(W - 1)};
        gset_ws_win(1, r);
        gset_vp(1, r);
        float world[4] = {0, float(W - 1), 0, float(H - 1)};
        gset_win(1, world);
        gsel_norm_tran(1);
        colour(2, 1, 0, 0);
        colour(3, 0, 1, 0);
        colour(4, 0, 0, 1);
    }
    void TearDown() override {
        gclose_ws(1);
        reset_graphics();
    }
    static void colour(int n, float r, float g, float b) {
        float rgb[3] = {r, g, b};
        gset_colr_rep(1, n, rgb);
    }
    // Pixel columns x0..x1, rows y0..y1 (y down) filled with colour index n.
    static void fill(int n, int x0, int y0, int x1, int y1) {
        gset_fill_colr_ind(n);
        float a = float(H - 1 - y0), b = float(H - 1 - y1);
        float p[10] = {float(x0), a, float(x1), a, float(x1), b, float(x0), b, float(x0), a};
        gfill_area(5, p);
    }
    static IMAGE grab() {
        IMAGE im;
        EXPECT_EQ(gget_image(&im), 0);
        return im;
    }
    static RGB at(const IMAGE &im, int x, int y) {
        const uint8_t *p = im.data.data() + size_t(y) * size_t(im.bytes_per_line) + 4 * size_t(x);
        return {p[2], p[1], p[0]};
    }
};

const RGB kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

TEST_F(MemWs, ReportsThePixmapModelAndDrawsExactRectangles) {
    EXPECT_TRUE(gtype_is_MEM());
    EXPECT_TRUE(ginq_ws_pixels());
    EXPECT_EQ(gget_win_depth(), 24);
    EXPECT_EQ(gget_win_type(), GWS_MEM);
    fill(2, 5, 4, 14, 9);
    IMAGE im = grab();
    ASSERT_EQ(im.nx, W);
    ASSERT_EQ(im.ny, H);
    EXPECT_EQ(im.bits_per_pixel, 32);
    EXPECT_EQ(im.red_mask, 0xff0000u);
    int red = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            red += at(im, x, y) == kRed;
    EXPECT_EQ(red, 10 * 6) << "columns 5-14, rows 4-9, edges included";
    EXPECT_EQ(at(im, 5, 4), kRed);
    EXPECT_EQ(at(im, 14, 9), kRed);
    EXPECT_EQ(at(im, 15, 9), kBlack);
    gclear_ws(1, 1);
    EXPECT_EQ(at(grab(), 5, 4), kBlack);
    // Through the device table it takes the kernel's window size.
    gclose_ws(1);
    gset_win_size(50, 20);
    ASSERT_EQ(gopen_ws(1, "", GWS_MEM), 0);
    IMAGE other = grab();
    EXPECT_EQ(other.nx, 50);
    EXPECT_EQ(other.ny, 20);
}

// Dash lists count pixels along a thin line: type 2 is 6 on, 6 off; type 5 is 2 on, 2 off.
TEST_F(MemWs, DashedLinesFollowTheirDashLists) {
    gset_line_colr_ind(3);
    for (int type : {2, 5}) {
        gclear_ws(1, 1);
        gset_linetype(type);
        float y = float(H - 1 - 10);
        float p[4] = {0, y, float(W - 1), y};
        gpolyline(2, p);
        IMAGE im = grab();
        int period = type == 2 ? 12 : 4;
        for (int x = 0; x < W; ++x)
            EXPECT_EQ(at(im, x, 10), x % period < period / 2 ? kGreen : kBlack)
                << "type " << type << " x " << x;
    }
    // Points far outside the picture are pinned to 16-bit device coordinates.
    gset_linewidth(3);
    float far[6] = {0, 0, 1e30f, -1e30f, -1e9f, 5};
    EXPECT_EQ(gpolyline(3, far), 0);
}

// An indexed image goes to the viewport's corner plus the offset; an overlay leaves the
// pixels of its transparent colour alone.
TEST_F(MemWs, ImagesLoadAndOverlayWithATransparentColour) {
    IMAGE im;
    IMG_init(&im);
    im.nx = 3, im.ny = 2, im.depth = 8, im.bits_per_pixel = 8, im.bytes_per_line = 3;
    im.color_type = 1, im.num_colors = 3;
    im.colors = std::make_shared<std::vector<float>>(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 0, 1});
    im.data = {1, 2, 1, 0, 1, 2};
    fill(3, 0, 0, W - 1, H - 1);
    ASSERT_EQ(gload_image(&im, 4, 5), 0);
    ASSERT_EQ(goverlay_image_color(&im, "", 20, 5), 0) << "black is the background";
    IMAGE got = grab();
    EXPECT_EQ(at(got, 4, 5), kRed);
    EXPECT_EQ(at(got, 5, 5), kBlue);
    EXPECT_EQ(at(got, 4, 6), kBlack);
    EXPECT_EQ(at(got, 20, 5), kRed);
    EXPECT_EQ(at(got, 20, 6), kGreen) << "transparent pixel";
    EXPECT_EQ(at(got, 22, 6), kBlue);
}

TEST_F(MemWs, FramesAndZoomWorkWithoutAServer) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(gcreate_frame(-1), i);
        gselect_frame(i);
        fill(2 + i, 0, 0, W - 1, H - 1);
    }
    gselect_frame(GFRAME_BASE);
    EXPECT_EQ(gget_num_images(), 3);
    const RGB colours[3] = {kRed, kGreen, kBlue};
    for (int i : {1, 2, 0}) {
        gdisplay_frame(i);
        EXPECT_EQ(at(grab(), W / 2, H / 2), colours[i]) << "frame " << i;
    }
    if (testsupport::have_program("/usr/bin/identify")) {
        testsupport::TempDir dir;
        const std::string gif = dir.file("loop.gif");
        ASSERT_EQ(GIF_dump_frames(gif.c_str()), 1);
        auto r = testsupport::run_program("/usr/bin/identify", {"-format", "%T %wx%h,", gif});
        EXPECT_EQ(r.out, "50 40x30,50 40x30,100 40x30,") << "three frames with their dwells";
    }
    gcopy_frame(0, 2);
    gdisplay_frame(0);
    EXPECT_EQ(at(grab(), 1, 1), kBlue);
    long long server = -1, client = -1;
    gget_frame_bytes(&server, &client);
    EXPECT_EQ(server, 0);
    EXPECT_EQ(client, 3LL * W * H * 4);
    gdelete_frame(GFRAME_LAST);
    EXPECT_EQ(gget_num_images(), 2);
    gdelete_frame(GFRAME_LAST);
    gdelete_frame(GFRAME_LAST);
    EXPECT_EQ(gget_num_images(), 0);

    // Zoom by 2 around the centre of a picture with one red pixel at (20, 15): the view is
    // 20 by 15 pixels from (10, 8), so the pixel becomes the block (20..21, 14..15).
    gclear_ws(1, 1);
    fill(2, 20, 15, 20, 15);
    gzoom(GFRAME_CURRENT, W / 2, H / 2, 2, 0);
    IMAGE z = grab();
    for (int y = 12; y < 18; ++y)
        for (int x = 18; x < 24; ++x)
            EXPECT_EQ(at(z, x, y), (x == 20 || x == 21) && (y == 14 || y == 15) ? kRed : kBlack)
                << x << "," << y;
    gunzoom();
    IMAGE back = grab();
    EXPECT_EQ(at(back, 20, 15), kRed);
    EXPECT_EQ(at(back, 21, 16), kBlack);
}

} // namespace
