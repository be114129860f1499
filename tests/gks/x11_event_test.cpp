// The hold loop and the events of the window, driven by xdotool (XTEST at the pointer, and
// synthetic events with --window) while the kernel waits.
#include <set>

#include "gks/x11_support.h"

using namespace x11test;

namespace {

struct Call {
    int kind;
    std::string text;
    float x, y;
    float delay;
    int looping, frame;
};

std::vector<Call> &calls() {
    static std::vector<Call> c;
    return c;
}

int record(int kind, const char *text, float x, float y) {
    calls().push_back({kind, text, x, y, gget_loop_delay(), gget_looping(), gget_cur_frame()});
    return 0;
}

class Events : public X11Test {
  protected:
    void SetUp() override {
        X11Test::SetUp();
        calls().clear();
        alarm(60); // a hold that never ends fails the test program instead of blocking it
    }
    void TearDown() override {
        alarm(0);
        X11Test::TearDown();
    }
    static constexpr int W = 160, H = 120;
    // "xdotool ARGS" run in the background after a pause; %w stands for the window.
    static std::string later(const std::string &args) {
        std::string a = args;
        for (size_t p; (p = a.find("%w")) != std::string::npos;)
            a.replace(p, 2, std::to_string(gget_root_window()));
        return "sleep 0.4; xdotool " + a;
    }
    const Call *find(const std::string &text) {
        for (const auto &c : calls())
            if (c.text == text)
                return &c;
        return nullptr;
    }
};

TEST_F(Events, ReturnEndsTheHoldWithThePointerInWorldCoordinates) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    ASSERT_EQ(open_window(W, H), 0);
    gset_mouse_callback(record);
    Conn c;
    c.warp(gget_root_window(), 40, 50);
    Background keys(later("key Return"));
    ghold(0);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].kind, 2);
    EXPECT_EQ(calls()[0].text, "Ret");
    EXPECT_NEAR(calls()[0].x, 40, 0.01);
    EXPECT_NEAR(calls()[0].y, H - 1 - 50, 0.01);
    EXPECT_EQ(gget_input_mode(), 1) << "the hold is over and the input mode idle";
}

// Alt-[ and Alt-] time the loop while it runs and step through it when it is stopped;
// Alt-l toggles it; Alt-q ends the hold.
TEST_F(Events, AltKeysTimeAndStepTheLoop) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    ASSERT_EQ(open_window(W, H), 0);
    gset_mouse_callback(record);
    for (int i = 0; i < 3; ++i)
        gcreate_frame(-1);
    ginc_loop_delay(-0.45f); // 0.05 s
    gset_looping(1);
    Background keys(later("key --window %w --delay 150 alt+bracketleft alt+bracketleft "
                          "alt+bracketright alt+bracketright alt+l alt+bracketright alt+q"));
    ghold(0);
    std::vector<std::string> texts;
    for (const auto &c : calls())
        texts.push_back(c.text);
    ASSERT_EQ(texts, (std::vector<std::string>{"[-Alt", "[-Alt", "]-Alt", "]-Alt", "l-Alt", "]-Alt",
                                               "q-Alt"}));
    const float want[] = {0.10f, 0.20f, 0.10f, 0.05f};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(calls()[size_t(i)].delay, want[i], 1e-4) << "key " << i;
    EXPECT_EQ(calls()[4].looping, 0);
    int stopped_at = calls()[4].frame;
    EXPECT_EQ(calls()[5].frame, (stopped_at + 1) % 3) << "stopped: the next frame";
    EXPECT_EQ(gget_input_mode(), 1);
}

// Buttons carry their modifiers; button 2 toggles looping, button 1 then slows the loop and
// button 3 speeds it up; a shifted drag draws and ends the rubber band; NOTICE 9 ends the
// hold.
TEST_F(Events, ButtonsRubberBandAndClientMessage) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    ASSERT_EQ(open_window(W, H), 0);
    for (int i = 0; i < 3; ++i)
        gcreate_frame(-1);
    gset_mouse_callback([](int kind, const char *text, float x, float y) {
        record(kind, text, x, y);
        if (std::string(text) == "B1-P-Shft")
            gset_rubber_band(2);
        return 0;
    });
    Conn c;
    c.warp(gget_root_window(), 20, 30);
    Background keys(later("click 2 sleep 0.2 keydown shift mousedown 1 mousemove_relative 30 20 "
                          "sleep 0.2 mouseup 1 keyup shift sleep 0.2 click 3"));
    gset_refresh_callback(0.2f, [] {
        if (calls().size() >= 6) {
            Conn c2;
            c2.notice(gget_root_window(), 9);
        }
        return 0;
    });
    ghold(0);
    std::vector<std::string> texts;
    for (const auto &call : calls())
        texts.push_back(call.text);
    ASSERT_EQ(texts,
              (std::vector<std::string>{"B2-P", "B2-R", "B1-P-Shft", "B1-R-Shft", "B3-P", "B3-R"}));
    EXPECT_EQ(calls()[0].looping, 1) << "button 2 toggled looping before the callback";
    EXPECT_NEAR(calls()[2].delay, 0.6f, 1e-4) << "button 1 while looping: slower";
    EXPECT_NEAR(calls()[4].delay, 0.5f, 1e-4) << "button 3 while looping: faster";
    EXPECT_NEAR(calls()[2].x, 20, 0.01);
    EXPECT_NEAR(calls()[2].y, H - 1 - 30, 0.01);
    EXPECT_NEAR(calls()[3].x, 50, 0.01);
    EXPECT_NEAR(calls()[3].y, H - 1 - 50, 0.01);
}

