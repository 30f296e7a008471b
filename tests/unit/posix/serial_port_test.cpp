#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/platform/interrupt.h"
#include "cli/platform/serial_port.h"

namespace zav::cli {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t ms_since(uint32_t start) { return system_clock().now_ms() - start; }

// A pseudo-terminal: the port opens its slave side, the test plays the
// device on the master side.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
    }
    ~Pty() { hang_up(); }

    const std::string& slave() const { return slave_; }
    int master() const { return master_; }

    void hang_up() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    void send(const Bytes& bytes) { ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(master_, bytes.data(), bytes.size())); }

    // What reaches the device side until n bytes are there or ms have passed.
    Bytes receive(size_t n, uint32_t ms) {
        Bytes got;
        const uint32_t started = system_clock().now_ms();
        while (got.size() < n && ms_since(started) < ms) {
            pollfd device = {master_, POLLIN, 0};
            if (poll(&device, 1, static_cast<int>(ms - ms_since(started))) <= 0) continue;
            uint8_t buffer[64];
            const ssize_t count = read(master_, buffer, sizeof buffer);
            if (count <= 0) break;
            got.insert(got.end(), buffer, buffer + count);
        }
        return got;
    }

private:
    int master_ = -1;
    std::string slave_;
};

PortFailure open_error(const std::string& path) {
    PortOpenFailure failure;
    const auto line = open_serial_port(path, failure);
    return line ? PortFailure::kNone : failure.kind;
}

std::unique_ptr<SerialLine> open_port(const Pty& pty) {
    PortOpenFailure failure;
    auto line = open_serial_port(pty.slave(), failure);
    EXPECT_TRUE(line) << "open " << pty.slave() << ": " << failure.detail;
    return line;
}

// What the port hands over within ms, read as the transaction runner reads.
Bytes read_for(SerialLine& line, size_t n, uint32_t ms) {
    Bytes got;
    const uint32_t started = system_clock().now_ms();
    while (got.size() < n && ms_since(started) < ms) {
        uint8_t buffer[256];
        size_t count = 0;
        if (line.read(buffer, sizeof buffer, ms - ms_since(started), count) != LineStatus::kOk) break;
        got.insert(got.end(), buffer, buffer + count);
    }
    return got;
}

TEST(SerialPortPosix, OneProgramAtATimeAndFreeAgainAfterClosing) {
    Pty pty;
    auto first = open_port(pty);
    ASSERT_TRUE(first);
    EXPECT_EQ(PortFailure::kBusy, open_error(pty.slave()));
    first.reset();
    EXPECT_TRUE(open_port(pty));
}

TEST(SerialPortPosix, WhatIsNoSerialLineIsToldApart) {
    EXPECT_EQ(PortFailure::kMissing, open_error("/dev/zav-no-such-port"));
    EXPECT_EQ(PortFailure::kMissing, open_error("/nonexistent/ttyUSB0"));
    char file[] = "/tmp/zav_not_a_port_XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(PortFailure::kNotSerial, open_error(file));
    unlink(file);
    EXPECT_EQ(PortFailure::kNotSerial, open_error("/dev/null"));  // a device, but no tty
}

TEST(SerialPortPosix, CarriesEveryByteUnchangedAt2400_8N1) {
    Pty pty;
    auto line = open_port(pty);
    ASSERT_TRUE(line);

    // The master shows the slave's settings.
    termios settings;
    ASSERT_EQ(0, tcgetattr(pty.master(), &settings));
    EXPECT_EQ(B2400, cfgetospeed(&settings));
    EXPECT_EQ(B2400, cfgetispeed(&settings));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(0u, settings.c_iflag & (IXON | IXOFF));

    // Interrupt, line end, XON/XOFF, delete, frame bytes: a cooked tty
    // would turn these into signals, newlines or flow control, and echo them.
    const Bytes from_device = {0x03, 0x0D, 0x11, 0x13, 0x0A, 0x7F, 0xFF, 0x00, 0x1A, 0xFE};
    pty.send(from_device);
    EXPECT_EQ(from_device, read_for(*line, from_device.size(), 2000));

    const Bytes to_device = {0x0A, 0x0D, 0xFF, 0x2B, 0xFE, 0x11};
    ASSERT_EQ(LineStatus::kOk, line->write(to_device.data(), to_device.size()));
    EXPECT_EQ(to_device, pty.receive(to_device.size() + 1, 300));
}

