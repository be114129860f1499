// The X11 window workstation on a real server: what is drawn and loaded reaches the window
// in the right colours at the right pixels (checked through our capture and through xwd
// with netpbm's decoder), and the ways the server can fail us end as documented.
#include <csignal>

#include "gks/x11_support.h"

using namespace x11test;

namespace {

const RGB kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

// An image record of n by m pixels with the given bits per pixel and raw rows.
IMAGE record(int nx, int ny, int bpp, std::vector<uint8_t> rows, std::vector<float> table = {}) {
    IMAGE im;
    im.nx = nx;
    im.ny = ny;
    im.bits_per_pixel = bpp;
    im.bytes_per_line = int(rows.size()) / ny;
    im.data.assign(rows.begin(), rows.end());
    if (!table.empty()) {
        im.num_colors = int(table.size() / 3);
        im.colors = std::make_shared<std::vector<float>>(std::move(table));
        im.color_type = 1;
    }
    return im;
}

class Window : public X11Test {};

TEST_F(Window, DrawnPrimitivesReachTheWindow) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(320, 200, "xsat_pic"), 0);
    colour(2, 1, 0, 0);
    colour(3, 0, 1, 0);
    colour(4, 0, 0, 1);
    fill_pixels(2, 10, 20, 59, 69, 200);
    fill_pixels(4, 200, 150, 299, 189, 200);
    gset_line_colr_ind(3);
    float line[4] = {10, 99, 300, 99}; // row 100
    gpolyline(2, line);
    gupdate_window();
    gsync();

    Conn c;
    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(c.d, gget_root_window(), &wa));
    EXPECT_EQ(wa.width, 320);
    EXPECT_EQ(wa.height, 200);
    EXPECT_EQ(wa.border_width, 5);
    char *name = nullptr;
    XFetchName(c.d, gget_root_window(), &name);
    EXPECT_STREQ(name, "xsat pic") << "underscores are shown as blanks";
    XFree(name);
    XClassHint hint;
    ASSERT_TRUE(XGetClassHint(c.d, gget_root_window(), &hint));
    EXPECT_STREQ(hint.res_class, "Zor");
    EXPECT_STREQ(hint.res_name, "X11_Graph");
    XFree(hint.res_name);
    XFree(hint.res_class);
    XSizeHints size;
    long supplied;
    ASSERT_TRUE(XGetWMNormalHints(c.d, gget_root_window(), &size, &supplied));
    EXPECT_TRUE(size.flags & USSize) << "the geometry gave the size";
    EXPECT_TRUE(size.flags & USPosition) << "and the position";
    XWMHints *wm = XGetWMHints(c.d, gget_root_window());
    ASSERT_TRUE(wm);
    EXPECT_EQ(wm->initial_state, NormalState);
    EXPECT_NE(wm->icon_pixmap, 0u);
    XFree(wm);

    struct Probe {
        int x, y;
        RGB want;
    } probes[] = {{10, 20, kRed},     {59, 69, kRed},     {60, 70, kBlack}, {250, 170, kBlue},
                  {150, 100, kGreen}, {150, 101, kBlack}, {5, 5, kBlack}};
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    ASSERT_EQ(got.nx, 320);
    for (const auto &p : probes)
        EXPECT_TRUE(same_colour(rgb_at(got, p.x, p.y), p.want)) << p.x << "," << p.y;

    if (!testsupport::have_program("xwdtopnm") || !testsupport::have_program("xwd"))
        GTEST_SKIP() << "xwd or netpbm's xwdtopnm is not installed";
    testsupport::TempDir dir;
    Picture pic = xwd_picture(gget_root_window(), dir);
    ASSERT_EQ(pic.width, 320) << "xwd or xwdtopnm failed";
    for (const auto &p : probes)
        EXPECT_TRUE(same_colour(pic.at(p.x, p.y), p.want)) << "xwd " << p.x << "," << p.y;
}

