// File I/O: the opener for typed and configured names, the opener and whole-file reader for
// names read from inside data files, joins along the file path, file tests and the
// existing-output-file policy.
#include "base/file_io.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "base/flag.h"
#include "base/resrc.h"
#include "support/test_support.h"

namespace {

class FileIo : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        FLAG_reset();
        const char *home = std::getenv("HOME");
        saved_home = home ? home : "";
        had_home = home != nullptr;
        setenv("HOME", dir.path().c_str(), 1);
    }
    void TearDown() override {
        if (had_home)
            setenv("HOME", saved_home.c_str(), 1);
        else
            unsetenv("HOME");
        RES_reset_state();
        FLAG_reset();
    }

    testsupport::TempDir dir;
    std::string saved_home;
    bool had_home = false;
};

TEST_F(FileIo, UserNamesOpenStandardStreamsPipesHomeAndNewFolders) {
    EXPECT_EQ(FILE_open("-", "w").get(), stdout);
    EXPECT_EQ(FILE_open("STDN", "r").get(), stdin);
    // Closing them left the standard streams open.
    EXPECT_NE(fcntl(fileno(stdout), F_GETFD), -1);
    EXPECT_NE(fcntl(fileno(stdin), F_GETFD), -1);
    {
        FilePtr p = FILE_open("|echo pipe-text", "r");
        ASSERT_TRUE(p);
        char buf[32] = {};
        ASSERT_NE(std::fgets(buf, sizeof buf, p.get()), nullptr);
        EXPECT_STREQ(buf, "pipe-text\n");
    }
    auto write_to = [](const std::string &name, const char *text) {
        FilePtr f = FILE_open(name.c_str(), "w");
        ASSERT_TRUE(f) << name;
        std::fputs(text, f.get());
    };
    std::string piped = dir.file("piped.txt");
    write_to("|cat > " + piped, "through cat\n");
    EXPECT_EQ(testsupport::read_file(piped), "through cat\n") << "pclose waits for cat";

    write_to("~/a/b/c/new.txt", "deep");
    EXPECT_EQ(testsupport::read_file(dir.file("a/b/c/new.txt")), "deep");
    EXPECT_EQ(FILE_size("~/a/b/c/new.txt"), 4);
    EXPECT_TRUE(FILE_open("~/x/y.txt", "a"));
    EXPECT_TRUE(FILE_is_file(dir.file("x/y.txt").c_str()));
    EXPECT_FALSE(FILE_open("~/r/s.txt", "r"));
    EXPECT_FALSE(FILE_is_dir(dir.file("r").c_str())) << "a read mode creates no folder";

    if (passwd *pw = getpwnam("root")) {
        EXPECT_EQ(FILE_expand_home("~root/etc"), std::string(pw->pw_dir) + "/etc");
    }
    EXPECT_EQ(FILE_expand_home("~no_such_user_xyz/f"), "~no_such_user_xyz/f");
}

TEST_F(FileIo, ANameThatIsAFileOpensThatFile) {
    // Names a shell glob hands over from a folder: files, not a command or a home folder.
    struct InFolder {
        std::filesystem::path back = std::filesystem::current_path();
        ~InFolder() { std::filesystem::current_path(back); }
    } in_folder;
    std::filesystem::current_path(dir.path());
    dir.write("|touch ran", "pipe-named");
    dir.write("~x", "tilde-named");
    for (const char *name : {"|touch ran", "~x"}) {
        FilePtr f = FILE_open(name, "r");
        ASSERT_TRUE(f) << name;
        char buf[32] = {};
        ASSERT_NE(std::fgets(buf, sizeof buf, f.get()), nullptr);
        EXPECT_EQ(std::string(buf), name[0] == '|' ? "pipe-named" : "tilde-named");
    }
    FILE_open("|touch ran", "w");
    EXPECT_EQ(testsupport::read_file(dir.file("|touch ran")), "") << "written as a file";
    EXPECT_FALSE(FILE_exist(dir.file("ran").c_str())) << "the command ran";
}

