// Satellite driver: plot parameters, input types and naming conventions chosen by the
// options, and the native output choice. Expected values are the option tables of the
// program's documentation; conventions are told apart by the names they give a date.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_loop.h"
#include "gks/gks_mem.h"
#include "gks/gks_x11.h"
#include "gks/gph.h"
#include "map/map.h"
#include "map/maptran.h"
#include "plot/plt_labl.h"
#include "sat/sat_color.h"
#include "sat/sat_tool.h"
#include "support/test_support.h"

namespace {

class SatTool : public ::testing::Test {
  protected:
    void SetUp() override {
        reset();
        RES_put("file_path", dir.path().c_str());
        RES_put("sat_path", "/S");
        dir.write("name_conv", "sat_vis %S/%Y%m%d_%h%n_vis.ara - 0\n"
                               "sat_ir  %S/%Y%m%d_%h%n_ir.ara  - 0\n"
                               "sat_wv  %S/%Y%m%d_%h%n_wv.ara  - 0\n"
                               "sat_img %S/%Y%m%d_%h%n.img     - 0\n"
                               "goes    %S/goes_%Y%j%h%n       - 0\n");
    }
    void TearDown() override { reset(); }
    static void reset() {
        unsetenv("zorcurtime");
        RES_reset_state();
        FILE_reset_state();
        FLAG_reset_state();
        MESS_reset_state();
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR | MESS_PRINT));
        SAT_reset_state();
    }
    // The name the selected convention gives 2026-01-04 14:15 UTC.
    static std::string conv_name() {
        DATE d{.year = 2026, .month = 1, .day = 4, .hour = 14, .minute = 15};
        std::string name;
        FILE_set_date(&d, &name);
        return name;
    }
    testsupport::TempDir dir;
};

TEST_F(SatTool, PlotParametersFollowTheKeywordTable) {
    RES_put("plot_param", "REMAP=5,tran_zor,no_pixave,zoom=2.5,over,bar,pixoff=-10,minlon=-130,"
                          "maxlon=-60.5,refresh,imager");
    SAT_plot_param();
    const SAT_PARAMS &p = SAT_params();
    EXPECT_EQ(p.remap_inc, 5);
    EXPECT_EQ(p.tran_sat, 0);
    EXPECT_EQ(p.pix_ave, 0);
    EXPECT_FLOAT_EQ(p.zoom, 2.5f);
    EXPECT_EQ(p.over, 1);
    EXPECT_EQ(p.bar, 1);
    EXPECT_EQ(p.pix_off, -10);
    EXPECT_FLOAT_EQ(p.min_lon, -130.0f);
    EXPECT_FLOAT_EQ(p.max_lon, -60.5f);
    EXPECT_EQ(p.refresh, 1);

    // "remap" alone restores the default step; any value starting "irb" is the
    // temperature bar; "refresh" must be the whole word.
    SAT_reset_state();
    RES_put("plot_param", "remap,irbx,refreshing,tran_sat");
    SAT_plot_param();
    EXPECT_EQ(SAT_params().remap_inc, 20);
    EXPECT_EQ(SAT_params().bar, 2);
    EXPECT_EQ(SAT_params().refresh, 0);
    EXPECT_EQ(SAT_params().tran_sat, 1);
}

TEST_F(SatTool, CutoffClassesFromOneToThreeBounds) {
    struct Case {
        const char *value;
        int base, numcut;
        std::vector<int> cutoff;
    } cases[] = {
        {"cutoff=0:100", 0, 1, {0, 100, 256}},
        {"cutoff=5:60:120:200", 5, 3, {0, 60, 120, 200, 256}},
        {"cutoff=7", 7, 0, {0, 256}},
        {"cutoff=x", 0, 0, {0, 256}},
    };
    for (const Case &c : cases) {
        SAT_reset_state();
        RES_put("plot_param", c.value);
        SAT_plot_param();
        const SAT_PARAMS &p = SAT_params();
        EXPECT_EQ(p.cutbase, c.base) << c.value;
        EXPECT_EQ(p.numcut, c.numcut) << c.value;
        for (size_t k = 0; k < c.cutoff.size(); ++k)
            EXPECT_EQ(p.cutoff[k], c.cutoff[k]) << c.value << " bound " << k;
    }
}

