// The virtual device is the counterpart of every end-to-end test, so its
// answers must be what a real ZAV 160 sends; a fault here would hide or fake
// faults in the program.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/device.h"

namespace zav::sim {
namespace {

using Frame = std::vector<uint8_t>;

// Plays the program's side of the line: encodes what it sends, decodes what
// the device answers (with its own codec instances, like the real program).
struct Line {
    Device device;
    SharedState program_state;
    FrameBuffers program_frames;
    std::vector<Frame> answers;

    Line() {
        device_init(device);
        clear_shared_state(program_state);
        std::memset(&program_frames, 0, sizeof program_frames);
    }

    static void collect(void* context) {
        Line& line = *static_cast<Line*>(context);
        const uint8_t* slot = take_frame(line.program_frames.ring);
        line.answers.emplace_back(slot + 1, slot + 1 + slot[0]);
    }

    // Sends one frame, optionally one byte at a time, and returns the frames
    // the device answered with.
    std::vector<Frame> send(const Frame& payload, bool byte_by_byte = false) {
        uint8_t wire[64];
        size_t n = encode_frame(payload.data(), payload.size(), wire);
        if (byte_by_byte) {
            for (size_t i = 0; i < n; ++i) device_receive(device, wire + i, 1);
        } else {
            device_receive(device, wire, n);
        }
        answers.clear();
        decode_bytes(program_state, program_frames, device.output, device.output_length, collect, this);
        device.output_length = 0;
        return answers;
    }

    // A full read as the program does it: returns the 110 bytes and the
    // block numbers in the order they came.
    std::vector<uint8_t> read(std::vector<uint32_t>* order = nullptr) {
        std::vector<uint8_t> data(112, 0);
        std::vector<Frame> frames = send({'-'});
        EXPECT_GE(frames.size(), 2u);
        EXPECT_EQ(Frame{0xF0}, frames[0]);
        uint32_t expected = 0;
        Frame block = frames[1];
        for (int guard = 0; guard < 40; ++guard) {
            uint32_t number = block[0] | block[1] << 8;
            if (order) order->push_back(number);
            std::vector<Frame> next;
            if (number == expected || number == kLastBlock) {
                EXPECT_EQ(10u, block.size());
                std::memcpy(&data[expected * 8], &block[2], 8);
                next = send({0x60});
                if (number == kLastBlock) {
                    EXPECT_TRUE(next.empty());
                    data.resize(110);
                    return data;
                }
                ++expected;
            } else {
                next = send({0x63, static_cast<uint8_t>(expected), 0});
            }
            if (next.size() != 1) {
                ADD_FAILURE() << "device stopped sending";
                return {};
            }
            block = next[0];
        }
        ADD_FAILURE() << "read did not end";
        return {};
    }

