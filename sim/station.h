// Everything one zavsim runs: the line, the frame log, the bytes due on the
// line, the device, and the mode that answers the program (the device, a
// replayed trace or a loopback plug). main() owns it and hands it to the
// loop and the control channel.
#pragma once

#include <memory>
#include <string>

#include "sim/device_mode.h"
#include "sim/frame_log.h"
#include "sim/line.h"
#include "sim/loopback_mode.h"
#include "sim/replay_mode.h"
#include "sim/timed_output.h"

namespace zav::sim {

struct Station {
    Station(const Device& start_device, const std::string& link_path, long byte_time_ns, bool pace, bool quiet)
        : line(link_path, byte_time_ns, quiet), output(line), device(start_device, line, frame_log, pace) {}

    // What answers the program's bytes.
    LineMode& answering() {
        if (loopback) return *loopback;
        if (replay) return *replay;
        return device;
    }

    // The line goes dead as when an adapter is pulled: what was due is
    // dropped and the device loses what it was doing.
    void hang_up() {
        output.clear();
        line.hang_up();
        device.restart();
    }
    // The line back on a new terminal; false when none can be opened.
    bool come_back() {
        if (!line.come_back()) return false;
        device.restart();
        return true;
    }

    FrameLog frame_log;  // first: its times count from zavsim's start
    Line line;
    TimedOutput output;
    DeviceMode device;
    std::unique_ptr<ReplayMode> replay;      // with --replay
    std::unique_ptr<LoopbackMode> loopback;  // with --loopback
};

}  // namespace zav::sim
