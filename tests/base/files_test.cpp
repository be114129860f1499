// File names: conventions, template expansion, current and latest files,
// reverse matching of typed names, hour spans and the file opener.
// Times in seconds were computed with `date -u -d "..." +%s`.
#include "base/files.h"

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "base/flag.h"
#include "base/resrc.h"
#include "base/system.h"
#include "support/test_support.h"

namespace {

struct ExitCalled {
    int status;
};

void throw_on_exit(int status) {
    throw ExitCalled{status};
}

int exit_status_of(const std::function<void()> &f) {
    try {
        f();
    } catch (const ExitCalled &e) {
        return e.status;
    }
    return -1;
}

DATE make_date(int y, int mo, int d, int h, int mi) {
    DATE date;
    date.year = y;
    date.month = mo;
    date.day = d;
    date.hour = h;
    date.minute = mi;
    return date;
}

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        FLAG_reset();
        FILE_reset_state();
        ZOR_set_exit_handler(throw_on_exit);
        unsetenv("zorcurtime");
        RES_put("file_path", dir.path().c_str());
    }
    void TearDown() override {
        ZOR_set_exit_handler(nullptr);
        unsetenv("zorcurtime");
        FILE_reset_state();
        RES_reset_state();
        FLAG_reset();
    }
    // Convention file in the scratch folder, found through file_path.
    void conventions(const std::string &text) { dir.write("name_conv", text); }
    // Satellite folder with the given files (name, size in bytes).
    void sat_files(std::initializer_list<std::pair<const char *, size_t>> files) {
        for (const auto &[name, size] : files)
            dir.write(std::string("sat/") + name, std::string(size, 'x'));
        RES_put("sat_path", dir.file("sat").c_str());
    }
    std::string sat(const std::string &name) const { return dir.file("sat/" + name); }

    testsupport::TempDir dir;
};

TEST_F(Files, TypeUsesExactLineElseFirstPrefixLineWithExtension) {
    conventions("# comment line\n"
                "sat   %S/%Y%m%d_%h%n_%e.ara - 1000\n"
                "sat_vis %S/vis_%Y%m%d%h.ara %S/vis_%Y%m%d%h.hdr 5000\n");
    RES_put("sat_path", "/data/goes/");
    DATE d = make_date(2026, 1, 4, 6, 30);
    std::string name;

    EXPECT_EQ(FILE_set_name("sat_ir"), 1);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/data/goes/20260104_0630_ir.ara");
    EXPECT_EQ(FILE_get_min_size(), 1000);

    // A later exact line wins over an earlier prefix line, case-insensitively.
    EXPECT_EQ(FILE_set_name("SAT_VIS"), 1);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/data/goes/vis_2026010406.ara");
    EXPECT_EQ(FILE_get_min_size(), 5000);
    FILE_set_header(1);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/data/goes/vis_2026010406.hdr");
    FILE_set_header(0);

    // No line: the type text itself is the template.
    EXPECT_EQ(FILE_set_name("radar"), 0);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "radar");
}

TEST_F(Files, BrokenConventionLinesAreSkipped) {
    std::string junk(6000, 'q');
    conventions("sat_ir only_two_words\n"
                "sat_ir %S/bad.ara - notanumber\n" +
                junk + " x y 1\n" +
                "\n   \n"
                "sat_ir\t%S/%Y%m%d%h_good.ara\t-\t10\n");
    RES_put("sat_path", "/d");
    DATE d = make_date(2026, 1, 4, 6, 0);
    std::string name;
    EXPECT_EQ(FILE_set_name("sat_ir"), 1);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/d/2026010406_good.ara");
    EXPECT_EQ(FILE_get_min_size(), 10);
}

