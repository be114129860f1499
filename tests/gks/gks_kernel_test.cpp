// Kernel: transformations and device mapping, clipping, attribute setters, primitives.
// Expected device coordinates are worked out by hand from the mapping's closed form:
// ndc = (w - win.min) * vp.range / win.range + vp.min; pixel x = (ndc - wsw.xmin) * s + x0,
// pixel y = (wsw.ymax - ndc) * s + y0, with s the device size over the workstation window.
#include <gtest/gtest.h>

#include "recording_device.h"

namespace {

constexpr float kTol = 1e-3f;

void set_tran(int n, float wx0, float wx1, float wy0, float wy1, float vx0, float vx1, float vy0,
              float vy1) {
    float w[4] = {wx0, wx1, wy0, wy1};
    float v[4] = {vx0, vx1, vy0, vy1};
    ASSERT_EQ(gset_win(n, w), 0);
    ASSERT_EQ(gset_vp(n, v), 0);
}

TEST_F(GksTest, WorldToDeviceForNonSquareWindowsAndViewports) {
    open(GWS_WIN, 640, 512);
    // Device rectangle: a 639 x 511 viewport for the unit workstation window keeps the
    // square aspect: 511 x 511 pixels.
    set_tran(1, 0, 200, 0, 100, 0.1f, 0.9f, 0.2f, 0.6f);
    ASSERT_EQ(gsel_norm_tran(1), 0);
    EXPECT_NEAR(xW_NDC(50), 0.3f, 1e-6f);
    EXPECT_NEAR(yW_NDC(25), 0.3f, 1e-6f);
    EXPECT_NEAR(xW_p(50), 0.3f * 511, kTol);
    EXPECT_NEAR(yW_p(25), 0.7f * 511, kTol);
    EXPECT_NEAR(xp_W(0.3f * 511), 50, 1e-2f);
    EXPECT_NEAR(yp_W(0.7f * 511), 25, 1e-2f);

    // A workstation window twice as wide as high: the full width (639) is used and
    // 639 units per NDC in both directions.
    float wsw[4] = {0, 1, 0, 0.5f};
    gset_ws_win(1, wsw);
    EXPECT_NEAR(xW_p(50), 0.3f * 639, kTol);
    EXPECT_NEAR(yW_p(25), (0.5f - 0.3f) * 639, kTol);
    EXPECT_NEAR(xNDC_p(1.0f), 639, kTol);

    // Workstation viewport in device units: the height limits (200 / 0.5 < 600 / 1).
    float wsv[4] = {10, 610, 20, 220};
    gset_ws_vp(1, wsv);
    EXPECT_NEAR(xNDC_p(0), 10, kTol);
    EXPECT_NEAR(xNDC_p(1), 10 + 400, kTol);
    EXPECT_NEAR(yNDC_p(0.5f), 20, kTol);
    EXPECT_NEAR(yNDC_p(0), 220, kTol);
}

TEST_F(GksTest, PaperUnitsHaveNoFlipAndAnOffset) {
    open(GWS_PS, 757, 577);
    gset_win_offset(0, 0);
    set_tran(2, -10, 10, 0, 5, 0, 1, 0, 0.5f);
    gsel_norm_tran(2);
    // Device: 756 x 576 viewport, unit window -> 576 x 576.
    EXPECT_NEAR(xW_ps(0), 0.5f * 576, kTol);
    EXPECT_NEAR(yW_ps(5), 0.5f * 576, kTol);
    EXPECT_NEAR(yW_ps(0), 0, kTol);
    // Far outside points are clamped to the paper range, pixels to the X11 range.
    EXPECT_FLOAT_EQ(xW_ps(1e9f), 100000.0f);
    EXPECT_FLOAT_EQ(xW_p(-1e9f), -30000.0f);
}

TEST_F(GksTest, ResizeKeepsTransformationsAndRemapsTheDevice) {
    open(GWS_WIN, 640, 512);
    set_tran(1, 0, 10, 0, 10, 0, 0.5f, 0, 0.5f);
    gsel_norm_tran(1);
    gset_win_size(201, 101);
    // 200 x 100 viewport for a unit window: 100 x 100 pixels.
    EXPECT_NEAR(xW_p(10), 50, kTol);
    EXPECT_NEAR(yW_p(10), 50, kTol);
    float out[8];
    int err = -1;
    ginq_norm_tran(1, &err, out);
    EXPECT_EQ(err, 0);
    EXPECT_FLOAT_EQ(out[1], 10);
    EXPECT_FLOAT_EQ(out[5], 0.5f);
}

TEST_F(GksTest, WorldToWorldBetweenTransformations) {
    open(GWS_WIN);
    set_tran(1, 0, 100, 0, 100, 0, 1, 0, 1);
    set_tran(2, 0, 10, -5, 5, 0.5f, 1, 0, 1);
    // x = 75 in 1 is NDC 0.75, which is halfway in transformation 2's viewport.
    EXPECT_NEAR(xW_trans(1, 2, 75), 5, 1e-4f);
    EXPECT_NEAR(yW_trans(1, 2, 50), 0, 1e-4f);
}

TEST_F(GksTest, ClipRectangleFollowsTheCurrentViewport) {
    auto *d = open(GWS_WIN, 640, 512);
    set_tran(1, 0, 1, 0, 1, 0.1f, 0.9f, 0.2f, 0.6f);
    size_t before = d->clips.size();
    gsel_norm_tran(1);
    ASSERT_GT(d->clips.size(), before);
    // x = 0.1*511 = 51.1, y = 0.4*511 = 204.4, right 459.9, bottom 408.8.
    const GClip &c = d->clips.back();
    EXPECT_EQ(c.x, 51);
    EXPECT_EQ(c.y, 204);
    EXPECT_EQ(c.width, 410);
    EXPECT_EQ(c.height, 206);
    // Setting the viewport of a transformation that is not selected clips nothing new.
    before = d->clips.size();
    float v[4] = {0, 1, 0, 1};
    gset_vp(3, v);
    EXPECT_EQ(d->clips.size(), before);
}

TEST_F(GksTest, TransformationSelectionChecksAndSkipsRepeats) {
    auto *d = open(GWS_WIN);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gsel_norm_tran(6), -1);
    EXPECT_EQ(gsel_norm_tran(-1), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("gsel_norm_tran: invalid transformation number: 6\n"), std::string::npos);
    EXPECT_NE(err.find("gsel_norm_tran: invalid transformation number: -1\n"), std::string::npos);
    EXPECT_EQ(gsel_norm_tran(0), 0); // already current
    EXPECT_TRUE(d->selections.empty());
    gsel_norm_tran(2);
    gsel_norm_tran(2);
    EXPECT_EQ(d->selections, std::vector<int>{2});
    int n = -1;
    ginq_cur_norm_tran_num(nullptr, &n);
    EXPECT_EQ(n, 2);
}

