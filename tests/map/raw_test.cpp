// Raw station-data overlay: stations found by key or position, values placed around the
// station circle, priority and bad lines.
#include "map/raw.h"

#include <gtest/gtest.h>

#include "gks/recording_device.h"
#include "map/cty_tool.h"
#include "map/maptran.h"
#include "map/region.h"

namespace {

struct Text {
    std::string s;
    float x, y;
    int h, v, color;
};

class TextDevice : public RecordingDevice {
  public:
    TextDevice() : RecordingDevice(GWS_PS) {}
    int text(GPoint pos, const std::string &s) override {
        int a[2] = {0, 0};
        ginq_text_align(nullptr, a);
        texts.push_back({s, pos.x, pos.y, a[0], a[1], gget_text_colr()});
        return 0;
    }
    std::vector<Text> texts;
};

class RawFile : public GksTest {
  protected:
    void SetUp() override {
        GksTest::SetUp();
        CTY_reset_state();
        MAP_reset_state();
        DOM_reset_state();
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
        RES_put("city_file", dir.write("c.cty", "Denver CO US KDEN 2 39.87 -104.67 1656 72565 0\n"
                                                "Boulder CO US KBDU 4 40.04 -105.23 1611 72469 0\n"
                                                "Paris -- FR LFPG 2 49.01 2.55 119 07157 0\n")
                                 .c_str());
        gopen_gks(nullptr);
        auto d = std::make_unique<TextDevice>();
        dev = d.get();
        gopen_ws_device(std::move(d));
        CLR_read_table(nullptr);
        // Latitude-longitude plot: x = lon + 100 over -10..10, y = lat over 35..45.
        DOMAIN dom;
        DOM_init(&dom);
        std::tie(dom.proj, dom.clat, dom.clon, dom.nx, dom.ny, dom.dx, dom.dy) =
            std::tuple(2, 40.0f, -100.0f, 21, 11, 1.0f, 1.0f);
        MAP_domain(&dom);
        const float win[4] = {-10, 10, 35, 45};
        gset_win(2, win);
        gsel_norm_tran(2);
    }
    void TearDown() override {
        CTY_reset_state();
        MAP_reset_state();
        DOM_reset_state();
        GksTest::TearDown();
    }
    testsupport::TempDir dir;
    TextDevice *dev = nullptr;
};

TEST_F(RawFile, ValuesAroundStations) {
    const std::string path = dir.write("obs.raw", "ZORRAW surface observations\n"
                                                  "# temperature dew-point pressure tendency\n"
                                                  "attr red:h2\n"
                                                  "KDEN 12 -3 1013 M\n"
                                                  "72469 5\n"
                                                  "LFPG 9\n"
                                                  "KXXX 1\n"
                                                  "40.5/-100.5 7\n"
                                                  "40.5/east 7\n");
    testsupport::Capture err(2);
    EXPECT_EQ(RAW_plot_file(path.c_str(), 0), 2) << "Boulder's priority 4 is above the plot's 3";
    EXPECT_EQ(err.text(), "RAW_plot_file: " + path + " line 9: bad position\n");
    // Height 2 x 1.2 % of the window's 10 units: circle radius and gaps 0.3 of it.
    const float ch = 0.24f, r = 0.3f * ch, lift = 0.15f * ch, x = -4.67f, y = 39.87f;
    ASSERT_EQ(dev->texts.size(), 4u);
    const struct {
        const char *s;
        float x, y;
        int h, v;
    } want[] = {{"12", x - 2 * r, y + lift, 3, 5},
                {"-3", x - 2 * r, y - lift, 3, 1},
                {"1013", x + 2 * r, y + lift, 1, 5},
                {"7", -0.5f - 2 * r, 40.5f + lift, 3, 5}};
    for (size_t i = 0; i < 4; ++i) {
        const Text &t = dev->texts[i];
        EXPECT_EQ(t.s, want[i].s);
        EXPECT_NEAR(t.x, want[i].x, 1e-3f) << t.s;
        EXPECT_NEAR(t.y, want[i].y, 1e-3f) << t.s;
        EXPECT_EQ(std::pair(t.h, t.v), std::pair(want[i].h, want[i].v)) << t.s;
        EXPECT_EQ(t.color, CLR_get_ind("red")) << t.s;
    }
    ASSERT_EQ(dev->lines.size(), 2u) << "one circle per station";
    EXPECT_NEAR(dev->lines[0][0].x, x + r, 1e-3f);

    DOM_set_prior(5);
    CTY_reset_state();
    dev->texts.clear();
    EXPECT_EQ(RAW_plot_file(path.c_str(), 0), 3);
}

TEST_F(RawFile, NotARawFile) {
    testsupport::Capture err(2);
    const std::string other = dir.write("x.raw", "ZORGRID\nKDEN 1\n");
    EXPECT_EQ(RAW_plot_file(other.c_str(), 0), -1);
    EXPECT_EQ(RAW_plot_file(dir.file("absent").c_str(), 0), -1);
    EXPECT_EQ(err.text(), "RAW_plot_file: " + other + " is no raw station file\n" +
                              "RAW_plot_file: Unable to open raw file: " + dir.file("absent") +
                              "\n");
    EXPECT_TRUE(dev->texts.empty());
}

} // namespace
