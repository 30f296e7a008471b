// What all four transactions share: each waits in its state until the link
// is stopped, a finished machine ignores what still comes, a command byte
// that names no transaction ends at once. That nothing reaches the machine
// after the stop is the worker thread's rule, tested under Wine
// (windows/worker_thread_test.cpp).
#include <gtest/gtest.h>

#include "scripted_device.h"

namespace zav {
namespace test {
namespace {

struct StopCase {
    const char* name;
    uint8_t command;
    uint8_t block_length;
    uint32_t waiting_state;
    std::vector<Answer> answers;
};

Bytes some_block() { return block_frame(0, Bytes(8, 1)); }

TEST(Worker, TheStopFindsEachTransactionWaitingInItsStateWithoutAnEnd) {
    const StopCase cases[] = {
        {"identify, awaiting acknowledgement", kIdentifyCommand, 0, 2, {}},
        {"identify, awaiting setup block", kIdentifyCommand, 0, 3, {{say(0xF0)}}},
        {"read, awaiting acknowledgement", kReadCommand, 8, 2, {}},
        {"read, receiving blocks", kReadCommand, 8, 3, {{say(0xF0), say(some_block())}}},
        {"program, awaiting acknowledgement", kProgramCommand, 16, 2, {}},
        {"program, awaiting block answers", kProgramCommand, 16, 5, {{say(0xF0)}, {say(0xF0)}}},
        {"setup write, awaiting acknowledgement", kSetupWriteCommand, 0, 2, {}},
        {"setup write, awaiting block answers", kSetupWriteCommand, 0, 5, {{say(0xF0)}, {say(0xF0)}}},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDevice device;
        for (const Answer& a : c.answers) device.answer(a);
        device.stop_at(1000);
        device.run(c.command, c.block_length);

        EXPECT_TRUE(device.stopped);
        EXPECT_EQ(1000u, device.now_ms);
        EXPECT_EQ(c.waiting_state, device.shared.transaction_state);
        EXPECT_EQ(0u, device.end_messages());
    }
}

TEST(Worker, AFinishedMachineIgnoresLateFramesAndTimeOuts) {
    ScriptedDevice device;
    device.answer({say(0xF0), say(Bytes{1, 2, 3, 4, 5})});
    device.run(kIdentifyCommand);
    ASSERT_EQ(kResultIdentified, device.result());

    const uint8_t late[kSlotBytes] = {5, 9, 9, 9, 9, 9};
    WorkerActions actions{};
    worker_on_frame(device.worker, late, actions);
    EXPECT_EQ(0, actions.count);
    worker_on_timeout(device.worker, actions);
    EXPECT_EQ(0, actions.count);
    EXPECT_EQ(kStateFinished, device.shared.transaction_state);
    EXPECT_EQ(1, device.image.bytes[kSetupBlock]);
}

TEST(Worker, AnUnknownCommandEndsAtOnceWithFailure) {
    ScriptedDevice device;
    device.run('?');
    EXPECT_TRUE(device.sent.empty());
    EXPECT_EQ(kResultFailed, device.result());
    EXPECT_EQ(0u, device.end_time());
}

// Each transaction starts with an empty ring, whatever the last one left.
TEST(Worker, TheRingStartsEmptyForEveryTransaction) {
    ScriptedDevice device;
    device.frames.ring.write_index = 5;
    device.frames.ring.read_index = 2;
    device.run(kIdentifyCommand);
    EXPECT_EQ(0, device.frames.ring.write_index);
    EXPECT_EQ(0, device.frames.ring.read_index);
    EXPECT_EQ(5u, device.sent.size());  // no stale frame was taken for an answer
}

}  // namespace
}  // namespace test
}  // namespace zav
