// Messages: level masks and their names, streams, log files, paging.
#include "base/mess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "base/flag.h"
#include "support/test_support.h"

namespace {

using testsupport::Capture;
using testsupport::read_file;

class MessTest : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        MESS_reset_state();
        FLAG_reset_state();
    }
    // Resets, applies a message setting and returns what prompt-level messages show.
    template <class... T> static std::string shown(const std::string &setting, T... texts) {
        MESS_reset_state();
        EXPECT_EQ(MESS_set_str(setting.c_str()), 1) << setting;
        Capture out(1);
        (MESS_print(15, "%s", texts), ...);
        return out.text();
    }
    testsupport::TempDir dir;
};

TEST_F(MessTest, DefaultMaskAndStreams) {
    EXPECT_EQ(MESS_get(), 0x000FFFFFu);
    Capture out(1), err(2);
    EXPECT_EQ(MESS_print(15, "prompt %d\n", 1), 1);
    EXPECT_EQ(MESS_print(48, "error\n"), 1);
    EXPECT_EQ(MESS_print(64, "warning\n"), 1);
    EXPECT_EQ(MESS_print(0xF0000, "out2\n"), 1);
    EXPECT_EQ(MESS_print(0xF00000, "out3\n"), 0);
    EXPECT_EQ(MESS_print(0xF000000, "out4\n"), 0);
    EXPECT_EQ(MESS_print(0x10000000, "debug\n"), 0);
    MESS_print_prog("XSAT");
    EXPECT_EQ(out.text(), "prompt 1\nout2\n      XSAT (Ver 1.0.0-LINUX-X11)\n\n");
    EXPECT_EQ(err.text(), "error\nwarning\n");
}

// Names set cumulative masks, "+"/"-" add or remove one level, a-d pick one bit of a level.
// A name is compared over its own length, so longer words name it too; a last letter a-d
// picks the sub-level.
TEST_F(MessTest, LevelNamesPrefixesAndSubLevels) {
    const struct {
        const char *spec;
        uint32_t start, expected;
    } rows[] = {{"warn", 0, 0xFFu},
                {"warning", 0, 0xFFu},
                {"-Warnings", 0x000FFFFFu, 0x000FFF3Fu},
                {"errorsb", 0, 0x3Fu},
                {"MESS", 0, 0xFFFu},
                {"out3b", 0, 0x003FFFFFu},
                {"none", 0x000FFFFFu, 0u},
                {"+debuga", 0x000FFFFFu, 0x100FFFFFu},
                {"-warn", 0x000FFFFFu, 0x000FFF3Fu},
                {"print,+out4", 0, 0x0F00000Fu},
                {"debug", 0, 0xFFFFFFFFu},
                {"-errorb", 0xFFu, 0xDFu}};
    for (const auto &r : rows) {
        MESS_reset_state();
        MESS_set(1, r.start);
        MESS_set(-1, ~r.start);
        EXPECT_EQ(MESS_set_str(r.spec), 1) << r.spec;
        EXPECT_EQ(MESS_get(), r.expected) << r.spec;
    }
    EXPECT_EQ(shown("none", "Enter file name: "), "");

    MESS_reset_state();
    Capture err(2);
    EXPECT_EQ(MESS_set_str("warn,bogus,mes"), -1);
    EXPECT_EQ(MESS_get(), 0xFFu);
}

TEST_F(MessTest, ProgrammaticCodesAndDefaults) {
    EXPECT_EQ(MESS_set(20, 0xFF), 1); // default before any explicit setting
    EXPECT_EQ(MESS_get(), 0xFFu);
    EXPECT_EQ(MESS_check_set(), 0);
    EXPECT_EQ(MESS_set(1, 0xF000), 1);
    EXPECT_EQ(MESS_check_set(), 1);
    EXPECT_EQ(MESS_get(), 0xF0FFu);
    EXPECT_EQ(MESS_set(21, 0xF0000000u), 0); // defaults ignored once set explicitly
    EXPECT_EQ(MESS_set(19, 0xFF), 0);
    EXPECT_EQ(MESS_get(), 0xF0FFu);
    EXPECT_EQ(MESS_set(9, 0xF000), 1);
    EXPECT_EQ(MESS_set(11, 0x100), 1);
    EXPECT_EQ(MESS_get(), 0x1FFu);
    EXPECT_EQ(MESS_check_set(), 1); // 9..11 are not explicit
    EXPECT_EQ(MESS_set(7, 0xFF), 0);
    EXPECT_EQ(MESS_set(0, 0x100), 1);
    EXPECT_EQ(MESS_get(), 0x1FFu);
    EXPECT_TRUE(MESS_check(0x100));
    EXPECT_FALSE(MESS_check(0x200));
    MESS_reset_state();
    MESS_set_str("print");
    EXPECT_EQ(MESS_check_set(), 1);
}