    static Frame program_block(uint32_t number, const uint8_t* record) {
        Frame block = {static_cast<uint8_t>(number & 0xFF), static_cast<uint8_t>(number >> 8)};
        size_t position = number == kLastBlock ? 96 : number * 16;
        for (size_t i = 0; i < 16; ++i) block.push_back(position + i < 108 ? record[position + i] : 0xFF);
        return block;
    }
};

TEST(SimCheckByte, MatchesTheWorkedValues) {
    EXPECT_EQ(0x00, setup_check(0x00, 0x00));
    EXPECT_EQ(0x21, setup_check(0x01, 0x00));
    EXPECT_EQ(0x39, setup_check(0x1F, 0x00));
    EXPECT_EQ(0x4B, setup_check(0x80, 0x00));
    EXPECT_EQ(0x37, setup_check(0x00, 0x01));
    EXPECT_EQ(0x64, setup_check(0x3F, 0x01));
    EXPECT_EQ(0x02, setup_check(0x7F, 0x07));
    EXPECT_EQ(0x3C, setup_check(0xBF, 0x07));
}

TEST(SimDevice, IdentificationReportsAValidVersion2SetupBlock) {
    Line line;
    std::vector<Frame> frames = line.send({'+'}, true);
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(Frame{0xF0}, frames[0]);
    ASSERT_EQ(5u, frames[1].size());
    EXPECT_EQ(setup_check(frames[1][0], frames[1][1]), frames[1][2]);
    EXPECT_EQ(2, frames[1][3]);
    EXPECT_EQ(30, frames[1][4]);
    EXPECT_TRUE(line.send({0xF0}).empty());
    EXPECT_EQ(Mode::idle, line.device.mode);
}

TEST(SimDevice, WrongLengthIdentificationsAreRepeatedOnRejectUntilTheCountIsUsed) {
    Line line;
    line.device.faults.wrong_length_idents = 2;
    std::vector<Frame> frames = line.send({'+'});
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(4u, frames[1].size());
    frames = line.send({0xF1});
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(4u, frames[0].size());
    frames = line.send({0xF1});
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(5u, frames[0].size());
}

TEST(SimDevice, BadCheckSilentAndRejectFaults) {
    Line line;
    line.device.faults.bad_check = true;
    std::vector<Frame> frames = line.send({'+'});
    ASSERT_EQ(2u, frames.size());
    EXPECT_NE(setup_check(frames[1][0], frames[1][1]), frames[1][2]);

    clear_faults(line.device.faults);
    line.device.faults.reject_commands = true;
    EXPECT_EQ(std::vector<Frame>{Frame{0xF1}}, line.send({'-'}));

    clear_faults(line.device.faults);
    line.device.faults.silent = true;
    EXPECT_TRUE(line.send({'+'}).empty());
}

TEST(SimDevice, ReadDeliversTheStoredRecordWithSumAndComplement) {
    Line line;
    std::vector<uint32_t> order;
    std::vector<uint8_t> data = line.read(&order);
    ASSERT_EQ(110u, data.size());
    EXPECT_EQ(0, std::memcmp(data.data(), line.device.stored, 110));
    uint8_t sum = 0;
    for (size_t i = 0; i < 108; ++i) sum = static_cast<uint8_t>(sum + data[i]);
    EXPECT_EQ(sum, data[108]);
    EXPECT_EQ(255, data[108] + data[109]);
    ASSERT_EQ(14u, order.size());
    EXPECT_EQ(12u, order[12]);
    EXPECT_EQ(kLastBlock, order[13]);
    EXPECT_EQ(1u, line.device.reads);
}

TEST(SimDevice, OutOfOrderReadIsMendedByTheBlockRequest) {
    Line line;
    line.device.faults.read_out_of_order = true;
    std::vector<uint32_t> order;
    std::vector<uint8_t> data = line.read(&order);
    ASSERT_EQ(110u, data.size());
    EXPECT_EQ(1u, order[0]);
    EXPECT_EQ(0u, order[1]);
    EXPECT_EQ(0, std::memcmp(data.data(), line.device.stored, 110));
}

TEST(SimDevice, ErasedDeviceReadsAllFF) {
    Line line;
    erase_record(line.device);
    std::vector<uint8_t> data = line.read();
    ASSERT_EQ(110u, data.size());
    EXPECT_EQ(std::vector<uint8_t>(110, 0xFF), data);
    EXPECT_FALSE(stored_record_valid(line.device));
}

TEST(SimDevice, AProgrammedRecordIsReadBack) {
    Line line;
    uint8_t record[108];
    for (size_t i = 0; i < 108; ++i) record[i] = static_cast<uint8_t>(0xF8 + i);  // bytes above FC too
    ASSERT_EQ(std::vector<Frame>{Frame{0xF0}}, line.send({'.'}));
    for (uint32_t number : {0u, 1u, 2u, 3u, 4u, 5u, kLastBlock}) {
        std::vector<Frame> answer = line.send(Line::program_block(number, record));
        ASSERT_EQ(2u, answer.size()) << number;
        EXPECT_EQ(Frame{0xF0}, answer[0]);
        EXPECT_EQ(Frame{0x60}, answer[1]);
    }
    EXPECT_EQ(1u, line.device.programmings);
    std::vector<uint8_t> data = line.read();
    ASSERT_EQ(110u, data.size());
    EXPECT_EQ(0, std::memcmp(record, data.data(), 108));
    EXPECT_TRUE(stored_record_valid(line.device));
}

TEST(SimDevice, ProgrammingFaults) {
    Line line;
    uint8_t record[108];
    std::memset(record, 0x11, sizeof record);
    line.device.faults.program_request_block = 2;
    line.device.faults.program_requested = 1;
    line.device.faults.program_refuse_block = 4;
    line.send({'.'});
    EXPECT_EQ(2u, line.send(Line::program_block(0, record)).size());
    EXPECT_EQ(2u, line.send(Line::program_block(1, record)).size());
    // The request carries one byte before the wanted block number, and comes only once.
    EXPECT_EQ((std::vector<Frame>{Frame{0x63, 0x00, 0x01, 0x00}}), line.send(Line::program_block(2, record)));
    EXPECT_EQ(2u, line.send(Line::program_block(1, record)).size());
    EXPECT_EQ(2u, line.send(Line::program_block(2, record)).size());
    EXPECT_EQ(2u, line.send(Line::program_block(3, record)).size());
    EXPECT_EQ((std::vector<Frame>{Frame{0xF0}, Frame{0xF1}}), line.send(Line::program_block(4, record)));
    EXPECT_EQ(0u, line.device.programmings);
    EXPECT_FALSE(stored_record_valid(line.device));  // broken off: the old sum no longer fits

    line.device.faults.program_refuse_block = kNoBlock;
    line.device.faults.program_silent_block = 0;
    line.send({'.'});
    EXPECT_TRUE(line.send(Line::program_block(0, record)).empty());
}

TEST(SimDevice, AWrittenSetupBlockIsReportedAtTheNextIdentification) {
    Line line;
    const Frame block = {0x21, 0x06, setup_check(0x21, 0x06), 4, 0xFD};
    ASSERT_EQ(std::vector<Frame>{Frame{0xF0}}, line.send({'*'}));
    EXPECT_EQ((std::vector<Frame>{Frame{0xF0}, Frame{0x60}}), line.send(block));
    std::vector<Frame> frames = line.send({'+'});
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(block, frames[1]);

    line.device.faults.refuse_setup = true;
    line.send({'*'});
    EXPECT_EQ((std::vector<Frame>{Frame{0xF0}, Frame{0xF1}}), line.send({1, 2, 3, 4, 5}));
    line.device.faults.refuse_setup = false;
    line.device.faults.ignore_setup = true;
    line.send({'*'});
    EXPECT_EQ((std::vector<Frame>{Frame{0xF0}, Frame{0x60}}), line.send({1, 2, 3, 4, 5}));
    EXPECT_EQ(0, std::memcmp(block.data(), line.device.setup, 5));
}

}  // namespace
}  // namespace zav::sim
