// File names and sequences: conventions, template expansion, current and latest files,
// reverse matching of typed names, hour spans and the input file.
// Times in seconds were computed with `date -u -d "..." +%s`.
#include "base/files.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include "base/flag.h"
#include "base/resrc.h"
#include "support/test_support.h"

namespace {

using Names = std::vector<std::string>;

DATE make_date(int y, int mo, int d, int h, int mi) {
    return DATE{.year = y, .month = mo, .day = d, .hour = h, .minute = mi};
}

// The name the current type gives for a date.
std::string name_at(const DATE *d) {
    std::string name;
    FILE_set_date(d, &name);
    return name;
}

std::string current(const char *spec) {
    std::string name;
    FILE_set_current(spec, &name);
    return name;
}

// Year, month, day, hour and minute of the last file named.
std::tuple<int, int, int, int, int> file_date() {
    DATE d;
    FILE_get_date(&d);
    return {d.year, d.month, d.day, d.hour, d.minute};
}

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        FLAG_reset();
        FILE_reset_state();
        setenv("zorcurtime", "#202601041440", 1);
        RES_put("file_path", dir.path().c_str());
    }
    void TearDown() override {
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
    // Names of the sequence still to come, by default without their folder.
    static Names walk(bool base_only = true) {
        Names names;
        for (std::string name; FILE_get_next(&name);)
            names.push_back(base_only ? name.substr(name.rfind('/') + 1) : name);
        return names;
    }

    testsupport::TempDir dir;
};

TEST_F(Files, TypeUsesExactLineElseFirstPrefixLineWithExtension) {
    conventions("# comment line\n"
                "sat   %S/%Y%m%d_%h%n_%e.ara - 1000\n"
                "sat_vis %S/vis_%Y%m%d%h.ara %S/vis_%Y%m%d%h.hdr 5000\n");
    RES_put("sat_path", "/data/goes/");
    const DATE d = make_date(2026, 1, 4, 6, 30);
    EXPECT_EQ(FILE_set_name("sat_ir"), 1);
    EXPECT_EQ(name_at(&d), "/data/goes/20260104_0630_ir.ara");
    EXPECT_EQ(FILE_get_min_size(), 1000);
    // A later exact line wins over an earlier prefix line, case-insensitively.
    EXPECT_EQ(FILE_set_name("SAT_VIS"), 1);
    EXPECT_EQ(name_at(&d), "/data/goes/vis_2026010406.ara");
    EXPECT_EQ(FILE_get_min_size(), 5000);
    FILE_set_header(1);
    EXPECT_EQ(name_at(&d), "/data/goes/vis_2026010406.hdr");
    FILE_set_header(0);
    // No line: the type text itself is the template.
    EXPECT_EQ(FILE_set_name("radar"), 0);
    EXPECT_EQ(name_at(&d), "radar");

    // Broken lines are skipped: too few words, a bad size, an overlong line, blank lines,
    // and a template or header template that would start a command is no name.
    conventions("sat_ir only_two_words\nsat_ir %S/bad.ara - notanumber\n" + std::string(6000, 'q') +
                " x y 1\n\n   \nsat_ir |cat - 0\nsat_ir %S/a.ara |cat 0\n"
                "sat_ir\t%S/%Y%m%d%h_good.ara\t-\t10\n");
    RES_put("sat_path", "/d");
    EXPECT_EQ(FILE_set_name("sat_ir"), 1);
    EXPECT_EQ(name_at(&d), "/d/2026010406_good.ara");
    EXPECT_EQ(FILE_get_min_size(), 10);
}

