#include "cli/series.h"

#include <cstring>
#include <map>
#include <memory>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/local_time.h"
#include "cli/pause.h"
#include "cli/port_opening.h"
#include "cli/programming.h"
#include "cli/serial_port.h"
#include "core/config/config_commands.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"

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
    kDone,         // told and counted; wait until it is gone
    kNotTouched,   // Ctrl+C came before anything was done with it
    kInterrupted,  // the second Ctrl+C stopped it in the middle
    kSeriesEnds,   // the work cannot go on (the type refused, a log or backup that fails)
};

class Series {
public:
    Series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup)
        : reporter_(reporter), work_(work), setup_(setup), progress_(reporter.progress_shown()),
          rows_done_(setup.rows_done) {
        if (setup_.plan != nullptr) rows_done_.resize(setup_.plan->rows.size(), false);
        adapter_ = adapter_name(setup_.port);
    }

    int run() {
        say("Serie: Geräte nacheinander anschließen; Strg+C beendet die Serie.");
        if (setup_.log != nullptr && setup_.log->active()) say("Protokoll: " + shown_name(setup_.log->path()));
        if (!tell_plan_start()) return summary();
        if (setup_.given_type == nullptr || fix_type(setup_.given_type, "aus --setup")) {
            while (wait_for_device()) {
                const DeviceEnd end = work_on_device();
                interrupted_device_ = end == DeviceEnd::kInterrupted;
                if (end != DeviceEnd::kDone || interrupt_count() > 0) break;
                if (plan_finished()) break;
                if (!wait_until_gone()) break;
            }
        }
        return summary();
    }

