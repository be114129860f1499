// Plot parameters: each keyword reaches the module it switches; the viewport size.
#include "plot/plt_param.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "base/date.h"
#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/gks.h"
#include "gks/gks_obj.h"
#include "gks/gks_ps.h"
#include "gks/gph.h"
#include "map/cty_tool.h"
#include "map/maptran.h"
#include "map/region.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "support/test_support.h"

namespace {

void reset_all() {
    RES_reset_state();
    MESS_reset_state();
    FILE_reset_state();
    DATE_reset_state();
    CTY_reset_state();
    MAP_reset_state();
    DOM_reset_state();
    GPH_reset_state();
    gks_reset_state();
    PLT_reset_state();
    PLT_reset_param_state();
    PLT_reset_label_state();
}

class PlotParams : public ::testing::Test {
  protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
    static void decode(const char *plot_param, const char *out_file = nullptr) {
        RES_put("plot_param", plot_param);
        RES_put("out_file", out_file);
        PLT_param_decode();
    }
    static std::string dump() {
        std::string name;
        const int type = PLT_get_dump(&name);
        return std::to_string(type) + ":" + name;
    }
    static const PLT_PARAMS &p() { return PLT_get_params(); }
};

TEST_F(PlotParams, EveryKeywordReachesItsModule) {
    const struct {
        const char *words;
        std::function<bool()> holds;
    } rows[] = {
        {"full,gif=loop.gif",
         [] {
             std::array<float, 4> v{};
             PLT_get_view_offsets(v.data());
             return v == std::array<float, 4>{0, 0, 0, 0} && dump() == "2:loop.gif";
         }},
        {"FULLAB", [] { return PLT_get_full_lab() == 1; }},
        {"noredraw", [] { return gget_redraw() == 0; }},
        {"wmo", [] { return CTY_get_id_type() == 1; }},
        {"cod_wmo,id", [] { return CTY_get_id_type() == 0; }},
        {"over=1:3", [] { return PLT_get_overlay_base() == 1 && PLT_get_num_over() == 3; }},
        {"lalo=10",
         [] { return p().latlon && p().lat_int == 10 && p().lon_int == 10 && p().dot == 0; }},
        {"lalo:10:20:5:30", [] { return p().lon_int == 20 && p().dot == 5 && p().extra == 30; }},
        {"gridx7", [] { return p().grid_factor == 7; }},
        {"plt_skip=2", [] { return p().skip_x == 2 && p().skip_y == 2; }},
        {"plt_off=0.5", [] { return p().off_x == 0.5f && p().off_y == 0.5f; }},
        {"plt_off=0.5:1.5", [] { return p().off_y == 1.5f; }},
        {"loc_pr=2", [] { return DOM_get_loc_prior() == 2; }},
        {"gif_inter,gif_trans", [] { return p().gif_interlace == 1 && p().gif_transparent == 1; }},
        {"gif_inter,gif_norm", [] { return p().gif_interlace == 0; }},
        {"inv,lcmap,norwclr,nolooptitle",
         [] {
             return p().inverse == 1 && p().local_colormap == 1 && p().rw_colors == 0 &&
                    p().loop_title == 0;
         }},
        {"pscolor,psrev", [] { return gps_get_colorPS() == 1 && p().inverse == 1; }},
        {"new", [] { return gget_pix_mode() == 2; }},
        {"kill", [] { return gget_pix_mode() == 9; }},
        {"bar=220:300",
         [] { return p().cont_bar == 2 && p().bar_low == 220 && p().bar_high == 300; }},
        {"bar,nobar,nohdr", [] { return p().cont_bar == -2 && p().use_hdr_file == 0; }},
        {"shadow", [] { return gget_font_drop() == 4; }},
        {"shadow=2", [] { return gget_font_drop() == 2; }},
        {"max_bad=0", [] { return p().max_bad == 5; }},
        {"min_size=-5", [] { return FILE_get_min_size() == 0; }},
        {"min_size=900", [] { return FILE_get_min_size() == 900; }},
        {"grdfmt=%s.grd", [] { return p().grid_format == "%s.grd"; }},
        {"png", [] { return dump() == "4:zor.png"; }},
        {"img=a.img", [] { return dump() == "3:a.img"; }},
        {"xwd", [] { return dump() == "1:zor.xwd"; }},
        {"gif_interlace", [] { return dump() == "2:interlace"; }},
        {"unknown,remap=5", [] { return dump() == "0:"; }},
    };
    for (const auto &row : rows) {
        reset_all();
        decode(row.words);
        EXPECT_TRUE(row.holds()) << row.words;
    }

    // Time zone: labels move to the zone.
    decode("tz=EST:-5");
    DATE d{.year = 2026, .month = 12, .day = 4, .hour = 6, .minute = 30};
    std::string label;
    DATE_make_label(&d, label);
    EXPECT_EQ(label, "0130 EST  4 DEC 26");

    // The declutter grid: "plt_grid" alone keeps one station per grid cell.
    DOMAIN dom;
    DOM_init(&dom);
    std::tie(dom.proj, dom.clat, dom.clon, dom.nx, dom.ny, dom.dx, dom.dy) =
        std::tuple(2, 40.0f, -100.0f, 21, 11, 1.0f, 1.0f);
    MAP_domain(&dom);
    decode("plt_grid");
    MAP_plot_grid_init();
    EXPECT_EQ(MAP_plot_grid(0.2f, 40.2f), 1);
    EXPECT_EQ(MAP_plot_grid(0.3f, 40.3f), 0);
}

TEST_F(PlotParams, OutFileDumpsAndBadNumbers) {
    decode("gif", "img,png=frame_%i.png");
    EXPECT_EQ(dump(), "4:frame_%i.png");
    testsupport::Capture err(2);
    decode("over=x,lalo=a:b,shadow=two");
    EXPECT_EQ(err.text(), "PLT_param_decode: bad number in plot parameter: over=x\n"
                          "PLT_param_decode: bad number in plot parameter: lalo=a:b\n"
                          "PLT_param_decode: bad number in plot parameter: shadow=two\n");
    EXPECT_EQ(PLT_get_num_over(), 0);
    EXPECT_FALSE(p().latlon);
    EXPECT_EQ(gget_font_drop(), 4) << "an unreadable count is as none";
}

TEST_F(PlotParams, ViewportSize) {
    auto size = [](const char *text) {
        GPH_set_view_size(1, 1, 0, 0);
        PLT_panel_decode(text);
        std::array<float, 4> v{}; // in NDC of a 1 x 1 view
        GPH_get_view_size(v.data());
        return v;
    };
    // Upper right of four panels; then fractions of the window.
    EXPECT_EQ(size("2x2+1+0"), (std::array<float, 4>{0.5f, 1, 0.5f, 1}));
    EXPECT_EQ(size("0.5x0.25+0.5+0.25"), (std::array<float, 4>{0.5f, 1, 0.25f, 0.5f}));
    EXPECT_EQ(size("20x1+0+0"), (std::array<float, 4>{0, 0.125f, 0, 1})) << "at most 8 panels";
    EXPECT_EQ(size("2x2+1"), (std::array<float, 4>{0, 1, 0, 1})) << "three numbers: nothing";
    RES_put("plot_param", "vp_size=4x1+3+0");
    PLT_param_decode();
    std::array<float, 4> v{};
    GPH_get_view_size(v.data());
    EXPECT_EQ(v, (std::array<float, 4>{0.75f, 1, 0, 1}));
}

} // namespace
