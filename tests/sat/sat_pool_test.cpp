// Remap worker pool: a batch run detaches by forking after the remap has used the
// workers; the child must end at exit instead of waiting on threads only its parent has.
#include "sat/sat_pool.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(SatPool, ForkedChildEndsWithoutItsParentsWorkers) {
    std::atomic<int> sum{0};
    SAT_parallel_for(2, 64, [&](int i) { sum += i; });
    ASSERT_EQ(sum.load(), 64 * 63 / 2);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
        std::exit(0); // static destructors run here
    int status = 0;
    pid_t done = 0;
    for (int k = 0; k < 100 && done == 0; ++k) {
        done = waitpid(pid, &status, WNOHANG);
        if (done == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_EQ(done, pid) << "the child hung at exit";
    SAT_pool_reset_state();
}
