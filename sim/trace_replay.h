// A device that answers as a traced one did (zavctl --trace, docs/Trace.md):
// the program's requests are expected in the order of the trace, byte for
// byte, and each is answered with what the device sent after it in the
// trace, after the same pause. A request that departs from the trace ends
// the replay; the departure names the trace's line.
//
// No I/O here: zavsim feeds the bytes it reads and sends the answers when
// they are due.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zav::sim {

// One event line of a trace.
struct TraceEvent {
    int line;              // in the file, from 1
    uint32_t ms;           // since the port was opened
    std::string port;
    std::string kind;      // "pc>dev", "dev>pc", "noise", "open", ...
    std::vector<uint8_t> bytes;
};

// Reads a trace's text. False with the reason (naming the line) when it is
// no trace of a version this reader knows, or a line is not an event.
bool parse_trace(const std::string& text, std::vector<TraceEvent>& events, std::string& error);

// Bytes to send delay_ms after the request they answer has come.
struct TracedAnswer {
    uint32_t delay_ms;
    std::vector<uint8_t> bytes;
};

class TraceReplay {
public:
    // Replays the events of port ("": the first port the trace names).
    // False with the reason when the trace holds no request of that port.
    bool start(const std::vector<TraceEvent>& events, const std::string& port, std::string& error);

    // Bytes from the program. Each request they complete adds its answers,
    // in order, to answers.
    void receive(const uint8_t* bytes, size_t count, std::vector<TracedAnswer>& answers);

    const std::string& port() const { return port_; }
    size_t requests() const { return requests_.size(); }
    size_t matched() const { return next_; }
    // The line of the request the program departed from (0: none yet; one
    // past the last request's line for a request beyond the trace's end),
    // and where, what was expected and what came: "at line 23 (request 5
    // of 17): expected FF 60 FE, got FF 63 03 00 FE".
    int departed_at() const { return departed_at_; }
    const std::string& departure() const { return departure_; }

private:
    struct Request {
        int line;
        std::vector<uint8_t> bytes;
        std::vector<TracedAnswer> answers;
    };

    void depart(const std::vector<uint8_t>& got);

    std::string port_;
    std::vector<Request> requests_;
    uint32_t request_ms_ = 0;         // start(): the time of the request being collected
    bool collecting_ = false;         // start(): answers go to the last request
    size_t next_ = 0;                 // the request expected next
    std::vector<uint8_t> so_far_;     // its bytes that have come
    int departed_at_ = 0;
    std::string departure_;
};

}  // namespace zav::sim
