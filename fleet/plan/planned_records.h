// What each device of a series is given (program) or compared with
// (verify): the template, with the values of the device's row when there
// is a plan. The rows are checked before the first device, as far as they
// can be without the devices' type, and for the type as soon as it is
// known, so that no series stops half-way at a typo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/text/config_text.h"
#include "fleet/text/configuration_source.h"

namespace zav {

class PlannedRecords {
public:
    // plan: nullptr for a series without one (every device gets the
    // template); it must outlive this object, as must source. plan_name:
    // the plan's file as messages show it.
    PlannedRecords(const ConfigurationSource& source, const Plan* plan, const std::string& plan_name)
        : source_(source), plan_(plan), plan_name_(plan_name) {}

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
    std::string plan_name_;
    std::vector<ConfigRecord> records_;  // one per row, or the template's alone
};

}  // namespace zav
