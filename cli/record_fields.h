// A record view as named fields, for listing and comparing: each field under
// the window's label for it, with the text it shows. Where a list shows no
// choice, the field says so and gives the record byte behind it, so that two
// records differing only there still differ in their fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/record_view.h"

namespace zav {

struct Field {
    std::string name;   // "Totzeit", "Codierung 675Hz/1240Hz", "Zusatzrelais 1 Ein-Zeit", ...
    std::string value;  // the field's text, with its unit ("30 Sekunden", "10 s"); may be ""
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

// A field whose text differs; no value where one record has no such field
// (a larger "Anzahl-5Ton" shows more "5-Ton" entries).
struct FieldDifference {
    std::string name;
    std::optional<std::string> first;
    std::optional<std::string> second;
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

}  // namespace zav
