// Resources: precedence of resource files, environment and command line,
// option matching, start-up conversions, the help listing and the prompts.
#include "base/resrc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/def_read.h"
#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/system.h"
#include "sat/sat_tool.h"
#include "support/test_support.h"

namespace {

// The option list of the program itself.
const int *const kKeyed = SAT_keyed_options();
const int *const kPositional = SAT_positional_options();

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
        reset();
        // Keep the user's own resource files out: an empty scratch folder as defaults list.
        setenv("zordefault", empty.path().c_str(), 1);
    }
    void TearDown() override {
        reset();
        ZOR_set_exit_handler(nullptr);
    }
    static void reset() {
        for (const char *e : kEnv)
            unsetenv(e);
        RES_reset_state();
        DEF_reset_state();
        MESS_reset_state();
        FLAG_reset();
        FLAG_resetplot(1);
    }
    // Runs RES_init over "xsat" plus the arguments; returns get(names).
    std::string init(std::vector<std::string> args, const std::string &names = "") {
        args.insert(args.begin(), "/usr/bin/xsat");
        storage_ = std::move(args);
        argv_.clear();
        for (auto &a : storage_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(storage_.size()), argv_.data(), kKeyed, kPositional);
        return get(names);
    }
    // Values of space-separated resource names, joined by '|'.
    static std::string get(const std::string &names) {
        std::string out, name, sep;
        for (std::istringstream in(names); in >> name; sep = "|") {
            const char *v = RES_get(name.c_str());
            out += sep + (v ? v : "<absent>");
        }
        return out;
    }
    testsupport::TempDir empty;
    std::vector<std::string> storage_;
    std::vector<char *> argv_;
};

TEST_F(ResrcTest, FileThenEnvironmentThenCommandLine) {
    testsupport::TempDir dir;
    dir.write(".zordef", "*plot_domain us\nxsat.title \"from file\"\n*.label file_label\n"
                         "xgrid.background red\n*extra free_value\n");
    setenv("zordefault", dir.path().c_str(), 1);
    // "background" belongs to another program; a free resource goes under its last component.
    EXPECT_EQ(init({}, "plot_domain title label background extra"),
              "us|from file|file_label|<absent>|free_value");
    EXPECT_STREQ(RES_get_prog(), "/usr/bin/xsat");
    EXPECT_EQ(RES_get_progname(), "xsat");

    setenv("zordomain", "ne", 1);
    setenv("zortitle", "env title", 1);
    EXPECT_EQ(init({}, "plot_domain title label"), "ne|env title|file_label");
    EXPECT_EQ(init({"-pd", "at", "-df", dir.path().string()}, "plot_domain title"), "at|env title");
}

TEST_F(ResrcTest, EnvironmentSpellingOrder) {
    setenv("zorcolor_map", "generic", 1);
    EXPECT_EQ(init({}, "color_map"), "generic");
    setenv("zorclrmap", "own", 1);
    EXPECT_EQ(init({}, "color_map"), "own");
    setenv("zorxsat.color_map", "program", 1);
    EXPECT_EQ(init({}, "color_map"), "program");
}

