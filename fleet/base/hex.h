// Bytes as hex digits and back: setup blocks ("7F0111021E"), records in
// JSON and the log, the raw bytes of a configuration text ("30 31 FF"), a
// byte in a message ("0x39"), frames in a trace. One spelling for all:
// upper-case digits, two a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zav {

enum class HexCase { kUpper, kLower };

// count bytes as hex digits, separator between two bytes: "7F0111021E",
// "7F 01". A digest is written in lower case.
std::string hex_text(const uint8_t* bytes, size_t count, std::string_view separator = "",
                     HexCase letters = HexCase::kUpper);
std::string hex_text(const std::vector<uint8_t>& bytes, std::string_view separator = "");

// One byte as messages name it: "0x39".
std::string hex_byte(uint8_t byte);

// Whether blanks may stand among the digits.
enum class HexBlanks {
    kNone,
    kPassedOver,  // a blank (' ') anywhere is passed over, as a person writes "30 31 FF"
};

// Hex digits (either case), two a byte, into bytes (which are replaced);
// false for no digit at all, an odd number of them, or any other
// character.
bool parse_hex(std::string_view text, std::vector<uint8_t>& bytes, HexBlanks blanks = HexBlanks::kNone);

// Exactly count bytes, 2 * count digits and nothing else, into bytes;
// false, with bytes as they were, for anything else.
bool parse_hex(std::string_view text, uint8_t* bytes, size_t count);

}  // namespace zav
