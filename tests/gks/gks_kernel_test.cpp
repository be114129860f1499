// Kernel: transformations and device mapping, clipping, attribute setters, primitives.
// Expected device coordinates are worked out by hand from the mapping's closed form:
// ndc = (w - win.min) * vp.range / win.range + vp.min; pixel x = (ndc - wsw.xmin) * s + x0,
// pixel y = (wsw.ymax - ndc) * s + y0, with s the device size over the workstation window.
#include <gtest/gtest.h>

#include <cmath>

#include "base/image.h"

#include "recording_device.h"

namespace {

constexpr float kTol = 1e-3f;
constexpr float kPi = 3.14159265f;

void set_tran(int n, float wx0, float wx1, float wy0, float wy1, float vx0, float vx1, float vy0,
              float vy1) {
    float w[4] = {wx0, wx1, wy0, wy1};
    float v[4] = {vx0, vx1, vy0, vy1};
    ASSERT_EQ(gset_win(n, w), 0);
    ASSERT_EQ(gset_vp(n, v), 0);
}

TEST_F(GksTest, WorldToDeviceForNonSquareWindowsAndViewports) {
    auto *d = open(GWS_WIN, 640, 512);
    // A 639 x 511 device for the unit workstation window keeps the aspect: 511 x 511 pixels.
    set_tran(1, 0, 200, 0, 100, 0.1f, 0.9f, 0.2f, 0.6f);
    size_t clips = d->clips.size();
    ASSERT_EQ(gsel_norm_tran(1), 0);
    // Clip to the viewport: x = 0.1*511 = 51.1, y = 0.4*511 = 204.4, right 459.9, bottom 408.8.
    ASSERT_GT(d->clips.size(), clips);
    clips = d->clips.size();
    const GClip &c = d->clips.back();
    EXPECT_EQ(std::vector<int>({c.x, c.y, c.width, c.height}),
              std::vector<int>({51, 204, 410, 206}));
    // Setting the viewport of a transformation that is not selected clips nothing new.
    set_tran(3, 0, 1, 0, 1, 0, 1, 0, 1);
    EXPECT_EQ(d->clips.size(), clips);
    EXPECT_NEAR(xW_NDC(50), 0.3f, 1e-6f);
    EXPECT_NEAR(yW_NDC(25), 0.3f, 1e-6f);
    EXPECT_NEAR(xW_p(50), 0.3f * 511, kTol);
    EXPECT_NEAR(yW_p(25), 0.7f * 511, kTol);
    EXPECT_NEAR(xp_W(0.3f * 511), 50, 1e-2f);
    EXPECT_NEAR(yp_W(0.7f * 511), 25, 1e-2f);
    // x = 75 in 2 is NDC 0.75, which is halfway in transformation 4's viewport.
    set_tran(2, 0, 100, 0, 100, 0, 1, 0, 1);
    set_tran(4, 0, 10, -5, 5, 0.5f, 1, 0, 1);
    EXPECT_NEAR(xW_trans(2, 4, 75), 5, 1e-4f);
    EXPECT_NEAR(yW_trans(2, 4, 50), 0, 1e-4f);

    // A workstation window twice as wide as high: the full width, 639 units per NDC.
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

TEST_F(GksTest, ResizeKeepsTransformationsAndRemapsTheDevice) {
    open(GWS_WIN, 640, 512);
    set_tran(1, 0, 10, 0, 10, 0, 0.5f, 0, 0.5f);
    gsel_norm_tran(1);
    gset_win_size(201, 101);
    // 200 x 100 viewport for a unit window: 100 x 100 pixels.
    EXPECT_NEAR(xW_p(10), 50, kTol);
    EXPECT_NEAR(yW_p(10), 50, kTol);
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

TEST_F(GksTest, TransformationSelectionChecksAndSkipsRepeats) {
    auto *d = open(GWS_WIN);
    EXPECT_EQ(gsel_norm_tran(0), 0); // already current
    EXPECT_TRUE(d->selections.empty());
    gsel_norm_tran(2);
    gsel_norm_tran(2);
    EXPECT_EQ(d->selections, std::vector<int>{2});
    int n = -1;
    ginq_cur_norm_tran_num(nullptr, &n);
    EXPECT_EQ(n, 2);
}

TEST_F(GksTest, RefusedBeforeOpenAndSilentWithoutAnErrorStream) {
    gopen_gks(nullptr);
    float p[4] = {0, 0, 1, 1};
    std::string err = stderr_of([&] {
        EXPECT_EQ(gpolyline(2, p), -1);
        EXPECT_EQ(gset_linewidth(3), -1);
        EXPECT_EQ(gset_text_colr_ind(2), -1);
    });
    for (const char *f : {"gpolyline", "gset_linewidth", "gset_text_colr_ind"})
        EXPECT_TRUE(has(err, std::string(f) + ": GKS not opened\n"));
    EXPECT_EQ(gchk_graphics(), 0);

    open(GWS_PS);
    gclose_gks();
    EXPECT_EQ(stderr_of([] { EXPECT_EQ(gset_linewidth(-1), -1); }), "");
}

TEST_F(GksTest, AttributeSettersValidateAndReturnAtOnceWhenUnchanged) {
    auto *d = open(GWS_PS);
    const std::pair<int (*)(), const char *> refusals[] = {
        {[] { return gset_linewidth(-1); }, "gset_linewidth: invalid line width: -1.000000\n"},
        {[] { return gset_linetype(-2); }, "gset_linetype: invalid line type: -2\n"},
        {[] { return gset_marker_size(-1); }, "gset_marker_size: invalid marker size: -1.000000\n"},
        {[] { return gset_marker_width(-0.5f); },
         "gset_marker_width: invalid marker width: -0.500000\n"},
        {[] { return gset_fill_style_ind(20); }, "gset_fill_style_ind: invalid style index: 20\n"},
        {[] { return gset_fill_style_ind(-1); }, "gset_fill_style_ind: invalid style index: -1\n"},
        {[] { return gset_char_ht(-1); }, "gset_char_ht: invalid character height: -1.000000\n"},
        {[] { return gset_expan(-1); }, "gset_expan: invalid expansion factor: -1.000000\n"},
        {[] { return gset_text_width(-1); }, "gset_text_width: invalid text width: -1.000000\n"},
        {[] { return gset_line_colr_ind(257); }, "gset_line_colr_ind: invalid color index: 257\n"},
        {[] { return gset_colr_rep(1, -2, nullptr); }, "gset_colr_rep: invalid color index: -2\n"},
        {[] { return gsel_norm_tran(6); }, "gsel_norm_tran: invalid transformation number: 6\n"},
        {[] { return gsel_norm_tran(-1); }, "gsel_norm_tran: invalid transformation number: -1\n"},
    };
    for (const auto &refusal : refusals) {
        const auto &call = refusal.first;
        const auto &message = refusal.second;
        EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(call(), -1) << message; }), message));
    }
    EXPECT_TRUE(d->attrs.empty());
    EXPECT_TRUE(d->selections.empty());
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
    EXPECT_EQ(gset_marker_type(42), 0);    // any marker type is accepted
    EXPECT_EQ(gset_fill_colr_ind(508), 0); // paper devices keep print colours
    EXPECT_EQ(gget_fill_colr(), 508);
    EXPECT_EQ(d->attrs.size(), 5u);
    EXPECT_TRUE(gis_valid_colr(256));
    for (int bad : {257, 509, -2})
        EXPECT_FALSE(gis_valid_colr(bad)) << bad;
    // A zero width is drawn one unit wide on PostScript.
    EXPECT_EQ(gset_linewidth(0), 0);
    EXPECT_FLOAT_EQ(gget_linewidth(), 1.0f);
    EXPECT_EQ(gset_marker_width(0), 0);
    EXPECT_FLOAT_EQ(gget_marker_width(), 1.0f);
}

