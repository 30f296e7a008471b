// Reading the audit log that --log writes: one JSON document per line, one
// line per device ("schema": 1; every key present, null where not known).
// The handover sheet and the inventory are made from it, so a line that is
// not what the log promises stops them with its line number, rather than
// print a sheet that says less, or other, than the log. A line that is no
// JSON at all is what a power loss or a full disk leaves (the line cut
// off): it is passed over, and said, so that the other devices still get
// their sheets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config/config_image.h"
#include "fleet/record/config_record.h"

namespace zav {

constexpr int kAuditLogSchema = 1;

// A field that a verify found differing; no value where one side has no
// such field.
struct LoggedDifference {
    std::string field;
    std::optional<std::string> expected;
    std::optional<std::string> found;
};

// One line of the log. Texts are UTF-8, as the log holds them; "" where the
// log says null.
struct AuditEntry {
    size_t line = 0;           // 1 for the file's first line
    std::string time;          // ISO 8601 with offset: "2026-12-08T09:15:02+01:00"
    std::string zavctl;        // the version that did the work
    std::string command;       // "program", "restore", "verify", "read"
    std::string port;
    std::string operator_name;
    std::optional<int> device_number;
    std::optional<std::array<uint8_t, kSetupBlockBytes>> setup;
    std::optional<int> plan_row;
    std::string label;         // the plan's label
    std::string inventory_number;  // the plan's, "" where the log names none
    std::string remark;
    std::vector<std::pair<std::string, std::string>> plan_values;  // key, text: the row's cells, in the plan's order
    std::string file;
    std::optional<ConfigRecord> record;
    std::string sha256;        // 64 lower-case hex digits, or ""
    std::string outcome;       // as the log names it (device_outcome.h); never ""
    int exit_code = 0;
    std::string message;
    std::vector<LoggedDifference> differences;
    int retries = 0;
    std::optional<bool> written;  // none where the log says null, and in lines written before the key
    std::string first_message;    // "" where the log says null, and in lines written before the key
};

// A line that was passed over, and why.
struct SkippedLine {
    size_t line = 0;
    std::string reason;  // German, Windows-1252
};

struct AuditLogReading {
    bool ok = false;
    std::vector<AuditEntry> entries;   // when ok, in the log's order
    std::vector<SkippedLine> skipped;  // the lines passed over, in order
    size_t error_line = 0;             // when not
    std::string error;                 // German, Windows-1252: what is wrong with that line
};

enum class FaultyLines {
    kRefuse,    // a line that is JSON but not what the log promises stops the reading
    kPassOver,  // every faulty line is passed over (a series looking for the rows done)
};

// The entries of a log's bytes. Blank lines are passed over silently; a
// line that is no JSON (cut off) is passed over and listed in skipped.
// Refused, with the line: no object, another schema, a key missing or of
// the wrong kind, a number outside its range (never cut to fit), a record
// or digest that is no hex of its length, a digest that is not the
// record's, and a record or setup block missing where the outcome says the
// device was reached.
AuditLogReading read_audit_log(std::string_view bytes, FaultyLines faulty = FaultyLines::kRefuse);

// "serie.jsonl, Zeile 3: kein gültiges JSON (...); übergangen." for a
// warning (log_name as shown, Windows-1252).
std::string skipped_line_text(const std::string& log_name, const SkippedLine& skipped);

}  // namespace zav
