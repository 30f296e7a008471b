// The record and its differences as zavctl prints them: German text in the
// program's character set (Windows-1252, like every text of the program),
// or JSON, whose strings are UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/record_fields.h"
#include "cli/record_view.h"

namespace zav {

// Every field under its group title, aligned, and a last line saying whether
// the window would take the record back, with its message if not.
std::string record_report(const RecordView& view);

// One line per differing field, "name: first -> second", then one line for
// the addresses that differ unseen. "" when there is neither.
std::string differences_report(const std::vector<FieldDifference>& differences, const std::vector<size_t>& hidden);

// Every field, structured: see the lead comment in record_report.cpp.
nlohmann::json record_json(const RecordView& view);

// {"fields": [{"field", "first", "second"}...], "hidden_addresses": [...]}
nlohmann::json differences_json(const std::vector<FieldDifference>& differences, const std::vector<size_t>& hidden);

}  // namespace zav
