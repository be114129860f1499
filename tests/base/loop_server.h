// A stand-in for the loop window in the link tests: from a thread it serves one client
// over a real System V message queue or a real TCP socket on 127.0.0.1, assigns channel
// 5, answers "query res" from a table ("!" for names it lacks), acknowledges "set res"
// and records every request. Its queue is removed when it goes away, pass or fail.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class LoopServer {
  public:
    enum class Mode {
        normal,
        silent,        // records requests, never answers
        other_channel, // answers values on the message type of another channel
        oversized,     // value replies longer than the message text area, without NUL
        unterminated,  // value replies without their NUL
        truncated,     // socket: a record shorter than its length byte, then hang-up
    };
    struct Options {
        bool socket = false;
        std::map<std::string, std::string> table;
        Mode mode = Mode::normal;
        int hang_up_after = -1; // requests answered before the server vanishes (-1 never)
    };
    static constexpr int kWindow = 7;
    static constexpr char kCode = '5'; // code character of channel 5

    explicit LoopServer(Options opt) : opt_(std::move(opt)) {
        if (opt_.socket) {
            listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof a;
            auto *sa = reinterpret_cast<sockaddr *>(&a);
            if (listen_ < 0 || bind(listen_, sa, len) != 0 || listen(listen_, 1) != 0 ||
                getsockname(listen_, sa, &len) != 0)
                throw std::runtime_error("loop server: no listening socket");
            base_ = ntohs(a.sin_port) - kWindow;
        } else {
            // A key of our own: pid-derived, stepping on when another program holds it.
            for (int k = 0; k < 1000 && queue_ < 0; ++k) {
                base_ = 0x5a000000 + ((getpid() & 0xfff) << 12) + k * 16;
                queue_ = msgget(base_ + kWindow, IPC_CREAT | IPC_EXCL | 0600);
            }
            if (queue_ < 0)
                throw std::runtime_error("loop server: no message queue");
        }
        // The client's alarm must land on the test's thread, never on the server's.
        sigset_t block, old;
        sigemptyset(&block);
        sigaddset(&block, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &block, &old);
        thread_ = std::thread([this] { opt_.socket ? serve_socket() : serve_queue(); });
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    ~LoopServer() {
        finish();
        if (queue_ >= 0)
            msgctl(queue_, IPC_RMID, nullptr);
        if (listen_ >= 0)
            close(listen_);
    }
    LoopServer(const LoopServer &) = delete;
    LoopServer &operator=(const LoopServer &) = delete;

    // Defaults-list entry reaching this server, with extra parameters (",to=0.3").
    std::string entry(const std::string &extra = "") const {
        return "#7" + std::string(opt_.socket ? ",qtype=sock" : ",qtype=mqueue") +
               ",base=" + std::to_string(base_) + extra;
    }
    // Stops after serving what was already sent; each request as code character + text.
    std::vector<std::string> finish() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

  private:
    // The reply to one request (code character + text [+ NUL]); empty for none.
    std::string answer(const std::string &request, long &type) {
        if (request.empty())
            return {};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        std::string text = request.substr(1);
        type = kCode - '0';
        if (opt_.mode == Mode::silent || text == "quit")
            return {};
        if (request[0] == '/') {
            type = 2;
            return std::string("25") + '\0';
        }
        if (text.rfind("query res ", 0) != 0)
            return kCode + std::string("ok") + '\0'; // acknowledges a "set res"
        auto it = opt_.table.find(text.substr(10));
        if (it == opt_.table.end())
            return kCode + std::string("!") + '\0';
        if (opt_.mode == Mode::other_channel)
            type += 1;
        if (opt_.mode == Mode::oversized)
            return kCode + std::string(300, 'x');
        return kCode + it->second + (opt_.mode == Mode::unterminated ? "" : std::string(1, '\0'));
    }
    bool hung_up() const { return opt_.hang_up_after >= 0 && answered_ >= opt_.hang_up_after; }

    void serve_queue() {
        struct {
            long type;
            char text[512];
        } m{};
        while (!hung_up()) {
            ssize_t n = msgrcv(queue_, &m, sizeof m.text - 1, 1, IPC_NOWAIT | MSG_NOERROR);
            if (n < 0 && (stop_ || (errno != ENOMSG && errno != EINTR)))
                return;
            if (n <= 0) {
                poll(nullptr, 0, 2);
                continue;
            }
            std::string reply = answer(std::string(m.text, static_cast<size_t>(n)).c_str(), m.type);
            std::memcpy(m.text, reply.data(), reply.size());
            if (!reply.empty() && msgsnd(queue_, &m, reply.size(), 0) == 0)
                ++answered_;
        }
        msgctl(queue_, IPC_RMID, nullptr); // the window goes away mid-exchange
        queue_ = -1;
    }

    void serve_socket() {
        int conn = -1;
        std::string in;
        for (bool up = true; up;) {
            pollfd p{conn < 0 ? listen_ : conn, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) {
                up = !stop_;
            } else if (conn < 0) {
                conn = accept(listen_, nullptr, nullptr);
                int one = 1;
                setsockopt(conn, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            } else {
                char buf[512];
                ssize_t n = recv(conn, buf, sizeof buf, 0);
                up = n > 0;
                in.append(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
                while (up && !in.empty() && in.size() > static_cast<unsigned char>(in[0])) {
                    size_t len = static_cast<unsigned char>(in[0]);
                    up = !hung_up() && serve_record(conn, in.substr(1, len));
                    in.erase(0, len + 1);
                }
            }
        }
        if (conn >= 0)
            close(conn);
    }
    // False when the server hangs up.
    bool serve_record(int conn, const std::string &rec) {
        long type = 0;
        std::string reply = rec.empty() ? std::string() : answer(rec.c_str(), type);
        if (reply.empty())
            return true;
        bool cut = opt_.mode == Mode::truncated && rec.find("query res") != std::string::npos;
        if (cut)
            reply = '\x32' + reply.substr(0, 3); // 50 bytes promised, 3 sent
        else
            reply.insert(reply.begin(), static_cast<char>(reply.size()));
        send(conn, reply.data(), reply.size(), MSG_NOSIGNAL);
        ++answered_;
        return !cut;
    }

    Options opt_;
    int queue_ = -1;
    int listen_ = -1;
    int base_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    int answered_ = 0;
    std::thread thread_;
};
