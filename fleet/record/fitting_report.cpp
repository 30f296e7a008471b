#include "fleet/record/fitting_report.h"

#include <cstdio>
#include <cstring>

#include "core/info/info_text.h"
#include "core/setup/setup_block.h"
#include "fleet/base/hex.h"
#include "fleet/base/json_text.h"

namespace zav {

namespace {

constexpr int kToneSetGroup = 3;  // "DT-Satz" in kSetupGroups
constexpr size_t kLabelWidth = 18;

// The number in one of the info window's values: 10 in "max.10", 2000 in
// "2000ms"; null for "nicht definiert".
nlohmann::json number_in(const char* text) {
    int value = 0;
    bool found = false;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') continue;
        value = value * 10 + (*c - '0');
        found = true;
    }
    return found ? nlohmann::json(value) : nlohmann::json(nullptr);
}

std::string alarm_count_text(int count) {
    if (count == 0) return "kein Doppelton-Alarm";
    return std::to_string(count) + (count == 1 ? " Doppelton-Alarm" : " Doppelton-Alarme");
}

}  // namespace

std::string version_text(const uint8_t* setup) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u", static_cast<unsigned>(setup[3]), static_cast<unsigned>(setup[4]));
    return text;
}

std::string setup_hex(const uint8_t* setup) { return hex_text(setup, kSetupBlockBytes); }

InfoFields setup_info_fields(const uint8_t* setup) {
    ConfigImage image;
    set_image_start_values(image);
    std::memcpy(image.bytes + kSetupBlock, setup, kSetupBlockBytes);
    InfoFields fields;
    read_info_fields(image, fields);
    return fields;
}

std::string label_without_colon(const char* label) {
    std::string text = label;
    if (!text.empty() && text.back() == ':') text.pop_back();
    return text;
}

std::string tone_set_text(const uint8_t* setup) {
    const uint16_t chosen = decompose_setup_block_mask(setup);
    const SetupGroup& group = kSetupGroups[kToneSetGroup];
    for (int option = group.first_option; option <= group.last_option; ++option) {
        if (chosen & (1u << option)) return kSetupOptionTexts[option];
    }
    return "";
}

std::string fitting_text(const uint8_t* setup) {
    const InfoFields fields = setup_info_fields(setup);
    return alarm_count_text(fields.tone_pair_count) + ", " + label_without_colon(kInfoLabelFiveTone) + " " +
           fields.five_tone_addresses + ", " + label_without_colon(kInfoLabelRelays) + " " + fields.relays +
           ", " + kSetupGroups[kToneSetGroup].name + " " + tone_set_text(setup);
}

nlohmann::json setup_info_json(const uint8_t* setup) {
    const InfoFields fields = setup_info_fields(setup);
    nlohmann::json double_tone = nlohmann::json::array();
    // The info window lists the fitted alarms' tone pairs in alarm order.
    int listed = 0;
    for (int alarm = 0; alarm < static_cast<int>(kAlarmCount) && listed < fields.tone_pair_count; ++alarm) {
        if ((setup[0] >> alarm & 1) == 0) continue;
        double_tone.push_back({{"alarm", alarm + 1}, {"tone_pair", json_text(fields.tone_pairs[listed++])}});
    }
    return {{"double_tone", double_tone},
            {"five_tone_addresses", number_in(fields.five_tone_addresses)},
            {"relays", number_in(fields.relays)},
            {"double_tone_duration_ms", number_in(fields.double_tone_duration)},
            {"call_tone_duration_ms", number_in(fields.call_tone_duration)},
            {"tone_set", json_text(tone_set_text(setup))},
            {"version", json_text(fields.version)}};
}

std::string identification_report(const uint8_t* setup, bool valid) {
    const InfoFields fields = setup_info_fields(setup);
    std::string pairs;
    for (int i = 0; i < fields.tone_pair_count; ++i) pairs += (i > 0 ? ", " : "") + std::string(fields.tone_pairs[i]);
    std::string text;
    auto row = [&text](const std::string& label, const std::string& value) {
        text += "  " + label + std::string(label.size() < kLabelWidth ? kLabelWidth - label.size() : 1, ' ') + value +
                "\n";
    };
    text += "Software-Version  " + version_text(setup) + "\n";
    text += "Setup-Block       " + setup_hex(setup) + (valid ? "  (Prüfbyte stimmt)" : "  (Prüfbyte falsch)") +
            "\n";
    text += "Ausstattung:\n";
    row(kInfoLabelDoubleTone, pairs.empty() ? "-" : pairs);
    row(std::string(kSetupGroups[kToneSetGroup].name) + ":", tone_set_text(setup));
    row(kInfoLabelFiveTone, fields.five_tone_addresses);
    row(kInfoLabelRelays, fields.relays);
    row(kInfoLabelDoubleToneDuration, fields.double_tone_duration);
    row(kInfoLabelCallToneDuration, fields.call_tone_duration);
    row(kInfoLabelVersion, fields.version);
    return text;
}

nlohmann::json identification_json(const uint8_t* setup, bool valid, bool accepted) {
    return {{"version", version_text(setup)}, {"setup", setup_hex(setup)},
            {"valid", valid}, {"accepted", accepted}, {"info", setup_info_json(setup)}};
}

}  // namespace zav
