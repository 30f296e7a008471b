// Bytes as they come off the line, cut where the program's decoder cuts
// them: whole frames (start byte to end byte), and what lies between them,
// which the decoder drops (bytes outside a frame, a frame cut short by the
// next start byte, a frame too long for its buffer). The trace names each
// piece; the line's self-test reads a device's answer with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zav::cli {

struct WirePiece {
    enum Kind {
        kFrame,     // a whole frame, start and end byte included
        kOutside,   // bytes outside any frame
        kCutShort,  // a frame's beginning that the next start byte ended
        kTooLong,   // a frame longer than the decoder takes, dropped by it
    };
    Kind kind;
    std::vector<uint8_t> wire;
};

class WireFrames {
public:
    // Cuts bytes and appends the pieces they complete to pieces. A frame
    // begun is kept for the next call.
    void feed(const uint8_t* bytes, size_t count, std::vector<WirePiece>& pieces);

    // Whatever is begun and not finished (the line is closed).
    void finish(std::vector<WirePiece>& pieces);

private:
    void close_outside(std::vector<WirePiece>& pieces);

    bool in_frame_ = false;
    size_t payload_bytes_ = 0;  // of the frame begun, as the decoder counts them
    bool escape_ = false;
    std::vector<uint8_t> begun_;
    std::vector<uint8_t> outside_;
};

// The payload of wire, when wire is exactly one whole frame (FD x stands
// for x with bit 7 set).
bool frame_payload(const uint8_t* wire, size_t count, std::vector<uint8_t>& payload);

}  // namespace zav::cli
