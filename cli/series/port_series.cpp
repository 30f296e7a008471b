#include "cli/series/port_series.h"

#include <cstring>

#include "cli/device/programming.h"
#include "cli/output/audit_log.h"
#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/serial_port.h"
#include "cli/series/device_report.h"
#include "cli/series/port_line.h"
#include "cli/series/series.h"
#include "core/config/config_commands.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

namespace {

constexpr const char kSeriesNotice[] = "Serie endet nach diesem Gerät; Strg+C erneut bricht sofort ab.";
constexpr const char kSeveralNotice[] = "Serie endet nach den laufenden Geräten; Strg+C erneut bricht sofort ab.";

// How the device at hand ended, for the series.
enum class DeviceEnd {
    kDone,         // told (and counted, unless it was a done row's device again); wait until it is gone
    kNotTouched,   // Ctrl+C came before anything was done with it
    kInterrupted,  // the second Ctrl+C stopped it in the middle
    kSeriesEnds,   // the work cannot go on (the type refused, a log or backup that fails)
    kNoRow,        // every open row was taken by the other ports meanwhile: not touched
};

// One port of a series: it has its line find a device, takes a row for it,
// has the work done and told, and has the line wait until the device is
// gone.
class PortSeries {
public:
    PortSeries(Series& series, size_t index)
        : series_(series), reporter_(series.port_reporter(index)), work_(series.work()), setup_(series.setup()),
          index_(index), several_(series.port_count() > 1), port_(series.port(index)), line_(port_, reporter_) {}

    // Until Ctrl+C, a failure that ends the series or this port, or the
    // plan done.
    void run() {
        while (wait_for_device()) {
            const DeviceEnd end = work_on_device();
            if (end == DeviceEnd::kNoRow) continue;
            if (end == DeviceEnd::kInterrupted) series_.device_interrupted();
            if (end != DeviceEnd::kDone || interrupt_count() > 0) break;
            if (setup_.plan != nullptr && series_.rows().all_done()) break;
            if (left_open_ != nullptr) tell_row_open(reporter_, *left_open_, resume_log());
            if (!wait_until_gone()) break;
        }
    }

private:
    // Nothing more on the way once Ctrl+C was pressed (Series::say).
    void say(const std::string& text) const {
        if (interrupt_count() == 0) reporter_.note(text);
    }

    // Until something answers (true), or Ctrl+C, or a port that will never
    // open (false). Between devices Ctrl+C stops at once.
    bool wait_for_device() {
        // With several ports the next row goes to whichever device answers
        // first: the wait names none.
        const PlanRow* row = several_ ? nullptr : series_.rows().next();
        say("Warte auf ein Gerät an " + shown_name(port_) +
            (row == nullptr ? std::string()
                            : " (Gerät " + std::to_string(row->device) + ": " + row->label_cp1252 + ")") +
            " ...");
        // Every open row is at work on another port: a device here waits
        // untouched until one of them fails or all are done.
        const PortLine::Wait wait = line_.wait_for_device([this] { return series_.finished(); },
                                                          [this] { return !series_.rows().with_plan() ||
                                                                          series_.rows().next() != nullptr; });
        if (wait == PortLine::Wait::kPortFailed) {
            if (several_) {
                fail_for_good(line_.failure());
            } else {
                series_.tell_stop(line_.failure());
            }
        }
        return wait == PortLine::Wait::kDevice;
    }

    // The device that answered, worked on and told once.
    DeviceEnd work_on_device() {
        // From here the first Ctrl+C lets the device be finished.
        set_first_interrupt_notice(reporter_.quiet() ? "" : kSeriesNotice, kSeveralNotice);
        set_interrupt_stops_at_once(false);
        const DeviceEnd end = interrupt_count() > 0 ? DeviceEnd::kNotTouched : finish_device();
        set_interrupt_stops_at_once(true);
        set_first_interrupt_notice("");
        return end;
    }

    DeviceEnd finish_device() {
        left_open_ = nullptr;
        went_silent_ = false;
        const Identification& identification = line_.identification();
        DeviceTurn turn;
        turn.time = local_time_now_iso8601();
        const uint32_t started_ms = system_clock().now_ms();
        if (work_.needs_one_type() && identification.accepted && !series_.has_type()) {
            if (!series_.take_type_of(identification.setup)) return DeviceEnd::kSeriesEnds;
        }
        turn.reporter = &reporter_;
        turn.row = series_.rows().take();
        if (turn.row != nullptr) {
            turn.number = static_cast<int>(turn.row->device);
            turn.label = turn.row->label_utf8;
            turn.rows = &series_.rows();
        } else if (series_.rows().with_plan()) {
            return DeviceEnd::kNoRow;
        } else {
            turn.number = series_.count_device();
            turn.label = "Geraet-" + std::to_string(turn.number);
        }
        DeviceAtHand device;
        device.port = port_;
        // Looked up for each device: an adapter may have been plugged in,
        // or swapped for another, since the port's last device.
        device.adapter = adapter_name(port_);
        device.setup = line_.setup_received() ? identification.setup : nullptr;

        DeviceDone done;
        if (!line_.setup_received()) {
            // It answers, but with refusals or frames that are not what a
            // ZAV 160 sends: told once, then waited on until it is gone.
            done = work_.refused(turn, failure(kExitRefused, kNoDeviceFound, "Es antwortet, aber nicht wie ein ZAV 160."));
        } else if (!identification.accepted) {
            done = work_.refused(turn, line_.found());
        } else if (work_.needs_one_type() && !setup_blocks_same_type(series_.type(), identification.setup)) {
            done = work_.refused(turn, type_conflict(series_.type(), identification.setup));
        } else {
            done = work_.work(line_.device(), identification, turn);
        }
        device.duration_ms = system_clock().now_ms() - started_ms;
        if (done.holds_done_row != nullptr) {
            // It was left as it is, and its row waits for the next device.
            series_.rows().give_back(turn.row, RowReturn());
            finish_holding_done_row(done, turn, device);
            return DeviceEnd::kDone;
        }
        const bool row_done = finish_turn(done, turn, device);
        went_silent_ = done.went_silent;
        if (turn.row != nullptr && !row_done) left_open_ = turn.row;
        if (done.outcome.exit_code == kExitInterrupted) return DeviceEnd::kInterrupted;
        if (done.ends_series) series_.stop_with(done.outcome.exit_code);
        return series_.stopped() ? DeviceEnd::kSeriesEnds : DeviceEnd::kDone;
    }

