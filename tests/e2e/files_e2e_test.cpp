// Whole-program runs of the input-file prompt: listing, latest and current
// answers, typed names placed in the satellite folder, positional "list".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

using testsupport::run_xsat;
using testsupport::RunOptions;
using testsupport::TempDir;

namespace {

// Two native images of 4 December 2026 (09 and 12 UTC) under a convention
// that names one image an hour; the base time is 13:30 UTC.
struct SatFolder {
    SatFolder() {
        dir.write("name_conv", "sat %S/sat_%Y%m%d_%h00.%e - 10\n");
        const std::string img = "ZORIMG\nx\ntest image\n2 2\n" + std::string("\x01\x02\x03\x04", 4);
        dir.write("sat/sat_20261204_0900.img", img);
        dir.write("sat/sat_20261204_1200.img", img);
        opt.cwd = dir.path().string();
        opt.env["HOME"] = dir.path().string();
        opt.env["zordefault"] = dir.path().string();
        opt.env["zorcurtime"] = "#202612041330";
        args = {"-me",  "mess", "-fp", dir.path().string(),      "-sp", dir.file("sat"),
                "-inp", "img",  "-de", "p," + dir.file("out.ps")};
    }
    std::string sat(const std::string &name) const { return dir.file("sat/" + name); }
    std::string reading(const std::string &name) const {
        return "Reading image file: " + sat(name) + "\n";
    }

    TempDir dir;
    RunOptions opt;
    std::vector<std::string> args;
};

int count(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

} // namespace

TEST(FilesE2E, PromptListsAgainThenTakesTheLatestFile) {
    SatFolder f;
    f.opt.stdin_text = "list\nla\n";
    auto r = run_xsat(f.args, f.opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("List of available files:\n"), std::string::npos) << r.out;
    // Listed before the first prompt and again for "list".
    EXPECT_EQ(count(r.out, f.sat("sat_20261204_0900.img") + "\n"), 2) << r.out;
    EXPECT_NE(r.out.find(f.reading("sat_20261204_1200.img")), std::string::npos) << r.out;
}

TEST(FilesE2E, CurrentAnswersAtThePrompt) {
    SatFolder f;
    // 13:30 - 3:00 names the missing 10 UTC file; then an explicit time.
    f.opt.stdin_text = "cu -3:00\n#202612040900\n";
    auto r = run_xsat(f.args, f.opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("File not found: " + f.sat("sat_20261204_1000.img") + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find(f.reading("sat_20261204_0900.img")), std::string::npos) << r.out;
}

TEST(FilesE2E, TypedNameOfTheTypeIsFoundInTheSatelliteFolder) {
    SatFolder f;
    f.opt.stdin_text = "sat_20261204_0900.img\n";
    auto r = run_xsat(f.args, f.opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(f.reading("sat_20261204_0900.img")), std::string::npos) << r.out;
}

TEST(FilesE2E, PositionalListEndsWithZero) {
    SatFolder f;
    auto args = f.args;
    args.push_back("list");
    auto r = run_xsat(args, f.opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(f.sat("sat_20261204_1200.img")), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Reading image file"), std::string::npos) << r.out;
}

TEST(FilesE2E, ConventionTemplateNeverRunsACommand) {
    SatFolder f;
    // A template that is a command, and a file of that very name for the latest search to find.
    f.dir.write("name_conv", "sat |>ran - 0\n");
    f.dir.write("|>ran", "ZORIMG\nx\ntest image\n1 1\nA");
    auto args = f.args;
    args.push_back("-ba");
    auto r = run_xsat(args, f.opt);
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("ran"))) << r.out << r.err;
}
