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
using testsupport::Capture;

// Every line DEF_get delivers from a resource-file entry (a file or a folder).
Pairs read_entry(const std::string &entry) {
    DEF_FILE *f = DEF_open(entry.c_str());
    EXPECT_NE(f, nullptr) << entry;
    Pairs out;
    std::string name, value;
    while (f && DEF_get(f, name, value))
        out.emplace_back(name, value);
    DEF_close(f);
    return out;
}

class DefReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DEF_reset_state();
        MESS_reset_state();
    }
    void TearDown() override { DEF_reset_state(); }
    Pairs read_all(const std::string &text) { return read_entry(dir.write("res.def", text)); }
    testsupport::TempDir dir;
};

TEST_F(DefReadTest, LineSyntax) {
    EXPECT_EQ(read_all("# a comment\n*Plot_Domain: us\nlonely\n\n"
                       "   *title   \"two words\" trailing\n"
                       "*label \"no closing quote here\n"
                       "*font_list helvetica extra words\n"),
              (Pairs{{"*plot_domain", "us"},
                     {"*title", "two words"},
                     {"*label", "no closing quote here"},
                     {"*font_list", "helvetica"}}));
    // 249 characters are kept: "*a " and 246 of the value; the rest of the line is dropped.
    EXPECT_EQ(read_all("*a " + std::string(400, 'x') + " *b c\n*next 1\n"),
              (Pairs{{"*a", std::string(246, 'x')}, {"*next", "1"}}));
}

// Nested blocks, ELIF chains (first true branch only), DEF/UNDEF from inside the file.
TEST_F(DefReadTest, ConditionalBlocks) {
    DEF_tag("sat");
    EXPECT_EQ(
        read_all("IF sat\n*a 1\n  IF radar\n*b 2\n  ELSE\n*c 3\n  END\nELSE\n*d 4\nEND\n"
                 "IF radar\n*e 5\nELIF sat\n*f 6\nELIF sat\n*g 7\nELSE\n*h 8\nEND\n"
                 "IF radar\n  IF sat\n*i 9\n  ELSE\n*j 10\n  END\nEND\n"
                 "*k 11\n"
                 "DEF x\nIF x\n*l 12\nEND\n"
                 "UNDEF x\nIF x\n*m 13\nELSE\n*n 14\nEND\n"
                 "IF nope\nDEF y\nEND\nIF y\n*o 15\nEND\n"),
        (Pairs{{"*a", "1"}, {"*c", "3"}, {"*f", "6"}, {"*k", "11"}, {"*l", "12"}, {"*n", "14"}}));

    Capture err(2); // stray directives are reported and ignored
    EXPECT_EQ(read_all("ELSE\n*a 1\nELIF t\nEND\n*b 2\n"), (Pairs{{"*a", "1"}, {"*b", "2"}}));
    std::string msg = err.text();
    for (const char *word : {"else", "elif", "end"})
        EXPECT_NE(msg.find("DEF_get: " + std::string(word) + " without an if\n"), std::string::npos)
            << msg;
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

// A folder entry reads "zor.cfg", else ".zordef", else "Zor.res".
TEST_F(DefReadTest, OpenEntries) {
    EXPECT_EQ(DEF_open(dir.file("missing").c_str()), nullptr);
    testsupport::TempDir d;
    d.write("Zor.res", "*a res\n");
    EXPECT_EQ(read_entry(d.path().string()), (Pairs{{"*a", "res"}}));
    d.write(".zordef", "*a dot\n");
    EXPECT_EQ(read_entry(d.path().string()), (Pairs{{"*a", "dot"}}));
    d.write("zor.cfg", "*a cfg\n");
    EXPECT_EQ(read_entry(d.path().string() + "/"), (Pairs{{"*a", "cfg"}}));
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

    DEF_name("east"); // a program title replaces the program name
    EXPECT_TRUE(DEF_cmp("east.title", "xsat", "title"));
    EXPECT_FALSE(DEF_cmp("xsat.title", "xsat", "title"));
    DEF_name("+east"); // "+title" goes after it
    EXPECT_TRUE(DEF_cmp("xsat.east.title", "xsat", "title"));
    EXPECT_TRUE(DEF_cmp("*title", "xsat", "title"));
}

TEST_F(DefReadTest, EnvironmentSpellings) {
    const char *const vars[] = {"zorxsat.rtest", "zorxsat.east.rtest", "zortestown", "zorrtest"};
    for (const char *v : vars)
        unsetenv(v);
    auto env = [] {
        const char *v = DEF_env("xsat", "rtest", "zortestown");
        return std::string(v ? v : "<none>");
    };
    EXPECT_EQ(env(), "<none>");
    setenv("zorrtest", "generic", 1);
    EXPECT_EQ(env(), "generic");
    setenv("zortestown", "own", 1);
    EXPECT_EQ(env(), "own");
    setenv("zorxsat.rtest", "prog", 1);
    EXPECT_EQ(env(), "prog");
    DEF_name("+east"); // a titled program skips the plain program spelling
    EXPECT_EQ(env(), "own");
    setenv("zorxsat.east.rtest", "titled", 1);
    EXPECT_EQ(env(), "titled");
    for (const char *v : vars)
        unsetenv(v);
}

} // namespace
