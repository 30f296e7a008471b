// What every port of a series shares (series.h tells what a series is):
// the work and the series' type, the rows of the plan and the count of the
// devices, the log, the summary and what ended the series. The devices
// themselves are each port's (port_series.h).
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/output/reporter.h"
#include "cli/platform/interrupt.h"
#include "cli/series/series.h"
#include "cli/series/series_rows.h"
#include "cli/series/series_summary.h"
#include "core/config/config_image.h"
#include "fleet/base/json_text.h"
#include "fleet/base/outcome.h"
#include "fleet/plan/plan_reader.h"

namespace zav::cli {

// "Gerät 3 (LF 20 Fahrer)": a row as the series names it.
std::string row_name(const PlanRow& row);

class Series {
public:
    Series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup)
        : reporter_(reporter), work_(work), setup_(setup), rows_(setup.plan, setup.rows_done) {}

    int run();

    const Reporter& reporter() const { return reporter_; }
    SeriesWork& work() { return work_; }
    const SeriesSetup& setup() const { return setup_; }
    SeriesRows& rows() { return rows_; }
    SeriesSummary& summary() { return summary_; }

    // Nothing more on the way once Ctrl+C was pressed: the acknowledgement
    // was the last word before the device's own line and the summary.
    void say(const std::string& text) const {
        if (interrupt_count() == 0) reporter_.note(text);
    }

    // A failure that ends the series, told as every failure is, and as one
    // JSON line.
    void tell_stop(const Outcome& outcome) {
        reporter_.fail(outcome, true);
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        reporter_.document_line({{"event", "error"}, {"error", error}});
        stop_with(outcome.exit_code);
    }
    // A failure told already (on a device's line) that ends the series.
    void stop_with(int exit_code) {
        if (ending_.stop_code == kExitOk) ending_.stop_code = exit_code;
    }
    bool stopped() const { return ending_.stop_code != kExitOk; }
    void device_interrupted() { ending_.interrupted_device = true; }

    // The type of every device: from --setup, or from the first device.
    bool has_type() const { return have_type_; }
    const uint8_t* type() const { return type_; }
    bool fix_type(const uint8_t* setup, const char* source);

    // "Gerät N" of a device without a plan.
    int count_device() { return ++counted_; }

private:
    bool tell_plan_start();
    void tell_identical_rows();

    const Reporter& reporter_;
    SeriesWork& work_;
    const SeriesSetup& setup_;
    SeriesRows rows_;
    SeriesSummary summary_;
    SeriesEnding ending_;
    uint8_t type_[kSetupBlockBytes] = {};
    bool have_type_ = false;
    int counted_ = 0;
};

}  // namespace zav::cli
