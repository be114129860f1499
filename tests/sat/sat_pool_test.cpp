// Remap worker pool: a batch run detaches by forking after the remap has used the
// workers; the child must end at exit instead of waiting on threads only its parent has.
#include "sat/sat_pool.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

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

// Runs of pieces: every piece handed out exactly once, a thread's own run first and in
// order, for more runs than pieces and for none.
TEST(SatPool, RunsHandOutEveryPieceOnce) {
    for (auto [runs, n] : {std::pair{3, 10}, std::pair{4, 2}, std::pair{2, 0}}) {
        SAT_RUNS r(runs, n);
        std::vector<int> seen(size_t(n), 0);
        std::vector<int> order;
        for (int i = r.next(1); i >= 0; i = r.next(1))
            order.push_back(i), ++seen[size_t(i)];
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), n) << runs << " " << n;
        if (runs == 3) {
            EXPECT_EQ(order, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 0, 1, 2}));
        }
    }
    // Shared by threads: still each piece once.
    std::vector<std::atomic<int>> seen(1000);
    SAT_parallel_runs(2, 1000, [&](SAT_RUNS &r, int home) {
        for (int i = r.next(home); i >= 0; i = r.next(home))
            ++seen[size_t(i)];
    });
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](const auto &v) { return v == 1; }));
}