TEST(SerialPortPosix, ASilentLineTimesOutAfterTheTimeGiven) {
    Pty pty;
    auto line = open_port(pty);
    ASSERT_TRUE(line);
    uint8_t buffer[16];
    size_t count = 99;
    const uint32_t started = system_clock().now_ms();
    EXPECT_EQ(LineStatus::kTimedOut, line->read(buffer, sizeof buffer, 200, count));
    const uint32_t waited = ms_since(started);
    EXPECT_GE(waited, 200u);
    EXPECT_LT(waited, 1200u);
    EXPECT_EQ(0u, count);
}

TEST(SerialPortPosix, AHungUpLineIsGoneAtOnceEveryTime) {
    Pty pty;
    auto line = open_port(pty);
    ASSERT_TRUE(line);
    pty.hang_up();
    for (int attempt = 0; attempt < 3; ++attempt) {
        uint8_t buffer[16];
        size_t count = 0;
        const uint32_t started = system_clock().now_ms();
        EXPECT_EQ(LineStatus::kGone, line->read(buffer, sizeof buffer, 2000, count)) << "attempt " << attempt;
        EXPECT_LT(ms_since(started), 500u) << "attempt " << attempt;
        const uint8_t frame[] = {0xFF, 0x2B, 0xFE};
        EXPECT_EQ(LineStatus::kGone, line->write(frame, sizeof frame)) << "attempt " << attempt;
    }
}

// Raises SIGINT once, after ms.
bool ctrl_c_in(timer_t timer, long ms) {
    itimerspec when = {};
    when.it_value.tv_sec = ms / 1000;
    when.it_value.tv_nsec = (ms % 1000) * 1000000L;
    return timer_settime(timer, 0, &when, nullptr) == 0;
}

uint32_t cpu_ms() {
    timespec used;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<uint32_t>(used.tv_sec * 1000 + used.tv_nsec / 1000000);
}

// Run in a child process: the handler and the count stay with it.
std::string ctrl_c_problems(const std::string& port) {
    install_interrupt_handler();
    PortOpenFailure failure;
    auto line = open_serial_port(port, failure);
    if (!line) return "open: " + failure.detail;
    sigevent signal_event = {};
    signal_event.sigev_notify = SIGEV_SIGNAL;
    signal_event.sigev_signo = SIGINT;
    timer_t timer;
    if (timer_create(CLOCK_MONOTONIC, &signal_event, &timer) != 0) return "timer_create failed";

    uint8_t buffer[16];
    size_t count = 0;
    set_interrupt_stops_at_once(false);
    if (!ctrl_c_in(timer, 100)) return "timer_settime failed";
    uint32_t started = system_clock().now_ms();
    const uint32_t cpu_started = cpu_ms();
    LineStatus status = line->read(buffer, sizeof buffer, 400, count);
    if (interrupt_count() != 1) return "the first Ctrl+C was not counted";
    if (status != LineStatus::kTimedOut) return "the first Ctrl+C of a series ended the read";
    if (ms_since(started) < 400) return "the first Ctrl+C of a series cut the read short";
    if (cpu_ms() - cpu_started > 100) return "the read spun after the first Ctrl+C";

    if (!ctrl_c_in(timer, 100)) return "timer_settime failed";
    started = system_clock().now_ms();
    status = line->read(buffer, sizeof buffer, 5000, count);
    if (status != LineStatus::kInterrupted) return "the second Ctrl+C did not stop the read";
    if (ms_since(started) > 2000) return "the second Ctrl+C stopped the read only at its time-out";
    return "";
}

TEST(SerialPortPosix, FirstCtrlCOfASeriesLetsTheReadWaitTheSecondStopsIt) {
    Pty pty;
    ASSERT_FALSE(pty.slave().empty());
    EXPECT_EXIT(
        {
            const std::string problem = ctrl_c_problems(pty.slave());
            std::fputs(problem.c_str(), stderr);
            std::_Exit(problem.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace zav::cli
