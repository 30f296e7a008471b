#include "fleet/base/hex.h"

#include <cstring>

namespace zav {

namespace {

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string hex_text(const uint8_t* bytes, size_t count, std::string_view separator, HexCase letters) {
    const char* digits = letters == HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(count * (2 + separator.size()));
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) text += separator;
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

std::string hex_text(const std::vector<uint8_t>& bytes, std::string_view separator) {
    return hex_text(bytes.data(), bytes.size(), separator);
}

std::string hex_byte(uint8_t byte) { return "0x" + hex_text(&byte, 1); }

bool parse_hex(std::string_view text, std::vector<uint8_t>& bytes, HexBlanks blanks) {
    std::string digits;
    for (const char c : text) {
        if (c == ' ' && blanks == HexBlanks::kPassedOver) continue;
        if (digit_value(c) < 0) return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0) return false;
    bytes.clear();
    for (size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(digit_value(digits[i]) << 4 | digit_value(digits[i + 1])));
    }
    return true;
}

bool parse_hex(std::string_view text, uint8_t* bytes, size_t count) {
    std::vector<uint8_t> parsed;
    if (text.size() != 2 * count || !parse_hex(text, parsed)) return false;
    std::memcpy(bytes, parsed.data(), count);
    return true;
}

}  // namespace zav
