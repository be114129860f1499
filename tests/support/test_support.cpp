#include "support/test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace testsupport {

namespace fs = std::filesystem;

std::string shared_path(const std::string &rel) {
    std::vector<std::string> roots;
    if (const char *e = std::getenv("XSAT_SHARED"))
        roots.emplace_back(e);
#ifdef XSAT_SHARED_DIR
    roots.emplace_back(XSAT_SHARED_DIR);
#endif
#ifdef XSAT_SOURCE_DIR
    roots.emplace_back(std::string(XSAT_SOURCE_DIR) + "/../shared");
#endif
    for (const auto &r : roots) {
        fs::path p = fs::path(r) / rel;
        std::error_code ec;
        if (fs::exists(p, ec))
            return p.string();
    }
    return "";
}

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "xsat_test_XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string TempDir::write(const std::string &name, const std::string &content) const {
    fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << content;
    return p.string();
}

Capture::Capture(int fd) : fd_(fd) {
    std::fflush(nullptr);
    saved_ = dup(fd_);
    path_ = dir_.file("cap.txt");
    FILE *f = std::fopen(path_.c_str(), "w");
    if (f) {
        dup2(fileno(f), fd_);
        std::fclose(f);
    }
}

Capture::~Capture() {
    restore();
}

std::string Capture::text() {
    restore();
    return read_file(path_);
}

void Capture::restore() {
    if (saved_ < 0)
        return;
    std::fflush(nullptr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
}

std::string read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool have_program(const std::string &name) {
    std::string cmd = "command -v " + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

RunResult run_program(const std::string &program, const std::vector<std::string> &args,
                      const RunOptions &opt) {
    RunResult res;
    // Environment: ours without zor* variables, then the caller's changes.
    std::map<std::string, std::string> env;
    for (char **e = environ; *e; ++e) {
        std::string kv = *e;
        auto eq = kv.find('=');
        if (eq == std::string::npos)
            continue;
        std::string k = kv.substr(0, eq);
        if (k.rfind("zor", 0) == 0 || k.rfind("ZOR", 0) == 0)
            continue;
        env[k] = kv.substr(eq + 1);
    }
    for (const auto &k : opt.unset_env)
        env.erase(k);
    for (const auto &[k, v] : opt.env)
        env[k] = v;
    std::vector<std::string> envs;
    for (const auto &[k, v] : env)
        envs.push_back(k + "=" + v);

    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe))
        return res;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(err_pipe[0]);
        if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0)
            _exit(126);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (auto &s : envs)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        execvpe(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    // Feed stdin, then close it so readers see end of file.
    size_t off = 0;
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
    bool in_open = true;
    struct pollfd fds[3];
    bool out_open = true, err_open = true;
    time_t start = time(nullptr);
    while (out_open || err_open) {
        int n = 0;
        int idx_out = -1, idx_err = -1, idx_in = -1;
        if (out_open) {
            fds[n] = {out_pipe[0], POLLIN, 0};
            idx_out = n++;
        }
        if (err_open) {
            fds[n] = {err_pipe[0], POLLIN, 0};
            idx_err = n++;
        }
        if (in_open) {
            if (off >= opt.stdin_text.size()) {
                close(in_pipe[1]);
                in_open = false;
            } else {
                fds[n] = {in_pipe[1], POLLOUT, 0};
                idx_in = n++;
            }
        }
        if (poll(fds, n, 200) < 0 && errno != EINTR)
            break;
        char buf[4096];
        if (idx_out >= 0 && (fds[idx_out].revents & (POLLIN | POLLHUP))) {
            ssize_t r = read(out_pipe[0], buf, sizeof buf);
            if (r <= 0)
                out_open = false;
            else
                res.out.append(buf, static_cast<size_t>(r));
        }
        if (idx_err >= 0 && (fds[idx_err].revents & (POLLIN | POLLHUP))) {
            ssize_t r = read(err_pipe[0], buf, sizeof buf);
            if (r <= 0)
                err_open = false;
            else
                res.err.append(buf, static_cast<size_t>(r));
        }
        if (idx_in >= 0 && (fds[idx_in].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t w = write(in_pipe[1], opt.stdin_text.data() + off, opt.stdin_text.size() - off);
            if (w > 0)
                off += static_cast<size_t>(w);
            else {
                close(in_pipe[1]);
                in_open = false;
            }
        }
        if (time(nullptr) - start > opt.timeout_s) {
            kill(pid, SIGKILL);
            break;
        }
    }
    if (in_open)
        close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        res.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        res.status = 128 + WTERMSIG(status);
    return res;
}

RunResult run_xsat(const std::vector<std::string> &args, const RunOptions &opt) {
#ifdef XSAT_BINARY
    return run_program(XSAT_BINARY, args, opt);
#else
    return run_program("xsat", args, opt);
#endif
}

} // namespace testsupport
