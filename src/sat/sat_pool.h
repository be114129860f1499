// Worker threads of the remap: a small pool that runs the pieces of one job (bands of
// output rows) on the calling thread and on up to count - 1 workers. Whatever the count,
// every piece is computed the same way, so a result never depends on it; a count of 1
// starts no thread at all.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

// Thread count: the resource "threads" when it holds a number from 1 up, else one per
// processor the process may run on. At most SAT_MAX_THREADS.
inline constexpr int SAT_MAX_THREADS = 64;
int SAT_thread_count();

// Runs piece(i) for every i in [0, n) on at most threads threads (the caller's among
// them) and returns when all are done. The first exception a piece throws is thrown
// again here, after the other pieces have ended.
void SAT_parallel_for(int threads, int n, const std::function<void(int)> &piece);

// Pieces [0, n) cut into runs of neighbours, one run per thread: a thread takes the
// pieces of its own run in order, then helps with what is left of the others. Pieces
// of neighbouring output rows read neighbouring source rows, which then stay in the
// caches of the thread that reads them again.
class SAT_RUNS {
  public:
    SAT_RUNS(int runs, int n);
    // The next piece for the thread whose run is home (0 .. runs - 1), or -1 when
    // none is left.
    int next(int home);

  private:
    struct Run {
        std::atomic<int> next{0};
        int end = 0;
    };
    std::unique_ptr<Run[]> runs_;
    int count_ = 0;
};

// Runs worker(runs, home) once on each of up to threads threads (the caller's among
// them), every one with a run of its own of the pieces [0, n), and returns when all are
// done; a worker takes its pieces with runs.next(home).
void SAT_parallel_runs(int threads, int n, const std::function<void(SAT_RUNS &, int)> &worker);

// Stops and joins the workers (the next job starts them again).
void SAT_pool_reset_state();
