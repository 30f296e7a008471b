// A scripted device on a virtual clock, for driving the transaction
// machines exactly as the worker thread does, without real time.
//
// The harness plays the thread loop: a 500 ms wait delivers the next device
// frame if one is due within it (the clock jumps to its arrival), else the
// clock moves on by 500 ms and the wait times out. Device frames travel as
// on the wire: encoded, then fed through the decoder into the ring, one
// frame event per stored frame. Everything the machine sends is recorded
// with its time, and so is everything it posts.
//
// Scripts answer the machine's sends in order:
//
//   device.answer({say(0xF0), say(setup_block)});   // the first send
//   device.answer({});                                // the second: silence
//   device.answer_every_send([](const Bytes& sent) -> Answer { ... });
//
// Sends beyond the queued answers go to answer_every_send, or get silence.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "core/config/config_image.h"
#include "core/link/frame_codec.h"
#include "core/link/shared_state.h"
#include "core/link/worker.h"

namespace zav {
namespace test {

using Bytes = std::vector<uint8_t>;

// One frame of the device, due after_ms after the previous frame of the
// same answer (the first: after the send it answers).
struct Say {
    uint32_t after_ms;
    Bytes payload;
    // The frame lands in the ring at the very moment the wait that should
    // have delivered it times out.
    bool races_time_out;
};

// Device answers come 20 ms apart: about the length of a short frame at
// 2400 baud.
constexpr uint32_t kDeviceDelay = 20;

inline Say say(Bytes payload) { return Say{kDeviceDelay, std::move(payload), false}; }
inline Say say(uint8_t byte) { return say(Bytes{byte}); }
inline Say say_after(uint32_t ms, Bytes payload) { return Say{ms, std::move(payload), false}; }
inline Say say_after(uint32_t ms, uint8_t byte) { return say_after(ms, Bytes{byte}); }
inline Say say_as_wait_times_out(uint32_t ms, Bytes payload) { return Say{ms, std::move(payload), true}; }

using Answer = std::vector<Say>;

struct SentFrame {
    uint32_t at_ms;
    Bytes wire;     // exactly as written to the port
    Bytes payload;  // unescaped, for the device's answers
};

struct PostedMessage {
    uint32_t at_ms;
    uint32_t message;
    uint32_t wparam;
};

struct DeliveredFrame {
    uint32_t at_ms;
    Bytes payload;
};

// The wire form of a payload, built independently of the codec under test.
Bytes wire_of(const Bytes& payload);

// A payload as a block frame: number (little-endian), then data.
Bytes block_frame(uint16_t number, const Bytes& data);

struct ScriptedDevice {
    ScriptedDevice();

    // ---- script ----
    ScriptedDevice& answer(Answer frames);
    ScriptedDevice& answer_every_send(std::function<Answer(const Bytes& sent_payload)> responder);
    // The window stops the link at this time (the port-stop procedure); from
    // then on the machine is given nothing, as the worker thread gives it
    // nothing.
    ScriptedDevice& stop_at(uint32_t at_ms);

    // ---- run ----
    // Runs one transaction as the worker thread would, until the machine
    // has finished or the link was stopped (or a minute of silence passed,
    // which no transaction survives).
    void run(uint8_t command, uint8_t block_length = 0);

    // ---- outcome ----
    // The end message's result, or -1 when none was posted.
    int result() const;
    uint32_t end_time() const;           // when the end message was posted
    size_t end_messages() const;
    std::vector<uint32_t> progress() const;
    std::vector<Bytes> sent_wire() const;
    std::vector<Bytes> sent_payloads() const;
    std::vector<uint32_t> send_times() const;

    // The machine's world: fresh for every device.
    SharedState shared;
    FrameBuffers frames;
    ConfigImage image;
    uint8_t read_back[kReadBackBytes];
    uint8_t read_back_guard[256];  // must stay 0xA5: nothing is written past read_back
    Worker worker;

    uint32_t now_ms;
    bool stopped;
    std::vector<SentFrame> sent;
    std::vector<PostedMessage> posts;
    std::vector<DeliveredFrame> delivered;

   private:
    struct Pending {
        uint32_t due_ms;
        Bytes payload;
        bool races_time_out;
    };

    void perform(const WorkerActions& actions);
    void device_hears(const Bytes& payload);
    void arrive(const Pending& frame);
    void wait_once();
    size_t next_due() const;

    std::vector<Answer> queued_answers_;
    size_t answers_used_;
    std::function<Answer(const Bytes&)> responder_;
    std::vector<Pending> pending_;
    bool stop_scheduled_;
    uint32_t stop_ms_;
    uint32_t frame_events_;  // the counting semaphore
};

}  // namespace test
}  // namespace zav
