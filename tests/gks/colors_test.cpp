// Colour tables, colour names and attribute strings.
#include <gtest/gtest.h>

#include "recording_device.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

class ColorsTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        RES_put("file_path", dir.path().c_str());
    }
    void expect_rgb(int index, float r, float g, float b) {
        float cr, cg, cb;
        ASSERT_EQ(CLR_get_rgb(index, &cr, &cg, &cb), 0);
        EXPECT_NEAR(cr, r, 1e-6f) << index;
        EXPECT_NEAR(cg, g, 1e-6f) << index;
        EXPECT_NEAR(cb, b, 1e-6f) << index;
    }
};

TEST_F(ColorsTest, TablesFromSeveralFilesWithSlotsHexAndEnd) {
    dir.write("a.clr", "# comment line\n"
                       "black 0 0 0\n"
                       "  white 1 1 1  \n"
                       "5 orange #FF8000\n"
                       "sky 0.5 0.75 1.0\n"
                       "END\n"
                       "7 grey50 0.5 0.5 0.5\n");
    dir.write("b.clr", "pink 1 0.75 0.8\n"
                       "2 teal #008080\n");
    EXPECT_EQ(CLR_read_table("a.clr,missing.clr,b.clr"), 11);
    EXPECT_STREQ(CLR_get_name(0), "black");
    EXPECT_STREQ(CLR_get_name(1), "white");
    EXPECT_STREQ(CLR_get_name(5), "orange");
    expect_rgb(5, 1.0f, 128.0f / 255.0f, 0.0f);
    EXPECT_STREQ(CLR_get_name(6), "sky");
    EXPECT_STREQ(CLR_get_name(7), "grey50");
    // The second file numbers on from the first file's count (8).
    EXPECT_STREQ(CLR_get_name(8), "pink");
    EXPECT_STREQ(CLR_get_name(10), "teal");
    expect_rgb(10, 0.0f, 128.0f / 255.0f, 128.0f / 255.0f);
    EXPECT_STREQ(CLR_get_name(2), ""); // slots skipped by a number stay empty
    EXPECT_STREQ(CLR_get_name(99), "teal");
    // Fill colours count only for a table named by the resource.
    EXPECT_EQ(CLR_get_num_fill(), 0);
    RES_put("color_table", "a.clr");
    EXPECT_EQ(CLR_read_table(nullptr), 8);
    EXPECT_EQ(CLR_get_num_fill(), 7);
}

TEST_F(ColorsTest, WithoutEndTheFillCountIsTheHighestSlot) {
    dir.write("zor.clr", "black 0 0 0\nwhite 1 1 1\nred 1 0 0\n");
    EXPECT_EQ(CLR_read_table(""), 3); // default name
    EXPECT_EQ(CLR_get_num_fill(), 0);
    dir.write("t.clr", "black 0 0 0\nwhite 1 1 1\nred 1 0 0\n");
    RES_put("color_table", "t.clr");
    EXPECT_EQ(CLR_read_table(nullptr), 3);
    EXPECT_EQ(CLR_get_num_fill(), 2);
}

