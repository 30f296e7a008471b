// zavctl report LOG.jsonl|FILE... -o OUTPUT [--csv] [--setup HEX] [--force]:
// handover sheets (HTML) or an inventory (CSV) from audit logs, or from
// configuration files when there is no log.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>

#include "cli/app/command.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/output/config_file_io.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/output/whole_file.h"
#include "cli/platform/console.h"
#include "cli/platform/file_identity.h"
#include "core/setup/setup_block.h"
#include "fleet/base/sha256.h"
#include "fleet/base/text_encoding.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/log/device_outcome.h"
#include "fleet/sheet/handover_sheet.h"
#include "fleet/sheet/inventory_rows.h"

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
    // In the plan's order, as the vehicles stand in it, whatever order the
    // ports finished them in; a line without a plan keeps its place after.
    const size_t first = inputs.devices.size();
    for (const AuditEntry& entry : reading.entries) inputs.devices.push_back(sheet_device_of(entry, page_name(path)));
    std::stable_sort(inputs.devices.begin() + static_cast<std::ptrdiff_t>(first), inputs.devices.end(),
                     [](const SheetDevice& a, const SheetDevice& b) {
                         return a.plan_row.value_or(INT_MAX) < b.plan_row.value_or(INT_MAX);
                     });
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

class ReportCommand final : public Command {
public:
    const char* name() const override { return "report"; }
    const char* overview() const override {
        return "  report PROTOKOLL         Übergabeblätter zum Ausdrucken (ein A4-Blatt je\n"
               "                           Gerät) oder mit --csv eine Inventarliste\n"
               "    zavctl report serie.jsonl -o blatt.html\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl report PROTOKOLL.jsonl... -o BLATT.html [--csv] [--force]\n"
               "        zavctl report DATEI... -o BLATT.html [--setup HEX] [--csv] [--force]\n"
               "\n"
               "Erstellt aus dem Protokoll einer Serie (--log) die Übergabeblätter: eine\n"
               "HTML-Seite mit einem A4-Blatt je Gerät in der Reihenfolge des Plans, zum\n"
               "Ausdrucken im Browser. Jedes Blatt\n"
               "nennt Bezeichnung, Datum, Bearbeiter, Version, Setup-Block und DT-Satz, jedes\n"
               "Feld wie \"zavctl show\", das Ergebnis der Verifikation, die SHA-256 des\n"
               "Datensatzes und hat Zeilen für die Unterschriften. Aus der jährlichen Prüfung\n"
               "(verify) wird je Gerät ein Prüfprotokoll: jedes Feld mit Soll und Ist, eine\n"
               "Zeile für die Unterschrift des Prüfers. Inventarnummer und Bemerkung kommen\n"
               "aus dem Plan. Ein Gerät, das fehlgeschlagen ist, bekommt kein Blatt (das wird\n"
               "gesagt).\n"
               "Ohne Protokoll: Konfigurationsdateien, je ein Blatt; die Ausstattung aus\n"
               "--setup, sonst angenommen (Vollausstattung, das Blatt sagt es).\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Datei, die geschrieben wird (ganz oder gar nicht)\n"
               "  --csv         eine Inventarliste statt der Blätter: eine Zeile je Fahrzeug\n"
               "                (Zeile des Plans; ohne Plan je Gerät) mit dem Stand, in dem\n"
               "                sein Gerät zuletzt gefunden wurde, und jeder Spalte des Plans;\n"
               "                fehlgeschlagene Versuche stehen im Protokoll. Trennzeichen\n"
               "                ';', UTF-8 mit BOM, so dass Tabellenkalkulationen sie mit\n"
               "                Umlauten öffnen. Eine Zelle, die eine Tabellenkalkulation als\n"
               "                Zahl, Datum oder Formel nähme, beginnt mit einem unsichtbaren\n"
               "                Zeichen (U+2060): führende Nullen bleiben, nichts wird\n"
               "                berechnet.\n"
               "  --setup HEX   die Ausstattung der Konfigurationsdateien als Setup-Block\n"
               "                (10 Hex-Ziffern, wie identify ihn zeigt)\n"
               "  --force       eine vorhandene Ausgabedatei ersetzen\n"
               "\n"
               "Eine Zeile des Protokolls, die kein JSON ist (bei Stromausfall oder vollem\n"
               "Datenträger abgebrochen), wird mit ihrer Nummer genannt und übergangen. Eine\n"
               "Zeile, der ein Schlüssel fehlt oder deren Wert nicht passt, wird mit ihrer\n"
               "Nummer genannt (Exit-Code 2); dann wird nichts geschrieben. Eine Eingabe wird\n"
               "nie überschrieben, auch nicht mit --force.\n"
               "\n"
               "Beispiele:\n"
               "  zavctl report serie.jsonl -o blatt.html\n"
               "  zavctl report serie.jsonl --csv -o inventar.csv\n"
               "  zavctl report wache-3.zcf --setup BF073C020A -o wache-3.html\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("PROTOKOLL", options_.inputs)->required();
        subcommand.add_option("-o,--output", options_.output)->required();
        subcommand.add_flag("--csv", options_.csv);
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override;

private:
    struct Options {
        std::vector<std::string> inputs;  // audit logs and configuration files, told apart by their content
        std::string output;               // -o
        std::string setup_text;           // --setup, for the configuration files
        bool csv = false;                 // --csv: the inventory instead of the sheets
        bool force = false;               // --force: an existing output is replaced
    } options_;
};

int ReportCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options_.setup_text.empty() ? success() : parse_setup_option(options_.setup_text, setup);
    if (!outcome.ok()) return reporter.fail(outcome);
    // An input is never written over, however the output names it.
    for (const std::string& input : options_.inputs) {
        if (input == options_.output || same_file(input, options_.output)) {
            return reporter.fail(failure(kExitUsage, "-o " + shown_name(options_.output) + " ist eine der Eingaben",
                                         "Das Protokoll oder die Datei würde überschrieben."));
        }
    }
    // Nothing is read before the output is known to be free: a sheet that
    // could not be written is no work done.
    outcome = check_output_path(options_.output, options_.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    Inputs inputs;
    Fitting fitting;
    bool fitting_chosen = false;
    for (const std::string& input : options_.inputs) {
        std::string bytes;
        outcome = read_whole_file(input, bytes);
        if (outcome.ok() && looks_like_log(bytes)) {
            outcome = add_log(input, bytes, inputs, reporter);
        } else if (outcome.ok()) {
            // A configuration file is shown as show shows it, for one fitting
            // chosen once (and, when assumed, said once).
            if (!fitting_chosen) outcome = choose_fitting(CommonOptions{}, options_.setup_text, reporter, fitting);
            fitting_chosen = true;
            if (outcome.ok()) outcome = add_configuration_file(input, fitting, inputs);
        }
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    if (!options_.setup_text.empty() && !inputs.any_configuration_file) {
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
        if (!options_.csv) {
            reporter.note(cp1252_from_utf8(device.source + " (" + device.label + "): " + outcome_text(device.outcome)) +
                          ", kein Blatt.");
        } else if (outcome_named(device.outcome) == DeviceOutcome::kNeedsAttention) {
            // The vehicle's row shows its own device; this one is the log's.
            reporter.note(cp1252_from_utf8(device.source + " (" + device.label + "): " + outcome_text(device.outcome)) +
                          ", nicht in der Inventarliste.");
        }
    }
    if (inputs.devices.empty() || (!options_.csv && sheets == 0)) {
        return reporter.fail(failure(kExitFile, "Kein Gerät, für das ein Blatt erstellt werden kann.",
                                     inputs.devices.empty() ? "Das Protokoll ist leer."
                                                            : "Das Protokoll nennt kein Gerät, das erreicht wurde."));
    }

    const std::vector<SheetDevice> rows = options_.csv ? inventory_devices(inputs.devices) : std::vector<SheetDevice>();
    const std::string content = options_.csv ? inventory_csv(rows) : handover_sheet_html(inputs.devices);
    outcome = write_output_file(options_.output, reinterpret_cast<const uint8_t*>(content.data()), content.size(),
                                options_.force);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (options_.csv) {
        reporter.line("Inventar mit " + std::to_string(rows.size()) + (rows.size() == 1 ? " Gerät in " : " Geräten in ") +
                      shown_name(options_.output) + " geschrieben.");
    } else {
        reporter.line(sheets_text(sheets - check_records, check_records) + " in " + shown_name(options_.output) +
                      " geschrieben.");
    }
    // "devices": the sheets, or the inventory's rows; "left_out": the
    // devices that got no sheet (the inventory has one row per vehicle
    // instead, and leaves none of them out).
    reporter.document({{"output", json_name(options_.output)},
                       {"format", options_.csv ? "csv" : "html"},
                       {"devices", options_.csv ? rows.size() : sheets},
                       {"left_out", options_.csv ? nlohmann::json::array() : left_out},
                       {"skipped_lines", inputs.skipped}});
    return kExitOk;
}

}  // namespace

std::unique_ptr<Command> make_report_command() { return std::make_unique<ReportCommand>(); }

}  // namespace zav::cli
