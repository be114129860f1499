// Colour enhancement: infrared scales against the published relations, entry forms,
// enhancement files, grey PostScript values, recolouring, and the colour bar as
// written to a text metafile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "base/mess.h"
#include "base/resrc.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "gks/gks_meta.h"
#include "gks/gph.h"
#include "plot/plt_tool.h"
#include "sat/dither.h"
#include "sat/sat_color.h"
#include "sat/sat_tool.h"
#include "support/test_support.h"

namespace {

class SatColor : public ::testing::Test {
  protected:
    void SetUp() override {
        reset();
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
        ASSERT_GT(CLR_read_table(nullptr), 30);
    }
    void TearDown() override { reset(); }
    static void reset() {
        gks_reset_state();
        gmeta_reset_state();
        GPH_reset_state();
        CLR_reset_state();
        RES_reset_state();
        MESS_reset_state();
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR | MESS_PRINT));
        SAT_reset_state();
        SAT_color_reset_state();
        PLT_reset_state();
    }
    static int ind(const char *name) { return CLR_get_ind(name); }
    // Set-up from a "color_fill" value (a single value without '-' names a file).
    static void setup(const char *color_fill) {
        RES_put("color_fill", color_fill);
        SAT_color_setup();
    }
    static int value(int count) { return SAT_color_count_value(count); }
    static std::vector<int> values(std::initializer_list<int> counts) {
        std::vector<int> v;
        for (int c : counts)
            v.push_back(value(c));
        return v;
    }
    // First counts of all bins and the end bound.
    static std::vector<int> breaks() {
        std::vector<int> v;
        for (int b = 0; b <= SAT_color_max() + 1; ++b)
            v.push_back(SAT_color_break(b));
        return v;
    }
};
using V = std::vector<int>;

TEST_F(SatColor, InfraredScales) {
    // AREA and GINI: published 8-bit brightness relation T = (660 - B) / 2 K up to
    // B = 176, 418 - B K above; the scale's 273 K zero is 0.15 K off 273.15 K.
    for (int source : {SAT_IN_AREA, SAT_IN_AWIP}) {
        SAT_params().imager_source = source;
        const std::pair<float, int> by_hand[] = {{50, 14},      {20.5f, 73},   {0, 114},
                                                 {-10.3f, 134}, {-30, 174},    {-30.5f, 175},
                                                 {-40, 185},    {-75.2f, 220}, {-110, 255}};
        for (auto [t, count] : by_hand)
            EXPECT_EQ(SAT_ir_ind(t), count) << t;
        for (int v = 0; v < 256; ++v) {
            EXPECT_NEAR(SAT_ind_ir(v) + 273.15, v <= 176 ? (660.0 - v) / 2 : 418.0 - v, 0.151);
            EXPECT_EQ(SAT_ir_ind(SAT_ind_ir(v)), v) << "round trip " << v;
        }
    }
    // Raster: inverted GVAR 10-bit count over 4 of the GOES-8 imager 10.7 um channel,
    // count = m R + b (m = 5.2285, b = 15.6854), R the Planck radiance at 934.30 cm-1.
    SAT_params().imager_source = SAT_IN_RASTER;
    const std::pair<float, int> python[] = {{50, 50},   {30, 99},   {0, 158},   {-20, 189},
                                            {-40, 212}, {-60, 228}, {-80, 240}, {-100, 246}};
    for (auto [t, count] : python)
        EXPECT_EQ(SAT_ir_ind(t), count) << t;
    const double nu = 934.30, c1 = 1.191066e-5, c2 = 1.438833;
    for (int c = -100; c <= 50; c += 5) {
        const double radiance = c1 * nu * nu * nu / (std::exp(c2 * nu / (c + 273.15)) - 1);
        EXPECT_NEAR(SAT_ir_ind(float(c)), 255 - (5.2285 * radiance + 15.6854) / 4, 1.0) << c;
    }
    for (auto [count, t] : {std::pair{0, 67.787080}, {200, -29.607174}, {250, -129.716242}})
        EXPECT_NEAR(SAT_ind_ir(count), t, 1e-3) << count;
    EXPECT_EQ(SAT_ind_ir(252), -9999.0f) << "past the end of the scale";
    for (float bad : {-9999.0f, -273.15f, 1e30f, NAN})
        SAT_ir_ind(bad); // defined results, no undefined conversions
    // Other sources have no scale.
    SAT_params().imager_source = SAT_IN_TIFF;
    EXPECT_EQ(SAT_ir_ind(-40), 0);
    EXPECT_EQ(SAT_ind_ir(200), 0.0f);
}

