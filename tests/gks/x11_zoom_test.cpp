// Zoom by pixel replication: the row replicator in every pixel format against a pixel-by-
// pixel replication written here, and the zoomed window against the captured picture.
#include <string.h>

#include <random>

#include "gks/x11_support.h"

using namespace x11test;

namespace {

// Pixel x of a row, read one bit at a time: pixel x holds bits x * bpp onwards, counted
// from the most significant bit of the first byte (or from the least with lsb).
uint32_t pixel(const std::vector<uint8_t> &row, int x, int bpp, bool lsb) {
    uint32_t v = 0;
    for (int b = 0; b < bpp; ++b) {
        int pos = x * bpp + b;
        int bit = (row[size_t(pos / 8)] >> (lsb ? pos % 8 : 7 - pos % 8)) & 1;
        v = lsb ? v | uint32_t(bit) << b : v << 1 | uint32_t(bit);
    }
    return v;
}

TEST(ZoomReplicate, EveryPixelFormatMatchesPixelByPixelReplication) {
    std::mt19937 rng(7);
    for (int bpp : {1, 4, 8, 16, 24, 32})
        for (bool lsb : {false, true}) {
            const int sw = 7, sh = 5, dw = 17, dh = 11, zoom = 3, x0 = 2, y0 = 1;
            int sbpl = (sw * bpp + 7) / 8 + 1, dbpl = (dw * bpp + 7) / 8 + 2;
            std::vector<uint8_t> src(size_t(sbpl * sh)), dst(size_t(dbpl * dh), 0xa5);
            for (auto &b : src)
                b = uint8_t(rng());
            const std::vector<uint8_t> before = dst;
            GPixelRows s{src, sw, sh, bpp, sbpl, lsb}, d{dst, dw, dh, bpp, dbpl, lsb};
            gzoom_replicate(s, x0, y0, zoom, d);
            for (int j = 0; j < dh; ++j)
                for (int i = 0; i < dw; ++i) {
                    auto row = [](const std::vector<uint8_t> &v, int bpl, int y) {
                        return std::vector<uint8_t>(v.begin() + y * bpl, v.begin() + (y + 1) * bpl);
                    };
                    int sx = x0 + i / zoom, sy = y0 + j / zoom;
                    uint32_t want = sx < sw && sy < sh ? pixel(row(src, sbpl, sy), sx, bpp, lsb)
                                                       : pixel(row(before, dbpl, j), i, bpp, lsb);
                    ASSERT_EQ(pixel(row(dst, dbpl, j), i, bpp, lsb), want)
                        << bpp << " bits, lsb " << lsb << ", pixel " << i << "," << j;
                }
        }
}

class Zoom : public X11Test {};

// The zoomed window shows every captured pixel as a zoom by zoom block; unzoom restores
// the picture exactly; past 1024 nothing changes.
TEST_F(Zoom, WindowShowsReplicatedBlocksAndUnzoomsExactly) {
    XSAT_REQUIRE_DISPLAY();
    const int W = 120, H = 90;
    ASSERT_EQ(open_window(W, H), 0);
    for (int i = 0; i < 6; ++i) {
        colour(2 + i, float(i % 2), float(i / 2 % 2), float(i >= 3));
        fill_pixels(2 + i, 13 * i, 7 * i, 13 * i + 20, 7 * i + 30, H);
    }
    IMAGE base;
    ASSERT_EQ(gget_image(&base), 0);
    auto same_pixel = [&](const IMAGE &a, int ax, int ay, int bx, int by) {
        int n = a.bits_per_pixel / 8;
        return memcmp(a.data.data() + ay * a.bytes_per_line + ax * n,
                      base.data.data() + by * base.bytes_per_line + bx * n, size_t(n)) == 0;
    };
    struct Case {
        int x, y, factor, left, top;
    } cases[] = {
        {0, 0, 2, 0, 0},      // at the corner: the quarter touching it
        {60, 45, 3, 40, 30},  // in the middle: centred
        {119, 89, 4, 90, 68}, // past the far edges: the last part that fits
    };
    for (const auto &c : cases) {
        gunzoom();
        gzoom(GFRAME_CURRENT, c.x, c.y, c.factor, 0);
        EXPECT_EQ(gget_zoom(), c.factor);
        IMAGE z;
        ASSERT_EQ(gget_image(&z), 0);
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                int sx = c.left + x / c.factor, sy = c.top + y / c.factor;
                if (sx < W && sy < H && !same_pixel(z, x, y, sx, sy))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "zoom " << c.factor << " at " << c.x << "," << c.y;
        EXPECT_NEAR(xZ_p(float(W / 2)), c.left + W / c.factor / 2, 0.01);
    }
    std::string err = stderr_of([] { gzoom(GFRAME_CURRENT, -1, -1, -512, 0); });
    EXPECT_TRUE(has(err, "gzoom: Cannot zoom past 1024x"));
    EXPECT_EQ(gget_zoom(), 4);
    gunzoom();
    IMAGE back;
    ASSERT_EQ(gget_image(&back), 0);
    EXPECT_EQ(back.data, base.data) << "unzoom restores the picture";
}

} // namespace
