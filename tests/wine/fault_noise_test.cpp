// Noise on the line during each kind of transaction: rubbish bytes between
// frames, a corrupted frame, a dropped frame, a duplicated frame, one hit per
// transaction at a frame chosen from a seed. Every run must end with one of
// its known messages, never hang, and a run that reports success must have
// done the right thing: a read shows the device's record, a programming
// leaves exactly the fields' record in the device, a setup write exactly the
// window's block.
//
// The seed is printed; set ZAV_FAULT_SEED to repeat a run.
#include <windows.h>

#include <cstdlib>

#include "fault_fixture.h"

namespace zavtest {
namespace {

struct NoiseKind {
    const char* name;
    bool to_device;
};

constexpr const char kNoConfiguration[] = "ZAV enthält keine Konfigurationsdaten !";

// Frames to the device can only be lost or doubled: a data byte changed on
// its way into the device would be stored, and no answer could show it.
const NoiseKind kKinds[] = {{"garbage", false}, {"corrupt", false},  {"drop", false},
                            {"duplicate", false}, {"drop", true}, {"duplicate", true}};

uint32_t initial_seed() {
    char text[32] = {};
    if (GetEnvironmentVariableA("ZAV_FAULT_SEED", text, sizeof text) > 0)
        return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
    return 20240611u;
}

class NoiseTest : public FaultTest {
protected:
    uint32_t seed = initial_seed();

    uint32_t next() {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    }

    // Puts one hit on the line: frames_in_direction is how many frames of
    // that direction the transaction carries when all goes well.
    std::string arm(const NoiseKind& kind, uint32_t frames_in_direction) {
        const uint32_t content_seed = next() | 1u;
        const uint32_t at = next() % frames_in_direction;
        const std::string what = std::string(kind.name) + (kind.to_device ? " to-device " : " to-program ") +
                                 std::to_string(at);
        EXPECT_TRUE(sim("noise seed " + std::to_string(content_seed)));
        EXPECT_TRUE(sim("noise " + what));
        return what + " (content seed " + std::to_string(content_seed) + ")";
    }

    void calm() { EXPECT_TRUE(sim("noise off")); }

    static bool one_of(const std::string& text, std::initializer_list<const char*> allowed) {
        for (const char* a : allowed)
            if (text == a) return true;
        return false;
    }

