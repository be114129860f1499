// Resources: precedence of resource files, environment and command line,
// option matching, start-up conversions, the help listing and the prompts.
#include "base/resrc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/def_read.h"
#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/system.h"
#include "support/test_support.h"

namespace {

const int kKeyed[] = {
    RES_HELP,        RES_BATCH,      RES_MESSAGE,     RES_FILE_PATH,  RES_DATA_PATH,
    RES_CON_PATH,    RES_GRID_PATH,  RES_RAW_PATH,    RES_IMAGE_PATH, RES_WATCH_PATH,
    RES_TEXT_PATH,   RES_MODEL_PATH, RES_SAT_PATH,    RES_CITY_FILE,  RES_MAP_FILE,
    RES_INPUT,       RES_OUTPUT,     RES_NAME_CONV,   RES_IN_FILE,    RES_OUT_FILE,
    RES_FILE_PARAM,  RES_CURRENT,    RES_HOUR,        RES_NUM_HOUR,   RES_PLOT_DOMAIN,
    RES_GRID_DOMAIN, RES_REGION,     RES_STAT_PRIOR,  RES_PLOT_TYPE,  RES_PLOT_SCALE,
    RES_PLOT_FORMAT, RES_PLOT_PARAM, RES_DRAW,        RES_LABEL,      RES_CON_INTERVAL,
    RES_CON_BASE,    RES_FONT_LIST,  RES_COLOR_TABLE, RES_COLOR_TEXT, RES_COLOR_DATA,
    RES_COLOR_MAP,   RES_COLOR_GRID, RES_COLOR_LINE,  RES_COLOR_FILL, RES_DEVICE,
    RES_TITLE,       RES_ICON,       RES_BACKGROUND,  RES_GEOMETRY,   RES_END};
const int kPositional[] = {RES_FILENAME, RES_END};

// Every environment variable a test might set, cleared around each test.
const char *const kEnv[] = {
    "zordefault",        "zordomain", "zorplot_domain", "zorxsat.plot_domain",
    "zortitle",          "zorlabel",  "zorclrmap",      "zorcolor_map",
    "zorxsat.color_map", "zortz",     "zormess",        "zorbatch"};

using testsupport::Capture;

struct ExitCalled : std::runtime_error {
    int status;
    explicit ExitCalled(int s) : std::runtime_error("exit"), status(s) {}
};
void throw_exit(int status) {
    throw ExitCalled(status);
}

class ResrcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *e : kEnv)
            unsetenv(e);
        // Keep the user's own resource files out: an empty scratch folder as defaults list.
        setenv("zordefault", empty.path().c_str(), 1);
        RES_reset_state();
        DEF_reset_state();
        MESS_reset_state();
        FLAG_reset();
        FLAG_resetplot(1);
    }
    void TearDown() override {
        for (const char *e : kEnv)
            unsetenv(e);
        RES_reset_state();
        DEF_reset_state();
        MESS_reset_state();
        FLAG_reset();
        FLAG_resetplot(1);
        ZOR_set_exit_handler(nullptr);
    }
    // Runs RES_init over "xsat" plus the arguments.
    void init(std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xsat");
        storage_ = std::move(args);
        argv_.clear();
        for (auto &a : storage_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(storage_.size()), argv_.data(), kKeyed, kPositional);
    }
    std::string get(const char *name) {
        const char *v = RES_get(name);
        return v ? v : "<absent>";
    }
    testsupport::TempDir empty;
    std::vector<std::string> storage_;
    std::vector<char *> argv_;
};

