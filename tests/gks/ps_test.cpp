// PostScript workstation: prologs and trailers against hand-written golden files, the
// writer's state rules, pictures rendered by Ghostscript at the places the paper geometry
// gives, the EPS bounding box, failures, pipes, and printing the redraw store.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "gks/gks_hpgl.h"
#include "gks/gks_ps.h"
#include "paper_oracles.h"
#include "recording_device.h"
#include "sat/img_tool.h"

namespace {

using testsupport::read_file;
using testsupport::TempDir;

class PsTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        gps_reset_state();
        ghpgl_reset_state();
        setenv("SOURCE_DATE_EPOCH", "0", 1);
        for (const char *v : {"PSCOLOR", "zorps_param", "zorprint", "zorps_print", "PSPRINT",
                              "zorhp_out", "zorhp_param", "zorredraw"})
            unsetenv(v);
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
        gopen_gks(nullptr);
    }
    void TearDown() override {
        unsetenv("SOURCE_DATE_EPOCH");
        GksTest::TearDown();
        gps_reset_state();
        ghpgl_reset_state();
    }
    // A PostScript workstation writing into a string.
    void open_string(std::string *out) {
        gps_init();
        gps_open_string(out);
        ASSERT_EQ(gopen_ws_device(gps_make_device()), 0);
    }
};

// A red box (0.1, 0.1)-(0.2, 0.2) in transformation 0.
void red_box() {
    float red[3] = {1, 0, 0};
    float box[8] = {0.1f, 0.1f, 0.2f, 0.1f, 0.2f, 0.2f, 0.1f, 0.2f};
    gset_colr_rep(1, 2, red);
    gset_fill_colr_ind(2);
    gfill_area(4, box);
}

TEST_F(PsTest, PrologAndTrailerMatchTheGoldenFiles) {
    struct Row {
        std::string options, golden;
        bool append, reverse;
        const char *pscolor; // value of PSCOLOR, or null
    };
    const Row rows[] = {
        {"", "ps_landscape.ps", false, false, nullptr},
        {",eps,port", "ps_eps_portrait.ps", false, false, nullptr},
        {",EPS,color", "ps_eps_colour.ps", false, false, nullptr},
        {",eps", "ps_eps_colour.ps", false, false, "1"},
        {",gray", "ps_landscape.ps", false, false, "1"},
        {"", "ps_append.ps", true, false, nullptr},
        {",port,scale=0.5", "ps_portrait_reverse.ps", false, true, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.golden + row.options);
        if (row.pscolor)
            setenv("PSCOLOR", row.pscolor, 1);
        else
            unsetenv("PSCOLOR");
        std::string file = dir.file(row.golden);
        std::filesystem::remove(file);
        if (row.append)
            dir.write(row.golden, "");
        std::string connection = (row.append ? "+" : "") + file + row.options;
        ASSERT_EQ(gopen_ws(1, connection.c_str(), GWS_PS), 0);
        gps_set_reverse(row.reverse);
        red_box();
        gclose_ws(1);
        EXPECT_EQ(read_file(file), read_file(XSAT_SOURCE_DIR "/tests/gks/golden/" + row.golden));
        if (paper::have_gs() && !row.append) {
            EXPECT_EQ(paper::gs_status(file), 0) << "Ghostscript refuses " << file;
        }
    }
}

