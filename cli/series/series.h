// A series: one device after another on the same port, or on each of
// several ports at once (one plan, one log, one summary). The series finds
// each device, numbers it (by its row, when a plan gives the order), makes
// sure it is of the series' type, hands it to the work (program, verify or
// read), logs and tells what became of it in one line, and then waits
// until it is gone, so that no device is worked on twice. With a plan a
// row is done only when a device finished it: a device that failed leaves
// its row open for the next one, and a device that holds the record of a
// row done already is that row's device again, told and not counted.
// Ctrl+C between devices ends the series at once; during a device it ends
// the series after it (twice: at once). With a plan the series ends by
// itself when every row is done. A summary ends every series.
//
// Series is what the ports of a series share: the work and the series'
// type, the rows of the plan and the count of the devices, the log, the
// summary and what ended the series. The devices themselves are each
// port's (port_series.h). With several ports each runs on a thread of its
// own; what they share is guarded here, each piece in one place (the rows
// by their own lock, the log by its own, the console's lines by the
// console), so that a port's own code needs no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/output/reporter.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/lock.h"
#include "cli/series/series_rows.h"
#include "cli/series/series_summary.h"
#include "cli/series/series_work.h"
#include "core/config/config_image.h"
#include "fleet/base/json_text.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

class Series {
public:
    Series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup);

    int run();

    // How many ports the series works on, and the reporter of the one of
    // that index: with several, each of its lines names the port.
    size_t port_count() const { return ports_.size(); }
    const std::string& port(size_t index) const { return ports_[index].name; }
    Reporter port_reporter(size_t index) const;

    const Reporter& reporter() const { return reporter_; }
    SeriesWork& work() { return work_; }
    const SeriesSetup& setup() const { return setup_; }
    SeriesRows& rows() { return rows_; }
    // A device told on the port of that index.
    void count(DeviceOutcome tally, int number, size_t port) {
        const Held held(lock_);
        summary_.count(tally, number, port);
    }

    // A device that held the record of that done row's device.
    void count_done_already(int number) {
        const Held held(lock_);
        summary_.count_done_already(number);
    }
    // A device left for the user (SeriesSummary::name_left_device).
    void name_left_device(const PlanRow& row, const std::string& port, const std::string& time) {
        const Held held(lock_);
        summary_.name_left_device(row, port, time);
    }

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
        const Held held(lock_);
        if (ending_.stop_code == kExitOk) ending_.stop_code = exit_code;
    }
    bool stopped() const {
        const Held held(lock_);
        return ending_.stop_code != kExitOk;
    }
    void device_interrupted() {
        const Held held(lock_);
        ending_.interrupted_device = true;
    }
    // Nothing is left for a port to do: a failure ended the series, or every
    // row of the plan is done (with several ports, by another port).
    bool finished() const { return stopped() || (setup_.plan != nullptr && rows_.all_done()); }
    // One of several ports failed for good (told by the port): it ends
    // alone, the others go on.
    void port_failed(size_t index, const Outcome& failure);

    // The type of every device: from --setup, or from the first device.
    // type() only once has_type() or take_type_of() said so.
    bool has_type() const {
        const Held held(lock_);
        return have_type_;
    }
    const uint8_t* type() const { return type_; }
    bool fix_type(const uint8_t* setup, const char* source);
    // The first device's type becomes the series' type, unless a device on
    // another port fixed it first; false when the work refuses it (that
    // ended the series).
    bool take_type_of(const uint8_t* setup);

    // "Gerät N" of a device without a plan.
    int count_device() {
        const Held held(lock_);
        return ++counted_;
    }

private:
    bool tell_plan_start();
    void tell_identical_rows();
    void run_ports();

    const Reporter& reporter_;
    SeriesWork& work_;
    const SeriesSetup& setup_;
    SeriesRows rows_;
    SeriesSummary summary_;
    SeriesEnding ending_;
    uint8_t type_[kSetupBlockBytes] = {};
    bool have_type_ = false;
    int counted_ = 0;
    std::vector<SeriesPort> ports_;
    // Guards the summary, the ending, the type and the count of devices
    // (the rows and the log guard themselves).
    mutable Lock lock_;
    Lock type_lock_;  // one port at a time fixes the type
};

// Runs the series to its end and returns its exit code (series_exit_code
// in series_summary.h).
int run_series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup);

}  // namespace zav::cli