TEST_F(ResrcTest, FileThenEnvironmentThenCommandLine) {
    testsupport::TempDir dir;
    dir.write(".zordef", "*plot_domain us\n"
                         "xsat.title \"from file\"\n"
                         "*.label file_label\n"
                         "xgrid.background red\n"
                         "*extra free_value\n");
    setenv("zordefault", dir.path().c_str(), 1);
    init({});
    EXPECT_EQ(get("plot_domain"), "us");
    EXPECT_EQ(get("title"), "from file");
    EXPECT_EQ(get("label"), "file_label");
    EXPECT_EQ(get("background"), "<absent>"); // another program's resource
    EXPECT_EQ(get("extra"), "free_value");    // free resource under its last component

    setenv("zordomain", "ne", 1);
    setenv("zortitle", "env title", 1);
    init({});
    EXPECT_EQ(get("plot_domain"), "ne");
    EXPECT_EQ(get("title"), "env title");
    EXPECT_EQ(get("label"), "file_label");

    init({"-pd", "at", "-df", dir.path().string()});
    EXPECT_EQ(get("plot_domain"), "at");
    EXPECT_EQ(get("title"), "env title");
}

TEST_F(ResrcTest, EnvironmentSpellingOrder) {
    setenv("zorcolor_map", "generic", 1);
    init({});
    EXPECT_EQ(get("color_map"), "generic");
    setenv("zorclrmap", "own", 1);
    init({});
    EXPECT_EQ(get("color_map"), "own");
    setenv("zorxsat.color_map", "program", 1);
    init({});
    EXPECT_EQ(get("color_map"), "program");
}

TEST_F(ResrcTest, DefaultsListTagsAndWorkingFolderFile) {
    testsupport::TempDir dir;
    std::string file = dir.write("my.res", "IF hires\n*plot_scale 2\nELSE\n*plot_scale 1\nEND\n");
    init({"-df", "+hires:" + file});
    EXPECT_EQ(get("plot_scale"), "2");
    init({"--default=" + file});
    EXPECT_EQ(get("plot_scale"), "1");
    EXPECT_EQ(get("default"), file);

    // An empty entry is ".zordef" of the working folder.
    dir.write(".zordef", "*label here\n");
    std::string old = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    init({"-df", file + "::"});
    EXPECT_EQ(get("label"), "<absent>"); // trailing separators give no entry
    init({"-df", ":" + file});
    EXPECT_EQ(get("label"), "here");
    ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST_F(ResrcTest, ProgramTitleSelectsResources) {
    testsupport::TempDir dir;
    dir.write(".zordef", "east.label east_label\nxsat.title plain\n");
    setenv("zordefault", dir.path().c_str(), 1);
    init({"-na", "east", "pic.dat"});
    EXPECT_EQ(get("label"), "east_label");
    EXPECT_EQ(get("title"), "<absent>");
    EXPECT_EQ(get("name"), "east");
    EXPECT_EQ(get("filename"), "pic.dat"); // the title was not taken as a file
}

TEST_F(ResrcTest, OptionMatching) {
    init({"-PD", "us"});
    EXPECT_EQ(get("plot_domain"), "us");
    init({"-plot_d", "ne"});
    EXPECT_EQ(get("plot_domain"), "ne");
    init({"--PLOT_DOMAIN=se"});
    EXPECT_EQ(get("plot_domain"), "se");
    init({"-co", "x"}); // prefix: first resource name in table order
    EXPECT_EQ(get("con_path"), "x");
    init({"-la=a b", "-ti", "a b"});
    EXPECT_EQ(get("label"), "a b");
    EXPECT_EQ(get("title"), "a b");
    init({"-sc", "-5", "-in", "--", "-cb", "-x"});
    EXPECT_EQ(get("plot_scale"), "-5"); // '5' is not a letter: a value
    EXPECT_EQ(get("con_interval"), ""); // "--" is not a value
    EXPECT_EQ(get("con_base"), "");     // "-x" is an option
    EXPECT_EQ(get("x"), "");            // unknown option: free resource as typed
    init({"-zoom", "3"});
    EXPECT_EQ(get("zoom"), "3");
}

TEST_F(ResrcTest, FlagOptionsDoNotTakeTheNextArgument) {
    init({"-ba", "one.dat", "-ic", "two.dat", "-h", "three.dat"});
    EXPECT_TRUE(FLAG_batch());
    EXPECT_TRUE(FLAG_help());
    EXPECT_EQ(get("batch"), "");
    EXPECT_EQ(get("icon"), "");
    int n = 0;
    std::vector<std::string> files;
    EXPECT_EQ(RES_getvals("filename", &n, &files), 3);
    EXPECT_EQ(files, (std::vector<std::string>{"one.dat", "two.dat", "three.dat"}));
    int icon = 0;
    EXPECT_EQ(RES_getval("icon", &icon, RES_BOOL), 1);
    EXPECT_EQ(icon, 1);
    init({"-ic=no"});
    RES_getval("icon", &icon, RES_BOOL);
    EXPECT_EQ(icon, 0);
}

TEST_F(ResrcTest, BatchSetsMessageLevelUnlessGiven) {
    init({});
    EXPECT_FALSE(FLAG_batch());
    EXPECT_EQ(MESS_get(), 0x000FFFFFu);
    init({"-ba"});
    EXPECT_EQ(FLAG_get(FLAG_BATCH), 1);
    EXPECT_EQ(MESS_get(), 0xFFu);
    MESS_reset_state();
    init({"-me", "mess", "-ba"});
    EXPECT_EQ(MESS_get(), 0xFFFu);
}

TEST_F(ResrcTest, SideEffectOptions) {
    init({"-pl", "CF", "-pf", "app", "-de", "p,out.ps"});
    EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), 15);
    EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), 2);
    EXPECT_EQ(FLAG_get(FLAG_DEVICE), 4);
    std::string devname;
    EXPECT_EQ(RES_getval("device", &devname, RES_DEVICE_KIND), 1);
    EXPECT_EQ(devname, "out.ps");
    init({"-pl", "bogus", "-pf", "sideways"});
    EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), -9999);
    EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), -9999);
    EXPECT_EQ(RES_set_device("Q"), 5);
    EXPECT_EQ(RES_set_device("h"), 5);
    EXPECT_EQ(RES_set_device("meta"), 3);
    EXPECT_EQ(RES_set_device("w"), 6);
    EXPECT_EQ(RES_set_device("x11"), 1);
    EXPECT_EQ(RES_set_device("12"), 1);
}

