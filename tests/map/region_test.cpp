// Plot domain strings, region files and built-ins, comparison and priority.
// Expected records are worked out by hand from the domain-string rules.
#include "map/region.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "support/test_support.h"

namespace {

constexpr float M = -9999.0f;

struct ExitCalled : std::runtime_error {
    int status;
    explicit ExitCalled(int s) : std::runtime_error("exit"), status(s) {}
};
[[noreturn]] void throw_exit(int status) {
    throw ExitCalled(status);
}

std::string num(double v) {
    if (v == M)
        return "M";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

// Parameters up to the last one present, then ":e<n>" for an ellipsoid: "M,-105:e1".
std::string params(const DOMAIN &d) {
    int n = 7;
    while (n > 0 && d.param[n - 1] == M)
        --n;
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i ? "," : "") + num(d.param[i]);
    return s + (d.ellipsoid ? ":e" + std::to_string(d.ellipsoid) : "");
}

// A whole record: "proj clat,clon nx x ny dx,dy [params]", missing values as M.
std::string show(const DOMAIN &d) {
    std::string p = params(d);
    return num(d.proj) + " " + num(d.clat) + "," + num(d.clon) + " " + num(d.nx) + "x" + num(d.ny) +
           " " + num(d.dx) + "," + num(d.dy) + (p.empty() ? "" : " [" + p + "]");
}

// Decodes a domain string and shows the record.
std::string decoded(const char *text, int want_result,
                    int (*decode)(const char *, DOMAIN *) = DOM_decode) {
    DOMAIN d;
    EXPECT_EQ(want_result, decode(text, &d)) << text;
    return show(d);
}

// Standard input read from a file while it lives.
class StdinFrom {
  public:
    explicit StdinFrom(const std::string &path) : saved_(dup(0)) {
        __fpurge(stdin);
        int fd = open(path.c_str(), O_RDONLY);
        dup2(fd, 0);
        close(fd);
        clearerr(stdin);
    }
    ~StdinFrom() {
        __fpurge(stdin);
        dup2(saved_, 0);
        close(saved_);
        clearerr(stdin);
    }
    StdinFrom(const StdinFrom &) = delete;
    StdinFrom &operator=(const StdinFrom &) = delete;

