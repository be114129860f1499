// Plot domain strings, region files and built-ins, comparison and priority.
// Expected records are worked out by hand from the domain-string rules.
#include "map/region.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;
constexpr float M = -9999.0f;
constexpr int IM = -9999;

struct ExitCalled : std::runtime_error {
    int status;
    explicit ExitCalled(int s) : std::runtime_error("exit"), status(s) {}
};
[[noreturn]] void throw_exit(int status) {
    throw ExitCalled(status);
}

class RegionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        FLAG_reset();
        MESS_reset_state();
        FILE_reset_state();
        DOM_reset_state();
        ZOR_set_exit_handler(throw_exit);
    }
    void TearDown() override {
        MESS_file_close();
        ZOR_set_exit_handler(nullptr);
    }
    // Messages printed while f runs (debug output included).
    template <class F> std::string messages(F f) {
        std::string log = tmp.file("messages.log");
        MESS_set(1, MESS_DEBUG);
        MESS_file(log.c_str(), "w");
        f();
        MESS_file_close();
        return testsupport::read_file(log);
    }
    TempDir tmp;
};

DOMAIN make(int proj, float clat, float clon, int nx, int ny, float dx, float dy) {
    DOMAIN d;
    d.proj = proj;
    d.clat = clat;
    d.clon = clon;
    d.nx = nx;
    d.ny = ny;
    d.dx = dx;
    d.dy = dy;
    return d;
}

void expect_same(const DOMAIN &want, const DOMAIN &got, const std::string &what) {
    EXPECT_EQ(want.proj, got.proj) << what;
    for (int i = 0; i < 7; ++i)
        EXPECT_FLOAT_EQ(want.param[i], got.param[i]) << what << " param[" << i << "]";
    EXPECT_FLOAT_EQ(want.clat, got.clat) << what;
    EXPECT_FLOAT_EQ(want.clon, got.clon) << what;
    EXPECT_EQ(want.nx, got.nx) << what;
    EXPECT_EQ(want.ny, got.ny) << what;
    EXPECT_FLOAT_EQ(want.dx, got.dx) << what;
    EXPECT_FLOAT_EQ(want.dy, got.dy) << what;
    EXPECT_EQ(want.ellipsoid, got.ellipsoid) << what;
}

