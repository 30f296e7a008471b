#include "cli/platform/pause.h"

#include <poll.h>
#include <time.h>

#include <cerrno>

#include "cli/platform/interrupt.h"
#include "cli/platform/posix/interrupt_wake.h"

namespace zav::cli {

namespace {

uint64_t now_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace

bool pause_unless_interrupted(uint32_t ms) {
    // The signal may land on another thread (a port of a series): the
    // interrupt pipe wakes every thread's pause alike.
    const uint64_t until = now_ms() + ms;
    while (interrupt_count() == 0 && !waits_ended()) {
        const uint64_t now = now_ms();
        if (now >= until) break;
        pollfd wake = {interrupt_wake_fd(), POLLIN, 0};
        const int left = static_cast<int>(until - now);
        if (wake.fd < 0) {
            timespec step{left / 1000, (left % 1000) * 1000000L};
            nanosleep(&step, nullptr);
        } else {
            poll(&wake, 1, left);
        }
    }
    return interrupt_count() == 0 && !waits_ended();
}

}  // namespace zav::cli