TEST_F(SatColor, Defaults) {
    SAT_color_setup();
    EXPECT_EQ(SAT_color_max(), 15);
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(value(v), v / 16) << v;
    EXPECT_EQ(SAT_color_fill(3), 1003) << "default bins are ramp bins";

    // A colour table with five fill colours (named by "color_table", ending at END).
    testsupport::TempDir dir;
    dir.write("five.clr", "black 0 0 0\nwhite 1 1 1\nred 1 0 0\ngreen 0 1 0\nblue 0 0 1\n"
                          "END\nyellow 1 1 0\n");
    RES_put("file_path", dir.path().c_str());
    RES_put("color_table", "five.clr");
    CLR_read_table(nullptr);
    ASSERT_EQ(CLR_get_num_fill(), 5);
    SAT_color_setup();
    EXPECT_EQ(breaks(), (V{0, 42, 85, 128, 170, 213, 256})) << "256 k / 6";
    EXPECT_EQ(SAT_color_fill(4), 4) << "fill colours without ramp flag";
    EXPECT_EQ(SAT_color_fill(5), 1005);
    EXPECT_EQ(values({41, 42}), (V{0, 1}));
}

TEST_F(SatColor, EntryForms) {
    setup("10:red,blue");
    EXPECT_EQ(breaks(), (V{10, 133, 256})) << "halfway from 10 to 256";
    EXPECT_EQ(values({0, 132, 133}), (V{ind("red"), ind("red"), ind("blue")})) << "0: bin 0";
    setup("red,green,100:blue,yellow,cyan,200:white");
    EXPECT_EQ(breaks(), (V{0, 50, 100, 133, 166, 200, 256}));

    SAT_params().imager_source = SAT_IN_AREA;
    setup("cyan,c-30:red,c-40:green"); // 'c' without ':' is a colour
    EXPECT_EQ(value(0), ind("cyan"));
    EXPECT_EQ(std::pair(SAT_color_break(1), SAT_color_break(2)), std::pair(174, 185));

    setup("gray10-gray30,red");
    const int first = ind("gray10");
    EXPECT_EQ(SAT_color_max(), 5);
    for (int b = 0; b < 5; ++b)
        EXPECT_EQ(SAT_color_fill(b), first + b + 1000);
    EXPECT_EQ(SAT_color_fill(5), ind("red"));
    setup("gray30-gray10,red");
    EXPECT_EQ(SAT_color_fill(1), first + 3 + 1000);
    EXPECT_EQ(value(0), first + 4) << "the ramp flag is not a pixel value";

    setup("red%4blue,green%zyellow,white%?black");
    EXPECT_EQ(SAT_get_dither_mode(), DITHER_3) << "the first dithered entry has a digit";
    int second = 0, level = SAT_color_count_dither(0, &second);
    EXPECT_EQ(std::pair(level, second), std::pair(4, ind("blue")));
    for (int count : {100, 200})
        EXPECT_EQ(SAT_color_count_dither(count, nullptr), 9) << "levels clamp to 0-9";
    setup("red%ablue,red%9blue");
    EXPECT_EQ(SAT_get_dither_mode(), DITHER_3) << "kept for the run";
    SAT_color_reset_state();
    setup("red%?blue,red%eblue,red%9blue");
    EXPECT_EQ(SAT_get_dither_mode(), DITHER_5) << "'?' chooses nothing, 'e' letters";
    for (auto [count, level] : {std::pair{0, 0}, {100, 4}, {200, 0}})
        EXPECT_EQ(SAT_color_count_dither(count, nullptr), level) << "levels clamp to 0-25";
}

