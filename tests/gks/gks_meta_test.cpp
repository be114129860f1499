// Text metafile records, replay, the CGM writer and its acceptance by NCAR's CGM tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "recording_device.h"

namespace {

using testsupport::TempDir;

class MetaTest : public GksTest {
  protected:
    TempDir dir;
    void SetUp() override {
        GksTest::SetUp();
        setenv("SOURCE_DATE_EPOCH", "0", 1);
        RES_put("file_path", dir.path().c_str());
    }
    void TearDown() override {
        unsetenv("SOURCE_DATE_EPOCH");
        GksTest::TearDown();
    }
    // A metafile workstation writing into `out`.
    void open_string(std::string *out, int type = GMETA_TEXT) {
        gopen_gks(nullptr);
        gmeta_set_type(type);
        gmeta_open_string(out);
        gset_win_size(1000, 800);
        gmeta_init_file();
        ASSERT_EQ(gopen_ws_device(gmeta_make_device()), 0);
    }
};

// Expects the open workstation's size and offset in device units.
void expect_geometry(int w, int h, int x, int y) {
    int a, b;
    gget_win_size(&a, &b);
    EXPECT_EQ(a, w);
    EXPECT_EQ(b, h);
    gget_win_offset(&a, &b);
    EXPECT_EQ(a, x);
    EXPECT_EQ(b, y);
}

TEST_F(MetaTest, RecordsPointLayoutAndReplay) {
    std::string out;
    open_string(&out);
    EXPECT_EQ(out, kMetaHeader);
    float pl[10] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
    float up[2] = {3, 4}, pos[2] = {0.25f, 0.75f}, rgb[3] = {1, 0.5f, 0.25f};
    float r[4] = {0.1f, 0.9f, 0.2f, 0.8f}, v[4] = {0, 0.5f, 0.25f, 0.75f};
    int al[2] = {2, 3}, fp[2] = {1, 2};
    const char *rect = " 0.100000 0.200000 0.900000 0.800000\n";
    // Each call and the records it writes (none when a value is unchanged).
    const std::pair<std::function<void()>, std::string> records[] = {
        {[&] { gpolyline(5, pl); }, "PL 5 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 "
                                    "0.700000,0.800000 \n   0.900000,1.000000 \n"},
        {[&] { gpolymarker(4, pl); }, "PM 4 0.100000,0.200000 0.300000,0.400000 "
                                      "0.500000,0.600000 0.700000,0.800000 \n   "},
        {[&] { gfill_area(3, pl); },
         "FA 3 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 \n"},
        {[] { gset_line_colr_ind(3); }, "PL_CLR 3\n"},
        {[] { gset_line_colr_ind(3); }, ""},
        {[] { gset_linewidth(2.5f); }, "PL_LW 2.500000\n"},
        {[] { gset_linetype(2); }, "PL_TYPE 2\n"},
        {[] { gset_marker_colr_ind(4); }, "PM_CLR 4\n"},
        {[] { gset_marker_size(2); }, "PM_SIZE 2.000000\n"},
        {[] { gset_marker_width(3); }, "PM_WDTH 3.000000\n"},
        {[] { gset_marker_type(5); }, "PM_TYPE 5\n"},
        {[] { gset_fill_colr_ind(6); }, "FA_CLR 6\n"},
        {[] { gset_fill_int_style(2); }, "FA_INT 2\n"},
        {[] { gset_fill_style_ind(9); }, "FA_ST 9\n"},
        {[] { gset_text_colr_ind(7); }, "TE_CLR 7\n"},
        {[] { gset_char_ht(0.02f); }, "TE_HGHT 0.020000\n"},
        {[] { gset_expan(1.5f); }, "TE_EXP 1.500000\n"},
        {[] { gset_text_width(2); }, "TE_WDTH 2.000000\n"},
        {[] { gset_space(0.5f); }, "TE_SPC 0.500000\n"},
        {[] { gset_char_space(1); }, "TE_CSPC 1.000000\n"},
        {[&] { gset_char_up_vec(up); }, "TE_UP 3.000000,4.000000\n"},
        {[&] { gset_text_align(al); }, "TE_ALGN 2 3\n"},
        {[&] { gset_fontprec(fp); }, "TE_FNT 1 2\n"},
        {[&] { gtext(pos, "Hello world"); }, "TE 0.250000,0.750000 Hello world\n"},
        {[&] { gset_colr_rep(1, 12, rgb); }, "CLR 1 12 1.000000 0.500000 0.250000\n"},
        {[&] { gclear_region(r); }, "CLR_REG 0.100000 0.200000 0.900000 0.800000\n"},
        {[] { gmessage(1, "a note"); }, "ME a note\n"},
        {[] { EXPECT_EQ(gcreate_seg(4), -1); }, "SEG_CR 4\n"},
        {[] { EXPECT_EQ(gclose_seg(4), -1); }, "SEG_CL 4\n"},
        {[] { EXPECT_EQ(gdel_seg(4), -1); }, "SEG_DE 4\n"},
        {[&] { gset_win(2, r); }, std::string("WIN 2") + rect},
        {[&] { gset_vp(2, v); }, "VP 2 0.000000 0.250000 0.500000 0.750000\n"},
        {[] { gsel_norm_tran(2); }, "TR 2\n"},
        {[] { gsel_norm_tran(2); }, ""},
        {[&] { gpolyline(2, pl); }, "PL 2 0.100000,0.200000 0.300000,0.400000 \n"},
        {[&] { gset_ws_win(1, r); }, std::string("WS_WIN 1") + rect},
        {[&] { gset_ws_vp(1, r); }, std::string("WS_VP 1") + rect},
    };
    for (const auto &[call, record] : records) {
        size_t before = out.size();
        call();
        EXPECT_EQ(out.substr(before), record);
    }
    size_t size = out.size();
    gclose_ws(1);
    EXPECT_EQ(out.size(), size);

    // Replay writes the file again, less the notes, segments, clears and workstation
    // window and viewport it ignores.
    std::string path = dir.write("records.meta", out), again, kept;
    gks_reset_state();
    open_string(&again);
    EXPECT_EQ(gread_metafile(path.c_str()), 0);
    gclose_ws(1);
    for (size_t at = 0, end; at < out.size(); at = end + 1) {
        end = std::min(out.find('\n', at), out.size());
        std::string line = out.substr(at, end + 1 - at);
        if (line.rfind("ME ", 0) && line.rfind("SEG_", 0) && line.rfind("CLR_REG ", 0) &&
            line.rfind("WS_", 0))
            kept += line;
    }
    EXPECT_EQ(again, kept);
}

TEST_F(MetaTest, ReplayIgnoresNotesAndCutsLongTexts) {
    auto *d = open(GWS_PS, 757, 577);
    std::string longtext(150, 'x');
    std::string path = dir.write("in.meta", "anything at all\n"
                                            "#Title: ignored\n"
                                            "WS_VP 1 0 0 500 400\n"
                                            "WS_WIN 1 0 0 1 1\n"
                                            "PL 2 0.1,0.2   0.3,0.4\n"
                                            "PL_CLR 5\n"
                                            "FA 4 0,0 1,0 1,1 \n   0,1 "
                                            "TE 0.5,0.5 " +
                                                longtext + "\n");
    EXPECT_EQ(gread_metafile(path.c_str()), 0);
    ASSERT_EQ(d->lines.size(), 1u);
    EXPECT_FLOAT_EQ(d->lines[0][1].y, 0.4f);
    EXPECT_EQ(gget_line_colr(), 5);
    ASSERT_EQ(d->fills.size(), 1u);
    EXPECT_FLOAT_EQ(d->fills[0][3].y, 1.0f);
    ASSERT_EQ(d->text_calls.size(), 1u);
    EXPECT_EQ(d->text_calls[0], std::string(100, 'x'));
}

TEST_F(MetaTest, BadMetafilesGiveAMessageAndNoCrash) {
    auto *d = open(GWS_PS, 757, 577);
    struct {
        const char *name;
        const char *text;
    } cases[] = {
        {"truncated", "ZORMETA\nPL 5 0,0 1,1 2,2\n"},
        {"absurd", "ZORMETA\nPL 2000000000 0,0 1,1\n"},
        {"negative", "ZORMETA\nFA -4 0,0\n"},
        {"nocomma", "ZORMETA\nPM 2 0 0 1 1\n"},
        {"nonumber", "ZORMETA\nTR x\n"},
        {"shortvp", "ZORMETA\nVP 1 0 0\n"},
        {"hugeint", "ZORMETA\nPL_CLR 99999999999999999999\n"},
        {"badup", "ZORMETA\nTE_UP 1\n"},
        {"badclr", "ZORMETA\nCLR 1 2 0.5\n"},
    };
    auto replay = [&](const std::string &name, const std::string &text) {
        std::string path = dir.write(name, text);
        return stderr_of([&] { EXPECT_EQ(gread_metafile(path.c_str()), 0) << name; });
    };
    for (const auto &c : cases)
        EXPECT_TRUE(has(replay(c.name, c.text), "gread_metafile: bad")) << c.name;
    EXPECT_TRUE(d->lines.empty());
    EXPECT_TRUE(d->fills.empty());
    EXPECT_TRUE(has(stderr_of([&] { gread_metafile(dir.file("absent").c_str()); }),
                    "gread_metafile: Unable to open image file:"));
    // Out-of-range values go to the setters, which refuse them.
    std::string err = replay("values", "ZORMETA\nTR 9\nPL_LW -3\nFA_ST 40\nPL_CLR 999\n");
    for (const char *m : {"invalid transformation number: 9", "invalid line width",
                          "invalid style index: 40", "invalid color index: 999"})
        EXPECT_TRUE(has(err, m));
}

// Opened as the plotting layer opens it, which resolves the environment and resources.
TEST_F(MetaTest, OpeningNamesAndOptions) {
    auto begin = [](const std::string &connection) {
        return GPH_begin(1, connection.c_str(), GWS_META);
    };
    std::string path = dir.file("pic.cgm");
    ASSERT_EQ(begin(path + ",cgm"), 0);
    EXPECT_EQ(gmeta_get_type(), GMETA_CGM);
    EXPECT_TRUE(gtype_is_META());
    EXPECT_EQ(gget_redraw(), 0);
    expect_geometry(1000, 800, 0, 0);
    GPH_end(1);
    EXPECT_EQ(testsupport::read_file(path).substr(0, 2), std::string("\x00\x20", 2));

    // The environment names the file when the connection does not; "zor" selects text.
    std::string env_path = dir.file("env.meta");
    setenv("zormeta_out", env_path.c_str(), 1);
    RES_put("geometry", "5x4+1+2");
    ASSERT_EQ(begin(",zor"), 0);
    unsetenv("zormeta_out");
    EXPECT_EQ(gmeta_get_type(), GMETA_TEXT);
    expect_geometry(500, 400, 100, 200);
    GPH_end(1);
    EXPECT_EQ(testsupport::read_file(env_path).substr(0, 8), "ZORMETA\n");

    // A panel of a 2 x 2 grid: column 1, row 0 (top right).
    RES_put("geometry", "P2x2+1+0");
    ASSERT_EQ(begin(dir.file("panel.meta")), 0);
    expect_geometry(500, 400, 500, 400);
    GPH_end(1);

    // A plain file in the way of the folder: the output cannot be created.
    std::string blocked = dir.write("plain", "x") + "/x.meta";
    std::string err = stderr_of([&] { EXPECT_EQ(begin(blocked), -1); });
    EXPECT_TRUE(has(err, "gopen_ws: unable to open metafile\n"));
    EXPECT_TRUE(has(err, "GPH_begin: Error opening workstation\n"));
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b)
        s.push_back(static_cast<char>(v));
    return s;
}

