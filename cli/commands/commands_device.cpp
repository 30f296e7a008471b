// identify, read, program and verify: one device, one command.
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "cli/app/commands.h"
#include "cli/app/setup_option.h"
#include "cli/device/device_session.h"
#include "cli/device/guarded_programming.h"
#include "cli/device/port_opening.h"
#include "cli/device/programming.h"
#include "cli/output/audit_log.h"
#include "cli/output/backup_store.h"
#include "cli/output/config_file_io.h"
#include "cli/output/console.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/platform/serial_port.h"
#include "core/config/config_form.h"
#include "core/setup/setup_block.h"
#include "fleet/base/hex.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/config_record.h"
#include "fleet/record/fitting_report.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"

namespace zav::cli {

namespace {

// An open port and a device behind it, for one command.
struct Connection {
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<ProgressBar> progress;
    std::unique_ptr<DeviceLink> device;
};

Outcome connect(const CommonOptions& common, const Reporter& reporter, Connection& connection) {
    const std::string port = chosen_port(common.port);
    if (port.empty()) return no_port_given();
    Outcome opened = open_port(port, connection.line);
    if (!opened.ok()) return opened;
    connection.progress = std::make_unique<ProgressBar>(reporter.progress_shown());
    connection.device = std::make_unique<DeviceLink>(*connection.line, system_clock(), *connection.progress);
    return opened;
}

// Identifies the device and goes on only with one the program accepts.
Outcome identify_accepted(DeviceLink& device, const Reporter& reporter, Identification& found) {
    Outcome identified = identify_device(device, found);
    if (identified.ok()) {
        reporter.note(identified.message + " (V" + version_text(found.setup) + ", Setup " + setup_hex(found.setup) +
                      ", DT-Satz " + tone_set_text(found.setup) + ")");
    }
    return identified;
}

// The file's record in the device's image as "Laden" then "Programmieren"
// leave it for the fitting just identified: the same field checks refuse
// what the window refuses, and the device gets what the window would send,
// said field by field where that is not what the file holds.
// The file was read before the device was touched, and only then: a pipe
// gives its bytes once.
Outcome take_file_for_device(const ConfigurationSource& file, DeviceLink& device, const Reporter& reporter) {
    ConfigImage& image = device.state.image;
    // A text that names a fitting must name the device's; the window's
    // field checks for the device's fitting follow, for any file.
    Outcome loaded =
        configuration_for_fitting(file, {image.bytes[kSetupByte1], image.bytes[kSetupByte2]}, image, "das Gerät hat");
    if (!loaded.ok()) return loaded;
    const uint8_t setup_byte1 = image.bytes[kSetupByte1];
    const uint8_t setup_byte2 = image.bytes[kSetupByte2];
    uint8_t taken[kRecordBytes];
    const int field_error = record_as_window_takes_it(image.bytes, setup_byte1, setup_byte2, taken);
    const RecordView view = view_record(image.bytes, setup_byte1, setup_byte2);
    if (field_error != 0) {
        const std::string field = field_error_detail(view);
        return failure(kExitRefused, config_error_text(field_error),
                       (field.empty() ? "" : field + ". ") +
                           "Das Konfigurationsfenster nähme diese Datei für dieses Gerät nicht an.");
    }
    reporter.block(beyond_fitting_report(view));
    reporter.block(device_receives_report(compare_records(image.bytes, taken, setup_byte1, setup_byte2)));
    std::memcpy(image.bytes, taken, kRecordBytes);
    return success();
}

// Tells a verify that found differences: the first address, as the window
// says it, then every field that differs, file against device.
int tell_differences(const Reporter& reporter, const Outcome& verified, DeviceLink& device,
                     nlohmann::json document) {
    const uint8_t* expected = device.state.image.bytes;
    const RecordDifferences differences =
        compare_records(expected, device.state.read_back, expected[kSetupByte1], expected[kSetupByte2]);
    reporter.line(verified.message);
    reporter.line("Unterschiede (Datei -> Gerät):");
    reporter.block(differences_report(differences), "  ");
    document["differences"] = differences_json(differences, "file", "device");
    reporter.document(document);
    return verified.exit_code;
}

// How a program or verify ended, for a script: the verdict beside what was
// done, and the failure in the same words as on standard error.
void add_end(nlohmann::json& document, const Outcome& outcome) {
    document["exit_code"] = outcome.exit_code;
    document["message"] = json_text(outcome.message);
    if (!outcome.ok() && outcome.exit_code != kExitDiffers) {
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        document["error"] = error;
    }
}

// Tells the end of a program or verify once the device is known: the text
// (differences field by field), and one JSON document with everything.
int tell_end(const Reporter& reporter, const Outcome& outcome, DeviceLink& device, nlohmann::json document) {
    add_end(document, outcome);
    if (outcome.exit_code == kExitDiffers) return tell_differences(reporter, outcome, device, document);
    if (outcome.ok()) {
        reporter.line(outcome.message);
        reporter.document(document);
        return kExitOk;
    }
    reporter.fail(outcome, true);
    reporter.document(document);
    return outcome.exit_code;
}

// A backup is given back byte for byte, as the device held it: the window's
// field checks did not judge it when it was read, and what the window would
// change in it is no part of the way back.
Outcome take_backup_for_device(const ConfigurationSource& backup, DeviceLink& device) {
    ConfigImage& image = device.state.image;
    return configuration_for_fitting(backup, {image.bytes[kSetupByte1], image.bytes[kSetupByte2]}, image);
}

// The one line a single read, program or verify adds to the audit log
// (--log), filled as the command goes, and written before the end is told.
class SingleLog {
public:
    SingleLog(const LogOptions& options, const char* command, const std::string& port_option,
              const std::string& file)
        : options_(options), started_ms_(system_clock().now_ms()) {
        line_.time = local_time_now_iso8601();
        line_.command = command;
        line_.port = chosen_port(port_option);
        line_.file = file;
        success_ = command == std::string("read") ? DeviceOutcome::kRead : DeviceOutcome::kProgrammed;
    }

