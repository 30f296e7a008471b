// A loopback plug on the line (--loopback, for zavctl selftest): every byte
// goes back once the line has carried it.
#pragma once

#include "sim/line.h"
#include "sim/line_mode.h"
#include "sim/timed_output.h"

namespace zav::sim {

class LoopbackMode : public LineMode {
public:
    LoopbackMode(const Line& line, TimedOutput& output) : line_(line), output_(output) {}

    bool receive(const uint8_t* bytes, size_t n) override;
    std::string describe() const override { return "a loopback plug"; }

private:
    const Line& line_;
    TimedOutput& output_;
};

}  // namespace zav::sim
