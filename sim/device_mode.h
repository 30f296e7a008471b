// The virtual ZAV 160 on the line: it feeds the program's bytes to the
// device logic and writes its answers, at once or at the pace of the line,
// and hangs the line up when a fault says so. The device is there in every
// mode: the control channel sets and reads it, and a hang-up restarts it.
#pragma once

#include "sim/device.h"
#include "sim/frame_log.h"
#include "sim/line.h"
#include "sim/line_mode.h"

namespace zav::sim {

class DeviceMode : public LineMode {
public:
    // The device as the command line made it; pace: every byte at the pace
    // of the line, also after a reset.
    DeviceMode(const Device& start, Line& line, FrameLog& frame_log, bool pace);

    bool receive(const uint8_t* bytes, size_t n) override;
    std::string describe() const override;

    Device& device() { return device_; }
    const Device& device() const { return device_; }

    // The default device, no faults, pace as started.
    void reset();
    // Mid-transaction state gone, memory and faults kept (a power cycle).
    void restart() { device_restart(device_); }
    // No faults, no hang-up pending.
    void clear_faults();
    // Hangs the line up once n more bytes have come.
    void vanish_after_bytes(long n) { vanish_after_bytes_ = n; }
    void set_pace(bool pace) { pace_ = pace; }

private:
    void init_device();
    void flush_output();

    Device device_;
    Line& line_;
    FrameLog& frame_log_;
    bool pace_;
    bool pace_at_start_;
    long vanish_after_bytes_ = -1;  // bytes still let through before the line dies
};

}  // namespace zav::sim
