// HP-GL workstation: initialisation and page end for each wrapper mode, the surface from
// paper sizes, roll paper and geometry, the pen, fill and line-type rules, primitives, and
// the plot as hp2xx renders it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/image.h"
#include "gks/gks_hpgl.h"
#include "gks/gks_ps.h"
#include "paper_oracles.h"
#include "recording_device.h"

namespace {

using testsupport::read_file;
using testsupport::TempDir;

const std::string kPclStart = "\x1b"
                              "E\x1b%1B\x1b&l1O\n";
const std::string kPclEnd = "\x1b%0A\x1b"
                            "E";

::testing::AssertionResult starts(const std::string &text, const std::string &head) {
    if (text.compare(0, head.size(), head) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << text << "\" does not start with \"" << head << "\"";
}

class HpglTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        ghpgl_reset_state();
        gps_reset_state();
        for (const char *v : {"PSCOLOR", "zorhp_param", "zorhp_out"})
            unsetenv(v);
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
        gopen_gks(nullptr);
    }
    void TearDown() override {
        GksTest::TearDown();
        ghpgl_reset_state();
        gps_reset_state();
    }
    // Opens the file with the options, closes it at once and returns what it holds.
    std::string empty_plot(const std::string &options, GSurface *surface = nullptr,
                           const std::string &geometry = "") {
        std::string file = dir.file("plot.hpgl");
        GksOpenArgs args;
        args.type = GWS_HPGL;
        args.connection = file + options;
        args.geometry = geometry;
        EXPECT_EQ(gopen_ws_args(args), 0);
        if (surface) {
            gget_win_size(&surface->width, &surface->height);
            gget_win_offset(&surface->x, &surface->y);
        }
        gclose_ws(1);
        return read_file(file);
    }
};

TEST_F(HpglTest, InitialisationAndPageEndOfEachMode) {
    EXPECT_EQ(empty_plot(""), kPclStart +
                                  "IN;SP1;PA;\nPW0.2;SV;LT;\nIW 10,10,7621,7621;\n"
                                  "SP;PG;\n" +
                                  kPclEnd);
    EXPECT_EQ(empty_plot(",nopcl,port"),
              "IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\nIW 10,10,7621,7621;\nSP;PG;\n");
    EXPECT_TRUE(starts(empty_plot(",LJ,rot=180,lwidth=0.5,letter"),
                       kPclStart + "IN;SP1;PA;\nRO90;\nRO180;\nPW0.5;SV;LT;\n"));
    setenv("zorhp_param", "nopcl,rot=270", 1);
    EXPECT_TRUE(starts(empty_plot(",land"), "IN;SP1;PA;\nPW0.2;SV;LT;\n"))
        << "the connection's options come after the variable's";
    unsetenv("zorhp_param");
    // Appending writes neither the initialisation nor the page end.
    std::string file = dir.write("plot.hpgl", "before\n");
    ASSERT_EQ(gopen_ws(1, ("+" + file).c_str(), GWS_HPGL), 0);
    gclose_ws(1);
    EXPECT_EQ(read_file(file), "before\nPW0.2;SV;LT;\nIW 10,10,7621,7621;\n");
}

TEST_F(HpglTest, SurfaceFromPaperAndGeometry) {
    struct Row {
        std::string options, geometry;
        GSurface want;
    };
    // Paper less half an inch, 1015 units to the inch, from (10, 10); geometry in
    // hundredths of an inch at 10.15 units each.
    const Row rows[] = {
        {"", "", {10150, 7612, 10, 10}},
        {",roll=36", "", {36032, 23345, 10, 10}},
        {",a4", "", {11357, 7876, 10, 10}},
        {",sz=8.5x11", "", {8120, 10657, 10, 10}},
        {"", "400x300+100+50", {4060, 3045, 1025, 517}},
        {"", "400x300", {4060, 3045, 10, 10}},
        {"", "+100+50", {10150, 7612, 1025, 517}},
        {"", "P2x2+1+0", {5075, 3806, 5085, 3816}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.options + " " + row.geometry);
        GSurface s;
        empty_plot(row.options, &s, row.geometry);
        EXPECT_EQ(std::tuple(s.width, s.height, s.x, s.y),
                  std::tuple(row.want.width, row.want.height, row.want.x, row.want.y));
    }
}

