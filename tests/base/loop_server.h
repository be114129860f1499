// A stand-in for the loop window in the link tests: from a thread it serves one client
// over a real System V message queue or a real TCP socket on 127.0.0.1, assigns a
// channel, answers "query res" from a table ("!" for names it lacks), acknowledges
// "set res" and records every request. Its queue is removed when it goes away.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopServer {
  public:
    enum class Mode {
        normal,
        silent,        // records requests, never answers
        other_channel, // answers on the message type of another channel
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
    static constexpr int kChannel = 5;

    explicit LoopServer(Options opt);
    ~LoopServer();
    LoopServer(const LoopServer &) = delete;
    LoopServer &operator=(const LoopServer &) = delete;

    // Defaults-list entry reaching this server, with extra parameters (",to=0.3").
    std::string entry(const std::string &extra = "") const;
    // Stops after serving what was already sent; each request as code character + text.
    std::vector<std::string> finish();

  private:
    void serve_queue();
    void serve_socket();
    // The reply to one request (code character + text [+ NUL]); empty for none.
    std::string answer(char code, const std::string &text, long &type);

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
