// Label store, label formats and the labels as drawn: positions, alignments and heights
// worked out from the layout rules for a 800 x 600 window (view 1 x 0.75) whose plot has
// margins of 5 % below and above, fitted to the view's aspect: viewport x 0.05..0.95,
// y 0.0375..0.7125.
#include "plot/plt_labl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gks/recording_device.h"
#include "plot/plt_param.h"
#include "plot/plt_tool.h"

namespace {

// Records each string with where and how it is drawn.
struct Text {
    std::string s;
    float x, y, height;
    int h, v, color;
};

class LabelDevice : public RecordingDevice {
  public:
    LabelDevice() : RecordingDevice(GWS_WIN) {}
    int text(GPoint pos, const std::string &s) override {
        int align[2] = {0, 0};
        ginq_text_align(nullptr, align);
        texts.push_back({s, pos.x, pos.y, gget_char_ht(), align[0], align[1], gget_text_colr()});
        return 0;
    }
    std::vector<Text> texts;
};

class Labels : public GksTest {
  protected:
    void SetUp() override {
        GksTest::SetUp();
        PLT_reset_state();
        PLT_reset_param_state();
        PLT_reset_label_state();
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
    }
    void TearDown() override {
        PLT_reset_state();
        PLT_reset_param_state();
        PLT_reset_label_state();
        GksTest::TearDown();
    }
    // Opens the plot as the plot front end will: margins from the view offsets, laid out
    // by the plotting layer, the fitted viewport recorded.
    LabelDevice *open_plot(float bottom = 0.05f, float top = 0.05f) {
        gopen_gks(nullptr);
        gset_win_size(800, 600);
        auto d = std::make_unique<LabelDevice>();
        LabelDevice *p = d.get();
        EXPECT_EQ(gopen_ws_device(std::move(d)), 0);
        CLR_read_table(nullptr);
        PLT_set_view_offsets(0, 0, bottom, top);
        float panel[4];
        PLT_get_view_offsets(panel);
        GPH_reset(1, GWS_WIN, panel, 0);
        PLT_set_open_state(1, GWS_WIN, panel);
        return p;
    }
};

void expect_text(const Text &t, const char *s, float x, float y, int h, int v, float height) {
    EXPECT_EQ(t.s, s);
    EXPECT_NEAR(t.x, x, 1e-5f) << s;
    EXPECT_NEAR(t.y, y, 1e-5f) << s;
    EXPECT_EQ(t.h, h) << s;
    EXPECT_EQ(t.v, v) << s;
    EXPECT_NEAR(t.height, height, 1e-6f) << s;
}

TEST_F(Labels, StoreLimitsOverlaysAndAppendMode) {
    const std::string l68(68, 'x'), l69(69, 'x');
    PLT_label_low_left(l68.c_str());
    EXPECT_EQ(PLT_get_label(PLT_LOW_LEFT, 0), l68);
    PLT_label_low_left(l69.c_str());
    EXPECT_EQ(PLT_get_label(PLT_LOW_LEFT, 0), l68) << "too long: not stored";
    EXPECT_STREQ(PLT_get_label(6, 0), "");
    EXPECT_STREQ(PLT_get_label(0, 6), "");

    // One line per overlay: the second overlay has a slot of its own.
    PLT_label_up_left("first");
    EXPECT_EQ(PLT_next_overlay(), 1);
    EXPECT_EQ(PLT_get_num_over(), 2);
    PLT_label_up_left("second");
    EXPECT_STREQ(PLT_get_label(PLT_UP_LEFT, 0), "first");
    EXPECT_STREQ(PLT_get_label(PLT_UP_LEFT, 1), "second");
    for (int i = 2; i <= 5; ++i)
        EXPECT_EQ(PLT_next_overlay(), i);
    EXPECT_EQ(PLT_next_overlay(), -1);
    PLT_set_overlay(9);
    PLT_label_up_left("last");
    EXPECT_STREQ(PLT_get_label(PLT_UP_LEFT, 5), "last");
    PLT_set_num_overlay(-2);
    EXPECT_EQ(PLT_get_num_over(), 2);

    // Append mode: later overlays continue the first line, from where it ended when the
    // overlay began; a text that would end past 59 characters is not appended.
    PLT_reset_label_state();
    PLT_set_label_type(-1);
    PLT_label_up_right("IR 10.7");
    PLT_next_overlay();
    EXPECT_EQ(PLT_get_label_type(), -2);
    PLT_label_up_right("radar");
    PLT_label_up_right("lightning"); // replaces what this overlay appended
    EXPECT_STREQ(PLT_get_label(PLT_UP_RIGHT, 0), "IR 10.7 lightning");
    PLT_label_up_right(std::string(53, 'y').c_str());
    EXPECT_STREQ(PLT_get_label(PLT_UP_RIGHT, 0), "IR 10.7 lightning");
    PLT_label_up_right(std::string(52, 'y').c_str());
    EXPECT_EQ(std::string(PLT_get_label(PLT_UP_RIGHT, 0)).size(), 60u);

    PLT_init_labels();
    EXPECT_STREQ(PLT_get_label(PLT_UP_RIGHT, 0), "");
    EXPECT_EQ(PLT_get_num_over(), 0);
}

TEST_F(Labels, Formats) {
    auto fmt = [](const char *f) {
        std::string out;
        PLT_label_format(f, &out);
        return out;
    };
    EXPECT_EQ(fmt("Valid_%h%nZ"), "Valid Z") << "no date: fields give nothing";
    DATE d{.year = 2004, .month = 7, .day = 15, .hour = 12, .minute = 0};
    PLT_label_date(&d);
    EXPECT_EQ(fmt("Valid_%h%nZ"), "Valid 1200Z");
    EXPECT_EQ(fmt("%d_%b_%y_%m_100%%_%q"), "15 JUL 04 07 100% ");
    EXPECT_EQ(fmt("%D"), "1200Z 15 JUL 04");
    EXPECT_EQ(fmt(""), "");
    PLT_label_for_time(36);
    EXPECT_EQ(fmt("%F|%f|%V|%W"), "36 HR FCST|F36|0000Z 17 JUL 04|17 JUL 04");
}

TEST_F(Labels, PositionsOfASingleLine) {
    LabelDevice *dev = open_plot();
    PLT_label_up_left("info");
    PLT_label_up_center("centre");
    PLT_label_up_right("date");
    PLT_label_low_left("ll");
    PLT_label_low_center("lc");
    PLT_label_low_right("lr");
    ASSERT_EQ(PLT_labels(), 0);
    // h = min(0.0375 - 0, 0.03 * 0.675) = 0.02025; offset 0.2 h; inset 1 % of 0.9.
    const float h = 0.02025f, d = 0.2f * h, ch = 0.75f * h;
    ASSERT_EQ(dev->texts.size(), 6u);
    expect_text(dev->texts[0], "info", 0.059f, 0.7125f + d, 1, 4, ch);
    expect_text(dev->texts[1], "centre", 0.5f, 0.7125f + d, 2, 4, ch);
    expect_text(dev->texts[2], "date", 0.941f, 0.7125f + d, 3, 4, ch);
    expect_text(dev->texts[3], "ll", 0.059f, 0.0375f - d, 1, 2, ch);
    expect_text(dev->texts[4], "lc", 0.5f, 0.0375f - d, 2, 2, ch);
    expect_text(dev->texts[5], "lr", 0.941f, 0.0375f - d, 3, 2, ch);
    EXPECT_EQ(dev->texts[0].color, CLR_get_ind("white"));

    // Draw flags switch positions; a contour colour bar takes the lower left and centre;
    // the inverse display writes black.
    dev->texts.clear();
    FLAG_setplot(2, 0);
    RES_put("plot_param", "bar,inv");
    PLT_param_decode();
    PLT_labels();
    ASSERT_EQ(dev->texts.size(), 3u);
    EXPECT_EQ(dev->texts[1].s, "date");
    EXPECT_EQ(dev->texts[2].s, "lr");
    EXPECT_EQ(dev->texts[2].color, CLR_get_ind("black"));

    dev->texts.clear();
    FLAG_setplot(0, 0);
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_TRUE(dev->texts.empty());
}

TEST_F(Labels, OverlayLinesResourceAndBase) {
    LabelDevice *dev = open_plot();
    PLT_label_up_left("a0");
    PLT_label_up_right("r0");
    PLT_next_overlay();
    PLT_label_up_left("a1");
    PLT_label_up_right("r1");
    // "ur" replaces the upper right's lines by one; "ll1" fills slot 1 of the lower left.
    RES_put("label", "ur:Test_%y,ll1:%%");
    DATE d{.year = 2026};
    PLT_label_date(&d);
    PLT_set_overlay_base(1);
    ASSERT_EQ(PLT_labels(), 0);
    // Two lines: h = min(0.0375 / 2, 0.02025) = 0.01875, lines h apart, one line up.
    const float h = 0.01875f, d2 = 0.2f * h, ch = 0.75f * h;
    ASSERT_EQ(dev->texts.size(), 4u);
    expect_text(dev->texts[0], "a0", 0.059f, 0.7125f + d2 + h, 1, 4, ch);
    expect_text(dev->texts[1], "a1", 0.059f, 0.7125f + d2 + 2 * h, 1, 4, ch);
    expect_text(dev->texts[2], "Test 26", 0.941f, 0.7125f + d2 + h, 3, 4, ch);
    expect_text(dev->texts[3], "%", 0.059f, 0.0375f - d2 - h + h + h, 1, 2, ch);
    EXPECT_STREQ(PLT_get_label(PLT_UP_RIGHT, 1), "r1") << "kept, not drawn";
}

TEST_F(Labels, InsideThePlotBorderAndNoRoom) {
    LabelDevice *dev = open_plot(0, 0); // viewport 0..1 x 0..0.75: no room below
    PLT_label_up_left("x");
    PLT_border(1);
    EXPECT_EQ(PLT_labels(), -1);
    EXPECT_TRUE(dev->texts.empty());
    ASSERT_EQ(dev->lines.size(), 1u) << "the border still goes round the viewport";
    EXPECT_EQ(dev->lines[0].size(), 5u);

    // "fullab": line height 0.06, capped at 0.03 of the viewport height, lines inside.
    RES_put("plot_param", "fullab");
    PLT_param_decode();
    ASSERT_EQ(PLT_labels(), 0);
    const float h = 0.03f * 0.75f;
    ASSERT_EQ(dev->texts.size(), 1u);
    expect_text(dev->texts[0], "x", 0.01f, 0.75f - 0.2f * h - h, 1, 4, 0.75f * h);
}

} // namespace
