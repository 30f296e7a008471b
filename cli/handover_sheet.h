// The handover sheet: one printable A4 page per device, in German, with what
// the device was given (every field as "zavctl show" lists it), by whom and
// when, what the check found, the record's SHA-256 and a line for the
// signatures; and the inventory, one row per device, for a spreadsheet.
//
// The sheet is one HTML file that needs nothing else: no script, no
// picture, no font or style sheet from elsewhere, so that it prints the
// same on any PC and years later.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/audit_log_reader.h"
#include "core/config/config_image.h"

namespace zav::cli {

// One device on a sheet or in the inventory. Texts are UTF-8; "" where not
// known, which the sheet leaves as a line to fill in by hand.
struct SheetDevice {
    std::string label;          // the plan's label; else "Gerät N" or the file's name
    std::string time;           // ISO 8601 from the log
    std::string operator_name;
    std::optional<int> device_number;
    std::optional<int> plan_row;
    std::string port;
    std::string file;           // the configuration that was given
    std::optional<std::array<uint8_t, kSetupBlockBytes>> setup;  // none: the device was not reached
    bool fitting_assumed = false;  // from a file without --setup: the full fitting
    std::optional<std::array<uint8_t, kRecordBytes>> record;
    std::string sha256;
    std::string outcome;        // the log's outcome; "" for a file, which nothing checked
    std::string message;        // the program's words on the outcome
    std::vector<LoggedDifference> differences;
    std::string zavctl;         // the version that did the work, from the log
    std::string source;         // where it comes from: "audit.jsonl, Zeile 3" or the file's name
};

// A device from a line of the audit log; source names the log.
SheetDevice sheet_device_of(const AuditEntry& entry, const std::string& log_name);

// Whether a device gets a sheet: it was reached, and the log holds its record.
bool has_sheet(const SheetDevice& device);

// "programmiert", "unverändert", "geprüft: gleich", "geprüft: Unterschiede",
// "gelesen und gesichert", "fehlgeschlagen"; an unknown outcome as it
// stands (UTF-8).
std::string outcome_text(const std::string& outcome);

// "08.12.2026, 09:15 Uhr" for "2026-12-08T09:15:02+01:00", the clock time
// where the device was worked on; a time of another form as it stands.
std::string sheet_time(const std::string& iso_time);

// The HTML page (UTF-8) with one sheet per device that has_sheet; others
// are left out.
std::string handover_sheet_html(const std::vector<SheetDevice>& devices);

// The inventory (UTF-8): a byte order mark, then ';'-separated rows with
// CR LF, as German spreadsheets open a CSV file by a double click. One row
// per device, failed ones too, its time as a spreadsheet takes it for a
// date ("08.12.2026 09:15"); the 5-tone addresses in as many columns as
// the device with the most. Codes (version, setup block, addresses,
// digest) stand as ="...", so that a spreadsheet keeps leading zeros and
// does not read "2.30" as a date; so does a text that a spreadsheet would
// take for a formula (=, +, -, @ first), which then shows as it is and is
// never computed.
std::string inventory_csv(const std::vector<SheetDevice>& devices);

}  // namespace zav::cli