TEST_F(RegionTest, EveryPatternInOrderWithItsDefaults) {
    auto p1 = [](DOMAIN d, float plon) {
        d.param[1] = plon;
        return d;
    };
    DOMAIN lc = make(4, 35, -95, 41, 31, 1, 1);
    lc.param[0] = 30;
    lc.param[1] = -95;
    lc.param[2] = 25;
    lc.param[3] = 45;
    struct Row {
        const char *text;
        const char *label;
        int result;
        DOMAIN want;
    } rows[] = {
        {"size,640,480", " 0 proj,nx,ny", 1, make(51, M, M, 640, 480, M, M)},
        {"ps,-105,40,-100,25,17,1.2,1.2", " 0 proj,plon,clat,clon,nx,ny,dx,dy", 1,
         p1(make(1, 40, -100, 25, 17, 1.2f, 1.2f), -105)},
        {"lc:30:-95:25:45,35,-95,41,31,1.0,1.0", " 0 proj,clat,clon,nx,ny,dx,dy", 1, lc},
        {"ps,40,-100,,,1.0,1.0", " 0 proj,clat,clon,nx,ny,dx,dy", 1,
         make(1, 40, -100, IM, IM, 1, 1)},
        // Six fields with a keyword are plon,clat,clon,dx,dy: try 4 comes first.
        {"ps,40,-100,25,17,1.2", " 0 proj,plon,clat,clon,dx,dy", 1,
         p1(make(1, -100, 25, 25, 17, 17, 1.2f), 40)},
        {"40,-100,25,17,1.2,1.2", " 0 clat,clon,nx,ny,dx,dy", 1,
         make(1, 40, -100, 25, 17, 1.2f, 1.2f)},
        {"ps,40,-100,1.5,1.5", " 0 proj,clat,clon,dx,dy", 1, make(1, 40, -100, 25, 17, 1.5f, 1.5f)},
        {"40,-100,31,21,1.5", " 0 clat,clon,nx,ny,dx", 1, make(1, 40, -100, 31, 21, 1.5f, 1.5f)},
        {"merc,40,-100,1.5", " 0 proj,clat,clon,dx", 1, make(3, 40, -100, 25, 17, 1.5f, 1.5f)},
        {"40,-100,31,21", " 0 clat,clon,nx,ny", 1, make(1, 40, -100, 31, 21, 1.2f, 1.2f)},
        // Three fields of numbers are clat,clon,dx (try 11 before try 12).
        {"40,-100,2", " 0 clat,clon,dx", 1, make(1, 40, -100, 25, 17, 2, 2)},
        {"ps,40,-100", " 0 proj,clat,clon", 1, make(1, 40, -100, 25, 17, 1.2f, 1.2f)},
        {"ps:-105,40,-100", " 0 proj,clat,clon", 1,
         p1(make(1, 40, -100, 25, 17, 1.2f, 1.2f), -105)},
        {"zoom,40,-100", " 0 proj,clat,clon", 1, make(50, 40, -100, 25, 17, 1, 1)},
        // ".5" is no integer, so "size" falls through to try 12's size rule.
        {"size,640.9,.5", " 0 proj,clat,clon", 1, make(51, M, M, 640, 0, M, M)},
        {"40,-100", " 0 clat,clon", 1, make(1, 40, -100, 25, 17, 1.2f, 1.2f)},
        {"none", " 0 id:###", 1, make(1, M, M, 25, 17, 1.2f, 1.2f)},
        {"se", " 0 reg:REG", 2, p1(make(1, 31, -88, 25, 17, 1.1f, 1.1f), -88)},
        {"lambaz,40,-100", " 0 proj,clat,clon", 1, make(4, 40, -100, 25, 17, 1.2f, 1.2f)},
    };
    for (const Row &r : rows) {
        DOMAIN d;
        int result = 0;
        std::string log = messages([&] { result = DOM_decode(r.text, &d); });
        EXPECT_EQ(r.result, result) << r.text;
        EXPECT_NE(log.find(std::string(r.label) + "\n"), std::string::npos) << r.text << "\n"
                                                                            << log;
        expect_same(r.want, d, r.text);
        EXPECT_EQ(result, FLAG_get(FLAG_DOMAIN)) << r.text;
        ASSERT_NE(FILE_get_key('r'), nullptr);
        EXPECT_STREQ(r.text, FILE_get_key('r'));
    }
}

TEST_F(RegionTest, InvalidAndMissingStrings) {
    DOMAIN d;
    for (const char *text : {"ps,40", "40,-100,abc", "ps,abc,-100", "40,-100,99999999999,17",
                             "a,b,c,d,e,f,g,h,i", ",,,", "id:"}) {
        std::string log = messages([&] { EXPECT_EQ(-1, DOM_decode(text, &d)) << text; });
        EXPECT_NE(log.find("DOM_decode: Invalid plot domain\n"), std::string::npos) << text;
        EXPECT_EQ(-1, FLAG_get(FLAG_DOMAIN));
    }
    // An unknown keyword leaves projection 1 from the last pattern tried.
    EXPECT_EQ(-1, DOM_decode("qq,40,-100", &d));
    EXPECT_EQ(1, d.proj);
    for (const char *text : {"", "MISS", "miss"}) {
        EXPECT_EQ(-9999, DOM_decode(text, &d)) << text;
        expect_same(DOMAIN{}, d, text);
    }
    EXPECT_EQ(-9999, DOM_decode(nullptr, &d));
}

TEST_F(RegionTest, KeywordOrderFirstMatchWins) {
    struct {
        const char *key;
        int code;
    } rows[] = {{"lambaz", 4},   {"la", 8},       {"lat", 2},   {"laea", 8},   {"LC", 4},
                {"l", -1},       {"pol", -1},     {"polar", 1}, {"pixel", 99}, {"xlogy", 22},
                {"ema", 42},     {"therm", 40},   {"hodo", 23}, {"vert", 22},  {"xp", 25},
                {"Miss", -9999}, {"missing", -1}, {"", -1}};
    for (const auto &r : rows)
        EXPECT_EQ(r.code, DOM_proj_str(r.key)) << r.key;
}