    Outcome open() {
        if (options_.file.empty()) return success();
        line_.operator_name = operator_of(options_.operator_name);
        line_.adapter = adapter_name(line_.port);
        return log_.open(options_.file);
    }

    AuditLine& line() { return line_; }
    // The outcome a success is logged with: unchanged, verified, ...
    void succeed_as(DeviceOutcome outcome) { success_ = outcome; }

    // The setup block, when the device sent one (even one the program
    // refuses).
    void identified(const Identification& found, const Outcome& outcome) {
        if (!outcome.ok() && outcome.exit_code != kExitRefused) return;
        line_.setup.emplace();
        std::memcpy(line_.setup->data(), found.setup, kSetupBlockBytes);
    }

    // Logs the end, then tells it (tell returns the exit code); a line
    // that could not be logged makes the command fail, after it is told.
    template <typename Tell>
    int finish(const Reporter& reporter, const Outcome& outcome, Tell tell) {
        Outcome logged = success();
        if (log_.active()) {
            AuditLine& audit = line_;
            audit.outcome = outcome.ok()                        ? success_
                            : outcome.exit_code == kExitDiffers ? DeviceOutcome::kDiffers
                                                                : DeviceOutcome::kFailed;
            audit.exit_code = outcome.exit_code;
            audit.message = outcome.message;
            audit.duration_ms = system_clock().now_ms() - started_ms_;
            logged = log_.append(audit);
        }
        const int exit_code = tell();
        if (!logged.ok()) return reporter.fail(logged);
        return exit_code;
    }

private:
    const LogOptions& options_;
    AuditLog log_;
    AuditLine line_;
    DeviceOutcome success_ = DeviceOutcome::kProgrammed;
    uint32_t started_ms_;
};

}  // namespace

int command_identify(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    Connection connection;
    Outcome outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);

    Identification found;
    outcome = identify_device(*connection.device, found);
    const bool answered = outcome.ok() || outcome.exit_code == kExitRefused;
    if (!answered) return reporter.fail(outcome);
    reporter.line(outcome.ok() ? outcome.message : std::string("ZAV 160 antwortet, wird aber nicht angenommen"));
    reporter.block(identification_report(found.setup, found.valid));
    nlohmann::json document = identification_json(found.setup, found.valid, found.accepted);
    document["message"] = json_text(outcome.message);
    reporter.document(document);
    return outcome.ok() ? kExitOk : reporter.fail(outcome, true);
}

