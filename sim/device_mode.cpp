#include "sim/device_mode.h"

#include <time.h>

#include <cstdio>

namespace zav::sim {

DeviceMode::DeviceMode(const Device& start, Line& line, FrameLog& frame_log, bool pace)
    : device_(start), line_(line), frame_log_(frame_log), pace_(pace), pace_at_start_(pace) {
    device_.log = FrameLog::hook;
    device_.log_context = &frame_log_;
}

void DeviceMode::init_device() {
    device_init(device_);
    device_.log = FrameLog::hook;
    device_.log_context = &frame_log_;
}

void DeviceMode::reset() {
    vanish_after_bytes_ = -1;
    init_device();
    pace_ = pace_at_start_;
}

void DeviceMode::clear_faults() {
    vanish_after_bytes_ = -1;
    zav::sim::clear_faults(device_.faults);
}

std::string DeviceMode::describe() const {
    char text[32];
    snprintf(text, sizeof text, "ZAV 160 (V%u.%u)", device_.setup[3], device_.setup[4]);
    return text;
}

bool DeviceMode::receive(const uint8_t* bytes, size_t n) {
    size_t taken = n;
    bool dies = false;
    if (vanish_after_bytes_ > 0) {
        if (static_cast<long>(taken) >= vanish_after_bytes_) {
            taken = static_cast<size_t>(vanish_after_bytes_);
            dies = true;
        }
        vanish_after_bytes_ -= static_cast<long>(taken);
    }
    device_receive(device_, bytes, taken);
    if (device_.vanish_now) {
        device_.output_length = 0;
        dies = true;
    }
    if (dies) {
        vanish_after_bytes_ = -1;
        return false;
    }
    flush_output();
    return true;
}

void DeviceMode::flush_output() {
    if (pace_) {
        // One byte at a time, each after the time the line takes for it.
        for (size_t i = 0; i < device_.output_length; ++i) {
            line_.write(device_.output + i, 1);
            timespec byte_time{0, line_.byte_time_ns()};
            nanosleep(&byte_time, nullptr);
        }
    } else {
        line_.write(device_.output, device_.output_length);
    }
    device_.output_length = 0;
}

}  // namespace zav::sim
