#include "fleet/log/device_outcome.h"
#include "fleet/log/logged_rows.h"

#include <cstring>

namespace zav {

LoggedRows logged_rows(const PlannedRecords& records, const Plan& plan, std::string_view log,
                       const uint8_t* given_type) {
    LoggedRows logged;
    logged.done.assign(plan.rows.size(), false);
    AuditLogReading reading = read_audit_log(log, FaultyLines::kPassOver);
    logged.skipped = std::move(reading.skipped);
    for (const AuditEntry& entry : reading.entries) {
        const std::optional<DeviceOutcome> outcome = outcome_named(entry.outcome);
        if (entry.command != "program" || (outcome != DeviceOutcome::kProgrammed && outcome != DeviceOutcome::kUnchanged)) {
            continue;
        }
        if (!entry.plan_row || !entry.setup || !entry.record) continue;
        if (given_type != nullptr && std::memcmp(given_type, entry.setup->data(), kSetupBlockBytes) != 0) continue;
        for (size_t i = 0; i < plan.rows.size(); ++i) {
            const PlanRow& row = plan.rows[i];
            if (logged.done[i] || static_cast<size_t>(*entry.plan_row) != row.row || entry.label != row.label_utf8) {
                continue;
            }
            ConfigRecord expected;
            if (records.record_for_fitting(&row, {(*entry.setup)[0], (*entry.setup)[1]}, expected) &&
                std::memcmp(expected.data(), entry.record->data(), kRecordBytes) == 0) {
                logged.done[i] = true;
            }
        }
    }
    return logged;
}

}  // namespace zav