TEST_F(Files, MissingConventionFileAndSpecialTypes) {
    RES_put("name_conv", "no_such_file");
    EXPECT_EQ(FILE_set_name("sat_ir"), 0);
    DATE d = make_date(2026, 1, 4, 6, 0);
    std::string name;
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "sat_ir");

    // '@': the rest is the template; keys after ':' fill their codes.
    FILE_set_name("@/x/%Y_%L.dat");
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/x/2026_%L.dat");

    conventions("grid %G/%Y%m%d%h_%L_%V.grd - 0\n");
    RES_put("name_conv", "name_conv");
    RES_put("grid_path", "/g");
    EXPECT_EQ(FILE_set_name("grid:L=500:V=temp"), 1);
    EXPECT_STREQ(FILE_get_key('L'), "500");
    EXPECT_STREQ(FILE_get_key('V'), "temp");
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/g/2026010406_500_temp.grd");

    EXPECT_EQ(FILE_set_name("none"), 0);
    EXPECT_EQ(FILE_set_date(&d, &name), 0);
}

TEST_F(Files, TemplateCodes) {
    RES_put("image_path", "/img");
    // 5 March 2026 is day 064 (date -u -d 2026-03-05 +%j); data_path unset gives ".".
    FILE_set_name("@%I/%D/%y%b%d_%j{x} %%%Y%m");
    DATE d = make_date(2026, 3, 5, 14, 40);
    std::string name;
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "/img/./26mar05_064x_%202603");

    // Fields the date does not carry print as 00.
    FILE_set_name("@%Y%m%d%h%n");
    DATE partial;
    partial.year = 2026;
    partial.month = 3;
    FILE_set_date(&partial, &name);
    EXPECT_EQ(name, "202603000000");
}

TEST_F(Files, HourMultipleRoundsAndSetsLateOffset) {
    FILE_set_name("@%Y%m%d%3h.dat");
    DATE d = make_date(2026, 1, 4, 14, 40);
    std::string name;
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "2026010412.dat");
    EXPECT_EQ(FILE_get_late_off(), 3 * 3600);

    FILE_set_name("@%Y%m%d.dat");
    EXPECT_EQ(FILE_get_late_off(), 86400);
    FILE_set_name("@%Y%m%d%h%15n.dat");
    EXPECT_EQ(FILE_get_late_off(), 15 * 60);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "202601041430.dat");
    // Nothing in the template gives a step: an hour.
    FILE_set_name("@%Y%m.dat");
    EXPECT_EQ(FILE_get_late_off(), 3600);
}

TEST_F(Files, FixedFieldsFromHourOption) {
    FILE_set_name("@%Y%m%d%h%n");
    DATE d = make_date(2026, 1, 4, 14, 40);
    std::string name;
    FILE_TIME fixed;
    fixed.hour = 12;
    FILE_set_time(&fixed);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "202601041240");
    // A fixed hour: one file a day.
    EXPECT_EQ(FILE_get_late_off(), 86400);

    fixed.hour = -6; // every 6 hours
    FILE_set_time(&fixed);
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "202601041240");
    EXPECT_EQ(FILE_get_late_off(), 6 * 3600);

    // No date: the fixed fields alone.
    FILE_TIME all;
    all.year = 2025;
    all.month = 7;
    all.day = 9;
    all.hour = 3;
    FILE_set_time(&all);
    FILE_set_date(nullptr, &name);
    EXPECT_EQ(name, "202507090300");
}

TEST_F(Files, CurrentSpecifications) {
    FILE_set_name("@%Y%m%d%h.dat");
    setenv("zorcurtime", "#202601041440", 1);
    std::string name;
    // 2026-01-04 12:00 UTC = 1767528000.
    EXPECT_EQ(FILE_set_current("-2:00", &name), 1767528000);
    EXPECT_EQ(name, "2026010412.dat");
    // No sign counts backward too; the result rounds down to the step.
    EXPECT_EQ(FILE_set_current("2:30", &name), 1767528000);
    // The environment without '#' and a forward "%dd%d:%d" offset: 2026-01-05 16:40.
    setenv("zorcurtime", "202601041440", 1);
    EXPECT_EQ(FILE_set_current("+1d2:00", &name), 1767628800);
    EXPECT_EQ(name, "2026010516.dat");
    // An explicit time in the specification wins over the environment.
    EXPECT_EQ(FILE_set_current("#2026010414-2:00", &name), 1767528000);
    // "cu" answers carry the specification after the word.
    EXPECT_EQ(FILE_set_current("cu -2:00", &name), 1767528000);
    DATE d;
    EXPECT_EQ(FILE_get_date(&d), 1);
    EXPECT_EQ(d.hour, 12);
    EXPECT_EQ(d.day, 4);

    // A fixed hour later than the base time's goes back a day: 2026-01-03 18:00.
    FILE_TIME fixed;
    fixed.hour = 18;
    FILE_set_time(&fixed);
    EXPECT_EQ(FILE_set_current("", &name), 1767463200);
    EXPECT_EQ(name, "2026010318.dat");
}