TEST_F(GksTest, NothingWorksBeforeOpen) {
    gopen_gks(nullptr);
    float p[4] = {0, 0, 1, 1};
    testing::internal::CaptureStderr();
    EXPECT_EQ(gpolyline(2, p), -1);
    EXPECT_EQ(gset_linewidth(3), -1);
    EXPECT_EQ(gset_text_colr_ind(2), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("gpolyline: GKS not opened\n"), std::string::npos);
    EXPECT_NE(err.find("gset_linewidth: GKS not opened\n"), std::string::npos);
    EXPECT_NE(err.find("gset_text_colr_ind: GKS not opened\n"), std::string::npos);
    EXPECT_EQ(gchk_graphics(), 0);
}

TEST_F(GksTest, RefusalsAreSilentWithoutAnErrorStream) {
    open(GWS_PS);
    gclose_gks();
    testing::internal::CaptureStderr();
    EXPECT_EQ(gset_linewidth(-1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(GksTest, AttributeSettersValidateAndReturnAtOnceWhenUnchanged) {
    auto *d = open(GWS_PS);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gset_linewidth(-1), -1);
    EXPECT_EQ(gset_linetype(-2), -1);
    EXPECT_EQ(gset_marker_size(-1), -1);
    EXPECT_EQ(gset_marker_width(-0.5f), -1);
    EXPECT_EQ(gset_fill_style_ind(20), -1);
    EXPECT_EQ(gset_fill_style_ind(-1), -1);
    EXPECT_EQ(gset_char_ht(-1), -1);
    EXPECT_EQ(gset_expan(-1), -1);
    EXPECT_EQ(gset_text_width(-1), -1);
    EXPECT_EQ(gset_line_colr_ind(257), -1);
    EXPECT_EQ(gset_colr_rep(1, -2, nullptr), -1);
    std::string err = testing::internal::GetCapturedStderr();
    for (const char *m : {"gset_linewidth: invalid line width: -1.000000\n",
                          "gset_linetype: invalid line type: -2\n",
                          "gset_marker_size: invalid marker size: -1.000000\n",
                          "gset_marker_width: invalid marker width: -0.500000\n",
                          "gset_fill_style_ind: invalid style index: 20\n",
                          "gset_char_ht: invalid character height: -1.000000\n",
                          "gset_expan: invalid expansion factor: -1.000000\n",
                          "gset_text_width: invalid text width: -1.000000\n",
                          "gset_line_colr_ind: invalid color index: 257\n",
                          "gset_colr_rep: invalid color index: -2\n"})
        EXPECT_NE(err.find(m), std::string::npos) << m;
    EXPECT_TRUE(d->attrs.empty());
    EXPECT_FLOAT_EQ(gget_linewidth(), 1.0f);

    // The defaults are the current values: setting them changes nothing on the device.
    gset_linewidth(1);
    gset_linetype(1);
    gset_line_colr_ind(1);
    gset_marker_size(10);
    gset_fill_style_ind(1);
    EXPECT_TRUE(d->attrs.empty());

    EXPECT_EQ(gset_line_colr_ind(256), 0);
    EXPECT_EQ(gset_line_colr_ind(-1), 0);
    EXPECT_EQ(gset_fill_style_ind(19), 0);
    EXPECT_EQ(gset_marker_type(42), 0); // any marker type is accepted
    EXPECT_EQ(d->attrs.size(), 4u);
    // A zero width is drawn one unit wide on PostScript.
    EXPECT_EQ(gset_linewidth(0), 0);
    EXPECT_FLOAT_EQ(gget_linewidth(), 1.0f);
    EXPECT_EQ(gset_marker_width(0), 0);
    EXPECT_FLOAT_EQ(gget_marker_width(), 1.0f);
}

TEST_F(GksTest, X11ColoursNeedAPixelAndPrintColoursBecomeOne) {
    auto *d = open(GWS_WIN);
    gset_color_ind(1, 7); // the window device gives index 1 a pixel
    testing::internal::CaptureStderr();
    EXPECT_EQ(gset_line_colr_ind(5), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("gset_line_colr_ind: color index not initialized\n"), std::string::npos);

    float red[3] = {1, 0, 0};
    EXPECT_EQ(gset_colr_rep(1, 5, red), 0);
    EXPECT_EQ(gget_color_ind(5), 1005);
    EXPECT_EQ(gset_line_colr_ind(5), 0);
    EXPECT_EQ(gget_line_colr(), 5);
    // Redefining a colour in use refreshes the primitive that uses it.
    d->attrs.clear();
    float blue[3] = {0, 0, 1};
    gset_colr_rep(1, 5, blue);
    ASSERT_EQ(d->attrs.size(), 1u);
    EXPECT_EQ(d->attrs[0], GAttr::LineColr);

    EXPECT_EQ(gset_marker_colr_ind(503), 0);
    EXPECT_EQ(gget_marker_colr(), 1);
    // Print colours need no colour table entry and are ignored by gset_colr_rep.
    EXPECT_EQ(gset_colr_rep(1, 505, red), 0);
    int r, g, b;
    gget_color_rgb256(5, &r, &g, &b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b, 255);
}

TEST_F(GksTest, PaperDevicesKeepPrintColours) {
    open(GWS_PS);
    EXPECT_EQ(gset_fill_colr_ind(508), 0);
    EXPECT_EQ(gget_fill_colr(), 508);
    EXPECT_TRUE(gis_valid_colr(256));
    EXPECT_FALSE(gis_valid_colr(257));
    EXPECT_FALSE(gis_valid_colr(509));
    EXPECT_FALSE(gis_valid_colr(-2));
}

TEST_F(GksTest, PolylineChecksCountAndSkipsLinesOutsideTheWindow) {
    auto *d = open(GWS_WIN);
    float one[2] = {0.5f, 0.5f};
    testing::internal::CaptureStderr();
    EXPECT_EQ(gpolyline(1, one), -1);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("gpolyline: invalid number of points: 1\n"),
        std::string::npos);
    float outside[4] = {2, 2, 3, 3};
    EXPECT_EQ(gpolyline(2, outside), 0);
    EXPECT_TRUE(d->lines.empty());
    // A line crossing the window with both ends outside is drawn.
    float crossing[4] = {-1, 0.5f, 2, 0.5f};
    EXPECT_EQ(gpolyline(2, crossing), 0);
    ASSERT_EQ(d->lines.size(), 1u);
    EXPECT_FLOAT_EQ(d->lines[0][1].x, 2);
    float tri[6] = {5, 5, 6, 5, 6, 6};
    EXPECT_EQ(gfill_area(3, tri), 0);
    EXPECT_TRUE(d->fills.empty());
}

TEST_F(GksTest, MarkerShapesInDeviceUnits) {
    auto *d = open(GWS_PS, 757, 577);
    // World (0.5, 0.5) is (288, 288) points; size 1.5 -> 15 units, half size 7.
    float p[2] = {0.5f, 0.5f};
    gset_marker_size(1.5f);
    struct Case {
        int type;
        std::vector<std::vector<DPoint>> strokes;
    };
    const float x = 288, y = 288, h = 7;
    std::vector<Case> cases = {
        {1, {{{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}, {x, y}}}},
        {2, {{{x - h, y}, {x + h, y}}, {{x, y + h}, {x, y - h}}}},
        {3,
         {{{x - h, y}, {x + h, y}},
          {{x - h, y - h}, {x + h, y + h}},
          {{x, y + h}, {x, y - h}},
          {{x + h, y - h}, {x - h, y + h}}}},
        {5, {{{x - h, y - h}, {x + h, y + h}}, {{x + h, y - h}, {x - h, y + h}}}},
        {6, {{{x - h, y + h}, {x + h, y + h}, {x + h, y - h}, {x - h, y - h}, {x - h, y + h}}}},
        {7, {{{x - h, y + h}, {x + h, y + h}, {x, y - h}, {x - h, y + h}}}},
        {8, {{{x, y}}}},
        {9, {{{x - h, y - h}, {x + h, y - h}, {x, y + h}, {x - h, y - h}}}},
        {10, {}},
    };
    for (const auto &c : cases) {
        d->strokes.clear();
        gset_marker_type(c.type);
        ASSERT_EQ(gpolymarker(1, p), 0);
        ASSERT_EQ(d->strokes.size(), c.strokes.size()) << "type " << c.type;
        for (size_t s = 0; s < c.strokes.size(); ++s) {
            ASSERT_EQ(d->strokes[s].size(), c.strokes[s].size()) << "type " << c.type;
            for (size_t i = 0; i < c.strokes[s].size(); ++i) {
                EXPECT_NEAR(d->strokes[s][i].x, c.strokes[s][i].x, kTol) << "type " << c.type;
                EXPECT_NEAR(d->strokes[s][i].y, c.strokes[s][i].y, kTol) << "type " << c.type;
            }
        }
    }
    // The circle: 13 points at 30 degree steps from (x - h, y) back to it.
    d->strokes.clear();
    gset_marker_type(4);
    gpolymarker(1, p);
    ASSERT_EQ(d->strokes.size(), 1u);
    const auto &c = d->strokes[0];
    ASSERT_EQ(c.size(), 13u);
    EXPECT_NEAR(c[0].x, x - h, kTol);
    EXPECT_NEAR(c[12].x, x - h, kTol);
    EXPECT_NEAR(c[1].x, x - h * 0.866f, kTol);
    EXPECT_NEAR(c[1].y, y - h * 0.5f, kTol);
    EXPECT_NEAR(c[6].x, x + h, kTol);
}

TEST_F(GksTest, MarkerDropShadowsOnlyOnTheWindow) {
    auto *d = open(GWS_WIN, 640, 512);
    gset_font_drop(2);
    gset_marker_type(2);
    float p[2] = {0.5f, 0.5f};
    gpolymarker(1, p);
    // Two shadow copies (offset 0 and 1 pixel) then the marker: 3 x 2 strokes.
    ASSERT_EQ(d->strokes.size(), 6u);
    EXPECT_TRUE(d->stroke_shadow[0]);
    EXPECT_TRUE(d->stroke_shadow[2]);
    EXPECT_FALSE(d->stroke_shadow[4]);
    EXPECT_NEAR(d->strokes[2][0].x - d->strokes[0][0].x, 1.0f, kTol);
    EXPECT_NEAR(d->strokes[2][0].y - d->strokes[0][0].y, 1.0f, kTol);
    // The window marker size is 10 units per size unit: half size 50.
    EXPECT_NEAR(d->strokes[4][1].x - d->strokes[4][0].x, 100.0f, kTol);

    gks_reset_state();
    d = open(GWS_PS);
    gset_font_drop(2);
    gset_marker_type(2);
    gpolymarker(1, p);
    EXPECT_EQ(d->strokes.size(), 2u);
    EXPECT_FALSE(d->stroke_shadow[0]);
}

TEST_F(GksTest, FillPatternsAndTheirTest) {
    for (int x = -9; x < 17; ++x)
        for (int y = -9; y < 17; ++y) {
            EXPECT_FALSE(gfill_test(10, x, y));
            EXPECT_TRUE(gfill_test(0, x, y));
            EXPECT_TRUE(gfill_test(19, x, y));
        }
    // Pattern 1 is a checkerboard starting with 0xaa: leftmost pixel of the top row clear.
    EXPECT_FALSE(gfill_test(1, 0, 0));
    EXPECT_TRUE(gfill_test(1, 1, 0));
    EXPECT_TRUE(gfill_test(1, 0, 1));
    // Pattern 6 (0x03 top row): pixels 0 and 1 of row 0, 1 and 2 of row 1.
    EXPECT_TRUE(gfill_test(6, 0, 0));
    EXPECT_TRUE(gfill_test(6, 9, 8));
    EXPECT_FALSE(gfill_test(6, 2, 0));
    EXPECT_TRUE(gfill_test(6, 2, 1));
    // Densities rise from 0 to 90 percent in patterns 10 to 18.
    int last = -1;
    for (int p = 10; p <= 18; ++p) {
        int bits = 0;
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 8; ++y)
                bits += gfill_test(p, x, y);
        EXPECT_GT(bits, last) << "pattern " << p;
        last = bits;
    }
    EXPECT_FALSE(gfill_test(20, 0, 0));
    EXPECT_FALSE(gfill_test(-1, 0, 0));
}

