// The audit log that --log writes: one JSON document per line, one line per
// device, appended and on the disk before the next device is begun, so that
// a crash or a pulled plug loses nothing already done. docs/JSON.md
// describes the keys; cli/audit_log_reader.h reads them back for report.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/audit_log_reader.h"
#include "cli/durable_append.h"
#include "cli/outcome.h"
#include "cli/plan_reader.h"
#include "cli/record_fields.h"
#include "core/config/config_image.h"

namespace zav::cli {

// One device's line. Names from the command line (port, file, backup,
// operator) are kept as given and written as json_name writes them; the
// program's texts (message) are Windows-1252; the plan's label and the
// differences are UTF-8.
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
    std::optional<std::array<uint8_t, kRecordBytes>> record;  // given (program), held (verify, read)
    std::string backup;                // the backup taken before the write, or ""
    std::string outcome;               // "programmed", "unchanged", "verified", "differs", "read", "failed"
    int exit_code = 0;
    std::string message;               // the program's words
    std::vector<LoggedDifference> differences;
    int retries = 0;                   // transactions tried again for this device
    double duration_s = 0.0;
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

// The adapter behind a port name, as the port list names it; "" when
// unknown.
std::string adapter_name(const std::string& port);

// Who did the work: --operator NAME, else the login name.
std::string operator_of(const std::string& option);

// The log a series writes when --log names none:
// "zavctl-serie-2026-12-08-091502.jsonl" in the current folder.
std::string default_series_log_name(const std::string& iso_time);

class AuditLog {
public:
    // Takes path for the lines to come: it is made now if it is missing (so
    // that a log that cannot be written is told before a device is
    // touched), and an existing log is appended to. Failure: exit 2.
    Outcome open(const std::string& path);
    bool active() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // What the log held when it was opened (a series continues from it).
    const std::string& earlier_content() const { return earlier_; }

    // Appends the line and returns once it is on the disk; exit 2 when it
    // could not be written, for the device is then not logged. The failure
    // names the device and says whether the log is as it was (what was
    // written of the line is cut back) or holds a part of the line that
    // could not be cut back; last_append() tells the same to the code.
    Outcome append(const AuditLine& line);
    AppendResult last_append() const { return last_append_; }

private:
    std::string path_;
    std::string earlier_;
    bool needs_line_end_ = false;  // a line cut off by a crash is not continued
    AppendResult last_append_ = AppendResult::kWritten;
};

}  // namespace zav::cli
