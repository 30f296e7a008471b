#include "fleet/text/config_text_fields.h"

#include <algorithm>
#include <cstring>

#include "core/config/alarm_text.h"
#include "core/config/config_form.h"

namespace zav::config_text {

namespace {

// A text is held to the characters the window's fields take (kSecondsChars
// and the like): "Totzeit" counts three digits, so the window would
// silently make 1000 into 100, where a text refuses it instead.
constexpr size_t kFiveToneSlotChars = kFiveToneSlotBytes - 1;

struct PathName {
    FieldKind kind;
    const char* section;  // "" at the top, else the table or array of tables
    const char* key;
    bool indexed;         // the section (an array of tables) or the key (a list) counts
};

// The dotted path of each field: "alarm.N.codierung", "adressen.nummern.N".
constexpr PathName kPathNames[] = {
    {FieldKind::kDeadTime, "", kKeyDeadTime, false},
    {FieldKind::kAlarmPause, "", kKeyAlarmPause, false},
    {FieldKind::kAlarmMemory, "", kKeyAlarmMemory, false},
    {FieldKind::kAlarmTonePair, kKeyAlarms, kKeyTonePair, true},
    {FieldKind::kCoding, kKeyAlarms, kKeyCoding, true},
    {FieldKind::kCount, kKeyAddresses, kKeyCount, false},
    {FieldKind::kNumber, kKeyAddresses, kKeyNumbers, true},
    {FieldKind::kManual, kKeyAddresses, kKeyManual, false},
    {FieldKind::kRelayFiveTone, kKeyRelays, kKeyRelayFiveTone, true},
    {FieldKind::kRelayDoubleTone, kKeyRelays, kKeyTonePair, true},
    {FieldKind::kOnTime, kKeyRelays, kKeyOnTime, true},
};

const PathName& path_name(FieldKind kind) {
    for (const PathName& name : kPathNames) {
        if (name.kind == kind) return name;
    }
    return kPathNames[0];
}

// Where a list of tables counts (alarm.N.key) and where a list counts
// (adressen.nummern.N).
bool counts_in_section(FieldKind kind) {
    return kind != FieldKind::kNumber && path_name(kind).indexed;
}

bool all_digits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string window_error(int code, const std::string& explanation) {
    return std::string(config_error_text(code)) + " (" + explanation + ")";
}

// A number for a field that takes at most digits characters.
std::optional<std::string> number_text(const std::string& text, size_t digits, int code, const char* range) {
    if (all_digits(text) && text.size() <= digits) return std::nullopt;
    return window_error(code, quoted(text) + ": erlaubt ist " + range);
}

// A text that must be one item of a list ("" for no choice, where allowed).
std::optional<std::string> choice_text(const std::string& text, const std::vector<std::string>& items,
                                       bool none_allowed, const char* what) {
    if (text.empty() && none_allowed) return std::nullopt;
    if (std::find(items.begin(), items.end(), text) != items.end()) return std::nullopt;
    std::string message = quoted(text) + " ist " + what + ": " + listed(items);
    if (none_allowed) message += " (oder \"\" für keine Auswahl)";
    return message;
}

// The window stops reading a "Codierung" at the ninth place of its list and
// drops whatever follows without a word. A text holds what its writer
// meant, so an action beyond the ninth place, or a character the window
// would refuse there, is refused instead of dropped.
std::optional<std::string> coding_beyond_the_list(const std::string& text) {
    constexpr std::string_view kAllowed = "0123456789ONFRH ,";
    size_t places = 0;
    for (const char c : text) {
        if (kAllowed.find(c) == std::string_view::npos) {
            return window_error(kCodingError, quoted(text) + ": das Zeichen " + quoted(std::string(1, c)) +
                                                  " gehört in keine Aktion");
        }
        if (c == 'O' || c == 'R') places += 1;
        if (c == 'H') places += 2;
    }
    if (places <= kAlarmListBytes) return std::nullopt;
    return window_error(kCodingError, quoted(text) + " braucht " + std::to_string(places) +
                                          " Plätze, die Liste hat 9 (eine H-Aktion belegt zwei)");
}

std::vector<std::string> items_of(const char* const* items, size_t count) { return {items, items + count}; }

// The record bytes a field writes: an alarm's whole list, an entry's five
// characters, a relay's trigger byte for both of its choices.
std::pair<size_t, size_t> written_bytes(FieldKind kind, int index, const RecordView& fields) {
    const size_t i = static_cast<size_t>(index);
    switch (kind) {
        case FieldKind::kDeadTime: return {kDeadTime, 1};
        case FieldKind::kAlarmPause: return {kAlarmPause, 1};
        case FieldKind::kAlarmMemory: return {kAlarmMemory, 1};
        case FieldKind::kAlarmTonePair:
        case FieldKind::kCoding: return {alarm_list(static_cast<size_t>(fields.alarms[i].alarm)), kAlarmListBytes};
        case FieldKind::kCount: return {kFiveToneCount, 1};
        case FieldKind::kNumber: return {five_tone_entry(i), kFiveToneEntryBytes};
        case FieldKind::kManual: return {kManualAlarm, 1};
        case FieldKind::kRelayFiveTone:
        case FieldKind::kRelayDoubleTone: return {relay_trigger(i), 1};
        case FieldKind::kOnTime: return {relay_on_time(i), 1};
    }
    return {0, 0};
}

// Which field a field error of the window's transfer is about. The window
// says only which check failed; the first field in its order that fails
// that check is the one.
FieldError located_window_error(int code, const RecordView& fields) {
    const std::string message = config_error_text(code);
    switch (code) {
        case kCodingError:
            for (size_t p = 0; p < fields.alarms.size(); ++p) {
                uint8_t list[kAlarmListBytes];
                const std::string& coding = fields.alarms[p].coding;
                if (parse_alarm_text(coding.c_str(), list) != 0) {
                    return {{FieldKind::kCoding, static_cast<int>(p)},
                            window_error(code, quoted(coding) + ": erlaubt sind die Aktionen ONnn, OFFnn, Rnn und "
                                                                "Hnnpp mit nn von 00 bis 60, getrennt durch Komma "
                                                                "oder Leerzeichen")};
                }
            }
            break;
        case kDeadTimeError:
            return {{FieldKind::kDeadTime}, window_error(code, "0 bis 180 Sekunden")};
        case kAlarmPauseError:
            return {{FieldKind::kAlarmPause}, window_error(code, "0 bis 180 Sekunden")};
        case kCountError:
            return {{FieldKind::kCount}, window_error(code, "1 bis 10")};
        case kFiveToneError:
            for (size_t n = 0; n < fields.five_tone.size(); ++n) {
                const std::string& entry = fields.five_tone[n];
                if (entry.size() != kFiveToneEntryBytes) {
                    return {{FieldKind::kNumber, static_cast<int>(n)},
                            window_error(code, quoted(entry) + " hat " + std::to_string(entry.size()) +
                                                   " Zeichen, eine Adresse genau 5")};
                }
            }
            break;
        case kRelayError:
            for (size_t r = 0; r < fields.relays.size(); ++r) {
                const std::string& on_time = fields.relays[r].on_time;
                if (!all_digits(on_time) || decimal_text_value(on_time.c_str(), on_time.size()) > kMaxSeconds) {
                    return {{FieldKind::kOnTime, static_cast<int>(r)},
                            window_error(code, "Ein-Zeit 0 bis 180 Sekunden")};
                }
            }
            break;
        default:
            break;
    }
    return {{FieldKind::kDeadTime}, message, true};
}

// Whether a field shows the same text in both views; a field that one view
// lacks (an entry beyond its count) does not.
bool same_text(FieldKind kind, int index, const RecordView& a, const RecordView& b) {
    const size_t i = static_cast<size_t>(index);
    switch (kind) {
        case FieldKind::kDeadTime: return a.dead_time == b.dead_time;
        case FieldKind::kAlarmPause: return a.alarm_pause == b.alarm_pause;
        case FieldKind::kAlarmMemory: return a.alarm_memory == b.alarm_memory;
        case FieldKind::kAlarmTonePair:
        case FieldKind::kCoding: return a.alarms[i].coding == b.alarms[i].coding;
        case FieldKind::kCount: return a.five_tone_count == b.five_tone_count;
        case FieldKind::kNumber:
            return i < a.five_tone.size() && i < b.five_tone.size() && a.five_tone[i] == b.five_tone[i];
        case FieldKind::kManual: return a.manual == b.manual;
        case FieldKind::kRelayFiveTone:
        case FieldKind::kRelayDoubleTone:
            return a.relays[i].five_tone == b.relays[i].five_tone && a.relays[i].double_tone == b.relays[i].double_tone;
        case FieldKind::kOnTime: return a.relays[i].on_time == b.relays[i].on_time;
    }
    return false;
}

// Every field of a view, once.
std::vector<FieldRef> fields_in(const RecordView& view) {
    std::vector<FieldRef> refs = {{FieldKind::kDeadTime}, {FieldKind::kAlarmPause}, {FieldKind::kAlarmMemory},
                                  {FieldKind::kCount}, {FieldKind::kManual}};
    for (size_t p = 0; p < view.alarms.size(); ++p) refs.push_back({FieldKind::kCoding, static_cast<int>(p)});
    for (size_t n = 0; n < view.five_tone.size(); ++n) refs.push_back({FieldKind::kNumber, static_cast<int>(n)});
    for (size_t r = 0; r < view.relays.size(); ++r) {
        refs.push_back({FieldKind::kRelayFiveTone, static_cast<int>(r)});
        refs.push_back({FieldKind::kOnTime, static_cast<int>(r)});
    }
    return refs;
}

}  // namespace

std::string field_path(FieldRef field) {
    const PathName& name = path_name(field.kind);
    const std::string number = std::to_string(field.index + 1);
    std::string path;
    if (*name.section != '\0') path = std::string(name.section) + ".";
    if (counts_in_section(field.kind)) path += number + ".";
    path += name.key;
    if (field.kind == FieldKind::kNumber) path += "." + number;
    return path;
}

std::optional<FieldRef> field_of_path(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = path.find('.', start);
        parts.emplace_back(path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    // The number in a path counts from 1; anything else is no field.
    auto index_of = [](const std::string& part) -> std::optional<int> {
        if (part.empty() || part.size() > 3 || !all_digits(part) || part[0] == '0') return std::nullopt;
        return std::stoi(part) - 1;
    };
    for (const PathName& name : kPathNames) {
        std::vector<std::string> expected;
        std::optional<int> index = 0;
        if (*name.section != '\0') expected.push_back(name.section);
        const bool section_counts = counts_in_section(name.kind);
        if (section_counts) expected.push_back("#");
        expected.push_back(name.key);
        if (name.kind == FieldKind::kNumber) expected.push_back("#");
        if (expected.size() != parts.size()) continue;
        bool matches = true;
        for (size_t i = 0; i < parts.size() && matches; ++i) {
            if (expected[i] == "#") {
                index = index_of(parts[i]);
                matches = index.has_value();
            } else {
                matches = expected[i] == parts[i];
            }
        }
        if (matches) return FieldRef{name.kind, *index};
    }
    return std::nullopt;
}

ConfigRecord new_record() {
    ConfigImage image;
    set_image_start_values(image);
    ConfigRecord record;
    std::copy(image.bytes, image.bytes + kRecordBytes, record.begin());
    return record;
}

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

FittingLists fitting_lists(SetupFitting fitting) {
    ConfigWindowState state;
    clear_config_window_state(state);
    set_up_config_window_state(state, fitting.setup_byte1, fitting.setup_byte2);
    FittingLists lists;
    for (int p = 0; p < state.fitted_count; ++p) {
        lists.alarms.push_back(state.fitted_alarms[p]);
        lists.tone_pairs.push_back(fitted_alarm_text(state, p));
    }
    lists.max_five_tone_count = state.max_five_tone_count;
    lists.relays = state.relays_offered;
    return lists;
}

RecordView fields_of_record(const ConfigRecord& record, SetupFitting fitting) {
    return view_record(record.data(), fitting.setup_byte1, fitting.setup_byte2);
}

std::optional<FieldError> put_field_text(RecordView& fields, const FittingLists& lists, FieldRef field,
                                         const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        return FieldError{field, "ein Text darf kein Nullzeichen (\\u0000) enthalten"};
    }
    const size_t i = static_cast<size_t>(field.index);
    std::vector<std::string> double_tones = lists.tone_pairs;
    double_tones.push_back(kNoDoubleToneItem);
    std::optional<std::string> refused;
    switch (field.kind) {
        case FieldKind::kDeadTime:
            refused = number_text(text, kSecondsChars, kDeadTimeError, "0 bis 180 Sekunden");
            if (!refused) fields.dead_time = text;
            break;
        case FieldKind::kAlarmPause:
            refused = number_text(text, kSecondsChars, kAlarmPauseError, "0 bis 180 Sekunden");
            if (!refused) fields.alarm_pause = text;
            break;
        case FieldKind::kAlarmMemory:
            refused = choice_text(text, items_of(kAlarmMemoryItems, 4), true, "keine der Möglichkeiten");
            if (!refused) fields.alarm_memory = text;
            break;
        case FieldKind::kAlarmTonePair:
            return FieldError{field, "benennt den Alarm und lässt sich nicht ändern"};
        case FieldKind::kCoding:
            if (text.size() > kAlarmTextMaxChars) {
                refused = window_error(kCodingError, "höchstens 54 Zeichen");
            } else {
                refused = coding_beyond_the_list(text);
            }
            if (!refused) fields.alarms[i].coding = text;
            break;
        case FieldKind::kCount:
            refused = number_text(text, kCountChars, kCountError, "1 bis 10");
            if (!refused) fields.five_tone_count = text;
            break;
        case FieldKind::kNumber:
            if (text.size() > kFiveToneSlotChars) {
                refused = window_error(kFiveToneError, "eine Adresse hat genau 5 Zeichen");
            } else {
                fields.five_tone[i] = text;
            }
            break;
        case FieldKind::kManual:
            refused = choice_text(text, lists.tone_pairs, true,
                                  lists.described ? "keiner der Doppel-Töne der Abschnitte [[alarm]]"
                                                  : "keiner der Doppel-Töne dieser Ausstattung");
            if (!refused) fields.manual = text;
            break;
        case FieldKind::kRelayFiveTone:
            refused = choice_text(text, items_of(kRelayFiveToneItems, kRelayFiveToneItemCount), true,
                                  "keine der Möglichkeiten");
            if (!refused) fields.relays[i].five_tone = text;
            break;
        case FieldKind::kRelayDoubleTone:
            refused = choice_text(text, double_tones, false, "keine der Möglichkeiten");
            if (!refused) fields.relays[i].double_tone = text;
            break;
        case FieldKind::kOnTime:
            refused = number_text(text, kOnTimeChars, kRelayError, "Ein-Zeit 0 bis 180 Sekunden");
            if (!refused) fields.relays[i].on_time = text;
            break;
    }
    if (!refused) return std::nullopt;
    // The text fields are refused with the window's own message; a list
    // item the list lacks is ours to refuse.
    const bool field_check = field.kind == FieldKind::kDeadTime || field.kind == FieldKind::kAlarmPause ||
                             field.kind == FieldKind::kCoding || field.kind == FieldKind::kCount ||
                             field.kind == FieldKind::kNumber || field.kind == FieldKind::kOnTime;
    return FieldError{field, *refused, field_check};
}

std::optional<FieldError> record_from_fields(const RecordView& fields, const ConfigRecord& base,
                                             SetupFitting fitting, ConfigRecord& record) {
    ConfigRecord taken;
    const int code = record_from_view(fields, base.data(), fitting.setup_byte1, fitting.setup_byte2, taken.data());
    if (code != 0) {
        FieldError error = located_window_error(code, fields);
        error.field_check = true;
        return error;
    }
    const RecordView base_fields = fields_of_record(base, fitting);
    for (const FieldRef field : fields_in(fields)) {
        if (!same_text(field.kind, field.index, fields, base_fields)) continue;
        const auto [first, count] = written_bytes(field.kind, field.index, fields);
        std::copy(base.begin() + first, base.begin() + first + count, taken.begin() + first);
    }
    record = taken;
    return std::nullopt;
}

std::string record_address_name(size_t address, SetupFitting fitting, const FittingLists& lists) {
    const bool set_a = (fitting.setup_byte2 & 0x01) != 0;
    if (address == kFiveToneCount) return "Anzahl-5Ton";
    if (address < kAlarmLists) {
        return "5-Ton Nummer " + std::to_string((address - kFiveToneEntries) / kFiveToneEntryBytes + 1);
    }
    if (address < kDeadTime) {
        const int alarm = static_cast<int>((address - kAlarmLists) / kAlarmListBytes);
        const bool fitted = std::find(lists.alarms.begin(), lists.alarms.end(), alarm) != lists.alarms.end();
        return std::string("Codierung ") + alarm_tone_pair_text(alarm, set_a) + (fitted ? "" : " (nicht bestückt)");
    }
    if (address == kDeadTime) return "Totzeit";
    if (address == kAlarmPause) return "Alarmpause";
    if (address == kAlarmMemory) return "Alarmspeicher";
    if (address == kManualAlarm) return "Hand";
    const int relay = static_cast<int>((address - kRelays) / 2);
    return "Zusatzrelais " + std::to_string(relay + 1) + (relay < lists.relays ? "" : " (nicht angeboten)");
}

}  // namespace zav::config_text