TEST_F(SatTool, InputTypesAndConventionsFromInputAndInFile) {
    struct Case {
        const char *input, *in_file;
        int type;
        const char *name;
    } cases[] = {
        {nullptr, nullptr, SAT_IN_AREA, "/S/20260104_1415_vis.ara"},
        {"img", nullptr, SAT_IN_IMG, "/S/20260104_1415.img"},
        {"AWIPZ", nullptr, SAT_IN_AWIPZ, "/S/20260104_1415_vis.ara"},
        {"awip", nullptr, SAT_IN_AWIP, nullptr},
        {"raster", nullptr, SAT_IN_RASTER, nullptr},
        {"tiff", nullptr, SAT_IN_TIFF, nullptr},
        {"lrit", nullptr, SAT_IN_LRIT, nullptr},
        {"bogus", nullptr, SAT_IN_AREA, nullptr},
        {"img", "area", SAT_IN_AREA, "/S/20260104_1415.img"},
        {nullptr, "IR", SAT_IN_AREA, "/S/20260104_1415_ir.ara"},
        {"lrit", "img", SAT_IN_LRIT, "/S/20260104_1415.img"},
        // Prefix forms: the type, and from the sixth character on a convention.
        {nullptr, "lrit:goes", SAT_IN_LRIT, "/S/goes_20260041415"},
        {nullptr, "awipzsat_wv", SAT_IN_AWIPZ, "/S/20260104_1415_wv.ara"},
        {nullptr, "awip_sat_ir", SAT_IN_AWIP, "/S/20260104_1415_ir.ara"},
        {nullptr, "rast", SAT_IN_RASTER, "/S/20260104_1415_vis.ara"},
        {nullptr, "TIFF,goes", SAT_IN_TIFF, "/S/goes_20260041415"},
        {nullptr, "goes", SAT_IN_AREA, "/S/goes_20260041415"},
    };
    for (const Case &c : cases) {
        reset();
        SetUp();
        if (c.input)
            RES_put("input", c.input);
        if (c.in_file)
            RES_put("in_file", c.in_file);
        EXPECT_EQ(SAT_in_file(), 0);
        const std::string what =
            std::string(c.input ? c.input : "-") + " / " + (c.in_file ? c.in_file : "-");
        EXPECT_EQ(FLAG_get(FLAG_INPUT), c.type) << what;
        if (c.name) {
            EXPECT_EQ(conv_name(), c.name) << what;
        }
    }
}

TEST_F(SatTool, NativeOutputChoiceFromOutFile) {
    struct Case {
        const char *out_file;
        int result;
        const char *name; // convention selected, when one is
    } cases[] = {
        {nullptr, 0, nullptr},
        {"img", 1, "/S/20260104_1415.img"},
        {"imgz", 2, "/S/20260104_1415.img"},
        {"img:sat_ir", 1, "/S/20260104_1415_ir.ara"},
        {"IMGZ:goes", 2, "/S/goes_20260041415"},
        {"goes", 1, "/S/goes_20260041415"},
        // The last value decides; GIF, PNG and "none" select no native output.
        {"imgz,img", 1, "/S/20260104_1415.img"},
        {"gif", 0, nullptr},
        {"png:frame", 0, nullptr},
        {"none", 0, nullptr},
    };
    for (const Case &c : cases) {
        reset();
        SetUp();
        if (c.out_file)
            RES_put("out_file", c.out_file);
        EXPECT_EQ(SAT_out_file(), c.result) << (c.out_file ? c.out_file : "(none)");
        if (c.name) {
            EXPECT_EQ(conv_name(), c.name) << c.out_file;
        }
    }
}

