// What each device of a series is given (program) or compared with
// (verify): the template, with the values of the device's row when there
// is a plan. The rows are checked before the first device, as far as they
// can be without the devices' type, and for the type as soon as it is
// known, so that no series stops half-way at a typo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/audit_log.h"
#include "cli/config_file_io.h"
#include "cli/config_text.h"
#include "cli/outcome.h"
#include "cli/plan_reader.h"
#include "cli/reporter.h"
#include "core/config/config_image.h"

namespace zav::cli {

// Reads and parses a plan file; failure (exit 2) names the row and column.
// Two rows with the same label are refused too.
Outcome read_plan(const std::string& path, Plan& plan);

class PlannedRecords {
public:
    // plan: nullptr for a series without one (every device gets the
    // template); it must outlive this object, as must source.
    PlannedRecords(const ConfigurationSource& source, const Plan* plan, const std::string& plan_path)
        : source_(source), plan_(plan), plan_path_(plan_path) {}

    // Every row's keys and the forms of its values, for any type: a bad row
    // is refused with its row, column and reason.
    Outcome check_rows() const;

    // What the template and the rows hold that the window takes but that
    // looks wrong (a 5-tone number with a letter), one line each, naming
    // the file or the row and column, and the field.
    std::vector<std::string> warnings() const;

    // The records for a type: the template for its fitting, each row's
    // values set on it, taken as the configuration window takes it. A row,
    // or the template, that the field checks refuse for this type is
    // refused with its place.
    Outcome take_type(const uint8_t* setup);

    // The record for a row (nullptr: the template's), once take_type passed.
    const uint8_t* record_for(const PlanRow* row) const;

    // The record a row (nullptr: the template) gives for a fitting, as
    // take_type makes it; false when the checks refuse it.
    bool record_for_fitting(const PlanRow* row, SetupFitting fitting, ConfigRecord& record) const;

private:
    Outcome row_record(const PlanRow* row, SetupFitting fitting, const ConfigRecord& base, ConfigRecord& record) const;
    Outcome row_refused(const PlanRow& row, const TextError& error, const std::string& why) const;

    const ConfigurationSource& source_;
    const Plan* plan_;
    std::string plan_path_;
    std::vector<ConfigRecord> records_;  // one per row, or the template's alone
};

// The rows (by index into plan.rows) an audit log shows done already: a
// line of "program" with the outcome "programmed" or "unchanged" for that
// row and label, whose record is the one the row gives for the device's
// fitting (of the type given, when one is). A line that is not what the
// log promises (cut off by a crash or a full disk) is passed over with a
// warning that names it.
std::vector<bool> rows_done_in_log(const PlannedRecords& records, const Plan& plan, const AuditLog& log,
                                   const uint8_t* given_type, const Reporter& reporter);

}  // namespace zav::cli