TEST_F(Files, MissingConventionFileSpecialTypesAndSavedConvention) {
    RES_put("name_conv", "no_such_file");
    const DATE d = make_date(2026, 1, 4, 6, 0);
    EXPECT_EQ(FILE_set_name("sat_ir"), 0);
    EXPECT_EQ(name_at(&d), "sat_ir");
    // '@': the rest is the template; keys after ':' fill their codes.
    FILE_set_name("@/x/%Y_%L.dat");
    EXPECT_EQ(name_at(&d), "/x/2026_%L.dat");
    conventions("grid %G/%Y%m%d%h_%L_%V.grd - 0\n");
    RES_put("name_conv", "name_conv");
    RES_put("grid_path", "/g");
    EXPECT_EQ(FILE_set_name("grid:L=500:V=temp"), 1);
    EXPECT_STREQ(FILE_get_key('L'), "500");
    EXPECT_STREQ(FILE_get_key('V'), "temp");
    EXPECT_EQ(name_at(&d), "/g/2026010406_500_temp.grd");
    // Keys belong to the process, not to a convention: the region key the domain decoder
    // set still fills %r after another type is selected.
    FILE_set_key('r', "us");
    FILE_set_name("sat_ir");
    FILE_set_name("@%r_%Y%m%d_%h.img");
    EXPECT_EQ(name_at(&d), "us_20260104_06.img");
    EXPECT_STREQ(FILE_get_key('L'), "500");
    EXPECT_EQ(FILE_set_name("none"), 0);
    std::string name;
    EXPECT_EQ(FILE_set_date(&d, &name), 0);
    // A saved convention comes back once.
    FILE_set_name("@%Y%m%d%h.a");
    FILE_save_name_conv();
    FILE_set_name("@%Y.b");
    EXPECT_EQ(FILE_restore_name_conv(), 1);
    EXPECT_EQ(name_at(&d), "2026010406.a");
    EXPECT_EQ(FILE_restore_name_conv(), 0);
}

TEST_F(Files, TemplateCodesLateOffsetsAndFixedFields) {
    // 5 March 2026 is day 064 (date -u -d 2026-03-05 +%j); data_path unset gives ".".
    RES_put("image_path", "/img");
    FILE_set_name("@%I/%D/%y%b%d_%j{x} %%%Y%m");
    DATE d = make_date(2026, 3, 5, 14, 40);
    EXPECT_EQ(name_at(&d), "/img/./26mar05_064x_%202603");
    // Fields the date does not carry print as 00.
    FILE_set_name("@%Y%m%d%h%n");
    const DATE partial{.year = 2026, .month = 3};
    EXPECT_EQ(name_at(&partial), "202603000000");

    // "%3h" rounds the hour down to a multiple and makes the step between files; without
    // a step in the template the step is an hour.
    d = make_date(2026, 1, 4, 14, 40);
    const struct {
        const char *tmpl, *name;
        int64_t late_off;
    } rows[] = {{"@%Y%m%d%3h.dat", "2026010412.dat", 3 * 3600},
                {"@%Y%m%d.dat", "20260104.dat", 86400},
                {"@%Y%m%d%h%15n.dat", "202601041430.dat", 15 * 60},
                {"@%Y%m.dat", "202601.dat", 3600}};
    for (const auto &r : rows) {
        FILE_set_name(r.tmpl);
        EXPECT_EQ(name_at(&d), r.name);
        EXPECT_EQ(FILE_get_late_off(), r.late_off) << r.tmpl;
    }
    // The "hour" option fixes fields: a fixed hour gives a file a day, -6 one every 6 hours.
    FILE_set_name("@%Y%m%d%h%n");
    for (auto [hour, step] : {std::pair{12, 86400}, {-6, 6 * 3600}}) {
        const FILE_TIME fixed{.hour = hour};
        FILE_set_time(&fixed);
        EXPECT_EQ(name_at(&d), "202601041240") << hour;
        EXPECT_EQ(FILE_get_late_off(), step) << hour;
    }
    // No date: the fixed fields alone.
    const FILE_TIME all{.year = 2025, .month = 7, .day = 9, .hour = 3};
    FILE_set_time(&all);
    EXPECT_EQ(name_at(nullptr), "202507090300");
}

TEST_F(Files, CurrentSpecifications) {
    FILE_set_name("@%Y%m%d%h.dat");
    std::string name;
    // 2026-01-04 12:00 UTC = 1767528000; no sign counts backward too and the result
    // rounds down to the step; an explicit time wins over the environment; "cu" answers
    // carry the time after the word.
    for (const char *spec : {"-2:00", "2:30", "#2026010414-2:00", "cu -2:00"}) {
        EXPECT_EQ(FILE_set_current(spec, &name), 1767528000) << spec;
        EXPECT_EQ(name, "2026010412.dat") << spec;
    }
    // The file's date is the exact time; only the seconds returned are rounded.
    EXPECT_EQ(file_date(), std::tuple(2026, 1, 4, 12, 40));
    // So the name is built from the exact time too: %n gives its minutes.
    FILE_set_name("@%Y%m%d%h%n.img");
    setenv("zorcurtime", "#202401041437", 1);
    EXPECT_EQ(FILE_set_current("cu -0:10", &name), 1704376800);
    EXPECT_EQ(name, "202401041427.img");
    FILE_set_name("@%Y%m%d%h.dat");
    // The environment without '#' and a forward "%dd%d:%d" offset: 2026-01-05 16:40.
    setenv("zorcurtime", "202601041440", 1);
    EXPECT_EQ(FILE_set_current("+1d2:00", &name), 1767628800);
    EXPECT_EQ(name, "2026010516.dat");
    // A fixed hour later than the base time's goes back a day: 2026-01-03 18:00.
    const FILE_TIME fixed{.hour = 18};
    FILE_set_time(&fixed);
    EXPECT_EQ(FILE_set_current("", &name), 1767463200);
    EXPECT_EQ(name, "2026010318.dat");
    // The offset counts from that time (2026-01-03 18:40 - 20:00 = 2026-01-02 22:40), and the
    // name and the seconds are those of the fixed hour on that day.
    FILE_set_name("@%Y%m%d%h%n.dat");
    EXPECT_EQ(FILE_set_current("-20:00", &name), 1767376800);
    EXPECT_EQ(name, "202601021840.dat");
}

