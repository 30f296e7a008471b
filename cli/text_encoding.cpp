#include "cli/text_encoding.h"

#include <cstdint>

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

}  // namespace

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

}  // namespace zav
