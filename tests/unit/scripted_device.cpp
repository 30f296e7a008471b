#include "scripted_device.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zav {
namespace test {

namespace {

// No transaction survives a minute of silence; a machine still running
// then is stuck, and the run stops so that the test can say so.
constexpr uint32_t kGiveUpMs = 60000;

void count_frame_event(void* context) { ++*static_cast<uint32_t*>(context); }

Bytes unescaped_payload(const Bytes& wire) {
    Bytes payload;
    bool escape = false;
    for (size_t i = 1; i + 1 < wire.size(); ++i) {
        if (wire[i] == kFrameEscape) {
            escape = true;
            continue;
        }
        payload.push_back(escape ? static_cast<uint8_t>(wire[i] | 0x80) : wire[i]);
        escape = false;
    }
    return payload;
}

}  // namespace

Bytes wire_of(const Bytes& payload) {
    Bytes wire{0xFF};
    for (uint8_t b : payload) {
        if (b > 0xFC) {
            wire.push_back(0xFD);
            wire.push_back(static_cast<uint8_t>(b & 0x7F));
        } else {
            wire.push_back(b);
        }
    }
    wire.push_back(0xFE);
    return wire;
}

Bytes block_frame(uint16_t number, const Bytes& data) {
    Bytes payload(2 + data.size());
    payload[0] = static_cast<uint8_t>(number & 0xFF);
    payload[1] = static_cast<uint8_t>(number >> 8);
    for (size_t i = 0; i < data.size(); ++i) payload[2 + i] = data[i];
    return payload;
}

ScriptedDevice::ScriptedDevice()
    : now_ms(0), stopped(false), answers_used_(0), stop_scheduled_(false), stop_ms_(0), frame_events_(0) {
    clear_shared_state(shared);
    std::memset(&frames, 0, sizeof frames);
    set_image_start_values(image);
    std::memset(read_back, 0, sizeof read_back);
    std::memset(read_back_guard, 0xA5, sizeof read_back_guard);
    std::memset(&worker, 0, sizeof worker);
}

ScriptedDevice& ScriptedDevice::answer(Answer frames_to_say) {
    queued_answers_.push_back(std::move(frames_to_say));
    return *this;
}

ScriptedDevice& ScriptedDevice::answer_every_send(std::function<Answer(const Bytes&)> responder) {
    responder_ = std::move(responder);
    return *this;
}

ScriptedDevice& ScriptedDevice::stop_at(uint32_t at_ms) {
    stop_scheduled_ = true;
    stop_ms_ = at_ms;
    return *this;
}

void ScriptedDevice::run(uint8_t command, uint8_t block_length) {
    shared.transaction_state = 0;  // the window's part, before the worker exists
    WorkerBindings bind{&shared, &frames, &image, read_back};
    worker_init(worker, bind, CommandRecord{command, block_length});

    WorkerActions actions{};
    worker_start(worker, actions);
    perform(actions);
    while (!worker_finished(worker) && !stopped && now_ms < kGiveUpMs) wait_once();
    if (!worker_finished(worker) && !stopped) ADD_FAILURE() << "the transaction never ended";
}

void ScriptedDevice::wait_once() {
    WorkerActions actions{};
    if (frame_events_ == 0) {
        const uint32_t deadline = now_ms + kWaitMilliseconds;
        const size_t due = next_due();
        const bool frame_within = due < pending_.size() && pending_[due].due_ms <= deadline;

        if (stop_scheduled_ && stop_ms_ <= deadline && (!frame_within || stop_ms_ <= pending_[due].due_ms)) {
            if (stop_ms_ > now_ms) now_ms = stop_ms_;
            stopped = true;
            return;
        }
        if (!frame_within || pending_[due].races_time_out) {
            now_ms = deadline;
            if (frame_within) {
                const Pending frame = pending_[due];
                pending_.erase(pending_.begin() + static_cast<long>(due));
                arrive(frame);
            }
            worker_on_timeout(worker, actions);
            perform(actions);
            return;
        }
        const Pending frame = pending_[due];
        pending_.erase(pending_.begin() + static_cast<long>(due));
        if (frame.due_ms > now_ms) now_ms = frame.due_ms;
        arrive(frame);
    }

    --frame_events_;
    uint8_t copy[kSlotBytes];
    std::memcpy(copy, take_frame(frames.ring), sizeof copy);
    worker_on_frame(worker, copy, actions);
    perform(actions);
}

size_t ScriptedDevice::next_due() const {
    size_t best = pending_.size();
    for (size_t i = 0; i < pending_.size(); ++i)
        if (best == pending_.size() || pending_[i].due_ms < pending_[best].due_ms) best = i;
    return best;
}

void ScriptedDevice::arrive(const Pending& frame) {
    uint8_t wire[2 * 256 + 2];
    const size_t length = encode_frame(frame.payload.data(), frame.payload.size(), wire);
    decode_bytes(shared, frames, wire, length, count_frame_event, &frame_events_);
    delivered.push_back(DeliveredFrame{now_ms, frame.payload});
}

void ScriptedDevice::perform(const WorkerActions& actions) {
    // The thread writes the transmit buffer as it is when it performs the
    // actions, so one step may send only one frame.
    size_t sends = 0;
    for (uint8_t i = 0; i < actions.count; ++i) sends += actions.action[i].kind == WorkerAction::kSend;
    if (sends > 1) ADD_FAILURE() << "one step sent " << sends << " frames";

    for (uint8_t i = 0; i < actions.count; ++i) {
        const WorkerAction& action = actions.action[i];
        if (action.kind == WorkerAction::kSend) {
            Bytes wire(frames.transmit, frames.transmit + shared.transmit_length);
            sent.push_back(SentFrame{now_ms, wire, unescaped_payload(wire)});
            device_hears(sent.back().payload);
        } else {
            posts.push_back(PostedMessage{now_ms, action.message, action.wparam});
        }
    }
}

void ScriptedDevice::device_hears(const Bytes& payload) {
    Answer reply;
    if (answers_used_ < queued_answers_.size())
        reply = queued_answers_[answers_used_++];
    else if (responder_)
        reply = responder_(payload);

    uint32_t at = now_ms;
    for (const Say& frame : reply) {
        at += frame.after_ms;
        pending_.push_back(Pending{at, frame.payload, frame.races_time_out});
    }
}

int ScriptedDevice::result() const {
    for (const PostedMessage& post : posts)
        if (post.message == kEndMessage) return static_cast<int>(post.wparam);
    return -1;
}

uint32_t ScriptedDevice::end_time() const {
    for (const PostedMessage& post : posts)
        if (post.message == kEndMessage) return post.at_ms;
    return 0;
}

size_t ScriptedDevice::end_messages() const {
    size_t count = 0;
    for (const PostedMessage& post : posts) count += post.message == kEndMessage;
    return count;
}

std::vector<uint32_t> ScriptedDevice::progress() const {
    std::vector<uint32_t> numbers;
    for (const PostedMessage& post : posts)
        if (post.message == kProgressMessage) numbers.push_back(post.wparam);
    return numbers;
}

std::vector<Bytes> ScriptedDevice::sent_wire() const {
    std::vector<Bytes> wires;
    for (const SentFrame& frame : sent) wires.push_back(frame.wire);
    return wires;
}

std::vector<Bytes> ScriptedDevice::sent_payloads() const {
    std::vector<Bytes> payloads;
    for (const SentFrame& frame : sent) payloads.push_back(frame.payload);
    return payloads;
}

std::vector<uint32_t> ScriptedDevice::send_times() const {
    std::vector<uint32_t> times;
    for (const SentFrame& frame : sent) times.push_back(frame.at_ms);
    return times;
}

}  // namespace test
}  // namespace zav