TEST_F(Files, LatestSearchCountsTriesInLateOffsetSteps) {
    conventions("sat %S/%Y%m%d_%h00_%e.ara - 100\n");
    sat_files({{"20260104_1000_ir.ara", 500}, {"20260104_0900_ir.ara", 500}});
    FILE_set_name("sat_ir");
    setenv("zorcurtime", "#202601041440", 1);
    std::string name;
    // Tries 14, 13, 12, 11, 10: the fifth one exists.
    FILE_set_current("la#5", &name);
    EXPECT_EQ(name, sat("20260104_1000_ir.ara"));
    // Four tries stop at 11: nothing found, the name is the first one tried.
    FILE_set_current("la#4", &name);
    EXPECT_EQ(name, sat("20260104_1400_ir.ara"));
    // An offset first, a second offset after the search.
    FILE_set_current("-5:00 la", &name);
    EXPECT_EQ(name, sat("20260104_0900_ir.ara"));
    FILE_set_current("la -1:00", &name);
    EXPECT_EQ(name, sat("20260104_0900_ir.ara"));
    // No specification at all: the newest file.
    FILE_set_current(nullptr, &name);
    EXPECT_EQ(name, sat("20260104_1000_ir.ara"));
    // Forward search from an earlier time.
    FILE_set_current("#202601040500 +la", &name);
    EXPECT_EQ(name, sat("20260104_0900_ir.ara"));
}

TEST_F(Files, LatestSearchInThreeHourSteps) {
    conventions("sat %S/%Y%m%d%3h_%e.ara - 0\n");
    sat_files({{"2026010413_ir.ara", 50}, {"2026010409_ir.ara", 50}});
    FILE_set_name("sat_ir");
    setenv("zorcurtime", "#202601041440", 1);
    std::string name;
    // 12 and 09 are the only names tried first; 13 is never a name of the type.
    int64_t t = FILE_set_current("la#2", &name);
    EXPECT_EQ(name, sat("2026010409_ir.ara"));
    EXPECT_EQ(t, 1767528000 - 3 * 3600);
}

TEST_F(Files, LatestSearchSkipsFilesBelowMinimumSize) {
    conventions("sat %S/%Y%m%d%h_%e.ara - 1000\n");
    sat_files({{"2026010414_ir.ara", 10},
               {"2026010413_ir.ara", 1000},
               {"2026010412_ir.ara", 1001},
               {"2026010411_ir.ara", 6000}});
    FILE_set_name("sat_ir");
    setenv("zorcurtime", "#202601041440", 1);
    std::string name;
    FILE_set_current("la", &name);
    EXPECT_EQ(name, sat("2026010412_ir.ara")); // must exceed the type's 1000 bytes
    FILE_set_min_size(5000);
    FILE_set_current("la", &name);
    EXPECT_EQ(name, sat("2026010411_ir.ara"));
    FILE_set_min_size(0);
    EXPECT_EQ(FILE_get_min_size(), 1000);
}