TEST_F(Files, LatestSearch) {
    conventions("sat %S/%Y%m%d_%h00_%e.ara - 100\n");
    sat_files({{"20260104_1000_ir.ara", 500}, {"20260104_0900_ir.ara", 500}});
    FILE_set_name("sat_ir");
    // Tries 14, 13, 12, 11, 10: the fifth one exists; four tries find nothing and give the
    // first name tried. An offset may come before the search or after it; no specification
    // means the newest file; "+la" searches forward.
    const std::pair<const char *, const char *> rows[] = {
        {"la#5", "20260104_1000_ir.ara"},     {"la#4", "20260104_1400_ir.ara"},
        {"-5:00 la", "20260104_0900_ir.ara"}, {"la -1:00", "20260104_0900_ir.ara"},
        {nullptr, "20260104_1000_ir.ara"},    {"#202601040500 +la", "20260104_0900_ir.ara"}};
    for (const auto &[spec, want] : rows)
        EXPECT_EQ(current(spec), sat(want)) << (spec ? spec : "null");

    // Three-hour steps: 12 and 09 are the only names tried; 13 is never a name of the type.
    conventions("sat %S/%Y%m%d%3h_%e.ara - 0\n");
    sat_files({{"2026010413_ir.ara", 50}, {"2026010409_ir.ara", 50}});
    FILE_set_name("sat_ir");
    std::string name;
    EXPECT_EQ(FILE_set_current("la#2", &name), 1767528000 - 3 * 3600);
    EXPECT_EQ(name, sat("2026010409_ir.ara"));

    // Files must exceed the type's minimum size, or the one set by the program.
    conventions("sat %S/%Y%m%d%h_%e.ara - 1000\n");
    sat_files({{"2026010414_ir.ara", 10},
               {"2026010413_ir.ara", 1000},
               {"2026010412_ir.ara", 1001},
               {"2026010411_ir.ara", 6000}});
    FILE_set_name("sat_ir");
    EXPECT_EQ(current("la"), sat("2026010412_ir.ara"));
    FILE_set_min_size(5000);
    EXPECT_EQ(current("la"), sat("2026010411_ir.ara"));
    FILE_set_min_size(0);
    EXPECT_EQ(FILE_get_min_size(), 1000);
}

TEST_F(Files, TypedNamesAreMatchedAgainstTheTemplate) {
    conventions("sat %S/%Y%m%d_%h%n_%e.ara - 0\n");
    RES_put("sat_path", "/data/goes");
    FILE_set_name("sat_ir");
    std::string name;
    // A full path keeps its folder, for the name and for following files.
    EXPECT_EQ(FILE_set_file("/elsewhere/x/20260104_1230_ir.ara", &name), 1);
    EXPECT_EQ(name, "/elsewhere/x/20260104_1230_ir.ara");
    EXPECT_EQ(file_date(), std::tuple(2026, 1, 4, 12, 30));
    DATE d;
    FILE_get_date(&d);
    FILE_set_date_off(&d, 3600, &name);
    EXPECT_EQ(name, "/elsewhere/x/20260104_1330_ir.ara");
    // A bare name of the type goes into the type's folder.
    EXPECT_EQ(FILE_set_file("20260105_0015_ir.ara", &name), 1);
    EXPECT_EQ(name, "/data/goes/20260105_0015_ir.ara");
    EXPECT_EQ(file_date(), std::tuple(2026, 1, 5, 0, 15));
    // Literal, standard-stream and unmatched names stay as typed.
    FILE_set_file("@20260105_0015_ir.ara", &name);
    EXPECT_EQ(name, "20260105_0015_ir.ara");
    FILE_set_file("-", &name);
    EXPECT_EQ(name, "-");
    EXPECT_EQ(FILE_set_file("notes.txt", &name), 0);
    EXPECT_EQ(name, "notes.txt");
    EXPECT_EQ(FILE_get_date(&d), 0);
    EXPECT_EQ(FILE_set_file("exit", &name), FILE_QUIT);

    // Day 064 of 2026 is 5 March (date -u -d "2026-01-01 +63 days"); '*' matches any text.
    FILE_set_name("@%S/goes*.%y%j.%h%n");
    EXPECT_EQ(FILE_set_file("/d/goes16_band13.26064.1745", &name), 1);
    EXPECT_EQ(file_date(), std::tuple(2026, 3, 5, 17, 45));
    EXPECT_EQ(FILE_set_file("/d/goes16.26a64.1745", &name), 0) << "a letter among the digits";
}

