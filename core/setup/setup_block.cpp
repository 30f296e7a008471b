#include "core/setup/setup_block.h"

namespace zav {

const SetupGroup kSetupGroups[kSetupGroupCount] = {
    {"Doppelton", 0, 4, "Fehler: Doppelton !"},
    {"Adressen", 5, 6, "Fehler: Adressen !"},
    {"Zusatzrelais", 7, 9, "Fehler: Zusatzrelais !"},
    {"DT-Satz", 10, 11, "Fehler: DT-Satz !"},
    {"DT-Dauer", 12, 13, "Fehler: DT-Dauer !"},
    {"Ton-Dauer", 14, 15, "Fehler: Rufton-Dauer !"},
};

const char* const kSetupOptionTexts[kSetupOptionCount] = {
    "675/1240", "675/1860", "675/2280 bzw. 1240/2280", "675/825 bzw.1240/1860",
    "675/1010 bzw.1240/1010",
    "max. 5", "max. 10",
    "kein", "bis 2", "bis 4",
    "1240/675+x", "675+x",
    "2000ms", "700ms",
    "70ms", "100ms",
};

namespace {

// Bits of setup byte 1 and 2.
constexpr uint8_t kTenAddresses = 0x20;
constexpr uint8_t kRelaysUpToTwo = 0x40;
constexpr uint8_t kRelaysUpToFour = 0x80;
constexpr uint8_t kRelayCodeMask = 0xC0;
constexpr uint8_t kToneSetA = 0x01;
constexpr uint8_t kShortDoubleTone = 0x02;
constexpr uint8_t kLongCallTone = 0x04;

bool group_has_choice(const bool* chosen, const SetupGroup& group) {
    for (int option = group.first_option; option <= group.last_option; ++option) {
        if (chosen[option]) return true;
    }
    return false;
}

}  // namespace

int setup_option_group(int option) {
    for (int g = 0; g < kSetupGroupCount; ++g) {
        if (option >= kSetupGroups[g].first_option && option <= kSetupGroups[g].last_option) return g;
    }
    return -1;
}

void click_setup_option(bool* chosen, int option) {
    const int group_index = setup_option_group(option);
    if (group_index < 0) return;
    if (group_index == 0) {
        chosen[option] = !chosen[option];
        return;
    }
    const SetupGroup& group = kSetupGroups[group_index];
    for (int other = group.first_option; other <= group.last_option; ++other) chosen[other] = false;
    chosen[option] = true;
}

uint16_t click_setup_option_mask(uint16_t chosen_mask, int option) {
    bool chosen[kSetupOptionCount];
    for (int n = 0; n < kSetupOptionCount; ++n) chosen[n] = (chosen_mask >> n) & 1u;
    click_setup_option(chosen, option);
    uint16_t mask = 0;
    for (int n = 0; n < kSetupOptionCount; ++n) {
        if (chosen[n]) mask = static_cast<uint16_t>(mask | (1u << n));
    }
    return mask;
}

const char* setup_compose_error_text(int error) {
    if (error < 1 || error > kSetupGroupCount) return "";
    return kSetupGroups[error - 1].error_text;
}

uint8_t setup_check_byte(uint16_t setup_word) {
    // CRC-7, polynomial x^7 + x^5 + 1, over the 16 word bits (most significant
    // first) followed by seven zero bits; the device computes it this way.
    uint32_t reg = setup_word;
    for (int step = 0; step < 23; ++step) {
        reg <<= 1;
        if (reg & (1u << 23)) reg ^= 0xA1u << 16;
    }
    return static_cast<uint8_t>((reg >> 16) & 0xFF);
}

bool setup_block_valid(const uint8_t* block) {
    const uint16_t word = static_cast<uint16_t>(block[0] | (block[1] << 8));
    return block[2] == setup_check_byte(word);
}

bool software_version_accepted(uint8_t major) {
    return major == 2 || major == 4;
}

bool setup_blocks_same_type(const uint8_t* block_a, const uint8_t* block_b) {
    for (int i = 0; i < 5; ++i) {
        if (block_a[i] != block_b[i]) return false;
    }
    return true;
}

int compose_setup_block(const bool* chosen, uint8_t* block) {
    for (int g = 0; g < kSetupGroupCount; ++g) {
        if (!group_has_choice(chosen, kSetupGroups[g])) return g + 1;
    }
    uint8_t byte1 = 0;
    uint8_t byte2 = 0;
    for (int n = 0; n < 5; ++n) {
        if (chosen[n]) byte1 |= static_cast<uint8_t>(1u << n);
    }
    if (chosen[6]) byte1 |= kTenAddresses;
    if (chosen[8]) byte1 |= kRelaysUpToTwo;
    if (chosen[9]) byte1 |= kRelaysUpToFour;
    if (chosen[11]) byte2 |= kToneSetA;
    if (chosen[13]) byte2 |= kShortDoubleTone;
    if (chosen[15]) byte2 |= kLongCallTone;
    block[0] = byte1;
    block[1] = byte2;
    block[2] = setup_check_byte(static_cast<uint16_t>(byte1 | (byte2 << 8)));
    return 0;
}

int compose_setup_block_mask(uint16_t chosen_mask, uint8_t* block) {
    bool chosen[kSetupOptionCount];
    for (int n = 0; n < kSetupOptionCount; ++n) chosen[n] = (chosen_mask >> n) & 1u;
    return compose_setup_block(chosen, block);
}

void decompose_setup_block(const uint8_t* block, bool* chosen) {
    const uint8_t byte1 = block[0];
    const uint8_t byte2 = block[1];
    for (int n = 0; n < kSetupOptionCount; ++n) chosen[n] = false;
    for (int n = 0; n < 5; ++n) chosen[n] = (byte1 >> n) & 1u;
    chosen[(byte1 & kTenAddresses) ? 6 : 5] = true;
    switch (byte1 & kRelayCodeMask) {
        case 0x00: chosen[7] = true; break;
        case kRelaysUpToTwo: chosen[8] = true; break;
        case kRelaysUpToFour: chosen[9] = true; break;
        default: break;  // code 11 is not defined: no choice in the group
    }
    chosen[(byte2 & kToneSetA) ? 11 : 10] = true;
    chosen[(byte2 & kShortDoubleTone) ? 13 : 12] = true;
    chosen[(byte2 & kLongCallTone) ? 15 : 14] = true;
}

uint16_t decompose_setup_block_mask(const uint8_t* block) {
    bool chosen[kSetupOptionCount];
    decompose_setup_block(block, chosen);
    uint16_t mask = 0;
    for (int n = 0; n < kSetupOptionCount; ++n) {
        if (chosen[n]) mask = static_cast<uint16_t>(mask | (1u << n));
    }
    return mask;
}

}  // namespace zav
