// identify, read, program and verify: one device, one command.
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/port_opening.h"
#include "cli/programming.h"
#include "cli/record_fields.h"
#include "cli/record_report.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/serial_port.h"
#include "core/config/config_form.h"
#include "core/info/info_text.h"
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

ConfigImage image_with_setup(const uint8_t* setup) {
    ConfigImage image;
    set_image_start_values(image);
    std::memcpy(image.bytes + kSetupBlock, setup, kSetupBlockBytes);
    return image;
}

// The info window's list, as the window shows it.
nlohmann::json info_json(const uint8_t* setup) {
    InfoText info;
    build_info_text(image_with_setup(setup), info);
    nlohmann::json lines = nlohmann::json::array();
    for (int i = 0; i < info.line_count; ++i) lines.push_back(json_text(info.lines[i]));
    return lines;
}

nlohmann::json identification_json(const Identification& found) {
    return {{"version", version_text(found.setup)}, {"setup", setup_hex(found.setup)},
            {"valid", found.valid}, {"accepted", found.accepted}, {"info", info_json(found.setup)}};
}

// The info window's fields, label and value on one line.
void tell_identification(const Reporter& reporter, const Identification& found) {
    reporter.line("Software-Version  " + version_text(found.setup));
    reporter.line("Setup-Block       " + setup_hex(found.setup) +
                  (found.valid ? "  (Prüfbyte stimmt)" : "  (Prüfbyte falsch)"));
    InfoFields fields;
    read_info_fields(image_with_setup(found.setup), fields);
    std::string pairs;
    for (int i = 0; i < fields.tone_pair_count; ++i) pairs += (i > 0 ? ", " : "") + std::string(fields.tone_pairs[i]);
    reporter.line("Ausstattung:");
    auto row = [&reporter](const std::string& label, const std::string& value) {
        reporter.line("  " + label + std::string(label.size() < 18 ? 18 - label.size() : 1, ' ') + value);
    };
    row(kInfoLabelDoubleTone, pairs.empty() ? "-" : pairs);
    row(kInfoLabelFiveTone, fields.five_tone_addresses);
    row(kInfoLabelRelays, fields.relays);
    row(kInfoLabelDoubleToneDuration, fields.double_tone_duration);
    row(kInfoLabelCallToneDuration, fields.call_tone_duration);
    row(kInfoLabelVersion, fields.version);
}

// Identifies the device and goes on only with one the program accepts.
Outcome identify_accepted(DeviceLink& device, const Reporter& reporter, Identification& found) {
    Outcome identified = identify_device(device, found);
    if (identified.ok()) {
        reporter.note(identified.message + " (V" + version_text(found.setup) + ", Setup " + setup_hex(found.setup) +
                      ")");
    }
    return identified;
}

// The file's record in the device's image as "Laden" then "Programmieren"
// leave it for the fitting just identified: the same field checks refuse
// what the window refuses, and the device gets what the window would send.
Outcome take_file_for_device(const std::string& file, DeviceLink& device) {
    ConfigImage& image = device.state.image;
    Outcome loaded = load_configuration_file(file, image);
    if (!loaded.ok()) return loaded;
    uint8_t taken[kRecordBytes];
    const int field_error =
        record_as_window_takes_it(image.bytes, image.bytes[kSetupByte1], image.bytes[kSetupByte2], taken);
    if (field_error != 0) {
        return failure(kExitRefused, config_error_text(field_error),
                       "Das Konfigurationsfenster nähme diese Datei für dieses Gerät nicht an.");
    }
    std::memcpy(image.bytes, taken, kRecordBytes);
    return success();
}

// Tells a verify that found differences: the first address, as the window
// says it, then every field that differs, file against device.
int tell_differences(const Reporter& reporter, const Outcome& verified, DeviceLink& device,
                     nlohmann::json document) {
    const uint8_t* expected = device.state.image.bytes;
    const uint8_t* found = device.state.read_back;
    const uint8_t setup_byte1 = expected[kSetupByte1];
    const uint8_t setup_byte2 = expected[kSetupByte2];
    const std::vector<FieldDifference> fields =
        differing_fields(view_record(expected, setup_byte1, setup_byte2), view_record(found, setup_byte1, setup_byte2));
    const std::vector<size_t> hidden = hidden_differences(expected, found, setup_byte1, setup_byte2);
    reporter.line(verified.message);
    reporter.line("Unterschiede (Datei -> Gerät):");
    reporter.block(differences_report(fields, hidden), "  ");
    document["differences"] = differences_json(fields, hidden);
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
    ConfigImage checked;
    set_image_start_values(checked);
    Outcome outcome = load_configuration_file(file, checked);
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
    tell_identification(reporter, found);
    nlohmann::json document = identification_json(found);
    document["message"] = json_text(outcome.message);
    reporter.document(document);
    return outcome.ok() ? kExitOk : reporter.fail(outcome, true);
}

int command_read(const CommonOptions& common, const std::string& file) {
    const Reporter reporter(common.json, common.quiet);
    Connection connection;
    Outcome outcome = connect(common, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);

    DeviceLink& device = *connection.device;
    outcome = read_device_record(device);
    if (!outcome.ok()) return reporter.fail(outcome);
    // The copy as the device holds it: a faithful backup, even of a record
    // the window would refuse to save.
    ConfigImage copy;
    set_image_start_values(copy);
    std::memcpy(copy.bytes, device.state.read_back, kRecordBytes);
    const Outcome saved = save_configuration_file(file, copy);
    if (!saved.ok()) return reporter.fail(saved);

    reporter.line(outcome.message + " Gespeichert in " + shown_name(file));
    reporter.document({{"message", json_text(outcome.message)}, {"file", json_text(shown_name(file))},
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
    outcome = take_file_for_device(options.file, device);
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
    outcome = take_file_for_device(file, device);
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
