// Loop-window link against a stand-in server on a real System V queue and a real TCP
// socket: the resource exchange of decoding, the time-out, and servers that misbehave.
#include "base/mqueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "base/def_read.h"
#include "base/flag.h"
#include "base/loop_server.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "sat/sat_tool.h"
#include "support/test_support.h"

namespace {

using Mode = LoopServer::Mode;
using testsupport::Capture;

[[noreturn]] void throw_exit(int status) {
    throw status;
}

// The program's options: 51 keyed ones and the positional file names.
constexpr size_t kOptions = 52;

class LoopLinkTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        reset();
        ZOR_set_exit_handler(throw_exit);
    }
    void TearDown() override {
        // Nothing of the link may outlive the test: no timer running, no handler left.
        itimerval t{};
        getitimer(ITIMER_REAL, &t);
        EXPECT_EQ(t.it_value.tv_sec + t.it_value.tv_usec, 0) << "alarm left armed";
        struct sigaction sa {};
        sigaction(SIGALRM, nullptr, &sa);
        EXPECT_EQ(sa.sa_handler, SIG_DFL) << "SIGALRM handler left installed";
        reset();
        ZOR_set_exit_handler(nullptr);
    }
    static void reset() {
        unsetenv("zordefault");
        RES_reset_state();
        DEF_reset_state();
        MESS_reset_state();
        MQ_reset_state();
        FLAG_reset();
    }
    LoopServer::Options opts(Mode mode = Mode::normal) const {
        LoopServer::Options o;
        o.socket = GetParam();
        o.table = {{"plot_domain", "ne"}, {"title", "!none"}, {"label", ""}, {"color_map", "cyan"}};
        o.mode = mode;
        return o;
    }
    // RES_init of "xsat" with the defaults list and arguments; stderr is kept in err.
    void init(const std::string &defaults, std::vector<std::string> args = {}) {
        setenv("zordefault", defaults.c_str(), 1);
        args.insert(args.begin(), "xsat");
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        Capture cap(2);
        try {
            RES_init(static_cast<int>(args.size()), argv.data(), SAT_keyed_options(),
                     SAT_positional_options());
        } catch (...) {
            err = cap.text();
            throw;
        }
        err = cap.text();
    }
    static std::string get(const char *name) {
        const char *v = RES_get(name);
        return v ? v : "<absent>";
    }
    testsupport::TempDir dir;
    std::string own =
        dir.write(".zordef", "*title \"own title\"\n*color_grid red\n*color_map blue\n");
    std::string err;
};

TEST_P(LoopLinkTest, ResourceExchange) {
    LoopServer server(opts());
    init(dir.path().string() + ":" + server.entry(), {"-la", "cli label", "-pd", "at"});
    EXPECT_EQ(err, "");
    // The window's values replace the files', "!..." and empty replies are no values, and
    // the command line still has the last word.
    EXPECT_EQ(get("color_map"), "cyan");
    EXPECT_EQ(get("title"), "own title");
    EXPECT_EQ(get("color_grid"), "red");
    EXPECT_EQ(get("label"), "cli label");
    EXPECT_EQ(get("plot_domain"), "at");

    std::vector<std::string> req = server.finish();
    const size_t n = kOptions;
    ASSERT_EQ(req.size(), 1 + n + 5);
    EXPECT_EQ(req[0], "/" + std::to_string(getuid()));
    for (size_t i = 1; i <= n; ++i)
        EXPECT_EQ(req[i].rfind("5query res ", 0), 0u) << req[i];
    EXPECT_EQ(req[n], "5query res filename");
    // What the window lacks and we have, in option order; then the command line; then quit.
    std::vector<std::string> tail(req.end() - 5, req.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"5set res color_grid red", "5set res title own title",
                                              "5set res label cli label", "5set res plot_domain at",
                                              "5quit"}));
}

TEST_P(LoopLinkTest, SilentServerTimesOutWithStatus7) {
    LoopServer server(opts(Mode::silent));
    auto t0 = std::chrono::steady_clock::now();
    try {
        init(server.entry(",to=0.3"));
        FAIL() << "decoding returned";
    } catch (int status) {
        EXPECT_EQ(status, 7);
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(s, 0.3);
    EXPECT_LT(s, 3.0);
    EXPECT_EQ(err, "Queue not responding!!\n");
}

TEST_P(LoopLinkTest, ServerVanishingMidExchangeLeavesOurResources) {
    for (Mode mode : {Mode::normal, Mode::truncated}) {
        if (mode == Mode::truncated && !GetParam())
            continue; // a length byte exists on the socket only
        reset();
        LoopServer::Options o = opts(mode);
        o.hang_up_after = 3; // the channel and two replies
        LoopServer server(o);
        init(dir.path().string() + ":" + server.entry(",to=2"), {"-la", "x"});
        EXPECT_EQ(err, "ZORloop not running!\n");
        EXPECT_EQ(get("color_map"), "blue");
        EXPECT_EQ(get("title"), "own title");
        EXPECT_EQ(get("label"), "x");
    }
}

TEST_P(LoopLinkTest, NoWindowMeansNoWait) {
    // Key base + window 0 would be IPC_PRIVATE, which creates a queue instead of finding one.
    MQ_set_param("qtype=mqueue,base=0");
    EXPECT_EQ(MQ_open(0), -1);
    std::string gone = LoopServer(opts()).entry(); // its queue or listener is closed again
    auto t0 = std::chrono::steady_clock::now();
    init(dir.path().string() + ":" + gone);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(err, "ZORloop window: 7 not running or no message queue exists\n");
    EXPECT_EQ(get("title"), "own title");
}

INSTANTIATE_TEST_SUITE_P(Transports, LoopLinkTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Socket" : "Queue"; });

// Message types and the 120-byte text area belong to the queue transport.
class LoopLinkQueueTest : public LoopLinkTest {};

TEST_P(LoopLinkQueueTest, BadReplies) {
    {
        LoopServer server(opts(Mode::oversized));
        init(server.entry());
        EXPECT_EQ(get("plot_domain"), std::string(119, 'x')); // the area less its code byte
    }
    {
        reset();
        LoopServer server(opts(Mode::unterminated));
        init(server.entry());
        EXPECT_EQ(get("plot_domain"), "ne");
    }
    reset();
    LoopServer server(opts(Mode::other_channel));
    EXPECT_THROW(init(server.entry(",to=0.3")), int);
    EXPECT_EQ(err, "Queue not responding!!\n");
}

INSTANTIATE_TEST_SUITE_P(Transports, LoopLinkQueueTest, ::testing::Values(false),
                         [](const auto &) { return "Queue"; });

TEST(LoopLinkProgram, SilentWindowEndsTheProgramWithStatus7) {
    LoopServer::Options o;
    o.mode = Mode::silent;
    LoopServer server(o);
    testsupport::RunOptions run;
    run.env["zordefault"] = server.entry(",to=0.5");
    testsupport::RunResult r = testsupport::run_xsat({"-h"}, run);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, "Queue not responding!!\n");
}

} // namespace