// The refresh reads a file only when it is newer than the one plotted: a file typed with a
// name that carries no minutes, or found at a fixed hour, is not read again.
TEST_F(SatTool, RefreshSkipsTheFilePlotted) {
    setenv("zorcurtime", "#202601041440", 1);
    dir.write("name_conv", "sat_img %S/%Y%m%d%h.img - 0\n");
    RES_put("sat_path", dir.file("sat").c_str());
    FLAG_set(FLAG_INPUT, SAT_IN_IMG);
    FLAG_set(FLAG_DEVICE, 99); // no output device: the driver reads and composes only
    const std::string image = "ZORIMG\nlabel\ninfo\n3 2\nABCDEF";
    const std::string typed = dir.write("sat/2026010414.img", image);
    dir.write("sat/2026010318.img", image);
    const FILE_TIME fixed{.hour = 18};
    for (bool at_fixed_hour : {false, true}) {
        SCOPED_TRACE(at_fixed_hour ? "fixed hour" : "typed name");
        FILE_set_name("sat_img");
        std::string name;
        if (at_fixed_hour) {
            FILE_set_time(&fixed);
            FILE_set_current("la", &name);
        } else {
            FILE_set_file(typed.c_str(), &name);
        }
        SAT_set_date(nullptr);
        ASSERT_EQ(SAT_plot(nullptr), 0);
        const DATE none;
        SAT_set_date(&none); // a new read would set the base date again
        SAT_plot_nextfile();
        EXPECT_EQ(SAT_base_date().year, MISSING) << "the plotted file was read again";
    }
}

// A newer file in a loop of two frames (drawn in memory): the newer frame moves into the
// place of the older, the new picture is composed into the last frame and the loop keeps
// its length.
TEST_F(SatTool, RefreshMovesTheLoopForward) {
    setenv("zorcurtime", "#202601041440", 1);
    dir.write("name_conv", "sat_img %S/%Y%m%d%h.img - 0\n");
    RES_put("sat_path", dir.file("sat").c_str());
    FLAG_set(FLAG_INPUT, SAT_IN_IMG);
    FILE_set_name("sat_img");
    dir.write("sat/2026010414.img", "ZORIMG\nlabel\ninfo\n3 2\nABCDEF");
    ASSERT_EQ(gopen_mem_ws(1, 40, 30), 0);
    const float colours[2][3] = {{1, 0, 0}, {0, 0, 1}};
    for (int f = 0; f < 2; ++f) {
        ASSERT_EQ(gcreate_frame(f), f);
        gselect_frame(f);
        gset_colr_rep(1, 2 + f, colours[f]);
        gsel_norm_tran(0);
        gset_fill_colr_ind(2 + f);
        const float all[10] = {0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
        gfill_area(5, all);
    }
    const auto centre = [](int f) {
        gselect_frame(f);
        IMAGE im;
        EXPECT_EQ(gget_image(&im), 0);
        const uint8_t *p = im.data.data() + 15 * size_t(im.bytes_per_line) + 4 * 20;
        return std::array<int, 3>{p[2], p[1], p[0]};
    };
    ASSERT_EQ(centre(1), (std::array<int, 3>{0, 0, 255}));

    EXPECT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(centre(0), (std::array<int, 3>{0, 0, 255})) << "the newer frame moved forward";
    EXPECT_EQ(centre(1), (std::array<int, 3>{0, 0, 0})) << "the last frame holds a new picture";
    gclose_ws(1);
    gclose_gks();
    gks_reset_state();
    gloop_reset_state();
    CLR_reset_state();
    GPH_reset_state();
    MAP_reset_state();
    MAP_overlay_reset_state();
    PLT_reset_label_state();
    SAT_color_reset_state();
}

} // namespace
