#include "cli/record_fields.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zav {

namespace {

std::string with_unit(const std::string& value, const char* unit) { return value + " " + unit; }

// A list that shows no choice: the window leaves the record byte as it is
// ("Hand", "Alarmspeicher") or stores "--" for it (relay 5-tone choice) when
// it takes the record back; either way the byte is what the device holds.
std::string choice_or_byte(const std::string& shown, const RecordView& view, size_t address) {
    if (!shown.empty()) return shown;
    char text[48];
    std::snprintf(text, sizeof text, "(keine Auswahl, Adresse %u: 0x%02X)", static_cast<unsigned>(address),
                  view.record[address]);
    return text;
}

FieldGroup alarm_fields(const RecordView& view) {
    FieldGroup group{"Alarme", {}};
    for (const AlarmView& alarm : view.alarms) group.fields.push_back({"Codierung " + alarm.tone_pair, alarm.coding});
    group.fields.push_back({"Totzeit", with_unit(view.dead_time, "Sekunden")});
    group.fields.push_back({"Alarmpause", with_unit(view.alarm_pause, "Sekunden")});
    group.fields.push_back({"Alarmspeicher", choice_or_byte(view.alarm_memory, view, kAlarmMemory)});
    return group;
}

FieldGroup address_fields(const RecordView& view) {
    FieldGroup group{"Adressen", {}};
    group.fields.push_back({"Anzahl-5Ton", view.five_tone_count});
    for (size_t n = 0; n < view.five_tone.size(); ++n) {
        group.fields.push_back({"5-Ton Nummer " + std::to_string(n + 1), view.five_tone[n]});
    }
    group.fields.push_back({"Hand", choice_or_byte(view.manual, view, kManualAlarm)});
    return group;
}

FieldGroup relay_fields(const RecordView& view) {
    FieldGroup group{"Zusatzrelais", {}};
    for (const RelayView& relay : view.relays) {
        const std::string name = "Zusatzrelais " + std::to_string(relay.relay) + " ";
        const size_t trigger = relay_trigger(static_cast<size_t>(relay.relay - 1));
        group.fields.push_back({name + "5-Ton", choice_or_byte(relay.five_tone, view, trigger)});
        group.fields.push_back({name + "Doppel-Ton", relay.double_tone});
        group.fields.push_back({name + "Ein-Zeit", with_unit(relay.on_time, "s")});
    }
    return group;
}

bool has_field(const std::vector<Field>& fields, size_t from, const std::string& name) {
    return std::any_of(fields.begin() + static_cast<std::ptrdiff_t>(from), fields.end(),
                       [&](const Field& field) { return field.name == name; });
}

}  // namespace

std::vector<FieldGroup> field_groups(const RecordView& view) {
    return {alarm_fields(view), address_fields(view), relay_fields(view)};
}

std::vector<Field> fields_of(const RecordView& view) {
    std::vector<Field> fields;
    for (const FieldGroup& group : field_groups(view)) {
        fields.insert(fields.end(), group.fields.begin(), group.fields.end());
    }
    return fields;
}

std::vector<FieldDifference> differing_fields(const RecordView& first, const RecordView& second) {
    const std::vector<Field> a = fields_of(first);
    const std::vector<Field> b = fields_of(second);
    std::vector<FieldDifference> differences;
    // Both lists come in the same order; walk them side by side and let a
    // field that one list lacks stand where the other has it.
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i].name == b[j].name) {
            if (a[i].value != b[j].value) differences.push_back({a[i].name, a[i].value, b[j].value});
            ++i;
            ++j;
        } else if (j < b.size() && (i == a.size() || !has_field(a, i, b[j].name))) {
            differences.push_back({b[j].name, std::nullopt, b[j].value});
            ++j;
        } else {
            differences.push_back({a[i].name, a[i].value, std::nullopt});
            ++i;
        }
    }
    return differences;
}

std::vector<size_t> hidden_differences(const uint8_t* first, const uint8_t* second, uint8_t setup_byte1,
                                       uint8_t setup_byte2) {
    const std::vector<Field> first_fields = fields_of(view_record(first, setup_byte1, setup_byte2));
    const std::vector<Field> second_fields = fields_of(view_record(second, setup_byte1, setup_byte2));
    // Whether one byte of the other record, put into this one, changes a
    // field of its view.
    auto shows = [&](const uint8_t* record, const std::vector<Field>& fields, size_t address, uint8_t byte) {
        std::array<uint8_t, kRecordBytes> changed;
        std::copy(record, record + kRecordBytes, changed.begin());
        changed[address] = byte;
        return fields_of(view_record(changed.data(), setup_byte1, setup_byte2)) != fields;
    };
    // Both ways round: a byte after the end mark of one record's alarm list
    // may be part of the other's longer list.
    std::vector<size_t> hidden;
    for (size_t address = 0; address < kRecordBytes; ++address) {
        if (first[address] == second[address]) continue;
        if (shows(first, first_fields, address, second[address])) continue;
        if (shows(second, second_fields, address, first[address])) continue;
        hidden.push_back(address);
    }
    return hidden;
}

}  // namespace zav
