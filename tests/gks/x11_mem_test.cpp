// The memory workstation against a real server: one drawing sequence (an image, its
// overlay with a transparent colour, lines of widths 1-3 solid and dashed, solid and
// stippled fills, markers, stroke text) drawn on the X11 window and in memory. Image areas
// must be identical; every other drawn pixel must have its colour within one pixel in the
// other picture.
#include <filesystem>

#include "gks/x11_support.h"

#include "gks/gks_dump.h"
#include "gks/gks_mem.h"

using namespace x11test;

namespace {

constexpr int W = 160, H = 120;
// Where the two image copies go (viewport corner plus offset; the viewport is the window).
constexpr int kImgX = 4, kImgY = 4, kOverX = 40, kImgW = 24, kImgH = 16;

IMAGE test_image() {
    IMAGE im;
    IMG_init(&im);
    im.nx = kImgW, im.ny = kImgH, im.depth = 8, im.bits_per_pixel = 8, im.bytes_per_line = kImgW;
    im.color_type = 1, im.num_colors = 4;
    im.colors = std::make_shared<std::vector<float>>(
        std::vector<float>{0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 0.5f, 0});
    for (int y = 0; y < kImgH; ++y)
        for (int x = 0; x < kImgW; ++x)
            im.data.push_back(uint8_t((x / 3 + y / 2) % 4));
    return im;
}

// The stroke font the sequence writes with; given before the workstation opens.
void use_test_font() {
    static const std::string font =
        (std::filesystem::path(__FILE__).parent_path() / "../../data/modern.fnt").string();
    gset_font_list(font.c_str());
}

void draw_sequence() {
    pixel_world(W, H);
    colour(2, 1, 0, 0);
    colour(3, 0, 1, 0);
    colour(4, 0.3f, 0.5f, 1);
    colour(5, 1, 1, 0);
    IMAGE im = test_image();
    gload_image(&im, kImgX, kImgY);
    goverlay_image_color(&im, "", kOverX, kImgY);
    auto y = [](float row) { return float(H - 1) - row; };
    gset_line_colr_ind(2);
    for (int width = 1; width <= 3; ++width) {
        gset_linewidth(float(width));
        for (int type : {1, 2, 4}) {
            gset_linetype(type);
            float r = float(28 + 8 * width + 3 * type);
            float p[6] = {4, y(r), 70, y(r + 6), 100, y(r - 4)};
            gpolyline(3, p);
        }
    }
    gset_linetype(1);
    gset_linewidth(1);
    gset_fill_colr_ind(3);
    float tri[8] = {110, y(10), 150, y(20), 120, y(50), 110, y(10)};
    gfill_area(4, tri);
    gset_fill_colr_ind(4);
    gset_fill_int_style(2);
    gset_fill_style_ind(3);
    float box[10] = {110, y(60), 155, y(60), 155, y(90), 110, y(90), 110, y(60)};
    gfill_area(5, box);
    gset_fill_int_style(1);
    gset_marker_colr_ind(5);
    gset_marker_size(1.0f);
    for (int type = 1; type <= 5; ++type) {
        gset_marker_type(type);
        float p[2] = {float(10 + 18 * type), y(80)};
        gpolymarker(1, p);
    }
    gset_text_colr_ind(3);
    gset_char_ht(0.05f);
    float pos[2] = {6, y(110)};
    gtext(pos, "Xsat 42");
}

// Drawn pixels of a whose colour has no match within one pixel in b.
int unmatched(const IMAGE &a, const IMAGE &b) {
    const RGB back = rgb_at(a, W - 1, H - 1);
    int bad = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (x >= kImgX && x < kOverX + kImgW && y >= kImgY && y < kImgY + kImgH)
                continue;
            RGB c = rgb_at(a, x, y);
            if (c == back)
                continue;
            bool found = false;
            for (int j = std::max(0, y - 1); j <= std::min(H - 1, y + 1) && !found; ++j)
                for (int i = std::max(0, x - 1); i <= std::min(W - 1, x + 1) && !found; ++i)
                    found = same_colour(rgb_at(b, i, j), c);
            bad += !found;
        }
    return bad;
}

class MemVsX11 : public X11Test {
  protected:
    void TearDown() override {
        gclose_ws(1);
        X11Test::TearDown();
    }
};

TEST_F(MemVsX11, SameDrawingGivesTheSamePicture) {
    XSAT_REQUIRE_DISPLAY();
    Conn conn;
    if (!conn.d || conn.depth() < 24)
        GTEST_SKIP() << "the comparison needs a 24-bit server";
    use_test_font();
    ASSERT_EQ(open_window(W, H), 0);
    draw_sequence();
    IMAGE x;
    ASSERT_EQ(gget_image(&x), 0);
    gclose_ws(1);

    use_test_font();
    ASSERT_EQ(gopen_mem_ws(1, W, H), 0);
    draw_sequence();
    IMAGE m;
    ASSERT_EQ(gget_image(&m), 0);
    ASSERT_EQ(m.nx, x.nx);
    ASSERT_EQ(m.ny, x.ny);

    int image_diff = 0;
    for (int j = kImgY; j < kImgY + kImgH; ++j)
        for (int i : {kImgX, kOverX})
            for (int k = 0; k < kImgW; ++k)
                image_diff += rgb_at(x, i + k, j) != rgb_at(m, i + k, j);
    EXPECT_EQ(image_diff, 0) << "image and overlay areas";
    // The end of a dash on a wide line may sit one pixel further along it on either side,
    // which leaves its last corner pixel two pixels from the other's: a couple at most.
    EXPECT_LE(unmatched(x, m), 2) << "X11 pixels missing in memory";
    EXPECT_LE(unmatched(m, x), 2) << "memory pixels missing on X11";
}

} // namespace
