// The rows of a plan that an audit log shows done already, so that a series
// started again with the same log goes on where the last one stopped, and
// knows what the last one could not be sure of.
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
    // By index into plan.rows: how many devices may still hold the row's
    // record without having been verified (every block written, then the
    // verify failed or was cut off), as the series counts them: one more
    // for each such line, one fewer for each device found holding it
    // ("unchanged") after it.
    std::vector<int> unverified;
    // The rows whose record a device held that the series left for the
    // user to place ("needs_attention"), in the log's order, each once.
    std::vector<size_t> attention;
    std::vector<SkippedLine> skipped;  // the log's lines passed over
};

// A row is done when the log holds a line of "program" with the outcome
// "programmed" or "unchanged" for that row and label, whose record is the
// one the row gives for the device's fitting (of the type given, when one
// is); a "failed" line of that row and record that says the record was
// written counts as a device that may hold it. A line that is not what the
// log promises (cut off by a crash or a full disk) is passed over and
// listed.
LoggedRows logged_rows(const PlannedRecords& records, const Plan& plan, std::string_view log,
                       const uint8_t* given_type);

}  // namespace zav