TEST_F(ResrcTest, DrawLists) {
    // "-map" in the next argument would be an option of its own: the value goes after '='.
    init({"-dr=-map"});
    for (int i = 1; i <= 11; ++i)
        EXPECT_EQ(FLAG_getplot(i), i == 8 ? 0 : 1) << "slot " << i;
    FLAG_resetplot(1);
    init({"-dr", "data"});
    for (int i = 1; i <= 11; ++i)
        EXPECT_EQ(FLAG_getplot(i), i == 7 ? 1 : 0) << "slot " << i;
    EXPECT_EQ(FLAG_getplot(12), 1);
    FLAG_resetplot(1);
    init({"-dr", "text,-text_ul,+map"});
    EXPECT_EQ(FLAG_getplot(0), 5);
    EXPECT_EQ(FLAG_getplot(1), 0);
    EXPECT_EQ(FLAG_getplot(11), 1);
    EXPECT_EQ(FLAG_getplot(8), 1);
    EXPECT_EQ(FLAG_getplot(7), 0);
    FLAG_resetplot(1);
    init({"-dr", "+none,+grid"});
    EXPECT_EQ(FLAG_getplot(12), 1);
    EXPECT_EQ(FLAG_getplot(9), 1);
}

TEST_F(ResrcTest, HourSpecifications) {
    struct Case {
        const char *text;
        int year, month, day, hour, minute;
    };
    const int M = -9999;
    const Case cases[] = {
        {"#202306151230", 2023, 6, 15, 12, 30},
        {"#2023061512", 2023, 6, 15, 12, M},
        {"#2023", 2023, M, M, M, M},
        {"#2023x6", 2023, M, M, M, M},
        {"061512", M, 6, 15, 12, M},
        {"1512", M, M, 15, 12, M},
        {"512", M, M, 5, 12, M},
        {"2d12:30", M, M, 2, 12, 30},
        {":30", M, M, M, M, 30},
        {"-:30", M, M, M, M, -30},
        {"12", M, M, M, 12, M},
        {"-6", M, M, M, -6, M},
        {"12:45", M, M, M, 12, 45},
        {"-0:30", M, M, M, M, -30},
        {"junk", M, M, M, M, M},
    };
    for (const auto &c : cases) {
        FILE_TIME t;
        t.year = 1; // the parser starts from an empty record
        ASSERT_EQ(RES_parse_hour(c.text, &t), 1);
        EXPECT_EQ(t.year, c.year) << c.text;
        EXPECT_EQ(t.month, c.month) << c.text;
        EXPECT_EQ(t.day, c.day) << c.text;
        EXPECT_EQ(t.hour, c.hour) << c.text;
        EXPECT_EQ(t.minute, c.minute) << c.text;
    }
}

