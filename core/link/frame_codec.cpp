#include "core/link/frame_codec.h"

#include <cstring>

namespace zav {

namespace {

// Bytes above this value are the three framing bytes and must be escaped.
constexpr uint8_t kHighestPlainByte = 0xFC;
constexpr uint8_t kEscapedBit = 0x80;

// Hands the gathered payload to the ring. The slot is cleared first: workers
// read fixed payload positions whatever the frame's length, and must never
// see bytes of an older, longer frame there.
void store_frame(SharedState& shared, FrameBuffers& frames) {
    ReceiveRing& ring = frames.ring;
    uint8_t* slot = ring.slot[ring.write_index % kRingSlots];
    const size_t length = shared.gathered_length;
    std::memset(slot + 1, 0, kSlotBytes - 1);
    std::memcpy(slot + 1, frames.gather, length);
    slot[0] = static_cast<uint8_t>(length);
    ring.write_index = static_cast<uint8_t>((ring.write_index + 1) % kRingSlots);
}

}  // namespace

size_t encode_frame(const uint8_t* payload, size_t length, uint8_t* out) {
    size_t position = 0;
    out[position++] = kFrameStart;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = payload[i];
        if (b > kHighestPlainByte) {
            out[position++] = kFrameEscape;
            out[position++] = static_cast<uint8_t>(b & 0x7F);
        } else {
            out[position++] = b;
        }
    }
    out[position++] = kFrameEnd;
    return position;
}

// Receiver thread only. The decoder's state survives from one chunk to the
// next (and from one opening of the port to the next), so a frame may be
// split anywhere, even between the escape byte and the byte it escapes.
void decode_bytes(SharedState& shared, FrameBuffers& frames, const uint8_t* bytes, size_t n,
                  FrameStoredHook on_frame_stored, void* context) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = bytes[i];

        // A start byte always begins a fresh frame: whatever was gathered is
        // dropped, and so is an escape left pending by a garbled frame
        // (FD FE), which would otherwise corrupt the next good frame.
        if (b == kFrameStart) {
            shared.in_frame = 1;
            shared.gathered_length = 0;
            shared.escape = 0;
            continue;
        }
        if (!shared.in_frame) continue;  // noise between frames

        if (b == kFrameEnd) {
            shared.in_frame = 0;
            store_frame(shared, frames);
            if (on_frame_stored != nullptr) on_frame_stored(context);
            continue;
        }
        if (b == kFrameEscape) {
            shared.escape = 1;
            continue;
        }
        if (shared.escape) b |= kEscapedBit;
        shared.escape = 0;

        // No exchange with the device comes near the gather buffer's size; a
        // longer frame is garbage. Drop it and wait for the next start byte
        // rather than write past the buffer.
        if (shared.gathered_length >= kGatherBytes) {
            shared.in_frame = 0;
            continue;
        }
        frames.gather[shared.gathered_length++] = b;
    }
}

const uint8_t* take_frame(ReceiveRing& ring) {
    const uint8_t* slot = ring.slot[ring.read_index % kRingSlots];
    ring.read_index = static_cast<uint8_t>((ring.read_index + 1) % kRingSlots);
    return slot;
}

}  // namespace zav
