// One line of the audit log: one JSON document for one device, what was
// done to it, by whom and when, and how it ended. docs/JSON.md describes
// the keys; fleet/log/audit_log_reader.h reads them back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/config/config_image.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/log/device_outcome.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/record/config_record.h"
#include "fleet/record/record_fields.h"

namespace zav {

// One device's line. The program's texts (message) are Windows-1252; the
// plan's label and the differences are UTF-8; names (port, file, backup,
// operator) are written as they stand, so a front end gives them in UTF-8
// (zavctl's log turns a command line's names into JSON's as it appends).
struct AuditLine {
    std::string time;     // ISO 8601 with offset, when the device's work began
    std::string command;  // "program", "restore", "verify", "read"
    std::string port;
    std::string adapter;  // the adapter's name where the system knows it, else ""
    std::string operator_name;
    std::optional<int> device_number;  // a series' number for the device
    std::optional<std::array<uint8_t, kSetupBlockBytes>> setup;  // as the device sent it
    std::optional<int> plan_row;       // the plan's row as the spreadsheet counts it
    std::string plan_label;            // UTF-8
    std::string plan_inventory_number; // UTF-8, "" when the plan has none
    std::string plan_remark;           // UTF-8
    std::vector<PlanValue> plan_values;  // the row's filled cells of the record's fields
    std::string file;                  // the configuration (template) given, or the file read into
    std::optional<ConfigRecord> record;  // given (program), held (verify, read)
    std::string backup;                // the backup taken before the write, or ""
    DeviceOutcome outcome = DeviceOutcome::kFailed;
    int exit_code = 0;
    std::string message;               // the program's words: how it ended
    // The first failure's words, where the device was tried again and
    // ended otherwise ("Verbindung unterbrochen !" before "Kein ZAV 160
    // gefunden !"); "" when there was one cause.
    std::string first_message;
    std::vector<LoggedDifference> differences;
    int retries = 0;                   // transactions tried again for this device
    uint32_t duration_ms = 0;            // how long the work on the device took
    // program, restore: whether every block of the record went to the
    // device, so that it may hold the record even though it failed (its
    // verify did); none for a command that writes nothing.
    std::optional<bool> written;
};

// The plan's row of a device: its row, label, inventory number, remark
// and values.
void take_plan_row(AuditLine& line, const PlanRow& row);

// The line as JSON: every key of the schema, in its order, null where not
// known.
nlohmann::ordered_json audit_line_json(const AuditLine& line);

// The differences of a verify, expected (file or plan) against found
// (device), by the fields' names; an address no field shows is named with
// its place, its bytes as 0x.. text.
std::vector<LoggedDifference> logged_differences(const RecordDifferences& expected_to_found);

}  // namespace zav