// The CGM binary layout, element by element (ISO 8632-3 command words worked out by hand:
// class << 12 | id << 5 | length). Coordinates are tenths of a device unit: the square
// viewport of the 1000 x 800 surface spans 0-799 units, the point 0.5 up lies at 399.5.
TEST_F(MetaTest, CgmElements) {
    std::string out;
    open_string(&out, GMETA_CGM);
    float p[4] = {0, 0, 1, 0.5f};
    gpolyline(2, p);
    gset_linewidth(3); // not written
    gpolymarker(2, p); // not written
    gclose_ws(1);
    std::string expected =
        bytes({0x00, 0x20}) +                                      // BEGIN METAFILE
        bytes({0x10, 0x22, 0x00, 0x01}) +                          // VERSION 1
        bytes({0x10, 0x4B, 0x0A}) + "ZORCGM-1.0" + bytes({0x00}) + // DESCRIPTION
        bytes({0x11, 0x66, 0x00, 0x01, 0xFF, 0xFF, 0x00, 0x01}) +  // ELEMENT LIST
        bytes({0x11, 0x21, 0xFF, 0x00}) +                          // MAX COLOUR INDEX
        bytes({0x20, 0xC8, 0, 0, 0, 0, 0x27, 0x10, 0x1F, 0x40}) +  // VDC EXTENT
        bytes({0x00, 0x60, 0x00, 0x80}) +                          // BEGIN PICTURE (BODY)
        bytes({0x30, 0xA8, 0, 0, 0, 0, 0x1F, 0x36, 0x1F, 0x36}) +  // CLIP 0,0 7990,7990
        bytes({0x40, 0x3F, 0x00, 0x08, 0, 0, 0, 0, 0x1F, 0x36, 0x0F, 0x9B}) + // POLYLINE
        bytes({0x00, 0xA0});                                                  // END PICTURE
    EXPECT_EQ(out, expected);
}

