// Redraw store: recording, segments, replay with event polling, printing to a metafile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "recording_device.h"

namespace {

using testsupport::TempDir;

// A window device that counts event polls and may start a nested redraw from one.
class PollingDevice : public RecordingDevice, public GksInteractive {
  public:
    PollingDevice() : RecordingDevice(GWS_WIN) {}
    GksInteractive *interactive() override { return this; }
    void poll_events() override {
        ++polls;
        if (nest_on_poll) {
            nest_on_poll = false;
            // Recording is off during a replay, so a nested redraw is refused...
            EXPECT_EQ(gobj_redraw_plot(), -1);
            // ...but a print finishing meanwhile ends the replay.
            gobj_print_meta();
        }
    }
    int set_cursor(int n) override {
        int old = cursor;
        cursor = n;
        return old;
    }
    int polls = 0;
    int cursor = 0;
    bool nest_on_poll = false;
};

class StoreTest : public GksTest {
  protected:
    TempDir dir;
    PollingDevice *dev = nullptr;
    void SetUp() override {
        GksTest::SetUp();
        setenv("SOURCE_DATE_EPOCH", "0", 1);
        unsetenv("zorredraw");
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
    }
    void TearDown() override {
        unsetenv("SOURCE_DATE_EPOCH");
        unsetenv("METAOUT");
        unsetenv("zorredraw");
        GksTest::TearDown();
    }
    void open_window() {
        gopen_gks(nullptr);
        gset_win_size(640, 512);
        auto d = std::make_unique<PollingDevice>();
        dev = d.get();
        ASSERT_EQ(gopen_ws_device(std::move(d)), 0);
    }
    static std::vector<int> types() {
        std::vector<int> t;
        for (const auto &o : gget_objects())
            t.push_back(o.type);
        return t;
    }
};

// The same picture for the window (recorded) and for a metafile written directly.
void draw_picture() {
    float red[3] = {1, 0, 0};
    gset_colr_rep(1, 5, red);
    gset_line_colr_ind(5);
    float w[4] = {0, 10, 0, 10}, v[4] = {0.1f, 0.9f, 0.1f, 0.9f};
    gset_win(1, w);
    gset_vp(1, v);
    gsel_norm_tran(1);
    float p[6] = {1, 1, 5, 9, 9, 1};
    gpolyline(3, p);
    gset_marker_type(3);
    gpolymarker(2, p);
    gset_fill_colr_ind(5);
    gfill_area(3, p);
    float pos[2] = {5, 5};
    gset_char_ht(0.5f);
    gtext(pos, "store");
    gmessage(1, "done");
}

TEST_F(StoreTest, CallsAreRecordedInOrderAndReplayed) {
    open_window();
    draw_picture();
    std::vector<int> expected = {GOBJ_COLR_REP,  GOBJ_LINE_COLR, GOBJ_WIN,         GOBJ_VP,
                                 GOBJ_SEL_TRAN,  GOBJ_POLYLINE,  GOBJ_MARKER_TYPE, GOBJ_POLYMARKER,
                                 GOBJ_FILL_COLR, GOBJ_FILL_AREA, GOBJ_CHAR_HT,     GOBJ_TEXT,
                                 GOBJ_MESSAGE};
    EXPECT_EQ(types(), expected);
    const auto &o = gget_objects();
    EXPECT_EQ(o[0].value, 5);
    EXPECT_EQ(o[4].value, 1);
    EXPECT_EQ(o[5].value, 3);
    EXPECT_EQ(o[5].data.size(), 6 * sizeof(float));

    auto lines = dev->lines;
    size_t fills = dev->fills.size(), text_lines = dev->text_lines.size();
    ASSERT_GT(text_lines, 0u);
    dev->lines.clear();
    // Attributes go back to their defaults first, so the replay sets them again.
    gset_linetype(4);
    EXPECT_EQ(gobj_redraw_plot(), 0);
    EXPECT_EQ(gget_redrawn(), 1);
    ASSERT_EQ(dev->lines.size(), lines.size());
    EXPECT_FLOAT_EQ(dev->lines[0][1].y, lines[0][1].y);
    EXPECT_EQ(dev->fills.size(), 2 * fills);
    EXPECT_EQ(dev->text_lines.size(), 2 * text_lines);
    EXPECT_EQ(gget_linetype(), 4);
    EXPECT_EQ(gget_line_colr(), 5);
    EXPECT_EQ(dev->cursor, 0); // restored after the busy cursor
    EXPECT_EQ(gget_redraw(), 1);

    gclear_ws(1, 1); // clearing the window empties the store
    EXPECT_TRUE(gget_objects().empty());
    gset_redraw(0);
    EXPECT_EQ(gobj_redraw_plot(), -1);
}

TEST_F(StoreTest, DeletingASegmentRemovesItsObjects) {
    open_window();
    float p[4] = {0, 0, 1, 1};
    gpolyline(2, p);
    gcreate_seg(7);
    gpolyline(2, p);
    gset_linetype(3);
    gclose_seg(7);
    gcreate_seg(8);
    gpolyline(2, p);
    gclose_seg(8);
    ASSERT_EQ(gget_objects().size(), 8u);
    EXPECT_EQ(gdel_seg(7), 0);
    const std::vector<int> kept = {GOBJ_POLYLINE, GOBJ_SEG_OPEN, GOBJ_POLYLINE, GOBJ_SEG_CLOSE};
    EXPECT_EQ(types(), kept);
    EXPECT_EQ(gget_objects()[1].value, 8);
    gdel_seg(99); // no such segment: nothing happens
    EXPECT_EQ(types(), kept);
}

TEST_F(StoreTest, EventsArePolledWhileRecordingAndReplaying) {
    open_window();
    float p[4] = {0, 0, 1, 1};
    int before = dev->polls;
    ASSERT_EQ(gget_num_objects(), 0);
    for (int i = 0; i < 1000; ++i)
        gpolyline(2, p);
    EXPECT_EQ(dev->polls - before, 2);
    before = dev->polls;
    gobj_redraw_plot();
    // 1000 objects replayed: a poll every 200, and one at the end.
    EXPECT_EQ(dev->polls - before, 6);

    // A print started from an event during a replay ends the replay early.
    setenv("METAOUT", dir.file("during.meta").c_str(), 1);
    dev->lines.clear();
    dev->nest_on_poll = true;
    gobj_redraw_plot();
    EXPECT_EQ(dev->lines.size(), 200u);
    std::string printed = testsupport::read_file(dir.file("during.meta"));
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 4 + 1000);
}