int command_read(const CommonOptions& common, const ReadOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    const std::string& file = options.output;
    const bool to_standard_output = is_standard_output(file);
    if (to_standard_output && common.json) {
        return reporter.fail(failure(kExitUsage, "--json und -o - schreiben beide auf die Standardausgabe.",
                                     "Mit --json steht die Konfiguration als \"record\" im JSON."));
    }
    if (to_standard_output && is_terminal(Stream::kOut)) {
        return reporter.fail(failure(kExitUsage, "-o - schreibt die Konfigurationsdatei auf die Standardausgabe, "
                                                 "und die ist ein Terminal.",
                                     "Umleiten, etwa: zavctl read -o - > wache-3.zcf"));
    }
    // A file that could not be written is told before the device is bothered.
    Outcome outcome = check_output_path(file, options.force);
    if (!outcome.ok()) return reporter.fail(outcome);
    SingleLog log(options.log, "read", common.port, file);
    outcome = log.open();
    if (!outcome.ok()) return reporter.fail(outcome);

    Connection connection;
    outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);
    DeviceLink& device = *connection.device;
    // As the window connects before it reads: a device the program refuses
    // is not read, and the backup says which device it came from.
    Identification found;
    outcome = identify_accepted(device, reporter, found);
    log.identified(found, outcome);
    if (outcome.exit_code == kExitRefused) {
        outcome.detail = "Das Gerät meldet Software-Version " + version_text(found.setup) + ", Setup-Block " +
                         setup_hex(found.setup) + ".";
    }
    if (outcome.ok()) {
        int reads = 0;
        bool erased = false;
        outcome = read_device_copy(device, options.retries, reporter, reads, erased);
        log.line().retries = reads > 0 ? reads - 1 : 0;
    }
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return reporter.fail(outcome); });
    // The copy as the device holds it: a faithful backup, even of a record
    // the window would refuse to save.
    ConfigImage copy;
    set_image_start_values(copy);
    std::memcpy(copy.bytes, device.state.read_back, kRecordBytes);
    const Outcome saved = save_configuration_file(file, copy, options.force);
    if (!saved.ok()) return log.finish(reporter, saved, [&] { return reporter.fail(saved); });
    log.line().record = record_array(copy.bytes);

    return log.finish(reporter, outcome, [&] {
        // With -o - standard output carries the file; the words go beside it.
        auto tell = [&](const std::string& text) { to_standard_output ? reporter.note(text) : reporter.line(text); };
        tell(outcome.message);
        tell("Datei             " + (to_standard_output ? std::string("- (die Standardausgabe)") : shown_name(file)));
        tell("Software-Version  " + version_text(found.setup));
        tell("Setup-Block       " + setup_hex(found.setup));
        reporter.document({{"message", json_text(outcome.message)}, {"file", json_name(file)},
                           {"version", version_text(found.setup)}, {"setup", setup_hex(found.setup)},
                           {"record", hex_text(copy.bytes, kRecordBytes)}});
        return kExitOk;
    });
}

