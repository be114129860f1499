#include "base/system.h"

#include <gtest/gtest.h>

namespace {

[[noreturn]] void throwing_exit(int status) {
    throw status;
}

TEST(System, ExitGoesThroughHandler) {
    ZOR_set_exit_handler(throwing_exit);
    try {
        ZOR_exit(10);
        FAIL() << "ZOR_exit returned";
    } catch (int status) {
        EXPECT_EQ(status, 10);
    }
    ZOR_reset_state();
    EXPECT_EXIT(ZOR_exit(7), ::testing::ExitedWithCode(7), "");
}

TEST(System, SleepAndElapsedTime) {
    ZOR_init_time();
    EXPECT_EQ(ZOR_sleep(0.0f), -1);
    EXPECT_EQ(ZOR_sleep(-1.0f), -1);
    EXPECT_EQ(ZOR_slept_time(), 0.0);
    EXPECT_EQ(ZOR_sleep(0.05f), 0);
    float e = ZOR_elapse_time();
    EXPECT_GE(e, 0.049f);
    EXPECT_LT(e, 2.0f);
    EXPECT_NEAR(ZOR_slept_time(), 0.05, 1e-6);
    ZOR_init_time();
    EXPECT_LT(ZOR_elapse_time(), 0.04f);
    EXPECT_EQ(ZOR_slept_time(), 0.0);
}

} // namespace
