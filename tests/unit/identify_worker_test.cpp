#include <gtest/gtest.h>

#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

const Bytes kIdentify = {0xFF, 0x2B, 0xFE};
const Bytes kAccepted = {0xFF, 0xF0, 0xFE};
const Bytes kRejected = {0xFF, 0xF1, 0xFE};
// Version 4.x with a minor byte that must travel escaped.
const Bytes kSetupBlockOfDevice = {0x3F, 0x05, 0x12, 0x04, 0xFD};

Bytes setup_block_in(const ScriptedDevice& device) {
    return Bytes(device.image.bytes + kSetupBlock, device.image.bytes + kSetupBlock + kSetupBlockBytes);
}

TEST(Identification, AcceptsAndStoresTheSetupBlock) {
    ScriptedDevice device;
    device.answer({say(0xF0), say(kSetupBlockOfDevice)});
    device.run(kIdentifyCommand);

    EXPECT_EQ(std::vector<Bytes>({kIdentify, kAccepted}), device.sent_wire());
    EXPECT_EQ(kSetupBlockOfDevice, setup_block_in(device));
    EXPECT_EQ(kResultIdentified, device.result());
    EXPECT_EQ(1u, device.end_messages());
    EXPECT_EQ(device.sent[1].at_ms, device.end_time());
    // Only the setup block is the machine's to write.
    for (size_t i = 0; i < kRecordBytes; ++i) ASSERT_EQ(0xFF, device.image.bytes[i]);
}

TEST(Identification, ASilentDeviceGetsFiveCommandsThenFailure) {
    ScriptedDevice device;
    device.run(kIdentifyCommand);

    EXPECT_EQ(std::vector<Bytes>(5, kIdentify), device.sent_wire());
    EXPECT_EQ(std::vector<uint32_t>({0, 1500, 3000, 4500, 6000}), device.send_times());
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(7500u, device.end_time());
}

TEST(Identification, ARefusedCommandIsSentAgainAtOnceFiveTimesAtMost) {
    ScriptedDevice device;
    device.answer_every_send([](const Bytes&) { return Answer{say(0xF1)}; });
    device.run(kIdentifyCommand);

    ASSERT_EQ(std::vector<Bytes>(5, kIdentify), device.sent_wire());
    ASSERT_EQ(5u, device.delivered.size());
    for (size_t i = 1; i < device.sent.size(); ++i)
        EXPECT_EQ(device.delivered[i - 1].at_ms, device.sent[i].at_ms) << "send " << i;
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(device.delivered.back().at_ms, device.end_time());
}

TEST(Identification, SixMisshapenBlocksAreRefusedAndTheSeventhAttemptStillCounts) {
    const Bytes misshapen[] = {{1, 2, 3, 4}, {1, 2, 3, 4, 5, 6}, {}, {0x2B}, {1, 2, 3, 4}, {9, 9, 9, 9, 9, 9}};

    ScriptedDevice device;
    device.answer({say(0xF0), say(misshapen[0])});
    for (size_t i = 1; i < 6; ++i) device.answer({say(misshapen[i])});
    device.answer({say(kSetupBlockOfDevice)});
    device.run(kIdentifyCommand);

    std::vector<Bytes> expected{kIdentify};
    for (int i = 0; i < 6; ++i) expected.push_back(kRejected);
    expected.push_back(kAccepted);
    EXPECT_EQ(expected, device.sent_wire());
    EXPECT_EQ(kResultIdentified, device.result());
    EXPECT_EQ(kSetupBlockOfDevice, setup_block_in(device));
}

TEST(Identification, TheSeventhMisshapenBlockEndsItAndLeavesTheImageAlone) {
    ScriptedDevice device;
    device.answer({say(0xF0), say(Bytes{1, 2, 3, 4})});
    for (int i = 1; i < 7; ++i) device.answer({say(Bytes{1, 2, 3, 4, 5, 6})});
    device.answer({say(kSetupBlockOfDevice)});  // too late
    device.run(kIdentifyCommand);

    std::vector<Bytes> expected{kIdentify};
    for (int i = 0; i < 7; ++i) expected.push_back(kRejected);
    EXPECT_EQ(expected, device.sent_wire());
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(device.sent.back().at_ms, device.end_time());
    EXPECT_EQ(Bytes(5, 0), setup_block_in(device));
}

// The silences counted while the acknowledgement was awaited go on
// counting: the device has 4.5 s to 5.5 s after its acknowledgement.
TEST(Identification, SilenceAfterTheAcknowledgementFailsWithin4_5To5_5Seconds) {
    ScriptedDevice prompt;
    prompt.answer({say(0xF0)});
    prompt.run(kIdentifyCommand);
    EXPECT_EQ(kResultFailed, prompt.result());
    EXPECT_EQ(1u, prompt.sent.size());
    EXPECT_EQ(prompt.delivered[0].at_ms + 5500, prompt.end_time());

    ScriptedDevice late;
    late.answer({say_after(1200, 0xF0)});  // after two silent waits
    late.run(kIdentifyCommand);
    EXPECT_EQ(kResultFailed, late.result());
    EXPECT_EQ(1u, late.sent.size());
    EXPECT_EQ(late.delivered[0].at_ms + 4500, late.end_time());

    // One wait less of silence is still in time.
    ScriptedDevice in_time;
    in_time.answer({say(0xF0), say_after(5499, kSetupBlockOfDevice)});
    in_time.run(kIdentifyCommand);
    EXPECT_EQ(kResultIdentified, in_time.result());
}

TEST(Identification, AFrameArrivingAsTheWaitTimesOutIsNotLost) {
    // Ten silent waits after the acknowledgement; the eleventh would end
    // the transaction, but the block lands just as it times out.
    ScriptedDevice device;
    device.answer({say(0xF0), say_as_wait_times_out(5500, kSetupBlockOfDevice)});
    device.run(kIdentifyCommand);

    EXPECT_EQ(kResultIdentified, device.result());
    EXPECT_EQ(kSetupBlockOfDevice, setup_block_in(device));
    EXPECT_EQ(device.delivered[0].at_ms + 5500, device.end_time());
}

TEST(Identification, AFrameArrivingAsTheWaitForTheAcknowledgementTimesOutIsNotLost) {
    ScriptedDevice device;
    device.answer({say_as_wait_times_out(1500, Bytes{0xF0}), say(kSetupBlockOfDevice)});
    device.run(kIdentifyCommand);

    EXPECT_EQ(1u + 1u, device.sent.size());  // the command once, then the acceptance
    EXPECT_EQ(kResultIdentified, device.result());
}

// Until the block comes the machine waits; what a block arriving after the
// stop must not do is the worker thread's to prevent.
TEST(Identification, StoppedWhileAwaitingTheBlockItHasPostedAndStoredNothing) {
    ScriptedDevice device;
    device.answer({say(0xF0), say_after(3000, kSetupBlockOfDevice)});
    device.stop_at(2000);
    device.run(kIdentifyCommand);

    EXPECT_TRUE(device.stopped);
    EXPECT_EQ(3u, device.shared.transaction_state);  // awaiting the setup block
    EXPECT_TRUE(device.posts.empty());
    EXPECT_EQ(Bytes(5, 0), setup_block_in(device));
}

}  // namespace
}  // namespace test
}  // namespace zav