// Every record format lands where it is placed, in its own colours; overlays leave the
// transparent colour's pixels alone.
TEST_F(Window, ImagesInEveryRecordFormat) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(320, 200), 0);
    colour(4, 0, 0, 1);
    const std::vector<float> table = {0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0};
    // 8 bits: red green / green red.
    IMAGE i8 = record(2, 2, 8, {2, 3, 3, 2}, table);
    // 4 bits: values 2 3 in one byte (first pixel in the high nibble).
    IMAGE i4 = record(2, 1, 4, {0x23}, table);
    // 1 bit: 1 0 1 0 0 0 0 0 -> white black white black.
    IMAGE i1 = record(4, 1, 1, {0xa0}, table);
    // 24 bits, red mask first byte: blue, then green.
    IMAGE i24 = record(2, 1, 24, {0, 0, 255, 0, 255, 0});
    i24.red_mask = 0xff0000;
    i24.green_mask = 0x00ff00;
    i24.blue_mask = 0x0000ff;
    i24.byte_order = 1;

    EXPECT_EQ(gload_image(&i8, 10, 10), 0);
    EXPECT_EQ(gload_image(&i4, 20, 10), 0);
    EXPECT_EQ(gload_image(&i1, 30, 10), 0);
    EXPECT_EQ(gload_image(&i24, 40, 10), 0);
    EXPECT_EQ(gload_image(&i8, -10, -10), 0) << "from the right and bottom edges";
    fill_pixels(4, 100, 100, 109, 109, 200);
    EXPECT_EQ(goverlay_image_color(&i8, "red", 100, 100), 0);
    IMAGE bad = record(4, 4, 8, {1, 2});
    EXPECT_EQ(gload_image(&bad, 0, 0), -1) << "too few pixels for its size";

    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    struct Probe {
        int x, y;
        RGB want;
    } probes[] = {
        {10, 10, kRed},
        {11, 10, kGreen},
        {10, 11, kGreen},
        {11, 11, kRed},
        {20, 10, kRed},
        {21, 10, kGreen},
        {30, 10, {255, 255, 255}},
        {31, 10, kBlack},
        {32, 10, {255, 255, 255}},
        {40, 10, kBlue},
        {41, 10, kGreen},
        {308, 188, kRed},
        {309, 188, kGreen},
        {100, 100, kBlue},
        {101, 100, kGreen},
        {100, 101, kGreen},
        {101, 101, kBlue},
    };
    for (const auto &p : probes)
        EXPECT_TRUE(same_colour(rgb_at(got, p.x, p.y), p.want)) << p.x << "," << p.y;
}

// Image files come through the registered reader, captures go to the registered writer.
TEST_F(Window, ImageFilesGoThroughTheRegisteredReaderAndWriter) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(64, 48), 0);
    std::string err = stderr_of([] { EXPECT_EQ(gload_image_file("a.gif", 0, 0), -1); });
    EXPECT_TRUE(has(err, "gload_image_file: a.gif: no image file reader"));
    static std::vector<std::string> log;
    log.clear();
    gset_image_io(
        [](const char *name, IMAGE *im, int mode) {
            log.push_back(std::string("read ") + name + " " + std::to_string(mode));
            *im = record(2, 1, 8, {2, 3}, {0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0});
            return 1;
        },
        [](const char *name, const IMAGE *im, int type) {
            log.push_back(std::string("write ") + name + " " + std::to_string(type) + " " +
                          std::to_string(im->nx) + "x" + std::to_string(im->ny));
            return 1;
        });
    EXPECT_EQ(gload_image_file("a.gif", 5, 6), 0);
    EXPECT_EQ(goverlay_image_file("b.gif", "red", 5, 7), 0);
    IMAGE head;
    EXPECT_EQ(gquery_image_file("c.gif", &head), 1);
    EXPECT_EQ(gsave_image_file("out.gif"), 1);
    gset_save_image_type(58);
    EXPECT_EQ(gsave_image_file("out.png"), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"read a.gif 0", "read b.gif 0", "read c.gif 1",
                                             "write out.gif 56 64x48", "write out.png 58 64x48"}));
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    EXPECT_TRUE(same_colour(rgb_at(got, 5, 6), kRed));
    EXPECT_TRUE(same_colour(rgb_at(got, 6, 6), kGreen));
    EXPECT_TRUE(same_colour(rgb_at(got, 5, 7), kBlack)) << "red is transparent in the overlay";
    EXPECT_TRUE(same_colour(rgb_at(got, 6, 7), kGreen));
}

TEST_F(Window, BackgroundFromSetUpAndInverseFromEnvironment) {
    XSAT_REQUIRE_DISPLAY();
    gset_background("blue");
    ASSERT_EQ(open_window(64, 48), 0);
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    EXPECT_TRUE(same_colour(rgb_at(got, 3, 3), kBlue));
    gx11_reset_state();
    reset_graphics();

    setenv("zorinverse", "1", 1);
    int rc = open_window(64, 48);
    unsetenv("zorinverse");
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(gget_image(&got), 0);
    EXPECT_TRUE(same_colour(rgb_at(got, 3, 3), {255, 255, 255}));
    EXPECT_EQ(gget_inverse(), 1);
}

