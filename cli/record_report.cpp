// JSON of a record view:
//   {
//     "record": "0231343031...",            216 upper-case hex digits
//     "alarms": [{"alarm": 0, "tone_pair": "675Hz/1240Hz", "coding": "ON05,H1220"}, ...],
//     "dead_time": 30, "alarm_pause": 10,   seconds
//     "alarm_memory": 2,                    null when the list shows no choice
//     "five_tone_count": 2,
//     "five_tone": [{"number": 1, "text": "21401"}, ...],
//     "manual": "675Hz/1240Hz",             null when the list shows no choice
//     "relays": [{"relay": 1, "five_tone": "alle", "double_tone": "-keiner-", "on_time": 5}, ...],
//     "accepted": true, "check_code": 0, "check_message": null
//   }
// Numbers are numbers where the window shows a number; the relay 5-tone
// choice stays text, since the window lists "alle" and "--" beside 1..10.
#include "cli/record_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/text_encoding.h"
#include "core/config/config_form.h"

namespace zav {

namespace {

using nlohmann::json;

constexpr const char kEmpty[] = "(leer)";
constexpr const char kMissing[] = "(fehlt)";
constexpr const char kHiddenLine[] = "Nicht angezeigte Unterschiede: Adresse ";

// A record may hold any byte in a 5-tone entry; a control character there
// must not reach the terminal as one.
std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string shown(const std::string& value) { return value.empty() ? kEmpty : printable(value); }

std::string shown(const std::optional<std::string>& value) { return value ? shown(*value) : kMissing; }

std::string padded(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string acceptance_line(int check_code) {
    if (check_code == 0) return "Feldprüfung: in Ordnung (Sichern und Programmieren möglich)\n";
    return std::string("Feldprüfung: ") + config_error_text(check_code) +
           " (so weder Sichern noch Programmieren möglich)\n";
}

// "3, 17-19, 40"
std::string address_ranges(const std::vector<size_t>& addresses) {
    std::string text;
    for (size_t i = 0; i < addresses.size();) {
        size_t last = i;
        while (last + 1 < addresses.size() && addresses[last + 1] == addresses[last] + 1) ++last;
        if (!text.empty()) text += ", ";
        text += std::to_string(addresses[i]);
        if (last > i) text += "-" + std::to_string(addresses[last]);
        i = last + 1;
    }
    return text;
}

json text_json(const std::string& text) { return utf8_from_cp1252(text); }

// A list that shows no choice has no value.
json choice_json(const std::string& text) { return text.empty() ? json(nullptr) : text_json(text); }

// The window fills its numeric fields with "%d" of a record byte.
json number_json(const std::string& digits) {
    const bool is_number = !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                                          [](char c) { return c >= '0' && c <= '9'; });
    return is_number ? json(std::stoi(digits)) : choice_json(digits);
}

json optional_json(const std::optional<std::string>& value) { return value ? text_json(*value) : json(nullptr); }

}  // namespace

std::string record_report(const RecordView& view) {
    const std::vector<FieldGroup> groups = field_groups(view);
    size_t width = 0;
    for (const FieldGroup& group : groups) {
        for (const Field& field : group.fields) width = std::max(width, field.name.size());
    }
    std::string text;
    for (const FieldGroup& group : groups) {
        text += group.title + "\n";
        if (group.fields.empty()) text += "  (keine)\n";
        for (const Field& field : group.fields) text += "  " + padded(field.name, width) + "  " + shown(field.value) + "\n";
        text += "\n";
    }
    return text + acceptance_line(view.check_code);
}

std::string differences_report(const std::vector<FieldDifference>& differences, const std::vector<size_t>& hidden) {
    size_t width = 0;
    for (const FieldDifference& difference : differences) width = std::max(width, difference.name.size() + 1);
    std::string text;
    for (const FieldDifference& difference : differences) {
        text += padded(difference.name + ":", width) + "  " + shown(difference.first) + " -> " +
                shown(difference.second) + "\n";
    }
    if (!hidden.empty()) text += kHiddenLine + address_ranges(hidden) + "\n";
    return text;
}

json record_json(const RecordView& view) {
    char hex[2 * kRecordBytes + 1];
    for (size_t i = 0; i < kRecordBytes; ++i) std::snprintf(hex + 2 * i, 3, "%02X", view.record[i]);

    json alarms = json::array();
    for (const AlarmView& alarm : view.alarms) {
        alarms.push_back({{"alarm", alarm.alarm}, {"tone_pair", text_json(alarm.tone_pair)},
                          {"coding", text_json(alarm.coding)}});
    }
    json five_tone = json::array();
    for (size_t n = 0; n < view.five_tone.size(); ++n) {
        five_tone.push_back({{"number", n + 1}, {"text", text_json(view.five_tone[n])}});
    }
    json relays = json::array();
    for (const RelayView& relay : view.relays) {
        relays.push_back({{"relay", relay.relay},
                          {"five_tone", choice_json(relay.five_tone)},
                          {"double_tone", text_json(relay.double_tone)},
                          {"on_time", number_json(relay.on_time)}});
    }
    return {
        {"record", hex},
        {"alarms", alarms},
        {"dead_time", number_json(view.dead_time)},
        {"alarm_pause", number_json(view.alarm_pause)},
        {"alarm_memory", number_json(view.alarm_memory)},
        {"five_tone_count", number_json(view.five_tone_count)},
        {"five_tone", five_tone},
        {"manual", choice_json(view.manual)},
        {"relays", relays},
        {"accepted", view.check_code == 0},
        {"check_code", view.check_code},
        {"check_message", view.check_code == 0 ? json(nullptr) : text_json(config_error_text(view.check_code))},
    };
}

json differences_json(const std::vector<FieldDifference>& differences, const std::vector<size_t>& hidden) {
    json fields = json::array();
    for (const FieldDifference& difference : differences) {
        fields.push_back({{"field", text_json(difference.name)},
                          {"first", optional_json(difference.first)},
                          {"second", optional_json(difference.second)}});
    }
    return {{"fields", fields}, {"hidden_addresses", hidden}};
}

}  // namespace zav
