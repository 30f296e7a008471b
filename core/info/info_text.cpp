#include "core/info/info_text.h"

#include <cstdio>
#include <cstring>

namespace zav {

namespace {

const char* const kToneSetA[kAlarmCount] = {"675/1240", "675/1860", "675/2280", "675/825", "675/1010"};
const char* const kToneSetB[kAlarmCount] = {"675/1240", "675/1860", "1240/2280", "1240/1860", "1240/1010"};

void add_line(InfoText& text, const char* line) {
    if (text.line_count >= kInfoMaxLines) return;
    std::snprintf(text.lines[text.line_count], kInfoLineBytes, "%s", line);
    ++text.line_count;
}

const char* relay_count_text(uint8_t setup_byte1) {
    switch (setup_byte1 & 0xC0) {
        case 0x00: return "0";
        case 0x40: return "bis zu 2";
        case 0x80: return "bis zu 4";
        default: return "nicht definiert";  // code 11 is never composed
    }
}

}  // namespace

void build_info_text(const ConfigImage& image, InfoText& text) {
    const uint8_t byte1 = image.bytes[kSetupByte1];
    const uint8_t byte2 = image.bytes[kSetupByte2];
    const char* const* tone_pairs = (byte2 & 0x01) ? kToneSetA : kToneSetB;

    std::memset(&text, 0, sizeof text);
    add_line(text, "Doppelton:");
    for (size_t k = 0; k < kAlarmCount; ++k) {
        if (byte1 & (1u << k)) add_line(text, tone_pairs[k]);
    }
    add_line(text, "5-Ton Adressen:");
    add_line(text, (byte1 & 0x20) ? "max.10" : "max.5");
    add_line(text, "Zusatzrelais:");
    add_line(text, relay_count_text(byte1));
    add_line(text, "Doppelton-Dauer:");
    add_line(text, (byte2 & 0x02) ? "700ms" : "2000ms");
    add_line(text, "Rufton-Dauer");
    add_line(text, (byte2 & 0x04) ? "100ms" : "70ms");
    add_line(text, "SW-Version:");
    char version[kInfoLineBytes];
    std::snprintf(version, sizeof version, "%d.%d", image.bytes[kVersionMajor], image.bytes[kVersionMinor]);
    add_line(text, version);
}

}  // namespace zav
