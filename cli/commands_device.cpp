// identify, read, program and verify: one device, one command.
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/output_file.h"
#include "cli/fitting_report.h"
#include "cli/port_opening.h"
#include "cli/programming.h"
#include "cli/record_fields.h"
#include "cli/record_report.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/serial_port.h"
#include "core/config/config_form.h"
#include "core/setup/setup_block.h"

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
Outcome take_file_for_device(const std::string& file, DeviceLink& device, const Reporter& reporter) {
    ConfigImage& image = device.state.image;
    // A text's fields are checked for the fitting just identified.
    Outcome loaded = load_configuration_file(file, image, {image.bytes[kSetupByte1], image.bytes[kSetupByte2]});
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

std::string record_hex(const uint8_t* record) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < kRecordBytes; ++i) {
        text += kDigits[record[i] >> 4];
        text += kDigits[record[i] & 0x0F];
    }
    return text;
}

// The steps program and verify share: the file is read first (a file that
// cannot be read is told before the device is bothered), then the device is
// identified.
Outcome connect_and_identify(const CommonOptions& common, const Reporter& reporter, const std::string& file,
                             Connection& connection, Identification& found) {
    ConfigurationSource checked;
    Outcome outcome = read_configuration_file(file, checked);
    if (!outcome.ok()) return outcome;
    outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return outcome;
    return identify_accepted(*connection.device, reporter, found);
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
    reporter.block(identification_report(found));
    nlohmann::json document = identification_json(found);
    document["message"] = json_text(outcome.message);
    reporter.document(document);
    return outcome.ok() ? kExitOk : reporter.fail(outcome, true);
}

int command_read(const CommonOptions& common, const std::string& file, bool force) {
    const Reporter reporter(common.json, common.quiet);
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
    Outcome outcome = check_output_path(file, force);
    if (!outcome.ok()) return reporter.fail(outcome);

    Connection connection;
    outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);
    DeviceLink& device = *connection.device;
    // As the window connects before it reads: a device the program refuses
    // is not read, and the backup says which device it came from.
    Identification found;
    outcome = identify_accepted(device, reporter, found);
    if (outcome.exit_code == kExitRefused) {
        outcome.detail = "Das Gerät meldet Software-Version " + version_text(found.setup) + ", Setup-Block " +
                         setup_hex(found.setup) + ".";
    }
    if (!outcome.ok()) return reporter.fail(outcome);
    outcome = read_device_record(device);
    if (!outcome.ok()) return reporter.fail(outcome);
    // The copy as the device holds it: a faithful backup, even of a record
    // the window would refuse to save.
    ConfigImage copy;
    set_image_start_values(copy);
    std::memcpy(copy.bytes, device.state.read_back, kRecordBytes);
    const Outcome saved = save_configuration_file(file, copy, force);
    if (!saved.ok()) return reporter.fail(saved);

    // With -o - standard output carries the file; the words go beside it.
    auto tell = [&](const std::string& text) { to_standard_output ? reporter.note(text) : reporter.line(text); };
    tell(outcome.message);
    tell("Datei             " + (to_standard_output ? std::string("- (die Standardausgabe)") : shown_name(file)));
    tell("Software-Version  " + version_text(found.setup));
    tell("Setup-Block       " + setup_hex(found.setup));
    reporter.document({{"message", json_text(outcome.message)}, {"file", json_name(file)},
                       {"version", version_text(found.setup)}, {"setup", setup_hex(found.setup)},
                       {"record", record_hex(copy.bytes)}});
    return kExitOk;
}

int command_program(const CommonOptions& common, const ProgramOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t wanted[kSetupBlockBytes];
    if (!options.setup.empty()) {
        const Outcome given = setup_from_option(options.setup, wanted);
        if (!given.ok()) return reporter.fail(given);
    }
    const RecordStamp stamp = stamp_now(options.file, chosen_port(common.port));
    Connection connection;
    Identification found;
    Outcome outcome = connect_and_identify(common, reporter, options.file, connection, found);
    if (!outcome.ok()) return reporter.fail(outcome);

    DeviceLink& device = *connection.device;
    nlohmann::json document = identification_json(found);
    document["programmed"] = false;
    // As "Programmieren": the field check first, then the type check.
    outcome = take_file_for_device(options.file, device, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    if (!outcome.ok()) return tell_end(reporter, outcome, device, document);
    if (!options.setup.empty() && !setup_blocks_same_type(wanted, found.setup)) {
        return tell_end(reporter, type_conflict(wanted, found.setup), device, document);
    }

    ProgrammingRules rules;
    rules.retries = options.retries;
    std::memcpy(rules.type, found.setup, kSetupBlockBytes);
    const ProgrammingResult result = program_and_verify(device, rules, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    // "programmed" stands beside the verify's verdict: a verify read that
    // failed does not make the device one that was never found.
    document["programmed"] = result.programmed;
    document["attempts"] = result.attempts;
    if (result.verify_reads > 0) {
        document["verified"] = result.verified;
        document["verify_reads"] = result.verify_reads;
    }
    return tell_end(reporter, result.outcome, device, document);
}

int command_verify(const CommonOptions& common, const std::string& file, int retries) {
    const Reporter reporter(common.json, common.quiet);
    const RecordStamp stamp = stamp_now(file, chosen_port(common.port));
    Connection connection;
    Identification found;
    Outcome outcome = connect_and_identify(common, reporter, file, connection, found);
    if (!outcome.ok()) return reporter.fail(outcome);

    DeviceLink& device = *connection.device;
    nlohmann::json document = identification_json(found);
    outcome = take_file_for_device(file, device, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    if (!outcome.ok()) return tell_end(reporter, outcome, device, document);

    int first_difference = -1;
    int reads = 0;
    outcome = verify_reading_again(device, retries, reporter, first_difference, reads);
    document.update(stamp_json(stamp, device.state.image.bytes));
    document["verified"] = outcome.ok();
    document["verify_reads"] = reads;
    return tell_end(reporter, outcome, device, document);
}

}  // namespace zav::cli
