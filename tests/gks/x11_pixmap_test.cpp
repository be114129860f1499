// Pixmap mode against a stand-in for the loop program that owns the window and pixmap: every
// form of window specification, the NOTICE handshake at open and close, panels, and the
// specifications that must fail.
#include <filesystem>
#include <fstream>

#include "gks/x11_support.h"

using namespace x11test;

namespace {

class Pixmap : public X11Test {
  protected:
    testsupport::TempDir dir;
    pid_t owner = -1;
    std::string out;

    // Starts the owner writing its ids in `form` to `file` and waits for the file.
    bool start_owner(const std::string &form, const std::string &file) {
        out = dir.file("owner.out");
        owner = spawn({XSAT_PIXOWNER, dir.file(file), form, "20,20", "100,100", "300,200"}, out);
        for (int i = 0; i < 250; ++i) {
            if (std::filesystem::exists(dir.file(file)) &&
                !testsupport::read_file(dir.file(file)).empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Draws a red rectangle over pixels (10..49, 10..29) of the drawing area, closes with
    // the end-of-drawing message and returns what the owner saw.
    std::string draw_and_close(int w, int h) {
        pixel_world(w, h);
        colour(2, 1, 0, 0);
        fill_pixels(2, 10, 10, 49, 29, h);
        gset_pix_mode(9);
        gclose_ws(1);
        EXPECT_EQ(wait_child(owner, 10), 0);
        owner = -1;
        return testsupport::read_file(out);
    }
    void TearDown() override {
        if (owner > 0)
            wait_child(owner, 0);
        X11Test::TearDown();
    }
};

TEST_F(Pixmap, EveryWindowSpecificationReachesTheOwnersDrawable) {
    XSAT_REQUIRE_DISPLAY();
    struct Case {
        const char *form, *file, *spec, *env;
    } cases[] = {
        {"plus", "zorloop.win", "W", nullptr}, // id file named with the word win
        {"hex", "zorloop.3", "W3", nullptr},   // id file of loop 3, hexadecimal id
        {"plain", "ids.txt", "", nullptr},     // a file name of its own (path below)
        {"plus", "ids.txt", "=", nullptr},     // the numbers themselves
        {"plain", "ids.txt", "=", "zorwindow"}, {"hex", "ids.txt", "=", "WINDOW"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.form) + " " + c.file + " " + c.spec);
        RES_put("file_path", dir.path().c_str());
        ASSERT_TRUE(start_owner(c.form, c.file));
        std::string spec = c.spec;
        if (spec.empty())
            spec = dir.file(c.file);
        else if (spec == "=")
            spec = testsupport::read_file(dir.file(c.file));
        while (!spec.empty() && std::isspace(static_cast<unsigned char>(spec.back())))
            spec.pop_back();
        gset_pix_mode(2);
        gopen_gks(nullptr);
        if (c.env) {
            setenv(c.env, spec.c_str(), 1);
            int rc = GPH_begin(1, "", GWS_PIX);
            unsetenv(c.env);
            ASSERT_EQ(rc, 0);
        } else {
            ASSERT_EQ(gopen_ws(1, ("," + spec).c_str(), GWS_PIX), 0);
        }
        EXPECT_EQ(gget_win_type(), GWS_PIX);
        EXPECT_STREQ(gget_win_title(), "Loop") << "the owner's name up to the extra part";
        std::string seen = draw_and_close(400, 300);
        EXPECT_TRUE(has(seen, "notice 2"));
        EXPECT_TRUE(has(seen, "20,20 255 0 0"));
        EXPECT_TRUE(has(seen, "100,100 0 0 0"));
        GPH_reset_state();
        std::filesystem::remove(dir.file(c.file));
    }
}

TEST_F(Pixmap, PanelPlacesTheDrawingArea) {
    XSAT_REQUIRE_DISPLAY();
    RES_put("file_path", dir.path().c_str());
    ASSERT_TRUE(start_owner("plus", "zorloop.win"));
    gset_geometry("P2x2+1+1"); // bottom right quarter
    gopen_gks(nullptr);
    ASSERT_EQ(gopen_ws(1, ",W", GWS_PIX), 0);
    int w, h, x, y;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);
    std::string seen = draw_and_close(200, 150);
    EXPECT_TRUE(has(seen, "20,20 0 0 0"));
    EXPECT_TRUE(has(seen, "100,100 0 0 0"));
    // Pixel (300, 200) is (100, 50) of the area: outside the rectangle drawn there.
    EXPECT_TRUE(has(seen, "300,200 0 0 0"));
}

TEST_F(Pixmap, BadSpecificationsFailWithTheirMessages) {
    XSAT_REQUIRE_DISPLAY();
    RES_put("file_path", dir.path().c_str());
    dir.write("zorloop.win", "garbage\n");
    gopen_gks(nullptr);
    struct Case {
        const char *connection, *message;
    } cases[] = {
        {"", "window parameters not specified"},
        {",W", "window id not specified"},
        {",W7", "unable to open window id file"},
        {",+abc:1", "window id not specified"},
        {",0x:400x300:0", "window id not specified"},
        {",99999999999:400x300:0", "window id not specified"},
        {",123456:400x300:0", "no drawable of the screen's depth"},
    };
    for (const auto &c : cases) {
        std::string err = stderr_of([&] { EXPECT_EQ(gopen_ws(1, c.connection, GWS_PIX), -1); });
        EXPECT_TRUE(has(err, c.message)) << c.connection;
        EXPECT_FALSE(gchk_graphics());
    }
}

} // namespace
