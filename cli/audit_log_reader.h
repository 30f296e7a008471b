// Reading the audit log that --log writes: one JSON document per line, one
// line per device ("schema": 1; every key present, null where not known).
// The handover sheet and the inventory are made from it, so a line that is
// not what the log promises stops them with its line number, rather than
// print a sheet that says less, or other, than the log.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/config_image.h"

namespace zav::cli {

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
    std::string file;
    std::optional<std::array<uint8_t, kRecordBytes>> record;
    std::string sha256;        // 64 lower-case hex digits, or ""
    std::string outcome;       // "programmed", "unchanged", "verified", "differs", "read", "failed"
    int exit_code = 0;
    std::string message;
    std::vector<LoggedDifference> differences;
};

struct AuditLogReading {
    bool ok = false;
    std::vector<AuditEntry> entries;  // when ok, in the log's order
    size_t error_line = 0;            // when not
    std::string error;                // German, Windows-1252: what is wrong with that line
};

// The entries of a log's bytes. Blank lines are passed over. Refused, with
// the line: no JSON, no object, another schema, a key missing or of the
// wrong kind, a record or digest that is no hex of its length, a digest
// that is not the record's, and a record or setup block missing where the
// outcome says the device was reached.
AuditLogReading read_audit_log(std::string_view bytes);

}  // namespace zav::cli
