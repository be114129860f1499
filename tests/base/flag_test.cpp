#include "base/flag.h"

#include <gtest/gtest.h>

namespace {

class FlagTest : public ::testing::Test {
  protected:
    void SetUp() override { FLAG_reset_state(); }
    void TearDown() override { FLAG_reset_state(); }
};

TEST_F(FlagTest, SlotsResetAndRangeChecks) {
    EXPECT_EQ(FLAG_getl(0), -9999);
    EXPECT_EQ(FLAG_setl(FLAG_INPUT, 1LL << 40), 1);
    EXPECT_EQ(FLAG_getl(FLAG_INPUT), 1LL << 40);
    EXPECT_EQ(FLAG_set(29, 7), 1);
    EXPECT_EQ(FLAG_get(29), 7);
    EXPECT_EQ(FLAG_set(30, 1), -1);
    EXPECT_EQ(FLAG_setl(-1, 1), -1);
    EXPECT_EQ(FLAG_get(30), 0);
    EXPECT_EQ(FLAG_getl(-5), 0);
    FLAG_reset();
    EXPECT_EQ(FLAG_get(29), -9999);
    EXPECT_EQ(FLAG_getl(FLAG_INPUT), -9999);
}

TEST_F(FlagTest, BatchAndHelpNeedExactlyOne) {
    EXPECT_FALSE(FLAG_batch());
    EXPECT_FALSE(FLAG_help());
    FLAG_set(FLAG_BATCH, 2);
    EXPECT_FALSE(FLAG_batch());
    FLAG_set(FLAG_BATCH, 1);
    FLAG_set(FLAG_HELP, 1);
    EXPECT_TRUE(FLAG_batch());
    EXPECT_TRUE(FLAG_help());
}

TEST_F(FlagTest, DrawFlagsKeepDerivedSlots) {
    for (int i = 0; i < FLAG_PLOT_NUM; ++i)
        EXPECT_EQ(FLAG_getplot(i), 1) << i;
    FLAG_setplot(12, 0); // everything off
    EXPECT_EQ(FLAG_getplot(0), 0);
    EXPECT_EQ(FLAG_getplot(12), 0);
    FLAG_setplot(7, 1);
    FLAG_setplot(3, 1);
    EXPECT_EQ(FLAG_getplot(0), 1);
    EXPECT_EQ(FLAG_getplot(12), 3); // slot 0 (1) + text_ur + data
    FLAG_setplot(0, 1);             // all six text positions
    EXPECT_EQ(FLAG_getplot(0), 6);
    EXPECT_EQ(FLAG_getplot(12), 13);
    FLAG_setplot(12, 1);
    EXPECT_EQ(FLAG_getplot(0), 6);
    EXPECT_EQ(FLAG_getplot(12), 17);
    EXPECT_EQ(FLAG_setplot(13, 1), -1);
    EXPECT_EQ(FLAG_getplot(-1), 0);
    FLAG_resetplot(0);
    for (int i = 0; i < FLAG_PLOT_NUM; ++i)
        EXPECT_EQ(FLAG_getplot(i), 0) << i;
}

} // namespace