TEST_F(HpglTest, PensFillsAndLineTypes) {
    std::string out;
    ghpgl_init();
    ghpgl_open_string(&out);
    ASSERT_EQ(gopen_ws_device(ghpgl_make_device()), 0);
    float ws[4] = {0, 1000, 0, 1000};
    gset_ws_vp(1, ws);
    float quarter[3] = {0.25f, 0.25f, 0.25f};
    gset_colr_rep(1, 7, quarter);
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[] { ghpgl_set_color(5); }, ""},
        {[] { ghpgl_set_color(503); }, "SV1,0;\n"},
        {[] { ghpgl_set_color(506); }, "SV1,30;\n"},
        {[] { ghpgl_set_color(501); }, "SV;\n"},
        {[] { ghpgl_set_fill_color(7); }, "FT10,75;\n"},
        {[] { ghpgl_set_fill_color(7); }, ""},
        {[] { ghpgl_set_fill_color(-1); }, "FT10,0;\n"},
        {[] { ghpgl_set_fill_color(-1); }, ""},
        {[] { ghpgl_set_fill_color(507); }, "FT10,30;\n"},
        {[] {
             gset_fill_print_solid(1);
             ghpgl_set_fill_color(7);
         },
         "FT1;\n"},
        {[] { gset_fill_print_solid(0); }, ""},
        {[] { ghpgl_set_width(1, 0); }, ""},
        {[] { ghpgl_set_width(501, 1); }, "PW0.4;\n"},
        {[] { ghpgl_set_width(502, 1); }, "PW0.8;\n"},
        {[] { ghpgl_set_width(3, 4); }, ""},
        {[] {
             gset_line_print_bold(2);
             ghpgl_set_width(3, 3);
         },
         "PW1.2;\n"},
        {[] { ghpgl_set_type(2); }, "LT2,5,1;\n"},
        {[] { ghpgl_set_type(2); }, ""},
        {[] { ghpgl_set_type(3); }, "LT5,8,1;\n"},
        {[] { ghpgl_set_type(4); }, "LT6,10,1;\n"},
        {[] { ghpgl_set_type(5); }, "LT2,1,1;\n"},
        {[] { ghpgl_set_type(1); }, "LT;\n"},
    };
    for (const auto &[call, text] : rows) {
        size_t before = out.size();
        call();
        EXPECT_EQ(out.substr(before), text);
    }
    gset_line_print_bold(1);
    // Primitives: a newline after every tenth point of a polyline; a fill in polygon mode.
    std::vector<float> pts;
    for (int i = 0; i < 12; ++i) {
        pts.push_back(0.01f * static_cast<float>(i));
        pts.push_back(0.5f);
    }
    size_t at = out.size();
    gpolyline(12, pts.data());
    EXPECT_EQ(out.substr(at), "PW0.2;\nPU0,500;PD10,500;PD20,500;PD30,500;PD40,500;PD50,500;"
                              "PD60,500;PD70,500;PD80,500;PD90,500;\nPD100,500;PD110,500;\n");
    gset_fill_colr_ind(7);
    at = out.size();
    gfill_area(3, pts.data());
    EXPECT_EQ(out.substr(at), "FT10,75;\nPU0,500;PM0;PD10,500;PD20,500;PM1;PM2;FP;\n");
    float vp[4] = {0.1f, 0.5f, 0.2f, 0.6f};
    at = out.size();
    gset_vp(0, vp);
    EXPECT_EQ(out.substr(at), "IW 100,200,500,600;\n");
    gclose_ws(1);
}

