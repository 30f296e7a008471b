#include "cli/commands/fitting_choice.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "cli/app/setup_option.h"
#include "cli/device/device_session.h"
#include "cli/device/port_opening.h"
#include "cli/platform/console.h"
#include "cli/platform/serial_port.h"
#include "core/setup/setup_block.h"
#include "fleet/base/hex.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

namespace {

constexpr const char kLabelIndent[] = "             ";  // under "Ausstattung  "

// Without --setup or --port: all five double-tone alarms, 10 addresses,
// four extra relays, tone-pair set A. Every field the record can hold is
// then shown.
constexpr uint8_t kAssumedSetupByte1 = 0xBF;
constexpr uint8_t kAssumedSetupByte2 = 0x01;

}  // namespace

namespace {

// --setup or the device at --port, when the command line names one.
Outcome fitting_from_command_line(const CommonOptions& common, const std::string& setup_text, Fitting& fitting) {
    if (!setup_text.empty()) {
        const Outcome parsed = parse_setup_option(setup_text, fitting.setup);
        if (!parsed.ok()) return parsed;
        fitting.source = "aus --setup";
        fitting.source_key = "option";
        return success();
    }
    // Only --port on this command line: $ZAV_PORT is for the device commands.
    const std::string& port = common.port;
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

// A setup block for setup bytes 1 and 2 alone: its check byte fits, its
// version is 0.00.
void set_setup_bytes(Fitting& fitting, uint8_t setup_byte1, uint8_t setup_byte2) {
    fitting.setup[0] = setup_byte1;
    fitting.setup[1] = setup_byte2;
    fitting.setup[2] = setup_check_byte(static_cast<uint16_t>(setup_byte1 | setup_byte2 << 8));
}

}  // namespace

Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text,
                       const std::vector<const ConfigurationSource*>& files, WithoutFitting without,
                       const Reporter& reporter, Fitting& fitting) {
    if (!setup_text.empty() || !common.port.empty()) {
        const Outcome chosen = fitting_from_command_line(common, setup_text, fitting);
        if (!chosen.ok()) return chosen;
        const std::string whose = fitting.source_key == "option" ? "--setup nennt"
                                                                 : "das Gerät an " + shown_name(fitting.port) + " hat";
        for (const ConfigurationSource* file : files) {
            const Outcome fits = check_text_fitting(*file, fitting.setup_bytes(), whose);
            if (!fits.ok()) return fits;
        }
        return success();
    }
    const ConfigurationSource* named = nullptr;
    for (const ConfigurationSource* file : files) {
        if (!file->fitting) continue;
        if (named == nullptr) {
            named = file;
            continue;
        }
        const Outcome fits = check_text_fitting(*file, *named->fitting, shown_name(named->path) + " für");
        if (!fits.ok()) return fits;
    }
    if (named != nullptr) {
        set_setup_bytes(fitting, named->fitting->setup_byte1, named->fitting->setup_byte2);
        fitting.source = "aus dem Text " + shown_name(named->path);
        fitting.source_key = "text";
        fitting.file = named->path;
        return success();
    }
    if (without == WithoutFitting::kNone) {
        fitting.source = "keine";
        fitting.source_key = "none";
        return success();
    }
    set_setup_bytes(fitting, kAssumedSetupByte1, kAssumedSetupByte2);
    fitting.source = "angenommen (Vollausstattung)";
    fitting.source_key = "assumed";
    reporter.note("Hinweis: Ausstattung angenommen (Vollausstattung). Mit --setup HEX oder --port PORT gilt die "
                  "tatsächliche.");
    return success();
}

Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                       Fitting& fitting) {
    return choose_fitting(common, setup_text, {}, WithoutFitting::kAssumeFull, reporter, fitting);
}

// "Ausstattung  Setup 7F0111021E, aus --setup" and below it what the block
// says, the tone set included.
void tell_fitting(const Reporter& reporter, const Fitting& fitting) {
    // A text names setup bytes 1 and 2 only.
    const std::string setup = fitting.source_key == "text" ? "Setup-Bytes " + fitting_name(fitting.setup_bytes())
                                                           : "Setup " + setup_hex(fitting.setup);
    reporter.paragraph("Ausstattung  " + setup + ", " + fitting.source, kLabelIndent);
    reporter.paragraph(kLabelIndent + fitting_text(fitting.setup), kLabelIndent);
}

nlohmann::json fitting_json(const Fitting& fitting) {
    nlohmann::json json = {{"setup", setup_hex(fitting.setup)},
                           {"source", fitting.source_key},
                           {"info", setup_info_json(fitting.setup)}};
    if (!fitting.port.empty()) json["port"] = json_name(fitting.port);
    if (!fitting.file.empty()) json["file"] = json_name(fitting.file);
    return json;
}

}  // namespace zav::cli
