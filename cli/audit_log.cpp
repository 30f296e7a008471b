#include "cli/audit_log.h"

#include <cstdio>

#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/durable_append.h"
#include "cli/fitting_report.h"
#include "cli/output_path.h"
#include "cli/port_list.h"
#include "cli/reporter.h"
#include "cli/sha256.h"
#include "cli/text_encoding.h"
#include "cli/user_folders.h"
#include "cli/whole_file.h"

namespace zav::cli {

namespace {

using ordered_json = nlohmann::ordered_json;

ordered_json text_or_null(const std::string& utf8) { return utf8.empty() ? ordered_json() : ordered_json(utf8); }
ordered_json name_or_null(const std::string& name) {
    return name.empty() ? ordered_json() : ordered_json(json_name(name));
}

std::string hex_upper(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string byte_text(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

Outcome log_failure(const std::string& path, const std::string& why) {
    return failure(kExitFile, "Protokoll kann nicht geschrieben werden", shown_name(path) + ": " + why);
}

// A device's line that did not reach the log: which device, and what the
// log holds now.
Outcome not_logged(const std::string& path, const std::string& why, const AuditLine& line, AppendResult result) {
    std::string device = "Das Gerät";
    if (line.device_number) {
        device = "Gerät " + std::to_string(*line.device_number);
        if (!line.plan_label.empty()) device += " (" + cp1252_from_utf8(line.plan_label) + ")";
    }
    Outcome outcome = log_failure(path, why);
    outcome.detail += ".\n" + device + " ist nicht protokolliert; ";
    outcome.detail += result == AppendResult::kNotWritten
                          ? std::string("das Protokoll ist, wie es war.")
                          : std::string("ein Teil seiner Zeile ließ sich nicht entfernen (report und eine "
                                        "fortgesetzte Serie übergehen ihn mit einer Warnung).");
    return outcome;
}

}  // namespace

ordered_json audit_line_json(const AuditLine& line) {
    ordered_json device;
    if (line.device_number || line.setup) {
        device = {{"number", line.device_number ? ordered_json(*line.device_number) : ordered_json()},
                  {"version", line.setup ? ordered_json(version_text(line.setup->data())) : ordered_json()},
                  {"setup", line.setup ? ordered_json(setup_hex(line.setup->data())) : ordered_json()},
                  {"tone_set", line.setup ? ordered_json(utf8_from_cp1252(tone_set_text(line.setup->data())))
                                          : ordered_json()}};
    }
    ordered_json plan;
    if (line.plan_row) {
        ordered_json values = ordered_json::object();
        for (const PlanValue& value : line.plan_values) values[value.key] = value.utf8;
        plan = {{"row", *line.plan_row},
                {"label", line.plan_label},
                {"inventory_number", text_or_null(line.plan_inventory_number)},
                {"remark", text_or_null(line.plan_remark)},
                {"values", values}};
    }
    ordered_json differences = ordered_json::array();
    for (const LoggedDifference& difference : line.differences) {
        differences.push_back({{"field", difference.field},
                               {"expected", difference.expected ? ordered_json(*difference.expected) : ordered_json()},
                               {"found", difference.found ? ordered_json(*difference.found) : ordered_json()}});
    }
    return {{"schema", kAuditLogSchema},
            {"time", line.time},
            {"zavctl", ZAV_VERSION_TEXT},
            {"command", line.command},
            {"port", name_or_null(line.port)},
            {"adapter", text_or_null(line.adapter)},
            {"operator", name_or_null(line.operator_name)},
            {"device", device},
            {"plan", plan},
            {"file", name_or_null(line.file)},
            {"record", line.record ? ordered_json(hex_upper(line.record->data(), kRecordBytes)) : ordered_json()},
            {"sha256", line.record ? ordered_json(sha256_hex(line.record->data(), kRecordBytes)) : ordered_json()},
            {"backup", name_or_null(line.backup)},
            {"outcome", line.outcome},
            {"exit_code", line.exit_code},
            {"message", utf8_from_cp1252(line.message)},
            {"differences", differences},
            {"retries", line.retries},
            {"duration_s", static_cast<double>(static_cast<long long>(line.duration_s * 1000.0 + 0.5)) / 1000.0}};
}

void take_plan_row(AuditLine& line, const PlanRow& row) {
    line.plan_row = static_cast<int>(row.row);
    line.plan_label = row.label_utf8;
    line.plan_inventory_number = row.inventory_number;
    line.plan_remark = row.remark;
    line.plan_values = row.values;
}

std::vector<LoggedDifference> logged_differences(const RecordDifferences& expected_to_found) {
    std::vector<LoggedDifference> logged;
    for (const FieldDifference& difference : expected_to_found.fields) {
        LoggedDifference line{utf8_from_cp1252(difference.name), std::nullopt, std::nullopt};
        if (difference.first) line.expected = utf8_from_cp1252(difference.first->value);
        if (difference.second) line.found = utf8_from_cp1252(difference.second->value);
        logged.push_back(std::move(line));
    }
    for (const HiddenDifference& difference : expected_to_found.hidden) {
        logged.push_back({utf8_from_cp1252("Adresse " + std::to_string(difference.address) + " (" + difference.name +
                                           ")"),
                          byte_text(difference.first), byte_text(difference.second)});
    }
    return logged;
}

std::string adapter_name(const std::string& port) {
    for (const PortInfo& info : list_serial_ports()) {
        if (info.name == port || (!info.stable_name.empty() && info.stable_name == port)) return info.description;
    }
    return std::string();
}

std::string operator_of(const std::string& option) { return option.empty() ? login_name() : option; }

std::string default_series_log_name(const std::string& iso_time) {
    std::string when = iso_time.substr(0, 10) + "-";
    for (size_t i = 11; i < iso_time.size() && i < 19; ++i) {
        if (iso_time[i] != ':') when += iso_time[i];
    }
    return "zavctl-serie-" + when + ".jsonl";
}

Outcome AuditLog::open(const std::string& path) {
    OutputPathFacts facts;
    std::string error;
    if (!examine_output_path(path, facts, error)) return log_failure(path, error);
    switch (facts.kind) {
        case PathKind::kFolder: return log_failure(path, "ist ein Ordner");
        case PathKind::kOther: return log_failure(path, "ist " + facts.other_kind + ", keine gewöhnliche Datei");
        case PathKind::kRegularFile: {
            const Outcome read = read_whole_file(path, earlier_);
            if (!read.ok()) return failure(kExitFile, "Protokoll kann nicht gelesen werden", read.detail);
            break;
        }
        case PathKind::kNothing:
            if (!facts.folder_problem.empty()) return log_failure(path, facts.folder_problem);
            break;
    }
    // Made (or touched) now: a log that cannot be written stops the command
    // before any device is.
    if (append_durably(path, std::string(), error) != AppendResult::kWritten) return log_failure(path, error);
    path_ = path;
    needs_line_end_ = !earlier_.empty() && earlier_.back() != '\n';
    return success();
}

Outcome AuditLog::append(const AuditLine& line) {
    if (!active()) return success();
    std::string text = needs_line_end_ ? "\n" : "";
    text += audit_line_json(line).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::string error;
    last_append_ = append_durably(path_, text, error);
    if (last_append_ == AppendResult::kWritten) {
        needs_line_end_ = false;
        return success();
    }
    // A part left behind is a line without its end: the next line must not
    // continue it.
    if (last_append_ == AppendResult::kPartLeft) needs_line_end_ = true;
    return not_logged(path_, error, line, last_append_);
}

}  // namespace zav::cli
