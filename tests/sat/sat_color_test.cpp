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
};

TEST_F(SatColor, InfraredScales) {
    // AREA and GINI: published 8-bit brightness relation T = (660 - B) / 2 K up to
    // B = 176, 418 - B K above; the scale's 273 K zero is 0.15 K off 273.15 K.
    for (int source : {SAT_IN_AREA, SAT_IN_AWIP}) {
        SAT_params().imager_source = source;
        const float t[] = {50, 20.5f, 0, -10.3f, -30, -30.5f, -40, -75.2f, -110};
        const int count[] = {14, 73, 114, 134, 174, 175, 185, 220, 255}; // by hand
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(SAT_ir_ind(t[k]), count[k]) << t[k];
        for (int v = 0; v < 256; ++v) {
            EXPECT_NEAR(SAT_ind_ir(v) + 273.15, v <= 176 ? (660.0 - v) / 2 : 418.0 - v, 0.151);
            EXPECT_EQ(SAT_ir_ind(SAT_ind_ir(v)), v) << "round trip " << v;
        }
    }
    // Raster: inverted GVAR 10-bit count over 4 of the GOES-8 imager 10.7 um channel,
    // count = m R + b (m = 5.2285, b = 15.6854), R the Planck radiance at 934.30 cm-1.
    SAT_params().imager_source = SAT_IN_RASTER;
    const float t[] = {50, 30, 0, -20, -40, -60, -80, -100};
    const int count[] = {50, 99, 158, 189, 212, 228, 240, 246}; // from the formula, python
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(SAT_ir_ind(t[k]), count[k]) << t[k];
    const double nu = 934.30, c1 = 1.191066e-5, c2 = 1.438833;
    for (int c = -100; c <= 50; c += 5) {
        const double radiance = c1 * nu * nu * nu / (std::exp(c2 * nu / (c + 273.15)) - 1);
        EXPECT_NEAR(SAT_ir_ind(float(c)), 255 - (5.2285 * radiance + 15.6854) / 4, 1.0) << c;
    }
    EXPECT_NEAR(SAT_ind_ir(0), 67.787080, 1e-3);
    EXPECT_NEAR(SAT_ind_ir(200), -29.607174, 1e-3);
    EXPECT_NEAR(SAT_ind_ir(250), -129.716242, 1e-3);
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
    EXPECT_EQ(SAT_color_max(), 5);
    const int breaks[] = {0, 42, 85, 128, 170, 213, 256}; // 256 k / 6
    for (int b = 0; b <= 6; ++b)
        EXPECT_EQ(SAT_color_break(b), breaks[b]);
    EXPECT_EQ(SAT_color_fill(4), 4) << "fill colours without ramp flag";
    EXPECT_EQ(SAT_color_fill(5), 1005);
    EXPECT_EQ(value(41), 0);
    EXPECT_EQ(value(42), 1);
}

TEST_F(SatColor, EntryForms) {
    setup("10:red,blue");
    EXPECT_EQ(SAT_color_max(), 1);
    EXPECT_EQ(SAT_color_break(1), 133) << "halfway from 10 to 256";
    EXPECT_EQ(value(0), ind("red")) << "below the first break: bin 0";
    EXPECT_EQ(value(132), ind("red"));
    EXPECT_EQ(value(133), ind("blue"));
    setup("red,green,100:blue,yellow,cyan,200:white");
    const int breaks[] = {0, 50, 100, 133, 166, 200, 256};
    for (int b = 0; b <= 6; ++b)
        EXPECT_EQ(SAT_color_break(b), breaks[b]) << b;

    SAT_params().imager_source = SAT_IN_AREA;
    setup("cyan,c-30:red,c-40:green"); // 'c' without ':' is a colour
    EXPECT_EQ(value(0), ind("cyan"));
    EXPECT_EQ(SAT_color_break(1), 174);
    EXPECT_EQ(SAT_color_break(2), 185);

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
    int second = 0;
    EXPECT_EQ(SAT_color_count_dither(0, &second), 4);
    EXPECT_EQ(second, ind("blue"));
    EXPECT_EQ(SAT_color_count_dither(100, nullptr), 9) << "levels clamp to 0-9";
    EXPECT_EQ(SAT_color_count_dither(200, nullptr), 9);
    setup("red%ablue,red%9blue");
    EXPECT_EQ(SAT_get_dither_mode(), DITHER_3) << "kept for the run";
    SAT_color_reset_state();
    setup("red%?blue,red%eblue,red%9blue");
    EXPECT_EQ(SAT_get_dither_mode(), DITHER_5) << "'?' chooses nothing, 'e' letters";
    EXPECT_EQ(SAT_color_count_dither(0, nullptr), 0);
    EXPECT_EQ(SAT_color_count_dither(100, nullptr), 4);
    EXPECT_EQ(SAT_color_count_dither(200, nullptr), 0) << "levels clamp to 0-25";
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
    EXPECT_EQ(value(SAT_ir_ind(-75)), ind("red"));
    EXPECT_EQ(value(SAT_ir_ind(-95)), ind("white"));

    setup("wv.enh");
    EXPECT_STREQ(SAT_get_enhance(), "WV");
    EXPECT_EQ(SAT_color_max(), 13);
    setup("grey.enh");
    EXPECT_EQ(value(19), ind("black"));
    EXPECT_EQ(value(20), ind("gray10"));
    EXPECT_EQ(value(120), ind("gray50"));
    EXPECT_EQ(value(230), ind("white"));

    // Syntax: name, comments, "@label", 9-character names, at most 256 words.
    testsupport::TempDir dir;
    RES_put("file_path", dir.path().c_str());
    dir.write("a.enh", "@myname #a_comment @other\n  50:red\t@label:Relabelled_scale blue\n");
    setup("a.enh");
    EXPECT_STREQ(SAT_get_enhance(), "Relabelle");
    EXPECT_EQ(SAT_color_max(), 1);
    EXPECT_EQ(SAT_color_break(0), 50);
    dir.write("b.enh", "plainname green");
    setup("b.enh");
    EXPECT_STREQ(SAT_get_enhance(), "plainname");
    std::string words = "@big";
    for (int k = 0; k < 400; ++k)
        words += " blue";
    dir.write("c.enh", words);
    setup("c.enh");
    EXPECT_EQ(SAT_color_max(), 254);
    dir.write("empty.enh", "");
    setup("empty.enh");
    EXPECT_EQ(SAT_color_max(), 0) << "no colour at all: one bin";

    // An unreadable file keeps the count tables, while the bins are reset.
    const int before = value(200);
    setup("no_such_file.enh");
    EXPECT_EQ(value(200), before);
    EXPECT_EQ(SAT_color_max(), 15);
}

