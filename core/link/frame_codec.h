// Frames on the serial line: 0xFF, the payload with bytes above 0xFC sent as
// 0xFD and the byte with bit 7 cleared, 0xFE. No length, no check bytes.
//
// The encoder runs on the worker thread, the decoder on the receiver thread;
// they meet in the receive ring.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link/shared_state.h"

namespace zav {

constexpr uint8_t kFrameStart = 0xFF;
constexpr uint8_t kFrameEnd = 0xFE;
constexpr uint8_t kFrameEscape = 0xFD;

constexpr size_t kRingSlots = 8;
constexpr size_t kSlotBytes = 128;   // byte 0 the payload length, then the payload
constexpr size_t kGatherBytes = 100;
constexpr size_t kTransmitBytes = 256;

struct ReceiveRing {
    uint8_t slot[kRingSlots][kSlotBytes];
    uint8_t write_index;  // receiver
    uint8_t read_index;   // worker
};

// The codec's buffers. The decoder's flags and gathered length live in the
// shared state record.
struct FrameBuffers {
    uint8_t gather[kGatherBytes];
    ReceiveRing ring;
    uint8_t transmit[kTransmitBytes];
};

// Called by the decoder after each frame it stores in the ring. The receiver
// signals the frame event here and gives the worker up to 100 ms to take it.
using FrameStoredHook = void (*)(void* context);

// Encodes payload into out (room for 2 * length + 2 bytes); returns the
// frame's length.
size_t encode_frame(const uint8_t* payload, size_t length, uint8_t* out);

// Consumes n received bytes; frames may be split across calls.
void decode_bytes(SharedState& shared, FrameBuffers& frames, const uint8_t* bytes, size_t n,
                  FrameStoredHook on_frame_stored, void* context);

// Worker side: the slot at the read index; advances the index. The caller
// signals the slot taken event.
const uint8_t* take_frame(ReceiveRing& ring);

inline bool frame_waiting(const ReceiveRing& ring) { return ring.write_index != ring.read_index; }

}  // namespace zav
