// Worker thread only: the machine is created and driven by one worker thread
// and touches the shared record, the transmit buffer, the ring's read side
// and the configuration image only as its transaction allows.
#include "core/link/worker.h"

#include <cstring>

#include "core/link/worker_steps.h"

namespace zav {

namespace {

const WorkerKind* kind_for(uint8_t command) {
    switch (command) {
        case kIdentifyCommand: return &kIdentifyWorker;
        case kReadCommand: return &kReadWorker;
        case kProgramCommand: return &kProgramWorker;
        case kSetupWriteCommand: return &kSetupWriteWorker;
        default: return nullptr;
    }
}

void add_action(WorkerActions& out, WorkerAction action) {
    // No step produces more than three actions; the guard keeps a mistake
    // from writing past the list.
    if (out.count < sizeof out.action / sizeof out.action[0]) out.action[out.count++] = action;
}

bool waits_in(const WorkerKind& kind, uint32_t state) {
    return state < 32 && (kind.waiting_states & state_bit(state)) != 0;
}

// Runs the steps that need no answer until the machine waits or has
// finished, so the thread never sees a state without a wait.
void run_until_waiting(Worker& worker, const WorkerKind& kind, WorkerActions& out) {
    for (;;) {
        const uint32_t state = state_of(worker);
        if (state == kStateFinished || waits_in(kind, state)) return;
        // A state this transaction never enters can only come from a broken
        // hand-over; ending beats doing nothing for ever.
        if (!kind.step(worker, out)) {
            end_with(worker, out, kResultFailed);
            return;
        }
    }
}

}  // namespace

void prepare_command(Worker& worker) {
    build_frame(worker, &worker.command.command, 1);
    worker.attempts = 0;
    worker.bind.frames->ring.write_index = 0;
    worker.bind.frames->ring.read_index = 0;
}

void build_frame(Worker& worker, const uint8_t* payload, size_t length) {
    worker.bind.shared->transmit_length =
        static_cast<uint32_t>(encode_frame(payload, length, worker.bind.frames->transmit));
}

bool send_counted(Worker& worker, WorkerActions& out) {
    if (worker.attempts >= kMaxSends) {
        end_with(worker, out, kResultFailed);
        return false;
    }
    ++worker.attempts;
    worker.silences = 0;
    add_action(out, WorkerAction{WorkerAction::kSend, 0, 0});
    return true;
}

void send_answer(Worker& worker, WorkerActions& out, const uint8_t* payload, size_t length) {
    build_frame(worker, payload, length);
    add_action(out, WorkerAction{WorkerAction::kSend, 0, 0});
}

void send_answer_byte(Worker& worker, WorkerActions& out, uint8_t answer) {
    send_answer(worker, out, &answer, 1);
}

void post_progress(Worker&, WorkerActions& out, uint32_t block_number) {
    add_action(out, WorkerAction{WorkerAction::kPost, kProgressMessage, block_number});
}

void end_with(Worker& worker, WorkerActions& out, ResultCode result) {
    add_action(out, WorkerAction{WorkerAction::kPost, kEndMessage, result});
    go_to(worker, kStateFinished);
}

bool command_acknowledged(Worker& worker, const uint8_t* slot) {
    if (payload_byte(slot, 0) == kAcknowledge) return true;
    go_to(worker, kStateSendCommand);
    return false;
}

void command_unanswered(Worker& worker) {
    if (worker.silences > 2) go_to(worker, kStateSendCommand);
}

void send_block(Worker& worker, WorkerActions& out) {
    if (!send_counted(worker, out)) return;
    worker.acknowledged = false;
    go_to(worker, kStateAwaitBlockAnswers);
}

void block_unanswered(Worker& worker) {
    if (worker.silences > 2) go_to(worker, kStateSendBlock);
}

void worker_init(Worker& worker, const WorkerBindings& bind, CommandRecord command) {
    std::memset(&worker, 0, sizeof worker);
    worker.bind = bind;
    worker.command = command;
}

void worker_start(Worker& worker, WorkerActions& out) {
    out.count = 0;
    const WorkerKind* kind = kind_for(worker.command.command);
    if (kind == nullptr) {
        end_with(worker, out, kResultFailed);
        return;
    }
    run_until_waiting(worker, *kind, out);
}

void worker_on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out) {
    out.count = 0;
    const WorkerKind* kind = kind_for(worker.command.command);
    if (kind == nullptr || !waits_in(*kind, state_of(worker))) return;
    kind->on_frame(worker, slot, out);
    run_until_waiting(worker, *kind, out);
}

void worker_on_timeout(Worker& worker, WorkerActions& out) {
    out.count = 0;
    const WorkerKind* kind = kind_for(worker.command.command);
    if (kind == nullptr || !waits_in(*kind, state_of(worker))) return;
    // The frame event may have come just after the wait gave up: the frame
    // is in the ring and the next wait delivers it, so this was no silence.
    if (frame_waiting(worker.bind.frames->ring)) return;
    ++worker.silences;
    kind->on_silence(worker, out);
    run_until_waiting(worker, *kind, out);
}

}  // namespace zav