TEST_F(RegionTest, ProjSubFields) {
    DOMAIN d;
    ASSERT_EQ(1, DOM_decode("sat:e:0:-75,0,-75,640,480,10,10", &d));
    EXPECT_EQ(9, d.proj);
    EXPECT_EQ(1, d.ellipsoid);
    EXPECT_FLOAT_EQ(0, d.param[0]);
    EXPECT_FLOAT_EQ(-75, d.param[1]);
    EXPECT_FLOAT_EQ(M, d.param[2]);

    // One sub-field is the reference longitude, even an "e".
    ASSERT_EQ(1, DOM_decode("sat:e,0,-75", &d));
    EXPECT_EQ(0, d.ellipsoid);
    EXPECT_FLOAT_EQ(M, d.param[0]);
    EXPECT_FLOAT_EQ(0, d.param[1]);

    // Empty sub-fields: 0 for the reference point, missing beyond it.
    ASSERT_EQ(1, DOM_decode("lc:30:::45,35,-95", &d));
    EXPECT_FLOAT_EQ(30, d.param[0]);
    EXPECT_FLOAT_EQ(0, d.param[1]);
    EXPECT_FLOAT_EQ(M, d.param[2]);
    EXPECT_FLOAT_EQ(45, d.param[3]);

    // At most six numbers.
    ASSERT_EQ(1, DOM_decode("ps:e:1:2:3:4:5:6:7,40,-100", &d));
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(static_cast<float>(i + 1), d.param[i]);
    EXPECT_FLOAT_EQ(M, d.param[6]);
}

TEST_F(RegionTest, BuiltInRegionsAndPriority) {
    DOMAIN d;
    ASSERT_EQ(2, DOM_decode("US", &d));
    DOMAIN us = make(1, 39, -97, 25, 17, 2.3f, 2.3f);
    us.param[1] = -97;
    expect_same(us, d, "US");
    EXPECT_EQ(2, DOM_get_prior()); // 16 * 2.3 = 36.8

    ASSERT_EQ(2, DOM_decode("nosuch", &d));
    EXPECT_EQ(-1, d.proj);

    // "var" cannot ask for its centre in batch mode.
    FLAG_set(FLAG_BATCH, 1);
    ASSERT_EQ(2, DOM_decode("var", &d));
    EXPECT_EQ(1, d.proj);
    EXPECT_FLOAT_EQ(1.2f, d.dx);
    EXPECT_FLOAT_EQ(M, d.clat);
}

TEST_F(RegionTest, BasePriorityAndStatPrior) {
    struct {
        float h;
        int p;
    } rows[] = {{50.1f, 1}, {50, 2},    {25.1f, 2}, {25, 3}, {12.5f, 4},
                {6.3f, 4},  {6.25f, 5}, {3.01f, 5}, {3, 6},  {-1, 6}};
    for (const auto &r : rows)
        EXPECT_EQ(r.p, DOM_set_base_prior(r.h)) << r.h;

    DOMAIN d;
    struct {
        const char *res;
        int p;
    } adjust[] = {{"+2", 5}, {"-1", 2}, {"4", 4}, {"7x", 7}, {"x", 3}};
    for (const auto &a : adjust) {
        RES_put("stat_prior", a.res);
        DOM_decode("40,-100", &d); // height 16 * 1.2 = 19.2
        EXPECT_EQ(a.p, DOM_get_prior()) << a.res;
    }
}

class RegionFileTest : public RegionTest {
  protected:
    void SetUp() override {
        RegionTest::SetUp();
        RES_put("file_path", tmp.path().c_str());
        tmp.write("other.reg", "zz   Other   1  ps,10,20,25,17,1.0,1.0\n");
        tmp.write("bare.reg", "# comment\nps,50,10,25,17,1.0,1.0\nxx  X  1  40,-100\n");
        tmp.write("zor.reg", "# test regions\n"
                             "garbage line without a number\n"
                             "\x01\x02\x7f junk 12x ps,1,1\n"
                             "abc   Test_region  1  ps,45,-90,25,17,1.0,1.0\n"
                             "self  Loop         1  self\n"
                             "ping  Ping         1  pong\n"
                             "pong  Pong         1  ping\n"
                             "alias Alias        0  abc\n"
                             "toolongname A_very_long_description_text 1 ps,10,10\n"
                             "ref   Other_file   1  " +
                                 tmp.file("other.reg") +
                                 ":zz\n"
                                 "\n"
                                 "after Past_the_end 1  ps,0,0\n");
    }
};

