// A record view as named fields, for listing and comparing: each field under
// the window's label for it, with the text it shows. Where a list shows no
// choice, or "-keiner-" for a byte that names an alarm not fitted, the
// field says so and gives what the byte holds, so that two records
// differing only there still differ in their fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/record/record_view.h"

namespace zav {

struct Field {
    std::string name;   // "Totzeit", "Codierung 675Hz/1240Hz", "Zusatzrelais 1 Ein-Zeit", ...
    std::string value;  // the field's text, with its unit ("30 s"); may be ""
    // The value as a number where the field holds one (seconds, a count,
    // the "Alarmspeicher" setting, a relay's 5-tone entry number).
    std::optional<int> number;
};

inline bool operator==(const Field& a, const Field& b) { return a.name == b.name && a.value == b.value; }
inline bool operator!=(const Field& a, const Field& b) { return !(a == b); }

// The fields under the window's group titles "Alarme", "Adressen" and
// "Zusatzrelais" (the last is empty when the fitting offers no relays).
struct FieldGroup {
    std::string title;
    std::vector<Field> fields;
};

std::vector<FieldGroup> field_groups(const RecordView& view);
std::vector<Field> fields_of(const RecordView& view);  // the groups' fields, in order

// The field the window's check stopped at (view.check_code, check_item);
// none when the check passed.
std::optional<Field> field_in_error(const RecordView& view);

// A field whose text differs; no field on a side whose record has no such
// field (a larger "Anzahl-5Ton" shows more "5-Ton" entries).
struct FieldDifference {
    std::string name;
    std::optional<Field> first;
    std::optional<Field> second;
};

// In field order; a field of the second view only stands where the second
// view lists it.
std::vector<FieldDifference> differing_fields(const RecordView& first, const RecordView& second);

// The record addresses 0..107 at which the two records differ although no
// field shows it (bytes after an alarm list's end mark, 5-tone entries
// beyond the count, the lists of alarms not fitted, relays not offered): an
// address counts as hidden when the other record's byte there, put into
// either record, leaves every field of that record's view as it was.
std::vector<size_t> hidden_differences(const uint8_t* first, const uint8_t* second, uint8_t setup_byte1,
                                       uint8_t setup_byte2);

// What an address no field shows is, in record for this fitting: "5-Ton
// Nummer 5, hinter Anzahl-5Ton", "Alarmliste 675Hz/1860Hz nach dem
// Endezeichen", "Zusatzrelais 3, nicht bestückt", ...
std::string hidden_address_name(size_t address, const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2);

struct HiddenDifference {
    size_t address;
    std::string name;  // hidden_address_name in the first record
    uint8_t first;
    uint8_t second;
};

// Two records compared for one fitting: the fields that differ, then the
// addresses that differ unseen.
struct RecordDifferences {
    std::vector<FieldDifference> fields;
    std::vector<HiddenDifference> hidden;
    bool empty() const { return fields.empty() && hidden.empty(); }
};

RecordDifferences compare_records(const uint8_t* first, const uint8_t* second, uint8_t setup_byte1,
                                  uint8_t setup_byte2);

}  // namespace zav
