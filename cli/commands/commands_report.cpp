// report: handover sheets (HTML) or an inventory (CSV) from audit logs, or
// from configuration files when there is no log.
#include <algorithm>
#include <cctype>

#include "cli/app/commands.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/output/config_file_io.h"
#include "cli/output/console.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/output/whole_file.h"
#include "cli/platform/file_identity.h"
#include "core/setup/setup_block.h"
#include "fleet/base/sha256.h"
#include "fleet/base/text_encoding.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/sheet/handover_sheet.h"

namespace zav::cli {

namespace {

// A name from the command line as UTF-8 text for the page.
std::string page_name(const std::string& argument) { return utf8_from_cp1252(shown_name(argument)); }

// A log is JSON lines; a configuration file starts with its header (or,
// as a text, with a comment or a key), never with '{'.
bool looks_like_log(const std::string& bytes) {
    for (const char c : bytes) {
        if (c == '{') return true;
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    }
    return false;
}

struct Inputs {
    std::vector<SheetDevice> devices;
    bool any_configuration_file = false;
    nlohmann::json skipped = nlohmann::json::array();  // the log lines passed over
};

Outcome add_log(const std::string& path, const std::string& bytes, Inputs& inputs, const Reporter& reporter) {
    const AuditLogReading reading = read_audit_log(bytes);
    if (!reading.ok) {
        const std::string place = shown_name(path) + ", Zeile " + std::to_string(reading.error_line);
        return failure(kExitFile, place + ": " + reading.error,
                       "Das Protokoll ist nicht, wie zavctl --log es schreibt; es wird nichts geschrieben.");
    }
    // A line cut off by a power loss or a full disk holds no device that
    // could be vouched for; the others still get their sheets.
    for (const SkippedLine& skipped : reading.skipped) {
        reporter.warning(skipped_line_text(shown_name(path), skipped));
        inputs.skipped.push_back({{"log", json_name(path)}, {"line", skipped.line}, {"reason", json_text(skipped.reason)}});
    }
    for (const AuditEntry& entry : reading.entries) inputs.devices.push_back(sheet_device_of(entry, page_name(path)));
    return success();
}

Outcome add_configuration_file(const std::string& path, const Fitting& fitting, Inputs& inputs) {
    ConfigImage image;
    set_image_start_values(image);
    const Outcome outcome = load_configuration_file(path, image, fitting.setup_bytes());
    if (!outcome.ok()) return outcome;
    SheetDevice device;
    device.label = page_name(path);
    device.file = page_name(path);
    device.source = page_name(path);
    device.setup.emplace();
    std::copy(fitting.setup, fitting.setup + kSetupBlockBytes, device.setup->begin());
    device.fitting_assumed = fitting.source_key == "assumed";
    device.record.emplace();
    std::copy(image.bytes, image.bytes + kRecordBytes, device.record->begin());
    device.sha256 = sha256_hex(image.bytes, kRecordBytes);
    inputs.devices.push_back(std::move(device));
    inputs.any_configuration_file = true;
    return success();
}

// "3 Übergabeblätter", "1 Prüfprotokoll", "2 Übergabeblätter und 1 Prüfprotokoll".
std::string sheets_text(size_t handovers, size_t checks) {
    const std::string handover_text =
        std::to_string(handovers) + (handovers == 1 ? " Übergabeblatt" : " Übergabeblätter");
    const std::string check_text = std::to_string(checks) + (checks == 1 ? " Prüfprotokoll" : " Prüfprotokolle");
    if (checks == 0) return handover_text;
    return handovers == 0 ? check_text : handover_text + " und " + check_text;
}

}  // namespace

int command_report(const CommonOptions& common, const ReportOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options.setup_text.empty() ? success() : parse_setup_option(options.setup_text, setup);
    if (!outcome.ok()) return reporter.fail(outcome);
    // An input is never written over, however the output names it.
    for (const std::string& input : options.inputs) {
        if (input == options.output || same_file(input, options.output)) {
            return reporter.fail(failure(kExitUsage, "-o " + shown_name(options.output) + " ist eine der Eingaben",
                                         "Das Protokoll oder die Datei würde überschrieben."));
        }
    }
    // Nothing is read before the output is known to be free: a sheet that
    // could not be written is no work done.
    outcome = check_output_path(options.output, options.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    Inputs inputs;
    Fitting fitting;
    bool fitting_chosen = false;
    for (const std::string& input : options.inputs) {
        std::string bytes;
        outcome = read_whole_file(input, bytes);
        if (outcome.ok() && looks_like_log(bytes)) {
            outcome = add_log(input, bytes, inputs, reporter);
        } else if (outcome.ok()) {
            // A configuration file is shown as show shows it, for one fitting
            // chosen once (and, when assumed, said once).
            if (!fitting_chosen) outcome = choose_fitting(CommonOptions{}, options.setup_text, reporter, fitting);
            fitting_chosen = true;
            if (outcome.ok()) outcome = add_configuration_file(input, fitting, inputs);
        }
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    if (!options.setup_text.empty() && !inputs.any_configuration_file) {
        return reporter.fail(failure(kExitUsage, "--setup gilt nur für Konfigurationsdateien.",
                                     "Ein Protokoll nennt den Setup-Block jedes Geräts selbst."));
    }

    size_t sheets = 0, check_records = 0;
    nlohmann::json left_out = nlohmann::json::array();
    for (const SheetDevice& device : inputs.devices) {
        if (has_sheet(device)) {
            ++sheets;
            check_records += is_check_record(device) ? 1 : 0;
            continue;
        }
        left_out.push_back({{"source", device.source}, {"label", device.label}, {"outcome", device.outcome}});
        if (!options.csv) {
            reporter.note(cp1252_from_utf8(device.source + " (" + device.label + "): " + outcome_text(device.outcome)) +
                          ", kein Blatt.");
        }
    }
    if (inputs.devices.empty() || (!options.csv && sheets == 0)) {
        return reporter.fail(failure(kExitFile, "Kein Gerät, für das ein Blatt erstellt werden kann.",
                                     inputs.devices.empty() ? "Das Protokoll ist leer."
                                                            : "Das Protokoll nennt kein Gerät, das erreicht wurde."));
    }

    const std::string content = options.csv ? inventory_csv(inputs.devices) : handover_sheet_html(inputs.devices);
    outcome = write_output_file(options.output, reinterpret_cast<const uint8_t*>(content.data()), content.size(),
                                options.force);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (options.csv) {
        reporter.line("Inventar mit " + std::to_string(inputs.devices.size()) + " Geräten in " +
                      shown_name(options.output) + " geschrieben.");
    } else {
        reporter.line(sheets_text(sheets - check_records, check_records) + " in " + shown_name(options.output) +
                      " geschrieben.");
    }
    // "devices": the sheets, or the inventory's rows; "left_out": the
    // devices that got no sheet (the inventory leaves none out).
    reporter.document({{"output", json_name(options.output)},
                       {"format", options.csv ? "csv" : "html"},
                       {"devices", options.csv ? inputs.devices.size() : sheets},
                       {"left_out", options.csv ? nlohmann::json::array() : left_out},
                       {"skipped_lines", inputs.skipped}});
    return kExitOk;
}

}  // namespace zav::cli
