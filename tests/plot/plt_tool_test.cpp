// Plot control: the open state the drawing code reads back, the zoom rectangle's domain,
// unzoom, and the dumps of a loop through the real writers.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/codec_oracle.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_mem.h"
#include "gks/gks_x11.h"
#include "gks/gph.h"
#include "map/maptran.h"
#include "map/region.h"
#include "plot/plt_labl.h"
#include "plot/plt_param.h"
#include "plot/plt_tool.h"
#include "sat/sat_tool.h"
#include "support/test_support.h"

namespace {

std::array<float, 4> view() {
    std::array<float, 4> v{};
    PLT_get_view(v.data());
    return v;
}

void reset_all() {
    gks_reset_state();
    gloop_reset_state();
    gevnt_reset_state();
    gx11_reset_state();
    GPH_reset_state();
    CLR_reset_state();
    PLT_reset_state();
    PLT_reset_param_state();
    PLT_reset_label_state();
    MAP_reset_state();
    DOM_reset_state();
    RES_reset_state();
    FLAG_reset_state();
    MESS_reset_state();
}

TEST(PltTool, OpenStateIsKeptUntilReset) {
    PLT_reset_state();
    EXPECT_EQ(PLT_get_work_type(), 0) << "no open yet";
    EXPECT_EQ(view(), (std::array<float, 4>{0, 0, 0, 0}));

    // The viewport comes back in the order given: x1, x2, y1, y2.
    const float fitted[4] = {0.1f, 0.9f, 0.05f, 0.7f};
    PLT_set_open_state(1, GWS_META, fitted);
    EXPECT_EQ(PLT_get_work_type(), GWS_META);
    EXPECT_EQ(view(), (std::array<float, 4>{0.1f, 0.9f, 0.05f, 0.7f}));

    // A reset that gives no viewport keeps the last one; a null output is ignored.
    PLT_set_open_state(1, GWS_WIN, nullptr);
    EXPECT_EQ(PLT_get_work_type(), GWS_WIN);
    EXPECT_EQ(view()[3], 0.7f);
    EXPECT_EQ(PLT_get_view(nullptr), 0);

    PLT_reset_state();
    EXPECT_EQ(PLT_get_work_type(), 0);
    EXPECT_EQ(view()[1], 0.0f);
}

std::vector<DOMAIN> g_drawn; // domains the zoom function was called with

int record_domain(const DOMAIN *d) {
    g_drawn.push_back(*d);
    return 0;
}

TEST(PltTool, ZoomRectangleUnzoomAndRedraw) {
    reset_all();
    g_drawn.clear();
    PLT_set_zoom_func(record_domain);

    // A polar stereographic domain of 25 x 17 points one plot unit apart.
    DOMAIN dom;
    DOM_init(&dom);
    ASSERT_EQ(DOM_decode("ps,40,-100,25,17,1,1", &dom), 1);
    MAP_domain(&dom);
    float cx, cy;
    MAP_tran_center(&cx, &cy);

    // Unzoom before any zoom does nothing.
    EXPECT_EQ(PLT_plot_zoom("u-Alt", cx, cy), -1);
    EXPECT_TRUE(g_drawn.empty());

    // A release at the press point's x (or y) changes nothing.
    PLT_plot_zoom("B1-P-Shft", cx - 15, cy - 5);
    EXPECT_EQ(PLT_plot_zoom("B1-R-Shft", cx - 15, cy + 5), -1);
    // A release without a press is no zoom either.
    EXPECT_EQ(PLT_plot_zoom("B1-R", cx + 15, cy + 5), 0);
    EXPECT_TRUE(g_drawn.empty());
    EXPECT_EQ(PLT_get_zoom(), 0);

    // 30 x 10 units about the centre: 30 / 24 beats 10 / 16, so dx = dy = 1.25; the centre
    // and the grid stay; a height of 10 units gives station priority 4.
    PLT_plot_zoom("B1-P-Shft", cx - 15, cy - 5);
    EXPECT_EQ(PLT_plot_zoom("B1-R", cx + 15, cy + 5), 1);
    ASSERT_EQ(g_drawn.size(), 1u);
    const DOMAIN &z = g_drawn[0];
    EXPECT_EQ(z.proj, dom.proj);
    EXPECT_EQ(z.nx, 25);
    EXPECT_EQ(z.ny, 17);
    EXPECT_FLOAT_EQ(z.dx, 1.25f);
    EXPECT_FLOAT_EQ(z.dy, 1.25f);
    EXPECT_NEAR(z.clat, 40.0f, 1e-3);
    EXPECT_NEAR(z.clon, -100.0f, 1e-3);
    EXPECT_EQ(DOM_get_prior(), 4);
    EXPECT_EQ(PLT_get_zoom(), 1);

    // A second zoom counts, the saved domain stays the first one.
    MAP_domain(&z);
    PLT_plot_zoom("B1-P-Shft", cx - 1, cy - 1);
    PLT_plot_zoom("B1-R", cx + 1, cy + 1);
    EXPECT_EQ(PLT_get_zoom(), 2);
    EXPECT_FLOAT_EQ(PLT_get_unzoomed().dx, 1.0f);

    // Redraw hands the current domain back; unzoom the first one, once.
    EXPECT_EQ(PLT_plot_zoom("r-Alt", 0, 0), 1);
    EXPECT_FLOAT_EQ(g_drawn.back().dx, 1.25f);
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 1);
    EXPECT_FLOAT_EQ(g_drawn.back().dx, 1.0f);
    EXPECT_EQ(PLT_get_zoom(), 0);
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), -1);
    EXPECT_EQ(g_drawn.size(), 4u);
    reset_all();
}

