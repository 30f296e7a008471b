#include "cli/series/port_series.h"

#include <cstring>
#include <memory>

#include "cli/device/port_opening.h"
#include "cli/device/programming.h"
#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/pause.h"
#include "cli/platform/serial_port.h"
#include "cli/series/shared_series.h"
#include "core/config/config_commands.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

namespace {

// A look for a new device sends the identification once (1.5 s): a lost
// frame only delays finding it. A look for the device just worked on sends
// it twice (3 s), the machine's own resend included, and the device counts
// as gone only after two such looks in a row found nobody, or when the line
// is lost: one lost frame must never make the same device look new.
constexpr uint32_t kFindingSends = 1;
constexpr uint32_t kGoneSends = 2;
constexpr int kSilentLooksWhenGone = 2;
// How often a device still connected, or a port that cannot be opened, is
// looked at again.
constexpr uint32_t kLookAgainMs = 1000;

constexpr const char kSeriesNotice[] = "Serie endet nach diesem Gerät; Strg+C erneut bricht sofort ab.";

// How the device at hand ended, for the series.
enum class DeviceEnd {
    kDone,         // told (and counted, unless it was a done row's device again); wait until it is gone
    kNotTouched,   // Ctrl+C came before anything was done with it
    kInterrupted,  // the second Ctrl+C stopped it in the middle
    kSeriesEnds,   // the work cannot go on (the type refused, a log or backup that fails)
    kNoRow,        // every open row was taken by the other ports meanwhile: not touched
};

// One port of a series: it finds a device there, takes a row for it, has
// the work done and tells it, and waits until the device is gone.
class PortSeries {
public:
    PortSeries(Series& series, size_t index)
        : series_(series), reporter_(series.port_reporter(index)), work_(series.work()), setup_(series.setup()),
          index_(index), several_(series.port_count() > 1), port_(series.port(index)), adapter_(adapter_name(port_)),
          progress_(reporter_.progress_shown()) {}

    // Until Ctrl+C, a failure that ends the series or this port, or the
    // plan done.
    void run() {
        while (wait_for_device()) {
            const DeviceEnd end = work_on_device();
            if (end == DeviceEnd::kNoRow) continue;
            if (end == DeviceEnd::kInterrupted) series_.device_interrupted();
            if (end != DeviceEnd::kDone || interrupt_count() > 0) break;
            if (setup_.plan != nullptr && series_.rows().all_done()) break;
            if (left_open_ != nullptr) tell_row_open(*left_open_);
            if (!wait_until_gone()) break;
        }
    }

private:
    // Nothing more on the way once Ctrl+C was pressed (Series::say).
    void say(const std::string& text) const {
        if (interrupt_count() == 0) reporter_.note(text);
    }

    // --- the devices ---

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
        for (;;) {
            if (interrupt_count() > 0 || series_.finished() || failed_) return false;
            // Every open row is at work on another port: a device here
            // waits untouched until one of them fails or all are done.
            if (series_.rows().with_plan() && series_.rows().next() == nullptr) {
                if (!pause_unless_interrupted(kLookAgainMs)) return false;
                continue;
            }
            if (!open_line()) {
                if (!pause_unless_interrupted(kLookAgainMs)) return false;
                continue;
            }
            found_ = identify_device(*device_, identification_, kFindingSends);
            if (found_.exit_code == kExitInterrupted) return false;
            if (device_->line_lost) {
                close_line();
                if (!pause_unless_interrupted(kLookAgainMs)) return false;
                continue;
            }
            if (identification_.answered) return true;
        }
    }

    // The device that answered, worked on and told once.
    DeviceEnd work_on_device() {
        // From here the first Ctrl+C lets the device be finished.
        set_first_interrupt_notice(reporter_.quiet() ? "" : kSeriesNotice);
        set_interrupt_stops_at_once(false);
        const DeviceEnd end = interrupt_count() > 0 ? DeviceEnd::kNotTouched : finish_device();
        set_interrupt_stops_at_once(true);
        set_first_interrupt_notice("");
        return end;
    }