TEST_F(SatColor, BadEntries) {
    setup("nosuchcolour,red");
    EXPECT_EQ(SAT_color_fill(0), -1);
    setup("0-255,1-200"); // past bin 255 nothing more is taken
    EXPECT_EQ(SAT_color_max(), 255);
    setup("nosuchcolour-red,blue");
    EXPECT_EQ(SAT_color_max(), 0) << "a range with an unknown end is skipped";
    setup("99999999999999:red,-:,c:,%,:,c%,200:red,100:green,50:blue");
    for (int v = 0; v < 256; ++v)
        EXPECT_LE(SAT_color_count_bin(v), SAT_color_max());
    int count = 256;
    SAT_decode_colors("red", &count);
    EXPECT_EQ(count, 256);
}

TEST_F(SatColor, EnhancementFiles) {
    SAT_params().imager_source = SAT_IN_AREA;
    setup("ir_temp.enh");
    EXPECT_STREQ(SAT_get_enhance(), "IR_temp");
    EXPECT_EQ(SAT_color_max(), 25) << "18 grey ramp bins and 8 colours";
    const int t_counts[] = {154, 174, 185, 195, 205, 215, 225, 235}; // -20 ... -90 C
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(SAT_color_break(18 + k), t_counts[k]);
    float r0, g0, b0, r1, g1, b1;
    CLR_get_rgb(value(20), &r0, &g0, &b0);
    CLR_get_rgb(value(140), &r1, &g1, &b1);
    EXPECT_LT(r0 + g0 + b0, r1 + g1 + b1) << "warm surfaces darker than colder clouds";
    EXPECT_EQ(values({SAT_ir_ind(-75), SAT_ir_ind(-95)}), (V{ind("red"), ind("white")}));

    setup("wv.enh");
    EXPECT_STREQ(SAT_get_enhance(), "WV");
    EXPECT_EQ(SAT_color_max(), 13);
    setup("grey.enh");
    EXPECT_EQ(values({19, 20, 120, 230}),
              (V{ind("black"), ind("gray10"), ind("gray50"), ind("white")}));

    // Syntax: name, comments, "@label", 9-character names, at most 256 words.
    testsupport::TempDir dir;
    RES_put("file_path", dir.path().c_str());
    auto file = [&](const std::string &text) { dir.write("x.enh", text), setup("x.enh"); };
    file("@myname #a_comment @other\n  50:red\t@label:Relabelled_scale blue\n");
    EXPECT_STREQ(SAT_get_enhance(), "Relabelle");
    EXPECT_EQ(SAT_color_max(), 1);
    EXPECT_EQ(SAT_color_break(0), 50);
    file("plainname green");
    EXPECT_STREQ(SAT_get_enhance(), "plainname");
    std::string words = "@big";
    for (int k = 0; k < 400; ++k)
        words += " blue";
    file(words);
    EXPECT_EQ(SAT_color_max(), 254);
    file("");
    EXPECT_EQ(SAT_color_max(), 0) << "no colour at all: one bin";

    // An unreadable file keeps the count tables, while the bins are reset.
    const int before = value(200);
    setup("no_such_file.enh");
    EXPECT_EQ(value(200), before);
    EXPECT_EQ(SAT_color_max(), 15);
}

// A paper device that writes grey levels.
class GreyPaper final : public GksDevice {
  public:
    GreyPaper() { caps_.color = GWS_COLOR_GREY; }
    int ws_type() const override { return GWS_PS; }
    int device_class() const override { return GCLASS_PS; }
};

TEST_F(SatColor, GreyPostScriptValues) {
    ASSERT_EQ(gopen_ws_device(std::make_unique<GreyPaper>()), 0);
    // Grey of a colour: truncate((0.9 r + g + 0.8 b) / 2.7 * 255).
    setup("red,green,blue,white");
    EXPECT_EQ(values({0, 64, 128, 255}), (V{85, 94, 75, 255}));
    // Three ramp bins (greys 25, 25, 51) and red: a smooth wedge where two ramp bins
    // meet, flat in the last ramp bin before the plain colour.
    setup("gray10-gray20,red");
    for (int v = 1; v < 128; ++v) {
        const int step = value(v) - value(v - 1);
        EXPECT_TRUE(step == 0 || step == 1) << v;
    }
    EXPECT_EQ(values({0, 127, 128, 191, 192}), (V{25, 50, 51, 51, 85}))
        << "127: (25 + 51 * 63) / 64";
}

