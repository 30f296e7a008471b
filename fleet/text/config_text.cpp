// The parts of the text interface that need no TOML: error lines, setting
// fields by path, and telling a text from the window's binary file.
#include "fleet/text/config_text.h"

#include <algorithm>
#include <cstdio>

#include "core/config/config_file.h"
#include "core/config/config_form.h"
#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"
#include "fleet/text/config_text_fields.h"

namespace zav {

namespace {

using namespace config_text;

constexpr char kKnownPaths[] =
    "bekannt sind totzeit, alarmpause, alarmspeicher, alarm.N.codierung, adressen.anzahl, adressen.nummern.N, "
    "adressen.hand, zusatzrelais.N.fuenf_ton, zusatzrelais.N.doppel_ton, zusatzrelais.N.ein_zeit";

// Whether the fields of this record and fitting have the one a path names.
std::optional<std::string> missing_field(FieldRef field, const RecordView& fields) {
    const size_t i = static_cast<size_t>(field.index);
    switch (field.kind) {
        case FieldKind::kAlarmTonePair:
        case FieldKind::kCoding:
            if (i >= fields.alarms.size()) {
                return "diese Ausstattung hat " + std::to_string(fields.alarms.size()) + " bestückte Doppel-Töne";
            }
            break;
        case FieldKind::kNumber:
            if (i >= fields.five_tone.size()) {
                return "es gibt " + std::to_string(fields.five_tone.size()) + " Nummern (adressen.anzahl)";
            }
            break;
        case FieldKind::kRelayFiveTone:
        case FieldKind::kRelayDoubleTone:
        case FieldKind::kOnTime:
            if (i >= fields.relays.size()) {
                return "diese Ausstattung hat " + std::to_string(fields.relays.size()) + " Zusatzrelais";
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

TextError field_error(const std::string& path, const std::string& message) { return {0, 0, path, message}; }

}  // namespace

bool same_fitting(SetupFitting a, SetupFitting b) {
    const FittingLists shown_a = fitting_lists(a);
    const FittingLists shown_b = fitting_lists(b);
    // Set A and set B name alarms 0 and 1 alike, but not the bytes of the
    // alarms that are not fitted (the raw bytes' comments do).
    return (a.setup_byte1 & kFittedAlarmBits) == (b.setup_byte1 & kFittedAlarmBits) &&
           shown_a.max_five_tone_count == shown_b.max_five_tone_count && shown_a.relays == shown_b.relays &&
           (a.setup_byte2 & kToneSetABit) == (b.setup_byte2 & kToneSetABit);
}

std::string fitting_name(SetupFitting fitting) {
    const uint8_t bytes[] = {fitting.setup_byte1, fitting.setup_byte2};
    return hex_text(bytes, sizeof bytes, " ");
}

SetupFitting described_fitting(const uint8_t* record) {
    ConfigRecord bytes;
    std::copy(record, record + kRecordBytes, bytes.begin());
    // Everything a record can show; then, one by one, what the window
    // refuses of an alarm or a relay that a fitting may lack. Each round
    // drops an alarm or halves the relays, so this ends.
    SetupFitting fitting{kFittedAlarmBits | kTenAddressesBit | kFourRelaysCode, kToneSetABit};
    for (int round = 0; round < 8; ++round) {
        const RecordView view = fields_of_record(bytes, fitting);
        if (view.check_code == kCodingError && view.check_item >= 0) {
            fitting.setup_byte1 = static_cast<uint8_t>(fitting.setup_byte1 & ~(1u << view.check_item));
        } else if (view.check_code == kRelayError && view.check_item >= 0) {
            const uint8_t relays = view.check_item >= 2 ? kTwoRelaysCode : 0;
            fitting.setup_byte1 = static_cast<uint8_t>((fitting.setup_byte1 & ~kRelayCodeBits) | relays);
        } else {
            break;
        }
    }
    return fitting;
}

std::string text_error_line(const TextError& error) {
    std::string line;
    if (error.line > 0) {
        line = "Zeile " + std::to_string(error.line) + ", Spalte " + std::to_string(error.column) + ": ";
    }
    if (!error.key.empty()) line += error.key + ": ";
    return line + error.message;
}

std::optional<TextError> set_fields(ConfigRecord& record, SetupFitting fitting,
                                    const std::vector<std::pair<std::string, std::string>>& values) {
    const FittingLists lists = fitting_lists(fitting);
    RecordView fields = fields_of_record(record, fitting);

    std::vector<std::pair<FieldRef, const std::string*>> settings;
    for (const auto& [path, value] : values) {
        const std::optional<FieldRef> field = field_of_path(path);
        if (!field) return field_error(cp1252_from_utf8(path), std::string("unbekanntes Feld (") + kKnownPaths + ")");
        settings.emplace_back(*field, &value);
    }
    // The count first: it decides which numbers there are to set.
    std::stable_partition(settings.begin(), settings.end(),
                          [](const auto& setting) { return setting.first.kind == FieldKind::kCount; });

    for (const auto& [field, value] : settings) {
        const std::string path = field_path(field);
        if (const std::optional<std::string> missing = missing_field(field, fields)) return field_error(path, *missing);
        std::string text;
        size_t bad = 0;
        if (!cp1252_from_utf8_exact(*value, text, bad)) {
            return field_error(path, "das Zeichen an Stelle " + std::to_string(bad + 1) +
                                         " gibt es in Windows-1252 nicht, das Gerät kann es nicht speichern");
        }
        if (const std::optional<FieldError> refused = put_field_text(fields, lists, field, text)) {
            return TextError{0, 0, path, refused->message, refused->field_check};
        }
        // A count the window takes shows that many numbers; new ones start
        // empty, as in a window freshly opened, and must be set too.
        if (field.kind == FieldKind::kCount && !text.empty()) {
            const int count = std::stoi(text);
            if (count >= 1 && count <= kMaxFiveToneEntries) fields.five_tone.resize(static_cast<size_t>(count));
        }
    }

    ConfigRecord changed;
    if (const std::optional<FieldError> refused = record_from_fields(fields, record, fitting, changed)) {
        return TextError{0, 0, field_path(refused->field), refused->message, refused->field_check};
    }
    record = changed;
    return std::nullopt;
}

std::optional<TextError> set_field(ConfigRecord& record, SetupFitting fitting, const std::string& path,
                                   const std::string& value) {
    return set_fields(record, fitting, {{path, value}});
}

namespace {

// A record that every field check passes for a full fitting (either tone
// set), on which values from elsewhere can be tried.
ConfigRecord probe_record(SetupFitting fitting) {
    const FittingLists lists = fitting_lists(fitting);
    std::vector<std::pair<std::string, std::string>> values = {
        {"totzeit", "0"}, {"alarmpause", "0"}, {"alarmspeicher", "0"}, {"adressen.anzahl", "10"},
        {"adressen.hand", lists.tone_pairs.empty() ? "" : utf8_from_cp1252(lists.tone_pairs.front())}};
    for (size_t a = 1; a <= lists.alarms.size(); ++a) values.emplace_back(field_path({FieldKind::kCoding, int(a - 1)}), "ON01");
    for (int n = 0; n < kMaxFiveToneEntries; ++n) values.emplace_back(field_path({FieldKind::kNumber, n}), "00000");
    for (int r = 0; r < lists.relays; ++r) {
        values.emplace_back(field_path({FieldKind::kRelayFiveTone, r}), "--");
        values.emplace_back(field_path({FieldKind::kRelayDoubleTone, r}), utf8_from_cp1252(kNoDoubleToneItem));
        values.emplace_back(field_path({FieldKind::kOnTime, r}), "0");
    }
    ConfigRecord record = new_record();
    set_fields(record, fitting, values);
    return record;
}

}  // namespace

std::optional<TextError> check_fields_for_any_fitting(const std::vector<std::pair<std::string, std::string>>& values) {
    std::optional<TextError> first_refusal;
    const SetupFitting other_tone_set{kFullFitting.setup_byte1, static_cast<uint8_t>(kFullFitting.setup_byte2 ^ 0x01)};
    for (const SetupFitting fitting : {kFullFitting, other_tone_set}) {
        ConfigRecord probe = probe_record(fitting);
        const std::optional<TextError> refused = set_fields(probe, fitting, values);
        if (!refused) return std::nullopt;
        if (!first_refusal) first_refusal = refused;
    }
    return first_refusal;
}

std::optional<std::string> five_tone_warning(const std::string& number) {
    const auto other = std::find_if(number.begin(), number.end(), [](char c) { return c < '0' || c > '9'; });
    if (other == number.end()) return std::nullopt;
    const std::string place = std::to_string(other - number.begin() + 1);
    const bool letter_o = *other == 'O' || *other == 'o';
    return "'" + number + "': " + (letter_o ? "der Buchstabe" : "das Zeichen") + " '" + std::string(1, *other) +
           "' an Stelle " + place + " ist keine Ziffer" + (letter_o ? " (eine 0?)" : "") +
           "; das Fenster nimmt es an";
}

std::vector<TextError> field_warnings(const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<TextError> warnings;
    for (const auto& [path, value] : values) {
        const std::optional<FieldRef> field = field_of_path(path);
        if (!field || field->kind != FieldKind::kNumber) continue;
        if (std::optional<std::string> warning = five_tone_warning(cp1252_from_utf8(value))) {
            warnings.push_back(field_error(path, *warning));
        }
    }
    return warnings;
}

std::vector<TextError> record_warnings(const uint8_t* record) {
    std::vector<TextError> warnings;
    const size_t count = std::min<size_t>(record[kFiveToneCount], kMaxFiveToneEntries);
    for (size_t n = 0; n < count; ++n) {
        const std::string number(reinterpret_cast<const char*>(record + five_tone_entry(n)), kFiveToneEntryBytes);
        if (std::optional<std::string> warning = five_tone_warning(number)) {
            warnings.push_back(field_error("5-Ton Nummer " + std::to_string(n + 1), *warning));
        }
    }
    return warnings;
}

bool is_config_text(std::string_view file_bytes) {
    if (file_bytes.empty()) return false;
    // Also a binary file cut short within its header is one: the window's
    // message for it ("Ungültige Datei !") says more than a TOML error would.
    const std::string_view header(kConfigFileHeader, kConfigFileHeaderBytes);
    const size_t compared = std::min(file_bytes.size(), header.size());
    if (file_bytes.substr(0, compared) == header.substr(0, compared)) return false;
    // Control characters other than tab and line ends are no TOML; a record
    // always has some (its count is 1 to 10), so does any other binary file.
    return std::none_of(file_bytes.begin(), file_bytes.end(), [](char c) {
        const uint8_t byte = static_cast<uint8_t>(c);
        return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F;
    });
}

}  // namespace zav