TEST_F(GksTest, X11ColoursNeedAPixelAndPrintColoursBecomeOne) {
    auto *d = open(GWS_WIN);
    gset_color_ind(1, 7); // the window device gives index 1 a pixel
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gset_line_colr_ind(5), -1); }),
                    "gset_line_colr_ind: color index not initialized\n"));
    float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
    EXPECT_EQ(gset_colr_rep(1, 5, red), 0);
    EXPECT_EQ(gget_color_ind(5), 1005);
    EXPECT_EQ(gset_line_colr_ind(5), 0);
    EXPECT_EQ(gget_line_colr(), 5);
    // Redefining a colour in use refreshes the primitive that uses it.
    d->attrs.clear();
    gset_colr_rep(1, 5, blue);
    EXPECT_EQ(d->attrs, std::vector<GAttr>{GAttr::LineColr});

    EXPECT_EQ(gset_marker_colr_ind(503), 0);
    EXPECT_EQ(gget_marker_colr(), 1);
    // Print colours need no colour table entry and are ignored by gset_colr_rep.
    EXPECT_EQ(gset_colr_rep(1, 505, red), 0);
    int r, g, b;
    gget_color_rgb256(5, &r, &g, &b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b, 255);
}

TEST_F(GksTest, PolylineChecksCountAndSkipsLinesOutsideTheWindow) {
    auto *d = open(GWS_WIN);
    float one[2] = {0.5f, 0.5f};
    EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(gpolyline(1, one), -1); }),
                    "gpolyline: invalid number of points: 1\n"));
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
    const float x = 288, y = 288, h = 7;
    // The circle: 13 points at 30 degree steps from (x - h, y) back to it.
    std::vector<DPoint> circle;
    for (int k = 0; k <= 12; ++k)
        circle.push_back({x - h * std::cos(k * kPi / 6), y - h * std::sin(k * kPi / 6)});
    struct Case {
        int type;
        std::vector<std::vector<DPoint>> strokes;
    } cases[] = {
        {1, {{{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}, {x, y}}}},
        {2, {{{x - h, y}, {x + h, y}}, {{x, y + h}, {x, y - h}}}},
        {4, {circle}},
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
}