TEST_F(Files, HourSpans) {
    for (const char *h : {"06", "09", "12", "15"})
        dir.write(std::string("20260104") + h + ".dat", "x");
    FILE_set_name(("@" + dir.file("%Y%m%d%3h.dat")).c_str());
    const DATE first = make_date(2026, 1, 4, 12, 0);
    // 12, 15 and 18 are expected; 18 does not exist and is left out.
    RES_put("num_hour", "6");
    EXPECT_EQ(FILE_first(&first), 3);
    EXPECT_EQ(FILE_get_num_file(), 3);
    EXPECT_EQ(walk(), (Names{"2026010412.dat", "2026010415.dat"}));
    // Backward spans end at the first date and play in time order.
    RES_put("num_hour", "-6");
    EXPECT_EQ(FILE_first(&first), 3);
    EXPECT_EQ(walk(), (Names{"2026010406.dat", "2026010409.dat", "2026010412.dat"}));
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
    EXPECT_EQ(walk(), Names{"202601041200.dat"});
}

TEST_F(Files, PositionalListsAndCurrentWords) {
    std::string a = dir.write("a.dat", "x"), b = dir.write("b.dat", "x");
    dir.write("2026010406.dat", "x");
    dir.write("2026010407.dat", "x");
    FILE_set_name(("@" + dir.file("%Y%m%d%h.dat")).c_str());
    std::string name;
    RES_new(-9999, "filename", (a + "\n" + dir.file("missing.dat") + "\n" + b).c_str(), RES_LIST);
    EXPECT_EQ(FILE_first(nullptr), 3);
    EXPECT_EQ(walk(false), (Names{a, b}));
    // "la" as the first name means no list: the span runs from the date.
    RES_new(-9999, "filename", "la", RES_LIST);
    RES_put("num_hour", "2");
    const DATE first = make_date(2026, 1, 4, 12, 0);
    EXPECT_EQ(FILE_first(&first), 3);
    // One typed name with hours: the span starts at its date.
    std::string typed = dir.file("2026010406.dat");
    RES_new(-9999, "filename", typed.c_str(), RES_LIST);
    FILE_set_file(typed.c_str(), &name);
    EXPECT_EQ(FILE_first(nullptr), 3);
    EXPECT_EQ(walk(false), (Names{typed, dir.file("2026010407.dat")}));
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
    std::string name;
    // Batch mode takes the latest file.
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_get_file("File: ", &name), 1);
    EXPECT_EQ(name, sat("2026010411_ir.ara"));
    EXPECT_STREQ(FILE_get_name(), name.c_str());
    // The "current" option; a missing file is 0 (the program ends with status 10).
    RES_put("current", "-3:00");
    EXPECT_EQ(FILE_get_file("File: ", &name), 1);
    RES_put("current", "-1:00");
    EXPECT_EQ(FILE_get_file("File: ", &name), 0);
    EXPECT_EQ(FILE_get_file_only("File: ", &name), 0);
    // Positional names come first; "list" lists and "exit" ends (the program with status 0).
    for (auto [first, want] :
         {std::pair{sat("2026010411_ir.ara"), 1}, {"list", FILE_QUIT}, {"exit", FILE_QUIT}}) {
        RES_new(-9999, "filename", first.c_str(), RES_LIST);
        EXPECT_EQ(FILE_get_file("File: ", &name), want) << first;
    }
    // A listed "exit" ends a sequence.
    RES_new(-9999, "filename",
            (sat("2026010411_ir.ara") + "\nexit\n" + sat("2026010411_ir.ara")).c_str(), RES_LIST);
    FILE_first(nullptr);
    EXPECT_EQ(walk().size(), 1u);
}

} // namespace
