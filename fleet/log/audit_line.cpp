#include "fleet/log/audit_line.h"

#include <cstdio>

#include "fleet/base/hex.h"
#include "fleet/base/sha256.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/fitting_report.h"

namespace zav {

namespace {

using ordered_json = nlohmann::ordered_json;

ordered_json text_or_null(const std::string& utf8) { return utf8.empty() ? ordered_json() : ordered_json(utf8); }

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
            {"port", text_or_null(line.port)},
            {"adapter", text_or_null(line.adapter)},
            {"operator", text_or_null(line.operator_name)},
            {"device", device},
            {"plan", plan},
            {"file", text_or_null(line.file)},
            {"record", line.record ? ordered_json(hex_text(line.record->data(), kRecordBytes)) : ordered_json()},
            {"sha256", line.record ? ordered_json(sha256_hex(line.record->data(), kRecordBytes)) : ordered_json()},
            {"backup", text_or_null(line.backup)},
            {"outcome", outcome_name(line.outcome)},
            {"exit_code", line.exit_code},
            {"message", utf8_from_cp1252(line.message)},
            {"differences", differences},
            {"retries", line.retries},
            {"duration_s", duration_seconds(line.duration_ms)},
            {"written", line.written ? ordered_json(*line.written) : ordered_json()},
            {"first_message", line.first_message.empty() ? ordered_json() : ordered_json(utf8_from_cp1252(line.first_message))}};
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
                          hex_byte(difference.first), hex_byte(difference.second)});
    }
    return logged;
}

}  // namespace zav
