#include "cli/device/transaction_runner.h"

#include <cstring>

namespace zav::cli {

namespace {

// As much as the receiver reads at once.
constexpr size_t kReadChunkBytes = 256;

void count_stored_frame(void* context) { ++*static_cast<uint32_t*>(context); }

// One transaction's run: the machine and what it has been told so far.
class Run {
public:
    Run(SerialLine& line, Clock& clock, LinkState& link, CommandRecord command, const RunOptions& options)
        : line_(line), clock_(clock), link_(link), options_(options) {
        link_.shared.transaction_state = 0;  // the window's part, before the worker exists
        const WorkerBindings bind = {&link_.shared, &link_.frames, &link_.image, link_.read_back};
        worker_init(machine_, bind, command);
    }

    RunOutcome go() {
        line_.discard_pending();
        WorkerActions actions = {};
        worker_start(machine_, actions);
        if (!perform(actions)) return stopped_;
        while (!worker_finished(machine_)) {
            if (!wait_once()) return stopped_;
        }
        return RunOutcome{RunEnd::kFinished, result_, heard_from_device_};
    }

private:
    // One wait of the worker thread: up to 500 ms for a frame.
    bool wait_once() {
        const uint32_t wait_started = clock_.now_ms();
        for (;;) {
            if (frame_waiting(link_.frames.ring)) return hand_over_frame();
            const uint32_t waited = clock_.now_ms() - wait_started;
            if (waited >= kWaitMilliseconds) break;

            size_t count = 0;
            const LineStatus status = line_.read(input_, sizeof input_, kWaitMilliseconds - waited, count);
            if (status == LineStatus::kGone) return stop(RunEnd::kLineGone);
            if (status == LineStatus::kInterrupted) return stop(RunEnd::kInterrupted);
            if (status == LineStatus::kOk) decode(count);
        }
        WorkerActions actions = {};
        worker_on_timeout(machine_, actions);
        return perform(actions);
    }

    // Decodes byte by byte and stops at a stored frame, so that the machine
    // takes every frame before the decoder may store the next. The bytes
    // after it wait in pending_ for the next round.
    void decode(size_t count) {
        pending_begin_ = 0;
        pending_end_ = count;
        decode_pending();
    }

    void decode_pending() {
        while (pending_begin_ < pending_end_ && !frame_waiting(link_.frames.ring)) {
            decode_bytes(link_.shared, link_.frames, input_ + pending_begin_, 1, count_stored_frame,
                         &frames_stored_);
            ++pending_begin_;
        }
    }

    bool hand_over_frame() {
        uint8_t slot[kSlotBytes];
        std::memcpy(slot, take_frame(link_.frames.ring), sizeof slot);
        heard_from_device_ = true;
        WorkerActions actions = {};
        worker_on_frame(machine_, slot, actions);
        if (!perform(actions)) return false;
        decode_pending();
        return true;
    }

    // The send about to be made is one more than a look allows, and the
    // device has not said a word: it is not there.
    bool gave_up_on_silent_device() const {
        return options_.give_up_unanswered_sends != 0 && !heard_from_device_ &&
               sends_ >= options_.give_up_unanswered_sends;
    }

    bool perform(const WorkerActions& actions) {
        for (uint8_t i = 0; i < actions.count; ++i) {
            const WorkerAction& action = actions.action[i];
            if (action.kind == WorkerAction::kSend) {
                if (gave_up_on_silent_device()) return stop(RunEnd::kUnanswered);
                if (sends_ == 1 && !heard_from_device_ && options_.on_unanswered) options_.on_unanswered();
                ++sends_;
                const LineStatus status =
                    line_.write(link_.frames.transmit, link_.shared.transmit_length);
                // A write the driver would not take is a send without an
                // answer; the attempt counting deals with it.
                if (status == LineStatus::kGone) return stop(RunEnd::kLineGone);
                if (status == LineStatus::kInterrupted) return stop(RunEnd::kInterrupted);
            } else if (action.message == kEndMessage) {
                result_ = action.wparam;
            } else if (action.message == kProgressMessage && options_.on_progress) {
                options_.on_progress(action.wparam);
            }
        }
        return true;
    }

    bool stop(RunEnd end) {
        stopped_ = RunOutcome{end, kResultFailed, heard_from_device_};
        return false;
    }

    SerialLine& line_;
    Clock& clock_;
    LinkState& link_;
    const RunOptions& options_;
    Worker machine_;
    uint32_t result_ = kResultFailed;
    RunOutcome stopped_ = {RunEnd::kFinished, kResultFailed, false};
    bool heard_from_device_ = false;
    uint32_t sends_ = 0;
    uint32_t frames_stored_ = 0;
    uint8_t input_[kReadChunkBytes];
    size_t pending_begin_ = 0;
    size_t pending_end_ = 0;
};

}  // namespace

void reset_link_state(LinkState& link) {
    std::memset(&link, 0, sizeof link);
    set_image_start_values(link.image);
}

RunOutcome run_transaction(SerialLine& line, Clock& clock, LinkState& link, CommandRecord command,
                           const RunOptions& options) {
    Run run(line, clock, link, command, options);
    return run.go();
}

}  // namespace zav::cli
