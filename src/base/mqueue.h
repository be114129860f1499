// Loop-window link: the client side of the request/reply protocol spoken with the
// suite's animation program, over a System V message queue or a TCP socket on the
// loopback address. Every wait is bounded by the alarm; when it rings the program
// prints "Queue not responding!!" and ends with status 7.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

// Transports ("qtype=mqueue", "qtype=sock").
enum MQ_transport : int { MQ_QUEUE = 0, MQ_SOCKET = 1 };

// MQ_get and MQ_put when the link is gone (queue removed, connection closed or
// broken). Code characters give -48..207, so no message yields this value.
inline constexpr int MQ_LINK_DOWN = -100;

// Program parameters, comma-separated: "qtype=mqueue", "qtype=sock", "to=SECONDS"
// (any one separator after "to"; fractions allowed), "base=N" (key base added to the
// window number). Returns 1, or -1 when an item was not understood (the rest apply).
int MQ_set_param(const char *text);
int MQ_get_transport();
// Time-out in seconds (20 unless set); *given tells whether a "to" parameter set it.
double MQ_get_timeout(bool *given = nullptr);

// Queue: the id of the existing queue with key base + window, -1 when there is none
// (at once, never waiting), 0 on other errors. The kernel may also hand out id 0 to a
// real queue, so callers go on to MQ_connect, which fails when the open did.
// Socket: connects to 127.0.0.1, port base + window; 1, or -1.
int MQ_open(int window);
// Asks the server for a channel (code '/', the user id as text) and waits for the
// reply of code 2 on message type 2; returns the channel, or -1.
int MQ_connect(int queue);
// Sends the formatted text with code '0' + channel on message type 1 (cut to what the
// record holds). 1 when sent, -1 for a bad channel, MQ_LINK_DOWN.
int MQ_put(int queue, int channel, const char *format, ...) __attribute__((format(printf, 3, 4)));
// Waits for a message of type channel (socket: the next record), copies its text to
// out and returns the code character minus '0'; negative when nothing usable came,
// MQ_LINK_DOWN when the link is gone.
int MQ_get(int queue, int channel, std::string &out);
// Discards the pending messages of one type (queue transport); the number discarded.
int MQ_clear(int queue, int type);
// Arms the alarm for seconds (the time-out when 0 or less) and installs its handler;
// MQ_disable_alarm clears it and puts the previous SIGALRM disposition back.
void MQ_enable_alarm(double seconds = 0);
void MQ_disable_alarm();

// Resource exchange. MQ_query_res sends "query res NAME" for every name, then reads one
// reply per name, each within 100 s (or the "to" time-out when one was given);
// values[i] is the reply, or empty when none came or it was empty or began with '!'.
// MQ_set_res sends "set res NAME VALUE" and waits for its acknowledgement.
// Both return 1, or -1 when the link went down (values read so far are kept).
int MQ_query_res(int queue, int channel, std::span<const std::string> names,
                 std::vector<std::optional<std::string>> &values);
int MQ_set_res(int queue, int channel, const std::string &name, const std::string &value);

// Closes the socket and clears the alarm; the parameters stay.
void MQ_close();
// MQ_close and back to the defaults: queue transport, key base 0, 20 s (tests and init).
void MQ_reset_state();
