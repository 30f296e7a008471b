// program --series: one device after another on the same port. Each device
// is looked for, programmed and verified as by "program", told in one line,
// and then waited for until it is gone, so that it is never programmed
// twice. Ctrl+C between devices ends the series at once; during a device it
// ends the series after it (twice: at once), with a summary.
#include <cstring>
#include <memory>
#include <vector>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/interrupt.h"
#include "cli/pause.h"
#include "cli/port_opening.h"
#include "cli/programming.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/serial_port.h"
#include "core/config/config_commands.h"
#include "core/config/config_form.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"

namespace zav::cli {

namespace {

// A look for a new device sends the identification once (1.5 s): a lost
// frame only delays finding it. A look for the device just programmed sends
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
    kDone,             // told and counted; wait until it is gone
    kNotTouched,       // Ctrl+C came before anything was done with it
    kInterrupted,      // the second Ctrl+C stopped it in the middle
    kFileRefused,      // the field check refuses the file for the series' type
};

// "(Gerät 3)", "(Geräte 2 und 5)", "(Geräte 1, 2 und 5)"; "" for none.
std::string failed_devices_text(const std::vector<int>& numbers) {
    if (numbers.empty()) return "";
    std::string text = numbers.size() == 1 ? " (Gerät " : " (Geräte ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += i + 1 == numbers.size() ? " und " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text + ")";
}

class Series {
public:
    Series(const CommonOptions& common, const ProgramOptions& options, const std::string& port,
           const ConfigurationSource& file)
        : reporter_(common.json, common.quiet), options_(options), port_(port), file_(file),
          progress_(reporter_.progress_shown()) {}

    // The type given by --setup: fixed before any device is looked for.
    void give_type(const uint8_t* setup) {
        std::memcpy(given_type_, setup, kSetupBlockBytes);
        have_given_type_ = true;
    }

    int run() {
        say("Serie: Geräte nacheinander anschließen; Strg+C beendet die Serie.");
        if (!have_given_type_ || fix_type(given_type_, "aus --setup")) {
            while (wait_for_device()) {
                const DeviceEnd end = work_on_device();
                interrupted_device_ = end == DeviceEnd::kInterrupted;
                if (end != DeviceEnd::kDone || interrupt_count() > 0) break;
                if (!wait_until_gone()) break;
            }
        }
        return summary();
    }

private:
    bool fix_type(const uint8_t* setup, const char* source) {
        std::memcpy(type_, setup, kSetupBlockBytes);
        have_type_ = true;
        say("Typ der Serie: Setup " + setup_hex(type_) + " (V" + version_text(type_) + "), " + source + ".");
        return take_record_for_type();
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
        stop_code_ = outcome.exit_code;
    }

    // The file as the window takes it for the series' type: a file the
    // field check refuses would fail every device, so the series stops.
    bool take_record_for_type() {
        // A text's fields are checked for the series' type.
        ConfigImage file_image;
        set_image_start_values(file_image);
        const Outcome loaded = configuration_for_fitting(file_, {type_[0], type_[1]}, file_image);
        if (!loaded.ok()) {
            tell_stop(loaded);
            return false;
        }
        const int field_error = record_as_window_takes_it(file_image.bytes, type_[0], type_[1], taken_);
        if (field_error == 0) return true;
        tell_stop(failure(kExitRefused, config_error_text(field_error),
                          "Die Feldprüfung nimmt die Datei für Geräte mit Setup " + setup_hex(type_) +
                              " nicht an; die Serie endet."));
        return false;
    }

    // Until something answers (true), or Ctrl+C, or a port that will never
    // open (false). Between devices Ctrl+C stops at once.
    bool wait_for_device() {
        say("Warte auf ein Gerät an " + shown_name(port_) + " ...");
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

    // The device that answered, as "program" would treat it, told once.
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
        const RecordStamp stamp = stamp_now(options_.file, port_);
        ProgrammingResult result;
        if (identification_.accepted && !have_type_) {
            if (!fix_type(identification_.setup, "vom ersten Gerät")) return DeviceEnd::kFileRefused;
        }
        ++number_;
        if (!setup_received()) {
            // It answers, but with refusals or frames that are not what a
            // ZAV 160 sends: told once, then waited on until it is gone.
            result.outcome = failure(kExitRefused, kNoDeviceFound, "Es antwortet, aber nicht wie ein ZAV 160.");
        } else if (!identification_.accepted) {
            result.outcome = found_;
        } else if (!setup_blocks_same_type(type_, identification_.setup)) {
            result.outcome = type_conflict(type_, identification_.setup);
        } else {
            ConfigImage& image = device_->state.image;
            std::memcpy(image.bytes, taken_, kRecordBytes);
            std::memcpy(image.bytes + kSetupBlock, type_, kSetupBlockBytes);
            ProgrammingRules rules;
            rules.retries = options_.retries;
            rules.series = true;
            std::memcpy(rules.type, type_, kSetupBlockBytes);
            result = program_and_verify(*device_, rules, reporter_);
        }
        tell_device(result, stamp);
        return result.outcome.exit_code == kExitInterrupted ? DeviceEnd::kInterrupted : DeviceEnd::kDone;
    }

