// The tool's single-threaded runner against a scripted device on a virtual
// clock: the same frames, counts and waits as the windowed program's worker
// thread, and a stop when the line goes or nobody answers.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/device/transaction_runner.h"
#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

using cli::LineStatus;
using cli::RunEnd;

// A device behind a serial line: answers the frames written to it as
// scripted, and lets bytes arrive when the virtual clock reaches them.
class ScriptedLine : public cli::SerialLine, public cli::Clock {
public:
    void answer(Answer frames) { answers_.push_back(std::move(frames)); }
    void go_away_at(uint32_t at_ms) { gone_at_ = at_ms; }

    LineStatus write(const uint8_t* bytes, size_t n) override {
        if (gone()) return LineStatus::kGone;
        sent.push_back(SentFrame{now_, Bytes(bytes, bytes + n), {}});
        uint32_t at = now_;
        if (next_answer_ < answers_.size()) {
            for (const Say& frame : answers_[next_answer_]) {
                at += frame.after_ms;
                arriving_.push_back({at, wire_of(frame.payload)});
            }
        }
        ++next_answer_;
        return LineStatus::kOk;
    }

    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        const uint32_t deadline = now_ + timeout_ms;
        if (gone_at_ != 0 && gone_at_ <= deadline) {
            now_ = std::max(now_, gone_at_);
            return LineStatus::kGone;
        }
        if (arriving_.empty() || arriving_.front().at_ms > deadline) {
            now_ = deadline;
            return LineStatus::kTimedOut;
        }
        // Everything that has arrived by then comes in one chunk.
        now_ = std::max(now_, arriving_.front().at_ms);
        Bytes chunk;
        while (!arriving_.empty() && arriving_.front().at_ms <= now_) {
            chunk.insert(chunk.end(), arriving_.front().wire.begin(), arriving_.front().wire.end());
            arriving_.erase(arriving_.begin());
        }
        EXPECT_LE(chunk.size(), size);
        std::memcpy(buffer, chunk.data(), chunk.size());
        count = chunk.size();
        return LineStatus::kOk;
    }

    void discard_pending() override {}
    uint32_t now_ms() override { return now_; }

    std::vector<SentFrame> sent;

private:
    bool gone() const { return gone_at_ != 0 && now_ >= gone_at_; }

    struct Arriving {
        uint32_t at_ms;
        Bytes wire;
    };
    std::vector<Answer> answers_;
    size_t next_answer_ = 0;
    std::vector<Arriving> arriving_;
    uint32_t now_ = 0;
    uint32_t gone_at_ = 0;
};

struct RunnerTest : ::testing::Test {
    ScriptedLine line;
    cli::LinkState link;
    std::vector<uint32_t> progress;
    cli::RunOptions options;

    void SetUp() override {
        cli::reset_link_state(link);
        options.on_progress = [this](uint32_t block) { progress.push_back(block); };
    }

    std::vector<uint32_t> send_times() const {
        std::vector<uint32_t> times;
        for (const SentFrame& frame : line.sent) times.push_back(frame.at_ms);
        return times;
    }
};

TEST_F(RunnerTest, AGoodReadFetchesEveryBlockAndEndsAfterHalfASecondOfSilence) {
    Bytes copy(112, 0);
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += copy[i] = static_cast<uint8_t>(0xF9 + i * 3);
    copy[108] = static_cast<uint8_t>(sum);
    copy[109] = static_cast<uint8_t>(255 - copy[108]);
    auto block = [&](size_t n) { return Bytes(copy.begin() + 8 * n, copy.begin() + 8 * n + 8); };
    line.answer({say(0xF0), say(block_frame(0, block(0)))});
    for (uint16_t n = 1; n <= 12; ++n) line.answer({say(block_frame(n, block(n)))});
    line.answer({say(block_frame(kLastBlock, block(13)))});

    const cli::RunOutcome outcome = cli::run_transaction(line, line, link, {kReadCommand, kReadBlockLength}, options);

    EXPECT_EQ(RunEnd::kFinished, outcome.end);
    EXPECT_EQ(kResultRead, outcome.result);
    EXPECT_EQ(0, std::memcmp(copy.data(), link.read_back, 110));
    ASSERT_EQ(15u, line.sent.size());  // the command and fourteen acknowledgements
    EXPECT_EQ(Bytes({0xFF, 0x2D, 0xFE}), line.sent[0].wire);
    for (size_t i = 1; i < line.sent.size(); ++i) EXPECT_EQ(Bytes({0xFF, 0x60, 0xFE}), line.sent[i].wire);
    std::vector<uint32_t> blocks;
    for (uint32_t n = 0; n <= 12; ++n) blocks.push_back(n);
    EXPECT_EQ(blocks, progress);
    EXPECT_EQ(line.sent.back().at_ms + 500, line.now_ms());
}

