// Plot control state: what the open and reset paths record is what the drawing code reads.
#include <gtest/gtest.h>

#include <array>

#include "gks/gks.h"
#include "plot/plt_tool.h"

namespace {

std::array<float, 4> view() {
    std::array<float, 4> v{};
    PLT_get_view(v.data());
    return v;
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

} // namespace
