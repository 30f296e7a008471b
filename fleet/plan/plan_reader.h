// A plan: the devices of a series, each with its own values, as a table a
// technician keeps in a spreadsheet and saves as CSV. The header row names
// the columns: first "bezeichnung" (the device's label, "LF 20 Fahrer"),
// then each a key of the configuration text ("adressen.nummern.1",
// "zusatzrelais.1.ein_zeit") or one of the columns a brigade keeps beside
// them, "inventarnummer" and "bemerkung", which go into the log, the sheet
// and the inventory; every further row is one device.
//
// This reads the table and knows the columns' names. Whether a value passes
// the window's field checks is the configuration text's to say, when the
// values are set on the template.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/plan/csv_table.h"

namespace zav {

// The first column's name in the header (upper or lower case).
constexpr char kPlanLabelColumn[] = "bezeichnung";
// Columns that are not fields of the record (upper or lower case).
constexpr char kPlanInventoryColumn[] = "inventarnummer";
constexpr char kPlanRemarkColumn[] = "bemerkung";

struct PlanValue {
    std::string key;     // the column's name in the header, UTF-8
    size_t column;       // 2.. as the spreadsheet counts (A = 1)
    std::string utf8;    // the cell
    std::string cp1252;  // the same in Windows-1252 ('?' for what it lacks)
};

struct PlanRow {
    size_t device;     // 1 for the first device, 2 for the next: blank rows are not counted
    size_t row;        // the row as the spreadsheet numbers it (the header is row 1), for messages
    std::string label_utf8;
    std::string label_cp1252;
    std::string inventory_number;  // UTF-8, "" when the plan has none for the row
    std::string remark;            // UTF-8
    // The row's cells of the record's fields that hold something, in column
    // order. An empty cell leaves the template's value for that key as it
    // is.
    std::vector<PlanValue> values;
};

struct Plan {
    std::vector<std::string> keys;  // the header after "bezeichnung", UTF-8, as it stands
    std::vector<PlanRow> rows;      // one per device, in order
    CsvEncoding encoding = CsvEncoding::kUtf8;
    char separator = '\0';
};

struct PlanReading {
    bool ok = false;
    Plan plan;       // when ok
    CsvError error;  // when not: csv_error_text gives "Zeile 4, Spalte 3: ..."
};

// The rows of a plan file's bytes. Blank rows (a spreadsheet writes
// ";;;" for them) are skipped wherever they stand, before the header too.
// Refused, with the place: what read_csv_table refuses; a header that does
// not begin with "bezeichnung", a header cell without a name, a column
// that is neither a field the fullest fitting has nor one of the columns
// above (with the list of those known), or a column twice; a row without a
// label, or with more filled cells than the header has columns; a plan
// without a device.
PlanReading parse_plan(std::string_view bytes);

}  // namespace zav
