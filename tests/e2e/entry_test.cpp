// Whole-program runs of xsat: options, resource files, environment, prompts
// answered on standard input, exit statuses and the file walk.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

using testsupport::run_xsat;
using testsupport::RunOptions;
using testsupport::TempDir;

namespace {

// Runs in an empty folder with HOME pointing there, so no resource file of the
// machine is read unless the test writes one.
RunOptions isolated(const TempDir &dir) {
    RunOptions o;
    o.cwd = dir.path().string();
    o.env["HOME"] = dir.path().string();
    o.env["zordefault"] = dir.path().string();
    return o;
}

int count(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

// A small native image: header lines and 2 x 2 pixels.
std::string native_image(const std::string &label) {
    return "ZORIMG\n" + label + "\ntest image\n2 2\n" + std::string("\x01\x02\x03\x04", 4);
}

} // namespace

TEST(Entry, HelpListsEveryOptionAndEndsWithZero) {
    TempDir dir;
    auto r = run_xsat({"-h"}, isolated(dir));
    EXPECT_EQ(r.status, 0);
    const std::string head = "xsat: This program plots satellite data\n"
                             "xsat syntax (version:1.0.0-LINUX-X11)\n"
                             "   xsat [options...]\n"
                             "Keyed options...\n"
                             " -df file    Resource/defaults file name\n"
                             " -na name    Program name\n"
                             " -h          Print this help\n"
                             " -ba         Run program in batch mode\n";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    // Lines whose option text fills or overflows the ten-character column.
    EXPECT_NE(r.out.find("\n -fp path    File path\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n -nh hour[,step]  Number of hours to view\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n -ge wxh+x+y  Window geometry\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n -de dev[,name]  Output device: d,p,q,w,m\n"), std::string::npos);
    // The domain option's text fills its line; its help follows on lines of their own.
    EXPECT_NE(r.out.find(" -pd region or [proj],clat,clon[,nx,ny][,dx,dy]  \n"
                         "             Output plot domain\n"
                         "               region=predefined region:\n"
                         "                  us,ne,at,se,mw,sp,nw,sw,etc\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Positional options...\n file [file...]  Input file names\n"),
              std::string::npos);
    // No title and no prompt after help.
    EXPECT_EQ(r.out.find("SATELLITE IMAGE DISPLAY"), std::string::npos);
}

TEST(Entry, TitleFollowsMessageLevel) {
    TempDir dir;
    auto o = isolated(dir);
    o.stdin_text = "exit\n";
    auto r = run_xsat({}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("      SATELLITE IMAGE DISPLAY (Ver 1.0.0-LINUX-X11)\n\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Enter the satellite filename: "), std::string::npos);

    // "print" keeps prompts but hides progress messages such as the title.
    r = run_xsat({"-me", "print"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("SATELLITE IMAGE DISPLAY"), std::string::npos);
    EXPECT_NE(r.out.find("Enter the satellite filename: "), std::string::npos);

    // "none" silences everything, prompts included.
    r = run_xsat({"-me=none"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(Entry, PromptAnswersExitAndMissingFiles) {
    TempDir dir;
    auto o = isolated(dir);
    o.stdin_text = "nofile1\nnofile2\nexit\n";
    auto r = run_xsat({}, o);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.err, "File not found: "), 2) << r.err;

    o.stdin_text = "a1\na2\na3\na4\na5\n";
    r = run_xsat({}, o);
    EXPECT_EQ(r.status, 10) << r.out << r.err;
    EXPECT_EQ(count(r.err, "File not found: "), 4) << r.err;

    // End of input at a prompt ends quietly instead of looping.
    o.stdin_text = "";
    r = run_xsat({}, o);
    EXPECT_EQ(r.status, 0);
}

TEST(Entry, MissingPositionalFileEndsWithTen) {
    TempDir dir;
    auto r = run_xsat({"-inp", "img", dir.file("absent.img")}, isolated(dir));
    EXPECT_EQ(r.status, 10) << r.out << r.err;
}

TEST(Entry, UnknownInputTypeEndsBeforeAnyPrompt) {
    TempDir dir;
    // An in_file value naming a convention keeps the AREA type; an input type
    // outside the satellite set is impossible to choose from the options, so
    // this checks that an unknown "input" value is ignored and the prompt comes.
    auto o = isolated(dir);
    o.stdin_text = "exit\n";
    auto r = run_xsat({"-inp", "grib"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Enter the satellite filename: "), std::string::npos);
}

TEST(Entry, ResourceFileEnvironmentCommandLinePrecedence) {
    TempDir dir;
    dir.write(".zordef", "# defaults\n*plot_domain ps,40,-100\n*title \"From the file\"\n");
    auto o = isolated(dir);
    o.stdin_text = "set\nexit\n";

    auto r = run_xsat({}, o);
    EXPECT_NE(r.out.find("plot_domain: ps,40,-100\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("title: From the file\n"), std::string::npos) << r.out;

    o.env["zordomain"] = "me,30,-80";
    r = run_xsat({}, o);
    EXPECT_NE(r.out.find("plot_domain: me,30,-80\n"), std::string::npos) << r.out;

    r = run_xsat({"-PD", "lc,35,-95"}, o);
    EXPECT_NE(r.out.find("plot_domain: lc,35,-95\n"), std::string::npos) << r.out;

    // A prefix of the resource name and the program-specific variable.
    o.env["zorxsat.plot_domain"] = "or,10,10";
    r = run_xsat({}, o);
    EXPECT_NE(r.out.find("plot_domain: or,10,10\n"), std::string::npos) << r.out;
    r = run_xsat({"-plot_d=ll,0,0"}, o);
    EXPECT_NE(r.out.find("plot_domain: ll,0,0\n"), std::string::npos) << r.out;
}

TEST(Entry, SetCommandStoresFreeResource) {
    TempDir dir;
    auto o = isolated(dir);
    o.stdin_text = "set colour=blue\nset\nexit\n";
    auto r = run_xsat({}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Set resources\n"), std::string::npos);
    EXPECT_NE(r.out.find("colour: blue\n"), std::string::npos) << r.out;
}

TEST(Entry, LatestFileThroughNamingConvention) {
    TempDir dir;
    dir.write("name_conv", "# type template header min-size\nsat %S/sat_%Y%m%d_%h00.%e - 10\n");
    const std::string img = native_image("1200Z  4 DEC 26");
    dir.write("sat/sat_20261204_0900.img", img);
    dir.write("sat/sat_20261204_1200.img", img);
    dir.write("sat/sat_20261204_1300.img", "tiny"); // below the minimum size
    dir.write("sat/sat_20261204_1500.img", img);    // after the base time
    auto o = isolated(dir);
    o.env["zorcurtime"] = "#202612041330";
    // Drawn on paper: a batch run needs no X server then.
    const std::string ps = "p," + dir.file("out.ps");
    auto r = run_xsat({"-ba", "-me", "mess", "-fp", dir.path().string(), "-sp", dir.file("sat"),
                       "-inp", "img", "-de", ps, "-cu", "la"},
                      o);
    EXPECT_NE(r.out.find("Current filename: " + dir.file("sat") + "/sat_20261204_1200.img\n"),
              std::string::npos)
        << r.out << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // Two hours before the base time.
    r = run_xsat({"-ba", "-me", "mess", "-fp", dir.path().string(), "-sp", dir.file("sat"), "-inp",
                  "img", "-de", ps, "-cu", "-2:00"},
                 o);
    EXPECT_NE(r.out.find("Current filename: " + dir.file("sat") + "/sat_20261204_1100.img\n"),
              std::string::npos)
        << r.out << r.err;
    EXPECT_EQ(r.status, 10) << "the file of 11Z does not exist";
}

TEST(Entry, HourSpanWalksEveryExistingFile) {
    TempDir dir;
    dir.write("name_conv", "sat %S/sat_%Y%m%d_%h00.%e - 10\n");
    for (const char *h : {"09", "10", "12"})
        dir.write(std::string("sat/sat_20261204_") + h + "00.img", native_image("x"));
    auto o = isolated(dir);
    o.env["zorcurtime"] = "#202612041230";
    auto r =
        run_xsat({"-ba", "-me", "mess", "-fp", dir.path().string(), "-sp", dir.file("sat"), "-inp",
                  "img", "-de", "p," + dir.file("out.ps"), "-cu", "la", "-nh", "-3:00"},
                 o);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // 09, 10 and 12 exist; 11 is skipped in the sequence.
    EXPECT_EQ(count(r.out, "Frame "), 3) << r.out << r.err;
}
