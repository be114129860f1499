#include "base/loop_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Message {
    long type = 0;
    char text[512] = {};
};

void pause_ms(int ms) {
    poll(nullptr, 0, ms);
}

} // namespace

LoopServer::LoopServer(Options opt) : opt_(std::move(opt)) {
    if (opt_.socket) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            listen(listen_, 1) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
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

LoopServer::~LoopServer() {
    finish();
    if (queue_ >= 0)
        msgctl(queue_, IPC_RMID, nullptr);
    if (listen_ >= 0)
        close(listen_);
}

std::string LoopServer::entry(const std::string &extra) const {
    return "#" + std::to_string(kWindow) + (opt_.socket ? ",qtype=sock" : ",qtype=mqueue") +
           ",base=" + std::to_string(base_) + extra;
}

std::vector<std::string> LoopServer::finish() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::string LoopServer::answer(char code, const std::string &text, long &type) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(code + text);
    }
    type = kChannel;
    const char channel_code = static_cast<char>('0' + kChannel);
    if (opt_.mode == Mode::silent || text == "quit")
        return {};
    if (code == '/') {
        type = 2;
        return std::string("2") + std::to_string(kChannel) + '\0';
    }
    if (text.rfind("query res ", 0) != 0)
        return std::string(1, channel_code) + "ok" + '\0'; // acknowledges a "set res"
    auto it = opt_.table.find(text.substr(10));
    std::string value = it == opt_.table.end() ? "!" : it->second;
    if (it != opt_.table.end()) {
        switch (opt_.mode) {
        case Mode::other_channel:
            type = kChannel + 1;
            break;
        case Mode::oversized:
            return channel_code + std::string(300, 'x');
        case Mode::unterminated:
            return channel_code + value;
        default:
            break;
        }
    }
    return channel_code + value + '\0';
}

void LoopServer::serve_queue() {
    Message m;
    while (opt_.hang_up_after < 0 || answered_ < opt_.hang_up_after) {
        ssize_t n = msgrcv(queue_, &m, sizeof m.text - 1, 1, IPC_NOWAIT | MSG_NOERROR);
        if (n < 0) {
            if (errno != ENOMSG && errno != EINTR)
                return;
            if (stop_)
                return;
            pause_ms(2);
            continue;
        }
        m.text[n] = '\0';
        long type = 0;
        std::string reply = answer(m.text[0], m.text + 1, type);
        if (reply.empty())
            continue;
        Message r;
        r.type = type;
        std::memcpy(r.text, reply.data(), reply.size());
        msgsnd(queue_, &r, reply.size(), 0);
        ++answered_;
    }
    msgctl(queue_, IPC_RMID, nullptr); // the window goes away mid-exchange
    queue_ = -1;
}

void LoopServer::serve_socket() {
    int conn = -1;
    std::string in;
    // One request record; false when the server hangs up.
    auto serve = [&](const std::string &rec) {
        if (opt_.hang_up_after >= 0 && answered_ >= opt_.hang_up_after)
            return false;
        long type = 0;
        std::string reply = rec.empty() ? std::string() : answer(rec[0], rec.c_str() + 1, type);
        if (reply.empty())
            return true;
        if (opt_.mode == Mode::truncated && rec.find("query res") != std::string::npos) {
            reply = '\x32' + reply.substr(0, 3); // 50 bytes promised, 3 sent
            send(conn, reply.data(), reply.size(), MSG_NOSIGNAL);
            return false;
        }
        reply.insert(reply.begin(), static_cast<char>(reply.size()));
        send(conn, reply.data(), reply.size(), MSG_NOSIGNAL);
        ++answered_;
        return true;
    };
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
            if (up)
                in.append(buf, static_cast<size_t>(n));
            while (up && !in.empty() && in.size() > static_cast<unsigned char>(in[0])) {
                size_t len = static_cast<unsigned char>(in[0]);
                up = serve(in.substr(1, len));
                in.erase(0, len + 1);
            }
        }
    }
    if (conn >= 0)
        close(conn);
}
