// Configuration read ('-'): the device sends its copy of the configuration
// in numbered blocks; each expected block is stored in the read-back buffer
// and acknowledged, any other block is answered with a request for the
// expected one. The read ends only through silence: 500 ms after the last
// block (0xFFFF) it is complete.
//
//   0 prepare   1 send command   2 await 0xF0   3 receive blocks
#include <cstring>

#include "core/link/worker_steps.h"

namespace zav {

namespace {

constexpr uint32_t kStateReceiveBlocks = 3;

// Block frames: the block number (little-endian), then the data.
constexpr size_t kBlockDataOffset = 2;
constexpr size_t kSlotDataBytes = kSlotBytes - 1 - kBlockDataOffset;

bool step(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStatePrepare:
            prepare_command(worker);
            worker.block_number = 0;
            go_to(worker, kStateSendCommand);
            return true;
        case kStateSendCommand:
            if (send_counted(worker, out)) go_to(worker, kStateAwaitAcknowledge);
            return true;
        default:
            return false;
    }
}

// A block whose place lies beyond the read-back buffer is not stored, but
// still acknowledged and counted: the device goes on and the read ends as
// usual, and the window's check of the copy judges the result.
void store_block(Worker& worker, const uint8_t* slot) {
    const size_t length = worker.command.block_length;
    const uint64_t position = static_cast<uint64_t>(worker.block_number) * length;
    if (length == 0 || position + length > kReadBackBytes) return;

    // A frame shorter than the block leaves zeros (its slot was cleared);
    // a block length beyond what a slot can carry reads zeros as well.
    uint8_t* target = worker.bind.read_back + position;
    const size_t from_slot = length < kSlotDataBytes ? length : kSlotDataBytes;
    std::memcpy(target, slot + 1 + kBlockDataOffset, from_slot);
    std::memset(target + from_slot, 0, length - from_slot);
}

void request_expected_block(Worker& worker, WorkerActions& out) {
    const uint8_t request[] = {
        kBlockRequest,
        static_cast<uint8_t>(worker.block_number & 0xFF),
        static_cast<uint8_t>((worker.block_number >> 8) & 0xFF),
    };
    send_answer(worker, out, request, sizeof request);
}

void receive_block(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    const uint32_t number = payload_word(slot, 0);
    if (number != worker.block_number && number != kLastBlock) {
        request_expected_block(worker, out);
        return;
    }
    store_block(worker, slot);
    send_answer_byte(worker, out, kBlockTaken);
    if (number == kLastBlock) {
        // The next silent wait ends the read; a further frame prolongs it.
        worker.last_block_stored = true;
        worker.silences = 2;
    } else {
        post_progress(worker, out, worker.block_number);
        ++worker.block_number;
    }
}

void on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            if (command_acknowledged(worker, slot)) go_to(worker, kStateReceiveBlocks);
            break;
        case kStateReceiveBlocks:
            receive_block(worker, slot, out);
            break;
    }
}

// Silences are counted from the command's last send and never reset by
// blocks: the third silent wait ends the read either way.
void on_silence(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            command_unanswered(worker);
            break;
        case kStateReceiveBlocks:
            if (worker.silences > 2)
                end_with(worker, out, worker.last_block_stored ? kResultRead : kResultFailed);
            break;
    }
}

}  // namespace

const WorkerKind kReadWorker = {
    state_bit(kStateAwaitAcknowledge) | state_bit(kStateReceiveBlocks),
    step,
    on_frame,
    on_silence,
};

}  // namespace zav