    DeviceEnd finish_device() {
        left_open_ = nullptr;
        DeviceTurn turn;
        turn.time = local_time_now_iso8601();
        const uint32_t started_ms = system_clock().now_ms();
        if (work_.needs_one_type() && identification_.accepted && !series_.has_type()) {
            if (!series_.take_type_of(identification_.setup)) return DeviceEnd::kSeriesEnds;
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

        DeviceDone done;
        if (!setup_received()) {
            // It answers, but with refusals or frames that are not what a
            // ZAV 160 sends: told once, then waited on until it is gone.
            done = work_.refused(turn, failure(kExitRefused, kNoDeviceFound, "Es antwortet, aber nicht wie ein ZAV 160."));
        } else if (!identification_.accepted) {
            done = work_.refused(turn, found_);
        } else if (work_.needs_one_type() && !setup_blocks_same_type(series_.type(), identification_.setup)) {
            done = work_.refused(turn, type_conflict(series_.type(), identification_.setup));
        } else {
            done = work_.work(*device_, identification_, turn);
        }
        if (done.holds_done_row != nullptr) {
            series_.rows().give_back(turn.row, false, false);
            tell_done_already(done, turn);
            return DeviceEnd::kDone;
        }
        tell_device(done, turn, system_clock().now_ms() - started_ms);
        if (turn.row != nullptr && !series_.rows().done(*turn.row)) left_open_ = turn.row;
        if (done.outcome.exit_code == kExitInterrupted) return DeviceEnd::kInterrupted;
        if (done.ends_series) series_.stop_with(done.outcome.exit_code);
        return series_.stopped() ? DeviceEnd::kSeriesEnds : DeviceEnd::kDone;
    }

    void tell_device(DeviceDone& done, const DeviceTurn& turn, uint32_t duration_ms) {
        const Outcome& outcome = done.outcome;
        series_.count(done.tally, turn.number, index_);
        last_told_ = turn.number;

        // Logged first: a device is told done only once its line is safe.
        AuditLine& audit = done.audit;
        audit.time = turn.time;
        audit.command = work_.command();
        audit.port = port_;
        audit.adapter = adapter_;
        audit.operator_name = setup_.operator_name;
        audit.device_number = turn.number;
        if (setup_received()) {
            audit.setup.emplace();
            std::memcpy(audit.setup->data(), identification_.setup, kSetupBlockBytes);
        }
        if (turn.row != nullptr) take_plan_row(audit, *turn.row);
        audit.outcome = done.tally;
        audit.exit_code = outcome.exit_code;
        audit.message = outcome.message;
        audit.duration_ms = duration_ms;
        const Outcome logged = setup_.log != nullptr ? setup_.log->append(audit) : success();
        // The row is done only by a device that finished it, and only once
        // the log says so: a restart with the same log then finds open what
        // the summary calls open. Otherwise it waits for the next device.
        // That the device is not logged is told before the device's own line.
        const bool finished = work_.row_done_by(done.tally) && logged.ok();
        series_.rows().give_back(turn.row, finished, work_.row_record_held_by(done.tally));
        // The plan's last row: the other ports, which can only be waiting
        // now, stop at once rather than after their next look.
        if (several_ && finished && series_.rows().all_done()) end_waits();
        if (!logged.ok()) series_.tell_stop(logged);

        std::string line = "Gerät " + std::to_string(turn.number);
        if (turn.row != nullptr) line += " (" + turn.row->label_cp1252 + ")";
        line += ": ";
        if (setup_received()) line += "V" + version_text(identification_.setup) + ", ";
        reporter_.line(line + outcome.message + done.line_tail);
        if (!done.details.empty()) reporter_.block(done.details, "  ");
        if (!outcome.detail.empty()) reporter_.block(outcome.detail, "  ");

        nlohmann::json document = {{"event", "device"},
                                   {"device", turn.number},
                                   {"ok", outcome.ok()},
                                   {"exit_code", outcome.exit_code},
                                   {"message", json_text(outcome.message)},
                                   {"outcome", outcome_name(done.tally)},
                                   {"port", json_name(port_)},
                                   {"started", turn.time},
                                   {"duration_s", duration_seconds(duration_ms)}};
        if (turn.row != nullptr) {
            document["row"] = turn.row->row;
            document["label"] = turn.row->label_utf8;
            document["row_done"] = series_.rows().done(*turn.row);
        }
        if (setup_received()) {
            document["version"] = version_text(identification_.setup);
            document["setup"] = setup_hex(identification_.setup);
        }
        if (!outcome.detail.empty()) document["detail"] = json_text(outcome.detail);
        document.update(done.event);
        reporter_.document_line(document);
    }

    // A device that holds the record of a row done already is that row's
    // device come again: it was left as it is, and neither counts nor goes
    // into the log. Waited on until it is gone, as every device.
    void tell_done_already(const DeviceDone& done, const DeviceTurn& turn) {
        const PlanRow& held = *done.holds_done_row;
        last_told_ = static_cast<int>(held.device);
        const std::string message = "Dieses Gerät hält schon die Konfiguration von " + row_name(held) +
                                    ": Es zählt nicht noch einmal und bleibt, wie es ist.";
        reporter_.line(message);
        nlohmann::json document = {{"event", "done_already"},
                                   {"device", held.device},
                                   {"row", held.row},
                                   {"label", held.label_utf8},
                                   {"message", json_text(message)},
                                   {"port", json_name(port_)},
                                   {"started", turn.time},
                                   {"version", version_text(identification_.setup)},
                                   {"setup", setup_hex(identification_.setup)}};
        reporter_.document_line(document);
    }

    // After a device that failed: its row waits for the next device.
    void tell_row_open(const PlanRow& row) {
        const AuditLog* log = setup_.log;
        const bool resumable = log != nullptr && log->active() && work_.continues_from_log();
        reporter_.line(row_name(row) +
                       " bleibt offen: dasselbe Gerät erneut anschließen oder ein anderes für diese Zeile; oder mit "
                       "Strg+C beenden" +
                       (resumable ? " und später mit --log " + shown_name(log->path()) + " fortsetzen." : "."));
    }

    // Until the device is gone (true), or Ctrl+C (false): two whole looks in
    // a row without an answer, or a line that is lost.
    bool wait_until_gone() {
        say("Gerät abklemmen; danach das nächste anschließen.");
        int silent_looks = 0;
        for (;;) {
            if (interrupt_count() > 0 || series_.finished()) return false;
            if (!device_) break;  // the line was lost with the device
            Identification still;
            const Outcome look = identify_device(*device_, still, kGoneSends);
            if (look.exit_code == kExitInterrupted) return false;
            if (device_->line_lost) {
                close_line();
                break;
            }
            if (!still.answered) {
                if (++silent_looks >= kSilentLooksWhenGone) break;
                continue;
            }
            silent_looks = 0;
            if (!pause_unless_interrupted(kLookAgainMs)) return false;
        }
        say("Gerät " + std::to_string(last_told_) + " abgeklemmt.");
        reporter_.document_line({{"event", "gone"}, {"device", last_told_}});
        return true;
    }

    // A port that cannot be opened is told once (it may just not be
    // plugged in yet); one that never will be ends the series.
    bool open_line() {
        if (device_) return true;
        std::unique_ptr<SerialLine> line;
        PortFailure kind;
        const Outcome opened = open_port(port_, line, kind);
        if (!opened.ok()) {
            if (port_failure_is_lasting(kind) && several_) {
                fail_for_good(opened);
            } else if (port_failure_is_lasting(kind)) {
                series_.tell_stop(opened);
            } else if (opened.message + opened.detail != last_port_failure_) {
                say(opened.message + " " + opened.detail);
            }
            last_port_failure_ = opened.message + opened.detail;
            return false;
        }
        last_port_failure_.clear();
        line_ = std::move(line);
        device_ = std::make_unique<DeviceLink>(*line_, system_clock(), progress_);
        return true;
    }

    // One of several ports that will not open again ends alone: told on
    // its own lines, the row it may have failed stays open for the others.
    void fail_for_good(const Outcome& why) {
        failed_ = true;
        reporter_.fail(why, true);
        nlohmann::json error = {{"exit_code", why.exit_code}, {"message", json_text(why.message)}};
        if (!why.detail.empty()) error["detail"] = json_text(why.detail);
        reporter_.document_line({{"event", "port_failed"}, {"error", error}});
        series_.port_failed(index_, why);
    }

    void close_line() {
        device_.reset();
        line_.reset();
    }

    // The device sent a setup block, whether or not the program accepts it.
    bool setup_received() const { return found_.ok() || found_.exit_code == kExitRefused; }

    Series& series_;
    const Reporter reporter_;
    SeriesWork& work_;
    const SeriesSetup& setup_;
    size_t index_;
    bool several_;
    bool failed_ = false;  // the port failed for good
    std::string port_;
    std::string adapter_;
    ProgressBar progress_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> device_;
    Identification identification_ = {};
    Outcome found_;
    int last_told_ = 0;
    const PlanRow* left_open_ = nullptr;  // the row the last device failed
    std::string last_port_failure_;
};

}  // namespace

void run_port_series(Series& series, size_t index) {
    PortSeries port_series(series, index);
    port_series.run();
}

}  // namespace zav::cli