TEST_F(ResrcTest, DefaultsListTagsAndWorkingFolderFile) {
    testsupport::TempDir dir;
    std::string file = dir.write("my.res", "IF hires\n*plot_scale 2\nELSE\n*plot_scale 1\nEND\n");
    EXPECT_EQ(init({"-df", "+hires:" + file}, "plot_scale"), "2");
    EXPECT_EQ(init({"--default=" + file}, "plot_scale"), "1");
    EXPECT_EQ(get("default"), file);

    // An empty entry is ".zordef" of the working folder.
    dir.write(".zordef", "*label here\n");
    std::string old = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(init({"-df", file + "::"}, "label"), "<absent>"); // trailing ':' give no entry
    EXPECT_EQ(init({"-df", ":" + file}, "label"), "here");
    ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST_F(ResrcTest, ProgramTitleSelectsResources) {
    testsupport::TempDir dir;
    dir.write(".zordef", "east.label east_label\nxsat.title plain\n");
    setenv("zordefault", dir.path().c_str(), 1);
    EXPECT_EQ(init({"-na", "east", "pic.dat"}, "label title name filename"),
              "east_label|<absent>|east|pic.dat"); // the title is not taken as a file
}

TEST_F(ResrcTest, OptionMatching) {
    EXPECT_EQ(init({"-PD", "us"}, "plot_domain"), "us");
    EXPECT_EQ(init({"-plot_d", "ne"}, "plot_domain"), "ne");
    EXPECT_EQ(init({"--PLOT_DOMAIN=se"}, "plot_domain"), "se");
    EXPECT_EQ(init({"-co", "x"}, "con_path"), "x"); // prefix: first resource name in table order
    EXPECT_EQ(init({"-la=a b", "-ti", "a b"}, "label title"), "a b|a b");
    // '5' is not a letter: a value; "--" is not a value; "-x" is an unknown option: a free
    // resource as typed.
    EXPECT_EQ(init({"-sc", "-5", "-in", "--", "-cb", "-x"}, "plot_scale con_interval con_base x"),
              "-5|||");
    EXPECT_EQ(init({"-zoom", "3"}, "zoom"), "3");
}

TEST_F(ResrcTest, FlagOptionsDoNotTakeTheNextArgument) {
    init({"-ba", "one.dat", "-ic", "two.dat", "-h", "three.dat"});
    EXPECT_TRUE(FLAG_batch());
    EXPECT_TRUE(FLAG_help());
    EXPECT_EQ(get("batch icon"), "|");
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
    for (auto [name, code] :
         {std::pair{"Q", 5}, {"h", 5}, {"meta", 3}, {"w", 6}, {"x11", 1}, {"12", 1}})
        EXPECT_EQ(RES_set_device(name), code) << name;
}

// Draw-plot slots first..last as digits.
std::string slots(int first, int last) {
    std::string s;
    for (int i = first; i <= last; ++i)
        s += std::to_string(FLAG_getplot(i));
    return s;
}

TEST_F(ResrcTest, DrawLists) {
    // "-map" in the next argument would be an option of its own: the value goes after '='.
    init({"-dr=-map"});
    EXPECT_EQ(slots(1, 11), "11111110111");
    FLAG_resetplot(1);
    init({"-dr", "data"});
    EXPECT_EQ(slots(1, 12), "000000100001");
    FLAG_resetplot(1);
    init({"-dr", "text,-text_ul,+map"});
    EXPECT_EQ(slots(0, 1), "50");
    EXPECT_EQ(slots(7, 8), "01");
    EXPECT_EQ(slots(11, 11), "1");
    FLAG_resetplot(1);
    init({"-dr", "+none,+grid"});
    EXPECT_EQ(slots(9, 9) + slots(12, 12), "11");
}

TEST_F(ResrcTest, HourSpecifications) {
    const int M = -9999;
    const struct {
        const char *text;
        std::array<int, 5> want; // year month day hour minute
    } cases[] = {
        {"#202306151230", {2023, 6, 15, 12, 30}},
        {"#2023061512", {2023, 6, 15, 12, M}},
        {"#2023", {2023, M, M, M, M}},
        {"#2023x6", {2023, M, M, M, M}},
        {"061512", {M, 6, 15, 12, M}},
        {"1512", {M, M, 15, 12, M}},
        {"512", {M, M, 5, 12, M}},
        {"2d12:30", {M, M, 2, 12, 30}},
        {":30", {M, M, M, M, 30}},
        {"-:30", {M, M, M, M, -30}},
        {"12", {M, M, M, 12, M}},
        {"-6", {M, M, M, -6, M}},
        {"12:45", {M, M, M, 12, 45}},
        {"-0:30", {M, M, M, M, -30}},
        {"junk", {M, M, M, M, M}},
    };
    for (const auto &c : cases) {
        FILE_TIME t;
        t.year = 1; // the parser starts from an empty record
        ASSERT_EQ(RES_parse_hour(c.text, &t), 1);
        EXPECT_EQ((std::array{t.year, t.month, t.day, t.hour, t.minute}), c.want) << c.text;
    }
}

// The value left after converting text into a variable holding start.
template <class T> T conv(T start, const char *text, int kind) {
    RES_conv_data(text, &start, kind);
    return start;
}

// Bad or out-of-range text changes nothing.
TEST_F(ResrcTest, NumberConversions) {
    EXPECT_EQ(conv(7, "abc", RES_INT), 7);
    EXPECT_EQ(conv(7, "0x1F", RES_INT), 31);
    EXPECT_EQ(conv(7, "-12", RES_INT), -12);
    EXPECT_EQ(conv(7, "99999999999", RES_INT), 7);
    EXPECT_EQ(conv(7, "-4", RES_INT_DEC), 7); // decimal kinds want a leading digit
    EXPECT_EQ(conv(7, "-4", RES_INT32), -4);
    EXPECT_EQ(conv(7, "x", RES_INT32), 7);
    EXPECT_EQ(conv<int16_t>(3, "70000", RES_SHORT), 3);
    EXPECT_EQ(conv<int16_t>(3, "123", RES_SHORT), 123);
    EXPECT_EQ(conv(1.5f, "fast", RES_FLOAT), 1.5f);
    EXPECT_EQ(conv(1.5f, "2.25", RES_FLOAT), 2.25f);
    EXPECT_EQ(conv(5, "maybe", RES_BOOL), 5);
    EXPECT_EQ(conv(5, "Off", RES_BOOL), 0);
    EXPECT_EQ(conv(std::string("keep"), "none", RES_PATH), "");
    EXPECT_EQ(RES_conv_data("3", nullptr, RES_INT), 1); // no destination: nothing done
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
    RES_OPTION d; // an unknown option code gives an empty descriptor
    d.name = "stale";
    Capture out(1);
    RES_list();
    EXPECT_EQ(RES_enter(&d, 999), 0);
    EXPECT_EQ(out.text(), "x: a,b,,c,,\ny: new\n999\n");
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
    std::string in = dir.write("answers", "set zoom=4\nset  plot_scale  2\n\n   hello world   \n"
                                          "abc\n-42\nx\n2.5\n" +
                                              std::string(100, 'y') + "\nset\nexit\n");
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
    auto exit_status = [&](const char *prompt) {
        try {
            ZOR_promptl(prompt, buf);
        } catch (const ExitCalled &e) {
            return e.status;
        }
        return -1;
    };
    EXPECT_EQ(exit_status("Again: "), 0);
    EXPECT_EQ(exit_status("End: "), 0); // end of input ends the program too
    std::string text = out.text();
    EXPECT_NE(text.find("Name: Name: Name: "), std::string::npos);
    EXPECT_NE(text.find("Set resources\nzoom: 4\nplot_scale: 2\n\n"), std::string::npos);
    EXPECT_FALSE(ZOR_set_command("settings"));
    EXPECT_FALSE(ZOR_set_command("hello"));
}

} // namespace
