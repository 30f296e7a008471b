// program --series: one device after another on the same port. Each device
// is looked for about once a second, programmed and verified as by
// "program", told in one line, and then waited for until it is gone, so
// that it is never programmed twice. Ctrl+C ends the series after the
// device at hand (twice: at once) with a summary.
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/interrupt.h"
#include "cli/pause.h"
#include "cli/port_opening.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/serial_port.h"
#include "core/config/config_commands.h"
#include "core/config/config_form.h"
#include "core/setup/setup_block.h"

namespace zav::cli {

namespace {

// How long one look for a device waits for any answer, and how often.
constexpr uint32_t kLookMs = 1000;

struct SeriesTally {
    int programmed = 0;
    int failed = 0;
};

class Series {
public:
    Series(const CommonOptions& common, const std::string& port, const ConfigImage& file_image)
        : reporter_(common.json, common.quiet), port_(port), file_image_(file_image),
          progress_(reporter_.progress_shown()) {}

    int run() {
        reporter_.note("Serie: Geräte nacheinander anschließen; Strg+C beendet die Serie.");
        while (wait_for_device()) {
            program_device_at_hand();
            if (interrupt_count() > 0) break;
            wait_until_gone();
        }
        return summary();
    }

private:
    // Until a device answers (true) or Ctrl+C (false).
    bool wait_for_device() {
        reporter_.note("Warte auf ein Gerät an " + shown_name(port_) + " ...");
        for (;;) {
            if (interrupt_count() > 0 || lasting_failure_) return false;
            const uint32_t started = system_clock().now_ms();
            if (open_line()) {
                found_ = identify_device(*device_, identification_, kLookMs);
                if (found_.ok() || found_.exit_code == kExitRefused) return true;
                if (found_.exit_code == kExitInterrupted) return false;
                if (device_->line_lost) close_line();
            }
            if (!pause_rest_of_look(started)) return false;
        }
    }

    // The device that answered, as "program" would treat it.
    void program_device_at_hand() {
        ++number_;
        const Outcome outcome = program_and_verify();
        if (outcome.ok()) ++tally_.programmed;
        else ++tally_.failed;
        const std::string version = "V" + version_text(identification_.setup);
        reporter_.line("Gerät " + std::to_string(number_) + ": " + version + ", " + outcome.message +
                       (outcome.detail.empty() ? "" : " " + outcome.detail));
        reporter_.document_line({{"device", number_},
                                 {"version", version_text(identification_.setup)},
                                 {"setup", setup_hex(identification_.setup)},
                                 {"ok", outcome.ok()},
                                 {"exit_code", outcome.exit_code},
                                 {"message", json_text(outcome.message)}});
    }

    Outcome program_and_verify() {
        // A device the program refuses is told as the program tells it.
        if (!found_.ok()) return found_;
        // Every device of a series must be of the type the first one was:
        // the window's type check, against the first device's setup block.
        if (!have_type_) {
            std::memcpy(series_type_, identification_.setup, kSetupBlockBytes);
            have_type_ = true;
        } else if (!setup_blocks_same_type(series_type_, identification_.setup)) {
            return failure(kExitRefused, kTypeConflict);
        }
        ConfigImage& image = device_->state.image;
        const int field_error = record_as_window_takes_it(file_image_.bytes, image.bytes[kSetupByte1],
                                                          image.bytes[kSetupByte2], image.bytes);
        if (field_error != 0) return failure(kExitRefused, config_error_text(field_error));
        Outcome outcome = program_device_record(*device_);
        if (!outcome.ok()) return outcome;
        int first_difference = -1;
        return verify_device_record(*device_, first_difference);
    }

    // Looks once a second until the device answers no more.
    void wait_until_gone() {
        reporter_.note("Gerät abklemmen; danach das nächste anschließen.");
        for (;;) {
            const uint32_t started = system_clock().now_ms();
            if (!open_line()) return;
            Identification still;
            const Outcome look = identify_device(*device_, still, kLookMs);
            if (look.exit_code == kExitInterrupted) return;
            if (device_->line_lost) close_line();
            if (!look.ok() && look.exit_code != kExitRefused) return;
            if (!pause_rest_of_look(started)) return;
        }
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
                exit_code_ = reporter_.fail(opened);
                lasting_failure_ = true;
            } else if (opened.message + opened.detail != last_port_failure_) {
                reporter_.note(opened.message + " " + opened.detail);
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

    bool pause_rest_of_look(uint32_t started) {
        const uint32_t spent = system_clock().now_ms() - started;
        return pause_unless_interrupted(spent < kLookMs ? kLookMs - spent : 0);
    }

    int summary() {
        const std::string text = "Serie beendet: " + std::to_string(tally_.programmed) + " programmiert, " +
                                 std::to_string(tally_.failed) + " fehlgeschlagen.";
        reporter_.line(text);
        reporter_.document_line({{"programmed", tally_.programmed}, {"failed", tally_.failed}});
        if (lasting_failure_) return exit_code_;
        return tally_.failed == 0 ? kExitOk : kExitRefused;
    }

    const Reporter reporter_;
    const std::string port_;
    const ConfigImage& file_image_;
    ProgressBar progress_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> device_;
    Identification identification_ = {};
    Outcome found_;
    uint8_t series_type_[kSetupBlockBytes] = {};
    bool have_type_ = false;
    int number_ = 0;
    SeriesTally tally_;
    std::string last_port_failure_;
    bool lasting_failure_ = false;
    int exit_code_ = kExitOk;
};

}  // namespace

int command_program_series(const CommonOptions& common, const std::string& file) {
    const Reporter reporter(common.json, common.quiet);
    ConfigImage file_image;
    set_image_start_values(file_image);
    const Outcome loaded = load_configuration_file(file, file_image);
    if (!loaded.ok()) return reporter.fail(loaded);
    const std::string port = chosen_port(common.port);
    if (port.empty()) return reporter.fail(no_port_given());

    // The first Ctrl+C lets the device at hand be finished.
    set_interrupt_stops_at_once(false);
    Series series(common, port, file_image);
    const int exit_code = series.run();
    set_interrupt_stops_at_once(true);
    return exit_code;
}

}  // namespace zav::cli
