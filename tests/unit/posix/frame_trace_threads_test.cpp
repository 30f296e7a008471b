// The trace shared by the ports of several threads: every line whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/device/frame_trace.h"

namespace zav::cli {
namespace {

// Hands the system one byte at a time and lets other threads run in
// between, as a slow disk or a full pipe can: only the trace's lock keeps
// the lines of two threads apart.
class BytewiseSink final : public TraceSink {
public:
    explicit BytewiseSink(int fd) : fd_(fd) {}
    bool write(const std::string& utf8, std::string&) override {
        for (const char c : utf8) {
            if (::write(fd_, &c, 1) != 1) return false;
            sched_yield();
        }
        return true;
    }

private:
    int fd_;
};

TEST(FrameTraceThreads, TwoPortsOnTwoThreadsWriteWholeLines) {
    char path[] = "/tmp/zav_trace_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    {
        FrameTrace trace(std::make_unique<BytewiseSink>(fd));
        auto port = [&trace](const char* name) {
            const uint8_t block[] = {0xFF, 0x00, 0x00, 0x41, 0x42, 0xFE};
            for (uint32_t i = 0; i < 200; ++i) {
                trace.event(name, i, trace_event::kSent, block, sizeof block, "Programmierblock 0");
            }
        };
        std::thread first(port, "ttyUSB0");
        std::thread second(port, "ttyUSB1");
        first.join();
        second.join();
        EXPECT_EQ("", trace.error());
    }
    close(fd);
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    unlink(path);

    const std::regex event(" *\\d+ ttyUSB[01] pc>dev FF 00 00 41 42 FE \\| Programmierblock 0");
    std::istringstream lines(text.str());
    int events = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#' || line == kTraceFormatLine) continue;
        EXPECT_TRUE(std::regex_match(line, event)) << line;
        ++events;
    }
    EXPECT_EQ(400, events);
}

}  // namespace
}  // namespace zav::cli