TEST_F(FileIo, DataNamesOpenOnlyBoundedRegularFiles) {
    const std::string good = dir.write("good", "12345");
    dir.write("x", "a file in the home folder");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string ran = dir.file("ran");
    const struct {
        std::string name;
        int64_t cap;
        bool opens;
        const char *what;
    } rows[] = {
        {good, 5, true, "a regular file at the cap"},
        {good, 4, false, "a file over the cap"},
        {"|touch " + ran, 100, false, "a command"},
        {"-", 100, false, "standard input"},
        {"~/x", 100, false, "a home folder"},
        {fifo, 100, false, "a FIFO (and the open must not wait for a writer)"},
        {"/dev/zero", 100, false, "a device"},
        {dir.path().string(), 1 << 20, false, "a folder"},
        {"", 100, false, "no name"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(static_cast<bool>(FILE_open_data(r.name.c_str(), r.cap)), r.opens) << r.what;
    EXPECT_FALSE(FILE_exist(ran.c_str())) << "the command ran";

    // The whole-file reader opens the same way and holds to its cap while reading: a
    // /proc file says it is empty but is not.
    EXPECT_EQ(FILE_read_whole(good, 5), "12345");
    EXPECT_EQ(FILE_read_whole(dir.write("empty", ""), 0), "");
    EXPECT_FALSE(FILE_read_whole(good, 4));
    EXPECT_FALSE(FILE_read_whole("/proc/self/status", 10));
    EXPECT_FALSE(FILE_read_whole("/dev/zero", 1 << 20));
    EXPECT_FALSE(FILE_read_whole(fifo, 100));
    EXPECT_FALSE(FILE_read_whole(dir.file("missing"), 100));
}

TEST_F(FileIo, JoinsAlongTheFilePath) {
    const std::pair<const char *, const char *> found[] = {
        {"zor.clr", "/fp/zor.clr"},
        {"|touch x", "/fp/|touch x"},
        {"/abs", "/abs"},
        {"./rel", "./rel"},
        {"~/h", "~/h"},
        {"-", "-"},
    };
    RES_put("file_path", "/fp");
    for (const auto &[name, want] : found)
        EXPECT_EQ(FILE_find_on_path(name), want) << name;
    RES_put("file_path", "");
    EXPECT_EQ(FILE_find_on_path("|touch x"), "|touch x") << "no file path: unchanged";

    // The plain join keeps commands too (a typed "|command" stays one).
    const std::pair<const char *, const char *> joined[] = {
        {"x", "/d/x"}, {"/abs", "/abs"}, {"./rel", "./rel"}, {"~/h", "~/h"},
        {"-", "-"},    {"std", "std"},   {"|cmd", "|cmd"},
    };
    for (const auto &[name, want] : joined) {
        std::string out;
        FILE_add_path("/d/", name, &out);
        EXPECT_EQ(out, want) << name;
    }
    EXPECT_EQ(FILE_add_path_delim("a"), "a/");
    EXPECT_EQ(FILE_add_path_delim("a/"), "a/");
    EXPECT_EQ(FILE_add_path_delim(""), "");
}

TEST_F(FileIo, FileTypesFoldersAndDeletion) {
    const std::pair<std::string, int> types[] = {
        {dir.write("img", "ZORIMG 1.0 rest"), 9},
        {dir.write("sfc", "ZORSFC"), 11},
        {dir.write("short", "ZOR"), -1},
        {dir.file("none"), -1},
    };
    for (const auto &[name, want] : types)
        EXPECT_EQ(FILE_type(name.c_str()), want) << name;
    // A name with a suffix after '-' falls back to the part before it.
    dir.write("grid", "ZORGRID v2");
    EXPECT_EQ(FILE_type((dir.file("grid") + "-500mb").c_str()), 6);

    EXPECT_EQ(FILE_make_dir("~/m/n/o/"), 1);
    EXPECT_TRUE(FILE_is_dir(dir.file("m/n/o").c_str()));
    std::string f = dir.write("del", "x");
    EXPECT_EQ(FILE_delete(f.c_str()), 1);
    EXPECT_FALSE(FILE_exist(f.c_str()));
    EXPECT_TRUE(FILE_is_device("/dev/null"));
}

TEST_F(FileIo, OverwritePolicyAndPromptAnswers) {
    std::string existing = dir.write("out.gif", "x");
    EXPECT_EQ(FILE_overwrite(dir.file("new.gif").c_str(), 1), 1);
    EXPECT_EQ(FILE_overwrite("-", 1), 1);
    FLAG_set(FLAG_FILE_PARAM, 2);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 2), 2);
    FLAG_set(FLAG_FILE_PARAM, -9999);
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 1), 3);
    EXPECT_EQ(FILE_overwrite(existing.c_str(), 7), 0);

    // Answers read from standard input, pointed at a file: 'o' overwrites, 'A' appends,
    // and where no append is offered, other answers use the file.
    FLAG_reset();
    std::fflush(stdin);
    int saved = dup(0), fd = open(dir.write("answers", "o\nA\nA\nnope\n").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    dup2(fd, 0);
    close(fd);
    clearerr(stdin);
    testsupport::Capture prompts(1);
    for (auto [mode, want] : {std::pair{1, 1}, {2, 2}, {1, 3}, {2, 3}})
        EXPECT_EQ(FILE_overwrite(existing.c_str(), mode), want) << mode;
    EXPECT_NE(prompts.text().find("(Y,N,Use,Over,App)"), std::string::npos) << "mode 2 offers App";
    dup2(saved, 0);
    close(saved);
    clearerr(stdin);
}

} // namespace
