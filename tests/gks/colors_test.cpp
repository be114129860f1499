// Colour tables, colour names and attribute strings.
#include <gtest/gtest.h>

#include "recording_device.h"

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
    // The second file numbers on from the first file's count (8); skipped slots stay empty.
    const std::pair<int, const char *> names[] = {{0, "black"},  {1, "white"}, {2, ""},
                                                  {5, "orange"}, {6, "sky"},   {7, "grey50"},
                                                  {8, "pink"},   {10, "teal"}, {99, "teal"}};
    for (const auto &[index, name] : names)
        EXPECT_STREQ(CLR_get_name(index), name) << index;
    expect_rgb(5, 1.0f, 128.0f / 255.0f, 0.0f);
    expect_rgb(10, 0.0f, 128.0f / 255.0f, 128.0f / 255.0f);
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
    dir.write("bad.clr", "black 0 0 0\nbroken 0.5\nnocolour\n300 far 1 1 1\n" +
                             std::string(40, 'q') + " 1 0 0\nwhite #GG0000\nblue 0 0 1\n");
    std::string err = stderr_of([] { EXPECT_EQ(CLR_read_table("bad.clr"), 3); });
    for (const char *m : {"bad colour line 2", "bad colour line 3", "cut to 19"})
        EXPECT_TRUE(has(err, m));
    EXPECT_EQ(std::string(CLR_get_name(1)), std::string(19, 'q'));
    EXPECT_STREQ(CLR_get_name(2), "blue");
}

TEST_F(ColorsTest, ColourNamesToIndices) {
    dir.write("zor.clr", "black 0 0 0\nwhite 1 1 1\nRed 1 0 0\nred 0.5 0 0\n");
    CLR_read_table(nullptr);
    const std::pair<const char *, int> lookups[] = {
        {nullptr, -1},  {"", -1},       {"end", -2},    {"none", -1},
        {"off", -1},    {"back", -1},   {"pblk", 500},  {"pbblk", 501},
        {"ptblk", 502}, {"pwht", 503},  {"pbwht", 504}, {"ptwht", 505},
        {"pgry", 506},  {"pbgry", 507}, {"ptgry", 508}, {"RED", 2}, // first match, any case
        {"rEd", 2},     {"12", 12},     {"nosuch", -1}, {"#zz0000", -1}};
    for (const auto &[name, index] : lookups)
        EXPECT_EQ(CLR_get_ind(name), index) << (name ? name : "null");

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
    open(GWS_WIN);
    CLR_clear_table();
    EXPECT_EQ(CLR_add("mint", 0.6f, 1.0f, 0.6f), 0);
    EXPECT_EQ(gget_color_ind(0), 1000);
    EXPECT_EQ(gset_line_colr_ind(0), 0);
}

void expect_attrib(const ATTRIB &a, const ATTRIB &want, const char *what) {
    EXPECT_EQ(a.color, want.color) << what;
    EXPECT_FLOAT_EQ(a.width, want.width) << what;
    EXPECT_FLOAT_EQ(a.height, want.height) << what;
    EXPECT_FLOAT_EQ(a.expan, want.expan) << what;
    EXPECT_EQ(a.style, want.style) << what;
    EXPECT_EQ(a.fill, want.fill) << what;
    EXPECT_EQ(a.font, want.font) << what;
}

TEST_F(ColorsTest, AttributeStrings) {
    dir.write("zor.clr", "black 0 0 0\nwhite 1 1 1\nred 1 0 0\nmagenta 1 0 1\nblue 0 0 1\n");
    CLR_read_table(nullptr);
    constexpr int M = ATTRIB_MISSING;
    struct {
        const char *text;
        bool fresh; // parsed into a new record, else over the previous row's
        ATTRIB want;
    } cases[] = {
        {"magenta:s4", true, {.color = 3, .style = 4}},
        {":st=dsh:wi=2", true, {.width = 2, .style = 2}},
        {"CO=blue:FI=XX:hi=2.5:te=1.5:fo=3:junk:zz=4",
         true,
         {.color = 4, .height = 2.5f, .expan = 1.5f, .fill = 9, .font = 3}},
        {"wi=3:sc=0.5:fp=vln:st=llsdsh", true, {.width = 3, .height = 0.5f, .style = 4, .fill = 5}},
        {"2:e2:f3:h1.5:t2:w0.5:s7", true, {2, 0.5f, 1.5f, 2, 7, 3, 2}},
        {":fM:st=sol:st=lsdsh", false, {2, 0.5f, 1.5f, 2, 3, M, 2}},
        {"red:st=dot", false, {2, 0.5f, 1.5f, 2, 5, M, 2}},
    };
    ATTRIB a;
    for (const auto &c : cases) {
        if (c.fresh)
            ATTRIB_init(&a);
        ATTRIB_parse(c.text, &a);
        expect_attrib(a, c.want, c.text);
    }
    ATTRIB b;
    ATTRIB_init(&b);
    b.width = 9;
    b.font = 4;
    ATTRIB_update(&a, &b);
    expect_attrib(a, {2, 9, 1.5f, 2, 5, M, 4}, "update");

    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_line", "red:w2", &a), 0);
    EXPECT_EQ(a.color, 2);
    RES_put("color_line", "blue:s3");
    EXPECT_EQ(ATTRIB_get("color_line", "red:w2", &a), 1);
    expect_attrib(a, {.color = 4, .width = 2, .style = 3}, "resource over default");

    testsupport::Capture out(1);
    ATTRIB_print(&a);
    EXPECT_EQ(out.text(), "Color: 4\nStyle: 3\nHeight: -9999.00\nWidth:  2.00\n"
                          "Expansion: -9999.00\nFill: -9999\nFont: -9999\n");
}

TEST(AttrKeywords, FillPatternsAndMarkers) {
    const std::pair<const char *, int> fills[] = {
        {"sol", 0}, {"ST", 1},  {"ost", 2},  {"rst", 3},  {"lst", 4}, {"vln", 5},
        {"||", 5},  {"dlr", 6}, {"\\\\", 6}, {"drl", 7},  {"//", 7},  {"hln", 8},
        {"--", 8},  {"hat", 9}, {"xx", 9},   {"clr", 10}, {"0%", 10}, {"1%", 11},
        {"5%", 15}, {"9%", 19}, {"13", 13},  {"solid", 0}};
    for (const auto &[word, value] : fills)
        EXPECT_EQ(ATTR_parse_fill_pat(word), value) << word;
    const std::pair<const char *, int> markers[] = {
        {"pnt", 1},  {".", 1},      {"plus", 2},     {"+", 2},        {"star", 3}, {"*", 3},
        {"crcl", 4}, {"circle", 4}, {"o", 4},        {"x", 5},        {"sqr", 6},  {"square", 6},
        {"#", 6},    {"tri", 7},    {"triangle", 7}, {"^", 7},        {"itri", 9}, {"v", 9},
        {"dot", 8},  {"DOT", 8},    {"7", 7},        {"Plus-sign", 2}};
    for (const auto &[word, value] : markers)
        EXPECT_EQ(ATTR_parse_marker(word), value) << word;
}

} // namespace
