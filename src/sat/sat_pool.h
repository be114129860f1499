// Worker threads of the remap: a small pool that runs the pieces of one job (bands of
// output rows) on the calling thread and on up to count - 1 workers. Whatever the count,
// every piece is computed the same way, so a result never depends on it; a count of 1
// starts no thread at all.
#pragma once

#include <functional>

// Thread count: the resource "threads" when it holds a number from 1 up, else one per
// processor the process may run on. At most SAT_MAX_THREADS.
inline constexpr int SAT_MAX_THREADS = 64;
int SAT_thread_count();

// Runs piece(i) for every i in [0, n) on at most threads threads (the caller's among
// them) and returns when all are done. The first exception a piece throws is thrown
// again here, after the other pieces have ended.
void SAT_parallel_for(int threads, int n, const std::function<void(int)> &piece);

// Stops and joins the workers (the next job starts them again).
void SAT_pool_reset_state();