TEST_F(StoreTest, CallbacksAreReplayedInOrderWithTheirArguments) {
    static std::vector<std::pair<int, int>> calls; // (callback, argument)
    calls.clear();
    GRedrawFunc first = [](void *arg) { calls.push_back({1, *static_cast<int *>(arg)}); };
    GRedrawFunc second = [](void *arg) { calls.push_back({2, *static_cast<int *>(arg)}); };
    static int a = 10, b = 20;
    open_window();
    float p[4] = {0, 0, 1, 1};
    ASSERT_EQ(gset_redraw_func(first, &a), 0);
    gpolyline(2, p);
    ASSERT_EQ(gset_redraw_func(second, &b), 0);
    ASSERT_EQ(gset_redraw_func(first, &b), 0);
    EXPECT_TRUE(calls.empty()) << "registering must not call";
    const std::vector<std::pair<int, int>> once = {{1, 10}, {2, 20}, {1, 20}};
    gobj_redraw_plot();
    EXPECT_EQ(calls, once);
    // A print replays them as well.
    calls.clear();
    setenv("METAOUT", dir.file("callbacks.meta").c_str(), 1);
    ASSERT_EQ(gobj_print_meta(), 0);
    EXPECT_EQ(calls, once);
    // Not recording: refused, nothing kept.
    gset_redraw(0);
    EXPECT_EQ(gset_redraw_func(second, &a), -1);
    gset_redraw(1);
    calls.clear();
    gobj_redraw_plot();
    EXPECT_EQ(calls, once);
}

TEST_F(StoreTest, PrintingTheStoreWritesTheSameMetafileAsDrawingIntoOne) {
    std::string direct = dir.file("direct.meta");
    gopen_gks(nullptr);
    ASSERT_EQ(gopen_ws(1, direct.c_str(), GWS_META), 0);
    draw_picture();
    gclose_ws(1);

    open_window();
    draw_picture();
    float p[4] = {0, 0, 1, 1};
    gset_linetype(2);
    std::string printed = dir.file("printed.meta");
    setenv("METAOUT", printed.c_str(), 1);
    // Printing must leave the window's state as it was.
    ASSERT_EQ(gobj_print_meta(), 0);
    EXPECT_EQ(gget_linetype(), 2);
    EXPECT_TRUE(gtype_is_WIN());
    EXPECT_EQ(gget_device(), dev);
    EXPECT_EQ(gget_redraw(), 1);
    EXPECT_EQ(gpolyline(2, p), 0);
    // The printed file holds the recorded picture, then the line type of the last call.
    std::string d = testsupport::read_file(direct);
    std::string pr = testsupport::read_file(printed);
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(pr, d + "PL_TYPE 2\n");
}

TEST_F(StoreTest, EmptyStoreAndRecordingSwitchedOff) {
    setenv("zorredraw", "no", 1);
    open_window();
    float p[4] = {0, 0, 1, 1};
    gpolyline(2, p);
    EXPECT_TRUE(gget_objects().empty());
    EXPECT_EQ(gobj_redraw_plot(), -1);
    std::string printed = dir.file("empty.meta");
    setenv("METAOUT", printed.c_str(), 1);
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gobj_print_meta(), 0); }),
                    "gobj_print_meta: No redraw data to make metafile from\n"));
    EXPECT_EQ(testsupport::read_file(printed), kMetaHeader);
}

TEST_F(StoreTest, PrintFailures) {
    open_window();
    setenv("METAOUT", (dir.write("plain", "x") + "/out.meta").c_str(), 1);
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gobj_print_meta(), -1); }),
                    "gprint_meta: unable to open metafile\n"));
    EXPECT_EQ(gget_redraw(), 1);
    if (!gks_find_device(GWS_PS)) {
        EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gobj_print_plot(), -1); }), "gprint_plot:"));
    }
    EXPECT_EQ(gget_device(), dev);
}

} // namespace