int g_detached = 0;
int no_detach() {
    ++g_detached;
    return 0;
}

// Three frames of red, green and blue dumped with -4 in a batch run: three GIF files with
// the frame number in their names, in the image folder, each decoded by netpbm to its
// frame's colour. The plot is then closed without waiting (dumps) and without forking.
TEST(PltTool, DumpEveryFrameOfALoop) {
    XSAT_REQUIRE_PROGRAM("giftopnm");
    reset_all();
    testsupport::TempDir dir;
    std::vector<std::string> words = {
        "xsat", "-ba",         "-me", "none",  "-fp", XSAT_SOURCE_DIR "/data",
        "-de",  "d",           "-ge", "64x48", "-ip", dir.path().string(),
        "-of",  "gif=f_%i.gif"};
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    RES_init(int(argv.size()), argv.data(), SAT_keyed_options(), SAT_positional_options());
    ASSERT_EQ(PLT_open(1.5f), 0);
    // The X11 window, or memory where no X server runs.
    ASSERT_TRUE(PLT_get_work_type() == GWS_WIN || PLT_get_work_type() == GWS_MEM);

    const char *colours[3] = {"red", "green", "blue"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(gcreate_frame(i), i);
        gselect_frame(i);
        gsel_norm_tran(1);
        gset_fill_int_style(1);
        gset_fill_colr_ind(CLR_get_ind(colours[i]));
        GPH_frect(0, 0, 2, 2);
    }
    EXPECT_EQ(PLT_dump(-4), 0);

    for (int i = 0; i < 3; ++i) {
        const std::string name = dir.file("f_0" + std::to_string(i) + ".gif");
        auto rgb = oracle::run_to_ppm("giftopnm", {name});
        ASSERT_TRUE(rgb) << "not a readable GIF: " << name;
        EXPECT_EQ(rgb->w, 64);
        EXPECT_EQ(rgb->h, 48);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(rgb->at(32, 24, c), c == i ? 255 : 0) << name << " channel " << c;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("f_03.gif")));

    g_detached = 0;
    PLT_set_detach_func(no_detach);
    EXPECT_EQ(PLT_close(), 0);
    EXPECT_EQ(g_detached, 1);
    EXPECT_FALSE(gchk_graphics());
    reset_all();
}

} // namespace