int command_program(const CommonOptions& common, const ProgramOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t wanted[kSetupBlockBytes];
    if (!options.setup.empty()) {
        const Outcome given = parse_setup_option(options.setup, wanted);
        if (!given.ok()) return reporter.fail(given);
    }
    ConfigurationSource checked;
    Outcome outcome = read_configuration_file(options.file, checked);
    // The type --setup asks for is known now: a text for another fitting
    // is refused before the device is touched.
    if (outcome.ok() && !options.setup.empty()) {
        outcome = check_text_fitting(checked, {wanted[0], wanted[1]}, "--setup nennt");
    }
    if (!outcome.ok()) return reporter.fail(outcome);
    tell_warnings(reporter, checked);
    std::string backup_folder;
    if (!options.no_backup) {
        outcome = prepare_backup_folder(options.backup_dir, backup_folder);
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    SingleLog log(options.log, options.restore ? "restore" : "program", common.port, options.file);
    outcome = log.open();
    if (!outcome.ok()) return reporter.fail(outcome);

    const RecordStamp stamp = stamp_now(options.file, chosen_port(common.port));
    Connection connection;
    outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);
    DeviceLink& device = *connection.device;
    Identification found;
    outcome = identify_accepted(device, reporter, found);
    log.identified(found, outcome);
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return reporter.fail(outcome); });

    nlohmann::json document = identification_json(found.setup, found.valid, found.accepted);
    document["programmed"] = false;
    // As "Programmieren": the field check first, then the type check. A
    // backup goes back as it stands: it is what the device held.
    if (options.restore) {
        reporter.line("Sicherung zurückspielen: " + shown_name(options.file));
        outcome = take_backup_for_device(checked, device);
    } else {
        outcome = take_file_for_device(checked, device, reporter);
    }
    document.update(stamp_json(stamp, device.state.image.bytes));
    document["backup"] = nullptr;
    if (outcome.ok()) log.line().record = record_array(device.state.image.bytes);
    if (outcome.ok() && !options.setup.empty() && !setup_blocks_same_type(wanted, found.setup)) {
        outcome = type_conflict(wanted, found.setup);
    }
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return tell_end(reporter, outcome, device, document); });

    ProgrammingRules rules;
    rules.retries = options.retries;
    std::memcpy(rules.type, found.setup, kSetupBlockBytes);
    BackupRules backup{!options.no_backup, backup_folder, "Geraet", stamp.started, options.always};
    const GuardedResult result = back_up_and_program(device, rules, backup, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    // "programmed" stands beside the verify's verdict: a verify read that
    // failed does not make the device one that was never found.
    document["programmed"] = result.programming.programmed;
    document["attempts"] = result.programming.attempts;
    document["unchanged"] = result.unchanged;
    document["erased"] = result.erased;
    if (!result.backup.empty()) document["backup"] = json_name(result.backup);
    if (result.programming.verify_reads > 0 || result.unchanged) {
        document["verified"] = result.programming.verified;
        document["verify_reads"] = result.unchanged ? result.backup_reads : result.programming.verify_reads;
    }
    log.line().backup = result.backup;
    log.line().retries = result.retries();
    if (result.unchanged) log.succeed_as(DeviceOutcome::kUnchanged);
    const Outcome& ended = result.programming.outcome;
    return log.finish(reporter, ended, [&] { return tell_end(reporter, ended, device, document); });
}

int command_verify(const CommonOptions& common, const VerifyOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource checked;
    Outcome outcome = read_configuration_file(options.file, checked);
    if (!outcome.ok()) return reporter.fail(outcome);
    tell_warnings(reporter, checked);
    SingleLog log(options.log, "verify", common.port, options.file);
    outcome = log.open();
    if (!outcome.ok()) return reporter.fail(outcome);

    const RecordStamp stamp = stamp_now(options.file, chosen_port(common.port));
    Connection connection;
    outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);
    DeviceLink& device = *connection.device;
    Identification found;
    outcome = identify_accepted(device, reporter, found);
    log.identified(found, outcome);
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return reporter.fail(outcome); });

    nlohmann::json document = identification_json(found.setup, found.valid, found.accepted);
    outcome = take_file_for_device(checked, device, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return tell_end(reporter, outcome, device, document); });

    int first_difference = -1;
    int reads = 0;
    outcome = verify_reading_again(device, options.retries, reporter, first_difference, reads);
    document.update(stamp_json(stamp, device.state.image.bytes));
    document["verified"] = outcome.ok();
    document["verify_reads"] = reads;
    log.line().retries = reads > 0 ? reads - 1 : 0;
    if (outcome.ok() || outcome.exit_code == kExitDiffers) {
        log.line().record = record_array(device.state.read_back);
        log.succeed_as(DeviceOutcome::kVerified);
        if (!outcome.ok()) {
            const uint8_t* expected = device.state.image.bytes;
            log.line().differences = logged_differences(
                compare_records(expected, device.state.read_back, expected[kSetupByte1], expected[kSetupByte2]));
        }
    }
    return log.finish(reporter, outcome, [&] { return tell_end(reporter, outcome, device, document); });
}

}  // namespace zav::cli
