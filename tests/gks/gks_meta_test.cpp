// Text metafile records, replay, the CGM writer and its acceptance by NCAR's CGM tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "recording_device.h"
#include "support/test_support.h"

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

const char *kHeader = "ZORMETA\n"
                      "#Title: ZOR Graphics Display: X11_Graph\n"
                      "#Creator: ZOR Metafile Processor-1.0\n"
                      "#CreationDate: Thu Jan  1 00:00:00 1970\n";

TEST_F(MetaTest, RecordsAndPointLayout) {
    std::string out;
    open_string(&out);
    float pl[10] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
    gpolyline(5, pl);
    gpolymarker(4, pl);
    gfill_area(3, pl);
    gset_line_colr_ind(3);
    gset_line_colr_ind(3);
    gset_linewidth(2.5f);
    gset_linetype(2);
    gset_marker_colr_ind(4);
    gset_marker_size(2);
    gset_marker_width(3);
    gset_marker_type(5);
    gset_fill_colr_ind(6);
    gset_fill_int_style(2);
    gset_fill_style_ind(9);
    gset_text_colr_ind(7);
    gset_char_ht(0.02f);
    gset_expan(1.5f);
    gset_text_width(2);
    gset_space(0.5f);
    gset_char_space(1);
    float up[2] = {3, 4};
    gset_char_up_vec(up);
    int al[2] = {2, 3};
    gset_text_align(al);
    int fp[2] = {1, 2};
    gset_fontprec(fp);
    float pos[2] = {0.25f, 0.75f};
    gtext(pos, "Hello world");
    float rgb[3] = {1, 0.5f, 0.25f};
    gset_colr_rep(1, 12, rgb);
    float r[4] = {0.1f, 0.9f, 0.2f, 0.8f};
    gclear_region(r);
    gmessage(1, "a note");
    EXPECT_EQ(gcreate_seg(4), -1);
    EXPECT_EQ(gclose_seg(4), -1);
    EXPECT_EQ(gdel_seg(4), -1);
    gset_win(2, r);
    gset_vp(2, r);
    gsel_norm_tran(2);
    gsel_norm_tran(2);
    gset_ws_win(1, r);
    gset_ws_vp(1, r);
    gclose_ws(1);
    std::string expected = std::string(kHeader) +
                           "PL 5 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 "
                           "0.700000,0.800000 \n   0.900000,1.000000 \n"
                           "PM 4 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 "
                           "0.700000,0.800000 \n   "
                           "FA 3 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 \n"
                           "PL_CLR 3\nPL_LW 2.500000\nPL_TYPE 2\n"
                           "PM_CLR 4\nPM_SIZE 2.000000\nPM_WDTH 3.000000\nPM_TYPE 5\n"
                           "FA_CLR 6\nFA_INT 2\nFA_ST 9\n"
                           "TE_CLR 7\nTE_HGHT 0.020000\nTE_EXP 1.500000\nTE_WDTH 2.000000\n"
                           "TE_SPC 0.500000\nTE_CSPC 1.000000\nTE_UP 3.000000,4.000000\n"
                           "TE_ALGN 2 3\nTE_FNT 1 2\n"
                           "TE 0.250000,0.750000 Hello world\n"
                           "CLR 1 12 1.000000 0.500000 0.250000\n"
                           "CLR_REG 0.100000 0.200000 0.900000 0.800000\n"
                           "ME a note\n"
                           "SEG_CR 4\nSEG_CL 4\nSEG_DE 4\n"
                           "WIN 2 0.100000 0.200000 0.900000 0.800000\n"
                           "VP 2 0.100000 0.200000 0.900000 0.800000\n"
                           "TR 2\n"
                           "WS_WIN 1 0.100000 0.200000 0.900000 0.800000\n"
                           "WS_VP 1 0.100000 0.200000 0.900000 0.800000\n";
    EXPECT_EQ(out, expected);
}