    // A device that holds a done row's record: that row's device come
    // again, told and counted as such; or one that cannot be told from it,
    // left for the user, logged and named at the end.
    void finish_holding_done_row(const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device) {
        const PlanRow& held = *done.holds_done_row;
        last_told_ = static_cast<int>(held.device);
        if (done.tally != DeviceOutcome::kNeedsAttention) {
            series_.count_done_already(static_cast<int>(held.device));
            tell_done_already(reporter_, held, turn, device);
            return;
        }
        DeviceTurn as_held = turn;
        as_held.row = &held;
        as_held.number = static_cast<int>(held.device);
        as_held.label = held.label_utf8;
        series_.name_left_device(held, port_, turn.time);
        log_and_tell(done, as_held, device, false);
    }

    // Counted, logged, its row given back, and told; whether the row is done.
    bool finish_turn(const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device) {
        return log_and_tell(done, turn, device, true);
    }

    // Counted and logged; with gives_back, its row given back, done or
    // not; then told. Whether the row is done by it.
    bool log_and_tell(const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device, bool gives_back) {
        series_.count(done.tally, turn.number, index_);
        last_told_ = turn.number;
        // Logged first: a device is told done only once its line is safe.
        const AuditLine audit = device_audit_line(done, turn, device, work_.command(), setup_.operator_name);
        bool whole = true;
        const Outcome logged = setup_.log != nullptr ? setup_.log->append(audit, &whole) : success();
        // The row is done only by a device that finished it, and only once
        // the log holds its line whole: a restart with the same log then
        // finds open what the summary calls open, also when the system did
        // not confirm the line. Otherwise it waits for the next device.
        // That the device is not logged is told before the device's own line.
        RowReturn end;
        end.done = gives_back && work_.row_done_by(done.tally) && whole;
        end.held_record = work_.row_record_held_by(done.tally);
        end.held_before = done.held_before;
        end.record_left_unverified = done.record_left_unverified;
        if (gives_back) series_.rows().give_back(turn.row, end);
        // The plan's last row: the other ports, which can only be waiting
        // now, stop at once rather than after their next look.
        if (several_ && end.done && series_.rows().all_done()) end_waits();
        if (!logged.ok()) series_.tell_stop(logged);
        // Whether its row is done as decided here: another port may finish
        // the row in the moment after it was given back.
        tell_device(reporter_, done, turn, device, turn.row != nullptr && end.done);
        return end.done;
    }

    // The log a series can be continued from, or "".
    std::string resume_log() const {
        const AuditLog* log = setup_.log;
        return log != nullptr && log->active() && work_.continues_from_log() ? log->path() : std::string();
    }

    // Until the device is gone (true), or Ctrl+C (false).
    bool wait_until_gone() {
        say("Gerät abklemmen; danach das nächste anschließen.");
        if (!line_.wait_until_gone([this] { return series_.finished(); }, went_silent_)) return false;
        say("Gerät " + std::to_string(last_told_) + " abgeklemmt.");
        reporter_.document_line({{"event", "gone"}, {"device", last_told_}});
        return true;
    }

    // One of several ports that will not open again ends alone: told on
    // its own lines, the row it may have failed stays open for the others.
    void fail_for_good(const Outcome& why) {
        reporter_.fail(why, true);
        nlohmann::json error = {{"exit_code", why.exit_code}, {"message", json_text(why.message)}};
        if (!why.detail.empty()) error["detail"] = json_text(why.detail);
        reporter_.document_line({{"event", "port_failed"}, {"error", error}});
        series_.port_failed(index_, why);
    }

    Series& series_;
    const Reporter reporter_;
    SeriesWork& work_;
    const SeriesSetup& setup_;
    size_t index_;
    bool several_;
    std::string port_;
    PortLine line_;
    int last_told_ = 0;
    const PlanRow* left_open_ = nullptr;  // the row the last device failed
    bool went_silent_ = false;            // the last device's last look found nobody
};

}  // namespace

void run_port_series(Series& series, size_t index) {
    PortSeries port_series(series, index);
    port_series.run();
}

}  // namespace zav::cli