TEST_F(PsTest, WriterWritesOnlyWhatChanges) {
    std::string out;
    open_string(&out);
    float red[3] = {1, 0, 0}, sky[3] = {0.25f, 0.5f, 1};
    gset_colr_rep(1, 3, red);
    gset_colr_rep(1, 4, sky);
    const std::pair<std::function<void()>, std::string> rows[] = {
        // Dash patterns, written on change only.
        {[] { gps_set_type(2); }, "[6] 0 setdash\n"},
        {[] { gps_set_type(2); }, ""},
        {[] { gps_set_type(3); }, "[3 6] 0 setdash\n"},
        {[] { gps_set_type(4); }, "[6 6 3 6] 0 setdash\n"},
        {[] { gps_set_type(5); }, "[2] 0 setdash\n"},
        {[] { gps_set_type(9); }, ""},
        {[] { gps_set_type(1); }, "[] 0 setdash\n"},
        // Widths: the prolog's one dot is in effect; bold print colours double, thick
        // ones quadruple, both times the base width; others take the print-bold factor.
        {[] { gps_set_width(1, 1); }, ""},
        {[] { gps_set_width(1, 2.5f); }, "2.5 dot lw\n"},
        {[] { gps_set_width(501, 2); }, "4 dot lw\n"},
        {[] { gps_set_width(502, 2); }, "8 dot lw\n"},
        {[] {
             gps_set_base_width(2);
             gps_set_width(507, 1.5f);
         },
         "6 dot lw\n"},
        {[] {
             gset_line_print_bold(3);
             gps_set_width(5, 1.5f);
         },
         "9.0 dot lw\n"},
        {[] {
             gset_line_print_bold(1);
             gps_set_base_width(1);
         },
         ""},
        // Lines on grey paper are black; print colours are black, white or light grey.
        {[] { gps_set_color(4); }, ""},
        {[] { gps_set_color(503); }, "1 setgray\n"},
        {[] { gps_set_color(505); }, ""},
        {[] { gps_set_color(508); }, ".7 setgray\n"},
        {[] { gps_set_color(4); }, "0 setgray\n"},
        // Fills on grey paper: the grey level of the colour, white for the background,
        // black with the print-solid switch.
        {[] { gps_set_fill_color(3); }, "0.333 setgray\n"},
        {[] { gps_set_fill_color(3); }, ""},
        {[] { gps_set_fill_color(-1); }, "1 setgray\n"},
        {[] {
             gset_fill_print_solid(1);
             gps_set_fill_color(3);
         },
         "0 setgray\n"},
        {[] { gset_fill_print_solid(0); }, ""},
        // Colour paper: the colour's RGB, once; print colours stay grey levels.
        {[] {
             gps_set_colorPS(1);
             gps_set_color(4);
         },
         "0.25 0.50 1.00 setrgbcolor\n"},
        {[] { gps_set_fill_color(4); }, ""},
        {[] { gps_set_fill_color(500); }, "0 setgray\n"},
        {[] { gps_set_fill_color(4); }, "0.25 0.50 1.00 setrgbcolor\n"},
        // A new representation of the colour in effect is written again.
        {[&] {
             gset_colr_rep(1, 4, red);
             gps_set_color(4);
         },
         "1.00 0.00 0.00 setrgbcolor\n"},
    };
    for (const auto &[call, text] : rows) {
        size_t before = out.size();
        call();
        EXPECT_EQ(out.substr(before), text);
    }
    EXPECT_EQ(ginq_ws_color(), GWS_COLOR_RGB) << "the colour switch reaches the capabilities";
    gclose_ws(1);
}

TEST_F(PsTest, PrimitivesMarkersAndText) {
    std::string out;
    open_string(&out);
    float ws[4] = {0, 100, 0, 100};
    gset_ws_vp(1, ws);
    gset_linewidth(0);
    EXPECT_EQ(gget_linewidth(), 1.0f) << "a zero width is one dot on paper";
    // Markers: size 2 is 14.4 points, half size 7; drop shadows are for windows only.
    gset_font_drop(2);
    gset_marker_type(2);
    gset_marker_size(2);
    size_t at = out.size();
    float p[2] = {0.5f, 0.25f};
    gpolymarker(1, p);
    EXPECT_EQ(out.substr(at), "%%PM:1\nnp\n43.00 25.00 mv\n57.00 25.00 ln\nstroke\n"
                              "np\n50.00 32.00 mv\n50.00 18.00 ln\nstroke\n");
    // Text: its comment cannot end early, whatever the string holds.
    at = out.size();
    float pos[2] = {0.1f, 0.1f};
    gtext(pos, "A\nB\rC");
    EXPECT_TRUE(has(out.substr(at), "%%TE:0.100000 0.100000 A B C\nnp\n"));
    // Fills with a pattern are not drawn; clearing fills white.
    gset_fill_int_style(2);
    at = out.size();
    float tri[6] = {0, 0, 1, 0, 0, 1};
    gfill_area(3, tri);
    EXPECT_EQ(out.substr(at), "");
    float r[4] = {0.2f, 0.4f, 0.1f, 0.3f};
    gclear_region(r);
    EXPECT_EQ(out.substr(at), "%%CLR\nnp\n20.00 10.00 mv\n20.00 30.00 ln\n40.00 30.00 ln\n"
                              "40.00 10.00 ln\ncp\n1 setgray\nfill\n");
    gmessage(1, "note\n%!");
    EXPECT_TRUE(has(out, "%%Message: note %!\n"));
    gclose_ws(1);
}

