#include <gtest/gtest.h>

#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

const Bytes kProgramCommandFrame = {0xFF, 0x2E, 0xFE};
const Bytes kBlockZeroRequest = {0x63, 0x00, 0x00, 0x00};

// A record in which every framing byte value occurs.
void fill_record(ConfigImage& image) {
    for (size_t i = 0; i < kRecordBytes; ++i) image.bytes[i] = static_cast<uint8_t>(0xF5 + i * 3);
}

Bytes record_part(const ConfigImage& image, size_t from, size_t length) {
    return Bytes(image.bytes + from, image.bytes + from + length);
}

bool is_command(const Bytes& sent) { return sent == Bytes{kProgramCommand}; }

// Acknowledges the command; acknowledges and confirms every block.
Answer cooperative(const Bytes& sent) {
    if (is_command(sent)) return {say(0xF0)};
    return {say(0xF0), say(0x60)};
}

TEST(ConfigurationProgramming, SendsTheRecordInSevenBlocks) {
    ScriptedDevice device;
    fill_record(device.image);
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(8u, device.sent.size());
    EXPECT_EQ(kProgramCommandFrame, device.sent[0].wire);
    for (uint16_t n = 0; n < 6; ++n)
        EXPECT_EQ(wire_of(block_frame(n, record_part(device.image, n * 16u, 16))), device.sent[1 + n].wire)
            << "block " << n;

    // The last block spelled out: number 0xFFFF, record bytes 96 to 107,
    // four bytes 0xFF, every framing byte escaped.
    Bytes last{0xFF, 0xFD, 0x7F, 0xFD, 0x7F};
    for (size_t i = 96; i < kRecordBytes; ++i) {
        const uint8_t b = device.image.bytes[i];
        if (b > 0xFC) {
            last.push_back(0xFD);
            last.push_back(static_cast<uint8_t>(b & 0x7F));
        } else {
            last.push_back(b);
        }
    }
    for (int i = 0; i < 4; ++i) last.insert(last.end(), {0xFD, 0x7F});
    last.push_back(0xFE);
    EXPECT_EQ(last, device.sent[7].wire);

    // Block 0's start, spelled out: F5 F8 FB FE(escaped) 01 ...
    EXPECT_EQ(Bytes({0xFF, 0x00, 0x00, 0xF5, 0xF8, 0xFB, 0xFD, 0x7E, 0x01}),
              Bytes(device.sent[1].wire.begin(), device.sent[1].wire.begin() + 9));

    EXPECT_EQ(std::vector<uint32_t>({1, 2, 3, 4, 5, 6}), device.progress());
    EXPECT_EQ(kResultWritten, device.result());
    EXPECT_EQ(device.delivered.back().at_ms, device.end_time());
}

TEST(ConfigurationProgramming, WorksFromASnapshotTakenAtTheStart) {
    ScriptedDevice device;
    fill_record(device.image);
    const ConfigImage at_start = device.image;
    device.answer_every_send([&device](const Bytes& sent) {
        for (size_t i = 0; i < kRecordBytes; ++i) device.image.bytes[i] ^= 0x5A;
        return cooperative(sent);
    });
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(8u, device.sent.size());
    for (uint16_t n = 0; n < 6; ++n)
        EXPECT_EQ(block_frame(n, record_part(at_start, n * 16u, 16)), device.sent[1 + n].payload);
    EXPECT_EQ(kResultWritten, device.result());
}

// Block 0 goes unanswered four times, is then asked for by number, and
// goes unanswered four times more: the request starts a fresh count.
TEST(ConfigurationProgramming, ABlockRequestRebuildsTheBlockWithAFreshAttemptCount) {
    ScriptedDevice device;
    fill_record(device.image);
    device.answer({say(0xF0)});
    for (int i = 0; i < 4; ++i) device.answer({});
    device.answer({say(kBlockZeroRequest)});
    for (int i = 0; i < 4; ++i) device.answer({});
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    const Bytes block_zero = wire_of(block_frame(0, record_part(device.image, 0, 16)));
    ASSERT_EQ(1u + 10u + 6u, device.sent.size());
    for (size_t i = 1; i <= 10; ++i) EXPECT_EQ(block_zero, device.sent[i].wire) << "send " << i;
    // The rebuilt block goes out as soon as the request arrives.
    EXPECT_EQ(device.delivered[1].at_ms, device.sent[6].at_ms);
    EXPECT_EQ(kResultWritten, device.result());
    EXPECT_EQ(std::vector<uint32_t>({1, 2, 3, 4, 5, 6}), device.progress());
}

