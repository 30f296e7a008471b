#include <gtest/gtest.h>

#include <cstring>

#include "core/setup/setup_block.h"

namespace zav {
namespace {

uint16_t word(uint8_t byte1, uint8_t byte2) { return static_cast<uint16_t>(byte1 | (byte2 << 8)); }

uint16_t options(std::initializer_list<int> chosen) {
    uint16_t mask = 0;
    for (int n : chosen) mask = static_cast<uint16_t>(mask | (1u << n));
    return mask;
}

TEST(SetupCheckByte, MatchesTheKnownValues) {
    const struct {
        uint8_t byte1, byte2, check;
    } known[] = {
        {0x00, 0x00, 0x00}, {0x01, 0x00, 0x21}, {0x1F, 0x00, 0x39}, {0x80, 0x00, 0x4B},
        {0x00, 0x01, 0x37}, {0x3F, 0x01, 0x64}, {0x7F, 0x07, 0x02}, {0xBF, 0x07, 0x3C},
    };
    for (const auto& k : known) {
        EXPECT_EQ(k.check, setup_check_byte(word(k.byte1, k.byte2))) << int(k.byte1) << "," << int(k.byte2);
    }
    for (unsigned w = 0; w <= 0xFFFF; ++w) ASSERT_LT(setup_check_byte(static_cast<uint16_t>(w)), 0x80);
}

TEST(SetupBlock, ValidityVersionAndTypeCheck) {
    uint8_t block[5] = {0, 0, 0, 0, 0};
    EXPECT_TRUE(setup_block_valid(block));
    block[2] = 0x80;
    EXPECT_FALSE(setup_block_valid(block));
    uint8_t known[5] = {0x7F, 0x07, 0x02, 4, 1};
    EXPECT_TRUE(setup_block_valid(known));
    known[2] |= 0x80;
    EXPECT_FALSE(setup_block_valid(known));

    EXPECT_TRUE(software_version_accepted(2));
    EXPECT_TRUE(software_version_accepted(4));
    EXPECT_FALSE(software_version_accepted(0));
    EXPECT_FALSE(software_version_accepted(3));
    EXPECT_FALSE(software_version_accepted(5));

    const uint8_t a[5] = {0x25, 0x01, 0x11, 4, 10};
    const uint8_t b[5] = {0x25, 0x01, 0x11, 4, 11};
    EXPECT_TRUE(setup_blocks_same_type(a, a));
    EXPECT_FALSE(setup_blocks_same_type(a, b));
}

TEST(SetupBlock, EveryValidChoiceComposesAndDecomposesBack) {
    for (int alarms = 1; alarms < 32; ++alarms) {
        for (int addresses : {5, 6}) {
            for (int relays : {7, 8, 9}) {
                for (int set : {10, 11}) {
                    for (int dt : {12, 13}) {
                        for (int tone : {14, 15}) {
                            const uint16_t chosen = static_cast<uint16_t>(
                                alarms | options({addresses, relays, set, dt, tone}));
                            uint8_t block[5] = {0xEE, 0xEE, 0xEE, 3, 7};
                            ASSERT_EQ(0, compose_setup_block_mask(chosen, block));
                            ASSERT_TRUE(setup_block_valid(block));
                            ASSERT_EQ(3, block[3]);
                            ASSERT_EQ(7, block[4]);
                            ASSERT_EQ(chosen, decompose_setup_block_mask(block));
                        }
                    }
                }
            }
        }
    }
}

TEST(SetupBlock, ComposeWritesTheDocumentedBits) {
    bool chosen[16] = {};
    for (int n : {0, 2, 6, 9, 11, 13, 15}) chosen[n] = true;
    uint8_t block[5] = {};
    ASSERT_EQ(0, compose_setup_block(chosen, block));
    EXPECT_EQ(0xA5, block[0]);
    EXPECT_EQ(0x07, block[1]);
    EXPECT_EQ(setup_check_byte(0x07A5), block[2]);
}

TEST(SetupBlock, ComposeReportsTheFirstMissingGroupAndLeavesTheBlock) {
    const uint16_t full = options({0, 5, 7, 10, 12, 14});
    const struct {
        uint16_t chosen;
        int error;
    } cases[] = {
        {0, 1},
        {static_cast<uint16_t>(full & ~options({0})), 1},
        {static_cast<uint16_t>(full & ~options({5, 14})), 2},
        {static_cast<uint16_t>(full & ~options({7, 10})), 3},
        {static_cast<uint16_t>(full & ~options({10, 12})), 4},
        {static_cast<uint16_t>(full & ~options({12, 14})), 5},
        {static_cast<uint16_t>(full & ~options({14})), 6},
    };
    for (const auto& c : cases) {
        uint8_t block[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
        EXPECT_EQ(c.error, compose_setup_block_mask(c.chosen, block)) << c.chosen;
        const uint8_t unchanged[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
        EXPECT_EQ(0, std::memcmp(block, unchanged, 5));
    }
    EXPECT_STREQ("Fehler: Doppelton !", setup_compose_error_text(1));
    EXPECT_STREQ("Fehler: Zusatzrelais !", setup_compose_error_text(3));
    EXPECT_STREQ("Fehler: Rufton-Dauer !", setup_compose_error_text(6));
    EXPECT_STREQ("", setup_compose_error_text(0));
}

TEST(SetupBlock, StartBlockDecomposesWithoutAlarmsAndDoesNotComposeAgain) {
    uint8_t block[5] = {};
    const uint16_t chosen = decompose_setup_block_mask(block);
    EXPECT_EQ(options({5, 7, 10, 12, 14}), chosen);
    EXPECT_EQ(1, compose_setup_block_mask(chosen, block));
}

TEST(SetupBlock, UndefinedRelayCodeGivesNoRelayChoice) {
    const uint8_t block[5] = {0xC1, 0x00, setup_check_byte(0x00C1), 2, 0};
    const uint16_t chosen = decompose_setup_block_mask(block);
    EXPECT_EQ(options({0, 5, 10, 12, 14}), chosen);
    uint8_t copy[5];
    std::memcpy(copy, block, 5);
    EXPECT_EQ(3, compose_setup_block_mask(chosen, copy));
    EXPECT_EQ(0, compose_setup_block_mask(static_cast<uint16_t>(chosen | options({8})), copy));
    EXPECT_EQ(0x41, copy[0]);
}

TEST(SetupBlock, UndefinedBitsOfByte2AreDroppedOnComposing) {
    uint8_t block[5] = {0x03, 0xF9, setup_check_byte(word(0x03, 0xF9)), 2, 1};
    const uint16_t chosen = decompose_setup_block_mask(block);
    EXPECT_EQ(options({0, 1, 5, 7, 11, 12, 14}), chosen);
    ASSERT_EQ(0, compose_setup_block_mask(chosen, block));
    EXPECT_EQ(0x01, block[1]);
    EXPECT_EQ(setup_check_byte(word(0x03, 0x01)), block[2]);
}

TEST(SetupBlock, GroupsAndOptionTexts) {
    EXPECT_EQ(0, setup_option_group(4));
    EXPECT_EQ(1, setup_option_group(6));
    EXPECT_EQ(2, setup_option_group(7));
    EXPECT_EQ(5, setup_option_group(15));
    EXPECT_EQ(-1, setup_option_group(16));
    EXPECT_STREQ("DT-Satz", kSetupGroups[3].name);
    EXPECT_STREQ("675/825 bzw.1240/1860", kSetupOptionTexts[3]);
    EXPECT_STREQ("1240/675+x", kSetupOptionTexts[10]);
}

// The window and the page both click through this rule: a "Doppelton"
// option toggles alone, any other click leaves exactly the clicked option of
// its group, and a click outside the options changes nothing.
TEST(SetupBlock, AClickTogglesADoubleToneAndChoosesOneOptionOfAnyOtherGroup) {
    const uint16_t alarms_1_and_3 = (1u << 0) | (1u << 2);
    EXPECT_EQ(alarms_1_and_3 | (1u << 4), click_setup_option_mask(alarms_1_and_3, 4));
    EXPECT_EQ(1u << 2, click_setup_option_mask(alarms_1_and_3, 0));
    const uint16_t five_addresses_no_relays = (1u << 5) | (1u << 7) | (1u << 0);
    EXPECT_EQ((1u << 6) | (1u << 7) | (1u << 0), click_setup_option_mask(five_addresses_no_relays, 6));
    EXPECT_EQ(five_addresses_no_relays, click_setup_option_mask(five_addresses_no_relays, 5));
    EXPECT_EQ(five_addresses_no_relays, click_setup_option_mask(five_addresses_no_relays, kSetupOptionCount));
    EXPECT_EQ(five_addresses_no_relays, click_setup_option_mask(five_addresses_no_relays, -1));
}

}  // namespace
}  // namespace zav
