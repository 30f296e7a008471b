// A traced device on the line (--replay): the program's requests are
// matched against the trace, and each gets the answers that followed it
// there, after the same pauses. A departure from the trace is said on
// standard error once, with the trace's line.
#pragma once

#include <string>

#include "sim/line_mode.h"
#include "sim/timed_output.h"
#include "sim/trace_replay.h"

namespace zav::sim {

class ReplayMode : public LineMode {
public:
    explicit ReplayMode(TimedOutput& output) : output_(output) {}

    // Reads the trace file and picks its port ("": the first it names).
    // False with "FILE: reason" when it cannot be replayed.
    bool load(const std::string& path, const std::string& port, std::string& error);

    bool receive(const uint8_t* bytes, size_t n) override;
    std::string describe() const override;

    // "matched=K requests=N departed=L", then where and what departed.
    std::string status() const;

private:
    TimedOutput& output_;
    TraceReplay replay_;
};

}  // namespace zav::sim
