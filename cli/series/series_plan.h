// The plan of a series read from its file, and the rows its log shows
// done already, told as the series starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"
#include "fleet/log/logged_rows.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/plan/planned_records.h"

namespace zav::cli {

// Reads and parses a plan file; failure (exit 2) names the row and column.
// Two rows with the same label are refused too.
Outcome read_plan(const std::string& path, Plan& plan);

// What the log shows of the plan's rows already (logged_rows); a line that
// is not what the log promises (cut off by a crash or a full disk) is
// passed over with a warning that names it.
LoggedRows rows_in_log(const PlannedRecords& records, const Plan& plan, const AuditLog& log,
                                   const uint8_t* given_type, const Reporter& reporter);

}  // namespace zav::cli