// The wanted number follows one byte of the device's own; a block inside the
// record tells that position from its neighbours.
TEST(ConfigurationProgramming, ARequestForABlockInsideTheRecordSendsThatBlock) {
    ScriptedDevice device;
    fill_record(device.image);
    device.answer({say(0xF0)});
    device.answer({say(Bytes{0x63, 0x00, 0x03, 0x00})});
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(1u + 1u + 4u, device.sent.size());  // command, block 0, blocks 3 to 5 and the last
    EXPECT_EQ(block_frame(3, record_part(device.image, 48, 16)), device.sent[2].payload);
    EXPECT_EQ(kResultWritten, device.result());
}

TEST(ConfigurationProgramming, ARequestBeyondTheRecordGetsTheLastBlockOfPadding) {
    ScriptedDevice device;
    fill_record(device.image);
    device.answer({say(0xF0)});
    device.answer({say(Bytes{0x63, 0x00, 0x07, 0x00})});
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(3u, device.sent.size());
    EXPECT_EQ(block_frame(kLastBlock, Bytes(16, 0xFF)), device.sent[2].payload);
    EXPECT_EQ(kResultWritten, device.result());
    EXPECT_TRUE(device.progress().empty());
}

TEST(ConfigurationProgramming, ARefusalAfterTheAcknowledgementEndsWithRefused) {
    ScriptedDevice device;
    device.answer({say(0xF0)});
    device.answer({say(0xF0), say(0x60)});
    device.answer({say(0xF0), say(0xF1)});
    device.run(kProgramCommand, kProgramBlockLength);

    EXPECT_EQ(3u, device.sent.size());
    EXPECT_EQ(std::vector<uint32_t>({1}), device.progress());
    EXPECT_EQ(kResultRefused, device.result());
    EXPECT_EQ(device.delivered.back().at_ms, device.end_time());
}

TEST(ConfigurationProgramming, AConfirmationWithoutAcknowledgementSendsTheBlockAgain) {
    ScriptedDevice device;
    fill_record(device.image);
    device.answer({say(0xF0)});
    device.answer({say(0x60)});
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(9u, device.sent.size());
    EXPECT_EQ(device.sent[1].wire, device.sent[2].wire);
    EXPECT_EQ(device.delivered[1].at_ms, device.sent[2].at_ms);
    EXPECT_EQ(kResultWritten, device.result());
}

TEST(ConfigurationProgramming, SilenceAfterTheAcknowledgementSendsTheBlockAgain) {
    ScriptedDevice device;
    device.answer({say(0xF0)});
    device.answer({say(0xF0)});
    device.answer_every_send(cooperative);
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(9u, device.sent.size());
    EXPECT_EQ(device.sent[1].wire, device.sent[2].wire);
    EXPECT_EQ(device.delivered[1].at_ms + 1500, device.sent[2].at_ms);
    EXPECT_EQ(kResultWritten, device.result());
}

TEST(ConfigurationProgramming, FiveUnansweredSendsOfABlockFail) {
    ScriptedDevice device;
    device.answer({say(0xF0)});
    device.run(kProgramCommand, kProgramBlockLength);

    ASSERT_EQ(6u, device.sent.size());
    for (size_t i = 2; i < 6; ++i) {
        EXPECT_EQ(device.sent[1].wire, device.sent[i].wire);
        EXPECT_EQ(device.sent[i - 1].at_ms + 1500, device.sent[i].at_ms);
    }
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(device.sent[5].at_ms + 1500, device.end_time());
}

TEST(ConfigurationProgramming, ABlockLengthThatCannotBeFramedSendsNothing) {
    for (uint8_t length : {0, 126, 255}) {
        SCOPED_TRACE(static_cast<int>(length));
        ScriptedDevice device;
        device.answer_every_send(cooperative);
        device.run(kProgramCommand, length);
        EXPECT_TRUE(device.sent.empty());
        EXPECT_EQ(kResultFailed, device.result());
    }
}

}  // namespace
}  // namespace test
}  // namespace zav
