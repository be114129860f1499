// A prompt answered on a real terminal: xsat runs under a pseudo-terminal, the
// way a forecaster starts it, and "exit" at the file prompt ends it with 0.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"

namespace {

// Reads from the terminal until text appears or the time runs out.
bool read_until(int fd, std::string &seen, const std::string &text, int seconds) {
    time_t end = time(nullptr) + seconds;
    while (seen.find(text) == std::string::npos) {
        if (time(nullptr) > end)
            return false;
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return seen.find(text) != std::string::npos;
        seen.append(buf, static_cast<size_t>(n));
    }
    return true;
}

} // namespace

TEST(Terminal, ExitAtThePromptUnderAPseudoTerminal) {
    testsupport::TempDir dir;
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0) << "forkpty failed";
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0)
            _exit(126);
        setenv("HOME", dir.path().c_str(), 1);
        setenv("zordefault", dir.path().c_str(), 1);
        unsetenv("zorcurtime");
        execl(XSAT_BINARY, "xsat", static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string seen;
    bool prompted = read_until(master, seen, "Enter the satellite filename: ", 30);
    EXPECT_TRUE(prompted) << seen;
    const char answer[] = "exit\r";
    ASSERT_EQ(write(master, answer, sizeof answer - 1), static_cast<ssize_t>(sizeof answer - 1));
    read_until(master, seen, "\x04never", 5); // drain until the program closes the terminal
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 50 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            usleep(100000);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "xsat did not end after exit: " << seen;
    }
    close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(seen.find("SATELLITE IMAGE DISPLAY"), std::string::npos);
}
