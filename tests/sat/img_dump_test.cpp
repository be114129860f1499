// The native dump of the drawn picture, taken from the memory workstation: grey levels are
// the mean of the three colour bytes, the map domain is rescaled to the picture's size and
// the plot labels name it.
#include <gtest/gtest.h>

#include "gks/gks.h"
#include "gks/gks_mem.h"
#include "map/maptran.h"
#include "plot/plt_labl.h"
#include "sat/img_tool.h"
#include "support/test_support.h"

namespace {

TEST(ImgDump, WritesTheDrawnPictureWithTheMapDomainRescaled) {
    constexpr int W = 8, H = 6;
    ASSERT_EQ(gopen_mem_ws(1, W, H), 0);
    float rgb[3] = {1, 0, 0};
    gset_colr_rep(1, 2, rgb);
    float r[4] = {0, 1, 0, 1};
    gset_ws_win(1, r);
    gset_vp(1, r);
    gset_win(1, r);
    gsel_norm_tran(1);
    gset_fill_colr_ind(2);
    float all[10] = {0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
    gfill_area(5, all);
    DOMAIN dom;
    dom.proj = MAP_proj_str("ps");
    dom.clat = 60, dom.clon = -100, dom.dx = 2, dom.dy = 3, dom.nx = 17, dom.ny = 11;
    ASSERT_EQ(MAP_domain(&dom), 0);
    PLT_label_up_left("GOES-16 IR");
    PLT_label_up_right("06 DEC 26 0400Z");
    PLT_label_low_right("ch 13");

    testsupport::TempDir dir;
    const std::string f = dir.file("dump.zor");
    ASSERT_EQ(IMG_dump(f.c_str()), 1);
    gclose_ws(1);
    IMAGE im;
    ASSERT_EQ(IMG_read_zor(f.c_str(), &im, 0), 1);
    ASSERT_EQ(im.nx, W);
    ASSERT_EQ(im.ny, H);
    EXPECT_EQ(im.data[size_t(W * H / 2)], 85) << "(255 + 0 + 0) / 3";
    EXPECT_EQ(im.info, "GOES-16 IR [ch 13]");
    EXPECT_EQ(im.label, "06 DEC 26 0400Z");
    EXPECT_EQ(im.domain.nx, W);
    EXPECT_EQ(im.domain.ny, H);
    EXPECT_NEAR(im.domain.dx, 2.0f * 16 / 7, 1e-4);
    EXPECT_NEAR(im.domain.dy, 3.0f * 10 / 5, 1e-4);
    MAP_domain(nullptr);
    PLT_reset_label_state();
}

} // namespace