    void tell_device(const ProgrammingResult& result, const RecordStamp& stamp) {
        const Outcome& outcome = result.outcome;
        if (outcome.ok()) {
            ++programmed_;
        } else {
            failed_numbers_.push_back(number_);
        }
        const bool setup_known = setup_received();
        std::string line = "Gerät " + std::to_string(number_) + ": ";
        if (setup_known) line += "V" + version_text(identification_.setup) + ", ";
        line += outcome.message;
        if (result.attempts > 1) {
            line += result.attempts == 2 ? " (nach 1 Wiederholung)"
                                         : " (nach " + std::to_string(result.attempts - 1) + " Wiederholungen)";
        }
        reporter_.line(line);
        if (!outcome.detail.empty()) reporter_.block(outcome.detail, "  ");

        nlohmann::json document = {{"event", "device"},
                                   {"device", number_},
                                   {"ok", outcome.ok()},
                                   {"exit_code", outcome.exit_code},
                                   {"message", json_text(outcome.message)},
                                   {"programmed", result.programmed},
                                   {"attempts", result.attempts}};
        if (setup_known) {
            document["version"] = version_text(identification_.setup);
            document["setup"] = setup_hex(identification_.setup);
        }
        if (!outcome.detail.empty()) document["detail"] = json_text(outcome.detail);
        if (result.verify_reads > 0) {
            document["verified"] = result.verified;
            document["verify_reads"] = result.verify_reads;
            if (result.first_difference >= 0) document["first_difference"] = result.first_difference;
        }
        document.update(stamp_json(stamp, taken_));
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
        say("Gerät " + std::to_string(number_) + " abgeklemmt.");
        reporter_.document_line({{"event", "gone"}, {"device", number_}});
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

    int summary() {
        const int failed = static_cast<int>(failed_numbers_.size());
        int exit_code = failed == 0 ? kExitOk : kExitRefused;
        if (stop_code_ != kExitOk) exit_code = stop_code_;
        if (interrupted_midway()) exit_code = kExitInterrupted;
        reporter_.line("Serie beendet: " + std::to_string(programmed_) + " programmiert, " + std::to_string(failed) +
                       " fehlgeschlagen" + failed_devices_text(failed_numbers_) + ".");
        reporter_.document_line({{"event", "end"},
                                 {"programmed", programmed_},
                                 {"failed", failed},
                                 {"failed_devices", failed_numbers_},
                                 {"exit_code", exit_code}});
        return exit_code;
    }

    bool interrupted_midway() const { return interrupted_device_; }

    // The device sent a setup block, whether or not the program accepts it.
    bool setup_received() const { return found_.ok() || found_.exit_code == kExitRefused; }

    const Reporter reporter_;
    const ProgramOptions& options_;
    const std::string port_;
    const ConfigurationSource& file_;
    ProgressBar progress_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> device_;
    Identification identification_ = {};
    Outcome found_;
    uint8_t given_type_[kSetupBlockBytes] = {};
    bool have_given_type_ = false;
    uint8_t type_[kSetupBlockBytes] = {};
    bool have_type_ = false;
    uint8_t taken_[kRecordBytes] = {};  // the file's record as the window takes it for the type
    int number_ = 0;
    int programmed_ = 0;
    std::vector<int> failed_numbers_;
    bool interrupted_device_ = false;
    std::string last_port_failure_;
    int stop_code_ = kExitOk;
};

}  // namespace

int command_program_series(const CommonOptions& common, const ProgramOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t given_type[kSetupBlockBytes];
    if (!options.setup.empty()) {
        const Outcome given = setup_from_option(options.setup, given_type);
        if (!given.ok()) return reporter.fail(given);
    }
    ConfigurationSource file;
    const Outcome loaded = read_configuration_file(options.file, file);
    if (!loaded.ok()) return reporter.fail(loaded);
    const std::string port = chosen_port(common.port);
    if (port.empty()) return reporter.fail(no_port_given());

    Series series(common, options, port, file);
    if (!options.setup.empty()) series.give_type(given_type);
    return series.run();
}

}  // namespace zav::cli
