// Remap worker pool. Workers are started on the first job that asks for them and wait
// for the next one; each job hands out its pieces through one counter, so no piece is
// tied to a thread. Trap: a batch run detaches by forking, and a child has none of its
// parent's threads: a pool made by another process is abandoned, never joined.
#include "sat/sat_pool.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/resrc.h"

namespace {

class Pool {
  public:
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto &t : workers_)
            t.join();
    }

    void run(int threads, int n, const std::function<void(int)> &piece) {
        int helpers = std::min(threads - 1, n - 1);
        try {
            while (int(workers_.size()) < helpers)
                workers_.emplace_back([this, k = int(workers_.size())] { work(k); });
        } catch (const std::system_error &) {
            // No more threads to be had: the ones there are share the pieces.
        }
        helpers = std::min(helpers, int(workers_.size()));
        {
            std::lock_guard<std::mutex> lock(m_);
            piece_ = &piece;
            n_ = n;
            next_.store(0);
            helpers_ = helpers;
            busy_ = helpers;
            error_ = nullptr;
            ++generation_;
        }
        wake_.notify_all();
        take_pieces();
        std::unique_lock<std::mutex> lock(m_);
        done_.wait(lock, [this] { return busy_ == 0; });
        piece_ = nullptr;
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
    }

  private:
    void take_pieces() {
        try {
            for (int i = next_.fetch_add(1); i < n_; i = next_.fetch_add(1))
                (*piece_)(i);
        } catch (...) {
            next_.store(n_); // the others stop after their current piece
            std::lock_guard<std::mutex> lock(m_);
            if (!error_)
                error_ = std::current_exception();
        }
    }

    void work(int k) {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_);
                wake_.wait(lock, [&] { return stop_ || (generation_ != seen && k < helpers_); });
                if (stop_)
                    return;
                seen = generation_;
            }
            take_pieces();
            {
                std::lock_guard<std::mutex> lock(m_);
                --busy_;
            }
            done_.notify_one();
        }
    }

    std::mutex m_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> workers_;
    const std::function<void(int)> *piece_ = nullptr;
    int n_ = 0;
    std::atomic<int> next_{0};
    int helpers_ = 0, busy_ = 0;
    uint64_t generation_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

struct PoolState {
    std::unique_ptr<Pool> pool;
    pid_t owner = 0; // process that started the workers
    // At exit a forked child must not wait for workers that only its parent has.
    ~PoolState() {
        if (pool && owner != getpid())
            (void)pool.release();
    }
};

PoolState &st() {
    static PoolState s;
    return s;
}

Pool &pool() {
    PoolState &s = st();
    const pid_t me = getpid();
    if (s.pool && s.owner != me) {
        // Made before a fork: its threads live in the parent only.
        (void)s.pool.release();
    }
    if (!s.pool) {
        s.pool = std::make_unique<Pool>();
        s.owner = me;
    }
    return *s.pool;
}

int processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

int SAT_thread_count() {
    int n = 0;
    if (const char *v = RES_get("threads"); v && *v) {
        char *end = nullptr;
        const long k = std::strtol(v, &end, 10);
        if (end != v && k >= 1)
            n = int(std::min<long>(k, SAT_MAX_THREADS));
    }
    if (n == 0)
        n = processors();
    return std::clamp(n, 1, SAT_MAX_THREADS);
}

void SAT_parallel_for(int threads, int n, const std::function<void(int)> &piece) {
    if (n <= 0)
        return;
    threads = std::clamp(threads, 1, SAT_MAX_THREADS);
    if (threads == 1 || n == 1) {
        for (int i = 0; i < n; ++i)
            piece(i);
        return;
    }
    pool().run(threads, n, piece);
}

SAT_RUNS::SAT_RUNS(int runs, int n)
    : runs_(std::make_unique<Run[]>(size_t(std::max(runs, 1)))), count_(std::max(runs, 1)) {
    n = std::max(n, 0);
    for (int k = 0; k < count_; ++k) {
        runs_[size_t(k)].next.store(int(int64_t(n) * k / count_));
        runs_[size_t(k)].end = int(int64_t(n) * (k + 1) / count_);
    }
}

int SAT_RUNS::next(int home) {
    for (int k = 0; k < count_; ++k) {
        Run &r = runs_[size_t((home + k) % count_)];
        if (r.next.load(std::memory_order_relaxed) >= r.end)
            continue;
        if (const int i = r.next.fetch_add(1); i < r.end)
            return i;
    }
    return -1;
}

void SAT_parallel_runs(int threads, int n, const std::function<void(SAT_RUNS &, int)> &worker) {
    if (n <= 0)
        return;
    const int workers = std::clamp(std::min(threads, n), 1, SAT_MAX_THREADS);
    SAT_RUNS runs(workers, n);
    SAT_parallel_for(workers, workers, [&](int home) { worker(runs, home); });
}

void SAT_pool_reset_state() {
    PoolState &s = st();
    if (s.pool && s.owner != getpid())
        (void)s.pool.release();
    s.pool.reset();
}
