// A serial port on Linux: a tty device opened non-blocking, held for
// exclusive use, set raw to 2400 8N1 without flow control and with DTR and
// RTS inactive. Reads and writes wait in poll(), so that Ctrl+C (through the
// interrupt pipe) and a line that hangs up both end a wait at once.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "cli/interrupt.h"
#include "cli/posix/interrupt_wake.h"
#include "cli/serial_port.h"
#include "cli/system_error_text.h"

namespace zav::cli {

namespace {

uint32_t monotonic_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// What a system call's failure on an open line means: the adapter was
// pulled or the other end of a pseudo-terminal closed.
bool line_gone(int error) { return error == EIO || error == ENXIO || error == EPIPE || error == ENODEV; }

constexpr short kHangUp = POLLHUP | POLLERR | POLLNVAL;

class PosixSerialPort final : public SerialLine {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}

    ~PosixSerialPort() override {
        // A pseudo-terminal whose other end stays open keeps the exclusive
        // flag after we close; the next program (or our next run) must be
        // able to open it.
        ioctl(fd_, TIOCNXCL);
        close(fd_);  // also releases the flock
    }

    LineStatus write(const uint8_t* bytes, size_t n) override {
        const uint64_t allowed_ms = 100 + 10 * static_cast<uint64_t>(n);
        const uint32_t started = monotonic_ms();
        size_t done = 0;
        while (done < n) {
            const ssize_t written = ::write(fd_, bytes + done, n - done);
            if (written > 0) {
                done += static_cast<size_t>(written);
                continue;
            }
            if (written < 0 && errno == EINTR) continue;
            if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                return line_gone(errno) ? LineStatus::kGone : LineStatus::kTimedOut;
            }
            // The driver's queue is full: wait for room, within the time a
            // write of n bytes may take.
            const uint32_t elapsed = monotonic_ms() - started;
            if (elapsed >= allowed_ms) return LineStatus::kTimedOut;
            pollfd port = {fd_, POLLOUT, 0};
            const uint64_t left = allowed_ms - elapsed;
            const int ready = poll(&port, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
            if (ready < 0 && errno != EINTR) return LineStatus::kGone;
            if (ready > 0 && (port.revents & kHangUp)) return LineStatus::kGone;
        }
        return LineStatus::kOk;
    }

    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        count = 0;
        if (interrupted()) return LineStatus::kInterrupted;
        const uint32_t started = monotonic_ms();
        for (;;) {
            const uint32_t elapsed = monotonic_ms() - started;
            const uint32_t left = elapsed < timeout_ms ? timeout_ms - elapsed : 0;
            pollfd watched[2] = {{fd_, POLLIN, 0}, {interrupt_wake_fd(), POLLIN, 0}};
            const nfds_t watched_count = watched[1].fd >= 0 ? 2 : 1;
            const int ready = poll(watched, watched_count, left > INT_MAX ? INT_MAX : static_cast<int>(left));
            if (ready < 0) {
                if (errno != EINTR) return LineStatus::kGone;
                if (interrupted()) return LineStatus::kInterrupted;
                continue;
            }
            if (ready == 0) return LineStatus::kTimedOut;

            if (watched_count == 2 && (watched[1].revents & POLLIN)) {
                if (interrupted()) return LineStatus::kInterrupted;
                // The first Ctrl+C of a series: the series ends at its next
                // safe point; this read goes on.
                clear_interrupt_wake();
            }
            // Bytes that came before a hang-up are still delivered; the
            // hang-up shows in the next read.
            if (watched[0].revents & POLLIN) {
                const ssize_t got = ::read(fd_, buffer, size);
                if (got > 0) {
                    count = static_cast<size_t>(got);
                    return LineStatus::kOk;
                }
                // Readable but nothing to read: a tty reports a hang-up so.
                if (got == 0) return LineStatus::kGone;
                if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return LineStatus::kGone;
            }
            if (watched[0].revents & kHangUp) return LineStatus::kGone;
            // Whatever poll() reports, the wait ends with its time.
            if (left == 0) return LineStatus::kTimedOut;
        }
    }

    void discard_pending() override { tcflush(fd_, TCIOFLUSH); }

private:
    int fd_;
};

class MonotonicClock final : public Clock {
public:
    uint32_t now_ms() override { return monotonic_ms(); }
};

PortFailure error_of_open(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            return PortFailure::kMissing;
        case EBUSY:
        case EWOULDBLOCK:
            return PortFailure::kBusy;
        case EACCES:
        case EPERM:
            return PortFailure::kNoPermission;
        case EISDIR:
            return PortFailure::kNotSerial;
        default:
            return PortFailure::kOther;
    }
}

void fail(PortOpenFailure& failure, PortFailure error, int system_error) {
    failure.kind = error;
    failure.detail = system_error != 0 ? system_error_text(system_error) : "";
}

// 2400 baud 8N1, raw, no flow control of any kind, reads that return at
// once with what is there (the waiting is done by poll()).
bool set_line(int fd) {
    termios line;
    if (tcgetattr(fd, &line) != 0) return false;
    cfmakeraw(&line);
    cfsetispeed(&line, B2400);
    cfsetospeed(&line, B2400);
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &line) == 0;
}

}  // namespace

std::unique_ptr<SerialLine> open_serial_port(const std::string& name, PortOpenFailure& failure) {
    failure = PortOpenFailure();
    // Only a character device can be a serial line; a regular file or a
    // folder given by mistake is not even opened.
    struct stat node;
    if (stat(name.c_str(), &node) != 0) {
        fail(failure, error_of_open(errno), errno);
        return nullptr;
    }
    if (!S_ISCHR(node.st_mode)) {
        fail(failure, PortFailure::kNotSerial, 0);
        return nullptr;
    }

    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(failure, error_of_open(errno), errno);
        return nullptr;
    }
    auto give_up = [&](PortFailure error, int system_error) {
        fail(failure, error, system_error);
        close(fd);
        return nullptr;
    };
    if (!isatty(fd)) return give_up(PortFailure::kNotSerial, 0);
    // Two programs on one line would garble each other's frames. flock
    // keeps out every program that asks for the lock, root included;
    // TIOCEXCL refuses any further open() of the tty to everyone but root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return give_up(error == EWOULDBLOCK ? PortFailure::kBusy : PortFailure::kOther, error);
    }
    if (ioctl(fd, TIOCEXCL) != 0) return give_up(PortFailure::kOther, errno);
    if (!set_line(fd)) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return give_up(PortFailure::kOther, error);
    }
    // DTR and RTS inactive, as the device expects; a pseudo-terminal has
    // no modem lines and refuses this, which does no harm.
    int modem_lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &modem_lines);
    tcflush(fd, TCIOFLUSH);
    return std::make_unique<PosixSerialPort>(fd);
}

Clock& system_clock() {
    static MonotonicClock clock;
    return clock;
}

}  // namespace zav::cli