TEST_F(RegionFileTest, LookUpsThroughFilePath) {
    DOMAIN d;
    ASSERT_EQ(2, DOM_decode("ABC", &d));
    expect_same(make(1, 45, -90, 25, 17, 1, 1), d, "abc");
    ASSERT_EQ(2, DOM_decode("alias", &d));
    expect_same(make(1, 45, -90, 25, 17, 1, 1), d, "alias");
    ASSERT_EQ(2, DOM_decode("ref", &d));
    EXPECT_FLOAT_EQ(10, d.clat);
    // The outer text is the one remembered.
    EXPECT_STREQ("ref", FILE_get_key('r'));
    EXPECT_EQ(2, FLAG_get(FLAG_DOMAIN));

    // Abbreviations are cut to five characters.
    ASSERT_EQ(2, DOM_decode("toolo", &d));
    EXPECT_FLOAT_EQ(10, d.clat);
    ASSERT_EQ(2, DOM_decode("toolongname", &d));
    EXPECT_EQ(-1, d.proj);

    // An empty line ends the file; the built-in table is next.
    ASSERT_EQ(2, DOM_decode("after", &d));
    EXPECT_EQ(-1, d.proj);
    ASSERT_EQ(2, DOM_decode("sw", &d));
    EXPECT_FLOAT_EQ(-112, d.clon);
}

TEST_F(RegionFileTest, FileForms) {
    DOMAIN d;
    ASSERT_EQ(2, DOM_decode((tmp.file("other.reg") + ":zz").c_str(), &d));
    EXPECT_FLOAT_EQ(20, d.clon);
    ASSERT_EQ(2, DOM_decode("other.reg:nothere", &d));
    EXPECT_EQ(-1, d.proj);
    // "fi:" takes the first line; a bare domain string stands on its own.
    ASSERT_EQ(2, DOM_decode("fi:bare.reg", &d));
    expect_same(make(1, 50, 10, 25, 17, 1, 1), d, "fi:bare.reg");
    ASSERT_EQ(2, DOM_decode("fi:other.reg", &d));
    EXPECT_FLOAT_EQ(10, d.clat);
    // "file:" loads the menu and leaves the record missing.
    ASSERT_EQ(2, DOM_decode("other.reg:", &d));
    expect_same(DOMAIN{}, d, "menu load");
    EXPECT_STREQ("Other", DOM_get_region_name(1));
    EXPECT_EQ(2, DOM_get_region_count());

    std::string out;
    EXPECT_EQ(1, DOM_search_file("bare.reg", "xx", out)); // the bare line ends the search
    EXPECT_EQ("ps,50,10,25,17,1.0,1.0", out);
    EXPECT_EQ(0, DOM_search_file("absent.reg", "xx", out));
}

TEST_F(RegionFileTest, SelfReferenceStops) {
    for (const char *name : {"self", "ping"}) {
        DOMAIN d;
        int r = 0;
        std::string log = messages([&] { r = DOM_decode(name, &d); });
        EXPECT_EQ(2, r) << name;
        EXPECT_EQ(-1, d.proj) << name;
        EXPECT_NE(log.find("more than 16 deep"), std::string::npos) << log;
    }
    // The depth count is back to zero afterwards.
    DOMAIN d;
    ASSERT_EQ(2, DOM_decode("abc", &d));
    EXPECT_EQ(1, d.proj);
}

TEST_F(RegionFileTest, Menu) {
    EXPECT_STREQ("Return to previous menu", DOM_get_region_name(0));
    EXPECT_STREQ("back", DOM_get_region_abbr(0));
    EXPECT_STREQ("Contiguous US", DOM_get_region_name(1));
    EXPECT_STREQ("Variable", DOM_get_region_name(9));
    EXPECT_EQ(nullptr, DOM_get_region_name(10));
    EXPECT_EQ(0, DOM_read_menu("absent.reg"));
    EXPECT_EQ(10, DOM_get_region_count());

    ASSERT_EQ(1, DOM_read_menu("zor.reg"));
    const char *want[][2] = {{"abc", "Test region"},
                             {"self", "Loop"},
                             {"ping", "Ping"},
                             {"pong", "Pong"},
                             {"toolo", "A very long descript"},
                             {"ref", "Other file"},
                             {"after", "Past the end"}};
    ASSERT_EQ(8, DOM_get_region_count()); // "alias" has menu flag 0
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(want[i][0], DOM_get_region_abbr(i + 1));
        EXPECT_STREQ(want[i][1], DOM_get_region_name(i + 1));
    }

    std::string many;
    for (int i = 0; i < 25; ++i)
        many += "r" + std::to_string(i) + " Region 1 ps,40,-100\n";
    tmp.write("many.reg", many);
    ASSERT_EQ(1, DOM_read_menu("many.reg"));
    EXPECT_EQ(20, DOM_get_region_count());
    EXPECT_STREQ("r18", DOM_get_region_abbr(19));

    std::string log = messages([] { DOM_print_file("other.reg"); });
    EXPECT_EQ(" Abbr    Description\nzz       Other" + std::string(45, ' ') + "\n", log);
}

