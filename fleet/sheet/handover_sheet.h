// The handover sheet: one printable A4 page per device, in German, with what
// the device was given (every field as "zavctl show" lists it), by whom and
// when, what the check found, the record's SHA-256 and a line for the
// signatures; for the yearly check (a verify) a check record instead, with
// each field expected and found and one line for the checker's signature;
// and the inventory, one row per device, for a spreadsheet.
//
// The sheet is one HTML file that needs nothing else: no script, no
// picture, no font or style sheet from elsewhere, so that it prints the
// same on any PC and years later, and without the browser's header and
// footer (date, file path).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/config/config_image.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/record/config_record.h"

namespace zav {

// One device on a sheet or in the inventory. Texts are UTF-8; "" where not
// known, which the sheet leaves as a line to fill in by hand.
struct SheetDevice {
    std::string label;          // the plan's label; else "Gerät N" or the file's name
    std::string time;           // ISO 8601 from the log
    std::string operator_name;
    std::optional<int> device_number;
    std::optional<int> plan_row;
    std::string inventory_number;  // from the plan
    std::string remark;            // from the plan
    std::vector<std::pair<std::string, std::string>> plan_values;  // the plan's cells: key, text
    std::string command;        // the log's: "verify" makes a check record
    std::string port;
    std::string file;           // the configuration that was given
    std::optional<std::array<uint8_t, kSetupBlockBytes>> setup;  // none: the device was not reached
    bool fitting_assumed = false;  // from a file without --setup: the full fitting
    std::optional<ConfigRecord> record;
    std::string sha256;
    std::string outcome;        // the log's outcome; "" for a file, which nothing checked
    std::string message;        // the program's words on the outcome
    std::string first_message;  // the first failure's words, where the last was another
    std::vector<LoggedDifference> differences;
    std::string zavctl;         // the version that did the work, from the log
    std::string source;         // where it comes from: "audit.jsonl, Zeile 3" or the file's name
};

// A device from a line of the audit log; source names the log.
SheetDevice sheet_device_of(const AuditEntry& entry, const std::string& log_name);

// Whether a device gets a sheet: it was reached, the log holds its record,
// and it neither failed nor was left for the user to place.
bool has_sheet(const SheetDevice& device);

// "programmiert", "unverändert", "geprüft: gleich", "geprüft: Unterschiede",
// "gelesen und gesichert", "fehlgeschlagen"; an unknown outcome as it
// stands (UTF-8).
std::string outcome_text(const std::string& outcome);

// "08.12.2026, 09:15 Uhr" for "2026-12-08T09:15:02+01:00", the clock time
// where the device was worked on; a time of another form as it stands.
std::string sheet_time(const std::string& iso_time);

// Whether a device's sheet is a check record (the log's "verify").
bool is_check_record(const SheetDevice& device);

// The HTML page (UTF-8) with one sheet per device that has_sheet; others
// are left out.
std::string handover_sheet_html(const std::vector<SheetDevice>& devices);

// The invisible character (U+2060, WORD JOINER, UTF-8) that a cell of the
// inventory begins with when a spreadsheet would otherwise change or
// compute it.
constexpr char kKeepAsText[] = "\xE2\x81\xA0";

// The inventory (UTF-8): a byte order mark, then ';'-separated rows with
// CR LF, as German spreadsheets open a CSV file by a double click. One row
// per device given (inventory_rows.h makes one per vehicle), its time as a
// spreadsheet takes it for a date ("08.12.2026 09:15"; a time the log gives
// in another form is a text like any other); the 5-tone addresses in as many
// columns as the device with the most; every column of the plans but the
// 5-tone numbers, which the device's own columns show (inventory number,
// remark, each other field's value as the plan gave it). Every cell holds its
// text and nothing else, so that any spreadsheet, and any program, reads
// it. Only where a spreadsheet would take the text for a number or a date
// (and drop a leading zero, or make "2.30" a date) or for a formula (=, +,
// -, @, tab or CR first), the cell begins with kKeepAsText: it shows as
// it is, is kept as text and is never computed.
std::string inventory_csv(const std::vector<SheetDevice>& devices);

}  // namespace zav
