// zavctl import TEXT -o FILE [--setup HEX | --port PORT] [--force]: the
// window's configuration file made from a text (commands/text_document.h),
// after the window's field checks.
#include <string>

#include "cli/app/command.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/commands/text_document.h"
#include "cli/output/config_file_io.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "core/config/config_form.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

namespace {

// The window's verdict on a record for a fitting, as program gives it.
Outcome window_check(const uint8_t* record, SetupFitting fitting, const std::string& why) {
    const RecordView view = view_record(record, fitting.setup_byte1, fitting.setup_byte2);
    if (view.check_code == 0) return success();
    const std::string field = field_error_detail(view);
    return failure(kExitRefused, config_error_text(view.check_code), (field.empty() ? "" : field + ". ") + why);
}

class ImportCommand final : public Command {
public:
    const char* name() const override { return "import"; }
    const char* overview() const override {
        return "  import TEXT -o DATEI     aus einem Text die Konfigurationsdatei, nach den\n"
               "                           Feldprüfungen des Fensters\n"
               "    zavctl import wache-3.toml --setup BF073C020A -o wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl import TEXT -o DATEI [--setup HEX | --port PORT] [--force]\n"
               "\n"
               "Macht aus einem Konfigurationstext (wie export ihn schreibt) die\n"
               "Konfigurationsdatei des Programms. Jedes Feld wird geprüft, wie das\n"
               "Konfigurationsfenster es prüft, für die Ausstattung, die der Text nennt, aus\n"
               "--setup oder vom Gerät an --port. Nennt der Text keine und gibt es keine\n"
               "Option, wird geprüft, was für jede Ausstattung gilt. Ein Fehler nennt Zeile,\n"
               "Spalte, Feld und Grund; nennt der Text eine andere Ausstattung als --setup\n"
               "oder das Gerät, nennt der Fehler beide. Dann wird nichts geschrieben.\n"
               "\n"
               "program, verify, show und diff nehmen einen Text auch direkt.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Konfigurationsdatei, die entsteht\n"
               "  --setup HEX         die Ausstattung als Setup-Block (10 Hex-Ziffern)\n"
               "  --force             eine vorhandene Datei ersetzen\n"
               "\n"
               "Beispiel:\n"
               "  zavctl import wache-3.toml --setup BF073C020A -o wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("TEXT", options_.input)->required();
        subcommand.add_option("-o,--output", options_.output)->required();
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override;

private:
    TextCall options_;
};

int ImportCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options_.setup_text.empty() ? success() : parse_setup_option(options_.setup_text, setup);
    if (outcome.ok()) outcome = check_output_path(options_.output, options_.force);
    ConfigurationSource source;
    if (outcome.ok()) outcome = read_configuration_file(options_.input, source);
    if (outcome.ok() && !source.text) {
        outcome = failure(kExitFile, "Das ist kein Konfigurationstext: " + shown_name(options_.input),
                          "Eine Konfigurationsdatei des Programms braucht keinen import; \"zavctl export\" macht "
                          "einen Text aus ihr.");
    }
    if (outcome.ok()) tell_warnings(reporter, source);
    Fitting fitting;
    if (outcome.ok()) {
        outcome = choose_fitting(common, options_.setup_text, {&source}, WithoutFitting::kNone, reporter, fitting);
    }
    // A text that names its fitting was checked for it when it was read;
    // one that names none meets the fitting given here as a device would.
    if (outcome.ok() && fitting.known() && !source.fitting) {
        outcome = window_check(source.image.bytes, fitting.setup_bytes(),
                               "Das Konfigurationsfenster nähme diesen Text für diese Ausstattung nicht an.");
    }
    if (outcome.ok()) outcome = save_configuration_file(options_.output, source.image, options_.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    if (!fitting.known()) {
        reporter.note("Hinweis: Der Text nennt keine Ausstattung: geprüft ist, was für jede gilt. Beim Programmieren "
                      "entscheidet die Ausstattung des Geräts.");
    }
    if (!is_standard_output(options_.output)) reporter.line("Konfigurationsdatei geschrieben: " + shown_name(options_.output));
    reporter.document(text_document(options_.input, options_.output, fitting, source.image.bytes));
    return kExitOk;
}

}  // namespace

std::unique_ptr<Command> make_import_command() { return std::make_unique<ImportCommand>(); }

}  // namespace zav::cli
