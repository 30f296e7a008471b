#include "fleet/log/logged_rows.h"

#include <algorithm>
#include <cstring>

#include "fleet/log/device_outcome.h"

namespace zav {

namespace {

// The plan's row a line is about, when its record is the one that row gives
// for the device's fitting; plan.rows.size() otherwise.
size_t row_of(const AuditEntry& entry, const PlannedRecords& records, const Plan& plan) {
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        const PlanRow& row = plan.rows[i];
        if (static_cast<size_t>(*entry.plan_row) != row.row || entry.label != row.label_utf8) continue;
        ConfigRecord expected;
        if (records.record_for_fitting(&row, {(*entry.setup)[0], (*entry.setup)[1]}, expected) &&
            std::memcmp(expected.data(), entry.record->data(), kRecordBytes) == 0) {
            return i;
        }
    }
    return plan.rows.size();
}

}  // namespace

LoggedRows logged_rows(const PlannedRecords& records, const Plan& plan, std::string_view log,
                       const uint8_t* given_type) {
    LoggedRows logged;
    logged.done.assign(plan.rows.size(), false);
    logged.unverified.assign(plan.rows.size(), 0);
    AuditLogReading reading = read_audit_log(log, FaultyLines::kPassOver);
    logged.skipped = std::move(reading.skipped);
    for (const AuditEntry& entry : reading.entries) {
        if (entry.command != "program" || !entry.plan_row || !entry.setup || !entry.record) continue;
        if (given_type != nullptr && std::memcmp(given_type, entry.setup->data(), kSetupBlockBytes) != 0) continue;
        // An outcome this version does not know says nothing it could use.
        const std::optional<DeviceOutcome> outcome = outcome_named(entry.outcome);
        if (!outcome) continue;
        const size_t i = row_of(entry, records, plan);
        if (i == plan.rows.size()) continue;
        switch (*outcome) {
            case DeviceOutcome::kProgrammed: logged.done[i] = true; break;
            case DeviceOutcome::kUnchanged:
                logged.done[i] = true;
                logged.unverified[i] = std::max(0, logged.unverified[i] - 1);
                break;
            case DeviceOutcome::kFailed:
                if (entry.written.value_or(false)) ++logged.unverified[i];
                break;
            case DeviceOutcome::kNeedsAttention:
                if (std::find(logged.attention.begin(), logged.attention.end(), i) == logged.attention.end()) {
                    logged.attention.push_back(i);
                }
                break;
            default: break;
        }
    }
    return logged;
}

}  // namespace zav
