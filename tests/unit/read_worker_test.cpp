#include <gtest/gtest.h>

#include <cstring>

#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

const Bytes kReadCommandFrame = {0xFF, 0x2D, 0xFE};
const Bytes kBlockTakenFrame = {0xFF, 0x60, 0xFE};

// The device's copy: the record, its sum and complement, then two bytes
// that fill the last block. Framing byte values appear among the data.
Bytes device_copy() {
    Bytes copy(112, 0);
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) {
        copy[i] = static_cast<uint8_t>(0xF8 + i * 7);
        sum += copy[i];
    }
    copy[108] = static_cast<uint8_t>(sum);
    copy[109] = static_cast<uint8_t>(255 - copy[108]);
    copy[110] = 0xFE;
    copy[111] = 0xFF;
    return copy;
}

Bytes block_of(const Bytes& copy, size_t index) {
    return Bytes(copy.begin() + static_cast<long>(index * 8), copy.begin() + static_cast<long>(index * 8 + 8));
}

Bytes read_back_of(const ScriptedDevice& device, size_t from, size_t length) {
    return Bytes(device.read_back + from, device.read_back + from + length);
}

// The device sends block 0 after its acknowledgement and each further block
// when the previous one was taken.
void script_good_read(ScriptedDevice& device, const Bytes& copy) {
    device.answer({say(0xF0), say(block_frame(0, block_of(copy, 0)))});
    for (uint16_t n = 1; n <= 12; ++n) device.answer({say(block_frame(n, block_of(copy, n)))});
    device.answer({say(block_frame(kLastBlock, block_of(copy, 13)))});
}

TEST(ConfigurationRead, FetchesThirteenBlocksAndTheLastOne) {
    const Bytes copy = device_copy();
    ScriptedDevice device;
    script_good_read(device, copy);
    device.run(kReadCommand, kReadBlockLength);

    std::vector<Bytes> expected{kReadCommandFrame};
    for (int i = 0; i < 14; ++i) expected.push_back(kBlockTakenFrame);
    EXPECT_EQ(expected, device.sent_wire());

    std::vector<uint32_t> numbers;
    for (uint32_t n = 0; n <= 12; ++n) numbers.push_back(n);
    EXPECT_EQ(numbers, device.progress());
    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(device.delivered.back().at_ms + 500, device.end_time());

    EXPECT_EQ(copy, read_back_of(device, 0, 112));
    EXPECT_TRUE(device_copy_valid(device.read_back));
    EXPECT_EQ(0, device.read_back[112]);
}

TEST(ConfigurationRead, ABlockOutOfOrderIsRequestedAgainAndNotStored) {
    const Bytes first(8, 0x11), stray(8, 0xAA), last(8, 0x22);
    ScriptedDevice device;
    device.answer({say(0xF0), say(block_frame(1, stray))});
    device.answer({say(block_frame(0, first))});
    device.answer({say(block_frame(kLastBlock, last))});
    device.run(kReadCommand, kReadBlockLength);

    ASSERT_EQ(4u, device.sent.size());
    EXPECT_EQ(Bytes({0xFF, 0x63, 0x00, 0x00, 0xFE}), device.sent[1].wire);
    EXPECT_EQ(kBlockTakenFrame, device.sent[2].wire);
    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(std::vector<uint32_t>({0}), device.progress());
    EXPECT_EQ(first, read_back_of(device, 0, 8));
    EXPECT_EQ(last, read_back_of(device, 8, 8));  // where block 1 was expected
}

TEST(ConfigurationRead, TheRequestNamesTheExpectedBlockLittleEndian) {
    ScriptedDevice device;
    device.answer({say(0xF0), say(block_frame(0, Bytes(8, 1)))});
    device.answer({say(block_frame(1, Bytes(8, 2)))});
    device.answer({say(block_frame(7, Bytes(8, 3)))});
    device.run(kReadCommand, kReadBlockLength);

    ASSERT_EQ(4u, device.sent.size());
    EXPECT_EQ(Bytes({0xFF, 0x63, 0x02, 0x00, 0xFE}), device.sent[3].wire);
    EXPECT_EQ(kResultFailed, device.result());
}