TEST_F(ResrcTest, NumberConversions) {
    int i = 7;
    EXPECT_EQ(RES_conv_data("abc", &i, RES_INT), 1);
    EXPECT_EQ(i, 7);
    RES_conv_data("0x1F", &i, RES_INT);
    EXPECT_EQ(i, 31);
    RES_conv_data("-12", &i, RES_INT);
    EXPECT_EQ(i, -12);
    RES_conv_data("99999999999", &i, RES_INT);
    EXPECT_EQ(i, -12);
    RES_conv_data("-4", &i, RES_INT_DEC); // decimal kinds want a leading digit
    EXPECT_EQ(i, -12);
    RES_conv_data("-4", &i, RES_INT32);
    EXPECT_EQ(i, -4);
    RES_conv_data("x", &i, RES_INT32);
    EXPECT_EQ(i, -4);
    int16_t s = 3;
    RES_conv_data("70000", &s, RES_SHORT);
    EXPECT_EQ(s, 3);
    RES_conv_data("123", &s, RES_SHORT);
    EXPECT_EQ(s, 123);
    float f = 1.5f;
    RES_conv_data("fast", &f, RES_FLOAT);
    EXPECT_EQ(f, 1.5f);
    RES_conv_data("2.25", &f, RES_FLOAT);
    EXPECT_EQ(f, 2.25f);
    int b = 5;
    RES_conv_data("maybe", &b, RES_BOOL);
    EXPECT_EQ(b, 5);
    RES_conv_data("Off", &b, RES_BOOL);
    EXPECT_EQ(b, 0);
    std::string path = "keep";
    RES_conv_data("none", &path, RES_PATH);
    EXPECT_EQ(path, "");
    // Conversions that need a destination do nothing without one.
    EXPECT_EQ(RES_conv_data("3", nullptr, RES_INT), 1);
}

TEST_F(ResrcTest, ResourceList) {
    EXPECT_EQ(RES_get("x"), nullptr);
    EXPECT_EQ(RES_getval("x", nullptr, RES_INT), 0);
    RES_put("x", nullptr);
    EXPECT_STREQ(RES_get("x"), "");
    RES_put("x", "a,b,,c,,");
    int n = 0;
    std::vector<std::string> list;
    EXPECT_EQ(RES_getvals("x", &n, &list), 4);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(RES_getvals("X", &n, &list), 0); // names are case-sensitive
    RES_append(3, "y", "one", RES_LIST);
    RES_append(3, "y", "two,three", RES_LIST);
    EXPECT_STREQ(RES_get("y"), "one\ntwo,three");
    EXPECT_EQ(RES_getvals("y", &n, &list), 2);
    RES_new(3, "y", "new", RES_LIST);
    EXPECT_STREQ(RES_get("y"), "new");
    Capture out(1);
    RES_list();
    EXPECT_EQ(out.text(), "x: a,b,,c,,\ny: new\n");
}

TEST_F(ResrcTest, ProgramName) {
    init({});
    EXPECT_STREQ(RES_get_prog(), "/usr/bin/xsat");
    EXPECT_EQ(RES_get_progname(), "xsat");
}

