// show and diff: configuration files read as the configuration window shows
// them, for a fitting given by --setup, read from the device at --port, or
// assumed (and then said so). $ZAV_PORT alone does not make them ask a
// device: they work on files, and a device that is not there would cost
// seconds of waiting.
#include <cctype>
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/console.h"
#include "cli/device_session.h"
#include "cli/fitting_report.h"
#include "cli/port_opening.h"
#include "cli/record_fields.h"
#include "cli/record_report.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/serial_port.h"
#include "core/config/config_form.h"
#include "core/setup/setup_block.h"

namespace zav::cli {

namespace {

// Without --setup or --port: all five double-tone alarms, 10 addresses,
// four extra relays, tone-pair set A. Every field the record can hold is
// then shown.
constexpr uint8_t kAssumedSetupByte1 = 0xBF;
constexpr uint8_t kAssumedSetupByte2 = 0x01;

constexpr const char kLabelIndent[] = "             ";  // under "Ausstattung  "

struct Fitting {
    uint8_t setup[kSetupBlockBytes] = {};
    std::string source;      // how it was found, for the user
    std::string source_key;  // the same for JSON: "option", "device", "assumed"
    std::string port;        // the port asked, for "device"
};

bool parse_hex_block(const std::string& text, uint8_t* block) {
    if (text.size() != 2 * kSetupBlockBytes) return false;
    for (size_t i = 0; i < kSetupBlockBytes; ++i) {
        const char pair[3] = {text[2 * i], text[2 * i + 1], '\0'};
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1])))
            return false;
        block[i] = static_cast<uint8_t>(std::stoul(pair, nullptr, 16));
    }
    return true;
}

Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                       Fitting& fitting) {
    if (!setup_text.empty()) {
        if (!parse_hex_block(setup_text, fitting.setup)) {
            return failure(kExitUsage, "--setup " + shown_name(setup_text) + ": 10 Hex-Ziffern erwartet",
                           "Den Setup-Block angeben, wie \"zavctl identify\" ihn zeigt, z. B. BF073C020A.");
        }
        if (!setup_block_valid(fitting.setup)) {
            return failure(kExitUsage, "--setup " + shown_name(setup_text) + ": Setup-Daten ungültig !",
                           "Das Prüfbyte (3. Byte) passt nicht zu den Setup-Bytes.");
        }
        fitting.source = "aus --setup";
        fitting.source_key = "option";
        return success();
    }
    // Only --port on this command line: $ZAV_PORT is for the device commands.
    const std::string& port = common.port;
    if (!port.empty()) {
        std::unique_ptr<SerialLine> line;
        Outcome outcome = open_port(port, line);
        if (!outcome.ok()) return outcome;
        ProgressBar progress(false);
        DeviceLink device(*line, system_clock(), progress);
        Identification found;
        outcome = identify_device(device, found);
        if (!outcome.ok()) return outcome;
        std::memcpy(fitting.setup, found.setup, kSetupBlockBytes);
        fitting.source = "vom Gerät an " + shown_name(port) + " (V" + version_text(found.setup) + ")";
        fitting.source_key = "device";
        fitting.port = port;
        return success();
    }
    fitting.setup[0] = kAssumedSetupByte1;
    fitting.setup[1] = kAssumedSetupByte2;
    fitting.setup[2] = setup_check_byte(static_cast<uint16_t>(kAssumedSetupByte1 | kAssumedSetupByte2 << 8));
    fitting.source = "angenommen (Vollausstattung)";
    fitting.source_key = "assumed";
    reporter.note("Hinweis: Ausstattung angenommen (Vollausstattung). Mit --setup HEX oder --port PORT gilt die "
                  "tatsächliche.");
    return success();
}

// "Ausstattung  Setup 7F0111021E, aus --setup" and below it what the block
// says, the tone set included.
void tell_fitting(const Reporter& reporter, const Fitting& fitting) {
    reporter.paragraph("Ausstattung  Setup " + setup_hex(fitting.setup) + ", " + fitting.source, kLabelIndent);
    reporter.paragraph(kLabelIndent + fitting_text(fitting.setup), kLabelIndent);
}

