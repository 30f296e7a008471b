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

void read_info_fields(const ConfigImage& image, InfoFields& fields) {
    const uint8_t byte1 = image.bytes[kSetupByte1];
    const uint8_t byte2 = image.bytes[kSetupByte2];
    const char* const* tone_set = (byte2 & 0x01) ? kToneSetA : kToneSetB;

    std::memset(&fields, 0, sizeof fields);
    for (size_t k = 0; k < kAlarmCount; ++k) {
        if (byte1 & (1u << k)) fields.tone_pairs[fields.tone_pair_count++] = tone_set[k];
    }
    fields.five_tone_addresses = (byte1 & 0x20) ? "max.10" : "max.5";
    fields.relays = relay_count_text(byte1);
    fields.double_tone_duration = (byte2 & 0x02) ? "700ms" : "2000ms";
    fields.call_tone_duration = (byte2 & 0x04) ? "100ms" : "70ms";
    std::snprintf(fields.version, sizeof fields.version, "%d.%d", image.bytes[kVersionMajor],
                  image.bytes[kVersionMinor]);
}

void build_info_text(const ConfigImage& image, InfoText& text) {
    InfoFields fields;
    read_info_fields(image, fields);

    std::memset(&text, 0, sizeof text);
    add_line(text, kInfoLabelDoubleTone);
    for (int k = 0; k < fields.tone_pair_count; ++k) add_line(text, fields.tone_pairs[k]);
    add_line(text, kInfoLabelFiveTone);
    add_line(text, fields.five_tone_addresses);
    add_line(text, kInfoLabelRelays);
    add_line(text, fields.relays);
    add_line(text, kInfoLabelDoubleToneDuration);
    add_line(text, fields.double_tone_duration);
    add_line(text, kInfoLabelCallToneDuration);
    add_line(text, fields.call_tone_duration);
    add_line(text, kInfoLabelVersion);
    add_line(text, fields.version);
}

}  // namespace zav