    void SetUp() override {
        FaultTest::SetUp();
        std::printf("    [noise] seed %u (ZAV_FAULT_SEED=%u repeats this run)\n", seed, seed);
    }
};

TEST_F(NoiseTest, ConnectEndsWithItsMessageWhateverTheLineDoes) {
    ASSERT_TRUE(start());
    for (const NoiseKind& kind : kKinds) {
        const std::string what = arm(kind, 2);
        SCOPED_TRACE(what);
        Outcome outcome = run_connect();
        calm();
        ASSERT_TRUE(outcome.box) << "no end of the connect";
        EXPECT_TRUE(one_of(outcome.text, {kRecognised, kNotFound, "Setup-Daten ungültig !"}) ||
                    outcome.text.rfind("Ungültige ZAV160-Version", 0) == 0)
            << outcome.text;
        std::printf("    [noise] connect, %s: \"%s\" after %.1f s\n", what.c_str(), outcome.text.c_str(),
                    outcome.seconds);
    }
    EXPECT_TRUE(connected());
}

TEST_F(NoiseTest, ReadShowsTheDevicesRecordOrFails) {
    ASSERT_TRUE(fields_ready());
    for (const NoiseKind& kind : kKinds) {
        const std::string what = arm(kind, 15);
        SCOPED_TRACE(what);
        Outcome outcome = run_config(kConfigRead);
        calm();
        ASSERT_TRUE(outcome.box) << "no end of the read";
        std::printf("    [noise] read, %s: \"%s\" after %.1f s\n", what.c_str(), outcome.text.c_str(),
                    outcome.seconds);
        EXPECT_TRUE(one_of(outcome.text,
                           {"Konfiguration gelesen !", kLinkLost, "ZAV enthält keine Konfigurationsdaten !"}))
            << outcome.text;
        // Whatever happened, the fields must still hold the device's record:
        // a read that failed left them alone, one that succeeded read right.
        EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
    }
}

TEST_F(NoiseTest, ProgrammingThatSucceedsWroteExactlyTheFields) {
    ASSERT_TRUE(fields_ready());
    const std::vector<uint8_t> fields = programmable_record();
    std::vector<uint8_t> other = fields;
    other[96] = 99;  // dead time
    other[20] = '9';
    for (const NoiseKind& kind : kKinds) {
        // The device holds another record, so only a real write can match.
        ASSERT_TRUE(sim("record " + hex_text(other)));
        const std::string what = arm(kind, kind.to_device ? 10 : 17);
        SCOPED_TRACE(what);
        Outcome outcome = run_config(kConfigProgram);
        calm();
        ASSERT_TRUE(outcome.box) << "no end of the programming";
        std::printf("    [noise] program, %s: \"%s\" after %.1f s\n", what.c_str(), outcome.text.c_str(),
                    outcome.seconds);
        EXPECT_TRUE(one_of(outcome.text, {"Programmierung erfolgreich !", kLinkLost, "Fehler beim Konfig-Update !",
                                          "Typ-Konflikt,Programmierung nicht möglich !"}))
            << outcome.text;
        if (outcome.text == "Programmierung erfolgreich !") {
            EXPECT_EQ(fields, device_record()) << "success reported, but the device holds another record";
            EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
        } else {
            // A failed run is followed by a good one.
            EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
            EXPECT_EQ(fields, device_record());
        }
    }
}

TEST_F(NoiseTest, SetupWriteThatSucceedsWroteExactlyTheBlock) {
    ASSERT_TRUE(setup_ready());
    std::vector<uint8_t> block;
    ASSERT_TRUE(sim_setup_block(block));
    for (const NoiseKind& kind : kKinds) {
        // The device holds another block (5 addresses instead of 10).
        ASSERT_TRUE(sim("options 3F01"));
        const std::string what = arm(kind, kind.to_device ? 2 : 3);
        SCOPED_TRACE(what);
        Outcome outcome = run_setup(kSetupProgram);
        calm();
        ASSERT_TRUE(outcome.box) << "no end of the setup write";
        std::printf("    [noise] setup write, %s: \"%s\" after %.1f s\n", what.c_str(), outcome.text.c_str(),
                    outcome.seconds);
        EXPECT_TRUE(one_of(outcome.text, {"Programmierung erfolgreich !", kLinkLost, "CRC-Fehler !"})) << outcome.text;
        if (outcome.text != "Programmierung erfolgreich !") {
            EXPECT_EQ("Programmierung erfolgreich !", run_setup(kSetupProgram).text);
        }
        std::vector<uint8_t> now;
        ASSERT_TRUE(sim_setup_block(now));
        EXPECT_EQ(block, now) << "the device holds another setup block than the window's";
    }
}

// Many hits at random over a series of transactions of every kind: each
// must end with one of its own messages, and a success must be true. The
// device holds the fields' record for each read, so that a read that
// succeeds leaves the fields as they are, and another record for each
// programming, so that only a real write can match the fields.
//
// Only the device's frames are hit. The device's answers carry no block
// number: once it has answered a block twice (the program sent it again, or
// the line doubled it), the program takes the second answer for the next
// block and runs one block ahead, and a block then lost on its way to the
// device goes unnoticed. The one-hit tests above cover lost and doubled
// frames to the device, one at a time.
TEST_F(NoiseTest, RandomNoiseOverEveryKindOfTransaction) {
    ASSERT_TRUE(fields_ready());
    const std::vector<uint8_t> fields = programmable_record();
    std::vector<uint8_t> other = fields;
    other[96] = 99;  // dead time
    other[20] = '9';
    ASSERT_TRUE(sim("noise seed " + std::to_string(next() | 1u)));
    ASSERT_TRUE(sim("noise random 15 to-program"));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(sim("record " + hex_text(fields)));
        Outcome read = run_config(kConfigRead);
        ASSERT_TRUE(read.box);
        EXPECT_TRUE(one_of(read.text, {"Konfiguration gelesen !", kLinkLost, kNoConfiguration})) << read.text;

        ASSERT_TRUE(sim("record " + hex_text(other)));
        Outcome programmed = run_config(kConfigProgram);
        ASSERT_TRUE(programmed.box);
        const bool written = programmed.text == "Programmierung erfolgreich !";
        EXPECT_TRUE(written || one_of(programmed.text, {kLinkLost, "Fehler beim Konfig-Update !",
                                                        "Typ-Konflikt,Programmierung nicht möglich !"}))
            << programmed.text;
        if (written) {
            EXPECT_EQ(fields, device_record()) << "success reported, but the device holds another record";
        }

        // A verification finds the difference a failed programming may leave.
        Outcome verified = run_config(kConfigVerify);
        ASSERT_TRUE(verified.box);
        const bool differs = verified.text.rfind("Fehler ab Adresse: ", 0) == 0;
        EXPECT_TRUE(one_of(verified.text, {"Verifikation OK !", kLinkLost, kNoConfiguration}) || (differs && !written))
            << verified.text;
        if (verified.text == "Verifikation OK !") {
            EXPECT_EQ(fields, device_record()) << "verified, but the device holds another record";
        }
        std::printf("    [noise] random round %d: \"%s\", \"%s\", \"%s\"\n", round, read.text.c_str(),
                    programmed.text.c_str(), verified.text.c_str());
    }
    calm();
    std::printf("    [noise] %ld hits on the line\n", sim_stat("noise_hits"));
    // The line is quiet again: everything works as before.
    ASSERT_TRUE(sim("record " + hex_text(fields)));
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);
    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
    EXPECT_EQ(fields, device_record());
}

}  // namespace
}  // namespace zavtest
