// The line's self-test against a loop on a virtual clock: what comes back
// lost, changed or slow is told apart, and silence is never a pass.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "cli/device/loop_test.h"

namespace zav::cli {
namespace {

using Bytes = std::vector<uint8_t>;

// A loop plug whose line may drop or change bytes: every byte written
// comes back one byte time after the one before.
class Loop final : public SerialLine, public Clock {
public:
    double byte_ms = kByteTimeMs;
    // What the line does to the byte at this position of everything
    // written; false drops it.
    std::function<bool(size_t position, uint8_t& byte)> line = [](size_t, uint8_t&) { return true; };
    Bytes written;

    LineStatus write(const uint8_t* bytes, size_t n) override {
        double at = now_;
        for (size_t i = 0; i < n; ++i) {
            at += byte_ms;
            uint8_t byte = bytes[i];
            if (line(written.size(), byte)) coming_.push_back({at, byte});
            written.push_back(bytes[i]);
        }
        now_ = at;  // the write returns once its bytes are out
        return LineStatus::kOk;
    }
    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        count = 0;
        const double deadline = now_ + timeout_ms;
        if (coming_.empty() || coming_.front().at > deadline) {
            now_ = deadline;
            return LineStatus::kTimedOut;
        }
        if (coming_.front().at > now_) now_ = coming_.front().at;
        while (count < size && !coming_.empty() && coming_.front().at <= now_) {
            buffer[count++] = coming_.front().byte;
            coming_.erase(coming_.begin());
        }
        return LineStatus::kOk;
    }
    void discard_pending() override {
        while (!coming_.empty() && coming_.front().at <= now_) coming_.erase(coming_.begin());
    }
    uint32_t now_ms() override { return static_cast<uint32_t>(now_); }

private:
    struct Coming {
        double at;
        uint8_t byte;
    };
    std::vector<Coming> coming_;
    double now_ = 0;
};

constexpr size_t kProbeBytes = 3;

TEST(LoopTest, PassesOnlyAWholeLoopAtTheRightSpeedAndSaysWhatFailed) {
    Loop good;
    LoopFindings found = test_loop(good, good);
    EXPECT_EQ(LoopVerdict::kOk, found.verdict);
    EXPECT_EQ(256u, found.bytes_back);
    EXPECT_NEAR(kByteTimeMs, found.byte_time_ms, 0.05);

    Loop lossy;  // a driver that loses every 50th byte
    lossy.line = [](size_t position, uint8_t&) { return position < kProbeBytes || (position - kProbeBytes) % 50 != 0; };
    found = test_loop(lossy, lossy);
    EXPECT_EQ(LoopVerdict::kBytesLost, found.verdict);
    EXPECT_EQ(250u, found.bytes_back);

    Loop garbling;  // a cable that drops bit 7
    garbling.line = [](size_t position, uint8_t& byte) {
        if (position >= kProbeBytes) byte &= 0x7F;
        return true;
    };
    found = test_loop(garbling, garbling);
    EXPECT_EQ(LoopVerdict::kWrongBytes, found.verdict);
    EXPECT_EQ(128u, found.wrong_bytes);
    EXPECT_EQ(0x80, found.first_wrong);
    EXPECT_EQ(0x00, found.first_wrong_back);

    Loop slow;
    slow.byte_ms = 2 * kByteTimeMs;  // 1200 baud
    found = test_loop(slow, slow);
    EXPECT_EQ(LoopVerdict::kWrongSpeed, found.verdict);
    EXPECT_NEAR(2 * kByteTimeMs, found.byte_time_ms, 0.1);
}

TEST(LoopTest, SilenceFailsAfterTheDeviceWasAskedAndNothingButTheIdentificationWent) {
    Loop cut;  // a broken cable: nothing comes back
    cut.line = [](size_t, uint8_t&) { return false; };
    const LoopFindings found = test_loop(cut, cut);
    EXPECT_EQ(LoopVerdict::kNoEcho, found.verdict);
    // The probe no ZAV 160 takes for a frame, then the identification.
    EXPECT_EQ((Bytes{0x00, 0x55, 0xAA, 0xFF, 0x2B, 0xFE}), cut.written);
}

}  // namespace
}  // namespace zav::cli
