// Loop-window link, client side. Two transports carry the same records: a code
// character ('0' + channel or result number, so channel -1 is '/') followed by text.
// - System V queue: a long message type, then a text area of 120 bytes holding code,
//   text and NUL. Requests go out as type 1, the channel request's answer comes back
//   as type 2, every other answer as type = the client's channel.
// - TCP on 127.0.0.1: one length byte (code + text + NUL), then the record.
//
// Traps: key 0 is IPC_PRIVATE, which would create a fresh queue instead of finding the
// server's, and the first queue of a system gets id 0, so 0 from MQ_open is ambiguous.
// The SIGALRM handler only raises a flag: every wait polls (never blocks in the kernel)
// and runs the time-out, which prints and exits, outside the handler.
#include "base/mqueue.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "base/mess.h"
#include "base/string.h"
#include "base/system.h"

namespace {

constexpr size_t kTextArea = 120;  // queue message text: code, text, NUL
constexpr size_t kMaxRecord = 255; // socket record after its length byte
constexpr double kDefaultTimeout = 20.0;
constexpr double kReplyWait = 100.0; // resource replies, unless a "to" was given
constexpr double kMaxTimeout = 365.0 * 86400.0;
constexpr long kRequestType = 1;
constexpr long kConnectType = 2;
constexpr int kConnectCode = 2;
constexpr int kClearCap = 4096; // messages one MQ_clear discards at most
// The code character of a channel stays printable; types 1 and 2 are the protocol's own.
constexpr int kMaxChannel = '~' - '0';
constexpr int kFirstQueueChannel = 3;

struct QueueRecord {
    long type = 0;
    std::array<char, kTextArea> text{};
};

// The one thing the signal handler touches.
volatile std::sig_atomic_t g_alarm_rang = 0;

void alarm_rang(int) {
    g_alarm_rang = 1;
}

struct MqState {
    int transport = MQ_QUEUE;
    long long key_base = 0;
    double timeout = kDefaultTimeout;
    bool timeout_given = false;
    bool open_failed = false; // the last queue open gave no queue
    int sock = -1;
    bool armed = false;
    bool installed = false;
    struct sigaction previous {};
};

MqState &st() {
    static MqState s;
    return s;
}

[[noreturn]] void time_out() {
    MQ_disable_alarm();
    MESS_print(192, "Queue not responding!!\n");
    ZOR_exit(7);
}

void check_alarm() {
    if (g_alarm_rang)
        time_out();
}

// Arms the alarm for the scope unless it is armed already (the outer wait bounds us).
class AlarmScope {
  public:
    explicit AlarmScope(double seconds = 0) : mine_(!st().armed) {
        if (mine_)
            MQ_enable_alarm(seconds);
    }
    ~AlarmScope() {
        if (mine_)
            MQ_disable_alarm();
    }
    AlarmScope(const AlarmScope &) = delete;
    AlarmScope &operator=(const AlarmScope &) = delete;

  private:
    bool mine_;
};

double reply_wait() {
    return st().timeout_given ? st().timeout : kReplyWait;
}

// A whole number with optional surrounding blanks, within [lo, hi].
bool parse_int(const std::string &text, long long lo, long long hi, long long &out) {
    const char *s = text.c_str();
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE || v < lo || v > hi)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end)
        return false;
    out = v;
    return true;
}

