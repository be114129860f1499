// Helpers of the X11 tests: a display (the one in DISPLAY, else a private Xvfb), programs
// run in the background while the kernel waits in its hold loop, a connection of the test's
// own, and reading colours out of captured pictures.
#pragma once

// GoogleTest first: Xlib's macros (None, Bool) would break its declarations.
#include "gks/recording_device.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/image.h"
#include "gks/gks_evnt.h"
#include "gks/gks_loop.h"
#include "gks/gks_x11.h"

namespace x11test {

// Starts a program with its output in out_file (or /dev/null); the child's pid.
inline pid_t spawn(const std::vector<std::string> &argv, const std::string &out_file = "") {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(out_file.empty() ? "/dev/null" : out_file.c_str(),
                      O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        std::vector<char *> args;
        for (const auto &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Waits at most `seconds` for a child; its exit status, or -1 after killing it.
inline int wait_child(pid_t pid, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// A shell command run in the background (xdotool sequences while the kernel holds).
class Background {
  public:
    explicit Background(const std::string &command) : pid_(spawn({"/bin/sh", "-c", command})) {}
    ~Background() {
        if (pid_ > 0)
            wait_child(pid_, 10);
    }
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;

  private:
    pid_t pid_;
};

// An X server of our own, on a display number it picks itself.
class Xvfb {
  public:
    explicit Xvfb(int depth = 24) : owner_(getpid()) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]), screen = "1280x1024x" + std::to_string(depth);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;
    bool ok() const { return !display_.empty(); }
    const std::string &display() const { return display_; }
    pid_t pid() const { return pid_; }
    void stop() {
        // Only the process that started it (death-test children inherit the object).
        if (pid_ > 0 && getpid() == owner_) {
            kill(pid_, SIGTERM);
            wait_child(pid_, 5);
        }
        pid_ = -1;
    }

  private:
    pid_t owner_;
    pid_t pid_ = -1;
    std::string display_;
};

inline bool have_xvfb() {
    return testsupport::have_program("Xvfb");
}

// The display of the X11 tests: DISPLAY when set, else a private Xvfb started once per
// test program. Null when there is neither. A connection stays open for the whole program:
// a server whose last client leaves resets itself and refuses connections meanwhile.
inline const char *test_display() {
    static const std::string display = [] {
        std::string d;
        if (const char *e = std::getenv("DISPLAY"); e && *e) {
            d = e;
        } else if (have_xvfb()) {
            static Xvfb server;
            if (server.ok())
                setenv("DISPLAY", server.display().c_str(), 1);
            d = server.display();
        }
        static Display *keeper = d.empty() ? nullptr : XOpenDisplay(d.c_str());
        return keeper ? d : std::string();
    }();
    return display.empty() ? nullptr : display.c_str();
}

#define XSAT_REQUIRE_DISPLAY()                                                                     \
    if (!::x11test::test_display())                                                                \
    GTEST_SKIP() << "no X display: DISPLAY is not set and Xvfb is not installed"

#define XSAT_REQUIRE_PROGRAM(name)                                                                 \
    if (!::testsupport::have_program(name))                                                        \
    GTEST_SKIP() << name << " is not installed"

// A connection of the test's own, to look at windows and move the pointer.
struct Conn {
    Display *d = XOpenDisplay(nullptr);
    ~Conn() {
        if (d)
            XCloseDisplay(d);
    }
    Conn() = default;
    Conn(const Conn &) = delete;
    Conn &operator=(const Conn &) = delete;
    int depth() const { return DefaultDepth(d, DefaultScreen(d)); }
    void warp(Window w, int x, int y) {
        XWarpPointer(d, None, w, 0, 0, 0, 0, x, y);
        XSync(d, False);
    }
    // Sends a NOTICE client message with one data byte to a window.
    void notice(Window w, int byte) {
        XClientMessageEvent ev{};
        ev.type = ClientMessage;
        ev.window = w;
        ev.message_type = XInternAtom(d, "NOTICE", False);
        ev.format = 8;
        ev.data.b[0] = char(byte);
        XSendEvent(d, w, False, NoEventMask, reinterpret_cast<XEvent *>(&ev));
        XSync(d, False);
    }
};

using RGB = std::array<int, 3>;

// A picture as an independent decoder sees it.
struct Picture {
    int width = 0, height = 0;
    std::vector<RGB> px;
    RGB at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};

// The window's contents written by xwd and decoded by netpbm's xwdtopnm.
inline Picture xwd_picture(unsigned long window, const testsupport::TempDir &dir) {
    Picture pic;
    std::string xwd = dir.file("w.xwd"), ppm = dir.file("w.ppm");
    std::string cmd = "xwd -id " + std::to_string(window) + " -nobdrs -silent -out " + xwd +
                      " && xwdtopnm " + xwd + " > " + ppm + " 2>/dev/null";
    if (testsupport::run_program("/bin/sh", {"-c", cmd}).status != 0)
        return pic;
    std::string data = testsupport::read_file(ppm);
    int maxval = 0, n = 0;
    if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &pic.width, &pic.height, &maxval, &n) != 3 ||
        maxval < 1 || maxval > 65535)
        return Picture{};
    // Samples of one byte, or two (most significant first) above maxval 255.
    size_t bytes = maxval > 255 ? 2 : 1;
    const auto *p = reinterpret_cast<const unsigned char *>(data.data()) + n + 1;
    size_t count = size_t(pic.width) * size_t(pic.height);
    if (data.size() < size_t(n) + 1 + 3 * bytes * count)
        return Picture{};
    auto sample = [&](size_t i) {
        int v = bytes == 2 ? p[2 * i] << 8 | p[2 * i + 1] : p[i];
        return int((long long)v * 255 / maxval);
    };
    for (size_t i = 0; i < count; ++i)
        pic.px.push_back({sample(3 * i), sample(3 * i + 1), sample(3 * i + 2)});
    return pic;
}

// Colour (0..255 per channel) of pixel (x, y) of a captured picture, decoded by its masks
// or its colour table.
inline RGB rgb_at(const IMAGE &im, int x, int y) {
    const uint8_t *p = im.data.data() + size_t(y) * size_t(im.bytes_per_line);
    uint32_t v = 0;
    int bytes = im.bits_per_pixel / 8;
    for (int i = 0; i < bytes; ++i) {
        int k = im.byte_order == 1 ? i : bytes - 1 - i;
        v = v << 8 | p[size_t(x * bytes + k)];
    }
    if (im.color_type == 1 && im.colors && int(v) < im.num_colors) {
        const auto &c = *im.colors;
        return {int(c[3 * v] * 255 + 0.5f), int(c[3 * v + 1] * 255 + 0.5f),
                int(c[3 * v + 2] * 255 + 0.5f)};
    }
    auto chan = [v](uint32_t mask) {
        int shift = __builtin_ctz(mask);
        return int(((v & mask) >> shift) * 255 / (mask >> shift));
    };
    return {chan(im.red_mask), chan(im.green_mask), chan(im.blue_mask)};
}

// Colours match within what the coarsest server (5 or 6 bits a channel) keeps.
inline ::testing::AssertionResult same_colour(RGB got, RGB want) {
    for (size_t i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > 8)
            return ::testing::AssertionFailure()
                   << "got (" << got[0] << "," << got[1] << "," << got[2] << ") want (" << want[0]
                   << "," << want[1] << "," << want[2] << ")";
    return ::testing::AssertionSuccess();
}

// Opens the kernel and an X11 window of w by h whose world coordinates of transformation 1
// are its pixel centres with y upwards (x = column, y = h - 1 - row).
// World coordinates of transformation 1 become the pixel centres of a w by h surface with y
// upwards (x = column, y = h - 1 - row); transformation 1 is selected.
inline void pixel_world(int w, int h) {
    // Workstation window and viewport of the same aspect as the device: no letterbox.
    float r[4] = {0, 1, 0, float(h - 1) / float(w - 1)};
    gset_ws_win(1, r);
    gset_vp(1, r);
    float world[4] = {0, float(w - 1), 0, float(h - 1)};
    gset_win(1, world);
    gsel_norm_tran(1);
}

// Opens the kernel and an X11 window of w by h in pixel world coordinates.
inline int open_window(int w = 320, int h = 200, const char *title = "xsat_test",
                       const char *connection = "") {
    gopen_gks(nullptr);
    gset_win_title(title);
    gset_geometry((std::to_string(w) + "x" + std::to_string(h) + "+0+0").c_str());
    int rc = gopen_ws(1, connection, GWS_WIN);
    if (rc == 0)
        pixel_world(w, h);
    return rc;
}

// Colour index n gets (r, g, b) in 0..1.
inline void colour(int n, float r, float g, float b) {
    float rgb[3] = {r, g, b};
    gset_colr_rep(1, n, rgb);
}

// A filled rectangle in colour index n over pixel columns x0..x1 and rows y0..y1 of an
// h-pixel-high window opened by open_window.
inline void fill_pixels(int n, int x0, int y0, int x1, int y1, int h) {
    gset_fill_colr_ind(n);
    float fy0 = float(h - 1 - y0), fy1 = float(h - 1 - y1);
    float p[10] = {float(x0), fy0, float(x1), fy0, float(x1), fy1, float(x0), fy1, float(x0), fy0};
    gfill_area(5, p);
}

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_graphics();
        gx11_reset_state();
    }
    void TearDown() override {
        gx11_reset_state();
        reset_graphics();
    }
};

} // namespace x11test
