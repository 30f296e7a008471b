// The JSON of a record view and of differences is described key by key in
// docs/JSON.md; numbers are numbers where the field holds one, alarms,
// 5-tone entries and relays count from 1.
#include "fleet/record/record_report.h"

#include <algorithm>
#include <cstdio>

#include "core/config/config_form.h"
#include "fleet/base/hex.h"
#include "fleet/base/json_text.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/text_wrap.h"

namespace zav {

namespace {

using nlohmann::json;

constexpr const char kEmpty[] = "(leer)";
constexpr const char kMissing[] = "(fehlt)";
constexpr const char kArrow[] = " -> ";
constexpr size_t kReportIndent = 2;     // a field under its group title
constexpr size_t kOverflowIndent = 4;   // a value too long to stand beside its name
// Callers indent a differences report by two blanks.
constexpr size_t kDifferencesColumns = kTextColumns - 2;

// A record may hold any byte in a 5-tone entry; a control character there
// must not reach the terminal as one.
std::string shown(const std::string& value) { return value.empty() ? kEmpty : escaped_controls(value); }

std::string shown(const std::optional<Field>& field) { return field ? shown(field->value) : kMissing; }

std::string padded(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

// "name  value", or the value on a line of its own when both do not fit.
std::string name_and_value(const std::string& name, size_t width, const std::string& value, size_t columns) {
    const std::string line = padded(name, width) + "  " + value;
    if (line.size() <= columns) return line + "\n";
    return name + "\n" + std::string(kOverflowIndent, ' ') + value + "\n";
}

std::string acceptance_lines(const RecordView& view) {
    if (view.check_code == 0) return "Feldprüfung: in Ordnung (Sichern und Programmieren möglich)\n";
    std::string text = std::string("Feldprüfung: ") + config_error_text(view.check_code) +
                       " (so weder Sichern noch Programmieren möglich)\n";
    const std::string detail = field_error_detail(view);
    if (!detail.empty()) text += std::string(kReportIndent, ' ') + escaped_controls(detail) + "\n";
    return text;
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

// The hidden addresses by what they are, in the order of their first
// address.
std::vector<std::pair<std::string, std::vector<size_t>>> hidden_by_name(const std::vector<HiddenDifference>& hidden) {
    std::vector<std::pair<std::string, std::vector<size_t>>> groups;
    for (const HiddenDifference& difference : hidden) {
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == difference.name; });
        if (group == groups.end()) group = groups.insert(groups.end(), {difference.name, {}});
        group->second.push_back(difference.address);
    }
    return groups;
}

// A list that shows no choice has no value.
json choice_json(const std::string& text) { return text.empty() ? json(nullptr) : json_text(text); }

// The window fills its numeric fields with "%d" of a record byte.
json number_json(const std::string& digits) {
    const bool is_number = !digits.empty() && digits.size() <= 6 &&
                           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    return is_number ? json(std::stoi(digits)) : choice_json(digits);
}

json field_value_json(const std::optional<Field>& field) {
    if (!field) return nullptr;
    return field->number ? json(*field->number) : json_text(field->value);
}

json check_json(const RecordView& view) {
    const std::optional<Field> field = field_in_error(view);
    return {{"accepted", view.check_code == 0},
            {"code", view.check_code},
            {"message", view.check_code == 0 ? json(nullptr) : json_text(config_error_text(view.check_code))},
            {"field", field ? json_text(field->name) : json(nullptr)},
            {"value", field ? field_value_json(field) : json(nullptr)}};
}

}  // namespace

std::string record_report(const RecordView& view) {
    const std::vector<FieldGroup> groups = field_groups(view);
    size_t width = 0;
    for (const FieldGroup& group : groups) {
        for (const Field& field : group.fields) width = std::max(width, field.name.size());
    }
    const std::string indent(kReportIndent, ' ');
    std::string text;
    for (const FieldGroup& group : groups) {
        text += group.title + "\n";
        if (group.fields.empty()) text += indent + "(keine)\n";
        for (const Field& field : group.fields) {
            text += indent + name_and_value(field.name, width, shown(field.value), kTextColumns - indent.size());
        }
        text += "\n";
    }
    return text + acceptance_lines(view);
}

std::string field_error_detail(const RecordView& view) {
    const std::optional<Field> field = field_in_error(view);
    return field ? "Feld " + field->name + ": " + shown(field->value) : std::string();
}

std::string differences_report(const RecordDifferences& differences) {
    size_t width = 0;
    for (const FieldDifference& difference : differences.fields) width = std::max(width, difference.name.size() + 1);
    std::string text;
    for (const FieldDifference& difference : differences.fields) {
        const std::string change = shown(difference.first) + kArrow + shown(difference.second);
        const std::string line = padded(difference.name + ":", width) + "  " + change;
        if (line.size() <= kDifferencesColumns) {
            text += line + "\n";
        } else {
            const std::string overflow(kOverflowIndent, ' ');
            text += difference.name + ":\n" + overflow + shown(difference.first) + "\n" + overflow + "-> " +
                    shown(difference.second) + "\n";
        }
    }
    if (!differences.hidden.empty()) {
        text += "Nicht angezeigte Unterschiede:\n";
        for (const auto& [name, addresses] : hidden_by_name(differences.hidden)) {
            text += wrapped("  Adresse " + address_ranges(addresses) + ": " + name, "    ", kDifferencesColumns) +
                    "\n";
        }
    }
    return text;
}

std::string device_receives_report(const RecordDifferences& file_to_device) {
    if (file_to_device.empty()) return "";
    std::string text = "Für dieses Gerät anders als in der Datei (Datei -> Gerät):\n";
    const std::string lines = differences_report(file_to_device);
    for (size_t begin = 0; begin < lines.size();) {
        const size_t end = lines.find('\n', begin);
        text += "  " + lines.substr(begin, end - begin) + "\n";
        begin = end + 1;
    }
    return text;
}

std::string beyond_fitting_report(const RecordView& view) {
    ConfigWindowState state;
    clear_config_window_state(state);
    set_up_config_window_state(state, view.setup_byte1, view.setup_byte2);
    const int count = view.record[kFiveToneCount];
    if (count <= state.max_five_tone_count || count > kMaxFiveToneEntries) return "";
    // The window cuts a count only as it is typed; from a file it takes it
    // as it is, and so does the device.
    return wrapped("Anzahl-5Ton " + std::to_string(count) + ", aber dieses Gerät hat max. " +
                            std::to_string(state.max_five_tone_count) + " Adressen; das Fenster sendet alle " +
                            std::to_string(count) + " wie in der Datei.",
                        "  ") +
           "\n";
}

json record_json(const RecordView& view) {

    json alarms = json::array();
    for (const AlarmView& alarm : view.alarms) {
        alarms.push_back({{"alarm", alarm.alarm + 1}, {"tone_pair", json_text(alarm.tone_pair)},
                          {"coding", json_text(alarm.coding)}});
    }
    json five_tone = json::array();
    for (size_t n = 0; n < view.five_tone.size(); ++n) {
        five_tone.push_back({{"number", n + 1}, {"text", json_text(view.five_tone[n])}});
    }
    json relays = json::array();
    for (const RelayView& relay : view.relays) {
        relays.push_back({{"relay", relay.relay},
                          {"five_tone", number_json(relay.five_tone)},
                          {"double_tone", json_text(relay.double_tone)},
                          {"on_time", number_json(relay.on_time)}});
    }
    return {
        {"record", hex_text(view.record.data(), kRecordBytes)},
        {"alarms", alarms},
        {"dead_time", number_json(view.dead_time)},
        {"alarm_pause", number_json(view.alarm_pause)},
        {"alarm_memory", number_json(view.alarm_memory)},
        {"five_tone_count", number_json(view.five_tone_count)},
        {"five_tone", five_tone},
        {"manual", choice_json(view.manual)},
        {"relays", relays},
        {"check", check_json(view)},
    };
}

json differences_json(const RecordDifferences& differences, const char* first_side, const char* second_side) {
    json fields = json::array();
    for (const FieldDifference& difference : differences.fields) {
        fields.push_back({{"field", json_text(difference.name)},
                          {first_side, field_value_json(difference.first)},
                          {second_side, field_value_json(difference.second)}});
    }
    json hidden = json::array();
    for (const HiddenDifference& difference : differences.hidden) {
        hidden.push_back({{"address", difference.address},
                          {"name", json_text(difference.name)},
                          {first_side, difference.first},
                          {second_side, difference.second}});
    }
    return {{"fields", fields}, {"hidden", hidden}};
}

}  // namespace zav
