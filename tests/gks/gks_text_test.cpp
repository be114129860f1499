// Stroke fonts and text: font files, font lists, glyph strokes against the Hershey source,
// alignment, spacing, expansion, rotation, batching and drop shadows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "recording_device.h"

namespace {

using testsupport::TempDir;

// A font with two glyphs: 'L' (down stroke and foot, width 60) and 'Z', one stroke of 40
// points; written with or without the header and glyph labels.
std::string small_font(bool header) {
    std::string s = header ? "2 tiny\n" : "255\n";
    int l_start = header ? 0 : 1;
    s += "128 140 0 35 60 35 255";
    s += header ? " L\n" : "\n";
    int z_start = l_start + 7;
    s += "128 0";
    for (int i = 1; i < 40; ++i)
        s += " " + std::to_string(i) + " " + std::to_string(i % 2 ? 10 : 0);
    s += " 255";
    s += header ? " Z\n" : "\n";
    s += "254\n";
    for (int c = 0; c < 256; ++c)
        s += std::to_string(c == 'L' ? l_start : c == 'Z' ? z_start : -1) + " ";
    return s + "\n";
}

class TextTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        RES_put("file_path", dir.path().c_str());
        dir.write("tiny.fnt", small_font(true));
        dir.write("bare.fnt", small_font(false));
        gset_font_list("tiny.fnt,bare.fnt");
    }
    // Opens a device with world = NDC = a 1000 x 1000 pixel square (pixel = 0.001).
    RecordingDevice *open_square(int type = GWS_PS) { return open(type, 1001, 1001); }
};

TEST_F(TextTest, FontFilesWithAndWithoutHeader) {
    open_square();
    for (const char *f : {"tiny.fnt", "bare.fnt"}) {
        ASSERT_EQ(read_font(f), 0) << f;
        EXPECT_EQ(gget_glyph_width('L'), 60) << f;
        EXPECT_EQ(gget_glyph_width('Z'), 39) << f;
        EXPECT_EQ(gget_glyph_width(' '), 40) << f;
        EXPECT_EQ(gget_glyph_start('A'), -1) << f;
        const auto &t = gget_stroke_table();
        int s = gget_glyph_start('L');
        ASSERT_GE(s, 0);
        EXPECT_EQ(t[static_cast<size_t>(s)], 128);
        EXPECT_EQ(t[static_cast<size_t>(s) + 6], 255);
        EXPECT_EQ(t.back(), 255); // the closing 254 is kept as 255
    }
}

TEST_F(TextTest, CorruptFontFilesAreReportedAndLeaveNoGlyphs) {
    open_square();
    std::string big = "255";
    for (int i = 0; i < 16000; ++i)
        big += " 1";
    struct {
        const char *name;
        std::string text;
    } cases[] = {
        {"empty.fnt", ""},
        {"words.fnt", "hello world"},
        {"noend.fnt", "255 128 0 10 10 255"},
        {"range.fnt", "255 128 0 300 10 255 254"},
        {"short.fnt", "255 128 0 10 10 255 254 1 2 3"},
        {"start.fnt", "255 128 0 10 10 255 254 " + std::string(256 * 5, ' ') + "9999"},
        {"big.fnt", big + " 254"},
    };
    for (const auto &c : cases) {
        dir.write(c.name, c.text);
        ASSERT_EQ(read_font("tiny.fnt"), 0);
        EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(read_font(c.name), -1) << c.name; }),
                        "read_font: bad font file"));
        EXPECT_EQ(gget_glyph_start('L'), -1) << c.name;
        EXPECT_EQ(gget_glyph_width('L'), 0) << c.name;
    }
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(read_font("absent.fnt"), -1); }),
                    "read_font: unable to load font file:"));
    gclose_ws(1);
    EXPECT_EQ(read_font("tiny.fnt"), -1); // needs an open kernel
}

TEST_F(TextTest, AlignmentOffsetsFollowTheStringWidth) {
    auto *d = open_square();
    // Character height 1.05 world units: 100 font units per world unit.
    gset_char_ht(0.105f);
    float pos[2] = {0.5f, 0.5f};
    // "LL": (60 + 25) + 60 = 145 font units wide.
    EXPECT_EQ(gtext_width_units("LL"), 145);
    struct Case {
        int h, v;
        float xoff, voff;
    } cases[] = {{0, 0, 0, -35},     {1, 4, 0, -35},       {2, 3, -72.5f, -85},
                 {3, 1, -145, -160}, {2, 2, -72.5f, -140}, {3, 5, -145, 0}};
    for (const auto &c : cases) {
        int a[2] = {c.h, c.v};
        gset_text_align(a);
        d->text_lines.clear();
        ASSERT_EQ(gtext(pos, "LL"), 0);
        ASSERT_EQ(d->text_lines.size(), 2u);
        // First point of the first L is font (0, 140), of the second L (85, 140).
        const float f = 0.001f;
        EXPECT_NEAR(d->text_lines[0][0].x, 0.5f + c.xoff * f, 1e-5f) << c.h << c.v;
        EXPECT_NEAR(d->text_lines[0][0].y, 0.5f + (140 + c.voff) * f, 1e-5f) << c.h << c.v;
        EXPECT_NEAR(d->text_lines[1][0].x, 0.5f + (85 + c.xoff) * f, 1e-5f) << c.h << c.v;
        EXPECT_NEAR(d->text_lines[1][2].x, 0.5f + (145 + c.xoff) * f, 1e-5f) << c.h << c.v;
    }
}