// A private colormap (zorlocal_cmap) is installed on the window and holds its colours.
TEST_F(Window, PrivateColormapHoldsTheColours) {
    XSAT_REQUIRE_DISPLAY();
    setenv("zorlocal_cmap", "1", 1);
    int rc = open_window(64, 48);
    unsetenv("zorlocal_cmap");
    ASSERT_EQ(rc, 0);
    EXPECT_NE(gget_user_cmap(), 0u);
    Conn c;
    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(c.d, gget_root_window(), &wa));
    EXPECT_EQ(wa.colormap, gget_user_cmap());
    colour(2, 1, 0, 0);
    colour(3, 0, 0, 1);
    fill_pixels(2, 0, 0, 31, 47, 48);
    fill_pixels(3, 32, 0, 63, 47, 48);
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    EXPECT_TRUE(same_colour(rgb_at(got, 10, 10), kRed));
    EXPECT_TRUE(same_colour(rgb_at(got, 50, 10), kBlue));
}

TEST_F(Window, ServerFontTextIsAligned) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(320, 200), 0);
    gset_font_list("#fixed");
    gsetup_fonts();
    ASSERT_EQ(gget_font_type(), 2) << "the server's fixed font";
    colour(2, 1, 1, 1);
    gset_text_colr_ind(2);
    int centre[2] = {2, 3};
    gset_text_align(centre);
    float pos[2] = {160, 99}; // pixel (160, 100)
    gtext(pos, "HHHHHHHH");
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    int x0 = 9999, x1 = -1, y0 = 9999, y1 = -1;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (rgb_at(got, x, y)[0] > 128) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, 0) << "nothing drawn";
    EXPECT_NEAR((x0 + x1) / 2.0, 160, 3);
    EXPECT_NEAR((y0 + y1) / 2.0, 100, 4);
}

TEST_F(Window, OpenFailuresAreReported) {
    XSAT_REQUIRE_DISPLAY();
    gopen_gks(nullptr);
    std::string err = stderr_of([] { EXPECT_EQ(gopen_ws(1, ":97,x", GWS_WIN), -1); });
    EXPECT_TRUE(has(err, "gopen_ws: unable to connect to display"));
    EXPECT_FALSE(gchk_graphics());
    err = stderr_of([] { EXPECT_EQ(GPH_begin(1, ":97", GWS_WIN), -1); });
    EXPECT_TRUE(has(err, "GPH_begin: Error opening workstation"));
    gopen_gks(nullptr);

    gset_geometry("99999x20+5+5");
    err = stderr_of([] { EXPECT_EQ(gopen_ws(1, "", GWS_WIN), 0); });
    EXPECT_TRUE(has(err, "geometry out of range: 99999x20+5+5"));
    EXPECT_EQ(gget_window_width(), 640) << "the default size stands";
}

// Draws into a drawable that does not exist until the errors end the program.
void draw_into_nothing() {
    open_window(64, 48);
    gset_draw_window(0x1ffffff0);
    float line[4] = {0, 0, 10, 10};
    for (int i = 0; i < 30; ++i) {
        gpolyline(2, line);
        gsync();
    }
    std::exit(0);
}

// Holds a looping window while the server is killed under it.
void hold_while_killed(const std::string &display, pid_t server) {
    alarm(20); // a hang fails the test instead of blocking it
    if (open_window(64, 48, "doomed", display.c_str()) != 0)
        std::exit(1);
    for (int i = 0; i < 3; ++i)
        gcreate_frame(-1);
    gset_looping(1);
    Background killer("sleep 1; kill -9 " + std::to_string(server));
    ghold(0);
    std::exit(0);
}

TEST_F(Window, TwentyFifthXErrorEndsWithStatus4) {
    XSAT_REQUIRE_DISPLAY();
    EXPECT_EXIT(draw_into_nothing(), ::testing::ExitedWithCode(4), "X11 error: .*too many errors");
}

TEST_F(Window, LostServerUnderAHoldingLoopEndsWithStatus4) {
    if (!have_xvfb())
        GTEST_SKIP() << "Xvfb is not installed";
    Xvfb server;
    ASSERT_TRUE(server.ok());
    EXPECT_EXIT(hold_while_killed(server.display(), server.pid()), ::testing::ExitedWithCode(4),
                "Fatal X11 Error");
}

} // namespace
