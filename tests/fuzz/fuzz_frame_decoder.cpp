// The receiver's decoder on arbitrary line bytes in arbitrary chunks.
//
// The first input byte chooses the chunk sizes, the rest is the line. The
// same line is decoded twice: in chunks, with a worker that takes every
// frame the moment it is stored, and in one piece with nobody taking
// anything. Both must agree with an independent reading of the line (split
// at start bytes, unescape, drop what overflows the gather buffer), and
// neither may touch anything but the gather buffer and the ring's write side.
#include <vector>

#include "fuzz_check.h"
#include "core/link/frame_codec.h"

using namespace zav;
using zav_fuzz::Exact;

namespace {

using Payload = std::vector<uint8_t>;

// The frames a line holds: the payloads of every stretch that a start byte
// opens and an end byte closes, unescaped, unless it outgrows the gather
// buffer. A stretch that the next start byte or the end of the line cuts
// off is no frame.
std::vector<Payload> frames_of(const uint8_t* line, size_t n) {
    std::vector<Payload> frames;
    size_t i = 0;
    while (i < n) {
        if (line[i] != kFrameStart) {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < n && line[end] != kFrameStart && line[end] != kFrameEnd) ++end;
        if (end < n && line[end] == kFrameEnd) {
            Payload payload;
            bool escaped = false;
            for (size_t k = i + 1; k < end; ++k) {
                if (line[k] == kFrameEscape) {
                    escaped = true;
                } else {
                    payload.push_back(escaped ? static_cast<uint8_t>(line[k] | 0x80) : line[k]);
                    escaped = false;
                }
            }
            if (payload.size() <= kGatherBytes) frames.push_back(payload);
        }
        i = end;
    }
    return frames;
}

void check_slot(const uint8_t* slot, const Payload& expected) {
    FUZZ_CHECK(slot[0] == expected.size());
    FUZZ_CHECK(expected.empty() || std::memcmp(slot + 1, expected.data(), expected.size()) == 0);
    // The rest of the slot is cleared: a worker reading fixed positions of a
    // short frame sees zeros, never an older frame.
    for (size_t k = 1 + expected.size(); k < kSlotBytes; ++k) FUZZ_CHECK(slot[k] == 0);
}

struct Receiver {
    Exact<SharedState> shared{0};
    Exact<FrameBuffers> frames{0xA5};
    const std::vector<Payload>* expected = nullptr;
    size_t stored = 0;
    bool worker_takes = false;

    Receiver() {
        frames->ring.write_index = 0;
        frames->ring.read_index = 0;
    }

    static void on_stored(void* context) {
        Receiver& rx = *static_cast<Receiver*>(context);
        ReceiveRing& ring = rx.frames->ring;
        FUZZ_CHECK(ring.write_index < kRingSlots);
        FUZZ_CHECK(rx.stored < rx.expected->size());
        if (rx.worker_takes) {
            FUZZ_CHECK(frame_waiting(ring));
            const uint8_t* slot = take_frame(ring);
            check_slot(slot, (*rx.expected)[rx.stored]);
            FUZZ_CHECK(!frame_waiting(ring));
        }
        ++rx.stored;
    }

    void feed(const uint8_t* bytes, size_t n) { decode_bytes(*shared, *frames, bytes, n, on_stored, this); }

    void check_state() const {
        FUZZ_CHECK(shared->gathered_length <= kGatherBytes);
        FUZZ_CHECK(shared->in_frame <= 1 && shared->escape <= 1);
        FUZZ_CHECK(frames->ring.write_index < kRingSlots);
        FUZZ_CHECK(frames->ring.read_index < kRingSlots);
        // The transmit buffer belongs to the worker.
        for (size_t k = 0; k < kTransmitBytes; ++k) FUZZ_CHECK(frames->transmit[k] == 0xA5);
    }
};

// A chunk size of 1 to 256 bytes, as the receiver hands them over.
size_t next_chunk(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    const uint32_t r = state >> 16;
    return (r & 3) == 0 ? 1 + (r >> 2) % 256 : 1 + (r >> 2) % 8;
}

void check_encoder(const uint8_t* payload, size_t n) {
    if (n > 127) n = 127;
    size_t high = 0;
    for (size_t k = 0; k < n; ++k) high += payload[k] > 0xFC;
    const size_t room = 2 * n + 2;
    uint8_t* out = static_cast<uint8_t*>(std::malloc(room));
    const size_t length = encode_frame(payload, n, out);
    FUZZ_CHECK(length == n + high + 2);
    FUZZ_CHECK(out[0] == kFrameStart && out[length - 1] == kFrameEnd);
    for (size_t k = 1; k + 1 < length; ++k) FUZZ_CHECK(out[k] != kFrameStart && out[k] != kFrameEnd);

    if (n <= kGatherBytes) {
        Receiver rx;
        const std::vector<Payload> expected{Payload(payload, payload + n)};
        rx.expected = &expected;
        rx.worker_takes = true;
        rx.feed(out, length);
        FUZZ_CHECK(rx.stored == 1);
    }
    std::free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint32_t split = data[0];
    const uint8_t* line = data + 1;
    const size_t n = size - 1;
    const std::vector<Payload> expected = frames_of(line, n);

    Receiver chunked;
    chunked.expected = &expected;
    chunked.worker_takes = true;
    for (size_t pos = 0; pos < n;) {
        size_t chunk = next_chunk(split);
        if (chunk > n - pos) chunk = n - pos;
        chunked.feed(line + pos, chunk);
        chunked.check_state();
        pos += chunk;
    }
    FUZZ_CHECK(chunked.stored == expected.size());

    Receiver whole;
    whole.expected = &expected;
    whole.feed(line, n);
    whole.check_state();
    FUZZ_CHECK(whole.stored == expected.size());
    // Nobody took a frame: the ring holds the last eight, the ninth having
    // overwritten the first.
    FUZZ_CHECK(whole.frames->ring.write_index == expected.size() % kRingSlots);
    FUZZ_CHECK(whole.frames->ring.read_index == 0);
    const size_t kept = expected.size() < kRingSlots ? expected.size() : kRingSlots;
    for (size_t k = expected.size() - kept; k < expected.size(); ++k) {
        check_slot(whole.frames->ring.slot[k % kRingSlots], expected[k]);
    }
    // Where the line ends does not depend on how it was cut.
    FUZZ_CHECK(chunked.shared->in_frame == whole.shared->in_frame);
    FUZZ_CHECK(chunked.shared->escape == whole.shared->escape);
    FUZZ_CHECK(chunked.shared->gathered_length == whole.shared->gathered_length);
    FUZZ_CHECK(std::memcmp(chunked.frames->gather, whole.frames->gather, whole.shared->gathered_length) == 0);

    check_encoder(line, n);
    return 0;
}