TEST_F(PsTest, SurfaceFromPaperAndGeometry) {
    struct Row {
        std::string options, geometry;
        GSurface want;
    };
    // Paper less half an inch at 72 points to the inch; geometry in hundredths of an inch.
    const Row rows[] = {
        {"", "", {756, 576, 0, 0}},
        {",a4", "", {805, 558, 0, 0}},
        {",legal,port", "", {972, 576, 0, 0}},
        {",sz=8.5x11", "", {576, 756, 0, 0}},
        {"", "400x300+100+50", {288, 216, 72, 36}},
        {"", "400x300", {288, 216, 0, 0}},
        {"", "+100-50", {756, 576, 72, -36}},
        {"", "P2x2+1+0", {378, 288, 378, 288}},
        {"", "p0.5x0.25+0.5+0", {378, 144, 378, 0}},
    };
    setenv("zorps_param", "a3,eps", 1);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.options + " " + row.geometry);
        GksOpenArgs args;
        args.type = GWS_PS;
        args.connection = dir.file("s.ps") + ",letter" + row.options;
        args.geometry = row.geometry;
        ASSERT_EQ(gopen_ws_args(args), 0);
        GSurface s;
        gget_win_size(&s.width, &s.height);
        gget_win_offset(&s.x, &s.y);
        gclose_ws(1);
        EXPECT_EQ(std::tuple(s.width, s.height, s.x, s.y),
                  std::tuple(row.want.width, row.want.height, row.want.x, row.want.y));
    }
    unsetenv("zorps_param");
}

// The page of a landscape letter picture with the workstation viewport 500 points square:
// NDC (x, y) is (500 x, 500 y) points, turned to page point (594 - y, 18 + x) (a quarter
// inch margin, 8.5 inch paper), pixel column 594 - y and row 792 - 18 - x at 72 dpi.
struct Landscape {
    static int col(float ndc_y) { return static_cast<int>(594.0f - 500.0f * ndc_y); }
    static int row(float ndc_x) { return static_cast<int>(774.0f - 500.0f * ndc_x); }
};