IMAGE flat_image(int nx, int ny, uint8_t v) {
    IMAGE im;
    im.nx = im.bytes_per_line = nx;
    im.ny = ny;
    im.depth = 8;
    im.data.assign(size_t(nx) * ny, v);
    return im;
}

TEST_F(SatColor, ColourImage) {
    setup("red%4blue,green");
    IMAGE im = flat_image(9, 6, 100);
    SAT_color_image(&im);
    ASSERT_EQ(im.num_colors, CLR_get_num());
    ASSERT_EQ(im.colors->size(), size_t(3 * CLR_get_num()));
    EXPECT_EQ((*im.colors)[3 * ind("blue") + 2], 1.0f);
    // Blue in the 4 cells of rank 1-4 of every 3 x 3 cell.
    const int rank[3][3] = {{3, 7, 5}, {8, 1, 9}, {4, 6, 2}};
    for (int k = 0; k < 54; ++k)
        EXPECT_EQ(im.data[k], rank[k % 9 % 3][k / 9 % 3] <= 4 ? ind("blue") : ind("red")) << k;

    // Fill pattern 5: pixels outside it are black.
    setup("white,white");
    SAT_params().fill = 5;
    const unsigned char *rows = gget_fill_pattern(5);
    im = flat_image(16, 16, 7);
    SAT_color_image(&im);
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(im.data[k], (rows[k / 16 % 8] >> (k % 8)) & 1 ? ind("white") : ind("black"));

    IMAGE deep = flat_image(4, 4, 9), lying = flat_image(4, 4, 9), empty;
    deep.depth = 24;
    SAT_color_image(&deep);
    EXPECT_EQ(deep.data[0], 9) << "only 8-bit images are recoloured";
    lying.ny = lying.bytes_per_line = 1000;
    SAT_color_image(&lying);
    SAT_color_image(&empty);
    SAT_color_image(nullptr);
}

// ---------------------------------------------------------------------------
// Colour bar on the text metafile

struct Record {
    std::string key;
    std::vector<std::string> args;
    int colour; // fill colour index in force
    double x(size_t k) const { return std::atof(args.at(k + 1).c_str()); }
    double y(size_t k) const {
        return std::atof(args.at(k + 1).substr(args[k + 1].find(',') + 1).c_str());
    }
};

struct Bar {
    int rc;
    std::vector<Record> all;
    std::vector<Record> of(const std::string &key) const {
        std::vector<Record> v;
        for (const Record &r : all)
            if (r.key == key)
                v.push_back(r);
        return v;
    }
};

class ColourBar : public SatColor {
  protected:
    std::string out;
    void SetUp() override {
        SatColor::SetUp();
        setenv("SOURCE_DATE_EPOCH", "0", 1);
        gopen_gks(nullptr);
        gmeta_set_type(GMETA_TEXT);
        gmeta_open_string(&out);
        gset_win_size(1000, 800);
        gmeta_init_file();
        ASSERT_EQ(gopen_ws_device(gmeta_make_device()), 0);
        float panel[4] = {0.1f, 0.1f, 0.1f, 0.1f};
        GPH_reset(1, GWS_META, panel, 0);
    }
    void TearDown() override {
        gclose_ws(1);
        unsetenv("SOURCE_DATE_EPOCH");
        SatColor::TearDown();
    }
    // The bar under a plot whose view starts at y1 (the drawing area starts at 0), as
    // records; continuation lines of three blanks join their record.
    Bar bar(float y1, int ticks) {
        const float view[4] = {0.1f, 0.9f, y1, 0.78f};
        PLT_set_open_state(1, GWS_META, view);
        out.clear();
        Bar b{SAT_color_bar(ticks), {}};
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            if (line.rfind("   ", 0) != 0) {
                b.all.push_back({"", {}, b.all.empty() ? -1 : b.all.back().colour});
                words >> b.all.back().key;
            }
            for (std::string w; words >> w;)
                b.all.back().args.push_back(w);
            if (b.all.back().key == "FA_CLR")
                b.all.back().colour = std::atoi(b.all.back().args.at(0).c_str());
        }
        return b;
    }
};

