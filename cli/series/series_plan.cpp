#include "cli/series/series_plan.h"

#include "cli/output/whole_file.h"
#include "cli/platform/console.h"
#include "fleet/log/logged_rows.h"

namespace zav::cli {

Outcome read_plan(const std::string& path, Plan& plan) {
    std::string bytes;
    const Outcome read = read_whole_file(path, bytes);
    if (!read.ok()) return read;
    const PlanReading reading = parse_plan(bytes);
    if (!reading.ok) {
        return failure(kExitFile, "Plan " + shown_name(path) + ": " + csv_error_text(reading.error),
                       "Die Serie beginnt nicht; kein Gerät wurde angesprochen.");
    }
    // The label names the device in the log, its backups and its sheet, and
    // a series continues a log by it: two rows of one label would be one
    // device to all of them.
    for (size_t i = 0; i < reading.plan.rows.size(); ++i) {
        const PlanRow& row = reading.plan.rows[i];
        for (size_t j = 0; j < i; ++j) {
            const PlanRow& earlier = reading.plan.rows[j];
            if (earlier.label_utf8 != row.label_utf8) continue;
            return failure(kExitFile,
                           "Plan " + shown_name(path) + ", Zeile " + std::to_string(row.row) + ": die Bezeichnung \"" +
                               row.label_cp1252 + "\" steht schon in Zeile " + std::to_string(earlier.row),
                           "Jedes Gerät braucht seine eigene Bezeichnung. Die Serie beginnt nicht; kein Gerät wurde "
                           "angesprochen.");
        }
    }
    plan = reading.plan;
    return success();
}

LoggedRows rows_in_log(const PlannedRecords& records, const Plan& plan, const AuditLog& log,
                                   const uint8_t* given_type, const Reporter& reporter) {
    LoggedRows logged = logged_rows(records, plan, log.earlier_content(), given_type);
    for (const SkippedLine& skipped : logged.skipped) {
        reporter.warning("Protokoll " + skipped_line_text(shown_name(log.path()), skipped));
    }
    return logged;
}

}  // namespace zav::cli
