// Bytes for the line that go out at their times, in the order they were
// queued: the answers of a traced device after their pauses, the echo of a
// loopback plug at the line's pace.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/line.h"

namespace zav::sim {

// CLOCK_MONOTONIC in nanoseconds.
long long now_ns();

class TimedOutput {
public:
    explicit TimedOutput(Line& line) : line_(line) {}

    // Queues bytes to go out at at_ns, after everything queued before them.
    void send_at(long long at_ns, std::vector<uint8_t> bytes);
    // Writes what is due by now (dropped while the line is down).
    void send_due();
    // Writes everything queued, due or not.
    void send_all_now();
    // Drops everything queued.
    void clear() { due_.clear(); }
    // When the last queued bytes go out (0: nothing queued).
    long long end_ns() const { return due_.empty() ? 0 : due_.back().at_ns; }
    // A poll's time-out: until the next bytes are due, at most 500 ms.
    int ms_until_due() const;

private:
    struct Due {
        long long at_ns;
        std::vector<uint8_t> bytes;
    };
    Line& line_;
    std::deque<Due> due_;
};

}  // namespace zav::sim
