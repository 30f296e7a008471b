#include <gtest/gtest.h>

#include <cstring>

#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

const Bytes kSetupWriteCommandFrame = {0xFF, 0x2A, 0xFE};
const uint8_t kEditedSetup[kSetupBlockBytes] = {0x3F, 0x05, 0x12, 0x04, 0xFD};

void put_setup(ScriptedDevice& device) { std::memcpy(device.image.bytes + kSetupBlock, kEditedSetup, sizeof kEditedSetup); }

TEST(SetupWrite, SendsTheFiveSetupBytesEscaped) {
    ScriptedDevice device;
    put_setup(device);
    device.answer({say(0xF0)});
    device.answer({say(0xF0), say(0x61)});
    device.run(kSetupWriteCommand);

    EXPECT_EQ(std::vector<Bytes>({kSetupWriteCommandFrame, {0xFF, 0x3F, 0x05, 0x12, 0x04, 0xFD, 0x7D, 0xFE}}),
              device.sent_wire());
    EXPECT_EQ(kResultWritten, device.result());
    EXPECT_EQ(device.delivered.back().at_ms, device.end_time());
    EXPECT_TRUE(device.progress().empty());
}

TEST(SetupWrite, TakesTheSetupBytesWhenItBuildsTheFrame) {
    ScriptedDevice device;
    put_setup(device);
    device.answer_every_send([&device](const Bytes& sent) -> Answer {
        if (sent == Bytes{kSetupWriteCommand}) {
            device.image.bytes[kSetupByte1] = 0x21;  // before the acknowledgement
            return {say(0xF0)};
        }
        return {say(0xF0), say(0x60)};
    });
    device.run(kSetupWriteCommand);

    ASSERT_EQ(2u, device.sent.size());
    EXPECT_EQ(Bytes({0x21, 0x05, 0x12, 0x04, 0xFD}), device.sent[1].payload);
    EXPECT_EQ(kResultWritten, device.result());
}

TEST(SetupWrite, ARefusalAfterTheAcknowledgementEndsWithRefused) {
    ScriptedDevice device;
    put_setup(device);
    device.answer({say(0xF0)});
    device.answer({say(0xF0), say(0xF1)});
    device.run(kSetupWriteCommand);

    EXPECT_EQ(2u, device.sent.size());
    EXPECT_EQ(kResultRefused, device.result());
}

TEST(SetupWrite, AnythingButTheAcknowledgementSendsTheFrameAgain) {
    ScriptedDevice device;
    put_setup(device);
    device.answer({say(0xF0)});
    device.answer({say(0x60)});
    device.answer({say(0xF0), say(0x60)});
    device.run(kSetupWriteCommand);

    ASSERT_EQ(3u, device.sent.size());
    EXPECT_EQ(device.sent[1].wire, device.sent[2].wire);
    EXPECT_EQ(kResultWritten, device.result());
}

TEST(SetupWrite, FiveUnansweredSendsFail) {
    ScriptedDevice device;
    put_setup(device);
    device.answer({say(0xF0)});
    device.run(kSetupWriteCommand);

    ASSERT_EQ(6u, device.sent.size());
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(device.sent[1].wire, device.sent[i].wire);
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(device.sent[5].at_ms + 1500, device.end_time());
}

}  // namespace
}  // namespace test
}  // namespace zav
