// Process services: the one way out of the program, and the wall-clock timer
// and sleep used by the animation loop and the queue polling.
#include "base/system.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct SystemState {
    ZOR_exit_handler handler = nullptr;
    bool started = false;
    std::chrono::steady_clock::time_point start{};
    double slept = 0.0; // seconds slept since ZOR_init_time
};

SystemState &st() {
    static SystemState s;
    return s;
}

} // namespace

void ZOR_reset_state() {
    st() = SystemState{};
}

void ZOR_set_exit_handler(ZOR_exit_handler handler) {
    st().handler = handler;
}

void ZOR_exit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (st().handler)
        st().handler(status);
    std::exit(status);
}

int ZOR_back_proc() {
    std::fflush(nullptr); // what is buffered goes out once, not from both processes
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid > 0)
        _exit(0); // no exit handlers: the child keeps the shared connections
    std::signal(SIGINT, SIG_DFL);
    for (int fd = 0; fd <= 2; ++fd) {
        close(fd);
        if (open("/dev/null", O_RDWR) != fd)
            _exit(1);
    }
    setsid();
    return 0;
}

void ZOR_init_time() {
    st().started = true;
    st().start = std::chrono::steady_clock::now();
    st().slept = 0.0;
}

float ZOR_elapse_time() {
    if (!st().started) {
        ZOR_init_time();
        return 0.0f;
    }
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - st().start;
    return static_cast<float>(d.count());
}

double ZOR_slept_time() {
    return st().slept;
}

int ZOR_sleep(float seconds) {
    if (!(seconds > 0.0f))
        return -1; // also NaN
    // A year is far beyond any wait the program asks for; keeps tv_sec in range.
    double s = std::fmin(static_cast<double>(seconds), 365.0 * 86400.0);
    timespec req{};
    req.tv_sec = static_cast<time_t>(s);
    req.tv_nsec = static_cast<long>((s - std::floor(s)) * 1e9);
    if (req.tv_nsec > 999999999L)
        req.tv_nsec = 999999999L;
    timespec rem{};
    while (nanosleep(&req, &rem) == -1 && errno == EINTR)
        req = rem;
    st().slept += s;
    return 0;
}
