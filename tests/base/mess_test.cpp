#include "base/flag.h"
#include "base/mess.h"

#include "support/test_support.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class MessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MESS_reset_state();
        FLAG_reset_state();
    }
    void TearDown() override {
        MESS_reset_state();
        FLAG_reset_state();
    }
};

TEST_F(MessTest, DefaultMaskAndStreams) {
    EXPECT_EQ(MESS_get(), 0x000FFFFFu);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(MESS_print(15, "prompt %d\n", 1), 1);
    EXPECT_EQ(MESS_print(48, "error\n"), 1);
    EXPECT_EQ(MESS_print(64, "warning\n"), 1);
    EXPECT_EQ(MESS_print(0xF0000, "out2\n"), 1);
    EXPECT_EQ(MESS_print(0xF00000, "out3\n"), 0);
    EXPECT_EQ(MESS_print(0xF000000, "out4\n"), 0);
    EXPECT_EQ(MESS_print(0x10000000, "debug\n"), 0);
    MESS_print_prog("XSAT");
    std::string out = GetCapturedStdout();
    std::string err = GetCapturedStderr();
    EXPECT_EQ(out, "prompt 1\nout2\n      XSAT (Ver 1.0.0-LINUX-X11)\n\n");
    EXPECT_EQ(err, "error\nwarning\n");
}

TEST_F(MessTest, LevelNamesPrefixesAndSubLevels) {
    struct Row {
        const char *spec;
        uint32_t start, expected;
    } rows[] = {
        {"warn", 0, 0xFFu},
        {"MESS", 0, 0xFFFu},
        {"out3b", 0, 0x003FFFFFu},
        {"none", 0x000FFFFFu, 0u},
        {"+debuga", 0x000FFFFFu, 0x100FFFFFu},
        {"-warn", 0x000FFFFFu, 0x000FFF3Fu},
        {"print,+out4", 0, 0x0F00000Fu},
        {"debug", 0, 0xFFFFFFFFu},
        {"-errorb", 0xFFu, 0xDFu}, // error b is bit 5
    };
    for (const Row &r : rows) {
        MESS_reset_state();
        MESS_set(1, r.start);
        MESS_set(-1, ~r.start);
        EXPECT_EQ(MESS_set_str(r.spec), 1) << r.spec;
        EXPECT_EQ(MESS_get(), r.expected) << r.spec;
    }
    CaptureStdout();
    EXPECT_EQ(MESS_set_str("none"), 1);
    EXPECT_EQ(MESS_print(15, "Enter file name: "), 0);
    EXPECT_EQ(GetCapturedStdout(), "");

    MESS_reset_state();
    CaptureStderr();
    EXPECT_EQ(MESS_set_str("warn,bogus,messe"), -1);
    GetCapturedStderr();
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
    testsupport::TempDir dir;
    std::string only = dir.file("only.log");
    ASSERT_EQ(MESS_set_str(("fi=" + only).c_str()), 1);
    CaptureStdout();
    EXPECT_EQ(MESS_print(15, "to the log %s\n", "only"), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0); // nothing held in log-only mode
    EXPECT_EQ(testsupport::read_file(only), "to the log only\n");

    MESS_reset_state();
    std::string stamped = dir.file("stamp.log");
    ASSERT_EQ(MESS_set_str(("@fi:" + stamped).c_str()), 1);
    CaptureStdout();
    EXPECT_EQ(MESS_print(15, "hello\n"), 1);
    EXPECT_EQ(GetCapturedStdout(), "hello\n");
    std::string log = testsupport::read_file(stamped);
    EXPECT_TRUE(std::regex_match(
        log, std::regex("[0-9]{2} (JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC) [0-9]{2}  "
                        "[0-9]{2}:[0-9]{2}:[0-9]{2}Z -- hello\n")))
        << log;

    MESS_reset_state();
    std::string trunc = dir.write("trunc.log", "old text\n");
    ASSERT_EQ(MESS_set_str(("-fi=" + trunc).c_str()), 1);
    CaptureStdout();
    MESS_print(15, "new\n");
    EXPECT_EQ(GetCapturedStdout(), "new\n");
    EXPECT_EQ(testsupport::read_file(trunc), "new\n");

    MESS_reset_state();
    std::string append = dir.write("append.log", "old\n");
    std::string each = dir.file("each.log");
    ASSERT_EQ(MESS_set_str(("+fi=" + append + ",dfi=" + each).c_str()), 1);
    CaptureStdout();
    MESS_print(15, "one\n");
    MESS_print(15, "two\n");
    EXPECT_EQ(GetCapturedStdout(), "one\ntwo\n");
    EXPECT_EQ(testsupport::read_file(append), "old\n"); // dfi took over
    EXPECT_EQ(testsupport::read_file(each), "one\ntwo\n");

    MESS_reset_state();
    CaptureStderr();
    EXPECT_EQ(MESS_set_str(("fi=" + dir.file("no/such/dir.log")).c_str()), 1);
    GetCapturedStderr();
    CaptureStdout();
    EXPECT_EQ(MESS_print(15, "still shown\n"), 1); // unopenable log: terminal only
    EXPECT_EQ(GetCapturedStdout(), "still shown\n");
}

TEST_F(MessTest, SecondaryFileAndLongMessages) {
    testsupport::TempDir dir;
    std::string copy = dir.file("copy.txt");
    ASSERT_EQ(MESS_file(copy.c_str(), "w"), 1);
    std::string big(10000, 'q');
    CaptureStdout();
    MESS_print(15, "%s|%d\n", big.c_str(), 42);
    MESS_print(0x10000000, "hidden\n");
    EXPECT_EQ(GetCapturedStdout(), big + "|42\n");
    MESS_file_close();
    EXPECT_EQ(testsupport::read_file(copy), big + "|42\n");
    EXPECT_EQ(MESS_file(dir.file("no/such/x").c_str(), "w"), -1);
}

// Paging reads its answer from standard input; point it at a file of newlines.
TEST_F(MessTest, PagingHoldsAfterMaxLines) {
    testsupport::TempDir dir;
    std::string answers = dir.write("answers", "\n\n\n\n");
    ASSERT_NE(std::freopen(answers.c_str(), "r", stdin), nullptr);
    ASSERT_EQ(MESS_set_str("page,line=2"), 1);
    EXPECT_EQ(MESS_get_max_lines(), 2);
    CaptureStdout();
    MESS_print(15, "a\nb\n");
    MESS_print(15, "c\n");
    MESS_print(15, "d\n");
    EXPECT_EQ(GetCapturedStdout(), "a\nb\nc\nPress return to continue\nd\n");
    EXPECT_EQ(std::getchar(), '\n');
    EXPECT_EQ(std::getchar(), '\n');
    EXPECT_EQ(std::getchar(), '\n'); // exactly one character was read

    MESS_set_str("line=0");
    EXPECT_EQ(MESS_get_max_lines(), 22);

    // Batch mode and paging off never wait.
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0);
    FLAG_set(FLAG_BATCH, 0);
    MESS_set_str("nopage");
    EXPECT_EQ(MESS_hold(15, "wait\n"), 0);
    MESS_set_page(1);
    CaptureStderr();
    EXPECT_EQ(MESS_hold(0xF0, "error and warn\n"), 1); // reads the last newline
    EXPECT_EQ(GetCapturedStderr(), "error and warn\n");
    std::freopen("/dev/null", "r", stdin);
}

} // namespace
