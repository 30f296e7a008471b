#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/link/frame_codec.h"
#include "core/link/shared_state.h"

namespace zav {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes encoded(const Bytes& payload) {
    uint8_t out[2 * 256 + 2];
    const size_t length = encode_frame(payload.data(), payload.size(), out);
    return Bytes(out, out + length);
}

// A fresh receiver: decoder state cleared, ring empty, every stored frame
// counted as the frame event would count it.
struct Receiver {
    SharedState shared{};
    FrameBuffers frames{};
    uint32_t frame_events = 0;

    static void count(void* context) { ++static_cast<Receiver*>(context)->frame_events; }

    void feed(const Bytes& bytes) { decode_bytes(shared, frames, bytes.data(), bytes.size(), count, this); }

    Bytes slot_payload(size_t index) const {
        const uint8_t* slot = frames.ring.slot[index];
        return Bytes(slot + 1, slot + 1 + slot[0]);
    }
};

TEST(FrameEncoder, BuildsTheFramesOfTheExchanges) {
    EXPECT_EQ(Bytes({0xFF, 0x2B, 0xFE}), encoded({0x2B}));
    EXPECT_EQ(Bytes({0xFF, 0xF0, 0xFE}), encoded({0xF0}));
    EXPECT_EQ(Bytes({0xFF, 0x63, 0x03, 0x00, 0xFE}), encoded({0x63, 0x03, 0x00}));
    EXPECT_EQ(Bytes({0xFF, 0xFD, 0x7F, 0xFD, 0x7F, 0x41, 0xFE}), encoded({0xFF, 0xFF, 0x41}));
}

TEST(FrameEncoder, EscapesExactlyTheThreeFramingBytes) {
    EXPECT_EQ(Bytes({0xFF, 0x00, 0xFC, 0xFE}), encoded({0x00, 0xFC}));
    // Nothing but framing bytes: the payload doubles, plus start and end.
    EXPECT_EQ(Bytes({0xFF, 0xFD, 0x7D, 0xFD, 0x7E, 0xFD, 0x7F, 0xFE}), encoded({0xFD, 0xFE, 0xFF}));
    EXPECT_EQ(Bytes({0xFF, 0xFE}), encoded({}));
}

TEST(FrameDecoder, IgnoresNoiseAndRestoresEscapedBytes) {
    Receiver rx;
    rx.feed({0x00, 0xFF, 0xFD, 0x7E, 0x12, 0xFE});
    EXPECT_EQ(1u, rx.frame_events);
    EXPECT_EQ(2, rx.frames.ring.slot[0][0]);
    EXPECT_EQ(Bytes({0xFE, 0x12}), rx.slot_payload(0));

    // A byte after the escape that the encoder never produces still gets bit 7.
    rx.feed({0xFF, 0xFD, 0x41, 0xFE});
    EXPECT_EQ(Bytes({0xC1}), rx.slot_payload(1));
}

TEST(FrameDecoder, DecodesWhatTheEncoderBuilds) {
    const Bytes payloads[] = {{0x2B}, {0xF0}, {0x63, 0x03, 0x00}, {0xFF, 0xFF, 0x41}, {0xFD, 0xFE, 0xFF, 0x00}};
    Receiver rx;
    for (const Bytes& payload : payloads) rx.feed(encoded(payload));
    ASSERT_EQ(5u, rx.frame_events);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(payloads[i], rx.slot_payload(i));
}

TEST(FrameDecoder, AFrameSplitAnywhereDecodesAsIfWhole) {
    const Bytes wire = {0xFF, 0xFD, 0x7F, 0xFD, 0x7F, 0x41, 0xFD, 0x7D, 0xFE};
    for (size_t split = 1; split < wire.size(); ++split) {
        SCOPED_TRACE(split);
        Receiver rx;
        rx.feed(Bytes(wire.begin(), wire.begin() + static_cast<long>(split)));
        EXPECT_EQ(0u, rx.frame_events);
        rx.feed(Bytes(wire.begin() + static_cast<long>(split), wire.end()));
        ASSERT_EQ(1u, rx.frame_events);
        EXPECT_EQ(Bytes({0xFF, 0xFF, 0x41, 0xFD}), rx.slot_payload(0));
    }
}

TEST(FrameDecoder, AStartByteDropsAnUnfinishedFrame) {
    Receiver rx;
    rx.feed({0xFF, 0x2B, 0xFF, 0xF0, 0xFE});
    EXPECT_EQ(1u, rx.frame_events);
    EXPECT_EQ(1, rx.frames.ring.write_index);
    EXPECT_EQ(Bytes({0xF0}), rx.slot_payload(0));
}

TEST(FrameDecoder, AGarbledEscapeBeforeTheEndDoesNotSpoilTheNextFrame) {
    Receiver rx;
    rx.feed({0xFF, 0x41, 0xFD, 0xFE, 0xFF, 0x60, 0xFE});
    ASSERT_EQ(2u, rx.frame_events);
    EXPECT_EQ(Bytes({0x41}), rx.slot_payload(0));
    EXPECT_EQ(Bytes({0x60}), rx.slot_payload(1));  // not 0xE0

    // Likewise when the next frame comes in a later chunk.
    Receiver split;
    split.feed({0xFF, 0xFD, 0xFE, 0x00});
    split.feed({0xFF, 0x60, 0xFE});
    EXPECT_EQ(Bytes({0x60}), split.slot_payload(1));
}

TEST(FrameDecoder, AnEmptyFrameIsStoredAndSignalled) {
    Receiver rx;
    std::memset(rx.frames.ring.slot[0], 0x77, kSlotBytes);
    rx.feed({0xFF, 0xFE});
    EXPECT_EQ(1u, rx.frame_events);
    EXPECT_EQ(0, rx.frames.ring.slot[0][0]);
    EXPECT_EQ(0, rx.frames.ring.slot[0][1]);
    EXPECT_EQ(1, rx.frames.ring.write_index);
}

TEST(FrameDecoder, ANinthUntakenFrameOverwritesTheFirstSlot) {
    Receiver rx;
    for (uint8_t n = 1; n <= 9; ++n) rx.feed(encoded({n}));
    EXPECT_EQ(9u, rx.frame_events);
    EXPECT_EQ(Bytes({9}), rx.slot_payload(0));
    EXPECT_EQ(Bytes({2}), rx.slot_payload(1));
    EXPECT_EQ(1, rx.frames.ring.write_index);
}

TEST(FrameDecoder, AShortFrameShowsNoBytesOfAnOlderLongerOne) {
    Receiver rx;
    Bytes long_payload(40, 0x5A);
    rx.feed(encoded(long_payload));
    rx.frames.ring.write_index = 0;  // as at the start of the next transaction
    rx.feed(encoded({0x60}));
    const uint8_t* slot = rx.frames.ring.slot[0];
    EXPECT_EQ(1, slot[0]);
    EXPECT_EQ(0x60, slot[1]);
    for (size_t i = 2; i < kSlotBytes; ++i) ASSERT_EQ(0, slot[i]) << "slot byte " << i;
}

TEST(FrameDecoder, AFrameLongerThanTheGatherBufferIsDropped) {
    Receiver rx;
    // The gather buffer lies right before the ring: writing past it would
    // show in the first slot.
    std::memset(rx.frames.ring.slot, 0x33, sizeof rx.frames.ring.slot);

    const Bytes fits(kGatherBytes, 0x11);
    rx.feed(encoded(fits));
    ASSERT_EQ(1u, rx.frame_events);
    EXPECT_EQ(fits, rx.slot_payload(0));

    Bytes too_long(kGatherBytes + 1, 0x22);
    too_long.back() = 0xFF;  // escaped, so the overflow falls on a restored byte
    rx.feed(encoded(too_long));
    EXPECT_EQ(1u, rx.frame_events);
    EXPECT_EQ(1, rx.frames.ring.write_index);
    for (size_t i = 0; i < kSlotBytes; ++i) ASSERT_EQ(0x33, rx.frames.ring.slot[1][i]);

    // Far longer, split over chunks: still nothing stored, nothing overrun.
    Bytes huge(300, 0x44);
    const Bytes wire = encoded(huge);
    rx.feed(Bytes(wire.begin(), wire.begin() + 150));
    rx.feed(Bytes(wire.begin() + 150, wire.end()));
    EXPECT_EQ(1u, rx.frame_events);
    EXPECT_EQ(fits, rx.slot_payload(0));

    rx.feed(encoded({0xF0}));
    ASSERT_EQ(2u, rx.frame_events);
    EXPECT_EQ(Bytes({0xF0}), rx.slot_payload(1));
}

TEST(ReceiveRing, TakingAFrameAdvancesTheReadIndexRoundTheRing) {
    ReceiveRing ring{};
    EXPECT_FALSE(frame_waiting(ring));
    ring.write_index = 1;
    EXPECT_TRUE(frame_waiting(ring));
    EXPECT_EQ(ring.slot[0], take_frame(ring));
    EXPECT_FALSE(frame_waiting(ring));

    ring.read_index = 7;
    EXPECT_EQ(ring.slot[7], take_frame(ring));
    EXPECT_EQ(0, ring.read_index);
}

}  // namespace
}  // namespace zav
