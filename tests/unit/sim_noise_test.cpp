// The virtual device's line faults: what the fault tests under Wine claim
// about the line (which frame is hit, how, and that a seed repeats a run)
// must hold, or they would test something else than they say.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/device.h"

namespace zav::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes wire_of(const Bytes& payload) {
    uint8_t wire[64];
    const size_t n = encode_frame(payload.data(), payload.size(), wire);
    return Bytes(wire, wire + n);
}

// The device's wire answer to one program frame.
Bytes answer(Device& device, const Bytes& payload) {
    const Bytes wire = wire_of(payload);
    device.output_length = 0;
    device_receive(device, wire.data(), wire.size());
    Bytes out(device.output, device.output + device.output_length);
    device.output_length = 0;
    return out;
}

std::vector<Bytes> frames_in(const Bytes& wire) {
    struct Collector {
        SharedState state;
        FrameBuffers frames;
        std::vector<Bytes> got;
    } c;
    clear_shared_state(c.state);
    std::memset(&c.frames, 0, sizeof c.frames);
    decode_bytes(
        c.state, c.frames, wire.data(), wire.size(),
        [](void* context) {
            Collector& col = *static_cast<Collector*>(context);
            const uint8_t* slot = take_frame(col.frames.ring);
            col.got.emplace_back(slot + 1, slot + 1 + slot[0]);
        },
        &c);
    return c.got;
}

struct NoiseDevice : ::testing::Test {
    Device device;
    Device clean;
    void SetUp() override {
        device_init(device);
        device_init(clean);
    }
};

TEST_F(NoiseDevice, OneShotHitsTheChosenDeviceFrameOnly) {
    const Bytes sound = answer(clean, {'+'});  // F0, then the setup block
    ASSERT_EQ(2u, frames_in(sound).size());

    set_one_shot_noise(device.noise, NoiseKind::drop, false, 1);
    std::vector<Bytes> got = frames_in(answer(device, {'+'}));
    ASSERT_EQ(1u, got.size()) << "the second frame is lost";
    EXPECT_EQ(Bytes{0xF0}, got[0]);
    EXPECT_EQ(1u, device.noise.hits);
    // Spent: the next identification is whole again.
    EXPECT_EQ(sound, answer(device, {'+'}));

    set_one_shot_noise(device.noise, NoiseKind::duplicate, false, 0);
    got = frames_in(answer(device, {'+'}));
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(got[0], got[1]);
}

TEST_F(NoiseDevice, GarbageHasNoStartByteAndLeavesTheFramesWhole) {
    const Bytes sound = answer(clean, {'-'});
    for (uint32_t seed = 1; seed < 40; ++seed) {
        device_init(device);
        set_noise_seed(device.noise, seed);
        set_one_shot_noise(device.noise, NoiseKind::garbage, false, 1);
        const Bytes noisy = answer(device, {'-'});
        ASSERT_GT(noisy.size(), sound.size());
        const size_t extra = noisy.size() - sound.size();
        EXPECT_LE(extra, 8u);
        // The rubbish sits between the two frames.
        const size_t first_frame = wire_of({0xF0}).size();
        for (size_t i = first_frame; i < first_frame + extra; ++i) EXPECT_NE(kFrameStart, noisy[i]);
        EXPECT_EQ(frames_in(sound), frames_in(noisy)) << "seed " << seed;
    }
}

TEST_F(NoiseDevice, CorruptionChangesOneWireByteAndASeedRepeatsIt) {
    const Bytes sound = answer(clean, {'-'});
    set_noise_seed(device.noise, 77);
    set_one_shot_noise(device.noise, NoiseKind::corrupt, false, 1);
    const Bytes noisy = answer(device, {'-'});
    ASSERT_EQ(sound.size(), noisy.size());
    int changed = 0;
    for (size_t i = 0; i < sound.size(); ++i) changed += sound[i] != noisy[i];
    EXPECT_EQ(1, changed);

    Device again;
    device_init(again);
    set_noise_seed(again.noise, 77);
    set_one_shot_noise(again.noise, NoiseKind::corrupt, false, 1);
    EXPECT_EQ(noisy, answer(again, {'-'}));
}

TEST_F(NoiseDevice, FramesToTheDeviceAreDroppedOrDoubled) {
    set_one_shot_noise(device.noise, NoiseKind::drop, true, 0);
    EXPECT_TRUE(answer(device, {'+'}).empty()) << "a lost command gets no answer";
    EXPECT_FALSE(answer(device, {'+'}).empty());

    set_one_shot_noise(device.noise, NoiseKind::duplicate, true, 0);
    EXPECT_EQ(4u, frames_in(answer(device, {'+'})).size()) << "a doubled command is answered twice";
}

TEST_F(NoiseDevice, RandomNoiseRepeatsWithItsSeed) {
    auto run = [](uint32_t seed) {
        Device d;
        device_init(d);
        set_noise_seed(d.noise, seed);
        d.noise.random_percent = 30;
        Bytes all;
        for (int i = 0; i < 20; ++i) {
            const Bytes out = answer(d, {'-'});
            all.insert(all.end(), out.begin(), out.end());
        }
        return all;
    };
    EXPECT_EQ(run(5), run(5));
    EXPECT_NE(run(5), run(6));
}

// Each identify command is heard once and its two answers are hit.
TEST_F(NoiseDevice, RandomNoiseToTheProgramLetsEveryProgramFrameThrough) {
    set_noise_seed(device.noise, 9);
    device.noise.random_percent = 100;
    device.noise.random_to_program = true;
    for (int i = 0; i < 10; ++i) answer(device, {'+'});
    EXPECT_EQ(20u, device.noise.hits);
}

TEST_F(NoiseDevice, LineVanishesAtTheChosenProgramFrameAndTheDeviceRestarts) {
    device.faults.vanish_after_frames = 2;
    EXPECT_FALSE(answer(device, {'-'}).empty());
    EXPECT_FALSE(device.vanish_now);
    EXPECT_TRUE(answer(device, {0x60}).empty()) << "the frame that finds the line dead gets no answer";
    EXPECT_TRUE(device.vanish_now);
    EXPECT_TRUE(answer(device, {'+'}).empty()) << "nothing arrives on a dead line";

    device_restart(device);
    EXPECT_EQ(Mode::idle, device.mode);
    EXPECT_EQ(answer(clean, {'+'}), answer(device, {'+'}));
}

TEST_F(NoiseDevice, StalledBlocksAreAcknowledgedButNeverConfirmed) {
    uint8_t block[18];
    std::memset(block, 0x11, sizeof block);
    block[0] = 2;
    block[1] = 0;
    device.faults.program_stall_block = 2;
    answer(device, {'.'});
    EXPECT_EQ(std::vector<Bytes>{Bytes{0xF0}}, frames_in(answer(device, Bytes(block, block + 18))));

    device.faults.stall_setup = true;
    answer(device, {'*'});
    EXPECT_EQ(std::vector<Bytes>{Bytes{0xF0}}, frames_in(answer(device, {0x1F, 0x01, 0x00, 2, 30})));
    EXPECT_EQ(0u, device.setup_writes);
}

}  // namespace
}  // namespace zav::sim