TEST_F(GksTest, AspectFittingAndMaximalView) {
    float in[4] = {0, 1, 0, 0.5f}, out[4];
    gset_aspect(in, out, 2, 2, 1.0f);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], 0.75f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
    EXPECT_FLOAT_EQ(out[3], 0.5f);
    gset_aspect(in, out, 3, 1, 1.0f);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    gset_aspect(in, out, 1, 3, 4.0f); // too wide: the full width, height 0.25 at the top
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_FLOAT_EQ(out[2], 0.25f);
    EXPECT_FLOAT_EQ(out[3], 0.5f);

    open(GWS_WIN, 800, 600);
    float xm, ym;
    ginq_maxview(1, &xm, &ym);
    EXPECT_FLOAT_EQ(xm, 1.0f);
    EXPECT_FLOAT_EQ(ym, 0.75f);
    gset_win_size(300, 600);
    ginq_maxview(1, &xm, &ym);
    EXPECT_FLOAT_EQ(xm, 0.5f);
    EXPECT_FLOAT_EQ(ym, 1.0f);
    GDispSpace ds;
    int err;
    ginq_disp_space_size(1, &err, &ds);
    EXPECT_FLOAT_EQ(ds.width, 299);
    EXPECT_EQ(ds.raster_height, 600);
}

TEST_F(GksTest, OpeningAMissingDeviceFails) {
    gopen_gks(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, "", 42), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gopen_ws: workstation type 42"),
              std::string::npos);
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(gclose_ws(1), -1);
}

TEST_F(GksTest, CloseResetsTheWorkstation) {
    open(GWS_WIN);
    EXPECT_EQ(gchk_graphics(), 1);
    EXPECT_TRUE(gtype_is_WIN());
    EXPECT_TRUE(gtype_is_WIN_PIX());
    EXPECT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gchk_graphics(), 0);
    int w, h;
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(gclose_ws(1), -1);
}

} // namespace