TEST_F(GksTest, MarkerDropShadowsOnlyOnTheWindow) {
    float p[2] = {0.5f, 0.5f};
    for (int type : {GWS_WIN, GWS_PS}) {
        gks_reset_state();
        auto *d = open(type, 640, 512);
        gset_font_drop(2);
        gset_marker_type(2);
        gpolymarker(1, p);
        if (type == GWS_PS) {
            EXPECT_EQ(d->strokes.size(), 2u);
            EXPECT_FALSE(d->stroke_shadow[0]);
            continue;
        }
        // Two shadow copies (offset 0 and 1 pixel) then the marker: 3 x 2 strokes.
        ASSERT_EQ(d->strokes.size(), 6u);
        EXPECT_EQ(d->stroke_shadow, (std::vector<bool>{true, true, true, true, false, false}));
        EXPECT_NEAR(d->strokes[2][0].x - d->strokes[0][0].x, 1.0f, kTol);
        EXPECT_NEAR(d->strokes[2][0].y - d->strokes[0][0].y, 1.0f, kTol);
        // The window marker size is 10 units per size unit: half size 50.
        EXPECT_NEAR(d->strokes[4][1].x - d->strokes[4][0].x, 100.0f, kTol);
    }
}

TEST_F(GksTest, FillPatternsAndTheirTest) {
    for (int x = -9; x < 17; ++x)
        for (int y = -9; y < 17; ++y) {
            EXPECT_FALSE(gfill_test(10, x, y));
            EXPECT_TRUE(gfill_test(0, x, y));
            EXPECT_TRUE(gfill_test(19, x, y));
        }
    // Pattern 1 is a checkerboard starting with 0xaa: leftmost pixel of the top row clear.
    // Pattern 6 (0x03 top row): pixels 0 and 1 of row 0, 1 and 2 of row 1.
    struct {
        int pattern, x, y;
        bool set;
    } bits[] = {{1, 0, 0, false}, {1, 1, 0, true},   {1, 0, 1, true},
                {6, 0, 0, true},  {6, 9, 8, true},   {6, 2, 0, false},
                {6, 2, 1, true},  {20, 0, 0, false}, {-1, 0, 0, false}};
    for (const auto &b : bits)
        EXPECT_EQ(gfill_test(b.pattern, b.x, b.y), b.set) << b.pattern << " " << b.x << b.y;
    // Densities rise from 0 to 90 percent in patterns 10 to 18.
    int last = -1;
    for (int p = 10; p <= 18; ++p) {
        int count = 0;
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 8; ++y)
                count += gfill_test(p, x, y);
        EXPECT_GT(count, last) << "pattern " << p;
        last = count;
    }
}