TEST_F(MetaTest, LongCgmPolylinesAreSplit) {
    std::string out;
    open_string(&out, GMETA_CGM);
    std::vector<float> pts;
    for (int i = 0; i < 9000; ++i) {
        pts.push_back(static_cast<float>(i % 100) / 100.0f);
        pts.push_back(0.5f);
    }
    gpolyline(9000, pts.data());
    gclose_ws(1);
    // 9000 points: 8000 in the first element, the shared point and 1000 more in the second.
    size_t first = out.find(bytes({0x40, 0x3F}));
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(out.substr(first + 2, 2), bytes({0x7D, 0x00})); // 32000 bytes
    size_t second = first + 4 + 32000;
    EXPECT_EQ(out.substr(second, 4), bytes({0x40, 0x3F, 0x0F, 0xA4})); // 4004 bytes
}

// NCAR's tools read the file (with END METAFILE appended, which cgm2ncgm waits for) and
// render it to PostScript.
TEST_F(MetaTest, CgmIsAcceptedByNcarTools) {
    if (!testsupport::have_program("cgm2ncgm") || !testsupport::have_program("ctrans"))
        GTEST_SKIP() << "cgm2ncgm / ctrans not installed (package ncl-ncarg)";
    std::string cgm;
    open_string(&cgm, GMETA_CGM);
    float v[4] = {0.1f, 0.9f, 0.1f, 0.7f}, w[4] = {0, 10, 0, 10};
    gset_vp(1, v);
    gset_win(1, w);
    gsel_norm_tran(1);
    std::vector<float> pts;
    for (int i = 0; i <= 40; ++i) {
        pts.push_back(static_cast<float>(i) / 4.0f);
        pts.push_back(5 + 4 * std::sin(static_cast<float>(i) / 4.0f));
    }
    gpolyline(41, pts.data());
    float box[10] = {0, 0, 10, 0, 10, 10, 0, 10, 0, 0};
    gpolyline(5, box);
    gclose_ws(1);
    testsupport::RunOptions opt;
    opt.env["NCARG_ROOT"] = "/usr";
    opt.stdin_text = cgm + bytes({0x00, 0x40});
    auto ncgm = testsupport::run_program("cgm2ncgm", {}, opt);
    ASSERT_EQ(ncgm.status, 0) << ncgm.err;
    opt.stdin_text.clear();
    auto ps =
        testsupport::run_program("ctrans", {"-d", "ps.color", dir.write("p.ncgm", ncgm.out)}, opt);
    EXPECT_EQ(ps.status, 0) << ps.err;
    EXPECT_EQ(ps.err.find("FATAL"), std::string::npos) << ps.err;
    EXPECT_EQ(ps.err.find("rror"), std::string::npos) << ps.err;
    EXPECT_EQ(ps.out.substr(0, 4), "%!PS");
    // 40 segments of the curve and 4 of the box, one "x y l" line each.
    size_t linetos = 0;
    float xmin = 1e9f, xmax = -1e9f;
    std::istringstream lines(ps.out);
    for (std::string line; std::getline(lines, line);) {
        float x = 0, y = 0;
        char op = 0;
        if (std::sscanf(line.c_str(), "%f %f %c", &x, &y, &op) == 3 && (op == 'l' || op == 'm')) {
            linetos += op == 'l';
            xmin = std::min(xmin, x);
            xmax = std::max(xmax, x);
        }
    }
    EXPECT_EQ(linetos, 44u);
    // The box spans 0.1-0.9 of the 800-unit square of the 1000 x 800 page: about 260 of
    // the 612 points of the sheet (ctrans draws in eighths of a point), not a tenth of that.
    EXPECT_GT((xmax - xmin) * 0.125f, 200.0f) << ps.out.substr(0, 2000);
}

} // namespace
