// Helpers shared by every test program: sample-data lookup, scratch folders and
// running the xsat binary as a user would.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Path of a file under the shared sample-data folder, or "" when the folder is absent.
std::string shared_path(const std::string &rel);

// Skips the current test with a clear message when a shared sample file is missing.
#define XSAT_REQUIRE_SHARED(var, rel)                                                              \
    std::string var = ::testsupport::shared_path(rel);                                             \
    if (var.empty())                                                                               \
    GTEST_SKIP() << "shared sample data not found: ../shared/" << (rel)

// A fresh scratch folder, removed when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return dir_; }
    std::string file(const std::string &name) const { return (dir_ / name).string(); }
    // Writes text (or bytes) into a file of the folder and returns its path.
    std::string write(const std::string &name, const std::string &content) const;

  private:
    std::filesystem::path dir_;
};

// Captures what is written to a file descriptor (1 or 2) while alive.
class Capture {
  public:
    explicit Capture(int fd);
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;
    // Stops capturing and returns what was written.
    std::string text();

  private:
    void restore();
    int fd_;
    int saved_ = -1;
    TempDir dir_;
    std::string path_;
};

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string stdin_text;                 // fed to the program's standard input
    std::map<std::string, std::string> env; // added to (or replacing) the environment
    std::vector<std::string> unset_env;     // removed from the environment
    std::string cwd;                        // working folder ("" = unchanged)
    int timeout_s = 60;
};

// Runs a program with arguments; the environment starts from a clean copy of ours
// with every "zor*" variable removed so the user's settings never leak into tests.
RunResult run_program(const std::string &program, const std::vector<std::string> &args,
                      const RunOptions &opt = {});

// Runs the xsat binary built beside the tests.
RunResult run_xsat(const std::vector<std::string> &args, const RunOptions &opt = {});

std::string read_file(const std::string &path);

// True when a program is found on PATH.
bool have_program(const std::string &name);

} // namespace testsupport