std::string vformat(const char *format, va_list ap) {
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

// Code and text of a received record; an empty record carries nothing usable.
int decode_record(const unsigned char *rec, size_t n, std::string &out) {
    out.clear();
    if (n == 0)
        return -1;
    const unsigned char *text = rec + 1;
    const unsigned char *nul = std::find(text, rec + n, '\0');
    out.assign(text, nul);
    return static_cast<int>(rec[0]) - '0';
}

// ---------------------------------------------------------------------------
// Queue transport

// One receive without waiting: 1 got one, 0 none pending, MQ_LINK_DOWN.
int queue_take(int queue, long type, std::string &out, int &code) {
    QueueRecord r;
    for (;;) {
        // MSG_NOERROR cuts an oversized message to the text area instead of failing.
        ssize_t n = msgrcv(queue, &r, r.text.size(), type, IPC_NOWAIT | MSG_NOERROR);
        if (n >= 0) {
            code = decode_record(reinterpret_cast<const unsigned char *>(r.text.data()),
                                 static_cast<size_t>(n), out);
            return 1;
        }
        if (errno == EINTR)
            continue;
        return (errno == ENOMSG || errno == EAGAIN) ? 0 : MQ_LINK_DOWN;
    }
}

int queue_send(int queue, char code, const std::string &text) {
    QueueRecord r;
    r.type = kRequestType;
    size_t len = std::min(text.size(), kTextArea - 2);
    r.text[0] = code;
    std::memcpy(r.text.data() + 1, text.data(), len);
    r.text[len + 1] = '\0';
    for (;;) {
        if (msgsnd(queue, &r, len + 2, IPC_NOWAIT) == 0)
            return 1;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return MQ_LINK_DOWN;
        check_alarm(); // the queue is full: the server is not reading
        ZOR_sleep(0.05f);
    }
}

int queue_get(int queue, int channel, std::string &out) {
    // Type 0 or below would take any message, 1 and 2 another client's traffic.
    if (channel <= 0)
        return -1;
    AlarmScope alarm;
    for (long tries = 1;; ++tries) {
        int code = -1;
        int r = queue_take(queue, channel, out, code);
        if (r == 1)
            return code;
        if (r == MQ_LINK_DOWN)
            return r;
        check_alarm();
        if (tries >= 200)
            ZOR_sleep(1.0f);
        else if (tries >= 2)
            ZOR_sleep(0.1f);
    }
}

// ---------------------------------------------------------------------------
// Socket transport

int sock_lost() {
    if (st().sock >= 0)
        close(st().sock);
    st().sock = -1;
    return MQ_LINK_DOWN;
}

// Waits until the socket is ready; false when polling fails. The alarm bounds the wait.
bool sock_wait(short events) {
    for (;;) {
        check_alarm();
        pollfd p{st().sock, events, 0};
        int r = poll(&p, 1, 50);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

bool sock_read(unsigned char *buf, size_t size) {
    size_t got = 0;
    while (got < size) {
        if (!sock_wait(POLLIN))
            return false;
        ssize_t n = recv(st().sock, buf + got, size - got, MSG_DONTWAIT);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false; // closed by the server, or broken
    }
    return true;
}

bool sock_write(const unsigned char *buf, size_t size) {
    size_t put = 0;
    while (put < size) {
        if (!sock_wait(POLLOUT))
            return false;
        ssize_t n = send(st().sock, buf + put, size - put, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0)
            put += static_cast<size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
    }
    return true;
}

int sock_open(long long port) {
    if (port < 1 || port > 65535)
        return -1;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int r;
        do
            r = poll(&p, 1, static_cast<int>(std::min(st().timeout * 1000.0, 1e9)));
        while (r < 0 && errno == EINTR);
        int err = 0;
        socklen_t len = sizeof err;
        ok = r > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    }
    if (!ok) {
        close(fd);
        return -1;
    }
    int one = 1; // records are small and answered one by one
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    st().sock = fd;
    return 1;
}

int sock_get(std::string &out) {
    out.clear();
    if (st().sock < 0)
        return MQ_LINK_DOWN;
    AlarmScope alarm;
    unsigned char len = 0;
    std::array<unsigned char, kMaxRecord> rec{};
    if (!sock_read(&len, 1) || !sock_read(rec.data(), len))
        return sock_lost();
    return decode_record(rec.data(), len, out);
}

int sock_put(char code, const std::string &text) {
    if (st().sock < 0)
        return MQ_LINK_DOWN;
    size_t len = std::min(text.size(), kMaxRecord - 2);
    std::array<unsigned char, kMaxRecord + 1> rec{};
    rec[0] = static_cast<unsigned char>(len + 2);
    rec[1] = static_cast<unsigned char>(code);
    std::memcpy(rec.data() + 2, text.data(), len);
    rec[len + 2] = '\0';
    AlarmScope alarm;
    return sock_write(rec.data(), len + 3) ? 1 : sock_lost();
}

} // namespace

// ---------------------------------------------------------------------------
// Parameters and alarm

int MQ_set_param(const char *text) {
    std::vector<std::string> items;
    int n = 0;
    parse_string(text, ',', &n, &items);
    auto keyword = [](const std::string &t, const char *key, size_t len) {
        return t.size() > len + 1 && str_prefix_nocase(t, key, len) &&
               !std::isalnum(static_cast<unsigned char>(t[len]));
    };
    auto &s = st();
    int result = 1;
    for (const auto &item : items) {
        std::string t = str_trim(item);
        long long v = 0;
        if (t.empty())
            continue;
        if (keyword(t, "qtype", 5)) {
            std::string kind = t.substr(6);
            if (str_equal_nocase(kind, "mqueue"))
                s.transport = MQ_QUEUE;
            else if (str_equal_nocase(kind, "sock"))
                s.transport = MQ_SOCKET;
            else
                result = -1;
        } else if (keyword(t, "to", 2)) {
            char *end = nullptr;
            double secs = std::strtod(t.c_str() + 3, &end);
            if (end != t.c_str() + 3 && *end == '\0' && secs > 0 && secs <= kMaxTimeout) {
                s.timeout = secs;
                s.timeout_given = true;
            } else {
                result = -1;
            }
        } else if (keyword(t, "base", 4) && parse_int(t.substr(5), INT_MIN, INT_MAX, v)) {
            s.key_base = v;
        } else {
            result = -1;
        }
    }
    return result;
}

int MQ_get_transport() {
    return st().transport;
}

double MQ_get_timeout(bool *given) {
    if (given)
        *given = st().timeout_given;
    return st().timeout;
}

void MQ_enable_alarm(double seconds) {
    auto &s = st();
    double secs = std::clamp(seconds > 0 ? seconds : s.timeout, 0.001, kMaxTimeout);
    if (!s.installed) {
        struct sigaction sa {};
        sa.sa_handler = alarm_rang;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;
        if (sigaction(SIGALRM, &sa, &s.previous) != 0)
            return; // never arm without our handler: the default one kills the process
        s.installed = true;
    }
    g_alarm_rang = 0;
    itimerval v{};
    v.it_value.tv_sec = static_cast<time_t>(secs);
    v.it_value.tv_usec = static_cast<suseconds_t>((secs - std::floor(secs)) * 1e6);
    setitimer(ITIMER_REAL, &v, nullptr);
    s.armed = true;
}

void MQ_disable_alarm() {
    auto &s = st();
    if (s.armed) {
        itimerval zero{};
        setitimer(ITIMER_REAL, &zero, nullptr);
        s.armed = false;
    }
    if (s.installed) {
        sigaction(SIGALRM, &s.previous, nullptr);
        s.installed = false;
    }
    g_alarm_rang = 0;
}

// ---------------------------------------------------------------------------
// Link

int MQ_open(int window) {
    auto &s = st();
    long long key = s.key_base + window;
    if (s.transport == MQ_SOCKET) {
        sock_lost();
        return sock_open(key);
    }
    s.open_failed = true;
    if (key == IPC_PRIVATE || key < INT_MIN || key > INT_MAX)
        return -1;
    int id = msgget(static_cast<key_t>(key), 0);
    if (id >= 0) {
        s.open_failed = false;
        return id;
    }
    return errno == ENOENT ? -1 : 0;
}

int MQ_connect(int queue) {
    auto &s = st();
    if (s.transport == MQ_QUEUE) {
        if (s.open_failed)
            return -1;
        MQ_clear(queue, kConnectType);
    } else if (s.sock < 0) {
        return -1;
    }
    AlarmScope alarm;
    if (MQ_put(queue, -1, "%d", static_cast<int>(getuid())) != 1)
        return -1;
    std::string text;
    for (;;) {
        int code = MQ_get(queue, kConnectType, text);
        if (code == MQ_LINK_DOWN)
            return -1;
        if (code == kConnectCode)
            break;
    }
    long long channel = -1;
    int lowest = s.transport == MQ_QUEUE ? kFirstQueueChannel : 0;
    if (!parse_int(text, lowest, kMaxChannel, channel))
        return -1;
    MQ_clear(queue, static_cast<int>(channel));
    return static_cast<int>(channel);
}

int MQ_put(int queue, int channel, const char *format, ...) {
    // The code byte '0' + channel must be a byte and not NUL.
    if (!format || channel < 1 - '0' || channel > 255 - '0')
        return -1;
    va_list ap;
    va_start(ap, format);
    std::string text = vformat(format, ap);
    va_end(ap);
    char code = static_cast<char>('0' + channel);
    if (st().transport == MQ_SOCKET)
        return sock_put(code, text);
    AlarmScope alarm;
    return queue_send(queue, code, text);
}

int MQ_get(int queue, int channel, std::string &out) {
    if (st().transport == MQ_SOCKET)
        return sock_get(out);
    out.clear();
    return queue_get(queue, channel, out);
}

int MQ_clear(int queue, int type) {
    if (st().transport != MQ_QUEUE || type <= 0)
        return 0;
    int n = 0;
    int code = 0;
    std::string text;
    while (n < kClearCap && queue_take(queue, type, text, code) == 1)
        ++n;
    return n;
}

int MQ_query_res(int queue, int channel, std::span<const std::string> names,
                 std::vector<std::optional<std::string>> &values) {
    values.assign(names.size(), std::nullopt);
    for (const auto &name : names)
        if (MQ_put(queue, channel, "query res %s", name.c_str()) != 1)
            return -1;
    std::string reply;
    for (auto &value : values) {
        int code;
        {
            AlarmScope alarm(reply_wait());
            code = MQ_get(queue, channel, reply);
        }
        if (code == MQ_LINK_DOWN)
            return -1;
        // '!' is the server's "not set here".
        if (code >= 0 && !reply.empty() && reply[0] != '!')
            value = reply;
    }
    return 1;
}

int MQ_set_res(int queue, int channel, const std::string &name, const std::string &value) {
    if (MQ_put(queue, channel, "set res %s %s", name.c_str(), value.c_str()) != 1)
        return -1;
    std::string ack;
    AlarmScope alarm(reply_wait());
    return MQ_get(queue, channel, ack) == MQ_LINK_DOWN ? -1 : 1;
}

void MQ_close() {
    MQ_disable_alarm();
    sock_lost();
    st().open_failed = false;
}

void MQ_reset_state() {
    MQ_close();
    st() = MqState{};
}