TEST_F(HpglTest, Hp2xxDrawsTheShapesWhereThePlotterPutsThem) {
    if (!paper::have_hp2xx())
        GTEST_SKIP() << "hp2xx not installed";
    std::string file = dir.file("shapes.hpgl");
    ASSERT_EQ(gopen_ws(1, file.c_str(), GWS_HPGL), 0);
    // The device rectangle is 7100 units square from (10, 10): NDC n is 10 + 7100 n.
    float ws[4] = {0, 7100, 0, 7100};
    gset_ws_vp(1, ws);
    float grey[3] = {0.5f, 0.5f, 0.5f};
    gset_colr_rep(1, 3, grey);
    gset_fill_colr_ind(3);
    float box[8] = {0.1f, 0.1f, 0.3f, 0.1f, 0.3f, 0.2f, 0.1f, 0.2f};
    gfill_area(4, box);
    float line[4] = {0.5f, 0.5f, 0.9f, 0.5f};
    gpolyline(2, line);
    for (int type = 2; type <= 5; ++type) {
        gset_linetype(type);
        float dashed[4] = {0.1f, 0.3f + 0.02f * type, 0.3f, 0.3f + 0.02f * type};
        gpolyline(2, dashed);
    }
    gset_linetype(1);
    gset_marker_type(5);
    gset_marker_size(1);
    float mark[2] = {0.5f, 0.8f};
    gpolymarker(1, mark);
    gset_char_ht(0.1f);
    float pos[2] = {0.1f, 0.7f};
    gtext(pos, "H");
    gclose_ws(1);

    auto h = paper::hp2xx(file, file + ".pbm");
    // hp2xx knows no screened vectors: the SV of the initialisation is all it may skip.
    EXPECT_EQ(h.ignored, 1) << h.err;
    ASSERT_GT(h.bits.width, 0);
    auto px = [&](float ndc) { return (10.0f + 7100.0f * ndc) * 72.0f / 1016.0f; };
    auto col = [&](float ndc) { return static_cast<int>(px(ndc)); };
    auto row = [&](float ndc) { return h.bits.height - 1 - static_cast<int>(px(ndc)); };
    auto black = [](int r, int, int) { return r == 0; };
    auto near = [](std::array<int, 4> got, std::array<int, 4> want) {
        for (size_t i = 0; i < 4; ++i)
            if (std::abs(got[i] - want[i]) > 1)
                return ::testing::AssertionFailure()
                       << "edge " << i << " at " << got[i] << ", expected " << want[i];
        return ::testing::AssertionSuccess();
    };
    auto within = [&](float x0, float y0, float x1, float y1) {
        return std::array<int, 4>{col(x0) - 8, row(y1) - 8, col(x1) + 8, row(y0) + 8};
    };
    EXPECT_TRUE(near(h.bits.extent(black, within(0.1f, 0.1f, 0.3f, 0.2f)),
                     {col(0.1f), row(0.2f), col(0.3f), row(0.1f)}))
        << "filled box";
    auto l = h.bits.extent(black, within(0.5f, 0.5f, 0.9f, 0.5f));
    EXPECT_TRUE(near(l, {col(0.5f), row(0.5f), col(0.9f), row(0.5f)})) << "line";
    // Cross marker of half size trunc(101.5 / 2) = 50 units.
    float half = 50.0f / 7100.0f;
    EXPECT_TRUE(
        near(h.bits.extent(black, within(0.5f - half, 0.8f - half, 0.5f + half, 0.8f + half)),
             {col(0.5f - half), row(0.8f + half), col(0.5f + half), row(0.8f - half)}))
        << "marker";
    auto t = h.bits.extent(black, within(0.1f, 0.7f, 0.2f, 0.8f));
    EXPECT_TRUE(near({t[1], t[3]}, {row(0.8f), row(0.7f)})) << "H from base line to cap height";
}

TEST_F(HpglTest, OpeningFailuresLeaveNoFile) {
    std::string plain = dir.write("plain", "x");
    const std::pair<std::string, std::string> rows[] = {
        {plain + "/sub/out.hpgl", "gopen_ws: unable to open HPGL file\n"},
        {dir.file("a.hpgl") + ",pens", "gopen_ws: unknown HPGL option: pens\n"},
        {dir.file("a.hpgl") + ",rot=45", "gopen_ws: invalid HPGL rotation: rot=45\n"},
        {dir.file("a.hpgl") + ",roll=0", "gopen_ws: invalid paper size: roll=0\n"},
        {dir.file("a.hpgl") + ",sz=0x0", "gopen_ws: invalid paper size: sz=0x0\n"},
        {dir.file("a.hpgl") + ",lwidth=-1", "gopen_ws: invalid HPGL pen width: lwidth=-1\n"},
    };
    for (const auto &row : rows) {
        const std::string &connection = row.first, &message = row.second;
        SCOPED_TRACE(connection);
        EXPECT_TRUE(has(
            stderr_of([&] { EXPECT_EQ(gopen_ws(1, connection.c_str(), GWS_HPGL), -1); }), message));
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.hpgl")));
    }
    EXPECT_TRUE(has(stderr_of([&] {
                        EXPECT_EQ(gopen_ws(1, dir.file("b.hpgl").c_str(), GWS_HPGL), 0);
                        float p[2] = {0.5f, 0.5f};
                        EXPECT_EQ(gload_image(nullptr, 0, 0), -1);
                        IMAGE im;
                        EXPECT_EQ(gload_image(&im, 0, 0), -1);
                        EXPECT_EQ(gpolymarker(1, p), 0);
                        gclose_ws(1);
                    }),
                    "gload_image: images are not supported on workstation type 5\n"));
}

} // namespace
