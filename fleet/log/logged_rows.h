// The rows of a plan that an audit log shows done already, so that a series
// started again with the same log goes on where the last one stopped.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "fleet/log/audit_log_reader.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/plan/planned_records.h"

namespace zav {

struct LoggedRows {
    std::vector<bool> done;            // by index into plan.rows
    std::vector<SkippedLine> skipped;  // the log's lines passed over
};

// A row is done when the log holds a line of "program" with the outcome
// "programmed" or "unchanged" for that row and label, whose record is the
// one the row gives for the device's fitting (of the type given, when one
// is). A line that is not what the log promises (cut off by a crash or a
// full disk) is passed over and listed.
LoggedRows logged_rows(const PlannedRecords& records, const Plan& plan, std::string_view log,
                       const uint8_t* given_type);

}  // namespace zav