// A 40 x 20 image whose pixel (r, c) has the value (3 r + 5 c) mod 256, with a colour
// table of red, green, blue and yellow.
IMAGE test_image() {
    IMAGE im;
    im.nx = im.bytes_per_line = 40;
    im.ny = 20;
    im.depth = 8;
    for (int r = 0; r < im.ny; ++r)
        for (int c = 0; c < im.nx; ++c)
            im.data.push_back(static_cast<uint8_t>((3 * r + 5 * c) % 256));
    im.colors = std::make_shared<std::vector<float>>();
    for (int v = 0; v < 256; ++v) {
        static const float table[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
        im.colors->insert(im.colors->end(), table[v % 4], table[v % 4] + 3);
    }
    im.num_colors = 256;
    return im;
}

// The image in a 100 x 50 point viewport at NDC (0.6, 0.6), placed 10 pixels right of the
// viewport's left edge and 5 rows up (its first 5 rows skipped): viewport pixel (i, j),
// j from the top, shows image pixel (row j + 5, column i - 10), or white.
void draw_test_image(const IMAGE &im) {
    float vp[4] = {0.6f, 0.8f, 0.6f, 0.7f};
    gset_vp(1, vp);
    gsel_norm_tran(1);
    EXPECT_EQ(gload_image(&im, -10, 5), 0);
    gsel_norm_tran(0);
}

std::array<int, 3> expected_image_pixel(const IMAGE &im, int i, int j, bool colour) {
    int r = j + 5, c = i - 10;
    if (r >= im.ny || c < 0 || c >= im.nx)
        return {255, 255, 255};
    int v = im.data[static_cast<size_t>(r * im.nx + c)];
    if (!colour)
        return {v, v, v};
    const float *rgb = im.colors->data() + 3 * v;
    return {static_cast<int>(rgb[0] * 255), static_cast<int>(rgb[1] * 255),
            static_cast<int>(rgb[2] * 255)};
}

TEST_F(PsTest, GhostscriptRendersTheShapesWhereThePaperPutsThem) {
    if (!paper::have_gs())
        GTEST_SKIP() << "Ghostscript (gs) not installed";
    for (bool colour : {true, false}) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        std::string file = dir.file(colour ? "colour.ps" : "grey.ps");
        ASSERT_EQ(gopen_ws(1, (file + (colour ? ",color" : "")).c_str(), GWS_PS), 0);
        float ws[4] = {0, 500, 0, 500};
        gset_ws_vp(1, ws);
        // A red box, a black line 10 dots wide, a plus marker, the letter H 0.1 high.
        red_box();
        gset_linewidth(10);
        float line[4] = {0.5f, 0.5f, 0.9f, 0.5f};
        gpolyline(2, line);
        gset_marker_type(2);
        gset_marker_size(3);
        float mark[2] = {0.5f, 0.2f};
        gpolymarker(1, mark);
        gset_char_ht(0.1f);
        float pos[2] = {0.3f, 0.8f};
        gtext(pos, "H");
        IMAGE im = test_image();
        draw_test_image(im);
        gclose_ws(1);
        ASSERT_EQ(paper::gs_status(file), 0);
        auto page = paper::gs_render(file, file + ".png");
        ASSERT_EQ(std::pair(page.width, page.height), std::pair(612, 792));

        auto red = [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; };
        auto grey = [](int r, int g, int b) { return r == g && g == b && r > 60 && r < 110; };
        auto dark = [](int r, int g, int b) { return r < 100 && g < 100 && b < 100; };
        auto near = [](std::array<int, 4> got, std::array<int, 4> want) {
            for (size_t i = 0; i < 4; ++i)
                if (std::abs(got[i] - want[i]) > 1)
                    return ::testing::AssertionFailure()
                           << "edge " << i << " at " << got[i] << ", expected " << want[i];
            return ::testing::AssertionSuccess();
        };
        // Box: x 0.1..0.2 gives rows 724..674, y 0.1..0.2 columns 544..494; grey paper
        // shows red at the grey level 0.333.
        std::array<int, 4> box{Landscape::col(0.2f), Landscape::row(0.2f), Landscape::col(0.1f),
                               Landscape::row(0.1f)};
        std::array<int, 4> around{box[0] - 10, box[1] - 10, box[2] + 10, box[3] + 10};
        EXPECT_TRUE(near(colour ? page.extent(red, around) : page.extent(grey, around),
                         {box[0], box[1], box[2] - 1, box[3] - 1}));
        // Line at y 0.5 from x 0.5 to 0.9, 3.3 points wide.
        auto l = page.extent(dark, {Landscape::col(0.5f) - 10, Landscape::row(0.9f) - 10,
                                    Landscape::col(0.5f) + 10, Landscape::row(0.5f) + 10});
        EXPECT_TRUE(near({l[1], l[3]}, {Landscape::row(0.9f), Landscape::row(0.5f) - 1}));
        EXPECT_LE(l[2] - l[0], 4);
        // Plus marker of half size trunc(3 * 7.2 / 2) = 10 points.
        auto m = page.extent(dark, {Landscape::col(0.2f) - 15, Landscape::row(0.5f) - 15,
                                    Landscape::col(0.2f) + 15, Landscape::row(0.5f) + 15});
        EXPECT_TRUE(near(m, {Landscape::col(0.2f) - 10, Landscape::row(0.5f) - 10,
                             Landscape::col(0.2f) + 10, Landscape::row(0.5f) + 10}));
        // The H stands on its base line y 0.8 and reaches the character height, 50 points.
        auto h = page.extent(dark, {Landscape::col(0.95f), Landscape::row(0.45f),
                                    Landscape::col(0.75f), Landscape::row(0.29f)});
        EXPECT_TRUE(near({h[0], h[2]}, {Landscape::col(0.9f), Landscape::col(0.8f) - 1}));
        EXPECT_GE(h[3], Landscape::row(0.3f) - 4) << "starts at the text position";
        // Image: viewport pixel (i, j) is the page pixel (594 - 350 + j, 774 - 300 - 1 - i).
        int wrong = 0;
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 50; ++j)
                if (page.at(244 + j, 473 - i) != expected_image_pixel(im, i, j, colour))
                    ++wrong;
        EXPECT_EQ(wrong, 0) << "image pixels away from their places";
    }
}