// Writes a picture, replays it onto a second metafile and compares the two files.
TEST_F(MetaTest, ReplayWritesTheSameFile) {
    std::string first_path = dir.file("first.meta");
    gopen_gks(nullptr);
    ASSERT_EQ(gopen_ws(1, first_path.c_str(), GWS_META), 0);
    float w[4] = {-100, 100, -50, 50}, v[4] = {0.1f, 0.9f, 0.1f, 0.5f};
    gset_win(1, w);
    gset_vp(1, v);
    gsel_norm_tran(1);
    float rgb[3] = {0.2f, 0.4f, 0.6f};
    gset_colr_rep(1, 20, rgb);
    gset_line_colr_ind(20);
    gset_linewidth(2);
    std::vector<float> pts;
    for (int i = 0; i < 13; ++i) {
        pts.push_back(-100 + 15.5f * static_cast<float>(i));
        pts.push_back(static_cast<float>(i * i) / 7.0f - 20);
    }
    gpolyline(13, pts.data());
    gset_marker_type(4);
    gset_marker_size(1.5f);
    gpolymarker(8, pts.data());
    gpolymarker(3, pts.data() + 4);
    gset_fill_int_style(2);
    gset_fill_style_ind(12);
    gfill_area(6, pts.data());
    float up[2] = {0.5f, 0.5f};
    gset_char_up_vec(up);
    int al[2] = {2, 5};
    gset_text_align(al);
    gset_char_ht(3);
    float pos[2] = {12.5f, -7.25f};
    gtext(pos, "Label: 1013 hPa, 25 C");
    gsel_norm_tran(0);
    float p2[4] = {0, 0, 1, 1};
    gpolyline(2, p2);
    gclose_ws(1);
    std::string first = testsupport::read_file(first_path);
    ASSERT_FALSE(first.empty());

    std::string second_path = dir.file("second.meta");
    ASSERT_EQ(gopen_ws(1, second_path.c_str(), GWS_META), 0);
    EXPECT_EQ(gread_metafile(first_path.c_str()), 0);
    gclose_ws(1);
    EXPECT_EQ(testsupport::read_file(second_path), first);
}

TEST_F(MetaTest, ReplayIgnoresNotesAndCutsLongTexts) {
    auto *d = open(GWS_PS, 757, 577);
    std::string longtext(150, 'x');
    std::string path = dir.write("in.meta", "anything at all\n"
                                            "#Title: ignored\n"
                                            "ME this is a message\n"
                                            "SEG_CR 3\n"
                                            "CLR_REG 0 0 1 1\n"
                                            "WS_VP 1 0 0 500 400\n"
                                            "WS_WIN 1 0 0 1 1\n"
                                            "PL 2 0.1,0.2   0.3,0.4\n"
                                            "PL_CLR 5\n"
                                            "FA 4 0,0 1,0 1,1 \n   0,1 "
                                            "TE 0.5,0.5 " +
                                                longtext + "\n");
    EXPECT_EQ(gread_metafile(path.c_str()), 0);
    EXPECT_TRUE(d->messages.empty());
    EXPECT_EQ(d->clears, 0);
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
    for (const auto &c : cases) {
        std::string path = dir.write(c.name, c.text);
        testing::internal::CaptureStderr();
        EXPECT_EQ(gread_metafile(path.c_str()), 0);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("gread_metafile: bad"), std::string::npos) << c.name << ": " << err;
    }
    EXPECT_TRUE(d->lines.empty());
    EXPECT_TRUE(d->fills.empty());
    testing::internal::CaptureStderr();
    gread_metafile(dir.file("absent").c_str());
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("gread_metafile: Unable to open image file:"),
        std::string::npos);
    // Out-of-range values go to the setters, which refuse them.
    std::string path = dir.write("values", "ZORMETA\nTR 9\nPL_LW -3\nFA_ST 40\nPL_CLR 999\n");
    testing::internal::CaptureStderr();
    gread_metafile(path.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("invalid transformation number: 9"), std::string::npos);
    EXPECT_NE(err.find("invalid line width"), std::string::npos);
    EXPECT_NE(err.find("invalid style index: 40"), std::string::npos);
    EXPECT_NE(err.find("invalid color index: 999"), std::string::npos);
}

