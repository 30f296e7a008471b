// A serial port on Linux: a tty device opened non-blocking, held for
// exclusive use, set raw to 2400 8N1 without flow control and with DTR and
// RTS inactive, and given back with the settings it had. Reads and writes
// wait in poll(), so that Ctrl+C (through the interrupt pipe) and a line
// that hangs up both end a wait at once; a write returns once its bytes
// have left the port, as on Windows.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "cli/platform/interrupt.h"
#include "cli/platform/posix/interrupt_wake.h"
#include "cli/platform/posix/line_drain.h"
#include "cli/platform/serial_port.h"
#include "cli/platform/system_error_text.h"

namespace zav::cli {

namespace {

uint32_t monotonic_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

constexpr short kHangUp = POLLHUP | POLLERR | POLLNVAL;

class PosixSerialPort final : public SerialLine {
public:
    PosixSerialPort(int fd, const termios& found) : fd_(fd), found_(found) {}

    ~PosixSerialPort() override {
        // The next program finds the port as we found it: a terminal's
        // settings outlive its opening.
        tcsetattr(fd_, TCSANOW, &found_);
        // A pseudo-terminal whose other end stays open keeps the exclusive
        // flag after we close; the next program (or our next run) must be
        // able to open it.
        ioctl(fd_, TIOCNXCL);
        close(fd_);  // also releases the flock
    }

    // The bytes are out, or given up, within 100 + 10 n ms, as the
    // windowed program's port writes: a frame takes about 4.2 ms a byte on
    // the line, so that is its time plus a margin.
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
                return error_means_line_gone(errno) ? LineStatus::kGone : LineStatus::kTimedOut;
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
        // Only once the frame has left does the machine's wait for the
        // answer begin.
        const uint32_t elapsed = monotonic_ms() - started;
        const LineStatus sent =
            wait_until_sent(fd_, elapsed < allowed_ms ? static_cast<uint32_t>(allowed_ms - elapsed) : 0);
        // What did not go is dropped, so that it cannot leave later in the
        // middle of another frame; the missing answer counts as for any
        // unanswered send.
        if (sent == LineStatus::kTimedOut) tcflush(fd_, TCOFLUSH);
        return sent;
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

    // Only the input: what came before the transaction is stale, but the
    // last frame of the one before (the 0xF0 that accepts an identification)
    // may still be on its way to the device, and a pseudo-terminal would
    // drop it even after it has left our side.
    void discard_pending() override { tcflush(fd_, TCIFLUSH); }

private:
    int fd_;
    termios found_;  // the settings the port had before we opened it
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

std::string user_name(uid_t user) {
    const passwd* entry = getpwuid(user);
    return entry != nullptr ? entry->pw_name : std::to_string(user);
}

std::string group_name(gid_t group) {
    const struct group* entry = getgrgid(group);
    return entry != nullptr ? entry->gr_name : std::to_string(group);
}

// Who may use the port, for the advice when we may not.
void name_owner(PortOpenFailure& failure, const struct stat& node) {
    failure.owner = user_name(node.st_uid);
    failure.group = group_name(node.st_gid);
}

// 2400 baud 8N1, raw, no flow control of any kind (a program before us may
// have left hardware flow control on, and a line whose CTS is never raised
// would then send nothing), reads that return at once with what is there
// (the waiting is done by poll()). found receives the settings before.
bool set_line(int fd, termios& found) {
    if (tcgetattr(fd, &found) != 0) return false;
    termios line = found;
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
        const int error = errno;
        fail(failure, error_of_open(error), error);
        if (failure.kind == PortFailure::kNoPermission) name_owner(failure, node);
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
    termios found;
    if (!set_line(fd, found)) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return give_up(PortFailure::kOther, error);
    }
    // DTR and RTS inactive, as the device expects; a pseudo-terminal has
    // no modem lines and refuses this, which does no harm.
    int modem_lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &modem_lines);
    tcflush(fd, TCIOFLUSH);
    return std::make_unique<PosixSerialPort>(fd, found);
}

Clock& system_clock() {
    static MonotonicClock clock;
    return clock;
}

}  // namespace zav::cli