TEST_F(Files, TypedNamesAreMatchedAgainstTheTemplate) {
    conventions("sat %S/%Y%m%d_%h%n_%e.ara - 0\n");
    RES_put("sat_path", "/data/goes");
    FILE_set_name("sat_ir");
    std::string name;
    DATE d;

    // A full path keeps its folder, for the name and for following files.
    EXPECT_EQ(FILE_set_file("/elsewhere/x/20260104_1230_ir.ara", &name), 1);
    EXPECT_EQ(name, "/elsewhere/x/20260104_1230_ir.ara");
    FILE_get_date(&d);
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 4);
    EXPECT_EQ(d.hour, 12);
    EXPECT_EQ(d.minute, 30);
    FILE_set_date_off(&d, 3600, &name);
    EXPECT_EQ(name, "/elsewhere/x/20260104_1330_ir.ara");

    // A bare name of the type goes into the type's folder.
    EXPECT_EQ(FILE_set_file("20260105_0015_ir.ara", &name), 1);
    EXPECT_EQ(name, "/data/goes/20260105_0015_ir.ara");
    FILE_get_date(&d);
    EXPECT_EQ(d.day, 5);
    EXPECT_EQ(d.minute, 15);

    // Literal, standard-stream and unmatched names stay as typed.
    FILE_set_file("@20260105_0015_ir.ara", &name);
    EXPECT_EQ(name, "20260105_0015_ir.ara");
    FILE_set_file("-", &name);
    EXPECT_EQ(name, "-");
    EXPECT_EQ(FILE_set_file("notes.txt", &name), 0);
    EXPECT_EQ(name, "notes.txt");
    EXPECT_EQ(FILE_get_date(&d), 0);

    EXPECT_EQ(exit_status_of([&] { FILE_set_file("exit", &name); }), 0);
}

TEST_F(Files, TypedNamesWithDayOfYearAndWildcards) {
    FILE_set_name("@%S/goes*.%y%j.%h%n");
    std::string name;
    DATE d;
    // Day 064 of 2026 is 5 March (date -u -d "2026-01-01 +63 days").
    EXPECT_EQ(FILE_set_file("/d/goes16_band13.26064.1745", &name), 1);
    FILE_get_date(&d);
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 5);
    EXPECT_EQ(d.hour, 17);
    EXPECT_EQ(d.minute, 45);
    // Digits where letters are: no date.
    EXPECT_EQ(FILE_set_file("/d/goes16.26a64.1745", &name), 0);
}

TEST_F(Files, HourSpans) {
    for (const char *h : {"06", "09", "12", "15"})
        dir.write(std::string("20260104") + h + ".dat", "x");
    FILE_set_name(("@" + dir.file("%Y%m%d%3h.dat")).c_str());
    DATE first = make_date(2026, 1, 4, 12, 0);
    std::string name;
    auto walk = [&] {
        std::vector<std::string> names;
        while (FILE_get_next(&name))
            names.push_back(name.substr(name.rfind('/') + 1));
        return names;
    };

    // 12, 15 and 18 are expected; 18 does not exist and is left out.
    RES_put("num_hour", "6");
    EXPECT_EQ(FILE_first(&first), 3);
    EXPECT_EQ(FILE_get_num_file(), 3);
    EXPECT_EQ(walk(), (std::vector<std::string>{"2026010412.dat", "2026010415.dat"}));

    // Backward spans end at the first date and play in time order.
    RES_put("num_hour", "-6");
    EXPECT_EQ(FILE_first(&first), 3);
    EXPECT_EQ(walk(),
              (std::vector<std::string>{"2026010406.dat", "2026010409.dat", "2026010412.dat"}));

    // A step above the late offset is cut to a multiple of it: 4:00 -> 3 hours.
    RES_put("num_hour", "9,4:00");
    EXPECT_EQ(FILE_first(&first), 4);
    // Minutes only, with a step below the late offset kept as given.
    FILE_set_name("@%Y%m%d%h%n.dat");
    RES_put("num_hour", ":45,:15");
    EXPECT_EQ(FILE_first(&first), 4);

    // No num_hour: one file, and no sequence to loop.
    RES_reset_state();
    EXPECT_EQ(FILE_first(&first), 1);
    EXPECT_EQ(FILE_get_num_file(), 0);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, "202601041200.dat");
    EXPECT_EQ(FILE_get_next(&name), 0);
}