TEST_F(RunnerTest, ASilentDeviceGetsFiveCommandsOneAndAHalfSecondsApart) {
    const cli::RunOutcome outcome = cli::run_transaction(line, line, link, {kIdentifyCommand, 0}, options);
    EXPECT_EQ(RunEnd::kFinished, outcome.end);
    EXPECT_EQ(kResultFailed, outcome.result);
    EXPECT_EQ(std::vector<uint32_t>({0, 1500, 3000, 4500, 6000}), send_times());
    EXPECT_EQ(7500u, line.now_ms());
}

TEST_F(RunnerTest, FramesInOneChunkReachTheMachineOneByOne) {
    // Acknowledgement and setup block in one read: both must be handled.
    const Bytes setup = {0x3F, 0x05, 0x12, 0x04, 0xFD};
    line.answer({say(0xF0), Say{0, setup, false}});
    const cli::RunOutcome outcome = cli::run_transaction(line, line, link, {kIdentifyCommand, 0}, options);
    EXPECT_EQ(kResultIdentified, outcome.result);
    EXPECT_EQ(0, std::memcmp(setup.data(), link.image.bytes + kSetupBlock, setup.size()));
}

TEST_F(RunnerTest, ALookForADeviceGivesUpOnlyAfterItsSendsAndTheirWaits) {
    // A look of two sends: the machine's own resend after three silent
    // waits, then three more, and only then is nobody there.
    options.give_up_unanswered_sends = 2;
    const cli::RunOutcome outcome = cli::run_transaction(line, line, link, {kIdentifyCommand, 0}, options);
    EXPECT_EQ(RunEnd::kUnanswered, outcome.end);
    EXPECT_FALSE(outcome.heard);
    EXPECT_EQ(std::vector<uint32_t>({0, 1500}), send_times());
    EXPECT_EQ(3000u, line.now_ms());

    // One command lost on the way: the resend within the same look finds
    // the device.
    ScriptedLine lossy;
    lossy.answer({});
    lossy.answer({say(0xF0), say(Bytes{0x3F, 0x05, 0x12, 0x04, 0x02})});
    const cli::RunOutcome found = cli::run_transaction(lossy, lossy, link, {kIdentifyCommand, 0}, options);
    EXPECT_EQ(kResultIdentified, found.result);
    EXPECT_TRUE(found.heard);

    // An answer, however late within the look, lets the transaction run on.
    options.give_up_unanswered_sends = 1;
    ScriptedLine late;
    late.answer({say_after(1400, Bytes{0xF0}), say_after(900, Bytes{0x3F, 0x05, 0x12, 0x04, 0x02})});
    EXPECT_EQ(kResultIdentified, cli::run_transaction(late, late, link, {kIdentifyCommand, 0}, options).result);
}

TEST_F(RunnerTest, ALineThatGoesAwayStopsTheMachine) {
    line.answer({say(0xF0)});
    line.go_away_at(2000);
    const cli::RunOutcome outcome = cli::run_transaction(line, line, link, {kProgramCommand, kProgramBlockLength}, options);
    EXPECT_EQ(RunEnd::kLineGone, outcome.end);
    EXPECT_EQ(2000u, line.now_ms());
}

}  // namespace
}  // namespace test
}  // namespace zav
