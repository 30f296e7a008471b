// The device's five-byte setup block: setup byte 1, setup byte 2, the check
// byte over the two, and the software version. The setup window edits it as
// sixteen option choices in six groups.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav {

constexpr int kSetupOptionCount = 16;
constexpr int kSetupGroupCount = 6;

constexpr const char kSetupDataInvalid[] = "Setup-Daten ungültig !";

struct SetupGroup {
    const char* name;         // "Doppelton", "Adressen", ...
    int first_option;
    int last_option;
    const char* error_text;   // "Fehler: Doppelton !" ...
};

// Groups in the order composition checks them; error number = index + 1.
extern const SetupGroup kSetupGroups[kSetupGroupCount];

// Option texts by option number (also the option's control id).
extern const char* const kSetupOptionTexts[kSetupOptionCount];

// Index 0..5 of the option's group.
int setup_option_group(int option);

// A click on option n: "Doppelton" is a free choice, so its options toggle;
// every other group holds one option at most, and a click chooses the option
// clicked. An n outside the options changes nothing.
void click_setup_option(bool* chosen, int option);
uint16_t click_setup_option_mask(uint16_t chosen_mask, int option);  // bit n = option n

// Error text of compose error 1..6 ("" otherwise).
const char* setup_compose_error_text(int error);

// 7-bit check value of setup byte 1 + 256 * setup byte 2.
uint8_t setup_check_byte(uint16_t setup_word);

// block points at the five block bytes (image byte 112 onwards).
bool setup_block_valid(const uint8_t* block);
bool software_version_accepted(uint8_t major);
bool setup_blocks_same_type(const uint8_t* block_a, const uint8_t* block_b);

// Options -> block bytes 0..2. Returns 0, or error 1..6 for the first group
// without a chosen option, leaving the block untouched. Bytes 3 and 4 are
// never touched.
int compose_setup_block(const bool* chosen, uint8_t* block);
int compose_setup_block_mask(uint16_t chosen_mask, uint8_t* block);   // bit n = option n

// Block bytes 0 and 1 -> options. Does not look at the check byte.
void decompose_setup_block(const uint8_t* block, bool* chosen);
uint16_t decompose_setup_block_mask(const uint8_t* block);            // bit n = option n

}  // namespace zav