TEST_F(MessTest, LogFileModes) {
    // Log only: nothing on the terminal, nothing held.
    std::string only = dir.file("only.log");
    ASSERT_EQ(MESS_set_str(("fi=" + only).c_str()), 1);
    Capture out(1);
    EXPECT_EQ(MESS_print(15, "to the log %s\n", "only"), 0);
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(read_file(only), "to the log only\n");

    std::string stamped = dir.file("stamp.log");
    EXPECT_EQ(shown("@fi:" + stamped, "hello\n"), "hello\n");
    std::string log = read_file(stamped);
    EXPECT_TRUE(std::regex_match(
        log, std::regex("[0-9]{2} (JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC) [0-9]{2}  "
                        "[0-9]{2}:[0-9]{2}:[0-9]{2}Z -- hello\n")))
        << log;

    std::string trunc = dir.write("trunc.log", "old text\n");
    EXPECT_EQ(shown("-fi=" + trunc, "new\n"), "new\n");
    EXPECT_EQ(read_file(trunc), "new\n");

    // "dfi" takes over from an earlier "+fi".
    std::string append = dir.write("append.log", "old\n"), each = dir.file("each.log");
    EXPECT_EQ(shown("+fi=" + append + ",dfi=" + each, "one\n", "two\n"), "one\ntwo\n");
    EXPECT_EQ(read_file(append), "old\n");
    EXPECT_EQ(read_file(each), "one\ntwo\n");

    // Log names go through the suite's opener: '~' is the home folder and missing folders
    // are made.
    const char *home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(shown("fi=~/logs/new/home.log", "at home\n"), "");
    EXPECT_EQ(shown("dfi=" + dir.file("each/day.log"), "each\n"), "each\n");
    home ? setenv("HOME", saved.c_str(), 1) : unsetenv("HOME");
    EXPECT_EQ(read_file(dir.file("logs/new/home.log")), "at home\n");
    EXPECT_EQ(read_file(dir.file("each/day.log")), "each\n");

    Capture err(2); // an unopenable log leaves the terminal only
    const std::string below_file = dir.write("plain", "") + "/x.log";
    EXPECT_EQ(shown("fi=" + below_file, "still shown\n"), "still shown\n");
}

TEST_F(MessTest, SecondaryFileAndLongMessages) {
    std::string copy = dir.file("copy.txt"), big(10000, 'q');
    ASSERT_EQ(MESS_file(copy.c_str(), "w"), 1);
    Capture out(1);
    MESS_print(15, "%s|%d\n", big.c_str(), 42);
    MESS_print(0x10000000, "hidden\n");
    EXPECT_EQ(out.text(), big + "|42\n");
    MESS_file_close();
    EXPECT_EQ(read_file(copy), big + "|42\n");
    EXPECT_EQ(MESS_file((dir.write("plain", "") + "/x").c_str(), "w"), -1);
}

// Paging reads its answer from standard input; point it at a file of newlines.
TEST_F(MessTest, PagingHoldsAfterMaxLines) {
    ASSERT_NE(std::freopen(dir.write("answers", "\n\n\n\n").c_str(), "r", stdin), nullptr);
    ASSERT_EQ(MESS_set_str("page,line=2"), 1);
    EXPECT_EQ(MESS_get_max_lines(), 2);
    Capture out(1);
    MESS_print(15, "a\nb\n");
    MESS_print(15, "c\n");
    MESS_print(15, "d\n");
    EXPECT_EQ(out.text(), "a\nb\nc\nPress return to continue\nd\n");
    for (int i = 0; i < 3; ++i) // exactly one character was read
        EXPECT_EQ(std::getchar(), '\n');

    MESS_set_str("line=0");
    EXPECT_EQ(MESS_get_max_lines(), 22);
    // Batch mode and paging off never wait.
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0);
    FLAG_set(FLAG_BATCH, 0);
    MESS_set_str("nopage");
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0);
    MESS_set_page(1);
    Capture err(2);
    EXPECT_EQ(MESS_hold(0xF0, "error and warn\n"), 1); // reads the last newline
    EXPECT_EQ(err.text(), "error and warn\n");
    EXPECT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
}

} // namespace
