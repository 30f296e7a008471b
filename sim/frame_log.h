// The frame log: every frame the device meant to send or received, with
// the seconds since zavsim started, kept for the control channel's "log"
// and written to the --log file as it comes.
#pragma once

#include <time.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zav::sim {

class FrameLog {
public:
    FrameLog();  // the log's times count from here
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Writes every line to this file as well; false when it cannot be written.
    bool write_to(const std::string& path);

    void add(bool from_device, const uint8_t* payload, size_t length);
    // The device's hook (FrameLogHook), context a FrameLog.
    static void hook(void* context, bool from_device, const uint8_t* payload, size_t length);

    // Empties what the control channel hands out; the file keeps its lines.
    void clear() { lines_.clear(); }
    const std::vector<std::string>& lines() const { return lines_; }
    // When the times begin, in CLOCK_MONOTONIC seconds ("%.6f").
    std::string start_text() const;

private:
    timespec start_{};
    std::vector<std::string> lines_;
    FILE* file_ = nullptr;
};

}  // namespace zav::sim
