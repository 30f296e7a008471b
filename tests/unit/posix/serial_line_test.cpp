// The Linux serial line between two transactions and while a frame leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "cli/platform/posix/line_drain.h"
#include "cli/platform/serial_port.h"

namespace zav::cli {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t ms_since(uint32_t start) { return system_clock().now_ms() - start; }

// Bytes written to fd, after 10 ms of silence or ms in all.
Bytes drained(int fd, uint32_t ms) {
    Bytes got;
    const uint32_t started = system_clock().now_ms();
    while (ms_since(started) < ms) {
        pollfd readable = {fd, POLLIN, 0};
        if (poll(&readable, 1, got.empty() ? static_cast<int>(ms - ms_since(started)) : 10) <= 0) break;
        uint8_t buffer[64];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) break;
        got.insert(got.end(), buffer, buffer + count);
    }
    return got;
}

TEST(SerialLinePosix, ANewTransactionDropsWhatCameBeforeButNotTheFrameStillOnItsWayOut) {
    const int device = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(device, 0);
    ASSERT_EQ(0, grantpt(device));
    ASSERT_EQ(0, unlockpt(device));
    const std::string name = ptsname(device);
    // A second opening of the terminal, to see what waits in its input.
    const int watcher = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    PortOpenFailure failure;
    auto line = open_serial_port(name, failure);
    ASSERT_TRUE(line) << failure.detail;

    // A late answer of the transaction before is waiting to be read ...
    const uint8_t stale[] = {0xFF, 0xF0, 0xFE};
    ASSERT_EQ(3, write(device, stale, sizeof stale));
    const uint32_t sent = system_clock().now_ms();
    int waiting = 0;
    while (ioctl(watcher, FIONREAD, &waiting) == 0 && waiting < 3 && ms_since(sent) < 5000) usleep(1000);
    ASSERT_EQ(3, waiting);
    // ... and the accepting 0xF0 of an identification has just been sent.
    const Bytes accepted = {0xFF, 0xF0, 0xFE};
    ASSERT_EQ(LineStatus::kOk, line->write(accepted.data(), accepted.size()));

    line->discard_pending();
    EXPECT_EQ(accepted, drained(device, 2000));
    uint8_t buffer[16];
    size_t count = 0;
    EXPECT_EQ(LineStatus::kTimedOut, line->read(buffer, sizeof buffer, 100, count));
    line.reset();
    close(watcher);
    close(device);
}

// A socket's send queue stands in for an adapter's: its bytes stay queued
// until the other end takes them.
TEST(SerialLinePosix, AWriteWaitsUntilTheBytesHaveLeftButNotForEver) {
    int ends[2];
    ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, ends));
    const uint8_t frame[] = {0xFF, 0x2B, 0xFE};

    ASSERT_EQ(3, write(ends[0], frame, sizeof frame));
    uint32_t started = system_clock().now_ms();
    std::thread slow_device([&] {
        usleep(150 * 1000);
        uint8_t taken[8];
        EXPECT_EQ(3, read(ends[1], taken, sizeof taken));
    });
    EXPECT_EQ(LineStatus::kOk, wait_until_sent(ends[0], 5000));
    const uint32_t waited = ms_since(started);
    slow_device.join();
    EXPECT_GE(waited, 150u);
    EXPECT_LT(waited, 4000u);

    // An adapter that never sends: given up at the time allowed.
    ASSERT_EQ(3, write(ends[0], frame, sizeof frame));
    started = system_clock().now_ms();
    EXPECT_EQ(LineStatus::kTimedOut, wait_until_sent(ends[0], 200));
    EXPECT_GE(ms_since(started), 200u);
    EXPECT_LT(ms_since(started), 2000u);
    close(ends[0]);
    close(ends[1]);
}

}  // namespace
}  // namespace zav::cli
