// What every series needs before its first device, checked in this order
// so that a series refused at its start has touched no device and left no
// log behind: the type (--setup), the plan (--plan) and the port, then the
// log (--log, or one of the series' own).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/app/command_options.h"
#include "cli/app/common_options.h"
#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "cli/series/series_work.h"
#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/plan/planned_records.h"
#include "fleet/text/configuration_source.h"

namespace zav::cli {

// Holds what setup points to: made in place, never copied.
struct SeriesStart {
    Plan plan;
    bool with_plan = false;
    uint8_t given_type[kSetupBlockBytes] = {};
    bool with_type = false;
    AuditLog log;
    SeriesSetup setup;
};

// The type, the plan and the port, each checked before any device is
// looked for.
Outcome start_series(const CommonOptions& common, const std::string& setup_text, const std::string& plan_path,
                     SeriesStart& start);

// A series of program or verify, where each device gets (or is compared
// with) the file, or its row of the plan set on it: start_series, then
// the records made (records refers to file and start), every row checked
// for any type, and the warnings of the file and the rows told.
Outcome start_planned_series(const CommonOptions& common, const ConfigurationSource& file,
                             const std::string& setup_text, const std::string& plan_path, const Reporter& reporter,
                             SeriesStart& start, std::optional<PlannedRecords>& records);

// The log, last of all that is checked before the first device: the one
// given, or "zavctl-serie-DATUM-ZEIT.jsonl" in the current folder.
Outcome open_series_log(const LogOptions& log, SeriesStart& start);

}  // namespace zav::cli
