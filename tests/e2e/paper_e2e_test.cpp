// The program's picture on paper: the options "-de p,FILE" and "-de h,FILE" open the
// plotting layer on the PostScript or HP-GL device and a frame is composed into it as the
// driver composes it. (The plot front end that will open the plot for the program is not
// built yet, so the test opens it itself.)
#include <gtest/gtest.h>

#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_hpgl.h"
#include "gks/gks_ps.h"
#include "gks/gph.h"
#include "gks/paper_oracles.h"
#include "plot/plt_tool.h"
#include "sat/sat_color.h"
#include "sat/sat_frame.h"
#include "sat/sat_tool.h"

namespace {

using testsupport::TempDir;

class PaperPicture : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        gks_reset_state();
        gps_reset_state();
        ghpgl_reset_state();
        GPH_reset_state();
        CLR_reset_state();
        PLT_reset_state();
        SAT_reset_state();
        SAT_color_reset_state();
        RES_reset_state();
        FLAG_reset_state();
        MESS_reset_state();
        unsetenv("SOURCE_DATE_EPOCH");
    }
    // xsat's options as typed, the plot opened as the front end will, one frame of a
    // 120 x 60 image whose every pixel is count 100, and the plot closed. Returns the
    // plot panel's viewport.
    std::array<float, 4> run(const std::string &device) {
        std::vector<std::string> words = {"xsat", "-ba", "-fp", XSAT_SOURCE_DIR "/data",
                                          "-de",  device};
        std::vector<char *> argv;
        for (auto &w : words)
            argv.push_back(w.data());
        RES_init(static_cast<int>(argv.size()), argv.data(), SAT_keyed_options(),
                 SAT_positional_options());
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR));
        float panel[4] = {0.1f, 0.1f, 0.1f, 0.1f};
        EXPECT_EQ(GPH_setup(1, 0, panel, 0), 0);
        PLT_set_open_state(1, GPH_get_ws_type(), panel);
        IMAGE im;
        im.source = 50;
        im.nx = im.bytes_per_line = 120;
        im.ny = 60;
        im.depth = 8;
        im.data.assign(120 * 60, 100);
        SAT_PARAMS params;
        DOMAIN plot;
        std::string name;
        SAT_FRAME f;
        f.image = &im;
        f.plot_domain = &plot;
        f.geom.params = &params;
        SAT_window_size(&f.geom.width, &f.geom.height);
        f.filename = &name;
        SAT_compose_frame(f);
        GPH_end(1);
        return {panel[0], panel[1], panel[2], panel[3]};
    }
};

TEST_F(PaperPicture, PostScriptShowsTheImageAtThePanelCorner) {
    std::string file = dir.file("out.ps");
    auto view = run("p," + file);
    if (!paper::have_gs())
        GTEST_SKIP() << "Ghostscript (gs) not installed";
    ASSERT_EQ(paper::gs_status(file), 0);
    auto page = paper::gs_render(file, file + ".png");
    // Landscape letter: the 756 x 576 point surface holds the view 1 x 576/756 at 575 / (576
    // / 756) points to the unit; the image's 120 x 60 points hang from the panel's top-left
    // corner. Page point (594 - y, 18 + x) is pixel column 594 - y, row 774 - x.
    const float unit = 575.0f * 756.0f / 576.0f;
    const float x0 = view[0] * unit, top = view[3] * unit;
    auto ink = [](int r, int g, int b) { return r < 250 || g < 250 || b < 250; };
    auto e = page.extent(ink, {0, 0, 611, 791});
    // The last inked pixel is one before the far edge.
    const std::array<float, 4> want{594 - top, 774 - (x0 + 120), 594 - (top - 60) - 1,
                                    774 - x0 - 1};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(e[i], want[i], 1.0f) << "edge " << i;
}

TEST_F(PaperPicture, HpglTakesThePlotButNoImage) {
    std::string file = dir.file("out.hpgl");
    testsupport::Capture err(2);
    run("h," + file);
    EXPECT_NE(err.text().find("images are not supported on workstation type 5"), std::string::npos);
    if (!paper::have_hp2xx())
        GTEST_SKIP() << "hp2xx not installed";
    EXPECT_EQ(paper::hp2xx(file, file + ".pbm").ignored, 1);
}

} // namespace
