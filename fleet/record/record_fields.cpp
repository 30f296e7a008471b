#include "fleet/record/record_fields.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "core/config/config_form.h"
#include "fleet/base/hex.h"

namespace zav {

namespace {

constexpr const char kSeconds[] = " s";

// The number a field's text is, when it is all digits.
std::optional<int> number_of(const std::string& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return std::atoi(text.c_str());
}

Field seconds_field(const std::string& name, const std::string& value) {
    return {name, value + kSeconds, number_of(value)};
}

std::string byte_text(size_t address, uint8_t byte) {
    return "Adresse " + std::to_string(address) + ": " + hex_byte(byte);
}

// A list that shows no choice: the window leaves the record byte as it is
// ("Hand", "Alarmspeicher") or stores "--" for it (relay 5-tone choice) when
// it takes the record back; either way the byte is what the device holds.
Field choice_field(const std::string& name, const std::string& shown, const RecordView& view, size_t address) {
    if (!shown.empty()) return {name, shown, number_of(shown)};
    return {name, "(keine Auswahl, " + byte_text(address, view.record[address]) + ")", std::nullopt};
}

// The window's lists for a fitting, as it sets them up when it is created.
ConfigWindowState window_state(uint8_t setup_byte1, uint8_t setup_byte2) {
    ConfigWindowState state;
    clear_config_window_state(state);
    set_up_config_window_state(state, setup_byte1, setup_byte2);
    return state;
}

bool alarm_fitted(const ConfigWindowState& state, int alarm) {
    for (int p = 0; p < state.fitted_count; ++p) {
        if (state.fitted_alarms[p] == alarm) return true;
    }
    return false;
}

// "-keiner-" is what the list shows for every low nibble that names no
// fitted alarm; the byte may still name one that this fitting lacks.
std::string double_tone_text(const RelayView& relay, const RecordView& view) {
    const size_t address = relay_trigger(static_cast<size_t>(relay.relay - 1));
    const int alarm = view.record[address] & 0x0F;
    if (relay.double_tone != kNoDoubleToneItem || alarm == 0x0F) return relay.double_tone;
    if (alarm < static_cast<int>(kAlarmCount)) {
        const bool set_a = window_state(view.setup_byte1, view.setup_byte2).tone_set_a;
        return relay.double_tone + " (" + alarm_tone_pair_text(alarm, set_a) + " nicht bestückt)";
    }
    return relay.double_tone + " (" + byte_text(address, view.record[address]) + ")";
}

std::string coding_name(const std::string& tone_pair) { return "Codierung " + tone_pair; }
std::string five_tone_name(size_t n) { return "5-Ton Nummer " + std::to_string(n + 1); }
std::string relay_name(int relay) { return "Zusatzrelais " + std::to_string(relay); }

FieldGroup alarm_fields(const RecordView& view) {
    FieldGroup group{"Alarme", {}};
    for (const AlarmView& alarm : view.alarms) group.fields.push_back({coding_name(alarm.tone_pair), alarm.coding, {}});
    group.fields.push_back(seconds_field("Totzeit", view.dead_time));
    group.fields.push_back(seconds_field("Alarmpause", view.alarm_pause));
    group.fields.push_back(choice_field("Alarmspeicher", view.alarm_memory, view, kAlarmMemory));
    return group;
}

FieldGroup address_fields(const RecordView& view) {
    FieldGroup group{"Adressen", {}};
    group.fields.push_back({"Anzahl-5Ton", view.five_tone_count, number_of(view.five_tone_count)});
    for (size_t n = 0; n < view.five_tone.size(); ++n) group.fields.push_back({five_tone_name(n), view.five_tone[n], {}});
    group.fields.push_back(choice_field("Hand", view.manual, view, kManualAlarm));
    return group;
}

FieldGroup relay_fields(const RecordView& view) {
    FieldGroup group{"Zusatzrelais", {}};
    for (const RelayView& relay : view.relays) {
        const std::string name = relay_name(relay.relay) + " ";
        const size_t trigger = relay_trigger(static_cast<size_t>(relay.relay - 1));
        group.fields.push_back(choice_field(name + "5-Ton", relay.five_tone, view, trigger));
        group.fields.push_back({name + "Doppel-Ton", double_tone_text(relay, view), {}});
        group.fields.push_back(seconds_field(name + "Ein-Zeit", relay.on_time));
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

std::optional<Field> field_in_error(const RecordView& view) {
    std::string name;
    switch (view.check_code) {
        case 1:
            for (const AlarmView& alarm : view.alarms) {
                if (alarm.alarm == view.check_item) name = coding_name(alarm.tone_pair);
            }
            break;
        case 2: name = "Totzeit"; break;
        case 3: name = "Alarmpause"; break;
        case 4: name = "Anzahl-5Ton"; break;
        case 5: name = view.check_item >= 0 ? five_tone_name(static_cast<size_t>(view.check_item)) : ""; break;
        case 6: name = view.check_item >= 0 ? relay_name(view.check_item + 1) + " Ein-Zeit" : ""; break;
        default: break;
    }
    for (const Field& field : fields_of(view)) {
        if (!name.empty() && field.name == name) return field;
    }
    return std::nullopt;
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
            if (a[i].value != b[j].value) differences.push_back({a[i].name, a[i], b[j]});
            ++i;
            ++j;
        } else if (j < b.size() && (i == a.size() || !has_field(a, i, b[j].name))) {
            differences.push_back({b[j].name, std::nullopt, b[j]});
            ++j;
        } else {
            differences.push_back({a[i].name, a[i], std::nullopt});
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

std::string hidden_address_name(size_t address, const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2) {
    if (address >= five_tone_entry(0) && address < alarm_list(0)) {
        const size_t entry = (address - five_tone_entry(0)) / kFiveToneEntryBytes;
        const size_t shown = std::min<size_t>(record[kFiveToneCount], kFiveToneEntrySlots);
        // Within a shown entry, only what follows a NUL goes unseen.
        return five_tone_name(entry) + (entry >= shown ? ", hinter Anzahl-5Ton" : ", hinter dem Textende");
    }
    const ConfigWindowState state = window_state(setup_byte1, setup_byte2);
    if (address >= alarm_list(0) && address < kDeadTime) {
        const int alarm = static_cast<int>((address - alarm_list(0)) / kAlarmListBytes);
        const std::string list = std::string("Alarmliste ") + alarm_tone_pair_text(alarm, state.tone_set_a);
        if (!alarm_fitted(state, alarm)) return list + ", nicht bestückt";
        // The window shows every action of a fitted alarm's list, the H
        // parameters included: what it does not show follows the end mark.
        return list + " nach dem Endezeichen";
    }
    if (address >= kRelays && address < kRecordBytes) {
        const int relay = static_cast<int>((address - kRelays) / 2);
        if (relay >= state.relays_offered) return relay_name(relay + 1) + ", nicht bestückt";
        return relay_name(relay + 1) + (address == relay_trigger(static_cast<size_t>(relay)) ? " Auslöser" : " Ein-Zeit");
    }
    switch (address) {
        case kFiveToneCount: return "Anzahl-5Ton";
        case kDeadTime: return "Totzeit";
        case kAlarmPause: return "Alarmpause";
        case kAlarmMemory: return "Alarmspeicher";
        case kManualAlarm: return "Hand";
        default: return "";
    }
}

RecordDifferences compare_records(const uint8_t* first, const uint8_t* second, uint8_t setup_byte1,
                                  uint8_t setup_byte2) {
    RecordDifferences differences;
    differences.fields = differing_fields(view_record(first, setup_byte1, setup_byte2),
                                          view_record(second, setup_byte1, setup_byte2));
    for (const size_t address : hidden_differences(first, second, setup_byte1, setup_byte2)) {
        differences.hidden.push_back({address, hidden_address_name(address, first, setup_byte1, setup_byte2),
                                      first[address], second[address]});
    }
    return differences;
}

}  // namespace zav
