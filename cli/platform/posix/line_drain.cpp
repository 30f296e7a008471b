#include "cli/platform/posix/line_drain.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>

#include <cerrno>

namespace zav::cli {

namespace {

// A byte at 2400 baud 8N1 (ten bits), in microseconds.
constexpr uint32_t kByteMicroseconds = 10 * 1000000 / 2400;
// How often the queue is looked at: about as often as the bytes in it take
// to leave, but never less than 1 ms nor more than 10 ms apart.
constexpr uint32_t kShortestLookMicroseconds = 1000;
constexpr uint32_t kLongestLookMicroseconds = 10000;

uint64_t monotonic_us() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

// The UART's own shift register and FIFO are not in the driver's queue;
// serial drivers that can tell say whether the transmitter is empty.
bool transmitter_empty(int fd) {
#ifdef TIOCSERGETLSR
    unsigned int line_status = 0;
    if (ioctl(fd, TIOCSERGETLSR, &line_status) != 0) return true;  // the driver cannot tell
    return (line_status & TIOCSER_TEMT) != 0;
#else
    (void)fd;
    return true;
#endif
}

}  // namespace

bool error_means_line_gone(int error) { return error == EIO || error == ENXIO || error == EPIPE || error == ENODEV; }

LineStatus wait_until_sent(int fd, uint32_t allowed_ms) {
    const uint64_t deadline = monotonic_us() + static_cast<uint64_t>(allowed_ms) * 1000u;
    for (;;) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0) {
            if (error_means_line_gone(errno)) return LineStatus::kGone;
            queued = 0;  // a driver that cannot tell
        }
        if (queued <= 0 && transmitter_empty(fd)) return LineStatus::kOk;

        const uint64_t now = monotonic_us();
        if (now >= deadline) return LineStatus::kTimedOut;
        uint64_t pause = static_cast<uint64_t>(queued > 0 ? queued : 1) * kByteMicroseconds;
        if (pause < kShortestLookMicroseconds) pause = kShortestLookMicroseconds;
        if (pause > kLongestLookMicroseconds) pause = kLongestLookMicroseconds;
        if (pause > deadline - now) pause = deadline - now;
        const timespec nap = {static_cast<time_t>(pause / 1000000u), static_cast<long>(pause % 1000000u) * 1000L};
        nanosleep(&nap, nullptr);  // a signal only makes it look sooner
    }
}

}  // namespace zav::cli
