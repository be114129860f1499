// Plotting layer: set-up and teardown, panel and aspect fitting, attribute records, shapes.
#include <gtest/gtest.h>

#include "base/flag.h"
#include "recording_device.h"

namespace {

using testsupport::TempDir;

class GphTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        FLAG_reset_state();
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
        setenv("SOURCE_DATE_EPOCH", "0", 1);
    }
    void TearDown() override {
        unsetenv("SOURCE_DATE_EPOCH");
        FLAG_reset_state();
        GksTest::TearDown();
    }
    // Expects transformation n's viewport, and a window equal to it.
    void expect_viewport(int n, std::array<float, 4> want) {
        float v[4], w[4];
        GPH_get_view(n, v);
        GPH_get_win(n, w);
        expect_rect(v, want);
        expect_rect(w, want);
    }
};

TEST_F(GphTest, PanelFittingWithAspectAndViewSize) {
    open(GWS_WIN, 800, 600);
    float panel[4] = {0.1f, 0.1f, 0.1f, 0.1f};
    GPH_reset(1, 0, panel, 0);
    // View 1 x 0.75; margins of 10 %: x 0.1..0.9, y 0.075..0.675, already the view's aspect.
    EXPECT_NEAR(panel[0], 0.1f, 1e-5f);
    EXPECT_NEAR(panel[3], 0.675f, 1e-5f);
    expect_viewport(2, {0.1f, 0.9f, 0.075f, 0.675f});
    expect_viewport(3, {0.1f, 0.9f, 0.075f, 0.675f});
    expect_viewport(1, {0, 1, 0, 0.75f});
    EXPECT_FLOAT_EQ(GPH_get_vert_win_size(), 0.75f);

    // A square plot is centred: 0.6 wide.
    float square[4] = {0.1f, 0.1f, 0.1f, 0.1f};
    GPH_panel(1, 0, square, 1.0f);
    expect_viewport(2, {0.2f, 0.8f, 0.075f, 0.675f});

    // The lower right quarter of the view.
    GPH_set_view_size(0.5f, 0.5f, 0.5f, 0);
    float quarter[4] = {0, 0, 0, 0};
    GPH_panel(1, 0, quarter, 0);
    expect_viewport(2, {0.5f, 1.0f, 0, 0.375f});
    float vs[4];
    GPH_get_view_size(vs);
    expect_rect(vs, {0.5f, 1.0f, 0, 0.375f});
}

TEST_F(GphTest, AttributeRecordsReachTheKernel) {
    open(GWS_PS);
    ATTRIB a{.color = 4, .width = 2, .style = 3};
    GPH_line_attr(&a);
    EXPECT_EQ(gget_line_colr(), 4);
    EXPECT_EQ(gget_linetype(), 3);
    EXPECT_FLOAT_EQ(gget_linewidth(), 2);
    GPH_line_attr(nullptr);
    EXPECT_EQ(gget_linetype(), 1);
    EXPECT_FLOAT_EQ(gget_linewidth(), 1); // 0 is drawn 1 wide on PostScript
    a = {.color = -1};                    // the background is not applied
    GPH_line_attr(&a);
    EXPECT_EQ(gget_line_colr(), 4);

    a = {.fill = 7};
    GPH_fill_attr(&a);
    EXPECT_EQ(gget_fill_int_style(), 2);
    EXPECT_EQ(gget_fill_style_ind(), 7);
    a.fill = 0;
    GPH_fill_attr(&a);
    EXPECT_EQ(gget_fill_int_style(), 1);

    a = {.height = 2, .style = 4};
    GPH_mark_attr(&a, 1.5f);
    EXPECT_FLOAT_EQ(gget_marker_size(), 3);
    EXPECT_EQ(gget_marker_type(), 4);
    a.height = -9999;
    GPH_mark_attr(&a, 0.7f);
    EXPECT_FLOAT_EQ(gget_marker_size(), 0.7f);

    a = {.width = 3, .height = 0.02f, .expan = 1.25f};
    EXPECT_EQ(GPH_text_attr(&a, 2), 0);
    EXPECT_FLOAT_EQ(gget_char_ht(), 0.04f);
    EXPECT_FLOAT_EQ(gget_expan(), 1.25f);
    EXPECT_FLOAT_EQ(gget_text_width(), 3);
    gset_space(1);
    GPH_text_attr(&a, 2);
    EXPECT_FLOAT_EQ(gget_space(), 0.25f);
    EXPECT_EQ(GPH_text_attr(nullptr, 1), -1);
    EXPECT_FLOAT_EQ(gget_expan(), 1);

    GPH_text_rotate(90);
    float up[2];
    gget_char_up_vec(up);
    EXPECT_NEAR(up[0], 1, 1e-6f);
    EXPECT_NEAR(up[1], 0, 1e-6f);
}