TEST_F(PsTest, EpsBoundingBoxHoldsTheWholeSurface) {
    if (!paper::have_gs())
        GTEST_SKIP() << "Ghostscript (gs) not installed";
    // Portrait only: a landscape EPS page is moved down by the whole page height and its
    // drawing lies 36 points beyond the declared box (see gps_init_file).
    for (const char *options : {",eps,port", ",eps,port,letter,lwidth=2,color"}) {
        SCOPED_TRACE(options);
        std::string file = dir.file("surface.eps");
        ASSERT_EQ(gopen_ws(1, (file + options).c_str(), GWS_PS), 0);
        // Workstation window of the surface's aspect: the device rectangle is all of it.
        float ws[4] = {0, 1, 0, 575.0f / 755.0f};
        gset_ws_win(1, ws);
        float all[8] = {0, 0, 1, 0, 1, ws[3], 0, ws[3]};
        gfill_area(4, all);
        gclose_ws(1);
        std::string text = read_file(file);
        int x0, y0, x1, y1;
        ASSERT_EQ(std::sscanf(text.c_str() + text.find("%%BoundingBox:"),
                              "%%%%BoundingBox: %d %d %d %d", &x0, &y0, &x1, &y1),
                  4);
        auto got = paper::gs_bbox(file);
        // The surface is 756 by 576 points less the last point the device rectangle ends at.
        const std::array<int, 4> header{x0, y0, x1, y1};
        const std::array<int, 4> want{0, 0, 756, 576};
        EXPECT_EQ(header, want);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(got[static_cast<size_t>(i)], (std::array<int, 4>{x0, y0, x1, y1})[i], 1)
                << "edge " << i;
    }
}