TEST_F(MetaTest, OpeningNamesAndOptions) {
    gopen_gks(nullptr);
    std::string path = dir.file("pic.cgm");
    ASSERT_EQ(gopen_ws(1, (path + ",cgm").c_str(), GWS_META), 0);
    EXPECT_EQ(gmeta_get_type(), GMETA_CGM);
    EXPECT_TRUE(gtype_is_META());
    EXPECT_EQ(gget_redraw(), 0);
    int w, h;
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 800);
    gclose_ws(1);
    EXPECT_EQ(testsupport::read_file(path).substr(0, 2), std::string("\x00\x20", 2));

    // The environment names the file when the connection does not; "zor" selects text.
    std::string env_path = dir.file("env.meta");
    setenv("zormeta_out", env_path.c_str(), 1);
    RES_put("geometry", "5x4+1+2");
    ASSERT_EQ(gopen_ws(1, ",zor", GWS_META), 0);
    unsetenv("zormeta_out");
    EXPECT_EQ(gmeta_get_type(), GMETA_TEXT);
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 400);
    gget_win_offset(&w, &h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 200);
    gclose_ws(1);
    EXPECT_EQ(testsupport::read_file(env_path).substr(0, 8), "ZORMETA\n");

    // A panel of a 2 x 2 grid: column 1, row 0 (top right).
    RES_put("geometry", "P2x2+1+0");
    ASSERT_EQ(gopen_ws(1, dir.file("panel.meta").c_str(), GWS_META), 0);
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 400);
    gget_win_offset(&w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 400);
    gclose_ws(1);

    // A plain file in the way of the folder: the output cannot be created.
    std::string blocked = dir.write("plain", "x") + "/x.meta";
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, blocked.c_str(), GWS_META), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gopen_ws: unable to open metafile\n"),
              std::string::npos);
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b)
        s.push_back(static_cast<char>(v));
    return s;
}

// The CGM binary layout, element by element (ISO 8632-3 command words worked out by hand:
// class << 12 | id << 5 | length).
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
        bytes({0x30, 0xA8, 0, 0, 0, 0, 0x03, 0x1F, 0x03, 0x1F}) +  // CLIP 0,0 799,799
        bytes({0x40, 0x3F, 0x00, 0x08, 0, 0, 0, 0, 0x03, 0x1F, 0x01, 0x8F}) + // POLYLINE
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
    std::string cgm = dir.file("pic.cgm");
    gopen_gks(nullptr);
    ASSERT_EQ(gopen_ws(1, (cgm + ",cgm").c_str(), GWS_META), 0);
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
    std::string content = testsupport::read_file(cgm) + bytes({0x00, 0x40});
    std::string with_end = dir.write("pic_end.cgm", content);
    testsupport::RunOptions opt;
    opt.env["NCARG_ROOT"] = "/usr";
    auto r1 = testsupport::run_program(
        "/bin/sh", {"-c", "cgm2ncgm < '" + with_end + "' > '" + dir.file("pic.ncgm") + "'"}, opt);
    ASSERT_EQ(r1.status, 0) << r1.err;
    auto r2 = testsupport::run_program(
        "/bin/sh",
        {"-c", "ctrans -d ps.color '" + dir.file("pic.ncgm") + "' > '" + dir.file("out.ps") + "'"},
        opt);
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(r2.err.find("FATAL"), std::string::npos) << r2.err;
    EXPECT_EQ(r2.err.find("rror"), std::string::npos) << r2.err;
    std::string ps = testsupport::read_file(dir.file("out.ps"));
    EXPECT_EQ(ps.substr(0, 4), "%!PS");
    // Each polyline is stroked ("t" is ctrans's stroke).
    EXPECT_GE(std::count(ps.begin(), ps.end(), 'l'), 40);
}

} // namespace
