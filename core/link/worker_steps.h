// The steps the four device transactions have in common, and the table
// through which worker.cpp dispatches to the transaction a command names.
// Internal to link/: the thread loop only sees link/worker.h.
//
// Every transaction opens the same way: state 0 prepares the command frame,
// state 1 sends it (at most five times), state 2 waits for the device's
// 0xF0. What follows is the transaction's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link/worker.h"

namespace zav {

constexpr uint32_t kStatePrepare = 0;
constexpr uint32_t kStateSendCommand = 1;
constexpr uint32_t kStateAwaitAcknowledge = 2;

constexpr uint32_t state_bit(uint32_t state) { return 1u << state; }

// One transaction's behaviour, state by state.
struct WorkerKind {
    // The states in which the machine waits for the device (a bit per state).
    uint32_t waiting_states;
    // Performs the step of a state that does not wait and returns true; every
    // step leaves its state. Returns false for a state the transaction never
    // enters.
    bool (*step)(Worker& worker, WorkerActions& out);
    // A frame was taken while the machine waits.
    void (*on_frame)(Worker& worker, const uint8_t* slot, WorkerActions& out);
    // A wait ended in silence; the silence is already counted.
    void (*on_silence)(Worker& worker, WorkerActions& out);
};

extern const WorkerKind kIdentifyWorker;
extern const WorkerKind kReadWorker;
extern const WorkerKind kProgramWorker;
extern const WorkerKind kSetupWriteWorker;

inline uint32_t state_of(const Worker& worker) { return worker.bind.shared->transaction_state; }
inline void go_to(Worker& worker, uint32_t state) { worker.bind.shared->transaction_state = state; }

// A slot holds the payload length in byte 0 and the payload from byte 1 on.
inline uint8_t payload_length(const uint8_t* slot) { return slot[0]; }
inline uint8_t payload_byte(const uint8_t* slot, size_t index) { return slot[1 + index]; }
inline uint32_t payload_word(const uint8_t* slot, size_t index) {
    return static_cast<uint32_t>(payload_byte(slot, index)) |
           (static_cast<uint32_t>(payload_byte(slot, index + 1)) << 8);
}

// State 0, common part: the command byte becomes the frame to send, the
// attempt count starts again and the ring is emptied.
void prepare_command(Worker& worker);

// Encodes payload into the transmit buffer as the frame that send_counted
// writes, as often as it is sent again.
void build_frame(Worker& worker, const uint8_t* payload, size_t length);

// The counted send of the frame in the transmit buffer (the command, or a
// block). Once five sends went unanswered the transaction ends with failure
// instead, and false is returned.
bool send_counted(Worker& worker, WorkerActions& out);

// An answer outside the attempt counting (acknowledgement, rejection, block
// request): built and sent at once, the silence count untouched.
void send_answer(Worker& worker, WorkerActions& out, const uint8_t* payload, size_t length);
void send_answer_byte(Worker& worker, WorkerActions& out, uint8_t answer);

void post_progress(Worker& worker, WorkerActions& out, uint32_t block_number);

// Posts the end message and enters the finished state.
void end_with(Worker& worker, WorkerActions& out, ResultCode result);

// State 2 on a frame: anything but the acknowledgement sends the command
// again at once. Returns true when the command was acknowledged; the caller
// decides where to go.
bool command_acknowledged(Worker& worker, const uint8_t* slot);

// State 2 on silence: the third silent wait sends the command again.
void command_unanswered(Worker& worker);

// The state 4 and 5 exchange of the two writing transactions: one frame sent
// (counted), acknowledged with 0xF0 and then confirmed with 0x60 or 0x61.
constexpr uint32_t kStateBuildBlock = 3;
constexpr uint32_t kStateSendBlock = 4;
constexpr uint32_t kStateAwaitBlockAnswers = 5;

void send_block(Worker& worker, WorkerActions& out);
void block_unanswered(Worker& worker);

inline bool is_block_written(uint8_t answer) { return answer == kBlockTaken || answer == kBlockTakenToo; }

}  // namespace zav
