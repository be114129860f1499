// Resource-file reader: line syntax, conditional blocks, tags and name patterns.
#include "base/def_read.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/mess.h"
#include "support/test_support.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Reads every delivered line of a resource file written into a scratch folder.
Pairs read_all(const testsupport::TempDir &dir, const std::string &text) {
    std::string path = dir.write("res.def", text);
    DEF_FILE *f = DEF_open(path.c_str());
    EXPECT_NE(f, nullptr);
    Pairs out;
    std::string name, value;
    while (f && DEF_get(f, name, value))
        out.emplace_back(name, value);
    DEF_close(f);
    return out;
}

using testsupport::Capture;

class DefReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DEF_reset_state();
        MESS_reset_state();
    }
    void TearDown() override { DEF_reset_state(); }
    testsupport::TempDir dir;
};

TEST_F(DefReadTest, LineSyntax) {
    Pairs got = read_all(dir, "# a comment\n"
                              "*Plot_Domain: us\n"
                              "lonely\n"
                              "\n"
                              "   *title   \"two words\" trailing\n"
                              "*label \"no closing quote here\n"
                              "*font_list helvetica extra words\n");
    Pairs want = {{"*plot_domain", "us"},
                  {"*title", "two words"},
                  {"*label", "no closing quote here"},
                  {"*font_list", "helvetica"}};
    EXPECT_EQ(got, want);
}

TEST_F(DefReadTest, OverlongLineIsCutNotOverflowed) {
    std::string longval(400, 'x');
    Pairs got = read_all(dir, "*a " + longval + " *b c\n*next 1\n");
    ASSERT_EQ(got.size(), 2u);
    // 249 characters are kept: "*a " and 246 of the value; the rest of the line is dropped.
    EXPECT_EQ(got[0].first, "*a");
    EXPECT_EQ(got[0].second, std::string(246, 'x'));
    EXPECT_EQ(got[1], (std::pair<std::string, std::string>{"*next", "1"}));
}

TEST_F(DefReadTest, ConditionalBlocks) {
    DEF_tag("sat");
    Pairs got = read_all(dir, "IF sat\n"
                              "*a 1\n"
                              "  IF radar\n"
                              "*b 2\n"
                              "  ELSE\n"
                              "*c 3\n"
                              "  END\n"
                              "ELSE\n"
                              "*d 4\n"
                              "END\n"
                              "IF radar\n"
                              "*e 5\n"
                              "ELIF sat\n"
                              "*f 6\n"
                              "ELIF sat\n"
                              "*g 7\n"
                              "ELSE\n"
                              "*h 8\n"
                              "END\n"
                              "IF radar\n"
                              "  IF sat\n"
                              "*i 9\n"
                              "  ELSE\n"
                              "*j 10\n"
                              "  END\n"
                              "END\n"
                              "*k 11\n");
    Pairs want = {{"*a", "1"}, {"*c", "3"}, {"*f", "6"}, {"*k", "11"}};
    EXPECT_EQ(got, want);
}

TEST_F(DefReadTest, DefAndUndefInsideFile) {
    Pairs got = read_all(dir, "DEF x\n"
                              "IF x\n*a 1\nEND\n"
                              "UNDEF x\n"
                              "IF x\n*b 2\nELSE\n*c 3\nEND\n"
                              "IF nope\nDEF y\nEND\n"
                              "IF y\n*d 4\nEND\n");
    Pairs want = {{"*a", "1"}, {"*c", "3"}};
    EXPECT_EQ(got, want);
}

TEST_F(DefReadTest, StrayDirectivesAreReportedAndIgnored) {
    Capture err(2);
    Pairs got = read_all(dir, "ELSE\n*a 1\nELIF t\nEND\n*b 2\n");
    std::string msg = err.text();
    Pairs want = {{"*a", "1"}, {"*b", "2"}};
    EXPECT_EQ(got, want);
    EXPECT_NE(msg.find("DEF_get: else without an if\n"), std::string::npos);
    EXPECT_NE(msg.find("DEF_get: elif without an if\n"), std::string::npos);
    EXPECT_NE(msg.find("DEF_get: end without an if\n"), std::string::npos);
}