TEST_F(TextTest, SpacingExpansionAndRotation) {
    auto *d = open_square();
    gset_char_ht(0.105f);
    float pos[2] = {0.2f, 0.3f};
    const float f = 0.001f;
    // A space without a glyph advances 100 * spacing + 40 = 65 units.
    gtext(pos, "L L");
    ASSERT_EQ(d->text_lines.size(), 2u);
    EXPECT_NEAR(d->text_lines[1][0].x, 0.2f + (85 + 65) * f, 1e-5f);
    // A string of spaces draws nothing.
    d->text_lines.clear();
    gtext(pos, "   ");
    EXPECT_TRUE(d->text_lines.empty());
    EXPECT_EQ(d->text_calls.back(), "   ");

    // Expansion 2 doubles x and the advance; fixed character spacing 1: 125 units a cell.
    gset_expan(2);
    d->text_lines.clear();
    gtext(pos, "LL");
    EXPECT_NEAR(d->text_lines[0][2].x, 0.2f + 120 * f, 1e-5f);
    EXPECT_NEAR(d->text_lines[1][0].x, 0.2f + 170 * f, 1e-5f);
    gset_expan(1);
    gset_char_space(1);
    EXPECT_EQ(gtext_width_units("LL"), 225);
    d->text_lines.clear();
    gtext(pos, "LL");
    EXPECT_NEAR(d->text_lines[1][0].x, 0.2f + 125 * f, 1e-5f);
    gset_char_space(0);

    // Up vector (1, 0): text turned 90 degrees clockwise; font x runs down the page.
    float up[2] = {2, 0}; // normalised when stored
    gset_char_up_vec(up);
    float u[2];
    gget_char_up_vec(u);
    EXPECT_FLOAT_EQ(u[0], 1);
    d->text_lines.clear();
    gtext(pos, "L");
    ASSERT_EQ(d->text_lines.size(), 1u);
    // Font point (60, 35) of the foot: u = 0.06, v = 0: X = px + v, Y = py - u.
    EXPECT_NEAR(d->text_lines[0][2].x, 0.2f, 1e-5f);
    EXPECT_NEAR(d->text_lines[0][2].y, 0.3f - 0.06f, 1e-5f);
    EXPECT_NEAR(d->text_lines[0][0].x, 0.2f + (140 - 35) * f, 1e-5f);
}

TEST_F(TextTest, DropShadowsOnTheWindowOnlyAndStrokeBatches) {
    auto *d = open_square(GWS_WIN);
    gset_font_drop(2);
    float pos[2] = {0.5f, 0.5f};
    gtext(pos, "L");
    ASSERT_EQ(d->text_lines.size(), 3u);
    EXPECT_EQ(d->text_shadow, (std::vector<bool>{true, true, false}));
    // Copy 1 sits one pixel (0.001) right and down of copy 0.
    EXPECT_NEAR(d->text_lines[1][0].x - d->text_lines[0][0].x, 0.001f, 1e-5f);
    EXPECT_NEAR(d->text_lines[1][0].y - d->text_lines[0][0].y, -0.001f, 1e-5f);

    // On paper one copy, its 40-point stroke batched by thirty points.
    gks_reset_state();
    gset_font_list("tiny.fnt");
    d = open_square(GWS_PS);
    gset_font_drop(2);
    gtext(pos, "Z");
    ASSERT_EQ(d->text_lines.size(), 2u);
    EXPECT_EQ(d->text_lines[0].size(), 30u);
    EXPECT_EQ(d->text_lines[1].size(), 11u);
    EXPECT_FLOAT_EQ(d->text_lines[1][0].x, d->text_lines[0][29].x);
}