private:
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
        if (stop_code_ == kExitOk) stop_code_ = outcome.exit_code;
    }

    // --- the plan ---

    const PlanRow* next_row() const {
        if (setup_.plan == nullptr) return nullptr;
        for (size_t i = next_row_index_; i < setup_.plan->rows.size(); ++i) {
            if (!rows_done_[i]) return &setup_.plan->rows[i];
        }
        return nullptr;
    }

    bool plan_finished() const { return setup_.plan != nullptr && next_row() == nullptr; }

    // A series that continues a log says where; false when nothing is left.
    bool tell_plan_start() {
        if (setup_.plan == nullptr) return true;
        std::vector<int> done;
        for (size_t i = 0; i < rows_done_.size(); ++i) {
            if (rows_done_[i]) done.push_back(static_cast<int>(setup_.plan->rows[i].device));
        }
        const size_t total = setup_.plan->rows.size();
        say("Plan " + shown_name(setup_.plan_path) + ": " + std::to_string(total) +
            (total == 1 ? " Gerät." : " Geräte."));
        if (done.empty()) return true;
        const std::string log = shown_name(setup_.log->path());
        const PlanRow* row = next_row();
        if (row == nullptr) {
            reporter_.line("Laut Protokoll " + log + " ist jedes Gerät des Plans schon programmiert.");
            return false;
        }
        reporter_.line("Laut Protokoll " + log + " schon programmiert: " + devices_list(done) +
                       "; weiter mit Gerät " + std::to_string(row->device) + " (" + row->label_cp1252 + ").");
        return true;
    }

    // --- the type ---

    bool fix_type(const uint8_t* setup, const char* source) {
        std::memcpy(type_, setup, kSetupBlockBytes);
        have_type_ = true;
        say("Typ der Serie: Setup " + setup_hex(type_) + " (V" + version_text(type_) + "), " + source + ".");
        const Outcome taken = work_.take_type(type_);
        if (!taken.ok()) tell_stop(taken);
        return taken.ok();
    }

    // --- the devices ---

    // Until something answers (true), or Ctrl+C, or a port that will never
    // open (false). Between devices Ctrl+C stops at once.
    bool wait_for_device() {
        const PlanRow* row = next_row();
        say("Warte auf ein Gerät an " + shown_name(setup_.port) +
            (row == nullptr ? std::string()
                            : " (Gerät " + std::to_string(row->device) + ": " + row->label_cp1252 + ")") +
            " ...");
        for (;;) {
            if (interrupt_count() > 0 || stop_code_ != kExitOk) return false;
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
        DeviceTurn turn;
        turn.time = local_time_now_iso8601();
        const uint32_t started_ms = system_clock().now_ms();
        if (work_.needs_one_type() && identification_.accepted && !have_type_) {
            if (!fix_type(identification_.setup, "vom ersten Gerät")) return DeviceEnd::kSeriesEnds;
        }
        turn.row = next_row();
        if (turn.row != nullptr) {
            turn.number = static_cast<int>(turn.row->device);
            turn.label = turn.row->label_utf8;
            next_row_index_ = turn.row->device;  // each row once in a run
        } else {
            turn.number = ++counted_;
            turn.label = "Geraet-" + std::to_string(turn.number);
        }

        DeviceDone done;
        if (!setup_received()) {
            // It answers, but with refusals or frames that are not what a
            // ZAV 160 sends: told once, then waited on until it is gone.
            done = work_.refused(turn, failure(kExitRefused, kNoDeviceFound, "Es antwortet, aber nicht wie ein ZAV 160."));
        } else if (!identification_.accepted) {
            done = work_.refused(turn, found_);
        } else if (work_.needs_one_type() && !setup_blocks_same_type(type_, identification_.setup)) {
            done = work_.refused(turn, type_conflict(type_, identification_.setup));
        } else {
            done = work_.work(*device_, identification_, turn);
        }
        const double seconds = static_cast<double>(system_clock().now_ms() - started_ms) / 1000.0;
        tell_device(done, turn, seconds);
        if (done.outcome.exit_code == kExitInterrupted) return DeviceEnd::kInterrupted;
        return done.ends_series || stop_code_ != kExitOk ? DeviceEnd::kSeriesEnds : DeviceEnd::kDone;
    }

    void tell_device(DeviceDone& done, const DeviceTurn& turn, double seconds) {
        const Outcome& outcome = done.outcome;
        ++tallies_[done.tally];
        numbers_[done.tally].push_back(turn.number);
        last_told_ = turn.number;

        // Logged first: a device is told done only once its line is safe.
        AuditLine& audit = done.audit;
        audit.time = turn.time;
        audit.command = work_.command();
        audit.port = setup_.port;
        audit.adapter = adapter_;
        audit.operator_name = setup_.operator_name;
        audit.device_number = turn.number;
        if (setup_received()) {
            audit.setup.emplace();
            std::memcpy(audit.setup->data(), identification_.setup, kSetupBlockBytes);
        }
        if (turn.row != nullptr) take_plan_row(audit, *turn.row);
        audit.exit_code = outcome.exit_code;
        audit.message = outcome.message;
        audit.duration_s = seconds;
        const Outcome logged = setup_.log != nullptr ? setup_.log->append(audit) : success();
        // A row is done only once the log says so: a restart with the same
        // log then finds open what the summary calls open. That the device
        // is not logged is told before the device's own line.
        if (turn.row != nullptr && work_.row_done_by(done.tally) && logged.ok()) rows_done_[turn.row->device - 1] = true;
        if (!logged.ok()) tell_stop(logged);

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
                                   {"outcome", audit.outcome},
                                   {"port", json_name(setup_.port)},
                                   {"started", turn.time},
                                   {"duration_s", static_cast<double>(static_cast<long long>(seconds * 1000)) / 1000.0}};
        if (turn.row != nullptr) {
            document["row"] = turn.row->row;
            document["label"] = turn.row->label_utf8;
        }
        if (setup_received()) {
            document["version"] = version_text(identification_.setup);
            document["setup"] = setup_hex(identification_.setup);
        }
        if (!outcome.detail.empty()) document["detail"] = json_text(outcome.detail);
        document.update(done.event);
        reporter_.document_line(document);
    }

    // Until the device is gone (true), or Ctrl+C (false): two whole looks in
    // a row without an answer, or a line that is lost.
    bool wait_until_gone() {
        say("Gerät abklemmen; danach das nächste anschließen.");
        int silent_looks = 0;
        for (;;) {
            if (interrupt_count() > 0) return false;
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
        say("Gerät " + std::to_string(last_number()) + " abgeklemmt.");
        reporter_.document_line({{"event", "gone"}, {"device", last_number()}});
        return true;
    }

    int last_number() const { return last_told_; }

    // A port that cannot be opened is told once (it may just not be
    // plugged in yet); one that never will be ends the series.
    bool open_line() {
        if (device_) return true;
        std::unique_ptr<SerialLine> line;
        PortFailure kind;
        const Outcome opened = open_port(setup_.port, line, kind);
        if (!opened.ok()) {
            if (port_failure_is_lasting(kind)) {
                tell_stop(opened);
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

    void close_line() {
        device_.reset();
        line_.reset();
    }

    int count(DeviceTally tally) const {
        const auto found = tallies_.find(tally);
        return found == tallies_.end() ? 0 : found->second;
    }

    std::vector<int> numbers(DeviceTally tally) const {
        const auto found = numbers_.find(tally);
        return found == numbers_.end() ? std::vector<int>() : found->second;
    }

    int summary() {
        int exit_code = kExitOk;
        if (count(DeviceTally::kDiffers) > 0) exit_code = kExitDiffers;
        if (count(DeviceTally::kFailed) > 0) exit_code = kExitRefused;
        if (stop_code_ != kExitOk) exit_code = stop_code_;
        if (interrupted_device_) exit_code = kExitInterrupted;

        std::string text;
        nlohmann::json document = {{"event", "end"}};
        for (const SummaryPart& part : work_.summary_parts()) {
            const int n = count(part.tally);
            document[part.json_key] = n;
            if (part.json_devices_key != nullptr) document[part.json_devices_key] = numbers(part.tally);
            if (n == 0 && !part.always) continue;
            text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + part.words;
            if (part.json_devices_key != nullptr) text += devices_text(numbers(part.tally));
        }
        reporter_.line("Serie beendet: " + text + ".");
        if (setup_.plan != nullptr) {
            std::vector<int> left;
            for (size_t i = 0; i < rows_done_.size(); ++i) {
                if (!rows_done_[i]) left.push_back(static_cast<int>(setup_.plan->rows[i].device));
            }
            document["left_devices"] = left;
            if (!left.empty()) {
                reporter_.line("Noch offen laut Plan: " + devices_list(left) +
                               (setup_.log != nullptr && setup_.log->active() && std::string(work_.command()) == "program"
                                    ? " (mit demselben --log erneut starten)."
                                    : "."));
            }
        }
        if (setup_.log != nullptr && setup_.log->active()) {
            reporter_.line("Protokoll: " + shown_name(setup_.log->path()));
            document["log"] = json_name(setup_.log->path());
        }
        document["exit_code"] = exit_code;
        reporter_.document_line(document);
        return exit_code;
    }

    // The device sent a setup block, whether or not the program accepts it.
    bool setup_received() const { return found_.ok() || found_.exit_code == kExitRefused; }

    const Reporter& reporter_;
    SeriesWork& work_;
    const SeriesSetup& setup_;
    ProgressBar progress_;
    std::string adapter_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> device_;
    Identification identification_ = {};
    Outcome found_;
    uint8_t type_[kSetupBlockBytes] = {};
    bool have_type_ = false;
    std::vector<bool> rows_done_;
    size_t next_row_index_ = 0;
    int counted_ = 0;
    int last_told_ = 0;
    std::map<DeviceTally, int> tallies_;
    std::map<DeviceTally, std::vector<int>> numbers_;
    bool interrupted_device_ = false;
    std::string last_port_failure_;
    int stop_code_ = kExitOk;
};

}  // namespace

std::string devices_list(const std::vector<int>& numbers) {
    std::string text = numbers.size() == 1 ? "Gerät " : "Geräte ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += i + 1 == numbers.size() ? " und " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text;
}

std::string devices_text(const std::vector<int>& numbers) {
    return numbers.empty() ? std::string() : " (" + devices_list(numbers) + ")";
}

int run_series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup) {
    Series series(reporter, work, setup);
    return series.run();
}

}  // namespace zav::cli
