// What the info window lists about the identified device, read from the
// setup block in the image (setup bytes 1 and 2 and the version): first as
// named fields, which zavctl formats in its own way, then as the window's
// lines, label above value.
#pragma once

#include <cstddef>

#include "core/config/config_image.h"

namespace zav {

// The labels, as the window writes them.
constexpr const char kInfoLabelDoubleTone[] = "Doppelton:";
constexpr const char kInfoLabelFiveTone[] = "5-Ton Adressen:";
constexpr const char kInfoLabelRelays[] = "Zusatzrelais:";
constexpr const char kInfoLabelDoubleToneDuration[] = "Doppelton-Dauer:";
constexpr const char kInfoLabelCallToneDuration[] = "Rufton-Dauer";
constexpr const char kInfoLabelVersion[] = "SW-Version:";

constexpr size_t kInfoVersionBytes = 8;  // "255.255" and its NUL

struct InfoFields {
    int tone_pair_count;                      // the fitted double-tone alarms, 0..5
    const char* tone_pairs[kAlarmCount];      // "675/1240" ..., in alarm order
    const char* five_tone_addresses;          // "max.5" or "max.10"
    const char* relays;                       // "0", "bis zu 2", "bis zu 4", "nicht definiert"
    const char* double_tone_duration;         // "2000ms" or "700ms"
    const char* call_tone_duration;           // "70ms" or "100ms"
    char version[kInfoVersionBytes];          // "%d.%d": "2.30", "4.10", "2.3"
};

void read_info_fields(const ConfigImage& image, InfoFields& fields);

constexpr int kInfoMaxLines = 16;
constexpr size_t kInfoLineBytes = 24;

struct InfoText {
    int line_count;                          // 11..16
    char lines[kInfoMaxLines][kInfoLineBytes];
};

// The window's list: "Doppelton:" and the tone pairs, then each other
// label followed by its value.
void build_info_text(const ConfigImage& image, InfoText& text);

}  // namespace zav
