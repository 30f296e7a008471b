#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace zav {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80..0x9F: where Windows-1252 differs from Latin-1.
constexpr char32_t kCp1252High[32] = {
    0x20AC, kReplacement, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, kReplacement, 0x017D, kReplacement,  // 88..8F
    kReplacement, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kReplacement, 0x017E, 0x0178,  // 98..9F
};

void append_utf8(std::string& out, char32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        // Windows-1252 reaches no further than the Basic Multilingual Plane.
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// Windows-1252 byte of a code point; false where it has none. The five
// undefined bytes stand for themselves only when asked to.
bool cp1252_byte_of(char32_t code_point, bool undefined_as_controls, char& byte) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
        byte = static_cast<char>(code_point);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        const bool undefined = kCp1252High[i] == kReplacement;
        if (undefined ? (undefined_as_controls && code_point == 0x80u + i) : kCp1252High[i] == code_point) {
            byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

// Length of the UTF-8 sequence a lead byte starts; 0 for no lead byte.
size_t sequence_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// The smallest code point each length may carry: below it, the form is
// overlong, a second spelling of a shorter character.
constexpr char32_t kLeastOfLength[5] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

Utf8Character utf8_character_at(std::string_view text, size_t i) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    const size_t wanted = sequence_length(lead);
    Utf8Character character;
    if (wanted == 0 || i + wanted > text.size()) return character;
    char32_t code_point = wanted == 1 ? lead : lead & (0x7Fu >> wanted);
    for (size_t k = 1; k < wanted; ++k) {
        const uint8_t next = static_cast<uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80) return character;
        code_point = (code_point << 6) | (next & 0x3Fu);
    }
    // A complete sequence that is still no character is taken as one whole.
    character.length = wanted;
    character.code_point = code_point;
    const bool overlong = code_point < kLeastOfLength[wanted];
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    character.valid = !overlong && !surrogate && code_point <= 0x10FFFF;
    return character;
}

std::string utf8_from_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const uint8_t byte = static_cast<uint8_t>(c);
        const char32_t code_point = (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : byte;
        append_utf8(out, code_point);
    }
    return out;
}

std::string cp1252_from_utf8(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const Utf8Character character = utf8_character_at(text, i);
        char byte;
        out += character.valid && cp1252_byte_of(character.code_point, false, byte) ? byte : '?';
        i += character.length;
    }
    return out;
}

size_t invalid_utf8_offset(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const Utf8Character character = utf8_character_at(text, i);
        if (!character.valid) return i;
        i += character.length;
    }
    return std::string_view::npos;
}

bool cp1252_from_utf8_exact(std::string_view text, std::string& cp1252, size_t& bad_offset) {
    cp1252.clear();
    size_t i = 0;
    while (i < text.size()) {
        const Utf8Character character = utf8_character_at(text, i);
        char byte;
        if (!character.valid || !cp1252_byte_of(character.code_point, true, byte)) {
            bad_offset = i;
            return false;
        }
        cp1252 += byte;
        i += character.length;
    }
    return true;
}

bool is_valid_utf8(std::string_view text) { return invalid_utf8_offset(text) == std::string_view::npos; }

std::string escaped_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const uint8_t byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x" + hex_text(&byte, 1, "", HexCase::kLower);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace zav
