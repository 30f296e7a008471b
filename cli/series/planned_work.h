// What the works of the series share: a series whose devices each get a
// record of the plan, or the one file (program, verify), and the line of a
// device the series refused before any work.
#pragma once

#include <cstdint>
#include <string>

#include "cli/series/series_work.h"
#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/plan/planned_records.h"

namespace zav::cli {

// All of one type, which the records are fitted to before the first
// device.
class PlannedWork : public SeriesWork {
public:
    explicit PlannedWork(PlannedRecords& records) : records_(records) {}

    bool needs_one_type() const final { return true; }
    Outcome take_type(const uint8_t* setup) final;
    const uint8_t* row_record(const PlanRow* row) const final { return records_.record_for(row); }

protected:
    PlannedRecords& records_;
    uint8_t type_[kSetupBlockBytes] = {};
};

// A device the series refused before the work (no ZAV 160, a version the
// program refuses, another type), for any work: failed, with the file.
DeviceDone refused_device(const Outcome& outcome, const std::string& file);

}  // namespace zav::cli