TEST(ConfigurationRead, ALastBlockComingFirstIsStoredAtTheStart) {
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    ScriptedDevice device;
    device.answer({say(0xF0), say(block_frame(kLastBlock, data))});
    device.run(kReadCommand, kReadBlockLength);

    EXPECT_EQ(std::vector<Bytes>({kReadCommandFrame, kBlockTakenFrame}), device.sent_wire());
    EXPECT_EQ(data, read_back_of(device, 0, 8));
    EXPECT_TRUE(device.progress().empty());
    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(device.delivered.back().at_ms + 500, device.end_time());
}

// Silences are counted since the command, not since the last block.
TEST(ConfigurationRead, ThreeSilentWaitsBeforeTheLastBlockFailEvenWithBlocksBetween) {
    ScriptedDevice device;
    device.answer({say(0xF0), say_after(600, block_frame(0, Bytes(8, 1)))});
    device.answer({say_after(600, block_frame(1, Bytes(8, 2)))});
    device.answer({say_after(600, block_frame(2, Bytes(8, 3)))});
    device.answer({say(block_frame(kLastBlock, Bytes(8, 4)))});
    device.run(kReadCommand, kReadBlockLength);

    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(std::vector<uint32_t>({0, 1}), device.progress());
    // Silent waits end at 520, 1120 and 1720.
    EXPECT_EQ(1720u, device.end_time());
}

TEST(ConfigurationRead, ARepeatedLastBlockIsStoredAgainAndProlongsTheRead) {
    ScriptedDevice device;
    device.answer({say(0xF0), say(block_frame(0, Bytes(8, 1))), say_after(300, block_frame(kLastBlock, Bytes(8, 5)))});
    device.answer({say(block_frame(kLastBlock, Bytes(8, 4)))});
    device.answer({});
    device.run(kReadCommand, kReadBlockLength);

    EXPECT_EQ(std::vector<Bytes>({kReadCommandFrame, kBlockTakenFrame, kBlockTakenFrame, kBlockTakenFrame}),
              device.sent_wire());
    EXPECT_EQ(Bytes(8, 5), read_back_of(device, 8, 8));
    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(device.delivered.back().at_ms + 500, device.end_time());
}

TEST(ConfigurationRead, NoBlockIsWrittenBeyondTheReadBackBuffer) {
    // 130 blocks of 8 bytes: blocks 128 and 129 would lie past 1024 bytes.
    ScriptedDevice device;
    device.answer({say(0xF0), say(block_frame(0, Bytes(8, 0)))});
    for (uint16_t n = 1; n < 130; ++n) device.answer({say(block_frame(n, Bytes(8, static_cast<uint8_t>(n))))});
    device.answer({say(block_frame(kLastBlock, Bytes(8, 0xEE)))});
    device.run(kReadCommand, kReadBlockLength);

    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(130u, device.progress().size());  // acknowledged and counted all the same
    EXPECT_EQ(Bytes(8, 127), read_back_of(device, 1016, 8));
    for (uint8_t b : device.read_back_guard) ASSERT_EQ(0xA5, b);
}

TEST(ConfigurationRead, ABlockLongerThanAFrameCarriesIsFilledWithZeros) {
    // 200-byte blocks: the fifth straddles the end of the buffer and is
    // dropped whole; frames carry at most 98 data bytes, the rest reads 0.
    const Bytes data(98, 0x5C);
    ScriptedDevice device;
    std::memset(device.read_back, 0x77, sizeof device.read_back);
    device.answer({say(0xF0), say(block_frame(0, data))});
    for (uint16_t n = 1; n <= 5; ++n) device.answer({say(block_frame(n, data))});
    device.answer({say(block_frame(kLastBlock, data))});
    device.run(kReadCommand, 200);

    EXPECT_EQ(kResultRead, device.result());
    EXPECT_EQ(data, read_back_of(device, 0, 98));
    EXPECT_EQ(Bytes(102, 0), read_back_of(device, 98, 102));
    EXPECT_EQ(Bytes(24, 0x77), read_back_of(device, 1000, 24));
    for (uint8_t b : device.read_back_guard) ASSERT_EQ(0xA5, b);
}

TEST(ConfigurationRead, AnUnacknowledgedCommandFailsAfterFiveSends) {
    ScriptedDevice device;
    device.run(kReadCommand, kReadBlockLength);
    EXPECT_EQ(std::vector<Bytes>(5, kReadCommandFrame), device.sent_wire());
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(7500u, device.end_time());
}

}  // namespace
}  // namespace test
}  // namespace zav