TEST_F(ColourBar, BoxesTicksAndOutline) {
    SAT_params().imager_source = SAT_IN_AREA;
    SAT_color_setup(); // 16 default bins: count v has colour v / 16
    const Bar b = bar(0.02f, 1);
    ASSERT_EQ(b.rc, 0);
    const double left = 0.1 + 0.03 * 0.8, mid = 0.5, top = 0.02 - 0.15 * 0.02, bottom = 0;
    const double s = (mid - left) / 256;
    EXPECT_EQ(b.all.front().key + b.all.front().args.at(0), "TR1");
    EXPECT_EQ(b.all.back().key + b.all.back().args.at(0), "TR2");
    const std::vector<Record> fills = b.of("FA"), lines = b.of("PL");
    ASSERT_EQ(fills.size(), 256u);
    for (int v = 0; v < 256; ++v) {
        const Record &r = fills[v];
        ASSERT_EQ(r.args.size(), 6u);
        EXPECT_EQ(r.colour, v / 16) << v;
        EXPECT_NEAR(r.x(0), left + v * s, 2e-6) << v;
        EXPECT_NEAR(r.x(2), left + (v + 1) * s, 2e-6) << v;
        EXPECT_NEAR(r.y(0), bottom, 2e-6);
        EXPECT_NEAR(r.y(2), top, 2e-6);
    }
    // 17 temperature ticks (50 ... -110 C) down from the top, 16 count ticks up from
    // the bottom, the outline.
    ASSERT_EQ(lines.size(), 34u);
    for (int k = 0; k < 17; ++k) {
        const int t = 50 - 10 * k, count = t >= -30 ? -2 * t + 114 : 145 - t;
        EXPECT_NEAR(lines[k].x(0), left + count * s, 2e-6) << t;
        EXPECT_NEAR(lines[k].x(1), left + count * s, 2e-6) << t;
        EXPECT_NEAR(lines[k].y(0), top, 2e-6);
        EXPECT_NEAR(lines[k].y(1), top - (t % 50 == 0 ? 0.015 : 0.01), 2e-6) << t;
    }
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(lines[17 + k].x(0), left + 16 * k * s, 2e-6);
        EXPECT_NEAR(lines[17 + k].y(1), bottom + 0.01, 2e-6);
    }
    EXPECT_EQ(lines[33].args.at(0), "5");
    EXPECT_NEAR(lines[33].x(1), mid, 2e-6);
    EXPECT_NEAR(lines[33].y(2), top, 2e-6);
}

TEST_F(ColourBar, GapLimitsAndNoTicks) {
    setup("10:red,blue");
    const Bar b = bar(0.1f, 0);
    EXPECT_EQ(b.rc, 0);
    const std::vector<Record> fills = b.of("FA");
    EXPECT_EQ(b.of("PL").size(), 17u) << "count ticks and outline only";
    ASSERT_EQ(fills.size(), 256u);
    for (int v = 0; v < 256; ++v) {
        // The gap is capped at 0.035: edges 0.065 and 0.1 - 0.15 * 0.035.
        EXPECT_NEAR(fills[v].y(0), 0.065, 2e-6);
        EXPECT_NEAR(fills[v].y(2), 0.1 - 0.15 * 0.035, 2e-6);
        EXPECT_EQ(fills[v].colour, v < 133 ? ind("red") : ind("blue"));
    }
    EXPECT_EQ(bar(0.009f, 1).rc, -1) << "less than 0.01 under the plot";
    EXPECT_TRUE(out.empty()) << out;
}

} // namespace