// NOTICE 2 from a drawing program: with no frames, frame 0 is made, looping starts and
// drawing goes to the new frame.
TEST_F(Events, NoticeTwoMakesANewFrame) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(W, H), 0);
    gset_refresh_callback(0.1f, [] {
        Conn c;
        c.notice(gget_root_window(), gget_num_images() == 0 ? 2 : 9);
        return 0;
    });
    ghold(0);
    EXPECT_EQ(gget_num_images(), 1);
    EXPECT_EQ(gget_looping(), 1);
    EXPECT_EQ(gget_draw_window(), gget_frame_id(0));
    std::string extra = "?";
    gget_win_title_extra(&extra);
    EXPECT_EQ(extra, "") << "the \"+\" is gone again";
}

// The hold loop animates looping frames and calls the refresh function on its interval.
TEST_F(Events, HoldLoopAnimatesFramesAndRefreshes) {
    XSAT_REQUIRE_DISPLAY();
    ASSERT_EQ(open_window(W, H), 0);
    for (int i = 0; i < 3; ++i)
        gcreate_frame(-1);
    gset_loop_delay(GFRAME_ALL_BUT_LAST, 0.05f);
    gset_loop_delay(GFRAME_LAST, 0.05f);
    gset_looping(1);
    static std::vector<int> frames;
    frames.clear();
    gset_refresh_callback(0.1f, [] {
        frames.push_back(gget_cur_frame());
        if (frames.size() == 10)
            gset_input_mode(GINPUT_DONE);
        return 0;
    });
    auto t0 = std::chrono::steady_clock::now();
    ghold(0);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_GT(took, 0.8);
    EXPECT_LT(took, 3.0);
    std::set<int> distinct(frames.begin(), frames.end());
    EXPECT_EQ(distinct.size(), 3u) << "every frame was shown";
}

// A size change deletes the frames, re-initialises the kernel and reports the new size to
// the callback; without a callback the redraw store replays the picture.
TEST_F(Events, ResizeReportsTheNewSizeOrReplaysTheStore) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    ASSERT_EQ(open_window(W, H), 0);
    gset_mouse_callback(record);
    gcreate_frame(-1);
    {
        Background keys(later("windowsize %w 200 150 sleep 0.3 key --window %w Return"));
        ghold(0);
    }
    const Call *size = find("size");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->x, 200);
    EXPECT_EQ(size->y, 150);
    EXPECT_EQ(gget_window_width(), 200);
    EXPECT_EQ(gget_num_images(), 0);

    gset_mouse_callback(nullptr);
    pixel_world(200, 150);
    colour(2, 1, 0, 0);
    fill_pixels(2, 0, 0, 199, 149, 150);
    {
        Background keys(later("windowsize %w 240 180 sleep 0.3 key --window %w Return"));
        ghold(0);
    }
    IMAGE got;
    ASSERT_EQ(gget_image(&got), 0);
    EXPECT_EQ(got.nx, 240);
    EXPECT_TRUE(same_colour(rgb_at(got, 120, 90), {255, 0, 0})) << "replayed into the new size";
}

// Alt-z zooms at the pointer, Alt-u unzooms (reporting only when nothing was zoomed),
// Alt-d deletes the current frame, Alt-m writes the redraw store as a metafile.
TEST_F(Events, AltKeysZoomDeleteAndWriteTheMetafile) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    testsupport::TempDir dir;
    setenv("METAOUT", dir.file("out.meta").c_str(), 1);
    ASSERT_EQ(open_window(W, H), 0);
    gset_mouse_callback(record);
    colour(2, 0, 1, 0);
    fill_pixels(2, 10, 10, 20, 20, H);
    gcreate_frame(-1);
    gcreate_frame(-1);
    gdisplay_frame(1);
    Background keys(later("key --window %w --delay 200 alt+z alt+u alt+u alt+d alt+m alt+q"));
    ghold(0);
    unsetenv("METAOUT");
    std::vector<std::string> texts;
    for (const auto &c : calls())
        texts.push_back(c.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"z-Alt", "u-Alt", "d-Alt", "m-Alt", "q-Alt"}));
    EXPECT_EQ(gget_num_images(), 1);
    EXPECT_EQ(gget_zoom(), 1);
    std::string meta = testsupport::read_file(dir.file("out.meta"));
    EXPECT_EQ(meta.rfind("ZORMETA\n", 0), 0u);
    EXPECT_TRUE(has(meta, "FA 5 ")) << "the recorded fill area";
}

// The dump keys hand the window picture to the registered writer under names made from
// the title; without a writer they say so.
TEST_F(Events, DumpKeysWriteThroughTheRegisteredWriter) {
    XSAT_REQUIRE_DISPLAY();
    XSAT_REQUIRE_PROGRAM("xdotool");
    ASSERT_EQ(open_window(W, H, "my pic"), 0);
    static std::vector<std::pair<std::string, int>> written;
    written.clear();
    std::string err = stderr_of([] {
        Background keys(later("key --window %w alt+g sleep 0.2 key --window %w Return"));
        ghold(0);
    });
    EXPECT_TRUE(has(err, "no GIF writer"));
    gset_image_io(nullptr, [](const char *name, const IMAGE *im, int type) {
        written.push_back({name, type});
        return im->nx == W ? 1 : 0;
    });
    Background keys(later("key --window %w alt+g alt+x sleep 0.2 key --window %w Return"));
    ghold(0);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].first, "my_pi.gif");
    EXPECT_EQ(written[0].second, 56);
    EXPECT_EQ(written[1].first, "my_pi.xwd");
    EXPECT_NE(written[1].second, 56);
    EXPECT_NE(written[1].second, 58);
}

} // namespace