nlohmann::json fitting_json(const Fitting& fitting) {
    nlohmann::json json = {{"setup", setup_hex(fitting.setup)},
                           {"source", fitting.source_key},
                           {"info", setup_info_json(fitting.setup)}};
    if (!fitting.port.empty()) json["port"] = json_name(fitting.port);
    return json;
}

Outcome load(const std::string& file, ConfigImage& image) {
    set_image_start_values(image);
    return load_configuration_file(file, image);
}

}  // namespace

int command_show(const CommonOptions& common, const std::string& file, const std::string& setup_text) {
    const Reporter reporter(common.json, common.quiet);
    // A wrong --setup is told first: nothing is read before the call is right.
    Fitting fitting;
    Outcome outcome = setup_text.empty() ? success() : choose_fitting(common, setup_text, reporter, fitting);
    if (!outcome.ok()) return reporter.fail(outcome);
    ConfigImage image;
    outcome = load(file, image);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (setup_text.empty()) outcome = choose_fitting(common, setup_text, reporter, fitting);
    if (!outcome.ok()) return reporter.fail(outcome);

    const uint8_t setup_byte1 = fitting.setup[0], setup_byte2 = fitting.setup[1];
    const RecordView view = view_record(image.bytes, setup_byte1, setup_byte2);
    reporter.line("Datei        " + shown_name(file));
    tell_fitting(reporter, fitting);
    reporter.line("");
    reporter.block(record_report(view));
    nlohmann::json document = record_json(view);
    document["file"] = json_name(file);
    document["fitting"] = fitting_json(fitting);
    document["device_receives"] = nullptr;
    if (view.check_code == 0) {
        // What "Programmieren" would send to a device of this fitting.
        uint8_t taken[kRecordBytes];
        record_as_window_takes_it(image.bytes, setup_byte1, setup_byte2, taken);
        const RecordDifferences changes = compare_records(image.bytes, taken, setup_byte1, setup_byte2);
        const std::string beyond = beyond_fitting_report(view);
        if (!changes.empty() || !beyond.empty()) reporter.line("");
        reporter.block(beyond);
        reporter.block(device_receives_report(changes));
        document["device_receives"] = differences_json(changes, "file", "device");
    }
    reporter.document(document);
    if (view.check_code == 0) return kExitOk;
    // A script may take show as the window's check before it programs.
    return reporter.fail(failure(kExitRefused, config_error_text(view.check_code), field_error_detail(view)), true);
}

int command_diff(const CommonOptions& common, const std::string& first, const std::string& second,
                 const std::string& setup_text) {
    const Reporter reporter(common.json, common.quiet);
    Fitting fitting;
    Outcome outcome = setup_text.empty() ? success() : choose_fitting(common, setup_text, reporter, fitting);
    if (!outcome.ok()) return reporter.fail(outcome);
    ConfigImage first_image, second_image;
    outcome = load(first, first_image);
    if (outcome.ok()) outcome = load(second, second_image);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (setup_text.empty()) outcome = choose_fitting(common, setup_text, reporter, fitting);
    if (!outcome.ok()) return reporter.fail(outcome);

    const RecordDifferences differences =
        compare_records(first_image.bytes, second_image.bytes, fitting.setup[0], fitting.setup[1]);
    tell_fitting(reporter, fitting);
    if (differences.empty()) {
        reporter.line("Keine Unterschiede.");
    } else {
        reporter.paragraph("Unterschiede (" + shown_name(first) + " -> " + shown_name(second) + "):", "  ");
        reporter.block(differences_report(differences), "  ");
    }
    nlohmann::json document = differences_json(differences, "a", "b");
    document["files"] = {{"a", json_name(first)}, {"b", json_name(second)}};
    document["fitting"] = fitting_json(fitting);
    document["same"] = differences.empty();
    reporter.document(document);
    return differences.empty() ? kExitOk : kExitDiffers;
}

}  // namespace zav::cli
