// Whole-program checks of the option machinery: help requested through each
// source (resource file, environment, command line) and the usage listing.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

using testsupport::run_xsat;

const char *const kUsageHead = "xsat syntax (version:1.0.0-LINUX-X11)\n"
                               "   xsat [options...]\n"
                               "Keyed options...\n"
                               " -df file    Resource/defaults file name\n"
                               " -na name    Program name\n"
                               " -h          Print this help\n";

TEST(ResrcE2E, HelpFromCommandLine) {
    testsupport::TempDir dir;
    testsupport::RunOptions opt;
    opt.cwd = dir.path().string();
    auto r = run_xsat({"-ba", "-h", "some.file"}, opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kUsageHead), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Positional options...\n file [file...]  Input file names\n"),
              std::string::npos);
}

TEST(ResrcE2E, HelpFromResourceFileAndEnvironment) {
    testsupport::TempDir dir;
    dir.write(".zordef", "# asks for help\n*help on\n");
    testsupport::RunOptions opt;
    opt.cwd = dir.path().string();
    auto r = run_xsat({}, opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kUsageHead), std::string::npos) << r.out;

    testsupport::TempDir other;
    testsupport::RunOptions env;
    env.cwd = other.path().string();
    env.env["zorhelp"] = "1";
    r = run_xsat({"-ba"}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kUsageHead), std::string::npos) << r.out;
}

TEST(ResrcE2E, StrayElseInResourceFileIsReported) {
    testsupport::TempDir dir;
    dir.write(".zordef", "ELSE\n*help on\n");
    testsupport::RunOptions opt;
    opt.cwd = dir.path().string();
    auto r = run_xsat({}, opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("DEF_get: else without an if\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(kUsageHead), std::string::npos);
}

} // namespace