TEST_F(GksTest, AspectFittingAndMaximalView) {
    float in[4] = {0, 1, 0, 0.5f};
    struct {
        int h, v;
        float aspect;
        std::array<float, 4> out;
    } cases[] = {{2, 2, 1, {0.25f, 0.75f, 0, 0.5f}},
                 {3, 1, 1, {0.5f, 1, 0, 0.5f}},
                 {1, 3, 4, {0, 1, 0.25f, 0.5f}}}; // too wide: full width, height 0.25 at top
    for (const auto &c : cases) {
        float out[4];
        gset_aspect(in, out, c.h, c.v, c.aspect);
        expect_rect(out, c.out, 1e-6f);
    }

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

// The kernel follows the capabilities a device reports, whatever its type: window
// capabilities on type 4, metafile capabilities on type 1.
TEST_F(GksTest, CapabilitiesNotTheTypeDecide) {
    gopen_gks(nullptr);
    gset_win_size(640, 512);
    auto owned = std::make_unique<RecordingDevice>(GWS_PS, caps_of_type(GWS_WIN));
    RecordingDevice *d = owned.get();
    ASSERT_EQ(gopen_ws_device(std::move(owned)), 0);
    EXPECT_TRUE(gtype_is_PS());
    EXPECT_TRUE(ginq_ws_pixels());
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gset_line_colr_ind(5), -1); }),
                    "color index not initialized"));
    EXPECT_EQ(gset_marker_colr_ind(507), -1) << "507 is drawn as 1, which has no pixel";
    gset_color_ind(1, 7);
    EXPECT_EQ(gset_marker_colr_ind(507), 0);
    EXPECT_EQ(gget_marker_colr(), 1);
    EXPECT_EQ(gset_linewidth(0), 0);
    EXPECT_FLOAT_EQ(gget_linewidth(), 0) << "zero is the thinnest line";
    // Pixels count y downwards: NDC y 0.75 of a 511-pixel square is pixel row 127.75.
    float p[2] = {0.25f, 0.75f};
    gpolymarker(1, p);
    ASSERT_FALSE(d->strokes.empty());
    EXPECT_NEAR(d->strokes[0][0].y, 0.25f * 511, kTol);
    int vp[4];
    gget_xviewport(vp);
    EXPECT_EQ(std::vector<int>(vp, vp + 4), std::vector<int>({0, 0, 512, 512}));
    // The store records; clearing clears the window and the store.
    EXPECT_EQ(gcreate_seg(3), 0);
    EXPECT_FALSE(gget_objects().empty());
    gclear_ws(1, 1);
    EXPECT_EQ(d->window_clears, 1);
    EXPECT_TRUE(gget_objects().empty());
    gclose_ws(1);

    gset_win_size(640, 512);
    owned = std::make_unique<RecordingDevice>(GWS_WIN, caps_of_type(GWS_META));
    d = owned.get();
    ASSERT_EQ(gopen_ws_device(std::move(owned)), 0);
    EXPECT_TRUE(gtype_is_WIN());
    EXPECT_FALSE(ginq_ws_pixels());
    EXPECT_EQ(gset_line_colr_ind(508), 0);
    EXPECT_EQ(gget_line_colr(), 508) << "print colours are passed on";
    EXPECT_EQ(gcreate_seg(3), -1) << "segments are written, not kept";
    EXPECT_TRUE(gget_objects().empty());
    float up[2] = {3, 4};
    gset_char_up_vec(up);
    gget_char_up_vec(up);
    EXPECT_FLOAT_EQ(up[1], 4) << "the up vector is written as given";
    gclear_ws(1, 1);
    EXPECT_EQ(d->window_clears, 0);
    gpolymarker(1, p);
    EXPECT_NEAR(d->strokes[0][0].y, 0.75f * 511, kTol);
}

TEST_F(GksTest, ImagesGoToTheDeviceOrAreRefusedOncePerType) {
    IMAGE im;
    im.nx = im.ny = im.bytes_per_line = 2;
    im.depth = 8;
    im.data = {1, 2, 3, 4};
    gopen_gks(nullptr);
    EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(gload_image(&im, 0, 0), -1); }),
                    "gload_image: GKS not opened\n"));

    auto *d = open(GWS_WIN);
    d->takes_images = true;
    // Placement relative to the viewport's corner is the device's: (x, y) arrive as given.
    EXPECT_EQ(gload_image(&im, 5, -3), 0);
    EXPECT_EQ(goverlay_image(&im, 7, -1, 2), 0);
    EXPECT_EQ(gload_image(nullptr, 0, 0), -1);
    using I = RecordingDevice::Image;
    EXPECT_EQ(d->images, (std::vector<I>{{&im, 5, -3, -1}, {&im, -1, 2, 7}}));

    d = open(GWS_PS);
    std::string err = stderr_of([&] {
        EXPECT_EQ(gload_image(&im, 0, 0), -1);
        EXPECT_EQ(goverlay_image(&im, 1, 0, 0), -1);
    });
    EXPECT_EQ(err, "gload_image: images are not supported on workstation type 4\n");
    open(GWS_META);
    EXPECT_EQ(stderr_of([&] { goverlay_image(&im, 1, 0, 0); }),
              "goverlay_image: images are not supported on workstation type 3\n");
}

TEST_F(GksTest, OpenAndCloseWorkstations) {
    gopen_gks(nullptr);
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gopen_ws(1, "", 42), -1); }),
                    "gopen_ws: workstation type 42"));
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(gclose_ws(1), -1);

    open(GWS_WIN);
    EXPECT_EQ(gchk_graphics(), 1);
    EXPECT_TRUE(gtype_is_WIN());
    EXPECT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gchk_graphics(), 0);
    int w, h;
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(gclose_ws(1), -1);
}

} // namespace
