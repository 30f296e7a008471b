#include "sim/timed_output.h"

#include <time.h>

#include <utility>

namespace zav::sim {

long long now_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void TimedOutput::send_at(long long at_ns, std::vector<uint8_t> bytes) {
    if (!due_.empty() && due_.back().at_ns > at_ns) at_ns = due_.back().at_ns;
    due_.push_back({at_ns, std::move(bytes)});
}

void TimedOutput::send_due() {
    const long long now = now_ns();
    while (!due_.empty() && due_.front().at_ns <= now) {
        line_.write(due_.front().bytes.data(), due_.front().bytes.size());
        due_.pop_front();
    }
}

void TimedOutput::send_all_now() {
    for (Due& item : due_) item.at_ns = 0;
    send_due();
}

int TimedOutput::ms_until_due() const {
    if (due_.empty()) return 500;
    const long long left = due_.front().at_ns - now_ns();
    if (left <= 0) return 0;
    return left >= 500000000LL ? 500 : static_cast<int>((left + 999999) / 1000000);
}

}  // namespace zav::sim
