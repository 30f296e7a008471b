// The record and its differences as zavctl prints them: German text in the
// program's character set (Windows-1252, like every text of the program),
// within 80 columns, or JSON, whose strings are UTF-8.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "fleet/record/record_fields.h"
#include "fleet/record/record_view.h"

namespace zav {

// Every field under its group title, aligned, and a last line saying whether
// the window would take the record back, with its message and the field it
// stopped at if not.
std::string record_report(const RecordView& view);

// "Feld 5-Ton Nummer 3: 214" for the field the window's check stopped at;
// "" when it passed.
std::string field_error_detail(const RecordView& view);

// One line per differing field, "name: first -> second", then a line per
// kind of address that differs unseen, "Adresse 21-25: 5-Ton Nummer 5,
// hinter Anzahl-5Ton". "" when there is neither.
std::string differences_report(const RecordDifferences& differences);

// What a device of this fitting receives other than the file holds, the
// file's record compared with the window's (record_as_window_takes_it): a
// title line, then one line per field, "Zusatzrelais 1 Doppel-Ton: ... ->
// -keiner-". "" when it receives the file as it is.
std::string device_receives_report(const RecordDifferences& file_to_device);

// A line for a record with more 5-tone addresses than the fitting offers,
// which the window sends as they are; "" otherwise.
std::string beyond_fitting_report(const RecordView& view);

// Every field, structured: see docs/JSON.md.
nlohmann::json record_json(const RecordView& view);

// {"fields": [{"field", <first_side>, <second_side>}...],
//  "hidden": [{"address", "name", <first_side>, <second_side>}...]}:
// diff names its sides "a" and "b", verify "file" and "device".
nlohmann::json differences_json(const RecordDifferences& differences, const char* first_side,
                                const char* second_side);

}  // namespace zav