TEST_F(ResrcTest, UnknownCodeGivesEmptyDescriptor) {
    RES_OPTION d;
    d.name = "stale";
    Capture out(1);
    EXPECT_EQ(RES_enter(&d, 999), 0);
    EXPECT_EQ(out.text(), "999\n");
    EXPECT_TRUE(d.name.empty());
}

TEST_F(ResrcTest, HelpListing) {
    Capture out(1);
    RES_help_print("xsat", kKeyed, kPositional);
    std::string text = out.text();
    const std::string head = "xsat syntax (version:1.0.0-LINUX-X11)\n"
                             "   xsat [options...]\n"
                             "Keyed options...\n"
                             " -df file    Resource/defaults file name\n"
                             " -na name    Program name\n"
                             " -h          Print this help\n"
                             " -ba         Run program in batch mode\n"
                             " -me level   Message level to be displayed:\n"
                             "             none,print,error,warn,mess,out1,*out2,out3,out4,debug\n"
                             " -fp path    File path\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const char *lines[] = {
        " -nh hour[,step]  Number of hours to view\n",
        " -pd region or [proj],clat,clon[,nx,ny][,dx,dy]  \n"
        "             Output plot domain\n"
        "               region=predefined region:\n"
        "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
        "               proj=projection, clat=central latitude, clon=central longitude,\n"
        "               nx,ny=number of gridpoints and dx,dy=grid spacing\n"
        " -gd region or [proj],clat,clon[,nx,ny][,dx,dy]  \n"
        "             Grid domain\n",
        "               us,ne,at,se,mw,sp,nw,sw,var\n -pr prior   Priority of stations",
        " -cogr clr   grid color\n",
        " -ge wxh+x+y  Window geometry\n"
        "Positional options...\n"
        " file [file...]  Input file names\n",
    };
    for (const char *l : lines)
        EXPECT_NE(text.find(l), std::string::npos) << l;
    const std::string tail = " -ge wxh+x+y  Window geometry\n"
                             "Positional options...\n"
                             " file [file...]  Input file names\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(ResrcTest, PromptsAndSetCommand) {
    testsupport::TempDir dir;
    std::string in = dir.write("answers", "set zoom=4\n"
                                          "set  plot_scale  2\n"
                                          "\n"
                                          "   hello world   \n"
                                          "abc\n"
                                          "-42\n"
                                          "x\n"
                                          "2.5\n" +
                                              std::string(100, 'y') + "\n" + "set\n" + "exit\n");
    ZOR_set_exit_handler(throw_exit);
    ASSERT_NE(std::freopen(in.c_str(), "r", stdin), nullptr);
    Capture out(1);
    std::string buf;
    EXPECT_EQ(ZOR_prompts("Name: ", buf, 9), 1);
    EXPECT_EQ(buf, "hello wo"); // width 9 keeps 8 characters
    EXPECT_STREQ(RES_get("zoom"), "4");
    EXPECT_STREQ(RES_get("plot_scale"), "2");
    int d = 0;
    EXPECT_EQ(ZOR_promptd("Number: ", &d), 1);
    EXPECT_EQ(d, -42);
    float f = 0;
    EXPECT_EQ(ZOR_promptf("Float: ", &f), 1);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(ZOR_prompts("Long: ", buf, 200), 1);
    EXPECT_EQ(buf, std::string(80, 'y'));
    try {
        ZOR_promptl("Again: ", buf);
        ADD_FAILURE() << "exit expected";
    } catch (const ExitCalled &e) {
        EXPECT_EQ(e.status, 0);
    }
    try {
        ZOR_promptl("End: ", buf); // end of input ends the program too
        ADD_FAILURE() << "exit expected";
    } catch (const ExitCalled &e) {
        EXPECT_EQ(e.status, 0);
    }
    std::string text = out.text();
    EXPECT_NE(text.find("Name: Name: Name: "), std::string::npos);
    EXPECT_NE(text.find("Set resources\nzoom: 4\nplot_scale: 2\n\n"), std::string::npos);
    EXPECT_FALSE(ZOR_set_command("settings"));
    EXPECT_FALSE(ZOR_set_command("hello"));
}

} // namespace