TEST_F(Files, PositionalListsAndCurrentWords) {
    std::string a = dir.write("a.dat", "x");
    std::string b = dir.write("b.dat", "x");
    dir.write("2026010406.dat", "x");
    dir.write("2026010407.dat", "x");
    FILE_set_name(("@" + dir.file("%Y%m%d%h.dat")).c_str());
    std::string name;
    RES_new(-9999, "filename", (a + "\n" + dir.file("missing.dat") + "\n" + b).c_str(), RES_LIST);
    EXPECT_EQ(FILE_first(nullptr), 3);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, a);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, b);
    EXPECT_EQ(FILE_get_next(&name), 0);

    // "la" as the first name means no list: the span runs from the date.
    RES_new(-9999, "filename", "la", RES_LIST);
    RES_put("num_hour", "2");
    DATE first = make_date(2026, 1, 4, 12, 0);
    EXPECT_EQ(FILE_first(&first), 3);

    // One typed name with hours: the span starts at its date.
    std::string typed = dir.file("2026010406.dat");
    RES_new(-9999, "filename", typed.c_str(), RES_LIST);
    FILE_set_file(typed.c_str(), &name);
    EXPECT_EQ(FILE_first(nullptr), 3);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, typed);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, dir.file("2026010407.dat"));
    EXPECT_EQ(FILE_get_next(&name), 0);

    // A chosen file the template cannot rebuild is still the one file shown.
    RES_reset_state();
    FILE_set_file(a.c_str(), &name);
    EXPECT_EQ(FILE_first(nullptr), 1);
    ASSERT_EQ(FILE_get_next(&name), 1);
    EXPECT_EQ(name, a);
}

TEST_F(Files, GetFileWithoutPrompts) {
    conventions("sat %S/%Y%m%d%h_%e.ara - 0\n");
    sat_files({{"2026010411_ir.ara", 20}});
    FILE_set_name("sat_ir");
    setenv("zorcurtime", "#202601041440", 1);
    std::string name;

    // Batch mode takes the latest file.
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_get_file("File: ", &name), 1);
    EXPECT_EQ(name, sat("2026010411_ir.ara"));
    EXPECT_STREQ(FILE_get_name(), name.c_str());

    // The "current" option; a missing file ends the program with status 10.
    RES_put("current", "-3:00");
    EXPECT_EQ(FILE_get_file("File: ", &name), 1);
    RES_put("current", "-1:00");
    EXPECT_EQ(exit_status_of([&] { FILE_get_file("File: ", &name); }), 10);
    EXPECT_EQ(FILE_get_file_only("File: ", &name), 0);

    // Positional names come first; "list" lists and ends with status 0.
    RES_new(-9999, "filename", sat("2026010411_ir.ara").c_str(), RES_LIST);
    EXPECT_EQ(FILE_get_file("File: ", &name), 1);
    RES_new(-9999, "filename", "list", RES_LIST);
    EXPECT_EQ(exit_status_of([&] { FILE_get_file("File: ", &name); }), 0);
}

TEST_F(Files, OverwritePolicy) {
    std::string existing = dir.write("out.gif", "x");
    EXPECT_EQ(FILE_overwrite(dir.file("new.gif").c_str(), 1), 1);
    EXPECT_EQ(FILE_overwrite("-", 1), 1);
    FLAG_set(FLAG_FILE_PARAM, 2);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 2), 2);
    FLAG_set(FLAG_FILE_PARAM, -9999);
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 1), 3);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 7), 0);
}

// Answers read from standard input, which is pointed at a file for the test.
TEST_F(Files, OverwritePromptAnswers) {
    std::string existing = dir.write("out.gif", "x");
    std::string answers = dir.write("answers", "o\nA\nA\nnope\n");
    std::fflush(stdin);
    int saved = dup(0);
    int fd = open(answers.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    dup2(fd, 0);
    close(fd);
    clearerr(stdin);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 1), 1); // 'o' overwrites
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 2), 2); // 'A' appends
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 1), 3); // no append offered: use
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 2), 3);
    dup2(saved, 0);
    close(saved);
    clearerr(stdin);
}

