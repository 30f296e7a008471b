#include "sim/frame_log.h"

#include "sim/words.h"

namespace zav::sim {

FrameLog::FrameLog() { clock_gettime(CLOCK_MONOTONIC, &start_); }

FrameLog::~FrameLog() {
    if (file_) fclose(file_);
}

bool FrameLog::write_to(const std::string& path) {
    file_ = fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void FrameLog::add(bool from_device, const uint8_t* payload, size_t length) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double seconds = static_cast<double>(now.tv_sec - start_.tv_sec) +
                           static_cast<double>(now.tv_nsec - start_.tv_nsec) / 1e9;
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%.3f", seconds);
    std::string line = std::string(stamp) + (from_device ? " dev>pc " : " pc>dev ") + hex(payload, length, " ");
    lines_.push_back(line);
    if (file_) {
        fprintf(file_, "%s\n", line.c_str());
        fflush(file_);
    }
}

void FrameLog::hook(void* context, bool from_device, const uint8_t* payload, size_t length) {
    static_cast<FrameLog*>(context)->add(from_device, payload, length);
}

std::string FrameLog::start_text() const {
    char start[48];
    snprintf(start, sizeof start, "%.6f", static_cast<double>(start_.tv_sec) + start_.tv_nsec / 1e9);
    return start;
}

}  // namespace zav::sim
