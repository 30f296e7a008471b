// Identification ('+'): the device acknowledges the command and sends its
// five-byte setup block, which the worker accepts and stores in the image.
//
//   0 prepare   1 send command   2 await 0xF0   3 await the setup block
#include <cstring>

#include "core/link/worker_steps.h"

namespace zav {

namespace {

constexpr uint32_t kStateAwaitSetupBlock = 3;

// The device may send a garbled block again; after six refusals the
// seventh ends the transaction.
constexpr uint32_t kMaxRejectionsBeforeFailure = 6;
// Counted from the command's send, carried over from state 2: the device
// gets between 4.5 s and 5.5 s after its acknowledgement.
constexpr uint32_t kMaxSilencesForSetupBlock = 10;

bool step(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStatePrepare:
            prepare_command(worker);
            go_to(worker, kStateSendCommand);
            return true;
        case kStateSendCommand:
            if (send_counted(worker, out)) go_to(worker, kStateAwaitAcknowledge);
            return true;
        default:
            return false;
    }
}

void accept_setup_block(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    send_answer_byte(worker, out, kAcknowledge);
    std::memcpy(worker.bind.image->bytes + kSetupBlock, slot + 1, kSetupBlockBytes);
    end_with(worker, out, kResultIdentified);
}

void reject_setup_block(Worker& worker, WorkerActions& out) {
    send_answer_byte(worker, out, kReject);
    const uint32_t rejected_before = worker.attempts++;
    if (rejected_before >= kMaxRejectionsBeforeFailure) end_with(worker, out, kResultFailed);
}

void on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            if (command_acknowledged(worker, slot)) {
                // The silence count goes on: it bounds the whole wait since
                // the command was sent.
                worker.attempts = 0;
                go_to(worker, kStateAwaitSetupBlock);
            }
            break;
        case kStateAwaitSetupBlock:
            if (payload_length(slot) == kSetupBlockBytes)
                accept_setup_block(worker, slot, out);
            else
                reject_setup_block(worker, out);
            break;
    }
}

void on_silence(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            command_unanswered(worker);
            break;
        case kStateAwaitSetupBlock:
            if (worker.silences > kMaxSilencesForSetupBlock) end_with(worker, out, kResultFailed);
            break;
    }
}

}  // namespace

const WorkerKind kIdentifyWorker = {
    state_bit(kStateAwaitAcknowledge) | state_bit(kStateAwaitSetupBlock),
    step,
    on_frame,
    on_silence,
};

}  // namespace zav
