#include "web/binding/page_link.h"

#include <cstring>

namespace zav::web {

namespace {

// Set by the decoder when it stores a frame; the frame is handed over at once.
void note_stored_frame(void*) {}

// The waiting state the writing transactions enter once a block frame (a
// configuration block, or the setup block) has gone out.
constexpr uint32_t kStateAwaitingBlockAnswers = 5;

}  // namespace

PageLink::PageLink() {
    std::memset(&shared_, 0, sizeof shared_);
    std::memset(&frames_, 0, sizeof frames_);
    std::memset(read_back_, 0, sizeof read_back_);
    std::memset(&machine_, 0, sizeof machine_);
    set_image_start_values(image_);
}

void PageLink::collect(const WorkerActions& actions, LinkStep& step) {
    for (uint8_t i = 0; i < actions.count && running_; ++i) {
        const WorkerAction& action = actions.action[i];
        if (action.kind == WorkerAction::kSend) {
            // The transmit buffer holds the frame only until the machine's
            // next call, and one receive may make several.
            step.sends.emplace_back(frames_.transmit, frames_.transmit + shared_.transmit_length);
        } else if (action.message == kProgressMessage) {
            step.progress.push_back(action.wparam);
        } else if (action.message == kEndMessage) {
            step.ended = true;
            step.result = action.wparam;
        }
    }
    const uint8_t command = machine_.command.command;
    if ((command == kProgramCommand || command == kSetupWriteCommand) &&
        shared_.transaction_state == kStateAwaitingBlockAnswers) {
        writes_begun_ = true;
    }
    if (step.ended) running_ = false;
}

LinkStep PageLink::begin(uint8_t command, uint8_t block_length) {
    LinkStep step;
    shared_.transaction_state = 0;  // the window's part, before the worker exists
    const WorkerBindings bind = {&shared_, &frames_, &image_, read_back_};
    worker_init(machine_, bind, CommandRecord{command, block_length});
    running_ = true;
    writes_begun_ = false;
    WorkerActions actions = {};
    worker_start(machine_, actions);
    collect(actions, step);
    return step;
}

LinkStep PageLink::receive(const uint8_t* bytes, size_t count) {
    LinkStep step;
    for (size_t i = 0; i < count && running_; ++i) {
        decode_bytes(shared_, frames_, bytes + i, 1, note_stored_frame, nullptr);
        if (!frame_waiting(frames_.ring)) continue;
        uint8_t slot[kSlotBytes];
        std::memcpy(slot, take_frame(frames_.ring), sizeof slot);
        ++step.frames;
        WorkerActions actions = {};
        worker_on_frame(machine_, slot, actions);
        collect(actions, step);
    }
    return step;
}

LinkStep PageLink::silence() {
    LinkStep step;
    if (!running_) return step;
    WorkerActions actions = {};
    worker_on_timeout(machine_, actions);
    collect(actions, step);
    return step;
}

}  // namespace zav::web
