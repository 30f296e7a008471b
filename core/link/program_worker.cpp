// Configuration programming ('.'): the record, as it was when the worker
// started, goes to the device in numbered blocks. Each block is acknowledged
// (0xF0) and then confirmed (0x60 or 0x61) before the next is built; the
// device may ask for a block by number instead. The block that runs past
// the record's end is padded with 0xFF and numbered 0xFFFF; it is the last.
//
//   0 prepare, snapshot   1 send command   2 await 0xF0
//   3 build block   4 send block   5 await 0xF0, then 0x60/0x61
#include <cstring>

#include "core/link/worker_steps.h"

namespace zav {

namespace {

constexpr size_t kBlockNumberBytes = 2;
// The largest block whose frame fits the transmit buffer even when every
// byte needs escaping.
constexpr size_t kMaxBlockLength = (kTransmitBytes - 2) / 2 - kBlockNumberBytes;

void prepare(Worker& worker, WorkerActions& out) {
    // Only the window starts this worker, always with the 16-byte blocks the
    // device expects; any other length cannot be sent, so nothing is.
    const size_t length = worker.command.block_length;
    if (length == 0 || length > kMaxBlockLength) {
        end_with(worker, out, kResultFailed);
        return;
    }
    prepare_command(worker);
    worker.block_number = 0;
    // Edits made to the image while the transaction runs must not tear the
    // record in two.
    std::memcpy(worker.snapshot, worker.bind.image->bytes, kRecordBytes);
    go_to(worker, kStateSendCommand);
}

void build_block(Worker& worker) {
    worker.acknowledged = false;
    worker.attempts = 0;

    const size_t length = worker.command.block_length;
    uint8_t payload[kBlockNumberBytes + kMaxBlockLength];
    uint8_t* data = payload + kBlockNumberBytes;

    const uint64_t start = static_cast<uint64_t>(worker.block_number) * length;
    size_t copied = 0;
    if (start < kRecordBytes) {
        const size_t left = kRecordBytes - static_cast<size_t>(start);
        copied = left < length ? left : length;
        std::memcpy(data, worker.snapshot + start, copied);
    }
    if (copied < length) {
        std::memset(data + copied, 0xFF, length - copied);
        worker.block_number = kLastBlock;
    }
    payload[0] = static_cast<uint8_t>(worker.block_number & 0xFF);
    payload[1] = static_cast<uint8_t>((worker.block_number >> 8) & 0xFF);
    build_frame(worker, payload, kBlockNumberBytes + length);
    go_to(worker, kStateSendBlock);
}

bool step(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStatePrepare:
            prepare(worker, out);
            return true;
        case kStateSendCommand:
            if (!send_counted(worker, out)) return true;
            worker.acknowledged = false;
            go_to(worker, kStateAwaitAcknowledge);
            return true;
        case kStateBuildBlock:
            build_block(worker);
            return true;
        case kStateSendBlock:
            send_block(worker, out);
            return true;
        default:
            return false;
    }
}

void answer_before_acknowledgement(Worker& worker, const uint8_t* slot) {
    switch (payload_byte(slot, 0)) {
        case kAcknowledge:
            worker.acknowledged = true;
            worker.silences = 0;
            break;
        case kBlockRequest:
            // The device names the block it wants after one byte of its own.
            worker.block_number = payload_word(slot, 2);
            go_to(worker, kStateBuildBlock);
            break;
        default:
            go_to(worker, kStateSendBlock);
            break;
    }
}

void answer_after_acknowledgement(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    if (!is_block_written(payload_byte(slot, 0))) {
        end_with(worker, out, kResultRefused);
        return;
    }
    if (worker.block_number == kLastBlock) {
        end_with(worker, out, kResultWritten);
        return;
    }
    ++worker.block_number;
    post_progress(worker, out, worker.block_number);
    go_to(worker, kStateBuildBlock);
}

void on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            if (command_acknowledged(worker, slot)) go_to(worker, kStateBuildBlock);
            break;
        case kStateAwaitBlockAnswers:
            if (worker.acknowledged)
                answer_after_acknowledgement(worker, slot, out);
            else
                answer_before_acknowledgement(worker, slot);
            break;
    }
}

void on_silence(Worker& worker, WorkerActions&) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            command_unanswered(worker);
            break;
        case kStateAwaitBlockAnswers:
            block_unanswered(worker);
            break;
    }
}

}  // namespace

const WorkerKind kProgramWorker = {
    state_bit(kStateAwaitAcknowledge) | state_bit(kStateAwaitBlockAnswers),
    step,
    on_frame,
    on_silence,
};

}  // namespace zav