TEST_F(GphTest, Shapes) {
    auto *d = open(GWS_PS);
    GPH_circle(0.5f, 0.5f, 0.25f);
    ASSERT_EQ(d->lines.size(), 1u);
    const auto &c = d->lines[0];
    ASSERT_EQ(c.size(), 37u);
    EXPECT_NEAR(c[0].x, 0.75f, 1e-6f);
    EXPECT_NEAR(c[9].y, 0.75f, 1e-6f); // 90 degrees
    EXPECT_NEAR(c[18].x, 0.25f, 1e-6f);
    EXPECT_NEAR(c[36].x, 0.75f, 1e-6f);
    GPH_fcircle(0.5f, 0.5f, 0.25f);
    EXPECT_EQ(d->fills.back().size(), 37u);
    GPH_rect(0.1f, 0.2f, 0.3f, 0.4f);
    ASSERT_EQ(d->lines.back().size(), 5u);
    EXPECT_FLOAT_EQ(d->lines.back()[2].x, 0.3f);
    EXPECT_FLOAT_EQ(d->lines.back()[2].y, 0.4f);
    float r[4] = {0.1f, 0.3f, 0.2f, 0.4f};
    GPH_border(r);
    EXPECT_FLOAT_EQ(d->lines.back()[1].x, 0.3f);
    EXPECT_FLOAT_EQ(d->lines.back()[1].y, 0.2f);
    GPH_frect(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(d->fills.back().size(), 5u);
    GPH_line(0, 0, 1, 1);
    EXPECT_EQ(d->lines.back().size(), 2u);
    GPH_mark(0.5f, 0.5f);
    EXPECT_EQ(d->marker_calls.back(), 1);
    GPH_printf("%d hPa", 0.5f, 0.5f, 1013);
    EXPECT_EQ(d->text_calls.back(), "1013 hPa");
    float pos[2] = {0.1f, 0.1f};
    GPH_pprintf(pos, "%s-%02d", "T", 5);
    EXPECT_EQ(d->text_calls.back(), "T-05");
}

TEST_F(GphTest, SetupOpensAMetafileAndSendsTheColourTable) {
    std::string path = dir.file("setup.meta");
    RES_put("device", ("m," + path).c_str());
    FLAG_set(FLAG_DEVICE, 3);
    float panel[4] = {0.05f, 0.05f, 0.05f, 0.05f};
    GPH_setup(1, 0, panel, 0);
    EXPECT_TRUE(GPH_is_open());
    EXPECT_TRUE(gtype_is_META());
    EXPECT_GT(CLR_get_num(), 16);
    GPH_end(1);
    EXPECT_FALSE(GPH_is_open());
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(FLAG_get(FLAG_DEVICE), 3);
    std::string meta = testsupport::read_file(path);
    for (const char *record :
         {"CLR 1 0 0.000000 0.000000 0.000000\n", "CLR 1 2 1.000000 0.000000 0.000000\n",
          "WS_WIN 1 0.000000 0.000000 1.000000 0.800000\n"})
        EXPECT_TRUE(has(meta, record));
}

// A failed open is returned (the program's entry makes it exit status 4), and leaves
// nothing open; "zorprint" turns PostScript into HP-GL.
TEST_F(GphTest, OpeningFailuresAreReturned) {
    FLAG_set(FLAG_DEVICE, 42);
    float panel[4] = {0.1f, 0.1f, 0.1f, 0.1f};
    std::string err = stderr_of([&] {
        EXPECT_EQ(GPH_begin(1, "", 42), -1);
        EXPECT_EQ(GPH_setup(1, 0, panel, 0), -1);
    });
    EXPECT_TRUE(has(err, "GPH_begin: Error opening workstation\n"));
    EXPECT_FALSE(GPH_is_open());
    EXPECT_EQ(gchk_graphics(), 0);
    // "zorprint" asks for HP-GL instead of PostScript, written where "zorhp_out" says.
    setenv("zorprint", "HPGL", 1);
    setenv("zorhp_out", dir.file("out.hpgl").c_str(), 1);
    EXPECT_EQ(GPH_begin(1, "", GWS_PS), 0);
    unsetenv("zorprint");
    unsetenv("zorhp_out");
    EXPECT_TRUE(gtype_is_HPGL());
    GPH_end(1);
    EXPECT_TRUE(has(testsupport::read_file(dir.file("out.hpgl")), "IN;SP1;PA;"));
}

TEST_F(GphTest, DeviceStrings) {
    std::string rest;
    EXPECT_EQ(gdevice_setup("ps,out.ps,eps", &rest), 4);
    EXPECT_EQ(rest, "out.ps,eps");
    EXPECT_EQ(gdevice_setup("meta", &rest), 3);
    EXPECT_EQ(rest, "");
}

} // namespace