TEST_F(SatColor, GreyPostScriptValues) {
    const float view[4] = {0.1f, 0.9f, 0.1f, 0.7f};
    PLT_set_open_state(1, GWS_PS, view);
    // Grey of a colour: truncate((0.9 r + g + 0.8 b) / 2.7 * 255).
    setup("red,green,blue,white");
    EXPECT_EQ(value(0), 85);
    EXPECT_EQ(value(64), 94);
    EXPECT_EQ(value(128), 75);
    EXPECT_EQ(value(255), 255);
    // Three ramp bins (greys 25, 25, 51) and red: a smooth wedge where two ramp bins
    // meet, flat in the last ramp bin before the plain colour.
    setup("gray10-gray20,red");
    for (int v = 1; v < 128; ++v) {
        const int step = value(v) - value(v - 1);
        EXPECT_TRUE(step == 0 || step == 1) << v;
    }
    EXPECT_EQ(value(0), 25);
    EXPECT_EQ(value(127), 50); // (25 * 1 + 51 * 63) / 64
    EXPECT_EQ(value(128), 51);
    EXPECT_EQ(value(191), 51);
    EXPECT_EQ(value(192), 85);
}

IMAGE flat_image(int nx, int ny, uint8_t v) {
    IMAGE im;
    im.nx = nx;
    im.ny = ny;
    im.depth = 8;
    im.bytes_per_line = nx;
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
    double x(size_t k) const { return std::atof(args.at(k + 1).c_str()); }
    double y(size_t k) const {
        return std::atof(args.at(k + 1).substr(args[k + 1].find(',') + 1).c_str());
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
    std::vector<Record> bar(float y1, int ticks, int *result) {
        const float view[4] = {0.1f, 0.9f, y1, 0.78f};
        PLT_set_open_state(1, GWS_META, view);
        out.clear();
        *result = SAT_color_bar(ticks);
        std::vector<Record> recs;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            if (line.rfind("   ", 0) != 0) {
                recs.emplace_back();
                words >> recs.back().key;
            }
            for (std::string w; words >> w;)
                recs.back().args.push_back(w);
        }
        return recs;
    }
};

TEST_F(ColourBar, BoxesTicksAndOutline) {
    SAT_params().imager_source = SAT_IN_AREA;
    SAT_color_setup(); // 16 default bins: count v has colour v / 16
    int rc = 0;
    const auto recs = bar(0.02f, 1, &rc);
    ASSERT_EQ(rc, 0);
    const double left = 0.1 + 0.03 * 0.8, mid = 0.5, top = 0.02 - 0.15 * 0.02, bottom = 0;
    const double s = (mid - left) / 256;
    ASSERT_GT(recs.size(), 2u);
    EXPECT_EQ(recs.front().key + recs.front().args.at(0), "TR1");
    EXPECT_EQ(recs.back().key + recs.back().args.at(0), "TR2");
    int colour = -1, boxes = 0;
    std::vector<Record> lines;
    for (const Record &r : recs) {
        if (r.key == "FA_CLR")
            colour = std::atoi(r.args.at(0).c_str());
        if (r.key == "PL")
            lines.push_back(r);
        if (r.key != "FA")
            continue;
        const int v = boxes++;
        ASSERT_EQ(r.args.size(), 6u);
        EXPECT_EQ(colour, v / 16) << v;
        EXPECT_NEAR(r.x(0), left + v * s, 2e-6) << v;
        EXPECT_NEAR(r.x(2), left + (v + 1) * s, 2e-6) << v;
        EXPECT_NEAR(r.y(0), bottom, 2e-6);
        EXPECT_NEAR(r.y(2), top, 2e-6);
    }
    EXPECT_EQ(boxes, 256);
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
    int rc = 0, lines = 0, fills = 0, colour = -1;
    for (const Record &r : bar(0.1f, 0, &rc)) {
        colour = r.key == "FA_CLR" ? std::atoi(r.args.at(0).c_str()) : colour;
        lines += r.key == "PL";
        if (r.key == "FA") {
            // The gap is capped at 0.035: edges 0.065 and 0.1 - 0.15 * 0.035.
            EXPECT_NEAR(r.y(0), 0.065, 2e-6);
            EXPECT_NEAR(r.y(2), 0.1 - 0.15 * 0.035, 2e-6);
            EXPECT_EQ(colour, fills++ < 133 ? ind("red") : ind("blue"));
        }
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(fills, 256);
    EXPECT_EQ(lines, 17) << "count ticks and outline only";
    bar(0.009f, 1, &rc);
    EXPECT_EQ(rc, -1) << "less than 0.01 under the plot";
    EXPECT_TRUE(out.empty()) << out;
}

} // namespace