TEST_F(RegionFileTest, BundledRegionFile) {
    RES_put("file_path", XSAT_SOURCE_DIR "/data");
    ASSERT_EQ(1, DOM_read_menu("zor.reg"));
    ASSERT_GT(DOM_get_region_count(), 6);
    for (int i = 1; i < DOM_get_region_count(); ++i) {
        DOMAIN d;
        std::string abbr = DOM_get_region_abbr(i);
        EXPECT_EQ(2, DOM_decode(abbr.c_str(), &d)) << abbr;
        EXPECT_GT(d.proj, 0) << abbr;
        EXPECT_GT(d.nx, 1) << abbr;
        EXPECT_GT(d.dx, 0) << abbr;
    }
    DOMAIN us, cus;
    ASSERT_EQ(2, DOM_decode("us", &us));
    ASSERT_EQ(2, DOM_decode("cus", &cus));
    EXPECT_EQ(1, DOM_comp(&us, &cus));
    EXPECT_FLOAT_EQ(2.3f, us.dx);
    ASSERT_EQ(2, DOM_decode("nh", &us));
    EXPECT_FLOAT_EQ(90, us.clat);
}

TEST_F(RegionTest, StationCentre) {
    tmp.write("sao.cty", "Denver_International CO US KDEN  2  39.87 -104.67 9999 99999 0\n"
                         "Boulder              CO US KBDU  4  40.04 -105.23  1611 72469 0\n");
    tmp.write("other.cty", "Casper               WY US KCPR  4  42.91 -106.46  1612 72569 0\n");
    RES_put("file_path", tmp.path().c_str());
    DOMAIN d;
    std::string log = messages([&] { EXPECT_EQ(1, DOM_decode("id:kden", &d)); });
    EXPECT_NE(log.find(" 0 clat,clon\n"), std::string::npos) << log;
    expect_same(make(1, 39.87f, -104.67f, 25, 17, 1.2f, 1.2f), d, "id:kden");

    ASSERT_EQ(1, DOM_decode("lc,id:72469,41,31,1.0,1.0", &d));
    expect_same(make(4, 40.04f, -105.23f, 41, 31, 1, 1), d, "id in try 3");
    log = messages([&] { EXPECT_EQ(1, DOM_decode("ps,id:KBDU,31,21,0.5", &d)); });
    EXPECT_NE(log.find(" 0 proj,clat,clon,nx,ny,dx\n"), std::string::npos) << log;
    EXPECT_FLOAT_EQ(0.5f, d.dy);

    ASSERT_EQ(1, DOM_decode("id:other.cty:KCPR", &d));
    EXPECT_FLOAT_EQ(42.91f, d.clat);
    EXPECT_EQ(-1, DOM_decode("id:other.cty:KDEN", &d));
    EXPECT_EQ(-1, DOM_decode("id:NOPE", &d));
}

TEST_F(RegionTest, Compare) {
    DOMAIN a, b;
    ASSERT_EQ(1, DOM_decode("ps,40,-100,25,17,1.2,1.2", &a));
    ASSERT_EQ(1, DOM_decode("40,-100,25,17,1.2,1.2", &b));
    expect_same(a, b, "ps vs default projection");
    EXPECT_EQ(1, DOM_comp(&a, &b));

    ASSERT_EQ(1, DOM_decode("ps,-100,40,-100,25,17,1.2,1.2", &a));
    ASSERT_EQ(1, DOM_decode("ps,40,-100,25,17,1.2,1.2", &b)); // plon missing = clon
    EXPECT_EQ(1, DOM_comp(&a, &b));
    EXPECT_EQ(1, DOM_comp(&b, &a));
    ASSERT_EQ(1, DOM_decode("ps,-105,40,-100,25,17,1.2,1.2", &a));
    EXPECT_EQ(0, DOM_comp(&a, &b));
    EXPECT_EQ(0, DOM_comp_proj(&a, &b));

    ASSERT_EQ(1, DOM_decode("ps,40,-100,25,18,1.2,1.2", &a));
    EXPECT_EQ(0, DOM_comp(&a, &b));
    EXPECT_EQ(1, DOM_comp_proj(&a, &b));
    ASSERT_EQ(1, DOM_decode("ps:e:40:-100,40,-100,25,17,1.2,1.2", &a));
    EXPECT_EQ(0, DOM_comp(&a, &b));

    ASSERT_EQ(1, DOM_decode("lc:30:-95:25:45,35,-95,41,31,1.0,1.0", &a));
    ASSERT_EQ(1, DOM_decode("lc:30:-95:25:40,35,-95,41,31,1.0,1.0", &b));
    EXPECT_EQ(0, DOM_comp(&a, &b));
    // Same projection, different plot.
    ASSERT_EQ(1, DOM_decode("lc:30:-95:25:45,45,-80,21,21,2,2", &b));
    EXPECT_EQ(0, DOM_comp(&a, &b));
    EXPECT_EQ(1, DOM_comp_proj(&a, &b));
}