TEST_F(PsTest, OpeningFailuresLeaveNoFile) {
    std::string plain = dir.write("plain", "x");
    struct Row {
        std::string connection, geometry, message;
    };
    const Row rows[] = {
        {plain + "/sub/out.ps", "", "gopen_ws: unable to open postscript file\n"},
        {dir.file("a.ps") + ",wibble", "", "gopen_ws: unknown PostScript option: wibble\n"},
        {dir.file("a.ps") + ",sz=0x0", "", "gopen_ws: invalid paper size: sz=0x0\n"},
        {dir.file("a.ps") + ",sz=0.4x8", "", "gopen_ws: invalid paper size: 0.4x8\n"},
        {dir.file("a.ps") + ",scale=big", "", "gopen_ws: invalid PostScript scale: scale=big\n"},
        {dir.file("a.ps") + ",lwidth=0", "", "gopen_ws: invalid PostScript line width"},
        {dir.file("a.ps"), "0x0", "gopen_ws: invalid geometry: 0x0\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.connection);
        GksOpenArgs args;
        args.type = GWS_PS;
        args.connection = row.connection;
        args.geometry = row.geometry;
        EXPECT_TRUE(has(stderr_of([&] { EXPECT_EQ(gopen_ws_args(args), -1); }), row.message));
        EXPECT_EQ(gchk_graphics(), 0);
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.ps")));
    }
}

TEST_F(PsTest, PipesAndWriteErrorsAreReportedOnceAtClose) {
    // A command that stops reading must not end the program (SIGPIPE), whatever the
    // test runner set before.
    std::signal(SIGPIPE, SIG_DFL);
    std::string copy = dir.file("copy.ps");
    ASSERT_EQ(gopen_ws(1, ("|cat > " + copy).c_str(), GWS_PS), 0);
    red_box();
    gclose_ws(1);
    EXPECT_TRUE(has(read_file(copy), "%%EOF\n"));

    auto big_picture = [] {
        std::vector<float> pts;
        for (int i = 0; i < 20000; ++i) {
            pts.push_back(static_cast<float>(i % 100) / 100);
            pts.push_back(static_cast<float>(i % 7) / 7);
        }
        gpolyline(static_cast<int>(pts.size() / 2), pts.data());
    };
    const std::pair<std::string, std::string> rows[] = {
        {"|cat >/dev/null; exit 3",
         "command cat >/dev/null; exit 3 failed: output is incomplete\n"},
        {"|head -c 10 >/dev/null", "write error on head -c 10 >/dev/null: output is incomplete\n"},
        {"/dev/full", "write error on /dev/full: output is incomplete\n"},
    };
    for (const auto &row : rows) {
        const std::string &name = row.first, &message = row.second;
        SCOPED_TRACE(name);
        std::string err = stderr_of([&] {
            ASSERT_EQ(gopen_ws(1, name.c_str(), GWS_PS), 0);
            big_picture();
            EXPECT_EQ(gget_device()->close(), -1);
            gclose_ws(1);
        });
        EXPECT_TRUE(has(err, message));
        EXPECT_EQ(err.find(message), err.rfind(message)) << "reported once";
    }
}

// The store of a window printed to PostScript, or to HP-GL when "zorprint" asks for it.
TEST_F(PsTest, PrintingTheStore) {
    auto window = std::make_unique<RecordingDevice>(GWS_WIN);
    RecordingDevice *w = window.get();
    gset_win_size(640, 512);
    ASSERT_EQ(gopen_ws_device(std::move(window)), 0);
    red_box();
    float line[4] = {0.1f, 0.5f, 0.9f, 0.5f};
    gset_linetype(2);
    gpolyline(2, line);
    ASSERT_FALSE(gget_objects().empty());

    std::string ps = dir.file("print.ps");
    setenv("PSPRINT", ps.c_str(), 1);
    ASSERT_EQ(gobj_print_plot(), 0);
    unsetenv("PSPRINT");
    std::string text = read_file(ps);
    // The page is 756 by 576 points; the unit square fills its height.
    EXPECT_TRUE(has(text, "%%FA:4\nnp\n57.60 57.60 mv\n"));
    EXPECT_TRUE(has(text, "[6] 0 setdash\nnp\n57.60 288.00 mv\n518.40 288.00 ln\nstroke\n"));
    EXPECT_EQ(gget_device(), w);
    EXPECT_TRUE(gtype_is_WIN());
    int width, height;
    gget_win_size(&width, &height);
    EXPECT_EQ(std::pair(width, height), std::pair(640, 512));
    if (paper::have_gs()) {
        EXPECT_EQ(paper::gs_status(ps), 0);
    }

    std::string hp = dir.file("print.hpgl");
    setenv("zorprint", "hpgl", 1);
    setenv("zorhp_out", hp.c_str(), 1);
    ASSERT_EQ(gobj_print_plot(), 0);
    unsetenv("zorprint");
    unsetenv("zorhp_out");
    // The HP-GL page is 10150 by 7612 units from (10, 10): NDC 0.1 is 771.1.
    EXPECT_TRUE(has(read_file(hp), "PU771,771;PM0;"));
    if (paper::have_hp2xx()) {
        auto h = paper::hp2xx(hp, hp + ".pbm");
        EXPECT_EQ(h.ignored, 1) << "only the screened-vector SV command, unknown to hp2xx\n"
                                << h.err;
    }

    // An empty store prints an empty, valid page.
    gclear_objs();
    setenv("zorps_print", ps.c_str(), 1);
    EXPECT_TRUE(has(stderr_of([] { EXPECT_EQ(gobj_print_plot(), 0); }),
                    "gobj_print_plot: No redraw data to make Postscript file from\n"));
    unsetenv("zorps_print");
    if (paper::have_gs()) {
        EXPECT_EQ(paper::gs_status(ps), 0);
    }
    gclose_ws(1);
}

} // namespace