TEST_F(DefReadTest, AtMostTenTags) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(DEF_tag(("t" + std::to_string(i)).c_str()), 1);
    EXPECT_EQ(DEF_tag("t0"), 1); // already there: no new slot
    Capture err(2);
    EXPECT_EQ(DEF_tag("eleventh"), -1);
    EXPECT_FALSE(err.text().empty());
    EXPECT_FALSE(DEF_is_tag("eleventh"));
    EXPECT_EQ(DEF_untag("t3"), 1);
    EXPECT_EQ(DEF_tag("eleventh"), 1);
    EXPECT_TRUE(DEF_is_tag("eleventh"));
}

TEST_F(DefReadTest, OpenEntries) {
    EXPECT_EQ(DEF_open(dir.file("missing").c_str()), nullptr);
    testsupport::TempDir d;
    d.write("Zor.res", "*a res\n");
    d.write(".zordef", "*a dot\n");
    auto first = [](const std::string &entry) {
        DEF_FILE *f = DEF_open(entry.c_str());
        std::string n, v;
        if (f)
            DEF_get(f, n, v);
        DEF_close(f);
        return v;
    };
    EXPECT_EQ(first(d.path().string()), "dot"); // .zordef before Zor.res
    d.write("zor.cfg", "*a cfg\n");
    EXPECT_EQ(first(d.path().string() + "/"), "cfg");
    testsupport::TempDir only_res;
    only_res.write("Zor.res", "*a res\n");
    EXPECT_EQ(first(only_res.path().string()), "res");
}

TEST_F(DefReadTest, NamePatterns) {
    EXPECT_TRUE(DEF_cmp("*plot_domain", "xsat", "plot_domain"));
    EXPECT_TRUE(DEF_cmp("*.plot_domain", "xsat", "plot_domain"));
    EXPECT_TRUE(DEF_cmp("xsat.plot_domain", "xsat", "plot_domain"));
    EXPECT_TRUE(DEF_cmp("x*.plot_domain", "xsat", "plot_domain"));
    EXPECT_FALSE(DEF_cmp("xgrid.plot_domain", "xsat", "plot_domain"));
    EXPECT_FALSE(DEF_cmp("*plot_domain", "xsat", "grid_domain"));
    EXPECT_FALSE(DEF_cmp("*plot", "xsat", "plot_domain"));
    EXPECT_FALSE(DEF_cmp("plot_domain", "xsat", "plot_domain"));

    EXPECT_TRUE(DEF_valid("*anything", "xsat"));
    EXPECT_TRUE(DEF_valid("xsat.anything", "xsat"));
    EXPECT_FALSE(DEF_valid("xgrid.anything", "xsat"));
    EXPECT_EQ(DEF_parse_name("xsat*foo.bar"), "bar");
    EXPECT_EQ(DEF_parse_name("a.b*c"), "c");
    EXPECT_EQ(DEF_parse_name("plain"), "plain");

    DEF_name("east");
    EXPECT_TRUE(DEF_cmp("east.title", "xsat", "title"));
    EXPECT_FALSE(DEF_cmp("xsat.title", "xsat", "title"));
    DEF_name("+east");
    EXPECT_TRUE(DEF_cmp("xsat.east.title", "xsat", "title"));
    EXPECT_TRUE(DEF_cmp("*title", "xsat", "title"));
}

TEST_F(DefReadTest, EnvironmentSpellings) {
    unsetenv("zorxsat.rtest");
    unsetenv("zortestown");
    unsetenv("zorrtest");
    EXPECT_EQ(DEF_env("xsat", "rtest", "zortestown"), nullptr);
    setenv("zorrtest", "generic", 1);
    EXPECT_STREQ(DEF_env("xsat", "rtest", "zortestown"), "generic");
    setenv("zortestown", "own", 1);
    EXPECT_STREQ(DEF_env("xsat", "rtest", "zortestown"), "own");
    setenv("zorxsat.rtest", "prog", 1);
    EXPECT_STREQ(DEF_env("xsat", "rtest", "zortestown"), "prog");
    DEF_name("+east");
    EXPECT_STREQ(DEF_env("xsat", "rtest", "zortestown"), "own");
    setenv("zorxsat.east.rtest", "titled", 1);
    EXPECT_STREQ(DEF_env("xsat", "rtest", "zortestown"), "titled");
    unsetenv("zorxsat.rtest");
    unsetenv("zorxsat.east.rtest");
    unsetenv("zortestown");
    unsetenv("zorrtest");
}

} // namespace
