// The words of zavsim's command line and control channel: hex digits,
// numbers and a line split at blanks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zav::sim {

// The bytes as upper-case hex digit pairs, with separator between pairs.
std::string hex(const uint8_t* bytes, size_t n, const char* separator);

// Exactly 2 * n hex digits into n bytes; false on anything else.
bool parse_hex(const std::string& text, uint8_t* out, size_t n);

// A whole number in C notation (decimal, 0x..., 0...); false on a rest.
bool parse_number(const std::string& text, long& value);

// The words of a line, split at blanks, tabs and carriage returns.
std::vector<std::string> split_words(const std::string& text);

}  // namespace zav::sim