TEST_F(TextTest, FontListsAndFontNumbers) {
    dir.write("list.txt", "Tiny tiny.fnt\nBare bare.fnt\n");
    dir.write("zor.fnl", "first   tiny.fnt  \nsecond bare.fnt\n\nthird  missing.fnt\n");
    gset_font_list("fi:list.txt");
    open_square();
    EXPECT_EQ(gget_num_fonts(), 2);
    EXPECT_EQ(gget_font_index("bare"), 2);
    EXPECT_EQ(gget_font_index("TINY"), 1);
    EXPECT_EQ(gget_font_index("nosuch"), 1);
    EXPECT_EQ(gget_font_index("7"), 7);
    int bad[2] = {3, 2}, two[2] = {2, 2};
    EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(gset_fontprec(bad), -1); }),
                    "gset_fontprec: invalid font id: 3\n"));
    EXPECT_EQ(gset_fontprec(two), 0);
    EXPECT_EQ(gget_glyph_width('L'), 60);

    // zor.fnl on the file path when no list is given: lines of a name and a file.
    gks_reset_state();
    gset_font_list(nullptr);
    open_square();
    ASSERT_EQ(gget_num_fonts(), 3);
    std::string name, file;
    ASSERT_TRUE(gget_font_entry(1, &name, &file));
    EXPECT_EQ(name, "first");
    EXPECT_EQ(file, "tiny.fnt");
    EXPECT_EQ(gget_glyph_width('L'), 60);

    // The resource comes before zor.fnl; a comma list has no font names.
    gks_reset_state();
    RES_put("font_list", "bare.fnt, tiny.fnt");
    open_square();
    ASSERT_EQ(gget_num_fonts(), 2);
    ASSERT_TRUE(gget_font_entry(2, &name, &file));
    EXPECT_EQ(name, "");
    EXPECT_EQ(file, "tiny.fnt");

    // An unreadable list file is reported and modern.fnt is loaded instead.
    gks_reset_state();
    dir.write("modern.fnt", small_font(false));
    RES_put("font_list", "fi:nolist.txt");
    EXPECT_TRUE(has(stderr_of([&] { open_square(); }),
                    "gsetup_fonts: unable to load font list file: nolist.txt\n"));
    EXPECT_EQ(gget_glyph_width('L'), 60);

    // A font file named inside a list file runs no command, even off the file path.
    gks_reset_state();
    RES_put("file_path", "");
    std::string ran = dir.file("ran");
    RES_put("font_list", ("fi:" + dir.write("cmd.txt", "Cmd |touch${IFS}" + ran + "\n")).c_str());
    stderr_of([&] { open_square(); });
    EXPECT_EQ(gget_num_fonts(), 1);
    EXPECT_FALSE(std::filesystem::exists(ran)) << "the font-file name ran a command";
}

// The shipped modern.fnt against its Hershey source, read here independently: every
// vertex (x - leftmost x) * 5, 35 + (9 - y) * 5, a pen lift before each stroke.
TEST_F(GksTest, ShippedModernFontMatchesTheHersheySource) {
    const std::string jhf = "/usr/share/hershey-fonts/futural.jhf";
    if (!std::filesystem::exists(jhf))
        GTEST_SKIP() << "hershey-fonts-data is not installed (" << jhf << ")";
    RES_put("file_path", XSAT_SOURCE_DIR "/data");
    open(GWS_PS);
    EXPECT_GE(gget_num_fonts(), 5);
    ASSERT_EQ(read_font("modern.fnt"), 0);
    std::ifstream in(jhf);
    std::string line;
    int code = 32;
    int checked = 0;
    while (std::getline(in, line)) {
        int c = code++;
        if (c != 'A' && c != 'R' && c != 'g' && c != '8' && c != '&')
            continue;
        int n = std::stoi(line.substr(5, 3));
        std::string v = line.substr(8);
        std::vector<std::pair<bool, std::pair<int, int>>> pts;
        bool up = true;
        int minx = 1000;
        for (int i = 1; i < n; ++i) {
            if (v[2 * i] == ' ' && v[2 * i + 1] == 'R') {
                up = true;
                continue;
            }
            int x = v[2 * i] - 'R', y = v[2 * i + 1] - 'R';
            pts.push_back({up, {x, y}});
            minx = std::min(minx, x);
            up = false;
        }
        const auto &t = gget_stroke_table();
        int s = gget_glyph_start(c);
        ASSERT_GE(s, 0) << char(c);
        for (size_t i = 0; i < pts.size(); ++i) {
            int x = (pts[i].second.first - minx) * 5 + (pts[i].first ? 128 : 0);
            int y = 35 + (9 - pts[i].second.second) * 5;
            EXPECT_EQ(t[static_cast<size_t>(s) + 2 * i], x) << char(c) << " point " << i;
            EXPECT_EQ(t[static_cast<size_t>(s) + 2 * i + 1], y) << char(c) << " point " << i;
        }
        EXPECT_EQ(t[static_cast<size_t>(s) + 2 * pts.size()], 255) << char(c);
        ++checked;
    }
    EXPECT_EQ(checked, 5);
}

} // namespace