  private:
    int saved_;
};

// Menu entries after "back", as "abbr=name|...".
std::string menu() {
    std::string s;
    for (int i = 1; i < DOM_get_region_count(); ++i)
        s += std::string(i > 1 ? "|" : "") + DOM_get_region_abbr(i) + "=" + DOM_get_region_name(i);
    return s;
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
    testsupport::TempDir tmp;
};

TEST_F(RegionTest, EveryPatternInOrderWithItsDefaults) {
    const struct {
        const char *text, *fields;
        int result;
        const char *want;
    } rows[] = {
        {"size,640,480", "proj,nx,ny", 1, "51 M,M 640x480 M,M"},
        {"ps,-105,40,-100,25,17,1.2,1.2", "proj,plon,clat,clon,nx,ny,dx,dy", 1,
         "1 40,-100 25x17 1.2,1.2 [M,-105]"},
        {"lc:30:-95:25:45,35,-95,41,31,1.0,1.0", "proj,clat,clon,nx,ny,dx,dy", 1,
         "4 35,-95 41x31 1,1 [30,-95,25,45]"},
        {"ps,40,-100,,,1.0,1.0", "proj,clat,clon,nx,ny,dx,dy", 1, "1 40,-100 MxM 1,1"},
        // Six fields with a keyword are plon,clat,clon,dx,dy: try 4 comes first.
        {"ps,40,-100,25,17,1.2", "proj,plon,clat,clon,dx,dy", 1, "1 -100,25 25x17 17,1.2 [M,40]"},
        {"40,-100,25,17,1.2,1.2", "clat,clon,nx,ny,dx,dy", 1, "1 40,-100 25x17 1.2,1.2"},
        {"ps,40,-100,1.5,1.5", "proj,clat,clon,dx,dy", 1, "1 40,-100 25x17 1.5,1.5"},
        {"40,-100,31,21,1.5", "clat,clon,nx,ny,dx", 1, "1 40,-100 31x21 1.5,1.5"},
        {"merc,40,-100,1.5", "proj,clat,clon,dx", 1, "3 40,-100 25x17 1.5,1.5"},
        {"40,-100,31,21", "clat,clon,nx,ny", 1, "1 40,-100 31x21 1.2,1.2"},
        // Three fields of numbers are clat,clon,dx (try 11 before try 12).
        {"40,-100,2", "clat,clon,dx", 1, "1 40,-100 25x17 2,2"},
        {"ps,40,-100", "proj,clat,clon", 1, "1 40,-100 25x17 1.2,1.2"},
        {"ps:-105,40,-100", "proj,clat,clon", 1, "1 40,-100 25x17 1.2,1.2 [M,-105]"},
        {"zoom,40,-100", "proj,clat,clon", 1, "50 40,-100 25x17 1,1"},
        // ".5" is no integer, so "size" falls through to try 12's size rule.
        {"size,640.9,.5", "proj,clat,clon", 1, "51 M,M 640x0 M,M"},
        {"40,-100", "clat,clon", 1, "1 40,-100 25x17 1.2,1.2"},
        {"none", "id:###", 1, "1 M,M 25x17 1.2,1.2"},
        {"se", "reg:REG", 2, "1 31,-88 25x17 1.1,1.1 [M,-88]"},
        {"lambaz,40,-100", "proj,clat,clon", 1, "4 40,-100 25x17 1.2,1.2"},
    };
    for (const auto &r : rows) {
        std::string got;
        std::string log = messages([&] { got = decoded(r.text, r.result); });
        EXPECT_EQ(r.want, got) << r.text;
        EXPECT_NE(log.find(" 0 " + std::string(r.fields) + "\n"), std::string::npos)
            << r.text << "\n"
            << log;
        EXPECT_EQ(r.result, FLAG_get(FLAG_DOMAIN)) << r.text;
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
    for (const char *text : {"", "MISS", "miss", (const char *)nullptr})
        EXPECT_EQ(show(DOMAIN{}), decoded(text, -9999)) << (text ? text : "null");
}

TEST_F(RegionTest, KeywordsAndProjSubFields) {
    struct {
        const char *key;
        int code;
    } rows[] = {{"lambaz", 4},   {"la", 8},       {"lat", 2},   {"laea", 8},   {"LC", 4},
                {"l", -1},       {"pol", -1},     {"polar", 1}, {"pixel", 99}, {"xlogy", 22},
                {"ema", 42},     {"therm", 40},   {"hodo", 23}, {"vert", 22},  {"xp", 25},
                {"Miss", -9999}, {"missing", -1}, {"", -1}};
    for (const auto &r : rows) // the first keyword in table order wins
        EXPECT_EQ(r.code, DOM_proj_str(r.key)) << r.key;

    EXPECT_EQ("9 0,-75 640x480 10,10 [0,-75:e1]", decoded("sat:e:0:-75,0,-75,640,480,10,10", 1));
    DOMAIN d;
    ASSERT_EQ(1, DOM_decode("sat:e,0,-75", &d)); // one sub-field is plon, even an "e"
    EXPECT_EQ("M,0", params(d));
    // Empty sub-fields: 0 for the reference point, missing beyond it.
    ASSERT_EQ(1, DOM_decode("lc:30:::45,35,-95", &d));
    EXPECT_EQ("30,0,M,45", params(d));
    ASSERT_EQ(1, DOM_decode("ps:e:1:2:3:4:5:6:7,40,-100", &d)); // at most six numbers
    EXPECT_EQ("1,2,3,4,5,6:e1", params(d));
}

TEST_F(RegionTest, BuiltInRegionsAndPriority) {
    EXPECT_EQ("1 39,-97 25x17 2.3,2.3 [M,-97]", decoded("US", 2));
    EXPECT_EQ(2, DOM_get_prior()); // 16 * 2.3 = 36.8
    EXPECT_EQ("-1 ", decoded("nosuch", 2).substr(0, 3));
    struct {
        float h;
        int p;
    } rows[] = {{50.1f, 1}, {50, 2},    {25.1f, 2}, {25, 3}, {12.5f, 4},
                {6.3f, 4},  {6.25f, 5}, {3.01f, 5}, {3, 6},  {-1, 6}};
    for (const auto &r : rows)
        EXPECT_EQ(r.p, DOM_set_base_prior(r.h)) << r.h;
    for (auto [res, p] : {std::pair{"+2", 5}, {"-1", 2}, {"4", 4}, {"7x", 7}, {"x", 3}}) {
        RES_put("stat_prior", res);
        decoded("40,-100", 1); // height 16 * 1.2 = 19.2
        EXPECT_EQ(p, DOM_get_prior()) << res;
    }
    DOMAIN d;
    FLAG_set(FLAG_BATCH, 1); // "var" cannot ask for its centre in batch mode
    std::string log = messages([&] { ASSERT_EQ(2, DOM_decode_prompt("var", &d)); });
    EXPECT_NE(log.find("no centre for region var in batch mode"), std::string::npos) << log;
    EXPECT_EQ("1 M,M 25x17 1.2,1.2", show(d));
}

// Decoding never asks, wherever "var" is named; the entry's decode asks for its
// centre, latitude first; the region prompt hands back the user's "-1".
TEST_F(RegionTest, OnlyTheEntryAsksForACentre) {
    RES_put("file_path", tmp.path().c_str());
    tmp.write("zor.reg", "vv  Variable_too  1  var\n");
    StdinFrom answers(tmp.write("answers", "41.5\n-88\nvar\n30\n-100\n-1\n"));
    testsupport::Capture out(1);
    DOMAIN d;
    for (auto decode : {DOM_decode, DOM_decode_data})
        for (const char *text : {"var", "vv", "fi:zor.reg"}) {
            EXPECT_EQ(2, decode(text, &d)) << text;
            EXPECT_EQ("1 M,M 25x17 1.2,1.2", show(d)) << text;
        }
    ASSERT_EQ(2, DOM_decode_prompt("vv", &d));
    EXPECT_EQ("1 41.5,-88 25x17 1.2,1.2 [M,-88]", show(d));
    ASSERT_EQ(2, DOM_prompt_region(&d, 1));
    EXPECT_EQ("1 30,-100 25x17 1.2,1.2 [M,-100]", show(d));
    EXPECT_EQ(DOM_PROMPT_QUIT, DOM_prompt_region(&d, 1));
    const std::string text = out.text();
    EXPECT_EQ(0u, text.find("Enter the central latitude: Enter the central longitude: ")) << text;
    EXPECT_NE(text.find("Enter the region: Enter the central latitude: "), std::string::npos)
        << text;
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

TEST_F(RegionFileTest, LookUpsAndFileForms) {
    const std::string zz = "1 10,20 25x17 1,1", abc = "1 45,-90 25x17 1,1";
    EXPECT_EQ(abc, decoded("ABC", 2));
    EXPECT_EQ(abc, decoded("alias", 2));
    EXPECT_EQ(zz, decoded("ref", 2));
    EXPECT_STREQ("ref", FILE_get_key('r')); // the outer text is the one remembered
    EXPECT_EQ(2, FLAG_get(FLAG_DOMAIN));
    // Abbreviations are cut to five characters; an empty line ends the file, then built-ins.
    EXPECT_EQ("1 10,10 25x17 1.2,1.2", decoded("toolo", 2));
    EXPECT_EQ("-1 ", decoded("toolongname", 2).substr(0, 3));
    EXPECT_EQ("-1 ", decoded("after", 2).substr(0, 3));
    DOMAIN d;
    ASSERT_EQ(2, DOM_decode("sw", &d));
    EXPECT_FLOAT_EQ(-112, d.clon);

    EXPECT_EQ(zz, decoded((tmp.file("other.reg") + ":zz").c_str(), 2));
    EXPECT_EQ("-1 ", decoded("other.reg:nothere", 2).substr(0, 3));
    // "fi:" takes the first line; a bare domain string stands on its own.
    EXPECT_EQ("1 50,10 25x17 1,1", decoded("fi:bare.reg", 2));
    EXPECT_EQ(zz, decoded("fi:other.reg", 2));
    // Without a readable third and fourth field the first word is the domain string.
    tmp.write("saved.reg", "ps,40,-100,4,2,1,1 saved\n");
    EXPECT_EQ("1 40,-100 4x2 1,1", decoded("fi:saved.reg", 2));
    // "file:" loads the menu and leaves the record missing.
    EXPECT_EQ(show(DOMAIN{}), decoded("other.reg:", 2));
    EXPECT_EQ("zz=Other", menu());

    std::string out;
    EXPECT_EQ(1, DOM_search_file("bare.reg", "xx", out)); // the bare line ends the search
    EXPECT_EQ("ps,50,10,25,17,1.0,1.0", out);
    EXPECT_EQ(0, DOM_search_file("absent.reg", "xx", out));
}

// A string from a data file opens regular files only: a command, a device or a
// missing file resolves to nothing and runs nothing, where the same string from
// the user runs the command.
TEST_F(RegionFileTest, DataStringsOpenOnlyRegularFiles) {
    const std::string ran = tmp.file("ran");
    const std::string cmd = "|touch " + ran + " && cat " + tmp.file("bare.reg");
    const std::string unresolved = "-1 M,M MxM M,M";
    EXPECT_EQ(unresolved, decoded(("fi:" + cmd).c_str(), 2, DOM_decode_data));
    EXPECT_EQ(unresolved, decoded((cmd + ":xx").c_str(), 2, DOM_decode_data));
    EXPECT_EQ(unresolved, decoded("fi:/dev/zero", 2, DOM_decode_data));
    decoded(("id:" + cmd + ":KDEN").c_str(), -1, DOM_decode_data);
    EXPECT_FALSE(FILE_exist(ran.c_str()));
    EXPECT_EQ("1 50,10 25x17 1,1", decoded("fi:bare.reg", 2, DOM_decode_data));
    EXPECT_EQ("1 10,20 25x17 1,1", decoded("other.reg:zz", 2, DOM_decode_data));
    // Typed by the user, the name is still joined to the file path like any other name.
    EXPECT_EQ(unresolved, decoded(("fi:" + cmd).c_str(), 2));
    EXPECT_FALSE(FILE_exist(ran.c_str()));
}

TEST_F(RegionFileTest, SelfReferenceStops) {
    for (const char *name : {"self", "ping"}) {
        std::string got;
        std::string log = messages([&] { got = decoded(name, 2); });
        EXPECT_EQ("-1 ", got.substr(0, 3)) << name;
        EXPECT_NE(log.find("more than 16 deep"), std::string::npos) << log;
    }
    EXPECT_EQ("1 45,-90 25x17 1,1", decoded("abc", 2)); // the depth count is back to zero
}

TEST_F(RegionFileTest, Menu) {
    EXPECT_STREQ("Return to previous menu", DOM_get_region_name(0));
    EXPECT_STREQ("back", DOM_get_region_abbr(0));
    EXPECT_STREQ("Contiguous US", DOM_get_region_name(1));
    EXPECT_STREQ("Variable", DOM_get_region_name(9));
    EXPECT_EQ(nullptr, DOM_get_region_name(10));
    EXPECT_EQ(0, DOM_read_menu("absent.reg"));
    EXPECT_EQ(10, DOM_get_region_count());

    ASSERT_EQ(1, DOM_read_menu("zor.reg")); // "alias" has menu flag 0
    EXPECT_EQ("abc=Test region|self=Loop|ping=Ping|pong=Pong|toolo=A very long descript|"
              "ref=Other file|after=Past the end",
              menu());
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
        EXPECT_TRUE(d.proj > 0 && d.nx > 1 && d.dx > 0) << abbr << ": " << show(d);
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
    std::string got;
    std::string log = messages([&] { got = decoded("id:kden", 1); });
    EXPECT_NE(log.find(" 0 clat,clon\n"), std::string::npos) << log;
    EXPECT_EQ("1 39.87,-104.67 25x17 1.2,1.2", got);
    EXPECT_EQ("4 40.04,-105.23 41x31 1,1", decoded("lc,id:72469,41,31,1.0,1.0", 1));
    log = messages([&] { got = decoded("ps,id:KBDU,31,21,0.5", 1); });
    EXPECT_NE(log.find(" 0 proj,clat,clon,nx,ny,dx\n"), std::string::npos) << log;
    EXPECT_EQ("1 40.04,-105.23 31x21 0.5,0.5", got);
    EXPECT_EQ("1 42.91,", decoded("id:other.cty:KCPR", 1).substr(0, 8));
    decoded("id:other.cty:KDEN", -1);
    decoded("id:NOPE", -1);
}

TEST_F(RegionTest, Compare) {
    const char *ps = "ps,40,-100,25,17,1.2,1.2", *lc = "lc:30:-95:25:45,35,-95,41,31,1.0,1.0";
    const struct {
        const char *a, *b;
        int same, same_proj;                                 // DOM_comp both ways, DOM_comp_proj
    } rows[] = {{"40,-100,25,17,1.2,1.2", ps, 1, 1},         // ps is the default projection
                {"ps,-100,40,-100,25,17,1.2,1.2", ps, 1, 1}, // plon missing = clon
                {"ps,-105,40,-100,25,17,1.2,1.2", ps, 0, 0},
                {"ps,40,-100,25,18,1.2,1.2", ps, 0, 1},
                {"ps:e:40:-100,40,-100,25,17,1.2,1.2", ps, 0, 0},
                {"lc:30:-95:25:40,35,-95,41,31,1.0,1.0", lc, 0, 0},
                {"lc:30:-95:25:45,45,-80,21,21,2,2", lc, 0, 1}};
    EXPECT_EQ(decoded(rows[0].a, 1), decoded(ps, 1));
    for (const auto &r : rows) {
        DOMAIN a, b;
        ASSERT_EQ(1, DOM_decode(r.a, &a));
        ASSERT_EQ(1, DOM_decode(r.b, &b));
        EXPECT_EQ(r.same, DOM_comp(&a, &b)) << r.a;
        EXPECT_EQ(r.same, DOM_comp(&b, &a)) << r.a;
        EXPECT_EQ(r.same_proj, DOM_comp_proj(&a, &b)) << r.a;
    }
}

TEST_F(RegionTest, AspectAndPrint) {
    DOMAIN d;
    d.nx = 25;
    d.ny = 17;
    EXPECT_FLOAT_EQ(1.5f, DOM_aspect(&d));
    d.nx = 41;
    for (auto [ny, aspect] : {std::pair{21, 2.0f}, {1, 1.0f}, {-9999, 1.0f}}) {
        d.ny = ny;
        EXPECT_FLOAT_EQ(aspect, DOM_aspect(&d)) << ny;
    }

    for (auto [text, want] :
         {std::pair{"lc:30:-95:25:45,35,-95,41,31,1.0,1.0",
                    "lamb:30.000:-95.000:25.000:45.000:,35.000,-95.000,41,31,1.0000,1.0000\n"},
          {"sat:e:0:-75,0,-75,640,480,10,10",
           "sat:e:0.000:-75.000:::,0.000,-75.000,640,480,10.0000,10.0000\n"},
          {"teph,1,2,3,4,5,6", ":::::,1.000,2.000,3,4,5.0000,6.0000\n"}}) {
        ASSERT_EQ(1, DOM_decode(text, &d));
        EXPECT_EQ(want, messages([&] { DOM_print(MESS_PRINT, &d); }));
    }
    EXPECT_EQ("", messages([&] {
                  MESS_set(0, 0);
                  DOM_print(MESS_PRINT, &d);
              }));
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
    std::string log = messages([&] { EXPECT_EQ(DOM_PROMPT_INVALID, DOM_prompt_region(&d, 2)); });
    EXPECT_NE(log.find("Invalid domain\n"), std::string::npos) << log;
}

TEST_F(RegionTest, BatchPromptTakesFirstMenuEntry) {
    FLAG_set(FLAG_BATCH, 1);
    DOMAIN d;
    ASSERT_EQ(2, DOM_prompt_region(&d, 1));
    EXPECT_FLOAT_EQ(-97, d.clon);
}

} // namespace
