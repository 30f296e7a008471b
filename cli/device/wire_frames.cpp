#include "cli/device/wire_frames.h"

#include "core/link/frame_codec.h"

namespace zav::cli {

void WireFrames::close_outside(std::vector<WirePiece>& pieces) {
    if (outside_.empty()) return;
    pieces.push_back(WirePiece{WirePiece::kOutside, outside_});
    outside_.clear();
}

void WireFrames::feed(const uint8_t* bytes, size_t count, std::vector<WirePiece>& pieces) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == kFrameStart) {
            close_outside(pieces);
            if (in_frame_) pieces.push_back(WirePiece{WirePiece::kCutShort, begun_});
            in_frame_ = true;
            payload_bytes_ = 0;
            escape_ = false;
            begun_.assign(1, b);
            continue;
        }
        if (!in_frame_) {
            outside_.push_back(b);
            continue;
        }
        begun_.push_back(b);
        if (b == kFrameEnd) {
            pieces.push_back(WirePiece{WirePiece::kFrame, begun_});
            in_frame_ = false;
            begun_.clear();
            continue;
        }
        if (b == kFrameEscape) {
            escape_ = true;
            continue;
        }
        escape_ = false;
        // The decoder drops a frame that outgrows its gather buffer and
        // waits for the next start byte; what follows lies outside.
        if (++payload_bytes_ > kGatherBytes) {
            pieces.push_back(WirePiece{WirePiece::kTooLong, begun_});
            in_frame_ = false;
            begun_.clear();
        }
    }
    close_outside(pieces);
}

void WireFrames::finish(std::vector<WirePiece>& pieces) {
    close_outside(pieces);
    if (in_frame_) pieces.push_back(WirePiece{WirePiece::kCutShort, begun_});
    in_frame_ = false;
    begun_.clear();
}

bool frame_payload(const uint8_t* wire, size_t count, std::vector<uint8_t>& payload) {
    payload.clear();
    if (count < 2 || wire[0] != kFrameStart || wire[count - 1] != kFrameEnd) return false;
    bool escape = false;
    for (size_t i = 1; i + 1 < count; ++i) {
        const uint8_t b = wire[i];
        if (b == kFrameStart || b == kFrameEnd) return false;
        if (b == kFrameEscape) {
            escape = true;
            continue;
        }
        payload.push_back(escape ? static_cast<uint8_t>(b | 0x80) : b);
        escape = false;
    }
    return true;
}

}  // namespace zav::cli
