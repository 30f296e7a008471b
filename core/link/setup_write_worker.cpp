// Setup write ('*'): the five setup block bytes of the image go to the
// device as one frame without a block number, acknowledged (0xF0) and then
// confirmed (0x60 or 0x61).
//
//   0 prepare   1 send command   2 await 0xF0
//   3 build the setup frame   4 send it   5 await 0xF0, then 0x60/0x61
#include "core/link/worker_steps.h"

namespace zav {

namespace {

bool step(Worker& worker, WorkerActions& out) {
    switch (state_of(worker)) {
        case kStatePrepare:
            prepare_command(worker);
            go_to(worker, kStateSendCommand);
            return true;
        case kStateSendCommand:
            if (!send_counted(worker, out)) return true;
            worker.acknowledged = false;
            go_to(worker, kStateAwaitAcknowledge);
            return true;
        case kStateBuildBlock:
            // Taken from the image now: the setup window wrote them before
            // it started the worker and cannot change them while it runs.
            worker.acknowledged = false;
            worker.attempts = 0;
            build_frame(worker, worker.bind.image->bytes + kSetupBlock, kSetupBlockBytes);
            go_to(worker, kStateSendBlock);
            return true;
        case kStateSendBlock:
            send_block(worker, out);
            return true;
        default:
            return false;
    }
}

void on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    const uint8_t answer = payload_byte(slot, 0);
    switch (state_of(worker)) {
        case kStateAwaitAcknowledge:
            if (command_acknowledged(worker, slot)) go_to(worker, kStateBuildBlock);
            break;
        case kStateAwaitBlockAnswers:
            if (!worker.acknowledged) {
                if (answer == kAcknowledge) {
                    worker.acknowledged = true;
                    worker.silences = 0;
                } else {
                    go_to(worker, kStateSendBlock);
                }
            } else {
                end_with(worker, out, is_block_written(answer) ? kResultWritten : kResultRefused);
            }
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

const WorkerKind kSetupWriteWorker = {
    state_bit(kStateAwaitAcknowledge) | state_bit(kStateAwaitBlockAnswers),
    step,
    on_frame,
    on_silence,
};

}  // namespace zav