TEST_F(RegionTest, AspectAndPrint) {
    DOMAIN d = make(1, 0, 0, 25, 17, 1, 1);
    EXPECT_FLOAT_EQ(1.5f, DOM_aspect(&d));
    d.nx = 41;
    d.ny = 21;
    EXPECT_FLOAT_EQ(2.0f, DOM_aspect(&d));
    d.ny = 1;
    EXPECT_FLOAT_EQ(1.0f, DOM_aspect(&d));
    d.ny = IM;
    EXPECT_FLOAT_EQ(1.0f, DOM_aspect(&d));

    ASSERT_EQ(1, DOM_decode("lc:30:-95:25:45,35,-95,41,31,1.0,1.0", &d));
    std::string log = messages([&] { DOM_print(MESS_PRINT, &d); });
    EXPECT_EQ("lamb:30.000:-95.000:25.000:45.000:,35.000,-95.000,41,31,1.0000,1.0000\n", log);
    ASSERT_EQ(1, DOM_decode("sat:e:0:-75,0,-75,640,480,10,10", &d));
    log = messages([&] { DOM_print(MESS_PRINT, &d); });
    EXPECT_EQ("sat:e:0.000:-75.000:::,0.000,-75.000,640,480,10.0000,10.0000\n", log);
    ASSERT_EQ(1, DOM_decode("teph,1,2,3,4,5,6", &d));
    log = messages([&] { DOM_print(MESS_PRINT, &d); });
    EXPECT_EQ(":::::,1.000,2.000,3,4,5.0000,6.0000\n", log);
    log = messages([&] {
        MESS_set(0, 0);
        DOM_print(MESS_PRINT, &d);
    });
    EXPECT_EQ("", log);
}

TEST_F(RegionTest, ResourceDrivenSelection) {
    DOMAIN d;
    EXPECT_EQ(0, DOM_get_region(&d, 1));
    EXPECT_EQ(0, DOM_get_grid_domain(&d));
    // Mode 4 falls back on menu entry 1 (the built-in "us" without a region file).
    ASSERT_EQ(2, DOM_get_region(&d, 4));
    EXPECT_FLOAT_EQ(39, d.clat);

    RES_put("region", "ne");
    RES_put("plot_domain", "40,-100");
    EXPECT_EQ(1, DOM_get_region(&d, 1));
    EXPECT_EQ(2, DOM_get_region(&d, 2));
    EXPECT_FLOAT_EQ(42, d.clat);
    EXPECT_EQ(2, DOM_get_grid_domain(&d));
    RES_put("grid_domain", "30,-90");
    EXPECT_EQ(1, DOM_get_grid_domain(&d));
    EXPECT_FLOAT_EQ(30, d.clat);

    // The prompt is answered by the resources once, then stays off.
    EXPECT_EQ(1, DOM_prompt_region(&d, 1));
    EXPECT_EQ(0, DOM_prompt_region(&d, 1));
    EXPECT_EQ(0, DOM_set_prompt_region(1));

    RES_put("region", "ps,40");
    try {
        DOM_prompt_region(&d, 2);
        ADD_FAILURE() << "an invalid region must end the program";
    } catch (const ExitCalled &e) {
        EXPECT_EQ(43, e.status);
    }
}

TEST_F(RegionTest, BatchPromptTakesFirstMenuEntry) {
    FLAG_set(FLAG_BATCH, 1);
    DOMAIN d;
    ASSERT_EQ(2, DOM_prompt_region(&d, 1));
    EXPECT_FLOAT_EQ(-97, d.clon);
}

} // namespace