TEST_F(Files, OpenStandardStreamsPipesHomeAndNewFolders) {
    {
        FilePtr out = FILE_open("-", "w");
        EXPECT_EQ(out.get(), stdout);
        FilePtr in = FILE_open("STDN", "r");
        EXPECT_EQ(in.get(), stdin);
    }
    // Closing them left the standard streams open.
    EXPECT_NE(fcntl(fileno(stdout), F_GETFD), -1);
    EXPECT_NE(fcntl(fileno(stdin), F_GETFD), -1);
    EXPECT_EQ(std::fputs("", stdout) >= 0, true);

    {
        FilePtr p = FILE_open("|echo pipe-text", "r");
        ASSERT_TRUE(p);
        char buf[32] = {};
        ASSERT_NE(std::fgets(buf, sizeof buf, p.get()), nullptr);
        EXPECT_STREQ(buf, "pipe-text\n");
    }
    std::string piped = dir.file("piped.txt");
    {
        FilePtr p = FILE_open(("|cat > " + piped).c_str(), "w");
        ASSERT_TRUE(p);
        std::fputs("through cat\n", p.get());
    } // pclose waits for cat
    EXPECT_EQ(testsupport::read_file(piped), "through cat\n");

    const char *old_home = std::getenv("HOME");
    std::string saved = old_home ? old_home : "";
    setenv("HOME", dir.path().c_str(), 1);
    {
        FilePtr f = FILE_open("~/a/b/c/new.txt", "w");
        ASSERT_TRUE(f);
        std::fputs("deep", f.get());
    }
    EXPECT_EQ(testsupport::read_file(dir.file("a/b/c/new.txt")), "deep");
    EXPECT_TRUE(FILE_is_dir("~/a/b"));
    EXPECT_EQ(FILE_size("~/a/b/c/new.txt"), 4);
    {
        FilePtr f = FILE_open("~/x/y.txt", "a");
        ASSERT_TRUE(f);
    }
    EXPECT_TRUE(FILE_is_file(dir.file("x/y.txt").c_str()));
    // Read modes create nothing.
    EXPECT_FALSE(FILE_open("~/r/s.txt", "r"));
    EXPECT_FALSE(FILE_is_dir(dir.file("r").c_str()));
    if (old_home)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");

    if (passwd *pw = getpwnam("root")) {
        EXPECT_EQ(FILE_expand_home("~root/etc"), std::string(pw->pw_dir) + "/etc");
    }
    EXPECT_EQ(FILE_expand_home("~no_such_user_xyz/f"), "~no_such_user_xyz/f");
}

TEST_F(Files, PathsAndFileTypes) {
    std::string out;
    FILE_add_path("/d", "x", &out);
    EXPECT_EQ(out, "/d/x");
    FILE_add_path("/d/", "x", &out);
    EXPECT_EQ(out, "/d/x");
    for (const char *keep : {"/abs", "./rel", "~/h", "-", "std"}) {
        FILE_add_path("/d", keep, &out);
        EXPECT_EQ(out, keep);
    }
    EXPECT_EQ(FILE_add_path_delim("a"), "a/");
    EXPECT_EQ(FILE_add_path_delim("a/"), "a/");
    EXPECT_EQ(FILE_add_path_delim(""), "");

    EXPECT_EQ(FILE_type(dir.write("img", "ZORIMG 1.0 rest").c_str()), 9);
    EXPECT_EQ(FILE_type(dir.write("sfc", "ZORSFC").c_str()), 11);
    EXPECT_EQ(FILE_type(dir.write("short", "ZOR").c_str()), -1);
    // A name with a suffix after '-' falls back to the part before it.
    dir.write("grid", "ZORGRID v2");
    EXPECT_EQ(FILE_type((dir.file("grid") + "-500mb").c_str()), 6);
    EXPECT_EQ(FILE_type(dir.file("none").c_str()), -1);

    EXPECT_EQ(FILE_make_dir(dir.file("m/n/o").c_str()), 1);
    EXPECT_TRUE(FILE_is_dir(dir.file("m/n/o").c_str()));
    std::string f = dir.write("del", "x");
    EXPECT_EQ(FILE_delete(f.c_str()), 1);
    EXPECT_FALSE(FILE_exist(f.c_str()));
    EXPECT_TRUE(FILE_is_device("/dev/null"));
}

TEST_F(Files, SaveAndRestoreConvention) {
    FILE_set_name("@%Y%m%d%h.a");
    FILE_save_name_conv();
    FILE_set_name("@%Y.b");
    EXPECT_EQ(FILE_restore_name_conv(), 1);
    DATE d = make_date(2026, 1, 4, 6, 0);
    std::string name;
    FILE_set_date(&d, &name);
    EXPECT_EQ(name, "2026010406.a");
    EXPECT_EQ(FILE_restore_name_conv(), 0);
}

} // namespace