TEST_F(ColorsTest, BadLinesAreReportedAndSkipped) {
    std::string long_name(40, 'q');
    dir.write("bad.clr", "black 0 0 0\n"
                         "broken 0.5\n"
                         "nocolour\n"
                         "300 far 1 1 1\n" +
                             long_name + " 1 0 0\n" + "white #GG0000\n" + "blue 0 0 1\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CLR_read_table("bad.clr"), 3);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("bad colour line 2"), std::string::npos) << err;
    EXPECT_NE(err.find("bad colour line 3"), std::string::npos) << err;
    EXPECT_NE(err.find("cut to 19"), std::string::npos) << err;
    EXPECT_EQ(std::string(CLR_get_name(1)), std::string(19, 'q'));
    EXPECT_STREQ(CLR_get_name(2), "blue");
}

TEST_F(ColorsTest, ColourNamesToIndices) {
    dir.write("zor.clr", "black 0 0 0\nwhite 1 1 1\nRed 1 0 0\nred 0.5 0 0\n");
    CLR_read_table(nullptr);
    EXPECT_EQ(CLR_get_ind(nullptr), -1);
    EXPECT_EQ(CLR_get_ind(""), -1);
    EXPECT_EQ(CLR_get_ind("end"), -2);
    EXPECT_EQ(CLR_get_ind("none"), -1);
    EXPECT_EQ(CLR_get_ind("off"), -1);
    EXPECT_EQ(CLR_get_ind("back"), -1);
    const char *print[] = {"pblk",  "pbblk", "ptblk", "pwht", "pbwht",
                           "ptwht", "pgry",  "pbgry", "ptgry"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(CLR_get_ind(print[i]), 500 + i);
    EXPECT_EQ(CLR_get_ind("RED"), 2); // first match, any case
    EXPECT_EQ(CLR_get_ind("rEd"), 2);
    EXPECT_EQ(CLR_get_ind("12"), 12);
    EXPECT_EQ(CLR_get_ind("nosuch"), -1);
    EXPECT_EQ(CLR_get_ind("#zz0000"), -1);

    EXPECT_EQ(CLR_get_ind("#ff8000"), 4);
    EXPECT_STREQ(CLR_get_name(4), "#ff8000");
    expect_rgb(4, 1.0f, 128.0f / 255.0f, 0.0f);
    EXPECT_EQ(CLR_get_ind("#ff8000"), 4); // found by name now
    EXPECT_EQ(CLR_get_ind("#255064000"), 5);
    expect_rgb(5, 1.0f, 64.0f / 255.0f, 0.0f);
    EXPECT_EQ(CLR_get_ind("#256000000"), -1); // beyond 255: not a colour
    EXPECT_EQ(CLR_get_num(), 6);
    float c[3];
    gget_color_rgb(5, &c[0], &c[1], &c[2]); // registered with the kernel
    EXPECT_FLOAT_EQ(c[1], 64.0f / 255.0f);
}

TEST_F(ColorsTest, AddedColoursReachTheOpenDevice) {
    auto *d = open(GWS_WIN);
    CLR_clear_table();
    EXPECT_EQ(CLR_add("mint", 0.6f, 1.0f, 0.6f), 0);
    EXPECT_EQ(gget_color_ind(0), 1000);
    EXPECT_EQ(gset_line_colr_ind(0), 0);
    (void)d;
}

TEST_F(ColorsTest, AttributeStrings) {
    dir.write("zor.clr", "black 0 0 0\nwhite 1 1 1\nred 1 0 0\nmagenta 1 0 1\nblue 0 0 1\n");
    CLR_read_table(nullptr);
    ATTRIB a;
    ATTRIB_init(&a);
    ATTRIB_parse("magenta:s4", &a);
    EXPECT_EQ(a.color, 3);
    EXPECT_EQ(a.style, 4);
    EXPECT_EQ(a.width, -9999.0f);
    EXPECT_EQ(a.fill, -9999);

    ATTRIB_init(&a);
    ATTRIB_parse(":st=dsh:wi=2", &a);
    EXPECT_EQ(a.color, -9999);
    EXPECT_EQ(a.style, 2);
    EXPECT_FLOAT_EQ(a.width, 2.0f);

    ATTRIB_init(&a);
    ATTRIB_parse("CO=blue:FI=XX:hi=2.5:te=1.5:fo=3:junk:zz=4", &a);
    EXPECT_EQ(a.color, 4);
    EXPECT_EQ(a.fill, 9);
    EXPECT_FLOAT_EQ(a.height, 2.5f);
    EXPECT_FLOAT_EQ(a.expan, 1.5f);
    EXPECT_EQ(a.font, 3);

    ATTRIB_init(&a);
    ATTRIB_parse("wi=3:sc=0.5:fp=vln:st=llsdsh", &a);
    EXPECT_EQ(a.color, -9999);
    EXPECT_FLOAT_EQ(a.width, 3.0f);
    EXPECT_FLOAT_EQ(a.height, 0.5f);
    EXPECT_EQ(a.fill, 5);
    EXPECT_EQ(a.style, 4);

    ATTRIB_init(&a);
    ATTRIB_parse("2:e2:f3:h1.5:t2:w0.5:s7", &a);
    EXPECT_EQ(a.color, 2);
    EXPECT_FLOAT_EQ(a.expan, 2.0f);
    EXPECT_EQ(a.fill, 3);
    EXPECT_FLOAT_EQ(a.height, 1.5f);
    EXPECT_EQ(a.font, 2);
    EXPECT_FLOAT_EQ(a.width, 0.5f);
    EXPECT_EQ(a.style, 7);
    ATTRIB_parse(":fM:st=sol:st=lsdsh", &a);
    EXPECT_EQ(a.fill, -9999);
    EXPECT_EQ(a.style, 3);
    ATTRIB_parse("red:st=dot", &a);
    EXPECT_EQ(a.style, 5);
    EXPECT_EQ(a.color, 2);

    ATTRIB b;
    ATTRIB_init(&b);
    b.width = 9;
    b.font = 4;
    ATTRIB_update(&a, &b);
    EXPECT_FLOAT_EQ(a.width, 9.0f);
    EXPECT_EQ(a.font, 4);
    EXPECT_EQ(a.color, 2);

    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_line", "red:w2", &a), 0);
    EXPECT_EQ(a.color, 2);
    RES_put("color_line", "blue:s3");
    EXPECT_EQ(ATTRIB_get("color_line", "red:w2", &a), 1);
    EXPECT_EQ(a.color, 4);
    EXPECT_EQ(a.style, 3);
    EXPECT_FLOAT_EQ(a.width, 2.0f);

    testing::internal::CaptureStdout();
    ATTRIB_print(&a);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Color: 4\nStyle: 3\nHeight: -9999.00\nWidth:  2.00\nExpansion: -9999.00\n"
              "Fill: -9999\nFont: -9999\n");
}

TEST(AttrKeywords, FillPatterns) {
    struct {
        const char *word;
        int value;
    } cases[] = {{"sol", 0}, {"ST", 1},  {"ost", 2},  {"rst", 3},  {"lst", 4}, {"vln", 5},
                 {"||", 5},  {"dlr", 6}, {"\\\\", 6}, {"drl", 7},  {"//", 7},  {"hln", 8},
                 {"--", 8},  {"hat", 9}, {"xx", 9},   {"clr", 10}, {"0%", 10}, {"1%", 11},
                 {"5%", 15}, {"9%", 19}, {"13", 13},  {"solid", 0}};
    for (const auto &c : cases)
        EXPECT_EQ(ATTR_parse_fill_pat(c.word), c.value) << c.word;
}

TEST(AttrKeywords, Markers) {
    struct {
        const char *word;
        int value;
    } cases[] = {{"pnt", 1}, {".", 1},        {"plus", 2},   {"+", 2},   {"star", 3},
                 {"*", 3},   {"crcl", 4},     {"circle", 4}, {"o", 4},   {"x", 5},
                 {"sqr", 6}, {"square", 6},   {"#", 6},      {"tri", 7}, {"triangle", 7},
                 {"^", 7},   {"itri", 9},     {"v", 9},      {"dot", 8}, {"DOT", 8},
                 {"7", 7},   {"Plus-sign", 2}};
    for (const auto &c : cases)
        EXPECT_EQ(ATTR_parse_marker(c.word), c.value) << c.word;
}

} // namespace
